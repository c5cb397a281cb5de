#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/Registry.h"
#include "platform/Services.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "tests/presets/PresetTestSupport.h"

namespace qrv {
namespace {

using test::MakeRecord;

class PresetManagerTest : public test::PresetFixture {
 protected:
  PresetManagerTest() : pm(&fake) { fake.manager = &pm; }
  ~PresetManagerTest() override { fake.manager = nullptr; }

  // A knob drag as the host binding reports it: one value every `stepMs`.
  void Turn(int slot, double from, double to, int steps = 10, uint32_t stepMs = 10) {
    for (int i = 1; i <= steps; ++i) {
      clock.Advance(stepMs);
      fake.SetParameter(slot, from + (to - from) * i / steps);
    }
  }
  int UndoableSteps() {
    int n = 0;
    while (pm.CanUndo() && n < 100) {
      pm.Undo();
      ++n;
    }
    return n;
  }
  float Current(int slot) const { return pm.current().values[slot]; }
  double Sent(int slot) const {
    for (const auto& [index, value] : fake.LastApplied())
      if (index == slot) return value;
    return -1.0;
  }

  test::FakeMasterController fake;
  PresetManager pm;
};

TEST_F(PresetManagerTest, StartsOnTheDefaultPreset) {
  EXPECT_EQ(pm.current().Name(), "Default");
  EXPECT_EQ(pm.position(), (LibraryPosition{0, 0, 0}));
  for (int i : {0, 2, 3, 4, 5, 6, 7}) EXPECT_EQ(Current(i), FactoryRecord(0).values[i]);
  EXPECT_EQ(Current(1), 0.5f);
  EXPECT_FALSE(pm.modified());
  EXPECT_FALSE(pm.CanUndo());
  EXPECT_FALSE(pm.CanRedo());
  EXPECT_EQ(pm.zoom(), 100);
  EXPECT_EQ(pm.HostStateBuffer().size(), 19201u);
  EXPECT_TRUE(fake.calls.empty());  // nothing is sent until something is applied
}

TEST_F(PresetManagerTest, ApplySendsTheStoredSlotsBetweenTheMarkersAndRecordsNothing) {
  const PresetRecord other = MakeRecord("Other", 0.2f);
  pm.ApplyRecord(other);
  std::vector<std::pair<int, double>> expected = {{70, 1.0}};
  for (int i : {0, 2, 3, 4, 5, 6, 7}) expected.emplace_back(i, other.values[i]);
  expected.emplace_back(71, 1.0);
  EXPECT_EQ(fake.calls, expected);
  // The echoes of an apply are neither undo steps nor edits of the current record.
  EXPECT_FALSE(pm.CanUndo());
  EXPECT_EQ(pm.current().Name(), "Default");
  EXPECT_EQ(Current(kSlotRatio), FactoryRecord(0).values[kSlotRatio]);
}

TEST_F(PresetManagerTest, OneKnobTurnIsOneUndoStepAndTurns60msApartAreTwo) {
  Turn(kSlotCompression, 0.5, 0.8);
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.8f);
  EXPECT_TRUE(pm.modified());
  EXPECT_TRUE(pm.CanUndo());
  pm.Undo();
  EXPECT_FALSE(pm.CanUndo());
  EXPECT_EQ(Current(kSlotCompression), 0.5f);
  EXPECT_EQ(Sent(kSlotCompression), 0.5);
  EXPECT_FALSE(pm.modified());
  pm.Redo();
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.8f);
  EXPECT_FLOAT_EQ(static_cast<float>(Sent(kSlotCompression)), 0.8f);

  Turn(kSlotTime, 0.5, 0.6);
  clock.Advance(60);
  Turn(kSlotTime, 0.6, 0.7, 5, 0);  // the first value of the second turn comes 60 ms after the last
  EXPECT_EQ(UndoableSteps(), 3);
  EXPECT_EQ(Current(kSlotTime), 0.5f);

