// The settings store where it meets Linux: the ".reg" file under the settings folder, and the manual's
// record beside the binary (an absolute path is one beginning with "/").
#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <sstream>

#include "presets/SettingsStore.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/support/Fifo.h"
#include "tests/support/TempDir.h"

namespace qrv::settings {
namespace {

using platform::RegistryValue;

using SettingsStoreTest = test::PresetFixture;

class ManualRecordTest : public SettingsStoreTest {
 protected:
  void Record(const std::string& bytes) {
    std::ofstream(Record(), std::ios::binary) << bytes;
  }
  std::filesystem::path Record() const { return binary.string() + ".manual"; }
  test::TempDir folder;
  std::filesystem::path binary = folder / "QRV warmGlow.clap";
};

TEST_F(ManualRecordTest, TheRecordBesideTheBinaryNamesOneAbsolutePath) {
  EXPECT_EQ(RecordedManualPath(binary), "");
  EXPECT_EQ(RecordedManualPath(""), "");
  Record("/usr/local/share/doc/qrv-warmglow/index.html\n");
  EXPECT_EQ(RecordedManualPath(binary), "/usr/local/share/doc/qrv-warmglow/index.html");
  Record("/opt/with space/index.html");  // no newline at the end
  EXPECT_EQ(RecordedManualPath(binary), "/opt/with space/index.html");
  const std::string longest = "/" + std::string(kManualRecordMax - 1, 'm');
  Record(longest);
  EXPECT_EQ(RecordedManualPath(binary), longest);
}

TEST_F(ManualRecordTest, ARecordThatIsNotOneAbsolutePathIsIgnored) {
  for (const std::string& bytes :
       {std::string("relative/index.html\n"), std::string("\n"), std::string(""), std::string("/a\n/b\n"),
        std::string("/a\r\n"), std::string("/a\0b", 4), std::string("-x/index.html"),
        "/" + std::string(kManualRecordMax, 'm')}) {
    Record(bytes);
    EXPECT_EQ(RecordedManualPath(binary), "") << bytes;
  }
  // Something other than a file in its place is never opened (a FIFO would make the menu wait).
  std::filesystem::remove(Record());
  ASSERT_TRUE(test::MakeFifo(Record()));
  EXPECT_TRUE(test::ReturnsWithoutWaitingOn(Record(), [&] { EXPECT_EQ(RecordedManualPath(binary), ""); }));
  std::filesystem::remove(Record());
  std::filesystem::create_directory(Record());
  EXPECT_EQ(RecordedManualPath(binary), "");
}

TEST_F(ManualRecordTest, TheStoredPathComesFirst) {
  // This test program has no record beside it: nothing to open until a path is stored.
  EXPECT_EQ(ManualToOpen(), "");
  registry.Write(kPresetKey, kManualPathValue, RegistryValue::String("/srv/manual/index.html"));
  EXPECT_EQ(ManualToOpen(), "/srv/manual/index.html");
}

TEST(SettingsStoreOnDisk, WritesTheRegFileUnderTheConfigFolder) {
  test::TempDir dir;
  const char* saved = std::getenv("QRV_CONFIG_DIR");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("QRV_CONFIG_DIR", dir.path().c_str(), 1);
  ASSERT_TRUE(WriteNumber(kSettingZoom, 0.125));
  ASSERT_TRUE(StoreFavorite(2, std::vector<uint8_t>(41, 0xab)));
  double v = 0;
  EXPECT_TRUE(ReadNumber(kSettingZoom, v));
  EXPECT_EQ(v, 0.125);
  std::ifstream in(dir / "settings.reg");
  std::stringstream text;
  text << in.rdbuf();
  if (saved != nullptr)
    setenv("QRV_CONFIG_DIR", restore.c_str(), 1);
  else
    unsetenv("QRV_CONFIG_DIR");
  EXPECT_NE(text.str().find("[HKEY_CURRENT_USER\\SOFTWARE\\Quarry-tone\\QRVWGME1]\n\"QRVWG1: 59\"=hex:00,00,00,3e\n"),
            std::string::npos)
      << text.str();
  EXPECT_NE(text.str().find("[HKEY_CURRENT_USER\\SOFTWARE\\Quarry-tone\\QRVWG1]\n\"Favorite_2\"=hex:ab,"),
            std::string::npos);
}

}  // namespace
}  // namespace qrv::settings

namespace qrv::settings {
namespace {

TEST(SettingsStoreOnDisk, ACorruptFileReadsAsDefaultsAndIsKept) {
  test::TempDir dir;
  const char* saved = std::getenv("QRV_CONFIG_DIR");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("QRV_CONFIG_DIR", dir.path().c_str(), 1);
  ASSERT_TRUE(WriteNumber(kSettingZoom, 0.25));
  ASSERT_TRUE(StoreFavorite(1, std::vector<uint8_t>(60, 1)));
  {
    std::ofstream out(dir / "settings.reg", std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quarry-tone\\QRVWGME1]\n"
           "\"QRVWG1: 59\"=hex:00,00,80,";  // cut in the middle of a value
  }
  LoadProcessSettings();
  const int zoom = ProcessZoom();
  const bool favourite = FavoriteExists(1);
  const bool stored = StoreFavorite(2, std::vector<uint8_t>(60, 2));
  bool kept = false;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    kept = kept || e.path().filename().string().starts_with("settings.reg.corrupt-");
  const bool now = FavoriteExists(2);
  if (saved != nullptr)
    setenv("QRV_CONFIG_DIR", restore.c_str(), 1);
  else
    unsetenv("QRV_CONFIG_DIR");
  LoadProcessSettings();
  EXPECT_EQ(zoom, 100);
  EXPECT_FALSE(favourite);
  EXPECT_TRUE(stored);
  EXPECT_TRUE(kept);
  EXPECT_TRUE(now);
}

// A FIFO where the settings file belongs: every setting reads as not set and no writer waits on it.
TEST(SettingsStoreOnDisk, AFifoInPlaceOfTheFileReadsAsNotSetWithoutWaiting) {
  test::TempDir dir;
  const auto fifo = dir / "settings.reg";
  ASSERT_TRUE(test::MakeFifo(fifo));
  const char* saved = std::getenv("QRV_CONFIG_DIR");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("QRV_CONFIG_DIR", dir.path().c_str(), 1);
  double zoom = 0.3;
  bool read = true, wrote = true, favourite = true;
  int processZoom = 0;
  const bool inTime = test::ReturnsWithoutWaitingOn(fifo, [&] {
    wrote = SaveZoom(250);
    read = ReadNumber(kSettingZoom, zoom);
    favourite = FavoriteExists(0);
    LoadProcessSettings();
    processZoom = ProcessZoom();
  });
  if (saved != nullptr)
    setenv("QRV_CONFIG_DIR", restore.c_str(), 1);
  else
    unsetenv("QRV_CONFIG_DIR");
  LoadProcessSettings();
  EXPECT_TRUE(inTime);
  EXPECT_FALSE(wrote);
  EXPECT_FALSE(read);
  EXPECT_EQ(zoom, 0.3);
  EXPECT_FALSE(favourite);
  EXPECT_EQ(processZoom, 100);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

}  // namespace
}  // namespace qrv::settings
