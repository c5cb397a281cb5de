#include "controller/InstanceCore.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"

namespace qrv {
namespace {

// The engine counts frames in a signed 32-bit integer; longer runs go in pieces.
constexpr uint32_t kMaxPiece = 1u << 30;

// Bitwise, so that a NaN is never taken for a new value and -0 for +0 is.
bool Same(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

}  // namespace

static_assert(std::atomic<double>::is_always_lock_free, "blocks read and publish values without a lock");
static_assert(std::atomic<bool>::is_always_lock_free, "blocks read bypass without a lock");

InstanceCore::InstanceCore(unsigned channels)
    : channels_(std::clamp(channels, 1u, 2u)), engine_(std::make_unique<warmGlowEffect>()), presets_(values_) {
  for (unsigned slot = 0; slot < kPresetValueCount; ++slot) {
    values_[slot].store(GetParameterDefault(slot), std::memory_order_relaxed);
  }
  highQualityLatency_ = static_cast<uint32_t>(std::max(engine_->highQualityLatency(), 0));
}

InstanceCore::~InstanceCore() = default;

bool InstanceCore::SetSampleRate(double rate) {
  // The engine would clamp such a rate and run with the wrong time constants: refused before it sees it.
  runnable_ = std::isfinite(rate) && rate >= kMinSampleRate && rate <= kMaxSampleRate && engine_->SetSampleRate(rate);
  firstBlock_ = true;
  meter_.store(0.0, std::memory_order_relaxed);
  return runnable_;
}

void InstanceCore::SetValue(unsigned slot, double normalised) {
  if (slot < kPresetValueCount) values_[slot].store(normalised, std::memory_order_relaxed);
}

double InstanceCore::Value(unsigned slot) const {
  return slot < kPresetValueCount ? values_[slot].load(std::memory_order_relaxed) : std::nan("");
}

void InstanceCore::ApplyValues(bool all) {
  for (unsigned slot : kControlSlots) {
    const double v = values_[slot].load(std::memory_order_relaxed);
    if (std::isnan(v)) continue;  // not known: the engine keeps what it has
    if (!all && Same(v, applied_[slot])) continue;
    applied_[slot] = v;
    engine_->SetParameter(slot, v);
  }
}

void InstanceCore::BeginBlock() {
  if (!runnable_) return;
  const ScopedFlushToZero ftz;
  ApplyValues(firstBlock_);
  // Before a reset, which then completes the switch at once.
  if (const bool hq = highQuality(); hq != engine_->highQuality()) engine_->SetHighQuality(hq);
  if (firstBlock_) {
    // After the values, so that drive and output gain start at their targets from the first sample.
    engine_->Reset();
    firstBlock_ = false;
  }
}

void InstanceCore::ApplyValueNow(unsigned slot, double normalised) {
  if (slot >= kPresetValueCount) return;
  values_[slot].store(normalised, std::memory_order_relaxed);
  if (!runnable_ || firstBlock_ || std::isnan(normalised)) return;  // the first block applies it
  applied_[slot] = normalised;
  const ScopedFlushToZero ftz;
  engine_->SetParameter(slot, normalised);
}

void InstanceCore::ProcessFrames(const float* const* in, float* const* out, uint32_t frames) {
  if (frames == 0) return;
  if (!runnable_) {
    for (unsigned ch = 0; ch < channels_; ++ch) std::memset(out[ch], 0, sizeof(float) * frames);
    return;
  }
  const ScopedFlushToZero ftz;
  const bool bypass = bypass_.load(std::memory_order_relaxed);
  const bool stereo = channels_ == 2;
  for (uint32_t done = 0; done < frames;) {
    const uint32_t piece = std::min(frames - done, kMaxPiece);
    const float* ip[2] = {in[0] + done, stereo ? in[1] + done : nullptr};
    float* op[2] = {out[0] + done, stereo ? out[1] + done : nullptr};
    if (bypass) {
      engine_->BypassBlock(ip, op, static_cast<int32_t>(piece));
    } else {
      engine_->ProcessBlock(ip, op, static_cast<int32_t>(piece));
    }
    done += piece;
  }
}

void InstanceCore::EndBlock() {
  if (!runnable_) return;
  double reading = 0.0;
  engine_->GetMeter(kSlotGainReduction, &reading);
  meter_.store(reading, std::memory_order_relaxed);
}

void InstanceCore::Process(const float* const* in, float* const* out, uint32_t frames) {
  BeginBlock();
  ProcessFrames(in, out, frames);
  EndBlock();
}

}  // namespace qrv
