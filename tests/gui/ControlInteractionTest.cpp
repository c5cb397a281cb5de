// Controls driven through the frame's own event dispatch (device pixels in, reports out).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "tests/gui/GuiHarness.h"

namespace qrv::test {
namespace {

constexpr QRVRect kCompressionRect{143, 143, 257, 257};
constexpr QRVPoint kCompressionCentre{200, 200};

QRVAnimKnob* AddCompressionKnob(GuiHarness& h) {
  auto* knob = new QRVAnimKnob(kCompressionRect, 5, Quarrytone::GetSharedBitmap(12171), 41, 7);
  EXPECT_TRUE(h.container->addControl(knob));
  return knob;
}

TEST(KnobDrag, LinearDragCoversTheRangeIn300PointsAnd1500WithShift) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  knob->setValue(0.2);
  EXPECT_EQ(h.press(kCompressionCentre), tk::MouseResult::Handled);
  h.move({200, 50});
  EXPECT_DOUBLE_EQ(knob->getValue(), 0.7);
  h.release({200, 50});
  ASSERT_FALSE(h.listener.changes.empty());
  EXPECT_EQ(h.listener.changes.back().first, 5);
  EXPECT_DOUBLE_EQ(h.listener.changes.back().second, 0.7);
  // The gesture was bracketed for the host.
  EXPECT_EQ(h.listener.begins, 1);
  EXPECT_EQ(h.listener.ends, 1);
  EXPECT_FALSE(knob->isEditing());

  knob->setValue(0.2);
  h.press(kCompressionCentre, kQRVLButton | kQRVShift);
  h.move({200, 50}, kQRVLButton | kQRVShift);
  EXPECT_NEAR(knob->getValue(), 0.3, 1e-12);
  h.release({200, 50}, kQRVLButton | kQRVShift);

  // Right counts like up; the value clamps at the ends.
  knob->setValue(0.2);
  h.press(kCompressionCentre);
  h.move({350, 200});
  EXPECT_NEAR(knob->getValue(), 0.7, 1e-12);
  h.move({200, -400});
  EXPECT_DOUBLE_EQ(knob->getValue(), 1.0);
  h.release({200, -400});
}

TEST(KnobDrag, ShiftDuringADragChangesSpeedWithoutAJump) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  knob->setValue(0.2);
  h.press(kCompressionCentre);
  h.move({200, 125});
  EXPECT_NEAR(knob->getValue(), 0.45, 1e-12);
  h.move({200, 125}, kQRVLButton | kQRVShift);
  EXPECT_NEAR(knob->getValue(), 0.45, 1e-12);
  h.move({200, 50}, kQRVLButton | kQRVShift);
  EXPECT_NEAR(knob->getValue(), 0.5, 1e-12);
  h.move({200, 50});
  EXPECT_NEAR(knob->getValue(), 0.5, 1e-12);
  h.move({200, 20});
  EXPECT_NEAR(knob->getValue(), 0.6, 1e-12);
  h.release({200, 20});
}

TEST(KnobDrag, ValuesFromTheHostAreIgnoredWhileDraggingButReachALinkedControl) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  auto* mirror = new QRVAnimKnob(QRVRect{0, 0, 31, 31}, 7, nullptr, 7);
  h.container->addControl(mirror);
  knob->setLinkedControl(mirror);
  knob->setValue(0.2);
  h.press(kCompressionCentre);
  h.move({200, 170});
  knob->setValue(0.9);
  EXPECT_NEAR(knob->getValue(), 0.3, 1e-12);
  EXPECT_NEAR(mirror->getValue(), 0.3, 1e-12);
  h.release({200, 170});
  knob->setValue(0.9);
  EXPECT_DOUBLE_EQ(knob->getValue(), 0.9);
}

