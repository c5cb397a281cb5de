#include "format/aax/QRV_Wrappers/QRV_AAX_EditorWrapper.h"

#include "dsp/ParameterSet.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_ControllerWrapper.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"
#include "product/warmGlowEditor.h"

namespace qrv::aax {

namespace {
Quarrytone::QRVPresetBarFactory& BarFactory() {
  static Quarrytone::QRVPresetBarFactory factory;
  return factory;
}
}  // namespace

void SetPresetBarFactory(Quarrytone::QRVPresetBarFactory factory) { BarFactory() = std::move(factory); }

uint32_t HostModifiers(uint32_t buttons, uint32_t heldNow) {
  constexpr uint32_t kControlAltSuper = kQRVControl | kQRVAlt | kQRVCommand;
  if ((heldNow & kControlAltSuper) == kControlAltSuper)
    return AAX_eModifiers_Control | AAX_eModifiers_Option | AAX_eModifiers_Command;
  uint32_t m = 0;
  if (buttons & kQRVControl) m |= AAX_eModifiers_Control;
  if (buttons & kQRVCommand) m |= AAX_eModifiers_Command;
  if (buttons & kQRVAlt) m |= AAX_eModifiers_Option;
  if (buttons & kQRVRButton) m |= AAX_eModifiers_SecondaryButton;
  return m;
}

QRV_AAX_EditorWrapper::QRV_AAX_EditorWrapper()
    : QRVVSTGUIEditorWrapperV4_PresetBar(&CreateProductEditor, BarFactory()) {
  setHost(this);
}

QRV_AAX_EditorWrapper::~QRV_AAX_EditorWrapper() {
  // The hub must not keep a link to a window that is gone.
  if (controller_ != nullptr && controller_->editor() == this) controller_->SetEditor(nullptr);
  QRV_AAX_EditorWrapper::close();
}

void QRV_AAX_EditorWrapper::viewSize(double& width, double& height) {
  if (hostRect_[2] - hostRect_[0] <= 0.0 || hostRect_[3] - hostRect_[1] <= 0.0) storeHostRect();
  width = hostRect_[2] - hostRect_[0];
  height = hostRect_[3] - hostRect_[1];
}

void QRV_AAX_EditorWrapper::storeHostRect() {
  hostRect_[0] = 0.0;
  hostRect_[1] = 0.0;
  hostRect_[2] = windowWidth();
  hostRect_[3] = windowHeight();
}

void QRV_AAX_EditorWrapper::parameterChanged(int index, double value) {
  QRVVSTGUIEditorWrapperV4_PresetBar::parameterChanged(index, value);
}

void QRV_AAX_EditorWrapper::setValue(int index, double value) {
  if (controller_ != nullptr) controller_->EditorChange(index, value);
}

int QRV_AAX_EditorWrapper::highQuality() {
  QRV_QVWG_2300_AAX_Parameters_Wrapper* model = controller_ != nullptr ? controller_->model() : nullptr;
  if (model == nullptr) return -1;
  return model->highQuality() ? 1 : 0;
}

void QRV_AAX_EditorWrapper::setHighQuality(bool on) {
  if (QRV_QVWG_2300_AAX_Parameters_Wrapper* model = controller_ != nullptr ? controller_->model() : nullptr)
    model->SetHighQuality(on);
}

void QRV_AAX_EditorWrapper::resizeRequest(int, int) {
  storeHostRect();
  if (gui_ != nullptr) gui_->RequestViewSize(hostRect_[2] - hostRect_[0], hostRect_[3] - hostRect_[1]);
}

void QRV_AAX_EditorWrapper::controlMouseDown(int tag, int buttons) { HandleControlMouseDown(tag, buttons); }

int32_t QRV_AAX_EditorWrapper::HandleControlMouseDown(int index, int buttons) {
  const int flags = index >= 0 && index < static_cast<int>(kParameterCount)
                        ? GetParameterFlags(static_cast<unsigned>(index))
                        : 0;
  const char* id = IDOfIndex(index);
  if ((flags & kParameterFlagHost) == 0 || gui_ == nullptr || id == nullptr) return flags;
  // The three-key chord is read from the keyboard as it is now, not from the event.
  const uint32_t held = frame_ != nullptr && frame_->platform() != nullptr ? frame_->platform()->queryButtons() : 0;
  return gui_->ParameterMouseDown(id, HostModifiers(static_cast<uint32_t>(buttons), held));
}

intptr_t QRV_AAX_EditorWrapper::ForwardFromController(int32_t, intptr_t, void*) {
  // None of the window layers has an operation of its own for the hub's pass-through.
  return 0;
}

}  // namespace qrv::aax
