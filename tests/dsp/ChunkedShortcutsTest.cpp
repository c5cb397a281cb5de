// The chunked path's shortcuts against the per-frame model, on material built to reach each of them:
// valve vectors all on one side of zero, with the sign changing at every lane position, and around
// the small-argument series' limit; glides that settle, are held, and start again.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "tests/dsp/ReferenceModel.h"

namespace qrv {
namespace {

using test::Divergence;
using test::Reference;

constexpr int kBlock = 64;  // chunks start at block starts, so a frame's lane is its index modulo the width
constexpr int kLanes = 8;   // the widest vector; narrower ones divide it

// Groups of eight frames: all positive, all negative, alternating, the sign turning after each lane
// position, zeros; at amplitudes from 1e-7 to 0.9, so that the valve's arguments fall on both sides of
// the small-argument limit, sometimes within one vector.
std::vector<float> SignPatterns(int frames) {
  std::vector<float> x(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const int group = i / kLanes, lane = i % kLanes, pattern = group % 12;
    const double amplitude = 0.9 * std::pow(10.0, -(group / 12 % 8)) * (1.0 + 0.1 * lane);
    double sign;
    switch (pattern) {
      case 0: sign = 1.0; break;
      case 1: sign = -1.0; break;
      case 2: sign = lane % 2 ? -1.0 : 1.0; break;
      case 11: sign = 0.0; break;
      default: sign = lane < pattern - 3 ? 1.0 : -1.0; break;  // turns after lane 0 .. 7
    }
    x[static_cast<std::size_t>(i)] = static_cast<float>(sign * amplitude);
  }
  return x;
}

using Settings = std::vector<std::pair<unsigned, double>>;
using Changes = std::vector<std::pair<int, std::pair<unsigned, double>>>;  // at frame: slot, value

// The engine and the model side by side in blocks of kBlock frames.
Divergence RunAgainstModel(InstructionSet isa, const Settings& settings, const std::vector<float>& l,
                           const std::vector<float>& r, bool stereo, const Changes& changes = {}) {
  warmGlowEffect fx;
  EXPECT_TRUE(fx.ForceInstructionSet(isa));
  Reference ref;
  for (const auto& [slot, v] : settings) {
    fx.SetParameter(slot, v);
    ref.Set(slot, v);
  }
  fx.SetSampleRate(48000.0);
  fx.Reset();
  ref.SetRate(48000.0);
  ref.Reset();
  const int frames = static_cast<int>(l.size());
  std::vector<float> gotL(l.size()), gotR(l.size()), wantL(l.size()), wantR(l.size());
  Divergence d;
  for (int at = 0; at < frames; at += kBlock) {
    for (const auto& [when, change] : changes) {
      if (when == at) {
        fx.SetParameter(change.first, change.second);
        ref.Set(change.first, change.second);
      }
    }
    const std::size_t p = static_cast<std::size_t>(at);
    test::ProcessBoth(fx, ref, l.data() + p, stereo ? r.data() + p : nullptr, gotL.data() + p, gotR.data() + p,
                      wantL.data() + p, wantR.data() + p, kBlock, d);
  }
  d.AddOutputs(gotL.data(), wantL.data(), frames);
  d.AddOutputs(gotR.data(), wantR.data(), frames);
  return d;
}

class ChunkedShortcuts : public test::EveryPath {};

TEST_P(ChunkedShortcuts, ValveStaysWithTheModelAtEverySignBoundaryAndNearZero) {
  const int frames = 12 * kLanes * 8 * 4;  // every pattern at every amplitude, four times
  const std::vector<float> l = SignPatterns(frames);
  std::vector<float> r(l.size());
  for (std::size_t i = 0; i < l.size(); ++i) r[i] = -l[(i + 3) % l.size()];  // other signs, other lanes
  for (double valve : {0.0, 0.5, 1.0}) {
    for (double compression : {0.0, 0.7}) {
      for (bool stereo : {false, true}) {
        const Divergence d = RunAgainstModel(GetParam(),
                                 {{kSlotProcess, 1.0}, {kSlotValveLevel, valve}, {kSlotCompression, compression}}, l,
                                 r, stereo);
        EXPECT_TRUE(d.Within()) << "valve " << valve << ", compression " << compression
                                << (stereo ? ", stereo: " : ", mono: ") << d.Summary();
      }
    }
  }
}

// Drive and output gain start held at their targets and glide after a change (Output changing
// again while both still glide); the output follows the model throughout. Then a glide that reaches
// its fixed point stays there, and moves again on a new target.
TEST_P(ChunkedShortcuts, HeldGlidesStartAgainOnANewTarget) {
  const int frames = 48000;
  std::vector<float> l(static_cast<std::size_t>(frames)), r(l.size());
  for (int i = 0; i < frames; ++i) {
    l[static_cast<std::size_t>(i)] = static_cast<float>(0.3 * std::sin(0.031 * i));
    r[static_cast<std::size_t>(i)] = static_cast<float>(0.2 * std::sin(0.017 * i));
  }
  const Changes changes = {
      {25600, {kSlotCompression, 0.2}}, {25600, {kSlotOutput, 0.6}}, {38400, {kSlotOutput, 0.1}}};
  for (bool stereo : {false, true}) {
    const Divergence d = RunAgainstModel(GetParam(), {{kSlotProcess, 0.5}, {kSlotCompression, 1.0}}, l, r, stereo, changes);
    EXPECT_TRUE(d.Within()) << (stereo ? "stereo: " : "mono: ") << d.Summary();
  }

  // From 128 to 0.125 at 0.1 % of the distance a frame, the step falls below half an ulp after about
  // 37000 frames.
  warmGlowEffect fx;
  EXPECT_TRUE(fx.ForceInstructionSet(GetParam()));
  fx.SetParameter(kSlotCompression, 1.0);
  fx.Reset();
  fx.SetParameter(kSlotCompression, 0.0);
  std::vector<float> out(static_cast<std::size_t>(kBlock));
  const float* in[2] = {l.data(), nullptr};
  float* o[2] = {out.data(), nullptr};
  for (int b = 0; b < 1000; ++b) fx.ProcessBlock(in, o, kBlock);
  const double settled = fx.drive();
  fx.ProcessBlock(in, o, kBlock);
  EXPECT_EQ(fx.drive(), settled);
  EXPECT_NEAR(settled, fx.driveTarget(), 1e-12);
  fx.SetParameter(kSlotCompression, 0.5);
  fx.ProcessBlock(in, o, kBlock);
  EXPECT_GT(fx.drive(), settled);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, ChunkedShortcuts, test::kEveryPath, test::PathName);

}  // namespace
}  // namespace qrv
