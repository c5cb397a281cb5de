#include "platform/Shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string_view>

namespace qrv::platform {
namespace {

constexpr int kExecFailed = 127;
// xdg-open's documented exit statuses besides 0, 1 (bad arguments) and 4 (the action failed).
constexpr int kXdgFileNotFound = 2;
constexpr int kXdgNoTool = 3;

bool IsAddress(std::string_view target) {
  for (std::string_view scheme : {"http:", "https:", "mailto:", "file:"}) {
    if (target.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), target.begin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
      return true;
  }
  return false;
}

// xdg-open knows no "--", so a target must never read as an option: an address goes as it is, any
// other target is a path and goes absolute (which never begins with '-'). An empty one stays empty,
// which the opener refuses; made absolute it would name the current folder.
std::string OpenerArgument(const std::string& target) {
  if (target.empty() || IsAddress(target)) return target;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(target, ec);
  if (!ec && absolute.is_absolute()) return absolute.string();
  // No current folder to resolve against: "./" still names the same file.
  return "./" + target;
}

void SleepMs(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace

std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0 ? program : "";
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string_view dir = std::string_view(dirs).substr(start, end - start);
    std::string candidate(dir.empty() ? std::string_view(".") : dir);
    candidate += '/';
    candidate += program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

SpawnResult SpawnDetached(const std::vector<std::string>& argv, int graceMs, const std::string& input) {
  SpawnResult result;
  if (argv.empty()) return result;
  const std::string exe = FindProgram(argv[0]);
  if (exe.empty()) return result;

  // Everything the children need is prepared here: after fork only async-signal-safe calls are made.
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int inputFd = -1;
  if (!input.empty()) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return result;
    // Messages are short; more than a pipe buffer would block here, so the text is cut.
    const std::size_t n = std::min<std::size_t>(input.size(), 16384);
    const ssize_t w = ::write(p[1], input.data(), n);
    ::close(p[1]);
    if (w < 0) {
      ::close(p[0]);
      return result;
    }
    inputFd = p[0];
  }
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    if (inputFd >= 0) ::close(inputFd);
    return result;
  }

  const pid_t middle = ::fork();
  if (middle < 0) {
    ::close(report[0]);
    ::close(report[1]);
    if (inputFd >= 0) ::close(inputFd);
    return result;
  }
  if (middle == 0) {
    // Intermediate process: starts the program, reports how it went, and exits so that the program
    // is adopted by init instead of becoming our zombie.
    ::setsid();
    const pid_t child = ::fork();
    if (child == 0) {
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      const int nul = ::open("/dev/null", O_RDWR);
      ::dup2(inputFd >= 0 ? inputFd : nul, 0);
      ::dup2(nul, 1);
      ::execv(exe.c_str(), args.data());
      ::_exit(kExecFailed);
    }
    int status = 0;
    int words[2] = {0, -1};  // finished, exit status
    if (child > 0) {
      for (int waited = 0;; waited += 10) {
        const pid_t r = ::waitpid(child, &status, WNOHANG);
        if (r == child) {
          words[0] = 1;
          words[1] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
          break;
        }
        if (r < 0 || waited >= graceMs) break;
        SleepMs(10);
      }
    } else {
      words[0] = 1;
      words[1] = kExecFailed;
    }
    ssize_t ignored = ::write(report[1], words, sizeof words);
    (void)ignored;
    ::_exit(0);
  }
  ::close(report[1]);
  if (inputFd >= 0) ::close(inputFd);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int words[2] = {0, -1};
  ssize_t r;
  do {
    r = ::read(report[0], words, sizeof words);
  } while (r < 0 && errno == EINTR);
  ::close(report[0]);
  if (r != static_cast<ssize_t>(sizeof words)) return result;
  result.finished = words[0] != 0;
  result.exitStatus = words[1];
  result.started = !(result.finished && result.exitStatus == kExecFailed);
  return result;
}

SystemShell::SystemShell(std::string program, int graceMs) : program_(std::move(program)), graceMs_(graceMs) {}

int SystemShell::Open(const std::string& target) {
  if (FindProgram(program_).empty()) return kShellNoAssociation;
  const SpawnResult r = SpawnDetached({program_, OpenerArgument(target)}, graceMs_);
  if (!r.started) return r.finished ? kShellNoAssociation : kShellOutOfMemory;
  if (!r.finished || r.exitStatus == 0) return kShellOpenOk;
  switch (r.exitStatus) {
    case kXdgFileNotFound: return kShellFileNotFound;
    case kXdgNoTool: return kShellNoAssociation;
    default: return kShellOpenFailed;
  }
}

SystemMessageBox::SystemMessageBox(std::string program) : program_(std::move(program)) {}

int SystemMessageBox::Show(const std::string& text, const std::string& caption) {
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0' && !FindProgram(program_).empty()) {
    // The text goes through stdin ("-file -") so that nothing in it can be taken for an option.
    const SpawnResult r =
        SpawnDetached({program_, "-center", "-title", caption, "-buttons", "OK:1", "-default", "OK", "-file", "-"},
                      300, text.empty() ? std::string(" ") : text);
    // An early failure (no X server after all) falls through to standard error.
    if (r.started && !(r.finished && r.exitStatus != 0 && r.exitStatus != 1)) return kMessageBoxOk;
  }
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return kMessageBoxOk;
}

}  // namespace qrv::platform
