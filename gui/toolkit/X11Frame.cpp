#include "gui/toolkit/X11Frame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tk {

namespace {

Display* gDisplay = nullptr;
// Cairo's record of gDisplay, held from the first window's surface until the connection closes.
cairo_device_t* gDevice = nullptr;
std::vector<X11PlatformFrame::Impl*> gFrames;
int gConnectionHolders = 0;
// Buttons and modifiers held after the latest input event any of our windows received.
std::uint32_t gHeld = 0;

void CloseConnectionIfUnused() {
  if (gDisplay && gFrames.empty() && gConnectionHolders == 0) {
    if (gDevice) {
      // Cairo lets go of what it keeps for the display while the connection still works. Its
      // shared-memory segments are detached and dropped here: the server must have attached them first.
      XSync(gDisplay, False);
      cairo_device_finish(gDevice);
      cairo_device_destroy(gDevice);
      gDevice = nullptr;
    }
    XCloseDisplay(gDisplay);
    gDisplay = nullptr;
  }
}

// Cairo (1.16) queues the record of every shared-memory upload the server has not yet confirmed and
// empties the queue only when it next allocates such an image; finishing the device frees the queue
// but not the records in it. With every confirmation read in, one small allocation empties it.
void ReleaseConfirmedUploads(cairo_surface_t* xsurface) {
  XSync(gDisplay, False);
  cairo_surface_destroy(cairo_surface_create_similar_image(xsurface, CAIRO_FORMAT_RGB24, 32, 32));
}

constexpr unsigned long kDoubleClickMs = 400;
constexpr int kDoubleClickDistance = 4;

std::uint32_t Modifiers(unsigned state) {
  std::uint32_t b = 0;
  if (state & ShiftMask) b |= kShift;
  if (state & ControlMask) b |= kControl;
  if (state & Mod1Mask) b |= kAlt;
  if (state & Mod4Mask) b |= kApple;
  return b;
}

std::uint32_t HeldButtons(unsigned state) {
  std::uint32_t b = 0;
  if (state & Button1Mask) b |= kLButton;
  if (state & Button2Mask) b |= kMButton;
  if (state & Button3Mask) b |= kRButton;
  return b;
}

std::uint32_t ButtonBit(unsigned button) {
  switch (button) {
    case 1: return kLButton;
    case 2: return kMButton;
    case 3: return kRButton;
    case 8: return kButton4;
    case 9: return kButton5;
    default: return 0;
  }
}

// What an input event leaves held: its state is from just before it, so a press or release of a button,
// or of a modifier key, is applied to it.
void TrackHeld(const XEvent& e) {
  switch (e.type) {
    case ButtonPress:
      gHeld = HeldButtons(e.xbutton.state) | ButtonBit(e.xbutton.button) | Modifiers(e.xbutton.state);
      break;
    case ButtonRelease:
      gHeld = (HeldButtons(e.xbutton.state) & ~ButtonBit(e.xbutton.button)) | Modifiers(e.xbutton.state);
      break;
    case MotionNotify:
      gHeld = HeldButtons(e.xmotion.state) | Modifiers(e.xmotion.state);
      break;
    case EnterNotify:
    case LeaveNotify:
      gHeld = HeldButtons(e.xcrossing.state) | Modifiers(e.xcrossing.state);
      break;
    case KeyPress:
    case KeyRelease: {
      std::uint32_t key = 0;
      switch (XLookupKeysym(const_cast<XKeyEvent*>(&e.xkey), 0)) {
        case XK_Shift_L: case XK_Shift_R: key = kShift; break;
        case XK_Control_L: case XK_Control_R: key = kControl; break;
        case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: key = kAlt; break;
        case XK_Super_L: case XK_Super_R: key = kApple; break;
        default: break;
      }
      const std::uint32_t before = HeldButtons(e.xkey.state) | Modifiers(e.xkey.state);
      gHeld = e.type == KeyPress ? before | key : before & ~key;
      break;
    }
    default:
      break;
  }
}

KeyEvent TranslateKey(XKeyEvent* e) {
  char buffer[16] = {};
  KeySym sym = 0;
  int n = XLookupString(e, buffer, sizeof(buffer) - 1, &sym, nullptr);
  KeyEvent k;
  k.modifiers = Modifiers(e->state);
  switch (sym) {
    case XK_BackSpace: k.key = VirtualKey::Back; break;
    case XK_Tab: k.key = VirtualKey::Tab; break;
    case XK_Return: k.key = VirtualKey::Return; break;
    case XK_KP_Enter: k.key = VirtualKey::Enter; break;
    case XK_Escape: k.key = VirtualKey::Escape; break;
    case XK_Left: k.key = VirtualKey::Left; break;
    case XK_Right: k.key = VirtualKey::Right; break;
    case XK_Up: k.key = VirtualKey::Up; break;
    case XK_Down: k.key = VirtualKey::Down; break;
    case XK_Home: k.key = VirtualKey::Home; break;
    case XK_End: k.key = VirtualKey::End; break;
    case XK_Delete: k.key = VirtualKey::Delete; break;
    case XK_Page_Up: k.key = VirtualKey::PageUp; break;
    case XK_Page_Down: k.key = VirtualKey::PageDown; break;
    case XK_Shift_L: case XK_Shift_R: k.key = VirtualKey::Shift; break;
    case XK_Control_L: case XK_Control_R: k.key = VirtualKey::Control; break;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: k.key = VirtualKey::Alt; break;
    case XK_Super_L: case XK_Super_R: k.key = VirtualKey::Apple; break;
    case XK_space: k.key = VirtualKey::Space; k.character = ' '; break;
    default:
      // XLookupString yields Latin-1; anything beyond comes as a keysym in the Unicode range.
      if (n == 1 && static_cast<unsigned char>(buffer[0]) >= 0x20 && buffer[0] != 0x7F)
        k.character = static_cast<unsigned char>(buffer[0]);
      else if (sym >= 0x1000100 && sym <= 0x110FFFF)
        k.character = static_cast<char32_t>(sym - 0x1000000);
      break;
  }
  return k;
}

}  // namespace

