// `warmglow live`: one JACK client that runs the compressor on its inputs, with the editor in a window
// of its own, and keeps the instance's state in a file across runs. The command line is the
// application's; everything that speaks to JACK is here.
//
// Threads: RunLive runs on the calling (main) thread, which also runs the editor. JACK's process
// thread runs only LiveEngine::Process; its other callbacks only set flags the main loop reads.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dsp/ParameterSet.h"

namespace qrv {
class PresetManager;
}

namespace qrv::jack {

inline constexpr int kLiveOk = 0;
inline constexpr int kLiveServerGone = 1;
inline constexpr int kLiveError = 2;

inline constexpr const char* kDefaultClientName = "warmGlow";

struct LiveOptions {
  std::string clientName = kDefaultClientName;
  bool mono = false;
  std::vector<std::string> connectIn;   // output ports of other clients, fed to in_1, in_2, in_1, ...
  std::vector<std::string> connectOut;  // input ports of other clients, fed from out_1, out_2, ...
  std::filesystem::path statePath;      // empty: DefaultStatePath(clientName)
  bool editor = true;
  bool verbose = false;
  // High quality switched on (true) or off (false) on top of the restored state, which keeps it; nullopt
  // leaves it as the state has it (off without one). The ports' latency ranges include its delay.
  std::optional<bool> highQuality;
  // The start settings on top of the restored state (a preset, single values), applied to the instance's
  // preset state under the preset lock; the instance then runs with its current record. May be empty.
  std::function<void(PresetManager&)> startSettings;
};

// Runs until stopRequested() answers true (a signal), the window is closed or the server goes away.
// Messages go to err as single lines "warmglow: ..."; the status is kLiveOk, kLiveServerGone (state saved
// all the same) or kLiveError (nothing started, no state written).
int RunLive(const LiveOptions& options, std::ostream& err, bool (*stopRequested)());

}  // namespace qrv::jack
