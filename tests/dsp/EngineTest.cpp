#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "tests/dsp/ReferenceModel.h"

namespace qrv {
namespace {

constexpr double kRate = 44100.0;

std::vector<float> Sine(double freq, double amp, int frames, double rate = kRate) {
  std::vector<float> x(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) x[static_cast<std::size_t>(i)] = static_cast<float>(amp * std::sin(6.283185307179586 * freq * i / rate));
  return x;
}

void ProcessStereo(warmGlowEffect& fx, const std::vector<float>& l, const std::vector<float>& r,
                   std::vector<float>& outL, std::vector<float>& outR, int block) {
  outL.resize(l.size());
  outR.resize(l.size());
  for (std::size_t pos = 0; pos < l.size(); pos += static_cast<std::size_t>(block)) {
    const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), l.size() - pos));
    const float* in[2] = {l.data() + pos, r.data() + pos};
    float* out[2] = {outL.data() + pos, outR.data() + pos};
    fx.ProcessBlock(in, out, n);
  }
}

TEST(Engine, GainCurvesMatchTheirTabulatedValues) {
  const double expected[3][7] = {
      {0.8286, 0.7714, 0.7622, 0.7471, 0.7381, 0.7504, 0.7640},
      {0.6727, 0.5636, 0.5010, 0.4352, 0.3802, 0.3581, 0.3384},
      {0.5200, 0.3600, 0.2682, 0.2004, 0.1503, 0.1280, 0.1090},
  };
  const double V[3] = {1.0, 3.0, 10.0};
  for (int v = 0; v < 3; ++v)
    for (int step = 0; step < 7; ++step) EXPECT_NEAR(GainCurve(step, V[v]), expected[v][step], 5e-5) << step << " " << V[v];
  // Every curve tends to 1 as the level vanishes.
  for (int step = 0; step < 7; ++step) EXPECT_NEAR(GainCurve(step, 1e-6), 1.0, 1e-3) << step;
}

TEST(Engine, ValveStageIsAsymmetricWithUnitSlope) {
  EXPECT_NEAR(ValveShape(1.0, 1.0, 1.0), 0.7854, 5e-5);
  EXPECT_NEAR(ValveShape(-1.0, 1.0, 1.0), -0.8827, 5e-5);
  EXPECT_NEAR(ValveShape(1e-6, 1.0, 1.0) / 1e-6, 1.0, 1e-6);
  EXPECT_NEAR(ValveShape(-1e-6, 1.0, 1.0) / -1e-6, 1.0, 1e-6);
  EXPECT_LT(ValveShape(1e6, 1.0, 1.0), 3.14159265 / 2);
  EXPECT_GT(ValveShape(-1e6, 1.0, 1.0), -1.5625 - 1e-12);
}

TEST(Engine, DriveAndOutputTablesFollowTheirSteps) {
  EXPECT_DOUBLE_EQ(DriveOfStep(0), 0.125);
  EXPECT_DOUBLE_EQ(DriveOfStep(40), 128.0);
  EXPECT_NEAR(20.0 * std::log10(DriveOfStep(25)), 19.57, 0.005);
  EXPECT_NEAR(20.0 * std::log10(OutputGainOfStep(9)), 4.5, 1e-12);
  EXPECT_NEAR(20.0 * std::log10(OutputGainOfStep(60)), 30.0, 1e-12);

  warmGlowEffect fx;
  fx.SetParameter(kSlotValveLevel, 0.0);
  EXPECT_EQ(fx.valveStep(), 0);
  EXPECT_DOUBLE_EQ(fx.valveDrive(), 0.14285714285714285);
  EXPECT_DOUBLE_EQ(fx.valveMakeUp(), 7.0);
  fx.SetParameter(kSlotValveLevel, 1.5);  // step 9: no table entry, neutral valve
  EXPECT_EQ(fx.valveDrive(), 1.0);
  EXPECT_EQ(fx.valveMakeUp(), 1.0);
  fx.SetParameter(kSlotTime, 1.0);
  EXPECT_NEAR(fx.timeFactor(), 0.5, 1e-12);
  fx.SetParameter(kSlotTime, 0.0);
  EXPECT_NEAR(fx.timeFactor(), 0.005, 1e-15);
  fx.SetParameter(kSlotRatio, 0.08333333);  // single precision: 1.5:1
  EXPECT_EQ(fx.ratioStep(), 1);
  // A non-finite value is ignored rather than turned into an undefined step.
  fx.SetParameter(kSlotCompression, std::nan(""));
  fx.SetParameter(kSlotTime, INFINITY);
  EXPECT_NEAR(fx.timeFactor(), 0.005, 1e-15);
  EXPECT_DOUBLE_EQ(fx.driveTarget(), DriveOfStep(25));
}

