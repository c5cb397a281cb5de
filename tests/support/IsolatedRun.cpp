#include "tests/support/IsolatedRun.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
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
  // Spawned, never forked: the test process may have threads (a JACK client's). The change of user is
  // setpriv's (util-linux), which keeps the environment it is given.
  std::vector<std::string> words;
  if (how.uid != 0) {
    const std::string id = std::to_string(how.uid);
    words = {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"};
  }
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : how.env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, how.cwd.c_str());
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return;
  pid_ = pid;
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
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
