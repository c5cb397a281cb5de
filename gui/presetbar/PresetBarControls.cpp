#include "gui/presetbar/PresetBarControls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "gui/engine/QRVEngineServices.h"
#include "gui/presetbar/TextShortening.h"
#include "platform/Utf8.h"

namespace {

using namespace PresetBarColors;

QRVFont* Font(Quarrytone::SharedFont which) { return Quarrytone::GetSharedFont(which); }

QRVColor WithAlpha(QRVColor c, int alpha) {
  c.alpha = static_cast<std::uint8_t>(std::clamp(alpha, 0, 255));
  return c;
}

// Copies text into a fixed field, cut between characters, always zero-terminated.
template <std::size_t N>
void CopyField(char (&field)[N], const char* text) {
  std::string_view t = text ? std::string_view(text, strnlen(text, 4 * N)) : std::string_view("");
  std::size_t n = qrv::utf8::PrefixBytes(t, t.size(), N - 1);
  std::memset(field, 0, N);
  std::memcpy(field, t.data(), n);
}

// A rounded rectangle whose corners are eight-segment polygons.
void FillRoundedPolygon(QRVDrawContext* context, const QRVRect& r, double radius) {
  radius = std::max(0.0, std::min({radius, r.getWidth() / 2, r.getHeight() / 2}));
  const QRVPoint centres[4] = {{r.right - radius, r.top + radius},
                               {r.right - radius, r.bottom - radius},
                               {r.left + radius, r.bottom - radius},
                               {r.left + radius, r.top + radius}};
  QRVPoint points[36];
  int n = 0;
  for (int corner = 0; corner < 4; ++corner) {
    double start = -M_PI / 2 + corner * M_PI / 2;
    for (int k = 0; k <= 8; ++k) {
      double a = start + k * (M_PI / 2) / 8;
      points[n++] = QRVPoint{centres[corner].x + radius * std::cos(a), centres[corner].y + radius * std::sin(a)};
    }
  }
  context->drawPolygon(points, n, kQRVDrawFilled);
}

void DrawRoundRect(QRVDrawContext* context, const QRVRect& r, double radius, int mode) {
  if (QRVGraphicsPath* path = context->createGraphicsPath()) {
    path->addRoundRect(r, radius);
    context->drawGraphicsPath(path, mode);
    path->release();
  }
}

// A block arrow in box: the tip at the outer end, the head 60 % of the way to the inner end at
// the box's full height, the shaft half as high to 90 %.
void DrawBlockArrow(QRVDrawContext* context, const QRVRect& box, bool pointsLeft, QRVColor fill, QRVColor outline) {
  double w = box.getWidth(), h = box.getHeight();
  double my = (box.top + box.bottom) / 2;
  double dir = pointsLeft ? 1 : -1;  // from the tip towards the inner end
  double tip = pointsLeft ? box.left : box.right;
  double head = tip + dir * 0.6 * w, shaft = tip + dir * 0.9 * w;
  const QRVPoint points[8] = {{tip, my},           {head, box.top},     {head, my - h / 4}, {shaft, my - h / 4},
                              {shaft, my + h / 4}, {head, my + h / 4}, {head, box.bottom}, {tip, my}};
  context->setFillColor(fill);
  context->setFrameColor(outline);
  context->drawPolygon(points, 8, kQRVDrawFilledAndStroked);
}

void DrawStar(QRVDrawContext* context, QRVPoint c, double outer, int style) {
  QRVPoint points[11];
  for (int k = 0; k < 10; ++k) {
    double r = (k % 2 == 0) ? outer : outer * 0.4;
    double a = -M_PI / 2 + k * M_PI / 5;
    points[k] = QRVPoint{c.x + r * std::cos(a), c.y + r * std::sin(a)};
  }
  points[10] = points[0];
  context->drawPolygon(points, 11, style);
}

QRVRect CentredSquare(const QRVRect& r, double s) {
  double cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  return QRVRect{cx - s / 2, cy - s / 2, cx + s / 2, cy + s / 2};
}

}  // namespace

// ---------------------------------------------------------------- PresetBarBasicControl

PresetBarBasicControl::PresetBarBasicControl(const QRVRect& rect, int tag) : QRVCustomControl(rect, tag, nullptr) {
  ownDefault_ = 0.5;
  // The owner sets the state to show; until then everything is off, closed or A.
  value_ = 0.0;
  insetX_ = insetY_ = std::min(rect.getHeight() / 2, 4.0);
  computeInnerRect();
}

void PresetBarBasicControl::computeInnerRect() {
  innerRect_ = QRVRect{viewRect_.left + insetX_, viewRect_.top + insetY_, viewRect_.right - insetX_,
                       viewRect_.bottom - insetY_};
}

void PresetBarBasicControl::setViewSize(QRVRect rect) {
  QRVCustomControl::setViewSize(rect);
  computeInnerRect();
}

