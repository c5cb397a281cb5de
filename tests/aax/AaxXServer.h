// One private Xvfb server for the whole test program: the module's toolkit keeps its display
// connection while it has users, so the display must not change under it. Sets DISPLAY for the
// process; the tests that need it fail (never skip) when Xvfb is missing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/PrivateXServer.h"

namespace qrv::aaxtest {

inline const test::PrivateXServer& SharedXServer() {
  static test::PrivateXServer server;
  if (server.ok()) setenv("DISPLAY", server.name().c_str(), 1);
  return server;
}

#define QRV_ASSERT_X_SERVER()                                                                    \
  ASSERT_TRUE(::qrv::aaxtest::SharedXServer().ok())                                              \
      << "the editor tests need Xvfb: " << ::qrv::aaxtest::SharedXServer().reason()

}  // namespace qrv::aaxtest
