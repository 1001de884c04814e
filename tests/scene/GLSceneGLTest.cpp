// A frame of the scene object tree on a real GL.

#include "scene/GLScene.h"

#include "SceneTestSupport.h"
#include "tests/scene/support/OffscreenGL.h"

#include <gtest/gtest.h>

namespace {

const TRGBA BLACK{0, 0, 0, 255}, RED{255, 0, 0, 255}, GREEN{0, 255, 0, 255}, BLUE{0, 0, 255, 255};

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

}  // namespace
