// The LV2 UI as a host loads it: dlopen, instantiation inside a parent window on a private Xvfb
// server, the idle interface driving it, real pointer events through XTest, port events from the host.
// What the host sees is only what the UI writes, touches and asks for.
#include <dirent.h>
#include <unistd.h>

#include <string_view>

#include "tests/lv2ui/UiFixture.h"

// Address-sanitized builds carry LeakSanitizer, which can be asked for a report at any point.
#if defined(__SANITIZE_ADDRESS__)
#define QRV_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define QRV_LEAK_CHECKER 1
#endif
#endif
#ifdef QRV_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

namespace qrv::lv2::test {
namespace {

// The process's open sockets: its connections to the X server among them.
int OpenSockets() {
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return -1;
  while (const dirent* e = readdir(fds)) {
    char target[64] = {};
    const std::string link = std::string("/proc/self/fd/") + e->d_name;
    if (readlink(link.c_str(), target, sizeof target - 1) > 0 && std::string_view(target).starts_with("socket:"))
      ++count;
  }
  closedir(fds);
  return count;
}

TEST_F(Lv2Ui, OpensInsideTheParentAtTheEditorsSizeAndAsksTheHostForIt) {
  Open();
  ASSERT_TRUE(ui->ok());
  EXPECT_EQ(Children(), std::vector<Window>{ui->widget()});
  const std::pair<int, int> editorSize{static_cast<int>(kEditorWidth), static_cast<int>(kEditorHeight + kBar)};
  EXPECT_TRUE(Pump([&] { return WidgetSize() == editorSize; })) << WidgetSize().first << "x" << WidgetSize().second;
  ASSERT_FALSE(ui->sizes.empty());
  EXPECT_EQ(ui->sizes.back(), editorSize);
  EXPECT_EQ(ui->Idle(), 0);
  EXPECT_TRUE(ui->events.empty()) << "opening writes no port";
}

TEST_F(Lv2Ui, TheHostsScaleFactorIsTheStartingZoomUnlessAZoomIsStored) {
  Open({.scaleFactor = 2.0f});
  ASSERT_TRUE(ui->ok());
  EXPECT_TRUE(Pump([&] { return WidgetSize() == std::make_pair(800, 706); }));
  ASSERT_FALSE(ui->sizes.empty());
  EXPECT_EQ(ui->sizes.back(), std::make_pair(800, 706));
  ui.reset();

  // A scale factor beyond the zoom range is limited as every zoom is.
  Open({.scaleFactor = 9.0f});
  ASSERT_FALSE(ui->sizes.empty());
  EXPECT_EQ(ui->sizes.back(), std::make_pair(1600, 1412));
  ui.reset();

  ASSERT_TRUE(settings::SaveZoom(150));
  Open({.scaleFactor = 2.0f});
  ASSERT_FALSE(ui->sizes.empty());
  EXPECT_EQ(ui->sizes.back(), std::make_pair(600, 529));
  EXPECT_TRUE(Pump([&] { return WidgetSize() == std::make_pair(600, 529); }));
}

TEST_F(Lv2Ui, ResizeRequestsFollowTheZoomTheBarSets) {
  Open();
  ASSERT_TRUE(ui->ok());
  const QRVRect z = Layout().zoom;
  ASSERT_GT(z.right, z.left) << "the bar has its zoom percentage";
  Settled(z, 0);
  Pointer((z.left + z.right) / 2, (z.top + z.bottom) / 2);
  // A notch up is 5 % more: the window and the host's size follow, in whole pixels.
  Wheel(true);
  ASSERT_FALSE(ui->sizes.empty());
  EXPECT_EQ(ui->sizes.back(), std::make_pair(420, 370));
  EXPECT_TRUE(Pump([&] { return WidgetSize() == std::make_pair(420, 370); }));
  Wheel(false);
  EXPECT_EQ(ui->sizes.back(), std::make_pair(400, 353));
  EXPECT_TRUE(Pump([&] { return WidgetSize() == std::make_pair(400, 353); }));
}

// Pixels of a window as the X server shows it (the windows inside it included) outside the editor's
// rectangle at the top-left corner that are not the bar's colour; -1 when the window cannot be read.
int StraysAroundTheEditor(Display* display, Window window, int width, int height, std::pair<int, int> editor) {
  XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return -1;
  const QRVColor bar = Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar::kBarBackground;
  auto channel = [](unsigned long pixel, unsigned long mask) {
    return static_cast<int>((pixel & mask) >> __builtin_ctzl(mask));
  };
  int strays = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (x < editor.first && y < editor.second) continue;
      const unsigned long p = XGetPixel(image, x, y);
      if (channel(p, image->red_mask) != bar.red || channel(p, image->green_mask) != bar.green ||
          channel(p, image->blue_mask) != bar.blue)
        ++strays;
    }
  XDestroyImage(image);
  return strays;
}

// A host may give the editor more room than it takes (Ardour's plug-in window is as wide as its
// toolbar) or make the editor's own window larger than the editor: the room around the editor shows
// the bar's colour, not an unpainted strip.
TEST_F(Lv2Ui, RoomAroundTheEditorShowsTheBarsColour) {
  XResizeWindow(display, parent, 504, 500);
  XSync(display, False);
  Open();
  ASSERT_TRUE(ui->ok());
  const std::pair<int, int> editor{static_cast<int>(kEditorWidth), static_cast<int>(kEditorHeight + kBar)};
  ASSERT_TRUE(Pump([&] { return WidgetSize() == editor; }));
  const std::vector<unsigned long> meter = Settled(Layout().meter);
  EXPECT_EQ(StraysAroundTheEditor(display, parent, 504, 500, editor), 0) << "in the host's window";

  // The host sizes the editor's window to all the room it has.
  XResizeWindow(display, ui->widget(), 504, 500);
  XSync(display, False);
  ASSERT_TRUE(Pump([&] { return WidgetSize() == std::make_pair(504, 500); }));
  EXPECT_TRUE(SameLook(Settled(Layout().meter), meter)) << "the editor is drawn as before";
  EXPECT_EQ(StraysAroundTheEditor(display, ui->widget(), 504, 500, editor), 0) << "in the editor's window";
}

TEST_F(Lv2Ui, ARealDragOnAKnobWritesItsPortInPortUnitsInsideATouchBracket) {
  for (bool touch : {true, false}) {
    Open({.touch = touch});
    ASSERT_TRUE(ui->ok());
    const QRVRect k = Layout().compression;
    ASSERT_GT(k.right, k.left) << "the panel has a Compression knob";
    Settled(k);
    const double cx = (k.left + k.right) / 2, cy = (k.top + k.bottom) / 2 + kBar;
    Pointer(cx, cy);
    Button(true);
    for (int dy = 10; dy <= 60; dy += 10) Pointer(cx, cy - dy);
    Button(false);

    std::vector<float> written;
    for (const HostEvent& e : ui->events) {
      if (e.kind == HostEvent::kWrite) {
        EXPECT_EQ(e.port, hostcontrols::kPortCompression);
        written.push_back(e.value);
      }
    }
    ASSERT_GE(written.size(), 2u) << "every move of the drag is written";
    const float start = hostcontrols::DefaultValue(hostcontrols::kControlPorts[hostcontrols::kPortCompression]);
    for (std::size_t i = 0; i < written.size(); ++i) {
      EXPECT_GE(written[i], 0.0f);
      EXPECT_LE(written[i], 10.0f);
      if (i > 0) {
        EXPECT_GE(written[i], written[i - 1]) << "dragging up only raises the value";
      }
    }
    EXPECT_GT(written.back(), start);
    if (touch) {
      ASSERT_GE(ui->events.size(), written.size() + 2);
      EXPECT_EQ(ui->events.front().kind, HostEvent::kGrab);
      EXPECT_EQ(ui->events.front().port, hostcontrols::kPortCompression);
      EXPECT_EQ(ui->events.back().kind, HostEvent::kRelease);
      EXPECT_EQ(ui->events.back().port, hostcontrols::kPortCompression);
    } else {
      EXPECT_EQ(ui->events.size(), written.size()) << "without ui:touch only the writes";
    }
    ui.reset();
  }
}

TEST_F(Lv2Ui, PortEventsMoveTheKnobAndTheDragStartsFromThere) {
  Open();
  ASSERT_TRUE(ui->ok());
  const QRVRect k = Layout().compression;
  const std::vector<unsigned long> atDefault = Settled(k);
  ui->PortEvent(hostcontrols::kPortCompression, 9.0f);
  const std::vector<unsigned long> moved = Settled(k);
  EXPECT_FALSE(SameLook(moved, atDefault));
  ui->PortEvent(hostcontrols::kPortCompression,
                hostcontrols::DefaultValue(hostcontrols::kControlPorts[hostcontrols::kPortCompression]));
  EXPECT_TRUE(SameLook(Settled(k), atDefault));

  // Automation left the knob at 2: a drag continues from 2, not from where the knob was.
  ui->PortEvent(hostcontrols::kPortCompression, 2.0f);
  Settled(k);
  const double cx = (k.left + k.right) / 2, cy = (k.top + k.bottom) / 2 + kBar;
  Pointer(cx, cy);
  Button(true);
  Pointer(cx, cy - 10);
  Button(false);
  float first = -1;
  for (const HostEvent& e : ui->events) {
    if (e.kind == HostEvent::kWrite && first < 0) first = e.value;
  }
  EXPECT_GT(first, 2.0f);
  EXPECT_LT(first, 3.0f);
}

TEST_F(Lv2Ui, TheNeedleFollowsTheGainReductionPort) {
  Open();
  ASSERT_TRUE(ui->ok());
  const QRVRect m = Layout().meter;
  ASSERT_GT(m.right, m.left);
  ui->PortEvent(hostcontrols::kPortGainReduction, 0.0f);
  const std::vector<unsigned long> rest = Settled(m);
  // The host delivers the output port at its own rate; the needle eases between readings.
  auto feed = [&](float db) {
    for (int i = 0; i < 20; ++i) {
      ui->PortEvent(hostcontrols::kPortGainReduction, db);
      PumpFor(std::chrono::milliseconds(30));
    }
    return Settled(m);
  };
  const std::vector<unsigned long> reducing = feed(-12.0f);
  EXPECT_FALSE(SameLook(reducing, rest));
  EXPECT_FALSE(SameLook(feed(-3.0f), reducing));
  EXPECT_TRUE(SameLook(feed(0.0f), rest));
  EXPECT_TRUE(ui->events.empty()) << "an output port is never written";
}

TEST_F(Lv2Ui, OpenAndCloseAgainLeaveNoWindowBehind) {
  for (int cycle = 0; cycle < 3; ++cycle) {
    Open({.scaleFactor = cycle == 1 ? 1.5f : 0.0f});
    ASSERT_TRUE(ui->ok()) << cycle;
    EXPECT_EQ(Children().size(), 1u);
    PumpFor(std::chrono::milliseconds(100));
    ui.reset();
    XSync(display, False);
    EXPECT_TRUE(Children().empty()) << cycle;
  }
}

// A host opens and closes the editor as often as the user asks: every open has its own connection
// to the X server, with cairo's records for it, and a close gives all of it back.
TEST_F(Lv2Ui, OpenAndCloseAgainLeaveNothingAllocated) {
  const int sockets = OpenSockets();
  ASSERT_GT(sockets, 0);
  const QRVRect m = Layout().meter;
  for (int cycle = 0; cycle < 8; ++cycle) {
    Open({.scaleFactor = cycle % 2 == 1 ? 1.5f : 0.0f});
    ASSERT_TRUE(ui->ok()) << cycle;
    EXPECT_EQ(OpenSockets(), sockets + 1) << "the editor's own connection, " << cycle;
    // Repaints of the needle as a running instance brings them.
    for (float db : {-12.0f, -3.0f, 0.0f}) {
      ui->PortEvent(hostcontrols::kPortGainReduction, db);
      Settled(m);
    }
    ui.reset();
    EXPECT_EQ(OpenSockets(), sockets) << "closed with the editor, " << cycle;
  }
#ifdef QRV_LEAK_CHECKER
  // Here rather than at exit, so that the report names this test; it prints what it finds.
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer reported leaks, above";
#endif
}

TEST_F(Lv2Ui, RefusesAForeignPluginAndAHostWithoutWriteFunction) {
  Open({.pluginUri = "urn:example:other"});
  EXPECT_FALSE(ui->ok());
  EXPECT_TRUE(Children().empty());
  LV2UI_Widget widget = nullptr;
  const LV2UI_Descriptor* d = library.descriptor();
  EXPECT_EQ(d->instantiate(d, kPluginUriMono, BundleDir().c_str(), nullptr, nullptr, &widget, nullptr), nullptr);
  EXPECT_EQ(std::string(d->URI), kUiUri);
  // Only the idle interface is offered as extension data.
  EXPECT_NE(d->extension_data(LV2_UI__idleInterface), nullptr);
  EXPECT_EQ(d->extension_data(LV2_UI__resize), nullptr);
}

}  // namespace
}  // namespace qrv::lv2::test
