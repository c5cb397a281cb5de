// The GUI object of one instance: accepts the host's view container, keeps the toolkit's platform layer
// counted while a view is attached, sizes the view and relays custom meters. The editor itself is hosted
// through QRV_AAX_EditorLink once it is attached. Main thread.
#pragma once

#include <array>

#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"
#include "format/aax/sdk/AAX_CEffectGUI.h"

namespace qrv::aax {

class QRV_QVWG_2300_QRV_AAXWrapper_GUI final : public AAX_CEffectGUI {
 public:
  QRV_QVWG_2300_QRV_AAXWrapper_GUI();

  AAX_Result GetViewSize(double* width, double* height) const override;
  AAX_Result ParameterUpdated(AAX_CParamID id) override;
  AAX_Result TimerWakeup() override;

  void* parentWindow() const { return parent_; }

 protected:
  void CreateViewContainer() override;
  void DeleteViewContainer() override;

 private:
  void* parent_ = nullptr;
  bool counted_ = false;
  std::array<int, kCustomMeterCount> customMeters_;
};

}  // namespace qrv::aax
