// The instance state load over arbitrary streams (the CLAP binding's state, the standalone application's
// state file): the 'All ' chunk, the other A/B slot and the footer, whole, cut or corrupt.
//
// A refused load changes nothing; an accepted one saves again as a stream that loads into a fresh
// instance and saves as the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "controller/InstancePresets.h"
#include "fuzz/ScratchUser.h"

namespace {

struct Side {
  qrv::InstanceValues values;
  qrv::InstancePresets state{values};
  Side() {
    for (auto& v : values) v.store(0.5);
  }
  std::vector<uint8_t> Save(uint32_t flags) {
    std::vector<uint8_t> out;
    if (!state.SaveStream(out, flags)) std::abort();
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Keeps the process-wide preset library alive between inputs, as a host's other instances do.
  static Side keeper;
  static const bool kept = (keeper.state.presetManager(), true);
  (void)kept;

  Side side;
  const std::vector<uint8_t> before = side.Save(0);
  uint32_t flags = 0;
  if (!side.state.LoadStream(std::span<const uint8_t>(data, size), flags)) {
    if (side.Save(0) != before) std::abort();  // a refused state changed the instance
    return 0;
  }
  side.state.PublishValues();
  const std::vector<uint8_t> after = side.Save(flags);
  Side reloaded;
  uint32_t again = 0;
  if (!reloaded.state.LoadStream(after, again) || again != flags) std::abort();
  reloaded.state.PublishValues();
  if (reloaded.Save(again) != after) std::abort();  // what was saved does not reload as itself
  return 0;
}
