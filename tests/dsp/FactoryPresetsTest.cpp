#include "dsp/FactoryPresets.h"

#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dsp/warmGlowEffect.h"

namespace qrv {
namespace {

std::array<double, kPresetValueCount> Values(int index) {
  std::array<double, kPresetValueCount> v{};
  GetFactoryPreset(index, v.data(), nullptr, nullptr);
  return v;
}

TEST(FactoryPresets, CategoriesGroupTheDocumentedEntries) {
  std::map<int, std::vector<int>> groups;
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    FactoryPresetGrouping g{kNoCategory, 77};
    GetFactoryPreset(i, nullptr, nullptr, &g);
    EXPECT_EQ(g.designer, 0);
    EXPECT_EQ(g.category, FactoryPresetCategory(i));
    groups[g.category].push_back(i);
  }
  EXPECT_EQ(groups[kNoCategory], (std::vector<int>{0, 32, 33}));
  EXPECT_EQ(groups[0], (std::vector<int>{10, 29, 30, 31}));
  EXPECT_EQ(groups[1], (std::vector<int>{11, 12, 14, 15, 18, 19, 20, 21, 22, 25, 26}));
  EXPECT_EQ(groups[2], (std::vector<int>{16, 23}));
  EXPECT_EQ(groups[3], (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 17, 24, 27, 28}));
}

TEST(FactoryPresets, NamesFitAndAreZeroPadded) {
  std::size_t longest = 0;
  std::string longestName;
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    char name[kPresetNameSize];
    std::memset(name, 'x', sizeof name);
    GetFactoryPreset(i, nullptr, name, nullptr);
    const std::size_t n = strnlen(name, sizeof name);
    ASSERT_LT(n, kPresetNameSize);
    for (std::size_t k = n; k < kPresetNameSize; ++k) EXPECT_EQ(name[k], '\0');
    if (n > longest) {
      longest = n;
      longestName = name;
    }
  }
  EXPECT_EQ(longest, 20u);
  EXPECT_EQ(longestName, "Glue Things Together");
  EXPECT_EQ(FactoryPresetName(0), "Default");
  EXPECT_EQ(FactoryPresetName(23), "Vox");
  EXPECT_EQ(FactoryPresetName(33), "Init");
  EXPECT_EQ(FactoryPresetName(500), "Init");
}

TEST(FactoryPresets, ValuesDefaultsAndInitEntries) {
  const auto def = Values(0);
  for (unsigned slot : kControlSlots) EXPECT_EQ(def[slot], GetParameterDefault(slot)) << slot;
  EXPECT_EQ(Values(32), def);
  EXPECT_EQ(def[1], 0.0);  // slot 1 is left as the caller set it

  auto init = Values(33);
  for (unsigned i = 0; i < kPresetValueCount; ++i) EXPECT_EQ(init[i], GetParameterDefault(i));
  EXPECT_EQ(init[1], 0.5);
  EXPECT_EQ(Values(40), init);  // any index above 33 answers like 33

  // Values stored as written, not as exact fractions.
  EXPECT_EQ(Values(2)[kSlotRatio], 0.1667);
  EXPECT_EQ(Values(10)[kSlotOutput], 0.133);

  // Grouping keeps the caller's category for uncategorised entries.
  FactoryPresetGrouping g{kNoCategory, 5};
  GetFactoryPreset(33, nullptr, nullptr, &g);
  EXPECT_EQ(g.category, kNoCategory);
  EXPECT_EQ(g.designer, 0);
}

