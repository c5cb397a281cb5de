#include "apps/warmglow/Cli.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>

#include "apps/warmglow/Commands.h"
#include "apps/warmglow/ManualPath.h"
#include "apps/warmglow/Live.h"
#include "apps/warmglow/Settings.h"
#include "apps/warmglow/Snapshot.h"
#include "platform/ProductVersion.h"

namespace qrv::cli {
namespace {

std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "RequestCancel runs in a signal handler");

int RunHelp(const ParsedArgs& args, Io& io);

constexpr std::size_t kAnyCount = std::numeric_limits<std::size_t>::max();

constexpr OptionSpec kRenderOptions[] = {
    {"--preset", "NAME|NUMBER|FILE.qrv",
     "start from a factory preset, a .qrv file, or a user preset by its listed or file name (default: 0, "
     "\"Default\")"},
    {"--set", "NAME=VALUE", "set a parameter to a normalised value 0..1, after the preset; repeatable", true},
    {"--block", "N", "process in blocks of N frames, 1..1048576 (default 512)"},
    {"--bypass", "", "pass the audio through unprocessed (the engine's bypass)"},
    {"--hq", "", "High quality: the valve stage oversampled, against folded harmonics (see below)"},
    {"--plot", "FILE.png", "also draw input level, output level and gain reduction over time"},
    {"--out-dir", "DIR", "render every IN into DIR (created when missing): DIR/<IN's name><SUFFIX>.<EXT>"},
    {"--suffix", "SUFFIX", "with --out-dir: appended to each output's name (default: none)"},
    {"--format", "EXT", "with --out-dir: the outputs' container, e.g. wav or flac (default: each input's)"},
    {"--plots", "", "with --out-dir: a plot <name><SUFFIX>.png beside each output"},
};

constexpr OptionSpec kGenerateOptions[] = {
    {"--seconds", "N", "length in seconds, 0.1..600 (default 12)"},
    {"--rate", "R", "sample rate in Hz, 8000..192000 (default 44100)"},
    {"--float", "", "write 32-bit float samples instead of 16-bit PCM"},
};

// How the shown values and the engine's steps relate, so that nobody takes the design for a fault.
std::string StepNotes() {
  return "\nCompression shows 0.00 to 10.00 in 0.25 steps, linear in the knob, while the engine's drive moves\n"
         "in 40 steps that follow the knob to the power 0.7071. The two grids do not line up, so neighbouring\n"
         "shown values can select the same drive (5.00 and 5.25, 6.25 and 6.50, ...). Time shows half steps\n"
         "while the engine follows the knob continuously. Both are the product's design.\n";
}

std::string RenderDetails() {
  return "\nThe file is read with libsndfile (WAV, AIFF, FLAC, Ogg, ...; mono or stereo). OUT is written at the\n"
         "same sample rate in the container its extension names (.wav, .flac, .ogg, .aiff, .caf, .w64, ...),\n"
         "keeping the input's sample format where that container holds it (float stays float, 24-bit stays\n"
         "24-bit), else the nearest it holds; an OUT without extension keeps the input's format. The plot\n"
         "must be a .png file. The settings are in force from the first sample. A progress bar is\n"
         "shown while standard error is a terminal; a summary line follows on standard output: peaks,\n"
         "largest gain reduction and the real-time factor (audio duration / render time).\n"
         "\n--hq runs the valve stage at 8 times the rate, so that its harmonics above half the sample rate\n"
         "do not fold back into the audible band (about 2.1x the CPU time in mono, 2.7x in stereo). The\n"
         "engine then delays its output by 61 frames; render compensates, so that OUT lines up with IN\n"
         "and has its length. Without --hq every output sample is as it always was.\n"
         "\n--preset reads FILE.qrv, or an existing file named with a '/', as given; a FILE.qrv that is not\n"
         "there names a user preset's file. Any other NAME is a factory preset (number or name) first, else\n"
         "a user preset by its listed or file name: in the user folder, then in its sub-folders (a name\n"
         "found in several sub-folders is refused with their paths).\n\n" +
         ParameterHelp() + StepNotes() +
         "\nExamples:\n"
         "  warmglow render mix.wav out.wav --preset \"Glue Things Together\"\n"
         "  warmglow render vocal.flac out.flac --preset Vox --set Output=0.2 --plot vocal.png\n"
         "  warmglow render in.wav out.wav --preset 8 --set ratio=0.6667 --set Process=0.5\n"
         "  warmglow render takes/*.wav --out-dir mixed --suffix -glued --format flac --plots --preset 10\n"
         "\nWith --out-dir every IN is rendered with the same settings; two inputs that would write the same\n"
         "file are refused before anything renders. One summary line per file and a total line follow; a\n"
         "file that fails leaves no output and the others still render; the exit status is then 2.\n";
}

std::string PresetsDetails() {
  return "\nEach value is shown as its display text; 'warmglow render --preset NAME|NUMBER' uses them.\n"
         "User presets (.qrv files in $USERPROFILE, else $HOME, under\n"
         "Documents/quarry-tone.com/User Presets/QRV warmGlow, one level of sub-folders) follow the table:\n"
         "as the plug-in's browser lists them, at most 512 of a folder and 127 sub-folders, with a note saying\n"
         "how many the folder holds when that cuts the list. --preset and 'preset show' find every file by\n"
         "its name. Control characters in file and preset names are printed escaped.\n";
}

std::string PresetShowDetails() {
  return "\nReads the file as the plug-in does (either byte order; a value outside 0..1 takes the slot's\n"
         "default) and prints the header fields, the stored name and each stored value with its display\n"
         "text. A file that does not load is reported with the exact reason and exit status 2.\n"
         "A NAME or FILE.qrv that is not found as given names a user preset by its listed name (\"Warm\",\n"
         "\"Sub/Warm\") or file name, in any case, with or without .qrv: looked for in the user folder, then\n"
         "in its sub-folders; a name found in several sub-folders is refused with their paths.\n";
}

std::string ArtDetails() {
  return "\nWrites \"<id>.png\" for each of the thirteen images compiled into the plug-in (panel, knob and\n"
         "switch film strips, VU faces, about page, logo) at their stored size (twice the layout size), and\n"
         "\"knob-frames.png\", every frame of every film strip on one sheet, and \"bar-controls.png\", every\n"
         "preset-bar control in each of its looks with the zoom list open. DIR is created when missing.\n";
}

std::string GenerateDetails() {
  return "\nA deterministic stereo programme: kick, snare and hats, a bass line and a sustained sung vowel\n"
         "with vibrato, in quiet and loud passages, peak-normalised to -3 dBFS. The same arguments always\n"
         "give the same file.\n";
}

const Command kCommands[] = {
    {{"render"}, "IN OUT | IN... --out-dir DIR", 1, kAnyCount, "process audio files through the compressor",
     kRenderOptions, RenderDetails, RunRender},
    {{"presets"}, "", 0, 0, "list the factory presets with their settings", {}, PresetsDetails, RunPresets},
    {{"generate"}, "OUT.wav", 1, 1, "write the synthetic demo programme", kGenerateOptions, GenerateDetails,
     RunGenerate},
    {{"preset", "show"}, "NAME|FILE.qrv", 1, 1, "print a preset file's header, name and values, or why it does not read", {},
     PresetShowDetails, RunPresetShow},
    {{"art"}, "DIR", 1, 1, "write every embedded image as a PNG, and a contact sheet of all knob frames", {},
     ArtDetails, RunArt},
    {{"snapshot"}, "OUT.png", 1, 1, "draw the editor window into a PNG, without a display", SnapshotOptions(),
     SnapshotDetails, RunSnapshot},
    {{"manual-path"}, "", 0, 0, "show or set the path of the manual the plug-ins open", ManualPathOptions(),
     ManualPathDetails, RunManualPath},
    {{"live"}, "", 0, 0, "run the compressor on live audio as a JACK client, with its editor", LiveOptions(),
     LiveDetails, RunLive},
    {{"help"}, "[COMMAND]", 0, 3, "show the help of warmglow or of one command", {}, nullptr, RunHelp},
};

// The command whose words match the longest prefix of args; null when none does.
const Command* FindCommand(const std::vector<std::string>& args, std::size_t& consumed) {
  const Command* best = nullptr;
  consumed = 0;
  for (const Command& c : kCommands) {
    if (c.words.size() > args.size() || c.words.size() <= consumed) continue;
    if (std::equal(c.words.begin(), c.words.end(), args.begin())) {
      best = &c;
      consumed = c.words.size();
    }
  }
  return best;
}

int RunHelp(const ParsedArgs& args, Io& io) {
  if (args.positionals.empty()) {
    io.out << MainHelp();
    return kExitOk;
  }
  std::size_t consumed = 0;
  const Command* c = FindCommand(args.positionals, consumed);
  if (c == nullptr || consumed != args.positionals.size()) {
    throw CliError("no command '" + args.positionals.front() + "' (see 'warmglow help')");
  }
  io.out << CommandHelp(*c);
  return kExitOk;
}

}  // namespace

