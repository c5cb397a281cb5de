// The editor window as an X11 child of a host's window on a private Xvfb server: its size at each
// zoom, real clicks reaching the panel, repeated open and close leaving no window behind, and idle
// ticks that never wait for the server.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "gui/toolkit/X11Frame.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/support/PrivateXServer.h"

// Last: Xlib's macros (None, Bool, True) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace qrv::test {
namespace {

std::vector<Window> Children(Display* d, Window w) {
  Window root, parent;
  Window* children = nullptr;
  unsigned count = 0;
  XQueryTree(d, w, &root, &parent, &children, &count);
  std::vector<Window> out(children, children + count);
  if (children) XFree(children);
  return out;
}

template <class Done>
bool Pump(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < deadline) tk::X11PlatformFrame::processEvents(20);
  return done();
}

using EditorX11 = EditorFixture;

TEST_F(EditorX11, TheWindowSitsInsideTheHostWindowAndTakesRealClicks) {
  PrivateXServer server;
  ASSERT_TRUE(server.ok()) << "the window test needs Xvfb: " << server.reason();
  Display* host = XOpenDisplay(server.name().c_str());
  ASSERT_NE(host, nullptr) << server.name();
  int event, error, major, minor;
  ASSERT_TRUE(XTestQueryExtension(host, &event, &error, &major, &minor)) << "the X server has no XTest";
  setenv("DISPLAY", server.name().c_str(), 1);
  // The X11 event loop runs on the steady clock.
  tk::RunLoop::instance().useManualClock(false);

  Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 900, 800, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);

  window.emplace(&CreateProductEditor);
  for (int cycle = 0; cycle < 2; ++cycle) {
    ASSERT_TRUE(window->open(tk::PlatformType::X11, parent)) << cycle;
    auto* platform = dynamic_cast<tk::X11PlatformFrame*>(window->frame()->platform());
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(Children(host, parent), std::vector<Window>{platform->window()});
    auto size = [&] {
      XWindowAttributes a{};
      XGetWindowAttributes(host, platform->window(), &a);
      return std::make_pair(a.width, a.height);
    };
    // The second open keeps the zoom of the first.
    const auto opened = cycle == 0 ? std::make_pair(400, 353) : std::make_pair(800, 706);
    EXPECT_TRUE(Pump([&] { return size() == opened; })) << size().first << "x" << size().second;
    window->setZoom(2.0);
    EXPECT_TRUE(Pump([&] { return size() == std::make_pair(800, 706); }));

    // A real click on the name (device pixels at 200 %) opens the about box.
    for (int i = 0; i < 5; ++i) tk::X11PlatformFrame::processEvents(20);
    int rootX = 0, rootY = 0;
    Window unused;
    XTranslateCoordinates(host, platform->window(), DefaultRootWindow(host), 0, 0, &rootX, &rootY, &unused);
    XTestFakeMotionEvent(host, -1, rootX + 400, rootY + (78 + 25) * 2, CurrentTime);
    XTestFakeButtonEvent(host, 1, True, CurrentTime);
    XTestFakeButtonEvent(host, 1, False, CurrentTime);
    XFlush(host);
    EXPECT_TRUE(Pump([&] { return window->containsContainer(editor().aboutContainer()); })) << cycle;
    // The shared idle timer runs from the X11 loop and caches the pointer.
    EXPECT_TRUE(Pump([&] { return window->cachedPosition().y > 78; }));
    EXPECT_NEAR(window->cachedPosition().x, 200, 1);

    window->close();
    XSync(host, False);
    EXPECT_TRUE(Pump([&] { return Children(host, parent).empty(); })) << cycle;
  }
  window.reset();
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
  unsetenv("DISPLAY");
}

TEST_F(EditorX11, AnIdleTickWithTheNeedleMovingWaitsForNoReplyFromTheServer) {
  PrivateXServer server;
  ASSERT_TRUE(server.ok()) << "the window test needs Xvfb: " << server.reason();
  Display* host = XOpenDisplay(server.name().c_str());
  ASSERT_NE(host, nullptr) << server.name();
  setenv("DISPLAY", server.name().c_str(), 1);
  Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 900, 800, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);

  window.emplace(&CreateProductEditor);
  ASSERT_TRUE(window->open(tk::PlatformType::X11, parent));
  auto* platform = dynamic_cast<tk::X11PlatformFrame*>(window->frame()->platform());
  ASSERT_NE(platform, nullptr);
  auto* display = static_cast<Display*>(platform->display());
  // Mapped, exposed and painted; then everything sent so far is known to be processed.
  for (int i = 0; i < 10; ++i) tk::X11PlatformFrame::processEvents(20);
  XSync(display, False);

  // Ticks of the shared timer on the manual clock, each after a new reading, then the window's X
  // events, repaint and flush as a host's idle call runs them.
  const unsigned long first = XNextRequest(display);
  const double start = editor().meter()->getValue();
  int moved = 0;
  for (int tick = 1; tick <= 60; ++tick) {
    const double before = editor().meter()->getValue();
    window->valueChangedByController(kSlotGainReduction, 0.7 + 0.1 * std::sin(tick * 0.07));
    Tick();
    tk::X11PlatformFrame::processEvents(0);
    if (editor().meter()->getValue() != before) ++moved;
  }
  EXPECT_GT(moved, 50);
  EXPECT_NE(editor().meter()->getValue(), start);
  // The needle was drawn: requests went out.
  EXPECT_GT(XNextRequest(display), first);
  // None of them waited for an answer: a reply would have told the connection that the server had
  // processed a request sent during the ticks.
  EXPECT_LT(LastKnownRequestProcessed(display), first)
      << XNextRequest(display) - first << " requests, processed up to " << LastKnownRequestProcessed(display)
      << " from " << first;

  window.reset();
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
  unsetenv("DISPLAY");
}

}  // namespace
}  // namespace qrv::test
