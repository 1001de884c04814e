#include "base/Spline.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_spline.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "GeometryTestSupport.h"

namespace {

TEST(Spline, PassesThroughItsPointsAndExtrapolatesTheEndSegments) {
  const float y[3] = {0, 1, 0}, x[3] = {0, 1, 2};
  TCubicSpline spline(x, y, nullptr, nullptr, 3);
  EXPECT_VEC3_NEAR(spline.EvaluateVector(1), Vec3Make(1, 1, 0), 1e-6);
  // Natural spline through (0,0), (1,1), (2,0): 1.5t - 0.5t^3 on the first segment,
  // its mirror image on the second; beyond the ends the end cubics go on.
  EXPECT_NEAR(spline.EvaluateVector(0.5f).y, 0.6875f, 1e-6);
  EXPECT_NEAR(spline.EvaluateVector(-1).y, -1, 1e-5);
  EXPECT_NEAR(spline.EvaluateVector(3).y, -1, 1e-5);
  EXPECT_VEC3_NEAR(spline.EvaluateVector(-1), Vec3Make(-1, -1, 0), 1e-5);  // no Z array
}

TEST(Spline, DegenerateCountsStayInBounds) {
  const float one[1] = {4};
  TCubicSpline single(one, one, one, one, 1);
  for (float t : {-2.0f, 0.0f, 0.5f, 1.0f, 7.0f}) EXPECT_VEC3_NEAR(single.EvaluateVector(t), Vec3Make(4, 4, 4), 0);
  for (int n : {0, -3}) {
    TCubicSpline empty(one, one, one, one, n);
    EXPECT_VEC3_NEAR(empty.EvaluateVector(0.5f), Vec3Make(0, 0, 0), 0);
  }
  const float two[2] = {1, 3};
  TCubicSpline line(two, two, two, nullptr, 2);
  EXPECT_NEAR(line.EvaluateVector(0.5f).x, 2, 1e-6);
  EXPECT_TRUE(std::isnan(line.EvaluateVector(std::numeric_limits<float>::quiet_NaN()).x));
}

TEST(Spline, MatchesGslNaturalCubicSpline) {
  TRandomInputs random(31);
  const int n = 12;
  std::vector<float> values(n);
  std::vector<double> knots(n), dvalues(n);
  for (int i = 0; i < n; ++i) {
    values[i] = random.Value(5);
    knots[i] = i;
    dvalues[i] = values[i];
  }
  std::unique_ptr<gsl_spline, decltype(&gsl_spline_free)> oracle(gsl_spline_alloc(gsl_interp_cspline, n),
                                                                 gsl_spline_free);
  std::unique_ptr<gsl_interp_accel, decltype(&gsl_interp_accel_free)> accel(gsl_interp_accel_alloc(),
                                                                            gsl_interp_accel_free);
  ASSERT_EQ(gsl_spline_init(oracle.get(), knots.data(), dvalues.data(), n), GSL_SUCCESS);
  TCubicSpline spline(values.data(), values.data(), values.data(), values.data(), n);
  for (double t = 0; t <= n - 1; t += 0.125) {
    double expected = gsl_spline_eval(oracle.get(), t, accel.get());
    // The coefficients are singles in the global parameter: a few ulps of the largest terms.
    EXPECT_NEAR(spline.EvaluateVector(static_cast<float>(t)).z, expected, 2e-3) << "t = " << t;
  }
}

}  // namespace
