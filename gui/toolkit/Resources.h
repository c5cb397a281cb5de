// Bitmaps with several resolutions, pixel access, fonts, gradients and graphics paths.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <string>
#include <vector>

#include "gui/toolkit/Geometry.h"

namespace tk {

// One decoded image at a scale factor (pixels per point).
class PlatformBitmap : public RefCounted {
 public:
  // Null when the bytes are not a PNG cairo can decode.
  static PlatformBitmap* createFromPng(const unsigned char* data, std::size_t size);
  // A transparent image of the given pixel size.
  static PlatformBitmap* createEmpty(int widthPixels, int heightPixels);
  // Shares the surface (an offscreen context hands out its own this way).
  explicit PlatformBitmap(cairo_surface_t* surface);
  ~PlatformBitmap() override;

  cairo_surface_t* surface() const { return surface_; }
  int pixelWidth() const;
  int pixelHeight() const;
  double scaleFactor() const { return scale_; }
  void setScaleFactor(double s) { scale_ = s > 0 ? s : 1.0; }

  // The image drawn at `scale` device pixels per image pixel with cairo's filter, kMargin pixels of
  // transparency around it, so that drawing it again at that scale is a copy rather than a filtering of
  // the whole image again. Kept for the last two scales asked for; made only for decoded images (they
  // never change) of at most kMaxCopiedPixels, else null: film strips show one frame at a time, and
  // filtering the frame shown costs less than a copy of every frame (and its memory).
  static constexpr int kMargin = 2;
  static constexpr int kMaxCopiedPixels = 1 << 20;
  cairo_surface_t* scaledCopy(double scale);
  // Pixels were written: scaled copies are dropped and no more are made.
  void pixelsChanged();

 private:
  cairo_surface_t* surface_;
  double scale_ = 1.0;
  bool decoded_ = false;
  struct Scaled {
    double scale = 0.0;
    cairo_surface_t* surface = nullptr;
  };
  Scaled scaled_[2];
};

// A picture in points with one or more resolutions; drawing picks the sharpest.
class Bitmap : public RefCounted {
 public:
  Bitmap() = default;
  explicit Bitmap(PlatformBitmap* platformBitmap);
  void addBitmap(PlatformBitmap* platformBitmap);
  PlatformBitmap* getPlatformBitmap() const;
  virtual double getWidth() const;
  virtual double getHeight() const;
  // Hook for bitmaps that decode on first use.
  virtual void prepare() {}

 private:
  std::vector<Ref<PlatformBitmap>> reps_;
};

// Walks the pixels of a bitmap's sharpest image; optionally unpremultiplied.
class BitmapPixelAccess : public RefCounted {
 public:
  static BitmapPixelAccess* create(Bitmap* bitmap, bool alphaPremultiplied);
  ~BitmapPixelAccess() override;
  bool setPosition(unsigned x, unsigned y);
  bool next();
  bool previous();
  unsigned getX() const { return x_; }
  unsigned getY() const { return y_; }
  Color getColor() const;
  void setColor(Color c);

 private:
  BitmapPixelAccess() = default;
  Ref<Bitmap> bitmap_;
  PlatformBitmap* platform_ = nullptr;
  cairo_surface_t* surface_ = nullptr;
  unsigned char* data_ = nullptr;
  int stride_ = 0;
  unsigned width_ = 0, height_ = 0, x_ = 0, y_ = 0;
  bool premultiplied_ = true;
};

enum FontStyle : int { kNormalFace = 0, kBoldFace = 1, kUnderlineFace = 2, kItalicFace = 4 };

// A font by family name, size in layout points and style bits.
class Font : public RefCounted {
 public:
  Font(const std::string& name, double size, int style = kNormalFace) : name_(name), size_(size), style_(style) {}
  const std::string& getName() const { return name_; }
  double getSize() const { return size_; }
  int getStyle() const { return style_; }
  void setSize(double size) { size_ = size; }

 private:
  std::string name_;
  double size_;
  int style_;
};

// The toolkit's standard font (Arial 12).
Font* standardFont();
// Drops pango's process-wide font map with the cairo fonts it caches, for a tool that draws
// once and then releases cairo's own caches; the next text drawn builds a new map.
void ReleaseFontCaches();

class Gradient : public RefCounted {
 public:
  struct Stop {
    double offset;
    Color color;
  };
  Gradient(double start1, double start2, Color color1, Color color2) { reset(start1, start2, color1, color2); }
  void addColorStop(double offset, Color color);
  void reset(double start1, double start2, Color color1, Color color2);
  const std::vector<Stop>& stops() const { return stops_; }

 private:
  std::vector<Stop> stops_;
};

class GraphicsPath : public RefCounted {
 public:
  enum class Op { Move, Line, Curve, Close, Arc, Ellipse, Rect, RoundRect };
  struct Element {
    Op op;
    double v[6];
    bool clockwise;
  };
  void addArc(const Rect& r, double startAngle, double endAngle, bool clockwise);
  void addEllipse(const Rect& r);
  void addRect(const Rect& r);
  void addRoundRect(const Rect& r, double radius);
  void addPath(const GraphicsPath& other);
  void addLine(const Point& to);
  void addBezierCurve(const Point& c1, const Point& c2, const Point& end);
  void beginSubpath(const Point& start);
  void closeSubpath();
  bool hitTest(const Point& p, bool evenOdd) const;
  Point getCurrentPosition() const;
  Rect getBoundingBox() const;
  // Appends this path to the cairo context's current path.
  void emit(cairo_t* cr) const;
  const std::vector<Element>& elements() const { return elements_; }

 private:
  std::vector<Element> elements_;
};

}  // namespace tk
