// A private Xvfb server for tests that need a real X display: started on a display it picks itself
// (-displayfd) and stopped at the end. ok() is false, with the reason, when it cannot run.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

extern char** environ;

namespace qrv::test {

class PrivateXServer {
 public:
  PrivateXServer() {
    std::string xvfb;
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
      std::string candidate = std::string(dir) + "/Xvfb";
      if (access(candidate.c_str(), X_OK) == 0) {
        xvfb = candidate;
        break;
      }
    }
    if (xvfb.empty()) {
      reason_ = "Xvfb is not installed";
      return;
    }
    int fds[2];
    if (pipe(fds) != 0) {
      reason_ = "no pipe";
      return;
    }
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {xvfb.c_str(), "-displayfd", fd.c_str(), "-screen", "0",
                          "800x600x24", "-nolisten",  "tcp",      nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&pid_, xvfb.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      pid_ = -1;
      reason_ = "Xvfb could not be started";
      return;
    }
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (poll(&p, 1, 100) <= 0) continue;
      char c;
      ssize_t n = read(fds[0], &c, 1);
      if (n <= 0) break;
      if (c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (number.empty()) {
      reason_ = "Xvfb did not report a display";
      return;
    }
    name_ = ":" + number;
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status;
      waitpid(pid_, &status, 0);
    }
  }
  bool ok() const { return !name_.empty(); }
  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string reason_;
};

}  // namespace qrv::test
