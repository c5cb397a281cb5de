// The editor of the real module (dlopen'ed from the bundle) in the simulator's host window on a private
// X server: the sizes the host is told and the windows take, the zoom the host hands over stored like
// the user's, views attached, detached and GUI objects recreated many times (run under the address
// sanitizer), and the GUI timer beside the audio and direct-data threads (run under ThreadSanitizer).
#include <memory>
#include <thread>
#include <vector>

#include "format/aax/host/AAXHostView.h"
#include "tests/aax/AaxTestSupport.h"

// Last: Xlib's macros would break the headers above.
#include "tests/support/SharedXServer.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace qrv::aaxtest {
namespace {

// The test's own connection to the shared server, to look at the windows from outside.
class XLook {
 public:
  XLook() : d_(XOpenDisplay(test::SharedXServer().name().c_str())) {}
  ~XLook() {
    if (d_) XCloseDisplay(d_);
  }
  bool ok() const { return d_ != nullptr; }
  Display* display() const { return d_; }
  std::pair<int, int> Size(unsigned long w) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d_, w, &a)) return {0, 0};
    return {a.width, a.height};
  }
  std::vector<unsigned long> Children(unsigned long w) {
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(d_, w, &root, &parent, &children, &count);
    std::vector<unsigned long> out(children, children + count);
    if (children) XFree(children);
    return out;
  }

 private:
  Display* d_;
};

// The pixels of a window's rectangle (left, top, right, bottom), as the screen shows them.
std::vector<unsigned long> Grab(Display* d, unsigned long w, int left, int top, int right, int bottom) {
  std::vector<unsigned long> out;
  XImage* image = XGetImage(d, w, left, top, static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top),
                            AllPlanes, ZPixmap);
  if (image == nullptr) return out;
  for (int y = 0; y < bottom - top; ++y)
    for (int x = 0; x < right - left; ++x) out.push_back(XGetPixel(image, x, y));
  XDestroyImage(image);
  return out;
}

// Runs the host's main loop until done() holds, for at most five seconds.
template <class Done>
bool RunHost(aaxhost::HostView& view, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < deadline) view.Step(10);
  return done();
}

int32_t StoredZoom(aaxhost::Instance& i) {
  aaxhost::Instance::Chunk chunk;
  if (i.SaveChunk(AAX_FourCC("All "), &chunk) != AAX_SUCCESS || chunk.data.size() < 8 + 37) return -1;
  // The host-state blob follows the 8-byte prefix; its zoom in percent sits at offset 33.
  const uint8_t* z = chunk.data.data() + 8 + 33;
  return static_cast<int32_t>(z[0] | z[1] << 8 | z[2] << 16 | static_cast<uint32_t>(z[3]) << 24);
}

