// The host's side of a plug-in view: a top-level X11 window that serves as the instance's view
// container (type 3, the window's id as its native pointer), follows the plug-in's view-size requests,
// takes the keyboard focus when clicked and reports its close button. Its main-loop step delivers the
// plug-in's pending parameter changes (each followed by ParameterUpdated) and the GUI timer wake-up
// every kGuiTimerMs; the plug-in's window events and timers run inside that wake-up. Main thread only.
#pragma once

#include <chrono>
#include <string>

#include "format/aax/host/AAXHostInstance.h"

namespace tk {
class Frame;
}

namespace qrv::aaxhost {

class HostView {
 public:
  static constexpr int kGuiTimerMs = 30;

  explicit HostView(Instance& instance);
  ~HostView();
  HostView(const HostView&) = delete;
  HostView& operator=(const HostView&) = delete;

  // Opens the window at the size the plug-in asks for and attaches it as the view; false with *error
  // set when there is no X display or the plug-in refuses the view.
  bool Open(std::string* error);
  // Detaches the view and closes the window.
  void Close();
  bool isOpen() const { return frame_ != nullptr; }

  // One pass of the main loop, waiting at most timeoutMs for the window's events.
  void Step(int timeoutMs);
  // The window's close button was used.
  bool closeRequested() const { return closeRequested_; }
  // The window's X11 id and size in pixels.
  unsigned long window() const;
  int width() const;
  int height() const;
  int wakeups() const { return wakeups_; }

 private:
  void Resize(double width, double height);
  Instance& instance_;
  tk::Frame* frame_ = nullptr;
  bool closeRequested_ = false;
  std::chrono::steady_clock::time_point nextWakeup_{};
  int wakeups_ = 0;
};

}  // namespace qrv::aaxhost
