// The preset browser in the editor window, opened from the bar's name field and driven through the
// frame's event dispatch, against a real PresetManager, library (user folder in a temporary profile)
// and settings store; the shell and message box record what they are asked.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "gui/presetbar/PresetBrowser.h"
#include "gui/presetbar/TextShortening.h"
#include "presets/PresetBlob.h"
#include "tests/presetbar/BarEditorFixture.h"
#include "tests/presetbar/BarHarness.h"

namespace qrv::test {
namespace {

using Quarrytone::PresetBarPresetMenu;
using Quarrytone::QRVPresetCustomMenu;
using Quarrytone::QRVPresetColumns;

class PresetBrowserTest : public BarEditorFixture {
 protected:
  void SetUp() override { Open(); }

  PresetBarPresetMenu& browser() { return *static_cast<PresetBarPresetMenu*>(bar().browserContent()); }
  void OpenBrowser() {
    Click(bar().nameControl());
    ASSERT_TRUE(bar().browserOpen());
  }
  // Overlay coordinates to window points.
  static QRVPoint Window(QRVPoint p) { return QRVPoint{p.x, p.y + kBar}; }
  void ClickIn(QRVPoint overlay, int buttons = kQRVLButton) { Click(Window(overlay), buttons); }
  void ClickEntry(QRVPresetCustomMenu* list, int entry, int buttons = kQRVLButton) {
    ClickIn(Centre(list->cellRect(entry)), buttons);
  }
  void ClickBank(int bank) { ClickIn(Centre(browser().bankSwitch()->segmentRect(bank))); }
  void WritePreset(const std::filesystem::path& relative, std::string_view name, float base) {
    const auto path = UserFolder() / relative;
    std::filesystem::create_directories(path.parent_path());
    const auto blob = WriteSinglePresetBlob(MakeRecord(name, base), 0, 100);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(blob.data()),
                                                static_cast<std::streamsize>(blob.size()));
  }
  static PresetRecord MakeRecord(std::string_view name, float base) {
    PresetRecord r;
    r.SetName(name);
    for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i) r.values[i] = base + 0.01f * static_cast<float>(i);
    return r;
  }
  static void ExpectRect(const QRVRect& r, double l, double t, double rr, double b) {
    EXPECT_DOUBLE_EQ(r.left, l);
    EXPECT_DOUBLE_EQ(r.top, t);
    EXPECT_DOUBLE_EQ(r.right, rr);
    EXPECT_DOUBLE_EQ(r.bottom, b);
  }
};