TEST(FactoryPresets, EveryEntryCarriesItsDesignedValues) {
  // Process, Ratio, Time, Compression, Output per entry; AttackRatio and ValveLevel are 0.5 throughout.
  const struct {
    const char* name;
    double process, ratio, time, compression, output;
  } expected[] = {
      {"Default", 1.0, 0.5, 0.5, 0.5, 0.15},
      {"CompressLite1", 1.0, 0.0, 0.5, 0.5, 0.15},
      {"CompressLite2", 1.0, 0.1667, 0.5, 0.5, 0.15},
      {"CompressMed1", 1.0, 0.3333, 0.5, 0.5, 0.15},
      {"CompressMed2", 1.0, 0.5, 0.5, 0.5, 0.15},
      {"CompressHeavy1", 1.0, 0.6667, 0.5, 0.5, 0.15},
      {"CompressHeavy2", 1.0, 0.8333, 0.5, 0.5, 0.15},
      {"SlowLim", 1.0, 1.0, 0.5, 0.5, 0.1},
      {"FastLim", 1.0, 1.0, 0.2, 0.5, 0.1},
      {"Leveller", 1.0, 0.5, 0.8, 0.75, 0.3},
      {"Glue Things Together", 1.0, 0.5, 0.6, 0.375, 0.133},
      {"Hats Smasher", 1.0, 1.0, 0.0, 0.775, 0.425},
      {"Kick Fattener", 1.0, 0.8333, 0.15, 0.5, 0.25},
      {"Make it Pump", 1.0, 0.3333, 0.0, 0.65, 0.183},
      {"Snare Puncher", 1.0, 0.8333, 0.35, 0.375, 0.166},
      {"Kick", 1.0, 0.5, 0.3, 0.5, 0.133},
      {"Pop Rock Vocal", 1.0, 0.5, 0.8, 0.75, 0.3},
      {"Room Ambience", 1.0, 0.6667, 0.7, 0.275, 0.166},
      {"Snare Bottom", 1.0, 0.5, 0.35, 0.225, 0.133},
      {"Snare Piccolo Top 1", 1.0, 0.6667, 0.6, 0.3, 0.183},
      {"Snare Piccolo Top 2", 1.0, 0.5, 0.4, 0.5, 0.216},
      {"Stereo Drums Over", 1.0, 0.6667, 0.55, 0.6, 0.233},
      {"Stereo Toms", 1.0, 0.6667, 0.5, 0.625, 0.233},
      {"Vox", 0.5, 0.5, 0.35, 0.5, 0.1},
      {"Gently Weeps", 1.0, 0.0, 0.1, 0.325, 0.0},
      {"Punchy Kick", 1.0, 1.0, 0.45, 0.575, 0.15},
      {"Kick 2", 1.0, 0.8333, 0.35, 0.4, 0.133},
      {"Loud Bass", 1.0, 0.5, 0.15, 0.675, 0.2},
      {"4k", 1.0, 0.3333, 0.35, 0.575, 0.083},
      {"Bus Comp 1", 0.5, 0.3333, 0.4, 0.525, 0.116},
      {"Bus Comp 2", 0.5, 0.8333, 0.25, 0.525, 0.083},
      {"Bus Comp 3", 1.0, 0.3333, 0.15, 0.625, 0.083},
      {"Init", 1.0, 0.5, 0.5, 0.5, 0.15},
  };
  static_assert(std::size(expected) + 1 == kFactoryPresetCount);
  for (int i = 0; i < static_cast<int>(std::size(expected)); ++i) {
    const auto& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(FactoryPresetName(i), e.name);
    const auto v = Values(i);
    EXPECT_EQ(v[kSlotProcess], e.process);
    EXPECT_EQ(v[kSlotRatio], e.ratio);
    EXPECT_EQ(v[kSlotAttackRatio], 0.5);
    EXPECT_EQ(v[kSlotTime], e.time);
    EXPECT_EQ(v[kSlotCompression], e.compression);
    EXPECT_EQ(v[kSlotOutput], e.output);
    EXPECT_EQ(v[kSlotValveLevel], 0.5);
  }
}

TEST(FactoryPresets, OnlyVoxAndFirstTwoBusCompsSelectClear) {
  warmGlowEffect fx;
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    const auto v = Values(i);
    for (unsigned slot : kControlSlots) fx.SetParameter(slot, v[slot]);
    const std::string name(FactoryPresetName(i));
    const bool clear = name == "Vox" || name == "Bus Comp 1" || name == "Bus Comp 2";
    EXPECT_EQ(fx.mode(), clear ? ProcessMode::kClear : ProcessMode::kValve) << name;
  }
}

}  // namespace
}  // namespace qrv
