// `warmglow live` as a user runs it, against a private dummy JACK server: its ports, its audio compared
// with `warmglow render`, its options and state file, and how it ends.
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "controller/InstancePresets.h"
#include "dsp/ParameterSet.h"
#include "presets/PresetManager.h"
#include "tests/jack/LiveFixture.h"
#include "tests/support/ScratchUser.h"

namespace qrv::jack::test {
namespace {

using qrv::test::FileBytes;
using qrv::test::Lines;

const auto* const kScratchUser = ::testing::AddGlobalTestEnvironment(new qrv::test::ScratchUserEnvironment(true));

TEST_F(LiveFixture, StereoRegistersTwoInputsAndTwoOutputs) {
  TestClient probe("probe", 1);
  ASSERT_TRUE(probe.ok());
  auto live = Start({"--no-editor", "--state", (dir_ / "s.state").string()});
  ASSERT_TRUE(WaitFor([&] { return HasPort(probe.get(), "warmGlow:out_2"); }));
  EXPECT_EQ(PortsOf(probe.get(), "warmGlow"),
            (std::vector<std::string>{"warmGlow:in_1", "warmGlow:in_2", "warmGlow:out_1", "warmGlow:out_2"}));
  jack_port_t* in = jack_port_by_name(probe.get(), "warmGlow:in_1");
  jack_port_t* out = jack_port_by_name(probe.get(), "warmGlow:out_1");
  EXPECT_NE(jack_port_flags(in) & JackPortIsInput, 0);
  EXPECT_NE(jack_port_flags(out) & JackPortIsOutput, 0);
  EXPECT_STREQ(jack_port_type(in), JACK_DEFAULT_AUDIO_TYPE);
  live->Signal(SIGTERM);
  const auto r = live->Wait();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir_ / "s.state"));
}

