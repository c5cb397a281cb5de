#include "gui/controls/QRVCustomizableOptionMenu.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "gui/engine/QRVEngineServices.h"
#include "platform/Utf8.h"

namespace {

bool OverlapsVertically(const QRVRect& a, const QRVRect& b) { return a.top < b.bottom && b.top < a.bottom; }

QRVRect Normalised(QRVRect r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

}  // namespace

// ---------------------------------------------------------------- QRVCustomizableOptionMenu

QRVCustomizableOptionMenu::QRVCustomizableOptionMenu(const QRVRect& rect, int tag)
    : QRVCustomControl(rect, tag, nullptr), listRect_(rect) {
  entryWidth_ = rect.getWidth() - 2 * marginX_;
  setReportMouseDown(false);
  ownDefault_ = 0.5;
  nextEntryRect_ = QRVRect{rect.left + marginX_, rect.top + marginY_ - rowHeight_, rect.left + marginX_ + entryWidth_,
                           rect.top + marginY_};
}

bool QRVCustomizableOptionMenu::addEntry(const char* title, int id) {
  if (count_ >= kMaxEntries) return false;
  nextEntryRect_.top += rowHeight_;
  nextEntryRect_.bottom += rowHeight_;
  QRVCustomizableOptionMenuEntry& e = entries_[count_++];
  // A long title is cut to the field's 63 bytes, between characters.
  std::string_view t = title ? std::string_view(title, strnlen(title, 4 * sizeof(e.title))) : "";
  std::size_t n = qrv::utf8::PrefixBytes(t, t.size(), sizeof(e.title) - 1);
  std::memset(e.title, 0, sizeof(e.title));
  std::memcpy(e.title, t.data(), n);
  e.rect = nextEntryRect_;
  e.inactive = false;
  e.id = id;
  needsLayout_ = true;
  return true;
}

void QRVCustomizableOptionMenu::setEntryInactive(int index, bool inactive) {
  if (index < 0 || index >= count_) return;
  entries_[index].inactive = inactive;
  if (inactive && hovered_ == index) hovered_ = -1;
  invalidPeer();
}

const QRVCustomizableOptionMenuEntry* QRVCustomizableOptionMenu::getEntry(int index) const {
  return (index >= 0 && index < count_) ? &entries_[index] : nullptr;
}

void QRVCustomizableOptionMenu::clearHoverAndSelection() {
  hovered_ = -1;
  selected_ = -1;
  invalidPeer();
}

void QRVCustomizableOptionMenu::layout() {
  QRVRect r{0, 0, 2 * marginX_ + entryWidth_, count_ * rowHeight_ + 2 * marginY_};
  setViewSize(r);
  listRect_ = r;
  needsLayout_ = false;
}

void QRVCustomizableOptionMenu::setValue(double value) {
  QRVCustomControl::setValue(value);
  hovered_ = -1;
  int i = static_cast<int>((count_ - 1) * value_ + 0.5);
  selected_ = (i >= 0 && i < count_) ? i : -1;
  invalidPeer();
}

void QRVCustomizableOptionMenu::setTag(int tag) {
  if (tag == tag_) return;
  if (tag >= 0) QRVCustomControl::setTag(tag);
  if (owner_) owner_->setTag(tag);
}

void QRVCustomizableOptionMenu::drawRoundedEntry(const QRVRect& r, QRVDrawContext* context, bool fill) {
  double radius = std::min(4.0, std::min(r.getWidth(), r.getHeight()) / 2);
  if (QRVGraphicsPath* path = context->createGraphicsPath()) {
    path->addRoundRect(r, radius);
    context->drawGraphicsPath(path, fill ? kQRVPathFilled : kQRVPathStroked);
    path->release();
  }
}

void QRVCustomizableOptionMenu::drawEntries(QRVDrawContext* context) {
  context->setLineWidth(2);
  context->setFrameColor(kFrameColor);
  context->setFillColor(kBackgroundColor);
  context->drawRect(viewRect_, kQRVDrawFilledAndStroked);
  context->setFont(Quarrytone::GetSharedFont(Quarrytone::SharedFont::Arial12));
  auto textRect = [this](const QRVRect& r) {
    return QRVRect{r.left + textOffsetX_, r.top + textOffsetY_, r.right + textOffsetX_, r.bottom + textOffsetY_};
  };
  for (int i = 0; i < count_; ++i) {
    const QRVCustomizableOptionMenuEntry& e = entries_[i];
    if (e.inactive) {
      context->setFontColor(kTitleTextColor);
      context->drawString(e.title, QRVRect{e.rect.left, e.rect.top - 1, e.rect.right, e.rect.bottom - 1},
                          kQRVAlignCenter);
    } else {
      context->setFontColor(kTextColor);
      context->drawString(e.title, textRect(e.rect), kQRVAlignLeft);
    }
  }
  if (const QRVCustomizableOptionMenuEntry* e = getEntry(selected_); e && OverlapsVertically(e->rect, listRect_)) {
    context->setFillColor(kSelectedColor);
    drawRoundedEntry(e->rect, context, true);
    context->setFontColor(kSelectedTextColor);
    context->drawString(e->title, textRect(e->rect), kQRVAlignLeft);
  }
  if (const QRVCustomizableOptionMenuEntry* e = getEntry(hovered_)) {
    context->setLineWidth(2);
    context->setFrameColor(kFrameColor);
    drawRoundedEntry(e->rect, context, false);
  }
}

void QRVCustomizableOptionMenu::draw(QRVDrawContext* context) {
  if (context) drawEntries(context);
}

int QRVCustomizableOptionMenu::onMouseMoved(QRVPoint where, int) {
  int index = -1;
  if (listRect_.contains(where))
    for (int i = 0; i < count_ && index < 0; ++i)
      if (!entries_[i].inactive && entries_[i].rect.contains(where)) index = i;
  if (index != hovered_) {
    hovered_ = index;
    invalidPeer();
  }
  return kQRVMouseHandled;
}

int QRVCustomizableOptionMenu::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  clickedOutside_ = true;
  if (listRect_.contains(where)) {
    for (int i = 0; i < count_; ++i) {
      if (entries_[i].inactive || !entries_[i].rect.contains(where)) continue;
      selected_ = i;
      clickedOutside_ = false;
      // A one-entry list has nothing to divide by: its only entry reports 0.
      value_ = count_ > 1 ? double(i) / (count_ - 1) : 0.0;
      if (owner_) {
        owner_->closePopup();
        owner_->invalidPeer();
      }
      notifyValueChanged();
      break;
    }
  }
  if (clickedOutside_) {
    // The margin of the list and everything outside it close the list; the value is reported again.
    if (owner_) {
      owner_->closePopup();
      owner_->invalidPeer();
    }
    notifyValueChanged();
  }
  hovered_ = -1;
  invalidPeer();
  return kQRVMouseHandledNoMore;
}

