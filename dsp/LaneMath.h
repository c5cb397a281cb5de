// Lanes of doubles for the engine's array passes and the valve stage's oversampled path: GCC vector types
// of W doubles, loads and stores, and the inline polynomials that stand in for libm (sine and cosine,
// atan, e^x - 1, tanh) with the lane policy of EngineFormulas.h. Each includer compiles them under its own
// target attribute. Internal to dsp/.
#pragma once

#include <cmath>
#include <cstring>

#include "dsp/EngineFormulas.h"

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

}  // namespace
}  // namespace qrv
