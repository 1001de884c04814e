// Frames, picks and window points of the scene buffer, drawn by the memory
// viewer into a pixel buffer on Mesa.

#include "scene/GLNonVisualViewer.h"

#include "SceneTestSupport.h"
#include "tests/scene/support/OffscreenGL.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

const TRGBA RED{255, 0, 0, 255}, GREEN{0, 255, 0, 255}, BLUE{0, 0, 255, 255};

// A square of the test scene that can also fail, and push names of its own while
// it is picked.
class TProbe : public TTestNode {
public:
  using TTestNode::TTestNode;
  void EmitGeometry(TRenderContextInfo& rci) override {
    if (Fail) throw std::runtime_error("drawing failed");
    const bool picking = rci.DrawState == dsPicking;
    if (picking && LoadedName) GL->glLoadName(LoadedName);
    if (picking && SubName) GL->glPushName(SubName);
    TTestNode::EmitGeometry(rci);
    if (picking && SubName) GL->glPopName();
  }
  bool Fail = false;
  GLuint LoadedName = 0;  // replaces the node's own name
  GLuint SubName = 0;     // pushed below the node's own name
};

// A 64 x 64 memory viewer on a camera at (0, 0, 5) looking at the origin, which
// shows about -2.1..2.1 of the z = 0 plane; unlit, on blue.
struct TBufferScene {
  TBufferScene() {
    UseSoftwareRasteriser();
    Camera.Position().SetPoint(0, 0, 5);
    Camera.SetFocalLength(10);
    Camera.SetTargetObject(&Target);
    Viewer.SetWidth(64);
    Viewer.SetHeight(64);
    Viewer.SetCamera(&Camera);
    Buffer().SetLighting(false);
    Buffer().SetBackgroundColor(MakeRGB(0, 0, 255));
  }
  TGLSceneBuffer& Buffer() { return Viewer.Buffer(); }

  TProbe& Square(const std::string& name, const TVector& color, float x, float y, float z, float size = 1) {
    auto node = std::make_unique<TProbe>(nullptr);
    node->SetName(name);
    node->SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw));
    node->HasColor = true;
    node->Color = color;
    node->Position().SetPoint(x, y, z);
    node->Scale().SetVector(size, size, 1);
    return Scene.Objects().AddChild(std::move(node));
  }

  // A pixel of the last frame, (0, 0) at the bottom left.
  TRGBA Pixel(int x, int y) {
    TRGBA pixel{};
    TGLContext& context = *Buffer().RenderingContext();
    context.Activate();
    GL->glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    context.Deactivate();
    return pixel;
  }

  TGLScene Scene{nullptr};
  TGLCamera& Camera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TGLBaseSceneObject& Target = Scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  TGLMemoryViewer Viewer{nullptr};
};

std::vector<std::string> HitNames(const TGLPickList& hits) {
  std::vector<std::string> names;
  for (int i = 0; i < hits.Count(); ++i) names.push_back(hits.Hit(i) ? hits.Hit(i)->Name() : "(freed)");
  return names;
}

TEST(GLSceneBufferGL, AFrameShowsTheBackgroundAndTheObjects) {
  TBufferScene s;
  EXPECT_EQ(TGLMemoryViewer(nullptr).Width(), 256);
  s.Square("red", {1, 0, 0, 1}, 0, 0, 0);
  s.Viewer.Render();
  EXPECT_EQ(s.Pixel(32, 32), RED);
  EXPECT_EQ(s.Pixel(2, 60), BLUE);

  s.Buffer().SetBackgroundColor(MakeRGB(0, 255, 0));
  s.Viewer.Render();
  EXPECT_EQ(s.Pixel(2, 60), GREEN);

  // A new height makes a new off-screen buffer: the square is at its centre.
  s.Viewer.SetHeight(32);
  EXPECT_FALSE(s.Buffer().HasLiveContext());
  s.Viewer.Render();
  EXPECT_EQ(s.Buffer().Height(), 32);
  EXPECT_EQ(s.Pixel(32, 16), RED);
  EXPECT_EQ(s.Pixel(32, 30), GREEN);
  s.Viewer.SetWidth(0);
  EXPECT_EQ(s.Viewer.Width(), 1);
}