TEST_F(PresetBrowserTest, OpensAt420By493WithItsLayoutAndClosesBackTo400By353) {
  EXPECT_EQ(window().windowWidth(), 400);
  EXPECT_EQ(window().windowHeight(), 353);
  OpenBrowser();
  EXPECT_EQ(window().windowWidth(), 420);
  EXPECT_EQ(window().windowHeight(), 493);
  EXPECT_TRUE(Shown(bar().browserContainer()));
  ExpectRect(bar().browserContainer()->getViewSize(), 0, 78, 420, 493);

  // W 420, H 415.
  ExpectRect(browser().bankSwitch()->getViewSize(), 0, 1, 420, 29);
  ExpectRect(browser().groupColumn()->getViewSize(), 0, 31, 200, 246);
  ExpectRect(browser().presetList()->getViewSize(), 201, 31, 421, 386);
  ExpectRect(browser().designerPhoto()->getViewSize(), 0, 246, 200, 386);
  ExpectRect(browser().designerPhoto()->photoRect(), 40, 256, 160, 376);
  ExpectRect(browser().infoLine()->getViewSize(), 0, 388, 420, 416);

  // The preset list: one column of 200-point cells (the area is 201 wide), 17 visible rows, all 34
  // presets of "All" in one column, so the thumb is half the track.
  QRVPresetColumns* list = browser().presetList();
  EXPECT_EQ(list->entryCount(), 34);
  EXPECT_DOUBLE_EQ(list->cellWidth(), 200);
  EXPECT_EQ(list->columns(), 1);
  EXPECT_EQ(list->visibleRows(), 17);
  EXPECT_EQ(list->rowsPerColumn(), 34);
  ExpectRect(list->scrollBarRect(), 405, 31, 421, 386);
  EXPECT_DOUBLE_EQ(list->thumbRect().getHeight(), 355.0 / 2);
  ExpectRect(list->cellRect(0), 205, 35, 405, 55);
  EXPECT_EQ(list->entryText(0), "00. Default");
  EXPECT_EQ(list->entryText(12), "12. " + std::string(FactoryRecord(12).Name()));
  EXPECT_EQ(list->selected(), 0);
  // Five groups in a column of 10 visible rows: fewer than visible, so 9 rows per column.
  EXPECT_EQ(browser().groupColumn()->entryCount(), 5);
  EXPECT_EQ(browser().groupColumn()->entryText(1), "Bus Compression");
  EXPECT_DOUBLE_EQ(browser().groupColumn()->cellWidth(), 181);
  EXPECT_EQ(browser().groupColumn()->rowsPerColumn(), 9);
  EXPECT_NEAR(browser().bankSwitch()->getValue(), 0.0, 1e-9);
  EXPECT_EQ(browser().bankSwitch()->label(2), "My presets");

  // The name field toggles it closed again.
  Click(bar().nameControl());
  EXPECT_FALSE(bar().browserOpen());
  EXPECT_FALSE(Shown(bar().browserContainer()));
  EXPECT_EQ(window().windowWidth(), 400);
  EXPECT_EQ(window().windowHeight(), 353);
}

TEST_F(PresetBrowserTest, ListLayoutInColumns) {
  // Standalone lists: the layout is the control's own arithmetic.
  QRVPresetColumns list(QRVRect{0, 0, 419, 350}, 77);  // a list area 400 wide and 350 high
  std::vector<std::string> names;
  for (int i = 0; i < 34; ++i) names.push_back(QRVPresetColumns::EntryText(i, "p"));
  list.setEntries(names);
  EXPECT_EQ(list.visibleRows(), 17);
  EXPECT_EQ(list.columns(), 2);
  EXPECT_EQ(list.rowsPerColumn(), 17);
  ExpectRect(list.cellRect(16), 4, 4 + 16 * 20, 204, 4 + 17 * 20);
  ExpectRect(list.cellRect(17), 204, 4, 404, 24);
  EXPECT_DOUBLE_EQ(list.thumbRect().getHeight(), 350);  // everything shows
  names.resize(28);
  list.setEntries(names);
  EXPECT_EQ(list.rowsPerColumn(), 16);  // 14 rounded up is less than 17, so 17 - 1
  EXPECT_DOUBLE_EQ(list.cellRect(15).top, 4 + 15 * 20);
  EXPECT_DOUBLE_EQ(list.cellRect(16).left, 204);
  EXPECT_DOUBLE_EQ(list.cellRect(16).top, 4);
  // A narrow list: the cell is as wide as the area, one column at least.
  QRVPresetColumns narrow(QRVRect{0, 0, 120, 30}, 77);
  narrow.setEntries({"a", "b", "c"});
  EXPECT_DOUBLE_EQ(narrow.cellWidth(), 101);
  EXPECT_EQ(narrow.columns(), 1);
  EXPECT_EQ(narrow.visibleRows(), 1);
  EXPECT_EQ(narrow.rowsPerColumn(), 3);
  // The entry texts: two digits below 10, at most 32 characters of the name appended.
  EXPECT_EQ(QRVPresetColumns::EntryText(3, "Vox"), "03. Vox");
  EXPECT_EQ(QRVPresetColumns::EntryText(123, std::string(40, 'a')), "123. " + std::string(32, 'a'));
  for (int entry : {0, 1, 33, 511}) EXPECT_EQ(QRVPresetCustomMenu::EntryOf(QRVPresetCustomMenu::EntryValue(entry)), entry);
  EXPECT_LT(QRVPresetCustomMenu::EntryOf(QRVPresetCustomMenu::kOutside), 0);
}

