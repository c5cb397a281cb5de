#include "format/aax/sdk/AAX_CEffectGUI.h"

AAX_CEffectGUI::AAX_CEffectGUI() = default;
AAX_CEffectGUI::~AAX_CEffectGUI() = default;

AAX_Result AAX_CEffectGUI::Initialize(AAX_IACFUnknown* host) {
  if (host == nullptr) return AAX_ERROR_NOT_INITIALIZED;
  mController = std::make_unique<AAX_VController>(host);
  mEffectParameters = static_cast<AAX_IEffectParameters*>(AAX_QueryHost(host, AAX_IID_EffectParameters));
  CreateViewContents();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI::Uninitialize() {
  if (mViewContainer != nullptr) SetViewContainer(nullptr);
  mEffectParameters = nullptr;
  mController.reset();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI::SetViewContainer(AAX_IViewContainer* container) {
  if (container == nullptr) {
    if (mViewContainer != nullptr) DeleteViewContainer();
    mViewContainer = nullptr;
    return AAX_SUCCESS;
  }
  if (mViewContainer != nullptr) DeleteViewContainer();
  mViewContainer = container;
  CreateViewContainer();
  if (mEffectParameters != nullptr) {
    int32_t n = 0;
    mEffectParameters->GetNumberOfParameters(&n);
    for (int32_t i = 0; i < n; ++i) {
      char id[AAX_kMaxParameterIDLength];
      if (mEffectParameters->GetParameterIDFromIndex(i, id, sizeof id) == AAX_SUCCESS) ParameterUpdated(id);
    }
  }
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI::GetViewSize(double* width, double* height) const {
  if (width == nullptr || height == nullptr) return AAX_ERROR_NULL_OBJECT;
  *width = 0.0;
  *height = 0.0;
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI::ParameterUpdated(AAX_CParamID) { return AAX_SUCCESS; }
AAX_Result AAX_CEffectGUI::TimerWakeup() { return AAX_SUCCESS; }
AAX_Result AAX_CEffectGUI::NotificationReceived(AAX_CTypeID, const void*, uint32_t) { return AAX_SUCCESS; }
