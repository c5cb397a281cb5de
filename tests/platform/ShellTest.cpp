#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

// Runs the opener in a folder of the test's choosing, and returns to the previous one after.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~WorkingFolder() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

// The file an opener's argument names: a path, or a file:// address.
std::filesystem::path NamedFile(const std::string& argument) {
  if (!argument.starts_with("file://")) return argument;
  std::string path;
  for (std::size_t i = 7; i < argument.size(); ++i) {
    if (argument[i] == '%' && i + 2 < argument.size()) {
      path += static_cast<char>(std::stoi(argument.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += argument[i];
    }
  }
  return path;
}

TEST(SystemShell, NeverHandsTheOpenerATargetThatReadsAsAnOption) {
  test::TempDir dir;
  const auto out = dir / "args";
  const auto opener = Script(dir, "record", "printf '%s' \"$1\" > '" + out.string() + "'");
  const auto docs = dir / "docs";
  std::filesystem::create_directory(docs);
  WorkingFolder in(docs);
  // xdg-open has no "--": these would be taken for options, the second printing its usage.
  for (const std::string name : {"-x.pdf", "--help"}) {
    std::ofstream(docs / name) << "manual";
    std::filesystem::remove(out);
    EXPECT_GT(SystemShell(opener.string()).Open(name), 32) << name;
    const std::string argument = ReadText(out);
    EXPECT_FALSE(argument.starts_with("-")) << argument;
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::equivalent(NamedFile(argument), docs / name, ec)) << name << " became " << argument;
  }
}

TEST(SystemShell, HandsOverPathsAbsoluteAndAddressesAsTheyAre) {
  test::TempDir dir;
  const auto out = dir / "args";
  const auto opener = Script(dir, "record", "printf '%s' \"$1\" > '" + out.string() + "'");
  WorkingFolder in(dir.path());
  auto handed = [&](const std::string& target) {
    std::filesystem::remove(out);
    EXPECT_GT(SystemShell(opener.string()).Open(target), 32) << target;
    return ReadText(out);
  };
  const std::filesystem::path here = std::filesystem::current_path();
  for (const std::string relative : {"manual.pdf", "docs/warm glow.pdf"}) {
    const std::string argument = handed(relative);
    EXPECT_TRUE(argument.starts_with("/") || argument.starts_with("file:///")) << argument;
    EXPECT_EQ(NamedFile(argument), here / relative) << argument;
  }
  EXPECT_EQ(handed("/opt/manual.pdf"), "/opt/manual.pdf");
  for (const std::string address : {"https://quarry-tone.com/", "http://quarry-tone.com/manual",
                                    "HTTPS://QUARRY-TONE.COM", "mailto:info@quarry-tone.com", "file:///opt/-manual.pdf"})
    EXPECT_EQ(handed(address), address);
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
