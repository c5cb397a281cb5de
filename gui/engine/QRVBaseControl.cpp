#include "gui/engine/QRVBaseControl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"

namespace {

double InitialValueForTag(int tag) {
  if (tag >= 0 && tag <= 11) {
    double values[12];
    for (unsigned i = 0; i < 12; ++i) values[i] = qrv::GetParameterDefault(i);
    char name[32] = {};
    qrv::GetFactoryPreset(0, values, name, nullptr);
    return values[tag];
  }
  return qrv::GetParameterDefault(static_cast<unsigned>(tag));
}

// Copies at most size - 1 characters, always zero-terminated; the buffer is made on first use.
void CopyText(char*& buffer, int size, const char* text) {
  if (!text) {
    if (buffer) buffer[0] = '\0';
    return;
  }
  if (!buffer) buffer = new char[size]();
  std::size_t n = strnlen(text, static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
}

}  // namespace

QRVBaseControl::QRVBaseControl(const QRVRect& rect, int tag, QRVBitmap* bitmap, int peerKind)
    : bitmap_(bitmap),
      viewRect_(rect),
      mouseableRect_(rect),
      value_(InitialValueForTag(tag)),
      tag_(tag),
      peerKind_(peerKind),
      defaultValue_(qrv::GetParameterDefault(static_cast<unsigned>(tag))),
      constructionRect_(rect) {
  if (bitmap_) bitmap_->retain();
}

QRVPeerDetachFn gQRVPeerDetach = nullptr;

QRVBaseControl::~QRVBaseControl() {
  if (peer_ && gQRVPeerDetach) {
    QRVEngineView* p = peer_;
    peer_ = nullptr;
    gQRVPeerDetach(p, this);
  }
  delete[] tooltip_;
  delete[] hint_;
  if (bitmap_) bitmap_->release();
}

void QRVBaseControl::setValue(double value) {
  // Not a number cannot be clamped; it leaves the value as it is rather than reach the frame arithmetic.
  if (!editing_ && !std::isnan(value)) {
    value_ = std::clamp(value, 0.0, 1.0);
    if (peer_) peer_->setValue(value_);
  }
  if (linked_) {
    linked_->setValue(value_);
    linked_->invalidPeer();
  }
}

void QRVBaseControl::setTag(int tag) {
  if (tag < 0) return;
  tag_ = tag;
  if (peer_) peer_->setTag(tag);
}

void QRVBaseControl::beginEdit() { editing_ = true; }

void QRVBaseControl::notifyValueChanged() {
  if (peer_) peer_->valueChanged();
}

void QRVBaseControl::endEdit() { editing_ = false; }
bool QRVBaseControl::isEditing() { return editing_; }
void QRVBaseControl::setDefaultValue(double value) { defaultValue_ = value; }
double QRVBaseControl::getDefaultValue() { return defaultValue_; }

void QRVBaseControl::setViewSize(QRVRect rect) {
  viewRect_ = rect;
  mouseableRect_ = rect;
  if (peer_) peer_->setViewSize(rect);
}

void QRVBaseControl::setZoom(double factor) {
  QRVRect r;
  r.left = viewRect_.left;
  r.top = viewRect_.top;
  r.right = r.left + constructionRect_.getWidth() * factor;
  r.bottom = r.top + constructionRect_.getHeight() * factor;
  viewRect_ = r;
}

void QRVBaseControl::draw(QRVDrawContext*) {}

void QRVBaseControl::setBitmap(QRVBitmap* bitmap) {
  if (!bitmap) return;
  bitmap->retain();
  if (bitmap_) bitmap_->release();
  bitmap_ = bitmap;
  if (peer_) peer_->invalid();
}

int QRVBaseControl::onMouseDown(QRVPoint, int) { return kQRVMouseHandled; }
int QRVBaseControl::onMouseMoved(QRVPoint, int) { return kQRVMouseHandled; }

int QRVBaseControl::onMouseUp(QRVPoint, int) {
  endEdit();
  return kQRVMouseHandled;
}

int QRVBaseControl::onMouseEntered(QRVPoint, int) {
  mouseInside_ = true;
  invalidPeer();
  return kQRVMouseHandled;
}

int QRVBaseControl::onMouseExited(QRVPoint, int) {
  mouseInside_ = false;
  invalidPeer();
  return kQRVMouseHandled;
}

bool QRVBaseControl::onMouseWheel(QRVPoint, float, int) { return true; }

void QRVBaseControl::setMouseableArea(QRVRect rect) {
  mouseableRect_ = rect;
  if (peer_) peer_->setMouseableArea(rect);
}

QRVRect QRVBaseControl::getMouseableArea() { return mouseableRect_; }

void QRVBaseControl::setValueAndNotify(double value) {
  setValue(value);
  notifyValueChanged();
}

void QRVBaseControl::setTooltip(const char* text) {
  if (!text && !tooltip_) return;
  CopyText(tooltip_, kTooltipSize, text);
  if (peer_) peer_->setTooltip(tooltip_);
}

void QRVBaseControl::setHint(const char* text) {
  if (!text && !hint_) return;
  CopyText(hint_, kHintSize, text);
  if (peer_) peer_->setHint(hint_);
}

void QRVBaseControl::setBackColor(QRVColor color) {
  backColor_.set(color);
  if (peer_) peer_->setBackColor(color);
}

namespace {
int gKnobMode = 0;
}
int QRVGetKnobMode() { return gKnobMode; }
void QRVSetKnobMode(int mode) { gKnobMode = mode; }
