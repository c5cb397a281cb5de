#include "tests/crossplatform/CrossRender.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::cross {
namespace {

Outcome Run(const std::vector<uint8_t>* state) {
  using namespace vst3::test;
  Outcome o;
  Module module;
  if (!module.ok()) return {{}, {}, "VST3 module: " + module.error()};
  Host host;
  Instance instance(module, host, kStereo);
  if (!instance.ok()) return {{}, {}, "no VST3 instance"};
  Changes changes;
  if (state != nullptr) {
    if (!instance.Load(*state)) return {{}, {}, "the VST3 state does not load"};
  } else {
    // Normalised values at the first block, as a host's automation brings them to the processor.
    for (ParamID id = 0; id < 7; ++id) changes.Add(id, 0, kSettings[id]);
  }
  if (!instance.Activate(kRate, static_cast<int32_t>(kBlock))) return {{}, {}, "VST3 activate failed"};
  instance.Render(Input(), o.render, kBlock, state != nullptr ? nullptr : &changes);
  instance.Deactivate();
  if (!instance.Save(o.state)) o.error = "the VST3 state does not save";
  return o;
}

}  // namespace

Outcome Vst3WithSettings() { return Run(nullptr); }
Outcome Vst3FromState(const std::vector<uint8_t>& state) { return Run(&state); }

}  // namespace qrv::cross
