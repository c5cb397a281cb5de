// The preset-bar controls in a bar across the top of a headless editor window, driven through
// the frame's own event dispatch, with the editor's idle ticks given by hand.
#include <gtest/gtest.h>

#include <string>

#include "gui/engine/EditorLayout.h"
#include "platform/Utf8.h"
#include "tests/presetbar/BarHarness.h"

namespace qrv::test {
namespace {

QRVPoint Centre(const QRVRect& r) { return QRVPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// The bar's rectangles at zoom 1 for a panel-wide bar.
namespace bar = Quarrytone::layout::bar;
constexpr QRVRect kZoomRect = bar::kZoom;
constexpr QRVRect kNudgeRect = bar::kNudge;
constexpr QRVRect kNameRect = bar::kName;
constexpr QRVRect kConfigRect = bar::Config(Quarrytone::layout::kPanelWidth);
constexpr QRVRect kSaveRect = bar::kSave;
constexpr QRVRect kCopyRect = bar::kCopy;
constexpr QRVRect kABRect = bar::kAB;
constexpr QRVRect kUndoRect = bar::kUndoRedo;
// In the favourites strip, centred in the bar's bottom strip.
const QRVRect kDefaultRect = bar::InBar(bar::kUserDefault, Quarrytone::layout::kPanelWidth);
const QRVRect kAssignRect = bar::InBar(bar::kAssign, Quarrytone::layout::kPanelWidth);

PresetBarLabelOnOffButton* AddFavouriteStyle(BarHarness& h, const QRVRect& r, int tag, const char* label, int kind) {
  auto* b = h.add(new PresetBarLabelOnOffButton(r, tag, label, kind));
  b->setBackColor(kBarGrey);
  b->setFullWidthHover();
  b->momentary_ = true;
  b->shiftHalves_ = true;
  return b;
}

PresetBarLabelOnOffButton* AddAssign(BarHarness& h) {
  auto* b = h.add(new PresetBarLabelOnOffButton(kAssignRect, 96, "Assign", PresetBarLabelOnOffButton::kIconTarget));
  b->onColor_.set(QRVColor{205, 138, 138, 255});
  b->autoOffDelay_ = 333;
  b->setFullWidthHover();
  return b;
}

// ---------------------------------------------------------------- label, kick, on/off

TEST(PresetBarButtons, LabelAndKickButtonsAlternateTheirReports) {
  BarHarness h;
  auto* copy = h.add(new PresetBarLabelButton(kCopyRect, 49, "Copy"));
  auto* save = h.add(new PresetBarLabelKickButton(kSaveRect, 36, "Save"));
  h.clickAt(Centre(kCopyRect));
  h.clickAt(Centre(kCopyRect));
  EXPECT_EQ(h.reports(49), (std::vector<double>{1.0, 0.0}));
  h.moveAt(Centre(kSaveRect));
  h.clickAt(Centre(kSaveRect));
  h.clickAt(Centre(kSaveRect));
  EXPECT_EQ(h.reports(36), (std::vector<double>{1.0, 0.0}));
  // The kick button drops its look at once; the label button keeps it for the release ticks.
  EXPECT_FALSE(save->isPressed());
  EXPECT_FALSE(save->isMouseInside());
  EXPECT_EQ(save->getReleaseCountdown(), 0);
  EXPECT_EQ(copy->getReleaseCountdown(), PresetBarBasicControl::kReleaseTicks);
  // A right click reports nothing.
  h.clickAt(Centre(kCopyRect), kQRVRButton);
  EXPECT_EQ(h.reports(49).size(), 2u);
}

TEST(PresetBarButtons, TheHoverAndPressLookEndsOnTheThirtiethTick) {
  BarHarness h;
  auto* copy = h.add(new PresetBarLabelButton(kCopyRect, 49, "Copy"));
  h.moveAt(Centre(kCopyRect));
  EXPECT_TRUE(copy->isMouseInside());
  EXPECT_EQ(copy->getReleaseCountdown(), 0);
  // Resting over the control keeps the hover look.
  BarHarness::tick({copy}, 100);
  EXPECT_TRUE(copy->isMouseInside());

  // A press that sees no further event (an overlay opens over the control, say).
  h.pressAt(Centre(kCopyRect));
  EXPECT_TRUE(copy->isPressed());
  BarHarness::tick({copy}, 29);
  EXPECT_TRUE(copy->isPressed());
  EXPECT_TRUE(copy->isMouseInside());
  BarHarness::tick({copy});
  EXPECT_FALSE(copy->isPressed());
  EXPECT_FALSE(copy->isMouseInside());
  EXPECT_EQ(copy->getReleaseCountdown(), 0);
  h.releaseAt(Centre(kCopyRect));

  // Leaving ends the look at once and starts the countdown, which then runs out quietly.
  h.moveAt(Centre(kCopyRect));
  h.moveAt(QRVPoint{200, 200});
  EXPECT_FALSE(copy->isMouseInside());
  EXPECT_EQ(copy->getReleaseCountdown(), PresetBarBasicControl::kReleaseTicks);
  BarHarness::tick({copy}, 30);
  EXPECT_EQ(copy->getReleaseCountdown(), 0);
}

TEST(PresetBarButtons, AssignSwitchesItselfOffOnThe334thTickAfterAClickOnly) {
  BarHarness h;
  auto* assign = AddAssign(h);
  h.clickAt(Centre(kAssignRect));
  EXPECT_EQ(h.reports(96), (std::vector<double>{1.0}));
  EXPECT_DOUBLE_EQ(assign->getValue(), 1.0);
  BarHarness::tick({assign}, 333);
  EXPECT_DOUBLE_EQ(assign->getValue(), 1.0);
  BarHarness::tick({assign});
  EXPECT_DOUBLE_EQ(assign->getValue(), 0.0);
  // Not reported: the owner reads the value.
  EXPECT_EQ(h.reports(96).size(), 1u);

  // Switched on by the owner, it stays on.
  assign->setValue(1.0);
  BarHarness::tick({assign}, 1000);
  EXPECT_DOUBLE_EQ(assign->getValue(), 1.0);
  // A click switches it off and reports 0; the owner switching it off stops a running countdown.
  h.clickAt(Centre(kAssignRect));
  EXPECT_EQ(h.reports(96).back(), 0.0);
  h.clickAt(Centre(kAssignRect));
  assign->setValue(0.0);
  assign->setValue(1.0);
  BarHarness::tick({assign}, 1000);
  EXPECT_DOUBLE_EQ(assign->getValue(), 1.0);

  // With the report flag set, the auto-off is reported.
  assign->reportAutoOff_ = true;
  assign->autoOffDelay_ = 100;
  assign->setValue(0.0);
  h.clickAt(Centre(kAssignRect));
  BarHarness::tick({assign}, 100);
  EXPECT_DOUBLE_EQ(assign->getValue(), 1.0);
  std::size_t before = h.reports(96).size();
  BarHarness::tick({assign});
  ASSERT_EQ(h.reports(96).size(), before + 1);
  EXPECT_EQ(h.reports(96).back(), 0.0);
}

TEST(PresetBarButtons, MomentaryButtonsReportOneOrAHalfWithShift) {
  BarHarness h;
  auto* def = AddFavouriteStyle(h, kDefaultRect, 95, "D", PresetBarLabelOnOffButton::kIconStarOutline);
  h.clickAt(Centre(kDefaultRect));
  h.clickAt(Centre(kDefaultRect), kQRVLButton | kQRVShift);
  EXPECT_EQ(h.reports(95), (std::vector<double>{1.0, 0.5}));
  EXPECT_DOUBLE_EQ(def->getValue(), 0.0);
  EXPECT_FALSE(def->isPressed());
  // Without the Shift-halves flag, Shift changes nothing.
  def->shiftHalves_ = false;
  h.clickAt(Centre(kDefaultRect), kQRVLButton | kQRVShift);
  EXPECT_EQ(h.reports(95).back(), 1.0);
}

// ---------------------------------------------------------------- arrows

TEST(PresetBarArrows, OnlyAPressOnAnArrowIsReported) {
  BarHarness h;
  auto* nudge = h.add(new PresetBarNudgeControl(kNudgeRect, 32));
  auto* undo = h.add(new PresetBarUndoRedoControl(kUndoRect, 81));
  // Nudge arrows: 20 x 20 each side of the centre (92, 13).
  h.clickAt(QRVPoint{80, 13});
  h.clickAt(QRVPoint{104, 13});
  h.clickAt(QRVPoint{66, 13});   // left of the left arrow
  h.clickAt(QRVPoint{92, 0});    // above the arrows
  h.clickAt(QRVPoint{118, 13});  // right of the right arrow
  EXPECT_EQ(h.reports(32), (std::vector<double>{0.0, 1.0}));
  EXPECT_DOUBLE_EQ(nudge->getValue(), 1.0);
  // A double click steps too.
  h.pressAt(QRVPoint{80, 13}, kQRVLButton | kQRVDoubleClick);
  EXPECT_EQ(h.reports(32).back(), 0.0);
  EXPECT_TRUE(nudge->leftPressed_);
  h.releaseAt(QRVPoint{80, 13});
  EXPECT_FALSE(nudge->leftPressed_);

  // Undo/redo: the halves with a two-point gap in the middle (339..341).
  h.clickAt(QRVPoint{320, 39});
  h.clickAt(QRVPoint{360, 39});
  h.clickAt(QRVPoint{340, 39});
  EXPECT_EQ(h.reports(81), (std::vector<double>{0.0, 1.0}));
  EXPECT_DOUBLE_EQ(undo->getValue(), 1.0);
}

TEST(PresetBarArrows, HoverMarksTheArrowUnderThePointerUntilTheLookEnds) {
  BarHarness h;
  auto* nudge = h.add(new PresetBarNudgeControl(kNudgeRect, 32));
  h.moveAt(QRVPoint{80, 13});
  EXPECT_TRUE(nudge->leftHover_);
  EXPECT_FALSE(nudge->rightHover_);
  h.moveAt(QRVPoint{104, 13});
  EXPECT_FALSE(nudge->leftHover_);
  EXPECT_TRUE(nudge->rightHover_);
  h.pressAt(QRVPoint{104, 13});
  EXPECT_TRUE(nudge->rightPressed_);
  BarHarness::tick({nudge}, 30);
  EXPECT_FALSE(nudge->rightPressed_);
  EXPECT_FALSE(nudge->rightHover_);
  EXPECT_FALSE(nudge->isMouseInside());
  h.releaseAt(QRVPoint{104, 13});
  h.moveAt(QRVPoint{200, 200});
  EXPECT_FALSE(nudge->rightHover_);
  EXPECT_EQ(nudge->getReleaseCountdown(), PresetBarBasicControl::kReleaseTicks);
}

// ---------------------------------------------------------------- A/B, configuration

TEST(PresetBarSwitches, ABTogglesAndTheConfigurationButtonReportsItsValue) {
  BarHarness h;
  auto* ab = h.add(new ABCompPresetBarControl(kABRect, 82));
  auto* config = h.add(new PresetBarConfigMenuButton(kConfigRect, 63));
  h.clickAt(Centre(kABRect));
  h.clickAt(Centre(kABRect));
  h.clickAt(Centre(kABRect), kQRVRButton);
  EXPECT_EQ(h.reports(82), (std::vector<double>{1.0, 0.0}));
  EXPECT_DOUBLE_EQ(ab->getValue(), 0.0);

  // The owner shows the menu's state; a click reports that state unchanged.
  h.clickAt(Centre(kConfigRect));
  config->setValue(1.0);
  h.clickAt(Centre(kConfigRect));
  h.clickAt(Centre(kConfigRect), kQRVRButton);
  EXPECT_EQ(h.reports(63), (std::vector<double>{0.0, 1.0}));
  EXPECT_FALSE(config->isPressed());
}

// ---------------------------------------------------------------- zoom percentage and menu

struct ZoomBar : BarHarness {
  ZoomBar() {
    zoom = add(new PresetBarScaleMenuButton(kZoomRect, 60));
    below = add(new PresetBarLabelButton(kCopyRect, 49, "Copy"));
  }
  QRVCustomizableOptionMenu* list() { return zoom->getMenuHandler()->getMenu(); }
  // The window point of an entry's centre while the list is open.
  QRVPoint entry(int index) {
    QRVRect p = zoom->getMenuHandler()->getPopupRect();
    const QRVRect& e = list()->getEntry(index)->rect;
    return QRVPoint{p.left + (e.left + e.right) / 2, p.top + (e.top + e.bottom) / 2};
  }
  void open() {
    clickAt(Centre(kZoomRect));
    ASSERT_TRUE(zoom->getMenuHandler()->isOpen());
  }
  PresetBarScaleMenuButton* zoom;
  PresetBarLabelButton* below;
};

TEST(PresetBarZoom, TheWheelStepsFivePercentWithinTheZoomRange) {
  BarHarness h;
  auto* zoom = h.add(new PresetBarScaleMenuButton(kZoomRect, 60));
  zoom->setZoomFactor(0.7);
  h.wheelAt(Centre(kZoomRect), -1.0f);
  EXPECT_DOUBLE_EQ(zoom->getZoomFactor(), 0.7);
  zoom->setZoomFactor(3.98);
  h.wheelAt(Centre(kZoomRect), 1.0f);
  EXPECT_DOUBLE_EQ(zoom->getZoomFactor(), 4.0);
  EXPECT_TRUE(zoom->isDirectChange());
  zoom->setZoomFactor(1.0);
  EXPECT_FALSE(zoom->isDirectChange());
  h.wheelAt(Centre(kZoomRect), 1.0f, kQRVShift);
  EXPECT_NEAR(zoom->getZoomFactor(), 1.01, 1e-12);
  h.wheelAt(Centre(kZoomRect), -3.0f);
  EXPECT_NEAR(zoom->getZoomFactor(), 0.96, 1e-12);
  EXPECT_EQ(h.reports(60).size(), 4u);
  // The label follows only when the owner sets the zoom.
  EXPECT_STREQ(zoom->getLabel(), "100%");
  zoom->setZoomFactor(zoom->getZoomFactor());
  EXPECT_STREQ(zoom->getLabel(), "96%");
}

TEST(PresetBarZoom, ControlAltOrADoubleClickResetsToOneHundredPercentWithoutTheMenu) {
  ZoomBar h;
  for (int modifier : {kQRVControl, kQRVAlt, kQRVDoubleClick}) {
    h.zoom->setZoomFactor(2.0);
    std::size_t before = h.reports(60).size();
    EXPECT_EQ(h.zoom->onMouseDown(QRVPoint{30, 13}, kQRVLButton | modifier), 4);
    EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 1.0);
    EXPECT_TRUE(h.zoom->isDirectChange());
    EXPECT_EQ(h.reports(60).size(), before + 1);
    h.pressAt(Centre(kZoomRect), kQRVLButton | modifier);
    EXPECT_FALSE(h.zoom->getMenuHandler()->isOpen());
    EXPECT_DOUBLE_EQ(h.zoom->getValue(), 0.0);
  }
  // The second press of a double click lands on the open list's catchers, which cover the bar:
  // it still resets the zoom and closes the list.
  h.zoom->setZoomFactor(2.0);
  h.open();
  std::size_t before = h.reports(60).size();
  h.clickAt(Centre(kZoomRect), kQRVLButton | kQRVDoubleClick);
  EXPECT_FALSE(h.zoom->getMenuHandler()->isOpen());
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 1.0);
  EXPECT_DOUBLE_EQ(h.zoom->getValue(), 0.0);
  EXPECT_GT(h.reports(60).size(), before);
  // A modified click elsewhere is only a click outside.
  h.zoom->setZoomFactor(2.0);
  h.open();
  h.clickAt(QRVPoint{200, 200}, kQRVLButton | kQRVControl);
  EXPECT_FALSE(h.zoom->getMenuHandler()->isOpen());
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 2.0);
}

