#include "product/ProductControls.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gui/engine/QRVEngineServices.h"
#include "platform/ProductVersion.h"
#include "platform/Services.h"

namespace qrv {

// ---------------------------------------------------------------- COldVuMeter2

COldVuMeter2::COldVuMeter2(const QRVRect& rect, QRVBitmap* litFace, QRVBitmap* cover, QRVBitmap* darkFace)
    : QRVCustomControl(rect, kTag, nullptr), lit_(litFace), cover_(cover), dark_(darkFace) {
  for (QRVBitmap* b : {lit_, cover_, dark_})
    if (b) b->retain();
  const double left = std::trunc(rect.left), top = std::trunc(rect.top);
  QRVBitmap* face = lit_ ? lit_ : dark_;
  const double w = face ? face->getWidth() : rect.getWidth();
  const double h = face ? face->getHeight() : rect.getHeight();
  face_ = QRVRect{left, top, left + w, top + h};
  value_ = 0.0;
}

COldVuMeter2::~COldVuMeter2() {
  for (QRVBitmap* b : {lit_, cover_, dark_})
    if (b) b->release();
}

void COldVuMeter2::NeedleLine(double value, QRVPoint& start, QRVPoint& end) {
  // 120 degrees at no reduction, 60 at full: the needle swings from upper left to upper right.
  const double a = 2.0943951023931953 - value * 1.0471975511965976;
  const double c = std::cos(a), s = std::sin(a);
  start = QRVPoint{kPivot.x + 0.5 + c * kInnerRadius, kPivot.y + 0.5 - s * kInnerRadius};
  end = QRVPoint{kPivot.x + 0.5 + c * kOuterRadius, kPivot.y + 0.5 - s * kOuterRadius};
}

QRVRect COldVuMeter2::needleRect(double value) const {
  QRVPoint start, end;
  NeedleLine(value, start, end);
  // The stroke reaches half its width beside the line and, with butt ends, not past its end points.
  constexpr double m = kNeedleWidth / 2;
  return QRVRect{std::max(std::min(start.x, end.x) - m, viewRect_.left),
                 std::max(std::min(start.y, end.y) - m, viewRect_.top),
                 std::min(std::max(start.x, end.x) + m, viewRect_.right),
                 std::min(std::max(start.y, end.y) + m, viewRect_.bottom)};
}

void COldVuMeter2::setValue(double value) {
  if (std::isnan(value)) return;
  const double v = std::clamp(value, 0.0, 1.0);
  if (v == value_) return;
  const QRVRect before = needleRect(value_), after = needleRect(v);
  value_ = v;
  // One rectangle: the window repaints the union of what is invalidated anyway.
  invalidPeerRect(QRVRect{std::min(before.left, after.left), std::min(before.top, after.top),
                          std::max(before.right, after.right), std::max(before.bottom, after.bottom)});
}

void COldVuMeter2::draw(QRVDrawContext* context) {
  if (!context) return;
  context->setLineWidth(kNeedleWidth);
  QRVPoint start, end;
  NeedleLine(value_, start, end);
  if (QRVBitmap* face = lamp_ ? lit_ : dark_) context->drawBitmap(face, face_, QRVPoint{0, 0}, 1.0f);
  context->setFrameColor(lamp_ ? kNeedleLit : kNeedleDark);
  context->moveTo(start);
  context->lineTo(end);
}

// ---------------------------------------------------------------- CInfo

CInfo::CInfo(const QRVRect& rect, QRVBitmap* page) : QRVCustomControl(rect, kTag, page) {
  // "v." and the product version, cut to seven characters: "v.2.3.0".
  constexpr char kVersion[] = "v." QRV_VERSION;
  std::memcpy(version_, kVersion, std::min(sizeof(kVersion), sizeof(version_) - 1));
  ownDefault_ = 0.5;
}

bool CInfo::InLink(const QRVPoint& p) {
  return p.x >= kLinkRect.left && p.x <= kLinkRect.right && p.y >= kLinkRect.top && p.y <= kLinkRect.bottom;
}

void CInfo::draw(QRVDrawContext* context) {
  if (!context) return;
  if (bitmap_) context->drawBitmap(bitmap_, viewRect_, QRVPoint{0, 0}, 1.0f);
  context->setFontColor(kTextColor);
  context->setFont(Quarrytone::GetSharedFont(Quarrytone::SharedFont::Arial12));
  context->drawString(version_, QRVRect{296, 69, 396, 79}, kQRVAlignLeft);
  context->drawString(kEdition, QRVRect{190, 172, 390, 182}, kQRVAlignLeft);
  context->setFont(Quarrytone::GetSharedFont(Quarrytone::SharedFont::Arial10));
  context->drawString("AAX Native by Avid Technology", QRVRect{0, 208, viewRect_.getWidth(), 218}, kQRVAlignCenter);
  if (hover_) {
    context->setFrameColor(kLinkColor);
    context->drawLine(QRVPoint{kLinkRect.left, kLinkRect.bottom - 4}, QRVPoint{kLinkRect.right, kLinkRect.bottom - 4});
  }
}

int CInfo::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseNotHandled;
  if (InLink(where)) {
    platform::GetShell().Open(kAddress);
    return kQRVMouseHandledNoMore;
  }
  value_ = std::trunc(value_ + 0.5) != 0 ? 0.0 : 1.0;
  notifyValueChanged();
  invalidPeer();
  return kQRVMouseHandledNoMore;
}

int CInfo::onMouseMoved(QRVPoint where, int) {
  if (InLink(where)) {
    hover_ = true;
    invalidPeer();
  } else if (hover_) {
    hover_ = false;
    invalidPeer();
  }
  return kQRVMouseHandled;
}

}  // namespace qrv
