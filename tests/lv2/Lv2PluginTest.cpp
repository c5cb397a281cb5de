// The generated bundle loaded by liblilv: description, factory presets and audio that must equal the engine
// driven directly with the same settings, sample for sample.
#include <gtest/gtest.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"
#include "format/lv2/Lv2Uris.h"
#include "tests/lv2/LilvHost.h"
#include "tests/support/AllocationCounter.h"

namespace qrv::lv2::test {
namespace {

using Values = std::array<double, kPresetValueCount>;

constexpr std::array<hostcontrols::Layout, 2> kLayouts = {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo};

// Bursts at several levels with a near-silent tail, so compression, release and denormal territory all
// show up; the right channel differs from the left.
Audio TestSignal(uint32_t channels, std::size_t frames, double rate) {
  Audio a(channels, std::vector<float>(frames));
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> noise(-0.02f, 0.02f);
  constexpr std::array<float, 5> kLevels = {0.05f, 0.9f, 0.3f, 1.2f, 1e-6f};
  for (uint32_t ch = 0; ch < channels; ++ch) {
    const double f = ch == 0 ? 220.0 : 347.0;
    for (std::size_t i = 0; i < frames; ++i) {
      const float level = kLevels[std::min(i * kLevels.size() / frames, kLevels.size() - 1)];
      a[ch][i] = level * (static_cast<float>(std::sin(2.0 * M_PI * f * static_cast<double>(i) / rate)) + noise(gen));
    }
  }
  return a;
}

Values FactoryValues(int index) {
  Values v{};
  GetFactoryPreset(index, v.data(), nullptr, nullptr);
  return v;
}

// The engine as the plug-in should drive it: rate, every value, reset, then blocks with flush-to-zero.
class Direct {
 public:
  Direct(hostcontrols::Layout layout, double rate) : layout_(layout) { fx_.SetSampleRate(rate); }
  void Start(const Values& values) {
    for (unsigned slot : kControlSlots) fx_.SetParameter(slot, values[slot]);
    fx_.Reset();
  }
  Audio Render(const Audio& in, std::size_t block, bool bypass = false) {
    const uint32_t channels = hostcontrols::ChannelCount(layout_);
    Audio out(channels, std::vector<float>(in[0].size()));
    for (std::size_t done = 0; done < in[0].size(); done += block) {
      const std::size_t n = std::min(block, in[0].size() - done);
      const float* ip[2] = {in[0].data() + done, channels == 2 ? in[1].data() + done : nullptr};
      float* op[2] = {out[0].data() + done, channels == 2 ? out[1].data() + done : nullptr};
      ScopedFlushToZero ftz;
      if (bypass) {
        fx_.BypassBlock(ip, op, static_cast<int32_t>(n));
      } else {
        fx_.ProcessBlock(ip, op, static_cast<int32_t>(n));
      }
    }
    return out;
  }

 private:
  hostcontrols::Layout layout_;
  warmGlowEffect fx_;
};

Audio RenderDirect(hostcontrols::Layout layout, double rate, const Values& values, const Audio& in, std::size_t block) {
  Direct d(layout, rate);
  d.Start(values);
  return d.Render(in, block);
}

bool SameBits(const Audio& a, const Audio& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t ch = 0; ch < a.size(); ++ch) {
    if (a[ch].size() != b[ch].size() || std::memcmp(a[ch].data(), b[ch].data(), a[ch].size() * sizeof(float)) != 0) {
      return false;
    }
  }
  return true;
}

float MaxDifference(const Audio& a, const Audio& b) {
  float d = 0.0f;
  for (std::size_t ch = 0; ch < std::min(a.size(), b.size()); ++ch) {
    for (std::size_t i = 0; i < std::min(a[ch].size(), b[ch].size()); ++i)
      d = std::max(d, std::fabs(a[ch][i] - b[ch][i]));
  }
  return d;
}

// Factory presets of a plug-in as lilv finds them, by index in the factory table.
std::map<int, const LilvNode*> Presets(const LilvPlugin* plugin, LilvNodes* related) {
  std::map<int, const LilvNode*> out;
  LILV_FOREACH(nodes, it, related) {
    const LilvNode* node = lilv_nodes_get(related, it);
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      if (PresetUri(hostcontrols::Layout::kMono, i) == lilv_node_as_uri(node) ||
          PresetUri(hostcontrols::Layout::kStereo, i) == lilv_node_as_uri(node)) {
        out[i] = node;
      }
    }
  }
  (void)plugin;
  return out;
}

