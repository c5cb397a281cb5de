// `aaxhost edit` as a user runs it, on a private X server: the host window at the editor's size, a real
// click (XTest) on the plug-in's name bringing up the about box (seen in the window's pixels) and taking
// the keyboard focus, a real drag on a knob printed by --log, a clean end on SIGTERM, and the preset bar
// worked with real clicks and keys.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/ParameterSet.h"
#include "presets/PresetRecord.h"
#include "tests/aax/AaxTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/WavFile.h"

// Last: Xlib's macros would break the headers above.
#include "tests/support/SharedXServer.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

extern char** environ;

namespace qrv::aaxtest {
namespace {

// aaxhost edit in a process of its own, its standard output read as it comes.
class EditProcess {
 public:
  explicit EditProcess(const std::vector<std::string>& extra) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<std::string> args = {AAXHOST_EXE, "edit"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawn(&pid_, AAXHOST_EXE, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
  }
  ~EditProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }
  bool running() const { return pid_ > 0; }
  // Whatever arrived on standard output so far.
  const std::string& Output() {
    char buffer[4096];
    for (ssize_t n; (n = read(out_, buffer, sizeof buffer)) > 0;) text_.append(buffer, static_cast<std::size_t>(n));
    return text_;
  }
  // The exit status once it ends by itself or after the signal (0: none), -1 if it does not end within
  // five seconds or ends otherwise.
  int Terminate(int signal = SIGTERM) {
    if (signal != 0) kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      Output();
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        Output();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      poll(nullptr, 0, 20);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string text_;
};

template <class Done>
bool WaitFor(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < deadline) poll(nullptr, 0, 20);
  return done();
}

struct Pixels {
  int width = 0, height = 0;
  std::vector<unsigned long> values;
  // Fraction of the pixels in rows [top, bottom) that differ from other's.
  double Differs(const Pixels& other, int top, int bottom) const {
    if (other.width != width || other.height != height || bottom <= top) return 1.0;
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < width; ++x)
        n += values[static_cast<std::size_t>(y * width + x)] != other.values[static_cast<std::size_t>(y * width + x)];
    return static_cast<double>(n) / (static_cast<double>(width) * (bottom - top));
  }
};

Pixels Capture(Display* d, Window w) {
  Pixels p;
  XWindowAttributes a{};
  // An image of a window that is not (yet) viewable is an X error, which would end the test program.
  if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) return p;
  XImage* image = XGetImage(d, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes,
                            ZPixmap);
  if (image == nullptr) return p;
  p.width = a.width;
  p.height = a.height;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) p.values.push_back(XGetPixel(image, x, y));
  XDestroyImage(image);
  return p;
}

// The host's top-level window, or 0.
Window FindHostWindow(Display* d) { return test::FindTopLevelWindow(d, "QRV warmGlow"); }

void Press(Display* d, Window w, int x, int y) {
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rx, &ry, &child);
  XTestFakeMotionEvent(d, -1, rx, ry, CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XFlush(d);
}

void Release(Display* d) {
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XFlush(d);
}

// A real drag upwards from (x, y), 10 pixels a step, 40 ms apart.
void DragUp(Display* d, Window w, int x, int y, int steps) {
  Press(d, w, x, y);
  for (int step = 1; step <= steps; ++step) {
    poll(nullptr, 0, 40);
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y - 10 * step, &rx, &ry, &child);
    XTestFakeMotionEvent(d, -1, rx, ry, CurrentTime);
    XFlush(d);
  }
  poll(nullptr, 0, 40);
  Release(d);
}