void PresetBarBasicControl::setFullWidthHover() {
  insetX_ = 0;
  insetY_ = std::min(viewRect_.getHeight() / 2, 4.0);
  computeInnerRect();
  invalidPeer();
}

int PresetBarBasicControl::press() {
  pressed_ = true;
  releaseCountdown_ = kReleaseTicks;
  invalidPeer();
  notifyValueChanged();
  invalidPeer();
  if (oneShot_) {
    pressed_ = false;
    return kQRVMouseHandledNoMore;
  }
  return kQRVMouseHandled;
}

void PresetBarBasicControl::reportClick() {
  pressed_ = true;
  releaseCountdown_ = kReleaseTicks;
  notifyValueChanged();
  pressed_ = false;
  invalidPeer();
}

int PresetBarBasicControl::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  return press();
}

int PresetBarBasicControl::onMouseMoved(QRVPoint, int) {
  pressed_ = false;
  mouseInside_ = true;
  invalidPeer();
  return kQRVMouseHandled;
}

int PresetBarBasicControl::onMouseUp(QRVPoint, int) {
  pressed_ = false;
  invalidPeer();
  return kQRVMouseHandled;
}

int PresetBarBasicControl::onMouseEntered(QRVPoint, int) {
  mouseInside_ = true;
  releaseCountdown_ = 0;
  invalidPeer();
  return kQRVMouseHandled;
}

int PresetBarBasicControl::onMouseExited(QRVPoint, int) {
  pressed_ = false;
  mouseInside_ = false;
  releaseCountdown_ = kReleaseTicks;
  invalidPeer();
  return kQRVMouseHandled;
}

void PresetBarBasicControl::onIdleTick() {
  if (releaseCountdown_ == 0) return;
  if (releaseCountdown_ <= 1) {
    pressed_ = false;
    mouseInside_ = false;
    invalidPeer();
  }
  --releaseCountdown_;
}

QRVColor PresetBarBasicControl::dimmed(QRVColor c) const {
  if (overlayEnabled_) c.alpha = static_cast<std::uint8_t>(std::lround(c.alpha * 0.3));
  return c;
}

QRVColor PresetBarBasicControl::labelColor() const {
  return dimmed(pressed_ ? kLabelPressed : mouseInside_ ? kLabelHover : kLabelNormal);
}

void PresetBarBasicControl::drawHoverBackground(QRVDrawContext* context) {
  context->setLineWidth(1);
  if (!mouseInside_) return;
  context->setFillColor(kHoverBackground);
  FillRoundedPolygon(context, innerRect_, 4);
}

// ---------------------------------------------------------------- label buttons

PresetBarLabelButton::PresetBarLabelButton(const QRVRect& rect, int tag, const char* label)
    : PresetBarBasicControl(rect, tag), font_(Font(Quarrytone::SharedFont::Arial14)) {
  CopyField(label_, label);
}

void PresetBarLabelButton::setLabel(const char* label) {
  CopyField(label_, label);
  invalidPeer();
}

void PresetBarLabelButton::draw(QRVDrawContext* context) {
  if (!context) return;
  drawHoverBackground(context);
  context->setFont(font_);
  context->setFontColor(labelColor());
  QRVRect r = viewRect_;
  r.top -= 1;
  r.bottom -= 1;
  context->drawString(label_, r, kQRVAlignCenter);
}

int PresetBarLabelButton::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return PresetBarBasicControl::onMouseDown(where, buttons);
  toggle();
  return press();
}

int PresetBarLabelKickButton::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return PresetBarBasicControl::onMouseDown(where, buttons);
  toggle();
  pressed_ = true;
  releaseCountdown_ = kReleaseTicks;
  invalidPeer();
  notifyValueChanged();
  invalidPeer();
  pressed_ = false;
  mouseInside_ = false;
  releaseCountdown_ = 0;
  invalidPeer();
  return kQRVMouseHandledNoMore;
}

// ---------------------------------------------------------------- on/off buttons

PresetBarLabelOnOffButton::PresetBarLabelOnOffButton(const QRVRect& rect, int tag, const char* label, int iconKind)
    : PresetBarLabelButton(rect, tag, label), iconKind_(iconKind) {}

void PresetBarLabelOnOffButton::setValue(double value) {
  PresetBarLabelButton::setValue(value);
  // Only a click starts the auto-off; a value set by the owner never switches itself off.
  if (value < 0.5) autoOffRemaining_ = -1;
}

int PresetBarLabelOnOffButton::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return PresetBarBasicControl::onMouseDown(where, buttons);
  if (momentary_) {
    value_ = (shiftHalves_ && (buttons & kQRVShift)) ? 0.5 : 1.0;
    pressed_ = true;
    releaseCountdown_ = kReleaseTicks;
    notifyValueChanged();
    value_ = 0.0;
  } else {
    toggle();
    if (value_ > 0.5) autoOffRemaining_ = autoOffDelay_;
    press();
  }
  pressed_ = false;
  invalidPeer();
  return kQRVMouseHandledNoMore;
}

