#include "dsp/FactoryPresets.h"

#include <gtest/gtest.h>

#include <array>
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
