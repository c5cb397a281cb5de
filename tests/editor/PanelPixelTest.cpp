// What the panel looks like: the needle's end points and colours, lit and dark faces, the link's
// underline, the film-strip frames the controls show, the whole window at 100 % and 200 %, and how
// tall the legends are in the window's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "dsp/ParameterSet.h"
#include "gui/backend/Convert.h"
#include "gui/toolkit/Resources.h"
#include "tests/editor/EditorTestSupport.h"

namespace qrv::test {
namespace {

// The pixels of an embedded image at its own resolution (twice the layout).
class ImagePixels {
 public:
  explicit ImagePixels(int id)
      : access_(tk::BitmapPixelAccess::create(Quarrytone::ToolkitBitmap(Quarrytone::GetSharedBitmap(id)), true)) {}
  ~ImagePixels() {
    if (access_) access_->forget();
  }
  ImagePixels(const ImagePixels&) = delete;
  ImagePixels& operator=(const ImagePixels&) = delete;
  bool valid() const { return access_ != nullptr; }
  tk::Color at(int x, int y) {
    access_->setPosition(static_cast<unsigned>(x), static_cast<unsigned>(y));
    return access_->getColor();
  }

 private:
  tk::BitmapPixelAccess* access_;
};

// A stepped knob's angle for step i of 0..last: 270 degrees centred on straight up, clockwise.
double KnobDegrees(long i, int last) { return -135.0 + 270.0 * static_cast<double>(i) / last; }

bool Near(tk::Color a, tk::Color b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}
bool Near(tk::Color a, QRVColor b, int tolerance) { return Near(a, Quarrytone::ToTk(b), tolerance); }

// A connected patch of ink in the window (8-neighbours), in device pixels.
struct InkBlob {
  int left, top, right, bottom;  // inclusive
  int height() const { return bottom - top + 1; }
};

class PanelPixels : public EditorFixture {
 protected:
  // The patches of dark print inside a rectangle of the product editor, as the window shows it now. A
  // pixel is ink when it is darker than halfway between the panel's cream and its brown print, so a
  // letter counts the rows it covers at least about half.
  std::vector<InkBlob> InkBlobs(const QRVRect& area) {
    headless().render();
    const double z = window->effectiveZoom();
    cairo_surface_t* surface = headless().surface();
    const int x0 = std::max(0, static_cast<int>(area.left * z));
    const int y0 = std::max(0, static_cast<int>((area.top + kBar) * z));
    const int x1 = std::min(cairo_image_surface_get_width(surface), static_cast<int>(area.right * z));
    const int y1 = std::min(cairo_image_surface_get_height(surface), static_cast<int>((area.bottom + kBar) * z));
    const int w = x1 - x0, h = y1 - y0;
    std::vector<char> ink(static_cast<std::size_t>(w * h), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const tk::Color c = Unpremultiply(headless().pixel(x0 + x, y0 + y));
        ink[static_cast<std::size_t>(y * w + x)] = c.r * 299 + c.g * 587 + c.b * 114 < 125 * 1000;
      }
    std::vector<InkBlob> blobs;
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
      if (!ink[static_cast<std::size_t>(start)]) continue;
      InkBlob b{w, h, -1, -1};
      ink[static_cast<std::size_t>(start)] = 0;
      stack.assign(1, start);
      while (!stack.empty()) {
        const int x = stack.back() % w, y = stack.back() / w;
        stack.pop_back();
        b = InkBlob{std::min(b.left, x), std::min(b.top, y), std::max(b.right, x), std::max(b.bottom, y)};
        for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny)
          for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx)
            if (ink[static_cast<std::size_t>(ny * w + nx)]) {
              ink[static_cast<std::size_t>(ny * w + nx)] = 0;
              stack.push_back(ny * w + nx);
            }
      }
      blobs.push_back(InkBlob{b.left + x0, b.top + y0, b.right + x0, b.bottom + y0});
    }
    return blobs;
  }
  // A blob's middle in product editor points.
  QRVPoint Middle(const InkBlob& b) const {
    const double z = window->effectiveZoom();
    return QRVPoint{(b.left + b.right + 1) / 2.0 / z, (b.top + b.bottom + 1) / 2.0 / z - kBar};
  }

  // Window pixel of a product point at the current zoom.
  tk::Color At(QRVPoint p) { return WindowPixel(p.x, p.y + kBar); }

  void ShowMeter(double value) {
    window->valueChangedByController(kSlotGainReduction, value);
    window->valueChangedByController(kSlotGainReduction, value);
    window->idle();
  }
  static QRVPoint AlongNeedle(double value, double radius) {
    const double a = 2.0943951023931953 - value * 1.0471975511965976;
    return QRVPoint{COldVuMeter2::kPivot.x + 0.5 + std::cos(a) * radius,
                    COldVuMeter2::kPivot.y + 0.5 - std::sin(a) * radius};
  }

  // At 200 % (one image pixel per device pixel): the share of the image's opaque pixels inside the
  // strip frame at `offset` that the window shows unchanged inside `rect`.
  double FrameMatch(const QRVRect& rect, int image, QRVPoint offset) {
    headless().render();
    ImagePixels img(image);
    EXPECT_TRUE(img.valid());
    int opaque = 0, same = 0;
    for (int y = 0; y < rect.getHeight() * 2; y += 3)
      for (int x = 0; x < rect.getWidth() * 2; x += 3) {
        tk::Color want = img.at(static_cast<int>(offset.x * 2) + x, static_cast<int>(offset.y * 2) + y);
        if (want.a != 255) continue;
        ++opaque;
        tk::Color got =
            headless().pixel(static_cast<int>(rect.left * 2) + x, static_cast<int>((rect.top + kBar) * 2) + y);
        if (Near(got, want, 2)) ++same;
      }
    EXPECT_GT(opaque, 50);
    return opaque ? double(same) / opaque : 0.0;
  }
};

