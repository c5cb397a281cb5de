// The preset browser: opening it from the bar and drawing the grown window, then closing it again;
// and a rescan of "My presets" with and without instances whose positions follow their files.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "gui/backend/Resources.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "gui/toolkit/HeadlessFrame.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "presets/PresetBlob.h"
#include "presets/PresetManager.h"
#include "product/warmGlowEditor.h"

namespace {

namespace fs = std::filesystem;

// A profile folder of its own with `files` user presets spread over four sub-folders, manual clocks
// and a settings store in memory.
struct BrowserEnvironment {
  explicit BrowserEnvironment(int files) {
    char pattern[] = "/tmp/qrv-bench-XXXXXX";
    profile = mkdtemp(pattern);
    setenv("USERPROFILE", profile.c_str(), 1);
    const fs::path folder = fs::path(qrv::UserPresetFolderPath());
    qrv::PresetRecord r;
    for (int i = 0; i < files; ++i) {
      const fs::path dir = i % 5 == 0 ? folder : folder / ("Group " + std::to_string(i % 5));
      fs::create_directories(dir);
      r.SetName("Preset " + std::to_string(i));
      const auto blob = qrv::WriteSinglePresetBlob(r, 0, 100);
      std::ofstream(dir / ("Preset " + std::to_string(i) + ".qrv"), std::ios::binary)
          .write(reinterpret_cast<const char*>(blob.data()), static_cast<std::streamsize>(blob.size()));
    }
    qrv::platform::Services s;
    s.registry = &registry;
    s.clock = &clock;
    services.emplace(s);
    tk::RunLoop::instance().useManualClock(true);
    Quarrytone::InitializeResources();
  }
  ~BrowserEnvironment() {
    tk::RunLoop::instance().useManualClock(false);
    services.reset();
    std::error_code ec;
    fs::remove_all(profile, ec);
  }
  fs::path profile;
  qrv::platform::MemoryRegistry registry;
  qrv::platform::ManualClock clock;
  std::optional<qrv::platform::ScopedServices> services;
};

// A click on the preset name opens the browser (the window grows to 420 x 493 and is drawn); a second
// one closes it (back to 400 x 353, drawn).
void BM_BrowserOpenAndClose(benchmark::State& state) {
  BrowserEnvironment env(40);
  qrv::PresetManager manager(nullptr);
  Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar window(&qrv::CreateProductEditor, Quarrytone::PresetBarEditorFactory());
  window.attachPresetBar(nullptr, &manager, nullptr);
  window.open(tk::PlatformType::Headless);
  auto& bar = *static_cast<Quarrytone::QRVPresetBarEditor*>(window.presetBar());
  tk::HeadlessPlatformFrame* headless = tk::Headless(window.frame());
  headless->render();
  for (auto _ : state) {
    bar.controlEvent(qrv::kTagBarName, 1.0);
    headless->render();
    bar.controlEvent(qrv::kTagBarName, 1.0);
    headless->render();
  }
  window.close();
}
BENCHMARK(BM_BrowserOpenAndClose)->Unit(benchmark::kMillisecond);

// A rescan of a user folder of 200 files; Arg is the number of instances holding a position in "My
// presets" (each with its undo history), which the rescan re-resolves by path.
void BM_RescanUserPresets(benchmark::State& state) {
  BrowserEnvironment env(200);
  std::vector<std::unique_ptr<qrv::PresetManager>> managers;
  managers.push_back(std::make_unique<qrv::PresetManager>(nullptr));
  for (int i = 0; i < state.range(0); ++i) {
    if (i > 0) managers.push_back(std::make_unique<qrv::PresetManager>(nullptr));
    qrv::PresetManager& m = *managers.back();
    m.SetBank(qrv::kBankUser);
    for (int step = 0; step < 30; ++step) m.LoadPosition((step * 7 + i) % 150);
  }
  qrv::PresetLibrary& library = managers.front()->library();
  for (auto _ : state) library.RescanUserPresets();
  state.SetLabel(std::to_string(state.range(0)) + " instances following");
}
BENCHMARK(BM_RescanUserPresets)->Arg(0)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace
