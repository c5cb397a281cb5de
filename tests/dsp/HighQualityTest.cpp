// High quality: the oversampled valve stage, its latency, switching it during playback, and that off
// leaves the engine as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <cstring>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "tests/support/AllocationCounter.h"

namespace qrv {
namespace {

constexpr double kPi = 3.141592653589793;

std::vector<float> Sine(double frequency, double rate, int frames, double amplitude = 0.5011872336272722) {
  std::vector<float> x(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) x[static_cast<std::size_t>(i)] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * i / rate));
  return x;
}

// Runs x through fx in blocks of `block` frames, mono or stereo (the same signal on both channels);
// returns channel 0, and the meter after every block when asked.
std::vector<float> Render(warmGlowEffect& fx, const std::vector<float>& x, int block, bool stereo = false,
                       std::vector<double>* meters = nullptr, bool bypass = false) {
  std::vector<float> out(x.size()), right(x.size());
  const int total = static_cast<int>(x.size());
  for (int at = 0; at < total; at += block) {
    const int n = std::min(block, total - at);
    const float* in[2] = {x.data() + at, stereo ? x.data() + at : nullptr};
    float* o[2] = {out.data() + at, stereo ? right.data() + at : nullptr};
    if (bypass) {
      fx.BypassBlock(in, o, n);
    } else {
      fx.ProcessBlock(in, o, n);
    }
    if (meters != nullptr) {
      double m = 0.0;
      fx.GetMeter(kSlotGainReduction, &m);
      meters->push_back(m);
    }
  }
  return out;
}

