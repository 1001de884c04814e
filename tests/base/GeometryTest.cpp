#include "base/Geometry.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "GeometryTestSupport.h"
#include "base/Exceptions.h"

namespace {

using TEigenRows = Eigen::Matrix<float, 4, 4, Eigen::RowMajor>;

Eigen::Matrix4d ToEigen(const TMatrix4& m) { return Eigen::Map<const TEigenRows>(&m.Rows[0].x).cast<double>(); }

// Worked examples, run on both vector paths.
class GeometryPaths : public ::testing::TestWithParam<bool> {
protected:
  TPathSwitch FPath{GetParam()};
};

TEST_P(GeometryPaths, WorkedExamples) {
  TMatrix4 singular = MatrixScaleTranslate({1e-41f, 1, 1}, {4, 5, 6});
  MatrixInvert(singular);
  EXPECT_EQ(std::memcmp(&singular, &IdentityHmgMatrix, sizeof singular), 0);
  TMatrix4 rotation = MatrixRotationAxisAngle({1, 2, 3}, 0.7f), inverse = rotation;
  MatrixInvert(inverse);
  MatrixTransposeInPlace(rotation);
  EXPECT_MATRIX_NEAR(inverse, rotation, 1e-6);
  TMatrix4 st = MatrixScaleTranslate({2, 2, 2}, {1, 2, 3});
  MatrixInvert(st);
  EXPECT_MATRIX_NEAR(st, MatrixScaleTranslate({0.5f, 0.5f, 0.5f}, {-0.5f, -1, -1.5f}), 0);

  // A quarter turn about Z takes X to Y; A x B applies A first.
  TMatrix4 turnThenMove = MatrixMultiply(MatrixRotationZSinCos(1, 0), MatrixScaleTranslate({1, 1, 1}, {10, 0, 0}));
  EXPECT_VEC3_NEAR(Vec3TransformPoint({1, 0, 0}, turnThenMove), Vec3Make(10, 1, 0), 1e-6);
  EXPECT_VEC4_NEAR(Vec4Transform({1, 0, 0, 0}, turnThenMove), Vec4Make(0, 1, 0, 0), 1e-6);

  TMatrix4 m{{{2, 0, 0, 5}, {0, 3, 0, 5}, {0, 0, 7, 5}, {7, 8, 9, 2}}};
  MatrixOrthonormalize(m);
  EXPECT_MATRIX_NEAR(m, IdentityHmgMatrix, 1e-6);
  // Row 1 keeps its direction and the cross products are not normalised again.
  TMatrix4 skew{{{2, 0, 0, 5}, {1, 1, 0, 5}, {0, 0, 7, 5}, {7, 8, 9, 2}}};
  MatrixOrthonormalize(skew);
  const float h = std::sqrt(0.5f);
  EXPECT_MATRIX_NEAR(skew, (TMatrix4{{{0.5f, -0.5f, 0, 0}, {h, h, 0, 0}, {0, 0, h, 0}, {0, 0, 0, 1}}}), 1e-6);
}

TEST_P(GeometryPaths, MultiplyIntoAnOperandMatchesAFreshProduct) {
  TRandomInputs random;
  TMatrix4 a = random.Matrix(), b = random.Matrix();
  TMatrix4 fresh = MatrixMultiply(a, b), left = a, right = b, squared = MatrixMultiply(a, a);
  MatrixMultiplyTo(left, b, left);
  MatrixMultiplyTo(a, right, right);
  MatrixMultiplyTo(a, a, a);
  EXPECT_EQ(std::memcmp(&left, &fresh, sizeof fresh), 0);
  EXPECT_EQ(std::memcmp(&right, &fresh, sizeof fresh), 0);
  EXPECT_EQ(std::memcmp(&a, &squared, sizeof a), 0);
}

INSTANTIATE_TEST_SUITE_P(PlainAndPacked, GeometryPaths, ::testing::Bool());

TEST(GeometryVectors, ComponentRulesOfSubtractionAndComparison) {
  EXPECT_TRUE(Vec4Equal(Vec4SubKeepW({5, 5, 5, 7}, {1, 2, 3, 9}), Vec4Make(4, 3, 2, 7)));
  EXPECT_FALSE(Vec3Equal({0, 0, 0}, {-0.0f, 0, 0}));
  EXPECT_TRUE(Vec3IsNull({-0.0f, 0, 0}));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(Vec3Equal({nan, 1, 2}, {nan, 1, 2}));
}

TEST(GeometryVectors, BadIndexOrCountRaisesRangeError) {
  TVector v{1, 2, 3, 4};
  TAffineVector a{1, 2, 3};
  EXPECT_THROW(v[4], ERangeError);
  EXPECT_THROW(a[-1], ERangeError);
  EXPECT_THROW(IdentityHmgMatrix[4], ERangeError);
  EXPECT_THROW(Vec3ArrayNormalize(&a, -1), ERangeError);
  EXPECT_THROW(ScaleFloatArray(&v.x, -3, 2), ERangeError);
}

// The wide packed path computes the same lanes in the same order as the plain one:
// the results agree bit for bit.
TEST(GeometryMatrices, DeterminantAdjointAndInverseMatchEigen) {
  TRandomInputs random(7);
  for (int k = 0; k < 200; ++k) {
    TMatrix4 m = random.Matrix(4);
    Eigen::Matrix4d e = ToEigen(m);
    double det = e.determinant();
    Eigen::Matrix4d inverse = e.inverse();
    TMatrix4 inverses[2];
    for (bool path : {false, true}) {
      TPathSwitch paths(path);
      EXPECT_TRUE(Close(MatrixDeterminant(m), det, 1e-5)) << MatrixDeterminant(m) << " vs " << det;
      TMatrix4 adjoint = m, &inv = inverses[path] = m;
      MatrixAdjoint(adjoint);
      MatrixInvert(inv);
      if (std::fabs(det) < 1) continue;
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
          EXPECT_TRUE(Close(inv[i][j], inverse(i, j), 1e-5)) << inv[i][j] << " vs " << inverse(i, j);
          EXPECT_TRUE(Close(adjoint[i][j], inverse(i, j) * det, 1e-5));
        }
    }
    if (WideVectorPath) {
      EXPECT_EQ(std::memcmp(&inverses[0], &inverses[1], sizeof(TMatrix4)), 0);
    }
  }
  EXPECT_FLOAT_EQ(Det3x3(1, 0, 0, 2, 3, 0, 4, 5, 6), 18);
}

