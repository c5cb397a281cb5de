// The place where a copied preset waits to be pasted, possibly into another instance or process.
// Main (GUI) thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace qrv::platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual bool Store(std::span<const uint8_t> bytes) = 0;
  // nullopt when nothing was stored.
  virtual std::optional<std::vector<uint8_t>> Load() = 0;
};

// Process-local; for tests.
class MemoryClipboard final : public Clipboard {
 public:
  bool Store(std::span<const uint8_t> bytes) override;
  std::optional<std::vector<uint8_t>> Load() override;

 private:
  std::optional<std::vector<uint8_t>> content_;
};

// One binary registry value, so a copy is visible to every process of the user (no X11 needed). A value
// of another type reads as nothing stored.
class RegistryClipboard final : public Clipboard {
 public:
  RegistryClipboard(Registry& registry, std::string key, std::string name);
  bool Store(std::span<const uint8_t> bytes) override;
  std::optional<std::vector<uint8_t>> Load() override;

 private:
  Registry& registry_;
  std::string key_, name_;
};

}  // namespace qrv::platform
