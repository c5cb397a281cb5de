// Audio through the real module and the simulator's render context, against the engine driven directly
// in the order the render procedure uses; private data, meters, bypass, transport and latency.
#include <cstring>

#include "dsp/ParameterSet.h"
#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"
#include "presets/IndexTable.h"
#include "tests/aax/AaxTestSupport.h"
#include "tests/support/AllocationCounter.h"

namespace qrv::aaxtest {
namespace {

constexpr float kRate = 48000.0f;
constexpr float kUnset = -1.666f;

// The engine as the render procedure drives it.
class Reference {
 public:
  Reference(int channels, float rate) : channels_(channels) {
    e_.SetSampleRate(rate);
    e_.Reset();
  }
  // The first block after reset, or a "PresetSTART" change: the marker, then all seven values.
  void PresetStart(const std::vector<float>& values) {
    e_.SetParameter(kMessagePresetStart, 1.0);
    for (unsigned slot : kControlSlots) e_.SetParameter(slot, values[slot]);
  }
  void PresetStop() { e_.SetParameter(kMessagePresetStop, 1.0); }
  void Set(unsigned slot, float v) { e_.SetParameter(slot, v); }
  void Rate(float rate) {
    e_.SetSampleRate(rate);
    e_.Reset();
  }
  void Process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out, std::size_t at,
               int32_t n, bool bypass = false) {
    const float* ip[2] = {in[0].data() + at, channels_ > 1 ? in[1].data() + at : nullptr};
    float* op[2] = {out[0].data() + at, channels_ > 1 ? out[1].data() + at : nullptr};
    const ScopedFlushToZero ftz;
    if (bypass) {
      e_.BypassBlock(ip, op, n);
    } else {
      e_.ProcessBlock(ip, op, n);
    }
  }
  double Meter() {
    double v = 0.0;
    e_.GetMeter(kSlotGainReduction, &v);
    return v;
  }

 private:
  int channels_;
  warmGlowEffect e_;
};

class AaxRender : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = LoadBundleHost();
    ASSERT_NE(loaded, nullptr);
    host_ = std::make_unique<RegisteredHost>(std::move(loaded));
  }
  void TearDown() override { host_.reset(); }
  std::unique_ptr<aaxhost::Instance> Create(int channels) { return (*host_)->CreateInstance(channels - 1, kRate); }
  // Port values of slots 0..11 as the render side reads them.
  static std::vector<float> Ports(const aaxhost::Instance& i) {
    std::vector<float> v(12, 0.0f);
    for (int s = 0; s < 12; ++s) v[static_cast<std::size_t>(s)] = i.PortFloat(s + 1);
    return v;
  }
  static void ExpectSame(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t c = 0; c < a.size(); ++c) {
      ASSERT_EQ(a[c].size(), b[c].size());
      std::size_t differing = 0;
      for (std::size_t i = 0; i < a[c].size(); ++i) differing += std::memcmp(&a[c][i], &b[c][i], 4) != 0;
      EXPECT_EQ(differing, 0u) << "channel " << c;
    }
  }
  void RenderOne(aaxhost::Instance& i, std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                 std::size_t at, int32_t n) {
    const float* ip[2] = {in[0].data() + at, in.size() > 1 ? in[1].data() + at : nullptr};
    float* op[2] = {out[0].data() + at, out.size() > 1 ? out[1].data() + at : nullptr};
    i.RenderBlock(ip, op, n);
  }
  std::unique_ptr<RegisteredHost> host_;
};

