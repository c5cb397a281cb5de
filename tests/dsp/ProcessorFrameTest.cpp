#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "tests/support/AllocationCounter.h"

namespace qrv {
namespace {

std::vector<float> Noise(int frames, unsigned seed, float amp = 0.8f) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-amp, amp);
  std::vector<float> x(static_cast<std::size_t>(frames));
  for (auto& s : x) s = dist(gen);
  return x;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A ParameterMessage block: 8 bytes header, kind, signed count, then 16-byte entries.
std::vector<unsigned char> Message(int kind, int count, const std::vector<std::pair<uint32_t, double>>& entries) {
  std::vector<unsigned char> m(10 + 16 * entries.size(), 0);
  m[8] = static_cast<unsigned char>(kind);
  m[9] = static_cast<unsigned char>(static_cast<int8_t>(count));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    unsigned char* e = m.data() + 10 + 16 * i;
    for (int b = 0; b < 4; ++b) e[b] = static_cast<unsigned char>(entries[i].first >> (8 * b));
    uint64_t bits;
    std::memcpy(&bits, &entries[i].second, 8);
    for (int b = 0; b < 8; ++b) e[8 + b] = static_cast<unsigned char>(bits >> (8 * b));
  }
  return m;
}

TEST(ProcessorFrame, BypassAndModeOffCopyBitForBitWhileTheMeterFalls) {
  auto l = Noise(4096, 1), r = Noise(4096, 2);
  l[10] = std::numeric_limits<float>::denorm_min();
  r[11] = -0.0f;
  warmGlowEffect fx;
  fx.SetParameter(kSlotCompression, 1.0);
  fx.Reset();
  std::vector<float> outL(l.size()), outR(l.size());
  const float* in[2] = {l.data(), r.data()};
  float* out[2] = {outL.data(), outR.data()};
  fx.ProcessBlock(in, out, 4096);  // build up some reduction first
  double before = 0;
  fx.GetMeter(kSlotGainReduction, &before);
  ASSERT_GT(before, 0.1);

  fx.BypassBlock(in, out, 4096);
  EXPECT_TRUE(SameBits(outL, l));
  EXPECT_TRUE(SameBits(outR, r));
  double afterBypass = 0;
  fx.GetMeter(kSlotGainReduction, &afterBypass);
  EXPECT_LT(afterBypass, before);

  fx.SetParameter(kSlotProcess, 0.0);
  std::fill(outL.begin(), outL.end(), 9.0f);
  fx.ProcessBlock(in, out, 4096);
  EXPECT_TRUE(SameBits(outL, l));
  EXPECT_TRUE(SameBits(outR, r));
  double afterOff = 0;
  fx.GetMeter(kSlotGainReduction, &afterOff);
  EXPECT_LT(afterOff, afterBypass);
  for (int i = 0; i < 100; ++i) fx.ProcessBlock(in, out, 4096);
  fx.GetMeter(kSlotGainReduction, &afterOff);
  EXPECT_LT(afterOff, 1e-6);
}

TEST(ProcessorFrame, ChannelLayouts) {
  const auto l = Noise(2048, 3), r = Noise(2048, 4);
  // Mono in, two outputs: both carry the mono loop's result.
  {
    warmGlowEffect fx;
    std::vector<float> o0(l.size()), o1(l.size(), 5.0f);
    const float* in[2] = {l.data(), nullptr};
    float* out[2] = {o0.data(), o1.data()};
    fx.ProcessBlock(in, out, 2048);
    EXPECT_TRUE(SameBits(o0, o1));
    EXPECT_FALSE(SameBits(o0, l));
  }
  // Stereo in, one output: bypass gives input channel 1, processing the stereo loop's channel 1.
  {
    warmGlowEffect one, two;
    std::vector<float> single(l.size()), refL(l.size()), refR(l.size());
    const float* in[2] = {l.data(), r.data()};
    float* outOne[2] = {single.data(), nullptr};
    float* outTwo[2] = {refL.data(), refR.data()};
    one.BypassBlock(in, outOne, 2048);
    EXPECT_TRUE(SameBits(single, r));
    one.Reset();
    one.ProcessBlock(in, outOne, 2048);
    // Bypass moved only the meter, which never reaches the audio.
    two.ProcessBlock(in, outTwo, 2048);
    EXPECT_TRUE(SameBits(single, refR));
  }
  // Nothing to do for empty or missing buffers.
  {
    warmGlowEffect fx;
    float o = 3.0f;
    float* out[2] = {&o, nullptr};
    const float* none[2] = {nullptr, nullptr};
    fx.ProcessBlock(none, out, 1);
    const float x = 1.0f;
    const float* in[2] = {&x, nullptr};
    fx.ProcessBlock(in, out, 0);
    fx.ProcessBlock(in, out, -5);
    EXPECT_EQ(o, 3.0f);
  }
}

