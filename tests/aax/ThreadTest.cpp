// The three host threads at once through the real module: the audio thread renders, the direct-data
// timer thread wakes the instance up, the main thread changes parameters and saves and restores state.
// Run these under ThreadSanitizer (build with -DQRV_SANITIZE=thread).
#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"
#include "tests/aax/AaxTestSupport.h"

namespace qrv::aaxtest {
namespace {

TEST(AaxThreads, HostThreadsRunTogether) {
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  RegisteredHost host(std::move(loaded));
  for (int channels : {1, 2}) {
    auto instance = host->CreateInstance(static_cast<std::size_t>(channels - 1), 44100.0f);
    ASSERT_NE(instance, nullptr);
    const std::size_t frames = 128 * 600;
    auto in = TestSignal(channels, frames, 44100.0f);
    std::vector<std::vector<float>> out;
    instance->SetAssumedLatency(32);  // the engine's is 0: the plug-in has to say so
    instance->StartTimer(std::chrono::microseconds(200));
    instance->BeginRender(in, out, {128, 64, 256});
    // Changes while the first half renders; the second half must see the last of them.
    double last = 0.0;
    aaxhost::Instance::Chunk chunk;
    for (int k = 0; instance->BlocksRendered() < 300; ++k) {
      last = (k % 100) / 100.0;
      instance->Touch("5: Compression");
      instance->SetParameter("5: Compression", last);
      instance->Release("5: Compression");
      instance->SetParameter("MasterBypassID", (k / 7) % 2);
      if (k % 16 == 0) {
        instance->SetSampleRate(k % 32 == 0 ? 48000.0f : 44100.0f);
        ASSERT_EQ(instance->SaveChunk(AAX_FourCC("All "), &chunk), AAX_SUCCESS);
        ASSERT_EQ(instance->RestoreChunk(chunk), AAX_SUCCESS);
      }
      std::this_thread::yield();
    }
    instance->SetParameter("MasterBypassID", 0.0);
    instance->WaitRender();
    instance->StopTimer();
    EXPECT_EQ(instance->BlocksRendered(), 515);  // 76800 frames in blocks of 128, 64 and 256
    // The render runs flat out, so on a loaded machine the last change may come after its last block:
    // one more block takes it in. The timer may have stopped before a wake-up followed that block; one
    // more wake-up publishes what the engine last used.
    const auto extraIn = TestSignal(channels, 128, 44100.0f);
    std::vector<std::vector<float>> extraOut;
    instance->BeginRender(extraIn, extraOut, {128});
    instance->WaitRender();
    ASSERT_EQ(instance->TimerWakeup(), AAX_SUCCESS);
    float seen = -1.0f;
    ASSERT_TRUE(instance->ReadPrivateData(21, 5 * 4, 4, &seen));
    EXPECT_EQ(seen, static_cast<float>(instance->ParameterValue("5: Compression")));
    EXPECT_TRUE(instance->LatencyReported());
    EXPECT_EQ(instance->HostLatency(), 0);
    ASSERT_EQ(out.size(), static_cast<std::size_t>(channels));
    for (float s : out[0]) ASSERT_TRUE(std::isfinite(s));
  }
}

// The direct-data wake-ups beside the render calls write only the private-data fields the direct-data
// object owns, never a whole block with the live master object in it, and leave the host's standard
// output alone, also when the host fails their private-data accesses.
TEST(AaxThreads, DirectDataWritesOnlyItsOwnFieldsAndPrintsNothing) {
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  RegisteredHost host(std::move(loaded));
  auto instance = host->CreateInstance(1, 48000.0f);
  ASSERT_NE(instance, nullptr);
  auto in = TestSignal(2, 64 * 400, 48000.0f);
  std::vector<std::vector<float>> out;
  instance->SetAssumedLatency(32);  // the engine's is 0: the plug-in has to say so
  instance->RecordPrivateWrites(true);
  ::testing::internal::CaptureStdout();
  instance->StartTimer(std::chrono::microseconds(100));
  instance->BeginRender(in, out, {64});
  aaxhost::Instance::Chunk chunk;
  for (int k = 0; instance->BlocksRendered() < 300; ++k) {
    instance->Touch("6: Output");
    instance->SetParameter("6: Output", (k % 60) / 60.0);
    instance->Release("6: Output");
    if (k % 16 == 0) {
      ASSERT_EQ(instance->SaveChunk(AAX_FourCC("All "), &chunk), AAX_SUCCESS);
      ASSERT_EQ(instance->RestoreChunk(chunk), AAX_SUCCESS);
    }
    // Now and then the host refuses the latency and the message bus.
    const bool fail = k % 50 < 10;
    instance->FailPrivateDataAccess(aax::kFieldLatency, fail ? AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS : AAX_SUCCESS);
    instance->FailPrivateDataAccess(aax::kFieldMessageBus, fail ? AAX_ERROR_NULL_OBJECT : AAX_SUCCESS);
    std::this_thread::yield();
  }
  instance->WaitRender();
  instance->StopTimer();
  instance->FailPrivateDataAccess(aax::kFieldLatency, AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS);
  instance->FailPrivateDataAccess(aax::kFieldMessageBus, AAX_ERROR_NULL_OBJECT);
  EXPECT_EQ(instance->TimerWakeup(), AAX_ERROR_NULL_OBJECT);
  instance->FailPrivateDataAccess(aax::kFieldLatency, AAX_SUCCESS);
  instance->FailPrivateDataAccess(aax::kFieldMessageBus, AAX_SUCCESS);
  ASSERT_EQ(instance->TimerWakeup(), AAX_SUCCESS);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

  EXPECT_EQ(WritesOutsideOwnedFields(instance->PrivateWrites()), "");
  int reports = 0;
  for (const auto& a : host->diagnostics().assertions()) reports += a.text == "lastResult == AAX_SUCCESS";
  EXPECT_GE(reports, 2);
  // What the direct-data object reads still arrives: the latency, once the host stops refusing it.
  EXPECT_TRUE(instance->LatencyReported());
  EXPECT_EQ(instance->HostLatency(), 0);
}

}  // namespace
}  // namespace qrv::aaxtest
