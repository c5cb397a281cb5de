// A file through each plug-in of the module at several block sizes, against `warmglow render` with the
// same settings: the same engine, so the same audio within the engine's fidelity to its per-frame
// algorithm. The settings reach the plug-in at offset 0 of the first block, or through the controller
// before it, and must apply from the first sample, as `warmglow render --set` applies them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/dsp/ReferenceModel.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WavFile.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::vst3::test {
namespace {

constexpr int kRate = 44100;
constexpr uint32_t kFrames = 20000;

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

struct Setting {
  ParamID id;
  const char* name;   // warmglow's parameter name
  double normalised;  // the VST3 value, and warmglow's
};
// A leveller with a louder output.
const Setting kSettings[] = {
    {1, "Ratio", 4.0 / 6.0}, {2, "AttackRatio", 1.0 / 6.0}, {3, "Time", 0.8},
    {4, "Compression", 0.75}, {5, "Output", 13.0 / 30.0},
};

enum class Delivery { kDefaults, kFirstBlock, kController };

void RenderAndCompare(Delivery delivery) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  qrv::test::TempDir dir;
  for (uint32_t channels : {1u, 2u}) {
    std::vector<std::vector<float>> input(channels, std::vector<float>(kFrames));
    for (uint32_t i = 0; i < kFrames; ++i) {
      const float env = i < kFrames / 2 ? 0.9f : 0.05f;
      for (uint32_t ch = 0; ch < channels; ++ch)
        input[ch][i] = env * static_cast<float>(std::sin(i * (0.03 + 0.011 * ch)));
    }
    const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();
    ASSERT_TRUE(qrv::test::WriteWav(in, input, kRate));
    std::vector<std::string> args = {"render", in, out};
    if (delivery != Delivery::kDefaults) {
      for (const Setting& s : kSettings) {
        args.push_back("--set");
        args.push_back(std::string(s.name) + "=" + Number(s.normalised));
      }
    }
    const qrv::test::ProcessResult run = qrv::test::RunProcess(QRV_WARMGLOW, args, dir / "render");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::vector<float>> expected = qrv::test::ReadWav(out);
    ASSERT_EQ(expected.size(), channels);
    ASSERT_EQ(expected[0].size(), kFrames);

    for (uint32_t block : {1u, 64u, 256u}) {
      Host host;
      Instance instance(module, host, channels == 1 ? kMono : kStereo);
      Changes first;
      if (delivery == Delivery::kFirstBlock) {
        for (const Setting& s : kSettings) first.Add(s.id, 0, s.normalised);
      } else if (delivery == Delivery::kController) {
        for (const Setting& s : kSettings) ASSERT_EQ(instance.controller()->setParamNormalized(s.id, s.normalised), kResultOk);
      }
      ASSERT_TRUE(instance.Activate(kRate, static_cast<int32_t>(block)));
      std::vector<std::vector<float>> got;
      instance.Render(input, got, block, &first);
      qrv::test::Divergence divergence;
      for (uint32_t ch = 0; ch < channels; ++ch) divergence.AddOutputs(got[ch].data(), expected[ch].data(), kFrames);
      EXPECT_TRUE(divergence.Within()) << channels << " channel(s) in blocks of " << block << ": "
                                       << divergence.Summary();
    }
  }
}

TEST(Vst3Render, MatchesWarmglowRenderWithTheDefaults) { RenderAndCompare(Delivery::kDefaults); }
TEST(Vst3Render, MatchesWarmglowRenderWithValuesInTheFirstBlock) { RenderAndCompare(Delivery::kFirstBlock); }
TEST(Vst3Render, MatchesWarmglowRenderWithValuesSetBeforeActivation) { RenderAndCompare(Delivery::kController); }

// In place (input and output the same buffers) renders as separate buffers do.
TEST(Vst3Render, InPlaceEqualsSeparateBuffers) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  constexpr uint32_t kBlock = 128;
  std::vector<std::vector<float>> input(2, std::vector<float>(4096));
  for (std::size_t i = 0; i < input[0].size(); ++i) {
    input[0][i] = 0.7f * static_cast<float>(std::sin(static_cast<double>(i) * 0.05));
    input[1][i] = 0.4f * static_cast<float>(std::cos(static_cast<double>(i) * 0.021));
  }
  Host host;
  Instance separate(module, host, kStereo), inPlace(module, host, kStereo);
  ASSERT_TRUE(separate.Activate(kRate, kBlock));
  ASSERT_TRUE(inPlace.Activate(kRate, kBlock));
  std::vector<std::vector<float>> out;
  separate.Render(input, out, kBlock);
  std::vector<std::vector<float>> buffer = input;
  for (uint32_t at = 0; at < input[0].size(); at += kBlock) ASSERT_EQ(inPlace.Process(buffer, buffer, at, kBlock), kResultOk);
  EXPECT_EQ(buffer, out);
  EXPECT_NE(buffer, input);
}

}  // namespace
}  // namespace qrv::vst3::test
