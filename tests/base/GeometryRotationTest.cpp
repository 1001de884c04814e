#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "GeometryTestSupport.h"
#include "base/Exceptions.h"
#include "base/Geometry.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

glm::quat ToGlm(const TQuaternion& q) { return {q.RealPart, q.ImagPart.x, q.ImagPart.y, q.ImagPart.z}; }

void ExpectSameRotation(const TQuaternion& ours, const glm::quat& theirs, float tolerance = 2e-6f) {
  // q and -q are the same rotation.
  float sign = glm::dot(ToGlm(ours), theirs) < 0 ? -1.0f : 1.0f;
  EXPECT_NEAR(ours.ImagPart.x, sign * theirs.x, tolerance);
  EXPECT_NEAR(ours.ImagPart.y, sign * theirs.y, tolerance);
  EXPECT_NEAR(ours.ImagPart.z, sign * theirs.z, tolerance);
  EXPECT_NEAR(ours.RealPart, sign * theirs.w, tolerance);
}

TEST(GeometryScalars, AngleFoldingAndPowers) {
  const struct {
    float in, out;
  } degrees[] = {{540, 180}, {-190, 170}, {180, 180}, {-180, -180}, {725, 5}, {-725, -5}, {0, 0}};
  for (const auto& c : degrees) EXPECT_FLOAT_EQ(NormalizeDegrees(c.in), c.out) << c.in;
  EXPECT_EQ(PowerSingle(0, 0), 1);
  EXPECT_EQ(PowerSingle(0, 2), 0);
  EXPECT_TRUE(std::isnan(PowerSingle(-2, 0.5f)));
  EXPECT_TRUE(std::isinf(PowerSingle(0, -1)));
  EXPECT_FLOAT_EQ(PowerSingle(8, 1.0f / 3), 2);
  EXPECT_EQ(RaiseToInteger(2, -2), 0.25f);
  EXPECT_EQ(RaiseToInteger(3, 5), 243);
  // The magnitude of INT_MIN does not fit an int.
  EXPECT_EQ(RaiseToInteger(1, INT_MIN), 1);
  EXPECT_EQ(RaiseToInteger(2, INT_MIN), 0);
}

TEST(GeometryScalars, IntegerConversionNeverLeavesTheIntRange) {
  const struct {
    float in;
    int trunc, round;
  } cases[] = {{2.5f, 2, 2},           {3.5f, 3, 4},           {-2.5f, -2, -2},       {-2.7f, -2, -3},
               {0.49999997f, 0, 0},     {kNaN, 0, 0},           {1e10f, INT_MAX, INT_MAX}, {-1e10f, INT_MIN, INT_MIN},
               {std::numeric_limits<float>::infinity(), INT_MAX, INT_MAX}, {2147483520.0f, 2147483520, 2147483520}};
  for (const auto& c : cases) {
    EXPECT_EQ(TruncToInt(c.in), c.trunc) << c.in;
    EXPECT_EQ(RoundToInt(c.in), c.round) << c.in;
  }
}

TEST(GeometryScalars, ArcFunctionsClampArgumentsRoundedPastOne) {
  EXPECT_EQ(ArcCosExtended(1.0000001L), 0);
  EXPECT_NEAR(static_cast<double>(ArcCosExtended(-1.0000001L)), std::numbers::pi, 1e-15);
  EXPECT_NEAR(static_cast<double>(ArcSinExtended(1.0000001L)), std::numbers::pi / 2, 1e-15);
}