TEST_F(LiveFixture, MonoRegistersOneOfEachUnderTheGivenName) {
  TestClient probe("probe", 1);
  ASSERT_TRUE(probe.ok());
  auto live = Start({"--no-editor", "--mono", "--name", "vox", "--state", (dir_ / "s.state").string()});
  ASSERT_TRUE(WaitFor([&] { return HasPort(probe.get(), "vox:out_1"); }));
  EXPECT_EQ(PortsOf(probe.get(), "vox"), (std::vector<std::string>{"vox:in_1", "vox:out_1"}));
  live->Signal(SIGINT);
  const auto r = live->Wait();
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(LiveFixture, MonoOutputMatchesTheRenderOfTheSameAudio) {
  TestClient client("tc", 1);
  ASSERT_TRUE(client.ok());
  std::vector<std::string> args = {"--no-editor", "--mono", "--state", (dir_ / "s.state").string()};
  for (const auto& a : Wiring(client, 1)) args.push_back(a);
  auto live = Start(args);
  ASSERT_TRUE(WaitConnected(client)) << FileBytes(scratch_ / "1" / "stderr.txt");
  const Channels input = Programme(1);
  ASSERT_FALSE(input.empty());
  const Channels recorded = client.PlayAndRecord(input, 8192);
  ASSERT_FALSE(recorded.empty());
  const Channels expected = Render(input, {});
  ASSERT_EQ(expected.size(), 1u);
  const Alignment a = Align(recorded, expected, 8192);
  EXPECT_GT(a.expectedPeak, 0.1);
  EXPECT_LT(a.maxDifference, kMatchTolerance) << "lag " << a.lag << ", first difference at " << a.firstDifference << ", xruns " << client.xruns();
  std::cout << "mono: lag " << a.lag << " frames, largest difference " << a.maxDifference << "\n";
  live->Signal(SIGTERM);
  EXPECT_EQ(live->Wait().status, 0);
}

// The delay a port's latency range adds from the live client's input to its output.
struct PortDelay {
  jack_nframes_t min = 0, max = 0;
};
PortDelay ReportedDelay(jack_client_t* client, const std::string& self, unsigned ch, jack_latency_callback_mode_t mode) {
  jack_port_t* in = jack_port_by_name(client, (self + ":in_" + std::to_string(ch + 1)).c_str());
  jack_port_t* out = jack_port_by_name(client, (self + ":out_" + std::to_string(ch + 1)).c_str());
  if (in == nullptr || out == nullptr) return {9999, 9999};
  jack_latency_range_t a{}, b{};
  jack_port_get_latency_range(in, mode, &a);
  jack_port_get_latency_range(out, mode, &b);
  // Capture latency grows from input to output; playback latency from output back to input.
  if (mode == JackCaptureLatency) return {b.min - a.min, b.max - a.max};
  return {a.min - b.min, a.max - b.max};
}

// With --hq the output matches `warmglow render --hq` of the same audio, later by exactly the delay the
// ports' latency ranges report; without it the ports report none.
TEST_F(LiveFixture, HighQualityIsAsLateAsThePortsReport) {
  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  const Channels input = Programme(2);
  ASSERT_FALSE(input.empty());
  std::size_t lags[2] = {};
  PortDelay reported[2][2] = {};
  for (int hq : {0, 1}) {
    std::vector<std::string> args = {"--no-editor", "--state", (dir_ / "s.state").string()};
    if (hq == 1) args.push_back("--hq");
    for (const auto& a : Wiring(client, 2)) args.push_back(a);
    auto live = Start(args);
    ASSERT_TRUE(WaitConnected(client)) << FileBytes(scratch_ / std::to_string(children_) / "stderr.txt");
    const Channels recorded = client.PlayAndRecord(input, 8192);
    ASSERT_FALSE(recorded.empty());
    const Channels expected = Render(input, hq == 1 ? std::vector<std::string>{"--hq"} : std::vector<std::string>{});
    const Alignment a = Align(recorded, expected, 8192);
    EXPECT_GT(a.expectedPeak, 0.1);
    EXPECT_LT(a.maxDifference, kMatchTolerance) << "hq " << hq << ", lag " << a.lag << ", xruns " << client.xruns();
    lags[hq] = a.lag;
    reported[hq][0] = ReportedDelay(client.get(), "warmGlow", 0, JackCaptureLatency);
    reported[hq][1] = ReportedDelay(client.get(), "warmGlow", 1, JackPlaybackLatency);
    live->Signal(SIGTERM);
    EXPECT_EQ(live->Wait().status, 0);
    ASSERT_TRUE(WaitFor([&] { return !client.Connected(); }));
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(reported[0][i].min, 0u);
    EXPECT_EQ(reported[0][i].max, 0u);
    EXPECT_EQ(reported[1][i].min, reported[1][i].max);
  }
  EXPECT_GT(reported[1][0].min, 0u);
  EXPECT_EQ(reported[1][1].min, reported[1][0].min);
  EXPECT_EQ(lags[1], lags[0] + reported[1][0].min) << lags[0] << " " << lags[1];
}

// High quality is the instance's setting: saved with the state (flag 2 of the stream, as the CLAP
// plug-in saves it), restored at the next start without --hq, and switched off by --no-hq, which the
// state keeps in turn. The ports report its delay whenever it is on.
TEST_F(LiveFixture, HighQualityIsKeptWithTheStateUntilSwitchedOff) {
  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  const auto state = dir_ / "hq.state";
  auto run = [&](const std::vector<std::string>& extra, long latency) {
    std::vector<std::string> args = {"--no-editor", "--state", state.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    for (const auto& a : Wiring(client, 2)) args.push_back(a);
    auto live = Start(args);
    ASSERT_TRUE(WaitConnected(client)) << FileBytes(scratch_ / std::to_string(children_) / "stderr.txt");
    EXPECT_TRUE(WaitFor([&] { return ReportedLatency(client.get(), "warmGlow") == latency; }))
        << ReportedLatency(client.get(), "warmGlow") << " frames, not " << latency;
    live->Signal(SIGTERM);
    const auto r = live->Wait();
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(WaitFor([&] { return !client.Connected(); }));
  };
  run({"--hq"}, 61);
  EXPECT_EQ(ReadStateFlags(state), std::optional<uint32_t>(kStateFlagHighQuality));
  run({}, 61);
  EXPECT_EQ(ReadStateFlags(state), std::optional<uint32_t>(kStateFlagHighQuality));
  run({"--no-hq"}, 0);
  EXPECT_EQ(ReadStateFlags(state), std::optional<uint32_t>(0u));
  run({}, 0);
  EXPECT_EQ(ReadStateFlags(state), std::optional<uint32_t>(0u));

  // Both at once is a mistake, said before anything starts.
  const auto r = Start({"--no-editor", "--state", state.string(), "--hq", "--no-hq"})->Wait();
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--no-hq"), std::string::npos) << r.err;
}

TEST_F(LiveFixture, PresetAndSetReachTheAudio) {
  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  const std::vector<std::string> settings = {"--preset", "8", "--set", "Output=0.7"};
  std::vector<std::string> args = {"--no-editor", "--state", (dir_ / "s.state").string()};
  args.insert(args.end(), settings.begin(), settings.end());
  for (const auto& a : Wiring(client, 2)) args.push_back(a);
  auto live = Start(args);
  ASSERT_TRUE(WaitConnected(client));
  const Channels input = Programme(2);
  const Channels recorded = client.PlayAndRecord(input, 8192);
  ASSERT_EQ(recorded.size(), 2u);
  const Alignment withSettings = Align(recorded, Render(input, settings), 8192);
  EXPECT_LT(withSettings.maxDifference, kMatchTolerance)
      << "lag " << withSettings.lag << ", first difference at " << withSettings.firstDifference << ", xruns "
      << client.xruns();
  // Not the defaults: the settings made a difference that the comparison sees.
  const Alignment defaults = Align(recorded, Render(input, {}), 8192);
  EXPECT_GT(defaults.maxDifference, 100 * kMatchTolerance);
  std::cout << "stereo: lag " << withSettings.lag << " frames, largest difference " << withSettings.maxDifference
            << "; against the defaults " << defaults.maxDifference << "\n";
  live->Signal(SIGTERM);
  EXPECT_EQ(live->Wait().status, 0);

  // The bar took the preset as a load, by its name (a state keeps the record, not whether it was edited),
  // and the --set on top of it.
  InstanceValues values;
  InstancePresets presets(values);
  uint32_t flags = 0;
  const std::string bytes = FileBytes(dir_ / "s.state");
  ASSERT_TRUE(presets.LoadStream(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), flags));
  PresetManager& manager = presets.presetManager();
  const PresetLock lock;
  EXPECT_EQ(manager.current().Name(), FactoryRecord(8).Name());
  EXPECT_FLOAT_EQ(manager.current().values[kSlotOutput], 0.7f);
}

TEST_F(LiveFixture, StateKeepsBothSlotsAcrossRuns) {
  // A state with different Output values in A and B, A active, as a plug-in would save it.
  const auto state = dir_ / "two.state";
  {
    InstanceValues values;
    for (unsigned s = 0; s < kPresetValueCount; ++s) values[s].store(GetParameterDefault(s));
    InstancePresets presets(values);
    {
      PresetManager& manager = presets.presetManager();
      const PresetLock lock;
      values[kSlotOutput].store(0.3);
      manager.ParameterChanged(kSlotOutput, 0.3);
      manager.SelectSlot(kSlotB);
      values[kSlotOutput].store(0.8);
      manager.ParameterChanged(kSlotOutput, 0.8);
      manager.SelectSlot(kSlotA);
    }
    presets.PublishValues();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(presets.SaveStream(bytes, 0));
    WriteBytes(state, std::string(bytes.begin(), bytes.end()));
  }
  const auto before = ReadSlots(state);
  ASSERT_TRUE(before);
  EXPECT_NEAR(before->a, 0.3, 1e-6);
  EXPECT_NEAR(before->b, 0.8, 1e-6);

  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  std::vector<std::string> args = {"--no-editor", "--state", state.string()};
  for (const auto& a : Wiring(client, 2)) args.push_back(a);
  const Channels input = Programme(2);
  const Channels expected = Render(input, {"--set", "Output=0.3", "--set", "Time=0.9"});
  // First run: the state's slot A is what plays; a --set on top changes slot A only.
  {
    auto withSet = args;
    withSet.insert(withSet.end(), {"--set", "Time=0.9"});
    auto live = Start(withSet);
    ASSERT_TRUE(WaitConnected(client));
    const Alignment a = Align(client.PlayAndRecord(input, 8192), expected, 8192);
    EXPECT_LT(a.maxDifference, kMatchTolerance);
    live->Signal(SIGTERM);
    const auto r = live->Wait();
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const auto after = ReadSlots(state);
  ASSERT_TRUE(after);
  EXPECT_NEAR(after->a, 0.3, 1e-6);
  EXPECT_NEAR(after->b, 0.8, 1e-6);
  EXPECT_EQ(after->active, kSlotA);
  // Second run from the saved file alone: the same sound as the first.
  const std::string saved = FileBytes(state);
  ASSERT_TRUE(WaitFor([&] { return !client.Connected(); }));
  auto live = Start(args);
  ASSERT_TRUE(WaitConnected(client));
  const Alignment a = Align(client.PlayAndRecord(input, 8192), expected, 8192);
  EXPECT_LT(a.maxDifference, kMatchTolerance);
  live->Signal(SIGTERM);
  ASSERT_EQ(live->Wait().status, 0);
  EXPECT_EQ(FileBytes(state), saved);
}

TEST_F(LiveFixture, WithoutStateOptionTheStateIsKeptPerClientName) {
  const std::filesystem::path config = std::getenv("QRV_CONFIG_DIR");
  std::filesystem::remove(config / "live-bus%2F1.state");
  TestClient probe("probe", 1);
  ASSERT_TRUE(probe.ok());
  auto live = Start({"--no-editor", "--name", "bus/1", "--set", "Output=0.25"});
  ASSERT_TRUE(WaitFor([&] { return HasPort(probe.get(), "bus/1:out_2"); }));
  live->Signal(SIGTERM);
  const auto r = live->Wait();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto slots = ReadSlots(config / "live-bus%2F1.state");
  ASSERT_TRUE(slots);
  EXPECT_NEAR(slots->a, 0.25, 1e-6);
}

TEST_F(LiveFixture, DamagedStateIsRefusedAndLeftAlone) {
  const auto state = dir_ / "bad.state";
  // A real state cut short behind its chunk: no footer.
  {
    InstanceValues values;
    for (auto& v : values) v.store(0.5);
    InstancePresets presets(values);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(presets.SaveStream(bytes, 0));
    bytes.resize(bytes.size() - 3);
    WriteBytes(state, std::string(bytes.begin(), bytes.end()));
  }
  const std::string before = FileBytes(state);
  // Refused before JACK: with no server to reach, the state is still what it names.
  setenv("JACK_DEFAULT_SERVER", (server_->name() + "-absent").c_str(), 1);
  const auto r = Start({"--no-editor", "--state", state.string()})->Wait();
  EXPECT_EQ(r.status, 2);
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("bad.state"), std::string::npos) << r.err;
  EXPECT_EQ(FileBytes(state), before);
}

TEST_F(LiveFixture, StateFromANewerVersionIsRefusedAndSaysSo) {
  const auto state = dir_ / "newer.state";
  {
    InstanceValues values;
    for (auto& v : values) v.store(0.5);
    InstancePresets presets(values);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(presets.SaveStream(bytes, 0x4));  // a flag this version does not know
    WriteBytes(state, std::string(bytes.begin(), bytes.end()));
  }
  const std::string before = FileBytes(state);
  const auto r = Start({"--no-editor", "--state", state.string()})->Wait();
  EXPECT_EQ(r.status, 2);
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("written by a newer version of QRV warmGlow"), std::string::npos) << r.err;
  EXPECT_EQ(FileBytes(state), before);
}

