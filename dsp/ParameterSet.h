// The numbered parameter set: names, identifiers, defaults, flags, step hints and display texts of the
// 29 slots every value crosses between host, editor, presets and engine. Stateless; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace qrv {

enum ParameterSlot : unsigned {
  kSlotProcess = 0,
  kSlotRatio = 2,
  kSlotAttackRatio = 3,
  kSlotTime = 4,
  kSlotCompression = 5,
  kSlotOutput = 6,
  kSlotValveLevel = 7,
  kSlotGainReduction = 13,
};

inline constexpr unsigned kParameterCount = 29;
// A preset holds the values of slots 0..11.
inline constexpr unsigned kPresetValueCount = 12;

enum ParameterFlags : int {
  kParameterFlagHost = 1,
  kParameterFlagMeter = 2,
  kParameterFlagStored = 8,
};

// Message indices that travel through the set-parameter and value-changed paths beside the slots.
enum MessageIndex : int {
  kMessageHostState = 29,
  kMessageHints = 57,
  kMessageZoom = 59,
  kMessagePresetStart = 70,
  kMessagePresetStop = 71,
  kMessageMeterReset = 72,
};

// The user's seven controls in slot order; the host parameters and the stored preset slots.
inline constexpr std::array<unsigned, 7> kControlSlots = {0, 2, 3, 4, 5, 6, 7};

// Texts of the stepped controls, in step order. Empty for continuous or unnamed slots.
inline constexpr std::array<std::string_view, 3> kProcessTexts = {"Off", "Clear", "Valve"};
inline constexpr std::array<std::string_view, 7> kRatioTexts = {"1.2:1", "1.5:1", "2:1", "3:1",
                                                                 "4:1",   "6:1",   "10:1"};
inline constexpr std::array<std::string_view, 7> kAttackTexts = {"x0.25", "x0.4", "x0.6", "x1",
                                                                  "x1.6",  "x2.5", "x4"};
inline constexpr std::array<std::string_view, 7> kValveTexts = {"-3", "-2", "-1", "0", "+1", "+2", "+3"};

inline constexpr std::size_t kParameterIdSize = 32;  // identifier buffers, texts cut to 31 characters
inline constexpr std::size_t kParameterNameMax = 14;
inline constexpr std::size_t kParameterDisplayMax = 6;

// Writes the slot's name (" " for unnamed or out-of-range slots) into text, zero-terminated and cut
// to size - 1 characters.
void GetParameterName(unsigned index, char* text, std::size_t size);
std::string_view ParameterName(unsigned index);

// The host identifier "%d: %s" of a slot 0..28 from the process-wide table; "" beyond 28.
const char* GetParameterId(unsigned index);
// Maps a host identifier back to its slot by exact comparison; -1 when it names none.
int FindParameterId(std::string_view id);

double GetParameterDefault(unsigned index);
int GetParameterSteps(unsigned index);
int GetParameterFlags(unsigned index);

// Writes the value text of slot index at normalised value v (at most 6 characters). The caller passes a
// zero-filled buffer of at least 16 characters; slots without a text for v leave it untouched.
void GetParameterDisplay(unsigned index, double v, char* text, std::size_t size);

// Writes x with exactly two decimals, lifting the second decimal half-up ("5.50", "7.25", "30.00"); a
// magnitude above 99999999 (9999999 when negative) or NaN writes nothing.
void FormatTwoDecimals(float x, char* text, std::size_t size);

// Step arithmetic shared by the engine, the display and the host bindings. Out-of-range and
// non-finite arguments saturate instead of overflowing the integer conversion.
int TruncToInt(double x);
// trunc(scale * v + 0.5) in double precision (display, attack, output).
inline int StepOf(double v, int scale) { return TruncToInt(scale * v + 0.5); }
// trunc(scale * v + 0.5) with v and the product in single precision (engine: mode, ratio, valve).
inline int StepOfSingle(double v, int scale) {
  const float vf = static_cast<float>(v);
  return TruncToInt(static_cast<float>(static_cast<float>(scale) * vf + 0.5f));
}
// The engine's drive step k = trunc(40 * v^0.7071 + 0.5) of "Compression" (v in single precision).
int CompressionStep(double v);
// A normalised value that selects step n of a control with `steps` + 1 positions.
inline double StepValue(int n, int steps) { return static_cast<double>(n) / steps; }

}  // namespace qrv
