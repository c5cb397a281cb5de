// The edit controller's parameters and programs against the CLAP module's, loaded beside it: the same
// ids, names, defaults and texts at every step, the texts parsed back, the format's plain/normalised
// rule, High quality with its latency, the factory presets as the root unit's program list, and bad input
// refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "dsp/FactoryPresets.h"
#include "tests/vst3/ClapReference.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::vst3::test {
namespace {

ParameterInfo Info(IEditController* c, int32_t index) {
  ParameterInfo info{};
  EXPECT_EQ(c->getParameterInfo(index, info), kResultOk) << index;
  return info;
}

int32_t Restarts(const Host& host, int32_t flag) {
  return static_cast<int32_t>(std::count_if(host.restarts.begin(), host.restarts.end(),
                                            [flag](int32_t f) { return (f & flag) != 0; }));
}

TEST(Vst3Params, TheControlsBypassAndHighQualityAsClapHasThem) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  ClapReference clap;
  ASSERT_TRUE(clap.ok());
  Host host;
  Instance instance(module, host, kStereo);
  IEditController* c = instance.controller();
  ASSERT_EQ(c->getParameterCount(), 10);
  for (int32_t index = 0; index < 9; ++index) {
    const ParameterInfo info = Info(c, index);
    const clap_param_info_t reference = clap.Info(static_cast<uint32_t>(index));
    EXPECT_EQ(info.id, reference.id);
    EXPECT_EQ(Narrow(info.title), reference.name);
    const bool stepped = (reference.flags & CLAP_PARAM_IS_STEPPED) != 0;
    EXPECT_EQ(info.stepCount, stepped ? static_cast<int32_t>(reference.max_value) : 0) << reference.name;
    EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, reference.default_value / reference.max_value) << reference.name;
    EXPECT_DOUBLE_EQ(c->getParamNormalized(info.id), info.defaultNormalizedValue) << reference.name;
    EXPECT_EQ((info.flags & ParameterInfo::kCanAutomate) != 0, (reference.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0)
        << reference.name;
    EXPECT_EQ((info.flags & ParameterInfo::kIsBypass) != 0, index == 7) << reference.name;
    EXPECT_EQ(info.unitId, kRootUnitId);
  }
  EXPECT_EQ(Narrow(Info(c, 5).units), "dB");
  const ParameterInfo program = Info(c, 9);
  EXPECT_EQ(program.id, kProgramId);
  EXPECT_EQ(program.stepCount, kFactoryPresetCount - 1);
  EXPECT_NE(program.flags & ParameterInfo::kIsProgramChange, 0);
  ParameterInfo none{};
  EXPECT_NE(c->getParameterInfo(10, none), kResultOk);
  EXPECT_NE(c->getParameterInfo(-1, none), kResultOk);
}

// Every step of a stepped parameter, and every hint position of a continuous one, reads as the CLAP
// plug-in reads it, and the text parses back to the same value (to the same text where texts round).
TEST(Vst3Params, TextsAtEveryStepMatchClapAndParseBack) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  ClapReference clap;
  ASSERT_TRUE(clap.ok());
  Host host;
  Instance instance(module, host, kStereo);
  IEditController* c = instance.controller();
  for (int32_t index = 0; index < 9; ++index) {
    const ParameterInfo info = Info(c, index);
    const clap_param_info_t reference = clap.Info(static_cast<uint32_t>(index));
    const int steps = info.stepCount > 0 ? info.stepCount : index == 5 ? 60 : 100;
    for (int k = 0; k <= steps; ++k) {
      const double normalised = static_cast<double>(k) / steps;
      const double plain = c->normalizedParamToPlain(info.id, normalised);
      EXPECT_NEAR(plain, reference.max_value * normalised, 1e-9) << reference.name << " " << k;
      EXPECT_NEAR(c->plainParamToNormalized(info.id, plain), normalised, 1e-12) << reference.name << " " << k;
      const std::string text = instance.Text(info.id, normalised);
      ASSERT_EQ(text, clap.Text(info.id, plain)) << reference.name << " step " << k;
      std::vector<TChar> wide = Wide(text);
      ParamValue back = -1.0;
      ASSERT_EQ(c->getParamValueByString(info.id, wide.data(), back), kResultOk) << text;
      if (info.stepCount > 0) {
        EXPECT_DOUBLE_EQ(back, normalised) << text;
      } else {
        EXPECT_EQ(instance.Text(info.id, back), text);
      }
    }
  }
  // "12.0 dB" reads back as 12 dB, with or without its unit.
  for (const char* text : {"12.0 dB", "12 dB", "12", " 12.0 db "}) {
    std::vector<TChar> wide = Wide(text);
    ParamValue v = -1.0;
    ASSERT_EQ(c->getParamValueByString(5, wide.data(), v), kResultOk) << text;
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(5, v), 12.0) << text;
  }
}

