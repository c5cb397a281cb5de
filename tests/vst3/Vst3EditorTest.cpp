// The editor of the built module on a private Xvfb server, inside a parent window of the test's own, as
// a VST3 host embeds it (X11EmbedWindowID): its size before and after it opens at every content scale,
// its idle on the host's run loop (the X connection's descriptor and the 33 ms timer), a real drag on a
// knob (XTest) whose beginEdit, performEdit and endEdit reach the host's component handler, a resize asked
// of the plug frame, High quality switched in the configuration, and a view attached twice or removed
// unattached refused.
#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "tests/vst3/Vst3TestHost.h"

// Xlib's macros would break headers included after it.
#include "tests/support/SharedXServer.h"
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

// fontconfig keeps its caches for the process's lifetime; LeakSanitizer reads suppressions only from the
// program, not from the module that loads fontconfig.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace qrv::vst3::test {
namespace {

void Pause() {
  timespec t{0, 20'000'000};
  nanosleep(&t, nullptr);
}

class Vst3Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    QRV_ASSERT_X_SERVER();
    display_ = XOpenDisplay(qrv::test::SharedXServer().name().c_str());
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  unsigned long Parent(int width, int height) {
    const Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, 0, 0);
    XMapWindow(display_, w);
    XSync(display_, False);
    return w;
  }
  // The host's run loop for a while: its timers and the registered descriptors.
  static void Idle(const Host& host, int ticks = 10) {
    for (int i = 0; i < ticks; ++i) {
      for (const auto& t : std::vector(host.timers)) t.first->onTimer();
      for (const auto& h : std::vector(host.handlers)) h.first->onFDIsSet(h.second);
      Pause();
    }
  }
  static Ref<IPlugView> View(Instance& instance) {
    return Ref<IPlugView>::Adopt(instance.controller()->createView(kEditor));
  }
  static std::pair<int, int> Size(IPlugView* view) {
    ViewRect r{};
    EXPECT_EQ(view->getSize(&r), kResultOk);
    return {r.right - r.left, r.bottom - r.top};
  }
  // The size of the one X window the editor made inside parent, as the server has it.
  std::pair<int, int> ChildSize(unsigned long parent) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, parent, &root, &up, &children, &count) || count != 1) return {-1, -1};
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, children[0], &attributes);
    XFree(children);
    return {attributes.width, attributes.height};
  }
  // A real click (XTest) at a point of the parent, with the host idling around it.
  void Click(const Host& host, unsigned long parent, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child;
    ASSERT_TRUE(XTranslateCoordinates(display_, parent, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child));
    XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
    XSync(display_, False);
    Idle(host, 3);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XSync(display_, False);
    Idle(host, 3);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
    Idle(host, 5);
  }
  static void* AsParent(unsigned long window) { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

  Display* display_ = nullptr;
};

