#include "format/vst3/Vst3View.h"

#include <cstdint>
#include <cstring>

#include "dsp/ParameterSet.h"
#include "format/vst3/Vst3Params.h"
#include "format/vst3/Vst3Plugin.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "platform/ProductFacts.h"
#include "product/warmGlowEditor.h"

namespace qrv::vst3 {

using namespace abi;

// The controller's view factory lives with the view, so that the audio side builds without the editor.
IPlugView* Vst3Plugin::createView(FIDString name) {
  if (name == nullptr || std::strcmp(name, kEditor) != 0) return nullptr;
  try {
    return new Vst3View(*this);
  } catch (...) {
    return nullptr;
  }
}

Vst3View::Vst3View(Vst3Plugin& plugin)
    : plugin_(plugin), session_(&CreateProductEditor, Quarrytone::PresetBarEditorFactory(), *this) {
  plugin_.addRef();
}

Vst3View::~Vst3View() {
  if (session_.IsOpen()) removed();
  plugin_.release();
}

tresult Vst3View::queryInterface(const TUID id, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  *obj = nullptr;
  if (SameUid(id, FUnknown::iid) || SameUid(id, IPlugView::iid)) {
    *obj = static_cast<IPlugView*>(this);
  } else if (SameUid(id, IPlugViewContentScaleSupport::iid)) {
    *obj = static_cast<IPlugViewContentScaleSupport*>(this);
  } else if (SameUid(id, Linux::IEventHandler::iid)) {
    *obj = static_cast<Linux::IEventHandler*>(this);
  } else if (SameUid(id, Linux::ITimerHandler::iid)) {
    *obj = static_cast<Linux::ITimerHandler*>(this);
  } else {
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32_t Vst3View::addRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32_t Vst3View::release() {
  const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

tresult Vst3View::isPlatformTypeSupported(FIDString type) {
  return type != nullptr && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0 ? kResultTrue : kResultFalse;
}

tresult Vst3View::attached(void* parent, FIDString type) {
  if (session_.IsOpen()) return kResultFalse;  // attached already
  if (parent == nullptr || isPlatformTypeSupported(type) != kResultTrue) return kInvalidArgument;
  try {
    session_.AttachPresets(plugin_.state().AttachEditor(&session_));
    session_.RestoreCount(plugin_.LoadCount());
    if (!session_.Open(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent)))) {
      plugin_.state().DetachEditor(&session_);
      return kResultFalse;  // no X display
    }
    for (unsigned slot : kControlSlots) session_.ShowValue(static_cast<int>(slot), plugin_.EngineValue(slot));
    Register();
    return kResultOk;
  } catch (...) {
    Unregister();
    plugin_.state().DetachEditor(&session_);
    session_.Close();
    return kResultFalse;
  }
}

// The run loop idles the window; without one it only shows what it drew first.
void Vst3View::Register() {
  if (runLoop_ || !session_.IsOpen()) return;
  runLoop_ = QueryInterface<Linux::IRunLoop>(frame_.get());
  if (!runLoop_) return;
  const int fd = Quarrytone::EditorSession::ConnectionFd();
  if (fd >= 0 && runLoop_->registerEventHandler(static_cast<Linux::IEventHandler*>(this), fd) == kResultOk) fd_ = fd;
  timer_ = runLoop_->registerTimer(static_cast<Linux::ITimerHandler*>(this), product::kIdlePeriodMs) == kResultOk;
}

void Vst3View::Unregister() {
  if (runLoop_) {
    if (fd_ >= 0) runLoop_->unregisterEventHandler(static_cast<Linux::IEventHandler*>(this));
    if (timer_) runLoop_->unregisterTimer(static_cast<Linux::ITimerHandler*>(this));
  }
  fd_ = -1;
  timer_ = false;
  runLoop_.Reset();
}

tresult Vst3View::removed() {
  if (!session_.IsOpen()) return kResultFalse;  // never attached
  Unregister();
  SendEdits();
  plugin_.state().DetachEditor(&session_);
  session_.Close();
  return kResultOk;
}

tresult Vst3View::getSize(ViewRect* size) {
  if (size == nullptr) return kInvalidArgument;
  const Quarrytone::layout::PixelSize s = session_.Size();
  *size = ViewRect{0, 0, static_cast<int32_t>(s.width), static_cast<int32_t>(s.height)};
  return kResultOk;
}

// The window keeps the size its zoom gives it.
tresult Vst3View::onSize(ViewRect* newSize) {
  if (newSize == nullptr) return kInvalidArgument;
  const Quarrytone::layout::PixelSize s = session_.Size();
  return newSize->right - newSize->left == static_cast<int32_t>(s.width) &&
                 newSize->bottom - newSize->top == static_cast<int32_t>(s.height)
             ? kResultOk
             : kResultFalse;
}

tresult Vst3View::checkSizeConstraint(ViewRect* rect) {
  if (rect == nullptr) return kInvalidArgument;
  const Quarrytone::layout::PixelSize s = session_.Size();
  rect->right = rect->left + static_cast<int32_t>(s.width);
  rect->bottom = rect->top + static_cast<int32_t>(s.height);
  return kResultOk;
}

// A host that hands its frame over only after attaching still gets the window idled.
tresult Vst3View::setFrame(IPlugFrame* frame) {
  frame_ = Ref<IPlugFrame>::Share(frame);
  Register();
  return kResultOk;
}

tresult Vst3View::setContentScaleFactor(ScaleFactor factor) {
  return session_.SetScale(static_cast<double>(factor)) ? kResultOk : kResultFalse;
}

void Vst3View::onFDIsSet(Linux::FileDescriptor fd) {
  if (fd_ >= 0 && fd == fd_) Idle();
}

void Vst3View::onTimer() { Idle(); }

void Vst3View::Idle() {
  if (!session_.IsOpen()) return;
  session_.RestoreCount(plugin_.LoadCount());
  // Host automation, a generic editor or a program change.
  for (unsigned slot : kControlSlots) session_.HostValue(static_cast<int>(slot), plugin_.EngineValue(slot));
  session_.Meter(plugin_.MeterReading());
  session_.Idle();
  SendEdits();
}

void Vst3View::SendEdits() {
  IComponentHandler* handler = plugin_.handler();
  // Moved out first: the host may call back into the view.
  std::vector<Edit> edits;
  edits.swap(edits_);
  if (handler == nullptr) return;
  for (const Edit& e : edits) {
    switch (e.type) {
      case EditType::kBegin: handler->beginEdit(e.id); break;
      case EditType::kValue: handler->performEdit(e.id, e.value); break;
      case EditType::kEnd: handler->endEdit(e.id); break;
      case EditType::kLatency: handler->restartComponent(kLatencyChanged); break;
    }
  }
}

void Vst3View::beginEdit(int tag) {
  if (tag < 0) return;
  if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(tag)))
    edits_.push_back({EditType::kBegin, p->port, 0.0});
}

void Vst3View::endEdit(int tag) {
  if (tag < 0) return;
  if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(tag)))
    edits_.push_back({EditType::kEnd, p->port, 0.0});
}

void Vst3View::setValue(int index, double value) {
  if (index < 0) return;
  const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(index));
  if (p == nullptr) return;
  plugin_.EditValue(p->slot, value);
  edits_.push_back({EditType::kValue, p->port, HostValue(*p, value)});
}

int Vst3View::highQuality() { return plugin_.HighQuality() ? 1 : 0; }

void Vst3View::setHighQuality(bool on) {
  const bool restart = plugin_.SwitchHighQuality(on);
  edits_.push_back({EditType::kBegin, kParamHighQuality, 0.0});
  edits_.push_back({EditType::kValue, kParamHighQuality, on ? 1.0 : 0.0});
  edits_.push_back({EditType::kEnd, kParamHighQuality, 0.0});
  if (restart) edits_.push_back({EditType::kLatency, kParamHighQuality, 0.0});
}

void Vst3View::resizeRequest(int width, int height) {
  if (!frame_) return;
  ViewRect rect{0, 0, width, height};
  frame_->resizeView(static_cast<IPlugView*>(this), &rect);
}

}  // namespace qrv::vst3
