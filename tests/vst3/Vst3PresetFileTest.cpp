// The factory presets as .vstpreset files for hosts' preset browsers: one per preset and plug-in, named as
// the program list names it, in the format's container (header, 'Comp' chunk, chunk list), for the
// plug-in's class; each chunk loads as the component's state and gives the preset's values, as the CLAP
// plug-in's preset-load gives them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "dsp/FactoryPresets.h"
#include "tests/support/RunProcess.h"
#include "tests/vst3/ClapReference.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::vst3::test {
namespace {

namespace fs = std::filesystem;

uint64_t Le(const std::string& bytes, std::size_t at, int size) {
  uint64_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

std::string Hex(const Uid& uid) {
  std::string text;
  char digits[3];
  for (char b : uid.bytes) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(static_cast<unsigned char>(b)));
    text += digits;
  }
  return text;
}

// The 'Comp' chunk of a .vstpreset file; empty when the container is not as the format lays it out.
std::vector<uint8_t> ComponentChunk(const std::string& file, const Uid& cid) {
  if (file.size() < 48 || file.compare(0, 4, "VST3") != 0 || Le(file, 4, 4) != 1) return {};
  if (file.compare(8, 32, Hex(cid)) != 0) return {};
  const uint64_t list = Le(file, 40, 8);
  if (list + 8 > file.size() || file.compare(list, 4, "List") != 0) return {};
  const uint64_t count = Le(file, list + 4, 4);
  if (list + 8 + count * 20 != file.size()) return {};
  for (uint64_t e = 0; e < count; ++e) {
    const std::size_t at = list + 8 + e * 20;
    const uint64_t offset = Le(file, at + 4, 8), size = Le(file, at + 12, 8);
    if (file.compare(at, 4, "Comp") == 0 && offset >= 48 && offset + size <= list)
      return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(offset),
                                  file.begin() + static_cast<std::ptrdiff_t>(offset + size));
  }
  return {};
}

TEST(Vst3PresetFiles, EachFactoryPresetLoadsAsTheComponentsState) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  ClapReference clap;
  ASSERT_TRUE(clap.ok());
  Host host;
  const fs::path vendor = fs::path(QRV_VST3_PRESET_DIR) / "Quarry-tone";
  for (const auto& [cid, name] : {std::pair{&kMono, "QRV warmGlow Mono"}, std::pair{&kStereo, "QRV warmGlow Stereo"}}) {
    const fs::path folder = vendor / name;
    std::set<std::string> expected, found;
    for (int i = 0; i < kFactoryPresetCount; ++i) expected.insert(FactoryPresetLabel(i) + ".vstpreset");
    for (const auto& e : fs::directory_iterator(folder)) found.insert(e.path().filename().string());
    EXPECT_EQ(found, expected) << folder;
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      SCOPED_TRACE(FactoryPresetLabel(i));
      const std::vector<uint8_t> state =
          ComponentChunk(qrv::test::FileBytes(folder / (FactoryPresetLabel(i) + ".vstpreset")), *cid);
      ASSERT_FALSE(state.empty());
      Instance instance(module, host, *cid);
      ASSERT_TRUE(instance.Load(state, 13));
      ASSERT_TRUE(clap.LoadFactoryPreset(i));
      for (ParamID id = 0; id < 7; ++id) {
        EXPECT_DOUBLE_EQ(instance.controller()->normalizedParamToPlain(id, instance.controller()->getParamNormalized(id)),
                         clap.Value(id))
            << id;
      }
      // The preset as the program list loads it saves the same state.
      Instance programmed(module, host, *cid);
      ASSERT_EQ(programmed.controller()->setParamNormalized(kProgramId, i / 33.0), kResultOk);
      std::vector<uint8_t> saved;
      ASSERT_TRUE(programmed.Save(saved));
      EXPECT_EQ(saved, state);
    }
  }
}

}  // namespace
}  // namespace qrv::vst3::test
