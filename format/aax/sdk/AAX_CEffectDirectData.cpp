#include "format/aax/sdk/AAX_CEffectDirectData.h"

AAX_CEffectDirectData::AAX_CEffectDirectData() = default;
AAX_CEffectDirectData::~AAX_CEffectDirectData() = default;

AAX_Result AAX_CEffectDirectData::Initialize(AAX_IACFUnknown* host) {
  if (host == nullptr) return AAX_ERROR_NOT_INITIALIZED;
  auto controller = std::make_unique<AAX_VController>(host);
  if (!controller->IsValid()) return AAX_ERROR_NOT_INITIALIZED;
  mController = std::move(controller);
  mEffectParameters = static_cast<AAX_IEffectParameters*>(AAX_QueryHost(host, AAX_IID_EffectParameters));
  return Initialize_PrivateDataAccess();
}

AAX_Result AAX_CEffectDirectData::Uninitialize() {
  mEffectParameters = nullptr;
  mController.reset();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectDirectData::TimerWakeup(AAX_IPrivateDataAccess* access) {
  return TimerWakeup_PrivateDataAccess(access);
}
