#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace qrv::platform {
namespace {

bool WriteAll(int fd, const uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

int OpenRegularFile(const std::filesystem::path& path, FileStatus* status) {
  FileStatus ignored;
  FileStatus& why = status != nullptr ? *status : ignored;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    why = FileStatus::CannotOpen;
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    why = FileStatus::NotRegularFile;
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = FileStatus::CannotOpen;
    return -1;
  }
  const bool looked = ::fstat(fd, &st) == 0;
  if (!looked || !S_ISREG(st.st_mode)) {
    ::close(fd);
    why = looked ? FileStatus::NotRegularFile : FileStatus::CannotOpen;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    why = FileStatus::CannotOpen;
    return -1;
  }
  why = FileStatus::Ok;
  return fd;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::size_t maxSize,
                                                  FileStatus* status) {
  FileStatus ignored;
  FileStatus& why = status != nullptr ? *status : ignored;
  const int fd = OpenRegularFile(path, &why);
  if (fd < 0) return std::nullopt;
  why = FileStatus::CannotOpen;  // until the whole file is read
  struct stat st {};
  if (::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) > maxSize) {
    ::close(fd);
    return std::nullopt;
  }
  std::vector<uint8_t> data;
  uint8_t buf[8192];
  for (;;) {
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (r == 0) break;
    if (data.size() + static_cast<std::size_t>(r) > maxSize) {
      ::close(fd);
      return std::nullopt;
    }
    data.insert(data.end(), buf, buf + r);
  }
  ::close(fd);
  why = FileStatus::Ok;
  return data;
}

namespace {

// Creates the temporary file and takes its lock. A cleaner removes a file only while it holds the lock
// itself, so a file found still linked once the lock is ours can no longer be taken away; one removed
// between its creation and the lock is given up and another made. Where the file system has no locks,
// the file is written unlocked: no cleaner can take a lock there either, so none removes it.
int CreateLockedTempFile(std::string& tmp, const std::string& pattern, int suffixLength) {
  constexpr int kTries = 8;
  for (int i = 0; i < kTries; ++i) {
    tmp = pattern;
    const int fd = ::mkostemps(tmp.data(), suffixLength, O_CLOEXEC);
    if (fd < 0) return -1;
    int rc = 0;
    while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) return fd;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
    ::close(fd);
  }
  errno = EAGAIN;
  return -1;
}

}  // namespace

int RemoveStaleTempFiles(const std::filesystem::path& folder, const TempFileName& temp) {
  int removed = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::filesystem::path file = entry.path();
    if (!temp.Matches(file.filename().native())) continue;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;  // a symbolic link, or not ours to open
    struct stat st {};
    struct stat now {};
    // Only while the lock is held here: a writer that comes after finds its file unlinked and makes another.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(file.c_str(), &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev &&
        ::unlink(file.c_str()) == 0)
      ++removed;
    ::close(fd);
  }
  return removed;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         const TempFileName& temp, int* error) {
  int ignored = 0;
  int& why = error != nullptr ? *error : ignored;
  why = 0;
  RemoveStaleTempFiles(path.parent_path(), temp);
  std::string tmp;
  const int fd = CreateLockedTempFile(tmp, (path.parent_path() / (temp.prefix + "XXXXXX" + temp.suffix)).string(),
                                      static_cast<int>(temp.suffix.size()));
  if (fd < 0) {
    why = errno;
    return false;
  }
  // The first failing step's errno is the one that says why.
  auto step = [&why](bool ok) {
    if (!ok && why == 0) why = errno != 0 ? errno : EIO;
    return ok;
  };
  const std::size_t half = bytes.size() / 2;
  bool ok = step(WriteAll(fd, bytes.data(), half));
  if (ok) RunPartialWriteHook(std::filesystem::path(tmp));
  ok = ok && step(WriteAll(fd, bytes.data() + half, bytes.size() - half));
  ok = ok && step(::fchmod(fd, 0644) == 0);
  ok = ok && step(::fsync(fd) == 0);
  // Renamed while still locked, so that no cleaner takes it for a dead writer's.
  ok = ok && step(::rename(tmp.c_str(), path.c_str()) == 0);
  if (!ok) ::unlink(tmp.c_str());
  // fsync has reported any write error already.
  ::close(fd);
  if (!ok) return false;
  SyncFolder(path.parent_path());
  return true;
}

std::size_t MaxFileNameBytes(const std::filesystem::path& folder) {
  errno = 0;
  const long n = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return n > 0 ? static_cast<std::size_t>(n) : 255;
}

FileLock::FileLock(const std::filesystem::path& lockFile) {
  fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace qrv::platform
