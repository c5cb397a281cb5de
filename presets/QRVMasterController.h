// The per-instance parameter hub of the framework. The host binding implements it (one per plug-in
// instance); the product's parameters controller, the PresetManager and the editor call it.
//
// Threads: every operation is called on the host's main (GUI) thread, and on the thread on which the
// host asks for or hands back its saved state (which hosts serialise with the main thread). Nothing here
// runs on the audio thread; values reach the audio side only through the host.
//
// Operation order is part of the interface (slot 1 = SetParameter ... slot 9): keep it.
#pragma once

#include "presets/IndexTable.h"
#include <cstddef>
#include <cstdint>

namespace qrv {

class PresetManager;
class QRVBaseParametersController;

class QRVMasterController {
 public:
  virtual ~QRVMasterController() = default;

  // Slot 1. A new normalised value for a parameter slot 0..28, or a message index (MessageIndex:
  // kMessagePresetStart/kMessagePresetStop around a preset load, kMessageHostState, kMessageZoom,
  // kMessageHints, ...). Called by the PresetManager for every value it applies (kMessagePresetStart, the
  // stored slots 0 and 2..7 in order, kMessagePresetStop), by warmGlowController after a state restore
  // (kMessageHostState, kMessageZoom, then slots 0..11) and by the editor. The implementation passes stored-slot changes that
  // did not come from a preset load back to PresetManager::ParameterChanged.
  virtual void SetParameter(int index, double value) = 0;

  // Slot 2. Stores a numeric setting (settings store, "QRVWG1: <index>"). Returns 0 on success.
  virtual int32_t WriteSetting(int index, double value) = 0;

  // Slot 3. Reads a numeric setting into *value only when it is stored and lies within 0..1; otherwise
  // *value keeps the caller's default. Returns 0 when a value was read.
  virtual int32_t ReadSetting(int index, double* value) = 0;

  // Slot 4. Queues a message of at most 1024 bytes for the audio side; false when it does not fit or no
  // channel exists.
  virtual bool SendMessageToProcessor(const void* bytes, std::size_t length) = 0;

  // Slot 5. The instance's preset manager (may be null while the instance is being built or torn down).
  virtual PresetManager* GetPresetManager() = 0;

  // Slot 6. The product's parameters controller (warmGlowController).
  virtual QRVBaseParametersController* GetParametersController() = 0;

  // Slot 7. Forwards its three arguments to the open editor's matching operation; 0 when none is open.
  virtual intptr_t ForwardToEditor(int32_t selector, intptr_t value, void* data) = 0;

  // Slots 8 and 9: no effect.
  virtual void Reserved8() {}
  virtual void Reserved9() {}
};

}  // namespace qrv
