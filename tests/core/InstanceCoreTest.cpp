// The instance core against the engine run directly: what a block hands the engine and when, the piece
// loop, bypass, the published meter reading, refused rates, and no allocation in a block. The
// allocation check counts at malloc and runs outside sanitized builds, whose runtimes bring their own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "controller/InstanceCore.h"
#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "tests/support/MallocCounter.h"
#include "tests/support/ScratchUser.h"

namespace qrv::test {
namespace {

// The state tests build a preset manager, which reads the user's settings and folders: a scratch user's.
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new qrv::test::ScratchUserEnvironment(false));

constexpr uint32_t kFrames = 512;
constexpr double kRate = 48000.0;

// Two channels of bursts loud enough to compress, the right one different from the left.
struct Audio {
  explicit Audio(unsigned channels, uint32_t frames = kFrames, uint32_t offset = 0)
      : in(channels, std::vector<float>(frames)), out(channels, std::vector<float>(frames)) {
    for (unsigned ch = 0; ch < channels; ++ch) {
      for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i + offset);
        in[ch][i] = static_cast<float>((0.2 + 0.7 * std::fabs(std::sin(t / 900.0))) * std::sin(0.031 * t + ch));
      }
      ip.push_back(in[ch].data());
      op.push_back(out[ch].data());
    }
  }
  std::vector<std::vector<float>> in, out;
  std::vector<const float*> ip;
  std::vector<float*> op;
};

// The engine as a binding would set it up by hand: rate, values, then reset.
struct Direct {
  Direct(unsigned channels, const InstanceCore& core) : stereo(channels == 2) {
    engine.SetSampleRate(kRate);
    for (unsigned slot : kControlSlots) engine.SetParameter(slot, core.Value(slot));
    engine.Reset();
  }
  void Run(Audio& a, uint32_t from = 0, uint32_t to = kFrames) {
    const float* ip[2] = {a.ip[0] + from, stereo ? a.ip[1] + from : nullptr};
    float* op[2] = {a.op[0] + from, stereo ? a.op[1] + from : nullptr};
    engine.ProcessBlock(ip, op, static_cast<int32_t>(to - from));
  }
  bool stereo;
  warmGlowEffect engine;
};

void SetAudible(InstanceCore& core) {
  core.SetValue(kSlotCompression, 0.8);
  core.SetValue(kSlotOutput, 0.7);
  core.SetValue(kSlotRatio, 0.5);
}

TEST(InstanceCore, TheFirstBlockRunsWithTheValuesFromTheFirstSample) {
  for (unsigned channels : {1u, 2u}) {
    InstanceCore core(channels);
    SetAudible(core);
    ASSERT_TRUE(core.SetSampleRate(kRate));
    Direct direct(channels, core);
    Audio a(channels), b(channels);
    core.Process(a.ip.data(), a.op.data(), kFrames);
    direct.Run(b);
    EXPECT_EQ(a.out, b.out) << channels;
    // Drive and output gain are at their targets, not gliding towards them.
    EXPECT_EQ(core.engine().drive(), core.engine().driveTarget());
    EXPECT_EQ(core.engine().outputGain(), core.engine().outputTarget());
  }
}

TEST(InstanceCore, AValueChangedBetweenBlocksReachesTheNextBlock) {
  InstanceCore core(2);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  Direct direct(2, core);
  Audio a(2), b(2);
  core.Process(a.ip.data(), a.op.data(), kFrames);
  direct.Run(b);
  core.SetValue(kSlotOutput, 0.9);
  core.SetValue(kSlotTime, 0.25);
  direct.engine.SetParameter(kSlotOutput, 0.9);
  direct.engine.SetParameter(kSlotTime, 0.25);
  const std::vector<std::vector<float>> before = a.out;
  core.Process(a.ip.data(), a.op.data(), kFrames);
  direct.Run(b);
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, before);
  EXPECT_EQ(core.engine().timeFactor(), direct.engine.timeFactor());
}

