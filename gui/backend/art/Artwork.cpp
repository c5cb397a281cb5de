#include "gui/backend/art/Artwork.h"

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "dsp/ParameterSet.h"
#include "gui/engine/EditorLayout.h"

#include "gui/backend/art/ArtKit.h"
#include "gui/engine/PanelGeometry.h"

namespace art {

namespace {

constexpr double kScale = kPixelsPerPoint;

// Palette of the panel: warm cream enamel, brown legends, copper accents.
const RGB kCream = Hex(0xeadcb9);
const RGB kCreamDark = Hex(0xd3c098);
const RGB kInk = Hex(0x3a2718);
const RGB kInkSoft = Hex(0x6b5138);
const RGB kCopper = Hex(0xb0602a);

// Layout of the product panel in points, from the controls' rectangles.
constexpr double kPanelW = Quarrytone::layout::kPanelWidth, kPanelH = Quarrytone::layout::kPanelHeight;
// An image's pixels for a length in points, or for `count` frames of it.
constexpr int Px(double points, int count = 1) { return static_cast<int>(points * kPixelsPerPoint * count); }
constexpr double kTimeX = kTimeKnob.centreX(), kCompX = kCompressionKnob.centreX(), kOutX = kOutputKnob.centreX();
constexpr double kBigY = kTimeKnob.centreY();
static_assert(kCompressionKnob.centreY() == kBigY && kOutputKnob.centreY() == kBigY);
constexpr double kBigCapR = 26;  // skirt radius of the three large knobs
constexpr double kRatioX = kRatioKnob.centreX(), kRatioY = kRatioKnob.centreY(), kRatioR = 20;
constexpr double kAttackX = kAttackKnob.centreX(), kAttackY = kAttackKnob.centreY();
constexpr double kValveX = kValveKnob.centreX(), kValveY = kValveKnob.centreY();
constexpr double kSmallR = 11;
constexpr double kSwitchX = kModeSwitch.left, kSwitchY = kModeSwitch.top, kSwitchW = kModeSwitch.width();
constexpr double kFaceX = kMeterFace.left, kFaceY = kMeterFace.top, kFaceW = kMeterFace.width(),
                 kFaceH = kMeterFace.height();

// Type for 100 %, where a point is a pixel. Outlines are hinted at that scale (ArtKit's GridText), so
// these sizes give capitals and figures of whole pixels: 7 for every legend and scale, 8 for the
// controls' names. A thin outline thickens the strokes, which at 70 % are thinner than a pixel;
// words in capitals get a little air between the letters.
const Font kLegend{"URW Gothic", 8.5, true, false, 0.0, 0.3};
const Font kWordLegend{"URW Gothic", 8.5, true, false, 0.8, 0.3};
const Font kCaption{"URW Gothic", 10, true, false, 1.4, 0.3};

// ---------------------------------------------------------------- surfaces

void BrushedCream(cairo_t* cr, double w, double h, std::uint32_t seed) {
  cairo_pattern_t* base = cairo_pattern_create_linear(0, 0, 0, h);
  AddStop(base, 0, Mix(kCream, Hex(0xffffff), 0.25));
  AddStop(base, 0.55, kCream);
  AddStop(base, 1, kCreamDark);
  cairo_set_source(cr, base);
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_fill(cr);
  cairo_pattern_destroy(base);
  // Fine horizontal brushing.
  Random rnd(seed);
  cairo_set_line_width(cr, 0.5);
  for (double y = 0.25; y < h; y += 0.5) {
    double a = (rnd.uniform() - 0.5) * 0.07;
    if (a > 0)
      cairo_set_source_rgba(cr, 1, 1, 1, a);
    else
      cairo_set_source_rgba(cr, 0.35, 0.25, 0.12, -a);
    cairo_move_to(cr, 0, y);
    cairo_line_to(cr, w, y);
    cairo_stroke(cr);
  }
  // A soft vignette darkens the edges like aged enamel.
  cairo_pattern_t* v = cairo_pattern_create_radial(w / 2, h * 0.45, h * 0.3, w / 2, h * 0.45, w * 0.62);
  cairo_pattern_add_color_stop_rgba(v, 0, 0, 0, 0, 0);
  cairo_pattern_add_color_stop_rgba(v, 1, 0.25, 0.15, 0.05, 0.22);
  cairo_set_source(cr, v);
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_fill(cr);
  cairo_pattern_destroy(v);
}

// A groove cut into the panel.
void Groove(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_set_line_width(cr, 0.8);
  cairo_set_source_rgba(cr, 1, 0.97, 0.9, 0.6);
  RoundRect(cr, x + 0.5, y + 0.5, w, h, r);
  cairo_stroke(cr);
  cairo_set_source_rgba(cr, 0.3, 0.2, 0.1, 0.55);
  RoundRect(cr, x, y, w, h, r);
  cairo_stroke(cr);
}

// ---------------------------------------------------------------- knobs

void KnobShadow(cairo_t* cr, double cx, double cy, double r) {
  cairo_pattern_t* s = cairo_pattern_create_radial(cx + r * 0.08, cy + r * 0.16, r * 0.7, cx + r * 0.08,
                                                   cy + r * 0.16, r * 1.28);
  cairo_pattern_add_color_stop_rgba(s, 0, 0.1, 0.05, 0.0, 0.55);
  cairo_pattern_add_color_stop_rgba(s, 1, 0.1, 0.05, 0.0, 0);
  cairo_set_source(cr, s);
  cairo_arc(cr, cx + r * 0.08, cy + r * 0.16, r * 1.28, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(s);
}

// Black bakelite knob on a knurled aluminium skirt; the pointer and knurling turn with the value.
void BigKnob(cairo_t* cr, double cx, double cy, double r, double degrees) {
  KnobShadow(cr, cx, cy, r);
  double a = degrees * M_PI / 180.0;
  // Skirt.
  MetalDisc(cr, cx, cy, r, Hex(0xf4efe4), 0.45, Hex(0xb9b1a2), Hex(0x4f473c));
  // Knurling: fine ridges on the skirt's rim.
  cairo_set_line_width(cr, 0.55);
  for (int i = 0; i < 72; ++i) {
    double t = a + i * 2 * M_PI / 72;
    double light = 0.5 + 0.5 * std::cos(t + M_PI * 0.75);
    cairo_set_source_rgba(cr, 0.15 + 0.8 * light, 0.13 + 0.78 * light, 0.1 + 0.72 * light, 0.55);
    cairo_move_to(cr, cx + std::sin(t) * r * 0.86, cy - std::cos(t) * r * 0.86);
    cairo_line_to(cr, cx + std::sin(t) * r * 0.995, cy - std::cos(t) * r * 0.995);
    cairo_stroke(cr);
  }
  cairo_set_source_rgba(cr, 0.2, 0.15, 0.1, 0.6);
  cairo_set_line_width(cr, 0.5);
  cairo_arc(cr, cx, cy, r - 0.25, 0, 2 * M_PI);
  cairo_stroke(cr);
  // Skirt index line.
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, r * 0.07);
  SetColor(cr, Hex(0x2b1d12));
  cairo_move_to(cr, cx + std::sin(a) * r * 0.8, cy - std::cos(a) * r * 0.8);
  cairo_line_to(cr, cx + std::sin(a) * r * 0.99, cy - std::cos(a) * r * 0.99);
  cairo_stroke(cr);
  // Cap.
  double cr0 = r * 0.74;
  cairo_pattern_t* edge = cairo_pattern_create_linear(cx - cr0, cy - cr0, cx + cr0, cy + cr0);
  AddStop(edge, 0, Hex(0x6a5c50));
  AddStop(edge, 1, Hex(0x0b0806));
  cairo_set_source(cr, edge);
  cairo_arc(cr, cx, cy, cr0, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(edge);
  cairo_pattern_t* top = cairo_pattern_create_radial(cx - cr0 * 0.35, cy - cr0 * 0.45, cr0 * 0.05, cx, cy, cr0 * 0.92);
  AddStop(top, 0, Hex(0x5d5048));
  AddStop(top, 0.55, Hex(0x2a211b));
  AddStop(top, 1, Hex(0x15100c));
  cairo_set_source(cr, top);
  cairo_arc(cr, cx, cy, cr0 * 0.9, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(top);
  // Specular glint.
  cairo_save(cr);
  cairo_translate(cr, cx - cr0 * 0.3, cy - cr0 * 0.42);
  cairo_scale(cr, cr0 * 0.5, cr0 * 0.28);
  cairo_pattern_t* glint = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
  cairo_pattern_add_color_stop_rgba(glint, 0, 1, 1, 1, 0.28);
  cairo_pattern_add_color_stop_rgba(glint, 1, 1, 1, 1, 0);
  cairo_set_source(cr, glint);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(glint);
  cairo_restore(cr);
  // Pointer inlay.
  cairo_set_line_width(cr, r * 0.085);
  SetColor(cr, Hex(0xf3e6c4));
  cairo_move_to(cr, cx + std::sin(a) * cr0 * 0.3, cy - std::cos(a) * cr0 * 0.3);
  cairo_line_to(cr, cx + std::sin(a) * cr0 * 0.86, cy - std::cos(a) * cr0 * 0.86);
  cairo_stroke(cr);
}

// The stepped ratio selector: a chicken-head pointer on a round base.
void ChickenHead(cairo_t* cr, double cx, double cy, double r, double degrees) {
  KnobShadow(cr, cx, cy, r * 0.8);
  double base = r * 0.62;
  cairo_pattern_t* g = cairo_pattern_create_linear(cx - base, cy - base, cx + base, cy + base);
  AddStop(g, 0, Hex(0x6b5d50));
  AddStop(g, 1, Hex(0x100c09));
  cairo_set_source(cr, g);
  cairo_arc(cr, cx, cy, base, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_rotate(cr, degrees * M_PI / 180.0);
  // Pointer body, long towards the value and short behind.
  cairo_new_path(cr);
  cairo_move_to(cr, 0, -r * 0.98);
  cairo_curve_to(cr, r * 0.2, -r * 0.9, r * 0.36, -r * 0.2, r * 0.34, r * 0.3);
  cairo_curve_to(cr, r * 0.3, r * 0.62, -r * 0.3, r * 0.62, -r * 0.34, r * 0.3);
  cairo_curve_to(cr, -r * 0.36, -r * 0.2, -r * 0.2, -r * 0.9, 0, -r * 0.98);
  cairo_close_path(cr);
  cairo_save(cr);
  cairo_rotate(cr, -degrees * M_PI / 180.0);
  cairo_pattern_t* body = cairo_pattern_create_linear(-r, -r, r, r);
  AddStop(body, 0, Hex(0x5f5046));
  AddStop(body, 0.5, Hex(0x2a211b));
  AddStop(body, 1, Hex(0x0d0907));
  cairo_set_source(cr, body);
  cairo_restore(cr);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
  cairo_set_line_width(cr, 0.4);
  cairo_stroke(cr);
  // Ridge highlight and pointer inlay.
  cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
  cairo_set_line_width(cr, r * 0.22);
  cairo_move_to(cr, 0, -r * 0.7);
  cairo_line_to(cr, 0, r * 0.25);
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, r * 0.09);
  SetColor(cr, Hex(0xf3e6c4));
  cairo_move_to(cr, 0, -r * 0.9);
  cairo_line_to(cr, 0, -r * 0.42);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// A small bakelite knob with an aluminium ring.
void SmallKnob(cairo_t* cr, double cx, double cy, double r, double degrees) {
  KnobShadow(cr, cx, cy, r);
  MetalDisc(cr, cx, cy, r, Hex(0xf4efe4), 0.5, Hex(0xaaa193), Hex(0x4a4238));
  double c0 = r * 0.78;
  cairo_pattern_t* top = cairo_pattern_create_radial(cx - c0 * 0.35, cy - c0 * 0.45, c0 * 0.05, cx, cy, c0);
  AddStop(top, 0, Hex(0x62554b));
  AddStop(top, 0.6, Hex(0x231b15));
  AddStop(top, 1, Hex(0x0e0a08));
  cairo_set_source(cr, top);
  cairo_arc(cr, cx, cy, c0, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(top);
  double a = degrees * M_PI / 180.0;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, r * 0.16);
  SetColor(cr, Hex(0xf3e6c4));
  cairo_move_to(cr, cx + std::sin(a) * c0 * 0.25, cy - std::cos(a) * c0 * 0.25);
  cairo_line_to(cr, cx + std::sin(a) * c0 * 0.9, cy - std::cos(a) * c0 * 0.9);
  cairo_stroke(cr);
}

// ---------------------------------------------------------------- scales on the panel

void Tick(cairo_t* cr, double cx, double cy, double r0, double r1, double degrees, double width) {
  double x0, y0, x1, y1;
  Polar(cx, cy, r0, degrees, x0, y0);
  Polar(cx, cy, r1, degrees, x1, y1);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, width);
  cairo_set_source_rgba(cr, 1, 0.97, 0.9, 0.5);
  cairo_move_to(cr, x0, y0 + 0.4);
  cairo_line_to(cr, x1, y1 + 0.4);
  cairo_stroke(cr);
  SetColor(cr, kInk);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_stroke(cr);
}

// A legend outside the circle of radius r around (cx, cy) along a knob angle: its box touches the
// circle there, so long and short legends keep the same distance from the ticks.
void Label(cairo_t* cr, double cx, double cy, double r, double degrees, const std::string& text, const Font& f) {
  GridText t(text, f);
  const double a = degrees * M_PI / 180.0;
  const double ux = std::sin(a), uy = -std::cos(a);
  const double d = r + std::abs(ux) * t.width() / 2 + std::abs(uy) * t.capHeight() / 2;
  Engraved(cr, text, cx + ux * d, cy + uy * d, f, kInk);
}

// A scale for a continuous knob: minor ticks at every step, numbered majors, from the control table.
void ContinuousScale(cairo_t* cr, double cx, double cy, unsigned slot) {
  const qrv::ControlShape& shape = qrv::ControlShapeOf(slot);
  const int steps = shape.scale.ticks, majorEvery = shape.scale.majorEvery, labelEvery = shape.scale.labelEvery;
  const double maxValue = qrv::DisplayMaximum(shape);
  double r0 = kBigCapR + 3.5, r1 = kBigCapR + 6.5, r2 = kBigCapR + 8.5;
  // The arc along the ticks.
  cairo_set_line_width(cr, 0.6);
  SetColor(cr, kInkSoft, 0.8);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r0, (KnobAngle(0) - 90) * M_PI / 180, (KnobAngle(1) - 90) * M_PI / 180);
  cairo_stroke(cr);
  for (int i = 0; i <= steps; ++i) {
    double v = double(i) / steps;
    bool major = i % majorEvery == 0;
    Tick(cr, cx, cy, r0, major ? r2 : r1, KnobAngle(v), major ? 1.1 : 0.6);
    if (i % labelEvery == 0) {
      char text[16];
      std::snprintf(text, sizeof(text), "%g", maxValue * v);
      Label(cr, cx, cy, r2 + 2, KnobAngle(v), text, kLegend);
    }
  }
}

// A scale for a stepped knob: one tick and the control table's legend per step, the legends
// `gap` points beyond the ticks.
void SteppedScale(cairo_t* cr, double cx, double cy, double tickR, double tickLength, double gap, unsigned slot) {
  const std::span<const std::string_view> legends = qrv::ControlShapeOf(slot).legends;
  const int last = static_cast<int>(legends.size()) - 1;
  for (int i = 0; i <= last; ++i) {
    double deg = KnobAngle(i / static_cast<double>(last));
    Tick(cr, cx, cy, tickR, tickR + tickLength, deg, 0.9);
    Label(cr, cx, cy, tickR + tickLength + gap, deg, std::string(legends[static_cast<std::size_t>(i)]), kLegend);
  }
}

// ---------------------------------------------------------------- panel

void NamePlate(cairo_t* cr) {
  const double x = 88, y = 8, w = 222, h = 34;
  // Plate shadow and body: dark walnut enamel with a brass rim.
  cairo_set_source_rgba(cr, 0.15, 0.08, 0.02, 0.45);
  RoundRect(cr, x + 0.8, y + 1.4, w, h, 5);
  cairo_fill(cr);
  cairo_pattern_t* rim = cairo_pattern_create_linear(0, y, 0, y + h);
  AddStop(rim, 0, Hex(0xe9cf8f));
  AddStop(rim, 0.5, Hex(0xa77a3a));
  AddStop(rim, 1, Hex(0x5b3d18));
  cairo_set_source(cr, rim);
  RoundRect(cr, x, y, w, h, 5);
  cairo_fill(cr);
  cairo_pattern_destroy(rim);
  cairo_pattern_t* body = cairo_pattern_create_linear(0, y, 0, y + h);
  AddStop(body, 0, Hex(0x3b261a));
  AddStop(body, 1, Hex(0x1b100a));
  cairo_set_source(cr, body);
  RoundRect(cr, x + 1.3, y + 1.3, w - 2.6, h - 2.6, 4);
  cairo_fill(cr);
  cairo_pattern_destroy(body);
  // Warm glow behind the name.
  cairo_pattern_t* glow = cairo_pattern_create_radial(x + w * 0.55, y + h * 0.5, 2, x + w * 0.55, y + h * 0.5, w * 0.42);
  cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.55, 0.15, 0.32);
  cairo_pattern_add_color_stop_rgba(glow, 1, 1.0, 0.45, 0.1, 0.0);
  cairo_set_source(cr, glow);
  RoundRect(cr, x + 1.3, y + 1.3, w - 2.6, h - 2.6, 4);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);
  Screw(cr, x + 7, y + h / 2, 2.6, 0.6);
  Screw(cr, x + w - 7, y + h / 2, 2.6, 2.2);
  // Product name: "QRV" in spaced capitals, "warmGlow" in a warm script.
  Font qrv{"URW Gothic", 11, true, false, 2.2};
  Font glowFont{"Z003", 25, false, false, 0.0};
  double qw = TextWidth("QRV", qrv) + 2.2 * 2;
  double gw = TextWidth("warmGlow", glowFont);
  double total = qw + 7 + gw;
  double left = x + (w - total) / 2;
  SetColor(cr, Hex(0xe8d3a8));
  Text(cr, "QRV", left, y + h / 2 - 0.5, qrv, 0);
  // Glowing script: a blurred halo made of offset copies, then the letters.
  for (int i = 0; i < 12; ++i) {
    double ang = i * M_PI / 6;
    cairo_set_source_rgba(cr, 1.0, 0.5, 0.1, 0.07);
    // The offset moves the whole drawing space: text itself sits on whole points.
    cairo_save(cr);
    cairo_translate(cr, std::cos(ang) * 1.3, std::sin(ang) * 1.3);
    Text(cr, "warmGlow", left + qw + 7, y + h / 2 + 1, glowFont, 0);
    cairo_restore(cr);
  }
  cairo_pattern_t* letters = cairo_pattern_create_linear(0, y + 6, 0, y + h - 6);
  AddStop(letters, 0, Hex(0xffe2a1));
  AddStop(letters, 1, Hex(0xff9a2e));
  cairo_set_source(cr, letters);
  Text(cr, "warmGlow", left + qw + 7, y + h / 2 + 1, glowFont, 0);
  cairo_pattern_destroy(letters);
}

void VuHousing(cairo_t* cr) {
  // A recessed window in a brass bezel; the needle's pivot sits hidden below the face.
  const double fx = kFaceX - 1, fy = kFaceY - 1, fw = kFaceW + 2, fh = kFaceH + 2;
  cairo_set_source_rgba(cr, 0.2, 0.1, 0.03, 0.4);
  RoundRect(cr, fx - 4 + 0.8, fy - 4 + 1.3, fw + 8, fh + 8, 5);
  cairo_fill(cr);
  cairo_pattern_t* brass = cairo_pattern_create_linear(0, fy - 4, 0, fy + fh + 4);
  AddStop(brass, 0, Hex(0xf0d79b));
  AddStop(brass, 0.4, Hex(0xb48643));
  AddStop(brass, 1, Hex(0x62431c));
  cairo_set_source(cr, brass);
  RoundRect(cr, fx - 4, fy - 4, fw + 8, fh + 8, 5);
  cairo_fill(cr);
  cairo_pattern_destroy(brass);
  cairo_pattern_t* inner = cairo_pattern_create_linear(0, fy, 0, fy + fh);
  AddStop(inner, 0, Hex(0x4a3016));
  AddStop(inner, 1, Hex(0xd8b878));
  cairo_set_source(cr, inner);
  RoundRect(cr, fx - 1.5, fy - 1.5, fw + 3, fh + 3, 3);
  cairo_fill(cr);
  SetColor(cr, Hex(0x0a0705));
  cairo_rectangle(cr, fx, fy, fw, fh);
  cairo_fill(cr);
  cairo_pattern_destroy(inner);
  Screw(cr, fx - 1.5, fy + fh / 2, 1.6, 0.5);
  Screw(cr, fx + fw + 1.5, fy + fh / 2, 1.6, 2.0);
}

void ModeLegends(cairo_t* cr) {
  // The switch reads from its top step on the left down to Off on the right.
  const std::span<const std::string_view> legends = qrv::ControlShapeOf(qrv::kSlotProcess).legends;
  const int positions = static_cast<int>(legends.size());
  for (int i = 0; i < positions; ++i) {
    double x = kSwitchX + kSwitchW * (i + 0.5) / positions;
    Engraved(cr, std::string(legends[static_cast<std::size_t>(positions - 1 - i)]), x, kSwitchY + 8.5, kWordLegend,
             kInk);
  }
  // Slot for the slider.
  cairo_set_source_rgba(cr, 0.15, 0.09, 0.04, 0.9);
  RoundRect(cr, kSwitchX + 5, kSwitchY + 16, kSwitchW - 10, 11, 5.5);
  cairo_fill(cr);
  cairo_set_source_rgba(cr, 1, 0.97, 0.9, 0.55);
  cairo_set_line_width(cr, 0.6);
  cairo_move_to(cr, kSwitchX + 9, kSwitchY + 27.5);
  cairo_line_to(cr, kSwitchX + kSwitchW - 9, kSwitchY + 27.5);
  cairo_stroke(cr);
  // Detent dots under each position.
  for (int i = 0; i < positions; ++i) {
    double x = kSwitchX + kSwitchW * (i + 0.5) / positions;
    SetColor(cr, kInk);
    cairo_arc(cr, x, kSwitchY + 30, 0.9, 0, 2 * M_PI);
    cairo_fill(cr);
  }
}

void MakerMark(cairo_t* cr, double x, double y, const Font& f);

void Panel(cairo_t* cr) {
  const double W = kPanelW, H = kPanelH;
  BrushedCream(cr, W, H, 0x5eed);
  // Bevelled edge and an engraved border.
  cairo_set_line_width(cr, 1.2);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
  cairo_rectangle(cr, 0.6, 0.6, W - 1.2, H - 1.2);
  cairo_stroke(cr);
  cairo_set_source_rgba(cr, 0.25, 0.15, 0.05, 0.55);
  cairo_set_line_width(cr, 0.8);
  cairo_move_to(cr, W - 0.4, 0);
  cairo_line_to(cr, W - 0.4, H - 0.4);
  cairo_line_to(cr, 0, H - 0.4);
  cairo_stroke(cr);
  Groove(cr, 6, 6, W - 12, H - 12, 6);
  // A darker band behind the three main knobs.
  cairo_pattern_t* band = cairo_pattern_create_linear(0, 143, 0, 257);
  cairo_pattern_add_color_stop_rgba(band, 0, 0.45, 0.3, 0.15, 0.08);
  cairo_pattern_add_color_stop_rgba(band, 1, 0.45, 0.3, 0.15, 0.16);
  cairo_set_source(cr, band);
  // It starts below the attack knob's side legends and ends above a strip for the model line.
  RoundRect(cr, 14, 145, W - 28, 112, 8);
  cairo_fill(cr);
  cairo_pattern_destroy(band);
  Groove(cr, 14, 145, W - 28, 112, 8);

  Screw(cr, 14, 14, 3.4, 0.3);
  Screw(cr, W - 14, 14, 3.4, 1.1);
  Screw(cr, 14, H - 14, 3.4, 2.0);
  Screw(cr, W - 14, H - 14, 3.4, 0.8);

  NamePlate(cr);
  VuHousing(cr);
  ModeLegends(cr);
  Engraved(cr, "MODE", kSwitchX + kSwitchW / 2, kSwitchY + 38, kWordLegend, kInkSoft, 1, 0.35);

  // Ratio selector, its name in the corner above.
  SteppedScale(cr, kRatioX, kRatioY, kRatioR + 1.5, 2.6, 2.4, qrv::kSlotRatio);
  Engraved(cr, "RATIO", 16, kRatioY - 32, kCaption, kInk, 0);
  // Attack ratio: the name between the ratio's legends and its own.
  SteppedScale(cr, kAttackX, kAttackY, kSmallR + 1, 2.4, 2, qrv::kSlotAttackRatio);
  Engraved(cr, "ATTACK", 10, kAttackY - 41, Font{"URW Gothic", 10, true, false, 0.8, 0.3}, kInk, 0);
  // Valve level: the VU bezel leaves little room on the left, so shorter ticks.
  SteppedScale(cr, kValveX, kValveY, kSmallR + 1, 2.2, 1.6, qrv::kSlotValveLevel);
  Engraved(cr, "VALVE", kValveX + 58, kValveY - 6, kCaption, kInk, 1);
  Engraved(cr, "LEVEL", kValveX + 58, kValveY + 6, kCaption, kInk, 1);

  // The three large knobs: Time and Compression read 0 to 10, Output 0 to 30 dB.
  ContinuousScale(cr, kTimeX, kBigY, qrv::kSlotTime);
  ContinuousScale(cr, kCompX, kBigY, qrv::kSlotCompression);
  ContinuousScale(cr, kOutX, kBigY, qrv::kSlotOutput);
  Engraved(cr, "TIME", kTimeX, 245.5, kCaption, kInk);
  Engraved(cr, "COMPRESSION", kCompX, 245.5, kCaption, kInk);
  Engraved(cr, "OUTPUT  dB", kOutX, 245.5, kCaption, kInk);

  // Maker's mark and model line in the strip under the band.
  MakerMark(cr, 300, 263.5, kWordLegend);
  Engraved(cr, "OPTO COMPRESSOR", 74, 263.5, kWordLegend, kInkSoft, 1, 0.35);
}

// ---------------------------------------------------------------- the maker's mark

// A faceted stone with a wave running through it: Quarry-tone.
void StoneMark(cairo_t* cr, double cx, double cy, double r, RGB light, RGB dark, RGB wave) {
  double pts[8][2];
  for (int i = 0; i < 8; ++i) {
    double a = (i * 45 + 22.5) * M_PI / 180;
    pts[i][0] = cx + std::cos(a) * r;
    pts[i][1] = cy + std::sin(a) * r;
  }
  // Facets: each triangle to a slightly raised centre, shaded by its direction.
  double tx = cx - r * 0.12, ty = cy - r * 0.15;
  for (int i = 0; i < 8; ++i) {
    int j = (i + 1) % 8;
    double mx = (pts[i][0] + pts[j][0]) / 2 - cx, my = (pts[i][1] + pts[j][1]) / 2 - cy;
    double l = std::sqrt(mx * mx + my * my);
    double shade = 0.5 - 0.5 * ((mx / l) * 0.6 + (my / l) * 0.8);
    SetColor(cr, Mix(dark, light, shade));
    cairo_move_to(cr, tx, ty);
    cairo_line_to(cr, pts[i][0], pts[i][1]);
    cairo_line_to(cr, pts[j][0], pts[j][1]);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  // The wave: one period of a sine carved across the stone.
  cairo_save(cr);
  cairo_new_path(cr);
  for (int i = 0; i < 8; ++i) cairo_line_to(cr, pts[i][0], pts[i][1]);
  cairo_close_path(cr);
  cairo_clip(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, r * 0.2);
  cairo_new_path(cr);
  for (int i = 0; i <= 60; ++i) {
    double t = i / 60.0;
    double x = cx - r + 2 * r * t;
    double y = cy + std::sin(t * 2 * M_PI) * r * -0.38 + r * 0.05;
    if (i == 0)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
  }
  SetColor(cr, wave);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// The stone at (x, y), the name after it; the stone as tall as the strip under the band allows.
void MakerMark(cairo_t* cr, double x, double y, const Font& f) {
  const double r = 4.6;
  StoneMark(cr, x, y, r, Hex(0x8a6a4a), Hex(0x3a2718), Hex(0xeadcb9));
  Engraved(cr, "QUARRY-TONE", x + r + 3, y, f, kInk, 0, 0.35);
}

void Logo(cairo_t* cr) {
  const double c = 60;
  // Soft shadow under the stone.
  cairo_pattern_t* s = cairo_pattern_create_radial(c + 2, 52 + 4, 10, c + 2, 52 + 4, 44);
  cairo_pattern_add_color_stop_rgba(s, 0, 0, 0, 0, 0.35);
  cairo_pattern_add_color_stop_rgba(s, 1, 0, 0, 0, 0);
  cairo_set_source(cr, s);
  cairo_arc(cr, c + 2, 56, 44, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(s);
  StoneMark(cr, c, 52, 38, Hex(0xe29a55), Hex(0x5a2e12), Hex(0xfff1d6));
  Font name{"URW Gothic", 13.5, true, false, 1.2};
  SetColor(cr, Hex(0xb0602a));
  Text(cr, "QUARRY-TONE", c, 106, name, 1);
}

// ---------------------------------------------------------------- mode switch

void SwitchFrame(cairo_t* cr, int position) {
  // Slider block in the panel's slot; everything else stays transparent.
  double cx = kSwitchW * (position + 0.5) / 3, cy = 21.5;
  double w = 24, h = 17;
  cairo_set_source_rgba(cr, 0.1, 0.05, 0.0, 0.45);
  RoundRect(cr, cx - w / 2 + 0.8, cy - h / 2 + 1.6, w, h, 3);
  cairo_fill(cr);
  cairo_pattern_t* body = cairo_pattern_create_linear(0, cy - h / 2, 0, cy + h / 2);
  AddStop(body, 0, Hex(0xf6f1e6));
  AddStop(body, 0.5, Hex(0xbdb4a4));
  AddStop(body, 1, Hex(0x6a6052));
  cairo_set_source(cr, body);
  RoundRect(cr, cx - w / 2, cy - h / 2, w, h, 3);
  cairo_fill(cr);
  cairo_pattern_destroy(body);
  // Grip ridges.
  for (int i = -3; i <= 3; ++i) {
    double x = cx + i * 2.6;
    cairo_set_line_width(cr, 0.9);
    cairo_set_source_rgba(cr, 0.25, 0.2, 0.15, 0.7);
    cairo_move_to(cr, x, cy - h / 2 + 3);
    cairo_line_to(cr, x, cy + h / 2 - 3);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
    cairo_move_to(cr, x + 0.8, cy - h / 2 + 3);
    cairo_line_to(cr, x + 0.8, cy + h / 2 - 3);
    cairo_stroke(cr);
  }
  cairo_set_source_rgba(cr, 0.3, 0.2, 0.1, 0.6);
  cairo_set_line_width(cr, 0.5);
  RoundRect(cr, cx - w / 2, cy - h / 2, w, h, 3);
  cairo_stroke(cr);
  // Index mark on the block: copper for the engaged positions, dark for Off.
  SetColor(cr, position == 2 ? Hex(0x5a4a3a) : kCopper);
  RoundRect(cr, cx - 1.2, cy - h / 2 - 0.01, 2.4, 3, 0.8);
  cairo_fill(cr);
}

// ---------------------------------------------------------------- VU meter

double GrValue(double db) { return 1.0 - std::pow(10.0, -db / 20.0); }

void VuFace(cairo_t* cr, bool lit) {
  const double W = kFaceW, H = kFaceH;
  const double px = kPivotX - kFaceX, py = kPivotY - kFaceY;  // pivot in face coordinates
  RGB bg0 = lit ? Hex(0x3a2414) : Hex(0x1c1510);
  RGB bg1 = lit ? Hex(0x120b06) : Hex(0x0c0906);
  cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, 0, H);
  AddStop(bg, 0, bg0);
  AddStop(bg, 1, bg1);
  cairo_set_source(cr, bg);
  cairo_rectangle(cr, 0, 0, W, H);
  cairo_fill(cr);
  cairo_pattern_destroy(bg);
  if (lit) {
    // Backlight: an amber glow from below the scale.
    cairo_pattern_t* glow = cairo_pattern_create_radial(W / 2, H * 0.85, 2, W / 2, H * 0.7, W * 0.62);
    cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.62, 0.22, 0.55);
    cairo_pattern_add_color_stop_rgba(glow, 0.6, 1.0, 0.5, 0.15, 0.2);
    cairo_pattern_add_color_stop_rgba(glow, 1, 1.0, 0.45, 0.1, 0.0);
    cairo_set_source(cr, glow);
    cairo_rectangle(cr, 0, 0, W, H);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
  }
  RGB mark = lit ? Hex(0xffd08a) : Hex(0x6e5b45);
  RGB red = lit ? Hex(0xff5a3c) : Hex(0x6a3226);
  auto needleDeg = [](double v) { return 120.0 - 60.0 * v; };  // degrees above the horizontal
  auto at = [&](double v, double r, double& x, double& y) {
    double a = needleDeg(v) * M_PI / 180;
    x = px + std::cos(a) * r;
    y = py - std::sin(a) * r;
  };
  // A wide scale: its ends sit high enough to leave the face's lower part to the print.
  const double arcR = 69;
  // Scale arc, the red zone from 10 dB on.
  auto arc = [&](double v0, double v1, double r, double width, RGB c) {
    double a0 = -needleDeg(v0) * M_PI / 180, a1 = -needleDeg(v1) * M_PI / 180;
    cairo_set_line_width(cr, width);
    SetColor(cr, c);
    cairo_new_path(cr);
    cairo_arc(cr, px, py, r, a0, a1);
    cairo_stroke(cr);
  };
  arc(0, 1, arcR, 0.6, mark);
  arc(GrValue(10), 1, arcR + 1.6, 2.2, red);
  const double marks[] = {0, 1, 2, 3, 4, 5, 6, 8, 10, 15, 20};
  const double labelled[] = {0, 2, 4, 6, 10, 20};
  const Font num{"URW Gothic", 7.6, true, false, 0, 0.2};  // figures 6 pixels tall at 100 %
  for (double db : marks) {
    double v = GrValue(db);
    bool major = false;
    for (double l : labelled) major = major || l == db;
    double x0, y0, x1, y1;
    at(v, arcR - (major ? 1.2 : 0.3), x0, y0);
    at(v, arcR + (major ? 4.2 : 2.8), x1, y1);
    cairo_set_line_width(cr, major ? 0.9 : 0.6);
    SetColor(cr, db >= 10 ? red : mark);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    if (major) {
      char text[24];
      std::snprintf(text, sizeof(text), "%g", db);
      // The figure's box touches a circle just beyond the long ticks.
      GridText t(text, num);
      const double a = needleDeg(v) * M_PI / 180;
      const double d = arcR + 5.6 + std::abs(std::cos(a)) * t.width() / 2 + std::abs(std::sin(a)) * t.capHeight() / 2;
      const double x = px + std::cos(a) * d, y = py - std::sin(a) * d;
      SetColor(cr, db >= 10 ? red : mark);
      Text(cr, text, x, y, num, 1);
    }
  }
  // Infinity at the far end.
  {
    double x0, y0, x1, y1;
    at(1.0, arcR - 0.3, x0, y0);
    at(1.0, arcR + 2.8, x1, y1);
    SetColor(cr, red);
    cairo_set_line_width(cr, 0.6);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
  }
  // Under the scale: the name, then the unit between the brand and the maker.
  SetColor(cr, mark, 0.9);
  Text(cr, "GAIN REDUCTION", W / 2, 32.5, Font{"URW Gothic", 6.8, true, false, 0.3, 0.2}, 1);
  Text(cr, "dB", W / 2, 39.5, Font{"URW Gothic", 6.6, true, false, 0.4, 0.2}, 1);
  SetColor(cr, mark, 0.7);
  Text(cr, "warmGlow", 3, 38.5, Font{"Z003", 9.5, false, false, 0}, 0);
  Text(cr, "QUARRY-TONE", W - 3, 39.5, Font{"URW Gothic", 5.0, true, false, 0.5, 0.2}, 2);
  // Glass sheen.
  cairo_pattern_t* sheen = cairo_pattern_create_linear(0, 0, 0, H * 0.5);
  cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, lit ? 0.1 : 0.06);
  cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0);
  cairo_set_source(cr, sheen);
  cairo_rectangle(cr, 0, 0, W, H * 0.5);
  cairo_fill(cr);
  cairo_pattern_destroy(sheen);
}

