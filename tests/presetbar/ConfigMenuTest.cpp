// The configuration menu in the editor window, opened from the bar's configuration button and driven
// through the frame's event dispatch, with the settings store on a temporary file and a shell and
// message box that record what they are asked.
#include <gtest/gtest.h>

#include <regex>

#include "gui/presetbar/PresetConfigMenu.h"
#include "tests/presetbar/BarEditorFixture.h"
#include "tests/presetbar/BarHarness.h"

namespace qrv::test {
namespace {

using Quarrytone::PresetBarConfigMenu;

// Answers every open with a set result.
class AnsweringShell final : public platform::Shell {
 public:
  int Open(const std::string& target) override {
    opened.push_back(target);
    return result;
  }
  int result = platform::kShellOpenOk;
  std::vector<std::string> opened;
};

class ConfigMenuTest : public BarEditorFixture {
 protected:
  ConfigMenuTest() {
    platform::Services s;
    s.shell = &answering;
    shellOverride.emplace(s);
  }
  void SetUp() override { Open(); }

  PresetBarConfigMenu& config(BarInstance& instance) {
    return *static_cast<PresetBarConfigMenu*>(instance.bar().configContent());
  }
  PresetBarConfigMenu& config() { return config(one()); }
  void OpenConfig() {
    Click(bar().configButton());
    ASSERT_TRUE(bar().configOpen());
  }
  static QRVPoint Window(QRVPoint p) { return QRVPoint{p.x, p.y + kBar}; }
  void ClickIn(QRVPoint overlay) { Click(Window(overlay)); }
  void ClickPage(int page) { ClickIn(Centre(config().pageSwitch()->segmentRect(page))); }
  void ClickHints(int choice) { ClickIn(Centre(config().hintsRow()->choiceRect(choice))); }
  void ClickManual() { ClickIn(Centre(config().manualRow()->buttonRect())); }
  bool AboutShown() {
    auto& editor = *static_cast<warmGlowEditor*>(window().productEditor());
    return window().containsContainer(editor.aboutContainer());
  }
  int HintWrites() { return registry.writes[settings::NumericValueName(settings::kSettingHints)]; }

