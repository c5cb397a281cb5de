// Second-order IIR section in direct form I with RBJ cookbook coefficients, widened near Nyquist.
// Owned by one engine; audio thread only.
#pragma once

#include <cmath>

namespace qrv {

class FilterSection {
 public:
  enum Type : int { kHighPass = 1, kLowPass = 8 };

  // sampleRate 44100, state zero, coefficients computed.
  void Create(int type, double frequency, double q);
  // Keeps rate as the section's rate; the corner limit uses 44100 for rates outside 20000..200000.
  void SetSampleRate(double rate);
  void Compute();
  void Clear() { x0 = x1 = x2 = y0 = y1 = y2 = 0.0; }
  // Puts the section at rest on a constant input of `value` (exact for unity DC gain low-passes).
  void Settle(double value) { x0 = x1 = x2 = y0 = y1 = y2 = value; }

  // The envelope's per-frame low-pass: plain RBJ (no near-Nyquist term) at corner fc.
  void ComputeEnvelopeLowPass(double fc) {
    frequency = fc;
    const double f = fc < 0.001 ? 0.001 : std::fmin(0.499 * sampleRate, fc);
    const double w = f * 6.283185307179586 / sampleRate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) * (0.5 / q);
    a0 = 1.0 + alpha;
    const double r = 1.0 / a0;
    a1 = (-2.0 * cw) * r;
    a2 = (1.0 - alpha) * r;
    b1 = (1.0 - cw) * r;
    b0 = b2 = ((1.0 - cw) * 0.5) * r;
  }

  double Step(double x) {
    const double y = ((b1 * x1 + b0 * x) + b2 * x2) - a1 * y1 - a2 * y2;
    x0 = x;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    y0 = y;
    return y;
  }

  // Four Steps with the same input, unrolled; returns the fourth output, bit for bit as four Steps.
  double StepHeld4(double x) {
    const double bx = b0 * x;
    const double o1 = ((b1 * x1 + bx) + b2 * x2) - a1 * y1 - a2 * y2;
    const double o2 = ((b1 * x + bx) + b2 * x1) - a1 * o1 - a2 * y1;
    const double o3 = ((b1 * x + bx) + b2 * x) - a1 * o2 - a2 * o1;
    const double o4 = ((b1 * x + bx) + b2 * x) - a1 * o3 - a2 * o2;
    x0 = x1 = x2 = x;
    y2 = o3;
    y1 = y0 = o4;
    return o4;
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
  double x0 = 0.0, x1 = 0.0, x2 = 0.0;
  double y0 = 0.0, y1 = 0.0, y2 = 0.0;
};

}  // namespace qrv
