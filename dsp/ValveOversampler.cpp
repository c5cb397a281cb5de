// The oversampled valve path's filters and its passes, the passes written over W lanes and compiled
// once per instruction set as the engine's kernels are. The lanes run along time: W consecutive outputs
// of a filter at once, kGroups groups of them side by side so that no sum waits on the one before it.
#include "dsp/ValveOversampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/LaneMath.h"

namespace qrv {
namespace {

// Transition bands, as fractions of the host's rate. The first stage passes up to 0.46 and stops from
// 0.54, so that a harmonic just above half the rate (the second of 12 kHz at 44.1 kHz) is stopped before
// it folds; the later stages only need to keep their images and folds out of what the first passes.
constexpr double kFirstPass = 0.46;
constexpr double kFirstStop = 0.54;
constexpr double kPi = 3.141592653589793;

double BesselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 64; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

double KaiserBeta(double db) { return db > 50.0 ? 0.1102 * (db - 8.7) : 0.5842 * std::pow(db - 21.0, 0.4) + 0.07886 * (db - 21.0); }

// Length for a stopband of db over a transition of width radians (Kaiser's estimate).
int KaiserLength(double db, double width) { return static_cast<int>(std::ceil((db - 7.95) / (2.285 * width))) + 1; }

// A low-pass at a quarter of its rate (the lower rate's Nyquist), length n, centre (n - 1) / 2; odd n of
// the form 4j + 3 gives a halfband (every other tap zero).
void QuarterBandLowPass(double* h, int n, double db) {
  const double beta = KaiserBeta(db), centre = (n - 1) * 0.5, i0 = BesselI0(beta);
  double sum = 0.0;
  for (int k = 0; k < n; ++k) {
    if (k > (n - 1) / 2) {  // the mirror image, bit for bit
      h[k] = h[n - 1 - k];
      sum += h[k];
      continue;
    }
    const double t = k - centre;
    const double r = 2.0 * k / (n - 1) - 1.0;
    const double w = BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0;
    double v = t == 0.0 ? 0.5 : std::sin(kPi * t * 0.5) / (kPi * t);
    if (n % 2 == 1 && t != 0.0 && static_cast<long>(std::fabs(t)) % 2 == 0) v = 0.0;  // halfband zeros
    h[k] = v * w;
    sum += h[k];
  }
  // Unity gain at DC for each decimating phase and each interpolating branch: a halfband's centre stays
  // 0.5 and its other taps sum to 0.5; an even length splits evenly between the phases by symmetry.
  if (n % 2 == 1) {
    const double others = sum - h[(n - 1) / 2];
    for (int k = 0; k < n; ++k) {
      if (k != (n - 1) / 2) h[k] *= 0.5 / others;
    }
  } else {
    for (int k = 0; k < n; ++k) h[k] /= sum;
  }
}

void Add(TapList& t, int offset, double coef) {
  if (coef == 0.0 || t.count >= TapList::kMax) return;
  t.offset[t.count] = offset;
  t.pairedOffset[t.count] = -1;
  t.coef[t.count] = coef;
  ++t.count;
}

// Folds the taps of equal coefficient from both ends (a symmetric branch) into pairs, listed first.
void Pair(TapList& t) {
  TapList out;
  int lo = 0, hi = t.count - 1;
  for (; lo < hi && t.coef[lo] == t.coef[hi]; ++lo, --hi) {
    out.offset[out.count] = t.offset[lo];
    out.pairedOffset[out.count] = t.offset[hi];
    out.coef[out.count] = t.coef[lo];
    ++out.count;
  }
  out.pairs = out.count;
  for (int j = lo; j <= hi; ++j) Add(out, t.offset[j], t.coef[j]);
  out.kind = out.count == 1 ? TapList::Kind::kSingle : TapList::Kind::kGeneral;
  bool run = out.pairs > 0 && out.pairs == out.count;
  for (int j = 0; run && j < out.pairs; ++j) {
    run = out.offset[j] == out.offset[0] + j && out.pairedOffset[j] == out.offset[0] + 2 * out.pairs - 1 - j;
  }
  if (run) out.kind = TapList::Kind::kSymmetric;
  t = out;
}

// Interpolation by 2 with h: out[2m + r] = sum over k = r (mod 2) of 2 h[k] x[m - (k - r) / 2].
void SetUp(ValveOversampler::Stage& s, const double* h, int n) {
  s.up[0] = s.up[1] = TapList{};
  for (int k = 0; k < n; ++k) Add(s.up[k % 2], (k - k % 2) / 2, 2.0 * h[k]);
  Pair(s.up[0]);
  Pair(s.up[1]);
}

// Decimation by 2 with h delayed by `shift`: y[m] = sum h[k] v[2m - k - shift], from the even samples
// (E[j] = v[2j]) and the odd ones (O[j] = v[2j + 1]).
void SetDown(ValveOversampler::Stage& s, const double* h, int n, int shift) {
  s.down[0] = s.down[1] = TapList{};
  for (int k = 0; k < n; ++k) {
    const int d = k + shift;
    if (d % 2 == 0) {
      Add(s.down[0], d / 2, h[k]);
    } else {
      Add(s.down[1], (d + 1) / 2, h[k]);
    }
  }
  Pair(s.down[0]);
  Pair(s.down[1]);
}

#define QRV_HQ_INLINE [[gnu::always_inline]] inline
// The loops over a group's vectors, unrolled whatever the optimisation level, so that the sums stay in
// registers.
#define QRV_HQ_UNROLL _Pragma("GCC unroll 8")

// lo, hi = a and b interleaved (a0 b0 a1 b1 ...); and back.
template <int W>
struct Phases;
template <>
struct Phases<2> {
  using D = Lanes<2>::D;
  QRV_HQ_INLINE static void Interleave(D a, D b, D& lo, D& hi) {
    lo = __builtin_shufflevector(a, b, 0, 2);
    hi = __builtin_shufflevector(a, b, 1, 3);
  }
  QRV_HQ_INLINE static void Split(D lo, D hi, D& even, D& odd) {
    even = __builtin_shufflevector(lo, hi, 0, 2);
    odd = __builtin_shufflevector(lo, hi, 1, 3);
  }
};
template <>
struct Phases<4> {
  using D = Lanes<4>::D;
  QRV_HQ_INLINE static void Interleave(D a, D b, D& lo, D& hi) {
    lo = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    hi = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  }
  QRV_HQ_INLINE static void Split(D lo, D hi, D& even, D& odd) {
    even = __builtin_shufflevector(lo, hi, 0, 2, 4, 6);
    odd = __builtin_shufflevector(lo, hi, 1, 3, 5, 7);
  }
};
template <>
struct Phases<8> {
  using D = Lanes<8>::D;
  QRV_HQ_INLINE static void Interleave(D a, D b, D& lo, D& hi) {
    lo = __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
    hi = __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
  }
  QRV_HQ_INLINE static void Split(D lo, D hi, D& even, D& odd) {
    even = __builtin_shufflevector(lo, hi, 0, 2, 4, 6, 8, 10, 12, 14);
    odd = __builtin_shufflevector(lo, hi, 1, 3, 5, 7, 9, 11, 13, 15);
  }
};

// kGroups groups of W outputs of one branch: that many independent sums, so that none waits on another,
// and each tap's coefficient and offsets serve all of them.
constexpr int kGroups = 4;
template <int W>
struct Group {
  typename Lanes<W>::D v[kGroups];
};

// A halfband stage's branches: in each direction one is a run mirrored about its middle and the other the
// centre tap alone. P > 0: the run has P pairs, known here, and their coefficients stay in registers
// across the chunk; P == 0: any number, read from the list.
template <int W, int P>
struct MirroredRun {
  using D = typename Lanes<W>::D;
  static constexpr int kHeld = P > 0 ? P : 1;
  const TapList& t;
  D c[kHeld];

