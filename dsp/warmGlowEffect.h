// The compressor engine behind the processor frame: input drive, side-chain high-pass, power detector,
// programme-dependent envelope, seven gain curves, asymmetric valve stage, output gain.
// Audio thread only; nothing allocates or locks after construction.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "dsp/EngineFormulas.h"
#include "dsp/EngineKernels.h"
#include "dsp/FilterSection.h"
#include "dsp/ParameterSet.h"
#include "dsp/QRVBaseAudioProcessor.h"
#include "dsp/ValveOversampler.h"

namespace qrv {

// The sample rates the engine's filters are defined for; SetSampleRate clamps any other to the nearest.
inline constexpr double kMinSampleRate = 22050.0;
inline constexpr double kMaxSampleRate = 192000.0;

enum class ProcessMode : int { kOff = 0, kClear = 1, kValve = 2 };

// Step counts of the stepped controls, from the control table.
inline constexpr int kRatioStepCount = ControlShapeOf(kSlotRatio).engineSteps + 1;
inline constexpr int kAttackStepCount = ControlShapeOf(kSlotAttackRatio).engineSteps + 1;
inline constexpr int kValveStepCount = ControlShapeOf(kSlotValveLevel).engineSteps + 1;
inline constexpr int kDriveStepMax = ControlShapeOf(kSlotCompression).engineSteps;
inline constexpr int kOutputStepMax = ControlShapeOf(kSlotOutput).engineSteps;
// The engine's tables below hold one entry per step.
static_assert(kRatioStepCount == 7 && kAttackStepCount == 7 && kValveStepCount == 7);

// Envelope-filter steps per frame while the level rises, per attack step.
inline constexpr std::array<int, kAttackStepCount> kAttackStepsSingle = {56, 33, 20, 10, 5, 3, 1};
inline constexpr std::array<int, kAttackStepCount> kAttackStepsDouble = {40, 25, 16, 10, 6, 4, 2};
inline constexpr int kAttackStepsFallback = 10;

// Gain of ratio curve `ratioStep` (0..6) at V, the square root of the envelope.
double GainCurve(int ratioStep, double V);
// Valve headroom h per ratio step.
double ValveHeadroom(int ratioStep);
// The asymmetric valve stage with drive k and make-up m.
inline double ValveShape(double s, double k, double m) { return ValveOf<FrameMath>(s, k, m); }
// Input drive of drive step k: 2^(k/4 - 3).
double DriveOfStep(int k);
// Output gain of output step k: k/2 dB.
double OutputGainOfStep(int k);

class warmGlowEffect final : public QRVBaseAudioProcessor {
 public:
  warmGlowEffect();
  ~warmGlowEffect() override;
  warmGlowEffect(const warmGlowEffect&) = delete;
  warmGlowEffect& operator=(const warmGlowEffect&) = delete;

  void ProcessBlock(const float* const inputs[2], float* const outputs[2], int32_t count) override;
  void ProcessBlockDouble(const double* const inputs[2], double* const outputs[2], int32_t count) override;
  void BypassBlock(const float* const inputs[2], float* const outputs[2], int32_t count) override;
  void BypassBlockDouble(const double* const inputs[2], double* const outputs[2], int32_t count) override;
  int GetLatency() override;
  int GetTailSize() override { return 0; }
  bool SetSampleRate(double rate) override;
  void Reset() override;
  bool SupportsSinglePrecision() override { return true; }
  bool SupportsDoublePrecision() override { return true; }
  void SetParameter(unsigned index, double value) override;
  bool GetMeter(unsigned index, double* value) override;
  bool ApplyMessage(const void* block, std::size_t size) override;

  // Read-only views of the engine state, for meters, bindings and tests.
  ProcessMode mode() const { return static_cast<ProcessMode>(mode_); }
  int modeStep() const { return mode_; }
  int ratioStep() const { return ratioStep_; }
  int attackStep() const { return attackStep_; }
  int valveStep() const { return valveStep_; }
  double timeFactor() const { return timeFactor_; }
  double driveTarget() const { return driveTarget_; }
  double drive() const { return drive_; }
  double outputTarget() const { return outputTarget_; }
  double outputGain() const { return outputGain_; }
  double valveDrive() const { return valveDrive_; }
  double valveMakeUp() const { return valveMakeUp_; }
  double envelope() const { return envelope_; }
  double meterGain() const { return meterGain_; }
  // The instruction set of the chunked passes: the widest the CPU has unless one is forced. Forcing a
  // set this CPU lacks changes nothing and returns false.
  InstructionSet instructionSet() const { return isa_; }
  bool ForceInstructionSet(InstructionSet isa);
  const FilterSection& section(int i) const { return sections_[static_cast<std::size_t>(i)]; }

