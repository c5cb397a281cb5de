#include "format/aax/sdk/AAX_VController.h"

void* AAX_QueryHost(AAX_IACFUnknown* host, AAX_CTypeID iid) {
  void* p = nullptr;
  if (host == nullptr || host->QueryInterface(iid, &p) != AAX_SUCCESS) return nullptr;
  return p;
}

AAX_VController::AAX_VController(AAX_IACFUnknown* host)
    : c_(static_cast<AAX_IController*>(AAX_QueryHost(host, AAX_IID_Controller))) {}

AAX_VAutomationDelegate::AAX_VAutomationDelegate(AAX_IACFUnknown* host)
    : a_(static_cast<AAX_IAutomationDelegate*>(AAX_QueryHost(host, AAX_IID_AutomationDelegate))) {}
