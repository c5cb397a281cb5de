// The VST3 ABI header against the documented facts. Ids: the 16 bytes of each interface id against the
// four words the documentation gives. Layouts: sizes and offsets of the structs the binding exchanges with
// hosts, worked out from the documented field order at natural alignment (x86-64 / LP64). Vtables: a fake
// object of each interface, built from the header as the binding builds its own, is called the way a C
// host calls it (slot N of the vtable as a plain function with the object as first argument); the method
// that runs must be the one the documentation lists at N, with the arguments and result intact.
#include "format/vst3/Vst3Abi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>
#include <type_traits>

namespace {

using namespace qrv::vst3::abi;
namespace LinuxRunLoop = qrv::vst3::abi::Linux;

// --- Ids -------------------------------------------------------------------------------------------------

std::string Hex(const char* bytes) {
  std::ostringstream out;
  for (int i = 0; i < 16; ++i)
    out << std::hex << std::uppercase << std::setw(2) << std::setfill('0')
        << static_cast<unsigned>(static_cast<unsigned char>(bytes[i]));
  return out.str();
}

// The documentation's four words, as written, to the 32 hex digits of the plain byte order.
std::string Digits(const char* words) {
  std::string digits;
  for (const char* c = words; *c; ++c) {
    if (*c != ' ') digits += *c;
  }
  return digits;
}

struct DocumentedId {
  const char* name;
  const Uid& uid;
  const char* words;
};

const DocumentedId kDocumentedIds[] = {
    {"FUnknown", FUnknown::iid, "00000000 00000000 C0000000 00000046"},
    {"IPluginBase", IPluginBase::iid, "22888DDB 156E45AE 8358B348 08190625"},
    {"IPluginFactory", IPluginFactory::iid, "7A4D811C 52114A1F AED9D2EE 0B43BF9F"},
    {"IPluginFactory2", IPluginFactory2::iid, "0007B650 F24B4C0B A464EDB9 F00B2ABB"},
    {"IPluginFactory3", IPluginFactory3::iid, "4555A2AB C1234E57 9B122910 36878931"},
    {"IBStream", IBStream::iid, "C3BF6EA2 30994752 9B6BF990 1EE33E9B"},
    {"IHostApplication", IHostApplication::iid, "58E595CC DB2D4969 8B6AAF8C 36A664E5"},
    {"IComponent", IComponent::iid, "E831FF31 F2D54301 928EBBEE 25697802"},
    {"IAudioProcessor", IAudioProcessor::iid, "42043F99 B7DA453C A569E79D 9AAEC33D"},
    {"IProcessContextRequirements", IProcessContextRequirements::iid, "2A654303 EF764E3D 95B5FE83 730EF6D0"},
    {"IParamValueQueue", IParamValueQueue::iid, "01263A18 ED074F6F 98C9D356 4686F9BA"},
    {"IParameterChanges", IParameterChanges::iid, "A4779663 0BB64A56 B44384A8 466FEB9D"},
    {"IEditController", IEditController::iid, "DCD7BBE3 7742448D A874AACC 979C759E"},
    {"IComponentHandler", IComponentHandler::iid, "93A0BEA3 0BD045DB 8E890B0C C1E46AC6"},
    {"IUnitInfo", IUnitInfo::iid, "3D4BD6B5 913A4FD2 A886E768 A5EB92C1"},
    {"IAttributeList", IAttributeList::iid, "1E5F0AEB CC7F4533 A2544011 38AD5EE4"},
    {"IMessage", IMessage::iid, "936F033B C6C047DB BB0882F8 13C1E613"},
    {"IConnectionPoint", IConnectionPoint::iid, "70A4156F 6E6E4026 989148BF AA60D8D1"},
    {"IPlugView", IPlugView::iid, "5BC32507 D06049EA A6151B52 2B755B29"},
    {"IPlugFrame", IPlugFrame::iid, "367FAF01 AFA94693 8D4DA2A0 ED0882A3"},
    {"IPlugViewContentScaleSupport", IPlugViewContentScaleSupport::iid, "65ED9690 8AC44525 8AADEF7A 72EA703F"},
    {"Linux::IEventHandler", LinuxRunLoop::IEventHandler::iid, "561E65C9 13A0496F 813A2C35 654D7983"},
    {"Linux::ITimerHandler", LinuxRunLoop::ITimerHandler::iid, "10BDD94F 41424774 821FAD8F ECA72CA9"},
    {"Linux::IRunLoop", LinuxRunLoop::IRunLoop::iid, "18C35366 97764F1A 9C5B8385 7A871389"},
};

#ifdef _WIN32
// The 32 digits of the plain order rearranged as the bytes of a COM GUID in memory: the first word's four
// bytes reversed, the second word's two halves each swapped, the rest as written.
std::string ComDigits(const std::string& plain) {
  std::string com;
  for (int b : {3, 2, 1, 0, 5, 4, 7, 6}) com += plain.substr(static_cast<std::size_t>(2 * b), 2);
  return com + plain.substr(16);
}
#endif

TEST(Vst3AbiIds, EveryInterfaceIdHasTheDocumentedBytes) {
  for (const DocumentedId& id : kDocumentedIds) {
    const std::string digits = Digits(id.words);
    ASSERT_EQ(digits.size(), 32u) << id.name;
#ifdef _WIN32
    EXPECT_EQ(Hex(id.uid.bytes), ComDigits(digits)) << id.name;
#else
    EXPECT_EQ(Hex(id.uid.bytes), digits) << id.name;
#endif
    // Back in the order written, whatever the platform's.
    EXPECT_EQ(Hex(PlainOrder(id.uid).bytes), digits) << id.name;
  }
}

TEST(Vst3AbiIds, NoTwoInterfacesShareAnId) {
  const std::size_t n = sizeof(kDocumentedIds) / sizeof(kDocumentedIds[0]);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j)
      EXPECT_FALSE(kDocumentedIds[i].uid == kDocumentedIds[j].uid)
          << kDocumentedIds[i].name << " and " << kDocumentedIds[j].name;
  }
}

