// Views, containers and controls of the toolkit. A view's rectangle is in its parent's
// coordinates; mouse handlers receive points in those coordinates too. Containers own their
// children (one reference each). GUI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "gui/toolkit/DrawContext.h"
#include "gui/toolkit/Geometry.h"
#include "gui/toolkit/Resources.h"

namespace tk {

class Frame;
class ViewContainer;

constexpr std::uint32_t FourCC(char a, char b, char c, char d) {
  return (std::uint32_t(std::uint8_t(a)) << 24) | (std::uint32_t(std::uint8_t(b)) << 16) |
         (std::uint32_t(std::uint8_t(c)) << 8) | std::uint32_t(std::uint8_t(d));
}
// The tooltip text of a view, stored with its terminating zero.
inline constexpr std::uint32_t kTooltipAttribute = FourCC('c', 't', 't', 't');

class View : public RefCounted {
 public:
  explicit View(const Rect& size);
  ~View() override;

  virtual void draw(DrawContext& context);
  virtual MouseResult onMouseDown(Point& where, std::uint32_t buttons);
  virtual MouseResult onMouseMoved(Point& where, std::uint32_t buttons);
  virtual MouseResult onMouseUp(Point& where, std::uint32_t buttons);
  virtual MouseResult onMouseEntered(Point& where, std::uint32_t buttons);
  virtual MouseResult onMouseExited(Point& where, std::uint32_t buttons);
  virtual bool onWheel(const Point& where, float distance, std::uint32_t buttons);
  virtual bool onKeyDown(const KeyEvent& key);
  virtual bool onKeyUp(const KeyEvent& key);
  virtual void takeFocus() {}
  virtual void looseFocus() {}

  virtual void setViewSize(const Rect& rect, bool invalidate = true);
  const Rect& getViewSize() const { return size_; }
  virtual void setMouseableArea(const Rect& rect) { mouseArea_ = rect; }
  const Rect& getMouseableArea() const { return mouseArea_; }
  void setMouseEnabled(bool on) { mouseEnabled_ = on; }
  bool getMouseEnabled() const { return mouseEnabled_; }
  void setVisible(bool on);
  bool isVisible() const { return visible_; }

  // Marks the whole view for repainting now.
  virtual void invalid();
  // rect in this view's parent coordinates.
  void invalidRect(const Rect& rect);
  // Dirty views are repainted at the frame's next idle.
  void setDirty(bool dirty) { dirty_ = dirty; }
  bool isDirty() const { return dirty_; }

  bool setAttribute(std::uint32_t id, std::size_t size, const void* data);
  bool getAttributeSize(std::uint32_t id, std::size_t& size) const;
  bool getAttribute(std::uint32_t id, std::size_t size, void* data, std::size_t& outSize) const;
  bool removeAttribute(std::uint32_t id);
  void setTooltipText(const char* text);
  std::string getTooltipText() const;

  ViewContainer* getParent() const { return parent_; }
  Frame* getFrame() const;
  bool isAttached() const { return getFrame() != nullptr; }
  virtual ViewContainer* asContainer() { return nullptr; }
  // Converts between this view's parent coordinates and frame layout coordinates.
  Point parentToFrame(const Point& p) const;
  Point frameToParent(const Point& p) const;

  // Called by containers.
  virtual void attached(ViewContainer* parent) { parent_ = parent; }
  virtual void removed() { parent_ = nullptr; }

 protected:
  Rect size_;
  Rect mouseArea_;
  ViewContainer* parent_ = nullptr;
  bool dirty_ = false;
  bool visible_ = true;
  bool mouseEnabled_ = true;
  std::map<std::uint32_t, std::vector<std::uint8_t>> attributes_;
};

class ViewContainer : public View {
 public:
  explicit ViewContainer(const Rect& size);
  ~ViewContainer() override;

  ViewContainer* asContainer() override { return this; }
  // Takes one reference (the container owns the view).
  bool addView(View* view);
  // Takes the view out; with forget the container's reference is dropped, without it the caller
  // receives that reference.
  bool removeView(View* view, bool forget = true);
  void removeAll();
  bool isChild(const View* view, bool deep = false) const;
  const std::vector<View*>& children() const { return children_; }
  // The topmost visible, mouse-enabled view whose mouse area holds the point (parent coordinates).
  View* getViewAt(const Point& where, bool deep = false) const;