  QRV_HQ_INLINE explicit MirroredRun(const TapList& list) : t(list) {
    QRV_HQ_UNROLL
    for (int j = 0; j < kHeld; ++j) c[j] = D{} + t.coef[j];
  }
  // The sums of outputs [m, m + kGroups W) at x + m.
  QRV_HQ_INLINE void Sums(const double* x, D (&sum)[kGroups]) const {
    const int pairs = P > 0 ? P : t.pairs;
    const double* a = x - t.offset[0];  // entry j on a - j and its mirror b + j
    const double* b = a - (2 * pairs - 1);
    QRV_HQ_UNROLL
    for (int q = 0; q < kGroups; ++q) sum[q] = c[0] * (Load<W>(a + q * W) + Load<W>(b + q * W));
    if constexpr (P > 0) {
      QRV_HQ_UNROLL
      for (int j = 1; j < P; ++j) {
        QRV_HQ_UNROLL
        for (int q = 0; q < kGroups; ++q) sum[q] += c[j] * (Load<W>(a - j + q * W) + Load<W>(b + j + q * W));
      }
    } else {
      for (int j = 1; j < pairs; ++j) {
        const double cj = t.coef[j];
        QRV_HQ_UNROLL
        for (int q = 0; q < kGroups; ++q) sum[q] += cj * (Load<W>(a - j + q * W) + Load<W>(b + j + q * W));
      }
    }
  }
};

// Writes the branch t's outputs at x (and the kGroups W after it) to g, or with `add`, adds them to g.
template <int W>
QRV_HQ_INLINE void Branch(const TapList& t, const double* x, Group<W>& g, bool add) {
  using D = typename Lanes<W>::D;
  switch (t.kind) {
    case TapList::Kind::kSingle: {
      // A halfband's centre: a delay times 1 (interpolating) or 1/2 (decimating), both exact.
      const double* p = x - t.offset[0];
      const double c = t.coef[0];
      QRV_HQ_UNROLL
      for (int q = 0; q < kGroups; ++q) {
        const D v = c == 1.0 ? Load<W>(p + q * W) : c * Load<W>(p + q * W);
        g.v[q] = add ? g.v[q] + v : v;
      }
      return;
    }
    case TapList::Kind::kSymmetric: {
      D sum[kGroups];
      MirroredRun<W, 0>(t).Sums(x, sum);
      QRV_HQ_UNROLL
      for (int q = 0; q < kGroups; ++q) g.v[q] = add ? g.v[q] + sum[q] : sum[q];
      return;
    }
    case TapList::Kind::kGeneral: break;
  }
  D sum[kGroups];
  QRV_HQ_UNROLL
  for (int q = 0; q < kGroups; ++q) sum[q] = D{};
  int j = 0;
  for (; j < t.pairs; ++j) {
    const double* p = x - t.offset[j];
    const double* r = x - t.pairedOffset[j];
    const double c = t.coef[j];
    QRV_HQ_UNROLL
    for (int q = 0; q < kGroups; ++q) sum[q] += c * (Load<W>(p + q * W) + Load<W>(r + q * W));
  }
  for (; j < t.count; ++j) {
    const double* p = x - t.offset[j];
    const double c = t.coef[j];
    QRV_HQ_UNROLL
    for (int q = 0; q < kGroups; ++q) sum[q] += c * Load<W>(p + q * W);
  }
  QRV_HQ_UNROLL
  for (int q = 0; q < kGroups; ++q) g.v[q] = add ? g.v[q] + sum[q] : sum[q];
}

// `count` inputs of x to 2 count outputs.
template <int W>
QRV_HQ_INLINE void Interpolate(const ValveOversampler::Stage& s, const double* x, int count, double* out) {
  using D = typename Lanes<W>::D;
  for (int m = 0; m < count; m += kGroups * W) {
    Group<W> e, o;
    Branch<W>(s.up[0], x + m, e, false);
    Branch<W>(s.up[1], x + m, o, false);
    QRV_HQ_UNROLL
    for (int q = 0; q < kGroups; ++q) {
      D lo, hi;
      Phases<W>::Interleave(e.v[q], o.v[q], lo, hi);
      Store<W>(out + 2 * (m + q * W), lo);
      Store<W>(out + 2 * (m + q * W) + W, hi);
    }
  }
}

// Writes outputs [m, m + G W) contiguously, or split by phase into even and odd (m even).
template <int W, int G>
QRV_HQ_INLINE void Put(const typename Lanes<W>::D (&v)[G], int m, double* out, double* even, double* odd) {
  using D = typename Lanes<W>::D;
  if (even == nullptr) {
    QRV_HQ_UNROLL
    for (int q = 0; q < G; ++q) Store<W>(out + m + q * W, v[q]);
    return;
  }
  QRV_HQ_UNROLL
  for (int q = 0; q < G; q += 2) {
    D e, o;
    Phases<W>::Split(v[q], v[q + 1], e, o);
    Store<W>(even + (m + q * W) / 2, e);
    Store<W>(odd + (m + q * W) / 2, o);
  }
}

// `count` outputs from the even and odd inputs.
template <int W>
QRV_HQ_INLINE void Decimate(const ValveOversampler::Stage& s, const double* e, const double* o, int count, double* out,
                            double* outEven, double* outOdd) {
  // The branch with more taps first, so that the other adds to its sums.
  const bool oddFirst = s.down[1].count > s.down[0].count;
  const TapList& first = s.down[oddFirst ? 1 : 0];
  const TapList& second = s.down[oddFirst ? 0 : 1];
  const double* firstIn = oddFirst ? o : e;
  const double* secondIn = oddFirst ? e : o;
  for (int m = 0; m < count; m += kGroups * W) {
    Group<W> g;
    Branch<W>(first, firstIn + m, g, false);
    Branch<W>(second, secondIn + m, g, true);
    Put<W, kGroups>(g.v, m, out, outEven, outOdd);
  }
}

template <int W, int P>
QRV_HQ_INLINE void InterpolateHalfband(const ValveOversampler::Stage& s, const double* x, int count, double* out) {
  using D = typename Lanes<W>::D;
  const int runPhase = s.up[0].kind == TapList::Kind::kSymmetric ? 0 : 1;
  const MirroredRun<W, P> run(s.up[runPhase]);
  const TapList& centre = s.up[1 - runPhase];
  const double* centreAt = x - centre.offset[0];
  const double centreCoef = centre.coef[0];  // 1: the input itself
  for (int m = 0; m < count; m += kGroups * W) {
    D sum[kGroups];
    run.Sums(x + m, sum);
    QRV_HQ_UNROLL
    for (int q = 0; q < kGroups; ++q) {
      const D v = centreCoef * Load<W>(centreAt + m + q * W);
      D lo, hi;
      if (runPhase == 0) {
        Phases<W>::Interleave(sum[q], v, lo, hi);
      } else {
        Phases<W>::Interleave(v, sum[q], lo, hi);
      }
      Store<W>(out + 2 * (m + q * W), lo);
      Store<W>(out + 2 * (m + q * W) + W, hi);
    }
  }
}

template <int W, int P>
QRV_HQ_INLINE void DecimateHalfband(const ValveOversampler::Stage& s, const double* e, const double* o, int count,
                                    double* out, double* outEven, double* outOdd) {
  const int runPhase = s.down[0].kind == TapList::Kind::kSymmetric ? 0 : 1;
  const MirroredRun<W, P> run(s.down[runPhase]);
  const double* runIn = runPhase == 0 ? e : o;
  const TapList& centre = s.down[1 - runPhase];
  const double* centreAt = (runPhase == 0 ? o : e) - centre.offset[0];
  const double centreCoef = centre.coef[0];  // 1/2: exact, whatever the order of the sum
  for (int m = 0; m < count; m += kGroups * W) {
    typename Lanes<W>::D sum[kGroups];
    run.Sums(runIn + m, sum);
    QRV_HQ_UNROLL
    for (int q = 0; q < kGroups; ++q) sum[q] += centreCoef * Load<W>(centreAt + m + q * W);
    Put<W, kGroups>(sum, m, out, outEven, outOdd);
  }
}

bool Halfband(const TapList (&branches)[2]) {
  return (branches[0].kind == TapList::Kind::kSymmetric && branches[1].kind == TapList::Kind::kSingle) ||
         (branches[1].kind == TapList::Kind::kSymmetric && branches[0].kind == TapList::Kind::kSingle);
}

// The long branch's pairs: the counts of the engine's design have kernels of their own.
int RunPairs(const TapList (&branches)[2]) {
  return branches[branches[0].kind == TapList::Kind::kSymmetric ? 0 : 1].pairs;
}

template <int W>
QRV_HQ_INLINE void Raise(const ValveOversampler::Stage& s, const double* x, int count, double* out) {
  if (!Halfband(s.up)) {
    Interpolate<W>(s, x, count, out);
    return;
  }
  switch (RunPairs(s.up)) {
    case 3: InterpolateHalfband<W, 3>(s, x, count, out); return;
    case 5: InterpolateHalfband<W, 5>(s, x, count, out); return;
    default: InterpolateHalfband<W, 0>(s, x, count, out); return;
  }
}

template <int W>
QRV_HQ_INLINE void Lower(const ValveOversampler::Stage& s, const double* e, const double* o, int count, double* out,
                         double* outEven, double* outOdd) {
  if (!Halfband(s.down)) {
    Decimate<W>(s, e, o, count, out, outEven, outOdd);
    return;
  }
  switch (RunPairs(s.down)) {
    case 3: DecimateHalfband<W, 3>(s, e, o, count, out, outEven, outOdd); return;
    case 5: DecimateHalfband<W, 5>(s, e, o, count, out, outEven, outOdd); return;
    default: DecimateHalfband<W, 0>(s, e, o, count, out, outEven, outOdd); return;
  }
}

template <int W>
QRV_HQ_INLINE typename Lanes<W>::D Abs(typename Lanes<W>::D x) {
  return x < 0.0 ? -x : x;
}

// log(1 + z) for z >= 0 (finite): z = 2^e f with f in [sqrt 1/2, sqrt 2), log f = 2 atanh((f - 1) / (f + 1)).
// Below sqrt 2 - 1 the quotient is formed from z itself, so small z keep their relative accuracy.
template <int W>
QRV_HQ_INLINE typename Lanes<W>::D Log1p(typename Lanes<W>::D z) {
  using D = typename Lanes<W>::D;
  using I = typename Lanes<W>::I;
  constexpr double kSqrt2 = 1.4142135623730951;
  const D a = 1.0 + z;
  const I bits = (I)a;
  const I field = bits >> 52;  // a >= 1: no sign bit
  D f = (D)((bits & 0x000fffffffffffffLL) | 0x3ff0000000000000LL);
  const auto big = f > kSqrt2;
  f = big ? f * 0.5 : f;
  const D one = z * 0.0 + 1.0;
  const D e = ((D)(field | 0x4330000000000000LL) - 4503599627370496.0) - 1023.0 + (big ? one : one * 0.0);
  const auto near = a < kSqrt2;
  const D s = (near ? z : f - 1.0) / (near ? z + 2.0 : f + 1.0);
  const D s2 = s * s;
  D p = 0.043478260869565216 + s2 * 0.0;  // 1/23
  p = 0.047619047619047616 + s2 * p;      // 1/21
  p = 0.05263157894736842 + s2 * p;
  p = 0.058823529411764705 + s2 * p;
  p = 0.06666666666666667 + s2 * p;
  p = 0.07692307692307693 + s2 * p;
  p = 0.09090909090909091 + s2 * p;
  p = 0.1111111111111111 + s2 * p;
  p = 0.14285714285714285 + s2 * p;
  p = 0.2 + s2 * p;
  p = 0.3333333333333333 + s2 * p;
  const D logF = 2.0 * s + (2.0 * s * s2) * p;
  return e * 6.93147180369123816490e-01 + (logF + e * 1.90821492927058770002e-10);
}

// The curve's antiderivative over u = k s, zero at zero: u atan u - log(1 + u²) / 2 above zero, and
// 1.5625² log cosh(0.64 u) below (the negative half -1.5625 tanh(-0.64 u) integrates to it).
template <int W>
QRV_HQ_INLINE typename Lanes<W>::D PositiveHalf(typename Lanes<W>::D u) {
  return u * Atan<W>(u) - 0.5 * Log1p<W>(u * u);
}

template <int W>
QRV_HQ_INLINE typename Lanes<W>::D NegativeHalf(typename Lanes<W>::D u) {
  using D = typename Lanes<W>::D;
  constexpr double kSquare = 2.44140625;  // 1.5625², exact
  const D w = -0.64 * u;
  const auto small = w < 0.1;
  D series = D{}, large = D{};
  if (Any<W>(small)) {
    // log cosh w = w²/2 - w⁴/12 + w⁶/45 - 17 w⁸/2520 + 31 w¹⁰/14175 - 691 w¹²/467775 - ...
    const D w2 = w * w;
    D p = -0.0014772117043177812 + w2 * 0.0;
    p = 0.0021869488536155204 + w2 * p;
    p = -0.006746031746031746 + w2 * p;
    p = 0.022222222222222223 + w2 * p;
    p = -0.08333333333333333 + w2 * p;
    p = 0.5 + w2 * p;
    series = w2 * p;
  }
  if (!All<W>(small)) {
    // w + log(1 + e^(-2w)) - log 2; beyond w = 20 the middle term is below an ulp of w.
    const D y = -2.0 * w;
    const D z = Expm1<W>(y < -40.0 ? y * 0.0 - 40.0 : y) + 1.0;
    large = (w - 0.6931471805599453) + Log1p<W>(z < 0.0 ? z * 0.0 : z);
  }
  return kSquare * (small ? series : large);
}

template <int W>
QRV_HQ_INLINE typename Lanes<W>::D Antiderivative(typename Lanes<W>::D u) {
  using D = typename Lanes<W>::D;
  const auto up = u >= 0.0;
  if (All<W>(up)) return PositiveHalf<W>(u);
  if (!Any<W>(up)) return NegativeHalf<W>(u);
  return up ? PositiveHalf<W>(up ? u : D{}) : NegativeHalf<W>(up ? D{} : u);
}

// atan x for x >= 0 (finite) as a quotient and what to add back: reduced to t = n / d with
// |t| <= tan(pi/8) (x, (x - 1) / (x + 1) or -1 / x, with 0, pi/4 or pi/2 to add back); then
// t + t z P(z) with z = t², where P, of degree 10, is the Chebyshev fit of (atan(t) / t - 1) / z over
// the reduced range, within 1e-17 of atan(t) / t.
template <int W>
struct AtanQuotient {
  using D = typename Lanes<W>::D;
  D n{}, d{}, base{}, more{};

