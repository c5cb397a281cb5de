// The aaxhost command as a user runs it: a real process renders a real file through the module.
#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "dsp/ParameterSet.h"
#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"
#include "presets/IndexTable.h"
#include "tests/aax/AaxTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/WavFile.h"

namespace qrv::aaxtest {
namespace {

int RunAaxHost(const std::string& arguments, std::string* output) {
  const std::string command = "'" AAXHOST_EXE "' " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) *output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<float> ReadWav(const std::string& path, SF_INFO* info) {
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, info);
  if (f == nullptr) return {};
  std::vector<float> data(static_cast<std::size_t>(info->frames * info->channels));
  sf_readf_float(f, data.data(), info->frames);
  sf_close(f);
  return data;
}

TEST(AaxHostCli, RendersAFileAsTheEngineWould) {
  test::TempDir dir;
  const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();
  const auto signal = TestSignal(2, 9000, 44100.0f);
  ASSERT_TRUE(test::WriteWav(in, signal, 44100));
  std::string log;
  ASSERT_EQ(RunAaxHost("render '" + in + "' '" + out + "' --set Compression=0.75 --set 2=0.8 --block 300", &log), 0) << log;
  EXPECT_NE(log.find("\"5: Compression\" = 0.75 (7.50)"), std::string::npos) << log;
  EXPECT_NE(log.find("latency: 0 samples"), std::string::npos) << log;

  SF_INFO info{};
  const std::vector<float> rendered = ReadWav(out, &info);
  ASSERT_EQ(info.channels, 2);
  ASSERT_EQ(info.frames, 9000);
  EXPECT_EQ(info.samplerate, 44100);

  // The engine driven directly with the same values, block by block.
  warmGlowEffect e;
  e.SetSampleRate(44100.0);
  e.Reset();
  e.SetParameter(kMessagePresetStart, 1.0);
  const float values[8] = {1.0f, 0.5f, 0.8f, 0.5f, 0.5f, 0.75f, 0.15f, 0.5f};
  for (unsigned slot : kControlSlots) e.SetParameter(slot, values[slot]);
  e.SetParameter(kMessagePresetStop, 1.0);
  std::vector<std::vector<float>> expected(2, std::vector<float>(9000));
  for (std::size_t at = 0; at < 9000; at += 300) {
    const float* ip[2] = {signal[0].data() + at, signal[1].data() + at};
    float* op[2] = {expected[0].data() + at, expected[1].data() + at};
    const ScopedFlushToZero ftz;
    e.ProcessBlock(ip, op, 300);
  }
  std::size_t differing = 0;
  for (std::size_t i = 0; i < 9000; ++i) {
    for (std::size_t c = 0; c < 2; ++c) differing += rendered[i * 2 + c] != expected[c][i];
  }
  EXPECT_EQ(differing, 0u);
}

// A FLAC whose stream header declares 2^36 - 1 frames holds one second: the host reads it in blocks
// instead of allocating for the declared length, and renders what is there.
TEST(AaxHostCli, AFileDeclaringAHugeLengthRendersWhatItHolds) {
  test::TempDir dir;
  const std::string in = (dir / "in.flac").string(), out = (dir / "out.flac").string();
  {
    const auto signal = TestSignal(2, 44100, 44100.0f);
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = 44100;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < signal[0].size(); ++i) {
      interleaved.push_back(signal[0][i] * 0.5f);
      interleaved.push_back(signal[1][i] * 0.5f);
    }
    sf_writef_float(f, interleaved.data(), 44100);
    sf_close(f);
  }
  std::fstream file(in, std::ios::in | std::ios::out | std::ios::binary);
  // STREAMINFO follows "fLaC" and its block header; the 36-bit total frame count starts in the low
  // nibble of its byte 13.
  file.seekg(8 + 13);
  const int nibbleByte = file.get();
  file.seekp(8 + 13);
  file.put(static_cast<char>(nibbleByte | 0x0f));
  for (int k = 0; k < 4; ++k) file.put(static_cast<char>(0xff));
  file.close();
  SF_INFO declared{};
  SNDFILE* check = sf_open(in.c_str(), SFM_READ, &declared);
  ASSERT_NE(check, nullptr);
  sf_close(check);
  ASSERT_EQ(declared.frames, (int64_t{1} << 36) - 1);

  std::string log;
  ASSERT_EQ(RunAaxHost("render '" + in + "' '" + out + "'", &log), 0) << log;
  EXPECT_NE(log.find("rendered 44100 frames"), std::string::npos) << log;
  SF_INFO info{};
  EXPECT_EQ(ReadWav(out, &info).size(), 2u * 44100u);
}

TEST(AaxHostCli, RefusesWhatItCannotDo) {
  test::TempDir dir;
  const std::string in = (dir / "in.wav").string();
  ASSERT_TRUE(test::WriteWav(in, TestSignal(1, 100, 48000.0f), 48000));
  std::string log;
  EXPECT_EQ(RunAaxHost("render '" + in + "' '" + (dir / "o.wav").string() + "' --set Nothing=0.5", &log), 2);
  EXPECT_NE(log.find("cannot set \"Nothing\""), std::string::npos) << log;
  EXPECT_EQ(RunAaxHost("render '" + in + "' '" + (dir / "o.wav").string() + "' --set 5=1.5", &log), 2);
  // Files it cannot render are the user's to fix, as in warmglow: status 2.
  EXPECT_EQ(RunAaxHost("render '" + (dir / "missing.wav").string() + "' x.wav", &log), 2);
  const std::string three = (dir / "three.wav").string();
  ASSERT_TRUE(test::WriteWav(three, TestSignal(3, 100, 48000.0f), 48000));
  log.clear();
  EXPECT_EQ(RunAaxHost("render '" + three + "' '" + (dir / "o.wav").string() + "'", &log), 2);
  EXPECT_NE(log.find("only mono and stereo"), std::string::npos) << log;
  EXPECT_FALSE(std::filesystem::exists(dir / "o.wav"));
  // A header claiming audio the file does not hold.
  std::string bytes;
  {
    std::ifstream whole(in, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(whole), {});
  }
  std::ofstream((dir / "empty.wav").string(), std::ios::binary) << bytes.substr(0, bytes.find("data") + 8);
  log.clear();
  EXPECT_EQ(RunAaxHost("render '" + (dir / "empty.wav").string() + "' '" + (dir / "o.wav").string() + "'", &log), 2);
  EXPECT_NE(log.find("holds no audio"), std::string::npos) << log;
  EXPECT_FALSE(std::filesystem::exists(dir / "o.wav"));
  EXPECT_EQ(RunAaxHost("render '" + in + "' '" + (dir / "o.wav").string() + "' --bundle '" + dir.path().string() + "'", &log), 1);
  EXPECT_NE(log.find("no module binary"), std::string::npos) << log;
  EXPECT_EQ(RunAaxHost("frobnicate", &log), 2);

  log.clear();
  ASSERT_EQ(RunAaxHost("describe", &log), 0);
  EXPECT_NE(log.find("effect com.quarrytone.aax.warmglow"), std::string::npos);
  EXPECT_NE(log.find("\"6: Output\" = 0.15 (4.50)"), std::string::npos);
  EXPECT_NE(log.find("field 24: private data"), std::string::npos);
}

}  // namespace
}  // namespace qrv::aaxtest
