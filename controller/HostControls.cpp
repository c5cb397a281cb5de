#include "controller/HostControls.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>


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

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A number at the start of s, followed by nothing or by the unit (any case); NaN otherwise.
double ParseNumber(std::string_view s, std::string_view unit) {
  char buffer[64];
  if (s.empty() || s.size() >= sizeof buffer) return std::nan("");
  std::memcpy(buffer, s.data(), s.size());
  buffer[s.size()] = '\0';
  char* end = nullptr;
  const double v = std::strtod(buffer, &end);
  if (end == buffer) return std::nan("");
  const std::string_view rest = Trimmed(std::string_view(end));
  if (!rest.empty() && (unit.empty() || !SameText(rest, unit))) return std::nan("");
  return v;
}

}  // namespace

void ControlText(const ControlPort& port, double v, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  char text[32] = {};
  GetParameterDisplay(port.slot, v, text, sizeof text);
  std::string_view s(text);
  const ControlShape& shape = ControlShapeOf(port.slot);
  const double tenths = shape.displayUnit * 10.0;
  if (shape.texts.empty() && tenths == std::round(tenths) && s.size() > 1 && s.back() == '0') s.remove_suffix(1);
  char joined[48];
  std::size_t length = std::min(s.size(), sizeof joined - 8);
  std::memcpy(joined, s.data(), length);
  const std::string_view unit = shape.unit;
  if (!unit.empty() && length + 1 + unit.size() <= sizeof joined) {
    joined[length++] = ' ';
    std::memcpy(joined + length, unit.data(), unit.size());
    length += unit.size();
  }
  const std::size_t n = std::min(length, capacity - 1);
  std::memcpy(out, joined, n);
  out[n] = '\0';
}

std::optional<std::size_t> MatchName(std::string_view text, std::span<const std::string_view> names) {
  const std::string_view s = Trimmed(text);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (SameText(s, names[i])) return i;
  }
  return std::nullopt;
}

std::optional<double> ParseControlText(const ControlPort& port, std::string_view text) {
  const ControlShape& shape = ControlShapeOf(port.slot);
  if (!shape.texts.empty()) {
    const std::optional<std::size_t> step = MatchName(text, shape.texts);
    if (!step) return std::nullopt;
    return static_cast<double>(*step);
  }
  const double v = ParseNumber(Trimmed(text), shape.unit);
  if (!std::isfinite(v) || v < 0.0 || v > port.maximum) return std::nullopt;
  return v;
}

}  // namespace qrv::hostcontrols