  // Exactly 50 ms still belongs to the same step.
  fake.SetParameter(kSlotOutput, 0.2);
  clock.Advance(50);
  fake.SetParameter(kSlotOutput, 0.25);
  EXPECT_EQ(UndoableSteps(), 1);
}

TEST_F(PresetManagerTest, ChangesBelowTheResolutionAndOutsideTheRecordAreNotSteps) {
  fake.SetParameter(kSlotRatio, 0.50004);
  EXPECT_FALSE(pm.CanUndo());
  pm.ParameterChanged(12, 0.9);  // outside slots 0..11
  pm.ParameterChanged(-1, 0.9);
  EXPECT_FALSE(pm.CanUndo());
  pm.ParameterChanged(kSlotRatio, 7.0);  // limited to 1
  EXPECT_EQ(Current(kSlotRatio), 1.0f);
}

TEST_F(PresetManagerTest, TheModifiedMarkComparesWithTheReference) {
  const float ratio = pm.reference().values[kSlotRatio];
  const float time = pm.reference().values[kSlotTime];
  pm.ParameterChanged(kSlotRatio, 0.9);
  EXPECT_TRUE(pm.modified());
  pm.ParameterChanged(kSlotRatio, ratio);  // back to the loaded value
  EXPECT_FALSE(pm.modified());
  pm.ParameterChanged(kSlotTime, 0.9);
  pm.ParameterChanged(kSlotRatio, 0.1);
  pm.ParameterChanged(kSlotRatio, ratio);  // this one matches, but "Time" still differs
  EXPECT_TRUE(pm.modified());
  pm.ParameterChanged(kSlotTime, time);
  EXPECT_FALSE(pm.modified());
}

TEST_F(PresetManagerTest, TheRingKeeps31Steps) {
  for (int i = 1; i <= 40; ++i) {
    clock.Advance(100);
    fake.SetParameter(kSlotCompression, i / 100.0);
  }
  EXPECT_EQ(UndoableSteps(), 31);
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.09f);  // before the 10th edit
  int redone = 0;
  while (pm.CanRedo()) {
    pm.Redo();
    ++redone;
  }
  EXPECT_EQ(redone, 31);
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.40f);
}

TEST_F(PresetManagerTest, FiveStepsCanAllBeUndone) {
  for (int i = 1; i <= 5; ++i) {
    clock.Advance(100);
    fake.SetParameter(kSlotOutput, i / 10.0);
  }
  EXPECT_EQ(UndoableSteps(), 5);
  EXPECT_EQ(Current(kSlotOutput), 0.15f);
}

TEST_F(PresetManagerTest, TheTickCountMayWrapDuringADrag) {
  clock.ticks = 0xFFFFFFF0u;
  Turn(kSlotRatio, 0.5, 0.9, 4, 10);  // crosses 2^32
  EXPECT_EQ(UndoableSteps(), 1);
}

TEST_F(PresetManagerTest, AnEditAfterUndoDropsTheUndoneSteps) {
  for (double v : {0.6, 0.7, 0.8}) {
    clock.Advance(100);
    fake.SetParameter(kSlotCompression, v);
  }
  pm.Undo();
  EXPECT_TRUE(pm.CanRedo());
  clock.Advance(100);
  fake.SetParameter(kSlotRatio, 0.9);
  EXPECT_FALSE(pm.CanRedo());
  EXPECT_EQ(UndoableSteps(), 3);
  EXPECT_EQ(Current(kSlotCompression), 0.5f);
}

