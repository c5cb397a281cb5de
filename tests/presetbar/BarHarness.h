// The headless editor window of GuiHarness with a preset bar container across its top (window
// rows 0..78, the bar's grey), input and pixels at window points, and the idle ticks the editor
// would give the bar's controls.
#pragma once

#include <initializer_list>

#include "gui/presetbar/PresetBarControls.h"
#include "tests/gui/GuiHarness.h"

namespace qrv::test {

inline constexpr QRVColor kBarGrey{30, 30, 30, 255};

class BarHarness : public GuiHarness {
 public:
  explicit BarHarness(double width = Quarrytone::layout::kPanelWidth, double height = Quarrytone::layout::kPanelHeight) : GuiHarness(width, height) {
    bar = new Quarrytone::CQRVViewContainerWrapper(&engine, &listener, QRVRect{0, 0, width, kBarHeight});
    bar->setBackgroundColor(kBarGrey);
    bar->attachTo(frame);
  }

  template <class T>
  T* add(T* control) {
    EXPECT_TRUE(bar->addControl(control));
    return control;
  }

  tk::Point windowDevice(QRVPoint p) const { return tk::Point{p.x * frame->getZoom(), p.y * frame->getZoom()}; }
  tk::MouseResult pressAt(QRVPoint p, int buttons = kQRVLButton) { return headless->mouseDown(windowDevice(p), buttons); }
  tk::MouseResult releaseAt(QRVPoint p, int buttons = kQRVLButton) { return headless->mouseUp(windowDevice(p), buttons); }
  tk::MouseResult moveAt(QRVPoint p, int buttons = 0) { return headless->mouseMove(windowDevice(p), buttons); }
  bool wheelAt(QRVPoint p, float distance, int buttons = 0) { return headless->wheel(windowDevice(p), distance, buttons); }
  void clickAt(QRVPoint p, int buttons = kQRVLButton) {
    pressAt(p, buttons);
    releaseAt(p, buttons);
  }
  // Premultiplied pixel at a window point (after rendering).
  tk::Color pixelAt(QRVPoint p) {
    headless->render();
    tk::Point d = windowDevice(p);
    return headless->pixel(static_cast<int>(d.x), static_cast<int>(d.y));
  }
  static void tick(std::initializer_list<PresetBarBasicControl*> controls, int times = 1) {
    for (int i = 0; i < times; ++i)
      for (PresetBarBasicControl* c : controls) c->onIdleTick();
  }
  // Reports with one tag, in order.
  std::vector<double> reports(int tag) const {
    std::vector<double> out;
    for (const auto& [t, v] : listener.changes)
      if (t == tag) out.push_back(v);
    return out;
  }

  Quarrytone::CQRVViewContainerWrapper* bar;
};

// Colour c drawn over an opaque background, as 8-bit channels.
inline tk::Color Over(QRVColor c, QRVColor background) {
  auto mix = [&](int fg, int bg) { return static_cast<std::uint8_t>((fg * c.alpha + bg * (255 - c.alpha) + 127) / 255); };
  return tk::Color{mix(c.red, background.red), mix(c.green, background.green), mix(c.blue, background.blue), 255};
}

// Channel-wise comparison with a tolerance for rounding and anti-aliasing.
inline ::testing::AssertionResult Near(tk::Color actual, tk::Color expected, int tolerance = 3) {
  auto d = [](int a, int b) { return a > b ? a - b : b - a; };
  if (d(actual.r, expected.r) <= tolerance && d(actual.g, expected.g) <= tolerance &&
      d(actual.b, expected.b) <= tolerance && d(actual.a, expected.a) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << int(actual.r) << ", " << int(actual.g) << ", " << int(actual.b)
                                       << ", " << int(actual.a) << "), expected (" << int(expected.r) << ", "
                                       << int(expected.g) << ", " << int(expected.b) << ", " << int(expected.a) << ")";
}

}  // namespace qrv::test
