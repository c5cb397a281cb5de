// The nine exported entry points and the module-wide state behind them.
#include "format/aax/QRV_Wrappers/QRV_AAX_Module.h"

#include <dlfcn.h>

#include <atomic>
#include <new>

#include "format/aax/QRV_Wrappers/QRV_AAX_Describe.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_EditorWrapper.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"
#include "gui/editor/EditorResources.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "format/aax/sdk/AAX_Exports.h"

namespace qrv::aax {
namespace {

void* gModuleHandle = nullptr;
std::atomic<int> gToolkitUsers{0};
PlatformLayer* gPlatformLayer = nullptr;

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

#define QRV_EXPORT extern "C" __attribute__((visibility("default")))

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
