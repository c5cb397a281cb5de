// The preset bar in the editor window, driven through the frame's event dispatch, against a real
// PresetManager, library and settings store on temporary files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

#include "presets/PresetBlob.h"
#include "tests/presetbar/BarEditorFixture.h"

namespace qrv::test {
namespace {

using Quarrytone::QRVPresetBarEditor;

class PresetBarEditorTest : public BarEditorFixture {
 protected:
  void SetUp() override { Open(); }

  // A knob drag on the panel: Compression from its value up by `pixels` points.
  void TurnCompression(double pixels) {
    const QRVPoint p = KnobCentre(kSlotCompression);
    Move(p);
    Press(p);
    for (int i = 1; i <= 5; ++i) {
      clock.Advance(10);
      Move(QRVPoint{p.x, p.y - pixels * i / 5}, kQRVLButton);
    }
    Release(QRVPoint{p.x, p.y - pixels}, kQRVLButton);
    clock.Advance(100);
  }
  QRVPoint KnobCentre(int slot) {
    auto& editor = *static_cast<warmGlowEditor*>(window().productEditor());
    QRVBaseControl* knob = editor.knob(slot);
    const QRVRect r = knob->getViewSize();
    return QRVPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2 + kBar};
  }
  double Host(int slot) { return one().hub.host[slot]; }
  void ClickFavourite(int slot, int buttons = kQRVLButton) { Click(bar().favourite(slot), buttons); }
  void ClickAssign() { Click(bar().assignButton()); }
  QRVPoint Arrow(PresetBarArrowPairControl* c, bool right) { return Centre(right ? c->getRightRect() : c->getLeftRect()); }
};

TEST_F(PresetBarEditorTest, BuildsTheBarAsLaidOutWithItsLabelsAndHints) {
  EXPECT_TRUE(Shown(bar().barContainer()));
  const QRVRect f = bar().favouritesContainer()->getViewSize();
  EXPECT_DOUBLE_EQ(f.left, 114);  // half of 400 - 172
  EXPECT_DOUBLE_EQ(f.top, 52);
  EXPECT_DOUBLE_EQ(f.right, 286);
  EXPECT_DOUBLE_EQ(bar().configButton()->getViewSize().left, 371);
  EXPECT_EQ(Label(), "00: Default");
  EXPECT_STREQ(bar().zoomButton()->getLabel(), "100%");
  EXPECT_STREQ(bar().saveButton()->getTooltip(), "Click to save current setup as a *.qrv preset file.");
  EXPECT_STREQ(bar().undoRedo()->getTooltip(), "Click the left/right arrow to undo/redo action.");
  // Nothing assigned: dimmed favourites with the empty titles; the user default reads "Default".
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(bar().favourite(i)->overlayEnabled_);
    EXPECT_STREQ(bar().favourite(i)->getHint(), "No preset assigned.");
  }
  EXPECT_STREQ(bar().userDefault()->getHint(), "Preset name: Default");
  EXPECT_EQ(std::string(bar().userDefault()->getTooltip()).rfind("Preset name: Default\nClick to recall", 0), 0u);
  for (QRVViewContainer* o : {bar().browserContainer(), bar().configContainer(), bar().cornerContainer()})
    EXPECT_FALSE(Shown(o));

  EXPECT_EQ(QRVPresetBarEditor::LabelText(-1, "Vox", false), "CP:Vox");
  EXPECT_EQ(QRVPresetBarEditor::LabelText(7, "Name", true), "07: Name *");
  EXPECT_EQ(QRVPresetBarEditor::LabelText(12, "", false), "12: current");

  // A narrow window keeps the favourites at the left edge.
  window().resizeEditor(100, 275);
  EXPECT_DOUBLE_EQ(bar().favouritesContainer()->getViewSize().left, 0);
  EXPECT_DOUBLE_EQ(bar().configButton()->getViewSize().left, 71);
}

