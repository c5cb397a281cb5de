// Plug-in side proxies over the host's registration interfaces. Each is a live module object, so the
// module reports itself busy while a description is being built. Registration thread only.
#pragma once

#include <memory>
#include <vector>

#include "format/aax/sdk/AAX_Module.h"

class AAX_VPropertyMap : public AAX_CModuleObject {
 public:
  explicit AAX_VPropertyMap(AAX_IPropertyMap* map) : map_(map) {}
  AAX_IPropertyMap* Inner() const { return map_; }
  AAX_Result AddProperty(int32_t property, AAX_CPropertyValue value) {
    return map_->AddProperty(property, value);
  }

 private:
  AAX_IPropertyMap* map_;
};

class AAX_VComponentDescriptor : public AAX_CModuleObject {
 public:
  explicit AAX_VComponentDescriptor(AAX_IComponentDescriptor* d) : d_(d) {}
  AAX_IComponentDescriptor* Inner() const { return d_; }
  AAX_Result Clear() { return d_->Clear(); }
  AAX_Result AddAudioIn(AAX_CFieldIndex f) { return d_->AddAudioIn(f); }
  AAX_Result AddAudioOut(AAX_CFieldIndex f) { return d_->AddAudioOut(f); }
  AAX_Result AddAudioBufferLength(AAX_CFieldIndex f) { return d_->AddAudioBufferLength(f); }
  AAX_Result AddSampleRate(AAX_CFieldIndex f) { return d_->AddSampleRate(f); }
  AAX_Result AddMeters(AAX_CFieldIndex f, const AAX_CTypeID* ids, uint32_t n) { return d_->AddMeters(f, ids, n); }
  AAX_Result AddMIDINode(AAX_CFieldIndex f, int32_t type, const char* name, uint32_t mask) {
    return d_->AddMIDINode(f, type, name, mask);
  }
  AAX_Result AddDataInPort(AAX_CFieldIndex f, uint32_t size, int32_t type) { return d_->AddDataInPort(f, size, type); }
  AAX_Result AddPrivateData(AAX_CFieldIndex f, int32_t size, int32_t options) {
    return d_->AddPrivateData(f, size, options);
  }
  // Null when the host gives none; owned by this descriptor.
  AAX_VPropertyMap* NewPropertyMap();
  AAX_Result AddProcessProc_Native(AAX_CRenderProc proc, AAX_VPropertyMap* properties) {
    return d_->AddProcessProc_Native(proc, properties != nullptr ? properties->Inner() : nullptr, nullptr, nullptr);
  }

 private:
  AAX_IComponentDescriptor* d_;
  std::vector<std::unique_ptr<AAX_VPropertyMap>> maps_;
};

class AAX_VEffectDescriptor : public AAX_CModuleObject {
 public:
  explicit AAX_VEffectDescriptor(AAX_IEffectDescriptor* d) : d_(d) {}
  AAX_IEffectDescriptor* Inner() const { return d_; }
  // Null when the host gives none; owned by this descriptor.
  AAX_VComponentDescriptor* NewComponentDescriptor();
  AAX_VPropertyMap* NewPropertyMap();
  AAX_Result AddComponent(AAX_VComponentDescriptor* c) {
    return d_->AddComponent(c != nullptr ? c->Inner() : nullptr);
  }
  AAX_Result AddName(const char* name) { return d_->AddName(name); }
  AAX_Result AddCategory(uint32_t category) { return d_->AddCategory(category); }
  template <typename Proc>
  AAX_Result AddProcPtr(Proc proc, AAX_CProcPtrID id) {
    return d_->AddProcPtr(reinterpret_cast<AAX_ProcPtr>(proc), id);
  }
  AAX_Result AddResourceInfo(int32_t type, const char* file) { return d_->AddResourceInfo(type, file); }
  AAX_Result AddMeterDescription(AAX_CTypeID id, const char* name, AAX_VPropertyMap* properties) {
    return d_->AddMeterDescription(id, name, properties != nullptr ? properties->Inner() : nullptr);
  }

 private:
  AAX_IEffectDescriptor* d_;
  std::vector<std::unique_ptr<AAX_VComponentDescriptor>> components_;
  std::vector<std::unique_ptr<AAX_VPropertyMap>> maps_;
};

// Wraps the host object given to the registration entry point.
class AAX_VCollection : public AAX_CModuleObject {
 public:
  explicit AAX_VCollection(AAX_IACFUnknown* host);
  bool IsValid() const { return c_ != nullptr; }
  // Null when the host gives none; owned by this collection.
  AAX_VEffectDescriptor* NewDescriptor();
  AAX_Result AddEffect(const char* effectID, AAX_VEffectDescriptor* effect);
  AAX_Result SetManufacturerName(const char* name);
  AAX_Result AddPackageName(const char* name);
  AAX_Result SetPackageVersion(uint32_t version);
  // The plug-in definition the host wants back from registration.
  AAX_Result GetPlugInDefinition(AAX_IACFUnknown** definition);

 private:
  AAX_IACFUnknown* host_;
  AAX_ICollection* c_ = nullptr;
  std::vector<std::unique_ptr<AAX_VEffectDescriptor>> effects_;
};
