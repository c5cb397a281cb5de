#include "gui/backend/InlineMeter.h"

#include <cairo.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>

namespace Quarrytone {
namespace {

// cairo, loaded when the first meter is drawn: the meter's users (an LV2 plug-in's instance) must load
// and run on a machine without cairo or X11, and only a host that shows the meter draws one, which
// has cairo loaded anyway. Never unloaded; null members when the library is not there.
struct Cairo {
#define QRV_CAIRO_FUNCTIONS(X)                                                                            \
  X(cairo_image_surface_create_for_data) X(cairo_create) X(cairo_pattern_create_linear)                   \
  X(cairo_pattern_create_radial) X(cairo_pattern_add_color_stop_rgb) X(cairo_pattern_add_color_stop_rgba) \
  X(cairo_set_source) X(cairo_paint) X(cairo_pattern_destroy) X(cairo_new_path) X(cairo_arc)             \
  X(cairo_set_line_width) X(cairo_set_source_rgba) X(cairo_stroke) X(cairo_move_to) X(cairo_line_to)      \
  X(cairo_set_line_cap) X(cairo_destroy) X(cairo_surface_flush) X(cairo_surface_destroy)
#define QRV_CAIRO_MEMBER(name) decltype(&::name) name = nullptr;
  QRV_CAIRO_FUNCTIONS(QRV_CAIRO_MEMBER)
#undef QRV_CAIRO_MEMBER
  bool ok = false;

  Cairo() {
    void* lib = dlopen("libcairo.so.2", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (lib == nullptr) return;
    ok = true;
#define QRV_CAIRO_RESOLVE(name)                                   \
  name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name)); \
  ok = ok && name != nullptr;
    QRV_CAIRO_FUNCTIONS(QRV_CAIRO_RESOLVE)
#undef QRV_CAIRO_RESOLVE
  }
};
#undef QRV_CAIRO_FUNCTIONS

const Cairo& Lib() {
  static const Cairo cairo;
  return cairo;
}

struct Rgb {
  double r, g, b;
};

constexpr Rgb Hex(std::uint32_t v) {
  return Rgb{((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

// The lit VU face of the panel.
constexpr Rgb kFaceTop = Hex(0x3a2414);
constexpr Rgb kFaceBottom = Hex(0x120b06);
constexpr Rgb kMark = Hex(0xffd08a);
constexpr Rgb kRed = Hex(0xff5a3c);
constexpr Rgb kNeedle = Hex(0xfff2dc);

void SetColor(const Cairo& c, cairo_t* cr, Rgb rgb, double alpha = 1.0) {
  c.cairo_set_source_rgba(cr, rgb.r, rgb.g, rgb.b, alpha);
}

// The face's scale: reading 0 at 120 degrees above the horizontal, reading 1 at 60.
double Angle(double reading) { return (120.0 - 60.0 * reading) * M_PI / 180.0; }
double Reading(double reductionDb) { return 1.0 - std::pow(10.0, -reductionDb / 20.0); }

}  // namespace

bool DrawInlineMeter(unsigned char* pixels, int width, int height, int stride, double reading) {
  if (pixels == nullptr || width < 1 || height < 1 || stride < 4 * width) return false;
  const Cairo& c = Lib();
  if (!c.ok) return false;
  reading = std::isnan(reading) ? 0.0 : std::clamp(reading, 0.0, 1.0);
  cairo_surface_t* surface = c.cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride);
  cairo_t* cr = c.cairo_create(surface);
  const double w = width, h = height;

  cairo_pattern_t* face = c.cairo_pattern_create_linear(0, 0, 0, h);
  c.cairo_pattern_add_color_stop_rgb(face, 0, kFaceTop.r, kFaceTop.g, kFaceTop.b);
  c.cairo_pattern_add_color_stop_rgb(face, 1, kFaceBottom.r, kFaceBottom.g, kFaceBottom.b);
  c.cairo_set_source(cr, face);
  c.cairo_paint(cr);
  c.cairo_pattern_destroy(face);
  cairo_pattern_t* glow = c.cairo_pattern_create_radial(w / 2, h * 0.9, 1, w / 2, h * 0.7, std::max(w, h) * 0.62);
  c.cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.62, 0.22, 0.5);
  c.cairo_pattern_add_color_stop_rgba(glow, 1, 1.0, 0.45, 0.1, 0.0);
  c.cairo_set_source(cr, glow);
  c.cairo_paint(cr);
  c.cairo_pattern_destroy(glow);

  // The pivot sits below the strip, as on the panel; the radius keeps the scale inside both edges.
  const double px = w / 2, py = h * 1.2;
  const double radius = std::min(h * 1.05, w * 0.92);
  const double line = std::max(1.0, h / 40.0);
  auto at = [&](double v, double r, double& x, double& y) {
    x = px + std::cos(Angle(v)) * r;
    y = py - std::sin(Angle(v)) * r;
  };
  const double arcR = radius * 0.86;
  auto arc = [&](double v0, double v1, double r, double lineWidth, Rgb colour) {
    c.cairo_new_path(cr);
    c.cairo_arc(cr, px, py, r, -Angle(v0), -Angle(v1));
    c.cairo_set_line_width(cr, lineWidth);
    SetColor(c, cr, colour);
    c.cairo_stroke(cr);
  };
  arc(0, 1, arcR, line * 0.6, kMark);
  arc(Reading(10), 1, arcR + line, line * 1.6, kRed);
  for (double db : {0.0, 2.0, 4.0, 6.0, 10.0, 20.0}) {
    double x0, y0, x1, y1;
    at(Reading(db), arcR - line, x0, y0);
    at(Reading(db), arcR + 3 * line, x1, y1);
    c.cairo_move_to(cr, x0, y0);
    c.cairo_line_to(cr, x1, y1);
    c.cairo_set_line_width(cr, line * 0.8);
    SetColor(c, cr, db >= 10 ? kRed : kMark);
    c.cairo_stroke(cr);
  }

  double tx, ty;
  at(reading, radius * 0.97, tx, ty);
  c.cairo_move_to(cr, px, py);
  c.cairo_line_to(cr, tx, ty);
  c.cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  c.cairo_set_line_width(cr, line);
  SetColor(c, cr, kNeedle);
  c.cairo_stroke(cr);

  c.cairo_destroy(cr);
  c.cairo_surface_flush(surface);
  c.cairo_surface_destroy(surface);
  return true;
}

}  // namespace Quarrytone
