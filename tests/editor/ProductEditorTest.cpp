// The product panel in the real editor window: what each control reports, what controller values
// show, resets, the about box and the needle's motion between meter readings.
#include <gtest/gtest.h>

#include "dsp/ParameterSet.h"
#include "presets/IndexTable.h"
#include "tests/editor/EditorTestSupport.h"

namespace qrv::test {
namespace {

using ProductEditor = EditorFixture;

TEST_F(ProductEditor, EachKnobReportsItsSlotAndTheSwitchReportsTheModeInverted) {
  Open();
  for (int slot : {kSlotTime, kSlotCompression, kSlotOutput, kSlotRatio, kSlotAttackRatio, kSlotValveLevel}) {
    QRVAnimKnob* k = editor().knob(slot);
    ASSERT_NE(k, nullptr) << slot;
    window->valueChangedByController(slot, 0.0);
    window->reports.clear();
    const QRVPoint c = Centre(k);
    Press(c);
    Move(QRVPoint{c.x, c.y - 30}, kQRVLButton);
    Release(QRVPoint{c.x, c.y - 30});
    ASSERT_FALSE(window->reports.empty()) << slot;
    // 30 points up over the knob's drag length.
    EXPECT_EQ(window->reports.back().first, slot);
    EXPECT_NEAR(window->reports.back().second, 30.0 / k->dragPixels_, 1e-9) << slot;
    EXPECT_DOUBLE_EQ(k->getValue(), window->reports.back().second);
  }

  // Left, middle and right third: Valve, Clear, Off.
  QRVHorizontalSwitch* s = editor().modeSwitch();
  ASSERT_NE(s, nullptr);
  const QRVRect r = s->getViewSize();
  const double third = r.getWidth() / 3;
  const std::pair<double, double> expected[] = {{0.5, 1.0}, {1.5, 0.5}, {2.5, 0.0}};
  for (auto [at, mode] : expected) {
    window->reports.clear();
    Click(QRVPoint{r.left + third * at, r.top + 10});
    ASSERT_FALSE(window->reports.empty());
    EXPECT_EQ(window->reports.back(), std::make_pair(0, mode));
  }

  // The name button asks for the about box; the meter reports nothing.
  window->reports.clear();
  Click(QRVPoint{120, 40});
  EXPECT_EQ(window->reports, (std::vector<std::pair<int, double>>{{kMessageShowAbout, 1.0}}));
  window->valueChangedByController(kMessageHideAbout, 1.0);
  window->reports.clear();
  Click(QRVPoint{175, 100});
  EXPECT_TRUE(window->reports.empty());
}

TEST_F(ProductEditor, ControllerValuesSetTheControlsAndTheMeterLamp) {
  Open();
  QRVHorizontalSwitch* s = editor().modeSwitch();
  COldVuMeter2* m = editor().meter();
  ASSERT_NE(s, nullptr);
  ASSERT_NE(m, nullptr);
  // Valve, Clear, Off: top, middle and bottom frame (switch values 0, 0.5, 1); the lamp goes dark for Off.
  window->valueChangedByController(kSlotProcess, 1.0);
  EXPECT_DOUBLE_EQ(s->getValue(), 0.0);
  EXPECT_TRUE(m->lamp());
  window->valueChangedByController(kSlotProcess, 0.5);
  EXPECT_DOUBLE_EQ(s->getValue(), 0.5);
  EXPECT_TRUE(m->lamp());
  window->valueChangedByController(kSlotProcess, 0.0);
  EXPECT_DOUBLE_EQ(s->getValue(), 1.0);
  EXPECT_FALSE(m->lamp());
  for (int slot : {kSlotRatio, kSlotAttackRatio, kSlotTime, kSlotCompression, kSlotOutput, kSlotValveLevel}) {
    window->valueChangedByController(slot, 0.25);
    EXPECT_DOUBLE_EQ(editor().knob(slot)->getValue(), 0.25) << slot;
  }
  // Out of range and unknown indices change nothing.
  window->valueChangedByController(kSlotTime, 7.0);
  EXPECT_DOUBLE_EQ(editor().knob(kSlotTime)->getValue(), 1.0);
  window->valueChangedByController(95, 1.0);
  window->valueChangedByController(-3, 1.0);
  EXPECT_DOUBLE_EQ(editor().knob(kSlotTime)->getValue(), 1.0);
  // A knob being dragged ignores the host's echo.
  QRVAnimKnob* k = editor().knob(kSlotCompression);
  Press(Centre(k));
  window->valueChangedByController(kSlotCompression, 0.9);
  EXPECT_DOUBLE_EQ(k->getValue(), 0.25);
  Release(Centre(k));
}

TEST_F(ProductEditor, AWheelNotchMovesEachKnobByHalfItsStepAndShiftByTheFineShare) {
  Open();
  struct Case {
    int slot;
    double step, fine;
  };
  const Case cases[] = {{kSlotTime, 0.1, 0.5},      {kSlotCompression, 0.05, 0.2},    {kSlotOutput, 1.0 / 60, 0.2},
                        {kSlotRatio, 1.0 / 6, 1.0}, {kSlotAttackRatio, 1.0 / 7, 1.0}, {kSlotValveLevel, 1.0 / 7, 1.0}};
  for (const Case& c : cases) {
    window->valueChangedByController(c.slot, 0.5);
    const QRVPoint at = Centre(editor().knob(c.slot));
    window->reports.clear();
    headless().wheel(Device(at), 1.0f);
    ASSERT_EQ(window->reports.size(), 1u) << c.slot;
    EXPECT_NEAR(window->reports.back().second, 0.5 + c.step / 2, 1e-12) << c.slot;
    headless().wheel(Device(at), -1.0f, kQRVShift);
    EXPECT_NEAR(window->reports.back().second, 0.5 + c.step / 2 - c.step * c.fine / 2, 1e-12) << c.slot;
  }
}

TEST_F(ProductEditor, AltClickAndDoubleClickResetKnobsToTheirDefaultsAndTheSwitchToValve) {
  Open();
  QRVAnimKnob* out = editor().knob(kSlotOutput);
  window->valueChangedByController(kSlotOutput, 0.7);
  window->reports.clear();
  Click(Centre(out), kQRVLButton | kQRVAlt);
  EXPECT_EQ(window->reports, (std::vector<std::pair<int, double>>{{kSlotOutput, 0.0}}));
  window->valueChangedByController(kSlotTime, 0.9);
  window->reports.clear();
  Click(Centre(editor().knob(kSlotTime)), kQRVLButton | kQRVDoubleClick);
  EXPECT_EQ(window->reports, (std::vector<std::pair<int, double>>{{kSlotTime, 0.5}}));

  // The switch resets to the parameter's default, Valve, from Off and from Clear.
  QRVHorizontalSwitch* s = editor().modeSwitch();
  for (double from : {0.0, 0.5}) {
    window->valueChangedByController(kSlotProcess, from);
    window->reports.clear();
    Click(Centre(s), kQRVLButton | kQRVAlt);
    EXPECT_EQ(window->reports,
              (std::vector<std::pair<int, double>>{{kSlotProcess, GetParameterDefault(kSlotProcess)}}));
    EXPECT_DOUBLE_EQ(s->getValue(), 0.0);  // the Valve frame
  }
  window->valueChangedByController(kSlotProcess, 0.0);
  window->reports.clear();
  Click(Centre(s), kQRVLButton | kQRVDoubleClick);
  EXPECT_EQ(window->reports, (std::vector<std::pair<int, double>>{{kSlotProcess, 1.0}}));
}

TEST_F(ProductEditor, TheAboutBoxOpensFromTheNameClosesOnAClickAndOpensTheAddressFromItsLink) {
  Open();
  QRVViewContainer* about = editor().aboutContainer();
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(window->containsContainer(about));
  Click(QRVPoint{200, 25});
  EXPECT_TRUE(window->containsContainer(about));
  EXPECT_STREQ(editor().about()->versionText(), "v.2.3.0");

  // The link opens the address and leaves the box up; its edges count.
  Click(QRVPoint{CInfo::kLinkRect.left, CInfo::kLinkRect.bottom});
  EXPECT_EQ(shell.opened, (std::vector<std::string>{CInfo::kAddress}));
  EXPECT_TRUE(window->containsContainer(about));

  // The box covers the name button: a click there closes the box instead.
  window->reports.clear();
  Click(QRVPoint{200, 25});
  EXPECT_EQ(window->reports, (std::vector<std::pair<int, double>>{{kMessageHideAbout, 1.0}}));
  EXPECT_FALSE(window->containsContainer(about));
  EXPECT_EQ(shell.opened.size(), 1u);
  Click(QRVPoint{200, 25});
  EXPECT_TRUE(window->containsContainer(about));

  // Hidden at every open, whether it was up at the close or not.
  window->close();
  ASSERT_TRUE(window->open(tk::PlatformType::Headless));
  EXPECT_FALSE(window->containsContainer(editor().aboutContainer()));
}

TEST_F(ProductEditor, TheNeedleMovesBetweenReadingsAndHoldsTheLatestWhenTheyStop) {
  Open();
  COldVuMeter2* m = editor().meter();
  clock.ticks = 10000;
  window->valueChangedByController(kSlotGainReduction, 0.2);
  clock.Advance(100);
  window->valueChangedByController(kSlotGainReduction, 0.4);
  // A new reading makes the needle jump to the reading before it.
  window->idle();
  EXPECT_DOUBLE_EQ(m->getValue(), 0.2);
  clock.Advance(50);
  window->idle();
  EXPECT_NEAR(m->getValue(), 0.3, 1e-12);
  clock.Advance(50);
  window->idle();
  EXPECT_NEAR(m->getValue(), 0.4, 1e-12);
  // No reading for a long time: the needle stays at the latest one instead of running on.
  for (int i = 0; i < 10; ++i) {
    clock.Advance(100);
    window->idle();
    EXPECT_NEAR(m->getValue(), 0.4, 1e-12);
  }
  // A late reading is reached over the time it took to come (1100 ms here); then the needle holds it
  // rather than running down to the clamp.
  window->valueChangedByController(kSlotGainReduction, 0.1);
  clock.Advance(100);
  window->idle();
  EXPECT_NEAR(m->getValue(), 0.4, 1e-12);
  clock.Advance(450);
  window->idle();
  EXPECT_NEAR(m->getValue(), 0.25, 1e-12);
  clock.Advance(550);
  window->idle();
  EXPECT_NEAR(m->getValue(), 0.1, 1e-12);
  clock.Advance(5000);
  window->idle();
  EXPECT_NEAR(m->getValue(), 0.1, 1e-12);

  // Two readings that arrive at the same tick: the needle shows the earlier one.
  window->valueChangedByController(kSlotGainReduction, 0.6);
  window->valueChangedByController(kSlotGainReduction, 0.8);
  window->idle();
  clock.Advance(40);
  window->idle();
  EXPECT_DOUBLE_EQ(m->getValue(), 0.6);

  // A meter reset drops the needle to rest and forgets the readings.
  window->valueChangedByController(kMessageMeterReset, 1.0);
  EXPECT_DOUBLE_EQ(m->getValue(), 0.0);
  clock.Advance(40);
  window->idle();
  window->idle();
  EXPECT_DOUBLE_EQ(m->getValue(), 0.0);
}

TEST_F(ProductEditor, MissingWindowMeansNoControlsAndClosedEditorIgnoresEverything) {
  warmGlowEditor loose(nullptr);
  EXPECT_FALSE(loose.Open());
  loose.ControllerValueChanged(kSlotTime, 0.3);
  loose.ControllerValueChanged(kMessageShowAbout, 1.0);
  loose.ControlValueChanged(kSlotTime, 0.3);
  loose.Idle();
  EXPECT_EQ(loose.knob(kSlotTime), nullptr);

  Open();
  window->close();
  EXPECT_EQ(editor().meter(), nullptr);
  window->valueChangedByController(kSlotGainReduction, 0.5);
  window->valueChangedByController(kMessageBrowserOpening, 1.0);
  window->idle();
  EXPECT_EQ(editor().knob(kSlotOutput), nullptr);
}

}  // namespace
}  // namespace qrv::test
