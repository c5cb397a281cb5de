#include "tests/presets/PresetTestSupport.h"

#include <bit>
#include <fstream>

#include "platform/PathText.h"
#include "presets/PresetLibrary.h"
#include "tests/support/Environment.h"

namespace qrv::test {

void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b.at(at + static_cast<std::size_t>(i))) << (8 * i);
  return v;
}

void PutFloat(std::vector<uint8_t>& b, std::size_t at, float v) { Put32(b, at, std::bit_cast<uint32_t>(v)); }

namespace {
void Swap32(std::vector<uint8_t>& b, std::size_t at) { Put32(b, at, __builtin_bswap32(Get32(b, at))); }
}  // namespace

std::vector<uint8_t> ToBigEndian(std::vector<uint8_t> blob) {
  Swap32(blob, 0);
  for (std::size_t at = 5; at <= 37; at += 4) Swap32(blob, at);
  std::size_t pos = kBlobHeaderSize;
  while (pos + kChunkHeaderSize <= blob.size()) {
    const uint32_t type = Get32(blob, pos);
    const uint32_t size = Get32(blob, pos + 4);
    Swap32(blob, pos);
    Swap32(blob, pos + 4);
    if (type == 1) {
      Swap32(blob, pos + 12);
      Swap32(blob, pos + 24);
    }
    pos += kChunkHeaderSize + size;
  }
  return blob;
}

std::size_t ValueOffset(int slot) {
  std::size_t pos = kBlobHeaderSize + kChunkHeaderSize + kNameChunkPayload;
  for (int i = 0; i < slot; ++i)
    if (IsStoredSlot(i)) pos += kChunkHeaderSize + kParameterChunkPayload;
  return pos + kChunkHeaderSize + 12;
}

PresetRecord MakeRecord(std::string_view name, float base) {
  PresetRecord r;
  r.SetName(name);
  for (unsigned i = 0; i < kPresetValueCount; ++i) r.values[i] = base + 0.01f * static_cast<float>(i);
  return r;
}

PresetFixture::PresetFixture() {
  savedProfile_ = GetEnv("USERPROFILE");
  SetEnvPath("USERPROFILE", profile.path());
  platform::Services s;
  s.registry = &registry;
  s.clock = &clock;
  s.clipboard = &clipboard;
  services.emplace(s);
  clock.ticks = 100000;
  settings::LoadProcessSettings();
}

PresetFixture::~PresetFixture() {
  services.reset();
  if (savedProfile_)
    SetEnv("USERPROFILE", *savedProfile_);
  else
    UnsetEnv("USERPROFILE");
}

std::filesystem::path PresetFixture::UserFolder() const { return platform::PathFromUtf8(UserPresetFolderPath()); }

void PresetFixture::WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) const {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void PresetFixture::StoreFloat(int index, float v) {
  const uint32_t bits = std::bit_cast<uint32_t>(v);
  registry.Write(settings::kNumericKey, settings::NumericValueName(index),
                 platform::RegistryValue::Binary({static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                                                  static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)}));
}

}  // namespace qrv::test
