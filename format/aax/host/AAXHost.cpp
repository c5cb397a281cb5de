#include "format/aax/host/AAXHost.h"

#include <fstream>
#include <sstream>
#include <string_view>

namespace qrv::aaxhost {
namespace {

class HostPropertyMap final : public AAX_IPropertyMap {
 public:
  AAX_Result AddProperty(int32_t property, AAX_CPropertyValue value) override {
    record.properties.emplace_back(property, value);
    return AAX_SUCCESS;
  }
  bool GetProperty(int32_t property, AAX_CPropertyValue* value) const override {
    if (!record.Has(property)) return false;
    if (value != nullptr) *value = record.Get(property);
    return true;
  }
  PropertyRecord record;
};

class HostComponentDescriptor final : public AAX_IComponentDescriptor {
 public:
  explicit HostComponentDescriptor(const Host::Faults& faults) : faults_(faults) {}
  AAX_Result Clear() override {
    record = ComponentRecord{};
    return AAX_SUCCESS;
  }
  AAX_Result AddAudioIn(AAX_CFieldIndex f) override { return Add(FieldRecord(FieldKind::AudioIn, f)); }
  AAX_Result AddAudioOut(AAX_CFieldIndex f) override { return Add(FieldRecord(FieldKind::AudioOut, f)); }
  AAX_Result AddAudioBufferLength(AAX_CFieldIndex f) override { return Add(FieldRecord(FieldKind::BufferLength, f)); }
  AAX_Result AddSampleRate(AAX_CFieldIndex f) override { return Add(FieldRecord(FieldKind::SampleRate, f)); }
  AAX_Result AddMeters(AAX_CFieldIndex f, const AAX_CTypeID* ids, uint32_t n) override {
    if (ids == nullptr && n > 0) return AAX_ERROR_NULL_OBJECT;
    FieldRecord r(FieldKind::Meters, f);
    r.meterIDs.assign(ids, ids + n);
    return Add(std::move(r));
  }
  AAX_Result AddMIDINode(AAX_CFieldIndex f, int32_t type, const char* name, uint32_t mask) override {
    FieldRecord r(FieldKind::MIDINode, f);
    r.type = type;
    r.name = name != nullptr ? name : "";
    r.channelMask = mask;
    return Add(std::move(r));
  }
  AAX_Result AddDataInPort(AAX_CFieldIndex f, uint32_t size, int32_t type) override {
    FieldRecord r(FieldKind::DataInPort, f);
    r.size = size;
    r.type = type;
    return Add(std::move(r));
  }
  AAX_Result AddPrivateData(AAX_CFieldIndex f, int32_t size, int32_t options) override {
    if (size <= 0) return AAX_ERROR_INVALID_ARGUMENT;
    FieldRecord r(FieldKind::PrivateData, f);
    r.size = static_cast<uint32_t>(size);
    r.type = options;
    return Add(std::move(r));
  }
  AAX_IPropertyMap* NewPropertyMap() override {
    if (faults_.noPropertyMap) return nullptr;
    maps_.push_back(std::make_unique<HostPropertyMap>());
    return maps_.back().get();
  }
  AAX_Result AddProcessProc_Native(AAX_CRenderProc proc, AAX_IPropertyMap* properties, AAX_ProcPtr init,
                                   AAX_ProcPtr background) override {
    if (proc == nullptr) return AAX_ERROR_NULL_OBJECT;
    record.render = proc;
    if (auto* m = dynamic_cast<HostPropertyMap*>(properties)) record.properties = m->record;
    record.hasInstanceInit = init != nullptr;
    record.hasBackground = background != nullptr;
    return AAX_SUCCESS;
  }
  ComponentRecord record;