#ifdef _WIN32
TEST(Vst3AbiIds, OnWindowsTheBytesAreAComGuid) {
  EXPECT_EQ(kNativeUidOrder, UidOrder::kCom);
  // IComponent, {E831FF31-F2D5-4301-928E-BBEE25697802}.
  const unsigned char component[16] = {0x31, 0xFF, 0x31, 0xE8, 0xD5, 0xF2, 0x01, 0x43,
                                       0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
  EXPECT_EQ(std::memcmp(IComponent::iid.bytes, component, 16), 0) << Hex(IComponent::iid.bytes);
  const Uid counting = MakeUid(0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F);
  EXPECT_EQ(Hex(counting.bytes), "0302010005040706" "08090A0B0C0D0E0F");
  EXPECT_EQ(Hex(PlainOrder(counting).bytes), "0001020304050607" "08090A0B0C0D0E0F");
}
#else
TEST(Vst3AbiIds, OnLinuxTheBytesAreTheFourWordsBigEndianInTurn) {
  EXPECT_EQ(kNativeUidOrder, UidOrder::kPlain);
  const unsigned char component[16] = {0xE8, 0x31, 0xFF, 0x31, 0xF2, 0xD5, 0x43, 0x01,
                                       0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
  EXPECT_EQ(std::memcmp(IComponent::iid.bytes, component, 16), 0) << Hex(IComponent::iid.bytes);
  const Uid counting = MakeUid(0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F, UidOrder::kPlain);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(counting.bytes[i], static_cast<char>(i)) << "byte " << i;
  EXPECT_TRUE(PlainOrder(counting) == counting);
}
#endif

TEST(Vst3AbiIds, TheComOrderIsTheGuidLayoutInMemory) {
  // {00010203-0405-0607-0809-0A0B0C0D0E0F} in memory: Data1 little-endian, Data2 and Data3 likewise.
  const unsigned char guid[16] = {0x03, 0x02, 0x01, 0x00, 0x05, 0x04, 0x07, 0x06,
                                  0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
  const Uid com = MakeUid(0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F, UidOrder::kCom);
  EXPECT_EQ(std::memcmp(com.bytes, guid, 16), 0) << Hex(com.bytes);
  // FUnknown is COM's IUnknown, {00000000-0000-0000-C000-000000000046}, the same bytes in either order.
  const Uid unknown = MakeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046, UidOrder::kCom);
  EXPECT_EQ(Hex(unknown.bytes), "0000000000000000C000000000000046");
  EXPECT_TRUE(unknown == FUnknown::iid);
}

TEST(Vst3AbiIds, SameUidComparesAllSixteenBytes) {
  char copy[16];
  std::memcpy(copy, IEditController::iid.bytes, 16);
  EXPECT_TRUE(SameUid(copy, IEditController::iid));
  for (int i = 0; i < 16; ++i) {
    copy[i] = static_cast<char>(copy[i] ^ 0x01);
    EXPECT_FALSE(SameUid(copy, IEditController::iid)) << "byte " << i;
    copy[i] = static_cast<char>(copy[i] ^ 0x01);
  }
  EXPECT_FALSE(SameUid(nullptr, IEditController::iid));
}

// --- Constants -------------------------------------------------------------------------------------------

#ifdef _WIN32
// COM's HRESULTs.
TEST(Vst3AbiConstants, ResultCodesAreTheWindowsValues) {
  EXPECT_EQ(static_cast<uint32_t>(kNoInterface), 0x80004002u);
  EXPECT_EQ(kResultOk, 0);
  EXPECT_EQ(kResultTrue, 0);
  EXPECT_EQ(kResultFalse, 1);
  EXPECT_EQ(static_cast<uint32_t>(kInvalidArgument), 0x80070057u);
  EXPECT_EQ(static_cast<uint32_t>(kNotImplemented), 0x80004001u);
  EXPECT_EQ(static_cast<uint32_t>(kInternalError), 0x80004005u);
  EXPECT_EQ(static_cast<uint32_t>(kNotInitialized), 0x8000FFFFu);
  EXPECT_EQ(static_cast<uint32_t>(kOutOfMemory), 0x8007000Eu);
  EXPECT_EQ(sizeof(tresult), 4u);
}
#else
TEST(Vst3AbiConstants, ResultCodesAreTheLinuxValues) {
  EXPECT_EQ(kNoInterface, -1);
  EXPECT_EQ(kResultOk, 0);
  EXPECT_EQ(kResultTrue, 0);
  EXPECT_EQ(kResultFalse, 1);
  EXPECT_EQ(kInvalidArgument, 2);
  EXPECT_EQ(kNotImplemented, 3);
  EXPECT_EQ(kInternalError, 4);
  EXPECT_EQ(kNotInitialized, 5);
  EXPECT_EQ(kOutOfMemory, 6);
  EXPECT_EQ(sizeof(tresult), 4u);
}
#endif

TEST(Vst3AbiConstants, FlagsAndEnumerationsHaveTheDocumentedValues) {
  EXPECT_EQ(SpeakerArr::kMono, 1ull << 19);
  EXPECT_EQ(SpeakerArr::kStereo, 3ull);
  EXPECT_EQ(ParameterInfo::kCanAutomate, 1);
  EXPECT_EQ(ParameterInfo::kIsReadOnly, 2);
  EXPECT_EQ(ParameterInfo::kIsList, 8);
  EXPECT_EQ(ParameterInfo::kIsHidden, 16);
  EXPECT_EQ(ParameterInfo::kIsProgramChange, 1 << 15);
  EXPECT_EQ(ParameterInfo::kIsBypass, 1 << 16);
  EXPECT_EQ(kReloadComponent, 1);
  EXPECT_EQ(kIoChanged, 2);
  EXPECT_EQ(kParamValuesChanged, 4);
  EXPECT_EQ(kLatencyChanged, 8);
  EXPECT_EQ(kParamTitlesChanged, 16);
  EXPECT_EQ(kIoTitlesChanged, 128);
  EXPECT_EQ(PFactoryInfo::kUnicode, 16);
  EXPECT_EQ(PFactoryInfo::kComponentNonDiscardable, 8);
  EXPECT_EQ(PClassInfo::kManyInstances, 0x7FFFFFFF);
  EXPECT_EQ(kDistributable, 1u);
  EXPECT_EQ(BusInfo::kDefaultActive, 1u);
  EXPECT_EQ(kAudio, 0);
  EXPECT_EQ(kEvent, 1);
  EXPECT_EQ(kInput, 0);
  EXPECT_EQ(kOutput, 1);
  EXPECT_EQ(kMain, 0);
  EXPECT_EQ(kAux, 1);
  EXPECT_EQ(kRealtime, 0);
  EXPECT_EQ(kOffline, 2);
  EXPECT_EQ(kSample32, 0);
  EXPECT_EQ(kSample64, 1);
  EXPECT_EQ(kIBSeekSet, 0);
  EXPECT_EQ(kIBSeekCur, 1);
  EXPECT_EQ(kIBSeekEnd, 2);
  EXPECT_EQ(kRootUnitId, 0);
  EXPECT_EQ(kNoParentUnitId, -1);
  EXPECT_EQ(kNoProgramListId, -1);
  EXPECT_EQ(kInfiniteTail, 0xFFFFFFFFu);
  EXPECT_STREQ(kPlatformTypeX11EmbedWindowID, "X11EmbedWindowID");
  EXPECT_STREQ(kEditor, "editor");
  EXPECT_STREQ(kVstAudioEffectClass, "Audio Module Class");
  EXPECT_STREQ(kVstComponentControllerClass, "Component Controller Class");
  EXPECT_STREQ(kPlugTypeFxDynamics, "Fx|Dynamics");
  EXPECT_STREQ(kModuleEntryName, "ModuleEntry");
  EXPECT_STREQ(kModuleExitName, "ModuleExit");
  EXPECT_STREQ(kGetPluginFactoryName, "GetPluginFactory");
}

// --- Layouts ---------------------------------------------------------------------------------------------

TEST(Vst3AbiLayout, BasicTypesHaveTheDocumentedWidths) {
  EXPECT_EQ(sizeof(TUID), 16u);
  EXPECT_EQ(sizeof(TChar), 2u);
  EXPECT_EQ(sizeof(String128), 256u);
  EXPECT_EQ(sizeof(TBool), 1u);
  EXPECT_EQ(sizeof(ParamID), 4u);
  EXPECT_EQ(sizeof(ParamValue), 8u);
  EXPECT_EQ(sizeof(SpeakerArrangement), 8u);
  EXPECT_EQ(sizeof(LinuxRunLoop::TimerInterval), 8u);
  EXPECT_EQ(sizeof(IPlugViewContentScaleSupport::ScaleFactor), 4u);
}

TEST(Vst3AbiLayout, FactoryStructs) {
  EXPECT_EQ(offsetof(PFactoryInfo, vendor), 0u);
  EXPECT_EQ(offsetof(PFactoryInfo, url), 64u);
  EXPECT_EQ(offsetof(PFactoryInfo, email), 320u);
  EXPECT_EQ(offsetof(PFactoryInfo, flags), 448u);
  EXPECT_EQ(sizeof(PFactoryInfo), 452u);

  EXPECT_EQ(offsetof(PClassInfo, cid), 0u);
  EXPECT_EQ(offsetof(PClassInfo, cardinality), 16u);
  EXPECT_EQ(offsetof(PClassInfo, category), 20u);
  EXPECT_EQ(offsetof(PClassInfo, name), 52u);
  EXPECT_EQ(sizeof(PClassInfo), 116u);

  EXPECT_EQ(offsetof(PClassInfo2, cid), 0u);
  EXPECT_EQ(offsetof(PClassInfo2, cardinality), 16u);
  EXPECT_EQ(offsetof(PClassInfo2, category), 20u);
  EXPECT_EQ(offsetof(PClassInfo2, name), 52u);
  EXPECT_EQ(offsetof(PClassInfo2, classFlags), 116u);
  EXPECT_EQ(offsetof(PClassInfo2, subCategories), 120u);
  EXPECT_EQ(offsetof(PClassInfo2, vendor), 248u);
  EXPECT_EQ(offsetof(PClassInfo2, version), 312u);
  EXPECT_EQ(offsetof(PClassInfo2, sdkVersion), 376u);
  EXPECT_EQ(sizeof(PClassInfo2), 440u);

  EXPECT_EQ(offsetof(PClassInfoW, cid), 0u);
  EXPECT_EQ(offsetof(PClassInfoW, cardinality), 16u);
  EXPECT_EQ(offsetof(PClassInfoW, category), 20u);
  EXPECT_EQ(offsetof(PClassInfoW, name), 52u);
  EXPECT_EQ(offsetof(PClassInfoW, classFlags), 180u);
  EXPECT_EQ(offsetof(PClassInfoW, subCategories), 184u);
  EXPECT_EQ(offsetof(PClassInfoW, vendor), 312u);
  EXPECT_EQ(offsetof(PClassInfoW, version), 440u);
  EXPECT_EQ(offsetof(PClassInfoW, sdkVersion), 568u);
  EXPECT_EQ(sizeof(PClassInfoW), 696u);
}

TEST(Vst3AbiLayout, ProcessingStructs) {
  EXPECT_EQ(offsetof(ProcessSetup, processMode), 0u);
  EXPECT_EQ(offsetof(ProcessSetup, symbolicSampleSize), 4u);
  EXPECT_EQ(offsetof(ProcessSetup, maxSamplesPerBlock), 8u);
  EXPECT_EQ(offsetof(ProcessSetup, sampleRate), 16u);
  EXPECT_EQ(sizeof(ProcessSetup), 24u);

  EXPECT_EQ(offsetof(AudioBusBuffers, numChannels), 0u);
  EXPECT_EQ(offsetof(AudioBusBuffers, silenceFlags), 8u);
  EXPECT_EQ(offsetof(AudioBusBuffers, channelBuffers32), 16u);
  EXPECT_EQ(offsetof(AudioBusBuffers, channelBuffers64), 16u);
  EXPECT_EQ(sizeof(AudioBusBuffers), 24u);

  EXPECT_EQ(offsetof(ProcessData, processMode), 0u);
  EXPECT_EQ(offsetof(ProcessData, symbolicSampleSize), 4u);
  EXPECT_EQ(offsetof(ProcessData, numSamples), 8u);
  EXPECT_EQ(offsetof(ProcessData, numInputs), 12u);
  EXPECT_EQ(offsetof(ProcessData, numOutputs), 16u);
  EXPECT_EQ(offsetof(ProcessData, inputs), 24u);
  EXPECT_EQ(offsetof(ProcessData, outputs), 32u);
  EXPECT_EQ(offsetof(ProcessData, inputParameterChanges), 40u);
  EXPECT_EQ(offsetof(ProcessData, outputParameterChanges), 48u);
  EXPECT_EQ(offsetof(ProcessData, inputEvents), 56u);
  EXPECT_EQ(offsetof(ProcessData, outputEvents), 64u);
  EXPECT_EQ(offsetof(ProcessData, processContext), 72u);
  EXPECT_EQ(sizeof(ProcessData), 80u);

  EXPECT_EQ(offsetof(BusInfo, mediaType), 0u);
  EXPECT_EQ(offsetof(BusInfo, direction), 4u);
  EXPECT_EQ(offsetof(BusInfo, channelCount), 8u);
  EXPECT_EQ(offsetof(BusInfo, name), 12u);
  EXPECT_EQ(offsetof(BusInfo, busType), 268u);
  EXPECT_EQ(offsetof(BusInfo, flags), 272u);
  EXPECT_EQ(sizeof(BusInfo), 276u);
}

TEST(Vst3AbiLayout, ControllerAndViewStructs) {
  EXPECT_EQ(offsetof(ParameterInfo, id), 0u);
  EXPECT_EQ(offsetof(ParameterInfo, title), 4u);
  EXPECT_EQ(offsetof(ParameterInfo, shortTitle), 260u);
  EXPECT_EQ(offsetof(ParameterInfo, units), 516u);
  EXPECT_EQ(offsetof(ParameterInfo, stepCount), 772u);
  EXPECT_EQ(offsetof(ParameterInfo, defaultNormalizedValue), 776u);
  EXPECT_EQ(offsetof(ParameterInfo, unitId), 784u);
  EXPECT_EQ(offsetof(ParameterInfo, flags), 788u);
  EXPECT_EQ(sizeof(ParameterInfo), 792u);

  EXPECT_EQ(offsetof(UnitInfo, id), 0u);
  EXPECT_EQ(offsetof(UnitInfo, parentUnitId), 4u);
  EXPECT_EQ(offsetof(UnitInfo, name), 8u);
  EXPECT_EQ(offsetof(UnitInfo, programListId), 264u);
  EXPECT_EQ(sizeof(UnitInfo), 268u);

  EXPECT_EQ(offsetof(ProgramListInfo, id), 0u);
  EXPECT_EQ(offsetof(ProgramListInfo, name), 4u);
  EXPECT_EQ(offsetof(ProgramListInfo, programCount), 260u);
  EXPECT_EQ(sizeof(ProgramListInfo), 264u);

  EXPECT_EQ(offsetof(ViewRect, left), 0u);
  EXPECT_EQ(offsetof(ViewRect, top), 4u);
  EXPECT_EQ(offsetof(ViewRect, right), 8u);
  EXPECT_EQ(offsetof(ViewRect, bottom), 12u);
  EXPECT_EQ(sizeof(ViewRect), 16u);
}

template <class I>
void ExpectBareInterface(const char* name) {
  // Only a vtable pointer, and no virtual destructor adding slots after the documented ones.
  EXPECT_EQ(sizeof(I), sizeof(void*)) << name;
  EXPECT_TRUE(std::is_polymorphic_v<I>) << name;
  EXPECT_FALSE(std::has_virtual_destructor_v<I>) << name;
}

TEST(Vst3AbiLayout, InterfacesAreAVtablePointerAndNothingElse) {
  ExpectBareInterface<FUnknown>("FUnknown");
  ExpectBareInterface<IPluginBase>("IPluginBase");
  ExpectBareInterface<IPluginFactory3>("IPluginFactory3");
  ExpectBareInterface<IBStream>("IBStream");
  ExpectBareInterface<IHostApplication>("IHostApplication");
  ExpectBareInterface<IComponent>("IComponent");
  ExpectBareInterface<IAudioProcessor>("IAudioProcessor");
  ExpectBareInterface<IProcessContextRequirements>("IProcessContextRequirements");
  ExpectBareInterface<IParamValueQueue>("IParamValueQueue");
  ExpectBareInterface<IParameterChanges>("IParameterChanges");
  ExpectBareInterface<IEditController>("IEditController");
  ExpectBareInterface<IComponentHandler>("IComponentHandler");
  ExpectBareInterface<IUnitInfo>("IUnitInfo");
  ExpectBareInterface<IAttributeList>("IAttributeList");
  ExpectBareInterface<IMessage>("IMessage");
  ExpectBareInterface<IConnectionPoint>("IConnectionPoint");
  ExpectBareInterface<IPlugView>("IPlugView");
  ExpectBareInterface<IPlugFrame>("IPlugFrame");
  ExpectBareInterface<IPlugViewContentScaleSupport>("IPlugViewContentScaleSupport");
  ExpectBareInterface<LinuxRunLoop::IEventHandler>("Linux::IEventHandler");
  ExpectBareInterface<LinuxRunLoop::ITimerHandler>("Linux::ITimerHandler");
  ExpectBareInterface<LinuxRunLoop::IRunLoop>("Linux::IRunLoop");
}

// --- Vtables ---------------------------------------------------------------------------------------------

// A string argument recorded by its text rather than its address.
struct Text {
  const char* s;
};

void Put(std::ostringstream& out, Text t) { out << '"' << (t.s ? t.s : "(null)") << '"'; }
template <class T>
void Put(std::ostringstream& out, T v) {
  if constexpr (std::is_pointer_v<T>) {
    out << static_cast<const void*>(v);
  } else if constexpr (std::is_floating_point_v<T>) {
    out << static_cast<double>(v);
  } else {
    out << static_cast<long long>(v);
  }
}

template <class... A>
std::string Describe(const char* method, A... args) {
  std::ostringstream out;
  out << method << '(';
  [[maybe_unused]] const char* separator = "";
  ((out << separator, Put(out, args), separator = ","), ...);
  out << ')';
  return out.str();
}

// What a method at documented slot N answers: a value that names N, in the method's return type.
template <class R>
R Answer(int slot) {
  if constexpr (std::is_pointer_v<R>) {
    return reinterpret_cast<R>(std::uintptr_t{0x10000} + static_cast<std::uintptr_t>(slot) * 16u);
  } else if constexpr (std::is_floating_point_v<R>) {
    return static_cast<R>(100 + slot) + static_cast<R>(0.5);
  } else {
    return static_cast<R>(100 + slot);
  }
}

class Recorder {
 public:
  std::string last;  // the last call, as Describe writes it

 protected:
  template <class R, class... A>
  R Hit(int documentedSlot, const char* method, A... args) {
    last = Describe(method, args...);
    if constexpr (std::is_void_v<R>) {
      return;
    } else {
      return Answer<R>(documentedSlot);
    }
  }
};

// The FUnknown part every fake shares: answers each of its interfaces, counts references.
template <class First, class... Rest>
class Fake : public Recorder, public First, public Rest... {
 public:
  tresult queryInterface(const TUID interfaceId, void** obj) override {
    last = Describe("queryInterface", static_cast<const void*>(interfaceId), obj);
    *obj = nullptr;
    const bool found = Offer<First>(interfaceId, obj) || (Offer<Rest>(interfaceId, obj) || ...);
    if (!found && SameUid(interfaceId, FUnknown::iid)) *obj = static_cast<First*>(this);
    if (*obj == nullptr) return kNoInterface;
    ++refs;
    return kResultOk;
  }
  uint32_t addRef() override {
    last = Describe("addRef");
    return ++refs;
  }
  uint32_t release() override {
    last = Describe("release");
    return --refs;
  }

  uint32_t refs = 1;

 private:
  template <class I>
  bool Offer(const TUID interfaceId, void** obj) {
    if (!SameUid(interfaceId, I::iid)) return false;
    *obj = static_cast<I*>(this);
    return true;
  }
};

// Slot `slot` of the vtable `iface` points at, called as a C host calls it.
template <class R, class... A>
R CallSlot(void* iface, std::size_t slot, A... args) {
  void* const* vtable = nullptr;
  std::memcpy(&vtable, iface, sizeof vtable);
  using Function = R (*)(void*, A...);
  const auto function = reinterpret_cast<Function>(vtable[slot]);
  return function(iface, args...);
}

// A C host passes a string as its pointer.
const char* Pass(Text t) { return t.s; }
template <class T>
T Pass(T v) {
  return v;
}

template <class R, class... A>
void ExpectSlot(Recorder& fake, void* iface, int slot, const char* method, A... args) {
  fake.last.clear();
  if constexpr (std::is_void_v<R>) {
    CallSlot<void>(iface, static_cast<std::size_t>(slot), Pass(args)...);
  } else {
    const R result = CallSlot<R>(iface, static_cast<std::size_t>(slot), Pass(args)...);
    EXPECT_EQ(result, Answer<R>(slot)) << "slot " << slot << ", " << method << ": wrong result";
  }
  EXPECT_EQ(fake.last, Describe(method, args...)) << "slot " << slot;
}

// Slots 0-2 through the view `iface` of `fake`, which must answer `I` with that same view.
template <class I, class F>
void ExpectUnknownSlots(F& fake, I* iface, const char* name) {
  SCOPED_TRACE(name);
  void* obj = nullptr;
  const uint32_t before = fake.refs;
  EXPECT_EQ(CallSlot<tresult>(iface, 0, static_cast<const char*>(I::iid.bytes), &obj), kResultOk);
  EXPECT_EQ(fake.last, Describe("queryInterface", static_cast<const void*>(I::iid.bytes), &obj));
  EXPECT_EQ(obj, static_cast<void*>(iface));
  EXPECT_EQ(CallSlot<uint32_t>(iface, 1), before + 2);
  EXPECT_EQ(fake.last, "addRef()");
  EXPECT_EQ(CallSlot<uint32_t>(iface, 2), before + 1);
  EXPECT_EQ(fake.last, "release()");
  EXPECT_EQ(CallSlot<uint32_t>(iface, 2), before);
}

// Each method answers with the slot the documentation gives it.
class FakeComponent final
    : public Fake<IComponent, IAudioProcessor, IProcessContextRequirements, IConnectionPoint> {
 public:
  tresult initialize(FUnknown* context) override { return Hit<tresult>(3, "initialize", context); }
  tresult terminate() override { return Hit<tresult>(4, "terminate"); }
  tresult getControllerClassId(TUID classId) override {
    return Hit<tresult>(5, "getControllerClassId", static_cast<void*>(classId));
  }
  tresult setIoMode(IoMode mode) override { return Hit<tresult>(6, "setIoMode", mode); }
  int32_t getBusCount(MediaType type, BusDirection dir) override {
    return Hit<int32_t>(7, "getBusCount", type, dir);
  }
  tresult getBusInfo(MediaType type, BusDirection dir, int32_t index, BusInfo& bus) override {
    return Hit<tresult>(8, "getBusInfo", type, dir, index, &bus);
  }
  tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override {
    return Hit<tresult>(9, "getRoutingInfo", &inInfo, &outInfo);
  }
  tresult activateBus(MediaType type, BusDirection dir, int32_t index, TBool state) override {
    return Hit<tresult>(10, "activateBus", type, dir, index, state);
  }
  tresult setActive(TBool state) override { return Hit<tresult>(11, "setActive", state); }
  tresult setState(IBStream* state) override { return Hit<tresult>(12, "setState", state); }
  tresult getState(IBStream* state) override { return Hit<tresult>(13, "getState", state); }

  tresult setBusArrangements(SpeakerArrangement* inputs, int32_t numIns, SpeakerArrangement* outputs,
                             int32_t numOuts) override {
    return Hit<tresult>(3, "setBusArrangements", inputs, numIns, outputs, numOuts);
  }
  tresult getBusArrangement(BusDirection dir, int32_t index, SpeakerArrangement& arr) override {
    return Hit<tresult>(4, "getBusArrangement", dir, index, &arr);
  }
  tresult canProcessSampleSize(int32_t symbolicSampleSize) override {
    return Hit<tresult>(5, "canProcessSampleSize", symbolicSampleSize);
  }
  uint32_t getLatencySamples() override { return Hit<uint32_t>(6, "getLatencySamples"); }
  tresult setupProcessing(ProcessSetup& setup) override { return Hit<tresult>(7, "setupProcessing", &setup); }
  tresult setProcessing(TBool state) override { return Hit<tresult>(8, "setProcessing", state); }
  tresult process(ProcessData& data) override { return Hit<tresult>(9, "process", &data); }
  uint32_t getTailSamples() override { return Hit<uint32_t>(10, "getTailSamples"); }

  uint32_t getProcessContextRequirements() override { return Hit<uint32_t>(3, "getProcessContextRequirements"); }

  tresult connect(IConnectionPoint* other) override { return Hit<tresult>(3, "connect", other); }
  tresult disconnect(IConnectionPoint* other) override { return Hit<tresult>(4, "disconnect", other); }
  tresult notify(IMessage* message) override { return Hit<tresult>(5, "notify", message); }
};

class FakeController final : public Fake<IEditController, IUnitInfo> {
 public:
  tresult initialize(FUnknown* context) override { return Hit<tresult>(3, "initialize", context); }
  tresult terminate() override { return Hit<tresult>(4, "terminate"); }
  tresult setComponentState(IBStream* state) override { return Hit<tresult>(5, "setComponentState", state); }
  tresult setState(IBStream* state) override { return Hit<tresult>(6, "setState", state); }
  tresult getState(IBStream* state) override { return Hit<tresult>(7, "getState", state); }
  int32_t getParameterCount() override { return Hit<int32_t>(8, "getParameterCount"); }
  tresult getParameterInfo(int32_t paramIndex, ParameterInfo& info) override {
    return Hit<tresult>(9, "getParameterInfo", paramIndex, &info);
  }
  tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override {
    return Hit<tresult>(10, "getParamStringByValue", id, valueNormalized, string);
  }
  tresult getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) override {
    return Hit<tresult>(11, "getParamValueByString", id, string, &valueNormalized);
  }
  ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override {
    return Hit<ParamValue>(12, "normalizedParamToPlain", id, valueNormalized);
  }
  ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) override {
    return Hit<ParamValue>(13, "plainParamToNormalized", id, plainValue);
  }
  ParamValue getParamNormalized(ParamID id) override { return Hit<ParamValue>(14, "getParamNormalized", id); }
  tresult setParamNormalized(ParamID id, ParamValue value) override {
    return Hit<tresult>(15, "setParamNormalized", id, value);
  }
  tresult setComponentHandler(IComponentHandler* handler) override {
    return Hit<tresult>(16, "setComponentHandler", handler);
  }
  IPlugView* createView(FIDString name) override { return Hit<IPlugView*>(17, "createView", Text{name}); }

  int32_t getUnitCount() override { return Hit<int32_t>(3, "getUnitCount"); }
  tresult getUnitInfo(int32_t unitIndex, UnitInfo& info) override {
    return Hit<tresult>(4, "getUnitInfo", unitIndex, &info);
  }
  int32_t getProgramListCount() override { return Hit<int32_t>(5, "getProgramListCount"); }
  tresult getProgramListInfo(int32_t listIndex, ProgramListInfo& info) override {
    return Hit<tresult>(6, "getProgramListInfo", listIndex, &info);
  }
  tresult getProgramName(ProgramListID listId, int32_t programIndex, String128 name) override {
    return Hit<tresult>(7, "getProgramName", listId, programIndex, name);
  }
  tresult getProgramInfo(ProgramListID listId, int32_t programIndex, const char* attributeId,
                         String128 attributeValue) override {
    return Hit<tresult>(8, "getProgramInfo", listId, programIndex, Text{attributeId}, attributeValue);
  }
  tresult hasProgramPitchNames(ProgramListID listId, int32_t programIndex) override {
    return Hit<tresult>(9, "hasProgramPitchNames", listId, programIndex);
  }
  tresult getProgramPitchName(ProgramListID listId, int32_t programIndex, int16_t midiPitch,
                              String128 name) override {
    return Hit<tresult>(10, "getProgramPitchName", listId, programIndex, midiPitch, name);
  }
  UnitID getSelectedUnit() override { return Hit<UnitID>(11, "getSelectedUnit"); }
  tresult selectUnit(UnitID unitId) override { return Hit<tresult>(12, "selectUnit", unitId); }
  tresult getUnitByBus(MediaType type, BusDirection dir, int32_t busIndex, int32_t channel,
                       UnitID& unitId) override {
    return Hit<tresult>(13, "getUnitByBus", type, dir, busIndex, channel, &unitId);
  }
  tresult setUnitProgramData(int32_t listOrUnitId, int32_t programIndex, IBStream* data) override {
    return Hit<tresult>(14, "setUnitProgramData", listOrUnitId, programIndex, data);
  }
};

