// QRVViewContainer over a toolkit container with a tint and an overlay painter. The toolkit
// container owns its wrapper once it sits in a parent; until then (and after removal) the
// wrapper holds the container. GUI thread only.
#pragma once

#include <functional>

#include "gui/backend/DrawContextWrapper.h"
#include "gui/engine/QRVBaseControl.h"
#include "gui/toolkit/Frame.h"
#include "gui/toolkit/View.h"

namespace Quarrytone {

class CQRVViewContainerWrapper;

// Process-wide: while set, containers mark themselves dirty after drawing their background.
bool GetContinuousRedraw();

class CQRVViewContainer : public tk::ViewContainer {
 public:
  explicit CQRVViewContainer(const tk::Rect& size) : tk::ViewContainer(size) {}
  ~CQRVViewContainer() override;

  void setTintColor(tk::Color c) {
    tint_ = c;
    invalid();
  }
  tk::Color getTintColor() const { return tint_; }
  void setOverlayPainter(QRVOverlayPainter* painter);
  CQRVViewContainerWrapper* wrapper() const { return wrapper_; }

  void drawBackgroundRect(tk::DrawContext& context, const tk::Rect& rect) override;
  void drawOverlay(tk::DrawContext& context) override;

 private:
  friend class CQRVViewContainerWrapper;
  tk::Color tint_{0, 0, 0, 0};
  QRVOverlayPainter* painter_ = nullptr;
  QRVDrawContextWrapper drawContext_;
  CQRVViewContainerWrapper* wrapper_ = nullptr;
};

class CQRVViewContainerWrapper : public QRVViewContainer {
 public:
  // listener: told about value changes of every control peer made in this container.
  CQRVViewContainerWrapper(QRVMasterGraphicalEngine* engine, tk::IControlListener* listener, const QRVRect& rect,
                           bool frameLevel = false);
  ~CQRVViewContainerWrapper() override;

  void setViewSize(const QRVRect& rect) override;
  QRVRect getViewSize() override;
  void setBackground(QRVBitmap* bitmap) override;
  void setBackgroundById(int resourceId) override;
  void setBackgroundColor(QRVColor color) override;
  void setTintColor(QRVColor color) override;
  void setVisible(bool visible) override;
  bool isVisible() override;
  void setMouseableArea(const QRVRect& rect) override;
  bool isAttached() override;
  void setContinuousRedraw(bool on) override;
  bool addContainer(QRVViewContainer* container) override;
  bool addControl(QRVBaseControl* control) override;
  bool removeContainer(QRVViewContainer* container) override;
  bool removeControl(QRVBaseControl* control) override;
  int getTagAt(const QRVPoint& where, bool deep) override;
  bool containsContainer(QRVViewContainer* container, bool deep) override;
  bool containsControl(QRVBaseControl* control, bool deep) override;
  void setOverlayPainter(QRVOverlayPainter* painter) override;

  // For the editor window: put this container into a toolkit parent (the frame or the product
  // editor's container) and take it out again without destroying it.
  bool attachTo(tk::ViewContainer* parent);
  bool detachFrom(tk::ViewContainer* parent);
  // Shows this container on the frame's pop-up layer, its rectangle in window coordinates; the
  // wrapper keeps its own reference, so the container outlives the frame's. dismiss runs when
  // the frame closes its pop-ups on its own (Escape).
  bool openAsPopup(tk::Frame* frame, std::function<void()> dismiss);
  bool closePopup();
  bool isOpenAsPopup() const;

  CQRVViewContainer* container() const { return container_; }
  QRVMasterGraphicalEngine* engine() const { return engine_; }
  bool isFrameLevel() const { return frameLevel_; }
  tk::IControlListener* listener() const { return listener_; }

 private:
  friend class CQRVViewContainer;
  CQRVViewContainer* container_;
  QRVMasterGraphicalEngine* engine_;
  tk::IControlListener* listener_;
  bool frameLevel_;
  bool ownsContainer_ = true;  // the wrapper holds the container's reference
};

}  // namespace Quarrytone
