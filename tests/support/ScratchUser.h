// The preset objects read and write the user's settings and preset folder: a suite that creates them
// registers this environment, which points the user's folders at a scratch folder for the whole run,
// before any test builds one (or loads a module that does).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/TempDir.h"

namespace qrv::test {

class ScratchUserEnvironment : public ::testing::Environment {
 public:
  // home: HOME moves too (for code that finds folders through it; lilv hosts keep theirs).
  explicit ScratchUserEnvironment(bool home) : home_(home) {}
  void SetUp() override;
  void TearDown() override { dir_.reset(); }

 private:
  bool home_;
  std::unique_ptr<TempDir> dir_;
};

}  // namespace qrv::test
