// User presets on Windows: the user folder built from USERPROFILE (read as UTF-16) with backslashes,
// presets whose names no ANSI code page holds saved, listed and loaded through the real library and
// manager in a profile folder of such a name, and a preset write killed half-way (this program re-run
// as the saving instance, stopped by the writer's half-way hook and killed) leaving the old preset whole
// and nothing that lists as a preset.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/PathText.h"
#include "presets/PresetLibrary.h"
#include "presets/PresetManager.h"
#include "tests/platform/WindowsTestSupport.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/support/Environment.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

const std::string kGroesse = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x80\x93 \xE9\x9F\xB3";  // Größe – 音
const std::wstring kGroesseWide = L"Gr\u00F6\u00DFe \u2013 \u97F3";
const std::string kUnicode = "\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9";  // Ünïcödé
const std::wstring kUnicodeWide = L"\u00DCn\u00EFc\u00F6d\u00E9";

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The saving instance of the killed-write test: sets Compression to the argument's value and saves over
// the preset, stopping for good half-way through the write.
const bool g_saverRole = test::RegisterRole("save-and-stop-halfway", [](const std::string& argument) {
  platform::MemoryRegistry registry;
  platform::Services s;
  s.registry = &registry;
  platform::ScopedServices scope(s);
  test::FakeMasterController fake;
  PresetManager pm(&fake);
  fake.manager = &pm;
  fake.SetParameter(kSlotCompression, std::stod(argument));
  platform::SetPartialWriteHook([](const fs::path&) {
    test::SignalParent();
    ::Sleep(INFINITE);
  });
  pm.SavePresetFile(platform::PathFromUtf8(UserPresetFolderPath()) / (kGroesseWide + L".qrv"));
  ::ExitProcess(3);  // never reached: the parent kills it first
});

class WindowsPresetFilesTest : public test::PresetFixture {
 protected:
  WindowsPresetFilesTest() : home(profile.path() / (L"\u00DCser " + std::wstring(L"\u97F3"))) {
    fs::create_directories(home);
    test::SetEnvPath("USERPROFILE", home);
    pm.emplace(&fake);
    fake.manager = &*pm;
  }
  ~WindowsPresetFilesTest() override {
    fake.manager = nullptr;
    pm.reset();
  }
  fs::path Folder() const { return home / "Documents" / "quarry-tone.com" / "User Presets" / "QRV warmGlow"; }

  fs::path home;
  test::FakeMasterController fake;
  std::optional<PresetManager> pm;
};

TEST_F(WindowsPresetFilesTest, TheUserFolderComesFromUserProfileWithItsThreeLevels) {
  EXPECT_EQ(UserPresetFolderPath(),
            platform::Utf8FromPath(home) + "\\Documents\\quarry-tone.com\\User Presets\\QRV warmGlow");
  EXPECT_EQ(platform::PathFromUtf8(UserPresetFolderPath()).native(),
            home.native() + L"\\Documents\\quarry-tone.com\\User Presets\\QRV warmGlow");
  // The first manager built the library, which created the folders.
  EXPECT_TRUE(fs::is_directory(Folder()));
  EXPECT_EQ(UserPresetFolderProblem(), "");
}

