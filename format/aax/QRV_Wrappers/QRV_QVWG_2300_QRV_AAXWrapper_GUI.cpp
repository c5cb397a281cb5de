#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"

#include <cstdint>
#include <cstring>

#include "dsp/ParameterSet.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_EditorWrapper.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_Module.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"
#include "gui/toolkit/X11Frame.h"

namespace qrv::aax {

namespace {

class X11PlatformLayer final : public PlatformLayer {
 public:
  void Up(void*) override { tk::X11PlatformFrame::retainConnection(); }
  void Down() override { tk::X11PlatformFrame::releaseConnection(); }
};

}  // namespace

void InstallToolkitPlatformLayer() {
  static X11PlatformLayer layer;
  SetPlatformLayer(&layer);
}

void PumpToolkit() {
  // The X11 loop also runs the timers and deferred work; without an X11 window only those are due.
  if (!tk::X11PlatformFrame::processEvents(0)) tk::RunLoop::instance().process();
}

QRV_QVWG_2300_QRV_AAXWrapper_GUI::QRV_QVWG_2300_QRV_AAXWrapper_GUI()
    : customMeters_(CustomMeterList()), editor_(std::make_unique<QRV_AAX_EditorWrapper>()) {}

QRV_QVWG_2300_QRV_AAXWrapper_GUI::~QRV_QVWG_2300_QRV_AAXWrapper_GUI() {
  // A host may destroy the object with its view still attached.
  if (ViewContainer() != nullptr) SetViewContainer(nullptr);
  // The wrapper's destructor clears the hub's link to it.
  editor_.reset();
}

QRV_AAX_ControllerWrapper* QRV_QVWG_2300_QRV_AAXWrapper_GUI::HubController() const {
  auto* model = dynamic_cast<QRV_QVWG_2300_AAX_Parameters_Wrapper*>(EffectParameters());
  return model != nullptr ? &model->controller() : nullptr;
}

void QRV_QVWG_2300_QRV_AAXWrapper_GUI::CreateViewContainer() {
  AAX_IViewContainer* container = ViewContainer();
  const int32_t type = container->GetType();
  if (type != AAX_eViewContainer_Type_HWND && type != AAX_eViewContainer_Type_NSView) return;
  parent_ = container->GetPtr();
  AddToolkitUser();
  counted_ = true;
  if (editor_ == nullptr) editor_ = std::make_unique<QRV_AAX_EditorWrapper>();

  QRV_AAX_ControllerWrapper* hub = HubController();
  editor_->setController(hub);
  if (hub != nullptr) {
    editor_->attachPresetBar(nullptr, hub->GetPresetManager(), hub->GetParametersController());
    hub->SetEditor(editor_.get());
  }
  editor_->setGui(this);
  editor_->open(tk::PlatformType::X11, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent_)));
  if (hub == nullptr) return;
  for (int index = kHiddenFirstIndex; index < static_cast<int>(kParameterCount); ++index) {
    const double value = hub->Value(index);
    if (value != kNoPending) editor_->valueChangedByController(index, value);
  }
}

void QRV_QVWG_2300_QRV_AAXWrapper_GUI::DeleteViewContainer() {
  if (editor_ != nullptr) {
    editor_->close();
    // The hub reports to an open editor only.
    if (QRV_AAX_ControllerWrapper* hub = editor_->controller(); hub != nullptr && hub->editor() == editor_.get())
      hub->SetEditor(nullptr);
  }
  if (counted_) RemoveToolkitUser();
  counted_ = false;
  parent_ = nullptr;
}

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::GetViewSize(double* width, double* height) const {
  if (width == nullptr || height == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (editor_ == nullptr) {
    *width = 1024.0;
    *height = 768.0;
    return AAX_SUCCESS;
  }
  editor_->viewSize(*width, *height);
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::ParameterUpdated(AAX_CParamID id) {
  const int index = IndexOfID(id);
  if (index < 0 || index >= static_cast<int>(kParameterCount) || editor_ == nullptr || EffectParameters() == nullptr)
    return AAX_SUCCESS;
  double value = 0.0;
  if (EffectParameters()->GetParameterNormalizedValue(id, &value) == AAX_SUCCESS)
    editor_->valueChangedByController(index, value);
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::TimerWakeup() {
  if (editor_ != nullptr && Controller() != nullptr && Controller()->IsValid()) {
    for (std::size_t k = 0; k < customMeters_.size() && customMeters_[k] >= 0; ++k) {
      float v = 0.0f;
      if (Controller()->GetCurrentMeterValue(kMeterIDs[3 + k], &v) != AAX_SUCCESS) continue;
      // The render path writes readings raised by kMeterOffset; kNoMeterValue lies above the range.
      if (v >= kMeterOffset && v <= 1.0f + kMeterOffset) editor_->valueChangedByController(customMeters_[k], v - kMeterOffset);
    }
    if (QRV_AAX_ControllerWrapper* hub = HubController(); hub != nullptr && hub->GetParametersController() != nullptr)
      hub->GetParametersController()->Idle();
  }
  PumpToolkit();
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) {
  if (type != AAX_eNotificationEvent_ViewZoom) return AAX_SUCCESS;
  if (data == nullptr || size != sizeof(double)) return AAX_ERROR_INVALID_ARGUMENT;
  double factor = 0.0;
  std::memcpy(&factor, data, sizeof factor);
  if (editor_ == nullptr || !editor_->isOpen()) return AAX_SUCCESS;
  // As the zoom control does: the window takes the factor, the manager stores it as the user's choice.
  editor_->setZoom(factor);
  if (QRV_AAX_ControllerWrapper* hub = HubController(); hub != nullptr && hub->GetPresetManager() != nullptr)
    hub->GetPresetManager()->SetZoom(factor);
  return AAX_SUCCESS;
}

void QRV_QVWG_2300_QRV_AAXWrapper_GUI::RequestViewSize(double width, double height) {
  if (ViewContainer() != nullptr) ViewContainer()->SetViewSize(width, height);
}

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::ParameterMouseDown(AAX_CParamID id, uint32_t modifiers) {
  return ViewContainer() != nullptr ? ViewContainer()->HandleParameterMouseDown(id, modifiers) : AAX_ERROR_NULL_OBJECT;
}

}  // namespace qrv::aax
