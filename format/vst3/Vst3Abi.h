// The VST 3 ABI as far as this binding uses it: the COM-style interfaces with their ids, the structs they
// exchange and the constants that go with them. Written from the public VST 3 interface documentation
// (VST 3.7 interfaces; everything here is unchanged from 3.7.0 to the 3.7.12 / 3.8 documentation). Only
// what the binding uses is declared; the published documentation stays the reference.
//
// Why C++ classes rather than C vtable structs: on Linux the Itanium C++ ABI lays the virtual functions of
// a class without a virtual destructor out in declaration order after those of its single base, so a
// class of pure virtual functions here is the interface, slot for slot, and the binding implements and
// calls interfaces as ordinary classes (several per object by multiple inheritance, each base with its own
// vtable pointer, as hosts expect). FUnknown's three methods come first in every vtable. No interface
// has a virtual destructor: that would add slots; objects die through release(). GCC keeps that layout for
// Windows (mingw-w64), where it is also COM's: no interface overloads a method name, the one case in which
// COM's compilers order slots differently.
//
// Struct layouts are natural alignment on 64-bit targets (the format packs to 16 on 64-bit Windows and
// macOS, which changes nothing for these members). Strings marked UTF-16 are char16_t, NUL-terminated
// when shorter than their array.
//
// Threads, as the documentation assigns them: [UI] is the host's UI (main) thread, [audio] the processing
// thread, [any] either.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#error "32-bit Windows calls interfaces with __stdcall, which this header does not declare"
#endif

namespace qrv::vst3::abi {

// --- Basic types -----------------------------------------------------------------------------------------

using tresult = int32_t;
using TBool = uint8_t;
using TChar = char16_t;               // UTF-16 code unit
using String128 = TChar[128];         // UTF-16
using FIDString = const char*;        // ASCII identifier (also the 16 bytes of a TUID where one is passed)
using TUID = char[16];
using ParamID = uint32_t;
using ParamValue = double;            // normalised, 0..1
using SpeakerArrangement = uint64_t;  // one bit per speaker
using MediaType = int32_t;
using BusDirection = int32_t;
using BusType = int32_t;
using IoMode = int32_t;
using UnitID = int32_t;
using ProgramListID = int32_t;

// --- Result codes ----------------------------------------------------------------------------------------

// COM's HRESULTs on Windows; small integers everywhere else.
#if defined(_WIN32)
inline constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
inline constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
inline constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
inline constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
inline constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
inline constexpr tresult kNoInterface = -1;
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = 2;
inline constexpr tresult kNotImplemented = 3;
inline constexpr tresult kInternalError = 4;
inline constexpr tresult kNotInitialized = 5;
inline constexpr tresult kOutOfMemory = 6;
#endif

// --- Interface and class ids -----------------------------------------------------------------------------

// The documentation writes an id as four 32-bit words. Outside Windows its 16 bytes are those words
// big-endian, one after the other, i.e. the 32 hex digits in the order written. On Windows they are a COM
// GUID in memory: the first word little-endian, the two halves of the second word each little-endian,
// then the last two words big-endian. Hosts compare the bytes, so the wrong order is a silent "no
// interface".
enum class UidOrder { kPlain, kCom };
#if defined(_WIN32)
inline constexpr UidOrder kNativeUidOrder = UidOrder::kCom;
#else
inline constexpr UidOrder kNativeUidOrder = UidOrder::kPlain;
#endif

struct Uid {
  char bytes[16];
};

constexpr Uid MakeUid(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3, UidOrder order = kNativeUidOrder) {
  Uid uid{};
  const uint32_t words[4] = {w0, w1, w2, w3};
  for (int w = 0; w < 4; ++w) {
    for (int b = 0; b < 4; ++b) uid.bytes[w * 4 + b] = static_cast<char>((words[w] >> (24 - 8 * b)) & 0xFFu);
  }
  if (order == UidOrder::kCom) {
    // Data1 (bytes 0-3) reversed, Data2 (4-5) and Data3 (6-7) each swapped; Data4 stays.
    const Uid plain = uid;
    for (int b = 0; b < 4; ++b) uid.bytes[b] = plain.bytes[3 - b];
    uid.bytes[4] = plain.bytes[5];
    uid.bytes[5] = plain.bytes[4];
    uid.bytes[6] = plain.bytes[7];
    uid.bytes[7] = plain.bytes[6];
  }
  return uid;
}

// The id in the plain order whatever the native one: the 32 hex digits as the documentation writes them.
// Reordering COM's GUID layout is its own inverse.
constexpr Uid PlainOrder(const Uid& native) {
  if (kNativeUidOrder == UidOrder::kPlain) return native;
  Uid plain = native;
  for (int b = 0; b < 4; ++b) plain.bytes[b] = native.bytes[3 - b];
  plain.bytes[4] = native.bytes[5];
  plain.bytes[5] = native.bytes[4];
  plain.bytes[6] = native.bytes[7];
  plain.bytes[7] = native.bytes[6];
  return plain;
}

// `id` points at 16 bytes (a TUID or FIDString handed over by the other side); null never matches.
constexpr bool SameUid(const char* id, const Uid& uid) {
  if (id == nullptr) return false;
  for (int i = 0; i < 16; ++i) {
    if (id[i] != uid.bytes[i]) return false;
  }
  return true;
}
constexpr bool operator==(const Uid& a, const Uid& b) { return SameUid(a.bytes, b); }

// --- FUnknown and reference helpers ----------------------------------------------------------------------

class FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
  // [any] On success *obj holds a reference the caller releases; on failure *obj is null.
  virtual tresult queryInterface(const TUID interfaceId, void** obj) = 0;
  virtual uint32_t addRef() = 0;
  virtual uint32_t release() = 0;

