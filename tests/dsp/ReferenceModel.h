// A plain, unoptimised transcription of the engine's per-frame algorithm: the oracle that the engine's
// chunked and vectorised passes are held against. Tests only.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "dsp/EngineKernels.h"
#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"

namespace qrv::test {

// How far the engine may stray from this model: per output sample (absolute) and per gain-reduction
// reading after a block. The per-frame path of short blocks must match bit for bit.
struct Fidelity {
  static constexpr double kOutput = 1e-6;
  static constexpr double kMeter = 1e-9;
};

struct RefSection {
  double fs = 44100.0, f = 0.0, q = 0.0;
  bool high = false;
  double a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

  void Create(bool highPass, double freq, double quality) {
    fs = 44100.0;
    high = highPass;
    f = freq;
    q = quality;
    Clear();
    Compute();
  }
  void Clear() { x1 = x2 = y1 = y2 = 0.0; }
  void SetRate(double rate) {
    fs = rate;
    const double limit = (rate >= 20000.0 && rate <= 200000.0) ? rate : 44100.0;
    if (f > 0.499 * limit) f = 0.499 * limit;
    Compute();
  }
  void Compute() {
    if (f > 0.499 * fs) f = 0.499 * fs;
    const double w = f * 6.283185307179586 / fs;
    const double s = std::sin(w), c = std::cos(w);
    double en;
    if (high) {
      const double e = f * (1.9996000799840032 / fs);
      en = (e * e * e) * (e * e * e);
    } else {
      const double e = f * (1.9999600007999843 / fs);
      const double e4 = (e * e) * (e * e);
      en = e4 * e4;
    }
    const double alpha = s / ((2.0 * q) * (1.0 - en));
    Finish(alpha, c, high);
  }
  void EnvelopeCorner(double fc) {
    f = fc;
    double g = fc;
    if (fc < 0.001) {
      g = 0.001;
    } else if (g > 0.499 * fs) {
      g = 0.499 * fs;
    }
    const double w = g * 6.283185307179586 / fs;
    Finish(std::sin(w) * (0.5 / q), std::cos(w), false);
  }
  void Finish(double alpha, double c, bool highPass) {
    const double r = 1.0 / (1.0 + alpha);
    a1 = (-2.0 * c) * r;
    a2 = (1.0 - alpha) * r;
    if (highPass) {
      b0 = b2 = ((1.0 + c) * 0.5) * r;
      b1 = -((1.0 + c) * r);
    } else {
      b0 = b2 = ((1.0 - c) * 0.5) * r;
      b1 = (1.0 - c) * r;
    }
  }
  double Step(double x) {
    const double y = ((b1 * x1 + b0 * x) + b2 * x2) - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

inline double RefGain(int step, double V) {
  switch (step) {
    case 0: return 0.6 / (1.0 + 0.4 * V) + 0.4;
    case 1: return 0.8 / (1.0 + 0.4 * V) + 0.2;
    case 2: return (0.23 * std::atan(1.2 * V) + 0.9 * V / (1.0 + 0.35 * V) * 0.7 + 0.094 * V) / V;
    case 3: return (0.5145833333333333 * std::atan(1.2 * V) + 0.95 * V / (1.0 + 0.35 * V) * 0.35 + 0.05 * V) / V;
    case 4: return (0.8083333333333333 * std::atan(1.2 * V) + 0.03 * V) / V;
    case 5: return (0.4091666666666667 * std::atan(1.2 * V) + 0.009 * V + 0.491 * std::tanh(V) + 0.009 * V) / V;
    default: return (0.99 * std::tanh(V) + 0.01 * V) / V;
  }
}

class Reference {
 public:
  Reference() {
    meter_.Create(false, 2.0, 0.583);
    fast_.Create(false, 5.0, 0.5);
    slow_.Create(false, 20.0, 0.5);
    env_.Create(false, 1.0, 0.1);
    scL_.Create(true, 40.0, 0.3);
    scR_.Create(true, 40.0, 0.3);
    meter_.Clear();
    meter_.Compute();
    for (int i = 0; i < 44100; ++i) meter_.Step(1.0);
    for (unsigned i = 0; i < 29; ++i) Set(i, i == 0 ? 1.0 : i == 6 ? 0.15 : i == 13 ? 0.0 : 0.5);
    Reset();
  }

  void Set(unsigned index, double v) {
    const float vf = static_cast<float>(v);
    switch (index) {
      case 0: mode_ = static_cast<int>(2.0f * vf + 0.5f); break;
      case 2: ratio_ = static_cast<int>(6.0f * vf + 0.5f); break;
      case 3: attack_ = static_cast<int>(6.0 * v + 0.5); break;
      case 4: time_ = std::pow(100.0, static_cast<double>(vf)) * 0.005; break;
      case 5: {
        const int k = static_cast<int>(40.0 * std::pow(static_cast<double>(vf), 0.7071) + 0.5);
        driveTarget_ = std::pow(1024.0, k * 0.025) * 0.125;
        break;
      }
      case 6: {
        const int k = static_cast<int>(60.0 * static_cast<double>(vf) + 0.5);
        outputTarget_ = std::pow(31.622776601683793, k * 0.016666666666666666);
        break;
      }
      case 7: {
        const int n = static_cast<int>(6.0f * vf + 0.5f);
        static const double pairs[7][2] = {{0.14285714285714285, 7.0}, {0.3333333333333333, 3.0},
                                           {0.5555555555555556, 1.8},  {1.0, 1.0},
                                           {1.4141, 0.7071},           {2.0, 0.5},
                                           {2.5, 0.4}};
        valveDrive_ = valveMakeUp_ = 1.0;
        if (n >= 0 && n <= 6) {
          valveDrive_ = pairs[n][0];
          valveMakeUp_ = pairs[n][1];
        }
        break;
      }
      default: break;
    }
  }

  void SetRate(double rate) { rate_ = rate < 22050.0 ? 22050.0 : rate > 192000.0 ? 192000.0 : rate; }

  void Reset() {
    drive_ = driveTarget_;
    outputGain_ = outputTarget_;
    for (RefSection* s : {&scL_, &scR_, &env_, &fast_, &slow_}) {
      s->Compute();
      s->Clear();
    }
    meterGain_ = 1.0;
    envelope_ = 0.0001;

    meter_.SetRate(rate_);
    meter_.f = 2.3333333333333335;
    meter_.Compute();
    const double r = (rate_ >= 20000.0 && rate_ <= 200000.0) ? rate_ : 44100.0;
    for (RefSection* s : {&env_, &fast_, &slow_, &scL_, &scR_}) {
      s->SetRate(r);
      if (s == &fast_) s->f = 5.0;
      if (s == &slow_) s->f = 2.0;
      if (s == &fast_ || s == &slow_) s->q = 0.5;
      s->Compute();
      s->Clear();
    }
    drive_ = driveTarget_;
    outputGain_ = outputTarget_;
  }

  // inR null: the mono loop. outR may equal outL.
  template <typename S>
  void Process(const S* inL, const S* inR, S* outL, S* outR, int count) {
    if (mode_ != 1 && mode_ != 2) {
      Bypass(inL, inR, outL, outR, count);
      return;
    }
    static const double h[7] = {22.4, 15.839039999999997, 8, 5.6568, 4, 2.82, 2.8};
    static const double g[7] = {0.044642857142857144, 0.06313513950340426, 0.125, 0.1767783906095319,
                                0.25, 0.3546099290780142, 0.35714285714285715};
    static const int single[7] = {56, 33, 20, 10, 5, 3, 1};
    static const int twice[7] = {40, 25, 16, 10, 6, 4, 2};
    if (ratio_ < 0) ratio_ = 0;
    if (ratio_ > 6) ratio_ = 6;
    const double k = g[ratio_] * valveDrive_;
    const double m = h[ratio_] * valveMakeUp_;
    const int steps = attack_ < 0 || attack_ > 6 ? 10 : sizeof(S) == 4 ? single[attack_] : twice[attack_];
    for (int i = 0; i < count; ++i) {
      const double l = inL[i];
      const double r = inR ? static_cast<double>(inR[i]) : 0.0;
      drive_ = (driveTarget_ - drive_) * 0.001 + drive_;
      inverseDrive_ = 1.0 / drive_;
      outputGain_ = (outputTarget_ - outputGain_) * 0.001 + outputGain_;
      const double dl = Dither();
      const double dr = inR ? Dither() : 0.0;
      const double xL = dl + l * drive_;
      const double xR = dr + r * drive_;
      double d;
      if (inR) {
        const double yL = scL_.Step(xL), yR = scR_.Step(xR);
        d = (yL * yL + yR * yR) * 0.7071;
      } else {
        d = std::fabs(scL_.Step(xL));
      }
      const double F = fast_.Step(d), S_ = slow_.Step(d);
      const double rr = (F < 1e-6 ? 1e-6 : F) * 0.2 / (S_ < 1e-6 ? 1e-6 : S_);
      env_.EnvelopeCorner((4.0 * rr / (rr + 1.0) * 0.7 + 0.06999999999999999) / time_);
      const int n = d > envelope_ ? steps : 1;
      for (int j = 0; j < n; ++j) envelope_ = env_.Step(d);
      if (envelope_ < 0.001) envelope_ = 0.001;
      const double e = RefGain(ratio_, std::sqrt(envelope_));
      meterGain_ = meter_.Step(e);
      double sL = e * xL, sR = e * xR;
      if (mode_ == 2) {
        sL = sL >= 0.0 ? m * std::atan(k * sL) : -1.5625 * m * std::tanh(-0.64 * k * sL);
        sR = sR >= 0.0 ? m * std::atan(k * sR) : -1.5625 * m * std::tanh(-0.64 * k * sR);
      }
      const S oL = static_cast<S>(inverseDrive_ * sL * outputGain_);
      const S oR = inR ? static_cast<S>(inverseDrive_ * sR * outputGain_) : oL;
      outL[i] = oL;
      outR[i] = oR;
    }
    Recover();
  }

  template <typename S>
  void Bypass(const S* in0, const S* in1, S* out0, S* out1, int count) {
    for (int i = 0; i < count; ++i) {
      const S s1 = in1 ? in1[i] : in0[i];
      out0[i] = in0[i];
      out1[i] = s1;
      meterGain_ = meter_.Step(1.0);
    }
  }

  double Meter() const {
    const double v = 1.0 - meterGain_;
    return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
  }

 private:
  // A block that left a section non-finite clears it; the envelope and the meter restart at rest.
  void Recover() {
    bool cleared = false;
    for (RefSection* s : {&scL_, &scR_, &fast_, &slow_, &env_}) {
      if (!std::isfinite(s->x1) || !std::isfinite(s->x2) || !std::isfinite(s->y1) || !std::isfinite(s->y2)) {
        s->Clear();
        cleared = true;
      }
    }
    if (cleared || !std::isfinite(envelope_)) envelope_ = 0.0001;
    if (!std::isfinite(meter_.x1) || !std::isfinite(meter_.x2) || !std::isfinite(meter_.y1) ||
        !std::isfinite(meter_.y2) || !std::isfinite(meterGain_)) {
      meter_.x1 = meter_.x2 = meter_.y1 = meter_.y2 = 1.0;
      meterGain_ = 1.0;
    }
  }

  double Dither() {
    n1_ = ((((n1_ >> 9) ^ n1_) >> 6) & 0x1fffu) ^ (n1_ << 13);
    n2_ = ((((n2_ >> 2) ^ n2_) >> 7) & 0xfffffu) ^ (n2_ << 20);
    n3_ = ((((n3_ >> 6) ^ n3_) >> 8) & 0x1ffffu) ^ (n3_ << 17);
    return static_cast<double>(n1_ ^ n2_ ^ n3_) * 4.6566128730000005e-20 - 1e-10;
  }

  double rate_ = 44100.0;
  int mode_ = 0, ratio_ = 0, attack_ = 0;
  double time_ = 0, driveTarget_ = 0, drive_ = 0, inverseDrive_ = 0, outputTarget_ = 0, outputGain_ = 0;
  double valveDrive_ = 1.0, valveMakeUp_ = 1.0;
  uint32_t n1_ = 592u, n2_ = 153768u, n3_ = 1526u;
  double envelope_ = 0.0001, meterGain_ = 1.0;
  RefSection meter_, fast_, slow_, env_, scL_, scR_;
};

// How far the engine's outputs and meter readings were from the model's: how many differ at all, and
// the largest difference. Two NaNs agree; a NaN against a number is an infinite difference.
struct Divergence {
  long samples = 0, differing = 0;
  long meters = 0, metersDiffering = 0;
  double maxOutput = 0.0, maxMeter = 0.0;

  static double Distance(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0.0 : INFINITY;
    return a == b ? 0.0 : std::fabs(a - b);
  }
  template <typename S>
  void AddOutputs(const S* got, const S* want, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const double d = Distance(got[i], want[i]);
      samples += 1;
      if (d != 0.0 || (!std::isnan(got[i]) && std::signbit(got[i]) != std::signbit(want[i]))) ++differing;
      maxOutput = std::max(maxOutput, d);
    }
  }
  void AddMeter(double got, double want) {
    const double d = Distance(got, want);
    meters += 1;
    if (d != 0.0) ++metersDiffering;
    maxMeter = std::max(maxMeter, d);
  }
  void Merge(const Divergence& o) {
    samples += o.samples;
    differing += o.differing;
    meters += o.meters;
    metersDiffering += o.metersDiffering;
    maxOutput = std::max(maxOutput, o.maxOutput);
    maxMeter = std::max(maxMeter, o.maxMeter);
  }
  bool Within() const { return maxOutput <= Fidelity::kOutput && maxMeter <= Fidelity::kMeter; }
  bool Identical() const { return differing == 0 && metersDiffering == 0; }
  std::string Summary() const {
    char text[200];
    std::snprintf(text, sizeof text, "%ld of %ld samples differ (max %.3g), %ld of %ld meter readings (max %.3g)",
                  differing, samples, maxOutput, metersDiffering, meters, maxMeter);
    return text;
  }
};

// One single-precision block of n frames through the engine and the model side by side (inR null for
// mono); the outputs go to got and want, the meter readings after the block into d.
inline void ProcessBoth(warmGlowEffect& fx, Reference& ref, const float* inL, const float* inR, float* gotL,
                        float* gotR, float* wantL, float* wantR, int n, Divergence& d) {
  const float* in[2] = {inL, inR};
  float* out[2] = {gotL, gotR};
  fx.ProcessBlock(in, out, n);
  ref.Process(inL, inR, wantL, wantR, n);
  double meter = -1.0;
  fx.GetMeter(kSlotGainReduction, &meter);
  d.AddMeter(meter, ref.Meter());
}

// Tests run once on each instruction-set path of the chunked passes; a path this CPU lacks is
// reported as not run.
class EveryPath : public testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    if (!InstructionSetAvailable(GetParam())) {
      GTEST_SKIP() << "this CPU lacks " << InstructionSetName(GetParam()) << ": path not run";
    }
  }
};

inline const auto kEveryPath =
    testing::Values(InstructionSet::kSse2, InstructionSet::kAvx2, InstructionSet::kAvx512);

inline std::string PathName(const testing::TestParamInfo<InstructionSet>& info) {
  std::string name = InstructionSetName(info.param);
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  return name;
}

}  // namespace qrv::test
