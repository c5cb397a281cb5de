// The plug-ins' entry point, lv2_descriptor, and the C callbacks of both plug-ins: the plug-in binary,
// warmglow.so. The UI is a binary of its own (Lv2UiEntry.cpp); both run the process-wide state of the
// bundle's shared library (CMakeLists.txt).

#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "format/lv2/Lv2Instance.h"
#include "format/lv2/Lv2Uris.h"
#include "platform/ProductFacts.h"

namespace qrv::lv2 {
namespace {

Lv2Instance* Self(LV2_Handle handle) { return Lv2Instance::FromHandle(handle); }

// Tells the host's log, else standard error, why there is no instance.
void LogError(const LV2_Log_Log* log, const LV2_URID_Map* map, const char* message) {
  if (log != nullptr && log->printf != nullptr && map != nullptr) {
    log->printf(log->handle, map->map(map->handle, LV2_LOG__Error), QRV_PRODUCT_NAME ": %s\n", message);
  } else {
    std::fprintf(stderr, QRV_PRODUCT_NAME ": %s\n", message);
  }
}

template <hostcontrols::Layout L>
LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
  const LV2_URID_Map* map = nullptr;
  const LV2_Log_Log* log = nullptr;
  const InlineDisplayQueue* queue = nullptr;
  for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
    if (std::strcmp(features[i]->URI, LV2_URID__map) == 0) map = static_cast<const LV2_URID_Map*>(features[i]->data);
    if (std::strcmp(features[i]->URI, LV2_LOG__log) == 0) log = static_cast<const LV2_Log_Log*>(features[i]->data);
    if (std::strcmp(features[i]->URI, kInlineDisplayQueueDrawUri) == 0) {
      queue = static_cast<const InlineDisplayQueue*>(features[i]->data);
    }
  }
  // The engine's filters are defined from 22.05 to 192 kHz; elsewhere it would run with the time
  // constants of the nearest limit, so the host gets no instance rather than one that sounds wrong.
  if (!std::isfinite(rate) || rate < kMinSampleRate || rate > kMaxSampleRate) {
    char message[120];
    std::snprintf(message, sizeof message, "cannot run at %g Hz: the engine runs from %g to %g Hz", rate,
                  kMinSampleRate, kMaxSampleRate);
    LogError(log, map, message);
    return nullptr;
  }
  try {
    return (new Lv2Instance(L, rate, map, queue))->Handle();
  } catch (...) {
    return nullptr;
  }
}

void ConnectPort(LV2_Handle h, uint32_t port, void* data) { Self(h)->ConnectPort(port, data); }
void Activate(LV2_Handle h) { Self(h)->Activate(); }
void Run(LV2_Handle h, uint32_t frames) { Self(h)->Run(frames); }
void Deactivate(LV2_Handle) {}
void Cleanup(LV2_Handle h) { delete Self(h); }
LV2_State_Status Save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const*) {
  try {
    return Self(h)->state().Save(store, handle);
  } catch (...) {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_State_Status Restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                         const LV2_Feature* const*) {
  try {
    return Self(h)->state().Restore(retrieve, handle);
  } catch (...) {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

const LV2_State_Interface kStateInterface = {Save, Restore};

InlineDisplayImageSurface* Render(LV2_Handle h, uint32_t width, uint32_t maxHeight) {
  try {
    return Self(h)->inlineDisplay().Render(width, maxHeight);
  } catch (...) {
    return nullptr;
  }
}

const InlineDisplayInterface kInlineDisplayInterface = {Render};

const void* ExtensionData(const char* uri) {
  if (uri == nullptr) return nullptr;
  if (std::strcmp(uri, LV2_STATE__interface) == 0) return &kStateInterface;
  if (std::strcmp(uri, kInlineDisplayInterfaceUri) == 0) return &kInlineDisplayInterface;
  return nullptr;
}

const LV2_Descriptor kDescriptors[2] = {
    {kPluginUriMono, Instantiate<hostcontrols::Layout::kMono>, ConnectPort, Activate, Run, Deactivate, Cleanup,
     ExtensionData},
    {kPluginUriStereo, Instantiate<hostcontrols::Layout::kStereo>, ConnectPort, Activate, Run, Deactivate, Cleanup,
     ExtensionData},
};

}  // namespace
}  // namespace qrv::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index < 2 ? &qrv::lv2::kDescriptors[index] : nullptr;
}
