// LV2 state: the 'All ' chunk as the AAX binding writes it, the other A/B slot beside it, round trips
// through lilv's own serialisation, and refusal of corrupt, truncated or foreign state.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dsp/ParameterSet.h"
#include "format/lv2/Lv2Instance.h"
#include "format/lv2/Lv2Uris.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"
#include "tests/lv2/LilvHost.h"
#include "tests/support/ScratchUser.h"
#include "tests/support/TempDir.h"

namespace qrv::lv2::test {
namespace {

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new qrv::test::ScratchUserEnvironment(false));

struct Property {
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
};

// A host's view of saved state: properties by key URI.
class MemoryState {
 public:
  explicit MemoryState(UridMap& urids) : urids_(urids) {}
  std::map<std::string, Property> properties;

  static LV2_State_Status Store(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
                                uint32_t) {
    auto* self = static_cast<MemoryState*>(h);
    const auto* p = static_cast<const uint8_t*>(value);
    self->properties[self->urids_.Unmap(key)] = {type, std::vector<uint8_t>(p, p + size)};
    return LV2_STATE_SUCCESS;
  }
  static const void* Retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
    auto* self = static_cast<MemoryState*>(h);
    auto it = self->properties.find(self->urids_.Unmap(key));
    if (it == self->properties.end()) return nullptr;
    *size = it->second.bytes.size();
    *type = it->second.type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return it->second.bytes.data();
  }

 private:
  UridMap& urids_;
};

// Saves and restores through the module's state interface, as a host does.
const LV2_State_Interface* StateInterface(Instance& inst) {
  return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(inst.get(), LV2_STATE__interface));
}

MemoryState Save(Instance& inst) {
  MemoryState s(World::Get().urids());
  const LV2_State_Status status =
      StateInterface(inst)->save(lilv_instance_get_handle(inst.get()), MemoryState::Store, &s, 0, nullptr);
  EXPECT_EQ(status, LV2_STATE_SUCCESS);
  return s;
}

LV2_State_Status Restore(Instance& inst, MemoryState& s) {
  return StateInterface(inst)->restore(lilv_instance_get_handle(inst.get()), MemoryState::Retrieve, &s, 0, nullptr);
}

uint32_t Urid(const char* uri) { return World::Get().urids().Map(uri); }

void RunOnce(Instance& inst) {
  inst.Activate();
  inst.RunBlock(64);
}

