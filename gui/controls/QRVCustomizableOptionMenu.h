// A pop-up list drawn by the plug-in itself, the button that owns and opens it, and the invisible
// catchers that close it on a click anywhere else. The list and the catchers live on the window's
// pop-up layer, above the preset bar and the product panel, in window coordinates. A pick reports
// the list's tag with index / (entry count - 1). GUI thread only.
#pragma once

#include "gui/engine/EditorPalette.h"
#include "gui/controls/QRVControls.h"

class QRVCustomizableOptionMenuPackageHandler;

struct QRVCustomizableOptionMenuEntry {
  char title[64] = {};  // at most 63 bytes, cut between characters
  QRVRect rect;         // in the list's container, set when the entry is added
  bool inactive = false;
  int id = 0;
};

class QRVCustomizableOptionMenu : public QRVCustomControl {
 public:
  static constexpr int kMaxEntries = 64;
  static constexpr QRVColor kFrameColor = Quarrytone::palette::kMenuFrame;
  static constexpr QRVColor kBackgroundColor = Quarrytone::palette::kMenuBackground;
  static constexpr QRVColor kTextColor = Quarrytone::palette::kMenuText;
  static constexpr QRVColor kTitleTextColor = Quarrytone::palette::kMenuTitleText;
  static constexpr QRVColor kSelectedColor = Quarrytone::palette::kMenuSelected;
  static constexpr QRVColor kSelectedTextColor = Quarrytone::palette::kMenuSelectedText;

  QRVCustomizableOptionMenu(const QRVRect& rect, int tag);

  void setValue(double value) override;
  void setTag(int tag) override;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  int onMouseEntered(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;

  // Appends an active entry one row below the last; false when the list is full.
  bool addEntry(const char* title, int id);
  // Inactive entries are drawn as centred titles and cannot be picked.
  void setEntryInactive(int index, bool inactive);
  int getEntryCount() const { return count_; }
  const QRVCustomizableOptionMenuEntry* getEntry(int index) const;
  int getSelectedIndex() const { return selected_; }
  int getHoveredIndex() const { return hovered_; }
  void clearHoverAndSelection();
  bool needsLayout() const { return needsLayout_; }
  // Sizes the list to its entries and margins; done by the owner before it opens the pop-up.
  void layout();
  void setOwner(QRVCustomizableOptionMenuPackageHandler* owner) { owner_ = owner; }
  QRVCustomizableOptionMenuPackageHandler* getOwner() const { return owner_; }

 protected:
  void drawEntries(QRVDrawContext* context);
  // Corner radius half the smaller side, at most 4.
  void drawRoundedEntry(const QRVRect& r, QRVDrawContext* context, bool fill);

  QRVCustomizableOptionMenuEntry entries_[kMaxEntries];
  int count_ = 0;
  QRVRect listRect_;
  double rowHeight_ = 20;
  double entryWidth_ = 0;
  double marginX_ = 4, marginY_ = 4;
  double textOffsetX_ = 5, textOffsetY_ = -1;
  QRVRect nextEntryRect_;
  int hovered_ = -1;
  int selected_ = -1;
  bool needsLayout_ = false;
  bool clickedOutside_ = false;
  QRVCustomizableOptionMenuPackageHandler* owner_ = nullptr;
};

class QRVCustomizableOptionMenuMouseCatcher;

class QRVCustomizableOptionMenuPackageHandler : public QRVKickButton {
 public:
  static constexpr double kPopupWidth = 200, kPopupHeight = 340;
  // The area the catchers cover at least, in window points; a larger window is covered whole.
  static constexpr double kCatchWidth = 1920, kCatchHeight = 1080;

  explicit QRVCustomizableOptionMenuPackageHandler(const QRVRect& rect);
  ~QRVCustomizableOptionMenuPackageHandler() override;

  void setValue(double value) override;
  void setTag(int tag) override;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  virtual void createMenu();
  virtual void createPopupContainers();
  virtual void openPopup();
  virtual void closePopup();
  virtual QRVCustomizableOptionMenu* newMenu();
  // A press on a catcher, at a window point, before it closes the list as a click outside;
  // true when the handler took it. Lets the opening button keep its own modified clicks.
  virtual bool onCatcherMouseDown(QRVPoint windowPoint, int buttons);

  bool isOpen() const;
  QRVCustomizableOptionMenu* getMenu() const { return list_; }
  // Where the list lies while open, in window coordinates.
  QRVRect getPopupRect() const { return popupRect_; }
  QRVCustomizableOptionMenuMouseCatcher* getCatcher(int i) const { return (i >= 0 && i < 4) ? catchers_[i] : nullptr; }
  // 4: above the button; 8: below, left edges aligned; otherwise below, right edges aligned for a
  // 200-point list.
  void setPlacement(int placement) { placement_ = placement; }
  void setOffset(QRVPoint offset) { offset_ = offset; }
  void setCustomFaceColor(QRVColor color);

 protected:
  QRVViewContainer* popupContainer_ = nullptr;
  QRVCustomizableOptionMenu* list_ = nullptr;
  QRVViewContainer* catcherContainer_ = nullptr;
  QRVCustomizableOptionMenuMouseCatcher* catchers_[4] = {};
  bool open_ = false;
  QRVRect popupRect_{0, 0, kPopupWidth, kPopupHeight};
  QRVPoint anchor_;
  QRVPoint offset_;
  int placement_ = 1;
  bool customFaceColorSet_ = false;
  QRVControlColor customFaceColor_;
};

// Covers part of the window outside the open list; a click on it goes to the list as a click
// outside, which closes the pop-up.
class QRVCustomizableOptionMenuMouseCatcher : public QRVKickButton {
 public:
  QRVCustomizableOptionMenuMouseCatcher(const QRVRect& rect, int tag, QRVCustomizableOptionMenu* list);
  int onMouseDown(QRVPoint where, int buttons) override;

 private:
  QRVCustomizableOptionMenu* list_;
};
