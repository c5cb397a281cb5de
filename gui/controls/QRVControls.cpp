#include "gui/controls/QRVControls.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "dsp/ParameterSet.h"
#include "gui/engine/QRVEngineServices.h"
#include "platform/Utf8.h"

// ---------------------------------------------------------------- QRVCustomControl

QRVCustomControl::QRVCustomControl(const QRVRect& rect, int tag, QRVBitmap* bitmap)
    : QRVBaseControl(rect, tag, bitmap, kQRVPeerCustom) {}

int QRVCustomControl::onMouseDown(QRVPoint, int) { return kQRVMouseNotHandled; }
int QRVCustomControl::onMouseMoved(QRVPoint, int) { return kQRVMouseNotHandled; }
int QRVCustomControl::onMouseUp(QRVPoint, int) { return kQRVMouseNotHandled; }
int QRVCustomControl::onMouseEntered(QRVPoint, int) { return kQRVMouseNotHandled; }
int QRVCustomControl::onMouseExited(QRVPoint, int) { return kQRVMouseNotHandled; }
bool QRVCustomControl::onMouseWheel(QRVPoint, float, int) { return true; }

// ---------------------------------------------------------------- QRVKickButton

QRVKickButton::QRVKickButton(const QRVRect& rect, int tag, QRVBitmap* bitmap)
    : QRVBaseControl(rect, tag, bitmap, kQRVPeerKickButton), frameHeight_(static_cast<int>(rect.getHeight())) {}

void QRVKickButton::draw(QRVDrawContext* context) {
  if (!context || !bitmap_) return;
  int frame = pressed_ ? 2 : mouseInside_ ? 1 : 0;
  context->drawBitmap(bitmap_, viewRect_, QRVPoint{0, double(frame * frameHeight_)}, 1.0f);
}

int QRVKickButton::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandledNoMore;
  if (doubleClickOnly_ && !(buttons & kQRVDoubleClick)) return kQRVMouseHandledNoMore;
  pressed_ = true;
  value_ = (doubleClickOnly_ && (buttons & kQRVControl)) ? 0.5 : 1.0;
  notifyValueChanged();
  invalidPeer();
  // Momentary: the release is not reported.
  value_ = 0.0;
  pressed_ = false;
  return kQRVMouseHandledNoMore;
}

int QRVKickButton::onMouseMoved(QRVPoint, int) { return kQRVMouseHandled; }

int QRVKickButton::onMouseUp(QRVPoint, int) {
  value_ = 0.0;
  pressed_ = false;
  invalidPeer();
  return kQRVMouseHandled;
}

int QRVKickButton::onMouseEntered(QRVPoint, int) {
  mouseInside_ = true;
  invalidPeer();
  return kQRVMouseHandled;
}

int QRVKickButton::onMouseExited(QRVPoint, int) {
  mouseInside_ = false;
  invalidPeer();
  return kQRVMouseHandled;
}

// ---------------------------------------------------------------- QRVAnimKnob

namespace {

// A knob's tag is its parameter slot; the control table gives its wheel resolution.
void StepsForTag(int tag, double& coarse, double& fine) {
  coarse = fine = qrv::kWheelStepsUnscaled;
  if (tag >= 0 && qrv::IsControlSlot(static_cast<unsigned>(tag))) {
    const qrv::ControlShape& shape = qrv::ControlShapeOf(static_cast<unsigned>(tag));
    coarse = qrv::WheelCoarseSteps(shape);
    fine = qrv::WheelFineSteps(shape);
  }
}

}  // namespace

QRVAnimKnob::QRVAnimKnob(const QRVRect& rect, int tag, QRVBitmap* bitmap, int frameCount, int columns)
    : QRVBaseControl(rect, tag, bitmap, kQRVPeerKnob), frameCount_(std::max(1, frameCount)) {
  columns = std::max(1, columns);
  rowsPerColumn_ = (frameCount_ + columns - 1) / columns;
  if (bitmap_) {
    frameHeight_ = static_cast<int>(std::lround(bitmap_->getHeight() / rowsPerColumn_));
    frameWidth_ = static_cast<int>(std::lround(bitmap_->getWidth() / columns));
  } else {
    frameHeight_ = static_cast<int>(std::lround(rect.getHeight()));
    frameWidth_ = static_cast<int>(std::lround(rect.getWidth()));
  }
  halfRange_ = (valueMax_ - valueMin_) * 0.5;
  double coarse, fine;
  StepsForTag(tag, coarse, fine);
  wheelStep_ = 1.0 / coarse;
  fineFactor_ = coarse / fine;
}