// What a host keeps of an instance through lilv: the control ports' values and the state properties.
LilvState* SaveThroughLilv(Instance& inst) {
  World& w = World::Get();
  auto getPort = [](const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void* {
    *size = sizeof(float);
    *type = World::Get().urids().Map(LV2_ATOM__Float);
    return &static_cast<Instance*>(user)->control(symbol);
  };
  return lilv_state_new_from_instance(inst.plugin(), inst.get(), w.urids().map(), nullptr, nullptr, nullptr, nullptr,
                                      getPort, &inst, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, w.urids().features());
}

TEST(Lv2State, TheChunkIsTheControllerPrefixAndTheHostStateBlob) {
  Instance inst(hostcontrols::Layout::kStereo, 48000);
  inst.control(hostcontrols::kPortRatio) = 6.0f;
  inst.control(hostcontrols::kPortOutput) = 12.5f;
  RunOnce(inst);
  MemoryState s = Save(inst);
  ASSERT_EQ(s.properties.count(kStateKeyChunk), 1u);
  const Property& chunk = s.properties[kStateKeyChunk];
  EXPECT_EQ(chunk.type, Urid(LV2_ATOM__Chunk));
  ASSERT_EQ(chunk.bytes.size(), 1225u);
  EXPECT_EQ(std::vector<uint8_t>(chunk.bytes.begin(), chunk.bytes.begin() + 8),
            (std::vector<uint8_t>{0, 0, 0, 2, 'G', 'W', 'V', 'Q'}));
  // Record 0 of the blob holds the values in force: restoring it elsewhere yields the ports' values.
  std::array<PresetRecord, kProgramCount> programs{};
  HostStateHeader header;
  ASSERT_EQ(RestoreHostStateBlob(std::span<const uint8_t>(chunk.bytes).subspan(8), programs, FactoryRecord(0), header),
            BlobStatus::Ok);
  EXPECT_EQ(programs[0].values[kSlotRatio], 1.0f);
  EXPECT_EQ(programs[0].values[kSlotOutput], static_cast<float>(12.5 / 30.0));
  EXPECT_EQ(programs[0].values[kSlotProcess], 1.0f);

  EXPECT_EQ(s.properties[kStateKeyOtherSlot].type, Urid(LV2_ATOM__Chunk));
  EXPECT_EQ(s.properties[kStateKeyOtherSlot].bytes.size(), SinglePresetBlobSize());
  ASSERT_EQ(s.properties[kStateKeyActiveSlot].bytes.size(), 4u);
  EXPECT_EQ(s.properties[kStateKeyActiveSlot].type, Urid(LV2_ATOM__Int));
}

TEST(Lv2State, RoundTripThroughLilvRestoresPortsAndChunk) {
  World& w = World::Get();
  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    Instance a(layout, 44100);
    a.control(hostcontrols::kPortProcess) = 1.0f;
    a.control(hostcontrols::kPortAttackRatio) = 5.0f;
    a.control(hostcontrols::kPortTime) = 7.5f;
    a.control(hostcontrols::kPortCompression) = 6.25f;
    a.control(hostcontrols::kPortValveLevel) = 0.0f;
    RunOnce(a);

    LilvState* saved = SaveThroughLilv(a);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(lilv_state_get_num_properties(saved), 3u);
    char* text = lilv_state_to_string(w.world(), w.urids().map(), w.urids().unmap(), saved, "urn:test:state", nullptr);
    ASSERT_NE(text, nullptr);
    LilvState* loaded = lilv_state_new_from_string(w.world(), w.urids().map(), text);
    lilv_free(text);
    ASSERT_NE(loaded, nullptr);

    Instance b(layout, 44100);
    ASSERT_TRUE(b.ApplyState(loaded));
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts)
      EXPECT_EQ(b.control(p.port), a.control(p.port)) << p.symbol;
    RunOnce(b);
    LilvState* again = SaveThroughLilv(b);
    EXPECT_TRUE(lilv_state_equals(saved, again));
    EXPECT_EQ(Save(a).properties[kStateKeyChunk].bytes, Save(b).properties[kStateKeyChunk].bytes);
    lilv_state_free(again);
    lilv_state_free(loaded);
    lilv_state_free(saved);
  }
}

// A host that saves right after a restore, before the next run, must get the state it restored, not the
// values the instance ran with before, marked as edits.
TEST(Lv2State, ASaveRightAfterARestoreGivesTheRestoredState) {
  auto setAndRun = [](Instance& inst, float ratio, float compression, float output) {
    SetDefaults(inst);
    inst.control(hostcontrols::kPortRatio) = ratio;
    inst.control(hostcontrols::kPortCompression) = compression;
    inst.control(hostcontrols::kPortOutput) = output;
    RunOnce(inst);
  };
  Instance source(hostcontrols::Layout::kStereo, 48000);
  setAndRun(source, 2.0f, 3.0f, 6.0f);
  LilvState* state = SaveThroughLilv(source);
  ASSERT_NE(state, nullptr);
  const MemoryState expected = Save(source);

  Instance target(hostcontrols::Layout::kStereo, 48000);
  setAndRun(target, 6.0f, 9.0f, 20.0f);
  ASSERT_TRUE(target.ApplyState(state));
  lilv_state_free(state);
  for (const char* key : {kStateKeyChunk, kStateKeyOtherSlot, kStateKeyActiveSlot}) {
    EXPECT_EQ(Save(target).properties[key].bytes, expected.properties.at(key).bytes) << key << ", before a run";
  }
  // Running with the restored ports keeps it so.
  target.RunBlock(64);
  EXPECT_EQ(Save(target).properties[kStateKeyChunk].bytes, expected.properties.at(kStateKeyChunk).bytes);

  // A host that restores the chunk but leaves the ports as they were: from the next run on, the ports the
  // engine runs with count as edits again.
  Instance other(hostcontrols::Layout::kStereo, 48000);
  setAndRun(other, 6.0f, 9.0f, 20.0f);
  MemoryState chunkOnly = expected;
  ASSERT_EQ(Restore(other, chunkOnly), LV2_STATE_SUCCESS);
  EXPECT_EQ(Save(other).properties[kStateKeyChunk].bytes, expected.properties.at(kStateKeyChunk).bytes);
  other.RunBlock(64);
  const Property chunk = Save(other).properties[kStateKeyChunk];
  std::array<PresetRecord, kProgramCount> programs{};
  HostStateHeader header;
  ASSERT_EQ(RestoreHostStateBlob(std::span<const uint8_t>(chunk.bytes).subspan(8), programs, FactoryRecord(0), header),
            BlobStatus::Ok);
  EXPECT_EQ(programs[0].values[kSlotOutput], static_cast<float>(20.0 / 30.0));
}

