// The direct-data object of one instance: on each host timer wake-up it reports the engine's latency,
// delivers the values of the non-host indices and High quality into the HiddenBlock and carries one
// message in each direction through the MessageBus, writing only the fields it owns
// (QRV_AAX_RenderContext.h). Host direct-data timer thread (Initialize on the main thread). Failed
// private-data accesses are reported to the host's assertion service, never printed.
#pragma once

#include <array>

#include "dsp/ParameterSet.h"
#include "format/aax/sdk/AAX_CEffectDirectData.h"

namespace qrv::aax {

class QRV_QVWG_2300_AAX_Parameters_Wrapper;

class QRV_AAX_DirectData final : public AAX_CEffectDirectData {
 public:
  QRV_AAX_DirectData();

  int32_t lastLatency() const { return latency_; }

 protected:
  AAX_Result Initialize_PrivateDataAccess() override;
  AAX_Result TimerWakeup_PrivateDataAccess(AAX_IPrivateDataAccess* access) override;

 private:
  QRV_QVWG_2300_AAX_Parameters_Wrapper* model_ = nullptr;
  std::array<double, kParameterCount> pending_;
  bool unsent_ = false;  // the hub's bus image holds a message the engine's half has not received
  int32_t latency_ = -1;
};

}  // namespace qrv::aax
