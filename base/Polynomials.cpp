#include "base/Polynomials.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/Exceptions.h"
#include "base/Geometry.h"

bool IsZero(double x) { return std::fabs(x) <= PolyZeroThreshold; }

double CubeRoot(double x) {
  if (x > 0) return PowerSingle(static_cast<float>(x), 1.0f / 3);
  if (x < 0) return -PowerSingle(static_cast<float>(-x), 1.0f / 3);
  return 0;
}

TDoubleArray QuadraticRoots(const std::array<double, 3>& c) {
  // Without an x^2 term the formula below divides by zero.
  if (IsZero(c[2])) {
    if (IsZero(c[1])) return {};
    return {-c[0] / c[1]};
  }
  double p = c[1] / (2 * c[2]);
  double q = c[0] / c[2];
  double d = p * p - q;
  if (IsZero(d)) return {-p};
  if (d < 0) return {};
  double s = std::sqrt(d);
  return {s - p, -s - p};
}

TDoubleArray CubicRoots(const std::array<double, 4>& c) {
  if (IsZero(c[3])) return QuadraticRoots({c[0], c[1], c[2]});
  double a = c[2] / c[3], b = c[1] / c[3], k = c[0] / c[3];
  // Reduced form y^3 + 3p y + 2q = 0 with x = y - a/3.
  double p = (b - a * a / 3) / 3;
  double q = (2.0 / 27 * a * a * a - a * b / 3 + k) / 2;
  double d = q * q + p * p * p;
  TDoubleArray roots;
  if (IsZero(d)) {
    if (IsZero(q)) {
      roots = {0};
    } else {
      double u = CubeRoot(-q);
      roots = {2 * u, -u};
    }
  } else if (d < 0) {
    double phi = static_cast<double>(ArcCosExtended(-q * RSqrt(static_cast<float>(-p * p * p)))) / 3;
    double s = 2 * std::sqrt(-p);
    roots = {s * std::cos(phi), -s * std::cos(phi + std::numbers::pi / 3), -s * std::cos(phi - std::numbers::pi / 3)};
  } else {
    double r = std::sqrt(d);
    roots = {CubeRoot(r - q) - CubeRoot(r + q)};
  }
  for (double& x : roots) x -= a / 3;
  return roots;
}

namespace {

// Newton steps on the cubic c from x, kept only while they bring the value closer to 0.
double RefinedCubicRoot(const std::array<double, 4>& c, double x) {
  auto value = [&c](double t) { return ((c[3] * t + c[2]) * t + c[1]) * t + c[0]; };
  for (int step = 0; step < 4; ++step) {
    double slope = (3 * c[3] * x + 2 * c[2]) * x + c[1];
    if (slope == 0) break;
    double next = x - value(x) / slope;
    if (!(std::fabs(value(next)) < std::fabs(value(x)))) break;
    x = next;
  }
  return x;
}

// Replaces x by its square root; 0 when x is zero or within rounding of zero against
// `scale`. False when x is truly negative.
bool TakeSquareRoot(double& x, double scale) {
  if (IsZero(x) || std::fabs(x) <= 1e-12 * scale) {
    x = 0;
    return true;
  }
  if (x < 0) return false;
  x = std::sqrt(x);
  return true;
}

}  // namespace

TDoubleArray QuarticRoots(const std::array<double, 5>& c) {
  if (IsZero(c[4])) return CubicRoots({c[0], c[1], c[2], c[3]});
  double a = c[3] / c[4], b = c[2] / c[4], k = c[1] / c[4], d = c[0] / c[4];
  // Reduced form y^4 + p y^2 + q y + r = 0 with x = y - a/4.
  double aa = a * a;
  double p = -3.0 / 8 * aa + b;
  double q = aa * a / 8 - a * b / 2 + k;
  double r = -3.0 / 256 * aa * aa + aa * b / 16 - a * k / 4 + d;
  TDoubleArray roots;
  if (IsZero(r)) {
    roots = CubicRoots({q, p, 0, 1});
    roots.push_back(0);
  } else {
    // Ferrari: one root z of the resolvent cubic splits the quartic into two quadratics.
    const std::array<double, 4> cubic{r * p / 2 - q * q / 8, -r, -p / 2, 1};
    TDoubleArray resolvent = CubicRoots(cubic);
    BRV_ASSERT(!resolvent.empty());
    // The largest root makes u and v below non-negative whenever the quartic has real
    // roots. The cubic solver is accurate to single precision only, and an error of
    // that size in z turns a zero u or v (a double root, or the example
    // (x-1)(x-2)(x-3)(x-4)) negative: refine z in double, then take values within
    // rounding of zero as zero.
    double z = *std::max_element(resolvent.begin(), resolvent.end());
    z = RefinedCubicRoot(cubic, z);
    double u = z * z - r, v = 2 * z - p;
    if (!TakeSquareRoot(u, std::fmax(z * z, std::fabs(r))) || !TakeSquareRoot(v, std::fmax(std::fabs(2 * z), std::fabs(p))))
      return {};
    double sv = q < 0 ? -v : v;
    roots = QuadraticRoots({z - u, sv, 1});
    TDoubleArray second = QuadraticRoots({z + u, -sv, 1});
    roots.insert(roots.end(), second.begin(), second.end());
  }
  for (double& x : roots) x -= a / 4;
  return roots;
}

bool SmallestNonNegativeRoot(const TDoubleArray& roots, double& root) {
  bool found = false;
  for (double x : roots) {
    if (x >= 0 && (!found || x < root)) {
      root = x;
      found = true;
    }
  }
  return found;
}
