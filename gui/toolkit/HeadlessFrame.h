// A frame without a window: an image surface at the zoomed size, synthetic events in device
// pixels, PNG output. For tests and screenshots.
#pragma once

#include <string>

#include "gui/toolkit/Frame.h"

namespace tk {

class HeadlessPlatformFrame : public PlatformFrame {
 public:
  explicit HeadlessPlatformFrame(Frame* frame);
  ~HeadlessPlatformFrame() override;

  void invalidRect(const Rect& deviceRect) override;
  void setSize(int width, int height) override;
  bool getGlobalPosition(Point& where) const override;
  bool setPosition(double x, double y) override;
  std::uint32_t queryButtons() const override { return buttons_; }
  bool getScreenSize(int& width, int& height) const override;
  void keyboardFocusChanged(bool wanted) override { keyboardHeld_ = wanted; }
  // Whether a window would hold the keyboard now (a view of the frame edits text).
  bool keyboardHeld() const { return keyboardHeld_; }
  void setScreenSize(int width, int height) {
    screenWidth_ = width;
    screenHeight_ = height;
  }

  // Runs the frame's idle and repaints what is dirty.
  void render();
  cairo_surface_t* surface() const { return surface_; }
  const Rect& dirtyRect() const { return dirty_; }
  // Premultiplied pixel at a device position (after render).
  Color pixel(int x, int y) const;
  bool writePng(const std::string& path);

  // Synthetic input at device positions; buttons as the toolkit's bits.
  MouseResult mouseDown(Point device, std::uint32_t buttons);
  MouseResult mouseMove(Point device, std::uint32_t buttons);
  MouseResult mouseUp(Point device, std::uint32_t buttons);
  void mouseExit();
  bool wheel(Point device, float distance, std::uint32_t buttons = 0);
  bool keyDown(const KeyEvent& key);
  bool keyUp(const KeyEvent& key);
  // Types text as a series of key downs (ASCII and UTF-8).
  void type(const std::string& utf8);

 private:
  Frame* frame_;
  cairo_surface_t* surface_ = nullptr;
  Rect dirty_;
  Point position_;
  std::uint32_t buttons_ = 0;
  int screenWidth_ = 1920, screenHeight_ = 1080;
  bool keyboardHeld_ = false;
};

// The headless platform of a frame opened with PlatformType::Headless, else null.
HeadlessPlatformFrame* Headless(Frame* frame);

}  // namespace tk
