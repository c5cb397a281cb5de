// The programs as a service, a cron job or `env -i` starts them: no HOME and, for a user the password
// database does not know, no home at all. Nothing may land in the folder they were started from; what
// needs the settings says so and stops.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/IsolatedRun.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

class NoHome : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::HasNoPasswordEntry(test::kUserWithoutHome));
    // Folders the user without a home may write: the working folder and one for the outputs.
    for (const auto* dir : {&cwd_, &out_}) ASSERT_EQ(::chmod(dir->path().c_str(), 0777), 0);
    const auto gen = test::RunProcess(WARMGLOW_BINARY,
                                      {"generate", (in_ / "in.wav").string(), "--seconds", "0.2", "--rate", "48000"},
                                      scratch_ / "gen");
    ASSERT_EQ(gen.status, 0) << gen.err;
    ASSERT_EQ(::chmod(in_.path().c_str(), 0755), 0);
  }
  test::ProcessResult Run(const char* program, const std::vector<std::string>& args) {
    const test::IsolatedRun how{{"PATH=/usr/bin:/bin"}, cwd_.path(), test::kUserWithoutHome, scratch_ / std::to_string(++runs_)};
    return test::RunIsolated(program, args, how);
  }
  static bool OneErrorLine(const test::ProcessResult& r) {
    const auto lines = test::Lines(r.err);
    return lines.size() == 1 && lines[0].starts_with("warmglow: error: ");
  }

  test::TempDir cwd_, out_, in_, scratch_;
  int runs_ = 0;
};

TEST_F(NoHome, SettingsCommandsStopWithStatusTwoAndWriteNothing) {
  auto r = Run(WARMGLOW_BINARY, {"manual-path", "--set", (in_ / "in.wav").string()});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_TRUE(OneErrorLine(r)) << r.err;
  EXPECT_NE(r.err.find("no settings folder"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("HOME is not set"), std::string::npos) << r.err;
  r = Run(WARMGLOW_BINARY, {"manual-path"});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_TRUE(OneErrorLine(r)) << r.err;
  r = Run(WARMGLOW_BINARY, {"manual-path", "--settings-file"});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(test::FolderEntries(cwd_.path()), std::vector<std::string>{});
}

TEST_F(NoHome, RendersAndListingsCreateNothingInTheWorkingFolder) {
  auto r = Run(WARMGLOW_BINARY, {"render", (in_ / "in.wav").string(), (out_ / "w.wav").string(), "--preset", "3"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Run(WARMGLOW_BINARY, {"presets"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("User presets in (none: HOME is not set and the user has no home folder)"), std::string::npos)
      << r.out;
  r = Run(AAXHOST_BINARY, {"render", (in_ / "in.wav").string(), (out_ / "a.wav").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::FolderEntries(cwd_.path()), std::vector<std::string>{});
  EXPECT_EQ(test::FolderEntries(out_.path()), (std::vector<std::string>{"a.wav", "w.wav"}));
}

}  // namespace
}  // namespace qrv
