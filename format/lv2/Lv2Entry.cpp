// The module's only exported symbol, lv2_descriptor, and the C callbacks of both plug-ins.

#include <lv2/core/lv2.h>

#include <cmath>
#include <new>

#include "format/lv2/Lv2Instance.h"
#include "format/lv2/Lv2Uris.h"

namespace qrv::lv2 {
namespace {

Lv2Instance* Self(LV2_Handle handle) { return static_cast<Lv2Instance*>(handle); }

template <Layout L>
LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  if (!std::isfinite(rate) || rate <= 0.0) return nullptr;
  try {
    return new Lv2Instance(L, rate);
  } catch (...) {
    return nullptr;
  }
}

void ConnectPort(LV2_Handle h, uint32_t port, void* data) { Self(h)->ConnectPort(port, data); }
void Activate(LV2_Handle h) { Self(h)->Activate(); }
void Run(LV2_Handle h, uint32_t frames) { Self(h)->Run(frames); }
void Deactivate(LV2_Handle) {}
void Cleanup(LV2_Handle h) { delete Self(h); }
const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptors[2] = {
    {kPluginUriMono, Instantiate<Layout::kMono>, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
    {kPluginUriStereo, Instantiate<Layout::kStereo>, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
};

}  // namespace
}  // namespace qrv::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index < 2 ? &qrv::lv2::kDescriptors[index] : nullptr;
}
