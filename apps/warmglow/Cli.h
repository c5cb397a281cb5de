// Entry of the command-line tool: subcommand dispatch, help and error reporting. Main thread only.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qrv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 2;

// Anything the user can fix: bad arguments, unreadable input, unwritable output. Reported as one line
// "warmglow: error: <what>" and exit status 2.
class CliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Text for the terminal: a file or preset name as the user may have been given it, with every byte that
// could move the cursor, change colours or retitle the window written out visibly. C0 controls and DEL
// become "\x1b" and the like, so do C1 controls (U+0080..U+009F, which some terminals obey) and bytes
// that are not valid UTF-8; valid non-ASCII text stays as it is. Every message that shows a name goes
// through it.
std::string Printable(std::string_view text);

struct Io {
  std::ostream& out;
  std::ostream& err;
  // A progress bar is drawn on err only when it is a terminal.
  bool errIsTerminal = false;
};

// Runs one command line (without the program name). Never throws; returns the exit status.
int RunCli(const std::vector<std::string>& args, Io& io);

// Asks a running render or generate to stop; safe to call from a signal handler. The command then
// fails with "interrupted", leaving no output behind.
void RequestCancel();
bool CancelRequested();

// Frees the process-wide caches of the drawing libraries, so that leak checkers see a clean exit. Call
// once at the end of main, when nothing draws any more.
void ReleaseProcessResources();

}  // namespace qrv::cli
