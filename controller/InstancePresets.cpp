#include "controller/InstancePresets.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "controller/warmGlowController.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "presets/StateChunk.h"

namespace qrv {
namespace {

std::mutex g_presetMutex;

// Marks a save or load for its duration.
class StateCall {
 public:
  explicit StateCall(bool& flag) : flag_(flag) { flag_ = true; }
  ~StateCall() { flag_ = false; }
  StateCall(const StateCall&) = delete;
  StateCall& operator=(const StateCall&) = delete;

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

constexpr std::array<uint8_t, 4> kStateFooterMagic = {'Q', 'R', 'V', 'c'};
constexpr std::size_t kStateFooterSize = 16;

struct StreamFields {
  std::span<const uint8_t> chunk;
  std::span<const uint8_t> otherSlot;
  int32_t activeSlot = 0;
  uint32_t flags = 0;
};

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

// A stream's fields, bounds-checked; nullopt without a footer or for one that does not fit.
std::optional<StreamFields> SplitState(std::span<const uint8_t> bytes) {
  StreamFields fields;
  const bool footer = bytes.size() >= kStateFooterSize &&
                      std::equal(kStateFooterMagic.begin(), kStateFooterMagic.end(), bytes.end() - 4);
  if (!footer) return std::nullopt;
  const std::span<const uint8_t> tail = bytes.last(kStateFooterSize);
  const uint32_t otherSize = GetU32(tail.first(4));
  fields.activeSlot = static_cast<int32_t>(GetU32(tail.subspan(4, 4)));
  fields.flags = GetU32(tail.subspan(8, 4));
  const std::size_t body = bytes.size() - kStateFooterSize;
  if (otherSize > body) return std::nullopt;
  fields.chunk = bytes.first(body - otherSize);
  fields.otherSlot = bytes.subspan(body - otherSize, otherSize);
  return fields;
}

}  // namespace

PresetLock::PresetLock() { g_presetMutex.lock(); }
PresetLock::~PresetLock() { g_presetMutex.unlock(); }

InstancePresets::InstancePresets(InstanceValues& values) : values_(values) {}

InstancePresets::~InstancePresets() {
  const PresetLock lock;
  controller_.reset();
  manager_.reset();
}

void InstancePresets::EnsureManager() {
  if (manager_ != nullptr) return;
  manager_ = std::make_unique<PresetManager>(this);
  controller_ = std::make_unique<warmGlowController>(*this);
}

PresetManager& InstancePresets::presetManager() {
  const PresetLock lock;
  EnsureManager();
  return *manager_;
}

PresetManager* InstancePresets::AttachEditor(PresetValueSink* sink) {
  const PresetLock lock;
  EnsureManager();
  TakeValues();
  sink_ = sink;
  return manager_.get();
}

void InstancePresets::DetachEditor(PresetValueSink* sink) {
  const PresetLock lock;
  if (sink_ == sink) sink_ = nullptr;
}

QRVBaseParametersController* InstancePresets::GetParametersController() { return controller_.get(); }

void InstancePresets::SetParameter(int index, double value) {
  if (!stateCall_ && sink_ != nullptr) sink_->PresetValue(index, value);
}

int32_t InstancePresets::WriteSetting(int index, double value) { return settings::WriteNumber(index, value) ? 0 : -1; }

int32_t InstancePresets::ReadSetting(int index, double* value) {
  return value != nullptr && settings::ReadNumber(index, *value) ? 0 : -1;
}

// The values are what the user set; the preset state learns them as edits.
void InstancePresets::TakeValues() {
  for (unsigned slot : kControlSlots) {
    const double v = values_[slot].load(std::memory_order_relaxed);
    if (std::isnan(v)) continue;
    if (static_cast<float>(v) != manager_->current().values[slot]) {
      manager_->ParameterChanged(static_cast<int>(slot), v);
    }
  }
}

std::optional<InstanceState> InstancePresets::Save() {
  const PresetLock lock;
  const StateCall call(stateCall_);
  EnsureManager();
  TakeValues();
  const uint8_t* chunk = nullptr;
  const int32_t size = controller_->GetStateChunk(&chunk);
  if (size <= 0 || chunk == nullptr) return std::nullopt;
  InstanceState state;
  state.chunk.assign(chunk, chunk + size);
  state.activeSlot = manager_->ActiveSlot();
  const int other = state.activeSlot == kSlotA ? kSlotB : kSlotA;
  state.otherSlot = WriteSinglePresetBlob(manager_->SlotRecord(other), manager_->hostStateWord(), manager_->zoom());
  return state;
}

bool InstancePresets::Load(std::span<const uint8_t> chunk, const PresetRecord* otherSlot, int32_t activeSlot) {
  if (!StateChunkIsWhole(chunk)) return false;
  if (activeSlot != kSlotA && activeSlot != kSlotB) return false;
  const PresetLock lock;
  const StateCall call(stateCall_);
  EnsureManager();
  // Both slots now hold the chunk's record, A selected. The chunk's record belongs to the slot that was
  // active; the other one comes from its own blob.
  controller_->SetStateChunk(chunk.data(), chunk.size());
  if (activeSlot == kSlotB) manager_->SelectSlot(kSlotB);
  if (otherSlot != nullptr) manager_->SetInactiveSlotRecord(activeSlot == kSlotA ? kSlotB : kSlotA, *otherSlot);
  return true;
}

bool InstancePresets::SaveStream(std::vector<uint8_t>& out, uint32_t flags) {
  const std::optional<InstanceState> state = Save();
  if (!state) return false;
  out = JoinState(state->chunk, state->otherSlot, state->activeSlot, flags);
  return true;
}

bool InstancePresets::LoadStream(std::span<const uint8_t> bytes, uint32_t& flags) {
  const std::optional<StreamFields> fields = SplitState(bytes);
  if (!fields) return false;
  if ((fields->flags & ~kStateFlagsKnown) != 0) return false;  // written by a later version
  PresetRecord other = FactoryRecord(0);
  if (ReadFavoriteBlob(fields->otherSlot, other) != BlobStatus::Ok) return false;
  if (!Load(fields->chunk, &other, fields->activeSlot)) return false;
  flags = fields->flags;
  return true;
}

bool InstancePresets::StreamIsNewer(std::span<const uint8_t> bytes) {
  const std::optional<StreamFields> fields = SplitState(bytes);
  return fields && (fields->flags & ~kStateFlagsKnown) != 0;
}

bool InstancePresets::LoadFactoryPreset(int index) {
  const PresetLock lock;
  const StateCall call(stateCall_);
  EnsureManager();
  return manager_->LoadFactoryPreset(index);
}

void InstancePresets::LoadPresetFile(const std::filesystem::path& file, const PresetRecord& record) {
  const PresetLock lock;
  const StateCall call(stateCall_);
  EnsureManager();
  if (!manager_->LoadUserPreset(file)) manager_->LoadOutsideRecord(record);
}

void InstancePresets::PublishValues() {
  const PresetLock lock;
  EnsureManager();
  for (unsigned slot : kControlSlots) {
    values_[slot].store(static_cast<double>(manager_->current().values[slot]), std::memory_order_relaxed);
  }
}

void InstancePresets::ForgetValues() {
  for (auto& v : values_) v.store(std::nan(""), std::memory_order_relaxed);
}

}  // namespace qrv
