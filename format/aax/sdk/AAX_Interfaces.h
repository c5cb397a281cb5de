// The interfaces through which the host and the plug-in meet. The host implements the AAX_I* host
// interfaces (services, collection, descriptors, controller, automation, private data, view container,
// MIDI transport); the plug-in implements the three instance interfaces created by its factory
// procedures (data model, direct data, GUI). Which thread calls what is said per interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/aax/sdk/AAX.h"

// Any object handed across the module boundary; asks it for one of the interfaces it offers.
class AAX_IACFUnknown {
 public:
  virtual AAX_Result QueryInterface(AAX_CTypeID iid, void** out) = 0;

 protected:
  ~AAX_IACFUnknown() = default;
};

// Host services: diagnostics. Never fails. Any thread.
class AAX_IHostServices {
 public:
  virtual AAX_Result HandleAssertFailure(const char* file, int32_t line, const char* text) = 0;
  virtual AAX_Result Trace(int32_t priority, const char* text) = 0;

 protected:
  ~AAX_IHostServices() = default;
};

class AAX_IPropertyMap {
 public:
  virtual AAX_Result AddProperty(int32_t property, AAX_CPropertyValue value) = 0;
  virtual bool GetProperty(int32_t property, AAX_CPropertyValue* value) const = 0;

 protected:
  ~AAX_IPropertyMap() = default;
};

// Generic procedure pointer; each ID casts it back to its own signature.
using AAX_ProcPtr = void (*)();

// Native render procedure: a list of context records (each an array of field pointers) to process in order.
using AAX_CRenderProc = void (*)(void* const* instancesBegin, const void* instancesEnd);

class AAX_IComponentDescriptor {
 public:
  virtual AAX_Result Clear() = 0;
  virtual AAX_Result AddAudioIn(AAX_CFieldIndex field) = 0;
  virtual AAX_Result AddAudioOut(AAX_CFieldIndex field) = 0;
  virtual AAX_Result AddAudioBufferLength(AAX_CFieldIndex field) = 0;
  virtual AAX_Result AddSampleRate(AAX_CFieldIndex field) = 0;
  virtual AAX_Result AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs, uint32_t count) = 0;
  virtual AAX_Result AddMIDINode(AAX_CFieldIndex field, int32_t nodeType, const char* name, uint32_t channelMask) = 0;
  virtual AAX_Result AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) = 0;
  virtual AAX_Result AddPrivateData(AAX_CFieldIndex field, int32_t size, int32_t options) = 0;
  virtual AAX_IPropertyMap* NewPropertyMap() = 0;
  virtual AAX_Result AddProcessProc_Native(AAX_CRenderProc proc, AAX_IPropertyMap* properties,
                                           AAX_ProcPtr instanceInit, AAX_ProcPtr background) = 0;

 protected:
  ~AAX_IComponentDescriptor() = default;
};

class AAX_IEffectDescriptor {
 public:
  virtual AAX_IComponentDescriptor* NewComponentDescriptor() = 0;
  virtual AAX_Result AddComponent(AAX_IComponentDescriptor* component) = 0;
  virtual AAX_Result AddName(const char* name) = 0;
  virtual AAX_Result AddCategory(uint32_t category) = 0;
  virtual AAX_Result AddProcPtr(AAX_ProcPtr proc, AAX_CProcPtrID id) = 0;
  virtual AAX_IPropertyMap* NewPropertyMap() = 0;
  virtual AAX_Result AddResourceInfo(int32_t type, const char* file) = 0;
  virtual AAX_Result AddMeterDescription(AAX_CTypeID meterID, const char* name, AAX_IPropertyMap* properties) = 0;

 protected:
  ~AAX_IEffectDescriptor() = default;
};

// Registration; the host object given to ACFRegisterPlugin answers AAX_IID_Collection with one of these
// and AAX_IID_PlugInDefinition with the definition that the registration hands back.
class AAX_ICollection {
 public:
  virtual AAX_IEffectDescriptor* NewDescriptor() = 0;
  virtual AAX_Result AddEffect(const char* effectID, AAX_IEffectDescriptor* effect) = 0;
  virtual AAX_Result SetManufacturerName(const char* name) = 0;
  virtual AAX_Result AddPackageName(const char* name) = 0;
  virtual AAX_Result SetPackageVersion(uint32_t version) = 0;