QRVPoint QRVAnimKnob::frameOffset() const {
  if (!(value_ >= 0) || frameHeight_ <= 0) return QRVPoint{};
  int i = static_cast<int>((frameCount_ - 1) * value_ + 0.5);
  return QRVPoint{double((i / rowsPerColumn_) * frameWidth_), double((i % rowsPerColumn_) * frameHeight_)};
}

void QRVAnimKnob::draw(QRVDrawContext* context) {
  if (!context) return;
  QRVPoint offset = frameOffset();
  if (overlayEnabled_) {
    if (bitmap_) context->drawBitmap(bitmap_, viewRect_, offset, overlayAlpha_);
    if (!overlayShapeHidden_) {
      context->setFillColor(overlayColor_.color());
      QRVRect r{viewRect_.left + overlayInset_, viewRect_.top + overlayInset_, viewRect_.right - overlayInset_,
                viewRect_.bottom - overlayInset_};
      if (overlayIsEllipse_)
        context->drawEllipse(r, kQRVDrawFilled);
      else
        context->drawRect(r, kQRVDrawFilled);
    }
  } else if (bitmap_) {
    context->drawBitmap(bitmap_, viewRect_, offset, 1.0f);
  }
  if (hoverHighlight_ && mouseInside_) {
    context->setFillColor(hoverColor_.color());
    if (QRVGraphicsPath* path = context->createGraphicsPath()) {
      path->addRoundRect(viewRect_, 3.0);
      context->drawGraphicsPath(path, kQRVPathFilled);
      path->release();
    }
  }
}

double QRVAnimKnob::angleValue(const QRVPoint& where) const {
  double a = viewRect_.getHeight() / 2, b = viewRect_.getWidth() / 2;
  double x = where.x - viewRect_.left, y = where.y - viewRect_.top;
  // The 3-point inset keeps the radius inside the view; a view under 6 points has none.
  double ry = a - 3 > 0 ? a - 3 : 1, rx = b - 3 > 0 ? b - 3 : 1;
  double angle = std::atan2((y - a) / ry, (x - b) / rx) - 3 * M_PI / 2;
  angle = std::fmod(angle + M_PI, 2 * M_PI);
  if (angle < 0) angle += 2 * M_PI;
  angle -= M_PI;
  if (angle > 3 * M_PI / 4) return 1.0;
  if (angle >= -3 * M_PI / 4) return angle * 2 / (3 * M_PI) + 0.5;
  return 0.0;
}

int QRVAnimKnob::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseNotHandled;
  if (buttons & (kQRVAlt | kQRVDoubleClick)) {
    value_ = std::clamp(getDefaultValue(), 0.0, 1.0);
    beginEdit();
    notifyValueChanged();
    endEdit();
    invalidPeer();
    return kQRVMouseHandledNoMore;
  }
  dragStartValue_ = value_;
  dragRange_ = dragPixels_;
  dragButtons_ = buttons;
  halfRange_ = (valueMax_ - valueMin_) * 0.5;
  valuePerPixel_ = (valueMax_ - valueMin_) / dragRange_;
  beginEdit();
  if (QRVGetKnobMode() != 0) {
    circularLast_ = angleValue(where);
  } else {
    if (buttons & kQRVShift) dragRange_ = fineDragPixels_;
    dragStart_ = where;
    valuePerPixel_ = (valueMax_ - valueMin_) / dragRange_;
  }
  lastReportedValue_ = value_;
  return onMouseMoved(where, buttons);
}

int QRVAnimKnob::onMouseMoved(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseNotHandled;
  double v;
  if (QRVGetKnobMode() != 0) {
    double a = angleValue(where);
    if (circularLast_ - a > halfRange_) {
      v = valueMax_;
    } else if (a - circularLast_ > halfRange_) {
      v = valueMin_;
    } else {
      v = a;
      circularLast_ = a;
    }
  } else {
    double delta = (where.x - dragStart_.x) + (dragStart_.y - where.y);
    if (buttons != dragButtons_) {
      // Shift pressed or released: change speed without a jump.
      double range = (buttons & kQRVShift) ? fineDragPixels_ : dragPixels_;
      double perPixel = (valueMax_ - valueMin_) / range;
      dragStartValue_ += (valuePerPixel_ - perPixel) * delta;
      dragRange_ = range;
      valuePerPixel_ = perPixel;
      dragButtons_ = buttons;
    }
    v = dragStartValue_ + delta * valuePerPixel_;
  }
  value_ = std::clamp(v, 0.0, 1.0);
  if (value_ == lastReportedValue_) return kQRVMouseHandled;
  lastReportedValue_ = value_;
  notifyValueChanged();
  invalidPeer();
  return kQRVMouseHandled;
}

