// The toolkit frame of an editor window: clamped zoom, the held modifier key, Return capture.
// GUI thread only.
#pragma once

#include "gui/toolkit/Frame.h"
#include "platform/ProductFacts.h"

namespace Quarrytone {

class QRVFrame : public tk::Frame {
 public:
  static constexpr double kMinZoom = qrv::product::kMinZoom;
  static constexpr double kMaxZoom = qrv::product::kMaxZoom;

  explicit QRVFrame(const tk::Rect& size) : tk::Frame(size) {}

  // 0 answers 1.0 and changes nothing; otherwise the factor is clamped (0.01 or less, or NaN, is 1.0),
  // applied as the frame's scale and the frame is redrawn. Returns the factor in use.
  double zoom(double factor);
  static double ClampZoom(double factor);

  // Shift 16, Control 32 or Alt 64 while such a key is held, else 0.
  int heldModifierKey() const { return heldKey_; }
  void setKeyCapture(bool on) { keyCapture_ = on; }
  bool keyCapture() const { return keyCapture_; }
  std::uint32_t storedButtons() const { return storedButtons_; }

  bool onFrameKeyDown(const tk::KeyEvent& key) override;
  bool onFrameKeyUp(const tk::KeyEvent& key) override;
  void onFrameMouseEvent(std::uint32_t buttons) override { storedButtons_ = buttons; }

 private:
  int heldKey_ = 0;
  bool keyCapture_ = false;
  std::uint32_t storedButtons_ = 0;
};

}  // namespace Quarrytone