TEST(AaxEditorModule, TheHostWindowTakesTheViewSizeAtOpenAndAtEveryZoom) {
  QRV_ASSERT_X_SERVER();
  XLook x;
  ASSERT_TRUE(x.ok());
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  RegisteredHost host(std::move(loaded));
  auto instance = host->CreateInstance(1, 48000.0f);
  ASSERT_NE(instance, nullptr);
  double w = 0.0, h = 0.0;
  ASSERT_EQ(instance->gui()->GetViewSize(&w, &h), AAX_SUCCESS);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(400.0, 353.0));

  aaxhost::HostView view(*instance);
  std::string error;
  ASSERT_TRUE(view.Open(&error)) << error;
  // The plug-in's window is the host window's only child, of the same size.
  ASSERT_TRUE(RunHost(view, [&] { return x.Children(view.window()).size() == 1; }));
  const unsigned long editor = x.Children(view.window())[0];
  EXPECT_TRUE(RunHost(view, [&] { return x.Size(editor) == std::make_pair(400, 353); })) << x.Size(editor).first;
  EXPECT_EQ(x.Size(view.window()), std::make_pair(400, 353));
  EXPECT_EQ(StoredZoom(*instance), 100);

  for (const auto& [factor, size] : std::vector<std::pair<double, std::pair<int, int>>>{
           {2.0, {800, 706}}, {0.5, {280, 247}}, {5.0, {1600, 1412}}, {1.0, {400, 353}}}) {
    ASSERT_EQ(instance->NotifyView(AAX_eNotificationEvent_ViewZoom, &factor, sizeof factor), AAX_SUCCESS);
    EXPECT_EQ(instance->LastViewSize(), std::make_pair(double(size.first), double(size.second))) << factor;
    EXPECT_TRUE(RunHost(view, [&] { return x.Size(editor) == size && x.Size(view.window()) == size; }))
        << factor << ": " << x.Size(editor).first << "x" << x.Size(editor).second;
    // Stored as the user's choice: it travels in the instance's state.
    EXPECT_EQ(StoredZoom(*instance), static_cast<int32_t>(std::min(std::max(factor, 0.7), 4.0) * 100));
  }
  view.Step(0);
  EXPECT_GT(view.wakeups(), 0);
  // Detached, the plug-in's window goes and leaves the host's empty.
  ASSERT_EQ(instance->DetachView(), AAX_SUCCESS);
  EXPECT_TRUE(RunHost(view, [&] { return x.Children(view.window()).empty(); }));
  view.Close();
}

// An instance of the real module with its view open in a host window, painted.
struct OpenEditor {
  explicit OpenEditor(RegisteredHost& host, double ratio = -1.0) : instance(host->CreateInstance(1, 48000.0f)) {
    if (instance == nullptr) return;
    if (ratio >= 0.0) instance->SetParameter("2: Ratio", ratio);
    view = std::make_unique<aaxhost::HostView>(*instance);
    std::string error;
    opened = view->Open(&error);
    // Some timer ticks, so that the window is drawn and the needle settles.
    for (int k = 0; opened && k < 20; ++k) {
      view->Step(10);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~OpenEditor() { view.reset(); }
  std::unique_ptr<aaxhost::Instance> instance;
  std::unique_ptr<aaxhost::HostView> view;
  bool opened = false;
};

// The real module with one editor open, and the test's own look at the screen.
class AaxEditorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    QRV_ASSERT_X_SERVER();
    ASSERT_TRUE(x.ok());
    auto loaded = LoadBundleHost();
    ASSERT_NE(loaded, nullptr);
    host = std::make_unique<RegisteredHost>(std::move(loaded));
    editor = std::make_unique<OpenEditor>(*host);
    ASSERT_TRUE(editor->opened);
  }
  void TearDown() override {
    editor.reset();
    host.reset();
  }
  XLook x;
  std::unique_ptr<RegisteredHost> host;
  std::unique_ptr<OpenEditor> editor;
};

TEST_F(AaxEditorWindow, RealClicksOnHostParametersReachTheHostWithTheirModifiers) {
  OpenEditor& e = *editor;
  Display* d = x.display();
  struct Case {
    std::vector<KeySym> keys;
    unsigned button;
    uint32_t modifiers;
  };
  const Case cases[] = {{{}, 1, 0},
                        {{XK_Control_L}, 1, AAX_eModifiers_Control},
                        {{XK_Super_L}, 1, AAX_eModifiers_Command},
                        {{XK_Alt_L}, 1, AAX_eModifiers_Option},
                        {{}, 3, AAX_eModifiers_SecondaryButton},
                        {{XK_Shift_L}, 1, 0},
                        {{XK_Alt_L, XK_Shift_L}, 3, AAX_eModifiers_Option | AAX_eModifiers_SecondaryButton},
                        {{XK_Control_L, XK_Alt_L, XK_Super_L}, 3, 14}};
  int rootX = 0, rootY = 0;
  Window child;
  // The Time knob's centre.
  XTranslateCoordinates(d, e.view->window(), DefaultRootWindow(d), 85, 78 + 200, &rootX, &rootY, &child);
  for (const Case& c : cases) {
    const std::size_t before = e.instance->mouseDowns().size();
    XTestFakeMotionEvent(d, -1, rootX, rootY, CurrentTime);
    for (KeySym k : c.keys) XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), True, CurrentTime);
    XTestFakeButtonEvent(d, c.button, True, CurrentTime);
    XTestFakeButtonEvent(d, c.button, False, CurrentTime);
    XFlush(d);
    // The keys stay down until the window has seen the press: the chord is read from the keyboard.
    const bool offered = RunHost(*e.view, [&] { return e.instance->mouseDowns().size() > before; });
    for (KeySym k : c.keys) XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), False, CurrentTime);
    XFlush(d);
    ASSERT_TRUE(offered) << c.button;
    EXPECT_EQ(e.instance->mouseDowns().back().id, "4: Time");
    EXPECT_EQ(e.instance->mouseDowns().back().modifiers, c.modifiers) << c.button << " with " << c.keys.size();
  }
}

