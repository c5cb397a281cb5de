// The zoom menu in a real X11 window on a private Xvfb server, driven by real pointer clicks
// through XTest.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "gui/backend/QRVFrame.h"
#include "gui/backend/Resources.h"
#include "gui/backend/ViewContainerWrapper.h"
#include "gui/presetbar/PresetBarControls.h"
#include "gui/toolkit/X11Frame.h"
#include "tests/gui/X11Pump.h"
#include "tests/support/PrivateXServer.h"

// Last: Xlib's macros (None, Bool, True) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace qrv::test {
namespace {

// Records the zoom the button carries whenever tag 60 is reported.
struct ZoomListener : tk::IControlListener {
  PresetBarScaleMenuButton* zoom = nullptr;
  std::vector<double> zooms;
  void valueChanged(tk::Control* c) override {
    if (c->getTag() == 60 && zoom) zooms.push_back(zoom->getZoomFactor());
  }
};

TEST(ZoomMenuWindow, RealClicksOpenTheListAtItsWindowPlaceAndChooseAZoom) {
  PrivateXServer server;
  ASSERT_TRUE(server.ok()) << "the window test needs Xvfb: " << server.reason();
  Display* host = XOpenDisplay(server.name().c_str());
  ASSERT_NE(host, nullptr) << "cannot connect to " << server.name();
  int event, error, major, minor;
  ASSERT_TRUE(XTestQueryExtension(host, &event, &error, &major, &minor)) << "the X server has no XTest";
  setenv("DISPLAY", server.name().c_str(), 1);
  Quarrytone::InitializeResources();

  // The editor window: the preset bar over the product panel's container.
  auto* frame = new Quarrytone::QRVFrame(tk::Rect{0, 0, 400, 353});
  ASSERT_TRUE(frame->open(tk::PlatformType::X11));
  auto* platform = dynamic_cast<tk::X11PlatformFrame*>(frame->platform());
  ASSERT_NE(platform, nullptr);
  ZoomListener listener;
  auto* panel = new Quarrytone::CQRVViewContainerWrapper(nullptr, &listener, QRVRect{0, 78, 400, 353});
  panel->setBackgroundColor(QRVColor{90, 80, 70, 255});
  panel->attachTo(frame);
  auto* bar = new Quarrytone::CQRVViewContainerWrapper(nullptr, &listener, QRVRect{0, 0, 400, 78});
  bar->setBackgroundColor(QRVColor{30, 30, 30, 255});
  bar->attachTo(frame);
  auto* zoom = new PresetBarScaleMenuButton(QRVRect{0, -1, 60, 27}, 60);
  listener.zoom = zoom;
  bar->addControl(zoom);

  for (int i = 0; i < 5; ++i) tk::X11PlatformFrame::processEvents(20);
  int rootX = 0, rootY = 0;
  Window unused;
  XTranslateCoordinates(host, platform->window(), DefaultRootWindow(host), 0, 0, &rootX, &rootY, &unused);
  auto click = [&](double x, double y) {
    XTestFakeMotionEvent(host, -1, rootX + static_cast<int>(x), rootY + static_cast<int>(y), CurrentTime);
    XTestFakeButtonEvent(host, 1, True, CurrentTime);
    XTestFakeButtonEvent(host, 1, False, CurrentTime);
    XFlush(host);
  };

  click(30, 13);
  ASSERT_TRUE(PumpX11Until([&] { return zoom->getMenuHandler()->isOpen(); }));
  QRVRect p = zoom->getMenuHandler()->getPopupRect();
  EXPECT_DOUBLE_EQ(p.left, 1);
  EXPECT_DOUBLE_EQ(p.top, 54);

  // "125%" is the fourth row: 4 points of margin, then 20 points a row.
  const QRVCustomizableOptionMenuEntry* e = zoom->getMenuHandler()->getMenu()->getEntry(3);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->title, "125%");
  listener.zooms.clear();
  click(p.left + 30, p.top + (e->rect.top + e->rect.bottom) / 2);
  ASSERT_TRUE(PumpX11Until([&] { return !zoom->getMenuHandler()->isOpen(); }));
  ASSERT_FALSE(listener.zooms.empty());
  EXPECT_DOUBLE_EQ(listener.zooms.front(), 1.25);
  EXPECT_DOUBLE_EQ(zoom->getZoomFactor(), 1.25);
  EXPECT_STREQ(zoom->getLabel(), "125%");

  frame->removeAll();
  frame->forget();
  XCloseDisplay(host);
  unsetenv("DISPLAY");
}

}  // namespace
}  // namespace qrv::test
