// The abstract drawing and view interface every panel is written against. One back-end
// (gui/backend) realises it over the toolkit; virtual operation orders are fixed because the
// controls and the back-end are compiled against the same tables. GUI thread only.
#pragma once

#include <cstdint>

struct QRVPoint {
  double x = 0.0;
  double y = 0.0;
};

struct QRVRect {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
  double getWidth() const { return right - left; }
  double getHeight() const { return bottom - top; }
  bool contains(const QRVPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};

struct QRVColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 255;
};

// Draw styles for rectangles, arcs, ellipses and polygons; any other value draws nothing.
enum QRVDrawStyle : int { kQRVDrawStroked = 0, kQRVDrawFilled = 1, kQRVDrawFilledAndStroked = 2 };
enum QRVPathDrawMode : int { kQRVPathFilled = 0, kQRVPathFilledEvenOdd = 1, kQRVPathStroked = 2 };
enum QRVTextAlign : int { kQRVAlignLeft = 0, kQRVAlignCenter = 1, kQRVAlignRight = 2 };
enum QRVDrawMode : std::uint32_t {
  kQRVAliasing = 0,
  kQRVAntiAliasing = 1,
  kQRVNonIntegralMode = 0xF0000000u,
  kQRVControlDrawMode = 0xF0000001u,
};
// Mouse buttons and modifiers, one 32-bit set.
enum QRVButtons : int {
  kQRVLButton = 0x2,
  kQRVMButton = 0x4,
  kQRVRButton = 0x8,
  kQRVShift = 0x10,
  kQRVControl = 0x20,
  kQRVAlt = 0x40,
  kQRVCommand = 0x80,
  kQRVButton4 = 0x100,
  kQRVButton5 = 0x200,
  kQRVDoubleClick = 0x400,
  kQRVButtonMask = 0x7FE,
};
enum QRVMouseResult : int {
  kQRVMouseHandled = 1,
  kQRVMouseNotHandled = 2,
  kQRVMouseHandledNoMore = 3,
};
enum QRVMenuEntryType : int { kQRVMenuPlain = -1, kQRVMenuTitle = 1, kQRVMenuChecked = 2 };
// Peer kinds: 1..9 and 13 plain control peers, 10 text label, 11 text edit, 12 option menu.
enum QRVPeerKind : int {
  kQRVPeerSwitch = 4,
  kQRVPeerKnob = 5,
  kQRVPeerKickButton = 8,
  kQRVPeerTextLabel = 10,
  kQRVPeerTextEdit = 11,
  kQRVPeerOptionMenu = 12,
  kQRVPeerCustom = 13,
};

class QRVBaseControl;
class QRVDrawContext;
class QRVViewContainer;

class QRVResource {
 public:
  virtual ~QRVResource() {}
  virtual void retain() = 0;
  virtual void release() = 0;
};

class QRVBitmapPixelAcces;

class QRVBitmap : public QRVResource {
 public:
  virtual double getWidth() = 0;
  virtual double getHeight() = 0;
  virtual QRVBitmapPixelAcces* createPixelAccess(bool alphaPremultiplied) = 0;
};

class QRVFont : public QRVResource {
 public:
  virtual const char* getName() = 0;
  virtual double getSize() = 0;
};

class QRVBitmapPixelAcces {
 public:
  virtual ~QRVBitmapPixelAcces() {}
  virtual void retain() = 0;
  virtual void release() = 0;
  virtual bool setPosition(unsigned x, unsigned y) = 0;
  virtual bool next() = 0;
  virtual bool previous() = 0;
  virtual unsigned getX() = 0;
  virtual unsigned getY() = 0;
  virtual void getColor(QRVColor& color) = 0;
  virtual void setColor(QRVColor color) = 0;
};

