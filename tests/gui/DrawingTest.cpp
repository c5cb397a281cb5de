// What controls draw, read back from the headless frame's pixels.
#include <gtest/gtest.h>

#include "gui/backend/DrawContextWrapper.h"
#include "tests/gui/GuiHarness.h"

namespace qrv::test {
namespace {

QRVColor FrameColor(int i) {
  return QRVColor{static_cast<std::uint8_t>((i * 37 + 11) % 256), static_cast<std::uint8_t>((i * 91 + 50) % 256),
                  static_cast<std::uint8_t>((i * 53 + 100) % 256), 255};
}
constexpr QRVColor kUnusedCell{255, 0, 255, 255};

// A 41-frame strip in 7 columns of 6 rows whose frames are distinct solid colours, at scale
// factor 2 like the embedded strips. Counted: the caller releases it.
QRVBitmap* MakeTestStrip() {
  Quarrytone::CQRVOffscreenContextWrapper offscreen(798, 684, 2.0, true);
  for (int cell = 0; cell < 42; ++cell) {
    int column = cell / 6, row = cell % 6;
    offscreen.setFillColor(cell < 41 ? FrameColor(cell) : kUnusedCell);
    offscreen.drawRect(QRVRect{column * 114.0, row * 114.0, column * 114.0 + 114, row * 114.0 + 114}, 1);
  }
  return offscreen.getBitmap();
}

void ExpectColor(tk::Color actual, QRVColor expected) {
  EXPECT_EQ(actual.r, expected.red);
  EXPECT_EQ(actual.g, expected.green);
  EXPECT_EQ(actual.b, expected.blue);
  EXPECT_EQ(actual.a, expected.alpha);
}

TEST(FilmStrip, AKnobShowsTheFrameOfItsValueDownEachColumn) {
  GuiHarness h;
  QRVBitmap* strip = MakeTestStrip();
  ASSERT_NE(strip, nullptr);
  EXPECT_DOUBLE_EQ(strip->getWidth(), 798);
  auto* knob = new QRVAnimKnob(QRVRect{143, 143, 257, 257}, 5, strip, 41, 7);
  strip->release();  // the knob holds its own count now
  h.container->addControl(knob);
  EXPECT_EQ(knob->frameWidth_, 114);
  EXPECT_EQ(knob->frameHeight_, 114);

  knob->setValue(1.0);  // frame 40: column 6, row 4
  EXPECT_DOUBLE_EQ(knob->frameOffset().x, 6 * 114);
  EXPECT_DOUBLE_EQ(knob->frameOffset().y, 4 * 114);
  ExpectColor(h.pixel({200, 200}), FrameColor(40));
  knob->setValue(0.5);  // frame 20: column 3, row 2
  ExpectColor(h.pixel({200, 200}), FrameColor(20));
  // Clipped to the view: the neighbouring frames never bleed in at the edges.
  ExpectColor(h.pixel({143.5, 143.5}), FrameColor(20));
  ExpectColor(h.pixel({256.5, 256.5}), FrameColor(20));
  for (int i = 0; i <= 40; ++i) {
    knob->setValue(i / 40.0);
    tk::Color c = h.pixel({200, 200});
    EXPECT_FALSE(c.r == 255 && c.g == 0 && c.b == 255) << "unused cell shown for frame " << i;
    ExpectColor(c, FrameColor(i));
  }
  // The same frame at another zoom.
  h.frame->zoom(2.5);
  knob->setValue(0.25);
  ExpectColor(h.pixel({200, 200}), FrameColor(10));
}

TEST(FilmStrip, SwitchAndKickButtonPickTheirVerticalFrames) {
  GuiHarness h;
  Quarrytone::CQRVOffscreenContextWrapper offscreen(106, 234, 2.0, true);
  for (int i = 0; i < 3; ++i) {
    offscreen.setFillColor(FrameColor(i));
    offscreen.drawRect(QRVRect{0, i * 78.0, 106, i * 78.0 + 78}, 1);
  }
  QRVBitmap* strip = offscreen.getBitmap();
  auto* sw = new QRVHorizontalSwitch(QRVRect{262, 46, 368, 124}, 0, strip);
  sw->positions_ = 3;
  auto* button = new QRVKickButton(QRVRect{10, 10, 116, 88}, 14, strip);
  strip->release();
  h.container->addControl(sw);
  h.container->addControl(button);
  for (int i = 0; i < 3; ++i) {
    sw->setValue(i / 2.0);
    ExpectColor(h.pixel({315, 85}), FrameColor(i));
  }
  ExpectColor(h.pixel({60, 50}), FrameColor(0));
  h.move({60, 50}, 0);  // hover shows the second frame
  ExpectColor(h.pixel({60, 50}), FrameColor(1));
  h.move({300, 250}, 0);
  ExpectColor(h.pixel({60, 50}), FrameColor(0));
}

// Draws with a style and checks what a draw pass reports.
class PainterControl : public QRVCustomControl {
 public:
  PainterControl(const QRVRect& r, int style) : QRVCustomControl(r, 40, nullptr), style_(style) {}
  void draw(QRVDrawContext* c) override {
    c->getClipRect(clipSeen);
    c->setFillColor(QRVColor{200, 30, 30, 255});
    if (clipLeftHalf) c->setClipRect(QRVRect{viewRect_.left, viewRect_.top, viewRect_.left + 20, viewRect_.bottom});
    if (halfAlpha) c->setGlobalAlpha(0.5f);
    alphaSeen = c->getGlobalAlpha();
    c->drawRect(viewRect_, style_);
    if (spill) c->drawRect(QRVRect{viewRect_.left - 20, viewRect_.top, viewRect_.right + 20, viewRect_.bottom}, 1);
    if (rotated) {
      c->drawRotatedString("X", QRVPoint{viewRect_.left + 2, viewRect_.bottom - 2}, 0.0, 0.0,
                           QRVColor{20, 200, 20, static_cast<std::uint8_t>(transparentBox ? 0 : 255)});
    }
  }
  int style_;
  bool clipLeftHalf = false, halfAlpha = false, rotated = false, spill = false, transparentBox = false;
  QRVRect clipSeen;
  double alphaSeen = 0;
};

TEST(DrawContext, StyleThreeDrawsNothingAndOneFills) {
  GuiHarness h;
  auto* nothing = new PainterControl(QRVRect{10, 10, 50, 50}, 3);
  auto* filled = new PainterControl(QRVRect{60, 10, 100, 50}, 1);
  h.container->addControl(nothing);
  h.container->addControl(filled);
  EXPECT_EQ(h.pixel({30, 30}).a, 0);
  ExpectColor(h.pixel({80, 30}), QRVColor{200, 30, 30, 255});
  // During a full repaint a control's clip is its own rectangle, in its container's coordinates.
  EXPECT_DOUBLE_EQ(filled->clipSeen.left, 60);
  EXPECT_DOUBLE_EQ(filled->clipSeen.top, 10);
  EXPECT_DOUBLE_EQ(filled->clipSeen.right, 100);
  EXPECT_DOUBLE_EQ(filled->clipSeen.bottom, 50);
}

TEST(DrawContext, ClipAndGlobalAlphaInsideAndOutsideADrawPass) {
  Quarrytone::QRVDrawContextWrapper idle;
  EXPECT_DOUBLE_EQ(idle.getGlobalAlpha(), 1.0);
  idle.setGlobalAlpha(0.25f);
  EXPECT_DOUBLE_EQ(idle.getGlobalAlpha(), 1.0);
  QRVRect clip{1, 2, 3, 4};
  idle.getClipRect(clip);
  EXPECT_EQ(clip.left, 0);
  EXPECT_EQ(clip.top, 0);
  EXPECT_EQ(clip.right, 0);
  EXPECT_EQ(clip.bottom, 0);
  idle.drawRect(QRVRect{0, 0, 10, 10}, 1);  // no surface: nothing happens
  EXPECT_DOUBLE_EQ(idle.getStringWidth("abc"), 0.0);

  GuiHarness h;
  auto* clipped = new PainterControl(QRVRect{10, 10, 50, 50}, 1);
  clipped->clipLeftHalf = true;
  auto* faded = new PainterControl(QRVRect{60, 10, 100, 50}, 1);
  faded->halfAlpha = true;
  h.container->addControl(clipped);
  h.container->addControl(faded);
  ExpectColor(h.pixel({20, 30}), QRVColor{200, 30, 30, 255});
  EXPECT_EQ(h.pixel({40, 30}).a, 0);
  EXPECT_DOUBLE_EQ(faded->alphaSeen, 0.5);
  EXPECT_NEAR(h.pixel({80, 30}).a, 128, 1);
}

TEST(DrawContext, AControlDrawsOnlyInsideItsOwnRectangle) {
  GuiHarness h;
  auto* spill = new PainterControl(QRVRect{100, 100, 140, 140}, 3);
  spill->spill = true;
  h.container->addControl(spill);
  ExpectColor(h.pixel({120, 120}), QRVColor{200, 30, 30, 255});
  EXPECT_EQ(h.pixel({95, 120}).a, 0);
  EXPECT_EQ(h.pixel({145, 120}).a, 0);
}

TEST(DrawContext, RotatedStringBoxUsesTheDefaultSizeWhenNoneIsGiven) {
  GuiHarness h;
  auto* text = new PainterControl(QRVRect{10, 10, 50, 50}, 3);
  text->rotated = true;
  h.container->addControl(text);
  // Box from (12, 48 - 12) to (12 + w + 4, 48): its left edge is background colour.
  ExpectColor(h.pixel({12.5, 37}), QRVColor{20, 200, 20, 255});
  EXPECT_EQ(h.pixel({12.5, 34}).a, 0);
  // Without a background the box keeps the unwidened width, so the glyph sits 2 points further left.
  auto leftmostInk = [&h] {
    h.headless->render();
    for (int x = 12; x < 40; ++x) {
      tk::Color c = h.headless->pixel(x, 42 + static_cast<int>(GuiHarness::kBarHeight));
      if (c.r > 128 && c.g > 128 && c.b > 128) return x;
    }
    return -1;
  };
  int withBox = leftmostInk();
  text->transparentBox = true;
  Quarrytone::PeerView(text)->invalid();
  int without = leftmostInk();
  ASSERT_GT(withBox, 0);
  ASSERT_GT(without, 0);
  EXPECT_EQ(withBox - without, 2);
}

// Measures a text in the shared Arial 12 during each draw pass.
class MeasuringControl : public QRVCustomControl {
 public:
  MeasuringControl() : QRVCustomControl(QRVRect{0, 0, 100, 20}, 41, nullptr) {}
  void draw(QRVDrawContext* c) override {
    c->setFont(Quarrytone::GetSharedFont(Quarrytone::SharedFont::Arial12));
    width = c->getStringWidth("0000000000");
  }
  double width = 0;
};

TEST(DrawContext, TextKeepsItsWidthInLayoutPointsAtEveryZoom) {
  GuiHarness h;
  auto* text = new MeasuringControl;
  h.container->addControl(text);
  h.headless->render();
  double atOne = text->width;
  EXPECT_NEAR(atOne, 66.7, 0.5);  // ten Arial digits of 0.556 em at 12 points
  for (double zoom : {0.7, 2.5, 4.0}) {
    SCOPED_TRACE(zoom);
    h.frame->zoom(zoom);
    h.headless->render();
    EXPECT_NEAR(text->width, atOne, 0.05);
  }
}

TEST(Containers, TintIsLaidOverTheBackgroundAndOverlaysDrawLast) {
  GuiHarness h;
  h.container->setBackgroundColor(QRVColor{0, 0, 255, 255});
  h.container->setTintColor(QRVColor{255, 0, 0, 255});
  ExpectColor(h.pixel({5, 5}), QRVColor{255, 0, 0, 255});
  struct Overlay : QRVOverlayPainter {
    void draw(QRVDrawContext* c) override {
      c->setFillColor(QRVColor{0, 255, 0, 255});
      c->drawRect(QRVRect{0, 0, 20, 20}, 1);
    }
  };
  h.container->setOverlayPainter(new Overlay);
  ExpectColor(h.pixel({5, 5}), QRVColor{0, 255, 0, 255});
  ExpectColor(h.pixel({30, 30}), QRVColor{255, 0, 0, 255});
  h.container->setTintColor(QRVColor{255, 0, 0, 0});
  ExpectColor(h.pixel({30, 30}), QRVColor{0, 0, 255, 255});
}

}  // namespace
}  // namespace qrv::test