 protected:
  ~FUnknown() = default;
};

// One counted reference to an interface: released when dropped, added when copied.
template <class I>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller already holds (e.g. from queryInterface or createInstance).
  static Ref Adopt(I* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own (e.g. to a host object handed in as an argument).
  static Ref Share(I* p) {
    if (p) p->addRef();
    return Adopt(p);
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->addRef();
  }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ref& operator=(Ref o) noexcept {
    I* old = p_;
    p_ = o.p_;
    o.p_ = old;
    return *this;
  }
  ~Ref() { Reset(); }
  void Reset() {
    if (p_) p_->release();
    p_ = nullptr;
  }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  I* p_ = nullptr;
};

// Asks `from` for interface I; empty when it has none (or answered success with a null pointer).
template <class I>
Ref<I> QueryInterface(FUnknown* from) {
  if (from == nullptr) return {};
  void* obj = nullptr;
  if (from->queryInterface(I::iid.bytes, &obj) != kResultOk || obj == nullptr) return {};
  return Ref<I>::Adopt(static_cast<I*>(obj));
}

// --- Streams ---------------------------------------------------------------------------------------------

enum : int32_t { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

// The host's stream for state; a plug-in reads and writes what it is handed, never more.
class IBStream : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
  // *numBytesRead / *numBytesWritten may be null; a short count is not an error.
  virtual tresult read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
  virtual tresult write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
  virtual tresult seek(int64_t pos, int32_t mode, int64_t* result) = 0;
  virtual tresult tell(int64_t* pos) = 0;
};

// --- Plug-in base and factory ----------------------------------------------------------------------------

class IPluginBase : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
  // [UI] `context` is the host's context (IHostApplication through queryInterface).
  virtual tresult initialize(FUnknown* context) = 0;
  virtual tresult terminate() = 0;
};

struct PFactoryInfo {
  enum : int32_t {
    kNoFlags = 0,
    kClassesDiscardable = 1 << 0,
    kLicenseCheck = 1 << 1,
    kComponentNonDiscardable = 1 << 3,
    kUnicode = 1 << 4,  // the class names are to be read from getClassInfoUnicode
  };
  static constexpr std::size_t kURLSize = 256, kEmailSize = 128, kNameSize = 64;
  char vendor[kNameSize];
  char url[kURLSize];
  char email[kEmailSize];
  int32_t flags;
};