  AtanQuotient() = default;
  QRV_HQ_INLINE explicit AtanQuotient(D x) {
    constexpr double kMoreBits = 6.123233995736765886130e-17;  // pi/2 - (double) pi/2
    const auto big = x > 2.41421356237309504880;
    const auto mid = x > 0.41421356237309504880;
    const D one = x * 0.0 + 1.0;
    n = big ? -one : (mid ? x - 1.0 : x);
    d = big ? x : (mid ? x + 1.0 : one);
    base = big ? one * 1.5707963267948966 : (mid ? one * 0.7853981633974483 : one * 0.0);
    more = big ? one * kMoreBits : (mid ? one * (0.5 * kMoreBits) : one * 0.0);
  }
  QRV_HQ_INLINE D Finish(D t) const {
    // Estrin's scheme: a chain of 5 multiply-adds where Horner's has 10.
    const D z = t * t, z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
    const D p01 = -0.3333333333333333 + z * 0.1999999999999552;
    const D p23 = -0.14285714284666542 + z * 0.11111111015256361;
    const D p45 = -0.09090904578123903 + z * 0.07692183190826087;
    const D p67 = -0.06664511447381948 + z * 0.0585814891280221;
    const D p89 = -0.0508544973794026 + z * 0.03923165829558719;
    const D p03 = p01 + z2 * p23, p47 = p45 + z2 * p67, p810 = p89 + z2 * -0.01917688711906226;
    const D p = (p03 + z4 * p47) + z8 * p810;
    return base + ((t * z) * p + t) + more;
  }
};

// e^y - 1 for -40 <= y <= 0: y = k ln2 + r, |r| <= ln2 / 2, r + r² P(r) with P the Taylor series of
// (e^r - 1 - r) / r² to r^12 (the first term left out is below 1e-17 of the result), by Estrin's scheme.
template <int W>
QRV_HQ_INLINE typename Lanes<W>::D ExpMinusOne(typename Lanes<W>::D y) {
  using D = typename Lanes<W>::D;
  using I = typename Lanes<W>::I;
  constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to an integer
  const D t = y * 1.4426950408889634 + kRound;
  const D k = t - kRound;
  const D r = (y - k * 6.93147180369123816490e-01) - k * 1.90821492927058770002e-10;
  const D r2 = r * r, r4 = r2 * r2, r8 = r4 * r4;
  const D p01 = 0.5 + r * 0.16666666666666666;
  const D p23 = 0.041666666666666664 + r * 0.008333333333333333;
  const D p45 = 0.001388888888888889 + r * 0.0001984126984126984;
  const D p67 = 2.48015873015873e-05 + r * 2.7557319223985893e-06;
  const D p89 = 2.755731922398589e-07 + r * 2.505210838544172e-08;
  const D p1011 = 2.08767569878681e-09 + r * 1.6059043836821613e-10;
  const D p03 = p01 + r2 * p23, p47 = p45 + r2 * p67, p811 = p89 + r2 * p1011;
  const D p = (p03 + r4 * p47) + r8 * (p811 + r4 * 1.1470745597729725e-11);
  const D e1 = r + r2 * p;
  const I n = (I)t - (I)(r * 0.0 + kRound);  // vector casts reinterpret the bits
  const D scale = (D)((n + 1023) << 52);
  return scale * e1 + (scale - 1.0);
}

// The smallest and the largest lane of v, by halving the vector: a few instructions where a lane-by-lane
// test takes one per lane. Kept in doubles and selects: a comparison's mask held as a value in a template
// (compiled before it is inlined into its instruction set's pass) would be tested lane by lane.
template <int W>
QRV_HQ_INLINE double Smallest(typename Lanes<W>::D v) {
  if constexpr (W == 8) {
    const typename Lanes<4>::D lo = __builtin_shufflevector(v, v, 0, 1, 2, 3);
    const typename Lanes<4>::D hi = __builtin_shufflevector(v, v, 4, 5, 6, 7);
    return Smallest<4>(lo < hi ? lo : hi);
  } else if constexpr (W == 4) {
    const typename Lanes<2>::D lo = __builtin_shufflevector(v, v, 0, 1), hi = __builtin_shufflevector(v, v, 2, 3);
    return Smallest<2>(lo < hi ? lo : hi);
  } else {
    return v[0] < v[1] ? v[0] : v[1];
  }
}
template <int W>
QRV_HQ_INLINE double Largest(typename Lanes<W>::D v) {
  if constexpr (W == 8) {
    const typename Lanes<4>::D lo = __builtin_shufflevector(v, v, 0, 1, 2, 3);
    const typename Lanes<4>::D hi = __builtin_shufflevector(v, v, 4, 5, 6, 7);
    return Largest<4>(lo > hi ? lo : hi);
  } else if constexpr (W == 4) {
    const typename Lanes<2>::D lo = __builtin_shufflevector(v, v, 0, 1), hi = __builtin_shufflevector(v, v, 2, 3);
    return Largest<2>(lo > hi ? lo : hi);
  } else {
    return v[0] > v[1] ? v[0] : v[1];
  }
}

// Which halves of the curve a set of vectors needs.
enum class Sides { kUp, kDown, kBoth };

// The curve over G vectors u, a the argument each lane uses (u above zero, -0.64 u below).
// tanh w = -v / (2 + v) with v = e^(-2w) - 1.
template <int W, int G, Sides S>
QRV_HQ_INLINE void CurvesOf(typename Lanes<W>::D (&u)[G], const typename Lanes<W>::D (&a)[G]) {
  using D = typename Lanes<W>::D;
  D n[G], d[G], t[G];
  AtanQuotient<W> atan[G];
  QRV_HQ_UNROLL
  for (int q = 0; q < G; ++q) {
    const auto up = u[q] >= 0.0;
    if constexpr (S != Sides::kDown) atan[q] = AtanQuotient<W>(S == Sides::kUp ? u[q] : (up ? a[q] : D{}));
    D tn = D{}, td = D{};
    if constexpr (S != Sides::kUp) {
      const D w = S == Sides::kDown ? a[q] : (up ? D{} : a[q]);
      const D v = ExpMinusOne<W>(-2.0 * (w > 20.0 ? w * 0.0 + 20.0 : w));  // tanh is 1 in double well before 20
      tn = -v;
      td = 2.0 + v;
    }
    if constexpr (S == Sides::kUp) {
      n[q] = atan[q].n;
      d[q] = atan[q].d;
    } else if constexpr (S == Sides::kDown) {
      n[q] = tn;
      d[q] = td;
    } else {
      n[q] = up ? atan[q].n : tn;
      d[q] = up ? atan[q].d : td;
    }
  }
  QRV_HQ_UNROLL
  for (int q = 0; q < G; ++q) t[q] = n[q] / d[q];
  QRV_HQ_UNROLL
  for (int q = 0; q < G; ++q) {
    if constexpr (S == Sides::kUp) {
      u[q] = atan[q].Finish(t[q]);
    } else if constexpr (S == Sides::kDown) {
      u[q] = -1.5625 * t[q];
    } else {
      u[q] = u[q] >= 0.0 ? atan[q].Finish(t[q]) : -1.5625 * t[q];
    }
  }
}

// The curve itself (make-up 1): atan u above zero, -1.5625 tanh(-0.64 u) below, over G vectors in place
// (finite u). The choice of formula is made once for all of them, so that their evaluations interleave.
template <int W, int G>
QRV_HQ_INLINE void Curves(typename Lanes<W>::D (&u)[G]) {
  using D = typename Lanes<W>::D;
  D a[G];  // the argument each lane uses, 0 or more
  D low = u[0], high = u[0], top = D{};
  QRV_HQ_UNROLL
  for (int q = 0; q < G; ++q) {
    a[q] = u[q] >= 0.0 ? u[q] : -0.64 * u[q];
    low = u[q] < low ? u[q] : low;
    high = u[q] > high ? u[q] : high;
    top = a[q] > top ? a[q] : top;
  }
  if (Largest<W>(top) < kSmallArgument) {
    // Both odd series in a; the terms left out are below 1e-24 of the result.
    QRV_HQ_UNROLL
    for (int q = 0; q < G; ++q) {
      const D z = a[q] * a[q];
      const D atanA = a[q] + a[q] * z * (-0.3333333333333333 + z * (0.2 + z * -0.14285714285714285));
      const D tanhA = a[q] + a[q] * z * (-0.3333333333333333 + z * (0.13333333333333333 + z * -0.05396825396825397));
      u[q] = u[q] >= 0.0 ? atanA : -1.5625 * tanhA;
    }
  } else if (Smallest<W>(low) >= 0.0) {
    CurvesOf<W, G, Sides::kUp>(u, a);
  } else if (Largest<W>(high) < 0.0) {
    CurvesOf<W, G, Sides::kDown>(u, a);
  } else {
    CurvesOf<W, G, Sides::kBoth>(u, a);
  }
}

template <int W>
QRV_HQ_INLINE typename Lanes<W>::D Curve(typename Lanes<W>::D u) {
  typename Lanes<W>::D v[1] = {u};
  Curves<W, 1>(v);
  return v[0];
}

// The curve's mean between u0 and u1: (Φ(u1) - Φ(u0)) / (u1 - u0). Where the two are so close that the
// difference of Φ would lose more to rounding than the mean differs from the curve at the midpoint,
// the midpoint's value.
template <int W>
QRV_HQ_INLINE typename Lanes<W>::D Mean(typename Lanes<W>::D u0, typename Lanes<W>::D u1, typename Lanes<W>::D p0,
                                         typename Lanes<W>::D p1) {
  using D = typename Lanes<W>::D;
  const D d = u1 - u0;
  const auto close = Abs<W>(d) < 1e-6 * ((1.0 + Abs<W>(u0)) + Abs<W>(u1));
  D r = (p1 - p0) / (close ? d * 0.0 + 1.0 : d);
  if (Any<W>(close)) r = close ? Curve<W>(0.5 * (u0 + u1)) : r;
  return r;
}

// The curve over the top stream x (count samples, history before), written contiguously to out or split
// by phase.
template <int W>
QRV_HQ_INLINE void CurvePass(const double* x, double* phi, int count, bool antiderivative, double* out, double* even,
                             double* odd) {
  if (antiderivative) {
    for (int i = 0; i < count; i += W) Store<W>(phi + i, Antiderivative<W>(Load<W>(x + i)));
  }
  constexpr int kCurveGroups = 4;
  for (int m = 0; m < count; m += kCurveGroups * W) {
    typename Lanes<W>::D v[kCurveGroups];
    QRV_HQ_UNROLL
    for (int q = 0; q < kCurveGroups; ++q) {
      const int i = m + q * W;
      v[q] = antiderivative ? Mean<W>(Load<W>(x + i - 1), Load<W>(x + i), Load<W>(phi + i - 1), Load<W>(phi + i))
                            : Load<W>(x + i);
    }
    if (!antiderivative) Curves<W, kCurveGroups>(v);
    Put<W, kCurveGroups>(v, m, out, even, odd);
  }
}

struct Pass {
  const ValveOversampler::Stage* stages;
  const double* u;
  double* x[ValveOversampler::kMaxStages + 1];
  double* phi;
  double* even[ValveOversampler::kMaxStages + 1];
  double* odd[ValveOversampler::kMaxStages + 1];
  // Samples of history each stream keeps before index 0 for the next chunk.
  int xHistory[ValveOversampler::kMaxStages + 1];
  int evenHistory[ValveOversampler::kMaxStages + 1];
  int oddHistory[ValveOversampler::kMaxStages + 1];
  int count;  // host frames
  int stageCount;
  bool antiderivative;
  double* y;       // the last pass's output, with room past the chunk
  double* result;  // the caller's: count samples
};

// x = u with a non-finite sample (NaN or infinite) as silence and |u| limited to 1e8.
template <int W>
QRV_HQ_INLINE void Sanitize(const double* u, double* x, int count) {
  using D = typename Lanes<W>::D;
  int i = 0;
  for (; i + W <= count; i += W) {
    const D v = Load<W>(u + i);
    const D limited = v < -1e8 ? D{} - 1e8 : (v > 1e8 ? D{} + 1e8 : v);
    Store<W>(x + i, v - v == 0.0 ? limited : D{});  // v - v is NaN for infinities and NaN
  }
  for (; i < count; ++i) {
    const double v = u[i];
    x[i] = v - v == 0.0 ? std::clamp(v, -1e8, 1e8) : 0.0;
  }
}

// Moves the last `history` samples of a stream's chunk of `count` to just before its index 0. The
// destination lies `count` samples before the source: copied forwards, W at a time when a vector's
// store cannot reach a sample not yet read.
template <int W>
QRV_HQ_INLINE void Keep(double* at, int count, int history) {
  double* to = at - history;
  const double* from = at + count - history;
  int i = 0;
  if (count >= W) {
    for (; i + W <= history; i += W) Store<W>(to + i, Load<W>(from + i));
  }
  for (; i < history; ++i) to[i] = from[i];
}

template <int W>
QRV_HQ_INLINE void Run(const Pass& p) {
  const int top = p.stageCount;
  Sanitize<W>(p.u, p.x[0], p.count);
  for (int s = 1; s <= top; ++s) Raise<W>(p.stages[s], p.x[s - 1], p.count << (s - 1), p.x[s]);
  if (top == 0) {
    CurvePass<W>(p.x[0], p.phi, p.count, p.antiderivative, p.y, nullptr, nullptr);
  } else {
    CurvePass<W>(p.x[top], p.phi, p.count << top, p.antiderivative, nullptr, p.even[top], p.odd[top]);
    for (int s = top; s >= 1; --s) {
      const int outputs = p.count << (s - 1);
      if (s > 1) {
        Lower<W>(p.stages[s], p.even[s], p.odd[s], outputs, nullptr, p.even[s - 1], p.odd[s - 1]);
      } else {
        Lower<W>(p.stages[s], p.even[s], p.odd[s], outputs, p.y, nullptr, nullptr);
      }
    }
  }
  int i = 0;
  for (; i + W <= p.count; i += W) Store<W>(p.result + i, Load<W>(p.y + i));
  for (; i < p.count; ++i) p.result[i] = p.y[i];
  for (int s = 0; s <= top; ++s) Keep<W>(p.x[s], p.count << s, p.xHistory[s]);
  if (p.antiderivative) Keep<W>(p.phi, p.count << top, 1);
  for (int s = 1; s <= top; ++s) {
    Keep<W>(p.even[s], p.count << (s - 1), p.evenHistory[s]);
    Keep<W>(p.odd[s], p.count << (s - 1), p.oddHistory[s]);
  }
}

#undef QRV_HQ_INLINE
#undef QRV_HQ_UNROLL

void Run2(const Pass& p) { Run<2>(p); }
__attribute__((target("avx2,fma"))) void Run4(const Pass& p) { Run<4>(p); }
__attribute__((target("avx512f"))) void Run8(const Pass& p) { Run<8>(p); }

void RunFor(InstructionSet isa, const Pass& p) {
  switch (isa) {
    case InstructionSet::kAvx512: Run8(p); return;
    case InstructionSet::kAvx2:
      if (__builtin_cpu_supports("fma")) {
        Run4(p);
        return;
      }
      break;
    case InstructionSet::kSse2: break;
  }
  Run2(p);
}

}  // namespace

int TapList::History() const {
  int h = 0;
  for (int j = 0; j < count; ++j) h = std::max({h, offset[j], pairedOffset[j]});
  return h;
}

ValveOversampler::ValveOversampler() { Configure(kValveStageDesign); }

void ValveOversampler::Configure(const ValveStageDesign& d) {
  design_ = d;
  design_.stages = std::clamp(d.stages, 0, kMaxStages);
  const int top = design_.stages;
  // Each stage's transition, in radians at its higher rate: the first from kFirstPass to kFirstStop of
  // the host's rate; stage s from kFirstStop to 2^(s-1) - kFirstStop (its images and folds land where
  // the stages below stop them). The stages run from the host's rate up, so at the top the delays of
  // all of them are known, and the top decimator takes the shift that makes the whole a number of
  // host frames.
  double h[2 * TapList::kMax];
  double delay = 0.0;  // in samples at the top rate
  for (int s = 1; s <= top; ++s) {
    const double rate = static_cast<double>(1 << s);  // in host rates
    const double width = s == 1 ? 2.0 * kPi * (kFirstStop - kFirstPass) / rate
                                : 2.0 * kPi * ((1 << (s - 1)) - 2.0 * kFirstStop) / rate;
    const double db = s == 1 ? design_.firstStopbandDb : design_.laterStopbandDb;
    int n = KaiserLength(db, width);
    n = std::min(4 * (n / 4) + 3, 2 * TapList::kMax - 1);  // the next 4j + 3: a halfband
    QuarterBandLowPass(h, n, db);
    SetUp(stages_[s], h, n);
    const double scale = static_cast<double>(1 << (top - s));
    delay += scale * (n - 1) * 0.5;  // the interpolator's share
    if (s == top && design_.antiderivative) {
      // The mean between neighbours lags by half a sample; an even-length decimator at the top lags by
      // a half more, so that the whole path stays a whole number of samples.
      int even = KaiserLength(db, width);
      even = std::min(even + even % 2, 2 * TapList::kMax);
      QuarterBandLowPass(h, even, db);
      n = even;
    }
    const double down = scale * (n - 1) * 0.5;
    delay += down;
    if (s == top) {
      const double total = delay + (design_.antiderivative ? 0.5 : 0.0);
      const double topRate = static_cast<double>(1 << top);
      const double frames = std::ceil(total / topRate - 1e-9);
      const int shift = static_cast<int>(std::lround(frames * topRate - total));
      SetDown(stages_[s], h, n, shift);
      latency_ = static_cast<int>(frames);
    } else {
      SetDown(stages_[s], h, n, 0);
    }
  }
  if (top == 0) latency_ = 0;  // the mean alone lags half a host frame: not compensated
  for (int s = 0; s <= kMaxStages; ++s) {
    xHistory_[s] = s < top ? std::max(stages_[s + 1].up[0].History(), stages_[s + 1].up[1].History()) : 1;
    evenHistory_[s] = s >= 1 && s <= top ? stages_[s].down[0].History() : 0;
    oddHistory_[s] = s >= 1 && s <= top ? stages_[s].down[1].History() : 0;
  }
  Clear();
}

void ValveOversampler::Clear() {
  for (Stream& s : x_) std::memset(s.data, 0, sizeof s.data);
  for (Stream& s : even_) std::memset(s.data, 0, sizeof s.data);
  for (Stream& s : odd_) std::memset(s.data, 0, sizeof s.data);
  std::memset(phi_.data, 0, sizeof phi_.data);
}

void ValveOversampler::Process(const double* u, double* y, int n, InstructionSet isa) {
  n = std::clamp(n, 0, kChunkFrames);
  if (n == 0) return;
  Pass p{};
  p.stages = stages_;
  p.u = u;
  for (int s = 0; s <= kMaxStages; ++s) {
    p.x[s] = x_[s].at();
    p.even[s] = even_[s].at();
    p.odd[s] = odd_[s].at();
    p.xHistory[s] = xHistory_[s];
    p.evenHistory[s] = evenHistory_[s];
    p.oddHistory[s] = oddHistory_[s];
  }
  p.phi = phi_.at();
  p.count = n;
  p.stageCount = design_.stages;
  p.antiderivative = design_.antiderivative;
  p.y = out_;
  p.result = y;
  RunFor(isa, p);
}

}  // namespace qrv
