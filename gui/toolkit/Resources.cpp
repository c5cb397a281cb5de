#include "gui/toolkit/Resources.h"

#include <pango/pangocairo.h>

#include <cmath>
#include <cstring>

namespace tk {

namespace {

struct PngReader {
  const unsigned char* data;
  std::size_t size;
  std::size_t pos;
};

cairo_status_t ReadPng(void* closure, unsigned char* out, unsigned int length) {
  auto* r = static_cast<PngReader*>(closure);
  if (length > r->size - r->pos) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, r->data + r->pos, length);
  r->pos += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

PlatformBitmap* PlatformBitmap::createFromPng(const unsigned char* data, std::size_t size) {
  if (!data || size < 8) return nullptr;
  PngReader reader{data, size, 0};
  cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
  if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(decoded);
    return nullptr;
  }
  if (cairo_image_surface_get_format(decoded) == CAIRO_FORMAT_ARGB32) {
    auto* p = new PlatformBitmap(decoded);
    p->decoded_ = true;
    return p;
  }
  // Pixel access and drawing expect premultiplied ARGB32 throughout.
  int w = cairo_image_surface_get_width(decoded);
  int h = cairo_image_surface_get_height(decoded);
  cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(argb);
  cairo_set_source_surface(cr, decoded, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(decoded);
  auto* p = new PlatformBitmap(argb);
  p->decoded_ = true;
  return p;
}

PlatformBitmap* PlatformBitmap::createEmpty(int widthPixels, int heightPixels) {
  if (widthPixels <= 0 || heightPixels <= 0) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, widthPixels, heightPixels);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  return new PlatformBitmap(s);
}

PlatformBitmap::PlatformBitmap(cairo_surface_t* surface) : surface_(cairo_surface_reference(surface)) {
  // The creators above hand over their own reference.
  cairo_surface_destroy(surface);
}

PlatformBitmap::~PlatformBitmap() {
  pixelsChanged();
  cairo_surface_destroy(surface_);
}

cairo_surface_t* PlatformBitmap::scaledCopy(double scale) {
  if (!decoded_ || !(scale > 0) || pixelWidth() * pixelHeight() > kMaxCopiedPixels) return nullptr;
  for (const Scaled& s : scaled_)
    if (s.surface && s.scale == scale) return s.surface;
  const int w = static_cast<int>(std::ceil(pixelWidth() * scale)) + 2 * kMargin;
  const int h = static_cast<int>(std::ceil(pixelHeight() * scale)) + 2 * kMargin;
  cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(copy);
    return nullptr;
  }
  // As DrawContext::drawBitmap paints the image itself; over transparency OVER leaves the source as is.
  cairo_t* cr = cairo_create(copy);
  cairo_translate(cr, kMargin, kMargin);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, surface_, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(copy);
  // The older of the two goes.
  if (scaled_[1].surface) cairo_surface_destroy(scaled_[1].surface);
  scaled_[1] = scaled_[0];
  scaled_[0] = Scaled{scale, copy};
  return copy;
}

void PlatformBitmap::pixelsChanged() {
  decoded_ = false;
  for (Scaled& s : scaled_) {
    if (s.surface) cairo_surface_destroy(s.surface);
    s = Scaled{};
  }
}

int PlatformBitmap::pixelWidth() const { return cairo_image_surface_get_width(surface_); }
int PlatformBitmap::pixelHeight() const { return cairo_image_surface_get_height(surface_); }

Bitmap::Bitmap(PlatformBitmap* platformBitmap) { addBitmap(platformBitmap); }

void Bitmap::addBitmap(PlatformBitmap* platformBitmap) {
  if (platformBitmap) reps_.emplace_back(platformBitmap);
}

PlatformBitmap* Bitmap::getPlatformBitmap() const {
  PlatformBitmap* best = nullptr;
  for (const auto& r : reps_)
    if (!best || r->scaleFactor() > best->scaleFactor()) best = r.get();
  return best;
}

double Bitmap::getWidth() const {
  const PlatformBitmap* p = getPlatformBitmap();
  return p ? p->pixelWidth() / p->scaleFactor() : 0.0;
}

double Bitmap::getHeight() const {
  const PlatformBitmap* p = getPlatformBitmap();
  return p ? p->pixelHeight() / p->scaleFactor() : 0.0;
}

