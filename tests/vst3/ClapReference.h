// The CLAP module's stereo plug-in, loaded beside the VST3 module as the reference for what the two
// bindings share: parameter names and texts, factory presets and the state stream.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "format/clap/ClapAbi.h"
#include "tests/support/SharedLibrary.h"

namespace qrv::vst3::test {

// The CLAP stereo plug-in, as the reference for names and texts.
class ClapReference {
 public:
  ClapReference() {
    void* handle = qrv::test::OpenLibrary(QRV_CLAP_MODULE, nullptr);
    if (handle == nullptr) return;
    entry_ = static_cast<const clap_plugin_entry_t*>(qrv::test::LibrarySymbol(handle, "clap_entry"));
    if (entry_ == nullptr || !entry_->init(QRV_CLAP_MODULE)) return;
    const auto* factory = static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    host_ = clap_host_t{kClapVersion, this, "test", "", "", "1", [](const clap_host_t*, const char*) -> const void* { return nullptr; },
                        [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {}};
    plugin_ = factory->create_plugin(factory, &host_, "com.quarry-tone.warmglow.stereo");
    if (plugin_ == nullptr || !plugin_->init(plugin_)) return;
    params_ = static_cast<const clap_plugin_params_t*>(plugin_->get_extension(plugin_, CLAP_EXT_PARAMS));
    presets_ = static_cast<const clap_plugin_preset_load_t*>(plugin_->get_extension(plugin_, CLAP_EXT_PRESET_LOAD));
    state_ = static_cast<const clap_plugin_state_t*>(plugin_->get_extension(plugin_, CLAP_EXT_STATE));
  }
  // The state through the state extension, whole.
  bool Save(std::vector<uint8_t>& bytes) const {
    bytes.clear();
    const clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* data, uint64_t size) -> int64_t {
                               auto* b = static_cast<std::vector<uint8_t>*>(s->ctx);
                               b->insert(b->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
                               return static_cast<int64_t>(size);
                             }};
    return state_->save(plugin_, &out);
  }
  bool Load(const std::vector<uint8_t>& bytes) const {
    struct Reader {
      const std::vector<uint8_t>* bytes;
      std::size_t at;
    } reader{&bytes, 0};
    const clap_istream_t in{&reader, [](const clap_istream_t* s, void* data, uint64_t size) -> int64_t {
                              auto* r = static_cast<Reader*>(s->ctx);
                              const std::size_t n = std::min<std::size_t>(size, r->bytes->size() - r->at);
                              std::memcpy(data, r->bytes->data() + r->at, n);
                              r->at += n;
                              return static_cast<int64_t>(n);
                            }};
    return state_->load(plugin_, &in);
  }
  ~ClapReference() {
    if (plugin_ != nullptr) plugin_->destroy(plugin_);
    if (entry_ != nullptr) entry_->deinit();
  }
  bool ok() const { return params_ != nullptr && presets_ != nullptr && state_ != nullptr; }
  clap_param_info_t Info(uint32_t index) const {
    clap_param_info_t info{};
    params_->get_info(plugin_, index, &info);
    return info;
  }
  std::string Text(clap_id id, double plain) const {
    char text[256] = {};
    return params_->value_to_text(plugin_, id, plain, text, sizeof text) ? text : "<none>";
  }
  double Value(clap_id id) const {
    double v = NAN;
    params_->get_value(plugin_, id, &v);
    return v;
  }
  bool LoadFactoryPreset(int index) const {
    return presets_->from_location(plugin_, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, std::to_string(index).c_str());
  }

 private:
  const clap_plugin_entry_t* entry_ = nullptr;
  clap_host_t host_{};
  const clap_plugin_t* plugin_ = nullptr;
  const clap_plugin_params_t* params_ = nullptr;
  const clap_plugin_preset_load_t* presets_ = nullptr;
  const clap_plugin_state_t* state_ = nullptr;
};

}  // namespace qrv::vst3::test
