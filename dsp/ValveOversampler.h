// The valve stage without aliasing, for one channel: the stage's input (k s, at the host's rate) raised by
// 2x halfband stages, the curve evaluated at the raised rate (or, in designs measured against it, the
// curve's mean between neighbouring samples through its antiderivative), and lowered again by the same
// stages. Every filter is linear-phase, so the whole path is a delay of an exact number of host frames:
// the host compensates it and the plain path, delayed as much, lines up sample for sample. Audio thread
// only; nothing allocates after construction.
#pragma once

#include <cstdint>

#include "dsp/EngineKernels.h"

namespace qrv {

// A design of the path: 2^stages times the host's rate (0..3), with or without the antiderivative, and
// the stopbands of the first (sharpest) 2x stage and of the later ones. The engine uses
// kValveStageDesign; the others exist to be measured against it.
struct ValveStageDesign {
  int stages = 3;
  bool antiderivative = false;
  double firstStopbandDb = 70.0;
  double laterStopbandDb = 60.0;
};
inline constexpr ValveStageDesign kValveStageDesign{};

// One polyphase branch of a FIR: out[m] += coef[j] * in[m - offset[j]]. A linear-phase filter's branch
// is symmetric, so its taps are kept in pairs of equal coefficients (offset and pairedOffset), summed
// before the one multiply; a tap without a twin has pairedOffset -1.
struct TapList {
  static constexpr int kMax = 128;
  // The shape the passes have a kernel for. A halfband's branches are all one of the first two: the
  // centre tap alone, or a run of taps mirrored about its middle.
  enum class Kind : unsigned char {
    kSingle,     // one tap: offset[0], coef[0]
    kSymmetric,  // `pairs` pairs over the offsets offset[0] .. offset[0] + 2 pairs - 1, entry j on
                 // offset[0] + j and its mirror, coefficients in coef
    kGeneral,    // any other: pairs, then single taps
  };
  int count = 0;
  int offset[kMax] = {};
  int pairedOffset[kMax] = {};
  double coef[kMax] = {};
  int pairs = 0;  // the first `pairs` entries are pairs, the rest single
  Kind kind = Kind::kGeneral;
  int History() const;  // the largest offset
};

class ValveOversampler {
 public:
  static constexpr int kMaxStages = 3;
  // Samples of history a stream can keep, and room past a chunk for the lanes' last group.
  static constexpr int kHistory = 128;
  static constexpr int kSlack = 128;

  ValveOversampler();
  // Designs the filters of d (clamped to the stages there are) and clears the state. Allocates nothing.
  void Configure(const ValveStageDesign& d);
  const ValveStageDesign& design() const { return design_; }
  // Host frames from an input to its output.
  int latency() const { return latency_; }
  // Forgets the past: the path continues as if its input had been silent.
  void Clear();
  // n (1..kChunkFrames) host frames of u = k s in; y[i] = the curve's mean about u at frame i - latency().
  // A non-finite u counts as silence; |u| is limited to 1e8 (the curve is flat there to 1e-8).
  void Process(const double* u, double* y, int n, InstructionSet isa);

  // The buffers of one stream: kHistory samples before index 0, then the chunk.
  struct Stream {
    double data[kHistory + (kChunkFrames << kMaxStages) + kSlack];
    double* at() { return data + kHistory; }
  };
  struct Stage {
    TapList up[2];    // interpolation: the even and the odd outputs, from the input at the lower rate
    TapList down[2];  // decimation: from the even and the odd inputs at the higher rate
  };
  // The filters between 2^(s-1) and 2^s times the rate (1 <= s <= design().stages), for measuring the
  // passes against a plain evaluation of them.
  const Stage& stage(int s) const { return stages_[s]; }

 private:
  ValveStageDesign design_{};
  int latency_ = 0;
  Stage stages_[kMaxStages + 1];  // [s]: between 2^(s-1) and 2^s times the rate; [0] unused
  Stream x_[kMaxStages + 1];      // [s]: the input raised to 2^s times the rate
  Stream phi_;                    // the antiderivative of the top stream
  Stream even_[kMaxStages + 1];   // [s]: the curve's output at 2^s times the rate, split by phase
  Stream odd_[kMaxStages + 1];
  // The last pass's output: its groups of vectors run past the chunk's end, which the caller's buffer
  // need not have room for.
  double out_[kChunkFrames + kSlack] = {};
  // Samples of history each stream's reader needs (at most kHistory).
  int xHistory_[kMaxStages + 1] = {};
  int evenHistory_[kMaxStages + 1] = {};
  int oddHistory_[kMaxStages + 1] = {};
};

}  // namespace qrv