class PresetSet {
 public:
  explicit PresetSet(hostcontrols::Layout layout) : world_(World::Get()) {
    const LilvPlugin* plugin = world_.Plugin(layout);
    LilvNode* presetClass = world_.NewUri(LV2_PRESETS__Preset);
    related_ = lilv_plugin_get_related(plugin, presetClass);
    lilv_node_free(presetClass);
    byIndex_ = Presets(plugin, related_);
  }
  ~PresetSet() {
    for (auto& [i, s] : states_) lilv_state_free(s);
    lilv_nodes_free(related_);
  }
  std::size_t size() const { return byIndex_.size(); }
  const LilvNode* node(int index) const { return byIndex_.at(index); }
  const LilvState* state(int index) {
    auto it = states_.find(index);
    if (it != states_.end()) return it->second;
    lilv_world_load_resource(world_.world(), node(index));
    LilvState* s = lilv_state_new_from_world(world_.world(), world_.urids().map(), node(index));
    states_[index] = s;
    return s;
  }

 private:
  World& world_;
  LilvNodes* related_;
  std::map<int, const LilvNode*> byIndex_;
  std::map<int, LilvState*> states_;
};

std::string LiteralOf(const LilvNode* subject, const char* predicate) {
  LilvNode* p = World::Get().NewUri(predicate);
  LilvNode* v = lilv_world_get(World::Get().world(), subject, p, nullptr);
  std::string s = v != nullptr && lilv_node_is_string(v) ? lilv_node_as_string(v) : "";
  lilv_node_free(v);
  lilv_node_free(p);
  return s;
}

