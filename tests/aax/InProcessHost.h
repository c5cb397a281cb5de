// A host around the binding linked into the test process (no dlopen), for tests that look inside it.
#pragma once

#include <memory>

#include "format/aax/host/AAXHost.h"
#include "format/aax/sdk/AAX_Exports.h"

extern "C" {
AAX_Result ACFStartup(AAX_IACFUnknown*);
AAX_Result ACFRegisterPlugin(AAX_IACFUnknown*, AAX_IACFUnknown**);
AAX_Result ACFRegisterComponent(AAX_IACFUnknown*, uint32_t, AAX_IACFUnknown**);
AAX_Result ACFGetClassFactory(AAX_IACFUnknown*, uint32_t, uint32_t, void**);
AAX_Result ACFCanUnloadNow(AAX_IACFUnknown*);
AAX_Result ACFShutdown(AAX_IACFUnknown*);
AAX_Result ACFGetSDKVersion(uint64_t*);
bool InitDll();
bool ExitDll();
}

namespace qrv::aaxtest {

inline std::unique_ptr<aaxhost::Host> InProcessHost() {
  aaxhost::EntryPoints e;
  e.startup = &ACFStartup;
  e.registerPlugin = &ACFRegisterPlugin;
  e.registerComponent = &ACFRegisterComponent;
  e.getClassFactory = &ACFGetClassFactory;
  e.canUnloadNow = &ACFCanUnloadNow;
  e.shutdown = &ACFShutdown;
  e.getSDKVersion = &ACFGetSDKVersion;
  e.initDll = &InitDll;
  e.exitDll = &ExitDll;
  return std::make_unique<aaxhost::Host>(aaxhost::Module::FromEntries(e, QRV_AAX_BUNDLE));
}

}  // namespace qrv::aaxtest
