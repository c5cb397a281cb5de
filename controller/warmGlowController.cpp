#include "controller/warmGlowController.h"

#include <algorithm>
#include <cstring>

#include "presets/PresetManager.h"
#include "presets/QRVMasterController.h"
#include "presets/SettingsStore.h"

namespace qrv {
int32_t warmGlowController::GetStateChunk(const uint8_t** data) {
  PresetManager* pm = owner().GetPresetManager();
  if (pm == nullptr || pm->HostStateBuffer().empty()) return 0;
  const std::span<uint8_t> buffer = pm->HostStateBuffer();
  std::fill(buffer.begin(), buffer.end(), uint8_t{0});
  const std::vector<uint8_t> blob = pm->WriteHostState();
  if (blob.empty() || buffer.size() < kStateChunkPrefixSize || blob.size() > buffer.size() - kStateChunkPrefixSize)
    return 0;
  WriteStateChunkPrefix(buffer.first<kStateChunkPrefixSize>());
  std::memcpy(buffer.data() + kStateChunkPrefixSize, blob.data(), blob.size());
  if (data != nullptr) *data = buffer.data();
  return static_cast<int32_t>(blob.size() + kStateChunkPrefixSize);
}

void warmGlowController::SetStateChunk(const uint8_t* data, std::size_t size) {
  PresetManager* pm = owner().GetPresetManager();
  if (pm == nullptr) return;
  QRVMasterController* link = pm->controller();
  const std::span<const uint8_t> chunk =
      data != nullptr ? std::span<const uint8_t>(data, size) : std::span<const uint8_t>();
  if (link != nullptr && HasStateChunkPrefix(chunk) && pm->RestoreHostState(StateChunkBlob(chunk)) == BlobStatus::Ok) {
    link->SetParameter(kMessageHostState, static_cast<double>(pm->hostStateWord()));
    // The zoom travels as the setting stores it (factor / 10), within 0..1.
    link->SetParameter(kMessageZoom, settings::LimitZoomFactor(pm->zoom() / 100.0) * 0.1);
  }
  const PresetRecord record = pm->current();
  for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i) owner().SetParameter(i, record.values[i]);
}

}  // namespace qrv