TEST(Engine, AGainBeyondDoubleRangeIsIgnoredAndCannotPoisonTheGlide) {
  // Values far outside 0..1 still follow the step formulas, but a drive or output gain that
  // overflows to infinity would turn the smoothed gain into NaN for good once a sane value returns.
  warmGlowEffect fx;
  fx.SetParameter(kSlotCompression, 0.75);
  fx.SetParameter(kSlotOutput, 0.3);
  const double drive = fx.driveTarget(), output = fx.outputTarget();
  fx.SetParameter(kSlotCompression, 1e6);
  fx.SetParameter(kSlotOutput, 1e6);
  EXPECT_EQ(fx.driveTarget(), drive);
  EXPECT_EQ(fx.outputTarget(), output);
  // Large but representable gains are still taken as they come.
  fx.SetParameter(kSlotOutput, 2.0);
  EXPECT_DOUBLE_EQ(fx.outputTarget(), OutputGainOfStep(120));

  const auto sig = Sine(440.0, 0.5, 2048);
  std::vector<float> outL, outR;
  fx.SetParameter(kSlotOutput, 1e6);
  fx.SetParameter(kSlotCompression, 1e6);
  ProcessStereo(fx, sig, sig, outL, outR, 512);
  fx.SetParameter(kSlotCompression, 0.5);
  fx.SetParameter(kSlotOutput, 0.15);
  ProcessStereo(fx, sig, sig, outL, outR, 512);
  for (std::size_t i = 0; i < outL.size(); ++i) ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i])) << i;
  EXPECT_TRUE(std::isfinite(fx.drive()));
  EXPECT_TRUE(std::isfinite(fx.outputGain()));
}

TEST(Engine, SilenceSettlesTheMeterOnTheFloorOfEachCurve) {
  const double expected[7] = {0.00749, 0.00999, 0.00703, 0.00394, 0.00047, 0.00040, 0.00033};
  std::vector<float> zeros(4096, 0.0f), outL, outR;
  for (int step = 0; step < 7; ++step) {
    warmGlowEffect fx;
    fx.SetParameter(kSlotProcess, 0.5);
    fx.SetParameter(kSlotRatio, step / 6.0);
    fx.Reset();
    for (int i = 0; i < 40; ++i) ProcessStereo(fx, zeros, zeros, outL, outR, 512);
    double meter = -1.0;
    ASSERT_TRUE(fx.GetMeter(kSlotGainReduction, &meter));
    EXPECT_NEAR(meter, 1.0 - GainCurve(step, std::sqrt(0.001)), 1e-7) << step;
    EXPECT_NEAR(meter, expected[step], 5e-6) << step;
    EXPECT_EQ(fx.envelope(), 0.001);
    // Only the dither comes out: below 1e-10 * outputGain / drive.
    for (float s : outL) EXPECT_LT(std::fabs(s), 1e-10 * fx.outputGain() / fx.drive());
  }
}

TEST(Engine, DriveGlidesByATenthOfAPercentPerFrame) {
  warmGlowEffect fx;
  fx.SetParameter(kSlotCompression, 0.0);
  fx.Reset();
  EXPECT_DOUBLE_EQ(fx.drive(), 0.125);
  fx.SetParameter(kSlotCompression, 1.0);
  std::vector<float> zeros(1000, 0.0f), outL, outR;
  ProcessStereo(fx, zeros, zeros, outL, outR, 1000);
  const double expected = 128.0 - (128.0 - 0.125) * std::pow(0.999, 1000);
  EXPECT_NEAR(fx.drive(), expected, 1e-9 * expected);
}

TEST(Engine, FasterAttackStepsRiseFurtherInTheSameTime) {
  // After a step from silence the envelope filter runs 56, 10 or 1 steps per frame while the level
  // rises (attack steps 0, 3, 6), so after the same few frames it has risen furthest at step 0.
  auto envelopeAfter = [](double attack, int frames) {
    warmGlowEffect fx;
    fx.SetParameter(kSlotAttackRatio, attack);
    fx.Reset();
    const auto loud = Sine(1000.0, 0.5, frames);
    std::vector<float> outL, outR;
    ProcessStereo(fx, loud, loud, outL, outR, 64);
    return fx.envelope();
  };
  for (int frames : {32, 256, 2048}) {
    const double fast = envelopeAfter(0.0, frames), mid = envelopeAfter(0.5, frames),
                 slow = envelopeAfter(1.0, frames);
    EXPECT_GT(fast, mid) << frames;
    EXPECT_GT(mid, slow) << frames;
  }
}

