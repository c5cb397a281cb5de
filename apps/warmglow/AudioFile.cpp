#include "apps/warmglow/AudioFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "apps/warmglow/Cli.h"

namespace qrv::cli {
namespace {

SNDFILE* Sf(void* p) { return static_cast<SNDFILE*>(p); }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Width of the integers behind a subtype; 0 for float, double and lossy codecs, which go through
// libsndfile's own float conversion.
int IntegerBits(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
      return 0;
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_DPCM_8:
      return 8;
    case SF_FORMAT_DWVW_12:
      return 12;
    case SF_FORMAT_ALAC_20:
      return 20;
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_DWVW_24:
    case SF_FORMAT_ALAC_24:
      return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ALAC_32:
      return 32;
    default:
      return 16;  // 16-bit PCM and the codecs that decode to 16-bit words (u-law, A-law, ADPCM, ...)
  }
}

// libsndfile hands integers left-justified in 32 bits; 2^-31 maps them onto -1..1 exactly for up to
// 24 significant bits.
constexpr float kIntToFloat = 1.0f / 2147483648.0f;

}  // namespace

// ---------------------------------------------------------------------------------------------------

TempOutput::TempOutput(const std::string& target) : target_(target) {
  const std::filesystem::path t(target);
  if (t.filename().empty()) throw CliError("cannot write " + Quoted(target) + ": not a file name");
  const std::filesystem::path folder = t.parent_path().empty() ? std::filesystem::path(".") : t.parent_path();
  std::string pattern = (folder / ("." + t.filename().string() + ".XXXXXX.part")).string();
  fd_ = mkstemps(pattern.data(), 5);
  if (fd_ < 0) throw CliError("cannot write " + Quoted(target) + ": " + std::strerror(errno));
  path_ = pattern;
  // mkstemp makes the file private; give the result the permissions a plain new file would get.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
}

TempOutput::~TempOutput() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !path_.empty()) unlink(path_.c_str());
}