TEST_F(PanelPixels, TheNeedleRunsFromUpperLeftToUpperRightInTheLampsColour) {
  Open(2.0);
  QRVPoint start, end;
  COldVuMeter2::NeedleLine(0.0, start, end);
  EXPECT_NEAR(end.x, 157.5, 1e-9);
  EXPECT_NEAR(end.y, 81.02, 0.01);
  COldVuMeter2::NeedleLine(0.5, start, end);
  EXPECT_NEAR(start.x, 200.5, 1e-9);
  EXPECT_NEAR(start.y, 152.5, 1e-9);
  EXPECT_NEAR(end.x, 200.5, 1e-9);
  EXPECT_NEAR(end.y, 69.5, 1e-9);
  COldVuMeter2::NeedleLine(1.0, start, end);
  EXPECT_NEAR(end.x, 243.5, 1e-9);

  for (double v : {0.0, 0.5, 1.0}) {
    ShowMeter(v);
    // On the needle near its tip, and just past its tip.
    EXPECT_TRUE(Near(At(AlongNeedle(v, 82)), COldVuMeter2::kNeedleLit, 6)) << v;
    EXPECT_TRUE(Near(At(AlongNeedle(v, 60)), COldVuMeter2::kNeedleLit, 6)) << v;
    EXPECT_FALSE(Near(At(AlongNeedle(v, 89)), COldVuMeter2::kNeedleLit, 20)) << v;
    // Where the other values put it there is no needle.
    for (double other : {0.0, 0.5, 1.0}) {
      if (other == v) continue;
      EXPECT_FALSE(Near(At(AlongNeedle(other, 70)), COldVuMeter2::kNeedleLit, 20)) << v << " " << other;
    }
  }
  // Mode Off: the dark needle, still moving.
  window->valueChangedByController(kSlotProcess, 0.0);
  ShowMeter(0.25);
  EXPECT_TRUE(Near(At(AlongNeedle(0.25, 75)), COldVuMeter2::kNeedleDark, 6));
}

TEST_F(PanelPixels, TheFaceIsLitForClearAndValveAndDarkForOff) {
  Open(2.0);
  ShowMeter(1.0);  // the needle well away from the sampled corner
  const QRVRect corner{150, 90, 166, 108};
  const QRVRect face{150, 66, 250, 109};
  ImagePixels lit(kImageVuLit), dark(kImageVuDark);
  int differing = 0;
  for (int y = 0; y < 32; y += 4)
    for (int x = 0; x < 32; x += 4)
      if (!Near(lit.at(x, 48 + y), dark.at(x, 48 + y), 10)) ++differing;
  ASSERT_GT(differing, 10) << "the two faces must differ where the test looks";
  for (double mode : {1.0, 0.5, 0.0}) {
    window->valueChangedByController(kSlotProcess, mode);
    const QRVPoint offset{corner.left - face.left, corner.top - face.top};
    const double litShare = FrameMatch(corner, kImageVuLit, offset);
    const double darkShare = FrameMatch(corner, kImageVuDark, offset);
    if (mode > 0) {
      EXPECT_GT(litShare, 0.98) << mode;
      EXPECT_LT(darkShare, 0.8) << mode;
    } else {
      EXPECT_GT(darkShare, 0.98);
      EXPECT_LT(litShare, 0.8);
    }
  }
}