 protected:
  ~AAX_ICollection() = default;
};

// Transport of a MIDI transport node; audio thread.
class AAX_ITransport {
 public:
  virtual AAX_Result GetCurrentTempo(double* bpm) const = 0;
  virtual AAX_Result IsTransportPlaying(bool* playing) const = 0;
  virtual AAX_Result GetCurrentTickPosition(int64_t* ticks) const = 0;  // 960000 per quarter note
  virtual AAX_Result GetCurrentNativeSampleLocation(int64_t* sample) const = 0;

 protected:
  ~AAX_ITransport() = default;
};

// What a MIDI-node field of the render context points to.
class AAX_IMIDINode {
 public:
  virtual AAX_ITransport* GetTransport() = 0;

 protected:
  ~AAX_IMIDINode() = default;
};

// Per-instance services of the host; the controller of an instance answers AAX_IID_Controller.
// Main thread, except where noted.
class AAX_IController {
 public:
  // Queues a packet for a data-in port; the render procedure sees it as the port's value.
  virtual AAX_Result PostPacket(AAX_CFieldIndex port, const void* data, uint32_t size) = 0;
  // Latency in samples; the direct-data timer thread calls these.
  virtual AAX_Result GetSignalLatency(int32_t* samples) const = 0;
  virtual AAX_Result SetSignalLatency(int32_t samples) = 0;
  virtual AAX_Result GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const = 0;
  virtual AAX_Result GetSampleRate(float* rate) const = 0;

 protected:
  ~AAX_IController() = default;
};

// Automation: touch, set request and release of host parameters; main thread. A set request comes back
// as an update of the data model.
class AAX_IAutomationDelegate {
 public:
  virtual AAX_Result TouchParameter(AAX_CParamID id) = 0;
  virtual AAX_Result ReleaseParameter(AAX_CParamID id) = 0;
  virtual AAX_Result PostSetValueRequest(AAX_CParamID id, double normalizedValue) = 0;
  virtual AAX_Result GetTouchState(AAX_CParamID id, bool* touched) = 0;

 protected:
  ~AAX_IAutomationDelegate() = default;
};

// Direct access to an instance's private-data fields, given to the direct-data timer wake-up.
class AAX_IPrivateDataAccess {
 public:
  virtual AAX_Result ReadPortDirect(AAX_CFieldIndex field, uint32_t offset, uint32_t size, void* buffer) = 0;
  virtual AAX_Result WritePortDirect(AAX_CFieldIndex field, uint32_t offset, uint32_t size, const void* buffer) = 0;

 protected:
  ~AAX_IPrivateDataAccess() = default;
};

// The host's view for a plug-in's GUI object. Main thread only: the plug-in calls it from within the
// host's calls into its GUI object (view-container attach, parameter updates, GUI timer wake-ups, which
// also deliver the window's events), never from another thread, and the host never calls into the GUI
// object while one of these calls is in progress.
class AAX_IViewContainer {
 public:
  // AAX_eViewContainer_Type_*: for 3 (and 1) GetPtr carries the native parent window, here an X11
  // Window id converted to a pointer.
  virtual int32_t GetType() = 0;
  virtual void* GetPtr() = 0;
  // The plug-in's view takes this size in pixels; the host resizes its window to fit.
  virtual AAX_Result SetViewSize(double width, double height) = 0;
  // A mouse-down on the control of a host parameter, with AAX_eModifiers_* bits; the host may answer
  // it with host-side actions (automation menus). AAX_SUCCESS when the host took it.
  virtual AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t modifiers) = 0;

 protected:
  ~AAX_IViewContainer() = default;
};

// A saved state chunk: this header, then fSize bytes of data.
struct AAX_SPlugInChunk {
  int32_t fSize;
  int32_t fVersion;
  AAX_CTypeID fManufacturerID;
  AAX_CTypeID fProductID;
  AAX_CTypeID fPlugInID;
  AAX_CTypeID fChunkID;
  char fName[32];
};
inline unsigned char* AAX_ChunkData(AAX_SPlugInChunk* chunk) { return reinterpret_cast<unsigned char*>(chunk + 1); }
inline const unsigned char* AAX_ChunkData(const AAX_SPlugInChunk* chunk) {
  return reinterpret_cast<const unsigned char*>(chunk + 1);
}

