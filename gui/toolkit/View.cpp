#include "gui/toolkit/View.h"

#include <cmath>
#include <cstring>

#include "gui/toolkit/Frame.h"

namespace tk {

// ---------------------------------------------------------------- View

View::View(const Rect& size) : size_(size), mouseArea_(size) {}
View::~View() = default;

void View::draw(DrawContext&) {}
MouseResult View::onMouseDown(Point&, std::uint32_t) { return MouseResult::NotHandled; }
MouseResult View::onMouseMoved(Point&, std::uint32_t) { return MouseResult::NotHandled; }
MouseResult View::onMouseUp(Point&, std::uint32_t) { return MouseResult::NotHandled; }
MouseResult View::onMouseEntered(Point&, std::uint32_t) { return MouseResult::NotHandled; }
MouseResult View::onMouseExited(Point&, std::uint32_t) { return MouseResult::NotHandled; }
bool View::onWheel(const Point&, float, std::uint32_t) { return false; }
bool View::onKeyDown(const KeyEvent&) { return false; }
bool View::onKeyUp(const KeyEvent&) { return false; }

void View::setViewSize(const Rect& rect, bool invalidate) {
  if (invalidate) invalid();
  size_ = rect;
  mouseArea_ = rect;
  if (invalidate) invalid();
}

void View::setVisible(bool on) {
  if (visible_ == on) return;
  if (!on) invalid();
  visible_ = on;
  if (on) invalid();
}

void View::invalid() {
  dirty_ = false;
  invalidRect(size_);
}

void View::invalidRect(const Rect& rect) {
  Frame* f = getFrame();
  if (!f) return;
  Point tl = parentToFrame({rect.left, rect.top});
  f->invalidateLayoutRect(Rect{tl.x, tl.y, tl.x + rect.width(), tl.y + rect.height()});
}

bool View::setAttribute(std::uint32_t id, std::size_t size, const void* data) {
  if (size > 0 && !data) return false;
  auto& v = attributes_[id];
  v.assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
  return true;
}

bool View::getAttributeSize(std::uint32_t id, std::size_t& size) const {
  auto it = attributes_.find(id);
  if (it == attributes_.end()) return false;
  size = it->second.size();
  return true;
}

bool View::getAttribute(std::uint32_t id, std::size_t size, void* data, std::size_t& outSize) const {
  auto it = attributes_.find(id);
  if (it == attributes_.end() || size < it->second.size() || (!data && !it->second.empty())) return false;
  if (!it->second.empty()) std::memcpy(data, it->second.data(), it->second.size());
  outSize = it->second.size();
  return true;
}

bool View::removeAttribute(std::uint32_t id) { return attributes_.erase(id) > 0; }

void View::setTooltipText(const char* text) {
  if (!text || !*text) {
    removeAttribute(kTooltipAttribute);
    return;
  }
  setAttribute(kTooltipAttribute, std::strlen(text) + 1, text);
}

std::string View::getTooltipText() const {
  auto it = attributes_.find(kTooltipAttribute);
  if (it == attributes_.end() || it->second.empty()) return {};
  const char* s = reinterpret_cast<const char*>(it->second.data());
  return std::string(s, strnlen(s, it->second.size()));
}

Frame* View::getFrame() const {
  const View* v = this;
  while (v->parent_) v = v->parent_;
  return dynamic_cast<Frame*>(const_cast<View*>(v));
}

Point View::parentToFrame(const Point& p) const {
  Point r = p;
  for (const ViewContainer* c = parent_; c; c = c->getParent()) {
    r.x += c->getViewSize().left;
    r.y += c->getViewSize().top;
  }
  return r;
}

Point View::frameToParent(const Point& p) const {
  Point zero = parentToFrame({0, 0});
  return p - zero;
}

// ---------------------------------------------------------------- ViewContainer

ViewContainer::ViewContainer(const Rect& size) : View(size) {}

ViewContainer::~ViewContainer() { removeAll(); }

bool ViewContainer::addView(View* view) {
  if (!view || view->getParent() || view == this) return false;
  view->remember();
  children_.push_back(view);
  view->attached(this);
  view->invalid();
  return true;
}

bool ViewContainer::removeView(View* view, bool forget) {
  auto it = std::find(children_.begin(), children_.end(), view);
  if (it == children_.end()) return false;
  view->invalid();
  if (Frame* f = getFrame()) f->viewWillBeRemoved(view);
  if (mouseDownView_ == view) mouseDownView_ = nullptr;
  children_.erase(it);
  view->removed();
  if (forget) view->forget();
  return true;
}

void ViewContainer::removeAll() {
  while (!children_.empty()) removeView(children_.back(), true);
}

bool ViewContainer::isChild(const View* view, bool deep) const {
  for (View* c : children_) {
    if (c == view) return true;
    if (deep)
      if (ViewContainer* cc = c->asContainer(); cc && cc->isChild(view, true)) return true;
  }
  return false;
}

View* ViewContainer::getViewAt(const Point& where, bool deep) const {
  Point local{where.x - size_.left, where.y - size_.top};
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    View* c = *it;
    if (!c->isVisible() || !c->getMouseEnabled() || !c->getMouseableArea().contains(local)) continue;
    if (deep)
      if (ViewContainer* cc = c->asContainer())
        if (View* inner = cc->getViewAt(local, true)) return inner;
    return c;
  }
  return nullptr;
}

