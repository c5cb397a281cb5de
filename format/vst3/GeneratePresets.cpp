// Writes the factory presets as .vstpreset files, in the folders hosts' preset browsers look in
// (<vendor>/<plug-in>/<preset>.vstpreset under a presets folder):
// the file header ("VST3", version 1, the class id, the offset of the chunk list), the component's state
// (the 'Comp' chunk: the very stream the component's getState writes after loading the preset) and the
// chunk list. Run at build time with HOME and the settings folder pointed at a scratch folder: the
// preset state it builds reads the user's settings and folders.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controller/InstanceCore.h"
#include "dsp/FactoryPresets.h"
#include "format/vst3/Vst3Abi.h"
#include "format/vst3/Vst3Ids.h"

namespace {

using namespace qrv::vst3;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put64(std::vector<uint8_t>& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A file name from a preset's label: no folder separators.
std::string FileName(std::string label) {
  for (char& c : label) {
    if (c == '/' || c == '\\') c = '-';
  }
  return label + ".vstpreset";
}

std::vector<uint8_t> PresetFile(const abi::Uid& cid, const std::vector<uint8_t>& state) {
  constexpr uint64_t kHeaderSize = 4 + 4 + 32 + 8;
  std::vector<uint8_t> out = {'V', 'S', 'T', '3'};
  Put32(out, 1);
  for (char c : UidHex(cid)) out.push_back(static_cast<uint8_t>(c));
  Put64(out, kHeaderSize + state.size());
  out.insert(out.end(), state.begin(), state.end());
  out.insert(out.end(), {'L', 'i', 's', 't'});
  Put32(out, 1);
  out.insert(out.end(), {'C', 'o', 'm', 'p'});
  Put64(out, kHeaderSize);
  Put64(out, state.size());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  struct Plugin {
    const abi::Uid* cid;
    const char* name;
    unsigned channels;
  };
  for (const Plugin& plugin : {Plugin{&kClassIdMono, kNameMono, 1}, Plugin{&kClassIdStereo, kNameStereo, 2}}) {
    const std::filesystem::path folder = root / kVendor / plugin.name;
    std::filesystem::create_directories(folder);
    for (int i = 0; i < qrv::kFactoryPresetCount; ++i) {
      qrv::InstanceCore core(plugin.channels);
      std::vector<uint8_t> state;
      if (!core.presets().LoadFactoryPreset(i)) return 1;
      core.presets().PublishValues();
      if (!core.presets().SaveStream(state, 0)) return 1;
      const std::vector<uint8_t> file = PresetFile(*plugin.cid, state);
      std::ofstream out(folder / FileName(qrv::FactoryPresetLabel(i)), std::ios::binary);
      out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
      if (!out) return 1;
    }
  }
  return 0;
}
