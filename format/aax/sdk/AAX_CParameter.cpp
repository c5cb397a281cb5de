#include "format/aax/sdk/AAX_CParameter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
void CopyCut(const char* s, char* text, uint32_t size) {
  if (text == nullptr || size == 0) return;
  std::snprintf(text, size, "%s", s);
}
}  // namespace

bool AAX_CNumberDisplayDelegate::ValueToString(double real, char* text, uint32_t size) const {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", precision_, real);
  CopyCut(buffer, text, size);
  return true;
}

bool AAX_CBinaryDisplayDelegate::ValueToString(double real, char* text, uint32_t size) const {
  CopyCut(real >= 0.5 ? true_.c_str() : false_.c_str(), text, size);
  return true;
}

AAX_CParameter::AAX_CParameter(const Setup& s, std::unique_ptr<AAX_ITaperDelegate> taper,
                               std::unique_ptr<AAX_IDisplayDelegate> display)
    : id_(s.id),
      name_(s.name != nullptr ? s.name : s.id),
      valueType_(s.valueType),
      value_(0.0),
      default_(s.defaultValue),
      steps_(s.steps),
      type_(s.type),
      automatable_(s.automatable),
      taper_(std::move(taper)),
      display_(std::move(display)) {
  SetNormalizedValue(default_);
  default_ = value_;
}

bool AAX_CParameter::SetNormalizedValue(double value) {
  const double v = std::isnan(value) ? 0.0 : value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
  const bool changed = v != value_;
  value_ = v;
  return changed;
}

bool AAX_CParameter::GetValueString(double normalized, char* text, uint32_t size) const {
  if (display_ == nullptr) return false;
  const double real = taper_ != nullptr ? taper_->NormalizedToReal(normalized) : normalized;
  return display_->ValueToString(real, text, size);
}

void AAX_CParameter::PackValue(unsigned char packet[4]) const {
  if (valueType_ == AAX_eParameterValueType_Bool) {
    const int32_t b = value_ >= 0.5 ? 1 : 0;
    std::memcpy(packet, &b, 4);
  } else {
    const float f = static_cast<float>(taper_ != nullptr ? taper_->NormalizedToReal(value_) : value_);
    std::memcpy(packet, &f, 4);
  }
}

bool AAX_CParameterManager::AddParameter(std::unique_ptr<AAX_CParameter> parameter) {
  if (parameter == nullptr || GetParameterByID(parameter->Identifier()) != nullptr) return false;
  parameters_.push_back(std::move(parameter));
  return true;
}

AAX_CParameter* AAX_CParameterManager::GetParameterByID(AAX_CParamID id) const {
  if (id == nullptr) return nullptr;
  for (const auto& p : parameters_) {
    if (std::strcmp(p->Identifier(), id) == 0) return p.get();
  }
  return nullptr;
}

AAX_CParameter* AAX_CParameterManager::GetParameter(int32_t index) const {
  return index >= 0 && index < NumParameters() ? parameters_[static_cast<std::size_t>(index)].get() : nullptr;
}
