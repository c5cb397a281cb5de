// Base of a plug-in's direct-data object: holds the controller proxy and the instance's data model and
// hands each timer wake-up to the derived class. Initialize on the main thread, wake-ups on the host's
// direct-data timer thread.
#pragma once

#include <memory>

#include "format/aax/sdk/AAX_VController.h"

class AAX_CEffectDirectData : public AAX_IEffectDirectData, public AAX_CModuleObject {
 public:
  AAX_CEffectDirectData();
  ~AAX_CEffectDirectData() override;
  AAX_CEffectDirectData(const AAX_CEffectDirectData&) = delete;
  AAX_CEffectDirectData& operator=(const AAX_CEffectDirectData&) = delete;

  // Without a host object or a controller: AAX_ERROR_NOT_INITIALIZED.
  AAX_Result Initialize(AAX_IACFUnknown* host) override;
  AAX_Result Uninitialize() override;
  AAX_Result TimerWakeup(AAX_IPrivateDataAccess* access) override;

 protected:
  virtual AAX_Result Initialize_PrivateDataAccess() { return AAX_SUCCESS; }
  virtual AAX_Result TimerWakeup_PrivateDataAccess(AAX_IPrivateDataAccess*) { return AAX_SUCCESS; }

  AAX_VController* Controller() const { return mController.get(); }
  AAX_IEffectParameters* EffectParameters() const { return mEffectParameters; }

 private:
  std::unique_ptr<AAX_VController> mController;
  AAX_IEffectParameters* mEffectParameters = nullptr;
};