BitmapPixelAccess* BitmapPixelAccess::create(Bitmap* bitmap, bool alphaPremultiplied) {
  if (!bitmap) return nullptr;
  bitmap->prepare();
  PlatformBitmap* p = bitmap->getPlatformBitmap();
  if (!p || cairo_image_surface_get_format(p->surface()) != CAIRO_FORMAT_ARGB32) return nullptr;
  auto* a = new BitmapPixelAccess();
  a->bitmap_ = bitmap;
  a->platform_ = p;
  a->surface_ = cairo_surface_reference(p->surface());
  cairo_surface_flush(a->surface_);
  a->data_ = cairo_image_surface_get_data(a->surface_);
  a->stride_ = cairo_image_surface_get_stride(a->surface_);
  a->width_ = static_cast<unsigned>(p->pixelWidth());
  a->height_ = static_cast<unsigned>(p->pixelHeight());
  a->premultiplied_ = alphaPremultiplied;
  return a;
}

BitmapPixelAccess::~BitmapPixelAccess() {
  if (surface_) {
    cairo_surface_mark_dirty(surface_);
    cairo_surface_destroy(surface_);
  }
}

bool BitmapPixelAccess::setPosition(unsigned x, unsigned y) {
  if (x >= width_ || y >= height_) return false;
  x_ = x;
  y_ = y;
  return true;
}

bool BitmapPixelAccess::next() {
  if (x_ + 1 < width_) {
    ++x_;
    return true;
  }
  if (y_ + 1 < height_) {
    x_ = 0;
    ++y_;
    return true;
  }
  return false;
}

bool BitmapPixelAccess::previous() {
  if (x_ > 0) {
    --x_;
    return true;
  }
  if (y_ > 0) {
    x_ = width_ - 1;
    --y_;
    return true;
  }
  return false;
}

Color BitmapPixelAccess::getColor() const {
  std::uint32_t px;
  std::memcpy(&px, data_ + static_cast<std::size_t>(y_) * stride_ + x_ * 4u, 4);
  Color c{static_cast<std::uint8_t>(px >> 16), static_cast<std::uint8_t>(px >> 8), static_cast<std::uint8_t>(px),
          static_cast<std::uint8_t>(px >> 24)};
  if (!premultiplied_ && c.a != 0 && c.a != 255) {
    c.r = static_cast<std::uint8_t>(std::min(255, (c.r * 255 + c.a / 2) / c.a));
    c.g = static_cast<std::uint8_t>(std::min(255, (c.g * 255 + c.a / 2) / c.a));
    c.b = static_cast<std::uint8_t>(std::min(255, (c.b * 255 + c.a / 2) / c.a));
  }
  return c;
}

void BitmapPixelAccess::setColor(Color c) {
  if (!premultiplied_) {
    c.r = static_cast<std::uint8_t>((c.r * c.a + 127) / 255);
    c.g = static_cast<std::uint8_t>((c.g * c.a + 127) / 255);
    c.b = static_cast<std::uint8_t>((c.b * c.a + 127) / 255);
  } else {
    // Premultiplied channels can never exceed alpha.
    c.r = std::min(c.r, c.a);
    c.g = std::min(c.g, c.a);
    c.b = std::min(c.b, c.a);
  }
  std::uint32_t px = (std::uint32_t{c.a} << 24) | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
  std::memcpy(data_ + static_cast<std::size_t>(y_) * stride_ + x_ * 4u, &px, 4);
  platform_->pixelsChanged();
}

Font* standardFont() {
  // Released when the module unloads: a host may load and unload a plug-in UI many times.
  static const Ref<Font> font = Ref<Font>::adopt(new Font("Arial", 12));
  return font.get();
}

void Gradient::addColorStop(double offset, Color color) {
  offset = std::clamp(offset, 0.0, 1.0);
  auto it = stops_.begin();
  while (it != stops_.end() && it->offset <= offset) ++it;
  stops_.insert(it, Stop{offset, color});
}

void Gradient::reset(double start1, double start2, Color color1, Color color2) {
  stops_.clear();
  addColorStop(start1, color1);
  addColorStop(start2, color2);
}

void GraphicsPath::addArc(const Rect& r, double startAngle, double endAngle, bool clockwise) {
  elements_.push_back({Op::Arc, {r.left, r.top, r.right, r.bottom, startAngle, endAngle}, clockwise});
}
void GraphicsPath::addEllipse(const Rect& r) {
  elements_.push_back({Op::Ellipse, {r.left, r.top, r.right, r.bottom, 0, 0}, false});
}
void GraphicsPath::addRect(const Rect& r) {
  elements_.push_back({Op::Rect, {r.left, r.top, r.right, r.bottom, 0, 0}, false});
}
void GraphicsPath::addRoundRect(const Rect& r, double radius) {
  elements_.push_back({Op::RoundRect, {r.left, r.top, r.right, r.bottom, radius, 0}, false});
}
void GraphicsPath::addPath(const GraphicsPath& other) {
  if (&other == this) {
    auto copy = elements_;
    elements_.insert(elements_.end(), copy.begin(), copy.end());
    return;
  }
  elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
}
void GraphicsPath::addLine(const Point& to) { elements_.push_back({Op::Line, {to.x, to.y, 0, 0, 0, 0}, false}); }
void GraphicsPath::addBezierCurve(const Point& c1, const Point& c2, const Point& end) {
  elements_.push_back({Op::Curve, {c1.x, c1.y, c2.x, c2.y, end.x, end.y}, false});
}
void GraphicsPath::beginSubpath(const Point& start) {
  elements_.push_back({Op::Move, {start.x, start.y, 0, 0, 0, 0}, false});
}
void GraphicsPath::closeSubpath() { elements_.push_back({Op::Close, {0, 0, 0, 0, 0, 0}, false}); }

