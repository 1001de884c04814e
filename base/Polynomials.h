#pragma once
// Real roots of polynomials of degree 2, 3 and 4 in double precision, for the ray
// tests of curved objects. Coefficients run from the constant term up: c[k] is the
// coefficient of x^k.

#include <array>
#include <vector>

using TDoubleArray = std::vector<double>;

// Below this in absolute value a double counts as zero.
inline constexpr double PolyZeroThreshold = 1e-40;

bool IsZero(double x);
// Real cube root, accurate to single precision.
double CubeRoot(double x);
// Two roots sqrt(D) - p first, one double root, or none. A vanishing x^2 term leaves
// the linear equation (one root, or none when it is constant).
TDoubleArray QuadraticRoots(const std::array<double, 3>& c);
// One to three roots; a vanishing x^3 term falls back to QuadraticRoots.
TDoubleArray CubicRoots(const std::array<double, 4>& c);
// Up to four roots, in no particular order; a vanishing x^4 term falls back to CubicRoots.
TDoubleArray QuarticRoots(const std::array<double, 5>& c);
// The smallest root >= 0, and true; false when there is none.
bool SmallestNonNegativeRoot(const TDoubleArray& roots, double& root);
