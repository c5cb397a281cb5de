#include "gui/backend/DrawContextWrapper.h"

#include <cmath>

#include "gui/backend/Convert.h"
#include "gui/backend/Resources.h"

namespace Quarrytone {

namespace {

bool ToMatrix(const double t[6], cairo_matrix_t& m) {
  if (!t) return false;
  if (t[0] == 1 && t[1] == 0 && t[2] == 0 && t[3] == 1 && t[4] == 0 && t[5] == 0) return false;
  // (m11, m12, m21, m22, dx, dy): x' = m11 x + m12 y + dx, y' = m21 x + m22 y + dy.
  cairo_matrix_init(&m, t[0], t[2], t[1], t[3], t[4], t[5]);
  return true;
}

}  // namespace

template <class I>
void DrawContextImpl<I>::attach(tk::DrawContext* context) {
  context_ = context;
}

template <class I>
void DrawContextImpl<I>::detach() {
  context_ = nullptr;
  if (font_) {
    font_->release();
    font_ = nullptr;
  }
}

template <class I>
void DrawContextImpl<I>::setLineWidth(double width) {
  if (context_) context_->setLineWidth(width);
}

template <class I>
void DrawContextImpl<I>::setLineStyle(int cap, int join, double dashPhase, int dashCount, const double* dashes) {
  if (!context_) return;
  tk::LineStyle s;
  s.cap = cap;
  s.join = join;
  s.dashPhase = dashPhase;
  if (dashes && dashCount > 0) s.dashes.assign(dashes, dashes + dashCount);
  context_->setLineStyle(s);
}

template <class I>
void DrawContextImpl<I>::setLineStyleSolid() {
  if (context_) context_->setLineStyle(tk::LineStyle{});
}

template <class I>
void DrawContextImpl<I>::moveTo(const QRVPoint& p) {
  if (context_) pen_ = p;
}

template <class I>
void DrawContextImpl<I>::lineTo(const QRVPoint& p) {
  if (!context_) return;
  context_->drawLine(ToTk(pen_), ToTk(p));
  pen_ = p;
}

template <class I>
void DrawContextImpl<I>::drawLine(const double& x1, const double& y1, const double& x2, const double& y2) {
  if (context_) context_->drawLine(tk::Point{x1, y1}, tk::Point{x2, y2});
}

template <class I>
void DrawContextImpl<I>::drawLine(const QRVPoint& from, const QRVPoint& to) {
  if (!context_) return;
  context_->drawLine(ToTk(from), ToTk(to));
  pen_ = to;
}

template <class I>
void DrawContextImpl<I>::drawRect(const QRVRect& rect, int drawStyle) {
  if (context_) context_->drawRect(ToTk(rect), drawStyle);
}

template <class I>
void DrawContextImpl<I>::drawArc(const QRVRect& rect, float startAngle, float endAngle, int drawStyle) {
  if (context_) context_->drawArc(ToTk(rect), startAngle, endAngle, drawStyle);
}

template <class I>
void DrawContextImpl<I>::drawEllipse(const QRVRect& rect, int drawStyle) {
  if (context_) context_->drawEllipse(ToTk(rect), drawStyle);
}

template <class I>
void DrawContextImpl<I>::drawDot(const QRVPoint& c, double size) {
  if (!context_) return;
  double h = size / 4;
  context_->drawRect(tk::Rect{c.x - h, c.y - h, c.x + h, c.y + h}, tk::kDrawFilled);
}

template <class I>
void DrawContextImpl<I>::drawPoint(const QRVPoint& p, QRVColor color) {
  if (context_) context_->drawPoint(ToTk(p), ToTk(color));
}

template <class I>
void DrawContextImpl<I>::drawPixel(const QRVPoint& p, QRVColor color) {
  if (!context_) return;
  context_->saveGlobalState();
  context_->setFillColor(ToTk(color));
  context_->drawRect(tk::Rect{p.x - 0.25, p.y - 0.25, p.x + 0.25, p.y + 0.25}, tk::kDrawFilled);
  context_->restoreGlobalState();
}

template <class I>
void DrawContextImpl<I>::drawPolygon(const QRVPoint* points, int count, int drawStyle) {
  if (!context_ || !points || count < 2) return;
  std::vector<tk::Point> pts;
  pts.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) pts.push_back(ToTk(points[i]));
  context_->drawPolygon(pts.data(), count, drawStyle);
}