  AnsweringShell answering;
  std::optional<platform::ScopedServices> shellOverride;
};

TEST_F(ConfigMenuTest, LayoutAtTheWindowsWidthAndTheVersionLine) {
  OpenConfig();
  EXPECT_TRUE(Shown(bar().configContainer()));
  const QRVRect full = bar().configContainer()->getViewSize();
  EXPECT_DOUBLE_EQ(full.top, 78);
  EXPECT_DOUBLE_EQ(full.bottom, 353);
  EXPECT_DOUBLE_EQ(config().pageSwitch()->getViewSize().bottom, 29);
  EXPECT_EQ(config().pageSwitch()->label(0), "Global settings");
  EXPECT_EQ(config().pageSwitch()->label(1), "Plugin info");
  EXPECT_DOUBLE_EQ(config().exitArea()->getViewSize().top, 31);
  EXPECT_DOUBLE_EQ(config().manualRow()->getViewSize().left, 0);
  EXPECT_EQ(config().manualRow()->label(), "Manual:");
  EXPECT_EQ(config().hintsRow()->label(), "Hints:");
  EXPECT_EQ(config().versionRow()->label(), "Plugin's version:");
  // A window 800 wide: the rows run from 200 to 600.
  window().resizeEditor(800, 275);
  for (QRVBaseControl* row : std::initializer_list<QRVBaseControl*>{config().manualRow(), config().hintsRow(), config().versionRow()}) {
    EXPECT_DOUBLE_EQ(row->getViewSize().left, 200);
    EXPECT_DOUBLE_EQ(row->getViewSize().right, 600);
  }
  EXPECT_DOUBLE_EQ(config().hintsRow()->getViewSize().top, 99);
  EXPECT_DOUBLE_EQ(config().versionRow()->getViewSize().bottom, 175);

  EXPECT_EQ(PresetBarConfigMenu::VersionLine("2612091105"), "2.3.0.0 (sh.8.8.10) build:2612091105aax.x64 ");
  const std::string shown = config().versionRow()->text();
  EXPECT_TRUE(std::regex_match(shown, std::regex(R"(2\.3\.0\.0 \(sh\.8\.8\.10\) build:[0-9]{10}aax\.x64 )"))) << shown;
  // The digits are a time: month 01..12, day 01..31, hour 00..23, minute 00..59.
  const std::string d(PresetBarConfigMenu::BuildDigits());
  ASSERT_EQ(d.size(), 10u);
  EXPECT_TRUE(std::regex_match(d, std::regex(R"([0-9]{2}(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])([01][0-9]|2[0-3])[0-5][0-9])")))
      << d;

  // A press on the version text or below the rows closes the overlay.
  ClickIn(Centre(config().versionRow()->getViewSize()));
  EXPECT_FALSE(bar().configOpen());
  OpenConfig();
  ClickIn(QRVPoint{20, 250});
  EXPECT_FALSE(bar().configOpen());
}

// What a binding offers of the instance's High quality, behind the window's host seam.
class HighQualityHost final : public Quarrytone::QRVEditorHost {
 public:
  void beginEdit(int) override {}
  void endEdit(int) override {}
  void setValue(int, double) override {}
  void resizeRequest(int, int) override {}
  int highQuality() override { return on ? 1 : 0; }
  void setHighQuality(bool value) override {
    on = value;
    ++switches;
  }
  bool on = false;
  int switches = 0;
};

// Without a binding that offers it (the snapshot, the AAX-style binding) the menu has no such row.
TEST_F(ConfigMenuTest, NoHighQualityRowWhereTheBindingOffersNone) {
  OpenConfig();
  EXPECT_EQ(config().highQualityRow(), nullptr);
  EXPECT_EQ(config().highQualityNote(), nullptr);
}

TEST_F(ConfigMenuTest, TheHighQualityRowSwitchesTheInstanceAndSaysWhatItCosts) {
  HighQualityHost host;
  window().close();
  first.reset();
  first.emplace();
  first->window.setHost(&host);
  ASSERT_TRUE(first->window.open(tk::PlatformType::Headless));
  OpenConfig();
  ASSERT_NE(config().highQualityRow(), nullptr);
  EXPECT_EQ(config().highQualityRow()->label(), "High quality:");
  EXPECT_EQ(config().highQualityRow()->choice(0), "Off");
  EXPECT_EQ(config().highQualityRow()->choice(1), "On");
  EXPECT_EQ(config().highQualityNote()->text(), "about 2.1x CPU in mono, 2.7x in stereo, 61 samples of latency");
  // Below the version line, inside the overlay.
  EXPECT_GE(config().highQualityRow()->getViewSize().top, config().versionRow()->getViewSize().bottom);
  EXPECT_LE(config().highQualityNote()->getViewSize().bottom, 275);
  EXPECT_EQ(config().highQualityRow()->getValue(), 0.0);

  ClickIn(Centre(config().highQualityRow()->choiceRect(1)));
  EXPECT_TRUE(host.on);
  EXPECT_EQ(host.switches, 1);
  EXPECT_EQ(config().highQualityRow()->getValue(), 1.0);
  EXPECT_TRUE(bar().configOpen());
  // Switched elsewhere (the host's own control): the row follows at the next tick.
  host.on = false;
  Tick();
  EXPECT_EQ(config().highQualityRow()->getValue(), 0.0);
  EXPECT_EQ(host.switches, 1);
  // A press on the note closes the overlay, as below the rows.
  ClickIn(Centre(config().highQualityNote()->getViewSize()));
  EXPECT_FALSE(bar().configOpen());
  EXPECT_FALSE(host.on);
  first->window.close();
}

TEST_F(ConfigMenuTest, TheHintsSwitchReachesTheStoreAndEveryOpenEditorAtOnce) {
  second.emplace();
  ASSERT_TRUE(second->window.open(tk::PlatformType::Headless));
  OpenConfig();
  EXPECT_NEAR(config().hintsRow()->getValue(), 1.0, 1e-9);
  const int writes = HintWrites();
  ClickHints(0);
  EXPECT_EQ(settings::ProcessHints(), 0);
  EXPECT_EQ(window().hintsCopy(), 0);
  // Stored now, not when the instance closes.
  EXPECT_EQ(HintWrites(), writes + 1);
  double stored = -1;
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingHints, stored));
  EXPECT_EQ(stored, 0.0);
  // The other window follows at its next tick, and its menu shows the choice.
  Tick();
  EXPECT_EQ(second->window.hintsCopy(), 0);
  EXPECT_NEAR(config(*second).hintsRow()->getValue(), 0.0, 1e-9);

