#include "platform/Environment.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace qrv::platform {
namespace {

const char* NonEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : nullptr;
}

// A service, a cron job or `env -i` runs without HOME; the user still has a home of record.
std::string PasswordHome() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 4096);
  for (int tries = 0; tries < 8; ++tries) {
    passwd entry{};
    passwd* found = nullptr;
    const int rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0 || found == nullptr || found->pw_dir == nullptr) return {};
    return found->pw_dir;
  }
  return {};
}

std::string Absolute(std::string path) { return !path.empty() && path[0] == '/' ? path : std::string(); }

}  // namespace

std::string HomeFolder() {
  if (const char* v = NonEmpty("HOME")) return Absolute(v);
  return Absolute(PasswordHome());
}

std::string UserProfileFolder() {
  if (const char* v = NonEmpty("USERPROFILE")) return Absolute(v);
  return HomeFolder();
}

std::filesystem::path ConfigFolder() {
  if (const char* v = NonEmpty("QRV_CONFIG_DIR")) return Absolute(v);
  // The XDG rules ignore relative values.
  if (const char* v = NonEmpty("XDG_CONFIG_HOME"); v != nullptr && v[0] == '/')
    return std::filesystem::path(v) / "Quarry-tone";
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return std::filesystem::path(home) / ".config" / "Quarry-tone";
}

std::string ConfigFolderProblem() {
  if (!ConfigFolder().empty()) return {};
  if (NonEmpty("QRV_CONFIG_DIR") != nullptr) return "QRV_CONFIG_DIR is not an absolute path";
  if (NonEmpty("HOME") != nullptr) return "HOME is not an absolute path";
  return "HOME is not set and the user has no home folder";
}

std::filesystem::path OwnBinaryFile() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&OwnBinaryFile), &info) == 0 || info.dli_fname == nullptr ||
      *info.dli_fname == '\0')
    return {};
  std::error_code ec;
  // The program itself may be named by the bare word it was started with.
  if (std::strchr(info.dli_fname, '/') == nullptr) {
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self;
  }
  // A host may have loaded the module by a relative path.
  std::filesystem::path file = std::filesystem::canonical(info.dli_fname, ec);
  return ec ? std::filesystem::path() : file;
}

}  // namespace qrv::platform
