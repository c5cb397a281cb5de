#include "format/aax/QRV_Wrappers/QRV_AAX_DirectData.h"

#include <cstdio>
#include <cstring>

#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"

namespace qrv::aax {

QRV_AAX_DirectData::QRV_AAX_DirectData() { pending_.fill(kNoPending); }

AAX_Result QRV_AAX_DirectData::Initialize_PrivateDataAccess() {
  model_ = dynamic_cast<QRV_QVWG_2300_AAX_Parameters_Wrapper*>(EffectParameters());
  return AAX_SUCCESS;
}

AAX_Result QRV_AAX_DirectData::TimerWakeup_PrivateDataAccess(AAX_IPrivateDataAccess* access) {
  if (access == nullptr) return AAX_ERROR_NULL_OBJECT;
  AAX_Result result = AAX_SUCCESS;

  // 1. Latency, once the render procedure has written one.
  if (AAX_VController* controller = Controller()) {
    int32_t hostLatency = 0;
    controller->GetSignalLatency(&hostLatency);
    int32_t latency = -1;
    const AAX_Result r = access->ReadPortDirect(kFieldLatency, 0, sizeof latency, &latency);
    if (r != AAX_SUCCESS) {
      std::printf("Latency lastResult %d\n", r);
      AAX_ReportAssert(__FILE__, __LINE__, "lastResult == AAX_SUCCESS");
      result = r;
    } else {
      latency_ = latency;
      if (latency >= 0 && latency != hostLatency) controller->SetSignalLatency(latency);
    }
  }

  if (model_ == nullptr) return result;
  QRV_AAX_ControllerWrapper& hub = model_->controller();

  // 2. Values of the non-host indices. Values a failed read could not deliver stay here for the next
  //    wake-up.
  hub.TakeHiddenValues(pending_);
  bool any = false;
  for (int i = kHiddenFirstIndex; i < static_cast<int>(kParameterCount); ++i) any |= pending_[i] != kNoPending;
  if (any) {
    HiddenBlock image;
    AAX_Result r = access->ReadPortDirect(kFieldHidden, 0, sizeof image, &image);
    if (r != AAX_SUCCESS) {
      std::printf("hidden read lastResult %d\n", r);
      AAX_ReportAssert(__FILE__, __LINE__, "lastResult == AAX_SUCCESS");
      result = r;
    } else {
      for (int i = kHiddenFirstIndex; i < static_cast<int>(kParameterCount); ++i) {
        if (pending_[i] == kNoPending) continue;
        image.pending[i - kHiddenFirstIndex] = static_cast<float>(pending_[i]);
        pending_[i] = kNoPending;
      }
      r = access->WritePortDirect(kFieldHidden, 0, sizeof image, &image);
      if (r != AAX_SUCCESS) {
        std::printf("hidden write lastResult %d\n", r);
        AAX_ReportAssert(__FILE__, __LINE__, "lastResult == AAX_SUCCESS");
        result = r;
      }
    }
  }

  // 3. Messages, one in each direction.
  MessageBus& bus = hub.BusImage();
  AAX_Result r = access->ReadPortDirect(kFieldMessageBus, 0, sizeof bus, &bus);
  if (r != AAX_SUCCESS) {
    std::printf("bus recived lastResult %d\n", r);
    AAX_ReportAssert(__FILE__, __LINE__, "lastResult == AAX_SUCCESS");
    return r;
  }
  if (bus.toControllerLength != 0) {
    const std::size_t n = bus.toControllerLength < kParameterMessageMaxSize ? bus.toControllerLength
                                                                            : kParameterMessageMaxSize;
    if (QRVBaseParametersController* product = hub.GetParametersController()) product->ReceiveMessage(bus.toController, n);
    std::memset(bus.toController, 0, sizeof bus.toController);
    bus.toControllerLength = 0;
  }
  // A message the engine has not taken yet stays unless a newer one replaces it.
  hub.TakeOutgoingMessage(bus.toEngine, bus.toEngineLength);
  r = access->WritePortDirect(kFieldMessageBus, 0, sizeof bus, &bus);
  if (r != AAX_SUCCESS) {
    std::printf("bus sent lastResult %d\n", r);
    AAX_ReportAssert(__FILE__, __LINE__, "lastResult == AAX_SUCCESS");
    result = r;
  }
  std::memset(bus.toEngine, 0, sizeof bus.toEngine);
  bus.toEngineLength = 0;
  return result;
}

}  // namespace qrv::aax
