// Port units against the engine: every displayed step and every factory value must select, through the
// port, the same engine step as its normalised value does.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "controller/HostControls.h"

namespace qrv::lv2 {
namespace {

std::string Display(unsigned slot, double v) {
  char text[16] = {};
  GetParameterDisplay(slot, v, text, sizeof text);
  return text;
}

std::string TwoDecimals(float x) {
  char text[16] = {};
  FormatTwoDecimals(x, text, sizeof text);
  return text;
}

const hostcontrols::ControlPort& Port(unsigned slot) { return *hostcontrols::FindControlPort(slot); }

TEST(Lv2Ports, EveryStepOfTheEnumerationsShowsItsScalePointAndSelectsThatStep) {
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
    if (p.kind != hostcontrols::ControlKind::kEnumeration) continue;
    ASSERT_EQ(hostcontrols::ScalePointCount(p), static_cast<int>(p.maximum) + 1) << p.symbol;
    for (int n = 0; n < hostcontrols::ScalePointCount(p); ++n) {
      const double v = hostcontrols::ToNormalised(p, static_cast<float>(n));
      EXPECT_DOUBLE_EQ(v, n / static_cast<double>(p.maximum));
      char label[16] = {};
      hostcontrols::ScalePointLabel(p, n, label, sizeof label);
      EXPECT_EQ(label, Display(p.slot, v)) << p.symbol << " " << n;
      EXPECT_FALSE(std::string(label).empty());
      EXPECT_EQ(hostcontrols::EngineStep(p, v), n) << p.symbol << " " << n;
      EXPECT_EQ(hostcontrols::FromNormalised(p, v), static_cast<float>(n));
    }
  }
  char label[16] = {};
  hostcontrols::ScalePointLabel(Port(kSlotRatio), 6, label, sizeof label);
  EXPECT_STREQ(label, "10:1");
  hostcontrols::ScalePointLabel(Port(kSlotProcess), 1, label, sizeof label);
  EXPECT_STREQ(label, "Clear");
  hostcontrols::ScalePointLabel(Port(kSlotValveLevel), 7, label, sizeof label);
  EXPECT_STREQ(label, "");
}

TEST(Lv2Ports, OutputDecibelsAreTheEngineStepsAndTheirDisplay) {
  const hostcontrols::ControlPort& out = Port(kSlotOutput);
  for (int k = 0; k <= 60; ++k) {
    const float db = static_cast<float>(k) * 0.5f;
    const double v = hostcontrols::ToNormalised(out, db);
    EXPECT_EQ(hostcontrols::EngineStep(out, v), k);
    EXPECT_EQ(hostcontrols::EngineStep(out, v), hostcontrols::EngineStep(out, k / 60.0));
    EXPECT_EQ(Display(kSlotOutput, v), TwoDecimals(db));
    EXPECT_EQ(hostcontrols::FromNormalised(out, v), db);
  }
  // Factory output values between display steps: the port shows the step the engine takes.
  const std::array<std::pair<double, float>, 12> factory = {{{0.15, 4.5f},
                                                             {0.1, 3.0f},
                                                             {0.3, 9.0f},
                                                             {0.133, 4.0f},
                                                             {0.425, 13.0f},
                                                             {0.183, 5.5f},
                                                             {0.166, 5.0f},
                                                             {0.216, 6.5f},
                                                             {0.233, 7.0f},
                                                             {0.083, 2.5f},
                                                             {0.116, 3.5f},
                                                             {0.0, 0.0f}}};
  for (const auto& [v, db] : factory) {
    EXPECT_EQ(hostcontrols::FromNormalised(out, v), db) << v;
    EXPECT_EQ(hostcontrols::EngineStep(out, hostcontrols::ToNormalised(out, db)), hostcontrols::EngineStep(out, v))
        << v;
  }
  // A port value between steps rounds like the engine: 4.3 dB is step 9.
  EXPECT_EQ(hostcontrols::EngineStep(out, hostcontrols::ToNormalised(out, 4.3f)), 9);
}

TEST(Lv2Ports, TimeAndCompressionReadTheirDisplayScaleExactly) {
  const hostcontrols::ControlPort& comp = Port(kSlotCompression);
  for (int q = 0; q <= 40; ++q) {
    const float shown = static_cast<float>(q) * 0.25f;
    const double v = hostcontrols::ToNormalised(comp, shown);
    EXPECT_EQ(v, q / 40.0);  // bit for bit, so the engine cannot tell port from preset
    EXPECT_EQ(hostcontrols::EngineStep(comp, v), CompressionStep(q / 40.0));
    EXPECT_EQ(Display(kSlotCompression, v), TwoDecimals(shown));
  }
  const hostcontrols::ControlPort& time = Port(kSlotTime);
  for (int h = 0; h <= 20; ++h) {
    const float shown = static_cast<float>(h) * 0.5f;
    EXPECT_EQ(hostcontrols::ToNormalised(time, shown), h / 20.0);
    EXPECT_EQ(Display(kSlotTime, hostcontrols::ToNormalised(time, shown)), TwoDecimals(shown));
  }
  EXPECT_EQ(hostcontrols::EngineStep(time, 0.5), -1);
  // The engine's drive curve is not the display's: 5.00 is drive step 25.
  EXPECT_EQ(hostcontrols::EngineStep(comp, hostcontrols::ToNormalised(comp, 5.0f)), 25);
}

TEST(Lv2Ports, EveryFactoryValueSurvivesThePortUnchanged) {
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    std::array<double, kPresetValueCount> values{};
    GetFactoryPreset(i, values.data(), nullptr, nullptr);
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
      const double v = values[p.slot];
      const double back = hostcontrols::ToNormalised(p, hostcontrols::FromNormalised(p, v));
      if (p.slot == kSlotTime || p.slot == kSlotCompression) {
        EXPECT_EQ(back, v) << i << " " << p.symbol;
      } else {
        EXPECT_EQ(hostcontrols::EngineStep(p, back), hostcontrols::EngineStep(p, v)) << i << " " << p.symbol;
      }
    }
  }
  // "Ratio" 0.1667 is 1.5:1 and 0.8333 is 6:1.
  EXPECT_EQ(hostcontrols::FromNormalised(Port(kSlotRatio), 0.1667), 1.0f);
  EXPECT_EQ(hostcontrols::FromNormalised(Port(kSlotRatio), 0.8333), 5.0f);
  // Where engine and display disagree, the port follows the engine.
  EXPECT_EQ(hostcontrols::FromNormalised(Port(kSlotRatio), 0.08333333), 1.0f);
}

