#include "apps/warmglow/Commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <ostream>

#include "apps/warmglow/AudioFile.h"
#include "apps/warmglow/Generate.h"
#include "apps/warmglow/Render.h"
#include "apps/warmglow/Settings.h"
#include "dsp/FactoryPresets.h"
#include "gui/backend/ArtworkExport.h"
#include "gui/backend/Resources.h"
#include "apps/warmglow/BarControlsSheet.h"
#include "platform/AtomicFile.h"
#include "presets/PresetBlob.h"
#include "presets/PresetLibrary.h"

namespace qrv::cli {
namespace {

// "[#########---------]  47%" on a terminal, redrawn at most ten times a second and erased at the end.
class ProgressBar {
 public:
  ProgressBar(std::ostream& err, bool enabled, std::string label) : err_(err), enabled_(enabled), label_(std::move(label)) {}
  ~ProgressBar() {
    if (enabled_ && drawn_) err_ << "\r\033[K" << std::flush;
  }
  void Update(double fraction) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100) && fraction < 1.0) return;
    last_ = now;
    drawn_ = true;
    constexpr int kWidth = 32;
    if (fraction < 0.0) {
      err_ << "\r" << label_ << " ..." << std::flush;
      return;
    }
    const int filled = static_cast<int>(fraction * kWidth + 0.5);
    err_ << "\r" << label_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), '-') << "] " << static_cast<int>(fraction * 100 + 0.5)
         << "%" << std::flush;
  }

 private:
  std::ostream& err_;
  bool enabled_;
  std::string label_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

