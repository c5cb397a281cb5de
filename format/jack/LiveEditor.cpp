#include "format/jack/LiveEditor.h"

#include "dsp/ParameterSet.h"
#include "format/jack/LiveEngine.h"
#include "gui/editor/EditorResources.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "gui/toolkit/X11Frame.h"
#include "presets/IndexTable.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "product/warmGlowEditor.h"

namespace qrv::jack {

LiveEditor::LiveEditor(InstancePresets& presets, InstanceValues& values, const LiveEngine& engine)
    : presets_(presets),
      values_(values),
      engine_(engine),
      window_(&CreateProductEditor, Quarrytone::PresetBarEditorFactory()) {
  Quarrytone::InitializeEditorResources();
  window_.setHost(this);
}

LiveEditor::~LiveEditor() {
  presets_.DetachEditor(this);
  window_.close();
  Quarrytone::ShutdownEditorResources();
}

bool LiveEditor::DisplayAvailable() {
  tk::X11PlatformFrame::retainConnection();
  const bool open = tk::X11PlatformFrame::connectionFd() >= 0;
  tk::X11PlatformFrame::releaseConnection();
  return open;
}

bool LiveEditor::Open(const std::string& title) {
  if (window_.isOpen()) return false;
  manager_ = presets_.AttachEditor(this);
  window_.attachPresetBar(nullptr, manager_, nullptr);
  if (!window_.open(tk::PlatformType::X11, 0)) return false;
  auto* platform = static_cast<tk::X11PlatformFrame*>(window_.frame()->platform());
  platform->setTitle(title);
  platform->setCloseHandler([this] { closeRequested_ = true; });
  // No focus-on-click grab: that grab would hold the pointer at a press and keep a knob drag's motion
  // from the window itself. The frame takes the keyboard when a text field wants it.
  // The zoom the user chose last, in any of the plug-ins or here.
  double stored = 0.0;
  if (settings::ReadNumber(settings::kSettingZoom, stored)) {
    const double scale = settings::ZoomPercentFromSetting(stored) / 100.0;
    if (scale != 1.0) window_.setZoom(scale);
  }
  for (unsigned slot : kControlSlots) {
    window_.valueChangedByController(static_cast<int>(slot), values_[slot].load(std::memory_order_relaxed));
  }
  return true;
}

void LiveEditor::Idle(int timeoutMs) {
  if (!window_.isOpen()) return;
  window_.valueChangedByController(static_cast<int>(kSlotGainReduction), engine_.MeterReading());
  tk::X11PlatformFrame::processEvents(timeoutMs);
}


void LiveEditor::setValue(int index, double value) {
  if (index >= 0 && IsControlSlot(static_cast<unsigned>(index))) {
    values_[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
    if (manager_ != nullptr) manager_->ParameterChanged(index, value);
    if (window_.presetBar() != nullptr) window_.presetBar()->parameterNotification(index, value);
    return;
  }
  // Messages (about box, browser) come back to the window as the host's echo.
  window_.valueChangedByController(index, value);
}

void LiveEditor::PresetValue(int index, double value) {
  if (index >= 0 && IsControlSlot(static_cast<unsigned>(index))) {
    values_[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
    window_.QRVVSTGUIEditorWrapperV2::valueChangedByController(index, value);
    return;
  }
  window_.valueChangedByController(index, value);
}

void LiveEditor::resizeRequest(int width, int height) {
  // A top-level window is its own host: it takes the size the zoom gives it.
  if (!window_.isOpen() || window_.isResizeDeferred() || width <= 0 || height <= 0) return;
  window_.frame()->platform()->setSize(width, height);
}

}  // namespace qrv::jack
