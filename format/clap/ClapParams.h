// The CLAP parameters of both plug-ins: the seven controls in the LV2 ports' units (mode and step
// numbers, 0..10, dB) and bypass. Ranges, defaults, steps and texts come from the control table through
// the LV2 port table, so that a host's generic controls read as the panel and the LV2 controls do.
// Stateless; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "format/clap/ClapAbi.h"
#include "controller/HostControls.h"

namespace qrv::clap {

using hostcontrols::Layout;

// Parameter ids are stored in hosts' sessions and automation: never renumber them. The controls keep
// their LV2 port indices; bypass follows, then High quality (off 0, on 1), which automation does not
// move: it changes the latency, and with it needs the host's restart.
inline constexpr clap_id kParamBypass = 7;
inline constexpr clap_id kParamHighQuality = 8;
inline constexpr uint32_t kParamCount = 9;
static_assert(hostcontrols::kControlPorts.size() == kParamBypass);

// The id of parameter index 0..8 (the same number); CLAP_INVALID_ID beyond.
clap_id ParamId(uint32_t index);
// The control port of a control id, or null (bypass, High quality, unknown ids).
const hostcontrols::ControlPort* ControlOf(clap_id id);
bool IsKnownParam(clap_id id);

bool ParamInfo(uint32_t index, clap_param_info_t& info);
// The value a control or bypass starts with.
double DefaultValue(clap_id id);
// A host value clamped into the parameter's range, stepped parameters rounded; nullopt for unknown ids
// or NaN.
std::optional<double> Sanitised(clap_id id, double value);

// The display text of value (the panel's text, with its unit); false for unknown ids or non-finite
// values. The text is cut to capacity - 1 bytes and always terminated.
bool ValueToText(clap_id id, double value, char* out, std::size_t capacity);
// A text as value_to_text writes it, a step's name in any case, or a number (a unit after it is
// allowed); false for anything else or a value outside the range.
bool TextToValue(clap_id id, const char* text, double& value);

// Normalised engine value of a control's plain value (qrv::hostcontrols::ToNormalised).
inline double ToNormalised(const hostcontrols::ControlPort& port, double value) {
  return hostcontrols::ToNormalised(port, static_cast<float>(value));
}

}  // namespace qrv::clap