std::string Pad(std::string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

// One render with its progress bar; the warnings go to standard error.
RenderResult RenderWithProgress(const RenderOptions& options, Io& io, const std::string& label) {
  RenderResult result;
  {
    ProgressBar bar(io.err, io.errIsTerminal, label);
    result = Render(options, [&](double f) { bar.Update(f); });
  }
  if (const std::string warning = ShortInputWarning(options, result); !warning.empty()) {
    io.err << "warmglow: warning: " << Printable(warning) << "\n";
  }
  if (result.rateClamped) {
    io.err << "warmglow: warning: sample rate " << result.sampleRate
           << " Hz is outside 22050..192000 Hz; the engine's time constants follow the nearest limit\n";
  }
  return result;
}

struct BatchItem {
  std::string input, output, plot;
};

// Where each input of a batch goes; two inputs that would write the same file, or an output that
// would replace an input, are an error before anything renders.
std::vector<BatchItem> PlanBatch(const std::vector<std::string>& inputs, const std::filesystem::path& dir,
                                 const std::string& suffix, const std::string* format, bool plots) {
  std::vector<BatchItem> items;
  std::map<std::string, std::size_t> writers;  // output or plot file name -> input index
  std::set<std::filesystem::path> canonicalInputs;
  for (const std::string& input : inputs) {
    std::error_code ec;
    canonicalInputs.insert(std::filesystem::weakly_canonical(input, ec));
  }
  // By name, and for a target that exists already also through links to an input.
  const auto replacesInput = [&](const std::string& target) {
    std::error_code ec;
    if (canonicalInputs.count(std::filesystem::weakly_canonical(target, ec)) != 0) return true;
    return std::filesystem::exists(target, ec) &&
           std::any_of(inputs.begin(), inputs.end(), [&](const std::string& in) { return SameFile(target, in); });
  };
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::filesystem::path in(inputs[i]);
    const std::string stem = in.stem().string() + suffix;
    const std::string extension = format != nullptr ? "." + *format : in.extension().string();
    BatchItem item{inputs[i], (dir / (stem + extension)).string(), plots ? (dir / (stem + ".png")).string() : ""};
    for (const std::string* target : {&item.output, &item.plot}) {
      if (target->empty()) continue;
      const auto [at, fresh] = writers.emplace(std::filesystem::path(*target).filename().string(), i);
      if (!fresh) {
        throw CliError("'" + inputs[at->second] + "' and '" + inputs[i] + "' would both write '" + *target +
                       "'; nothing was rendered");
      }
      if (replacesInput(*target)) {
        throw CliError("'" + *target + "' would replace an input file; nothing was rendered");
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

int RunBatch(const ParsedArgs& args, const RenderOptions& shared, Io& io) {
  if (args.Has("--plot")) throw CliError("--plot names one plot; with --out-dir use --plots");
  const std::filesystem::path dir(*args.Value("--out-dir"));
  const std::string suffix = args.Value("--suffix") ? *args.Value("--suffix") : "";
  if (suffix.find('/') != std::string::npos) throw CliError("--suffix '" + suffix + "' may not hold a '/'");
  std::string format;
  if (const std::string* f = args.Value("--format")) {
    format = f->starts_with('.') ? f->substr(1) : *f;
    if (!NamesAudioContainer(format)) {
      throw CliError("--format '" + *f +
                     "' names no audio container that can be written (wav, flac, ogg, aiff, caf, ...)");
    }
  }
  const std::vector<BatchItem> items =
      PlanBatch(args.positionals, dir, suffix, format.empty() ? nullptr : &format, args.Has("--plots"));
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir)) {
    throw CliError("cannot create folder '" + dir.string() + "': " + (ec ? ec.message() : "a file has that name"));
  }

  std::size_t failed = 0, done = 0;
  double audioSeconds = 0.0;
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < items.size() && !CancelRequested(); ++i) {
    RenderOptions options = shared;
    options.input = items[i].input;
    options.output = items[i].output;
    options.plot = items[i].plot;
    try {
      const std::string label = "rendering " + std::to_string(i + 1) + "/" + std::to_string(items.size());
      const RenderResult result = RenderWithProgress(options, io, label);
      io.out << Printable(SummaryLine(options, result)) << "\n";
      audioSeconds += static_cast<double>(result.frames) / result.sampleRate;
      ++done;
    } catch (const CliError& e) {
      io.err << "warmglow: error: " << Printable(items[i].input + ": " + e.what()) << "\n";
      ++failed;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char tail[96];
  std::snprintf(tail, sizeof tail, "; %.2f s of audio in %.3f s", audioSeconds, seconds);
  const std::size_t skipped = items.size() - done - failed;
  io.out << "total: " << done << " of " << items.size() << " file" << (items.size() == 1 ? "" : "s") << " rendered"
         << (failed > 0 ? ", " + std::to_string(failed) + " failed" : "")
         << (skipped > 0 ? ", " + std::to_string(skipped) + " not started (interrupted)" : "") << tail << "\n";
  return failed > 0 || skipped > 0 ? kExitError : kExitOk;
}

}  // namespace

int RunRender(const ParsedArgs& args, Io& io) {
  RenderOptions options;
  if (const std::string* preset = args.Value("--preset")) options.settings = ResolvePreset(*preset);
  for (const std::string& assignment : args.Values("--set")) ApplyAssignment(options.settings, assignment);
  if (const std::string* block = args.Value("--block")) {
    options.block = static_cast<int>(ParseInteger(*block, 1, kMaxBlock, "block size"));
  }
  options.bypass = args.Has("--bypass");
  options.highQuality = args.Has("--hq");
  if (args.Has("--out-dir")) return RunBatch(args, options, io);

  if (args.Has("--suffix") || args.Has("--format") || args.Has("--plots")) {
    throw CliError("--suffix, --format and --plots go with --out-dir (see 'warmglow render --help')");
  }
  if (args.positionals.size() != 2) {
    throw CliError("'render' expects IN OUT, or IN... --out-dir DIR (see 'warmglow render --help')");
  }
  options.input = args.positionals[0];
  options.output = args.positionals[1];
  if (const std::string* plot = args.Value("--plot")) {
    if (plot->empty()) throw CliError("--plot needs a file name");
    options.plot = *plot;
  }
  const RenderResult result = RenderWithProgress(options, io, "rendering");
  io.out << Printable(SummaryLine(options, result)) << "\n";
  if (!options.plot.empty()) io.out << "plot: " << Printable(options.plot) << "\n";
  return kExitOk;
}

int RunPresets(const ParsedArgs&, Io& io) {
  std::size_t nameWidth = std::string_view("Name").size();
  std::size_t categoryWidth = std::string_view("Category").size();
  for (int i = 0; i < kFactoryPresetCount; ++i) nameWidth = std::max(nameWidth, FactoryPresetName(i).size());
  for (std::string_view c : kFactoryCategories) categoryWidth = std::max(categoryWidth, c.size());
  std::vector<std::size_t> widths;
  for (unsigned slot : kControlSlots) widths.push_back(std::max<std::size_t>(ParameterName(slot).size(), kParameterDisplayMax));

  std::string header = " #  " + Pad("Name", nameWidth) + "  " + Pad("Category", categoryWidth);
  for (std::size_t k = 0; k < kControlSlots.size(); ++k) header += "  " + Pad(std::string(ParameterName(kControlSlots[k])), widths[k]);
  while (!header.empty() && header.back() == ' ') header.pop_back();
  io.out << header << "\n";

  for (int i = 0; i < kFactoryPresetCount; ++i) {
    const Settings s = PresetSettings(i);
    const int category = FactoryPresetCategory(i);
    char number[8];
    std::snprintf(number, sizeof number, "%2d", i);
    std::string row = std::string(number) + "  " + Pad(s.presetName, nameWidth) + "  " +
                      Pad(category == kNoCategory ? "-" : std::string(kFactoryCategories[static_cast<std::size_t>(category)]),
                          categoryWidth);
    for (std::size_t k = 0; k < kControlSlots.size(); ++k) {
      row += "  " + Pad(DisplayText(kControlSlots[k], s.values[kControlSlots[k]]), widths[k]);
    }
    while (!row.empty() && row.back() == ' ') row.pop_back();
    io.out << row << "\n";
  }

  const std::string folder = UserPresetFolderPath();
  // As the browser lists them: at most 512 of each folder. Past that the list says it is cut, and how
  // many it leaves out; a name still finds every file (FindUserPreset looks at them all).
  const std::vector<UserPresetEntry> users = ScanUserPresets();
  const std::size_t every = ScanEveryUserPreset().size();
  io.out << "\nUser presets in "
         << (folder.empty() ? "(none: " + Printable(UserPresetFolderProblem()) + ")" : Printable(folder)) << ":\n";
  if (users.empty() && every == 0) io.out << "  (none; save presets from the editor, or copy .qrv files there)\n";
  std::vector<std::string> names;
  std::size_t userWidth = 0;
  for (const UserPresetEntry& u : users) {
    names.push_back(Printable(u.name));
    userWidth = std::max(userWidth, names.back().size());
  }
  for (std::size_t i = 0; i < users.size(); ++i) {
    const UserPresetEntry& u = users[i];
    std::string row = "  " + Pad(names[i], userWidth);
    const PresetFileContents file = LoadPresetFile(u.path);
    if (file.status != BlobStatus::Ok) {
      row += "  (does not load: " + std::string(DescribeBlobStatus(file.status)) + ")";
    } else {
      for (std::size_t k = 0; k < kControlSlots.size(); ++k) {
        row += "  " + Pad(DisplayText(kControlSlots[k], file.record.values[kControlSlots[k]]), widths[k]);
      }
    }
    while (!row.empty() && row.back() == ' ') row.pop_back();
    io.out << row << "\n";
  }
  if (every > users.size()) {
    io.out << "  (list cut: " << users.size() << " of " << every << " presets listed; the preset browser lists at most "
           << kMaxItemsPerGroup << " per folder and " << kMaxUserFolders
           << " sub-folders. 'render --preset NAME' and 'preset show NAME' find every file in the folder)\n";
  }
  return kExitOk;
}

int RunArt(const ParsedArgs& args, Io& io) {
  const std::string& dir = args.positionals[0];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw CliError("cannot create folder '" + dir + "': " + ec.message());
  std::string error;
  const std::vector<Quarrytone::ArtworkSheet> sheets = {{"bar-controls.png", qrv::presetbar::WriteBarControlsSheet}};
  if (!Quarrytone::WriteArtwork(dir, sheets, &error)) throw CliError(error);
  io.out << "artwork written to " << Printable(dir)
         << "/ (one PNG per image id, knob-frames.png: every knob and switch frame, bar-controls.png: the preset-bar "
            "controls in each look)\n";
  return kExitOk;
}

int RunPresetShow(const ParsedArgs& args, Io& io) {
  const std::string path = FindPresetFile(args.positionals[0]);
  // A preset is 433 bytes; a megabyte is generous and keeps a wrong file from being read whole.
  platform::FileStatus opened = platform::FileStatus::Ok;
  const auto bytes = platform::ReadWholeFile(path, 1u << 20, &opened);
  if (opened == platform::FileStatus::NotRegularFile) throw CliError("cannot read '" + path + "': not a regular file");
  if (!bytes) throw CliError("cannot read '" + path + "' (missing, unreadable or over 1 MiB)");
  PresetBlobHeader header;
  if (const BlobStatus s = ReadPresetBlobHeader(*bytes, header); s != BlobStatus::Ok) {
    throw CliError("'" + path + "' is not a preset: " + DescribeBlobStatus(s));
  }
  PresetRecord record = FactoryRecord(0);
  record.SetName("");
  const BlobStatus status = ReadPresetFileBytes(*bytes, record);

  char kind[8];
  std::snprintf(kind, sizeof kind, "0x%02x", header.kind);
  io.out << "File:        " << Printable(path) << " (" << bytes->size() << " bytes)\n"
         << "Byte order:  " << (header.bigEndian ? "big-endian (\"QVWG\")" : "little-endian (\"GWVQ\")") << "\n"
         << "Kind:        " << kind
         << (header.kind == kSinglePresetMarker ? " (single preset)"
             : header.kind == kHostStateMarker ? " (host state)"
                                               : " (unknown)")
         << "\n"
         << "Chunks:      " << header.chunkCount << ", data " << header.dataSize << " bytes, selected "
         << header.selected << "\n"
         << "Host word:   " << header.hostStateWord << ", zoom " << header.zoom << "\n";
  if (status != BlobStatus::Ok) {
    throw CliError("'" + path + "' does not load: " + DescribeBlobStatus(status));
  }
  io.out << "Name:        \"" << Printable(record.Name()) << "\"\n";
  std::size_t width = 0;
  for (unsigned slot : kControlSlots) width = std::max(width, ParameterName(slot).size());
  for (unsigned slot : kControlSlots) {
    char value[32];
    std::snprintf(value, sizeof value, "%.6f", static_cast<double>(record.values[slot]));
    io.out << "  " << Pad(std::string(ParameterName(slot)), width) << "  " << value << "  "
           << DisplayText(slot, record.values[slot]) << "\n";
  }
  return kExitOk;
}

int RunGenerate(const ParsedArgs& args, Io& io) {
  double seconds = kProgrammeDefaultSeconds;
  int rate = 44100;
  if (const std::string* s = args.Value("--seconds")) seconds = ParseNumber(*s, 0.1, kProgrammeMaxSeconds, "length in seconds");
  if (const std::string* r = args.Value("--rate")) rate = static_cast<int>(ParseInteger(*r, 8000, 192000, "sample rate"));
  AudioData data;
  data.format.sampleRate = rate;
  data.format.channels = 2;
  data.format.format = WavFormatCode(args.Has("--float"));
  data.samples = SynthesiseProgramme(seconds, rate);
  if (CancelRequested()) throw CliError("interrupted");
  WriteAudioFile(args.positionals[0], data);
  io.out << Printable(args.positionals[0]) << ": " << DescribeFormat(data.format.format) << ", stereo, " << rate << " Hz, "
         << data.frames() << " frames (" << static_cast<double>(data.frames()) / rate << " s)\n";
  return kExitOk;
}

}  // namespace qrv::cli
