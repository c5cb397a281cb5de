#include "apps/warmglow/Plot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "apps/warmglow/Cli.h"

namespace qrv::cli {
namespace {

constexpr const char* kFont = "Liberation Sans";

struct Rgb {
  double r, g, b;
};
constexpr Rgb kBackground{0.992, 0.988, 0.976};
constexpr Rgb kPanel{1.0, 1.0, 1.0};
constexpr Rgb kGrid{0.86, 0.86, 0.84};
constexpr Rgb kAxis{0.35, 0.35, 0.33};
constexpr Rgb kText{0.13, 0.13, 0.12};
constexpr Rgb kMuted{0.40, 0.40, 0.38};
constexpr Rgb kInput{0.55, 0.66, 0.78};
constexpr Rgb kOutput{0.91, 0.45, 0.08};
constexpr Rgb kReduction{0.78, 0.15, 0.18};

void SetColor(cairo_t* cr, Rgb c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

struct Rect {
  double x, y, w, h;
};

// A "nice" tick step (1, 2 or 5 times a power of ten) giving about `count` ticks over `span`.
double NiceStep(double span, int count) {
  const double raw = span / std::max(1, count);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (raw <= m * power) return m * power;
  }
  return 10.0 * power;
}

void Text(cairo_t* cr, const std::string& s, double x, double y, double size, Rgb color, double alignX = 0.0,
          bool bold = false) {
  cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  SetColor(cr, color);
  cairo_move_to(cr, x - alignX * e.x_advance, y);
  cairo_show_text(cr, s.c_str());
}

std::string Format(const char* fmt, double v) {
  char text[32];
  std::snprintf(text, sizeof text, fmt, v);
  return text;
}

// Per pixel column, the largest value of the trace points it covers (a peak envelope that keeps
// every transient visible however long the file is).
std::vector<double> Columns(const std::vector<float>& points, int width) {
  std::vector<double> cols(static_cast<std::size_t>(width), 0.0);
  if (points.empty()) return cols;
  const double perColumn = static_cast<double>(points.size()) / width;
  for (int c = 0; c < width; ++c) {
    std::size_t a = static_cast<std::size_t>(std::floor(c * perColumn));
    std::size_t b = static_cast<std::size_t>(std::floor((c + 1) * perColumn));
    a = std::min(a, points.size() - 1);
    b = std::clamp(b, a + 1, points.size());
    double m = 0.0;
    for (std::size_t i = a; i < b; ++i) m = std::max(m, static_cast<double>(points[i]));
    cols[static_cast<std::size_t>(c)] = m;
  }
  return cols;
}

class Chart {
 public:
  Chart(cairo_t* cr, Rect area, double seconds) : cr_(cr), area_(area), seconds_(seconds) {}

  double X(double t) const { return area_.x + (seconds_ > 0 ? t / seconds_ : 0.0) * area_.w; }
  double Y(double v) const { return area_.y + (top_ - std::clamp(v, bottom_, top_)) / (top_ - bottom_) * area_.h; }
  void SetRange(double bottom, double top) {
    bottom_ = bottom;
    top_ = top;
  }

  void Frame(double yStep, const char* yFormat, const std::string& yLabel, bool timeLabels) {
    SetColor(cr_, kPanel);
    cairo_rectangle(cr_, area_.x, area_.y, area_.w, area_.h);
    cairo_fill(cr_);
    cairo_set_line_width(cr_, 1.0);
    // Horizontal grid and value labels.
    for (double v = std::ceil(bottom_ / yStep) * yStep; v <= top_ + 1e-9; v += yStep) {
      const double y = std::round(Y(v)) + 0.5;
      SetColor(cr_, std::fabs(v) < 1e-9 ? kAxis : kGrid, std::fabs(v) < 1e-9 ? 0.6 : 1.0);
      cairo_move_to(cr_, area_.x, y);
      cairo_line_to(cr_, area_.x + area_.w, y);
      cairo_stroke(cr_);
      Text(cr_, Format(yFormat, std::fabs(v) < 1e-9 ? 0.0 : v), area_.x - 10, y + 5, 14, kMuted, 1.0);
    }
    // Vertical grid every "nice" number of seconds.
    const double tStep = NiceStep(seconds_ > 0 ? seconds_ : 1.0, 12);
    for (double t = 0.0; t <= seconds_ + 1e-9; t += tStep) {
      const double x = std::round(X(t)) + 0.5;
      SetColor(cr_, kGrid);
      cairo_move_to(cr_, x, area_.y);
      cairo_line_to(cr_, x, area_.y + area_.h);
      cairo_stroke(cr_);
      if (timeLabels) Text(cr_, Format(tStep < 1.0 ? "%.1f" : "%.0f", t), x, area_.y + area_.h + 20, 14, kMuted, 0.5);
    }
    // Axis title, rotated along the left edge.
    cairo_save(cr_);
    cairo_translate(cr_, area_.x - 58, area_.y + area_.h / 2);
    cairo_rotate(cr_, -M_PI / 2);
    Text(cr_, yLabel, 0, 0, 15, kText, 0.5);
    cairo_restore(cr_);
  }

