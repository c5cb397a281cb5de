#include "apps/warmglow/Live.h"

#include <optional>
#include <ostream>

#include "apps/warmglow/Settings.h"
#include "format/jack/JackLive.h"
#include "format/jack/LiveState.h"
#include "presets/PresetManager.h"

namespace qrv::cli {
namespace {

constexpr OptionSpec kLiveOptions[] = {
    {"--mono", "", "one input and one output (in_1, out_1) instead of two of each"},
    {"--name", "NAME", "the JACK client's name (default: warmGlow); a name in use is an error"},
    {"--preset", "NAME|NUMBER|FILE.qrv", "start from a preset, named as for 'render', on top of the state"},
    {"--set", "NAME=VALUE", "set a parameter to a normalised value 0..1, after the preset; repeatable", true},
    {"--connect-in", "PORT", "feed in_1 (then in_2, ...) from another client's output PORT; repeatable", true},
    {"--connect-out", "PORT", "feed another client's input PORT from out_1 (then out_2, ...); repeatable", true},
    {"--state", "FILE", "restore the state from FILE and save it there on exit (default: see below)"},
    {"--hq", "", "High quality on: the valve stage oversampled (61 frames of latency, about 3x the CPU time)"},
    {"--no-hq", "", "High quality off (the state keeps either until it is switched again)"},
    {"--no-editor", "", "run without the editor window (no X display needed)"},
    {"--verbose", "", "report the rate and buffer size, every xrun and where the state went"},
};

}  // namespace

std::span<const OptionSpec> LiveOptions() { return kLiveOptions; }

std::string LiveDetails() {
  return "\nA running JACK server is needed: JACK itself (e.g. 'jackd -d alsa', or qjackctl) or PipeWire's\n"
         "JACK ('pw-jack warmglow live'); live never starts one. The client has the ports in_1, in_2 and\n"
         "out_1, out_2 (1 left, 2 right; with --mono in_1 and out_1 only); connect them with --connect-in\n"
         "and --connect-out, jack_connect or qjackctl. The editor (presets, A/B, undo, favourites, browser,\n"
         "zoom) opens in a window of its own and shares the user's presets and settings with the plug-ins.\n"
         "\nThe whole state, both A/B slots included, is restored at start and saved on exit, in the same\n"
         "bytes as the CLAP plug-in's state. Without --state it is kept per client name as\n"
         "live-NAME.state in the settings folder ($QRV_CONFIG_DIR, else $XDG_CONFIG_HOME/Quarry-tone, else\n"
         "~/.config/Quarry-tone). A missing file starts from the defaults and is created on exit; a damaged\n"
         "one is an error and is left as it is. --preset and then each --set apply on top of the state.\n"
         "Whether the state can be saved is checked at start: a folder that is not writable, a name too\n"
         "long for it, or no settings folder without --state is an error before anything starts.\n"
         "\nHigh quality runs the valve stage at 8 times the rate against folded harmonics: the output comes\n"
         "61 frames later, which the ports' latencies report to JACK. It is kept with the state: --hq\n"
         "switches it on and --no-hq off, for this run and the next ones; without either it is as the state\n"
         "has it (off in a new state). The editor's configuration menu switches it too (\"High quality\").\n"
         "\nCtrl-C, SIGTERM or closing the window end it; the state is saved (written whole, then renamed).\n"
         "\nExit status: 0 when stopped, 1 when the JACK server went away (the state is saved), 2 on an error\n"
         "before it started (no server, a server running outside 22050 to 192000 Hz, a client name in use,\n"
         "a --connect port that does not exist, a damaged state file, one from a newer version or one that\n"
         "could not be saved, no X display without --no-editor): one line \"warmglow: error: ...\", with\n"
         "nothing left registered and no state written. A server whose rate moves outside that range later\n"
         "gets silence, with a warning, until its rate is back within it.\n"
         "\nExamples:\n"
         "  warmglow live --connect-in system:capture_1 --connect-in system:capture_2\n"
         "  pw-jack warmglow live --preset Vox --set Output=0.6\n"
         "  warmglow live --mono --name vox --state ~/vox.state --no-editor\n";
}

int RunLive(const ParsedArgs& args, Io& io) {
  jack::LiveOptions options;
  if (const std::string* name = args.Value("--name")) {
    if (name->empty()) throw CliError("--name needs a client name");
    options.clientName = *name;
  }
  options.mono = args.Has("--mono");
  options.editor = !args.Has("--no-editor");
  options.verbose = args.Has("--verbose");
  if (args.Has("--hq") && args.Has("--no-hq")) throw CliError("--hq and --no-hq exclude each other");
  if (args.Has("--hq")) options.highQuality = true;
  if (args.Has("--no-hq")) options.highQuality = false;
  const std::string* preset = args.Value("--preset");
  const std::vector<std::string> sets = args.Values("--set");
  if (preset != nullptr || !sets.empty()) {
    // Resolved and checked before anything starts; shown on the bar as a loaded preset and its edits.
    std::optional<Settings> start;
    if (preset != nullptr) start = ResolvePreset(*preset);
    std::vector<std::pair<unsigned, double>> changes;
    for (const std::string& assignment : sets) changes.push_back(ParseAssignment(assignment));
    options.startSettings = [start, changes](PresetManager& manager) {
      if (start) LoadIntoManager(manager, *start);
      for (const auto& [slot, v] : changes) manager.ParameterChanged(static_cast<int>(slot), v);
    };
  }
  options.connectIn = args.Values("--connect-in");
  options.connectOut = args.Values("--connect-out");
  if (const std::string* state = args.Value("--state")) {
    if (state->empty()) throw CliError("--state needs a file name");
    options.statePath = *state;
  }
  return jack::RunLive(options, io.err, CancelRequested);
}

}  // namespace qrv::cli
