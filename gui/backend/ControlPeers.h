// Peers: the toolkit objects that stand for controls on screen. Each toolkit view owns its peer
// wrapper, and the wrapper owns the control it carries. The toolkit calls the view; the view
// forwards events to the control and draws it with the wrapper as its QRVDrawContext.
#pragma once

#include <memory>

#include "gui/backend/DrawContextWrapper.h"
#include "gui/engine/QRVBaseControl.h"
#include "gui/toolkit/View.h"

namespace Quarrytone {

// The hint text of a view, stored with its terminating zero; read by the editor's idle timer.
inline constexpr std::uint32_t kHintAttribute = tk::FourCC('Q', 'R', 'h', 'A');

// What every peer keeps, whatever its interface.
struct PeerState {
  PeerState(tk::Control* view, QRVBaseControl* control, QRVMasterGraphicalEngine* engine)
      : view_(view), control_(control), engine_(engine) {}
  virtual ~PeerState() = default;
  tk::Control* view_;
  QRVBaseControl* control_;
  QRVMasterGraphicalEngine* engine_;
  // Set while the view is outside any container and the peer holds its reference.
  bool parked_ = false;
};

// The QRVEngineView slots common to every peer kind.
template <class Interface>
class PeerBase : public Interface, public PeerState {
 public:
  PeerBase(tk::Control* view, QRVBaseControl* control, QRVMasterGraphicalEngine* engine)
      : PeerState(view, control, engine) {}
  ~PeerBase() override;

  void invalid() override { view_->invalid(); }
  void valueChanged() override;
  void setTooltip(const char* text) override { view_->setTooltipText(text); }
  void setHint(const char* text) override;
  void setBackColor(QRVColor) override {}
  void setValue(double value) override;
  void setViewSize(const QRVRect& rect) override;
  bool isAttached() override { return view_->isAttached(); }
  QRVOffscreenContext* createOffscreenContext(double width, double height, double scaleFactor) override;
  void setTag(int tag) override;
  int getTag() override { return view_->getTag(); }
  void setMouseableArea(const QRVRect& rect) override;
  void invalidRect(const QRVRect& rect) override;

  QRVBaseControl* control() const { return control_; }
  tk::Control* view() const { return view_; }
  QRVMasterGraphicalEngine* engine() const { return engine_; }
};

// Peer of kinds 1 to 9 and 13; also the draw context of the control it carries.
class CQRVBaseControlWrapper : public PeerBase<QRVEngineView>, public QRVDrawContextWrapper {
 public:
  using PeerBase<QRVEngineView>::PeerBase;
};

// The toolkit control of a plain peer.
class CQRVControlView : public tk::Control {
 public:
  CQRVControlView(QRVBaseControl* control, tk::IControlListener* listener, QRVMasterGraphicalEngine* engine);
  CQRVBaseControlWrapper* wrapper() const { return wrapper_.get(); }

  void draw(tk::DrawContext& context) override;
  tk::MouseResult onMouseDown(tk::Point& where, std::uint32_t buttons) override;
  tk::MouseResult onMouseMoved(tk::Point& where, std::uint32_t buttons) override;
  tk::MouseResult onMouseUp(tk::Point& where, std::uint32_t buttons) override;
  tk::MouseResult onMouseEntered(tk::Point& where, std::uint32_t buttons) override;
  tk::MouseResult onMouseExited(tk::Point& where, std::uint32_t buttons) override;
  bool onWheel(const tk::Point& where, float distance, std::uint32_t buttons) override;

 private:
  std::unique_ptr<CQRVBaseControlWrapper> wrapper_;
};

class CQRVTextLabelWrapper;
class CQRVEditBoxWrapper;
class CQRVOptionMenuWrapper;

class CQRVTextLabel : public tk::TextLabel {
 public:
  CQRVTextLabel(QRVBaseControl* control, tk::IControlListener* listener, QRVMasterGraphicalEngine* engine);
  ~CQRVTextLabel() override;
  CQRVTextLabelWrapper* wrapper() const { return wrapper_; }

 private:
  CQRVTextLabelWrapper* wrapper_;
};

// Text label peer: the text slots work, the editing slots do nothing.
class CQRVTextLabelWrapper : public PeerBase<QRVEngineTextEdit> {
 public:
  CQRVTextLabelWrapper(CQRVTextLabel* view, QRVBaseControl* control, QRVMasterGraphicalEngine* engine)
      : PeerBase(view, control, engine), label_(view) {}
  void setBackColor(QRVColor color) override;
  void setText(const char* text) override;
  const char* getText() override { return label_->getText().c_str(); }
  void setFont(QRVFont* font) override;
  void setFontColor(QRVColor color) override;
  void takeFocus() override {}
  void reserved18() override {}
  std::uint8_t getFlag() override { return 0; }
  void setExtraColor1(QRVColor) override {}
  void setExtraColor2(QRVColor) override {}
  void setExtraColor3(QRVColor) override {}
  void setExtraColor4(QRVColor) override {}
  void setPrecision(float) override {}
  void setRange(double, double) override {}
  void setWheelSteps(int) override {}
  void setStyle(unsigned) override {}
  void setFlag(std::uint8_t) override {}
  void setHorizontalAlign(int align) override { label_->setHoriAlign(align); }
  void setPlaceholder(const char*) override {}
  void setMaxLength(int) override {}
  void setMaxBytes(int) override {}

