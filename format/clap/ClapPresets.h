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

// What a location names: a factory preset by its number (plug-in location, load key "0".."33"), or a .qrv
// file (file location), whose record is named after the file as the library names it.
struct LocatedPreset {
  PresetRecord record;
  int factoryIndex = -1;  // -1 for a file
  std::string file;
};

// nullopt with message set when the location names no preset.
std::optional<LocatedPreset> PresetAt(uint32_t kind, const char* location, const char* loadKey, std::string& message);

}  // namespace qrv::clap
