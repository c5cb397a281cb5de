// The warmglow binary as a user runs it: real files in a temporary folder, real processes.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "apps/warmglow/AudioFile.h"
#include "apps/warmglow/Render.h"
#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"
#include "tests/support/RunProcess.h"
#include "tests/apps/WarmglowFixture.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;
using cli::AudioData;
using cli::ReadAudioFile;
using cli::WriteAudioFile;

constexpr int kStereoFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

class WarmglowTest : public test::WarmglowProcessFixture {
 protected:
  // The demo programme, short, written by the binary itself.
  std::string Programme(const std::string& name, double seconds, bool floatSamples) {
    std::vector<std::string> args = {"generate", Path(name), "--seconds", std::to_string(seconds)};
    if (floatSamples) args.push_back("--float");
    const auto r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return Path(name);
  }
};

// Drives the engine the way a render does: rate, control values, reset, then fixed blocks.
struct DirectResult {
  std::vector<float> samples;  // interleaved like the file
  double maxGainReductionDb = 0.0;
};
DirectResult DriveEngine(const AudioData& in, const double* values, int block) {
  auto fx = std::make_unique<warmGlowEffect>();
  fx->SetSampleRate(in.format.sampleRate);
  for (unsigned slot : kControlSlots) fx->SetParameter(slot, values[slot]);
  fx->Reset();
  const int ch = in.format.channels;
  const int64_t frames = in.frames();
  DirectResult result;
  result.samples.resize(in.samples.size());
  std::vector<float> l(static_cast<std::size_t>(block)), r(l), ol(l), orr(l);
  for (int64_t pos = 0; pos < frames; pos += block) {
    const int n = static_cast<int>(std::min<int64_t>(block, frames - pos));
    for (int i = 0; i < n; ++i) {
      l[static_cast<std::size_t>(i)] = in.samples[static_cast<std::size_t>((pos + i) * ch)];
      if (ch == 2) r[static_cast<std::size_t>(i)] = in.samples[static_cast<std::size_t>((pos + i) * ch + 1)];
    }
    const float* inputs[2] = {l.data(), ch == 2 ? r.data() : nullptr};
    float* outputs[2] = {ol.data(), ch == 2 ? orr.data() : nullptr};
    double meter = 0.0;
    {
      ScopedFlushToZero ftz;
      fx->ProcessBlock(inputs, outputs, n);
      fx->GetMeter(kSlotGainReduction, &meter);
    }
    result.maxGainReductionDb = std::max(result.maxGainReductionDb, -20.0 * std::log10(1.0 - meter));
    for (int i = 0; i < n; ++i) {
      result.samples[static_cast<std::size_t>((pos + i) * ch)] = ol[static_cast<std::size_t>(i)];
      if (ch == 2) result.samples[static_cast<std::size_t>((pos + i) * ch + 1)] = orr[static_cast<std::size_t>(i)];
    }
  }
  return result;
}

std::size_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  const auto m = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return static_cast<std::size_t>(m.first - a.begin());
}

double RmsDb(const AudioData& d, double from, double to) {
  const auto a = static_cast<std::size_t>(from * d.format.sampleRate) * 2;
  const auto b = static_cast<std::size_t>(to * d.format.sampleRate) * 2;
  double sum = 0.0;
  for (std::size_t i = a; i < b; ++i) sum += static_cast<double>(d.samples[i]) * d.samples[i];
  return 10.0 * std::log10(sum / static_cast<double>(b - a));
}

