// The editor of the built module on a private Xvfb server, inside a parent window of the test's own, as
// a CLAP host embeds it: its size, its idle on the host's timer and the X connection's descriptor, and a
// real drag on a knob (XTest) whose gesture and values reach the host.
#include <gtest/gtest.h>
#include <time.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/Registry.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

// Xlib's macros would break headers included after it.
#include "tests/support/SharedXServer.h"
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

// fontconfig keeps its caches for the process's lifetime; LeakSanitizer reads suppressions only from the
// program, not from the module that loads fontconfig (gui/toolkit/Resources.cpp says the same for programs
// that link the toolkit).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace qrv::clap::test {
namespace {

void Pause() {
  timespec t{0, 20'000'000};
  nanosleep(&t, nullptr);
}

// Output events a flush hands back.
struct Recorded {
  std::vector<std::pair<uint16_t, clap_id>> events;
  std::vector<double> values;
  static bool Push(const clap_output_events_t* list, const clap_event_header_t* e) {
    auto* self = static_cast<Recorded*>(list->ctx);
    clap_id id = CLAP_INVALID_ID;
    if (e->type == CLAP_EVENT_PARAM_VALUE) {
      const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
      id = v->param_id;
      self->values.push_back(v->value);
    } else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END) {
      id = reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id;
    }
    self->events.emplace_back(e->type, id);
    return true;
  }
};

class ClapEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    QRV_ASSERT_X_SERVER();
    display_ = XOpenDisplay(qrv::test::SharedXServer().name().c_str());
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  unsigned long Parent(unsigned width, unsigned height) {
    const Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, width, height, 0, 0, 0);
    XMapWindow(display_, w);
    XSync(display_, False);
    return w;
  }
  // The host's main loop for a while: timer ticks and the X descriptor.
  void Idle(const clap_plugin_t* p, const Host& host, int ticks = 10) {
    const auto* timer = static_cast<const clap_plugin_timer_support_t*>(p->get_extension(p, CLAP_EXT_TIMER_SUPPORT));
    const auto* fd = static_cast<const clap_plugin_posix_fd_support_t*>(p->get_extension(p, CLAP_EXT_POSIX_FD_SUPPORT));
    for (int i = 0; i < ticks; ++i) {
      for (const auto& t : host.timers) timer->on_timer(p, t.first);
      for (int f : host.fds) fd->on_fd(p, f, CLAP_POSIX_FD_READ);
      Pause();
    }
  }
  Display* display_ = nullptr;
};

TEST_F(ClapEditor, OpensInTheParentAndADragOnAKnobReachesTheHost) {
  Module module;
  Host host;
  Instance instance(module, host, "com.quarry-tone.warmglow.stereo");
  const clap_plugin_t* p = instance.plugin();
  ASSERT_NE(p, nullptr);
  const auto* gui = instance.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_NE(gui, nullptr);
  ASSERT_NE(instance.Extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT), nullptr);
  ASSERT_NE(instance.Extension<clap_plugin_posix_fd_support_t>(CLAP_EXT_POSIX_FD_SUPPORT), nullptr);
  EXPECT_TRUE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, true));
  EXPECT_FALSE(gui->is_api_supported(p, "win32", false));
  ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
  ASSERT_TRUE(gui->set_scale(p, 1.0));
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gui->get_size(p, &width, &height));
  EXPECT_EQ(width, 400u);
  EXPECT_EQ(height, 353u);

  const unsigned long parent = Parent(width, height);
  clap_window_t window{};
  window.api = CLAP_WINDOW_API_X11;
  window.x11 = parent;
  ASSERT_TRUE(gui->set_parent(p, &window));
  ASSERT_TRUE(gui->show(p));
  ASSERT_EQ(host.timers.size(), 1u);
  EXPECT_EQ(host.timers[0].second, 33u);
  ASSERT_EQ(host.fds.size(), 1u);
  EXPECT_GE(host.fds[0], 0);
  Idle(p, host, 20);

  // A real drag upwards on the Output knob (panel 315, 200; the preset bar's 78 pixels above it).
  int rootX = 0, rootY = 0;
  Window child;
  ASSERT_TRUE(XTranslateCoordinates(display_, parent, DefaultRootWindow(display_), 315, 278, &rootX, &rootY, &child));
  XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
  XSync(display_, False);
  Idle(p, host, 3);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XSync(display_, False);
  Idle(p, host, 3);
  for (int dy = 10; dy <= 60; dy += 10) {
    XTestFakeMotionEvent(display_, -1, rootX, rootY - dy, CurrentTime);
    XSync(display_, False);
    Idle(p, host, 2);
  }
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XSync(display_, False);
  Idle(p, host, 3);

  EXPECT_GT(host.flushRequests, 0);
  Recorded recorded;
  const clap_output_events_t out{&recorded, Recorded::Push};
  const EventList none;
  instance.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->flush(p, none.in(), &out);
  ASSERT_GE(recorded.events.size(), 3u);
  EXPECT_EQ(recorded.events.front(), (std::pair<uint16_t, clap_id>{CLAP_EVENT_PARAM_GESTURE_BEGIN, 5}));
  EXPECT_EQ(recorded.events.back(), (std::pair<uint16_t, clap_id>{CLAP_EVENT_PARAM_GESTURE_END, 5}));
  ASSERT_FALSE(recorded.values.empty());
  EXPECT_GT(recorded.values.back(), 4.5);  // louder than the default
  EXPECT_EQ(instance.Value(5), recorded.values.back());

  // A value the host sets moves the knob without coming back as an edit.
  EventList set;
  set.AddValue(0, 5, 20.0);
  instance.Flush(set);
  Idle(p, host, 2);
  Recorded again;
  const clap_output_events_t out2{&again, Recorded::Push};
  instance.Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->flush(p, none.in(), &out2);
  EXPECT_TRUE(again.events.empty());

  gui->destroy(p);
  EXPECT_TRUE(host.timers.empty());
  EXPECT_TRUE(host.fds.empty());
  EXPECT_TRUE(host.logs.empty()) << host.logs.front();
  EXPECT_EQ(host.offMainCalls, 0);
  XDestroyWindow(display_, parent);
}