struct X11PlatformFrame::Impl {
  Frame* frame = nullptr;
  Window window = 0;
  Window parent = 0;  // the host's window; 0 for a top-level window
  bool ownsParentless = false;
  int width = 1, height = 1;
  cairo_surface_t* xsurface = nullptr;
  cairo_surface_t* back = nullptr;
  // The back buffer's pixels as an XImage: a repaint reaches the window as one XPutImage, with no
  // reply to wait for and no picture made on the server. Null when the screen keeps its pixels
  // otherwise than the back buffer does; then cairo converts them.
  XImage* image = nullptr;
  GC gc = nullptr;
  Rect dirty;
  // Double-click detection.
  Time lastPressTime = 0;
  unsigned lastPressButton = 0;
  int lastPressX = -100, lastPressY = -100;
  bool pressWasDouble = false;
  std::function<void()> onClose;
  Atom deleteWindow = 0;
  bool focusOnClick = false;
  Color background{0, 0, 0, 255};

  // The window's size is the editor's at its zoom, never the user's choice: maximum and base are that
  // size, and so is the minimum of a top-level window. Hosts that fit their window to the editor read
  // these hints (suil does). A window inside a host's window has no minimum: suil's GTK 2 wrapper fixes
  // its widget's size request at the minimum it reads when the widget is first shown, which would hold
  // the host's window (Ardour's, say) at the first size for good.
  void setSizeHints() {
    XSizeHints hints{};
    hints.flags = PMaxSize | PBaseSize;
    hints.max_width = hints.base_width = width;
    hints.max_height = hints.base_height = height;
    if (!parent) {
      hints.flags |= PMinSize;
      hints.min_width = width;
      hints.min_height = height;
    }
    XSetWMNormalHints(gDisplay, window, &hints);
  }

  void resizeSurfaces() {
    if (xsurface) cairo_xlib_surface_set_size(xsurface, width, height);
    releaseImage();
    if (back) cairo_surface_destroy(back);
    back = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    wrapBackBuffer();
    dirty = Rect{0, 0, double(width), double(height)};
  }

