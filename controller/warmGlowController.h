// The product's parameters controller: saves the instance state into, and restores it from, the host's
// 'All ' chunk, as the PresetManager's host-state blob behind an eight-byte prefix. Created with, owned
// by and called from the instance's QRVMasterController, on the host's main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "presets/IndexTable.h"
#include "presets/QRVBaseParametersController.h"
#include "presets/StateChunk.h"

namespace qrv {

class warmGlowController final : public QRVBaseParametersController {
 public:
  explicit warmGlowController(QRVMasterController& owner) : QRVBaseParametersController(owner) {}

  void Initialize() override {}
  void ParameterChanged(int, double) override {}
  // Writes prefix + host-state blob into the PresetManager's host-state buffer; 0 without a manager.
  int32_t GetStateChunk(const uint8_t** data) override;
  // Checks the prefix's product code (either byte order), restores the PresetManager from the blob
  // behind it and reports the host-state word (kMessageHostState) and zoom (kMessageZoom); then, whether or not anything was
  // restored, hands the current record's 12 values to the owner, slot 0 first.
  void SetStateChunk(const uint8_t* data, std::size_t size) override;
  bool ReceiveMessage(const void*, std::size_t) override { return true; }
  void Idle() override {}
};

}  // namespace qrv
