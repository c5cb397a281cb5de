// The preset side of one plug-in instance, as every binding has it: the instance's PresetManager and the
// product controller, the values the instance runs with, and the instance state built on them.
//
// The state is the 'All ' chunk exactly as the AAX binding writes it (controller prefix and host-state
// blob, whose record 0 is the active A/B slot), the other A/B slot as a single-preset blob, and which slot
// was active, so that A/B compare survives a reload. LV2 stores the three under keys of its own; the CLAP
// binding and the standalone application write them as one stream, closed by a footer that says how long
// the other slot's blob is:
//
//   chunk | other-slot blob | u32 LE blob size | i32 LE active slot | u32 LE flags | "QRVc"
//
// Flags: 1 bypass, 2 High quality (kStateFlag...).
//
// The footer is required: the chunk reader stops at its last record, so a stream cut short behind the
// chunk would otherwise load as a chunk alone and silently lose the other slot.
//
// Threads: the preset library and the settings are process-wide and not thread-safe, and hosts may save
// or restore different instances on different threads, so one process-wide lock (PresetLock) serialises
// every use of the preset objects; every member here takes it, and an editor whose host may save or
// restore on another thread (LV2) holds it around its own use of the manager. Where every such call comes
// on the main thread, as in CLAP and the JACK client's editor, the members' own locking is enough; holding
// the lock across calls into a host would invite a deadlock. The audio thread never takes it: it only writes the values. The PresetManager is built
// at first use, so that a host that only scans plug-ins leaves the user's folders and settings alone.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "dsp/ParameterSet.h"
#include "presets/PresetRecord.h"
#include "presets/QRVMasterController.h"

namespace qrv {

class PresetManager;
class warmGlowController;

// The normalised values of parameter slots 0..11 the instance runs with; NaN for a slot whose value is
// not known yet (an LV2 port before the first run). Written by the binding, on any thread.
using InstanceValues = std::array<std::atomic<double>, kPresetValueCount>;

// Where the values the preset side sets (a preset the bar loads, A/B, undo) go: the open editor, which
// sends them to the host as edits. Called under the preset lock.
class PresetValueSink {
 public:
  virtual void PresetValue(int index, double value) = 0;

 protected:
  ~PresetValueSink() = default;
};

// Holds the process-wide preset lock for its scope.
class PresetLock {
 public:
  PresetLock();
  ~PresetLock();
  PresetLock(const PresetLock&) = delete;
  PresetLock& operator=(const PresetLock&) = delete;
};

// Anything longer is no state of ours; read no further.
inline constexpr std::size_t kStateMaxSize = 1u << 20;
inline constexpr uint32_t kStateFlagBypass = 1;
// High quality on. Older versions know only bypass and refuse a stream with this flag as newer, rather
// than load it without the option; off, the stream is as it always was.
inline constexpr uint32_t kStateFlagHighQuality = 2;
inline constexpr uint32_t kStateFlagsKnown = kStateFlagBypass | kStateFlagHighQuality;

// The state as saved: the chunk, the other A/B slot and which slot is active.
struct InstanceState {
  std::vector<uint8_t> chunk;
  std::vector<uint8_t> otherSlot;  // single-preset blob
  int32_t activeSlot = 0;
};

class InstancePresets final : public QRVMasterController {
 public:
  explicit InstancePresets(InstanceValues& values);
  ~InstancePresets() override;
  InstancePresets(const InstancePresets&) = delete;
  InstancePresets& operator=(const InstancePresets&) = delete;

  // The state as the instance runs it: the known values are taken as edits first, like knob turns.
  // nullopt when the chunk could not be built.
  std::optional<InstanceState> Save();
  // The chunk, whole; the other slot's record when the state has one (a chunk from elsewhere has none),
  // and the active slot. A corrupt, truncated or foreign chunk or a bad slot number is refused before
  // anything changes. The values are left alone: the caller decides what the engine runs with
  // (PublishValues or ForgetValues).
  bool Load(std::span<const uint8_t> chunk, const PresetRecord* otherSlot, int32_t activeSlot);

  // The stream form above; flags are the binding's (unknown ones are refused on load).
  bool SaveStream(std::vector<uint8_t>& out, uint32_t flags);
  bool LoadStream(std::span<const uint8_t> bytes, uint32_t& flags);
  // A stream with a footer of ours whose flags this version does not know: written by a newer version
  // (LoadStream refuses it). Stateless.
  static bool StreamIsNewer(std::span<const uint8_t> bytes);

  // A preset the host chose from its own list (an LV2 preset, CLAP's preset-load), loaded as the bar
  // loads it: numbered and named as in the bar's list, unmodified, one undo step, in the active A/B slot.
  // Nothing goes to an open editor meanwhile: the host sets the values itself. The values are left alone,
  // as after Load. False, and nothing changed, for a preset the library does not have.
  bool LoadFactoryPreset(int index);
  // A user preset file: its item when the library lists it, else the record (named after the file) at no
  // item.
  void LoadPresetFile(const std::filesystem::path& file, const PresetRecord& record);

  // The current record's values into the values the instance runs with.
  void PublishValues();
  // Every value unknown until the binding hands it over again.
  void ForgetValues();

  // Built on first use. The reference outlives the lock: hold a PresetLock around its use where another
  // thread may save or restore meanwhile (see above).
  PresetManager& presetManager();
  // Builds the preset state when needed, lets it learn the known values and links the editor to it.
  PresetManager* AttachEditor(PresetValueSink* sink);
  // Unlinks sink if it is the linked one.
  void DetachEditor(PresetValueSink* sink);

  // QRVMasterController. Values the preset side sends while an editor acts on it go to the editor;
  // during a save or load they go nowhere, since the state's own values are the truth then.
  void SetParameter(int index, double value) override;
  int32_t WriteSetting(int index, double value) override;
  int32_t ReadSetting(int index, double* value) override;
  bool SendMessageToProcessor(const void*, std::size_t) override { return false; }
  PresetManager* GetPresetManager() override { return manager_.get(); }
  QRVBaseParametersController* GetParametersController() override;
  intptr_t ForwardToEditor(int32_t, intptr_t, void*) override { return 0; }

 private:
  void EnsureManager();
  void TakeValues();

  InstanceValues& values_;
  std::unique_ptr<PresetManager> manager_;
  std::unique_ptr<warmGlowController> controller_;
  // Guarded by the preset lock.
  PresetValueSink* sink_ = nullptr;
  bool stateCall_ = false;
};

}  // namespace qrv