TEST(KnobDrag, ADragThatStartedOutsideTheKnobNeverTurnsIt) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  knob->setValue(0.2);
  EXPECT_EQ(h.press({390, 10}), tk::MouseResult::NotHandled);  // empty panel
  h.move({200, 200});
  h.move({200, 100});
  h.release({200, 100});
  EXPECT_DOUBLE_EQ(knob->getValue(), 0.2);
  EXPECT_TRUE(h.listener.changes.empty());
  // A press on the knob itself still drags it.
  h.press(kCompressionCentre);
  h.move({200, 170});
  EXPECT_NEAR(knob->getValue(), 0.3, 1e-12);
  h.release({200, 170});
}

TEST(KnobWheel, ANotchMovesHalfAWheelStep) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  knob->wheelStep_ = 0.1;
  knob->fineFactor_ = 0.2;
  knob->setValue(0.5);
  EXPECT_TRUE(h.wheel(kCompressionCentre, 1.0f));
  EXPECT_NEAR(knob->getValue(), 0.55, 1e-12);
  h.wheel(kCompressionCentre, 0.05f);
  EXPECT_NEAR(knob->getValue(), 0.5525, 1e-7);
  h.wheel(kCompressionCentre, -3.0f);
  EXPECT_NEAR(knob->getValue(), 0.5025, 1e-7);
  h.wheel(kCompressionCentre, 1.0f, kQRVShift);
  EXPECT_NEAR(knob->getValue(), 0.5125, 1e-7);
  EXPECT_EQ(h.listener.changes.size(), 4u);
  // Tag-derived steps: Output (tag 6) moves 1/60 per notch.
  auto* output = new QRVAnimKnob(QRVRect{258, 143, 372, 257}, 6, nullptr, 61, 8);
  h.container->addControl(output);
  output->setValue(0.0);
  h.wheel({315, 200}, 1.0f);
  EXPECT_NEAR(output->getValue(), 0.5 / 30, 1e-12);
  output->setValue(0.0);
  h.wheel({315, 200}, 1.0f, kQRVShift);  // fine: 1/300 per step
  EXPECT_NEAR(output->getValue(), 0.5 / 300, 1e-12);
  // Time (tag 4) and Compression steps are 10 and 100; any other tag moves 1/1000 either way.
  auto* time = new QRVAnimKnob(QRVRect{28, 143, 142, 257}, 4, nullptr, 21, 5);
  h.container->addControl(time);
  time->setValue(0.5);
  h.wheel({85, 200}, -1.0f, kQRVShift);
  EXPECT_NEAR(time->getValue(), 0.495, 1e-12);
  auto* ratio = new QRVAnimKnob(QRVRect{50, 50, 120, 120}, 2, nullptr, 7);
  h.container->addControl(ratio);
  ratio->setValue(0.5);
  h.wheel({85, 85}, 1.0f);
  EXPECT_NEAR(ratio->getValue(), 0.5005, 1e-12);
  h.wheel({85, 85}, 1.0f, kQRVShift);
  EXPECT_NEAR(ratio->getValue(), 0.501, 1e-12);
}

TEST(ControlValues, StartAtFactoryPresetZeroAndResetToTheParameterDefault) {
  double preset[12];
  for (unsigned i = 0; i < 12; ++i) preset[i] = qrv::GetParameterDefault(i);
  qrv::GetFactoryPreset(0, preset, nullptr, nullptr);
  for (int tag : {0, 2, 5, 6, 7, 11, 12, 13, 28, 70}) {
    SCOPED_TRACE(tag);
    QRVBaseControl control(QRVRect{0, 0, 10, 10}, tag, nullptr, kQRVPeerCustom);
    double initial = tag <= 11 ? preset[tag] : qrv::GetParameterDefault(static_cast<unsigned>(tag));
    EXPECT_DOUBLE_EQ(control.getValue(), initial);
    EXPECT_DOUBLE_EQ(control.getDefaultValue(), qrv::GetParameterDefault(static_cast<unsigned>(tag)));
  }
  EXPECT_DOUBLE_EQ(QRVBaseControl(QRVRect{}, 6, nullptr, 5).getValue(), 0.15);   // Output
  EXPECT_DOUBLE_EQ(QRVBaseControl(QRVRect{}, 13, nullptr, 13).getValue(), 0.0);  // the meter
  // Custom controls keep a default of their own.
  QRVCustomControl custom(QRVRect{}, 13, nullptr);
  EXPECT_DOUBLE_EQ(custom.getDefaultValue(), 0.5);
  custom.setDefaultValue(0.25);
  EXPECT_DOUBLE_EQ(custom.getDefaultValue(), 0.25);
}

