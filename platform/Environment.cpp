#include "platform/Environment.h"

#include <cstdlib>

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

}  // namespace qrv::platform
