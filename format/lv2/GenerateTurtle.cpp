// Build-time generator of the bundle's Turtle: manifest.ttl, warmglow.ttl (both plug-ins) and presets.ttl
// (the factory table for both plug-ins), all from the parameter set, the port table and the factory
// presets, so that no range, name or preset value is written by hand.
//
// Usage: qrv_lv2_turtle OUTPUT_DIR PLUGIN_BINARY UI_BINARY (file names inside the bundle)

#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"
#include "controller/HostControls.h"
#include "format/lv2/Lv2Uris.h"
#include "platform/ProductFacts.h"

namespace {

using namespace qrv;
using namespace qrv::lv2;

constexpr std::array<hostcontrols::Layout, 2> kLayouts = {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo};
constexpr std::string_view kGainReductionSymbol = "gain_reduction";

constexpr std::string_view kPrefixes =
    "@prefix doap:   <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:   <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix idpy:   <http://harrisonconsoles.com/lv2/inlinedisplay#> .\n"
    "@prefix lv2:    <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pg:     <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset:   <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf:    <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:   <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state:  <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui:     <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units:  <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:   <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string Iri(std::string_view s) { return "<" + std::string(s) + ">"; }

// Shortest round-trip text of a float, always with a decimal point so Turtle reads it as a decimal
// (hosts then receive preset values as atom:Float).
std::string Number(float x) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  std::string s(buf, r.ptr);
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

// An integer literal for ports with lv2:integer (Turtle reads it as xsd:integer).
std::string Integer(float x) { return std::to_string(static_cast<long>(x)); }

std::string PluginName(hostcontrols::Layout layout) {
  return layout == hostcontrols::Layout::kStereo ? QRV_PRODUCT_NAME " Stereo" : QRV_PRODUCT_NAME " Mono";
}

std::string Manifest(std::string_view binary, std::string_view uiBinary) {
  std::ostringstream o;
  o << kPrefixes;
  o << Iri(kUiUri) << "\n  a ui:X11UI ;\n  ui:binary " << Iri(uiBinary) << " ;\n  rdfs:seeAlso " << Iri(kUiFile)
    << " .\n\n";
  // Also in the manifest: jalv 1.6 fits its window to a UI that is not user-resizable, and looks for
  // that only in the data it has loaded, which leaves out the UI's own file.
  o << Iri(kUiUri) << " lv2:optionalFeature ui:noUserResize .\n\n";
  for (hostcontrols::Layout layout : kLayouts) {
    o << Iri(PluginUri(layout)) << "\n  a lv2:Plugin ;\n  lv2:binary " << Iri(binary) << " ;\n  rdfs:seeAlso "
      << Iri(kPluginFile) << " .\n\n";
  }
  for (hostcontrols::Layout layout : kLayouts) {
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      o << Iri(PresetUri(layout, i)) << "\n  a pset:Preset ;\n  lv2:appliesTo " << Iri(PluginUri(layout))
        << " ;\n  rdfs:seeAlso " << Iri(kPresetFile) << " .\n\n";
    }
  }
  return o.str();
}

// What each control does, for hosts that show a port's comment.
std::string_view PortComment(unsigned slot) {
  switch (slot) {
    case kSlotProcess: return "Off passes the audio through; Clear compresses; Valve adds the asymmetric valve stage.";
    case kSlotRatio: return "One of seven fixed ratio curves, 1.2:1 to 10:1.";
    case kSlotAttackRatio: return "How fast the envelope follows a rising level, x0.25 (slowest) to x4.";
    case kSlotTime: return "Release time scale, 0 (fast) to 10 (slow).";
    case kSlotCompression: return "Input drive into the fixed threshold, 0 to 10.";
    case kSlotOutput: return "Output gain, 0 to 30 dB in 0.5 dB steps.";
    case kSlotValveLevel: return "Drive of the valve stage, -3 to +3.";
    default: return "";
  }
}