// The step the engine itself takes for v, read back from its state.
// One engine for every probe: a step depends only on the value set, and an engine is costly to build
// (its oversampled valve stage is allocated up front).
int EngineOwnStep(unsigned slot, double v) {
  static warmGlowEffect engine;
  engine.SetParameter(slot, v);
  switch (slot) {
    case kSlotProcess: return engine.modeStep();
    case kSlotRatio: return engine.ratioStep();
    case kSlotAttackRatio: return engine.attackStep();
    case kSlotValveLevel: return engine.valveStep();
    case kSlotCompression:
      for (int k = 0; k <= kDriveStepMax; ++k) {
        if (DriveOfStep(k) == engine.driveTarget()) return k;
      }
      return -1;
    case kSlotOutput:
      for (int k = 0; k <= kOutputStepMax; ++k) {
        if (OutputGainOfStep(k) == engine.outputTarget()) return k;
      }
      return -1;
    default: return -2;
  }
}

// Values either side of every rounding threshold of every stepped control, in double and in single precision,
// where the precisions of the engine's rounding part ways.
std::vector<double> ThresholdProbes(int steps) {
  std::vector<double> probes;
  for (int n = 0; n <= 2 * steps + 1; ++n) {
    const double edge = n / (2.0 * steps);
    for (double v : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1.0),
                     static_cast<double>(std::nextafter(static_cast<float>(edge), 0.0f)),
                     static_cast<double>(std::nextafter(static_cast<float>(edge), 1.0f)), edge - 1e-9, edge + 1e-9}) {
      if (v >= 0.0 && v <= 1.0) probes.push_back(v);
    }
  }
  // Factory-style four-digit values and the values a host sends for a port.
  for (int i = 0; i <= 10000; i += 7) probes.push_back(i / 10000.0);
  return probes;
}

