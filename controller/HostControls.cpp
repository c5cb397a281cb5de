#include "controller/HostControls.h"

#include <algorithm>
#include <cmath>


namespace qrv::hostcontrols {
namespace {

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

float FromNormalised(const ControlPort& port, double v) {
  const ControlShape& shape = ControlShapeOf(port.slot);
  if (!HasEvenSteps(shape)) {
    // Time and Compression: the 0..10 display scale, continuous, as the engine reads Time and as hosts
    // automate both.
    const double x = static_cast<double>(port.maximum) * v;
    return static_cast<float>(std::clamp(x, 0.0, static_cast<double>(port.maximum)));
  }
  // The display value of the engine's step: the step itself for an enumeration, half a dB per Output step.
  const int stepsPerUnit = shape.engineSteps / static_cast<int>(port.maximum);
  return static_cast<float>(ClampStep(EngineStep(port, v), shape.engineSteps)) / static_cast<float>(stepsPerUnit);
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
  return std::clamp(static_cast<float>(qrv::GainReductionDb(reading)), kGainReductionFloorDb, 0.0f);
}

}  // namespace qrv::hostcontrols
