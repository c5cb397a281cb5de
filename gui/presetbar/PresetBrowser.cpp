#include "gui/presetbar/PresetBrowser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gui/engine/QRVEngineServices.h"
#include "gui/presetbar/TextShortening.h"
#include "platform/Services.h"
#include "platform/Utf8.h"
#include "presets/PresetManager.h"

namespace Quarrytone {
namespace {

using namespace PresetBrowserColors;

QRVFont* Font(SharedFont which) { return GetSharedFont(which); }

QRVRect Inset(const QRVRect& r, double dx, double dy) { return QRVRect{r.left + dx, r.top + dy, r.right - dx, r.bottom - dy}; }

// Plain wheel scrolling moves this many rows per notch.
constexpr double kWheelRows = 3;
// A wheel turn smaller than this either way is no step of the selection.
constexpr double kWheelThreshold = 0.1;
// A Shift drag of the thumb moves at a tenth of the pointer's speed.
constexpr double kFineDrag = 0.1;
// Names beyond this many characters are not appended to a preset entry's number.
constexpr std::size_t kEntryNameMax = 32;

}  // namespace

// ---------------------------------------------------------------- QRVSegmentSwitch

QRVSegmentSwitch::QRVSegmentSwitch(const QRVRect& rect, int tag, std::vector<std::string> labels)
    : QRVCustomControl(rect, tag, nullptr), labels_(std::move(labels)) {
  value_ = 0.0;
}

QRVRect QRVSegmentSwitch::segmentRect(int segment) const {
  const double w = viewRect_.getWidth() / std::max(1, segmentCount());
  const double left = viewRect_.left + segment * w + 4;
  return QRVRect{left, viewRect_.top, left + w - 8, viewRect_.bottom};
}

int QRVSegmentSwitch::selectedSegment() const {
  const int n = segmentCount();
  return n > 1 ? static_cast<int>(std::lround(value_ * (n - 1))) : 0;
}

int QRVSegmentSwitch::segmentAt(QRVPoint where) const {
  for (int s = 0; s < segmentCount(); ++s)
    if (segmentRect(s).contains(where)) return s;
  return -1;
}

void QRVSegmentSwitch::draw(QRVDrawContext* c) {
  if (!c) return;
  c->setFont(Font(SharedFont::Arial12));
  for (int s = 0; s < segmentCount(); ++s) {
    const QRVRect r = segmentRect(s);
    const bool selected = s == selectedSegment();
    c->setFillColor(selected ? kSegmentSelected : s == hovered_ ? kSegmentHover : kSegment);
    c->drawRect(r, kQRVDrawFilled);
    c->setFontColor(selected ? kSelectedText : kFactoryText);
    c->drawString(label(s).c_str(), r, kQRVAlignCenter);
  }
}

int QRVSegmentSwitch::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  const int s = segmentAt(where);
  if (s < 0) return kQRVMouseHandled;
  const int n = segmentCount();
  setValue(n > 1 ? static_cast<double>(s) / (n - 1) : 0.0);
  invalidPeer();
  notifyValueChanged();
  return kQRVMouseHandledNoMore;
}

int QRVSegmentSwitch::onMouseMoved(QRVPoint where, int) {
  const int s = segmentAt(where);
  if (s != hovered_) {
    hovered_ = s;
    invalidPeer();
  }
  return kQRVMouseHandled;
}

int QRVSegmentSwitch::onMouseExited(QRVPoint where, int buttons) {
  hovered_ = -1;
  return QRVBaseControl::onMouseExited(where, buttons);
}

QRVPresetMenuGroupSwitch::QRVPresetMenuGroupSwitch(const QRVRect& rect, int tag)
    : QRVSegmentSwitch(rect, tag, {std::string(qrv::kBankLabels[0]), std::string(qrv::kBankLabels[1]),
                                   std::string(qrv::kBankLabels[2])}) {}

// ---------------------------------------------------------------- QRVPresetCustomMenu

QRVPresetCustomMenu::QRVPresetCustomMenu(const QRVRect& rect, int tag) : QRVCustomControl(rect, tag, nullptr) {
  value_ = kOutside;
}

int QRVPresetCustomMenu::EntryOf(double value) {
  return static_cast<int>(std::lround(value * kMaxEntries)) - 1;
}

void QRVPresetCustomMenu::setViewSize(QRVRect rect) {
  QRVCustomControl::setViewSize(rect);
  setScrollPosition(scroll_);
}

