#include "gui/backend/Resources.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <array>
#include <memory>

CQRVBitmap::CQRVBitmap(const unsigned char* png, std::size_t size) : resourceId_(-1), loaded_(true) {
  adopt(tk::PlatformBitmap::createFromPng(png, size));
}

void CQRVBitmap::adopt(tk::PlatformBitmap* p) {
  // A failed decode stays empty: size 0, drawing does nothing.
  if (!p) return;
  p->setScaleFactor(Quarrytone::kImageScaleFactor);
  addBitmap(p);
  p->forget();
}

void CQRVBitmap::prepare() {
  if (loaded_) return;
  loaded_ = true;
  if (const Quarrytone::EmbeddedImage* image = Quarrytone::FindEmbeddedImage(resourceId_))
    adopt(tk::PlatformBitmap::createFromPng(image->data, image->size));
  else
    adopt(tk::PlatformBitmap::createEmpty(Quarrytone::kBlankImageWidth, Quarrytone::kBlankImageHeight));
}

double CQRVBitmap::getWidth() const {
  const_cast<CQRVBitmap*>(this)->prepare();
  return tk::Bitmap::getWidth();
}

double CQRVBitmap::getHeight() const {
  const_cast<CQRVBitmap*>(this)->prepare();
  return tk::Bitmap::getHeight();
}