TEST(PresetBarZoom, TheListOpensAboveThePanelAndAPickSetsTheZoom) {
  ZoomBar h;
  h.open();
  // Placed by the bar's geometry: top left at window (1, 54), 120 x 228, in the bar's rows.
  QRVRect p = h.zoom->getMenuHandler()->getPopupRect();
  EXPECT_DOUBLE_EQ(p.left, 1);
  EXPECT_DOUBLE_EQ(p.top, 54);
  EXPECT_DOUBLE_EQ(p.getWidth(), 120);
  EXPECT_DOUBLE_EQ(p.getHeight(), 228);
  EXPECT_LT(p.top, GuiHarness::kBarHeight);
  EXPECT_DOUBLE_EQ(h.zoom->getValue(), 1.0);
  ASSERT_EQ(h.list()->getEntryCount(), 11);
  EXPECT_STREQ(h.list()->getEntry(3)->title, "125%");

  // The first row lies over the bar, where the panel's container could not show or take it.
  QRVPoint first = h.entry(0);
  EXPECT_LT(first.y, GuiHarness::kBarHeight);
  std::size_t before = h.reports(60).size();
  h.clickAt(h.entry(3));
  EXPECT_FALSE(h.zoom->getMenuHandler()->isOpen());
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 1.25);
  EXPECT_STREQ(h.zoom->getLabel(), "125%");
  EXPECT_DOUBLE_EQ(h.zoom->getValue(), 0.0);
  EXPECT_TRUE(h.zoom->isDirectChange());
  EXPECT_GT(h.reports(60).size(), before);
  EXPECT_EQ(h.list()->getSelectedIndex(), -1);

  h.open();
  h.clickAt(first);
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 0.7);
  EXPECT_STREQ(h.zoom->getLabel(), "70%");
}