class FakeFactory final : public Fake<IPluginFactory3> {
 public:
  tresult getFactoryInfo(PFactoryInfo* info) override { return Hit<tresult>(3, "getFactoryInfo", info); }
  int32_t countClasses() override { return Hit<int32_t>(4, "countClasses"); }
  tresult getClassInfo(int32_t index, PClassInfo* info) override {
    return Hit<tresult>(5, "getClassInfo", index, info);
  }
  tresult createInstance(FIDString cid, FIDString interfaceId, void** obj) override {
    return Hit<tresult>(6, "createInstance", static_cast<const void*>(cid), static_cast<const void*>(interfaceId),
                        obj);
  }
  tresult getClassInfo2(int32_t index, PClassInfo2* info) override {
    return Hit<tresult>(7, "getClassInfo2", index, info);
  }
  tresult getClassInfoUnicode(int32_t index, PClassInfoW* info) override {
    return Hit<tresult>(8, "getClassInfoUnicode", index, info);
  }
  tresult setHostContext(FUnknown* context) override { return Hit<tresult>(9, "setHostContext", context); }
};

class FakeHost final
    : public Fake<IHostApplication, IComponentHandler, IPlugFrame, LinuxRunLoop::IRunLoop> {
 public:
  tresult getName(String128 name) override { return Hit<tresult>(3, "getName", name); }
  tresult createInstance(TUID cid, TUID interfaceId, void** obj) override {
    return Hit<tresult>(4, "createInstance", static_cast<void*>(cid), static_cast<void*>(interfaceId), obj);
  }

  tresult beginEdit(ParamID id) override { return Hit<tresult>(3, "beginEdit", id); }
  tresult performEdit(ParamID id, ParamValue valueNormalized) override {
    return Hit<tresult>(4, "performEdit", id, valueNormalized);
  }
  tresult endEdit(ParamID id) override { return Hit<tresult>(5, "endEdit", id); }
  tresult restartComponent(int32_t flags) override { return Hit<tresult>(6, "restartComponent", flags); }

  tresult resizeView(IPlugView* view, ViewRect* newSize) override {
    return Hit<tresult>(3, "resizeView", view, newSize);
  }

  tresult registerEventHandler(LinuxRunLoop::IEventHandler* handler, LinuxRunLoop::FileDescriptor fd) override {
    return Hit<tresult>(3, "registerEventHandler", handler, fd);
  }
  tresult unregisterEventHandler(LinuxRunLoop::IEventHandler* handler) override {
    return Hit<tresult>(4, "unregisterEventHandler", handler);
  }
  tresult registerTimer(LinuxRunLoop::ITimerHandler* handler, LinuxRunLoop::TimerInterval milliseconds) override {
    return Hit<tresult>(5, "registerTimer", handler, milliseconds);
  }
  tresult unregisterTimer(LinuxRunLoop::ITimerHandler* handler) override {
    return Hit<tresult>(6, "unregisterTimer", handler);
  }
};

