#include "apps/warmglow/Generate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace qrv::cli {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBeat = 0.5;          // 120 beats per minute
constexpr double kBar = 4 * kBeat;     // one bar, 2 s
constexpr int kBarsPerCycle = 6;       // the arrangement repeats after six bars

// Deterministic white noise in -1..1 (xorshift32); no library generator, so every platform agrees.
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed) {}
  double Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return static_cast<double>(s_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t s_;
};

// Dynamics of each bar of the cycle: how loud drums, bass and voice are (linear gains).
struct BarMix {
  double drums, bass, voice, hats;
};
constexpr std::array<BarMix, kBarsPerCycle> kArrangement = {{
    {0.00, 0.00, 0.60, 0.15},  // quiet intro: soft voice and hats
    {0.35, 0.35, 0.18, 0.15},  // band enters at medium level
    {1.00, 0.90, 0.55, 0.35},  // loud chorus
    {1.00, 0.90, 0.60, 0.40},  // loud chorus
    {0.00, 0.12, 0.12, 0.05},  // breakdown: quiet again
    {1.00, 1.00, 0.65, 0.40},  // loud finish
}};

// Bass notes (Hz) per beat of the bar: a simple riff in E.
constexpr std::array<double, 8> kBassNotes = {41.20, 41.20, 49.00, 55.00, 41.20, 61.74, 55.00, 49.00};
// Voice melody (Hz), one note per bar.
constexpr std::array<double, kBarsPerCycle> kVoiceNotes = {220.0, 246.94, 261.63, 293.66, 246.94, 220.0};

double Envelope(double t, double attack, double decay) {
  if (t < 0.0) return 0.0;
  return (t < attack ? t / attack : 1.0) * std::exp(-t / decay);
}

// Weight of a harmonic at frequency f for the vowel "ah": three formant resonances over a falling tilt.
double Formants(double f) {
  constexpr std::array<std::array<double, 3>, 3> kFormants = {{{730.0, 90.0, 1.0}, {1090.0, 110.0, 0.5},
                                                               {2440.0, 160.0, 0.25}}};
  double w = 0.05;
  for (const auto& [centre, width, gain] : kFormants) {
    const double x = (f - centre) / width;
    w += gain / (1.0 + x * x);
  }
  return w;
}

}  // namespace

