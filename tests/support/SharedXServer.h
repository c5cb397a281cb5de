// One private Xvfb server for the whole test program, and the top-level windows on it. A toolkit keeps
// its display connection while it has users, so the display must not change under it; a connection of
// its own stays open throughout, as an X server resets when its last client leaves and refuses
// connections meanwhile. Sets DISPLAY for the process; the tests that need it fail (never skip) without
// Xvfb. Only the suites that link Xlib include it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/PrivateXServer.h"

// Xlib's macros (None, Bool, True) would break headers included after it: include this header last.
#include <X11/Xlib.h>

namespace qrv::test {

inline const PrivateXServer& SharedXServer() {
  static PrivateXServer server;
  static Display* const keeper = server.ok() ? XOpenDisplay(server.name().c_str()) : nullptr;
  (void)keeper;
  if (server.ok()) setenv("DISPLAY", server.name().c_str(), 1);
  return server;
}

#define QRV_ASSERT_X_SERVER()                                                                    \
  ASSERT_TRUE(::qrv::test::SharedXServer().ok())                                                 \
      << "the editor tests need Xvfb: " << ::qrv::test::SharedXServer().reason()

// The top-level window whose name is title, or 0.
inline Window FindTopLevelWindow(Display* display, const std::string& title) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

// What a window manager sends for its close button: WM_DELETE_WINDOW.
inline void SendWindowClose(Display* display, Window window) {
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  message.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &message);
  XFlush(display);
}

}  // namespace qrv::test
