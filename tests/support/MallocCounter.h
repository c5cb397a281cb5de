// Counts calls to malloc, calloc and realloc while counting is on, from any thread. Where operator new
// cannot be seen (a module that carries its own C++ runtime, a library's C code), every allocation still
// ends here: the program that uses this defines those three functions, forwarding to the C library's.
// On Windows the count is taken at operator new (see MallocCounter.cpp). Sanitized builds bring their own
// malloc, so there the counter does not exist (kMallocCounted).
#pragma once

namespace qrv::test {

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
inline constexpr bool kMallocCounted = true;

// Resets the count and starts counting.
void StartMallocCount();
// Pauses or resumes counting, keeping the count (for work between the measured calls).
void PauseMallocCount(bool paused);
// Stops counting; the allocations counted since the start.
long StopMallocCount();
#else
inline constexpr bool kMallocCounted = false;
#endif

}  // namespace qrv::test