TEST_F(LiveFixture, ServerGoingAwayEndsWithStatusOneAndTheStateSaved) {
  const auto state = dir_ / "gone.state";
  {
    TestClient client("tc", 2);
    std::vector<std::string> args = {"--no-editor", "--state", state.string(), "--set", "Output=0.6"};
    for (const auto& a : Wiring(client, 2)) args.push_back(a);
    auto live = Start(args);
    // Connected: the client is active and running.
    ASSERT_TRUE(WaitConnected(client));
    server_->Kill();
    const auto r = live->Wait(std::chrono::seconds(30));
    EXPECT_EQ(r.status, 1) << r.err;
    ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("went away"), std::string::npos) << r.err;
  }
  const auto slots = ReadSlots(state);
  ASSERT_TRUE(slots);
  EXPECT_NEAR(slots->a, 0.6, 1e-6);
}

TEST_F(LiveFixture, NoServerIsOneLineAndStatusTwo) {
  setenv("JACK_DEFAULT_SERVER", (server_->name() + "-absent").c_str(), 1);
  const auto state = dir_ / "none.state";
  const auto r = Start({"--no-editor", "--state", state.string()})->Wait();
  EXPECT_EQ(r.status, 2);
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("jackd -d alsa"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("pw-jack"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(state));
}

TEST_F(LiveFixture, MissingConnectPortIsStatusTwoAndLeavesNothing) {
  const auto state = dir_ / "kept.state";
  {
    // A good state that must stay as it is.
    auto first = Start({"--no-editor", "--state", state.string(), "--set", "Output=0.4"});
    TestClient probe("probe", 1);
    ASSERT_TRUE(WaitFor([&] { return HasPort(probe.get(), "warmGlow:out_2"); }));
    first->Signal(SIGTERM);
    ASSERT_EQ(first->Wait().status, 0);
  }
  const std::string before = FileBytes(state);
  TestClient probe("probe", 1);
  for (const char* option : {"--connect-in", "--connect-out"}) {
    const auto r = Start({"--no-editor", "--state", state.string(), "--set", "Output=0.9", option, "nobody:here"})->Wait();
    EXPECT_EQ(r.status, 2);
    ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("nobody:here"), std::string::npos) << r.err;
    EXPECT_EQ(FileBytes(state), before);
  }
  // A port that points the wrong way is refused too.
  const auto r = Start({"--no-editor", "--state", state.string(), "--connect-in", probe.RecordPort(0)})->Wait();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
}