TEST_F(AaxRender, MatchesTheEngineSampleForSample) {
  const std::vector<std::vector<int32_t>> patterns = {{64}, {512}, {37, 1024, 5, 256}};
  for (int channels : {1, 2}) {
    for (const auto& blocks : patterns) {
      SCOPED_TRACE(::testing::Message() << channels << " channels, first block " << blocks[0]);
      auto instance = Create(channels);
      ASSERT_NE(instance, nullptr);
      instance->SetParameter("0: Process", channels == 1 ? 0.5 : 1.0);
      instance->SetParameter("2: Ratio", 0.8);
      instance->SetParameter("4: Time", 0.3);
      instance->SetParameter("5: Compression", 0.75);
      instance->SetParameter("7: ValveLevel", 0.9);
      auto in = TestSignal(channels, 20000, kRate);
      std::vector<std::vector<float>> out;
      instance->Render(in, out, blocks);

      Reference ref(channels, kRate);
      ref.PresetStart(Ports(*instance));
      ref.PresetStop();
      std::vector<std::vector<float>> expected(static_cast<std::size_t>(channels), std::vector<float>(20000));
      std::size_t at = 0, k = 0;
      while (at < 20000) {
        const int32_t n = static_cast<int32_t>(std::min<std::size_t>(20000 - at, blocks[k++ % blocks.size()]));
        ref.Process(in, expected, at, n);
        at += static_cast<std::size_t>(n);
      }
      ExpectSame(out, expected);
      EXPECT_NE(std::memcmp(out[0].data(), in[0].data(), 20000 * sizeof(float)), 0);  // it did compress
    }
  }
}

TEST_F(AaxRender, ChangesReachTheEngineAtTheNextBlock) {
  auto instance = Create(2);
  ASSERT_NE(instance, nullptr);
  auto in = TestSignal(2, 256 * 12, kRate);
  std::vector<std::vector<float>> out(2, std::vector<float>(in[0].size())), expected = out;
  Reference ref(2, kRate);
  for (int b = 0; b < 12; ++b) {
    const std::size_t at = static_cast<std::size_t>(b) * 256;
    if (b == 0) {
      ref.PresetStart(Ports(*instance));
      ref.PresetStop();
    }
    if (b == 3) {
      instance->SetParameter("5: Compression", 0.2);
      ref.Set(5, 0.2f);
    }
    if (b == 5) {
      instance->SetSampleRate(96000.0f);
      ref.Rate(96000.0f);
    }
    if (b == 7) {
      // A preset load begins: all seven are sent again, though none changed.
      instance->SetParameter("PresetSTART", 0.5);
      ref.PresetStart(Ports(*instance));
    }
    if (b == 8) {
      instance->SetParameter("PresetSTOP", 0.5);
      instance->SetParameter("3: AttackRatio", 0.0);
      ref.Set(3, 0.0f);
      ref.PresetStop();
    }
    if (b == 10) instance->SetSampleRate(96000.0f);  // unchanged: no reset
    RenderOne(*instance, in, out, at, 256);
    ref.Process(in, expected, at, 256);
  }
  ExpectSame(out, expected);
  float lastRate = 0.0f;
  ASSERT_TRUE(instance->ReadPrivateData(23, 0, 4, &lastRate));
  EXPECT_EQ(lastRate, 96000.0f);
}

TEST_F(AaxRender, RatesThatAreNoRateLeaveTheEngineAlone) {
  auto instance = Create(1);
  ASSERT_NE(instance, nullptr);
  instance->SetParameter("5: Compression", 0.9);
  auto in = TestSignal(1, 256 * 8, kRate);
  std::vector<std::vector<float>> out(1, std::vector<float>(in[0].size())), expected = out;
  Reference ref(1, kRate);
  ref.PresetStart(Ports(*instance));
  ref.PresetStop();
  const float rates[8] = {kRate, std::nanf(""), 0.0f, -44100.0f, INFINITY, -INFINITY, kRate, kRate};
  for (int b = 0; b < 8; ++b) {
    instance->SetSampleRate(rates[b]);
    RenderOne(*instance, in, out, static_cast<std::size_t>(b) * 256, 256);
    ref.Process(in, expected, static_cast<std::size_t>(b) * 256, 256);
    float lastRate = 0.0f;
    ASSERT_TRUE(instance->ReadPrivateData(23, 0, 4, &lastRate));
    EXPECT_EQ(lastRate, kRate) << "block " << b;
  }
  // No reset on the way: the output runs on as if the host had kept its rate.
  ExpectSame(out, expected);
}

