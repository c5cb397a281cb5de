// The preset bar of the LV2 UI on the instance's own PresetManager, reached through instance-access:
// a plug-in instance loaded by liblilv, its UI loaded beside it as a host does, the host's part
// (port writes into the instance's ports, port events back) played by the test. Without
// instance-access the UI opens, says so once and its bar reaches no presets.
#include <cxxabi.h>
#include <dlfcn.h>
#include <link.h>
#include <lilv/lilv.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <atomic>
#include <future>
#include <thread>
#include <tuple>

#include "dsp/FactoryPresets.h"
#include "presets/PresetBlob.h"
#include "presets/StateChunk.h"
#include "tests/lv2/LilvHost.h"
#include "tests/lv2ui/UiFixture.h"

namespace qrv::lv2::test {
namespace {

constexpr double kRate = 48000.0;

using PortValues = std::array<float, hostcontrols::kControlPorts.size()>;

// The instance's saved state, as the host keeps it: key -> bytes.
struct SavedState {
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> values;
  std::vector<uint32_t> types;
};

const LV2_State_Interface* StateInterface(Instance& instance) {
  return static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance.get(), LV2_STATE__interface));
}

SavedState Save(Instance& instance) {
  SavedState s;
  auto store = [](LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t) {
    auto* state = static_cast<SavedState*>(h);
    const auto* bytes = static_cast<const uint8_t*>(value);
    state->values.emplace_back(key, std::vector<uint8_t>(bytes, bytes + size));
    state->types.push_back(type);
    return LV2_STATE_SUCCESS;
  };
  StateInterface(instance)->save(instance.get()->lv2_handle, store, &s, 0, nullptr);
  return s;
}

LV2_State_Status Restore(Instance& instance, SavedState& s) {
  auto retrieve = [](LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
    auto* state = static_cast<SavedState*>(h);
    for (std::size_t i = 0; i < state->values.size(); ++i) {
      if (state->values[i].first != key) continue;
      *size = state->values[i].second.size();
      *type = state->types[i];
      *flags = 0;
      return state->values[i].second.data();
    }
    return nullptr;
  };
  return StateInterface(instance)->restore(instance.get()->lv2_handle, retrieve, &s, 0, nullptr);
}

// The zoom the saved state carries: the host-state blob's behind the chunk's prefix; 0 when the
// state has no readable chunk.
int32_t SavedZoom(const SavedState& s) {
  const LV2_URID key = World::Get().urids().Map(kStateKeyChunk);
  for (const auto& [k, bytes] : s.values) {
    if (k != key || !HasStateChunkPrefix(bytes)) continue;
    PresetBlobHeader header;
    if (ReadPresetBlobHeader(StateChunkBlob(bytes), header) == BlobStatus::Ok) return header.zoom;
  }
  return 0;
}

bool Contains(const SavedState& s, const std::string& text) {
  for (const auto& [key, bytes] : s.values) {
    if (std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end()) return true;
  }
  return false;
}

// The factory preset whose port values these are; -1 when none.
int FactoryPresetOf(const PortValues& values) {
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    std::array<double, kPresetValueCount> v{};
    GetFactoryPreset(i, v.data(), nullptr, nullptr);
    bool same = true;
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts)
      same = same && hostcontrols::FromNormalised(p, v[p.slot]) == values[p.port];
    if (same) return i;
  }
  return -1;
}

