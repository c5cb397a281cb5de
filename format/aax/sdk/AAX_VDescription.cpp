#include "format/aax/sdk/AAX_VDescription.h"

AAX_VPropertyMap* AAX_VComponentDescriptor::NewPropertyMap() {
  AAX_IPropertyMap* m = d_->NewPropertyMap();
  if (m == nullptr) return nullptr;
  maps_.push_back(std::make_unique<AAX_VPropertyMap>(m));
  return maps_.back().get();
}

AAX_VComponentDescriptor* AAX_VEffectDescriptor::NewComponentDescriptor() {
  AAX_IComponentDescriptor* c = d_->NewComponentDescriptor();
  if (c == nullptr) return nullptr;
  components_.push_back(std::make_unique<AAX_VComponentDescriptor>(c));
  return components_.back().get();
}

AAX_VPropertyMap* AAX_VEffectDescriptor::NewPropertyMap() {
  AAX_IPropertyMap* m = d_->NewPropertyMap();
  if (m == nullptr) return nullptr;
  maps_.push_back(std::make_unique<AAX_VPropertyMap>(m));
  return maps_.back().get();
}

AAX_VCollection::AAX_VCollection(AAX_IACFUnknown* host) : host_(host) {
  void* p = nullptr;
  if (host != nullptr && host->QueryInterface(AAX_IID_Collection, &p) == AAX_SUCCESS) {
    c_ = static_cast<AAX_ICollection*>(p);
  }
}

AAX_VEffectDescriptor* AAX_VCollection::NewDescriptor() {
  if (c_ == nullptr) return nullptr;
  AAX_IEffectDescriptor* d = c_->NewDescriptor();
  if (d == nullptr) return nullptr;
  effects_.push_back(std::make_unique<AAX_VEffectDescriptor>(d));
  return effects_.back().get();
}

AAX_Result AAX_VCollection::AddEffect(const char* effectID, AAX_VEffectDescriptor* effect) {
  if (c_ == nullptr || effect == nullptr) return AAX_ERROR_NULL_OBJECT;
  return c_->AddEffect(effectID, effect->Inner());
}

AAX_Result AAX_VCollection::SetManufacturerName(const char* name) {
  return c_ != nullptr ? c_->SetManufacturerName(name) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VCollection::AddPackageName(const char* name) {
  return c_ != nullptr ? c_->AddPackageName(name) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VCollection::SetPackageVersion(uint32_t version) {
  return c_ != nullptr ? c_->SetPackageVersion(version) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VCollection::GetPlugInDefinition(AAX_IACFUnknown** definition) {
  if (definition == nullptr || host_ == nullptr) return AAX_ERROR_NULL_OBJECT;
  void* p = nullptr;
  const AAX_Result r = host_->QueryInterface(AAX_IID_PlugInDefinition, &p);
  *definition = static_cast<AAX_IACFUnknown*>(p);
  return (r != AAX_SUCCESS || p == nullptr) ? AAX_ERROR_NULL_OBJECT : AAX_SUCCESS;
}