TEST(AaxHostEdit, ShowsTheEditorAndAnswersRealClicksAndDrags) {
  QRV_ASSERT_X_SERVER();
  Display* d = XOpenDisplay(test::SharedXServer().name().c_str());
  ASSERT_NE(d, nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  ASSERT_TRUE(XTestQueryExtension(d, &event, &error, &major, &minor)) << "the X server has no XTest";

  EditProcess edit({"--log"});
  ASSERT_TRUE(edit.running());
  Window host = 0;
  ASSERT_TRUE(WaitFor([&] { return (host = FindHostWindow(d)) != 0; })) << "no host window appeared";
  auto size = [&](Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(d, w, &a);
    return std::make_pair(a.width, a.height);
  };
  EXPECT_EQ(size(host), std::make_pair(400, 353));
  // The editor's window inside it, painted.
  Pixels before;
  ASSERT_TRUE(WaitFor([&] {
    before = Capture(d, host);
    return before.width == 400 && before.Differs(Pixels{400, 353, std::vector<unsigned long>(400 * 353, 0)}, 78, 353) > 0.5;
  })) << "the panel was not drawn";

  // A real click on the name: the about box covers the panel.
  Press(d, host, 200, 78 + 25);
  Release(d);
  EXPECT_TRUE(WaitFor([&] { return Capture(d, host).Differs(before, 78, 353) > 0.3; })) << "no about box";
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  EXPECT_EQ(focus, host) << "the clicked window did not take the keyboard focus";
  // A click on the about box (off its link) takes it away again.
  Press(d, host, 30, 78 + 250);
  Release(d);
  EXPECT_TRUE(WaitFor([&] { return Capture(d, host).Differs(before, 78, 353) < 0.01; })) << "the about box stays";

  // A real drag upwards on the Compression knob.
  const std::string logged = edit.Output();
  DragUp(d, host, 200, 78 + 200, 8);
  EXPECT_TRUE(WaitFor([&] { return edit.Output().find("5: Compression=") != std::string::npos; }))
      << "stdout: " << edit.Output();
  EXPECT_EQ(edit.Terminate(), 0);

  // Every line is ID=VALUE with an ID as describe shows it; the drag raised Compression step by step.
  const std::set<std::string> ids(kHostParameterIDs.begin(), kHostParameterIDs.end());
  std::istringstream lines(edit.Output());
  const std::regex line("(.+)=(-?[0-9.]+(e[-+][0-9]+)?)");
  std::vector<double> compression;
  for (std::string text; std::getline(lines, text);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, line)) << text;
    EXPECT_TRUE(ids.count(m[1].str())) << text;
    if (m[1].str() == "5: Compression") compression.push_back(std::stod(m[2].str()));
  }
  ASSERT_FALSE(compression.empty());
  EXPECT_GT(compression.back(), compression.front() - 1e-9);
  EXPECT_GT(compression.back(), 0.5);
  EXPECT_EQ(logged.find("5: Compression="), std::string::npos);  // nothing before the drag
  XCloseDisplay(d);
}

TEST(AaxHostEdit, LoopsTheInputInRealTimeSoTheNeedleMoves) {
  QRV_ASSERT_X_SERVER();
  Display* d = XOpenDisplay(test::SharedXServer().name().c_str());
  ASSERT_NE(d, nullptr);
  test::TempDir dir;
  const std::string in = (dir.path() / "bursts.wav").string();
  // Two seconds of loud and quiet bursts, looped: the gain reduction keeps changing.
  ASSERT_TRUE(test::WriteWav(in, TestSignal(2, 96000, 48000.0f), 48000));
  EditProcess edit({in});
  Window host = 0;
  ASSERT_TRUE(WaitFor([&] { return (host = FindHostWindow(d)) != 0; }));
  // The meter, below the 78-point bar.
  auto meter = [&] {
    const Pixels all = Capture(d, host);
    Pixels m{100, 43, {}};
    for (int y = 78 + 66; y < 78 + 109 && all.width == 400; ++y)
      for (int x = 150; x < 250; ++x) m.values.push_back(all.values[static_cast<std::size_t>(y * 400 + x)]);
    return m;
  };
  // Past the first settling of the needle, it keeps moving with the bursts (in silence it stands).
  poll(nullptr, 0, 3000);
  std::vector<Pixels> seen;
  for (int k = 0; k < 20; ++k, poll(nullptr, 0, 100)) {
    const Pixels now = meter();
    bool known = false;
    for (const Pixels& p : seen) known = known || now.Differs(p, 0, 43) == 0.0;
    if (!known) seen.push_back(now);
  }
  EXPECT_GE(seen.size(), 3u) << "the needle stands still";
  EXPECT_EQ(edit.Terminate(), 0);
  XCloseDisplay(d);
}

