// The demo programme: a short deterministic stereo mix synthesised in code (drums, bass, a sung
// vowel with vibrato) with quiet and loud passages, so that a compressor has something to do.
#pragma once

#include <vector>

namespace qrv::cli {

inline constexpr double kProgrammeDefaultSeconds = 12.0;
inline constexpr double kProgrammeMaxSeconds = 600.0;

// Interleaved stereo samples, peak normalised to -3 dBFS. The same arguments always give the same
// samples.
std::vector<float> SynthesiseProgramme(double seconds, int sampleRate);

}  // namespace qrv::cli
