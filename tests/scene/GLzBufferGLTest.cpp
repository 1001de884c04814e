// Depth maps read back from frames that memory viewers draw on Mesa, and the
// shadows of a cube and a bar floating over a plane, cast by a second viewer
// looking straight down.

#include "scene/GLzBuffer.h"

#include "scene/GLSceneObjects.h"
#include "tests/scene/support/OffscreenGL.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

constexpr int VIEW_WIDTH = 128, VIEW_HEIGHT = 96;
constexpr float CUBE_Y = 3;  // a cube of half size 1: y 2 .. 4

// An unlit box of half sizes `half` round the object's origin (flat when a half is 0).
void DrawBox(TAffineVector half, const TVector& color) {
  GL->glColor4f(color.x, color.y, color.z, color.w);
  GL->glBegin(GL_QUADS);
  for (int axis = 0; axis < 3; ++axis)
    for (float side : {-1.0f, 1.0f})
      for (const auto& [u, v] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
        TAffineVector p{};
        p[axis] = side * half[axis];
        p[(axis + 1) % 3] = float(u) * half[(axis + 1) % 3];
        p[(axis + 2) % 3] = float(v) * half[(axis + 2) % 3];
        GL->glVertex3f(p.x, p.y, p.z);
      }
  GL->glEnd();
}

// In tree order: a 16 x 16 grey plane at y = 0, the cube over its middle, a bar
// high over x = 6 .. 9 (across the edge of the caster's view at x = 7), the
// shadows, and a red square drawn after them in a colour of alpha 0.5 without
// blending. The viewer looks from the front and above.
struct TShadowScene {
  TShadowScene() {
    UseSoftwareRasteriser();
    Object("plane", {8, 0, 8}, {0.8f, 0.8f, 0.8f, 1}, {0, 0, 0});
    Object("cube", {1, 1, 1}, {0.2f, 0.4f, 1, 1}, {0, CUBE_Y, 0});
    Object("bar", {1.5f, 0.25f, 1}, {0, 1, 0, 1}, {7.5f, 3.75f, 0});
    Shadows.SetIndex(3);
    Shadows.Color().SetColor({0, 0, 0, 0.5f});
    Object("after", {0.5f, 0, 0.5f}, {1, 0, 0, 0.5f}, {-4, 0.05f, 4});
    for (TGLMemoryViewer* viewer : {&Viewer, &Caster}) {
      viewer->Buffer().SetLighting(false);
      viewer->Buffer().SetFaceCulling(false);
      viewer->Buffer().SetBackgroundColor(MakeRGB(0, 0, 255));
    }
    Viewer.SetWidth(VIEW_WIDTH);
    Viewer.SetHeight(VIEW_HEIGHT);
    Viewer.SetCamera(&ViewCamera);
    ViewCamera.Position().SetPoint(0, 12, 5);
    ViewCamera.SetFocalLength(12);
    ViewCamera.SetTargetObject(&Scene.Objects().Children(0));
    Caster.SetWidth(64);
    Caster.SetHeight(64);
    Caster.SetCamera(&LightCamera);
    LightCamera.SetDepthOfView(20);
  }

  void Object(const std::string& name, TAffineVector half, TVector color, TAffineVector at) {
    auto& object = Scene.Objects().AddChild(std::make_unique<TDirectOpenGL>(nullptr));
    object.SetName(name);
    object.OnRender = [=](TObject*, TRenderContextInfo&) { DrawBox(half, color); };
    object.Position().SetPoint(at.x, at.y, at.z);
  }

  // A light 10 over the plane seeing 14 x 14 of it: an orthogonal one is put
  // there by CastShadow, a perspective one by hand.
  void PlaceLight(TGLCameraStyle style) {
    LightCamera.SetCameraStyle(style);
    LightCamera.Position().SetPoint(style == csOrthogonal ? 3 : 0, 10, style == csOrthogonal ? -2 : 0);
    if (style == csOrthogonal) LightCamera.SetTargetObject(&Scene.Objects().Children(0));
    LightCamera.Direction().SetVector(0, -1, 0);
    LightCamera.SetFocalLength(style == csOrthogonal ? 100.0f / 14 : 6);
  }