TEST(Lv2State, CorruptTruncatedAndForeignStateIsRefusedAndChangesNothing) {
  Instance inst(hostcontrols::Layout::kMono, 48000);
  inst.control(hostcontrols::kPortRatio) = 2.0f;
  RunOnce(inst);
  const MemoryState before = Save(inst);
  const std::vector<uint8_t> good = before.properties.at(kStateKeyChunk).bytes;

  Instance donor(hostcontrols::Layout::kMono, 48000);
  donor.control(hostcontrols::kPortRatio) = 5.0f;
  RunOnce(donor);
  const MemoryState other = Save(donor);

  struct Case {
    const char* what;
    std::string key;
    Property property;
    LV2_State_Status expected;
  };
  std::vector<Case> cases;
  auto chunk = [&](std::vector<uint8_t> bytes) { return Property{Urid(LV2_ATOM__Chunk), std::move(bytes)}; };
  std::vector<uint8_t> donorChunk = other.properties.at(kStateKeyChunk).bytes;
  cases.push_back(
      {"truncated", kStateKeyChunk, chunk({donorChunk.begin(), donorChunk.begin() + 700}), LV2_STATE_ERR_UNKNOWN});
  cases.push_back(
      {"prefix only", kStateKeyChunk, chunk({donorChunk.begin(), donorChunk.begin() + 8}), LV2_STATE_ERR_UNKNOWN});
  cases.push_back({"too short for a prefix", kStateKeyChunk, chunk({0, 0, 0, 2}), LV2_STATE_ERR_UNKNOWN});
  auto foreign = donorChunk;
  std::memcpy(foreign.data() + 4, "ABCD", 4);
  cases.push_back({"foreign product code", kStateKeyChunk, chunk(foreign), LV2_STATE_ERR_UNKNOWN});
  auto lying = donorChunk;
  // The blob claims far more chunks than it holds.
  for (int i = 0; i < 4; ++i) lying[8 + kBlobChunkCountOffset + static_cast<std::size_t>(i)] = i == 3 ? 0x10 : 0;
  cases.push_back({"chunk count beyond the data", kStateKeyChunk, chunk(lying), LV2_STATE_ERR_UNKNOWN});
  auto huge = donorChunk;
  // The first chunk's size field runs past the end.
  for (int i = 0; i < 4; ++i) huge[8 + kBlobHeaderSize + 4 + static_cast<std::size_t>(i)] = i == 3 ? 0x10 : 0xff;
  cases.push_back({"chunk size beyond the data", kStateKeyChunk, chunk(huge), LV2_STATE_ERR_UNKNOWN});
  cases.push_back({"wrong type", kStateKeyChunk, Property{Urid(LV2_ATOM__String), donorChunk}, LV2_STATE_ERR_BAD_TYPE});
  cases.push_back({"garbage other slot", kStateKeyOtherSlot, chunk({1, 2, 3}), LV2_STATE_ERR_UNKNOWN});
  cases.push_back(
      {"active slot 7", kStateKeyActiveSlot, Property{Urid(LV2_ATOM__Int), {7, 0, 0, 0}}, LV2_STATE_ERR_UNKNOWN});

  for (const Case& c : cases) {
    MemoryState s = other;  // a valid state of another instance, spoilt in one place
    s.properties[c.key] = c.property;
    EXPECT_EQ(Restore(inst, s), c.expected) << c.what;
    const MemoryState after = Save(inst);
    EXPECT_EQ(after.properties.at(kStateKeyChunk).bytes, good) << c.what;
    EXPECT_EQ(after.properties.at(kStateKeyOtherSlot).bytes, before.properties.at(kStateKeyOtherSlot).bytes) << c.what;
  }
  // The unspoilt state of the other instance is taken.
  MemoryState s = other;
  EXPECT_EQ(Restore(inst, s), LV2_STATE_SUCCESS);
  // A state of port values only (an LV2 preset) has nothing for us and is fine.
  MemoryState empty(World::Get().urids());
  EXPECT_EQ(Restore(inst, empty), LV2_STATE_SUCCESS);
}

