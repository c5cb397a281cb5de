// Counts calls to the global operator new while a scope is active. Linked into every test binary, so the
// replacement operators are in force everywhere; counting only happens inside an AllocationScope.
#pragma once

#include <cstddef>

namespace qrv::test {

class AllocationScope {
 public:
  AllocationScope();
  ~AllocationScope();
  AllocationScope(const AllocationScope&) = delete;
  AllocationScope& operator=(const AllocationScope&) = delete;
  // Allocations made by any thread since the scope began.
  std::size_t count() const;

 private:
  std::size_t start_;
};

}  // namespace qrv::test