// Holds one embedded image for the life of the module and destroys it at unload.
class QRVBitmapAutoReleaseHandler {
 public:
  explicit QRVBitmapAutoReleaseHandler(QRVBitmap* bitmap = nullptr) : bitmap_(bitmap) {}
  virtual ~QRVBitmapAutoReleaseHandler() { delete bitmap_; }
  QRVBitmapAutoReleaseHandler(const QRVBitmapAutoReleaseHandler&) = delete;
  QRVBitmapAutoReleaseHandler& operator=(const QRVBitmapAutoReleaseHandler&) = delete;
  QRVBitmap* bitmap_;
};

class QRVGradient {
 public:
  virtual ~QRVGradient() {}
  virtual void addColorStop(double offset, QRVColor color) = 0;
  virtual void release() = 0;
  virtual void reset(double start1, double start2, QRVColor color1, QRVColor color2) = 0;
};

class QRVGraphicsPath {
 public:
  virtual ~QRVGraphicsPath() {}
  virtual void addArc(const QRVRect& rect, double startAngle, double endAngle, bool clockwise) = 0;
  virtual void addEllipse(const QRVRect& rect) = 0;
  virtual void addRect(const QRVRect& rect) = 0;
  virtual void addPath(QRVGraphicsPath* path) = 0;
  virtual void addLine(const QRVPoint& to) = 0;
  virtual void addBezierCurve(const QRVPoint& control1, const QRVPoint& control2, const QRVPoint& end) = 0;
  virtual void beginSubpath(const QRVPoint& start) = 0;
  virtual void closeSubpath() = 0;
  virtual void addRoundRect(const QRVRect& rect, double radius) = 0;
  virtual bool hitTest(const QRVPoint& point, bool evenOdd) = 0;
  virtual QRVPoint getCurrentPosition() = 0;
  virtual QRVRect getBoundingBox() = 0;
  virtual void release() = 0;
};

// Live only during a draw pass: outside one every operation does nothing and the getters
// answer neutral values.
class QRVDrawContext {
 public:
  virtual ~QRVDrawContext() {}
  virtual void setLineWidth(double width) = 0;
  virtual void setLineStyle(int cap, int join, double dashPhase, int dashCount, const double* dashes) = 0;
  virtual void setLineStyleSolid() = 0;
  virtual void moveTo(const QRVPoint& p) = 0;
  virtual void lineTo(const QRVPoint& p) = 0;
  virtual void drawLine(const double& x1, const double& y1, const double& x2, const double& y2) = 0;
  virtual void drawLine(const QRVPoint& from, const QRVPoint& to) = 0;
  virtual void drawRect(const QRVRect& rect, int drawStyle) = 0;
  virtual void drawArc(const QRVRect& rect, float startAngle, float endAngle, int drawStyle) = 0;
  virtual void drawEllipse(const QRVRect& rect, int drawStyle) = 0;
  virtual void drawDot(const QRVPoint& centre, double size) = 0;
  virtual void drawPoint(const QRVPoint& p, QRVColor color) = 0;
  virtual void drawPixel(const QRVPoint& p, QRVColor color) = 0;
  virtual void drawPolygon(const QRVPoint* points, int count, int drawStyle) = 0;
  virtual void drawBitmap(QRVBitmap* bitmap, const QRVRect& dest, const QRVPoint& offset, float alpha) = 0;
  virtual void drawString(const char* utf8, const QRVPoint& baseline) = 0;
  virtual void drawString(const char* utf8, const QRVRect& rect, int align) = 0;
  virtual void setFont(QRVFont* font) = 0;
  virtual void clearRect(const QRVRect& rect) = 0;
  virtual void drawRotatedString(const char* utf8, const QRVPoint& at, const double& angle, double fontSize,
                                 QRVColor background) = 0;
  virtual void setFillColor(QRVColor color) = 0;
  virtual void setFrameColor(QRVColor color) = 0;
  virtual void setFontColor(QRVColor color) = 0;
  virtual void setGlobalAlpha(float alpha) = 0;
  virtual double getGlobalAlpha() = 0;
  virtual void setClipRect(const QRVRect& rect) = 0;
  virtual void getClipRect(QRVRect& rect) = 0;
  virtual void resetClipRect() = 0;
  virtual void beginDraw() = 0;
  virtual void endDraw() = 0;
  virtual void setDrawMode(int mode) = 0;
  virtual double getStringWidth(const char* utf8) = 0;
  virtual QRVGradient* createGradient(double start1, double start2, QRVColor color1, QRVColor color2) = 0;
  virtual QRVGraphicsPath* createGraphicsPath() = 0;
  virtual void drawGraphicsPath(QRVGraphicsPath* path, int pathDrawMode) = 0;
  virtual void fillLinearGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& start,
                                  const QRVPoint& end, bool evenOdd, const double transform[6]) = 0;
  virtual void fillLinearGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& start,
                                  const QRVPoint& end, bool evenOdd) = 0;
  virtual void fillRadialGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& centre, double radius,
                                  const QRVPoint& originOffset, bool evenOdd, const double transform[6]) = 0;
  virtual void fillRadialGradient(QRVGraphicsPath* path, QRVGradient* gradient, const QRVPoint& centre, double radius,
                                  const QRVPoint& originOffset, bool evenOdd) = 0;
};

