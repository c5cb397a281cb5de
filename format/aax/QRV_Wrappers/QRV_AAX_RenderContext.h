// The record the host fills for each instance before each render call, and the byte layouts of the
// private-data fields the render procedure and the direct-data object share with the host.
//
// Who writes what. The host promises that a render call and a direct-data timer wake-up of one instance
// never overlap, so the private data needs no lock; each side still writes only the fields listed here
// for it, the direct-data side by offset through WritePortDirect, never a whole block.
// - Main thread: every field, once, in the data model's ResetFieldData, before the first render call.
// - Audio thread (render procedure): HiddenBlock lastPort, lastStart, lastStop and the master object
//   (TimeInfo, outgoing message); a pending value back to -1.0 once the engine took it; latency, last
//   rate and the engine; MessageBus toEngineLength back to 0 once the engine took the message, and
//   toController with toControllerLength. It reads HiddenBlock highQuality.
// - Direct-data timer thread: a HiddenBlock pending value (0 or more) it delivers, and highQuality;
//   MessageBus toEngine with toEngineLength; toController zeroed and toControllerLength back to 0 once the
//   message was handed on. It reads latency, highQuality and toController, and nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>

#include "dsp/QRVBaseAudioProcessor.h"
#include "dsp/warmGlowEffect.h"
#include "format/aax/sdk/AAX_Interfaces.h"

namespace qrv::aax {

// Field indices of the render context (each field is one pointer).
enum ContextField : AAX_CFieldIndex {
  kFieldBypass = 0,
  kFieldFirstParameterPort = 1,  // ports 1..12: parameter indices 0..11
  kFieldInputs = 13,
  kFieldOutputs = 14,
  kFieldBufferLength = 15,
  kFieldSampleRate = 16,
  kFieldMeters = 17,
  kFieldMIDIInput = 18,
  kFieldTransport = 20,
  kFieldHidden = 21,
  kFieldLatency = 22,
  kFieldLastRate = 23,
  kFieldEngine = 24,
  kFieldMessageBus = 25,
  kFieldPresetStart = 26,
  kFieldPresetStop = 27,
  kFieldCount = 28,
};

inline constexpr int kPortParameterCount = 12;
inline constexpr int kMeterCount = 67;
inline constexpr int kCustomMeterCount = 64;
inline constexpr int kMaxChannels = 24;
// Marks "never seen" in the last-value slots: every real port value differs from it.
inline constexpr float kUnsetValue = -1.666f;
// A last-value slot to be sent again at the next block (a preset load resends every port); like
// kUnsetValue it differs from every real port value.
inline constexpr float kResendValue = -1.0f;
// A pending slot with nothing to deliver; any negative value means none.
inline constexpr float kNoPendingValue = -1.0f;
// A custom meter with no value in this block.
inline constexpr float kNoMeterValue = 1.2345679f;
inline constexpr float kMeterOffset = 0.1f;

struct RenderContext {
  int32_t* bypass;
  float* parameterPorts[kPortParameterCount];
  float* const* inputs;
  float* const* outputs;
  int32_t* bufferLength;
  float* sampleRate;
  float* meters;  // kMeterCount floats
  AAX_IMIDINode* midiInput;
  void* unused19;
  AAX_IMIDINode* transport;
  struct HiddenBlock* hidden;
  int32_t* latency;
  float* lastRate;
  warmGlowEffect* engine;
  struct MessageBus* bus;
  float* presetStart;
  float* presetStop;
};
static_assert(sizeof(RenderContext) == kFieldCount * sizeof(void*));

// Transport as the engine reads it; only the named fields are written, every other byte stays 0.
struct TimeInfo {
  double samplePosition;           // 0
  double reserved8[2];             // 8
  double quarterNotePosition;      // 24
  double tempo;                    // 32
  double reserved40[3];            // 40
  int32_t reserved64[5];           // 64
  int32_t flags;                   // 84
};
static_assert(sizeof(TimeInfo) == 88);
enum TimeInfoFlags : int32_t {
  kTransportChanged = 1,
  kTransportPlaying = 2,
  kQuarterNotesValid = 0x200,
  kTempoValid = 0x400,
};

// The host binding's handle for the engine (QRVMasterAudioProcessor); lives inside the HiddenBlock, built
// there by ResetFieldData and then used by the audio thread only.
class QRV_AAX_MasterAudioEffectWrapper final : public QRVMasterAudioProcessor {
 public:
  QRV_AAX_MasterAudioEffectWrapper() = default;
  const void* GetTimeInfo() override { return &timeInfo_; }
  bool PostMessage(const void* block, std::size_t size) override;
  void Idle() override {}