 private:
  AAX_Result Add(FieldRecord r) {
    if (r.index < 0 || r.index > 255) return AAX_ERROR_INVALID_ARGUMENT;
    if (record.Field(r.index) != nullptr) return AAX_ERROR_INVALID_ARGUMENT;
    record.fields.push_back(std::move(r));
    return AAX_SUCCESS;
  }
  const Host::Faults& faults_;
  std::vector<std::unique_ptr<HostPropertyMap>> maps_;
};

class HostEffectDescriptor final : public AAX_IEffectDescriptor {
 public:
  explicit HostEffectDescriptor(const Host::Faults& faults) : faults_(faults) {}
  AAX_IComponentDescriptor* NewComponentDescriptor() override {
    components_.push_back(std::make_unique<HostComponentDescriptor>(faults_));
    return components_.back().get();
  }
  AAX_Result AddComponent(AAX_IComponentDescriptor* c) override {
    auto* d = dynamic_cast<HostComponentDescriptor*>(c);
    if (d == nullptr) return AAX_ERROR_NULL_COMPONENT;
    record.components.push_back(d->record);
    return AAX_SUCCESS;
  }
  AAX_Result AddName(const char* name) override {
    record.names.emplace_back(name != nullptr ? name : "");
    return AAX_SUCCESS;
  }
  AAX_Result AddCategory(uint32_t category) override {
    record.categories.push_back(category);
    return AAX_SUCCESS;
  }
  AAX_Result AddProcPtr(AAX_ProcPtr proc, AAX_CProcPtrID id) override {
    if (proc == nullptr) return AAX_ERROR_NULL_OBJECT;
    record.procs.emplace_back(id, proc);
    return AAX_SUCCESS;
  }
  AAX_IPropertyMap* NewPropertyMap() override {
    if (faults_.noPropertyMap) return nullptr;
    maps_.push_back(std::make_unique<HostPropertyMap>());
    return maps_.back().get();
  }
  AAX_Result AddResourceInfo(int32_t type, const char* file) override {
    record.resources.emplace_back(type, file != nullptr ? file : "");
    return AAX_SUCCESS;
  }
  AAX_Result AddMeterDescription(AAX_CTypeID id, const char* name, AAX_IPropertyMap* properties) override {
    MeterRecord m{id, name != nullptr ? name : "", {}};
    if (auto* p = dynamic_cast<HostPropertyMap*>(properties)) m.properties = p->record;
    record.meters.push_back(std::move(m));
    return AAX_SUCCESS;
  }
  EffectRecord record;

 private:
  const Host::Faults& faults_;
  std::vector<std::unique_ptr<HostComponentDescriptor>> components_;
  std::vector<std::unique_ptr<HostPropertyMap>> maps_;
};

class HostCollection final : public AAX_ICollection {
 public:
  HostCollection(Description& d, const Host::Faults& faults, ACFCanUnloadNowProc canUnload)
      : d_(d), faults_(faults), canUnload_(canUnload) {}
  AAX_IEffectDescriptor* NewDescriptor() override {
    if (faults_.noEffectDescriptor) return nullptr;
    effects_.push_back(std::make_unique<HostEffectDescriptor>(faults_));
    return effects_.back().get();
  }
  AAX_Result AddEffect(const char* effectID, AAX_IEffectDescriptor* effect) override {
    auto* e = dynamic_cast<HostEffectDescriptor*>(effect);
    if (e == nullptr || effectID == nullptr) return AAX_ERROR_NULL_OBJECT;
    for (const EffectRecord& r : d_.effects) {
      if (r.effectID == effectID) return AAX_ERROR_DUPLICATE_EFFECT_ID;
    }
    EffectRecord r = e->record;
    r.effectID = effectID;
    d_.effects.push_back(std::move(r));
    if (canUnload_ != nullptr) d_.liveObjectsDuringAddEffect = canUnload_(nullptr);
    return AAX_SUCCESS;
  }
  AAX_Result SetManufacturerName(const char* name) override {
    d_.manufacturer = name != nullptr ? name : "";
    return AAX_SUCCESS;
  }
  AAX_Result AddPackageName(const char* name) override {
    d_.packageNames.emplace_back(name != nullptr ? name : "");
    return AAX_SUCCESS;
  }
  AAX_Result SetPackageVersion(uint32_t version) override {
    d_.packageVersion = version;
    return AAX_SUCCESS;
  }

