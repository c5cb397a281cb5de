// The presets as a host's indexer lists them through the preset-discovery factory, and loaded through
// preset-load.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "controller/HostControls.h"
#include "presets/PresetBlob.h"
#include "presets/PresetRecord.h"
#include "tests/clap/ClapTestHost.h"

namespace qrv::clap::test {
namespace {

// A location as CLAP passes it: the path in UTF-8 (on Windows too, where paths are UTF-16).
std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

struct Listed {
  std::string name, key;
  std::vector<std::string> ids;
  uint32_t flags = 0;
};

// An indexer and metadata receiver that record what the provider declares and lists.
struct Indexer {
  std::vector<std::string> extensions;
  std::vector<std::pair<uint32_t, std::string>> locations;  // kind, location ("" for null)
  std::vector<Listed> presets;
  std::vector<std::string> errors;
  clap_preset_discovery_indexer_t clap{};
  clap_preset_discovery_metadata_receiver_t receiver{};

  Indexer() {
    clap.clap_version = kClapVersion;
    clap.name = "qrv clap test indexer";
    clap.indexer_data = this;
    clap.declare_filetype = [](const clap_preset_discovery_indexer_t* ix, const clap_preset_discovery_filetype_t* t) {
      static_cast<Indexer*>(ix->indexer_data)->extensions.emplace_back(t->file_extension);
      return true;
    };
    clap.declare_location = [](const clap_preset_discovery_indexer_t* ix, const clap_preset_discovery_location_t* l) {
      static_cast<Indexer*>(ix->indexer_data)->locations.emplace_back(l->kind, l->location ? l->location : "");
      return true;
    };
    clap.declare_soundpack = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_soundpack_t*) {
      return false;
    };
    clap.get_extension = [](const clap_preset_discovery_indexer_t*, const char*) -> const void* { return nullptr; };
    receiver.receiver_data = this;
    receiver.on_error = [](const clap_preset_discovery_metadata_receiver_t* r, int32_t, const char* m) {
      Me(r)->errors.emplace_back(m);
    };
    receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver_t* r, const char* name, const char* key) {
      Me(r)->presets.push_back({name ? name : "", key ? key : "", {}, 0});
      return true;
    };
    receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver_t* r, const clap_universal_plugin_id_t* id) {
      EXPECT_STREQ(id->abi, "clap");
      Me(r)->presets.back().ids.emplace_back(id->id);
    };
    receiver.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    receiver.set_flags = [](const clap_preset_discovery_metadata_receiver_t* r, uint32_t f) {
      Me(r)->presets.back().flags = f;
    };
    receiver.add_creator = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    receiver.set_description = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    receiver.set_timestamps = [](const clap_preset_discovery_metadata_receiver_t*, clap_timestamp, clap_timestamp) {};
    receiver.add_feature = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    receiver.add_extra_info = [](const clap_preset_discovery_metadata_receiver_t*, const char*, const char*) {};
  }
  static Indexer* Me(const clap_preset_discovery_metadata_receiver_t* r) {
    return static_cast<Indexer*>(r->receiver_data);
  }
};

const std::vector<std::string> kBothIds = {"com.quarry-tone.warmglow.mono", "com.quarry-tone.warmglow.stereo"};

// A .qrv file in the user folder of the scratch profile the test host sets up.
std::filesystem::path WriteUserPreset(const std::string& name, float output) {
  const std::filesystem::path folder =
      std::filesystem::path(std::getenv("USERPROFILE")) / "Documents/quarry-tone.com/User Presets/QRV warmGlow";
  std::filesystem::create_directories(folder);
  PresetRecord record = FactoryRecord(0);
  record.values[kSlotOutput] = output;
  const std::vector<uint8_t> bytes = WriteSinglePresetBlob(record, 0, 0);
  const std::filesystem::path file = folder / (name + ".qrv");
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return file;
}

