// The command-line library without a process: argument parsing, settings, output files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "apps/warmglow/Args.h"
#include "apps/warmglow/AudioFile.h"
#include "apps/warmglow/Cli.h"
#include "apps/warmglow/Render.h"
#include "apps/warmglow/Settings.h"
#include "dsp/FactoryPresets.h"
#include "tests/support/TempDir.h"

namespace qrv::cli {
namespace {

TEST(CliSettings, PresetsAndControlsAreFoundByNumberOrNameInAnyCase) {
  EXPECT_EQ(FindPreset("glue things together"), 10);
  EXPECT_EQ(FindPreset("FASTLIM"), 8);
  EXPECT_EQ(FindPreset("0"), 0);
  EXPECT_EQ(FindPreset("33"), 33);
  EXPECT_EQ(FindPreset("32"), 32);
  EXPECT_THROW(FindPreset("Glue"), CliError);
  EXPECT_THROW(FindPreset("8x"), CliError);
  EXPECT_THROW(FindPreset(""), CliError);

  EXPECT_EQ(FindControl("compression"), kSlotCompression);
  EXPECT_EQ(FindControl("ATTACKRATIO"), kSlotAttackRatio);
  EXPECT_THROW(FindControl("gain reduction"), CliError);  // a meter, not a control
  EXPECT_THROW(FindControl(" "), CliError);               // the unnamed placeholder slots
  EXPECT_THROW(FindControl(""), CliError);
}

TEST(CliSettings, AssignmentsTakeNormalisedValuesOnly) {
  Settings s = PresetSettings(FindPreset("Vox"));
  ApplyAssignment(s, "output=1");
  ApplyAssignment(s, "Time=0");
  ApplyAssignment(s, "Ratio=1e-1");
  EXPECT_EQ(s.values[kSlotOutput], 1.0);
  EXPECT_EQ(s.values[kSlotTime], 0.0);
  EXPECT_EQ(s.values[kSlotRatio], 0.1);
  EXPECT_EQ(s.values[kSlotProcess], 0.5);  // the preset's own value stays
  EXPECT_EQ(s.changes.size(), 3u);
  EXPECT_EQ(DescribeValues(s).find("Output 30.00"), DescribeValues(s).find("Output"));
  for (const char* bad : {"Output=1.0000001", "Output=-0", "Output=inf", "Output=", "Output=0x1", "=0.5", "Output0.5"}) {
    SCOPED_TRACE(bad);
    if (std::string(bad) == "Output=-0") {
      EXPECT_NO_THROW(ApplyAssignment(s, bad));  // minus zero is zero
      continue;
    }
    EXPECT_THROW(ApplyAssignment(s, bad), CliError);
  }
}

TEST(CliArgs, OptionsTakeValuesInEitherFormAndRejectMisuse) {
  const OptionSpec known[] = {{"--block", "N", "", false}, {"--set", "A=B", "", true}, {"--bypass", "", "", false}};
  const std::vector<std::string> args = {"in", "--block=64", "--set", "a=1", "--bypass", "--set=b=2", "--", "--out"};
  const ParsedArgs p = ParseArgs(args, known, "render");
  EXPECT_EQ(p.positionals, (std::vector<std::string>{"in", "--out"}));
  EXPECT_EQ(*p.Value("--block"), "64");
  EXPECT_EQ(p.Values("--set"), (std::vector<std::string>{"a=1", "b=2"}));
  EXPECT_TRUE(p.Has("--bypass"));
  EXPECT_FALSE(p.help);

  auto parse = [&](std::vector<std::string> a) { return ParseArgs(a, known, "render"); };
  EXPECT_THROW(parse({"--block", "1", "--block", "2"}), CliError);
  EXPECT_THROW(parse({"--bypass=yes"}), CliError);
  EXPECT_THROW(parse({"--block"}), CliError);
  EXPECT_THROW(parse({"--blocks", "2"}), CliError);
  EXPECT_EQ(*parse({"--block", "-3"}).Value("--block"), "-3");  // values are taken verbatim, checked later
  EXPECT_TRUE(parse({"-h"}).help);
  EXPECT_NE(FormatOptions(known).find("--set A=B"), std::string::npos);
}

TEST(CliRun, ErrorsBecomeOneLineAndStatusTwo) {
  std::ostringstream out, err;
  Io io{out, err, false};
  EXPECT_EQ(RunCli({"render", "--block", "0", "a.wav", "b.wav"}, io), kExitError);
  EXPECT_EQ(err.str(), "warmglow: error: block size 0 is outside 1..1048576\n");
  EXPECT_TRUE(out.str().empty());
  err.str("");
  EXPECT_EQ(RunCli({}, io), kExitError);  // no command: the help, on standard error
  EXPECT_NE(err.str().find("Usage: warmglow"), std::string::npos);
  EXPECT_EQ(RunCli({"--version"}, io), kExitOk);
}

TEST(CliFiles, TempOutputReplacesTheTargetOnlyOnCommit) {
  test::TempDir dir;
  const std::string target = (dir / "file.bin").string();
  std::ofstream(target) << "old";
  std::string tempPath;
  {
    TempOutput t(target);
    tempPath = t.path();
    EXPECT_EQ(std::filesystem::path(tempPath).parent_path(), dir.path());
    ASSERT_EQ(write(t.fd(), "new", 3), 3);
  }  // abandoned
  EXPECT_FALSE(std::filesystem::exists(tempPath));
  std::ifstream(target) >> tempPath;
  EXPECT_EQ(tempPath, "old");
  {
    TempOutput t(target);
    ASSERT_EQ(write(t.fd(), "new", 3), 3);
    t.Commit();
  }
  std::string content;
  std::ifstream(target) >> content;
  EXPECT_EQ(content, "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// When the second rename fails, the first target gets its previous content back, or goes again when it
// was new; no temporary file stays.
TEST(CliFiles, OutputsCommittedTogetherAreAllReplacedOrNone) {
  test::TempDir dir;
  const auto read = [](const std::filesystem::path& p) {
    std::string content;
    std::ifstream(p) >> content;
    return content;
  };
  for (const bool firstExisted : {true, false}) {
    SCOPED_TRACE(firstExisted);
    const std::filesystem::path first = dir / "first.bin", second = dir / "second";
    if (firstExisted) std::ofstream(first) << "old";
    {
      TempOutput a(first.string()), b(second.string());
      ASSERT_EQ(write(a.fd(), "new", 3), 3);
      ASSERT_EQ(write(b.fd(), "new", 3), 3);
      std::filesystem::create_directory(second);  // appears after the checks: its rename fails
      TempOutput* both[] = {&a, &b};
      EXPECT_THROW(CommitTogether(both), CliError);
    }
    EXPECT_EQ(std::filesystem::exists(first), firstExisted);
    if (firstExisted) {
      EXPECT_EQ(read(first), "old");
    }
    std::filesystem::remove(second);
    std::filesystem::remove(first);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
  }
  // And both replaced when nothing is in the way.
  std::ofstream(dir / "first.bin") << "old";
  TempOutput a((dir / "first.bin").string()), b((dir / "second").string());
  ASSERT_EQ(write(a.fd(), "new", 3), 3);
  ASSERT_EQ(write(b.fd(), "two", 3), 3);
  TempOutput* both[] = {&a, &b};
  CommitTogether(both);
  EXPECT_EQ(read(dir / "first.bin"), "new");
  EXPECT_EQ(read(dir / "second"), "two");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(CliFiles, IntegerFormatsClipInsteadOfWrapping) {
  test::TempDir dir;
  const std::string path = (dir / "loud.wav").string();
  AudioData d{{44100, 1, WavFormatCode(false)}, {2.0f, -2.0f, 0.5f, 1.0f, -1.0f}};
  {
    AudioWriter w(path, d.format);
    w.Write(d.samples.data(), d.frames());
    EXPECT_EQ(w.clipped(), 3);  // 2, -2 and 1.0, which is one step above the largest 16-bit value
    w.Commit();
  }
  const AudioData back = ReadAudioFile(path);
  ASSERT_EQ(back.samples.size(), 5u);
  EXPECT_EQ(back.samples[0], 32767.0f / 32768.0f);
  EXPECT_EQ(back.samples[1], -1.0f);
  EXPECT_EQ(back.samples[2], 0.5f);
  EXPECT_EQ(back.samples[3], 32767.0f / 32768.0f);
  EXPECT_EQ(back.samples[4], -1.0f);
}

TEST(CliRender, GainReductionInDecibelsFromTheMeter) {
  EXPECT_DOUBLE_EQ(GainReductionDb(0.0), 0.0);
  EXPECT_NEAR(GainReductionDb(0.5), 6.0206, 1e-4);
  EXPECT_NEAR(GainReductionDb(0.9), 20.0, 1e-9);
  EXPECT_GT(GainReductionDb(1.0), 100.0);  // no gain left: a large finite number, never inf
  EXPECT_DOUBLE_EQ(GainReductionDb(-0.1), 0.0);
}

}  // namespace
}  // namespace qrv::cli

namespace qrv::cli {
namespace {

TEST(CliRun, ProgressBarOnlyWhenStandardErrorIsATerminal) {
  test::TempDir dir;
  const std::string in = (dir / "in.wav").string();
  const std::string out = (dir / "out.wav").string();
  std::ostringstream sink, silent;
  Io quiet{sink, silent, false};
  ASSERT_EQ(RunCli({"generate", in, "--seconds", "0.5"}, quiet), kExitOk);
  ASSERT_EQ(RunCli({"render", in, out, "--block", "64"}, quiet), kExitOk);
  EXPECT_TRUE(silent.str().empty()) << silent.str();

  std::ostringstream out2, terminal;
  Io tty{out2, terminal, true};
  ASSERT_EQ(RunCli({"render", in, out, "--block", "64"}, tty), kExitOk);
  const std::string bar = terminal.str();
  EXPECT_NE(bar.find("rendering ["), std::string::npos);
  EXPECT_NE(bar.find("] 100%"), std::string::npos);
  // The bar is erased at the end, so the summary on standard output starts on a clean line.
  EXPECT_EQ(bar.substr(bar.size() - 4), "\r\033[K");
  EXPECT_EQ(out2.str().find('\r'), std::string::npos);
}

}  // namespace
}  // namespace qrv::cli
