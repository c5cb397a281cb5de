// The VST3 parameters of both plug-ins: the seven controls, bypass and High quality under the ids CLAP
// gives them (the LV2 port indices, then bypass, then High quality), and the program change over the
// factory presets. Hosts see normalised values; a parameter's plain value is in the units a user reads
// (step numbers, 0..10, dB), as the control table has them, and its texts are the panel's. Stateless;
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "controller/HostControls.h"
#include "format/vst3/Vst3Abi.h"

namespace qrv::vst3 {

using hostcontrols::Layout;

// Stored in hosts' sessions and automation: never renumber.
inline constexpr abi::ParamID kParamBypass = 7;
// Not automatable: it changes the latency, which the host learns through a restart.
inline constexpr abi::ParamID kParamHighQuality = 8;
inline constexpr abi::ParamID kParamProgram = 100;
inline constexpr int32_t kParamCount = 10;  // the controls, bypass, High quality, program
static_assert(hostcontrols::kControlPorts.size() == kParamBypass);

// The id of parameter index 0..9; nullopt beyond.
std::optional<abi::ParamID> ParamIdAt(int32_t index);
bool IsKnownParam(abi::ParamID id);
// The control port of a control id, or null (bypass, High quality, program, unknown ids).
const hostcontrols::ControlPort* ControlOf(abi::ParamID id);

bool ParamInfo(int32_t index, abi::ParameterInfo& info);

// Plain <-> normalised by the format's rule: a parameter of n steps takes plain min(n, floor(v (n + 1)))
// and gives back plain / n; a continuous one scales by its maximum. Values are clamped into range; a NaN
// or an unknown id gives nullopt.
std::optional<double> ToPlain(abi::ParamID id, double normalised);
std::optional<double> ToNormalised(abi::ParamID id, double plain);
// The engine's normalised value of a control's VST3 value, and back.
double EngineValue(const hostcontrols::ControlPort& port, double normalised);
double HostValue(const hostcontrols::ControlPort& port, double engine);

// The display text of a normalised value (the panel's, with its unit; the preset's name for the program);
// empty for an unknown id or a NaN.
std::string ValueText(abi::ParamID id, double normalised);
// A text as ValueText writes it, a step's name in any case, or a number with or without its unit; nullopt
// for anything else or a number outside the range.
std::optional<double> TextValue(abi::ParamID id, const std::string& text);

// UTF-8 <-> UTF-16 for the format's strings; the copy is cut to capacity - 1 units and terminated.
void CopyUtf16(const std::string& text, abi::TChar* out, std::size_t capacity);
std::string ToUtf8(const abi::TChar* text, std::size_t capacity);

}  // namespace qrv::vst3
