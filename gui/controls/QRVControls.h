// The general-purpose controls: custom-drawn base, momentary button, film-strip knob,
// film-strip multi-position switch and text edit. GUI thread only; a control belongs to its
// peer once it is added to a container.
#pragma once

#include "gui/engine/QRVBaseControl.h"

// Base of every custom-drawn control: ignores the mouse unless a subclass handles it.
class QRVCustomControl : public QRVBaseControl {
 public:
  QRVCustomControl(const QRVRect& rect, int tag, QRVBitmap* bitmap);
  void setDefaultValue(double value) override { ownDefault_ = value; }
  double getDefaultValue() override { return ownDefault_; }
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  int onMouseEntered(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;
  bool onMouseWheel(QRVPoint where, float distance, int buttons) override;

 protected:
  double ownDefault_ = 0.5;
};

// A momentary button; its strip holds three frames: normal, mouse over, pressed.
class QRVKickButton : public QRVBaseControl {
 public:
  QRVKickButton(const QRVRect& rect, int tag, QRVBitmap* bitmap = nullptr);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  int onMouseEntered(QRVPoint where, int buttons) override;
  int onMouseExited(QRVPoint where, int buttons) override;

  int frameHeight_;
  bool doubleClickOnly_ = false;
  bool isPressed() const { return pressed_; }
  bool isMouseInside() const { return mouseInside_; }

 private:
  bool pressed_ = false;
};

// A film-strip knob: linear drag (right or up increases), fine drag with Shift, circular mode,
// wheel, and reset to the default with Alt-click or double click.
class QRVAnimKnob : public QRVBaseControl {
 public:
  QRVAnimKnob(const QRVRect& rect, int tag, QRVBitmap* bitmap, int frameCount, int columns = 1);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  bool onMouseWheel(QRVPoint where, float distance, int buttons) override;

  // The strip offset of the frame shown for the current value.
  QRVPoint frameOffset() const;
  // Value of a pointer position in circular mode.
  double angleValue(const QRVPoint& where) const;

  int frameCount_;
  int rowsPerColumn_;
  int frameHeight_;
  int frameWidth_;
  double valueMax_ = 1.0;
  double valueMin_ = 0.0;
  double dragStartValue_ = 0.0;
  int dragButtons_ = 0;
  QRVPoint dragStart_;
  double dragRange_ = 0.0;
  double circularLast_ = 0.0;
  double valuePerPixel_ = 0.0;
  double halfRange_;
  double wheelStep_;
  double fineFactor_;
  double dragPixels_ = 300.0;
  double fineDragPixels_ = 1500.0;
};

// A film-strip switch of n positions stacked vertically, each as high as the view.
class QRVHorizontalSwitch : public QRVBaseControl {
 public:
  QRVHorizontalSwitch(const QRVRect& rect, int tag, QRVBitmap* bitmap);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;
  int onMouseUp(QRVPoint where, int buttons) override;
  bool onMouseWheel(QRVPoint where, float distance, int buttons) override;

  int positions_ = 2;
  double segmentWidth_ = 0.0;
};

// A text field; its peer draws and edits the text. Converters turn values into text and back.
class QRVTextEdit : public QRVBaseControl {
 public:
  using ValueToText = void (*)(double value, char* text, int& tag);
  using TextToValue = void (*)(const char* text, double& value, int& tag);

  QRVTextEdit(const QRVRect& rect, int tag);
  ~QRVTextEdit() override;

  void setValue(double value) override;
  void setTag(int tag) override;
  void endEdit() override;
  void setZoom(double factor) override;
  virtual void setStyle(unsigned bits);

  void setText(const char* text);
  const char* getText() const { return props_.text; }
  const char* getPreviousText() const { return previousText_; }
  void setFontColor(QRVColor color);
  void setFont(QRVFont* font);
  QRVFont* getFont() const { return props_.font; }
  void setHorizontalAlign(int align);
  void setExtraColor(int index, QRVColor color);
  void setPrecision(float digits);
  void setRange(double minimum, double maximum);
  void setPlaceholder(const char* text);
  const char* getPlaceholder() const { return props_.placeholder; }
  // 1..255 characters.
  void setMaxLength(int characters);
  int getMaxLength() const { return props_.maxLength; }
  // UTF-8 bytes, besides the character limit; the text is cut between characters.
  void setMaxBytes(int bytes);
  int getMaxBytes() const { return props_.maxBytes; }
  unsigned getStyle() const { return props_.style; }
  void setValueToText(ValueToText f) { valueToText_ = f; }
  void setTextToValue(TextToValue f) { textToValue_ = f; }
  void setLinkedValueControl(QRVBaseControl* control) { linkedValueControl_ = control; }

 private:
  QRVEngineTextEdit* textPeer() const { return static_cast<QRVEngineTextEdit*>(peer_); }
  // Keeps the previous text and stores text cut to the length limit between characters.
  void storeText(const char* text);

  ValueToText valueToText_ = nullptr;
  TextToValue textToValue_ = nullptr;
  QRVTextProperties props_;
  char previousText_[sizeof(QRVTextProperties::text)] = {};
  QRVFont* unzoomedFont_ = nullptr;
  QRVBaseControl* linkedValueControl_ = nullptr;
  bool settingText_ = false;
};
