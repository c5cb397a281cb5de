// The host simulator: loads a module, calls its entry points, records its description and creates
// instances from it. Main thread, except where Instance says otherwise.
#pragma once

#include <cstdint>
#include <memory>

#include "format/aax/host/AAXHostDescription.h"
#include "format/aax/host/AAXHostInstance.h"
#include "format/aax/host/AAXHostModule.h"

namespace qrv::aaxhost {

class Host {
 public:
  explicit Host(std::unique_ptr<Module> module);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Registration faults a test can ask for.
  struct Faults {
    bool noEffectDescriptor = false;
    bool noPropertyMap = false;
    bool noDefinition = false;
  };
  Faults& faults() { return faults_; }

  // ACFStartup with this host's services, or with no host object.
  AAX_Result Startup(bool withHost = true);
  // ACFRegisterPlugin; records the description and reads the page table named in it.
  AAX_Result Register();
  AAX_Result Shutdown();
  int32_t CanUnloadNow();
  bool InitDll();
  bool ExitDll();
  AAX_Result SDKVersion(uint64_t* version);
  AAX_Result RegisterComponent(AAX_IACFUnknown** component);
  AAX_Result GetClassFactory(void** factory);

  const Description& description() const { return description_; }
  Diagnostics& diagnostics() { return diagnostics_; }
  Module& module() { return *module_; }

  // An instance of component `component` (0 mono, 1 stereo here) of the first effect; null when the
  // description has no such component or a factory fails.
  std::unique_ptr<Instance> CreateInstance(std::size_t component, float sampleRate,
                                           int32_t maxBlock = Instance::kDefaultMaxBlock);

 private:
  class ServicesObject;
  class RegistrationObject;

  std::unique_ptr<Module> module_;
  Diagnostics diagnostics_;
  Description description_;
  Faults faults_;
  std::unique_ptr<ServicesObject> services_;
};

}  // namespace qrv::aaxhost
