// Basic types, result codes and the numbers (properties, procedure pointers, notifications) that the
// host and the plug-in agree on. Plain data; any thread.
#pragma once

#include <cstdint>

using AAX_Result = int32_t;
using AAX_CTypeID = uint32_t;
using AAX_CParamID = const char*;
using AAX_CFieldIndex = int32_t;
using AAX_CPropertyValue = int32_t;
using AAX_CProcPtrID = int32_t;

// Four-character codes read as they are written: the first character lands in the most significant byte.
constexpr AAX_CTypeID AAX_FourCC(const char (&s)[5]) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(s[3]));
}

enum AAX_EError : AAX_Result {
  AAX_SUCCESS = 0,
  AAX_ERROR_INVALID_PARAMETER_ID = -20001,
  AAX_ERROR_INVALID_STRING_CONVERSION = -20002,
  AAX_ERROR_INVALID_METER_INDEX = -20003,
  AAX_ERROR_NULL_OBJECT = -20004,
  AAX_ERROR_OLDER_VERSION = -20005,
  AAX_ERROR_INVALID_CHUNK_INDEX = -20006,
  AAX_ERROR_INVALID_CHUNK_ID = -20007,
  AAX_ERROR_INCORRECT_CHUNK_SIZE = -20008,
  AAX_ERROR_UNIMPLEMENTED = -20009,
  AAX_ERROR_INVALID_PARAMETER_INDEX = -20010,
  AAX_ERROR_NOT_INITIALIZED = -20011,
  AAX_ERROR_ACF_ERROR = -20012,
  AAX_ERROR_INVALID_METER_TYPE = -20013,
  AAX_ERROR_CONTEXT_ALREADY_HAS_METERS = -20014,
  AAX_ERROR_NULL_COMPONENT = -20015,
  AAX_ERROR_PORT_ID_OUT_OF_RANGE = -20016,
  AAX_ERROR_FIELD_TYPE_DOES_NOT_SUPPORT_DIRECT_ACCESS = -20017,
  AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS = -20018,
  AAX_ERROR_DUPLICATE_EFFECT_ID = -20023,
  AAX_ERROR_INVALID_ARGUMENT = -20024,
  AAX_ERROR_UNKNOWN_EXCEPTION = -20042,
};

// Result of the module entry points when something unexpected escapes them.
inline constexpr AAX_Result ACF_E_UNEXPECTED = static_cast<AAX_Result>(0x8000FFFFu);

// The name of a result code ("AAX_ERROR_NULL_OBJECT"); "<unknown result>" for codes not in the table.
const char* AAX_ResultName(AAX_Result result);

// Properties of a component's property map.
enum AAX_EProperty : int32_t {
  AAX_eProperty_ManufacturerID = 11,
  AAX_eProperty_ProductID = 12,
  AAX_eProperty_PlugInID_Native = 13,
  AAX_eProperty_PlugInID_AudioSuite = 14,
  AAX_eProperty_InputStemFormat = 51,
  AAX_eProperty_OutputStemFormat = 52,
  AAX_eProperty_CanBypass = 60,
  AAX_eProperty_Meter_Type = 200,
  AAX_eProperty_Meter_Orientation = 201,
  AAX_eProperty_Meter_Ballistics = 202,
};

// Factory procedures of an effect.
enum AAX_EProcPtrID : AAX_CProcPtrID {
  AAX_eProcPtrID_Create_EffectParameters = 0,
  AAX_eProcPtrID_Create_EffectGUI = 1,
  AAX_eProcPtrID_Create_EffectDirectData = 5,
};

enum AAX_EStemFormat : int32_t {
  AAX_eStemFormat_Mono = 1,
  AAX_eStemFormat_Stereo = 0x00010002,
};

enum AAX_EPlugInCategory : uint32_t { AAX_ePlugInCategory_Dynamics = 2 };

enum AAX_EResourceType : int32_t { AAX_eResourceType_PageTable = 1 };

