// Renders and states of the three modules as a host makes them, for comparison across platforms: the same
// input and settings through the CLAP and VST3 modules and the AAX-style module in the host simulator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qrv::cross {

using Audio = std::vector<std::vector<float>>;  // one vector per channel

inline constexpr double kRate = 48000.0;
inline constexpr uint32_t kFrames = 48000;
inline constexpr uint32_t kBlock = 480;

// The seven controls' normalised values in port order (Process, Ratio, AttackRatio, Time, Compression,
// Output, ValveLevel), enumerations on their steps.
inline constexpr double kSettings[7] = {1.0, 4.0 / 6.0, 2.0 / 6.0, 0.3, 0.75, 0.6, 5.0 / 6.0};

// What one format made: the render and the state saved afterwards.
struct Outcome {
  Audio render;
  std::vector<uint8_t> state;
  std::string error;  // empty when everything worked
};

// The stereo input: noise bursts, a square-ish wave and silence, from integer arithmetic only, so that
// every platform makes the same samples whatever its libm.
Audio Input();

// The settings through the format's own parameter interface, a render of Input(), then the state.
Outcome ClapWithSettings();
Outcome Vst3WithSettings();
Outcome AaxWithSettings();
// `state` loaded into a fresh instance, a render of Input(), then the state saved again.
Outcome ClapFromState(const std::vector<uint8_t>& state);
Outcome Vst3FromState(const std::vector<uint8_t>& state);
Outcome AaxFromState(const std::vector<uint8_t>& state);

}  // namespace qrv::cross
