#include "apps/warmglow/Render.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>

#include "apps/warmglow/AudioFile.h"
#include "apps/warmglow/Cli.h"
#include "apps/warmglow/Plot.h"
#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"

namespace qrv::cli {
namespace {

constexpr double kTraceWindowSeconds = 0.01;

std::string Decibels(double linear, const char* unit) {
  if (!(linear > 0.0)) return std::string("-inf ") + unit;
  char text[48];
  std::snprintf(text, sizeof text, "%.2f %s", 20.0 * std::log10(linear), unit);
  return text;
}

// Accumulates window peaks and meter readings into a LevelTrace.
class Tracer {
 public:
  explicit Tracer(LevelTrace& trace) : trace_(trace) {}

  void AddFrame(float in, float out) {
    inPeak_ = std::max(inPeak_, in);
    outPeak_ = std::max(outPeak_, out);
    if (++filled_ == trace_.window) Flush();
  }
  void AddMeter(float grDb) {
    lastGr_ = grDb;
    windowGr_ = std::max(windowGr_, grDb);
    sawMeter_ = true;
  }
  void Finish() {
    if (filled_ > 0) Flush();
  }

 private:
  void Flush() {
    trace_.inputPeak.push_back(inPeak_);
    trace_.outputPeak.push_back(outPeak_);
    trace_.gainReductionDb.push_back(sawMeter_ ? windowGr_ : lastGr_);
    inPeak_ = outPeak_ = 0.0f;
    windowGr_ = 0.0f;
    sawMeter_ = false;
    filled_ = 0;
  }

  LevelTrace& trace_;
  float inPeak_ = 0.0f, outPeak_ = 0.0f, windowGr_ = 0.0f, lastGr_ = 0.0f;
  bool sawMeter_ = false;
  int filled_ = 0;
};

bool IsPngName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".png";
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  std::error_code ea, eb;
  const auto ca = std::filesystem::weakly_canonical(a, ea);
  const auto cb = std::filesystem::weakly_canonical(b, eb);
  return !ea && !eb && ca == cb;
}

double GainReductionDb(double meter) {
  // Full reduction (no gain left) reads as 240 dB, the reduction of a gain of 1e-12.
  constexpr double kFullReductionDb = 240.0;
  return std::min(-qrv::GainReductionDb(meter), kFullReductionDb);
}

double RenderResult::RealTimeFactor() const {
  const double audio = sampleRate > 0.0 ? static_cast<double>(frames) / sampleRate : 0.0;
  return seconds > 0.0 ? audio / seconds : 0.0;
}

RenderResult Render(const RenderOptions& options, const ProgressFn& progress) {
  if (options.block < 1 || options.block > kMaxBlock) {
    throw CliError("block size " + std::to_string(options.block) + " is outside 1.." + std::to_string(kMaxBlock));
  }
  // Every output target is checked before anything is read or written: none may replace the input,
  // and the plot cannot be OUT.
  if (SameFile(options.output, options.input)) {
    throw CliError("OUT '" + options.output + "' is the input file; the recording would be replaced");
  }
  if (!options.plot.empty() && SameFile(options.plot, options.input)) {
    throw CliError("the plot '" + options.plot + "' would overwrite the input file");
  }
  if (!options.plot.empty() && SameFile(options.plot, options.output)) {
    throw CliError("the plot '" + options.plot + "' and OUT are the same file");
  }
  if (!options.plot.empty() && !IsPngName(options.plot)) {
    throw CliError("the plot '" + options.plot + "' must be a .png file");
  }
  const auto start = std::chrono::steady_clock::now();

  AudioReader reader(options.input);
  const AudioFormat format = reader.format();
  if (format.channels > 2) {
    throw CliError("'" + options.input + "' has " + std::to_string(format.channels) +
                   " channels; only mono and stereo files can be rendered");
  }
  const bool stereo = format.channels == 2;
  AudioWriter writer(options.output, {format.sampleRate, format.channels, OutputFormat(options.output, format)});
  std::optional<TempOutput> plot;
  if (!options.plot.empty()) plot.emplace(options.plot);

  RenderResult result;
  result.channels = format.channels;
  result.sampleRate = format.sampleRate;
  result.trace.sampleRate = format.sampleRate;
  result.trace.window = std::max(1, static_cast<int>(std::lround(format.sampleRate * kTraceWindowSeconds)));
  Tracer tracer(result.trace);

  // The chosen settings are in force from the first sample: values first, then Reset, so that drive and
  // output gain start at their targets instead of gliding there from the defaults.
  auto effect = std::make_unique<warmGlowEffect>();
  result.rateClamped = !effect->SetSampleRate(static_cast<double>(format.sampleRate));
  for (unsigned slot : kControlSlots) effect->SetParameter(slot, options.settings.values[slot]);
  // Before Reset, which completes the switch: High quality from the first sample.
  if (options.highQuality) effect->SetHighQuality(true);
  effect->Reset();
  // The engine's delay: its first frames are dropped and as many frames of silence follow the input, so
  // that the output lines up with the input and has its length.
  const std::size_t latency = static_cast<std::size_t>(std::max(effect->GetLatency(), 0));
  std::size_t skip = latency;
  std::deque<float> inPeaks;  // of the input frames whose output is still to come

  const std::size_t block = static_cast<std::size_t>(options.block);
  const std::size_t channels = static_cast<std::size_t>(format.channels);
  std::vector<float> interleaved(block * channels);
  std::vector<float> inL(block), inR(block), outL(block), outR(block);
  const float* inputs[2] = {inL.data(), stereo ? inR.data() : nullptr};
  float* outputs[2] = {outL.data(), stereo ? outR.data() : nullptr};

  // Processes the n frames in inL/inR and writes what of the output is due.
  auto run = [&](std::size_t n, bool input) {
    double meter = 0.0;
    {
      const ScopedFlushToZero ftz;
      if (options.bypass) {
        effect->BypassBlock(inputs, outputs, static_cast<int32_t>(n));
      } else {
        effect->ProcessBlock(inputs, outputs, static_cast<int32_t>(n));
      }
      effect->GetMeter(kSlotGainReduction, &meter);
    }
    const double grDb = GainReductionDb(meter);
    result.maxGainReductionDb = std::max(result.maxGainReductionDb, grDb);
    tracer.AddMeter(static_cast<float>(grDb));
    std::size_t written = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (input) {
        const float inPeak = std::max(std::fabs(inL[i]), stereo ? std::fabs(inR[i]) : 0.0f);
        result.inputPeak = std::max(result.inputPeak, static_cast<double>(inPeak));
        inPeaks.push_back(inPeak);
      }
      if (skip > 0) {
        --skip;
        continue;
      }
      float outPeak = std::fabs(outL[i]);
      interleaved[written * channels] = outL[i];
      if (stereo) {
        outPeak = std::max(outPeak, std::fabs(outR[i]));
        interleaved[written * channels + 1] = outR[i];
      }
      ++written;
      result.outputPeak = std::max(result.outputPeak, static_cast<double>(outPeak));
      tracer.AddFrame(inPeaks.front(), outPeak);
      inPeaks.pop_front();
    }
    if (written > 0) writer.Write(interleaved.data(), static_cast<int64_t>(written));
  };