TEST_F(LiveFixture, ClientNameInUseIsStatusTwo) {
  TestClient taken("taken", 1);
  ASSERT_TRUE(taken.ok());
  const auto state = dir_ / "taken.state";
  const auto r = Start({"--no-editor", "--name", "taken", "--state", state.string()})->Wait();
  EXPECT_EQ(r.status, 2);
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("'taken' is already running"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(state));
}

TEST_F(LiveFixture, BufferSizeChangeSetsTheEngineUpAgain) {
  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  std::vector<std::string> args = {"--no-editor", "--verbose", "--state", (dir_ / "s.state").string()};
  for (const auto& a : Wiring(client, 2)) args.push_back(a);
  auto live = Start(args);
  ASSERT_TRUE(WaitConnected(client));
  const Channels input = Programme(2);
  const Channels expected = Render(input, {});
  ASSERT_FALSE(client.PlayAndRecord(input, 8192).empty());
  ASSERT_EQ(jack_set_buffer_size(client.get(), 512), 0);
  ASSERT_TRUE(WaitFor([&] { return jack_get_buffer_size(client.get()) == 512; }));
  const auto log = scratch_ / "1" / "stderr.txt";
  ASSERT_TRUE(WaitFor([&] { return FileBytes(log).find("512 frames") != std::string::npos; })) << FileBytes(log);
  // Set up again from rest, the engine sounds as a fresh render does.
  const Channels recorded = client.PlayAndRecord(input, 8192);
  const Alignment a = Align(recorded, expected, 8192);
  EXPECT_LT(a.maxDifference, kMatchTolerance) << "lag " << a.lag;
  live->Signal(SIGTERM);
  const auto r = live->Wait();
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("now at 48000 Hz, 512 frames"), std::string::npos) << r.err;
}