TEST(AaxHostEdit, EndsCleanlyWhenTheWindowIsClosedOrOnSigint) {
  QRV_ASSERT_X_SERVER();
  Display* d = XOpenDisplay(test::SharedXServer().name().c_str());
  ASSERT_NE(d, nullptr);
  {
    EditProcess edit({"--zoom", "150"});
    Window host = 0;
    ASSERT_TRUE(WaitFor([&] { return (host = FindHostWindow(d)) != 0; }));
    auto size = [&] {
      XWindowAttributes a{};
      XGetWindowAttributes(d, host, &a);
      return std::make_pair(a.width, a.height);
    };
    EXPECT_TRUE(WaitFor([&] { return size() == std::make_pair(600, 529); })) << size().first << "x" << size().second;
    // What a window manager sends for its close button.
    test::SendWindowClose(d, host);
    EXPECT_EQ(edit.Terminate(0), 0);
    EXPECT_EQ(edit.Output(), "");  // without --log nothing goes to standard output
  }
  {
    EditProcess edit({});
    ASSERT_TRUE(WaitFor([&] { return FindHostWindow(d) != 0; }));
    EXPECT_EQ(edit.Terminate(SIGINT), 0);
  }
  EXPECT_TRUE(WaitFor([&] { return FindHostWindow(d) == 0; }));
  XCloseDisplay(d);
}

}  // namespace
}  // namespace qrv::aaxtest

namespace qrv::aaxtest {
namespace {

void Click(Display* d, Window w, int x, int y) {
  Press(d, w, x, y);
  Release(d);
  // Apart enough that the next click at the same place is no double click.
  poll(nullptr, 0, 450);
}

void Key(Display* d, KeySym symbol) {
  const KeyCode code = XKeysymToKeycode(d, symbol);
  XTestFakeKeyEvent(d, code, True, CurrentTime);
  XTestFakeKeyEvent(d, code, False, CurrentTime);
  XFlush(d);
}

// Lower-case letters and digits.
void Type(Display* d, const std::string& text) {
  for (char c : text) Key(d, XStringToKeysym(std::string(1, c).c_str()));
}

std::string IdOf(int slot) {
  for (const auto& [id, s] : kControls)
    if (static_cast<int>(s) == slot) return id;
  return "";
}

// The last value the log shows for a host parameter ID; -1 when none.
double LastLogged(const std::string& log, const std::string& id) {
  double value = -1.0;
  std::istringstream lines(log);
  for (std::string text; std::getline(lines, text);)
    if (text.rfind(id + "=", 0) == 0) value = std::stod(text.substr(id.size() + 1));
  return value;
}

// aaxhost edit --log with a settings store and a user preset folder of its own (temporary folders, set in
// the child's environment only), and its host window.
struct IsolatedEdit {
  // False when the process did not start or its window did not appear.
  bool Start(Display* d) {
    setenv("QRV_CONFIG_DIR", config.path().c_str(), 1);
    setenv("USERPROFILE", profile.path().c_str(), 1);
    process = std::make_unique<EditProcess>(std::vector<std::string>{"--log"});
    unsetenv("QRV_CONFIG_DIR");
    unsetenv("USERPROFILE");
    return process->running() && WaitFor([&] { return (host = FindHostWindow(d)) != 0; });
  }
  test::TempDir config, profile;
  std::unique_ptr<EditProcess> process;
  Window host = 0;
};

// The preset bar of the real module in aaxhost edit, worked with real clicks and keys; the settings
// store and the user preset folder in temporary folders of the child's environment.
TEST(AaxHostEdit, ThePresetBarDrivesThePresetsZoomABAndSaving) {
  QRV_ASSERT_X_SERVER();
  Display* d = XOpenDisplay(test::SharedXServer().name().c_str());
  ASSERT_NE(d, nullptr);
  IsolatedEdit session;
  ASSERT_TRUE(session.Start(d)) << "no host window appeared";
  EditProcess& edit = *session.process;
  const Window host = session.host;
  ASSERT_TRUE(WaitFor([&] { return Capture(d, host).width == 400; }));
  poll(nullptr, 0, 300);

  // Next twice: the host's parameters take factory preset 2's values.
  Click(d, host, 102, 13);
  Click(d, host, 102, 13);
  const PresetRecord target = FactoryRecord(2);
  const std::string ratio = IdOf(kSlotRatio);
  EXPECT_TRUE(WaitFor([&] { return std::abs(LastLogged(edit.Output(), ratio) - target.values[kSlotRatio]) < 1e-4; }))
      << edit.Output();
  for (int slot : {kSlotProcess, kSlotRatio, kSlotAttackRatio, kSlotTime, kSlotCompression, kSlotOutput,
                   kSlotValveLevel}) {
    const double logged = LastLogged(edit.Output(), IdOf(slot));
    if (logged >= 0.0) {
      EXPECT_NEAR(logged, target.values[slot], 1e-4) << IdOf(slot);
    }
  }

  // B, a knob drag, then A: the first setup's Compression is back.
  const double compressionA = target.values[kSlotCompression];
  Click(d, host, 216, 39);
  DragUp(d, host, 200, 78 + 200, 6);
  const std::string compression = IdOf(kSlotCompression);
  ASSERT_TRUE(WaitFor([&] { return std::abs(LastLogged(edit.Output(), compression) - compressionA) > 0.05; }))
      << "the drag did not reach the host";
  poll(nullptr, 0, 450);
  Click(d, host, 216, 39);
  EXPECT_TRUE(WaitFor([&] { return std::abs(LastLogged(edit.Output(), compression) - compressionA) < 1e-4; }))
      << edit.Output();

  // The name renamed by typing; the save dialog proposes it, and Return saves it as a file.
  const std::filesystem::path folder =
      session.profile.path() / "Documents" / "quarry-tone.com" / "User Presets" / "QRV warmGlow";
  Window focus = 0;
  int revert = 0;
  Click(d, host, 135, 13);
  // While the name is edited the plug-in's own window holds the keyboard; afterwards the host's does.
  XGetInputFocus(d, &focus, &revert);
  EXPECT_NE(focus, host);
  EXPECT_NE(focus, static_cast<Window>(None));
  Type(d, "crunch");
  Key(d, XK_Return);
  EXPECT_TRUE(WaitFor([&] {
    XGetInputFocus(d, &focus, &revert);
    return focus == host;
  })) << "the keyboard did not go back to the host's window";
  Click(d, host, 30, 39);
  Key(d, XK_Return);
  EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(folder / "crunch.qrv"); })) << "the renamed preset";
  // A typed name.
  Click(d, host, 30, 39);
  Type(d, "typed");
  Key(d, XK_Return);
  EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(folder / "typed.qrv"); })) << "the typed name";
  EXPECT_TRUE(WaitFor([&] {
    XGetInputFocus(d, &focus, &revert);
    return focus == host;
  })) << "the dialog did not give the keyboard back";

  // The zoom percentage, then "125%": the host's window follows.
  Click(d, host, 30, 13);
  Click(d, host, 40, 127);
  auto size = [&] {
    XWindowAttributes a{};
    XGetWindowAttributes(d, host, &a);
    return std::make_pair(a.width, a.height);
  };
  EXPECT_TRUE(WaitFor([&] { return size() == std::make_pair(500, 441); })) << size().first << "x" << size().second;
  EXPECT_EQ(edit.Terminate(), 0);
  XCloseDisplay(d);
}