TEST(Engine, ReleaseSlowsAfterLoudPassages) {
  // Same level drop, once after a short burst and once after a long loud passage: the envelope
  // corner falls with F < S, so the long passage releases more slowly.
  auto remainingAfterDrop = [](int loudFrames) {
    warmGlowEffect fx;
    fx.SetParameter(kSlotCompression, 0.8);
    fx.Reset();
    std::vector<float> outL, outR;
    const auto loud = Sine(200.0, 0.7, loudFrames);
    ProcessStereo(fx, loud, loud, outL, outR, 256);
    const double peak = fx.envelope();
    const std::vector<float> quiet(4410, 0.0f);
    ProcessStereo(fx, quiet, quiet, outL, outR, 256);
    return fx.envelope() / peak;
  };
  EXPECT_GT(remainingAfterDrop(88200), remainingAfterDrop(4410));
}

TEST(Engine, MonoAndStereoDetectorsDiffer) {
  const auto sig = Sine(300.0, 0.5, 22050);
  const std::vector<float> zeros(sig.size(), 0.0f);
  warmGlowEffect mono, stereo;
  std::vector<float> out(sig.size()), outL, outR;
  const float* in[2] = {sig.data(), nullptr};
  float* o[2] = {out.data(), nullptr};
  mono.ProcessBlock(in, o, static_cast<int32_t>(sig.size()));
  ProcessStereo(stereo, sig, zeros, outL, outR, 512);
  EXPECT_NE(mono.envelope(), stereo.envelope());
  double m1 = 0, m2 = 0;
  mono.GetMeter(kSlotGainReduction, &m1);
  stereo.GetMeter(kSlotGainReduction, &m2);
  EXPECT_GT(std::fabs(m1 - m2), 1e-4);
}

TEST(Engine, OutputIsIndependentOfBlockSizeAndInPlaceProcessing) {
  const auto l = Sine(110.0, 0.8, 30000), r = Sine(165.0, 0.6, 30000);
  std::vector<float> refL, refR;
  {
    warmGlowEffect fx;
    fx.SetParameter(kSlotAttackRatio, 0.0);
    ProcessStereo(fx, l, r, refL, refR, 30000);
  }
  // Short blocks run the per-frame loop, longer ones the chunked passes: the same within the fidelity
  // the engine keeps to its per-frame model.
  for (int block : {1, 7, 8, 64, 512}) {
    warmGlowEffect fx;
    fx.SetParameter(kSlotAttackRatio, 0.0);
    std::vector<float> outL, outR;
    ProcessStereo(fx, l, r, outL, outR, block);
    test::Divergence d;
    d.AddOutputs(outL.data(), refL.data(), refL.size());
    d.AddOutputs(outR.data(), refR.data(), refR.size());
    EXPECT_TRUE(d.Within()) << block << ": " << d.Summary();
  }
  warmGlowEffect fx;
  fx.SetParameter(kSlotAttackRatio, 0.0);
  std::vector<float> bufL = l, bufR = r;
  const float* in[2] = {bufL.data(), bufR.data()};
  float* out[2] = {bufL.data(), bufR.data()};
  fx.ProcessBlock(in, out, static_cast<int32_t>(bufL.size()));
  EXPECT_EQ(bufL, refL);
  EXPECT_EQ(bufR, refR);
}

TEST(Engine, DoublePathMatchesSinglePathWhereTheirAttackCountsAgree) {
  // Attack step 3 runs 10 envelope steps in both paths; all arithmetic is double, so the only
  // difference left is the final rounding to float.
  const auto l = Sine(220.0, 0.9, 20000), r = Sine(330.0, 0.4, 20000);
  warmGlowEffect a, b;
  std::vector<float> outL, outR;
  ProcessStereo(a, l, r, outL, outR, 256);
  std::vector<double> dl(l.begin(), l.end()), dr(r.begin(), r.end()), ol(l.size()), orr(l.size());
  const double* in[2] = {dl.data(), dr.data()};
  double* out[2] = {ol.data(), orr.data()};
  b.ProcessBlockDouble(in, out, static_cast<int32_t>(dl.size()));
  for (std::size_t i = 0; i < l.size(); ++i) {
    ASSERT_EQ(outL[i], static_cast<float>(ol[i])) << i;
    ASSERT_EQ(outR[i], static_cast<float>(orr[i])) << i;
  }
}

}  // namespace
}  // namespace qrv
