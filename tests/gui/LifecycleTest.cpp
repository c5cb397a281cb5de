// Ownership between containers, peers and controls; offscreen contexts; paths and gradients;
// editing details of the text field.
#include <gtest/gtest.h>

#include <cstring>

#include "gui/backend/DrawContextWrapper.h"
#include "tests/gui/GuiHarness.h"

namespace qrv::test {
namespace {

// Counts how many of its kind are alive.
class CountedControl : public QRVCustomControl {
 public:
  explicit CountedControl(const QRVRect& r) : QRVCustomControl(r, 60, nullptr) { ++alive; }
  ~CountedControl() override { --alive; }
  static int alive;
};
int CountedControl::alive = 0;

TEST(Lifecycle, ContainersOwnTheirPeersAndControlsUntilTheWindowCloses) {
  {
    GuiHarness h;
    auto* inner = new Quarrytone::CQRVViewContainerWrapper(&h.engine, &h.listener, QRVRect{0, 0, 400, 275});
    inner->addControl(new CountedControl(QRVRect{10, 10, 20, 20}));
    auto* kept = new CountedControl(QRVRect{30, 30, 40, 40});
    inner->addControl(kept);
    EXPECT_EQ(CountedControl::alive, 2);
    EXPECT_FALSE(inner->isAttached());
    EXPECT_TRUE(h.container->addContainer(inner));
    EXPECT_TRUE(inner->isAttached());
    EXPECT_TRUE(h.container->containsContainer(inner, false));
    EXPECT_TRUE(h.container->containsControl(kept, true));
    EXPECT_FALSE(h.container->containsControl(kept, false));
    // Taken out and put back: nothing is destroyed on the way.
    EXPECT_TRUE(h.container->removeContainer(inner));
    EXPECT_FALSE(inner->isAttached());
    EXPECT_EQ(CountedControl::alive, 2);
    EXPECT_TRUE(h.container->addContainer(inner));
    EXPECT_FALSE(h.container->addContainer(inner));  // already there
    EXPECT_FALSE(h.container->removeContainer(nullptr));
    EXPECT_FALSE(h.container->addControl(nullptr));
  }
  // Closing the window destroyed the containers, the peers and the controls they carried.
  EXPECT_EQ(CountedControl::alive, 0);

  // A container that never reached a window is freed with its wrapper.
  Quarrytone::InitializeResources();
  auto* loose = new Quarrytone::CQRVViewContainerWrapper(nullptr, nullptr, QRVRect{0, 0, 10, 10});
  loose->addControl(new CountedControl(QRVRect{0, 0, 5, 5}));
  EXPECT_EQ(CountedControl::alive, 1);
  delete loose;
  EXPECT_EQ(CountedControl::alive, 0);
}

TEST(Lifecycle, PeerKindsOutsideTheTableGetNoPeer) {
  GuiHarness h;
  auto* none = new QRVBaseControl(QRVRect{0, 0, 10, 10}, 3, nullptr, 14);
  EXPECT_FALSE(h.container->addControl(none));
  EXPECT_EQ(none->getPeer(), nullptr);
  EXPECT_FALSE(h.container->removeControl(none));
  delete none;
  auto* plain = new QRVBaseControl(QRVRect{0, 0, 10, 10}, 3, nullptr, 1);
  EXPECT_TRUE(h.container->addControl(plain));
  EXPECT_FALSE(h.container->removeControl(plain));  // kind 1 cannot be taken out
  EXPECT_TRUE(h.container->containsControl(plain, false));
}

TEST(Offscreen, DrawsWithAnOriginCopiesAndHandsOutACountedBitmap) {
  GuiHarness h;
  auto* knob = new QRVAnimKnob(QRVRect{0, 0, 40, 40}, 2, nullptr, 7);
  h.container->addControl(knob);
  QRVOffscreenContext* off = knob->getPeer()->createOffscreenContext(20, 10, 2.0);
  ASSERT_NE(off, nullptr);
  off->setOrigin(QRVPoint{-10, 0});  // (10, 0) lands at the surface's left edge
  off->setFillColor(QRVColor{0, 128, 255, 255});
  off->drawRect(QRVRect{10, 0, 20, 10}, 1);
  QRVBitmap* bitmap = off->getBitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_DOUBLE_EQ(bitmap->getWidth(), 20);
  EXPECT_DOUBLE_EQ(bitmap->getHeight(), 10);
  QRVBitmapPixelAcces* px = bitmap->createPixelAccess(true);
  QRVColor c;
  px->setPosition(5, 5);
  px->getColor(c);
  EXPECT_EQ(c.blue, 255);
  px->setPosition(30, 5);
  px->getColor(c);
  EXPECT_EQ(c.alpha, 0);
  px->release();
  bitmap->release();
  off->retain();
  off->release();
  off->release();

  // Without a window the context has no surface and draws nothing.
  Quarrytone::QRVDrawContextWrapper idle;
  Quarrytone::CQRVOffscreenContextWrapper detached(20, 10, 1.0, false);
  EXPECT_FALSE(detached.hasSurface());
  EXPECT_EQ(detached.getBitmap(), nullptr);
  detached.copyTo(&idle, QRVRect{0, 0, 20, 10});
}

TEST(Offscreen, IntegralModeSnapsToWholePixelsAndNonIntegralModeDoesNot) {
  Quarrytone::CQRVOffscreenContextWrapper off(40, 40, 1.0, true);  // starts anti-aliased, integral
  off.setFillColor(QRVColor{255, 255, 255, 255});
  off.setFrameColor(QRVColor{255, 255, 255, 255});
  off.drawRect(QRVRect{0.3, 0.3, 4.6, 4.6}, kQRVDrawFilled);  // lands on 0..5
  off.drawLine(QRVPoint{0, 20}, QRVPoint{10, 20});              // a hairline on the pixel row 20
  off.setDrawMode(static_cast<int>(kQRVControlDrawMode));
  off.drawRect(QRVRect{20.3, 0.3, 24.6, 4.6}, kQRVDrawFilled);
  off.drawLine(QRVPoint{20, 20}, QRVPoint{30, 20});  // straddles rows 19 and 20
  QRVBitmap* bitmap = off.getBitmap();
  ASSERT_NE(bitmap, nullptr);
  QRVBitmapPixelAcces* px = bitmap->createPixelAccess(true);
  auto alpha = [px](unsigned x, unsigned y) {
    QRVColor c;
    px->setPosition(x, y);
    px->getColor(c);
    return int{c.alpha};
  };
  EXPECT_EQ(alpha(0, 0), 255);
  EXPECT_EQ(alpha(4, 4), 255);
  EXPECT_EQ(alpha(5, 5), 0);
  EXPECT_EQ(alpha(5, 20), 255);
  EXPECT_EQ(alpha(5, 19), 0);
  EXPECT_LT(alpha(20, 0), 255);  // partly covered
  EXPECT_GT(alpha(20, 0), 0);
  EXPECT_LT(alpha(25, 20), 255);
  EXPECT_GT(alpha(25, 19), 0);
  px->release();
  bitmap->release();
}

// Fills paths with gradients through the draw context of a control.
class GradientControl : public QRVCustomControl {
 public:
  GradientControl() : QRVCustomControl(QRVRect{0, 0, 100, 20}, 61, nullptr) {}
  void draw(QRVDrawContext* c) override {
    QRVGraphicsPath* path = c->createGraphicsPath();
    path->addRect(viewRect_);
    bounds = path->getBoundingBox();
    end = path->getCurrentPosition();
    inside = path->hitTest(QRVPoint{50, 10}, false);
    outside = path->hitTest(QRVPoint{150, 10}, false);
    QRVGradient* g = c->createGradient(0.0, 1.0, QRVColor{255, 0, 0, 255}, QRVColor{0, 0, 255, 255});
    c->fillLinearGradient(path, g, QRVPoint{0, 0}, QRVPoint{100, 0}, false);
    g->release();
    path->release();
  }
  QRVRect bounds;
  QRVPoint end;
  bool inside = false, outside = true;
};

TEST(Paths, LinearGradientRunsFromStartToEnd) {
  GuiHarness h;
  auto* control = new GradientControl;
  h.container->addControl(control);
  tk::Color left = h.pixel({1, 10}), right = h.pixel({99, 10});
  EXPECT_GT(left.r, 240);
  EXPECT_LT(left.b, 15);
  EXPECT_GT(right.b, 240);
  EXPECT_LT(right.r, 15);
  EXPECT_DOUBLE_EQ(control->bounds.right, 100);
  EXPECT_DOUBLE_EQ(control->bounds.bottom, 20);
  EXPECT_TRUE(control->inside);
  EXPECT_FALSE(control->outside);
  Quarrytone::QRVGraphicsPath_VSTGUI empty;
  EXPECT_DOUBLE_EQ(empty.getCurrentPosition().x, 0);
  EXPECT_DOUBLE_EQ(empty.getCurrentPosition().y, 0);
}

// A 10 x 10 square at the origin filled through each transform, and a radial fill.
class TransformControl : public QRVCustomControl {
 public:
  TransformControl() : QRVCustomControl(QRVRect{0, 0, 200, 100}, 62, nullptr) {}
  void draw(QRVDrawContext* c) override {
    QRVGraphicsPath* square = c->createGraphicsPath();
    square->addRect(QRVRect{0, 0, 10, 10});
    QRVGradient* red = c->createGradient(0.0, 1.0, QRVColor{255, 0, 0, 255}, QRVColor{255, 0, 0, 255});
    const double identity[6] = {1, 0, 0, 1, 0, 0};
    const double moved[6] = {1, 0, 0, 1, 50, 0};
    const double sheared[6] = {1, 1, 0, 1, 100, 0};  // x' = x + y + 100, y' = y
    c->fillLinearGradient(square, red, QRVPoint{0, 0}, QRVPoint{10, 0}, false, identity);
    c->fillLinearGradient(square, red, QRVPoint{0, 0}, QRVPoint{10, 0}, false, moved);
    c->fillLinearGradient(square, red, QRVPoint{0, 0}, QRVPoint{10, 0}, false, sheared);
    QRVGraphicsPath* disc = c->createGraphicsPath();
    disc->addEllipse(QRVRect{150, 50, 190, 90});
    QRVGradient* glow = c->createGradient(0.0, 1.0, QRVColor{255, 255, 255, 255}, QRVColor{0, 0, 255, 255});
    c->fillRadialGradient(disc, glow, QRVPoint{170, 70}, 20, QRVPoint{0, 0}, false);
    glow->release();
    disc->release();
    red->release();
    square->release();
  }
};

TEST(Paths, GradientFillsApplyTheirTransformForThatCallOnly) {
  GuiHarness h;
  h.container->addControl(new TransformControl);
  EXPECT_EQ(h.pixel({5, 5}).r, 255);
  EXPECT_EQ(h.pixel({55, 5}).r, 255);
  EXPECT_EQ(h.pixel({15, 5}).a, 0);
  EXPECT_EQ(h.pixel({115, 8}).r, 255);  // row 8 runs from 108 to 118
  EXPECT_EQ(h.pixel({103, 8}).a, 0);
  EXPECT_EQ(h.pixel({105, 1}).r, 255);
  // The radial fill is white at its centre and blue towards its rim.
  tk::Color centre = h.pixel({170, 70}), rim = h.pixel({170, 88.5});
  EXPECT_GT(centre.g, 240);
  EXPECT_LT(rim.g, 40);
  EXPECT_GT(rim.b, 200);
}

TEST(Panel, TheEmbeddedBackgroundIsDrawnAtEveryZoom) {
  GuiHarness h;
  h.container->setBackgroundById(11128);
  tk::Color c = h.pixel({200, 137});
  EXPECT_EQ(c.a, 255);
  h.frame->zoom(2.5);
  tk::Color zoomed = h.pixel({200, 137});
  EXPECT_EQ(zoomed.a, 255);
  EXPECT_NEAR(zoomed.r, c.r, 24);
  EXPECT_NEAR(zoomed.g, c.g, 24);
  EXPECT_NEAR(zoomed.b, c.b, 24);
}

TEST(TextField, EditsByCodePointsSelectsWithShiftAndKeepsItsLimit) {
  GuiHarness h;
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 200, 40}, 70);
  h.container->addControl(edit);
  auto* box = dynamic_cast<tk::TextEdit*>(Quarrytone::PeerView(edit));
  ASSERT_NE(box, nullptr);
  box->setMaxLength(6);
  h.click({100, 30});
  h.headless->type("Grüße!");  // six code points, eight bytes
  EXPECT_EQ(box->getText(), "Grüße!");
  h.headless->type("x");  // over the limit: ignored
  EXPECT_EQ(box->getText(), "Grüße!");
  h.key(tk::VirtualKey::Left);
  h.key(tk::VirtualKey::Left, kQRVShift);
  h.key(tk::VirtualKey::Left, kQRVShift);
  EXPECT_EQ(box->getText().substr(std::min(box->caret(), box->selectionAnchor())), "ße!");
  h.key(tk::VirtualKey::Back);
  EXPECT_EQ(box->getText(), "Grü!");
  h.key(tk::VirtualKey::Back);
  EXPECT_EQ(box->getText(), "Gr!");
  h.key(tk::VirtualKey::Home);
  h.key(tk::VirtualKey::End, kQRVShift);
  h.headless->type("ok");
  EXPECT_EQ(box->getText(), "ok");
  // Control characters do not enter the text.
  tk::KeyEvent bell;
  bell.character = 7;
  h.headless->keyDown(bell);
  EXPECT_EQ(box->getText(), "ok");
  std::size_t reports = h.listener.changes.size();
  h.key(tk::VirtualKey::Return);
  EXPECT_STREQ(edit->getText(), "ok");
  // Without converters the field itself tells the listener about the commit.
  ASSERT_EQ(h.listener.changes.size(), reports + 1);
  EXPECT_EQ(h.listener.changes.back().first, 70);
  // The control keeps at most 255 characters of a longer text.
  std::string longText(400, 'a');
  edit->setText(longText.c_str());
  EXPECT_EQ(std::strlen(edit->getText()), 255u);
  EXPECT_STREQ(edit->getPreviousText(), "ok");
}

}  // namespace
}  // namespace qrv::test
