#include "gui/backend/ControlPeers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gui/backend/Convert.h"
#include "gui/backend/Resources.h"
#include "gui/toolkit/Frame.h"

namespace Quarrytone {

namespace {

tk::MouseResult ToToolkit(int result, bool allowNoMore) {
  if (result == kQRVMouseHandled) return tk::MouseResult::Handled;
  if (allowNoMore && result == kQRVMouseHandledNoMore) return tk::MouseResult::HandledNoMore;
  return tk::MouseResult::NotHandled;
}

int Mask(std::uint32_t buttons) { return static_cast<int>(buttons & kQRVButtonMask); }

void DetachPeer(QRVEngineView* peer, QRVBaseControl*) {
  auto* state = dynamic_cast<PeerState*>(peer);
  if (!state) return;
  state->control_ = nullptr;
  if (state->parked_) {
    state->parked_ = false;
    state->view_->forget();  // destroys the view and with it this peer
  }
}

// The text, colour, font and alignment a text control carries into its label or edit peer.
template <typename Peer>
void ApplyTextProperties(Peer& peer, const QRVTextProperties& t) {
  peer.setText(t.text);
  peer.setFontColor(t.fontColor.color());
  if (t.font) peer.setFont(t.font);
  peer.setHorizontalAlign(t.horizontalAlign);
}

struct InstallDetach {
  InstallDetach() { gQRVPeerDetach = &DetachPeer; }
} gInstallDetach;

}  // namespace

// ---------------------------------------------------------------- PeerBase

template <class I>
PeerBase<I>::~PeerBase() {
  if (control_) {
    QRVBaseControl* c = control_;
    control_ = nullptr;
    c->setPeer(nullptr);
    delete c;
  }
}

template <class I>
void PeerBase<I>::valueChanged() {
  if (control_) view_->setValue(control_->getValue());
  view_->tk::Control::notifyChange();
}

template <class I>
void PeerBase<I>::setHint(const char* text) {
  if (!text) text = "";
  view_->setAttribute(kHintAttribute, std::strlen(text) + 1, text);
}

template <class I>
void PeerBase<I>::setValue(double value) {
  view_->setValue(value);
  view_->invalid();
}

template <class I>
void PeerBase<I>::setViewSize(const QRVRect& rect) {
  view_->setViewSize(ToTk(rect));
}

template <class I>
QRVOffscreenContext* PeerBase<I>::createOffscreenContext(double width, double height, double scaleFactor) {
  tk::Frame* f = view_->getFrame();
  return new CQRVOffscreenContextWrapper(width, height, scaleFactor, f && f->platform());
}

template <class I>
void PeerBase<I>::setTag(int tag) {
  if (tag >= 0) view_->setTag(tag);
}

template <class I>
void PeerBase<I>::setMouseableArea(const QRVRect& rect) {
  view_->setMouseableArea(ToTk(rect));
}

template <class I>
void PeerBase<I>::invalidRect(const QRVRect& rect) {
  view_->invalidRect(ToTk(rect));
}

template class PeerBase<QRVEngineView>;
template class PeerBase<QRVEngineTextEdit>;
template class PeerBase<QRVEngineOptionMenu>;

// ---------------------------------------------------------------- plain peer

CQRVControlView::CQRVControlView(QRVBaseControl* control, tk::IControlListener* listener,
                                 QRVMasterGraphicalEngine* engine)
    : tk::Control(ToTk(control->getViewSize()), listener, control->getTag()),
      wrapper_(std::make_unique<CQRVBaseControlWrapper>(this, control, engine)) {
  setDefaultValue(control->getDefaultValue());
  setMax(control->getMaximum());
  setMin(control->getMinimum());
  setValue(control->getValue());
  setMouseableArea(ToTk(control->getMouseableArea()));
}

void CQRVControlView::draw(tk::DrawContext& context) {
  QRVBaseControl* c = wrapper_->control();
  if (c) {
    context.setDrawMode(kQRVControlDrawMode);
    wrapper_->attach(&context);
    c->draw(wrapper_.get());
    wrapper_->detach();
  }
  setDirty(false);
}

tk::MouseResult CQRVControlView::onMouseDown(tk::Point& where, std::uint32_t buttons) {
  tk::Ref<tk::View> keep(this);
  QRVBaseControl* c = wrapper_->control();
  if (!c) return tk::MouseResult::NotHandled;
  int masked = Mask(buttons);
  int result = c->onMouseDown(ToQRV(where), masked);
  c = wrapper_->control();
  // The listener hears of a gesture only when a button-up will close it: an answer of 3 (or a
  // press not taken) brings no further events.
  if (result == kQRVMouseHandled && c && c->isEditing() && !isEditing()) beginEdit();
  if (c && c->reportsMouseDown() && wrapper_->engine()) wrapper_->engine()->controlMouseDown(c->getTag(), masked);
  return ToToolkit(result, true);
}

tk::MouseResult CQRVControlView::onMouseMoved(tk::Point& where, std::uint32_t buttons) {
  QRVBaseControl* c = wrapper_->control();
  if (!c) return tk::MouseResult::NotHandled;
  return ToToolkit(c->onMouseMoved(ToQRV(where), Mask(buttons)), false);
}

tk::MouseResult CQRVControlView::onMouseUp(tk::Point& where, std::uint32_t buttons) {
  tk::Ref<tk::View> keep(this);
  QRVBaseControl* c = wrapper_->control();
  if (!c) return tk::MouseResult::NotHandled;
  int result = c->onMouseUp(ToQRV(where), Mask(buttons));
  c = wrapper_->control();
  if (isEditing() && !(c && c->isEditing())) endEdit();
  return ToToolkit(result, false);
}

tk::MouseResult CQRVControlView::onMouseEntered(tk::Point& where, std::uint32_t buttons) {
  QRVBaseControl* c = wrapper_->control();
  if (!c) return tk::MouseResult::NotHandled;
  return ToToolkit(c->onMouseEntered(ToQRV(where), Mask(buttons)), false);
}

tk::MouseResult CQRVControlView::onMouseExited(tk::Point& where, std::uint32_t buttons) {
  QRVBaseControl* c = wrapper_->control();
  if (!c) return tk::MouseResult::NotHandled;
  return ToToolkit(c->onMouseExited(ToQRV(where), Mask(buttons)), false);
}

bool CQRVControlView::onWheel(const tk::Point& where, float distance, std::uint32_t buttons) {
  QRVBaseControl* c = wrapper_->control();
  if (!c) return false;
  return c->onMouseWheel(ToQRV(where), distance, Mask(buttons));
}

// ---------------------------------------------------------------- text label

CQRVTextLabel::CQRVTextLabel(QRVBaseControl* control, tk::IControlListener* listener,
                             QRVMasterGraphicalEngine* engine)
    : tk::TextLabel(ToTk(control->getViewSize()), "", listener, control->getTag()),
      wrapper_(new CQRVTextLabelWrapper(this, control, engine)) {
  setFont(tk::standardFont());
}

CQRVTextLabel::~CQRVTextLabel() { delete wrapper_; }

void CQRVTextLabelWrapper::setBackColor(QRVColor color) { label_->setBackColor(ToTk(color)); }
void CQRVTextLabelWrapper::setText(const char* text) { label_->setText(text ? text : ""); }
void CQRVTextLabelWrapper::setFont(QRVFont* font) {
  if (tk::Font* f = ToolkitFont(font)) label_->setFont(f);
}
void CQRVTextLabelWrapper::setFontColor(QRVColor color) { label_->setFontColor(ToTk(color)); }

// ---------------------------------------------------------------- edit box

CQRVEditBox::CQRVEditBox(QRVBaseControl* control, tk::IControlListener* listener, QRVMasterGraphicalEngine* engine)
    : tk::TextEdit(ToTk(control->getViewSize()), listener, control->getTag()),
      wrapper_(new CQRVEditBoxWrapper(this, control, engine)) {
  setFont(tk::standardFont());
}

CQRVEditBox::~CQRVEditBox() { delete wrapper_; }

void CQRVEditBox::notifyChange() {
  tk::Ref<tk::View> keep(this);
  // The control's end of edit is its commit: it reads the text back and converts it. The listener
  // hears of the commit once, from the control when it reports a value, else from here.
  reported = false;
  committed = true;
  if (QRVBaseControl* c = wrapper_->control()) {
    c->beginEdit();
    c->endEdit();
  }
  if (!reported) tk::TextEdit::notifyChange();
  reported = false;
}

void CQRVEditBox::looseFocus() {
  tk::Ref<tk::View> keep(this);
  bool wasEditing = isTyping();
  committed = false;
  tk::TextEdit::looseFocus();
  if (wasEditing && !committed)
    if (QRVBaseControl* c = wrapper_->control()) c->editCancelled();
}

bool CQRVEditBox::onWheel(const tk::Point&, float distance, std::uint32_t) {
  if (wheelSteps <= 1) return false;
  // The field's own bounds: the range given by setRange, or 0..1 while none is set.
  double lo = std::min(getMin(), getMax()), hi = std::max(getMin(), getMax());
  double v = std::clamp(getValue() + static_cast<double>(distance) / wheelSteps, lo, hi);
  storeValue(v);
  if (precision >= 0) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", static_cast<int>(precision), v);
    setText(text);
  }
  tk::TextEdit::notifyChange();
  return true;
}