TEST(GeometryQuaternions, QuaternionsAndRotationsMatchGlm) {
  TRandomInputs random(5);
  for (int k = 0; k < 100; ++k) {
    TAffineVector axis = random.Vec3();
    float degrees = random.Value(360);
    TQuaternion a = QuatFromAxisAngleDeg(axis, degrees);
    glm::quat ga = glm::angleAxis(glm::radians(double(degrees)), glm::normalize(glm::dvec3(axis.x, axis.y, axis.z)));
    ExpectSameRotation(a, glm::quat(ga));
    TQuaternion b = QuatFromAxisAngleDeg(random.Vec3(), random.Value(360));
    ExpectSameRotation(QuatMultiply(a, b), ToGlm(a) * ToGlm(b));
    glm::mat4 rotation = glm::mat4_cast(ToGlm(a));
    TMatrix4 ours = QuatToMatrix(a);
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) EXPECT_NEAR(ours[i][j], rotation[i][j], 2e-6);
    float t = std::fabs(random.Value(1));
    ExpectSameRotation(QuatSlerp(a, b, t), glm::normalize(glm::slerp(ToGlm(a), ToGlm(b), t)), 2e-5f);
    // MatrixRotationAxisAngle turns the other way round from glm::rotate.
    float angle = random.Value(3);
    glm::mat4 theirs = glm::rotate(glm::mat4(1), -angle, glm::vec3(axis.x, axis.y, axis.z));
    ours = MatrixRotationAxisAngle(axis, angle);
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) EXPECT_NEAR(ours[i][j], theirs[i][j], 2e-6);
  }
}

TEST(GeometryQuaternions, EulerOrdersMultiplyInTheirTableOrder) {
  const float x = 10, y = 20, z = 30;
  glm::quat qx = glm::angleAxis(glm::radians(x), glm::vec3(1, 0, 0));
  glm::quat qy = glm::angleAxis(glm::radians(y), glm::vec3(0, 1, 0));
  glm::quat qz = glm::angleAxis(glm::radians(z), glm::vec3(0, 0, 1));
  const glm::quat expected[6] = {qx * qy * qz, qx * qz * qy, qy * qx * qz, qy * qz * qx, qz * qx * qy, qz * qy * qx};
  for (TEulerOrder order = 0; order < 6; ++order) ExpectSameRotation(QuatFromEuler(order, x, y, z), expected[order]);

  TQuaternion pole = QuatFromEuler(0, 0, 90, 0), safe = QuatFromEulerSafe(0, 0, 90, 0);
  EXPECT_NE(std::memcmp(&pole, &safe, sizeof pole), 0);
  ExpectSameRotation(safe, ToGlm(pole), 1e-6f);
  try {
    QuatFromEulerSafe(6, 0, 0, 0);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Unit(), "Geometry");
    EXPECT_EQ(e.Message(), "Assertion failure");
  }
}

TEST(GeometryQuaternions, SlerpTakesTheShortWayAndNormalizes) {
  TQuaternion a = QuatFromAxisAngleDeg(ZVector, 10), b = QuatFromAxisAngleDeg(ZVector, 50);
  TQuaternion negatedB{Vec3Negated(b.ImagPart), -b.RealPart}, twice{{0, 0, 2}, 0}, tiny{{0, 0, 1e-31f}, 0};
  ExpectSameRotation(QuatSlerp(a, negatedB, 0.5f), ToGlm(QuatFromAxisAngleDeg(ZVector, 30)), 1e-6f);
  EXPECT_NEAR(QuatSlerp(twice, twice, 0.3f).ImagPart.z, 1, 1e-7);
  QuatNormalize(tiny);
  EXPECT_EQ(std::memcmp(&tiny, &IdentityQuaternion, sizeof tiny), 0);
}

