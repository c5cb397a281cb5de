#include "gui/toolkit/DrawContext.h"

#include <pango/pangocairo.h>

#include <cmath>

namespace tk {

namespace {

PangoFontDescription* Describe(const Font* font) {
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, font ? font->getName().c_str() : "Arial");
  // Layout points, independent of the 96 dpi that plain pango sizes assume.
  pango_font_description_set_absolute_size(d, (font ? font->getSize() : 12.0) * PANGO_SCALE);
  int style = font ? font->getStyle() : 0;
  pango_font_description_set_weight(d, (style & kBoldFace) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d, (style & kItalicFace) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return d;
}

}  // namespace

DrawContext::DrawContext(cairo_t* cr, const Rect& surfaceRect) : cr_(cairo_reference(cr)), surface_(surfaceRect) {
  state_.clip = surfaceRect;
  state_.font = standardFont();
  cairo_save(cr_);
}

DrawContext::~DrawContext() {
  while (!stack_.empty()) restoreGlobalState();
  cairo_restore(cr_);
  cairo_destroy(cr_);
}

void DrawContext::saveGlobalState() {
  stack_.push_back(state_);
  cairo_save(cr_);
}

void DrawContext::restoreGlobalState() {
  if (stack_.empty()) return;
  state_ = stack_.back();
  stack_.pop_back();
  cairo_restore(cr_);
}

void DrawContext::setOffset(const Point& offset) {
  Point delta = offset - state_.offset;
  cairo_translate(cr_, delta.x, delta.y);
  state_.offset = offset;
}

void DrawContext::setClipRect(const Rect& r) {
  state_.clip = r.normalized().offset(state_.offset.x, state_.offset.y).intersect(surface_);
  applyClip();
}

Rect DrawContext::getClipRect() const { return state_.clip.offset(-state_.offset.x, -state_.offset.y); }

void DrawContext::resetClipRect() {
  state_.clip = surface_;
  applyClip();
}

void DrawContext::applyClip() {
  cairo_reset_clip(cr_);
  const Rect& c = state_.clip;
  cairo_rectangle(cr_, c.left - state_.offset.x, c.top - state_.offset.y, c.width(), c.height());
  cairo_clip(cr_);
}

void DrawContext::applySource(Color c, double extraAlpha) {
  cairo_set_source_rgba(cr_, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0 * state_.alpha * extraAlpha);
}

void DrawContext::applyAntialias() {
  cairo_set_antialias(cr_, (state_.drawMode & kAntiAliasing) ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void DrawContext::applyLine() {
  cairo_set_line_width(cr_, state_.lineWidth);
  static constexpr cairo_line_cap_t caps[] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE};
  static constexpr cairo_line_join_t joins[] = {CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_ROUND,
                                                CAIRO_LINE_JOIN_BEVEL};
  const LineStyle& s = state_.lineStyle;
  cairo_set_line_cap(cr_, caps[(s.cap >= 0 && s.cap < 3) ? s.cap : 0]);
  cairo_set_line_join(cr_, joins[(s.join >= 0 && s.join < 3) ? s.join : 0]);
  std::vector<double> dashes;
  for (double d : s.dashes) dashes.push_back(d * state_.lineWidth);
  cairo_set_dash(cr_, dashes.data(), static_cast<int>(dashes.size()), s.dashPhase);
  applyAntialias();
}

void DrawContext::finishShape(int style) {
  applyAntialias();
  if (style == kDrawFilled || style == kDrawFilledAndStroked) {
    applySource(state_.fill);
    if (style == kDrawFilledAndStroked)
      cairo_fill_preserve(cr_);
    else
      cairo_fill(cr_);
  }
  if (style == kDrawStroked || style == kDrawFilledAndStroked) {
    applyLine();
    applySource(state_.frame);
    cairo_stroke(cr_);
  }
  cairo_new_path(cr_);
}

Point DrawContext::align(const Point& p, bool stroke) const {
  if (state_.drawMode & kNonIntegralMode) return p;
  double x = p.x, y = p.y;
  cairo_user_to_device(cr_, &x, &y);
  bool centre = false;
  if (stroke) {
    double wx = state_.lineWidth, wy = 0;
    cairo_user_to_device_distance(cr_, &wx, &wy);
    centre = std::lround(std::hypot(wx, wy)) % 2 == 1;
  }
  x = centre ? std::floor(x) + 0.5 : std::round(x);
  y = centre ? std::floor(y) + 0.5 : std::round(y);
  cairo_device_to_user(cr_, &x, &y);
  return {x, y};
}

Rect DrawContext::align(const Rect& r, bool stroke) const {
  Point tl = align(Point{r.left, r.top}, stroke), br = align(Point{r.right, r.bottom}, stroke);
  return {tl.x, tl.y, br.x, br.y};
}

void DrawContext::drawLine(const Point& a, const Point& b) {
  Point from = align(a, true), to = align(b, true);
  cairo_new_path(cr_);
  cairo_move_to(cr_, from.x, from.y);
  cairo_line_to(cr_, to.x, to.y);
  applyLine();
  applySource(state_.frame);
  cairo_stroke(cr_);
}

void DrawContext::drawLines(const Point* points, int count) {
  if (!points || count < 2) return;
  cairo_new_path(cr_);
  Point p0 = align(points[0], true);
  cairo_move_to(cr_, p0.x, p0.y);
  for (int i = 1; i < count; ++i) {
    Point p = align(points[i], true);
    cairo_line_to(cr_, p.x, p.y);
  }
  applyLine();
  applySource(state_.frame);
  cairo_stroke(cr_);
}

void DrawContext::drawRect(const Rect& r, int style) {
  if (style < kDrawStroked || style > kDrawFilledAndStroked) return;
  Rect n = align(r.normalized(), style != kDrawFilled);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, n.left, n.top, n.width(), n.height());
  finishShape(style);
}

void DrawContext::beginEllipseSpace(const Rect& n) {
  cairo_new_path(cr_);
  cairo_save(cr_);
  cairo_translate(cr_, n.left + n.width() / 2, n.top + n.height() / 2);
  cairo_scale(cr_, n.width() / 2, n.height() / 2);
}

void DrawContext::drawArc(const Rect& r, double startAngle, double endAngle, int style) {
  if (style < kDrawStroked || style > kDrawFilledAndStroked) return;
  Rect n = align(r.normalized(), style != kDrawFilled);
  if (n.empty()) return;
  beginEllipseSpace(n);
  if (style != kDrawStroked) cairo_move_to(cr_, 0, 0);
  cairo_arc(cr_, 0, 0, 1, startAngle * M_PI / 180.0, endAngle * M_PI / 180.0);
  if (style != kDrawStroked) cairo_close_path(cr_);
  cairo_restore(cr_);
  finishShape(style);
}

void DrawContext::drawEllipse(const Rect& r, int style) {
  if (style < kDrawStroked || style > kDrawFilledAndStroked) return;
  Rect n = align(r.normalized(), style != kDrawFilled);
  if (n.empty()) return;
  beginEllipseSpace(n);
  cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
  cairo_close_path(cr_);
  cairo_restore(cr_);
  finishShape(style);
}

void DrawContext::drawPolygon(const Point* points, int count, int style) {
  if (!points || count < 2 || style < kDrawStroked || style > kDrawFilledAndStroked) return;
  cairo_new_path(cr_);
  Point p0 = align(points[0], style != kDrawFilled);
  cairo_move_to(cr_, p0.x, p0.y);
  for (int i = 1; i < count; ++i) {
    Point p = align(points[i], style != kDrawFilled);
    cairo_line_to(cr_, p.x, p.y);
  }
  if (style != kDrawStroked) cairo_close_path(cr_);
  finishShape(style);
}

void DrawContext::drawPoint(const Point& at, Color c) {
  Point p = align(at, false);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, p.x, p.y, 1, 1);
  applySource(c);
  cairo_fill(cr_);
}

