#include "format/jack/LiveState.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "controller/InstancePresets.h"
#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/ProductFacts.h"

namespace qrv::jack {

std::filesystem::path DefaultStatePath(std::string_view clientName) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name = "live-";
  for (const char c : clientName) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' || u == '_' ||
        u == '-') {
      name += c;
    } else {
      name += '%';
      name += kHex[u >> 4];
      name += kHex[u & 0xF];
    }
  }
  const std::filesystem::path folder = platform::ConfigFolder();
  return folder.empty() ? folder : folder / (name + ".state");
}

namespace {

// Short and of a fixed length, so that any name the folder takes can be written; hidden, and named so that
// the clean-up after a killed writer (platform::RemoveStaleTempFiles) takes nothing of the user's.
const platform::TempFileName kStateTemp{".qrv-live-", ".tmp"};

std::string Reason(int error) {
  switch (error) {
    case ENAMETOOLONG: return "its name is longer than the folder takes";
    case EACCES:
    case EPERM: return "the folder is not writable";
    case EROFS: return "the file system is read-only";
    case ENOSPC:
    case EDQUOT: return "the disk is full";
    default: return std::strerror(error);
  }
}

}  // namespace

bool CheckStateWritable(const std::filesystem::path& path, std::string& why) {
  if (path.empty() || path.filename().empty()) {
    why = "no file name";
    return false;
  }
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    why = "its folder '" + folder.string() + "' cannot be made: " + Reason(ec.value());
    return false;
  }
  if (!std::filesystem::is_directory(folder, ec)) {
    why = "'" + folder.string() + "' is not a folder";
    return false;
  }
  if (path.filename().native().size() > platform::MaxFileNameBytes(folder)) {
    why = Reason(ENAMETOOLONG);
    return false;
  }
  // A file is really made: permission bits say nothing for root, nor of a read-only or full file system.
  std::string probe = (folder / (kStateTemp.prefix + "XXXXXX" + kStateTemp.suffix)).string();
  const int fd = ::mkostemps(probe.data(), static_cast<int>(kStateTemp.suffix.size()), O_CLOEXEC);
  if (fd < 0) {
    why = Reason(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

StateRead ReadStateFile(const std::filesystem::path& path, InstancePresets& presets, uint32_t& flags,
                        std::string& why) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(path, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    why = ec.message();
    return StateRead::Damaged;
  }
  if (!std::filesystem::exists(status)) return StateRead::Missing;
  platform::FileStatus fileStatus = platform::FileStatus::Ok;
  const auto bytes = platform::ReadWholeFile(path, kStateMaxSize, &fileStatus);
  if (!bytes) {
    why = fileStatus == platform::FileStatus::NotRegularFile ? "not a regular file"
                                                              : "unreadable, or longer than any state";
    return StateRead::Damaged;
  }
  uint32_t loaded = 0;
  if (!presets.LoadStream(*bytes, loaded)) {
    why = InstancePresets::StreamIsNewer(*bytes) ? "written by a newer version of " QRV_PRODUCT_NAME
                                                  : "not a complete warmGlow state (damaged or cut short)";
    return StateRead::Damaged;
  }
  flags = loaded;
  return StateRead::Loaded;
}

bool WriteStateFile(const std::filesystem::path& path, InstancePresets& presets, uint32_t flags, std::string& why) {
  std::vector<uint8_t> bytes;
  // The standalone has no bypass: High quality is its only flag.
  if (!presets.SaveStream(bytes, flags & kStateFlagHighQuality)) {
    why = "the state could not be built";
    return false;
  }
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  int error = 0;
  if (!platform::WriteFileAtomically(path, bytes, kStateTemp, &error)) {
    why = error != 0 ? std::strerror(error) : "cannot be written";
    return false;
  }
  return true;
}

}  // namespace qrv::jack
