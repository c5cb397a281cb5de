// The GUI object of one instance: owns the editor window (QRV_AAX_EditorWrapper, made with it and freed
// with it), opens it into the host's view container, keeps the toolkit's platform layer counted while a
// view is attached, tells the host the view size, relays parameter updates and custom meters to the
// editor and runs the window's timers and events on the host's GUI timer. Main thread.
#pragma once

#include <array>
#include <memory>

#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"
#include "format/aax/sdk/AAX_CEffectGUI.h"

namespace qrv::aax {

class QRV_AAX_EditorWrapper;
class QRV_AAX_ControllerWrapper;

class QRV_QVWG_2300_QRV_AAXWrapper_GUI final : public AAX_CEffectGUI {
 public:
  QRV_QVWG_2300_QRV_AAXWrapper_GUI();
  ~QRV_QVWG_2300_QRV_AAXWrapper_GUI() override;

  AAX_Result GetViewSize(double* width, double* height) const override;
  AAX_Result ParameterUpdated(AAX_CParamID id) override;
  AAX_Result TimerWakeup() override;
  AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) override;

  void* parentWindow() const { return parent_; }
  QRV_AAX_EditorWrapper* editor() const { return editor_.get(); }

  // From the editor: the view's new size, and a mouse-down on a host parameter's control.
  void RequestViewSize(double width, double height);
  AAX_Result ParameterMouseDown(AAX_CParamID id, uint32_t modifiers);

 protected:
  void CreateViewContainer() override;
  void DeleteViewContainer() override;

 private:
  QRV_AAX_ControllerWrapper* HubController() const;
  void* parent_ = nullptr;
  bool counted_ = false;
  std::array<int, kCustomMeterCount> customMeters_;
  std::unique_ptr<QRV_AAX_EditorWrapper> editor_;
};

// Runs the toolkit once without waiting: due timers (the shared idle timer), deferred updates and the
// events of the editor windows.
void PumpToolkit();

// The toolkit's platform layer for the module: holds the display connection while the toolkit has
// users. Installed when the module loads.
void InstallToolkitPlatformLayer();

}  // namespace qrv::aax