void QRVPresetCustomMenu::setEntries(std::vector<std::string> texts) {
  if (texts.size() > static_cast<std::size_t>(kMaxEntries)) texts.resize(kMaxEntries);
  texts_ = std::move(texts);
  selected_ = hovered_ = -1;
  scroll_ = 0.0;
  invalidPeer();
}

void QRVPresetCustomMenu::setSelected(int entry) {
  selected_ = entry >= 0 && entry < entryCount() ? entry : -1;
  if (selected_ >= 0) scrollToShow(selected_);
  invalidPeer();
}

void QRVPresetCustomMenu::setScrollPosition(double position) {
  scroll_ = overflow() > 0 && std::isfinite(position) ? std::clamp(position, 0.0, 1.0) : 0.0;
  invalidPeer();
}

QRVRect QRVPresetCustomMenu::listArea() const {
  return QRVRect{viewRect_.left, viewRect_.top,
                 std::max(viewRect_.left, viewRect_.right - kScrollBarWidth - kScrollBarGap), viewRect_.bottom};
}

QRVRect QRVPresetCustomMenu::scrollBarRect() const {
  return QRVRect{viewRect_.right - kScrollBarWidth, viewRect_.top, viewRect_.right, viewRect_.bottom};
}

double QRVPresetCustomMenu::cellWidth() const { return std::min(kCellWidth, listArea().getWidth()); }

int QRVPresetCustomMenu::visibleRows() const {
  return std::max(1, static_cast<int>(std::floor(viewRect_.getHeight() / kCellHeight)));
}

int QRVPresetCustomMenu::columns() const {
  const double w = cellWidth();
  return w > 0 ? std::max(1, static_cast<int>(std::floor(listArea().getWidth() / w))) : 1;
}

int QRVPresetCustomMenu::rowsPerColumn() const {
  const int cols = columns();
  int rows = (entryCount() + cols - 1) / cols;
  if (rows < visibleRows()) rows = visibleRows() - 1;
  return std::max(1, rows);
}

double QRVPresetCustomMenu::overflow() const {
  return std::max(0.0, kMargin + rowsPerColumn() * kCellHeight - viewRect_.getHeight());
}

QRVRect QRVPresetCustomMenu::cellRect(int entry) const {
  const int rows = rowsPerColumn();
  const double w = cellWidth();
  const double left = viewRect_.left + kMargin + (entry / rows) * w;
  const double top = viewRect_.top + kMargin + (entry % rows) * kCellHeight - scroll_ * overflow();
  return QRVRect{left, top, left + w, top + kCellHeight};
}

QRVRect QRVPresetCustomMenu::thumbRect() const {
  const QRVRect track = scrollBarRect();
  const double h = track.getHeight() * std::min(1.0, static_cast<double>(visibleRows()) / rowsPerColumn());
  const double top = track.top + (track.getHeight() - h) * scroll_;
  return QRVRect{track.left, top, track.right, top + h};
}

int QRVPresetCustomMenu::entryAt(QRVPoint where) const {
  if (!listArea().contains(where)) return -1;
  for (int i = 0; i < entryCount(); ++i) {
    const QRVRect r = cellRect(i);
    // Cells past the list area's right edge are cut off there and take no press.
    if (r.contains(where) && where.x < listArea().right) return i;
  }
  return -1;
}

std::string QRVPresetCustomMenu::shownText(int entry) const {
  if (entry < 0 || entry >= entryCount()) return {};
  return qrv::presetbar::ShortenText(entryText(entry), cellWidth() - 2 * kTextInset);
}

QRVColor QRVPresetCustomMenu::textColour() const { return userColours_ ? kUserText : kFactoryText; }

void QRVPresetCustomMenu::draw(QRVDrawContext* c) {
  if (!c) return;
  const QRVRect area = listArea();
  c->setFillColor(kListBackground);
  c->drawRect(viewRect_, kQRVDrawFilled);
  c->setClipRect(area);
  c->setFont(Font(SharedFont::Arial12));
  c->setLineWidth(1);
  for (int i = 0; i < entryCount(); ++i) {
    const QRVRect r = cellRect(i);
    if (r.bottom <= area.top || r.top >= area.bottom) continue;
    if (i == selected_) {
      c->setFillColor(kSelectedCell);
      c->drawRect(Inset(r, 0, 1), kQRVDrawFilled);
    }
    if (i == hovered_) {
      c->setFrameColor(kHoverOutline);
      c->drawRect(Inset(r, 0.5, 1.5), kQRVDrawStroked);
    }
    c->setFontColor(i == selected_ ? kSelectedText : textColour());
    const QRVRect text{r.left + kTextInset, r.top - kTextRaise, r.right - kTextInset, r.bottom - kTextRaise};
    c->drawString(shownText(i).c_str(), text, kQRVAlignLeft);
  }
  c->resetClipRect();
  c->setFillColor(kScrollTrack);
  c->drawRect(scrollBarRect(), kQRVDrawFilled);
  // A list that fits has nothing to scroll: the track alone.
  if (overflow() > 0) {
    c->setFillColor(kScrollThumb);
    c->drawRect(Inset(thumbRect(), 3, 1), kQRVDrawFilled);
  }
}

