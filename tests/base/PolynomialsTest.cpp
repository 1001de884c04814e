#include "base/Polynomials.h"

#include <gsl/gsl_poly.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

TDoubleArray Sorted(TDoubleArray roots) {
  std::sort(roots.begin(), roots.end());
  return roots;
}

void ExpectRoots(const TDoubleArray& found, const TDoubleArray& expected, double tolerance) {
  ASSERT_EQ(found.size(), expected.size());
  TDoubleArray a = Sorted(found), b = Sorted(expected);
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], tolerance) << "root " << i;
}

TEST(Polynomials, QuadraticRootsInTheirOrder) {
  const struct {
    std::array<double, 3> c;
    TDoubleArray roots;
  } cases[] = {
      {{2, -3, 1}, {2, 1}},   {{1, 2, 1}, {-1}}, {{1, 0, 1}, {}},  {{-8, 0, 2}, {2, -2}},
      // Without the x^2 term: the linear root, or none for a constant.
      {{4, 2, 0}, {-2}},      {{4, 0, 0}, {}},   {{0, 0, 0}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(QuadraticRoots(c.c), c.roots) << c.c[0] << " " << c.c[1] << " " << c.c[2];
}

TEST(Polynomials, WorkedCubicsAndQuartics) {
  ExpectRoots(CubicRoots({-6, 11, -6, 1}), {1, 2, 3}, 1e-5);
  EXPECT_EQ(CubicRoots({0, 0, 0, 1}), TDoubleArray{0});
  ExpectRoots(CubicRoots({-2, 3, 0, 0}), {2.0 / 3}, 1e-12);  // falls back to a linear equation
  ExpectRoots(QuarticRoots({24, -50, 35, -10, 1}), {1, 2, 3, 4}, 1e-9);
  ExpectRoots(QuarticRoots({1, 4, 6, 4, 1}), {-1, -1}, 1e-9);
  ExpectRoots(QuarticRoots({2, -3, 3, -3, 1}), {1, 2}, 1e-9);  // (x^2 + 1)(x - 1)(x - 2)
  EXPECT_TRUE(QuarticRoots({4, 0, 5, 0, 1}).empty());           // (x^2 + 1)(x^2 + 4)
}

TEST(Polynomials, SmallestNonNegativeRoot) {
  const struct {
    TDoubleArray roots;
    bool found;
    double smallest;
  } cases[] = {{{-1, 0.5, 0.25}, true, 0.25}, {{-1, -2}, false, 0}, {{0}, true, 0}, {{}, false, 0}, {{3, 1, 2}, true, 1}};
  for (const auto& c : cases) {
    double root = -99;
    EXPECT_EQ(SmallestNonNegativeRoot(c.roots, root), c.found);
    if (c.found) {
      EXPECT_EQ(root, c.smallest);
    }
  }
}

TEST(Polynomials, RandomPolynomialsMatchGsl) {
  std::mt19937 engine(1234);
  std::uniform_real_distribution<double> value(-5, 5);
  gsl_poly_complex_workspace* workspace = gsl_poly_complex_workspace_alloc(5);
  for (int k = 0; k < 300; ++k) {
    // x^3 + a x^2 + b x + c; the cube roots are accurate to single precision.
    double a = value(engine), b = value(engine), c = value(engine), r[3];
    int n = gsl_poly_solve_cubic(a, b, c, &r[0], &r[1], &r[2]);
    ExpectRoots(CubicRoots({c, b, a, 1}), TDoubleArray(r, r + n), 2e-4);
    // (x^2 + p1 x + p0)(x^2 + q1 x + q0) times a leading factor: four real roots or two.
    double p0 = value(engine), p1 = value(engine), q0 = value(engine), q1 = value(engine), lead = 0.5 + std::fabs(a);
    std::array<double, 5> quartic{lead * p0 * q0, lead * (p0 * q1 + p1 * q0), lead * (p0 + p1 * q1 + q0),
                                  lead * (p1 + q1), lead};
    double z[8];
    ASSERT_EQ(gsl_poly_complex_solve(quartic.data(), 5, workspace, z), 0);
    TDoubleArray real;
    for (int i = 0; i < 4; ++i)
      if (std::fabs(z[2 * i + 1]) < 1e-7) real.push_back(z[2 * i]);
    ExpectRoots(QuarticRoots(quartic), real, 1e-4);
  }
  gsl_poly_complex_workspace_free(workspace);
}

}  // namespace
