#include "product/warmGlowController.h"

#include <algorithm>
#include <cstring>

#include "presets/PresetManager.h"
#include "presets/QRVMasterController.h"
#include "presets/SettingsStore.h"

namespace qrv {
namespace {

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int32_t warmGlowController::GetStateChunk(const uint8_t** data) {
  PresetManager* pm = owner().GetPresetManager();
  if (pm == nullptr || pm->HostStateBuffer().empty()) return 0;
  const std::span<uint8_t> buffer = pm->HostStateBuffer();
  std::fill(buffer.begin(), buffer.end(), uint8_t{0});
  const std::vector<uint8_t> blob = pm->WriteHostState();
  if (blob.empty() || blob.size() > buffer.size() - kStateChunkPrefixSize) return 0;
  Put32(buffer.data(), kStateChunkVersion);
  Put32(buffer.data() + 4, kProductCode);
  std::memcpy(buffer.data() + kStateChunkPrefixSize, blob.data(), blob.size());
  if (data != nullptr) *data = buffer.data();
  return static_cast<int32_t>(blob.size() + kStateChunkPrefixSize);
}

void warmGlowController::SetStateChunk(const uint8_t* data, std::size_t size) {
  PresetManager* pm = owner().GetPresetManager();
  if (pm == nullptr) return;
  QRVMasterController* link = pm->controller();
  if (link != nullptr && data != nullptr && size >= kStateChunkPrefixSize) {
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) code |= static_cast<uint32_t>(data[4 + i]) << (8 * i);
    if (code == kProductCode || code == __builtin_bswap32(kProductCode)) {
      const std::span<const uint8_t> blob(data + kStateChunkPrefixSize, size - kStateChunkPrefixSize);
      if (pm->RestoreHostState(blob) == BlobStatus::Ok) {
        link->SetParameter(kMessageHostState, static_cast<double>(pm->hostStateWord()));
        // The zoom travels as the setting stores it (factor / 10), within 0..1.
        link->SetParameter(kMessageZoom, settings::LimitZoomFactor(pm->zoom() / 100.0) * 0.1);
      }
    }
  }
  const PresetRecord record = pm->current();
  for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i) owner().SetParameter(i, record.values[i]);
}

}  // namespace qrv
