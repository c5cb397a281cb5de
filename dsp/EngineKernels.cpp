#include "dsp/EngineKernels.h"

#include <algorithm>
#include <cmath>

#include "dsp/warmGlowEffect.h"

namespace qrv {
namespace {

void EnvelopeCoefficients(EngineChunk& c, int n, double timeFactor, double q, double rate) {
  for (int i = 0; i < n; ++i) {
    const double r = std::max(c.fast[i], 1e-6) * 0.2 / std::max(c.slow[i], 1e-6);
    const double fc = (4.0 * r / (r + 1.0) * 0.7 + 0.06999999999999999) / timeFactor;
    const double f = fc < 0.001 ? 0.001 : std::fmin(0.499 * rate, fc);
    const double w = f * 6.283185307179586 / rate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) * (0.5 / q);
    const double a0 = 1.0 + alpha;
    const double r0 = 1.0 / a0;
    c.fc[i] = fc;
    c.a0[i] = a0;
    c.a1[i] = (-2.0 * cw) * r0;
    c.a2[i] = (1.0 - alpha) * r0;
    c.b1[i] = (1.0 - cw) * r0;
    c.b0[i] = c.b2[i] = ((1.0 - cw) * 0.5) * r0;
  }
}

void Gains(EngineChunk& c, int n, int ratio) {
  for (int i = 0; i < n; ++i) c.e[i] = GainCurve(ratio, c.V[i]);
}

template <typename Sample, bool Stereo, bool Valve>
void Outputs(const EngineChunk& c, int n, double k, double m, Sample* outL, Sample* outR) {
  for (int i = 0; i < n; ++i) {
    const double inverseDrive = 1.0 / c.drive[i];
    double sL = c.e[i] * c.xL[i];
    double sR = Stereo ? c.e[i] * c.xR[i] : 0.0;
    if constexpr (Valve) {
      sL = ValveShape(sL, k, m);
      if constexpr (Stereo) sR = ValveShape(sR, k, m);
    }
    const Sample left = static_cast<Sample>(inverseDrive * sL * c.gain[i]);
    outL[i] = left;
    outR[i] = Stereo ? static_cast<Sample>(inverseDrive * sR * c.gain[i]) : left;
  }
}

constexpr EngineKernels kScalar = {
    EnvelopeCoefficients,
    Gains,
    {{Outputs<float, false, false>, Outputs<float, false, true>},
     {Outputs<float, true, false>, Outputs<float, true, true>}},
    {{Outputs<double, false, false>, Outputs<double, false, true>},
     {Outputs<double, true, false>, Outputs<double, true, true>}},
};

}  // namespace

bool InstructionSetAvailable(InstructionSet isa) {
  switch (isa) {
    case InstructionSet::kSse2: return true;
    case InstructionSet::kAvx2: return __builtin_cpu_supports("avx2");
    case InstructionSet::kAvx512: return __builtin_cpu_supports("avx512f");
  }
  return false;
}

InstructionSet BestInstructionSet() {
  if (InstructionSetAvailable(InstructionSet::kAvx512)) return InstructionSet::kAvx512;
  if (InstructionSetAvailable(InstructionSet::kAvx2)) return InstructionSet::kAvx2;
  return InstructionSet::kSse2;
}

const char* InstructionSetName(InstructionSet isa) {
  switch (isa) {
    case InstructionSet::kSse2: return "SSE2";
    case InstructionSet::kAvx2: return "AVX2";
    case InstructionSet::kAvx512: return "AVX-512";
  }
  return "?";
}

const EngineKernels& KernelsFor(InstructionSet) { return kScalar; }

}  // namespace qrv
