// The audio processor as the format's rules and its validator ask: its own bus layout and no other, the
// sample size it processes, activation, parameter changes at their sample offsets, flushes without
// buffers, silence flags both ways, and no allocation while processing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/MallocCounter.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::vst3::test {
namespace {

constexpr double kRate = 48000.0;
constexpr SpeakerArrangement k51 = 0x3F;  // L R C LFE Ls Rs

std::vector<std::vector<float>> Sine(uint32_t channels, uint32_t frames, float level = 0.8f) {
  std::vector<std::vector<float>> buffers(channels, std::vector<float>(frames));
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t ch = 0; ch < channels; ++ch)
      buffers[ch][i] = level * static_cast<float>(std::sin(0.031 * i + 0.4 * ch));
  }
  return buffers;
}

TEST(Vst3Buses, AcceptOwnLayoutOnly) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  for (const Uid* cid : {&kMono, &kStereo}) {
    Instance instance(module, host, *cid);
    ASSERT_TRUE(instance.ok());
    const SpeakerArrangement own = instance.channels() == 2 ? SpeakerArr::kStereo : SpeakerArr::kMono;
    const SpeakerArrangement other = instance.channels() == 2 ? SpeakerArr::kMono : SpeakerArr::kStereo;
    IAudioProcessor* p = instance.processor();
    SpeakerArrangement in = own, out = own;
    EXPECT_EQ(p->setBusArrangements(&in, 1, &out, 1), kResultTrue);
    in = other, out = other;
    EXPECT_EQ(p->setBusArrangements(&in, 1, &out, 1), kResultFalse);
    in = k51, out = k51;
    EXPECT_EQ(p->setBusArrangements(&in, 1, &out, 1), kResultFalse);
    in = own, out = k51;
    EXPECT_EQ(p->setBusArrangements(&in, 1, &out, 1), kResultFalse);
    SpeakerArrangement two[2] = {own, own};
    EXPECT_EQ(p->setBusArrangements(two, 2, two, 2), kResultFalse);
    EXPECT_EQ(p->setBusArrangements(nullptr, 0, nullptr, 0), kResultFalse);
    // After a refusal the host asks what the plug-in has: its own layout.
    SpeakerArrangement arr = 0;
    ASSERT_EQ(p->getBusArrangement(kInput, 0, arr), kResultOk);
    EXPECT_EQ(arr, own);
    ASSERT_EQ(p->getBusArrangement(kOutput, 0, arr), kResultOk);
    EXPECT_EQ(arr, own);
    EXPECT_NE(p->getBusArrangement(kOutput, 1, arr), kResultOk);

    IComponent* c = instance.component();
    EXPECT_EQ(c->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(c->getBusCount(kEvent, kInput), 0);
    BusInfo bus{};
    ASSERT_EQ(c->getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, static_cast<int32_t>(instance.channels()));
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_EQ(Narrow(bus.name), "Output");
    EXPECT_NE(c->getBusInfo(kAudio, kOutput, 1, bus), kResultOk);
    EXPECT_NE(c->getBusInfo(kEvent, kInput, 0, bus), kResultOk);

    EXPECT_EQ(p->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(p->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(p->canProcessSampleSize(7), kResultFalse);
    EXPECT_EQ(p->getLatencySamples(), 0u);
    EXPECT_EQ(p->getTailSamples(), 0u);
  }
}

TEST(Vst3Process, RefusesRatesTheEngineIsNotDefinedFor) {
  Module module;
  Host host;
  Instance instance(module, host, kStereo);
  ASSERT_TRUE(instance.ok());
  ProcessSetup setup{kRealtime, kSample32, 512, 8000.0};
  ASSERT_EQ(instance.processor()->setupProcessing(setup), kResultOk);
  EXPECT_NE(instance.component()->setActive(1), kResultOk);
  setup.sampleRate = kRate;
  ASSERT_EQ(instance.processor()->setupProcessing(setup), kResultOk);
  EXPECT_EQ(instance.component()->setActive(1), kResultOk);
  // No layout change while active.
  SpeakerArrangement arr = SpeakerArr::kStereo;
  EXPECT_EQ(instance.processor()->setBusArrangements(&arr, 1, &arr, 1), kResultFalse);
  EXPECT_EQ(instance.component()->setActive(0), kResultOk);
}

// A flush: no frames, no buffers, parameter changes only; they take effect.
TEST(Vst3Process, FlushWithoutBuffersTakesTheValues) {
  Module module;
  Host host;
  Instance instance(module, host, kStereo);
  ASSERT_TRUE(instance.Activate(kRate, 256));
  Changes changes;
  changes.Add(5, 0, 0.5);  // Output 15 dB
  changes.Add(7, 0, 1.0);  // bypass
  ProcessData data{};
  data.symbolicSampleSize = kSample32;
  data.inputParameterChanges = &changes;
  EXPECT_EQ(instance.processor()->process(data), kResultOk);
  EXPECT_DOUBLE_EQ(instance.controller()->getParamNormalized(5), 0.5);
  EXPECT_DOUBLE_EQ(instance.controller()->getParamNormalized(7), 1.0);
  // Frames without buses to render: nothing to do, no crash. The wrong channel count is an error.
  data.numSamples = 64;
  EXPECT_EQ(instance.processor()->process(data), kResultOk);
  float samples[64] = {};
  float* pointers[1] = {samples};
  AudioBusBuffers mono{};
  mono.numChannels = 1;
  mono.channelBuffers32 = pointers;
  data.numInputs = data.numOutputs = 1;
  data.inputs = data.outputs = &mono;
  EXPECT_NE(instance.processor()->process(data), kResultOk);
  // 64-bit samples on an instance set up for 32-bit: refused.
  float left[64] = {}, right[64] = {};
  float* stereo[2] = {left, right};
  AudioBusBuffers both{};
  both.numChannels = 2;
  both.channelBuffers32 = stereo;
  data.inputs = data.outputs = &both;
  EXPECT_EQ(instance.processor()->process(data), kResultOk);
  data.symbolicSampleSize = kSample64;
  EXPECT_NE(instance.processor()->process(data), kResultOk);
  data.symbolicSampleSize = 7;
  EXPECT_NE(instance.processor()->process(data), kResultOk);
}

// 64-bit blocks run the engine in single precision: the same output as 32-bit blocks of the same samples,
// changes at their offsets and silence flags included, in blocks longer than the host announced too.
TEST(Vst3Process, SixtyFourBitBlocksRenderAsThirtyTwoBitOnes) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  constexpr uint32_t kBlock = 200, kBlocks = 10;
  const std::vector<std::vector<float>> input = Sine(2, kBlock * kBlocks);
  Instance narrow(module, host, kStereo), wide(module, host, kStereo);
  ASSERT_TRUE(narrow.Activate(kRate, kBlock));
  SpeakerArrangement arr = SpeakerArr::kStereo, outArr = SpeakerArr::kStereo;
  ASSERT_EQ(wide.processor()->setBusArrangements(&arr, 1, &outArr, 1), kResultTrue);
  ProcessSetup setup{kRealtime, kSample64, 64, kRate};  // smaller than the blocks below
  ASSERT_EQ(wide.processor()->setupProcessing(setup), kResultOk);
  ASSERT_EQ(wide.component()->setActive(1), kResultOk);
  std::vector<std::vector<float>> in = input, out(2, std::vector<float>(input[0].size()));
  std::vector<std::vector<double>> din(2), dout(2, std::vector<double>(input[0].size(), 9.0));
  for (uint32_t ch = 0; ch < 2; ++ch) din[ch].assign(input[ch].begin(), input[ch].end());
  for (uint32_t b = 0; b < kBlocks; ++b) {
    Changes changes;
    changes.Add(5, static_cast<int32_t>(17 * b % kBlock), 0.1 * b);
    const uint64_t silence = b == 4 ? 0b10 : 0;
    uint64_t narrowFlags = 0, wideFlags = 0;
    ASSERT_EQ(narrow.Process(in, out, b * kBlock, kBlock, &changes, silence, &narrowFlags), kResultOk);
    double* ip[2] = {din[0].data() + b * kBlock, din[1].data() + b * kBlock};
    double* op[2] = {dout[0].data() + b * kBlock, dout[1].data() + b * kBlock};
    AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = outBus.numChannels = 2;
    inBus.silenceFlags = silence;
    inBus.channelBuffers64 = ip;
    outBus.channelBuffers64 = op;
    ProcessData data{};
    data.symbolicSampleSize = kSample64;
    data.numSamples = static_cast<int32_t>(kBlock);
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = &changes;
    ASSERT_EQ(wide.processor()->process(data), kResultOk);
    wideFlags = outBus.silenceFlags;
    EXPECT_EQ(wideFlags, narrowFlags);
  }
  for (uint32_t ch = 0; ch < 2; ++ch) {
    for (std::size_t i = 0; i < input[0].size(); ++i) ASSERT_EQ(dout[ch][i], static_cast<double>(out[ch][i])) << ch << " " << i;
  }
  wide.component()->setActive(0);
}

// A change at a sample offset takes effect there: the same as splitting the block at the offset, and not
// the same as the change at the block's start.
TEST(Vst3Process, ChangesApplyAtTheirSampleOffsets) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  constexpr uint32_t kBlock = 256, kAt = 100;
  const std::vector<std::vector<float>> input = Sine(2, kBlock * 4);
  auto render = [&](int mode) {
    Instance instance(module, host, kStereo);
    EXPECT_TRUE(instance.Activate(kRate, kBlock));
    std::vector<std::vector<float>> in = input, out(2, std::vector<float>(input[0].size()));
    instance.Process(in, out, 0, kBlock);
    Changes changes;
    if (mode == 0) {  // in the block
      changes.Add(5, static_cast<int32_t>(kAt), 0.8);
      changes.Add(4, static_cast<int32_t>(kAt), 0.9);
      instance.Process(in, out, kBlock, kBlock, &changes);
    } else if (mode == 1) {  // the block split there
      instance.Process(in, out, kBlock, kAt);
      changes.Add(5, 0, 0.8);
      changes.Add(4, 0, 0.9);
      instance.Process(in, out, kBlock + kAt, kBlock - kAt, &changes);
    } else if (mode == 2) {  // at the start
      changes.Add(5, 0, 0.8);
      changes.Add(4, 0, 0.9);
      instance.Process(in, out, kBlock, kBlock, &changes);
    } else {  // none
      instance.Process(in, out, kBlock, kBlock);
    }
    for (uint32_t b = 2; b < 4; ++b) instance.Process(in, out, b * kBlock, kBlock);
    return out;
  };
  const auto inBlock = render(0), split = render(1), atStart = render(2), none = render(3);
  EXPECT_EQ(inBlock, split);
  EXPECT_NE(inBlock, atStart);
  // Up to the offset the output is the unchanged one; after it, not.
  for (uint32_t ch = 0; ch < 2; ++ch) {
    for (uint32_t i = 0; i < kBlock + kAt; ++i) ASSERT_EQ(inBlock[ch][i], none[ch][i]) << i;
  }
  bool differsAfter = false;
  for (uint32_t i = kBlock + kAt; i < 2 * kBlock; ++i) differsAfter = differsAfter || inBlock[0][i] != none[0][i];
  EXPECT_TRUE(differsAfter);
}

