// The LV2 state of one instance: the instance's preset side (InstancePresets) stored under three keys,
// the 'All ' chunk, the other A/B slot and which slot was active.
//
// Threads: Save may run beside Run (it reads the engine's values only through the atomics Run
// publishes); Restore and destruction run in the instantiation class, never beside Run. Neither is
// called on the audio thread. The UI, on the host's UI thread, takes the preset lock too
// (Lv2InstanceAccess).
#pragma once

#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "dsp/ParameterSet.h"
#include "format/lv2/Lv2InstanceAccess.h"
#include "controller/InstanceCore.h"
#include "controller/InstancePresets.h"

namespace qrv::lv2 {

class Lv2State final {
 public:
  // map may be null: state is then refused with LV2_STATE_ERR_NO_FEATURE. presets: the instance's,
  // over the normalised values Run last handed to the engine (NaN before the first Run and after a
  // restore, until Run hands the port's value over again); it outlives this.
  // core: its High quality is saved and restored with the state (a factory preset's leaves it alone).
  Lv2State(const LV2_URID_Map* map, InstancePresets& presets, InstanceCore& core);
  Lv2State(const Lv2State&) = delete;
  Lv2State& operator=(const Lv2State&) = delete;

  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  // A state restores High quality as it was saved (a state from before the option: off). A factory
  // preset's state (its number, without a chunk) makes the preset state that preset as the bar
  // loads it; the host sets the ports itself. A state with neither (a preset of port values) restores
  // nothing and succeeds. A corrupt,
  // truncated or foreign chunk, or a malformed slot, is refused before anything changes. A restored
  // chunk clears the published values: the values the engine ran with before are not edits of the new
  // state, so a save before the next Run gives the restored state as it is.
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // The preset state, built on first use. For tests; main thread.
  PresetManager& presetManager() { return presets_.presetManager(); }

  // The UI's link (Lv2InstanceAccess); UI thread.
  PresetManager* AttachEditor(PresetValueSink* link) { return presets_.AttachEditor(link); }
  void DetachEditor(PresetValueSink* link) { presets_.DetachEditor(link); }
  uint32_t RestoreCount() const { return restores_.load(std::memory_order_acquire); }

 private:
  LV2_State_Status RestoreFactoryPreset(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  InstancePresets& presets_;
  InstanceCore& core_;
  LV2_URID keyChunk_ = 0, keyOtherSlot_ = 0, keyActiveSlot_ = 0, keyFactoryPreset_ = 0, atomChunk_ = 0, atomInt_ = 0,
           atomLong_ = 0;
  std::atomic<uint32_t> restores_{0};
};

}  // namespace qrv::lv2
