// Offline rendering of an audio file through warmGlowEffect, with levels and gain reduction traced
// for the summary and the plot. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "apps/warmglow/Settings.h"

namespace qrv::cli {

inline constexpr int kDefaultBlock = 512;
inline constexpr int kMaxBlock = 1 << 20;

struct RenderOptions {
  std::string input;
  std::string output;
  std::string plot;  // empty: no plot
  Settings settings = PresetSettings(0);
  int block = kDefaultBlock;
  bool bypass = false;
  // The engine's High quality; its delay is compensated, so that the output lines up with the input.
  bool highQuality = false;
};

// Levels over time in short windows: peaks over all channels, and the largest gain reduction the
// meter showed at the end of a block inside the window (the last one seen when no block ended there).
struct LevelTrace {
  double sampleRate = 44100.0;
  int window = 441;  // frames per point
  std::vector<float> inputPeak;
  std::vector<float> outputPeak;
  std::vector<float> gainReductionDb;
};

struct RenderResult {
  int channels = 0;
  double sampleRate = 0.0;
  int64_t frames = 0;
  double inputPeak = 0.0;   // linear, largest magnitude over all channels
  double outputPeak = 0.0;  // of the engine's output, before any clipping of integer formats
  double maxGainReductionDb = 0.0;
  int64_t clipped = 0;
  double seconds = 0.0;  // wall time of the whole render: read, process, write
  bool rateClamped = false;
  int64_t claimedFrames = -1;  // what the input's header claims; more than frames for a cut file
  std::string stopReason;      // the decoder's word when the audio ended early
  LevelTrace trace;
  double RealTimeFactor() const;
};

// Whether two paths name the same file, existing or not (through links, "..", "./" and the like).
bool SameFile(const std::string& a, const std::string& b);

// Gain reduction in dB of a GetMeter(13) reading (1 - smoothed gain).
double GainReductionDb(double meter);

// Progress in 0..1 (or negative when the length is unknown); called often, cheap to ignore.
using ProgressFn = std::function<void(double)>;

// Renders options.input to options.output (and the plot), replacing the targets only on success.
// Throws CliError for bad input or output; nothing is left behind then.
RenderResult Render(const RenderOptions& options, const ProgressFn& progress = {});

// A warning (without newline) when the input held less audio than its header claims; else empty.
std::string ShortInputWarning(const RenderOptions& options, const RenderResult& result);

// The summary line printed after a render (without newline).
std::string SummaryLine(const RenderOptions& options, const RenderResult& result);

}  // namespace qrv::cli
