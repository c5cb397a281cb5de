#include "gui/backend/QRVFrame.h"

namespace Quarrytone {

double QRVFrame::ClampZoom(double factor) {
  // A factor that is not a number (a damaged setting or message) falls back to 100 %.
  if (!(factor > 0.01)) return 1.0;
  if (factor < kMinZoom) return kMinZoom;
  if (factor >= kMaxZoom) return kMaxZoom;
  return factor;
}

double QRVFrame::zoom(double factor) {
  if (factor == 0) return 1.0;
  double z = ClampZoom(factor);
  setZoom(z);
  invalid();
  return z;
}

bool QRVFrame::onFrameKeyDown(const tk::KeyEvent& key) {
  switch (key.key) {
    case tk::VirtualKey::Shift: heldKey_ = 16; break;
    case tk::VirtualKey::Control: heldKey_ = 32; break;
    case tk::VirtualKey::Alt: heldKey_ = 64; break;
    default: heldKey_ = 0; break;
  }
  return keyCapture_ && (key.key == tk::VirtualKey::Return || key.key == tk::VirtualKey::Enter);
}

bool QRVFrame::onFrameKeyUp(const tk::KeyEvent&) {
  heldKey_ = 0;
  return false;
}

}  // namespace Quarrytone
