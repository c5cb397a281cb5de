// Module-wide pieces of the SDK layer: the count of live objects handed to the host, the host-services
// proxy and the diagnostics that go through it.
#pragma once

#include <atomic>
#include <cstdint>

#include "format/aax/sdk/AAX_Interfaces.h"

// Every object the module hands to the host derives from this; the module may be unloaded when the
// count is 0.
class AAX_CModuleObject {
 public:
  AAX_CModuleObject();
  AAX_CModuleObject(const AAX_CModuleObject&);
  AAX_CModuleObject& operator=(const AAX_CModuleObject&) = default;
  ~AAX_CModuleObject();
};
int32_t AAX_LiveObjectCount();

// Proxy over the host's services; at most one per module.
class AAX_VHostServices : public AAX_CModuleObject {
 public:
  explicit AAX_VHostServices(AAX_IACFUnknown* host);
  bool IsValid() const { return services_ != nullptr; }
  AAX_Result HandleAssertFailure(const char* file, int32_t line, const char* text) const;
  AAX_Result Trace(int32_t priority, const char* text) const;

 private:
  AAX_IHostServices* services_ = nullptr;
};

// The module's host-services proxy (null while absent). Set and cleared by the module entry points.
AAX_VHostServices* AAX_GetHostServices();
void AAX_SetHostServices(AAX_VHostServices* services);  // takes ownership; deletes the previous one

// Reports to the host's assertion service; skipped while no proxy exists. Execution goes on.
void AAX_ReportAssert(const char* file, int32_t line, const char* text);
// printf-style trace through the host; skipped while no proxy exists.
void AAX_Trace(int32_t priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

inline constexpr int32_t AAX_eTracePriorityHost_Normal = 0x04000000;
inline constexpr int32_t AAX_eTracePriorityHost_Critical = 0x08000000;

// Reports a failed result with the condition's text and goes on.
#define AAX_ASSERT_RESULT(cond, text)                        \
  do {                                                        \
    if (!(cond)) AAX_ReportAssert(__FILE__, __LINE__, text); \
  } while (false)
