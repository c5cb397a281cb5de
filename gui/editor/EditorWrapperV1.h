// The first layer of the host-independent editor window: the graphics engine over the toolkit, the
// frame with the product editor's container 78 points below its top (room for the preset bar), the
// pointer and button cache, hints after the pointer rests, and a full redraw every 101 idle ticks.
// Everything runs on the host's GUI thread; the idle routine runs once per tick of the shared 33 ms
// timer (IdleUpdate_QRV_Handler).
#pragma once

#include <cstdint>

#include "gui/engine/EditorLayout.h"
#include "gui/backend/QRVFrame.h"
#include "gui/backend/ViewContainerWrapper.h"
#include "gui/editor/QRVEditorHost.h"
#include "gui/engine/QRVGraphics.h"
#include "gui/engine/QRVBaseEditor.h"

namespace Quarrytone {

// Makes the product editor for the window; the window owns it and is its engine.
using ProductEditorFactory = QRVBaseEditor* (*)(QRVMasterGraphicalEngine* engine);

class QRVVSTGUIEditorWrapperV1 : public QRVMasterGraphicalEngine, public tk::IControlListener {
 public:
  static constexpr double kBarHeight = layout::kBarHeight;
  static constexpr int kHintDelayTicks = 26;
  static constexpr int kRedrawTicks = 100;
  // Button bits of a mouse event and the modifier bits kept in the cache.
  static constexpr std::uint32_t kCachedButtonBits = 0x30E;
  static constexpr std::uint32_t kCachedModifierBits = 0xF0;

  explicit QRVVSTGUIEditorWrapperV1(ProductEditorFactory factory);
  ~QRVVSTGUIEditorWrapperV1() override;
  QRVVSTGUIEditorWrapperV1(const QRVVSTGUIEditorWrapperV1&) = delete;
  QRVVSTGUIEditorWrapperV1& operator=(const QRVVSTGUIEditorWrapperV1&) = delete;

  // Opens the window: headless, or an X11 window inside parent (0: a top-level window). False when
  // no window could be made or it is open already.
  virtual bool open(tk::PlatformType type, unsigned long parent = 0);
  virtual void close();
  bool isOpen() const { return frame_ != nullptr; }
  // One tick of the shared idle timer.
  virtual void idle();
  // A parameter or message index from the controller side.
  virtual void valueChangedByController(int index, double value);

  // ---- QRVMasterGraphicalEngine
  void setBackground(QRVBitmap* bitmap) override;
  void setBackgroundById(int resourceId) override;
  void addContainer(QRVViewContainer* container) override;
  void removeContainer(QRVViewContainer* container) override;
  QRVViewContainer* createViewContainer(const QRVRect& rect) override;
  bool containsContainer(QRVViewContainer* container) override;
  QRVBitmap* createBitmap(int resourceId, bool flag) override;
  void getMousePosition(QRVPoint& where) override;
  void getMouseButtons(int& buttons) override;
  void setKnobMode(int mode) override;
  // Hands the value to the host binding (setHost); nothing without one.
  void parameterChanged(int index, double value) override;
  void resizeEditor(int width, int height) override;
  void setResizeDeferred(bool deferred) override;
  void invalidateAll() override;
  void* getUserData() override { return userData_; }
  void* getEditor() override { return editor_; }
  bool setFramePosition(double x, double y) override;
  bool getFramePosition(QRVPoint& where) override;
  void controlMouseDown(int, int) override {}
  void attachPresetBar(void*, void*, void*) override {}
  void reserved21() override {}

  // ---- tk::IControlListener: controls of the window report here; grabs and releases go to the host.
  void valueChanged(tk::Control* control) override;
  void controlBeginEdit(tk::Control* control) override;
  void controlEndEdit(tk::Control* control) override;

  // The host binding the window reports to (null: none); the binding outlives the window's use of it.
  void setHost(QRVEditorHost* host) { host_ = host; }
  QRVEditorHost* host() const { return host_; }

  void setUserData(void* data) { userData_ = data; }
  QRVFrame* frame() const { return frame_; }
  QRVBaseEditor* productEditor() const { return editor_; }
  CQRVViewContainerWrapper* editorContainer() const { return editorContainer_; }
  bool isResizeDeferred() const { return resizeDeferred_; }
  bool hintShown() const { return hintShown_; }
  int hintsCopy() const { return hintsCopy_; }
  // Pointer position cached at the last tick, in window layout points.
  QRVPoint cachedPosition() const { return position_; }

 protected:
  // The pointer in window layout points: the dispatched event's position while one is dispatched.
  QRVPoint windowPointer() const;
  virtual void hintsFlagChanged(int flag);
  void updateHints();

  QRVBaseEditor* editor_;
  QRVEditorHost* host_ = nullptr;
  QRVFrame* frame_ = nullptr;
  CQRVViewContainerWrapper* editorContainer_ = nullptr;
  void* userData_ = nullptr;

  QRVPoint position_{-1, -1};
  std::uint32_t buttons_ = 0;
  bool inputSeen_ = false;

  bool hintShown_ = false;
  int restTicks_ = 0;
  int hintDelay_ = kHintDelayTicks;
  int hintsCopy_ = 1;
  tk::View* hintView_ = nullptr;
  QRVPoint hintPosition_{-1, -1};

  bool resizeDeferred_ = false;
  int deferredWidth_ = 0;
  int deferredHeight_ = 0;
  int redrawCountdown_ = kRedrawTicks;
  // Window layout points per device pixel (1 / effective zoom).
  double pointerFactor_ = 1.0;
};

}  // namespace Quarrytone
