// One private Xvfb server for the whole test program: the module's toolkit keeps its display
// connection while it has users, so the display must not change under it. A connection of its own
// stays open throughout: an X server resets when its last client leaves and refuses connections
// meanwhile. Sets DISPLAY for the process; the tests that need it fail (never skip) without Xvfb.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/PrivateXServer.h"

// Xlib's macros (None, Bool, True) would break headers included after it: include this header last.
#include <X11/Xlib.h>

namespace qrv::aaxtest {

inline const test::PrivateXServer& SharedXServer() {
  static test::PrivateXServer server;
  static Display* const keeper = server.ok() ? XOpenDisplay(server.name().c_str()) : nullptr;
  (void)keeper;
  if (server.ok()) setenv("DISPLAY", server.name().c_str(), 1);
  return server;
}

#define QRV_ASSERT_X_SERVER()                                                                    \
  ASSERT_TRUE(::qrv::aaxtest::SharedXServer().ok())                                              \
      << "the editor tests need Xvfb: " << ::qrv::aaxtest::SharedXServer().reason()

}  // namespace qrv::aaxtest
