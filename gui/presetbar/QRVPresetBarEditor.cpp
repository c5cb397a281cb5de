#include "gui/presetbar/QRVPresetBarEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gui/presetbar/PresetBrowser.h"
#include "gui/presetbar/PresetConfigMenu.h"
#include "platform/Services.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"

namespace Quarrytone {
namespace {

constexpr const char* kZoomHint =
    "Scroll this percentage up or down to change the GUIs zoom factor.\nDouble click to reset its state to the "
    "default size (100%).";
constexpr const char* kSaveHint = "Click to save current setup as a *.qrv preset file.";
constexpr const char* kNameHint =
    "Click to see the pop-up menu of all the presets in the currently loaded bank.\nClick 'E' icon to edit the "
    "current preset name.";
constexpr const char* kAssignHint =
    "Click to assign the current preset to a favorite slot.\nNote: Assignment is completed by clicking the "
    "corresponding favorite slot button.\nShift-clicking a favorite slot removes the preset assignment from that "
    "slot.";
constexpr const char* kNudgeHint = "Click the left/right arrow to switch the prev/next preset from the list.";
constexpr const char* kUndoHint = "Click the left/right arrow to undo/redo action.";
constexpr const char* kCopyHint = "Click to copy the current preset to clipboard.";
constexpr const char* kPasteHint = "Click to paste the preset from clipboard.";
constexpr const char* kABHint = "Click to switch between A and B setups.";
constexpr const char* kABCopyHint = "Click to copy settings between A and B setups.";
constexpr const char* kConfigHint = "Click to open configuration menu.";
constexpr const char* kCornerHint = "Drag to change the GUIs zoom factor";

constexpr const char* kFavouriteTail =
    "\nClick to recall the assigned favorite preset.\nNote: When assignment mode is active,\nclicking assigns the "
    "current preset to this favorite slot,\nShift-click removes the preset assignment from the slot";
constexpr const char* kFavouriteTailFirstBuild =
    "\nClick to recall the assigned favorite preset.\nNote: When assignment mode is active,\nclicking assigns the "
    "current preset to this slot,\nShift-click removes the preset assignment from the slot";
constexpr const char* kUserDefaultTail =
    "\nClick to recall the assigned favorite user's default preset.\nNote: In assignment mode,\nclick assigns the "
    "current preset,\nShift-click resets to the factory initial preset.";
constexpr const char* kNoPresetAssigned = "No preset assigned.";
constexpr const char* kPresetNamePrefix = "Preset name: ";

// A Shift-click on a favourite reports exactly one half.
constexpr double kShiftClick = 0.5;

// The tags before which an open zoom menu closes.
bool ClosesZoomMenu(int tag) {
  switch (tag) {
    case qrv::kTagBarName: case qrv::kTagBarNudge: case qrv::kTagBarSave: case qrv::kTagBarCopy:
    case qrv::kTagBarPaste: case qrv::kTagConfigToggle: case qrv::kTagBarUndoRedo: case qrv::kTagBarAB:
    case qrv::kTagBarABCopy: case qrv::kTagBarUserDefault: case qrv::kTagBarAssign:
      return true;
    default:
      return tag >= qrv::kTagFavourite1 && tag <= qrv::kTagFavouriteRangeEnd;
  }
}

int Percent(double factor) { return static_cast<int>(std::lround(factor * 100.0)); }

}  // namespace

QRVPresetBarEditor::QRVPresetBarEditor(QRVPresetBarHost* host, qrv::PresetManager* manager)
    : host_(host), manager_(manager) {}

QRVPresetBarEditor::~QRVPresetBarEditor() {
  // The dialog's containers first: it removes them itself.
  saveDialog_.reset();
  if (zoom_) closeZoomMenu();
  // Overlays outside the window are ours; those inside (and the bar) go with the window.
  for (QRVViewContainer* c : {browserOverlay_, configOverlay_, cornerOverlay_, bar_})
    if (c && host_ && !host_->containsOverlay(c)) delete c;
}

std::string QRVPresetBarEditor::LabelText(int item, const std::string& name, bool modified) {
  char prefix[16] = "CP:";
  if (item >= 0) std::snprintf(prefix, sizeof prefix, item < 10 ? "0%d: " : "%d: ", item);
  std::string text = prefix;
  text += name.empty() ? "current" : name;
  if (modified) text += " *";
  return text;
}

QRVViewContainer* QRVPresetBarEditor::makeOverlay(QRVColor color) {
  QRVViewContainer* c = host_->createOverlayContainer(QRVRect{0, kBarHeight, width_, height_ + kBarHeight});
  if (c) c->setBackgroundColor(color);
  return c;
}

void QRVPresetBarEditor::build(double width, double height) {
  if (built_ || !host_) return;
  built_ = true;
  width_ = width;
  height_ = height;
  bar_ = host_->createOverlayContainer(QRVRect{0, 0, width, kBarHeight});
  if (!bar_) return;
  bar_->setBackgroundColor(kBarColor);
  favourites_ = host_->engine().createViewContainer(layout::bar::FavouritesRow(0));
  if (favourites_) favourites_->setBackgroundColor(kBarColor);

  zoom_ = new PresetBarScaleMenuButton(layout::bar::kZoom, qrv::kTagBarZoom);
  nudge_ = new PresetBarNudgeControl(layout::bar::kNudge, qrv::kTagBarNudge);
  name_ = new PresetBarNameControl(layout::bar::kName, qrv::kTagBarName);
  configButton_ = new PresetBarConfigMenuButton(layout::bar::Config(width), qrv::kTagConfigToggle);
  save_ = new PresetBarLabelKickButton(layout::bar::kSave, qrv::kTagBarSave, "Save");
  copy_ = new PresetBarLabelButton(layout::bar::kCopy, qrv::kTagBarCopy, "Copy");
  paste_ = new PresetBarLabelButton(layout::bar::kPaste, qrv::kTagBarPaste, "Paste");
  ab_ = new ABCompPresetBarControl(layout::bar::kAB, qrv::kTagBarAB);
  abCopy_ = new ABCopyPresetBarControl(layout::bar::kABCopy, qrv::kTagBarABCopy);
  undoRedo_ = new PresetBarUndoRedoControl(layout::bar::kUndoRedo, qrv::kTagBarUndoRedo);
  struct Hinted {
    QRVBaseControl* control;
    const char* hint;
  };
  for (const Hinted& h : {Hinted{zoom_, kZoomHint}, Hinted{nudge_, kNudgeHint}, Hinted{name_, kNameHint},
                          Hinted{configButton_, kConfigHint}, Hinted{save_, kSaveHint}, Hinted{copy_, kCopyHint},
                          Hinted{paste_, kPasteHint}, Hinted{ab_, kABHint}, Hinted{abCopy_, kABCopyHint},
                          Hinted{undoRedo_, kUndoHint}}) {
    h.control->setTooltip(h.hint);
    bar_->addControl(h.control);
  }
  zoom_->setEditorSize(width, height);

  auto onOff = [&](const QRVRect& r, int tag, const char* label, int kind) {
    auto* b = new PresetBarLabelOnOffButton(r, tag, label, kind);
    b->setBackColor(kBarColor);
    b->setFullWidthHover();
    if (tag == qrv::kTagBarAssign) {
      b->onColor_.set(kAssignOnColor);
      b->autoOffDelay_ = kAssignAutoOffTicks;
    } else {
      b->momentary_ = true;
      b->shiftHalves_ = true;
    }
    if (favourites_) favourites_->addControl(b);
    return b;
  };
  userDefault_ = onOff(layout::bar::kUserDefault, qrv::kTagBarUserDefault, "D", PresetBarLabelOnOffButton::kIconStarOutline);
  static const char* kSlotLabels[4] = {"1", "2", "3", "4"};
  for (int i = 0; i < 4; ++i)
    favouriteButtons_[i] = onOff(layout::bar::Favourite(i), qrv::kTagFavourite1 + i, kSlotLabels[i],
                                 PresetBarLabelOnOffButton::kIconStarFilled);
  assign_ = onOff(layout::bar::kAssign, qrv::kTagBarAssign, "Assign", PresetBarLabelOnOffButton::kIconTarget);
  assign_->setTooltip(kAssignHint);
  if (favourites_) bar_->addContainer(favourites_);

  browserOverlay_ = makeOverlay(kBrowserColor);
  configOverlay_ = makeOverlay(kConfigColor);
  PresetBarOverlayOwner& owner = *this;
  if (!browser_) browser_ = std::make_unique<PresetBarPresetMenu>(owner, manager_);
  if (!config_) config_ = std::make_unique<PresetBarConfigMenu>(owner);
  if (browserOverlay_) browser_->attach(browserOverlay_, width, height);
  if (configOverlay_) config_->attach(configOverlay_, width, height);
  cornerOverlay_ = makeOverlay(kCornerColor);
  corner_ = new PresetBarScaleCornerControl(QRVRect{width - kCornerSize, height - kCornerSize, width, height}, qrv::kTagBarZoom);
  corner_->setTooltip(kCornerHint);
  if (cornerOverlay_) cornerOverlay_->addControl(corner_);
  layout();
  host_->addOverlay(bar_);

  refreshFavourites(true);
  refreshLabel();
  refreshBrowser();
  refreshAB();
  shownZoom_ = host_->zoom();
  if (manager_) {
    const double z = manager_->ZoomFactor();
    if (Percent(z) != Percent(host_->zoom())) host_->setZoom(z);
    shownZoom_ = z;
  }
  relabelZoom();
}

void QRVPresetBarEditor::layout() {
  const double w = width_, h = height_;
  if (bar_) bar_->setViewSize(QRVRect{0, 0, w, kBarHeight});
  if (favourites_) favourites_->setViewSize(layout::bar::FavouritesRow(w));
  if (configButton_) configButton_->setViewSize(layout::bar::Config(w));
  for (QRVViewContainer* c : {browserOverlay_, configOverlay_, cornerOverlay_})
    if (c) c->setViewSize(QRVRect{0, kBarHeight, w, h + kBarHeight});
  // Only the corner itself takes the mouse while the corner overlay shows.
  if (cornerOverlay_) cornerOverlay_->setMouseableArea(QRVRect{w - kCornerSize, h - kCornerSize, w, h});
  if (corner_) corner_->setViewSize(QRVRect{w - kCornerSize, h - kCornerSize, w, h});
  if (zoom_) zoom_->setEditorSize(w, h);
}

void QRVPresetBarEditor::resize(double width, double height) {
  width_ = width;
  height_ = height;
  layout();
  if (saveDialog_) saveDialog_->resize(width, height);
  if (browser_) browser_->resize(width, height);
  if (config_) config_->resize(width, height);
}

QRVRect QRVPresetBarEditor::cornerRect() const {
  return QRVRect{width_ - kCornerSize, height_ - kCornerSize + kBarHeight, width_, height_ + kBarHeight};
}

// ---------------------------------------------------------------- overlays

bool QRVPresetBarEditor::showOverlay(QRVViewContainer* overlay) {
  return overlay && (host_->containsOverlay(overlay) || host_->addOverlay(overlay));
}

bool QRVPresetBarEditor::hideOverlay(QRVViewContainer* overlay) {
  return overlay && host_->containsOverlay(overlay) && host_->removeOverlay(overlay);
}

void QRVPresetBarEditor::toggleBrowser() {
  if (browserOpen_) {
    closeBrowser();
    return;
  }
  host_->notifyEditor(qrv::kMessageBrowserOpening, 1.0);
  showOverlay(browserOverlay_);
  browserOpen_ = true;
  if (name_) name_->setValue(1.0);
  if (browser_) browser_->opened();
  refreshBrowser();
}

void QRVPresetBarEditor::closeBrowser() {
  if (!browserOpen_) return;
  hideOverlay(browserOverlay_);
  browserOpen_ = false;
  if (name_) {
    name_->setValue(0.0);
    name_->invalidPeer();
  }
  if (browser_) browser_->closed();
  host_->notifyEditor(qrv::kMessageBrowserClosed, 0.0);
}

void QRVPresetBarEditor::toggleConfig() {
  if (configOpen_) {
    closeConfig();
    return;
  }
  closeBrowser();
  host_->notifyEditor(qrv::kMessageConfigOpening, 1.0);
  showOverlay(configOverlay_);
  configOpen_ = true;
  if (configButton_) {
    configButton_->setValue(1.0);
    configButton_->invalidPeer();
  }
  // The hints switch shows the process-wide flag.
  if (config_) {
    config_->parameterNotification(qrv::kTagConfigHints, qrv::settings::ProcessHints());
    config_->opened();
  }
}

void QRVPresetBarEditor::closeConfig() {
  if (!configOpen_) return;
  hideOverlay(configOverlay_);
  configOpen_ = false;
  if (configButton_) {
    configButton_->setValue(0.0);
    configButton_->invalidPeer();
  }
  if (config_) config_->closed();
  host_->notifyEditor(qrv::kMessageHideAbout, 0.0);
  host_->notifyEditor(qrv::kMessageConfigClosed, 0.0);
}

void QRVPresetBarEditor::closeOverlays() {
  closeBrowser();
  closeConfig();
}

void QRVPresetBarEditor::sendNotification(int index, double value) {
  // The product editor first (it shows or hides its about box), then back here as the host editor
  // would hand it on.
  host_->notifyEditor(index, value);
  parameterNotification(index, value);
}

void QRVPresetBarEditor::closeZoomMenu() {
  PresetBarScaleOptionMenuHandler* handler = zoom_ ? zoom_->getMenuHandler() : nullptr;
  if (!handler || !handler->isOpen()) return;
  // The list's own close would apply a highlighted entry; this only closes.
  handler->QRVCustomizableOptionMenuPackageHandler::closePopup();
  zoom_->setValue(0.0);
  zoom_->invalidPeer();
}

// ---------------------------------------------------------------- control events

void QRVPresetBarEditor::controlEvent(int tag, double value) {
  if (!built_) return;
  // Only four favourite slots exist; the other tags of that range mean nothing.
  if (tag > qrv::kTagFavourite4 && tag <= qrv::kTagFavouriteRangeEnd) return;
  if (tag == qrv::kTagSaveDialogName) return;  // the dialog's own field
  const bool assigning = assignMode();
  if (ClosesZoomMenu(tag)) closeZoomMenu();

  switch (tag) {
    case qrv::kTagBarName:
      nameEvent();
      break;
    case qrv::kTagBarNudge:
      if (manager_) value > 0.5 ? manager_->Next() : manager_->Previous();
      refreshLabel();
      refreshBrowser();
      break;
    case qrv::kTagBarSave:
      openSave();
      host_->refresh();
      break;
    case qrv::kTagBarCopy:
      if (manager_) manager_->CopyToClipboard();
      break;
    case qrv::kTagBarPaste:
      if (manager_) manager_->PasteFromClipboard();
      refreshLabel();
      break;
    case qrv::kTagConfigManual:
      if (config_) config_->controlEvent(tag, value);
      host_->refresh();
      break;
    case qrv::kTagConfigHints:
    case qrv::kTagConfigHighQuality:
    case qrv::kTagConfigPage:
      if (config_) config_->controlEvent(tag, value);
      break;
    case qrv::kTagBarZoom:
      // A menu choice, a wheel turn or a reset on the percentage; the corner drag comes here too.
      applyZoom(dragging_ ? corner_->getZoomFactor() : zoom_->getZoomFactor(), !dragging_);
      break;
    case qrv::kTagConfigToggle:
      toggleConfig();
      break;
    case qrv::kTagBarUndoRedo:
      if (manager_) value > 0.5 ? manager_->Redo() : manager_->Undo();
      refreshLabel();
      refreshAB();
      break;
    case qrv::kTagBarAB:
      if (manager_) manager_->SelectSlot(value >= 0.5 ? qrv::kSlotB : qrv::kSlotA);
      refreshLabel();
      refreshAB();
      refreshBrowser();
      break;
    case qrv::kTagBarABCopy:
      if (manager_) manager_->CopySlot();
      refreshAB();
      break;
    case qrv::kTagCloseOverlay:
      closeOverlays();
      break;
    case qrv::kTagBarUserDefault:
      userDefaultEvent(value, assigning);
      break;
    case qrv::kTagBarAssign:
      return;  // the button's own state is assign mode
    default:
      if (tag >= qrv::kTagFavourite1 && tag <= qrv::kTagFavourite4) {
        favouriteEvent(tag - qrv::kTagFavourite1, value, assigning);
      } else if (qrv::IsBrowserTag(tag)) {
        if (browser_) browser_->controlEvent(tag, value);
        if (tag == qrv::kTagBrowserInfo) host_->refresh();
      }
      break;
  }
  // Assign mode lasts for exactly one further event.
  if (assign_ && assign_->getValue() != 0.0) {
    assign_->setValue(0.0);
    assign_->invalidPeer();
  }
  if (tag == qrv::kTagBarUserDefault || (tag >= qrv::kTagFavourite1 && tag <= qrv::kTagFavourite4)) refreshFavourites();
}

void QRVPresetBarEditor::nameEvent() {
  closeConfig();
  const char* edited = nullptr;
  if (name_ && name_->takeEditedName(edited)) {
    // An emptied name is no name: the old one stays and nothing else happens.
    if (edited && manager_) manager_->RenameCurrent(edited);
    refreshLabel();
    return;
  }
  host_->refresh();
  toggleBrowser();
}

void QRVPresetBarEditor::favouriteEvent(int slot, double value, bool assigning) {
  if (!manager_) return;
  if (!assigning) {
    manager_->RecallFavorite(slot);
  } else if (value == kShiftClick) {
    manager_->RemoveFavorite(slot);
  } else {
    manager_->AssignFavorite(slot);
  }
  refreshLabel();
}

void QRVPresetBarEditor::userDefaultEvent(double value, bool assigning) {
  if (!manager_) return;
  if (!assigning)
    manager_->RecallUserDefault();
  else if (value == kShiftClick)
    manager_->RemoveFavorite(qrv::settings::kFavoriteUserDefault);
  else
    manager_->AssignFavorite(qrv::settings::kFavoriteUserDefault);
  refreshLabel();
}

// ---------------------------------------------------------------- saving

void QRVPresetBarEditor::setSaveDialog(std::unique_ptr<PresetSaveDialog> dialog) {
  if (saveDialog_ && saveDialog_->isOpen()) saveDialog_->cancel();
  saveDialog_ = std::move(dialog);
}

PresetSaveDialog* QRVPresetBarEditor::saveDialog() {
  if (!saveDialog_ && host_) saveDialog_ = std::make_unique<PresetBarSaveDialog>(*host_, width_, height_);
  return saveDialog_.get();
}

void QRVPresetBarEditor::openSave() {
  if (!manager_) return;
  PresetSaveDialog* dialog = saveDialog();
  if (!dialog || dialog->isOpen()) return;
  // Nothing else covers the panel while the dialog asks.
  closeBrowser();
  closeConfig();
  PresetSaveRequest request;
  request.title = "Save preset";
  request.folder = manager_->library().userFolder();
  const qrv::PresetLibrary& library = manager_->library();
  // Group 0 is "All"; the others are the user folder's sub-folders.
  for (int g = 1; g < library.GroupCount(qrv::kBankUser); ++g)
    if (const std::string_view group = library.GroupFolder(qrv::kBankUser, g); !group.empty())
      request.groups.emplace_back(group);
  request.defaultName = manager_->DefaultSaveFileName();
  request.typeDescription = "QRV Preset";
  request.extension = "qrv";
  dialog->open(request, [this](std::optional<std::filesystem::path> path) {
    if (path) saveChosen(*path);
  });
}

void QRVPresetBarEditor::saveChosen(const std::filesystem::path& path) {
  if (!manager_) return;
  if (const qrv::PresetSaveResult saved = manager_->SavePresetFile(path); !saved) {
    // The first line as it always was; the second says what the user can do something about.
    qrv::platform::GetMessageBox().Show(std::string(kCouldNotSave) + "\n" + SaveFailureReason(saved, path),
                                        path.string());
    return;
  }
  refreshLabel();
  refreshBrowser();
  host_->refresh();
}

// ---------------------------------------------------------------- zoom

void QRVPresetBarEditor::applyZoom(double factor, bool store) {
  const double z = PresetBarScaleMenuButton::CorrectZoom(factor);
  shownZoom_ = z;
  host_->setZoom(z);
  if (manager_) manager_->SetZoom(z, store);
  relabelZoom();
}

void QRVPresetBarEditor::followManagerZoom() {
  if (!manager_ || dragging_) return;
  const double z = manager_->ZoomFactor();
  // Whole percent: the manager keeps no finer zoom than that.
  if (Percent(z) == Percent(shownZoom_)) return;
  shownZoom_ = z;
  host_->setZoom(z);
  relabelZoom();
}

void QRVPresetBarEditor::relabelZoom() {
  for (PresetBarScaleMenuButton* b : {static_cast<PresetBarScaleMenuButton*>(zoom_),
                                      static_cast<PresetBarScaleMenuButton*>(corner_)})
    if (b) {
      b->setZoomFactor(shownZoom_);
      b->invalidPeer();
    }
}

// ---------------------------------------------------------------- labels

void QRVPresetBarEditor::refreshLabel() {
  if (!name_) return;
  if (!manager_) {
    name_->setName(LabelText(0, "", false).c_str());
  } else {
    const qrv::PresetRecord& r = manager_->current();
    name_->setName(LabelText(manager_->position().item, std::string(r.Name()), manager_->modified()).c_str());
    name_->setModified(manager_->modified());
  }
  name_->invalidPeer();
  if (undoRedo_) undoRedo_->invalidPeer();
}

void QRVPresetBarEditor::refreshAB() {
  if (!ab_ || !abCopy_) return;
  const bool b = manager_ && manager_->ActiveSlot() == qrv::kSlotB;
  ab_->setValue(b ? 1.0 : 0.0);
  // The copy goes from the active slot to the other.
  abCopy_->direction_ = !b;
  ab_->invalidPeer();
  abCopy_->invalidPeer();
}

void QRVPresetBarEditor::refreshBrowser() {
  if (browser_) browser_->refresh();
}

void QRVPresetBarEditor::refreshFavourites(bool firstBuild) {
  for (int i = 0; i < 4; ++i) {
    PresetBarLabelOnOffButton* b = favouriteButtons_[i];
    if (!b) continue;
    const bool exists = manager_ && manager_->FavoriteExists(i);
    b->overlayEnabled_ = !exists;
    if (exists) {
      const std::string title = kPresetNamePrefix + manager_->FavoriteName(i);
      b->setHint(title.c_str());
      b->setTooltip((title + (firstBuild ? kFavouriteTailFirstBuild : kFavouriteTail)).c_str());
    } else {
      b->setHint(kNoPresetAssigned);
      b->setTooltip(kFavouriteTail + 1);
    }
    b->invalidPeer();
  }
  if (!userDefault_) return;
  if (!manager_) {
    userDefault_->overlayEnabled_ = true;
    userDefault_->setHint(kNoPresetAssigned);
    userDefault_->setTooltip(kUserDefaultTail + 1);
  } else {
    const bool exists = manager_->FavoriteExists(qrv::settings::kFavoriteUserDefault);
    std::string name = exists ? manager_->FavoriteName(qrv::settings::kFavoriteUserDefault) : std::string();
    const std::string title = kPresetNamePrefix + (name.empty() ? std::string("Default") : name);
    userDefault_->overlayEnabled_ = !exists;
    userDefault_->setHint(title.c_str());
    userDefault_->setTooltip((title + kUserDefaultTail).c_str());
  }
  userDefault_->invalidPeer();
}

// ---------------------------------------------------------------- notifications

void QRVPresetBarEditor::parameterNotification(int index, double value) {
  if (!built_ || handlingConfigMessage_) return;
  if (index >= 0 && index < static_cast<int>(qrv::kPresetValueCount)) {
    // A turned knob ends assign mode and may set or clear the modified mark.
    if (assign_ && assign_->getValue() != 0.0) {
      assign_->setValue(0.0);
      assign_->invalidPeer();
    }
    refreshLabel();
    return;
  }
  switch (index) {
    case qrv::kMessageAcceptReference:
      if (manager_) manager_->AcceptCurrentAsReference();
      refreshLabel();
      break;
    case qrv::kTagConfigHints:
      if (config_) config_->parameterNotification(index, value);
      break;
    case qrv::kMessageZoom:
      followManagerZoom();
      break;
    case qrv::kMessageRefreshAll:
      refreshLabel();
      refreshBrowser();
      refreshAB();
      followManagerZoom();
      relabelZoom();
      break;
    case qrv::kMessageShowAbout: {
      handlingConfigMessage_ = true;
      if (config_) config_->parameterNotification(index, value);
      // Back on top of whatever else came since.
      if (configOpen_) {
        hideOverlay(configOverlay_);
        showOverlay(configOverlay_);
      } else {
        toggleConfig();
      }
      handlingConfigMessage_ = false;
      break;
    }
    case qrv::kMessageHideAbout: {
      handlingConfigMessage_ = true;
      if (config_) config_->parameterNotification(index, value);
      if (configOpen_ && !(config_ && config_->stayOpen())) closeConfig();
      handlingConfigMessage_ = false;
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------- idle

void QRVPresetBarEditor::idleTick() {
  if (!built_) return;
  pointer_ = host_->windowMousePosition();
  buttons_ = host_->mouseButtons();
  followManagerZoom();

  for (PresetBarBasicControl* c :
       {static_cast<PresetBarBasicControl*>(zoom_), static_cast<PresetBarBasicControl*>(nudge_),
        static_cast<PresetBarBasicControl*>(name_), static_cast<PresetBarBasicControl*>(configButton_),
        static_cast<PresetBarBasicControl*>(save_), static_cast<PresetBarBasicControl*>(copy_),
        static_cast<PresetBarBasicControl*>(paste_), static_cast<PresetBarBasicControl*>(ab_),
        static_cast<PresetBarBasicControl*>(abCopy_), static_cast<PresetBarBasicControl*>(undoRedo_),
        static_cast<PresetBarBasicControl*>(userDefault_), static_cast<PresetBarBasicControl*>(favouriteButtons_[0]),
        static_cast<PresetBarBasicControl*>(favouriteButtons_[1]),
        static_cast<PresetBarBasicControl*>(favouriteButtons_[2]),
        static_cast<PresetBarBasicControl*>(favouriteButtons_[3]), static_cast<PresetBarBasicControl*>(assign_),
        static_cast<PresetBarBasicControl*>(corner_)})
    if (c) c->onIdleTick();
  if (browserOpen_ && browser_) browser_->idleTick();
  if (configOpen_ && config_) config_->idleTick();
  if (saveDialog_) saveDialog_->idle();

  // Another instance may have assigned a favourite: the buttons are read again when the pointer
  // comes over them, not on every tick (each read is a file read).
  if (favourites_) {
    const QRVRect f = favourites_->getViewSize();
    const bool over = f.contains(pointer_);
    if (over && !overFavourites_) refreshFavourites();
    overFavourites_ = over;
  }
  cornerIdle(pointer_, buttons_);
}

void QRVPresetBarEditor::cornerIdle(QRVPoint pointer, int buttons) {
  const double ppp = host_->pixelsPerPoint();
  const QRVPoint pixels{pointer.x * ppp, pointer.y * ppp};
  if (!dragging_) {
    const bool dialogOpen = saveDialog_ && saveDialog_->isOpen();
    if (cornerRect().contains(pointer) && !browserOpen_ && !configOpen_ && !dialogOpen) {
      if (!cornerShown_) cornerShown_ = showOverlay(cornerOverlay_);
      if (cornerShown_ && (buttons & kQRVLButton) && pixels.x > 0 && pixels.y > 0) {
        dragging_ = true;
        dragStartZoom_ = shownZoom_;
        dragStart_ = pixels;
      }
    } else if (cornerShown_) {
      hideOverlay(cornerOverlay_);
      cornerShown_ = false;
    }
    return;
  }
  if (!(buttons & kQRVLButton)) {
    dragging_ = false;
    // One write of the settings store for the whole drag.
    if (manager_) manager_->SetZoom(shownZoom_, true);
    return;
  }
  const double rx = pixels.x / dragStart_.x, ry = pixels.y / dragStart_.y;
  double r = std::abs(ry - 1.0) >= std::abs(rx - 1.0) ? ry : rx;
  r = r > 1.0 ? 1.0 + (r - 1.0) * 1.02 : 1.0 - (1.0 - r) * 0.9;
  const double z = PresetBarScaleMenuButton::CorrectZoom(r * dragStartZoom_);
  if (Percent(z) == Percent(shownZoom_) && z == shownZoom_) return;
  corner_->setZoomFactor(z);
  controlEvent(qrv::kTagBarZoom, z);
}

QRVPresetBarFactory PresetBarEditorFactory() {
  return [](const QRVPresetBarContext& context) -> std::unique_ptr<QRVPresetBar> {
    return std::make_unique<QRVPresetBarEditor>(context.host, static_cast<qrv::PresetManager*>(context.presetManager));
  };
}

}  // namespace Quarrytone
