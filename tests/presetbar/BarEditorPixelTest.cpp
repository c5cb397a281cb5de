// What the preset bar in the editor window draws, read back from the headless window at zoom 2:
// the bar at rest, hovered and pressed controls, favourites lit and dimmed, the save dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/presetbar/BarEditorFixture.h"
#include "tests/presetbar/BarHarness.h"

namespace qrv::test {
namespace {

using namespace PresetBarColors;
using Quarrytone::PresetBarSaveDialog;
using Quarrytone::QRVPresetBarEditor;

class BarEditorPixelTest : public BarEditorFixture {
 protected:
  void SetUp() override {
    settings::SetProcessZoom(200);
    Open();
    ASSERT_DOUBLE_EQ(window().effectiveZoom(), 2.0);
  }
  // Unpremultiplied pixel at a window point.
  tk::Color Pixel(QRVPoint p) {
    headless().render();
    const tk::Color c = headless().pixel(static_cast<int>(p.x * 2), static_cast<int>(p.y * 2));
    return c;
  }
  int Brightest(QRVRect r) {
    headless().render();
    int best = 0;
    for (int y = static_cast<int>(r.top * 2); y < static_cast<int>(r.bottom * 2); ++y)
      for (int x = static_cast<int>(r.left * 2); x < static_cast<int>(r.right * 2); ++x) {
        const tk::Color c = headless().pixel(x, y);
        best = std::max({best, int(c.r), int(c.g), int(c.b)});
      }
    return best;
  }
  QRVRect WindowRect(QRVBaseControl* c) {
    const QRVPoint m = At(c);
    const QRVRect r = c->getViewSize();
    return QRVRect{m.x - r.getWidth() / 2, m.y - r.getHeight() / 2, m.x + r.getWidth() / 2, m.y + r.getHeight() / 2};
  }
};

const tk::Color kGrey{30, 30, 30, 255};

TEST_F(BarEditorPixelTest, TheBarAtRestHoveredAndPressed) {
  // The bar's grey between the controls and in the favourites row, the name field's light box.
  EXPECT_TRUE(Near(Pixel(QRVPoint{375, 45}), kGrey));
  EXPECT_TRUE(Near(Pixel(QRVPoint{20, 70}), kGrey));
  EXPECT_TRUE(Near(Pixel(QRVPoint{340, 6}), tk::Color{223, 223, 223, 255}));
  // Labels at rest reach the normal label colour.
  EXPECT_NEAR(Brightest(WindowRect(bar().copyButton())), kLabelNormal.red, 3);

  // Hovered: the hover background inside the 4-point inset.
  const QRVPoint corner{62 + 6, 39};
  EXPECT_TRUE(Near(Pixel(corner), kGrey));
  Move(At(bar().copyButton()));
  EXPECT_TRUE(Near(Pixel(corner), Over(kHoverBackground, kBarGrey)));
  EXPECT_NEAR(Brightest(WindowRect(bar().copyButton())), kLabelHover.red, 3);

  // Pressed: the pressed label colour until the release look ends 30 ticks later.
  Move(At(bar().pasteButton()));
  Press(At(bar().pasteButton()));
  EXPECT_NEAR(Brightest(WindowRect(bar().pasteButton())), kLabelPressed.red, 3);
  Release(At(bar().pasteButton()));
  Move(QRVPoint{200, 250});
  Tick(31);
  EXPECT_NEAR(Brightest(WindowRect(bar().pasteButton())), kLabelNormal.red, 3);
}

TEST_F(BarEditorPixelTest, FavouritesLitAndDimmed) {
  const int dimmed = Brightest(WindowRect(bar().favourite(2)));
  Click(bar().assignButton());
  Click(bar().favourite(2));
  Move(QRVPoint{200, 250});
  Tick(31);
  const int lit = Brightest(WindowRect(bar().favourite(2)));
  EXPECT_NEAR(lit, kLabelNormal.red, 3);
  QRVColor faded = kLabelNormal;
  faded.alpha = 77;  // 0.3 of opaque
  EXPECT_NEAR(dimmed, Over(faded, kBarGrey).r, 3);
  // The Assign button while on: its inner rectangle in the on colour.
  Click(bar().assignButton());
  Move(QRVPoint{200, 250});
  const QRVRect a = WindowRect(bar().assignButton());
  EXPECT_TRUE(Near(Pixel(QRVPoint{a.left + 2, a.top + 6}), tk::Color{205, 138, 138, 255}));
}

TEST_F(BarEditorPixelTest, TheSaveDialogOverThePanel) {
  const QRVPoint panel{8, 200};
  const tk::Color before = Pixel(panel);
  Click(bar().saveButton());
  auto* d = dynamic_cast<PresetBarSaveDialog*>(bar().saveDialog());
  ASSERT_TRUE(d && d->isOpen());
  // The panel under the shade: 200/255 of the shade's colour over it.
  const tk::Color shaded = Pixel(panel);
  auto over = [](int fg, int bg) { return (fg * 200 + bg * 55 + 127) / 255; };
  EXPECT_NEAR(shaded.r, over(25, before.r), 3);
  EXPECT_NEAR(shaded.g, over(25, before.g), 3);
  // The box, the light name field and the white title.
  const QRVRect box = d->boxRect();
  EXPECT_TRUE(Near(Pixel(QRVPoint{box.left + 4, box.bottom - 4}), tk::Color{44, 44, 47, 255}));
  const QRVRect name = d->nameRect();
  EXPECT_TRUE(Near(Pixel(QRVPoint{name.right - 4, name.top + 3}), tk::Color{223, 223, 223, 255}));
  EXPECT_NEAR(Brightest(QRVRect{box.left + 12, box.top + 6, box.left + 120, box.top + 26}), kLabelPressed.red, 3);
  // The window keeps its size.
  headless().render();
  EXPECT_EQ(cairo_image_surface_get_width(headless().surface()), 800);
  EXPECT_EQ(cairo_image_surface_get_height(headless().surface()), 706);
  // Refused: the line in the message colour.
  Key(tk::VirtualKey::Delete);
  Key(tk::VirtualKey::Return);
  EXPECT_EQ(d->message(), PresetBarSaveDialog::kEmptyName);
  const QRVRect list = d->folderRowRect(0);
  const QRVRect line{list.left, list.top + 6 * 18 + 2, list.left + 150, list.top + 6 * 18 + 20};
  headless().render();
  int reddish = 0;
  for (int y = int(line.top * 2); y < int(line.bottom * 2); ++y)
    for (int x = int(line.left * 2); x < int(line.right * 2); ++x) {
      const tk::Color c = headless().pixel(x, y);
      reddish += c.r > 150 && c.r > c.g + 60;
    }
  EXPECT_GT(reddish, 20);
}

}  // namespace
}  // namespace qrv::test