TEST(ControlValues, AValueThatIsNotANumberChangesNothing) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  auto* sw = new QRVHorizontalSwitch(QRVRect{262, 46, 368, 124}, 0, Quarrytone::GetSharedBitmap(12129));
  sw->positions_ = 3;
  h.container->addControl(sw);
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 120, 40}, 9);
  edit->setValueToText([](double v, char* text, int&) { std::snprintf(text, 256, "%.2f", v); });
  h.container->addControl(edit);
  knob->setValue(0.3);
  sw->setValue(0.5);
  edit->setValue(0.25);
  const double nan = std::nan("");
  knob->setValue(nan);
  sw->setValue(nan);
  edit->setValue(nan);
  EXPECT_DOUBLE_EQ(knob->getValue(), 0.3);
  EXPECT_DOUBLE_EQ(sw->getValue(), 0.5);
  EXPECT_DOUBLE_EQ(edit->getValue(), 0.25);
  EXPECT_STREQ(edit->getText(), "0.25");
  h.headless->render();  // draws the frames of the values kept
  EXPECT_DOUBLE_EQ(knob->frameOffset().x, 2 * 114);  // frame 12: column 2, row 0
  EXPECT_DOUBLE_EQ(knob->frameOffset().y, 0);
}

TEST(KnobReset, AltClickAndDoubleClickRestoreTheDefaultAndReportOnce) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  knob->setDefaultValue(0.5);
  knob->setValue(0.9);
  EXPECT_EQ(h.press(kCompressionCentre, kQRVLButton | kQRVAlt), tk::MouseResult::HandledNoMore);
  h.release(kCompressionCentre, kQRVLButton | kQRVAlt);
  EXPECT_DOUBLE_EQ(knob->getValue(), 0.5);
  ASSERT_EQ(h.listener.changes.size(), 1u);
  EXPECT_DOUBLE_EQ(h.listener.changes[0].second, 0.5);

  knob->setValue(0.1);
  h.press(kCompressionCentre, kQRVLButton | kQRVDoubleClick);
  EXPECT_DOUBLE_EQ(knob->getValue(), 0.5);
  EXPECT_EQ(h.listener.changes.size(), 2u);
  EXPECT_FALSE(knob->isEditing());
  // A right click is not the knob's.
  EXPECT_EQ(h.press(kCompressionCentre, kQRVRButton), tk::MouseResult::NotHandled);
}

TEST(KnobCircular, FollowsTheAngleAndPinsAtTheEndItCameFrom) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  h.engine.setKnobMode(1);
  knob->setValue(0.0);
  h.press({200, 150});  // straight up
  EXPECT_NEAR(knob->getValue(), 0.5, 1e-12);
  h.move({250, 200});  // right: a quarter turn clockwise of up
  EXPECT_NEAR(knob->getValue(), 0.5 + 90.0 / 270.0, 1e-9);
  h.move({210, 250});  // past the lower right end of the sweep
  EXPECT_DOUBLE_EQ(knob->getValue(), 1.0);
  h.move({190, 250});  // across the gap to the lower left: stays at the end it came from
  EXPECT_DOUBLE_EQ(knob->getValue(), 1.0);
  h.move({250, 200});  // back: follows again
  EXPECT_NEAR(knob->getValue(), 0.5 + 90.0 / 270.0, 1e-9);
  h.move({200, 150});  // up
  h.move({150, 200});  // left
  EXPECT_NEAR(knob->getValue(), 0.5 - 90.0 / 270.0, 1e-9);
  h.release({150, 200});
  h.engine.setKnobMode(0);
}