struct PClassInfo {
  static constexpr int32_t kManyInstances = 0x7FFFFFFF;
  static constexpr std::size_t kCategorySize = 32, kNameSize = 64;
  TUID cid;
  int32_t cardinality;
  char category[kCategorySize];
  char name[kNameSize];
};

// PClassInfo2::classFlags / PClassInfoW::classFlags for audio components.
enum : uint32_t { kDistributable = 1u << 0, kSimpleModeSupported = 1u << 1 };

struct PClassInfo2 {
  static constexpr std::size_t kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128;
  TUID cid;
  int32_t cardinality;
  char category[PClassInfo::kCategorySize];
  char name[PClassInfo::kNameSize];
  uint32_t classFlags;
  char subCategories[kSubCategoriesSize];  // '|'-separated
  char vendor[kVendorSize];
  char version[kVersionSize];
  char sdkVersion[kVersionSize];
};

struct PClassInfoW {
  TUID cid;
  int32_t cardinality;
  char category[PClassInfo::kCategorySize];
  TChar name[PClassInfo::kNameSize];  // UTF-16
  uint32_t classFlags;
  char subCategories[PClassInfo2::kSubCategoriesSize];
  TChar vendor[PClassInfo2::kVendorSize];    // UTF-16
  TChar version[PClassInfo2::kVersionSize];  // UTF-16
  TChar sdkVersion[PClassInfo2::kVersionSize];
};

// The module's one factory (GetPluginFactory). Hosts query 2 and 3 from it.
class IPluginFactory : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
  virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32_t countClasses() = 0;
  virtual tresult getClassInfo(int32_t index, PClassInfo* info) = 0;
  // `cid` and `interfaceId` point at 16 bytes each. On success *obj holds one reference to the new object.
  virtual tresult createInstance(FIDString cid, FIDString interfaceId, void** obj) = 0;
};

