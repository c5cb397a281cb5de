#include "format/aax/QRV_Wrappers/QRV_AAX_Product.h"

// Defined by the build when the product layer is part of it.
#ifdef QRV_HAVE_PRODUCT_CONTROLLER
#include "controller/warmGlowController.h"
#endif

namespace qrv::aax {

std::unique_ptr<QRVBaseParametersController> CreateProductController([[maybe_unused]] QRVMasterController& owner) {
#ifdef QRV_HAVE_PRODUCT_CONTROLLER
  return std::make_unique<warmGlowController>(owner);
#else
  return nullptr;
#endif
}

}  // namespace qrv::aax