void VuCover(cairo_t* cr) {
  const double W = 113, H = 46;
  // A brass bezel with a clear glass centre.
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_pattern_t* brass = cairo_pattern_create_linear(0, 0, 0, H);
  AddStop(brass, 0, Hex(0xf0d79b));
  AddStop(brass, 0.4, Hex(0xb48643));
  AddStop(brass, 1, Hex(0x62431c));
  cairo_set_source(cr, brass);
  RoundRect(cr, 0.5, 0.5, W - 1, H - 1, 5);
  RoundRect(cr, 6.5, 1.5, W - 13, H - 3, 3);
  cairo_fill(cr);
  cairo_pattern_destroy(brass);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  cairo_pattern_t* glass = cairo_pattern_create_linear(0, 0, W, H);
  cairo_pattern_add_color_stop_rgba(glass, 0, 1, 1, 1, 0.16);
  cairo_pattern_add_color_stop_rgba(glass, 0.45, 1, 1, 1, 0.04);
  cairo_pattern_add_color_stop_rgba(glass, 0.5, 1, 1, 1, 0.12);
  cairo_pattern_add_color_stop_rgba(glass, 1, 1, 1, 1, 0.02);
  cairo_set_source(cr, glass);
  RoundRect(cr, 6.5, 1.5, W - 13, H - 3, 3);
  cairo_fill(cr);
  cairo_pattern_destroy(glass);
  Screw(cr, 3.3, H / 2, 1.9, 0.4);
  Screw(cr, W - 3.3, H / 2, 1.9, 1.9);
}