TEST_F(WindowsPresetFilesTest, NonAsciiNamesAreSavedListedAndLoaded) {
  fake.SetParameter(kSlotCompression, 0.25);
  ASSERT_TRUE(pm->SavePresetFile(Folder() / (kGroesseWide + L".qrv")));
  EXPECT_EQ(pm->current().Name(), kGroesse);
  fs::create_directories(Folder() / L"\u00D6rdner");
  fake.SetParameter(kSlotCompression, 0.75);
  ASSERT_TRUE(pm->SavePresetFile(Folder() / L"\u00D6rdner" / kUnicodeWide));  // the extension is added

  // On disk under their UTF-16 names.
  EXPECT_TRUE(fs::is_regular_file(Folder() / (kGroesseWide + L".qrv")));
  EXPECT_TRUE(fs::is_regular_file(Folder() / L"\u00D6rdner" / (kUnicodeWide + L".qrv")));

  const PresetLibrary& lib = pm->library();
  ASSERT_EQ(lib.GroupCount(kBankUser), 2);
  EXPECT_EQ(lib.GroupName(kBankUser, 1), "\xC3\x96rdner");
  ASSERT_EQ(lib.ItemCount(kBankUser, 0), 2);
  EXPECT_EQ(lib.Item(kBankUser, 0, 0)->name, kGroesse);
  EXPECT_EQ(lib.Item(kBankUser, 0, 1)->name, kUnicode);
  const auto listed = lib.ListUserPresets();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, kGroesse);
  EXPECT_EQ(listed[1].name, "\xC3\x96rdner/" + kUnicode);
  for (const auto& entry : listed) EXPECT_TRUE(fs::is_regular_file(entry.path)) << entry.name;

  pm->SetBank(kBankUser);
  pm->LoadPosition(0);
  EXPECT_EQ(pm->current().Name(), kGroesse);
  EXPECT_FLOAT_EQ(pm->current().values[kSlotCompression], 0.25f);
  pm->LoadPosition(1);
  EXPECT_EQ(pm->current().Name(), kUnicode);
  EXPECT_FLOAT_EQ(pm->current().values[kSlotCompression], 0.75f);
  // By path, as a host hands a file over.
  ASSERT_TRUE(pm->LoadUserPreset(Folder() / (kGroesseWide + L".qrv")));
  EXPECT_EQ(pm->current().Name(), kGroesse);
  const PresetFileContents contents = LoadPresetFile(Folder() / L"\u00D6rdner" / (kUnicodeWide + L".qrv"));
  EXPECT_EQ(contents.status, BlobStatus::Ok);
  EXPECT_EQ(contents.fileName, kUnicode);
}

TEST_F(WindowsPresetFilesTest, APresetWriteKilledHalfwayLeavesTheOldFile) {
  ASSERT_TRUE(g_saverRole);
  fake.SetParameter(kSlotCompression, 0.25);
  const fs::path file = Folder() / (kGroesseWide + L".qrv");
  ASSERT_TRUE(pm->SavePresetFile(file));
  const std::string before = ReadBytes(file);
  ASSERT_GT(before.size(), 400u);

  // The child saves the same preset with Compression at 0.9 and is killed half-way; it inherits the
  // profile folder from this environment.
  test::RoleProcess saver("save-and-stop-halfway", "0.9");
  ASSERT_TRUE(saver.started());
  ASSERT_TRUE(saver.WaitForSignal(120000)) << "the saving instance never got half-way";
  int temporaries = 0;
  for (const auto& e : fs::directory_iterator(Folder())) {
    const std::string name = platform::Utf8FromPath(e.path().filename());
    if (name.starts_with(".qrv-") && name.ends_with(".tmp")) {
      ++temporaries;
      EXPECT_EQ(fs::file_size(e.path()), before.size() / 2);
    }
  }
  EXPECT_EQ(temporaries, 1);
  saver.Kill();

  EXPECT_EQ(ReadBytes(file), before);
  pm->library().RescanUserPresets();
  const PresetLibrary& lib = pm->library();
  ASSERT_EQ(lib.ItemCount(kBankUser, 0), 1);
  EXPECT_EQ(lib.Item(kBankUser, 0, 0)->name, kGroesse);
  pm->SetBank(kBankUser);
  pm->LoadPosition(0);
  EXPECT_FLOAT_EQ(pm->current().values[kSlotCompression], 0.25f);

  // The next save replaces the file and takes the dead writer's leftover away.
  fake.SetParameter(kSlotCompression, 0.5);
  ASSERT_TRUE(pm->SavePresetFile(file));
  int left = 0;
  for (const auto& e : fs::directory_iterator(Folder())) left += e.path().filename() != file.filename() ? 1 : 0;
  EXPECT_EQ(left, 0);
  pm->LoadPosition(0);
  EXPECT_FLOAT_EQ(pm->current().values[kSlotCompression], 0.5f);
}

}  // namespace
}  // namespace qrv
