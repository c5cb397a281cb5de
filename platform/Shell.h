// Asking the desktop to open a folder, document or web address, and showing a message to the user.
// Main (GUI) thread. On Linux no shell is involved: programs are started from an argument vector, so paths
// and names never reach a command line; on Windows the shell's own "open" verb does it.
#pragma once

#include <string>
#include <vector>

namespace qrv::platform {

// Results of Shell::Open, as the callers test them: 32 or less is a failure. Only "no application
// for this file" is 31: callers answer it with a message of its own.
inline constexpr int kShellOpenOk = 42;
inline constexpr int kShellOutOfMemory = 8;      // the process could not be started
inline constexpr int kShellFileNotFound = 2;     // the opener reported a missing target
inline constexpr int kShellOpenFailed = 5;       // the opener ran and failed (bad arguments, action failed)
inline constexpr int kShellNoAssociation = 31;   // no opener, or none of its tools can open the target
inline constexpr int kMessageBoxOk = 1;

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens target with the desktop's default application.
  virtual int Open(const std::string& target) = 0;
};

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Shows text under caption with an OK button; returns kMessageBoxOk.
  virtual int Show(const std::string& text, const std::string& caption) = 0;
};

#ifdef _WIN32
// The shell's "open" verb (ShellExecuteW) with a normal window; its result as ShellExecute gives it
// (32 or less is a failure), success as kShellOpenOk. A target that is not valid UTF-8 is not found.
class SystemShell final : public Shell {
 public:
  int Open(const std::string& target) override;
};

// MessageBoxW with an OK button; standard error when no box can be shown.
class SystemMessageBox final : public MessageBox {
 public:
  int Show(const std::string& text, const std::string& caption) override;
};
#else
// Runs program (default "xdg-open") with the target as its only argument, detached in its own session.
// An http:, https:, mailto: or file: address goes as it is; anything else is a path and goes as an
// absolute path (a relative one resolved against the current folder), so that no target, "-x.pdf" or
// "--help" say, is taken for an option.
// Waits up to graceMs for it to finish: a quick exit status is mapped as xdg-open documents it (0
// success, 2 missing target, 3 no tool to open it with: no association; 1, 4 and any other end:
// failed); one still running counts as success and is left to run.
class SystemShell final : public Shell {
 public:
  explicit SystemShell(std::string program = "xdg-open", int graceMs = 1000);
  int Open(const std::string& target) override;

 private:
  std::string program_;
  int graceMs_;
};

// xmessage with an OK button when a display is set and it starts; standard error otherwise.
class SystemMessageBox final : public MessageBox {
 public:
  explicit SystemMessageBox(std::string program = "xmessage");
  int Show(const std::string& text, const std::string& caption) override;

 private:
  std::string program_;
};

// Result of SpawnDetached.
struct SpawnResult {
  bool started = false;   // the program was found and executed
  bool finished = false;  // it ended within the grace period
  int exitStatus = -1;    // its exit status when finished normally
};

// Starts argv[0] (looked up in PATH unless it holds a '/') detached in a new session, with stdin from
// the given text (empty: /dev/null) and stdout to /dev/null. Waits at most graceMs for it to end; the
// program is never left as a zombie of this process.
SpawnResult SpawnDetached(const std::vector<std::string>& argv, int graceMs, const std::string& input = {});

// The full path of program found through PATH; "" when none is executable.
std::string FindProgram(const std::string& program);

#endif

}  // namespace qrv::platform
