// Switches the floating-point unit to flush-to-zero and denormals-are-zero for the lifetime of the
// object and restores the previous modes on destruction. Put one at the entry of processing, on the
// thread that processes; the modes are per thread. No allocation, no system call.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace qrv {

class ScopedFlushToZero {
 public:
#if defined(__SSE__) || defined(__x86_64__)
  // MXCSR bit 15 flushes denormal results to zero, bit 6 treats denormal operands as zero.
  static constexpr unsigned kFlushToZero = 0x8000u;
  static constexpr unsigned kDenormalsAreZero = 0x0040u;

  ScopedFlushToZero() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
  ~ScopedFlushToZero() { _mm_setcsr(saved_); }

  static unsigned Current() { return _mm_getcsr(); }
  static bool Active() { return (Current() & (kFlushToZero | kDenormalsAreZero)) == (kFlushToZero | kDenormalsAreZero); }

 private:
  unsigned saved_;
#elif defined(__aarch64__)
  // FPCR bit 24 (FZ) flushes denormal operands and results to zero.
  static constexpr unsigned long kFlushToZero = 1ul << 24;

  ScopedFlushToZero() : saved_(Read()) { Write(saved_ | kFlushToZero); }
  ~ScopedFlushToZero() { Write(saved_); }

  static bool Active() { return (Read() & kFlushToZero) != 0; }

 private:
  static unsigned long Read() {
    unsigned long v;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(v));
    return v;
  }
  static void Write(unsigned long v) { __asm__ __volatile__("msr fpcr, %0" : : "r"(v)); }
  unsigned long saved_;
#else
  // No known control register: processing relies on the engine's own dither against denormals.
  static bool Active() { return false; }
#endif

 public:
  ScopedFlushToZero(const ScopedFlushToZero&) = delete;
  ScopedFlushToZero& operator=(const ScopedFlushToZero&) = delete;
};

}  // namespace qrv
