// The controller side of one LV2 instance: the parameter hub that owns the instance's PresetManager and
// the product controller, and the LV2 state save and restore built on them.
//
// State carries the 'All ' chunk exactly as the AAX binding writes it (controller prefix and host-state
// blob, whose record 0 is the active A/B slot), and beside it, under keys of their own, the other A/B
// slot as a single-preset blob and which slot was active, so that A/B compare survives a reload.
//
// Threads: Save may run beside Run (it reads the engine's values only through the atomics Run
// publishes); Restore and destruction run in the instantiation class, never beside Run. Neither is
// called on the audio thread. The PresetManager is built at the first save or restore, so that a host
// that only scans plug-ins leaves the user's folders and settings alone (or when a UI attaches). A
// process-wide mutex serialises every use of the preset objects, which share one library per process;
// the UI, on the host's UI thread, takes it too (Lv2InstanceAccess).
#pragma once

#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "dsp/ParameterSet.h"
#include "format/lv2/Lv2InstanceAccess.h"
#include "presets/QRVMasterController.h"

namespace qrv {
class PresetManager;
class warmGlowController;
}  // namespace qrv

namespace qrv::lv2 {

// The normalised values Run last handed to the engine, per parameter slot 0..11; NaN before the first
// and after a restore, until Run hands the port's value to the engine again.
using PublishedValues = std::array<std::atomic<double>, kPresetValueCount>;

class Lv2State final : public QRVMasterController {
 public:
  // map may be null: state is then refused with LV2_STATE_ERR_NO_FEATURE.
  Lv2State(const LV2_URID_Map* map, PublishedValues& published);
  ~Lv2State() override;
  Lv2State(const Lv2State&) = delete;
  Lv2State& operator=(const Lv2State&) = delete;

  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  // A state without our chunk (a preset of port values) restores nothing and succeeds. A corrupt,
  // truncated or foreign chunk, or a malformed slot, is refused before anything changes. A restored
  // chunk clears the published values: the values the engine ran with before are not edits of the new
  // state, so a save before the next Run gives the restored state as it is.
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // The preset state, built on first use. For tests; main thread.
  PresetManager& presetManager();

  // The UI's link (Lv2InstanceAccess); UI thread.
  PresetManager* AttachEditor(Lv2EditorLink* link);
  void DetachEditor(Lv2EditorLink* link);
  static void LockPresets();
  static void UnlockPresets();
  uint32_t RestoreCount() const { return restores_.load(std::memory_order_acquire); }

  // QRVMasterController. Values the preset side sends while the UI acts on it go to the UI, which
  // writes them to the host's ports; during the host's save and restore they go nowhere, since the
  // host's stored port values are the truth then.
  void SetParameter(int index, double value) override;
  int32_t WriteSetting(int index, double value) override;
  int32_t ReadSetting(int index, double* value) override;
  bool SendMessageToProcessor(const void*, std::size_t) override { return false; }
  PresetManager* GetPresetManager() override { return manager_.get(); }
  QRVBaseParametersController* GetParametersController() override;
  intptr_t ForwardToEditor(int32_t, intptr_t, void*) override { return 0; }

 private:
  void EnsureManager();
  void TakePublishedValues();

  PublishedValues& published_;
  LV2_URID keyChunk_ = 0, keyOtherSlot_ = 0, keyActiveSlot_ = 0, atomChunk_ = 0, atomInt_ = 0;
  std::unique_ptr<PresetManager> manager_;
  std::unique_ptr<warmGlowController> controller_;
  // Guarded by the preset lock.
  Lv2EditorLink* link_ = nullptr;
  bool hostCall_ = false;
  std::atomic<uint32_t> restores_{0};
};

}  // namespace qrv::lv2