std::string Contents(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The save dialog with real keys: a Replace question is bound to the file it asked about (a second
// existing name after Ctrl+A is asked about in turn, not replaced), and Tab saves nothing.
TEST(AaxHostEdit, TheSaveDialogAsksAboutEveryFileItWouldReplaceAndTabSavesNothing) {
  QRV_ASSERT_X_SERVER();
  Display* d = XOpenDisplay(test::SharedXServer().name().c_str());
  ASSERT_NE(d, nullptr);
  IsolatedEdit session;
  const std::filesystem::path folder =
      session.profile.path() / "Documents" / "quarry-tone.com" / "User Presets" / "QRV warmGlow";
  std::filesystem::create_directories(folder);
  for (const char* name : {"a.qrv", "b.qrv"}) std::ofstream(folder / name, std::ios::binary) << "old " << name;
  ASSERT_TRUE(session.Start(d)) << "no host window appeared";
  const Window host = session.host;
  ASSERT_TRUE(WaitFor([&] { return Capture(d, host).width == 400; }));
  poll(nullptr, 0, 300);
  auto settle = [] { poll(nullptr, 0, 400); };
  // Keys typed before the dialog holds the keyboard would reach the host's window instead.
  auto dialogHasKeyboard = [&] {
    return WaitFor([&] {
      Window focus = 0;
      int revert = 0;
      XGetInputFocus(d, &focus, &revert);
      return focus != host && focus != static_cast<Window>(None) && focus != static_cast<Window>(PointerRoot);
    });
  };

  Click(d, host, 30, 39);  // Save
  ASSERT_TRUE(dialogHasKeyboard());
  Type(d, "a");
  Key(d, XK_Return);
  settle();
  EXPECT_EQ(Contents(folder / "a.qrv"), "old a.qrv");
  const KeyCode control = XKeysymToKeycode(d, XK_Control_L);
  XTestFakeKeyEvent(d, control, True, CurrentTime);
  Key(d, XK_a);
  XTestFakeKeyEvent(d, control, False, CurrentTime);
  Type(d, "b");
  Key(d, XK_Return);
  settle();
  EXPECT_EQ(Contents(folder / "b.qrv"), "old b.qrv") << "replaced without being asked about";
  Key(d, XK_Return);  // Replace, asked about b.qrv now
  EXPECT_TRUE(WaitFor([&] { return Contents(folder / "b.qrv") != "old b.qrv"; }));
  EXPECT_EQ(Contents(folder / "a.qrv"), "old a.qrv");

  Click(d, host, 30, 39);
  ASSERT_TRUE(dialogHasKeyboard());
  Type(d, "c");
  Key(d, XK_Tab);
  settle();
  EXPECT_FALSE(std::filesystem::exists(folder / "c.qrv")) << "Tab saved";
  Key(d, XK_Return);
  EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(folder / "c.qrv"); })) << "Return after Tab";
  EXPECT_EQ(session.process->Terminate(), 0);
  XCloseDisplay(d);
}

}  // namespace
}  // namespace qrv::aaxtest