void PresetBarLabelOnOffButton::onIdleTick() {
  PresetBarLabelButton::onIdleTick();
  if (autoOffDelay_ < 0) return;
  if (autoOffRemaining_ > 0) {
    --autoOffRemaining_;
  } else if (autoOffRemaining_ == 0) {
    value_ = 0.0;
    if (peer_) peer_->setValue(value_);
    if (reportAutoOff_) notifyValueChanged();
    invalidPeer();
    autoOffRemaining_ = -1;
  }
}

void PresetBarLabelOnOffButton::drawIcon(QRVDrawContext* context, QRVColor color) {
  double s = std::min(innerRect_.getWidth(), innerRect_.getHeight()) - 5;
  if (s <= 0) return;
  QRVRect box = CentredSquare(innerRect_, s);
  QRVPoint c{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  context->setLineWidth(1);
  context->setFrameColor(color);
  context->setFillColor(color);
  auto label = [&](QRVColor textColor) {
    context->setFont(Font(Quarrytone::SharedFont::Arial10));
    context->setFontColor(textColor);
    context->drawString(label_, QRVRect{box.left - 4, box.top + 1, box.right + 4, box.bottom + 1}, kQRVAlignCenter);
  };
  switch (iconKind_) {
    case kIconTarget: {
      for (int k = 0; k < 4; ++k) {
        float centre = 45.0f + 90.0f * static_cast<float>(k);
        context->drawArc(box, centre - 25.0f, centre + 25.0f, kQRVDrawStroked);
      }
      double r = s / 2;
      context->drawLine(c.x, box.top - 1, c.x, box.top + r * 0.4);
      context->drawLine(c.x, box.bottom - r * 0.4, c.x, box.bottom + 1);
      context->drawLine(box.left - 1, c.y, box.left + r * 0.4, c.y);
      context->drawLine(box.right - r * 0.4, c.y, box.right + 1, c.y);
      DrawStar(context, c, r * 0.4, kQRVDrawFilled);
      break;
    }
    case kIconStarOutline:
      DrawStar(context, c, s / 2 + 1, kQRVDrawStroked);
      label(color);
      break;
    case kIconStarFilled:
      DrawStar(context, c, s / 2 + 1, kQRVDrawFilled);
      label(dimmed(WithAlpha(getBackColor(), 255)));
      break;
    default:
      break;
  }
}

void PresetBarLabelOnOffButton::draw(QRVDrawContext* context) {
  if (!context) return;
  context->setDrawMode(kQRVControlDrawMode);
  drawHoverBackground(context);
  if (value_ != 0) {
    context->setFillColor(onColor_.color());
    FillRoundedPolygon(context, innerRect_, 4);
  }
  context->setFont(font_);
  QRVColor color = labelColor();
  if (iconKind_ == kIconLabel) {
    context->setFontColor(color);
    QRVRect r = viewRect_;
    r.top += labelOffsetY_;
    r.bottom += labelOffsetY_;
    context->drawString(label_, r, kQRVAlignCenter);
    return;
  }
  drawIcon(context, color);
}

// ---------------------------------------------------------------- zoom percentage

double PresetBarScaleMenuButton::CorrectZoom(double z) {
  if (!(z > 0.01)) return 1.0;
  return std::clamp(z, kMinZoom, kMaxZoom);
}

PresetBarScaleMenuButton::PresetBarScaleMenuButton(const QRVRect& rect, int tag)
    : PresetBarMenuButton(rect, tag, "100%") {}

PresetBarScaleMenuButton::~PresetBarScaleMenuButton() {
  if (!handler_) return;
  if (handler_->getPeer())
    handler_->forgetButton();  // its container owns it
  else
    delete handler_;
}

PresetBarScaleOptionMenuHandler* PresetBarScaleMenuButton::getMenuHandler() {
  if (!handler_) {
    // A strip one point wide just right of the button; the list opens below the button with its
    // left edge under the button's left edge, 26 points lower.
    QRVRect r{viewRect_.right + 1, viewRect_.top, viewRect_.right + 2, viewRect_.bottom};
    handler_ = new PresetBarScaleOptionMenuHandler(r, this);
    handler_->setPlacement(8);
    handler_->setOffset(QRVPoint{viewRect_.left - viewRect_.right, 26});
  }
  if (container_ && !handler_->getContainer()) container_->addControl(handler_);
  return handler_;
}

void PresetBarScaleMenuButton::setViewSize(QRVRect rect) {
  PresetBarMenuButton::setViewSize(rect);
  if (!handler_) return;
  handler_->setViewSize(QRVRect{rect.right + 1, rect.top, rect.right + 2, rect.bottom});
  handler_->setOffset(QRVPoint{rect.left - rect.right, 26});
}

void PresetBarScaleMenuButton::setEditorSize(double width, double height) {
  if (width > 0 && height > 0) editorSize_ = QRVPoint{width, height};
}

void PresetBarScaleMenuButton::setZoomFactor(double z) {
  zoom_ = z;
  char text[16];
  std::snprintf(text, sizeof(text), "%d%%", static_cast<int>(CorrectZoom(z) * 100 + 0.5));
  setLabel(text);
  directChange_ = false;
}

double PresetBarScaleMenuButton::getZoomFactor() {
  zoom_ = CorrectZoom(zoom_);
  return zoom_;
}

int PresetBarScaleMenuButton::onMouseDown(QRVPoint where, int buttons) {
  if (buttons & (kQRVControl | kQRVAlt | kQRVDoubleClick)) {
    directChange_ = true;
    zoom_ = 1.0;
    value_ = 0.0;
    notifyValueChanged();
    invalidPeer();
    if (handler_) handler_->closePopup();
    return 4;
  }
  directChange_ = false;
  if (buttons & kQRVLButton) {
    toggle();
    press();
  }
  if (PresetBarScaleOptionMenuHandler* h = getMenuHandler()) h->onMouseDown(where, buttons);
  return kQRVMouseHandled;
}

bool PresetBarScaleMenuButton::onMouseWheel(QRVPoint, float distance, int buttons) {
  directChange_ = true;
  double step = distance > 0.1 ? 1.0 : distance < -0.1 ? -1.0 : static_cast<double>(distance);
  zoom_ = CorrectZoom(zoom_ + step * ((buttons & kQRVShift) ? 0.01 : 0.05));
  notifyValueChanged();
  invalidPeer();
  return true;
}

void PresetBarScaleMenuButton::drawZoomLabel(QRVDrawContext* context) {
  context->setFont(font_);
  if (value_ <= 0.5) {
    context->setFontColor(labelColor());
    context->drawString(label_, viewRect_, kQRVAlignCenter);
    return;
  }
  // Open menu: a soft halo around the label, two rings of eight copies.
  context->setFontColor(kZoomHalo);
  for (double d : {2.0, 1.0}) {
    const double offsets[8][2] = {{d, 0}, {d, d}, {0, d}, {-d, d}, {-d, 0}, {-d, -d}, {0, -d}, {d, -d}};
    for (const auto& o : offsets) {
      QRVRect r{viewRect_.left + o[0], viewRect_.top + o[1], viewRect_.right + o[0], viewRect_.bottom + o[1]};
      context->drawString(label_, r, kQRVAlignCenter);
    }
  }
  context->setFontColor(dimmed(kLabelPressed));
  context->drawString(label_, viewRect_, kQRVAlignCenter);
  if (pressed_ || mouseInside_) {
    context->setFontColor(labelColor());
    context->drawString(label_, viewRect_, kQRVAlignCenter);
  }
}

void PresetBarScaleMenuButton::draw(QRVDrawContext* context) {
  if (!context) return;
  drawHoverBackground(context);
  drawZoomLabel(context);
}

// ---------------------------------------------------------------- zoom corner

void PresetBarScaleCornerControl::draw(QRVDrawContext* context) {
  if (!context) return;
  const QRVRect& r = viewRect_;
  context->setLineWidth(1);
  context->setFillColor(kCornerTriangle);
  const QRVPoint triangle[4] = {{r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}, {r.right, r.top}};
  context->drawPolygon(triangle, 4, kQRVDrawFilled);
  context->setLineWidth(2);
  context->setFrameColor(kCornerGrip);
  for (int k = 0; k <= 5; ++k) context->drawLine(r.left + 4 * k, r.bottom, r.right, r.top + 4 * k);
}

int PresetBarScaleCornerControl::onMouseDown(QRVPoint, int) { return kQRVMouseHandled; }
int PresetBarScaleCornerControl::onMouseMoved(QRVPoint, int) { return kQRVMouseHandled; }
int PresetBarScaleCornerControl::onMouseUp(QRVPoint, int) { return kQRVMouseHandled; }

// ---------------------------------------------------------------- zoom menu

void PresetBarScaleOptionMenu::draw(QRVDrawContext* context) {
  if (!context) return;
  QRVCustomizableOptionMenu::draw(context);
  context->setLineWidth(1);
  context->setFrameColor(kSeparator);
  for (int index : {8, 10})
    if (const QRVCustomizableOptionMenuEntry* e = getEntry(index))
      context->drawLine(viewRect_.left + 4, e->rect.top, viewRect_.right - 4, e->rect.top);
}

PresetBarScaleOptionMenuHandler::PresetBarScaleOptionMenuHandler(const QRVRect& rect, PresetBarScaleMenuButton* button)
    : QRVCustomizableOptionMenuPackageHandler(rect), button_(button) {
  if (button_) setTag(button_->getTag());
}

PresetBarScaleOptionMenuHandler::~PresetBarScaleOptionMenuHandler() {
  // Destroyed by its container, possibly before the button.
  if (button_) button_->handler_ = nullptr;
}

// Only the anchor of the list; its one-point strip has nothing to show.
void PresetBarScaleOptionMenuHandler::draw(QRVDrawContext*) {}

QRVCustomizableOptionMenu* PresetBarScaleOptionMenuHandler::newMenu() {
  return new PresetBarScaleOptionMenu(QRVRect{0, 0, 120, 340}, tag_);
}

void PresetBarScaleOptionMenuHandler::createMenu() {
  if (list_) return;
  QRVCustomizableOptionMenuPackageHandler::createMenu();
  if (!list_) return;
  static const struct {
    const char* title;
    int id;
  } kEntries[] = {{"70%", 70},   {"85%", 85},   {"100%", 100},          {"125%", 125},
                  {"150%", 150}, {"175%", 175}, {"200%", 200},          {"250%", 250},
                  {"Increase 5%", kIncrease},   {"Decrease 5%", kDecrease}, {"Close", kClose}};
  for (const auto& e : kEntries) list_->addEntry(e.title, e.id);
}

bool PresetBarScaleOptionMenuHandler::onCatcherMouseDown(QRVPoint windowPoint, int buttons) {
  if (!button_ || !(buttons & (kQRVControl | kQRVAlt | kQRVDoubleClick))) return false;
  QRVRect r = button_->getViewSize();
  QRVPoint origin{r.left, r.top};
  if (!Quarrytone::ControlToWindow(button_, origin)) return false;
  QRVPoint local{windowPoint.x - origin.x + r.left, windowPoint.y - origin.y + r.top};
  if (!r.contains(local)) return false;
  button_->onMouseDown(local, buttons);
  return true;
}

void PresetBarScaleOptionMenuHandler::openPopup() {
  QRVCustomizableOptionMenuPackageHandler::openPopup();
  if (!button_ || !isOpen()) return;
  button_->setValue(1.0);
  button_->invalidPeer();
}

void PresetBarScaleOptionMenuHandler::finishZoomChange(double z, double buttonValue) {
  button_->setZoomFactor(z);
  button_->notifyValueChanged();
  // Reported once more as a direct change, as a wheel turn would.
  button_->onMouseWheel(QRVPoint{}, 0.0f, 0);
  if (list_) list_->clearHoverAndSelection();
  button_->setValue(buttonValue);
  button_->invalidPeer();
}

void PresetBarScaleOptionMenuHandler::closePopup() {
  const QRVCustomizableOptionMenuEntry* e = list_ ? list_->getEntry(list_->getSelectedIndex()) : nullptr;
  int id = e ? e->id : -1;
  if (!button_ || id == kClose || id == -1) {
    QRVCustomizableOptionMenuPackageHandler::closePopup();
    if (list_) list_->clearHoverAndSelection();
    if (button_) {
      button_->setValue(0.0);
      button_->invalidPeer();
    }
    return;
  }
  if (id == kIncrease || id == kDecrease) {
    double z = PresetBarScaleMenuButton::CorrectZoom(button_->getZoomFactor() + (id == kIncrease ? 0.05 : -0.05));
    finishZoomChange(z, 1.0);
    return;
  }
  QRVCustomizableOptionMenuPackageHandler::closePopup();
  double z = PresetBarScaleMenuButton::CorrectZoom(id * 0.01);
  // The zoomed window with its bar must fit the screen; whole percent, and never outside the
  // range the window itself accepts, however small the screen.
  int screenWidth = 0, screenHeight = 0;
  if (Quarrytone::ControlScreenSize(this, screenWidth, screenHeight) && screenWidth > 0 && screenHeight > 0) {
    QRVPoint editor = button_->getEditorSize();
    z = std::min({z, screenWidth / editor.x, (screenHeight - 60) / (editor.y + 154)});
    z = std::floor(z * 100 + 1e-6) / 100;
    z = std::clamp(z, PresetBarScaleMenuButton::kMinZoom, PresetBarScaleMenuButton::kMaxZoom);
  }
  finishZoomChange(z, 0.0);
}

// ---------------------------------------------------------------- arrow pairs

PresetBarArrowPairControl::PresetBarArrowPairControl(const QRVRect& rect, int tag) : PresetBarBasicControl(rect, tag) {}

void PresetBarArrowPairControl::setViewSize(QRVRect rect) {
  PresetBarBasicControl::setViewSize(rect);
  computeHitRects();
}

int PresetBarArrowPairControl::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & (kQRVLButton | kQRVDoubleClick))) return kQRVMouseHandled;
  releaseCountdown_ = kReleaseTicks;
  leftPressed_ = rightPressed_ = false;
  if (leftRect_.contains(where)) {
    leftPressed_ = true;
    value_ = 0.0;
  } else if (rightRect_.contains(where)) {
    rightPressed_ = true;
    value_ = 1.0;
  }
  invalidPeer();
  // The owner steps on every report, so a press beside the arrows reports nothing.
  if (leftPressed_ || rightPressed_) notifyValueChanged();
  return kQRVMouseHandled;
}

