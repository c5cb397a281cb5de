// Runs a program the way a service, a cron job or `env -i` would: with only the environment given, in a
// working folder of the test's choosing and, when asked, as a user the password database does not know
// (so that the program has no home at all). Needs root for the user change, as the tests run; the
// change is made by setpriv (util-linux).
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProcess.h"

namespace qrv::test {

// A uid (and gid) without a password entry; HasNoPasswordEntry says whether that still holds here.
inline constexpr unsigned kUserWithoutHome = 54321;
bool HasNoPasswordEntry(unsigned uid);

struct IsolatedRun {
  std::vector<std::string> env;   // the whole environment, "NAME=VALUE" each
  std::filesystem::path cwd;      // the working folder
  unsigned uid = 0;               // 0: as the test runs; else this uid and gid, no supplementary groups
  std::filesystem::path scratch;  // where standard output and error are kept (never cwd)
};

// A program started so, not waited for; killed and reaped on destruction if still running.
class IsolatedProcess {
 public:
  IsolatedProcess(const std::string& program, const std::vector<std::string>& args, const IsolatedRun& how);
  ~IsolatedProcess();
  IsolatedProcess(const IsolatedProcess&) = delete;
  IsolatedProcess& operator=(const IsolatedProcess&) = delete;
  void Signal(int signal) const;
  // Waits until it ends; past timeout it is killed and the result says so.
  ProcessResult Wait(std::chrono::milliseconds timeout = std::chrono::minutes(1));

 private:
  int pid_ = -1;
  int pidfd_ = -1;
  std::filesystem::path outPath_, errPath_;
};

// Runs program and waits for it; past timeout it is killed and the result says so.
ProcessResult RunIsolated(const std::string& program, const std::vector<std::string>& args, const IsolatedRun& how,
                          std::chrono::milliseconds timeout = std::chrono::minutes(1));

// The entries of a folder, by name; for checking that a program left nothing there.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

}  // namespace qrv::test
