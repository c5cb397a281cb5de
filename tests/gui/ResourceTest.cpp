// Embedded images, bitmaps, pixel access and shared fonts.
#include <gtest/gtest.h>

#include <cairo.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "gui/backend/Resources.h"
#include "gui/toolkit/DrawContext.h"
#include "tests/support/TempDir.h"

namespace qrv::test {
namespace {

using namespace Quarrytone;

class Resources : public ::testing::Test {
 protected:
  void SetUp() override { InitializeResources(); }
};

TEST_F(Resources, BitmapSizesAreHalfTheirPixels) {
  CQRVBitmapWrapper compression(12171);
  EXPECT_DOUBLE_EQ(compression.getWidth(), 798);
  EXPECT_DOUBLE_EQ(compression.getHeight(), 684);
  CQRVBitmapWrapper unknown(4711);
  EXPECT_DOUBLE_EQ(unknown.getWidth(), 200);
  EXPECT_DOUBLE_EQ(unknown.getHeight(), 175);
  // Every embedded image has its fixed pixel size and a grid that holds its frames.
  std::size_t n = 0;
  const EmbeddedImage* table = EmbeddedImages(n);
  EXPECT_EQ(n, 13u);
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(table[i].id);
    QRVBitmap* shared = GetSharedBitmap(table[i].id);
    ASSERT_NE(shared, nullptr);
    EXPECT_DOUBLE_EQ(shared->getWidth(), table[i].width / 2.0);
    EXPECT_DOUBLE_EQ(shared->getHeight(), table[i].height / 2.0);
    EXPECT_EQ(table[i].width % table[i].columns, 0);
    EXPECT_EQ(table[i].height % table[i].rows, 0);
    EXPECT_LE(table[i].frames, table[i].columns * table[i].rows);
    EXPECT_GT(table[i].frames, (table[i].columns - 1) * table[i].rows);
  }
  EXPECT_EQ(GetSharedBitmap(4711), nullptr);
}

TEST_F(Resources, EveryImageHasItsIdPixelSizeAndFilmStripGrid) {
  struct Expected {
    int id, width, height, frames, columns, rows;
  };
  static constexpr Expected kImages[] = {
      {11128, 800, 550, 1, 1, 1},   {12129, 212, 468, 3, 1, 3},   {12181, 140, 980, 7, 1, 7},
      {12130, 62, 434, 7, 1, 7},    {12139, 62, 434, 7, 1, 7},    {12173, 1140, 1140, 21, 5, 5},
      {12171, 1596, 1368, 41, 7, 6}, {12177, 1824, 1824, 61, 8, 8}, {12151, 200, 86, 1, 1, 1},
      {12152, 226, 92, 1, 1, 1},    {12153, 200, 86, 1, 1, 1},    {12200, 800, 550, 1, 1, 1},
      {90001, 240, 240, 1, 1, 1}};
  std::size_t n = 0;
  EmbeddedImages(n);
  EXPECT_EQ(n, std::size(kImages));
  for (const Expected& e : kImages) {
    SCOPED_TRACE(e.id);
    const EmbeddedImage* image = FindEmbeddedImage(e.id);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->frames, e.frames);
    EXPECT_EQ(image->columns, e.columns);
    EXPECT_EQ(image->rows, e.rows);
    // The PNG itself decodes to that size, and is drawn at scale factor 2.
    CQRVBitmap decoded(image->data, image->size);
    ASSERT_NE(decoded.getPlatformBitmap(), nullptr);
    EXPECT_EQ(decoded.getPlatformBitmap()->pixelWidth(), e.width);
    EXPECT_EQ(decoded.getPlatformBitmap()->pixelHeight(), e.height);
    CQRVBitmapWrapper fresh(e.id);
    EXPECT_DOUBLE_EQ(fresh.getWidth(), e.width / 2.0);
    EXPECT_DOUBLE_EQ(fresh.getHeight(), e.height / 2.0);
  }
}

TEST_F(Resources, FontSizesAreLayoutPointsAndTheWindowsFamiliesResolveToTheirMetricTwins) {
  tk::Font* arial12 = ToolkitFont(GetSharedFont(SharedFont::Arial12));
  ASSERT_NE(arial12, nullptr);
  // An Arial digit advances 0.556 em: ten of them at 12 points are 66.7 points wide (at 96 dpi
  // typographic points they would be a third wider).
  double digits = tk::MeasureString(arial12, "0000000000");
  EXPECT_NEAR(digits, 66.7, 0.5);
  tk::Font liberation("Liberation Sans", 12);
  EXPECT_DOUBLE_EQ(digits, tk::MeasureString(&liberation, "0000000000"));
  tk::Font arial24("Arial", 24);
  EXPECT_NEAR(tk::MeasureString(&arial24, "0000000000"), 2 * digits, 0.5);
  // The designer font has its own face, not the fallback sans.
  tk::Font* comic = ToolkitFont(GetSharedFont(SharedFont::Comic32));
  ASSERT_NE(comic, nullptr);
  tk::Font neue("Comic Neue", 32), fallback("sans-serif", 32);
  const char* text = "Quarry-tone Presets";
  EXPECT_DOUBLE_EQ(tk::MeasureString(comic, text), tk::MeasureString(&neue, text));
  EXPECT_NE(tk::MeasureString(comic, text), tk::MeasureString(&fallback, text));
}