TEST_F(ClapEditor, WithoutTimerSupportItSaysSoAndIdlesOnTheDescriptor) {
  Module module;
  Host host;
  host.offerTimers = false;
  Instance instance(module, host, "com.quarry-tone.warmglow.mono");
  const clap_plugin_t* p = instance.plugin();
  const auto* gui = instance.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
  const unsigned long parent = Parent(400, 353);
  clap_window_t window{};
  window.api = CLAP_WINDOW_API_X11;
  window.x11 = parent;
  ASSERT_TRUE(gui->set_parent(p, &window));
  EXPECT_TRUE(host.timers.empty());
  EXPECT_EQ(host.fds.size(), 1u);
  ASSERT_EQ(host.logs.size(), 1u);
  EXPECT_NE(host.logs[0].find("timer-support"), std::string::npos) << host.logs[0];
  // Zoom through the host's scale: the size follows and the host is asked to fit it.
  EXPECT_TRUE(gui->set_scale(p, 2.0));
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gui->get_size(p, &width, &height));
  EXPECT_EQ(width, 800u);
  EXPECT_EQ(height, 706u);
  ASSERT_FALSE(host.resizes.empty());
  EXPECT_EQ(host.resizes.back(), (std::pair<uint32_t, uint32_t>{800u, 706u}));
  gui->destroy(p);
  XDestroyWindow(display_, parent);
}

// A host sizes its parent window from get_size before it hands the parent over: at every common display
// scale the editor's window then has exactly that size, whole pixels cut the same way before and after.
TEST_F(ClapEditor, TheSizeItReportsBeforeItOpensIsTheSizeOfItsWindowAtEveryHostScale) {
  Module module;
  struct Case {
    double scale;
    uint32_t width, height;
  };
  for (const Case c : {Case{1.0, 400, 353}, Case{1.25, 500, 441}, Case{1.5, 600, 529}, Case{1.75, 700, 617},
                       Case{2.0, 800, 706}}) {
    SCOPED_TRACE(c.scale);
    Host host;
    Instance instance(module, host, "com.quarry-tone.warmglow.stereo");
    const clap_plugin_t* p = instance.plugin();
    ASSERT_NE(p, nullptr);
    const auto* gui = instance.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(gui->set_scale(p, c.scale));
    uint32_t before = 0, beforeHeight = 0;
    ASSERT_TRUE(gui->get_size(p, &before, &beforeHeight));
    EXPECT_EQ(before, c.width);
    EXPECT_EQ(beforeHeight, c.height);

    const unsigned long parent = Parent(before, beforeHeight);
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = parent;
    ASSERT_TRUE(gui->set_parent(p, &window));
    ASSERT_TRUE(gui->show(p));
    Idle(p, host, 3);
    uint32_t after = 0, afterHeight = 0;
    ASSERT_TRUE(gui->get_size(p, &after, &afterHeight));
    EXPECT_EQ(after, before);
    EXPECT_EQ(afterHeight, beforeHeight);
    // The X window the editor made inside the parent, as the server has it.
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(display_, parent, &root, &up, &children, &count));
    ASSERT_EQ(count, 1u);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display_, children[0], &attributes));
    XFree(children);
    EXPECT_EQ(static_cast<uint32_t>(attributes.width), before);
    EXPECT_EQ(static_cast<uint32_t>(attributes.height), beforeHeight);
    // Nothing asked the host for another size on the way.
    for (const auto& r : host.resizes) EXPECT_EQ(r, (std::pair<uint32_t, uint32_t>{before, beforeHeight}));
    gui->destroy(p);
    XDestroyWindow(display_, parent);
  }
}

