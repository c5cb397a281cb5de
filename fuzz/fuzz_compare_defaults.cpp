// The comparison of a saved state with the parameter defaults.
#include "presets/PresetBlob.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qrv::HostStateEqualsDefaults({data, size});
  return 0;
}