void ViewContainer::setBackground(Bitmap* bitmap) {
  background_ = bitmap;
  invalid();
}

void ViewContainer::setBackgroundColor(Color c) {
  backgroundColor_ = c;
  invalid();
}

void ViewContainer::drawBackgroundRect(DrawContext& context, const Rect& rect) {
  if (backgroundColor_.a > 0) {
    context.setFillColor(backgroundColor_);
    context.drawRect(rect, kDrawFilled);
  }
  if (background_) context.drawBitmap(background_.get(), size_, Point{}, 1.0f);
}

void ViewContainer::draw(DrawContext& context) {
  if (!visible_) return;
  context.saveGlobalState();
  Rect clip = context.getClipRect().intersect(size_);
  if (!clip.empty()) {
    context.setClipRect(clip);
    drawBackgroundRect(context, size_);
    context.setOffset(context.getOffset() + Point{size_.left, size_.top});
    Rect local = clip.offset(-size_.left, -size_.top);
    for (View* c : children_) {
      if (!c->isVisible() || c->getViewSize().intersect(local).empty()) continue;
      // Cleared first: a view may mark itself dirty again while drawing (continuous redraw).
      c->setDirty(false);
      // Each view draws inside its own rectangle: only that rectangle is repainted when it changes.
      context.saveGlobalState();
      context.setClipRect(c->getViewSize().intersect(local));
      c->draw(context);
      context.restoreGlobalState();
    }
    drawOverlay(context);
  }
  context.restoreGlobalState();
}

MouseResult ViewContainer::onMouseDown(Point& where, std::uint32_t buttons) {
  Point local{where.x - size_.left, where.y - size_.top};
  // Work on a snapshot: a handler may add or remove views.
  std::vector<Ref<View>> snapshot(children_.rbegin(), children_.rend());
  for (auto& c : snapshot) {
    if (c->getParent() != this || !c->isVisible() || !c->getMouseEnabled() ||
        !c->getMouseableArea().contains(local))
      continue;
    Point p = local;
    MouseResult r = c->onMouseDown(p, buttons);
    if (r == MouseResult::NotHandled) continue;
    if (r == MouseResult::Handled && c->getParent() == this) mouseDownView_ = c.get();
    return r;
  }
  return MouseResult::NotHandled;
}

MouseResult ViewContainer::onMouseMoved(Point& where, std::uint32_t buttons) {
  if (!mouseDownView_) return MouseResult::NotHandled;
  Ref<View> keep(mouseDownView_);
  Point p{where.x - size_.left, where.y - size_.top};
  return mouseDownView_->onMouseMoved(p, buttons);
}

MouseResult ViewContainer::onMouseUp(Point& where, std::uint32_t buttons) {
  if (!mouseDownView_) return MouseResult::NotHandled;
  Ref<View> keep(mouseDownView_);
  mouseDownView_ = nullptr;
  Point p{where.x - size_.left, where.y - size_.top};
  return keep->onMouseUp(p, buttons);
}

