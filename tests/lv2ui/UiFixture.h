// The fixture of the LV2 UI tests: a private Xvfb server with a host window, the bundle's binary loaded
// once per test, a UI host of the tests' own, pumping as a host's UI thread does, pixels read back
// from the X server and real pointer and key events through XTest.
#pragma once

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dsp/ParameterSet.h"
#include "controller/HostControls.h"
#include "format/lv2/Lv2Uris.h"
#include "gui/backend/Resources.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/presetbar/PresetConfigMenu.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "presets/SettingsStore.h"
#include "product/warmGlowEditor.h"
#include "tests/lv2ui/UiHost.h"
#include "tests/support/PrivateXServer.h"
#include "tests/support/TempDir.h"

// Last: Xlib's macros (None, Bool, True) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace qrv::lv2::test {

using qrv::test::PrivateXServer;
using qrv::test::TempDir;

inline constexpr double kBar = Quarrytone::QRVVSTGUIEditorWrapperV1::kBarHeight;

// One settings folder for the whole program: the bundle's binary may stay loaded between tests and keep
// the path it found first.
inline const TempDir& ConfigDir() {
  static const TempDir dir;
  static const bool set = [] {
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    setenv("USERPROFILE", dir.path().c_str(), 1);
    // GLib's slice allocator hides freed and leaked objects from the leak checker.
    setenv("G_SLICE", "always-malloc", 1);
    return true;
  }();
  (void)set;
  return dir;
}

// Rectangles of the panel in editor layout points, read from the real product editor on a headless
// window, so that the test follows the panel's layout.
// Panel rectangles are in editor layout points, bar rectangles in window layout points.
struct PanelLayout {
  QRVRect compression, meter, name, nameIcon, nudge, undoRedo, zoom, ab;
  QRVRect config, hintsHide;  // the configuration button; "Hide" of the hints row while the menu shows
};
inline const PanelLayout& Layout() {
  static const PanelLayout layout = [] {
    Quarrytone::InitializeResources();
    Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar window(&CreateProductEditor, Quarrytone::PresetBarEditorFactory());
    PanelLayout l{};
    if (window.open(tk::PlatformType::Headless)) {
      auto* editor = static_cast<warmGlowEditor*>(window.productEditor());
      if (editor->knob(kSlotCompression)) l.compression = editor->knob(kSlotCompression)->getViewSize();
      if (editor->meter()) l.meter = editor->meter()->getViewSize();
      if (auto* bar = static_cast<Quarrytone::QRVPresetBarEditor*>(window.presetBar())) {
        if (bar->nameControl()) {
          l.name = bar->nameControl()->getViewSize();
          l.nameIcon = bar->nameControl()->getIconRect();
        }
        if (bar->nudge()) l.nudge = bar->nudge()->getViewSize();
        if (bar->undoRedo()) l.undoRedo = bar->undoRedo()->getViewSize();
        if (bar->zoomButton()) l.zoom = bar->zoomButton()->getViewSize();
        if (bar->abSwitch()) l.ab = bar->abSwitch()->getViewSize();
        if (bar->configButton()) l.config = bar->configButton()->getViewSize();
        bar->controlEvent(qrv::kTagConfigToggle, 1.0);
        if (auto* menu = static_cast<Quarrytone::PresetBarConfigMenu*>(bar->configContent()); menu && menu->hintsRow()) {
          const QRVRect r = menu->hintsRow()->choiceRect(0);  // overlay points, below the bar
          l.hintsHide = QRVRect{r.left, r.top + kBar, r.right, r.bottom + kBar};
        }
      }
      window.close();
    }
    return l;
  }();
  return layout;
}

// Steps per channel by which two captures of one look may differ. Cairo rasterises an anti-aliased
// edge a step apart depending on the extent of the repaint that last covered it, so an unchanged view
// comes back a step off after a neighbour's repaint overlapped it (a hint, a hover look ending).
inline constexpr int kEdgeSteps = 2;

// Two captures show the same look: the same size and every channel within kEdgeSteps.
inline testing::AssertionResult SameLook(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b) {
  if (a.empty() || a.size() != b.size())
    return testing::AssertionFailure() << "captures of " << a.size() << " and " << b.size() << " pixels";
  std::size_t differing = 0, first = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    bool same = true;
    for (int shift : {0, 8, 16}) {
      const int x = static_cast<int>((a[i] >> shift) & 0xff), y = static_cast<int>((b[i] >> shift) & 0xff);
      same = same && std::abs(x - y) <= kEdgeSteps;
    }
    if (!same && differing++ == 0) first = i;
  }
  if (differing == 0) return testing::AssertionSuccess() << "the same look (within " << kEdgeSteps << " steps)";
  return testing::AssertionFailure() << differing << " of " << a.size() << " pixels differ, the first at " << first
                                     << ": " << std::hex << a[first] << " vs " << b[first];
}

inline void Nap() {
  timespec t{0, 5'000'000};
  nanosleep(&t, nullptr);
}