TEST_F(Vst3Editor, OpensInTheParentAndADragOnAKnobReachesTheHost) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance instance(module, host, kStereo);
  EXPECT_EQ(instance.controller()->createView("other"), nullptr);
  Ref<IPlugView> view = View(instance);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
  EXPECT_NE(view->isPlatformTypeSupported("HWND"), kResultTrue);
  EXPECT_EQ(view->canResize(), kResultFalse);
  Ref<IPlugViewContentScaleSupport> scale = QueryInterface<IPlugViewContentScaleSupport>(view.get());
  ASSERT_TRUE(scale);
  ASSERT_EQ(scale->setContentScaleFactor(1.0f), kResultOk);
  ASSERT_EQ(view->setFrame(&host), kResultOk);
  const auto [width, height] = Size(view.get());
  EXPECT_EQ(width, 400);
  EXPECT_EQ(height, 353);
  // Removed before it was attached: refused.
  EXPECT_NE(view->removed(), kResultOk);

  const unsigned long parent = Parent(width, height);
  EXPECT_NE(view->attached(AsParent(parent), "HWND"), kResultOk);
  ASSERT_EQ(view->attached(AsParent(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_NE(view->attached(AsParent(parent), kPlatformTypeX11EmbedWindowID), kResultOk);  // twice
  ASSERT_EQ(host.timers.size(), 1u);
  EXPECT_EQ(host.timers[0].second, 33u);
  ASSERT_EQ(host.handlers.size(), 1u);
  EXPECT_GE(host.handlers[0].second, 0);
  Idle(host, 20);
  EXPECT_EQ(ChildSize(parent), (std::pair<int, int>{width, height}));

  // A real drag upwards on the Output knob (panel 315, 200; the preset bar's 78 pixels above it).
  int rootX = 0, rootY = 0;
  Window child;
  ASSERT_TRUE(XTranslateCoordinates(display_, parent, DefaultRootWindow(display_), 315, 278, &rootX, &rootY, &child));
  XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
  XSync(display_, False);
  Idle(host, 3);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XSync(display_, False);
  Idle(host, 3);
  for (int dy = 10; dy <= 60; dy += 10) {
    XTestFakeMotionEvent(display_, -1, rootX, rootY - dy, CurrentTime);
    XSync(display_, False);
    Idle(host, 2);
  }
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XSync(display_, False);
  Idle(host, 3);

  ASSERT_GE(host.edits.size(), 3u);
  EXPECT_EQ(host.edits.front().kind, 'b');
  EXPECT_EQ(host.edits.front().id, 5u);
  EXPECT_EQ(host.edits.back().kind, 'e');
  EXPECT_EQ(host.edits.back().id, 5u);
  double last = -1.0;
  for (const Host::Edit& e : host.edits) {
    if (e.kind == 'v') {
      EXPECT_EQ(e.id, 5u);
      last = e.value;
    }
  }
  ASSERT_GE(last, 0.0);
  EXPECT_GT(last, 4.5 / 30.0);  // louder than the default
  EXPECT_DOUBLE_EQ(instance.controller()->getParamNormalized(5), last);

  // A value the host sets moves the knob without coming back as an edit.
  host.edits.clear();
  ASSERT_EQ(instance.controller()->setParamNormalized(5, 20.0 / 30.0), kResultOk);
  Idle(host, 3);
  EXPECT_TRUE(host.edits.empty());

  // The host's scale zooms the open window: its size follows, asked of the plug frame.
  ASSERT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
  Idle(host, 3);
  EXPECT_EQ(Size(view.get()), (std::pair<int, int>{800, 706}));
  ASSERT_FALSE(host.resizes.empty());
  EXPECT_EQ(host.resizes.back(), (std::pair<int, int>{800, 706}));
  EXPECT_EQ(ChildSize(parent), (std::pair<int, int>{800, 706}));

  ASSERT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(host.timers.empty());
  EXPECT_TRUE(host.handlers.empty());
  EXPECT_NE(view->removed(), kResultOk);  // twice
  view->setFrame(nullptr);
  view.Reset();
  XDestroyWindow(display_, parent);
}

// A host sizes its parent from getSize before it attaches: at every common content scale the window then
// has exactly that size.
TEST_F(Vst3Editor, TheSizeBeforeItOpensIsTheSizeOfItsWindowAtEveryScale) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  struct Case {
    float scale;
    int width, height;
  };
  for (const Case c : {Case{1.0f, 400, 353}, Case{1.25f, 500, 441}, Case{1.5f, 600, 529}, Case{1.75f, 700, 617},
                       Case{2.0f, 800, 706}}) {
    SCOPED_TRACE(c.scale);
    Host host;
    Instance instance(module, host, kMono);
    Ref<IPlugView> view = View(instance);
    ASSERT_TRUE(view);
    ASSERT_EQ(QueryInterface<IPlugViewContentScaleSupport>(view.get())->setContentScaleFactor(c.scale), kResultOk);
    view->setFrame(&host);
    const auto before = Size(view.get());
    EXPECT_EQ(before, (std::pair<int, int>{c.width, c.height}));
    ViewRect asked{0, 0, 10, 10};
    ASSERT_EQ(view->checkSizeConstraint(&asked), kResultOk);
    EXPECT_EQ((std::pair<int, int>{asked.right, asked.bottom}), before);
    const unsigned long parent = Parent(before.first, before.second);
    ASSERT_EQ(view->attached(AsParent(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
    Idle(host, 3);
    EXPECT_EQ(Size(view.get()), before);
    EXPECT_EQ(ChildSize(parent), before);
    for (const auto& r : host.resizes) EXPECT_EQ(r, before);
    ASSERT_EQ(view->removed(), kResultOk);
    view->setFrame(nullptr);
    XDestroyWindow(display_, parent);
  }
}

// The configuration's High quality row switches the instance, reaches the host as an edit of its
// parameter and asks for the restart its latency needs.
TEST_F(Vst3Editor, HighQualityInTheConfigurationReachesTheHost) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance instance(module, host, kStereo);
  ASSERT_TRUE(instance.Activate(48000.0, 256));
  Ref<IPlugView> view = View(instance);
  ASSERT_TRUE(view);
  ASSERT_EQ(view->setFrame(&host), kResultOk);
  const unsigned long parent = Parent(400, 353);
  ASSERT_EQ(view->attached(AsParent(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
  Idle(host, 20);
  host.edits.clear();
  host.restarts.clear();
  // The configuration button at the bar's right end; in its menu, "On" and "Off" of the High quality row
  // (the row 195 to 223 below the 78-pixel bar, its choices 90 wide from 140 and 234).
  Click(host, parent, 386, 13);
  Click(host, parent, 279, 78 + 209);
  std::vector<Host::Edit> expected = {{'b', kHighQualityId, 0.0}, {'v', kHighQualityId, 1.0}, {'e', kHighQualityId, 0.0}};
  auto same = [](const std::vector<Host::Edit>& a, const std::vector<Host::Edit>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i].kind != b[i].kind || a[i].id != b[i].id || (a[i].kind == 'v' && a[i].value != b[i].value)) return false;
    }
    return true;
  };
  EXPECT_TRUE(same(host.edits, expected)) << host.edits.size() << " edits";
  EXPECT_EQ(instance.controller()->getParamNormalized(kHighQualityId), 1.0);
  EXPECT_EQ(instance.processor()->getLatencySamples(), 61u);
  EXPECT_EQ(std::count(host.restarts.begin(), host.restarts.end(), static_cast<int32_t>(kLatencyChanged)), 1);

  host.edits.clear();
  Click(host, parent, 185, 78 + 209);
  expected[1].value = 0.0;
  EXPECT_TRUE(same(host.edits, expected)) << host.edits.size() << " edits";
  EXPECT_EQ(instance.controller()->getParamNormalized(kHighQualityId), 0.0);
  EXPECT_EQ(instance.processor()->getLatencySamples(), 0u);
  EXPECT_EQ(std::count(host.restarts.begin(), host.restarts.end(), static_cast<int32_t>(kLatencyChanged)), 2);

  ASSERT_EQ(view->removed(), kResultOk);
  view->setFrame(nullptr);
  view.Reset();
  instance.Deactivate();
  XDestroyWindow(display_, parent);
}

// A frame handed over only after attaching still idles the window; released while attached, the view
// lets go of the run loop.
TEST_F(Vst3Editor, ReleasedWhileAttachedLetsGoOfTheRunLoop) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  Host host;
  Instance instance(module, host, kStereo);
  Ref<IPlugView> view = View(instance);
  const unsigned long parent = Parent(400, 353);
  ASSERT_EQ(view->attached(AsParent(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_TRUE(host.timers.empty());
  view->setFrame(&host);
  EXPECT_EQ(host.timers.size(), 1u);
  EXPECT_EQ(host.handlers.size(), 1u);
  view->setFrame(nullptr);
  view.Reset();
  EXPECT_TRUE(host.timers.empty());
  EXPECT_TRUE(host.handlers.empty());
  XDestroyWindow(display_, parent);
}

}  // namespace
}  // namespace qrv::vst3::test