std::vector<float> SynthesiseProgramme(double seconds, int sampleRate) {
  const double rate = static_cast<double>(sampleRate);
  const std::size_t frames = static_cast<std::size_t>(std::max(0.0, std::floor(seconds * rate)));
  std::vector<double> left(frames), right(frames);
  Noise snareNoise(0x1234567u), hatNoise(0x89abcdefu), clickNoise(0x2468aceu);

  // Filter and oscillator state carried across samples.
  double kickPhase = 0.0, bassPhase = 0.0, voicePhase = 0.0, vibratoPhase = 0.0;
  double hatHp = 0.0, hatPrev = 0.0, snareLp = 0.0, bassLp = 0.0;
  const double hatCoeff = std::exp(-kTwoPi * 7000.0 / rate);
  const double snareCoeff = std::exp(-kTwoPi * 5000.0 / rate);
  const double bassCoeff = std::exp(-kTwoPi * 400.0 / rate);
  constexpr int kMaxHarmonics = 40;

  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const int bar = static_cast<int>(t / kBar);
    const BarMix& mix = kArrangement[static_cast<std::size_t>(bar % kBarsPerCycle)];
    const double inBar = t - bar * kBar;
    const double inBeat = std::fmod(inBar, kBeat);
    const int beat = static_cast<int>(inBar / kBeat);
    const double inEighth = std::fmod(inBar, kBeat / 2);
    const int eighth = static_cast<int>(inBar / (kBeat / 2));

    // Kick on beats 1 and 3 (and a pickup on the last eighth of loud bars): falling sine and a click.
    double kickT = (beat % 2 == 0) ? inBeat : -1.0;
    if (eighth == 7 && mix.drums > 0.9) kickT = inEighth;
    const double kickFreq = 48.0 + 110.0 * std::exp(-std::max(kickT, 0.0) / 0.035);
    kickPhase += kTwoPi * kickFreq / rate;
    if (kickT >= 0.0 && kickT < 1.0 / rate) kickPhase = 0.0;
    const double kick = Envelope(kickT, 0.002, 0.16) * std::sin(kickPhase) +
                        (kickT >= 0.0 && kickT < 0.004 ? 0.3 * clickNoise.Next() : 0.0);

    // Snare on beats 2 and 4: darkened noise and a short body tone.
    const double snareT = (beat % 2 == 1) ? inBeat : -1.0;
    snareLp = snareNoise.Next() * (1.0 - snareCoeff) + snareLp * snareCoeff;
    const double snare = Envelope(snareT, 0.001, 0.09) * snareLp * 2.2 +
                         Envelope(snareT, 0.001, 0.04) * 0.5 * std::sin(kTwoPi * 185.0 * std::max(snareT, 0.0));

    // Hats on every eighth, the off-beats open: high-passed noise.
    const double hatRaw = hatNoise.Next();
    hatHp = hatCoeff * (hatHp + hatRaw - hatPrev);
    hatPrev = hatRaw;
    const double hat = Envelope(inEighth, 0.0005, eighth % 2 ? 0.09 : 0.025) * hatHp * (eighth % 2 ? 0.8 : 0.6);

    // Bass: one note per eighth pair, a sine with a few harmonics, low-passed and gently saturated.
    const double bassFreq = kBassNotes[static_cast<std::size_t>((beat * 2 + eighth % 2) % 8)];
    bassPhase += kTwoPi * bassFreq / rate;
    const double bassTone = std::sin(bassPhase) + 0.5 * std::sin(2 * bassPhase) + 0.25 * std::sin(3 * bassPhase);
    bassLp = std::tanh(1.5 * bassTone) * (1.0 - bassCoeff) + bassLp * bassCoeff;
    const double bass = Envelope(inEighth, 0.004, 0.6) * bassLp * 3.0;

    // Voice: a sustained "ah" per bar with delayed vibrato, harmonics weighted by vowel formants.
    const double voiceFreq = kVoiceNotes[static_cast<std::size_t>(bar % kBarsPerCycle)];
    const double vibratoDepth = 0.007 * std::clamp((inBar - 0.3) / 0.6, 0.0, 1.0);
    vibratoPhase += kTwoPi * 5.3 / rate;
    const double f0 = voiceFreq * (1.0 + vibratoDepth * std::sin(vibratoPhase));
    voicePhase = std::fmod(voicePhase + kTwoPi * f0 / rate, kTwoPi);
    double voice = 0.0;
    for (int h = 1; h <= kMaxHarmonics && h * f0 < 5000.0; ++h) {
      voice += Formants(h * f0) / h * std::sin(h * voicePhase);
    }
    const double swell = std::min(1.0, inBar / 0.15) * std::min(1.0, (kBar - inBar) / 0.1) * (0.85 + 0.15 * std::sin(kTwoPi * 0.5 * t));
    voice *= swell;

    const double drums = mix.drums * (1.1 * kick + 0.8 * snare);
    const double c = drums + mix.bass * bass;
    left[i] = c + mix.voice * 0.9 * voice + mix.hats * 0.55 * hat;
    right[i] = c + mix.voice * 0.6 * voice + mix.hats * 0.9 * hat;
  }

  // Normalise to -3 dBFS (headroom for presets with make-up gain) and fade the last 20 ms so the file ends without a click.
  double peak = 0.0;
  for (std::size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  const double gain = peak > 0.0 ? 0.7079457843841379 / peak : 0.0;
  const std::size_t fade = std::min(frames, static_cast<std::size_t>(0.02 * rate));
  std::vector<float> out(frames * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    const double g = gain * (i + fade >= frames && fade > 0 ? static_cast<double>(frames - i) / static_cast<double>(fade) : 1.0);
    out[2 * i] = static_cast<float>(left[i] * g);
    out[2 * i + 1] = static_cast<float>(right[i] * g);
  }
  return out;
}

}  // namespace qrv::cli