template <class I>
void DrawContextImpl<I>::drawBitmap(QRVBitmap* bitmap, const QRVRect& dest, const QRVPoint& offset, float alpha) {
  if (!context_ || !bitmap) return;
  if (tk::Bitmap* b = ToolkitBitmap(bitmap)) context_->drawBitmap(b, ToTk(dest), ToTk(offset), alpha);
}

template <class I>
void DrawContextImpl<I>::drawString(const char* utf8, const QRVPoint& baseline) {
  if (context_ && utf8) context_->drawString(utf8, ToTk(baseline));
}

template <class I>
void DrawContextImpl<I>::drawString(const char* utf8, const QRVRect& rect, int align) {
  if (context_ && utf8) context_->drawString(utf8, ToTk(rect), align);
}

template <class I>
void DrawContextImpl<I>::setFont(QRVFont* font) {
  if (!context_ || !font) return;
  tk::Font* f = ToolkitFont(font);
  if (!f) return;
  font->retain();
  if (font_) font_->release();
  font_ = font;
  context_->setFont(f);
}

template <class I>
void DrawContextImpl<I>::clearRect(const QRVRect& rect) {
  if (context_) context_->clearRect(ToTk(rect));
}

template <class I>
void DrawContextImpl<I>::drawRotatedString(const char* utf8, const QRVPoint& at, const double& angle,
                                           double fontSize, QRVColor background) {
  if (!context_ || !utf8) return;
  double w = context_->getStringWidth(utf8);
  if (!(fontSize > 0)) fontSize = context_->getFont() ? context_->getFont()->getSize() : 12.0;
  context_->saveGlobalState();
  cairo_matrix_t m;
  cairo_matrix_init_translate(&m, at.x, at.y);
  cairo_matrix_rotate(&m, angle * M_PI / 180.0);
  bool isIdentity = m.xx == 1 && m.yx == 0 && m.xy == 0 && m.yy == 1 && m.x0 == 0 && m.y0 == 0;
  if (!isIdentity) cairo_transform(context_->cairo(), &m);
  tk::Rect box{0, -fontSize, w, 0};
  if (background.alpha != 0) {
    box.right = w + 4;
    context_->setFillColor(ToTk(background));
    context_->drawRect(box, tk::kDrawFilled);
  }
  context_->drawString(utf8, box, tk::kCenterText);
  context_->restoreGlobalState();
}

template <class I>
void DrawContextImpl<I>::setFillColor(QRVColor color) {
  if (context_) context_->setFillColor(ToTk(color));
}

template <class I>
void DrawContextImpl<I>::setFrameColor(QRVColor color) {
  if (context_) context_->setFrameColor(ToTk(color));
}

template <class I>
void DrawContextImpl<I>::setFontColor(QRVColor color) {
  if (context_) context_->setFontColor(ToTk(color));
}

template <class I>
void DrawContextImpl<I>::setGlobalAlpha(float alpha) {
  if (context_) context_->setGlobalAlpha(alpha);
}

template <class I>
double DrawContextImpl<I>::getGlobalAlpha() {
  return context_ ? context_->getGlobalAlpha() : 1.0;
}

template <class I>
void DrawContextImpl<I>::setClipRect(const QRVRect& rect) {
  if (context_) context_->setClipRect(ToTk(rect));
}

template <class I>
void DrawContextImpl<I>::getClipRect(QRVRect& rect) {
  rect = context_ ? ToQRV(context_->getClipRect().normalized()) : QRVRect{};
}

template <class I>
void DrawContextImpl<I>::resetClipRect() {
  if (context_) context_->resetClipRect();
}

template <class I>
void DrawContextImpl<I>::beginDraw() {}

template <class I>
void DrawContextImpl<I>::endDraw() {
  if (context_) cairo_surface_flush(cairo_get_target(context_->cairo()));
}