TEST_F(PresetBarEditorTest, NudgeUndoRedoAndTheModifiedMarkFollowTheManager) {
  Click(Arrow(bar().nudge(), true));
  Click(Arrow(bar().nudge(), true));
  ASSERT_EQ(pm().position().item, 2);
  const PresetRecord factory2 = FactoryRecord(2);
  EXPECT_EQ(Label(), "02: " + std::string(factory2.Name()));
  EXPECT_FLOAT_EQ(static_cast<float>(Host(kSlotRatio)), factory2.values[kSlotRatio]);
  Click(Arrow(bar().nudge(), false));
  EXPECT_EQ(pm().position().item, 1);

  // A knob edit marks the label and is undone and redone through the arrows.
  const double before = Host(kSlotCompression);
  TurnCompression(40);
  ASSERT_NE(Host(kSlotCompression), before);
  const double edited = Host(kSlotCompression);
  EXPECT_EQ(Label(), "01: " + std::string(FactoryRecord(1).Name()) + " *");
  EXPECT_TRUE(bar().nameControl()->isModified());
  Click(Arrow(bar().undoRedo(), false));
  EXPECT_DOUBLE_EQ(Host(kSlotCompression), before);
  Click(Arrow(bar().undoRedo(), false));  // the step before: the change from item 2 to item 1
  EXPECT_EQ(pm().position().item, 2);
  Click(Arrow(bar().undoRedo(), true));
  EXPECT_EQ(pm().position().item, 1);
  Click(Arrow(bar().undoRedo(), true));
  EXPECT_FLOAT_EQ(static_cast<float>(Host(kSlotCompression)), static_cast<float>(edited));
}

TEST_F(PresetBarEditorTest, ABSwitchCopyClipboardAndOverlaysReachTheManager) {
  const double a = pm().current().values[kSlotCompression];
  Click(bar().abSwitch());
  EXPECT_EQ(pm().ActiveSlot(), kSlotB);
  EXPECT_DOUBLE_EQ(bar().abSwitch()->getValue(), 1.0);
  EXPECT_FALSE(bar().abCopy()->direction_);  // B is copied to A
  TurnCompression(50);
  EXPECT_NE(Host(kSlotCompression), a);
  Click(bar().abSwitch());
  EXPECT_EQ(pm().ActiveSlot(), kSlotA);
  EXPECT_FLOAT_EQ(static_cast<float>(Host(kSlotCompression)), static_cast<float>(a));  // A's setup is back
  Click(bar().abCopy());
  EXPECT_EQ(pm().SlotRecord(kSlotB), pm().SlotRecord(kSlotA));

  // Copy, then paste after a change: the clipboard preset is back, named after the time.
  clock.local.tm_hour = 14;
  clock.local.tm_min = 3;
  clock.local.tm_sec = 59;
  Click(bar().copyButton());
  Click(Arrow(bar().nudge(), true));
  Click(bar().pasteButton());
  EXPECT_EQ(Label(), "00: clipboard 14:03:59");
  EXPECT_FLOAT_EQ(static_cast<float>(Host(kSlotCompression)), static_cast<float>(a));

  // The name opens the browser's container (empty for now), the gear the configuration's; they
  // never show together, and 87 closes whichever is open.
  Click(bar().nameControl());
  EXPECT_TRUE(bar().browserOpen());
  EXPECT_TRUE(Shown(bar().browserContainer()));
  EXPECT_DOUBLE_EQ(bar().nameControl()->getValue(), 1.0);
  Click(bar().configButton());
  EXPECT_FALSE(Shown(bar().browserContainer()));
  EXPECT_TRUE(Shown(bar().configContainer()));
  EXPECT_DOUBLE_EQ(bar().configButton()->getValue(), 1.0);
  Click(bar().nameControl());  // closes the configuration, then opens the browser
  EXPECT_FALSE(Shown(bar().configContainer()));
  EXPECT_TRUE(Shown(bar().browserContainer()));
  bar().controlEvent(qrv::kTagCloseOverlay, 1.0);
  EXPECT_FALSE(bar().browserOpen());
  EXPECT_FALSE(Shown(bar().browserContainer()));
  EXPECT_DOUBLE_EQ(bar().nameControl()->getValue(), 0.0);
}