class Lv2UiPresets : public Lv2Ui {
 protected:
  void SetUp() override {
    Lv2Ui::SetUp();
    instance.emplace(hostcontrols::Layout::kStereo, kRate);
    instance->Activate();
    instance->RunBlock(256);
  }
  void TearDown() override {
    Lv2Ui::TearDown();
    instance.reset();
  }
  void OpenWithInstance(UiHost::Options options = {}) {
    options.instance = instance->get()->lv2_handle;
    Open(options);
  }
  // The host's part: the UI's writes since the last call go into the instance's ports, which run a
  // block; returns the ports written, in port units.
  std::vector<HostEvent> Deliver() {
    std::vector<HostEvent> writes;
    for (std::size_t i = delivered; i < ui->events.size(); ++i) {
      const HostEvent& e = ui->events[i];
      if (e.kind != HostEvent::kWrite) continue;
      instance->control(e.port) = e.value;
      writes.push_back(e);
    }
    delivered = ui->events.size();
    instance->RunBlock(256);
    return writes;
  }
  PortValues Ports() {
    PortValues v{};
    for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) v[p.port] = instance->control(p.port);
    return v;
  }
  void ClickCentre(QRVRect r, double dx = 0) { ClickAt((r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2); }
  void NextPreset() { ClickCentre(Layout().nudge, 10); }
  void Undo() { ClickAt(Layout().undoRedo.left + 4, (Layout().undoRedo.top + Layout().undoRedo.bottom) / 2); }

  std::optional<Instance> instance;
  std::size_t delivered = 0;
};

TEST_F(Lv2UiPresets, BarPresetLoadsAndUndoReachTheHostsPorts) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  ASSERT_GT(Layout().nudge.right, Layout().nudge.left) << "the bar has its nudge arrows";
  EXPECT_TRUE(ui->logged.empty()) << "with instance-access there is nothing to say";
  Settled(Layout().name, 0);
  const PortValues before = Ports();

  NextPreset();
  std::vector<HostEvent> writes = Deliver();
  EXPECT_GE(writes.size(), hostcontrols::kControlPorts.size()) << "a preset load writes every control port";
  const int loaded = FactoryPresetOf(Ports());
  EXPECT_GE(loaded, 0) << "the ports hold a factory preset's values";
  EXPECT_NE(Ports(), before);

  // An external change (automation, a generic UI, one of our LV2 presets) marks the preset modified
  // and is an edit the bar can undo.
  const PortValues preset = Ports();
  const std::vector<unsigned long> unmodified = Settled(Layout().name, 0);
  instance->control(hostcontrols::kPortCompression) = 9.5f;
  ui->PortEvent(hostcontrols::kPortCompression, 9.5f);
  const std::vector<unsigned long> modified = Settled(Layout().name, 0);
  EXPECT_FALSE(SameLook(modified, unmodified));
  Undo();
  writes = Deliver();
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(Ports(), preset) << "undo puts the preset's Compression back";

  EXPECT_TRUE(SameLook(Settled(Layout().name, 0), unmodified)) << "the mark goes with the edit";

  // And the preset load itself is undone too.
  Undo();
  Deliver();
  EXPECT_EQ(Ports(), before);
}

TEST_F(Lv2UiPresets, ABSwitchesTheHostsPortsBetweenTheTwoSlots) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  ASSERT_GT(Layout().ab.right, Layout().ab.left);
  Settled(Layout().name, 0);
  const PortValues before = Ports();
  NextPreset();
  Deliver();
  const PortValues a = Ports();
  ASSERT_NE(a, before);
  // B still holds what the instance had; A keeps the loaded preset.
  ClickCentre(Layout().ab);
  Deliver();
  EXPECT_EQ(Ports(), before);
  ClickCentre(Layout().ab);
  Deliver();
  EXPECT_EQ(Ports(), a);
}

