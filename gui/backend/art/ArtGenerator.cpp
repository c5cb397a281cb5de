// Build-time tool: renders the module's GUI artwork with cairo and pango and writes each image
// as a PNG plus one C++ source that embeds the PNG bytes.
//   qrv_artgen <png-directory> <output.cpp>
// Everything is drawn in layout points on a surface scaled by 2 (the images carry twice the
// layout resolution). Deterministic: the same build gives the same bytes.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gui/backend/art/ArtKit.h"
#include "gui/backend/art/Artwork.h"
#include "gui/engine/PanelGeometry.h"

namespace {

using namespace art;

cairo_status_t Collect(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<unsigned char>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// Octal escapes of exactly three digits, so a following digit is never taken into the escape.
void WriteLiteral(FILE* f, const std::vector<unsigned char>& bytes) {
  std::size_t col = 0;
  std::fputs("    \"", f);
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
      std::fputc(c, f);
      col += 1;
    } else {
      std::fprintf(f, "\\%03o", c);
      col += 4;
    }
    if (col >= 100) {
      std::fputs("\"\n    \"", f);
      col = 0;
    }
  }
  std::fputs("\"", f);
}

}  // namespace

// Draws the panel with every control at a value, as the editor would show it (a check of the
// artwork as a whole; written next to the images as "preview.png").
void WritePreview(const std::string& dir, const std::vector<cairo_surface_t*>& surfaces) {
  const std::vector<ImageInfo>& images = ImageTable();
  auto find = [&](int id) -> std::size_t {
    for (std::size_t i = 0; i < images.size(); ++i)
      if (images[i].id == id) return i;
    return 0;
  };
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, images[find(kImagePanel)].width,
                                                    images[find(kImagePanel)].height);
  cairo_t* cr = cairo_create(out);
  const double k = kPixelsPerPoint;
  auto place = [&](int id, const Box& at, double value) {
    const ImageInfo& s = images[find(id)];
    int fw = s.width / s.columns, fh = s.height / s.rows;
    int i = static_cast<int>((s.frames - 1) * value + 0.5);
    cairo_save(cr);
    cairo_rectangle(cr, at.left * k, at.top * k, fw, fh);
    cairo_clip(cr);
    cairo_set_source_surface(cr, surfaces[find(id)], at.left * k - (i / s.rows) * fw, at.top * k - (i % s.rows) * fh);
    cairo_paint(cr);
    cairo_restore(cr);
  };
  place(kImagePanel, Box{0, 0, 0, 0}, 0);
  place(kImageModeSwitch, kModeSwitch, 0.0);
  place(kImageTimeKnob, kTimeKnob, 0.5);
  place(kImageCompressionKnob, kCompressionKnob, 0.35);
  place(kImageOutputKnob, kOutputKnob, 0.15);
  place(kImageRatioKnob, kRatioKnob, 0.5);
  place(kImageAttackKnob, kAttackKnob, 0.5);
  place(kImageValveKnob, kValveKnob, 0.5);
  place(kImageVuLit, kMeterFace, 0);
  // Needle at 0.3, clipped to the meter's face like the meter's own drawing.
  double a = 2.0943951023931953 - 0.3 * 1.0471975511965976;
  cairo_scale(cr, k, k);
  cairo_rectangle(cr, kMeterFace.left, kMeterFace.top, kMeterFace.width(), kMeterFace.height());
  cairo_clip(cr);
  cairo_set_line_width(cr, kNeedleWidth);
  cairo_set_source_rgb(cr, 170 / 255.0, 165 / 255.0, 160 / 255.0);
  cairo_move_to(cr, kPivotX + 0.5 + std::cos(a) * kNeedleInner, kPivotY + 0.5 - std::sin(a) * kNeedleInner);
  cairo_line_to(cr, kPivotX + 0.5 + std::cos(a) * kNeedleOuter, kPivotY + 0.5 - std::sin(a) * kNeedleOuter);
  cairo_stroke(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(out, (dir + "/preview.png").c_str());
  cairo_surface_destroy(out);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <png-directory> <output.cpp>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::vector<ImageInfo>& images = ImageTable();
  std::vector<std::vector<unsigned char>> pngs;
  std::vector<cairo_surface_t*> surfaces;
  for (const ImageInfo& s : images) {
    cairo_surface_t* surface = RenderImage(s);
    surfaces.push_back(cairo_surface_reference(surface));
    std::vector<unsigned char> bytes;
    if (cairo_surface_write_to_png_stream(surface, Collect, &bytes) != CAIRO_STATUS_SUCCESS) {
      std::fprintf(stderr, "qrv_artgen: cannot encode image %d\n", s.id);
      return 1;
    }
    cairo_surface_destroy(surface);
    if (!WriteFile(dir + "/" + std::to_string(s.id) + ".png", bytes)) {
      std::fprintf(stderr, "qrv_artgen: cannot write %s/%d.png\n", dir.c_str(), s.id);
      return 1;
    }
    pngs.push_back(std::move(bytes));
  }
  WritePreview(dir, surfaces);
  for (cairo_surface_t* s : surfaces) cairo_surface_destroy(s);
  const std::string tmp = std::string(argv[2]) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) {
    std::fprintf(stderr, "qrv_artgen: cannot write %s\n", tmp.c_str());
    return 1;
  }
  std::fputs("// Generated by qrv_artgen from gui/backend/art; do not edit.\n", f);
  std::fputs("#include \"gui/backend/Resources.h\"\n\nnamespace {\n", f);
  for (std::size_t i = 0; i < images.size(); ++i) {
    std::fprintf(f, "const unsigned char kImage%d[] =\n", images[i].id);
    WriteLiteral(f, pngs[i]);
    std::fputs(";\n", f);
  }
  std::fputs("}  // namespace\n\nnamespace Quarrytone {\n", f);
  std::fputs("const EmbeddedImage* GeneratedImageTable(std::size_t& count) {\n", f);
  std::fputs("  static const EmbeddedImage table[] = {\n", f);
  for (std::size_t i = 0; i < images.size(); ++i) {
    const ImageInfo& s = images[i];
    std::fprintf(f, "      {%d, kImage%d, %zu, %d, %d, %d, %d, %d, \"%s\"},\n", s.id, s.id, pngs[i].size(), s.width,
                 s.height, s.frames, s.columns, s.rows, s.role);
  }
  std::fputs("  };\n  count = sizeof(table) / sizeof(table[0]);\n  return table;\n}\n}  // namespace Quarrytone\n", f);
  if (std::fclose(f) != 0 || std::rename(tmp.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "qrv_artgen: cannot finish %s\n", argv[2]);
    return 1;
  }
  return 0;
}
