// The plain per-frame model (ReferenceModel.h) run beside warmGlowEffect on the same script of parameter
// changes, blocks, bypasses and resets, on every instruction-set path. Every output sample and meter
// reading must stay within the model's fidelity; blocks shorter than the chunked passes take must
// agree bit for bit. A changed constant, precision or order of operations shows up here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "tests/dsp/ReferenceModel.h"

namespace qrv {
namespace {

using test::Divergence;
using test::Reference;

// Bursts of noise between near-silence, so that attack, release and programme dependence all run.
template <typename S>
std::vector<S> Programme(int frames, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<S> x(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const double level = (i / 1500) % 3 == 0 ? 0.9 : (i / 1500) % 3 == 1 ? 0.05 : 0.0003;
    x[static_cast<std::size_t>(i)] = static_cast<S>(level * dist(gen));
  }
  return x;
}

// One step of the script both sides follow.
struct Action {
  enum Kind { kSet, kProcess, kBypass, kRate } kind;
  unsigned index = 0;
  double value = 0.0;  // the parameter value or the new rate
  int frames = 0;
};

// Runs the script on the engine and the reference with the given channel layout and compares every
// block's outputs and the meter after it.
template <typename S>
Divergence RunScript(const std::vector<Action>& script, bool stereoIn, bool stereoOut, InstructionSet isa) {
  warmGlowEffect fx;
  EXPECT_TRUE(fx.ForceInstructionSet(isa));
  Reference ref;
  Divergence all;
  const auto l = Programme<S>(6000, 11), r = Programme<S>(6000, 12);
  std::size_t pos = 0;
  int block = 0;
  for (const Action& a : script) {
    if (a.kind == Action::kSet) {
      fx.SetParameter(a.index, a.value);
      ref.Set(a.index, a.value);
      continue;
    }
    if (a.kind == Action::kRate) {
      fx.SetSampleRate(a.value);
      fx.Reset();
      ref.SetRate(a.value);
      ref.Reset();
      continue;
    }
    const std::size_t n = static_cast<std::size_t>(a.frames);
    if (pos + n > l.size()) pos = 0;
    std::vector<S> gotL(n, S(7)), gotR(n, S(7)), wantL(n, S(7)), wantR(n, S(7));
    const S* in[2] = {l.data() + pos, stereoIn ? r.data() + pos : nullptr};
    S* out[2] = {gotL.data(), stereoOut ? gotR.data() : nullptr};
    S* wantOutR = stereoOut ? wantR.data() : wantL.data();
    if (a.kind == Action::kBypass) {
      if constexpr (sizeof(S) == sizeof(float)) {
        fx.BypassBlock(in, out, a.frames);
      } else {
        fx.BypassBlockDouble(in, out, a.frames);
      }
      ref.Bypass(in[0], in[1], wantL.data(), wantOutR, a.frames);
    } else {
      if constexpr (sizeof(S) == sizeof(float)) {
        fx.ProcessBlock(in, out, a.frames);
      } else {
        fx.ProcessBlockDouble(in, out, a.frames);
      }
      ref.Process(in[0], in[1], wantL.data(), wantOutR, a.frames);
    }
    pos += n;
    Divergence d;
    d.AddOutputs(gotL.data(), wantL.data(), n);
    if (stereoOut) d.AddOutputs(gotR.data(), wantR.data(), n);
    double meter = -1.0;
    EXPECT_TRUE(fx.GetMeter(kSlotGainReduction, &meter));
    d.AddMeter(meter, ref.Meter());
    EXPECT_TRUE(d.Within()) << "block " << block << " of " << a.frames << " frames: " << d.Summary();
    if (!d.Within()) break;
    all.Merge(d);
    ++block;
  }
  return all;
}

// The script on one layout and path; prints how far the engine strayed.
template <typename S>
void Check(const std::vector<Action>& script, bool stereoIn, bool stereoOut, InstructionSet isa) {
  const Divergence d = RunScript<S>(script, stereoIn, stereoOut, isa);
  std::printf("[ fidelity ] %s %s%s %s: %s\n", InstructionSetName(isa), stereoIn ? "stereo" : "mono",
              stereoOut ? "" : " into one output", sizeof(S) == 4 ? "single" : "double", d.Summary().c_str());
}

std::vector<Action> Script() {
  auto set = [](unsigned index, double v) { return Action{Action::kSet, index, v, 0}; };
  auto run = [](int frames) { return Action{Action::kProcess, 0, 0.0, frames}; };
  std::vector<Action> s;
  // Every ratio curve, alternating Valve and Clear, with drive and output moving between blocks.
  for (int ratio = 0; ratio <= 6; ++ratio) {
    s.push_back(set(kSlotRatio, ratio / 6.0));
    s.push_back(set(kSlotProcess, ratio % 2 ? 0.5 : 1.0));
    s.push_back(set(kSlotCompression, 0.15 * ratio));
    s.push_back(set(kSlotOutput, 0.1 * ratio));
    s.push_back(set(kSlotAttackRatio, (6 - ratio) / 6.0));
    s.push_back(set(kSlotValveLevel, ratio / 6.0));
    s.push_back(set(kSlotTime, 0.17 * ratio));
    s.push_back(run(700));
    s.push_back(run(13));
  }
  // Values whose steps fall outside the tables: ratio clamped at block start, neutral valve, ten
  // attack steps; and steps where single and double precision disagree.
  s.push_back(set(kSlotProcess, 1.0));
  s.push_back(set(kSlotRatio, 1.4));
  s.push_back(set(kSlotValveLevel, 1.5));
  s.push_back(set(kSlotAttackRatio, -0.5));
  s.push_back(run(900));
  s.push_back(set(kSlotRatio, 0.08333333));
  s.push_back(set(kSlotProcess, 0.2499999999));  // Clear in single precision, Off in double
  s.push_back(set(kSlotValveLevel, 0.9166666));
  s.push_back(set(kSlotAttackRatio, 0.08333333));  // step 0 in double precision, 1 in single
  s.push_back(set(kSlotCompression, 1.2));
  s.push_back(set(kSlotOutput, -0.2));
  s.push_back(run(900));
  s.push_back(set(kSlotOutput, 0.0749999993));  // step 5 from the single-precision value, 4 from v
  s.push_back(set(kSlotCompression, 0.045510767031767381));  // drive step 5 from the single value, 4 from v
  s.push_back(run(900));
  // Host bypass and mode Off move only the meter; processing resumes where it left off.
  s.push_back(Action{Action::kBypass, 0, 0.0, 500});
  s.push_back(set(kSlotProcess, 0.0));
  s.push_back(run(300));
  s.push_back(set(kSlotProcess, 1.0));
  s.push_back(run(600));
  // A new rate through Reset, and one outside the clamp.
  s.push_back(Action{Action::kRate, 0, 96000.0, 0});
  s.push_back(run(1200));
  s.push_back(Action{Action::kRate, 0, 8000.0, 0});
  s.push_back(set(kSlotTime, 0.0));
  s.push_back(run(1200));
  s.push_back(Action{Action::kRate, 0, 500000.0, 0});
  s.push_back(set(kSlotAttackRatio, 0.0));
  s.push_back(set(kSlotTime, 1.0));
  s.push_back(run(1200));
  return s;
}

class ReferenceModel : public test::EveryPath {};

TEST_P(ReferenceModel, StereoLoopStaysWithinFidelity) { Check<float>(Script(), true, true, GetParam()); }

TEST_P(ReferenceModel, MonoLoopStaysWithinFidelity) {
  Check<float>(Script(), false, true, GetParam());
  Check<float>(Script(), false, false, GetParam());
}

TEST_P(ReferenceModel, StereoIntoOneOutputKeepsChannelOne) { Check<float>(Script(), true, false, GetParam()); }

TEST_P(ReferenceModel, DoublePathStaysWithinFidelityWithItsOwnAttackCounts) {
  Check<double>(Script(), true, true, GetParam());
  Check<double>(Script(), false, true, GetParam());
}

// Blocks shorter than a chunk's minimum run the literal per-frame loop: not a bit may differ.
TEST_P(ReferenceModel, ShortBlocksMatchBitForBit) {
  std::vector<Action> script;
  int size = 1;
  for (const Action& a : Script()) {
    if (a.kind != Action::kProcess) {
      script.push_back(a);
      continue;
    }
    for (int left = a.frames; left > 0;) {
      const int n = std::min(left, size);
      script.push_back(Action{Action::kProcess, 0, 0.0, n});
      left -= n;
      size = size % (kChunkMinFrames - 1) + 1;
    }
  }
  for (bool stereo : {false, true}) {
    EXPECT_TRUE(RunScript<float>(script, stereo, true, GetParam()).Identical());
    EXPECT_TRUE(RunScript<double>(script, stereo, true, GetParam()).Identical());
  }
}


INSTANTIATE_TEST_SUITE_P(EveryPath, ReferenceModel, test::kEveryPath, test::PathName);

}  // namespace
}  // namespace qrv