int QRVCustomizableOptionMenu::onMouseUp(QRVPoint, int) { return kQRVMouseNotHandled; }
int QRVCustomizableOptionMenu::onMouseEntered(QRVPoint, int) { return kQRVMouseHandled; }

int QRVCustomizableOptionMenu::onMouseExited(QRVPoint, int) {
  hovered_ = -1;
  invalidPeer();
  return kQRVMouseHandled;
}

// ---------------------------------------------------------------- QRVCustomizableOptionMenuPackageHandler

QRVCustomizableOptionMenuPackageHandler::QRVCustomizableOptionMenuPackageHandler(const QRVRect& rect)
    : QRVKickButton(rect, 60, nullptr) {
  setReportMouseDown(false);
}

QRVCustomizableOptionMenuPackageHandler::~QRVCustomizableOptionMenuPackageHandler() {
  if (catcherContainer_) {
    Quarrytone::ClosePopup(catcherContainer_);
    // The catcher container holds the list's container, the list and the catchers.
    delete catcherContainer_;
  } else if (list_ && !list_->getPeer()) {
    delete list_;
  }
}

void QRVCustomizableOptionMenuPackageHandler::setValue(double value) {
  QRVKickButton::setValue(value);
  if (list_) list_->setValue(value);
}

void QRVCustomizableOptionMenuPackageHandler::setTag(int tag) {
  if (tag == tag_) return;
  if (tag >= 0) QRVKickButton::setTag(tag);
  if (list_) list_->setTag(tag);
  for (QRVCustomizableOptionMenuMouseCatcher* c : catchers_)
    if (c) c->setTag(tag);
}

