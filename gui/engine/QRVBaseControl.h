// Base of every interactive element: a normalised value, a tag, rectangles, texts and colours,
// drawing and mouse handling against QRVDrawContext. The back-end gives each control a peer and
// forwards toolkit events to it; from addControl on, the peer owns the control. GUI thread only.
// Declared here because the view interface takes and drives controls; the family lives in gui/controls.
#pragma once

#include "gui/engine/QRVGraphics.h"

// Red, green, blue, alpha and a copy of red, green, blue; only the first four are drawn.
struct QRVControlColor {
  std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
  std::uint8_t red2 = 0, green2 = 0, blue2 = 0;
  QRVControlColor() = default;
  QRVControlColor(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) { set(QRVColor{r, g, b, a}); }
  explicit QRVControlColor(QRVColor c) { set(c); }
  void set(QRVColor c) {
    red = red2 = c.red;
    green = green2 = c.green;
    blue = blue2 = c.blue;
    alpha = c.alpha;
  }
  QRVColor color() const { return QRVColor{red, green, blue, alpha}; }
};

// What a text peer is built from; a text control fills it and the back-end reads it when it
// creates the peer.
struct QRVTextProperties {
  static constexpr int kMaxCharacters = 255;
  // 255 characters of up to four UTF-8 bytes each.
  char text[kMaxCharacters * 4 + 1] = {};
  char placeholder[64] = {};
  int maxLength = kMaxCharacters;
  int maxBytes = kMaxCharacters * 4;
  QRVControlColor fontColor{255, 255, 255, 255};
  QRVFont* font = nullptr;
  int horizontalAlign = 1;
  QRVControlColor extraColors[4];
  bool hasExtraColor[4] = {false, false, false, false};
  float precision = -1.0f;
  double rangeMin = 0.0;
  double rangeMax = 0.0;
  unsigned style = 64;
};

class QRVBaseControl;
// Installed by the back-end: called when a control that still has a peer is destroyed by its
// owner (a control taken out of its container), so the peer lets go of it.
using QRVPeerDetachFn = void (*)(QRVEngineView* peer, QRVBaseControl* control);
extern QRVPeerDetachFn gQRVPeerDetach;

class QRVBaseControl {
 public:
  static constexpr int kTooltipSize = 512;
  static constexpr int kHintSize = 256;

  QRVBaseControl(const QRVRect& rect, int tag, QRVBitmap* bitmap, int peerKind);
  QRVBaseControl(const QRVBaseControl&) = delete;
  QRVBaseControl& operator=(const QRVBaseControl&) = delete;

  virtual ~QRVBaseControl();
  virtual void setValue(double value);
  virtual void setTag(int tag);
  virtual void beginEdit();
  virtual void notifyValueChanged();
  virtual void endEdit();
  virtual bool isEditing();
  virtual void setDefaultValue(double value);
  virtual double getDefaultValue();
  virtual void setViewSize(QRVRect rect);
  virtual void setZoom(double factor);
  virtual void draw(QRVDrawContext* context);
  virtual void setBitmap(QRVBitmap* bitmap);
  virtual int onMouseDown(QRVPoint where, int buttons);
  virtual int onMouseMoved(QRVPoint where, int buttons);
  virtual int onMouseUp(QRVPoint where, int buttons);
  virtual int onMouseEntered(QRVPoint where, int buttons);
  virtual int onMouseExited(QRVPoint where, int buttons);
  virtual bool onMouseWheel(QRVPoint where, float distance, int buttons);
  virtual void setMouseableArea(QRVRect rect);
  virtual QRVRect getMouseableArea();
  virtual void setValueAndNotify(double value);
  // Called by the peer when the user abandons an edit (Escape): nothing was committed.
  virtual void editCancelled() {}

  void setTooltip(const char* text);
  void setHint(const char* text);
  void setBackColor(QRVColor color);
  double getValue() const { return value_; }

  // Read by the back-end when it builds and drives the peer.
  int getTag() const { return tag_; }
  int getPeerKind() const { return peerKind_; }
  QRVRect getViewSize() const { return viewRect_; }
  double getMinimum() const { return minimum_; }
  double getMaximum() const { return maximum_; }
  QRVBitmap* getBitmap() const { return bitmap_; }
  const char* getTooltip() const { return tooltip_ ? tooltip_ : ""; }
  const char* getHint() const { return hint_ ? hint_ : ""; }
  QRVColor getBackColor() const { return backColor_.color(); }
  bool reportsMouseDown() const { return reportMouseDown_; }
  void setReportMouseDown(bool on) { reportMouseDown_ = on; }
  QRVEngineView* getPeer() const { return peer_; }
  void setPeer(QRVEngineView* peer) { peer_ = peer; }
  QRVViewContainer* getContainer() const { return container_; }
  void setContainer(QRVViewContainer* container) { container_ = container; }
  void setLinkedControl(QRVBaseControl* control) { linked_ = control; }
  QRVBaseControl* getLinkedControl() const { return linked_; }
  const QRVTextProperties* getTextProperties() const { return textProperties_; }
  void invalidPeer() {
    if (peer_) peer_->invalid();
  }
  // Repaints only part of the control: rect in its container's coordinates, like its view rectangle.
  void invalidPeerRect(const QRVRect& rect) {
    if (peer_) peer_->invalidRect(rect);
  }

  // Appearance fields set by owners after construction.
  bool overlayEnabled_ = false;
  bool overlayIsEllipse_ = true;
  bool overlayShapeHidden_ = false;
  QRVControlColor overlayColor_{20, 20, 20, 150};
  QRVControlColor secondaryColor_{120, 120, 120, 255};
  double overlayInset_ = 0.0;
  float overlayAlpha_ = 1.0f;
  QRVControlColor hoverColor_{180, 180, 180, 30};
  bool hoverHighlight_ = false;
  double minimum_ = 0.0;
  double maximum_ = 1.0;

 protected:
  QRVControlColor backColor_;
  QRVBitmap* bitmap_;
  QRVRect viewRect_;
  QRVRect mouseableRect_;
  double value_;
  double lastReportedValue_ = 0.0;
  int tag_;
  int peerKind_;
  bool mouseInside_ = false;
  double defaultValue_;
  bool editing_ = false;
  bool reportMouseDown_ = true;
  QRVBaseControl* linked_ = nullptr;
  QRVEngineView* peer_ = nullptr;
  char* tooltip_ = nullptr;
  char* hint_ = nullptr;
  QRVRect constructionRect_;
  QRVViewContainer* container_ = nullptr;
  const QRVTextProperties* textProperties_ = nullptr;
};