  void wrapBackBuffer() {
    const int screen = DefaultScreen(gDisplay);
    Visual* visual = DefaultVisual(gDisplay, screen);
    if (DefaultDepth(gDisplay, screen) != 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF || cairo_surface_status(back) != CAIRO_STATUS_SUCCESS)
      return;
    image = XCreateImage(gDisplay, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(cairo_image_surface_get_data(back)),
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                         cairo_image_surface_get_stride(back));
    if (image && image->bits_per_pixel != 32) releaseImage();
    // Cairo stores a pixel as a 32-bit word in the machine's byte order; Xlib converts it to the server's.
    const std::uint32_t one = 1;
    if (image) image->byte_order = *reinterpret_cast<const unsigned char*>(&one) == 1 ? LSBFirst : MSBFirst;
  }

  void releaseImage() {
    if (!image) return;
    image->data = nullptr;  // cairo's pixels
    XDestroyImage(image);
    image = nullptr;
  }

  void paint() {
    if (dirty.empty() || !xsurface) return;
    // Whole pixels: the invalidated rectangles are, and XPutImage takes nothing else.
    const Rect d = dirty.intersect(Rect{0, 0, double(width), double(height)});
    dirty = Rect{};
    if (d.empty()) return;
    const Rect r{std::floor(d.left), std::floor(d.top), std::ceil(d.right), std::ceil(d.bottom)};
    cairo_t* cr = cairo_create(back);
    cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
    cairo_set_source_rgb(cr, background.r / 255.0, background.g / 255.0, background.b / 255.0);
    cairo_fill(cr);
    frame->platformDraw(cr, r);
    cairo_destroy(cr);
    cairo_surface_flush(back);
    if (image) {
      if (!gc) gc = XCreateGC(gDisplay, window, 0, nullptr);
      const int x = static_cast<int>(r.left), y = static_cast<int>(r.top);
      XPutImage(gDisplay, window, gc, image, x, y, x, y, static_cast<unsigned>(r.width()),
                static_cast<unsigned>(r.height()));
      return;
    }
    cairo_t* out = cairo_create(xsurface);
    cairo_rectangle(out, r.left, r.top, r.width(), r.height());
    cairo_clip(out);
    cairo_set_source_surface(out, back, 0, 0);
    cairo_set_operator(out, CAIRO_OPERATOR_SOURCE);
    cairo_paint(out);
    cairo_destroy(out);
    cairo_surface_flush(xsurface);
  }