void CQRVEditBox::draw(tk::DrawContext& context) {
  // The first extra colour, when set, is the field's background while editing.
  if (isTyping() && hasExtraColor[0]) {
    context.setFillColor(extraColors[0]);
    context.drawRect(size_, tk::kDrawFilled);
  }
  if (isTyping() && hasExtraColor[1]) setSelectionColor(extraColors[1]);
  tk::TextEdit::draw(context);
}

void CQRVEditBoxWrapper::valueChanged() {
  if (control_) view_->setValue(control_->getValue());
  box_->reported = true;
  box_->tk::TextEdit::notifyChange();
}

void CQRVEditBoxWrapper::setBackColor(QRVColor color) { box_->setBackColor(ToTk(color)); }
void CQRVEditBoxWrapper::setText(const char* text) { box_->setText(text ? text : ""); }
void CQRVEditBoxWrapper::setFont(QRVFont* font) {
  if (tk::Font* f = ToolkitFont(font)) box_->setFont(f);
}
void CQRVEditBoxWrapper::setFontColor(QRVColor color) { box_->setFontColor(ToTk(color)); }

void CQRVEditBoxWrapper::takeFocus() {
  if (tk::Frame* f = box_->getFrame())
    f->setFocusView(box_);
  else
    box_->takeFocus();
}

