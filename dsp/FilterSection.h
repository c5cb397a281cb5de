// Second-order IIR section in direct form I with RBJ cookbook coefficients, widened near Nyquist.
// Owned by one engine; audio thread only.
#pragma once

#include <cmath>

#include "dsp/EngineFormulas.h"

namespace qrv {

class FilterSection {
 public:
  enum Type : int { kHighPass = 1, kLowPass = 8 };

  // sampleRate 44100, state zero, coefficients computed.
  void Create(int type, double frequency, double q);
  // Keeps rate as the section's rate; the corner limit uses 44100 for rates outside 20000..200000.
  void SetSampleRate(double rate);
  void Compute();
  void Clear() { x1 = x2 = y1 = y2 = 0.0; }
  // Puts the section at rest on a constant input of `value` (exact for unity DC gain low-passes).
  void Settle(double value) { x1 = x2 = y1 = y2 = value; }
  void SetCoefficients(const Coefficients<double>& c) {
    a0 = c.a0;
    a1 = c.a1;
    a2 = c.a2;
    b0 = c.b0;
    b1 = c.b1;
    b2 = c.b2;
  }

  double Step(double x) {
    const double y = BiquadStep(*this, x, x1, x2, y1, y2);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

  bool IsFinite() const {
    return std::isfinite(x1) && std::isfinite(x2) && std::isfinite(y1) && std::isfinite(y2);
  }

  double sampleRate = 44100.0;
  int type = kLowPass;
  double frequency = 1000.0;
  double q = 0.707;
  double a0 = 1.0, a1 = 0.0, a2 = 0.0;
  double b0 = 1.0, b1 = 0.0, b2 = 0.0;
  double x1 = 0.0, x2 = 0.0;
  double y1 = 0.0, y2 = 0.0;
};

}  // namespace qrv