TEST_F(AaxRender, FirstBlockAfterResetSendsEverything) {
  auto instance = Create(1);
  ASSERT_NE(instance, nullptr);
  // Ports, pending values, markers and the spare words up to offset 148; the master object follows.
  float hidden[37];
  int32_t latency = 0;
  ASSERT_TRUE(instance->ReadPrivateData(21, 0, sizeof hidden, hidden));
  for (float v : hidden) EXPECT_EQ(v, kUnset);
  uint32_t gap = 1;
  ASSERT_TRUE(instance->ReadPrivateData(21, 148, 4, &gap));
  EXPECT_EQ(gap, 0u);
  ASSERT_TRUE(instance->ReadPrivateData(22, 0, 4, &latency));
  EXPECT_EQ(latency, -1);

  auto in = TestSignal(1, 128, kRate);
  std::vector<std::vector<float>> out(1, std::vector<float>(128));
  RenderOne(*instance, in, out, 0, 128);
  ASSERT_TRUE(instance->ReadPrivateData(21, 0, sizeof hidden, hidden));
  const std::vector<float> ports = Ports(*instance);
  for (unsigned slot : kControlSlots) EXPECT_EQ(hidden[slot], ports[slot]) << slot;
  EXPECT_EQ(hidden[1], -1.0f);  // cleared by the start of the load, never a host parameter
  for (int k = 12; k < 29; ++k) EXPECT_EQ(hidden[k], kUnset);
  EXPECT_EQ(hidden[29], 0.0f);  // last START and STOP values
  EXPECT_EQ(hidden[30], 0.0f);
  for (int k = 31; k < 37; ++k) EXPECT_EQ(hidden[k], kUnset);  // never used, never touched
  ASSERT_TRUE(instance->ReadPrivateData(22, 0, 4, &latency));
  EXPECT_EQ(latency, 0);
}

TEST_F(AaxRender, LatencyIsReportedOnlyAfterTheFirstBlock) {
  auto instance = Create(1);
  ASSERT_NE(instance, nullptr);
  instance->SetAssumedLatency(64);
  EXPECT_EQ(instance->TimerWakeup(), AAX_SUCCESS);
  EXPECT_FALSE(instance->LatencyReported());
  EXPECT_EQ(instance->HostLatency(), 64);
  auto in = TestSignal(1, 64, kRate);
  std::vector<std::vector<float>> out(1, std::vector<float>(64));
  RenderOne(*instance, in, out, 0, 64);
  EXPECT_EQ(instance->TimerWakeup(), AAX_SUCCESS);
  EXPECT_TRUE(instance->LatencyReported());
  EXPECT_EQ(instance->HostLatency(), 0);
}

TEST_F(AaxRender, MetersFollowChannelZero) {
  auto instance = Create(2);
  ASSERT_NE(instance, nullptr);
  instance->SetParameter("5: Compression", 1.0);
  auto in = TestSignal(2, 2048, kRate);
  for (float& s : in[1]) s *= 1.1f;  // louder second channel, which no meter reads
  std::vector<std::vector<float>> out(2, std::vector<float>(2048)), expected = out;
  Reference ref(2, kRate);
  ref.PresetStart(Ports(*instance));
  ref.PresetStop();
  for (int b = 0; b < 4; ++b) {
    RenderOne(*instance, in, out, static_cast<std::size_t>(b) * 512, 512);
    ref.Process(in, expected, static_cast<std::size_t>(b) * 512, 512);
  }
  float inPeak = 0.0f, outPeak = 0.0f;
  for (std::size_t i = 1536; i < 2048; ++i) {
    inPeak = std::max(inPeak, std::fabs(in[0][i]));
    outPeak = std::max(outPeak, std::fabs(out[0][i]));
  }
  EXPECT_EQ(instance->MeterValueAt(0), inPeak);
  EXPECT_EQ(instance->MeterValue(AAX_FourCC("mtrO")), outPeak);
  const float gr = static_cast<float>(ref.Meter());
  EXPECT_GT(gr, 0.05f);
  EXPECT_EQ(instance->MeterValue(AAX_FourCC("mtGR")), gr);
  EXPECT_EQ(instance->MeterValue(AAX_FourCC("mtcA")), gr + 0.1f);  // custom meter of slot 13
  EXPECT_EQ(instance->MeterValue(AAX_FourCC("mtcB")), 0.0f);        // not in the list: never written
}