TEST(Switch, SegmentsFollowThePointerAndResetSelectsTheDefault) {
  GuiHarness h;
  auto* sw = new QRVHorizontalSwitch(QRVRect{262, 46, 368, 124}, 0, Quarrytone::GetSharedBitmap(12129));
  sw->positions_ = 3;
  h.container->addControl(sw);
  h.press({262 + 40, 60});
  EXPECT_DOUBLE_EQ(sw->getValue(), 0.5);
  h.move({262 + 100, 60});
  EXPECT_DOUBLE_EQ(sw->getValue(), 1.0);
  h.move({262 + 5, 60});
  EXPECT_DOUBLE_EQ(sw->getValue(), 0.0);
  h.release({262 + 5, 60});
  EXPECT_FALSE(sw->isEditing());
  EXPECT_EQ(h.listener.changes.size(), 3u);
  // Alt-click: the default of tag 0 in switch terms, reported once.
  h.click({262 + 5, 60}, kQRVLButton | kQRVAlt);
  EXPECT_DOUBLE_EQ(sw->getValue(), 1.0);
  ASSERT_EQ(h.listener.changes.size(), 4u);
  EXPECT_EQ(h.listener.changes.back(), std::make_pair(0, 1.0));
  EXPECT_FALSE(sw->isEditing());
  // Wheel steps one position and rounds to a position.
  sw->setValue(0.5);
  h.wheel({300, 60}, 1.0f);
  EXPECT_DOUBLE_EQ(sw->getValue(), 1.0);
  h.wheel({300, 60}, -1.0f);
  EXPECT_DOUBLE_EQ(sw->getValue(), 0.5);
  // A smooth-scroll delta of a tenth (as a float, just above 0.1) still steps.
  h.wheel({300, 60}, 0.1f);
  EXPECT_DOUBLE_EQ(sw->getValue(), 1.0);
  h.wheel({300, 60}, 0.09f);  // smaller: rounds to the nearest position
  EXPECT_DOUBLE_EQ(sw->getValue(), 1.0);
}

TEST(KickButton, ReportsOnceAndReleasesAtOnce) {
  GuiHarness h;
  auto* button = new QRVKickButton(QRVRect{85, 5, 313, 45}, 14);
  h.container->addControl(button);
  EXPECT_EQ(h.press({200, 25}), tk::MouseResult::HandledNoMore);
  h.release({200, 25});
  ASSERT_EQ(h.listener.changes.size(), 1u);
  EXPECT_EQ(h.listener.changes[0], std::make_pair(14, 1.0));
  EXPECT_DOUBLE_EQ(button->getValue(), 0.0);

  button->doubleClickOnly_ = true;
  h.click({200, 25});
  EXPECT_EQ(h.listener.changes.size(), 1u);
  h.click({200, 25}, kQRVLButton | kQRVDoubleClick | kQRVControl);
  ASSERT_EQ(h.listener.changes.size(), 2u);
  EXPECT_DOUBLE_EQ(h.listener.changes[1].second, 0.5);
}

// Records what the dispatch delivers, in container coordinates.
class ProbeControl : public QRVCustomControl {
 public:
  using QRVCustomControl::QRVCustomControl;
  int onMouseDown(QRVPoint, int) override {
    ++downs;
    return kQRVMouseHandled;
  }
  int onMouseMoved(QRVPoint where, int buttons) override {
    last = where;
    if (buttons & kQRVLButton) ++drags;
    return kQRVMouseHandled;
  }
  int onMouseUp(QRVPoint where, int) override {
    last = where;
    ++ups;
    return kQRVMouseHandled;
  }
  int onMouseEntered(QRVPoint, int) override { return ++entered, kQRVMouseHandled; }
  int onMouseExited(QRVPoint, int) override { return ++exited, kQRVMouseHandled; }
  int downs = 0, drags = 0, ups = 0, entered = 0, exited = 0;
  QRVPoint last;
};