  ClickHints(1);
  EXPECT_EQ(settings::ProcessHints(), 1);
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingHints, stored));
  EXPECT_EQ(stored, 1.0);
  // A host's restart reads the stored choice.
  ClickHints(0);
  settings::SetProcessHints(1);
  settings::LoadProcessSettings();
  EXPECT_EQ(settings::ProcessHints(), 0);
}

// The choice is stored when it changes; closing an instance writes nothing, not even a flag that
// differs from the store (this process's copy may be the stale one).
TEST_F(ConfigMenuTest, ClosingAnInstanceWritesNoHints) {
  OpenConfig();
  ClickHints(0);
  const int stored = HintWrites();
  first.reset();
  EXPECT_EQ(HintWrites(), stored);
  Open();
  settings::SetProcessHints(1);
  first.reset();
  EXPECT_EQ(HintWrites(), stored);
  double value = -1;
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingHints, value));
  EXPECT_EQ(value, 0.0);
}

TEST_F(ConfigMenuTest, ManualMessagesNameThePathTried) {
  OpenConfig();
  // No path stored and none recorded beside this program: the message, and the shell is not asked.
  ClickManual();
  EXPECT_TRUE(answering.opened.empty());
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(messageBox.shown[0],
            std::make_pair(std::string("Could not open user manual\n"
                                       "No manual path is set, and none was recorded at installation"),
                           std::string()));

  const std::string manual = "/home/u/.local/share/doc/qrv-warmglow/index.html";
  ASSERT_TRUE(platform::GetRegistry().Write(settings::kPresetKey, settings::kManualPathValue,
                                             platform::RegistryValue::String(manual)));
  answering.result = platform::kShellNoAssociation;
  ClickManual();
  ASSERT_EQ(answering.opened.size(), 1u);
  EXPECT_EQ(answering.opened[0], manual);
  ASSERT_EQ(messageBox.shown.size(), 2u);
  // The manual is a web page: no document reader is asked for.
  EXPECT_EQ(messageBox.shown[1], std::make_pair("Make sure a web browser is installed\n" + manual,
                                                std::string("Could not open manual file")));
  for (int failure : {platform::kShellFileNotFound, platform::kShellOpenFailed, 32}) {
    answering.result = failure;
    ClickManual();
    EXPECT_EQ(messageBox.shown.back(), std::make_pair("Could not open user manual\n" + manual, std::string()))
        << failure;
  }
  const std::size_t shown = messageBox.shown.size();
  answering.result = platform::kShellOpenOk;
  ClickManual();
  EXPECT_EQ(answering.opened.back(), manual);
  EXPECT_EQ(messageBox.shown.size(), shown);
  EXPECT_TRUE(bar().configOpen());
}