bool ViewContainer::onWheel(const Point& where, float distance, std::uint32_t buttons) {
  Point local{where.x - size_.left, where.y - size_.top};
  std::vector<Ref<View>> snapshot(children_.rbegin(), children_.rend());
  for (auto& c : snapshot) {
    if (c->getParent() != this || !c->isVisible() || !c->getMouseEnabled() ||
        !c->getMouseableArea().contains(local))
      continue;
    if (c->onWheel(local, distance, buttons)) return true;
  }
  return false;
}

// ---------------------------------------------------------------- Control

Control::Control(const Rect& size, IControlListener* listener, int tag, Bitmap* background)
    : View(size), listener_(listener), tag_(tag), background_(background) {}

void Control::setValue(double v) {
  if (std::isnan(v)) return;
  value_ = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
}

void Control::setTag(int tag) {
  if (listener_) listener_->controlTagWillChange(this);
  tag_ = tag;
  if (listener_) listener_->controlTagDidChange(this);
}

void Control::notifyChange() {
  if (listener_) listener_->valueChanged(this);
}

void Control::beginEdit() {
  if (gestureDepth_++ == 0 && listener_) listener_->controlBeginEdit(this);
}

void Control::endEdit() {
  if (gestureDepth_ == 0) return;
  if (--gestureDepth_ == 0 && listener_) listener_->controlEndEdit(this);
}

void Control::draw(DrawContext& context) {
  if (background_) context.drawBitmap(background_.get(), size_, Point{}, 1.0f);
}

// ---------------------------------------------------------------- TextLabel

TextLabel::TextLabel(const Rect& size, const std::string& text, IControlListener* listener, int tag)
    : Control(size, listener, tag), text_(text), font_(standardFont()) {}

void TextLabel::setText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  invalid();
}

void TextLabel::drawBack(DrawContext& context) {
  if (!(style_ & kNoDrawStyle) && backColor_.a > 0) {
    context.setFillColor(backColor_);
    if (style_ & kRoundRectStyle) {
      GraphicsPath p;
      p.addRoundRect(size_, 4);
      context.drawGraphicsPath(&p, 0);
    } else {
      context.drawRect(size_, kDrawFilled);
    }
  }
  if (!(style_ & kNoFrame) && !(style_ & kNoDrawStyle)) {
    context.setFrameColor(frameColor_);
    context.setLineWidth(1);
    context.drawRect(size_.inset(0.5, 0.5), kDrawStroked);
  }
}

void TextLabel::draw(DrawContext& context) {
  drawBack(context);
  if (Bitmap* background = getBackground()) context.drawBitmap(background, size_, Point{}, 1.0f);
  if (text_.empty() || (style_ & kNoTextStyle)) return;
  context.setFont(font_.get());
  context.setFontColor(fontColor_);
  context.drawString(text_, size_.inset(2, 0), align_);
}

// ---------------------------------------------------------------- TextEdit