void PresetBarArrowPairControl::trackHover(QRVPoint where) {
  pressed_ = false;
  mouseInside_ = true;
  leftHover_ = leftRect_.contains(where);
  rightHover_ = !leftHover_ && rightRect_.contains(where);
  invalidPeer();
}

int PresetBarArrowPairControl::onMouseMoved(QRVPoint where, int) {
  trackHover(where);
  return kQRVMouseHandled;
}

int PresetBarArrowPairControl::onMouseEntered(QRVPoint where, int) {
  trackHover(where);
  releaseCountdown_ = 0;
  return kQRVMouseHandled;
}

int PresetBarArrowPairControl::onMouseUp(QRVPoint where, int buttons) {
  leftPressed_ = rightPressed_ = false;
  return PresetBarBasicControl::onMouseUp(where, buttons);
}

int PresetBarArrowPairControl::onMouseExited(QRVPoint where, int buttons) {
  leftPressed_ = rightPressed_ = leftHover_ = rightHover_ = false;
  return PresetBarBasicControl::onMouseExited(where, buttons);
}

void PresetBarArrowPairControl::onIdleTick() {
  bool ending = releaseCountdown_ != 0 && releaseCountdown_ <= 1;
  PresetBarBasicControl::onIdleTick();
  // The arrows' own looks end with the common one.
  if (ending) leftPressed_ = rightPressed_ = leftHover_ = rightHover_ = false;
}

