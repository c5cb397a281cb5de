// Runs the X11 frames' event loop in window tests.
#pragma once

#include <chrono>

#include "gui/toolkit/X11Frame.h"

namespace qrv::test {

// Pumps until done() holds, for at most five seconds; done()'s answer.
template <class Done>
bool PumpX11Until(Done done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < deadline) tk::X11PlatformFrame::processEvents(20);
  return done();
}

}  // namespace qrv::test