void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    for (std::size_t i = 0; i < n; i += len) {
      for (std::size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> w = std::polar(1.0, -2.0 * kPi * static_cast<double>(k) / static_cast<double>(len));
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
}

// The strongest component of x (Blackman window) away from the harmonics of f0 (and DC), in dB relative
// to the fundamental; with `harmonics`, also each harmonic below half the rate in dB relative to it.
double StrongestFold(const std::vector<float>& x, double f0, double rate, std::vector<double>* harmonics = nullptr) {
  std::size_t size = 1;
  while (size < 2 * x.size()) size <<= 1;
  std::vector<std::complex<double>> a(size);
  const double n = static_cast<double>(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = 2.0 * kPi * static_cast<double>(i) / (n - 1.0);
    a[i] = static_cast<double>(x[i]) * (0.42 - 0.5 * std::cos(t) + 0.08 * std::cos(2.0 * t));
  }
  Fft(a);
  const double bin = rate / static_cast<double>(size);
  auto peak = [&](double hz) {
    double m = 0.0;
    for (long i = std::lround((hz - 2.0) / bin); i <= std::lround((hz + 2.0) / bin); ++i) m = std::max(m, std::abs(a[static_cast<std::size_t>(i)]));
    return m;
  };
  const double fundamental = peak(f0);
  double worst = 0.0;
  for (std::size_t i = 0; i <= size / 2; ++i) {
    const double hz = static_cast<double>(i) * bin;
    if (std::fabs(hz - std::round(hz / f0) * f0) <= 20.0 || hz > rate * 0.5 - 1.0) continue;
    worst = std::max(worst, std::abs(a[i]));
  }
  if (harmonics != nullptr) {
    for (int h = 2; h * f0 < rate * 0.5 - 20.0; ++h) harmonics->push_back(20.0 * std::log10(peak(h * f0) / fundamental));
  }
  return 20.0 * std::log10(worst / fundamental);
}

struct Settings {
  double compression = -1.0, valveLevel = -1.0;  // negative: the default
};
const Settings kDefaults{};
const Settings kHeavy{1.0, 1.0};  // Compression 10, Valve level +3

void Prepare(warmGlowEffect& fx, double rate, const Settings& s, bool highQuality) {
  fx.SetSampleRate(rate);
  fx.SetParameter(kSlotProcess, 1.0);  // Valve
  if (s.compression >= 0.0) fx.SetParameter(kSlotCompression, s.compression);
  if (s.valveLevel >= 0.0) fx.SetParameter(kSlotValveLevel, s.valveLevel);
  fx.SetHighQuality(highQuality);
  fx.Reset();
}

// 1 s to settle, then 2 s analysed, past the latency.
double FoldOf(double frequency, double rate, const Settings& s, bool highQuality) {
  warmGlowEffect fx;
  Prepare(fx, rate, s, highQuality);
  const int settle = static_cast<int>(rate) + fx.GetLatency();
  const std::vector<float> y = Render(fx, Sine(frequency, rate, settle + static_cast<int>(2.0 * rate)), 512);
  return StrongestFold(std::vector<float>(y.begin() + settle, y.end()), frequency, rate);
}

TEST(HighQuality, FoldsOfAHighSineStayBelowTheGoals) {
  // A 12 kHz sine at 44.1 kHz folds its second harmonic to 20.1 kHz and its third to 8.1 kHz.
  const double plainDefaults = FoldOf(12000.0, 44100.0, kDefaults, false);
  const double plainHeavy = FoldOf(12000.0, 44100.0, kHeavy, false);
  EXPECT_GT(plainDefaults, -90.0);  // the plain stage folds: the threshold below can tell
  EXPECT_GT(plainHeavy, -60.0);
  EXPECT_LE(FoldOf(12000.0, 44100.0, kDefaults, true), -90.0);
  EXPECT_LE(FoldOf(12000.0, 44100.0, kHeavy, true), -60.0);
  EXPECT_LE(FoldOf(7000.0, 48000.0, kHeavy, true), -60.0);
}

TEST(HighQuality, HarmonicsBelowHalfTheRateKeepTheirLevels) {
  for (const Settings& s : {kDefaults, kHeavy}) {
    std::vector<double> off, on;
    for (bool hq : {false, true}) {
      warmGlowEffect fx;
      Prepare(fx, 44100.0, s, hq);
      const int settle = 44100 + fx.GetLatency();
      const std::vector<float> y = Render(fx, Sine(1000.0, 44100.0, settle + 88200), 512);
      StrongestFold(std::vector<float>(y.begin() + settle, y.end()), 1000.0, 44100.0, hq ? &on : &off);
    }
    ASSERT_EQ(off.size(), on.size());
    int compared = 0;
    for (std::size_t h = 0; h < off.size(); ++h) {
      const double hz = 1000.0 * static_cast<double>(h + 2);
      if (hz > 20000.0 || off[h] < -100.0) continue;  // above the band, or in the floor
      EXPECT_NEAR(on[h], off[h], 0.5) << "harmonic " << h + 2;
      ++compared;
    }
    EXPECT_GE(compared, 3);
  }
}

// An impulse through the engine: the processed path (Valve, at a level where the curve is nearly
// straight) and the bypass both peak exactly GetLatency() frames later.
TEST(HighQuality, LatencyIsTheDelayOfAnImpulseProcessedAndBypassed) {
  for (double rate : {44100.0, 96000.0}) {
    for (bool bypass : {false, true}) {
      warmGlowEffect fx;
      Prepare(fx, rate, kDefaults, true);
      const int latency = fx.GetLatency();
      EXPECT_GT(latency, 0);
      EXPECT_EQ(latency, fx.highQualityLatency());
      std::vector<float> x(4096, 0.0f);
      x[1000] = 0.01f;
      const std::vector<float> y = Render(fx, x, 100, true, nullptr, bypass);
      const auto peak = std::max_element(y.begin(), y.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
      EXPECT_EQ(peak - y.begin(), 1000 + latency) << rate << (bypass ? " bypassed" : " processed");
      if (bypass) {
        EXPECT_EQ(*peak, 0.01f);
      }
    }
  }
  warmGlowEffect off;
  EXPECT_EQ(off.GetLatency(), 0);
}

// In Clear and Off (no valve stage) the output is the plain engine's, delayed by the latency, bit for
// bit: the processed and the bypassed signals stay aligned.
TEST(HighQuality, ClearAndOffAreThePlainEngineDelayedExactly) {
  std::vector<float> x = Sine(440.0, 48000.0, 20000, 0.7);
  for (std::size_t i = 0; i < x.size(); i += 7) x[i] *= 0.5f;  // not periodic
  for (double process : {0.5, 0.0}) {
    warmGlowEffect plain, hq;
    for (warmGlowEffect* fx : {&plain, &hq}) {
      Prepare(*fx, 48000.0, kDefaults, fx == &hq);
      fx->SetParameter(kSlotProcess, process);
    }
    const int latency = hq.GetLatency();
    const std::vector<float> a = Render(plain, x, 333, true), b = Render(hq, x, 333, true);
    for (std::size_t i = static_cast<std::size_t>(latency); i < x.size(); ++i) {
      ASSERT_EQ(b[i], a[i - static_cast<std::size_t>(latency)]) << "frame " << i << " process " << process;
    }
    for (int i = 0; i < latency; ++i) EXPECT_EQ(b[static_cast<std::size_t>(i)], 0.0f);
  }
}

// Switched on and off during playback, the output never steps further between two frames than the
// signal does by itself, and once switched off it is the plain engine's again, bit for bit.
TEST(HighQuality, SwitchingDuringPlaybackIsSmoothAndOffIsExactAgain) {
  const double rate = 44100.0;
  const std::vector<float> x = Sine(220.0, rate, 44100 * 2, 0.7);
  warmGlowEffect plain, fx;
  Prepare(plain, rate, kDefaults, false);
  Prepare(fx, rate, kDefaults, false);
  const std::vector<float> reference = Render(plain, x, 256);
  double ownStep = 0.0;
  for (std::size_t i = 1; i < reference.size(); ++i) ownStep = std::max(ownStep, std::fabs(double(reference[i]) - reference[i - 1]));

  std::vector<float> y(x.size());
  const int switchOn = 256 * 20, switchOff = 256 * 150;
  for (int at = 0; at < static_cast<int>(x.size()); at += 256) {
    if (at == switchOn) fx.SetHighQuality(true);
    if (at == switchOff) fx.SetHighQuality(false);
    const float* in[2] = {x.data() + at, nullptr};
    float* out[2] = {y.data() + at, nullptr};
    fx.ProcessBlock(in, out, std::min(256, static_cast<int>(x.size()) - at));
  }
  double step = 0.0;
  for (std::size_t i = 1; i < y.size(); ++i) step = std::max(step, std::fabs(double(y[i]) - y[i - 1]));
  EXPECT_LE(step, ownStep * 1.05);
  EXPECT_EQ(fx.GetLatency(), 0);
  // 20 ms of crossfade after switching off, then the plain engine exactly.
  const std::size_t settled = static_cast<std::size_t>(switchOff) + 2048;
  EXPECT_EQ(0, std::memcmp(y.data() + settled, reference.data() + settled, (y.size() - settled) * sizeof(float)));
}

TEST(HighQuality, TheMeterDoesNotSeeIt) {
  for (const Settings& s : {kDefaults, kHeavy}) {
    std::vector<double> off, on;
    for (bool hq : {false, true}) {
      warmGlowEffect fx;
      Prepare(fx, 48000.0, s, hq);
      Render(fx, Sine(3000.0, 48000.0, 48000), 64, true, hq ? &on : &off);
    }
    ASSERT_EQ(off.size(), on.size());
    // The detector is before the valve stage: the readings are the same, not merely within 1e-9.
    for (std::size_t i = 0; i < off.size(); ++i) ASSERT_EQ(on[i], off[i]) << i;
  }
}

TEST(HighQuality, SwitchingAndRunningAllocateNothing) {
  warmGlowEffect fx;
  Prepare(fx, 48000.0, kHeavy, false);
  const std::vector<float> x = Sine(5000.0, 48000.0, 512);
  std::vector<float> outL(512), outR(512);
  std::vector<double> dx(x.begin(), x.end()), dl(512), dr(512);
  const float* in[2] = {x.data(), x.data()};
  float* out[2] = {outL.data(), outR.data()};
  const double* din[2] = {dx.data(), nullptr};
  double* dout[2] = {dl.data(), dr.data()};

  qrv::test::AllocationScope scope;
  for (int round = 0; round < 8; ++round) {
    fx.SetHighQuality(round % 2 == 0);
    fx.ProcessBlock(in, out, 512);
    fx.ProcessBlockDouble(din, dout, 512);
    fx.ProcessBlock(in, out, 5);
    fx.BypassBlock(in, out, 512);
    fx.SetParameter(kSlotProcess, round % 3 * 0.5);
    if (round == 5) fx.Reset();
  }
  EXPECT_EQ(scope.count(), 0u);
}

// The oversampled stage keeps its state across blocks of any size (the engine's frame-by-frame loop below
// 8 frames, its chunks above), in single and double precision alike.
TEST(HighQuality, OutputIsIndependentOfBlockSizeAndPrecision) {
  const std::vector<float> x = Sine(9000.0, 48000.0, 6000, 0.9);
  warmGlowEffect big, small, wide;
  for (warmGlowEffect* fx : {&big, &small, &wide}) Prepare(*fx, 48000.0, kHeavy, true);
  const std::vector<float> a = Render(big, x, 512, true), b = Render(small, x, 3, true);
  std::vector<double> dx(x.begin(), x.end()), dy(x.size()), dr(x.size());
  for (std::size_t at = 0; at < x.size(); at += 1000) {
    const double* in[2] = {dx.data() + at, dx.data() + at};
    double* out[2] = {dy.data() + at, dr.data() + at};
    wide.ProcessBlockDouble(in, out, static_cast<int32_t>(std::min<std::size_t>(1000, x.size() - at)));
  }
  double peak = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    ASSERT_NEAR(b[i], a[i], 1e-5) << i;
    ASSERT_NEAR(dy[i], a[i], 1e-5) << i;
    peak = std::max(peak, std::fabs(double(a[i])));
  }
  EXPECT_GT(peak, 0.01);  // not silence
}

// A non-finite input sample does not poison the oversampled stage.
TEST(HighQuality, NonFiniteInputDoesNotOutliveItsBlock) {
  warmGlowEffect fx;
  Prepare(fx, 44100.0, kDefaults, true);
  std::vector<float> x = Sine(1000.0, 44100.0, 8192);
  x[100] = std::numeric_limits<float>::quiet_NaN();
  x[101] = std::numeric_limits<float>::infinity();
  const std::vector<float> y = Render(fx, x, 128, true);
  for (std::size_t i = 4096; i < y.size(); ++i) ASSERT_TRUE(std::isfinite(y[i])) << i;
  EXPECT_GT(*std::max_element(y.begin() + 4096, y.end()), 0.1f);
}

}  // namespace
}  // namespace qrv
