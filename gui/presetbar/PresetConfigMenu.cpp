#include "gui/presetbar/PresetConfigMenu.h"

#include <algorithm>
#include <cmath>

#include "gui/engine/EditorLayout.h"
#include "gui/engine/QRVEngineServices.h"
#include "gui/presetbar/BuildInfo.h"
#include "platform/Services.h"
#include "presets/SettingsStore.h"

namespace Quarrytone {
namespace {

using namespace PresetBrowserColors;

constexpr double kBarHeight = layout::kBarHeight;
// Each row: its label right-aligned in the first 130 points, its field 10 points further on.
constexpr double kLabelWidth = 130, kFieldGap = 10;

QRVFont* Font(SharedFont which) { return GetSharedFont(which); }

void DrawBox(QRVDrawContext* c, const QRVRect& r, const char* text, bool on) {
  c->setFillColor(on ? kSegmentSelected : kSegment);
  c->drawRect(r, kQRVDrawFilled);
  c->setFontColor(on ? kSelectedText : kFactoryText);
  c->drawString(text, r, kQRVAlignCenter);
}

}  // namespace

QRVConfigMenuGroupSwitch::QRVConfigMenuGroupSwitch(const QRVRect& rect, int tag)
    : QRVSegmentSwitch(rect, tag, {"Global settings", "Plugin info"}) {}

int QRVConfigMenuExitButton::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  notifyValueChanged();
  return kQRVMouseHandledNoMore;
}

QRVConfigMenuRow::QRVConfigMenuRow(const QRVRect& rect, int tag, std::string label)
    : QRVCustomControl(rect, tag, nullptr), label_(std::move(label)) {
  setReportMouseDown(false);
}

QRVRect QRVConfigMenuRow::labelRect() const {
  return QRVRect{viewRect_.left, viewRect_.top, viewRect_.left + kLabelWidth, viewRect_.bottom};
}

QRVRect QRVConfigMenuRow::fieldRect() const {
  return QRVRect{viewRect_.left + kLabelWidth + kFieldGap, viewRect_.top, viewRect_.right, viewRect_.bottom};
}

void QRVConfigMenuRow::draw(QRVDrawContext* c) {
  if (!c) return;
  c->setFont(Font(SharedFont::Arial12));
  c->setFontColor(kFactoryText);
  c->drawString(label_.c_str(), labelRect(), kQRVAlignRight);
}

QRVConfigMenuKickButton::QRVConfigMenuKickButton(const QRVRect& rect, int tag) : QRVConfigMenuRow(rect, tag, "Manual:") {}

QRVRect QRVConfigMenuKickButton::buttonRect() const {
  const QRVRect f = fieldRect();
  return QRVRect{f.left, f.top + 2, f.left + 90, f.bottom - 2};
}

void QRVConfigMenuKickButton::draw(QRVDrawContext* c) {
  if (!c) return;
  QRVConfigMenuRow::draw(c);
  DrawBox(c, buttonRect(), "Open", mouseInside_);
}

int QRVConfigMenuKickButton::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton) || !buttonRect().contains(where)) return kQRVMouseHandled;
  notifyValueChanged();
  return kQRVMouseHandledNoMore;
}

QRVConfigMenu2waySwitch::QRVConfigMenu2waySwitch(const QRVRect& rect, int tag, std::string label, std::string off,
                                                 std::string on)
    : QRVConfigMenuRow(rect, tag, std::move(label)), off_(std::move(off)), on_(std::move(on)) {}

QRVRect QRVConfigMenu2waySwitch::choiceRect(int choice) const {
  const QRVRect f = fieldRect();
  const double left = f.left + choice * 94;
  return QRVRect{left, f.top + 2, left + 90, f.bottom - 2};
}

void QRVConfigMenu2waySwitch::draw(QRVDrawContext* c) {
  if (!c) return;
  QRVConfigMenuRow::draw(c);
  const int on = value_ >= 0.5 ? 1 : 0;
  DrawBox(c, choiceRect(0), off_.c_str(), on == 0);
  DrawBox(c, choiceRect(1), on_.c_str(), on == 1);
}

int QRVConfigMenu2waySwitch::onMouseDown(QRVPoint where, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  for (int choice = 0; choice < 2; ++choice)
    if (choiceRect(choice).contains(where)) {
      setValue(choice);
      invalidPeer();
      notifyValueChanged();
      return kQRVMouseHandledNoMore;
    }
  return kQRVMouseHandled;
}

