// The nine exported entry points and the module-wide state behind them.
#include "format/aax/QRV_Wrappers/QRV_AAX_Module.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <atomic>
#include <new>

#include "format/aax/QRV_Wrappers/QRV_AAX_Describe.h"
#ifndef _WIN32
#include "format/aax/QRV_Wrappers/QRV_AAX_EditorWrapper.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"
#include "gui/editor/EditorResources.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#endif
#include "format/aax/sdk/AAX_Exports.h"

namespace qrv::aax {
namespace {

void* gModuleHandle = nullptr;
std::atomic<int> gToolkitUsers{0};
PlatformLayer* gPlatformLayer = nullptr;

#ifdef _WIN32
// The module's HMODULE (its base address), found from an address inside it without taking a reference.
__attribute__((constructor)) void SaveModuleHandle() {
  HMODULE module = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&SaveModuleHandle), &module)) {
    gModuleHandle = module;
  }
}
#else
__attribute__((constructor)) void SaveModuleHandle() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SaveModuleHandle), &info) != 0) gModuleHandle = info.dli_fbase;
}

// The embedded images and shared fonts live from load to unload, like the module's other shared objects.
__attribute__((constructor)) void BuildModuleResources() {
  Quarrytone::InitializeEditorResources();
  InstallToolkitPlatformLayer();
  // Every editor window of the module carries the product's preset bar.
  SetPresetBarFactory(Quarrytone::PresetBarEditorFactory());
}

__attribute__((destructor)) void FreeModuleResources() {
  SetPlatformLayer(nullptr);
  Quarrytone::ShutdownEditorResources();
}
#endif

}  // namespace

void SetPlatformLayer(PlatformLayer* layer) { gPlatformLayer = layer; }
void* ModuleHandle() { return gModuleHandle; }
int ToolkitUserCount() { return gToolkitUsers.load(); }

void AddToolkitUser() {
  if (gToolkitUsers.fetch_add(1) == 0 && gPlatformLayer != nullptr) gPlatformLayer->Up(gModuleHandle);
}

bool RemoveToolkitUser() {
  int n = gToolkitUsers.load();
  while (n > 0 && !gToolkitUsers.compare_exchange_weak(n, n - 1)) {
  }
  if (n <= 0) return false;  // unbalanced call: nothing to take down
  if (n == 1) {
    if (gPlatformLayer != nullptr) gPlatformLayer->Down();
    return true;
  }
  return true;
}

}  // namespace qrv::aax

#ifdef _WIN32
#define QRV_EXPORT extern "C" __declspec(dllexport)
#else
#define QRV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QRV_EXPORT AAX_Result ACFStartup(AAX_IACFUnknown* host) {
  try {
    AAX_VHostServices* current = AAX_GetHostServices();
    if (current == nullptr && host != nullptr) {
      AAX_SetHostServices(new AAX_VHostServices(host));
    } else if (current != nullptr && host == nullptr) {
      AAX_SetHostServices(nullptr);
    }
    return AAX_SUCCESS;
  } catch (...) {
    return ACF_E_UNEXPECTED;
  }
}

QRV_EXPORT AAX_Result ACFRegisterPlugin(AAX_IACFUnknown* host, AAX_IACFUnknown** definition) {
  try {
    return qrv::aax::RegisterPlugin(host, definition);
  } catch (...) {
    return ACF_E_UNEXPECTED;
  }
}

QRV_EXPORT AAX_Result ACFRegisterComponent(AAX_IACFUnknown*, uint32_t, AAX_IACFUnknown** component) {
  if (component != nullptr) *component = nullptr;
  return AAX_SUCCESS;
}

QRV_EXPORT AAX_Result ACFGetClassFactory(AAX_IACFUnknown*, uint32_t, uint32_t, void** factory) {
  if (factory != nullptr) *factory = nullptr;
  return AAX_ERROR_UNIMPLEMENTED;
}

QRV_EXPORT AAX_Result ACFCanUnloadNow(AAX_IACFUnknown*) { return AAX_LiveObjectCount(); }

QRV_EXPORT AAX_Result ACFShutdown(AAX_IACFUnknown*) {
  AAX_SetHostServices(nullptr);
  return AAX_SUCCESS;
}

QRV_EXPORT AAX_Result ACFGetSDKVersion(uint64_t* version) {
  if (version == nullptr) return AAX_ERROR_NULL_OBJECT;
  *version = AAX_SDK_VERSION;
  return AAX_SUCCESS;
}

QRV_EXPORT bool InitDll() {
  qrv::aax::AddToolkitUser();
  return true;
}

QRV_EXPORT bool ExitDll() { return qrv::aax::RemoveToolkitUser(); }
