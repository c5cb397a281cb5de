// The engine's formulas, each written once over its value type T: double in the per-frame loop, a vector
// of W doubles in the chunked passes. A math policy supplies what differs between the two: per frame the
// library's functions and the original order of the divisions (short blocks keep their exact results);
// in lanes inline polynomials and fewer divisions, which the fidelity tests bound. Internal to dsp/.
#pragma once

#include <cmath>

namespace qrv {

// Constants written as numbers in the original formulas. Each keeps the bits it always had: a different
// rounding would change the output.
// Weight of the summed power of the two side chains: 0.7071 as written, not 1/sqrt(2).
inline constexpr double kStereoPowerWeight = 0.7071;
// The envelope corner's offset, 0.1 on the corner's 0.7 scale, as the product rounds.
inline constexpr double kCornerOffset = 0.1 * 0.7;
static_assert(kCornerOffset == 0.06999999999999999);
// Dither scale: 2^-31 to ten digits times the amplitude 1e-10 (not 2^-31 * 1e-10, which differs).
inline constexpr double kDitherScale = 4.656612873e-10 * 1e-10;
static_assert(kDitherScale == 4.6566128730000005e-20);
// Near-Nyquist widening of the fixed sections: e = f / (0.5001 fs) for high-passes, f / (0.50001 fs)
// for low-passes, stored as the reciprocals' roundings.
inline constexpr double kHighPassWidening = 1.0 / 0.5001;
inline constexpr double kLowPassWidening = 1.0 / 0.50001;
static_assert(kHighPassWidening == 1.9996000799840032 && kLowPassWidening == 1.9999600007999843);
// Every corner stays below this fraction of the rate, clear of Nyquist.
inline constexpr double kNyquistMargin = 0.499;
inline constexpr double kTwoPi = 6.283185307179586;
// The envelope's corner never goes below this (Hz).
inline constexpr double kEnvelopeCornerFloor = 0.001;

// The per-frame policy: the library's functions, divisions in the original order.
struct FrameMath {
  static constexpr bool kFewerDivisions = false;
  static double Splat(double v) { return v; }
  static double Select(bool c, double a, double b) { return c ? a : b; }
  static double Atan(double x) { return std::atan(x); }
  static double Tanh(double x) { return std::tanh(x); }
  // atan a where `up`, else tanh b: only the one needed.
  static double AtanOrTanh(bool up, double a, double b) { return up ? std::atan(a) : std::tanh(b); }
  static void SinCos(double w, double& s, double& c) {
    c = std::cos(w);
    s = std::sin(w);
  }
};

// A second-order section's coefficients (a0 kept for inspection; the step uses the normalised rest).
template <typename T>
struct Coefficients {
  T a0, a1, a2, b0, b1, b2;
};

// One direct-form-I step, in the one order every section of the engine uses.
template <typename T, typename C>
[[gnu::always_inline]] inline T BiquadStep(const C& c, T x, T x1, T x2, T y1, T y2) {
  return ((c.b1 * x1 + c.b0 * x) + c.b2 * x2) - c.a1 * y1 - c.a2 * y2;
}

// The same step with the last output's feedback added last: a serial loop then waits one multiply
// and one add on it per frame instead of two of each. The chunked passes use it; the per-frame loop
// keeps the order above, so that short blocks keep their exact results.
template <typename T, typename C>
[[gnu::always_inline]] inline T BiquadStepShortChain(const C& c, T x, T x1, T x2, T y1, T y2) {
  return (((c.b1 * x1 + c.b0 * x) + c.b2 * x2) - c.a2 * y2) - c.a1 * y1;
}

// RBJ low-pass from alpha and cos w.
template <typename T>
[[gnu::always_inline]] inline Coefficients<T> LowPassOf(T alpha, T cw) {
  const T a0 = 1.0 + alpha;
  const T r = 1.0 / a0;
  const T oneMinusCos = 1.0 - cw;
  const T b0 = (oneMinusCos * 0.5) * r;
  return {a0, (-2.0 * cw) * r, (1.0 - alpha) * r, b0, oneMinusCos * r, b0};
}

// RBJ high-pass from alpha and cos w.
template <typename T>
[[gnu::always_inline]] inline Coefficients<T> HighPassOf(T alpha, T cw) {
  const T a0 = 1.0 + alpha;
  const T r = 1.0 / a0;
  const T onePlusCos = 1.0 + cw;
  const T b0 = (onePlusCos * 0.5) * r;
  return {a0, (-2.0 * cw) * r, (1.0 - alpha) * r, b0, -(onePlusCos * r), b0};
}

// Glide of drive and output gain toward their targets, per frame.
[[gnu::always_inline]] inline double Glide(double value, double target) { return (target - value) * 0.001 + value; }

// Corner of the envelope's low-pass from the fast and slow levels F and S: the faster the level rises
// above its slow average, the higher the corner; Time scales it down.
template <typename Math, typename T>
[[gnu::always_inline]] inline T EnvelopeCorner(T F, T S, double timeFactor, double inverseTimeFactor) {
  const T Fm = Math::Select(F < 1e-6, Math::Splat(1e-6), F);  // std::max(F, 1e-6): NaN kept
  const T Sm = Math::Select(S < 1e-6, Math::Splat(1e-6), S);
  if constexpr (Math::kFewerDivisions) {
    // 4r / (r + 1) with r = 0.2 F / S, in one division.
    return (0.8 * Fm / (0.2 * Fm + Sm) * 0.7 + kCornerOffset) * inverseTimeFactor;
  } else {
    const T r = Fm * 0.2 / Sm;
    return (4.0 * r / (r + 1.0) * 0.7 + kCornerOffset) / timeFactor;
  }
}

// The envelope's low-pass at corner fc: plain RBJ, no near-Nyquist widening. radiansPerHertz is
// 2 pi / rate, used where the policy saves the division.
template <typename Math, typename T>
[[gnu::always_inline]] inline Coefficients<T> EnvelopeLowPass(T fc, double rate, double q, double radiansPerHertz) {
  const double limit = kNyquistMargin * rate;
  // fmin(limit, fc) above the floor: a NaN corner gives the limit.
  const T f = Math::Select(fc < kEnvelopeCornerFloor, Math::Splat(kEnvelopeCornerFloor),
                           Math::Select(fc < limit, fc, Math::Splat(limit)));
  T w;
  if constexpr (Math::kFewerDivisions) {
    w = f * radiansPerHertz;
  } else {
    w = f * kTwoPi / rate;
  }
  T s, cw;
  Math::SinCos(w, s, cw);
  return LowPassOf<T>(s * (0.5 / q), cw);
}

// Gain of ratio curve Ratio (0..6) at V, the square root of the envelope.
template <typename Math, int Ratio, typename T>
[[gnu::always_inline]] inline T GainOfCurve(T V) {
  if constexpr (Ratio == 0) {
    return 0.6 / (1.0 + 0.4 * V) + 0.4;
  } else if constexpr (Ratio == 1) {
    return 0.8 / (1.0 + 0.4 * V) + 0.2;
  } else if constexpr (Ratio == 2) {
    return (0.23 * Math::Atan(1.2 * V) + 0.9 * V / (1.0 + 0.35 * V) * 0.7 + 0.094 * V) / V;
  } else if constexpr (Ratio == 3) {
    return (0.5145833333333333 * Math::Atan(1.2 * V) + 0.95 * V / (1.0 + 0.35 * V) * 0.35 + 0.05 * V) / V;
  } else if constexpr (Ratio == 4) {
    return (0.8083333333333333 * Math::Atan(1.2 * V) + 0.03 * V) / V;
  } else if constexpr (Ratio == 5) {
    return (0.4091666666666667 * Math::Atan(1.2 * V) + 0.009 * V + 0.491 * Math::Tanh(V) + 0.009 * V) / V;
  } else {
    return (0.99 * Math::Tanh(V) + 0.01 * V) / V;
  }
}

// The asymmetric valve stage with drive k and make-up m: m atan(k s) above zero, a steeper, lower
// tanh below.
template <typename Math, typename T>
[[gnu::always_inline]] inline T ValveOf(T s, double k, double m) {
  const auto up = s >= 0.0;
  const T r = Math::AtanOrTanh(up, k * s, -0.64 * k * s);
  return Math::Select(up, m * r, -1.5625 * m * r);
}

}  // namespace qrv