TEST(PresetBarZoom, IncreaseFivePercentKeepsTheListOpen) {
  ZoomBar h;
  h.open();
  h.clickAt(h.entry(8));
  EXPECT_STREQ(h.list()->getEntry(8)->title, "Increase 5%");
  EXPECT_TRUE(h.zoom->getMenuHandler()->isOpen());
  EXPECT_DOUBLE_EQ(h.zoom->getValue(), 1.0);
  EXPECT_NEAR(h.zoom->getZoomFactor(), 1.05, 1e-12);
  EXPECT_STREQ(h.zoom->getLabel(), "105%");
  h.clickAt(h.entry(8));
  EXPECT_STREQ(h.zoom->getLabel(), "110%");
  h.clickAt(h.entry(9));
  h.clickAt(h.entry(9));
  EXPECT_STREQ(h.zoom->getLabel(), "100%");
  EXPECT_TRUE(h.zoom->getMenuHandler()->isOpen());
  // "Close" only closes.
  h.clickAt(h.entry(10));
  EXPECT_FALSE(h.zoom->getMenuHandler()->isOpen());
  EXPECT_DOUBLE_EQ(h.zoom->getValue(), 0.0);
  EXPECT_NEAR(h.zoom->getZoomFactor(), 1.0, 1e-12);
}