void CQRVEditBoxWrapper::setPlaceholder(const char* text) {
  box_->setPlaceholder(text ? text : "");
  box_->invalid();
}

void CQRVEditBoxWrapper::setMaxLength(int characters) {
  if (characters < 1) return;
  box_->setMaxLength(static_cast<std::size_t>(characters));
  // The limit applies to the text already there as well.
  box_->setText(box_->getText());
}

void CQRVEditBoxWrapper::setMaxBytes(int bytes) {
  if (bytes < 1) return;
  box_->setMaxBytes(static_cast<std::size_t>(bytes));
  box_->setText(box_->getText());
}

void CQRVEditBoxWrapper::setExtra(int i, QRVColor c) {
  box_->extraColors[i] = ToTk(c);
  box_->hasExtraColor[i] = true;
  box_->invalid();
}

void CQRVEditBoxWrapper::setPrecision(float digits) {
  box_->precision = (digits >= 0 && digits <= 15) ? std::floor(digits) : -1.0f;
}

void CQRVEditBoxWrapper::setRange(double minimum, double maximum) {
  box_->rangeMin = minimum;
  box_->rangeMax = maximum;
  // An empty range means unset; the field's value then keeps the control's 0..1.
  if (minimum == maximum) return;
  box_->setMin(std::min(minimum, maximum));
  box_->setMax(std::max(minimum, maximum));
}

void CQRVEditBoxWrapper::setWheelSteps(int steps) {
  if (steps > 1) box_->wheelSteps = steps;
}

void CQRVEditBoxWrapper::setStyle(unsigned bits) {
  unsigned keep = box_->getStyle() & 0x80u;
  box_->setStyle((bits & ~0x80u) | keep);
}

// ---------------------------------------------------------------- option menu