TEST_F(PresetManagerTest, APresetChangeAfterUndoKeepsTheUndoneSteps) {
  for (double v : {0.6, 0.7, 0.8}) {
    clock.Advance(100);
    fake.SetParameter(kSlotTime, v);
  }
  pm.Undo();
  pm.LoadPosition(5);
  EXPECT_FALSE(pm.CanRedo());
  pm.Undo();  // the preset change
  EXPECT_FLOAT_EQ(Current(kSlotTime), 0.7f);
  EXPECT_EQ(pm.position().item, 0);
  pm.Undo();  // the step that had been undone is still in the history
  EXPECT_FLOAT_EQ(Current(kSlotTime), 0.7f);
  pm.Undo();
  EXPECT_FLOAT_EQ(Current(kSlotTime), 0.6f);
  EXPECT_EQ(UndoableSteps(), 1);
}

TEST_F(PresetManagerTest, NextAndPreviousStopAtTheEnds) {
  pm.LoadPosition(33);
  EXPECT_EQ(pm.current().Name(), "Init");
  pm.Next();
  EXPECT_EQ(pm.position().item, 33);
  pm.LoadPosition(0);
  pm.Previous();
  EXPECT_EQ(pm.position().item, 0);
  EXPECT_EQ(pm.current().Name(), "Default");
  pm.Next();
  EXPECT_EQ(pm.position().item, 1);
  EXPECT_EQ(pm.current().Name(), "CompressLite1");
  EXPECT_EQ(fake.LastApplied().size(), 7u);
}

TEST_F(PresetManagerTest, UndoOfABrowserChoiceReturnsWithTheEditsThatWereInForce) {
  Turn(kSlotCompression, 0.5, 0.8);
  pm.SetGroup(2);  // "Drums"
  pm.LoadPosition(0);
  EXPECT_EQ(pm.current().Name(), "Hats Smasher");
  EXPECT_FALSE(pm.modified());

  pm.Undo();  // the load
  pm.Undo();  // the group change
  EXPECT_EQ(pm.position(), (LibraryPosition{0, 0, 0}));
  EXPECT_EQ(pm.current().Name(), "Default");
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.8f);
  EXPECT_FLOAT_EQ(static_cast<float>(Sent(kSlotCompression)), 0.8f);
  EXPECT_TRUE(pm.modified());

  pm.Redo();
  pm.Redo();
  EXPECT_EQ(pm.position(), (LibraryPosition{0, 2, 0}));
  EXPECT_EQ(pm.current().Name(), "Hats Smasher");
  EXPECT_EQ(Sent(kSlotCompression), static_cast<double>(0.775f));
  EXPECT_FALSE(pm.modified());
}

TEST_F(PresetManagerTest, ReloadingTheSamePresetAfterEditsCanBeUndone) {
  Turn(kSlotCompression, 0.5, 0.8);
  pm.LoadPosition(0);
  EXPECT_EQ(Current(kSlotCompression), 0.5f);
  pm.Undo();
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.8f);
  pm.Redo();
  EXPECT_EQ(Current(kSlotCompression), 0.5f);
  // Reloading with nothing changed records no step and keeps the history as it was.
  pm.LoadPosition(0);
  EXPECT_FALSE(pm.CanRedo());
  EXPECT_EQ(UndoableSteps(), 2);
}

TEST_F(PresetManagerTest, SlotsAAndBKeepTheirOwnPresetAndMark) {
  Turn(kSlotCompression, 0.5, 0.8);
  pm.SelectSlot(kSlotB);
  EXPECT_EQ(pm.ActiveSlot(), kSlotB);
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(Current(kSlotCompression), 0.5f);
  EXPECT_EQ(Sent(kSlotCompression), 0.5);
  clock.Advance(100);
  pm.LoadPosition(7);  // position is shared
  EXPECT_EQ(pm.current().Name(), "SlowLim");

  pm.SelectSlot(kSlotA);
  EXPECT_EQ(pm.current().Name(), "Default");
  EXPECT_TRUE(pm.modified());
  EXPECT_FLOAT_EQ(static_cast<float>(Sent(kSlotCompression)), 0.8f);
  EXPECT_EQ(pm.position().item, 7);

  pm.CopySlot();
  pm.SelectSlot(kSlotB);
  EXPECT_EQ(pm.current().Name(), "Default");
  EXPECT_TRUE(pm.modified());
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.8f);

  // Switching records nothing; undo acts on the slot in use.
  pm.Undo();  // the load of "SlowLim"
  EXPECT_EQ(pm.position().item, 0);
  EXPECT_EQ(pm.ActiveSlot(), kSlotB);
  pm.Undo();  // the compression turn
  EXPECT_EQ(Current(kSlotCompression), 0.5f);
  EXPECT_FALSE(pm.CanUndo());
  pm.Redo();
  EXPECT_FLOAT_EQ(Current(kSlotCompression), 0.8f);
}