  void setBackground(Bitmap* bitmap);
  Bitmap* getBackground() const { return background_.get(); }
  void setBackgroundColor(Color c);
  Color getBackgroundColor() const { return backgroundColor_; }

  void draw(DrawContext& context) override;
  virtual void drawBackgroundRect(DrawContext& context, const Rect& rect);
  // Hook after the children, in container coordinates.
  virtual void drawOverlay(DrawContext&) {}

  // A child that took a button-down receives the moves and the button-up until then.
  MouseResult onMouseDown(Point& where, std::uint32_t buttons) override;
  MouseResult onMouseMoved(Point& where, std::uint32_t buttons) override;
  MouseResult onMouseUp(Point& where, std::uint32_t buttons) override;
  bool onWheel(const Point& where, float distance, std::uint32_t buttons) override;
  View* getMouseDownView() const { return mouseDownView_; }

 protected:
  std::vector<View*> children_;
  View* mouseDownView_ = nullptr;
  Ref<Bitmap> background_;
  Color backgroundColor_{0, 0, 0, 0};
};

class Control;

class IControlListener {
 public:
  virtual ~IControlListener() = default;
  virtual void valueChanged(Control* control) = 0;
  virtual void controlBeginEdit(Control*) {}
  virtual void controlEndEdit(Control*) {}
  virtual void controlTagWillChange(Control*) {}
  virtual void controlTagDidChange(Control*) {}
};

class Control : public View {
 public:
  Control(const Rect& size, IControlListener* listener = nullptr, int tag = -1, Bitmap* background = nullptr);

  void setListener(IControlListener* l) { listener_ = l; }
  IControlListener* getListener() const { return listener_; }
  virtual void setValue(double v);
  double getValue() const { return value_; }
  void setMin(double v) { min_ = v; }
  void setMax(double v) { max_ = v; }
  void setDefaultValue(double v) { default_ = v; }
  double getMin() const { return min_; }
  double getMax() const { return max_; }
  double getDefaultValue() const { return default_; }
  virtual void setTag(int tag);
  int getTag() const { return tag_; }
  void setBackground(Bitmap* bitmap) { background_ = bitmap; }
  Bitmap* getBackground() const { return background_.get(); }

  // Tells the listener.
  virtual void notifyChange();
  // The gesture bracket: the listener hears begin at the first begin and end at the matching last end.
  void beginEdit();
  void endEdit();
  bool isEditing() const { return gestureDepth_ > 0; }

  void draw(DrawContext& context) override;

 protected:
  // Sets the value without the bounds check or the redraw of setValue, for subclasses that keep it in step
  // with state of their own.
  void storeValue(double v) { value_ = v; }

 private:
  IControlListener* listener_;
  int tag_;
  double value_ = 0.0, min_ = 0.0, max_ = 1.0, default_ = 0.5;
  int gestureDepth_ = 0;  // nesting of beginEdit / endEdit
  Ref<Bitmap> background_;
};

// Text label styles.
enum TextStyle : std::uint32_t { kShadowText = 1, kNoTextStyle = 8, kNoDrawStyle = 16, kRoundRectStyle = 32,
                                 kNoFrame = 64 };

class TextLabel : public Control {
 public:
  TextLabel(const Rect& size, const std::string& text = "", IControlListener* listener = nullptr, int tag = -1);

  virtual void setText(const std::string& text);
  const std::string& getText() const { return text_; }
  void setFont(Font* font) {
    font_ = font;
    invalid();
  }
  Font* getFont() const { return font_.get(); }
  void setFontColor(Color c) {
    fontColor_ = c;
    invalid();
  }
  Color getFontColor() const { return fontColor_; }
  void setBackColor(Color c) {
    backColor_ = c;
    invalid();
  }
  Color getBackColor() const { return backColor_; }
  void setFrameColor(Color c) { frameColor_ = c; }
  void setHoriAlign(int align) {
    align_ = align;
    invalid();
  }
  int getHoriAlign() const { return align_; }
  void setStyle(std::uint32_t style) {
    style_ = style;
    invalid();
  }
  std::uint32_t getStyle() const { return style_; }

