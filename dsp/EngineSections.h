// Inline pieces the engine's per-frame loop and its chunked passes share: the dither and filter
// sections stepped from locals, one or two side by side. Internal to dsp/.
#pragma once

#include <cstdint>

#include "dsp/EngineFormulas.h"
#include "dsp/FilterSection.h"

namespace qrv {

// Three xorshift-like generators; their XOR is scaled to a dither below 1e-10 that keeps the
// recursive sections out of denormals.
[[gnu::always_inline]] inline double Dither(uint32_t& s1, uint32_t& s2, uint32_t& s3) {
  s1 = ((((s1 >> 9) ^ s1) >> 6) & 0x1fffu) ^ (s1 << 13);
  s2 = ((((s2 >> 2) ^ s2) >> 7) & 0xfffffu) ^ (s2 << 20);
  s3 = ((((s3 >> 6) ^ s3) >> 8) & 0x1ffffu) ^ (s3 << 17);
  return static_cast<double>(s1 ^ s2 ^ s3) * kDitherScale - 1e-10;
}

// Sections stepped in lanes: T = double for one, Pair for two side by side (left and right side
// chain; fast and slow smoother). Coefficients and state live in locals the compiler keeps in
// registers; each lane computes FilterSection::Step's expression in its order, so the results are the
// same bits, or with ShortChain the chunked passes' order (BiquadStepShortChain).
typedef double Pair __attribute__((vector_size(16)));

template <typename T>
struct Sections {
  T b0, b1, b2, a1, a2, x1, x2, y1, y2;

  template <bool ShortChain = false>
  [[gnu::always_inline]] T Step(T x) {
    const T y = ShortChain ? BiquadStepShortChain(*this, x, x1, x2, y1, y2) : BiquadStep(*this, x, x1, x2, y1, y2);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

[[gnu::always_inline]] inline Sections<double> Load(const FilterSection& f) {
  return {f.b0, f.b1, f.b2, f.a1, f.a2, f.x1, f.x2, f.y1, f.y2};
}
[[gnu::always_inline]] inline Sections<Pair> Load(const FilterSection& l, const FilterSection& r) {
  return {Pair{l.b0, r.b0}, Pair{l.b1, r.b1}, Pair{l.b2, r.b2}, Pair{l.a1, r.a1}, Pair{l.a2, r.a2},
          Pair{l.x1, r.x1}, Pair{l.x2, r.x2}, Pair{l.y1, r.y1}, Pair{l.y2, r.y2}};
}
[[gnu::always_inline]] inline void Store(FilterSection& f, const Sections<double>& s) {
  f.x1 = s.x1;
  f.x2 = s.x2;
  f.y1 = s.y1;
  f.y2 = s.y2;
}
[[gnu::always_inline]] inline void Store(FilterSection& l, FilterSection& r, const Sections<Pair>& s) {
  l.x1 = s.x1[0];
  l.x2 = s.x2[0];
  l.y1 = s.y1[0];
  l.y2 = s.y2[0];
  r.x1 = s.x1[1];
  r.x2 = s.x2[1];
  r.y1 = s.y1[1];
  r.y2 = s.y2[1];
}

}  // namespace qrv