TEST(GeometryMatrices, ProductsMatchEigenRowVectors) {
  TRandomInputs random(11);
  for (int k = 0; k < 100; ++k) {
    TMatrix4 a = random.Matrix(), b = random.Matrix();
    TVector v = random.Vec4();
    Eigen::Matrix4d product = ToEigen(a) * ToEigen(b);
    Eigen::RowVector4d image = Eigen::RowVector4d(v.x, v.y, v.z, v.w) * ToEigen(a);
    for (bool path : {false, true}) {
      TPathSwitch paths(path);
      TMatrix4 ours = MatrixMultiply(a, b);
      TVector transformed = Vec4Transform(v, a);
      for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Close(transformed[i], image(i), 1e-5));
        for (int j = 0; j < 4; ++j) EXPECT_TRUE(Close(ours[i][j], product(i, j), 1e-5));
      }
    }
  }
}

TEST(GeometryMatrices, ScaledRigidInverseAgreesWithGeneralInverse) {
  TRandomInputs random(3);
  for (int k = 0; k < 50; ++k) {
    float scale = 0.5f + std::fabs(random.Value(2));
    TMatrix4 m = MatrixMultiply(MatrixRotationAxisAngle(random.Vec3(), random.Value(3)),
                                MatrixScaleTranslate({scale, scale, scale}, random.Vec3()));
    TMatrix4 general = m;
    MatrixInvert(general);
    EXPECT_MATRIX_NEAR(MatrixInvertScaledRigid(m), general, 2e-5);
  }
  EXPECT_MATRIX_NEAR(MatrixInvertScaledRigid(MatrixScaleTranslate({0, 1, 1}, {1, 1, 1})), IdentityHmgMatrix, 0);
}

