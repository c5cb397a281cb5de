#include "dsp/warmGlowEffect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/EngineFormulas.h"
#include "dsp/EngineSections.h"
#include "dsp/LittleEndian.h"
#include "dsp/ParameterSet.h"

namespace qrv {
namespace {

constexpr double kMinRate = kMinSampleRate;
constexpr double kEnvelopeFloor = 0.001;
constexpr double kMaxRate = kMaxSampleRate;
// Every section's sample rate lies in the range where its corner limit uses that rate.
static_assert(kMinRate >= 20000.0 && kMaxRate <= 200000.0);

struct RatioConstants {
  double headroom;  // h
  double inverse;   // g = 1/h as stored
};
constexpr std::array<RatioConstants, kRatioStepCount> kRatioConstants = {{
    {22.4, 0.044642857142857144},
    {15.839039999999997, 0.06313513950340426},
    {8.0, 0.125},
    {5.6568, 0.1767783906095319},
    {4.0, 0.25},
    {2.82, 0.3546099290780142},
    {2.8, 0.35714285714285715},
}};

struct ValvePair {
  double drive, makeUp;
};
constexpr std::array<ValvePair, kValveStepCount> kValvePairs = {{
    {0.14285714285714285, 7.0},
    {0.3333333333333333, 3.0},
    {0.5555555555555556, 1.8},
    {1.0, 1.0},
    {1.4141, 0.7071},  // as written, not sqrt 2 and its inverse
    {2.0, 0.5},
    {2.5, 0.4},
}};

template <typename Sample>
constexpr const std::array<int, kAttackStepCount>& AttackSteps() {
  if constexpr (sizeof(Sample) == sizeof(float)) {
    return kAttackStepsSingle;
  } else {
    return kAttackStepsDouble;
  }
}

// Runs n >= 1 envelope steps with a held input, from locals.
inline double StepEnvelope(FilterSection& f, double d, int n) {
  Sections<double> s = Load(f);
  double y = 0.0;
  for (; n > 0; --n) y = s.Step(d);
  Store(f, s);
  return y;
}

template <int Ratio>
double GainOfStep(double V) {
  return GainOfCurve<FrameMath, Ratio>(V);
}

}  // namespace

// The high-quality path: the plain engine's output and the oversampled valve stage's, both delayed by
// the stage's latency, and the crossfade from the plain engine's undelayed output to them.
struct warmGlowEffect::HighQualityPath {
  static constexpr int kMaxLatency = 256;
  static constexpr int kLine = kMaxLatency + kChunkFrames;

  ValveOversampler valve[2];
  int latency = 0;
  // The plain engine's frames of the current chunk: the valve stage's input k s per channel and the
  // gain after it (inverse drive, make-up, output gain); the oversampled stage's output.
  double u[2][kChunkFrames] = {};
  double post[kChunkFrames] = {};
  double y[2][kChunkFrames] = {};
  // Delay lines: `latency` frames of history, then the chunk. fromValve marks the frames the valve stage
  // shaped; the others (Clear, bypass) come from the plain line as they were.
  double plain[2][kLine] = {};
  double gain[kLine] = {};
  unsigned char fromValve[kLine] = {};
  bool fed[2] = {false, false};  // the oversampled stage of the channel ran on the last chunk
  bool live = false;             // in use: on, filling, or fading out
  int filling = 0;               // frames before the crossfade may start
  double mix = 0.0;              // 0: the plain engine's undelayed output; 1: the delayed path
  double mixStep = 1.0 / 882.0;  // per frame: about 20 ms from one end to the other

