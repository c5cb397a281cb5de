// Identifiers of the LV2 binding: plug-in, preset, bank and state-key URIs, and the bundle's file names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "controller/HostControls.h"
#include "platform/ProductFacts.h"

namespace qrv::lv2 {

inline constexpr std::string_view kUriBase = "urn:quarry-tone:warmglow";
inline constexpr const char* kPluginUriMono = "urn:quarry-tone:warmglow:mono";
inline constexpr const char* kPluginUriStereo = "urn:quarry-tone:warmglow:stereo";
// The X11 UI of both plug-ins.
inline constexpr const char* kUiUri = "urn:quarry-tone:warmglow:ui";

// State keys: the 'All ' chunk (controller prefix and host-state blob, carrying the active A/B slot), the
// other A/B slot as a single-preset blob, and which slot was active (atom:Int, 0 = A, 1 = B), with
// kActiveSlotHighQuality added when High quality is on.
inline constexpr const char* kStateKeyChunk = "urn:quarry-tone:warmglow:state:all";
inline constexpr const char* kStateKeyOtherSlot = "urn:quarry-tone:warmglow:state:other-slot";
inline constexpr const char* kStateKeyActiveSlot = "urn:quarry-tone:warmglow:state:active-slot";
// Versions before High quality know slots 0 and 1 alone and refuse any other value before changing
// anything: a state with the option on is refused there rather than loaded without it.
inline constexpr int32_t kActiveSlotHighQuality = 0x100;
// The one key of a factory preset's state (presets.ttl): its number (atom:Int, 0..33). Restored after
// the host has set the preset's port values, it makes the instance's preset state that preset, as the
// bar loads it.
inline constexpr const char* kStateKeyFactoryPreset = "urn:quarry-tone:warmglow:state:factory-preset";

inline constexpr std::string_view kBundleName = QRV_PRODUCT_NAME ".lv2";
inline constexpr std::string_view kManifestFile = "manifest.ttl";
inline constexpr std::string_view kPluginFile = "warmglow.ttl";
inline constexpr std::string_view kPresetFile = "presets.ttl";
inline constexpr std::string_view kUiFile = "ui.ttl";

inline const char* PluginUri(hostcontrols::Layout layout) {
  return layout == hostcontrols::Layout::kStereo ? kPluginUriStereo : kPluginUriMono;
}

// "urn:quarry-tone:warmglow:mono:preset:07": one preset per factory entry and layout.
inline std::string PresetUri(hostcontrols::Layout layout, int index) {
  std::string uri = PluginUri(layout);
  uri += ":preset:";
  uri += static_cast<char>('0' + index / 10 % 10);
  uri += static_cast<char>('0' + index % 10);
  return uri;
}

inline std::string BankUri(int category) {
  std::string uri(kUriBase);
  uri += ":bank:";
  uri += std::to_string(category);
  return uri;
}

}  // namespace qrv::lv2