// The instance loaded by lilv and its UI loaded beside it with RTLD_LOCAL, as hosts load them, run one
// copy of the bundle's shared library: the process has it loaded once, and the settings and preset code
// either binary calls is that copy's.
TEST_F(Lv2UiPresets, ThePlugInAndItsUiRunOneCopyOfTheSharedLibrary) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  struct Found {
    int core = 0, plugin = 0, ui = 0;
  } found;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* f = static_cast<Found*>(data);
        const std::string name = std::filesystem::path(info->dlpi_name).filename().string();
        f->core += name == QRV_LV2_CORE_BINARY;
        f->plugin += name == QRV_LV2_PLUGIN_BINARY;
        f->ui += name == QRV_LV2_UI_BINARY;
        return 0;
      },
      &found);
  EXPECT_EQ(found.plugin, 1);
  EXPECT_EQ(found.ui, 1);
  EXPECT_EQ(found.core, 1) << "copies of " << QRV_LV2_CORE_BINARY << " in the process";

  // What each binary's own scope binds the settings store's and the preset manager's functions to.
  std::vector<std::string> wanted;
  FILE* nm = popen(("nm -D --defined-only '" + BundleDir() + "/" + QRV_LV2_CORE_BINARY + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(nm, nullptr);
  char line[4096];
  while (std::fgets(line, sizeof line, nm) != nullptr) {
    std::string mangled(line);
    mangled = mangled.substr(mangled.rfind(' ') + 1);
    if (!mangled.empty() && mangled.back() == '\n') mangled.pop_back();
    int status = 0;
    char* name = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
    if (name != nullptr && (std::string(name).starts_with("qrv::settings::ReadNumber(") ||
                            std::string(name).starts_with("qrv::PresetManager::PresetManager("))) {
      wanted.push_back(mangled);
    }
    std::free(name);
  }
  pclose(nm);
  ASSERT_GE(wanted.size(), 2u) << "the shared library exports no settings or preset manager code";
  void* plugin = dlopen((BundleDir() + "/" + QRV_LV2_PLUGIN_BINARY).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  void* uiBinary = dlopen((BundleDir() + "/" + QRV_LV2_UI_BINARY).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(plugin, nullptr);
  ASSERT_NE(uiBinary, nullptr);
  for (const std::string& symbol : wanted) {
    SCOPED_TRACE(symbol);
    void* fromPlugin = dlsym(plugin, symbol.c_str());
    void* fromUi = dlsym(uiBinary, symbol.c_str());
    ASSERT_NE(fromPlugin, nullptr);
    EXPECT_EQ(fromUi, fromPlugin);
    Dl_info info{};
    ASSERT_NE(dladdr(fromPlugin, &info), 0);
    EXPECT_EQ(std::filesystem::path(info.dli_fname).filename().string(), QRV_LV2_CORE_BINARY);
  }
  dlclose(uiBinary);
  dlclose(plugin);
}

// The zoom and hints chosen in the editor are what the store keeps: closing the UI and then the
// instance writes no older copy of the settings back over them.
TEST_F(Lv2UiPresets, TheZoomAndHintsChosenInTheEditorOutliveTheInstance) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  const QRVRect z = Layout().zoom;
  Settled(z, 0);
  Pointer((z.left + z.right) / 2, (z.top + z.bottom) / 2);
  Wheel(true);
  Wheel(true);
  ASSERT_FALSE(ui->sizes.empty());
  EXPECT_EQ(ui->sizes.back(), std::make_pair(440, 388));
  double stored = -1.0;
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingZoom, stored));
  EXPECT_FLOAT_EQ(static_cast<float>(stored), 0.11f) << "the choice is stored when it is made";
  // Hints hidden in the configuration menu (at 110 % now: the layout's points scale).
  auto at110 = [](QRVRect r) { return QRVPoint{(r.left + r.right) / 2 * 1.1, (r.top + r.bottom) / 2 * 1.1}; };
  ASSERT_GT(Layout().hintsHide.right, Layout().hintsHide.left);
  EXPECT_TRUE(Pump([&] { return WidgetSize() == std::make_pair(440, 388); }));
  ClickAt(at110(Layout().config).x, at110(Layout().config).y);
  PumpFor(std::chrono::milliseconds(200));
  ClickAt(at110(Layout().hintsHide).x, at110(Layout().hintsHide).y);
  EXPECT_TRUE(Pump([&] { return settings::ReadNumber(settings::kSettingHints, stored) && stored == 0.0; }))
      << "hints hidden in the menu are stored";
  ui.reset();
  instance.reset();
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingZoom, stored));
  EXPECT_FLOAT_EQ(static_cast<float>(stored), 0.11f) << "closing the instance wrote an older zoom back";
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingHints, stored));
  EXPECT_EQ(stored, 0.0) << "closing the instance wrote older hints back";
}

