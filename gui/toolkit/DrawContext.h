// Drawing onto a cairo surface in layout points: colours, line style, font, global alpha, clip,
// draw mode and an offset stack for nested containers. Text goes through pango with absolute
// sizes, so a font size is layout points at every zoom.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "gui/toolkit/Geometry.h"
#include "gui/toolkit/Resources.h"

namespace tk {

struct LineStyle {
  int cap = 0;   // 0 butt, 1 round, 2 square
  int join = 0;  // 0 miter, 1 round, 2 bevel
  double dashPhase = 0.0;
  std::vector<double> dashes;
};

enum DrawStyle { kDrawStroked = 0, kDrawFilled = 1, kDrawFilledAndStroked = 2 };
enum HoriAlign { kLeftText = 0, kCenterText = 1, kRightText = 2 };
enum DrawModeBits : std::uint32_t { kAliasing = 0, kAntiAliasing = 1, kNonIntegralMode = 0xF0000000u };

class DrawContext : public RefCounted {
 public:
  // Borrows cr; the caller has already applied the device scale. surfaceRect is the area that may
  // be drawn, in layout points.
  DrawContext(cairo_t* cr, const Rect& surfaceRect);
  ~DrawContext() override;

  cairo_t* cairo() const { return cr_; }

  void saveGlobalState();
  void restoreGlobalState();

  // Everything drawn is shifted by the offset (containers draw their children in their own coordinates).
  void setOffset(const Point& offset);
  Point getOffset() const { return state_.offset; }

  void setLineWidth(double w) { state_.lineWidth = w; }
  double getLineWidth() const { return state_.lineWidth; }
  void setLineStyle(const LineStyle& style) { state_.lineStyle = style; }
  void setFillColor(Color c) { state_.fill = c; }
  void setFrameColor(Color c) { state_.frame = c; }
  void setFontColor(Color c) { state_.fontColor = c; }
  Color getFillColor() const { return state_.fill; }
  Color getFrameColor() const { return state_.frame; }
  Color getFontColor() const { return state_.fontColor; }
  void setFont(Font* font) { state_.font = font; }
  Font* getFont() const { return state_.font.get(); }
  void setGlobalAlpha(float a) { state_.alpha = std::clamp(a, 0.0f, 1.0f); }
  float getGlobalAlpha() const { return state_.alpha; }
  void setDrawMode(std::uint32_t mode) { state_.drawMode = mode; }
  std::uint32_t getDrawMode() const { return state_.drawMode; }

  // In current coordinates; replaces the clip (bounded by the surface).
  void setClipRect(const Rect& r);
  Rect getClipRect() const;
  void resetClipRect();

  void drawLine(const Point& from, const Point& to);
  void drawLines(const Point* points, int count);
  void drawRect(const Rect& r, int style);
  void drawArc(const Rect& r, double startAngle, double endAngle, int style);
  void drawEllipse(const Rect& r, int style);
  void drawPolygon(const Point* points, int count, int style);
  void drawPoint(const Point& p, Color c);
  void clearRect(const Rect& r);
  // Draws the part of the bitmap starting at offset (bitmap points) into dest, clipped to dest.
  void drawBitmap(Bitmap* bitmap, const Rect& dest, const Point& offset, float alpha);
  void drawString(const std::string& utf8, const Point& baseline);
  void drawString(const std::string& utf8, const Rect& r, int align);
  double getStringWidth(const std::string& utf8);
  void drawGraphicsPath(GraphicsPath* path, int mode, const cairo_matrix_t* transform = nullptr);
  void fillLinearGradient(GraphicsPath* path, Gradient* gradient, const Point& start, const Point& end,
                          bool evenOdd, const cairo_matrix_t* transform = nullptr);
  void fillRadialGradient(GraphicsPath* path, Gradient* gradient, const Point& centre, double radius,
                          const Point& originOffset, bool evenOdd, const cairo_matrix_t* transform = nullptr);

  // Applies an extra affine transform until the matching pop.
  void pushTransform(const cairo_matrix_t& m);
  void popTransform();

 private:
  struct State {
    Color fill{255, 255, 255, 255};
    Color frame{0, 0, 0, 255};
    Color fontColor{255, 255, 255, 255};
    double lineWidth = 1.0;
    LineStyle lineStyle;
    Ref<Font> font;
    float alpha = 1.0f;
    std::uint32_t drawMode = kAntiAliasing;
    Rect clip;  // absolute (offset applied)
    Point offset;
  };
  void applySource(Color c, double extraAlpha = 1.0);
  void applyLine();
  void applyAntialias();
  void applyClip();
  void finishShape(int style);
  // Starts a new path in the unit-circle space of rect (saved state; the caller restores it).
  void beginEllipseSpace(const Rect& rect);
  // Integral mode (no kNonIntegralMode bit): coordinates land on whole device pixels, or on pixel
  // centres for a stroke of odd device width, so edges and hairlines stay crisp at every zoom.
  Point align(const Point& p, bool stroke) const;
  Rect align(const Rect& r, bool stroke) const;
  void* makeLayout(const std::string& utf8);  // PangoLayout*

  cairo_t* cr_;
  Rect surface_;
  State state_;
  std::vector<State> stack_;
};

}  // namespace tk

namespace tk {
// Width of a text in a font, without a surface to draw on.
double MeasureString(Font* font, const std::string& utf8);
}  // namespace tk
