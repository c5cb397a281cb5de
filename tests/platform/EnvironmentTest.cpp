#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Registry.h"

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
  env.Set("HOME", nullptr);
  EXPECT_EQ(UserProfileFolder(), "");
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

TEST(Clock, ManualClockWrapsLikeTheTickCount) {
  ManualClock clock;
  clock.ticks = 0xFFFFFFF0u;
  clock.Advance(0x20);
  EXPECT_EQ(clock.TickCount(), 0x10u);
  // Elapsed time across the wrap is still the unsigned difference.
  EXPECT_EQ(static_cast<uint32_t>(clock.TickCount() - 0xFFFFFFF0u), 0x20u);

  SystemClock system;
  const std::tm t = system.LocalTime();
  EXPECT_GE(t.tm_year, 100);
  EXPECT_LE(t.tm_hour, 23);
}

}  // namespace
}  // namespace qrv::platform
