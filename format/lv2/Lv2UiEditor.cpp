#include "format/lv2/Lv2UiEditor.h"

#include <cmath>
#include <cstring>

#include "dsp/ParameterSet.h"
#include "controller/HostControls.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "gui/toolkit/X11Frame.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "product/warmGlowEditor.h"

namespace qrv::lv2 {
namespace {

// The engine's reading (1 - gain) from the port's dB, the inverse of GainReductionDb.
double ReadingFromDb(float db) {
  if (!std::isfinite(db) || db >= 0.0f) return 0.0;
  return 1.0 - std::pow(10.0, static_cast<double>(db) / 20.0);
}

}  // namespace

double StartingZoom(float hostScaleFactor) {
  double stored = 0.0;
  if (settings::ReadNumber(settings::kSettingZoom, stored)) return settings::ZoomPercentFromSetting(stored) / 100.0;
  if (std::isfinite(hostScaleFactor) && hostScaleFactor > 0.0f) return settings::LimitZoomFactor(hostScaleFactor);
  return 1.0;
}

// A preset load writes every control port between its two markers; room for several such actions
// per idle call, so that the queue does not grow in use.
constexpr std::size_t kQueuedCalls = 256;

Lv2UiEditor::Locked::Locked(Lv2UiEditor& editor) : editor_(editor) {
  lock_.emplace();
  editor_.locked_ = true;
}

Lv2UiEditor::Locked::~Locked() {
  editor_.locked_ = false;
  lock_.reset();
  editor_.Flush();
}

Lv2UiEditor::Lv2UiEditor(const Lv2UiHost& host)
    : host_(host), window_(&CreateProductEditor, Quarrytone::PresetBarEditorFactory()) {
  queue_.reserve(kQueuedCalls);
  window_.setHost(this);
}

Lv2UiEditor::~Lv2UiEditor() {
  {
    const Locked lock(*this);
    window_.close();
  }
  if (host_.instance != nullptr) host_.instance->DetachEditor(this);
}

bool Lv2UiEditor::OpenIn(unsigned long parent, double zoom) {
  if (host_.instance != nullptr) {
    manager_ = host_.instance->AttachEditor(this);
    window_.attachPresetBar(nullptr, manager_, nullptr);
  }
  const Locked lock(*this);
  if (host_.instance != nullptr) restoresSeen_ = host_.instance->RestoreCount();
  if (!window_.open(tk::PlatformType::X11, parent)) return false;
  if (zoom != 1.0) window_.setZoom(zoom);
  Resize(window_.windowWidth(), window_.windowHeight());
  return true;
}

unsigned long Lv2UiEditor::Widget() const {
  const auto* x11 =
      window_.frame() != nullptr ? dynamic_cast<tk::X11PlatformFrame*>(window_.frame()->platform()) : nullptr;
  return x11 != nullptr ? x11->window() : 0;
}

void Lv2UiEditor::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  if (format != 0 || size != sizeof(float) || buffer == nullptr) return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  const Locked lock(*this);
  if (port < hostcontrols::kControlPorts.size()) {
    // Automation, a generic UI or one of our LV2 presets: an external edit for the preset state, so
    // that the bar's modified mark and undo follow it.
    const hostcontrols::ControlPort& p = hostcontrols::kControlPorts[port];
    const double v = hostcontrols::ToNormalised(p, value);
    if (manager_ != nullptr) manager_->ParameterChanged(static_cast<int>(p.slot), v);
    window_.valueChangedByController(static_cast<int>(p.slot), v);
  } else if (port == hostcontrols::kPortGainReduction) {
    window_.valueChangedByController(static_cast<int>(kSlotGainReduction), ReadingFromDb(value));
  }
}

void Lv2UiEditor::Idle() {
  const Locked lock(*this);
  if (host_.instance != nullptr && host_.instance->RestoreCount() != restoresSeen_) {
    restoresSeen_ = host_.instance->RestoreCount();
    window_.valueChangedByController(qrv::kMessageRefreshAll, 0.0);
  }
  tk::X11PlatformFrame::processEvents(0);
}

void Lv2UiEditor::Call(const HostCall& call) {
  if (locked_ || flushing_) {
    queue_.push_back(call);
  } else {
    Send(call);
  }
}

void Lv2UiEditor::Send(const HostCall& call) {
  switch (call.kind) {
    case HostCall::kWrite:
      if (host_.write != nullptr) host_.write(host_.controller, call.port, sizeof call.value, 0, &call.value);
      break;
    case HostCall::kGrab:
    case HostCall::kRelease:
      if (host_.touch != nullptr) host_.touch->touch(host_.touch->handle, call.port, call.kind == HostCall::kGrab);
      break;
    case HostCall::kResize:
      if (host_.resize != nullptr) host_.resize->ui_resize(host_.resize->handle, call.width, call.height);
      break;
  }
}

void Lv2UiEditor::Flush() {
  // A host may call back into the UI from inside one of these calls (a port event, an idle call); what
  // that queues is sent by this loop, behind what was queued before it.
  if (flushing_) return;
  flushing_ = true;
  for (std::size_t i = 0; i < queue_.size(); ++i) {
    const HostCall call = queue_[i];
    Send(call);
  }
  queue_.clear();
  flushing_ = false;
}

void Lv2UiEditor::WritePort(uint32_t port, float value) {
  if (host_.write != nullptr) Call({HostCall::kWrite, port, value, 0, 0});
}

void Lv2UiEditor::Resize(int width, int height) {
  if (host_.resize != nullptr) Call({HostCall::kResize, 0, 0.0f, width, height});
}

void Lv2UiEditor::setValue(int index, double value) {
  if (index >= 0) {
    if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(index))) {
      WritePort(p->port, hostcontrols::FromNormalised(*p, value));
      // The edit reaches the preset state now, whether or not the host echoes the port.
      if (manager_ != nullptr) manager_->ParameterChanged(index, value);
      if (window_.presetBar() != nullptr) window_.presetBar()->parameterNotification(index, value);
      return;
    }
  }
  // Messages (about box, browser) come back to the window as the host binding's echo.
  window_.valueChangedByController(index, value);
}

void Lv2UiEditor::PresetValue(int index, double value) {
  if (index >= 0) {
    if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(index))) {
      WritePort(p->port, hostcontrols::FromNormalised(*p, value));
      // The panel follows at once; the bar reads the preset state when its action is done.
      window_.QRVVSTGUIEditorWrapperV2::valueChangedByController(index, value);
      return;
    }
  }
  window_.valueChangedByController(index, value);
}

void Lv2UiEditor::resizeRequest(int width, int height) {
  if (window_.isOpen() && !window_.isResizeDeferred()) Resize(width, height);
}

void Lv2UiEditor::Touch(int tag, bool grabbed) {
  if (host_.touch == nullptr || tag < 0) return;
  if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(tag))) {
    Call({grabbed ? HostCall::kGrab : HostCall::kRelease, p->port, 0.0f, 0, 0});
  }
}

void Lv2UiEditor::beginEdit(int tag) { Touch(tag, true); }
void Lv2UiEditor::endEdit(int tag) { Touch(tag, false); }

}  // namespace qrv::lv2