TEST(Dispatch, ButtonDownCapturesUntilButtonUpAndHoverIsTracked) {
  GuiHarness h;
  auto* probe = new ProbeControl(QRVRect{10, 10, 60, 60}, 20, nullptr);
  h.container->addControl(probe);
  h.move({100, 100}, 0);
  h.move({30, 30}, 0);
  EXPECT_EQ(probe->entered, 1);
  h.move({35, 30}, 0);
  EXPECT_EQ(probe->entered, 1);
  h.press({30, 30});
  h.move({300, 200});  // far outside: still captured
  EXPECT_EQ(probe->drags, 1);
  EXPECT_DOUBLE_EQ(probe->last.x, 300);
  EXPECT_DOUBLE_EQ(probe->last.y, 200);
  EXPECT_EQ(probe->exited, 0);
  h.release({300, 200});
  EXPECT_EQ(probe->ups, 1);
  EXPECT_EQ(probe->exited, 1);  // the pointer was outside when the capture ended
  h.move({310, 210});
  EXPECT_EQ(probe->drags, 1);
}

TEST(Dispatch, ControlMouseDownReachesTheEngineUnlessTheControlOptsOut) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  h.press(kCompressionCentre, kQRVRButton | kQRVControl);
  ASSERT_EQ(h.engine.mouseDowns.size(), 1u);
  EXPECT_EQ(h.engine.mouseDowns[0], std::make_pair(5, kQRVRButton | kQRVControl));
  knob->setReportMouseDown(false);
  h.press(kCompressionCentre, kQRVRButton);
  EXPECT_EQ(h.engine.mouseDowns.size(), 1u);
  EXPECT_EQ(h.container->getTagAt(QRVPoint{200, 200}, true), 5);
  EXPECT_EQ(h.container->getTagAt(QRVPoint{5, 5}, true), -1);
  // A negative tag leaves the peer's tag alone.
  knob->getPeer()->setTag(-1);
  EXPECT_EQ(knob->getPeer()->getTag(), 5);
}

// Answers like the zoom percentage button: a mouse-down result of 4.
class OddAnswerControl : public QRVCustomControl {
 public:
  using QRVCustomControl::QRVCustomControl;
  int onMouseDown(QRVPoint, int) override { return ++downs, 4; }
  int onMouseMoved(QRVPoint, int) override { return kQRVMouseHandledNoMore; }
  int downs = 0;
};

TEST(Dispatch, AnswersOtherThanHandledReachTheToolkitAsNotHandled) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  auto* odd = new OddAnswerControl(QRVRect{180, 180, 220, 220}, 21, nullptr);
  h.container->addControl(odd);  // on top of the knob
  knob->setValue(0.2);
  // Not handled: the press goes on to the knob beneath, and both report their mouse-down.
  EXPECT_EQ(h.press({200, 200}), tk::MouseResult::Handled);
  EXPECT_EQ(odd->downs, 1);
  EXPECT_TRUE(knob->isEditing());
  h.release({200, 200});
  ASSERT_EQ(h.engine.mouseDowns.size(), 2u);
  EXPECT_EQ(h.engine.mouseDowns[0].first, 21);
  EXPECT_EQ(h.engine.mouseDowns[1].first, 5);
  tk::Point where{200, 200};
  EXPECT_EQ(Quarrytone::PeerView(odd)->onMouseMoved(where, kQRVLButton), tk::MouseResult::NotHandled);
  EXPECT_EQ(Quarrytone::PeerView(odd)->onMouseDown(where, kQRVLButton | 0x800), tk::MouseResult::NotHandled);
  EXPECT_EQ(h.engine.mouseDowns.back().second, kQRVLButton);  // masked with 0x7FE
}

// Starts an edit and wants no further events.
class OneShotControl : public QRVCustomControl {
 public:
  using QRVCustomControl::QRVCustomControl;
  int onMouseDown(QRVPoint, int) override {
    beginEdit();
    return kQRVMouseHandledNoMore;
  }
};

