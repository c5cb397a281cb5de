// The numbered parameter set: names, identifiers, defaults, flags, step hints and display texts of the
// 29 slots every value crosses between host, editor, presets and engine. Stateless; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <span>
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

// The user's seven controls in slot order; the host parameters and the stored preset slots.
inline constexpr std::array<unsigned, 7> kControlSlots = {0, 2, 3, 4, 5, 6, 7};

// Texts of the stepped controls, in step order. Empty for continuous or unnamed slots.
inline constexpr std::array<std::string_view, 3> kProcessTexts = {"Off", "Clear", "Valve"};
inline constexpr std::array<std::string_view, 7> kRatioTexts = {"1.2:1", "1.5:1", "2:1", "3:1",
                                                                 "4:1",   "6:1",   "10:1"};
inline constexpr std::array<std::string_view, 7> kAttackTexts = {"x0.25", "x0.4", "x0.6", "x1",
                                                                  "x1.6",  "x2.5", "x4"};
inline constexpr std::array<std::string_view, 7> kValveTexts = {"-3", "-2", "-1", "0", "+1", "+2", "+3"};
// The mode switch's panel legends, in step order.
inline constexpr std::array<std::string_view, 3> kProcessLegends = {"OFF", "CLEAR", "VALVE"};

// How the engine turns a normalised value into its step.
enum class StepRounding {
  kContinuous,   // no step: the value is read as it is (single precision)
  kDouble,       // trunc(steps * v + 0.5) in double precision
  kSingle,       // the same with v and the product in single precision
  kSingleValue,  // v in single precision, the product in double
  kDrivePower,   // the drive step trunc(steps * v^0.7071 + 0.5), v in single precision
};

// The printed scale of a continuous knob: `ticks` ticks over the range, every `majorEvery`-th long,
// every `labelEvery`-th numbered.
struct ScaleTicks {
  int ticks, majorEvery, labelEvery;
};

// The shape of one user control: everything the engine, the display texts, the host bindings, the knob and
// the panel artwork need to know about its steps. One row per control, in kControlSlots order.
struct ControlShape {
  unsigned slot;
  int engineSteps;          // the engine's last step (positions - 1); 0 for a continuous control
  StepRounding rounding;    // how the engine rounds to that step
  int displaySteps;         // the display text's last step; the text rounds in double precision
  double displayUnit;       // display value per display step (0.5 -> "5.50"); 0 where texts name the steps
  std::span<const std::string_view> texts;    // one display text per step, or none
  std::span<const std::string_view> legends;  // panel legends, one per step, or none
  int outsideStep;          // the step whose text a value beyond the range shows, or -1 for no text
  ScaleTicks scale;         // the panel scale of a continuous knob
  std::string_view unit;    // the display value's unit, or empty
  int hostSteps;            // the step hint hosts are given; 0: none (the host's own fine resolution)
};

inline constexpr std::array<ControlShape, 7> kControlShapes = {{
    {kSlotProcess, 2, StepRounding::kSingle, 2, 0.0, kProcessTexts, kProcessLegends, 0, {}, "", 0},
    {kSlotRatio, 6, StepRounding::kSingle, 6, 0.0, kRatioTexts, kRatioTexts, -1, {}, "", 0},
    {kSlotAttackRatio, 6, StepRounding::kDouble, 6, 0.0, kAttackTexts, kAttackTexts, -1, {}, "", 0},
    {kSlotTime, 0, StepRounding::kContinuous, 20, 0.5, {}, {}, -1, {20, 2, 4}, "", 100},
    {kSlotCompression, 40, StepRounding::kDrivePower, 40, 0.25, {}, {}, -1, {20, 2, 4}, "", 100},
    {kSlotOutput, 60, StepRounding::kSingleValue, 60, 0.5, {}, {}, -1, {30, 5, 5}, "dB", 300},
    {kSlotValveLevel, 6, StepRounding::kSingle, 6, 0.0, kValveTexts, kValveTexts, -1, {}, "", 0},
}};