// ---------------------------------------------------------------- about box

void About(cairo_t* cr) {
  const double W = kPanelW, H = kPanelH;
  cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, 0, H);
  AddStop(bg, 0, Hex(0x2c1c12));
  AddStop(bg, 1, Hex(0x0f0a07));
  cairo_set_source(cr, bg);
  cairo_rectangle(cr, 0, 0, W, H);
  cairo_fill(cr);
  cairo_pattern_destroy(bg);
  cairo_pattern_t* glow = cairo_pattern_create_radial(W / 2, 60, 5, W / 2, 60, 230);
  cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.55, 0.15, 0.22);
  cairo_pattern_add_color_stop_rgba(glow, 1, 1.0, 0.45, 0.1, 0.0);
  cairo_set_source(cr, glow);
  cairo_rectangle(cr, 0, 0, W, H);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);
  cairo_set_source_rgba(cr, 0.8, 0.55, 0.3, 0.35);
  cairo_set_line_width(cr, 0.8);
  RoundRect(cr, 8.5, 8.5, W - 17, H - 17, 6);
  cairo_stroke(cr);

  StoneMark(cr, 42, 48, 20, Hex(0xe29a55), Hex(0x5a2e12), Hex(0xfff1d6));
  Font maker{"URW Gothic", 6.5, true, false, 1.6};
  SetColor(cr, Hex(0xc8894f));
  Text(cr, "QUARRY-TONE", 42, 79, maker, 1);

  Font qrv{"URW Gothic", 15, true, false, 3};
  SetColor(cr, Hex(0xe8d3a8));
  Text(cr, "QRV", 136, 44, qrv, 2);
  Font glowFont{"Z003", 35, false, false, 0};
  for (int i = 0; i < 12; ++i) {
    double a = i * M_PI / 6;
    cairo_set_source_rgba(cr, 1.0, 0.5, 0.1, 0.06);
    cairo_save(cr);
    cairo_translate(cr, std::cos(a) * 1.8, std::sin(a) * 1.8);
    Text(cr, "warmGlow", 143, 46, glowFont, 0);
    cairo_restore(cr);
  }
  cairo_pattern_t* letters = cairo_pattern_create_linear(0, 32, 0, 60);
  AddStop(letters, 0, Hex(0xffe2a1));
  AddStop(letters, 1, Hex(0xff9a2e));
  cairo_set_source(cr, letters);
  Text(cr, "warmGlow", 143, 46, glowFont, 0);
  cairo_pattern_destroy(letters);
  Font sub{"URW Gothic", 8, true, false, 3.2};
  SetColor(cr, Hex(0xc8a57a));
  Text(cr, "OPTO COMPRESSOR", 200, 95, sub, 1);

  // Separator, the link, the edition label.
  cairo_set_source_rgba(cr, 0.8, 0.55, 0.3, 0.4);
  cairo_set_line_width(cr, 0.6);
  cairo_move_to(cr, 60, 112);
  cairo_line_to(cr, 340, 112);
  cairo_stroke(cr);
  Font link{"Liberation Sans", 12, false, false, 0};
  cairo_set_source_rgb(cr, 54 / 255.0, 151 / 255.0, 206 / 255.0);
  Text(cr, "www.quarry-tone.com", 200, 141, link, 1);
  Font label{"Liberation Sans", 10, false, false, 0};
  SetColor(cr, Hex(0x9c8a74));
  Text(cr, "Version", 292, 74, label, 2);
  Text(cr, "Edition", 184, 177, label, 2);
  Font body{"Liberation Sans", 8.5, false, false, 0};
  SetColor(cr, Hex(0x9c8a74));
  Text(cr, "Programme-dependent optical release \xC2\xB7 seven ratio curves \xC2\xB7 valve saturation", 200, 193,
       body, 1);
  Font foot{"Liberation Sans", 7.5, false, false, 0};
  SetColor(cr, Hex(0x7a6a58));
  Text(cr, "\xC2\xA9 2026 Quarry-tone. All rights reserved.", 200, 238, foot, 1);
  Text(cr, "Click anywhere to close", 200, 252, foot, 1);
}

