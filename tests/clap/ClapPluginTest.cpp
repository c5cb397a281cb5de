// The built module as a host sees it: entry, descriptors, extensions, the ABI layout, parameters and
// their texts against the LV2 binding's, events at sample offsets, and the state stream.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "dsp/ParameterSet.h"
#include "controller/HostControls.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/support/SharedLibrary.h"

namespace qrv::clap::test {
namespace {

constexpr const char* kIds[2] = {"com.quarry-tone.warmglow.mono", "com.quarry-tone.warmglow.stereo"};
constexpr double kRate = 48000.0;
constexpr clap_id kParamBypassId = 7;
double ParamDefault(clap_id id) {
  constexpr double kDefaults[7] = {2, 3, 3, 5, 5, 4.5, 3};
  return kDefaults[id];
}

std::vector<std::vector<float>> Tone(uint32_t channels, uint32_t frames, float level = 0.8f) {
  std::vector<std::vector<float>> s(channels, std::vector<float>(frames));
  for (uint32_t ch = 0; ch < channels; ++ch)
    for (uint32_t i = 0; i < frames; ++i) s[ch][i] = level * static_cast<float>(std::sin(i * (0.031 + 0.007 * ch)));
  return s;
}

TEST(ClapModule, ExportsOnlyTheEntryWithAFactory) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  EXPECT_EQ(module.entry()->clap_version.major, 1u);
  EXPECT_EQ(module.entry()->get_factory("clap.no-such-factory"), nullptr);
  // The LV2 entry of the code it shares is not visible to the host (ClapModuleRules checks every symbol).
  EXPECT_EQ(qrv::test::LibrarySymbol(module.handle(), "lv2_descriptor"), nullptr);
}

TEST(ClapModule, DescribesBothPlugins) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  const clap_plugin_factory_t* f = module.factory();
  ASSERT_EQ(f->get_plugin_count(f), 2u);
  EXPECT_EQ(f->get_plugin_descriptor(f, 2), nullptr);
  for (uint32_t i = 0; i < 2; ++i) {
    const clap_plugin_descriptor_t* d = f->get_plugin_descriptor(f, i);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->clap_version.major, 1u);
    EXPECT_STREQ(d->id, kIds[i]);
    EXPECT_STREQ(d->name, i == 0 ? "QRV warmGlow Mono" : "QRV warmGlow Stereo");
    EXPECT_STREQ(d->vendor, "Quarry-tone");
    ASSERT_NE(d->version, nullptr);
    EXPECT_STREQ(d->version, QRV_PROJECT_VERSION);
    ASSERT_NE(d->description, nullptr);
    EXPECT_GT(std::strlen(d->description), 0u);
    for (const char* s : {d->url, d->manual_url, d->support_url}) ASSERT_NE(s, nullptr);
    std::set<std::string> features;
    for (const char* const* p = d->features; p != nullptr && *p != nullptr; ++p) features.insert(*p);
    EXPECT_EQ(features, (std::set<std::string>{"audio-effect", "compressor", i == 0 ? "mono" : "stereo"}));
  }
  Host host;
  EXPECT_EQ(f->create_plugin(f, host.clap(), "com.quarry-tone.warmglow.none"), nullptr);
}

TEST(ClapModule, OffersItsExtensionsBeforeAndAfterInit) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  const clap_plugin_t* p = module.factory()->create_plugin(module.factory(), host.clap(), kIds[1]);
  ASSERT_NE(p, nullptr);
#ifdef _WIN32
  // No editor on Windows (test_windows_modules checks that the gui extensions are not offered).
  const char* offered[] = {CLAP_EXT_AUDIO_PORTS, CLAP_EXT_PARAMS, CLAP_EXT_STATE,       CLAP_EXT_LATENCY,
                           CLAP_EXT_TAIL,        CLAP_EXT_RENDER, CLAP_EXT_PRESET_LOAD, CLAP_EXT_PRESET_LOAD_COMPAT};
