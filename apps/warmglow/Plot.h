// A PNG chart of a render: input and output level and gain reduction over time, drawn with cairo.
#pragma once

#include <string>

#include "apps/warmglow/Render.h"

namespace qrv::cli {

struct PlotLabels {
  std::string title;     // preset name
  std::string subtitle;  // control values as display texts
  std::string files;     // "in.wav -> out.wav"
};

inline constexpr int kPlotWidth = 1600;
inline constexpr int kPlotHeight = 900;

// Writes the chart as PNG to the open file descriptor `fd`; `name` is used in messages. Throws CliError.
void WritePlot(const LevelTrace& trace, const PlotLabels& labels, int fd, const std::string& name);

}  // namespace qrv::cli
