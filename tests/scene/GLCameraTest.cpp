// The camera without GL: mended values, its target, orbit and zoom.

#include "scene/GLCamera.h"

#include "scene/GLSceneBuffer.h"

#include "SceneTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A camera on a rig that moves, turns and scales it, and a target among the objects.
struct TCameraScene {
  TCameraScene() {
    Rig.Position().SetPoint(10, 0, 0);
    Rig.Scale().SetVector(2, 2, 2);
    Rig.SetTurnAngle(-90);
    Camera.Position().SetPoint(1, 1, 1);
    Target.Position().SetPoint(1, 2, 3);
  }
  TGLScene Scene{nullptr};
  TGLBaseSceneObject& Rig = Scene.Cameras().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  TGLCamera& Camera = Rig.AddChild(std::make_unique<TGLCamera>(nullptr));
  TGLBaseSceneObject& Target = Scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
};

TEST(GLCamera, ValuesThatMakeNoProjectionAreMendedAndAFreedTargetIsForgotten) {
  TCameraScene s;
  const float cases[][2] = {{-5, 1}, {0, 1}, {NAN, 1}, {INFINITY, 1}, {105, 105}};
  for (const auto& c : cases) {
    s.Camera.SetFocalLength(c[0]);
    EXPECT_EQ(s.Camera.FocalLength(), c[1]) << c[0];
    s.Camera.SetSceneScale(c[0]);
    EXPECT_EQ(s.Camera.SceneScale(), c[0] == 0 || !std::isfinite(c[0]) ? 1 : c[0]) << c[0];
  }
  EXPECT_EQ(s.Camera.TargetDistance(), 1);

  TGLSceneBuffer buffer(nullptr);
  int redraws = 0;
  buffer.OnChange = [&](TObject*) { ++redraws; };
  s.Scene.AttachBuffer(buffer);
  s.Camera.SetTargetObject(&s.Target);
  redraws = 0;
  s.Scene.Objects().DeleteChildren();
  EXPECT_EQ(s.Camera.TargetObject(), nullptr);
  EXPECT_EQ(redraws, 1);  // the view changed
}

TEST(GLCamera, OrbitTargetKeepsTheDistanceAndStopsAtThePoles) {
  TCameraScene s;
  s.Camera.OrbitTarget(30, 30);  // without a target: nothing
  ExpectVectorNear(s.Camera.Position().AsVector(), {1, 1, 1, 1});
  s.Camera.SetTargetObject(&s.Target);
  const float distance = s.Camera.TargetDistance();
  const TAffineVector up = Vec3Of(s.Camera.WorldUp());
  // Pitch and turn; then far past the lower pole, a little further, far past the
  // upper one: the angle from the up axis stops 0.025 rad short of each pole.
  const float steps[][3] = {{0, 90, NAN}, {20, -45, NAN}, {1000, 0, 3.1166f}, {30, 0, 3.1166f}, {-1000, 10, 0.025f}};
  for (const auto& step : steps) {
    s.Camera.OrbitTarget(step[0], step[1]);
    EXPECT_NEAR(s.Camera.TargetDistance(), distance, 1e-3f * distance) << step[0] << " " << step[1];
    const TAffineVector fromTarget = Vec3Sub(Vec3Of(s.Camera.WorldPosition()), {1, 2, 3});
    if (!std::isnan(step[2])) {
      EXPECT_NEAR(std::acos(Vec3AngleCosine(up, fromTarget)), step[2], 1e-3f) << step[0];
    }
  }
}

TEST(GLCamera, ScaleDistanceToTargetMovesAlongTheLineUnderATransformedParent) {
  TCameraScene s;
  s.Camera.ScaleDistanceToTarget(0.5f);  // without a target: nothing
  ExpectVectorNear(s.Camera.Position().AsVector(), {1, 1, 1, 1});
  s.Camera.SetTargetObject(&s.Target);
  const TAffineVector before = Vec3Of(s.Camera.WorldPosition()), target{1, 2, 3};
  s.Camera.ScaleDistanceToTarget(0.5f);
  ExpectVectorNear(s.Camera.WorldPosition(), Vec4PointFromVec3(Vec3Lerp(target, before, 0.5f)), 1e-4f);
  s.Camera.ScaleDistanceToTarget(3);
  ExpectVectorNear(s.Camera.WorldPosition(), Vec4PointFromVec3(Vec3Lerp(target, before, 1.5f)), 1e-4f);
}

}  // namespace
