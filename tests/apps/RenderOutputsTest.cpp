// What a render writes, through the real binary: the container OUT's extension names with the input's
// sample format where it fits, and batches of inputs into one folder.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <fstream>
#include <set>
#include <sstream>

#include "apps/warmglow/AudioFile.h"
#include "tests/apps/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;
using cli::AudioData;
using cli::ReadAudioFile;
using cli::WriteAudioFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class RenderOutputsTest : public ::testing::Test {
 protected:
  test::ProcessResult Run(const std::vector<std::string>& args) {
    return test::RunProcess(WARMGLOW_BINARY, args, scratch_.path());
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // The generated programme, 16-bit stereo WAV, rewritten in `format` when that is not 0.
  std::string Input(const std::string& name, int format, double seconds = 0.5) {
    const auto r = Run({"generate", Path("gen.wav"), "--seconds", std::to_string(seconds)});
    EXPECT_EQ(r.status, 0) << r.err;
    AudioData d = ReadAudioFile(Path("gen.wav"));
    fs::remove(Path("gen.wav"));
    if (format != 0) d.format.format = format;
    WriteAudioFile(Path(name), d);
    return Path(name);
  }
  static int FormatOf(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) return 0;
    sf_close(f);
    return info.format;
  }
  std::set<std::string> Listing(const fs::path& folder) const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
  }

  test::TempDir dir_, scratch_;
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
  EXPECT_EQ(ReadAudioFile(Path("a.wav")).samples, ReadAudioFile(flac24).samples);
  EXPECT_EQ(ReadAudioFile(Path("e.caf")).samples, ReadAudioFile(flt).samples);

  const std::set<std::string> before = Listing(dir_.path());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"render", pcm16, Path("out.xyz")}, {"render", pcm16, Path("out.txt")},
        {"render", pcm16, Path("out.wav"), "--plot", Path("plot.jpg")},
        {"render", pcm16, Path("out.wav"), "--plot", Path("plot")}}) {
    const auto r = Run(args);
    EXPECT_EQ(r.status, 2) << args[2];
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
  }
  EXPECT_EQ(Listing(dir_.path()), before);
}

}  // namespace
}  // namespace qrv