TEST_F(PresetBarEditorTest, FavouritesAssignRecallRemoveAndTheirLookAndTexts) {
  Click(Arrow(bar().nudge(), true));
  const std::string name1(FactoryRecord(1).Name());
  ClickAssign();
  EXPECT_TRUE(bar().assignMode());
  ClickFavourite(1);
  EXPECT_FALSE(bar().assignMode());
  EXPECT_TRUE(pm().FavoriteExists(1));
  EXPECT_FALSE(bar().favourite(1)->overlayEnabled_);  // lit
  EXPECT_EQ(bar().favourite(1)->getHint(), "Preset name: " + name1);
  EXPECT_EQ(std::string(bar().favourite(1)->getTooltip()),
            "Preset name: " + name1 +
                "\nClick to recall the assigned favorite preset.\nNote: When assignment mode is active,\nclicking "
                "assigns the current preset to this favorite slot,\nShift-click removes the preset assignment from "
                "the slot");
  EXPECT_TRUE(bar().favourite(0)->overlayEnabled_);

  // Recall from another preset.
  Click(Arrow(bar().nudge(), true));
  ClickFavourite(1);
  EXPECT_EQ(pm().current().Name(), name1);
  EXPECT_EQ(Label(), "00: " + name1);

  // Assign mode ends after any other event, and after a turned knob.
  ClickAssign();
  Click(bar().copyButton());
  EXPECT_FALSE(bar().assignMode());
  ClickFavourite(2);  // a recall of nothing: no assignment
  EXPECT_FALSE(pm().FavoriteExists(2));
  ClickAssign();
  TurnCompression(20);
  EXPECT_FALSE(bar().assignMode());
  // ...and by itself on the 334th tick.
  ClickAssign();
  Tick(333);
  EXPECT_TRUE(bar().assignMode());
  Tick(1);
  EXPECT_FALSE(bar().assignMode());

  // Shift-click in assign mode deletes the slot and dims it; the next click recalls nothing.
  ClickAssign();
  ClickFavourite(1, kQRVLButton | kQRVShift);
  EXPECT_FALSE(pm().FavoriteExists(1));
  EXPECT_TRUE(bar().favourite(1)->overlayEnabled_);
  EXPECT_STREQ(bar().favourite(1)->getHint(), "No preset assigned.");
  const PresetRecord before = pm().current();
  ClickFavourite(1);
  EXPECT_EQ(pm().current(), before);

  // The user default: assigned, recalled, and removed back to the factory initial preset.
  ClickAssign();
  Click(bar().userDefault());
  EXPECT_FALSE(bar().userDefault()->overlayEnabled_);
  EXPECT_EQ(std::string(bar().userDefault()->getHint()), "Preset name: " + std::string(pm().current().Name()));
  Click(Arrow(bar().nudge(), true));
  Click(bar().userDefault());
  EXPECT_EQ(pm().current(), before);
  ClickAssign();
  Click(bar().userDefault(), kQRVLButton | kQRVShift);
  Click(bar().userDefault());
  EXPECT_EQ(pm().current().Name(), "Default");
  EXPECT_STREQ(bar().userDefault()->getHint(), "Preset name: Default");

  // Tags past the four slots are no favourites.
  ClickAssign();
  const auto writes = registry.writes;
  for (int tag = 101; tag <= 106; ++tag) bar().controlEvent(tag, 1.0);
  EXPECT_EQ(registry.writes, writes);
  EXPECT_TRUE(bar().assignMode());
}

