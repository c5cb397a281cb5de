// The 34 factory presets compiled into the module, read through GetFactoryPreset. Read-only; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dsp/ParameterSet.h"

namespace qrv {

inline constexpr int kFactoryPresetCount = 34;
inline constexpr std::size_t kPresetNameSize = 24;  // 23 characters and the terminating zero

inline constexpr std::array<std::string_view, 4> kFactoryCategories = {"Bus Compression", "Drums", "Vocals",
                                                                       "Special"};
inline constexpr int32_t kNoCategory = -1;

struct FactoryPresetGrouping {
  int32_t category;
  int32_t designer;
};

// Writes the entry's name (zero-padded to 24 characters), its values at positions 0 and 2..7 (indices
// from 33 up: the defaults of slots 0..11) and its grouping. Each output is optional; see the header
// comment of each field for what stays untouched.
void GetFactoryPreset(int index, double* values, char* name, FactoryPresetGrouping* grouping);

// The entry's name without copying; "Init" for any index from 33 up.
std::string_view FactoryPresetName(int index);
// The name a host's preset list shows: a name several entries share ("Init") gets the entry's number,
// "Init (32)", so that the entries can be told apart.
std::string FactoryPresetLabel(int index);
// The entry's category 0..3, or kNoCategory.
int FactoryPresetCategory(int index);

}  // namespace qrv
