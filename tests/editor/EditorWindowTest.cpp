// The editor window's own behaviour: size and zoom, the browser messages, the pointer cache, hints,
// the full redraw, the shared idle timer, the preset bar's seam and open/close cycles.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dsp/ParameterSet.h"
#include "gui/backend/Convert.h"
#include "tests/editor/EditorTestSupport.h"

namespace qrv::test {
namespace {

using EditorWindow = EditorFixture;
using Quarrytone::QRVVSTGUIEditorWrapperV2;

// The size rule a host is told before the window opens is the one the window follows, at every whole
// percentage of the zoom range, and it keeps the sizes the window has always had.
TEST_F(EditorWindow, TakesTheSizeTheWindowSizeRuleGivesAtEveryWholePercent) {
  namespace layout = Quarrytone::layout;
  EXPECT_EQ(layout::WindowPixelSize(400, 275, 0.7).width, 280);
  EXPECT_EQ(layout::WindowPixelSize(400, 275, 0.7).height, 247);
  EXPECT_EQ(layout::WindowPixelSize(400, 275, 1.5).height, 529);
  EXPECT_EQ(layout::WindowPixelSize(400, 275, 4.0).height, 1412);
  window.emplace(&CreateProductEditor);
  ASSERT_TRUE(window->open(tk::PlatformType::Headless));
  for (int percent = 70; percent <= 400; ++percent) {
    SCOPED_TRACE(percent);
    window->setZoom(percent / 100.0);
    const layout::PixelSize rule = layout::WindowPixelSize(layout::kPanelWidth, layout::kPanelHeight, percent / 100.0);
    EXPECT_EQ(window->windowWidth(), rule.width);
    EXPECT_EQ(window->windowHeight(), rule.height);
    EXPECT_EQ(cairo_image_surface_get_width(headless().surface()), rule.width);
    EXPECT_EQ(cairo_image_surface_get_height(headless().surface()), rule.height);
  }
  window->setZoom(1.0);
  EXPECT_EQ(window->windowWidth(), 400);
  EXPECT_EQ(window->windowHeight(), 353);
  window->setZoom(2.0);
  EXPECT_EQ(window->windowWidth(), 800);
  EXPECT_EQ(window->windowHeight(), 706);
}

TEST_F(EditorWindow, OpensAt400x353AndTheBrowserMessagesResizeIt) {
  window.emplace(&CreateProductEditor);
  // Before the first open the host learns the size of the editor plus the bar.
  EXPECT_EQ(window->windowWidth(), 400);
  EXPECT_EQ(window->windowHeight(), 353);
  ASSERT_TRUE(window->open(tk::PlatformType::Headless));
  EXPECT_EQ(window->frame()->deviceWidth(), 400);
  EXPECT_EQ(window->frame()->deviceHeight(), 353);

  window->valueChangedByController(kMessageBrowserOpening, 1.0);
  EXPECT_EQ(window->windowWidth(), 420);
  EXPECT_EQ(window->windowHeight(), 415 + 78);
  EXPECT_EQ(window->minWidth(), 420);
  EXPECT_EQ(window->maxHeight(), 493);
  EXPECT_EQ(cairo_image_surface_get_width(headless().surface()), 420);
  EXPECT_EQ(cairo_image_surface_get_height(headless().surface()), 493);
  const QRVRect r = window->editorContainer()->getViewSize();
  EXPECT_EQ(r.top, 78);
  EXPECT_EQ(r.right, 420);
  EXPECT_EQ(r.bottom, 493);
  window->valueChangedByController(kMessageBrowserClosed, 1.0);
  EXPECT_EQ(window->windowWidth(), 400);
  EXPECT_EQ(window->windowHeight(), 353);

  // At 200 % the same messages give twice the pixels.
  window->setZoom(2.0);
  window->valueChangedByController(kMessageBrowserOpening, 1.0);
  EXPECT_EQ(window->windowWidth(), 840);
  EXPECT_EQ(window->windowHeight(), 986);
  window->valueChangedByController(kMessageBrowserClosed, 1.0);
  EXPECT_EQ(window->windowWidth(), 800);
  EXPECT_EQ(window->windowHeight(), 706);
}

// A binding is one small class behind the window's seam: it sees the grab, the values and the release of a
// knob in that order, and every size the window takes (zoom, browser), in device pixels.
TEST_F(EditorWindow, ABindingSeesGrabsValuesReleasesAndSizesThroughTheSeam) {
  Open();
  EchoHost& host = window->host;
  host.sizes.clear();
  QRVAnimKnob* time = editor().knob(kSlotTime);
  ASSERT_NE(time, nullptr);
  const QRVPoint c = Centre(time);
  Press(c);
  Move(QRVPoint{c.x, c.y - 40}, kQRVLButton);
  Release(QRVPoint{c.x, c.y - 40});
  ASSERT_GE(host.gestures.size(), 2u);
  EXPECT_EQ(host.gestures.front(), std::make_pair('b', static_cast<int>(kSlotTime)));
  EXPECT_EQ(host.gestures.back(), std::make_pair('e', static_cast<int>(kSlotTime)));
  const auto moved = std::find_if(host.reports.begin(), host.reports.end(),
                                  [](const auto& r) { return r.first == static_cast<int>(kSlotTime); });
  ASSERT_NE(moved, host.reports.end());
  EXPECT_GT(moved->second, 0.5);

  window->setZoom(2.0);
  window->valueChangedByController(kMessageBrowserOpening, 1.0);
  window->valueChangedByController(kMessageBrowserClosed, 1.0);
  window->setZoom(1.0);
  const std::vector<std::pair<int, int>> expected = {{800, 706}, {840, 986}, {800, 706}, {400, 353}};
  EXPECT_EQ(host.sizes, expected);
}

TEST_F(EditorWindow, WithoutAProductEditorTheWindowIs500x200AndDoesNotOpen) {
  Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar empty(nullptr);
  EXPECT_EQ(empty.windowWidth(), 500);
  EXPECT_EQ(empty.windowHeight(), 200);
  EXPECT_FALSE(empty.open(tk::PlatformType::Headless));
  empty.setZoom(2.0);
  empty.idle();
  EXPECT_EQ(empty.createViewContainer(QRVRect{0, 0, 10, 10}), nullptr);
  EXPECT_EQ(empty.getEditor(), nullptr);
}

TEST_F(EditorWindow, ZoomIsLimitedAndTheScaledHeightIsWholePixels) {
  Open();
  struct Case {
    double asked, requested;
    int width, height;
  };
  const Case cases[] = {{0.5, 0.7, 280, 247}, {5.0, 4.0, 1600, 1412}, {0.0, 1.0, 400, 353},
                        {1.5, 1.5, 600, 529}, {2.0, 2.0, 800, 706},   {0.7, 0.7, 280, 247},
                        {NAN, 1.0, 400, 353}, {4.0, 4.0, 1600, 1412}, {1.0, 1.0, 400, 353}};
  for (const Case& c : cases) {
    window->setZoom(c.asked);
    EXPECT_DOUBLE_EQ(window->requestedZoom(), c.requested) << c.asked;
    const double full = 353;
    // Whole pixels of height, then limited like the factor (0.6997 at 70 % stays 0.7).
    EXPECT_DOUBLE_EQ(window->effectiveZoom(), Quarrytone::QRVFrame::ClampZoom(std::trunc(full * c.requested) / full))
        << c.asked;
    EXPECT_DOUBLE_EQ(window->frame()->getZoom(), window->effectiveZoom());
    EXPECT_EQ(window->windowWidth(), c.width) << c.asked;
    EXPECT_EQ(window->windowHeight(), c.height) << c.asked;
    headless().render();
    EXPECT_EQ(cairo_image_surface_get_width(headless().surface()), c.width);
    EXPECT_EQ(cairo_image_surface_get_height(headless().surface()), c.height);
  }
  // The zoom survives a close and reopen of the same window.
  window->setZoom(2.0);
  window->close();
  ASSERT_TRUE(window->open(tk::PlatformType::Headless));
  EXPECT_EQ(window->windowWidth(), 800);
  // Without a window nothing happens.
  window->close();
  window->setZoom(3.0);
  EXPECT_DOUBLE_EQ(window->requestedZoom(), 2.0);
}

// Records where the engine says the pointer is when it is pressed.
class PointerProbe : public QRVCustomControl {
 public:
  PointerProbe(const QRVRect& r, QRVMasterGraphicalEngine* engine)
      : QRVCustomControl(r, 40, nullptr), engine_(engine) {}
  int onMouseDown(QRVPoint where, int) override {
    engine_->getMousePosition(seen);
    engine_->getMouseButtons(buttons);
    local = where;
    return kQRVMouseHandledNoMore;
  }
  QRVPoint seen{-100, -100};
  QRVPoint local;
  int buttons = -1;

