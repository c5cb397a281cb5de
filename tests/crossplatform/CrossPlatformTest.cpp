// The modules on one platform against the same modules on another (Linux and Windows): one run writes this
// platform's renders and states into $QRV_CROSS_OUT; another compares this platform with the files the
// other platform wrote into $QRV_CROSS_OTHER. Per format: the render of the same input and settings, the
// state saved after it, and that state loaded into a fresh instance (the render from it and the state
// saved again). Here must make the same renders and state bytes, and the other platform's state loaded
// here must render and save as it did there. Renders are compared bit for bit; where the platforms' libm
// make them differ, the difference is measured and must stay within the engine's fidelity (1e-6); it is
// printed either way.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "tests/crossplatform/CrossRender.h"

namespace qrv::cross {

Audio Input() {
  Audio in(2, std::vector<float>(kFrames));
  uint32_t noise = 0x12345678u;
  for (uint32_t i = 0; i < kFrames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const float white = static_cast<float>(static_cast<int32_t>(noise >> 8) - (1 << 23)) / static_cast<float>(1 << 23);
    const bool loud = (i / 6000) % 2 == 0;
    const float burst = (i % 6000) < 1500 ? white * 0.5f : 0.0f;
    const float square = ((i / 109) % 2 == 0 ? 0.4f : -0.4f);
    const float silence = i >= kFrames - 4000 ? 0.0f : 1.0f;
    in[0][i] = silence * (loud ? 1.0f : 0.05f) * (square + burst);
    in[1][i] = silence * (loud ? 0.7f : 0.1f) * (((i / 151) % 2 == 0 ? 0.3f : -0.3f) + burst);
  }
  return in;
}

namespace {

constexpr double kFidelity = 1e-6;

struct Format {
  const char* name;
  std::function<Outcome()> withSettings;
  std::function<Outcome(const std::vector<uint8_t>&)> fromState;
};

const Format kFormats[] = {{"clap", ClapWithSettings, ClapFromState},
                           {"vst3", Vst3WithSettings, Vst3FromState},
                           {"aax", AaxWithSettings, AaxFromState}};

std::filesystem::path Folder(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}

void WriteFile(const std::filesystem::path& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  ASSERT_TRUE(out.good()) << path;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing " << path;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian float32, channel after channel (both platforms are little-endian x86-64).
std::vector<uint8_t> Bytes(const Audio& audio) {
  std::vector<uint8_t> out;
  for (const auto& channel : audio) {
    const auto* b = reinterpret_cast<const uint8_t*>(channel.data());
    out.insert(out.end(), b, b + channel.size() * sizeof(float));
  }
  return out;
}

// Samples that differ and the largest difference; the render must be whole.
void Compare(const char* what, const std::vector<uint8_t>& mine, const std::vector<uint8_t>& theirs) {
  ASSERT_EQ(mine.size(), theirs.size()) << what;
  ASSERT_EQ(mine.size(), 2u * kFrames * sizeof(float)) << what;
  std::size_t differing = 0;
  double largest = 0.0;
  for (std::size_t at = 0; at < mine.size(); at += sizeof(float)) {
    float a = 0.0f, b = 0.0f;
    std::memcpy(&a, mine.data() + at, sizeof a);
    std::memcpy(&b, theirs.data() + at, sizeof b);
    if (std::memcmp(&a, &b, sizeof a) == 0) continue;
    ++differing;
    largest = std::max(largest, std::fabs(static_cast<double>(a) - static_cast<double>(b)));
  }
  std::printf("[ cross    ] %s: %zu of %zu samples differ, largest difference %.3g%s\n", what, differing,
              mine.size() / sizeof(float), largest, differing == 0 ? " (bit-identical)" : "");
  EXPECT_LE(largest, kFidelity) << what;
  EXPECT_FALSE(std::isnan(largest)) << what;
}

TEST(CrossPlatform, WritesRendersAndStates) {
  const std::filesystem::path out = Folder("QRV_CROSS_OUT");
  ASSERT_FALSE(out.empty()) << "QRV_CROSS_OUT names the folder for this platform's renders and states";
  std::filesystem::remove_all(out);
  std::filesystem::create_directories(out);
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    const Outcome o = f.withSettings();
    ASSERT_TRUE(o.error.empty()) << o.error;
    ASSERT_FALSE(o.state.empty());
    const Outcome reloaded = f.fromState(o.state);
    ASSERT_TRUE(reloaded.error.empty()) << reloaded.error;
    const std::string name = f.name;
    for (const auto& [file, bytes] : {std::pair{".render", Bytes(o.render)}, std::pair{".state", o.state},
                                      std::pair{".reloaded-render", Bytes(reloaded.render)},
                                      std::pair{".reloaded-state", reloaded.state}})
      WriteFile(out / (name + file), bytes.data(), bytes.size());
  }
}

TEST(CrossPlatform, MatchesTheOtherPlatform) {
  const std::filesystem::path other = Folder("QRV_CROSS_OTHER");
  ASSERT_FALSE(other.empty()) << "QRV_CROSS_OTHER names the folder of the other platform's renders and states";
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    const std::string name = f.name;
    const std::vector<uint8_t> theirState = ReadFile(other / (name + ".state"));
    ASSERT_FALSE(theirState.empty());

    // The same input and settings here.
    const Outcome mine = f.withSettings();
    ASSERT_TRUE(mine.error.empty()) << mine.error;
    Compare((name + " render").c_str(), Bytes(mine.render), ReadFile(other / (name + ".render")));
    EXPECT_EQ(mine.state, theirState) << "the state bytes differ between the platforms";

    // Their state here: it loads, renders as it did there and saves the very same bytes again.
    const Outcome loaded = f.fromState(theirState);
    ASSERT_TRUE(loaded.error.empty()) << loaded.error;
    Compare((name + " render from the other platform's state").c_str(), Bytes(loaded.render),
            ReadFile(other / (name + ".reloaded-render")));
    EXPECT_EQ(loaded.state, ReadFile(other / (name + ".reloaded-state"))) << "their state saved again here differs";
  }
}

}  // namespace
}  // namespace qrv::cross
