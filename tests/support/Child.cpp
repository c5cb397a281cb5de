#include "tests/support/Child.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace qrv::test {

ChildResult RunInChild(const ChildConditions& conditions, const std::function<int()>& body) {
  ChildResult result;
  int err[2];
  if (pipe(err) != 0) return result;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(err[0]);
    close(err[1]);
    return result;
  }
  if (pid == 0) {
    close(err[0]);
    dup2(err[1], STDERR_FILENO);
    close(err[1]);
    if (conditions.unprivileged) {
      if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
          setresuid(kNobody, kNobody, kNobody) != 0) {
        std::fputs("could not become an unprivileged user\n", stderr);
        _exit(120);
      }
    }
    if (conditions.fileSizeLimit > 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{conditions.fileSizeLimit, conditions.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::fputs("could not limit the file size\n", stderr);
        _exit(121);
      }
    }
    const int code = body();
    std::fflush(nullptr);
    // No exit handlers: the test process's objects belong to the parent.
    _exit(code);
  }
  close(err[1]);
  char buffer[512];
  for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    result.report.append(buffer, static_cast<std::size_t>(n));
  }
  close(err[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exited = WIFEXITED(status);
  result.code = result.exited ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace qrv::test