TEST_F(PresetBrowserTest, AClickLoadsAPresetAndADoubleClickLoadsAndCloses) {
  OpenBrowser();
  QRVPresetColumns* list = browser().presetList();
  ClickEntry(list, 5);
  EXPECT_EQ(pm().position().item, 5);
  EXPECT_EQ(list->selected(), 5);
  EXPECT_TRUE(bar().browserOpen());
  const PresetRecord five = FactoryRecord(5);
  for (int slot : {0, 2, 3, 4, 5, 6, 7}) EXPECT_NEAR(one().hub.host[slot], five.values[slot], 1e-6) << slot;
  EXPECT_EQ(Label(), "05: " + std::string(five.Name()));

  // The group column: the preset list shows the group with nothing selected.
  ClickEntry(browser().groupColumn(), 2);  // "Drums"
  EXPECT_EQ(pm().position().group, 2);
  EXPECT_EQ(list->selected(), -1);
  const int drums = pm().library().ItemCount(kBankApplication, 2);
  ASSERT_GT(drums, 1);
  EXPECT_EQ(list->entryCount(), drums);

  ClickEntry(list, 1, kQRVLButton | kQRVDoubleClick);
  EXPECT_EQ(pm().position().group, 2);
  EXPECT_EQ(pm().position().item, 1);
  EXPECT_FALSE(bar().browserOpen());
  EXPECT_EQ(window().windowWidth(), 400);
  EXPECT_EQ(Label().substr(0, 4), "01: ");
  // Each choice is one undo step: back to "Drums" with nothing loaded, then to item 5 of "All".
  Click(Centre(bar().undoRedo()->getLeftRect()));
  Click(Centre(bar().undoRedo()->getLeftRect()));
  EXPECT_EQ(pm().position().group, 0);
  EXPECT_EQ(pm().position().item, 5);
}

TEST_F(PresetBrowserTest, APressBesideTheEntriesClosesTheBrowser) {
  OpenBrowser();
  // Below the last group, inside the group column's list area.
  ClickIn(QRVPoint{50, 230});
  EXPECT_FALSE(bar().browserOpen());
  OpenBrowser();
  // Between the preset list's area and its scroll bar.
  ClickIn(QRVPoint{403, 100});
  EXPECT_FALSE(bar().browserOpen());
  EXPECT_EQ(pm().position().item, 0);
}

TEST_F(PresetBrowserTest, ScrollBarThumbDragControlClickAndShiftWheel) {
  OpenBrowser();
  QRVPresetColumns* list = browser().presetList();
  const QRVRect thumb = list->thumbRect();
  const double room = list->scrollBarRect().getHeight() - thumb.getHeight();
  // Dragging the thumb by a quarter of its room scrolls a quarter of the way.
  const QRVPoint grip = Window(Centre(thumb));
  Move(grip);
  Press(grip);
  Move(QRVPoint{grip.x, grip.y + room / 4}, kQRVLButton);
  Release(QRVPoint{grip.x, grip.y + room / 4});
  EXPECT_NEAR(list->scrollPosition(), 0.25, 1e-9);
  // With Shift held the same drag moves a tenth as far.
  const QRVPoint grip2 = Window(Centre(list->thumbRect()));
  Press(grip2, kQRVLButton | kQRVShift);
  Move(QRVPoint{grip2.x, grip2.y + room / 4}, kQRVLButton | kQRVShift);
  Release(QRVPoint{grip2.x, grip2.y + room / 4}, kQRVLButton | kQRVShift);
  EXPECT_NEAR(list->scrollPosition(), 0.275, 1e-9);
  // A Control-click puts the thumb's centre at the pointer at once.
  const QRVRect track = list->scrollBarRect();
  ClickIn(QRVPoint{Centre(track).x, track.bottom - 1}, kQRVLButton | kQRVControl);
  EXPECT_NEAR(list->scrollPosition(), 1.0, 1e-9);
  // Scrolled to the end, the last preset's cell is the last visible row.
  EXPECT_NEAR(list->cellRect(33).bottom, 35 + 34 * 20 - (4 + 34 * 20 - 355), 1e-9);
  ClickEntry(list, 33);
  EXPECT_EQ(pm().position().item, 33);

  // Shift and the wheel step the selection, which loads, within the entries.
  const tk::Point over = Device(Window(Centre(list->cellRect(30))));
  headless().wheel(over, 1.0f, kQRVShift);
  EXPECT_EQ(pm().position().item, 32);
  headless().wheel(over, -1.0f, kQRVShift);
  headless().wheel(over, -1.0f, kQRVShift);
  EXPECT_EQ(pm().position().item, 33);
  headless().wheel(over, 0.05f, kQRVShift);  // too small a turn
  EXPECT_EQ(pm().position().item, 33);
  EXPECT_TRUE(bar().browserOpen());
  // The plain wheel only scrolls.
  headless().wheel(over, 1.0f, 0);
  EXPECT_LT(list->scrollPosition(), 1.0);
  EXPECT_EQ(pm().position().item, 33);
}