void DrawContext::clearRect(const Rect& r) {
  Rect n = r.normalized();
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
  cairo_rectangle(cr_, n.left, n.top, n.width(), n.height());
  cairo_fill(cr_);
  cairo_restore(cr_);
}

void DrawContext::drawBitmap(Bitmap* bitmap, const Rect& dest, const Point& offset, float alpha) {
  if (!bitmap) return;
  bitmap->prepare();
  PlatformBitmap* p = bitmap->getPlatformBitmap();
  if (!p) return;
  Rect d = dest.normalized();
  Rect visible = d.offset(state_.offset.x, state_.offset.y).intersect(state_.clip);
  if (visible.empty()) return;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, d.left, d.top, d.width(), d.height());
  cairo_clip(cr_);
  cairo_translate(cr_, d.left - offset.x, d.top - offset.y);
  double s = 1.0 / p->scaleFactor();
  cairo_scale(cr_, s, s);
  // Scaled, unrotated and at a whole device pixel: the image's scaled copy holds the very pixels the
  // filter would make here, and copying them costs far less than filtering the image again. Only where
  // pixman's step through the image (16.16 fixed point) is exact, as at 100 % (half the image's pixels):
  // otherwise its rounding adds up differently from another starting pixel.
  cairo_matrix_t m;
  cairo_get_matrix(cr_, &m);
  auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
  if (m.xy == 0 && m.yx == 0 && m.xx == m.yy && m.xx > 0 && m.xx != 1 && whole(m.x0) && whole(m.y0) &&
      65536.0 / m.xx == std::round(65536.0 / m.xx)) {
    if (cairo_surface_t* copy = p->scaledCopy(m.xx)) {
      cairo_identity_matrix(cr_);
      cairo_set_source_surface(cr_, copy, std::round(m.x0) - PlatformBitmap::kMargin,
                               std::round(m.y0) - PlatformBitmap::kMargin);
      cairo_paint_with_alpha(cr_, std::clamp(alpha, 0.0f, 1.0f) * state_.alpha);
      cairo_restore(cr_);
      return;
    }
  }
  cairo_set_source_surface(cr_, p->surface(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_GOOD);
  cairo_paint_with_alpha(cr_, std::clamp(alpha, 0.0f, 1.0f) * state_.alpha);
  cairo_restore(cr_);
}

