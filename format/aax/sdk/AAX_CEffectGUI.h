// Base of a plug-in's GUI object: controller proxy, data model and view container plumbing. After a
// container is attached it asks for every parameter's update. Main thread.
#pragma once

#include <memory>

#include "format/aax/sdk/AAX_VController.h"

class AAX_CEffectGUI : public AAX_IEffectGUI, public AAX_CModuleObject {
 public:
  AAX_CEffectGUI();
  ~AAX_CEffectGUI() override;
  AAX_CEffectGUI(const AAX_CEffectGUI&) = delete;
  AAX_CEffectGUI& operator=(const AAX_CEffectGUI&) = delete;

  AAX_Result Initialize(AAX_IACFUnknown* host) override;
  AAX_Result Uninitialize() override;
  AAX_Result SetViewContainer(AAX_IViewContainer* container) override;
  AAX_Result GetViewSize(double* width, double* height) const override;
  AAX_Result ParameterUpdated(AAX_CParamID id) override;
  AAX_Result TimerWakeup() override;
  AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) override;

 protected:
  virtual void CreateViewContents() {}
  virtual void CreateViewContainer() {}
  virtual void DeleteViewContainer() {}

  AAX_VController* Controller() const { return mController.get(); }
  AAX_IEffectParameters* EffectParameters() const { return mEffectParameters; }
  AAX_IViewContainer* ViewContainer() const { return mViewContainer; }

 private:
  std::unique_ptr<AAX_VController> mController;
  AAX_IEffectParameters* mEffectParameters = nullptr;
  AAX_IViewContainer* mViewContainer = nullptr;
};
