#include "tests/lv2/LilvHost.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "format/lv2/Lv2Uris.h"

namespace qrv::lv2::test {
namespace {

constexpr uint32_t kMaxBlock = 8192;

}  // namespace

std::string BundleParent() { return QRV_LV2_BUNDLE_PARENT; }

UridMap::UridMap() {
  map_.handle = this;
  map_.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->Map(uri); };
  unmap_.handle = this;
  unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID u) { return static_cast<UridMap*>(h)->Unmap(u); };
  mapFeature_ = {LV2_URID__map, &map_};
  unmapFeature_ = {LV2_URID__unmap, &unmap_};
  features_ = {&mapFeature_, &unmapFeature_, nullptr};
}

LV2_URID UridMap::Map(const char* uri) {
  auto [it, inserted] = ids_.try_emplace(uri, static_cast<LV2_URID>(uris_.size() + 1));
  if (inserted) uris_.emplace_back(uri);
  return it->second;
}

const char* UridMap::Unmap(LV2_URID urid) const {
  return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

World& World::Get() {
  static World world;
  return world;
}

World::World() {
  // Only the build tree's bundle, never what the machine has installed.
  setenv("LV2_PATH", BundleParent().c_str(), 1);
  world_ = lilv_world_new();
  lilv_world_load_all(world_);
}

const LilvPlugin* World::Plugin(hostcontrols::Layout layout) {
  LilvNode* uri = NewUri(PluginUri(layout));
  const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
  lilv_node_free(uri);
  return p;
}

Instance::Instance(hostcontrols::Layout layout, double rate, const std::vector<const LV2_Feature*>& extra)
    : layout_(layout), plugin_(World::Get().Plugin(layout)) {
  if (plugin_ == nullptr) throw std::runtime_error("plug-in not found");
  std::vector<const LV2_Feature*> features;
  for (const LV2_Feature* const* f = World::Get().urids().features(); *f != nullptr; ++f) features.push_back(*f);
  features.insert(features.end(), extra.begin(), extra.end());
  features.push_back(nullptr);
  instance_ = lilv_plugin_instantiate(plugin_, rate, features.data());
  if (instance_ == nullptr) throw std::runtime_error("instantiation failed");
  for (uint32_t p = 0; p < hostcontrols::kPortAudioStart; ++p) lilv_instance_connect_port(instance_, p, &controls_[p]);
  for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout); ++ch) {
    inputs_[ch].assign(kMaxBlock, 0.0f);
    outputs_[ch].assign(kMaxBlock, 0.0f);
    lilv_instance_connect_port(instance_, hostcontrols::AudioInputPort(layout, ch), inputs_[ch].data());
    lilv_instance_connect_port(instance_, hostcontrols::AudioOutputPort(layout, ch), outputs_[ch].data());
  }
  SetDefaults(*this);
}

Instance::~Instance() { lilv_instance_free(instance_); }

float& Instance::control(const char* symbol) {
  LilvNode* sym = lilv_new_string(World::Get().world(), symbol);
  const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin_, sym);
  lilv_node_free(sym);
  if (port == nullptr) throw std::runtime_error(std::string("no port ") + symbol);
  return controls_.at(lilv_port_get_index(plugin_, port));
}

void Instance::RunBlock(uint32_t frames) { lilv_instance_run(instance_, frames); }

void Instance::Render(const Audio& input, std::size_t block, Audio& output) {
  const uint32_t channels = hostcontrols::ChannelCount(layout_);
  output.resize(channels);
  const std::size_t frames = input.at(0).size();
  for (std::size_t done = 0; done < frames;) {
    const std::size_t n = std::min({block, frames - done, static_cast<std::size_t>(kMaxBlock)});
    for (uint32_t ch = 0; ch < channels; ++ch) std::memcpy(In(ch), input.at(ch).data() + done, n * sizeof(float));
    RunBlock(static_cast<uint32_t>(n));
    for (uint32_t ch = 0; ch < channels; ++ch) output[ch].insert(output[ch].end(), Out(ch), Out(ch) + n);
    done += n;
  }
}

bool Instance::ApplyState(const LilvState* state) {
  struct Ctx {
    Instance* self;
    LV2_URID floatType;
    bool ok = true;
  } ctx{this, World::Get().urids().Map(LV2_ATOM__Float)};
  auto setPort = [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
    auto* c = static_cast<Ctx*>(data);
    if (type != c->floatType || size != sizeof(float)) {
      c->ok = false;
      return;
    }
    std::memcpy(&c->self->control(symbol), value, sizeof(float));
  };
  lilv_state_restore(state, instance_, setPort, &ctx, 0, World::Get().urids().features());
  return ctx.ok;
}

void SetDefaults(Instance& instance) {
  const LilvPlugin* plugin = instance.plugin();
  const uint32_t n = lilv_plugin_get_num_ports(plugin);
  for (uint32_t i = 0; i < n && i < hostcontrols::kPortAudioStart; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    LilvNode* def = nullptr;
    lilv_port_get_range(plugin, port, &def, nullptr, nullptr);
    instance.control(i) = def != nullptr ? lilv_node_as_float(def) : 0.0f;
    lilv_node_free(def);
  }
}

}  // namespace qrv::lv2::test