void RequestCancel() { cancelRequested.store(true, std::memory_order_relaxed); }
bool CancelRequested() { return cancelRequested.load(std::memory_order_relaxed); }

std::span<const Command> AllCommands() { return kCommands; }

std::string CommandName(const Command& command) {
  std::string name;
  for (std::string_view w : command.words) name += (name.empty() ? "" : " ") + std::string(w);
  return name;
}

std::string CommandHelp(const Command& command) {
  std::string text = "Usage: warmglow " + CommandName(command);
  if (!command.options.empty()) text += " [OPTIONS]";
  if (!command.arguments.empty()) text += " " + std::string(command.arguments);
  text += "\n\n";
  std::string summary(command.summary);
  if (!summary.empty()) summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
  text += summary + ".\n\n" + FormatOptions(command.options);
  if (command.details != nullptr) text += command.details();
  return text;
}

std::string MainHelp() {
  std::string text =
      "warmglow " QRV_VERSION " - QRV warmGlow opto compressor on the command line\n\n"
      "Usage: warmglow COMMAND [OPTIONS] [ARGS]\n"
      "       warmglow help COMMAND | warmglow COMMAND --help\n\nCommands:\n";
  std::size_t width = 0;
  for (const Command& c : kCommands) width = std::max(width, CommandName(c).size());
  for (const Command& c : kCommands) {
    const std::string name = CommandName(c);
    text += "  " + name + std::string(width - name.size() + 3, ' ') + std::string(c.summary) + "\n";
  }
  text += "\n" + ParameterHelp() +
          "\nFiles:\n"
          "  ~/Documents/quarry-tone.com/User Presets/QRV warmGlow/\n"
          "      user presets (.qrv), one level of sub-folders as groups ($USERPROFILE for ~ when set)\n"
          "  ~/.config/Quarry-tone/settings.reg\n"
          "      the plug-ins' settings: favourites, user default, memo, zoom, hints, manual path\n"
          "  ~/.config/Quarry-tone/live-NAME.state\n"
          "      the state 'warmglow live' keeps for the client NAME when no --state is given\n"
          "  PREFIX/share/doc/qrv-warmglow/index.html\n"
          "      the user manual, installed by 'make install'\n"
          "\nEnvironment:\n"
          "  QRV_CONFIG_DIR    the settings file's folder instead of $XDG_CONFIG_HOME/Quarry-tone\n"
          "  XDG_CONFIG_HOME   the settings file is in its Quarry-tone folder (default ~/.config)\n"
          "  USERPROFILE       where the user preset folder's Documents lie, instead of $HOME\n"
          "  QRV_PRESET_DEBUG  when 1, the preset scan prints the folders it searches\n"
          "\nExit status:\n"
          "  0  success\n"
          "  1  'live' only: the JACK server went away (the state is saved)\n"
          "  2  any error, reported as one line \"warmglow: error: ...\" on standard error; an output\n"
          "     file is then neither created nor changed (in a batch, the outputs of the files that\n"
          "     failed)\n"
          "\n"
          "Examples:\n"
          "  warmglow generate programme.wav\n"
          "  warmglow render programme.wav glued.wav --preset \"Glue Things Together\" --plot glued.png\n"
          "  warmglow presets\n"
          "  warmglow live --connect-in system:capture_1 --connect-out system:playback_1\n";
  return text;
}