// The data model of one instance (factory procedure 0); main thread.
class AAX_IEffectParameters {
 public:
  virtual ~AAX_IEffectParameters() = default;
  // host: answers AAX_IID_Controller and AAX_IID_AutomationDelegate.
  virtual AAX_Result Initialize(AAX_IACFUnknown* host) = 0;
  virtual AAX_Result Uninitialize() = 0;
  virtual AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) = 0;

  virtual AAX_Result GetNumberOfParameters(int32_t* count) const = 0;
  virtual AAX_Result GetParameterIDFromIndex(int32_t index, char* id, uint32_t size) const = 0;
  virtual AAX_Result GetParameterName(AAX_CParamID id, char* name, uint32_t size) const = 0;
  virtual AAX_Result GetParameterNormalizedValue(AAX_CParamID id, double* value) const = 0;
  virtual AAX_Result GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const = 0;
  virtual AAX_Result GetParameterNumberOfSteps(AAX_CParamID id, int32_t* steps) const = 0;
  virtual AAX_Result GetParameterType(AAX_CParamID id, int32_t* type) const = 0;
  virtual AAX_Result GetParameterIsAutomatable(AAX_CParamID id, bool* automatable) const = 0;
  // The display text of a normalised value, at most maxLength characters; text holds maxLength + 1.
  virtual AAX_Result GetParameterValueString(AAX_CParamID id, double value, char* text, uint32_t maxLength) const = 0;
  // The host's answer to a set request (or its own automation): stores the value and queues its packet.
  virtual AAX_Result UpdateParameterNormalizedValue(AAX_CParamID id, double value, int32_t source) = 0;
  // Sends the packets of every changed parameter to the host's ports.
  virtual AAX_Result GenerateCoefficients() = 0;
  virtual AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t size) = 0;

  virtual AAX_Result GetNumberOfChunks(int32_t* count) const = 0;
  virtual AAX_Result GetChunkIDFromIndex(int32_t index, AAX_CTypeID* id) const = 0;
  virtual AAX_Result GetChunkSize(AAX_CTypeID id, uint32_t* size) = 0;
  virtual AAX_Result GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) = 0;
  virtual AAX_Result SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) = 0;
  virtual AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk, bool* equal) = 0;
};

// The direct-data object of one instance (factory procedure 5). Initialize and Uninitialize on the main
// thread; TimerWakeup on the host's direct-data timer thread, never while the instance renders.
class AAX_IEffectDirectData {
 public:
  virtual ~AAX_IEffectDirectData() = default;
  // host: answers AAX_IID_Controller and AAX_IID_EffectParameters.
  virtual AAX_Result Initialize(AAX_IACFUnknown* host) = 0;
  virtual AAX_Result Uninitialize() = 0;
  virtual AAX_Result TimerWakeup(AAX_IPrivateDataAccess* access) = 0;
};

// The GUI object of one instance (factory procedure 1). Every call comes on the host's main thread and
// no two of them overlap; they may overlap with the render procedure (audio thread) and the direct-data
// wake-up (its timer thread), with which the GUI object shares nothing but what the host hands over
// (parameter values, meter values).
class AAX_IEffectGUI {
 public:
  virtual ~AAX_IEffectGUI() = default;
  // host: answers AAX_IID_Controller and AAX_IID_EffectParameters.
  virtual AAX_Result Initialize(AAX_IACFUnknown* host) = 0;
  virtual AAX_Result Uninitialize() = 0;
  // Attaches the host's view (null detaches); the container stays valid until it is detached.
  virtual AAX_Result SetViewContainer(AAX_IViewContainer* container) = 0;
  virtual AAX_Result GetViewSize(double* width, double* height) const = 0;
  // After the data model took a new value of the parameter (whatever caused it).
  virtual AAX_Result ParameterUpdated(AAX_CParamID id) = 0;
  // The host's periodic GUI call (about every 30 ms while a view is attached): the plug-in reads its
  // meters and runs its window's timers and events here, since it has no GUI thread of its own.
  virtual AAX_Result TimerWakeup() = 0;
  // A host notification for the view (AAX_eNotificationEvent_ViewZoom); 0 also for types it ignores.
  virtual AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) = 0;
};

using AAX_CreateEffectParametersProc = AAX_IEffectParameters* (*)();
using AAX_CreateEffectDirectDataProc = AAX_IEffectDirectData* (*)();
using AAX_CreateEffectGUIProc = AAX_IEffectGUI* (*)();
