#include "format/aax/QRV_Wrappers/QRV_AAX_Describe.h"

#include <exception>

#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"

namespace qrv::aax {
namespace {

// A failed result escaping the registration.
struct CheckedResult {
  AAX_Result result;
};

void Check(AAX_Result err) {
  if (err != AAX_SUCCESS) AAX_ReportAssert(__FILE__, __LINE__, "err == AAX_SUCCESS");
}

void DescribeComponent(AAX_VComponentDescriptor& c, AAX_CPropertyValue stem, AAX_CTypeID nativeID,
                       AAX_CRenderProc proc) {
  Check(c.AddAudioIn(kFieldInputs));
  Check(c.AddAudioOut(kFieldOutputs));
  Check(c.AddAudioBufferLength(kFieldBufferLength));
  Check(c.AddSampleRate(kFieldSampleRate));
  Check(c.AddMeters(kFieldMeters, kMeterIDs.data(), static_cast<uint32_t>(kMeterIDs.size())));
  if (c.AddMIDINode(kFieldMIDIInput, AAX_eMIDINodeType_LocalInput, QRV_PRODUCT_NAME, 0xFFFF) != 0) {
    AAX_ReportAssert(__FILE__, __LINE__, "err == 0");
  }
  if (c.AddMIDINode(kFieldTransport, AAX_eMIDINodeType_Transport, "Transport", 0xFFFF) != 0) {
    AAX_ReportAssert(__FILE__, __LINE__, "err == 0");
  }
  for (AAX_CFieldIndex port = kFieldBypass; port <= kFieldFirstParameterPort + kPortParameterCount - 1; ++port) {
    Check(c.AddDataInPort(port, 4, AAX_eDataInPortType_Unbuffered));
  }
  Check(c.AddDataInPort(kFieldPresetStart, 4, AAX_eDataInPortType_Unbuffered));
  Check(c.AddDataInPort(kFieldPresetStop, 4, AAX_eDataInPortType_Unbuffered));
  Check(c.AddPrivateData(kFieldHidden, kHiddenBlockSize, AAX_ePrivateDataOptions_DefaultOptions));
  Check(c.AddPrivateData(kFieldLatency, 4, AAX_ePrivateDataOptions_DefaultOptions));
  Check(c.AddPrivateData(kFieldLastRate, 4, AAX_ePrivateDataOptions_DefaultOptions));
  Check(c.AddPrivateData(kFieldEngine, kEngineSize, AAX_ePrivateDataOptions_DefaultOptions));
  Check(c.AddPrivateData(kFieldMessageBus, kMessageBusSize, AAX_ePrivateDataOptions_DefaultOptions));

  AAX_VPropertyMap* p = c.NewPropertyMap();
  if (p == nullptr) {
    AAX_ReportAssert(__FILE__, __LINE__, "properties");
    return;
  }
  Check(p->AddProperty(AAX_eProperty_ManufacturerID, static_cast<AAX_CPropertyValue>(kManufacturerID)));
  Check(p->AddProperty(AAX_eProperty_ProductID, static_cast<AAX_CPropertyValue>(kProductID)));
  Check(p->AddProperty(AAX_eProperty_CanBypass, 1));
  Check(p->AddProperty(AAX_eProperty_InputStemFormat, stem));
  Check(p->AddProperty(AAX_eProperty_OutputStemFormat, stem));
  Check(p->AddProperty(AAX_eProperty_PlugInID_Native, static_cast<AAX_CPropertyValue>(nativeID)));
  Check(p->AddProperty(AAX_eProperty_PlugInID_AudioSuite, static_cast<AAX_CPropertyValue>(kAudioSuiteID)));
  Check(c.AddProcessProc_Native(proc, p));
}

const char* const kNamedMeters[3] = {"Input", "Output", "GainReduction"};
const AAX_CPropertyValue kNamedMeterTypes[3] = {AAX_eMeterType_Input, AAX_eMeterType_Output, AAX_eMeterType_CLGain};

}  // namespace

AAX_Result DescribeEffect(AAX_VEffectDescriptor& effect) {
  AAX_VComponentDescriptor* c = effect.NewComponentDescriptor();
  if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
  Check(effect.AddName(kEffectName));
  Check(effect.AddCategory(AAX_ePlugInCategory_Dynamics));

  Check(c->Clear());
  DescribeComponent(*c, AAX_eStemFormat_Mono, kNativeIDMono, &RenderMono);
  Check(effect.AddComponent(c));
  Check(c->Clear());
  DescribeComponent(*c, AAX_eStemFormat_Stereo, kNativeIDStereo, &RenderStereo);
  Check(effect.AddComponent(c));

  Check(effect.AddProcPtr(&CreateEffectParameters, AAX_eProcPtrID_Create_EffectParameters));
  Check(effect.AddResourceInfo(AAX_eResourceType_PageTable, kPageTableFile));
  Check(effect.AddProcPtr(&CreateEffectDirectData, AAX_eProcPtrID_Create_EffectDirectData));
#ifndef _WIN32  // no editor on Windows: hosts show their generic controls
  Check(effect.AddProcPtr(&CreateEffectGUI, AAX_eProcPtrID_Create_EffectGUI));
#endif

  for (int k = 0; k < kMeterCount; ++k) {
    AAX_VPropertyMap* p = effect.NewPropertyMap();
    if (p == nullptr) return AAX_ERROR_NULL_OBJECT;
    const bool named = k < 3;
    Check(p->AddProperty(AAX_eProperty_Meter_Type, named ? kNamedMeterTypes[k] : AAX_eMeterType_Other));
    Check(p->AddProperty(AAX_eProperty_Meter_Orientation, AAX_eMeterOrientation_Default));
    if (!named) Check(p->AddProperty(AAX_eProperty_Meter_Ballistics, AAX_eMeterBallisticType_NoDecay));
    Check(effect.AddMeterDescription(kMeterIDs[static_cast<std::size_t>(k)], named ? kNamedMeters[k] : "Custom", p));
  }
  return AAX_SUCCESS;
}

namespace {

AAX_Result RegisterProcedure(AAX_IACFUnknown* host, AAX_IACFUnknown** definition) {
  AAX_VCollection collection(host);
  AAX_Result result = AAX_SUCCESS;
  AAX_VEffectDescriptor* effect = collection.NewDescriptor();
  if (effect == nullptr) {
    result = AAX_ERROR_NULL_OBJECT;
  } else {
    result = DescribeEffect(*effect);
    if (result == AAX_SUCCESS) result = collection.AddEffect(kEffectID, effect);
  }
  if (result != AAX_SUCCESS) AAX_ReportAssert(__FILE__, __LINE__, "result == AAX_SUCCESS");

  collection.SetManufacturerName(kManufacturerName);
  for (const char* name : kPackageNames) collection.AddPackageName(name);
  collection.SetPackageVersion(kPackageVersion);

  if (result != AAX_SUCCESS) {
    AAX_Trace(AAX_eTracePriorityHost_Normal, "AAX_CheckedResult - throwing %s", AAX_ResultName(result));
    throw CheckedResult{result};
  }
  if (collection.GetPlugInDefinition(definition) != AAX_SUCCESS) {
    AAX_Trace(AAX_eTracePriorityHost_Normal, "AAX_CheckedResult - throwing %s", AAX_ResultName(AAX_ERROR_NULL_OBJECT));
    throw CheckedResult{AAX_ERROR_NULL_OBJECT};
  }
  return AAX_SUCCESS;
}

}  // namespace

AAX_Result RegisterPlugin(AAX_IACFUnknown* host, AAX_IACFUnknown** definition) {
  try {
    return RegisterProcedure(host, definition);
  } catch (const CheckedResult& e) {
    AAX_Trace(AAX_eTracePriorityHost_Critical, "AAXRegisterPlugin exception caught: %s", AAX_ResultName(e.result));
    return e.result;
  } catch (const std::exception& e) {
    AAX_Trace(AAX_eTracePriorityHost_Critical, "AAXRegisterPlugin exception caught: %s", e.what());
    return AAX_ERROR_UNKNOWN_EXCEPTION;
  } catch (...) {
    AAX_Trace(AAX_eTracePriorityHost_Critical, "AAXRegisterPlugin exception caught: %s", "unknown");
    return AAX_ERROR_UNKNOWN_EXCEPTION;
  }
}

}  // namespace qrv::aax
