// Folders from the environment on Windows: USERPROFILE read as UTF-16 (a user name in any script), a
// relative one counting as none, and the binary found by its module, not by the program's name.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <optional>
#include <string>

#include "platform/Environment.h"
#include "platform/PathText.h"
#include "tests/support/Environment.h"

namespace qrv::platform {
namespace {

// Restores the variables a test changes.
class WindowsEnvironmentTest : public testing::Test {
 protected:
  WindowsEnvironmentTest()
      : profile_(test::GetEnv("USERPROFILE")),
        config_(test::GetEnv("QRV_CONFIG_DIR")),
        appdata_(test::GetEnv("APPDATA")) {}
  ~WindowsEnvironmentTest() override {
    Restore("USERPROFILE", profile_);
    Restore("QRV_CONFIG_DIR", config_);
    Restore("APPDATA", appdata_);
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value)
      test::SetEnv(name, *value);
    else
      test::UnsetEnv(name);
  }

 private:
  std::optional<std::string> profile_, config_, appdata_;
};

TEST_F(WindowsEnvironmentTest, TheProfileFolderIsUserProfileInAnyScript) {
  const std::string home = "C:\\users\\\xC3\x9C" "ser \xE9\x9F\xB3";  // Üser 音
  test::SetEnv("USERPROFILE", home);
  EXPECT_EQ(UserProfileFolder(), home);
  EXPECT_EQ(HomeFolder(), home);
  EXPECT_EQ(PathFromUtf8(UserProfileFolder()).native(), L"C:\\users\\\u00DCser \u97F3");
  // Relative, or not set at all: no folder, rather than one below wherever the program started.
  test::SetEnv("USERPROFILE", "users\\someone");
  EXPECT_EQ(UserProfileFolder(), "");
}

TEST_F(WindowsEnvironmentTest, TheConfigFolderIsBelowAppData) {
  test::UnsetEnv("QRV_CONFIG_DIR");
  test::SetEnv("APPDATA", "C:\\users\\\xC3\xA9\\AppData\\Roaming");
  EXPECT_EQ(ConfigFolder(), std::filesystem::path(L"C:\\users\\\u00E9\\AppData\\Roaming\\Quarry-tone"));
  EXPECT_EQ(ConfigFolderProblem(), "");
  test::SetEnv("QRV_CONFIG_DIR", "D:\\settings");
  EXPECT_EQ(ConfigFolder(), std::filesystem::path(L"D:\\settings"));
  test::SetEnv("QRV_CONFIG_DIR", "relative");
  EXPECT_TRUE(ConfigFolder().empty());
  EXPECT_NE(ConfigFolderProblem(), "");
}

TEST_F(WindowsEnvironmentTest, OwnBinaryFileIsThisProgramByItsFullPath) {
  wchar_t self[MAX_PATH * 4] = {};
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH * 4), 0u);
  EXPECT_EQ(OwnBinaryFile(), std::filesystem::path(self));
  EXPECT_TRUE(OwnBinaryFile().is_absolute());
}

}  // namespace
}  // namespace qrv::platform
