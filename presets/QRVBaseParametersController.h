// The framework's abstract parameters controller: the product-side object through which the host binding
// saves and restores the instance state and hands over messages posted by the processor. Created with,
// owned by and called from the instance's QRVMasterController, on the host's main thread.
//
// Operation order is part of the interface (slot 0 destructor ... slot 6): keep it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrv {

class QRVMasterController;

class QRVBaseParametersController {
 public:
  explicit QRVBaseParametersController(QRVMasterController& owner) : owner_(owner) {}
  // Slot 0.
  virtual ~QRVBaseParametersController() = default;
  QRVBaseParametersController(const QRVBaseParametersController&) = delete;
  QRVBaseParametersController& operator=(const QRVBaseParametersController&) = delete;

  // Slot 1: called once at the end of the host binding's effect initialisation.
  virtual void Initialize() {}
  // Slot 2: every (index, value) the master controller's SetParameter receives, before it acts on it.
  virtual void ParameterChanged(int index, double value) = 0;
  // Slot 3: points *data at the saved state (owned by the controller side, valid until the next call)
  // and returns its size; 0 when there is nothing to save.
  virtual int32_t GetStateChunk(const uint8_t** data) = 0;
  // Slot 4: restores from saved state of `size` bytes.
  virtual void SetStateChunk(const uint8_t* data, std::size_t size) = 0;
  // Slot 5: a message block posted by the processor; true when handled.
  virtual bool ReceiveMessage(const void* block, std::size_t size) = 0;
  // Slot 6: called on each direct-data timer wake-up.
  virtual void Idle() = 0;

 protected:
  QRVMasterController& owner() { return owner_; }

 private:
  QRVMasterController& owner_;
};

}  // namespace qrv
