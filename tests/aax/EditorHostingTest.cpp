// The GUI object and its editor window linked into the test process and hosted by the simulator on a
// private X server, so that what reaches the window can be read from the window itself: the stored
// values at open, parameter updates, custom meters, the modifiers of parameter mouse-downs, and the
// hub's link to the open editor.
#include <cmath>
#include <memory>
#include <vector>

#include "dsp/ParameterSet.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_EditorWrapper.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"
#include "format/aax/host/AAXHostView.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "presets/SettingsStore.h"
#include "product/warmGlowEditor.h"
#include "tests/aax/AaxTestSupport.h"
#include "tests/aax/InProcessHost.h"

// Last: Xlib's macros would break the headers above.
#include "tests/support/SharedXServer.h"
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace qrv::aaxtest {
namespace {

using aax::QRV_QVWG_2300_QRV_AAXWrapper_GUI;

// Observes what the window hands its preset bar: every controller value, after the product editor.
class RecordingBar final : public Quarrytone::QRVPresetBar {
 public:
  explicit RecordingBar(std::vector<std::pair<int, double>>& seen) : seen_(seen) {}
  void build(double, double) override {}
  void resize(double, double) override {}
  void controlEvent(int, double) override {}
  void parameterNotification(int index, double value) override { seen_.emplace_back(index, value); }
  void idleTick() override {}

 private:
  std::vector<std::pair<int, double>>& seen_;
};

class AaxEditorHosting : public ::testing::Test {
 protected:
  void SetUp() override {
    QRV_ASSERT_X_SERVER();
    aax::SetPresetBarFactory([this](const Quarrytone::QRVPresetBarContext&) {
      return std::make_unique<RecordingBar>(seen_);
    });
    host_ = std::make_unique<RegisteredHost>(InProcessHost());
    instance_ = (*host_)->CreateInstance(1, 48000.0f);
    ASSERT_NE(instance_, nullptr);
    view_ = std::make_unique<aaxhost::HostView>(*instance_);
  }
  void TearDown() override {
    view_.reset();
    instance_.reset();
    host_.reset();
    aax::SetPresetBarFactory(Quarrytone::PresetBarEditorFactory());
  }
  void Open() {
    std::string error;
    ASSERT_TRUE(view_->Open(&error)) << error;
    ASSERT_TRUE(Gui()->editor()->isOpen());
  }
  QRV_QVWG_2300_QRV_AAXWrapper_GUI* Gui() { return dynamic_cast<QRV_QVWG_2300_QRV_AAXWrapper_GUI*>(instance_->gui()); }
  aax::QRV_AAX_ControllerWrapper& Hub() {
    return dynamic_cast<aax::QRV_QVWG_2300_AAX_Parameters_Wrapper*>(instance_->dataModel())->controller();
  }
  warmGlowEditor& Editor() { return *static_cast<warmGlowEditor*>(Gui()->editor()->productEditor()); }
  // The entries for one index that reached the window since the log was cleared.
  std::vector<double> Seen(int index) const {
    std::vector<double> v;
    for (const auto& [i, value] : seen_)
      if (i == index) v.push_back(value);
    return v;
  }
  // A press and release through the window's own event dispatch, at the centre of a control.
  void Click(QRVBaseControl* control, uint32_t buttons) {
    const QRVRect r = control->getViewSize();
    const tk::Point at{(r.left + r.right) / 2, (r.top + r.bottom) / 2 + Quarrytone::QRVVSTGUIEditorWrapperV1::kBarHeight};
    Gui()->editor()->frame()->platformMouseDown(at, buttons);
    Gui()->editor()->frame()->platformMouseUp(at, buttons & ~uint32_t{kQRVRButton | kQRVLButton});
  }

  std::vector<std::pair<int, double>> seen_;
  std::unique_ptr<RegisteredHost> host_;
  std::unique_ptr<aaxhost::Instance> instance_;
  std::unique_ptr<aaxhost::HostView> view_;
};

TEST_F(AaxEditorHosting, TheStoredValuesReachTheWindowAtOpenThenEveryParameter) {
  Hub().SetParameter(20, 0.25);
  Hub().SetParameter(21, aax::kNoPending);  // "none": not handed over
  seen_.clear();
  Open();
  std::vector<std::pair<int, double>> expected;
  for (int index = 12; index <= 28; ++index)
    if (index != 21) expected.emplace_back(index, index == 20 ? 0.25 : GetParameterDefault(static_cast<unsigned>(index)));
  ASSERT_GE(seen_.size(), expected.size());
  const std::vector<std::pair<int, double>> first(seen_.begin(), seen_.begin() + static_cast<long>(expected.size()));
  EXPECT_EQ(first, expected);
  // Then the host's update of every parameter: the seven controls, nothing for bypass and the markers.
  for (const auto& [id, slot] : kControls) {
    EXPECT_EQ(Seen(static_cast<int>(slot)), std::vector<double>{instance_->ParameterValue(id)}) << id;
  }
  EXPECT_TRUE(Seen(kMessagePresetStart).empty());
  EXPECT_DOUBLE_EQ(Editor().knob(kSlotRatio)->getValue(), instance_->ParameterValue("2: Ratio"));
}

TEST_F(AaxEditorHosting, HostParameterUpdatesMoveTheControls) {
  Open();
  seen_.clear();
  // Automation from the host: the data model takes it, then the GUI object hears of it.
  instance_->SetParameter("2: Ratio", 0.8);
  instance_->SetParameter("6: Output", 0.35);
  instance_->SetParameter("0: Process", 0.0);
  EXPECT_EQ(Seen(kSlotRatio), std::vector<double>{0.8});
  EXPECT_DOUBLE_EQ(Editor().knob(kSlotRatio)->getValue(), 0.8);
  EXPECT_DOUBLE_EQ(Editor().knob(kSlotOutput)->getValue(), 0.35);
  EXPECT_FALSE(Editor().meter()->lamp());  // mode Off darkens the lamp
  instance_->SetParameter("MasterBypassID", 1.0);
  instance_->SetParameter("PresetSTART", 0.5);
  EXPECT_EQ(seen_.size(), 3u);
}

TEST_F(AaxEditorHosting, CustomMetersReachTheWindowAndNoValueNever) {
  Open();
  const AAX_CTypeID grMeter = aax::kMeterIDs[3];  // custom meter 0 carries index 13
  struct Case {
    float host;
    bool reaches;
    double shown;
  };
  const Case cases[] = {{0.8f, true, 0.7},           {aax::kNoMeterValue, false, 0.0}, {0.05f, false, 0.0},
                        {1.1f, true, 1.0},           {0.1f, true, 0.0},                {1.2f, false, 0.0},
                        {std::nanf(""), false, 0.0}, {0.35f, true, 0.25}};
  for (const Case& c : cases) {
    seen_.clear();
    ASSERT_TRUE(instance_->PresentMeterValue(grMeter, c.host));
    ASSERT_EQ(instance_->GuiTimerWakeup(), AAX_SUCCESS);
    const std::vector<double> got = Seen(kSlotGainReduction);
    if (!c.reaches) {
      EXPECT_TRUE(got.empty()) << c.host;
      continue;
    }
    ASSERT_EQ(got.size(), 1u) << c.host;
    EXPECT_NEAR(got[0], c.shown, 1e-6) << c.host;
  }
  // From a real block: what the render path left, less the offset.
  instance_->SetParameter("5: Compression", 1.0);
  auto signal = TestSignal(2, 4096, 48000.0f);
  std::vector<std::vector<float>> out(2, std::vector<float>(4096));
  const float* in[2] = {signal[0].data(), signal[1].data()};
  float* o[2] = {out[0].data(), out[1].data()};
  instance_->RenderBlock(in, o, 4096);
  seen_.clear();
  instance_->GuiTimerWakeup();
  ASSERT_EQ(Seen(kSlotGainReduction).size(), 1u);
  EXPECT_GT(Seen(kSlotGainReduction)[0], 0.0);
  EXPECT_NEAR(Seen(kSlotGainReduction)[0], instance_->MeterValue(grMeter) - aax::kMeterOffset, 1e-6);
}

TEST_F(AaxEditorHosting, MouseDownsOnHostParametersCarryTheHostModifiers) {
  Open();
  struct Case {
    uint32_t buttons;
    uint32_t modifiers;
  };
  const Case cases[] = {{kQRVLButton, 0},
                        {kQRVLButton | kQRVControl, 8},
                        {kQRVLButton | kQRVCommand, 2},
                        {kQRVLButton | kQRVAlt, 4},
                        {kQRVRButton, 16},
                        {kQRVLButton | kQRVShift, 0},
                        {kQRVRButton | kQRVAlt | kQRVShift, 20},
                        {kQRVLButton | kQRVControl | kQRVAlt | kQRVCommand, 14}};
  for (const Case& c : cases) {
    const std::size_t before = instance_->mouseDowns().size();
    Click(Editor().knob(kSlotTime), c.buttons);
    ASSERT_EQ(instance_->mouseDowns().size(), before + 1) << c.buttons;
    EXPECT_EQ(instance_->mouseDowns().back().id, "4: Time");
    EXPECT_EQ(instance_->mouseDowns().back().modifiers, c.modifiers) << std::hex << c.buttons;
  }
  // Control, Alt and Super held on the keyboard give 14 whatever the event says, the right button too.
  Display* d = XOpenDisplay(test::SharedXServer().name().c_str());
  ASSERT_NE(d, nullptr);
  const KeySym chord[] = {XK_Control_L, XK_Alt_L, XK_Super_L};
  for (KeySym k : chord) XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), True, CurrentTime);
  XSync(d, False);
  Click(Editor().knob(kSlotRatio), kQRVRButton);
  for (KeySym k : chord) XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), False, CurrentTime);
  XSync(d, False);
  XCloseDisplay(d);
  ASSERT_FALSE(instance_->mouseDowns().empty());
  EXPECT_EQ(instance_->mouseDowns().back().id, "2: Ratio");
  EXPECT_EQ(instance_->mouseDowns().back().modifiers, 14u);
  // The name button is no host parameter: nothing is offered.
  const std::size_t before = instance_->mouseDowns().size();
  Click(Editor().nameButton(), kQRVRButton);
  EXPECT_EQ(instance_->mouseDowns().size(), before);
}

