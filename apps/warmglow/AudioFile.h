// Audio files through libsndfile, and outputs that appear only when complete: every file is written
// to a temporary sibling and renamed over the target at the end. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qrv::cli {

struct AudioFormat {
  int sampleRate = 44100;
  int channels = 2;
  int format = 0;  // libsndfile major format | subtype
};

// A file written beside its target and renamed over it by Commit; removed again when destroyed
// uncommitted, so a failure never leaves a half-written target (an existing target stays untouched).
// Its hidden name ".<target name>.warmglow-<host>-<pid>-<6 characters>.part" says which process wrote
// it: creating one first removes the leftovers of processes of this host that died (killed renders),
// and nothing else.
class TempOutput {
 public:
  // Throws CliError when the target is a folder or its folder cannot take the file.
  explicit TempOutput(const std::string& target);
  ~TempOutput();
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  const std::string& target() const { return target_; }
  // Flushes and closes the file. Throws CliError on failure.
  void Finish();
  // Finish, then rename onto the target. Throws CliError on failure (the temp is removed).
  void Commit();

 private:
  friend void CommitTogether(std::span<TempOutput* const> outputs);
  std::string target_;
  std::string path_;
  int fd_ = -1;
  bool committed_ = false;
};

// Commits several outputs as one: every target is replaced, or none is. When a rename fails, the
// targets replaced before it get their previous content back (or are removed again when they did not
// exist) and CliError is thrown.
void CommitTogether(std::span<TempOutput* const> outputs);

// Reads interleaved float samples scaled to -1..1. Integer formats are scaled by a power of two, so
// that writing the same samples back in the same format reproduces the file's samples exactly.
class AudioReader {
 public:
  // Throws CliError for a missing or unreadable file, and for anything but a regular file (a FIFO
  // would block the open).
  explicit AudioReader(const std::string& path);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  const AudioFormat& format() const { return format_; }
  // Frame count announced by the file; may be unknown (negative).
  int64_t frames() const { return frames_; }
  // The frame count the header claims, where it claims more than the file holds (a cut file); else
  // frames().
  int64_t claimedFrames() const { return claimed_; }
  // Reads up to `frames` frames into `interleaved`; returns the count read, 0 at the end. A decoding
  // error after some audio ends the audio there (a cut file) and is kept in stopReason(); an error
  // before any audio throws CliError.
  int64_t Read(float* interleaved, int64_t frames);
  // Why the audio ended before the claimed length, when the decoder said so; else empty.
  const std::string& stopReason() const { return stopReason_; }

 private:
  std::string path_;
  int fd_ = -1;
  void* file_ = nullptr;
  AudioFormat format_;
  int64_t frames_ = 0;
  int bits_ = 0;  // integer sample width, 0 for the float path
  int64_t claimed_ = 0;
  int64_t read_ = 0;
  std::string stopReason_;
  std::vector<int32_t> scratch_;
};

class AudioWriter {
 public:
  // Creates the temporary file for `path` in `format`; throws CliError when libsndfile cannot
  // write that format or the folder is not writable.
  AudioWriter(const std::string& path, const AudioFormat& format);
  ~AudioWriter();
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  // Writes interleaved frames; integer formats round and clip to their range. Throws CliError.
  void Write(const float* interleaved, int64_t frames);
  // Samples that had to be clipped to the integer range so far.
  int64_t clipped() const { return clipped_; }
  // Finishes the file; the output is then ready to be committed.
  void Finish();
  // Finishes the file and renames it over the target.
  void Commit();
  TempOutput& output() { return temp_; }

 private:
  void Close();
  TempOutput temp_;
  void* file_ = nullptr;
  AudioFormat format_;
  int bits_ = 0;
  int64_t clipped_ = 0;
  std::vector<int32_t> scratch_;
};

// Whole-file helpers for small files (tests, the demo programme).
struct AudioData {
  AudioFormat format;
  std::vector<float> samples;  // interleaved
  int64_t frames() const { return format.channels ? static_cast<int64_t>(samples.size()) / format.channels : 0; }
};
AudioData ReadAudioFile(const std::string& path);
void WriteAudioFile(const std::string& path, const AudioData& data);

// The libsndfile format an output named `path` is written in: the container its extension names (wav,
// flac, ogg, aiff, caf, w64, rf64, au, ... in any case), holding the input's sample format where that
// container can, else the nearest it holds (float stays float, 24-bit stays 24-bit); the input's own
// format when the name has no extension. Throws CliError for an extension that names no container
// libsndfile writes, or a container that cannot take the input's rate and channels.
int OutputFormat(const std::string& path, const AudioFormat& input);
// Whether an extension (without the dot, any case) names a container OutputFormat writes.
bool NamesAudioContainer(std::string extension);

// The libsndfile format code of a WAV file with 16-bit PCM or 32-bit float samples.
int WavFormatCode(bool floatSamples);

// "WAV, 16-bit PCM"-like description of a libsndfile format.
std::string DescribeFormat(int format);

}  // namespace qrv::cli
