// The component's state: the CLAP plug-in's stream (both A/B slots, bypass), through streams that move
// a few bytes per call; the controller mirrors it through setComponentState; anything else is refused and
// changes nothing; state calls beside processing.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "controller/InstanceCore.h"
#include "tests/vst3/ClapReference.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::vst3::test {
namespace {

std::vector<uint8_t> Saved(Instance& instance) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(instance.Save(bytes));
  return bytes;
}

// Saved, loaded into another instance and saved again gives the same bytes; the values come back.
TEST(Vst3State, RoundTripsBitForBit) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  std::vector<uint8_t> first, second;
  {
    Instance a(module, host, kStereo);
    IEditController* c = a.controller();
    ASSERT_EQ(c->setParamNormalized(1, 5.0 / 6.0), kResultOk);
    ASSERT_EQ(c->setParamNormalized(4, 0.725), kResultOk);
    ASSERT_EQ(c->setParamNormalized(5, 13.0 / 30.0), kResultOk);
    ASSERT_EQ(c->setParamNormalized(kBypassId, 1.0), kResultOk);
    ASSERT_TRUE(a.Save(first, 3));
  }
  ASSERT_GT(first.size(), 16u);
  {
    Instance b(module, host, kStereo);
    host.restarts.clear();
    ASSERT_TRUE(b.Load(first, 1));
    EXPECT_FALSE(host.restarts.empty());
    IEditController* c = b.controller();
    EXPECT_DOUBLE_EQ(c->getParamNormalized(1), 5.0 / 6.0);
    EXPECT_DOUBLE_EQ(c->getParamNormalized(4), 0.725);
    EXPECT_DOUBLE_EQ(c->getParamNormalized(5), 13.0 / 30.0);
    EXPECT_DOUBLE_EQ(c->getParamNormalized(kBypassId), 1.0);
    ASSERT_TRUE(b.Save(second, 1));
  }
  EXPECT_EQ(first, second);
}

// The very stream of the CLAP plug-in: each loads the other's state and saves the same bytes.
TEST(Vst3State, IsTheClapStateStream) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  ClapReference clap;
  ASSERT_TRUE(clap.ok());
  ASSERT_TRUE(clap.LoadFactoryPreset(7));
  std::vector<uint8_t> fromClap;
  ASSERT_TRUE(clap.Save(fromClap));
  Host host;
  Instance instance(module, host, kStereo);
  ASSERT_TRUE(instance.Load(fromClap, 9));
  for (ParamID id = 0; id < 7; ++id) {
    EXPECT_DOUBLE_EQ(instance.controller()->normalizedParamToPlain(id, instance.controller()->getParamNormalized(id)),
                     clap.Value(id));
  }
  EXPECT_EQ(Saved(instance), fromClap);
  ASSERT_EQ(instance.controller()->setParamNormalized(5, 0.9), kResultOk);
  const std::vector<uint8_t> fromVst3 = Saved(instance);
  ASSERT_TRUE(clap.Load(fromVst3));
  EXPECT_DOUBLE_EQ(clap.Value(5), 27.0);
  std::vector<uint8_t> again;
  ASSERT_TRUE(clap.Save(again));
  EXPECT_EQ(again, fromVst3);
}

// High quality travels in the state stream as in CLAP's: a state with it on runs with its delay, which the
// host hears of; saved again, the bytes are the same; a state with it off takes the delay away again.
TEST(Vst3State, HighQualityTravelsWithTheStateAndItsLatencyReachesTheHost) {
  InstanceCore reference(2);
  std::vector<uint8_t> plain, high;
  ASSERT_TRUE(reference.presets().SaveStream(plain, reference.StateFlags()));
  reference.SetHighQuality(true);
  ASSERT_TRUE(reference.presets().SaveStream(high, reference.StateFlags()));
  ASSERT_NE(plain, high);

  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance instance(module, host, kStereo);
  ASSERT_EQ(instance.processor()->getLatencySamples(), 0u);
  host.restarts.clear();
  ASSERT_TRUE(instance.Load(high));
  EXPECT_GT(instance.processor()->getLatencySamples(), 0u);
  EXPECT_NE(std::find(host.restarts.begin(), host.restarts.end(), static_cast<int32_t>(kLatencyChanged)),
            host.restarts.end());
  EXPECT_EQ(Saved(instance), high);
  host.restarts.clear();
  ASSERT_TRUE(instance.Load(plain));
  EXPECT_EQ(instance.processor()->getLatencySamples(), 0u);
  EXPECT_NE(std::find(host.restarts.begin(), host.restarts.end(), static_cast<int32_t>(kLatencyChanged)),
            host.restarts.end());
  EXPECT_EQ(Saved(instance), plain);
}

