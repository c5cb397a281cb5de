// The editor window: opening it, one idle tick with the needle moving, a full redraw, and the GUI
// thread's share of one core with the window open and a new meter reading at every tick.
#include <benchmark/benchmark.h>
#include <time.h>

#include <optional>

#include "dsp/ParameterSet.h"
#include "gui/backend/Resources.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/editor/IdleUpdateHandler.h"
#include "gui/toolkit/HeadlessFrame.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "product/warmGlowEditor.h"

namespace {

using Window = Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar;
constexpr std::uint32_t kTickMs = Quarrytone::IdleUpdate_QRV_Handler::kIntervalMs;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Manual clocks and a settings store in memory, so that nothing waits and nothing is written.
struct Environment {
  Environment() {
    qrv::platform::Services s;
    s.registry = &registry;
    s.clock = &clock;
    services.emplace(s);
    tk::RunLoop::instance().useManualClock(true);
    Quarrytone::InitializeResources();
  }
  ~Environment() { tk::RunLoop::instance().useManualClock(false); }
  qrv::platform::MemoryRegistry registry;
  qrv::platform::ManualClock clock;
  std::optional<qrv::platform::ScopedServices> services;
};

// Open until the first picture is on the surface: what a user waits for. Cold: the images are decoded
// again first, as at the first open in a process.
void BM_EditorOpen(benchmark::State& state) {
  Environment env;
  const bool cold = state.range(0) != 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      Quarrytone::ShutdownResources();
      Quarrytone::InitializeResources();
      state.ResumeTiming();
    }
    Window window(&qrv::CreateProductEditor);
    window.open(tk::PlatformType::Headless);
    tk::Headless(window.frame())->render();
    state.PauseTiming();
    window.close();
    state.ResumeTiming();
  }
  state.SetLabel(cold ? "first open (images decoded)" : "later opens");
}
BENCHMARK(BM_EditorOpen)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// An open window at a zoom, drawn once.
struct OpenWindow {
  explicit OpenWindow(double percent) : window(&qrv::CreateProductEditor) {
    window.open(tk::PlatformType::Headless);
    window.setZoom(percent / 100.0);
    tk::Headless(window.frame())->render();
  }
  Window window;
};

// One tick of the shared timer with a new reading, then the repaint of what changed.
void TickWithReading(Environment& env, Window& window, int i) {
  window.valueChangedByController(qrv::kSlotGainReduction, 0.5 + 0.4 * ((i % 20) < 10 ? 1 : -1) * (i % 10) / 10.0);
  env.clock.Advance(kTickMs);
  tk::RunLoop::instance().advance(kTickMs);
  window.frame()->idle();
  tk::Headless(window.frame())->render();
}

void BM_IdleTickNeedleMoving(benchmark::State& state) {
  Environment env;
  OpenWindow open(static_cast<double>(state.range(0)));
  int i = 0;
  for (auto _ : state) TickWithReading(env, open.window, i++);
}
BENCHMARK(BM_IdleTickNeedleMoving)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_FullRedraw(benchmark::State& state) {
  Environment env;
  OpenWindow open(static_cast<double>(state.range(0)));
  tk::HeadlessPlatformFrame* headless = tk::Headless(open.window.frame());
  for (auto _ : state) {
    open.window.invalidateAll();
    headless->render();
  }
}
BENCHMARK(BM_FullRedraw)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

// Ten seconds of GUI time (303 ticks, a full redraw among them every 101) on this thread's CPU clock:
// the share of one core the open editor takes.
void BM_GuiThreadLoad(benchmark::State& state) {
  Environment env;
  OpenWindow open(static_cast<double>(state.range(0)));
  constexpr int kTicks = 303;
  double cpu = 0.0;
  int i = 0;
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    for (int t = 0; t < kTicks; ++t) TickWithReading(env, open.window, i++);
    cpu += ThreadCpuSeconds() - start;
  }
  const double guiSeconds = static_cast<double>(state.iterations()) * kTicks * kTickMs / 1000.0;
  state.counters["core_percent"] = 100.0 * cpu / guiSeconds;
}
BENCHMARK(BM_GuiThreadLoad)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