TEST(ProcessorFrame, SampleRateIsClampedAndTakesEffectAtReset) {
  warmGlowEffect fx;
  EXPECT_EQ(fx.GetSampleRate(), 44100.0);
  EXPECT_TRUE(fx.SetSampleRate(48000.0));
  EXPECT_EQ(fx.section(warmGlowEffect::kFastLevel).sampleRate, 44100.0);
  fx.Reset();
  EXPECT_EQ(fx.section(warmGlowEffect::kFastLevel).sampleRate, 48000.0);
  EXPECT_EQ(fx.section(warmGlowEffect::kMeter).sampleRate, 48000.0);
  EXPECT_EQ(fx.section(warmGlowEffect::kMeter).frequency, 2.3333333333333335);
  EXPECT_EQ(fx.section(warmGlowEffect::kSlowLevel).frequency, 2.0);
  EXPECT_EQ(fx.envelope(), 0.0001);
  EXPECT_EQ(fx.meterGain(), 1.0);

  EXPECT_FALSE(fx.SetSampleRate(8000.0));
  EXPECT_EQ(fx.GetSampleRate(), 22050.0);
  EXPECT_FALSE(fx.SetSampleRate(1e9));
  EXPECT_EQ(fx.GetSampleRate(), 192000.0);
  EXPECT_FALSE(fx.SetSampleRate(0.0));
  EXPECT_EQ(fx.GetSampleRate(), 22050.0);
  EXPECT_FALSE(fx.SetSampleRate(-44100.0));
  EXPECT_EQ(fx.GetSampleRate(), 22050.0);
  EXPECT_TRUE(fx.SetSampleRate(96000.0));
  EXPECT_FALSE(fx.SetSampleRate(std::nan("")));
  EXPECT_EQ(fx.GetSampleRate(), 96000.0);
  EXPECT_FALSE(fx.SetSampleRate(-INFINITY));
  EXPECT_GE(fx.GetSampleRate(), 22050.0);
  EXPECT_LE(fx.GetSampleRate(), 192000.0);
}

TEST(ProcessorFrame, ParameterMessagesApplyListsAndNeverReadPastTheirSize) {
  warmGlowEffect fx;
  // Kind 8 and a negative count change nothing.
  auto m = Message(8, 1, {{kSlotRatio, 0.0}});
  EXPECT_TRUE(fx.ApplyMessage(m.data(), m.size()));
  EXPECT_EQ(fx.ratioStep(), 3);
  m = Message(9, -1, {{kSlotRatio, 0.0}});
  EXPECT_TRUE(fx.ApplyMessage(m.data(), m.size()));
  EXPECT_EQ(fx.ratioStep(), 3);

  m = Message(9, 2, {{kSlotRatio, 0.0}, {kSlotValveLevel, 1.0}});
  EXPECT_TRUE(fx.ApplyMessage(m.data(), m.size()));
  EXPECT_EQ(fx.ratioStep(), 0);
  EXPECT_EQ(fx.valveStep(), 6);

  // The count claims three entries but the block holds two: the third is never read. The block
  // lives in its own heap allocation so a read past it trips the address sanitizer.
  m = Message(9, 3, {{kSlotRatio, 1.0}, {kSlotValveLevel, 0.0}});
  auto exact = std::make_unique<unsigned char[]>(m.size());
  std::memcpy(exact.get(), m.data(), m.size());
  EXPECT_TRUE(fx.ApplyMessage(exact.get(), m.size()));
  EXPECT_EQ(fx.ratioStep(), 6);
  EXPECT_EQ(fx.valveStep(), 0);

  // 70 entries in a 1130-byte block: only the 63 inside the first 1024 bytes apply.
  std::vector<std::pair<uint32_t, double>> many(63, {kSlotAttackRatio, 0.0});
  for (int i = 0; i < 7; ++i) many.push_back({kSlotAttackRatio, 1.0});
  m = Message(9, 70, many);
  EXPECT_TRUE(fx.ApplyMessage(m.data(), m.size()));
  EXPECT_EQ(fx.attackStep(), 0);

  // Short and null blocks are harmless.
  EXPECT_TRUE(fx.ApplyMessage(m.data(), 9));
  EXPECT_TRUE(fx.ApplyMessage(nullptr, 100));
  // Unknown indices are ignored.
  m = Message(9, 1, {{4000000000u, 0.0}});
  EXPECT_TRUE(fx.ApplyMessage(m.data(), m.size()));
}

