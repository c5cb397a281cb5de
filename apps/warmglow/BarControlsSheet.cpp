#include "apps/warmglow/BarControlsSheet.h"

#include <algorithm>
#include <initializer_list>

#include "gui/engine/EditorPalette.h"
#include "gui/backend/ArtworkExport.h"
#include "gui/engine/QRVEngineServices.h"
#include "gui/presetbar/PresetBarControls.h"

namespace qrv::presetbar {

namespace {

constexpr QRVColor kBarColor = Quarrytone::palette::kBar;
constexpr double kCaptionX = 8, kFirstColumn = 118, kColumn = 72, kRow = 46, kTop = 24;

// A line of text on the sheet.
class Caption : public QRVCustomControl {
 public:
  Caption(const QRVRect& rect, const char* text, Quarrytone::SharedFont font, QRVColor color, int align)
      : QRVCustomControl(rect, -1, nullptr), text_(text), font_(font), color_(color), align_(align) {}
  void draw(QRVDrawContext* context) override {
    context->setFont(Quarrytone::GetSharedFont(font_));
    context->setFontColor(color_);
    context->drawString(text_, viewRect_, align_);
  }

 private:
  const char* text_;
  Quarrytone::SharedFont font_;
  QRVColor color_;
  int align_;
};

class Sheet {
 public:
  explicit Sheet(Quarrytone::ArtworkWindow& window) : window_(window) {}

  void title(int row, const char* text) {
    add(new Caption(QRVRect{kCaptionX, top(row), kFirstColumn - 4, top(row) + 28}, text,
                    Quarrytone::SharedFont::Arial11, QRVColor{200, 200, 200, 255}, kQRVAlignLeft));
  }
  // The control's cell rectangle (60 x 28 unless given) and a caption under it.
  QRVRect cell(int row, int column, const char* caption, double width = 60, double height = 28, double dx = 0) {
    double left = kFirstColumn + column * kColumn + dx, t = top(row);
    double half = std::max(width / 2 + 6, kColumn / 2), middle = left + width / 2;
    add(new Caption(QRVRect{middle - half, t + 30, middle + half, t + 42}, caption, Quarrytone::SharedFont::Arial9,
                    QRVColor{140, 140, 140, 255}, kQRVAlignCenter));
    return QRVRect{left, t + (28 - height) / 2, left + width, t + (28 - height) / 2 + height};
  }
  template <class T>
  T* add(T* control) {
    window_.container()->addControl(control);
    return control;
  }
  static double top(int row) { return kTop + row * kRow; }

