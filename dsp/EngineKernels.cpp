// The array passes written once over GCC vector types of W doubles and compiled three times: SSE2
// (W = 2, the x86-64 baseline), AVX2 (W = 4) and AVX-512 (W = 8), each under its own target attribute,
// so that one binary runs everywhere and takes the widest set the CPU has. The formulas themselves are
// those of EngineFormulas.h under the lane policy below: inline polynomials that agree with libm to an
// ulp or two over the ranges the engine feeds them, and fewer divisions. Sine and cosine keep the form
// cos w = 1 - h(w²), so 1 - cos w, which the envelope's coefficients divide down to tiny values at long
// Times and high rates, is exact where libm's is.
#include "dsp/EngineKernels.h"

#include <cmath>
#include <cstring>

#include "dsp/EngineFormulas.h"
#include "dsp/EngineSections.h"
#include "dsp/LaneMath.h"

namespace qrv {
namespace {

// u M + v I, a polynomial in the envelope's one-step matrix M = [[-a1, -a2], [1, 0]]: every power of M
// and every sum of powers reduces to this form by M² = -a1 M - a2 I (Cayley-Hamilton), so that a
// product costs five multiplies instead of a 2x2 matrix product's eight and more.
template <int W>
struct MatrixPolynomial {
  typename Lanes<W>::D u, v;
};

template <int W>
QRV_INLINE MatrixPolynomial<W> Times(const MatrixPolynomial<W>& a, const MatrixPolynomial<W>& b,
                                     typename Lanes<W>::D a1, typename Lanes<W>::D a2) {
  const typename Lanes<W>::D uu = a.u * b.u;
  return {(a.u * b.v + a.v * b.u) - a1 * uu, a.v * b.v - a2 * uu};
}

// `count` >= 1 held steps y_k = c - a1 y_(k-1) - a2 y_(k-2) of the state (y1, y2) map it to
// P (y1, y2) + G (1, 0) c with P = M^count and G = I + M + ... + M^(count-1), found by doubling.
template <int W>
struct HeldMap {
  MatrixPolynomial<W> P, G;
};

template <int W>
QRV_INLINE HeldMap<W> HeldSteps(typename Lanes<W>::D a1, typename Lanes<W>::D a2, int count) {
  const typename Lanes<W>::D zero = a1 * 0.0, one = zero + 1.0;
  MatrixPolynomial<W> P{one, zero}, G{zero, one};  // M and I: one step
  int bit = 0;
  while ((count >> (bit + 1)) != 0) ++bit;
  for (--bit; bit >= 0; --bit) {
    const MatrixPolynomial<W> GP = Times<W>(G, P, a1, a2);  // n -> 2n
    G = {G.u + GP.u, G.v + GP.v};
    P = Times<W>(P, P, a1, a2);
    if ((count >> bit) & 1) {  // n -> n + 1
      G = {G.u + P.u, G.v + P.v};
      P = {P.v - a1 * P.u, -a2 * P.u};
    }
  }
  return {P, G};
}

// One output u = q1 yb + q2 ya + g (b0 + b1 + b2) d of the attack below, as weights of y1, y2, x1, x2, d.
template <int W>
QRV_INLINE void AttackWeights(const Coefficients<typename Lanes<W>::D>& k, typename Lanes<W>::D q1,
                              typename Lanes<W>::D q2, typename Lanes<W>::D g, int i, double* wy1, double* wy2,
                              double* wx1, double* wx2, double* wd) {
  const typename Lanes<W>::D xa = q2 - q1 * k.a1;  // weight of Xa
  Store<W>(wy1 + i, q1 * (k.a1 * k.a1 - k.a2) - q2 * k.a1);
  Store<W>(wy2 + i, (q1 * k.a1 - q2) * k.a2);
  Store<W>(wx1 + i, q1 * k.b2 + xa * k.b1);
  Store<W>(wx2 + i, xa * k.b2);
  Store<W>(wd + i, (q1 * (k.b1 + k.b0) + xa * k.b0) + g * ((k.b1 + k.b0) + k.b2));
}

// A frame's attack of N >= 2 held steps from state (x1, x2, y1, y2) with input d: the first two steps
// still see the previous inputs (ya from x1, x2; yb from d, x1), the rest is the held map P, and all of
// it is folded into one affine step, so that the serial loop waits one multiply and one add per frame:
//   ya = Xa - a1 y1 - a2 y2,  Xa = b1 x1 + b0 d + b2 x2
//   yb = Xb - a1 ya - a2 y1 = (Xb - a1 Xa) + (a1² - a2) y1 + a1 a2 y2,  Xb = (b1 + b0) d + b2 x1
//   y = p11 yb + p12 ya + g1 (b0 + b1 + b2) d,  z = p21 yb + p22 ya + g2 (b0 + b1 + b2) d
// (P the identity and g zero for N = 2).
template <int W>
QRV_INLINE void AttackStep(EngineChunk& c, int i, const Coefficients<typename Lanes<W>::D>& k, int attackSteps) {
  using D = typename Lanes<W>::D;
  const D zero = k.a1 * 0.0, one = zero + 1.0;
  const D a1 = k.a1, a2 = k.a2;
  // P as [[p11, p12], [p21, p22]] and G (1, 0) as (g1, g2).
  D p11 = one, p12 = zero, p21 = zero, p22 = one, g1 = zero, g2 = zero;
  if (attackSteps > 2) {
    const HeldMap<W> h = HeldSteps<W>(a1, a2, attackSteps - 2);
    p11 = h.P.v - a1 * h.P.u;
    p12 = -a2 * h.P.u;
    p21 = h.P.u;
    p22 = h.P.v;
    g1 = h.G.v - a1 * h.G.u;
    g2 = h.G.u;
  }
  AttackWeights<W>(k, p11, p12, g1, i, c.ay1, c.ay2, c.ax1, c.ax2, c.ad);
  AttackWeights<W>(k, p21, p22, g2, i, c.by1, c.by2, c.bx1, c.bx2, c.bd);
}


template <int W>
QRV_INLINE void CoefficientsT(EngineChunk& c, int n, double timeFactor, double q, double rate, int attackSteps) {
  using D = typename Lanes<W>::D;
  using M = LaneMath<W>;
  const double inverseTimeFactor = 1.0 / timeFactor;
  const double radiansPerHertz = kTwoPi / rate;
  for (int i = 0; i < n; i += W) {
    const D fc = EnvelopeCorner<M, D>(Load<W>(c.fast + i), Load<W>(c.slow + i), timeFactor, inverseTimeFactor);
    const Coefficients<D> k = EnvelopeLowPass<M, D>(fc, rate, q, radiansPerHertz);
    Store<W>(c.fc + i, fc);
    Store<W>(c.a0 + i, k.a0);
    Store<W>(c.a1 + i, k.a1);
    Store<W>(c.a2 + i, k.a2);
    Store<W>(c.b0 + i, k.b0);
    Store<W>(c.b1 + i, k.b1);
    Store<W>(c.b2 + i, k.b2);
    if (attackSteps >= 2) AttackStep<W>(c, i, k, attackSteps);
  }
}

template <int W, int Ratio>
QRV_INLINE void GainsLoop(EngineChunk& c, int n) {
  using D = typename Lanes<W>::D;
  for (int i = 0; i < n; i += W) Store<W>(c.e + i, GainOfCurve<LaneMath<W>, Ratio, D>(Load<W>(c.V + i)));
}

template <int W>
QRV_INLINE void GainsT(EngineChunk& c, int n, int ratio) {
  switch (ratio) {
    case 0: GainsLoop<W, 0>(c, n); break;
    case 1: GainsLoop<W, 1>(c, n); break;
    case 2: GainsLoop<W, 2>(c, n); break;
    case 3: GainsLoop<W, 3>(c, n); break;
    case 4: GainsLoop<W, 4>(c, n); break;
    case 5: GainsLoop<W, 5>(c, n); break;
    default: GainsLoop<W, 6>(c, n); break;
  }
}

// Gain, valve stage, output gain; the meter's serial steps run beside the lanes' work.
template <int W, typename Sample, bool Stereo, bool Valve, bool Held>
QRV_INLINE void OutputsLoop(const EngineChunk& c, int n, OutputState& st, Sample* outL, Sample* outR) {
  using D = typename Lanes<W>::D;
  using M = LaneMath<W>;
  const double k = st.k, m = st.m;
  const double heldInverseDrive = 1.0 / st.drive, heldGain = st.outputGain;
  Sections<double> meter = Load(*st.meter);
  double meterGain = st.meterGain;
  for (int i = 0; i < n; i += W) {
    const int count = n - i < W ? n - i : W;
    D inverseDrive, gain;
    if constexpr (Held) {
      inverseDrive = M::Splat(heldInverseDrive);
      gain = M::Splat(heldGain);
    } else {
      inverseDrive = 1.0 / Load<W>(c.drive + i);
      gain = Load<W>(c.gain + i);
    }
    const D e = Load<W>(c.e + i);
    D sL = e * Load<W>(c.xL + i);
    if constexpr (Valve) sL = ValveOf<M, D>(sL, k, m);
    const D left = inverseDrive * sL * gain;
    StoreSamples<W>(outL + i, left, count);
    if constexpr (Stereo) {
      D sR = e * Load<W>(c.xR + i);
      if constexpr (Valve) sR = ValveOf<M, D>(sR, k, m);
      StoreSamples<W>(outR + i, inverseDrive * sR * gain, count);
    } else if (outR != outL) {
      StoreSamples<W>(outR + i, left, count);
    }
    for (int j = 0; j < count; ++j) meterGain = meter.Step<true>(e[j]);
  }
  Store(*st.meter, meter);
  st.meterGain = meterGain;
}

template <int W, typename Sample, bool Stereo, bool Valve>
QRV_INLINE void OutputsT(const EngineChunk& c, int n, OutputState& st, Sample* outL, Sample* outR) {
  if (st.glidesHeld) {
    OutputsLoop<W, Sample, Stereo, Valve, true>(c, n, st, outL, outR);
  } else {
    OutputsLoop<W, Sample, Stereo, Valve, false>(c, n, st, outL, outR);
  }
}

// Held: drive and output gain sit at the glides' fixed points, so they stay as they are and no
// per-frame arrays are written.
template <int W, typename Sample, bool Stereo, bool Held>
QRV_INLINE double FrontLoop(EngineChunk& c, int n, FrontState& st, const Sample* inL, const Sample* inR) {
  Sections<Pair> sideChain = Load(*st.sideChainLeft, *st.sideChainRight);
  Sections<double> sideChainMono = Load(*st.sideChainLeft);
  Sections<Pair> levels = Load(*st.fast, *st.slow);
  uint32_t n1 = st.noise[0], n2 = st.noise[1], n3 = st.noise[2];
  double drive = st.drive, outputGain = st.outputGain, loudest = 0.0;
  const double driveTarget = st.driveTarget, outputTarget = st.outputTarget;
  for (int i = 0; i < n; ++i) {
    const double inLeft = static_cast<double>(inL[i]);
    const double inRight = Stereo ? static_cast<double>(inR[i]) : 0.0;
    if constexpr (!Held) {
      drive = Glide(drive, driveTarget);
      outputGain = Glide(outputGain, outputTarget);
      c.drive[i] = drive;
      c.gain[i] = outputGain;
    }
    const double xL = Dither(n1, n2, n3) + inLeft * drive;
    c.xL[i] = xL;
    double d;
    if constexpr (Stereo) {
      const double xR = Dither(n1, n2, n3) + inRight * drive;
      c.xR[i] = xR;
      const Pair y = sideChain.Step<true>(Pair{xL, xR});
      const Pair power = y * y;
      d = (power[0] + power[1]) * kStereoPowerWeight;
    } else {
      d = std::fabs(sideChainMono.Step<true>(xL));
    }
    c.d[i] = d;
    loudest = d > loudest ? d : loudest;
    const Pair level = levels.Step<true>(Pair{d, d});
    c.fast[i] = level[0];
    c.slow[i] = level[1];
  }
  if constexpr (Stereo) {
    Store(*st.sideChainLeft, *st.sideChainRight, sideChain);
  } else {
    Store(*st.sideChainLeft, sideChainMono);
  }
  Store(*st.fast, *st.slow, levels);
  st.noise[0] = n1;
  st.noise[1] = n2;
  st.noise[2] = n3;
  st.drive = drive;
  st.outputGain = outputGain;
  return loudest;
}

template <int W, typename Sample, bool Stereo>
QRV_INLINE double FrontT(EngineChunk& c, int n, FrontState& st, const Sample* inL, const Sample* inR) {
  st.glidesHeld =
      Glide(st.drive, st.driveTarget) == st.drive && Glide(st.outputGain, st.outputTarget) == st.outputGain;
  return st.glidesHeld ? FrontLoop<W, Sample, Stereo, true>(c, n, st, inL, inR)
                       : FrontLoop<W, Sample, Stereo, false>(c, n, st, inL, inR);
}

#undef QRV_INLINE

// The entry points of each instruction set: the same templates under the set's target attribute.
template <typename Sample, bool Stereo>
double Front2(EngineChunk& c, int n, FrontState& st, const Sample* l, const Sample* r) {
  return FrontT<2, Sample, Stereo>(c, n, st, l, r);
}
void Coefficients2(EngineChunk& c, int n, double t, double q, double r, int attack) {
  CoefficientsT<2>(c, n, t, q, r, attack);
}
void Gains2(EngineChunk& c, int n, int ratio) { GainsT<2>(c, n, ratio); }
template <typename Sample, bool Stereo, bool Valve>
void Outputs2(const EngineChunk& c, int n, OutputState& st, Sample* l, Sample* r) {
  OutputsT<2, Sample, Stereo, Valve>(c, n, st, l, r);
}

template <typename Sample, bool Stereo>
__attribute__((target("avx2"))) double Front4(EngineChunk& c, int n, FrontState& st, const Sample* l,
                                               const Sample* r) {
  return FrontT<4, Sample, Stereo>(c, n, st, l, r);
}
__attribute__((target("avx2"))) void Coefficients4(EngineChunk& c, int n, double t, double q, double r, int attack) {
  CoefficientsT<4>(c, n, t, q, r, attack);
}
__attribute__((target("avx2"))) void Gains4(EngineChunk& c, int n, int ratio) { GainsT<4>(c, n, ratio); }
template <typename Sample, bool Stereo, bool Valve>
__attribute__((target("avx2"))) void Outputs4(const EngineChunk& c, int n, OutputState& st, Sample* l,
                                               Sample* r) {
  OutputsT<4, Sample, Stereo, Valve>(c, n, st, l, r);
}

template <typename Sample, bool Stereo>
__attribute__((target("avx512f"))) double Front8(EngineChunk& c, int n, FrontState& st, const Sample* l,
                                                  const Sample* r) {
  return FrontT<8, Sample, Stereo>(c, n, st, l, r);
}
__attribute__((target("avx512f"))) void Coefficients8(EngineChunk& c, int n, double t, double q, double r, int attack) {
  CoefficientsT<8>(c, n, t, q, r, attack);
}
__attribute__((target("avx512f"))) void Gains8(EngineChunk& c, int n, int ratio) { GainsT<8>(c, n, ratio); }
template <typename Sample, bool Stereo, bool Valve>
__attribute__((target("avx512f"))) void Outputs8(const EngineChunk& c, int n, OutputState& st, Sample* l,
                                                  Sample* r) {
  OutputsT<8, Sample, Stereo, Valve>(c, n, st, l, r);
}

const EngineKernels kKernels[kInstructionSetCount] = {
    {{Front2<float, false>, Front2<float, true>},
     {Front2<double, false>, Front2<double, true>},
     Coefficients2,
     Gains2,
     {{Outputs2<float, false, false>, Outputs2<float, false, true>},
      {Outputs2<float, true, false>, Outputs2<float, true, true>}},
     {{Outputs2<double, false, false>, Outputs2<double, false, true>},
      {Outputs2<double, true, false>, Outputs2<double, true, true>}}},
    {{Front4<float, false>, Front4<float, true>},
     {Front4<double, false>, Front4<double, true>},
     Coefficients4,
     Gains4,
     {{Outputs4<float, false, false>, Outputs4<float, false, true>},
      {Outputs4<float, true, false>, Outputs4<float, true, true>}},
     {{Outputs4<double, false, false>, Outputs4<double, false, true>},
      {Outputs4<double, true, false>, Outputs4<double, true, true>}}},
    {{Front8<float, false>, Front8<float, true>},
     {Front8<double, false>, Front8<double, true>},
     Coefficients8,
     Gains8,
     {{Outputs8<float, false, false>, Outputs8<float, false, true>},
      {Outputs8<float, true, false>, Outputs8<float, true, true>}},
     {{Outputs8<double, false, false>, Outputs8<double, false, true>},
      {Outputs8<double, true, false>, Outputs8<double, true, true>}}},
};

}  // namespace

bool InstructionSetAvailable(InstructionSet isa) {
  __builtin_cpu_init();  // idempotent; the answer must not depend on constructor order at load time
  switch (isa) {
    case InstructionSet::kSse2: return true;
    case InstructionSet::kAvx2: return __builtin_cpu_supports("avx2");
    case InstructionSet::kAvx512: return __builtin_cpu_supports("avx512f");
  }
  return false;
}

InstructionSet BestInstructionSet() {
  if (InstructionSetAvailable(InstructionSet::kAvx512)) return InstructionSet::kAvx512;
  if (InstructionSetAvailable(InstructionSet::kAvx2)) return InstructionSet::kAvx2;
  return InstructionSet::kSse2;
}

const char* InstructionSetName(InstructionSet isa) {
  switch (isa) {
    case InstructionSet::kSse2: return "SSE2";
    case InstructionSet::kAvx2: return "AVX2";
    case InstructionSet::kAvx512: return "AVX-512";
  }
  return "?";
}

const EngineKernels& KernelsFor(InstructionSet isa) {
  const int i = static_cast<int>(isa);
  return kKernels[i >= 0 && i < kInstructionSetCount ? i : 0];
}

}  // namespace qrv