class IPluginFactory2 : public IPluginFactory {
 public:
  static constexpr Uid iid = MakeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
  virtual tresult getClassInfo2(int32_t index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2 {
 public:
  static constexpr Uid iid = MakeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
  virtual tresult getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
  virtual tresult setHostContext(FUnknown* context) = 0;
};

// Exported by the module on Linux: ModuleEntry right after dlopen and ModuleExit right before dlclose
// (each may come more than once: count them), GetPluginFactory in between. Every one is extern "C".
inline constexpr char kModuleEntryName[] = "ModuleEntry";
inline constexpr char kModuleExitName[] = "ModuleExit";
inline constexpr char kGetPluginFactoryName[] = "GetPluginFactory";
using ModuleEntryFunc = bool (*)(void* sharedLibraryHandle);
using ModuleExitFunc = bool (*)();
using GetPluginFactoryFunc = IPluginFactory* (*)();
// Exported by the module on Windows: InitDll after LoadLibrary and ExitDll before FreeLibrary, both optional
// for hosts, GetPluginFactory in between.
inline constexpr char kInitDllName[] = "InitDll";
inline constexpr char kExitDllName[] = "ExitDll";
using InitDllFunc = bool (*)();
using ExitDllFunc = bool (*)();

// PClassInfo::category and PClassInfo2::subCategories values.
inline constexpr char kVstAudioEffectClass[] = "Audio Module Class";
inline constexpr char kVstComponentControllerClass[] = "Component Controller Class";
inline constexpr char kPlugTypeFx[] = "Fx";
inline constexpr char kPlugTypeFxDynamics[] = "Fx|Dynamics";
// PClassInfo2::sdkVersion: the interface version this header follows.
inline constexpr char kVstVersionString[] = "VST 3.7.12";

// --- Host application ------------------------------------------------------------------------------------

class IHostApplication : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
  virtual tresult getName(String128 name) = 0;  // [UI]
  // [UI] Creates a host object such as IMessage (cid = IMessage::iid, interfaceId likewise).
  virtual tresult createInstance(TUID cid, TUID interfaceId, void** obj) = 0;
};

// --- Component -------------------------------------------------------------------------------------------

enum : MediaType { kAudio = 0, kEvent = 1 };
enum : BusDirection { kInput = 0, kOutput = 1 };
enum : BusType { kMain = 0, kAux = 1 };
enum : IoMode { kSimple = 0, kAdvanced = 1, kOfflineProcessing = 2 };

struct BusInfo {
  enum : uint32_t { kDefaultActive = 1u << 0, kIsControlVoltage = 1u << 1 };
  MediaType mediaType;
  BusDirection direction;
  int32_t channelCount;
  String128 name;  // UTF-16
  BusType busType;
  uint32_t flags;
};

struct RoutingInfo;  // unused here; only passed by reference

// The audio side: buses, activation and state. [UI] unless noted.
class IComponent : public IPluginBase {
 public:
  static constexpr Uid iid = MakeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  // kResultOk with the controller's class id; any other result when the component is its own controller
  // (hosts then ask the component itself for IEditController).
  virtual tresult getControllerClassId(TUID classId) = 0;
  virtual tresult setIoMode(IoMode mode) = 0;
  virtual int32_t getBusCount(MediaType type, BusDirection dir) = 0;
  virtual tresult getBusInfo(MediaType type, BusDirection dir, int32_t index, BusInfo& bus) = 0;
  virtual tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult activateBus(MediaType type, BusDirection dir, int32_t index, TBool state) = 0;
  virtual tresult setActive(TBool state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
};

// --- Audio processing ------------------------------------------------------------------------------------

namespace SpeakerArr {
inline constexpr SpeakerArrangement kSpeakerL = 1ull << 0;
inline constexpr SpeakerArrangement kSpeakerR = 1ull << 1;
inline constexpr SpeakerArrangement kSpeakerM = 1ull << 19;
inline constexpr SpeakerArrangement kEmpty = 0;
inline constexpr SpeakerArrangement kMono = kSpeakerM;
inline constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;
}  // namespace SpeakerArr

enum : int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };  // process modes
enum : int32_t { kSample32 = 0, kSample64 = 1 };                // symbolic sample sizes
inline constexpr uint32_t kNoTail = 0;
inline constexpr uint32_t kInfiniteTail = 0xFFFFFFFFu;

struct ProcessSetup {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32_t numChannels;
  uint64_t silenceFlags;  // bit n: channel n is silent (in on input; set on output by the plug-in)
  union {
    float** channelBuffers32;
    double** channelBuffers64;
  };
};

class IParamValueQueue : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
  virtual ParamID getParameterId() = 0;
  virtual int32_t getPointCount() = 0;
  virtual tresult getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) = 0;
  virtual tresult addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) = 0;
};

// Parameter changes of one block; the queues live until process() returns. Not reference-counted by use:
// the host owns them.
class IParameterChanges : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
  virtual int32_t getParameterCount() = 0;
  virtual IParamValueQueue* getParameterData(int32_t index) = 0;
  virtual IParamValueQueue* addParameterData(const ParamID& id, int32_t& index) = 0;
};

class IEventList;      // note events: an effect without MIDI input reads none
struct ProcessContext;  // transport: nothing here reads it

struct ProcessData {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t numSamples;  // 0: a parameter flush, no audio
  int32_t numInputs;
  int32_t numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;  // may be null
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
  // [UI] kResultTrue to accept, kResultFalse to refuse (the host then asks getBusArrangement).
  virtual tresult setBusArrangements(SpeakerArrangement* inputs, int32_t numIns, SpeakerArrangement* outputs,
                                     int32_t numOuts) = 0;
  virtual tresult getBusArrangement(BusDirection dir, int32_t index, SpeakerArrangement& arr) = 0;
  virtual tresult canProcessSampleSize(int32_t symbolicSampleSize) = 0;
  virtual uint32_t getLatencySamples() = 0;
  virtual tresult setupProcessing(ProcessSetup& setup) = 0;  // [UI], while inactive
  virtual tresult setProcessing(TBool state) = 0;            // [audio] or [UI], while active
  virtual tresult process(ProcessData& data) = 0;            // [audio]
  virtual uint32_t getTailSamples() = 0;
};

