// The oversampled valve path's passes against a plain evaluation of the same filters and curve: each
// instruction set's kernels (the halfband stages' own, the general one, the curve) in chunks of any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "dsp/EngineKernels.h"
#include "dsp/ValveOversampler.h"

namespace qrv {
namespace {

constexpr double kPi = 3.141592653589793;

double Curve(double u) { return u >= 0.0 ? std::atan(u) : -1.5625 * std::tanh(-0.64 * u); }

// The curve's antiderivative, zero at zero.
double Antiderivative(double u) {
  if (u >= 0.0) return u * std::atan(u) - 0.5 * std::log1p(u * u);
  const double w = -0.64 * u;  // log cosh w, without overflow
  return 2.44140625 * (w + std::log1p(std::exp(-2.0 * w)) - std::log(2.0));
}

// One branch of a polyphase filter over a whole signal (silence before it).
double Tap(const TapList& t, const std::vector<double>& in, long m) {
  auto at = [&](long i) {
    return i >= 0 && i < static_cast<long>(in.size()) ? in[static_cast<std::size_t>(i)] : 0.0;
  };
  double sum = 0.0;
  for (int j = 0; j < t.count; ++j) {
    double v = at(m - t.offset[j]);
    if (j < t.pairs) v += at(m - t.pairedOffset[j]);
    sum += t.coef[j] * v;
  }
  return sum;
}

// The path evaluated sample by sample from the stages' tap lists, with libm's curve.
std::vector<double> Plain(const ValveOversampler& vo, const std::vector<double>& u) {
  const ValveStageDesign& d = vo.design();
  std::vector<double> x(u.size());
  for (std::size_t i = 0; i < u.size(); ++i) x[i] = std::isfinite(u[i]) ? std::clamp(u[i], -1e8, 1e8) : 0.0;
  for (int s = 1; s <= d.stages; ++s) {
    std::vector<double> up(2 * x.size());
    for (long m = 0; m < static_cast<long>(x.size()); ++m) {
      for (int r = 0; r < 2; ++r) up[static_cast<std::size_t>(2 * m + r)] = Tap(vo.stage(s).up[r], x, m);
    }
    x = up;
  }
  std::vector<double> c(x.size());
  for (std::size_t k = 0; k < x.size(); ++k) {
    if (!d.antiderivative) {
      c[k] = Curve(x[k]);
      continue;
    }
    const double u0 = k > 0 ? x[k - 1] : 0.0, u1 = x[k];
    const double diff = u1 - u0;
    const bool close = std::fabs(diff) < 1e-6 * ((1.0 + std::fabs(u0)) + std::fabs(u1));
    c[k] = close ? Curve(0.5 * (u0 + u1)) : (Antiderivative(u1) - Antiderivative(u0)) / diff;
  }
  for (int s = d.stages; s >= 1; --s) {
    std::vector<double> even(c.size() / 2), odd(c.size() / 2), down(c.size() / 2);
    for (std::size_t j = 0; j < even.size(); ++j) {
      even[j] = c[2 * j];
      odd[j] = c[2 * j + 1];
    }
    for (long m = 0; m < static_cast<long>(down.size()); ++m) {
      down[static_cast<std::size_t>(m)] = Tap(vo.stage(s).down[0], even, m) + Tap(vo.stage(s).down[1], odd, m);
    }
    c = down;
  }
  return c;
}

// A signal that visits every branch of the passes: both signs within a vector and whole vectors of one,
// stretches below the curve's series threshold, huge and non-finite samples.
std::vector<double> Signal(int frames) {
  std::vector<double> u(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    double v = 2.5 * std::sin(2.0 * kPi * 0.013 * i) + 0.7 * std::sin(2.0 * kPi * 0.37 * i + 1.0);
    if (i >= 300 && i < 420) v *= 1e-4;  // the series near zero
    if (i >= 600 && i < 700) v = 4.0 + std::sin(0.1 * i);  // above zero only
    if (i >= 800 && i < 900) v = -4.0 - std::sin(0.1 * i);  // below zero only
    u[static_cast<std::size_t>(i)] = v;
  }
  u[1000] = 1e9;
  u[1001] = -1e9;
  u[1100] = std::numeric_limits<double>::quiet_NaN();
  u[1101] = std::numeric_limits<double>::infinity();
  u[1102] = -std::numeric_limits<double>::infinity();
  return u;
}

// Process in chunks of the given sizes (cycled), for one instruction set.
std::vector<double> Chunked(ValveOversampler& vo, const std::vector<double>& u, InstructionSet isa,
                            const std::vector<int>& sizes) {
  std::vector<double> y(u.size());
  std::size_t k = 0;
  for (std::size_t at = 0; at < u.size(); ++k) {
    const std::size_t size = static_cast<std::size_t>(sizes[k % sizes.size()]);
    const int n = static_cast<int>(std::min(size, u.size() - at));
    vo.Process(u.data() + at, y.data() + at, n, isa);
    at += static_cast<std::size_t>(n);
  }
  return y;
}

void ExpectPassesMatchPlain(const ValveStageDesign& design, double tolerance) {
  const std::vector<double> u = Signal(1500);
  ValveOversampler reference;
  reference.Configure(design);
  const std::vector<double> expected = Plain(reference, u);
  double peak = 0.0;
  for (double v : expected) peak = std::max(peak, std::fabs(v));
  ASSERT_GT(peak, 0.5);
  int checked = 0;
  for (InstructionSet isa : {InstructionSet::kSse2, InstructionSet::kAvx2, InstructionSet::kAvx512}) {
    if (!InstructionSetAvailable(isa)) continue;
    ++checked;
    for (const std::vector<int>& sizes : {std::vector<int>{64}, std::vector<int>{1, 5, 37, 64, 3, 16, 63, 2, 8}}) {
      ValveOversampler vo;
      vo.Configure(design);
      const std::vector<double> y = Chunked(vo, u, isa, sizes);
      for (std::size_t i = 0; i < u.size(); ++i) {
        ASSERT_NEAR(y[i], expected[i], tolerance) << "frame " << i << ", instruction set " << static_cast<int>(isa)
                                                   << ", chunks of " << sizes.size() << " sizes";
      }
    }
  }
  EXPECT_GE(checked, 1);
}

TEST(ValveOversampler, TheEnginesDesignMatchesThePlainFilters) {
  // Halfband stages of 28, 5 and 3 pairs: the kernels with the count read and with it built in.
  ValveOversampler vo;
  ASSERT_EQ(vo.design().stages, 3);
  for (int s = 1; s <= 3; ++s) {
    for (const TapList* t : {&vo.stage(s).up[0], &vo.stage(s).up[1], &vo.stage(s).down[0], &vo.stage(s).down[1]}) {
      EXPECT_NE(t->kind, TapList::Kind::kGeneral) << "stage " << s;
    }
  }
  ExpectPassesMatchPlain(kValveStageDesign, 1e-12);
}

TEST(ValveOversampler, OtherDesignsMatchThePlainFilters) {
  // An even-length top decimator (the general kernel) after the curve's mean; sharper stages.
  ExpectPassesMatchPlain({3, true, 70.0, 60.0}, 1e-9);
  ExpectPassesMatchPlain({2, false, 100.0, 100.0}, 1e-12);
}

TEST(ValveOversampler, TheCurveIsWithinAFewUlpsOfLibm) {
  // Without stages the path is the curve alone, frame for frame.
  ValveOversampler vo;
  vo.Configure({0, false, 70.0, 60.0});
  ASSERT_EQ(vo.latency(), 0);
  std::vector<double> u(64 * 400), y(u.size());
  for (std::size_t i = 0; i < u.size(); ++i) {
    const double magnitude = std::pow(10.0, -5.0 + 11.0 * static_cast<double>(i) / static_cast<double>(u.size()));
    const bool below = (i / 64) % 2 == 1 || (i % 64 == 7);  // whole vectors of each sign, and mixed ones
    u[i] = below ? -magnitude : magnitude;
  }
  for (InstructionSet isa : {InstructionSet::kSse2, InstructionSet::kAvx2, InstructionSet::kAvx512}) {
    if (!InstructionSetAvailable(isa)) continue;
    vo.Clear();
    for (std::size_t at = 0; at < u.size(); at += 64) vo.Process(u.data() + at, y.data() + at, 64, isa);
    for (std::size_t i = 0; i < u.size(); ++i) {
      const double ref = Curve(u[i]);
      const double ulp = std::fabs(std::nextafter(ref, 2.0 * ref) - ref);
      ASSERT_LE(std::fabs(y[i] - ref), 6.0 * ulp) << "u " << u[i] << ", instruction set " << static_cast<int>(isa);
    }
  }
}

}  // namespace
}  // namespace qrv
