// The editor window as the tests drive it: the real window layers on a headless frame with the real
// product editor, a host stand-in that echoes messages back as the host binding does, a manual clock
// for both the meter and the shared idle timer, a recording shell and the settings store on a
// temporary file. Input goes through the frame's own event dispatch at device pixels.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gui/backend/Resources.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/editor/QRVEditorHost.h"
#include "gui/editor/IdleUpdateHandler.h"
#include "gui/toolkit/HeadlessFrame.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "presets/SettingsStore.h"
#include "product/warmGlowEditor.h"
#include "tests/support/TempDir.h"

namespace qrv::test {

// GLib's slice allocator hides freed and leaked objects from the leak checker.
inline const bool kEditorGSliceUsesMalloc = setenv("G_SLICE", "always-malloc", 0) == 0;

class RecordingShell final : public platform::Shell {
 public:
  int Open(const std::string& target) override {
    opened.push_back(target);
    return platform::kShellOpenOk;
  }
  std::vector<std::string> opened;
};

// Stands in for a host binding, as a binding is built: one small class behind the window's host seam.
// Records what the window reports and, as the bindings do, sends message indices (12 and above) back to
// the window as controller values.
class EchoHost final : public Quarrytone::QRVEditorHost {
 public:
  explicit EchoHost(Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar& window) : window_(window) { window.setHost(this); }
  void beginEdit(int tag) override { gestures.emplace_back('b', tag); }
  void endEdit(int tag) override { gestures.emplace_back('e', tag); }
  void setValue(int index, double value) override {
    reports.emplace_back(index, value);
    if (index >= 12) window_.valueChangedByController(index, value);
  }
  void resizeRequest(int width, int height) override { sizes.emplace_back(width, height); }

  std::vector<std::pair<int, double>> reports;
  std::vector<std::pair<char, int>> gestures;  // 'b' begin, 'e' end, with the tag
  std::vector<std::pair<int, int>> sizes;

 private:
  Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar& window_;
};

// The window with its stand-in binding composed in.
class EchoWindow : public Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar {
 public:
  template <class... Args>
  explicit EchoWindow(Args&&... args)
      : QRVVSTGUIEditorWrapperV4_PresetBar(std::forward<Args>(args)...), host(*this) {}
  EchoHost host;
  std::vector<std::pair<int, double>>& reports = host.reports;
};

class EditorFixture : public testing::Test {
 protected:
  static constexpr double kBar = Quarrytone::QRVVSTGUIEditorWrapperV1::kBarHeight;

  EditorFixture() : registry(dir / "settings.reg") {
    platform::Services s;
    s.registry = &registry;
    s.clock = &clock;
    s.shell = &shell;
    services.emplace(s);
    settings::SetProcessHints(1);
    tk::RunLoop::instance().useManualClock(true);
    Quarrytone::InitializeResources();
  }
  ~EditorFixture() override {
    window.reset();
    tk::RunLoop::instance().useManualClock(false);
  }

  void Open(double zoom = 1.0) {
    window.emplace(&CreateProductEditor);
    ASSERT_TRUE(window->open(tk::PlatformType::Headless));
    if (zoom != 1.0) window->setZoom(zoom);
  }
  warmGlowEditor& editor() { return *static_cast<warmGlowEditor*>(window->productEditor()); }
  tk::HeadlessPlatformFrame& headless() { return *tk::Headless(window->frame()); }

  // Device pixel of a point of the product editor.
  tk::Point Device(QRVPoint p) const {
    const double z = window->effectiveZoom();
    return tk::Point{p.x * z, (p.y + kBar) * z};
  }
  QRVPoint Centre(QRVBaseControl* c) const {
    const QRVRect r = c->getViewSize();
    return QRVPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void Press(QRVPoint p, int buttons = kQRVLButton) { headless().mouseDown(Device(p), buttons); }
  void Move(QRVPoint p, int buttons = 0) { headless().mouseMove(Device(p), buttons); }
  void Release(QRVPoint p, int buttons = kQRVLButton) { headless().mouseUp(Device(p), buttons); }
  void Click(QRVPoint p, int buttons = kQRVLButton) {
    Press(p, buttons);
    Release(p, buttons);
  }
  // Ticks of the shared 33 ms timer, with the system tick count moving along.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      clock.Advance(Quarrytone::IdleUpdate_QRV_Handler::kIntervalMs);
      tk::RunLoop::instance().advance(Quarrytone::IdleUpdate_QRV_Handler::kIntervalMs);
    }
  }
  // A pixel of the window, unpremultiplied, at window layout points.
  tk::Color WindowPixel(double x, double y) {
    headless().render();
    const double z = window->effectiveZoom();
    return Unpremultiply(headless().pixel(static_cast<int>(x * z), static_cast<int>(y * z)));
  }
  static tk::Color Unpremultiply(tk::Color c) {
    if (c.a == 0 || c.a == 255) return c;
    auto u = [&](std::uint8_t v) { return static_cast<std::uint8_t>(std::min(255, (v * 255 + c.a / 2) / c.a)); };
    return tk::Color{u(c.r), u(c.g), u(c.b), c.a};
  }

  TempDir dir;
  platform::FileRegistry registry;
  platform::ManualClock clock;
  RecordingShell shell;
  std::optional<platform::ScopedServices> services;
  std::optional<EchoWindow> window;
};

}  // namespace qrv::test
