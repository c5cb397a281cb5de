// The UI's entry point, lv2ui_descriptor, and the C callbacks of the X11 UI shared by both plug-ins: the
// UI binary, warmglow_ui.so. It shares every process-wide object with the instance through the bundle's
// shared library, which both binaries link (CMakeLists.txt).

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "format/lv2/Lv2UiEditor.h"
#include "format/lv2/Lv2Uris.h"
#include "platform/ProductFacts.h"

namespace qrv::lv2 {
namespace {

Lv2UiEditor* Self(LV2UI_Handle handle) { return static_cast<Lv2UiEditor*>(handle); }

const void* Feature(const LV2_Feature* const* features, const char* uri) {
  for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
    if (features[i]->URI != nullptr && std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
  }
  return nullptr;
}

// The host's ui:scaleFactor option; 0 when not offered.
float HostScaleFactor(const LV2_Feature* const* features) {
  const auto* map = static_cast<const LV2_URID_Map*>(Feature(features, LV2_URID__map));
  const auto* options = static_cast<const LV2_Options_Option*>(Feature(features, LV2_OPTIONS__options));
  if (map == nullptr || options == nullptr) return 0.0f;
  const LV2_URID scale = map->map(map->handle, LV2_UI__scaleFactor);
  const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
  for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
    if (o->key == scale && o->type == atomFloat && o->size == sizeof(float) && o->value != nullptr) {
      float f;
      std::memcpy(&f, o->value, sizeof f);
      return f;
    }
  }
  return 0.0f;
}

// Said once per process, in the host's log when it offers one.
void SayNoInstanceAccess(const LV2_Feature* const* features) {
  static bool said = false;
  if (said) return;
  said = true;
  constexpr const char* kText =
      QRV_PRODUCT_NAME ": the host offers no instance access; the editor works, but its preset bar cannot reach "
      "this instance's presets\n";
  const auto* log = static_cast<const LV2_Log_Log*>(Feature(features, LV2_LOG__log));
  const auto* map = static_cast<const LV2_URID_Map*>(Feature(features, LV2_URID__map));
  if (log != nullptr && log->printf != nullptr && map != nullptr) {
    log->printf(log->handle, map->map(map->handle, LV2_LOG__Note), "%s", kText);
  } else {
    std::fputs(kText, stderr);
  }
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (pluginUri == nullptr || widget == nullptr || write == nullptr) return nullptr;
  if (std::strcmp(pluginUri, kPluginUriMono) != 0 && std::strcmp(pluginUri, kPluginUriStereo) != 0) return nullptr;
  Lv2UiHost host;
  host.write = write;
  host.controller = controller;
  host.touch = static_cast<const LV2UI_Touch*>(Feature(features, LV2_UI__touch));
  host.resize = static_cast<const LV2UI_Resize*>(Feature(features, LV2_UI__resize));
  // The instance's handle is its Lv2InstanceAccess (Lv2Instance::Handle).
  host.instance = static_cast<Lv2InstanceAccess*>(const_cast<void*>(Feature(features, LV2_INSTANCE_ACCESS_URI)));
  if (host.instance == nullptr) SayNoInstanceAccess(features);
  const auto parent = reinterpret_cast<unsigned long>(Feature(features, LV2_UI__parent));
  Lv2UiEditor* made = nullptr;
  try {
    auto editor = std::make_unique<Lv2UiEditor>(host);
    if (editor->OpenIn(parent, StartingZoom(HostScaleFactor(features)))) made = editor.release();
  } catch (...) {
  }
  if (made == nullptr) return nullptr;
  *widget = reinterpret_cast<LV2UI_Widget>(made->Widget());
  return made;
}

void Cleanup(LV2UI_Handle h) {
  delete Self(h);
}

void PortEvent(LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  Self(h)->PortEvent(port, size, format, buffer);
}

int Idle(LV2UI_Handle h) {
  Self(h)->Idle();
  return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {Idle};

const void* ExtensionData(const char* uri) {
  return uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

}  // namespace
}  // namespace qrv::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &qrv::lv2::kDescriptor : nullptr;
}
