#include "gui/editor/EditorWrapperV1.h"

#include <cmath>
#include <string>
#include <vector>

#include "gui/backend/ControlPeers.h"
#include "gui/backend/Resources.h"
#include "presets/SettingsStore.h"

namespace Quarrytone {
namespace {

constexpr std::uint32_t kPointerButtons = kQRVLButton | kQRVMButton | kQRVRButton;

// The 'QRhA' hint text of a view; "" when it has none.
std::string HintText(const tk::View* view) {
  std::size_t size = 0;
  if (!view->getAttributeSize(kHintAttribute, size) || size == 0) return {};
  std::vector<char> text(size + 1, '\0');
  std::size_t got = 0;
  if (!view->getAttribute(kHintAttribute, size, text.data(), got)) return {};
  return std::string(text.data());
}

}  // namespace

QRVVSTGUIEditorWrapperV1::QRVVSTGUIEditorWrapperV1(ProductEditorFactory factory)
    : editor_(factory ? factory(this) : nullptr) {}

QRVVSTGUIEditorWrapperV1::~QRVVSTGUIEditorWrapperV1() {
  // Only this layer's part can be torn down here; derived layers close in their own destructors.
  QRVVSTGUIEditorWrapperV1::close();
  delete editor_;
}

bool QRVVSTGUIEditorWrapperV1::open(tk::PlatformType type, unsigned long parent) {
  if (frame_ || !editor_) return false;
  // A resize deferred by the last close must not outlive it: buttons would read 0, hints would stop and
  // every resize would only be recorded.
  resizeDeferred_ = false;
  deferredWidth_ = deferredHeight_ = 0;
  const double w = editor_->width(), h = editor_->height();
  frame_ = new QRVFrame(tk::Rect{0, 0, w, h + kBarHeight});
  if (!frame_->open(type, parent)) {
    frame_->forget();
    frame_ = nullptr;
    return false;
  }
  editorContainer_ = new CQRVViewContainerWrapper(this, this, QRVRect{0, kBarHeight, w, h + kBarHeight});
  editorContainer_->attachTo(frame_);
  position_ = hintPosition_ = QRVPoint{-1, -1};
  buttons_ = 0;
  inputSeen_ = false;
  hintShown_ = false;
  restTicks_ = 0;
  hintView_ = nullptr;
  redrawCountdown_ = kRedrawTicks;
  pointerFactor_ = 1.0;
  editor_->Open();
  return true;
}

void QRVVSTGUIEditorWrapperV1::close() {
  if (!frame_) return;
  if (editor_) editor_->Close();
  frame_->hideTooltip();
  // The product editor's container and everything in it go with the frame's views.
  frame_->removeAll();
  editorContainer_ = nullptr;
  frame_->close();
  frame_->forget();
  frame_ = nullptr;
  hintView_ = nullptr;
  hintShown_ = false;
}

void QRVVSTGUIEditorWrapperV1::valueChangedByController(int index, double value) {
  if (editor_) editor_->ControllerValueChanged(index, value);
}

void QRVVSTGUIEditorWrapperV1::valueChanged(tk::Control* control) {
  if (editor_ && control) editor_->ControlValueChanged(control->getTag(), control->getValue());
}

void QRVVSTGUIEditorWrapperV1::controlBeginEdit(tk::Control* control) {
  if (host_ && control) host_->beginEdit(control->getTag());
}

void QRVVSTGUIEditorWrapperV1::controlEndEdit(tk::Control* control) {
  if (host_ && control) host_->endEdit(control->getTag());
}

void QRVVSTGUIEditorWrapperV1::parameterChanged(int index, double value) {
  if (host_) host_->setValue(index, value);
}

void QRVVSTGUIEditorWrapperV1::hintsFlagChanged(int flag) {
  hintsCopy_ = flag;
  valueChangedByController(qrv::settings::kSettingHints, flag);
}

void QRVVSTGUIEditorWrapperV1::idle() {
  if (!frame_) return;
  const tk::Point last = frame_->getLastMousePosition();
  // Already in layout points: the frame converts device pixels when the event arrives.
  position_ = QRVPoint{last.x, last.y};
  const std::uint32_t held = frame_->platform() ? frame_->platform()->heldButtons() : 0;
  buttons_ =
      ((frame_->storedButtons() & kCachedButtonBits) | (frame_->getCurrentModifiers() & kCachedModifierBits)) & held;
  inputSeen_ = frame_->takeInputSeen();

  if (editor_) editor_->Idle();
  if (!frame_) return;  // the editor may close the window from its idle

  const int flag = qrv::settings::ProcessHints();
  if (flag != hintsCopy_) hintsFlagChanged(flag);

  if (!resizeDeferred_) updateHints();
  hintPosition_ = position_;

  if (--redrawCountdown_ < 0) {
    invalidateAll();
    redrawCountdown_ = kRedrawTicks;
  }
}

void QRVVSTGUIEditorWrapperV1::updateHints() {
  tk::View* view = frame_->getViewAt(tk::Point{position_.x, position_.y}, true);
  // More than one device pixel of movement counts; position_ is in layout points.
  const bool moved = std::abs(position_.x - hintPosition_.x) > pointerFactor_ ||
                     std::abs(position_.y - hintPosition_.y) > pointerFactor_;
  if ((buttons_ & kPointerButtons) || moved || inputSeen_ || view != hintView_) {
    if (hintShown_) frame_->hideTooltip();
    hintShown_ = false;
    restTicks_ = 0;
  } else if (++restTicks_ == hintDelay_ && view) {
    const std::string text = hintsCopy_ ? view->getTooltipText() : HintText(view);
    if (!text.empty()) {
      frame_->showTooltip(tk::Point{position_.x, position_.y}, text);
      hintShown_ = true;
    }
  }
  hintView_ = view;
}

QRVPoint QRVVSTGUIEditorWrapperV1::windowPointer() const {
  // A handler asking during a press must see that press, not the position of the last tick.
  if (frame_ && frame_->isDispatchingMouse()) {
    const tk::Point p = frame_->getLastMousePosition();
    return QRVPoint{p.x, p.y};
  }
  return position_;
}

void QRVVSTGUIEditorWrapperV1::getMousePosition(QRVPoint& where) { where = windowPointer(); }

void QRVVSTGUIEditorWrapperV1::getMouseButtons(int& buttons) {
  const QRVPoint p = windowPointer();
  const bool over = frame_ && frame_->getViewSize().contains(tk::Point{p.x, p.y});
  // Like the position: during a dispatch the event's own buttons, not those of the last tick.
  const std::uint32_t held = frame_ && frame_->isDispatchingMouse() ? frame_->getLastButtons() : buttons_;
  buttons = (!over || resizeDeferred_) ? 0 : static_cast<int>(held & kQRVButtonMask);
}

void QRVVSTGUIEditorWrapperV1::setBackground(QRVBitmap* bitmap) {
  if (editorContainer_) editorContainer_->setBackground(bitmap);
}

void QRVVSTGUIEditorWrapperV1::setBackgroundById(int resourceId) {
  if (editorContainer_) editorContainer_->setBackgroundById(resourceId);
}

void QRVVSTGUIEditorWrapperV1::addContainer(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  if (!w || !frame_) return;
  if (w->isFrameLevel())
    w->attachTo(frame_);
  else if (editorContainer_)
    editorContainer_->addContainer(w);
}

void QRVVSTGUIEditorWrapperV1::removeContainer(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  if (!w || !frame_) return;
  if (w->isFrameLevel())
    w->detachFrom(frame_);
  else if (editorContainer_)
    editorContainer_->removeContainer(w);
}

QRVViewContainer* QRVVSTGUIEditorWrapperV1::createViewContainer(const QRVRect& rect) {
  if (!frame_) return nullptr;
  return new CQRVViewContainerWrapper(this, this, rect);
}

bool QRVVSTGUIEditorWrapperV1::containsContainer(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  return frame_ && w && w->container() && frame_->isChild(w->container(), true);
}

QRVBitmap* QRVVSTGUIEditorWrapperV1::createBitmap(int resourceId, bool flag) {
  if (flag) return nullptr;
  return new CQRVBitmapWrapper(resourceId, false);
}

void QRVVSTGUIEditorWrapperV1::setKnobMode(int mode) { QRVSetKnobMode(mode); }

void QRVVSTGUIEditorWrapperV1::resizeEditor(int width, int height) {
  if (resizeDeferred_) {
    deferredWidth_ = width;
    deferredHeight_ = height;
    return;
  }
  if (!frame_) return;
  frame_->setSize(width, height + kBarHeight);
  if (editorContainer_) editorContainer_->setViewSize(QRVRect{0, kBarHeight, double(width), height + kBarHeight});
  frame_->invalid();
}

void QRVVSTGUIEditorWrapperV1::setResizeDeferred(bool deferred) {
  if (deferred) {
    deferredWidth_ = deferredHeight_ = 0;
    resizeDeferred_ = true;
    return;
  }
  resizeDeferred_ = false;
  if (deferredWidth_ > 0 && deferredHeight_ > 0) {
    const int w = deferredWidth_, h = deferredHeight_;
    deferredWidth_ = deferredHeight_ = 0;
    resizeEditor(w, h);
  }
}

void QRVVSTGUIEditorWrapperV1::invalidateAll() {
  if (frame_) frame_->invalid();
}

bool QRVVSTGUIEditorWrapperV1::setFramePosition(double x, double y) {
  return frame_ && frame_->platform() && frame_->platform()->setPosition(x, y);
}

bool QRVVSTGUIEditorWrapperV1::getFramePosition(QRVPoint& where) {
  tk::Point p;
  if (!frame_ || !frame_->platform() || !frame_->platform()->getGlobalPosition(p)) return false;
  where = QRVPoint{p.x, p.y};
  return true;
}

}  // namespace Quarrytone
