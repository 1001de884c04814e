// Frames of a scene on a real GL: the tree, the camera's projection and view,
// lights and fog.

#include "scene/GLScene.h"

#include "SceneTestSupport.h"
#include "tests/scene/support/OffscreenGL.h"
#include "tests/scene/support/SceneFrame.h"

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>

namespace {

const TRGBA BLACK{0, 0, 0, 255}, RED{255, 0, 0, 255}, GREEN{0, 255, 0, 255}, BLUE{0, 0, 255, 255},
    WHITE{255, 255, 255, 255};

TTestNode& Square(TGLBaseSceneObject& parent, const TVector& color) {
  TTestNode& node = parent.AddChild(MakeNode("square"));
  node.HasColor = true;
  node.Color = color;
  return node;
}

// The pixel of the 64 x 64 buffer at a point of the -2..2 square.
TRGBA At(const TOffscreenGL& gl, float x, float y) { return gl.Pixel(int((x + 2) * 16), int((y + 2) * 16)); }

TEST(GLSceneGL, NodesDrawTheirListsWhereTheirMatricesPutThem) {
  TOffscreenGL gl(64, 64);
  GL->glMatrixMode(GL_PROJECTION);
  GL->glLoadIdentity();
  GL->glOrtho(-2, 2, -2, 2, -10, 10);
  GL->glMatrixMode(GL_MODELVIEW);
  GL->glLoadIdentity();
  GL->glClearColor(0, 0, 0, 1);
  auto frame = [&](TGLScene& scene) {
    GL->glClear(GL_COLOR_BUFFER_BIT);
    TRenderContextInfo rci;
    rci.ObjectsSorting = osRenderBlendedLast;
    rci.VisibilityCulling = vcNone;
    scene.Objects().Render(rci);
    RaiseOnGLError();
  };

  TGLScene scene(nullptr);
  TGLBaseSceneObject& parent = scene.Objects().AddChild(MakeNode("parent"));
  parent.Position().SetPoint(-1, 0, 0);
  parent.Scale().SetVector(2, 2, 1);
  Square(parent, {1, 0, 0, 1});  // covers -2..0 x -1..1
  TTestNode& green = Square(scene.Objects(), {0, 1, 0, 1});
  green.Position().SetPoint(1, 0, 0);  // covers 0.5..1.5 x -0.5..0.5

  frame(scene);
  EXPECT_EQ(At(gl, -1.8f, 0), RED);
  EXPECT_EQ(At(gl, -0.2f, 0.8f), RED);
  EXPECT_EQ(At(gl, 1, 0), GREEN);
  EXPECT_EQ(At(gl, 1, 1), BLACK);
  EXPECT_EQ(At(gl, 1.8f, 0), BLACK);

  // A move through the parent and a new colour through a rebuilt list.
  parent.Position().SetPoint(-1, 1, 0);
  green.Color = {0, 0, 1, 1};
  green.MarkStructureDirty();
  frame(scene);
  EXPECT_EQ(At(gl, -1, -0.5f), BLACK);
  EXPECT_EQ(At(gl, -1, 1.5f), RED);
  EXPECT_EQ(At(gl, 1, 0), BLUE);
}

TEST(GLSceneGL, TheBoardsProjectionIsThatOfItsLens) {
  TOffscreenGL gl(8, 8);
  TGLScene scene(nullptr);
  TGLCamera& camera = scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  camera.SetFocalLength(105);
  camera.SetDepthOfView(3000);
  GL->glMatrixMode(GL_PROJECTION);
  GL->glLoadIdentity();
  camera.SetProjection({0, 0, 885, 387}, 885, 387, 96);
  float ours[16];
  GL->glGetFloatv(GL_PROJECTION_MATRIX, ours);

  // A lens of 105 mm at 96 dots per inch: the near plane lies where the wider
  // side of the window spans one unit, the far plane 3000 beyond it.
  const double nearPlane = 105.0 * 96 / 25.4 / 885 * 2;
  const double fovy = 2 * std::atan(387.0 / 885 / 2 / nearPlane);
  const glm::dmat4 theirs = glm::perspective(fovy, 885.0 / 387, nearPlane, nearPlane + 3000);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(ours[i], theirs[i / 4][i % 4], 1e-4 * std::fabs(theirs[i / 4][i % 4]) + 1e-6) << i;
  EXPECT_NEAR(camera.NearPlane(), nearPlane, 1e-5);
  EXPECT_NEAR(camera.FarPlaneDistance(), nearPlane + 3000, 1e-2);
}

// A camera at (0, 0, 5) looking at the origin with a focal length that shows
// about -2..2 of the z = 0 plane in a 64 x 64 frame.
struct TLitScene {
  TLitScene() {
    Camera.Position().SetPoint(0, 0, 5);
    Camera.SetFocalLength(10);
    Camera.SetTargetObject(&Target);
  }
  TGLScene Scene{nullptr};
  TGLCamera& Camera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TGLBaseSceneObject& Target = Scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  TSceneFrame Frame{Camera, 64, 64};
};

TEST(GLSceneGL, ALightOnTheCameraLightsWhatFacesItAndNotWhatFacesAway) {
  TLitScene lit;
  TGLLightSource& light = lit.Camera.AddChild(std::make_unique<TGLLightSource>(nullptr));
  light.SetLightStyle(lsOmni);
  Square(lit.Scene.Objects(), {1, 1, 1, 1}).Position().SetPoint(-0.8f, 0, 0);
  TTestNode& away = Square(lit.Scene.Objects(), {1, 1, 1, 1});
  away.Position().SetPoint(0.8f, 0, 0);
  away.SetTurnAngle(180);  // its normal points from the light

  lit.Frame.Render();
  const TRGBA facing = lit.Frame.Pixel(22, 32), turned = lit.Frame.Pixel(42, 32);
  EXPECT_GT(facing[0], 150);
  EXPECT_LT(turned[0], 40);
  EXPECT_EQ(lit.Frame.Pixel(32, 60), BLACK);

  // Values GL refuses light as a plain light, and no frame fails.
  light.SetLightStyle(lsSpot);
  light.SetSpotCutOff(120);
  light.SetSpotExponent(200);
  light.SetLinearAttenuation(-1);
  lit.Frame.Render();
  EXPECT_GT(lit.Frame.Pixel(22, 32)[0], 150);

  light.SetShining(false);
  lit.Frame.Render();
  EXPECT_LT(lit.Frame.Pixel(22, 32)[0], 40);
}

TEST(GLSceneGL, FogDarkensFarPixelsAndLeavesNearOnes) {
  TLitScene lit;
  lit.Frame.Lighting = false;
  Square(lit.Scene.Objects(), {1, 1, 1, 1}).Position().SetPoint(-0.8f, 0, 0);
  TTestNode& far = Square(lit.Scene.Objects(), {1, 1, 1, 1});
  far.Position().SetPoint(8, 0, -40);  // 45 away, seen right of the centre
  far.Scale().SetVector(10, 10, 1);
  TGLFogEnvironment& fog = lit.Frame.Buffer.FogEnvironment();
  fog.SetFogStart(5);
  fog.SetFogEnd(50);

  lit.Frame.Render();
  EXPECT_EQ(lit.Frame.Pixel(22, 32), WHITE);
  EXPECT_EQ(lit.Frame.Pixel(42, 32), WHITE);
  lit.Frame.FogEnable = true;
  lit.Frame.Render();
  EXPECT_GT(lit.Frame.Pixel(22, 32)[0], 240);
  EXPECT_LT(lit.Frame.Pixel(42, 32)[0], 60);
}

TEST(GLSceneGL, ABadDepthOrATargetOnTheCameraKeepsTheLastGoodView) {
  TLitScene lit;
  lit.Frame.Lighting = false;
  Square(lit.Scene.Objects(), {1, 0, 0, 1}).Position().SetPoint(1, 0, 0);
  lit.Frame.Render();
  const std::vector<std::uint8_t> good = lit.Frame.Pixels();

  for (float depth : {0.0f, -5.0f, NAN}) {
    lit.Camera.SetDepthOfView(depth);
    lit.Target.Position().SetPoint(0, 0, 5);  // where the camera stands
    EXPECT_NO_THROW(lit.Frame.Render()) << depth;
    EXPECT_TRUE(lit.Frame.Pixels() == good) << depth;
    lit.Target.Position().SetPoint(0, 0, 0);
  }
}

}  // namespace
