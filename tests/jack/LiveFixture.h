// `warmglow live` run as a process against a private JACK server, next to a client of the tests' own.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "controller/InstancePresets.h"
#include "dsp/ParameterSet.h"
#include "presets/PresetManager.h"

#include "tests/jack/JackTestSupport.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WavFile.h"

namespace qrv::jack::test {

inline bool HasPort(jack_client_t* client, const std::string& name) {
  return jack_port_by_name(client, name.c_str()) != nullptr;
}

inline std::vector<std::string> PortsOf(jack_client_t* client, const std::string& clientName) {
  std::vector<std::string> names;
  const char** ports = jack_get_ports(client, (clientName + ":.*").c_str(), nullptr, 0);
  for (std::size_t i = 0; ports != nullptr && ports[i] != nullptr; ++i) names.emplace_back(ports[i]);
  if (ports != nullptr) jack_free(ports);
  return names;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The Output value of each A/B slot of a saved state, and the active slot; nullopt when it does not load.
struct Slots {
  double a = -1.0, b = -1.0;
  int active = -1;
};
inline std::optional<Slots> ReadSlots(const std::filesystem::path& path) {
  const std::string bytes = qrv::test::FileBytes(path);
  InstanceValues values;
  for (auto& v : values) v.store(0.0);
  InstancePresets presets(values);
  uint32_t flags = 0;
  const std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!presets.LoadStream(span, flags)) return std::nullopt;
  PresetManager& manager = presets.presetManager();
  const PresetLock lock;
  return Slots{manager.SlotRecord(kSlotA).values[kSlotOutput], manager.SlotRecord(kSlotB).values[kSlotOutput],
               manager.ActiveSlot()};
}

// The flags of a saved state stream (kStateFlag...); nullopt when it does not load.
inline std::optional<uint32_t> ReadStateFlags(const std::filesystem::path& path) {
  const std::string bytes = qrv::test::FileBytes(path);
  InstanceValues values;
  for (auto& v : values) v.store(0.0);
  InstancePresets presets(values);
  uint32_t flags = 0;
  const std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!presets.LoadStream(span, flags)) return std::nullopt;
  return flags;
}

// The frames a live client's port latency ranges add from its in_1 to its out_1 (capture latency).
inline long ReportedLatency(jack_client_t* client, const std::string& self) {
  jack_port_t* in = jack_port_by_name(client, (self + ":in_1").c_str());
  jack_port_t* out = jack_port_by_name(client, (self + ":out_1").c_str());
  if (in == nullptr || out == nullptr) return -1;
  jack_latency_range_t a{}, b{};
  jack_port_get_latency_range(in, JackCaptureLatency, &a);
  jack_port_get_latency_range(out, JackCaptureLatency, &b);
  return static_cast<long>(b.max) - static_cast<long>(a.max);
}

class LiveFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<JackServer>();
    ASSERT_TRUE(server_->ok()) << server_->reason();
  }
  void TearDown() override { server_.reset(); }

  // A child of its own scratch folder, so that several can run at once.
  std::unique_ptr<qrv::test::ChildProcess> Start(std::vector<std::string> args) {
    args.insert(args.begin(), "live");
    return std::make_unique<qrv::test::ChildProcess>(QRV_WARMGLOW, args, scratch_ / std::to_string(++children_));
  }
  qrv::test::ProcessResult Warmglow(const std::vector<std::string>& args) {
    return qrv::test::ChildProcess(QRV_WARMGLOW, args, scratch_ / std::to_string(++children_))
        .Wait(std::chrono::minutes(2));
  }
  // The --connect options that wire the test client between the live client's ports.
  static std::vector<std::string> Wiring(const TestClient& client, unsigned channels) {
    std::vector<std::string> args;
    for (unsigned ch = 0; ch < channels; ++ch) {
      args.insert(args.end(), {"--connect-in", client.PlayPort(ch), "--connect-out", client.RecordPort(ch)});
    }
    return args;
  }
  // One second of the demo programme at the server's rate, stereo or its left channel.
  Channels Programme(unsigned channels) {
    const auto path = dir_ / "programme.wav";
    if (!std::filesystem::exists(path)) {
      const auto r = Warmglow({"generate", path.string(), "--seconds", "1", "--rate", "48000", "--float"});
      EXPECT_EQ(r.status, 0) << r.err;
    }
    Channels audio = qrv::test::ReadWav(path);
    if (channels == 1 && !audio.empty()) audio.resize(1);
    return audio;
  }
  // What `warmglow render` makes of audio with the settings given.
  Channels Render(const Channels& audio, const std::vector<std::string>& settings) {
    const auto in = dir_ / ("render-in-" + std::to_string(++renders_) + ".wav");
    const auto out = dir_ / ("render-out-" + std::to_string(renders_) + ".wav");
    qrv::test::WriteWav(in, audio, JackServer::kRate);
    std::vector<std::string> args = {"render", in.string(), out.string()};
    args.insert(args.end(), settings.begin(), settings.end());
    const auto r = Warmglow(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return qrv::test::ReadWav(out);
  }
  // Waits until the live client has connected itself to the test client.
  static bool WaitConnected(const TestClient& client) {
    return WaitFor([&] { return client.Connected(); });
  }

  std::unique_ptr<JackServer> server_;
  qrv::test::TempDir dir_;
  qrv::test::TempDir scratch_;
  int children_ = 0;
  int renders_ = 0;
};

// The live recording matches the render: the same engine with the same settings, so after alignment
// only float rounding in block boundaries could differ; 1e-5 (-100 dBFS) is far below anything audible
// and far above such rounding, and far below the difference of any setting change.
inline constexpr double kMatchTolerance = 1e-5;

}  // namespace qrv::jack::test