std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  const auto escape = [&](unsigned char c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x20 || lead == 0x7F) {
      escape(lead);
      ++i;
      continue;
    }
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    // A whole, shortest-form UTF-8 sequence of a scalar value is kept; anything else goes byte by byte.
    const std::size_t more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                             : lead >= 0xF0 && lead <= 0xF4                                   ? 3
                                                                                              : 0;
    uint32_t code = lead & (0x7Fu >> more);
    bool valid = more > 0 && text.size() - i > more;
    for (std::size_t k = 1; valid && k <= more; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      valid = (c & 0xC0) == 0x80;
      code = code << 6 | (c & 0x3Fu);
    }
    constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kSmallest[more] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      escape(lead);
      ++i;
      continue;
    }
    if (code <= 0x9F) {
      for (std::size_t k = 0; k <= more; ++k) escape(static_cast<unsigned char>(text[i + k]));
    } else {
      out.append(text.substr(i, more + 1));
    }
    i += more + 1;
  }
  return out;
}

long long ParseInteger(std::string_view text, long long lo, long long hi, std::string_view what) {
  long long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec == std::errc::invalid_argument || end != text.data() + text.size()) {
    throw CliError(std::string(what) + " '" + std::string(text) + "' is not a whole number");
  }
  if (ec == std::errc::result_out_of_range || v < lo || v > hi) {
    throw CliError(std::string(what) + " " + std::string(text) + " is outside " + std::to_string(lo) + ".." +
                   std::to_string(hi));
  }
  return v;
}