  // High quality: the valve stage runs at 8 times the rate (ValveOversampler), and every output (processed
  // and bypassed alike) comes highQualityLatency() frames later. Off (the default) the engine is exactly
  // as without it. A switch during playback crossfades between the two over about 20 ms, once the
  // switched-on path has filled; Reset completes it at once. GetLatency follows the switch at once.
  // Audio thread, between blocks, as SetParameter. Allocates nothing: the path exists from construction.
  void SetHighQuality(bool on);
  bool highQuality() const { return highQuality_; }
  int highQualityLatency() const;
  // The oversampled path's design (kValveStageDesign unless set), for measuring others against it.
  // Clears the path.
  void SetValveStageDesign(const ValveStageDesign& design);

  enum SectionIndex : int { kMeter, kFastLevel, kSlowLevel, kEnvelope, kSideChainLeft, kSideChainRight };

 private:
  struct Noise {
    uint32_t n1, n2, n3;
  };

  // Per-block constants of the loops.
  struct BlockConstants {
    double k = 1.0, m = 1.0;  // valve drive and make-up with the ratio's headroom
    int ratio = 0;
    int attackCount = 1;
  };

  template <typename Sample, bool Stereo, bool Valve>
  void Run(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int32_t count);
  // Frame by frame: blocks shorter than kChunkMinFrames. With Hq, also keeps the valve stage's input
  // and the gains after it for the high-quality path.
  template <typename Sample, bool Stereo, bool Valve, bool Hq>
  void RunFrames(const BlockConstants& c, const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                 int32_t count);
  // One chunk of 1..kChunkFrames frames in passes.
  template <typename Sample, bool Stereo, bool Valve>
  void RunChunk(const BlockConstants& c, const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int n);
  template <typename Sample>
  void Process(const Sample* const inputs[2], Sample* const outputs[2], int32_t count, const Sample** rin,
               Sample** rout);
  template <typename Sample>
  void Bypass(const Sample* const inputs[2], Sample* const outputs[2], int32_t count, const Sample** rin,
              Sample** rout);
  void ResetState();
  struct HighQualityPath;
  // After n frames of the plain engine (or of bypass) are in the outputs: the high-quality path's delay
  // lines, oversampled valve stage and crossfade. `ran`: the engine ran (its inputs are in the path's
  // arrays); else the outputs hold the bypassed input.
  template <typename Sample>
  void HighQualityFrames(Sample* outL, Sample* outR, int n, bool stereo, bool ran, bool valve);
  // The high-quality path is in use (on, filling, or fading out).
  bool HighQualityLive() const;
  void SetUpForSampleRate();
  void RecoverNonFinite();
  bool IsOff() const { return mode() != ProcessMode::kClear && mode() != ProcessMode::kValve; }

  std::array<FilterSection, 6> sections_;  // held by value: the loops reach them without a pointer chase
  int mode_ = 2;
  int ratioStep_ = 3;
  int attackStep_ = 3;
  int valveStep_ = 3;
  double driveTarget_ = 1.0, drive_ = 1.0;
  double outputTarget_ = 1.0, outputGain_ = 1.0;
  double valveDrive_ = 1.0, valveMakeUp_ = 1.0;
  double timeFactor_ = 0.05;
  Noise noise_{592u, 153768u, 1526u};
  double envelope_ = 0.0001;
  double meterGain_ = 1.0;
  InstructionSet isa_ = BestInstructionSet();
  const EngineKernels* kernels_ = &KernelsFor(isa_);
  EngineChunk chunk_{};
  bool chunkGlidesHeld_ = false;  // of the last chunk
  bool highQuality_ = false;      // as switched
  std::unique_ptr<HighQualityPath> hq_;
  alignas(8) unsigned char message_[kParameterMessageMaxSize] = {};
};

}  // namespace qrv