TEST_F(AaxRender, BypassPassesAudioAndLetsTheGainReductionFall) {
  auto instance = Create(2);
  ASSERT_NE(instance, nullptr);
  instance->SetParameter("5: Compression", 1.0);
  constexpr int kBlocks = 160;
  auto in = TestSignal(2, 512 * kBlocks, kRate);
  std::vector<std::vector<float>> out(2, std::vector<float>(in[0].size()));
  for (int b = 0; b < 16; ++b) RenderOne(*instance, in, out, static_cast<std::size_t>(b) * 512, 512);
  instance->SetParameter("MasterBypassID", 1.0);
  float highest = 0.0f, last = 1.0f;
  for (int b = 16; b < kBlocks; ++b) {
    const std::size_t at = static_cast<std::size_t>(b) * 512;
    RenderOne(*instance, in, out, at, 512);
    for (int c = 0; c < 2; ++c) {
      ASSERT_EQ(std::memcmp(out[static_cast<std::size_t>(c)].data() + at, in[static_cast<std::size_t>(c)].data() + at,
                            512 * sizeof(float)),
                0);
    }
    const float gr = instance->MeterValueAt(2);
    highest = std::max(highest, gr);
    last = gr;
    EXPECT_EQ(instance->MeterValueAt(0), instance->MeterValueAt(1));  // the peak meters still follow
  }
  // The reading settles back to (nearly) nothing with the meter's own ballistics.
  EXPECT_GT(highest, 0.05f);
  EXPECT_LT(last, 0.001f);
  EXPECT_GT(instance->MeterValueAt(0), 0.0f);
}

TEST_F(AaxRender, TransportReachesTheTimeInfo) {
  auto instance = Create(1);
  ASSERT_NE(instance, nullptr);
  auto in = TestSignal(1, 64, kRate);
  std::vector<std::vector<float>> out(1, std::vector<float>(64));
  struct {
    double samplePosition, r8[2], quarterNotes, tempo, r40[3];
    int32_t r64[5], flags;
  } info{};
  static_assert(sizeof info == 88);

  instance->SetTransport(100.0, true, 1920000, 4800);
  RenderOne(*instance, in, out, 0, 64);
  ASSERT_TRUE(instance->ReadPrivateData(21, 160, sizeof info, &info));
  EXPECT_EQ(info.samplePosition, 4800.0);
  EXPECT_EQ(info.quarterNotes, 2.0);
  EXPECT_EQ(info.tempo, 100.0);
  EXPECT_EQ(info.flags, 0x400 | 0x200 | 2 | 1);

  instance->SetTransport(90.0, false, 0, 0);
  RenderOne(*instance, in, out, 0, 64);
  ASSERT_TRUE(instance->ReadPrivateData(21, 160, sizeof info, &info));
  EXPECT_EQ(info.quarterNotes, 0.0);
  EXPECT_EQ(info.tempo, 90.0);
  EXPECT_EQ(info.flags, 0x400 | 1);  // no quarter notes, stopped, the change mark stays
}

TEST_F(AaxRender, RenderCallsAllocateNothing) {
  for (int channels : {1, 2}) {
    auto instance = Create(channels);
    ASSERT_NE(instance, nullptr);
    constexpr int kBlocks = 9;
    auto in = TestSignal(channels, 512 * kBlocks, kRate);
    std::vector<std::vector<float>> out(static_cast<std::size_t>(channels), std::vector<float>(in[0].size()));
    for (int b = 0; b < kBlocks; ++b) {
      if (b == 2) instance->SetParameter("5: Compression", 0.1);
      if (b == 3) instance->SetSampleRate(44100.0f);
      if (b == 4) instance->SetParameter("PresetSTART", 0.3);
      // High quality switched on and off during playback, handed over by the direct-data timer.
      if (b == 5 || b == 7) {
        instance->SetParameter("HighQualityID", b == 5 ? 1.0 : 0.0);
        instance->TimerWakeup();
      }
      if (b == 8) instance->SetParameter("MasterBypassID", 1.0);
      test::AllocationScope scope;
      RenderOne(*instance, in, out, static_cast<std::size_t>(b) * 512, 512);
      EXPECT_EQ(scope.count(), 0u) << "block " << b;
      // The switch took effect: the engine's latency follows it.
      int32_t latency = -2;
      ASSERT_TRUE(instance->ReadPrivateData(22, 0, 4, &latency));
      EXPECT_EQ(latency, b == 5 || b == 6 ? 61 : 0) << "block " << b;
    }
  }
}

}  // namespace
}  // namespace qrv::aaxtest