TEST(Lv2Bundle, BothPluginsDescribeTheControlsInTheUnitsAUserReads) {
  World& w = World::Get();
  for (hostcontrols::Layout layout : kLayouts) {
    const LilvPlugin* plugin = w.Plugin(layout);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(lilv_plugin_get_num_ports(plugin), hostcontrols::PortCount(layout));
    EXPECT_TRUE(lilv_plugin_has_latency(plugin));
    EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), hostcontrols::kPortLatency);
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);  // any host may load it
    lilv_nodes_free(required);
    LilvNode* hardRt = w.NewUri(LV2_CORE__hardRTCapable);
    EXPECT_TRUE(lilv_plugin_has_feature(plugin, hardRt));
    lilv_node_free(hardRt);
    LilvNode* type = w.NewUri(LILV_NS_RDF "type");
    LilvNode* compressor = w.NewUri(LV2_CORE__CompressorPlugin);
    EXPECT_TRUE(lilv_world_ask(w.world(), lilv_plugin_get_uri(plugin), type, compressor));
    lilv_node_free(type);
    lilv_node_free(compressor);

    LilvNode* enumeration = w.NewUri(LV2_CORE__enumeration);
    LilvNode* integer = w.NewUri(LV2_CORE__integer);
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p.port);
      ASSERT_NE(port, nullptr);
      EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), std::string(p.symbol).c_str());
      LilvNode* name = lilv_port_get_name(plugin, port);
      EXPECT_EQ(lilv_node_as_string(name), ParameterName(p.slot));
      lilv_node_free(name);
      LilvNode *def, *min, *max;
      lilv_port_get_range(plugin, port, &def, &min, &max);
      EXPECT_EQ(lilv_node_as_float(min), 0.0f);
      EXPECT_EQ(lilv_node_as_float(max), p.maximum);
      EXPECT_EQ(hostcontrols::ToNormalised(p, lilv_node_as_float(def)), GetParameterDefault(p.slot)) << p.symbol;
      lilv_node_free(def);
      lilv_node_free(min);
      lilv_node_free(max);
      // Output snaps to the engine's half-dB steps; Time and Compression take the usual step hint.
      LilvNode* rangeSteps = w.NewUri("http://lv2plug.in/ns/ext/port-props#rangeSteps");
      LilvNodes* steps = lilv_port_get_value(plugin, port, rangeSteps);
      const int expectedSteps = p.slot == kSlotOutput ? 61 : p.kind == hostcontrols::ControlKind::kContinuous ? 101 : 0;
      EXPECT_EQ(steps != nullptr ? lilv_node_as_int(lilv_nodes_get_first(steps)) : 0, expectedSteps) << p.symbol;
      lilv_nodes_free(steps);
      lilv_node_free(rangeSteps);
      const bool isEnum = p.kind == hostcontrols::ControlKind::kEnumeration;
      EXPECT_EQ(lilv_port_has_property(plugin, port, enumeration), isEnum);
      EXPECT_EQ(lilv_port_has_property(plugin, port, integer), isEnum);
      LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
      std::map<int, std::string> labels;
      LILV_FOREACH(scale_points, it, points) {
        const LilvScalePoint* sp = lilv_scale_points_get(points, it);
        labels[static_cast<int>(lilv_node_as_float(lilv_scale_point_get_value(sp)))] =
            lilv_node_as_string(lilv_scale_point_get_label(sp));
      }
      lilv_scale_points_free(points);
      ASSERT_EQ(labels.size(), static_cast<std::size_t>(hostcontrols::ScalePointCount(p))) << p.symbol;
      for (const auto& [n, label] : labels) {
        char text[16] = {};
        GetParameterDisplay(p.slot, n / static_cast<double>(p.maximum), text, sizeof text);
        EXPECT_EQ(label, text) << p.symbol;
      }
    }
    lilv_node_free(enumeration);
    lilv_node_free(integer);

    LilvNode* enabled = w.NewUri(LV2_CORE__enabled);
    LilvNode* input = w.NewUri(LV2_CORE__InputPort);
    const LilvPort* bypass = lilv_plugin_get_port_by_designation(plugin, input, enabled);
    ASSERT_NE(bypass, nullptr);
    EXPECT_EQ(lilv_port_get_index(plugin, bypass), hostcontrols::kPortEnabled);
    lilv_node_free(enabled);
    lilv_node_free(input);

    // A host lists ports by name: no two alike.
    std::map<std::string, int> names;
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
      LilvNode* name = lilv_port_get_name(plugin, lilv_plugin_get_port_by_index(plugin, i));
      ++names[lilv_node_as_string(name)];
      lilv_node_free(name);
    }
    for (const auto& [name, count] : names) EXPECT_EQ(count, 1) << name;

    LilvNode* audio = w.NewUri(LV2_CORE__AudioPort);
    const bool stereo = layout == hostcontrols::Layout::kStereo;
    const std::map<uint32_t, std::string> audioPorts =
        stereo ? std::map<uint32_t, std::string>{{hostcontrols::AudioInputPort(layout, 0), "in_l"},
                                                 {hostcontrols::AudioInputPort(layout, 1), "in_r"},
                                                 {hostcontrols::AudioOutputPort(layout, 0), "out_l"},
                                                 {hostcontrols::AudioOutputPort(layout, 1), "out_r"}}
               : std::map<uint32_t, std::string>{{hostcontrols::AudioInputPort(layout, 0), "in"},
                                                 {hostcontrols::AudioOutputPort(layout, 0), "out"}};
    for (const auto& [index, symbol] : audioPorts) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
      ASSERT_NE(port, nullptr);
      EXPECT_TRUE(lilv_port_is_a(plugin, port, audio));
      EXPECT_EQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), symbol);
    }
    lilv_node_free(audio);
  }
}