CQRVOptionMenu::CQRVOptionMenu(QRVBaseControl* control, tk::IControlListener* listener,
                               QRVMasterGraphicalEngine* engine)
    : tk::OptionMenu(ToTk(control->getViewSize()), listener, control->getTag()),
      wrapper_(new CQRVOptionMenuWrapper(this, control, engine)) {}

CQRVOptionMenu::~CQRVOptionMenu() { delete wrapper_; }

void CQRVOptionMenu::draw(tk::DrawContext& context) {
  // A control that draws itself takes over; otherwise the toolkit's look.
  if (QRVBaseControl* c = wrapper_->control(); c && c->getPeerKind() == kQRVPeerOptionMenu) {
    context.setDrawMode(kQRVControlDrawMode);
    wrapper_->attach(&context);
    c->draw(wrapper_);
    wrapper_->detach();
  }
  tk::OptionMenu::draw(context);
}

void CQRVOptionMenuWrapper::addEntry(const char* title, int index, int type) {
  int flags = type == kQRVMenuTitle ? tk::OptionMenu::kTitle
              : type == kQRVMenuChecked ? tk::OptionMenu::kChecked
                                        : tk::OptionMenu::kPlain;
  menu_->addEntry(title ? title : "", index, flags);
}

void CQRVOptionMenuWrapper::setEntryTitle(const char* title, int index) {
  menu_->setEntryTitle(index, title ? title : "");
}

const char* CQRVOptionMenuWrapper::getEntryTitle(int index) {
  const tk::OptionMenu::Entry* e = menu_->getEntry(index);
  return e ? e->title.c_str() : nullptr;
}

// ---------------------------------------------------------------- creation

tk::Control* CreatePeer(QRVBaseControl* control, tk::IControlListener* listener, QRVMasterGraphicalEngine* engine) {
  if (!control) return nullptr;
  int kind = control->getPeerKind();
  auto applyTexts = [control](QRVEngineView* peer) {
    if (*control->getTooltip()) peer->setTooltip(control->getTooltip());
    if (*control->getHint()) peer->setHint(control->getHint());
  };
  if ((kind >= 1 && kind <= 9) || kind == kQRVPeerCustom) {
    auto* view = new CQRVControlView(control, listener, engine);
    control->setPeer(view->wrapper());
    applyTexts(view->wrapper());
    return view;
  }
  const QRVTextProperties* t = control->getTextProperties();
  if (kind == kQRVPeerTextLabel) {
    auto* view = new CQRVTextLabel(control, listener, engine);
    CQRVTextLabelWrapper* peer = view->wrapper();
    control->setPeer(peer);
    peer->setBackColor(control->getBackColor());
    applyTexts(peer);
    if (t) ApplyTextProperties(*peer, *t);
    return view;
  }
  if (kind == kQRVPeerTextEdit) {
    auto* view = new CQRVEditBox(control, listener, engine);
    CQRVEditBoxWrapper* peer = view->wrapper();
    control->setPeer(peer);
    peer->setBackColor(control->getBackColor());
    applyTexts(peer);
    if (t) {
      ApplyTextProperties(*peer, *t);
      if (t->hasExtraColor[0]) peer->setExtraColor1(t->extraColors[0].color());
      if (t->hasExtraColor[1]) peer->setExtraColor2(t->extraColors[1].color());
      if (t->hasExtraColor[2]) peer->setExtraColor3(t->extraColors[2].color());
      if (t->hasExtraColor[3]) peer->setExtraColor4(t->extraColors[3].color());
      if (t->precision >= 0) peer->setPrecision(t->precision);
      peer->setRange(t->rangeMin, t->rangeMax);
      peer->setStyle(t->style);
      peer->setMaxLength(t->maxLength);
      peer->setMaxBytes(t->maxBytes);
      if (t->placeholder[0]) peer->setPlaceholder(t->placeholder);
    }
    return view;
  }
  if (kind == kQRVPeerOptionMenu) {
    auto* view = new CQRVOptionMenu(control, listener, engine);
    control->setPeer(view->wrapper());
    applyTexts(view->wrapper());
    return view;
  }
  return nullptr;
}

tk::Control* PeerView(QRVBaseControl* control) {
  if (!control || !control->getPeer()) return nullptr;
  auto* state = dynamic_cast<PeerState*>(control->getPeer());
  return state ? state->view_ : nullptr;
}

}  // namespace Quarrytone