int32_t ActiveSlotValue(const MemoryState& s) {
  int32_t v = -1;
  const Property& p = s.properties.at(kStateKeyActiveSlot);
  EXPECT_EQ(p.bytes.size(), sizeof v);
  if (p.bytes.size() == sizeof v) std::memcpy(&v, p.bytes.data(), sizeof v);
  return v;
}

MemoryState WithHighQuality(MemoryState s) {
  int32_t v = ActiveSlotValue(s) | kActiveSlotHighQuality;
  std::vector<uint8_t> bytes(sizeof v);
  std::memcpy(bytes.data(), &v, sizeof v);
  s.properties[kStateKeyActiveSlot] = Property{Urid(LV2_ATOM__Int), bytes};
  return s;
}

std::size_t PeakFrame(const std::vector<float>& samples) {
  std::size_t at = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (std::fabs(samples[i]) > std::fabs(samples[at])) at = i;
  }
  return at;
}

// High quality is the instance's state: the active slot's value carries it (a value versions before it
// refuse), off every property is as before, and an older state restores it off. The latency port says
// what an impulse measures.
TEST(Lv2State, HighQualityTravelsWithTheStateAndTheLatencyPortReportsItsDelay) {
  for (auto layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    Instance a(layout, 48000);
    SetDefaults(a);
    a.control(hostcontrols::kPortRatio) = 2.0f;
    RunOnce(a);
    EXPECT_EQ(a.control(hostcontrols::kPortLatency), 0.0f);
    const MemoryState plain = Save(a);
    EXPECT_EQ(ActiveSlotValue(plain), kSlotA);

    Instance b(layout, 48000);
    SetDefaults(b);
    b.control(hostcontrols::kPortRatio) = 2.0f;
    MemoryState hq = WithHighQuality(plain);
    ASSERT_EQ(Restore(b, hq), LV2_STATE_SUCCESS);
    RunOnce(b);
    const float latency = b.control(hostcontrols::kPortLatency);
    EXPECT_GT(latency, 0.0f);
    const MemoryState saved = Save(b);
    EXPECT_EQ(ActiveSlotValue(saved), kSlotA | kActiveSlotHighQuality);
    EXPECT_EQ(saved.properties.at(kStateKeyChunk).bytes, plain.properties.at(kStateKeyChunk).bytes);
    EXPECT_EQ(saved.properties.at(kStateKeyOtherSlot).bytes, plain.properties.at(kStateKeyOtherSlot).bytes);

    for (float enabled : {1.0f, 0.0f}) {
      b.control(hostcontrols::kPortEnabled) = enabled;
      b.Activate();
      const uint32_t channels = hostcontrols::ChannelCount(layout);
      Audio impulse(channels, std::vector<float>(1024, 0.0f)), out;
      for (auto& ch : impulse) ch[300] = 0.5f;
      b.Render(impulse, 128, out);
      EXPECT_EQ(b.control(hostcontrols::kPortLatency), latency);
      for (const auto& ch : out) EXPECT_EQ(PeakFrame(ch), 300u + static_cast<std::size_t>(latency)) << enabled;
    }

    // A state from before the option: off again.
    MemoryState old = plain;
    ASSERT_EQ(Restore(b, old), LV2_STATE_SUCCESS);
    RunOnce(b);
    EXPECT_EQ(b.control(hostcontrols::kPortLatency), 0.0f);
    EXPECT_EQ(ActiveSlotValue(Save(b)), kSlotA);
  }
}

