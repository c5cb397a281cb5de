// `warmglow live` with its editor on a private Xvfb server: the window of its own, named after the
// client and of the editor's size; a real drag (XTest) on the Output knob that the audio follows; and the
// window manager's close, which ends the command with the state saved.
#include <signal.h>
#include <time.h>

#include "tests/jack/LiveFixture.h"

// Xlib's macros would break headers included after it.
#include "tests/support/SharedXServer.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace qrv::jack::test {
namespace {

void Pause(long ms) {
  timespec t{0, ms * 1'000'000};
  nanosleep(&t, nullptr);
}

class LiveEditor : public LiveFixture {
 protected:
  void SetUp() override {
    const qrv::test::PrivateXServer& server = qrv::test::SharedXServer();
    ASSERT_TRUE(server.ok()) << "the editor test needs Xvfb: " << server.reason();
    display_ = XOpenDisplay(server.name().c_str());
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
  ASSERT_TRUE(
      WaitFor([&] { return (window = qrv::test::FindTopLevelWindow(display_, "QRV warmGlow - glow")) != 0; }));
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

  // The window manager's close button.
  qrv::test::SendWindowClose(display_, window);
  const auto r = live->Wait(std::chrono::seconds(30));
  EXPECT_EQ(r.status, 0) << r.err;
  const auto slots = ReadSlots(state);
  ASSERT_TRUE(slots);
  EXPECT_GT(slots->a, GetParameterDefault(kSlotOutput) + 0.05);
}

// A state saved with High quality on (as the CLAP plug-in saves it) starts the client with it on; the
// configuration menu's row switches it off again: the ports stop reporting the delay, and the state saved
// at the window's close keeps it off.
TEST_F(LiveEditor, TheConfigurationRowSwitchesHighQualityOffAndTheStateKeepsIt) {
  const auto state = dir_ / "editor-hq.state";
  {
    InstanceValues values;
    for (unsigned s = 0; s < kPresetValueCount; ++s) values[s].store(GetParameterDefault(s));
    InstancePresets presets(values);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(presets.SaveStream(bytes, kStateFlagHighQuality));
    WriteBytes(state, std::string(bytes.begin(), bytes.end()));
  }
  TestClient client("tc", 2);
  ASSERT_TRUE(client.ok());
  std::vector<std::string> args = {"--name", "glowhq", "--state", state.string()};
  for (const auto& a : Wiring(client, 2)) args.push_back(a);
  auto live = Start(args);
  ASSERT_TRUE(WaitConnected(client)) << qrv::test::FileBytes(scratch_ / "1" / "stderr.txt");
  ASSERT_TRUE(WaitFor([&] { return ReportedLatency(client.get(), "glowhq") == 61; }));
  Window window = 0;
  ASSERT_TRUE(
      WaitFor([&] { return (window = qrv::test::FindTopLevelWindow(display_, "QRV warmGlow - glowhq")) != 0; }));
  XWindowAttributes attributes{};
  ASSERT_TRUE(WaitFor([&] {
    return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
  }));
  auto click = [&](int x, int y) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
    XSync(display_, False);
    Pause(150);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XSync(display_, False);
    Pause(100);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
    Pause(300);
  };
  // The configuration button at the bar's right end, then "Off" in the High quality row (195 to 223
  // below the 78-pixel bar, its choices 90 wide from 140 and 234).
  click(386, 13);
  click(185, 78 + 209);
  EXPECT_TRUE(WaitFor([&] { return ReportedLatency(client.get(), "glowhq") == 0; }))
      << ReportedLatency(client.get(), "glowhq");

  qrv::test::SendWindowClose(display_, window);
  const auto r = live->Wait(std::chrono::seconds(30));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadStateFlags(state), std::optional<uint32_t>(0u));
}

}  // namespace
}  // namespace qrv::jack::test
