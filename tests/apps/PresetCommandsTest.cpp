// Preset files and user presets on the command line: render --preset FILE.qrv or a user preset's name,
// the user presets in 'warmglow presets', and 'warmglow preset show'.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/warmglow/Cli.h"
#include "apps/warmglow/Settings.h"
#include "dsp/ParameterSet.h"
#include "platform/AtomicFile.h"
#include "presets/PresetBlob.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

// Points HOME at a folder of the test's and hides USERPROFILE, for this process and its children.
class ScopedProfile {
 public:
  explicit ScopedProfile(const fs::path& home) {
    Save("HOME", home_);
    Save("USERPROFILE", profile_);
    setenv("HOME", home.c_str(), 1);
    unsetenv("USERPROFILE");
  }
  ~ScopedProfile() {
    Restore("HOME", home_);
    Restore("USERPROFILE", profile_);
  }

 private:
  static void Save(const char* name, std::optional<std::string>& slot) {
    if (const char* v = std::getenv(name)) slot = v;
  }
  static void Restore(const char* name, const std::optional<std::string>& slot) {
    if (slot) setenv(name, slot->c_str(), 1);
    else unsetenv(name);
  }
  std::optional<std::string> home_, profile_;
};

PresetRecord Warm() {
  PresetRecord r = FactoryRecord(0);
  r.SetName("Warm");
  r.values[kSlotRatio] = 1.0f;
  r.values[kSlotCompression] = 0.8f;
  r.values[kSlotOutput] = 0.3f;
  r.values[kSlotProcess] = 0.5f;
  return r;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(platform::WriteFileAtomically(path, bytes));
}