// Every two-path routine gives the same results on both paths, within single-precision
// rounding (the packed normalisation refines the reciprocal-square-root estimate),
// including the odd items that the packed array loops leave over.
TEST(GeometryPathsAgree, EveryTwoPathRoutine) {
  TRandomInputs random(99);
  std::vector<TAffineVector> a3(23), b3(23);
  std::vector<TVector> a4(23), b4(23);
  for (int i = 0; i < 23; ++i) a3[i] = random.Vec3(), b3[i] = random.Vec3(), a4[i] = random.Vec4(), b4[i] = random.Vec4();
  const TMatrix4 m = random.Matrix();
  const float t = random.Value(2), f = random.Value(3);
  auto outputs = [&](int n) {
    std::vector<float> out;
    auto add = [&out](const auto& v) {
      float components[4];
      std::memcpy(components, &v, sizeof v);
      out.insert(out.end(), components, components + sizeof v / sizeof(float));
    };
    TVector x = a4[n], y = a4[n];
    TAffineVector z = a3[n];
    Vec4AddInPlace(x, b4[n]);
    Vec4SubInPlace(x, a4[n + 1]);
    Vec4AddScaledInPlace(x, b4[n + 1], f);
    Vec4NormalizeXYZInPlace(y);
    Vec3NormalizeInPlace(z);
    for (const TVector& v : {Vec4Add(a4[n], b4[n]), Vec4Sub(a4[n], b4[n]), Vec4CombineTo(a4[n], b4[n], f, t),
                             Vec4Lerp(a4[n], b4[n], t), Vec4Transform(a4[n], m), Vec4NormalizedFromVec3(b3[n]), x, y})
      add(v);
    for (const TAffineVector& v : {Vec3LerpTo(a3[n], b3[n], t), Vec3Normalized(b3[n]), z}) add(v);
    out.push_back(RSqrt(std::fabs(t) + 0.1f));
    std::vector<TAffineVector> moved(n), lerped(n), normal(a3.begin(), a3.begin() + n), inPlace = normal;
    std::vector<TVector> lerped4(n);
    std::vector<float> scaled;
    for (int i = 0; i < n; ++i) scaled.push_back(a4[i].y);
    Vec3ArrayTranslate(a3.data(), b3[0], moved.data(), n);
    Vec3ArrayTranslate(inPlace.data(), b3[1], inPlace.data(), n);
    Vec3ArrayLerp(a3.data(), b3.data(), t, lerped.data(), n);
    Vec4ArrayLerp(a4.data(), b4.data(), t, lerped4.data(), n);
    Vec3ArrayNormalize(normal.data(), n);
    ScaleFloatArray(scaled.data(), n, f);
    for (const auto* list : {&moved, &lerped, &normal, &inPlace})
      for (const TAffineVector& v : *list) add(v);
    for (const TVector& v : lerped4) add(v);
    out.insert(out.end(), scaled.begin(), scaled.end());
    return out;
  };
  for (int n : {0, 1, 2, 3, 5, 8, 13, 21}) {
    std::vector<float> plain, packed;
    {
      TPathSwitch path(false);
      plain = outputs(n);
    }
    {
      TPathSwitch path(true);
      packed = outputs(n);
    }
    ASSERT_EQ(plain.size(), packed.size());
    for (std::size_t i = 0; i < plain.size(); ++i)
      EXPECT_TRUE(Close(plain[i], packed[i], 2e-6)) << "n=" << n << " item " << i << ": " << plain[i] << " vs " << packed[i];
  }
}

}  // namespace
