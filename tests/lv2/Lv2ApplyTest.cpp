// lilv's own command-line host, lv2apply, renders a file through the bundle; the result must equal the
// engine driven directly with the same settings.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"
#include "format/lv2/Lv2Uris.h"
#include "tests/dsp/ReferenceModel.h"
#include "tests/lv2/LilvHost.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"


namespace qrv::lv2::test {
namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 20000;

bool WriteFloatWav(const std::string& path, const std::vector<float>& interleaved, int channels) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return false;
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
  const bool ok = sf_writef_float(f, interleaved.data(), frames) == frames;
  sf_close(f);
  return ok;
}

std::vector<float> ReadWav(const std::string& path, int& channels) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) return {};
  channels = info.channels;
  std::vector<float> data(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(f, data.data(), info.frames);
  sf_close(f);
  return data;
}

// lv2apply's environment: the test's bundle only, no display (a render host has none), the sanitizer
// runtime preloaded for a sanitized bundle.
void PrepareLv2ApplyEnvironment() {
  World::Get();  // narrows LV2_PATH for the child too
  unsetenv("DISPLAY");
  if (const std::string preload = QRV_LV2APPLY_PRELOAD; !preload.empty()) {
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // leaks of the host program are not ours to judge
    setenv("TSAN_OPTIONS", "halt_on_error=1", 1);
  }
}

TEST(Lv2Apply, RendersAFileLikeTheEngine) {
  const std::string lv2apply = QRV_LV2APPLY;
  ASSERT_FALSE(lv2apply.empty()) << "lv2apply not found: install lilv-utils (scripts/install-deps.sh)";
  PrepareLv2ApplyEnvironment();
  qrv::test::TempDir dir;
  const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();

  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    const int channels = static_cast<int>(hostcontrols::ChannelCount(layout));
    std::vector<float> interleaved(static_cast<std::size_t>(kFrames * channels));
    for (int i = 0; i < kFrames; ++i) {
      const float env = i < kFrames / 2 ? 0.9f : 0.05f;
      for (int ch = 0; ch < channels; ++ch) {
        interleaved[static_cast<std::size_t>(i * channels + ch)] =
            env * static_cast<float>(std::sin(i * (0.03 + 0.011 * ch)));
      }
    }
    ASSERT_TRUE(WriteFloatWav(in, interleaved, channels));
    // Leveller with a louder output, given in port units on the command line.
    const qrv::test::ProcessResult run = qrv::test::RunProcess(
        lv2apply, {"-i", in, "-o", out, "-c", "ratio", "6", "-c", "time", "8", "-c", "compression", "7.5", "-c",
                   "output", "13", "-c", "attack_ratio", "1", PluginUri(layout)},
        dir / "lv2apply");
    ASSERT_EQ(run.status, 0) << run.err;
    int outChannels = 0;
    const std::vector<float> rendered = ReadWav(out, outChannels);
    ASSERT_EQ(outChannels, channels);
    ASSERT_EQ(rendered.size(), interleaved.size());

    warmGlowEffect fx;
    fx.SetSampleRate(kRate);
    fx.SetParameter(kSlotProcess, 1.0);
    fx.SetParameter(kSlotRatio, 1.0);
    fx.SetParameter(kSlotAttackRatio, 1.0 / 6.0);
    fx.SetParameter(kSlotTime, 0.8);
    fx.SetParameter(kSlotCompression, 0.75);
    fx.SetParameter(kSlotOutput, 13.0 / 30.0);
    fx.SetParameter(kSlotValveLevel, 0.5);
    fx.Reset();
    std::vector<std::vector<float>> planar(2, std::vector<float>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
      for (int ch = 0; ch < channels; ++ch) {
        planar[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)] =
            interleaved[static_cast<std::size_t>(i * channels + ch)];
      }
    }
    std::vector<std::vector<float>> expected(2, std::vector<float>(kFrames));
    const float* ip[2] = {planar[0].data(), channels == 2 ? planar[1].data() : nullptr};
    float* op[2] = {expected[0].data(), channels == 2 ? expected[1].data() : nullptr};
    {
      ScopedFlushToZero ftz;
      fx.ProcessBlock(ip, op, kFrames);
    }
    // lv2apply hands the engine blocks of its own size; the engine's output depends on the split only
    // within its fidelity to the per-frame algorithm.
    qrv::test::Divergence divergence;
    for (int ch = 0; ch < channels; ++ch) {
      std::vector<float> got(static_cast<std::size_t>(kFrames));
      for (int i = 0; i < kFrames; ++i) {
        got[static_cast<std::size_t>(i)] = rendered[static_cast<std::size_t>(i * channels + ch)];
      }
      divergence.AddOutputs(got.data(), expected[static_cast<std::size_t>(ch)].data(), got.size());
    }
    EXPECT_TRUE(divergence.Within()) << PluginUri(layout) << ": " << divergence.Summary();
    // The command-line values arrived: the defaults would sound different.
    warmGlowEffect defaults;
    defaults.SetSampleRate(kRate);
    defaults.Reset();
    std::vector<std::vector<float>> plain(2, std::vector<float>(kFrames));
    float* pp[2] = {plain[0].data(), channels == 2 ? plain[1].data() : nullptr};
    {
      ScopedFlushToZero ftz;
      defaults.ProcessBlock(ip, pp, kFrames);
    }
    float difference = 0.0f;
    for (int i = 0; i < kFrames; ++i)
      difference = std::max(
          difference, std::fabs(plain[0][static_cast<std::size_t>(i)] - expected[0][static_cast<std::size_t>(i)]));
    EXPECT_GT(difference, 0.05f);
  }
}