void ControlPortTurtle(std::ostringstream& o, const hostcontrols::ControlPort& p) {
  const bool integer = p.kind == hostcontrols::ControlKind::kEnumeration;
  auto value = [&](float x) { return integer ? Integer(x) : Number(x); };
  o << "    a lv2:InputPort , lv2:ControlPort ;\n"
    << "    lv2:index " << p.port << " ;\n"
    << "    lv2:symbol " << Quoted(p.symbol) << " ;\n"
    << "    lv2:name " << Quoted(ParameterName(p.slot)) << " ;\n"
    << "    rdfs:comment " << Quoted(PortComment(p.slot)) << " ;\n"
    << "    lv2:default " << value(hostcontrols::DefaultValue(p)) << " ;\n"
    << "    lv2:minimum " << value(0.0f) << " ;\n"
    << "    lv2:maximum " << value(p.maximum) << " ;\n";
  if (!p.unit.empty()) o << "    units:unit units:" << p.unit << " ;\n";
  if (integer) {
    o << "    lv2:portProperty lv2:integer , lv2:enumeration ;\n";
    for (int n = 0; n < hostcontrols::ScalePointCount(p); ++n) {
      char label[16] = {};
      hostcontrols::ScalePointLabel(p, n, label, sizeof label);
      o << "    lv2:scalePoint [ rdfs:label " << Quoted(label) << " ; rdf:value " << n << " ] ;\n";
    }
  } else if (p.rangeSteps > 0) {
    o << "    pprops:rangeSteps " << p.rangeSteps << " ;\n";
  }
}

void OutputControl(std::ostringstream& o, uint32_t index, std::string_view symbol, std::string_view name,
                   std::string_view comment, std::string minimum, std::string maximum, std::string_view extra) {
  o << "    a lv2:OutputPort , lv2:ControlPort ;\n"
    << "    lv2:index " << index << " ;\n"
    << "    lv2:symbol " << Quoted(symbol) << " ;\n"
    << "    lv2:name " << Quoted(name) << " ;\n"
    << "    rdfs:comment " << Quoted(comment) << " ;\n"
    << "    lv2:minimum " << minimum << " ;\n"
    << "    lv2:maximum " << maximum << " ;\n"
    << extra;
}

// The plug-in's main input and output as port groups: a mono or a stereo group each.
std::string GroupUri(hostcontrols::Layout layout, bool output) {
  return std::string(PluginUri(layout)) + (output ? "#out" : "#in");
}

