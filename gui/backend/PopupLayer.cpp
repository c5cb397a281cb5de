#include "gui/engine/QRVEngineServices.h"

#include "gui/backend/ControlPeers.h"
#include "gui/backend/Convert.h"
#include "gui/backend/ViewContainerWrapper.h"

namespace Quarrytone {

namespace {

tk::Frame* WindowOf(QRVBaseControl* control) {
  tk::Control* view = PeerView(control);
  return view ? view->getFrame() : nullptr;
}

}  // namespace

bool ControlToWindow(QRVBaseControl* control, QRVPoint& point) {
  tk::Control* view = PeerView(control);
  if (!view || !view->getFrame()) return false;
  point = ToQRV(view->parentToFrame(ToTk(point)));
  return true;
}

bool ControlWindowSize(QRVBaseControl* control, QRVRect& size) {
  tk::Frame* frame = WindowOf(control);
  if (!frame) return false;
  size = ToQRV(frame->getViewSize());
  return true;
}

bool ControlScreenSize(QRVBaseControl* control, int& width, int& height) {
  tk::Frame* frame = WindowOf(control);
  return frame && frame->platform() && frame->platform()->getScreenSize(width, height);
}

QRVViewContainer* CreatePopupContainer(QRVBaseControl* owner, const QRVRect& rect) {
  auto* beside = owner ? dynamic_cast<CQRVViewContainerWrapper*>(owner->getContainer()) : nullptr;
  if (!beside) return nullptr;
  return new CQRVViewContainerWrapper(beside->engine(), beside->listener(), rect, true);
}

bool OpenPopup(QRVBaseControl* owner, QRVViewContainer* container, std::function<void()> dismiss) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  tk::Frame* frame = WindowOf(owner);
  return w && frame && w->openAsPopup(frame, std::move(dismiss));
}

bool ClosePopup(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  return w && w->closePopup();
}

bool IsPopupOpen(QRVViewContainer* container) {
  auto* w = dynamic_cast<CQRVViewContainerWrapper*>(container);
  return w && w->isOpenAsPopup();
}

}  // namespace Quarrytone