void TempOutput::Commit() {
  int error = 0;
  if (fsync(fd_) != 0 && errno != EINVAL) error = errno;
  if (close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && std::rename(path_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) throw CliError("cannot write " + Quoted(target_) + ": " + std::strerror(error));
  committed_ = true;
}

// ---------------------------------------------------------------------------------------------------

AudioReader::AudioReader(const std::string& path) : path_(path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw CliError("cannot read " + Quoted(path) + ": is a folder");
  SF_INFO info{};
  file_ = sf_open(path.c_str(), SFM_READ, &info);
  if (file_ == nullptr) {
    const std::string why = access(path.c_str(), R_OK) != 0 ? std::string(std::strerror(errno)) : sf_strerror(nullptr);
    throw CliError("cannot read " + Quoted(path) + ": " + why);
  }
  if (info.channels < 1 || info.samplerate < 1) {
    sf_close(Sf(file_));
    file_ = nullptr;
    throw CliError("cannot read " + Quoted(path) + ": no audio channels");
  }
  format_ = {info.samplerate, info.channels, info.format};
  frames_ = info.frames;
  bits_ = IntegerBits(info.format);
  if (bits_ == 0) sf_command(Sf(file_), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
}

AudioReader::~AudioReader() {
  if (file_ != nullptr) sf_close(Sf(file_));
}

int64_t AudioReader::Read(float* interleaved, int64_t frames) {
  if (frames <= 0) return 0;
  sf_count_t got = 0;
  if (bits_ == 0) {
    got = sf_readf_float(Sf(file_), interleaved, frames);
  } else {
    const std::size_t n = static_cast<std::size_t>(frames) * static_cast<std::size_t>(format_.channels);
    if (scratch_.size() < n) scratch_.resize(n);
    got = sf_readf_int(Sf(file_), scratch_.data(), frames);
    const std::size_t m = static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) * static_cast<std::size_t>(format_.channels);
    for (std::size_t i = 0; i < m; ++i) interleaved[i] = static_cast<float>(scratch_[i]) * kIntToFloat;
  }
  if (got < 0 || (got < frames && sf_error(Sf(file_)) != SF_ERR_NO_ERROR)) {
    throw CliError("cannot read " + Quoted(path_) + ": " + sf_strerror(Sf(file_)));
  }
  return got;
}

// ---------------------------------------------------------------------------------------------------

AudioWriter::AudioWriter(const std::string& path, const AudioFormat& format) : temp_(path), format_(format) {
  SF_INFO info{};
  info.samplerate = format.sampleRate;
  info.channels = format.channels;
  info.format = format.format;
  if (!sf_format_check(&info)) {
    throw CliError("cannot write " + Quoted(path) + ": libsndfile cannot write " + DescribeFormat(format.format));
  }
  file_ = sf_open_fd(temp_.fd(), SFM_WRITE, &info, SF_FALSE);
  if (file_ == nullptr) throw CliError("cannot write " + Quoted(path) + ": " + sf_strerror(nullptr));
  bits_ = IntegerBits(format.format);
  // The PEAK chunk of float files carries the time of writing; without it the same render gives the
  // same bytes.
  sf_command(Sf(file_), SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  if (bits_ == 0) {
    sf_command(Sf(file_), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    sf_command(Sf(file_), SFC_SET_CLIPPING, nullptr, SF_TRUE);
  }
}

AudioWriter::~AudioWriter() { Close(); }

void AudioWriter::Close() {
  if (file_ != nullptr) {
    sf_close(Sf(file_));
    file_ = nullptr;
  }
}

void AudioWriter::Write(const float* interleaved, int64_t frames) {
  if (frames <= 0) return;
  sf_count_t put = 0;
  if (bits_ == 0) {
    put = sf_writef_float(Sf(file_), interleaved, frames);
  } else {
    const std::size_t n = static_cast<std::size_t>(frames) * static_cast<std::size_t>(format_.channels);
    if (scratch_.size() < n) scratch_.resize(n);
    const double scale = std::ldexp(1.0, bits_ - 1);
    const double top = scale - 1.0;
    const double shift = std::ldexp(1.0, 32 - bits_);
    for (std::size_t i = 0; i < n; ++i) {
      const double x = static_cast<double>(interleaved[i]);
      double q = std::isnan(x) ? 0.0 : std::nearbyint(x * scale);
      if (q > top || q < -scale) {
        q = std::clamp(q, -scale, top);
        ++clipped_;
      }
      scratch_[i] = static_cast<int32_t>(q * shift);
    }
    put = sf_writef_int(Sf(file_), scratch_.data(), frames);
  }
  if (put != frames) throw CliError("cannot write " + Quoted(temp_.target()) + ": " + sf_strerror(Sf(file_)));
}

void AudioWriter::Commit() {
  const int error = sf_error(Sf(file_));
  if (sf_close(Sf(file_)) != 0 || error != SF_ERR_NO_ERROR) {
    file_ = nullptr;
    throw CliError("cannot write " + Quoted(temp_.target()) + ": " + sf_error_number(error));
  }
  file_ = nullptr;
  temp_.Commit();
}

// ---------------------------------------------------------------------------------------------------

AudioData ReadAudioFile(const std::string& path) {
  AudioReader reader(path);
  AudioData data;
  data.format = reader.format();
  const int64_t block = 65536;
  std::vector<float> buffer(static_cast<std::size_t>(block * data.format.channels));
  for (;;) {
    const int64_t got = reader.Read(buffer.data(), block);
    if (got <= 0) break;
    data.samples.insert(data.samples.end(), buffer.begin(), buffer.begin() + got * data.format.channels);
  }
  return data;
}

void WriteAudioFile(const std::string& path, const AudioData& data) {
  AudioWriter writer(path, data.format);
  writer.Write(data.samples.data(), data.frames());
  writer.Commit();
}

int WavFormatCode(bool floatSamples) {
  return SF_FORMAT_WAV | (floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
}

std::string DescribeFormat(int format) {
  SF_FORMAT_INFO major{};
  major.format = format & SF_FORMAT_TYPEMASK;
  SF_FORMAT_INFO sub{};
  sub.format = format & SF_FORMAT_SUBMASK;
  const bool haveMajor = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0;
  const bool haveSub = sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub) == 0;
  return (haveMajor ? std::string(major.name) : "unknown container") + ", " +
         (haveSub ? std::string(sub.name) : "unknown encoding");
}

}  // namespace qrv::cli