 private:
  QRVMasterGraphicalEngine* engine_;
};

TEST_F(EditorWindow, DuringAPressThePointerIsThePressNotTheLastTickAndItIsScaledOnce) {
  Open(2.0);
  QRVViewContainer* c = window->createViewContainer(QRVRect{0, 0, 400, 275});
  auto* probe = new PointerProbe(QRVRect{300, 200, 390, 270}, window.operator->());
  c->addControl(probe);
  window->addContainer(c);

  Move(QRVPoint{10, 10});
  Tick();
  QRVPoint p;
  window->getMousePosition(p);
  EXPECT_DOUBLE_EQ(p.x, 10);
  EXPECT_DOUBLE_EQ(p.y, 10);
  // The press arrives before the next tick.
  Press(QRVPoint{320, 250}, kQRVLButton | kQRVControl);
  EXPECT_EQ(probe->buttons, kQRVLButton | kQRVControl);
  EXPECT_DOUBLE_EQ(probe->seen.x, 320);
  EXPECT_DOUBLE_EQ(probe->seen.y, 250);
  EXPECT_DOUBLE_EQ(probe->local.x, 320);
  Release(QRVPoint{320, 250});
  // Outside a dispatch the cached position of the last tick counts.
  window->getMousePosition(p);
  EXPECT_DOUBLE_EQ(p.x, 10);
  Tick();
  window->getMousePosition(p);
  EXPECT_DOUBLE_EQ(p.x, 320);
  EXPECT_DOUBLE_EQ(p.y, 250);
  EXPECT_DOUBLE_EQ(window->windowMousePosition().y, 250 + 78);
}

TEST_F(EditorWindow, ButtonsAreCachedAtTheTickAndReadZeroOutsideTheWindow) {
  Open();
  const QRVPoint knob = Centre(editor().knob(kSlotTime));
  Press(knob, kQRVLButton | kQRVShift);
  Tick();
  int b = -1;
  window->getMouseButtons(b);
  EXPECT_EQ(b, kQRVLButton | kQRVShift);
  // A modifier still held is kept without the button.
  Release(knob, kQRVShift);
  Tick();
  window->getMouseButtons(b);
  EXPECT_EQ(b, kQRVShift);
  Move(knob, 0);
  Tick();
  window->getMouseButtons(b);
  EXPECT_EQ(b, 0);
  headless().mouseMove(tk::Point{-20, -20}, kQRVLButton);
  Tick();
  window->getMouseButtons(b);
  EXPECT_EQ(b, 0);
}

TEST_F(EditorWindow, ReopeningClearsTheResizeDeferredAtClose) {
  Open();
  window->close();
  EXPECT_TRUE(window->isResizeDeferred());
  ASSERT_TRUE(window->open(tk::PlatformType::Headless));
  EXPECT_FALSE(window->isResizeDeferred());
  // Buttons read, hints show and resizes apply after the reopen.
  const QRVPoint knob = Centre(editor().knob(kSlotCompression));
  Press(knob);
  Tick();
  int b = 0;
  window->getMouseButtons(b);
  EXPECT_EQ(b, kQRVLButton);
  Release(knob, 0);
  Move(knob);
  Tick(Quarrytone::QRVVSTGUIEditorWrapperV1::kHintDelayTicks + 1);
  EXPECT_TRUE(window->hintShown());
  window->valueChangedByController(kMessageBrowserOpening, 1.0);
  EXPECT_EQ(window->windowWidth(), 420);

  // A deferred resize is recorded and applied once when the deferral ends.
  window->setResizeDeferred(true);
  window->valueChangedByController(kMessageBrowserClosed, 1.0);
  EXPECT_EQ(window->windowWidth(), 420);
  window->setResizeDeferred(false);
  EXPECT_EQ(window->windowWidth(), 400);
  window->setResizeDeferred(true);
  window->setResizeDeferred(false);
  EXPECT_EQ(window->windowWidth(), 400);
}

TEST_F(EditorWindow, HintsShowAfter26TicksAtRestAndHideOnMovement) {
  Open();
  const QRVPoint knob = Centre(editor().knob(kSlotTime));
  Move(knob);
  Tick(Quarrytone::QRVVSTGUIEditorWrapperV1::kHintDelayTicks);
  EXPECT_FALSE(window->hintShown());
  Tick();
  ASSERT_TRUE(window->hintShown());
  EXPECT_EQ(window->frame()->getTooltip(), "Sets up the combined attack and release time");
  // Still at rest: it stays.
  Tick(40);
  EXPECT_TRUE(window->hintShown());
  // Two points away: gone, and the count starts again.
  Move(QRVPoint{knob.x + 2, knob.y});
  Tick();
  EXPECT_FALSE(window->hintShown());
  EXPECT_TRUE(window->frame()->getTooltip().empty());
  Tick(Quarrytone::QRVVSTGUIEditorWrapperV1::kHintDelayTicks);
  EXPECT_TRUE(window->hintShown());
  // A press hides it too.
  Press(QRVPoint{knob.x + 2, knob.y});
  Tick();
  EXPECT_FALSE(window->hintShown());
  Release(QRVPoint{knob.x + 2, knob.y}, 0);

  // With hints off the 'QRhA' text shows instead of the tooltip; a view without one shows nothing.
  window->setHintsFlag(0);
  Tick(30);
  EXPECT_FALSE(window->hintShown());
  editor().knob(kSlotTime)->setHint("first line\nsecond line");
  Move(QRVPoint{knob.x - 5, knob.y});
  Tick(Quarrytone::QRVVSTGUIEditorWrapperV1::kHintDelayTicks + 1);
  ASSERT_TRUE(window->hintShown());
  EXPECT_EQ(window->frame()->getTooltip(), "first line\nsecond line");
  // Two lines make the tooltip two lines high, with text in each.
  const tk::Rect tip = window->frame()->getTooltipRect();
  EXPECT_DOUBLE_EQ(tip.height(), 2 * tk::Frame::kTooltipLineHeight + 4);
  for (int line = 0; line < 2; ++line) {
    int dark = 0;
    const double top = tip.top + 2 + line * tk::Frame::kTooltipLineHeight;
    for (double y = top + 2; y < top + tk::Frame::kTooltipLineHeight - 2; y += 1)
      for (double x = tip.left + 5; x < tip.left + 50; x += 1)
        if (WindowPixel(x, y).r < 120) ++dark;
    EXPECT_GT(dark, 10) << "line " << line;
  }
}

// Records what reaches it, for the window's own messages.
class SpyEditor : public QRVBaseEditor {
 public:
  bool Open() override { return true; }
  void Close() override {}
  void ControllerValueChanged(int index, double value) override { received.emplace_back(index, value); }
  void ControlValueChanged(int, double) override {}
  void Idle() override { ++idles; }
  static QRVBaseEditor* Create(QRVMasterGraphicalEngine*) { return last = new SpyEditor; }
  std::vector<std::pair<int, double>> received;
  int idles = 0;
  static SpyEditor* last;
};
SpyEditor* SpyEditor::last = nullptr;

TEST_F(EditorWindow, AChangedHintsFlagReachesTheEditorOnce) {
  Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar w(&SpyEditor::Create);
  SpyEditor* spy = SpyEditor::last;
  ASSERT_TRUE(w.open(tk::PlatformType::Headless));
  Tick(3);
  EXPECT_TRUE(spy->received.empty());
  EXPECT_EQ(spy->idles, 3);
  settings::SetProcessHints(0);
  Tick(5);
  EXPECT_EQ(spy->received, (std::vector<std::pair<int, double>>{{settings::kSettingHints, 0.0}}));
  EXPECT_EQ(w.hintsCopy(), 0);
  settings::SetProcessHints(1);
  Tick(5);
  EXPECT_EQ(spy->received.size(), 2u);
  EXPECT_EQ(spy->received.back(), std::make_pair(settings::kSettingHints, 1.0));
}

TEST_F(EditorWindow, TheWholeWindowIsRedrawnEvery101Ticks) {
  Open();
  headless().render();
  const tk::Rect all{0, 0, 400, 353};
  std::vector<int> full;
  for (int tick = 1; tick <= 210; ++tick) {
    Tick();
    window->frame()->idle();
    const tk::Rect d = headless().dirtyRect();
    if (d.left <= 0 && d.top <= 0 && d.right >= all.right && d.bottom >= all.bottom) full.push_back(tick);
    headless().render();
  }
  EXPECT_EQ(full, (std::vector<int>{101, 202}));
}

TEST_F(EditorWindow, TheSharedTimerTicksEveryOpenEditorAndStopsWithTheLast) {
  auto& handler = Quarrytone::IdleUpdate_QRV_Handler::Get();
  Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar a(&SpyEditor::Create);
  SpyEditor* spyA = SpyEditor::last;
  Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar b(&SpyEditor::Create);
  SpyEditor* spyB = SpyEditor::last;
  EXPECT_FALSE(handler.isRunning());
  ASSERT_TRUE(a.open(tk::PlatformType::Headless));
  ASSERT_TRUE(b.open(tk::PlatformType::Headless));
  EXPECT_EQ(handler.users(), 2);
  EXPECT_EQ(QRVVSTGUIEditorWrapperV2::OpenEditors().size(), 2u);
  tk::RunLoop::instance().advance(33 * 4);
  EXPECT_EQ(spyA->idles, 4);
  EXPECT_EQ(spyB->idles, 4);
  a.close();
  EXPECT_EQ(handler.users(), 1);
  tk::RunLoop::instance().advance(33);
  EXPECT_EQ(spyA->idles, 4);
  EXPECT_EQ(spyB->idles, 5);
  b.close();
  EXPECT_FALSE(handler.isRunning());
  EXPECT_TRUE(QRVVSTGUIEditorWrapperV2::OpenEditors().empty());
}

// A stand-in for the preset bar: builds a bar container and one overlay, records what it is told.
class TestBar : public Quarrytone::QRVPresetBar {
 public:
  explicit TestBar(const Quarrytone::QRVPresetBarContext& c) : context(c) { ++alive; }
  ~TestBar() override {
    if (overlay && !context.host->containsOverlay(overlay)) delete overlay;
    --alive;
  }
  void build(double w, double h) override {
    built.emplace_back(w, h);
    bar = context.host->createOverlayContainer(QRVRect{0, 0, w, 78});
    bar->setBackgroundColor(QRVColor{30, 30, 30, 255});
    auto* button = new QRVKickButton(QRVRect{0, 25, 60, 53}, 36);
    bar->addControl(button);
    context.host->addOverlay(bar);
    overlay = context.host->createOverlayContainer(QRVRect{0, 78, w, h + 78});
    overlay->setBackgroundColor(QRVColor{30, 30, 30, 200});
  }
  void resize(double w, double h) override { resized.emplace_back(w, h); }
  void controlEvent(int tag, double value) override { events.emplace_back(tag, value); }
  void parameterNotification(int index, double value) override { notes.emplace_back(index, value); }
  void idleTick() override { ++ticks; }

