// The presets as hosts list and load them: the preset-discovery factory with one provider for both
// plug-ins (the 34 factory presets inside the module, the user folder's .qrv files), and the preset a
// host asks an instance to load (preset-load).
#pragma once

#include <optional>
#include <string>

#include "format/clap/ClapAbi.h"
#include "presets/PresetRecord.h"

namespace qrv::clap {

inline constexpr const char* kPresetProviderId = "com.quarry-tone.warmglow.presets";

// The factory; the same object under the stable and the draft id.
const clap_preset_discovery_factory_t* PresetDiscoveryFactory();

// The record a location names: a factory preset by its number (plug-in location, load key "0".."33"), or a
// .qrv file (file location). nullopt with message set when it names none.
std::optional<PresetRecord> PresetAt(uint32_t kind, const char* location, const char* loadKey, std::string& message);

}  // namespace qrv::clap
