// A frame in an Xlib window, top-level or a child of a host's parent window, drawn through
// cairo-xlib from a back buffer. All X11 frames of the process share one display connection,
// opened with the first and closed with the last. Xlib headers stay out of this header.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "gui/toolkit/Frame.h"

namespace tk {

class X11PlatformFrame : public PlatformFrame {
 public:
  // Null when no display can be opened ($DISPLAY unset or unreachable).
  static std::unique_ptr<X11PlatformFrame> create(Frame* frame, unsigned long parent);
  ~X11PlatformFrame() override;

  void invalidRect(const Rect& deviceRect) override;
  void setSize(int width, int height) override;
  bool getGlobalPosition(Point& where) const override;
  bool setPosition(double x, double y) override;
  std::uint32_t queryButtons() const override;
  std::uint32_t heldButtons() const override;
  bool getScreenSize(int& width, int& height) const override;
  // Takes the X keyboard focus while a view edits text (if the window is viewable) and, when editing
  // ends, gives it back to the parent window (the host's) if this window still holds it.
  void keyboardFocusChanged(bool wanted) override;
  // Sets this window's background and, inside a parent window, the parent's too (a host's window
  // larger than the editor shows it around the editor).
  void setBackground(Color color) override;

  unsigned long window() const;
  void* display() const;  // Display*

  // A top-level window's title (UTF-8), for the window manager's title bar and window lists.
  void setTitle(const std::string& title);
  // A top-level window: the window manager's close button calls this instead of ending the process.
  void setCloseHandler(std::function<void()> handler);
  // A top-level window takes the keyboard focus when a button is pressed anywhere inside it, child
  // windows of other clients included; the press itself goes on to where it was aimed.
  void setFocusOnClick(bool on);

  // Holds the shared display connection open while no frame needs it (the platform layer of a module
  // whose editors come and go); the connection closes when neither frames nor holders are left.
  static void retainConnection();
  static void releaseConnection();

  // The descriptor of the shared display connection, for a host that polls it (CLAP's posix-fd-support);
  // -1 while no connection is open.
  static int connectionFd();

  // Handles pending events of every X11 frame, runs due timers and deferred work, repaints;
  // waits up to timeoutMs for something to happen. False when no X11 frame is open.
  static bool processEvents(int timeoutMs);

  struct Impl;

 private:
  explicit X11PlatformFrame(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tk
