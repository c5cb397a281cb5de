// The root of a view tree: a uniform zoom transform over the layout, dirty regions, event
// dispatch (mouse capture from button-down to button-up, enter/exit tracking, wheel, keys to
// the focus view), tooltips, and the platform window it is shown in. GUI thread only.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/toolkit/View.h"

namespace tk {

// What a platform window offers the frame; sizes and positions in device pixels.
class PlatformFrame {
 public:
  virtual ~PlatformFrame() = default;
  virtual void invalidRect(const Rect& deviceRect) = 0;
  virtual void setSize(int width, int height) = 0;
  virtual bool getGlobalPosition(Point& where) const = 0;
  virtual bool setPosition(double x, double y) = 0;
  // Buttons and modifiers held now, as the platform sees them.
  virtual std::uint32_t queryButtons() const = 0;
  // Buttons and modifiers held as the window's latest input events tell, without asking the platform
  // (on X11 that is a round trip to the server): what the editor's idle tick reads.
  virtual std::uint32_t heldButtons() const { return queryButtons(); }
  virtual bool getScreenSize(int& width, int& height) const = 0;
  // The frame got its first focus view (wanted) or lost its last: a window takes the keyboard from
  // its host while a view edits text and gives it back when editing ends.
  virtual void keyboardFocusChanged(bool /*wanted*/) {}
  // The colour of whatever a host shows around the frame's drawing: the window beyond the frame's size
  // and, for a window inside a host's, the host's window where it is larger than the editor.
  virtual void setBackground(Color /*color*/) {}
};

enum class PlatformType { Headless, X11 };

class Frame : public ViewContainer {
 public:
  explicit Frame(const Rect& size);
  ~Frame() override;

  // Creates the platform window: X11 as a child of parent (0: a top-level window), or headless.
  // False when no window could be made (no X display).
  bool open(PlatformType type, unsigned long parent = 0);
  void close();
  PlatformFrame* platform() const { return platform_.get(); }

  // Uniform scale from layout points to device pixels.
  virtual void setZoom(double zoom);
  double getZoom() const { return zoom_; }
  // Unscaled layout size; the window takes the size times the zoom.
  void setSize(double width, double height);
  int deviceWidth() const;
  int deviceHeight() const;

  // rect in frame layout coordinates.
  void invalidateLayoutRect(const Rect& rect);
  void invalid() override;
  // Repaints views marked dirty; the platform calls it on its refresh tick.
  void idle();

  // The platform hears when the frame starts or stops wanting the keyboard.
  void setFocusView(View* view);
  View* getFocusView() const { return focus_; }
  Point getLastMousePosition() const { return lastMouse_; }
  std::uint32_t getLastButtons() const { return lastButtons_; }
  std::uint32_t getCurrentModifiers() const { return modifiers_; }
  // True while a mouse event is being dispatched; getLastMousePosition() is then that event's position.
  bool isDispatchingMouse() const { return mouseDispatch_ > 0; }
  // True while a key press is being dispatched: an edit that ends then was ended from the keyboard
  // (Return), not by a click or by the window losing the keyboard.
  bool isDispatchingKey() const { return keyDispatch_ > 0; }
  // The key whose press is being dispatched; VirtualKey::None outside a key dispatch. An edit that ends
  // while Return is dispatched was committed, one that ends on Tab was only left.
  VirtualKey dispatchedKey() const { return dispatchedKey_; }
  bool takeInputSeen() {
    bool s = inputSeen_;
    inputSeen_ = false;
    return s;
  }

  // Tooltip drawn over everything, at a layout position; each line break starts a new line.
  void showTooltip(const Point& where, const std::string& text);
  void hideTooltip();
  const std::string& getTooltip() const { return tooltip_; }
  const Rect& getTooltipRect() const { return tooltipRect_; }
  static constexpr double kTooltipLineHeight = 14;

