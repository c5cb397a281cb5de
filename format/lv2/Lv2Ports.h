// The LV2 port layout of both plug-ins and the conversion between port values, which are in the units a
// user reads (mode and step names, 0..10, dB), and the normalised values the engine takes. The Turtle
// generator, the plug-in and the tests all read this one table. Stateless; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "dsp/ParameterSet.h"

namespace qrv::lv2 {

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
  kPortLatency,        // output, always 0
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
  // The range starts at 0 and normalised value = port value / maximum: the step count of an
  // enumeration, 10 for the 0..10 scales, 30 dB for Output (0.5 dB per engine step, 60 steps).
  float maximum;
  std::string_view unit;  // LV2 units suffix ("db") or empty
};

inline constexpr std::array<ControlPort, 7> kControlPorts = {{
    {kPortProcess, kSlotProcess, "process", ControlKind::kEnumeration, 2.0f, ""},
    {kPortRatio, kSlotRatio, "ratio", ControlKind::kEnumeration, 6.0f, ""},
    {kPortAttackRatio, kSlotAttackRatio, "attack_ratio", ControlKind::kEnumeration, 6.0f, ""},
    {kPortTime, kSlotTime, "time", ControlKind::kContinuous, 10.0f, ""},
    {kPortCompression, kSlotCompression, "compression", ControlKind::kContinuous, 10.0f, ""},
    {kPortOutput, kSlotOutput, "output", ControlKind::kContinuous, 30.0f, "db"},
    {kPortValveLevel, kSlotValveLevel, "valve_level", ControlKind::kEnumeration, 6.0f, ""},
}};

static_assert([] {
  for (std::size_t i = 0; i < kControlPorts.size(); ++i) {
    if (kControlPorts[i].port != i || kControlPorts[i].slot != kControlSlots[i]) return false;
  }
  return true;
}());

// Ranges of the meter outputs; readings are clamped into them.
inline constexpr float kLevelFloorDb = -90.0f;
inline constexpr float kLevelCeilingDb = 24.0f;
inline constexpr float kGainReductionFloorDb = -60.0f;

// The control port for parameter slot `slot`, or null.
const ControlPort* FindControlPort(unsigned slot);

// Port value -> normalised value. The value is clamped to the port's range first; enumerations take the
// nearest integer. A NaN maps to the port's default.
double ToNormalised(const ControlPort& port, float value);

// The engine's step that normalised value v selects; -1 for Time, which the engine reads continuously
// (as a single-precision value).
int EngineStep(const ControlPort& port, double v);

// Normalised value -> port value: for the stepped controls the display value of the step the engine
// selects for v, so that ToNormalised(FromNormalised(v)) selects the same step as v; for Time and
// Compression the display scale 10 v.
float FromNormalised(const ControlPort& port, double v);

// The port's default: the parameter set's default in port units.
float DefaultValue(const ControlPort& port);

// Number of scale points (enumerations only) and the display text of scale point n (port value n).
int ScalePointCount(const ControlPort& port);
void ScalePointLabel(const ControlPort& port, int n, char* text, std::size_t size);

// Meter conversions: linear peak -> dBFS clamped to kLevelFloorDb..kLevelCeilingDb; engine gain-reduction
// reading (1 - gain, 0..1) -> gain in dB clamped to kGainReductionFloorDb..0.
float LevelDb(float peak);
float GainReductionDb(double reading);

}  // namespace qrv::lv2
