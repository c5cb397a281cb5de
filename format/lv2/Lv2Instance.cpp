#include "format/lv2/Lv2Instance.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "dsp/ScopedFlushToZero.h"

namespace qrv::lv2 {
namespace {

// The engine counts frames in a signed 32-bit integer; longer runs go in pieces.
constexpr uint32_t kMaxPiece = 1u << 30;

// Largest magnitude, NaN skipped (std::max keeps the running peak). Eight running maxima, one per
// lane, so that the loop compiles to vector maxima; the order of maxima does not change the result.
float Peak(const float* samples, uint32_t frames) {
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

static_assert(std::atomic<double>::is_always_lock_free, "Run publishes values without a lock");

Lv2Instance::Lv2Instance(hostcontrols::Layout layout, double sampleRate, const LV2_URID_Map* map,
                         const InlineDisplayQueue* queue)
    : layout_(layout), engine_(std::make_unique<warmGlowEffect>()), state_(map, published_), inlineDisplay_(queue) {
  for (auto& v : published_) v.store(std::nan(""), std::memory_order_relaxed);
  engine_->SetSampleRate(sampleRate);
  engine_->Reset();
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

void Lv2Instance::ApplyControls(bool all) {
  for (std::size_t i = 0; i < hostcontrols::kControlPorts.size(); ++i) {
    if (controls_[i] == nullptr) continue;
    const float v = *controls_[i];
    std::atomic<double>& published = published_[hostcontrols::kControlPorts[i].slot];
    // Bitwise, so that a NaN left on a port is not taken for a new value at every block. A restore
    // clears the published value; the port is the truth again from the next block on.
    if (!all && std::bit_cast<uint32_t>(v) == std::bit_cast<uint32_t>(applied_[i]) &&
        !std::isnan(published.load(std::memory_order_relaxed)))
      continue;
    applied_[i] = v;
    const double normalised = hostcontrols::ToNormalised(hostcontrols::kControlPorts[i], v);
    engine_->SetParameter(hostcontrols::kControlPorts[i].slot, normalised);
    published.store(normalised, std::memory_order_relaxed);
  }
}

void Lv2Instance::ProcessFrames(uint32_t offset, int32_t count, bool bypass) {
  const float* in[2] = {inputs_[0] + offset, layout_ == hostcontrols::Layout::kStereo ? inputs_[1] + offset : nullptr};
  float* out[2] = {outputs_[0] + offset, layout_ == hostcontrols::Layout::kStereo ? outputs_[1] + offset : nullptr};
  if (bypass) {
    engine_->BypassBlock(in, out, count);
  } else {
    engine_->ProcessBlock(in, out, count);
  }
}

float Lv2Instance::InputPeak(uint32_t frames) const {
  float peak = 0.0f;
  for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout_); ++ch)
    peak = std::max(peak, Peak(inputs_[ch], frames));
  return peak;
}

float Lv2Instance::OutputPeak(uint32_t frames) const {
  float peak = 0.0f;
  for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout_); ++ch)
    peak = std::max(peak, Peak(outputs_[ch], frames));
  return peak;
}

void Lv2Instance::Run(uint32_t frames) {
  ScopedFlushToZero ftz;
  const bool reset = resetPending_;
  ApplyControls(reset);
  if (reset) {
    // After the values, so that drive and output gain start at their targets from the first sample.
    engine_->Reset();
    resetPending_ = false;
  }
  const bool bypass = enabled_ != nullptr && *enabled_ < 0.5f;

  bool connected = true;
  for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(layout_); ++ch) {
    connected = connected && inputs_[ch] != nullptr && outputs_[ch] != nullptr;
  }
  if (connected && frames > 0) {
    // Read before processing: the host may process in place.
    const float inPeak = InputPeak(frames);
    for (uint32_t done = 0; done < frames;) {
      const uint32_t piece = std::min(frames - done, kMaxPiece);
      ProcessFrames(done, static_cast<int32_t>(piece), bypass);
      done += piece;
    }
    if (inputLevel_ != nullptr) *inputLevel_ = hostcontrols::LevelDb(inPeak);
    if (outputLevel_ != nullptr) *outputLevel_ = hostcontrols::LevelDb(OutputPeak(frames));
  }
  double reading = 0.0;
  engine_->GetMeter(kSlotGainReduction, &reading);
  if (gainReduction_ != nullptr) *gainReduction_ = hostcontrols::GainReductionDb(reading);
  inlineDisplay_.Publish(reading);
  if (latency_ != nullptr) *latency_ = static_cast<float>(engine_->GetLatency());
}

}  // namespace qrv::lv2
