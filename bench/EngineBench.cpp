// ProcessBlock cost per frame: steady tone (release path), bursts with the fastest attack (56 envelope
// steps per frame while the level rises), the worst case (a tone at attack x0.25), silence, mode Valve
// against Clear, mono and stereo, two rates, blocks of 1 to 8 (mono and stereo), 64, 256 and 512 frames,
// and each instruction-set path of the chunked passes. Reported counters: ns per frame and the real-time
// factor.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "dsp/ParameterSet.h"
#include "dsp/warmGlowEffect.h"

namespace {

// kToneFastAttack: the worst case, a tone whose every rising half-cycle runs 56 envelope steps per frame.
enum Signal : int { kTone = 0, kBursts = 1, kToneFastAttack = 2, kSilence = 3 };
constexpr int kBestPath = -1;

std::vector<float> MakeSignal(Signal signal, double rate, std::size_t frames) {
  std::vector<float> x(frames);
  const double twoPi = 6.283185307179586;
  const std::size_t period = static_cast<std::size_t>(rate * 0.25);  // a burst every 250 ms
  for (std::size_t i = 0; i < frames; ++i) {
    double s = signal == kSilence ? 0.0 : 0.5 * std::sin(twoPi * 220.0 * static_cast<double>(i) / rate);
    if (signal == kBursts) s *= (i % period) < period / 5 ? 1.0 : 0.01;
    x[i] = static_cast<float>(s);
  }
  return x;
}

// Args: channels, sample rate, block size, signal, valve (1) or clear (0), instruction set (or the best).
void BM_ProcessBlock(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const double rate = static_cast<double>(state.range(1));
  const int block = static_cast<int>(state.range(2));
  const auto signal = static_cast<Signal>(state.range(3));
  const bool valve = state.range(4) != 0;
  const int path = static_cast<int>(state.range(5));

  qrv::warmGlowEffect fx;
  if (path != kBestPath && !fx.ForceInstructionSet(static_cast<qrv::InstructionSet>(path))) {
    state.SkipWithError("this CPU lacks the instruction set: path not run");
    return;
  }
  fx.SetSampleRate(rate);
  fx.SetParameter(qrv::kSlotProcess, valve ? 1.0 : 0.5);
  fx.SetParameter(qrv::kSlotAttackRatio, signal == kTone || signal == kSilence ? 0.5 : 0.0);
  fx.SetParameter(qrv::kSlotCompression, 0.7);
  fx.Reset();

  const std::size_t frames = static_cast<std::size_t>(rate);  // one second, looped
  const std::vector<float> left = MakeSignal(signal, rate, frames);
  const std::vector<float> right = MakeSignal(signal, rate, frames);
  std::vector<float> outL(static_cast<std::size_t>(block)), outR(static_cast<std::size_t>(block));
  std::size_t pos = 0;
  for (auto _ : state) {
    if (pos + static_cast<std::size_t>(block) > frames) pos = 0;
    const float* in[2] = {left.data() + pos, channels == 2 ? right.data() + pos : nullptr};
    float* out[2] = {outL.data(), channels == 2 ? outR.data() : nullptr};
    fx.ProcessBlock(in, out, block);
    benchmark::DoNotOptimize(outL.data());
    pos += static_cast<std::size_t>(block);
  }
  const double framesDone = static_cast<double>(state.iterations()) * block;
  state.SetItemsProcessed(static_cast<int64_t>(framesDone));
  state.counters["ns_per_frame"] =
      benchmark::Counter(framesDone * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  // Seconds of audio processed per second of CPU.
  state.counters["realtime_x"] = benchmark::Counter(framesDone / rate, benchmark::Counter::kIsRate);
}

void Args(benchmark::internal::Benchmark* b) {
  b->ArgNames({"ch", "rate", "block", "signal", "valve", "isa"});
  for (int ch : {1, 2})
    for (int rate : {44100, 96000})
      for (int block : {64, 512})
        for (int signal : {kTone, kBursts, kToneFastAttack}) b->Args({ch, rate, block, signal, 1, kBestPath});
  // Valve against Clear on the same material.
  for (int ch : {1, 2}) b->Args({ch, 44100, 512, kTone, 0, kBestPath});
  // Silence; short blocks (below 8 frames the per-frame loop runs) and the host's usual sizes.
  for (int ch : {1, 2}) b->Args({ch, 48000, 256, kSilence, 1, kBestPath});
  for (int block : {1, 2, 3, 4, 5, 6, 7, 8, 64, 256}) b->Args({2, 48000, block, kBursts, 1, kBestPath});
  for (int block : {1, 2, 3, 4, 5, 6, 7, 8}) b->Args({1, 48000, block, kBursts, 1, kBestPath});
  // Each instruction set on the bursts and on the worst case: SSE2 (0), AVX2 (1), AVX-512 (2).
  for (int path : {0, 1, 2})
    for (int signal : {kBursts, kToneFastAttack}) b->Args({2, 48000, 256, signal, 1, path});
}

}  // namespace

BENCHMARK(BM_ProcessBlock)->Apply(Args);

namespace {

// High quality against off: the same steady tone in mode Valve, mono and stereo, 44.1 kHz, blocks of 512.
// Args: channels, design (0: off; 1: on, the engine's design; 2..: on, other designs measured against it,
// see kBenchDesigns: {stages, antiderivative, first stopband dB, later stopbands dB}), instruction set.
const qrv::ValveStageDesign kBenchDesigns[] = {
    qrv::kValveStageDesign, qrv::kValveStageDesign, {3, true, 100.0, 100.0}, {3, false, 100.0, 100.0},
    {3, true, 80.0, 80.0},  {3, false, 80.0, 80.0},  {3, true, 70.0, 60.0},   {2, true, 70.0, 60.0},
    {2, true, 80.0, 80.0},  {3, false, 70.0, 50.0}, {3, false, 70.0, 40.0},
};

void BM_HighQuality(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const int design = static_cast<int>(state.range(1));
  const int path = static_cast<int>(state.range(2));
  constexpr double rate = 44100.0;
  constexpr int block = 512;
  qrv::warmGlowEffect fx;
  if (path != kBestPath && !fx.ForceInstructionSet(static_cast<qrv::InstructionSet>(path))) {
    state.SkipWithError("this CPU lacks the instruction set: path not run");
    return;
  }
  fx.SetSampleRate(rate);
  fx.SetParameter(qrv::kSlotProcess, 1.0);
  fx.SetParameter(qrv::kSlotCompression, 0.7);
  if (design > 0) {
    fx.SetValveStageDesign(kBenchDesigns[design]);
    fx.SetHighQuality(true);
  }
  fx.Reset();
  const std::size_t frames = static_cast<std::size_t>(rate);
  const std::vector<float> left = MakeSignal(kTone, rate, frames), right = MakeSignal(kTone, rate, frames);
  std::vector<float> outL(block), outR(block);
  std::size_t pos = 0;
  for (auto _ : state) {
    if (pos + block > frames) pos = 0;
    const float* in[2] = {left.data() + pos, channels == 2 ? right.data() + pos : nullptr};
    float* out[2] = {outL.data(), channels == 2 ? outR.data() : nullptr};
    fx.ProcessBlock(in, out, block);
    benchmark::DoNotOptimize(outL.data());
    pos += block;
  }
  const double framesDone = static_cast<double>(state.iterations()) * block;
  state.counters["ns_per_frame"] =
      benchmark::Counter(framesDone * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_HighQuality)
    ->ArgNames({"ch", "design", "isa"})
    ->ArgsProduct({{1, 2}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {kBestPath}})
    ->ArgsProduct({{2}, {0, 1}, {0, 1, 2}});