bool QRVAnimKnob::onMouseWheel(QRVPoint, float distance, int buttons) {
  double step;
  if (distance > 0.1000001)
    step = wheelStep_;
  else if (distance < -0.1000001)
    step = -wheelStep_;
  else
    step = distance * wheelStep_;
  if (buttons & kQRVShift) step *= fineFactor_;
  beginEdit();
  value_ = std::clamp(value_ + 0.5 * step, 0.0, 1.0);
  notifyValueChanged();
  endEdit();
  invalidPeer();
  return true;
}

// ---------------------------------------------------------------- QRVHorizontalSwitch

QRVHorizontalSwitch::QRVHorizontalSwitch(const QRVRect& rect, int tag, QRVBitmap* bitmap)
    : QRVBaseControl(rect, tag, bitmap, kQRVPeerSwitch) {}

void QRVHorizontalSwitch::draw(QRVDrawContext* context) {
  if (!context || !bitmap_) return;
  int n = std::max(1, positions_);
  int frame = static_cast<int>((n - 1) * value_ + 0.5);
  context->drawBitmap(bitmap_, viewRect_, QRVPoint{0, double(frame * static_cast<int>(viewRect_.getHeight()))},
                      1.0f);
}

int QRVHorizontalSwitch::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseNotHandled;
  if (buttons & (kQRVAlt | kQRVDoubleClick)) {
    beginEdit();
    value_ = std::clamp(getDefaultValue(), 0.0, 1.0);
    notifyValueChanged();
    endEdit();
    invalidPeer();
    return kQRVMouseHandledNoMore;
  }
  int n = std::max(1, positions_);
  segmentWidth_ = static_cast<double>(static_cast<int>(viewRect_.getWidth()) / n);
  beginEdit();
  return onMouseMoved(where, buttons);
}

int QRVHorizontalSwitch::onMouseMoved(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseNotHandled;
  // A one-position switch or a switch narrower than its positions has nothing to choose.
  if (positions_ < 2 || segmentWidth_ <= 0) return kQRVMouseHandled;
  double segment = std::floor((where.x - viewRect_.left) / segmentWidth_);
  value_ = std::clamp(segment / (positions_ - 1), 0.0, 1.0);
  notifyValueChanged();
  invalidPeer();
  return kQRVMouseHandled;
}

int QRVHorizontalSwitch::onMouseUp(QRVPoint, int) {
  endEdit();
  invalidPeer();
  return kQRVMouseHandled;
}

bool QRVHorizontalSwitch::onMouseWheel(QRVPoint, float distance, int) {
  beginEdit();
  if (positions_ >= 2) {
    double n1 = positions_ - 1;
    double s = 1.0 / n1;
    double target = value_;
    if (distance > 0.1)
      target = value_ + s;
    else if (distance < -0.1)
      target = value_ - s;
    value_ = std::clamp(static_cast<int>(n1 * target + 0.5) / n1, 0.0, 1.0);
  }
  notifyValueChanged();
  endEdit();
  invalidPeer();
  return true;
}

// ---------------------------------------------------------------- QRVTextEdit

QRVTextEdit::QRVTextEdit(const QRVRect& rect, int tag) : QRVBaseControl(rect, tag, nullptr, kQRVPeerTextEdit) {
  textProperties_ = &props_;
  props_.font = Quarrytone::GetSharedFont(Quarrytone::SharedFont::Arial12);
  if (props_.font) props_.font->retain();
  backColor_.set(QRVColor{171, 190, 205, 0});
}

QRVTextEdit::~QRVTextEdit() {
  if (props_.font) props_.font->release();
  if (unzoomedFont_) unzoomedFont_->release();
}

void QRVTextEdit::setText(const char* text) {
  if (settingText_) return;
  settingText_ = true;
  if (!text) text = "";
  if (peer_) textPeer()->setText(text);
  storeText(text);
  settingText_ = false;
}

void QRVTextEdit::storeText(const char* text) {
  std::memcpy(previousText_, props_.text, sizeof(previousText_));
  std::string_view all(text, strnlen(text, sizeof(props_.text) * 2));
  std::size_t n = qrv::utf8::PrefixBytes(all, static_cast<std::size_t>(props_.maxLength),
                                         std::min(sizeof(props_.text) - 1, static_cast<std::size_t>(props_.maxBytes)));
  std::memcpy(props_.text, text, n);
  props_.text[n] = '\0';
}

void QRVTextEdit::setValue(double value) {
  QRVBaseControl::setValue(value);
  if (!valueToText_ || std::isnan(value)) return;
  int tag = peer_ ? peer_->getTag() : -1;
  if (linkedValueControl_) tag = linkedValueControl_->getTag();
  char text[256] = {};
  valueToText_(value, text, tag);
  text[sizeof(text) - 1] = '\0';
  setText(text);
}

