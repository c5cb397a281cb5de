#include "gui/editor/EditorWrapperV4.h"

#include <cmath>

#include "dsp/ParameterSet.h"
#include "gui/backend/Convert.h"
#include "presets/SettingsStore.h"

namespace Quarrytone {

QRVVSTGUIEditorWrapperV4_PresetBar::QRVVSTGUIEditorWrapperV4_PresetBar(ProductEditorFactory factory,
                                                                       QRVPresetBarFactory barFactory)
    : QRVVSTGUIEditorWrapperV2(factory), barFactory_(std::move(barFactory)) {}

QRVVSTGUIEditorWrapperV4_PresetBar::~QRVVSTGUIEditorWrapperV4_PresetBar() {
  QRVVSTGUIEditorWrapperV4_PresetBar::close();
}

bool QRVVSTGUIEditorWrapperV4_PresetBar::open(tk::PlatformType type, unsigned long parent) {
  if (!QRVVSTGUIEditorWrapperV2::open(type, parent)) return false;
  // What the bar does not cover shows its colour; without a bar that is the whole bar area. So does
  // whatever room a host gives beyond the window's size.
  frame_->setBackgroundColor(ToTk(kBarBackground));
  if (frame_->platform()) frame_->platform()->setBackground(ToTk(kBarBackground));
  if (zoom_ != 1.0) setZoom(zoom_);
  if (barFactory_) {
    bar_ = barFactory_(QRVPresetBarContext{this, presetManager_, controller_});
    if (bar_ && editor_) bar_->build(editor_->width(), editor_->height());
  }
  return true;
}

void QRVVSTGUIEditorWrapperV4_PresetBar::close() {
  if (!frame_) return;
  setResizeDeferred(true);
  // The bar goes while the window still stands, so that it can tell the overlays it holds outside the
  // window (its own to delete) from those inside (the window's).
  bar_.reset();
  QRVVSTGUIEditorWrapperV2::close();
}

void QRVVSTGUIEditorWrapperV4_PresetBar::idle() {
  QRVVSTGUIEditorWrapperV2::idle();
  if (frame_ && bar_) bar_->idleTick();
}

void QRVVSTGUIEditorWrapperV4_PresetBar::valueChangedByController(int index, double value) {
  QRVVSTGUIEditorWrapperV2::valueChangedByController(index, value);
  if (bar_) bar_->parameterNotification(index, value);
}

void QRVVSTGUIEditorWrapperV4_PresetBar::valueChanged(tk::Control* control) {
  if (!control) return;
  if (bar_ && control->getTag() >= static_cast<int>(qrv::kParameterCount)) {
    bar_->controlEvent(control->getTag(), control->getValue());
    return;
  }
  QRVVSTGUIEditorWrapperV2::valueChanged(control);
}

void QRVVSTGUIEditorWrapperV4_PresetBar::getMousePosition(QRVPoint& where) {
  QRVVSTGUIEditorWrapperV2::getMousePosition(where);
  where.y -= kBarHeight;
}

void QRVVSTGUIEditorWrapperV4_PresetBar::resizeEditor(int width, int height) {
  fitWindow(width, height);
  if (host_) host_->resizeRequest(windowWidth(), windowHeight());
}

void QRVVSTGUIEditorWrapperV4_PresetBar::fitWindow(int width, int height) {
  if (zooming_) {
    // The zoom has set the frame's layout size and scale; the window takes the requested pixels.
    if (frame_ && frame_->platform()) frame_->platform()->setSize(width, height);
    setWindowSize(width, height);
    return;
  }
  if (resizeDeferred_ || !frame_) {
    QRVVSTGUIEditorWrapperV2::resizeEditor(width, height);
    return;
  }
  const double full = height + kBarHeight;
  frame_->setSize(width, full);
  const layout::PixelSize pixels = layout::WindowPixelSize(width, height, zoom_);
  if (frame_->platform()) frame_->platform()->setSize(pixels.width, pixels.height);
  setWindowSize(pixels.width, pixels.height);
  if (editorContainer_) editorContainer_->setViewSize(QRVRect{0, kBarHeight, double(width), full});
  frame_->invalid();
  if (bar_) bar_->resize(width, height);
}

void QRVVSTGUIEditorWrapperV4_PresetBar::setZoom(double factor) {
  if (!frame_ || !editor_) return;
  const double z = QRVFrame::ClampZoom(factor);
  const double width = editor_->width(), full = editor_->height() + kBarHeight;
  frame_->setSize(width, full);
  zoom_ = z;
  // The scaled height is a whole number of pixels.
  effectiveZoom_ = QRVFrame::ClampZoom(std::trunc(full * z) / full);
  frame_->zoom(effectiveZoom_);
  zooming_ = true;
  pointerFactor_ = 1.0 / effectiveZoom_;
  const layout::PixelSize pixels = layout::WindowPixelSize(width, editor_->height(), z);
  resizeEditor(pixels.width, pixels.height);
  zooming_ = false;
  frame_->invalid();
}

void QRVVSTGUIEditorWrapperV4_PresetBar::attachPresetBar(void*, void* presetManager, void* controller) {
  presetManager_ = presetManager;
  controller_ = controller;
}

QRVViewContainer* QRVVSTGUIEditorWrapperV4_PresetBar::createOverlayContainer(const QRVRect& rect) {
  if (!frame_) return nullptr;
  return new CQRVViewContainerWrapper(this, this, rect, true);
}

bool QRVVSTGUIEditorWrapperV4_PresetBar::addOverlay(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  return frame_ && w && w->isFrameLevel() && w->attachTo(frame_);
}

bool QRVVSTGUIEditorWrapperV4_PresetBar::removeOverlay(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  return frame_ && w && w->isFrameLevel() && w->detachFrom(frame_);
}

int QRVVSTGUIEditorWrapperV4_PresetBar::mouseButtons() {
  // Unlike getMouseButtons, a button held outside the window counts: a corner drag that enlarges
  // the window runs ahead of it between two ticks.
  if (!frame_ || resizeDeferred_) return 0;
  const std::uint32_t held = frame_->isDispatchingMouse() ? frame_->getLastButtons() : buttons_;
  return static_cast<int>(held & kQRVButtonMask);
}

bool QRVVSTGUIEditorWrapperV4_PresetBar::dispatchingReturn() {
  if (!frame_ || !frame_->isDispatchingKey()) return false;
  const tk::VirtualKey key = frame_->dispatchedKey();
  return key == tk::VirtualKey::Return || key == tk::VirtualKey::Enter;
}

void QRVVSTGUIEditorWrapperV4_PresetBar::setHintsFlag(int flag) {
  qrv::settings::SetProcessHints(flag);
  // Stored now rather than when the instance closes: a host that crashes keeps the user's choice.
  qrv::settings::SaveHints();
  hintsCopy_ = flag != 0 ? 1 : 0;
}

void QRVVSTGUIEditorWrapperV4_PresetBar::notifyEditor(int index, double value) {
  if (editor_) editor_->ControllerValueChanged(index, value);
}

}  // namespace Quarrytone