class QRVOffscreenContext : public QRVDrawContext {
 public:
  virtual void retain() = 0;
  virtual void release() = 0;
  virtual void setOrigin(const QRVPoint& origin) = 0;
  virtual void copyTo(QRVDrawContext* context, const QRVRect& dest) = 0;
  virtual QRVBitmap* getBitmap() = 0;
};

// Drawn by a container after its children; owned by the container.
class QRVOverlayPainter {
 public:
  virtual ~QRVOverlayPainter() {}
  virtual void draw(QRVDrawContext* context) = 0;
};

class QRVViewContainer {
 public:
  virtual ~QRVViewContainer() {}
  virtual void setViewSize(const QRVRect& rect) = 0;
  virtual QRVRect getViewSize() = 0;
  virtual void setBackground(QRVBitmap* bitmap) = 0;
  virtual void setBackgroundById(int resourceId) = 0;
  virtual void setBackgroundColor(QRVColor color) = 0;
  virtual void setTintColor(QRVColor color) = 0;
  virtual void setVisible(bool visible) = 0;  // pass-through to the toolkit container
  virtual bool isVisible() = 0;                // pass-through to the toolkit container
  virtual void setMouseableArea(const QRVRect& rect) = 0;
  virtual bool isAttached() = 0;
  virtual void setContinuousRedraw(bool on) = 0;
  virtual bool addContainer(QRVViewContainer* container) = 0;
  virtual bool addControl(QRVBaseControl* control) = 0;
  virtual bool removeContainer(QRVViewContainer* container) = 0;
  virtual bool removeControl(QRVBaseControl* control) = 0;
  virtual int getTagAt(const QRVPoint& where, bool deep) = 0;
  virtual bool containsContainer(QRVViewContainer* container, bool deep) = 0;
  virtual bool containsControl(QRVBaseControl* control, bool deep) = 0;
  virtual void setOverlayPainter(QRVOverlayPainter* painter) = 0;
};

// The toolkit object that stands for a control on screen.
class QRVEngineView {
 public:
  virtual ~QRVEngineView() {}
  virtual void invalid() = 0;
  virtual void valueChanged() = 0;
  virtual void setTooltip(const char* text) = 0;
  virtual void setHint(const char* text) = 0;
  virtual void setBackColor(QRVColor color) = 0;
  virtual void setValue(double value) = 0;
  virtual void setViewSize(const QRVRect& rect) = 0;
  virtual bool isAttached() = 0;
  virtual QRVOffscreenContext* createOffscreenContext(double width, double height, double scaleFactor) = 0;
  virtual void setTag(int tag) = 0;
  virtual int getTag() = 0;
  virtual void setMouseableArea(const QRVRect& rect) = 0;
  // Repaints part of the view at the next idle: rect in the coordinates of the control's container.
  virtual void invalidRect(const QRVRect& rect) = 0;
};