 private:
  Description& d_;
  const Host::Faults& faults_;
  ACFCanUnloadNowProc canUnload_;
  std::vector<std::unique_ptr<HostEffectDescriptor>> effects_;
};

// The plug-in definition handed back by registration: the host's own token.
class Definition final : public AAX_IACFUnknown {
 public:
  AAX_Result QueryInterface(AAX_CTypeID, void** out) override {
    if (out != nullptr) *out = nullptr;
    return AAX_ERROR_UNIMPLEMENTED;
  }
};

}  // namespace

class Host::ServicesObject final : public AAX_IACFUnknown {
 public:
  explicit ServicesObject(Diagnostics& d) : d_(d) {}
  AAX_Result QueryInterface(AAX_CTypeID iid, void** out) override {
    if (out == nullptr) return AAX_ERROR_NULL_OBJECT;
    *out = iid == AAX_IID_HostServices ? static_cast<AAX_IHostServices*>(&d_) : nullptr;
    return *out != nullptr ? AAX_SUCCESS : AAX_ERROR_UNIMPLEMENTED;
  }

 private:
  Diagnostics& d_;
};

class Host::RegistrationObject final : public AAX_IACFUnknown {
 public:
  RegistrationObject(Host& host) : host_(host), collection_(host.description_, host.faults_,
                                                             host.module_->entries().canUnloadNow) {}
  AAX_Result QueryInterface(AAX_CTypeID iid, void** out) override {
    if (out == nullptr) return AAX_ERROR_NULL_OBJECT;
    *out = nullptr;
    if (iid == AAX_IID_Collection) *out = static_cast<AAX_ICollection*>(&collection_);
    if (iid == AAX_IID_HostServices) *out = static_cast<AAX_IHostServices*>(&host_.diagnostics_);
    if (iid == AAX_IID_PlugInDefinition && !host_.faults_.noDefinition) *out = static_cast<AAX_IACFUnknown*>(&definition_);
    return *out != nullptr ? AAX_SUCCESS : AAX_ERROR_UNIMPLEMENTED;
  }

 private:
  Host& host_;
  HostCollection collection_;
  Definition definition_;
};

Host::Host(std::unique_ptr<Module> module)
    : module_(std::move(module)), services_(std::make_unique<ServicesObject>(diagnostics_)) {}

Host::~Host() = default;

AAX_Result Host::Startup(bool withHost) { return module_->entries().startup(withHost ? services_.get() : nullptr); }

AAX_Result Host::Register() {
  description_ = Description{};
  RegistrationObject host(*this);
  AAX_IACFUnknown* definition = nullptr;
  description_.result = module_->entries().registerPlugin(&host, &definition);
  description_.definitionReturned = definition != nullptr;
  for (const EffectRecord& e : description_.effects) {
    for (const auto& [type, file] : e.resources) {
      if (type != AAX_eResourceType_PageTable) continue;
      description_.pageTableFile = file;
      std::ifstream in(module_->bundle() / "Contents" / "Resources" / file);
      if (!in) continue;
      std::ostringstream text;
      text << in.rdbuf();
      description_.pageTable = text.str();
      // Every parameter="ID" attribute, in file order.
      const std::string_view table = description_.pageTable;
      constexpr std::string_view kAttribute = "parameter=\"";
      for (std::size_t at = table.find(kAttribute); at != std::string_view::npos; at = table.find(kAttribute, at)) {
        at += kAttribute.size();
        const std::size_t end = table.find('"', at);
        if (end == std::string_view::npos) break;
        description_.pageTableParameters.emplace_back(table.substr(at, end - at));
        at = end + 1;
      }
    }
  }
  return description_.result;
}

AAX_Result Host::Shutdown() { return module_->entries().shutdown(nullptr); }
int32_t Host::CanUnloadNow() { return module_->entries().canUnloadNow(nullptr); }
bool Host::InitDll() { return module_->entries().initDll(); }
bool Host::ExitDll() { return module_->entries().exitDll(); }
AAX_Result Host::SDKVersion(uint64_t* version) { return module_->entries().getSDKVersion(version); }
AAX_Result Host::RegisterComponent(AAX_IACFUnknown** component) {
  return module_->entries().registerComponent(nullptr, 0, component);
}
AAX_Result Host::GetClassFactory(void** factory) { return module_->entries().getClassFactory(nullptr, 0, 0, factory); }

std::unique_ptr<Instance> Host::CreateInstance(std::size_t component, float sampleRate, int32_t maxBlock) {
  if (description_.effects.empty() || component >= description_.effects[0].components.size()) return nullptr;
  auto instance = std::make_unique<Instance>(description_.effects[0], description_.effects[0].components[component],
                                             sampleRate, maxBlock);
  if (!instance->Create()) return nullptr;
  return instance;
}

}  // namespace qrv::aaxhost
