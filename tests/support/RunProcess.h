// Runs a program with an argument vector (no shell) and collects its exit status and output.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace qrv::test {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally (or was killed on timeout)
  bool timedOut = false;
  std::string out;
  std::string err;
};

// A child started without waiting for it; killed and reaped on destruction if still running.
class ChildProcess {
 public:
  // Standard output and error go through files in `scratch` (created if missing).
  ChildProcess(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int signal) const;
  // Waits until the child ends; past `timeout` it is killed and the result says so, so that a hang
  // fails the test instead of stalling the run.
  ProcessResult Wait(std::chrono::milliseconds timeout = std::chrono::minutes(2));

 private:
  pid_t pid_ = -1;
  int pidfd_ = -1;
  std::filesystem::path outPath_, errPath_;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& scratch);

// The lines of a process's output, without their newlines.
std::vector<std::string> Lines(const std::string& text);
// A file's bytes; empty when it cannot be read.
std::string FileBytes(const std::filesystem::path& path);

}  // namespace qrv::test