TEST_F(PanelPixels, TheSwitchAndKnobsShowTheFrameOfTheirValue) {
  Open(2.0);
  QRVHorizontalSwitch* s = editor().modeSwitch();
  const QRVRect r = s->getViewSize();
  const double h = r.getHeight();
  // 1.0 Valve top, 0.5 Clear middle, 0.0 Off bottom.
  const std::pair<double, int> modes[] = {{1.0, 0}, {0.5, 1}, {0.0, 2}};
  for (auto [mode, frame] : modes) {
    window->valueChangedByController(kSlotProcess, mode);
    for (int f = 0; f < 3; ++f) {
      const double share = FrameMatch(r, kImageModeSwitch, QRVPoint{0, f * h});
      if (f == frame)
        EXPECT_GT(share, 0.98) << mode;
      else
        EXPECT_LT(share, 0.95) << mode << " frame " << f;
    }
  }
  const std::pair<int, int> knobs[] = {{kSlotTime, kImageTimeKnob},          {kSlotCompression, kImageCompressionKnob},
                                       {kSlotOutput, kImageOutputKnob},      {kSlotRatio, kImageRatioKnob},
                                       {kSlotAttackRatio, kImageAttackKnob}, {kSlotValveLevel, kImageValveKnob}};
  for (auto [slot, image] : knobs) {
    QRVAnimKnob* k = editor().knob(slot);
    window->valueChangedByController(slot, 1.0);
    const QRVPoint last = k->frameOffset();
    // Frames of one knob differ only in the pointer: the shown frame matches, the other clearly less.
    window->valueChangedByController(slot, 0.0);
    const double first = FrameMatch(k->getViewSize(), image, QRVPoint{0, 0});
    EXPECT_GT(first, 0.99) << slot;
    EXPECT_LT(FrameMatch(k->getViewSize(), image, last), first - 0.02) << slot;
    window->valueChangedByController(slot, 1.0);
    EXPECT_GT(FrameMatch(k->getViewSize(), image, last), 0.99) << slot;
  }
}

TEST_F(PanelPixels, TheLinkIsUnderlinedWhileThePointerIsOnIt) {
  Open(2.0);
  Click(QRVPoint{200, 25});
  ASSERT_TRUE(window->containsContainer(editor().aboutContainer()));
  const QRVPoint under{200, CInfo::kLinkRect.bottom - 4};
  EXPECT_FALSE(Near(At(under), CInfo::kLinkColor, 30));
  Move(QRVPoint{200, 140});
  EXPECT_TRUE(editor().about()->hover());
  EXPECT_TRUE(Near(At(under), CInfo::kLinkColor, 4));
  EXPECT_TRUE(Near(At(QRVPoint{CInfo::kLinkRect.left + 1, under.y}), CInfo::kLinkColor, 4));
  Move(QRVPoint{200, 170});
  EXPECT_FALSE(editor().about()->hover());
  EXPECT_FALSE(Near(At(under), CInfo::kLinkColor, 30));
}

TEST_F(PanelPixels, TheWholeWindowAt100And200PercentShowsTheBarAreaAndThePanel) {
  for (double zoom : {1.0, 2.0}) {
    Open(zoom);
    headless().render();
    EXPECT_EQ(cairo_image_surface_get_width(headless().surface()), static_cast<int>(400 * zoom));
    EXPECT_EQ(cairo_image_surface_get_height(headless().surface()), static_cast<int>(353 * zoom));
    for (double x : {1.0, 100.0, 399.0})
      for (double y : {1.0, 40.0, 77.0})
        EXPECT_TRUE(Near(WindowPixel(x, y), Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar::kBarBackground, 0))
            << zoom << " " << x << "," << y;

    // The panel image wherever no control lies on it.
    std::vector<QRVRect> controls;
    for (int slot : {kSlotTime, kSlotCompression, kSlotOutput, kSlotRatio, kSlotAttackRatio, kSlotValveLevel})
      controls.push_back(editor().knob(slot)->getViewSize());
    controls.push_back(editor().modeSwitch()->getViewSize());
    controls.push_back(editor().meter()->getViewSize());
    ImagePixels panel(kImagePanel);
    int checked = 0, same = 0;
    for (double y = 1; y < 275; y += 6.5)
      for (double x = 1; x < 400; x += 6.5) {
        bool covered = false;
        for (const QRVRect& r : controls)
          if (x >= r.left - 1 && x <= r.right + 1 && y >= r.top - 1 && y <= r.bottom + 1) covered = true;
        if (covered) continue;
        ++checked;
        const int dx = static_cast<int>(x * zoom), dy = static_cast<int>(y * zoom);
        const int ix = zoom == 1.0 ? 2 * dx : dx, iy = zoom == 1.0 ? 2 * dy : dy;
        tk::Color want = panel.at(ix, iy);
        if (zoom == 1.0) {
          // Two by two image pixels make one window pixel.
          tk::Color b = panel.at(ix + 1, iy), c = panel.at(ix, iy + 1), d = panel.at(ix + 1, iy + 1);
          want = tk::Color{std::uint8_t((want.r + b.r + c.r + d.r + 2) / 4),
                           std::uint8_t((want.g + b.g + c.g + d.g + 2) / 4),
                           std::uint8_t((want.b + b.b + c.b + d.b + 2) / 4), 255};
        }
        const tk::Color got = WindowPixel(dx / zoom, dy / zoom + kBar);
        if (Near(got, want, zoom == 1.0 ? 3 : 1)) ++same;
      }
    EXPECT_GT(checked, 1000);
    EXPECT_EQ(same, checked) << zoom;
    window.reset();
  }
}

