#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <sstream>

#include "presets/SettingsStore.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/support/TempDir.h"

namespace qrv::settings {
namespace {

using platform::RegistryValue;

using SettingsStoreTest = test::PresetFixture;

TEST_F(SettingsStoreTest, KeyAndValueNames) {
  EXPECT_EQ(NumericValueName(57), "QRVWG1: 57");
  EXPECT_EQ(FavoriteValueName(0), "Favorite_0");
  EXPECT_EQ(FavoriteValueName(3), "Favorite_3");
  EXPECT_EQ(FavoriteValueName(kFavoriteUserDefault), "Favorite_UserDefault");
  EXPECT_EQ(FavoriteValueName(5), "");
  EXPECT_EQ(FavoriteValueName(-1), "");

  ASSERT_TRUE(WriteNumber(59, 0.25));
  const auto v = registry.Read("SOFTWARE\\Quarry-tone\\QRVWGME1", "QRVWG1: 59");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, platform::RegistryType::Binary);
  EXPECT_EQ(v->bytes, (std::vector<uint8_t>{0x00, 0x00, 0x80, 0x3e}));
}

TEST_F(SettingsStoreTest, NumbersKeepTheDefaultUnlessAValidValueIsStored) {
  double v = 0.3;
  EXPECT_FALSE(ReadNumber(40, v));
  EXPECT_EQ(v, 0.3);
  StoreFloat(40, 1.5f);
  EXPECT_FALSE(ReadNumber(40, v));
  EXPECT_EQ(v, 0.3);
  StoreFloat(40, std::numeric_limits<float>::quiet_NaN());
  EXPECT_FALSE(ReadNumber(40, v));
  registry.Write(kNumericKey, NumericValueName(40), RegistryValue::Binary({0, 0}));
  EXPECT_FALSE(ReadNumber(40, v));
  StoreFloat(40, 0.75f);
  EXPECT_TRUE(ReadNumber(40, v));
  EXPECT_EQ(v, 0.75);
}

TEST_F(SettingsStoreTest, ProcessWideZoomAndHints) {
  LoadProcessSettings();
  EXPECT_EQ(ProcessZoom(), 100);
  EXPECT_EQ(ProcessHints(), 1);
  for (const auto& [stored, percent] : {std::pair{0.25f, 250}, {0.5f, 400}, {0.05f, 70}, {0.0f, 100}, {0.1f, 100}}) {
    StoreFloat(kSettingZoom, stored);
    LoadProcessSettings();
    EXPECT_EQ(ProcessZoom(), percent) << stored;
  }
  StoreFloat(kSettingHints, 0.5f);
  LoadProcessSettings();
  EXPECT_EQ(ProcessHints(), 0);
  StoreFloat(kSettingHints, 1.0f);
  LoadProcessSettings();
  EXPECT_EQ(ProcessHints(), 1);

  SetProcessHints(0);
  ASSERT_TRUE(SaveHints());
  ASSERT_TRUE(SaveZoom(250));
  LoadProcessSettings();
  EXPECT_EQ(ProcessHints(), 0);
  EXPECT_EQ(ProcessZoom(), 250);
  ASSERT_TRUE(SaveZoom(1000));  // limited to 4.0 before it is stored
  LoadProcessSettings();
  EXPECT_EQ(ProcessZoom(), 400);
}

TEST_F(SettingsStoreTest, FavouriteSlots) {
  EXPECT_FALSE(FavoriteExists(0));
  StoreFavorite(0, std::vector<uint8_t>(40, 1));
  EXPECT_FALSE(FavoriteExists(0));
  StoreFavorite(0, std::vector<uint8_t>(41, 1));
  EXPECT_TRUE(FavoriteExists(0));
  EXPECT_EQ(LoadFavorite(0)->size(), 41u);
  registry.Write(kPresetKey, "Favorite_1", RegistryValue::String(std::string(100, 'x')));
  EXPECT_FALSE(FavoriteExists(1));
  EXPECT_FALSE(LoadFavorite(1));
  EXPECT_FALSE(StoreFavorite(7, std::vector<uint8_t>(50, 1)));
  EXPECT_TRUE(RemoveFavorite(0));
  EXPECT_FALSE(FavoriteExists(0));
  EXPECT_FALSE(RemoveFavorite(0));
}

TEST_F(SettingsStoreTest, ManualPath) {
  EXPECT_EQ(ReadManualPath(), "");
  registry.Write(kPresetKey, "ManualPath", RegistryValue::String("/opt/qrv/warmGlow manual.pdf"));
  EXPECT_EQ(ReadManualPath(), "/opt/qrv/warmGlow manual.pdf");
  registry.Write(kPresetKey, "ManualPath", RegistryValue::String(std::string(2000, 'm')));
  EXPECT_EQ(ReadManualPath().size(), 1024u);

  // The limit counts characters (wide ones, as the value is stored on Windows), not bytes of UTF-8,
  // and never cuts one in half.
  std::string accented;
  for (int i = 0; i < 600; ++i) accented += "\xc3\xa9";  // 600 x U+00E9
  registry.Write(kPresetKey, "ManualPath", RegistryValue::String(accented));
  EXPECT_EQ(ReadManualPath(), accented);
  const std::string astral = std::string(1023, 'p') + "\xf0\x9f\x8e\xb8";  // needs two wide characters
  registry.Write(kPresetKey, "ManualPath", RegistryValue::String(astral));
  EXPECT_EQ(ReadManualPath(), std::string(1023, 'p'));
  const std::string cutInside = std::string(1023, 'p') + "\xc3\xa9\xc3\xa9";
  registry.Write(kPresetKey, "ManualPath", RegistryValue::String(cutInside));
  EXPECT_EQ(ReadManualPath(), std::string(1023, 'p') + "\xc3\xa9");
}

TEST_F(SettingsStoreTest, TheInstallationsManualPathIsStoredAndRemovedOnlyWhileItIsStillOurs) {
  std::string why;
  ASSERT_TRUE(StoreManualPath("/home/u/.local/share/doc/qrv-warmglow/index.html", &why)) << why;
  EXPECT_EQ(ReadManualPath(), "/home/u/.local/share/doc/qrv-warmglow/index.html");
  // Another installation's manual, or the user's own choice, stays.
  EXPECT_FALSE(RemoveManualPathIf("/opt/qrv/share/doc/qrv-warmglow/index.html", &why));
  EXPECT_EQ(why, "");
  EXPECT_EQ(ReadManualPath(), "/home/u/.local/share/doc/qrv-warmglow/index.html");
  EXPECT_TRUE(RemoveManualPathIf("/home/u/.local/share/doc/qrv-warmglow/index.html", &why));
  EXPECT_EQ(ReadManualPath(), "");
  EXPECT_FALSE(registry.Read(kPresetKey, kManualPathValue));
  EXPECT_FALSE(RemoveManualPathIf("/home/u/.local/share/doc/qrv-warmglow/index.html", &why));
  // A value of another type is not a path of ours.
  registry.Write(kPresetKey, kManualPathValue, RegistryValue::Number(7));
  EXPECT_FALSE(RemoveManualPathIf("", &why));
  EXPECT_TRUE(registry.Read(kPresetKey, kManualPathValue));
}

TEST_F(SettingsStoreTest, AManualPathLongerThanTheReaderKeepsIsRefusedNotCut) {
  std::string why;
  // 1026 bytes but 1024 wide characters (the astral one counts twice): the longest that is kept whole.
  const std::string fits = "/" + std::string(1021, 'p') + "\xf0\x9f\x8e\xb8";
  ASSERT_TRUE(StoreManualPath(fits, &why)) << why;
  EXPECT_EQ(ReadManualPath(), fits);
  const std::string over = "/" + std::string(1022, 'p') + "\xf0\x9f\x8e\xb8";
  EXPECT_FALSE(StoreManualPath(over, &why));
  EXPECT_NE(why.find("longer"), std::string::npos) << why;
  EXPECT_EQ(ReadManualPath(), fits);
}

TEST_F(SettingsStoreTest, MemoGoesToTheRegistryWithoutAClipboardOverride) {
  platform::Services none;
  // Drop the fixture's clipboard, keep its registry.
  services.reset();
  none.registry = &registry;
  platform::ScopedServices scope(none);
  ASSERT_TRUE(StoreMemo(std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(registry.Read(kPresetKey, "MemoA")->bytes, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(*LoadMemo(), (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace qrv::settings
