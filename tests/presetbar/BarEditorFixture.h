// The editor window as a host opens it, with the real preset bar serving a real PresetManager: the
// settings store on a temporary file (behind a write counter), the user preset folder in a
// temporary profile, a manual clock for the manager and the shared idle timer, a recording shell
// and message box, and a hub that carries values between the manager, the window and the "host"
// as the host binding does. Input goes through the frame's own event dispatch at device pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gui/backend/Resources.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/editor/IdleUpdateHandler.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "gui/toolkit/HeadlessFrame.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "presets/PresetManager.h"
#include "presets/QRVMasterController.h"
#include "presets/SettingsStore.h"
#include "product/warmGlowEditor.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/support/TempDir.h"

namespace qrv::test {

// Counts the writes of each value name.
class CountingRegistry final : public platform::Registry {
 public:
  explicit CountingRegistry(const std::filesystem::path& file) : file_(file) {}
  std::optional<platform::RegistryValue> Read(std::string_view key, std::string_view name) override {
    return file_.Read(key, name);
  }
  bool Write(std::string_view key, std::string_view name, const platform::RegistryValue& value) override {
    ++writes[std::string(name)];
    return file_.Write(key, name, value);
  }
  bool Remove(std::string_view key, std::string_view name) override { return file_.Remove(key, name); }
  std::string LastFailure() const override { return file_.LastFailure(); }
  std::map<std::string, int> writes;

 private:
  platform::FileRegistry file_;
};

class RecordingMessageBox final : public platform::MessageBox {
 public:
  int Show(const std::string& text, const std::string& caption) override {
    shown.emplace_back(text, caption);
    return 1;
  }
  std::vector<std::pair<std::string, std::string>> shown;
};

// Answers when the test says so.
class FakeSaveDialog final : public Quarrytone::PresetSaveDialog {
 public:
  bool open(const Quarrytone::PresetSaveRequest& request, Done done) override {
    if (done_) return false;
    requests.push_back(request);
    done_ = std::move(done);
    return true;
  }
  bool isOpen() const override { return static_cast<bool>(done_); }
  void cancel() override { answer(std::nullopt); }
  void answer(std::optional<std::filesystem::path> path) {
    Done d = std::move(done_);
    done_ = nullptr;
    if (d) d(std::move(path));
  }
  std::vector<Quarrytone::PresetSaveRequest> requests;

 private:
  Done done_;
};

class BarWindow;

// The host binding in small: values the manager applies reach the "host" and come back to the
// window; the window's knob edits reach the manager and come back too.
class BarHub final : public QRVMasterController {
 public:
  void SetParameter(int index, double value) override;
  int32_t WriteSetting(int index, double value) override { return settings::WriteNumber(index, value) ? 0 : -1; }
  int32_t ReadSetting(int index, double* value) override {
    return value && settings::ReadNumber(index, *value) ? 0 : -1;
  }
  bool SendMessageToProcessor(const void*, std::size_t) override { return true; }
  PresetManager* GetPresetManager() override { return manager; }
  QRVBaseParametersController* GetParametersController() override { return nullptr; }
  intptr_t ForwardToEditor(int32_t, intptr_t, void*) override { return 0; }

  std::map<int, double> host;  // the host's parameter values by slot
  PresetManager* manager = nullptr;
  BarWindow* window = nullptr;
};

class BarWindow final : public Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar {
 public:
  explicit BarWindow(BarHub* hub)
      : QRVVSTGUIEditorWrapperV4_PresetBar(&CreateProductEditor, Quarrytone::PresetBarEditorFactory()), hub_(hub) {}
  void parameterChanged(int index, double value) override {
    if (index >= 0 && index < static_cast<int>(kPresetValueCount)) {
      hub_->host[index] = value;
      if (hub_->manager) hub_->manager->ParameterChanged(index, value);
    }
    valueChangedByController(index, value);
  }

 private:
  BarHub* hub_;
};

inline void BarHub::SetParameter(int index, double value) {
  if (index >= 0 && index < static_cast<int>(kPresetValueCount)) host[index] = value;
  if (window) window->valueChangedByController(index, value);
}

// One instance: hub, manager and window.
struct BarInstance {
  BarInstance() : manager(&hub), window(&hub) {
    hub.manager = &manager;
    hub.window = &window;
    window.attachPresetBar(nullptr, &manager, &hub);
  }
  ~BarInstance() {
    window.close();
    hub.window = nullptr;
  }
  Quarrytone::QRVPresetBarEditor& bar() { return *static_cast<Quarrytone::QRVPresetBarEditor*>(window.presetBar()); }
  tk::HeadlessPlatformFrame& headless() { return *tk::Headless(window.frame()); }

