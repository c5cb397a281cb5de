#include <gtest/gtest.h>

#include <fstream>

#include "platform/PathText.h"
#include "presets/PresetLibrary.h"
#include "tests/presets/PresetTestSupport.h"

namespace qrv {
namespace {

using test::MakeRecord;

class PresetLibraryTest : public test::PresetFixture {
 protected:
  void Preset(const std::filesystem::path& relative, const PresetRecord& r) {
    WriteFile(UserFolder() / relative, WriteSinglePresetBlob(r, 0, 100));
  }
  std::vector<std::string> GroupNames(const PresetLibrary& lib, int bank) {
    std::vector<std::string> out;
    for (int g = 0; g < lib.GroupCount(bank); ++g) out.emplace_back(lib.GroupName(bank, g));
    return out;
  }
  std::vector<std::string> ItemNames(const PresetLibrary& lib, int bank, int group) {
    std::vector<std::string> out;
    for (int i = 0; i < lib.ItemCount(bank, group); ++i) out.push_back(lib.Item(bank, group, i)->name);
    return out;
  }
};

TEST_F(PresetLibraryTest, FactoryBanks) {
  PresetLibrary lib("");
  EXPECT_EQ(GroupNames(lib, kBankApplication),
            (std::vector<std::string>{"All", "Bus Compression", "Drums", "Vocals", "Special"}));
  EXPECT_EQ(GroupNames(lib, kBankDesigner), (std::vector<std::string>{"All"}));
  EXPECT_EQ(lib.ItemCount(kBankApplication, 0), 34);
  EXPECT_EQ(lib.ItemCount(kBankDesigner, 0), 34);
  EXPECT_EQ(lib.Item(kBankApplication, 0, 0)->name, "Default");
  EXPECT_EQ(lib.Item(kBankApplication, 0, 33)->name, "Init");
  std::vector<int> bus;
  for (int i = 0; i < lib.ItemCount(kBankApplication, 1); ++i) bus.push_back(lib.Item(kBankApplication, 1, i)->factoryIndex);
  EXPECT_EQ(bus, (std::vector<int>{10, 29, 30, 31}));
  EXPECT_EQ(lib.ItemCount(kBankApplication, 3), 2);
  EXPECT_EQ(lib.GroupName(kBankApplication, 5), "");
  EXPECT_EQ(lib.Item(kBankApplication, 0, 34), nullptr);

  PresetRecord r = MakeRecord("x", 0.9f);
  ASSERT_TRUE(lib.LoadPosition(kBankApplication, 2, 0, r));  // "Hats Smasher"
  EXPECT_EQ(r.Name(), "Hats Smasher");
  EXPECT_EQ(r.values[kSlotCompression], 0.775f);
  EXPECT_EQ(r.values[1], MakeRecord("x", 0.9f).values[1]);  // slots that do not travel stay
}

TEST_F(PresetLibraryTest, BuildsTheUserFolderAndListsAnEmptyOne) {
  PresetLibrary& lib = PresetLibrary::Acquire();
  EXPECT_EQ(platform::PathFromUtf8(lib.userFolder()),
            profile.path() / "Documents" / "quarry-tone.com" / "User Presets" / "QRV warmGlow");
  EXPECT_TRUE(std::filesystem::is_directory(platform::PathFromUtf8(lib.userFolder())));
  EXPECT_EQ(GroupNames(lib, kBankUser), (std::vector<std::string>{"All"}));
  EXPECT_EQ(lib.ItemCount(kBankUser, 0), 0);
  PresetLibrary::Release();

  PresetLibrary missing(platform::Utf8FromPath(profile / "does-not-exist"));
  EXPECT_EQ(GroupNames(missing, kBankUser), (std::vector<std::string>{"All"}));
  EXPECT_EQ(missing.ItemCount(kBankUser, 0), 0);
}

TEST_F(PresetLibraryTest, ScanRules) {
  Preset("b.qrv", MakeRecord("b", 0.1f));
  Preset("a.qrv", MakeRecord("a", 0.1f));
  Preset("Loud.QRV", MakeRecord("Loud", 0.1f));
  Preset(".qrv", MakeRecord("dot", 0.1f));
  Preset("notes.txt", MakeRecord("t", 0.1f));
  Preset("Zeta/z1.qrv", MakeRecord("z1", 0.1f));
  Preset("alpha/A2.qrv", MakeRecord("a2", 0.1f));
  Preset("alpha/a1.qrv", MakeRecord("a1", 0.1f));
  Preset("alpha/deeper/hidden.qrv", MakeRecord("h", 0.1f));
  Preset("Beta/.keep", MakeRecord("k", 0.1f));
  Preset(".git/x.qrv", MakeRecord("x", 0.1f));
  std::filesystem::create_directories(UserFolder() / "folder.qrv");
  const std::string longName(80, 'L');
  Preset(longName + ".qrv", MakeRecord("long", 0.33f));

  PresetLibrary lib(platform::Utf8FromPath(UserFolder()));
  EXPECT_EQ(GroupNames(lib, kBankUser), (std::vector<std::string>{"All", "alpha", "Beta", "folder.qrv", "Zeta"}));
  EXPECT_EQ(ItemNames(lib, kBankUser, 0), (std::vector<std::string>{"a", "a1", "A2", "b", std::string(63, 'L'), "z1"}));
  EXPECT_EQ(ItemNames(lib, kBankUser, 1), (std::vector<std::string>{"a1", "A2"}));
  EXPECT_EQ(lib.ItemCount(kBankUser, 2), 0);

  // A file's path follows its folder group, also when reached through "All".
  EXPECT_EQ(lib.ItemPath(kBankUser, 0, 1), UserFolder() / "alpha" / "a1.qrv");
  EXPECT_EQ(lib.ItemPath(kBankUser, 4, 0), UserFolder() / "Zeta" / "z1.qrv");
  EXPECT_EQ(lib.ItemPath(kBankUser, 0, 0), UserFolder() / "a.qrv");

  // The listed name is cut to 63 characters, but the file still loads.
  PresetRecord r = FactoryRecord(0);
  ASSERT_TRUE(lib.LoadPosition(kBankUser, 0, 4, r));
  EXPECT_EQ(r.Name(), std::string(23, 'L'));
  EXPECT_FLOAT_EQ(r.values[kSlotRatio], 0.35f);

  // The name shown is the file name, not the name stored inside.
  ASSERT_TRUE(lib.LoadPosition(kBankUser, 1, 1, r));
  EXPECT_EQ(r.Name(), "A2");

  const auto listed = lib.ListUserPresets();
  ASSERT_EQ(listed.size(), 6u);
  EXPECT_EQ(listed[0].name, "a");
  EXPECT_EQ(listed[3].name, "alpha/a1");
  EXPECT_EQ(listed[3].path, UserFolder() / "alpha" / "a1.qrv");
  EXPECT_EQ(listed[5].name, "Zeta/z1");
}

// Names past 63 bytes are cut between characters: a cut inside a multi-byte character would hand the
// browser and the listing invalid UTF-8. The file and the folder keep their whole names.
TEST_F(PresetLibraryTest, LongNonAsciiNamesAreCutBetweenCharacters) {
  std::string twoByte, threeByte = "A";
  for (int i = 0; i < 40; ++i) {
    twoByte += "\u00e9";    // 63 bytes end inside the 32nd character
    threeByte += "\u20ac";  // after the "A", 63 bytes end inside the 21st
  }
  const std::string folder = twoByte;
  Preset(platform::PathFromUtf8(twoByte + ".qrv"), MakeRecord("main", 0.2f));
  Preset(platform::PathFromUtf8(folder) / platform::PathFromUtf8(threeByte + ".qrv"), MakeRecord("grouped", 0.6f));

  PresetLibrary lib(platform::Utf8FromPath(UserFolder()));
  ASSERT_EQ(lib.GroupCount(kBankUser), 2);
  EXPECT_EQ(lib.GroupName(kBankUser, 1), twoByte.substr(0, 62));
  EXPECT_EQ(lib.GroupFolder(kBankUser, 1), folder);
  EXPECT_EQ(ItemNames(lib, kBankUser, 0), (std::vector<std::string>{threeByte.substr(0, 61), twoByte.substr(0, 62)}));
  EXPECT_EQ(ItemNames(lib, kBankUser, 1), (std::vector<std::string>{threeByte.substr(0, 61)}));
  EXPECT_EQ(lib.ItemPath(kBankUser, 1, 0),
            UserFolder() / platform::PathFromUtf8(folder) / platform::PathFromUtf8(threeByte + ".qrv"));

  PresetRecord r = FactoryRecord(0);
  ASSERT_TRUE(lib.LoadPosition(kBankUser, 0, 1, r));
  EXPECT_EQ(r.Name(), twoByte.substr(0, 22));
  EXPECT_FLOAT_EQ(r.values[kSlotRatio], MakeRecord("main", 0.2f).values[kSlotRatio]);

  const auto listed = lib.ListUserPresets();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, twoByte.substr(0, 62));
  EXPECT_EQ(listed[1].name, folder + "/" + threeByte.substr(0, 61));
}

TEST_F(PresetLibraryTest, AFileThatFailsKeepsTheValuesAndSaysSo) {
  WriteFile(UserFolder() / "broken.qrv", {'G', 'W', 'V', 'Q'});
  PresetLibrary lib(platform::Utf8FromPath(UserFolder()));
  ASSERT_EQ(lib.ItemCount(kBankUser, 0), 1);
  const PresetRecord before = MakeRecord("keep", 0.4f);
  PresetRecord r = before;
  EXPECT_FALSE(lib.LoadPosition(kBankUser, 0, 0, r));
  EXPECT_EQ(r.Name(), "error loading preset");
  EXPECT_TRUE(r.SameValues(before));
  EXPECT_FALSE(lib.LoadPosition(kBankUser, 0, 7, r));
}

TEST_F(PresetLibraryTest, FolderAndItemLimits) {
  for (int i = 0; i < 130; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d", i);
    std::filesystem::create_directories(UserFolder() / name);
  }
  for (int i = 0; i < 515; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f000/p%03d.qrv", i);
    std::ofstream(UserFolder() / name) << "x";
  }
  for (int i = 0; i < 3; ++i) std::ofstream(UserFolder() / ("main" + std::to_string(i) + ".qrv")) << "x";

  PresetLibrary lib(platform::Utf8FromPath(UserFolder()));
  ASSERT_EQ(lib.GroupCount(kBankUser), kMaxGroups);  // "All" and 127 folders
  EXPECT_EQ(lib.GroupName(kBankUser, 1), "f000");
  EXPECT_EQ(lib.GroupName(kBankUser, 127), "f126");
  EXPECT_EQ(lib.ItemCount(kBankUser, 1), kMaxItemsPerGroup);
  EXPECT_EQ(lib.ItemCount(kBankUser, 0), kMaxItemsPerGroup);
  // The main folder's files come first into "All", so they are not the ones dropped.
  const auto all = ItemNames(lib, kBankUser, 0);
  EXPECT_NE(std::find(all.begin(), all.end(), "main2"), all.end());
  // What the lists leave out is counted: f000 holds 515; "All" stands for every file, also those of
  // f127..f129, which get no group.
  for (int i = 127; i < 130; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%03d/late.qrv", i);
    std::ofstream(UserFolder() / name) << "x";
  }
  lib.RescanUserPresets();
  EXPECT_EQ(lib.FoundCount(kBankUser, 1), 515);
  EXPECT_EQ(lib.FoundCount(kBankUser, 2), 0);
  EXPECT_EQ(lib.FoundCount(kBankUser, 0), 521);
  EXPECT_EQ(lib.ItemCount(kBankUser, 0), kMaxItemsPerGroup);
  EXPECT_EQ(lib.FoundCount(kBankApplication, 0), lib.ItemCount(kBankApplication, 0));
  // The command line sees every file all the same.
  EXPECT_EQ(ScanUserPresets().size(), 3u + kMaxItemsPerGroup);
  const auto every = ScanEveryUserPreset();
  ASSERT_EQ(every.size(), 521u);
  EXPECT_EQ(every[3].name, "f000/p000");
  EXPECT_EQ(every[517].path, UserFolder() / "f000" / "p514.qrv");
  EXPECT_EQ(every[520].name, "f129/late");
}

TEST_F(PresetLibraryTest, OpeningTheFolderReportsAFailure) {
  struct FakeShell : platform::Shell {
    int Open(const std::string& target) override {
      opened.push_back(target);
      return result;
    }
    int result = 42;
    std::vector<std::string> opened;
  } shell;
  struct FakeBox : platform::MessageBox {
    int Show(const std::string& text, const std::string& caption) override {
      shown.emplace_back(text, caption);
      return 1;
    }
    std::vector<std::pair<std::string, std::string>> shown;
  } box;
  platform::Services s;
  s.shell = &shell;
  s.messageBox = &box;
  platform::ScopedServices scope(s);

  PresetLibrary lib(platform::Utf8FromPath(UserFolder()));
  EXPECT_EQ(lib.OpenUserFolder(), 42);
  EXPECT_TRUE(box.shown.empty());
  shell.result = 32;
  EXPECT_EQ(lib.OpenUserFolder(), 32);
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].first, "Could not open user's preset folder");
  EXPECT_EQ(box.shown[0].second, platform::Utf8FromPath(UserFolder()));
  const std::string folder = platform::Utf8FromPath(UserFolder());
  EXPECT_EQ(shell.opened, (std::vector<std::string>{folder, folder}));
}

}  // namespace
}  // namespace qrv

