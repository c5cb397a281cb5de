#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/Environment.h"
#include "platform/Registry.h"
#include "tests/support/Child.h"
#include "tests/support/IsolatedRun.h"
#include "tests/support/TempDir.h"

namespace qrv::platform {
namespace {

// Sets or clears environment variables for one scope.
class EnvScope {
 public:
  void Set(const char* name, const char* value) {
    Save(name);
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

 private:
  void Save(const char* name) {
    const char* v = std::getenv(name);
    saved_.emplace_back(name, v != nullptr ? std::optional<std::string>(v) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(Environment, UserProfileFallsBackToHome) {
  EnvScope env;
  env.Set("USERPROFILE", "/profiles/ann");
  env.Set("HOME", "/home/ann");
  EXPECT_EQ(UserProfileFolder(), "/profiles/ann");
  env.Set("USERPROFILE", "");
  EXPECT_EQ(UserProfileFolder(), "/home/ann");
  env.Set("USERPROFILE", nullptr);
  EXPECT_EQ(UserProfileFolder(), "/home/ann");
  // A relative profile folder is none: files would land in the working folder.
  env.Set("USERPROFILE", "profiles/ann");
  EXPECT_EQ(UserProfileFolder(), "");
}

// What the password database holds for the real user: the home when HOME is not there to say.
std::string PasswordHome() {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[16384];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
  return found->pw_dir;
}

TEST(Environment, WithoutHomeTheHomeComesFromThePasswordDatabase) {
  const std::string home = PasswordHome();
  ASSERT_FALSE(home.empty());
  ASSERT_EQ(home.front(), '/');
  EnvScope env;
  env.Set("USERPROFILE", nullptr);
  env.Set("QRV_CONFIG_DIR", nullptr);
  env.Set("XDG_CONFIG_HOME", nullptr);
  for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
    env.Set("HOME", unset);
    EXPECT_EQ(HomeFolder(), home);
    EXPECT_EQ(UserProfileFolder(), home);
    EXPECT_EQ(ConfigFolder(), std::filesystem::path(home) / ".config" / "Quarry-tone");
    EXPECT_EQ(ConfigFolderProblem(), "");
  }
  // A relative HOME or QRV_CONFIG_DIR names no folder at all, rather than one below the working folder.
  env.Set("HOME", "relative/home");
  EXPECT_EQ(HomeFolder(), "");
  EXPECT_EQ(UserProfileFolder(), "");
  EXPECT_TRUE(ConfigFolder().empty());
  EXPECT_TRUE(DefaultRegistryFile().empty());
  EXPECT_EQ(ConfigFolderProblem(), "HOME is not an absolute path");
  env.Set("XDG_CONFIG_HOME", "/xdg");
  EXPECT_EQ(ConfigFolder(), "/xdg/Quarry-tone");
  env.Set("QRV_CONFIG_DIR", "relative/settings");
  EXPECT_TRUE(ConfigFolder().empty());
}

// A user the password database does not know, started without HOME: no folder at all, and the settings
// store keeps nothing anywhere, the working folder included, and says why.
TEST(Environment, AUserWithoutAnyHomeHasNoFoldersAndTheStoreWritesNothing) {
  ASSERT_TRUE(test::HasNoPasswordEntry(test::kUserWithoutHome));
  test::TempDir cwd;
  ASSERT_EQ(chmod(cwd.path().c_str(), 0777), 0);
  const test::ChildResult r = test::RunInChild({}, [&] {
    if (setgroups(0, nullptr) != 0 || setgid(test::kUserWithoutHome) != 0 || setuid(test::kUserWithoutHome) != 0 ||
        chdir(cwd.path().c_str()) != 0)
      return 10;
    for (const char* name : {"HOME", "USERPROFILE", "XDG_CONFIG_HOME", "QRV_CONFIG_DIR"}) unsetenv(name);
    if (!HomeFolder().empty() || !UserProfileFolder().empty()) return 11;
    if (!ConfigFolder().empty() || !DefaultRegistryFile().empty()) return 12;
    if (ConfigFolderProblem() != "HOME is not set and the user has no home folder") return 13;
    FileRegistry reg;
    if (reg.Write("SOFTWARE\\Quarry-tone\\QRVWG1", "MemoA", RegistryValue::Binary({1, 2, 3}))) return 14;
    std::fprintf(stderr, "%s", reg.LastFailure().c_str());
    if (reg.Read("SOFTWARE\\Quarry-tone\\QRVWG1", "MemoA")) return 15;
    return 0;
  });
  ASSERT_TRUE(r.exited) << r.report;
  EXPECT_EQ(r.code, 0) << r.report;
  EXPECT_EQ(r.report, "no settings folder: HOME is not set and the user has no home folder");
  EXPECT_EQ(test::FolderEntries(cwd.path()), std::vector<std::string>{});
}

TEST(Environment, ConfigFolderFollowsTheXdgRules) {
  EnvScope env;
  env.Set("QRV_CONFIG_DIR", nullptr);
  env.Set("HOME", "/home/ann");
  env.Set("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(ConfigFolder(), "/home/ann/.config/Quarry-tone");
  EXPECT_EQ(DefaultRegistryFile(), "/home/ann/.config/Quarry-tone/settings.reg");
  env.Set("XDG_CONFIG_HOME", "relative/ignored");
  EXPECT_EQ(ConfigFolder(), "/home/ann/.config/Quarry-tone");
  env.Set("XDG_CONFIG_HOME", "/xdg");
  EXPECT_EQ(ConfigFolder(), "/xdg/Quarry-tone");
  env.Set("QRV_CONFIG_DIR", "/tmp/test-settings");
  EXPECT_EQ(ConfigFolder(), "/tmp/test-settings");
}

TEST(Environment, OwnBinaryFileIsThisProgramByItsFullPath) {
  // Linked into a program, the code finds the program; in a plug-in module it finds the module.
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(OwnBinaryFile(), self);
  EXPECT_TRUE(OwnBinaryFile().is_absolute());
}

}  // namespace
}  // namespace qrv::platform
