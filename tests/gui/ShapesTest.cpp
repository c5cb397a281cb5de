// Shape operations of the draw context and the knob's overlay and hover drawing, read back as pixels.
#include <gtest/gtest.h>

#include <functional>

#include "tests/gui/GuiHarness.h"

namespace qrv::test {
namespace {

constexpr QRVColor kInk{10, 120, 240, 255};

// Runs a drawing function inside a real draw pass.
class Sketch : public QRVCustomControl {
 public:
  Sketch(const QRVRect& r, std::function<void(QRVDrawContext*)> f) : QRVCustomControl(r, 80, nullptr), f_(std::move(f)) {}
  void draw(QRVDrawContext* c) override { f_(c); }

 private:
  std::function<void(QRVDrawContext*)> f_;
};

bool IsInk(tk::Color c) { return c.r == kInk.red && c.g == kInk.green && c.b == kInk.blue && c.a == 255; }

TEST(Shapes, EllipsesArcsPolygonsAndLinesCoverWhatTheySay) {
  GuiHarness h;
  h.container->addControl(new Sketch(QRVRect{0, 0, 400, 275}, [](QRVDrawContext* c) {
    c->setFillColor(kInk);
    c->setFrameColor(kInk);
    c->drawEllipse(QRVRect{10, 10, 50, 50}, kQRVDrawFilled);
    c->drawArc(QRVRect{60, 10, 100, 50}, 0.0f, 90.0f, kQRVDrawFilled);  // lower right quarter (y down)
    const QRVPoint triangle[] = {{110, 10}, {150, 10}, {110, 50}};
    c->drawPolygon(triangle, 3, kQRVDrawFilled);
    c->setLineWidth(4);
    c->drawLine(160.0, 30.0, 200.0, 30.0);
    c->moveTo(QRVPoint{210, 10});
    c->lineTo(QRVPoint{210, 50});
    c->drawDot(QRVPoint{240, 30}, 8);  // a square of 4 points
    c->drawPixel(QRVPoint{260, 30}, kInk);
    const double dashes[] = {2, 2};
    c->setLineWidth(2);
    c->setLineStyle(0, 0, 0, 2, dashes);
    c->drawLine(QRVPoint{10, 70}, QRVPoint{110, 70});
    c->setLineStyleSolid();
    c->drawRect(QRVRect{120, 60, 160, 100}, kQRVDrawStroked);
  }));
  EXPECT_TRUE(IsInk(h.pixel({30, 30})));
  EXPECT_FALSE(IsInk(h.pixel({12, 12})));  // outside the circle, inside its box
  EXPECT_TRUE(IsInk(h.pixel({88, 38})));
  EXPECT_FALSE(IsInk(h.pixel({72, 22})));
  EXPECT_TRUE(IsInk(h.pixel({115, 15})));
  EXPECT_FALSE(IsInk(h.pixel({145, 45})));
  EXPECT_TRUE(IsInk(h.pixel({180, 31})));
  EXPECT_FALSE(IsInk(h.pixel({180, 34})));
  EXPECT_TRUE(IsInk(h.pixel({210, 40})));
  EXPECT_TRUE(IsInk(h.pixel({241, 31})));
  EXPECT_FALSE(IsInk(h.pixel({243, 30})));
  EXPECT_EQ(h.pixel({261, 31}).a, 0);
  // Dashes of 2 x line width: ink, gap, ink.
  EXPECT_TRUE(IsInk(h.pixel({11, 70})));
  EXPECT_EQ(h.pixel({15, 70}).a, 0);
  EXPECT_TRUE(IsInk(h.pixel({19, 70})));
  // A stroked rectangle leaves its inside empty.
  EXPECT_EQ(h.pixel({140, 80}).a, 0);
  EXPECT_TRUE(IsInk(h.pixel({140, 60})));
}

TEST(Shapes, DrawStylesOutsideZeroToTwoDrawNothing) {
  GuiHarness h;
  h.container->addControl(new Sketch(QRVRect{0, 0, 400, 275}, [](QRVDrawContext* c) {
    c->setFillColor(kInk);
    c->setFrameColor(kInk);
    c->setLineWidth(3);
    const QRVPoint triangle[] = {{110, 110}, {150, 110}, {110, 150}};
    for (int style : {3, -1, 0x101}) {
      c->drawRect(QRVRect{10, 110, 50, 150}, style);
      c->drawEllipse(QRVRect{60, 110, 100, 150}, style);
      c->drawArc(QRVRect{160, 110, 200, 150}, 0.0f, 270.0f, style);
      c->drawPolygon(triangle, 3, style);
    }
    c->setLineWidth(4);
    c->drawEllipse(QRVRect{210, 110, 250, 150}, kQRVDrawFilledAndStroked);
  }));
  for (QRVPoint p : {QRVPoint{30, 130}, QRVPoint{10.5, 130}, QRVPoint{80, 130}, QRVPoint{61, 130},
                     QRVPoint{185, 135}, QRVPoint{160.5, 130}, QRVPoint{115, 115}, QRVPoint{130, 110.5}}) {
    SCOPED_TRACE(testing::Message() << p.x << ", " << p.y);
    EXPECT_EQ(h.pixel(p).a, 0);
  }
  EXPECT_TRUE(IsInk(h.pixel({230, 130})));  // style 2: filled
  EXPECT_TRUE(IsInk(h.pixel({209.5, 130})));  // and stroked outside the fill
}

TEST(KnobLook, OverlayAndHoverHighlightDrawOverTheStrip) {
  GuiHarness h;
  auto* knob = new QRVAnimKnob(QRVRect{100, 100, 140, 140}, 2, nullptr, 7);
  knob->overlayEnabled_ = true;
  knob->overlayColor_ = QRVControlColor(0, 0, 0, 255);
  knob->overlayInset_ = 10;
  knob->hoverHighlight_ = true;
  knob->hoverColor_ = QRVControlColor(255, 255, 255, 255);
  h.container->addControl(knob);
  tk::Color centre = h.pixel({120, 120});
  EXPECT_EQ(centre.a, 255);
  EXPECT_EQ(centre.r, 0);
  EXPECT_EQ(h.pixel({102, 120}).a, 0);  // outside the inset ellipse
  h.move({120, 120}, 0);
  EXPECT_EQ(h.pixel({102, 120}).r, 255);  // the hover fill covers the view
  knob->overlayIsEllipse_ = false;
  knob->overlayShapeHidden_ = true;
  h.move({300, 250}, 0);
  EXPECT_EQ(h.pixel({120, 120}).a, 0);
}

TEST(TextEdit, ZoomMakesAFontOfTheUnzoomedSizeTimesTheFactor) {
  GuiHarness h;
  auto* edit = new QRVTextEdit(QRVRect{10, 10, 110, 30}, 71);
  ASSERT_NE(edit->getFont(), nullptr);
  EXPECT_DOUBLE_EQ(edit->getFont()->getSize(), 12);
  h.container->addControl(edit);
  edit->setZoom(2.0);
  EXPECT_DOUBLE_EQ(edit->getFont()->getSize(), 24);
  EXPECT_DOUBLE_EQ(edit->getViewSize().getWidth(), 200);
  edit->setZoom(1.5);  // always from the unzoomed font and the construction rectangle
  EXPECT_DOUBLE_EQ(edit->getFont()->getSize(), 18);
  EXPECT_DOUBLE_EQ(edit->getViewSize().getHeight(), 30);
  auto* box = dynamic_cast<tk::TextEdit*>(Quarrytone::PeerView(edit));
  ASSERT_NE(box, nullptr);
  EXPECT_DOUBLE_EQ(box->getFont()->getSize(), 18);
  // Style bit 0x80 keeps the field's current value.
  edit->setStyle(0x80 | 64);
  EXPECT_EQ(box->getStyle() & 0x80u, 0u);
  EXPECT_EQ(box->getStyle() & 64u, 64u);
}

TEST(Containers, HiddenContainersNeitherDrawNorTakeTheMouse) {
  GuiHarness h;
  auto* overlay = new Quarrytone::CQRVViewContainerWrapper(&h.engine, &h.listener, QRVRect{0, 0, 400, 275});
  overlay->setBackgroundColor(QRVColor{30, 30, 30, 255});
  auto* button = new QRVKickButton(QRVRect{10, 10, 60, 30}, 28);
  overlay->addControl(button);
  h.container->addContainer(overlay);
  EXPECT_EQ(h.pixel({200, 200}).r, 30);
  h.click({20, 20});
  EXPECT_EQ(h.listener.changes.size(), 1u);
  overlay->setVisible(false);
  EXPECT_FALSE(overlay->isVisible());
  EXPECT_EQ(h.pixel({200, 200}).a, 0);
  h.click({20, 20});
  EXPECT_EQ(h.listener.changes.size(), 1u);
  overlay->setVisible(true);
  overlay->setViewSize(QRVRect{100, 100, 200, 200});
  EXPECT_DOUBLE_EQ(overlay->getViewSize().left, 100);
  h.click({20, 20});  // moved away: the button is now at (110, 110)
  EXPECT_EQ(h.listener.changes.size(), 1u);
  h.click({120, 120});
  EXPECT_EQ(h.listener.changes.size(), 2u);
}

}  // namespace
}  // namespace qrv::test
