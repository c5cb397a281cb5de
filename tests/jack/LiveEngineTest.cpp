// The audio side of `warmglow live` driven directly, as the JACK process callback drives it: silence while
// the engine waits to be set up again, the handshake with the main thread, edits reaching the engine, and
// no allocation in a block. The allocation check counts at malloc (every operator new ends there) and runs
// outside sanitized builds, whose runtimes bring their own malloc.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "format/jack/JackLive.h"
#include "format/jack/LiveEngine.h"
#include "tests/jack/JackTestSupport.h"
#include "tests/support/MallocCounter.h"
#include "tests/support/TempDir.h"


namespace qrv::jack::test {
namespace {

constexpr uint32_t kFrames = 256;

struct Buffers {
  explicit Buffers(unsigned channels) : in(channels, std::vector<float>(kFrames)), out(channels, std::vector<float>(kFrames)) {
    for (unsigned ch = 0; ch < channels; ++ch) {
      for (uint32_t i = 0; i < kFrames; ++i) in[ch][i] = 0.5f * static_cast<float>(std::sin(0.03 * (i + 7 * ch)));
      ip.push_back(in[ch].data());
      op.push_back(out[ch].data());
    }
  }
  double OutPeak() const {
    double peak = 0.0;
    for (const auto& ch : out)
      for (float v : ch) peak = std::max(peak, std::fabs(static_cast<double>(v)));
    return peak;
  }
  std::vector<std::vector<float>> in, out;
  std::vector<const float*> ip;
  std::vector<float*> op;
};

TEST(LiveEngine, PassesSilenceUntilSetUpAndThenProcesses) {
  LiveEngine engine(2);
  Buffers b(2);
  b.out[0].assign(kFrames, 1.0f);
  EXPECT_FALSE(engine.prepared());
  engine.Process(b.ip.data(), b.op.data(), kFrames);
  EXPECT_EQ(b.OutPeak(), 0.0);
  EXPECT_EQ(engine.parkedBlocks(), 1u);
  engine.RequestPrepare(48000.0, kFrames);
  EXPECT_TRUE(engine.PrepareIfParked(false));
  EXPECT_TRUE(engine.prepared());
  engine.Process(b.ip.data(), b.op.data(), kFrames);
  EXPECT_GT(b.OutPeak(), 0.01);
}

// A server whose rate moves outside the engine's range mid-session gets silence, not the time constants
// of the nearest limit; back within the range, the engine processes again.
TEST(LiveEngine, ARateOutsideTheEnginesRangePassesSilence) {
  LiveEngine engine(2);
  Buffers b(2);
  engine.RequestPrepare(48000.0, kFrames);
  ASSERT_TRUE(engine.PrepareIfParked(false));
  for (double rate : {8000.0, 384000.0}) {
    engine.RequestPrepare(rate, 0);
    engine.Process(b.ip.data(), b.op.data(), kFrames);  // parks
    bool outOfRange = false;
    ASSERT_TRUE(engine.PrepareIfParked(true, &outOfRange));
    EXPECT_TRUE(outOfRange);
    b.out[0].assign(kFrames, 1.0f);
    engine.Process(b.ip.data(), b.op.data(), kFrames);
    EXPECT_EQ(b.OutPeak(), 0.0) << rate;
  }
  engine.RequestPrepare(96000.0, 0);
  engine.Process(b.ip.data(), b.op.data(), kFrames);
  bool outOfRange = true;
  ASSERT_TRUE(engine.PrepareIfParked(true, &outOfRange));
  EXPECT_FALSE(outOfRange);
  engine.Process(b.ip.data(), b.op.data(), kFrames);
  EXPECT_GT(b.OutPeak(), 0.01);
}

TEST(LiveEngine, TheMainThreadWaitsForTheAudioThreadToPark) {
  LiveEngine engine(1);
  Buffers b(1);
  engine.RequestPrepare(48000.0, kFrames);
  ASSERT_TRUE(engine.PrepareIfParked(false));
  engine.Process(b.ip.data(), b.op.data(), kFrames);
  // A new buffer size while running: nothing happens to the engine until a block has parked.
  engine.RequestPrepare(0.0, 2 * kFrames);
  EXPECT_FALSE(engine.PrepareIfParked(true));
  engine.Process(b.ip.data(), b.op.data(), kFrames);
  EXPECT_EQ(b.OutPeak(), 0.0);
  EXPECT_TRUE(engine.PrepareIfParked(true));
  EXPECT_FALSE(engine.PrepareIfParked(true));
  engine.Process(b.ip.data(), b.op.data(), kFrames);
  EXPECT_GT(b.OutPeak(), 0.01);
}

TEST(LiveEngine, TheSameRateAndSizeAgainChangeNothing) {
  LiveEngine engine(2);
  engine.RequestPrepare(48000.0, kFrames);
  ASSERT_TRUE(engine.PrepareIfParked(false));
  // JACK repeats both at activation: the engine keeps running instead of passing silence.
  engine.RequestPrepare(48000.0, 0);
  engine.RequestPrepare(0.0, kFrames);
  EXPECT_TRUE(engine.prepared());
  engine.RequestPrepare(44100.0, 0);
  EXPECT_FALSE(engine.prepared());
  EXPECT_EQ(engine.sampleRate(), 44100.0);
  EXPECT_EQ(engine.blockSize(), kFrames);
}

TEST(LiveEngine, OutputMatchesTheEngineRunDirectly) {
  LiveEngine engine(2);
  InstanceValues& values = engine.values();
  values[kSlotOutput].store(0.8);
  engine.RequestPrepare(44100.0, kFrames);
  ASSERT_TRUE(engine.PrepareIfParked(false));
  warmGlowEffect direct;
  direct.SetSampleRate(44100.0);
  for (unsigned slot : kControlSlots) direct.SetParameter(slot, values[slot].load());
  direct.Reset();
  Buffers live(2), reference(2);
  for (int block = 0; block < 20; ++block) {
    engine.Process(live.ip.data(), live.op.data(), kFrames);
    const float* ip[2] = {reference.ip[0], reference.ip[1]};
    float* op[2] = {reference.op[0], reference.op[1]};
    direct.ProcessBlock(ip, op, static_cast<int32_t>(kFrames));
    EXPECT_EQ(live.out, reference.out) << "block " << block;
  }
}

TEST(LiveEngine, AnEditReachesTheNextBlock) {
  LiveEngine engine(2);
  InstanceValues& values = engine.values();
  values[kSlotOutput].store(0.2);
  engine.RequestPrepare(48000.0, kFrames);
  ASSERT_TRUE(engine.PrepareIfParked(false));
  Buffers b(2);
  for (int i = 0; i < 40; ++i) engine.Process(b.ip.data(), b.op.data(), kFrames);
  const double quiet = b.OutPeak();
  values[kSlotOutput].store(0.9);
  for (int i = 0; i < 200; ++i) engine.Process(b.ip.data(), b.op.data(), kFrames);
  EXPECT_GT(b.OutPeak(), quiet * 1.5);
  EXPECT_GT(engine.MeterReading(), 0.0);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(LiveEngine, ProcessAllocatesNothing) {
  LiveEngine engine(2);
  InstanceValues& values = engine.values();
  Buffers b(2);
  engine.RequestPrepare(48000.0, kFrames);
  ASSERT_TRUE(engine.PrepareIfParked(false));
  qrv::test::StartMallocCount();
  for (int block = 0; block < 64; ++block) {
    // Edits between blocks, and a park for a new buffer size in the middle, as a running client sees them.
    values[kSlotOutput].store(block % 2 == 0 ? 0.3 : 0.7);
    if (block == 30) engine.RequestPrepare(0.0, 2 * kFrames);
    engine.Process(b.ip.data(), b.op.data(), kFrames);
    qrv::test::PauseMallocCount(true);
    engine.PrepareIfParked(true);
    qrv::test::PauseMallocCount(false);
  }
  EXPECT_EQ(qrv::test::StopMallocCount(), 0);
  EXPECT_EQ(engine.parkedBlocks(), 1u);
}

std::atomic<bool> g_stopLive{false};
bool StopLive() { return g_stopLive.load(); }

// The whole client in this process on a private server: while it runs, with a client of the test's own
// playing through it, nothing in the process allocates (the main loop and the test thread sleep, so every
// allocation would be JACK's threads': the process callbacks).
TEST(LiveClient, RunningAllocatesNothing) {
  JackServer server;
  ASSERT_TRUE(server.ok()) << server.reason();
  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  qrv::test::TempDir dir;
  LiveOptions options;
  options.editor = false;
  options.statePath = dir / "in-process.state";
  for (unsigned ch = 0; ch < 2; ++ch) {
    options.connectIn.push_back(client.PlayPort(ch));
    options.connectOut.push_back(client.RecordPort(ch));
  }
  std::ostringstream err;
  g_stopLive = false;
  int status = -1;
  std::thread live([&] { status = RunLive(options, err, StopLive); });
  ASSERT_TRUE(WaitFor([&] { return client.Connected(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // 200 periods of the server, however long a loaded machine takes for them (made before counting:
  // waiting itself allocates nothing).
  const uint64_t cyclesBefore = client.cycles();
  const std::function<bool()> enough = [&] { return client.cycles() - cyclesBefore >= 200; };
  qrv::test::StartMallocCount();
  const bool ran = WaitFor(enough, std::chrono::minutes(1));
  const long allocations = qrv::test::StopMallocCount();
  // And it was processing: a signal played through comes back.
  const Channels recorded = client.PlayAndRecord(Channels(2, std::vector<float>(4800, 0.25f)), 2048);
  g_stopLive = true;
  live.join();
  EXPECT_EQ(status, kLiveOk) << err.str();
  EXPECT_TRUE(ran);
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(Peak(recorded), 0.05);
}

TEST(LiveEngine, TheCounterSeesAllocations) {
  qrv::test::StartMallocCount();
  auto engine = std::make_unique<LiveEngine>(2);
  EXPECT_GT(qrv::test::StopMallocCount(), 0);
}
#endif

}  // namespace
}  // namespace qrv::jack::test
