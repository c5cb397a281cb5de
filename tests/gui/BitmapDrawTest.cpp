// Drawing a decoded image at a scale other than its own: a scaled copy made once serves every later
// draw at that scale, and what it draws is, pixel for pixel, what cairo's filter draws from the image.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <string>
#include <vector>

#include "gui/toolkit/DrawContext.h"
#include "gui/toolkit/Resources.h"

namespace qrv::test {
namespace {

// A PNG of 120 x 90 pixels (or larger) with gradients, sharp edges and partly transparent parts.
std::vector<unsigned char> TestPng(int width = 120, int height = 90) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(s);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 120, 90);
  cairo_pattern_add_color_stop_rgba(g, 0, 0.9, 0.2, 0.1, 1);
  cairo_pattern_add_color_stop_rgba(g, 1, 0.1, 0.3, 0.8, 1);
  cairo_set_source(cr, g);
  cairo_paint(cr);
  cairo_pattern_destroy(g);
  cairo_set_source_rgba(cr, 1, 1, 0.5, 0.6);
  cairo_arc(cr, 60, 45, 30, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_rectangle(cr, 90, 0, 30, 20);
  cairo_fill(cr);
  cairo_destroy(cr);
  std::vector<unsigned char> png;
  cairo_surface_write_to_png_stream(
      s,
      [](void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<std::vector<unsigned char>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(s);
  return png;
}

// A window-sized surface at a zoom with a background of its own, as the frame hands it to a draw pass.
struct Canvas {
  static constexpr int kWidth = 260, kHeight = 200;
  explicit Canvas(double zoom) : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight)) {
    cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.2, 0.6, 0.3);
    cairo_paint(cr);
    cairo_scale(cr, zoom, zoom);
  }
  ~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  std::vector<unsigned char> pixels() {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    return std::vector<unsigned char>(data, data + cairo_image_surface_get_stride(surface) * kHeight);
  }
  cairo_surface_t* surface;
  cairo_t* cr;
};

struct Case {
  double zoom;
  tk::Rect dest;
  tk::Point offset;
  float alpha;
};

TEST(BitmapDraw, AScaledCopyDrawsWhatTheFilterDrawsAndIsMadeOncePerScale) {
  const std::vector<unsigned char> png = TestPng();
  tk::PlatformBitmap* image = tk::PlatformBitmap::createFromPng(png.data(), png.size());
  ASSERT_NE(image, nullptr);
  image->setScaleFactor(2.0);
  tk::Ref<tk::Bitmap> bitmap(new tk::Bitmap(image));
  bitmap->forget();
  image->forget();

  const std::vector<Case> cases = {
      {1.0, {10, 20, 70, 65}, {0, 0}, 1.0f},    // the whole image at 100 %
      {1.0, {31, 7, 61, 37}, {15, 10}, 1.0f},   // part of it, as a film-strip frame
      {1.0, {5, 5, 50, 40}, {0, 0}, 0.6f},      // faded
      {1.3, {10, 20, 70, 65}, {0, 0}, 1.0f},    // between whole pixels
      {1.3, {20, 30, 80, 75}, {0, 0}, 1.0f},    // at whole pixels (26, 39), a scale of 0.65
      {1.5, {12, 8, 72, 53}, {0, 0}, 1.0f},     // at whole pixels, a scale of 0.75
      {1.6, {10, 20, 70, 65}, {0, 0}, 1.0f},    // at whole pixels, a scale of 0.8
      {2.0, {10, 20, 70, 65}, {0, 0}, 1.0f},    // one image pixel per device pixel: no copy needed
  };
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.zoom) + " at " + std::to_string(c.dest.left) + "," +
                             std::to_string(c.dest.top) + " alpha " + std::to_string(c.alpha);
    Canvas expected(c.zoom);
    // The filter's own drawing, as drawBitmap did it before copies.
    cairo_save(expected.cr);
    cairo_rectangle(expected.cr, c.dest.left, c.dest.top, c.dest.width(), c.dest.height());
    cairo_clip(expected.cr);
    cairo_translate(expected.cr, c.dest.left - c.offset.x, c.dest.top - c.offset.y);
    cairo_scale(expected.cr, 0.5, 0.5);
    cairo_set_source_surface(expected.cr, bitmap->getPlatformBitmap()->surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(expected.cr), CAIRO_FILTER_GOOD);
    cairo_paint_with_alpha(expected.cr, c.alpha);
    cairo_restore(expected.cr);

    // Twice: the first draw makes the copy, the second uses it.
    for (int pass = 0; pass < 2; ++pass) {
      Canvas drawn(c.zoom);
      {
        tk::DrawContext context(drawn.cr, tk::Rect{0, 0, Canvas::kWidth / c.zoom, Canvas::kHeight / c.zoom});
        context.drawBitmap(bitmap.get(), c.dest, c.offset, c.alpha);
      }
      EXPECT_TRUE(drawn.pixels() == expected.pixels()) << name << " pass " << pass;
    }
  }
  // One copy per scale, kept for the next draw.
  cairo_surface_t* half = bitmap->getPlatformBitmap()->scaledCopy(0.5);
  ASSERT_NE(half, nullptr);
  EXPECT_EQ(bitmap->getPlatformBitmap()->scaledCopy(0.5), half);

  // An image whose pixels are written has no copies: they would show the old pixels.
  tk::BitmapPixelAccess* access = tk::BitmapPixelAccess::create(bitmap.get(), true);
  ASSERT_NE(access, nullptr);
  access->setColor(tk::Color{0, 0, 0, 255});
  access->forget();
  EXPECT_EQ(bitmap->getPlatformBitmap()->scaledCopy(0.5), nullptr);

  // A film strip of more than a million pixels is filtered frame by frame as it is drawn.
  const std::vector<unsigned char> strip = TestPng(1100, 1000);
  tk::PlatformBitmap* large = tk::PlatformBitmap::createFromPng(strip.data(), strip.size());
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(large->scaledCopy(0.5), nullptr);
  large->forget();
}

}  // namespace
}  // namespace qrv::test