PresetBarNudgeControl::PresetBarNudgeControl(const QRVRect& rect, int tag) : PresetBarArrowPairControl(rect, tag) {
  computeHitRects();
}

void PresetBarNudgeControl::computeHitRects() {
  double cx = std::floor((viewRect_.left + viewRect_.right) / 2);
  double cy = std::floor((viewRect_.top + viewRect_.bottom) / 2);
  leftRect_ = QRVRect{cx - 20, cy - 10, cx, cy + 10};
  rightRect_ = QRVRect{cx, cy - 10, cx + 20, cy + 10};
}

void PresetBarNudgeControl::draw(QRVDrawContext* context) {
  if (!context) return;
  drawHoverBackground(context);
  context->setLineWidth(1.2);
  auto arrow = [&](const QRVRect& hit, bool left, bool isPressed, bool hover) {
    double ix = 0.2 * hit.getWidth() - 1, iy = 0.18 * hit.getHeight();
    QRVRect box{hit.left + ix, hit.top + iy, hit.right - ix, hit.bottom - iy};
    DrawBlockArrow(context, box, left, dimmed(hover ? kArrowFillHover : kArrowOutline),
                   dimmed(isPressed ? kArrowOutlinePressed : kArrowOutline));
  };
  arrow(leftRect_, true, leftPressed_, leftHover_);
  arrow(rightRect_, false, rightPressed_, rightHover_);
}