// ---------------------------------------------------------------- film strips

using FramePainter = void (*)(cairo_t* cr, int frame, int frames);

void BigKnobFrame(cairo_t* cr, int i, int n) { BigKnob(cr, 57, 57, kBigCapR, KnobAngle(double(i) / (n - 1))); }
void RatioFrame(cairo_t* cr, int i, int n) { ChickenHead(cr, 35, 35, kRatioR, KnobAngle(double(i) / (n - 1))); }
void SmallFrame(cairo_t* cr, int i, int n) { SmallKnob(cr, 15.5, 15.5, kSmallR, KnobAngle(double(i) / (n - 1))); }
void SwitchStripFrame(cairo_t* cr, int i, int) { SwitchFrame(cr, i); }

// Frame i lies in column i / rows, row i mod rows.
void Strip(cairo_t* cr, const ImageInfo& s, FramePainter paint) {
  double fw = s.width / kScale / s.columns, fh = s.height / kScale / s.rows;
  for (int i = 0; i < s.frames; ++i) {
    cairo_save(cr);
    cairo_translate(cr, (i / s.rows) * fw, (i % s.rows) * fh);
    cairo_rectangle(cr, 0, 0, fw, fh);
    cairo_clip(cr);
    paint(cr, i, s.frames);
    cairo_restore(cr);
  }
}

}  // namespace