TEST(InstanceCore, AValueAtAnOffsetReachesTheEngineThere) {
  InstanceCore core(2);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  Direct direct(2, core);
  Audio a(2), b(2);
  constexpr uint32_t kAt = 200;
  core.BeginBlock();
  core.ProcessFrames(a.ip.data(), a.op.data(), kAt);
  core.ApplyValueNow(kSlotOutput, 1.0);
  const float* ip[2] = {a.ip[0] + kAt, a.ip[1] + kAt};
  float* op[2] = {a.op[0] + kAt, a.op[1] + kAt};
  core.ProcessFrames(ip, op, kFrames - kAt);
  core.EndBlock();
  direct.Run(b, 0, kAt);
  direct.engine.SetParameter(kSlotOutput, 1.0);
  direct.Run(b, kAt, kFrames);
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(core.Value(kSlotOutput), 1.0);
}

TEST(InstanceCore, AnUnknownValueLeavesTheEnginesSetting) {
  InstanceCore core(1);
  core.SetValue(kSlotOutput, 0.9);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  Audio a(1);
  core.Process(a.ip.data(), a.op.data(), kFrames);
  const double target = core.engine().outputTarget();
  core.SetValue(kSlotOutput, std::nan(""));
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_EQ(core.engine().outputTarget(), target);
  core.RequestReset();
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_EQ(core.engine().outputTarget(), target);
  EXPECT_TRUE(std::isnan(core.Value(kSlotOutput)));
  EXPECT_TRUE(std::isnan(core.Value(kPresetValueCount)));
}

// After a host's reset, or at a new rate, the next block hands every value over and then resets, as at
// the start: the engine runs the values from that block's first sample.
TEST(InstanceCore, AResetAppliesEveryValueAndThenResets) {
  InstanceCore core(2);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  Direct direct(2, core);
  Audio a(2), b(2);
  for (int i = 0; i < 20; ++i) {
    core.Process(a.ip.data(), a.op.data(), kFrames);
    direct.Run(b);
  }
  auto resetDirect = [&] {
    for (unsigned slot : kControlSlots) direct.engine.SetParameter(slot, core.Value(slot));
    direct.engine.Reset();
  };
  SetAudible(core);
  core.RequestReset();
  resetDirect();
  core.Process(a.ip.data(), a.op.data(), kFrames);
  direct.Run(b);
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(core.engine().outputGain(), core.engine().outputTarget());

  core.SetValue(kSlotOutput, 0.1);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  resetDirect();
  core.Process(a.ip.data(), a.op.data(), kFrames);
  direct.Run(b);
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(core.engine().outputGain(), core.engine().outputTarget());
}

TEST(InstanceCore, BypassPassesTheInputThroughAndTheEngineRunsOnAfter) {
  InstanceCore core(2);
  SetAudible(core);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  Audio a(2);
  core.SetBypass(true);
  EXPECT_TRUE(core.bypassed());
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_EQ(a.out, a.in);
  core.SetBypass(false);
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_NE(a.out, a.in);
}

TEST(InstanceCore, TheMeterReadingIsPublishedAfterEachBlock) {
  InstanceCore core(2);
  SetAudible(core);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  EXPECT_EQ(core.MeterReading(), 0.0);
  Audio a(2);
  for (int i = 0; i < 40; ++i) {
    core.Process(a.ip.data(), a.op.data(), kFrames);
    double reading = -1.0;
    ASSERT_TRUE(core.engine().GetMeter(kSlotGainReduction, &reading));
    ASSERT_EQ(core.MeterReading(), reading) << i;
  }
  EXPECT_GT(core.MeterReading(), 0.05);
  // A new rate: nothing measured yet.
  ASSERT_TRUE(core.SetSampleRate(96000.0));
  EXPECT_EQ(core.MeterReading(), 0.0);
}