// The UI switches it through instance-access: the next run reports the latency, the next save keeps it.
TEST(Lv2State, HighQualitySwitchedThroughInstanceAccessIsRunAndSaved) {
  Instance a(hostcontrols::Layout::kStereo, 48000);
  SetDefaults(a);
  RunOnce(a);
  auto* access = static_cast<Lv2InstanceAccess*>(lilv_instance_get_handle(a.get()));
  EXPECT_FALSE(access->HighQuality());
  access->SetHighQuality(true);
  EXPECT_TRUE(access->HighQuality());
  a.RunBlock(64);
  EXPECT_GT(a.control(hostcontrols::kPortLatency), 0.0f);
  EXPECT_EQ(ActiveSlotValue(Save(a)), kSlotA | kActiveSlotHighQuality);
  access->SetHighQuality(false);
  a.RunBlock(64);
  EXPECT_EQ(a.control(hostcontrols::kPortLatency), 0.0f);
  EXPECT_EQ(ActiveSlotValue(Save(a)), kSlotA);
}

TEST(Lv2State, ARefusedStateWithHighQualityLeavesItAsItWas) {
  Instance a(hostcontrols::Layout::kMono, 48000);
  SetDefaults(a);
  RunOnce(a);
  MemoryState bad = WithHighQuality(Save(a));
  std::vector<uint8_t>& chunk = bad.properties.at(kStateKeyChunk).bytes;
  chunk.resize(chunk.size() / 2);
  EXPECT_EQ(Restore(a, bad), LV2_STATE_ERR_UNKNOWN);
  RunOnce(a);
  EXPECT_EQ(a.control(hostcontrols::kPortLatency), 0.0f);
  EXPECT_EQ(ActiveSlotValue(Save(a)), kSlotA);
  // Another bit beside it is no slot.
  MemoryState other = WithHighQuality(Save(a));
  int32_t v = ActiveSlotValue(other) | 0x200;
  std::memcpy(other.properties.at(kStateKeyActiveSlot).bytes.data(), &v, sizeof v);
  EXPECT_EQ(Restore(a, other), LV2_STATE_ERR_UNKNOWN);
  RunOnce(a);
  EXPECT_EQ(a.control(hostcontrols::kPortLatency), 0.0f);
}

TEST(Lv2State, WithoutAUridMapTheInstanceRunsButRefusesState) {
  InstanceCore core(1);
  Lv2State state(nullptr, core.presets(), core);
  EXPECT_EQ(state.Save(MemoryState::Store, nullptr), LV2_STATE_ERR_NO_FEATURE);
  EXPECT_EQ(state.Restore(MemoryState::Retrieve, nullptr), LV2_STATE_ERR_NO_FEATURE);
}

// A/B compare is the preset manager's; drive it directly on an in-process instance.
PresetRecord Record(const char* name, float ratio, float output) {
  PresetRecord r = FactoryRecord(0);
  r.SetName(name);
  r.values[kSlotRatio] = ratio;
  r.values[kSlotOutput] = output;
  return r;
}

void Edit(PresetManager& pm, const PresetRecord& r) {
  for (unsigned slot : kControlSlots) pm.ParameterChanged(static_cast<int>(slot), r.values[slot]);
  pm.RenameCurrent(r.Name());
}

TEST(Lv2State, BothAbSlotsAndTheActiveOneSurviveAReload) {
  UridMap& urids = World::Get().urids();
  for (int active : {kSlotA, kSlotB}) {
    Lv2Instance source(hostcontrols::Layout::kStereo, 48000, urids.map());
    PresetManager& pm = source.state().presetManager();
    const PresetRecord a = Record("Slot A", 1.0f, 0.2f), b = Record("Slot B", 0.0f, 0.4f);
    Edit(pm, a);
    pm.SelectSlot(kSlotB);
    Edit(pm, b);
    pm.SelectSlot(active);

    MemoryState saved(urids);
    ASSERT_EQ(source.state().Save(MemoryState::Store, &saved), LV2_STATE_SUCCESS);
    // The chunk carries the active slot, as the AAX binding's does.
    std::array<PresetRecord, kProgramCount> programs{};
    HostStateHeader header;
    ASSERT_EQ(RestoreHostStateBlob(std::span<const uint8_t>(saved.properties[kStateKeyChunk].bytes).subspan(8),
                                   programs, FactoryRecord(0), header),
              BlobStatus::Ok);
    EXPECT_EQ(programs[0].Name(), active == kSlotA ? "Slot A" : "Slot B");

    Lv2Instance target(hostcontrols::Layout::kStereo, 48000, urids.map());
    ASSERT_EQ(target.state().Restore(MemoryState::Retrieve, &saved), LV2_STATE_SUCCESS);
    PresetManager& restored = target.state().presetManager();
    EXPECT_EQ(restored.ActiveSlot(), active);
    EXPECT_FALSE(restored.CanUndo());  // a reloaded session starts with an empty history
    const PresetRecord& first = restored.current();
    EXPECT_EQ(first, active == kSlotA ? a : b);
    EXPECT_FALSE(restored.modified());
    restored.SelectSlot(active == kSlotA ? kSlotB : kSlotA);
    EXPECT_EQ(restored.current(), active == kSlotA ? b : a);
    EXPECT_FALSE(restored.modified());
  }
}

