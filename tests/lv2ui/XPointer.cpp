// Real pointer input for scripts that drive a host's window: moves the pointer to a point of a window
// through XTest, then clicks or turns the wheel there. Like a person's hand, it knows nothing of the
// program behind the window.
//
// Usage: qrv_xpointer WINDOW X Y [click|wheel-up|wheel-down]...
//   WINDOW: an X window id (decimal or 0x hex); X, Y: pixels from its top-left corner.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Gives the client under the pointer a moment between events, as a hand would.
void Pause() {
  timespec t{0, 30'000'000};
  nanosleep(&t, nullptr);
}

void Press(Display* d, unsigned button) {
  XTestFakeButtonEvent(d, button, True, CurrentTime);
  XSync(d, False);
  Pause();
  XTestFakeButtonEvent(d, button, False, CurrentTime);
  XSync(d, False);
  Pause();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s WINDOW X Y [click|wheel-up|wheel-down]...\n", argv[0]);
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "error: no X display\n");
    return 1;
  }
  int event, error, major, minor;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "error: the X server has no XTest\n");
    return 1;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  int rootX = 0, rootY = 0;
  Window child;
  if (!XTranslateCoordinates(d, window, DefaultRootWindow(d), std::atoi(argv[2]), std::atoi(argv[3]), &rootX, &rootY,
                             &child)) {
    std::fprintf(stderr, "error: window %s is not on this screen\n", argv[1]);
    return 1;
  }
  XTestFakeMotionEvent(d, -1, rootX, rootY, CurrentTime);
  XSync(d, False);
  Pause();
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "click") == 0) {
      Press(d, 1);
    } else if (std::strcmp(argv[i], "wheel-up") == 0) {
      Press(d, 4);
    } else if (std::strcmp(argv[i], "wheel-down") == 0) {
      Press(d, 5);
    } else {
      std::fprintf(stderr, "error: unknown action %s\n", argv[i]);
      return 2;
    }
  }
  XCloseDisplay(d);
  return 0;
}