TEST_F(Resources, APngThatDoesNotDecodeGivesAnEmptyBitmap) {
  const unsigned char garbage[] = "\x89PNG\r\n\x1a\n this is not an image";
  CQRVBitmapWrapper bad(new CQRVBitmap(garbage, sizeof(garbage)), false);
  EXPECT_DOUBLE_EQ(bad.getWidth(), 0);
  EXPECT_DOUBLE_EQ(bad.getHeight(), 0);
  EXPECT_EQ(bad.createPixelAccess(true), nullptr);
  // A real image cut short is refused as a whole, never read past its end.
  const EmbeddedImage* logo = FindEmbeddedImage(90001);
  ASSERT_NE(logo, nullptr);
  CQRVBitmapWrapper truncated(new CQRVBitmap(logo->data, logo->size / 2), false);
  EXPECT_DOUBLE_EQ(truncated.getWidth(), 0);
  CQRVBitmapWrapper empty(new CQRVBitmap(nullptr, 0), false);
  EXPECT_DOUBLE_EQ(empty.getHeight(), 0);
  CQRVBitmapWrapper whole(new CQRVBitmap(logo->data, logo->size), false);
  EXPECT_DOUBLE_EQ(whole.getWidth(), 120);
}

TEST_F(Resources, ReleasingAnUncountedBitmapLeavesItIntact) {
  QRVBitmap* shared = GetSharedBitmap(12171);
  ASSERT_NE(shared, nullptr);
  for (int i = 0; i < 5; ++i) shared->release();
  shared->retain();
  EXPECT_DOUBLE_EQ(shared->getWidth(), 798);
  auto* made = new CQRVBitmapWrapper(12200);
  made->release();
  made->release();
  EXPECT_DOUBLE_EQ(made->getHeight(), 275);
  delete made;
}

TEST_F(Resources, PixelAccessWalksRowsAndKeepsColours) {
  CQRVBitmapWrapper blank(4711);  // 400 x 350 pixels, transparent
  QRVBitmapPixelAcces* access = blank.createPixelAccess(false);
  ASSERT_NE(access, nullptr);
  EXPECT_FALSE(access->setPosition(400, 0));
  EXPECT_FALSE(access->setPosition(0, 350));
  ASSERT_TRUE(access->setPosition(399, 0));
  ASSERT_TRUE(access->next());
  EXPECT_EQ(access->getX(), 0u);
  EXPECT_EQ(access->getY(), 1u);
  ASSERT_TRUE(access->previous());
  EXPECT_EQ(access->getX(), 399u);
  EXPECT_EQ(access->getY(), 0u);
  access->setColor(QRVColor{200, 100, 50, 128});
  QRVColor c;
  access->getColor(c);
  EXPECT_NEAR(c.red, 200, 2);
  EXPECT_NEAR(c.green, 100, 2);
  EXPECT_NEAR(c.blue, 50, 2);
  EXPECT_EQ(c.alpha, 128);
  access->setPosition(399, 349);
  EXPECT_FALSE(access->next());
  access->retain();
  access->release();
  access->release();

  QRVBitmapPixelAcces* premultiplied = blank.createPixelAccess(true);
  premultiplied->setPosition(399, 0);
  premultiplied->getColor(c);
  EXPECT_NEAR(c.red, 100, 2);  // stored premultiplied by alpha 128
  premultiplied->release();
}

TEST_F(Resources, SharedFontsAndTheirAliases) {
  QRVFont* arial12 = GetSharedFont(SharedFont::Arial12);
  ASSERT_NE(arial12, nullptr);
  EXPECT_STREQ(arial12->getName(), "Arial");
  EXPECT_DOUBLE_EQ(arial12->getSize(), 12);
  EXPECT_DOUBLE_EQ(GetSharedFont(SharedFont::Comic32)->getSize(), 32);
  EXPECT_STREQ(GetSharedFont(SharedFont::Comic32)->getName(), "Comic Sans MS");
  EXPECT_EQ(gFontPresetBar14, GetSharedFont(SharedFont::Arial14));
  EXPECT_EQ(gFontOverlay14, GetSharedFont(SharedFont::Arial14));
  EXPECT_EQ(gFontPresetBar6, GetSharedFont(SharedFont::Arial6));
  EXPECT_NE(GetSharedFont(SharedFont::Arial14Italic), GetSharedFont(SharedFont::Arial14));
  QRVFont* a = CreateHelvetica12();
  QRVFont* b = CreateHelvetica12();
  EXPECT_NE(a, b);
  EXPECT_STREQ(a->getName(), "Helvetica");
  a->release();
  b->release();
  // Retain and release balance on a shared font.
  auto* wrapper = static_cast<CQRVFontWrapper*>(arial12);
  int before = wrapper->count();
  arial12->retain();
  EXPECT_EQ(wrapper->count(), before + 1);
  arial12->release();
  EXPECT_EQ(wrapper->count(), before);
}

TEST_F(Resources, WriteArtworkWritesEveryImageAndAContactSheet) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteArtwork(dir.path().string(), &error)) << error;
  std::size_t n = 0;
  const EmbeddedImage* table = EmbeddedImages(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::string path = (dir / (std::to_string(table[i].id) + ".png")).string();
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS) << path;
    EXPECT_EQ(cairo_image_surface_get_width(s), table[i].width);
    EXPECT_EQ(cairo_image_surface_get_height(s), table[i].height);
    cairo_surface_destroy(s);
  }
  cairo_surface_t* sheet = cairo_image_surface_create_from_png((dir / "knob-frames.png").string().c_str());
  EXPECT_EQ(cairo_surface_status(sheet), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(sheet);
  EXPECT_FALSE(WriteArtwork((dir / "missing" / "deeper").string(), &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace qrv::test
