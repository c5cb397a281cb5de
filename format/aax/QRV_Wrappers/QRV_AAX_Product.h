// Creates the product's parameters controller for a hub; null when the module is built without one.
#pragma once

#include <memory>

#include "presets/QRVBaseParametersController.h"
#include "presets/QRVMasterController.h"

namespace qrv::aax {
std::unique_ptr<QRVBaseParametersController> CreateProductController(QRVMasterController& owner);
}
