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