// Outside the range the engine's filters are defined for, the engine is left alone and blocks pass
// silence; a rate within runs again. Before any rate, blocks pass silence as well.
TEST(InstanceCore, ARateOutsideTheEnginesRangeIsRefusedAndPassesSilence) {
  InstanceCore core(2);
  SetAudible(core);
  Audio a(2);
  for (auto& ch : a.out) ch.assign(kFrames, 1.0f);
  EXPECT_FALSE(core.runnable());
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_EQ(a.out, std::vector<std::vector<float>>(2, std::vector<float>(kFrames, 0.0f)));
  ASSERT_TRUE(core.SetSampleRate(44100.0));
  for (double rate : {0.0, -44100.0, 8000.0, 22049.0, 192001.0, 384000.0, std::nan(""),
                      std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(core.SetSampleRate(rate)) << rate;
    EXPECT_FALSE(core.runnable()) << rate;
    EXPECT_EQ(core.engine().GetSampleRate(), 44100.0) << rate;
    for (auto& ch : a.out) ch.assign(kFrames, 1.0f);
    core.Process(a.ip.data(), a.op.data(), kFrames);
    EXPECT_EQ(a.out, std::vector<std::vector<float>>(2, std::vector<float>(kFrames, 0.0f))) << rate;
    EXPECT_EQ(core.MeterReading(), 0.0) << rate;
  }
  for (double rate : {kMinSampleRate, kMaxSampleRate, kRate}) {
    EXPECT_TRUE(core.SetSampleRate(rate)) << rate;
    EXPECT_EQ(core.engine().GetSampleRate(), rate);
  }
  Direct direct(2, core);
  Audio b(2);
  core.Process(a.ip.data(), a.op.data(), kFrames);
  direct.Run(b);
  EXPECT_EQ(a.out, b.out);
}

// Where the largest magnitude of a block lies.
uint32_t PeakFrame(const std::vector<float>& samples) {
  uint32_t at = 0;
  for (uint32_t i = 1; i < samples.size(); ++i) {
    if (std::fabs(samples[i]) > std::fabs(samples[at])) at = i;
  }
  return at;
}

TEST(InstanceCore, HighQualityIsTakenAtTheNextBlockAndItsLatencyReported) {
  InstanceCore core(2);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  Audio a(2);
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_FALSE(core.highQuality());
  EXPECT_EQ(core.Latency(), 0u);
  EXPECT_EQ(core.engine().GetLatency(), 0);

  core.SetHighQuality(true);
  EXPECT_TRUE(core.highQuality());
  EXPECT_GT(core.Latency(), 0u);
  EXPECT_FALSE(core.engine().highQuality());  // not beside a block: the next one takes it
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_TRUE(core.engine().highQuality());
  EXPECT_EQ(static_cast<uint32_t>(core.engine().GetLatency()), core.Latency());
  EXPECT_EQ(core.Latency(), static_cast<uint32_t>(core.engine().highQualityLatency()));

  core.SetHighQuality(false);
  EXPECT_EQ(core.Latency(), 0u);
  core.Process(a.ip.data(), a.op.data(), kFrames);
  EXPECT_FALSE(core.engine().highQuality());
  EXPECT_EQ(core.engine().GetLatency(), 0);
}

// The latency the core reports is where an impulse comes out, processed and bypassed, after a reset.
TEST(InstanceCore, TheReportedLatencyIsTheDelayOfAnImpulse) {
  for (bool hq : {false, true}) {
    for (bool bypass : {false, true}) {
      InstanceCore core(1);
      core.SetHighQuality(hq);
      core.SetBypass(bypass);
      ASSERT_TRUE(core.SetSampleRate(kRate));
      std::vector<float> in(kFrames, 0.0f), out(kFrames, 0.0f);
      constexpr uint32_t kAt = 100;
      in[kAt] = 0.5f;
      const float* ip[1] = {in.data()};
      float* op[1] = {out.data()};
      core.Process(ip, op, kFrames);
      EXPECT_GT(std::fabs(out[PeakFrame(out)]), 0.1f) << hq << bypass;
      EXPECT_EQ(PeakFrame(out), kAt + core.Latency()) << hq << bypass;
      EXPECT_EQ(core.Latency() > 0, hq);
    }
  }
}

// The footer's flags word of a state stream.
uint32_t StreamFlags(const std::vector<uint8_t>& bytes) {
  const std::size_t at = bytes.size() - 8;
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

std::vector<uint8_t> SavedStream(InstanceCore& core) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(core.presets().SaveStream(bytes, core.StateFlags()));
  return bytes;
}

TEST(InstanceCoreState, HighQualityRoundTripsWithTheStateAndOffKeepsEveryByte) {
  InstanceCore off(2);
  SetAudible(off);
  const std::vector<uint8_t> plain = SavedStream(off);
  // Off: the stream as this instance wrote it before the option existed (flags only for bypass).
  std::vector<uint8_t> before;
  ASSERT_TRUE(off.presets().SaveStream(before, 0));
  EXPECT_EQ(plain, before);
  EXPECT_EQ(StreamFlags(plain), 0u);

  InstanceCore on(2);
  SetAudible(on);
  on.SetHighQuality(true);
  const std::vector<uint8_t> hq = SavedStream(on);
  ASSERT_EQ(hq.size(), plain.size());
  EXPECT_EQ(StreamFlags(hq), kStateFlagHighQuality);
  // Only the flag differs.
  std::vector<uint8_t> masked = hq;
  masked[masked.size() - 8] = 0;
  EXPECT_EQ(masked, plain);

  for (const auto* bytes : {&hq, &plain}) {
    InstanceCore back(2);
    back.SetHighQuality(bytes == &plain);  // the opposite of what the state says
    back.SetBypass(true);
    uint32_t flags = 0;
    ASSERT_TRUE(back.presets().LoadStream(*bytes, flags));
    back.ApplyStateFlags(flags);
    EXPECT_EQ(back.highQuality(), bytes == &hq);
    EXPECT_FALSE(back.bypassed());
    back.presets().PublishValues();
    EXPECT_EQ(SavedStream(back), *bytes);
    EXPECT_FALSE(InstancePresets::StreamIsNewer(*bytes));
  }
}

// Versions before the option knew the bypass flag alone and refuse a stream with any other flag as
// newer: a state with High quality on must carry a flag beyond bypass, never load there without it.
TEST(InstanceCoreState, AStreamWithHighQualityIsOneOlderVersionsRefuse) {
  InstanceCore on(1);
  on.SetHighQuality(true);
  on.SetBypass(true);
  const std::vector<uint8_t> hq = SavedStream(on);
  EXPECT_NE(StreamFlags(hq) & ~kStateFlagBypass, 0u);
  EXPECT_EQ(StreamFlags(hq) & kStateFlagBypass, kStateFlagBypass);
  // A flag this version does not know takes the same path here.
  std::vector<uint8_t> later = hq;
  later[later.size() - 8] |= 0x04;
  EXPECT_TRUE(InstancePresets::StreamIsNewer(later));
  InstanceCore other(1);
  uint32_t flags = 0;
  EXPECT_FALSE(other.presets().LoadStream(later, flags));
}

TEST(InstanceCoreState, ATruncatedOrDamagedStreamWithHighQualityChangesNothing) {
  InstanceCore on(2);
  on.SetValue(kSlotOutput, 0.9);
  on.SetHighQuality(true);
  const std::vector<uint8_t> hq = SavedStream(on);

  InstanceCore mine(2);
  mine.SetValue(kSlotOutput, 0.2);
  const std::vector<uint8_t> before = SavedStream(mine);
  std::vector<std::vector<uint8_t>> bad;
  for (std::size_t cut : {std::size_t{0}, std::size_t{8}, hq.size() / 2, hq.size() - 17, hq.size() - 1}) {
    bad.emplace_back(hq.begin(), hq.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  std::vector<uint8_t> garbage(hq.size());
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
  std::copy(hq.end() - 16, hq.end(), garbage.end() - 16);  // a footer of ours over garbage
  bad.push_back(garbage);
  for (const auto& bytes : bad) {
    uint32_t flags = 0;
    EXPECT_FALSE(mine.presets().LoadStream(bytes, flags)) << bytes.size();
    EXPECT_FALSE(mine.highQuality());
    EXPECT_EQ(SavedStream(mine), before) << bytes.size();
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(InstanceCore, ABlockAllocatesNothing) {
  InstanceCore core(2);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  Audio a(2);
  StartMallocCount();
  for (int block = 0; block < 64; ++block) {
    core.SetValue(kSlotOutput, block % 2 == 0 ? 0.3 : 0.7);
    core.SetBypass(block % 7 == 3);
    if (block == 30) core.RequestReset();
    if (block % 11 == 5) core.SetHighQuality(!core.highQuality());
    core.BeginBlock();
    core.ProcessFrames(a.ip.data(), a.op.data(), kFrames / 2);
    core.ApplyValueNow(kSlotCompression, block % 3 == 0 ? 0.2 : 0.6);
    const float* ip[2] = {a.ip[0] + kFrames / 2, a.ip[1] + kFrames / 2};
    float* op[2] = {a.op[0] + kFrames / 2, a.op[1] + kFrames / 2};
    core.ProcessFrames(ip, op, kFrames / 2);
    core.EndBlock();
  }
  EXPECT_EQ(StopMallocCount(), 0);
}

TEST(InstanceCore, TheCounterSeesAllocations) {
  StartMallocCount();
  auto core = std::make_unique<InstanceCore>(2);
  EXPECT_GT(StopMallocCount(), 0);
}

#endif

}  // namespace
}  // namespace qrv::test
