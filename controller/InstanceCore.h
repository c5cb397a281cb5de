// The audio side of one plug-in instance, as every binding has it: the engine, the normalised values the
// instance runs with, its preset state, bypass and the published gain-reduction reading. A binding only
// translates its host's buffers, ports, events and calls into the calls below.
//
// A block is BeginBlock, then ProcessFrames once or more (a binding that splits the block at the sample
// offsets of its host's events calls ApplyValueNow between them), then EndBlock; Process does the three.
// The first block after SetSampleRate or RequestReset hands every known value to the engine and then
// resets it, so that the settings are in force from the first sample, without a glide; every later block
// hands over the values that changed since.
//
// Threads: construction, SetSampleRate and destruction on a thread that is not processing, never beside
// a block (the binding's host keeps them apart, or the binding parks its audio thread). The block calls
// on the thread that processes. SetValue, Value, SetBypass, bypassed, SetHighQuality, highQuality, Latency
// and MeterReading on any thread. The block calls allocate nothing, take no lock and make no system call.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "controller/InstancePresets.h"
#include "dsp/ParameterSet.h"

namespace qrv {

class warmGlowEffect;

class InstanceCore {
 public:
  // channels: 1 or 2 (anything else is taken as the nearest). Every value starts at its default.
  explicit InstanceCore(unsigned channels);
  ~InstanceCore();
  InstanceCore(const InstanceCore&) = delete;
  InstanceCore& operator=(const InstanceCore&) = delete;

  unsigned channels() const { return channels_; }

  // [not beside a block] Sets the engine up for rate; the next block applies every value and resets.
  // False for a rate outside what the engine's filters are defined for (or not finite): the engine is
  // left alone and every block passes silence until a rate within is set, rather than run with the time
  // constants of the nearest limit. Before the first call, blocks pass silence too.
  bool SetSampleRate(double rate);
  bool runnable() const { return runnable_; }
  // [audio, or not beside a block] The next block applies every value and resets the engine (a host's
  // reset, an activation).
  void RequestReset() { firstBlock_ = true; }

  // [any thread] The normalised value of parameter slot `slot` (0..kPresetValueCount-1; others are
  // ignored, and read as NaN). NaN: not known; the engine keeps what it has. The engine takes a value
  // at the start of the next block.
  void SetValue(unsigned slot, double normalised);
  double Value(unsigned slot) const;
  // The values themselves, for the preset state and a binding's editor.
  InstanceValues& values() { return values_; }
  InstancePresets& presets() { return presets_; }

  // [any thread] Bypassed blocks pass the input through the engine's bypass (which keeps its state).
  void SetBypass(bool bypass) { bypass_.store(bypass, std::memory_order_relaxed); }
  bool bypassed() const { return bypass_.load(std::memory_order_relaxed); }

  // [any thread] High quality (the engine's oversampled valve stage), per instance, off by default. The
  // engine takes it at the start of the next block (a switch during playback crossfades; after a reset it
  // is in force from the first sample). Not a preset value: the binding keeps it with the instance's state.
  void SetHighQuality(bool on) { highQuality_.store(on, std::memory_order_relaxed); }
  bool highQuality() const { return highQuality_.load(std::memory_order_relaxed); }
  // [any thread] The latency in frames the instance runs with from the next block on: the engine's
  // GetLatency once the option as set is applied (0 when off).
  uint32_t Latency() const { return highQuality() ? highQualityLatency_ : 0u; }

  // [any thread] The state stream's flags for bypass and High quality (kStateFlag...), and the two from
  // a loaded stream's flags.
  uint32_t StateFlags() const {
    return (bypassed() ? kStateFlagBypass : 0u) | (highQuality() ? kStateFlagHighQuality : 0u);
  }
  void ApplyStateFlags(uint32_t flags) {
    SetBypass((flags & kStateFlagBypass) != 0);
    SetHighQuality((flags & kStateFlagHighQuality) != 0);
  }

  // [any thread] The engine's gain-reduction reading (1 - gain) after the last block; 0 after
  // SetSampleRate until a block has run.
  double MeterReading() const { return meter_.load(std::memory_order_relaxed); }

  // [audio] The block steps (see above). in and out hold channels() pointers to frames samples each; they
  // may be the same buffers. ApplyValueNow sets a value and hands it to the engine at once (an event at a
  // sample offset inside the block).
  void BeginBlock();
  void ApplyValueNow(unsigned slot, double normalised);
  void ProcessFrames(const float* const* in, float* const* out, uint32_t frames);
  void EndBlock();
  void Process(const float* const* in, float* const* out, uint32_t frames);

  // The engine, for its read-only views (latency, tests). Not beside a block.
  warmGlowEffect& engine() { return *engine_; }

 private:
  void ApplyValues(bool all);

  const unsigned channels_;
  std::unique_ptr<warmGlowEffect> engine_;
  InstanceValues values_;
  InstancePresets presets_;  // over values_
  // Values last handed to the engine, by slot. [audio]
  std::array<double, kPresetValueCount> applied_{};
  bool runnable_ = false;   // [not beside a block]
  bool firstBlock_ = true;  // [audio; not beside a block]
  std::atomic<bool> bypass_{false};
  std::atomic<bool> highQuality_{false};
  uint32_t highQualityLatency_ = 0;  // the engine's, fixed at construction
  std::atomic<double> meter_{0.0};
};

}  // namespace qrv
