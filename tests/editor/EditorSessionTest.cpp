// The editor session as a binding drives it, on the headless frame: the real window with the real preset
// bar over a real PresetManager, a host stand-in behind the session's seam that records what it hears,
// and a preset side that sends its values to the session as an instance's preset state does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gui/editor/EditorSession.h"
#include "gui/presetbar/PresetConfigMenu.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "presets/IndexTable.h"
#include "tests/presetbar/BarEditorFixture.h"

namespace qrv::test {
namespace {

// The binding in small: records the session's reports.
class RecordingHost final : public Quarrytone::QRVEditorHost {
 public:
  void beginEdit(int tag) override { gestures.emplace_back('b', tag); }
  void endEdit(int tag) override { gestures.emplace_back('e', tag); }
  void setValue(int index, double value) override { values.emplace_back(index, value); }
  void resizeRequest(int width, int height) override { sizes.emplace_back(width, height); }
  int highQuality() override { return hq; }
  void setHighQuality(bool on) override {
    hq = on ? 1 : 0;
    ++hqSwitches;
  }

  int hq = -1;  // not offered unless a test does
  int hqSwitches = 0;
  std::vector<std::pair<char, int>> gestures;
  std::vector<std::pair<int, double>> values;
  std::vector<std::pair<int, int>> sizes;
};

// The preset state's controller: what the manager sets goes to the open session, as an instance's
// preset state sends it to its linked editor.
class SinkController final : public QRVMasterController {
 public:
  void SetParameter(int index, double value) override {
    if (sink != nullptr) sink->PresetValue(index, value);
  }
  int32_t WriteSetting(int index, double value) override { return settings::WriteNumber(index, value) ? 0 : -1; }
  int32_t ReadSetting(int index, double* value) override {
    return value && settings::ReadNumber(index, *value) ? 0 : -1;
  }
  bool SendMessageToProcessor(const void*, std::size_t) override { return true; }
  PresetManager* GetPresetManager() override { return manager; }
  QRVBaseParametersController* GetParametersController() override { return nullptr; }
  intptr_t ForwardToEditor(int32_t, intptr_t, void*) override { return 0; }

  PresetValueSink* sink = nullptr;
  PresetManager* manager = nullptr;
};

class EditorSessionTest : public BarEditorFixture {
 protected:
  EditorSessionTest() : manager_(&controller_) { controller_.manager = &manager_; }
  ~EditorSessionTest() override {
    controller_.sink = nullptr;
    session_.reset();
  }

  Quarrytone::EditorSession& Make() {
    session_.emplace(&CreateProductEditor, Quarrytone::PresetBarEditorFactory(), host_);
    return *session_;
  }
  // A session on the preset state, open on the headless frame.
  Quarrytone::EditorSession& OpenSession() {
    Make();
    controller_.sink = &*session_;
    session_->AttachPresets(&manager_);
    EXPECT_TRUE(session_->Open(0, tk::PlatformType::Headless));
    return *session_;
  }
  Quarrytone::QRVPresetBarEditor& Bar() {
    return *static_cast<Quarrytone::QRVPresetBarEditor*>(session_->window().presetBar());
  }
  tk::HeadlessPlatformFrame& Frame() { return *tk::Headless(session_->window().frame()); }
  QRVAnimKnob* Knob(unsigned slot) {
    return static_cast<warmGlowEditor*>(session_->window().productEditor())->knob(static_cast<int>(slot));
  }
  std::string Label() { return Bar().nameControl()->getName(); }
  // Input at window layout points.
  tk::Point At(QRVPoint p) {
    const double z = session_->window().effectiveZoom();
    return tk::Point{p.x * z, p.y * z};
  }
  void ClickAt(QRVPoint p) {
    Frame().mouseMove(At(p), 0);
    Frame().mouseDown(At(p), kQRVLButton);
    Frame().mouseUp(At(p), kQRVLButton);
  }
  // A drag up on a panel control by points.
  void DragUp(QRVBaseControl* control, double by) {
    const QRVRect r = control->getViewSize();
    const QRVPoint c{(r.left + r.right) / 2, (r.top + r.bottom) / 2 + kBar};
    Frame().mouseDown(At(c), kQRVLButton);
    Frame().mouseMove(At(QRVPoint{c.x, c.y - by}), kQRVLButton);
    Frame().mouseUp(At(QRVPoint{c.x, c.y - by}), kQRVLButton);
  }