TEST_F(PresetManagerTest, TheInactiveSlotCanBeSetQuietly) {
  const PresetRecord other = MakeRecord("Other", 0.2f);
  fake.calls.clear();
  EXPECT_FALSE(pm.SetInactiveSlotRecord(kSlotA, other));  // A is active
  EXPECT_EQ(pm.SlotRecord(kSlotA).Name(), "Default");
  EXPECT_TRUE(pm.SetInactiveSlotRecord(kSlotB, other));
  EXPECT_EQ(pm.SlotRecord(kSlotB), other);
  EXPECT_EQ(pm.current().Name(), "Default");
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_FALSE(pm.CanUndo());
  pm.SelectSlot(kSlotB);
  EXPECT_EQ(pm.current(), other);
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(Sent(kSlotRatio), static_cast<double>(other.values[kSlotRatio]));
}

TEST_F(PresetManagerTest, FavouritesAssignRecallNameAndRemove) {
  std::array<PresetRecord, 3> programs = {FactoryRecord(0), FactoryRecord(1), FactoryRecord(2)};
  ASSERT_EQ(pm.RestoreHostState(WriteHostStateBlob(programs, 7, 175)), BlobStatus::Ok);
  Turn(kSlotRatio, 0.5, 1.0);
  pm.RenameCurrent("Crushed");
  pm.AssignFavorite(2);
  EXPECT_TRUE(pm.FavoriteExists(2));
  // A single-preset blob in the registry value, carrying the manager's zoom and host-state word.
  const auto stored = registry.Read(settings::kPresetKey, "Favorite_2");
  ASSERT_TRUE(stored);
  ASSERT_EQ(stored->bytes.size(), 433u);
  PresetBlobHeader header;
  ASSERT_EQ(ReadPresetBlobHeader(stored->bytes, header), BlobStatus::Ok);
  EXPECT_EQ(header.kind, kSinglePresetMarker);
  EXPECT_EQ(header.zoom, 175);
  EXPECT_EQ(header.hostStateWord, 7);
  EXPECT_EQ(pm.FavoriteName(2), "Crushed");
  EXPECT_EQ(pm.FavoriteName(1), "");

  pm.LoadPosition(9);
  fake.calls.clear();
  ASSERT_TRUE(pm.RecallFavorite(2));
  EXPECT_EQ(pm.current().Name(), "Crushed");
  EXPECT_EQ(Current(kSlotRatio), 1.0f);
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(pm.position().item, 0);
  EXPECT_EQ(Sent(kSlotRatio), 1.0);

  pm.Undo();
  EXPECT_EQ(pm.current().Name(), "Leveller");
  EXPECT_EQ(pm.position().item, 9);
  pm.Redo();
  EXPECT_EQ(pm.current().Name(), "Crushed");
  EXPECT_EQ(pm.position().item, 0);

  pm.RemoveFavorite(2);
  EXPECT_FALSE(pm.FavoriteExists(2));
  fake.calls.clear();
  EXPECT_FALSE(pm.RecallFavorite(2));
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(PresetManagerTest, AFavouriteThatFailsItsChecksChangesNothing) {
  std::vector<uint8_t> blob = WriteSinglePresetBlob(MakeRecord("Bad", 0.2f), 0, 100);
  test::PutFloat(blob, test::ValueOffset(kSlotRatio), 1.5f);
  settings::StoreFavorite(0, blob);
  EXPECT_TRUE(pm.FavoriteExists(0));
  EXPECT_EQ(pm.FavoriteName(0), "");
  const PresetRecord before = pm.current();
  EXPECT_FALSE(pm.RecallFavorite(0));
  EXPECT_EQ(pm.current(), before);
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_FALSE(pm.CanUndo());
}

TEST_F(PresetManagerTest, UserDefault) {
  pm.LoadPosition(12);
  fake.calls.clear();
  pm.RecallUserDefault();  // nothing assigned: the factory initial preset, no undo step of its own
  EXPECT_EQ(pm.current().Name(), "Default");
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(pm.position().item, 0);
  EXPECT_EQ(fake.LastApplied().size(), 7u);
  EXPECT_EQ(UndoableSteps(), 1);  // only the load of item 12

  pm.LoadPosition(23);
  pm.AssignFavorite(settings::kFavoriteUserDefault);
  pm.LoadPosition(1);
  pm.RecallUserDefault();
  EXPECT_EQ(pm.current().Name(), "Vox");
}

TEST_F(PresetManagerTest, ClipboardCopyAndPaste) {
  fake.calls.clear();
  EXPECT_FALSE(pm.PasteFromClipboard());
  EXPECT_TRUE(fake.calls.empty());

  Turn(kSlotValveLevel, 0.5, 0.0);
  clock.local.tm_hour = 14;
  clock.local.tm_min = 3;
  clock.local.tm_sec = 59;
  pm.CopyToClipboard();
  EXPECT_EQ(pm.current().Name(), "Default");  // the copy is named, not the current preset

  test::FakeMasterController fake2;
  PresetManager other(&fake2);
  ASSERT_TRUE(other.PasteFromClipboard());
  EXPECT_EQ(other.current().Name(), "clipboard 14:03:59");
  EXPECT_EQ(other.current().values[kSlotValveLevel], 0.0f);
  EXPECT_FALSE(other.modified());
  EXPECT_FALSE(other.CanUndo());
  EXPECT_EQ(fake2.LastApplied().size(), 7u);

  clipboard.Store(std::vector<uint8_t>{'G', 'W', 'V', 'Q'});
  EXPECT_FALSE(other.PasteFromClipboard());
}

TEST_F(PresetManagerTest, RenameAndReference) {
  Turn(kSlotTime, 0.5, 0.9);
  ASSERT_TRUE(pm.modified());
  pm.RenameCurrent("A name of thirty characters!!!");
  EXPECT_EQ(pm.current().Name(), "A name of thirty charac");
  // A rename clears the mark but keeps the reference: the preset as loaded, values and name.
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(pm.reference().Name(), "Default");
  EXPECT_FALSE(pm.current().SameValues(pm.reference()));
  pm.RenameCurrent("");
  pm.RenameCurrent(std::string(256, 'x'));
  EXPECT_EQ(pm.current().Name(), "A name of thirty charac");
  // The limit counts characters: 255 two-byte characters are a name, 256 are not.
  std::string wide;
  for (int i = 0; i < 255; ++i) wide += "\xC3\xB6";
  pm.RenameCurrent(wide + "\xC3\xB6");
  EXPECT_EQ(pm.current().Name(), "A name of thirty charac");
  pm.RenameCurrent(wide);
  EXPECT_EQ(pm.current().Name(), wide.substr(0, 22));

  // The reference is still the loaded preset: Time turned back to its loaded value leaves nothing
  // modified, and an edit after a second rename marks the preset again.
  clock.Advance(100);
  Turn(kSlotTime, 0.9, 0.5);
  EXPECT_FALSE(pm.modified());
  clock.Advance(100);
  fake.SetParameter(kSlotRatio, 0.1);
  EXPECT_TRUE(pm.modified());
  pm.RenameCurrent("Other");
  EXPECT_FALSE(pm.modified());
  clock.Advance(100);
  fake.SetParameter(kSlotRatio, 0.2);
  EXPECT_TRUE(pm.modified());
  pm.AcceptCurrentAsReference();
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(pm.reference(), pm.current());
}

TEST_F(PresetManagerTest, SavingAFileRenamesThePresetAfterIt) {
  EXPECT_EQ(pm.DefaultSaveFileName(), "Default.qrv");
  ASSERT_TRUE(pm.SavePresetFile(UserFolder() / "Warm"));
  PresetRecord stored;
  ASSERT_EQ(ReadPresetFile(UserFolder() / "Warm.qrv", stored), BlobStatus::Ok);
  EXPECT_EQ(stored.Name(), "Default");
  EXPECT_EQ(pm.current().Name(), "Warm");
  EXPECT_EQ(pm.library().ItemCount(kBankUser, 0), 1);

  ASSERT_TRUE(pm.SavePresetFile(UserFolder() / "Mix.qrv.qrv"));
  EXPECT_TRUE(std::filesystem::exists(UserFolder() / "Mix.qrv"));
  EXPECT_FALSE(std::filesystem::exists(UserFolder() / "Mix.qrv.qrv"));
  EXPECT_EQ(pm.current().Name(), "Mix");

  pm.SetBank(kBankUser);
  pm.LoadPosition(1);
  EXPECT_EQ(pm.current().Name(), "Warm");
  // A file that cannot be written renames nothing and rescans nothing.
  EXPECT_EQ(pm.SavePresetFile(profile / "no-such-folder" / "x").error, PresetSaveError::FolderMissing);
  EXPECT_EQ(pm.current().Name(), "Warm");
  EXPECT_EQ(pm.library().ItemCount(kBankUser, 0), 2);

  // Saving an edited preset: the file holds the edit, and the preset shown is that file, unmodified.
  clock.Advance(100);
  Turn(kSlotTime, 0.5, 0.8);
  ASSERT_TRUE(pm.modified());
  ASSERT_TRUE(pm.SavePresetFile(UserFolder() / "Edited"));
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(pm.reference(), pm.current());
}

// Another instance's rescan (a save, a switch to "My presets") must not move this instance onto another
// file: it stays on the same file by path, or shows no item when the file is gone.
TEST_F(PresetManagerTest, PositionsFollowTheirFilesAcrossAnotherInstancesRescans) {
  std::filesystem::create_directories(UserFolder() / "Mix");
  for (const char* name : {"b", "d", "Mix/m"}) {
    const auto blob = WriteSinglePresetBlob(MakeRecord(name, 0.1f), 0, 100);
    WriteFile(UserFolder() / (std::string(name) + ".qrv"), blob);
  }
  pm.SetBank(kBankUser);
  ASSERT_EQ(pm.library().ItemCount(kBankUser, 0), 3);  // "All": b, d, m
  pm.LoadPosition(1);
  ASSERT_EQ(pm.current().Name(), "d");

  test::FakeMasterController fake2;
  PresetManager other(&fake2);
  ASSERT_EQ(&other.library(), &pm.library());
  // A file that sorts before "d" and a folder that sorts before "Mix" arrive; the other instance saves.
  std::filesystem::create_directories(UserFolder() / "Aside");
  ASSERT_TRUE(other.SavePresetFile(UserFolder() / "a"));
  EXPECT_EQ(pm.position().item, 2);
  EXPECT_EQ(pm.library().ItemPath(kBankUser, pm.position().group, pm.position().item), UserFolder() / "d.qrv");

  // In a sub-folder group: the group follows its folder's new slot, the item its file.
  ASSERT_EQ(pm.library().GroupName(kBankUser, 1), "Aside");
  pm.SetGroup(1);
  pm.SetGroup(2);
  pm.LoadPosition(0);
  ASSERT_EQ(pm.current().Name(), "m");
  std::filesystem::remove(UserFolder() / "Aside");
  other.SetBank(kBankUser);
  EXPECT_EQ(pm.position().group, 1);
  EXPECT_EQ(pm.library().GroupName(kBankUser, pm.position().group), "Mix");
  EXPECT_EQ(pm.position().item, 0);

  // The undo history follows too: undoing back to "d" after "a" was inserted loads "d".
  pm.Undo();  // back to "Mix" with nothing selected
  pm.Undo();  // back to "Aside"'s former place: the group is gone, so "All"
  pm.Undo();  // back to "d"
  EXPECT_EQ(pm.position().bank, kBankUser);
  EXPECT_EQ(pm.library().ItemPath(kBankUser, pm.position().group, pm.position().item), UserFolder() / "d.qrv");
  EXPECT_EQ(pm.current().Name(), "d");

  // A file that is gone leaves no item: the bar shows "CP:" and the preset's values stay.
  const PresetRecord before = pm.current();
  std::filesystem::remove(UserFolder() / "d.qrv");
  other.SavePresetFile(UserFolder() / "e");
  EXPECT_EQ(pm.position().item, -1);
  EXPECT_EQ(pm.current(), before);
  pm.Next();
  EXPECT_EQ(pm.position().item, 0);
}

TEST_F(PresetManagerTest, ZoomWithoutStoringReachesTheProcessButNotTheFile) {
  pm.SetZoom(1.5);
  pm.SetZoom(2.0, false);
  EXPECT_EQ(pm.zoom(), 200);
  EXPECT_EQ(settings::ProcessZoom(), 200);
  double stored = 0;
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingZoom, stored));
  EXPECT_FLOAT_EQ(static_cast<float>(stored), 0.15f);
}

