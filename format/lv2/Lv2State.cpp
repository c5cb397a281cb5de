#include "format/lv2/Lv2State.h"

#include <lv2/atom/atom.h>

#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <span>

#include "format/lv2/Lv2Uris.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "presets/StateChunk.h"
#include "controller/warmGlowController.h"

namespace qrv::lv2 {
namespace {

// The preset library and the settings are process-wide and not thread-safe; hosts may save or restore
// different instances on different threads.
std::mutex g_presetMutex;

// Marks a save or restore of the host's for its duration.
class HostCall {
 public:
  explicit HostCall(bool& flag) : flag_(flag) { flag_ = true; }
  ~HostCall() { flag_ = false; }
  HostCall(const HostCall&) = delete;
  HostCall& operator=(const HostCall&) = delete;

 private:
  bool& flag_;
};

}  // namespace

Lv2State::Lv2State(const LV2_URID_Map* map, PublishedValues& published) : published_(published) {
  if (map == nullptr) return;
  keyChunk_ = map->map(map->handle, kStateKeyChunk);
  keyOtherSlot_ = map->map(map->handle, kStateKeyOtherSlot);
  keyActiveSlot_ = map->map(map->handle, kStateKeyActiveSlot);
  atomChunk_ = map->map(map->handle, LV2_ATOM__Chunk);
  atomInt_ = map->map(map->handle, LV2_ATOM__Int);
}

Lv2State::~Lv2State() {
  const std::lock_guard lock(g_presetMutex);
  controller_.reset();
  manager_.reset();
}

void Lv2State::EnsureManager() {
  if (manager_ != nullptr) return;
  manager_ = std::make_unique<PresetManager>(this);
  controller_ = std::make_unique<warmGlowController>(*this);
}

PresetManager& Lv2State::presetManager() {
  const std::lock_guard lock(g_presetMutex);
  EnsureManager();
  return *manager_;
}

QRVBaseParametersController* Lv2State::GetParametersController() { return controller_.get(); }

void Lv2State::SetParameter(int index, double value) {
  if (link_ != nullptr && !hostCall_) link_->PresetValue(index, value);
}

PresetManager* Lv2State::AttachEditor(Lv2EditorLink* link) {
  const std::lock_guard lock(g_presetMutex);
  EnsureManager();
  TakePublishedValues();
  link_ = link;
  return manager_.get();
}

void Lv2State::DetachEditor(Lv2EditorLink* link) {
  const std::lock_guard lock(g_presetMutex);
  if (link_ == link) link_ = nullptr;
}

void Lv2State::LockPresets() { g_presetMutex.lock(); }
void Lv2State::UnlockPresets() { g_presetMutex.unlock(); }

int32_t Lv2State::WriteSetting(int index, double value) { return settings::WriteNumber(index, value) ? 0 : -1; }

int32_t Lv2State::ReadSetting(int index, double* value) {
  return value != nullptr && settings::ReadNumber(index, *value) ? 0 : -1;
}

// The ports are what the user set; the preset state learns them as edits, like knob turns.
void Lv2State::TakePublishedValues() {
  for (unsigned slot : kControlSlots) {
    const double v = published_[slot].load(std::memory_order_relaxed);
    if (std::isnan(v)) continue;
    if (static_cast<float>(v) != manager_->current().values[slot]) {
      manager_->ParameterChanged(static_cast<int>(slot), v);
    }
  }
}

LV2_State_Status Lv2State::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
  if (keyChunk_ == 0) return LV2_STATE_ERR_NO_FEATURE;
  if (store == nullptr) return LV2_STATE_ERR_UNKNOWN;
  const std::lock_guard lock(g_presetMutex);
  const HostCall hostCall(hostCall_);
  EnsureManager();
  TakePublishedValues();

  const uint8_t* chunk = nullptr;
  const int32_t size = controller_->GetStateChunk(&chunk);
  if (size <= 0 || chunk == nullptr) return LV2_STATE_ERR_UNKNOWN;
  constexpr uint32_t kFlags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  LV2_State_Status status = store(handle, keyChunk_, chunk, static_cast<std::size_t>(size), atomChunk_, kFlags);
  if (status != LV2_STATE_SUCCESS) return status;

  // The slot the chunk does not carry.
  const int active = manager_->ActiveSlot();
  const int other = active == kSlotA ? kSlotB : kSlotA;
  const PresetRecord otherRecord = manager_->SlotRecord(other);
  const std::vector<uint8_t> blob = WriteSinglePresetBlob(otherRecord, manager_->hostStateWord(), manager_->zoom());
  status = store(handle, keyOtherSlot_, blob.data(), blob.size(), atomChunk_, kFlags);
  if (status != LV2_STATE_SUCCESS) return status;
  const int32_t activeSlot = active;
  return store(handle, keyActiveSlot_, &activeSlot, sizeof activeSlot, atomInt_, kFlags);
}

LV2_State_Status Lv2State::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  if (keyChunk_ == 0) return LV2_STATE_ERR_NO_FEATURE;
  if (retrieve == nullptr) return LV2_STATE_ERR_UNKNOWN;
  std::size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* chunk = retrieve(handle, keyChunk_, &size, &type, &flags);
  if (chunk == nullptr) return LV2_STATE_SUCCESS;  // port values only: the host restores those itself
  if (type != atomChunk_) return LV2_STATE_ERR_BAD_TYPE;
  // The chunk is taken only whole.
  if (!StateChunkIsWhole(std::span<const uint8_t>(static_cast<const uint8_t*>(chunk), size)))
    return LV2_STATE_ERR_UNKNOWN;

  // The other A/B slot and the active one are optional (a chunk from elsewhere has neither), but when
  // present they must read too.
  bool haveOther = false;
  PresetRecord otherRecord = FactoryRecord(0);
  std::size_t otherSize = 0;
  const void* other = retrieve(handle, keyOtherSlot_, &otherSize, &type, &flags);
  if (other != nullptr) {
    if (type != atomChunk_) return LV2_STATE_ERR_BAD_TYPE;
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(other), otherSize);
    if (ReadFavoriteBlob(bytes, otherRecord) != BlobStatus::Ok) return LV2_STATE_ERR_UNKNOWN;
    haveOther = true;
  }
  int32_t active = kSlotA;
  std::size_t activeSize = 0;
  const void* activeValue = retrieve(handle, keyActiveSlot_, &activeSize, &type, &flags);
  if (activeValue != nullptr) {
    if (type != atomInt_ || activeSize != sizeof active) return LV2_STATE_ERR_BAD_TYPE;
    std::memcpy(&active, activeValue, sizeof active);
    if (active != kSlotA && active != kSlotB) return LV2_STATE_ERR_UNKNOWN;
  }

  const std::lock_guard lock(g_presetMutex);
  const HostCall hostCall(hostCall_);
  EnsureManager();
  // Both slots now hold the chunk's record, A selected. The chunk's record belongs to the slot that was
  // active; the other one comes from its own key.
  controller_->SetStateChunk(static_cast<const uint8_t*>(chunk), size);
  if (active == kSlotB) manager_->SelectSlot(kSlotB);
  if (haveOther) manager_->SetInactiveSlotRecord(active == kSlotA ? kSlotB : kSlotA, otherRecord);
  // Run publishes every port again at its next block (Lv2Instance::ApplyControls).
  for (auto& v : published_) v.store(std::nan(""), std::memory_order_relaxed);
  restores_.fetch_add(1, std::memory_order_release);
  return LV2_STATE_SUCCESS;
}

}  // namespace qrv::lv2