  TimeInfo& timeInfo() { return timeInfo_; }
  uint64_t messageLength() const { return length_; }
  const unsigned char* message() const { return message_; }
  void ClearMessage();

 private:
  TimeInfo timeInfo_{};
  unsigned char message_[kParameterMessageMaxSize] = {};
  uint64_t length_ = 0;
};
static_assert(sizeof(QRV_AAX_MasterAudioEffectWrapper) == 1128);

// Private-data field 21.
struct HiddenBlock {
  float lastPort[kPortParameterCount];  // 0: last value seen on ports 1..12
  float pending[17];                    // 48: values of indices 12..28 for the engine; negative: none
  float lastStart;                      // 116
  float lastStop;                       // 120
  // High quality as the data model holds it: 1.0 on, 0.0 off; anything below 0.5 (the "never seen"
  // value it starts with) is off. The engine follows it at the next block.
  float highQuality;                    // 124
  unsigned char unused[24];             // 128
  alignas(8) unsigned char master[sizeof(QRV_AAX_MasterAudioEffectWrapper)];  // 152

  QRV_AAX_MasterAudioEffectWrapper* Master() {
    return std::launder(reinterpret_cast<QRV_AAX_MasterAudioEffectWrapper*>(master));
  }
};
static_assert(sizeof(HiddenBlock) == 1280);
static_assert(offsetof(HiddenBlock, pending) == 48);
static_assert(offsetof(HiddenBlock, lastStart) == 116);
static_assert(offsetof(HiddenBlock, highQuality) == 124);
static_assert(offsetof(HiddenBlock, master) == 152);
inline constexpr int kHiddenFirstIndex = 12;
inline constexpr int kHiddenCount = 17;  // indices 12..28
// Where the pending value of index kHiddenFirstIndex + k lies in the HiddenBlock.
constexpr uint32_t HiddenPendingOffset(int k) {
  return static_cast<uint32_t>(offsetof(HiddenBlock, pending) + sizeof(float) * static_cast<std::size_t>(k));
}

// Private-data field 25.
struct MessageBus {
  unsigned char toEngine[kParameterMessageMaxSize];
  uint64_t toEngineLength;
  unsigned char toController[kParameterMessageMaxSize];
  uint64_t toControllerLength;
};
static_assert(sizeof(MessageBus) == 2064);
static_assert(offsetof(MessageBus, toController) == 1032);

inline constexpr uint32_t kHiddenBlockSize = sizeof(HiddenBlock);
inline constexpr uint32_t kMessageBusSize = sizeof(MessageBus);
inline constexpr uint32_t kEngineSize = sizeof(warmGlowEffect);

// Meter IDs in table order: input, output, gain reduction, then the 64 custom meters.
extern const std::array<AAX_CTypeID, kMeterCount> kMeterIDs;
// Parameter indices with the Meter flag, in index order, -1 ending the list (at most 64).
const std::array<int, kCustomMeterCount>& CustomMeterList();
// Meters 2 and up after a block: the engine's gain reduction, then each custom meter clamped to 0..1
// plus kMeterOffset, or kNoMeterValue where the engine gives none.
void WriteEngineMeters(QRVBaseAudioProcessor& engine, float* meters);

// The two native render procedures.
void RenderMono(void* const* instancesBegin, const void* instancesEnd);
void RenderStereo(void* const* instancesBegin, const void* instancesEnd);

}  // namespace qrv::aax
