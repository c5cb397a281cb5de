// Base of a plug-in's data model: host parameters with their manager, the packet dispatcher that carries
// their values to the render context, the standard controls chunk, and the plug-in side of automation
// (touch, set request, release). Main thread.
#pragma once

#include <memory>

#include "format/aax/sdk/AAX_CChunkDataParser.h"
#include "format/aax/sdk/AAX_CPacketDispatcher.h"
#include "format/aax/sdk/AAX_CParameter.h"
#include "format/aax/sdk/AAX_VController.h"

inline constexpr AAX_CTypeID AAX_kControlsChunkID = AAX_FourCC("elck");
inline constexpr const char* AAX_kControlsChunkName = "Complete Controls State";

class AAX_CEffectParameters : public AAX_IEffectParameters, public AAX_CModuleObject {
 public:
  AAX_CEffectParameters();
  ~AAX_CEffectParameters() override;
  AAX_CEffectParameters(const AAX_CEffectParameters&) = delete;
  AAX_CEffectParameters& operator=(const AAX_CEffectParameters&) = delete;

  AAX_Result Initialize(AAX_IACFUnknown* host) override;
  AAX_Result Uninitialize() override;
  AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) override;

  AAX_Result GetNumberOfParameters(int32_t* count) const override;
  AAX_Result GetParameterIDFromIndex(int32_t index, char* id, uint32_t size) const override;
  AAX_Result GetParameterName(AAX_CParamID id, char* name, uint32_t size) const override;
  AAX_Result GetParameterNormalizedValue(AAX_CParamID id, double* value) const override;
  AAX_Result GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const override;
  AAX_Result GetParameterNumberOfSteps(AAX_CParamID id, int32_t* steps) const override;
  AAX_Result GetParameterType(AAX_CParamID id, int32_t* type) const override;
  AAX_Result GetParameterIsAutomatable(AAX_CParamID id, bool* automatable) const override;
  AAX_Result GetParameterValueString(AAX_CParamID id, double value, char* text, uint32_t maxLength) const override;
  AAX_Result UpdateParameterNormalizedValue(AAX_CParamID id, double value, int32_t source) override;
  AAX_Result GenerateCoefficients() override;
  AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t size) override;

  AAX_Result GetNumberOfChunks(int32_t* count) const override;
  AAX_Result GetChunkIDFromIndex(int32_t index, AAX_CTypeID* id) const override;
  AAX_Result GetChunkSize(AAX_CTypeID id, uint32_t* size) override;
  AAX_Result GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) override;
  AAX_Result SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) override;
  AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk, bool* equal) override;

  // Plug-in side of automation; without a host the value is applied at once.
  AAX_Result TouchParameter(AAX_CParamID id);
  AAX_Result ReleaseParameter(AAX_CParamID id);
  AAX_Result SetParameterNormalizedValue(AAX_CParamID id, double value);

  // Changes counted by UpdateParameterNormalizedValue (value differed from the previous one).
  int32_t NumberOfChanges() const { return mNumPlugInChanges; }

 protected:
  // Registers the host parameters and packets; called from Initialize.
  virtual AAX_Result EffectInit() { return AAX_SUCCESS; }

  AAX_VController* Controller() const { return mController.get(); }
  AAX_VAutomationDelegate* AutomationDelegate() const { return mAutomationDelegate.get(); }
  AAX_IACFUnknown* HostObject() const { return mHost; }

  // Chunked parameters: every automatable one.
  void BuildChunkData();

  AAX_CParameterManager mParameterManager;
  AAX_CPacketDispatcher mPacketDispatcher;
  AAX_CChunkDataParser mChunkParser;
  int32_t mNumPlugInChanges = 0;
  int32_t mChunkSize = 0;

 private:
  AAX_IACFUnknown* mHost = nullptr;
  std::unique_ptr<AAX_VController> mController;
  std::unique_ptr<AAX_VAutomationDelegate> mAutomationDelegate;
};