TEST(GeometryTransformParts, RecoverTrueScaleShearRotationAndTranslation) {
  TMatrix4 m = MatrixMultiply(MatrixMultiply(MatrixScaleTranslate({2, 3, 4}, {0, 0, 0}),
                                             QuatToMatrix(QuatFromEuler(5, 20, 30, 40))),
                              MatrixScaleTranslate({1, 1, 1}, {7, 8, 9}));
  TMatrixParts p;
  ASSERT_TRUE(MatrixToTransformParts(m, p));
  const float expected[16] = {2, 3, 4, 0, 0, 0, 20, 30, 40, 7, 8, 9, 0, 0, 0, 0};
  const float found[16] = {p.ScaleX, p.ScaleY, p.ScaleZ, p.ShearXY, p.ShearXZ, p.ShearYZ,
                           RadToDegSingle(p.RotateX), RadToDegSingle(p.RotateY), RadToDegSingle(p.RotateZ),
                           p.TranslateX, p.TranslateY, p.TranslateZ, p.PerspectiveX, p.PerspectiveY, p.PerspectiveZ,
                           p.PerspectiveW};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(found[i], expected[i], 1e-4) << "part " << i;
  // A sheared row: shear xy is measured in units of the second scale.
  TMatrix4 sheared = IdentityHmgMatrix;
  sheared[1] = {1, 2, 0, 0};
  ASSERT_TRUE(MatrixToTransformParts(sheared, p));
  EXPECT_NEAR(p.ScaleY, 2, 1e-6);
  EXPECT_NEAR(p.ShearXY, 0.5f, 1e-6);
  // A perspective column: r x transpose(inverse(P)), with P the matrix without it.
  TMatrix4 projective = MatrixScaleTranslate({2, 2, 2}, {1, 2, 3});
  projective[0].w = 0.5f, projective[2].w = 0.25f;
  ASSERT_TRUE(MatrixToTransformParts(projective, p));
  EXPECT_VEC4_NEAR(Vec4Make(p.PerspectiveX, p.PerspectiveY, p.PerspectiveZ, p.PerspectiveW),
                   Vec4Make(0.25f, 0, 0.125f, 0.375f), 1e-6);
  EXPECT_NEAR(p.TranslateZ, 3, 1e-6);
  // A failure leaves nothing half-written.
  TMatrix4 flat = IdentityHmgMatrix;
  flat[3].w = 0;
  for (const TMatrix4& bad : {flat, MatrixScaleTranslate({1, 0, 1}, {1, 2, 3})}) {
    p.ScaleX = p.TranslateX = 99;
    EXPECT_FALSE(MatrixToTransformParts(bad, p));
    EXPECT_EQ(p.ScaleX, 0);
    EXPECT_EQ(p.TranslateX, 0);
  }
  TAffineVector a{0.1f, 0.2f, 0.3f}, b{0.5f, 0.2f, 0.1f};
  EXPECT_VEC3_NEAR(Vec3AngleLerp(a, b, 0), a, 1e-5);
  EXPECT_VEC3_NEAR(Vec3AngleLerp(a, b, 1), b, 1e-5);
  EXPECT_VEC3_NEAR(Vec3AngleLerp({0, 0, 0}, {0, 0, 1}, 0.5f), Vec3Make(0, 0, 0.5f), 1e-5);
}

TEST(GeometryIntersections, RayAgainstPlane) {
  const TVector normal{0, 1, 0, 0}, onPlane{0, 5, 0, 1}, start{1, 0, 2, 1};
  TVector hit;
  EXPECT_TRUE(IntersectRayPlane(start, {0, 2, 0, 0}, onPlane, normal, &hit));
  EXPECT_VEC4_NEAR(hit, Vec4Make(1, 5, 2, 1), 0);
  // Pointing away: not hit when the point is asked for, "not parallel" otherwise.
  EXPECT_FALSE(IntersectRayPlane(start, {0, -1, 0, 0}, onPlane, normal, &hit));
  EXPECT_TRUE(IntersectRayPlane(start, {0, -1, 0, 0}, onPlane, normal));
  // Parallel: never a hit, not even an infinitely distant one.
  EXPECT_FALSE(IntersectRayPlane(start, {1, 0, 0, 0}, onPlane, normal));
  EXPECT_FALSE(IntersectRayPlane(start, {1, 0, 0, 0}, onPlane, normal, &hit));
  EXPECT_FALSE(IntersectRayPlane(onPlane, {1, 0, 0, 0}, onPlane, normal, &hit));
}