void QRVCustomizableOptionMenuPackageHandler::setCustomFaceColor(QRVColor color) {
  customFaceColor_.set(color);
  customFaceColorSet_ = true;
  invalidPeer();
}

void QRVCustomizableOptionMenuPackageHandler::draw(QRVDrawContext* context) {
  if (!context) return;
  context->setFillColor(customFaceColorSet_ ? customFaceColor_.color() : Quarrytone::palette::kMenuFace);
  if (QRVGraphicsPath* path = context->createGraphicsPath()) {
    path->addRoundRect(viewRect_, 4);
    context->drawGraphicsPath(path, kQRVPathFilled);
    path->release();
  }
  context->setLineWidth(1);
  QRVColor line = isMouseInside() ? Quarrytone::palette::kMenuFaceLineHover : Quarrytone::palette::kMenuFaceLine;
  context->setFrameColor(line);
  double middle = std::ceil((viewRect_.top + viewRect_.bottom) / 2);
  double right = viewRect_.right - 4;
  for (double dy : {-3.0, 0.0, 3.0}) context->drawLine(right - 10, middle + dy, right, middle + dy);
  if (list_)
    if (const QRVCustomizableOptionMenuEntry* e = list_->getEntry(list_->getSelectedIndex())) {
      context->setFont(Quarrytone::GetSharedFont(Quarrytone::SharedFont::Arial10));
      context->setFontColor(line);
      context->drawString(e->title, viewRect_, kQRVAlignCenter);
    }
}

int QRVCustomizableOptionMenuPackageHandler::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandledNoMore;
  if (doubleClickOnly_ && !(buttons & kQRVDoubleClick)) return kQRVMouseHandledNoMore;
  // The pop-up lies in window coordinates: the anchor is this button's top left there.
  anchor_ = QRVPoint{viewRect_.left, viewRect_.top};
  if (!Quarrytone::ControlToWindow(this, anchor_)) return kQRVMouseHandledNoMore;
  if (!list_) createMenu();
  if (!catcherContainer_) createPopupContainers();
  if (isOpen())
    closePopup();
  else
    openPopup();
  value_ = 0;
  invalidPeer();
  return kQRVMouseHandledNoMore;
}

QRVCustomizableOptionMenu* QRVCustomizableOptionMenuPackageHandler::newMenu() {
  return new QRVCustomizableOptionMenu(popupRect_, tag_);
}

void QRVCustomizableOptionMenuPackageHandler::createMenu() {
  if (list_) return;
  popupRect_ = QRVRect{0, 0, kPopupWidth, kPopupHeight};
  list_ = newMenu();
  if (list_) list_->setOwner(this);
}

void QRVCustomizableOptionMenuPackageHandler::createPopupContainers() {
  if (!list_ || catcherContainer_) return;
  popupRect_ = QRVRect{0, 0, kPopupWidth, kPopupHeight};
  QRVViewContainer* popup = Quarrytone::CreatePopupContainer(this, popupRect_);
  QRVViewContainer* catcher = Quarrytone::CreatePopupContainer(this, QRVRect{0, 0, kCatchWidth, kCatchHeight});
  if (!popup || !catcher) {
    delete popup;
    delete catcher;
    return;
  }
  const QRVColor clear{0, 0, 0, 0};
  popup->setBackgroundColor(clear);
  catcher->setBackgroundColor(clear);
  popup->addControl(list_);
  for (auto*& c : catchers_) {
    c = new QRVCustomizableOptionMenuMouseCatcher(QRVRect{}, tag_, list_);
    catcher->addControl(c);
  }
  catcher->addContainer(popup);
  popupContainer_ = popup;
  catcherContainer_ = catcher;
  open_ = false;
}

