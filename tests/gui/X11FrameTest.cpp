// The X11 frame as a child of another process-owned window on a private Xvfb server, driven by
// real pointer events through XTest.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "gui/backend/QRVFrame.h"
#include "gui/backend/Resources.h"
#include "gui/backend/ViewContainerWrapper.h"
#include "gui/controls/QRVControls.h"
#include "gui/toolkit/X11Frame.h"
#include "tests/gui/X11Pump.h"
#include "tests/support/PrivateXServer.h"

// Last: Xlib's macros (None, Bool, True) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace qrv::test {
namespace {

struct Listener : tk::IControlListener {
  int changes = 0;
  void valueChanged(tk::Control*) override { ++changes; }
};

TEST(X11Frame, AChildWindowTakesRealPointerDragsOnAKnob) {
  PrivateXServer server;
  // A missing X server fails the test: the window path must be exercised, never silently passed over.
  ASSERT_TRUE(server.ok()) << "no X server for the window test (install xvfb): " << server.reason();
  Display* host = XOpenDisplay(server.name().c_str());
  ASSERT_NE(host, nullptr) << "cannot connect to " << server.name();
  int event, error, major, minor;
  if (!XTestQueryExtension(host, &event, &error, &major, &minor)) {
    XCloseDisplay(host);
    GTEST_FAIL() << "the X server has no XTest";
  }
  setenv("DISPLAY", server.name().c_str(), 1);
  Quarrytone::InitializeResources();

  // The host's window, with the editor as its child.
  Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 500, 400, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);

  auto* frame = new Quarrytone::QRVFrame(tk::Rect{0, 0, 400, 353});
  ASSERT_TRUE(frame->open(tk::PlatformType::X11, parent));
  auto* platform = dynamic_cast<tk::X11PlatformFrame*>(frame->platform());
  ASSERT_NE(platform, nullptr);
  Listener listener;
  auto* container = new Quarrytone::CQRVViewContainerWrapper(nullptr, &listener, QRVRect{0, 78, 400, 353});
  container->attachTo(frame);
  auto* knob = new QRVAnimKnob(QRVRect{143, 143, 257, 257}, 5, Quarrytone::GetSharedBitmap(12171), 41, 7);
  container->addControl(knob);
  knob->setValue(0.2);

  Window child = 0;
  Window* children = nullptr;
  unsigned count = 0;
  Window root, parentOfParent;
  XQueryTree(host, parent, &root, &parentOfParent, &children, &count);
  if (count == 1) child = children[0];
  if (children) XFree(children);
  EXPECT_EQ(child, platform->window());

  // Let the windows map and draw once.
  for (int i = 0; i < 5; ++i) tk::X11PlatformFrame::processEvents(20);

  int rootX = 0, rootY = 0;
  Window unused;
  XTranslateCoordinates(host, platform->window(), DefaultRootWindow(host), 0, 0, &rootX, &rootY, &unused);
  const int cx = rootX + 200, cy = rootY + 78 + 200;  // knob centre in root coordinates
  XTestFakeMotionEvent(host, -1, cx, cy, CurrentTime);
  XTestFakeButtonEvent(host, 1, True, CurrentTime);
  for (int step = 1; step <= 10; ++step) XTestFakeMotionEvent(host, -1, cx, cy - 15 * step, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] { return knob->getValue() > 0.69; }));
  XTestFakeButtonEvent(host, 1, False, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] { return !knob->isEditing(); }));
  EXPECT_NEAR(knob->getValue(), 0.7, 1e-9);
  EXPECT_GT(listener.changes, 0);

  // A wheel notch over the knob (button 4) moves it by half the Compression wheel step.
  XTestFakeMotionEvent(host, -1, cx, cy, CurrentTime);
  XTestFakeButtonEvent(host, 4, True, CurrentTime);
  XTestFakeButtonEvent(host, 4, False, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] { return knob->getValue() > 0.7 + 1e-9; }));
  EXPECT_NEAR(knob->getValue(), 0.75, 1e-9);

  // Real key events: click into a text field, type, commit with Return.
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 120, 40}, 40);
  edit->setTextToValue([](const char* text, double& value, int&) { value = std::atof(text) / 100.0; });
  container->addControl(edit);
  const int ex = rootX + 70, ey = rootY + 78 + 30;
  XTestFakeMotionEvent(host, -1, ex, ey, CurrentTime);
  XTestFakeButtonEvent(host, 1, True, CurrentTime);
  XTestFakeButtonEvent(host, 1, False, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] { return frame->getFocusView() != nullptr; }));
  for (KeySym sym : {XK_6, XK_4, XK_BackSpace, XK_5, XK_Return}) {
    KeyCode code = XKeysymToKeycode(host, sym);
    XTestFakeKeyEvent(host, code, True, CurrentTime);
    XTestFakeKeyEvent(host, code, False, CurrentTime);
  }
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] { return frame->getFocusView() == nullptr; }));
  EXPECT_STREQ(edit->getText(), "65");
  EXPECT_DOUBLE_EQ(edit->getValue(), 0.65);

  // The host takes the keyboard while a new value is being typed: the edit is committed.
  XTestFakeMotionEvent(host, -1, ex, ey, CurrentTime);
  XTestFakeButtonEvent(host, 1, True, CurrentTime);
  XTestFakeButtonEvent(host, 1, False, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] { return frame->getFocusView() != nullptr; }));
  for (KeySym sym : {XK_3, XK_2}) {
    KeyCode code = XKeysymToKeycode(host, sym);
    XTestFakeKeyEvent(host, code, True, CurrentTime);
    XTestFakeKeyEvent(host, code, False, CurrentTime);
  }
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] {
    auto* box = dynamic_cast<tk::TextEdit*>(frame->getFocusView());
    return box && box->getText() == "32";
  }));
  XSetInputFocus(host, parent, RevertToParent, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(PumpX11Until([&] { return frame->getFocusView() == nullptr; }));
  EXPECT_STREQ(edit->getText(), "32");
  EXPECT_DOUBLE_EQ(edit->getValue(), 0.32);

  frame->removeAll();
  frame->forget();
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
  unsetenv("DISPLAY");
}

}  // namespace
}  // namespace qrv::test
