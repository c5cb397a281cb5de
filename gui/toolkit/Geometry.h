// Value types, button bits and reference counting of the view toolkit. Coordinates are layout
// points; the frame's zoom is a transform applied on top of them.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tk {

struct Point {
  double x = 0.0;
  double y = 0.0;
  Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
  Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
  bool operator==(const Point& o) const = default;
};

struct Rect {
  double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
  double width() const { return right - left; }
  double height() const { return bottom - top; }
  bool empty() const { return !(right > left && bottom > top); }
  bool contains(const Point& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool containsInclusive(const Point& p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
  Rect offset(double dx, double dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect inset(double dx, double dy) const { return {left + dx, top + dy, right - dx, bottom - dy}; }
  Rect normalized() const {
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  }
  Rect intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    if (r.empty()) return {};
    return r;
  }
  Rect unite(const Rect& o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
  bool operator==(const Rect& o) const = default;
};

struct Color {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Color& o) const = default;
};

// Mouse buttons and modifiers; the bit values are shared with the engine interface.
enum Buttons : std::uint32_t {
  kLButton = 0x2,
  kMButton = 0x4,
  kRButton = 0x8,
  kShift = 0x10,
  kControl = 0x20,
  kAlt = 0x40,
  kApple = 0x80,
  kButton4 = 0x100,
  kButton5 = 0x200,
  kDoubleClick = 0x400,
  kButtonBits = 0x30E,
  kModifierBits = 0xF0,
};

enum class MouseResult { Handled = 1, NotHandled = 2, HandledNoMore = 3 };

enum class VirtualKey {
  None, Back, Tab, Return, Escape, Space, Left, Right, Up, Down, Home, End, Delete, PageUp, PageDown,
  Shift, Control, Alt, Apple, Enter
};

struct KeyEvent {
  char32_t character = 0;  // 0 for keys without a character
  VirtualKey key = VirtualKey::None;
  std::uint32_t modifiers = 0;
};

// Intrusive count: starts at 1, the last forget deletes.
class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;
  void remember() { ++count_; }
  void forget() {
    if (--count_ == 0) delete this;
  }
  int refCount() const { return count_; }

 private:
  int count_ = 1;
};

// Holds one reference; assignment remembers the new object and forgets the old one.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(T* p) : p_(p) {  // NOLINT: implicit on purpose
    if (p_) p_->remember();
  }
  Ref(const Ref& o) : Ref(o.p_) {}
  Ref& operator=(const Ref& o) { return (*this = o.p_); }
  Ref& operator=(T* p) {
    if (p) p->remember();
    if (p_) p_->forget();
    p_ = p;
    return *this;
  }
  ~Ref() {
    if (p_) p_->forget();
  }
  // Takes over a reference the caller already owns.
  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace tk
