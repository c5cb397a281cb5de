#include "platform/Environment.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <system_error>

namespace qrv::platform {
namespace {

const char* NonEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : nullptr;
}

}  // namespace

std::string UserProfileFolder() {
  if (const char* v = NonEmpty("USERPROFILE")) return v;
  if (const char* v = NonEmpty("HOME")) return v;
  return {};
}

std::filesystem::path ConfigFolder() {
  if (const char* v = NonEmpty("QRV_CONFIG_DIR")) return v;
  // The XDG rules ignore relative values.
  if (const char* v = NonEmpty("XDG_CONFIG_HOME"); v != nullptr && v[0] == '/')
    return std::filesystem::path(v) / "Quarry-tone";
  if (const char* home = NonEmpty("HOME")) return std::filesystem::path(home) / ".config" / "Quarry-tone";
  return std::filesystem::path(".config") / "Quarry-tone";
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