// The row of a control slot; the table has one for every slot of kControlSlots.
constexpr const ControlShape& ControlShapeOf(unsigned slot) {
  for (const ControlShape& s : kControlShapes) {
    if (s.slot == slot) return s;
  }
  return kControlShapes[0];  // never reached for a control slot (checked below)
}
constexpr bool IsControlSlot(unsigned slot) {
  for (unsigned s : kControlSlots) {
    if (s == slot) return true;
  }
  return false;
}
// The value the display shows at the top of a numeric scale (10 for 0..10, 30 dB), or the last step of a
// named one.
constexpr double DisplayMaximum(const ControlShape& s) {
  return s.texts.empty() ? s.displaySteps * s.displayUnit : static_cast<double>(s.displaySteps);
}
// Knob wheel resolution, in notches over the whole range: a numeric scale moves one unit of its scale per
// notch and one host step with the fine modifier; a control without a scale or hint moves in thousandths.
inline constexpr int kWheelStepsUnscaled = 1000;
constexpr int WheelCoarseSteps(const ControlShape& s) {
  return s.texts.empty() ? static_cast<int>(DisplayMaximum(s)) : kWheelStepsUnscaled;
}
constexpr int WheelFineSteps(const ControlShape& s) { return s.hostSteps > 0 ? s.hostSteps : kWheelStepsUnscaled; }

// Frames of the control's film strip (knob or switch): one per display step.
constexpr int KnobFrames(const ControlShape& s) { return s.displaySteps + 1; }
static_assert(KnobFrames(kControlShapes[0]) == 3 && KnobFrames(kControlShapes[1]) == 7 &&
              KnobFrames(kControlShapes[2]) == 7 && KnobFrames(kControlShapes[3]) == 21 &&
              KnobFrames(kControlShapes[4]) == 41 && KnobFrames(kControlShapes[5]) == 61 &&
              KnobFrames(kControlShapes[6]) == 7);

// Whether the engine's steps are evenly spaced in the normalised value.
constexpr bool HasEvenSteps(const ControlShape& s) {
  return s.rounding == StepRounding::kDouble || s.rounding == StepRounding::kSingle ||
         s.rounding == StepRounding::kSingleValue;
}

static_assert([] {
  for (std::size_t i = 0; i < kControlShapes.size(); ++i) {
    const ControlShape& s = kControlShapes[i];
    if (s.slot != kControlSlots[i]) return false;
    // Named steps: one text and one legend per engine step, and the display rounds to the same steps.
    if (!s.texts.empty() && (s.texts.size() != static_cast<std::size_t>(s.engineSteps) + 1 ||
                             s.legends.size() != s.texts.size() || s.displaySteps != s.engineSteps))
      return false;
    // Numeric scales: no texts, a unit per display step, and a printed scale.
    if (s.texts.empty() && (s.displayUnit <= 0.0 || s.scale.ticks <= 0)) return false;
    if ((s.rounding == StepRounding::kContinuous) != (s.engineSteps == 0)) return false;
  }
  return true;
}());
static_assert(ControlShapeOf(kSlotTime).slot == kSlotTime && ControlShapeOf(kSlotValveLevel).slot == kSlotValveLevel);
// The three large knobs read 0 to 10, 0 to 10 and 0 to 30 dB.
static_assert(DisplayMaximum(ControlShapeOf(kSlotTime)) == 10.0);
static_assert(DisplayMaximum(ControlShapeOf(kSlotCompression)) == 10.0);
static_assert(DisplayMaximum(ControlShapeOf(kSlotOutput)) == 30.0);
// Output moves in half-dB steps: the engine's steps are the display's.
static_assert(ControlShapeOf(kSlotOutput).engineSteps == ControlShapeOf(kSlotOutput).displaySteps);

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
// The engine's step of control `slot` at normalised value v, rounded as its table row says; -1 for a
// continuous control or a slot that is no control.
int EngineStep(unsigned slot, double v);
// The number of steps the host bindings give control `slot` (0: no step hint).
int GetParameterSteps(unsigned index);

// A gain as dB: 20 log10(gain), -infinity for no gain at all.
double GainDb(double gain);
// The engine's gain-reduction reading (1 - gain, clamped to 0..1) as the gain in dB: 0 or less.
inline double GainReductionDb(double reading) {
  return GainDb(1.0 - (reading < 0.0 ? 0.0 : reading > 1.0 ? 1.0 : reading));
}

// A normalised value that selects step n of a control with `steps` + 1 positions.
inline double StepValue(int n, int steps) { return static_cast<double>(n) / steps; }

}  // namespace qrv