namespace qrv::aaxtest {
namespace {

std::pair<int, int> WindowSize(Display* d, Window w) {
  XWindowAttributes a{};
  XGetWindowAttributes(d, w, &a);
  return std::make_pair(a.width, a.height);
}

// The preset browser of the real module in aaxhost edit: a real click on the preset name opens it and
// the host's window grows to 420 x 493; a real click on a preset sets the host's parameters to its
// values; the name closes it and the window returns to 400 x 353.
TEST(AaxHostEdit, ThePresetBrowserLoadsAClickedPresetIntoTheHost) {
  QRV_ASSERT_X_SERVER();
  Display* d = XOpenDisplay(test::SharedXServer().name().c_str());
  ASSERT_NE(d, nullptr);
  IsolatedEdit session;
  ASSERT_TRUE(session.Start(d)) << "no host window appeared";
  EditProcess& edit = *session.process;
  const Window host = session.host;
  ASSERT_TRUE(WaitFor([&] { return WindowSize(d, host) == std::make_pair(400, 353); }));
  poll(nullptr, 0, 300);

  Click(d, host, 200, 13);
  EXPECT_TRUE(WaitFor([&] { return WindowSize(d, host) == std::make_pair(420, 493); }))
      << WindowSize(d, host).first << "x" << WindowSize(d, host).second;
  poll(nullptr, 0, 200);
  // Entry 8 of "All" (it differs from the default preset in Ratio, Time and Output): the list's cells
  // start 4 points into it (overlay top 78, list top 31), 20 high.
  constexpr int kEntry = 8;
  Click(d, host, 300, 78 + 31 + 4 + 20 * kEntry + 10);
  const PresetRecord target = FactoryRecord(kEntry);
  EXPECT_TRUE(WaitFor([&] {
    for (int slot : {kSlotRatio, kSlotTime, kSlotOutput})
      if (std::abs(LastLogged(edit.Output(), IdOf(slot)) - target.values[slot]) > 1e-4) return false;
    return true;
  })) << edit.Output();
  for (int slot : {kSlotProcess, kSlotRatio, kSlotAttackRatio, kSlotTime, kSlotCompression, kSlotOutput,
                   kSlotValveLevel}) {
    const double logged = LastLogged(edit.Output(), IdOf(slot));
    // A value the host already held is not sent again; every value sent is the preset's.
    if (logged >= 0.0) {
      EXPECT_NEAR(logged, target.values[slot], 1e-4) << IdOf(slot);
    }
  }
  // Still open after a single click; the name closes it.
  EXPECT_EQ(WindowSize(d, host), std::make_pair(420, 493));
  Click(d, host, 200, 13);
  EXPECT_TRUE(WaitFor([&] { return WindowSize(d, host) == std::make_pair(400, 353); }))
      << WindowSize(d, host).first << "x" << WindowSize(d, host).second;
  EXPECT_EQ(edit.Terminate(), 0);
  XCloseDisplay(d);
}

}  // namespace
}  // namespace qrv::aaxtest
