#include "format/jack/LiveEngine.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"

namespace qrv::jack {
namespace {

// The engine counts frames in a signed 32-bit integer; JACK's periods are far shorter, but a block is
// never handed over in one piece that it cannot count.
constexpr uint32_t kMaxPiece = 1u << 30;

bool Same(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

}  // namespace

static_assert(std::atomic<double>::is_always_lock_free, "the audio thread reads values without a lock");
static_assert(std::atomic<uint32_t>::is_always_lock_free, "the park handshake takes no lock");

LiveEngine::LiveEngine(InstanceValues& values, unsigned channels)
    : values_(values), channels_(std::clamp(channels, 1u, 2u)), engine_(std::make_unique<warmGlowEffect>()) {}

LiveEngine::~LiveEngine() = default;

void LiveEngine::RequestPrepare(double sampleRate, uint32_t frames) {
  bool changed = false;
  if (sampleRate > 0.0 && rate_.exchange(sampleRate, std::memory_order_relaxed) != sampleRate) changed = true;
  if (frames > 0 && frames_.exchange(frames, std::memory_order_relaxed) != frames) changed = true;
  if (changed) requested_.fetch_add(1, std::memory_order_acq_rel);
}

bool LiveEngine::prepared() const {
  return prepared_.load(std::memory_order_acquire) == requested_.load(std::memory_order_acquire);
}

bool LiveEngine::PrepareIfParked(bool audioRunning, bool* outOfRange) {
  const uint32_t requested = requested_.load(std::memory_order_acquire);
  if (prepared_.load(std::memory_order_relaxed) == requested) return false;
  // The audio thread parks at the request it saw; until then it may be inside the engine.
  if (audioRunning && parkedAt_.load(std::memory_order_acquire) != requested) return false;
  const double rate = rate_.load(std::memory_order_relaxed);
  const bool inRange = engine_->SetSampleRate(rate > 0.0 ? rate : 48000.0);
  if (outOfRange != nullptr) *outOfRange = !inRange;
  silent_.store(!inRange, std::memory_order_relaxed);
  // Values first, then Reset: the settings are in force from the first sample, without a glide.
  ApplyChangedValues(true);
  engine_->Reset();
  meter_.store(0.0, std::memory_order_relaxed);
  prepared_.store(requested, std::memory_order_release);
  return true;
}

void LiveEngine::ApplyChangedValues(bool all) {
  for (unsigned slot : kControlSlots) {
    const double v = values_[slot].load(std::memory_order_relaxed);
    if (v != v) continue;  // not known: the engine keeps what it has
    if (!all && Same(v, applied_[slot])) continue;
    applied_[slot] = v;
    engine_->SetParameter(slot, v);
  }
}

void LiveEngine::Process(const float* const* in, float* const* out, uint32_t frames) {
  const uint32_t requested = requested_.load(std::memory_order_acquire);
  if (prepared_.load(std::memory_order_acquire) != requested) {
    for (unsigned ch = 0; ch < channels_; ++ch) std::memset(out[ch], 0, sizeof(float) * frames);
    parkedBlocks_.fetch_add(1, std::memory_order_relaxed);
    parkedAt_.store(requested, std::memory_order_release);
    return;
  }
  if (silent_.load(std::memory_order_relaxed)) {
    for (unsigned ch = 0; ch < channels_; ++ch) std::memset(out[ch], 0, sizeof(float) * frames);
    return;
  }
  const ScopedFlushToZero ftz;
  // Edits from the editor reach the engine at the next block, as any change does.
  ApplyChangedValues(false);
  for (uint32_t done = 0; done < frames;) {
    const uint32_t piece = std::min(frames - done, kMaxPiece);
    const float* ip[2] = {in[0] + done, channels_ == 2 ? in[1] + done : nullptr};
    float* op[2] = {out[0] + done, channels_ == 2 ? out[1] + done : nullptr};
    engine_->ProcessBlock(ip, op, static_cast<int32_t>(piece));
    done += piece;
  }
  double reading = 0.0;
  engine_->GetMeter(kSlotGainReduction, &reading);
  meter_.store(reading, std::memory_order_relaxed);
}

}  // namespace qrv::jack