TEST(Lv2State, SaveTakesThePortValuesInForce) {
  UridMap& urids = World::Get().urids();
  Lv2Instance inst(hostcontrols::Layout::kMono, 48000, urids.map());
  std::array<float, hostcontrols::kPortAudioStart> ports{};
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) ports[p.port] = hostcontrols::DefaultValue(p);
  ports[hostcontrols::kPortEnabled] = 1.0f;
  ports[hostcontrols::kPortCompression] = 9.0f;
  ports[hostcontrols::kPortProcess] = 0.0f;
  std::vector<float> audio(32, 0.1f);
  for (uint32_t i = 0; i < hostcontrols::kPortAudioStart; ++i) inst.ConnectPort(i, &ports[i]);
  inst.ConnectPort(hostcontrols::AudioInputPort(hostcontrols::Layout::kMono, 0), audio.data());
  inst.ConnectPort(hostcontrols::AudioOutputPort(hostcontrols::Layout::kMono, 0), audio.data());
  inst.Activate();
  inst.Run(32);
  MemoryState saved(urids);
  ASSERT_EQ(inst.state().Save(MemoryState::Store, &saved), LV2_STATE_SUCCESS);
  Lv2Instance other(hostcontrols::Layout::kMono, 48000, urids.map());
  ASSERT_EQ(other.state().Restore(MemoryState::Retrieve, &saved), LV2_STATE_SUCCESS);
  EXPECT_EQ(other.state().presetManager().current().values[kSlotCompression], 0.9f);
  EXPECT_EQ(other.state().presetManager().current().values[kSlotProcess], 0.0f);
  EXPECT_EQ(other.state().presetManager().current().values[kSlotOutput], 0.15f);
}

// Hosts may save while the audio thread runs; the save reads only what Run publishes.
TEST(Lv2State, SavingWhileRunningIsSafe) {
  UridMap& urids = World::Get().urids();
  Lv2Instance inst(hostcontrols::Layout::kStereo, 48000, urids.map());
  std::array<float, hostcontrols::kPortAudioStart> ports{};
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) ports[p.port] = hostcontrols::DefaultValue(p);
  ports[hostcontrols::kPortEnabled] = 1.0f;
  std::vector<float> left(256, 0.3f), right(256, -0.2f);
  for (uint32_t i = 0; i < hostcontrols::kPortAudioStart; ++i) inst.ConnectPort(i, &ports[i]);
  inst.ConnectPort(hostcontrols::AudioInputPort(hostcontrols::Layout::kStereo, 0), left.data());
  inst.ConnectPort(hostcontrols::AudioInputPort(hostcontrols::Layout::kStereo, 1), right.data());
  inst.ConnectPort(hostcontrols::AudioOutputPort(hostcontrols::Layout::kStereo, 0), left.data());
  inst.ConnectPort(hostcontrols::AudioOutputPort(hostcontrols::Layout::kStereo, 1), right.data());
  inst.Activate();
  inst.Run(256);
  std::thread audio([&] {
    for (int b = 0; b < 400; ++b) inst.Run(256);
  });
  int saved = 0;
  for (int i = 0; i < 20; ++i) {
    MemoryState s(urids);
    saved += inst.state().Save(MemoryState::Store, &s) == LV2_STATE_SUCCESS ? 1 : 0;
  }
  audio.join();
  EXPECT_EQ(saved, 20);
}

}  // namespace
}  // namespace qrv::lv2::test