// "Manual: Open" in the module as `cmake --install` puts it in place (a system prefix: no settings are
// written), with the real opener and message box: xdg-open and xmessage are scripts of the test's that
// log what they are given.
class ClapInstalledManual : public ClapEditor {
 protected:
  void SetUp() override {
    ClapEditor::SetUp();
    if (HasFatalFailure()) return;
    setenv("HOME", home_.path().c_str(), 1);
    setenv("QRV_CONFIG_DIR", (home_ / "settings").c_str(), 1);
    unsetenv("DESTDIR");
    const std::string install = std::string(CMAKE_COMMAND) + " --install '" + QRV_BUILD_DIR +
                                "' --component clap --prefix '" + prefix_.path().string() + "' >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0) << install;
    Script("xdg-open", "printf '%s\\n' \"$1\" >> '" + Log("opened") + "'\nexit \"$(cat '" + Log("status") +
                           "' 2>/dev/null || echo 0)\"\n");
    Script("xmessage", "printf '%s|' \"$3\" >> '" + Log("messages") + "'\ncat >> '" + Log("messages") +
                           "'\nprintf '\\n' >> '" + Log("messages") + "'\n");
    setenv("PATH", (bin_.path().string() + ":" + std::getenv("PATH")).c_str(), 1);
  }
  void Script(const std::string& name, const std::string& body) {
    const std::filesystem::path path = bin_ / name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }
  std::string Log(const std::string& name) const { return (logs_ / name).string(); }
  std::string Manual() const { return (prefix_ / "share/doc/qrv-warmglow/index.html").string(); }

  // A real click at a window point of the editor in parent.
  void Click(const clap_plugin_t* p, const Host& host, unsigned long parent, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child;
    ASSERT_TRUE(XTranslateCoordinates(display_, parent, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child));
    XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
    XSync(display_, False);
    Idle(p, host, 3);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XSync(display_, False);
    Idle(p, host, 2);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
    Idle(p, host, 3);
  }

  qrv::test::TempDir prefix_, home_, bin_, logs_;
};

TEST_F(ClapInstalledManual, OpensTheManualItsInstallationRecordedOrTheStoredOneAndSaysWhichItTried) {
  const std::filesystem::path module = prefix_ / "lib/clap/QRV warmGlow.clap";
  ASSERT_EQ(qrv::test::FileBytes(module.string() + ".manual"), Manual() + "\n");
  Module installed(module.string());
  ASSERT_TRUE(installed.ok()) << installed.error();
  Host host;
  Instance instance(installed, host, "com.quarry-tone.warmglow.stereo");
  const clap_plugin_t* p = instance.plugin();
  ASSERT_NE(p, nullptr);
  const auto* gui = instance.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
  ASSERT_TRUE(gui->set_scale(p, 1.0));
  const unsigned long parent = Parent(400, 353);
  clap_window_t window{};
  window.api = CLAP_WINDOW_API_X11;
  window.x11 = parent;
  ASSERT_TRUE(gui->set_parent(p, &window));
  ASSERT_TRUE(gui->show(p));
  Idle(p, host, 10);

  // The configuration button at the bar's right end, then the "Open" button of the "Manual:" row (the
  // menu's rows start 78 points down, under the bar).
  Click(p, host, parent, 385, 13);
  Click(p, host, parent, 185, 78 + 65);
  // No path in the settings: the manual of the prefix the module was installed with.
  EXPECT_EQ(qrv::test::FileBytes(Log("opened")), Manual() + "\n");
  EXPECT_EQ(qrv::test::FileBytes(Log("messages")), "");

  // No program to open it with (xdg-open's status 3): the message names the path tried.
  std::ofstream(Log("status")) << "3\n";
  Click(p, host, parent, 185, 78 + 65);
  EXPECT_EQ(qrv::test::FileBytes(Log("messages")),
            "Could not open manual file|Make sure a web browser is installed\n" + Manual() + "\n");

  // A path the settings hold comes first.
  std::ofstream(Log("status")) << "0\n";
  ASSERT_TRUE(qrv::platform::FileRegistry(home_ / "settings" / "settings.reg")
                  .Write("SOFTWARE\\Quarry-tone\\QRVWG1", "ManualPath",
                         qrv::platform::RegistryValue::String("/srv/manuals/warmglow.html")));
  Click(p, host, parent, 185, 78 + 65);
  EXPECT_EQ(qrv::test::FileBytes(Log("opened")), Manual() + "\n" + Manual() + "\n/srv/manuals/warmglow.html\n");

  gui->destroy(p);
  XDestroyWindow(display_, parent);
}

}  // namespace
}  // namespace qrv::clap::test
