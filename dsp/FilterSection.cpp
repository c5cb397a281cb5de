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
  if (frequency > 0.499 * limitRate) frequency = 0.499 * limitRate;
  Compute();
}

void FilterSection::Compute() {
  const double fs = sampleRate;
  if (frequency > 0.499 * fs) frequency = 0.499 * fs;
  const double f = frequency;
  const double w = f * 6.283185307179586 / fs;
  const double s = std::sin(w);
  const double c = std::cos(w);
  const bool high = type == kHighPass;
  const double e = f * ((high ? 1.9996000799840032 : 1.9999600007999843) / fs);
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
  a0 = 1.0 + alpha;
  const double r = 1.0 / a0;
  a1 = (-2.0 * c) * r;
  a2 = (1.0 - alpha) * r;
  if (high) {
    b0 = b2 = ((1.0 + c) * 0.5) * r;
    b1 = -((1.0 + c) * r);
  } else {
    b0 = b2 = ((1.0 - c) * 0.5) * r;
    b1 = (1.0 - c) * r;
  }
}

}  // namespace qrv
