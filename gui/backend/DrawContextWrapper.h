// QRVDrawContext over a toolkit draw context, the offscreen context, gradients and paths.
// A draw context wrapper is live only while a toolkit context is attached (during a draw pass).
#pragma once

#include <cairo.h>

#include "gui/engine/QRVGraphics.h"
#include "gui/toolkit/DrawContext.h"

namespace Quarrytone {

// The drawing operations, shared by the plain and the offscreen context.
template <class Interface>
class DrawContextImpl : public Interface {
 public:
  ~DrawContextImpl() override { detach(); }
  void attach(tk::DrawContext* context);
  void detach();
  tk::DrawContext* toolkitContext() const { return context_; }

  void setLineWidth(double width) override;
  void setLineStyle(int cap, int join, double dashPhase, int dashCount, const double* dashes) override;
  void setLineStyleSolid() override;
  void moveTo(const QRVPoint& p) override;
  void lineTo(const QRVPoint& p) override;
  void drawLine(const double& x1, const double& y1, const double& x2, const double& y2) override;
  void drawLine(const QRVPoint& from, const QRVPoint& to) override;
  void drawRect(const QRVRect& rect, int drawStyle) override;
  void drawArc(const QRVRect& rect, float startAngle, float endAngle, int drawStyle) override;
  void drawEllipse(const QRVRect& rect, int drawStyle) override;
  void drawDot(const QRVPoint& centre, double size) override;
  void drawPoint(const QRVPoint& p, QRVColor color) override;
  void drawPixel(const QRVPoint& p, QRVColor color) override;
  void drawPolygon(const QRVPoint* points, int count, int drawStyle) override;
  void drawBitmap(QRVBitmap* bitmap, const QRVRect& dest, const QRVPoint& offset, float alpha) override;
  void drawString(const char* utf8, const QRVPoint& baseline) override;
  void drawString(const char* utf8, const QRVRect& rect, int align) override;
  void setFont(QRVFont* font) override;
  void clearRect(const QRVRect& rect) override;
  void drawRotatedString(const char* utf8, const QRVPoint& at, const double& angle, double fontSize,
                         QRVColor background) override;
  void setFillColor(QRVColor color) override;
  void setFrameColor(QRVColor color) override;
  void setFontColor(QRVColor color) override;
  void setGlobalAlpha(float alpha) override;
  double getGlobalAlpha() override;
  void setClipRect(const QRVRect& rect) override;
  void getClipRect(QRVRect& rect) override;
  void resetClipRect() override;
  void beginDraw() override;
  void endDraw() override;
  void setDrawMode(int mode) override;
  double getStringWidth(const char* utf8) override;
  QRVGradient* createGradient(double start1, double start2, QRVColor color1, QRVColor color2) override;
  QRVGraphicsPath* createGraphicsPath() override;
  void drawGraphicsPath(QRVGraphicsPath* path, int pathDrawMode) override;
  void fillLinearGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& start, const QRVPoint& end,
                          bool evenOdd, const double transform[6]) override;
  void fillLinearGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& start, const QRVPoint& end,
                          bool evenOdd) override;
  void fillRadialGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& centre, double radius,
                          const QRVPoint& originOffset, bool evenOdd, const double transform[6]) override;
  void fillRadialGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& centre, double radius,
                          const QRVPoint& originOffset, bool evenOdd) override;

 protected:
  tk::DrawContext* context_ = nullptr;
  QRVFont* font_ = nullptr;  // retained while current
  QRVPoint pen_;
};

class QRVDrawContextWrapper : public DrawContextImpl<QRVDrawContext> {};

class QRVGradient_VSTGUI : public QRVGradient {
 public:
  QRVGradient_VSTGUI(double start1, double start2, QRVColor color1, QRVColor color2);
  ~QRVGradient_VSTGUI() override;
  void addColorStop(double offset, QRVColor color) override;
  void release() override { delete this; }
  void reset(double start1, double start2, QRVColor color1, QRVColor color2) override;
  tk::Gradient* gradient() const { return gradient_; }

 private:
  tk::Gradient* gradient_;
};

class QRVGraphicsPath_VSTGUI : public QRVGraphicsPath {
 public:
  QRVGraphicsPath_VSTGUI() : path_(new tk::GraphicsPath()) {}
  ~QRVGraphicsPath_VSTGUI() override { path_->forget(); }
  void addArc(const QRVRect& rect, double startAngle, double endAngle, bool clockwise) override;
  void addEllipse(const QRVRect& rect) override;
  void addRect(const QRVRect& rect) override;
  void addPath(QRVGraphicsPath* path) override;
  void addLine(const QRVPoint& to) override;
  void addBezierCurve(const QRVPoint& control1, const QRVPoint& control2, const QRVPoint& end) override;
  void beginSubpath(const QRVPoint& start) override;
  void closeSubpath() override;
  void addRoundRect(const QRVRect& rect, double radius) override;
  bool hitTest(const QRVPoint& point, bool evenOdd) override;
  QRVPoint getCurrentPosition() override;
  QRVRect getBoundingBox() override;
  void release() override { delete this; }
  tk::GraphicsPath* path() const { return path_; }

 private:
  tk::GraphicsPath* path_;
};

// An offscreen surface of width x height points at a scale factor; without a window it has none.
class CQRVOffscreenContextWrapper : public DrawContextImpl<QRVOffscreenContext> {
 public:
  CQRVOffscreenContextWrapper(double width, double height, double scaleFactor, bool withSurface);
  ~CQRVOffscreenContextWrapper() override;
  void retain() override;
  void release() override;
  void setOrigin(const QRVPoint& origin) override;
  void copyTo(QRVDrawContext* context, const QRVRect& dest) override;
  QRVBitmap* getBitmap() override;
  bool hasSurface() const { return surface_ != nullptr; }
  int count() const { return count_; }

 private:
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  tk::DrawContext* own_ = nullptr;
  double width_, height_, scale_;
  int count_ = 1;
};

}  // namespace Quarrytone