TEST(Dispatch, TheListenerHearsOfAGestureOnlyWhenItsEndWillFollow) {
  GuiHarness h;
  h.container->addControl(new OneShotControl(QRVRect{10, 10, 60, 60}, 22, nullptr));
  EXPECT_EQ(h.press({30, 30}), tk::MouseResult::HandledNoMore);
  h.release({30, 30});
  EXPECT_EQ(h.listener.begins, 0);
  EXPECT_EQ(h.listener.ends, 0);
}

TEST(Zoom, TheSameLayoutPointHitsTheSameSegmentAtEveryZoom) {
  for (double zoom : {0.7, 1.0, 2.5}) {
    SCOPED_TRACE(zoom);
    GuiHarness h;
    auto* sw = new QRVHorizontalSwitch(QRVRect{262, 46, 368, 124}, 0, nullptr);
    sw->positions_ = 3;
    h.container->addControl(sw);
    EXPECT_DOUBLE_EQ(h.frame->zoom(zoom), zoom);
    EXPECT_EQ(h.frame->deviceWidth(), static_cast<int>(std::lround(400 * zoom)));
    h.click({262 + 40, 60});
    EXPECT_DOUBLE_EQ(sw->getValue(), 0.5);
    h.click({262 + 100, 60});
    EXPECT_DOUBLE_EQ(sw->getValue(), 1.0);
    EXPECT_NEAR(h.frame->getLastMousePosition().x, 362, 1e-9);
    EXPECT_NEAR(h.frame->getLastMousePosition().y, 60 + GuiHarness::kBarHeight, 1e-9);
  }
  GuiHarness h;
  EXPECT_DOUBLE_EQ(h.frame->zoom(0.5), 0.7);
  EXPECT_DOUBLE_EQ(h.frame->zoom(5), 4.0);
  EXPECT_DOUBLE_EQ(h.frame->zoom(0.005), 1.0);
  EXPECT_DOUBLE_EQ(h.frame->zoom(0), 1.0);
  // A factor that is not a number never reaches the window: it means 100 %.
  h.frame->zoom(2.0);
  EXPECT_DOUBLE_EQ(h.frame->zoom(std::nan("")), 1.0);
  EXPECT_DOUBLE_EQ(h.frame->getZoom(), 1.0);
  EXPECT_EQ(h.frame->deviceHeight(), 275 + 78);
  EXPECT_DOUBLE_EQ(h.frame->zoom(HUGE_VAL), 4.0);
}

// Value 0..1 shown as a percentage: converters as an owner would install them.
void PercentToText(double value, char* text, int&) { std::snprintf(text, 256, "%d", static_cast<int>(value * 100 + 0.5)); }
void TextToPercent(const char* text, double& value, int&) { value = std::atof(text) / 100.0; }

TEST(TextEdit, TypingEditsAndReturnCommitsThroughTheConverter) {
  GuiHarness h;
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 120, 40}, 9);
  edit->setValueToText(PercentToText);
  edit->setTextToValue(TextToPercent);
  h.container->addControl(edit);
  edit->setValue(0.25);
  EXPECT_STREQ(edit->getText(), "25");
  auto* box = dynamic_cast<tk::TextEdit*>(Quarrytone::PeerView(edit));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->getText(), "25");

  std::size_t before = h.listener.changes.size();
  h.click({70, 30});  // focus selects everything
  EXPECT_EQ(h.frame->getFocusView(), box);
  h.headless->type("40");
  EXPECT_EQ(box->getText(), "40");
  h.key(tk::VirtualKey::Home);
  h.headless->type("1");
  h.key(tk::VirtualKey::End);
  h.key(tk::VirtualKey::Back);
  h.headless->type("2");
  EXPECT_EQ(box->getText(), "142");
  h.key(tk::VirtualKey::Home);
  h.key(tk::VirtualKey::Delete);
  EXPECT_EQ(box->getText(), "42");
  h.key(tk::VirtualKey::Return);
  EXPECT_EQ(h.frame->getFocusView(), nullptr);
  EXPECT_DOUBLE_EQ(edit->getValue(), 0.42);
  EXPECT_STREQ(edit->getText(), "42");
  ASSERT_FALSE(h.listener.changes.empty());
  EXPECT_EQ(h.listener.changes.back().first, 9);
  EXPECT_DOUBLE_EQ(h.listener.changes.back().second, 0.42);
  EXPECT_EQ(h.listener.changes.size(), before + 1);  // one report per commit
  EXPECT_FALSE(edit->isEditing());

  // Escape restores the text from before the edit and reports nothing.
  std::size_t reports = h.listener.changes.size();
  h.click({70, 30});
  h.headless->type("99");
  h.key(tk::VirtualKey::Escape);
  EXPECT_EQ(box->getText(), "42");
  EXPECT_DOUBLE_EQ(edit->getValue(), 0.42);
  EXPECT_EQ(h.listener.changes.size(), reports);

  // Clicking elsewhere commits as well.
  h.click({70, 30});
  h.headless->type("7");
  h.click({300, 200});
  EXPECT_DOUBLE_EQ(edit->getValue(), 0.07);
}

