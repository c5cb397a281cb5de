// The module's exports: ModuleEntry and ModuleExit (InitDll and ExitDll on Windows; counted: hosts may call
// each more than once) and GetPluginFactory, the factory of the mono and stereo plug-ins.

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "format/vst3/Vst3Abi.h"
#include "format/vst3/Vst3Ids.h"
#include "format/vst3/Vst3Params.h"
#include "format/vst3/Vst3Plugin.h"
#include "platform/ProductVersion.h"

namespace qrv::vst3 {
namespace {

using namespace abi;

struct ClassEntry {
  const Uid* cid;
  const char* name;
  Layout layout;
};
const ClassEntry kClasses[2] = {{&kClassIdMono, kNameMono, Layout::kMono},
                                {&kClassIdStereo, kNameStereo, Layout::kStereo}};
constexpr int32_t kClassCount = 2;

template <std::size_t N>
void Copy(char (&out)[N], const char* text) {
  std::snprintf(out, N, "%s", text);
}

class Factory final : public IPluginFactory3 {
 public:
  tresult queryInterface(const TUID id, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (SameUid(id, FUnknown::iid) || SameUid(id, IPluginFactory::iid) || SameUid(id, IPluginFactory2::iid) ||
        SameUid(id, IPluginFactory3::iid)) {
      *obj = static_cast<IPluginFactory3*>(this);
      return kResultOk;
    }
    return kNoInterface;
  }
  // One static factory for the module's life.
  uint32_t addRef() override { return 1; }
  uint32_t release() override { return 1; }

  tresult getFactoryInfo(PFactoryInfo* info) override {
    if (info == nullptr) return kInvalidArgument;
    *info = PFactoryInfo{};
    Copy(info->vendor, kVendor);
    Copy(info->url, kUrl);
    Copy(info->email, kEmail);
    info->flags = PFactoryInfo::kUnicode;
    return kResultOk;
  }
  int32_t countClasses() override { return kClassCount; }
  tresult getClassInfo(int32_t index, PClassInfo* info) override {
    if (info == nullptr || index < 0 || index >= kClassCount) return kInvalidArgument;
    *info = PClassInfo{};
    std::memcpy(info->cid, kClasses[index].cid->bytes, 16);
    info->cardinality = PClassInfo::kManyInstances;
    Copy(info->category, kVstAudioEffectClass);
    Copy(info->name, kClasses[index].name);
    return kResultOk;
  }
  tresult createInstance(FIDString cid, FIDString interfaceId, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (cid == nullptr || interfaceId == nullptr) return kInvalidArgument;
    for (const ClassEntry& c : kClasses) {
      if (!SameUid(cid, *c.cid)) continue;
      // Nothing may cross the ABI: a failed allocation is a refusal.
      Vst3Plugin* plugin = new (std::nothrow) Vst3Plugin(c.layout);
      if (plugin == nullptr) return kOutOfMemory;
      const tresult result = plugin->queryInterface(interfaceId, obj);
      plugin->release();  // the caller's reference, if any, is the one queryInterface added
      return result;
    }
    return kNoInterface;
  }
  tresult getClassInfo2(int32_t index, PClassInfo2* info) override {
    if (info == nullptr || index < 0 || index >= kClassCount) return kInvalidArgument;
    *info = PClassInfo2{};
    std::memcpy(info->cid, kClasses[index].cid->bytes, 16);
    info->cardinality = PClassInfo::kManyInstances;
    Copy(info->category, kVstAudioEffectClass);
    Copy(info->name, kClasses[index].name);
    info->classFlags = 0;  // component and controller are one object: not distributable
    Copy(info->subCategories, kPlugTypeFxDynamics);
    Copy(info->vendor, kVendor);
    Copy(info->version, QRV_VERSION);
    Copy(info->sdkVersion, kVstVersionString);
    return kResultOk;
  }
  tresult getClassInfoUnicode(int32_t index, PClassInfoW* info) override {
    if (info == nullptr || index < 0 || index >= kClassCount) return kInvalidArgument;
    *info = PClassInfoW{};
    std::memcpy(info->cid, kClasses[index].cid->bytes, 16);
    info->cardinality = PClassInfo::kManyInstances;
    Copy(info->category, kVstAudioEffectClass);
    CopyUtf16(kClasses[index].name, info->name, PClassInfo::kNameSize);
    info->classFlags = 0;
    Copy(info->subCategories, kPlugTypeFxDynamics);
    CopyUtf16(kVendor, info->vendor, PClassInfo2::kVendorSize);
    CopyUtf16(QRV_VERSION, info->version, PClassInfo2::kVersionSize);
    CopyUtf16(kVstVersionString, info->sdkVersion, PClassInfo2::kVersionSize);
    return kResultOk;
  }
  tresult setHostContext(FUnknown*) override { return kResultOk; }
};

Factory g_factory;
std::atomic<int> g_entries{0};

}  // namespace
}  // namespace qrv::vst3

#ifdef _WIN32
#define QRV_EXPORT __declspec(dllexport)
#else
#define QRV_EXPORT __attribute__((visibility("default")))
#endif

namespace {

bool Enter() {
  qrv::vst3::g_entries.fetch_add(1);
  return true;
}

// False for an exit without its entry.
bool Leave() {
  int n = qrv::vst3::g_entries.load();
  while (n > 0 && !qrv::vst3::g_entries.compare_exchange_weak(n, n - 1)) {
  }
  return n > 0;
}

}  // namespace

extern "C" {

// Windows names the entry and exit InitDll and ExitDll (optional there, so hosts may call neither);
// elsewhere ModuleEntry and ModuleExit, which hosts must call.
#ifdef _WIN32
QRV_EXPORT bool InitDll() { return Enter(); }
QRV_EXPORT bool ExitDll() { return Leave(); }
#else
QRV_EXPORT bool ModuleEntry(void*) { return Enter(); }
QRV_EXPORT bool ModuleExit() { return Leave(); }
#endif

QRV_EXPORT qrv::vst3::abi::IPluginFactory* GetPluginFactory() { return &qrv::vst3::g_factory; }

}
