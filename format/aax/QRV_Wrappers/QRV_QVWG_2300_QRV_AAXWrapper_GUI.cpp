#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"

#include "format/aax/QRV_Wrappers/QRV_AAX_Module.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"

namespace qrv::aax {

QRV_QVWG_2300_QRV_AAXWrapper_GUI::QRV_QVWG_2300_QRV_AAXWrapper_GUI() : customMeters_(CustomMeterList()) {}

void QRV_QVWG_2300_QRV_AAXWrapper_GUI::CreateViewContainer() {
  AAX_IViewContainer* container = ViewContainer();
  const int32_t type = container->GetType();
  if (type != AAX_eViewContainer_Type_HWND && type != AAX_eViewContainer_Type_NSView) return;
  parent_ = container->GetPtr();
  AddToolkitUser();
  counted_ = true;
}

void QRV_QVWG_2300_QRV_AAXWrapper_GUI::DeleteViewContainer() {
  if (counted_) RemoveToolkitUser();
  counted_ = false;
  parent_ = nullptr;
}

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::GetViewSize(double* width, double* height) const {
  if (width == nullptr || height == nullptr) return AAX_ERROR_NULL_OBJECT;
  // No editor is attached to this object yet.
  *width = 1024.0;
  *height = 768.0;
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::ParameterUpdated(AAX_CParamID) { return AAX_SUCCESS; }

AAX_Result QRV_QVWG_2300_QRV_AAXWrapper_GUI::TimerWakeup() { return AAX_SUCCESS; }

}  // namespace qrv::aax
