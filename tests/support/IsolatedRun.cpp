#include "tests/support/IsolatedRun.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qrv::test {

bool HasNoPasswordEntry(unsigned uid) {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  return ::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found == nullptr;
}

IsolatedProcess::IsolatedProcess(const std::string& program, const std::vector<std::string>& args,
                                 const IsolatedRun& how) {
  std::filesystem::create_directories(how.scratch);
  outPath_ = how.scratch / "stdout.txt";
  errPath_ = how.scratch / "stderr.txt";
  // Everything the child needs is built before the fork.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : how.env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const std::string outPath = outPath_.string(), errPath = errPath_.string(), cwd = how.cwd.string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    if (how.uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(how.uid) != 0 || ::setuid(how.uid) != 0))
      ::_exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  pid_ = pid;
  if (pid_ > 0) pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

IsolatedProcess::~IsolatedProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (pidfd_ >= 0) ::close(pidfd_);
}

void IsolatedProcess::Signal(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

ProcessResult IsolatedProcess::Wait(std::chrono::milliseconds timeout) {
  ProcessResult result;
  if (pid_ <= 0) return result;
  pollfd p{pidfd_, POLLIN, 0};
  int ready = 0;
  while (pidfd_ >= 0 && (ready = ::poll(&p, 1, static_cast<int>(timeout.count()))) < 0 && errno == EINTR) {
  }
  if (pidfd_ >= 0 && ready == 0) {
    result.timedOut = true;
    ::kill(pid_, SIGKILL);
  }
  int wstatus = 0;
  while (::waitpid(pid_, &wstatus, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  result.status = WIFEXITED(wstatus) && !result.timedOut ? WEXITSTATUS(wstatus) : -1;
  result.out = FileBytes(outPath_);
  result.err = FileBytes(errPath_);
  return result;
}

ProcessResult RunIsolated(const std::string& program, const std::vector<std::string>& args, const IsolatedRun& how,
                          std::chrono::milliseconds timeout) {
  return IsolatedProcess(program, args, how).Wait(timeout);
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qrv::test
