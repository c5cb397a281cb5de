// The LV2 inline display: one picture at the sizes a mixer strip asks for, on the host's GUI thread,
// and the audio thread's share of it (publishing the reading, deciding on a redraw).
#include <benchmark/benchmark.h>

#include <cmath>

#include "format/lv2/Lv2InlineDisplay.h"

namespace {

void BM_InlineDisplayRender(benchmark::State& state) {
  qrv::lv2::Lv2InlineDisplay display(nullptr);
  const auto width = static_cast<uint32_t>(state.range(0));
  const auto height = static_cast<uint32_t>(state.range(1));
  double reading = 0.0;
  for (auto _ : state) {
    reading = reading > 0.9 ? 0.0 : reading + 0.01;
    display.Publish(reading);
    benchmark::DoNotOptimize(display.Render(width, height));
  }
}
BENCHMARK(BM_InlineDisplayRender)->Args({200, 100})->Args({80, 40});

void BM_InlineDisplayPublish(benchmark::State& state) {
  int draws = 0;
  qrv::lv2::InlineDisplayQueue queue{&draws, [](void* h) { ++*static_cast<int*>(h); }};
  qrv::lv2::Lv2InlineDisplay display(&queue);
  double phase = 0.0;
  for (auto _ : state) {
    phase += 0.001;
    display.Publish(0.5 + 0.4 * std::sin(phase));
  }
  benchmark::DoNotOptimize(draws);
}
BENCHMARK(BM_InlineDisplayPublish);

}  // namespace