class FakeStream final : public Fake<IBStream> {
 public:
  tresult read(void* buffer, int32_t numBytes, int32_t* numBytesRead) override {
    return Hit<tresult>(3, "read", buffer, numBytes, numBytesRead);
  }
  tresult write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) override {
    return Hit<tresult>(4, "write", buffer, numBytes, numBytesWritten);
  }
  tresult seek(int64_t pos, int32_t mode, int64_t* result) override {
    return Hit<tresult>(5, "seek", pos, mode, result);
  }
  tresult tell(int64_t* pos) override { return Hit<tresult>(6, "tell", pos); }
};

class FakeChanges final : public Fake<IParameterChanges, IParamValueQueue> {
 public:
  int32_t getParameterCount() override { return Hit<int32_t>(3, "getParameterCount"); }
  IParamValueQueue* getParameterData(int32_t index) override {
    return Hit<IParamValueQueue*>(4, "getParameterData", index);
  }
  IParamValueQueue* addParameterData(const ParamID& id, int32_t& index) override {
    return Hit<IParamValueQueue*>(5, "addParameterData", &id, &index);
  }

  ParamID getParameterId() override { return Hit<ParamID>(3, "getParameterId"); }
  int32_t getPointCount() override { return Hit<int32_t>(4, "getPointCount"); }
  tresult getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) override {
    return Hit<tresult>(5, "getPoint", index, &sampleOffset, &value);
  }
  tresult addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) override {
    return Hit<tresult>(6, "addPoint", sampleOffset, value, &index);
  }
};

