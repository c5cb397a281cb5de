// The ".reg" file store: the Linux stand-in for the registry.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/Registry.h"

namespace qrv::platform {

std::filesystem::path DefaultRegistryFile() {
  const std::filesystem::path folder = ConfigFolder();
  return folder.empty() ? folder : folder / "settings.reg";
}

// Hidden and named apart from anything a user would call a copy of the file, since the clean-up after a
// dead writer removes every file of this pattern.
TempFileName RegistryTempFileName(const std::filesystem::path& file) {
  return {"." + file.filename().string() + ".writing-", ".tmp"};
}

FileRegistry::FileRegistry(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path FileRegistry::File() const { return file_.empty() ? DefaultRegistryFile() : file_; }

std::optional<RegistryValue> FileRegistry::Read(std::string_view key, std::string_view name) {
  const std::filesystem::path file = File();
  if (file.empty()) return std::nullopt;
  // Writers replace the file by rename, so a plain read sees one complete version without locking.
  const auto bytes = ReadWholeFile(file, 16u << 20);
  if (!bytes) return std::nullopt;
  auto doc = ParseRegFile(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  if (!doc) return std::nullopt;
  const auto k = doc->find(key);
  if (k == doc->end()) return std::nullopt;
  const auto v = k->second.find(std::string(name));
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

namespace {

// What a failed file operation means to the user.
std::string Reason(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return "the disk is full";
    case EACCES:
    case EPERM: return "the folder is not writable";
    case EROFS: return "the file system is read-only";
    default: return error != 0 ? std::strerror(error) : "it could not be written";
  }
}

// rename() that never replaces: renameat2's RENAME_NOREPLACE, or a hard link and an unlink where the
// file system has no such rename.
bool RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace

std::filesystem::path KeepCorruptFileAside(const std::filesystem::path& file) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = file.string() + ".corrupt-" + stamp;
  constexpr int kMostCopiesASecond = 999;
  for (int n = 1; n <= kMostCopiesASecond; ++n) {
    const std::filesystem::path aside = n == 1 ? base : base + "-" + std::to_string(n);
    if (RenameWithoutReplacing(file, aside)) return aside;
    if (errno != EEXIST) return {};
  }
  return {};
}

bool FileRegistry::Fail(const std::filesystem::path& file, const std::string& why) {
  lastFailure_ = file.string() + ": " + why;
  return false;
}

template <typename Change>
bool FileRegistry::Modify(Change&& change) {
  lastFailure_.clear();
  const std::filesystem::path file = File();
  // No folder of the user's to keep settings in: nothing is stored, rather than a file in whatever folder
  // the program runs in.
  if (file.empty()) {
    lastFailure_ = "no settings folder: " + ConfigFolderProblem();
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return Fail(file.parent_path(), Reason(ec.value()));
  errno = 0;
  FileLock lock(std::filesystem::path(file.string() + ".lock"));
  if (!lock.locked()) return Fail(file, Reason(errno));

  // WriteFileAtomically removes the temporary files of writers that died.
  const TempFileName temp = RegistryTempFileName(file);

  RegistryDocument doc;
  bool exists = std::filesystem::exists(file, ec);
  if (exists) {
    FileStatus status = FileStatus::Ok;
    const auto bytes = ReadWholeFile(file, 16u << 20, &status);
    // A FIFO, device or folder where the file belongs is not ours to read, move or replace.
    if (status == FileStatus::NotRegularFile) return Fail(file, "something other than a file has its name");
    std::optional<RegistryDocument> parsed;
    if (bytes)
      parsed = ParseRegFile(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (parsed) {
      doc = std::move(*parsed);
    } else {
      // Keep what cannot be read beside the new file instead of overwriting it, or anything else.
      if (KeepCorruptFileAside(file).empty()) {
        const std::string why = errno == EEXIST ? "every name for a copy is taken" : Reason(errno);
        return Fail(file, "it cannot be read, and no copy of it could be kept aside (" + why + ")");
      }
    }
  }
  if (!change(doc)) return false;
  const std::string text = FormatRegFile(doc);
  int error = 0;
  if (!WriteFileAtomically(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), temp, &error))
    return Fail(file, Reason(error));
  return true;
}

bool FileRegistry::Write(std::string_view key, std::string_view name, const RegistryValue& value) {
  return Modify([&](RegistryDocument& doc) {
    doc[std::string(key)][std::string(name)] = value;
    return true;
  });
}

bool FileRegistry::Remove(std::string_view key, std::string_view name) {
  return Modify([&](RegistryDocument& doc) {
    const auto k = doc.find(key);
    return k != doc.end() && k->second.erase(std::string(name)) > 0;
  });
}

}  // namespace qrv::platform
