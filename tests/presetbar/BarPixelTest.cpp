// What the preset-bar controls draw, read back from the headless window's pixels at zoom 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "tests/presetbar/BarHarness.h"

namespace qrv::test {
namespace {

using namespace PresetBarColors;

QRVPoint Centre(const QRVRect& r) { return QRVPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

struct PixelBar : BarHarness {
  PixelBar() { frame->setZoom(2.0); }
  // Visits every device pixel of a window rectangle.
  void forEach(const QRVRect& r, const std::function<void(tk::Color)>& f) {
    headless->render();
    for (int y = static_cast<int>(r.top * 2); y < static_cast<int>(r.bottom * 2); ++y)
      for (int x = static_cast<int>(r.left * 2); x < static_cast<int>(r.right * 2); ++x) f(headless->pixel(x, y));
  }
  int brightest(const QRVRect& r) {
    int best = 0;
    forEach(r, [&](tk::Color c) { best = std::max({best, int(c.r), int(c.g), int(c.b)}); });
    return best;
  }
  int differing(const QRVRect& r, tk::Color from) {
    int n = 0;
    forEach(r, [&](tk::Color c) { n += !Near(c, from, 2); });
    return n;
  }
};

const tk::Color kGrey = Over(kBarGrey, kBarGrey);

TEST(PresetBarPixels, HoverBackgroundAndDimmedLabels) {
  PixelBar h;
  auto* copy = h.add(new PresetBarLabelButton(Quarrytone::layout::bar::kCopy, 49, "WWW"));
  auto* dim = h.add(new PresetBarLabelButton(Quarrytone::layout::bar::kPaste, 51, "WWW"));
  dim->overlayEnabled_ = true;
  // Left edge of the inner rectangle, below the text: grey until the pointer comes.
  QRVPoint corner{62 + 6, 39};
  EXPECT_TRUE(Near(h.pixelAt(corner), kGrey));
  h.moveAt(Centre(copy->getViewSize()));
  EXPECT_TRUE(Near(h.pixelAt(corner), Over(kHoverBackground, kBarGrey)));
  // The hover background stays inside the 4-point inset.
  EXPECT_TRUE(Near(h.pixelAt(QRVPoint{62 + 2, 39}), kGrey));
  h.moveAt(QRVPoint{300, 200});

  // Label colours: the cores of the strokes reach the label colour; dimmed, 0.3 of its alpha.
  EXPECT_NEAR(h.brightest(copy->getViewSize()), kLabelNormal.red, 3);
  QRVColor dimmed = kLabelNormal;
  dimmed.alpha = static_cast<std::uint8_t>(std::lround(255 * 0.3));
  EXPECT_NEAR(h.brightest(dim->getViewSize()), Over(dimmed, kBarGrey).r, 3);
}

TEST(PresetBarPixels, OnStateFillAndTheThreeIconKinds) {
  PixelBar h;
  const QRVRect target{100, 52, 122, 78}, outline{130, 52, 152, 78}, filled{160, 52, 182, 78};
  auto* assign = h.add(new PresetBarLabelOnOffButton(target, 96, "Assign", PresetBarLabelOnOffButton::kIconTarget));
  auto* def = h.add(new PresetBarLabelOnOffButton(outline, 95, "D", PresetBarLabelOnOffButton::kIconStarOutline));
  auto* fav = h.add(new PresetBarLabelOnOffButton(filled, 97, "1", PresetBarLabelOnOffButton::kIconStarFilled));
  for (auto* b : {assign, def, fav}) {
    b->setBackColor(kBarGrey);
    b->setFullWidthHover();
  }
  assign->onColor_.set(QRVColor{205, 138, 138, 255});

  // On: the inner rectangle filled in the on colour (a corner of it, away from the icon).
  QRVPoint innerCorner{target.left + 2, target.top + 6};
  EXPECT_TRUE(Near(h.pixelAt(innerCorner), kGrey));
  assign->setValue(1.0);
  EXPECT_TRUE(Near(h.pixelAt(innerCorner), tk::Color{205, 138, 138, 255}));
  assign->setValue(0.0);

  // Icons fill a square of the inner rectangle's smaller side less 5 (18 - 5 = 13), centred.
  QRVPoint c = Centre(target);
  double r = 6.5;
  // Target: arcs on the diagonals and a star in the middle.
  EXPECT_GT(h.pixelAt(QRVPoint{c.x + r * 0.7071, c.y - r * 0.7071}).r, 110);
  EXPECT_GT(h.pixelAt(c).r, 110);
  EXPECT_TRUE(Near(h.pixelAt(QRVPoint{c.x + r * 0.7071 - 2.5, c.y - r * 0.7071 + 2.5}), kGrey, 20));
  // Stars: filled or hollow, with the label over them (left out here to see the star alone).
  def->setLabel("");
  fav->setLabel("");
  EXPECT_TRUE(Near(h.pixelAt(Centre(filled)), Over(kLabelNormal, kBarGrey), 12));
  EXPECT_TRUE(Near(h.pixelAt(Centre(outline)), kGrey, 12));
  EXPECT_GT(h.pixelAt(QRVPoint{Centre(outline).x, Centre(outline).y - 7.5}).r, 80);
  fav->setLabel("1");
  // The favourite's number is drawn in the button's back colour over the filled star.
  QRVRect digit{Centre(filled).x - 2, Centre(filled).y - 3, Centre(filled).x + 2, Centre(filled).y + 4};
  int dark = 0;
  h.forEach(digit, [&](tk::Color px) { dark += px.r < 80; });
  EXPECT_GT(dark, 0);
}

TEST(PresetBarPixels, TheZoomLabelGetsAHaloWhileTheMenuIsOpen) {
  PixelBar h;
  const QRVRect r = Quarrytone::layout::bar::kZoom;
  auto* zoom = h.add(new PresetBarScaleMenuButton(r, 60));
  QRVRect visible{0, 0, 60, 27};
  int closed = h.differing(visible, kGrey);
  int brightClosed = h.brightest(visible);
  zoom->setValue(1.0);
  int open = h.differing(visible, kGrey);
  // The halo widens the label's footprint by up to two points each way; the label turns white.
  EXPECT_GT(open, closed + closed / 3);
  EXPECT_EQ(brightClosed, kLabelNormal.red);
  EXPECT_NEAR(h.brightest(visible), kLabelPressed.red, 2);
  // The halo is faint and bluish: just beside the text only the tint shows.
  int halo = 0;
  h.forEach(visible, [&](tk::Color c) { halo += c.b > c.r + 2 && c.r < 60; });
  EXPECT_GT(halo, 20);
}

TEST(PresetBarPixels, NameFieldArrowsAndTheModifiedColour) {
  PixelBar h;
  const QRVRect r = Quarrytone::layout::bar::kName;
  auto* name = h.add(new PresetBarNameControl(r, 30));
  name->setName("MMMM");
  const tk::Color field = Over(kNameBackground, kBarGrey);
  EXPECT_TRUE(Near(h.pixelAt(QRVPoint{r.left + 100, r.top + 2}), field));
  // The down arrow (menu closed) has its base 8 below the top, the up arrow its base 12 below.
  QRVPoint nearDownBase{r.right - 13, r.top + 9}, nearUpBase{r.right - 12.5, r.top + 11.5};
  EXPECT_TRUE(Near(h.pixelAt(nearDownBase), tk::Color{0, 0, 0, 255}, 10));
  EXPECT_TRUE(Near(h.pixelAt(nearUpBase), field, 10));
  name->setValue(1.0);
  EXPECT_TRUE(Near(h.pixelAt(nearUpBase), tk::Color{0, 0, 0, 255}, 10));
  EXPECT_TRUE(Near(h.pixelAt(nearDownBase), field, 10));
  // While the mouse is inside the arrow is white.
  h.moveAt(QRVPoint{r.left + 100, r.top + 10});
  EXPECT_TRUE(Near(h.pixelAt(nearUpBase), tk::Color{255, 255, 255, 255}, 10));
  // The edit icon shows only while the menu is closed.
  QRVPoint icon{r.left + 4, r.top + 5};
  EXPECT_TRUE(Near(h.pixelAt(icon), field, 3));
  name->setValue(0.0);
  EXPECT_LT(h.pixelAt(icon).r, field.r - 40);

  // Text colour: black, or the modified brown.
  QRVRect text{r.left + 60, r.top, r.right - 60, r.bottom};
  auto darkest = [&] {
    tk::Color best{255, 255, 255, 255};
    h.forEach(text, [&](tk::Color c) {
      if (c.r + c.g + c.b < best.r + best.g + best.b) best = c;
    });
    return best;
  };
  EXPECT_TRUE(Near(darkest(), tk::Color{0, 0, 0, 255}, 8));
  name->setModified(true);
  EXPECT_TRUE(Near(darkest(), tk::Color{100, 60, 60, 255}, 8));
}

TEST(PresetBarPixels, TheZoomListOverTheBarWithSeparatorsAndRows) {
  PixelBar h;
  h.container->setBackgroundColor(kBarGrey);
  auto* zoom = h.add(new PresetBarScaleMenuButton(Quarrytone::layout::bar::kZoom, 60));
  h.clickAt(QRVPoint{30, 13});
  PresetBarScaleOptionMenuHandler* handler = zoom->getMenuHandler();
  ASSERT_TRUE(handler->isOpen());
  QRVRect p = handler->getPopupRect();
  QRVCustomizableOptionMenu* list = handler->getMenu();
  auto rowPoint = [&](int i, double dy) {
    const QRVRect& e = list->getEntry(i)->rect;
    return QRVPoint{p.left + e.right - 8, p.top + e.top + dy};
  };
  // The first row lies over the bar (window rows 58..78) and shows the list, not the bar.
  const tk::Color listBackground = Over(QRVCustomizableOptionMenu::kBackgroundColor, kBarGrey);
  QRVPoint firstRow = rowPoint(0, 10);
  ASSERT_LT(firstRow.y, GuiHarness::kBarHeight);
  EXPECT_TRUE(Near(h.pixelAt(firstRow), listBackground));
  // Separators at the top of "Increase 5%" and of "Close".
  for (int i : {8, 10}) EXPECT_GT(h.pixelAt(rowPoint(i, 0.25)).r, listBackground.r + 60) << i;
  EXPECT_TRUE(Near(h.pixelAt(rowPoint(9, 0.25)), listBackground));
  // The selected row is filled, the hovered one outlined.
  list->setValue(0.2);
  EXPECT_TRUE(Near(h.pixelAt(rowPoint(2, 10)), tk::Color{50, 88, 141, 255}));
  h.moveAt(rowPoint(5, 10));
  EXPECT_EQ(list->getHoveredIndex(), 5);
  EXPECT_GT(h.pixelAt(rowPoint(5, 0.5)).b, listBackground.b + 100);
  EXPECT_TRUE(Near(h.pixelAt(rowPoint(5, 10)), listBackground));
}

TEST(PresetBarPixels, TheCornerGrip) {
  PixelBar h;
  const QRVRect r{300, 40, 320, 60};
  h.add(new PresetBarScaleCornerControl(r, 60));
  // Above the diagonal nothing; below it the shade, and the grip lines brighter still.
  EXPECT_TRUE(Near(h.pixelAt(QRVPoint{r.left + 3, r.top + 3}), kGrey));
  tk::Color shade = Over(kCornerTriangle, kBarGrey);
  // Grip line k runs where x + y = left + bottom + 4k; the narrow gaps between them show the shade.
  int darkest = 255;
  h.forEach(QRVRect{r.left + 10, r.bottom - 8, r.right, r.bottom}, [&](tk::Color c) { darkest = std::min<int>(darkest, c.r); });
  EXPECT_NEAR(darkest, shade.r, 4);
  // The line for k = 4 runs from (left + 16, bottom) to (right, top + 16).
  tk::Color grip = h.pixelAt(QRVPoint{r.left + 18, r.bottom - 2});
  EXPECT_GT(grip.r, shade.r + 40);
}

}  // namespace
}  // namespace qrv::test
