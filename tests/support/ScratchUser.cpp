#include "tests/support/ScratchUser.h"

#include <cstdlib>
#include <string>

namespace qrv::test {
namespace {

void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
  // The C runtime's copy and the process environment both (msvcrt's _putenv_s sets the two).
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

}  // namespace

void ScratchUserEnvironment::SetUp() {
  dir_ = std::make_unique<TempDir>();
  SetVariable("USERPROFILE", dir_->path().string());
  SetVariable("QRV_CONFIG_DIR", (dir_->path() / "config").string());
  if (home_) SetVariable("HOME", dir_->path().string());
#ifdef _WIN32
  // Windows' per-user folders for settings.
  SetVariable("APPDATA", (dir_->path() / "AppData" / "Roaming").string());
  SetVariable("LOCALAPPDATA", (dir_->path() / "AppData" / "Local").string());
#endif
}

}  // namespace qrv::test
