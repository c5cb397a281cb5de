// The engine against the per-frame model over a matrix: every factory preset and extreme setting, mono
// and stereo, 22.05 to 192 kHz, block sizes 1 to 4096, parameter changes inside blocks and a NaN in the
// input, on each instruction-set path. `make test` runs a spread sample of the matrix; with
// QRV_FIDELITY_FULL=1 in the environment (`make test-fidelity`) every combination runs.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "tests/dsp/ReferenceModel.h"

namespace qrv {
namespace {

using test::Divergence;
using test::Reference;

constexpr int kFrames = 16384;
constexpr int kSampleStride = 23;  // one combination in this many runs under `make test`
constexpr std::array<double, 5> kRates = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
constexpr std::array<int, 7> kBlockPatterns = {1, 7, 8, 64, 256, 4096, 0};  // 0: sizes 1..4096 in turn

struct Setting {
  std::string name;
  std::vector<std::pair<unsigned, double>> values;
};

// The factory presets, then the extremes on the default setting.
std::vector<Setting> Settings() {
  std::vector<Setting> all;
  for (int p = 0; p < kFactoryPresetCount; ++p) {
    double v[12] = {};
    GetFactoryPreset(p, v, nullptr, nullptr);
    Setting s{std::string(FactoryPresetName(p)), {}};
    for (unsigned slot : {kSlotProcess, kSlotRatio, kSlotAttackRatio, kSlotTime, kSlotCompression, kSlotOutput,
                          kSlotValveLevel}) {
      s.values.emplace_back(slot, v[slot]);
    }
    all.push_back(s);
  }
  all.push_back({"Time 0", {{kSlotTime, 0.0}}});
  all.push_back({"Time 10", {{kSlotTime, 1.0}}});
  all.push_back({"attack x0.25", {{kSlotAttackRatio, 0.0}}});
  all.push_back({"Compression 10, Output 30 dB", {{kSlotCompression, 1.0}, {kSlotOutput, 1.0}}});
  all.push_back({"valve -3", {{kSlotValveLevel, 0.0}}});
  all.push_back({"valve +3, attack x0.25, Time 10", {{kSlotValveLevel, 1.0}, {kSlotAttackRatio, 0.0}, {kSlotTime, 1.0}}});
  return all;
}

// Drum-like noise bursts, a kick and a 220 Hz sine at -12 dBFS peak, with a stretch of silence.
std::vector<float> Programme(double rate, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> white(-1.0, 1.0);
  std::vector<float> x(kFrames);
  const double twoPi = 6.283185307179586;
  for (int i = 0; i < kFrames; ++i) {
    const int beat = i % 4096;
    const double t = beat / rate;
    double s = 0.25 * std::sin(twoPi * 220.0 * i / rate);
    s += 0.8 * std::exp(-t * 30.0) * std::sin(twoPi * 55.0 * t);       // kick
    if (beat >= 2048) s += 0.5 * std::exp(-(beat - 2048) / rate * 60.0) * white(gen);  // snare-like burst
    if (i >= 12288 && i < 13312) s = 0.0;                               // silence
    x[static_cast<std::size_t>(i)] = static_cast<float>(s);
  }
  return x;
}

int BlockSize(int pattern, int call) {
  if (pattern != 0) return pattern;
  static constexpr int kSizes[] = {1, 4096, 3, 17, 8, 300, 2, 64, 7, 1000, 9, 511, 5, 2047, 63, 65};
  return kSizes[call % static_cast<int>(std::size(kSizes))];
}

// One run: the setting, then blocks of the pattern; parameters change inside two blocks and a NaN
// arrives in the left input once.
Divergence RunOne(InstructionSet isa, const Setting& setting, bool stereo, double rate, int pattern) {
  static std::map<double, std::pair<std::vector<float>, std::vector<float>>> programmes;
  auto& prog = programmes[rate];
  if (prog.first.empty()) prog = {Programme(rate, 1), Programme(rate, 2)};
  std::vector<float> inL = prog.first, inR = prog.second;
  inL[8000] = std::numeric_limits<float>::quiet_NaN();

  warmGlowEffect fx;
  EXPECT_TRUE(fx.ForceInstructionSet(isa));
  Reference ref;
  auto set = [&](unsigned slot, double v) {
    fx.SetParameter(slot, v);
    ref.Set(slot, v);
  };
  for (const auto& [slot, v] : setting.values) set(slot, v);
  fx.SetSampleRate(rate);
  fx.Reset();
  ref.SetRate(rate);
  ref.Reset();

  const std::array<int, 2> changes = {5000, 11000};
  std::vector<float> gotL(kFrames), gotR(kFrames), wantL(kFrames), wantR(kFrames);
  Divergence d;
  int call = 0;
  for (int at = 0; at < kFrames;) {
    int n = std::min(BlockSize(pattern, call++), kFrames - at);
    for (int c : changes) {
      if (c > at && c < at + n) n = c - at;  // the host splits its block at the change
    }
    test::ProcessBoth(fx, ref, inL.data() + at, stereo ? inR.data() + at : nullptr, gotL.data() + at,
                      gotR.data() + at, wantL.data() + at, wantR.data() + at, n, d);
    at += n;
    if (at == changes[0]) {
      set(kSlotCompression, 0.9);
      set(kSlotOutput, 0.35);
    } else if (at == changes[1]) {
      set(kSlotRatio, 1.0);
      set(kSlotTime, 0.2);
      set(kSlotAttackRatio, 0.3333);
      set(kSlotProcess, 0.5);
    }
  }
  d.AddOutputs(gotL.data(), wantL.data(), kFrames);
  d.AddOutputs(gotR.data(), wantR.data(), kFrames);
  return d;
}

class FidelityMatrix : public test::EveryPath {};

TEST_P(FidelityMatrix, EverySettingRateAndBlockPatternStaysWithinFidelity) {
  const char* full = std::getenv("QRV_FIDELITY_FULL");
  const bool all = full != nullptr && std::string(full) == "1";
  const std::vector<Setting> settings = Settings();
  Divergence total;
  int runs = 0, index = 0;
  for (const Setting& s : settings) {
    for (bool stereo : {false, true}) {
      for (double rate : kRates) {
        for (int pattern : kBlockPatterns) {
          if (!all && index++ % kSampleStride != 0) continue;
          const Divergence d = RunOne(GetParam(), s, stereo, rate, pattern);
          EXPECT_TRUE(d.Within()) << s.name << (stereo ? ", stereo" : ", mono") << ", " << rate << " Hz, block "
                                  << (pattern ? std::to_string(pattern) : "1..4096") << ": " << d.Summary();
          total.Merge(d);
          ++runs;
        }
      }
    }
  }
  std::printf("[ fidelity ] %s, %s matrix, %d runs: %s\n", InstructionSetName(GetParam()), all ? "whole" : "sampled",
              runs, total.Summary().c_str());
}


INSTANTIATE_TEST_SUITE_P(EveryPath, FidelityMatrix, test::kEveryPath, test::PathName);

}  // namespace
}  // namespace qrv