// A strip's frame count comes from the control table; the pixel sizes above are laid out for it.
constexpr int Frames(unsigned slot) { return qrv::KnobFrames(qrv::ControlShapeOf(slot)); }

const std::vector<ImageInfo>& ImageTable() {
  static const std::vector<ImageInfo> images = {
      {kImagePanel, Px(kPanelW), Px(kPanelH), 1, 1, 1, "panel"},
      {kImageModeSwitch, Px(kSwitchWidth), Px(kSwitchHeight, 3), Frames(qrv::kSlotProcess), 1, 3, "mode switch"},
      {kImageRatioKnob, Px(kRatioKnobSize), Px(kRatioKnobSize, 7), Frames(qrv::kSlotRatio), 1, 7, "ratio knob"},
      {kImageAttackKnob, Px(kSmallKnobSize), Px(kSmallKnobSize, 7), Frames(qrv::kSlotAttackRatio), 1, 7,
       "attack ratio knob"},
      {kImageValveKnob, Px(kSmallKnobSize), Px(kSmallKnobSize, 7), Frames(qrv::kSlotValveLevel), 1, 7,
       "valve level knob"},
      {kImageTimeKnob, Px(kBigKnobSize, 5), Px(kBigKnobSize, 5), Frames(qrv::kSlotTime), 5, 5, "time knob"},
      {kImageCompressionKnob, Px(kBigKnobSize, 7), Px(kBigKnobSize, 6), Frames(qrv::kSlotCompression), 7, 6,
       "compression knob"},
      {kImageOutputKnob, Px(kBigKnobSize, 8), Px(kBigKnobSize, 8), Frames(qrv::kSlotOutput), 8, 8, "output knob"},
      {kImageVuLit, Px(kMeterFace.width()), Px(kMeterFace.height()), 1, 1, 1, "vu face lit"},
      {kImageVuCover, Px(kCoverWidth), Px(kCoverHeight), 1, 1, 1, "vu cover"},
      {kImageVuDark, Px(kMeterFace.width()), Px(kMeterFace.height()), 1, 1, 1, "vu face dark"},
      {kImageAbout, Px(kPanelW), Px(kPanelH), 1, 1, 1, "about box"},
      {kImageMakerLogo, 240, 240, 1, 1, 1, "maker logo"},
  };
  return images;
}

cairo_surface_t* RenderImage(const ImageInfo& s) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s.width, s.height);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, kScale, kScale);
  switch (s.id) {
    case kImagePanel: Panel(cr); break;
    case kImageModeSwitch: Strip(cr, s, SwitchStripFrame); break;
    case kImageRatioKnob: Strip(cr, s, RatioFrame); break;
    case kImageAttackKnob:
    case kImageValveKnob: Strip(cr, s, SmallFrame); break;
    case kImageTimeKnob:
    case kImageCompressionKnob:
    case kImageOutputKnob: Strip(cr, s, BigKnobFrame); break;
    case kImageVuLit: VuFace(cr, true); break;
    case kImageVuCover: VuCover(cr); break;
    case kImageVuDark: VuFace(cr, false); break;
    case kImageAbout: About(cr); break;
    case kImageMakerLogo: Logo(cr); break;
    default: break;
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

}  // namespace art