PresetBarUndoRedoControl::PresetBarUndoRedoControl(const QRVRect& rect, int tag)
    : PresetBarArrowPairControl(rect, tag) {
  computeHitRects();
}

void PresetBarUndoRedoControl::computeHitRects() {
  double middle = (viewRect_.left + viewRect_.right) / 2;
  leftRect_ = QRVRect{viewRect_.left - 1, viewRect_.top, middle - 1, viewRect_.bottom};
  rightRect_ = QRVRect{middle + 1, viewRect_.top, viewRect_.right + 1, viewRect_.bottom};
}

void PresetBarUndoRedoControl::draw(QRVDrawContext* context) {
  if (!context) return;
  drawHoverBackground(context);
  context->setLineWidth(1.5);
  double centre = (viewRect_.left + viewRect_.right) / 2;
  auto curved = [&](double boxLeft, bool undo, bool hover) {
    QRVColor c = dimmed(hover ? kLabelHover : kLabelNormal);
    context->setFrameColor(c);
    context->setFillColor(c);
    // An arc over the top of a circle in the 52 x 20 box, its head at the end the arrow turns to.
    QRVRect box{boxLeft, viewRect_.top + 4, boxLeft + 52, viewRect_.top + 24};
    double cx = (box.left + box.right) / 2, cy = box.top + 12, r = 6;
    context->drawArc(QRVRect{cx - r, cy - r, cx + r, cy + r}, undo ? 200.0f : 180.0f, undo ? 360.0f : 340.0f,
                     kQRVDrawStroked);
    double end = undo ? cx - r : cx + r;
    const QRVPoint head[4] = {{end - 4, cy - 1}, {end + 4, cy - 1}, {end, cy + 5}, {end - 4, cy - 1}};
    context->drawPolygon(head, 4, kQRVDrawFilledAndStroked);
  };
  curved(viewRect_.left - 7, true, leftHover_);
  curved(centre - 15, false, rightHover_);
}

// ---------------------------------------------------------------- A/B

int ABCompPresetBarControl::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseNotHandled;
  toggle();
  return press();
}

