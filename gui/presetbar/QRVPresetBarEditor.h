// The preset bar: the strip of preset controls across the top 78 points of the editor window, its
// favourites, and the overlays over the panel area (preset browser, configuration, zoom corner, save
// dialog). It turns every control event into an action of the instance's PresetManager and keeps
// the labels in step with it. The window (QRVVSTGUIEditorWrapperV4_PresetBar) builds and owns it
// through the factory below and calls it on the host's GUI thread only.
#pragma once

#include <memory>
#include <string>

#include "gui/engine/EditorPalette.h"
#include "gui/engine/EditorLayout.h"
#include "gui/editor/QRVPresetBarHost.h"
#include "gui/presetbar/PresetBarControls.h"
#include "gui/presetbar/PresetBarOverlay.h"
#include "gui/presetbar/PresetSaveDialog.h"
#include "presets/IndexTable.h"

namespace qrv {
class PresetManager;
}

namespace Quarrytone {

class QRVPresetBarEditor final : public QRVPresetBar, private PresetBarOverlayOwner {
 public:
  static constexpr double kBarHeight = layout::kBarHeight;
  static constexpr double kFavouritesWidth = layout::bar::kFavouritesWidth;
  static constexpr QRVColor kBarColor = palette::kBar;
  static constexpr QRVColor kBrowserColor = palette::kBrowserOverlay;
  static constexpr QRVColor kConfigColor = palette::kConfigOverlay;
  static constexpr QRVColor kCornerColor = palette::kCornerOverlay;
  static constexpr QRVColor kAssignOnColor = palette::kAssignOn;
  static constexpr int kAssignAutoOffTicks = 333;
  static constexpr double kCornerSize = layout::bar::kCornerSize;
  static constexpr const char* kCouldNotSave = "Could not save preset file";

  // manager may be null: the controls show, preset actions do nothing.
  QRVPresetBarEditor(QRVPresetBarHost* host, qrv::PresetManager* manager);
  ~QRVPresetBarEditor() override;

  void build(double width, double height) override;
  void resize(double width, double height) override;
  void controlEvent(int tag, double value) override;
  void parameterNotification(int index, double value) override;
  void idleTick() override;

  // The name control's text: "CP:" for item -1, "0%d: " below 10, "%d: " from 10; the name, or
  // "current" without one; " *" when modified.
  static std::string LabelText(int item, const std::string& name, bool modified);

  // Replaces the save dialog (tests); the default is the editor's own overlay dialog.
  void setSaveDialog(std::unique_ptr<PresetSaveDialog> dialog);
  PresetSaveDialog* saveDialog();
  // The overlays' content; the default is the preset browser and the configuration menu. Set before
  // build.
  void setBrowserContent(std::unique_ptr<PresetBarOverlayContent> content) { browser_ = std::move(content); }
  void setConfigContent(std::unique_ptr<PresetBarOverlayContent> content) { config_ = std::move(content); }
  PresetBarOverlayContent* browserContent() const { return browser_.get(); }
  PresetBarOverlayContent* configContent() const { return config_.get(); }

  // ---- state, for the window's users and tests
  bool browserOpen() const { return browserOpen_; }
  bool configOpen() const { return configOpen_; }
  bool cornerShown() const { return cornerShown_; }
  bool zoomDragging() const { return dragging_; }
  double shownZoom() const { return shownZoom_; }
  bool assignMode() const { return assign_ && assign_->getValue() >= 0.5; }
  QRVViewContainer* barContainer() const { return bar_; }
  QRVViewContainer* favouritesContainer() const { return favourites_; }
  QRVViewContainer* browserContainer() const { return browserOverlay_; }
  QRVViewContainer* configContainer() const { return configOverlay_; }
  QRVViewContainer* cornerContainer() const { return cornerOverlay_; }
  PresetBarScaleMenuButton* zoomButton() const { return zoom_; }
  PresetBarNudgeControl* nudge() const { return nudge_; }
  PresetBarNameControl* nameControl() const { return name_; }
  PresetBarConfigMenuButton* configButton() const { return configButton_; }
  PresetBarLabelKickButton* saveButton() const { return save_; }
  PresetBarLabelButton* copyButton() const { return copy_; }
  PresetBarLabelButton* pasteButton() const { return paste_; }
  ABCompPresetBarControl* abSwitch() const { return ab_; }
  ABCopyPresetBarControl* abCopy() const { return abCopy_; }
  PresetBarUndoRedoControl* undoRedo() const { return undoRedo_; }
  PresetBarLabelOnOffButton* userDefault() const { return userDefault_; }
  // Slots 0..3.
  PresetBarLabelOnOffButton* favourite(int slot) const {
    return slot >= 0 && slot < 4 ? favouriteButtons_[slot] : nullptr;
  }
  PresetBarLabelOnOffButton* assignButton() const { return assign_; }
  PresetBarScaleCornerControl* corner() const { return corner_; }
  // The corner's rectangle in window coordinates.
  QRVRect cornerRect() const;