class FakeMessage final : public Fake<IMessage, IAttributeList> {
 public:
  FIDString getMessageID() override { return Hit<FIDString>(3, "getMessageID"); }
  void setMessageID(FIDString id) override { Hit<void>(4, "setMessageID", Text{id}); }
  IAttributeList* getAttributes() override { return Hit<IAttributeList*>(5, "getAttributes"); }

  tresult setInt(AttrID id, int64_t value) override { return Hit<tresult>(3, "setInt", Text{id}, value); }
  tresult getInt(AttrID id, int64_t& value) override { return Hit<tresult>(4, "getInt", Text{id}, &value); }
  tresult setFloat(AttrID id, double value) override { return Hit<tresult>(5, "setFloat", Text{id}, value); }
  tresult getFloat(AttrID id, double& value) override { return Hit<tresult>(6, "getFloat", Text{id}, &value); }
  tresult setString(AttrID id, const TChar* string) override {
    return Hit<tresult>(7, "setString", Text{id}, string);
  }
  tresult getString(AttrID id, TChar* string, uint32_t sizeInBytes) override {
    return Hit<tresult>(8, "getString", Text{id}, string, sizeInBytes);
  }
  tresult setBinary(AttrID id, const void* data, uint32_t sizeInBytes) override {
    return Hit<tresult>(9, "setBinary", Text{id}, data, sizeInBytes);
  }
  tresult getBinary(AttrID id, const void*& data, uint32_t& sizeInBytes) override {
    return Hit<tresult>(10, "getBinary", Text{id}, &data, &sizeInBytes);
  }
};