namespace {

std::size_t NextBoundary(const std::string& s, std::size_t i) {
  if (i >= s.size()) return s.size();
  ++i;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

std::size_t PrevBoundary(const std::string& s, std::size_t i) {
  if (i == 0) return 0;
  if (i > s.size()) return s.size();
  --i;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  return i;
}

std::size_t CodePoints(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    if (c >= 0xD800 && c < 0xE000) return {};
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x110000) {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

}  // namespace

TextEdit::TextEdit(const Rect& size, IControlListener* listener, int tag, const std::string& text)
    : TextLabel(size, text, listener, tag) {
  caret_ = anchor_ = text_.size();
}

void TextEdit::setText(const std::string& text) {
  std::string t = text;
  // Cut at a code point boundary once the length limit is reached.
  std::size_t i = 0, n = 0;
  while (i < t.size() && n < maxLength_) {
    const std::size_t next = NextBoundary(t, i);
    if (next > maxBytes_) break;
    i = next;
    ++n;
  }
  t.resize(i);
  TextLabel::setText(t);
  caret_ = anchor_ = text_.size();
}

void TextEdit::selectAll() {
  anchor_ = 0;
  caret_ = text_.size();
  invalid();
}

std::size_t TextEdit::indexAt(double x) {
  Rect r = size_.inset(2, 0);
  double tw = MeasureString(font_.get(), text_);
  double left = align_ == kLeftText ? r.left : align_ == kCenterText ? r.left + (r.width() - tw) / 2 : r.right - tw;
  std::size_t best = 0;
  double bestDistance = std::abs(x - left);
  for (std::size_t i = NextBoundary(text_, 0); i <= text_.size(); i = NextBoundary(text_, i)) {
    double d = std::abs(x - (left + MeasureString(font_.get(), text_.substr(0, i))));
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
    if (i == text_.size()) break;
  }
  return best;
}

void TextEdit::draw(DrawContext& context) {
  drawBack(context);
  context.setFont(font_.get());
  Rect r = size_.inset(2, 0);
  if (!typing_) {
    if (text_.empty() && !placeholder_.empty()) {
      Color c = fontColor_;
      c.a = static_cast<std::uint8_t>(c.a / 2);
      context.setFontColor(c);
      context.drawString(placeholder_, r, align_);
    } else {
      context.setFontColor(fontColor_);
      context.drawString(text_, r, align_);
    }
    return;
  }
  double tw = context.getStringWidth(text_);
  double left = align_ == kLeftText ? r.left : align_ == kCenterText ? r.left + (r.width() - tw) / 2 : r.right - tw;
  std::size_t a = std::min(anchor_, caret_), b = std::max(anchor_, caret_);
  double fontSize = font_ ? font_->getSize() : 12.0;
  double top = size_.top + (size_.height() - fontSize * 1.2) / 2;
  if (a != b) {
    double x0 = left + context.getStringWidth(text_.substr(0, a));
    double x1 = left + context.getStringWidth(text_.substr(0, b));
    context.setFillColor(selectionColor_);
    context.drawRect(Rect{x0, top, x1, top + fontSize * 1.2}, kDrawFilled);
  }
  context.setFontColor(fontColor_);
  context.drawString(text_, r, align_);
  double cx = std::round(left + context.getStringWidth(text_.substr(0, caret_))) + 0.5;
  context.setFrameColor(fontColor_);
  context.setLineWidth(1);
  context.drawLine(Point{cx, top}, Point{cx, top + fontSize * 1.2});
}

MouseResult TextEdit::onMouseDown(Point& where, std::uint32_t buttons) {
  if (!(buttons & kLButton)) return MouseResult::NotHandled;
  Frame* f = getFrame();
  if (!typing_) {
    if (f)
      f->setFocusView(this);
    else
      takeFocus();
    return MouseResult::HandledNoMore;
  }
  if (buttons & kDoubleClick) {
    selectAll();
    return MouseResult::HandledNoMore;
  }
  caret_ = indexAt(where.x);
  if (!(buttons & kShift)) anchor_ = caret_;
  dragging_ = true;
  invalid();
  return MouseResult::Handled;
}

MouseResult TextEdit::onMouseMoved(Point& where, std::uint32_t buttons) {
  if (!dragging_ || !(buttons & kLButton)) return MouseResult::NotHandled;
  caret_ = indexAt(where.x);
  invalid();
  return MouseResult::Handled;
}

MouseResult TextEdit::onMouseUp(Point&, std::uint32_t) {
  dragging_ = false;
  return MouseResult::Handled;
}

void TextEdit::deleteSelection() {
  std::size_t a = std::min(anchor_, caret_), b = std::max(anchor_, caret_);
  text_.erase(a, b - a);
  caret_ = anchor_ = a;
}

bool TextEdit::onKeyDown(const KeyEvent& key) {
  if (!typing_) return false;
  bool shift = key.modifiers & kShift;
  switch (key.key) {
    case VirtualKey::Return:
    case VirtualKey::Enter:
    case VirtualKey::Tab:
      finish(true);
      return true;
    case VirtualKey::Escape:
      cancelled_ = true;
      text_ = before_;
      finish(false);
      return true;
    case VirtualKey::Back:
      if (anchor_ != caret_)
        deleteSelection();
      else if (caret_ > 0) {
        std::size_t p = PrevBoundary(text_, caret_);
        text_.erase(p, caret_ - p);
        caret_ = anchor_ = p;
      }
      invalid();
      return true;
    case VirtualKey::Delete:
      if (anchor_ != caret_)
        deleteSelection();
      else if (caret_ < text_.size())
        text_.erase(caret_, NextBoundary(text_, caret_) - caret_);
      invalid();
      return true;
    case VirtualKey::Left:
      if (!shift && anchor_ != caret_)
        caret_ = std::min(anchor_, caret_);
      else
        caret_ = PrevBoundary(text_, caret_);
      if (!shift) anchor_ = caret_;
      invalid();
      return true;
    case VirtualKey::Right:
      if (!shift && anchor_ != caret_)
        caret_ = std::max(anchor_, caret_);
      else
        caret_ = NextBoundary(text_, caret_);
      if (!shift) anchor_ = caret_;
      invalid();
      return true;
    case VirtualKey::Home:
    case VirtualKey::Up:
      caret_ = 0;
      if (!shift) anchor_ = caret_;
      invalid();
      return true;
    case VirtualKey::End:
    case VirtualKey::Down:
      caret_ = text_.size();
      if (!shift) anchor_ = caret_;
      invalid();
      return true;
    default:
      break;
  }
  if (key.character == 0) return false;
  if ((key.modifiers & (kControl | kApple)) && (key.character == 'a' || key.character == 'A')) {
    selectAll();
    return true;
  }
  if (key.character < 0x20 || key.character == 0x7F || (key.modifiers & (kControl | kApple))) return false;
  std::string s = Utf8(key.character);
  if (s.empty()) return false;
  deleteSelection();
  if (CodePoints(text_) >= maxLength_ || text_.size() + s.size() > maxBytes_) return true;
  text_.insert(caret_, s);
  caret_ += s.size();
  anchor_ = caret_;
  invalid();
  return true;
}

void TextEdit::takeFocus() {
  if (typing_) return;
  typing_ = true;
  cancelled_ = false;
  before_ = text_;
  selectAll();
}

void TextEdit::looseFocus() {
  if (!typing_) return;
  typing_ = false;
  dragging_ = false;
  caret_ = anchor_ = text_.size();
  invalid();
  if (!cancelled_) notifyChange();
  cancelled_ = false;
}

void TextEdit::finish(bool commit) {
  if (!commit) cancelled_ = true;
  Frame* f = getFrame();
  if (f && f->getFocusView() == this)
    f->setFocusView(nullptr);
  else
    looseFocus();
}

// ---------------------------------------------------------------- OptionMenu

namespace {
constexpr double kEntryHeight = 18.0;
}

class MenuList : public View {
 public:
  MenuList(const Rect& size, OptionMenu* menu) : View(size), menu_(menu) {}

  void draw(DrawContext& c) override {
    c.setFillColor(Color{30, 30, 30, 245});
    c.drawRect(size_, kDrawFilled);
    c.setFrameColor(Color{120, 120, 120, 255});
    c.setLineWidth(1);
    c.drawRect(size_.inset(0.5, 0.5), kDrawStroked);
    c.setFont(menu_->font_ ? menu_->font_.get() : standardFont());
    for (int i = 0; i < menu_->getEntryCount(); ++i) {
      const auto& e = menu_->entries_[i];
      Rect row{size_.left, size_.top + i * kEntryHeight, size_.right, size_.top + (i + 1) * kEntryHeight};
      if (e.flags & OptionMenu::kSeparator) {
        c.setFrameColor(Color{90, 90, 90, 255});
        double y = std::round(row.top + row.height() / 2) + 0.5;
        c.drawLine(Point{row.left + 4, y}, Point{row.right - 4, y});
        continue;
      }
      bool selectable = !(e.flags & OptionMenu::kTitle);
      if (i == hover_ && selectable) {
        c.setFillColor(Color{60, 110, 170, 255});
        c.drawRect(row, kDrawFilled);
      }
      c.setFontColor(selectable ? Color{235, 235, 235, 255} : Color{150, 150, 150, 255});
      if ((e.flags & OptionMenu::kChecked) || i == menu_->getCurrent())
        c.drawString((e.flags & OptionMenu::kChecked) ? "\u2713" : "\u2022", Rect{row.left, row.top, row.left + 16,
                                                                                    row.bottom}, kCenterText);
      c.drawString(e.title, Rect{row.left + 18, row.top, row.right - 4, row.bottom}, kLeftText);
    }
  }

  int indexAt(const Point& p) const {
    if (!size_.contains(p)) return -1;
    int i = static_cast<int>((p.y - size_.top) / kEntryHeight);
    return i < menu_->getEntryCount() ? i : -1;
  }

  MouseResult onMouseMoved(Point& where, std::uint32_t) override {
    int i = indexAt(where);
    if (i != hover_) {
      hover_ = i;
      invalid();
    }
    return MouseResult::Handled;
  }

  MouseResult onMouseDown(Point& where, std::uint32_t buttons) override {
    Ref<View> keep(this);
    Ref<OptionMenu> menu(menu_.get());
    int i = indexAt(where);
    if (i < 0 || !(buttons & kLButton)) return MouseResult::HandledNoMore;
    const auto& e = menu->entries_[i];
    if (e.flags & (OptionMenu::kTitle | OptionMenu::kSeparator)) return MouseResult::HandledNoMore;
    if (Frame* f = getFrame()) f->removePopup(this);
    menu->choose(i);
    return MouseResult::HandledNoMore;
  }

  void removed() override {
    if (menu_ && menu_->list_ == this) menu_->list_ = nullptr;
    View::removed();
  }

 private:
  Ref<OptionMenu> menu_;
  int hover_ = -1;
};

OptionMenu::OptionMenu(const Rect& size, IControlListener* listener, int tag) : Control(size, listener, tag) {
  setMax(0);
}

void OptionMenu::addEntry(const std::string& title, int index, int flags) {
  if (title == "-") flags |= kSeparator;
  if (index < 0 || index >= getEntryCount())
    entries_.push_back({title, flags});
  else
    entries_.insert(entries_.begin() + index, Entry{title, flags});
  setMax(std::max(0, getEntryCount() - 1));
}

bool OptionMenu::setEntryTitle(int index, const std::string& title) {
  if (index < 0 || index >= getEntryCount()) return false;
  entries_[index].title = title;
  invalid();
  return true;
}

bool OptionMenu::removeEntry(int index) {
  if (index < 0 || index >= getEntryCount()) return false;
  entries_.erase(entries_.begin() + index);
  setMax(std::max(0, getEntryCount() - 1));
  if (current_ >= getEntryCount()) current_ = std::max(0, getEntryCount() - 1);
  invalid();
  return true;
}

const OptionMenu::Entry* OptionMenu::getEntry(int index) const {
  return (index >= 0 && index < getEntryCount()) ? &entries_[index] : nullptr;
}

void OptionMenu::setCurrent(int index) {
  if (index < 0 || index >= getEntryCount()) return;
  current_ = index;
  storeValue(index);
  invalid();
}

void OptionMenu::choose(int index) {
  setCurrent(index);
  beginEdit();
  notifyChange();
  endEdit();
}

bool OptionMenu::isOpen() const { return list_ != nullptr; }

bool OptionMenu::popup() {
  Frame* f = getFrame();
  if (!f || entries_.empty() || list_) return false;
  double width = size_.width();
  for (const auto& e : entries_) width = std::max(width, MeasureString(font_ ? font_.get() : standardFont(), e.title) + 26);
  double height = kEntryHeight * getEntryCount();
  Point tl = parentToFrame({size_.left, size_.bottom});
  const Rect& fr = f->getViewSize();
  if (tl.y + height > fr.height()) tl.y = std::max(0.0, fr.height() - height);
  if (tl.x + width > fr.width()) tl.x = std::max(0.0, fr.width() - width);
  auto* list = new MenuList(Rect{tl.x, tl.y, tl.x + width, tl.y + height}, this);
  list_ = list;
  f->addPopup(list);
  list->forget();
  return true;
}

void OptionMenu::draw(DrawContext& context) {
  if (backColor_.a > 0) {
    context.setFillColor(backColor_);
    context.drawRect(size_, kDrawFilled);
  }
  if (Bitmap* background = getBackground()) context.drawBitmap(background, size_, Point{}, 1.0f);
  if (const Entry* e = getEntry(current_)) {
    context.setFont(font_ ? font_.get() : standardFont());
    context.setFontColor(fontColor_);
    context.drawString(e->title, size_.inset(4, 0), kLeftText);
  }
}

MouseResult OptionMenu::onMouseDown(Point&, std::uint32_t buttons) {
  if (!(buttons & kLButton)) return MouseResult::NotHandled;
  popup();
  return MouseResult::HandledNoMore;
}

}  // namespace tk