TEST(GeometryIntersections, RayAgainstTriangle) {
  const TAffineVector p1{0, 0, 0}, p2{1, 0, 0}, p3{0, 1, 0};
  TVector hit, normal;
  EXPECT_TRUE(IntersectRayTriangle({0.25f, 0.25f, 5, 1}, {0, 0, -1, 0}, p1, p2, p3, &hit, &normal));
  EXPECT_VEC4_NEAR(hit, Vec4Make(0.25f, 0.25f, 0, 1), 1e-6);
  EXPECT_VEC4_NEAR(normal, Vec4Make(0, 0, 1, 0), 0);
  const struct {
    TVector start, direction;
    bool hit;
  } rays[] = {
      {{0, 0, 5, 1}, {0, 0, -1, 0}, true},          // through a vertex (u = v = 0)
      {{0.25f, 0.25f, -5, 1}, {0, 0, 1, 0}, true},  // from behind: two-sided
      {{0.25f, 0.25f, 5, 1}, {0, 0, 1, 0}, false},  // triangle behind the start
      {{0.25f, 0.25f, 5, 1}, {1, 0, 0, 0}, false},  // parallel
      {{0.9f, 0.9f, 5, 1}, {0, 0, -1, 0}, false},   // beside the hypotenuse
      {{-0.1f, 0.5f, 5, 1}, {0, 0, -1, 0}, false},  // u < 0
  };
  for (const auto& r : rays) EXPECT_EQ(IntersectRayTriangle(r.start, r.direction, p1, p2, p3), r.hit);
}

TEST(GeometryIntersections, RayAgainstSphere) {
  const struct {
    TVector start;
    int count;
    float nearZ, farZ;
  } rays[] = {
      {{0, 0, 0, 1}, 2, 8, 12},  // in front: the near hit first
      {{0, 0, 9, 1}, 1, 12, 0},  // inside: the exit point
      {{2, 0, 0, 1}, 1, 10, 0},  // tangent
      {{0, 0, 20, 1}, 0, 0, 0},  // sphere behind
      {{3, 0, 0, 1}, 0, 0, 0},   // miss
  };
  for (const auto& r : rays) {
    TVector p1{}, p2{};
    EXPECT_EQ(IntersectRaySphere(r.start, {0, 0, 1, 0}, {0, 0, 10, 1}, 2, p1, p2), r.count);
    if (r.count > 0) EXPECT_VEC4_NEAR(p1, Vec4Make(r.start.x, 0, r.nearZ, 1), 1e-6);
    if (r.count > 1) EXPECT_VEC4_NEAR(p2, Vec4Make(r.start.x, 0, r.farZ, 1), 1e-6);
  }
}

TEST(GeometryIntersections, SphereAndBoxOutsideView) {
  const TViewClippingInfo view{{0, 0, 0, 1}, {0, 0, 1, 0}, 0.5f, 100};
  const struct {
    TAffineVector centre;
    float radius;
    bool outside;
  } spheres[] = {
      {{0, 0, 10}, 1, false},    {{0, 0, -10}, 1, true},  {{0, 0, -10}, 20, false}, {{0, 0, 150}, 10, true},
      {{0, 0, 95}, 10, false},   {{30, 0, 10}, 1, true},  {{5, 0, 10}, 1, false},   {{6.4f, 0, 10}, 1, false},
      {{6.6f, 0, 10}, 0.1f, true},
  };
  for (const auto& s : spheres) EXPECT_EQ(SphereOutsideView(s.centre, s.radius, view), s.outside) << s.centre.x;
  EXPECT_FALSE(BoxOutsideView({-1, -1, 9}, {1, 1, 11}, view));
  EXPECT_TRUE(BoxOutsideView({-1, -1, -11}, {1, 1, -9}, view));
}

}  // namespace