  const int64_t total = reader.frames();
  int64_t done = 0;
  for (;;) {
    if (CancelRequested()) throw CliError("interrupted");
    const int64_t got = reader.Read(interleaved.data(), static_cast<int64_t>(block));
    if (got <= 0) break;
    const std::size_t n = static_cast<std::size_t>(got);
    for (std::size_t i = 0; i < n; ++i) {
      inL[i] = interleaved[i * channels];
      inR[i] = stereo ? interleaved[i * channels + 1] : 0.0f;
    }
    run(n, true);
    done += got;
    if (progress) progress(total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : -1.0);
  }
  // The delayed end of the input.
  std::fill(inL.begin(), inL.end(), 0.0f);
  std::fill(inR.begin(), inR.end(), 0.0f);
  for (std::size_t left = done > 0 ? latency : 0; left > 0;) {
    if (CancelRequested()) throw CliError("interrupted");
    const std::size_t n = std::min(left, block);
    run(n, false);
    left -= n;
  }
  tracer.Finish();
  result.frames = done;
  result.claimedFrames = reader.claimedFrames();
  result.stopReason = reader.stopReason();
  if (done == 0 && result.claimedFrames > 0) {
    throw CliError("'" + options.input + "' holds no audio, though its header claims " +
                   std::to_string(result.claimedFrames) + " frames (the file is damaged or cut)");
  }
  result.clipped = writer.clipped();
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  writer.Finish();
  std::vector<TempOutput*> targets = {&writer.output()};
  if (plot) {
    PlotLabels labels;
    labels.title = options.bypass ? "Bypass" : options.settings.presetName + (options.settings.changes.empty() ? "" : " (modified)");
    labels.subtitle = options.bypass ? "no processing" : DescribeValues(options.settings);
    labels.files = options.input + "  \u2192  " + options.output;
    WritePlot(result.trace, labels, plot->fd(), options.plot);
    targets.push_back(&*plot);
  }
  CommitTogether(targets);
  return result;
}

std::string ShortInputWarning(const RenderOptions& options, const RenderResult& result) {
  if (result.claimedFrames <= result.frames) return {};
  char text[160];
  const auto claimed = static_cast<long long>(result.claimedFrames);
  const auto read = static_cast<long long>(result.frames);
  std::snprintf(text, sizeof text, " claims %lld frames (%.2f s), only %lld (%.2f s) could be read", claimed,
                static_cast<double>(claimed) / result.sampleRate, read, static_cast<double>(read) / result.sampleRate);
  return "'" + options.input + "' is cut short: its header" + text +
         (result.stopReason.empty() ? std::string() : " (" + result.stopReason + ")") +
         "; the output holds what was read";
}

std::string SummaryLine(const RenderOptions& options, const RenderResult& result) {
  std::string name = options.bypass ? "bypass" : options.settings.presetName + (options.settings.changes.empty() ? "" : " (modified)");
  if (options.highQuality) name += ", High quality";
  char tail[160];
  std::snprintf(tail, sizeof tail, ", max gain reduction %.2f dB, real-time factor %.0fx (%.2f s of audio in %.3f s)",
                result.maxGainReductionDb, result.RealTimeFactor(),
                result.sampleRate > 0 ? static_cast<double>(result.frames) / result.sampleRate : 0.0, result.seconds);
  std::string line = options.output + " [" + name + "]: input peak " + Decibels(result.inputPeak, "dBFS") +
                     ", output peak " + Decibels(result.outputPeak, "dBFS") + tail;
  if (result.clipped > 0) line += ", " + std::to_string(result.clipped) + " samples clipped";
  return line;
}

}  // namespace qrv::cli