TEST_F(PresetBarEditorTest, TheNameIsRenamedByTypingAndAnEmptyNameChangesNothing) {
  auto* name = bar().nameControl();
  const QRVPoint icon = Centre(name->getIconRect());
  Click(icon);
  ASSERT_TRUE(name->isNameEditing());
  EXPECT_TRUE(headless().keyboardHeld());
  headless().type("Crunch");
  Key(tk::VirtualKey::Return);
  EXPECT_EQ(pm().current().Name(), "Crunch");
  EXPECT_EQ(Label(), "00: Crunch");
  EXPECT_FALSE(headless().keyboardHeld());  // the keyboard goes back to the host

  // Emptied and committed: the old name stays and the browser stays shut.
  Click(icon);
  ASSERT_TRUE(name->isNameEditing());
  Key(tk::VirtualKey::Delete);
  Key(tk::VirtualKey::Return);
  EXPECT_EQ(pm().current().Name(), "Crunch");
  EXPECT_FALSE(bar().browserOpen());
  EXPECT_FALSE(Shown(bar().browserContainer()));

  // Renaming an edited preset clears the mark; the next edit sets it again.
  TurnCompression(30);
  EXPECT_EQ(Label(), "00: Crunch *");
  Click(icon);
  headless().type("Edited");
  Key(tk::VirtualKey::Return);
  EXPECT_EQ(Label(), "00: Edited");
  TurnCompression(-10);
  EXPECT_EQ(Label(), "00: Edited *");
}

TEST_F(PresetBarEditorTest, ZoomMenuResizesTheWindowAndStoresTheZoom) {
  Click(bar().zoomButton());
  auto* handler = bar().zoomButton()->getMenuHandler();
  ASSERT_TRUE(handler->isOpen());
  const QRVRect p = handler->getPopupRect();
  EXPECT_DOUBLE_EQ(p.left, 1);
  EXPECT_DOUBLE_EQ(p.top, 54);
  const QRVRect e = handler->getMenu()->getEntry(3)->rect;  // "125%"
  Click(QRVPoint{p.left + (e.left + e.right) / 2, p.top + (e.top + e.bottom) / 2});
  EXPECT_FALSE(handler->isOpen());
  headless().render();
  EXPECT_EQ(cairo_image_surface_get_width(headless().surface()), 500);
  EXPECT_EQ(cairo_image_surface_get_height(headless().surface()), 441);
  EXPECT_EQ(pm().zoom(), 125);
  double stored = 0;
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingZoom, stored));
  EXPECT_FLOAT_EQ(static_cast<float>(stored), 0.125f);
  EXPECT_STREQ(bar().zoomButton()->getLabel(), "125%");
  EXPECT_STREQ(bar().corner()->getLabel(), "125%");

  // "Increase 5%" keeps the list open; another bar control closes it without a choice.
  Click(bar().zoomButton());
  const QRVRect inc = handler->getMenu()->getEntry(8)->rect;
  Click(QRVPoint{p.left + (inc.left + inc.right) / 2, p.top + (inc.top + inc.bottom) / 2});
  EXPECT_EQ(pm().zoom(), 130);
  EXPECT_TRUE(handler->isOpen());
  bar().controlEvent(qrv::kTagBarCopy, 1.0);
  EXPECT_FALSE(handler->isOpen());
  EXPECT_EQ(pm().zoom(), 130);
}