std::string PluginTurtle() {
  std::ostringstream o;
  o << kPrefixes;
  // The inline display is not in the installed schemas; say what its two terms are.
  o << "idpy:queue_draw a lv2:Feature .\nidpy:interface a lv2:ExtensionData .\n\n";
  // The maker, reached through each plug-in's lv2:project.
  o << Iri(std::string(kUriBase)) << "\n  a doap:Project ;\n  doap:name " << Quoted(product::kName) << " ;\n"
    << "  doap:license " << Iri(product::kLicenseAddress) << " ;\n"
    << "  doap:maintainer [ a foaf:Person ; foaf:name " << Quoted(product::kMaker) << " ; foaf:mbox "
    << Iri(product::kSupportMail) << " ; foaf:homepage " << Iri(product::kWebAddress) << " ] .\n\n";
  for (hostcontrols::Layout layout : kLayouts) {
    const bool stereo = layout == hostcontrols::Layout::kStereo;
    for (bool output : {false, true}) {
      o << Iri(GroupUri(layout, output)) << "\n  a " << (stereo ? "pg:StereoGroup" : "pg:MonoGroup") << " , "
        << (output ? "pg:OutputGroup" : "pg:InputGroup") << " ;\n  lv2:symbol " << Quoted(output ? "out" : "in")
        << " ;\n  rdfs:label " << Quoted(output ? "Output" : "Input") << " .\n\n";
    }
  }
  for (hostcontrols::Layout layout : kLayouts) {
    o << Iri(PluginUri(layout)) << "\n"
      << "  a lv2:Plugin , lv2:CompressorPlugin ;\n"
      << "  doap:name " << Quoted(PluginName(layout)) << " ;\n"
      << "  rdfs:comment " << Quoted(product::kDescription) << " ;\n"
      << "  doap:shortdesc \"Opto compressor\" ;\n"
      << "  doap:license " << Iri(product::kLicenseAddress) << " ;\n"
      << "  lv2:project " << Iri(std::string(kUriBase)) << " ;\n"
      << "  ui:ui " << Iri(kUiUri) << " ;\n"
      << "  pg:mainInput " << Iri(GroupUri(layout, false)) << " ;\n"
      << "  pg:mainOutput " << Iri(GroupUri(layout, true)) << " ;\n"
      << "  lv2:minorVersion 2 ;\n  lv2:microVersion 0 ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable , lv2:isLive , urid:map , idpy:queue_draw ,\n"
      << "    <http://lv2plug.in/ns/ext/log#log> ;\n"
      << "  lv2:extensionData state:interface , idpy:interface ;\n"
      << "  lv2:port [\n";
    bool first = true;
    auto next = [&] {
      if (!first) o << "  ] , [\n";
      first = false;
    };
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) {
      next();
      ControlPortTurtle(o, p);
    }
    next();
    o << "    a lv2:InputPort , lv2:ControlPort ;\n"
      << "    lv2:index " << hostcontrols::kPortEnabled << " ;\n"
      << "    lv2:symbol \"enabled\" ;\n    lv2:name \"Enabled\" ;\n"
      << "    rdfs:comment \"0 bypasses the plug-in, 1 processes.\" ;\n"
      << "    lv2:designation lv2:enabled ;\n"
      << "    lv2:portProperty lv2:toggled , lv2:integer ;\n"
      << "    lv2:default 1 ;\n    lv2:minimum 0 ;\n    lv2:maximum 1 ;\n";
    next();
    // The largest the port reports: the delay of High quality, an option of the instance's state.
    const std::string latencyMaximum = std::to_string(warmGlowEffect().highQualityLatency());
    OutputControl(o, hostcontrols::kPortLatency, "latency", "Latency",
                  "Processing latency in frames: 0, or " + latencyMaximum + " with High quality on.", "0",
                  latencyMaximum,
                  "    lv2:designation lv2:latency ;\n"
                  "    lv2:portProperty lv2:reportsLatency , lv2:integer ;\n    units:unit units:frame ;\n");
    next();
    OutputControl(o, hostcontrols::kPortGainReduction, kGainReductionSymbol, ParameterName(kSlotGainReduction),
                  "The gain the compressor applies, in dB (0 or less).", Number(hostcontrols::kGainReductionFloorDb),
                  Number(0.0f), "    units:unit units:db ;\n");
    next();
    OutputControl(o, hostcontrols::kPortInputLevel, "input_level", "Input Level",
                  "Peak input level of the block, in dBFS.", Number(hostcontrols::kLevelFloorDb),
                  Number(hostcontrols::kLevelCeilingDb), "    units:unit units:db ;\n");
    next();
    OutputControl(o, hostcontrols::kPortOutputLevel, "output_level", "Output Level",
                  "Peak output level of the block, in dBFS.", Number(hostcontrols::kLevelFloorDb),
                  Number(hostcontrols::kLevelCeilingDb), "    units:unit units:db ;\n");
    const bool stereo = layout == hostcontrols::Layout::kStereo;
    constexpr std::array<std::string_view, 2> kSuffix = {"_l", "_r"};
    constexpr std::array<std::string_view, 2> kSide = {" Left", " Right"};
    for (int output = 0; output < 2; ++output) {
      for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout); ++ch) {
        next();
        const uint32_t index =
            output ? hostcontrols::AudioOutputPort(layout, ch) : hostcontrols::AudioInputPort(layout, ch);
        std::string symbol = output ? "out" : "in";
        std::string name = output ? "Audio Output" : "Audio Input";  // "Output" is the gain control
        if (stereo) {
          symbol += kSuffix[ch];
          name += kSide[ch];
        }
        o << "    a lv2:AudioPort , " << (output ? "lv2:OutputPort" : "lv2:InputPort") << " ;\n"
          << "    lv2:index " << index << " ;\n"
          << "    lv2:symbol " << Quoted(symbol) << " ;\n"
          << "    lv2:name " << Quoted(name) << " ;\n"
          << "    rdfs:comment " << Quoted(std::string(output ? "Processed audio" : "Audio to compress") +
                                       (stereo ? (ch ? ", right channel." : ", left channel.") : ".")) << " ;\n"
          << "    pg:group " << Iri(GroupUri(layout, output != 0)) << " ;\n"
          << "    lv2:designation " << (stereo ? (ch ? "pg:right" : "pg:left") : "pg:center") << " ;\n";
      }
    }
    o << "  ] .\n\n";
  }
  return o.str();
}