  Quarrytone::QRVPresetBarContext context;
  QRVViewContainer* bar = nullptr;
  QRVViewContainer* overlay = nullptr;
  std::vector<std::pair<double, double>> built, resized;
  std::vector<std::pair<int, double>> events, notes;
  int ticks = 0;
  static int alive;
};
int TestBar::alive = 0;

TEST_F(EditorWindow, APresetBarPlugsInThroughTheFactoryAndUsesTheHostServices) {
  TestBar* made = nullptr;
  int manager = 0, controller = 0;
  window.emplace(&CreateProductEditor, [&](const Quarrytone::QRVPresetBarContext& c) {
    auto bar = std::make_unique<TestBar>(c);
    made = bar.get();
    return bar;
  });
  window->attachPresetBar(nullptr, &manager, &controller);
  ASSERT_TRUE(window->open(tk::PlatformType::Headless));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->context.presetManager, &manager);
  EXPECT_EQ(made->context.controller, &controller);
  EXPECT_EQ(made->built, (std::vector<std::pair<double, double>>{{400, 275}}));
  EXPECT_TRUE(window->containsOverlay(made->bar));
  EXPECT_FALSE(window->containsOverlay(made->overlay));

  // Controller values reach the editor, then the bar; the bar's controls report to the bar only.
  window->valueChangedByController(kSlotTime, 0.3);
  EXPECT_DOUBLE_EQ(editor().knob(kSlotTime)->getValue(), 0.3);
  EXPECT_EQ(made->notes.back(), std::make_pair(static_cast<int>(kSlotTime), 0.3));
  window->reports.clear();
  headless().mouseDown(tk::Point{30, 40}, kQRVLButton);
  headless().mouseUp(tk::Point{30, 40}, kQRVLButton);
  EXPECT_EQ(made->events, (std::vector<std::pair<int, double>>{{36, 1.0}}));
  EXPECT_TRUE(window->reports.empty());
  Tick(3);
  EXPECT_EQ(made->ticks, 3);

