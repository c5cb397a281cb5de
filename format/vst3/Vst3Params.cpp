#include "format/vst3/Vst3Params.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"

namespace qrv::vst3 {
namespace {

constexpr std::string_view kBypassName = "Bypass";
constexpr std::string_view kHighQualityName = "High quality";
constexpr std::string_view kProgramName = "Program";
constexpr std::array<std::string_view, 2> kSwitchTexts = {"Off", "On"};

// The plain maximum and whether the parameter is stepped.
struct Range {
  double maximum;
  bool stepped;
};

std::optional<Range> RangeOf(abi::ParamID id) {
  if (const hostcontrols::ControlPort* port = ControlOf(id))
    return Range{port->maximum, port->kind == hostcontrols::ControlKind::kEnumeration};
  if (id == kParamBypass || id == kParamHighQuality) return Range{1.0, true};
  if (id == kParamProgram) return Range{static_cast<double>(kFactoryPresetCount - 1), true};
  return std::nullopt;
}

}  // namespace

std::optional<abi::ParamID> ParamIdAt(int32_t index) {
  if (index < 0 || index >= kParamCount) return std::nullopt;
  return index == kParamCount - 1 ? kParamProgram : static_cast<abi::ParamID>(index);
}

bool IsKnownParam(abi::ParamID id) { return id <= kParamHighQuality || id == kParamProgram; }

const hostcontrols::ControlPort* ControlOf(abi::ParamID id) {
  return id < hostcontrols::kControlPorts.size() ? &hostcontrols::kControlPorts[id] : nullptr;
}

bool ParamInfo(int32_t index, abi::ParameterInfo& info) {
  const std::optional<abi::ParamID> id = ParamIdAt(index);
  if (!id) return false;
  info = abi::ParameterInfo{};
  info.id = *id;
  info.unitId = abi::kRootUnitId;
  const Range range = *RangeOf(*id);
  info.stepCount = range.stepped ? static_cast<int32_t>(range.maximum) : 0;
  std::string title;
  if (const hostcontrols::ControlPort* port = ControlOf(*id)) {
    title = std::string(ParameterName(port->slot));
    CopyUtf16(std::string(ControlShapeOf(port->slot).unit), info.units, 128);
    info.defaultNormalizedValue = *ToNormalised(*id, hostcontrols::DefaultValue(*port));
    info.flags = abi::ParameterInfo::kCanAutomate | (range.stepped ? abi::ParameterInfo::kIsList : 0);
  } else if (*id == kParamBypass) {
    title = std::string(kBypassName);
    info.flags = abi::ParameterInfo::kCanAutomate | abi::ParameterInfo::kIsBypass;
  } else if (*id == kParamHighQuality) {
    title = std::string(kHighQualityName);
    info.flags = abi::ParameterInfo::kIsList;  // not automatable
  } else {
    title = std::string(kProgramName);
    info.flags = abi::ParameterInfo::kIsProgramChange | abi::ParameterInfo::kIsList;
  }
  CopyUtf16(title, info.title, 128);
  CopyUtf16(title, info.shortTitle, 128);
  return true;
}

std::optional<double> ToPlain(abi::ParamID id, double normalised) {
  const std::optional<Range> range = RangeOf(id);
  if (!range || std::isnan(normalised)) return std::nullopt;
  const double v = std::clamp(normalised, 0.0, 1.0);
  if (!range->stepped) return v * range->maximum;
  return std::min(range->maximum, std::floor(v * (range->maximum + 1.0)));
}

std::optional<double> ToNormalised(abi::ParamID id, double plain) {
  const std::optional<Range> range = RangeOf(id);
  if (!range || std::isnan(plain)) return std::nullopt;
  double v = std::clamp(plain, 0.0, range->maximum);
  if (range->stepped) v = std::round(v);
  return v / range->maximum;
}

double EngineValue(const hostcontrols::ControlPort& port, double normalised) {
  const double plain = ToPlain(port.port, normalised).value_or(hostcontrols::DefaultValue(port));
  return hostcontrols::ToNormalised(port, static_cast<float>(plain));
}

double HostValue(const hostcontrols::ControlPort& port, double engine) {
  if (std::isnan(engine)) return *ToNormalised(port.port, hostcontrols::DefaultValue(port));
  return *ToNormalised(port.port, hostcontrols::FromNormalised(port, engine));
}

std::string ValueText(abi::ParamID id, double normalised) {
  const std::optional<double> plain = std::isfinite(normalised) ? ToPlain(id, normalised) : std::nullopt;
  if (!plain) return {};
  if (id == kParamBypass || id == kParamHighQuality) return std::string(kSwitchTexts[*plain >= 0.5 ? 1 : 0]);
  if (id == kParamProgram) return FactoryPresetLabel(static_cast<int>(*plain));
  const hostcontrols::ControlPort& port = *ControlOf(id);
  char text[48];
  hostcontrols::ControlText(port, hostcontrols::ToNormalised(port, static_cast<float>(*plain)), text, sizeof text);
  return text;
}

std::optional<double> TextValue(abi::ParamID id, const std::string& text) {
  if (!IsKnownParam(id)) return std::nullopt;
  if (id == kParamBypass || id == kParamHighQuality) {
    const std::optional<std::size_t> i = hostcontrols::MatchName(text, kSwitchTexts);
    return i ? ToNormalised(id, static_cast<double>(*i)) : std::nullopt;
  }
  if (id == kParamProgram) {
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      const std::string label = FactoryPresetLabel(i);
      const std::string_view name = label;
      if (hostcontrols::MatchName(text, std::span(&name, 1))) return ToNormalised(id, i);
    }
    return std::nullopt;
  }
  const std::optional<double> plain = hostcontrols::ParseControlText(*ControlOf(id), text);
  return plain ? ToNormalised(id, *plain) : std::nullopt;
}

void CopyUtf16(const std::string& text, abi::TChar* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size() && n + 1 < capacity;) {
    const auto c = static_cast<unsigned char>(text[i]);
    uint32_t code = c;
    std::size_t length = 1;
    if (c >= 0xF0 && i + 3 < text.size()) {
      code = ((c & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) | (text[i + 3] & 0x3Fu);
      length = 4;
    } else if (c >= 0xE0 && i + 2 < text.size()) {
      code = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
      length = 3;
    } else if (c >= 0xC0 && i + 1 < text.size()) {
      code = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
      length = 2;
    } else if (c >= 0x80) {
      code = 0xFFFD;  // a stray byte
    }
    i += length;
    if (code >= 0x10000) {
      if (n + 2 >= capacity) break;
      code -= 0x10000;
      out[n++] = static_cast<abi::TChar>(0xD800 + (code >> 10));
      out[n++] = static_cast<abi::TChar>(0xDC00 + (code & 0x3FF));
    } else {
      out[n++] = static_cast<abi::TChar>(code);
    }
  }
  out[n] = 0;
}

std::string ToUtf8(const abi::TChar* text, std::size_t capacity) {
  std::string out;
  if (text == nullptr) return out;
  for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < capacity && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace qrv::vst3