TEST(ProcessorFrame, NonFiniteInputDoesNotOutliveItsBlock) {
  for (double mode : {0.5, 1.0}) {
    for (bool stereo : {false, true}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " stereo " << stereo);
      warmGlowEffect fx;
      fx.SetParameter(kSlotProcess, mode);
      auto bad = Noise(512, 5);
      bad[100] = std::numeric_limits<float>::quiet_NaN();
      bad[200] = std::numeric_limits<float>::infinity();
      bad[300] = -std::numeric_limits<float>::infinity();
      std::vector<float> outL(512), outR(512);
      const float* in[2] = {bad.data(), stereo ? bad.data() : nullptr};
      float* out[2] = {outL.data(), outR.data()};
      fx.ProcessBlock(in, out, 512);

      const auto good = Noise(512, 6);
      const float* inGood[2] = {good.data(), stereo ? good.data() : nullptr};
      fx.ProcessBlock(inGood, out, 512);
      for (std::size_t i = 0; i < 512; ++i) {
        ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i])) << i;
      }
      double meter = -1;
      fx.GetMeter(kSlotGainReduction, &meter);
      EXPECT_TRUE(std::isfinite(meter));
      EXPECT_GE(meter, 0.0);
      EXPECT_TRUE(std::isfinite(fx.envelope()));
    }
  }
}

TEST(ProcessorFrame, MetersAndLatency) {
  warmGlowEffect fx;
  double v = 42.0;
  EXPECT_TRUE(fx.GetMeter(kSlotGainReduction, &v));
  EXPECT_NEAR(v, 0.0, 1e-6);  // a fresh instance starts settled at no reduction
  v = 42.0;
  for (unsigned i : {0u, 1u, 12u, 14u, 28u, 1000u}) {
    EXPECT_FALSE(fx.GetMeter(i, &v));
    EXPECT_EQ(v, 42.0);
  }
  EXPECT_EQ(fx.GetLatency(), 0);
}

TEST(ProcessorFrame, RenderPathAllocatesNothing) {
  warmGlowEffect fx;
  auto l = Noise(512, 7), r = Noise(512, 8);
  std::vector<float> outL(512), outR(512);
  std::vector<double> dl(l.begin(), l.end()), dr(r.begin(), r.end()), dol(512), dor(512);
  const float* in[2] = {l.data(), r.data()};
  float* out[2] = {outL.data(), outR.data()};
  const float* monoIn[2] = {l.data(), nullptr};
  const double* din[2] = {dl.data(), dr.data()};
  double* dout[2] = {dol.data(), dor.data()};
  const auto msg = Message(9, 2, {{kSlotRatio, 1.0}, {kSlotTime, 0.3}});

  qrv::test::AllocationScope scope;
  for (int round = 0; round < 4; ++round) {
    for (unsigned slot : kControlSlots) fx.SetParameter(slot, round / 3.0);
    fx.ApplyMessage(msg.data(), msg.size());
    fx.SetSampleRate(round % 2 ? 48000.0 : 44100.0);
    fx.Reset();
    fx.ProcessBlock(in, out, 512);
    fx.ProcessBlock(monoIn, out, 512);
    fx.ProcessBlockDouble(din, dout, 512);
    fx.BypassBlock(in, out, 512);
    fx.BypassBlockDouble(din, dout, 512);
    double meter;
    fx.GetMeter(kSlotGainReduction, &meter);
  }
  EXPECT_EQ(scope.count(), 0u);
}

}  // namespace
}  // namespace qrv
