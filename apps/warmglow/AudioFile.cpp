#include "apps/warmglow/AudioFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "apps/warmglow/Cli.h"
#include "platform/AtomicFile.h"

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

// Bytes of one sample where the encoding stores every sample in the same width; 0 for the others.
int SampleBytes(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
      return 1;
    case SF_FORMAT_PCM_16:
      return 2;
    case SF_FORMAT_PCM_24:
      return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
      return 4;
    case SF_FORMAT_DOUBLE:
      return 8;
    default:
      return 0;
  }
}

// Bytes of audio a header claims beyond the end of the file. libsndfile trims such a chunk to what is
// there and notes it in its log as "<chunk> : <claimed> (should be <present>)"; only the audio
// chunks count (WAV "data", AIFF "SSND", AU "Data Size"), not the outer container.
int64_t MissingAudioBytes(SNDFILE* file) {
  char log[8192] = {};
  sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
  std::string_view text(log);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::size_t colon = line.find(':');
    const std::size_t should = line.find("(should be ");
    if (colon == std::string_view::npos || should == std::string_view::npos || should < colon) continue;
    std::string_view label = line.substr(0, colon);
    while (!label.empty() && label.front() == ' ') label.remove_prefix(1);
    while (!label.empty() && label.back() == ' ') label.remove_suffix(1);
    if (label != "data" && label != "SSND" && label != "Data Size") continue;
    const std::string claimed(line.substr(colon + 1, should - colon - 1));
    const std::string present(line.substr(should + 11));
    const long long c = std::strtoll(claimed.c_str(), nullptr, 10);
    const long long p = std::strtoll(present.c_str(), nullptr, 10);
    if (c > p && p >= 0) return c - p;
  }
  return 0;
}

// Temporary outputs: ".<target name>.warmglow-<host>-<pid>-<6 random characters>.part", and ".prev"
// for a target's previous content kept during CommitTogether.
constexpr std::string_view kTempTag = ".warmglow-";
constexpr std::string_view kTempSuffix = ".part";
constexpr std::string_view kPreviousSuffix = ".prev";
constexpr std::size_t kTempRandom = 6;

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string host(name);
  std::replace(host.begin(), host.end(), '/', '_');
  return host;
}

// The process that wrote the temporary output `name` on `host`; 0 when the name is not one.
pid_t TempOwner(std::string_view name, std::string_view host) {
  if (name.ends_with(kTempSuffix)) {
    name.remove_suffix(kTempSuffix.size());
  } else if (name.ends_with(kPreviousSuffix)) {
    name.remove_suffix(kPreviousSuffix.size());
  } else {
    return 0;
  }
  if (name.size() < kTempRandom + 1) return 0;
  for (char c : name.substr(name.size() - kTempRandom)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return 0;
  }
  name.remove_suffix(kTempRandom);
  if (!name.ends_with('-')) return 0;
  name.remove_suffix(1);
  const std::size_t dash = name.rfind('-');
  if (dash == std::string_view::npos) return 0;
  const std::string_view digits = name.substr(dash + 1);
  pid_t pid = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
  if (ec != std::errc() || end != digits.data() + digits.size() || pid <= 0) return 0;
  name.remove_suffix(digits.size() + 1);
  if (!name.ends_with(host)) return 0;
  name.remove_suffix(host.size());
  if (!name.ends_with(kTempTag)) return 0;
  name.remove_suffix(kTempTag.size());
  return name.size() >= 2 && name.front() == '.' ? pid : 0;
}

// Removes the temporary outputs in `folder` that processes of this host left when they died. A live
// process's files stay, and so does anything whose owner cannot be told (kill answers EPERM for a
// live process of another user).
void RemoveDeadLeftovers(const std::filesystem::path& folder, const std::string& host) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const pid_t pid = TempOwner(it->path().filename().string(), host);
    if (pid <= 0 || pid == getpid()) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;
    std::error_code se;
    if (it->symlink_status(se).type() == std::filesystem::file_type::regular) unlink(it->path().c_str());
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------

