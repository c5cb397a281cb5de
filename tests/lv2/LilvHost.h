// A small LV2 host over liblilv for the tests: a world that sees only the build tree's bundle, a URID map,
// and an instance with port buffers that runs audio in blocks.
#pragma once

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controller/HostControls.h"

namespace qrv::lv2::test {

// Folder holding "QRV warmGlow.lv2" in the build tree.
std::string BundleParent();

class UridMap {
 public:
  UridMap();
  LV2_URID Map(const char* uri);
  const char* Unmap(LV2_URID urid) const;
  LV2_URID_Map* map() { return &map_; }
  LV2_URID_Unmap* unmap() { return &unmap_; }
  const LV2_Feature* const* features() const { return features_.data(); }

 private:
  std::map<std::string, LV2_URID> ids_;
  std::vector<std::string> uris_;
  LV2_URID_Map map_{};
  LV2_URID_Unmap unmap_{};
  LV2_Feature mapFeature_{};
  LV2_Feature unmapFeature_{};
  std::array<const LV2_Feature*, 3> features_{};
};

// One lilv world for the whole test program, narrowed to the build tree through LV2_PATH.
class World {
 public:
  static World& Get();
  LilvWorld* world() { return world_; }
  const LilvPlugin* Plugin(hostcontrols::Layout layout);
  UridMap& urids() { return urids_; }
  LilvNode* NewUri(const char* uri) { return lilv_new_uri(world_, uri); }

 private:
  World();
  LilvWorld* world_;
  UridMap urids_;
};

// Channel buffers, one vector per channel.
using Audio = std::vector<std::vector<float>>;

class Instance {
 public:
  // extra: features offered beside the URID map.
  Instance(hostcontrols::Layout layout, double rate, const std::vector<const LV2_Feature*>& extra = {});
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  LilvInstance* get() { return instance_; }
  const LilvPlugin* plugin() const { return plugin_; }
  hostcontrols::Layout layout() const { return layout_; }
  float& control(uint32_t port) { return controls_[port]; }
  float& control(const char* symbol);

  void Activate() { lilv_instance_activate(instance_); }
  void Deactivate() { lilv_instance_deactivate(instance_); }
  // Runs `input` (one vector per channel of the layout) through the plug-in in blocks of `block`
  // frames and appends the result to `output`; the input buffers are copied into the port buffers.
  void Render(const Audio& input, std::size_t block, Audio& output);
  // Runs one block already placed in the port buffers by In(); results in Out().
  void RunBlock(uint32_t frames);
  float* In(uint32_t channel) { return inputs_[channel].data(); }
  float* Out(uint32_t channel) { return outputs_[channel].data(); }

  // Applies a preset (or any state) through lilv, port values included.
  bool ApplyState(const LilvState* state);

 private:
  hostcontrols::Layout layout_;
  const LilvPlugin* plugin_;
  LilvInstance* instance_;
  std::array<float, hostcontrols::kPortAudioStart> controls_{};
  std::array<std::vector<float>, 2> inputs_;
  std::array<std::vector<float>, 2> outputs_;
};

// The default value of every control port, read from the plug-in's Turtle through lilv.
void SetDefaults(Instance& instance);

}  // namespace qrv::lv2::test