TEST_F(AaxEditorWindow, HostUpdatesAndMetersShowInTheWindowButNoValueNever) {
  OpenEditor& e = *editor;
  Display* d = x.display();
  // The Ratio knob and the meter, in window pixels at zoom 1.
  auto ratio = [&](OpenEditor& which) { return Grab(d, which.view->window(), 50, 78 + 50, 120, 78 + 120); };
  auto meter = [&] { return Grab(d, e.view->window(), 150, 78 + 66, 250, 78 + 109); };

  const auto knobBefore = ratio(e);
  ASSERT_FALSE(knobBefore.empty());
  e.instance->SetParameter("2: Ratio", 1.0);
  EXPECT_TRUE(RunHost(*e.view, [&] { return ratio(e) != knobBefore; }));
  // The same frame as a window opened on that value (which lies over the first while it is open).
  std::vector<unsigned long> expected;
  {
    OpenEditor other(*host, 1.0);
    ASSERT_TRUE(other.opened);
    expected = ratio(other);
  }
  EXPECT_TRUE(RunHost(*e.view, [&] { return ratio(e) == expected; }));

  // Meter readings: 0 settles the needle; the "no value" mark must leave it there.
  const AAX_CTypeID grMeter = AAX_FourCC("mtcA");
  ASSERT_TRUE(e.instance->PresentMeterValue(grMeter, 0.1f));
  std::vector<unsigned long> rest;
  ASSERT_TRUE(RunHost(*e.view, [&] {
    const auto a = meter();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    e.view->Step(0);
    rest = meter();
    return a == rest;
  }));
  ASSERT_TRUE(e.instance->PresentMeterValue(grMeter, 1.2345679f));
  const int wakeups = e.view->wakeups();
  RunHost(*e.view, [&] { return e.view->wakeups() >= wakeups + 15; });
  EXPECT_EQ(meter(), rest);
  // A full reading moves it.
  ASSERT_TRUE(e.instance->PresentMeterValue(grMeter, 1.1f));
  EXPECT_TRUE(RunHost(*e.view, [&] { return meter() != rest; }));
}

// The configuration's High quality row switches the instance and reaches the host as a touched edit
// of its parameter; the row shows what the instance holds when the menu opens again.
TEST_F(AaxEditorWindow, HighQualityInTheConfigurationReachesTheHost) {
  OpenEditor& e = *editor;
  Display* d = x.display();
  auto click = [&](int wx, int wy) {
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(d, e.view->window(), DefaultRootWindow(d), wx, wy, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, -1, rootX, rootY, CurrentTime);
    XFlush(d);
    for (int k = 0; k < 3; ++k) e.view->Step(10);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XFlush(d);
    for (int k = 0; k < 3; ++k) e.view->Step(10);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XFlush(d);
    for (int k = 0; k < 5; ++k) e.view->Step(10);
  };
  auto touchedRequests = [&](double value) {
    int n = 0;
    for (const auto& r : e.instance->setRequests()) n += r.id == kHighQualityID && r.value == value && r.touched;
    return n;
  };
  e.instance->ClearLogs();
  // The configuration button at the bar's right end; in its menu, "On" and "Off" of the High quality row
  // (the row 195 to 223 below the 78-pixel bar, its choices 90 wide from 140 and 234).
  click(386, 13);
  click(279, 78 + 209);
  EXPECT_TRUE(RunHost(*e.view, [&] { return e.instance->ParameterValue(kHighQualityID) == 1.0; }));
  EXPECT_EQ(touchedRequests(1.0), 1);
  click(185, 78 + 209);
  EXPECT_TRUE(RunHost(*e.view, [&] { return e.instance->ParameterValue(kHighQualityID) == 0.0; }));
  EXPECT_EQ(touchedRequests(0.0), 1);
}

