// High quality in the AAX-style binding as a host sees it, through the real module and the simulator: a
// host parameter that automation cannot move, kept in the 'All ' chunk and in no preset, the latency the
// host is told against the measured delay of an impulse, and `aaxhost render --hq`.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/wait.h>

#include "tests/aax/AaxTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/WavFile.h"

namespace qrv::aaxtest {
namespace {

constexpr float kRate = 48000.0f;
constexpr AAX_CTypeID kAll = AAX_FourCC("All ");
constexpr AAX_CTypeID kControls = AAX_FourCC("elck");
constexpr int32_t kHighQualityLatency = 61;

class AaxHighQuality : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = LoadBundleHost();
    ASSERT_NE(loaded, nullptr);
    host_ = std::make_unique<RegisteredHost>(std::move(loaded));
  }
  void TearDown() override { host_.reset(); }
  std::unique_ptr<aaxhost::Instance> Create(int channels) { return (*host_)->CreateInstance(channels - 1, kRate); }
  // As a user at the host's own control or a control surface: touch, set, release.
  static void Edit(aaxhost::Instance& i, const std::string& id, double v) {
    i.Touch(id);
    i.SetParameter(id, v);
    i.Release(id);
  }
  static aaxhost::Instance::Chunk Save(aaxhost::Instance& i, AAX_CTypeID id) {
    aaxhost::Instance::Chunk c;
    EXPECT_EQ(i.SaveChunk(id, &c), AAX_SUCCESS);
    return c;
  }
  // in on every channel, in blocks of 256; the direct-data timer wakes before the first and after the
  // last, as a host's timer does around a short run. Channel 0 of the output.
  static std::vector<float> Run(aaxhost::Instance& i, const std::vector<float>& in) {
    std::vector<std::vector<float>> out(static_cast<std::size_t>(i.Channels()), std::vector<float>(in.size()));
    i.TimerWakeup();
    for (std::size_t at = 0; at < in.size(); at += 256) {
      const int32_t n = static_cast<int32_t>(std::min<std::size_t>(256, in.size() - at));
      const float* ip[2] = {in.data() + at, in.data() + at};
      float* op[2] = {out[0].data() + at, out.back().data() + at};
      i.RenderBlock(ip, op, n);
    }
    i.TimerWakeup();
    return out[0];
  }
  std::unique_ptr<RegisteredHost> host_;
};

TEST_F(AaxHighQuality, IsAHostParameterThatAutomationCannotMove) {
  auto i = Create(2);
  ASSERT_NE(i, nullptr);
  AAX_IEffectParameters* model = i->dataModel();
  char name[64] = {};
  ASSERT_EQ(model->GetParameterName(kHighQualityID.c_str(), name, sizeof name), AAX_SUCCESS);
  EXPECT_STREQ(name, "High quality");
  bool automatable = true;
  int32_t steps = 0, type = -1;
  double def = -1.0;
  model->GetParameterIsAutomatable(kHighQualityID.c_str(), &automatable);
  model->GetParameterNumberOfSteps(kHighQualityID.c_str(), &steps);
  model->GetParameterType(kHighQualityID.c_str(), &type);
  model->GetParameterDefaultNormalizedValue(kHighQualityID.c_str(), &def);
  EXPECT_FALSE(automatable);
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(type, AAX_eParameterType_Discrete);
  EXPECT_EQ(def, 0.0);
  EXPECT_EQ(i->ParameterValue(kHighQualityID), 0.0);
  std::string text;
  EXPECT_EQ(i->ValueString(kHighQualityID, 0.0, &text), AAX_SUCCESS);
  EXPECT_EQ(text, "Off");
  EXPECT_EQ(i->ValueString(kHighQualityID, 1.0, &text), AAX_SUCCESS);
  EXPECT_EQ(text, "On");

  // The controls chunk (what a host keeps in its presets and compares for "modified") never holds it.
  const auto before = Save(*i, kControls);
  Edit(*i, kHighQualityID, 1.0);
  EXPECT_EQ(i->ParameterValue(kHighQualityID), 1.0);
  EXPECT_EQ(Save(*i, kControls).data, before.data);
  bool equal = false;
  ASSERT_EQ(i->CompareChunk(before, &equal), AAX_SUCCESS);
  EXPECT_TRUE(equal);
}

