// Writes test signals as 32-bit float WAV files, for the tests that run aaxhost on files.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace qrv::aaxtest {

inline bool WriteWav(const std::string& path, const std::vector<std::vector<float>>& channels, int rate) {
  SF_INFO info{};
  info.channels = static_cast<int>(channels.size());
  info.samplerate = rate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return false;
  std::vector<float> interleaved(channels[0].size() * channels.size());
  for (std::size_t i = 0; i < channels[0].size(); ++i) {
    for (std::size_t c = 0; c < channels.size(); ++c) interleaved[i * channels.size() + c] = channels[c][i];
  }
  sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(channels[0].size()));
  sf_close(f);
  return true;
}

}  // namespace qrv::aaxtest