TEST(PresetBarZoom, AClickOutsideTheListClosesItAndReachesNothingBelow) {
  ZoomBar h;
  h.zoom->setZoomFactor(1.5);
  const QRVPoint outside[] = {
      {3, 56},                  // the list's margin
      {300, 200},               // a catcher over the panel
      Centre(kCopyRect),        // a control in the bar
      Centre(kZoomRect),        // the zoom button itself
  };
  for (const QRVPoint& at : outside) {
    h.open();
    h.clickAt(at);
    EXPECT_FALSE(h.zoom->getMenuHandler()->isOpen()) << at.x << ", " << at.y;
    EXPECT_DOUBLE_EQ(h.zoom->getValue(), 0.0);
    EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 1.5);
  }
  EXPECT_TRUE(h.reports(49).empty());
  // Escape closes it too.
  h.open();
  h.key(tk::VirtualKey::Escape);
  EXPECT_FALSE(h.zoom->getMenuHandler()->isOpen());
  EXPECT_DOUBLE_EQ(h.zoom->getValue(), 0.0);
}

TEST(PresetBarZoom, AChosenPercentageFitsTheScreenAndStaysInTheZoomRange) {
  ZoomBar h;
  // 800 x 600: 250 % of a 400 x 275 editor and its bar does not fit; 125 % is the largest whole
  // percentage that does ((600 - 60) / (275 + 154) = 1.2587).
  h.headless->setScreenSize(800, 600);
  h.open();
  h.clickAt(h.entry(7));
  EXPECT_STREQ(h.list()->getEntry(7)->title, "250%");
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 1.25);
  // The editor's own size counts: a wider editor is limited by the screen width.
  h.zoom->setEditorSize(600, 275);
  h.open();
  h.clickAt(h.entry(7));
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 1.25);
  h.zoom->setEditorSize(700, 275);
  h.open();
  h.clickAt(h.entry(7));
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 1.14);
  // A screen too small even for 70 % still gives 70 %, the smallest zoom the window takes.
  h.zoom->setEditorSize(Quarrytone::layout::kPanelWidth, Quarrytone::layout::kPanelHeight);
  h.headless->setScreenSize(300, 300);
  h.open();
  h.clickAt(h.entry(2));
  EXPECT_DOUBLE_EQ(h.zoom->getZoomFactor(), 0.7);
  EXPECT_STREQ(h.zoom->getLabel(), "70%");
}