void ABCompPresetBarControl::draw(QRVDrawContext* context) {
  if (!context) return;
  drawHoverBackground(context);
  context->setLineWidth(1);
  context->setFont(Font(Quarrytone::SharedFont::Arial14));
  double w = viewRect_.getWidth() / 3;
  auto cell = [&](int i) {
    return QRVRect{viewRect_.left + i * w, viewRect_.top - 1, viewRect_.left + (i + 1) * w, viewRect_.bottom - 1};
  };
  context->setFontColor(dimmed(mouseInside_ ? kLabelHover : kLabelNormal));
  context->drawString("A", cell(0), kQRVAlignCenter);
  context->drawString("/", cell(1), kQRVAlignCenter);
  context->drawString("B", cell(2), kQRVAlignCenter);
  bool b = value_ >= 0.5;
  context->setFontColor(dimmed(kLabelPressed));
  context->drawString(b ? "B" : "A", cell(b ? 2 : 0), kQRVAlignCenter);
}

void ABCopyPresetBarControl::draw(QRVDrawContext* context) {
  if (!context) return;
  drawHoverBackground(context);
  context->setLineWidth(1.2);
  double cx = (viewRect_.left + viewRect_.right) / 2, cy = (viewRect_.top + viewRect_.bottom) / 2;
  QRVRect box{cx - 26, cy - 9, cx + 26, cy + 9};
  QRVRect body{box.left + 0.2 * 52 - 1, box.top + 0.18 * 18, box.right - 0.2 * 52 + 1, box.bottom - 0.18 * 18};
  DrawBlockArrow(context, body, false, dimmed(mouseInside_ ? kCopyArrowFillHover : kArrowOutline),
                 dimmed(pressed_ ? kArrowOutlinePressed : kArrowOutline));
  context->setFont(Font(Quarrytone::SharedFont::Arial14));
  context->setFontColor(dimmed(mouseInside_ ? kLabelHover : kLabelNormal));
  context->drawString(direction_ ? "A" : "B", QRVRect{viewRect_.left, viewRect_.top - 1, body.left, viewRect_.bottom - 1},
                      kQRVAlignCenter);
  context->drawString(direction_ ? "B" : "A",
                      QRVRect{body.right, viewRect_.top - 1, viewRect_.right, viewRect_.bottom - 1}, kQRVAlignCenter);
}

// ---------------------------------------------------------------- configuration button

void PresetBarConfigMenuButton::draw(QRVDrawContext* context) {
  if (!context) return;
  drawHoverBackground(context);
  QRVColor c = value_ <= 0.5 ? kLabelNormal : kLabelPressed;
  if (mouseInside_) c = kLabelHover;
  if (pressed_) c = kLabelPressed;
  context->setLineWidth(1);
  context->setFrameColor(dimmed(c));
  double cx = std::floor((viewRect_.left + viewRect_.right) / 2);
  double cy = std::floor((viewRect_.top + viewRect_.bottom) / 2);
  for (double dy : {-4.0, 0.0, 4.0}) context->drawLine(cx - 7, cy + dy, cx + 7, cy + dy);
}

int PresetBarConfigMenuButton::onMouseDown(QRVPoint, int buttons) {
  if (buttons & kQRVLButton) reportClick();
  return kQRVMouseHandledNoMore;
}

// ---------------------------------------------------------------- preset name

// The name's edit box: tells the name control when the user abandons the edit.
class PresetBarNameEdit : public QRVTextEdit {
 public:
  PresetBarNameEdit(const QRVRect& rect, int tag, PresetBarNameControl* owner) : QRVTextEdit(rect, tag), owner_(owner) {}
  ~PresetBarNameEdit() override {
    if (owner_) owner_->edit_ = nullptr;
  }
  void editCancelled() override {
    if (owner_) owner_->cancelEditing();
  }
  PresetBarNameControl* owner_;
};

PresetBarNameControl::PresetBarNameControl(const QRVRect& rect, int tag)
    : PresetBarBasicControl(rect, tag), edit_(new PresetBarNameEdit(rect, 30, this)) {
  edit_->setStyle(64);
  edit_->setPlaceholder("preset name");
  edit_->setMaxLength(kNameCharacters);
  edit_->setFont(Font(Quarrytone::SharedFont::Arial14));
  edit_->setFontColor(kNameText);
  edit_->setBackColor(kNameBackground);
  edit_->setReportMouseDown(false);
  setViewSize(rect);
}

PresetBarNameControl::~PresetBarNameControl() {
  if (!edit_) return;
  edit_->owner_ = nullptr;
  // In a container the box belongs to its peer; outside one (never shown, or taken out) to us.
  if (!edit_->getContainer()) delete edit_;
}

QRVTextEdit* PresetBarNameControl::getTextEdit() const { return edit_; }

void PresetBarNameControl::setViewSize(QRVRect rect) {
  PresetBarBasicControl::setViewSize(rect);
  textRect_ = QRVRect{rect.left + 15, rect.top, rect.right - 15, rect.bottom};
  iconRect_ = QRVRect{rect.left, rect.top, rect.left + 15, rect.bottom};
  if (edit_) edit_->setViewSize(rect);
}