class FakeView final : public Fake<IPlugView, IPlugViewContentScaleSupport> {
 public:
  tresult isPlatformTypeSupported(FIDString type) override {
    return Hit<tresult>(3, "isPlatformTypeSupported", Text{type});
  }
  tresult attached(void* parent, FIDString type) override { return Hit<tresult>(4, "attached", parent, Text{type}); }
  tresult removed() override { return Hit<tresult>(5, "removed"); }
  tresult onWheel(float distance) override { return Hit<tresult>(6, "onWheel", distance); }
  tresult onKeyDown(TChar key, int16_t keyCode, int16_t modifiers) override {
    return Hit<tresult>(7, "onKeyDown", key, keyCode, modifiers);
  }
  tresult onKeyUp(TChar key, int16_t keyCode, int16_t modifiers) override {
    return Hit<tresult>(8, "onKeyUp", key, keyCode, modifiers);
  }
  tresult getSize(ViewRect* size) override { return Hit<tresult>(9, "getSize", size); }
  tresult onSize(ViewRect* newSize) override { return Hit<tresult>(10, "onSize", newSize); }
  tresult onFocus(TBool state) override { return Hit<tresult>(11, "onFocus", state); }
  tresult setFrame(IPlugFrame* frame) override { return Hit<tresult>(12, "setFrame", frame); }
  tresult canResize() override { return Hit<tresult>(13, "canResize"); }
  tresult checkSizeConstraint(ViewRect* rect) override { return Hit<tresult>(14, "checkSizeConstraint", rect); }

  tresult setContentScaleFactor(ScaleFactor factor) override {
    return Hit<tresult>(3, "setContentScaleFactor", factor);
  }
};

class FakeHandlers final : public Fake<LinuxRunLoop::IEventHandler, LinuxRunLoop::ITimerHandler> {
 public:
  void onFDIsSet(LinuxRunLoop::FileDescriptor fd) override { Hit<void>(3, "onFDIsSet", fd); }
  void onTimer() override { Hit<void>(3, "onTimer"); }
};

TEST(Vst3AbiVtables, ComponentAndAudioProcessor) {
  FakeComponent fake;
  IComponent* component = &fake;
  IAudioProcessor* processor = &fake;
  IProcessContextRequirements* requirements = &fake;
  IConnectionPoint* connection = &fake;
  ExpectUnknownSlots(fake, component, "IComponent");
  ExpectUnknownSlots(fake, processor, "IAudioProcessor");
  ExpectUnknownSlots(fake, requirements, "IProcessContextRequirements");
  ExpectUnknownSlots(fake, connection, "IConnectionPoint");

  FakeHost host;
  FakeStream stream;
  char classId[16] = {};
  BusInfo bus{};
  ExpectSlot<tresult>(fake, component, 3, "initialize", static_cast<FUnknown*>(static_cast<IHostApplication*>(&host)));
  ExpectSlot<tresult>(fake, component, 4, "terminate");
  ExpectSlot<tresult>(fake, component, 5, "getControllerClassId", static_cast<void*>(classId));
  ExpectSlot<tresult>(fake, component, 6, "setIoMode", IoMode{kAdvanced});
  ExpectSlot<int32_t>(fake, component, 7, "getBusCount", MediaType{kAudio}, BusDirection{kOutput});
  ExpectSlot<tresult>(fake, component, 8, "getBusInfo", MediaType{kAudio}, BusDirection{kOutput}, int32_t{2}, &bus);
  ExpectSlot<tresult>(fake, component, 9, "getRoutingInfo", static_cast<void*>(&bus), static_cast<void*>(classId));
  ExpectSlot<tresult>(fake, component, 10, "activateBus", MediaType{kEvent}, BusDirection{kInput}, int32_t{3},
                      TBool{1});
  ExpectSlot<tresult>(fake, component, 11, "setActive", TBool{1});
  ExpectSlot<tresult>(fake, component, 12, "setState", static_cast<IBStream*>(&stream));
  ExpectSlot<tresult>(fake, component, 13, "getState", static_cast<IBStream*>(&stream));

  SpeakerArrangement ins[1] = {SpeakerArr::kStereo};
  SpeakerArrangement outs[1] = {SpeakerArr::kMono};
  SpeakerArrangement arrangement = 0;
  ProcessSetup setup{};
  ProcessData data{};
  ExpectSlot<tresult>(fake, processor, 3, "setBusArrangements", ins, int32_t{1}, outs, int32_t{1});
  ExpectSlot<tresult>(fake, processor, 4, "getBusArrangement", BusDirection{kInput}, int32_t{0}, &arrangement);
  ExpectSlot<tresult>(fake, processor, 5, "canProcessSampleSize", int32_t{kSample64});
  ExpectSlot<uint32_t>(fake, processor, 6, "getLatencySamples");
  ExpectSlot<tresult>(fake, processor, 7, "setupProcessing", &setup);
  ExpectSlot<tresult>(fake, processor, 8, "setProcessing", TBool{0});
  ExpectSlot<tresult>(fake, processor, 9, "process", &data);
  ExpectSlot<uint32_t>(fake, processor, 10, "getTailSamples");

  ExpectSlot<uint32_t>(fake, requirements, 3, "getProcessContextRequirements");

  FakeComponent other;
  FakeMessage message;
  ExpectSlot<tresult>(fake, connection, 3, "connect", static_cast<IConnectionPoint*>(&other));
  ExpectSlot<tresult>(fake, connection, 4, "disconnect", static_cast<IConnectionPoint*>(&other));
  ExpectSlot<tresult>(fake, connection, 5, "notify", static_cast<IMessage*>(&message));
}