// ---------------------------------------------------------------- preset name

struct NameBar : BarHarness {
  NameBar() {
    name = add(new PresetBarNameControl(kNameRect, 30));
    name->setName("03: Glue Things Together");
  }
  tk::TextEdit* box() { return dynamic_cast<tk::TextEdit*>(Quarrytone::PeerView(name->getTextEdit())); }
  bool editAttached() { return name->getTextEdit()->getContainer() != nullptr; }
  PresetBarNameControl* name;
};

TEST(PresetBarName, ARightClickOpensTheEditBoxAndReturnHandsOverTheName) {
  NameBar h;
  h.name->getTextEdit()->setText("Glue Things Together");
  h.clickAt(Centre(kNameRect), kQRVRButton);
  ASSERT_TRUE(h.editAttached());
  EXPECT_TRUE(h.name->isNameEditing());
  EXPECT_EQ(h.frame->getFocusView(), h.box());
  EXPECT_TRUE(h.reports(30).empty());
  h.headless->type("Wide Bus");
  h.key(tk::VirtualKey::Return);
  // The commit is reported with the name field's tag; the owner then takes the name.
  ASSERT_EQ(h.reports(30).size(), 1u);
  const char* edited = nullptr;
  EXPECT_TRUE(h.name->takeEditedName(edited));
  ASSERT_NE(edited, nullptr);
  EXPECT_STREQ(edited, "Wide Bus");
  EXPECT_FALSE(h.name->isNameEditing());
  EXPECT_FALSE(h.editAttached());
  // A second take finds editing over.
  EXPECT_FALSE(h.name->takeEditedName(edited));

  // Clicks reach the name again: a left click toggles the preset menu.
  h.clickAt(Centre(kNameRect));
  EXPECT_EQ(h.reports(30).back(), 1.0);
  EXPECT_DOUBLE_EQ(h.name->getValue(), 1.0);
}

