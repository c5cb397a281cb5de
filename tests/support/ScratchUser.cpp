#include "tests/support/ScratchUser.h"

#include "tests/support/Environment.h"

namespace qrv::test {

void ScratchUserEnvironment::SetUp() {
  dir_ = std::make_unique<TempDir>();
  SetEnvPath("USERPROFILE", dir_->path());
  SetEnvPath("QRV_CONFIG_DIR", dir_->path() / "config");
  if (home_) SetEnvPath("HOME", dir_->path());
}

}  // namespace qrv::test
