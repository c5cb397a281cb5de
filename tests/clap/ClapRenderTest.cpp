// A file through each plug-in of the module at several block sizes, against `warmglow render` with the
// same settings: the same engine, so the same audio within the engine's fidelity to its per-frame
// algorithm. The settings reach the plug-in through params.flush before activation and must apply from
// the first sample, as `warmglow render --set` applies them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/clap/ClapTestHost.h"
#include "tests/dsp/ReferenceModel.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WavFile.h"


namespace qrv::clap::test {
namespace {

constexpr int kRate = 44100;
constexpr uint32_t kFrames = 20000;

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

struct Setting {
  clap_id id;
  const char* name;  // warmglow's parameter name
  double plain;      // the CLAP value
  double normalised; // warmglow's
};
// A leveller with a louder output.
const Setting kSettings[] = {
    {1, "Ratio", 4.0, 4.0 / 6.0},       {2, "AttackRatio", 1.0, 1.0 / 6.0}, {3, "Time", 8.0, 0.8},
    {4, "Compression", 7.5, 0.75},      {5, "Output", 13.0, 13.0 / 30.0},
};

TEST(ClapRender, MatchesWarmglowRenderAtEveryBlockSize) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  qrv::test::TempDir dir;
  for (uint32_t channels : {1u, 2u}) {
    const char* id = channels == 1 ? "com.quarry-tone.warmglow.mono" : "com.quarry-tone.warmglow.stereo";
    std::vector<std::vector<float>> input(channels, std::vector<float>(kFrames));
    for (uint32_t i = 0; i < kFrames; ++i) {
      const float env = i < kFrames / 2 ? 0.9f : 0.05f;
      for (uint32_t ch = 0; ch < channels; ++ch)
        input[ch][i] = env * static_cast<float>(std::sin(i * (0.03 + 0.011 * ch)));
    }
    const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();
    ASSERT_TRUE(qrv::test::WriteWav(in, input, kRate));
    std::vector<std::string> args = {"render", in, out};
    for (const Setting& s : kSettings) {
      args.push_back("--set");
      args.push_back(std::string(s.name) + "=" + Number(s.normalised));
    }
    const qrv::test::ProcessResult run = qrv::test::RunProcess(QRV_WARMGLOW, args, dir / "render");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::vector<float>> expected = qrv::test::ReadWav(out);
    ASSERT_EQ(expected.size(), channels);
    ASSERT_EQ(expected[0].size(), kFrames);

    for (uint32_t block : {1u, 64u, 256u}) {
      Host host;
      Instance instance(module, host, id);
      EventList settings;
      for (const Setting& s : kSettings) settings.AddValue(0, s.id, s.plain);
      instance.Flush(settings);
      ASSERT_TRUE(instance.Activate(kRate, block));
      std::vector<std::vector<float>> got;
      instance.Render(input, got, block);
      qrv::test::Divergence divergence;
      for (uint32_t ch = 0; ch < channels; ++ch) divergence.AddOutputs(got[ch].data(), expected[ch].data(), kFrames);
      EXPECT_TRUE(divergence.Within()) << id << " in blocks of " << block << ": " << divergence.Summary();
    }
  }
}

// The same render with the input and output buffers the same (the in-place pair the ports declare).
TEST(ClapRender, InPlaceEqualsSeparateBuffers) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  constexpr uint32_t kBlock = 128;
  std::vector<std::vector<float>> input(2, std::vector<float>(4096));
  for (std::size_t i = 0; i < input[0].size(); ++i) {
    input[0][i] = 0.7f * static_cast<float>(std::sin(static_cast<double>(i) * 0.05));
    input[1][i] = 0.4f * static_cast<float>(std::cos(static_cast<double>(i) * 0.021));
  }
  Host host;
  Instance separate(module, host, "com.quarry-tone.warmglow.stereo");
  Instance inPlace(module, host, "com.quarry-tone.warmglow.stereo");
  ASSERT_TRUE(separate.Activate(kRate, kBlock));
  ASSERT_TRUE(inPlace.Activate(kRate, kBlock));
  std::vector<std::vector<float>> out;
  separate.Render(input, out, kBlock);
  std::vector<std::vector<float>> buffer = input;
  const EventList none;
  for (uint32_t at = 0; at < input[0].size(); at += kBlock) {
    ASSERT_EQ(inPlace.Process(buffer, buffer, at, kBlock, none), CLAP_PROCESS_CONTINUE);
  }
  EXPECT_EQ(buffer, out);
  EXPECT_NE(buffer, input);
}

// A host that hands no audio buffers, or the wrong channel count, gets an error and no crash.
TEST(ClapRender, RefusesMissingBuffers) {
  Module module;
  Host host;
  Instance instance(module, host, "com.quarry-tone.warmglow.stereo");
  ASSERT_TRUE(instance.Activate(kRate));
  clap_process_t process{};
  process.frames_count = 16;
  EXPECT_EQ(instance.plugin()->process(instance.plugin(), &process), CLAP_PROCESS_ERROR);
  float left[16] = {}, *pointers[2] = {left, nullptr};
  clap_audio_buffer_t mono{pointers, nullptr, 1, 0, 0};
  process.audio_inputs = &mono;
  process.audio_outputs = &mono;
  process.audio_inputs_count = 1;
  process.audio_outputs_count = 1;
  EXPECT_EQ(instance.plugin()->process(instance.plugin(), &process), CLAP_PROCESS_ERROR);
  clap_audio_buffer_t halfStereo{pointers, nullptr, 2, 0, 0};
  process.audio_inputs = &halfStereo;
  process.audio_outputs = &halfStereo;
  EXPECT_EQ(instance.plugin()->process(instance.plugin(), &process), CLAP_PROCESS_ERROR);
  process.frames_count = 0;
  EXPECT_EQ(instance.plugin()->process(instance.plugin(), &process), CLAP_PROCESS_CONTINUE);
}

}  // namespace
}  // namespace qrv::clap::test
