// A factory preset the host loads from its own menu, as lilv hosts (jalv, Ardour) load it: the preset's
// port values, then its state, which names the preset, so that the instance's preset state (what the
// bar shows) becomes that preset as the bar itself loads it. And the sample rates an instance refuses.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/log/log.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/FactoryPresets.h"
#include "format/lv2/Lv2Instance.h"
#include "format/lv2/Lv2Uris.h"
#include "presets/PresetLibrary.h"
#include "presets/PresetManager.h"
#include "tests/lv2/LilvHost.h"
#include "tests/support/ScratchUser.h"

namespace qrv::lv2::test {
namespace {

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new qrv::test::ScratchUserEnvironment(false));

constexpr int kVox = 23;  // "Vox", in the Vocals bank
constexpr hostcontrols::Layout kLayouts[] = {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo};

LilvState* PresetState(hostcontrols::Layout layout, int index) {
  World& w = World::Get();
  LilvNode* node = w.NewUri(PresetUri(layout, index).c_str());
  lilv_world_load_resource(w.world(), node);
  LilvState* state = lilv_state_new_from_world(w.world(), w.urids().map(), node);
  lilv_node_free(node);
  return state;
}

// The instance's preset state, as its UI reaches it (instance-access): built by the bundle's own code.
PresetManager& ManagerOf(Instance& inst) {
  auto* access = static_cast<Lv2InstanceAccess*>(lilv_instance_get_handle(inst.get()));
  return *access->AttachEditor(nullptr);
}

void LoadPreset(Instance& inst, int index) {
  LilvState* s = PresetState(inst.layout(), index);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(inst.ApplyState(s));
  lilv_state_free(s);
}

void RunOnce(Instance& inst) {
  inst.Activate();
  inst.RunBlock(64);
}

const LV2_State_Interface* StateInterface(Instance& inst) {
  return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(inst.get(), LV2_STATE__interface));
}

// One property handed to the plug-in's restore, as a host holding a preset's state would.
struct OneProperty {
  uint32_t key;
  uint32_t type;
  std::vector<uint8_t> bytes;
  static const void* Retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
    auto* p = static_cast<OneProperty*>(h);
    if (key != p->key) return nullptr;
    *size = p->bytes.size();
    *type = p->type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return p->bytes.data();
  }
};

LV2_State_Status RestoreOne(Instance& inst, OneProperty& p) {
  return StateInterface(inst)->restore(lilv_instance_get_handle(inst.get()), OneProperty::Retrieve, &p, 0, nullptr);
}

// What jalv's and Ardour's preset menus do: lilv_state_restore of the preset on the running instance.
TEST(Lv2PresetState, AHostLoadedFactoryPresetIsTheBarsLoadOfThatPreset) {
  for (hostcontrols::Layout layout : kLayouts) {
    Instance host(layout, 48000);
    RunOnce(host);
    PresetManager& m = ManagerOf(host);
    // Another preset first, from the same menu.
    LoadPreset(host, 3);
    ASSERT_EQ(m.position().item, 3);

    LilvState* vox = PresetState(layout, kVox);
    ASSERT_NE(vox, nullptr);
    ASSERT_TRUE(host.ApplyState(vox));
    lilv_state_free(vox);
    host.RunBlock(64);

    // The bar's own load of the same preset, on another instance.
    Instance bar(layout, 48000);
    RunOnce(bar);
    PresetManager& b = ManagerOf(bar);
    b.LoadPosition(kVox);

    EXPECT_EQ(m.position(), (LibraryPosition{kBankApplication, 0, kVox}));
    EXPECT_EQ(m.position(), b.position());
    EXPECT_EQ(m.current().Name(), FactoryPresetName(kVox));
    EXPECT_EQ(m.current().Name(), b.current().Name());
    EXPECT_FALSE(m.modified());
    EXPECT_TRUE(m.current().SameValues(b.current()));
    // The ports hold the preset's values, which the instance takes as they are, not as edits.
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
      EXPECT_EQ(host.control(p.port), hostcontrols::FromNormalised(p, m.current().values[p.slot])) << p.symbol;
    }
    // One undo step, as a bar load: back to the preset before.
    ASSERT_TRUE(m.CanUndo());
    m.Undo();
    EXPECT_EQ(m.position().item, 3);
    EXPECT_EQ(m.current().Name(), FactoryPresetName(3));
    EXPECT_FALSE(m.modified());
  }
}

// Every preset of the menu, in both plug-ins, carries its number alone as its state and shows under it.
TEST(Lv2PresetState, EachPresetOfTheMenuShowsUnderItsOwnNumber) {
  for (hostcontrols::Layout layout : kLayouts) {
    Instance host(layout, 44100);
    RunOnce(host);
    PresetManager& m = ManagerOf(host);
    for (int i = kFactoryPresetCount - 1; i >= 0; --i) {
      LilvState* s = PresetState(layout, i);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(lilv_state_get_num_properties(s), 1u) << i;
      ASSERT_TRUE(host.ApplyState(s));
      lilv_state_free(s);
      EXPECT_EQ(m.position(), (LibraryPosition{kBankApplication, 0, i}));
      EXPECT_EQ(m.current().Name(), FactoryPresetName(i));
      EXPECT_FALSE(m.modified());
    }
  }
}

