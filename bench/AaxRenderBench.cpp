// Cost of one render call through the AAX module and the host simulator's context, beside the engine
// driven directly: the difference is the binding's per-block overhead (ports, meters, messages).
#include <benchmark/benchmark.h>

#include <cmath>

#include "dsp/ScopedFlushToZero.h"
#include "dsp/warmGlowEffect.h"
#include "format/aax/host/AAXHost.h"

namespace {

constexpr int32_t kBlock = 512;

std::vector<float> Signal() {
  std::vector<float> s(kBlock);
  for (int i = 0; i < kBlock; ++i) s[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.05f * static_cast<float>(i));
  return s;
}

void BM_AaxRenderStereoBlock(benchmark::State& state) {
  std::string error;
  auto module = qrv::aaxhost::Module::Load(QRV_AAX_BUNDLE, &error);
  if (module == nullptr) {
    state.SkipWithError(error.c_str());
    return;
  }
  qrv::aaxhost::Host host(std::move(module));
  host.Startup();
  host.Register();
  {
    auto instance = host.CreateInstance(1, 48000.0f);
    const std::vector<float> in = Signal();
    std::vector<float> out0(kBlock), out1(kBlock);
    const float* ip[2] = {in.data(), in.data()};
    float* op[2] = {out0.data(), out1.data()};
    for (auto _ : state) {
      instance->RenderBlock(ip, op, kBlock);
      benchmark::DoNotOptimize(out1.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
  }
  host.Shutdown();
}
BENCHMARK(BM_AaxRenderStereoBlock);

void BM_EngineStereoBlock(benchmark::State& state) {
  qrv::warmGlowEffect e;
  e.SetSampleRate(48000.0);
  e.Reset();
  const std::vector<float> in = Signal();
  std::vector<float> out0(kBlock), out1(kBlock);
  const float* ip[2] = {in.data(), in.data()};
  float* op[2] = {out0.data(), out1.data()};
  for (auto _ : state) {
    const qrv::ScopedFlushToZero ftz;
    e.ProcessBlock(ip, op, kBlock);
    benchmark::DoNotOptimize(out1.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_EngineStereoBlock);

}  // namespace