#else
  const char* offered[] = {CLAP_EXT_AUDIO_PORTS, CLAP_EXT_PARAMS,          CLAP_EXT_STATE,
                           CLAP_EXT_LATENCY,     CLAP_EXT_TAIL,            CLAP_EXT_RENDER,
                           CLAP_EXT_GUI,         CLAP_EXT_TIMER_SUPPORT,   CLAP_EXT_POSIX_FD_SUPPORT,
                           CLAP_EXT_PRESET_LOAD, CLAP_EXT_PRESET_LOAD_COMPAT};
#endif
  std::vector<const void*> before;
  for (const char* id : offered) before.push_back(p->get_extension(p, id));
  ASSERT_TRUE(p->init(p));
  for (std::size_t i = 0; i < std::size(offered); ++i) {
    EXPECT_NE(p->get_extension(p, offered[i]), nullptr) << offered[i];
    EXPECT_EQ(p->get_extension(p, offered[i]), before[i]) << offered[i];
  }
  EXPECT_EQ(p->get_extension(p, "clap.no-such-extension"), nullptr);
  // The host's log, thread-check and params are asked for during init.
  for (const char* id : {CLAP_EXT_LOG, CLAP_EXT_THREAD_CHECK, CLAP_EXT_PARAMS}) {
    EXPECT_NE(std::find(host.asked.begin(), host.asked.end(), id), host.asked.end()) << id;
  }
  const auto* latency = static_cast<const clap_plugin_latency_t*>(p->get_extension(p, CLAP_EXT_LATENCY));
  const auto* tail = static_cast<const clap_plugin_tail_t*>(p->get_extension(p, CLAP_EXT_TAIL));
  const auto* render = static_cast<const clap_plugin_render_t*>(p->get_extension(p, CLAP_EXT_RENDER));
  ASSERT_TRUE(p->activate(p, kRate, 1, 512));
  EXPECT_EQ(latency->get(p), 0u);
  EXPECT_EQ(tail->get(p), 0u);
  EXPECT_FALSE(render->has_hard_realtime_requirement(p));
  EXPECT_TRUE(render->set(p, CLAP_RENDER_OFFLINE));
  EXPECT_TRUE(render->set(p, CLAP_RENDER_REALTIME));
  EXPECT_FALSE(render->set(p, 7));
  p->deactivate(p);
  p->destroy(p);
  EXPECT_TRUE(host.logs.empty()) << host.logs.front();
}

TEST(ClapModule, RefusesABadSampleRate) {
  Module module;
  Host host;
  Instance instance(module, host, kIds[0]);
  ASSERT_NE(instance.plugin(), nullptr);
  EXPECT_FALSE(instance.Activate(0.0));
  EXPECT_FALSE(instance.Activate(std::nan("")));
  EXPECT_FALSE(instance.Activate(384000.0));
  EXPECT_EQ(host.logs.size(), 3u);
  EXPECT_TRUE(instance.Activate(22050.0));
  instance.Deactivate();
  EXPECT_TRUE(instance.Activate(192000.0));
  instance.Deactivate();
  EXPECT_TRUE(instance.Activate(kRate));
  EXPECT_EQ(host.logs.size(), 3u);
}

TEST(ClapAudioPorts, OneMainInPlacePair) {
  Module module;
  Host host;
  for (int i = 0; i < 2; ++i) {
    Instance instance(module, host, kIds[i]);
    const auto* ports = instance.Extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE(ports, nullptr);
    for (bool input : {true, false}) {
      ASSERT_EQ(ports->count(instance.plugin(), input), 1u);
      clap_audio_port_info_t info{};
      ASSERT_TRUE(ports->get(instance.plugin(), 0, input, &info));
      EXPECT_FALSE(ports->get(instance.plugin(), 1, input, &info));
      ASSERT_TRUE(ports->get(instance.plugin(), 0, input, &info));
      EXPECT_EQ(info.id, 0u);
      EXPECT_EQ(info.channel_count, static_cast<uint32_t>(i + 1));
      EXPECT_EQ(info.flags, CLAP_AUDIO_PORT_IS_MAIN);  // 32-bit float only
      EXPECT_STREQ(info.port_type, i == 0 ? CLAP_PORT_MONO : CLAP_PORT_STEREO);
      EXPECT_EQ(info.in_place_pair, 0u);
      EXPECT_STREQ(info.name, input ? "Input" : "Output");
    }
  }
}

