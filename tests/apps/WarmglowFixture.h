// The warmglow binary run as a process on files in a temporary folder: the common part of the fixtures
// that test it as a user runs it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv::test {

class WarmglowProcessFixture : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args,
                    std::chrono::milliseconds timeout = std::chrono::minutes(2)) {
    return ChildProcess(WARMGLOW_BINARY, args, scratch_.path()).Wait(timeout);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // The names in `folder` (the test's folder when empty).
  std::set<std::string> Listing(const std::filesystem::path& folder = {}) const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.empty() ? dir_.path() : folder)) {
      names.insert(e.path().filename().string());
    }
    return names;
  }

  TempDir dir_;
  TempDir scratch_;
};

}  // namespace qrv::test