void QRVPresetCustomMenu::report(double value) {
  setValue(value);
  notifyValueChanged();
}

void QRVPresetCustomMenu::scrollToShow(int entry) {
  const double over = overflow();
  if (over <= 0) return;
  const QRVRect area = listArea();
  const QRVRect r = cellRect(entry);
  const double offset = scroll_ * over;
  if (r.top < area.top) setScrollPosition((offset - (area.top - r.top)) / over);
  else if (r.bottom > area.bottom) setScrollPosition((offset + (r.bottom - area.bottom)) / over);
}

int QRVPresetCustomMenu::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  if (scrollBarRect().contains(where)) {
    const QRVRect track = scrollBarRect(), thumb = thumbRect();
    if (buttons & kQRVControl) {
      // The thumb's centre goes to the pointer.
      const double room = track.getHeight() - thumb.getHeight();
      if (room > 0) setScrollPosition((where.y - track.top - thumb.getHeight() / 2) / room);
    }
    dragging_ = true;
    dragStartY_ = where.y;
    dragStartScroll_ = scroll_;
    return kQRVMouseHandled;
  }
  const int entry = entryAt(where);
  if (entry < 0) {
    report(kOutside);
    return kQRVMouseHandledNoMore;
  }
  selected_ = entry;
  double_ = (buttons & kQRVDoubleClick) != 0;
  invalidPeer();
  report(EntryValue(entry));
  return kQRVMouseHandledNoMore;
}

int QRVPresetCustomMenu::onMouseMoved(QRVPoint where, int buttons) {
  if (dragging_) {
    const double room = scrollBarRect().getHeight() - thumbRect().getHeight();
    const double speed = (buttons & kQRVShift) ? kFineDrag : 1.0;
    if (room > 0) setScrollPosition(dragStartScroll_ + (where.y - dragStartY_) * speed / room);
    return kQRVMouseHandled;
  }
  const int entry = entryAt(where);
  if (entry != hovered_) {
    hovered_ = entry;
    invalidPeer();
  }
  return kQRVMouseHandled;
}

int QRVPresetCustomMenu::onMouseUp(QRVPoint, int) {
  dragging_ = false;
  return kQRVMouseHandled;
}

int QRVPresetCustomMenu::onMouseExited(QRVPoint where, int buttons) {
  hovered_ = -1;
  return QRVBaseControl::onMouseExited(where, buttons);
}

bool QRVPresetCustomMenu::onMouseWheel(QRVPoint, float distance, int buttons) {
  if (!(buttons & kQRVShift)) {
    // A plain wheel scrolls the list as any list does.
    const double over = overflow();
    if (over > 0) setScrollPosition(scroll_ - distance * kWheelRows * kCellHeight / over);
    return true;
  }
  if (entryCount() == 0 || std::abs(distance) <= kWheelThreshold) return true;
  const int from = selected_ < 0 ? (distance > 0 ? entryCount() : -1) : selected_;
  const int to = std::clamp(from + (distance > 0 ? -1 : 1), 0, entryCount() - 1);
  if (to == selected_) return true;
  selected_ = to;
  double_ = false;
  scrollToShow(to);
  invalidPeer();
  report(EntryValue(to));
  return true;
}

std::string QRVPresetColumns::EntryText(int entry, const std::string& name) {
  char number[16];
  std::snprintf(number, sizeof number, entry < 10 ? "0%d. " : "%d. ", entry);
  return number + name.substr(0, qrv::utf8::PrefixBytes(name, kEntryNameMax, name.size()));
}

// ---------------------------------------------------------------- QRVDesignerLogo

QRVDesignerLogo::QRVDesignerLogo(const QRVRect& rect, int tag) : QRVCustomControl(rect, tag, nullptr) {}

QRVRect QRVDesignerLogo::photoRect() const {
  const double left = std::floor((viewRect_.left + viewRect_.right - kPhotoSize) / 2);
  const double bottom = viewRect_.bottom - kPhotoBottomGap;
  return QRVRect{left, bottom - kPhotoSize, left + kPhotoSize, bottom};
}

void QRVDesignerLogo::setPhoto(int imageId) {
  photo_ = imageId;
  invalidPeer();
}

