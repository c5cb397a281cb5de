#include "dsp/FactoryPresets.h"

#include <algorithm>
#include <cstring>

namespace qrv {
namespace {

struct FactoryPresetEntry {
  std::string_view name;
  int category;  // kNoCategory for entries outside the browser's groups
  // Slots 0, 2, 3, 4, 5, 6, 7.
  double process, ratio, attack, time, compression, output, valve;
};

constexpr int N = kNoCategory;

// Values are the decimal constants as designed (0.1667 is 1.5:1, not a sixth).
constexpr std::array<FactoryPresetEntry, 33> kFactoryPresetTable = {{
    {"Default", N, 1.0, 0.5, 0.5, 0.5, 0.5, 0.15, 0.5},
    {"CompressLite1", 3, 1.0, 0.0, 0.5, 0.5, 0.5, 0.15, 0.5},
    {"CompressLite2", 3, 1.0, 0.1667, 0.5, 0.5, 0.5, 0.15, 0.5},
    {"CompressMed1", 3, 1.0, 0.3333, 0.5, 0.5, 0.5, 0.15, 0.5},
    {"CompressMed2", 3, 1.0, 0.5, 0.5, 0.5, 0.5, 0.15, 0.5},
    {"CompressHeavy1", 3, 1.0, 0.6667, 0.5, 0.5, 0.5, 0.15, 0.5},
    {"CompressHeavy2", 3, 1.0, 0.8333, 0.5, 0.5, 0.5, 0.15, 0.5},
    {"SlowLim", 3, 1.0, 1.0, 0.5, 0.5, 0.5, 0.1, 0.5},
    {"FastLim", 3, 1.0, 1.0, 0.5, 0.2, 0.5, 0.1, 0.5},
    {"Leveller", 3, 1.0, 0.5, 0.5, 0.8, 0.75, 0.3, 0.5},
    {"Glue Things Together", 0, 1.0, 0.5, 0.5, 0.6, 0.375, 0.133, 0.5},
    {"Hats Smasher", 1, 1.0, 1.0, 0.5, 0.0, 0.775, 0.425, 0.5},
    {"Kick Fattener", 1, 1.0, 0.8333, 0.5, 0.15, 0.5, 0.25, 0.5},
    {"Make it Pump", 3, 1.0, 0.3333, 0.5, 0.0, 0.65, 0.183, 0.5},
    {"Snare Puncher", 1, 1.0, 0.8333, 0.5, 0.35, 0.375, 0.166, 0.5},
    {"Kick", 1, 1.0, 0.5, 0.5, 0.3, 0.5, 0.133, 0.5},
    {"Pop Rock Vocal", 2, 1.0, 0.5, 0.5, 0.8, 0.75, 0.3, 0.5},
    {"Room Ambience", 3, 1.0, 0.6667, 0.5, 0.7, 0.275, 0.166, 0.5},
    {"Snare Bottom", 1, 1.0, 0.5, 0.5, 0.35, 0.225, 0.133, 0.5},
    {"Snare Piccolo Top 1", 1, 1.0, 0.6667, 0.5, 0.6, 0.3, 0.183, 0.5},
    {"Snare Piccolo Top 2", 1, 1.0, 0.5, 0.5, 0.4, 0.5, 0.216, 0.5},
    {"Stereo Drums Over", 1, 1.0, 0.6667, 0.5, 0.55, 0.6, 0.233, 0.5},
    {"Stereo Toms", 1, 1.0, 0.6667, 0.5, 0.5, 0.625, 0.233, 0.5},
    {"Vox", 2, 0.5, 0.5, 0.5, 0.35, 0.5, 0.1, 0.5},
    {"Gently Weeps", 3, 1.0, 0.0, 0.5, 0.1, 0.325, 0.0, 0.5},
    {"Punchy Kick", 1, 1.0, 1.0, 0.5, 0.45, 0.575, 0.15, 0.5},
    {"Kick 2", 1, 1.0, 0.8333, 0.5, 0.35, 0.4, 0.133, 0.5},
    {"Loud Bass", 3, 1.0, 0.5, 0.5, 0.15, 0.675, 0.2, 0.5},
    {"4k", 3, 1.0, 0.3333, 0.5, 0.35, 0.575, 0.083, 0.5},
    {"Bus Comp 1", 0, 0.5, 0.3333, 0.5, 0.4, 0.525, 0.116, 0.5},
    {"Bus Comp 2", 0, 0.5, 0.8333, 0.5, 0.25, 0.525, 0.083, 0.5},
    {"Bus Comp 3", 0, 1.0, 0.3333, 0.5, 0.15, 0.625, 0.083, 0.5},
    {"Init", N, 1.0, 0.5, 0.5, 0.5, 0.5, 0.15, 0.5},
}};

constexpr std::string_view kInitName = "Init";

static_assert(std::all_of(kFactoryPresetTable.begin(), kFactoryPresetTable.end(),
                          [](const FactoryPresetEntry& e) { return e.name.size() < kPresetNameSize; }));
static_assert(kFactoryPresetTable.size() + 1 == kFactoryPresetCount);

const FactoryPresetEntry* Entry(int index) {
  return index >= 0 && index < static_cast<int>(kFactoryPresetTable.size())
             ? &kFactoryPresetTable[static_cast<std::size_t>(index)]
             : nullptr;
}

}  // namespace

std::string_view FactoryPresetName(int index) {
  const auto* e = Entry(index);
  return e ? e->name : kInitName;
}

std::string FactoryPresetLabel(int index) {
  const std::string_view name = FactoryPresetName(index);
  int sharing = 0;
  for (int i = 0; i < kFactoryPresetCount; ++i) sharing += FactoryPresetName(i) == name ? 1 : 0;
  return sharing > 1 ? std::string(name) + " (" + std::to_string(index) + ")" : std::string(name);
}

int FactoryPresetCategory(int index) {
  const auto* e = Entry(index);
  return e ? e->category : kNoCategory;
}

void GetFactoryPreset(int index, double* values, char* name, FactoryPresetGrouping* grouping) {
  const auto* e = Entry(index);
  if (name != nullptr) {
    std::memset(name, 0, kPresetNameSize);
    const std::string_view n = FactoryPresetName(index);
    std::memcpy(name, n.data(), n.size());
  }
  if (values != nullptr) {
    if (e != nullptr) {
      values[kSlotProcess] = e->process;
      values[kSlotRatio] = e->ratio;
      values[kSlotAttackRatio] = e->attack;
      values[kSlotTime] = e->time;
      values[kSlotCompression] = e->compression;
      values[kSlotOutput] = e->output;
      values[kSlotValveLevel] = e->valve;
    } else {
      for (unsigned i = 0; i < kPresetValueCount; ++i) values[i] = GetParameterDefault(i);
    }
  }
  if (grouping != nullptr) {
    grouping->designer = 0;
    if (e != nullptr && e->category != kNoCategory) grouping->category = e->category;
  }
}

}  // namespace qrv