TEST(GLSceneBufferGL, DitheringIsOnExactlyWithoutADestinationAlpha) {
  for (bool alpha : {false, true}) {
    TBufferScene s;
    s.Buffer().SetContextOptions(s.Buffer().ContextOptions() | (alpha ? roDestinationAlpha : 0));
    s.Viewer.Render();
    s.Buffer().RenderingContext()->Activate();
    GLint alphaBits = -1;
    GL->glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    EXPECT_EQ(alphaBits > 0, alpha);
    EXPECT_EQ(GL->glIsEnabled(GL_DITHER) == GL_TRUE, !alpha) << "destination alpha " << alpha;
    s.Buffer().RenderingContext()->Deactivate();
  }
}

TEST(GLSceneBufferGL, ObjectAtPixelReturnsTheNearerOfTwoAndNothingOnTheBackground) {
  for (bool nearFirst : {true, false}) {
    SCOPED_TRACE(nearFirst ? "near added first" : "far added first");
    TBufferScene s;
    // Something drawn under a name no object has is no hit.
    s.Square("stranger", {1, 1, 1, 1}, 0, 0, -1).LoadedName = 0x7FFFFFF0;
    auto addNear = [&] { s.Square("near", {1, 0, 0, 1}, 0, 0, 1); };
    if (nearFirst) addNear();
    TProbe& far = s.Square("far", {0, 1, 0, 1}, 0, 0, 0, 3);
    far.SubName = 7;
    if (!nearFirst) addNear();
    s.Viewer.Render();

    ASSERT_NE(s.Buffer().ObjectAtPixel(32, 32), nullptr);
    EXPECT_EQ(s.Buffer().ObjectAtPixel(32, 32)->Name(), "near");
    ASSERT_NE(s.Buffer().ObjectAtPixel(50, 32), nullptr);
    EXPECT_EQ(s.Buffer().ObjectAtPixel(50, 32)->Name(), "far");
    EXPECT_EQ(s.Buffer().ObjectAtPixel(60, 4), nullptr);

    std::unique_ptr<TGLPickList> hits = s.Buffer().ObjectsAtRect({31, 31, 33, 33}, 1);
    EXPECT_EQ(HitNames(*hits), (std::vector<std::string>{"near", "far"}));
    EXPECT_LT(hits->Record(0).ZMin, hits->Record(1).ZMin);
    EXPECT_GT(hits->Record(0).ZMin, 0);
    EXPECT_EQ(hits->Record(1).SubObjects, std::vector<int>{7});
  }
}

TEST(GLSceneBufferGL, TheSelectionBufferGrowsForTwoHundredObjectsUnderTheCursor) {
  TBufferScene s;
  for (int i = 0; i < 200; ++i) s.Square("n" + std::to_string(i), {1, 0, 0, 1}, 0, 0, -0.01f * float(i));
  s.Viewer.Render();
  std::unique_ptr<TGLPickList> hits = s.Buffer().ObjectsAtRect({31, 31, 33, 33}, 64);
  ASSERT_EQ(hits->Count(), 200);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(hits->Hit(i)->Name(), "n" + std::to_string(i));
  EXPECT_EQ(s.Buffer().ObjectAtPixel(32, 32)->Name(), "n0");
}

TEST(GLSceneBufferGL, ScreenToWorldPointOfTheCentreLiesOnTheViewAxisAlsoAfterAPick) {
  TBufferScene s;
  s.Camera.Position().SetPoint(3, 4, 10);
  // A wall through the origin, square to the view.
  s.Square("wall", {1, 1, 1, 1}, 0, 0, 0, 40).Direction().SetVector(3, 4, 10);
  s.Viewer.Render();
  const TVector centre = s.Buffer().ScreenToWorldPoint(32, 32);
  ExpectVectorNear(centre, {0, 0, 0, 1}, 0.15f);
  const TVector off = s.Buffer().ScreenToWorldPoint(10, 50);
  EXPECT_NEAR(Vec4DotXYZ(off, {3, 4, 10, 0}), 0, 0.5f);  // on the wall
  EXPECT_GT(Vec3Length(Vec3Of(off)), 1);

  // A pick between the frame and the conversions leaves the frame's view.
  const TMatrix4 projection = s.Buffer().ProjectionMatrix();
  EXPECT_NE(s.Buffer().ObjectAtPixel(20, 20), nullptr);
  EXPECT_TRUE(std::memcmp(&projection, &s.Buffer().ProjectionMatrix(), sizeof projection) == 0);
  ExpectVectorNear(s.Buffer().ScreenToWorldPoint(32, 32), centre);
  ExpectVectorNear(s.Buffer().ScreenToWorldPoint(10, 50), off);
}