// The process keeps one zoom, whichever entry point changed it: an instance made after the editor
// changed it takes that zoom, and its session carries it.
TEST_F(Lv2UiPresets, TheZoomChosenInTheEditorIsTheZoomOfTheNextInstance) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  const int32_t before = [] {
    Instance earlier(hostcontrols::Layout::kMono, kRate);
    return SavedZoom(Save(earlier));
  }();
  ASSERT_GT(before, 0) << "the state carries a zoom";
  const QRVRect z = Layout().zoom;
  Settled(z, 0);
  Pointer((z.left + z.right) / 2, (z.top + z.bottom) / 2);
  Wheel(true);
  double stored = -1.0;
  ASSERT_TRUE(settings::ReadNumber(settings::kSettingZoom, stored));
  const int chosen = settings::ZoomPercentFromSetting(stored);
  ASSERT_NE(chosen, before) << "the wheel changed the zoom";
  EXPECT_EQ(SavedZoom(Save(*instance)), chosen) << "the edited instance";

  Instance later(hostcontrols::Layout::kMono, kRate);
  EXPECT_EQ(SavedZoom(Save(later)), chosen) << "an instance made after the change";
}

TEST_F(Lv2UiPresets, TypingRenamesThePresetAndTheSessionKeepsIt) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  Settled(Layout().name, 0);
  ClickCentre(Layout().nameIcon);
  Type("Crunch");
  Key(XK_Return);
  PumpFor(std::chrono::milliseconds(100));
  SavedState saved = Save(*instance);
  EXPECT_TRUE(Contains(saved, "Crunch")) << "the name is the instance's, saved with the session";
  const std::vector<unsigned long> crunch = Settled(Layout().name, 0);

  // Renamed again, then the host restores the session: the bar no longer shows the name it had.
  ClickCentre(Layout().nameIcon);
  Type("Other");
  Key(XK_Return);
  const std::vector<unsigned long> other = Settled(Layout().name, 0);
  EXPECT_FALSE(SameLook(other, crunch));
  EXPECT_TRUE(Contains(Save(*instance), "Other"));
  ASSERT_EQ(Restore(*instance, saved), LV2_STATE_SUCCESS);
  EXPECT_TRUE(Contains(Save(*instance), "Crunch"));
  EXPECT_FALSE(SameLook(Settled(Layout().name, 0), other));
}

TEST_F(Lv2UiPresets, TheBrowserAsksTheHostForItsSize) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  Settled(Layout().name, 0);
  const QRVRect name = Layout().name;
  // The name's text, away from its icon, opens the browser.
  ClickAt(name.right - 10, (name.top + name.bottom) / 2);
  ASSERT_FALSE(ui->sizes.empty());
  const std::pair<int, int> browser{static_cast<int>(kBrowserEditorWidth),
                                    static_cast<int>(kBrowserEditorHeight + kBar)};
  EXPECT_EQ(ui->sizes.back(), browser);
  EXPECT_TRUE(Pump([&] { return WidgetSize() == browser; }));
  ClickAt(name.right - 10, (name.top + name.bottom) / 2);
  EXPECT_EQ(ui->sizes.back(), std::make_pair(400, 353));
}