// The legends of the stepped controls (the control table's texts) must read at small zooms: each at
// least 7 pixels tall at 100 % and 5 at 70 %. A stepped knob's legend is the tallest ink in its
// step's sector around the knob, within `reach` points of the knob's centre; the switch's legends
// stand in its top 13 points, one above each position.
TEST_F(PanelPixels, EveryStepLegendIsAtLeastSevenPixelsTallAt100PercentAndFiveAt70) {
  struct Stepped {
    unsigned slot;
    double reach;
  };
  for (auto [zoom, least] : {std::pair{1.0, 7}, std::pair{0.7, 5}}) {
    Open(zoom);
    for (auto [slot, reach] : {Stepped{kSlotRatio, 38}, Stepped{kSlotAttackRatio, 27}, Stepped{kSlotValveLevel, 27}}) {
      const QRVPoint c = Centre(editor().knob(static_cast<int>(slot)));
      const auto legends = ControlShapeOf(slot).legends;
      const int last = static_cast<int>(legends.size()) - 1;
      ASSERT_GT(last, 0);
      std::vector<int> tallest(legends.size(), 0);
      const double margin = reach + 10;  // no legend is cut by the searched rectangle
      for (const InkBlob& b : InkBlobs(QRVRect{c.x - margin, c.y - margin, c.x + margin, c.y + margin})) {
        const QRVPoint m = Middle(b);
        const double dx = m.x - c.x, dy = m.y - c.y;
        const tk::Point centre = Device(c);
        const bool knob =
            b.left <= centre.x && centre.x <= b.right + 1 && b.top <= centre.y && centre.y <= b.bottom + 1;
        if (knob || std::hypot(dx, dy) > reach) continue;
        const double degrees = std::atan2(dx, -dy) * 180 / M_PI;  // clockwise from straight up
        const long step = std::lround((degrees + 135) / 270 * last);
        if (step < 0 || step > last || std::abs(degrees - KnobDegrees(step, last)) > 22.5) continue;
        tallest[static_cast<std::size_t>(step)] = std::max(tallest[static_cast<std::size_t>(step)], b.height());
      }
      for (std::size_t i = 0; i < legends.size(); ++i)
        EXPECT_GE(tallest[i], least) << "zoom " << zoom << ", legend " << legends[i];
    }
    const QRVRect r = editor().modeSwitch()->getViewSize();
    const auto legends = ControlShapeOf(kSlotProcess).legends;
    std::vector<int> tallest(legends.size(), 0);
    const double column = r.getWidth() / static_cast<double>(legends.size());
    for (const InkBlob& b : InkBlobs(QRVRect{r.left, r.top, r.right, r.top + 13})) {
      const long i = std::lround(std::floor((Middle(b).x - r.left) / column));
      if (i >= 0 && i < static_cast<long>(legends.size()))
        tallest[static_cast<std::size_t>(i)] = std::max(tallest[static_cast<std::size_t>(i)], b.height());
    }
    // The switch reads Valve..Off from left to right, the table Off..Valve.
    for (std::size_t i = 0; i < legends.size(); ++i)
      EXPECT_GE(tallest[legends.size() - 1 - i], least) << "zoom " << zoom << ", legend " << legends[i];
    window.reset();
  }
}

}  // namespace
}  // namespace qrv::test
