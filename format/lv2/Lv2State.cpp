#include "format/lv2/Lv2State.h"

#include <lv2/atom/atom.h>

#include <cstring>
#include <optional>
#include <span>

#include "dsp/FactoryPresets.h"
#include "format/lv2/Lv2Uris.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"

namespace qrv::lv2 {

Lv2State::Lv2State(const LV2_URID_Map* map, InstancePresets& presets, InstanceCore& core)
    : presets_(presets), core_(core) {
  if (map == nullptr) return;
  keyChunk_ = map->map(map->handle, kStateKeyChunk);
  keyOtherSlot_ = map->map(map->handle, kStateKeyOtherSlot);
  keyActiveSlot_ = map->map(map->handle, kStateKeyActiveSlot);
  keyFactoryPreset_ = map->map(map->handle, kStateKeyFactoryPreset);
  atomChunk_ = map->map(map->handle, LV2_ATOM__Chunk);
  atomInt_ = map->map(map->handle, LV2_ATOM__Int);
  atomLong_ = map->map(map->handle, LV2_ATOM__Long);
}

LV2_State_Status Lv2State::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
  if (keyChunk_ == 0) return LV2_STATE_ERR_NO_FEATURE;
  if (store == nullptr) return LV2_STATE_ERR_UNKNOWN;
  const std::optional<InstanceState> state = presets_.Save();
  if (!state) return LV2_STATE_ERR_UNKNOWN;
  constexpr uint32_t kFlags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  LV2_State_Status status = store(handle, keyChunk_, state->chunk.data(), state->chunk.size(), atomChunk_, kFlags);
  if (status != LV2_STATE_SUCCESS) return status;
  status = store(handle, keyOtherSlot_, state->otherSlot.data(), state->otherSlot.size(), atomChunk_, kFlags);
  if (status != LV2_STATE_SUCCESS) return status;
  // Off: exactly the value versions before the option wrote.
  const int32_t active =
      state->activeSlot | (core_.highQuality() ? kActiveSlotHighQuality : 0);
  return store(handle, keyActiveSlot_, &active, sizeof active, atomInt_, kFlags);
}

LV2_State_Status Lv2State::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  if (keyChunk_ == 0) return LV2_STATE_ERR_NO_FEATURE;
  if (retrieve == nullptr) return LV2_STATE_ERR_UNKNOWN;
  std::size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* chunk = retrieve(handle, keyChunk_, &size, &type, &flags);
  if (chunk == nullptr) return RestoreFactoryPreset(retrieve, handle);
  if (type != atomChunk_) return LV2_STATE_ERR_BAD_TYPE;

  // The other A/B slot and the active one are optional (a chunk from elsewhere has neither), but when
  // present they must read too.
  std::optional<PresetRecord> otherRecord;
  std::size_t otherSize = 0;
  const void* other = retrieve(handle, keyOtherSlot_, &otherSize, &type, &flags);
  if (other != nullptr) {
    if (type != atomChunk_) return LV2_STATE_ERR_BAD_TYPE;
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(other), otherSize);
    otherRecord = FactoryRecord(0);
    if (ReadFavoriteBlob(bytes, *otherRecord) != BlobStatus::Ok) return LV2_STATE_ERR_UNKNOWN;
  }
  int32_t active = kSlotA;
  std::size_t activeSize = 0;
  const void* activeValue = retrieve(handle, keyActiveSlot_, &activeSize, &type, &flags);
  if (activeValue != nullptr) {
    if (type != atomInt_ || activeSize != sizeof active) return LV2_STATE_ERR_BAD_TYPE;
    std::memcpy(&active, activeValue, sizeof active);
  }
  const bool highQuality = (active & kActiveSlotHighQuality) != 0;
  active &= ~kActiveSlotHighQuality;  // any other bit leaves a slot Load refuses

  // The chunk is taken only whole.
  const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(chunk), size);
  if (!presets_.Load(bytes, otherRecord ? &*otherRecord : nullptr, active)) return LV2_STATE_ERR_UNKNOWN;
  core_.SetHighQuality(highQuality);
  // Run publishes every port again at its next block (Lv2Instance::ApplyControls).
  presets_.ForgetValues();
  restores_.fetch_add(1, std::memory_order_release);
  return LV2_STATE_SUCCESS;
}

LV2_State_Status Lv2State::RestoreFactoryPreset(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  std::size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* value = retrieve(handle, keyFactoryPreset_, &size, &type, &flags);
  if (value == nullptr) return LV2_STATE_SUCCESS;  // port values only: the host restores those itself
  // Turtle's integers reach the plug-in as atom:Int; a host may hand a Long.
  int64_t index = -1;
  if (type == atomInt_ && size == sizeof(int32_t)) {
    int32_t v = 0;
    std::memcpy(&v, value, sizeof v);
    index = v;
  } else if (type == atomLong_ && size == sizeof(int64_t)) {
    std::memcpy(&index, value, sizeof index);
  } else {
    return LV2_STATE_ERR_BAD_TYPE;
  }
  if (index < 0 || index >= kFactoryPresetCount) return LV2_STATE_ERR_UNKNOWN;
  if (!presets_.LoadFactoryPreset(static_cast<int>(index))) return LV2_STATE_ERR_UNKNOWN;
  // The host sets the preset's port values; Run publishes them from its next block on.
  presets_.ForgetValues();
  restores_.fetch_add(1, std::memory_order_release);
  return LV2_STATE_SUCCESS;
}

}  // namespace qrv::lv2
