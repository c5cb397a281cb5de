#include "format/lv2/Lv2UiEditor.h"

#include <cmath>
#include <cstring>

#include "controller/HostControls.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "product/warmGlowEditor.h"

namespace qrv::lv2 {
namespace {

// The engine's reading (1 - gain) from the port's dB, the inverse of GainReductionDb.
double ReadingFromDb(float db) {
  if (!std::isfinite(db) || db >= 0.0f) return 0.0;
  return 1.0 - std::pow(10.0, static_cast<double>(db) / 20.0);
}

}  // namespace

double StartingZoom(float hostScaleFactor) { return Quarrytone::EditorSession::StartingZoom(hostScaleFactor); }

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
    : host_(host), session_(&CreateProductEditor, Quarrytone::PresetBarEditorFactory(), *this) {
  queue_.reserve(kQueuedCalls);
}

Lv2UiEditor::~Lv2UiEditor() {
  {
    const Locked lock(*this);
    session_.Close();
  }
  if (host_.instance != nullptr) host_.instance->DetachEditor(&session_);
}

bool Lv2UiEditor::OpenIn(unsigned long parent, double zoom) {
  if (host_.instance != nullptr) session_.AttachPresets(host_.instance->AttachEditor(&session_));
  const Locked lock(*this);
  if (host_.instance != nullptr) session_.RestoreCount(host_.instance->RestoreCount());
  session_.SetScale(zoom);
  return session_.Open(parent);
}

unsigned long Lv2UiEditor::Widget() const { return session_.Widget(); }

void Lv2UiEditor::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  if (format != 0 || size != sizeof(float) || buffer == nullptr) return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  const Locked lock(*this);
  if (port < hostcontrols::kControlPorts.size()) {
    // Automation, a generic UI or one of our LV2 presets.
    const hostcontrols::ControlPort& p = hostcontrols::kControlPorts[port];
    session_.HostValue(static_cast<int>(p.slot), hostcontrols::ToNormalised(p, value));
  } else if (port == hostcontrols::kPortGainReduction) {
    session_.Meter(ReadingFromDb(value));
  }
}

void Lv2UiEditor::Idle() {
  const Locked lock(*this);
  if (host_.instance != nullptr) session_.RestoreCount(host_.instance->RestoreCount());
  session_.Idle();
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

void Lv2UiEditor::setValue(int index, double value) {
  if (index < 0) return;
  if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(index)))
    WritePort(p->port, hostcontrols::FromNormalised(*p, value));
}

void Lv2UiEditor::resizeRequest(int width, int height) {
  if (host_.resize != nullptr) Call({HostCall::kResize, 0, 0.0f, width, height});
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
