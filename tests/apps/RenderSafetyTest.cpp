// What a render must never do to the user's files, and where it must not hang, through the real
// binary: OUT naming the input, outputs that cannot all be written, FIFOs, leftovers of killed renders,
// damaged inputs.
#include <gtest/gtest.h>
#include <poll.h>
#include <sndfile.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <set>
#include <sstream>

#include "apps/warmglow/AudioFile.h"
#include "tests/support/RunProcess.h"
#include "tests/apps/WarmglowFixture.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

class RenderSafetyTest : public test::WarmglowProcessFixture {
 protected:
  std::string Programme(const std::string& name, double seconds) {
    const auto r = Run({"generate", Path(name), "--seconds", std::to_string(seconds)});
    EXPECT_EQ(r.status, 0) << r.err;
    return Path(name);
  }
  // Exit 2 with one "warmglow: error:" line that mentions `mentions`, nothing on standard output.
  static void ExpectOneLineError(const test::ProcessResult& r, const std::string& mentions) {
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 2);
    const auto lines = test::Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("warmglow: error: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(mentions), std::string::npos) << lines[0];
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
};

TEST_F(RenderSafetyTest, OutNamingTheInputIsRefusedWhateverTheSpelling) {
  const std::string in = Programme("in.wav", 0.5);
  const std::string original = test::FileBytes(in);
  fs::create_directory(dir_ / "sub");
  fs::create_symlink(in, dir_ / "link.wav");
  fs::create_hard_link(in, dir_ / "hard.wav");
  const std::string relative = fs::relative(in, fs::current_path()).string();
  const std::set<std::string> before = Listing();
  for (const std::string& out : {in, Path("sub/../in.wav"), Path("./in.wav"), relative, "./" + relative,
                                 Path("link.wav"), Path("hard.wav")}) {
    SCOPED_TRACE(out);
    ExpectOneLineError(Run({"render", in, out, "--preset", "Vox"}), "input");
    EXPECT_TRUE(test::FileBytes(in) == original) << "the input changed";
    EXPECT_EQ(Listing(), before);
  }
  // Through the link as IN too.
  ExpectOneLineError(Run({"render", Path("link.wav"), in}), "input");
  EXPECT_TRUE(test::FileBytes(in) == original) << "the input changed";
}

TEST_F(RenderSafetyTest, AnOutputThatCannotBeWrittenLeavesEveryOutputAsItWas) {
  const std::string in = Programme("in.wav", 0.5);
  fs::create_directory(dir_ / "plot-folder.png");
  fs::create_directory(dir_ / "out-folder.wav");
  const std::set<std::string> before = Listing();
  // OUT missing: it must not appear.
  ExpectOneLineError(Run({"render", in, Path("out.wav"), "--plot", Path("plot-folder.png")}), "plot-folder.png");
  EXPECT_EQ(Listing(), before);
  ExpectOneLineError(Run({"render", in, Path("out-folder.wav"), "--plot", Path("p.png")}), "out-folder.wav");
  EXPECT_EQ(Listing(), before);

  // OUT and a plot present: neither changes.
  std::ofstream(Path("out.wav")) << "keep this OUT";
  std::ofstream(Path("p.png")) << "keep this plot";
  const std::set<std::string> withOld = Listing();
  ExpectOneLineError(Run({"render", in, Path("out.wav"), "--plot", Path("plot-folder.png")}), "plot-folder.png");
  ExpectOneLineError(Run({"render", in, Path("out.wav"), "--plot", Path("no/such/folder/p.png")}), "p.png");
  ExpectOneLineError(Run({"render", in, Path("out-folder.wav"), "--plot", Path("p.png")}), "out-folder.wav");
  EXPECT_EQ(test::FileBytes(Path("out.wav")), "keep this OUT");
  EXPECT_EQ(test::FileBytes(Path("p.png")), "keep this plot");
  EXPECT_EQ(Listing(), withOld);
}

TEST_F(RenderSafetyTest, FifosAreRefusedBeforeAnyBlockingOpen) {
  const std::string in = Programme("in.wav", 0.5);
  ASSERT_EQ(mkfifo(Path("pipe.wav").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(Path("pipe.qrv").c_str(), 0644), 0);
  const std::set<std::string> before = Listing();
  // Far longer than a refusal takes; a blocked open would wait for ever.
  constexpr std::chrono::seconds kHang(20);
  ExpectOneLineError(Run({"render", Path("pipe.wav"), Path("out.wav")}, kHang), "not a regular file");
  ExpectOneLineError(Run({"render", in, Path("out.wav"), "--preset", Path("pipe.qrv")}, kHang), "not a regular file");
  ExpectOneLineError(Run({"preset", "show", Path("pipe.qrv")}, kHang), "not a regular file");
  EXPECT_EQ(Listing(), before);
}

// Waits for a file whose name starts with `prefix` and ends with ".part" to appear in `folder`.
std::string AwaitPart(int inotify, const fs::path& folder, const std::string& prefix) {
  for (;;) {
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (name.starts_with(prefix) && name.ends_with(".part")) return name;
    }
    pollfd p{inotify, POLLIN, 0};
    if (poll(&p, 1, 60000) <= 0) return {};
    char events[4096];
    if (read(inotify, events, sizeof events) < 0) return {};
  }
}

TEST_F(RenderSafetyTest, ALaterRenderRemovesTheLeftoversOfKilledRendersOnly) {
  const std::string in = Programme("in.wav", 10.0);
  const int inotify = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(inotify, 0);
  ASSERT_GE(inotify_add_watch(inotify, dir_.path().c_str(), IN_CREATE), 0);

  // A render that is alive but stopped, and one killed in the middle of writing; single-frame blocks
  // keep both busy for seconds, far longer than the signals take to arrive.
  test::TempDir scratchLive, scratchKilled;
  test::ChildProcess live(WARMGLOW_BINARY, {"render", in, Path("live.wav"), "--block", "1"}, scratchLive.path());
  const std::string livePart = AwaitPart(inotify, dir_.path(), ".live.wav.");
  ASSERT_FALSE(livePart.empty());
  live.Signal(SIGSTOP);
  std::string killedPart;
  {
    test::ChildProcess killed(WARMGLOW_BINARY, {"render", in, Path("killed.wav"), "--block", "1"},
                              scratchKilled.path());
    killedPart = AwaitPart(inotify, dir_.path(), ".killed.wav.");
    ASSERT_FALSE(killedPart.empty());
    killed.Signal(SIGKILL);
    EXPECT_EQ(killed.Wait().status, -1);
  }
  close(inotify);
  ASSERT_TRUE(fs::exists(dir_ / killedPart));
  ASSERT_FALSE(fs::exists(Path("killed.wav")));

  // The user's own files that only look similar.
  for (const std::string& name : {std::string(".killed.wav.Ab12Cd.part"), std::string("killed.wav.part"),
                                  std::string(".notes.part"), killedPart + ".backup", "copy of " + killedPart}) {
    std::ofstream(dir_ / name) << "mine";
  }
  std::set<std::string> expected = Listing();
  expected.erase(killedPart);
  expected.insert("next.wav");

  const auto r = Run({"render", Programme("short.wav", 0.2), Path("next.wav")});
  expected.insert("short.wav");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Listing(), expected);
  EXPECT_TRUE(fs::exists(dir_ / livePart));
  live.Signal(SIGKILL);
}