// Which ProcessContext fields the processor reads; a 3.7 processor answers it (0: none).
class IProcessContextRequirements : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
  virtual uint32_t getProcessContextRequirements() = 0;
};

// --- Edit controller -------------------------------------------------------------------------------------

struct ParameterInfo {
  enum : int32_t {
    kNoFlags = 0,
    kCanAutomate = 1 << 0,
    kIsReadOnly = 1 << 1,
    kIsWrapAround = 1 << 2,
    kIsList = 1 << 3,
    kIsHidden = 1 << 4,
    kIsProgramChange = 1 << 15,
    kIsBypass = 1 << 16,
  };
  ParamID id;
  String128 title;       // UTF-16
  String128 shortTitle;  // UTF-16
  String128 units;       // UTF-16
  int32_t stepCount;     // 0: continuous; n: n + 1 discrete values
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32_t flags;
};

// IComponentHandler::restartComponent flags.
enum : int32_t {
  kReloadComponent = 1 << 0,
  kIoChanged = 1 << 1,
  kParamValuesChanged = 1 << 2,
  kLatencyChanged = 1 << 3,
  kParamTitlesChanged = 1 << 4,
  kMidiCCAssignmentChanged = 1 << 5,
  kNoteExpressionChanged = 1 << 6,
  kIoTitlesChanged = 1 << 7,
  kPrefetchableSupportChanged = 1 << 8,
  kRoutingInfoChanged = 1 << 9,
  kKeyswitchChanged = 1 << 10,
  kParamIDMappingChanged = 1 << 11,
};

// The host's side of the controller. [UI]
class IComponentHandler : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
  virtual tresult beginEdit(ParamID id) = 0;
  virtual tresult performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult endEdit(ParamID id) = 0;
  virtual tresult restartComponent(int32_t flags) = 0;
};

class IPlugView;

inline constexpr char kEditor[] = "editor";  // the view type createView is asked for

// Parameters, their texts and the editor. [UI]
class IEditController : public IPluginBase {
 public:
  static constexpr Uid iid = MakeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
  // The component's state, as its getState wrote it, for the controller to mirror.
  virtual tresult setComponentState(IBStream* state) = 0;
  virtual tresult setState(IBStream* state) = 0;  // the controller's own state
  virtual tresult getState(IBStream* state) = 0;
  virtual int32_t getParameterCount() = 0;
  virtual tresult getParameterInfo(int32_t paramIndex, ParameterInfo& info) = 0;
  virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
  virtual tresult getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
  virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue getParamNormalized(ParamID id) = 0;
  virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
  // A new view with one reference for the caller, or null.
  virtual IPlugView* createView(FIDString name) = 0;
};

// --- Units and program lists -----------------------------------------------------------------------------

inline constexpr UnitID kRootUnitId = 0;
inline constexpr UnitID kNoParentUnitId = -1;
inline constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
  UnitID id;
  UnitID parentUnitId;
  String128 name;  // UTF-16
  ProgramListID programListId;
};

struct ProgramListInfo {
  ProgramListID id;
  String128 name;  // UTF-16
  int32_t programCount;
};

// Queried from the controller. [UI]
class IUnitInfo : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
  virtual int32_t getUnitCount() = 0;
  virtual tresult getUnitInfo(int32_t unitIndex, UnitInfo& info) = 0;
  virtual int32_t getProgramListCount() = 0;
  virtual tresult getProgramListInfo(int32_t listIndex, ProgramListInfo& info) = 0;
  virtual tresult getProgramName(ProgramListID listId, int32_t programIndex, String128 name) = 0;
  virtual tresult getProgramInfo(ProgramListID listId, int32_t programIndex, const char* attributeId,
                                 String128 attributeValue) = 0;
  virtual tresult hasProgramPitchNames(ProgramListID listId, int32_t programIndex) = 0;
  virtual tresult getProgramPitchName(ProgramListID listId, int32_t programIndex, int16_t midiPitch,
                                      String128 name) = 0;
  virtual UnitID getSelectedUnit() = 0;
  virtual tresult selectUnit(UnitID unitId) = 0;
  virtual tresult getUnitByBus(MediaType type, BusDirection dir, int32_t busIndex, int32_t channel,
                               UnitID& unitId) = 0;
  virtual tresult setUnitProgramData(int32_t listOrUnitId, int32_t programIndex, IBStream* data) = 0;
};