TEST(Lv2Bundle, FactoryPresetsCarryTheTableInPortUnits) {
  World& w = World::Get();
  for (hostcontrols::Layout layout : kLayouts) {
    PresetSet presets(layout);
    ASSERT_EQ(presets.size(), static_cast<std::size_t>(kFactoryPresetCount));
    Instance inst(layout, 48000);
    std::set<std::string> labels;
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      lilv_world_load_resource(w.world(), presets.node(i));
      // A host's menu tells every preset apart by its label: a name that two entries share ("Init")
      // carries the factory number; the others are the names as the product shows them.
      const std::string label = LiteralOf(presets.node(i), LILV_NS_RDFS "label");
      EXPECT_TRUE(labels.insert(label).second) << label;
      int sharing = 0;
      for (int j = 0; j < kFactoryPresetCount; ++j) sharing += FactoryPresetName(j) == FactoryPresetName(i);
      if (sharing > 1) {
        EXPECT_TRUE(label.starts_with(FactoryPresetName(i))) << label;
        EXPECT_NE(label.find(std::to_string(i)), std::string::npos) << label;
      } else {
        EXPECT_EQ(label, FactoryPresetName(i));
      }
      const int category = FactoryPresetCategory(i);
      LilvNode* bankPred = w.NewUri(LV2_PRESETS__bank);
      LilvNode* bank = lilv_world_get(w.world(), presets.node(i), bankPred, nullptr);
      if (category == kNoCategory) {
        EXPECT_EQ(bank, nullptr) << i;
      } else {
        ASSERT_NE(bank, nullptr) << i;
        EXPECT_EQ(LiteralOf(bank, LILV_NS_RDFS "label"), kFactoryCategories[static_cast<std::size_t>(category)]);
        EXPECT_EQ(LiteralOf(presets.node(i), LILV_NS_RDFS "comment"),
                  kFactoryCategories[static_cast<std::size_t>(category)]);
      }
      lilv_node_free(bank);
      lilv_node_free(bankPred);

      for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) inst.control(p.port) = -100.0f;
      ASSERT_TRUE(inst.ApplyState(presets.state(i))) << i;
      const Values table = FactoryValues(i);
      for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
        const float port = inst.control(p.port);
        const double v = table[p.slot];
        // The port shows the table's value in its own units...
        switch (p.slot) {
          case kSlotTime:
          case kSlotCompression: EXPECT_EQ(port, static_cast<float>(v * 10.0)); break;
          case kSlotOutput: EXPECT_EQ(port, static_cast<float>(StepOf(static_cast<float>(v), 60)) * 0.5f); break;
          default: EXPECT_EQ(port, static_cast<float>(hostcontrols::EngineStep(p, v))); break;
        }
        // ...and selects what the table's normalised value selects.
        const double back = hostcontrols::ToNormalised(p, port);
        if (p.slot == kSlotTime || p.slot == kSlotCompression) {
          EXPECT_EQ(back, v) << i << " " << p.symbol;
        } else {
          EXPECT_EQ(hostcontrols::EngineStep(p, back), hostcontrols::EngineStep(p, v)) << i << " " << p.symbol;
        }
      }
    }
  }
}

TEST(Lv2Audio, EveryFactoryPresetThroughLilvEqualsTheEngineDrivenDirectly) {
  constexpr double kRate = 48000;
  for (hostcontrols::Layout layout : kLayouts) {
    PresetSet presets(layout);
    const Audio in = TestSignal(hostcontrols::ChannelCount(layout), 6000, kRate);
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      Instance inst(layout, kRate);
      ASSERT_TRUE(inst.ApplyState(presets.state(i)));
      inst.Activate();
      Audio out;
      inst.Render(in, 256, out);
      const Audio expected = RenderDirect(layout, kRate, FactoryValues(i), in, 256);
      EXPECT_TRUE(SameBits(out, expected)) << FactoryPresetName(i) << " max diff " << MaxDifference(out, expected);
    }
  }
}

