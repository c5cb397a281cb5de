#include "format/lv2/Lv2Instance.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace qrv::lv2 {
namespace {

// Largest magnitude, NaN skipped (std::max keeps the running peak). Eight running maxima, one per
// lane, so that the loop compiles to vector maxima; the order of maxima does not change the result.
float PeakOf(const float* samples, uint32_t frames) {
  constexpr uint32_t kLanes = 8;
  float lanes[kLanes] = {};
  uint32_t i = 0;
  for (; i + kLanes <= frames; i += kLanes) {
    for (uint32_t j = 0; j < kLanes; ++j) lanes[j] = std::max(lanes[j], std::fabs(samples[i + j]));
  }
  float peak = 0.0f;
  for (; i < frames; ++i) peak = std::max(peak, std::fabs(samples[i]));
  for (float lane : lanes) peak = std::max(peak, lane);
  return peak;
}

}  // namespace

Lv2Instance::Lv2Instance(hostcontrols::Layout layout, double sampleRate, const LV2_URID_Map* map,
                         const InlineDisplayQueue* queue)
    : layout_(layout), core_(hostcontrols::ChannelCount(layout)), state_(map, core_.presets(), core_), inlineDisplay_(queue) {
  core_.presets().ForgetValues();  // no port read yet
  core_.SetSampleRate(sampleRate);
}

void Lv2Instance::ConnectPort(uint32_t port, void* data) {
  auto* f = static_cast<float*>(data);
  if (port < hostcontrols::kControlPorts.size()) {
    controls_[port] = f;
    return;
  }
  switch (port) {
    case hostcontrols::kPortEnabled: enabled_ = f; return;
    case hostcontrols::kPortLatency: latency_ = f; return;
    case hostcontrols::kPortGainReduction: gainReduction_ = f; return;
    case hostcontrols::kPortInputLevel: inputLevel_ = f; return;
    case hostcontrols::kPortOutputLevel: outputLevel_ = f; return;
    default: break;
  }
  const uint32_t channels = hostcontrols::ChannelCount(layout_);
  for (uint32_t ch = 0; ch < channels; ++ch) {
    if (port == hostcontrols::AudioInputPort(layout_, ch)) inputs_[ch] = f;
    if (port == hostcontrols::AudioOutputPort(layout_, ch)) outputs_[ch] = f;
  }
}

void Lv2Instance::ReadControls() {
  for (std::size_t i = 0; i < hostcontrols::kControlPorts.size(); ++i) {
    if (controls_[i] == nullptr) continue;
    const float v = *controls_[i];
    const unsigned slot = hostcontrols::kControlPorts[i].slot;
    // Bitwise, so that a NaN left on a port is not taken for a new value at every block. A restore
    // forgets the values; the port is the truth again from the next block on.
    if (std::bit_cast<uint32_t>(v) == std::bit_cast<uint32_t>(read_[i]) && !std::isnan(core_.Value(slot))) continue;
    read_[i] = v;
    core_.SetValue(slot, hostcontrols::ToNormalised(hostcontrols::kControlPorts[i], v));
  }
}

float Lv2Instance::Peak(const float* const* channels, uint32_t frames) const {
  float peak = 0.0f;
  for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout_); ++ch) peak = std::max(peak, PeakOf(channels[ch], frames));
  return peak;
}

void Lv2Instance::Run(uint32_t frames) {
  ReadControls();
  core_.SetBypass(enabled_ != nullptr && *enabled_ < 0.5f);
  bool connected = frames > 0;
  for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout_); ++ch) {
    connected = connected && inputs_[ch] != nullptr && outputs_[ch] != nullptr;
  }
  // Read before processing: the host may process in place.
  const float inPeak = connected ? Peak(inputs_.data(), frames) : 0.0f;
  // Unconnected, the block only hands the values over (and resets after an activation).
  core_.Process(inputs_.data(), outputs_.data(), connected ? frames : 0);
  if (connected) {
    if (inputLevel_ != nullptr) *inputLevel_ = hostcontrols::LevelDb(inPeak);
    if (outputLevel_ != nullptr) *outputLevel_ = hostcontrols::LevelDb(Peak(outputs_.data(), frames));
  }
  const double reading = core_.MeterReading();
  if (gainReduction_ != nullptr) *gainReduction_ = hostcontrols::GainReductionDb(reading);
  inlineDisplay_.Publish(reading);
  if (latency_ != nullptr) *latency_ = static_cast<float>(core_.engine().GetLatency());
}

}  // namespace qrv::lv2