TEST_F(PresetManagerTest, ZoomIsLimitedSharedAndStored) {
  pm.SetZoom(5.0);
  EXPECT_EQ(pm.zoom(), 400);
  EXPECT_EQ(pm.ZoomFactor(), 4.0);
  EXPECT_EQ(settings::ProcessZoom(), 400);
  double stored = 0;
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingZoom, stored));
  EXPECT_FLOAT_EQ(static_cast<float>(stored), 0.4f);
  pm.SetZoom(0.0);
  EXPECT_EQ(pm.zoom(), 100);
  pm.SetZoom(1.26);
  EXPECT_EQ(pm.zoom(), 126);

  // A new instance starts at the process-wide zoom; a closing one stores nothing.
  settings::SetProcessHints(0);
  {
    PresetManager second(nullptr);
    EXPECT_EQ(second.zoom(), 126);
  }
  double hints = 1;
  EXPECT_FALSE(settings::ReadNumber(settings::kSettingHints, hints));
  settings::SetProcessHints(1);
}

TEST_F(PresetManagerTest, HostStateWriteAndRestore) {
  Turn(kSlotOutput, 0.15, 0.5);
  pm.RenameCurrent("Session");
  pm.SetZoom(1.5);
  const std::vector<uint8_t> blob = pm.WriteHostState();
  ASSERT_EQ(blob.size(), 1217u);
  EXPECT_EQ(pm.program(0), pm.current());

  test::FakeMasterController fake2;
  PresetManager other(&fake2);
  other.SelectSlot(kSlotB);
  other.LoadPosition(4);
  ASSERT_EQ(other.RestoreHostState(blob), BlobStatus::Ok);
  EXPECT_EQ(other.ActiveSlot(), kSlotA);
  // Only the stored slots travel.
  EXPECT_EQ(other.current().Name(), "Session");
  for (int i : {0, 2, 3, 4, 5, 6, 7}) {
    EXPECT_EQ(other.current().values[i], pm.current().values[i]);
    EXPECT_EQ(other.reference().values[i], pm.current().values[i]);
  }
  EXPECT_FALSE(other.modified());
  EXPECT_EQ(other.position().item, -1);
  EXPECT_EQ(other.zoom(), 150);
  other.SelectSlot(kSlotB);
  EXPECT_EQ(other.current().Name(), "Session");

  std::vector<uint8_t> huge = blob;
  test::Put32(huge, kBlobZoomOffset, 100000);
  ASSERT_EQ(other.RestoreHostState(huge), BlobStatus::Ok);
  EXPECT_EQ(other.zoom(), 400);
  test::Put32(huge, kBlobZoomOffset, 0);
  ASSERT_EQ(other.RestoreHostState(huge), BlobStatus::Ok);
  EXPECT_EQ(other.zoom(), 400);  // 0 keeps the zoom in force

  // A broken state changes nothing.
  other.SelectSlot(kSlotB);
  const PresetRecord before = other.current();
  std::vector<uint8_t> broken = blob;
  test::Put32(broken, kBlobChunkCountOffset, 30);
  EXPECT_EQ(other.RestoreHostState(broken), BlobStatus::TruncatedChunk);
  EXPECT_EQ(other.current(), before);
  EXPECT_EQ(other.ActiveSlot(), kSlotB);
}

}  // namespace
}  // namespace qrv