bool QRVCustomizableOptionMenuPackageHandler::isOpen() const {
  return open_ && catcherContainer_ && Quarrytone::IsPopupOpen(catcherContainer_);
}

void QRVCustomizableOptionMenuPackageHandler::openPopup() {
  if (isOpen() || !list_ || !popupContainer_ || !catcherContainer_) return;
  if (list_->needsLayout()) list_->layout();
  QRVRect lr = list_->getViewSize();
  double w = lr.getWidth(), h = lr.getHeight();
  double bw = viewRect_.getWidth(), bh = viewRect_.getHeight();
  double left, top;
  if (placement_ == 4) {
    left = anchor_.x;
    top = anchor_.y - h - 1;
  } else if (placement_ == 8) {
    left = anchor_.x;
    top = anchor_.y + bh + 1;
  } else {
    left = anchor_.x - (kPopupWidth - bw);
    top = anchor_.y + bh + 1;
  }
  left += offset_.x;
  top += offset_.y;
  popupRect_ = QRVRect{left, top, left + w, top + h};
  popupContainer_->setViewSize(popupRect_);
  // The catchers meet the list's edges, so that no click outside it reaches the views below.
  QRVRect window{0, 0, kCatchWidth, kCatchHeight};
  QRVRect size;
  if (Quarrytone::ControlWindowSize(this, size)) {
    window.right = std::max(window.right, size.right);
    window.bottom = std::max(window.bottom, size.bottom);
  }
  catcherContainer_->setViewSize(window);
  const QRVRect& p = popupRect_;
  const QRVRect parts[4] = {
      {0, 0, p.left, p.bottom},
      {p.left, 0, window.right, p.top},
      {p.right, p.top, window.right, window.bottom},
      {0, p.bottom, p.right, window.bottom},
  };
  for (int i = 0; i < 4; ++i) catchers_[i]->setViewSize(Normalised(parts[i]));
  if (!Quarrytone::OpenPopup(this, catcherContainer_, [this] { closePopup(); })) return;
  open_ = true;
}

void QRVCustomizableOptionMenuPackageHandler::closePopup() {
  if (!open_) return;
  if (catcherContainer_) Quarrytone::ClosePopup(catcherContainer_);
  open_ = false;
}

// ---------------------------------------------------------------- QRVCustomizableOptionMenuMouseCatcher

QRVCustomizableOptionMenuMouseCatcher::QRVCustomizableOptionMenuMouseCatcher(const QRVRect& rect, int tag,
                                                                             QRVCustomizableOptionMenu* list)
    : QRVKickButton(rect, tag, nullptr), list_(list) {
  setReportMouseDown(false);
}

bool QRVCustomizableOptionMenuPackageHandler::onCatcherMouseDown(QRVPoint, int) { return false; }

int QRVCustomizableOptionMenuMouseCatcher::onMouseDown(QRVPoint where, int buttons) {
  // The catchers' container lies at the window's origin: where is a window point.
  if (list_ && list_->getOwner() && list_->getOwner()->onCatcherMouseDown(where, buttons))
    return kQRVMouseHandledNoMore;
  if (list_) {
    // The list reads points in its own container's coordinates; this one lies outside it.
    QRVRect origin = list_->getContainer() ? list_->getContainer()->getViewSize() : QRVRect{};
    list_->onMouseDown(QRVPoint{where.x - origin.left, where.y - origin.top}, buttons);
  }
  return kQRVMouseHandledNoMore;
}
