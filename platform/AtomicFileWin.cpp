// The file reader and the crash-safe writer on Windows: UTF-16 paths, sharing modes instead of flock,
// ReplaceFileW / MoveFileExW instead of rename.
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <io.h>
#include "platform/WindowsApi.h"

#include <algorithm>
#include <mutex>
#include <random>
#include <string>
#include <system_error>

#include "platform/PathText.h"
#include "platform/WinError.h"

namespace qrv::platform {

int ErrnoFromWindowsError(unsigned long error) {
  switch (error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_INVALID_NAME: return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
  }
}

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a disk file for reading; INVALID_HANDLE_VALUE with why set for anything else.
HANDLE OpenRegularHandle(const std::filesystem::path& path, FileStatus& why) {
  why = FileStatus::CannotOpen;
  if (path.empty()) return INVALID_HANDLE_VALUE;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return INVALID_HANDLE_VALUE;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    why = FileStatus::NotRegularFile;
    return INVALID_HANDLE_VALUE;
  }
  HANDLE h =
      ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  // A device or a pipe ("CON", "\\.\pipe\x") is no file to read whole.
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    why = FileStatus::NotRegularFile;
    return INVALID_HANDLE_VALUE;
  }
  why = FileStatus::Ok;
  return h;
}

bool WriteAll(HANDLE h, const uint8_t* p, std::size_t n) {
  while (n > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(h, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    n -= written;
  }
  return true;
}

// Six characters of [A-Za-z0-9], as mkstemp makes them.
std::string RandomPart() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mutex mutex;
  static std::mt19937 engine{std::random_device{}() ^ ::GetCurrentProcessId() ^ ::GetTickCount()};
  std::lock_guard lock(mutex);
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
  std::string out(6, 'X');
  for (char& c : out) c = kChars[pick(engine)];
  return out;
}

}  // namespace

int OpenRegularFile(const std::filesystem::path& path, FileStatus* status) {
  FileStatus ignored;
  FileStatus& why = status != nullptr ? *status : ignored;
  HANDLE h = OpenRegularHandle(path, why);
  if (h == INVALID_HANDLE_VALUE) return -1;
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    why = FileStatus::CannotOpen;
  }
  return fd;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::size_t maxSize,
                                                  FileStatus* status) {
  FileStatus ignored;
  FileStatus& why = status != nullptr ? *status : ignored;
  HANDLE h = OpenRegularHandle(path, why);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  why = FileStatus::CannotOpen;  // until the whole file is read
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(h, &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > maxSize) {
    ::CloseHandle(h);
    return std::nullopt;
  }
  std::vector<uint8_t> data;
  uint8_t buf[8192];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(h, buf, sizeof buf, &got, nullptr)) {
      ::CloseHandle(h);
      return std::nullopt;
    }
    if (got == 0) break;
    if (data.size() + got > maxSize) {
      ::CloseHandle(h);
      return std::nullopt;
    }
    data.insert(data.end(), buf, buf + got);
  }
  ::CloseHandle(h);
  why = FileStatus::Ok;
  return data;
}

int RemoveStaleTempFiles(const std::filesystem::path& folder, const TempFileName& temp) {
  int removed = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::filesystem::path file = entry.path();
    if (!temp.Matches(Utf8FromPath(file.filename()))) continue;
    // No sharing: this fails while any writer still has the file open.
    HANDLE h = ::CreateFileW(file.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_DISPOSITION_INFO dispose{TRUE};
    if (::GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        ::SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose))
      ++removed;
    ::CloseHandle(h);
  }
  return removed;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         const TempFileName& temp, int* error) {
  int ignored = 0;
  int& why = error != nullptr ? *error : ignored;
  why = 0;
  if (path.empty()) {
    why = ENOENT;
    return false;
  }
  const std::filesystem::path folder = path.parent_path();
  RemoveStaleTempFiles(folder, temp);
  std::filesystem::path tmp;
  HANDLE h = INVALID_HANDLE_VALUE;
  constexpr int kTries = 16;
  for (int i = 0; i < kTries && h == INVALID_HANDLE_VALUE; ++i) {
    tmp = folder / PathFromUtf8(temp.prefix + RandomPart() + temp.suffix);
    // Kept open, sharing everything but a sharing-less open, while it is written: a cleaner opens
    // without sharing, so it can never take a live writer's file away.
    h = ::CreateFileW(tmp.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    why = ErrnoFromWindowsError(::GetLastError());
    return false;
  }
  auto step = [&why](bool ok) {
    if (!ok && why == 0) why = ErrnoFromWindowsError(::GetLastError());
    return ok;
  };
  const std::size_t half = bytes.size() / 2;
  bool ok = step(WriteAll(h, bytes.data(), half));
  if (ok) RunPartialWriteHook(tmp);
  ok = ok && step(WriteAll(h, bytes.data() + half, bytes.size() - half));
  ok = ok && step(::FlushFileBuffers(h) != 0);
  // ReplaceFileW wants the replacement to itself, so the file is closed first; a cleaner that takes it in
  // the moment between makes this write fail, never the target.
  ::CloseHandle(h);
  if (ok) {
    // ReplaceFileW keeps the replaced file's attributes and security. When it fails half-way (the replaced
    // file already moved aside or gone, the new one still under its temporary name), and for a target not
    // there yet, a replacing move that returns only once it is on disk puts the new file in place.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // Only a file is replaced: Wine's ReplaceFileW would put the file in place of a whole folder.
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      ::DeleteFileW(tmp.c_str());
      why = EISDIR;
      return false;
    }
    bool placed = exists && ::ReplaceFileW(path.c_str(), tmp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                           nullptr, nullptr) != 0;
    if (!placed)
      placed = ::MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    ok = step(placed);
  }
  if (!ok) ::DeleteFileW(tmp.c_str());
  return ok;
}

std::size_t MaxFileNameBytes(const std::filesystem::path& folder) {
  DWORD most = 0;
  std::filesystem::path root = folder.root_path();
  if (!root.empty() && ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &most, nullptr, nullptr, 0) &&
      most > 0)
    return most;
  return 255;
}

FileLock::FileLock(const std::filesystem::path& lockFile) {
  HANDLE h = ::CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoFromWindowsError(::GetLastError());
    return;
  }
  OVERLAPPED at{};
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
    errno = ErrnoFromWindowsError(::GetLastError());
    ::CloseHandle(h);
    return;
  }
  fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  if (fd_ < 0) ::CloseHandle(h);
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::_close(fd_);  // closing the handle releases the lock
}

}  // namespace qrv::platform