 private:
  // ---- PresetBarOverlayOwner
  QRVPresetBarHost& overlayHost() override { return *host_; }
  void closeOverlays() override;
  void presetChanged() override { refreshLabel(); }
  void sendNotification(int index, double value) override;

  void layout();
  void closeZoomMenu();
  void nameEvent();
  void toggleBrowser();
  void toggleConfig();
  void closeBrowser();
  void closeConfig();
  void openSave();
  void saveChosen(const std::filesystem::path& path);
  void favouriteEvent(int slot, double value, bool assigning);
  void userDefaultEvent(double value, bool assigning);
  // store false while a corner drag runs: the settings store is written once, when it ends.
  void applyZoom(double factor, bool store);
  // The manager's zoom, when it differs in whole percent from the zoom shown.
  void followManagerZoom();
  void relabelZoom();
  void refreshLabel();
  void refreshAB();
  void refreshFavourites(bool firstBuild = false);
  void refreshBrowser();
  void cornerIdle(QRVPoint pointer, int buttons);
  bool showOverlay(QRVViewContainer* overlay);
  bool hideOverlay(QRVViewContainer* overlay);
  QRVViewContainer* makeOverlay(QRVColor color);

  QRVPresetBarHost* host_;
  qrv::PresetManager* manager_;
  double width_ = layout::kPanelWidth, height_ = layout::kPanelHeight;
  bool built_ = false;

  QRVViewContainer* bar_ = nullptr;
  QRVViewContainer* favourites_ = nullptr;
  QRVViewContainer* browserOverlay_ = nullptr;
  QRVViewContainer* configOverlay_ = nullptr;
  QRVViewContainer* cornerOverlay_ = nullptr;
  std::unique_ptr<PresetBarOverlayContent> browser_;
  std::unique_ptr<PresetBarOverlayContent> config_;
  std::unique_ptr<PresetSaveDialog> saveDialog_;

  PresetBarScaleMenuButton* zoom_ = nullptr;
  PresetBarNudgeControl* nudge_ = nullptr;
  PresetBarNameControl* name_ = nullptr;
  PresetBarConfigMenuButton* configButton_ = nullptr;
  PresetBarLabelKickButton* save_ = nullptr;
  PresetBarLabelButton* copy_ = nullptr;
  PresetBarLabelButton* paste_ = nullptr;
  ABCompPresetBarControl* ab_ = nullptr;
  ABCopyPresetBarControl* abCopy_ = nullptr;
  PresetBarUndoRedoControl* undoRedo_ = nullptr;
  PresetBarLabelOnOffButton* userDefault_ = nullptr;
  PresetBarLabelOnOffButton* favouriteButtons_[4] = {};
  PresetBarLabelOnOffButton* assign_ = nullptr;
  PresetBarScaleCornerControl* corner_ = nullptr;

  double shownZoom_ = 1.0;
  QRVPoint pointer_{-1, -1};
  int buttons_ = 0;
  bool dragging_ = false;
  double dragStartZoom_ = 1.0;
  QRVPoint dragStart_;
  bool browserOpen_ = false;
  bool configOpen_ = false;
  bool cornerShown_ = false;
  bool overFavourites_ = false;
  bool handlingConfigMessage_ = false;
};

// The factory the window takes: a bar serving the PresetManager the host binding attached.
QRVPresetBarFactory PresetBarEditorFactory();

}  // namespace Quarrytone