void* DrawContext::makeLayout(const std::string& utf8) {
  PangoLayout* layout = pango_cairo_create_layout(cr_);
  cairo_font_options_t* options = cairo_font_options_create();
  // Unhinted metrics keep text the same shape at every zoom.
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  PangoContext* context = pango_layout_get_context(layout);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  // Whole-unit glyph positions would widen Arial text by up to a twentieth at 100 % and change
  // its width with the zoom.
  pango_context_set_round_glyph_positions(context, FALSE);
  pango_layout_context_changed(layout);
  PangoFontDescription* d = Describe(state_.font.get());
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  return layout;
}

double DrawContext::getStringWidth(const std::string& utf8) {
  auto* layout = static_cast<PangoLayout*>(makeLayout(utf8));
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return logical.width / static_cast<double>(PANGO_SCALE);
}

void DrawContext::drawString(const std::string& utf8, const Point& baseline) {
  auto* layout = static_cast<PangoLayout*>(makeLayout(utf8));
  double ascent = pango_layout_get_baseline(layout) / static_cast<double>(PANGO_SCALE);
  cairo_new_path(cr_);
  cairo_move_to(cr_, baseline.x, baseline.y - ascent);
  applySource(state_.fontColor);
  pango_cairo_show_layout(cr_, layout);
  g_object_unref(layout);
}