// Ids are stored in hosts' sessions and automation lanes: they never change.
TEST(ClapParams, NineWithStableIdsRangesAndDefaults) {
  Module module;
  Host host;
  Instance instance(module, host, kIds[1]);
  const auto* params = instance.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  ASSERT_NE(params, nullptr);
  ASSERT_EQ(params->count(instance.plugin()), 9u);
  struct Expected {
    clap_id id;
    const char* name;
    double max, def;
    bool stepped;
  };
  const Expected expected[9] = {
      {0, "Process", 2, 2, true},      {1, "Ratio", 6, 3, true},       {2, "AttackRatio", 6, 3, true},
      {3, "Time", 10, 5, false},       {4, "Compression", 10, 5, false}, {5, "Output", 30, 4.5, false},
      {6, "ValveLevel", 6, 3, true},   {7, "Bypass", 1, 0, true},      {8, "High quality", 1, 0, true},
  };
  for (uint32_t i = 0; i < 9; ++i) {
    clap_param_info_t info{};
    ASSERT_TRUE(params->get_info(instance.plugin(), i, &info));
    EXPECT_EQ(info.id, expected[i].id);
    EXPECT_STREQ(info.name, expected[i].name);
    EXPECT_EQ(info.min_value, 0.0);
    EXPECT_EQ(info.max_value, expected[i].max) << info.name;
    EXPECT_EQ(info.default_value, expected[i].def) << info.name;
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, expected[i].stepped) << info.name;
    // High quality changes the latency: automation does not move it.
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0, i != 8) << info.name;
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_BYPASS) != 0, i == 7);
    EXPECT_EQ(instance.Value(info.id), expected[i].def) << info.name;
  }
  clap_param_info_t info{};
  EXPECT_FALSE(params->get_info(instance.plugin(), 9, &info));
  double v = 0;
  EXPECT_FALSE(params->get_value(instance.plugin(), 9, &v));
  EXPECT_FALSE(params->get_value(instance.plugin(), CLAP_INVALID_ID, &v));
}

// The named steps read as the LV2 binding's scale points; the numeric controls as the panel.
TEST(ClapParams, TextsAtEveryStepMatchTheLv2Texts) {
  Module module;
  Host host;
  Instance instance(module, host, kIds[0]);
  const auto* params = instance.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  ASSERT_NE(params, nullptr);
  for (const hostcontrols::ControlPort& port : hostcontrols::kControlPorts) {
    const clap_id id = port.port;
    const int points = hostcontrols::ScalePointCount(port);
    const int steps = ControlShapeOf(port.slot).displaySteps;
    for (int n = 0; n <= steps; ++n) {
      const double value = points > 0 ? n : static_cast<double>(port.maximum) * n / steps;
      char text[64];
      ASSERT_TRUE(params->value_to_text(instance.plugin(), id, value, text, sizeof text));
      if (points > 0) {
        char lv2Text[64] = {};
        hostcontrols::ScalePointLabel(port, n, lv2Text, sizeof lv2Text);
        EXPECT_STREQ(text, lv2Text) << port.symbol << " step " << n;
      }
      double back = -1;
      ASSERT_TRUE(params->text_to_value(instance.plugin(), id, text, &back)) << text;
      char again[64];
      ASSERT_TRUE(params->value_to_text(instance.plugin(), id, back, again, sizeof again));
      EXPECT_STREQ(again, text) << port.symbol;
    }
  }
  char text[64];
  ASSERT_TRUE(params->value_to_text(instance.plugin(), 5, 12.0, text, sizeof text));
  EXPECT_STREQ(text, "12.0 dB");
  ASSERT_TRUE(params->value_to_text(instance.plugin(), 3, 5.5, text, sizeof text));
  EXPECT_STREQ(text, "5.5");
  ASSERT_TRUE(params->value_to_text(instance.plugin(), 4, 7.25, text, sizeof text));
  EXPECT_STREQ(text, "7.25");
  ASSERT_TRUE(params->value_to_text(instance.plugin(), 1, 4.0, text, sizeof text));
  EXPECT_STREQ(text, "4:1");
  ASSERT_TRUE(params->value_to_text(instance.plugin(), 7, 1.0, text, sizeof text));
  EXPECT_STREQ(text, "On");
  // A short buffer is cut and terminated; an unknown id or NaN gives no text.
  char small[3];
  ASSERT_TRUE(params->value_to_text(instance.plugin(), 5, 12.0, small, sizeof small));
  EXPECT_STREQ(small, "12");
  EXPECT_FALSE(params->value_to_text(instance.plugin(), 99, 0.0, text, sizeof text));
  EXPECT_FALSE(params->value_to_text(instance.plugin(), 5, std::nan(""), text, sizeof text));

  double v = -1;
  EXPECT_TRUE(params->text_to_value(instance.plugin(), 5, "13 dB", &v));
  EXPECT_EQ(v, 13.0);
  EXPECT_TRUE(params->text_to_value(instance.plugin(), 6, "+2", &v));
  EXPECT_EQ(v, 5.0);
  EXPECT_TRUE(params->text_to_value(instance.plugin(), 0, "clear", &v));
  EXPECT_EQ(v, 1.0);
  EXPECT_FALSE(params->text_to_value(instance.plugin(), 6, "2", &v));  // not "+2": refused, not guessed
  EXPECT_FALSE(params->text_to_value(instance.plugin(), 5, "31", &v));
  EXPECT_FALSE(params->text_to_value(instance.plugin(), 5, "12 Hz", &v));
  EXPECT_FALSE(params->text_to_value(instance.plugin(), 3, "nan", &v));
  EXPECT_FALSE(params->text_to_value(instance.plugin(), 3, "", &v));
  EXPECT_FALSE(params->text_to_value(instance.plugin(), 99, "1", &v));
}