// --- Messages between a split component and controller --------------------------------------------------

class IAttributeList : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
  using AttrID = const char*;
  virtual tresult setInt(AttrID id, int64_t value) = 0;
  virtual tresult getInt(AttrID id, int64_t& value) = 0;
  virtual tresult setFloat(AttrID id, double value) = 0;
  virtual tresult getFloat(AttrID id, double& value) = 0;
  virtual tresult setString(AttrID id, const TChar* string) = 0;
  virtual tresult getString(AttrID id, TChar* string, uint32_t sizeInBytes) = 0;
  virtual tresult setBinary(AttrID id, const void* data, uint32_t sizeInBytes) = 0;
  virtual tresult getBinary(AttrID id, const void*& data, uint32_t& sizeInBytes) = 0;
};

// Created by the host (IHostApplication::createInstance).
class IMessage : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
  virtual FIDString getMessageID() = 0;
  virtual void setMessageID(FIDString id) = 0;
  virtual IAttributeList* getAttributes() = 0;  // no reference for the caller
};

// [UI] The host connects a component and its separate controller (or proxies between them).
class IConnectionPoint : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
  virtual tresult connect(IConnectionPoint* other) = 0;
  virtual tresult disconnect(IConnectionPoint* other) = 0;
  virtual tresult notify(IMessage* message) = 0;
};

// --- Editor view -----------------------------------------------------------------------------------------

struct ViewRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// IPlugView::attached's parent on Linux: the X11 window id, passed in the pointer's bits.
inline constexpr char kPlatformTypeX11EmbedWindowID[] = "X11EmbedWindowID";

class IPlugFrame;

// The editor. [UI]
class IPlugView : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
  virtual tresult isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult attached(void* parent, FIDString type) = 0;
  virtual tresult removed() = 0;
  virtual tresult onWheel(float distance) = 0;
  virtual tresult onKeyDown(TChar key, int16_t keyCode, int16_t modifiers) = 0;
  virtual tresult onKeyUp(TChar key, int16_t keyCode, int16_t modifiers) = 0;
  virtual tresult getSize(ViewRect* size) = 0;
  virtual tresult onSize(ViewRect* newSize) = 0;
  virtual tresult onFocus(TBool state) = 0;
  // The host's frame (null when the host lets go of it); on Linux it also answers IRunLoop.
  virtual tresult setFrame(IPlugFrame* frame) = 0;
  virtual tresult canResize() = 0;
  virtual tresult checkSizeConstraint(ViewRect* rect) = 0;
};

// The host's window around the view. [UI]
class IPlugFrame : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
  // The host answers with onSize on the view (possibly from within this call).
  virtual tresult resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

// Queried from the view: the host's content scale (1 is 100 %). [UI]
class IPlugViewContentScaleSupport : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
  using ScaleFactor = float;
  virtual tresult setContentScaleFactor(ScaleFactor factor) = 0;
};

// --- Linux run loop --------------------------------------------------------------------------------------

// On Linux the editor gets no thread of its own to wait on X11: the host's run loop (queried from the
// IPlugFrame) calls these back on the UI thread.
namespace Linux {

using FileDescriptor = int;
using TimerInterval = uint64_t;  // milliseconds

class IEventHandler : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
  virtual void onFDIsSet(FileDescriptor fd) = 0;
};

class ITimerHandler : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
  virtual void onTimer() = 0;
};

class IRunLoop : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
  virtual tresult registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
  virtual tresult unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult registerTimer(ITimerHandler* handler, TimerInterval milliseconds) = 0;
  virtual tresult unregisterTimer(ITimerHandler* handler) = 0;
};

}  // namespace Linux

}  // namespace qrv::vst3::abi
