// The engine's array passes over one chunk of frames: envelope coefficients, gain curve and output
// stage. One kernel set per instruction set, chosen at run time; the serial recursions stay in
// warmGlowEffect. Audio thread only; nothing allocates.
#pragma once

#include <cstdint>

#include "dsp/FilterSection.h"

namespace qrv {

inline constexpr int kChunkFrames = 64;
// Blocks shorter than this run the plain per-frame loop.
inline constexpr int kChunkMinFrames = 8;

// Per-frame values of one chunk, written and read by the passes in order.
struct EngineChunk {
  double drive[kChunkFrames];  // unless the glides are held
  double gain[kChunkFrames];   // output gain, unless held
  double xL[kChunkFrames];    // driven input with dither
  double xR[kChunkFrames];
  double d[kChunkFrames];     // detector
  double fast[kChunkFrames];  // level smoothers
  double slow[kChunkFrames];
  double fc[kChunkFrames];    // envelope corner as computed, and the section's coefficients
  double a0[kChunkFrames];
  double a1[kChunkFrames];
  double a2[kChunkFrames];
  double b0[kChunkFrames];
  double b1[kChunkFrames];
  double b2[kChunkFrames];
  // A frame's attack (N held steps) as one affine step of the section's state: the new last output
  // y = ay1 y1 + ay2 y2 + ax1 x1 + ax2 x2 + ad d, the one before it z likewise with the b weights.
  double ay1[kChunkFrames], ay2[kChunkFrames], ax1[kChunkFrames], ax2[kChunkFrames], ad[kChunkFrames];
  double by1[kChunkFrames], by2[kChunkFrames], bx1[kChunkFrames], bx2[kChunkFrames], bd[kChunkFrames];
  double V[kChunkFrames];  // square root of the envelope
  double e[kChunkFrames];  // gain
};

// The recursions of the first pass, carried from chunk to chunk.
struct FrontState {
  double drive, outputGain;
  double driveTarget, outputTarget;
  uint32_t noise[3];
  FilterSection* sideChainLeft;
  FilterSection* sideChainRight;
  FilterSection* fast;
  FilterSection* slow;
  bool glidesHeld;  // out: drive and output gain held their values through the chunk; no arrays written
};

// The output pass's inputs besides the chunk's arrays, and the meter it steps on the gains.
struct OutputState {
  double k, m;               // valve drive and make-up
  bool glidesHeld;           // drive and output gain are the values below, else the chunk's arrays
  double drive, outputGain;
  FilterSection* meter;
  double meterGain;          // in and out: the meter's last output
};

enum class InstructionSet : int { kSse2 = 0, kAvx2 = 1, kAvx512 = 2 };
inline constexpr int kInstructionSetCount = 3;

struct EngineKernels {
  // Pass 1: glides, dither, side chain, detector, level smoothers (drive .. slow); returns the
  // largest detector value.
  template <typename Sample>
  using FrontPass = double (*)(EngineChunk&, int n, FrontState&, const Sample* inL, const Sample* inR);
  template <typename Sample>
  using Output = void (*)(const EngineChunk&, int n, OutputState&, Sample* outL, Sample* outR);

  FrontPass<float> frontSingle[2];  // [stereo]
  FrontPass<double> frontDouble[2];
  // fc, a0..b2 from fast and slow; with attackSteps >= 2 also the attack's affine step of that many
  // held steps.
  void (*envelopeCoefficients)(EngineChunk&, int n, double timeFactor, double q, double rate, int attackSteps);
  // e from V.
  void (*gains)(EngineChunk&, int n, int ratio);
  // [stereo][valve]: e * x, valve stage, output gain, meter ballistics; mono writes both outputs.
  Output<float> outputSingle[2][2];
  Output<double> outputDouble[2][2];

  template <typename Sample, bool Stereo>
  FrontPass<Sample> Front() const {
    if constexpr (sizeof(Sample) == sizeof(float)) {
      return frontSingle[Stereo];
    } else {
      return frontDouble[Stereo];
    }
  }
  template <typename Sample, bool Stereo, bool Valve>
  Output<Sample> Outputs() const {
    if constexpr (sizeof(Sample) == sizeof(float)) {
      return outputSingle[Stereo][Valve];
    } else {
      return outputDouble[Stereo][Valve];
    }
  }
};

bool InstructionSetAvailable(InstructionSet isa);
// The widest set this CPU has.
InstructionSet BestInstructionSet();
const char* InstructionSetName(InstructionSet isa);
const EngineKernels& KernelsFor(InstructionSet isa);

}  // namespace qrv
