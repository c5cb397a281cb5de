// The controller's view factory where the module has no editor (Windows): no view, so hosts show their
// generic controls.
#include "format/vst3/Vst3Plugin.h"

namespace qrv::vst3 {

abi::IPlugView* Vst3Plugin::createView(abi::FIDString) { return nullptr; }

}  // namespace qrv::vst3