void PresetBarNameControl::setName(const char* name) {
  CopyField(name_, name);
  invalidPeer();
}

void PresetBarNameControl::setModified(bool modified) {
  modified_ = modified;
  invalidPeer();
}

bool PresetBarNameControl::overIcon(QRVPoint where) const {
  return viewRect_.getWidth() > 50 && iconRect_.contains(where);
}

void PresetBarNameControl::draw(QRVDrawContext* context) {
  if (!context) return;
  const QRVRect& r = viewRect_;
  context->setLineWidth(1);
  context->setFillColor(kNameBackground);
  context->setFrameColor(kNameBackground);
  DrawRoundRect(context, r, 3, kQRVPathFilled);
  DrawRoundRect(context, r, 3, kQRVPathStroked);
  bool menuOpen = value_ >= 0.5;
  if (r.getWidth() > 50) {
    std::string shown = qrv::presetbar::ShortenText(name_, textRect_.getWidth());
    context->setFont(Font(Quarrytone::SharedFont::Arial14));
    context->setFontColor(modified_ ? kNameTextModified : kNameText);
    context->drawString(shown.c_str(), textRect_, kQRVAlignCenter);
    if (!menuOpen) {
      QRVRect icon{r.left + 3, r.top + 4, r.left + 14, r.top + 17};
      context->setFillColor(WithAlpha(kNameText, overEditIcon_ ? 90 : 50));
      context->drawRect(icon, kQRVDrawFilled);
      context->setFont(Font(Quarrytone::SharedFont::Arial10));
      context->setFontColor(kNameBackground);
      context->drawString("E", icon, kQRVAlignCenter);
    }
  }
  QRVPoint down[4] = {{r.right - 14, r.top + 8}, {r.right - 5, r.top + 8}, {r.right - 9, r.top + 14}, {}};
  QRVPoint up[4] = {{r.right - 14, r.top + 12}, {r.right - 5, r.top + 12}, {r.right - 9, r.top + 6}, {}};
  QRVPoint* arrow = menuOpen ? up : down;
  arrow[3] = arrow[0];
  for (QRVColor c : {QRVColor{0, 0, 0, 255}, QRVColor{255, 255, 255, 255}}) {
    if (c.red == 255 && !mouseInside_) break;
    context->setFillColor(c);
    context->setFrameColor(c);
    context->drawPolygon(arrow, 4, kQRVDrawFilledAndStroked);
  }
}

int PresetBarNameControl::onMouseDown(QRVPoint where, int buttons) {
  if ((buttons & kQRVRButton) || overIcon(where)) {
    if (value_ < 0.5) {
      nameEditing_ = true;
      if (edit_ && !edit_->getContainer() && container_) container_->addControl(edit_);
      if (edit_ && edit_->getPeer()) static_cast<QRVEngineTextEdit*>(edit_->getPeer())->takeFocus();
    } else {
      nameEditing_ = false;
      detachEdit();
    }
    overEditIcon_ = false;
    invalidPeer();
    return kQRVMouseHandledNoMore;
  }
  if (buttons & kQRVLButton) {
    toggle();
    reportClick();
  }
  return kQRVMouseHandledNoMore;
}

int PresetBarNameControl::onMouseMoved(QRVPoint where, int buttons) {
  overEditIcon_ = overIcon(where);
  return PresetBarBasicControl::onMouseMoved(where, buttons);
}

int PresetBarNameControl::onMouseEntered(QRVPoint where, int buttons) {
  overEditIcon_ = overIcon(where);
  return PresetBarBasicControl::onMouseEntered(where, buttons);
}

int PresetBarNameControl::onMouseUp(QRVPoint where, int buttons) {
  overEditIcon_ = false;
  return PresetBarBasicControl::onMouseUp(where, buttons);
}

int PresetBarNameControl::onMouseExited(QRVPoint where, int buttons) {
  overEditIcon_ = false;
  return PresetBarBasicControl::onMouseExited(where, buttons);
}

void PresetBarNameControl::detachEdit() {
  if (edit_ && edit_->getContainer()) edit_->getContainer()->removeControl(edit_);
}

bool PresetBarNameControl::takeEditedName(const char*& name) {
  bool was = nameEditing_;
  nameEditing_ = false;
  name = nullptr;
  if (!edit_) return was;
  // What the box shows now, committed or not.
  const char* current = edit_->getText();
  if (QRVEngineView* peer = edit_->getPeer()) current = static_cast<QRVEngineTextEdit*>(peer)->getText();
  std::string text = current ? current : "";
  detachEdit();
  text.resize(qrv::utf8::PrefixBytes(text, kEditedNameCharacters, text.size()));
  edit_->setText(text.c_str());
  if (edit_->getText()[0]) name = edit_->getText();
  invalidPeer();
  return was;
}

void PresetBarNameControl::cancelEditing() {
  nameEditing_ = false;
  detachEdit();
  invalidPeer();
}