TEST_F(ConfigMenuTest, PluginInfoUncoversTheAboutBoxAndComesBack) {
  OpenConfig();
  ClickPage(1);
  EXPECT_EQ(config().page(), 1);
  EXPECT_TRUE(bar().configOpen());
  EXPECT_TRUE(AboutShown());
  const QRVRect strip = bar().configContainer()->getViewSize();
  EXPECT_DOUBLE_EQ(strip.top, 78);
  EXPECT_DOUBLE_EQ(strip.bottom, 78 + 29);
  EXPECT_NEAR(config().pageSwitch()->getValue(), 1.0, 1e-9);

  ClickPage(0);
  EXPECT_EQ(config().page(), 0);
  EXPECT_TRUE(bar().configOpen());
  EXPECT_FALSE(AboutShown());
  EXPECT_DOUBLE_EQ(bar().configContainer()->getViewSize().bottom, 353);

  // Closed while "Plugin info" shows: the about box goes, and the menu reopens on "Global settings".
  ClickPage(1);
  Click(bar().configButton());
  EXPECT_FALSE(bar().configOpen());
  EXPECT_FALSE(AboutShown());
  OpenConfig();
  EXPECT_EQ(config().page(), 0);
  EXPECT_DOUBLE_EQ(bar().configContainer()->getViewSize().bottom, 353);
  EXPECT_NEAR(config().pageSwitch()->getValue(), 0.0, 1e-9);
  // The about box's own 94 (a click on it, echoed by the host) closes the menu: nothing asked to stay.
  window().valueChangedByController(94, 1.0);
  EXPECT_FALSE(bar().configOpen());
}

TEST_F(ConfigMenuTest, PixelsOfTheOverlayAndThePageStrip) {
  headless().render();
  const QRVPoint empty = Window(QRVPoint{20, 250});
  const tk::Color panel = headless().pixel(static_cast<int>(empty.x), static_cast<int>(empty.y));
  OpenConfig();
  headless().render();
  const tk::Color covered = headless().pixel(static_cast<int>(empty.x), static_cast<int>(empty.y));
  EXPECT_TRUE(Near(covered, Over(Quarrytone::QRVPresetBarEditor::kConfigColor, QRVColor{panel.r, panel.g, panel.b, 255})));

  // "Plugin info": below the strip the about box shows as it does without the menu; in the strip's
  // margin the menu's colour lies over it.
  ClickPage(1);
  headless().render();
  const QRVPoint below = Window(QRVPoint{200, 120}), margin = Window(QRVPoint{1, 15});
  const tk::Color withMenuBelow = headless().pixel(static_cast<int>(below.x), static_cast<int>(below.y));
  const tk::Color withMenuMargin = headless().pixel(static_cast<int>(margin.x), static_cast<int>(margin.y));
  window().removeOverlay(bar().configContainer());
  headless().render();
  const tk::Color aboutBelow = headless().pixel(static_cast<int>(below.x), static_cast<int>(below.y));
  const tk::Color aboutMargin = headless().pixel(static_cast<int>(margin.x), static_cast<int>(margin.y));
  window().addOverlay(bar().configContainer());
  headless().render();
  EXPECT_TRUE(Near(withMenuBelow, aboutBelow));
  EXPECT_TRUE(Near(withMenuMargin, Over(Quarrytone::QRVPresetBarEditor::kConfigColor,
                                        QRVColor{aboutMargin.r, aboutMargin.g, aboutMargin.b, 255})));
  // The selected page's segment is drawn in the selected colour.
  const QRVRect seg = config().pageSwitch()->segmentRect(1);
  const QRVPoint inSeg = Window(QRVPoint{seg.left + 2, seg.top + 2});
  EXPECT_TRUE(Near(headless().pixel(static_cast<int>(inSeg.x), static_cast<int>(inSeg.y)),
                   Over(Quarrytone::PresetBrowserColors::kSegmentSelected, QRVColor{0, 0, 0, 255})));
}

}  // namespace
}  // namespace qrv::test