TEST_F(PresetBarEditorTest, CornerDragScalesByTheFartherRatioAndStoresOnceAtTheEnd) {
  const int writesBefore = registry.writes[settings::NumericValueName(settings::kSettingZoom)];
  const QRVPoint corner = Centre(bar().cornerRect());  // (390, 343) in window points
  Move(corner);
  Tick();
  ASSERT_TRUE(bar().cornerShown());
  EXPECT_TRUE(Shown(bar().cornerContainer()));
  Press(corner);
  Tick();
  ASSERT_TRUE(bar().zoomDragging());

  // Right by 10 % and down by 5 %: the horizontal ratio is farther from 1 and is stretched by 1.02.
  double x = corner.x * 1.10, y = corner.y * 1.05;
  headless().mouseMove(tk::Point{x, y}, kQRVLButton);
  Tick();
  EXPECT_NEAR(bar().shownZoom(), 1.0 + 0.10 * 1.02, 1e-9);
  EXPECT_NEAR(window().requestedZoom(), 1.0 + 0.10 * 1.02, 1e-9);
  // Now up and left, below the start: the vertical ratio wins a tie-free race, shrunk by 0.9.
  x = corner.x * 0.95;
  y = corner.y * 0.80;
  headless().mouseMove(tk::Point{x, y}, kQRVLButton);
  Tick();
  EXPECT_NEAR(bar().shownZoom(), 1.0 - 0.20 * 0.9, 1e-9);
  // The store is not written during the drag...
  EXPECT_EQ(registry.writes[settings::NumericValueName(settings::kSettingZoom)], writesBefore);
  headless().mouseUp(tk::Point{x, y}, kQRVLButton);
  Tick();
  EXPECT_FALSE(bar().zoomDragging());
  // ...but once when it ends, in whole percent.
  EXPECT_EQ(registry.writes[settings::NumericValueName(settings::kSettingZoom)], writesBefore + 1);
  EXPECT_EQ(pm().zoom(), 82);
  // Idle leaves the window at the dragged zoom rather than snapping it to the stored percent.
  const double dragged = window().requestedZoom();
  Tick(5);
  EXPECT_DOUBLE_EQ(window().requestedZoom(), dragged);

  // A restored zoom (notification 59) that differs in whole percent resizes the window.
  pm().SetZoom(2.0, false);
  window().valueChangedByController(59, 0.2);
  EXPECT_DOUBLE_EQ(window().requestedZoom(), 2.0);
  EXPECT_STREQ(bar().zoomButton()->getLabel(), "200%");
}

TEST_F(PresetBarEditorTest, SavingThroughTheDialogAndItsFailures) {
  FakeSaveDialog* dialog = UseFakeDialog();
  Click(bar().saveButton());
  ASSERT_EQ(dialog->requests.size(), 1u);
  const auto& request = dialog->requests[0];
  EXPECT_EQ(request.title, "Save preset");
  EXPECT_EQ(request.folder, UserFolder());
  EXPECT_EQ(request.defaultName, "Default.qrv");
  EXPECT_EQ(request.typeDescription, "QRV Preset");
  EXPECT_EQ(request.extension, "qrv");

  // Cancel: nothing.
  dialog->answer(std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(UserFolder() / "Default.qrv"));
  EXPECT_EQ(Label(), "00: Default");

  // Save: the file, the new name, the library rescanned.
  TurnCompression(30);
  Click(bar().saveButton());
  dialog->answer(UserFolder() / "Warm");
  EXPECT_TRUE(std::filesystem::exists(UserFolder() / "Warm.qrv"));
  EXPECT_EQ(Label(), "00: Warm");  // the file is the preset now: no mark
  EXPECT_EQ(pm().library().ItemCount(kBankUser, 0), 1);
  EXPECT_TRUE(messageBox.shown.empty());

  // A file that cannot be written: the message, the name kept, no rescan.
  Click(bar().saveButton());
  dialog->answer(dir / "missing" / "folder" / "Cold");
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(messageBox.shown[0].first, "Could not save preset file\nThe folder does not exist.");
  EXPECT_EQ(messageBox.shown[0].second, (dir / "missing" / "folder" / "Cold").string());
  EXPECT_EQ(pm().current().Name(), "Warm");
  EXPECT_EQ(pm().library().ItemCount(kBankUser, 0), 1);
}

TEST_F(PresetBarEditorTest, TwoInstancesShareTheLibraryAndTheSettings) {
  second.emplace();
  ASSERT_TRUE(second->window.open(tk::PlatformType::Headless));
  // A favourite assigned in the first shows lit in the second once the pointer comes over it.
  ClickAssign();
  ClickFavourite(3);
  ASSERT_TRUE(pm().FavoriteExists(3));
  auto& other = second->bar();
  EXPECT_TRUE(other.favourite(3)->overlayEnabled_);
  const QRVRect f = other.favouritesContainer()->getViewSize();
  second->headless().mouseMove(tk::Point{f.left + 129, f.top + 13}, 0);
  Tick();
  EXPECT_FALSE(other.favourite(3)->overlayEnabled_);
  other.controlEvent(100, 1.0);  // recall it there
  EXPECT_EQ(second->manager.current().Name(), "Default");

  // A file saved by one is in the library of both.
  FakeSaveDialog* dialog = UseFakeDialog();
  Click(bar().saveButton());
  dialog->answer(UserFolder() / "Shared");
  EXPECT_EQ(&second->manager.library(), &pm().library());
  EXPECT_EQ(second->manager.library().ItemCount(kBankUser, 0), 1);
  // Each instance keeps its own A/B and its own edits.
  Click(bar().abSwitch());
  EXPECT_EQ(second->manager.ActiveSlot(), kSlotA);
}