std::string PresetTurtle() {
  std::ostringstream o;
  o << kPrefixes;
  for (std::size_t c = 0; c < kFactoryCategories.size(); ++c) {
    o << Iri(BankUri(static_cast<int>(c))) << "\n  a pset:Bank ;\n  rdfs:label " << Quoted(kFactoryCategories[c])
      << " .\n\n";
  }
  o << Iri(kStateKeyFactoryPreset) << "\n  a rdf:Property , <http://www.w3.org/2002/07/owl#DatatypeProperty> ;\n"
    << "  rdfs:label \"factory preset\" ;\n"
    << "  rdfs:comment \"The number of the factory preset a preset's state names.\" ;\n"
    << "  rdfs:range <http://www.w3.org/2001/XMLSchema#nonNegativeInteger> .\n\n";
  for (hostcontrols::Layout layout : kLayouts) {
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      std::array<double, kPresetValueCount> values{};
      char name[kPresetNameSize] = {};
      FactoryPresetGrouping grouping{kNoCategory, 0};
      GetFactoryPreset(i, values.data(), name, &grouping);
      o << Iri(PresetUri(layout, i)) << "\n  a pset:Preset ;\n  lv2:appliesTo " << Iri(PluginUri(layout))
        << " ;\n  rdfs:label " << Quoted(FactoryPresetLabel(i)) << " ;\n";
      if (grouping.category >= 0 && grouping.category < static_cast<int>(kFactoryCategories.size())) {
        o << "  rdfs:comment " << Quoted(kFactoryCategories[static_cast<std::size_t>(grouping.category)])
          << " ;\n  pset:bank " << Iri(BankUri(grouping.category)) << " ;\n";
      }
      o << "  lv2:port ";
      for (std::size_t k = 0; k < hostcontrols::kControlPorts.size(); ++k) {
        const hostcontrols::ControlPort& p = hostcontrols::kControlPorts[k];
        o << (k ? " , " : "") << "[\n    lv2:symbol " << Quoted(p.symbol) << " ;\n    pset:value "
          << Number(hostcontrols::FromNormalised(p, values[p.slot])) << "\n  ]";
      }
      // The preset's number as its state: restored after the ports, it tells the instance which preset
      // the host loaded, so that the bar names it rather than showing an edit.
      o << " ;\n  state:state [\n    " << Iri(kStateKeyFactoryPreset) << " " << i << "\n  ]";
      o << " .\n\n";
    }
  }
  return o.str();
}

// The UI's needs: the idle interface as a feature and as extension data, as the UI extension asks;
// the parent window, resizing, gestures, options (the scale factor) and URID map when offered; the
// gain-reduction output delivered to it. The window is not user-resizable (its size follows the zoom
// chosen in the bar): a host that knows it fits its window to the editor, shrinking it too.
std::string UiTurtle() {
  std::ostringstream o;
  o << kPrefixes << "@prefix log:    <http://lv2plug.in/ns/ext/log#> .\n"
    << "@prefix opts:   <http://lv2plug.in/ns/ext/options#> .\n\n";
  o << Iri(kUiUri) << "\n  a ui:X11UI ;\n"
    << "  lv2:requiredFeature ui:idleInterface ;\n"
    << "  lv2:optionalFeature ui:parent , ui:resize , ui:touch , opts:options , urid:map , log:log ,\n"
    << "    <http://lv2plug.in/ns/ext/instance-access> , ui:noUserResize ;\n"
    << "  lv2:extensionData ui:idleInterface ;\n"
    << "  opts:supportedOption ui:scaleFactor";
  for (hostcontrols::Layout layout : kLayouts) {
    o << " ;\n  ui:portNotification [\n    ui:plugin " << Iri(PluginUri(layout)) << " ;\n    lv2:symbol "
      << Quoted(kGainReductionSymbol) << " ;\n    ui:protocol ui:floatProtocol\n  ]";
  }
  o << " .\n";
  return o.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  if (!f) {
    std::cerr << "qrv_lv2_turtle: cannot write " << path << "\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: qrv_lv2_turtle OUTPUT_DIR PLUGIN_BINARY UI_BINARY\n";
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok = WriteFile(dir + "/" + std::string(kManifestFile), Manifest(argv[2], argv[3])) &&
                  WriteFile(dir + "/" + std::string(kUiFile), UiTurtle()) &&
                  WriteFile(dir + "/" + std::string(kPluginFile), PluginTurtle()) &&
                  WriteFile(dir + "/" + std::string(kPresetFile), PresetTurtle());
  return ok ? 0 : 1;
}