namespace Quarrytone {

const EmbeddedImage* EmbeddedImages(std::size_t& count) { return GeneratedImageTable(count); }

const EmbeddedImage* FindEmbeddedImage(int id) {
  std::size_t n = 0;
  const EmbeddedImage* table = EmbeddedImages(n);
  for (std::size_t i = 0; i < n; ++i)
    if (table[i].id == id) return &table[i];
  return nullptr;
}

CQRVBitmapWrapper::CQRVBitmapWrapper(int resourceId, bool counted)
    : bitmap_(new CQRVBitmap(resourceId)), counted_(counted) {}

CQRVBitmapWrapper::CQRVBitmapWrapper(CQRVBitmap* bitmap, bool counted) : bitmap_(bitmap), counted_(counted) {}

CQRVBitmapWrapper::~CQRVBitmapWrapper() {
  if (bitmap_) bitmap_->forget();
}

void CQRVBitmapWrapper::retain() {
  if (counted_) ++count_;
}

void CQRVBitmapWrapper::release() {
  // Embedded images live until their holder deletes them.
  if (!counted_) return;
  if (--count_ == 0) delete this;
}

double CQRVBitmapWrapper::getWidth() { return bitmap_ ? bitmap_->getWidth() : 0.0; }
double CQRVBitmapWrapper::getHeight() { return bitmap_ ? bitmap_->getHeight() : 0.0; }

QRVBitmapPixelAcces* CQRVBitmapWrapper::createPixelAccess(bool alphaPremultiplied) {
  if (!bitmap_) return nullptr;
  tk::BitmapPixelAccess* a = tk::BitmapPixelAccess::create(bitmap_, alphaPremultiplied);
  if (!a) return nullptr;
  return new CQRVBitmapPixelAccessWrapper(a);
}

CQRVBitmapPixelAccessWrapper::~CQRVBitmapPixelAccessWrapper() {
  if (access_) access_->forget();
}

void CQRVBitmapPixelAccessWrapper::retain() {
  ++count_;
  access_->remember();
}

void CQRVBitmapPixelAccessWrapper::release() {
  // The wrapper's own reference goes with the wrapper.
  if (--count_ == 0) {
    delete this;
    return;
  }
  access_->forget();
}

bool CQRVBitmapPixelAccessWrapper::setPosition(unsigned x, unsigned y) { return access_->setPosition(x, y); }
bool CQRVBitmapPixelAccessWrapper::next() { return access_->next(); }
bool CQRVBitmapPixelAccessWrapper::previous() { return access_->previous(); }
unsigned CQRVBitmapPixelAccessWrapper::getX() { return access_->getX(); }
unsigned CQRVBitmapPixelAccessWrapper::getY() { return access_->getY(); }

void CQRVBitmapPixelAccessWrapper::getColor(QRVColor& color) {
  tk::Color c = access_->getColor();
  color = QRVColor{c.r, c.g, c.b, c.a};
}

void CQRVBitmapPixelAccessWrapper::setColor(QRVColor color) {
  access_->setColor(tk::Color{color.red, color.green, color.blue, color.alpha});
}

CQRVFontWrapper::CQRVFontWrapper(const char* name, double size, int style)
    : font_(new CQRVFontDesc(name, size, style)) {}

CQRVFontWrapper::~CQRVFontWrapper() {
  if (font_) font_->forget();
}

void CQRVFontWrapper::retain() {
  ++count_;
  font_->remember();
}

void CQRVFontWrapper::release() {
  if (--count_ == 0) {
    delete this;
    return;
  }
  font_->forget();
}

const char* CQRVFontWrapper::getName() { return font_->getName().c_str(); }
double CQRVFontWrapper::getSize() { return font_->getSize(); }

tk::Font* ToolkitFont(QRVFont* font) {
  auto* w = dynamic_cast<CQRVFontWrapper*>(font);
  return w ? w->font() : nullptr;
}

tk::Bitmap* ToolkitBitmap(QRVBitmap* bitmap) {
  auto* w = dynamic_cast<CQRVBitmapWrapper*>(bitmap);
  return w ? w->bitmap() : nullptr;
}

namespace {

struct SharedResources {
  std::array<QRVFont*, 10> fonts{};
  std::vector<std::unique_ptr<QRVBitmapAutoReleaseHandler>> holders;
};
SharedResources* gShared = nullptr;

}  // namespace

QRVFont* gFontPresetBar14 = nullptr;
QRVFont* gFontOverlay14 = nullptr;
QRVFont* gFontPresetBar10 = nullptr;
QRVFont* gFontPresetBar8 = nullptr;
QRVFont* gFontPresetBar6 = nullptr;

void InitializeResources() {
  if (gShared) return;
  gShared = new SharedResources();
  struct FontDef {
    const char* name;
    double size;
    int style;
  };
  static constexpr FontDef defs[] = {{"Arial", 14, 4}, {"Arial", 14, 0}, {"Arial", 13, 0}, {"Arial", 12, 0},
                                   {"Arial", 11, 0}, {"Arial", 10, 0}, {"Arial", 9, 0},  {"Arial", 8, 0},
                                   {"Arial", 6, 0},  {"Comic Sans MS", 32, 0}};
  for (std::size_t i = 0; i < gShared->fonts.size(); ++i)
    gShared->fonts[i] = new CQRVFontWrapper(defs[i].name, defs[i].size, defs[i].style);
  gFontPresetBar14 = GetSharedFont(SharedFont::Arial14);
  gFontOverlay14 = GetSharedFont(SharedFont::Arial14);
  gFontPresetBar10 = GetSharedFont(SharedFont::Arial10);
  gFontPresetBar8 = GetSharedFont(SharedFont::Arial8);
  gFontPresetBar6 = GetSharedFont(SharedFont::Arial6);
  std::size_t n = 0;
  const EmbeddedImage* table = EmbeddedImages(n);
  for (std::size_t i = 0; i < n; ++i)
    gShared->holders.push_back(std::make_unique<QRVBitmapAutoReleaseHandler>(new CQRVBitmapWrapper(table[i].id)));
}

void ShutdownResources() {
  if (!gShared) return;
  gFontPresetBar14 = gFontOverlay14 = gFontPresetBar10 = gFontPresetBar8 = gFontPresetBar6 = nullptr;
  gShared->holders.clear();
  for (QRVFont*& f : gShared->fonts) {
    // Controls that still hold a font keep it alive through their own count.
    f->release();
    f = nullptr;
  }
  delete gShared;
  gShared = nullptr;
  // pango's default font map caches every cairo font drawn so far; dropping it lets a process that
  // resets cairo's static data at exit do so without live fonts. A new map is made on next use.
  pango_cairo_font_map_set_default(nullptr);
}

QRVFont* GetSharedFont(SharedFont which) {
  if (!gShared) return nullptr;
  return gShared->fonts[static_cast<std::size_t>(which)];
}

QRVFont* CreateHelvetica12() { return new CQRVFontWrapper("Helvetica", 12, 0); }

QRVFont* CreateFont(const char* name, double size, int style) { return new CQRVFontWrapper(name, size, style); }

QRVBitmap* GetSharedBitmap(int resourceId) {
  if (!gShared) return nullptr;
  std::size_t n = 0;
  const EmbeddedImage* table = EmbeddedImages(n);
  for (std::size_t i = 0; i < n && i < gShared->holders.size(); ++i)
    if (table[i].id == resourceId) return gShared->holders[i]->bitmap_;
  return nullptr;
}

}  // namespace Quarrytone
