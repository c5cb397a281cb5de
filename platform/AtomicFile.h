// Whole-file reads and crash-safe whole-file writes. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qrv::platform {

enum class FileStatus : uint8_t {
  Ok,
  CannotOpen,      // missing, not permitted, unreadable or too large
  NotRegularFile,  // a FIFO, socket, device or folder
};

// Opens path read-only, but only when it names a regular file (symbolic links followed). Nothing here
// waits: a FIFO with no writer would block a plain open for good, so the file is looked at before it is
// opened, opened non-blocking and looked at again through the descriptor (it may have been swapped in
// between). Returns the descriptor (blocking, close-on-exec; the caller closes it) or -1.
int OpenRegularFile(const std::filesystem::path& path, FileStatus* status = nullptr);

// Reads a regular file whole (opened as OpenRegularFile does); nullopt when it cannot be opened or read,
// or is larger than maxSize. status, when given, says why.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                  std::size_t maxSize = 64u << 20, FileStatus* status = nullptr);

// The names a writer gives its temporary files beside the target: prefix, six characters of [A-Za-z0-9]
// chosen by mkstemp, suffix.
struct TempFileName {
  std::string prefix;
  std::string suffix;
  // True for a name this pattern can produce.
  bool Matches(std::string_view name) const;
};

// Writes to a temporary file in the same folder, fsyncs it, renames it over path and fsyncs the
// folder: readers see the old content or the new, never a partial file. False when nothing was
// replaced (the temporary file is removed again). The temporary file is named by temp, by default
// ".", the target's name, a dot, six characters and ".tmp". The writer holds an exclusive flock on its
// temporary file until it is renamed, and first removes the stale temporary files of temp's pattern in
// the folder (RemoveStaleTempFiles), so that a writer killed half-way leaves nothing behind for long.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// error, when given, receives the errno of the step that failed (0 on success).
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         const TempFileName& temp, int* error = nullptr);

// Removes the files in folder whose names temp's pattern produces and that no writer holds: a writer
// keeps its temporary file flocked until it renames it, and the lock dies with its process. Anything
// else (other names, folders, symbolic links, a file a live writer holds) stays. The number removed.
int RemoveStaleTempFiles(const std::filesystem::path& folder, const TempFileName& temp);

// The longest file name in bytes that folder's file system takes (pathconf), 255 when it cannot tell.
std::size_t MaxFileNameBytes(const std::filesystem::path& folder);

// An exclusive advisory lock (flock) on a lock file, held for the object's lifetime. The lock file is
// created when missing and never replaced, so every process locks the same inode.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace qrv::platform
