#include "dsp/ParameterSet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace qrv {
namespace {

struct SlotInfo {
  std::string_view name;
  int flags;
  double defaultValue;
};

constexpr SlotInfo kUnnamed{" ", 0, 0.5};

constexpr std::array<SlotInfo, kParameterCount> MakeSlotTable() {
  std::array<SlotInfo, kParameterCount> t{};
  for (auto& s : t) s = kUnnamed;
  constexpr int kHostStored = kParameterFlagHost | kParameterFlagStored;
  t[kSlotProcess] = {"Process", kHostStored, 1.0};
  t[kSlotRatio] = {"Ratio", kHostStored, 0.5};
  t[kSlotAttackRatio] = {"AttackRatio", kHostStored, 0.5};
  t[kSlotTime] = {"Time", kHostStored, 0.5};
  t[kSlotCompression] = {"Compression", kHostStored, 0.5};
  t[kSlotOutput] = {"Output", kHostStored, 0.15};
  t[kSlotValveLevel] = {"ValveLevel", kHostStored, 0.5};
  t[kSlotGainReduction] = {"Gain Reduction", kParameterFlagMeter, 0.0};
  return t;
}
constexpr auto kSlots = MakeSlotTable();

static_assert(std::all_of(kSlots.begin(), kSlots.end(),
                          [](const SlotInfo& s) { return s.name.size() <= kParameterNameMax; }));

using IdTable = std::array<std::array<char, kParameterIdSize>, kParameterCount>;

// "%d: %s" cut to 31 characters, built at compile time so the table exists before any instance.
constexpr IdTable MakeIdTable() {
  IdTable t{};
  for (unsigned i = 0; i < kParameterCount; ++i) {
    auto& id = t[i];
    std::size_t n = 0;
    auto put = [&](char c) {
      if (n < kParameterIdSize - 1) id[n++] = c;
    };
    if (i >= 10) put(static_cast<char>('0' + i / 10));
    put(static_cast<char>('0' + i % 10));
    put(':');
    put(' ');
    for (char c : kSlots[i].name) put(c);
  }
  return t;
}
constexpr IdTable kIds = MakeIdTable();

void CopyText(std::string_view s, char* text, std::size_t size) {
  if (text == nullptr || size == 0) return;
  const std::size_t n = std::min(s.size(), size - 1);
  std::memcpy(text, s.data(), n);
  text[n] = '\0';
}

void CopyStepText(std::span<const std::string_view> texts, int n, char* text, std::size_t size) {
  if (n >= 0 && static_cast<std::size_t>(n) < texts.size()) CopyText(texts[static_cast<std::size_t>(n)], text, size);
}

}  // namespace

void GetParameterName(unsigned index, char* text, std::size_t size) { CopyText(ParameterName(index), text, size); }

std::string_view ParameterName(unsigned index) {
  return index < kParameterCount ? kSlots[index].name : kUnnamed.name;
}

const char* GetParameterId(unsigned index) { return index < kParameterCount ? kIds[index].data() : ""; }

int FindParameterId(std::string_view id) {
  for (unsigned i = 0; i < kParameterCount; ++i) {
    if (id == std::string_view(kIds[i].data())) return static_cast<int>(i);
  }
  return -1;
}

double GetParameterDefault(unsigned index) { return index < kParameterCount ? kSlots[index].defaultValue : 0.5; }
int GetParameterSteps(unsigned index) { return IsControlSlot(index) ? ControlShapeOf(index).hostSteps : 0; }
int GetParameterFlags(unsigned index) { return index < kParameterCount ? kSlots[index].flags : 0; }

int TruncToInt(double x) {
  // Saturate well inside int so that later "+ 1" or "* 2" cannot overflow either.
  constexpr double kLimit = 1 << 30;
  if (std::isnan(x)) return 0;
  return static_cast<int>(std::clamp(std::trunc(x), -kLimit, kLimit));
}

int CompressionStep(double v) {
  const float vf = static_cast<float>(v);
  // A negative value has no real power; it drives like 0.
  const double p = vf > 0.0f ? std::pow(static_cast<double>(vf), 0.7071) : 0.0;
  return TruncToInt(ControlShapeOf(kSlotCompression).engineSteps * p + 0.5);
}

int EngineStep(unsigned slot, double v) {
  if (!IsControlSlot(slot)) return -1;
  const ControlShape& s = ControlShapeOf(slot);
  switch (s.rounding) {
    case StepRounding::kContinuous: return -1;
    case StepRounding::kDouble: return StepOf(v, s.engineSteps);
    case StepRounding::kSingle: return StepOfSingle(v, s.engineSteps);
    case StepRounding::kSingleValue: return StepOf(static_cast<float>(v), s.engineSteps);
    case StepRounding::kDrivePower: return CompressionStep(v);
  }
  return -1;
}

double GainDb(double gain) {
  return gain > 0.0 ? 20.0 * std::log10(gain) : -std::numeric_limits<double>::infinity();
}

void FormatTwoDecimals(float x, char* text, std::size_t size) {
  if (text == nullptr || size == 0) return;
  double d = x;
  const double e = 100.0 * d;
  const double frac = e - std::trunc(e);
  if (frac >= 0.49999) {
    d = (e + 1.0) * 0.010000000000000002;
  } else if (frac <= -0.49999) {
    d = (e - 1.0) * 0.010000000000000002;
  }
  char buf[16] = {};
  std::size_t n = 0;
  double mag = d;
  if (d < 0.0) {
    buf[n++] = '-';
    mag = -d;
  }
  // Too large (or NaN): no text at all; the caller's zero-filled buffer stays as it was.
  if (!(mag <= (d < 0.0 ? 9999999.0 : 99999999.0))) return;
  const auto whole = static_cast<long>(mag);
  char digits[12];
  int nd = 0;
  long w = whole;
  do {
    digits[nd++] = static_cast<char>('0' + w % 10);
    w /= 10;
  } while (w > 0);
  while (nd > 0) buf[n++] = digits[--nd];
  buf[n++] = '.';
  double f = mag - static_cast<double>(whole);
  for (int i = 0; i < 2; ++i) {
    f *= 10.0;
    const int digit = std::clamp(static_cast<int>(f), 0, 9);
    buf[n++] = static_cast<char>('0' + digit);
    f -= digit;
  }
  CopyText(std::string_view(buf, n), text, size);
}

void GetParameterDisplay(unsigned index, double v, char* text, std::size_t size) {
  if (text == nullptr || size == 0) return;
  if (IsControlSlot(index)) {
    const ControlShape& s = ControlShapeOf(index);
    int n = StepOf(v, s.displaySteps);
    if (!s.texts.empty()) {
      // The engine is off at any mode step but Clear and Valve; the display says so.
      if ((n < 0 || n > s.displaySteps) && s.outsideStep >= 0) n = s.outsideStep;
      CopyStepText(s.texts, n, text, size);
    } else {
      FormatTwoDecimals(static_cast<float>(n * s.displayUnit), text, size);
    }
    return;
  }
  switch (index) {
    case kSlotGainReduction: {
      if (v >= 0.0001) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%4.2f", GainDb(v));
        CopyText(std::string_view(buf).substr(0, kParameterDisplayMax), text, size);
      } else {
        CopyText("-oo", text, size);
      }
      break;
    }
    default: break;
  }
}

}  // namespace qrv
