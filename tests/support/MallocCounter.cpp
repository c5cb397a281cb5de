#include "tests/support/MallocCounter.h"

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

#ifdef _WIN32
// The C runtime is a DLL whose malloc a statically linked program cannot replace: allocations are counted
// where every C++ allocation passes, at the operator new that AllocationCounter replaces.
#include <optional>

#include "tests/support/AllocationCounter.h"

namespace qrv::test {
namespace {
std::optional<AllocationScope> g_scope;
long g_counted = 0;
}  // namespace

void StartMallocCount() {
  g_counted = 0;
  g_scope.emplace();
}
void PauseMallocCount(bool paused) {
  if (paused && g_scope) {
    g_counted += static_cast<long>(g_scope->count());
    g_scope.reset();
  } else if (!paused && !g_scope) {
    g_scope.emplace();
  }
}
long StopMallocCount() {
  PauseMallocCount(true);
  return g_counted;
}

}  // namespace qrv::test

#else
#include <atomic>
#include <cstddef>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
void Count() {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" void* malloc(std::size_t n) {
  Count();
  return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
  Count();
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t n) {
  Count();
  return __libc_realloc(p, n);
}

namespace qrv::test {

void StartMallocCount() {
  g_allocations.store(0);
  g_counting.store(true);
}
void PauseMallocCount(bool paused) { g_counting.store(!paused); }
long StopMallocCount() {
  g_counting.store(false);
  return g_allocations.load();
}

}  // namespace qrv::test

#endif  // _WIN32
#endif
