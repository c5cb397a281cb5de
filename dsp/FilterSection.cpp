#include "dsp/FilterSection.h"

namespace qrv {

void FilterSection::Create(int t, double f, double quality) {
  sampleRate = 44100.0;
  type = t;
  frequency = f;
  q = quality;
  Clear();
  Compute();
}

void FilterSection::SetSampleRate(double rate) {
  sampleRate = rate;
  const double limitRate = (rate >= 20000.0 && rate <= 200000.0) ? rate : 44100.0;
  if (frequency > kNyquistMargin * limitRate) frequency = kNyquistMargin * limitRate;
  Compute();
}

void FilterSection::Compute() {
  const double fs = sampleRate;
  if (frequency > kNyquistMargin * fs) frequency = kNyquistMargin * fs;
  const double f = frequency;
  const double w = f * kTwoPi / fs;
  double s, c;
  FrameMath::SinCos(w, s, c);
  const bool high = type == kHighPass;
  const double e = f * ((high ? kHighPassWidening : kLowPassWidening) / fs);
  double en;
  if (high) {
    const double e3 = e * e * e;
    en = e3 * e3;
  } else {
    const double e2 = e * e;
    const double e4 = e2 * e2;
    en = e4 * e4;
  }
  // 1 - e^n leaves alpha alone at low corners and widens the band steeply near 0.499 fs.
  const double alpha = s / ((2.0 * q) * (1.0 - en));
  SetCoefficients(high ? HighPassOf(alpha, c) : LowPassOf(alpha, c));
}

}  // namespace qrv