std::string LineStartingWith(const std::string& text, const std::string& prefix) {
  const std::size_t at = text.find("\n" + prefix);
  if (at == std::string::npos) return {};
  return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

std::vector<uint8_t> ReadBytes(const fs::path& path) { return platform::ReadWholeFile(path).value(); }

// Well-formed UTF-8: complete sequences, no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view text) {
  constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0x80 && (lead < 0xC0 || lead > 0xF7)) return false;
    const std::size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (text.size() - i <= more) return false;
    uint32_t code = lead & (0x7Fu >> more);
    for (std::size_t k = 1; k <= more; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      code = code << 6 | (c & 0x3Fu);
    }
    if (code < kSmallest[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

class PresetCommandsTest : public ::testing::Test {
 protected:
  test::ProcessResult Run(const std::vector<std::string>& args) {
    return test::RunProcess(WARMGLOW_BINARY, args, scratch_.path());
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  fs::path UserFolder() const {
    return home_.path() / "Documents" / "quarry-tone.com" / "User Presets" / "QRV warmGlow";
  }
  std::string Programme() {
    const auto r = Run({"generate", Path("in.wav"), "--seconds", "1.5", "--float"});
    EXPECT_EQ(r.status, 0) << r.err;
    return Path("in.wav");
  }

  test::TempDir dir_, scratch_, home_;
  ScopedProfile profile_{home_.path()};
};

// Every stored value as --set arguments, printed exactly so they parse back to the same doubles.
std::vector<std::string> SetArguments(const PresetRecord& r) {
  std::vector<std::string> args;
  for (unsigned slot : kControlSlots) {
    char value[40];
    std::snprintf(value, sizeof value, "%.17g", static_cast<double>(r.values[slot]));
    args.push_back("--set");
    args.push_back(std::string(ParameterName(slot)) + "=" + value);
  }
  return args;
}

TEST_F(PresetCommandsTest, RenderFromPresetFileEqualsTheSameValuesSetByHand) {
  const std::string in = Programme();
  const fs::path file = dir_ / "Warm.qrv";
  WriteBytes(file, WriteSinglePresetBlob(Warm(), 0, 0));

  auto r = Run({"render", in, Path("from-file.wav"), "--preset", file.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> args = {"render", in, Path("by-hand.wav")};
  for (const auto& a : SetArguments(Warm())) args.push_back(a);
  r = Run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(Path("from-file.wav")), ReadBytes(Path("by-hand.wav")));

  // Factory values differ, so the comparison above is not vacuous.
  r = Run({"render", in, Path("default.wav")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(ReadBytes(Path("default.wav")), ReadBytes(Path("by-hand.wav")));
}

TEST_F(PresetCommandsTest, TheSameRenderGivesTheSameBytesAcrossSeconds) {
  // Float files once carried a time-stamped PEAK chunk, so renders a second apart differed.
  const std::string in = Programme();
  auto r = Run({"render", in, Path("a.wav")});
  ASSERT_EQ(r.status, 0) << r.err;
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  r = Run({"render", in, Path("b.wav")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(Path("a.wav")), ReadBytes(Path("b.wav")));
}

TEST_F(PresetCommandsTest, UserPresetsAreListedAndRenderByName) {
  WriteBytes(UserFolder() / "Sub" / "Warm.qrv", WriteSinglePresetBlob(Warm(), 0, 0));
  auto broken = WriteSinglePresetBlob(Warm(), 0, 0);
  broken.resize(100);
  WriteBytes(UserFolder() / "Broken.qrv", broken);
  WriteBytes(UserFolder() / "notes.QRV", WriteSinglePresetBlob(Warm(), 0, 0));  // wrong case: not a preset

  auto r = Run({"presets"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("User presets in " + UserFolder().string()), std::string::npos) << r.out;
  const std::string warm = LineStartingWith(r.out, "  Sub/Warm ");
  for (const char* text : {" Clear ", " 10:1 ", " 8.00 ", " 9.00 "}) EXPECT_NE(warm.find(text), std::string::npos) << warm;
  EXPECT_NE(LineStartingWith(r.out, "  Broken ").find("(does not load: data size does not match"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("notes"), std::string::npos);

  const std::string in = Programme();
  r = Run({"render", in, Path("user.wav"), "--preset", "sub/warm"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"render", in, Path("file.wav"), "--preset", (UserFolder() / "Sub" / "Warm.qrv").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(Path("user.wav")), ReadBytes(Path("file.wav")));

  r = Run({"render", in, Path("never.wav"), "--preset", "Broken"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Broken.qrv' does not load: data size does not match"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("never.wav")));
}

// "Init" names factory presets 32 and 33: the name alone is refused with both numbers, even when a user
// preset has the name too; the numbers render.
TEST_F(PresetCommandsTest, AFactoryNameSharedByTwoPresetsIsRefusedWithTheirNumbers) {
  WriteBytes(UserFolder() / "Init.qrv", WriteSinglePresetBlob(Warm(), 0, 0));
  const std::string in = Programme();
  for (const char* name : {"Init", "init", " INIT "}) {
    SCOPED_TRACE(name);
    const auto r = Run({"render", in, Path("out.wav"), "--preset", name});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find("32 and 33"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Path("out.wav")));
  }
  EXPECT_EQ(Run({"render", in, Path("out.wav"), "--preset", "33"}).status, 0);
}

// File names past 63 bytes are listed cut between characters, in the main folder and in a group; the
// folder part is listed whole.
TEST_F(PresetCommandsTest, LongNonAsciiNamesAreListedCutBetweenCharacters) {
  std::string twoByte, threeByte = "A";
  for (int i = 0; i < 40; ++i) {
    twoByte += "\u00e9";    // 63 bytes end inside the 32nd character
    threeByte += "\u20ac";  // after the "A", 63 bytes end inside the 21st
  }
  WriteBytes(UserFolder() / (twoByte + ".qrv"), WriteSinglePresetBlob(Warm(), 0, 0));
  WriteBytes(UserFolder() / twoByte / (threeByte + ".qrv"), WriteSinglePresetBlob(Warm(), 0, 0));

  const auto r = Run({"presets"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(IsValidUtf8(r.out));
  // The most whole characters that fit 63 bytes, then the padding.
  const std::string top = LineStartingWith(r.out, "  " + twoByte.substr(0, 62) + " ");
  const std::string grouped = LineStartingWith(r.out, "  " + twoByte + "/" + threeByte.substr(0, 61) + " ");
  EXPECT_NE(top.find(" 10:1 "), std::string::npos) << r.out;
  EXPECT_NE(grouped.find(" 10:1 "), std::string::npos) << r.out;
}

// "My Bus" saved from the editor is "My Bus.qrv" in the user folder: its path, its file name and its
// listed name, in any case, all name it, for render as for preset show.
TEST_F(PresetCommandsTest, AUserPresetIsFoundByPathFileNameOrListedName) {
  const fs::path file = UserFolder() / "My Bus.qrv";
  WriteBytes(file, WriteSinglePresetBlob(Warm(), 0, 0));
  const std::vector<std::string> spellings = {file.string(), "My Bus.qrv", "My Bus", "my bus"};
  const std::string in = Programme();

  auto r = Run({"render", in, Path("by-path.wav"), "--preset", file.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"render", in, Path("default.wav")});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_NE(ReadBytes(Path("by-path.wav")), ReadBytes(Path("default.wav")));
  const auto shown = Run({"preset", "show", file.string()});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Ratio        1.000000  10:1"), std::string::npos) << shown.out;

  for (std::size_t k = 1; k < spellings.size(); ++k) {
    SCOPED_TRACE(spellings[k]);
    const std::string out = Path("out" + std::to_string(k) + ".wav");
    r = Run({"render", in, out, "--preset", spellings[k]});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(out), ReadBytes(Path("by-path.wav")));
    r = Run({"preset", "show", spellings[k]});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, shown.out);
  }
}

// A name not in the main folder is looked for in the groups: found in one it is that one, found in two it
// is refused with both paths, found nowhere it is an error that says where it was looked for. The main
// folder goes first, and "Group/Name" picks one group.
TEST_F(PresetCommandsTest, UserPresetNamesInSeveralGroupsOrNoneAreRefused) {
  PresetRecord other = Warm();
  other.values[kSlotCompression] = 0.2f;
  WriteBytes(UserFolder() / "Drums" / "Crush.qrv", WriteSinglePresetBlob(Warm(), 0, 0));
  WriteBytes(UserFolder() / "Vocals" / "Crush.qrv", WriteSinglePresetBlob(other, 0, 0));
  WriteBytes(UserFolder() / "Vocals" / "Air.qrv", WriteSinglePresetBlob(other, 0, 0));
  WriteBytes(UserFolder() / "Glue.qrv", WriteSinglePresetBlob(Warm(), 0, 0));
  WriteBytes(UserFolder() / "Drums" / "Glue.qrv", WriteSinglePresetBlob(other, 0, 0));
  const std::string in = Programme();

  const auto errorLine = [](const test::ProcessResult& r) {
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.starts_with("warmglow: error: ")) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    return r.err;
  };
  for (const char* name : {"Crush", "Crush.qrv", "crush"}) {
    SCOPED_TRACE(name);
    for (const auto& args : {std::vector<std::string>{"render", in, Path("never.wav"), "--preset", name},
                             std::vector<std::string>{"preset", "show", name}}) {
      const std::string err = errorLine(Run(args));
      EXPECT_NE(err.find((UserFolder() / "Drums" / "Crush.qrv").string()), std::string::npos) << err;
      EXPECT_NE(err.find((UserFolder() / "Vocals" / "Crush.qrv").string()), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists(Path("never.wav")));
  }
  for (const char* name : {"Nobody", "Nobody.qrv"}) {
    SCOPED_TRACE(name);
    for (const auto& args : {std::vector<std::string>{"render", in, Path("never.wav"), "--preset", name},
                             std::vector<std::string>{"preset", "show", name}}) {
      const std::string err = errorLine(Run(args));
      EXPECT_NE(err.find(std::string("'") + name + "'"), std::string::npos) << err;
      EXPECT_NE(err.find(UserFolder().string()), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists(Path("never.wav")));
  }

  // One of each, by path and by a name that leaves no doubt.
  const auto render = [&](const std::string& preset, const std::string& out) {
    const auto r = Run({"render", in, Path(out), "--preset", preset});
    EXPECT_EQ(r.status, 0) << preset << ": " << r.err;
    return r.status == 0 ? ReadBytes(Path(out)) : std::vector<uint8_t>{};
  };
  const auto drums = render((UserFolder() / "Drums" / "Crush.qrv").string(), "drums.wav");
  const auto vocals = render((UserFolder() / "Vocals" / "Crush.qrv").string(), "vocals.wav");
  ASSERT_NE(drums, vocals);
  EXPECT_EQ(render("Drums/Crush", "drums-by-name.wav"), drums);
  EXPECT_EQ(render("Vocals/Crush.qrv", "vocals-by-name.wav"), vocals);
  EXPECT_EQ(render("Air", "air.wav"), vocals);
  EXPECT_EQ(render("Air.qrv", "air-file.wav"), vocals);
  EXPECT_EQ(render("Glue", "glue.wav"), drums);
  EXPECT_EQ(render("Glue.qrv", "glue-file.wav"), drums);
  const auto shown = Run({"preset", "show", "Air"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("File:        " + (UserFolder() / "Vocals" / "Air.qrv").string()), std::string::npos)
      << shown.out;
}

TEST_F(PresetCommandsTest, PresetShowPrintsHeaderNameAndValuesOrTheReason) {
  const fs::path file = dir_ / "Warm.qrv";
  WriteBytes(file, WriteSinglePresetBlob(Warm(), 0, 0));
  auto r = Run({"preset", "show", file.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("(433 bytes)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("little-endian"), std::string::npos);
  EXPECT_NE(r.out.find("Name:        \"Warm\""), std::string::npos);
  EXPECT_NE(r.out.find("Ratio        1.000000  10:1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Compression  0.800000  8.00"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Process      0.500000  Clear"), std::string::npos) << r.out;

  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string reason;
  };
  auto cut = WriteSinglePresetBlob(Warm(), 0, 0);
  cut.resize(300);
  auto host = WriteHostStateBlob(std::vector<PresetRecord>(3, Warm()), 0, 0);
  const std::vector<Case> cases = {
      {"cut.qrv", cut, "does not load: data size does not match the bytes present"},
      {"short.qrv", {'G', 'W', 'V', 'Q'}, "is not a preset: shorter than a preset header"},
      {"text.qrv", std::vector<uint8_t>(64, 'x'), "is not a preset: not a QRV warmGlow preset (wrong product code)"},
      {"host.qrv", host, "does not load: not a single preset (wrong kind marker)"},
  };
  for (const Case& c : cases) {
    WriteBytes(dir_ / c.name, c.bytes);
    r = Run({"preset", "show", (dir_ / c.name).string()});
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.name << ": " << r.err;
  }
  r = Run({"preset", "show", Path("missing.qrv")});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
}

// A folder of 600 presets: the listing holds the 512 the browser lists and says that it is cut and by how
// much; every one of the 600 is found by its name, in-process for all and through the command for those
// past the cut.
TEST_F(PresetCommandsTest, SixHundredUserPresetsAreAllFoundByNameAndTheListingSaysItIsCut) {
  const auto blob = WriteSinglePresetBlob(Warm(), 0, 0);
  std::vector<std::string> names;
  for (int i = 0; i < 600; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Bus %03d", i);
    names.push_back(name);
    WriteBytes(UserFolder() / (names.back() + ".qrv"), blob);
  }
  auto r = Run({"presets"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(LineStartingWith(r.out, "  Bus 511 ").empty()) << r.out;
  EXPECT_TRUE(LineStartingWith(r.out, "  Bus 512 ").empty());
  EXPECT_NE(r.out.find("(list cut: 512 of 600 presets listed;"), std::string::npos) << r.out;

  for (const std::string& name : names) {
    const auto found = cli::FindUserPreset(name);
    ASSERT_TRUE(found) << name;
    EXPECT_EQ(*found, UserFolder() / (name + ".qrv"));
  }
  const std::string in = Programme();
  for (const std::string& name : {std::string("Bus 512"), std::string("bus 599"), std::string("Bus 599.qrv")}) {
    SCOPED_TRACE(name);
    r = Run({"preset", "show", name});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Ratio        1.000000  10:1"), std::string::npos) << r.out;
    r = Run({"render", in, Path("out.wav"), "--preset", name});
    EXPECT_EQ(r.status, 0) << r.err;
  }
  // A folder within the limit is listed whole, without the note.
  for (int i = 100; i < 600; ++i) fs::remove(UserFolder() / (names[static_cast<std::size_t>(i)] + ".qrv"));
  r = Run({"presets"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("list cut"), std::string::npos) << r.out;
}

// Printed text holds no byte that a terminal obeys: no C0 control but the line ends, no DEL, no C1
// control, nothing that is not UTF-8.
::testing::AssertionResult TerminalSafe(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F)
      return ::testing::AssertionFailure() << "byte " << int(c) << " at " << i << " in:\n" << text;
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F)
      return ::testing::AssertionFailure() << "C1 control at " << i << " in:\n" << text;
  }
  if (!IsValidUtf8(text)) return ::testing::AssertionFailure() << "not UTF-8:\n" << text;
  return ::testing::AssertionSuccess();
}

TEST(CliPrintable, EscapesControlsAndBrokenUtf8AndKeepsText) {
  EXPECT_EQ(cli::Printable("Warm Bus"), "Warm Bus");
  EXPECT_EQ(cli::Printable("a\x1b[2Jb"), "a\\x1b[2Jb");
  EXPECT_EQ(cli::Printable(std::string("\0\t\n\r\x7f", 5)), "\\x00\\x09\\x0a\\x0d\\x7f");
  EXPECT_EQ(cli::Printable("caf\u00e9 \u20ac \U0001F3B8"), "caf\u00e9 \u20ac \U0001F3B8");
  EXPECT_EQ(cli::Printable("\xc2\x9b" "2J"), "\\xc2\\x9b2J");    // U+009B, CSI
  EXPECT_EQ(cli::Printable("\xc2\xa0"), "\xc2\xa0");               // U+00A0 is text
  EXPECT_EQ(cli::Printable("x\xff" "y"), "x\\xffy");
  EXPECT_EQ(cli::Printable("\xc0\xaf"), "\\xc0\\xaf");             // overlong "/"
  EXPECT_EQ(cli::Printable("\xed\xa0\x80"), "\\xed\\xa0\\x80");    // a surrogate
  EXPECT_EQ(cli::Printable("\xe2\x82"), "\\xe2\\x82");             // cut short
  EXPECT_EQ(cli::Printable("\xe2\x82\x1b"), "\\xe2\\x82\\x1b");
}

// File names that hold escape sequences and other control bytes, shared by someone else: every message
// that shows them, on standard output and on standard error, shows them escaped.
TEST_F(PresetCommandsTest, ControlBytesInFileNamesNeverReachTheTerminal) {
  const std::string title = "\x1b]0;owned\x07Title";
  const std::string red = "Red\x1b[31m";
  const std::vector<std::string> names = {title, red, "Tab\tBell\x07", "Del\x7f", "Bad\xff", "C1\xc2\x9b" "2J",
                                          "Line\nBreak"};
  const auto blob = WriteSinglePresetBlob(Warm(), 0, 0);
  for (const std::string& n : names) WriteBytes(UserFolder() / (n + ".qrv"), blob);
  WriteBytes(UserFolder() / ("Sub\x1b[1m") / "Inner.qrv", blob);
  auto broken = blob;
  broken.resize(100);
  WriteBytes(UserFolder() / "Broken\x1b[5m.qrv", broken);

  auto r = Run({"presets"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(TerminalSafe(r.out));
  EXPECT_TRUE(TerminalSafe(r.err));
  EXPECT_FALSE(LineStartingWith(r.out, "  \\x1b]0;owned\\x07Title ").empty()) << r.out;
  EXPECT_FALSE(LineStartingWith(r.out, "  Sub\\x1b[1m/Inner ").empty()) << r.out;
  EXPECT_FALSE(LineStartingWith(r.out, "  Line\\x0aBreak ").empty()) << r.out;

  const std::string in = Programme();
  for (const std::string& n : names) {
    SCOPED_TRACE(cli::Printable(n));
    r = Run({"preset", "show", n});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(TerminalSafe(r.out));
    EXPECT_NE(r.out.find("File:        " + cli::Printable((UserFolder() / (n + ".qrv")).string())), std::string::npos)
        << r.out;
    r = Run({"render", in, Path("out.wav"), "--preset", n});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(TerminalSafe(r.out));
    EXPECT_TRUE(TerminalSafe(r.err));
    EXPECT_NE(r.out.find("[" + cli::Printable(n) + "]"), std::string::npos) << r.out;
  }
  // Errors: a name found nowhere, a file that does not load, a file that is no preset, an output that
  // cannot be written, a batch input that fails.
  WriteBytes(dir_ / "Text\x1b[8m.qrv", std::vector<uint8_t>(64, 'x'));
  const std::vector<std::vector<std::string>> failing = {
      {"preset", "show", "Missing\x1b[2J"},
      {"preset", "show", "Broken\x1b[5m"},
      {"preset", "show", (dir_ / "Text\x1b[8m.qrv").string()},
      {"render", in, Path("never.wav"), "--preset", "Missing\x1b[2J"},
      {"render", in, Path("never.wav"), "--preset", "Broken\x1b[5m"},
      {"render", Path("no\x1b[7minput.wav"), Path("never.wav")},
      {"render", in, Path("no-such-folder\x1b[7m/out.wav")},
  };
  for (const auto& args : failing) {
    SCOPED_TRACE(cli::Printable(args.back()));
    r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(TerminalSafe(r.out));
    EXPECT_TRUE(TerminalSafe(r.err));
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // still one line
    EXPECT_NE(r.err.find("\\x1b["), std::string::npos) << r.err;
  }
  r = Run({"render", in, Path("bad\x1b[7minput.wav"), "--out-dir", Path("batch\x1b[1m")});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(TerminalSafe(r.out));
  EXPECT_TRUE(TerminalSafe(r.err));
  EXPECT_NE(r.out.find("batch\\x1b[1m"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("bad\\x1b[7minput.wav"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qrv

namespace qrv {
namespace {

// PNG width and height from the IHDR chunk.
std::pair<uint32_t, uint32_t> PngSize(const std::vector<uint8_t>& png) {
  auto be32 = [&](std::size_t at) {
    return static_cast<uint32_t>(png[at]) << 24 | static_cast<uint32_t>(png[at + 1]) << 16 |
           static_cast<uint32_t>(png[at + 2]) << 8 | png[at + 3];
  };
  return png.size() >= 24 ? std::pair{be32(16), be32(20)} : std::pair{0u, 0u};
}

TEST(WarmglowArt, WritesEveryImageAndTheContactSheet) {
  test::TempDir dir, scratch;
  const fs::path out = dir / "art" / "nested";
  auto r = test::RunProcess(WARMGLOW_BINARY, {"art", out.string()}, scratch.path());
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names.size(), 15u);
  EXPECT_NE(std::find(names.begin(), names.end(), "bar-controls.png"), names.end());
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  for (const auto& name : names) {
    const auto bytes = platform::ReadWholeFile(out / name).value();
    ASSERT_GT(bytes.size(), 8u) << name;
    EXPECT_EQ(std::memcmp(bytes.data(), signature, 8), 0) << name;
  }
  // The panel is stored at twice its 400 x 275 layout size; the compression strip holds 7 x 6 cells.
  EXPECT_EQ(PngSize(platform::ReadWholeFile(out / "11128.png").value()), (std::pair<uint32_t, uint32_t>{800, 550}));
  EXPECT_EQ(PngSize(platform::ReadWholeFile(out / "12171.png").value()), (std::pair<uint32_t, uint32_t>{1596, 1368}));
  // The bar controls are drawn at twice their layout size as well.
  const auto sheet = PngSize(platform::ReadWholeFile(out / "bar-controls.png").value());
  EXPECT_EQ(sheet.first % 2, 0u);
  EXPECT_EQ(sheet.second % 2, 0u);

  // A file where the folder should be: one line, exit 2.
  const fs::path file = dir / "plain";
  { std::ofstream(file) << "x"; }
  r = test::RunProcess(WARMGLOW_BINARY, {"art", file.string()}, scratch.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("warmglow: error: "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qrv
