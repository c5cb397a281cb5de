#include "gui/backend/ViewContainerWrapper.h"

#include "gui/backend/ControlPeers.h"
#include "gui/backend/Convert.h"
#include "gui/backend/Resources.h"

namespace Quarrytone {

namespace {
bool gContinuousRedraw = false;

tk::Control* ControlView(QRVBaseControl* control) { return PeerView(control); }
}  // namespace

bool GetContinuousRedraw() { return gContinuousRedraw; }

CQRVViewContainer::~CQRVViewContainer() {
  // Children first: their controls may still reach the container wrapper.
  removeAll();
  delete painter_;
  if (wrapper_) {
    wrapper_->container_ = nullptr;
    wrapper_->ownsContainer_ = false;
    CQRVViewContainerWrapper* w = wrapper_;
    wrapper_ = nullptr;
    delete w;
  }
}

void CQRVViewContainer::setOverlayPainter(QRVOverlayPainter* painter) {
  if (painter == painter_) return;
  delete painter_;
  painter_ = painter;
  invalid();
}

void CQRVViewContainer::drawBackgroundRect(tk::DrawContext& context, const tk::Rect& rect) {
  tk::ViewContainer::drawBackgroundRect(context, rect);
  if (tint_.a > 0) {
    context.setFillColor(tint_);
    context.drawRect(rect, tk::kDrawFilled);
  }
  if (gContinuousRedraw) setDirty(true);
}

void CQRVViewContainer::drawOverlay(tk::DrawContext& context) {
  if (!painter_) return;
  context.saveGlobalState();
  context.setDrawMode(kQRVControlDrawMode);
  drawContext_.attach(&context);
  painter_->draw(&drawContext_);
  drawContext_.detach();
  context.restoreGlobalState();
}

CQRVViewContainerWrapper::CQRVViewContainerWrapper(QRVMasterGraphicalEngine* engine, tk::IControlListener* listener,
                                                   const QRVRect& rect, bool frameLevel)
    : container_(new CQRVViewContainer(ToTk(rect))), engine_(engine), listener_(listener), frameLevel_(frameLevel) {
  container_->wrapper_ = this;
}

CQRVViewContainerWrapper::~CQRVViewContainerWrapper() {
  if (!container_) return;  // destroyed by its container
  closePopup();
  CQRVViewContainer* c = container_;
  c->wrapper_ = nullptr;
  container_ = nullptr;
  if (ownsContainer_)
    c->forget();
  else if (tk::ViewContainer* parent = c->getParent())
    parent->removeView(c, true);
}

bool CQRVViewContainerWrapper::attachTo(tk::ViewContainer* parent) {
  if (!container_ || !parent || !parent->addView(container_)) return false;
  if (ownsContainer_) {
    ownsContainer_ = false;
    container_->forget();
  }
  return true;
}

bool CQRVViewContainerWrapper::detachFrom(tk::ViewContainer* parent) {
  if (!container_ || !parent || container_->getParent() != parent) return false;
  // The parent's reference comes back to the wrapper.
  if (!parent->removeView(container_, false)) return false;
  ownsContainer_ = true;
  return true;
}

bool CQRVViewContainerWrapper::openAsPopup(tk::Frame* frame, std::function<void()> dismiss) {
  if (!container_ || !frame || !ownsContainer_ || container_->getParent()) return false;
  frame->addPopup(container_, std::move(dismiss));
  return frame->isPopup(container_);
}

bool CQRVViewContainerWrapper::closePopup() {
  if (!isOpenAsPopup()) return false;
  static_cast<tk::Frame*>(container_->getParent())->removePopup(container_);
  return true;
}

bool CQRVViewContainerWrapper::isOpenAsPopup() const {
  if (!container_ || !ownsContainer_) return false;
  auto* frame = dynamic_cast<tk::Frame*>(container_->getParent());
  return frame && frame->isPopup(container_);
}

void CQRVViewContainerWrapper::setViewSize(const QRVRect& rect) {
  if (!container_) return;
  container_->setViewSize(ToTk(rect));
  container_->setMouseableArea(ToTk(rect));
  container_->invalid();
}

QRVRect CQRVViewContainerWrapper::getViewSize() { return container_ ? ToQRV(container_->getViewSize()) : QRVRect{}; }

void CQRVViewContainerWrapper::setBackground(QRVBitmap* bitmap) {
  if (container_) container_->setBackground(ToolkitBitmap(bitmap));
}

void CQRVViewContainerWrapper::setBackgroundById(int resourceId) {
  if (!container_) return;
  auto* b = new CQRVBitmap(resourceId);
  container_->setBackground(b);
  b->forget();
}

void CQRVViewContainerWrapper::setBackgroundColor(QRVColor color) {
  if (container_) container_->setBackgroundColor(ToTk(color));
}

void CQRVViewContainerWrapper::setTintColor(QRVColor color) {
  if (container_) container_->setTintColor(ToTk(color));
}

void CQRVViewContainerWrapper::setVisible(bool visible) {
  if (container_) container_->setVisible(visible);
}

bool CQRVViewContainerWrapper::isVisible() { return container_ && container_->isVisible(); }

void CQRVViewContainerWrapper::setMouseableArea(const QRVRect& rect) {
  if (container_) container_->setMouseableArea(ToTk(rect));
}

bool CQRVViewContainerWrapper::isAttached() { return container_ && container_->isAttached(); }

void CQRVViewContainerWrapper::setContinuousRedraw(bool on) { gContinuousRedraw = on; }

bool CQRVViewContainerWrapper::addContainer(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  if (!w || w == this) return false;
  return w->attachTo(container_);
}

bool CQRVViewContainerWrapper::removeContainer(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  if (!w) return false;
  return w->detachFrom(container_);
}

bool CQRVViewContainerWrapper::addControl(QRVBaseControl* control) {
  if (!container_ || !control) return false;
  tk::Control* view = ControlView(control);
  if (view) {
    // A control taken out earlier comes back with its peer.
    auto* state = dynamic_cast<PeerState*>(control->getPeer());
    if (view->getParent() || !container_->addView(view)) return false;
    if (state && state->parked_) {
      state->parked_ = false;
      view->forget();
    }
  } else {
    view = CreatePeer(control, listener_, engine_);
    if (!view) return false;
    container_->addView(view);
    view->forget();
  }
  control->setContainer(this);
  view->invalid();
  return true;
}

bool CQRVViewContainerWrapper::removeControl(QRVBaseControl* control) {
  if (!container_ || !control) return false;
  int kind = control->getPeerKind();
  if (kind < 2 || kind > 13) return false;
  tk::Control* view = ControlView(control);
  if (!view || view->getParent() != container_) return false;
  if (!container_->removeView(view, false)) return false;
  if (auto* state = dynamic_cast<PeerState*>(control->getPeer())) state->parked_ = true;
  control->setContainer(nullptr);
  return true;
}

int CQRVViewContainerWrapper::getTagAt(const QRVPoint& where, bool deep) {
  if (!container_) return -1;
  // where is in this container's coordinates; getViewAt expects its parent's.
  tk::Point p{where.x + container_->getViewSize().left, where.y + container_->getViewSize().top};
  tk::View* v = container_->getViewAt(p, deep);
  auto* c = dynamic_cast<tk::Control*>(v);
  return c ? c->getTag() : -1;
}

bool CQRVViewContainerWrapper::containsContainer(QRVViewContainer* container, bool deep) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  if (!container_ || !w || !w->container_) return false;
  return container_->isChild(w->container_, deep);
}

bool CQRVViewContainerWrapper::containsControl(QRVBaseControl* control, bool deep) {
  tk::Control* view = ControlView(control);
  return container_ && view && container_->isChild(view, deep);
}

void CQRVViewContainerWrapper::setOverlayPainter(QRVOverlayPainter* painter) {
  if (container_)
    container_->setOverlayPainter(painter);
  else
    delete painter;
}

}  // namespace Quarrytone