// High quality switched through its parameter is saved with the state, the very stream the CLAP plug-in
// has with it on; a state loaded with it on reads back through the parameter.
TEST(Vst3State, HighQualitySetAsAParameterIsSavedAsClapSavesIt) {
  InstanceCore reference(2);
  reference.SetHighQuality(true);
  std::vector<uint8_t> high;
  ASSERT_TRUE(reference.presets().SaveStream(high, reference.StateFlags()));

  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  ClapReference clap;
  ASSERT_TRUE(clap.ok());
  Host host;
  Instance instance(module, host, kStereo);
  ASSERT_EQ(instance.controller()->setParamNormalized(kHighQualityId, 1.0), kResultOk);
  const std::vector<uint8_t> saved = Saved(instance);
  EXPECT_EQ(saved, high);
  ASSERT_TRUE(clap.Load(saved));
  EXPECT_EQ(clap.Value(kHighQualityId), 1.0);
  std::vector<uint8_t> fromClap;
  ASSERT_TRUE(clap.Save(fromClap));
  EXPECT_EQ(fromClap, saved);

  Instance other(module, host, kStereo);
  ASSERT_EQ(other.controller()->getParamNormalized(kHighQualityId), 0.0);
  ASSERT_TRUE(other.Load(high));
  EXPECT_EQ(other.controller()->getParamNormalized(kHighQualityId), 1.0);
  EXPECT_EQ(other.processor()->getLatencySamples(), 61u);
}

TEST(Vst3State, RefusesBadStreamsAndKeepsWhatItHad) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance a(module, host, kMono);
  ASSERT_EQ(a.controller()->setParamNormalized(5, 0.7), kResultOk);
  const std::vector<uint8_t> good = Saved(a);

  Instance b(module, host, kMono);
  ASSERT_EQ(b.controller()->setParamNormalized(5, 0.1), kResultOk);
  const std::vector<uint8_t> before = Saved(b);
  std::vector<std::vector<uint8_t>> bad = {{}, {1, 2, 3}, std::vector<uint8_t>(good.begin(), good.end() - 1)};
  for (std::size_t cut : {std::size_t{8}, good.size() / 2, good.size() - 17}) {
    bad.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  bad.push_back(longer);
  std::vector<uint8_t> flipped = good;
  flipped[5] ^= 0xff;  // another plug-in's product code
  bad.push_back(flipped);
  std::vector<uint8_t> badSlot = good;
  badSlot[badSlot.size() - 12] = 2;
  bad.push_back(badSlot);
  std::vector<uint8_t> huge(2u << 20, 0x41);  // longer than any state of ours
  bad.push_back(huge);
  for (const auto& bytes : bad) {
    Stream component(bytes, 5), controller(bytes, 5);
    EXPECT_NE(b.component()->setState(&component), kResultOk) << bytes.size() << " bytes";
    EXPECT_NE(b.controller()->setComponentState(&controller), kResultOk) << bytes.size() << " bytes";
    EXPECT_DOUBLE_EQ(b.controller()->getParamNormalized(5), 0.1);
  }
  EXPECT_EQ(Saved(b), before);
  EXPECT_NE(b.component()->setState(nullptr), kResultOk);
  EXPECT_NE(b.component()->getState(nullptr), kResultOk);
}

// The controller alone restored (a host that sends it the component's state): the instance takes it.
TEST(Vst3State, SetComponentStateAloneRestores) {
  Module module;
  Host host;
  Instance a(module, host, kStereo);
  ASSERT_EQ(a.controller()->setParamNormalized(3, 0.25), kResultOk);
  const std::vector<uint8_t> bytes = Saved(a);
  Instance b(module, host, kStereo);
  Stream stream(bytes, 2);
  ASSERT_EQ(b.controller()->setComponentState(&stream), kResultOk);
  EXPECT_DOUBLE_EQ(b.controller()->getParamNormalized(3), 0.25);
  EXPECT_EQ(Saved(b), bytes);
}

// The host's UI thread saves, loads and reads values while its audio thread processes with changes; the
// last state loaded is what the instance holds at the end.
TEST(Vst3Threads, StateAndValuesBesideProcessing) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  std::vector<uint8_t> loud, soft;
  {
    Instance a(module, host, kStereo);
    ASSERT_EQ(a.controller()->setParamNormalized(5, 0.8), kResultOk);
    loud = Saved(a);
    ASSERT_EQ(a.controller()->setParamNormalized(5, 0.1), kResultOk);
    soft = Saved(a);
  }
  Instance instance(module, host, kStereo);
  ASSERT_TRUE(instance.Activate(48000.0, 64));
  std::thread audio([&] {
    std::vector<std::vector<float>> in(2, std::vector<float>(64, 0.25f)), out(2, std::vector<float>(64));
    for (int block = 0; block < 400; ++block) {
      Changes changes;
      changes.Add(3, block % 64, (block % 10) / 10.0);
      instance.Process(in, out, 0, 64, &changes);
    }
  });
  for (int i = 0; i < 40; ++i) {
    EXPECT_TRUE(instance.Load(i % 2 == 0 ? loud : soft, 4096));
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(instance.Save(bytes, 4096));
    instance.controller()->getParamNormalized(5);
  }
  audio.join();
  ASSERT_TRUE(instance.Load(loud, 4096));
  EXPECT_DOUBLE_EQ(instance.controller()->getParamNormalized(5), 0.8);
}

}  // namespace
}  // namespace qrv::vst3::test
