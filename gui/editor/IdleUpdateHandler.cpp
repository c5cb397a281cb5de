#include "gui/editor/IdleUpdateHandler.h"

namespace Quarrytone {

IdleUpdate_QRV_Handler::IdleUpdate_QRV_Handler()
    : timer_([this](tk::Timer*) { runTick(); }, kIntervalMs, false) {}

void IdleUpdate_QRV_Handler::runTick() {
  if (tick_) tick_();
}

IdleUpdate_QRV_Handler& IdleUpdate_QRV_Handler::Get() {
  // The run loop first, so that it outlives the handler's timer at exit.
  tk::RunLoop::instance();
  // A function-local static: its first creation is serialised by the language's own lock.
  static IdleUpdate_QRV_Handler handler;
  return handler;
}

void IdleUpdate_QRV_Handler::retain() {
  if (users_++ == 0) timer_.start();
}

void IdleUpdate_QRV_Handler::release() {
  if (users_ > 0 && --users_ == 0) timer_.stop();
}

}  // namespace Quarrytone