// A value event splits the block at its offset: the frames before it sound as the old value, those
// from it as the new one.
TEST(ClapParams, EventsApplyAtTheirSampleOffsets) {
  Module module;
  Host host;
  constexpr uint32_t kFrames = 512, kAt = 300;
  const auto input = Tone(1, kFrames, 0.5f);

  auto run = [&](const EventList& first) {
    Instance instance(module, host, kIds[0]);
    EXPECT_TRUE(instance.Activate(kRate));
    auto in = input;
    std::vector<std::vector<float>> out(1, std::vector<float>(kFrames));
    EXPECT_EQ(instance.Process(in, out, 0, kFrames, first), CLAP_PROCESS_CONTINUE);
    return out[0];
  };
  EventList none;
  EventList bypassAt;
  bypassAt.AddValue(kAt, kParamBypassId, 1.0);
  const std::vector<float> plain = run(none);
  const std::vector<float> split = run(bypassAt);
  for (uint32_t i = 0; i < kAt; ++i) ASSERT_EQ(split[i], plain[i]) << i;
  // From the offset on the engine's bypass passes the input through.
  EXPECT_EQ(split[kFrames - 1], input[0][kFrames - 1]);
  EXPECT_NE(plain[kFrames - 1], input[0][kFrames - 1]);

  // Output gain from a frame on: everything before it is untouched.
  EventList louder;
  louder.AddValue(kAt, 5, 30.0);
  const std::vector<float> loud = run(louder);
  for (uint32_t i = 0; i < kAt; ++i) ASSERT_EQ(loud[i], plain[i]) << i;
  float before = 0, after = 0;
  for (uint32_t i = kAt; i < kFrames; ++i) {
    before = std::max(before, std::fabs(plain[i]));
    after = std::max(after, std::fabs(loud[i]));
  }
  EXPECT_GT(after, before * 1.5f);
}

TEST(ClapParams, UnknownIdsAndForeignEventsAreIgnored) {
  Module module;
  Host host;
  Instance instance(module, host, kIds[0]);
  ASSERT_TRUE(instance.Activate(kRate));
  EventList events;
  events.AddValue(0, 99, 1.0);
  events.AddValue(0, CLAP_INVALID_ID, 1.0);
  events.AddValue(0, 5, std::nan(""));
  events.AddHeader({sizeof(clap_event_header_t), 0, 7, CLAP_EVENT_PARAM_VALUE, 0});  // another space
  events.AddHeader({8, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0});      // too short
  events.AddValue(100000, 5, 10.0);  // beyond the block: applies at its end
  auto in = Tone(1, 64);
  std::vector<std::vector<float>> out(1, std::vector<float>(64));
  EXPECT_EQ(instance.Process(in, out, 0, 64, events), CLAP_PROCESS_CONTINUE);
  for (clap_id id = 0; id < 5; ++id) EXPECT_EQ(instance.Value(id), ParamDefault(id)) << id;
  EXPECT_EQ(instance.Value(5), 10.0);
  EXPECT_EQ(instance.Value(kParamBypassId), 0.0);
}

