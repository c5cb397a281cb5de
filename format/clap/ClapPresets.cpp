#include "format/clap/ClapPresets.h"

#include <charconv>
#include <new>
#include <cstring>
#include <string>
#include <string_view>

#include "dsp/FactoryPresets.h"
#include "format/clap/ClapIds.h"
#include "platform/ProductFacts.h"
#include "presets/PresetBlob.h"
#include "presets/PresetLibrary.h"

namespace qrv::clap {
namespace {

const clap_preset_discovery_provider_descriptor_t kProviderDescriptor = {kClapVersion, kPresetProviderId,
                                                                         QRV_PRODUCT_NAME " presets", kVendor};

const clap_universal_plugin_id_t kPluginIds[2] = {{"clap", kPluginIdMono}, {"clap", kPluginIdStereo}};

struct Provider {
  clap_preset_discovery_provider_t clap;
  const clap_preset_discovery_indexer_t* indexer;
  std::string userFolder;
};

Provider* Self(const clap_preset_discovery_provider_t* p) { return static_cast<Provider*>(p->provider_data); }

bool Init(const clap_preset_discovery_provider_t* p) {
  Provider* self = Self(p);
  const clap_preset_discovery_indexer_t* ix = self->indexer;
  if (ix == nullptr || ix->declare_filetype == nullptr || ix->declare_location == nullptr) return false;
  const clap_preset_discovery_filetype_t type = {QRV_PRODUCT_NAME " preset", "A preset of " QRV_PRODUCT_NAME, "qrv"};
  if (!ix->declare_filetype(ix, &type)) return false;
  const clap_preset_discovery_location_t factory = {CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Factory presets",
                                                    CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
  if (!ix->declare_location(ix, &factory)) return false;
  self->userFolder = UserPresetFolderPath();
  if (!self->userFolder.empty()) {
    const clap_preset_discovery_location_t user = {CLAP_PRESET_DISCOVERY_IS_USER_CONTENT, "User presets",
                                                   CLAP_PRESET_DISCOVERY_LOCATION_FILE, self->userFolder.c_str()};
    ix->declare_location(ix, &user);  // an indexer may refuse a folder that does not exist yet
  }
  return true;
}

void Destroy(const clap_preset_discovery_provider_t* p) { delete Self(p); }

void Describe(const clap_preset_discovery_metadata_receiver_t* r, uint32_t flags) {
  if (r->add_plugin_id != nullptr) {
    for (const clap_universal_plugin_id_t& id : kPluginIds) r->add_plugin_id(r, &id);
  }
  if (r->set_flags != nullptr) r->set_flags(r, flags);
}

bool GetMetadata(const clap_preset_discovery_provider_t*, uint32_t kind, const char* location,
                 const clap_preset_discovery_metadata_receiver_t* r) {
  if (r == nullptr || r->begin_preset == nullptr) return false;
  if (kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN) {
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      const std::string name = FactoryPresetLabel(i), key = std::to_string(i);
      if (!r->begin_preset(r, name.c_str(), key.c_str())) return true;
      Describe(r, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    }
    return true;
  }
  if (kind != CLAP_PRESET_DISCOVERY_LOCATION_FILE || location == nullptr) return false;
  const PresetFileContents file = LoadPresetFile(location);
  if (file.status != BlobStatus::Ok) {
    if (r->on_error != nullptr) r->on_error(r, 0, DescribeBlobStatus(file.status));
    return false;
  }
  if (r->begin_preset(r, file.fileName.c_str(), nullptr)) Describe(r, CLAP_PRESET_DISCOVERY_IS_USER_CONTENT);
  return true;
}

const void* ProviderExtension(const clap_preset_discovery_provider_t*, const char*) { return nullptr; }

uint32_t Count(const clap_preset_discovery_factory_t*) { return 1; }
const clap_preset_discovery_provider_descriptor_t* Descriptor(const clap_preset_discovery_factory_t*, uint32_t i) {
  return i == 0 ? &kProviderDescriptor : nullptr;
}
const clap_preset_discovery_provider_t* Create(const clap_preset_discovery_factory_t*,
                                               const clap_preset_discovery_indexer_t* indexer, const char* id) {
  if (indexer == nullptr || id == nullptr || std::strcmp(id, kPresetProviderId) != 0) return nullptr;
  auto* p = new (std::nothrow) Provider{};
  if (p == nullptr) return nullptr;
  p->indexer = indexer;
  p->clap = {&kProviderDescriptor, p, Init, Destroy, GetMetadata, ProviderExtension};
  return &p->clap;
}

const clap_preset_discovery_factory_t kFactory = {Count, Descriptor, Create};

}  // namespace

const clap_preset_discovery_factory_t* PresetDiscoveryFactory() { return &kFactory; }

std::optional<LocatedPreset> PresetAt(uint32_t kind, const char* location, const char* loadKey, std::string& message) {
  if (kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN) {
    const std::string_view key = loadKey != nullptr ? std::string_view(loadKey) : std::string_view();
    int index = -1;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
    if (key.empty() || error != std::errc() || end != key.data() + key.size() || index < 0 ||
        index >= kFactoryPresetCount) {
      message = "no factory preset has that key";
      return std::nullopt;
    }
    return LocatedPreset{FactoryRecord(index), index, {}};
  }
  if (kind == CLAP_PRESET_DISCOVERY_LOCATION_FILE && location != nullptr) {
    const PresetFileContents file = LoadPresetFile(location);
    if (file.status == BlobStatus::Ok) {
      LocatedPreset preset{file.record, -1, location};
      preset.record.SetName(file.fileName);
      return preset;
    }
    message = DescribeBlobStatus(file.status);
    return std::nullopt;
  }
  message = "not a preset location of this plug-in";
  return std::nullopt;
}

}  // namespace qrv::clap