TEST(ClapPresets, OneProviderListsTheFactoryPresetsForBothPlugins) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  const auto* factory = static_cast<const clap_preset_discovery_factory_t*>(
      module.entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(module.entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT), factory);
  ASSERT_EQ(factory->count(factory), 1u);
  const clap_preset_discovery_provider_descriptor_t* d = factory->get_descriptor(factory, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(factory->get_descriptor(factory, 1), nullptr);
  Indexer indexer;
  EXPECT_EQ(factory->create(factory, &indexer.clap, "no.such.provider"), nullptr);
  const clap_preset_discovery_provider_t* provider = factory->create(factory, &indexer.clap, d->id);
  ASSERT_NE(provider, nullptr);
  ASSERT_TRUE(provider->init(provider));
  EXPECT_EQ(indexer.extensions, std::vector<std::string>{"qrv"});
  ASSERT_EQ(indexer.locations.size(), 2u);
  EXPECT_EQ(indexer.locations[0], (std::pair<uint32_t, std::string>{CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, ""}));
  EXPECT_EQ(indexer.locations[1].first, CLAP_PRESET_DISCOVERY_LOCATION_FILE);
  // UTF-8, with Windows' own separators there.
  const std::string& folder = indexer.locations[1].second;
  EXPECT_NE(std::filesystem::path(std::u8string(folder.begin(), folder.end())).generic_string().find(
                "User Presets/QRV warmGlow"),
            std::string::npos)
      << folder;

  ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &indexer.receiver));
  ASSERT_EQ(indexer.presets.size(), static_cast<std::size_t>(kFactoryPresetCount));
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    const Listed& p = indexer.presets[static_cast<std::size_t>(i)];
    EXPECT_EQ(p.key, std::to_string(i));
    EXPECT_EQ(p.name.rfind(std::string(FactoryPresetName(i)), 0), 0u) << p.name;
    EXPECT_EQ(p.ids, kBothIds);
    EXPECT_EQ(p.flags, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
  }
  EXPECT_EQ(indexer.presets[32].name, "Init (32)");
  EXPECT_EQ(indexer.presets[33].name, "Init (33)");

  indexer.presets.clear();
  const std::filesystem::path file = WriteUserPreset("Loud Bus", 0.8f);
  ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, Utf8(file).c_str(), &indexer.receiver));
  ASSERT_EQ(indexer.presets.size(), 1u);
  EXPECT_EQ(indexer.presets[0].name, "Loud Bus");
  EXPECT_EQ(indexer.presets[0].ids, kBothIds);
  EXPECT_EQ(indexer.presets[0].flags, CLAP_PRESET_DISCOVERY_IS_USER_CONTENT);
  const std::filesystem::path broken = file.parent_path() / "Broken.qrv";
  std::ofstream(broken) << "not a preset";
  EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, Utf8(broken).c_str(), &indexer.receiver));
  EXPECT_EQ(indexer.errors.size(), 1u);
  provider->destroy(provider);
}

// The values of a loaded preset are the instance's, as the host reads them back.
TEST(ClapPresets, PresetLoadSetsTheValues) {
  Module module;
  Host host;
  Instance instance(module, host, "com.quarry-tone.warmglow.stereo");
  const auto* load = instance.Extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(instance.Extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD_COMPAT), load);
  for (int index : {5, 17, 33}) {
    const int rescans = host.rescans;
    const std::string key = std::to_string(index);
    ASSERT_TRUE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key.c_str()));
    EXPECT_GT(host.rescans, rescans);
    const PresetRecord record = FactoryRecord(index);
    for (const hostcontrols::ControlPort& port : hostcontrols::kControlPorts) {
      EXPECT_EQ(instance.Value(port.port), hostcontrols::FromNormalised(port, record.values[port.slot]))
          << "preset " << index << " " << port.symbol;
    }
  }
  const std::filesystem::path file = WriteUserPreset("Twenty Four", 0.8f);
  ASSERT_TRUE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, Utf8(file).c_str(), nullptr));
  EXPECT_EQ(instance.Value(5), 24.0);
  // Keys and files that name no preset are refused and change nothing.
  const std::size_t logs = host.logs.size();
  for (const char* key : {"34", "-1", "", "3x", "99999999999999999999"}) {
    EXPECT_FALSE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key)) << key;
  }
  EXPECT_FALSE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr));
  EXPECT_FALSE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/nonexistent.qrv", nullptr));
  EXPECT_FALSE(load->from_location(instance.plugin(), 7, nullptr, "1"));
  EXPECT_EQ(instance.Value(5), 24.0);
  EXPECT_EQ(host.logs.size(), logs + 8);
}

// The name the instance's preset state carries, as its saved state holds it: record 0 of the chunk's
// host-state blob, behind the eight-byte prefix.
std::string SavedPresetName(Instance& instance) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(instance.Save(bytes));
  std::array<PresetRecord, kProgramCount> programs{};
  HostStateHeader header;
  for (std::size_t end = 8 + 41; end <= bytes.size(); ++end) {
    if (RestoreHostStateBlob(std::span<const uint8_t>(bytes).subspan(8, end - 8), programs, FactoryRecord(0),
                             header) == BlobStatus::Ok)
      return std::string(programs[static_cast<std::size_t>(header.selected)].Name());
  }
  return {};
}

// A preset the host loads is the instance's preset by name, as the bar would have loaded it, not an
// edit of the one before.
TEST(ClapPresets, APresetTheHostLoadsIsNamedAsTheBarNamesIt) {
  Module module;
  Host host;
  Instance instance(module, host, "com.quarry-tone.warmglow.mono");
  const auto* load = instance.Extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(SavedPresetName(instance), "Default");
  ASSERT_TRUE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "23"));
  EXPECT_EQ(SavedPresetName(instance), "Vox");
  ASSERT_TRUE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "2"));
  EXPECT_EQ(SavedPresetName(instance), "CompressLite2");
  const std::filesystem::path file = WriteUserPreset("My Bus", 0.3f);
  ASSERT_TRUE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, Utf8(file).c_str(), nullptr));
  EXPECT_EQ(SavedPresetName(instance), "My Bus");
  EXPECT_EQ(instance.Value(5), 9.0);
  // A file outside the user folder shows by its name too.
  const std::filesystem::path elsewhere = file.parent_path().parent_path() / "Elsewhere.qrv";
  std::filesystem::copy_file(file, elsewhere, std::filesystem::copy_options::overwrite_existing);
  ASSERT_TRUE(load->from_location(instance.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, Utf8(elsewhere).c_str(), nullptr));
  EXPECT_EQ(SavedPresetName(instance), "Elsewhere");
}

}  // namespace
}  // namespace qrv::clap::test
