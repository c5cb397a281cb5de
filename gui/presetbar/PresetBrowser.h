// The preset browser: the overlay the preset name opens over the panel. A bank switch across the top,
// the bank's groups in a column on the left, the group's presets in columns on the right, the
// designer's photo under the groups and an information line at the bottom. Choosing a group or a
// preset moves the instance's PresetManager there; choosing a preset loads it at once, and a double
// click also closes the browser. GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "gui/engine/EditorPalette.h"
#include "gui/engine/EditorLayout.h"
#include "gui/controls/QRVControls.h"
#include "gui/presetbar/PresetBarOverlay.h"
#include "presets/IndexTable.h"

namespace qrv {
class PresetManager;
}

namespace Quarrytone {

namespace PresetBrowserColors = palette;

// A row of equal segments, one of them selected; a press on a segment reports its value
// (segment / (count - 1)). Each segment is a count-th of the width less 8 points, 4 points of margin.
class QRVSegmentSwitch : public QRVCustomControl {
 public:
  QRVSegmentSwitch(const QRVRect& rect, int tag, std::vector<std::string> labels);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;

  int segmentCount() const { return static_cast<int>(labels_.size()); }
  QRVRect segmentRect(int segment) const;
  // The segment the value stands for.
  int selectedSegment() const;
  int hoveredSegment() const { return hovered_; }
  const std::string& label(int segment) const { return labels_[static_cast<std::size_t>(segment)]; }

 private:
  int segmentAt(QRVPoint where) const;
  std::vector<std::string> labels_;
  int hovered_ = -1;
};

// "Application", "Designer", "My presets": values 0, 0.5 and 1.
class QRVPresetMenuGroupSwitch final : public QRVSegmentSwitch {
 public:
  QRVPresetMenuGroupSwitch(const QRVRect& rect, int tag);
};

// A list of up to 512 texts laid out in columns of 20-point rows, with a vertical scroll bar 16 points
// wide at the right edge; the list area ends 3 points left of it. A press on an entry selects it and
// reports the list's tag with EntryValue(entry); a press on empty space in the list area, or between
// the list area and the scroll bar, reports kOutside, which closes the browser.
class QRVPresetCustomMenu : public QRVCustomControl {
 public:
  static constexpr int kMaxEntries = 512;
  static constexpr double kCellWidth = 200, kCellHeight = 20;
  static constexpr double kMargin = 4, kTextInset = 5, kTextRaise = 1;
  static constexpr double kScrollBarWidth = 16, kScrollBarGap = 3;
  static constexpr double kOutside = 0.0;
  // Entries travel as (entry + 1) / 512, so that every value stays within 0..1 and 0 is "outside".
  static double EntryValue(int entry) { return (entry + 1) / static_cast<double>(kMaxEntries); }
  static int EntryOf(double value);

  QRVPresetCustomMenu(const QRVRect& rect, int tag);

  void setViewSize(QRVRect rect) override;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;
  bool onMouseWheel(QRVPoint where, float distance, int buttons) override;

  // Replaces the entries (at most 512 are kept): nothing selected, scrolled to the top.
  void setEntries(std::vector<std::string> texts);
  // -1 for none; the list scrolls so that the selected entry shows.
  void setSelected(int entry);
  void setUserColours(bool user) { userColours_ = user; }

  int entryCount() const { return static_cast<int>(texts_.size()); }
  const std::string& entryText(int entry) const { return texts_[static_cast<std::size_t>(entry)]; }
  // The text as drawn: shortened to the cell less its insets.
  std::string shownText(int entry) const;
  int selected() const { return selected_; }
  int hovered() const { return hovered_; }
  double scrollPosition() const { return scroll_; }
  void setScrollPosition(double position);
  // True when the last press that chose an entry was a double click.
  bool lastPressWasDouble() const { return double_; }

  // ---- layout
  QRVRect listArea() const;
  QRVRect scrollBarRect() const;
  QRVRect thumbRect() const;
  double cellWidth() const;
  int visibleRows() const;
  int columns() const;
  int rowsPerColumn() const;
  // The entry's cell at the current scroll position.
  QRVRect cellRect(int entry) const;
  // -1 when no entry's cell is at where.
  int entryAt(QRVPoint where) const;

 protected:
  virtual QRVColor textColour() const;

 private:
  void report(double value);
  void scrollToShow(int entry);
  double overflow() const;

