#include "format/jack/LiveEngine.h"

#include <cstring>

namespace qrv::jack {

static_assert(std::atomic<uint32_t>::is_always_lock_free, "the park handshake takes no lock");

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
  // Out of range, the core passes silence until a rate within is set up.
  const bool inRange = core_.SetSampleRate(rate > 0.0 ? rate : 48000.0);
  if (outOfRange != nullptr) *outOfRange = !inRange;
  prepared_.store(requested, std::memory_order_release);
  return true;
}

void LiveEngine::Process(const float* const* in, float* const* out, uint32_t frames) {
  const uint32_t requested = requested_.load(std::memory_order_acquire);
  if (prepared_.load(std::memory_order_acquire) != requested) {
    for (unsigned ch = 0; ch < channels(); ++ch) std::memset(out[ch], 0, sizeof(float) * frames);
    parkedBlocks_.fetch_add(1, std::memory_order_relaxed);
    parkedAt_.store(requested, std::memory_order_release);
    return;
  }
  // Edits from the editor reach the engine at the next block, as any change does.
  core_.Process(in, out, frames);
}

}  // namespace qrv::jack