TEST(ClapParams, FlushBeforeActivationAndOutsideProcessing) {
  Module module;
  Host host;
  Instance instance(module, host, kIds[1]);
  EventList events;
  events.AddValue(0, 1, 5.0);
  events.AddValue(0, 3, 2.5);
  events.AddValue(0, 2, 9.0);  // clamped to the last step
  instance.Flush(events);
  EXPECT_EQ(instance.Value(1), 5.0);
  EXPECT_EQ(instance.Value(3), 2.5);
  EXPECT_EQ(instance.Value(2), 6.0);
  ASSERT_TRUE(instance.Activate(kRate));
  EventList more;
  more.AddValue(0, kParamBypassId, 1.0);
  instance.Flush(more);
  EXPECT_EQ(instance.Value(kParamBypassId), 1.0);
}

// Saved, loaded into another instance and saved again gives the same bytes, A and B and bypass
// included; the values come back with the state.
TEST(ClapState, RoundTripsBitForBit) {
  Module module;
  Host host;
  std::vector<uint8_t> first, second;
  {
    Instance a(module, host, kIds[1]);
    EventList events;
    events.AddValue(0, 1, 5.0);
    events.AddValue(0, 4, 7.25);
    events.AddValue(0, 5, 13.0);
    events.AddValue(0, kParamBypassId, 1.0);
    a.Flush(events);
    ASSERT_TRUE(a.Save(first));
  }
  ASSERT_GT(first.size(), 16u);
  {
    Instance b(module, host, kIds[1]);
    const int rescans = host.rescans;
    ASSERT_TRUE(b.Load(first));
    EXPECT_GT(host.rescans, rescans);
    EXPECT_EQ(b.Value(1), 5.0);
    EXPECT_EQ(b.Value(4), 7.25);
    EXPECT_EQ(b.Value(5), 13.0);
    EXPECT_EQ(b.Value(kParamBypassId), 1.0);
    ASSERT_TRUE(b.Save(second, 1));
  }
  EXPECT_EQ(first, second);
}

TEST(ClapState, RefusesBadStreamsAndKeepsWhatItHad) {
  Module module;
  Host host;
  Instance a(module, host, kIds[0]);
  EventList events;
  events.AddValue(0, 5, 21.0);
  a.Flush(events);
  std::vector<uint8_t> good;
  ASSERT_TRUE(a.Save(good));

  Instance b(module, host, kIds[0]);
  EventList mine;
  mine.AddValue(0, 5, 2.0);
  b.Flush(mine);
  std::vector<uint8_t> before;
  ASSERT_TRUE(b.Save(before));
  std::vector<std::vector<uint8_t>> bad = {{}, {1, 2, 3}, std::vector<uint8_t>(good.begin(), good.end() - 1)};
  for (std::size_t cut : {std::size_t{8}, good.size() / 2, good.size() - 17}) {
    bad.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  std::vector<uint8_t> flipped = good;
  flipped[5] ^= 0xff;  // the product code
  bad.push_back(flipped);
  std::vector<uint8_t> hugeFooter = good;
  hugeFooter[hugeFooter.size() - 16] = 0xff;
  hugeFooter[hugeFooter.size() - 13] = 0x7f;
  bad.push_back(hugeFooter);
  std::vector<uint8_t> badSlot = good;
  badSlot[badSlot.size() - 12] = 2;
  bad.push_back(badSlot);
  for (const auto& bytes : bad) {
    EXPECT_FALSE(b.Load(bytes)) << bytes.size() << " bytes";
    EXPECT_EQ(b.Value(5), 2.0);
  }
  std::vector<uint8_t> after;
  ASSERT_TRUE(b.Save(after));
  EXPECT_EQ(after, before);
  EXPECT_FALSE(host.logs.empty());
}

// A state from a newer version (flags this one does not know) is refused, changes nothing, and the
// host's log says where it comes from rather than calling it damaged.
TEST(ClapState, AStateFromANewerVersionIsRefusedAndSaysSo) {
  Module module;
  Host host;
  Instance a(module, host, kIds[1]);
  std::vector<uint8_t> newer;
  ASSERT_TRUE(a.Save(newer));
  newer[newer.size() - 8] |= 0x04;  // a flag of a later version
  Instance b(module, host, kIds[1]);
  EventList mine;
  mine.AddValue(0, 5, 3.0);
  b.Flush(mine);
  std::vector<uint8_t> before;
  ASSERT_TRUE(b.Save(before));
  host.logs.clear();
  EXPECT_FALSE(b.Load(newer));
  ASSERT_EQ(host.logs.size(), 1u);
  EXPECT_NE(host.logs[0].find("written by a newer version of QRV warmGlow"), std::string::npos) << host.logs[0];
  std::vector<uint8_t> after;
  ASSERT_TRUE(b.Save(after));
  EXPECT_EQ(after, before);
  // A damaged one still reads as such.
  host.logs.clear();
  EXPECT_FALSE(b.Load(std::vector<uint8_t>(newer.begin(), newer.begin() + 40)));
  ASSERT_EQ(host.logs.size(), 1u);
  EXPECT_NE(host.logs[0].find("not a complete state"), std::string::npos) << host.logs[0];
}

constexpr clap_id kParamHighQualityId = 8;

// Where the largest magnitude of a channel lies.
std::size_t PeakFrame(const std::vector<float>& samples) {
  std::size_t at = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (std::fabs(samples[i]) > std::fabs(samples[at])) at = i;
  }
  return at;
}