template <class I>
void DrawContextImpl<I>::setDrawMode(int mode) {
  if (context_) context_->setDrawMode(static_cast<std::uint32_t>(mode));
}

template <class I>
double DrawContextImpl<I>::getStringWidth(const char* utf8) {
  return (context_ && utf8) ? context_->getStringWidth(utf8) : 0.0;
}

template <class I>
QRVGradient* DrawContextImpl<I>::createGradient(double start1, double start2, QRVColor color1, QRVColor color2) {
  return new QRVGradient_VSTGUI(start1, start2, color1, color2);
}

template <class I>
QRVGraphicsPath* DrawContextImpl<I>::createGraphicsPath() {
  return new QRVGraphicsPath_VSTGUI();
}

template <class I>
void DrawContextImpl<I>::drawGraphicsPath(QRVGraphicsPath* path, int pathDrawMode) {
  auto* p = dynamic_cast<QRVGraphicsPath_VSTGUI*>(path);
  if (!context_ || !p) return;
  context_->drawGraphicsPath(p->path(), (pathDrawMode == 0 || pathDrawMode == 1) ? pathDrawMode : 2);
}

template <class I>
void DrawContextImpl<I>::fillLinearGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& start,
                                            const QRVPoint& end, bool evenOdd, const double transform[6]) {
  auto* p = dynamic_cast<QRVGraphicsPath_VSTGUI*>(path);
  auto* g = dynamic_cast<QRVGradient_VSTGUI*>(gradient);
  if (!context_ || !p || !g) return;
  cairo_matrix_t m;
  bool use = ToMatrix(transform, m);
  context_->fillLinearGradient(p->path(), g->gradient(), ToTk(start), ToTk(end), evenOdd, use ? &m : nullptr);
}

template <class I>
void DrawContextImpl<I>::fillLinearGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& start,
                                            const QRVPoint& end, bool evenOdd) {
  fillLinearGradient(path, gradient, start, end, evenOdd, nullptr);
}

template <class I>
void DrawContextImpl<I>::fillRadialGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& centre,
                                            double radius, const QRVPoint& originOffset, bool evenOdd,
                                            const double transform[6]) {
  auto* p = dynamic_cast<QRVGraphicsPath_VSTGUI*>(path);
  auto* g = dynamic_cast<QRVGradient_VSTGUI*>(gradient);
  if (!context_ || !p || !g) return;
  cairo_matrix_t m;
  bool use = ToMatrix(transform, m);
  context_->fillRadialGradient(p->path(), g->gradient(), ToTk(centre), radius, ToTk(originOffset), evenOdd,
                               use ? &m : nullptr);
}

template <class I>
void DrawContextImpl<I>::fillRadialGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& centre,
                                            double radius, const QRVPoint& originOffset, bool evenOdd) {
  fillRadialGradient(path, gradient, centre, radius, originOffset, evenOdd, nullptr);
}

template class DrawContextImpl<QRVDrawContext>;
template class DrawContextImpl<QRVOffscreenContext>;

// ---------------------------------------------------------------- gradient and path

QRVGradient_VSTGUI::QRVGradient_VSTGUI(double start1, double start2, QRVColor color1, QRVColor color2)
    : gradient_(new tk::Gradient(start1, start2, ToTk(color1), ToTk(color2))) {}

QRVGradient_VSTGUI::~QRVGradient_VSTGUI() { gradient_->forget(); }

void QRVGradient_VSTGUI::addColorStop(double offset, QRVColor color) { gradient_->addColorStop(offset, ToTk(color)); }

void QRVGradient_VSTGUI::reset(double start1, double start2, QRVColor color1, QRVColor color2) {
  gradient_->reset(start1, start2, ToTk(color1), ToTk(color2));
}

