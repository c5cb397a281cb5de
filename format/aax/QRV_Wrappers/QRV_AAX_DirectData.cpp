#include "format/aax/QRV_Wrappers/QRV_AAX_DirectData.h"

#include <cstddef>
#include <cstring>

#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"

namespace qrv::aax {
namespace {

// A failed private-data access goes to the host's assertion service; the host's standard output is the
// host's own.
AAX_Result Reported(AAX_Result r, int line) {
  if (r != AAX_SUCCESS) AAX_ReportAssert(__FILE__, line, "lastResult == AAX_SUCCESS");
  return r;
}

constexpr unsigned char kNoMessage[kParameterMessageMaxSize] = {};

}  // namespace

QRV_AAX_DirectData::QRV_AAX_DirectData() { pending_.fill(kNoPending); }

AAX_Result QRV_AAX_DirectData::Initialize_PrivateDataAccess() {
  model_ = dynamic_cast<QRV_QVWG_2300_AAX_Parameters_Wrapper*>(EffectParameters());
  return AAX_SUCCESS;
}

// Writes only the fields this side owns (QRV_AAX_RenderContext.h), each at its own offset.
AAX_Result QRV_AAX_DirectData::TimerWakeup_PrivateDataAccess(AAX_IPrivateDataAccess* access) {
  if (access == nullptr) return AAX_ERROR_NULL_OBJECT;
  AAX_Result result = AAX_SUCCESS;

  // Latency, once the render procedure has written one.
  if (AAX_VController* controller = Controller()) {
    int32_t hostLatency = 0;
    controller->GetSignalLatency(&hostLatency);
    int32_t latency = -1;
    const AAX_Result r = Reported(access->ReadPortDirect(kFieldLatency, 0, sizeof latency, &latency), __LINE__);
    if (r != AAX_SUCCESS) {
      result = r;
    } else {
      latency_ = latency;
      if (latency >= 0 && latency != hostLatency) controller->SetSignalLatency(latency);
    }
  }

  if (model_ == nullptr) return result;
  QRV_AAX_ControllerWrapper& hub = model_->controller();

  // High quality, written where the HiddenBlock holds another (read each time: a block the host has set
  // up again holds none); one that could not be written goes again at the next wake-up.
  {
    float held = kUnsetValue;
    AAX_Result r = Reported(
        access->ReadPortDirect(kFieldHidden, offsetof(HiddenBlock, highQuality), sizeof held, &held), __LINE__);
    const bool wanted = model_->highQuality();
    if (r == AAX_SUCCESS && (held >= 0.5f) != wanted) {
      const float value = wanted ? 1.0f : 0.0f;
      r = Reported(access->WritePortDirect(kFieldHidden, offsetof(HiddenBlock, highQuality), sizeof value, &value),
                   __LINE__);
    }
    if (r != AAX_SUCCESS) result = r;
  }

  // Values of the non-host indices, each into its pending slot. A value not delivered stays for the next
  // wake-up unless a newer one for the same index replaces it.
  std::array<double, kParameterCount> fresh;
  if (hub.TakeHiddenValues(fresh)) {
    for (int i = kHiddenFirstIndex; i < static_cast<int>(kParameterCount); ++i) {
      if (fresh[i] != kNoPending) pending_[i] = fresh[i];
    }
  }
  for (int i = kHiddenFirstIndex; i < static_cast<int>(kParameterCount); ++i) {
    if (pending_[i] == kNoPending) continue;
    const float value = static_cast<float>(pending_[i]);
    const AAX_Result r = Reported(
        access->WritePortDirect(kFieldHidden, HiddenPendingOffset(i - kHiddenFirstIndex), sizeof value, &value),
        __LINE__);
    if (r != AAX_SUCCESS) {
      result = r;
      break;
    }
    pending_[i] = kNoPending;
  }

  // Messages, one in each direction. The engine's, when there is one, is handed on and its half emptied.
  MessageBus& bus = hub.BusImage();
  AAX_Result r = Reported(access->ReadPortDirect(kFieldMessageBus, offsetof(MessageBus, toControllerLength),
                                                 sizeof bus.toControllerLength, &bus.toControllerLength),
                          __LINE__);
  if (r != AAX_SUCCESS) return r;
  if (bus.toControllerLength != 0) {
    const uint32_t n = bus.toControllerLength < kParameterMessageMaxSize
                           ? static_cast<uint32_t>(bus.toControllerLength)
                           : static_cast<uint32_t>(kParameterMessageMaxSize);
    r = Reported(access->ReadPortDirect(kFieldMessageBus, offsetof(MessageBus, toController), n, bus.toController),
                 __LINE__);
    if (r != AAX_SUCCESS) return r;
    if (QRVBaseParametersController* product = hub.GetParametersController())
      product->ReceiveMessage(bus.toController, n);
    const uint64_t none = 0;
    r = Reported(access->WritePortDirect(kFieldMessageBus, offsetof(MessageBus, toController), sizeof kNoMessage,
                                         kNoMessage),
                 __LINE__);
    if (r == AAX_SUCCESS)
      r = Reported(access->WritePortDirect(kFieldMessageBus, offsetof(MessageBus, toControllerLength), sizeof none,
                                           &none),
                   __LINE__);
    if (r != AAX_SUCCESS) result = r;
  }
  // The controller side's message replaces one the engine has not taken yet; one that could not be
  // written goes again at the next wake-up.
  if (hub.TakeOutgoingMessage(bus.toEngine, bus.toEngineLength)) unsent_ = true;
  if (unsent_) {
    r = Reported(access->WritePortDirect(kFieldMessageBus, offsetof(MessageBus, toEngine), sizeof bus.toEngine,
                                         bus.toEngine),
                 __LINE__);
    if (r == AAX_SUCCESS)
      r = Reported(access->WritePortDirect(kFieldMessageBus, offsetof(MessageBus, toEngineLength),
                                           sizeof bus.toEngineLength, &bus.toEngineLength),
                   __LINE__);
    if (r == AAX_SUCCESS) {
      unsent_ = false;
    } else {
      result = r;
    }
  }
  return result;
}

}  // namespace qrv::aax
