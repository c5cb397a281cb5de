#include "controller/HostControls.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/crossplatform/CrossRender.h"

namespace qrv::cross {
namespace {

constexpr const char* kStereoId = "com.quarry-tone.warmglow.stereo";

Outcome Run(const std::vector<uint8_t>* state) {
  Outcome o;
  clap::test::Module module;
  if (!module.ok()) return {{}, {}, "CLAP module: " + module.error()};
  clap::test::Host host;
  clap::test::Instance instance(module, host, kStereoId);
  if (instance.plugin() == nullptr) return {{}, {}, "no CLAP instance"};
  if (state != nullptr) {
    if (!instance.Load(*state)) return {{}, {}, "the CLAP state does not load"};
  } else {
    // Plain values, as a host sends them.
    clap::test::EventList events;
    for (uint32_t id = 0; id < 7; ++id)
      events.AddValue(0, id, kSettings[id] * hostcontrols::kControlPorts[id].maximum);
    instance.Flush(events);
  }
  if (!instance.Activate(kRate, kBlock)) return {{}, {}, "CLAP activate failed"};
  instance.Render(Input(), o.render, kBlock);
  instance.Deactivate();
  if (!instance.Save(o.state)) o.error = "the CLAP state does not save";
  return o;
}

}  // namespace

Outcome ClapWithSettings() { return Run(nullptr); }
Outcome ClapFromState(const std::vector<uint8_t>& state) { return Run(&state); }

}  // namespace qrv::cross
