#include "format/aax/sdk/AAX_Module.h"

#include <cstdarg>
#include <cstdio>

namespace {
std::atomic<int32_t> gLiveObjects{0};
std::atomic<AAX_VHostServices*> gHostServices{nullptr};
}  // namespace

AAX_CModuleObject::AAX_CModuleObject() { gLiveObjects.fetch_add(1, std::memory_order_relaxed); }
AAX_CModuleObject::AAX_CModuleObject(const AAX_CModuleObject&) { gLiveObjects.fetch_add(1, std::memory_order_relaxed); }
AAX_CModuleObject::~AAX_CModuleObject() { gLiveObjects.fetch_sub(1, std::memory_order_relaxed); }
int32_t AAX_LiveObjectCount() { return gLiveObjects.load(std::memory_order_relaxed); }

AAX_VHostServices::AAX_VHostServices(AAX_IACFUnknown* host) {
  void* p = nullptr;
  if (host != nullptr && host->QueryInterface(AAX_IID_HostServices, &p) == AAX_SUCCESS) {
    services_ = static_cast<AAX_IHostServices*>(p);
  }
}

AAX_Result AAX_VHostServices::HandleAssertFailure(const char* file, int32_t line, const char* text) const {
  return services_ != nullptr ? services_->HandleAssertFailure(file, line, text) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VHostServices::Trace(int32_t priority, const char* text) const {
  return services_ != nullptr ? services_->Trace(priority, text) : AAX_ERROR_NULL_OBJECT;
}

AAX_VHostServices* AAX_GetHostServices() { return gHostServices.load(std::memory_order_acquire); }

void AAX_SetHostServices(AAX_VHostServices* services) {
  delete gHostServices.exchange(services, std::memory_order_acq_rel);
}

void AAX_ReportAssert(const char* file, int32_t line, const char* text) {
  if (const AAX_VHostServices* s = AAX_GetHostServices()) s->HandleAssertFailure(file, line, text);
}

void AAX_Trace(int32_t priority, const char* format, ...) {
  const AAX_VHostServices* s = AAX_GetHostServices();
  if (s == nullptr) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  s->Trace(priority, text);
}

const char* AAX_ResultName(AAX_Result result) {
  switch (result) {
    case AAX_SUCCESS: return "AAX_SUCCESS";
    case AAX_ERROR_INVALID_PARAMETER_ID: return "AAX_ERROR_INVALID_PARAMETER_ID";
    case AAX_ERROR_INVALID_STRING_CONVERSION: return "AAX_ERROR_INVALID_STRING_CONVERSION";
    case AAX_ERROR_INVALID_METER_INDEX: return "AAX_ERROR_INVALID_METER_INDEX";
    case AAX_ERROR_NULL_OBJECT: return "AAX_ERROR_NULL_OBJECT";
    case AAX_ERROR_OLDER_VERSION: return "AAX_ERROR_OLDER_VERSION";
    case AAX_ERROR_INVALID_CHUNK_INDEX: return "AAX_ERROR_INVALID_CHUNK_INDEX";
    case AAX_ERROR_INVALID_CHUNK_ID: return "AAX_ERROR_INVALID_CHUNK_ID";
    case AAX_ERROR_INCORRECT_CHUNK_SIZE: return "AAX_ERROR_INCORRECT_CHUNK_SIZE";
    case AAX_ERROR_UNIMPLEMENTED: return "AAX_ERROR_UNIMPLEMENTED";
    case AAX_ERROR_INVALID_PARAMETER_INDEX: return "AAX_ERROR_INVALID_PARAMETER_INDEX";
    case AAX_ERROR_NOT_INITIALIZED: return "AAX_ERROR_NOT_INITIALIZED";
    case AAX_ERROR_ACF_ERROR: return "AAX_ERROR_ACF_ERROR";
    case AAX_ERROR_INVALID_METER_TYPE: return "AAX_ERROR_INVALID_METER_TYPE";
    case AAX_ERROR_CONTEXT_ALREADY_HAS_METERS: return "AAX_ERROR_CONTEXT_ALREADY_HAS_METERS";
    case AAX_ERROR_NULL_COMPONENT: return "AAX_ERROR_NULL_COMPONENT";
    case AAX_ERROR_PORT_ID_OUT_OF_RANGE: return "AAX_ERROR_PORT_ID_OUT_OF_RANGE";
    case AAX_ERROR_FIELD_TYPE_DOES_NOT_SUPPORT_DIRECT_ACCESS:
      return "AAX_ERROR_FIELD_TYPE_DOES_NOT_SUPPORT_DIRECT_ACCESS";
    case AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS: return "AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS";
    case AAX_ERROR_DUPLICATE_EFFECT_ID: return "AAX_ERROR_DUPLICATE_EFFECT_ID";
    case AAX_ERROR_INVALID_ARGUMENT: return "AAX_ERROR_INVALID_ARGUMENT";
    case AAX_ERROR_UNKNOWN_EXCEPTION: return "AAX_ERROR_UNKNOWN_EXCEPTION";
    default: return "<unknown result>";
  }
}