void QRVTextEdit::setTag(int tag) {
  QRVBaseControl::setTag(tag);
}

void QRVTextEdit::endEdit() {
  // The field's text is what the user typed; take it before converting.
  if (peer_) {
    const char* typed = textPeer()->getText();
    if (typed && std::strncmp(typed, props_.text, sizeof(props_.text)) != 0) storeText(typed);
  }
  editing_ = false;
  if (!textToValue_) return;
  double v = 0.0;
  if (linkedValueControl_) {
    int tag = linkedValueControl_->getTag();
    textToValue_(props_.text, v, tag);
    linkedValueControl_->setValue(v);
    linkedValueControl_->beginEdit();
    linkedValueControl_->notifyValueChanged();
    linkedValueControl_->endEdit();
    return;
  }
  int tag = peer_ ? peer_->getTag() : -1;
  textToValue_(props_.text, v, tag);
  setValue(v);
  editing_ = true;
  notifyValueChanged();
  editing_ = false;
}

void QRVTextEdit::setZoom(double factor) {
  QRVBaseControl::setZoom(factor);
  if (!unzoomedFont_ && props_.font) {
    unzoomedFont_ = props_.font;
    unzoomedFont_->retain();
  }
  if (!unzoomedFont_) return;
  QRVFont* zoomed = Quarrytone::CreateFont(unzoomedFont_->getName(), unzoomedFont_->getSize() * factor, 0);
  setFont(zoomed);
  zoomed->release();
}

void QRVTextEdit::setStyle(unsigned bits) {
  if (peer_) textPeer()->setStyle(bits);
  props_.style = bits;
}

void QRVTextEdit::setFontColor(QRVColor color) {
  props_.fontColor.set(color);
  if (peer_) textPeer()->setFontColor(color);
}

void QRVTextEdit::setFont(QRVFont* font) {
  if (!font) return;
  font->retain();
  if (props_.font) props_.font->release();
  props_.font = font;
  if (peer_) textPeer()->setFont(font);
}

void QRVTextEdit::setHorizontalAlign(int align) {
  props_.horizontalAlign = align;
  if (peer_) textPeer()->setHorizontalAlign(align);
}

void QRVTextEdit::setExtraColor(int index, QRVColor color) {
  if (index < 0 || index > 3) return;
  props_.extraColors[index].set(color);
  props_.hasExtraColor[index] = true;
  if (!peer_) return;
  switch (index) {
    case 0: textPeer()->setExtraColor1(color); break;
    case 1: textPeer()->setExtraColor2(color); break;
    case 2: textPeer()->setExtraColor3(color); break;
    default: textPeer()->setExtraColor4(color); break;
  }
}

void QRVTextEdit::setPrecision(float digits) {
  props_.precision = (digits >= 0 && digits <= 15) ? digits : -1.0f;
  if (peer_) textPeer()->setPrecision(digits);
}

void QRVTextEdit::setPlaceholder(const char* text) {
  std::string_view all = text ? std::string_view(text, strnlen(text, 4 * sizeof(props_.placeholder))) : "";
  std::size_t n = qrv::utf8::PrefixBytes(all, all.size(), sizeof(props_.placeholder) - 1);
  std::memcpy(props_.placeholder, all.data(), n);
  props_.placeholder[n] = '\0';
  if (peer_) textPeer()->setPlaceholder(props_.placeholder);
}

void QRVTextEdit::setMaxLength(int characters) {
  props_.maxLength = std::clamp(characters, 1, QRVTextProperties::kMaxCharacters);
  if (peer_) textPeer()->setMaxLength(props_.maxLength);
  props_.text[qrv::utf8::PrefixBytes(props_.text, static_cast<std::size_t>(props_.maxLength), sizeof(props_.text) - 1)] =
      '\0';
}

void QRVTextEdit::setMaxBytes(int bytes) {
  props_.maxBytes = std::clamp(bytes, 1, QRVTextProperties::kMaxCharacters * 4);
  if (peer_) textPeer()->setMaxBytes(props_.maxBytes);
  props_.text[qrv::utf8::PrefixBytes(props_.text, static_cast<std::size_t>(props_.maxLength),
                                     static_cast<std::size_t>(props_.maxBytes))] = '\0';
}

void QRVTextEdit::setRange(double minimum, double maximum) {
  props_.rangeMin = minimum;
  props_.rangeMax = maximum;
  if (peer_) textPeer()->setRange(minimum, maximum);
}