TEST(Lv2Audio, BlockSizesAndRatesDoNotChangeTheResult) {
  for (hostcontrols::Layout layout : kLayouts) {
    for (double rate : {44100.0, 96000.0}) {
      const Audio in = TestSignal(hostcontrols::ChannelCount(layout), 5000, rate);
      for (int preset : {9, 11, 23}) {
        const Values values = FactoryValues(preset);
        for (std::size_t block :
             {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{1000}, std::size_t{5000}}) {
          Instance inst(layout, rate);
          for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts)
            inst.control(p.port) = hostcontrols::FromNormalised(p, values[p.slot]);
          inst.Activate();
          Audio out;
          inst.Render(in, block, out);
          EXPECT_TRUE(SameBits(out, RenderDirect(layout, rate, values, in, block)))
              << "preset " << preset << " block " << block << " rate " << rate;
        }
      }
    }
  }
}

TEST(Lv2Audio, AChangedPortReachesTheEngineAtTheNextBlock) {
  const hostcontrols::Layout layout = hostcontrols::Layout::kStereo;
  const Audio in = TestSignal(2, 4096, 48000);
  Instance inst(layout, 48000);
  inst.Activate();
  Audio first, second;
  const Audio head = {std::vector<float>(in[0].begin(), in[0].begin() + 2048),
                      std::vector<float>(in[1].begin(), in[1].begin() + 2048)};
  const Audio tail = {std::vector<float>(in[0].begin() + 2048, in[0].end()),
                      std::vector<float>(in[1].begin() + 2048, in[1].end())};
  inst.Render(head, 512, first);
  inst.control("ratio") = 6.0f;
  inst.control("output") = 12.0f;
  inst.control("compression") = 8.25f;
  inst.Render(tail, 512, second);

  warmGlowEffect fx;
  fx.SetSampleRate(48000);
  for (unsigned slot : kControlSlots) fx.SetParameter(slot, GetParameterDefault(slot));
  fx.Reset();
  Audio expected(2, std::vector<float>(4096));
  for (std::size_t done = 0; done < 4096; done += 512) {
    if (done == 2048) {
      fx.SetParameter(kSlotRatio, 1.0);
      fx.SetParameter(kSlotOutput, 0.4);
      fx.SetParameter(kSlotCompression, 0.825);
    }
    const float* ip[2] = {in[0].data() + done, in[1].data() + done};
    float* op[2] = {expected[0].data() + done, expected[1].data() + done};
    ScopedFlushToZero ftz;
    fx.ProcessBlock(ip, op, 512);
  }
  first[0].insert(first[0].end(), second[0].begin(), second[0].end());
  first[1].insert(first[1].end(), second[1].begin(), second[1].end());
  EXPECT_TRUE(SameBits(first, expected)) << MaxDifference(first, expected);
}

TEST(Lv2Audio, ReactivationStartsAfreshWithTheCurrentPorts) {
  for (hostcontrols::Layout layout : kLayouts) {
    const Audio in = TestSignal(hostcontrols::ChannelCount(layout), 3000, 48000);
    const Values values = FactoryValues(27);
    Instance inst(layout, 48000);
    inst.Activate();
    Audio warmUp;
    inst.Render(in, 300, warmUp);  // defaults, builds up envelope state
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts)
      inst.control(p.port) = hostcontrols::FromNormalised(p, values[p.slot]);
    inst.Deactivate();
    inst.Activate();
    Audio out;
    inst.Render(in, 300, out);

    // The reset clears the signal path; the dither generators and the meter run on, as in the engine.
    Direct direct(layout, 48000);
    direct.Start(FactoryValues(0));
    direct.Render(in, 300);
    direct.Start(values);
    EXPECT_TRUE(SameBits(out, direct.Render(in, 300)));
    EXPECT_NE(inst.control(hostcontrols::kPortGainReduction), 0.0f);
  }
}