  RecordingHost host_;
  SinkController controller_;
  PresetManager manager_;
  std::optional<Quarrytone::EditorSession> session_;
};

Quarrytone::PresetBarConfigMenu& ConfigOf(Quarrytone::QRVPresetBarEditor& bar) {
  return *static_cast<Quarrytone::PresetBarConfigMenu*>(bar.configContent());
}

// The configuration's High quality row is the binding's: shown where its host offers the switch, and a
// choice there reaches the host through the session.
TEST_F(EditorSessionTest, HighQualityInTheConfigurationReachesTheBindingsHost) {
  OpenSession();
  EXPECT_EQ(ConfigOf(Bar()).highQualityRow(), nullptr);
  session_->Close();
  host_.hq = 0;
  ASSERT_TRUE(session_->Open(0, tk::PlatformType::Headless));
  ASSERT_NE(ConfigOf(Bar()).highQualityRow(), nullptr);
  EXPECT_EQ(ConfigOf(Bar()).highQualityRow()->getValue(), 0.0);
  Bar().controlEvent(kTagConfigHighQuality, 1.0);
  EXPECT_EQ(host_.hq, 1);
  EXPECT_EQ(host_.hqSwitches, 1);
  EXPECT_EQ(ConfigOf(Bar()).highQualityRow()->getValue(), 1.0);
  Bar().controlEvent(kTagConfigHighQuality, 0.0);
  EXPECT_EQ(host_.hq, 0);
  EXPECT_EQ(host_.hqSwitches, 2);
  // No preset value or edit goes to the host for it: it is no parameter of the preset.
  EXPECT_TRUE(host_.values.empty());
}

TEST_F(EditorSessionTest, AnEditReachesTheHostThePresetManagerAndTheBar) {
  OpenSession();
  manager_.LoadFactoryPreset(0);
  host_.values.clear();
  ASSERT_EQ(Label().find('*'), std::string::npos) << Label();
  QRVAnimKnob* time = Knob(kSlotTime);
  ASSERT_NE(time, nullptr);
  DragUp(time, 40);

  ASSERT_GE(host_.gestures.size(), 2u);
  EXPECT_EQ(host_.gestures.front(), std::make_pair('b', static_cast<int>(kSlotTime)));
  EXPECT_EQ(host_.gestures.back(), std::make_pair('e', static_cast<int>(kSlotTime)));
  ASSERT_FALSE(host_.values.empty());
  for (const auto& [index, value] : host_.values) EXPECT_EQ(index, static_cast<int>(kSlotTime));
  const double sent = host_.values.back().second;
  EXPECT_DOUBLE_EQ(time->getValue(), sent);
  // The preset state took the edit, and the bar marks the preset modified.
  EXPECT_FLOAT_EQ(manager_.current().values[kSlotTime], static_cast<float>(sent));
  EXPECT_TRUE(manager_.modified());
  EXPECT_NE(Label().find('*'), std::string::npos) << Label();
}

TEST_F(EditorSessionTest, AHostValueMovesTheControlAndThePresetStateWithoutEchoingToTheHost) {
  OpenSession();
  manager_.LoadFactoryPreset(0);
  host_.values.clear();
  host_.gestures.clear();
  const double before = manager_.current().values[kSlotCompression];
  const double value = before < 0.5 ? 0.75 : 0.25;

  session_->HostValue(static_cast<int>(kSlotCompression), value);
  EXPECT_DOUBLE_EQ(Knob(kSlotCompression)->getValue(), value);
  EXPECT_FLOAT_EQ(manager_.current().values[kSlotCompression], static_cast<float>(value));
  EXPECT_TRUE(manager_.modified());
  EXPECT_TRUE(host_.values.empty());
  EXPECT_TRUE(host_.gestures.empty());
  // As an external edit it can be undone.
  manager_.Undo();
  EXPECT_FLOAT_EQ(manager_.current().values[kSlotCompression], static_cast<float>(before));
}

TEST_F(EditorSessionTest, AValueThePresetStateSetsReachesTheHostAndThePanel) {
  OpenSession();
  host_.values.clear();
  // A factory preset's load: its control values go to the host and the panel shows them.
  ASSERT_TRUE(manager_.LoadFactoryPreset(3));
  std::vector<std::pair<int, double>> slots;
  for (const auto& [index, value] : host_.values) {
    EXPECT_TRUE(IsControlSlot(static_cast<unsigned>(index))) << index;
    slots.emplace_back(index, value);
  }
  ASSERT_EQ(slots.size(), kControlSlots.size());
  for (unsigned slot : kControlSlots) {
    if (slot == kSlotProcess) continue;  // the switch keeps its position, not the value
    ASSERT_NE(Knob(slot), nullptr) << slot;
    EXPECT_NEAR(Knob(slot)->getValue(), manager_.current().values[slot], 1e-6) << slot;
  }
  EXPECT_FALSE(manager_.modified());
  EXPECT_EQ(Label().find('*'), std::string::npos) << Label();
}

TEST_F(EditorSessionTest, ARestoreRefreshesTheBarAndTheRestoreCountOnlyWhenItMoves) {
  OpenSession();
  session_->RestoreCount(7);
  // The preset state changes behind the bar, as a host's state restore changes it.
  manager_.RenameCurrent("Restored Name");
  Frame().render();
  EXPECT_EQ(Label().find("Restored Name"), std::string::npos) << Label();
  session_->RestoreCount(7);
  EXPECT_EQ(Label().find("Restored Name"), std::string::npos) << Label();
  session_->RestoreCount(8);
  EXPECT_NE(Label().find("Restored Name"), std::string::npos) << Label();

  manager_.RenameCurrent("Second");
  session_->Restored();
  EXPECT_NE(Label().find("Second"), std::string::npos) << Label();
}

TEST_F(EditorSessionTest, TheSizeBeforeOpeningIsTheSizeOfTheOpenWindowAtEveryScale) {
  for (const double scale : {1.0, 1.25, 1.5, 1.75, 2.0, 0.5, 5.0, 1.333}) {
    SCOPED_TRACE(scale);
    host_.sizes.clear();
    Quarrytone::EditorSession& session = Make();
    ASSERT_TRUE(session.SetScale(scale));
    const Quarrytone::layout::PixelSize before = session.Size();
    ASSERT_TRUE(session.Open(0, tk::PlatformType::Headless));
    const Quarrytone::layout::PixelSize after = session.Size();
    EXPECT_EQ(before.width, after.width);
    EXPECT_EQ(before.height, after.height);
    Frame().render();
    EXPECT_EQ(cairo_image_surface_get_width(Frame().surface()), after.width);
    EXPECT_EQ(cairo_image_surface_get_height(Frame().surface()), after.height);
    // The host hears the size once, when the window opens.
    ASSERT_EQ(host_.sizes.size(), 1u);
    EXPECT_EQ(host_.sizes[0], std::make_pair(after.width, after.height));
    session_.reset();
  }
  EXPECT_FALSE(Make().SetScale(0.0));
  EXPECT_FALSE(session_->SetScale(-1.0));
}

TEST_F(EditorSessionTest, TheZoomChosenInTheBarIsTheNextSessionsZoom) {
  OpenSession();
  EXPECT_DOUBLE_EQ(session_->Zoom(), 1.0);
  Quarrytone::QRVPresetBarEditor& bar = Bar();
  const QRVRect z = bar.zoomButton()->getViewSize();
  ClickAt(QRVPoint{(z.left + z.right) / 2, (z.top + z.bottom) / 2});
  auto* handler = bar.zoomButton()->getMenuHandler();
  ASSERT_TRUE(handler->isOpen());
  const QRVRect p = handler->getPopupRect();
  const QRVRect e = handler->getMenu()->getEntry(3)->rect;  // "125%"
  ClickAt(QRVPoint{p.left + (e.left + e.right) / 2, p.top + (e.top + e.bottom) / 2});
  EXPECT_DOUBLE_EQ(session_->Zoom(), 1.25);
  EXPECT_EQ(host_.sizes.back(), std::make_pair(500, 441));
  controller_.sink = nullptr;
  session_.reset();

  // The next session, in this process or another: the stored zoom wins over the host's scale.
  EXPECT_DOUBLE_EQ(Quarrytone::EditorSession::StartingZoom(2.0), 1.25);
  Quarrytone::EditorSession& next = Make();
  EXPECT_DOUBLE_EQ(next.Zoom(), 1.25);
  EXPECT_EQ(next.Size().width, 500);
  EXPECT_EQ(next.Size().height, 441);
}

TEST_F(EditorSessionTest, WithoutAStoredZoomTheHostsScaleIsTheStartingZoom) {
  double stored = 0;
  ASSERT_FALSE(settings::ReadNumber(settings::kSettingZoom, stored));
  EXPECT_DOUBLE_EQ(Quarrytone::EditorSession::StartingZoom(1.5), 1.5);
  EXPECT_DOUBLE_EQ(Quarrytone::EditorSession::StartingZoom(9.0), 4.0);
  EXPECT_DOUBLE_EQ(Quarrytone::EditorSession::StartingZoom(0.0), 1.0);
  EXPECT_DOUBLE_EQ(Make().Zoom(), 1.0);
}

TEST_F(EditorSessionTest, MessagesComeBackToTheWindowAndResizesWaitWhileDeferred) {
  OpenSession();
  host_.sizes.clear();
  host_.values.clear();
  // The browser's messages, as the panel reports them, come back to the window as the host's echo: the
  // window grows and shrinks, and the host hears only the sizes.
  session_->window().parameterChanged(kMessageBrowserOpening, 1.0);
  ASSERT_FALSE(host_.sizes.empty());
  EXPECT_GT(host_.sizes.back().second, 353);
  session_->window().parameterChanged(kMessageBrowserClosed, 1.0);
  EXPECT_EQ(host_.sizes.back(), std::make_pair(400, 353));
  EXPECT_TRUE(host_.values.empty());

  // While the panel defers resizing, the host hears nothing; the size it then takes comes once.
  host_.sizes.clear();
  session_->window().setResizeDeferred(true);
  session_->window().parameterChanged(kMessageBrowserOpening, 1.0);
  EXPECT_TRUE(host_.sizes.empty());
  session_->window().setResizeDeferred(false);
  ASSERT_EQ(host_.sizes.size(), 1u);
  EXPECT_GT(host_.sizes.back().second, 353);

  // Closed, the window tells the host nothing; a scale then is the size it opens at.
  host_.sizes.clear();
  session_->Close();
  EXPECT_FALSE(session_->IsOpen());
  EXPECT_TRUE(session_->SetScale(2.0));
  EXPECT_TRUE(host_.sizes.empty());
  EXPECT_EQ(session_->Size().width, 800);
  EXPECT_EQ(session_->Size().height, 706);
}

}  // namespace
}  // namespace qrv::test
