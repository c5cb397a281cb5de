// Embedded images and shared fonts of the module, and the engine's resource classes over the
// toolkit: bitmaps (decoded lazily, once, at scale factor 2), pixel access and fonts.
// GUI thread only; module initialisation happens before any editor exists.
#pragma once

#include <cstddef>
#include <string>

#include "gui/engine/QRVEngineServices.h"
#include "gui/engine/QRVGraphics.h"
#include "gui/toolkit/Resources.h"

// The toolkit bitmap of one embedded image: records the id and decodes on first use.
class CQRVBitmap : public tk::Bitmap {
 public:
  explicit CQRVBitmap(int resourceId) : resourceId_(resourceId) {}
  // Decodes PNG bytes now; bytes that do not decode give an empty bitmap.
  CQRVBitmap(const unsigned char* png, std::size_t size);
  // Wraps an already decoded image (offscreen surfaces).
  explicit CQRVBitmap(tk::PlatformBitmap* bitmap) : tk::Bitmap(bitmap), resourceId_(-1), loaded_(true) {}
  int resourceId() const { return resourceId_; }
  bool isLoaded() const { return loaded_; }
  void prepare() override;
  double getWidth() const override;
  double getHeight() const override;

 private:
  void adopt(tk::PlatformBitmap* bitmap);
  int resourceId_;
  bool loaded_ = false;
};

class CQRVFontDesc : public tk::Font {
 public:
  CQRVFontDesc(const char* name, double size, int style) : tk::Font(name ? name : "", size, style) {}
};

namespace Quarrytone {

// One embedded PNG; the table is generated at build time.
struct EmbeddedImage {
  int id;
  const unsigned char* data;
  std::size_t size;
  int width, height;  // pixels
  int frames, columns, rows;
  const char* role;
};
const EmbeddedImage* FindEmbeddedImage(int id);
// Defined by the generated EmbeddedImages.cpp.
const EmbeddedImage* GeneratedImageTable(std::size_t& count);
const EmbeddedImage* EmbeddedImages(std::size_t& count);

// Points per layout point in every embedded image.
inline constexpr double kImageScaleFactor = 2.0;
// What an unknown id yields: a blank image of this many pixels.
inline constexpr int kBlankImageWidth = 400;
inline constexpr int kBlankImageHeight = 350;

class CQRVBitmapWrapper : public QRVBitmap {
 public:
  // A bitmap for an embedded image; uncounted unless said otherwise.
  explicit CQRVBitmapWrapper(int resourceId, bool counted = false);
  // Takes over one reference of a toolkit bitmap.
  CQRVBitmapWrapper(CQRVBitmap* bitmap, bool counted);
  ~CQRVBitmapWrapper() override;
  void retain() override;
  void release() override;
  double getWidth() override;
  double getHeight() override;
  QRVBitmapPixelAcces* createPixelAccess(bool alphaPremultiplied) override;

  CQRVBitmap* bitmap() const { return bitmap_; }
  int count() const { return count_; }
  bool isCounted() const { return counted_; }

 private:
  CQRVBitmap* bitmap_;
  int count_ = 1;
  bool counted_;
};

class CQRVBitmapPixelAccessWrapper : public QRVBitmapPixelAcces {
 public:
  explicit CQRVBitmapPixelAccessWrapper(tk::BitmapPixelAccess* access) : access_(access) {}
  ~CQRVBitmapPixelAccessWrapper() override;
  void retain() override;
  void release() override;
  bool setPosition(unsigned x, unsigned y) override;
  bool next() override;
  bool previous() override;
  unsigned getX() override;
  unsigned getY() override;
  void getColor(QRVColor& color) override;
  void setColor(QRVColor color) override;

 private:
  tk::BitmapPixelAccess* access_;
  int count_ = 1;
};

class CQRVFontWrapper : public QRVFont {
 public:
  CQRVFontWrapper(const char* name, double size, int style);
  ~CQRVFontWrapper() override;
  void retain() override;
  void release() override;
  const char* getName() override;
  double getSize() override;
  CQRVFontDesc* font() const { return font_; }
  int count() const { return count_; }

 private:
  CQRVFontDesc* font_;
  int count_ = 1;
};

// The toolkit font behind an engine font made by this back-end, else null.
tk::Font* ToolkitFont(QRVFont* font);
// The toolkit bitmap behind an engine bitmap made by this back-end, else null.
tk::Bitmap* ToolkitBitmap(QRVBitmap* bitmap);

// Module lifetime: builds the shared fonts, their aliases and one holder per embedded image;
// Shutdown frees them. Both are idempotent.
void InitializeResources();
void ShutdownResources();

// Aliases set after the fonts exist.
extern QRVFont* gFontPresetBar14;
extern QRVFont* gFontOverlay14;
extern QRVFont* gFontPresetBar10;
extern QRVFont* gFontPresetBar8;
extern QRVFont* gFontPresetBar6;
// A new "Helvetica" 12 regular font on every call; the caller releases it.
QRVFont* CreateHelvetica12();

// Writes every embedded image as "<id>.png" into the directory, plus "knob-frames.png", a
// contact sheet of every knob and switch frame. False when a file cannot be written.
bool WriteArtwork(const std::string& directory, std::string* error = nullptr);

}  // namespace Quarrytone
