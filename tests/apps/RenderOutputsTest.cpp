// What a render writes, through the real binary: the container OUT's extension names with the input's
// sample format where it fits, and batches of inputs into one folder.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "apps/warmglow/AudioFile.h"
#include "tests/support/RunProcess.h"
#include "tests/apps/WarmglowFixture.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

class RenderOutputsTest : public test::WarmglowProcessFixture {
 protected:
  // The generated programme, 16-bit stereo WAV, rewritten in `format` when that is not 0.
  std::string Input(const std::string& name, int format, double seconds = 0.5) {
    const auto r = Run({"generate", Path("gen.wav"), "--seconds", std::to_string(seconds)});
    EXPECT_EQ(r.status, 0) << r.err;
    cli::AudioData d = cli::ReadAudioFile(Path("gen.wav"));
    fs::remove(Path("gen.wav"));
    if (format != 0) d.format.format = format;
    cli::WriteAudioFile(Path(name), d);
    return Path(name);
  }
  static int FormatOf(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) return 0;
    sf_close(f);
    return info.format;
  }
};

TEST_F(RenderOutputsTest, OutsExtensionChoosesTheContainerAndTheNearestSampleFormat) {
  const std::string pcm16 = Input("in16.wav", 0);
  const std::string flt = Input("infloat.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const std::string flac24 = Input("in24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  struct Case {
    std::string in, out;
    int expected;
  };
  const std::vector<Case> cases = {
      {flac24, "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},      // the reported case: FLAC in, WAV out
      {pcm16, "b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {pcm16, "c.AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
      {pcm16, "d.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},       // Ogg holds only its codecs
      {flt, "e.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
      {flt, "f.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},       // FLAC holds no float: the widest integer
      {flt, "g.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT},
      {flac24, "h", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},         // no extension: the input's own format
      {flac24, "i.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    const auto r = Run({"render", c.in, Path(c.out), "--bypass"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FormatOf(Path(c.out)), c.expected);
  }
  // The sample format kept, the samples are too.
  EXPECT_EQ(cli::ReadAudioFile(Path("a.wav")).samples, cli::ReadAudioFile(flac24).samples);
  EXPECT_EQ(cli::ReadAudioFile(Path("e.caf")).samples, cli::ReadAudioFile(flt).samples);

  const std::set<std::string> before = Listing(dir_.path());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"render", pcm16, Path("out.xyz")}, {"render", pcm16, Path("out.txt")},
        {"render", pcm16, Path("out.wav"), "--plot", Path("plot.jpg")},
        {"render", pcm16, Path("out.wav"), "--plot", Path("plot")}}) {
    const auto r = Run(args);
    EXPECT_EQ(r.status, 2) << args[2];
    EXPECT_EQ(test::Lines(r.err).size(), 1u) << r.err;
  }
  EXPECT_EQ(Listing(dir_.path()), before);
}

// The help says that Compression 5.00 and 5.25 select the same drive while Time is continuous; renders
// show both: the two Compression values give the same audio, two Time values shown alike do not.
// Where the largest magnitude of channel ch lies.
int64_t PeakFrame(const cli::AudioData& d, int ch) {
  int64_t at = 0;
  for (int64_t i = 1; i < d.frames(); ++i) {
    if (std::fabs(d.samples[static_cast<std::size_t>(i * d.format.channels + ch)]) >
        std::fabs(d.samples[static_cast<std::size_t>(at * d.format.channels + ch)])) {
      at = i;
    }
  }
  return at;
}

// --hq compensates the engine's delay: an impulse comes out where the plain render puts it, processed and
// bypassed, and the output is as long as the input.
TEST_F(RenderOutputsTest, HighQualityLinesUpWithThePlainRender) {
  cli::AudioData impulse;
  impulse.format = {44100, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT};
  impulse.samples.assign(2 * 4096, 0.0f);
  impulse.samples[2 * 1000] = 0.5f;
  impulse.samples[2 * 3000 + 1] = -0.5f;
  cli::WriteAudioFile(Path("impulse.wav"), impulse);
  for (const char* bypass : {"", "--bypass"}) {
    std::vector<std::string> plainArgs = {"render", Path("impulse.wav"), Path("plain.wav")};
    std::vector<std::string> hqArgs = {"render", Path("impulse.wav"), Path("hq.wav"), "--hq", "--block", "100"};
    if (*bypass != '\0') {
      plainArgs.push_back(bypass);
      hqArgs.push_back(bypass);
    }
    const auto p = Run(plainArgs);
    ASSERT_EQ(p.status, 0) << p.err;
    const auto h = Run(hqArgs);
    ASSERT_EQ(h.status, 0) << h.err;
    EXPECT_NE(h.out.find("High quality"), std::string::npos) << h.out;
    const cli::AudioData plain = cli::ReadAudioFile(Path("plain.wav"));
    const cli::AudioData hq = cli::ReadAudioFile(Path("hq.wav"));
    ASSERT_EQ(hq.frames(), impulse.frames()) << bypass;
    ASSERT_EQ(plain.frames(), impulse.frames()) << bypass;
    EXPECT_EQ(PeakFrame(plain, 0), 1000) << bypass;
    EXPECT_EQ(PeakFrame(plain, 1), 3000) << bypass;
    EXPECT_EQ(PeakFrame(hq, 0), 1000) << bypass;
    EXPECT_EQ(PeakFrame(hq, 1), 3000) << bypass;
  }
}

// At the defaults, on programme material, High quality is the plain sound with less folding: the same
// length, best correlated at lag 0, different in small details only.
TEST_F(RenderOutputsTest, HighQualityDiffersOnlySlightlyAtTheDefaults) {
  const std::string in = Input("programme.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1.0);
  const auto p = Run({"render", in, Path("plain.wav")});
  ASSERT_EQ(p.status, 0) << p.err;
  const auto h = Run({"render", in, Path("hq.wav"), "--hq"});
  ASSERT_EQ(h.status, 0) << h.err;
  const cli::AudioData plain = cli::ReadAudioFile(Path("plain.wav"));
  const cli::AudioData hq = cli::ReadAudioFile(Path("hq.wav"));
  ASSERT_EQ(plain.samples.size(), hq.samples.size());
  ASSERT_GT(plain.frames(), 1000);
  auto correlation = [&](int lag) {
    double sum = 0.0;
    for (int64_t i = 200; i + 200 < plain.frames(); ++i) {
      for (int ch = 0; ch < 2; ++ch) {
        sum += static_cast<double>(plain.samples[static_cast<std::size_t>(i * 2 + ch)]) *
               hq.samples[static_cast<std::size_t>((i + lag) * 2 + ch)];
      }
    }
    return sum;
  };
  int best = -100;
  for (int lag = -100; lag <= 100; ++lag) {
    if (correlation(lag) > correlation(best)) best = lag;
  }
  EXPECT_EQ(best, 0);
  double signal = 0.0, difference = 0.0;
  for (std::size_t i = 0; i < plain.samples.size(); ++i) {
    const double d = static_cast<double>(hq.samples[i]) - plain.samples[i];
    signal += static_cast<double>(plain.samples[i]) * plain.samples[i];
    difference += d * d;
  }
  ASSERT_GT(signal, 0.0);
  const double ratioDb = 10.0 * std::log10(difference / signal);
  std::cout << "High quality against plain at the defaults: difference " << ratioDb << " dB of the signal\n";
  EXPECT_GT(difference, 0.0);   // it does run the other path
  EXPECT_LT(ratioDb, -30.0);  // measured: -41 dB
}

TEST_F(RenderOutputsTest, TheHelpSaysHowShownStepsMeetTheEnginesSteps) {
  const auto help = Run({"render", "--help"});
  ASSERT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("(5.00 and 5.25, 6.25 and 6.50, ...)"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("Time shows half steps"), std::string::npos) << help.out;

  const std::string in = Input("in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const auto render = [&](const std::string& name, const std::string& set) {
    const auto r = Run({"render", in, Path(name), "--set", set});
    EXPECT_EQ(r.status, 0) << r.err;
    return cli::ReadAudioFile(Path(name)).samples;
  };
  const auto c500 = render("c500.wav", "Compression=0.5");
  EXPECT_EQ(render("c525.wav", "Compression=0.525"), c500);
  EXPECT_NE(render("c550.wav", "Compression=0.55"), c500);
  // Time 0.5 and 0.51 both show "5.00".
  EXPECT_NE(render("t500.wav", "Time=0.5"), render("t501.wav", "Time=0.51"));
}

TEST_F(RenderOutputsTest, ABatchRendersEveryGoodFileAndReportsTheOthers) {
  const std::string a = Input("a.wav", 0);
  const std::string b = Input("b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  std::ofstream(Path("bad.wav")) << "not audio";
  const fs::path out = dir_ / "out" / "new";  // created, parents too

  auto r = Run(
      {"render", a, Path("bad.wav"), b, "--out-dir", out.string(), "--suffix", "-x", "--plots", "--preset", "Vox"});
  EXPECT_EQ(r.status, 2);
  auto lines = test::Lines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0].rfind((out / "a-x.wav").string() + " [Vox]: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind((out / "b-x.flac").string() + " [Vox]: ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("total: 2 of 3 files rendered, 1 failed", 0), 0u) << lines[2];
  const auto errors = test::Lines(r.err);
  ASSERT_EQ(errors.size(), 1u) << r.err;
  EXPECT_EQ(errors[0].rfind("warmglow: error: " + Path("bad.wav") + ": ", 0), 0u) << errors[0];
  EXPECT_EQ(Listing(out), (std::set<std::string>{"a-x.wav", "a-x.png", "b-x.flac", "b-x.png"}));
  EXPECT_EQ(FormatOf((out / "b-x.flac").string()), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  // Each output is what a single render of that file gives.
  ASSERT_EQ(Run({"render", a, Path("single.wav"), "--preset", "Vox"}).status, 0);
  EXPECT_TRUE(test::FileBytes(out / "a-x.wav") == test::FileBytes(Path("single.wav")));

  // --format chooses one container for all.
  r = Run({"render", a, b, "--out-dir", Path("flacs"), "--format", "flac"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::Lines(r.out).back().rfind("total: 2 of 2 files rendered;", 0), 0u) << r.out;
  EXPECT_EQ(FormatOf(Path("flacs/a.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  EXPECT_EQ(FormatOf(Path("flacs/b.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
}

TEST_F(RenderOutputsTest, ABatchThatWouldWriteAFileTwiceRendersNothing) {
  const std::string a = Input("a.wav", 0);
  fs::create_directory(dir_ / "sub");
  fs::copy_file(a, dir_ / "sub" / "a.wav");
  const std::string b = Input("a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  const std::set<std::string> before = Listing(dir_.path());
  struct Case {
    std::vector<std::string> args;
    std::string mentions;
  };
  const std::vector<Case> cases = {
      {{"render", a, Path("sub/a.wav"), "--out-dir", Path("out")}, "a.wav"},
      {{"render", a, b, "--out-dir", Path("out"), "--format", "wav"}, "a.wav"},  // the same name once converted
      {{"render", a, b, "--out-dir", Path("out"), "--plots"}, "a.png"},          // different outputs, one plot
      {{"render", a, "--out-dir", dir_.path().string()}, "input"},              // would replace its input
      {{"render", a, "--out-dir", Path("out"), "--format", "xyz"}, "xyz"},
      {{"render", a, Path("x.wav"), "--plots"}, "--out-dir"},
      {{"render", a, "--out-dir", Path("out"), "--plot", Path("p.png")}, "--plots"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[2] + " " + c.args.back());
    const auto r = Run(c.args);
    EXPECT_EQ(r.status, 2);
    const auto lines = test::Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_NE(lines[0].find(c.mentions), std::string::npos) << lines[0];
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(Listing(dir_.path()), before);
  }
}

}  // namespace
}  // namespace qrv