TEST(Vst3AbiVtables, EditControllerAndUnitInfo) {
  FakeController fake;
  IEditController* controller = &fake;
  IUnitInfo* units = &fake;
  ExpectUnknownSlots(fake, controller, "IEditController");
  ExpectUnknownSlots(fake, units, "IUnitInfo");

  FakeHost host;
  FakeStream stream;
  ParameterInfo info{};
  String128 text{};
  ParamValue value = 0;
  ExpectSlot<tresult>(fake, controller, 3, "initialize", static_cast<FUnknown*>(static_cast<IHostApplication*>(&host)));
  ExpectSlot<tresult>(fake, controller, 4, "terminate");
  ExpectSlot<tresult>(fake, controller, 5, "setComponentState", static_cast<IBStream*>(&stream));
  ExpectSlot<tresult>(fake, controller, 6, "setState", static_cast<IBStream*>(&stream));
  ExpectSlot<tresult>(fake, controller, 7, "getState", static_cast<IBStream*>(&stream));
  ExpectSlot<int32_t>(fake, controller, 8, "getParameterCount");
  ExpectSlot<tresult>(fake, controller, 9, "getParameterInfo", int32_t{4}, &info);
  ExpectSlot<tresult>(fake, controller, 10, "getParamStringByValue", ParamID{7}, ParamValue{0.375},
                      static_cast<TChar*>(text));
  ExpectSlot<tresult>(fake, controller, 11, "getParamValueByString", ParamID{7}, static_cast<TChar*>(text), &value);
  ExpectSlot<ParamValue>(fake, controller, 12, "normalizedParamToPlain", ParamID{8}, ParamValue{0.25});
  ExpectSlot<ParamValue>(fake, controller, 13, "plainParamToNormalized", ParamID{8}, ParamValue{-12.5});
  ExpectSlot<ParamValue>(fake, controller, 14, "getParamNormalized", ParamID{9});
  ExpectSlot<tresult>(fake, controller, 15, "setParamNormalized", ParamID{9}, ParamValue{0.75});
  ExpectSlot<tresult>(fake, controller, 16, "setComponentHandler",
                      static_cast<IComponentHandler*>(&host));
  ExpectSlot<IPlugView*>(fake, controller, 17, "createView", Text{kEditor});

  UnitInfo unit{};
  ProgramListInfo list{};
  UnitID unitId = 0;
  ExpectSlot<int32_t>(fake, units, 3, "getUnitCount");
  ExpectSlot<tresult>(fake, units, 4, "getUnitInfo", int32_t{0}, &unit);
  ExpectSlot<int32_t>(fake, units, 5, "getProgramListCount");
  ExpectSlot<tresult>(fake, units, 6, "getProgramListInfo", int32_t{0}, &list);
  ExpectSlot<tresult>(fake, units, 7, "getProgramName", ProgramListID{5}, int32_t{11}, static_cast<TChar*>(text));
  ExpectSlot<tresult>(fake, units, 8, "getProgramInfo", ProgramListID{5}, int32_t{11}, Text{"name"},
                      static_cast<TChar*>(text));
  ExpectSlot<tresult>(fake, units, 9, "hasProgramPitchNames", ProgramListID{5}, int32_t{12});
  ExpectSlot<tresult>(fake, units, 10, "getProgramPitchName", ProgramListID{5}, int32_t{12}, int16_t{60},
                      static_cast<TChar*>(text));
  ExpectSlot<UnitID>(fake, units, 11, "getSelectedUnit");
  ExpectSlot<tresult>(fake, units, 12, "selectUnit", UnitID{kRootUnitId});
  ExpectSlot<tresult>(fake, units, 13, "getUnitByBus", MediaType{kAudio}, BusDirection{kInput}, int32_t{0},
                      int32_t{1}, &unitId);
  ExpectSlot<tresult>(fake, units, 14, "setUnitProgramData", int32_t{5}, int32_t{2}, static_cast<IBStream*>(&stream));
}

TEST(Vst3AbiVtables, PluginFactoryOneToThree) {
  FakeFactory fake;
  IPluginFactory3* factory = &fake;
  ExpectUnknownSlots(fake, factory, "IPluginFactory3");
  PFactoryInfo info{};
  PClassInfo classInfo{};
  PClassInfo2 classInfo2{};
  PClassInfoW classInfoW{};
  void* obj = nullptr;
  FakeHost host;
  ExpectSlot<tresult>(fake, factory, 3, "getFactoryInfo", &info);
  ExpectSlot<int32_t>(fake, factory, 4, "countClasses");
  ExpectSlot<tresult>(fake, factory, 5, "getClassInfo", int32_t{1}, &classInfo);
  ExpectSlot<tresult>(fake, factory, 6, "createInstance", static_cast<const void*>(IComponent::iid.bytes),
                      static_cast<const void*>(IAudioProcessor::iid.bytes), &obj);
  ExpectSlot<tresult>(fake, factory, 7, "getClassInfo2", int32_t{1}, &classInfo2);
  ExpectSlot<tresult>(fake, factory, 8, "getClassInfoUnicode", int32_t{1}, &classInfoW);
  ExpectSlot<tresult>(fake, factory, 9, "setHostContext",
                      static_cast<FUnknown*>(static_cast<IHostApplication*>(&host)));
  // The older views of the same object are prefixes of its vtable.
  ExpectSlot<int32_t>(fake, static_cast<IPluginFactory*>(factory), 4, "countClasses");
  ExpectSlot<tresult>(fake, static_cast<IPluginFactory2*>(factory), 7, "getClassInfo2", int32_t{2}, &classInfo2);
}

TEST(Vst3AbiVtables, HostObjects) {
  FakeHost fake;
  IHostApplication* application = &fake;
  IComponentHandler* handler = &fake;
  IPlugFrame* frame = &fake;
  LinuxRunLoop::IRunLoop* loop = &fake;
  ExpectUnknownSlots(fake, application, "IHostApplication");
  ExpectUnknownSlots(fake, handler, "IComponentHandler");
  ExpectUnknownSlots(fake, frame, "IPlugFrame");
  ExpectUnknownSlots(fake, loop, "Linux::IRunLoop");

  String128 name{};
  char cid[16] = {};
  char interfaceId[16] = {};
  void* obj = nullptr;
  ExpectSlot<tresult>(fake, application, 3, "getName", static_cast<TChar*>(name));
  ExpectSlot<tresult>(fake, application, 4, "createInstance", static_cast<void*>(cid),
                      static_cast<void*>(interfaceId), &obj);

  ExpectSlot<tresult>(fake, handler, 3, "beginEdit", ParamID{3});
  ExpectSlot<tresult>(fake, handler, 4, "performEdit", ParamID{3}, ParamValue{0.625});
  ExpectSlot<tresult>(fake, handler, 5, "endEdit", ParamID{3});
  ExpectSlot<tresult>(fake, handler, 6, "restartComponent", int32_t{kParamValuesChanged | kLatencyChanged});

  FakeView view;
  ViewRect rect{0, 0, 640, 480};
  ExpectSlot<tresult>(fake, frame, 3, "resizeView", static_cast<IPlugView*>(&view), &rect);

  FakeHandlers handlers;
  auto* events = static_cast<LinuxRunLoop::IEventHandler*>(&handlers);
  auto* timers = static_cast<LinuxRunLoop::ITimerHandler*>(&handlers);
  ExpectSlot<tresult>(fake, loop, 3, "registerEventHandler", events, LinuxRunLoop::FileDescriptor{17});
  ExpectSlot<tresult>(fake, loop, 4, "unregisterEventHandler", events);
  ExpectSlot<tresult>(fake, loop, 5, "registerTimer", timers, LinuxRunLoop::TimerInterval{0x100000010ull});
  ExpectSlot<tresult>(fake, loop, 6, "unregisterTimer", timers);
}