void QRVDesignerLogo::setHidden(bool hidden) {
  hidden_ = hidden;
  invalidPeer();
}

void QRVDesignerLogo::draw(QRVDrawContext* c) {
  if (!c || hidden_ || photo_ <= 0) return;
  if (QRVBitmap* photo = GetSharedBitmap(photo_)) c->drawBitmap(photo, photoRect(), QRVPoint{0, 0}, 1.0f);
}

int QRVDesignerLogo::onMouseDown(QRVPoint where, int buttons) {
  if (hidden_ || !(buttons & kQRVLButton)) return kQRVMouseNotHandled;
  setValue(photo_ > 0 && photoRect().contains(where) ? 1.0 : 0.0);
  notifyValueChanged();
  return kQRVMouseHandledNoMore;
}

// ---------------------------------------------------------------- QRVPresetMenuBottomTextInfo

void QRVPresetMenuBottomTextInfo::draw(QRVDrawContext* c) {
  if (!c) return;
  if (highlighted()) {
    c->setFillColor(kSegmentHover);
    c->drawRect(viewRect_, kQRVDrawFilled);
  }
  c->setFont(Font(SharedFont::Arial12));
  c->setFontColor(link_ ? kLinkText : kFactoryText);
  c->drawString(text_.c_str(), viewRect_, kQRVAlignCenter);
  if (!notice_.empty()) {
    c->setFontColor(kListCutText);
    c->drawString(notice_.c_str(), Inset(viewRect_, 8, 0), kQRVAlignRight);
  }
}

int QRVPresetMenuBottomTextInfo::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  notifyValueChanged();
  return kQRVMouseHandledNoMore;
}

// ---------------------------------------------------------------- PresetBarPresetMenu

PresetBarPresetMenu::PresetBarPresetMenu(PresetBarOverlayOwner& owner, qrv::PresetManager* manager)
    : owner_(owner), manager_(manager) {}

void PresetBarPresetMenu::attach(QRVViewContainer* overlay, double width, double height) {
  if (!overlay || overlay_) return;
  overlay_ = overlay;
  width_ = width;
  height_ = height;
  bankSwitch_ = new QRVPresetMenuGroupSwitch(QRVRect{}, qrv::kTagBrowserBank);
  info_ = new QRVPresetMenuBottomTextInfo(QRVRect{}, qrv::kTagBrowserInfo, nullptr);
  designer_ = new QRVDesignerLogo(QRVRect{}, qrv::kTagBrowserDesigner);
  designer_->setTooltip(kDesignerHint);
  groups_ = new QRVCategoryColumn(QRVRect{}, qrv::kTagBrowserGroups);
  presets_ = new QRVPresetColumns(QRVRect{}, qrv::kTagBrowserPresets);
  for (QRVBaseControl* c : std::initializer_list<QRVBaseControl*>{bankSwitch_, info_, designer_, groups_, presets_}) {
    c->setReportMouseDown(false);
    overlay_->addControl(c);
  }
  layout();
  refresh();
}

void PresetBarPresetMenu::resize(double width, double height) {
  width_ = width;
  height_ = height;
  layout();
}

void PresetBarPresetMenu::layout() {
  if (!overlay_) return;
  const double w = width_, h = height_;
  bankSwitch_->setViewSize(QRVRect{0, 1, w, 29});
  groups_->setViewSize(QRVRect{0, 31, 200, bank_ == qrv::kBankUser ? h - 29 : h - 169});
  presets_->setViewSize(QRVRect{201, 31, w + 1, h - 29});
  designer_->setViewSize(QRVRect{0, h - 169, 200, h - 29});
  info_->setViewSize(QRVRect{0, h - 27, w, h + 1});
  for (QRVBaseControl* c : std::initializer_list<QRVBaseControl*>{bankSwitch_, info_, designer_, groups_, presets_})
    c->invalidPeer();
}

void PresetBarPresetMenu::refresh() {
  if (!overlay_) return;
  if (manager_) {
    const qrv::LibraryPosition p = manager_->position();
    bank_ = std::clamp(static_cast<int>(p.bank), 0, qrv::kBankCount - 1);
    group_ = p.group;
    item_ = p.item;
  }
  bankSwitch_->setValue(bank_ * 0.5);
  bankSwitch_->invalidPeer();
  layout();
  showGroups();
  showPresets();
  showInfo();
  showDesigner();
}