void QRVGraphicsPath_VSTGUI::addArc(const QRVRect& rect, double startAngle, double endAngle, bool clockwise) {
  path_->addArc(ToTk(rect), startAngle, endAngle, clockwise);
}
void QRVGraphicsPath_VSTGUI::addEllipse(const QRVRect& rect) { path_->addEllipse(ToTk(rect)); }
void QRVGraphicsPath_VSTGUI::addRect(const QRVRect& rect) { path_->addRect(ToTk(rect)); }
void QRVGraphicsPath_VSTGUI::addPath(QRVGraphicsPath* path) {
  if (auto* p = dynamic_cast<QRVGraphicsPath_VSTGUI*>(path)) path_->addPath(*p->path_);
}
void QRVGraphicsPath_VSTGUI::addLine(const QRVPoint& to) { path_->addLine(ToTk(to)); }
void QRVGraphicsPath_VSTGUI::addBezierCurve(const QRVPoint& c1, const QRVPoint& c2, const QRVPoint& end) {
  path_->addBezierCurve(ToTk(c1), ToTk(c2), ToTk(end));
}
void QRVGraphicsPath_VSTGUI::beginSubpath(const QRVPoint& start) { path_->beginSubpath(ToTk(start)); }
void QRVGraphicsPath_VSTGUI::closeSubpath() { path_->closeSubpath(); }
void QRVGraphicsPath_VSTGUI::addRoundRect(const QRVRect& rect, double radius) {
  path_->addRoundRect(ToTk(rect), radius);
}
bool QRVGraphicsPath_VSTGUI::hitTest(const QRVPoint& point, bool evenOdd) {
  return path_->hitTest(ToTk(point), evenOdd);
}
QRVPoint QRVGraphicsPath_VSTGUI::getCurrentPosition() { return ToQRV(path_->getCurrentPosition()); }
QRVRect QRVGraphicsPath_VSTGUI::getBoundingBox() { return ToQRV(path_->getBoundingBox()); }

// ---------------------------------------------------------------- offscreen

CQRVOffscreenContextWrapper::CQRVOffscreenContextWrapper(double width, double height, double scaleFactor,
                                                         bool withSurface)
    : width_(width), height_(height), scale_(scaleFactor > 0 ? scaleFactor : 1.0) {
  int pw = static_cast<int>(std::ceil(width_ * scale_));
  int ph = static_cast<int>(std::ceil(height_ * scale_));
  if (!withSurface || pw <= 0 || ph <= 0 || pw > 16384 || ph > 16384) return;
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    return;
  }
  cr_ = cairo_create(surface_);
  cairo_scale(cr_, scale_, scale_);
  own_ = new tk::DrawContext(cr_, tk::Rect{0, 0, width_, height_});
  own_->setDrawMode(tk::kAntiAliasing);
  attach(own_);
}

CQRVOffscreenContextWrapper::~CQRVOffscreenContextWrapper() {
  detach();
  if (own_) own_->forget();
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
}

void CQRVOffscreenContextWrapper::retain() { ++count_; }

void CQRVOffscreenContextWrapper::release() {
  if (--count_ <= 0) delete this;
}

void CQRVOffscreenContextWrapper::setOrigin(const QRVPoint& origin) {
  if (own_) own_->setOffset(ToTk(origin));
}

void CQRVOffscreenContextWrapper::copyTo(QRVDrawContext* context, const QRVRect& dest) {
  if (!surface_ || !context) return;
  cairo_surface_flush(surface_);
  auto* p = new tk::PlatformBitmap(cairo_surface_reference(surface_));
  p->setScaleFactor(scale_);
  CQRVBitmapWrapper bitmap(new CQRVBitmap(p), false);
  p->forget();
  double alpha = context->getGlobalAlpha();
  context->setGlobalAlpha(1.0f);
  context->drawBitmap(&bitmap, dest, QRVPoint{}, 1.0f);
  context->setGlobalAlpha(static_cast<float>(alpha));
}

QRVBitmap* CQRVOffscreenContextWrapper::getBitmap() {
  if (!surface_) return nullptr;
  cairo_surface_flush(surface_);
  auto* p = new tk::PlatformBitmap(cairo_surface_reference(surface_));
  p->setScaleFactor(scale_);
  auto* b = new CQRVBitmap(p);
  p->forget();
  return new CQRVBitmapWrapper(b, true);
}

}  // namespace Quarrytone