// The host learns the engine's delay through SetSignalLatency; an impulse comes out exactly that late,
// bypassed or processed, and a switch back during playback tells the host again.
TEST_F(AaxHighQuality, TheLatencyTheHostIsToldIsTheDelayOfAnImpulse) {
  constexpr std::size_t kAt = 1000;
  std::vector<float> impulse(4096, 0.0f);
  impulse[kAt] = 0.5f;
  auto peakAt = [](const std::vector<float>& v) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < v.size(); ++k) {
      if (std::fabs(v[k]) > std::fabs(v[best])) best = k;
    }
    return static_cast<int32_t>(best);
  };
  for (const bool on : {false, true}) {
    for (const bool bypass : {false, true}) {
      auto i = Create(1);
      ASSERT_NE(i, nullptr);
      i->SetAssumedLatency(999);  // what the host assumes until told
      if (on) Edit(*i, kHighQualityID, 1.0);
      if (bypass) i->SetParameter("MasterBypassID", 1.0);
      const std::vector<float> out = Run(*i, impulse);
      ASSERT_TRUE(i->LatencyReported());
      const int32_t expected = on ? kHighQualityLatency : 0;
      EXPECT_EQ(i->HostLatency(), expected) << "on " << on << ", bypass " << bypass;
      EXPECT_EQ(peakAt(out) - static_cast<int32_t>(kAt), i->HostLatency()) << "on " << on << ", bypass " << bypass;
      std::printf("High quality %s, %s: latency told %d, impulse delayed by %d\n", on ? "on" : "off",
                  bypass ? "bypassed" : "processed", i->HostLatency(), peakAt(out) - static_cast<int32_t>(kAt));
      // Bypassed, the delayed signal is the input itself.
      if (bypass) {
        EXPECT_EQ(out[kAt + static_cast<std::size_t>(expected)], 0.5f);
      }
      if (!on) continue;
      Edit(*i, kHighQualityID, 0.0);
      Run(*i, impulse);
      EXPECT_EQ(i->HostLatency(), 0);
      // The switch back crossfades; by the second run the output is undelayed.
      const std::vector<float> settled = Run(*i, impulse);
      EXPECT_EQ(peakAt(settled), static_cast<int32_t>(kAt));
    }
  }
}

TEST_F(AaxHighQuality, KeptInTheStateChunkAndRestoredWithTheSession) {
  auto a = Create(2);
  ASSERT_NE(a, nullptr);
  Edit(*a, "5: Compression", 0.8);  // not the defaults, so that a plain restore applies the state
  const auto off = Save(*a, kAll);
  Edit(*a, kHighQualityID, 1.0);
  const auto on = Save(*a, kAll);
  // Only the trailer's second word differs: 00 00 30 00 as it always was, 02 00 30 00 with the option.
  ASSERT_EQ(on.data.size(), off.data.size());
  ASSERT_GE(off.data.size(), 8u);
  const std::size_t n = off.data.size();
  EXPECT_TRUE(std::equal(on.data.begin(), on.data.end() - 4, off.data.begin()));
  EXPECT_EQ(std::vector<uint8_t>(off.data.end() - 8, off.data.end()),
            (std::vector<uint8_t>{0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x30, 0x00}));
  EXPECT_EQ(std::vector<uint8_t>(on.data.end() - 4, on.data.end()), (std::vector<uint8_t>{0x02, 0x00, 0x30, 0x00}));
  EXPECT_EQ(n, 1233u);

  // A session opens with it on, and runs with its latency.
  auto b = Create(2);
  ASSERT_NE(b, nullptr);
  b->Notify(AAX_eNotificationEvent_SessionBeingOpened);
  ASSERT_EQ(b->RestoreChunk(on), AAX_SUCCESS);
  EXPECT_EQ(b->ParameterValue(kHighQualityID), 1.0);
  EXPECT_NEAR(b->ParameterValue("5: Compression"), 0.8, 1e-6);
  Run(*b, std::vector<float>(512, 0.0f));
  EXPECT_EQ(b->HostLatency(), kHighQualityLatency);
  EXPECT_EQ(Save(*b, kAll).data, on.data);
  // A chunk saved with it off (every chunk of an older version) switches it off.
  ASSERT_EQ(b->RestoreChunk(off), AAX_SUCCESS);
  EXPECT_EQ(b->ParameterValue(kHighQualityID), 0.0);
  Run(*b, std::vector<float>(512, 0.0f));
  EXPECT_EQ(b->HostLatency(), 0);

  // Outside a session opening (an undo, a pasted setting) too.
  auto c = Create(2);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->RestoreChunk(on), AAX_SUCCESS);
  EXPECT_EQ(c->ParameterValue(kHighQualityID), 1.0);

  // Switched off again, the chunk is byte for byte what it was before the option was ever on.
  Edit(*a, kHighQualityID, 0.0);
  EXPECT_EQ(Save(*a, kAll).data, off.data);
}

