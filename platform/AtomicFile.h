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
// between). Returns the descriptor (blocking, close-on-exec; the caller closes it) or -1. On Windows a C
// runtime descriptor of a disk file opened for reading with every sharing mode, so that writers can
// still replace the file.
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
// folder: readers see the old content or the new, never a partial file. On Windows the temporary file is
// flushed (FlushFileBuffers) and put in place with ReplaceFileW when path exists, else MoveFileExW with
// write-through. False when nothing was
// replaced (the temporary file is removed again). The temporary file is named by temp, by default
// ".", the target's name, a dot, six characters and ".tmp". The writer holds an exclusive flock on its
// temporary file until it is renamed (on Windows: keeps it open while it writes, which no cleaner can then
// take away), and first removes the stale temporary files of temp's pattern in
// the folder (RemoveStaleTempFiles), so that a writer killed half-way leaves nothing behind for long.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// error, when given, receives the errno of the step that failed (0 on success; Windows' error codes are
// given as the nearest errno).
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         const TempFileName& temp, int* error = nullptr);

// Called by a writer once half of the bytes are in its temporary file, with that file's path; nullptr
// (the default) calls nothing. Tests stop a writer there to kill it half-way. Set it before writers run.
using PartialWriteHook = void (*)(const std::filesystem::path& tempFile);
void SetPartialWriteHook(PartialWriteHook hook);
void RunPartialWriteHook(const std::filesystem::path& tempFile);

// Removes the files in folder whose names temp's pattern produces and that no writer holds: a writer
// keeps its temporary file flocked until it renames it, and the lock dies with its process. Anything
// else (other names, folders, symbolic links, a file a live writer holds) stays. The number removed.
// On Windows a file a live writer holds is one still open: it is removed only when it can be opened
// without sharing.
int RemoveStaleTempFiles(const std::filesystem::path& folder, const TempFileName& temp);

// The longest file name in bytes that folder's file system takes (pathconf), 255 when it cannot tell. On
// Windows the longest in UTF-16 units (the size of a path's native name there).
std::size_t MaxFileNameBytes(const std::filesystem::path& folder);

// An exclusive advisory lock (flock; on Windows LockFileEx) on a lock file, held for the object's lifetime.
// The lock file is created when missing and never replaced, so every process locks the same inode.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;  // on Windows a C runtime descriptor over the lock file's handle
};

}  // namespace qrv::platform