  void Clear() {
    for (ValveOversampler& v : valve) v.Clear();
    std::memset(plain, 0, sizeof plain);
    std::memset(gain, 0, sizeof gain);
    std::memset(fromValve, 0, sizeof fromValve);
    fed[0] = fed[1] = false;
  }
};

double GainCurve(int ratioStep, double V) {
  switch (ratioStep) {
    case 0: return GainOfStep<0>(V);
    case 1: return GainOfStep<1>(V);
    case 2: return GainOfStep<2>(V);
    case 3: return GainOfStep<3>(V);
    case 4: return GainOfStep<4>(V);
    case 5: return GainOfStep<5>(V);
    default: return GainOfStep<6>(V);
  }
}

double ValveHeadroom(int ratioStep) {
  return kRatioConstants[static_cast<std::size_t>(std::clamp(ratioStep, 0, kRatioStepCount - 1))].headroom;
}

double DriveOfStep(int k) { return std::pow(1024.0, k * 0.025) * 0.125; }
double OutputGainOfStep(int k) { return std::pow(31.622776601683793, k * 0.016666666666666666); }

warmGlowEffect::warmGlowEffect() : hq_(std::make_unique<HighQualityPath>()) {
  hq_->latency = hq_->valve[0].latency();
  sampleRate_ = 44100.0;
  sections_[kMeter].Create(FilterSection::kLowPass, 2.0, 0.583);
  noise_ = {592u, 153768u, 1526u};
  sections_[kFastLevel].Create(FilterSection::kLowPass, 5.0, 0.5);
  sections_[kSlowLevel].Create(FilterSection::kLowPass, 2.0, 0.5);
  sections_[kEnvelope].Create(FilterSection::kLowPass, 1.0, 0.1);
  sections_[kSideChainLeft].Create(FilterSection::kHighPass, 40.0, 0.3);
  sections_[kSideChainRight].Create(FilterSection::kHighPass, 40.0, 0.3);

  // Start the meter settled at a gain of 1, so a fresh instance shows no reduction.
  meterGain_ = 1.0;
  FilterSection& meter = sections_[kMeter];
  meter.Clear();
  meter.Compute();
  for (int i = 0; i < 44100; ++i) meter.Step(1.0);

  valveDrive_ = valveMakeUp_ = 1.0;
  for (unsigned i = 0; i < kParameterCount; ++i) SetParameter(i, GetParameterDefault(i));
  Reset();
}

warmGlowEffect::~warmGlowEffect() = default;

bool warmGlowEffect::SetSampleRate(double rate) {
  if (std::isnan(rate)) return false;  // keep the stored rate, which is always in range
  sampleRate_ = std::clamp(rate, kMinRate, kMaxRate);
  return sampleRate_ == rate;
}

void warmGlowEffect::Reset() {
  in32_[0] = in32_[1] = nullptr;
  out32_[0] = out32_[1] = nullptr;
  in64_[0] = in64_[1] = nullptr;
  out64_[0] = out64_[1] = nullptr;
  ResetState();
  SetUpForSampleRate();
}

int warmGlowEffect::GetLatency() { return highQuality_ ? hq_->latency : 0; }

int warmGlowEffect::highQualityLatency() const { return hq_->latency; }

bool warmGlowEffect::HighQualityLive() const { return hq_->live; }

void warmGlowEffect::SetHighQuality(bool on) {
  HighQualityPath& p = *hq_;
  highQuality_ = on;
  if (on && !p.live) {
    // Start from silence; the crossfade waits until the lines and the oversampled stage hold real frames.
    p.Clear();
    p.mix = 0.0;
    p.filling = 2 * p.latency + kChunkFrames;
    p.live = true;
  } else if (!on && p.mix == 0.0) {
    p.filling = 0;
    p.live = false;
  }
}

void warmGlowEffect::SetValveStageDesign(const ValveStageDesign& design) {
  HighQualityPath& p = *hq_;
  for (ValveOversampler& v : p.valve) v.Configure(design);
  if (p.valve[0].latency() > HighQualityPath::kMaxLatency) {
    for (ValveOversampler& v : p.valve) v.Configure(kValveStageDesign);
  }
  p.latency = p.valve[0].latency();
  p.Clear();
}

void warmGlowEffect::ResetState() {
  drive_ = driveTarget_;
  outputGain_ = outputTarget_;
  for (int i : {kSideChainLeft, kSideChainRight, kEnvelope, kFastLevel, kSlowLevel}) {
    sections_[static_cast<std::size_t>(i)].Compute();
    sections_[static_cast<std::size_t>(i)].Clear();
  }
  meterGain_ = 1.0;
  envelope_ = 0.0001;
  // The high-quality path starts from silence, fully switched as set.
  HighQualityPath& p = *hq_;
  p.Clear();
  p.filling = 0;
  p.mix = highQuality_ ? 1.0 : 0.0;
  p.live = highQuality_;
}

void warmGlowEffect::SetUpForSampleRate() {
  const double rate = sampleRate_;
  FilterSection& meter = sections_[kMeter];
  meter.SetSampleRate(rate);
  meter.frequency = 2.3333333333333335;
  meter.Compute();

  for (int i : {kEnvelope, kFastLevel, kSlowLevel, kSideChainLeft, kSideChainRight}) {
    FilterSection& s = sections_[static_cast<std::size_t>(i)];
    s.SetSampleRate(rate);  // computes the coefficients
    s.Clear();
  }
  drive_ = driveTarget_;
  outputGain_ = outputTarget_;
  hq_->mixStep = 1.0 / std::round(rate * 0.02);
}

void warmGlowEffect::SetParameter(unsigned index, double v) {
  // A non-finite value has no step; keep what is set rather than poison the engine.
  if (!std::isfinite(v)) return;
  const float vf = static_cast<float>(v);
  switch (index) {
    case kSlotProcess: mode_ = EngineStep(index, v); break;
    case kSlotRatio: ratioStep_ = EngineStep(index, v); break;
    case kSlotAttackRatio: attackStep_ = EngineStep(index, v); break;
    case kSlotTime: timeFactor_ = std::pow(100.0, static_cast<double>(vf)) * 0.005; break;
    // A gain that overflows would make the glide inf and then NaN for good: keep the one set.
    case kSlotCompression: {
      const double target = DriveOfStep(EngineStep(index, v));
      if (std::isfinite(target)) driveTarget_ = target;
      break;
    }
    case kSlotOutput: {
      const double target = OutputGainOfStep(EngineStep(index, v));
      if (std::isfinite(target)) outputTarget_ = target;
      break;
    }
    case kSlotValveLevel: {
      valveStep_ = EngineStep(index, v);
      valveDrive_ = valveMakeUp_ = 1.0;
      if (valveStep_ >= 0 && valveStep_ < kValveStepCount) {
        valveDrive_ = kValvePairs[static_cast<std::size_t>(valveStep_)].drive;
        valveMakeUp_ = kValvePairs[static_cast<std::size_t>(valveStep_)].makeUp;
      }
      break;
    }
    default: break;
  }
}

bool warmGlowEffect::ForceInstructionSet(InstructionSet isa) {
  if (!InstructionSetAvailable(isa)) return false;
  isa_ = isa;
  kernels_ = &KernelsFor(isa);
  return true;
}

bool warmGlowEffect::GetMeter(unsigned index, double* value) {
  if (index != kSlotGainReduction || value == nullptr) return false;
  *value = std::clamp(1.0 - meterGain_, 0.0, 1.0);
  return true;
}

bool warmGlowEffect::ApplyMessage(const void* block, std::size_t size) {
  constexpr std::size_t kHeader = kParameterMessageHeaderSize;
  constexpr std::size_t kEntry = kParameterMessageEntrySize;
  if (block == nullptr) return true;
  const std::size_t n = std::min(size, kParameterMessageMaxSize);
  std::memset(message_, 0, sizeof message_);
  std::memcpy(message_, block, n);
  if (n < kHeader || message_[kParameterMessageKindOffset] != kParameterMessageKindValues) return true;
  const int count = static_cast<int8_t>(message_[kParameterMessageCountOffset]);
  for (int i = 0; i < count; ++i) {
    const std::size_t at = kHeader + static_cast<std::size_t>(i) * kEntry;
    if (at + kEntry > n) break;  // entries beyond the block (or past kParameterMessageMaxEntries) are not read
    const uint32_t index = le::Load32(message_ + at);
    const uint64_t bits = le::Load64(message_ + at + kParameterMessageValueOffset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    SetParameter(index, value);
  }
  return true;
}

template <typename Sample, bool Stereo, bool Valve>
void warmGlowEffect::Run(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int32_t count) {
  const int ratio = std::clamp(ratioStep_, 0, kRatioStepCount - 1);
  const RatioConstants& rc = kRatioConstants[static_cast<std::size_t>(ratio)];
  BlockConstants c;
  c.k = rc.inverse * valveDrive_;
  c.m = rc.headroom * valveMakeUp_;
  c.ratio = ratio;
  c.attackCount = (attackStep_ >= 0 && attackStep_ < kAttackStepCount)
                      ? AttackSteps<Sample>()[static_cast<std::size_t>(attackStep_)]
                      : kAttackStepsFallback;
  const bool hq = HighQualityLive();
  if (count < kChunkMinFrames) {
    if (hq) {
      RunFrames<Sample, Stereo, Valve, true>(c, inL, inR, outL, outR, count);
      HighQualityFrames<Sample>(outL, outR, count, Stereo, true, mode() == ProcessMode::kValve);
    } else {
      RunFrames<Sample, Stereo, Valve, false>(c, inL, inR, outL, outR, count);
    }
  } else {
    for (int32_t at = 0; at < count; at += kChunkFrames) {
      const int n = static_cast<int>(std::min<int32_t>(kChunkFrames, count - at));
      RunChunk<Sample, Stereo, Valve>(c, inL + at, inR + at, outL + at, outR + at, n);
      if (hq) {
        // The valve stage's input and the gains after it, as the output pass formed them.
        HighQualityPath& p = *hq_;
        const EngineChunk& ch = chunk_;
        const double heldInverseDrive = 1.0 / drive_;
        for (int i = 0; i < n; ++i) {
          p.u[0][i] = c.k * (ch.e[i] * ch.xL[i]);
          if constexpr (Stereo) p.u[1][i] = c.k * (ch.e[i] * ch.xR[i]);
          p.post[i] = chunkGlidesHeld_ ? heldInverseDrive * c.m * outputGain_ : 1.0 / ch.drive[i] * c.m * ch.gain[i];
        }
        HighQualityFrames<Sample>(outL + at, outR + at, n, Stereo, true, mode() == ProcessMode::kValve);
      }
    }
  }
  RecoverNonFinite();
}

template <typename Sample>
void warmGlowEffect::HighQualityFrames(Sample* outL, Sample* outR, int n, bool stereo, bool ran, bool valve) {
  HighQualityPath& p = *hq_;
  const int d = p.latency;
  const int channels = stereo ? 2 : 1;
  Sample* out[2] = {outL, outR};
  // The plain line is read only for frames the valve stage did not shape.
  if (!(ran && valve)) {
    for (int c = 0; c < channels; ++c) {
      for (int i = 0; i < n; ++i) p.plain[c][d + i] = static_cast<double>(out[c][i]);
    }
  }
  for (int i = 0; i < n; ++i) {
    p.gain[d + i] = ran ? p.post[i] : 0.0;
    p.fromValve[d + i] = ran && valve;
  }

  // The oversampled stage runs while the engine does (in Clear too, so that a switch to Valve finds it
  // filled) and, after it stops, until the valve's last frames are out; it restarts from silence.
  bool valveOut = false;
  for (int i = 0; i < n; ++i) valveOut |= p.fromValve[i] != 0;
  for (int c = 0; c < 2; ++c) {
    if (c < channels && (ran || valveOut)) {
      if (!ran) std::memset(p.u[c], 0, sizeof p.u[c]);
      if (!p.fed[c]) p.valve[c].Clear();
      p.valve[c].Process(p.u[c], p.y[c], n, isa_);
      p.fed[c] = true;
    } else {
      p.fed[c] = false;
    }
  }

  double mix = p.mix;
  if (mix == 1.0 && highQuality_ && p.filling == 0) {
    // Fully switched: each frame from the oversampled stage or the plain line, nothing to mix.
    for (int c = 0; c < channels; ++c) {
      for (int i = 0; i < n; ++i) {
        out[c][i] = static_cast<Sample>(p.fromValve[i] ? p.y[c][i] * p.gain[i] : p.plain[c][i]);
      }
    }
    if (!stereo && outR != outL) std::memcpy(outR, outL, sizeof(Sample) * static_cast<std::size_t>(n));
  } else {
    for (int i = 0; i < n; ++i) {
      if (p.filling > 0) {
        --p.filling;
      } else if (highQuality_) {
        mix = std::min(1.0, mix + p.mixStep);
      } else {
        mix = std::max(0.0, mix - p.mixStep);
      }
      for (int c = 0; c < channels; ++c) {
        const double path = p.fromValve[i] ? p.y[c][i] * p.gain[i] : p.plain[c][i];
        double v = path;
        if (mix < 1.0) {
          const double now = static_cast<double>(out[c][i]);
          v = mix > 0.0 ? now + mix * (path - now) : now;
        }
        out[c][i] = static_cast<Sample>(v);
      }
      if (!stereo && outR != outL) outR[i] = outL[i];
    }
  }
  p.mix = mix;
  if (mix == 0.0 && !highQuality_) p.live = false;

  const std::size_t keep = static_cast<std::size_t>(d);
  for (int c = 0; c < 2; ++c) std::memmove(p.plain[c], p.plain[c] + n, keep * sizeof(double));
  std::memmove(p.gain, p.gain + n, keep * sizeof(double));
  std::memmove(p.fromValve, p.fromValve + n, keep);
}

template <typename Sample, bool Stereo, bool Valve, bool Hq>
void warmGlowEffect::RunFrames(const BlockConstants& c, const Sample* inL, const Sample* inR, Sample* outL,
                               Sample* outR, int32_t count) {
  const double k = c.k, m = c.m;
  const int ratio = c.ratio, attackCount = c.attackCount;

  // Hot state in locals for the loop, written back once; only what the steps use, so that a short
  // block pays little for the copies. The envelope's coefficients change every frame: stepped in place.
  Sections<double> scL = Load(sections_[kSideChainLeft]);
  Sections<double> scR = Load(sections_[kSideChainRight]);
  Sections<double> fast = Load(sections_[kFastLevel]);
  Sections<double> slow = Load(sections_[kSlowLevel]);
  Sections<double> meter = Load(sections_[kMeter]);
  FilterSection& env = sections_[kEnvelope];
  uint32_t n1 = noise_.n1, n2 = noise_.n2, n3 = noise_.n3;
  double drive = drive_, outputGain = outputGain_;
  double envelope = envelope_, meterGain = meterGain_;
  const double driveTarget = driveTarget_, outputTarget = outputTarget_, timeFactor = timeFactor_;

  for (int32_t i = 0; i < count; ++i) {
    // Read the frame before writing it: input and output may be the same memory.
    const double inLeft = static_cast<double>(inL[i]);
    const double inRight = Stereo ? static_cast<double>(inR[i]) : 0.0;

    drive = Glide(drive, driveTarget);
    const double inverseDrive = 1.0 / drive;
    outputGain = Glide(outputGain, outputTarget);

    const double ditherL = Dither(n1, n2, n3);
    const double xL = ditherL + inLeft * drive;
    double xR = 0.0;
    double d;
    if constexpr (Stereo) {
      const double ditherR = Dither(n1, n2, n3);
      xR = ditherR + inRight * drive;
      const double yL = scL.Step(xL);
      const double yR = scR.Step(xR);
      d = (yL * yL + yR * yR) * kStereoPowerWeight;
    } else {
      d = std::fabs(scL.Step(xL));
    }

    const double F = fast.Step(d);
    const double S = slow.Step(d);
    const double fc = EnvelopeCorner<FrameMath>(F, S, timeFactor, 0.0);
    env.frequency = fc;
    env.SetCoefficients(EnvelopeLowPass<FrameMath>(fc, env.sampleRate, env.q, 0.0));
    envelope = StepEnvelope(env, d, d > envelope ? attackCount : 1);
    if (envelope < 0.001) envelope = 0.001;

    const double e = GainCurve(ratio, std::sqrt(envelope));
    meterGain = meter.Step(e);

    double sL = e * xL;
    double sR = e * xR;
    if constexpr (Hq) {
      hq_->u[0][i] = k * sL;
      hq_->u[1][i] = k * sR;
      hq_->post[i] = inverseDrive * m * outputGain;
    }
    if constexpr (Valve) {
      sL = ValveOf<FrameMath>(sL, k, m);
      if constexpr (Stereo) sR = ValveOf<FrameMath>(sR, k, m);
    }
    const Sample left = static_cast<Sample>(inverseDrive * sL * outputGain);
    if constexpr (Stereo) {
      const Sample right = static_cast<Sample>(inverseDrive * sR * outputGain);
      outL[i] = left;
      outR[i] = right;
    } else {
      outL[i] = left;
      outR[i] = left;
    }
  }

  Store(sections_[kSideChainLeft], scL);
  if constexpr (Stereo) Store(sections_[kSideChainRight], scR);
  Store(sections_[kFastLevel], fast);
  Store(sections_[kSlowLevel], slow);
  Store(sections_[kMeter], meter);
  noise_ = {n1, n2, n3};
  drive_ = drive;
  outputGain_ = outputGain;
  envelope_ = envelope;
  meterGain_ = meterGain;
}

// The same algorithm as RunFrames, laid out as passes over one chunk: the recursions (glides, dither,
// side chain, level smoothers, envelope, meter) run as tight serial loops, and the work that depends
// only on the frame (envelope coefficients, gain curve, output) runs over arrays in between.
template <typename Sample, bool Stereo, bool Valve>
void warmGlowEffect::RunChunk(const BlockConstants& c, const Sample* inL, const Sample* inR, Sample* outL,
                              Sample* outR, int n) {
  EngineChunk& ch = chunk_;

  // Pass 1: glides, dither, side chain, detector and level smoothers. Every input of the chunk is
  // read here, before pass 5 writes any output, so input and output may be the same memory.
  FrontState front{drive_,
                   outputGain_,
                   driveTarget_,
                   outputTarget_,
                   {noise_.n1, noise_.n2, noise_.n3},
                   &sections_[kSideChainLeft],
                   &sections_[kSideChainRight],
                   &sections_[kFastLevel],
                   &sections_[kSlowLevel],
                   false};
  const double loudest = kernels_->Front<Sample, Stereo>()(ch, n, front, inL, inR);
  drive_ = front.drive;
  outputGain_ = front.outputGain;
  const bool glidesHeld = front.glidesHeld;
  chunkGlidesHeld_ = glidesHeld;
  noise_ = {front.noise[0], front.noise[1], front.noise[2]};

  // Pass 2: the envelope filter's coefficients for every frame.
  FilterSection& env = sections_[kEnvelope];
  const int attackCount = c.attackCount;
  // After a frame the envelope is never below its floor, so a chunk whose detector stays below both
  // the floor and the envelope it starts from has no attack.
  const bool mayAttack = loudest > std::min(envelope_, kEnvelopeFloor);
  // Attacks of one step are plain steps; longer ones get their folded affine step.
  const bool foldedAttack = mayAttack && attackCount >= 2;
  kernels_->envelopeCoefficients(ch, n, timeFactor_, env.q, env.sampleRate, foldedAttack ? attackCount : 0);

  bool atFloor;  // the envelope rested at its floor throughout the chunk
  // Pass 3: the envelope, several held steps per frame while the level rises.
  // At long Times and high rates the corner sits far below the rate (w down to 5e-6 at Time 10 and
  // 192 kHz), where 1 + a1 + a2 and b0 + b1 + b2 = 2 (1 - cos w) / a0 are both about 2e-11: their ratio
  // is the recursion's DC gain, which must be 1. So 1 - cos w is the exact difference from the same
  // rounded cos w that gives a1, in every path; a 1 - cos w rounded on its own (or a cos w rounded
  // differently from a1's) would be off by 1e-16, 1e-5 of itself, and the envelope would settle 1e-5
  // away from its input.
  {
    double x1 = env.x1, x2 = env.x2, y1 = env.y1, y2 = env.y2;
    double envelope = envelope_;
    atFloor = true;
    for (int i = 0; i < n; ++i) {
      const double d = ch.d[i];
      double y;
      if (foldedAttack && d > envelope) {
        // All N steps as one affine step; the inputs' part is off the recursion's chain.
        y = (((ch.ax1[i] * x1 + ch.ax2[i] * x2) + ch.ad[i] * d) + ch.ay2[i] * y2) + ch.ay1[i] * y1;
        y2 = (((ch.bx1[i] * x1 + ch.bx2[i] * x2) + ch.bd[i] * d) + ch.by2[i] * y2) + ch.by1[i] * y1;
        y1 = y;
        x1 = x2 = d;
      } else {
        const Coefficients<double> k{ch.a0[i], ch.a1[i], ch.a2[i], ch.b0[i], ch.b1[i], ch.b2[i]};
        y = BiquadStepShortChain(k, d, x1, x2, y1, y2);
        x2 = x1;
        x1 = d;
        y2 = y1;
        y1 = y;
      }
      envelope = y < kEnvelopeFloor ? kEnvelopeFloor : y;
      atFloor &= envelope == kEnvelopeFloor;
      ch.V[i] = std::sqrt(envelope);  // off the recursion's chain
    }

    const int last = n - 1;
    env.frequency = ch.fc[last];
    env.SetCoefficients({ch.a0[last], ch.a1[last], ch.a2[last], ch.b0[last], ch.b1[last], ch.b2[last]});
    env.x1 = x1;
    env.x2 = x2;
    env.y1 = y1;
    env.y2 = y2;
    envelope_ = envelope;
  }

  // Pass 4: gain curve; at the floor the gain is one constant, evaluated once by the same kernel.
  if (atFloor) {
    kernels_->gains(ch, 1, c.ratio);
    std::fill(ch.e + 1, ch.e + n, ch.e[0]);
  } else {
    kernels_->gains(ch, n, c.ratio);
  }

  // Pass 5: gain, valve stage, output gain, with the meter's ballistics beside them.
  OutputState out{c.k, c.m, glidesHeld, drive_, outputGain_, &sections_[kMeter], meterGain_};
  kernels_->Outputs<Sample, Stereo, Valve>()(ch, n, out, outL, outR);
  meterGain_ = out.meterGain;
}

void warmGlowEffect::RecoverNonFinite() {
  // A non-finite input sample poisons the recursive sections for good; clear what it reached so the
  // next block of finite input comes out finite again. The meter restarts at rest (no reduction).
  bool cleared = false;
  for (int i : {kSideChainLeft, kSideChainRight, kFastLevel, kSlowLevel, kEnvelope}) {
    FilterSection& s = sections_[static_cast<std::size_t>(i)];
    if (!s.IsFinite()) {
      s.Clear();
      cleared = true;
    }
  }
  if (cleared || !std::isfinite(envelope_)) envelope_ = 0.0001;
  FilterSection& meter = sections_[kMeter];
  if (!meter.IsFinite() || !std::isfinite(meterGain_)) {
    meter.Settle(1.0);
    meterGain_ = 1.0;
  }
}

template <typename Sample>
void warmGlowEffect::Process(const Sample* const inputs[2], Sample* const outputs[2], int32_t count,
                             const Sample** rin, Sample** rout) {
  if (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr || outputs[0] == nullptr) return;
  rin[0] = inputs[0];
  rin[1] = inputs[1] ? inputs[1] : inputs[0];
  rout[0] = outputs[0];
  rout[1] = outputs[1] ? outputs[1] : outputs[0];
  if (count <= 0) return;
  if (IsOff()) {
    Bypass(inputs, outputs, count, rin, rout);
    return;
  }
  const bool stereo = inputs[1] != nullptr;
  // Fully switched to high quality, the plain engine's valve stage would only feed the delay line's
  // valve frames, which the oversampled stage replaces: the plain engine runs without it.
  const HighQualityPath& hq = *hq_;
  const bool valve = mode_ == static_cast<int>(ProcessMode::kValve) &&
                     !(highQuality_ && hq.live && hq.mix == 1.0 && hq.filling == 0);
  if (stereo) {
    if (valve) {
      Run<Sample, true, true>(rin[0], rin[1], rout[0], rout[1], count);
    } else {
      Run<Sample, true, false>(rin[0], rin[1], rout[0], rout[1], count);
    }
  } else if (valve) {
    Run<Sample, false, true>(rin[0], rin[1], rout[0], rout[1], count);
  } else {
    Run<Sample, false, false>(rin[0], rin[1], rout[0], rout[1], count);
  }
}

template <typename Sample>
void warmGlowEffect::Bypass(const Sample* const inputs[2], Sample* const outputs[2], int32_t count,
                            const Sample** rin, Sample** rout) {
  if (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr || outputs[0] == nullptr) return;
  const Sample* in0 = inputs[0];
  const Sample* in1 = inputs[1] ? inputs[1] : inputs[0];
  Sample* out0 = outputs[0];
  Sample* out1 = outputs[1] ? outputs[1] : outputs[0];
  rin[0] = in0;
  rin[1] = in1;
  rout[0] = out0;
  rout[1] = out1;
  FilterSection& meter = sections_[kMeter];
  double meterGain = meterGain_;
  for (int32_t i = 0; i < count; ++i) {
    const Sample s1 = in1[i];
    out0[i] = in0[i];
    out1[i] = s1;  // with one output, channel 1 wins
    meterGain = meter.Step(1.0);
  }
  meterGain_ = meterGain;
  if (HighQualityLive()) {
    for (int32_t at = 0; at < count; at += kChunkFrames) {
      const int n = static_cast<int>(std::min<int32_t>(kChunkFrames, count - at));
      HighQualityFrames<Sample>(out0 + at, out1 + at, n, out1 != out0, false, false);
    }
  }
}

void warmGlowEffect::ProcessBlock(const float* const inputs[2], float* const outputs[2], int32_t count) {
  Process<float>(inputs, outputs, count, in32_, out32_);
}
void warmGlowEffect::ProcessBlockDouble(const double* const inputs[2], double* const outputs[2], int32_t count) {
  Process<double>(inputs, outputs, count, in64_, out64_);
}
void warmGlowEffect::BypassBlock(const float* const inputs[2], float* const outputs[2], int32_t count) {
  Bypass<float>(inputs, outputs, count, in32_, out32_);
}
void warmGlowEffect::BypassBlockDouble(const double* const inputs[2], double* const outputs[2], int32_t count) {
  Bypass<double>(inputs, outputs, count, in64_, out64_);
}

}  // namespace qrv
