// The configuration menu: the preset bar's second overlay, with two pages. "Global settings" offers
// the user manual, the hints switch, the plug-in's version line and, where the binding offers it, the
// instance's High quality with what it costs; "Plugin info" shrinks the overlay
// to its page switch so that the product editor's about box shows below. GUI thread only.
#pragma once

#include <string>
#include <string_view>

#include "gui/engine/EditorLayout.h"
#include "gui/presetbar/PresetBrowser.h"
#include "presets/IndexTable.h"

namespace Quarrytone {

// "Global settings" (0) and "Plugin info" (1).
class QRVConfigMenuGroupSwitch final : public QRVSegmentSwitch {
 public:
  QRVConfigMenuGroupSwitch(const QRVRect& rect, int tag);
};

// The area below the page switch: a press there closes the overlay.
class QRVConfigMenuExitButton final : public QRVCustomControl {
 public:
  using QRVCustomControl::QRVCustomControl;
  int onMouseDown(QRVPoint where, int buttons) override;
};

// A labelled row: the label on the left half, the row's own part on the right.
class QRVConfigMenuRow : public QRVCustomControl {
 public:
  QRVConfigMenuRow(const QRVRect& rect, int tag, std::string label);
  void draw(QRVDrawContext* context) override;
  int onMouseEntered(QRVPoint where, int buttons) override { return QRVBaseControl::onMouseEntered(where, buttons); }
  int onMouseExited(QRVPoint where, int buttons) override { return QRVBaseControl::onMouseExited(where, buttons); }
  QRVRect labelRect() const;
  QRVRect fieldRect() const;
  const std::string& label() const { return label_; }

 private:
  std::string label_;
};

// "Manual:" with an "Open" button; a press on the button reports the tag.
class QRVConfigMenuKickButton final : public QRVConfigMenuRow {
 public:
  QRVConfigMenuKickButton(const QRVRect& rect, int tag);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  QRVRect buttonRect() const;
};

// "Hints:" with the choices "Hide" (0) and "Show" (1), or another label and choices; a press on a choice
// sets and reports it.
class QRVConfigMenu2waySwitch final : public QRVConfigMenuRow {
 public:
  QRVConfigMenu2waySwitch(const QRVRect& rect, int tag, std::string label = "Hints:", std::string off = "Hide",
                          std::string on = "Show");
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  QRVRect choiceRect(int choice) const;
  const std::string& choice(int i) const { return i == 0 ? off_ : on_; }

 private:
  std::string off_, on_;
};

// A line of explanation under a row, across the row; a press reports the tag (which closes the overlay,
// as a press below the rows does).
class QRVConfigMenuNote final : public QRVConfigMenuRow {
 public:
  QRVConfigMenuNote(const QRVRect& rect, int tag, std::string text);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// "Plugin's version:" with the version line; a press reports the tag (which closes the overlay).
class QRVConfigPluginInfoText final : public QRVConfigMenuRow {
 public:
  QRVConfigPluginInfoText(const QRVRect& rect, int tag, std::string text);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

class PresetBarConfigMenu final : public PresetBarOverlayContent {
 public:
  static constexpr double kStripHeight = 29;
  static constexpr double kRowWidth = layout::kPanelWidth;
  // The manual is a web page.
  static constexpr const char* kNoReader = "Make sure a web browser is installed";
  static constexpr const char* kNoReaderCaption = "Could not open manual file";
  static constexpr const char* kCouldNotOpen = "Could not open user manual";
  // The second line when there is no path to try.
  static constexpr const char* kNoManualPath = "No manual path is set, and none was recorded at installation";
  // Under the High quality row.
  static constexpr const char* kHighQualityCost = "about 2.1x CPU in mono, 2.7x in stereo, 61 samples of latency";

  // "2.3.0.0 (sh.8.8.10) build:" with the ten build digits (YYMMDDHHMM), then "aax.x64 ".
  static std::string VersionLine(std::string_view buildDigits);
  // The digits of the time this module was built.
  static std::string_view BuildDigits();

  explicit PresetBarConfigMenu(PresetBarOverlayOwner& owner);

  void attach(QRVViewContainer* overlay, double width, double height) override;
  void opened() override { showHighQuality(); }
  void closed() override;
  void idleTick() override { showHighQuality(); }
  void controlEvent(int tag, double value) override;
  void parameterNotification(int index, double value) override;
  void resize(double width, double height) override;
  // Once per question: the page switch asks to stay open for the 94 it sent.
  bool stayOpen() override;

  int page() const { return page_; }
  // The overlay's rectangle in window coordinates: full, or the page-switch strip on page 1.
  QRVRect overlayRect() const;
  QRVConfigMenuGroupSwitch* pageSwitch() const { return pageSwitch_; }
  QRVConfigMenuExitButton* exitArea() const { return exit_; }
  QRVConfigMenuKickButton* manualRow() const { return manual_; }
  QRVConfigMenu2waySwitch* hintsRow() const { return hints_; }
  QRVConfigPluginInfoText* versionRow() const { return version_; }
  // Null where the binding offers no High quality switch (asked when the menu is built).
  QRVConfigMenu2waySwitch* highQualityRow() const { return highQuality_; }
  QRVConfigMenuNote* highQualityNote() const { return highQualityNote_; }

 private:
  void layout();
  void showPage(int page);
  void openManual();
  // The row shows the instance's setting (the host may switch it too).
  void showHighQuality();

  PresetBarOverlayOwner& owner_;
  QRVViewContainer* overlay_ = nullptr;
  double width_ = layout::kPanelWidth, height_ = layout::kPanelHeight;
  int page_ = 0;
  bool stayOpen_ = false;
  QRVConfigMenuGroupSwitch* pageSwitch_ = nullptr;
  QRVConfigMenuExitButton* exit_ = nullptr;
  QRVConfigMenuKickButton* manual_ = nullptr;
  QRVConfigMenu2waySwitch* hints_ = nullptr;
  QRVConfigPluginInfoText* version_ = nullptr;
  QRVConfigMenu2waySwitch* highQuality_ = nullptr;
  QRVConfigMenuNote* highQualityNote_ = nullptr;
};

}  // namespace Quarrytone