TEST(Vst3AbiVtables, RunLoopHandlers) {
  FakeHandlers fake;
  LinuxRunLoop::IEventHandler* events = &fake;
  LinuxRunLoop::ITimerHandler* timers = &fake;
  ExpectUnknownSlots(fake, events, "Linux::IEventHandler");
  ExpectUnknownSlots(fake, timers, "Linux::ITimerHandler");
  ExpectSlot<void>(fake, events, 3, "onFDIsSet", LinuxRunLoop::FileDescriptor{9});
  ExpectSlot<void>(fake, timers, 3, "onTimer");
}

TEST(Vst3AbiVtables, Stream) {
  FakeStream fake;
  IBStream* stream = &fake;
  ExpectUnknownSlots(fake, stream, "IBStream");
  char buffer[8] = {};
  int32_t count = 0;
  int64_t position = 0;
  ExpectSlot<tresult>(fake, stream, 3, "read", static_cast<void*>(buffer), int32_t{8}, &count);
  ExpectSlot<tresult>(fake, stream, 4, "write", static_cast<void*>(buffer), int32_t{5}, &count);
  ExpectSlot<tresult>(fake, stream, 5, "seek", int64_t{0x123456789}, int32_t{kIBSeekEnd}, &position);
  ExpectSlot<tresult>(fake, stream, 6, "tell", &position);
}

TEST(Vst3AbiVtables, ParameterChangesAndValueQueues) {
  FakeChanges fake;
  IParameterChanges* changes = &fake;
  IParamValueQueue* queue = &fake;
  ExpectUnknownSlots(fake, changes, "IParameterChanges");
  ExpectUnknownSlots(fake, queue, "IParamValueQueue");
  const ParamID id = 6;
  int32_t index = 0;
  int32_t offset = 0;
  ParamValue value = 0;
  ExpectSlot<int32_t>(fake, changes, 3, "getParameterCount");
  ExpectSlot<IParamValueQueue*>(fake, changes, 4, "getParameterData", int32_t{2});
  ExpectSlot<IParamValueQueue*>(fake, changes, 5, "addParameterData", &id, &index);
  ExpectSlot<ParamID>(fake, queue, 3, "getParameterId");
  ExpectSlot<int32_t>(fake, queue, 4, "getPointCount");
  ExpectSlot<tresult>(fake, queue, 5, "getPoint", int32_t{1}, &offset, &value);
  ExpectSlot<tresult>(fake, queue, 6, "addPoint", int32_t{31}, ParamValue{0.125}, &index);
}

TEST(Vst3AbiVtables, MessageAndAttributeList) {
  FakeMessage fake;
  IMessage* message = &fake;
  IAttributeList* attributes = &fake;
  ExpectUnknownSlots(fake, message, "IMessage");
  ExpectUnknownSlots(fake, attributes, "IAttributeList");
  ExpectSlot<FIDString>(fake, message, 3, "getMessageID");
  ExpectSlot<void>(fake, message, 4, "setMessageID", Text{"state"});
  ExpectSlot<IAttributeList*>(fake, message, 5, "getAttributes");

  int64_t integer = 0;
  double real = 0;
  TChar text[4] = {u'a', 0};
  const void* data = nullptr;
  uint32_t size = 0;
  ExpectSlot<tresult>(fake, attributes, 3, "setInt", Text{"i"}, int64_t{-5000000000});
  ExpectSlot<tresult>(fake, attributes, 4, "getInt", Text{"i"}, &integer);
  ExpectSlot<tresult>(fake, attributes, 5, "setFloat", Text{"f"}, 2.5);
  ExpectSlot<tresult>(fake, attributes, 6, "getFloat", Text{"f"}, &real);
  ExpectSlot<tresult>(fake, attributes, 7, "setString", Text{"s"}, static_cast<const TChar*>(text));
  ExpectSlot<tresult>(fake, attributes, 8, "getString", Text{"s"}, static_cast<TChar*>(text), uint32_t{8});
  ExpectSlot<tresult>(fake, attributes, 9, "setBinary", Text{"b"}, static_cast<const void*>(text), uint32_t{3});
  ExpectSlot<tresult>(fake, attributes, 10, "getBinary", Text{"b"}, &data, &size);
}

TEST(Vst3AbiVtables, PlugViewAndContentScale) {
  FakeView fake;
  IPlugView* view = &fake;
  IPlugViewContentScaleSupport* scaling = &fake;
  ExpectUnknownSlots(fake, view, "IPlugView");
  ExpectUnknownSlots(fake, scaling, "IPlugViewContentScaleSupport");
  FakeHost host;
  ViewRect rect{1, 2, 3, 4};
  // The X11 parent travels as a window id in the pointer's bits.
  void* parent = reinterpret_cast<void*>(std::uintptr_t{0x3a00007});
  ExpectSlot<tresult>(fake, view, 3, "isPlatformTypeSupported", Text{kPlatformTypeX11EmbedWindowID});
  ExpectSlot<tresult>(fake, view, 4, "attached", parent, Text{kPlatformTypeX11EmbedWindowID});
  ExpectSlot<tresult>(fake, view, 5, "removed");
  ExpectSlot<tresult>(fake, view, 6, "onWheel", -1.5f);
  ExpectSlot<tresult>(fake, view, 7, "onKeyDown", TChar{u'q'}, int16_t{-3}, int16_t{4});
  ExpectSlot<tresult>(fake, view, 8, "onKeyUp", TChar{u'w'}, int16_t{5}, int16_t{-6});
  ExpectSlot<tresult>(fake, view, 9, "getSize", &rect);
  ExpectSlot<tresult>(fake, view, 10, "onSize", &rect);
  ExpectSlot<tresult>(fake, view, 11, "onFocus", TBool{1});
  ExpectSlot<tresult>(fake, view, 12, "setFrame", static_cast<IPlugFrame*>(&host));
  ExpectSlot<tresult>(fake, view, 13, "canResize");
  ExpectSlot<tresult>(fake, view, 14, "checkSizeConstraint", &rect);
  ExpectSlot<tresult>(fake, scaling, 3, "setContentScaleFactor", 1.25f);
}

// --- Helpers ---------------------------------------------------------------------------------------------

TEST(Vst3AbiHelpers, QueryInterfaceHoldsOneReferenceAndLetsItGo) {
  FakeHost host;
  FUnknown* context = static_cast<IHostApplication*>(&host);
  {
    Ref<IComponentHandler> handler = QueryInterface<IComponentHandler>(context);
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler.get(), static_cast<IComponentHandler*>(&host));
    EXPECT_EQ(host.refs, 2u);
    Ref<IComponentHandler> copy = handler;
    EXPECT_EQ(host.refs, 3u);
    Ref<IComponentHandler> moved = std::move(copy);
    EXPECT_EQ(host.refs, 3u);
    EXPECT_FALSE(copy);
    handler = moved;
    EXPECT_EQ(host.refs, 3u);
  }
  EXPECT_EQ(host.refs, 1u);
  {
    Ref<IPlugFrame> shared = Ref<IPlugFrame>::Share(static_cast<IPlugFrame*>(&host));
    EXPECT_EQ(host.refs, 2u);
  }
  EXPECT_EQ(host.refs, 1u);
}

TEST(Vst3AbiHelpers, QueryInterfaceIsEmptyForAnInterfaceTheObjectLacks) {
  FakeHost host;
  EXPECT_FALSE(QueryInterface<IBStream>(static_cast<IHostApplication*>(&host)));
  EXPECT_EQ(host.refs, 1u);
  EXPECT_FALSE(QueryInterface<IBStream>(nullptr));
  // FUnknown itself is answered by every object.
  EXPECT_TRUE(QueryInterface<FUnknown>(static_cast<IPlugFrame*>(&host)));
  EXPECT_EQ(host.refs, 1u);
}

}  // namespace