TempOutput::TempOutput(const std::string& target) : target_(target) {
  const std::filesystem::path t(target);
  if (t.filename().empty()) throw CliError("cannot write " + Quoted(target) + ": not a file name");
  std::error_code ec;
  if (std::filesystem::is_directory(t, ec)) throw CliError("cannot write " + Quoted(target) + ": is a folder");
  const std::filesystem::path folder = t.parent_path().empty() ? std::filesystem::path(".") : t.parent_path();
  const std::string host = HostName();
  RemoveDeadLeftovers(folder, host);
  std::string pattern = (folder / ("." + t.filename().string() + std::string(kTempTag) + host + "-" +
                                   std::to_string(getpid()) + "-XXXXXX" + std::string(kTempSuffix)))
                            .string();
  fd_ = mkostemps(pattern.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
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

void TempOutput::Finish() {
  if (fd_ < 0) return;
  int error = 0;
  if (fsync(fd_) != 0 && errno != EINVAL) error = errno;
  if (close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error != 0) throw CliError("cannot write " + Quoted(target_) + ": " + std::strerror(error));
}

void TempOutput::Commit() {
  TempOutput* self = this;
  CommitTogether({&self, 1});
}

void CommitTogether(std::span<TempOutput* const> outputs) {
  for (TempOutput* o : outputs) o->Finish();
  // A replaced target's previous content stays reachable through a hard link (".prev", named after
  // the temporary file) until every rename is done.
  struct Replaced {
    const TempOutput* output;
    std::string previous;  // empty: there was none, or it could not be kept
    bool existed;
  };
  std::vector<Replaced> replaced;
  for (TempOutput* o : outputs) {
    struct stat st {};
    const bool existed = lstat(o->target_.c_str(), &st) == 0;
    std::string previous = o->path_.substr(0, o->path_.size() - kTempSuffix.size()) + std::string(kPreviousSuffix);
    if (!existed || link(o->target_.c_str(), previous.c_str()) != 0) previous.clear();
    if (std::rename(o->path_.c_str(), o->target_.c_str()) != 0) {
      const int error = errno;
      if (!previous.empty()) unlink(previous.c_str());
      for (auto r = replaced.rbegin(); r != replaced.rend(); ++r) {
        if (!r->previous.empty()) {
          std::rename(r->previous.c_str(), r->output->target_.c_str());
        } else if (!r->existed) {
          unlink(r->output->target_.c_str());
        }
      }
      throw CliError("cannot write " + Quoted(o->target_) + ": " + std::strerror(error));
    }
    o->committed_ = true;
    replaced.push_back({o, std::move(previous), existed});
  }
  for (const Replaced& r : replaced) {
    if (!r.previous.empty()) unlink(r.previous.c_str());
  }
}

// ---------------------------------------------------------------------------------------------------

AudioReader::AudioReader(const std::string& path) : path_(path) {
  // Only a regular file, and opened without waiting, so that a FIFO cannot hold the command.
  platform::FileStatus status = platform::FileStatus::Ok;
  fd_ = platform::OpenRegularFile(path, &status);
  if (fd_ < 0) {
    std::error_code ec;
    const std::string why = status == platform::FileStatus::NotRegularFile
                                ? (std::filesystem::is_directory(path, ec) ? "is a folder" : "not a regular file")
                                : std::strerror(errno);
    throw CliError("cannot read " + Quoted(path) + ": " + why);
  }
  // The destructor does not run for a constructor that throws.
  auto fail = [&](const std::string& why) {
    if (file_ != nullptr) sf_close(Sf(file_));
    close(fd_);
    throw CliError("cannot read " + Quoted(path) + ": " + why);
  };
  SF_INFO info{};
  file_ = sf_open_fd(fd_, SFM_READ, &info, SF_FALSE);
  if (file_ == nullptr) fail(sf_strerror(nullptr));
  if (info.channels < 1 || info.samplerate < 1) fail("no audio channels");
  format_ = {info.samplerate, info.channels, info.format};
  frames_ = info.frames;
  claimed_ = frames_;
  if (const int bytes = SampleBytes(info.format); bytes > 0 && frames_ >= 0) {
    claimed_ += MissingAudioBytes(Sf(file_)) / (static_cast<int64_t>(bytes) * info.channels);
  }
  bits_ = IntegerBits(info.format);
  if (bits_ == 0) sf_command(Sf(file_), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
}

AudioReader::~AudioReader() {
  if (file_ != nullptr) sf_close(Sf(file_));
  if (fd_ >= 0) close(fd_);
}

int64_t AudioReader::Read(float* interleaved, int64_t frames) {
  if (frames <= 0 || !stopReason_.empty()) return 0;
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
    const std::string why = sf_strerror(Sf(file_));
    if (read_ + std::max<sf_count_t>(got, 0) == 0) throw CliError("cannot read " + Quoted(path_) + ": " + why);
    stopReason_ = why;
    got = std::max<sf_count_t>(got, 0);
  }
  read_ += got;
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

void AudioWriter::Finish() {
  if (file_ == nullptr) return;
  const int error = sf_error(Sf(file_));
  const int closed = sf_close(Sf(file_));
  file_ = nullptr;
  if (closed != 0 || error != SF_ERR_NO_ERROR) {
    throw CliError("cannot write " + Quoted(temp_.target()) + ": " + sf_error_number(error));
  }
  temp_.Finish();
}

void AudioWriter::Commit() {
  Finish();
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

namespace {

// Names libsndfile's own table does not give (it lists one extension per container).
constexpr std::pair<std::string_view, int> kContainerAliases[] = {
    {"wav", SF_FORMAT_WAV},   {"aif", SF_FORMAT_AIFF},  {"aifc", SF_FORMAT_AIFF}, {"ogg", SF_FORMAT_OGG},
    {"opus", SF_FORMAT_OGG},  {"snd", SF_FORMAT_AU},    {"mp3", SF_FORMAT_MPEG},  {"wavex", SF_FORMAT_WAVEX},
};

// The container an extension names (lower case, without the dot); 0 for none.
int ContainerOf(const std::string& extension) {
  for (const auto& [name, format] : kContainerAliases) {
    if (name == extension) return format;
  }
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.extension != nullptr &&
        extension == info.extension) {
      return info.format;
    }
  }
  return 0;
}

// Sample formats to try for an input's, nearest first; every subtype follows as a last resort, so a
// container that holds only its own codec (Ogg: Vorbis) still finds one.
std::vector<int> SubtypesNearest(int input) {
  std::vector<int> order = {input};
  switch (input) {
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
      order.insert(order.end(),
                   {SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE, SF_FORMAT_PCM_32, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16});
      break;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ALAC_32:
      order.insert(order.end(),
                   {SF_FORMAT_PCM_32, SF_FORMAT_ALAC_32, SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16});
      break;
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_ALAC_24:
    case SF_FORMAT_ALAC_20:
    case SF_FORMAT_DWVW_24:
      order.insert(order.end(),
                   {SF_FORMAT_PCM_24, SF_FORMAT_ALAC_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT, SF_FORMAT_PCM_16});
      break;
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      order.insert(order.end(),
                   {SF_FORMAT_PCM_S8, SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_FLOAT});
      break;
    default:  // 16-bit PCM, and codecs that decode to about as much
      order.insert(order.end(),
                   {SF_FORMAT_PCM_16, SF_FORMAT_ALAC_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT});
      break;
  }
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof info) == 0) order.push_back(info.format);
  }
  return order;
}

}  // namespace

bool NamesAudioContainer(std::string extension) {
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const int container = ContainerOf(extension);
  return container != 0 && container != SF_FORMAT_RAW;
}

int OutputFormat(const std::string& path, const AudioFormat& input) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (extension.size() <= 1) return input.format;
  extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const int container = ContainerOf(extension);
  // Opus lives in Ogg; a ".opus" name asks for it rather than Vorbis.
  const bool opus = extension == "opus";
  if (!NamesAudioContainer(extension)) {
    throw CliError("cannot write " + Quoted(path) + ": '." + extension +
                   "' names no audio container that can be written (wav, flac, ogg, aiff, caf, w64, rf64, au, ...)");
  }
  SF_INFO info{};
  info.samplerate = input.sampleRate;
  info.channels = input.channels;
  for (int subtype : opus ? std::vector<int>{SF_FORMAT_OPUS} : SubtypesNearest(input.format & SF_FORMAT_SUBMASK)) {
    info.format = container | subtype;
    if (sf_format_check(&info)) return info.format;
  }
  throw CliError("cannot write " + Quoted(path) + ": no '." + extension + "' file holds " +
                 std::to_string(input.channels) + " channel(s) at " + std::to_string(input.sampleRate) + " Hz");
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