  // Views on the pop-up layer take the mouse before everything else (open menus); they lie in
  // window (layout) coordinates. A click outside every pop-up, or Escape, closes them: a pop-up
  // with a dismiss callback is left to its owner to close, the others are removed. Within a
  // pop-up, moves and enter/exit reach the views under the pointer as anywhere else.
  // The frame holds one reference while the view is a pop-up; an owner that keeps the view
  // across openings holds its own.
  void addPopup(View* view, std::function<void()> dismiss = {});
  void removePopup(View* view);
  bool isPopup(const View* view) const;

  // Entry points for the platform window: device pixel positions.
  void platformDraw(cairo_t* cr, const Rect& deviceRect);
  MouseResult platformMouseDown(Point device, std::uint32_t buttons);
  MouseResult platformMouseMoved(Point device, std::uint32_t buttons);
  MouseResult platformMouseUp(Point device, std::uint32_t buttons);
  void platformMouseExited();
  bool platformWheel(Point device, float distance, std::uint32_t buttons);
  bool platformKeyDown(const KeyEvent& key);
  bool platformKeyUp(const KeyEvent& key);

  // Hooks for frames with their own key and mouse habits.
  virtual bool onFrameKeyDown(const KeyEvent&) { return false; }
  virtual bool onFrameKeyUp(const KeyEvent&) { return false; }
  virtual void onFrameMouseEvent(std::uint32_t) {}

  Point deviceToLayout(Point device) const { return {device.x / zoom_, device.y / zoom_}; }
  // Called by a view being removed from the tree so no pointer to it survives.
  void viewWillBeRemoved(View* view);

  void draw(DrawContext& context) override;

 private:
  void updateHover(const Point& where, std::uint32_t buttons);
  std::vector<View*> chainAt(const Point& where) const;
  View* popupAt(const Point& where) const;
  void dismissPopups();
  void collectDirty(ViewContainer* container, const Point& origin);

  std::unique_ptr<PlatformFrame> platform_;
  double zoom_ = 1.0;
  View* focus_ = nullptr;
  std::vector<View*> hover_;
  struct Popup {
    View* view;
    std::function<void()> dismiss;
  };
  std::vector<Popup> popups_;
  Point lastMouse_{-1, -1};
  std::uint32_t lastButtons_ = 0;
  std::uint32_t modifiers_ = 0;
  bool inputSeen_ = false;
  int mouseDispatch_ = 0;
  int keyDispatch_ = 0;
  VirtualKey dispatchedKey_ = VirtualKey::None;
  std::string tooltip_;
  std::vector<std::string> tooltipLines_;
  Point tooltipAt_;
  Rect tooltipRect_;
};

// Timers and deferred work, run by whoever pumps the platform (the X11 event loop, or a test
// that advances a manual clock).
class Timer {
 public:
  Timer(std::function<void(Timer*)> callback, std::uint32_t intervalMs, bool start = true);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  void start();
  void stop();
  bool isRunning() const { return running_; }
  std::uint32_t interval() const { return interval_; }

 private:
  friend class RunLoop;
  std::function<void(Timer*)> callback_;
  std::uint32_t interval_;
  std::uint64_t due_ = 0;
  bool running_ = false;
};

class RunLoop {
 public:
  static RunLoop& instance();
  std::uint64_t now() const;
  // Tests drive time by hand; 0 returns to the steady clock.
  void useManualClock(bool on);
  void advance(std::uint32_t ms);
  // Fires due timers and runs deferred work; returns ms until the next timer (or -1).
  int process();
  void post(std::function<void()> work);
  // Runs work at the next process, once per key however often it is asked for.
  void postOnce(const void* key, std::function<void()> work);

 private:
  friend class Timer;
  std::vector<Timer*> timers_;
  std::vector<std::pair<const void*, std::function<void()>>> deferred_;
  bool manual_ = false;
  std::uint64_t manualNow_ = 0;
};

}  // namespace tk
