#include "format/lv2/Lv2Ports.h"

#include <algorithm>
#include <cmath>

#include "dsp/warmGlowEffect.h"

namespace qrv::lv2 {
namespace {

// The port ranges are the engine's step ranges: one port unit per step, or half a dB per output step.
static_assert(kControlPorts[0].maximum == kProcessTexts.size() - 1);
static_assert(kControlPorts[1].maximum == kRatioStepCount - 1 && kRatioTexts.size() == kRatioStepCount);
static_assert(kControlPorts[2].maximum == kAttackStepCount - 1 && kAttackTexts.size() == kAttackStepCount);
static_assert(kControlPorts[6].maximum == kValveStepCount - 1 && kValveTexts.size() == kValveStepCount);
static_assert(kControlPorts[5].maximum * 2 == kOutputStepMax);

constexpr int kOutputStepsPerDb = 2;

int ClampStep(int n, int last) { return std::clamp(n, 0, last); }

}  // namespace

const ControlPort* FindControlPort(unsigned slot) {
  for (const ControlPort& p : kControlPorts) {
    if (p.slot == slot) return &p;
  }
  return nullptr;
}

double ToNormalised(const ControlPort& port, float value) {
  if (std::isnan(value)) return GetParameterDefault(port.slot);
  const double v = std::clamp(static_cast<double>(value), 0.0, static_cast<double>(port.maximum));
  if (port.kind == ControlKind::kEnumeration) return std::round(v) / port.maximum;
  return v / port.maximum;
}

int EngineStep(const ControlPort& port, double v) {
  switch (port.slot) {
    case kSlotProcess: return StepOfSingle(v, 2);
    case kSlotRatio:
    case kSlotValveLevel: return StepOfSingle(v, 6);
    case kSlotAttackRatio: return StepOf(v, 6);
    case kSlotCompression: return CompressionStep(v);
    case kSlotOutput: return StepOf(static_cast<float>(v), kOutputStepMax);
    default: return -1;
  }
}

float FromNormalised(const ControlPort& port, double v) {
  switch (port.slot) {
    case kSlotTime:
    case kSlotCompression: {
      // The 0..10 display scale; continuous, as the engine reads Time and as hosts automate both.
      const double x = static_cast<double>(port.maximum) * v;
      return static_cast<float>(std::clamp(x, 0.0, static_cast<double>(port.maximum)));
    }
    case kSlotOutput: return static_cast<float>(ClampStep(EngineStep(port, v), kOutputStepMax)) / kOutputStepsPerDb;
    default: return static_cast<float>(ClampStep(EngineStep(port, v), static_cast<int>(port.maximum)));
  }
}

float DefaultValue(const ControlPort& port) { return FromNormalised(port, GetParameterDefault(port.slot)); }

int ScalePointCount(const ControlPort& port) {
  return port.kind == ControlKind::kEnumeration ? static_cast<int>(port.maximum) + 1 : 0;
}

void ScalePointLabel(const ControlPort& port, int n, char* text, std::size_t size) {
  if (text == nullptr || size == 0) return;
  text[0] = '\0';
  if (n < 0 || n >= ScalePointCount(port)) return;
  GetParameterDisplay(port.slot, ToNormalised(port, static_cast<float>(n)), text, size);
}

float LevelDb(float peak) {
  const float a = std::fabs(peak);
  if (!(a > 0.0f)) return kLevelFloorDb;  // zero or NaN
  return std::clamp(20.0f * std::log10(a), kLevelFloorDb, kLevelCeilingDb);
}

float GainReductionDb(double reading) {
  if (!std::isfinite(reading)) return 0.0f;
  const double gain = 1.0 - std::clamp(reading, 0.0, 1.0);
  if (!(gain > 0.0)) return kGainReductionFloorDb;
  return std::clamp(static_cast<float>(20.0 * std::log10(gain)), kGainReductionFloorDb, 0.0f);
}

}  // namespace qrv::lv2