// High quality: stepped Off/On, not automatable (its latency needs the host's restart); set through the
// controller it switches the instance's latency and asks for that restart, once per change.
TEST(Vst3Params, HighQualitySwitchesTheLatencyAndAsksForARestart) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance instance(module, host, kStereo);
  IEditController* c = instance.controller();
  const ParameterInfo info = Info(c, 8);
  EXPECT_EQ(info.id, kHighQualityId);
  EXPECT_EQ(Narrow(info.title), "High quality");
  EXPECT_EQ(info.stepCount, 1);
  EXPECT_EQ(info.defaultNormalizedValue, 0.0);
  EXPECT_EQ(info.flags & ParameterInfo::kCanAutomate, 0);
  EXPECT_EQ(info.flags & (ParameterInfo::kIsBypass | ParameterInfo::kIsProgramChange), 0);
  EXPECT_EQ(instance.Text(kHighQualityId, 0.0), "Off");
  EXPECT_EQ(instance.Text(kHighQualityId, 1.0), "On");
  for (const auto& [text, value] : {std::pair{"Off", 0.0}, std::pair{"on", 1.0}, std::pair{"ON", 1.0}}) {
    std::vector<TChar> wide = Wide(text);
    ParamValue v = -1.0;
    ASSERT_EQ(c->getParamValueByString(kHighQualityId, wide.data(), v), kResultOk) << text;
    EXPECT_EQ(v, value) << text;
  }

  ASSERT_TRUE(instance.Activate(48000.0, 256));
  EXPECT_EQ(instance.processor()->getLatencySamples(), 0u);
  EXPECT_EQ(c->getParamNormalized(kHighQualityId), 0.0);
  host.restarts.clear();
  ASSERT_EQ(c->setParamNormalized(kHighQualityId, 1.0), kResultOk);
  EXPECT_EQ(c->getParamNormalized(kHighQualityId), 1.0);
  EXPECT_EQ(instance.processor()->getLatencySamples(), 61u);
  EXPECT_EQ(Restarts(host, kLatencyChanged), 1);
  // The same value again changes nothing and asks nothing.
  ASSERT_EQ(c->setParamNormalized(kHighQualityId, 0.8), kResultOk);
  EXPECT_EQ(Restarts(host, kLatencyChanged), 1);
  ASSERT_EQ(c->setParamNormalized(kHighQualityId, 0.0), kResultOk);
  EXPECT_EQ(c->getParamNormalized(kHighQualityId), 0.0);
  EXPECT_EQ(instance.processor()->getLatencySamples(), 0u);
  EXPECT_EQ(Restarts(host, kLatencyChanged), 2);
  // Through the audio thread's parameter changes it does not move: no restart could be asked there.
  Changes changes;
  changes.Add(kHighQualityId, 0, 1.0);
  ProcessData data{};
  data.symbolicSampleSize = kSample32;
  data.inputParameterChanges = &changes;
  EXPECT_EQ(instance.processor()->process(data), kResultOk);
  EXPECT_EQ(c->getParamNormalized(kHighQualityId), 0.0);
  EXPECT_EQ(instance.processor()->getLatencySamples(), 0u);
  instance.Deactivate();
}

