// Factory procedures 0, 5 and 1: the per-instance objects the host asks for.
#include "format/aax/QRV_Wrappers/QRV_AAX_Describe.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_DirectData.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"
#ifndef _WIN32
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"
#endif

namespace qrv::aax {

namespace {
// Nothing may escape into the host: a failed creation answers null.
template <typename T, typename Interface>
Interface* Create() {
  try {
    return new T();
  } catch (...) {
    return nullptr;
  }
}
}  // namespace

AAX_IEffectParameters* CreateEffectParameters() {
  return Create<QRV_QVWG_2300_AAX_Parameters_Wrapper, AAX_IEffectParameters>();
}
AAX_IEffectDirectData* CreateEffectDirectData() { return Create<QRV_AAX_DirectData, AAX_IEffectDirectData>(); }
#ifndef _WIN32
AAX_IEffectGUI* CreateEffectGUI() { return Create<QRV_QVWG_2300_QRV_AAXWrapper_GUI, AAX_IEffectGUI>(); }
#endif

}  // namespace qrv::aax
