// The CLAP state load over arbitrary streams: the 'All ' chunk, the other A/B slot and the footer, whole,
// cut or corrupt.
//
// A refused load changes nothing; an accepted one saves again as a stream that loads into a fresh
// instance and saves as the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "format/clap/ClapState.h"
#include "fuzz/ScratchUser.h"

namespace {

using qrv::clap::ClapState;
using qrv::clap::ControlValues;

struct Side {
  ControlValues values;
  ClapState state{values};
  Side() {
    for (auto& v : values) v.store(0.5);
  }
  std::vector<uint8_t> Save(bool bypass) {
    std::vector<uint8_t> out;
    if (!state.Save(out, bypass)) std::abort();
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
  const std::vector<uint8_t> before = side.Save(false);
  bool bypass = false;
  if (!side.state.Load(std::span<const uint8_t>(data, size), bypass)) {
    if (side.Save(false) != before) std::abort();  // a refused state changed the instance
    return 0;
  }
  const std::vector<uint8_t> after = side.Save(bypass);
  Side reloaded;
  bool again = false;
  if (!reloaded.state.Load(after, again) || again != bypass) std::abort();
  if (reloaded.Save(again) != after) std::abort();  // what was saved does not reload as itself
  return 0;
}
