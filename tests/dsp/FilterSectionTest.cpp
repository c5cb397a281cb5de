#include "dsp/FilterSection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qrv {
namespace {

TEST(FilterSection, SideChainHighPassCoefficientsAndDecay) {
  FilterSection hp;
  hp.Create(FilterSection::kHighPass, 40.0, 0.3);
  EXPECT_NEAR(hp.a0 - 1.0, 0.0094983, 5e-7);  // alpha
  EXPECT_NEAR(hp.b0, 0.9905830, 5e-7);
  EXPECT_EQ(hp.b2, hp.b0);
  EXPECT_NEAR(hp.b1, -1.9811660, 5e-7);
  EXPECT_NEAR(hp.a1, -1.9811499, 5e-7);
  EXPECT_NEAR(hp.a2, 0.9811821, 5e-7);
  double y = 1.0;
  for (int i = 0; i < 44100; ++i) y = hp.Step(1.0);
  EXPECT_NEAR(y, 0.0, 1e-9);
}

TEST(FilterSection, LowPassHasUnityDcGainAndIsPlainRbjFarBelowNyquist) {
  FilterSection lp;
  lp.Create(FilterSection::kLowPass, 2.3333333333333335, 0.583);
  EXPECT_NEAR(lp.b0 + lp.b1 + lp.b2, 1.0 + lp.a1 + lp.a2, 1e-15);
  // The near-Nyquist factor is negligible here: compare with the cookbook low-pass.
  const double w = 2.3333333333333335 * 6.283185307179586 / 44100.0;
  const double alpha = std::sin(w) / (2.0 * 0.583);
  EXPECT_NEAR(lp.a1, -2.0 * std::cos(w) / (1.0 + alpha), 1e-15);
  EXPECT_NEAR(lp.a2, (1.0 - alpha) / (1.0 + alpha), 1e-15);
  double y = 0.0;
  for (int i = 0; i < 5 * 44100; ++i) y = lp.Step(1.0);
  EXPECT_NEAR(y, 1.0, 1e-9);
}

TEST(FilterSection, CornerIsLimitedBelowNyquist) {
  FilterSection lp;
  lp.Create(FilterSection::kLowPass, 30000.0, 0.5);
  EXPECT_DOUBLE_EQ(lp.frequency, 0.499 * 44100.0);
  EXPECT_TRUE(std::isfinite(lp.a1) && std::isfinite(lp.b0));

  // A rate outside 20000..200000 keeps its value but limits the corner as at 44100.
  FilterSection hp;
  hp.Create(FilterSection::kHighPass, 40000.0, 0.3);
  hp.frequency = 40000.0;
  hp.SetSampleRate(300000.0);
  EXPECT_EQ(hp.sampleRate, 300000.0);
  EXPECT_DOUBLE_EQ(hp.frequency, 0.499 * 44100.0);
}

TEST(FilterSection, NearNyquistTermWidensTheBand) {
  // alpha = sin w / (2q (1 - e^n)) with e about 2f/fs: n = 6 for the high-pass, 8 for the low-pass.
  const double fs = 44100.0, f = 0.45 * fs, q = 0.5;
  const double w = f * 6.283185307179586 / fs;
  const struct {
    int type;
    double k;
    int n;
  } cases[] = {{FilterSection::kHighPass, 1.9996000799840032, 6}, {FilterSection::kLowPass, 1.9999600007999843, 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    FilterSection s;
    s.Create(c.type, f, q);
    const double e = f * (c.k / fs);
    const double alpha = std::sin(w) / (2.0 * q * (1.0 - std::pow(e, c.n)));
    EXPECT_NEAR(s.a0, 1.0 + alpha, 1e-12);
    EXPECT_NEAR(s.a2, (1.0 - alpha) / (1.0 + alpha), 1e-12);
    EXPECT_GT(s.a0 - 1.0, 1.5 * std::sin(w) / (2.0 * q));  // well wider than the plain cookbook term
  }
}

}  // namespace
}  // namespace qrv