enum AAX_EMeterType : int32_t {
  AAX_eMeterType_Input = 0,
  AAX_eMeterType_Output = 1,
  AAX_eMeterType_CLGain = 2,
  AAX_eMeterType_Other = 5,
};
enum AAX_EMeterOrientation : int32_t { AAX_eMeterOrientation_Default = 0 };
enum AAX_EMeterBallisticType : int32_t { AAX_eMeterBallisticType_Host = 0, AAX_eMeterBallisticType_NoDecay = 1 };

enum AAX_EMIDINodeType : int32_t {
  AAX_eMIDINodeType_LocalInput = 0,
  AAX_eMIDINodeType_Transport = 3,
};

enum AAX_EDataInPortType : int32_t {
  AAX_eDataInPortType_Buffered = 0,
  AAX_eDataInPortType_Unbuffered = 1,
};

enum AAX_EPrivateDataOptions : int32_t { AAX_ePrivateDataOptions_DefaultOptions = 0 };

enum AAX_EParameterType : int32_t { AAX_eParameterType_Discrete = 0, AAX_eParameterType_Continuous = 1 };

enum AAX_EParameterValueType : int32_t { AAX_eParameterValueType_Bool = 0, AAX_eParameterValueType_Float = 1 };

// Who caused a host parameter update.
enum AAX_EUpdateSource : int32_t {
  AAX_eUpdateSource_Unspecified = 0,
  AAX_eUpdateSource_Parameter = 1,
  AAX_eUpdateSource_Chunk = 2,
  AAX_eUpdateSource_Delay = 3,
};

// View container types; a container of type 3 or 1 carries a native window handle.
enum AAX_EViewContainer_Type : int32_t {
  AAX_eViewContainer_Type_NULL = 0,
  AAX_eViewContainer_Type_NSView = 1,
  AAX_eViewContainer_Type_HWND = 3,
};

// Modifier bits of a parameter mouse-down: Command (here the Super key), Option (Alt), Control and the
// secondary (right) button. Shift is not reported.
enum AAX_EModifiers : uint32_t {
  AAX_eModifiers_Command = 2,
  AAX_eModifiers_Option = 4,
  AAX_eModifiers_Control = 8,
  AAX_eModifiers_SecondaryButton = 16,
};

// Notifications the host sends to the data model.
inline constexpr AAX_CTypeID AAX_eNotificationEvent_SessionBeingOpened = AAX_FourCC("AXso");
inline constexpr AAX_CTypeID AAX_eNotificationEvent_PresetOpened = AAX_FourCC("AXpo");
inline constexpr AAX_CTypeID AAX_eNotificationEvent_SideChainBeingConnected = AAX_FourCC("AXsc");
inline constexpr AAX_CTypeID AAX_eNotificationEvent_PreviewState = AAX_FourCC("ASPv");
// To the GUI object: the user chose a zoom factor for the view in the host (data: one double); the view
// takes it as if chosen in its own zoom control.
inline constexpr AAX_CTypeID AAX_eNotificationEvent_ViewZoom = AAX_FourCC("AXvz");

// Interfaces a host object answers through QueryInterface.
inline constexpr AAX_CTypeID AAX_IID_HostServices = AAX_FourCC("Ihsv");
inline constexpr AAX_CTypeID AAX_IID_Collection = AAX_FourCC("Icol");
inline constexpr AAX_CTypeID AAX_IID_PlugInDefinition = AAX_FourCC("Ipdf");
inline constexpr AAX_CTypeID AAX_IID_Controller = AAX_FourCC("Ictl");
inline constexpr AAX_CTypeID AAX_IID_AutomationDelegate = AAX_FourCC("Iaut");
inline constexpr AAX_CTypeID AAX_IID_EffectParameters = AAX_FourCC("Iprm");

inline constexpr int32_t AAX_kMaxParameterIDLength = 32;
