// One preset in memory: a name and the normalised values of parameter slots 0..11. Plain value type.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "platform/Utf8.h"

namespace qrv {

inline constexpr std::size_t kPresetNameMax = kPresetNameSize - 1;  // 23 characters

struct PresetRecord {
  char name[kPresetNameSize] = {};  // zero-terminated; byte 23 is always 0
  float values[kPresetValueCount] = {};

  // Zeroes the whole field, then copies as many whole characters as fit 23 bytes (up to an
  // embedded zero); a multi-byte character that would straddle the end is left out entirely.
  void SetName(std::string_view text) {
    std::memset(name, 0, sizeof name);
    text = text.substr(0, text.find('\0'));
    const std::size_t n = utf8::PrefixBytes(text, kPresetNameMax, kPresetNameMax);
    std::memcpy(name, text.data(), n);
  }
  std::string_view Name() const { return {name, strnlen(name, kPresetNameMax)}; }
  bool SameValues(const PresetRecord& o) const { return std::memcmp(values, o.values, sizeof values) == 0; }
  bool operator==(const PresetRecord& o) const {
    return std::memcmp(name, o.name, sizeof name) == 0 && SameValues(o);
  }
};

static_assert(sizeof(PresetRecord) == 72);
static_assert(std::is_trivially_copyable_v<PresetRecord>);

// Slots that travel in presets: those with the Stored flag (0, 2..7 in this product).
inline bool IsStoredSlot(int index) {
  return index >= 0 && index < static_cast<int>(kPresetValueCount) &&
         (GetParameterFlags(static_cast<unsigned>(index)) & kParameterFlagStored) != 0;
}

// The factory entry as a record: its name ("Init" when the table has none) and its values in single
// precision; slots the entry does not set are 0.
PresetRecord FactoryRecord(int index);

}  // namespace qrv