  void draw(DrawContext& context) override;

 protected:
  void drawBack(DrawContext& context);
  std::string text_;
  Ref<Font> font_;
  Color fontColor_{255, 255, 255, 255};
  Color backColor_{0, 0, 0, 0};
  Color frameColor_{0, 0, 0, 255};
  int align_ = kCenterText;
  std::uint32_t style_ = 0;
};

// Single-line editing: a click takes focus and places the caret, typing inserts, Backspace and
// Delete remove, Home/End and the arrows move (Shift extends the selection), Return commits
// (the listener is told), Escape restores the text from before the edit.
class TextEdit : public TextLabel {
 public:
  TextEdit(const Rect& size, IControlListener* listener = nullptr, int tag = -1, const std::string& text = "");

  void setText(const std::string& text) override;
  // Whether the field has the keyboard: from taking focus to commit, cancel or losing focus.
  bool isTyping() const { return typing_; }
  // A text field's "editing" is ambiguous: isTyping() for the keyboard, Control::isEditing() for the
  // gesture bracket.
  bool isEditing() const = delete;
  void setMaxLength(std::size_t n) { maxLength_ = n; }
  // UTF-8 bytes the field takes besides the character limit (a file name's bytes, say).
  void setMaxBytes(std::size_t n) { maxBytes_ = n; }
  void setPlaceholder(const std::string& s) { placeholder_ = s; }
  void setSelectionColor(Color c) { selectionColor_ = c; }
  std::size_t caret() const { return caret_; }
  std::size_t selectionAnchor() const { return anchor_; }
  void selectAll();

  void draw(DrawContext& context) override;
  MouseResult onMouseDown(Point& where, std::uint32_t buttons) override;
  MouseResult onMouseMoved(Point& where, std::uint32_t buttons) override;
  MouseResult onMouseUp(Point& where, std::uint32_t buttons) override;
  bool onKeyDown(const KeyEvent& key) override;
  void takeFocus() override;
  void looseFocus() override;

 private:
  void deleteSelection();
  std::size_t indexAt(double x);
  void finish(bool commit);

  bool typing_ = false;
  bool cancelled_ = false;
  bool dragging_ = false;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  std::size_t maxLength_ = 255;
  std::size_t maxBytes_ = SIZE_MAX;
  std::string placeholder_;
  std::string before_;
  Color selectionColor_{60, 110, 170, 255};
};

// A button that pops up a list of entries; its value is the chosen index.
class OptionMenu : public Control {
 public:
  enum EntryFlags : int { kPlain = 0, kTitle = 1, kChecked = 2, kSeparator = 4 };
  struct Entry {
    std::string title;
    int flags;
  };
  OptionMenu(const Rect& size, IControlListener* listener = nullptr, int tag = -1);

  // index -1 appends.
  void addEntry(const std::string& title, int index = -1, int flags = kPlain);
  bool setEntryTitle(int index, const std::string& title);
  bool removeEntry(int index);
  int getEntryCount() const { return static_cast<int>(entries_.size()); }
  const Entry* getEntry(int index) const;
  void setCurrent(int index);
  int getCurrent() const { return current_; }
  void setFont(Font* f) { font_ = f; }
  void setFontColor(Color c) { fontColor_ = c; }
  void setBackColor(Color c) { backColor_ = c; }
  // Opens the list over the frame; a click on a selectable entry chooses it.
  bool popup();
  bool isOpen() const;
  // Called by the list.
  void choose(int index);

  void draw(DrawContext& context) override;
  MouseResult onMouseDown(Point& where, std::uint32_t buttons) override;

 private:
  std::vector<Entry> entries_;
  int current_ = 0;
  Ref<Font> font_;
  Color fontColor_{230, 230, 230, 255};
  Color backColor_{40, 40, 40, 255};
  View* list_ = nullptr;
  friend class MenuList;
};

}  // namespace tk
