#include "format/clap/ClapParams.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dsp/ParameterSet.h"

namespace qrv::clap {
namespace {

constexpr std::string_view kBypassName = "Bypass";
constexpr std::string_view kHighQualityName = "High quality";
// Bypass and High quality alike.
constexpr std::array<std::string_view, 2> kBypassTexts = {"Off", "On"};

void CopyText(std::string_view s, char* out, std::size_t capacity) {
  const std::size_t n = std::min(s.size(), capacity - 1);
  std::memcpy(out, s.data(), n);
  out[n] = '\0';
}

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

clap_id ParamId(uint32_t index) { return index < kParamCount ? index : CLAP_INVALID_ID; }

const hostcontrols::ControlPort* ControlOf(clap_id id) {
  return id < hostcontrols::kControlPorts.size() ? &hostcontrols::kControlPorts[id] : nullptr;
}

bool IsKnownParam(clap_id id) { return id < kParamCount; }

bool ParamInfo(uint32_t index, clap_param_info_t& info) {
  const clap_id id = ParamId(index);
  if (id == CLAP_INVALID_ID) return false;
  info = clap_param_info_t{};
  info.id = id;
  info.cookie = nullptr;
  info.min_value = 0.0;
  info.default_value = DefaultValue(id);
  if (const hostcontrols::ControlPort* port = ControlOf(id)) {
    info.flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (port->kind == hostcontrols::ControlKind::kEnumeration) info.flags |= CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
    info.max_value = port->maximum;
    CopyText(ParameterName(port->slot), info.name, sizeof info.name);
  } else if (id == kParamHighQuality) {
    info.flags = CLAP_PARAM_IS_STEPPED;  // not automatable
    info.max_value = 1.0;
    CopyText(kHighQualityName, info.name, sizeof info.name);
  } else {
    info.flags = CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS;
    info.max_value = 1.0;
    CopyText(kBypassName, info.name, sizeof info.name);
  }
  return true;
}

double DefaultValue(clap_id id) {
  if (const hostcontrols::ControlPort* port = ControlOf(id)) return hostcontrols::DefaultValue(*port);
  return 0.0;
}

std::optional<double> Sanitised(clap_id id, double value) {
  if (!IsKnownParam(id) || std::isnan(value)) return std::nullopt;
  const hostcontrols::ControlPort* port = ControlOf(id);
  const double maximum = port != nullptr ? port->maximum : 1.0;
  const double v = std::clamp(value, 0.0, maximum);
  const bool stepped = port == nullptr || port->kind == hostcontrols::ControlKind::kEnumeration;
  return stepped ? std::round(v) : v;
}

bool ValueToText(clap_id id, double value, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  out[0] = '\0';
  const std::optional<double> v = std::isfinite(value) ? Sanitised(id, value) : std::nullopt;
  if (!v) return false;
  const hostcontrols::ControlPort* port = ControlOf(id);
  if (port == nullptr) {
    CopyText(kBypassTexts[*v >= 0.5 ? 1 : 0], out, capacity);
    return true;
  }
  char text[32] = {};
  GetParameterDisplay(port->slot, ToNormalised(*port, *v), text, sizeof text);
  std::string_view s(text);
  // A scale in half units reads with one decimal ("12.5 dB"), as the knob's legend counts it.
  const ControlShape& shape = ControlShapeOf(port->slot);
  const double tenths = shape.displayUnit * 10.0;
  if (shape.texts.empty() && tenths == std::round(tenths) && s.size() > 1 && s.back() == '0') s.remove_suffix(1);
  std::string_view unit = ControlShapeOf(port->slot).unit;
  char joined[48];
  const std::size_t n = std::min(s.size(), sizeof joined - 8);
  std::memcpy(joined, s.data(), n);
  std::size_t length = n;
  if (!unit.empty()) {
    joined[length++] = ' ';
    std::memcpy(joined + length, unit.data(), unit.size());
    length += unit.size();
  }
  CopyText(std::string_view(joined, length), out, capacity);
  return true;
}

bool TextToValue(clap_id id, const char* text, double& value) {
  if (text == nullptr || !IsKnownParam(id)) return false;
  const std::string_view s = Trimmed(std::string_view(text));
  const hostcontrols::ControlPort* port = ControlOf(id);
  if (port == nullptr) {
    for (std::size_t i = 0; i < kBypassTexts.size(); ++i) {
      if (SameText(s, kBypassTexts[i])) {
        value = static_cast<double>(i);
        return true;
      }
    }
    return false;
  } else {
    const ControlShape& shape = ControlShapeOf(port->slot);
    for (std::size_t i = 0; i < shape.texts.size(); ++i) {
      if (SameText(s, shape.texts[i])) {
        value = static_cast<double>(i);
        return true;
      }
    }
    // A number typed for a named step would be ambiguous (Valve's "2" is not "+2"): names only.
    if (!shape.texts.empty()) return false;
  }
  const std::string_view unit = port != nullptr ? ControlShapeOf(port->slot).unit : std::string_view();
  const double v = ParseNumber(s, unit);
  const double maximum = port != nullptr ? port->maximum : 1.0;
  if (!std::isfinite(v) || v < 0.0 || v > maximum) return false;
  value = *Sanitised(id, v);
  return true;
}

}  // namespace qrv::clap