  void handle(XEvent& e) {
    Ref<Frame> keep(frame);
    switch (e.type) {
      case Expose:
        dirty = dirty.unite(Rect{double(e.xexpose.x), double(e.xexpose.y), double(e.xexpose.x + e.xexpose.width),
                                 double(e.xexpose.y + e.xexpose.height)});
        break;
      case ConfigureNotify:
        if (e.xconfigure.width != width || e.xconfigure.height != height) {
          width = e.xconfigure.width;
          height = e.xconfigure.height;
          resizeSurfaces();
        }
        break;
      case ButtonPress: {
        if (focusOnClick && e.xbutton.window == window && e.xbutton.subwindow != 0) {
          // Our passive grab caught a press aimed at a child: take the focus, then let the press go on.
          XSetInputFocus(gDisplay, window, RevertToParent, e.xbutton.time);
          XAllowEvents(gDisplay, ReplayPointer, e.xbutton.time);
          break;
        }
        TrackHeld(e);
        if (focusOnClick) {
          XSetInputFocus(gDisplay, window, RevertToParent, e.xbutton.time);
          XAllowEvents(gDisplay, AsyncPointer, e.xbutton.time);
        }
        Point p{double(e.xbutton.x), double(e.xbutton.y)};
        std::uint32_t mods = Modifiers(e.xbutton.state);
        if (e.xbutton.button == 4 || e.xbutton.button == 5) {
          frame->platformWheel(p, e.xbutton.button == 4 ? 1.0f : -1.0f, mods);
          break;
        }
        if (e.xbutton.button == 6 || e.xbutton.button == 7) break;  // horizontal wheel
        bool isDouble = !pressWasDouble && e.xbutton.button == lastPressButton &&
                        e.xbutton.time - lastPressTime <= kDoubleClickMs &&
                        std::abs(e.xbutton.x - lastPressX) <= kDoubleClickDistance &&
                        std::abs(e.xbutton.y - lastPressY) <= kDoubleClickDistance;
        pressWasDouble = isDouble;
        lastPressTime = e.xbutton.time;
        lastPressButton = e.xbutton.button;
        lastPressX = e.xbutton.x;
        lastPressY = e.xbutton.y;
        std::uint32_t buttons = ButtonBit(e.xbutton.button) | HeldButtons(e.xbutton.state) | mods;
        if (isDouble) buttons |= kDoubleClick;
        frame->platformMouseDown(p, buttons);
        // Typing needs the keyboard; asking for it on a window that is not viewable is an X error.
        if (frame->getFocusView()) {
          XWindowAttributes attributes;
          if (XGetWindowAttributes(gDisplay, window, &attributes) && attributes.map_state == IsViewable)
            XSetInputFocus(gDisplay, window, RevertToParent, CurrentTime);
        }
        break;
      }
      case ButtonRelease: {
        TrackHeld(e);
        if (e.xbutton.button >= 4 && e.xbutton.button <= 7) break;
        Point p{double(e.xbutton.x), double(e.xbutton.y)};
        std::uint32_t buttons = ButtonBit(e.xbutton.button) | Modifiers(e.xbutton.state);
        frame->platformMouseUp(p, buttons);
        break;
      }
      case MotionNotify: {
        // Only the latest of consecutive moves matters; a press or release in between keeps its place.
        while (XPending(gDisplay) > 0) {
          XEvent next;
          XPeekEvent(gDisplay, &next);
          if (next.type != MotionNotify || next.xany.window != window) break;
          XNextEvent(gDisplay, &e);
        }
        TrackHeld(e);
        Point p{double(e.xmotion.x), double(e.xmotion.y)};
        frame->platformMouseMoved(p, HeldButtons(e.xmotion.state) | Modifiers(e.xmotion.state));
        break;
      }
      case EnterNotify: {
        TrackHeld(e);
        Point p{double(e.xcrossing.x), double(e.xcrossing.y)};
        frame->platformMouseMoved(p, HeldButtons(e.xcrossing.state) | Modifiers(e.xcrossing.state));
        break;
      }
      case LeaveNotify:
        TrackHeld(e);
        if (e.xcrossing.mode == NotifyNormal) frame->platformMouseExited();
        break;
      case ClientMessage:
        if (deleteWindow != 0 && static_cast<Atom>(e.xclient.data.l[0]) == deleteWindow && onClose) onClose();
        break;
      case FocusOut:
        // The keyboard went to another window (the host's, say): an edit in progress is committed,
        // as a click elsewhere in the window would. Grabs and moves within our window do not count.
        if (e.xfocus.mode == NotifyNormal && e.xfocus.detail != NotifyInferior && e.xfocus.detail != NotifyPointer)
          frame->setFocusView(nullptr);
        break;
      case KeyPress: {
        TrackHeld(e);
        KeyEvent k = TranslateKey(&e.xkey);
        frame->platformKeyDown(k);
        break;
      }
      case KeyRelease: {
        TrackHeld(e);
        KeyEvent k = TranslateKey(&e.xkey);
        frame->platformKeyUp(k);
        break;
      }
      default:
        break;
    }
  }
};

