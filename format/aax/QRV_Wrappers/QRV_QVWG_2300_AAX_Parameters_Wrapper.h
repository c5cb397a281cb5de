// The data model of one instance: the host parameters of the parameter set, the host side of the
// parameter hub, the two state chunks ('elck' and 'All ') and the initial contents of the private-data
// fields. Main thread.
#pragma once

#include <array>

#include "format/aax/QRV_Wrappers/QRV_AAX_ControllerWrapper.h"
#include "format/aax/sdk/AAX_CEffectParameters.h"

namespace qrv::aax {

inline constexpr AAX_CTypeID kStateChunkID = AAX_FourCC("All ");
inline constexpr const char* kMasterBypassID = "MasterBypassID";
inline constexpr uint32_t kStateTrailerWord = 0x00300000u;
inline constexpr uint32_t kStateTrailerSize = 8;

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

  QRV_AAX_ControllerWrapper controller_;
  int32_t chunkState_ = kChunkNormal;
  int32_t stateChunkSize_ = -1;  // answer of the last 'All ' size request
  warmGlowEffect* engine_ = nullptr;  // built in the host's field 24 by ResetFieldData
};

// Index of a host identifier: 0..28, 70 "PresetSTART", 71 "PresetSTOP"; -1 for none.
int IndexOfID(AAX_CParamID id);
// Identifier of index 0..28, 70 or 71; null otherwise.
const char* IDOfIndex(int index);

}  // namespace qrv::aax
