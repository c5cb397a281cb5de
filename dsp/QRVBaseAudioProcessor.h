// The framework's host-independent audio processor interface and the processor's handle towards the
// rest of its instance. Every operation runs on the host's audio thread, one at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrv {

inline constexpr std::size_t kParameterMessageMaxSize = 1024;

// The parameter message: a header whose byte 8 is the kind and byte 9 the entry count (signed), then
// entries of a 32-bit index at 0 and a 64-bit double value at 8, both little-endian. At most 63 entries
// fit the 1024 bytes.
inline constexpr std::size_t kParameterMessageHeaderSize = 10;
inline constexpr std::size_t kParameterMessageKindOffset = 8;
inline constexpr std::size_t kParameterMessageCountOffset = 9;
inline constexpr uint8_t kParameterMessageKindValues = 9;
inline constexpr std::size_t kParameterMessageEntrySize = 16;
inline constexpr std::size_t kParameterMessageValueOffset = 8;
inline constexpr std::size_t kParameterMessageMaxEntries =
    (kParameterMessageMaxSize - kParameterMessageHeaderSize) / kParameterMessageEntrySize;
static_assert(kParameterMessageMaxEntries == 63);

// Implemented by the host binding; handed to the processor before every block.
class QRVMasterAudioProcessor {
 public:
  virtual ~QRVMasterAudioProcessor() = default;
  // Address of the host's transport time information (may be null).
  virtual const void* GetTimeInfo() = 0;
  // A message from the processor to the controller side: false for a null block, size 0 or a size
  // above 1024; otherwise the block is kept and true returned.
  virtual bool PostMessage(const void* block, std::size_t size) = 0;
  virtual void Idle() = 0;
};

// Channel pointer pairs: {channel 0, channel 1}; channel 1 may be null. Input and output may alias:
// every loop reads a frame before it writes it.
class QRVBaseAudioProcessor {
 public:
  virtual ~QRVBaseAudioProcessor() = default;
  virtual void ProcessBlock(const float* const inputs[2], float* const outputs[2], int32_t count) = 0;
  virtual void ProcessBlockDouble(const double* const inputs[2], double* const outputs[2], int32_t count) = 0;
  virtual void BypassBlock(const float* const inputs[2], float* const outputs[2], int32_t count) = 0;
  virtual void BypassBlockDouble(const double* const inputs[2], double* const outputs[2], int32_t count) = 0;
  virtual int GetLatency() = 0;
  virtual int GetTailSize() = 0;
  // Stores the rate clamped to 22050..192000; false when it had to be clamped. Takes effect at Reset.
  virtual bool SetSampleRate(double rate) = 0;
  virtual void Reset() = 0;
  virtual bool SupportsSinglePrecision() = 0;
  virtual bool SupportsDoublePrecision() = 0;
  virtual void SetParameter(unsigned index, double value) = 0;
  virtual bool GetMeter(unsigned index, double* value) = 0;
  // Applies a parameter message block (kParameterMessageKindValues: list of index/value entries); never
  // reads beyond size or beyond kParameterMessageMaxSize bytes. Always true.
  virtual bool ApplyMessage(const void* block, std::size_t size) = 0;

  void SetMaster(QRVMasterAudioProcessor* master) { master_ = master; }
  double GetSampleRate() const { return sampleRate_; }

 protected:
  QRVMasterAudioProcessor* master_ = nullptr;
  double sampleRate_ = 44100.0;
  // Channel pointers of the current block, channel 1 replaced by channel 0 where absent.
  const float* in32_[2] = {};
  float* out32_[2] = {};
  const double* in64_[2] = {};
  double* out64_[2] = {};
};

}  // namespace qrv