namespace qrv {
namespace {

// A preset the host chose from its own list is loaded as the bar loads it from "All": numbered and
// named as there, unmodified, one undo step.
TEST_F(PresetManagerTest, AHostsFactoryPresetIsTheBarsLoadOfIt) {
  pm.LoadPosition(3);
  fake.SetParameter(kSlotCompression, 0.9);
  ASSERT_TRUE(pm.modified());
  PresetManager bar(nullptr);
  bar.LoadPosition(23);

  ASSERT_TRUE(pm.LoadFactoryPreset(23));
  EXPECT_EQ(pm.position(), bar.position());
  EXPECT_EQ(pm.current(), bar.current());
  EXPECT_EQ(pm.current().Name(), "Vox");
  EXPECT_FALSE(pm.modified());
  EXPECT_EQ(Sent(kSlotCompression), static_cast<double>(FactoryRecord(23).values[kSlotCompression]));
  pm.Undo();
  EXPECT_EQ(pm.position().item, 3);
  EXPECT_TRUE(pm.modified()) << "undo returns to the edited preset, as after a bar load";
  EXPECT_EQ(Current(kSlotCompression), 0.9f);

  EXPECT_FALSE(pm.LoadFactoryPreset(kFactoryPresetCount));
  EXPECT_FALSE(pm.LoadFactoryPreset(-1));
  EXPECT_EQ(pm.position().item, 3);
}

TEST_F(PresetManagerTest, AHostsUserPresetFileShowsByItsName) {
  PresetRecord r = MakeRecord("stored name", 0.25f);
  WriteFile(UserFolder() / "Alpha.qrv", WriteSinglePresetBlob(r, 0, 100));
  WriteFile(UserFolder() / "Bravo.qrv", WriteSinglePresetBlob(r, 0, 100));
  ASSERT_TRUE(pm.LoadUserPreset(UserFolder() / "Bravo.qrv"));
  EXPECT_EQ(pm.position(), (LibraryPosition{kBankUser, 0, 1}));
  EXPECT_EQ(pm.current().Name(), "Bravo");
  EXPECT_FALSE(pm.modified());
  EXPECT_FALSE(pm.LoadUserPreset(profile / "elsewhere.qrv"));
  EXPECT_EQ(pm.current().Name(), "Bravo");

  // A file the library does not list: its record, by name, at no item.
  PresetRecord outside = MakeRecord("Outside", 0.75f);
  pm.LoadOutsideRecord(outside);
  EXPECT_EQ(pm.position().item, -1);
  EXPECT_EQ(pm.current().Name(), "Outside");
  EXPECT_FALSE(pm.modified());
  pm.Undo();
  EXPECT_EQ(pm.current().Name(), "Bravo");
}

}  // namespace
}  // namespace qrv