TEST(PresetBarName, TheEIconStartsEditingWhileTheMenuIsClosed) {
  NameBar h;
  QRVPoint icon = Centre(h.name->getIconRect());
  h.moveAt(icon);
  EXPECT_TRUE(h.name->isOverEditIcon());
  h.clickAt(icon);
  EXPECT_TRUE(h.name->isNameEditing());
  EXPECT_TRUE(h.editAttached());
  EXPECT_FALSE(h.name->isOverEditIcon());
  EXPECT_TRUE(h.reports(30).empty());
  h.key(tk::VirtualKey::Escape);

  // With the menu open, the same click ends editing instead.
  h.clickAt(Centre(kNameRect), kQRVRButton);
  ASSERT_TRUE(h.editAttached());
  h.name->setValue(1.0);
  h.clickAt(Centre(kNameRect), kQRVRButton);
  EXPECT_FALSE(h.name->isNameEditing());
  EXPECT_FALSE(h.editAttached());
  // A narrow field has no icon: the click opens the menu.
  h.name->setValue(0.0);
  h.name->setViewSize(QRVRect{128, 3, 178, 23});
  h.clickAt(QRVPoint{135, 13});
  EXPECT_FALSE(h.name->isNameEditing());
  EXPECT_EQ(h.reports(30).back(), 1.0);
}

