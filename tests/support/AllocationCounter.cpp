#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>
#ifdef _WIN32
#include <malloc.h>
#endif

namespace {
std::atomic<int> g_active{0};
std::atomic<std::size_t> g_count{0};

void* Allocate(std::size_t size) {
  if (g_active.load(std::memory_order_relaxed) > 0) g_count.fetch_add(1, std::memory_order_relaxed);
  if (size == 0) size = 1;
  if (void* p = std::malloc(size)) return p;
  throw std::bad_alloc();
}
void* AllocateAligned(std::size_t size, std::align_val_t align) {
  if (g_active.load(std::memory_order_relaxed) > 0) g_count.fetch_add(1, std::memory_order_relaxed);
  const auto a = static_cast<std::size_t>(align);
#ifdef _WIN32
  if (void* p = _aligned_malloc(size == 0 ? 1 : size, a)) return p;
#else
  if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
#endif
  throw std::bad_alloc();
}
// Windows' C runtime has no aligned_alloc; its aligned blocks need their own free.
void FreeAligned(void* p) {
#ifdef _WIN32
  _aligned_free(p);
#else
  std::free(p);
#endif
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return AllocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return AllocateAligned(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }

namespace qrv::test {

AllocationScope::AllocationScope() : start_(g_count.load()) { g_active.fetch_add(1); }
AllocationScope::~AllocationScope() { g_active.fetch_sub(1); }
std::size_t AllocationScope::count() const { return g_count.load() - start_; }

}  // namespace qrv::test
