// Shared pieces of the preset tests: a recording master controller, a byte-order converter for blobs and
// a fixture that gives every test its own registry, clock, clipboard and user profile folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Services.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"
#include "presets/QRVMasterController.h"
#include "presets/SettingsStore.h"
#include "tests/support/TempDir.h"

namespace qrv::test {

// Records every call; like the host binding, hands stored-slot values back to the preset manager.
class FakeMasterController : public QRVMasterController {
 public:
  void SetParameter(int index, double value) override {
    calls.emplace_back(index, value);
    if (manager != nullptr && echo && IsStoredSlot(index)) manager->ParameterChanged(index, value);
  }
  int32_t WriteSetting(int index, double value) override { return settings::WriteNumber(index, value) ? 0 : -1; }
  int32_t ReadSetting(int index, double* value) override {
    return value != nullptr && settings::ReadNumber(index, *value) ? 0 : -1;
  }
  bool SendMessageToProcessor(const void*, std::size_t length) override { return length <= 1024; }
  PresetManager* GetPresetManager() override { return manager; }
  QRVBaseParametersController* GetParametersController() override { return product; }
  intptr_t ForwardToEditor(int32_t, intptr_t, void*) override { return 0; }

  // The values sent between the last 70 and 71, by slot.
  std::vector<std::pair<int, double>> LastApplied() const {
    std::vector<std::pair<int, double>> out;
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
      if (it->first == kMessagePresetStart) break;
      if (it->first != kMessagePresetStop) out.insert(out.begin(), *it);
    }
    return out;
  }

  std::vector<std::pair<int, double>> calls;
  PresetManager* manager = nullptr;
  QRVBaseParametersController* product = nullptr;
  bool echo = true;
};

// Rewrites a little-endian blob in the other byte order: the header words and each chunk's type, size,
// parameter index and value; names and record tags stay as they are.
std::vector<uint8_t> ToBigEndian(std::vector<uint8_t> blob);

void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v);
uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at);
void PutFloat(std::vector<uint8_t>& b, std::size_t at, float v);

// Offset of the value of the parameter chunk for `slot` in a single-preset blob written here.
std::size_t ValueOffset(int slot);

PresetRecord MakeRecord(std::string_view name, float base);

// Own registry, clock, clipboard and profile folder (so the user preset folder lies in a temporary
// folder) for each test.
class PresetFixture : public testing::Test {
 protected:
  PresetFixture();
  ~PresetFixture() override;

  std::filesystem::path UserFolder() const;
  void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) const;
  // A numeric setting as the store keeps it: the float's four bytes, little-endian, as a binary value.
  void StoreFloat(int index, float v);

  TempDir profile;
  platform::MemoryRegistry registry;
  platform::ManualClock clock;
  platform::MemoryClipboard clipboard;
  std::optional<platform::ScopedServices> services;

 private:
  std::optional<std::string> savedProfile_;
};

}  // namespace qrv::test
