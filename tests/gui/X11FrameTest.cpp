// The X11 frame as a child of another process-owned window on a private Xvfb server, driven by
// real pointer events through XTest.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "gui/backend/QRVFrame.h"
#include "gui/backend/Resources.h"
#include "gui/backend/ViewContainerWrapper.h"
#include "gui/controls/QRVControls.h"
#include "gui/toolkit/X11Frame.h"

// Last: Xlib's macros (None, Bool, True) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

extern char** environ;

namespace qrv::test {
namespace {

// Starts Xvfb on a display it picks itself (-displayfd) and stops it at the end.
class PrivateXServer {
 public:
  PrivateXServer() {
    std::string xvfb;
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
      std::string candidate = std::string(dir) + "/Xvfb";
      if (access(candidate.c_str(), X_OK) == 0) {
        xvfb = candidate;
        break;
      }
    }
    if (xvfb.empty()) {
      reason_ = "Xvfb is not installed";
      return;
    }
    int fds[2];
    if (pipe(fds) != 0) {
      reason_ = "no pipe";
      return;
    }
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {xvfb.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&pid_, xvfb.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      pid_ = -1;
      reason_ = "Xvfb could not be started";
      return;
    }
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (poll(&p, 1, 100) <= 0) continue;
      char c;
      ssize_t n = read(fds[0], &c, 1);
      if (n <= 0) break;
      if (c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (number.empty()) {
      reason_ = "Xvfb did not report a display";
      return;
    }
    name_ = ":" + number;
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status;
      waitpid(pid_, &status, 0);
    }
  }
  bool ok() const { return !name_.empty(); }
  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string reason_;
};

struct Listener : tk::IControlListener {
  int changes = 0;
  void valueChanged(tk::Control*) override { ++changes; }
};

TEST(X11Frame, AChildWindowTakesRealPointerDragsOnAKnob) {
  PrivateXServer server;
  if (!server.ok()) GTEST_SKIP() << "no X server for the window test: " << server.reason();
  Display* host = XOpenDisplay(server.name().c_str());
  if (!host) GTEST_SKIP() << "cannot connect to " << server.name();
  int event, error, major, minor;
  if (!XTestQueryExtension(host, &event, &error, &major, &minor)) {
    XCloseDisplay(host);
    GTEST_SKIP() << "the X server has no XTest";
  }
  setenv("DISPLAY", server.name().c_str(), 1);
  Quarrytone::InitializeResources();

  // The host's window, with the editor as its child.
  Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 500, 400, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);

  auto* frame = new Quarrytone::QRVFrame(tk::Rect{0, 0, 400, 353});
  ASSERT_TRUE(frame->open(tk::PlatformType::X11, parent));
  auto* platform = dynamic_cast<tk::X11PlatformFrame*>(frame->platform());
  ASSERT_NE(platform, nullptr);
  Listener listener;
  auto* container = new Quarrytone::CQRVViewContainerWrapper(nullptr, &listener, QRVRect{0, 78, 400, 353});
  container->attachTo(frame);
  auto* knob = new QRVAnimKnob(QRVRect{143, 143, 257, 257}, 5, Quarrytone::GetSharedBitmap(12171), 41, 7);
  container->addControl(knob);
  knob->setValue(0.2);

  Window child = 0;
  Window* children = nullptr;
  unsigned count = 0;
  Window root, parentOfParent;
  XQueryTree(host, parent, &root, &parentOfParent, &children, &count);
  if (count == 1) child = children[0];
  if (children) XFree(children);
  EXPECT_EQ(child, platform->window());

  auto pump = [&](auto done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline) tk::X11PlatformFrame::processEvents(20);
    return done();
  };
  // Let the windows map and draw once.
  for (int i = 0; i < 5; ++i) tk::X11PlatformFrame::processEvents(20);

  int rootX = 0, rootY = 0;
  Window unused;
  XTranslateCoordinates(host, platform->window(), DefaultRootWindow(host), 0, 0, &rootX, &rootY, &unused);
  const int cx = rootX + 200, cy = rootY + 78 + 200;  // knob centre in root coordinates
  XTestFakeMotionEvent(host, -1, cx, cy, CurrentTime);
  XTestFakeButtonEvent(host, 1, True, CurrentTime);
  for (int step = 1; step <= 10; ++step) XTestFakeMotionEvent(host, -1, cx, cy - 15 * step, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(pump([&] { return knob->getValue() > 0.69; }));
  XTestFakeButtonEvent(host, 1, False, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(pump([&] { return !knob->isEditing(); }));
  EXPECT_NEAR(knob->getValue(), 0.7, 1e-9);
  EXPECT_GT(listener.changes, 0);

  // A wheel notch over the knob (button 4) moves it by half the Compression wheel step.
  XTestFakeMotionEvent(host, -1, cx, cy, CurrentTime);
  XTestFakeButtonEvent(host, 4, True, CurrentTime);
  XTestFakeButtonEvent(host, 4, False, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(pump([&] { return knob->getValue() > 0.7 + 1e-9; }));
  EXPECT_NEAR(knob->getValue(), 0.75, 1e-9);

  // Real key events: click into a text field, type, commit with Return.
  auto* edit = new QRVTextEdit(QRVRect{20, 20, 120, 40}, 40);
  edit->setTextToValue([](const char* text, double& value, int&) { value = std::atof(text) / 100.0; });
  container->addControl(edit);
  const int ex = rootX + 70, ey = rootY + 78 + 30;
  XTestFakeMotionEvent(host, -1, ex, ey, CurrentTime);
  XTestFakeButtonEvent(host, 1, True, CurrentTime);
  XTestFakeButtonEvent(host, 1, False, CurrentTime);
  XFlush(host);
  EXPECT_TRUE(pump([&] { return frame->getFocusView() != nullptr; }));
  for (KeySym sym : {XK_6, XK_4, XK_BackSpace, XK_5, XK_Return}) {
    KeyCode code = XKeysymToKeycode(host, sym);
    XTestFakeKeyEvent(host, code, True, CurrentTime);
    XTestFakeKeyEvent(host, code, False, CurrentTime);
  }
  XFlush(host);
  EXPECT_TRUE(pump([&] { return frame->getFocusView() == nullptr; }));
  EXPECT_STREQ(edit->getText(), "65");
  EXPECT_DOUBLE_EQ(edit->getValue(), 0.65);

  frame->removeAll();
  frame->forget();
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
  unsetenv("DISPLAY");
}

}  // namespace
}  // namespace qrv::test
