#include "gui/toolkit/HeadlessFrame.h"

#include <cstring>

namespace tk {

HeadlessPlatformFrame::HeadlessPlatformFrame(Frame* frame) : frame_(frame) {
  setSize(frame->deviceWidth(), frame->deviceHeight());
}

HeadlessPlatformFrame::~HeadlessPlatformFrame() {
  if (surface_) cairo_surface_destroy(surface_);
}

void HeadlessPlatformFrame::invalidRect(const Rect& deviceRect) {
  if (!surface_) return;
  Rect all{0, 0, double(cairo_image_surface_get_width(surface_)), double(cairo_image_surface_get_height(surface_))};
  dirty_ = dirty_.unite(deviceRect.intersect(all));
}

void HeadlessPlatformFrame::setSize(int width, int height) {
  if (surface_) cairo_surface_destroy(surface_);
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, width), std::max(1, height));
  dirty_ = Rect{0, 0, double(std::max(1, width)), double(std::max(1, height))};
}

bool HeadlessPlatformFrame::getGlobalPosition(Point& where) const {
  where = position_;
  return true;
}

bool HeadlessPlatformFrame::setPosition(double x, double y) {
  position_ = Point{x, y};
  return true;
}

bool HeadlessPlatformFrame::getScreenSize(int& width, int& height) const {
  width = screenWidth_;
  height = screenHeight_;
  return true;
}

void HeadlessPlatformFrame::render() {
  frame_->idle();
  if (dirty_.empty()) return;
  Rect r = dirty_;
  dirty_ = Rect{};
  cairo_t* cr = cairo_create(surface_);
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
  cairo_fill(cr);
  cairo_restore(cr);
  frame_->platformDraw(cr, r);
  cairo_destroy(cr);
  cairo_surface_flush(surface_);
}

Color HeadlessPlatformFrame::pixel(int x, int y) const {
  if (!surface_ || x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface_) ||
      y >= cairo_image_surface_get_height(surface_))
    return Color{0, 0, 0, 0};
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  std::uint32_t px;
  std::memcpy(&px, data + y * cairo_image_surface_get_stride(surface_) + x * 4, 4);
  return Color{std::uint8_t(px >> 16), std::uint8_t(px >> 8), std::uint8_t(px), std::uint8_t(px >> 24)};
}

bool HeadlessPlatformFrame::writePng(const std::string& path) {
  render();
  return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

MouseResult HeadlessPlatformFrame::mouseDown(Point device, std::uint32_t buttons) {
  buttons_ = buttons & ~kDoubleClick;
  return frame_->platformMouseDown(device, buttons);
}

MouseResult HeadlessPlatformFrame::mouseMove(Point device, std::uint32_t buttons) {
  buttons_ = buttons;
  return frame_->platformMouseMoved(device, buttons);
}

MouseResult HeadlessPlatformFrame::mouseUp(Point device, std::uint32_t buttons) {
  buttons_ = buttons & kModifierBits;
  return frame_->platformMouseUp(device, buttons);
}

void HeadlessPlatformFrame::mouseExit() { frame_->platformMouseExited(); }

bool HeadlessPlatformFrame::wheel(Point device, float distance, std::uint32_t buttons) {
  return frame_->platformWheel(device, distance, buttons);
}

bool HeadlessPlatformFrame::keyDown(const KeyEvent& key) { return frame_->platformKeyDown(key); }
bool HeadlessPlatformFrame::keyUp(const KeyEvent& key) { return frame_->platformKeyUp(key); }

void HeadlessPlatformFrame::type(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += n;
    KeyEvent e;
    e.character = cp;
    keyDown(e);
  }
}

HeadlessPlatformFrame* Headless(Frame* frame) {
  return frame ? dynamic_cast<HeadlessPlatformFrame*>(frame->platform()) : nullptr;
}

}  // namespace tk
