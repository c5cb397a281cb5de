// 32-bit float WAV files as planar channels, through libsndfile. Header-only so that only the suites
// that read or write audio files link libsndfile.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <vector>

namespace qrv::test {

// The file's channels, each as long as the frames read; empty when it cannot be opened.
inline std::vector<std::vector<float>> ReadWav(const std::filesystem::path& path, unsigned* rate = nullptr) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return {};
  std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  const auto channels = static_cast<std::size_t>(info.channels);
  std::vector<std::vector<float>> planar(channels,
                                         std::vector<float>(static_cast<std::size_t>(std::max<sf_count_t>(got, 0))));
  for (std::size_t i = 0; i < planar[0].size(); ++i) {
    for (std::size_t ch = 0; ch < channels; ++ch) planar[ch][i] = interleaved[i * channels + ch];
  }
  if (rate != nullptr) *rate = static_cast<unsigned>(info.samplerate);
  return planar;
}

// False when the file cannot be created or not every frame was written.
inline bool WriteWav(const std::filesystem::path& path, const std::vector<std::vector<float>>& channels,
                     unsigned rate) {
  if (channels.empty()) return false;
  SF_INFO info{};
  info.samplerate = static_cast<int>(rate);
  info.channels = static_cast<int>(channels.size());
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const std::size_t frames = channels[0].size();
  std::vector<float> interleaved(frames * channels.size());
  for (std::size_t i = 0; i < frames; ++i) {
    for (std::size_t ch = 0; ch < channels.size(); ++ch) interleaved[i * channels.size() + ch] = channels[ch][i];
  }
  const bool complete = sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames)) ==
                        static_cast<sf_count_t>(frames);
  sf_close(file);
  return complete;
}

}  // namespace qrv::test