namespace qrv {
namespace {

TEST_F(PresetLibraryTest, CommandLineHelpers) {
  Preset("Sub/Warm.qrv", MakeRecord("Inside", 0.25f));
  WriteFile(UserFolder() / "Bad.qrv", {'G', 'W', 'V', 'Q', 0x38});
  const auto listed = ScanUserPresets();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, "Bad");
  EXPECT_EQ(listed[1].name, "Sub/Warm");

  const PresetFileContents good = LoadPresetFile(listed[1].path);
  EXPECT_EQ(good.status, BlobStatus::Ok);
  EXPECT_EQ(good.fileName, "Warm");
  EXPECT_EQ(good.storedName, "Inside");
  EXPECT_FLOAT_EQ(good.record.values[kSlotProcess], 0.25f);
  EXPECT_EQ(good.record.values[1], 0.0f);  // not stored: from "Default"

  const PresetFileContents bad = LoadPresetFile(listed[0].path);
  EXPECT_EQ(bad.status, BlobStatus::WrongKind);
  EXPECT_STREQ(DescribeBlobStatus(bad.status), "not a single preset (wrong kind marker)");
  EXPECT_EQ(LoadPresetFile(UserFolder() / "missing.qrv").status, BlobStatus::CannotOpen);
}

}  // namespace
}  // namespace qrv