TEST(Lv2Ports, StepRoundingIsTheEnginesOwn) {
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
    if (p.slot == kSlotTime) continue;  // read continuously
    const int steps = ControlShapeOf(p.slot).engineSteps;
    for (double v : ThresholdProbes(steps)) {
      const int engine = EngineOwnStep(p.slot, v);
      ASSERT_EQ(hostcontrols::EngineStep(p, v), engine) << p.symbol << " v=" << v;
      // The port shows the engine's step, and that value selects it again.
      const double back = hostcontrols::ToNormalised(p, hostcontrols::FromNormalised(p, v));
      if (p.kind == hostcontrols::ControlKind::kEnumeration || p.slot == kSlotOutput) {
        ASSERT_EQ(EngineOwnStep(p.slot, back), engine) << p.symbol << " v=" << v;
      }
    }
  }
}

TEST(Lv2Ports, OutOfRangeAndNonFinitePortValuesAreTamed) {
  const hostcontrols::ControlPort& ratio = Port(kSlotRatio);
  EXPECT_EQ(hostcontrols::ToNormalised(ratio, 9.0f), 1.0);
  EXPECT_EQ(hostcontrols::ToNormalised(ratio, -3.0f), 0.0);
  EXPECT_EQ(hostcontrols::ToNormalised(ratio, 2.4f), 2.0 / 6.0);
  EXPECT_EQ(hostcontrols::ToNormalised(ratio, 2.6f), 3.0 / 6.0);
  EXPECT_EQ(hostcontrols::ToNormalised(ratio, std::numeric_limits<float>::infinity()), 1.0);
  EXPECT_EQ(hostcontrols::ToNormalised(Port(kSlotOutput), std::numeric_limits<float>::quiet_NaN()),
            GetParameterDefault(kSlotOutput));
  EXPECT_EQ(hostcontrols::ToNormalised(Port(kSlotOutput), 45.0f), 1.0);
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
    EXPECT_EQ(hostcontrols::ToNormalised(p, hostcontrols::DefaultValue(p)), GetParameterDefault(p.slot)) << p.symbol;
  }
}

TEST(Lv2Ports, MeterReadingsBecomeDecibelsInTheirRanges) {
  EXPECT_FLOAT_EQ(hostcontrols::LevelDb(1.0f), 0.0f);
  EXPECT_NEAR(hostcontrols::LevelDb(-0.5f), -6.0206f, 1e-3);
  EXPECT_EQ(hostcontrols::LevelDb(0.0f), hostcontrols::kLevelFloorDb);
  EXPECT_EQ(hostcontrols::LevelDb(std::numeric_limits<float>::quiet_NaN()), hostcontrols::kLevelFloorDb);
  EXPECT_EQ(hostcontrols::LevelDb(1e9f), hostcontrols::kLevelCeilingDb);
  EXPECT_EQ(hostcontrols::GainReductionDb(0.0), 0.0f);
  EXPECT_NEAR(hostcontrols::GainReductionDb(0.5), -6.0206f, 1e-3);
  EXPECT_EQ(hostcontrols::GainReductionDb(1.0), hostcontrols::kGainReductionFloorDb);
  EXPECT_EQ(hostcontrols::GainReductionDb(std::numeric_limits<double>::quiet_NaN()), 0.0f);
  EXPECT_EQ(hostcontrols::GainReductionDb(-3.0), 0.0f);
}

}  // namespace
}  // namespace qrv::lv2