  // The viewer's frame, bottom row first.
  std::vector<TRGBA> Frame() {
    Viewer.Render();
    std::vector<TRGBA> pixels(VIEW_WIDTH * VIEW_HEIGHT);
    Viewer.Buffer().RenderingContext()->Activate();
    GL->glReadPixels(0, 0, VIEW_WIDTH, VIEW_HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    Viewer.Buffer().RenderingContext()->Deactivate();
    return pixels;
  }

  TGLScene Scene{nullptr};
  TGLCamera& ViewCamera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TGLCamera& LightCamera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TZShadows& Shadows = Scene.Objects().AddChild(std::make_unique<TZShadows>(nullptr));
  TGLMemoryViewer Viewer{nullptr};
  TGLMemoryViewer Caster{nullptr};
};

TEST(GLzBufferGL, PixelsAndScenePointsConvertBothWaysWithinAPixel) {
  for (TGLCameraStyle style : {csPerspective, csOrthogonal}) {
    SCOPED_TRACE(style == csPerspective ? "perspective" : "orthogonal");
    TShadowScene s;
    s.ViewCamera.SetCameraStyle(style);
    if (style == csOrthogonal) s.ViewCamera.SetFocalLength(100.0f / 16);
    s.Viewer.Render();
    TGLzBuffer depth;
    depth.AttachToViewer(s.Viewer.Buffer());
    depth.Refresh();
    ASSERT_TRUE(depth.ProjectionReady());

    int onCube = 0;
    for (const auto& [px, py] : {std::pair{64, 30}, {64, 40}, {45, 85}, {100, 70}, {40, 60}, {90, 20}, {64, 90}}) {
      SCOPED_TRACE(std::to_string(px) + ", " + std::to_string(py));  // y from the top
      EXPECT_FLOAT_EQ(depth.PixelDepthValue(px, py), s.Viewer.Buffer().DepthAtPixel(px, py));
      const TAffineVector world = depth.PixelToWorldPoint(px, py);
      // On the plane or on the cube, where the buffer's own slower conversion
      // finds it too (through the pixel's corner, not its centre).
      const bool cube = std::fabs(world.x) <= 1.05f && std::fabs(world.y - CUBE_Y) <= 1.05f;
      onCube += cube;
      EXPECT_TRUE(cube || std::fabs(world.y) < 0.05f) << world.x << ", " << world.y << ", " << world.z;
      if (style == csPerspective) {
        EXPECT_LT(Vec3Distance(world, Vec3Of(s.Viewer.Buffer().ScreenToWorldPoint(px, py))), 0.3f);
      }
      float x = -1, y = -1, z = -1;
      ASSERT_TRUE(depth.WorldToPixel(world, x, y, z));
      EXPECT_NEAR(x, px + 0.5f, 1.0f);
      EXPECT_NEAR(y, VIEW_HEIGHT - 1 - py + 0.5f, 1.0f);
      EXPECT_NEAR(z, depth.PixelDepthValue(px, py), 1e-4f);
    }
    EXPECT_GT(onCube, 0);

    for (const auto& [px, py] : {std::pair{-1, 0}, {0, -1}, {VIEW_WIDTH, 0}, {0, VIEW_HEIGHT}, {INT_MIN, INT_MAX}}) {
      EXPECT_EQ(depth.PixelDepthValue(px, py), 0) << px << ", " << py;
      EXPECT_EQ(Vec3Length(depth.PixelToWorldPoint(px, py)), 0);
    }
    float x = 1, y = 1, z = 1;
    EXPECT_FALSE(depth.WorldToPixel({0, 20, 14}, x, y, z));  // behind the camera
    EXPECT_EQ(x + y + z, 0);
  }
}

TEST(GLzBufferGL, TheCubeAndTheBarShadowThePlaneUnderThemAndNothingElse) {
  struct TCase {
    TGLCameraStyle Light;
    bool Soft;
    TOptimise Optimise;
  };
  for (const TCase& c : {TCase{csOrthogonal, false, opNone}, {csOrthogonal, true, opNone},
                         {csPerspective, false, op16in1}, {csPerspective, true, op4in1}}) {
    SCOPED_TRACE(std::string(c.Light == csOrthogonal ? "orthogonal" : "perspective") + (c.Soft ? ", soft" : ", hard") +
                 ", optimise " + std::to_string(c.Optimise));
    TShadowScene s;
    s.PlaceLight(c.Light);
    s.Shadows.SetSoft(c.Soft);
    s.Shadows.SetOptimise(c.Optimise);
    s.Shadows.SetVisible(false);
    const std::vector<TRGBA> without = s.Frame();
    s.Shadows.SetVisible(true);

    // With its viewer and caster, but before a shadow was cast: nothing drawn.
    s.Shadows.SetViewer(&s.Viewer.Buffer());
    s.Shadows.SetCaster(&s.Caster);
    EXPECT_EQ(s.Shadows.Width(), VIEW_WIDTH);
    EXPECT_EQ(s.Frame(), without);

    ASSERT_TRUE(s.Shadows.CastShadow());
    const std::vector<TRGBA> shadowed = s.Frame();
    TGLzBuffer depth;
    depth.AttachToViewer(s.Viewer.Buffer());
    depth.Refresh();
    int under = 0, edge = 0, elsewhere = 0;
    for (int py = 0; py < VIEW_HEIGHT; ++py)
      for (int px = 0; px < VIEW_WIDTH; ++px) {
        const TAffineVector p = depth.PixelToWorldPoint(px, py);
        if (depth.PixelDepthValue(px, py) >= 1 || std::fabs(p.y) > 0.01f) continue;  // not the plane
        const std::size_t at = std::size_t(VIEW_HEIGHT - 1 - py) * VIEW_WIDTH + std::size_t(px);
        const int before = without[at][0], after = shadowed[at][0];
        // Half the plane's colour, as the shadow's alpha says, under the cube;
        // along the caster's edge too, soft or not (an orthogonal caster's edge
        // is at x = 7).
        const bool underCube = std::max(std::fabs(p.x), std::fabs(p.z)) < 0.6f;
        const bool alongEdge = c.Light == csOrthogonal && p.x > 6.2f && p.x < 6.95f && std::fabs(p.z) < 0.6f;
        if (underCube || alongEdge) {
          under += underCube;
          edge += alongEdge;
          EXPECT_NEAR(after, before / 2, 3) << "in the shadow at " << px << ", " << py;
        } else if (std::max(std::fabs(p.x), std::fabs(p.z)) > 2.5f && p.x < 5) {
          ++elsewhere;
          EXPECT_EQ(after, before) << "away from the shadows at " << px << ", " << py;
        }
      }
    EXPECT_GT(under, 20);
    EXPECT_TRUE(c.Light != csOrthogonal || edge > 10) << edge;
    EXPECT_GT(elsewhere, 1000);

    // The square drawn after the shadow stays red, unblended; the next frame
    // is the same frame; a pick finds the plane, not the overlay.
    float x = 0, y = 0, z = 0;
    ASSERT_TRUE(depth.WorldToPixel({-4, 0.05f, 4}, x, y, z));
    const TRGBA square = shadowed[std::size_t(y) * VIEW_WIDTH + std::size_t(x)];
    EXPECT_EQ((TRGBA{square[0], square[1], square[2], 0}), (TRGBA{255, 0, 0, 0}));
    EXPECT_EQ(s.Frame(), shadowed);
    ASSERT_NE(s.Viewer.Buffer().ObjectAtPixel(20, 60), nullptr);
    EXPECT_EQ(s.Viewer.Buffer().ObjectAtPixel(20, 60)->Name(), "plane");
  }
}

}  // namespace
