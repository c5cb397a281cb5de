#include "gui/toolkit/Frame.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "gui/toolkit/HeadlessFrame.h"
#include "gui/toolkit/X11Frame.h"

namespace tk {

namespace {
// Marks a mouse event's dispatch, so that position queries made by its handlers see its position.
class DispatchScope {
 public:
  explicit DispatchScope(int& depth) : depth_(depth) { ++depth_; }
  ~DispatchScope() { --depth_; }
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;

 private:
  int& depth_;
};
}  // namespace

Frame::Frame(const Rect& size) : ViewContainer(Rect{0, 0, size.width(), size.height()}) {}

Frame::~Frame() {
  removeAll();
  popups_.clear();
  platform_.reset();
}

bool Frame::open(PlatformType type, unsigned long parent) {
  platform_.reset();
  if (type == PlatformType::Headless) {
    platform_ = std::make_unique<HeadlessPlatformFrame>(this);
  } else {
    auto x11 = X11PlatformFrame::create(this, parent);
    if (!x11) return false;
    platform_ = std::move(x11);
  }
  invalid();
  return true;
}

void Frame::close() { platform_.reset(); }

int Frame::deviceWidth() const { return static_cast<int>(std::lround(size_.width() * zoom_)); }
int Frame::deviceHeight() const { return static_cast<int>(std::lround(size_.height() * zoom_)); }

void Frame::setZoom(double zoom) {
  if (!(zoom > 0)) return;
  zoom_ = zoom;
  if (platform_) platform_->setSize(deviceWidth(), deviceHeight());
  invalid();
}

void Frame::setSize(double width, double height) {
  size_ = Rect{0, 0, width, height};
  mouseArea_ = size_;
  if (platform_) platform_->setSize(deviceWidth(), deviceHeight());
  invalid();
}

void Frame::invalidateLayoutRect(const Rect& rect) {
  if (!platform_) return;
  Rect r = rect.intersect(size_);
  if (r.empty()) return;
  // One device pixel of margin for anti-aliased edges.
  platform_->invalidRect(Rect{std::floor(r.left * zoom_) - 1, std::floor(r.top * zoom_) - 1,
                              std::ceil(r.right * zoom_) + 1, std::ceil(r.bottom * zoom_) + 1});
}

void Frame::invalid() {
  dirty_ = false;
  invalidateLayoutRect(size_);
}

void Frame::collectDirty(ViewContainer* container, const Point& origin) {
  for (View* c : container->children()) {
    if (!c->isVisible()) continue;
    if (c->isDirty()) {
      c->setDirty(false);
      Rect r = c->getViewSize();
      invalidateLayoutRect(r.offset(origin.x, origin.y));
    }
    if (ViewContainer* cc = c->asContainer())
      collectDirty(cc, origin + Point{cc->getViewSize().left, cc->getViewSize().top});
  }
}

void Frame::idle() {
  if (dirty_) invalid();
  collectDirty(this, Point{});
}

void Frame::setFocusView(View* view) {
  if (view == focus_) return;
  View* old = focus_;
  focus_ = view;
  if (old) old->looseFocus();
  if (focus_ == view && view) view->takeFocus();
  // A view losing the focus may hand it on; only the outcome counts.
  if ((old != nullptr) != (focus_ != nullptr) && platform_) platform_->keyboardFocusChanged(focus_ != nullptr);
}

void Frame::viewWillBeRemoved(View* view) {
  auto inside = [view](View* v) {
    for (View* p = v; p; p = p->getParent())
      if (p == view) return true;
    return false;
  };
  if (focus_ && inside(focus_)) {
    focus_ = nullptr;
    if (platform_) platform_->keyboardFocusChanged(false);
  }
  std::erase_if(hover_, inside);
  std::erase_if(popups_, [view](const Popup& p) { return p.view == view; });
}

void Frame::showTooltip(const Point& where, const std::string& text) {
  hideTooltip();
  if (text.empty()) return;
  tooltip_ = text;
  tooltipLines_.clear();
  for (std::size_t start = 0;;) {
    std::size_t end = text.find('\n', start);
    tooltipLines_.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  double w = 0;
  for (const std::string& line : tooltipLines_) w = std::max(w, MeasureString(standardFont(), line));
  w += 10;
  double h = kTooltipLineHeight * static_cast<double>(tooltipLines_.size()) + 4;
  double x = std::min(where.x + 8, size_.width() - w);
  double y = where.y + 18;
  if (y + h > size_.height()) y = where.y - h - 4;
  tooltipRect_ = Rect{std::max(0.0, x), std::max(0.0, y), std::max(0.0, x) + w, std::max(0.0, y) + h};
  invalidateLayoutRect(tooltipRect_);
}

void Frame::hideTooltip() {
  if (tooltip_.empty()) return;
  tooltip_.clear();
  invalidateLayoutRect(tooltipRect_);
}

void Frame::addPopup(View* view, std::function<void()> dismiss) {
  if (addView(view)) popups_.push_back(Popup{view, std::move(dismiss)});
}

void Frame::removePopup(View* view) {
  if (!isPopup(view)) return;
  std::erase_if(popups_, [view](const Popup& p) { return p.view == view; });
  removeView(view, true);
}

bool Frame::isPopup(const View* view) const {
  return std::any_of(popups_.begin(), popups_.end(), [view](const Popup& p) { return p.view == view; });
}

View* Frame::popupAt(const Point& where) const {
  for (auto it = popups_.rbegin(); it != popups_.rend(); ++it)
    if (it->view->getViewSize().contains(where)) return it->view;
  return nullptr;
}

void Frame::dismissPopups() {
  // Owners close their own pop-ups; a callback may close others too, so work on a copy.
  std::vector<Popup> open = popups_;
  for (auto it = open.rbegin(); it != open.rend(); ++it) {
    if (!isPopup(it->view)) continue;
    if (it->dismiss)
      it->dismiss();
    else
      removePopup(it->view);
  }
}

void Frame::draw(DrawContext& context) {
  ViewContainer::draw(context);
  if (!tooltip_.empty()) {
    context.saveGlobalState();
    context.setFillColor(Color{250, 246, 224, 255});
    context.setFrameColor(Color{60, 50, 40, 255});
    context.setLineWidth(1);
    context.drawRect(tooltipRect_, kDrawFilled);
    context.drawRect(tooltipRect_.inset(0.5, 0.5), kDrawStroked);
    context.setFont(standardFont());
    context.setFontColor(Color{30, 25, 20, 255});
    for (std::size_t i = 0; i < tooltipLines_.size(); ++i) {
      double top = tooltipRect_.top + 2 + kTooltipLineHeight * static_cast<double>(i);
      context.drawString(tooltipLines_[i], Rect{tooltipRect_.left + 5, top, tooltipRect_.right - 5,
                                                top + kTooltipLineHeight}, kLeftText);
    }
    context.restoreGlobalState();
  }
}

void Frame::platformDraw(cairo_t* cr, const Rect& deviceRect) {
  cairo_save(cr);
  cairo_rectangle(cr, deviceRect.left, deviceRect.top, deviceRect.width(), deviceRect.height());
  cairo_clip(cr);
  cairo_scale(cr, zoom_, zoom_);
  Rect layout{deviceRect.left / zoom_, deviceRect.top / zoom_, deviceRect.right / zoom_, deviceRect.bottom / zoom_};
  {
    DrawContext context(cr, layout.intersect(size_));
    draw(context);
  }
  cairo_restore(cr);
}

std::vector<View*> Frame::chainAt(const Point& where) const {
  std::vector<View*> chain;
  const ViewContainer* c = this;
  Point p = where;
  // While pop-ups are open only they see the pointer.
  if (!popups_.empty()) {
    View* top = popupAt(where);
    if (!top) return chain;
    chain.push_back(top);
    c = top->asContainer();
  }
  while (c) {
    View* v = c->getViewAt(p, false);
    if (!v) break;
    chain.push_back(v);
    p = Point{p.x - c->getViewSize().left, p.y - c->getViewSize().top};
    c = v->asContainer();
  }
  return chain;
}

void Frame::updateHover(const Point& where, std::uint32_t buttons) {
  std::vector<View*> now = chainAt(where);
  std::vector<Ref<View>> keep(now.begin(), now.end());
  for (auto it = hover_.rbegin(); it != hover_.rend(); ++it) {
    if (std::find(now.begin(), now.end(), *it) != now.end()) continue;
    Ref<View> v(*it);
    Point p = v->frameToParent(where);
    v->onMouseExited(p, buttons);
  }
  std::vector<View*> old = hover_;
  hover_ = now;
  for (View* v : now) {
    if (std::find(old.begin(), old.end(), v) != old.end()) continue;
    if (std::find(hover_.begin(), hover_.end(), v) == hover_.end()) continue;  // removed meanwhile
    Point p = v->frameToParent(where);
    v->onMouseEntered(p, buttons);
  }
}

MouseResult Frame::platformMouseDown(Point device, std::uint32_t buttons) {
  Ref<Frame> keep(this);
  DispatchScope dispatch(mouseDispatch_);
  Point where = deviceToLayout(device);
  lastMouse_ = where;
  lastButtons_ = buttons;
  modifiers_ = buttons & kModifierBits;
  inputSeen_ = true;
  onFrameMouseEvent(buttons);
  hideTooltip();
  if (!popups_.empty()) {
    mouseDownView_ = nullptr;
    View* top = popupAt(where);
    if (!top) {
      dismissPopups();
      updateHover(where, buttons & ~kButtonBits);
      return MouseResult::Handled;
    }
    Ref<View> v(top);
    Point p = where;
    MouseResult r = v->onMouseDown(p, buttons);
    if (r == MouseResult::Handled && v->getParent() == this) mouseDownView_ = v.get();
    return r;
  }
  std::vector<View*> chain = chainAt(where);
  if (focus_ && std::find(chain.begin(), chain.end(), focus_) == chain.end()) setFocusView(nullptr);
  mouseDownView_ = nullptr;
  Point p = where;
  return ViewContainer::onMouseDown(p, buttons);
}

MouseResult Frame::platformMouseMoved(Point device, std::uint32_t buttons) {
  Ref<Frame> keep(this);
  DispatchScope dispatch(mouseDispatch_);
  Point where = deviceToLayout(device);
  if (buttons & kButtonBits) inputSeen_ = true;
  lastMouse_ = where;
  lastButtons_ = buttons;
  modifiers_ = buttons & kModifierBits;
  onFrameMouseEvent(buttons);
  if (mouseDownView_) {
    Point p = where;
    return ViewContainer::onMouseMoved(p, buttons);
  }
  // Without a capture the view under the pointer sees the move for hover effects only: a button
  // held since a press that no view took is not a drag of whatever the pointer crosses.
  std::uint32_t hoverButtons = buttons & ~kButtonBits;
  updateHover(where, hoverButtons);
  if (!hover_.empty()) {
    Ref<View> v(hover_.back());
    Point p = v->frameToParent(where);
    return v->onMouseMoved(p, hoverButtons);
  }
  return MouseResult::NotHandled;
}

MouseResult Frame::platformMouseUp(Point device, std::uint32_t buttons) {
  Ref<Frame> keep(this);
  DispatchScope dispatch(mouseDispatch_);
  Point where = deviceToLayout(device);
  lastMouse_ = where;
  lastButtons_ = buttons;
  modifiers_ = buttons & kModifierBits;
  inputSeen_ = true;
  onFrameMouseEvent(buttons);
  MouseResult r = MouseResult::NotHandled;
  if (mouseDownView_) {
    Point p = where;
    r = ViewContainer::onMouseUp(p, buttons);
  }
  updateHover(where, buttons & ~kButtonBits);
  return r;
}

void Frame::platformMouseExited() {
  Ref<Frame> keep(this);
  if (mouseDownView_) return;
  updateHover(Point{-1e9, -1e9}, 0);
  hideTooltip();
}

bool Frame::platformWheel(Point device, float distance, std::uint32_t buttons) {
  Ref<Frame> keep(this);
  DispatchScope dispatch(mouseDispatch_);
  Point where = deviceToLayout(device);
  lastMouse_ = where;
  modifiers_ = buttons & kModifierBits;
  inputSeen_ = true;
  if (!popups_.empty()) return true;
  return ViewContainer::onWheel(where, distance, buttons);
}

bool Frame::platformKeyDown(const KeyEvent& key) {
  Ref<Frame> keep(this);
  DispatchScope dispatch(keyDispatch_);
  struct KeyScope {
    VirtualKey& slot;
    VirtualKey saved;
    ~KeyScope() { slot = saved; }
  } keyScope{dispatchedKey_, dispatchedKey_};
  dispatchedKey_ = key.key;
  modifiers_ = key.modifiers & kModifierBits;
  inputSeen_ = true;
  if (key.key == VirtualKey::Escape && !popups_.empty()) {
    dismissPopups();
    return true;
  }
  if (focus_) {
    Ref<View> v(focus_);
    if (v->onKeyDown(key)) return true;
  }
  return onFrameKeyDown(key);
}

bool Frame::platformKeyUp(const KeyEvent& key) {
  Ref<Frame> keep(this);
  modifiers_ = key.modifiers & kModifierBits;
  if (focus_) {
    Ref<View> v(focus_);
    if (v->onKeyUp(key)) return true;
  }
  return onFrameKeyUp(key);
}

// ---------------------------------------------------------------- timers

Timer::Timer(std::function<void(Timer*)> callback, std::uint32_t intervalMs, bool start)
    : callback_(std::move(callback)), interval_(std::max<std::uint32_t>(1, intervalMs)) {
  if (start) this->start();
}

Timer::~Timer() { stop(); }

void Timer::start() {
  RunLoop& loop = RunLoop::instance();
  due_ = loop.now() + interval_;
  if (!running_) loop.timers_.push_back(this);
  running_ = true;
}

void Timer::stop() {
  if (!running_) return;
  running_ = false;
  std::erase(RunLoop::instance().timers_, this);
}

RunLoop& RunLoop::instance() {
  static RunLoop loop;
  return loop;
}

std::uint64_t RunLoop::now() const {
  if (manual_) return manualNow_;
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void RunLoop::useManualClock(bool on) {
  manual_ = on;
  manualNow_ = 0;
  for (Timer* t : timers_) t->due_ = now() + t->interval_;
}

void RunLoop::advance(std::uint32_t ms) {
  if (!manual_) return;
  std::uint64_t end = manualNow_ + ms;
  // Step from due time to due time so every tick is seen.
  while (true) {
    std::uint64_t next = end;
    for (Timer* t : timers_) next = std::min(next, t->due_);
    manualNow_ = std::max(manualNow_, next);
    process();
    if (manualNow_ >= end) break;
  }
}

int RunLoop::process() {
  std::uint64_t t = now();
  std::vector<Timer*> due;
  for (Timer* timer : timers_)
    if (timer->due_ <= t) due.push_back(timer);
  for (Timer* timer : due) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;  // stopped meanwhile
    timer->due_ = t + timer->interval_;
    timer->callback_(timer);
  }
  auto work = std::move(deferred_);
  deferred_.clear();
  for (auto& w : work) w.second();
  if (timers_.empty()) return -1;
  std::uint64_t next = UINT64_MAX;
  for (Timer* timer : timers_) next = std::min(next, timer->due_);
  std::uint64_t n = now();
  return next <= n ? 0 : static_cast<int>(std::min<std::uint64_t>(next - n, 1000));
}

void RunLoop::post(std::function<void()> work) { deferred_.emplace_back(nullptr, std::move(work)); }

void RunLoop::postOnce(const void* key, std::function<void()> work) {
  for (auto& w : deferred_)
    if (w.first == key && key) return;
  deferred_.emplace_back(key, std::move(work));
}

}  // namespace tk