 private:
  CQRVTextLabel* label_;
};

// The toolkit edit field of a text edit peer, with its extra colours, precision, range and
// wheel steps.
class CQRVEditBox : public tk::TextEdit {
 public:
  CQRVEditBox(QRVBaseControl* control, tk::IControlListener* listener, QRVMasterGraphicalEngine* engine);
  ~CQRVEditBox() override;
  CQRVEditBoxWrapper* wrapper() const { return wrapper_; }

  // A commit from the keyboard: the control takes the text, then the listener is told.
  void notifyChange() override;
  bool onWheel(const tk::Point& where, float distance, std::uint32_t buttons) override;
  void draw(tk::DrawContext& context) override;
  // An edit that ends without a commit (Escape) is reported to the control as cancelled.
  void looseFocus() override;

  tk::Color extraColors[4];
  bool hasExtraColor[4] = {false, false, false, false};
  float precision = -1.0f;
  double rangeMin = 0.0, rangeMax = 0.0;
  int wheelSteps = 0;
  std::uint8_t flag = 0;
  // Set when the control reported the committed value itself.
  bool reported = false;
  // Set by a commit; read when the focus goes.
  bool committed = false;

 private:
  CQRVEditBoxWrapper* wrapper_;
};

class CQRVEditBoxWrapper : public PeerBase<QRVEngineTextEdit> {
 public:
  CQRVEditBoxWrapper(CQRVEditBox* view, QRVBaseControl* control, QRVMasterGraphicalEngine* engine)
      : PeerBase(view, control, engine), box_(view) {}
  void valueChanged() override;
  void setBackColor(QRVColor color) override;
  void setText(const char* text) override;
  const char* getText() override { return box_->getText().c_str(); }
  void setFont(QRVFont* font) override;
  void setFontColor(QRVColor color) override;
  void takeFocus() override;
  void reserved18() override {}
  std::uint8_t getFlag() override { return box_->flag; }
  void setExtraColor1(QRVColor c) override { setExtra(0, c); }
  void setExtraColor2(QRVColor c) override { setExtra(1, c); }
  void setExtraColor3(QRVColor c) override { setExtra(2, c); }
  void setExtraColor4(QRVColor c) override { setExtra(3, c); }
  void setPrecision(float digits) override;
  void setRange(double minimum, double maximum) override;
  void setWheelSteps(int steps) override;
  void setStyle(unsigned bits) override;
  void setFlag(std::uint8_t flag) override { box_->flag = flag; }
  void setHorizontalAlign(int align) override { box_->setHoriAlign(align); }
  void setPlaceholder(const char* text) override;
  void setMaxLength(int characters) override;
  void setMaxBytes(int bytes) override;

 private:
  void setExtra(int i, QRVColor c);
  CQRVEditBox* box_;
};

class CQRVOptionMenu : public tk::OptionMenu {
 public:
  CQRVOptionMenu(QRVBaseControl* control, tk::IControlListener* listener, QRVMasterGraphicalEngine* engine);
  ~CQRVOptionMenu() override;
  CQRVOptionMenuWrapper* wrapper() const { return wrapper_; }
  void draw(tk::DrawContext& context) override;

 private:
  CQRVOptionMenuWrapper* wrapper_;
};

class CQRVOptionMenuWrapper : public PeerBase<QRVEngineOptionMenu>, public QRVDrawContextWrapper {
 public:
  CQRVOptionMenuWrapper(CQRVOptionMenu* view, QRVBaseControl* control, QRVMasterGraphicalEngine* engine)
      : PeerBase(view, control, engine), menu_(view) {}
  void addEntry(const char* title, int index, int type) override;
  void setEntryTitle(const char* title, int index) override;
  void setCurrent(int index) override { menu_->setCurrent(index); }
  int getCurrent() override { return menu_->getCurrent(); }
  const char* getEntryTitle(int index) override;
  int getEntryCount() override { return menu_->getEntryCount(); }
  bool removeEntry(int index) override { return menu_->removeEntry(index); }
  void openMenu() override { menu_->popup(); }
  std::uint8_t getFlag() override { return flag_; }
  void popup() override { menu_->popup(); }
  void reserved23() override {}

 private:
  CQRVOptionMenu* menu_;
  std::uint8_t flag_ = 0;
};

// Makes the peer for a control by its peer kind and returns its toolkit view (one reference,
// for the caller to hand to a container); null for kinds without a peer.
tk::Control* CreatePeer(QRVBaseControl* control, tk::IControlListener* listener, QRVMasterGraphicalEngine* engine);
// The toolkit view behind a control's peer, else null.
tk::Control* PeerView(QRVBaseControl* control);

}  // namespace Quarrytone