// Records what the bar hands to an overlay's content.
struct RecordingContent : Quarrytone::PresetBarOverlayContent {
  explicit RecordingContent(std::vector<std::string>& log, const char* who) : log_(log), who_(who) {}
  void opened() override { log_.push_back(who_ + " opened"); }
  void closed() override { log_.push_back(who_ + " closed"); }
  void refresh() override { log_.push_back(who_ + " refresh"); }
  void controlEvent(int tag, double) override { log_.push_back(who_ + " tag " + std::to_string(tag)); }
  void parameterNotification(int index, double) override { log_.push_back(who_ + " note " + std::to_string(index)); }
  bool stayOpen() override { return stay; }
  std::vector<std::string>& log_;
  std::string who_;
  bool stay = false;
};

TEST_F(PresetBarEditorTest, OverlayContentHooksAndTheControllersNotifications) {
  std::vector<std::string> log;
  bar().setBrowserContent(std::make_unique<RecordingContent>(log, "browser"));
  auto config = std::make_unique<RecordingContent>(log, "config");
  RecordingContent* cfg = config.get();
  bar().setConfigContent(std::move(config));
  auto has = [&](const std::string& line) { return std::find(log.begin(), log.end(), line) != log.end(); };

  Click(bar().nameControl());
  EXPECT_TRUE(has("browser opened"));
  EXPECT_TRUE(has("browser refresh"));
  for (int tag : {75, 76, 77, 78, 79, 84, 85, 88}) {
    bar().controlEvent(tag, 1.0);
    EXPECT_TRUE(has("browser tag " + std::to_string(tag))) << tag;
  }
  for (int tag : {55, 57, 62}) {
    bar().controlEvent(tag, 1.0);
    EXPECT_TRUE(has("config tag " + std::to_string(tag))) << tag;
  }
  Click(bar().configButton());
  EXPECT_TRUE(has("browser closed"));
  EXPECT_TRUE(has("config opened"));
  EXPECT_TRUE(has("config note 57"));  // the hints switch shows the process-wide flag

  // 94 closes the configuration unless its content asks to stay; 93 shows it again.
  cfg->stay = true;
  window().valueChangedByController(94, 1.0);
  EXPECT_TRUE(bar().configOpen());
  cfg->stay = false;
  window().valueChangedByController(94, 1.0);
  EXPECT_FALSE(bar().configOpen());
  window().valueChangedByController(93, 1.0);
  EXPECT_TRUE(bar().configOpen());
  EXPECT_TRUE(Shown(bar().configContainer()));

  // 54 accepts the edited preset as the reference: the mark goes.
  bar().controlEvent(qrv::kTagCloseOverlay, 1.0);
  EXPECT_FALSE(Shown(bar().configContainer()));
  TurnCompression(30);
  ASSERT_TRUE(pm().modified());
  window().valueChangedByController(54, 1.0);
  EXPECT_FALSE(pm().modified());
  EXPECT_EQ(Label(), "00: Default");

  // After a host-state restore the item is -1: "CP:" and the restored name, on notification 69.
  std::array<PresetRecord, 3> programs = {FactoryRecord(5), FactoryRecord(1), FactoryRecord(2)};
  ASSERT_EQ(pm().RestoreHostState(WriteHostStateBlob(programs, 0, 100)), BlobStatus::Ok);
  window().valueChangedByController(69, 1.0);
  EXPECT_EQ(Label(), "CP:" + std::string(FactoryRecord(5).Name()));
}

}  // namespace
}  // namespace qrv::test