// A host fits its window to the editor from the size requests and from the window's size hints (suil
// reads them): both follow every size the editor takes, shrinking as well as growing, so that the host
// has no reason to keep a larger window than the editor. The embedded window gives no minimum: suil's
// GTK 2 wrapper would hold the host's window at the first one it reads (lv2ui_suil_gtk2 shows the
// window following).
TEST_F(Lv2UiPresets, ZoomAndBrowserRoundTripsGiveTheHostTheFirstSizeBack) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  auto fits = [&](std::pair<int, int> size) -> testing::AssertionResult {
    if (ui->sizes.empty() || ui->sizes.back() != size)
      return testing::AssertionFailure() << "the last size request is not " << size.first << "x" << size.second;
    const XSizeHints h = SizeHints();
    const long wanted = PMaxSize | PBaseSize;
    if ((h.flags & (wanted | PMinSize)) != wanted) return testing::AssertionFailure() << "size hints flags " << h.flags;
    for (auto [w, hh, what] : {std::tuple{h.max_width, h.max_height, "maximum"},
                               std::tuple{h.base_width, h.base_height, "base"}}) {
      if (std::make_pair(w, hh) != size)
        return testing::AssertionFailure() << what << " size hint " << w << "x" << hh << ", not " << size.first << "x"
                                           << size.second;
    }
    return testing::AssertionSuccess();
  };
  const std::pair<int, int> normal{400, 353}, doubled{800, 706};
  EXPECT_TRUE(fits(normal)) << "opened";

  const QRVRect z = Layout().zoom;
  Settled(z, 0);
  // The percentage stays under the pointer at every zoom: its rectangle grows from the window's corner.
  Pointer((z.left + z.right) / 2, (z.top + z.bottom) / 2);
  for (int notch = 0; notch < 20; ++notch) Wheel(true);
  EXPECT_TRUE(fits(doubled)) << "at 200 %";
  EXPECT_TRUE(Pump([&] { return WidgetSize() == doubled; }));
  for (int notch = 0; notch < 20; ++notch) Wheel(false);
  EXPECT_TRUE(fits(normal)) << "back at 100 %";
  EXPECT_TRUE(Pump([&] { return WidgetSize() == normal; }));

  const QRVRect name = Layout().name;
  ClickAt(name.right - 10, (name.top + name.bottom) / 2);
  EXPECT_TRUE(fits({static_cast<int>(kBrowserEditorWidth), static_cast<int>(kBrowserEditorHeight + kBar)}))
      << "with the browser";
  ClickAt(name.right - 10, (name.top + name.bottom) / 2);
  EXPECT_TRUE(fits(normal)) << "the browser closed";
  EXPECT_TRUE(Pump([&] { return WidgetSize() == normal; }));
}

TEST_F(Lv2UiPresets, WithoutInstanceAccessTheUiOpensSaysSoOnceAndTheBarReachesNoPresets) {
  Open();
  ASSERT_TRUE(ui->ok());
  ASSERT_EQ(ui->logged.size(), 1u);
  EXPECT_NE(ui->logged[0].find("no instance access"), std::string::npos) << ui->logged[0];
  Settled(Layout().name, 0);
  NextPreset();
  Undo();
  EXPECT_TRUE(ui->events.empty()) << "the bar's preset actions do nothing";
  // The panel still works.
  ui->PortEvent(hostcontrols::kPortCompression, 9.0f);
  ui.reset();

  Open();
  ASSERT_TRUE(ui->ok());
  EXPECT_TRUE(ui->logged.empty()) << "said once";
}