  void Border() {
    SetColor(cr_, kAxis);
    cairo_set_line_width(cr_, 1.0);
    cairo_rectangle(cr_, std::round(area_.x) + 0.5, std::round(area_.y) + 0.5, std::round(area_.w), std::round(area_.h));
    cairo_stroke(cr_);
  }

  // The path of a column series, from the left edge to the right.
  void SeriesPath(const std::vector<double>& cols) {
    for (std::size_t c = 0; c < cols.size(); ++c) {
      const double x = area_.x + static_cast<double>(c) + 0.5;
      const double y = Y(cols[c]);
      if (c == 0) {
        cairo_move_to(cr_, area_.x, y);
      }
      cairo_line_to(cr_, x, y);
    }
    if (!cols.empty()) cairo_line_to(cr_, area_.x + area_.w, Y(cols.back()));
  }

  void Area(const std::vector<double>& cols, double base, Rgb color, double alpha) {
    cairo_save(cr_);
    cairo_rectangle(cr_, area_.x, area_.y, area_.w, area_.h);
    cairo_clip(cr_);
    SeriesPath(cols);
    cairo_line_to(cr_, area_.x + area_.w, Y(base));
    cairo_line_to(cr_, area_.x, Y(base));
    cairo_close_path(cr_);
    SetColor(cr_, color, alpha);
    cairo_fill(cr_);
    cairo_restore(cr_);
  }

  void Line(const std::vector<double>& cols, Rgb color, double width) {
    cairo_save(cr_);
    cairo_rectangle(cr_, area_.x, area_.y, area_.w, area_.h);
    cairo_clip(cr_);
    SeriesPath(cols);
    SetColor(cr_, color);
    cairo_set_line_width(cr_, width);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
    cairo_restore(cr_);
  }

  // A one-line legend right-aligned just above the panel, clear of the data; each entry is drawn as
  // a filled swatch or a line.
  struct Entry {
    std::string label;
    Rgb color;
    bool filled;
  };
  void Legend(const std::vector<Entry>& entries) {
    cairo_select_font_face(cr_, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, 15);
    constexpr double kSwatch = 28.0, kGap = 8.0, kSpacing = 28.0;
    std::vector<double> widths;
    double total = 0.0;
    for (const Entry& e : entries) {
      cairo_text_extents_t ext;
      cairo_text_extents(cr_, e.label.c_str(), &ext);
      widths.push_back(ext.x_advance);
      total += kSwatch + kGap + ext.x_advance;
    }
    total += kSpacing * static_cast<double>(entries.size() - 1);
    double x = area_.x + area_.w - total;
    const double cy = area_.y - 14;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].filled) {
        SetColor(cr_, entries[i].color, 0.85);
        cairo_rectangle(cr_, x, cy - 7, kSwatch, 14);
        cairo_fill(cr_);
      } else {
        SetColor(cr_, entries[i].color);
        cairo_set_line_width(cr_, 3.0);
        cairo_move_to(cr_, x, cy);
        cairo_line_to(cr_, x + kSwatch, cy);
        cairo_stroke(cr_);
      }
      Text(cr_, entries[i].label, x + kSwatch + kGap, cy + 5, 15, kText);
      x += kSwatch + kGap + widths[i] + kSpacing;
    }
  }

 private:
  cairo_t* cr_;
  Rect area_;
  double seconds_;
  double bottom_ = 0.0, top_ = 1.0;
};

