// The editor window as the AAX GUI object hosts it: the host-independent window (V4 with the preset
// bar) plus the links to the instance's parameter hub and to the GUI object, the window rectangle last
// given to the host, editor changes turned into host parameter changes, and mouse-downs on host
// parameters offered to the host's view. Main thread only.
#pragma once

#include <cstdint>

#include "format/aax/QRV_Wrappers/QRV_AAX_EditorLink.h"
#include "gui/editor/EditorWrapperV4.h"

namespace qrv::aax {

class QRV_AAX_ControllerWrapper;
class QRV_QVWG_2300_QRV_AAXWrapper_GUI;

// The preset bar every editor window made from now on builds (none: the bar area stays empty). Set once
// by the layer that provides the bar, before instances exist.
void SetPresetBarFactory(Quarrytone::QRVPresetBarFactory factory);

// Host modifier bits of a parameter mouse-down from the toolkit's buttons and the keys held now.
uint32_t HostModifiers(uint32_t buttons, uint32_t heldNow);

class QRV_AAX_EditorWrapper final : public Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar,
                                    public QRV_AAX_EditorLink,
                                    private Quarrytone::QRVEditorHost {
 public:
  QRV_AAX_EditorWrapper();
  ~QRV_AAX_EditorWrapper() override;

  void setController(QRV_AAX_ControllerWrapper* controller) { controller_ = controller; }
  QRV_AAX_ControllerWrapper* controller() const { return controller_; }
  void setGui(QRV_QVWG_2300_QRV_AAXWrapper_GUI* gui) { gui_ = gui; }
  QRV_QVWG_2300_QRV_AAXWrapper_GUI* gui() const { return gui_; }

  // The window rectangle last given to the host (all -1 until the first resize).
  double hostLeft() const { return hostRect_[0]; }
  double hostTop() const { return hostRect_[1]; }
  double hostRight() const { return hostRect_[2]; }
  double hostBottom() const { return hostRect_[3]; }
  // The size to tell the host: the stored rectangle, first taken from the window when it is empty.
  void viewSize(double& width, double& height);

  // The editor's own parameter change, through the host seam: the hub's editor change.
  void parameterChanged(int index, double value) override;
  void controlMouseDown(int tag, int buttons) override;
  // The host view's answer for a mouse-down on the control of tag; the index's flags when it is no
  // host parameter or no GUI object is linked.
  int32_t HandleControlMouseDown(int index, int buttons);

  // QRV_AAX_EditorLink.
  void ValueChangedByController(int index, double value) override { valueChangedByController(index, value); }
  intptr_t ForwardFromController(int32_t selector, intptr_t value, void* data) override;

 private:
  // Quarrytone::QRVEditorHost: the window's reports. Touch and release reach the host through the hub
  // (every editor change is touched and released there), so grabs add nothing.
  void beginEdit(int) override {}
  void endEdit(int) override {}
  void setValue(int index, double value) override;
  void resizeRequest(int width, int height) override;
  // The data model's High quality, for the configuration's row.
  int highQuality() override;
  void setHighQuality(bool on) override;

  void storeHostRect();
  QRV_AAX_ControllerWrapper* controller_ = nullptr;
  QRV_QVWG_2300_QRV_AAXWrapper_GUI* gui_ = nullptr;
  double hostRect_[4] = {-1.0, -1.0, -1.0, -1.0};
};

}  // namespace qrv::aax