class Lv2Ui : public testing::Test {
 protected:
  void SetUp() override {
    ConfigDir();
    std::filesystem::remove_all(ConfigDir().path() / "Quarry-tone");
    ASSERT_TRUE(server.ok()) << "the UI tests need Xvfb: " << server.reason();
    setenv("DISPLAY", server.name().c_str(), 1);
    display = XOpenDisplay(server.name().c_str());
    ASSERT_NE(display, nullptr);
    // An X error fails the test instead of ending the process (which would leave the server running).
    XSetErrorHandler([](Display*, XErrorEvent* e) {
      ADD_FAILURE() << "X error " << static_cast<int>(e->error_code) << " on request "
                    << static_cast<int>(e->request_code);
      return 0;
    });
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor)) << "the X server has no XTest";
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1000, 900, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    ASSERT_NE(library.descriptor(), nullptr) << library.error();
  }
  void TearDown() override {
    ui.reset();
    if (display != nullptr) {
      XDestroyWindow(display, parent);
      XCloseDisplay(display);
    }
    unsetenv("DISPLAY");
  }

  void Open(UiHost::Options options = {}) {
    options.parent = parent;
    ui.emplace(library, options);
  }

  // Idles the UI as a host's UI thread does until done() or five seconds.
  template <class Done>
  bool Pump(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      ui->Idle();
      Nap();
    }
    return done();
  }
  void PumpFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    Pump([&] { return std::chrono::steady_clock::now() >= end; });
  }

  std::pair<int, int> WidgetSize() {
    XWindowAttributes a{};
    XGetWindowAttributes(display, ui->widget(), &a);
    return {a.width, a.height};
  }
  // The window manager's size hints of the editor's window (min, max and base sizes); flags 0 when
  // the window has none.
  XSizeHints SizeHints() {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(display, ui->widget(), &hints, &supplied)) hints.flags = 0;
    return hints;
  }
  std::vector<Window> Children() {
    Window root, up;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, parent, &root, &up, &children, &count);
    std::vector<Window> out(children, children + count);
    if (children) XFree(children);
    return out;
  }
  // Pixels of an editor rectangle (layout points at zoom 1) as the X server shows them; top is the
  // offset of the rectangle's coordinates from the window's top (the bar's height for the panel).
  std::vector<unsigned long> Capture(QRVRect r, double top = kBar) {
    // Within the window: X refuses a read beyond its edges.
    const auto [width, height] = WidgetSize();
    const int x = std::max(0, static_cast<int>(r.left)), y = std::max(0, static_cast<int>(r.top + top));
    const int w = std::min(static_cast<int>(r.right - r.left), width - x);
    const int h = std::min(static_cast<int>(r.bottom - r.top), height - y);
    std::vector<unsigned long> out;
    if (w <= 0 || h <= 0) return out;
    XImage* image = XGetImage(display, ui->widget(), x, y, w, h, AllPlanes, ZPixmap);
    if (image == nullptr) return out;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) out.push_back(XGetPixel(image, i, j));
    XDestroyImage(image);
    return out;
  }
  // Lets the window settle: mapped, drawn, the same pixels twice in a row.
  std::vector<unsigned long> Settled(QRVRect r, double top = kBar) {
    std::vector<unsigned long> last = Capture(r, top);
    for (int i = 0; i < 50; ++i) {
      PumpFor(std::chrono::milliseconds(40));
      std::vector<unsigned long> now = Capture(r, top);
      if (now == last && !now.empty()) return now;
      last = now;
    }
    return last;
  }
  void Pointer(double x, double y) {
    int rootX = 0, rootY = 0;
    Window unused;
    XTranslateCoordinates(display, ui->widget(), DefaultRootWindow(display), 0, 0, &rootX, &rootY, &unused);
    XTestFakeMotionEvent(display, -1, rootX + static_cast<int>(x), rootY + static_cast<int>(y), CurrentTime);
    XFlush(display);
    PumpFor(std::chrono::milliseconds(30));
  }
  void Button(bool down) {
    XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
    XFlush(display);
    PumpFor(std::chrono::milliseconds(30));
  }
  // One notch of the wheel (X buttons 4 and 5) at the pointer.
  void Wheel(bool up) {
    XTestFakeButtonEvent(display, up ? 4 : 5, True, CurrentTime);
    XTestFakeButtonEvent(display, up ? 4 : 5, False, CurrentTime);
    XFlush(display);
    PumpFor(std::chrono::milliseconds(30));
  }
  // A click at a point of the window (layout points at zoom 1).
  void ClickAt(double x, double y) {
    Pointer(x, y);
    Button(true);
    Button(false);
  }
  void Key(KeySym sym, bool shift = false) {
    const KeyCode shiftCode = XKeysymToKeycode(display, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
    XFlush(display);
    PumpFor(std::chrono::milliseconds(20));
  }
  void Type(const std::string& text) {
    for (char c : text) {
      const bool upper = c >= 'A' && c <= 'Z';
      Key(XStringToKeysym(std::string(1, upper ? static_cast<char>(c - 'A' + 'a') : c).c_str()), upper);
    }
  }

  PrivateXServer server;
  Display* display = nullptr;
  Window parent = 0;
  UiLibrary library;
  std::optional<UiHost> ui;
};

}  // namespace qrv::lv2::test