TEST_F(WarmglowTest, GenerateWritesADeterministicStereoProgrammeWithQuietAndLoudPassages) {
  const std::string a = Programme("a.wav", 6.0, false);
  const std::string b = Programme("b.wav", 6.0, false);
  const AudioData da = ReadAudioFile(a);
  const AudioData db = ReadAudioFile(b);
  EXPECT_EQ(da.format.channels, 2);
  EXPECT_EQ(da.format.sampleRate, 44100);
  EXPECT_EQ(da.format.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(da.frames(), 6 * 44100);
  EXPECT_EQ(da.samples, db.samples);

  float peak = 0.0f;
  for (float s : da.samples) peak = std::max(peak, std::fabs(s));
  EXPECT_NEAR(20.0 * std::log10(peak), -3.0, 0.05);
  // Bar 1 (0..2 s) is the quiet intro, bar 3 (4..6 s) the loud chorus.
  EXPECT_GT(RmsDb(da, 4.0, 6.0) - RmsDb(da, 0.2, 1.8), 12.0);
  // Not a mono signal twice: the voice and the hats sit to the sides.
  EXPECT_NE(da.samples[44100 * 2], da.samples[44100 * 2 + 1]);

  const AudioData f = ReadAudioFile(Programme("f.wav", 1.0, true));
  EXPECT_EQ(f.format.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

TEST_F(WarmglowTest, RenderEqualsTheEngineDrivenDirectlyForStereoAndMono) {
  const std::string in = Programme("in.wav", 3.0, true);
  const AudioData stereo = ReadAudioFile(in);
  AudioData mono;
  mono.format = {44100, 1, kStereoFloatWav};
  for (std::size_t i = 0; i < stereo.samples.size(); i += 2) mono.samples.push_back(stereo.samples[i]);
  WriteAudioFile(Path("mono.wav"), mono);

  double values[kPresetValueCount] = {};
  GetFactoryPreset(13, values, nullptr, nullptr);  // "Make it Pump"
  values[kSlotRatio] = 0.8;                        // and the --set below

  for (const auto& [name, input] : {std::pair{"stereo", stereo}, std::pair{"mono", mono}}) {
    SCOPED_TRACE(name);
    const std::string src = std::string(name) == "mono" ? Path("mono.wav") : in;
    const std::string out = Path(std::string(name) + "-out.wav");
    const auto r = Run({"render", src, out, "--preset", "make it pump", "--set", "ratio=0.8"});
    ASSERT_EQ(r.status, 0) << r.err;
    const AudioData rendered = ReadAudioFile(out);
    EXPECT_EQ(rendered.format.channels, input.format.channels);
    EXPECT_EQ(rendered.format.format, input.format.format);
    EXPECT_EQ(rendered.format.sampleRate, input.format.sampleRate);
    const DirectResult direct = DriveEngine(input, values, cli::kDefaultBlock);
    ASSERT_EQ(rendered.samples.size(), direct.samples.size());
    EXPECT_EQ(FirstDifference(rendered.samples, direct.samples), direct.samples.size());
    // The summary reports the largest reading of the meter at the block ends.
    char expected[64];
    std::snprintf(expected, sizeof expected, "max gain reduction %.2f dB", direct.maxGainReductionDb);
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
    EXPECT_GT(direct.maxGainReductionDb, 3.0);
    EXPECT_EQ(test::Lines(r.out).size(), 1u) << r.out;
  }
}

TEST_F(WarmglowTest, BlockSizesDoNotChangeTheOutput) {
  const std::string in = Programme("in.wav", 2.0, true);
  std::vector<float> reference;
  for (int block : {512, 1, 64, 4096}) {
    SCOPED_TRACE(block);
    const std::string out = Path("out" + std::to_string(block) + ".wav");
    const auto r = Run({"render", in, out, "--preset", "FastLim", "--block", std::to_string(block)});
    ASSERT_EQ(r.status, 0) << r.err;
    const AudioData d = ReadAudioFile(out);
    if (reference.empty()) {
      reference = d.samples;
      ASSERT_FALSE(reference.empty());
    } else {
      ASSERT_EQ(d.samples.size(), reference.size());
      EXPECT_EQ(FirstDifference(d.samples, reference), reference.size());
    }
  }
}

TEST_F(WarmglowTest, BypassReproducesTheInputBitForBit) {
  // 16-bit stereo from the generator, 24-bit mono and float mono made here.
  const std::string pcm16 = Programme("pcm16.wav", 1.5, false);
  const AudioData src = ReadAudioFile(pcm16);
  AudioData mono24{{48000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_24}, {}};
  AudioData monoFloat{{96000, 1, kStereoFloatWav}, {}};
  for (std::size_t i = 0; i < src.samples.size(); i += 2) {
    mono24.samples.push_back(src.samples[i] * 0.999f);
    monoFloat.samples.push_back(src.samples[i] * 1e-3f);
  }
  WriteAudioFile(Path("mono24.wav"), mono24);
  WriteAudioFile(Path("monofloat.wav"), monoFloat);

  for (const std::string& in : {pcm16, Path("mono24.wav"), Path("monofloat.wav")}) {
    SCOPED_TRACE(in);
    const std::string out = in + ".bypass.wav";
    const auto r = Run({"render", in, out, "--bypass", "--preset", "Hats Smasher"});
    ASSERT_EQ(r.status, 0) << r.err;
    const AudioData a = ReadAudioFile(in);
    const AudioData b = ReadAudioFile(out);
    EXPECT_EQ(a.format.format, b.format.format);
    EXPECT_EQ(a.format.sampleRate, b.format.sampleRate);
    EXPECT_EQ(a.format.channels, b.format.channels);
    ASSERT_EQ(a.samples.size(), b.samples.size());
    EXPECT_EQ(0, std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)));
    EXPECT_NE(r.out.find("max gain reduction 0.00 dB"), std::string::npos) << r.out;
  }
  // The generator's file comes back byte for byte, header included.
  std::ifstream x(pcm16, std::ios::binary), y(pcm16 + ".bypass.wav", std::ios::binary);
  const std::string bx((std::istreambuf_iterator<char>(x)), {}), by((std::istreambuf_iterator<char>(y)), {});
  EXPECT_EQ(bx, by);
}

TEST_F(WarmglowTest, BadInputFailsWithOneLineAndLeavesNoFileBehind) {
  const std::string in = Programme("in.wav", 0.5, false);
  {
    std::ofstream(Path("notaudio.wav")) << "this is not a sound file\n";
    AudioData three{{44100, 3, SF_FORMAT_WAV | SF_FORMAT_PCM_16}, std::vector<float>(300, 0.25f)};
    WriteAudioFile(Path("three.wav"), three);
    fs::create_directory(dir_ / "folder.wav");
  }
  const std::string out = Path("out.wav");
  struct Case {
    std::vector<std::string> args;
    std::string mentions;  // a word the message must contain
  };
  const std::vector<Case> cases = {
      {{"render", Path("missing.wav"), out}, "missing.wav"},
      {{"render", Path("notaudio.wav"), out}, "notaudio.wav"},
      {{"render", Path("folder.wav"), out}, "folder"},
      {{"render", Path("three.wav"), out}, "3 channels"},
      {{"render", in, out, "--preset", "No Such Preset"}, "No Such Preset"},
      {{"render", in, out, "--preset", "34"}, "34"},
      {{"render", in, out, "--preset", "-1"}, "-1"},
      {{"render", in, out, "--set", "Wetness=0.5"}, "Wetness"},
      {{"render", in, out, "--set", "Gain Reduction=0.5"}, "meter"},
      {{"render", in, out, "--set", "Ratio=1.5"}, "0..1"},
      {{"render", in, out, "--set", "Ratio=-0.01"}, "0..1"},
      {{"render", in, out, "--set", "Ratio=abc"}, "not a number"},
      {{"render", in, out, "--set", "Ratio=nan"}, "not a number"},
      {{"render", in, out, "--set", "Ratio=0.5dB"}, "not a number"},
      {{"render", in, out, "--set", "Ratio"}, "NAME=VALUE"},
      {{"render", in, out, "--block", "0"}, "block"},
      {{"render", in, out, "--block", "-64"}, "block"},
      {{"render", in, out, "--block", "lots"}, "block"},
      {{"render", in, out, "--block", "99999999999999999999"}, "block"},
      {{"render", in, out, "--block"}, "--block"},
      {{"render", in, out, "--wet"}, "--wet"},
      {{"render", in}, "IN OUT"},
      {{"render", in, Path("no/such/folder/out.wav")}, "out.wav"},
      // Fails only after the audio is rendered: the finished temporary output must go too.
      {{"render", in, out, "--plot", Path("no/such/folder/plot.png")}, "plot.png"},
      {{"render", in, out, "--plot", in}, "input"},
      {{"render", in, out, "--plot", out}, "same file"},
      {{"frobnicate"}, "frobnicate"},
  };
  const std::set<std::string> before = Listing();
  const AudioData original = ReadAudioFile(in);
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    const auto r = Run(c.args);
    EXPECT_EQ(r.status, 2);
    const auto lines = test::Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("warmglow: error: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.mentions), std::string::npos) << lines[0];
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(Listing(), before);
  }
  EXPECT_EQ(ReadAudioFile(in).samples, original.samples);

  // A failing render leaves an existing OUT exactly as it was.
  std::ofstream(out) << "keep me";
  const auto r = Run({"render", in, out, "--plot", Path("no/such/folder/plot.png")});
  EXPECT_EQ(r.status, 2);
  std::ifstream kept(out);
  std::string content;
  std::getline(kept, content);
  EXPECT_EQ(content, "keep me");
}

TEST_F(WarmglowTest, PresetsListsAllFactoryPresetsWithDisplayTexts) {
  const auto r = Run({"presets"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = test::Lines(r.out);
  // The factory table, then the user presets section.
  ASSERT_GT(lines.size(), 1u + kFactoryPresetCount);
  ASSERT_GT(lines.size(), 2u + kFactoryPresetCount);
  EXPECT_EQ(lines[2u + kFactoryPresetCount].rfind("User presets in ", 0), 0u) << lines[2u + kFactoryPresetCount];
  for (unsigned slot : kControlSlots) EXPECT_NE(lines[0].find(ParameterName(slot)), std::string::npos);
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    const std::string& row = lines[static_cast<std::size_t>(i) + 1];
    EXPECT_EQ(std::stoi(row), i) << row;
    EXPECT_NE(row.find(FactoryPresetName(i)), std::string::npos) << row;
    const int category = FactoryPresetCategory(i);
    if (category != kNoCategory) {
      EXPECT_NE(row.find(kFactoryCategories[static_cast<std::size_t>(category)]), std::string::npos);
    }
  }
  // Spot checks against the table: mode, ratio, time and output of "Vox"; ratio and output of "Leveller".
  EXPECT_NE(lines[24].find("Vox"), std::string::npos);
  for (const char* text : {"Clear", "3:1", "3.50", "3.00", "Vocals"}) EXPECT_NE(lines[24].find(text), std::string::npos) << text;
  for (const char* text : {"Valve", "8.00", "7.50", "9.00"}) EXPECT_NE(lines[10].find(text), std::string::npos) << text;
}

TEST_F(WarmglowTest, HelpDocumentsEveryCommandAndParameter) {
  const auto main = Run({"--help"});
  ASSERT_EQ(main.status, 0);
  EXPECT_EQ(Run({"help"}).out, main.out);
  for (const char* command : {"render", "presets", "generate"}) EXPECT_NE(main.out.find(command), std::string::npos);

  const auto render = Run({"render", "--help"});
  ASSERT_EQ(render.status, 0);
  EXPECT_EQ(Run({"help", "render"}).out, render.out);
  for (const char* option : {"--preset", "--set", "--block", "--bypass", "--plot"}) {
    EXPECT_NE(render.out.find(option), std::string::npos) << option;
  }
  for (const std::string& text : {main.out, render.out}) {
    for (unsigned slot : kControlSlots) EXPECT_NE(text.find(ParameterName(slot)), std::string::npos);
    for (auto texts : {std::span<const std::string_view>(kRatioTexts), std::span<const std::string_view>(kAttackTexts),
                       std::span<const std::string_view>(kValveTexts), std::span<const std::string_view>(kProcessTexts)}) {
      for (std::string_view t : texts) EXPECT_NE(text.find(t), std::string::npos) << t;
    }
    EXPECT_NE(text.find("0.00 .. 30.00"), std::string::npos);  // Output's range in dB
  }
  EXPECT_EQ(Run({"generate", "--help"}).status, 0);
  EXPECT_EQ(Run({"help", "nothing"}).status, 2);
}

TEST_F(WarmglowTest, PlotIsAPngOfTheDocumentedSize) {
  const std::string in = Programme("in.wav", 1.0, false);
  const auto r = Run({"render", in, Path("out.wav"), "--preset", "Vox", "--plot", Path("plot.png")});
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream png(Path("plot.png"), std::ios::binary);
  unsigned char head[24] = {};
  png.read(reinterpret_cast<char*>(head), sizeof head);
  ASSERT_TRUE(png.good());
  EXPECT_EQ(0, std::memcmp(head, "\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(0, std::memcmp(head + 12, "IHDR", 4));
  auto be32 = [&](int at) { return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3]; };
  EXPECT_EQ(be32(16), 1600);
  EXPECT_EQ(be32(20), 900);
}

TEST_F(WarmglowTest, LowSampleRateRendersWithAWarning) {
  AudioData low{{16000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16}, std::vector<float>(16000, 0.0f)};
  for (std::size_t i = 0; i < low.samples.size(); ++i) low.samples[i] = 0.5f * static_cast<float>(std::sin(0.1 * static_cast<double>(i)));
  WriteAudioFile(Path("low.wav"), low);
  const auto r = Run({"render", Path("low.wav"), Path("out.wav")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warmglow: warning: sample rate 16000"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAudioFile(Path("out.wav")).format.sampleRate, 16000);
}

}  // namespace
}  // namespace qrv
