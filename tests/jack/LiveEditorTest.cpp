// `warmglow live` with its editor on a private Xvfb server: the window of its own, named after the
// client and of the editor's size; a real drag (XTest) on the Output knob that the audio follows; and the
// window manager's close, which ends the command with the state saved.
#include <signal.h>
#include <time.h>

#include "tests/jack/LiveFixture.h"
#include "tests/support/PrivateXServer.h"

// Xlib's macros would break headers included after it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace qrv::jack::test {
namespace {

const qrv::test::PrivateXServer& XServer() {
  static qrv::test::PrivateXServer server;
  // An X server resets when its last client leaves: one connection stays open throughout.
  static Display* const keeper = server.ok() ? XOpenDisplay(server.name().c_str()) : nullptr;
  (void)keeper;
  return server;
}

// The top-level window whose name is title, or 0.
Window FindWindow(Display* display, const std::string& title) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

void Pause(long ms) {
  timespec t{0, ms * 1'000'000};
  nanosleep(&t, nullptr);
}

class LiveEditor : public LiveFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(XServer().ok()) << "the editor test needs Xvfb: " << XServer().reason();
    setenv("DISPLAY", XServer().name().c_str(), 1);
    display_ = XOpenDisplay(XServer().name().c_str());
    ASSERT_NE(display_, nullptr);
    LiveFixture::SetUp();
  }
  void TearDown() override {
    LiveFixture::TearDown();
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Display* display_ = nullptr;
};

TEST_F(LiveEditor, ADragOnTheOutputKnobReachesTheAudioAndClosingTheWindowSavesTheState) {
  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  const auto state = dir_ / "editor.state";
  std::vector<std::string> args = {"--name", "glow", "--state", state.string()};
  for (const auto& a : Wiring(client, 2)) args.push_back(a);
  auto live = Start(args);
  ASSERT_TRUE(WaitConnected(client)) << qrv::test::FileBytes(scratch_ / "1" / "stderr.txt");
  Window window = 0;
  ASSERT_TRUE(WaitFor([&] { return (window = FindWindow(display_, "QRV warmGlow - glow")) != 0; }));
  XWindowAttributes attributes{};
  ASSERT_TRUE(WaitFor([&] {
    return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
  }));
  EXPECT_EQ(attributes.width, 400);
  EXPECT_EQ(attributes.height, 353);

  const Channels input = Programme(2);
  const Channels before = client.PlayAndRecord(input, 4096);
  ASSERT_FALSE(before.empty());

  // A real drag upwards on the Output knob (panel 315, 200; the preset bar's 78 pixels above it).
  int rootX = 0, rootY = 0;
  Window child = 0;
  ASSERT_TRUE(XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 315, 278, &rootX, &rootY, &child));
  XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
  XSync(display_, False);
  Pause(150);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XSync(display_, False);
  Pause(150);
  for (int dy = 10; dy <= 80; dy += 10) {
    XTestFakeMotionEvent(display_, -1, rootX, rootY - dy, CurrentTime);
    XSync(display_, False);
    Pause(80);
  }
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XSync(display_, False);
  Pause(300);

  // The window handles the drag in its own time: a loaded machine may need a take or two.
  Channels after;
  double gain = 0.0;
  for (int take = 0; take < 5 && gain <= 1.2; ++take) {
    after = client.PlayAndRecord(input, 4096);
    ASSERT_FALSE(after.empty());
    gain = Peak(after) / Peak(before);
  }
  std::cout << "output peak before the drag " << Peak(before) << ", after " << Peak(after) << "\n";
  EXPECT_GT(gain, 1.2);

  // The window manager's close button: WM_DELETE_WINDOW.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  close.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &close);
  XFlush(display_);
  const auto r = live->Wait(std::chrono::seconds(30));
  EXPECT_EQ(r.status, 0) << r.err;
  const auto slots = ReadSlots(state);
  ASSERT_TRUE(slots);
  EXPECT_GT(slots->a, GetParameterDefault(kSlotOutput) + 0.05);
}

}  // namespace
}  // namespace qrv::jack::test