TEST_F(PresetBrowserTest, MyPresetsIsRescannedWithNewFilesAndItsInfoLineOpensTheFolder) {
  OpenBrowser();
  ClickBank(2);
  EXPECT_EQ(pm().position().bank, kBankUser);
  // No files: the single group "All", an empty list, the taller group column, no photo.
  EXPECT_EQ(browser().groupColumn()->entryCount(), 1);
  EXPECT_EQ(browser().groupColumn()->entryText(0), "All");
  EXPECT_EQ(browser().presetList()->entryCount(), 0);
  ExpectRect(browser().groupColumn()->getViewSize(), 0, 31, 200, 386);
  EXPECT_TRUE(browser().designerPhoto()->hidden());
  EXPECT_EQ(browser().infoLine()->text(), "Show file in Explorer");
  EXPECT_NEAR(browser().bankSwitch()->getValue(), 1.0, 1e-9);

  // Files and folders that arrive are listed when the bank is chosen again.
  WritePreset("Warm.qrv", "Warm", 0.2f);
  WritePreset("Drums/Kick.qrv", "Kick", 0.3f);
  WritePreset("Drums/Snare.qrv", "Snare", 0.4f);
  WritePreset("Bus/Glue.qrv", "Glue", 0.5f);
  ClickBank(0);
  EXPECT_FALSE(browser().designerPhoto()->hidden());
  ClickBank(2);
  ASSERT_EQ(browser().groupColumn()->entryCount(), 3);
  EXPECT_EQ(browser().groupColumn()->entryText(1), "Bus");
  EXPECT_EQ(browser().groupColumn()->entryText(2), "Drums");
  // The taller user group column: 17 visible rows, 3 groups, so 16 rows in one column.
  EXPECT_EQ(browser().groupColumn()->visibleRows(), 17);
  EXPECT_EQ(browser().groupColumn()->rowsPerColumn(), 16);
  EXPECT_EQ(browser().presetList()->entryCount(), 4);
  EXPECT_EQ(browser().presetList()->entryText(3), "03. Warm");

  const std::string folder = pm().library().userFolder();
  // "All" with nothing chosen: the user folder; a sub-folder: its path; a file: its path.
  EXPECT_EQ(browser().infoHint(), folder);
  ClickEntry(browser().groupColumn(), 2);
  EXPECT_EQ(browser().infoHint(), folder + "/Drums");
  EXPECT_STREQ(browser().infoLine()->getTooltip(), (folder + "/Drums").c_str());
  ClickEntry(browser().presetList(), 1);
  EXPECT_EQ(browser().infoHint(), folder + "/Drums/Snare.qrv");
  EXPECT_EQ(pm().current().Name(), "Snare");
  EXPECT_NEAR(one().hub.host[5], 0.45, 1e-6);
  // In "All" a file of a sub-folder shows its own folder.
  ClickEntry(browser().groupColumn(), 0);
  ClickEntry(browser().presetList(), 0);
  EXPECT_EQ(browser().infoHint(), folder + "/Bus/Glue.qrv");

  // The line is highlighted while the pointer is over it, and a press opens the user folder.
  const QRVPoint line = Window(Centre(browser().infoLine()->getViewSize()));
  Move(line);
  EXPECT_TRUE(browser().infoLine()->highlighted());
  shell.opened.clear();
  Click(line);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], folder);
  EXPECT_TRUE(bar().browserOpen());
}

