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
  if (const hostcontrols::ControlPort* port = ControlOf(id)) {
    hostcontrols::ControlText(*port, ToNormalised(*port, *v), out, capacity);
  } else {
    CopyText(kBypassTexts[*v >= 0.5 ? 1 : 0], out, capacity);
  }
  return true;
}

bool TextToValue(clap_id id, const char* text, double& value) {
  if (text == nullptr || !IsKnownParam(id)) return false;
  const hostcontrols::ControlPort* port = ControlOf(id);
  std::optional<double> v;
  if (port != nullptr) {
    v = hostcontrols::ParseControlText(*port, text);
  } else if (const std::optional<std::size_t> i = hostcontrols::MatchName(text, kBypassTexts)) {
    v = static_cast<double>(*i);
  }
  if (!v) return false;
  value = *Sanitised(id, *v);
  return true;
}

}  // namespace qrv::clap