void GraphicsPath::emit(cairo_t* cr) const {
  constexpr double kDeg = M_PI / 180.0;
  for (const Element& e : elements_) {
    const double* v = e.v;
    switch (e.op) {
      case Op::Move:
        cairo_move_to(cr, v[0], v[1]);
        break;
      case Op::Line:
        cairo_line_to(cr, v[0], v[1]);
        break;
      case Op::Curve:
        cairo_curve_to(cr, v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
      case Op::Close:
        cairo_close_path(cr);
        break;
      case Op::Arc:
      case Op::Ellipse: {
        double w = v[2] - v[0], h = v[3] - v[1];
        if (w <= 0 || h <= 0) break;
        cairo_save(cr);
        cairo_translate(cr, v[0] + w / 2, v[1] + h / 2);
        cairo_scale(cr, w / 2, h / 2);
        if (e.op == Op::Ellipse) {
          cairo_new_sub_path(cr);
          cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
          cairo_close_path(cr);
        } else if (e.clockwise) {
          cairo_arc(cr, 0, 0, 1, v[4] * kDeg, v[5] * kDeg);
        } else {
          cairo_arc_negative(cr, 0, 0, 1, v[4] * kDeg, v[5] * kDeg);
        }
        cairo_restore(cr);
        break;
      }
      case Op::Rect:
        cairo_rectangle(cr, v[0], v[1], v[2] - v[0], v[3] - v[1]);
        break;
      case Op::RoundRect: {
        double rad = std::min({v[4], (v[2] - v[0]) / 2, (v[3] - v[1]) / 2});
        if (rad <= 0) {
          cairo_rectangle(cr, v[0], v[1], v[2] - v[0], v[3] - v[1]);
          break;
        }
        cairo_new_sub_path(cr);
        cairo_arc(cr, v[2] - rad, v[1] + rad, rad, -M_PI / 2, 0);
        cairo_arc(cr, v[2] - rad, v[3] - rad, rad, 0, M_PI / 2);
        cairo_arc(cr, v[0] + rad, v[3] - rad, rad, M_PI / 2, M_PI);
        cairo_arc(cr, v[0] + rad, v[1] + rad, rad, M_PI, 1.5 * M_PI);
        cairo_close_path(cr);
        break;
      }
    }
  }
}

namespace {
// A context on a surface of its own, which goes with the context: a surface kept for the process would
// outlive an unloaded plug-in (and hide from leak checkers behind cairo's pool of freed contexts, which
// still points at it).
cairo_t* ScratchContext() {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  cairo_surface_destroy(s);
  return cr;
}
}  // namespace

bool GraphicsPath::hitTest(const Point& p, bool evenOdd) const {
  cairo_t* cr = ScratchContext();
  emit(cr);
  cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  bool in = cairo_in_fill(cr, p.x, p.y);
  cairo_destroy(cr);
  return in;
}

Point GraphicsPath::getCurrentPosition() const {
  if (elements_.empty()) return {};
  cairo_t* cr = ScratchContext();
  emit(cr);
  Point p;
  if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &p.x, &p.y);
  cairo_destroy(cr);
  return p;
}

Rect GraphicsPath::getBoundingBox() const {
  cairo_t* cr = ScratchContext();
  emit(cr);
  Rect r;
  cairo_path_extents(cr, &r.left, &r.top, &r.right, &r.bottom);
  cairo_destroy(cr);
  return r;
}

void ReleaseFontCaches() { pango_cairo_font_map_set_default(nullptr); }

}  // namespace tk

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig loads its configuration once per process (pango does it on its font-loading thread) and
// leaves a little of what parsing it allocates out of reach of any pointer. Its library has no frame
// pointers, so a report of it shows one frame and only the library's name identifies it. Nothing
// else is listed: a cairo surface or context, a pango layout or font, or cairo's records of an X
// display that the toolkit fails to release are all reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