QRVConfigMenuNote::QRVConfigMenuNote(const QRVRect& rect, int tag, std::string text)
    : QRVConfigMenuRow(rect, tag, ""), text_(std::move(text)) {}

int QRVConfigMenuNote::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  notifyValueChanged();
  return kQRVMouseHandledNoMore;
}

void QRVConfigMenuNote::draw(QRVDrawContext* c) {
  if (!c) return;
  c->setFont(Font(SharedFont::Arial11));
  c->setFontColor(kFactoryText);
  c->drawString(text_.c_str(), viewRect_, kQRVAlignCenter);  // wider than the field column
}

QRVConfigPluginInfoText::QRVConfigPluginInfoText(const QRVRect& rect, int tag, std::string text)
    : QRVConfigMenuRow(rect, tag, "Plugin's version:"), text_(std::move(text)) {}

void QRVConfigPluginInfoText::draw(QRVDrawContext* c) {
  if (!c) return;
  QRVConfigMenuRow::draw(c);
  c->setFont(Font(SharedFont::Arial11));
  c->setFontColor(kSelectedText);
  c->drawString(text_.c_str(), fieldRect(), kQRVAlignLeft);
}

int QRVConfigPluginInfoText::onMouseDown(QRVPoint, int buttons) {
  if (!(buttons & kQRVLButton)) return kQRVMouseHandled;
  notifyValueChanged();
  return kQRVMouseHandledNoMore;
}

// ---------------------------------------------------------------- PresetBarConfigMenu

std::string PresetBarConfigMenu::VersionLine(std::string_view buildDigits) {
  std::string build = " build:YYMMDDHHMM";
  build.replace(build.find("YYMMDDHHMM"), 10, buildDigits.substr(0, 10));
  return std::string(kPluginVersion) + " (sh." + kShellVersion + ")" + build + "aax" + "." + "x64" + " ";
}

std::string_view PresetBarConfigMenu::BuildDigits() { return kBuildDigits; }

PresetBarConfigMenu::PresetBarConfigMenu(PresetBarOverlayOwner& owner) : owner_(owner) {}

void PresetBarConfigMenu::attach(QRVViewContainer* overlay, double width, double height) {
  if (!overlay || overlay_) return;
  overlay_ = overlay;
  width_ = width;
  height_ = height;
  pageSwitch_ = new QRVConfigMenuGroupSwitch(QRVRect{}, qrv::kTagConfigPage);
  exit_ = new QRVConfigMenuExitButton(QRVRect{}, qrv::kTagConfigToggle, nullptr);
  manual_ = new QRVConfigMenuKickButton(QRVRect{}, qrv::kTagConfigManual);
  hints_ = new QRVConfigMenu2waySwitch(QRVRect{}, qrv::kTagConfigHints);
  version_ = new QRVConfigPluginInfoText(QRVRect{}, qrv::kTagConfigToggle, VersionLine(BuildDigits()));
  hints_->setValue(qrv::settings::ProcessHints());
  for (QRVBaseControl* c : std::initializer_list<QRVBaseControl*>{pageSwitch_, exit_, manual_, hints_, version_}) {
    c->setReportMouseDown(false);
    overlay_->addControl(c);
  }
  // Only where the binding can switch the instance's High quality.
  if (owner_.overlayHost().highQuality() >= 0) {
    highQuality_ = new QRVConfigMenu2waySwitch(QRVRect{}, qrv::kTagConfigHighQuality, "High quality:", "Off", "On");
    highQualityNote_ = new QRVConfigMenuNote(QRVRect{}, qrv::kTagConfigToggle, kHighQualityCost);
    for (QRVBaseControl* c : std::initializer_list<QRVBaseControl*>{highQuality_, highQualityNote_}) {
      c->setReportMouseDown(false);
      overlay_->addControl(c);
    }
    showHighQuality();
  }
  layout();
}

QRVRect PresetBarConfigMenu::overlayRect() const {
  return QRVRect{0, kBarHeight, width_, kBarHeight + (page_ == 1 ? kStripHeight : height_)};
}

