// The settings store in the registry on Windows, read back and written with Windows' own reg.exe: the
// key "SOFTWARE\Quarry-tone\" with its two sub-keys, each value's name and type (numbers as 4-byte
// REG_BINARY singles, presets as REG_BINARY blobs, the manual's path as REG_SZ) and data. The real key:
// the suite holds a resource lock against other suites that write it, and clears the key around each test.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "tests/platform/WindowsTestSupport.h"
#include "tests/presets/PresetTestSupport.h"

namespace qrv::settings {
namespace {

constexpr const char* kRoot = "SOFTWARE\\Quarry-tone";

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[3];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    out += buf;
  }
  return out;
}

// The system registry (no override), a manual clock, no clipboard override: the memo goes to "MemoA".
class SettingsRegistryTest : public testing::Test {
 protected:
  SettingsRegistryTest() {
    test::RemoveRegKey(kRoot);
    platform::Services s;
    s.clock = &clock;
    services.emplace(s);
  }
  ~SettingsRegistryTest() override {
    services.reset();
    test::RemoveRegKey(kRoot);
  }
  static std::vector<uint8_t> Blob(std::string_view name, float base) {
    return WriteSinglePresetBlob(test::MakeRecord(name, base), 0, 100);
  }

  platform::ManualClock clock;
  std::optional<platform::ScopedServices> services;
};

TEST_F(SettingsRegistryTest, TheRegistryHoldsWhatTheStoreWrote) {
  ASSERT_TRUE(WriteNumber(kSettingZoom, 0.25));
  ASSERT_TRUE(WriteNumber(kSettingHints, 1.0));
  const auto favourite = Blob("Warm", 0.2f);
  const auto userDefault = Blob("Default", 0.3f);
  const auto memo = Blob("clipboard 14:03:59", 0.4f);
  ASSERT_TRUE(StoreFavorite(0, favourite));
  ASSERT_TRUE(StoreFavorite(kFavoriteUserDefault, userDefault));
  ASSERT_TRUE(StoreMemo(memo));
  ASSERT_TRUE(StoreManualPath("C:\\Program Files\\Quarry-tone\\warmGlow manual.pdf"));

  std::string said;
  const auto zoom = test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWGME1", "QRVWG1: 59", &said);
  ASSERT_TRUE(zoom) << said;
  EXPECT_EQ(zoom->type, "REG_BINARY");
  EXPECT_EQ(zoom->data, "0000803E");  // 0.25 as a little-endian single
  const auto hints = test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWGME1", "QRVWG1: 57", &said);
  ASSERT_TRUE(hints) << said;
  EXPECT_EQ(hints->type, "REG_BINARY");
  EXPECT_EQ(hints->data, "0000803F");
  for (const auto& [name, bytes] : {std::pair{std::string("Favorite_0"), favourite},
                                    std::pair{std::string("Favorite_UserDefault"), userDefault},
                                    std::pair{std::string("MemoA"), memo}}) {
    const auto v = test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWG1", name, &said);
    ASSERT_TRUE(v) << name << ": " << said;
    EXPECT_EQ(v->type, "REG_BINARY") << name;
    EXPECT_EQ(v->data, Hex(bytes)) << name;
  }
  const auto manual = test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWG1", "ManualPath", &said);
  ASSERT_TRUE(manual) << said;
  EXPECT_EQ(manual->type, "REG_SZ");
  EXPECT_EQ(manual->data, "C:\\Program Files\\Quarry-tone\\warmGlow manual.pdf");
  // Each value in its own sub-key.
  EXPECT_FALSE(test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWG1", "QRVWG1: 59"));
  EXPECT_FALSE(test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWGME1", "Favorite_0"));

  ASSERT_TRUE(RemoveFavorite(0));
  EXPECT_FALSE(test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWG1", "Favorite_0"));
  EXPECT_TRUE(test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWG1", "Favorite_UserDefault"));
}

TEST_F(SettingsRegistryTest, TheStoreReadsWhatRegWrote) {
  ASSERT_TRUE(test::RegAdd("SOFTWARE\\Quarry-tone\\QRVWGME1", "QRVWG1: 59", "REG_BINARY", "0000803E"));
  ASSERT_TRUE(test::RegAdd("SOFTWARE\\Quarry-tone\\QRVWGME1", "QRVWG1: 57", "REG_BINARY", "0000003F"));
  LoadProcessSettings();
  EXPECT_EQ(ProcessZoom(), 250);
  EXPECT_EQ(ProcessHints(), 0);  // 0.5 hides them

  const auto favourite = Blob("Warm", 0.2f);
  ASSERT_TRUE(test::RegAdd("SOFTWARE\\Quarry-tone\\QRVWG1", "Favorite_2", "REG_BINARY", Hex(favourite)));
  EXPECT_TRUE(FavoriteExists(2));
  EXPECT_EQ(LoadFavorite(2), favourite);
  // A favourite stored as a string counts as empty; one of 40 bytes too.
  ASSERT_TRUE(test::RegAdd("SOFTWARE\\Quarry-tone\\QRVWG1", "Favorite_3", "REG_SZ", Hex(favourite)));
  EXPECT_FALSE(FavoriteExists(3));
  ASSERT_TRUE(test::RegAdd("SOFTWARE\\Quarry-tone\\QRVWG1", "Favorite_1", "REG_BINARY", std::string(80, 'a')));
  EXPECT_FALSE(FavoriteExists(1));

  const auto memo = Blob("clipboard 09:00:00", 0.6f);
  ASSERT_TRUE(test::RegAdd("SOFTWARE\\Quarry-tone\\QRVWG1", "MemoA", "REG_BINARY", Hex(memo)));
  EXPECT_EQ(LoadMemo(), memo);
  ASSERT_TRUE(test::RegAdd("SOFTWARE\\Quarry-tone\\QRVWG1", "ManualPath", "REG_SZ", "D:\\Docs\\manual.pdf"));
  EXPECT_EQ(ReadManualPath(), "D:\\Docs\\manual.pdf");
  EXPECT_EQ(ManualToOpen(), "D:\\Docs\\manual.pdf");
}

// The preset bar's copy and paste between two instances go through "MemoA" in the registry.
TEST_F(SettingsRegistryTest, CopyAndPasteTravelThroughMemoA) {
  test::FakeMasterController fakeA, fakeB;
  PresetManager a(&fakeA), b(&fakeB);
  fakeA.manager = &a;
  fakeB.manager = &b;
  clock.local.tm_hour = 14;
  clock.local.tm_min = 3;
  clock.local.tm_sec = 59;
  fakeA.SetParameter(kSlotCompression, 0.8);
  a.CopyToClipboard();
  const auto v = test::RegQuery("SOFTWARE\\Quarry-tone\\QRVWG1", "MemoA");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, "REG_BINARY");
  ASSERT_TRUE(b.PasteFromClipboard());
  EXPECT_EQ(b.current().Name(), "clipboard 14:03:59");
  EXPECT_FLOAT_EQ(b.current().values[kSlotCompression], 0.8f);
  fakeA.manager = nullptr;
  fakeB.manager = nullptr;
}

}  // namespace
}  // namespace qrv::settings