// A list holds 512 presets; a folder holding more says so on the information line, in its own colour at
// the line's right end, with how many it leaves out. A group that shows everything says nothing.
TEST_F(PresetBrowserTest, AFolderOfMoreThan512PresetsSaysTheListIsCut) {
  for (int i = 0; i < 600; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "P%03d", i);
    WritePreset(std::string(name) + ".qrv", name, 0.2f);
  }
  WritePreset("Drums/Kick.qrv", "Kick", 0.3f);
  OpenBrowser();
  EXPECT_EQ(browser().infoLine()->notice(), "");
  ClickBank(2);
  EXPECT_EQ(browser().presetList()->entryCount(), kMaxItemsPerGroup);
  EXPECT_EQ(browser().presetList()->entryText(511), "511. P511");
  EXPECT_EQ(browser().infoLine()->notice(), "List cut: 512 of 601");
  EXPECT_EQ(browser().infoLine()->text(), "Show file in Explorer");

  // Drawn: the notice's colour appears at the line's right end, and only while the list is cut.
  const auto noticePixels = [&] {
    headless().render();
    const QRVRect line = browser().infoLine()->getViewSize();
    int count = 0;
    for (int x = static_cast<int>(line.right) - 120; x < static_cast<int>(line.right) - 4; ++x)
      for (int y = static_cast<int>(line.top) + 2; y < static_cast<int>(line.bottom) - 2; ++y) {
        const QRVPoint p = Window(QRVPoint{static_cast<double>(x), static_cast<double>(y)});
        if (Near(headless().pixel(static_cast<int>(p.x), static_cast<int>(p.y)),
                 Over(Quarrytone::PresetBrowserColors::kListCutText, QRVColor{0, 0, 0, 255}), 24))
          ++count;
      }
    return count;
  };
  EXPECT_GT(noticePixels(), 20);

  ClickEntry(browser().groupColumn(), 1);  // Drums: one preset, all listed
  EXPECT_EQ(browser().presetList()->entryCount(), 1);
  EXPECT_EQ(browser().infoLine()->notice(), "");
  EXPECT_EQ(noticePixels(), 0);

  EXPECT_EQ(pm().library().FoundCount(kBankUser, 0), 601);
  EXPECT_EQ(pm().library().FoundCount(kBankUser, 1), 1);
}

TEST_F(PresetBrowserTest, FactoryInfoLineAndDesignerPhoto) {
  OpenBrowser();
  EXPECT_EQ(browser().infoLine()->text(), "Factory presets are integral part of the plugin");
  EXPECT_STREQ(browser().infoLine()->getTooltip(),
               "Factory presets are integral part of the plugin and they are NOT stored as files");
  Move(Window(Centre(browser().infoLine()->getViewSize())));
  EXPECT_FALSE(browser().infoLine()->highlighted());
  shell.opened.clear();
  Click(Window(Centre(browser().infoLine()->getViewSize())));
  EXPECT_TRUE(shell.opened.empty());

  EXPECT_EQ(browser().designerPhoto()->photo(), kPresetDesigners[0].photoImage);
  EXPECT_STREQ(browser().designerPhoto()->getTooltip(), "Click on the photo to get more info about preset's designer");
  // Beside the photo, inside its area: closes, opens nothing.
  ClickIn(QRVPoint{10, 300});
  EXPECT_FALSE(bar().browserOpen());
  EXPECT_TRUE(shell.opened.empty());
  // On the photo: opens the designer's address and closes.
  OpenBrowser();
  ClickIn(Centre(browser().designerPhoto()->photoRect()));
  EXPECT_FALSE(bar().browserOpen());
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], std::string(kPresetDesigners[0].webAddress));
}

