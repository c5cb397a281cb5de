// The preset bar's custom-drawn controls: text and icon buttons, the zoom percentage with its
// menu and drag corner, the previous/next and undo/redo arrows, the preset name field with its
// edit box, the A/B switch and copy, and the configuration button. They draw with vectors and
// text, share a hover and press look that ends 30 idle ticks after a click or an exit, and report
// every click as (tag, value); the owner places them, labels them and sets values to show state.
// GUI thread only; the owner calls onIdleTick on every tick of the editor's idle timer.
#pragma once

#include "gui/engine/EditorPalette.h"
#include "gui/engine/EditorLayout.h"
#include "gui/controls/QRVCustomizableOptionMenu.h"
#include "platform/ProductFacts.h"

namespace PresetBarColors = Quarrytone::palette;

class PresetBarBasicControl : public QRVCustomControl {
 public:
  static constexpr int kReleaseTicks = 30;

  PresetBarBasicControl(const QRVRect& rect, int tag);

  void setViewSize(QRVRect rect) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  int onMouseEntered(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;

  // Ends the hover and press look kReleaseTicks ticks after a click or an exit, even when no
  // further mouse event comes (an overlay may cover the control by then).
  virtual void onIdleTick();
  // The hover background spans the whole width.
  void setFullWidthHover();

  bool isPressed() const { return pressed_; }
  bool isMouseInside() const { return mouseInside_; }
  int getReleaseCountdown() const { return releaseCountdown_; }
  QRVRect getInnerRect() const { return innerRect_; }
  bool oneShot_ = false;

 protected:
  void computeInnerRect();
  void toggle() { value_ = value_ < 0.5 ? 1.0 : 0.0; }
  void drawHoverBackground(QRVDrawContext* context);
  // The common press: pressed look, release countdown, the value reported unchanged.
  int press();
  // A click that ends at once: reported, the release countdown running, no pressed look kept.
  void reportClick();
  // Label colour for the state: pressed, hovered or normal, with 0.3 times the alpha when dimmed.
  QRVColor labelColor() const;
  QRVColor dimmed(QRVColor c) const;

  bool pressed_ = false;
  int releaseCountdown_ = 0;
  QRVRect innerRect_;
  double insetX_, insetY_;
};

class PresetBarLabelButton : public PresetBarBasicControl {
 public:
  PresetBarLabelButton(const QRVRect& rect, int tag, const char* label);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;

  // Up to 31 bytes, cut between characters.
  void setLabel(const char* label);
  const char* getLabel() const { return label_; }

 protected:
  char label_[32] = {};
  QRVFont* font_;
};

class PresetBarLabelKickButton : public PresetBarLabelButton {
 public:
  using PresetBarLabelButton::PresetBarLabelButton;
  int onMouseDown(QRVPoint where, int buttons) override;
};

class PresetBarLabelOnOffButton : public PresetBarLabelButton {
 public:
  enum IconKind : int { kIconLabel = 0, kIconTarget = 15, kIconStarOutline = 18, kIconStarFilled = 19 };

  PresetBarLabelOnOffButton(const QRVRect& rect, int tag, const char* label, int iconKind);
  void setValue(double value) override;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  // The release countdown, then the auto-off: a button switched on by a click switches itself
  // off on the (delay + 1)th tick after it.
  void onIdleTick() override;

  bool momentary_ = false;
  bool shiftHalves_ = false;
  bool reportAutoOff_ = false;
  int autoOffDelay_ = -1;
  QRVControlColor onColor_{PresetBarColors::kHoverBackground};
  double labelOffsetY_ = -1.0;
  int getAutoOffRemaining() const { return autoOffRemaining_; }
  int getIconKind() const { return iconKind_; }

 private:
  void drawIcon(QRVDrawContext* context, QRVColor color);
  int autoOffRemaining_ = -1;
  int iconKind_;
};

class PresetBarMenuButton : public PresetBarLabelButton {
 public:
  using PresetBarLabelButton::PresetBarLabelButton;
};

class PresetBarScaleOptionMenuHandler;

class PresetBarScaleMenuButton : public PresetBarMenuButton {
 public:
  static constexpr double kMinZoom = qrv::product::kMinZoom, kMaxZoom = qrv::product::kMaxZoom;
  // 1.0 when 0.01 or less (or not a number), else limited to kMinZoom..kMaxZoom.
  static double CorrectZoom(double z);

  PresetBarScaleMenuButton(const QRVRect& rect, int tag);
  ~PresetBarScaleMenuButton() override;

  void setViewSize(QRVRect rect) override;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  bool onMouseWheel(QRVPoint where, float distance, int buttons) override;

  void setZoomFactor(double z);
  double getZoomFactor();
  bool isDirectChange() const { return directChange_; }
  // The product editor's size at zoom 1, which a chosen zoom must fit on the screen with the bar.
  void setEditorSize(double width, double height);
  QRVPoint getEditorSize() const { return editorSize_; }
  // Made on first use; it sits beside this button in the same container.
  PresetBarScaleOptionMenuHandler* getMenuHandler();

