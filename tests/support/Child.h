// Runs a piece of a test in a child process of its own, where the conditions a user meets can be set
// without touching the test process or the machine: a full disk (a file size limit, which binds root
// too) or an ordinary user's rights (so that permission bits apply when the tests run as root).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qrv::test {

struct ChildConditions {
  // Files may not grow beyond this many bytes (RLIMIT_FSIZE, SIGXFSZ ignored): writes fail with
  // EFBIG as they would with ENOSPC on a full disk. 0: no limit.
  std::uint64_t fileSizeLimit = 0;
  // Runs as "nobody" (uid and gid 65534, no supplementary groups).
  bool unprivileged = false;
};

struct ChildResult {
  bool exited = false;  // ended by returning from body, not by a signal
  int code = -1;        // body's return value
  std::string report;   // what body wrote to standard error
};

// body runs in a forked child under the conditions; its return value is the child's exit code.
ChildResult RunInChild(const ChildConditions& conditions, const std::function<int()>& body);

// The uid that ChildConditions::unprivileged runs as.
inline constexpr unsigned kNobody = 65534;

}  // namespace qrv::test