  BarHub hub;
  PresetManager manager;
  BarWindow window;
};

class BarEditorFixture : public testing::Test {
 protected:
  static constexpr double kBar = Quarrytone::layout::kBarHeight;

  BarEditorFixture() : registry(dir / "settings.reg") {
    const char* profile = std::getenv("USERPROFILE");
    if (profile) savedProfile_ = profile;
    std::filesystem::create_directories(dir / "profile");
    setenv("USERPROFILE", (dir / "profile").c_str(), 1);
    platform::Services s;
    s.registry = &registry;
    s.clock = &clock;
    s.shell = &shell;
    s.messageBox = &messageBox;
    services.emplace(s);
    settings::SetProcessHints(1);
    settings::SetProcessZoom(100);
    tk::RunLoop::instance().useManualClock(true);
    Quarrytone::InitializeResources();
  }
  ~BarEditorFixture() override {
    second.reset();
    first.reset();
    tk::RunLoop::instance().useManualClock(false);
    services.reset();
    if (savedProfile_)
      setenv("USERPROFILE", savedProfile_->c_str(), 1);
    else
      unsetenv("USERPROFILE");
  }

  // Opens the first instance's window (headless) at the zoom the settings hold.
  void Open() {
    first.emplace();
    ASSERT_TRUE(first->window.open(tk::PlatformType::Headless));
    ASSERT_NE(first->window.presetBar(), nullptr);
  }
  // Puts a stand-in behind the bar's save dialog.
  FakeSaveDialog* UseFakeDialog() {
    auto d = std::make_unique<FakeSaveDialog>();
    FakeSaveDialog* raw = d.get();
    bar().setSaveDialog(std::move(d));
    return raw;
  }

  BarInstance& one() { return *first; }
  Quarrytone::QRVPresetBarEditor& bar() { return first->bar(); }
  PresetManager& pm() { return first->manager; }
  BarWindow& window() { return first->window; }
  tk::HeadlessPlatformFrame& headless() { return first->headless(); }
  std::filesystem::path UserFolder() { return std::filesystem::path(first->manager.library().userFolder()); }

  // ---- input at window layout points
  tk::Point Device(QRVPoint p) {
    const double z = window().effectiveZoom();
    return tk::Point{p.x * z, p.y * z};
  }
  static QRVPoint Centre(const QRVRect& r) { return QRVPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  // A bar control's centre in window points (the favourites sit in their own container).
  QRVPoint At(QRVBaseControl* c) {
    QRVRect r = c->getViewSize();
    if (c->getContainer() == bar().favouritesContainer()) {
      const QRVRect f = bar().favouritesContainer()->getViewSize();
      r = QRVRect{r.left + f.left, r.top + f.top, r.right + f.left, r.bottom + f.top};
    }
    return Centre(r);
  }
  void Press(QRVPoint p, int buttons = kQRVLButton) { headless().mouseDown(Device(p), buttons); }
  void Move(QRVPoint p, int buttons = 0) { headless().mouseMove(Device(p), buttons); }
  void Release(QRVPoint p, int buttons = kQRVLButton) { headless().mouseUp(Device(p), buttons); }
  void Click(QRVPoint p, int buttons = kQRVLButton) {
    Move(p);
    Press(p, buttons);
    Release(p, buttons);
  }
  void Click(QRVBaseControl* c, int buttons = kQRVLButton) { Click(At(c), buttons); }
  void Key(tk::VirtualKey key) { headless().keyDown(tk::KeyEvent{0, key, 0}); }
  // Ticks of the shared 33 ms timer, with the system tick count moving along.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      clock.Advance(Quarrytone::IdleUpdate_QRV_Handler::kIntervalMs);
      tk::RunLoop::instance().advance(Quarrytone::IdleUpdate_QRV_Handler::kIntervalMs);
    }
  }
  std::string Label() { return bar().nameControl()->getName(); }
  bool Shown(QRVViewContainer* overlay) { return overlay && window().containsOverlay(overlay); }

  TempDir dir;
  CountingRegistry registry;
  platform::ManualClock clock;
  RecordingShell shell;
  RecordingMessageBox messageBox;
  std::optional<platform::ScopedServices> services;
  std::optional<BarInstance> first, second;

 private:
  std::optional<std::string> savedProfile_;
};

}  // namespace qrv::test
