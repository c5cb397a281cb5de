// The audio side of `warmglow live`: the instance core (engine, values, preset state), run from the JACK
// process callback, and the handshake that sets it up again for a new rate or buffer size. Nothing here
// knows JACK, so the callback's work can be driven and checked without a server.
//
// Threads: Process runs on the audio thread and allocates nothing, takes no lock and makes no system
// call. RequestPrepare may come from any thread (JACK's rate and buffer-size callbacks). PrepareIfParked
// runs on the main thread; it touches the engine only once the audio thread has parked (it passes
// silence until the engine is set up again), so engine and audio thread never meet.
#pragma once

#include <atomic>
#include <cstdint>

#include "controller/InstanceCore.h"

namespace qrv::jack {

class LiveEngine {
 public:
  // channels: 1 or 2. The instance's values start at their defaults.
  explicit LiveEngine(unsigned channels) : core_(channels) {}
  LiveEngine(const LiveEngine&) = delete;
  LiveEngine& operator=(const LiveEngine&) = delete;

  unsigned channels() const { return core_.channels(); }
  // [main] The instance's values (the audio thread only reads them) and preset state.
  InstanceValues& values() { return core_.values(); }
  InstancePresets& presets() { return core_.presets(); }

  // [any thread] The server runs at a new rate or buffer size (0 for the one that did not change): the
  // audio thread parks until the main thread has set the engine up again. The same rate and size again
  // (JACK repeats them at activation) change nothing. Callers of one kind never overlap.
  void RequestPrepare(double sampleRate, uint32_t frames);
  // [main] Sets the engine up for the latest rate when the audio thread is parked (or not running yet:
  // before activation the caller passes audioRunning false). True when it did. outOfRange: the rate is
  // outside what the engine's filters are defined for; Process then passes silence until a rate within
  // is set up, rather than run with the time constants of the nearest limit.
  bool PrepareIfParked(bool audioRunning, bool* outOfRange = nullptr);
  bool prepared() const;

  // [audio] One block: in and out hold channels() pointers of frames samples each (in and out may be the
  // same buffers). Silence while the engine waits to be set up again, and while the rate is out of range.
  void Process(const float* const* in, float* const* out, uint32_t frames);

  // [any thread] High quality, taken at the next block (from the first sample when set before it), and
  // the frames the output then runs late.
  void SetHighQuality(bool on) { core_.SetHighQuality(on); }
  bool highQuality() const { return core_.highQuality(); }
  uint32_t Latency() const { return core_.Latency(); }

  // [any thread] The engine's gain-reduction reading after the last block (1 - gain).
  double MeterReading() const { return core_.MeterReading(); }
  // [any thread] Blocks passed as silence while parked.
  uint64_t parkedBlocks() const { return parkedBlocks_.load(std::memory_order_relaxed); }
  double sampleRate() const { return rate_.load(std::memory_order_relaxed); }
  uint32_t blockSize() const { return frames_.load(std::memory_order_relaxed); }

 private:
  InstanceCore core_;  // [audio; main while parked]
  // Prepare requests, the request the audio thread parked at, and the one the engine is set up for.
  std::atomic<uint32_t> requested_{1};
  std::atomic<uint32_t> parkedAt_{0};
  std::atomic<uint32_t> prepared_{0};
  std::atomic<double> rate_{0.0};
  std::atomic<uint32_t> frames_{0};
  std::atomic<uint64_t> parkedBlocks_{0};
};

}  // namespace qrv::jack
