#include "format/jack/LiveState.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "controller/InstancePresets.h"
#include "platform/AtomicFile.h"
#include "platform/Environment.h"

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
  return platform::ConfigFolder() / (name + ".state");
}

StateRead ReadStateFile(const std::filesystem::path& path, InstancePresets& presets, std::string& why) {
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
  uint32_t flags = 0;
  if (!presets.LoadStream(*bytes, flags)) {
    why = InstancePresets::StreamIsNewer(*bytes) ? "written by a newer version of QRV warmGlow"
                                                  : "not a complete warmGlow state (damaged or cut short)";
    return StateRead::Damaged;
  }
  return StateRead::Loaded;
}

bool WriteStateFile(const std::filesystem::path& path, InstancePresets& presets, std::string& why) {
  std::vector<uint8_t> bytes;
  // The standalone has no bypass: its flags are always 0.
  if (!presets.SaveStream(bytes, 0)) {
    why = "the state could not be built";
    return false;
  }
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  int error = 0;
  if (!platform::WriteFileAtomically(path, bytes, platform::TempFileName{"." + path.filename().string() + ".", ".tmp"},
                                     &error)) {
    why = error != 0 ? std::strerror(error) : "cannot be written";
    return false;
  }
  return true;
}

}  // namespace qrv::jack
