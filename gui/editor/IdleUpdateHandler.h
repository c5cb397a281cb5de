// The process-wide 33 ms idle timer that ticks every open editor window. Nothing runs it by itself:
// the host's periodic GUI call (or a command-line loop, or a test advancing a manual clock) pumps the
// toolkit's run loop, which fires the timer and runs deferred updates. A host that calls less often
// gets fewer ticks, never a burst of them. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "gui/toolkit/Frame.h"
#include "platform/ProductFacts.h"

namespace Quarrytone {

class IdleUpdate_QRV_Handler {
 public:
  static constexpr std::uint32_t kIntervalMs = qrv::product::kIdlePeriodMs;

  // The one handler of the process, created on first use and kept until the module unloads.
  static IdleUpdate_QRV_Handler& Get();

  // Users hold the timer running; it stops with the last release.
  void retain();
  void release();
  int users() const { return users_; }
  bool isRunning() const { return timer_.isRunning(); }
  // What each tick runs (the editor windows' idle); set once by the window layer.
  void setTick(std::function<void()> tick) { tick_ = std::move(tick); }

 private:
  IdleUpdate_QRV_Handler();
  void runTick();
  tk::Timer timer_;
  std::function<void()> tick_;
  int users_ = 0;
};

}  // namespace Quarrytone