cairo_status_t WriteToFd(void* closure, const unsigned char* data, unsigned int length) {
  const int fd = *static_cast<int*>(closure);
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return CAIRO_STATUS_WRITE_ERROR;
    data += n;
    length -= static_cast<unsigned int>(n);
  }
  return CAIRO_STATUS_SUCCESS;
}

double ToDb(double linear, double floor) { return linear > 0.0 ? std::max(floor, 20.0 * std::log10(linear)) : floor; }

}  // namespace

void WritePlot(const LevelTrace& trace, const PlotLabels& labels, int fd, const std::string& name) {
  using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
  using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPlotWidth, kPlotHeight), cairo_surface_destroy);
  Context context(cairo_create(surface.get()), cairo_destroy);
  cairo_t* cr = context.get();

  const double seconds = static_cast<double>(trace.inputPeak.size()) * trace.window / trace.sampleRate;
  constexpr double kLeft = 96, kRight = 36;
  const double plotW = kPlotWidth - kLeft - kRight;
  const Rect levelArea{kLeft, 118, plotW, 468};
  const Rect grArea{kLeft, 624, plotW, 210};

  SetColor(cr, kBackground);
  cairo_paint(cr);
  Text(cr, "QRV warmGlow  \u2014  " + labels.title, kLeft, 44, 28, kText, 0.0, true);
  Text(cr, labels.subtitle, kLeft, 74, 16, kMuted);
  Text(cr, labels.files, kLeft, 98, 14, kMuted);

  const int columns = static_cast<int>(plotW);
  constexpr double kFloorDb = -60.0;
  std::vector<double> in = Columns(trace.inputPeak, columns);
  std::vector<double> out = Columns(trace.outputPeak, columns);
  std::vector<double> gr = Columns(trace.gainReductionDb, columns);
  double peakDb = kFloorDb;
  for (std::size_t c = 0; c < in.size(); ++c) {
    in[c] = ToDb(in[c], kFloorDb - 1);
    out[c] = ToDb(out[c], kFloorDb - 1);
    peakDb = std::max({peakDb, in[c], out[c]});
  }
  double maxGr = 0.0;
  for (double& g : gr) {
    g = -g;  // drawn downwards from 0 dB
    maxGr = std::max(maxGr, -g);
  }

  // Level panel: 0 dBFS always shown, room above it only when the output goes over.
  Chart levels(cr, levelArea, seconds);
  levels.SetRange(kFloorDb, std::max(6.0, std::ceil(peakDb / 6.0) * 6.0));
  levels.Frame(6.0, "%.0f", "Level (dBFS, peak per 10 ms)", false);
  levels.Area(in, kFloorDb, kInput, 0.75);
  levels.Line(out, kOutput, 1.6);
  levels.Border();
  levels.Legend({{"Input level", kInput, true}, {"Output level", kOutput, false}});

  // Gain-reduction panel, downwards from 0 dB; at least 6 dB of scale so small reductions look small.
  Chart reduction(cr, grArea, seconds);
  const double grStep = maxGr > 24.0 ? 6.0 : maxGr > 12.0 ? 3.0 : maxGr > 6.0 ? 2.0 : 1.0;
  const double grRange = std::max(6.0, std::ceil(maxGr / grStep) * grStep);
  reduction.SetRange(-grRange, 0.0);
  reduction.Frame(grStep, "%.0f", "Gain reduction (dB)", true);
  reduction.Area(gr, 0.0, kReduction, 0.30);
  reduction.Line(gr, kReduction, 1.6);
  reduction.Border();
  reduction.Legend({{Format("Gain reduction (max %.1f dB)", maxGr), kReduction, false}});

  Text(cr, "Time (s)", kLeft + plotW / 2, kPlotHeight - 18, 15, kText, 0.5);

  cairo_surface_flush(surface.get());
  int target = fd;
  if (cairo_surface_write_to_png_stream(surface.get(), WriteToFd, &target) != CAIRO_STATUS_SUCCESS) {
    throw CliError("cannot write plot '" + name + "': " + std::strerror(errno ? errno : EIO));
  }
}

void ReleaseProcessResources() {
  // cairo's font caches hold fontconfig objects; both are process-wide and otherwise never freed.
  cairo_debug_reset_static_data();
  FcFini();
}

}  // namespace qrv::cli
