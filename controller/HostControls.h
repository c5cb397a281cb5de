// The controls every binding shows its host, in the port layout of both plug-ins (LV2 port indices, which
// CLAP's parameter ids follow), and the conversion between host values, which are in the units a user reads
// (mode and step names, 0..10, dB), and the normalised values the engine takes. The LV2 Turtle generator,
// the bindings and the tests all read this one table. Stateless; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "dsp/ParameterSet.h"

namespace qrv::hostcontrols {

// Control ports first, at the same indices in both layouts; audio ports follow.
enum PortIndex : uint32_t {
  kPortProcess = 0,
  kPortRatio,
  kPortAttackRatio,
  kPortTime,
  kPortCompression,
  kPortOutput,
  kPortValveLevel,
  kPortEnabled,        // lv2:enabled; 0 bypasses
  kPortLatency,        // output, frames (High quality's delay, else 0)
  kPortGainReduction,  // output, dB (0 or less)
  kPortInputLevel,     // output, peak dBFS of the block, all channels
  kPortOutputLevel,    // output, peak dBFS of the block, all channels
  kPortAudioStart,
};

enum class Layout { kMono, kStereo };

inline constexpr uint32_t ChannelCount(Layout layout) { return layout == Layout::kStereo ? 2u : 1u; }
inline constexpr uint32_t PortCount(Layout layout) { return kPortAudioStart + 2u * ChannelCount(layout); }
inline constexpr uint32_t AudioInputPort(Layout layout, uint32_t channel) {
  (void)layout;
  return kPortAudioStart + channel;
}
inline constexpr uint32_t AudioOutputPort(Layout layout, uint32_t channel) {
  return kPortAudioStart + ChannelCount(layout) + channel;
}

enum class ControlKind {
  kEnumeration,  // integer port, one scale point per engine step, labelled with the display text
  kContinuous,   // float port in display units
};

struct ControlPort {
  PortIndex port;
  unsigned slot;            // parameter slot the port drives
  std::string_view symbol;  // LV2 symbol
  ControlKind kind;
  // The range starts at 0 and normalised value = port value / maximum: the control's display maximum, that
  // is its last step for an enumeration, 10 for the 0..10 scales, 30 dB for Output.
  float maximum;
  std::string_view unit;  // LV2 units suffix ("db") or empty
  int rangeSteps;         // pprops:rangeSteps of a continuous port; 0 for none
};

namespace detail {
constexpr std::string_view UnitSuffix(std::string_view unit) { return unit == "dB" ? "db" : ""; }
// Every port shape comes from the control table; only the symbol is the port's own.
constexpr ControlPort MakeControlPort(PortIndex port, std::string_view symbol) {
  const ControlShape& s = kControlShapes[port];
  const bool named = !s.texts.empty();
  // A continuous port gets one position per engine step where those are even, else the step hint.
  const int rangeSteps = named ? 0 : HasEvenSteps(s) ? s.engineSteps + 1 : s.hostSteps > 0 ? s.hostSteps + 1 : 0;
  return {port,  s.slot, symbol, named ? ControlKind::kEnumeration : ControlKind::kContinuous,
          static_cast<float>(DisplayMaximum(s)), UnitSuffix(s.unit), rangeSteps};
}
}  // namespace detail

inline constexpr std::array<ControlPort, 7> kControlPorts = {{
    detail::MakeControlPort(kPortProcess, "process"),
    detail::MakeControlPort(kPortRatio, "ratio"),
    detail::MakeControlPort(kPortAttackRatio, "attack_ratio"),
    detail::MakeControlPort(kPortTime, "time"),
    detail::MakeControlPort(kPortCompression, "compression"),
    detail::MakeControlPort(kPortOutput, "output"),
    detail::MakeControlPort(kPortValveLevel, "valve_level"),
}};

static_assert([] {
  for (std::size_t i = 0; i < kControlPorts.size(); ++i) {
    if (kControlPorts[i].port != i || kControlPorts[i].slot != kControlSlots[i]) return false;
  }
  return true;
}());
// The ranges hosts have stored sessions and presets with.
static_assert(kControlPorts[kPortProcess].maximum == 2.0f && kControlPorts[kPortRatio].maximum == 6.0f &&
              kControlPorts[kPortAttackRatio].maximum == 6.0f && kControlPorts[kPortValveLevel].maximum == 6.0f);
static_assert(kControlPorts[kPortTime].maximum == 10.0f && kControlPorts[kPortCompression].maximum == 10.0f &&
              kControlPorts[kPortOutput].maximum == 30.0f);
static_assert(kControlPorts[kPortTime].rangeSteps == 101 && kControlPorts[kPortCompression].rangeSteps == 101 &&
              kControlPorts[kPortOutput].rangeSteps == 61);

// Ranges of the meter outputs; readings are clamped into them.
inline constexpr float kLevelFloorDb = -90.0f;
inline constexpr float kLevelCeilingDb = 24.0f;
inline constexpr float kGainReductionFloorDb = -60.0f;

// The control port for parameter slot `slot`, or null.
const ControlPort* FindControlPort(unsigned slot);

// Port value -> normalised value. The value is clamped to the port's range first; enumerations take the
// nearest integer. A NaN maps to the port's default.
double ToNormalised(const ControlPort& port, float value);

// The engine's step that normalised value v selects (qrv::EngineStep); -1 for Time, which the engine reads
// continuously (as a single-precision value).
inline int EngineStep(const ControlPort& port, double v) { return qrv::EngineStep(port.slot, v); }

// Normalised value -> port value: for the stepped controls the display value of the step the engine
// selects for v, so that ToNormalised(FromNormalised(v)) selects the same step as v; for Time and
// Compression the display scale 10 v.
float FromNormalised(const ControlPort& port, double v);

// The port's default: the parameter set's default in port units.
float DefaultValue(const ControlPort& port);

// Number of scale points (enumerations only) and the display text of scale point n (port value n).
int ScalePointCount(const ControlPort& port);
void ScalePointLabel(const ControlPort& port, int n, char* text, std::size_t size);

// A host's text for a control at normalised engine value v: the panel's display text and the unit, in
// out (always terminated; cut to capacity). A scale in half units keeps one decimal ("12.5 dB"), as the
// knob's legend counts it.
void ControlText(const ControlPort& port, double v, char* out, std::size_t capacity);
// The port value a host's text names: for a control with named steps one of the names (any case), never
// a number (Valve's "2" is not "+2"); else a number within the port's range, alone or followed by the
// unit (any case). Spaces around are ignored. Nothing for anything else.
std::optional<double> ParseControlText(const ControlPort& port, std::string_view text);
// The index of the name among names that text is (any case, spaces around ignored); nothing when none.
std::optional<std::size_t> MatchName(std::string_view text, std::span<const std::string_view> names);

// Meter conversions: linear peak -> dBFS clamped to kLevelFloorDb..kLevelCeilingDb; engine gain-reduction
// reading (1 - gain, 0..1) -> gain in dB (qrv::GainReductionDb) clamped to kGainReductionFloorDb..0.
float LevelDb(float peak);
float GainReductionDb(double reading);

}  // namespace qrv::hostcontrols