TEST(Lv2Audio, BypassAndModeOffPassTheInputThroughBitForBit) {
  for (hostcontrols::Layout layout : kLayouts) {
    const Audio in = TestSignal(hostcontrols::ChannelCount(layout), 4096, 48000);
    Instance bypassed(layout, 48000);
    bypassed.control(hostcontrols::kPortEnabled) = 0.0f;
    bypassed.control(hostcontrols::kPortCompression) = 10.0f;
    bypassed.Activate();
    Audio out;
    bypassed.Render(in, 512, out);
    EXPECT_TRUE(SameBits(out, in));

    Instance off(layout, 48000);
    off.control(hostcontrols::kPortProcess) = 0.0f;
    off.Activate();
    Audio outOff;
    off.Render(in, 512, outOff);
    EXPECT_TRUE(SameBits(outOff, in));
    EXPECT_FALSE(SameBits(RenderDirect(layout, 48000, FactoryValues(0), in, 512), in));  // processing does change it
  }
}

// The level meters read the largest magnitude wherever it sits in the block (in the vector body or
// the tail after it) and skip a NaN sample.
TEST(Lv2Audio, InputLevelIsTheLargestMagnitudeAnywhereInTheBlock) {
  Instance inst(hostcontrols::Layout::kStereo, 48000);
  inst.Activate();
  for (uint32_t frames : {1u, 7u, 8u, 13u, 64u, 67u}) {
    for (uint32_t at = 0; at < frames; ++at) {
      for (uint32_t ch = 0; ch < 2; ++ch) std::fill(inst.In(ch), inst.In(ch) + frames, 0.125f);
      inst.In(at % 2)[at] = -0.5f;
      if (frames > 1) inst.In(1)[(at + 1) % frames] = std::numeric_limits<float>::quiet_NaN();
      inst.RunBlock(frames);
      EXPECT_FLOAT_EQ(inst.control(hostcontrols::kPortInputLevel), hostcontrols::LevelDb(0.5f))
          << frames << " frames, peak at " << at;
    }
  }
}

TEST(Lv2Audio, MetersReportLevelsReductionAndNoLatency) {
  Instance inst(hostcontrols::Layout::kStereo, 48000);
  inst.control(hostcontrols::kPortCompression) = 10.0f;
  inst.control(hostcontrols::kPortRatio) = 6.0f;
  inst.control(hostcontrols::kPortLatency) = -1.0f;
  inst.Activate();
  std::fill(inst.In(0), inst.In(0) + 4800, 0.0f);
  for (uint32_t i = 0; i < 4800; ++i) inst.In(1)[i] = 0.5f * static_cast<float>(std::sin(i * 0.05));
  inst.In(0)[100] = -0.25f;
  for (int b = 0; b < 10; ++b) inst.RunBlock(4800);
  EXPECT_EQ(inst.control(hostcontrols::kPortLatency), 0.0f);
  EXPECT_NEAR(inst.control(hostcontrols::kPortInputLevel), -6.02f, 0.01f);  // the louder channel, before processing
  EXPECT_LT(inst.control(hostcontrols::kPortGainReduction), -3.0f);
  EXPECT_GE(inst.control(hostcontrols::kPortGainReduction), hostcontrols::kGainReductionFloorDb);
  float outPeak = 0.0f;
  for (uint32_t ch = 0; ch < 2; ++ch) {
    for (uint32_t i = 0; i < 4800; ++i) outPeak = std::max(outPeak, std::fabs(inst.Out(ch)[i]));
  }
  EXPECT_FLOAT_EQ(inst.control(hostcontrols::kPortOutputLevel), hostcontrols::LevelDb(outPeak));

  // Bypassed, the reduction falls back towards 0 dB with the meter's ballistics.
  inst.control(hostcontrols::kPortEnabled) = 0.0f;
  const float before = inst.control(hostcontrols::kPortGainReduction);
  for (int b = 0; b < 20; ++b) inst.RunBlock(4800);
  EXPECT_GT(inst.control(hostcontrols::kPortGainReduction), before);
  EXPECT_GT(inst.control(hostcontrols::kPortGainReduction), -0.1f);
}

