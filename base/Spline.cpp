#include "base/Spline.h"

#include <cmath>

#include "base/Exceptions.h"

namespace {

// Solves the tridiagonal system with diagonal 2, 4, ..., 4, 2 and ones beside it (the
// end derivatives of a natural spline over unit steps) by its Cholesky factors.
std::vector<float> SolveDerivatives(const std::vector<float>& rhs) {
  BRV_ASSERT(rhs.size() >= 2);
  const std::size_t n = rhs.size();
  std::vector<float> l(n), e(n), y(n), d(n);
  l[0] = std::sqrt(2.0f);
  e[0] = 1 / l[0];
  for (std::size_t i = 1; i < n; ++i) {
    l[i] = std::sqrt((i + 1 < n ? 4.0f : 2.0f) - e[i - 1] * e[i - 1]);
    e[i] = 1 / l[i];
  }
  y[0] = rhs[0] / l[0];
  for (std::size_t i = 1; i < n; ++i) y[i] = (rhs[i] - y[i - 1] * e[i - 1]) / l[i];
  d[n - 1] = y[n - 1] / l[n - 1];
  for (std::size_t i = n - 1; i-- > 0;) d[i] = (y[i] - d[i + 1] * e[i]) / l[i];
  return d;
}

}  // namespace

TCubicSpline::TCubicSpline(const float* x, const float* y, const float* z, const float* w, int n)
    : FMatX(CoefficientsOf(x, n)),
      FMatY(CoefficientsOf(y, n)),
      FMatZ(CoefficientsOf(z, n)),
      FMatW(CoefficientsOf(w, n)),
      FNb(n) {}

TCubicSpline::TCoefficients TCubicSpline::CoefficientsOf(const float* p, int n) {
  if (!p || n < 1) return {};
  // One point: a constant, where the computation below would need two.
  if (n == 1) return {{0, 0, 0, p[0]}};
  const std::size_t count = static_cast<std::size_t>(n);
  std::vector<float> rhs(count);
  rhs[0] = 3 * (p[1] - p[0]);
  for (std::size_t i = 1; i + 1 < count; ++i) rhs[i] = 3 * (p[i + 1] - p[i - 1]);
  rhs[count - 1] = 3 * (p[count - 1] - p[count - 2]);
  std::vector<float> d = SolveDerivatives(rhs);
  TCoefficients c(count - 1);
  for (std::size_t k = 0; k + 1 < count; ++k) {
    // The local cubic p[k] + D[k] u + a u^2 + b u^3 with u = t - k, written in t.
    float i = static_cast<float>(k);
    float delta = p[k + 1] - p[k];
    float a = 3 * delta - 2 * d[k] - d[k + 1];
    float b = -2 * delta + d[k] + d[k + 1];
    c[k] = {b, a - 3 * i * b, (3 * i * b - 2 * a) * i + d[k], ((a - i * b) * i - d[k]) * i + p[k]};
  }
  return c;
}

float TCubicSpline::Evaluate(const TCoefficients& c, float t) const {
  if (c.empty()) return 0;
  int i;
  if (t <= 0)
    i = 0;
  else if (t > FNb - 1)
    i = FNb - 1;
  else
    i = TruncToInt(t);
  if (i >= static_cast<int>(c.size())) i = static_cast<int>(c.size()) - 1;
  const TSegment& s = c[static_cast<std::size_t>(i)];
  return ((s.C3 * t + s.C2) * t + s.C1) * t + s.C0;
}

void TCubicSpline::SplinePointAt(float t, float& x, float& y, float& z) const {
  x = Evaluate(FMatX, t);
  y = Evaluate(FMatY, t);
  z = Evaluate(FMatZ, t);
}

TAffineVector TCubicSpline::EvaluateVector(float t) const {
  TAffineVector v;
  SplinePointAt(t, v.x, v.y, v.z);
  return v;
}
