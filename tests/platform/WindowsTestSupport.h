// Windows test helpers: programs run as child processes with their output read back (Wine's reg.exe),
// and this test program re-run in a role of its own (a writer to be killed half-way).
#pragma once

#ifdef _WIN32

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qrv::test {

struct ProgramResult {
  bool started = false;
  unsigned long exitCode = 0;
  std::string output;  // standard output and error, as the program wrote them
};

// Runs a command line (UTF-8) to its end, reading what it writes.
ProgramResult RunProgram(const std::string& commandLine);

// One value as `reg query "HKCU\<key>" /v "<name>"` shows it.
struct RegEntry {
  std::string type;  // "REG_BINARY", "REG_DWORD", "REG_SZ", ...
  std::string data;  // as reg prints it: hex digits for binary, 0x... for a DWORD, the text for a string
};
// output, when given, receives what reg printed (for the test's message when the value is not there).
std::optional<RegEntry> RegQuery(const std::string& key, const std::string& name, std::string* output = nullptr);
// `reg add "HKCU\<key>" /v "<name>" /t <type> /d "<data>" /f`; true when reg succeeded.
bool RegAdd(const std::string& key, const std::string& name, const std::string& type, const std::string& data);
// `reg delete "HKCU\<key>" /f`.
bool RemoveRegKey(const std::string& key);

// A role this test program takes when it is re-run by StartRole: fn runs in the child, before any test,
// and the child then ends. Register at namespace scope: const bool x = RegisterRole("name", fn);
bool RegisterRole(const std::string& name, std::function<void(const std::string& argument)> fn);

// This program started again in `role` with `argument` (UTF-8). SignalParent() in the child sets the event
// the parent waits on with WaitForSignal.
class RoleProcess {
 public:
  RoleProcess(const std::string& role, const std::string& argument);
  ~RoleProcess();
  RoleProcess(const RoleProcess&) = delete;
  RoleProcess& operator=(const RoleProcess&) = delete;
  bool started() const { return process_ != nullptr; }
  // True once the child signalled; false when it ended first or timeoutMs passed.
  bool WaitForSignal(unsigned long timeoutMs);
  // TerminateProcess, then waits for the end.
  void Kill();
  // Waits for the end; the exit code, or ~0ul on timeout.
  unsigned long Wait(unsigned long timeoutMs);

 private:
  void* process_ = nullptr;
  void* event_ = nullptr;
};

// In a child started by RoleProcess: sets the parent's event.
void SignalParent();

}  // namespace qrv::test

#endif