 protected:
  friend class PresetBarScaleOptionMenuHandler;
  void drawZoomLabel(QRVDrawContext* context);
  double zoom_ = 1.0;
  bool directChange_ = false;
  QRVPoint editorSize_{Quarrytone::layout::kPanelWidth, Quarrytone::layout::kPanelHeight};
  PresetBarScaleOptionMenuHandler* handler_ = nullptr;
};

// The zoom drag corner: drawn as a grip; the owner implements the drag.
class PresetBarScaleCornerControl : public PresetBarScaleMenuButton {
 public:
  using PresetBarScaleMenuButton::PresetBarScaleMenuButton;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
};

// The zoom list: 120 points wide, with separators before "Increase 5%" and before "Close".
class PresetBarScaleOptionMenu : public QRVCustomizableOptionMenu {
 public:
  using QRVCustomizableOptionMenu::QRVCustomizableOptionMenu;
  void draw(QRVDrawContext* context) override;
};

// Opens the zoom list below the zoom button and applies the chosen entry when the list closes.
class PresetBarScaleOptionMenuHandler : public QRVCustomizableOptionMenuPackageHandler {
 public:
  static constexpr int kIncrease = 11, kDecrease = 12, kClose = 0;

  PresetBarScaleOptionMenuHandler(const QRVRect& rect, PresetBarScaleMenuButton* button);
  ~PresetBarScaleOptionMenuHandler() override;
  void draw(QRVDrawContext* context) override;
  void createMenu() override;
  void openPopup() override;
  // Applies the selected entry: a percentage (fitted to the screen) closes the list, "Increase
  // 5%" and "Decrease 5%" step the zoom and keep it open, anything else only closes.
  void closePopup() override;
  QRVCustomizableOptionMenu* newMenu() override;
  // The catchers cover the zoom button too: a double click or a Control- or Alt-click on it
  // still resets the zoom.
  bool onCatcherMouseDown(QRVPoint windowPoint, int buttons) override;
  void forgetButton() { button_ = nullptr; }

 private:
  void finishZoomChange(double z, double buttonValue);
  PresetBarScaleMenuButton* button_;
};

// Two arrows side by side; a press on either reports 0 (left) or 1 (right), a press beside them
// reports nothing.
class PresetBarArrowPairControl : public PresetBarBasicControl {
 public:
  PresetBarArrowPairControl(const QRVRect& rect, int tag);
  void setViewSize(QRVRect rect) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  int onMouseEntered(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;
  void onIdleTick() override;

  QRVRect getLeftRect() const { return leftRect_; }
  QRVRect getRightRect() const { return rightRect_; }
  bool leftPressed_ = false, rightPressed_ = false, leftHover_ = false, rightHover_ = false;

 protected:
  virtual void computeHitRects() = 0;
  void trackHover(QRVPoint where);
  QRVRect leftRect_, rightRect_;
};

class PresetBarNudgeControl : public PresetBarArrowPairControl {
 public:
  PresetBarNudgeControl(const QRVRect& rect, int tag);
  void draw(QRVDrawContext* context) override;

 protected:
  void computeHitRects() override;
};

class PresetBarUndoRedoControl : public PresetBarArrowPairControl {
 public:
  PresetBarUndoRedoControl(const QRVRect& rect, int tag);
  void draw(QRVDrawContext* context) override;

 protected:
  void computeHitRects() override;
};

class ABCompPresetBarControl : public PresetBarBasicControl {
 public:
  using PresetBarBasicControl::PresetBarBasicControl;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
};

class ABCopyPresetBarControl : public PresetBarBasicControl {
 public:
  using PresetBarBasicControl::PresetBarBasicControl;
  void draw(QRVDrawContext* context) override;
  // Set: A is copied to B ("A" left of the arrow); clear: B to A.
  bool direction_ = false;
};

class PresetBarConfigMenuButton : public PresetBarBasicControl {
 public:
  using PresetBarBasicControl::PresetBarBasicControl;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
};

class PresetBarNameEdit;

// The preset number and name, the menu arrow and the "E" icon; a right click or a click on the
// icon lays an edit box over the name. Its value is 1 while the preset menu is open.
class PresetBarNameControl : public PresetBarBasicControl {
 public:
  static constexpr int kNameCharacters = 64;
  static constexpr int kEditedNameCharacters = 255;

  PresetBarNameControl(const QRVRect& rect, int tag);
  ~PresetBarNameControl() override;

  void setViewSize(QRVRect rect) override;
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  int onMouseEntered(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;

  // The shown name, up to 63 bytes cut between characters.
  void setName(const char* name);
  const char* getName() const { return name_; }
  void setModified(bool modified);
  bool isModified() const { return modified_; }
  bool isNameEditing() const { return nameEditing_; }
  bool isOverEditIcon() const { return overEditIcon_; }
  QRVTextEdit* getTextEdit() const;
  // Ends editing: whether it was on; name receives the edited text (at most 255 characters) or
  // null when it is empty.
  bool takeEditedName(const char*& name);
  // Escape in the edit box: the box goes, editing ends, nothing is reported.
  void cancelEditing();

  QRVRect getTextRect() const { return textRect_; }
  QRVRect getIconRect() const { return iconRect_; }

 private:
  friend class PresetBarNameEdit;
  bool overIcon(QRVPoint where) const;
  void detachEdit();

  char name_[64] = "Default";
  bool modified_ = false;
  bool nameEditing_ = false;
  bool overEditIcon_ = false;
  PresetBarNameEdit* edit_;
  QRVRect textRect_, iconRect_;
};