double ParseNumber(std::string_view text, double lo, double hi, std::string_view what) {
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) {
    throw CliError(std::string(what) + " '" + std::string(text) + "' is not a number");
  }
  if (v < lo || v > hi) throw CliError(std::string(what) + " " + std::string(text) + " is out of range");
  return v;
}

int RunCli(const std::vector<std::string>& args, Io& io) {
  try {
    if (args.empty()) {
      io.err << MainHelp();
      return kExitError;
    }
    if (args.front() == "--help" || args.front() == "-h") {
      io.out << MainHelp();
      return kExitOk;
    }
    if (args.front() == "--version") {
      io.out << "warmglow " QRV_VERSION "\n";
      return kExitOk;
    }
    std::size_t consumed = 0;
    const Command* command = FindCommand(args, consumed);
    if (command == nullptr) throw CliError("unknown command '" + args.front() + "' (see 'warmglow --help')");
    const std::span<const std::string> rest(args.data() + consumed, args.size() - consumed);
    const ParsedArgs parsed = ParseArgs(rest, command->options, CommandName(*command));
    if (parsed.help) {
      io.out << CommandHelp(*command);
      return kExitOk;
    }
    const std::size_t n = parsed.positionals.size();
    if (n < command->minPositionals || n > command->maxPositionals) {
      throw CliError("'" + CommandName(*command) + "' expects " +
                     (command->arguments.empty() ? std::string("no arguments") : std::string(command->arguments)) +
                     " (see 'warmglow " + CommandName(*command) + " --help')");
    }
    return command->run(parsed, io);
  } catch (const CliError& e) {
    // The whole line: any message may quote a name, and it stays one line whatever the name holds.
    io.err << "warmglow: error: " << Printable(e.what()) << "\n";
  } catch (const std::exception& e) {
    io.err << "warmglow: error: " << Printable(e.what()) << "\n";
  }
  io.err.flush();
  return kExitError;
}

}  // namespace qrv::cli