TEST_F(AaxEditorHosting, TheHubLinksTheEditorOnlyWhileItsViewIsAttached) {
  EXPECT_EQ(Hub().editor(), nullptr);
  Open();
  EXPECT_EQ(Hub().editor(), Gui()->editor());
  view_->Close();
  EXPECT_EQ(Hub().editor(), nullptr);
  Open();
  EXPECT_EQ(Hub().editor(), Gui()->editor());
  // A host that destroys the GUI object while the data model lives on.
  instance_->DestroyGUI();
  EXPECT_EQ(Hub().editor(), nullptr);
  Hub().SetParameter(20, 0.75);  // would reach a freed window through a stale link
  view_->Close();
  ASSERT_TRUE(instance_->CreateGUI());
  seen_.clear();
  Open();
  EXPECT_EQ(Hub().editor(), Gui()->editor());
  EXPECT_EQ(Seen(20), std::vector<double>{0.75});
}

TEST_F(AaxEditorHosting, TheViewSizeFollowsTheZoomAndTheZoomIsStored) {
  double w = 0.0, h = 0.0;
  ASSERT_EQ(instance_->gui()->GetViewSize(&w, &h), AAX_SUCCESS);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(400.0, 353.0));
  Open();
  EXPECT_EQ(std::make_pair(view_->width(), view_->height()), std::make_pair(400, 353));
  struct Case {
    double factor;
    double width, height;
    int32_t stored;
  };
  // The effective zoom keeps the height whole; the width is the requested factor's.
  const Case cases[] = {{2.0, 800, 706, 200}, {0.5, 280, 247, 70}, {5.0, 1600, 1412, 400}, {1.25, 500, 441, 125}};
  for (const Case& c : cases) {
    ASSERT_EQ(instance_->NotifyView(AAX_eNotificationEvent_ViewZoom, &c.factor, sizeof c.factor), AAX_SUCCESS);
    EXPECT_EQ(instance_->LastViewSize(), std::make_pair(c.width, c.height)) << c.factor;
    EXPECT_EQ(std::make_pair(view_->width(), view_->height()),
              std::make_pair(static_cast<int>(c.width), static_cast<int>(c.height)));
    ASSERT_EQ(instance_->gui()->GetViewSize(&w, &h), AAX_SUCCESS);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.width, c.height));
    EXPECT_EQ(Hub().GetPresetManager()->zoom(), c.stored);
    EXPECT_EQ(settings::ProcessZoom(), c.stored);
  }
  const float bad = 2.0f;
  EXPECT_EQ(instance_->NotifyView(AAX_eNotificationEvent_ViewZoom, &bad, sizeof bad), AAX_ERROR_INVALID_ARGUMENT);
  const double one = 1.0;
  instance_->NotifyView(AAX_eNotificationEvent_ViewZoom, &one, sizeof one);
}

}  // namespace
}  // namespace qrv::aaxtest
