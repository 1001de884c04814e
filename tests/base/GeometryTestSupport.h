#pragma once
// Helpers of the geometry tests: switching the vector path, seeded random inputs and
// comparisons within a tolerance.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "base/Geometry.h"

// Runs the enclosed code with the packed path on (1) or off (0), then restores it.
class TPathSwitch {
public:
  explicit TPathSwitch(bool path) : FSaved(FastVectorPath) { FastVectorPath = path; }
  ~TPathSwitch() { FastVectorPath = FSaved; }
  TPathSwitch(const TPathSwitch&) = delete;
  TPathSwitch& operator=(const TPathSwitch&) = delete;

private:
  bool FSaved;
};

// Fixed-seed random values in -range..range.
class TRandomInputs {
public:
  explicit TRandomInputs(unsigned seed = 20240611u) : FEngine(seed) {}
  float Value(float range = 10) { return std::uniform_real_distribution<float>(-range, range)(FEngine); }
  TAffineVector Vec3(float range = 10) { return {Value(range), Value(range), Value(range)}; }
  TVector Vec4(float range = 10) { return {Value(range), Value(range), Value(range), Value(range)}; }
  TMatrix4 Matrix(float range = 10) { return {{Vec4(range), Vec4(range), Vec4(range), Vec4(range)}}; }

private:
  std::mt19937 FEngine;
};

// |a - b| <= tolerance * max(1, |a|, |b|): relative for large values, absolute near 0.
inline bool Close(double a, double b, double tolerance = 1e-5) {
  double scale = std::fmax(1.0, std::fmax(std::fabs(a), std::fabs(b)));
  return std::fabs(a - b) <= tolerance * scale;
}

#define EXPECT_VEC3_NEAR(a, b, tol)                                     \
  do {                                                                  \
    const TAffineVector va_ = (a), vb_ = (b);                           \
    for (int i_ = 0; i_ < 3; ++i_) EXPECT_NEAR(va_[i_], vb_[i_], (tol)) << "component " << i_; \
  } while (false)

#define EXPECT_VEC4_NEAR(a, b, tol)                                     \
  do {                                                                  \
    const TVector va_ = (a), vb_ = (b);                                 \
    for (int i_ = 0; i_ < 4; ++i_) EXPECT_NEAR(va_[i_], vb_[i_], (tol)) << "component " << i_; \
  } while (false)

#define EXPECT_MATRIX_NEAR(a, b, tol)                                                  \
  do {                                                                                 \
    const TMatrix4 ma_ = (a), mb_ = (b);                                               \
    for (int r_ = 0; r_ < 4; ++r_)                                                     \
      for (int c_ = 0; c_ < 4; ++c_) EXPECT_NEAR(ma_[r_][c_], mb_[r_][c_], (tol)) << "[" << r_ << "][" << c_ << "]"; \
  } while (false)