// The whole state saved after a host's preset load brings the named preset back in a new session.
TEST(Lv2PresetState, TheSessionAfterAHostPresetLoadKeepsItsName) {
  World& w = World::Get();
  Instance a(hostcontrols::Layout::kStereo, 48000);
  RunOnce(a);
  LilvState* vox = PresetState(hostcontrols::Layout::kStereo, kVox);
  ASSERT_TRUE(a.ApplyState(vox));
  lilv_state_free(vox);
  a.RunBlock(64);
  auto getPort = [](const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void* {
    *size = sizeof(float);
    *type = World::Get().urids().Map(LV2_ATOM__Float);
    return &static_cast<Instance*>(user)->control(symbol);
  };
  LilvState* saved = lilv_state_new_from_instance(a.plugin(), a.get(), w.urids().map(), nullptr, nullptr, nullptr,
                                                  nullptr, getPort, &a, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                                                  w.urids().features());
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(lilv_state_get_num_properties(saved), 3u) << "a whole state, not a preset's number";

  Instance b(hostcontrols::Layout::kStereo, 48000);
  RunOnce(b);
  ASSERT_TRUE(b.ApplyState(saved));
  lilv_state_free(saved);
  PresetManager& m = ManagerOf(b);
  EXPECT_EQ(m.current().Name(), FactoryPresetName(kVox));
  EXPECT_FALSE(m.modified());
}

TEST(Lv2PresetState, ABadPresetNumberIsRefusedAndChangesNothing) {
  World& w = World::Get();
  Instance host(hostcontrols::Layout::kStereo, 48000);
  RunOnce(host);
  PresetManager& m = ManagerOf(host);
  LoadPreset(host, 5);
  const uint32_t key = w.urids().Map(kStateKeyFactoryPreset);
  const uint32_t atomInt = w.urids().Map(LV2_ATOM__Int);
  auto asBytes = [](int32_t v) {
    std::vector<uint8_t> b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
  };
  OneProperty tooLarge{key, atomInt, asBytes(kFactoryPresetCount)};
  EXPECT_NE(RestoreOne(host, tooLarge), LV2_STATE_SUCCESS);
  OneProperty negative{key, atomInt, asBytes(-1)};
  EXPECT_NE(RestoreOne(host, negative), LV2_STATE_SUCCESS);
  OneProperty wrongType{key, w.urids().Map(LV2_ATOM__Float), asBytes(2)};
  EXPECT_EQ(RestoreOne(host, wrongType), LV2_STATE_ERR_BAD_TYPE);
  OneProperty shortValue{key, atomInt, {2, 0}};
  EXPECT_EQ(RestoreOne(host, shortValue), LV2_STATE_ERR_BAD_TYPE);
  EXPECT_EQ(m.position().item, 5);
  EXPECT_EQ(m.current().Name(), FactoryPresetName(5));

  // A number as a host may hand it, a Long, is a preset's number too.
  std::vector<uint8_t> eight(sizeof(int64_t));
  const int64_t two = 2;
  std::memcpy(eight.data(), &two, sizeof two);
  OneProperty asLong{key, w.urids().Map(LV2_ATOM__Long), eight};
  EXPECT_EQ(RestoreOne(host, asLong), LV2_STATE_SUCCESS);
  EXPECT_EQ(m.position().item, 2);
  EXPECT_EQ(m.current().Name(), FactoryPresetName(2));
}

// The engine's filters are defined from 22.05 to 192 kHz: elsewhere there is no instance, and the
// host's log says why.
struct Log {
  std::vector<std::string> lines;
  LV2_Log_Log log{this, Printf, VPrintf};
  LV2_Feature feature{LV2_LOG__log, &log};
  static int VPrintf(LV2_Log_Handle h, LV2_URID, const char* format, va_list args) {
    char text[512];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    static_cast<Log*>(h)->lines.emplace_back(text);
    return n;
  }
  static int Printf(LV2_Log_Handle h, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = VPrintf(h, type, format, args);
    va_end(args);
    return n;
  }
};

TEST(Lv2SampleRate, OutsideTheEnginesRangeNoInstanceIsMade) {
  World& w = World::Get();
  for (hostcontrols::Layout layout : kLayouts) {
    for (double rate : {8000.0, 22049.0, 192001.0, 384000.0}) {
      Log log;
      std::vector<const LV2_Feature*> features;
      for (const LV2_Feature* const* f = w.urids().features(); *f != nullptr; ++f) features.push_back(*f);
      features.push_back(&log.feature);
      features.push_back(nullptr);
      LilvInstance* inst = lilv_plugin_instantiate(w.Plugin(layout), rate, features.data());
      EXPECT_EQ(inst, nullptr) << rate;
      if (inst != nullptr) lilv_instance_free(inst);
      ASSERT_EQ(log.lines.size(), 1u) << rate;
      EXPECT_NE(log.lines[0].find("22050 to 192000 Hz"), std::string::npos) << log.lines[0];
    }
    for (double rate : {22050.0, 192000.0}) {
      LilvInstance* inst = lilv_plugin_instantiate(w.Plugin(layout), rate, w.urids().features());
      EXPECT_NE(inst, nullptr) << rate;
      if (inst != nullptr) lilv_instance_free(inst);
    }
  }
}

}  // namespace
}  // namespace qrv::lv2::test