TEST(Vst3Params, RefusesBadInput) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance instance(module, host, kMono);
  IEditController* c = instance.controller();
  String128 text{};
  for (ParamID unknown : {9u, 99u, 101u, 0xFFFFFFFFu}) {
    EXPECT_NE(c->getParamStringByValue(unknown, 0.5, text), kResultOk) << unknown;
    std::vector<TChar> wide = Wide("1");
    ParamValue v = 0.0;
    EXPECT_NE(c->getParamValueByString(unknown, wide.data(), v), kResultOk) << unknown;
    EXPECT_NE(c->setParamNormalized(unknown, 0.5), kResultOk) << unknown;
  }
  for (const char* bad : {"", "loud", "45 dB", "-1 dB", "12 Hz", "nan"}) {
    std::vector<TChar> wide = Wide(bad);
    ParamValue v = 0.25;
    EXPECT_NE(c->getParamValueByString(5, wide.data(), v), kResultOk) << bad;
    EXPECT_EQ(v, 0.25);
  }
  // A named step takes names only.
  std::vector<TChar> two = Wide("2");
  ParamValue v = 0.0;
  EXPECT_NE(c->getParamValueByString(6, two.data(), v), kResultOk);
  EXPECT_NE(c->setParamNormalized(5, NAN), kResultOk);
  // Values beyond the range are clamped into it.
  ASSERT_EQ(c->setParamNormalized(5, 7.0), kResultOk);
  EXPECT_DOUBLE_EQ(c->getParamNormalized(5), 1.0);
}

TEST(Vst3Programs, TheFactoryPresetsAsTheRootUnitsProgramList) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance instance(module, host, kStereo);
  Ref<IUnitInfo> units = QueryInterface<IUnitInfo>(instance.controller());
  ASSERT_TRUE(units);
  ASSERT_EQ(units->getUnitCount(), 1);
  UnitInfo unit{};
  ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
  EXPECT_EQ(unit.id, kRootUnitId);
  EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
  ASSERT_EQ(units->getProgramListCount(), 1);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(list.id, unit.programListId);
  ASSERT_EQ(list.programCount, 34);
  String128 name{};
  for (int32_t i = 0; i < list.programCount; ++i) {
    ASSERT_EQ(units->getProgramName(list.id, i, name), kResultOk);
    EXPECT_EQ(Narrow(name), FactoryPresetLabel(i));
    EXPECT_EQ(instance.Text(kProgramId, static_cast<double>(i) / 33.0), FactoryPresetLabel(i));
  }
  EXPECT_NE(units->getProgramName(list.id, 34, name), kResultOk);
  EXPECT_NE(units->getProgramName(list.id, -1, name), kResultOk);
  EXPECT_NE(units->getProgramName(list.id + 1, 0, name), kResultOk);
  EXPECT_NE(units->getUnitInfo(1, unit), kResultOk);
  EXPECT_NE(units->getProgramListInfo(1, list), kResultOk);
}

// Switching the program loads the factory preset: the controls take its values (as the CLAP plug-in's
// preset-load gives them), the host is told to read them again, and the program reads as chosen.
TEST(Vst3Programs, SwitchingLoadsTheFactoryPreset) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  ClapReference clap;
  ASSERT_TRUE(clap.ok());
  Host host;
  Instance instance(module, host, kStereo);
  IEditController* c = instance.controller();
  for (int program : {5, 20}) {
    host.restarts.clear();
    const double normalised = static_cast<double>(program) / 33.0;
    ASSERT_EQ(c->setParamNormalized(kProgramId, normalised), kResultOk);
    EXPECT_DOUBLE_EQ(c->getParamNormalized(kProgramId), normalised);
    ASSERT_EQ(host.restarts.size(), 1u);
    EXPECT_NE(host.restarts[0] & kParamValuesChanged, 0);
    ASSERT_TRUE(clap.LoadFactoryPreset(program));
    int differing = 0;
    for (ParamID id = 0; id < 7; ++id) {
      EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(id, c->getParamNormalized(id)), clap.Value(id)) << program << " " << id;
      String128 text{};
      c->getParamStringByValue(id, c->getParamNormalized(id), text);
      differing += Narrow(text) != clap.Text(id, clap.Info(id).default_value);
    }
    EXPECT_GT(differing, 0) << "preset " << program << " is all defaults";
  }
  // The same program again is no new load; the first program is one, also before any other was chosen.
  host.restarts.clear();
  ASSERT_EQ(c->setParamNormalized(kProgramId, 20.0 / 33.0), kResultOk);
  EXPECT_TRUE(host.restarts.empty());
  Instance fresh(module, host, kStereo);
  ASSERT_EQ(fresh.controller()->setParamNormalized(kProgramId, 0.0), kResultOk);
  EXPECT_EQ(host.restarts.size(), 1u);
}

}  // namespace
}  // namespace qrv::vst3::test
