#include "format/jack/LiveEditor.h"

#include "dsp/ParameterSet.h"
#include "format/jack/LiveEngine.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "product/warmGlowEditor.h"

namespace qrv::jack {

LiveEditor::LiveEditor(InstancePresets& presets, InstanceValues& values, LiveEngine& engine)
    : presets_(presets),
      values_(values),
      engine_(engine),
      session_(&CreateProductEditor, Quarrytone::PresetBarEditorFactory(), *this) {}

LiveEditor::~LiveEditor() {
  presets_.DetachEditor(&session_);
  session_.Close();
}

bool LiveEditor::DisplayAvailable() { return Quarrytone::EditorSession::DisplayAvailable(); }

bool LiveEditor::Open(const std::string& title) {
  if (session_.IsOpen()) return false;
  session_.AttachPresets(presets_.AttachEditor(&session_));
  // At the zoom the user chose last, in any of the plug-ins or here.
  if (!session_.Open(0)) return false;
  session_.SetTitle(title);
  session_.OnCloseRequest([this] { closeRequested_ = true; });
  for (unsigned slot : kControlSlots)
    session_.ShowValue(static_cast<int>(slot), values_[slot].load(std::memory_order_relaxed));
  return true;
}

void LiveEditor::Idle(int timeoutMs) {
  if (!session_.IsOpen()) return;
  session_.Meter(engine_.MeterReading());
  session_.Idle(timeoutMs);
}

int LiveEditor::highQuality() { return engine_.highQuality() ? 1 : 0; }

void LiveEditor::setHighQuality(bool on) { engine_.SetHighQuality(on); }

void LiveEditor::setValue(int index, double value) {
  if (index >= 0 && index < static_cast<int>(values_.size()))
    values_[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
}

}  // namespace qrv::jack