  // The overlay covers the editor; the browser notification resizes the window and tells the bar.
  EXPECT_TRUE(window->addOverlay(made->overlay));
  EXPECT_FALSE(window->addOverlay(editor().aboutContainer()));  // not a frame-level container
  window->notifyEditor(kMessageBrowserOpening, 1.0);
  EXPECT_EQ(made->resized.back(), std::make_pair(420.0, 415.0));
  EXPECT_TRUE(window->removeOverlay(made->overlay));
  window->notifyEditor(kMessageBrowserClosed, 1.0);
  EXPECT_EQ(made->resized.back(), std::make_pair(400.0, 275.0));
  window->setZoom(1.5);
  EXPECT_DOUBLE_EQ(window->zoom(), 1.5);
  EXPECT_EQ(window->windowWidth(), 600);
  window->setHintsFlag(0);
  EXPECT_EQ(settings::ProcessHints(), 0);
  EXPECT_EQ(window->hintsCopy(), 0);
  window->close();
  EXPECT_EQ(TestBar::alive, 0);
  ASSERT_TRUE(window->open(tk::PlatformType::Headless));
  EXPECT_EQ(TestBar::alive, 1);
  window.reset();
  EXPECT_EQ(TestBar::alive, 0);
}

TEST_F(EditorWindow, OpenAndCloseCyclesLeaveNothingBehind) {
  window.emplace(&CreateProductEditor);
  for (int cycle = 0; cycle < 12; ++cycle) {
    ASSERT_TRUE(window->open(tk::PlatformType::Headless)) << cycle;
    if (cycle % 3 == 1) window->setZoom(1.25);
    window->valueChangedByController(kSlotGainReduction, 0.3);
    Move(Centre(editor().knob(kSlotOutput)));
    Tick(30);
    if (cycle % 2 == 0) Click(QRVPoint{200, 25});  // the about box is up at the close
    headless().render();
    window->close();
  }
  EXPECT_TRUE(QRVVSTGUIEditorWrapperV2::OpenEditors().empty());
  EXPECT_FALSE(Quarrytone::IdleUpdate_QRV_Handler::Get().isRunning());
}

}  // namespace
}  // namespace qrv::test