TEST_F(PresetBrowserTest, WithoutAUserFolderTheHintSaysSo) {
  // A manager whose library has no user folder: the same browser, the error hint.
  // (Without HOME the password database's home would serve; a relative profile is no folder at all.)
  first.reset();
  setenv("USERPROFILE", "relative/profile", 1);
  Open();
  ASSERT_TRUE(pm().library().userFolder().empty());
  OpenBrowser();
  ClickBank(2);
  EXPECT_EQ(browser().infoHint(), "Error while locating the preset file");
}

// ---------------------------------------------------------------- pixels

TEST_F(PresetBrowserTest, PixelsOverlayOverThePanelSelectedAndHoveredCellsShortenedNames) {
  WritePreset(std::string(40, 'a') + ".qrv", std::string(40, 'a'), 0.2f);
  WritePreset("b.qrv", "b", 0.2f);
  OpenBrowser();
  headless().render();
  // The row between the bank switch and the columns shows the overlay's colour over the panel.
  const QRVPoint gap = Window(QRVPoint{100, 30});
  const tk::Color covered = headless().pixel(static_cast<int>(gap.x), static_cast<int>(gap.y));
  window().removeOverlay(bar().browserContainer());
  headless().render();
  const tk::Color panel = headless().pixel(static_cast<int>(gap.x), static_cast<int>(gap.y));
  window().addOverlay(bar().browserContainer());
  const QRVColor under{panel.r, panel.g, panel.b, 255};
  EXPECT_TRUE(Near(covered, Over(Quarrytone::QRVPresetBarEditor::kBrowserColor, under)));

  ClickBank(2);
  QRVPresetColumns* list = browser().presetList();
  ASSERT_EQ(list->entryCount(), 2);
  // The long name: its head, "..." and its last nine characters, within the cell less its insets.
  const std::string shown = list->shownText(0);
  EXPECT_EQ(shown.substr(shown.size() - 12), "..." + std::string(9, 'a'));
  EXPECT_LE(presetbar::ShortenTextWidth(shown), list->cellWidth() - 2 * QRVPresetCustomMenu::kTextInset);

  ClickEntry(list, 1);
  headless().render();
  // The selected cell is filled (its right end holds no text); the hovered one is outlined.
  const QRVRect selected = list->cellRect(1);
  const QRVPoint fill = Window(QRVPoint{list->listArea().right - 2, Centre(selected).y});
  const tk::Color sel = headless().pixel(static_cast<int>(fill.x), static_cast<int>(fill.y));
  EXPECT_TRUE(Near(sel, Over(Quarrytone::PresetBrowserColors::kSelectedCell, QRVColor{0, 0, 0, 255})));
  const QRVRect other = list->cellRect(0);
  const QRVPoint edge = Window(QRVPoint{other.left, Centre(other).y});
  const tk::Color before = headless().pixel(static_cast<int>(edge.x), static_cast<int>(edge.y));
  Move(Window(Centre(other)));
  EXPECT_EQ(list->hovered(), 0);
  headless().render();
  const tk::Color hovered = headless().pixel(static_cast<int>(edge.x), static_cast<int>(edge.y));
  EXPECT_TRUE(Near(hovered, Over(Quarrytone::PresetBrowserColors::kHoverOutline, QRVColor{before.r, before.g, before.b, 255})));
  // The user bank's text colour differs from the factory banks'.
  EXPECT_NE(Quarrytone::PresetBrowserColors::kUserText.red, Quarrytone::PresetBrowserColors::kFactoryText.red);
}

}  // namespace
}  // namespace qrv::test
