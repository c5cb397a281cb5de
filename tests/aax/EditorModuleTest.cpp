// The editor of the real module (dlopen'ed from the bundle) in the simulator's host window on a private
// X server: the sizes the host is told and the windows take, the zoom the host hands over stored like
// the user's, views attached, detached and GUI objects recreated many times (run under the address
// sanitizer), and the GUI timer beside the audio and direct-data threads (run under ThreadSanitizer).
#include <memory>
#include <vector>

#include "format/aax/host/AAXHostView.h"
#include "tests/aax/AaxTestSupport.h"
#include "tests/aax/AaxXServer.h"

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>

namespace qrv::aaxtest {
namespace {

// The test's own connection to the shared server, to look at the windows from outside.
class XLook {
 public:
  XLook() : d_(XOpenDisplay(SharedXServer().name().c_str())) {}
  ~XLook() {
    if (d_) XCloseDisplay(d_);
  }
  bool ok() const { return d_ != nullptr; }
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