TEST(TextEdit, TheWheelStepsTheFieldWithinItsRangeOnceStepsAreSet) {
  GuiHarness h;
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 120, 40}, 9);
  h.container->addControl(edit);
  edit->setValue(0.5);
  auto* peer = static_cast<QRVEngineTextEdit*>(edit->getPeer());
  EXPECT_FALSE(h.wheel({70, 30}, 1.0f));  // no steps: the field ignores the wheel
  peer->setWheelSteps(1);
  EXPECT_FALSE(h.wheel({70, 30}, 1.0f));
  peer->setWheelSteps(10);
  EXPECT_TRUE(h.wheel({70, 30}, 1.0f));
  ASSERT_EQ(h.listener.changes.size(), 1u);
  EXPECT_NEAR(h.listener.changes.back().second, 0.6, 1e-12);  // no range set: within 0..1
  h.wheel({70, 30}, 9.0f);
  EXPECT_DOUBLE_EQ(h.listener.changes.back().second, 1.0);
  peer->setRange(0, 20);
  peer->setPrecision(1);
  h.wheel({70, 30}, 5.0f);
  EXPECT_NEAR(h.listener.changes.back().second, 1.5, 1e-12);
  EXPECT_EQ(dynamic_cast<tk::TextEdit*>(Quarrytone::PeerView(edit))->getText(), "1.5");
}

TEST(TextEdit, LinkedValueControlReceivesTheConvertedValue) {
  GuiHarness h;
  QRVAnimKnob* knob = AddCompressionKnob(h);
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 120, 40}, 30);
  edit->setTextToValue(TextToPercent);
  edit->setLinkedValueControl(knob);
  h.container->addControl(edit);
  h.click({70, 30});
  h.headless->type("80");
  h.key(tk::VirtualKey::Return);
  EXPECT_DOUBLE_EQ(knob->getValue(), 0.8);
  bool knobReported = false;
  for (auto& c : h.listener.changes) knobReported = knobReported || (c.first == 5 && c.second == 0.8);
  EXPECT_TRUE(knobReported);
}

TEST(Containers, RemovedControlsKeepTheirPeerAndCanComeBack) {
  GuiHarness h;
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 120, 40}, 31);
  h.container->addControl(edit);
  EXPECT_TRUE(h.container->containsControl(edit, false));
  EXPECT_TRUE(h.container->removeControl(edit));
  EXPECT_EQ(edit->getContainer(), nullptr);
  EXPECT_FALSE(h.container->containsControl(edit, true));
  ASSERT_NE(edit->getPeer(), nullptr);
  EXPECT_TRUE(h.container->addControl(edit));
  EXPECT_EQ(edit->getContainer(), h.container);
  EXPECT_TRUE(h.container->removeControl(edit));
  // Destroying a control taken out of its container frees its peer too.
  delete edit;
}

}  // namespace
}  // namespace qrv::test