// Input channels marked silent are read as silence whatever their buffers hold; output channels that are
// exactly silent are marked.
TEST(Vst3Process, SilenceFlags) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  constexpr uint32_t kBlock = 128;
  Instance flagged(module, host, kStereo), zeros(module, host, kStereo);
  ASSERT_TRUE(flagged.Activate(kRate, kBlock));
  ASSERT_TRUE(zeros.Activate(kRate, kBlock));
  std::vector<std::vector<float>> garbage = Sine(2, kBlock), silence(2, std::vector<float>(kBlock, 0.0f));
  std::vector<std::vector<float>> outFlagged(2, std::vector<float>(kBlock, 1.0f)), outZeros = outFlagged;
  uint64_t flags = 0, zeroFlags = 0;
  for (int block = 0; block < 8; ++block) {
    ASSERT_EQ(flagged.Process(garbage, outFlagged, 0, kBlock, nullptr, 0b11, &flags), kResultOk);
    ASSERT_EQ(zeros.Process(silence, outZeros, 0, kBlock, nullptr, 0, &zeroFlags), kResultOk);
    ASSERT_EQ(outFlagged, outZeros);
    ASSERT_EQ(flags, zeroFlags);
    for (uint32_t ch = 0; ch < 2; ++ch) {
      bool allZero = true;
      for (float s : outFlagged[ch]) allZero = allZero && s == 0.0f;
      EXPECT_EQ(((flags >> ch) & 1u) != 0, allZero) << "block " << block << " channel " << ch;
    }
  }
  // The engine's filters leave a faint tail after sound; bypassed, silence passes exactly.
  Changes bypass;
  bypass.Add(kBypassId, 0, 1.0);
  for (int block = 0; block < 8; ++block) {
    ASSERT_EQ(flagged.Process(garbage, outFlagged, 0, kBlock, block == 0 ? &bypass : nullptr, 0b11, &flags), kResultOk);
    ASSERT_EQ(zeros.Process(silence, outZeros, 0, kBlock, block == 0 ? &bypass : nullptr, 0, &zeroFlags), kResultOk);
    ASSERT_EQ(outFlagged, outZeros);
  }
  EXPECT_EQ(flags, 0b11u);
  EXPECT_EQ(zeroFlags, 0b11u);
  std::vector<std::vector<float>> sound = Sine(2, kBlock);
  ASSERT_EQ(flagged.Process(sound, outFlagged, 0, kBlock, nullptr, 0b01, &flags), kResultOk);
  EXPECT_EQ(flags, 0b01u);  // bypassed, the left input taken as silent stays silent; the right one sounds
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && !defined(_WIN32)
// process allocates nothing. The module carries its own C++ runtime, whose operator new the test support's
// counter cannot see; the malloc counter sees the module's calls too (checked below). Not built for
// Windows: a DLL calls msvcrt.dll's malloc directly, which no program can count.
TEST(Vst3Allocations, ProcessAllocatesNothing) {
  Module module;
  Host host;
  Instance instance(module, host, kStereo);
  ASSERT_TRUE(instance.Activate(kRate, 256));
  std::vector<std::vector<float>> in = Sine(2, 256), out(2, std::vector<float>(256));
  Changes changes;
  changes.Add(5, 10, 0.6);
  changes.Add(5, 90, 0.7);
  changes.Add(7, 100, 1.0);
  changes.Add(7, 200, 0.0);
  changes.Add(1, 0, 0.5);
  changes.Add(kProgramId, 30, 0.5);
  ASSERT_EQ(instance.Process(in, out, 0, 256, &changes), kResultOk);
  std::vector<uint8_t> state;
  ASSERT_TRUE(instance.Save(state, 4096));
  ASSERT_TRUE(instance.Load(state, 4096));  // a load between blocks: the next block applies it
  ProcessData flush{};
  flush.symbolicSampleSize = kSample32;
  flush.inputParameterChanges = &changes;
  qrv::test::StartMallocCount();
  for (uint32_t block = 0; block < 64; ++block) {
    instance.Process(in, out, 0, 256, &changes, block % 2 ? 0b11 : 0);
    instance.processor()->process(flush);
  }
  EXPECT_EQ(qrv::test::StopMallocCount(), 0);
}

TEST(Vst3Allocations, TheCounterSeesTheModule) {
  Module module;
  Host host;
  qrv::test::StartMallocCount();
  Instance instance(module, host, kMono);
  EXPECT_GT(qrv::test::StopMallocCount(), 0);
}
#endif

}  // namespace
}  // namespace qrv::vst3::test