 private:
  Quarrytone::ArtworkWindow& window_;
};

QRVPoint Centre(const QRVRect& r) { return QRVPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

void Hover(PresetBarBasicControl* c, QRVPoint at) { c->onMouseEntered(at, 0); }
void Press(PresetBarBasicControl* c, QRVPoint at) {
  c->onMouseEntered(at, 0);
  c->onMouseDown(at, kQRVLButton);
}

PresetBarLabelOnOffButton* OnOff(Sheet& s, const QRVRect& r, int tag, const char* label, int kind) {
  auto* b = s.add(new PresetBarLabelOnOffButton(r, tag, label, kind));
  b->setBackColor(kBarColor);
  b->setFullWidthHover();
  if (kind == PresetBarLabelOnOffButton::kIconTarget) {
    b->onColor_.set(Quarrytone::palette::kAssignOn);
    b->autoOffDelay_ = 333;
  } else {
    b->momentary_ = true;
    b->shiftHalves_ = true;
  }
  return b;
}

}  // namespace

bool WriteBarControlsSheet(const std::string& path, std::string* error) {
  constexpr int kRows = 15;
  const double width = kFirstColumn + 5 * kColumn + 190, height = kTop + kRows * kRow + 8;
  Quarrytone::ArtworkWindow window(width, height, 2.0, kBarColor);
  Sheet s(window);
  s.add(new Caption(QRVRect{kCaptionX, 4, width - 8, 20}, "Preset-bar controls (twice the layout size)",
                    Quarrytone::SharedFont::Arial13, QRVColor{230, 230, 230, 255}, kQRVAlignLeft));
  int row = 0;

  s.title(row, "Label button");
  for (int i = 0; i < 4; ++i) {
    static const char* kCaptions[] = {"normal", "hover", "pressed", "dimmed"};
    QRVRect r = s.cell(row, i, kCaptions[i]);
    auto* b = s.add(new PresetBarLabelButton(r, 49, "Copy"));
    if (i == 1) Hover(b, Centre(r));
    if (i == 2) Press(b, Centre(r));
    if (i == 3) b->overlayEnabled_ = true;
  }
  s.title(++row, "Kick button");
  for (int i = 0; i < 2; ++i) {
    QRVRect r = s.cell(row, i, i ? "hover" : "normal");
    auto* b = s.add(new PresetBarLabelKickButton(r, 36, "Save"));
    if (i == 1) Hover(b, Centre(r));
  }
  struct IconRow {
    const char* title;
    int tag;
    const char* label;
    int kind;
  };
  for (const IconRow& icon : {IconRow{"User default", 95, "D", PresetBarLabelOnOffButton::kIconStarOutline},
                              IconRow{"Favourite", 97, "1", PresetBarLabelOnOffButton::kIconStarFilled},
                              IconRow{"Assign", 96, "Assign", PresetBarLabelOnOffButton::kIconTarget}}) {
    s.title(++row, icon.title);
    static const char* kCaptions[] = {"normal", "hover", "on", "dimmed", "on, dimmed"};
    for (int i = 0; i < 5; ++i) {
      QRVRect r = s.cell(row, i, kCaptions[i], 22, 26, 19);
      auto* b = OnOff(s, r, icon.tag, icon.label, icon.kind);
      if (i == 1) Hover(b, Centre(r));
      if (i == 2 || i == 4) b->setValue(1.0);
      if (i >= 3) b->overlayEnabled_ = true;
    }
  }
  s.title(++row, "Zoom percentage");
  for (int i = 0; i < 4; ++i) {
    static const char* kCaptions[] = {"normal", "hover", "pressed", "menu open"};
    QRVRect r = s.cell(row, i, kCaptions[i]);
    auto* b = s.add(new PresetBarScaleMenuButton(r, 60));
    b->setZoomFactor(1.25);
    if (i == 1) Hover(b, Centre(r));
    if (i == 2) {
      Hover(b, Centre(r));
      // A click opens the menu as well; only the button's look is wanted here.
      b->onMouseDown(Centre(r), kQRVLButton);
      b->getMenuHandler()->closePopup();
    }
    if (i == 3) b->setValue(1.0);
  }
  s.title(++row, "Previous / next");
  for (int i = 0; i < 4; ++i) {
    static const char* kCaptions[] = {"normal", "hover", "hover left", "pressed right"};
    QRVRect r = s.cell(row, i, kCaptions[i]);
    auto* n = s.add(new PresetBarNudgeControl(r, 32));
    if (i == 1) Hover(n, QRVPoint{r.left + 2, r.top + 2});
    if (i == 2) Hover(n, Centre(n->getLeftRect()));
    if (i == 3) {
      Hover(n, Centre(n->getRightRect()));
      n->onMouseDown(Centre(n->getRightRect()), kQRVLButton);
    }
  }
  s.title(++row, "Undo / redo");
  for (int i = 0; i < 3; ++i) {
    static const char* kCaptions[] = {"normal", "hover undo", "hover redo"};
    QRVRect r = s.cell(row, i, kCaptions[i]);
    auto* u = s.add(new PresetBarUndoRedoControl(r, 81));
    if (i == 1) Hover(u, Centre(u->getLeftRect()));
    if (i == 2) Hover(u, Centre(u->getRightRect()));
  }
  s.title(++row, "A/B switch");
  for (int i = 0; i < 3; ++i) {
    static const char* kCaptions[] = {"A", "B", "hover"};
    QRVRect r = s.cell(row, i, kCaptions[i]);
    auto* ab = s.add(new ABCompPresetBarControl(r, 82));
    if (i == 1) ab->setValue(1.0);
    if (i == 2) Hover(ab, Centre(r));
  }
  s.title(++row, "A/B copy");
  for (int i = 0; i < 4; ++i) {
    static const char* kCaptions[] = {"A to B", "B to A", "hover", "pressed"};
    QRVRect r = s.cell(row, i, kCaptions[i]);
    auto* c = s.add(new ABCopyPresetBarControl(r, 83));
    c->direction_ = i != 1;
    if (i == 2) Hover(c, Centre(r));
    if (i == 3) Press(c, Centre(r));
  }
  s.title(++row, "Configuration");
  for (int i = 0; i < 3; ++i) {
    static const char* kCaptions[] = {"closed", "hover", "open"};
    QRVRect r = s.cell(row, i, kCaptions[i], 30, 28, 15);
    auto* c = s.add(new PresetBarConfigMenuButton(r, 63));
    if (i == 1) Hover(c, Centre(r));
    if (i == 2) c->setValue(1.0);
  }
  s.title(++row, "Zoom corner");
  s.add(new PresetBarScaleCornerControl(s.cell(row, 0, "grip", 20, 20, 20), 60));

  struct NameLook {
    const char* caption;
    const char* name;
    double width;
  };
  const NameLook names[] = {{"normal", "03: Glue Things Together", 238},
                            {"hover on the E icon", "03: Glue Things Together", 238},
                            {"modified", "03: Glue Things Together *", 238},
                            {"menu open, hover", "03: Glue Things Together", 238},
                            {"long name, shortened", "12: A Very Long Preset Name For The Mix Bus", 238},
                            {"editing", "03: Glue Things Together", 238}};
  PresetBarNameControl* editing = nullptr;
  for (int i = 0; i < 6; ++i) {
    if (i % 2 == 0) s.title(++row, i == 0 ? "Preset name" : "");
    QRVRect r = s.cell(row, (i % 2) * 0, names[i].caption, names[i].width, 20, (i % 2) * 250);
    auto* n = s.add(new PresetBarNameControl(r, 30));
    n->setName(names[i].name);
    if (i == 1) Hover(n, Centre(n->getIconRect()));
    if (i == 2) n->setModified(true);
    if (i == 3) {
      n->setValue(1.0);
      Hover(n, Centre(r));
    }
    if (i == 5) editing = n;
  }

  // The zoom list, opened by a real click on a zoom button; "100%" selected, "150%" hovered.
  const double zx = kFirstColumn + 5 * kColumn + 30;
  s.add(new Caption(QRVRect{zx, Sheet::top(0) - 2, zx + 150, Sheet::top(0) + 10}, "zoom list open",
                    Quarrytone::SharedFont::Arial9, QRVColor{140, 140, 140, 255}, kQRVAlignLeft));
  QRVRect zr{zx, Sheet::top(0) + 14, zx + 60, Sheet::top(0) + 42};
  auto* zoom = s.add(new PresetBarScaleMenuButton(zr, 60));
  window.mouseDown(Centre(zr), kQRVLButton);
  window.mouseUp(Centre(zr), kQRVLButton);
  if (QRVCustomizableOptionMenu* list = zoom->getMenuHandler()->getMenu()) {
    list->setValue(0.2);
    QRVRect popup = zoom->getMenuHandler()->getPopupRect();
    if (const QRVCustomizableOptionMenuEntry* e = list->getEntry(4))
      window.mouseMove(QRVPoint{popup.left + Centre(e->rect).x, popup.top + Centre(e->rect).y});
  }
  if (editing) {
    editing->getTextEdit()->setText("Glue Things Together");
    editing->onMouseDown(Centre(editing->getTextRect()), kQRVRButton);
  }
  return window.writePng(path, error);
}

}  // namespace qrv::presetbar
