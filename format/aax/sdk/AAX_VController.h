// Plug-in side proxies over an instance's host services: controller and automation delegate.
#pragma once

#include "format/aax/sdk/AAX_Module.h"

class AAX_VController : public AAX_CModuleObject {
 public:
  explicit AAX_VController(AAX_IACFUnknown* host);
  bool IsValid() const { return c_ != nullptr; }
  AAX_Result PostPacket(AAX_CFieldIndex port, const void* data, uint32_t size) {
    return c_->PostPacket(port, data, size);
  }
  AAX_Result GetSignalLatency(int32_t* samples) const { return c_->GetSignalLatency(samples); }
  AAX_Result SetSignalLatency(int32_t samples) { return c_->SetSignalLatency(samples); }
  AAX_Result GetCurrentMeterValue(AAX_CTypeID id, float* value) const { return c_->GetCurrentMeterValue(id, value); }
  AAX_Result GetSampleRate(float* rate) const { return c_->GetSampleRate(rate); }

 private:
  AAX_IController* c_ = nullptr;
};

class AAX_VAutomationDelegate : public AAX_CModuleObject {
 public:
  explicit AAX_VAutomationDelegate(AAX_IACFUnknown* host);
  bool IsValid() const { return a_ != nullptr; }
  AAX_Result TouchParameter(AAX_CParamID id) { return a_->TouchParameter(id); }
  AAX_Result ReleaseParameter(AAX_CParamID id) { return a_->ReleaseParameter(id); }
  AAX_Result PostSetValueRequest(AAX_CParamID id, double v) { return a_->PostSetValueRequest(id, v); }
  AAX_Result GetTouchState(AAX_CParamID id, bool* touched) { return a_->GetTouchState(id, touched); }

 private:
  AAX_IAutomationDelegate* a_ = nullptr;
};

// Asks host for interface iid; null when it has none.
void* AAX_QueryHost(AAX_IACFUnknown* host, AAX_CTypeID iid);
