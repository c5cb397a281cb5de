// The toolkit's measuring (text widths, path hit tests and extents) keeps no cairo surface alive once it
// returns: a surface kept for the process would outlive a plug-in binary that a host unloads, once per
// session, and cairo's pool of freed contexts still points at it, so leak checkers do not report it.
// Every image surface made in this program is counted here until cairo finalises it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cairo.h>

#include <atomic>

#include "gui/toolkit/DrawContext.h"
#include "gui/toolkit/Resources.h"

namespace {

std::atomic<int> g_made{0};
std::atomic<int> g_alive{0};
const cairo_user_data_key_t g_key{};

void Finalised(void*) { g_alive.fetch_sub(1); }

}  // namespace

// Calls from this program reach this definition first; it hands on to cairo's own. (Null user data would
// unset the key, so the counter itself is the data.)
extern "C" cairo_surface_t* cairo_image_surface_create(cairo_format_t format, int width, int height) {
  using Create = cairo_surface_t* (*)(cairo_format_t, int, int);
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "cairo_image_surface_create"));
  cairo_surface_t* surface = real(format, width, height);
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
      cairo_surface_set_user_data(surface, &g_key, &g_alive, Finalised) == CAIRO_STATUS_SUCCESS) {
    g_made.fetch_add(1);
    g_alive.fetch_add(1);
  }
  return surface;
}

namespace tk {
namespace {

TEST(ToolkitScratchSurfaces, MeasuringTextAndPathsLeavesNoSurfaceBehind) {
  Font font("Liberation Sans", 12);
  GraphicsPath path;
  path.addRoundRect(Rect{10, 10, 50, 40}, 4);
  const int made = g_made.load(), alive = g_alive.load();
  for (int i = 0; i < 3; ++i) {
    EXPECT_GT(MeasureString(&font, "warmGlow"), 0.0);
    EXPECT_TRUE(path.hitTest(Point{30, 25}, false));
    EXPECT_FALSE(path.hitTest(Point{5, 5}, false));
    EXPECT_DOUBLE_EQ(path.getBoundingBox().right, 50.0);
    path.getCurrentPosition();
  }
  // The surfaces the calls used were made here, and are gone again.
  EXPECT_GT(g_made.load(), made) << "the count sees the toolkit's surfaces";
  EXPECT_EQ(g_alive.load(), alive);
}

}  // namespace
}  // namespace tk