// High quality as a host sets it: the latency extension reports it, a change while active asks the host
// for a restart, and after the restart an impulse comes out exactly that late, processed and bypassed.
TEST(ClapLatency, HighQualityIsReportedAndAChangeAsksForARestart) {
  Module module;
  Host host;
  for (const char* id : kIds) {
    Instance p(module, host, id);
    const auto* latency = p.Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    ASSERT_NE(latency, nullptr);
    const int changes = host.latencyChanges;
    ASSERT_TRUE(p.Activate(kRate));
    EXPECT_EQ(latency->get(p.plugin()), 0u);
    EXPECT_EQ(host.latencyChanges, changes);
    const int before = host.restarts.load();
    const uint32_t channels = id == kIds[0] ? 1 : 2;
    auto in = Tone(channels, 256), out = in;
    EventList on;
    on.AddValue(10, kParamHighQualityId, 1.0);
    ASSERT_EQ(p.Process(in, out, 0, 256, on), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(host.restarts.load(), before + 1);
    EXPECT_EQ(p.Value(kParamHighQualityId), 1.0);
    // The host restarts the plug-in and reads the latency again; the activation tells it of the change.
    p.Deactivate();
    ASSERT_TRUE(p.Activate(kRate));
    EXPECT_EQ(host.latencyChanges, changes + 1);
    const uint32_t frames = latency->get(p.plugin());
    EXPECT_GT(frames, 0u);
    for (double bypass : {0.0, 1.0}) {
      EventList set;
      set.AddValue(0, kParamBypassId, bypass);
      p.Flush(set);
      p.Deactivate();
      ASSERT_TRUE(p.Activate(kRate));
      std::vector<std::vector<float>> impulse(channels, std::vector<float>(1024, 0.0f)), result;
      for (auto& ch : impulse) ch[300] = 0.5f;
      p.Render(impulse, result, 128);
      for (const auto& ch : result) EXPECT_EQ(PeakFrame(ch), 300u + frames) << id << " bypass " << bypass;
    }
    // Set again to what it is: no restart. Off while inactive: none either, and no latency.
    EventList again;
    again.AddValue(0, kParamHighQualityId, 1.0);
    p.Flush(again);
    EXPECT_EQ(host.restarts.load(), before + 1);
    p.Deactivate();
    EventList off;
    off.AddValue(0, kParamHighQualityId, 0.0);
    p.Flush(off);
    EXPECT_EQ(host.restarts.load(), before + 1);
    ASSERT_TRUE(p.Activate(kRate));
    EXPECT_EQ(latency->get(p.plugin()), 0u);
    EXPECT_EQ(host.latencyChanges, changes + 2);
    std::vector<std::vector<float>> impulse(channels, std::vector<float>(512, 0.0f)), result;
    for (auto& ch : impulse) ch[300] = 0.5f;
    p.Render(impulse, result, 128);
    for (const auto& ch : result) EXPECT_EQ(PeakFrame(ch), 300u) << id;
    p.Deactivate();
  }
}

// High quality is the instance's state: it round-trips, a state without it (an older one) loads with it
// off, and a load that changes it while active asks for a restart.
TEST(ClapState, HighQualityRoundTripsAndAnOlderStateLoadsWithItOff) {
  Module module;
  Host host;
  Instance a(module, host, kIds[1]);
  std::vector<uint8_t> plain, hq;
  ASSERT_TRUE(a.Save(plain));
  EventList on;
  on.AddValue(0, kParamHighQualityId, 1.0);
  a.Flush(on);
  ASSERT_TRUE(a.Save(hq));
  ASSERT_EQ(hq.size(), plain.size());
  EXPECT_NE(hq, plain);

  Instance b(module, host, kIds[1]);
  ASSERT_TRUE(b.Activate(kRate));
  const int before = host.restarts.load();
  ASSERT_TRUE(b.Load(hq));
  EXPECT_EQ(b.Value(kParamHighQualityId), 1.0);
  EXPECT_EQ(host.restarts.load(), before + 1);
  std::vector<uint8_t> again;
  ASSERT_TRUE(b.Save(again));
  EXPECT_EQ(again, hq);
  ASSERT_TRUE(b.Load(plain));
  EXPECT_EQ(b.Value(kParamHighQualityId), 0.0);
  EXPECT_EQ(host.restarts.load(), before + 2);
  ASSERT_TRUE(b.Save(again));
  EXPECT_EQ(again, plain);
  b.Deactivate();
}

// The host's main thread saves, loads and reads values while its audio thread processes with events:
// every call arrives on the thread CLAP gives it (the plug-in reports any other), and the last state
// loaded is what the instance holds at the end.
TEST(ClapThreads, StateAndValuesBesideProcessing) {
  Module module;
  Host host;
  std::vector<uint8_t> loud, soft;
  {
    Instance a(module, host, kIds[1]);
    EventList e;
    e.AddValue(0, 5, 24.0);
    a.Flush(e);
    ASSERT_TRUE(a.Save(loud, 4096));
    EventList f;
    f.AddValue(0, 5, 1.0);
    a.Flush(f);
    ASSERT_TRUE(a.Save(soft, 4096));
  }
  Instance instance(module, host, kIds[1]);
  ASSERT_TRUE(instance.Activate(kRate, 64));
  std::thread audio([&] {
    auto in = Tone(2, 64);
    std::vector<std::vector<float>> out(2, std::vector<float>(64));
    for (int block = 0; block < 400; ++block) {
      EventList events;
      events.AddValue(static_cast<uint32_t>(block % 64), 3, (block % 10) * 1.0);
      instance.Process(in, out, 0, 64, events);
    }
  });
  for (int i = 0; i < 40; ++i) {
    EXPECT_TRUE(instance.Load(i % 2 == 0 ? loud : soft, 4096));
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(instance.Save(bytes, 4096));
  }
  audio.join();
  ASSERT_TRUE(instance.Load(loud, 4096));
  EXPECT_EQ(instance.Value(5), 24.0);
  EXPECT_TRUE(host.logs.empty()) << host.logs.front();
  EXPECT_GT(host.rescans, 40);
  EXPECT_EQ(host.offMainCalls, 0);
}

// A main-thread call from another thread is reported to the host.
TEST(ClapThreads, ReportsMainThreadCallsFromElsewhere) {
  Module module;
  Host host;
  Instance instance(module, host, kIds[0]);
  std::thread other([&] { instance.Value(1); });
  other.join();
  ASSERT_EQ(host.logs.size(), 1u);
  EXPECT_NE(host.logs[0].find("params.get_value"), std::string::npos) << host.logs[0];
}

}  // namespace
}  // namespace qrv::clap::test
