// Whole-file reads and crash-safe whole-file writes. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace qrv::platform {

// Reads a regular file whole; nullopt when it cannot be opened or read, or is larger than maxSize.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                  std::size_t maxSize = 64u << 20);

// Writes to a temporary file in the same folder, fsyncs it, renames it over path and fsyncs the
// folder: readers see the old content or the new, never a partial file. False when nothing was
// replaced (the temporary file is removed again).
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

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
