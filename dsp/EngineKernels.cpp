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

namespace qrv {
namespace {

// W lanes of double (D), of 64-bit integers (I, also the comparison masks) and of float (F). Spelled out
// per width: GCC drops a vector_size that depends on a template argument.
template <int W>
struct Lanes;
template <>
struct Lanes<2> {
  typedef double D __attribute__((vector_size(16)));
  typedef long long I __attribute__((vector_size(16)));
  typedef float F __attribute__((vector_size(8)));
};
template <>
struct Lanes<4> {
  typedef double D __attribute__((vector_size(32)));
  typedef long long I __attribute__((vector_size(32)));
  typedef float F __attribute__((vector_size(16)));
};
template <>
struct Lanes<8> {
  typedef double D __attribute__((vector_size(64)));
  typedef long long I __attribute__((vector_size(64)));
  typedef float F __attribute__((vector_size(32)));
};

#define QRV_INLINE [[gnu::always_inline]] inline

template <int W>
QRV_INLINE typename Lanes<W>::D Load(const double* p) {
  typename Lanes<W>::D v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <int W>
QRV_INLINE void Store(double* p, typename Lanes<W>::D v) {
  std::memcpy(p, &v, sizeof v);
}

// Stores the first `count` lanes (1..W) of v as Sample.
template <int W, typename Sample>
QRV_INLINE void StoreSamples(Sample* p, typename Lanes<W>::D v, int count) {
  if constexpr (sizeof(Sample) == sizeof(float)) {
    const typename Lanes<W>::F f = __builtin_convertvector(v, typename Lanes<W>::F);
    if (count == W) {
      std::memcpy(p, &f, sizeof f);
    } else {
      for (int j = 0; j < count; ++j) p[j] = f[j];
    }
  } else if (count == W) {
    std::memcpy(p, &v, sizeof v);
  } else {
    for (int j = 0; j < count; ++j) p[j] = v[j];
  }
}

// Whether every lane, or any lane, of a comparison mask is set.
template <int W, typename Mask>
QRV_INLINE bool All(Mask m) {
  long long a = -1;
  for (int j = 0; j < W; ++j) a &= m[j];
  return a != 0;
}
template <int W, typename Mask>
QRV_INLINE bool Any(Mask m) {
  long long a = 0;
  for (int j = 0; j < W; ++j) a |= m[j];
  return a != 0;
}

// sin w and cos w for 0 <= w <= kSinCosLimit (Taylor series to w^19 and w^20; to w^9 and w^8 when
// every lane is below kSinCosShort, where the terms left out are below 1e-17 of the result).
constexpr double kSinCosLimit = 0.8;
constexpr double kSinCosShort = 0.01;
template <int W>
QRV_INLINE void SinCos(typename Lanes<W>::D w, typename Lanes<W>::D& s, typename Lanes<W>::D& c) {
  using D = typename Lanes<W>::D;
  const D z = w * w;
  if (All<W>(w < kSinCosShort)) {
    D p = 2.7557319223985893e-06 + z * 0.0;
    p = -0.0001984126984126984 + z * p;
    p = 0.008333333333333333 + z * p;
    p = -0.16666666666666666 + z * p;
    s = w + w * z * p;
    D q = 2.48015873015873e-05 + z * 0.0;
    q = -0.001388888888888889 + z * q;
    q = 0.041666666666666664 + z * q;
    c = 1.0 - (z * 0.5 - z * z * q);
    return;
  }
  D p = -8.22063524662433e-18 + z * 0.0;
  p = 2.8114572543455206e-15 + z * p;
  p = -7.647163731819816e-13 + z * p;
  p = 1.6059043836821613e-10 + z * p;
  p = -2.505210838544172e-08 + z * p;
  p = 2.7557319223985893e-06 + z * p;
  p = -0.0001984126984126984 + z * p;
  p = 0.008333333333333333 + z * p;
  p = -0.16666666666666666 + z * p;
  s = w + w * z * p;
  D q = 4.110317623312165e-19 + z * 0.0;
  q = -1.5619206968586225e-16 + z * q;
  q = 4.779477332387385e-14 + z * q;
  q = -1.1470745597729725e-11 + z * q;
  q = 2.08767569878681e-09 + z * q;
  q = -2.755731922398589e-07 + z * q;
  q = 2.48015873015873e-05 + z * q;
  q = -0.001388888888888889 + z * q;
  q = 0.041666666666666664 + z * q;
  // h = 1 - cos w, accurate to its own last bits; cos w is one rounding of 1 - h.
  c = 1.0 - (z * 0.5 - z * z * q);
  if (Any<W>(w > kSinCosLimit)) {
    for (int j = 0; j < W; ++j) {
      if (w[j] > kSinCosLimit) {  // a corner near Nyquist (Time far outside its range): libm for that frame
        s[j] = std::sin(w[j]);
        c[j] = std::cos(w[j]);
      }
    }
  }
}

// atan x for x >= 0 (or NaN): reduction to |t| <= 0.66 and a rational approximation (Cephes),
// split so that a caller can share the rational's division: AtanReduce gives t, z = t², the
// rational's numerator z p(z) and denominator q(z), and the pieces to add back.
template <int W>
struct AtanParts {
  typename Lanes<W>::D t, num, den, base, more;
};

template <int W>
QRV_INLINE AtanParts<W> AtanReduce(typename Lanes<W>::D x) {
  using D = typename Lanes<W>::D;
  constexpr double kMoreBits = 6.123233995736765886130e-17;
  const auto big = x > 2.41421356237309504880;
  const auto mid = x > 0.66;
  const D one = x * 0.0 + 1.0;
  const D n = big ? -one : (mid ? x - 1.0 : x);
  const D d = big ? x : (mid ? x + 1.0 : one);
  const D t = n / d;
  const D z = t * t;
  const D p = (((-8.750608600031904122785e-01 * z - 1.615753718733365076637e+01) * z -
                7.500855792314704667340e+01) * z - 1.228866684490136173410e+02) * z -
              6.485021904942025371773e+01;
  const D q = ((((z + 2.485846490142306297962e+01) * z + 1.650270098316988542046e+02) * z +
                4.328810604912902668951e+02) * z + 4.853903996359136964868e+02) * z +
              1.945506571482613964425e+02;
  return {t, z * p, q, big ? one * 1.5707963267948966 : (mid ? one * 0.7853981633974483 : one * 0.0),
          big ? one * kMoreBits : (mid ? one * (0.5 * kMoreBits) : one * 0.0)};
}

// atan from its parts and the rational's value r = num / den.
template <int W>
QRV_INLINE typename Lanes<W>::D AtanFinish(const AtanParts<W>& a, typename Lanes<W>::D r) {
  return a.base + (a.t * r + a.t) + a.more;
}

template <int W>
QRV_INLINE typename Lanes<W>::D Atan(typename Lanes<W>::D x) {
  const AtanParts<W> a = AtanReduce<W>(x);
  return AtanFinish<W>(a, a.num / a.den);
}

// e^y - 1 for -40 <= y <= 0 (or NaN): y = n ln2 + r, |r| <= ln2 / 2, Taylor series of e^r - 1 to r^15.
template <int W>
QRV_INLINE typename Lanes<W>::D Expm1(typename Lanes<W>::D y) {
  using D = typename Lanes<W>::D;
  using I = typename Lanes<W>::I;
  constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to an integer
  const D t = y * 1.4426950408889634 + kRound;
  const D n = t - kRound;
  const D r = (y - n * 6.93147180369123816490e-01) - n * 1.90821492927058770002e-10;
  D p = 7.647163731819816e-13 + r * 0.0;
  p = 1.1470745597729725e-11 + r * p;
  p = 1.6059043836821613e-10 + r * p;
  p = 2.08767569878681e-09 + r * p;
  p = 2.505210838544172e-08 + r * p;
  p = 2.755731922398589e-07 + r * p;
  p = 2.7557319223985893e-06 + r * p;
  p = 2.48015873015873e-05 + r * p;
  p = 0.0001984126984126984 + r * p;
  p = 0.001388888888888889 + r * p;
  p = 0.008333333333333333 + r * p;
  p = 0.041666666666666664 + r * p;
  p = 0.16666666666666666 + r * p;
  p = 0.5 + r * p;
  p = r + r * r * p;
  const I k = (I)t - (I)(r * 0.0 + kRound);  // vector casts reinterpret the bits
  const D scale = (D)((k + 1023) << 52);
  return scale * p + (scale - 1.0);
}

// tanh x = -u / (2 + u) with u = e^(-2x) - 1, for x >= 0 (or NaN); TanhU gives u.
template <int W>
QRV_INLINE typename Lanes<W>::D TanhU(typename Lanes<W>::D x) {
  using D = typename Lanes<W>::D;
  const D xc = x > 20.0 ? x * 0.0 + 20.0 : x;  // tanh is 1.0 in double well before 20
  return Expm1<W>(-2.0 * xc);
}

template <int W>
QRV_INLINE typename Lanes<W>::D Tanh(typename Lanes<W>::D x) {
  const typename Lanes<W>::D u = TanhU<W>(x);
  return -u / (2.0 + u);
}

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

// The lane policy of EngineFormulas.h: polynomials, divisions by per-block reciprocals.
constexpr double kSmallArgument = 1e-3;
template <int W>
struct LaneMath {
  using D = typename Lanes<W>::D;
  static constexpr bool kFewerDivisions = true;
  QRV_INLINE static D Splat(double v) { return D{} + v; }
  template <typename Mask>
  QRV_INLINE static D Select(Mask c, D a, D b) {
    return c ? a : b;
  }
  QRV_INLINE static D Atan(D x) { return qrv::Atan<W>(x); }
  QRV_INLINE static D Tanh(D x) { return qrv::Tanh<W>(x); }
  QRV_INLINE static void SinCos(D w, D& s, D& c) { qrv::SinCos<W>(w, s, c); }
  // atan a where `up`, tanh b elsewhere. A vector on one side of zero (the common case: a few frames
  // of audio seldom cross zero) evaluates one function; a mixed one shares the two rationals' division.
  template <typename Mask>
  QRV_INLINE static D AtanOrTanh(Mask up, D a, D b) {
    const D x = up ? a : b;  // the argument each lane uses, 0 or more
    if (All<W>(x < kSmallArgument)) {
      // Near zero (dither in silence, quiet tails) both are odd series in x; the terms left out are
      // below 1e-24 of the result.
      const D z = x * x;
      const D atanX = x + x * z * (-0.3333333333333333 + z * (0.2 + z * -0.14285714285714285));
      const D tanhX = x + x * z * (-0.3333333333333333 + z * (0.13333333333333333 + z * -0.05396825396825397));
      return up ? atanX : tanhX;
    }
    if (All<W>(up)) return qrv::Atan<W>(a);
    if (!Any<W>(up)) return qrv::Tanh<W>(b);
    const AtanParts<W> p = AtanReduce<W>(up ? a : D{});
    const D u = TanhU<W>(up ? D{} : b);
    const D r = (up ? p.num : -u) / (up ? p.den : 2.0 + u);
    return up ? AtanFinish<W>(p, r) : r;
  }
};

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