// A host preset carries the controls chunk, and the state chunk it would set after "preset opened" is
// ignored: the preset's sound comes in, the instance's High quality stays.
TEST_F(AaxHighQuality, AHostPresetLeavesItAsItIs) {
  auto preset = Create(2);
  ASSERT_NE(preset, nullptr);
  Edit(*preset, "5: Compression", 0.2);
  const auto controls = Save(*preset, kControls);
  const auto state = Save(*preset, kAll);

  auto i = Create(2);
  ASSERT_NE(i, nullptr);
  Edit(*i, kHighQualityID, 1.0);
  i->Notify(AAX_eNotificationEvent_PresetOpened);
  ASSERT_EQ(i->RestoreChunk(controls), AAX_SUCCESS);
  ASSERT_EQ(i->RestoreChunk(state), AAX_SUCCESS);
  EXPECT_DOUBLE_EQ(i->ParameterValue("5: Compression"), 0.2);
  EXPECT_EQ(i->ParameterValue(kHighQualityID), 1.0);
  Run(*i, std::vector<float>(512, 0.0f));
  EXPECT_EQ(i->HostLatency(), kHighQualityLatency);
}

int RunAaxHost(const std::string& arguments, std::string* output) {
  const std::string command = "'" AAXHOST_EXE "' " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) *output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// `aaxhost render --hq` compensates the latency the module reports, as a host does: bypassed, the output
// is the input, sample for sample and of its length; processed, it lines up with the render without it.
TEST(AaxHostCliHighQuality, RenderCompensatesTheLatencyTheModuleReports) {
  test::TempDir dir;
  const auto in = dir / "in.wav";
  const auto signal = TestSignal(2, 7000, 44100.0f);
  ASSERT_TRUE(test::WriteWav(in, signal, 44100));
  std::string log;
  const auto bypassed = dir / "bypassed.wav";
  ASSERT_EQ(RunAaxHost("render '" + in.string() + "' '" + bypassed.string() + "' --hq --set bypass=1 --block 40",
                       &log),
            0)
      << log;
  EXPECT_NE(log.find("\"HighQualityID\" = 1 (On)"), std::string::npos) << log;
  EXPECT_NE(log.find("latency: 61 samples, compensated"), std::string::npos) << log;
  const auto through = test::ReadWav(bypassed);
  ASSERT_EQ(through.size(), 2u);
  EXPECT_EQ(through, test::ReadWav(in));

  const auto plain = dir / "plain.wav", hq = dir / "hq.wav";
  log.clear();
  ASSERT_EQ(RunAaxHost("render '" + in.string() + "' '" + plain.string() + "'", &log), 0) << log;
  EXPECT_NE(log.find("latency: 0 samples"), std::string::npos) << log;
  EXPECT_EQ(log.find("compensated"), std::string::npos) << log;
  log.clear();
  ASSERT_EQ(RunAaxHost("render '" + in.string() + "' '" + hq.string() + "' --hq", &log), 0) << log;
  const auto a = test::ReadWav(plain), b = test::ReadWav(hq);
  ASSERT_EQ(a.size(), 2u);
  ASSERT_EQ(b.size(), 2u);
  ASSERT_EQ(a[0].size(), b[0].size());
  EXPECT_NE(a, b);
  // The lag at which the two agree best is 0.
  auto distance = [&](std::size_t lag) {
    double d = 0.0;
    for (std::size_t k = 0; k + lag < a[0].size(); ++k) d += std::pow(a[0][k] - b[0][k + lag], 2.0);
    return d;
  };
  const double atZero = distance(0);
  for (std::size_t lag : {1u, 2u, 30u, 61u}) EXPECT_LT(atZero, distance(lag)) << lag;
}

}  // namespace
}  // namespace qrv::aaxtest