TEST(Lv2Audio, InPlaceProcessingMatchesSeparateBuffers) {
  Instance inst(hostcontrols::Layout::kMono, 48000);
  std::vector<float> buffer = TestSignal(1, 2048, 48000)[0];
  const Audio expected = RenderDirect(hostcontrols::Layout::kMono, 48000, FactoryValues(0), {buffer}, 2048);
  lilv_instance_connect_port(inst.get(), hostcontrols::AudioInputPort(hostcontrols::Layout::kMono, 0), buffer.data());
  lilv_instance_connect_port(inst.get(), hostcontrols::AudioOutputPort(hostcontrols::Layout::kMono, 0), buffer.data());
  inst.Activate();
  inst.RunBlock(2048);
  EXPECT_TRUE(SameBits({buffer}, expected));
}

TEST(Lv2Audio, RunAllocatesNothing) {
  for (hostcontrols::Layout layout : kLayouts) {
    Instance inst(layout, 48000);
    const Audio in = TestSignal(hostcontrols::ChannelCount(layout), 1024, 48000);
    for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout); ++ch)
      std::copy(in[ch].begin(), in[ch].end(), inst.In(ch));
    inst.Activate();
    qrv::test::AllocationScope scope;
    inst.RunBlock(1024);  // first run: every port and the reset
    inst.control(hostcontrols::kPortOutput) = 10.0f;
    inst.control(hostcontrols::kPortEnabled) = 0.0f;
    inst.RunBlock(1024);
    inst.control(hostcontrols::kPortEnabled) = 1.0f;
    inst.RunBlock(0);
    inst.RunBlock(1024);
    EXPECT_EQ(scope.count(), 0u);
  }
}

// Within the engine's range the plug-in sounds as the engine at that rate; outside it (and with no rate
// at all) there is no instance (Lv2PresetStateTest checks the message).
TEST(Lv2Audio, TheEnginesRangeEndsRunAsTheEngineAndNoRateOutsideIt) {
  for (double rate : {22050.0, 192000.0}) {
    const Audio in = TestSignal(2, 3000, rate);
    Instance inst(hostcontrols::Layout::kStereo, rate);
    inst.Activate();
    Audio out;
    inst.Render(in, 500, out);
    EXPECT_TRUE(SameBits(out, RenderDirect(hostcontrols::Layout::kStereo, rate, FactoryValues(0), in, 500))) << rate;
  }
  for (double rate : {0.0, -44100.0, std::nan(""), 8000.0, 384000.0}) {
    LilvInstance* none = lilv_plugin_instantiate(World::Get().Plugin(hostcontrols::Layout::kMono), rate, nullptr);
    EXPECT_EQ(none, nullptr) << rate;
    if (none != nullptr) lilv_instance_free(none);
  }
}

TEST(Lv2Audio, NonFinitePortValuesLeaveTheEngineSound) {
  Instance inst(hostcontrols::Layout::kMono, 48000);
  const Audio in = TestSignal(1, 2048, 48000);
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) inst.control(p.port) = std::nanf("");
  inst.Activate();
  Audio out;
  inst.Render(in, 512, out);
  // NaN ports read as the defaults.
  EXPECT_TRUE(SameBits(out, RenderDirect(hostcontrols::Layout::kMono, 48000, FactoryValues(0), in, 512)));
}

}  // namespace
}  // namespace qrv::lv2::test