void PresetBarPresetMenu::showGroups() {
  std::vector<std::string> names;
  if (manager_) {
    const qrv::PresetLibrary& library = manager_->library();
    for (int g = 0; g < library.GroupCount(bank_); ++g) names.emplace_back(library.GroupName(bank_, g));
  }
  groups_->setEntries(std::move(names));
  groups_->setUserColours(bank_ == qrv::kBankUser);
  groups_->setSelected(group_);
}

void PresetBarPresetMenu::showPresets() {
  std::vector<std::string> texts;
  if (manager_) {
    const qrv::PresetLibrary& library = manager_->library();
    for (int i = 0; i < library.ItemCount(bank_, group_); ++i)
      if (const qrv::PresetItem* it = library.Item(bank_, group_, i)) texts.push_back(QRVPresetColumns::EntryText(i, it->name));
  }
  presets_->setEntries(std::move(texts));
  presets_->setUserColours(bank_ == qrv::kBankUser);
  presets_->setSelected(item_);
}

std::string PresetBarPresetMenu::infoHint() const {
  if (bank_ != qrv::kBankUser) return kFactoryInfoHint;
  if (!manager_ || manager_->library().userFolder().empty()) return kNoUserFolder;
  const qrv::PresetLibrary& library = manager_->library();
  if (item_ >= 0) {
    const std::filesystem::path path = library.ItemPath(bank_, group_, item_);
    return path.empty() ? std::string(kNoUserFolder) : path.string();
  }
  const std::string_view folder = library.GroupFolder(bank_, group_);
  return folder.empty() ? library.userFolder() : library.userFolder() + "/" + std::string(folder);
}

std::string PresetBarPresetMenu::ListCutNotice(int listed, int found) {
  if (found <= listed) return {};
  return "List cut: " + std::to_string(listed) + " of " + std::to_string(found);
}

void PresetBarPresetMenu::showInfo() {
  const bool user = bank_ == qrv::kBankUser;
  info_->setText(user ? kUserInfo : kFactoryInfo);
  // The lists hold at most 512 presets each; a fuller folder says so rather than losing the rest silently.
  info_->setNotice(user && manager_ ? ListCutNotice(manager_->library().ItemCount(bank_, group_),
                                                   manager_->library().FoundCount(bank_, group_))
                                    : std::string());
  info_->setLink(user);
  info_->setTooltip(infoHint().c_str());
  info_->invalidPeer();
}

void PresetBarPresetMenu::showDesigner() {
  designer_->setHidden(bank_ == qrv::kBankUser);
  const qrv::PresetItem* it = manager_ ? manager_->library().Item(bank_, group_, item_) : nullptr;
  designer_->setPhoto(qrv::DesignerOf(it ? it->factoryIndex : 0).photoImage);
}

void PresetBarPresetMenu::controlEvent(int tag, double value) {
  if (!overlay_) return;
  switch (tag) {
    case qrv::kTagBrowserBank: {
      const int bank = static_cast<int>(std::lround(value * 2));
      if (bank == bank_ || bank < 0 || bank >= qrv::kBankCount) return;
      bank_ = bank;
      group_ = 0;
      item_ = -1;
      if (manager_) manager_->SetBank(bank);  // bank 2 is rescanned
      refresh();
      break;
    }
    case qrv::kTagBrowserGroups: {
      const int group = QRVPresetCustomMenu::EntryOf(value);
      if (group < 0) {
        owner_.closeOverlays();
        return;
      }
      group_ = group;
      item_ = -1;
      if (manager_) manager_->SetGroup(group);
      showPresets();
      showInfo();
      break;
    }
    case qrv::kTagBrowserPresets: {
      const int item = QRVPresetCustomMenu::EntryOf(value);
      if (item < 0) {
        owner_.closeOverlays();
        return;
      }
      const bool closing = presets_->lastPressWasDouble();
      item_ = item;
      if (manager_) {
        manager_->SetBank(bank_);
        manager_->SetGroup(group_);
        manager_->LoadPosition(item);
      }
      showInfo();
      showDesigner();
      owner_.presetChanged();
      if (closing) owner_.closeOverlays();
      break;
    }
    case qrv::kTagBrowserDesigner: {
      const qrv::PresetItem* it = manager_ ? manager_->library().Item(bank_, group_, item_) : nullptr;
      const std::string_view address = qrv::DesignerOf(it ? it->factoryIndex : 0).webAddress;
      if (value >= 0.5 && !address.empty()) qrv::platform::GetShell().Open(std::string(address));
      owner_.closeOverlays();
      break;
    }
    case qrv::kTagBrowserInfo:
      if (bank_ == qrv::kBankUser && manager_) manager_->library().OpenUserFolder();
      break;
    default:
      break;
  }
}

}  // namespace Quarrytone