TEST(GLSceneBufferGL, DepthAtPixelCountsRowsFromTheTopAndClampsToTheFrame) {
  TBufferScene s;
  s.Square("upper half", {1, 1, 1, 1}, 0, 1.5f, 0, 3).Scale().SetVector(6, 3, 1);
  s.Viewer.Render();
  const float covered = s.Buffer().DepthAtPixel(32, 0);
  EXPECT_GT(covered, 0.01f);
  EXPECT_LT(covered, 1);
  EXPECT_EQ(s.Buffer().DepthAtPixel(32, 63), 1);
  struct TCase {
    int X, Y, InsideX, InsideY;
  };
  for (const TCase& c : {TCase{-5, -5, 0, 0}, TCase{70, -1, 63, 0}, TCase{32, 64, 32, 63}, TCase{-1, 100, 0, 63}})
    EXPECT_EQ(s.Buffer().DepthAtPixel(c.X, c.Y), s.Buffer().DepthAtPixel(c.InsideX, c.InsideY)) << c.X << ", " << c.Y;
}

TEST(GLSceneBufferGL, AFrameOrPickThatFailsLeavesTheBufferReadyForTheNext) {
  TBufferScene s;
  TProbe& probe = s.Square("probe", {1, 0, 0, 1}, 0, 0, 0);
  s.Viewer.Render();
  const TMatrix4 projection = s.Buffer().ProjectionMatrix();
  TGLContext& context = *s.Buffer().RenderingContext();

  for (bool picking : {false, true}) {
    SCOPED_TRACE(picking ? "pick" : "frame");
    probe.Fail = true;
    s.Camera.Position().SetPoint(1, 0, 5);
    if (picking)
      EXPECT_THROW(s.Buffer().ObjectAtPixel(32, 32), std::runtime_error);
    else
      EXPECT_THROW(s.Viewer.Render(), std::runtime_error);
    EXPECT_FALSE(s.Buffer().Rendering());
    EXPECT_FALSE(context.Active());
    EXPECT_TRUE(std::memcmp(&projection, &s.Buffer().ProjectionMatrix(), sizeof projection) == 0);
    context.Activate();
    GLint mode = 0;
    GL->glGetIntegerv(GL_RENDER_MODE, &mode);
    EXPECT_EQ(mode, GL_RENDER);
    context.Deactivate();

    probe.Fail = false;
    s.Camera.Position().SetPoint(0, 0, 5);
    EXPECT_EQ(s.Buffer().ObjectAtPixel(32, 32), &probe);
    s.Viewer.Render();
    EXPECT_EQ(s.Pixel(32, 32), RED);
  }
}

TEST(GLSceneBufferGL, CopyFrameToTextureFillsA2DTextureAndRefusesACubeMap) {
  TBufferScene s;
  s.Buffer().SetBackgroundColor(MakeRGB(255, 0, 0));
  s.Viewer.Render();
  TGLTexture texture(nullptr);
  texture.SetMinFilter(miLinear);
  auto texel = [&](int x, int y) {
    std::vector<std::uint8_t> texels(64 * 64 * 4);
    s.Buffer().RenderingContext()->Activate();
    GL->glBindTexture(GL_TEXTURE_2D, texture.GetHandle());
    GL->glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    s.Buffer().RenderingContext()->Deactivate();
    const std::size_t at = (std::size_t(y) * 64 + std::size_t(x)) * 4;
    return TRGBA{texels[at], texels[at + 1], texels[at + 2], texels[at + 3]};
  };
  s.Viewer.CopyFrameToTexture(texture);
  EXPECT_EQ(texel(10, 10), RED);
  // The second copy replaces part of the image in place.
  s.Buffer().SetBackgroundColor(MakeRGB(0, 255, 0));
  s.Viewer.Render();
  s.Viewer.CopyFrameToTexture(texture, 0, 0, 32, 64, 32, 0);
  EXPECT_EQ(texel(10, 10), RED);
  EXPECT_EQ(texel(40, 10), GREEN);

  TGLTexture cube(nullptr);
  cube.SetImageClassName(TGLCubeMapImage::StaticClass().ClassName());
  try {
    s.Viewer.CopyFrameToTexture(cube);
    ADD_FAILURE() << "a cube map took a frame";
  } catch (const EOpenGLError& e) {
    EXPECT_NE(std::string(e.what()).find("cube map"), std::string::npos) << e.what();
  }
}

}  // namespace