X11PlatformFrame::X11PlatformFrame(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<X11PlatformFrame> X11PlatformFrame::create(Frame* frame, unsigned long parent) {
  if (!gDisplay) {
    gDisplay = XOpenDisplay(nullptr);
    if (!gDisplay) return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->frame = frame;
  impl->width = std::max(1, frame->deviceWidth());
  impl->height = std::max(1, frame->deviceHeight());
  int screen = DefaultScreen(gDisplay);
  Window parentWindow = parent ? static_cast<Window>(parent) : RootWindow(gDisplay, screen);
  XSetWindowAttributes attrs{};
  attrs.background_pixel = BlackPixel(gDisplay, screen);
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                     LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask;
  impl->window = XCreateWindow(gDisplay, parentWindow, 0, 0, impl->width, impl->height, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attrs);
  if (!impl->window) return nullptr;
  if (parent) impl->parent = parentWindow;
  impl->setSizeHints();
  if (!parent) XStoreName(gDisplay, impl->window, "QRV warmGlow");
  impl->xsurface = cairo_xlib_surface_create(gDisplay, impl->window, DefaultVisual(gDisplay, screen), impl->width,
                                             impl->height);
  if (!gDevice && cairo_surface_get_device(impl->xsurface))
    gDevice = cairo_device_reference(cairo_surface_get_device(impl->xsurface));
  impl->resizeSurfaces();
  XMapWindow(gDisplay, impl->window);
  // The window's id may go to another connection at once (a host hands it to a plug-in as the parent):
  // a flush only sends the request, so wait until the server has made the window.
  XSync(gDisplay, False);
  gFrames.push_back(impl.get());
  return std::unique_ptr<X11PlatformFrame>(new X11PlatformFrame(std::move(impl)));
}

X11PlatformFrame::~X11PlatformFrame() {
  std::erase(gFrames, impl_.get());
  impl_->releaseImage();
  if (impl_->gc) XFreeGC(gDisplay, impl_->gc);
  if (impl_->back) cairo_surface_destroy(impl_->back);
  if (impl_->xsurface) {
    ReleaseConfirmedUploads(impl_->xsurface);
    cairo_surface_destroy(impl_->xsurface);
  }
  if (gDisplay && impl_->window) XDestroyWindow(gDisplay, impl_->window);
  if (gDisplay) XFlush(gDisplay);
  CloseConnectionIfUnused();
}

void X11PlatformFrame::retainConnection() {
  ++gConnectionHolders;
  if (!gDisplay) gDisplay = XOpenDisplay(nullptr);
}

void X11PlatformFrame::releaseConnection() {
  if (gConnectionHolders > 0) --gConnectionHolders;
  CloseConnectionIfUnused();
}

void X11PlatformFrame::setTitle(const std::string& title) {
  // WM_NAME is Latin-1 by convention; window managers that read _NET_WM_NAME show the UTF-8 title whole.
  XStoreName(gDisplay, impl_->window, title.c_str());
  const Atom netName = XInternAtom(gDisplay, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(gDisplay, "UTF8_STRING", False);
  XChangeProperty(gDisplay, impl_->window, netName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XFlush(gDisplay);
}

void X11PlatformFrame::setCloseHandler(std::function<void()> handler) {
  impl_->onClose = std::move(handler);
  if (impl_->deleteWindow == 0) {
    impl_->deleteWindow = XInternAtom(gDisplay, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(gDisplay, impl_->window, &impl_->deleteWindow, 1);
    XFlush(gDisplay);
  }
}

void X11PlatformFrame::setFocusOnClick(bool on) {
  if (on == impl_->focusOnClick) return;
  impl_->focusOnClick = on;
  // A synchronous passive grab freezes the pointer at a press until the handler replays it.
  if (on)
    XGrabButton(gDisplay, AnyButton, AnyModifier, impl_->window, False, ButtonPressMask, GrabModeSync, GrabModeAsync,
                None, None);
  else
    XUngrabButton(gDisplay, AnyButton, AnyModifier, impl_->window);
  XFlush(gDisplay);
}

void X11PlatformFrame::invalidRect(const Rect& deviceRect) { impl_->dirty = impl_->dirty.unite(deviceRect); }

void X11PlatformFrame::setSize(int width, int height) {
  impl_->width = std::max(1, width);
  impl_->height = std::max(1, height);
  XResizeWindow(gDisplay, impl_->window, impl_->width, impl_->height);
  impl_->setSizeHints();
  impl_->resizeSurfaces();
  // A host reads the hints on its own connection once it hears of the new size: they are in place
  // before this returns.
  XSync(gDisplay, False);
}

void X11PlatformFrame::setBackground(Color color) {
  impl_->background = color;
  impl_->dirty = Rect{0, 0, double(impl_->width), double(impl_->height)};
  const int screen = DefaultScreen(gDisplay);
  XColor c{};
  c.red = static_cast<unsigned short>(color.r * 257);
  c.green = static_cast<unsigned short>(color.g * 257);
  c.blue = static_cast<unsigned short>(color.b * 257);
  c.flags = DoRed | DoGreen | DoBlue;
  if (!XAllocColor(gDisplay, DefaultColormap(gDisplay, screen), &c)) c.pixel = BlackPixel(gDisplay, screen);
  XSetWindowBackground(gDisplay, impl_->window, c.pixel);
  // The window took the parent's visual, so the pixel suits the parent too. A host that paints its
  // window itself paints over this; one that leaves it to the server shows the colour.
  if (impl_->parent) {
    XSetWindowBackground(gDisplay, impl_->parent, c.pixel);
    XClearWindow(gDisplay, impl_->parent);
  }
  XFlush(gDisplay);
}

bool X11PlatformFrame::getGlobalPosition(Point& where) const {
  Window child;
  int x = 0, y = 0;
  if (!XTranslateCoordinates(gDisplay, impl_->window, DefaultRootWindow(gDisplay), 0, 0, &x, &y, &child))
    return false;
  where = Point{double(x), double(y)};
  return true;
}

bool X11PlatformFrame::setPosition(double x, double y) {
  XMoveWindow(gDisplay, impl_->window, static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
  XFlush(gDisplay);
  return true;
}

std::uint32_t X11PlatformFrame::queryButtons() const {
  Window root, child;
  int rx, ry, wx, wy;
  unsigned mask = 0;
  if (!XQueryPointer(gDisplay, impl_->window, &root, &child, &rx, &ry, &wx, &wy, &mask)) return 0;
  return HeldButtons(mask) | Modifiers(mask);
}

std::uint32_t X11PlatformFrame::heldButtons() const { return gHeld; }

bool X11PlatformFrame::getScreenSize(int& width, int& height) const {
  width = DisplayWidth(gDisplay, DefaultScreen(gDisplay));
  height = DisplayHeight(gDisplay, DefaultScreen(gDisplay));
  return true;
}

void X11PlatformFrame::keyboardFocusChanged(bool wanted) {
  if (!gDisplay || !impl_->window) return;
  if (wanted) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(gDisplay, impl_->window, &attributes) && attributes.map_state == IsViewable)
      XSetInputFocus(gDisplay, impl_->window, RevertToParent, CurrentTime);
  } else {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(gDisplay, &focus, &revert);
    if (focus == impl_->window) {
      Window root = 0, parent = 0, *children = nullptr;
      unsigned count = 0;
      if (XQueryTree(gDisplay, impl_->window, &root, &parent, &children, &count)) {
        if (children) XFree(children);
        XSetInputFocus(gDisplay, parent == root ? PointerRoot : parent, RevertToParent, CurrentTime);
      }
    }
  }
  XFlush(gDisplay);
}

unsigned long X11PlatformFrame::window() const { return impl_->window; }
void* X11PlatformFrame::display() const { return gDisplay; }

int X11PlatformFrame::connectionFd() { return gDisplay ? ConnectionNumber(gDisplay) : -1; }

bool X11PlatformFrame::processEvents(int timeoutMs) {
  if (!gDisplay || gFrames.empty()) return false;
  int next = RunLoop::instance().process();
  int wait = timeoutMs;
  if (next >= 0) wait = std::min(wait, next);
  // A host's idle call (no wait) reads the connection once, in the loop below.
  if (wait > 0 && XPending(gDisplay) == 0) {
    pollfd fd{ConnectionNumber(gDisplay), POLLIN, 0};
    poll(&fd, 1, wait);
  }
  while (gDisplay && XPending(gDisplay) > 0) {
    XEvent e;
    XNextEvent(gDisplay, &e);
    for (Impl* f : gFrames)
      if (f->window == e.xany.window) {
        f->handle(e);
        break;
      }
  }
  RunLoop::instance().process();
  // A handler may have closed frames; walk a copy.
  std::vector<Impl*> frames = gFrames;
  for (Impl* f : frames) {
    if (std::find(gFrames.begin(), gFrames.end(), f) == gFrames.end()) continue;
    f->frame->idle();
    f->paint();
  }
  if (gDisplay) XFlush(gDisplay);
  return true;
}

}  // namespace tk