TEST(PresetBarName, EscapeTakesTheEditBoxAwayAndReportsNothing) {
  NameBar h;
  h.name->getTextEdit()->setText("Glue");
  h.clickAt(Centre(kNameRect), kQRVRButton);
  h.headless->type("Something else");
  h.key(tk::VirtualKey::Escape);
  EXPECT_FALSE(h.name->isNameEditing());
  EXPECT_FALSE(h.editAttached());
  EXPECT_TRUE(h.reports(30).empty());
  EXPECT_STREQ(h.name->getTextEdit()->getText(), "Glue");
  // Nothing is left over the name taking clicks: the next one toggles the menu.
  h.clickAt(Centre(kNameRect));
  EXPECT_EQ(h.reports(30), (std::vector<double>{1.0}));
  const char* edited = nullptr;
  EXPECT_FALSE(h.name->takeEditedName(edited));
}

TEST(PresetBarName, LosingTheFocusCommitsAndAnEmptyNameIsNotHandedOver) {
  NameBar h;
  auto* copy = h.add(new PresetBarLabelButton(kCopyRect, 49, "Copy"));
  h.name->getTextEdit()->setText("Glue");
  h.clickAt(Centre(kNameRect), kQRVRButton);
  h.key(tk::VirtualKey::Back);
  EXPECT_EQ(h.box()->getText(), "");
  // A click elsewhere commits the empty text like Return would.
  h.clickAt(QRVPoint{200, 200});
  ASSERT_EQ(h.reports(30).size(), 1u);
  const char* edited = "unchanged";
  EXPECT_TRUE(h.name->takeEditedName(edited));
  EXPECT_EQ(edited, nullptr);
  EXPECT_FALSE(h.editAttached());
  EXPECT_DOUBLE_EQ(copy->getValue(), 0.0);
}

TEST(PresetBarName, TheFieldTakes64CharactersCountedAsCharacters) {
  NameBar h;
  h.name->getTextEdit()->setText("");
  h.clickAt(Centre(kNameRect), kQRVRButton);
  std::string typed;
  for (int i = 0; i < 80; ++i) typed += "\xE2\x82\xAC";  // the euro sign, three bytes
  h.headless->type(typed);
  h.key(tk::VirtualKey::Return);
  const char* edited = nullptr;
  ASSERT_TRUE(h.name->takeEditedName(edited));
  ASSERT_NE(edited, nullptr);
  EXPECT_EQ(qrv::utf8::CountChars(edited), 64u);
  EXPECT_EQ(std::string(edited), typed.substr(0, 64 * 3));
}

TEST(PresetBarName, TheShownNameIsCutBetweenCharacters) {
  NameBar h;
  std::string name;
  for (int i = 0; i < 40; ++i) name += "\xC3\xA9";  // e with acute accent
  h.name->setName(name.c_str());
  EXPECT_EQ(std::string(h.name->getName()), name.substr(0, 62));
  h.name->setName(nullptr);
  EXPECT_STREQ(h.name->getName(), "");
}

}  // namespace
}  // namespace qrv::test
