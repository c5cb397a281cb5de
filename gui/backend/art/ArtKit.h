// Small cairo/pango helpers for the artwork generator. Coordinates are layout points.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace art {

struct RGB {
  double r, g, b;
};

constexpr RGB Hex(std::uint32_t v) {
  return RGB{((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

inline RGB Mix(RGB a, RGB b, double t) {
  return RGB{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

inline void SetColor(cairo_t* cr, RGB c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

inline void AddStop(cairo_pattern_t* p, double offset, RGB c, double alpha = 1.0) {
  cairo_pattern_add_color_stop_rgba(p, offset, c.r, c.g, c.b, alpha);
}

inline void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 1.5 * M_PI);
  cairo_close_path(cr);
}

// Deterministic noise for textures.
struct Random {
  std::uint32_t state;
  explicit Random(std::uint32_t seed) : state(seed ? seed : 1) {}
  std::uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  double uniform() { return (next() & 0xFFFFFF) / double(0x1000000); }
};

struct Font {
  const char* family = "URW Gothic";
  double size = 8.0;
  bool bold = false;
  bool italic = false;
  double spacing = 0.0;  // extra points between letters
  double weight = 0.0;   // points of outline stroked around the letters, to thicken small print
};

// Text is set on the 100 % pixel grid, one pixel per point: the layout lives on a scratch surface
// without scale, so the outlines are hinted there (baseline, x and cap heights on whole pixels) and
// advances are whole points. Drawn at twice the size, those edges land on even pixels of the image
// and stay sharp when the image is shown at 100 %. The scratch surface is unbounded: pango leaves
// out glyphs beyond a surface's extent.
class GridText {
 public:
  GridText(const std::string& text, const Font& f) : font_(f) {
    surface_ = cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr);
    scratch_ = cairo_create(surface_);
    layout_ = Layout(text);
    PangoRectangle ink, logical;
    pango_layout_get_extents(layout_, &ink, &logical);
    width_ = (logical.width - f.spacing * PANGO_SCALE) / double(PANGO_SCALE);
    baseline_ = pango_layout_get_baseline(layout_) / double(PANGO_SCALE);
    // The capitals' height as hinted, whatever letters the text has.
    PangoLayout* caps = Layout("H");
    pango_layout_get_extents(caps, &ink, &logical);
    capHeight_ = pango_layout_get_baseline(caps) / double(PANGO_SCALE) - ink.y / double(PANGO_SCALE);
    g_object_unref(caps);
  }
  ~GridText() {
    g_object_unref(layout_);
    cairo_destroy(scratch_);
    cairo_surface_destroy(surface_);
  }
  GridText(const GridText&) = delete;
  GridText& operator=(const GridText&) = delete;

  double width() const { return width_; }
  double capHeight() const { return capHeight_; }

  // Fills the letters with the current source, their left edge at left and baseline at baseline
  // (both rounded to whole points).
  void Fill(cairo_t* cr, double left, double baseline) const {
    cairo_new_path(scratch_);
    cairo_move_to(scratch_, 0, 0);
    pango_cairo_layout_path(scratch_, layout_);
    cairo_path_t* path = cairo_copy_path(scratch_);
    cairo_save(cr);
    cairo_translate(cr, std::round(left), std::round(baseline) - baseline_);
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    if (font_.weight > 0) {
      cairo_set_line_width(cr, font_.weight);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      cairo_fill_preserve(cr);
      cairo_stroke(cr);
    } else {
      cairo_fill(cr);
    }
    cairo_restore(cr);
    cairo_path_destroy(path);
  }

 private:
  PangoLayout* Layout(const std::string& text) const {
    PangoLayout* layout = pango_cairo_create_layout(scratch_);
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), o);
    cairo_font_options_destroy(o);
    pango_layout_context_changed(layout);
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, font_.family);
    pango_font_description_set_absolute_size(d, font_.size * PANGO_SCALE);
    pango_font_description_set_weight(d, font_.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, font_.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    if (font_.spacing != 0) {
      PangoAttrList* attrs = pango_attr_list_new();
      pango_attr_list_insert(attrs, pango_attr_letter_spacing_new(static_cast<int>(font_.spacing * PANGO_SCALE)));
      pango_layout_set_attributes(layout, attrs);
      pango_attr_list_unref(attrs);
    }
    pango_layout_set_text(layout, text.c_str(), -1);
    return layout;
  }

  Font font_;
  cairo_surface_t* surface_;
  cairo_t* scratch_;
  PangoLayout* layout_;
  double width_ = 0, baseline_ = 0, capHeight_ = 0;
};

inline double TextWidth(const std::string& text, const Font& f) { return GridText(text, f).width(); }

// Where text goes: its left edge and baseline for the capitals' middle at y; align 0 left, 1 centre,
// 2 right of x.
struct TextPlace {
  double left, baseline;
};
inline TextPlace Place(const GridText& t, double x, double y, int align) {
  double left = align == 0 ? x : align == 1 ? x - t.width() / 2 : x - t.width();
  return TextPlace{std::round(left), std::round(y + t.capHeight() / 2)};
}

inline void Text(cairo_t* cr, const std::string& text, double x, double y, const Font& f, int align = 1) {
  GridText t(text, f);
  TextPlace p = Place(t, x, y, align);
  t.Fill(cr, p.left, p.baseline);
}

// Text cut into a painted surface: a light edge below, the dark fill above. The edge is half a point,
// one pixel of the image, so at 100 % it lightens the row under the letters without blurring them.
inline void Engraved(cairo_t* cr, const std::string& text, double x, double y, const Font& f, RGB ink,
                     int align = 1, double highlight = 0.45) {
  GridText t(text, f);
  TextPlace p = Place(t, x, y, align);
  cairo_set_source_rgba(cr, 1, 0.98, 0.92, highlight);
  cairo_save(cr);
  cairo_translate(cr, 0, 0.5);
  t.Fill(cr, p.left, p.baseline);
  cairo_restore(cr);
  SetColor(cr, ink);
  t.Fill(cr, p.left, p.baseline);
}

// A slotted screw head.
// A disc lit from the top left: a diagonal gradient from light through mid (at midAt) to dark.
inline void MetalDisc(cairo_t* cr, double cx, double cy, double r, RGB light, double midAt, RGB mid, RGB dark) {
  cairo_pattern_t* g = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
  AddStop(g, 0, light);
  AddStop(g, midAt, mid);
  AddStop(g, 1, dark);
  cairo_set_source(cr, g);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
}

inline void Screw(cairo_t* cr, double cx, double cy, double r, double angle) {
  cairo_pattern_t* shadow = cairo_pattern_create_radial(cx + 0.4, cy + 0.7, r * 0.6, cx + 0.4, cy + 0.7, r * 1.5);
  cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.45);
  cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
  cairo_set_source(cr, shadow);
  cairo_arc(cr, cx + 0.4, cy + 0.7, r * 1.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(shadow);
  MetalDisc(cr, cx, cy, r, Hex(0xf1ead8), 0.5, Hex(0xb4aa96), Hex(0x5e5547));
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_rotate(cr, angle);
  cairo_set_line_width(cr, r * 0.32);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_source_rgba(cr, 0.18, 0.15, 0.12, 0.9);
  cairo_move_to(cr, -r * 0.68, 0);
  cairo_line_to(cr, r * 0.68, 0);
  cairo_stroke(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_set_line_width(cr, r * 0.1);
  cairo_move_to(cr, -r * 0.62, r * 0.2);
  cairo_line_to(cr, r * 0.62, r * 0.2);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// Point at distance r from (cx, cy) along a knob angle (degrees clockwise from straight up).
inline void Polar(double cx, double cy, double r, double degrees, double& x, double& y) {
  double a = degrees * M_PI / 180.0;
  x = cx + r * std::sin(a);
  y = cy - r * std::cos(a);
}

// Knob angle of a normalised value: 270 degrees centred on straight up, clockwise.
inline double KnobAngle(double v) { return -135.0 + 270.0 * v; }

}  // namespace art
