// The preset side of one CLAP instance (its PresetManager and the product controller) and the state
// stream built on them.
//
// The stream starts with the 'All ' chunk exactly as the AAX binding writes it and LV2 stores it under
// its chunk key (controller prefix and host-state blob, whose record 0 is the active A/B slot). Behind
// it, as LV2 stores under keys of its own, come the other A/B slot as a single-preset blob and which
// slot was active, and the bypass the host keeps as a parameter (CLAP hosts store parameters only
// through the state), closed by a footer that says how long that blob is:
//
//   chunk | other-slot blob | u32 LE blob size | i32 LE active slot | u32 LE flags (1: bypass) | "QRVc"
//
// The footer is required: the chunk reader stops at its last record, so a stream cut short behind the
// chunk would otherwise load as a chunk alone and silently lose the other slot.
//
// Threads: [main] for everything (CLAP calls state save and load there). A process-wide mutex
// serialises every use of the preset objects, which share one library per process.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "dsp/ParameterSet.h"
#include "presets/QRVMasterController.h"

namespace qrv {
class PresetManager;
class warmGlowController;
}  // namespace qrv

namespace qrv::clap {

// The normalised values of parameter slots 0..11 the instance runs with. Written on the main thread
// (state, flush while inactive) and the audio thread (events); read on both.
using ControlValues = std::array<std::atomic<double>, kPresetValueCount>;

inline constexpr std::array<uint8_t, 4> kStateFooterMagic = {'Q', 'R', 'V', 'c'};
inline constexpr std::size_t kStateFooterSize = 16;
// Anything longer is no state of ours; read no further.
inline constexpr std::size_t kStateMaxSize = 1u << 20;

struct StateParts {
  std::span<const uint8_t> chunk;
  std::span<const uint8_t> otherSlot;
  int32_t activeSlot = 0;
  uint32_t flags = 0;
};
inline constexpr uint32_t kStateFlagBypass = 1;
std::vector<uint8_t> JoinState(std::span<const uint8_t> chunk, std::span<const uint8_t> otherSlot, int32_t activeSlot,
                               uint32_t flags);
// The parts of a stream, bounds-checked; nullopt without a footer or for one that does not fit.
std::optional<StateParts> SplitState(std::span<const uint8_t> bytes);

// Where the values the preset side sets (a preset the bar loads, A/B, undo) go: the editor, which
// sends them to the host as edits. [main]
class PresetValueSink {
 public:
  virtual ~PresetValueSink() = default;
  virtual void PresetValue(int index, double value) = 0;
};

class ClapState final : public QRVMasterController {
 public:
  explicit ClapState(ControlValues& values);
  ~ClapState() override;
  ClapState(const ClapState&) = delete;
  ClapState& operator=(const ClapState&) = delete;

  // The state as the instance runs it; false (out untouched) when the chunk could not be built.
  bool Save(std::vector<uint8_t>& out, bool bypass);
  // A corrupt, truncated or foreign stream is refused before anything changes. A loaded state sets the
  // values and bypass; the caller hands them to the engine.
  bool Load(std::span<const uint8_t> bytes, bool& bypass);

  // Built on first use, so that a host that only scans leaves the user's folders alone.
  PresetManager& presetManager();
  // The editor while it is open; null to detach.
  void SetSink(PresetValueSink* sink) { sink_ = sink; }

  // QRVMasterController.
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

  ControlValues& values_;
  std::unique_ptr<PresetManager> manager_;
  std::unique_ptr<warmGlowController> controller_;
  bool hostCall_ = false;
  PresetValueSink* sink_ = nullptr;
};

}  // namespace qrv::clap