TEST_F(LiveFixture, HelpNamesTheOptionsAndTheServerItNeeds) {
  const auto r = Warmglow({"live", "--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* word : {"--mono", "--name", "--preset", "--set", "--connect-in", "--connect-out", "--state",
                           "--no-editor", "--verbose", "pw-jack", "in_1", "out_2"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
  const auto main = Warmglow({"--help"});
  EXPECT_TRUE(std::regex_search(main.out, std::regex("\n  live +run the compressor")));
}

TEST_F(LiveFixture, WithoutADisplayTheEditorIsRefusedBeforeJack) {
  unsetenv("DISPLAY");
  // With no server to reach either, the display is what the one line names.
  setenv("JACK_DEFAULT_SERVER", (server_->name() + "-absent").c_str(), 1);
  const auto state = dir_ / "d.state";
  const auto r = Start({"--state", state.string()})->Wait();
  EXPECT_EQ(r.status, 2);
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("--no-editor"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(state));
}

}  // namespace
// The engine's filters are defined from 22.05 to 192 kHz: a server outside that range is refused before
// anything starts, rather than run with the time constants of the nearest limit.
TEST(LiveRate, AServerOutsideTheEnginesRangeIsRefused) {
  JackServer server(8000);
  ASSERT_TRUE(server.ok()) << server.reason();
  qrv::test::TempDir dir;
  const auto state = dir.path() / "rate.state";
  const auto r = qrv::test::ChildProcess(QRV_WARMGLOW, {"live", "--no-editor", "--state", state.string()},
                                         dir.path() / "child")
                     .Wait(std::chrono::minutes(1));
  EXPECT_EQ(r.status, 2) << r.err;
  ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("8000 Hz"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("22050 to 192000 Hz"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(state));
}

}  // namespace qrv::jack::test
