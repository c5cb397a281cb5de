#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Shell.h"
#include "tests/support/TempDir.h"

namespace qrv::platform {
namespace {

std::filesystem::path Script(const test::TempDir& dir, const std::string& name, const std::string& body) {
  const auto path = dir / name;
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  chmod(path.c_str(), 0755);
  return path;
}

std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(SystemShell, MapsTheOpenersExitStatus) {
  test::TempDir dir;
  EXPECT_GT(SystemShell(Script(dir, "ok", "exit 0").string()).Open("/tmp"), 32);
  EXPECT_EQ(SystemShell(Script(dir, "missing", "exit 2").string()).Open("/nowhere"), kShellFileNotFound);
  // Only "no application for this file" is 31; every other failure is another result of 32 or less.
  EXPECT_EQ(SystemShell(Script(dir, "no-tool", "exit 3").string()).Open("/tmp"), kShellNoAssociation);
  for (const char* status : {"1", "4", "5", "126"}) {
    const int r = SystemShell(Script(dir, std::string("fails") + status, std::string("exit ") + status).string()).Open("/tmp");
    EXPECT_LE(r, 32) << status;
    EXPECT_NE(r, kShellNoAssociation) << status;
  }
  EXPECT_EQ(SystemShell(Script(dir, "killed", "kill -9 $$").string()).Open("/tmp"), kShellOpenFailed);
  EXPECT_EQ(SystemShell((dir / "no-such-opener").string()).Open("/tmp"), kShellNoAssociation);
  EXPECT_EQ(SystemShell("qrv-no-such-program-in-path").Open("/tmp"), kShellNoAssociation);
  // An opener that keeps running (a file manager started in the foreground) counts as success.
  EXPECT_GT(SystemShell(Script(dir, "stays", "exec 2>/dev/null; sleep 3").string(), 20).Open("/tmp"), 32);
}

TEST(SystemShell, PassesTheTargetAsOneArgumentWithoutAShell) {
  test::TempDir dir;
  const auto out = dir / "args";
  const auto opener = Script(dir, "record", "printf '%s|%s' \"$#\" \"$1\" > '" + out.string() + "'");
  const std::string target = dir.path().string() + "/My Presets; touch pwned $(touch pwned2) `touch pwned3`";
  EXPECT_GT(SystemShell(opener.string()).Open(target), 32);
  EXPECT_EQ(ReadText(out), "1|" + target);
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_FALSE(std::filesystem::exists(dir / "pwned2"));
  EXPECT_FALSE(std::filesystem::exists("pwned2"));
}

TEST(SystemMessageBox, FallsBackToStandardErrorWithoutADisplay) {
  const char* saved = std::getenv("DISPLAY");
  const std::string display = saved != nullptr ? saved : "";
  unsetenv("DISPLAY");
  testing::internal::CaptureStderr();
  EXPECT_EQ(SystemMessageBox().Show("Could not open user's preset folder", "/home/u/presets"), kMessageBoxOk);
  const std::string err = testing::internal::GetCapturedStderr();
  if (saved != nullptr) setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(err, "/home/u/presets: Could not open user's preset folder\n");
}

TEST(SystemMessageBox, HandsTheTextToTheProgramOnItsInput) {
  test::TempDir dir;
  const auto out = dir / "shown";
  // Records its arguments and its input, as xmessage would show them.
  const auto program = Script(dir, "fake-xmessage", "{ printf '%s\\n' \"$@\"; cat; } > '" + out.string() + "'");
  setenv("DISPLAY", ":99", 1);
  EXPECT_EQ(SystemMessageBox(program.string()).Show("-display evil text", "Caption"), kMessageBoxOk);
  unsetenv("DISPLAY");
  const std::string shown = ReadText(out);
  EXPECT_NE(shown.find("-title\nCaption\n-buttons\nOK:1\n"), std::string::npos) << shown;
  EXPECT_TRUE(shown.ends_with("-file\n-\n-display evil text")) << shown;
}

TEST(SpawnDetached, ReportsAProgramThatCannotStart) {
  EXPECT_FALSE(SpawnDetached({"qrv-no-such-program-in-path"}, 100).started);
  const SpawnResult r = SpawnDetached({"/bin/sh", "-c", "exit 3"}, 2000);
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.exitStatus, 3);
}

}  // namespace
}  // namespace qrv::platform
