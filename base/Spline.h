#pragma once
// A natural cubic spline through up to four coordinate arrays, for curved lines and
// paths. The parameter t runs over the point indices: t = i at point i.

#include <vector>

#include "base/Geometry.h"

class TCubicSpline {
public:
  // Copies nothing of the arrays: computes the coefficients of each coordinate from
  // its n values. A null array gives a coordinate that evaluates to 0; so does n < 1.
  // A single point gives a constant spline.
  TCubicSpline(const float* x, const float* y, const float* z, const float* w, int n);

  // The point at t; outside 0..n-1 the end segments extrapolate.
  void SplinePointAt(float t, float& x, float& y, float& z) const;
  TAffineVector EvaluateVector(float t) const;

private:
  // The cubic of one segment in the global parameter: ((C3 t + C2) t + C1) t + C0.
  struct TSegment {
    float C3, C2, C1, C0;
  };
  using TCoefficients = std::vector<TSegment>;

  static TCoefficients CoefficientsOf(const float* p, int n);
  float Evaluate(const TCoefficients& c, float t) const;

  TCoefficients FMatX, FMatY, FMatZ;
  // Computed and kept, but no evaluation reads it.
  TCoefficients FMatW;
  int FNb;
};
