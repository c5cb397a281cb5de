#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gui/backend/ArtworkExport.h"
#include "gui/backend/QRVFrame.h"
#include "gui/backend/Resources.h"
#include "gui/backend/ViewContainerWrapper.h"
#include "gui/toolkit/HeadlessFrame.h"
#include "gui/toolkit/Resources.h"

namespace Quarrytone {

namespace {

bool WriteBytes(const std::string& path, const unsigned char* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

constexpr int kSheetColumns = 10;
constexpr int kCell = 124;     // pixels per contact-sheet cell
constexpr int kTitle = 26;     // pixels above each strip's cells

}  // namespace

bool WriteArtwork(const std::string& directory, std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  std::size_t count = 0;
  const EmbeddedImage* table = EmbeddedImages(count);
  std::vector<const EmbeddedImage*> strips;
  for (std::size_t i = 0; i < count; ++i) {
    const EmbeddedImage& image = table[i];
    std::string path = directory + "/" + std::to_string(image.id) + ".png";
    if (!WriteBytes(path, image.data, image.size)) return fail("cannot write " + path);
    if (image.frames > 1) strips.push_back(&image);
  }
  // Contact sheet: every frame of every film strip, one strip after the other.
  int height = 8;
  for (const EmbeddedImage* s : strips) height += kTitle + ((s->frames + kSheetColumns - 1) / kSheetColumns) * kCell + 8;
  cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSheetColumns * kCell + 16, height);
  cairo_t* cr = cairo_create(sheet);
  cairo_set_source_rgb(cr, 0.91, 0.86, 0.74);
  cairo_paint(cr);
  cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  int y = 8;
  for (const EmbeddedImage* s : strips) {
    char title[96];
    std::snprintf(title, sizeof(title), "%d  %s  (%d frames, %d x %d)", s->id, s->role, s->frames, s->columns, s->rows);
    cairo_set_source_rgb(cr, 0.23, 0.15, 0.09);
    cairo_set_font_size(cr, 14);
    cairo_move_to(cr, 8, y + 18);
    cairo_show_text(cr, title);
    y += kTitle;
    tk::PlatformBitmap* strip = tk::PlatformBitmap::createFromPng(s->data, s->size);
    if (!strip) {
      cairo_destroy(cr);
      cairo_surface_destroy(sheet);
      return fail("image " + std::to_string(s->id) + " does not decode");
    }
    double fw = double(s->width) / s->columns, fh = double(s->height) / s->rows;
    double scale = std::min(1.0, std::min((kCell - 16) / fw, (kCell - 16) / fh));
    for (int i = 0; i < s->frames; ++i) {
      int cx = 8 + (i % kSheetColumns) * kCell, cy = y + (i / kSheetColumns) * kCell;
      cairo_save(cr);
      cairo_rectangle(cr, cx + 2, cy + 2, kCell - 4, kCell - 4);
      cairo_set_source_rgba(cr, 0.55, 0.42, 0.28, 0.18);
      cairo_fill(cr);
      cairo_translate(cr, cx + (kCell - fw * scale) / 2, cy + 4);
      cairo_scale(cr, scale, scale);
      cairo_rectangle(cr, 0, 0, fw, fh);
      cairo_clip(cr);
      cairo_set_source_surface(cr, strip->surface(), -(i / s->rows) * fw, -(i % s->rows) * fh);
      cairo_paint(cr);
      cairo_restore(cr);
      char index[16];
      std::snprintf(index, sizeof(index), "%d", i);
      cairo_set_source_rgb(cr, 0.23, 0.15, 0.09);
      cairo_set_font_size(cr, 10);
      cairo_move_to(cr, cx + 5, cy + kCell - 6);
      cairo_show_text(cr, index);
    }
    strip->forget();
    y += ((s->frames + kSheetColumns - 1) / kSheetColumns) * kCell + 8;
  }
  cairo_destroy(cr);
  std::string path = directory + "/knob-frames.png";
  cairo_status_t status = cairo_surface_write_to_png(sheet, path.c_str());
  cairo_surface_destroy(sheet);
  if (status != CAIRO_STATUS_SUCCESS) return fail("cannot write " + path);
  return true;
}

bool WriteArtwork(const std::string& directory, const std::vector<ArtworkSheet>& sheets, std::string* error) {
  if (!WriteArtwork(directory, error)) return false;
  for (const ArtworkSheet& sheet : sheets) {
    if (!sheet.write) continue;
    if (!sheet.write(directory + "/" + sheet.fileName, error)) return false;
  }
  return true;
}

namespace {
struct SilentListener : tk::IControlListener {
  void valueChanged(tk::Control*) override {}
};
}  // namespace

struct ArtworkWindow::Impl {
  SilentListener listener;
  QRVFrame* frame = nullptr;
  tk::HeadlessPlatformFrame* headless = nullptr;
  CQRVViewContainerWrapper* container = nullptr;
  double scale = 1;
  bool ownsResources = false;
  tk::Point device(QRVPoint p) const { return tk::Point{p.x * scale, p.y * scale}; }
};

ArtworkWindow::ArtworkWindow(double width, double height, double scale, QRVColor background)
    : impl_(std::make_unique<Impl>()) {
  // A tool that draws one sheet and exits leaves nothing of the fonts behind.
  impl_->ownsResources = GetSharedFont(SharedFont::Arial14) == nullptr;
  InitializeResources();
  impl_->scale = scale > 0 ? scale : 1;
  impl_->frame = new QRVFrame(tk::Rect{0, 0, width, height});
  impl_->frame->setZoom(impl_->scale);
  impl_->frame->open(tk::PlatformType::Headless);
  impl_->headless = tk::Headless(impl_->frame);
  impl_->container = new CQRVViewContainerWrapper(nullptr, &impl_->listener, QRVRect{0, 0, width, height});
  impl_->container->setBackgroundColor(background);
  impl_->container->attachTo(impl_->frame);
}

ArtworkWindow::~ArtworkWindow() {
  impl_->frame->removeAll();
  impl_->frame->forget();
  if (impl_->ownsResources) {
    ShutdownResources();
    tk::ReleaseFontCaches();
  }
}

QRVViewContainer* ArtworkWindow::container() const { return impl_->container; }
void ArtworkWindow::mouseDown(QRVPoint where, int buttons) { impl_->headless->mouseDown(impl_->device(where), buttons); }
void ArtworkWindow::mouseUp(QRVPoint where, int buttons) { impl_->headless->mouseUp(impl_->device(where), buttons); }
void ArtworkWindow::mouseMove(QRVPoint where, int buttons) { impl_->headless->mouseMove(impl_->device(where), buttons); }

bool ArtworkWindow::writePng(const std::string& path, std::string* error) {
  if (impl_->headless && impl_->headless->writePng(path)) return true;
  if (error) *error = "cannot write " + path;
  return false;
}

}  // namespace Quarrytone
