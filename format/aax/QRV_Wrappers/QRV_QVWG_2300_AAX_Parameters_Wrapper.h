// The data model of one instance: the host parameters of the parameter set, the host side of the
// parameter hub, the two state chunks ('elck' and 'All ') and the initial contents of the private-data
// fields. Main thread, except highQuality (any thread).
#pragma once

#include <array>
#include <atomic>

#include "format/aax/QRV_Wrappers/QRV_AAX_ControllerWrapper.h"
#include "format/aax/sdk/AAX_CEffectParameters.h"

namespace qrv::aax {

inline constexpr AAX_CTypeID kStateChunkID = AAX_FourCC("All ");
inline constexpr const char* kMasterBypassID = "MasterBypassID";
inline constexpr uint32_t kStateTrailerWord = 0x00300000u;
inline constexpr uint32_t kStateTrailerSize = 8;
// High quality: a host parameter that automation cannot move (so the controls chunk, which holds the
// automatable ones, and with it a host preset, never carry it), kept with the instance in the 'All '
// chunk as this bit of its second trailer word. Off, the chunk is as it always was; versions from before
// the option never read the trailer and load such a chunk without it.
inline constexpr const char* kHighQualityID = "HighQualityID";
inline constexpr uint32_t kStateTrailerHighQuality = 0x2u;

enum ChunkNotificationState : int32_t { kChunkNormal = 0, kChunkSessionOpening = 1, kChunkPresetOpened = 2 };

class QRV_QVWG_2300_AAX_Parameters_Wrapper final : public AAX_CEffectParameters {
 public:
  QRV_QVWG_2300_AAX_Parameters_Wrapper();
  ~QRV_QVWG_2300_AAX_Parameters_Wrapper() override;

  AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) override;
  AAX_Result UpdateParameterNormalizedValue(AAX_CParamID id, double value, int32_t source) override;
  AAX_Result GetParameterValueString(AAX_CParamID id, double value, char* text, uint32_t maxLength) const override;
  AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t size) override;
  AAX_Result GetNumberOfChunks(int32_t* count) const override;
  AAX_Result GetChunkIDFromIndex(int32_t index, AAX_CTypeID* id) const override;
  AAX_Result GetChunkSize(AAX_CTypeID id, uint32_t* size) override;
  AAX_Result GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) override;
  AAX_Result SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) override;

  QRV_AAX_ControllerWrapper& controller() { return controller_; }
  int32_t chunkState() const { return chunkState_; }

  // High quality as the instance holds it; the direct-data object hands it to the engine. Any thread.
  bool highQuality() const { return highQuality_.load(std::memory_order_relaxed); }
  // Switches it (the editor, a restored state): taken at once, and set on the host parameter as a touched
  // edit, so that the host and its control surfaces show it.
  void SetHighQuality(bool on);

  // The plug-in side of automation, as the hub uses it.
  using AAX_CEffectParameters::ReleaseParameter;
  using AAX_CEffectParameters::SetParameterNormalizedValue;
  using AAX_CEffectParameters::TouchParameter;

 protected:
  AAX_Result EffectInit() override;

 private:
  // The product controller's state, or none; sets *data.
  int32_t StateData(const uint8_t** data);
  AAX_Result SetStateChunk(const unsigned char* data, int32_t size);
  bool BlobIsWhole(const unsigned char* data, int32_t size);
  // High quality from the trailer of a state chunk of s bytes that is being applied.
  void RestoreHighQuality(const unsigned char* data, int32_t s);

  QRV_AAX_ControllerWrapper controller_;
  int32_t chunkState_ = kChunkNormal;
  int32_t stateChunkSize_ = -1;  // answer of the last 'All ' size request
  warmGlowEffect* engine_ = nullptr;  // built in the host's field 24 by ResetFieldData
  std::atomic<bool> highQuality_{false};  // written on the main thread
};

// Index of a host identifier: 0..28, 70 "PresetSTART", 71 "PresetSTOP"; -1 for none.
int IndexOfID(AAX_CParamID id);
// Identifier of index 0..28, 70 or 71; null otherwise.
const char* IDOfIndex(int index);

}  // namespace qrv::aax
