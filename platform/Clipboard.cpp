#include "platform/Clipboard.h"

namespace qrv::platform {

bool MemoryClipboard::Store(std::span<const uint8_t> bytes) {
  content_.emplace(bytes.begin(), bytes.end());
  return true;
}

std::optional<std::vector<uint8_t>> MemoryClipboard::Load() { return content_; }

RegistryClipboard::RegistryClipboard(Registry& registry, std::string key, std::string name)
    : registry_(registry), key_(std::move(key)), name_(std::move(name)) {}

bool RegistryClipboard::Store(std::span<const uint8_t> bytes) {
  return registry_.Write(key_, name_, RegistryValue::Binary({bytes.begin(), bytes.end()}));
}

std::optional<std::vector<uint8_t>> RegistryClipboard::Load() {
  auto v = registry_.Read(key_, name_);
  if (!v || v->type != RegistryType::Binary) return std::nullopt;
  return std::move(v->bytes);
}

}  // namespace qrv::platform
