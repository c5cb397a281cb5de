// Host parameters of a data model: value, taper (normalised <-> real), display text, and the manager
// that owns them in registration order. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "format/aax/sdk/AAX.h"

class AAX_ITaperDelegate {
 public:
  virtual ~AAX_ITaperDelegate() = default;
  virtual double NormalizedToReal(double normalized) const = 0;
  virtual double RealToNormalized(double real) const = 0;
};

class AAX_CLinearTaperDelegate final : public AAX_ITaperDelegate {
 public:
  AAX_CLinearTaperDelegate(double minimum, double maximum) : min_(minimum), max_(maximum) {}
  double NormalizedToReal(double n) const override { return min_ + n * (max_ - min_); }
  double RealToNormalized(double r) const override { return max_ != min_ ? (r - min_) / (max_ - min_) : 0.0; }

 private:
  double min_, max_;
};

// false below 0.5, true from 0.5; real values are 0 and 1.
class AAX_CBinaryTaperDelegate final : public AAX_ITaperDelegate {
 public:
  double NormalizedToReal(double n) const override { return n >= 0.5 ? 1.0 : 0.0; }
  double RealToNormalized(double r) const override { return r >= 0.5 ? 1.0 : 0.0; }
};

class AAX_IDisplayDelegate {
 public:
  virtual ~AAX_IDisplayDelegate() = default;
  // Writes the text of a real value, zero-terminated and cut to size - 1 characters.
  virtual bool ValueToString(double real, char* text, uint32_t size) const = 0;
};

class AAX_CNumberDisplayDelegate final : public AAX_IDisplayDelegate {
 public:
  explicit AAX_CNumberDisplayDelegate(int precision) : precision_(precision) {}
  bool ValueToString(double real, char* text, uint32_t size) const override;

 private:
  int precision_;
};

class AAX_CBinaryDisplayDelegate final : public AAX_IDisplayDelegate {
 public:
  AAX_CBinaryDisplayDelegate(const char* falseText, const char* trueText) : false_(falseText), true_(trueText) {}
  bool ValueToString(double real, char* text, uint32_t size) const override;

 private:
  std::string false_, true_;
};

class AAX_CParameter {
 public:
  struct Setup {
    const char* id;
    const char* name;
    AAX_EParameterValueType valueType;
    double defaultValue;  // normalised
    int32_t steps;
    AAX_EParameterType type;
    bool automatable;
  };
  AAX_CParameter(const Setup& setup, std::unique_ptr<AAX_ITaperDelegate> taper,
                 std::unique_ptr<AAX_IDisplayDelegate> display);

  const char* Identifier() const { return id_.c_str(); }
  const char* Name() const { return name_.c_str(); }
  AAX_EParameterValueType ValueType() const { return valueType_; }
  double GetNormalizedValue() const { return value_; }
  // Clamped to 0..1 (NaN becomes 0); true when the stored value changed.
  bool SetNormalizedValue(double value);
  double GetNormalizedDefaultValue() const { return default_; }
  int32_t GetNumberOfSteps() const { return steps_; }
  AAX_EParameterType GetType() const { return type_; }
  bool Automatable() const { return automatable_; }
  bool GetValueString(double normalized, char* text, uint32_t size) const;
  // The packet the render side reads: a 32-bit integer 0 or 1 for booleans, a 32-bit float otherwise.
  void PackValue(unsigned char packet[4]) const;

 private:
  std::string id_, name_;
  AAX_EParameterValueType valueType_;
  double value_, default_;
  int32_t steps_;
  AAX_EParameterType type_;
  bool automatable_;
  std::unique_ptr<AAX_ITaperDelegate> taper_;
  std::unique_ptr<AAX_IDisplayDelegate> display_;
};

class AAX_CParameterManager {
 public:
  // false (and nothing added) when the ID is already present.
  bool AddParameter(std::unique_ptr<AAX_CParameter> parameter);
  AAX_CParameter* GetParameterByID(AAX_CParamID id) const;
  int32_t NumParameters() const { return static_cast<int32_t>(parameters_.size()); }
  AAX_CParameter* GetParameter(int32_t index) const;

 private:
  std::vector<std::unique_ptr<AAX_CParameter>> parameters_;
};