// A headless machine without X11, cairo, pango or GLib: lv2apply finds in their place files that the
// loader refuses (LD_LIBRARY_PATH is searched first), so that any of them the plug-in needed would fail
// its load. The render equals the one made with those libraries there.
TEST(Lv2Apply, RendersWithTheWindowSystemAndToolkitLibrariesMissing) {
  const std::string lv2apply = QRV_LV2APPLY;
  ASSERT_FALSE(lv2apply.empty()) << "lv2apply not found: install lilv-utils (scripts/install-deps.sh)";
  PrepareLv2ApplyEnvironment();
  qrv::test::TempDir dir;
  const std::filesystem::path stubs = dir / "stubs";
  std::filesystem::create_directories(stubs);
  for (const char* soname :
       {"libX11.so.6", "libxcb.so.1", "libXext.so.6", "libXrender.so.1", "libcairo.so.2", "libpango-1.0.so.0",
        "libpangocairo-1.0.so.0", "libpangoft2-1.0.so.0", "libglib-2.0.so.0", "libgobject-2.0.so.0",
        "libgio-2.0.so.0", "libgtk-3.so.0", "libgdk-3.so.0", "libfontconfig.so.1", "libfreetype.so.6",
        "libharfbuzz.so.0"}) {
    std::ofstream(stubs / soname) << "not a shared object: hidden from the loader by the test\n";
  }
  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    SCOPED_TRACE(PluginUri(layout));
    const int channels = static_cast<int>(hostcontrols::ChannelCount(layout));
    std::vector<float> interleaved(static_cast<std::size_t>(kFrames * channels));
    for (int i = 0; i < kFrames; ++i) {
      for (int ch = 0; ch < channels; ++ch) {
        interleaved[static_cast<std::size_t>(i * channels + ch)] =
            (i < kFrames / 2 ? 0.8f : 0.1f) * static_cast<float>(std::sin(i * (0.02 + 0.013 * ch)));
      }
    }
    const std::string in = (dir / "in.wav").string();
    ASSERT_TRUE(WriteFloatWav(in, interleaved, channels));
    auto render = [&](const std::string& out, bool hidden) {
      if (hidden) setenv("LD_LIBRARY_PATH", stubs.c_str(), 1);
      const qrv::test::ProcessResult run = qrv::test::RunProcess(
          lv2apply, {"-i", in, "-o", out, "-c", "ratio", "4", "-c", "compression", "8", PluginUri(layout)},
          dir / (hidden ? "hidden" : "normal"));
      unsetenv("LD_LIBRARY_PATH");
      return run;
    };
    const std::string normal = (dir / "normal.wav").string(), hidden = (dir / "hidden.wav").string();
    const qrv::test::ProcessResult reference = render(normal, false);
    ASSERT_EQ(reference.status, 0) << reference.err;
    const qrv::test::ProcessResult run = render(hidden, true);
    ASSERT_EQ(run.status, 0) << run.err;
    // The samples, bit for bit (the files' own bytes differ: a float file's peak chunk holds a time).
    int normalChannels = 0, hiddenChannels = 0;
    const std::vector<float> expected = ReadWav(normal, normalChannels);
    ASSERT_EQ(expected.size(), interleaved.size()) << "no render";
    const std::vector<float> got = ReadWav(hidden, hiddenChannels);
    EXPECT_EQ(hiddenChannels, channels);
    EXPECT_TRUE(got == expected) << "the render differs with the libraries hidden";
  }
}

}  // namespace
}  // namespace qrv::lv2::test