// A host may make its port write wait for its own state-save thread, and that save takes the preset
// lock: the UI must hold no lock of the instance's when it calls the host. At each call into the host a
// second thread saves the instance's state, as such a host's save thread would, and the call waits for
// it; a save still waiting after ten seconds waits on a lock the calling thread holds.
TEST_F(Lv2UiPresets, NoCallIntoTheHostIsMadeWhileThePresetLockIsHeld) {
  std::vector<std::future<void>> saves;
  int checked = 0;
  std::vector<std::string> blocked;
  auto check = [&](const char* what) {
    // One proof per action is enough; each costs the timeout.
    if (!blocked.empty() && blocked.back() == what) return;
    ++checked;
    saves.push_back(std::async(std::launch::async, [this] { Save(*instance); }));
    if (saves.back().wait_for(std::chrono::seconds(10)) != std::future_status::ready) blocked.emplace_back(what);
  };
  const char* doing = "opening";
  OpenWithInstance({.onHostCall = [&] { check(doing); }});
  ASSERT_TRUE(ui->ok());
  ASSERT_FALSE(ui->sizes.empty()) << "opening asks the host for the editor's size";
  Settled(Layout().name, 0);

  doing = "a preset load from the bar";
  const std::size_t beforeLoad = ui->events.size();
  NextPreset();
  EXPECT_GE(ui->events.size() - beforeLoad, hostcontrols::kControlPorts.size()) << "the load writes every control port";
  EXPECT_GE(FactoryPresetOf([&] {
              Deliver();
              return Ports();
            }()),
            0)
      << "the writes arrive whole";

  doing = "a knob drag";
  const std::size_t beforeDrag = ui->events.size();
  const QRVRect k = Layout().compression;
  const double cx = (k.left + k.right) / 2, cy = (k.top + k.bottom) / 2 + kBar;
  Pointer(cx, cy);
  Button(true);
  for (int dy = 10; dy <= 40; dy += 10) Pointer(cx, cy - dy);
  Button(false);
  ASSERT_GE(ui->events.size() - beforeDrag, 3u) << "a grab, writes and a release";
  EXPECT_EQ(ui->events[beforeDrag].kind, HostEvent::kGrab);
  EXPECT_EQ(ui->events.back().kind, HostEvent::kRelease);
  for (std::size_t i = beforeDrag + 1; i + 1 < ui->events.size(); ++i) {
    EXPECT_EQ(ui->events[i].kind, HostEvent::kWrite);
    EXPECT_EQ(ui->events[i].port, hostcontrols::kPortCompression);
  }

  doing = "a zoom change";
  const std::size_t beforeZoom = ui->sizes.size();
  const QRVRect z = Layout().zoom;
  Pointer((z.left + z.right) / 2, (z.top + z.bottom) / 2);
  Wheel(true);
  ASSERT_GT(ui->sizes.size(), beforeZoom) << "the zoom asks the host for the new size";
  EXPECT_EQ(ui->sizes.back(), std::make_pair(420, 370));

  ui.reset();
  for (auto& save : saves) save.wait();
  for (const std::string& what : blocked)
    ADD_FAILURE() << "during " << what << ", a call into the host was made while the preset lock was held";
  EXPECT_GT(checked, static_cast<int>(hostcontrols::kControlPorts.size()));
}

// The UI thread loads presets through the bar while the host's audio thread runs the instance and
// another thread of the host saves its state; run under the thread sanitizer (make test-tsan).
TEST_F(Lv2UiPresets, TheBarLoadsPresetsWhileTheAudioThreadRunsAndTheHostSaves) {
  OpenWithInstance();
  ASSERT_TRUE(ui->ok());
  Settled(Layout().name, 0);

  // The host's port buffers are the audio thread's; values cross in atomics.
  std::array<std::atomic<float>, hostcontrols::kControlPorts.size()> pending;
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts)
    pending[p.port].store(instance->control(p.port));
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0}, saves{0};
  std::thread audio([&] {
    while (!stop.load()) {
      for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts)
        instance->control(p.port) = pending[p.port].load();
      instance->RunBlock(64);
      blocks.fetch_add(1);
    }
  });
  std::thread saver([&] {
    while (!stop.load()) {
      Save(*instance);
      saves.fetch_add(1);
      std::this_thread::yield();
    }
  });
  int loads = 0;
  for (int i = 0; i < 8; ++i) {
    NextPreset();
    for (std::size_t k = delivered; k < ui->events.size(); ++k) {
      if (ui->events[k].kind == HostEvent::kWrite) pending[ui->events[k].port].store(ui->events[k].value);
    }
    delivered = ui->events.size();
    ++loads;
  }
  stop.store(true);
  audio.join();
  saver.join();
  EXPECT_EQ(loads, 8);
  EXPECT_GT(blocks.load(), 0);
  EXPECT_GT(saves.load(), 0);
  PortValues last{};
  for (const hostcontrols::ControlPort& p : hostcontrols::kControlPorts) last[p.port] = pending[p.port].load();
  EXPECT_GE(FactoryPresetOf(last), 0) << "the last load's values reached the ports whole";
}

}  // namespace
}  // namespace qrv::lv2::test
