#include "format/aax/sdk/AAX_CEffectParameters.h"

#include <cstdio>
#include <cstring>

namespace {
void CopyCut(const char* s, char* text, uint32_t size) {
  if (text != nullptr && size > 0) std::snprintf(text, size, "%s", s);
}
}  // namespace

AAX_CEffectParameters::AAX_CEffectParameters() = default;
AAX_CEffectParameters::~AAX_CEffectParameters() = default;

AAX_Result AAX_CEffectParameters::Initialize(AAX_IACFUnknown* host) {
  mHost = host;
  mController = std::make_unique<AAX_VController>(host);
  mAutomationDelegate = std::make_unique<AAX_VAutomationDelegate>(host);
  mPacketDispatcher.Initialize(mController.get(), &mParameterManager);
  return EffectInit();
}

AAX_Result AAX_CEffectParameters::Uninitialize() {
  mPacketDispatcher.Initialize(nullptr, &mParameterManager);
  mAutomationDelegate.reset();
  mController.reset();
  mHost = nullptr;
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::NotificationReceived(AAX_CTypeID, const void*, uint32_t) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::GetNumberOfParameters(int32_t* count) const {
  if (count == nullptr) return AAX_ERROR_NULL_OBJECT;
  *count = mParameterManager.NumParameters();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterIDFromIndex(int32_t index, char* id, uint32_t size) const {
  const AAX_CParameter* p = mParameterManager.GetParameter(index);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_INDEX;
  CopyCut(p->Identifier(), id, size);
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterName(AAX_CParamID id, char* name, uint32_t size) const {
  const AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  CopyCut(p->Name(), name, size);
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterNormalizedValue(AAX_CParamID id, double* value) const {
  const AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  if (value != nullptr) *value = p->GetNormalizedValue();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const {
  const AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  if (value != nullptr) *value = p->GetNormalizedDefaultValue();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterNumberOfSteps(AAX_CParamID id, int32_t* steps) const {
  const AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  if (steps != nullptr) *steps = p->GetNumberOfSteps();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterType(AAX_CParamID id, int32_t* type) const {
  const AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  if (type != nullptr) *type = p->GetType();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterIsAutomatable(AAX_CParamID id, bool* automatable) const {
  const AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  if (automatable != nullptr) *automatable = p->Automatable();
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterValueString(AAX_CParamID id, double value, char* text,
                                                          uint32_t maxLength) const {
  const AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  return p->GetValueString(value, text, maxLength) ? AAX_SUCCESS : AAX_ERROR_INVALID_STRING_CONVERSION;
}

AAX_Result AAX_CEffectParameters::UpdateParameterNormalizedValue(AAX_CParamID id, double value, int32_t) {
  AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  const bool changed = p->SetNormalizedValue(value);
  const AAX_Result r = mPacketDispatcher.SetDirty(id);
  if (changed) ++mNumPlugInChanges;
  return r;
}

AAX_Result AAX_CEffectParameters::GenerateCoefficients() { return mPacketDispatcher.Dispatch(); }

AAX_Result AAX_CEffectParameters::ResetFieldData(AAX_CFieldIndex, void* data, uint32_t size) {
  if (data != nullptr) std::memset(data, 0, size);
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetNumberOfChunks(int32_t* count) const {
  if (count == nullptr) return AAX_ERROR_NULL_OBJECT;
  *count = 1;
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetChunkIDFromIndex(int32_t index, AAX_CTypeID* id) const {
  if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (index != 0) {
    *id = 0;
    return AAX_ERROR_INVALID_CHUNK_INDEX;
  }
  *id = AAX_kControlsChunkID;
  return AAX_SUCCESS;
}

void AAX_CEffectParameters::BuildChunkData() {
  mChunkParser.Clear();
  for (int32_t i = 0; i < mParameterManager.NumParameters(); ++i) {
    const AAX_CParameter* p = mParameterManager.GetParameter(i);
    if (p->Automatable()) mChunkParser.AddDouble(p->Identifier(), p->GetNormalizedValue());
  }
}

AAX_Result AAX_CEffectParameters::GetChunkSize(AAX_CTypeID id, uint32_t* size) {
  if (size == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (id != AAX_kControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
  BuildChunkData();
  mChunkSize = mChunkParser.GetChunkDataSize();
  if (mChunkSize < 0) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
  *size = static_cast<uint32_t>(mChunkSize);
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) {
  if (chunk == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (id != AAX_kControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
  BuildChunkData();
  const int32_t size = mChunkParser.GetChunkDataSize();
  // The host sized its buffer from the last size request.
  if (size != mChunkSize || size == 0) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
  chunk->fSize = size;
  chunk->fVersion = mChunkParser.GetChunkVersion();
  std::memset(chunk->fName, 0, sizeof chunk->fName);
  std::snprintf(chunk->fName, sizeof chunk->fName, "%s", AAX_kControlsChunkName);
  mChunkParser.GetChunkData(AAX_ChunkData(chunk));
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) {
  if (chunk == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (id != AAX_kControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
  AAX_CChunkDataParser parser;
  const AAX_Result r = parser.LoadChunk(chunk);
  if (r != AAX_SUCCESS) return r;
  for (int32_t i = 0; i < mParameterManager.NumParameters(); ++i) {
    const AAX_CParameter* p = mParameterManager.GetParameter(i);
    double v = 0.0;
    if (p->Automatable() && parser.FindDouble(p->Identifier(), &v)) {
      UpdateParameterNormalizedValue(p->Identifier(), v, AAX_eUpdateSource_Chunk);
    }
  }
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::CompareActiveChunk(const AAX_SPlugInChunk* chunk, bool* equal) {
  if (chunk == nullptr || equal == nullptr) return AAX_ERROR_NULL_OBJECT;
  *equal = true;
  if (chunk->fChunkID != AAX_kControlsChunkID) return AAX_SUCCESS;
  AAX_CChunkDataParser parser;
  const AAX_Result r = parser.LoadChunk(chunk);
  if (r != AAX_SUCCESS) {
    *equal = false;
    return r;
  }
  for (int32_t i = 0; i < mParameterManager.NumParameters(); ++i) {
    const AAX_CParameter* p = mParameterManager.GetParameter(i);
    double v = 0.0;
    if (p->Automatable() && (!parser.FindDouble(p->Identifier(), &v) || v != p->GetNormalizedValue())) {
      *equal = false;
      break;
    }
  }
  return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::TouchParameter(AAX_CParamID id) {
  if (mParameterManager.GetParameterByID(id) == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  return mAutomationDelegate != nullptr && mAutomationDelegate->IsValid() ? mAutomationDelegate->TouchParameter(id)
                                                                          : AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::ReleaseParameter(AAX_CParamID id) {
  if (mParameterManager.GetParameterByID(id) == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  return mAutomationDelegate != nullptr && mAutomationDelegate->IsValid() ? mAutomationDelegate->ReleaseParameter(id)
                                                                          : AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::SetParameterNormalizedValue(AAX_CParamID id, double value) {
  if (mParameterManager.GetParameterByID(id) == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  if (mAutomationDelegate != nullptr && mAutomationDelegate->IsValid()) {
    return mAutomationDelegate->PostSetValueRequest(id, value);
  }
  return UpdateParameterNormalizedValue(id, value, AAX_eUpdateSource_Unspecified);
}