TEST(AaxEditorModule, ViewsAndGuiObjectsComeAndGoManyTimes) {
  QRV_ASSERT_X_SERVER();
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  RegisteredHost host(std::move(loaded));
  std::vector<std::unique_ptr<aaxhost::Instance>> instances;
  for (std::size_t c : {0u, 1u}) {
    instances.push_back(host->CreateInstance(c, 44100.0f));
    ASSERT_NE(instances.back(), nullptr);
  }
  for (int cycle = 0; cycle < 12; ++cycle) {
    for (auto& instance : instances) {
      {
        aaxhost::HostView view(*instance);
        std::string error;
        ASSERT_TRUE(view.Open(&error)) << error;
        for (int k = 0; k < 3; ++k) view.Step(0);
        // A preset load through the parameter hub reaches the open window.
        instance->SetParameter("4: Time", (cycle % 10) / 10.0);
        instance->GuiTimerWakeup();
      }
      // Closed: the hub must no longer reach the window, and a new GUI object starts afresh.
      instance->SetParameter("4: Time", 0.5);
      if (cycle % 3 == 2) {
        instance->DestroyGUI();
        instance->SetParameter("2: Ratio", (cycle % 7) / 7.0);
        ASSERT_TRUE(instance->CreateGUI());
      }
      double w = 0.0, h = 0.0;
      ASSERT_EQ(instance->gui()->GetViewSize(&w, &h), AAX_SUCCESS);
      EXPECT_EQ(std::make_pair(w, h), std::make_pair(400.0, 353.0));
    }
  }
  instances.clear();
  EXPECT_EQ(host->CanUnloadNow(), 1);  // only the host-services proxy of start-up is left
}

// The GUI timer on the main thread (meters read, the window's timers and events run) while the audio
// thread renders and the direct-data timer thread wakes the instance up. Run under ThreadSanitizer.
TEST(AaxThreads, GuiTimerRunsBesideAudioAndDirectData) {
  QRV_ASSERT_X_SERVER();
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  RegisteredHost host(std::move(loaded));
  auto instance = host->CreateInstance(1, 48000.0f);
  ASSERT_NE(instance, nullptr);
  aaxhost::HostView view(*instance);
  std::string error;
  ASSERT_TRUE(view.Open(&error)) << error;
  const std::size_t frames = 128 * 400;
  auto in = TestSignal(2, frames, 48000.0f);
  std::vector<std::vector<float>> out;
  instance->StartTimer(std::chrono::microseconds(300));
  instance->BeginRender(in, out, {128, 256});
  int wakeups = 0;
  for (int k = 0; instance->BlocksRendered() < 200 || wakeups < 20; ++k) {
    instance->Touch("5: Compression");
    instance->SetParameter("5: Compression", (k % 50) / 50.0);
    instance->Release("5: Compression");
    ASSERT_EQ(instance->GuiTimerWakeup(), AAX_SUCCESS);
    ++wakeups;
    view.Step(0);
  }
  instance->WaitRender();
  instance->StopTimer();
  view.Close();
  EXPECT_EQ(instance->BlocksRendered(), 267);  // 51200 frames in blocks of 128 and 256
}

}  // namespace
}  // namespace qrv::aaxtest