void PresetBarConfigMenu::layout() {
  if (!overlay_) return;
  const double w = width_, h = height_, c = std::floor(w / 2 - kRowWidth / 2);
  overlay_->setViewSize(overlayRect());
  pageSwitch_->setViewSize(QRVRect{0, 1, w, 29});
  exit_->setViewSize(QRVRect{0, 31, w, h});
  manual_->setViewSize(QRVRect{c, 51, c + kRowWidth, 79});
  hints_->setViewSize(QRVRect{c, 99, c + kRowWidth, 127});
  version_->setViewSize(QRVRect{c, 147, c + kRowWidth, 175});
  for (QRVBaseControl* ctl : std::initializer_list<QRVBaseControl*>{pageSwitch_, exit_, manual_, hints_, version_})
    ctl->invalidPeer();
  if (highQuality_) {
    highQuality_->setViewSize(QRVRect{c, 195, c + kRowWidth, 223});
    highQualityNote_->setViewSize(QRVRect{c, 223, c + kRowWidth, 241});
    highQuality_->invalidPeer();
    highQualityNote_->invalidPeer();
  }
}

void PresetBarConfigMenu::resize(double width, double height) {
  width_ = width;
  height_ = height;
  layout();
}

void PresetBarConfigMenu::showPage(int page) {
  page_ = page == 1 ? 1 : 0;
  if (pageSwitch_) {
    pageSwitch_->setValue(page_);
    pageSwitch_->invalidPeer();
  }
  layout();
}

void PresetBarConfigMenu::closed() {
  // Reopened, the menu starts on "Global settings" again.
  stayOpen_ = false;
  showPage(0);
}

bool PresetBarConfigMenu::stayOpen() {
  const bool stay = stayOpen_;
  stayOpen_ = false;
  return stay;
}

void PresetBarConfigMenu::showHighQuality() {
  if (!highQuality_) return;
  const int on = owner_.overlayHost().highQuality() > 0 ? 1 : 0;
  if ((highQuality_->getValue() >= 0.5 ? 1 : 0) == on) return;
  highQuality_->setValue(on);
  highQuality_->invalidPeer();
}

void PresetBarConfigMenu::openManual() {
  // The stored path, else the one recorded beside this binary at installation (a system-wide install
  // stores none for its users).
  const std::string path = qrv::settings::ManualToOpen();
  qrv::platform::MessageBox& box = qrv::platform::GetMessageBox();
  // Nothing to hand the shell: it would be asked to open the current folder or nothing at all.
  if (path.empty()) {
    box.Show(std::string(kCouldNotOpen) + "\n" + kNoManualPath, "");
    return;
  }
  // The second line names the path tried, so that a moved or removed manual can be found.
  const int result = qrv::platform::GetShell().Open(path);
  if (result == qrv::platform::kShellNoAssociation)
    box.Show(std::string(kNoReader) + "\n" + path, kNoReaderCaption);
  else if (result <= 32)
    box.Show(std::string(kCouldNotOpen) + "\n" + path, "");
}

void PresetBarConfigMenu::controlEvent(int tag, double value) {
  switch (tag) {
    case qrv::kTagConfigManual:
      openManual();
      break;
    case qrv::kTagConfigHints: {
      const int flag = value >= 0.5 ? 1 : 0;
      if (hints_) {
        hints_->setValue(flag);
        hints_->invalidPeer();
      }
      owner_.overlayHost().setHintsFlag(flag);
      break;
    }
    case qrv::kTagConfigHighQuality:
      owner_.overlayHost().setHighQuality(value >= 0.5);
      showHighQuality();  // what the instance took
      break;
    case qrv::kTagConfigPage:
      stayOpen_ = true;
      owner_.sendNotification(std::lround(value) == 1 ? qrv::kMessageShowAbout : qrv::kMessageHideAbout, 1.0);
      break;
    default:
      break;
  }
}

void PresetBarConfigMenu::parameterNotification(int index, double value) {
  switch (index) {
    case qrv::settings::kSettingHints: {
      const int flag = value > 0.5 ? 1 : 0;
      if (hints_) {
        hints_->setValue(flag);
        hints_->invalidPeer();
      }
      // The window follows the process-wide flag by itself; only a differing value is set (and stored).
      if (flag != qrv::settings::ProcessHints()) owner_.overlayHost().setHintsFlag(flag);
      break;
    }
    case qrv::kMessageShowAbout:
      showPage(1);
      break;
    case qrv::kMessageHideAbout:
      showPage(0);
      break;
    default:
      break;
  }
}

}  // namespace Quarrytone
