#include "base/GeometryBB.h"

#include <gtest/gtest.h>

#include <cmath>

#include "GeometryTestSupport.h"

namespace {

TEST(GeometryBB, GrowsByPointsAndBoxes) {
  TAxisAlignedBox box = AABBFromHalfExtents({-1, 2, 0});
  EXPECT_VEC3_NEAR(box.Min, Vec3Make(-1, -2, 0), 0);
  EXPECT_VEC3_NEAR(box.Max, Vec3Make(1, 2, 0), 0);
  AABBIncludePoint(box, {0, 5, -3});
  EXPECT_VEC3_NEAR(box.Min, Vec3Make(-1, -2, -3), 0);
  EXPECT_VEC3_NEAR(box.Max, Vec3Make(1, 5, 0), 0);
  AABBIncludeBox(box, {{-4, 0, 0}, {0, 0, 7}});
  EXPECT_VEC3_NEAR(box.Min, Vec3Make(-4, -2, -3), 0);
  EXPECT_VEC3_NEAR(box.Max, Vec3Make(1, 5, 7), 0);
}

TEST(GeometryBB, TransformBoundsEveryCorner) {
  TAxisAlignedBox box{{-1, -1, -1}, {1, 1, 1}};
  const float s = std::sqrt(0.5f);
  AABBTransform(box, MatrixRotationZSinCos(s, s));
  EXPECT_VEC3_NEAR(box.Min, Vec3Make(-std::sqrt(2.0f), -std::sqrt(2.0f), -1), 1e-6);
  EXPECT_VEC3_NEAR(box.Max, Vec3Make(std::sqrt(2.0f), std::sqrt(2.0f), 1), 1e-6);

  // Random boxes and affine matrices: the result contains every transformed corner
  // and touches the extreme ones.
  TRandomInputs random(17);
  for (int k = 0; k < 50; ++k) {
    TAffineVector a = random.Vec3(), b = random.Vec3();
    TAxisAlignedBox original{{std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z)},
                             {std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z)}};
    TMatrix4 m = random.Matrix();
    for (int i = 0; i < 3; ++i) m[i].w = 0;
    m[3].w = 1;
    TAxisAlignedBox moved = original;
    AABBTransform(moved, m);
    TAffineVector lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (int corner = 0; corner < 8; ++corner) {
      TAffineVector c{corner & 1 ? original.Max.x : original.Min.x, corner & 2 ? original.Max.y : original.Min.y,
                      corner & 4 ? original.Max.z : original.Min.z};
      TAffineVector p = Vec3TransformPoint(c, m);
      for (int i = 0; i < 3; ++i) lo[i] = std::fmin(lo[i], p[i]), hi[i] = std::fmax(hi[i], p[i]);
    }
    EXPECT_VEC3_NEAR(moved.Min, lo, 0);
    EXPECT_VEC3_NEAR(moved.Max, hi, 0);
  }
}

}  // namespace