  std::vector<std::string> texts_;
  int selected_ = -1;
  int hovered_ = -1;
  double scroll_ = 0.0;
  bool userColours_ = false;
  bool double_ = false;
  bool dragging_ = false;
  double dragStartY_ = 0.0, dragStartScroll_ = 0.0;
};

// The bank's groups.
class QRVCategoryColumn final : public QRVPresetCustomMenu {
 public:
  using QRVPresetCustomMenu::QRVPresetCustomMenu;
};

// The group's presets as "00. Name".
class QRVPresetColumns final : public QRVPresetCustomMenu {
 public:
  using QRVPresetCustomMenu::QRVPresetCustomMenu;
  // "0%d. " below 10, "%d. " from 10, then at most 32 characters of the name.
  static std::string EntryText(int entry, const std::string& name);
};

// The designer's photo, 120 x 120 points centred in the area, its bottom 10 points above the area's;
// value 1 reported for a press on the photo, 0 for one beside it.
class QRVDesignerLogo final : public QRVCustomControl {
 public:
  static constexpr double kPhotoSize = 120, kPhotoBottomGap = 10;
  QRVDesignerLogo(const QRVRect& rect, int tag);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  QRVRect photoRect() const;
  // The embedded image to show; 0 or hidden shows nothing and takes no press.
  void setPhoto(int imageId);
  void setHidden(bool hidden);
  bool hidden() const { return hidden_; }
  int photo() const { return photo_; }

 private:
  int photo_ = 0;
  bool hidden_ = false;
};

// One line of text; as a link (the user bank) it is highlighted while the pointer is over it.
class QRVPresetMenuBottomTextInfo final : public QRVCustomControl {
 public:
  using QRVCustomControl::QRVCustomControl;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  // The base's: the pointer's presence is tracked and redrawn.
  int onMouseEntered(QRVPoint where, int buttons) override { return QRVBaseControl::onMouseEntered(where, buttons); }
  int onMouseExited(QRVPoint where, int buttons) override { return QRVBaseControl::onMouseExited(where, buttons); }
  void setText(std::string text) { text_ = std::move(text); }
  const std::string& text() const { return text_; }
  void setLink(bool link) { link_ = link; }
  bool link() const { return link_; }
  bool highlighted() const { return link_ && mouseInside_; }
  // Drawn at the right end, apart from the text: that the shown list leaves presets out ("" for none).
  void setNotice(std::string notice) { notice_ = std::move(notice); }
  const std::string& notice() const { return notice_; }

 private:
  std::string text_;
  std::string notice_;
  bool link_ = false;
};

class PresetBarPresetMenu final : public PresetBarOverlayContent {
 public:
  static constexpr const char* kFactoryInfo = "Factory presets are integral part of the plugin";
  static constexpr const char* kFactoryInfoHint =
      "Factory presets are integral part of the plugin and they are NOT stored as files";
  static constexpr const char* kUserInfo = "Show file in Explorer";
  static constexpr const char* kNoUserFolder = "Error while locating the preset file";
  static constexpr const char* kDesignerHint = "Click on the photo to get more info about preset's designer";
  // The information line's notice for a group whose folder holds more presets than the list shows.
  static std::string ListCutNotice(int listed, int found);

  // manager may be null: the browser shows nothing and only closes.
  PresetBarPresetMenu(PresetBarOverlayOwner& owner, qrv::PresetManager* manager);

  void attach(QRVViewContainer* overlay, double width, double height) override;
  void opened() override { refresh(); }
  void refresh() override;
  void controlEvent(int tag, double value) override;
  void resize(double width, double height) override;

  int bank() const { return bank_; }
  int group() const { return group_; }
  int item() const { return item_; }
  QRVPresetMenuGroupSwitch* bankSwitch() const { return bankSwitch_; }
  QRVCategoryColumn* groupColumn() const { return groups_; }
  QRVPresetColumns* presetList() const { return presets_; }
  QRVDesignerLogo* designerPhoto() const { return designer_; }
  QRVPresetMenuBottomTextInfo* infoLine() const { return info_; }
  // The information line's hint for the shown position.
  std::string infoHint() const;

 private:
  void layout();
  void showGroups();
  void showPresets();
  void showInfo();
  void showDesigner();

  PresetBarOverlayOwner& owner_;
  qrv::PresetManager* manager_;
  QRVViewContainer* overlay_ = nullptr;
  double width_ = layout::kPanelWidth, height_ = layout::kPanelHeight;
  int bank_ = 0, group_ = 0, item_ = -1;
  QRVPresetMenuGroupSwitch* bankSwitch_ = nullptr;
  QRVPresetMenuBottomTextInfo* info_ = nullptr;
  QRVDesignerLogo* designer_ = nullptr;
  QRVCategoryColumn* groups_ = nullptr;
  QRVPresetColumns* presets_ = nullptr;
};

}  // namespace Quarrytone
