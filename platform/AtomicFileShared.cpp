// The parts of the file writer that are the same on every system.
#include <atomic>
#include <cctype>

#include "platform/AtomicFile.h"
#include "platform/PathText.h"

namespace qrv::platform {
namespace {

std::atomic<PartialWriteHook> g_partialWriteHook{nullptr};

}  // namespace

bool TempFileName::Matches(std::string_view name) const {
  constexpr std::size_t kRandom = 6;  // mkstemp's "XXXXXX"
  if (name.size() != prefix.size() + kRandom + suffix.size() || !name.starts_with(prefix) ||
      !name.ends_with(suffix))
    return false;
  for (const char c : name.substr(prefix.size(), kRandom)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  return WriteFileAtomically(path, bytes, TempFileName{"." + Utf8FromPath(path.filename()) + ".", ".tmp"});
}

void SetPartialWriteHook(PartialWriteHook hook) { g_partialWriteHook.store(hook); }

void RunPartialWriteHook(const std::filesystem::path& tempFile) {
  if (const PartialWriteHook hook = g_partialWriteHook.load()) hook(tempFile);
}

}  // namespace qrv::platform
