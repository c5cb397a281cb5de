#include "tests/support/ScratchUser.h"

#include <cstdlib>

namespace qrv::test {

void ScratchUserEnvironment::SetUp() {
  dir_ = std::make_unique<TempDir>();
  setenv("USERPROFILE", dir_->path().c_str(), 1);
  setenv("QRV_CONFIG_DIR", (dir_->path() / "config").c_str(), 1);
  if (home_) setenv("HOME", dir_->path().c_str(), 1);
}

}  // namespace qrv::test