class QRVEngineTextEdit : public QRVEngineView {
 public:
  virtual void setText(const char* text) = 0;
  virtual const char* getText() = 0;
  virtual void setFont(QRVFont* font) = 0;
  virtual void setFontColor(QRVColor color) = 0;
  virtual void takeFocus() = 0;
  virtual void reserved18() = 0;
  virtual std::uint8_t getFlag() = 0;
  virtual void setExtraColor1(QRVColor color) = 0;
  virtual void setExtraColor2(QRVColor color) = 0;
  virtual void setExtraColor3(QRVColor color) = 0;
  virtual void setExtraColor4(QRVColor color) = 0;
  virtual void setPrecision(float digits) = 0;
  virtual void setRange(double minimum, double maximum) = 0;
  virtual void setWheelSteps(int steps) = 0;
  virtual void setStyle(unsigned bits) = 0;
  virtual void setFlag(std::uint8_t flag) = 0;
  virtual void setHorizontalAlign(int align) = 0;  // toolkit-internal
  // Shown, dimmed, while the field is empty and not being edited.
  virtual void setPlaceholder(const char* text) = 0;
  // Characters (not bytes) the field takes; typed and set texts are cut between characters.
  virtual void setMaxLength(int characters) = 0;
  // UTF-8 bytes the field takes, besides the character limit.
  virtual void setMaxBytes(int bytes) = 0;
};

class QRVEngineOptionMenu : public QRVEngineView {
 public:
  virtual void addEntry(const char* title, int index, int type) = 0;
  virtual void setEntryTitle(const char* title, int index) = 0;
  virtual void setCurrent(int index) = 0;
  virtual int getCurrent() = 0;
  virtual const char* getEntryTitle(int index) = 0;
  virtual int getEntryCount() = 0;
  virtual bool removeEntry(int index) = 0;
  virtual void openMenu() = 0;
  virtual std::uint8_t getFlag() = 0;
  virtual void popup() = 0;
  virtual void reserved23() = 0;
};

// Implemented by the editor window wrappers; every editor reaches its window through it.
class QRVMasterGraphicalEngine {
 public:
  virtual ~QRVMasterGraphicalEngine() {}
  virtual void setBackground(QRVBitmap* bitmap) = 0;
  virtual void setBackgroundById(int resourceId) = 0;
  virtual void addContainer(QRVViewContainer* container) = 0;
  virtual void removeContainer(QRVViewContainer* container) = 0;
  virtual QRVViewContainer* createViewContainer(const QRVRect& rect) = 0;
  virtual bool containsContainer(QRVViewContainer* container) = 0;
  virtual QRVBitmap* createBitmap(int resourceId, bool flag) = 0;
  virtual void getMousePosition(QRVPoint& where) = 0;
  virtual void getMouseButtons(int& buttons) = 0;
  virtual void setKnobMode(int mode) = 0;
  virtual void parameterChanged(int index, double value) = 0;
  virtual void resizeEditor(int width, int height) = 0;
  virtual void setResizeDeferred(bool deferred) = 0;
  virtual void invalidateAll() = 0;
  virtual void* getUserData() = 0;
  virtual void* getEditor() = 0;
  virtual bool setFramePosition(double x, double y) = 0;
  virtual bool getFramePosition(QRVPoint& where) = 0;
  virtual void controlMouseDown(int tag, int buttons) = 0;
  virtual void attachPresetBar(void* presetBar, void* presetManager, void* controller) = 0;
  virtual void reserved21() = 0;
};

// Process-wide knob mode (0 linear, anything else circular); shared by all instances, GUI thread.
int QRVGetKnobMode();
void QRVSetKnobMode(int mode);