// A FLAC's byte offset where its audio frames begin (after the last metadata block).
std::size_t FlacAudioStart(const std::string& bytes, std::size_t* firstBlockEnd) {
  std::size_t at = 4;
  for (bool first = true;; first = false) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes.at(i)); };
    const std::size_t length = (b(at + 1) << 16) | (b(at + 2) << 8) | b(at + 3);
    const bool last = (b(at) & 0x80) != 0;
    at += 4 + length;
    if (first) *firstBlockEnd = at;
    if (last) return at;
  }
}

TEST_F(RenderSafetyTest, DamagedInputsFailAndShortOnesRenderWithAWarning) {
  // A 16-bit stereo WAV of 1 s (44100 frames, 4 bytes each), cut to 10000 frames of data.
  const std::string wav = Programme("in.wav", 1.0);
  const std::string whole = test::FileBytes(wav);
  const std::size_t dataStart = whole.find("data") + 8;
  std::ofstream(Path("short.wav"), std::ios::binary) << whole.substr(0, dataStart + 10000 * 4);
  auto r = Run({"render", Path("short.wav"), Path("short-out.wav")});
  ASSERT_EQ(r.status, 0) << r.err;
  auto lines = test::Lines(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0].rfind("warmglow: warning: ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("44100"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("10000"), std::string::npos) << lines[0];
  EXPECT_EQ(cli::ReadAudioFile(Path("short-out.wav")).frames(), 10000);

  // A FLAC of the same programme, cut inside its metadata, and cut in the middle of its audio.
  cli::AudioData flac = cli::ReadAudioFile(wav);
  flac.format.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  cli::WriteAudioFile(Path("in.flac"), flac);
  const std::string flacBytes = test::FileBytes(Path("in.flac"));
  std::size_t streamInfoEnd = 0;
  const std::size_t audioStart = FlacAudioStart(flacBytes, &streamInfoEnd);
  const std::size_t metadataCut = audioStart > streamInfoEnd ? (streamInfoEnd + audioStart) / 2 : audioStart;
  std::ofstream(Path("meta.flac"), std::ios::binary) << flacBytes.substr(0, metadataCut);
  std::ofstream(Path("half.flac"), std::ios::binary) << flacBytes.substr(0, (audioStart + flacBytes.size()) / 2);
  std::ofstream(Path("empty.wav"), std::ios::binary) << whole.substr(0, dataStart);

  const std::set<std::string> before = Listing();
  ExpectOneLineError(Run({"render", Path("meta.flac"), Path("meta-out.flac")}), "meta.flac");
  ExpectOneLineError(Run({"render", Path("empty.wav"), Path("empty-out.wav")}), "empty.wav");
  EXPECT_EQ(Listing(), before);

  r = Run({"render", Path("half.flac"), Path("half-out.flac")});
  ASSERT_EQ(r.status, 0) << r.err;
  lines = test::Lines(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0].rfind("warmglow: warning: ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("44100"), std::string::npos) << lines[0];
  const int64_t got = cli::ReadAudioFile(Path("half-out.flac")).frames();
  EXPECT_GT(got, 0);
  EXPECT_LT(got, 44100);
  EXPECT_NE(lines[0].find(std::to_string(got)), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace qrv
