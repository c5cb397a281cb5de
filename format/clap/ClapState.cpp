#include "format/clap/ClapState.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "controller/warmGlowController.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "presets/StateChunk.h"

namespace qrv::clap {
namespace {

// The preset library and the settings are process-wide and not thread-safe.
std::mutex g_presetMutex;

class HostCall {
 public:
  explicit HostCall(bool& flag) : flag_(flag) { flag_ = true; }
  ~HostCall() { flag_ = false; }
  HostCall(const HostCall&) = delete;
  HostCall& operator=(const HostCall&) = delete;

 private:
  bool& flag_;
};

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(std::span<const uint8_t> b) {
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}

}  // namespace

std::vector<uint8_t> JoinState(std::span<const uint8_t> chunk, std::span<const uint8_t> otherSlot, int32_t activeSlot,
                               uint32_t flags) {
  std::vector<uint8_t> out;
  out.reserve(chunk.size() + otherSlot.size() + kStateFooterSize);
  out.insert(out.end(), chunk.begin(), chunk.end());
  out.insert(out.end(), otherSlot.begin(), otherSlot.end());
  PutU32(out, static_cast<uint32_t>(otherSlot.size()));
  PutU32(out, static_cast<uint32_t>(activeSlot));
  PutU32(out, flags);
  out.insert(out.end(), kStateFooterMagic.begin(), kStateFooterMagic.end());
  return out;
}

std::optional<StateParts> SplitState(std::span<const uint8_t> bytes) {
  StateParts parts;
  const bool footer = bytes.size() >= kStateFooterSize &&
                      std::equal(kStateFooterMagic.begin(), kStateFooterMagic.end(), bytes.end() - 4);
  if (!footer) return std::nullopt;
  const std::span<const uint8_t> tail = bytes.last(kStateFooterSize);
  const uint32_t otherSize = GetU32(tail.first(4));
  parts.activeSlot = static_cast<int32_t>(GetU32(tail.subspan(4, 4)));
  parts.flags = GetU32(tail.subspan(8, 4));
  const std::size_t body = bytes.size() - kStateFooterSize;
  if (otherSize > body) return std::nullopt;
  parts.chunk = bytes.first(body - otherSize);
  parts.otherSlot = bytes.subspan(body - otherSize, otherSize);
  return parts;
}

ClapState::ClapState(ControlValues& values) : values_(values) {}

ClapState::~ClapState() {
  const std::lock_guard lock(g_presetMutex);
  controller_.reset();
  manager_.reset();
}

void ClapState::EnsureManager() {
  if (manager_ != nullptr) return;
  manager_ = std::make_unique<PresetManager>(this);
  controller_ = std::make_unique<warmGlowController>(*this);
}

PresetManager& ClapState::presetManager() {
  const std::lock_guard lock(g_presetMutex);
  EnsureManager();
  return *manager_;
}

QRVBaseParametersController* ClapState::GetParametersController() { return controller_.get(); }

void ClapState::SetParameter(int index, double value) {
  // During the host's save and load the values are taken from the manager's record as a whole (Load).
  if (!hostCall_ && sink_ != nullptr) sink_->PresetValue(index, value);
}

int32_t ClapState::WriteSetting(int index, double value) { return settings::WriteNumber(index, value) ? 0 : -1; }

int32_t ClapState::ReadSetting(int index, double* value) {
  return value != nullptr && settings::ReadNumber(index, *value) ? 0 : -1;
}

// The values the instance runs with are what the user set; the preset state learns them as edits.
void ClapState::TakeValues() {
  for (unsigned slot : kControlSlots) {
    const double v = values_[slot].load(std::memory_order_relaxed);
    if (std::isnan(v)) continue;
    if (static_cast<float>(v) != manager_->current().values[slot]) {
      manager_->ParameterChanged(static_cast<int>(slot), v);
    }
  }
}

bool ClapState::Save(std::vector<uint8_t>& out, bool bypass) {
  const std::lock_guard lock(g_presetMutex);
  const HostCall hostCall(hostCall_);
  EnsureManager();
  TakeValues();
  const uint8_t* chunk = nullptr;
  const int32_t size = controller_->GetStateChunk(&chunk);
  if (size <= 0 || chunk == nullptr) return false;
  const int active = manager_->ActiveSlot();
  const int other = active == kSlotA ? kSlotB : kSlotA;
  const std::vector<uint8_t> otherBlob =
      WriteSinglePresetBlob(manager_->SlotRecord(other), manager_->hostStateWord(), manager_->zoom());
  out = JoinState(std::span<const uint8_t>(chunk, static_cast<std::size_t>(size)), otherBlob, active, bypass ? kStateFlagBypass : 0u);
  return true;
}

bool ClapState::Load(std::span<const uint8_t> bytes, bool& bypass) {
  const std::optional<StateParts> parts = SplitState(bytes);
  if (!parts || !StateChunkIsWhole(parts->chunk)) return false;
  if (parts->activeSlot != kSlotA && parts->activeSlot != kSlotB) return false;
  if ((parts->flags & ~kStateFlagBypass) != 0) return false;  // written by a later version
  PresetRecord otherRecord = FactoryRecord(0);
  if (ReadFavoriteBlob(parts->otherSlot, otherRecord) != BlobStatus::Ok) return false;

  const std::lock_guard lock(g_presetMutex);
  const HostCall hostCall(hostCall_);
  EnsureManager();
  // Both slots now hold the chunk's record, A selected; the chunk's record belongs to the slot that was
  // active, the other one comes from its own blob.
  controller_->SetStateChunk(parts->chunk.data(), parts->chunk.size());
  if (parts->activeSlot == kSlotB) manager_->SelectSlot(kSlotB);
  manager_->SetInactiveSlotRecord(parts->activeSlot == kSlotA ? kSlotB : kSlotA, otherRecord);
  for (unsigned slot : kControlSlots) {
    values_[slot].store(static_cast<double>(manager_->current().values[slot]), std::memory_order_relaxed);
  }
  bypass = (parts->flags & kStateFlagBypass) != 0;
  return true;
}

}  // namespace qrv::clap