void DrawContext::drawString(const std::string& utf8, const Rect& r, int align) {
  auto* layout = static_cast<PangoLayout*>(makeLayout(utf8));
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  double w = logical.width / static_cast<double>(PANGO_SCALE);
  double h = logical.height / static_cast<double>(PANGO_SCALE);
  Rect n = r.normalized();
  double x = n.left;
  if (align == kCenterText)
    x = n.left + (n.width() - w) / 2;
  else if (align == kRightText)
    x = n.right - w;
  double y = n.top + (n.height() - h) / 2;
  cairo_save(cr_);
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
  cairo_new_path(cr_);
  cairo_move_to(cr_, x, y);
  applySource(state_.fontColor);
  pango_cairo_show_layout(cr_, layout);
  cairo_restore(cr_);
  g_object_unref(layout);
}

void DrawContext::pushTransform(const cairo_matrix_t& m) {
  saveGlobalState();
  cairo_transform(cr_, &m);
}

void DrawContext::popTransform() { restoreGlobalState(); }

void DrawContext::drawGraphicsPath(GraphicsPath* path, int mode, const cairo_matrix_t* transform) {
  if (!path) return;
  cairo_save(cr_);
  if (transform) cairo_transform(cr_, transform);
  cairo_new_path(cr_);
  path->emit(cr_);
  if (mode == 0 || mode == 1) {
    cairo_set_fill_rule(cr_, mode == 1 ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    applyAntialias();
    applySource(state_.fill);
    cairo_fill(cr_);
  } else {
    applyLine();
    applySource(state_.frame);
    cairo_stroke(cr_);
  }
  cairo_restore(cr_);
}

namespace {
void AddStops(cairo_pattern_t* pattern, const Gradient& g, double alpha) {
  for (const auto& s : g.stops())
    cairo_pattern_add_color_stop_rgba(pattern, s.offset, s.color.r / 255.0, s.color.g / 255.0, s.color.b / 255.0,
                                      s.color.a / 255.0 * alpha);
}
}  // namespace

void DrawContext::fillLinearGradient(GraphicsPath* path, Gradient* gradient, const Point& start, const Point& end,
                                     bool evenOdd, const cairo_matrix_t* transform) {
  if (!path || !gradient) return;
  cairo_save(cr_);
  if (transform) cairo_transform(cr_, transform);
  cairo_new_path(cr_);
  path->emit(cr_);
  cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  cairo_pattern_t* p = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
  AddStops(p, *gradient, state_.alpha);
  cairo_set_source(cr_, p);
  applyAntialias();
  cairo_fill(cr_);
  cairo_pattern_destroy(p);
  cairo_restore(cr_);
}

void DrawContext::fillRadialGradient(GraphicsPath* path, Gradient* gradient, const Point& centre, double radius,
                                     const Point& originOffset, bool evenOdd, const cairo_matrix_t* transform) {
  if (!path || !gradient) return;
  cairo_save(cr_);
  if (transform) cairo_transform(cr_, transform);
  cairo_new_path(cr_);
  path->emit(cr_);
  cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  cairo_pattern_t* p = cairo_pattern_create_radial(centre.x + originOffset.x, centre.y + originOffset.y, 0, centre.x,
                                                   centre.y, radius);
  AddStops(p, *gradient, state_.alpha);
  cairo_set_source(cr_, p);
  applyAntialias();
  cairo_fill(cr_);
  cairo_pattern_destroy(p);
  cairo_restore(cr_);
}

}  // namespace tk

namespace tk {
double MeasureString(Font* font, const std::string& utf8) {
  // A surface per measurement, not one kept for the process: that one would outlive an unloaded
  // plug-in (see ScratchContext in Resources.cpp).
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(surface);
  cairo_surface_destroy(surface);
  double w;
  {
    DrawContext context(cr, Rect{0, 0, 1, 1});
    if (font) context.setFont(font);
    w = context.getStringWidth(utf8);
  }
  cairo_destroy(cr);
  return w;
}
}  // namespace tk
