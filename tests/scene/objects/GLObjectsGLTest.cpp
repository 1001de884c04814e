// The standard objects drawn lit by a real GL (Mesa, off-screen) and read back;
// the board's height field seen from above and below with face culling on.
// With BROVANEL_TEST_PICTURES naming a folder, each frame is also written there
// as a PPM picture.

#include "scene/objects/GLBoxes.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLPlanes.h"
#include "scene/objects/GLPolygon.h"
#include "scene/objects/GLQuadrics.h"
#include "scene/objects/GLSolids.h"

#include "tests/scene/support/SceneFrame.h"

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numbers>

namespace {

constexpr int SIZE = 96;

void SavePicture(const TSceneFrame& frame, const std::string& name) {
  const char* folder = std::getenv("BROVANEL_TEST_PICTURES");
  if (!folder) return;
  const std::vector<std::uint8_t> pixels = frame.Pixels();
  std::ofstream file(std::string(folder) + "/" + name + ".ppm", std::ios::binary);
  file << "P6 " << SIZE << " " << SIZE << " 255\n";
  for (int y = SIZE - 1; y >= 0; --y)
    for (int x = 0; x < SIZE; ++x) file.write(reinterpret_cast<const char*>(&pixels[(y * SIZE + x) * 4]), 3);
}

// A camera at (0, 0, 5) looking at the origin, showing about -2..2 of the
// z = 0 plane, with a light on it.
struct TLitScene {
  TLitScene() {
    Camera.Position().SetPoint(0, 0, 5);
    Camera.SetFocalLength(15);
    Camera.SetTargetObject(&Target);
    Camera.AddChild(std::make_unique<TGLLightSource>(nullptr)).SetLightStyle(lsOmni);
  }
  TGLScene Scene{nullptr};
  TGLCamera& Camera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TGLBaseSceneObject& Target = Scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  TSceneFrame Frame{Camera, SIZE, SIZE};
};

// The pixel at a point of the z = 0 plane, -2..2 across.
TRGBA At(const TSceneFrame& frame, float x, float y) {
  return frame.Pixel(int((x + 2) * SIZE / 4), int((y + 2) * SIZE / 4));
}

bool Lit(const TRGBA& p) { return std::max({p[0], p[1], p[2]}) > 30; }
bool Dark(const TRGBA& p) { return std::max({p[0], p[1], p[2]}) < 10; }

struct TProbe {
  float X, Y;
  bool Lit;
};

struct TPictureCase {
  const char* Name;
  std::function<void(TGLBaseSceneObject& root)> Make;
  std::vector<TProbe> Probes;
};

template <class T>
T& AddTo(TGLBaseSceneObject& root) {
  return root.AddChild(std::make_unique<T>(nullptr));
}

// Turns an object so that its local Y axis points at the camera.
void FaceAlongY(TGLBaseSceneObject& object) {
  object.Direction().SetVector(0, -1, 0);
  object.Up().SetVector(0, 0, 1);
}

TEST(GLObjectsGL, EachKindOfObjectShowsItsShape) {
  const TPictureCase cases[] = {
      {"sphere", [](auto& root) { AddTo<TSphere>(root).SetRadius(1); },
       {{0, 0, true}, {0.7f, 0.5f, true}, {1.2f, 0, false}, {0, 1.2f, false}}},
      {"disk",
       [](auto& root) {
         auto& disk = AddTo<TDisk>(root);
         disk.SetOuterRadius(1);
         disk.SetInnerRadius(0.4f);
       },
       {{0, 0, false}, {0.7f, 0, true}, {0, -0.7f, true}, {1.2f, 0, false}}},
      {"cone", [](auto& root) { AddTo<TCone>(root); },
       {{0, -0.4f, true}, {0.4f, -0.4f, true}, {0.4f, 0.4f, false}, {0, 0.6f, false}}},
      {"cylinder", [](auto& root) { AddTo<TCylinder>(root).SetTopRadius(0.25f); },
       {{0, 0.4f, true}, {0.4f, -0.4f, true}, {0.4f, 0.4f, false}, {0.7f, 0, false}}},
      {"annulus", [](auto& root) { FaceAlongY(AddTo<TAnnulus>(root)); },
       {{0, 0, false}, {0.4f, 0, true}, {0, -0.4f, true}, {0.65f, 0, false}}},
      {"arrow line",
       [](auto& root) {
         auto& arrow = AddTo<TArrowLine>(root);
         arrow.Direction().SetVector(1, 0, 0);
       },
       {{0, 0, true}, {0, 0.15f, false}, {0.6f, 0.12f, true}, {1.1f, 0, false}, {-0.6f, 0, false}}},
      {"torus",
       [](auto& root) {
         auto& torus = AddTo<TTorus>(root);
         torus.SetMajorRadius(0.8f);
         torus.SetMinorRadius(0.25f);
       },
       {{0, 0, false}, {0.8f, 0, true}, {0, -0.8f, true}, {1.2f, 0, false}}},
      {"teapot",
       [](auto& root) {
         auto& teapot = AddTo<TTeapot>(root);
         teapot.Scale().SetVector(2, 2, 2);
         teapot.SetGridResolution(8);
       },
       // Body, lid knob, handle and spout, and the gaps beside them.
       {{0, 0, true}, {0, 0.4f, true}, {-0.79f, 0, true}, {-0.62f, 0.05f, false}, {0.77f, 0.12f, true},
        {0.62f, 0.17f, false}, {0, 0.6f, false}}},
      {"dodecahedron", [](auto& root) { AddTo<TDodecahedron>(root).Scale().SetVector(2, 2, 2); },
       {{0, 0, true}, {0.6f, 0.6f, true}, {1.3f, 0, false}}},
      {"lines",
       [](auto& root) {
         auto& lines = AddTo<TLines>(root);
         lines.SetLineWidth(0);  // drawn one pixel wide, and no GL error
         lines.SetNodesAspect(lnaDodecahedron);
         lines.AddNode(-1, -1, 0);
         lines.AddNode(1, 1, 0);
       },
       {{0, 0, true}, {0.5f, -0.5f, false}, {1, 1, true}, {-1, -1, true}}},
      {"dummy cube",
       [](auto& root) {
         auto& cube = AddTo<TDummyCube>(root);
         cube.SetCubeSize(2);
         cube.SetVisibleAtRunTime(true);
         AddTo<TSphere>(cube).SetRadius(0.3f);
       },
       {{0, 0, true}, {0.6f, 0.6f, false}}},
      {"plane",
       [](auto& root) {
         auto& plane = AddTo<TPlane>(root);
         plane.SetWidth(2);
         plane.SetStyle(psTileTexture);  // a grid of cells
         plane.SetXTiles(4);
       },
       {{0, 0, true}, {0.9f, 0.4f, true}, {0, 0.7f, false}, {1.2f, 0, false}}},
      // Its front face, a little nearer than the origin, reaches 0.5 x 5 / 4.5 across.
      {"cube", [](auto& root) { AddTo<TCube>(root); }, {{0, 0, true}, {0.5f, 0.5f, true}, {0.62f, 0, false}}},
      // The front face, a trapezoid from 0.56 each side at y = 0 to 0.26 at y = 0.53.
      {"frustum", [](auto& root) { AddTo<TFrustrum>(root); },
       {{0, 0.25f, true}, {0.45f, 0.05f, true}, {0, -0.2f, false}, {0, 0.7f, false}, {0.5f, 0.45f, false}}},
  };
  for (const TPictureCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TLitScene lit;
    c.Make(lit.Scene.Objects());
    lit.Frame.Render();
    SavePicture(lit.Frame, c.Name);
    for (const TProbe& probe : c.Probes) {
      const TRGBA pixel = At(lit.Frame, probe.X, probe.Y);
      EXPECT_TRUE(probe.Lit ? Lit(pixel) : Dark(pixel))
          << "at (" << probe.X << ", " << probe.Y << "): " << int(pixel[0]) << " " << int(pixel[1]) << " "
          << int(pixel[2]);
    }
  }
}

TEST(GLObjectsGL, AQuadricGLURefusesIsLoggedAndTheFrameGoesOn) {
  std::vector<std::string> logged;
  SetGLLogSink([&](const std::string& text) { logged.push_back(text); });
  TLitScene lit;
  auto& cone = lit.Scene.Objects().AddChild(std::make_unique<TCone>(nullptr));
  cone.SetBottomRadius(-1);
  EXPECT_NO_THROW(lit.Frame.Render());
  EXPECT_NO_THROW(lit.Frame.Render());  // from the display list: logged once
  SetGLLogSink(nullptr);
  EXPECT_EQ(logged, (std::vector<std::string>{"TCone: GLU refused to draw a quadric: invalid value"}));
}

// The classic board's plane: a height field turned to lie in the XZ plane,
// 100 across, centred on the origin, with an 8 x 8 texture whose square (i, j)
// has red 40 + 25 i and green 40 + 25 j (j counted from the bottom row).
TEST(GLObjectsGL, TheBoardsHeightFieldShowsItsSquaresFromAboveAndNothingFromBelow) {
  TGLScene scene(nullptr);
  TGLBaseSceneObject& target = scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  THeightField& board = scene.Objects().AddChild(std::make_unique<THeightField>(nullptr));
  board.Direction().SetVector(0, 1, 0);
  board.Up().SetVector(0, 0, 1);
  board.Scale().SetVector(100, 100, 1);
  board.Position().SetPoint(50, 0, -50);
  board.SetOptions(hfoTextureCoordinates);
  for (TGLSamplingScale* scale : {&board.XSamplingScale(), &board.YSamplingScale()}) {
    scale->SetMax(1);
    scale->SetStep(0.01f);
  }
  TBitmap checker(8, 8, pf24bit);
  for (int row = 0; row < 8; ++row)
    for (int i = 0; i < 8; ++i) {
      std::uint8_t* p = checker.ScanLine(row) + i * 3;  // blue, green, red
      p[0] = 200;
      p[1] = static_cast<std::uint8_t>(40 + 25 * (7 - row));
      p[2] = static_cast<std::uint8_t>(40 + 25 * i);
    }
  TGLTexture& texture = board.Material().Texture();
  texture.Image().Assign(&checker);
  texture.SetMinFilter(miNearest);
  texture.SetMagFilter(maNearest);
  texture.SetDisabled(false);

  TGLCamera& camera = scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  camera.SetFocalLength(20);
  camera.SetDepthOfView(1000);
  camera.SetTargetObject(&target);
  TSceneFrame frame(camera, SIZE, SIZE);
  frame.Lighting = false;
  ASSERT_TRUE(frame.Buffer.FaceCulling());

  // Where the centre of square (i, j) lands on the screen.
  auto project = [&](int i, int j) {
    // Local (x, y) of the height field: world X = 50 - 100 x, Z = -50 + 100 y.
    const float x = (i + 0.5f) / 8, y = (j + 0.5f) / 8;
    const glm::vec3 world(50 - 100 * x, 0, -50 + 100 * y);
    glm::mat4 modelView, projection;
    std::copy_n(&frame.Buffer.ModelViewMatrix()[0].x, 16, &modelView[0][0]);
    GL->glGetFloatv(GL_PROJECTION_MATRIX, &projection[0][0]);
    const glm::vec3 screen = glm::project(world, modelView, projection, glm::vec4(0, 0, SIZE, SIZE));
    return frame.Pixel(int(screen.x), int(screen.y));
  };

  for (const float height : {150.0f, -150.0f}) {
    camera.Position().SetPoint(0, height, 1);
    frame.Render();
    SavePicture(frame, height > 0 ? "board from above" : "board from below");
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 8; ++j) {
        const TRGBA pixel = project(i, j);
        if (height > 0) {
          EXPECT_NEAR(pixel[0], 40 + 25 * i, 3) << i << " " << j;
          EXPECT_NEAR(pixel[1], 40 + 25 * j, 3) << i << " " << j;
          EXPECT_EQ(pixel[2], 200) << i << " " << j;
        } else {
          // Its back faces are culled: the board is seen from above only.
          EXPECT_TRUE(Dark(pixel)) << i << " " << j;
        }
      }
  }
}

// A sprite twice as wide as it is high shows so whatever the camera's place and
// its own orientation; turned by 90 degrees it stands upright.
TEST(GLObjectsGL, ASpriteFacesTheCameraFromEveryPosition) {
  TLitScene lit;
  lit.Frame.Lighting = false;
  auto& sprite = AddTo<TSprite>(lit.Scene.Objects());
  sprite.SetWidth(2);
  sprite.Direction().SetVector(1, 1, 0);
  sprite.Up().SetVector(0, 0, 1);
  sprite.Material().FrontProperties().Diffuse().SetColor({1, 0, 0, 1});
  const std::vector<TProbe> wide = {{0, 0, true}, {0.8f, 0, true}, {0, 0.35f, true}, {0, 0.7f, false},
                                    {1.2f, 0, false}};
  const std::vector<TProbe> upright = {{0, 0, true}, {0, 0.8f, true}, {0.35f, 0, true}, {0.7f, 0, false},
                                       {0, 1.2f, false}};
  struct TCase {
    TVector CameraAt;
    float Rotation;
    const std::vector<TProbe>& Probes;
  };
  const TCase cases[] = {
      {{0, 0, 5, 1}, 0, wide},   {{5, 0, 0, 1}, 0, wide},    {{0, 3, 4, 1}, 0, wide},
      {{-3, 0, -4, 1}, 0, wide}, {{2.5f, 2.5f, 3.5355f, 1}, 0, wide},
      {{0, 0, 5, 1}, 90, upright}, {{4, -3, 0, 1}, 90, upright},
  };
  for (const TCase& c : cases) {
    lit.Camera.Position().SetPoint(c.CameraAt.x, c.CameraAt.y, c.CameraAt.z);
    sprite.SetRotation(c.Rotation);
    lit.Frame.Render();
    const std::string name = "sprite " + std::to_string(&c - cases);
    SavePicture(lit.Frame, name);
    for (const TProbe& probe : c.Probes) {
      const TRGBA pixel = At(lit.Frame, probe.X, probe.Y);
      EXPECT_EQ(pixel[0], probe.Lit ? 255 : 0) << name << " at (" << probe.X << ", " << probe.Y << ")";
    }
  }

  // Half opaque over the black background; unlit, no material colour is cached.
  sprite.SetAlphaChannel(0.5f);
  sprite.Material().SetBlendingMode(bmTransparency);
  lit.Frame.Render();
  EXPECT_NEAR(At(lit.Frame, 0, 0)[0], 128, 2);
}

void AddNode(TPolygon& polygon, float x, float y) {
  TGLNode& node = polygon.Nodes().Add();
  node.SetX(x);
  node.SetY(y);
}

// A U outlined counter-clockwise seen from the camera: its top face fills the U
// and leaves the notch; its bottom face alone faces away and is culled.
TEST(GLObjectsGL, APolygonFillsItsConcaveOutline) {
  const std::vector<std::pair<float, float>> outline = {{-1.5f, -1.5f}, {1.5f, -1.5f}, {1.5f, 1.5f}, {0.5f, 1.5f},
                                                        {0.5f, -0.5f},  {-0.5f, -0.5f}, {-0.5f, 1.5f}, {-1.5f, 1.5f}};
  const std::vector<TProbe> filled = {{0, -1, true}, {1, 1, true},       {-1, 1, true},      {0, 1, false},
                                      {0, 0, false},  {-1.7f, 0, false}, {1.2f, -1.2f, true}};
  for (const TPolygonParts parts : {TPolygonParts(ppTop | ppBottom), TPolygonParts(ppTop), TPolygonParts(ppBottom)}) {
    TLitScene lit;
    auto& polygon = AddTo<TPolygon>(lit.Scene.Objects());
    polygon.SetParts(parts);
    for (const auto& [x, y] : outline) AddNode(polygon, x, y);
    lit.Frame.Render();
    SavePicture(lit.Frame, "polygon " + std::to_string(parts));
    for (const TProbe& probe : filled) {
      const TRGBA pixel = At(lit.Frame, probe.X, probe.Y);
      EXPECT_TRUE(probe.Lit && parts != ppBottom ? Lit(pixel) : Dark(pixel))
          << int(parts) << " at (" << probe.X << ", " << probe.Y << "): " << int(pixel[0]);
    }
  }

  // A star of 31 points whose edges cross each other 434 times: every crossing
  // is a vertex the tesselator makes, and the odd centre is filled.
  TLitScene lit;
  auto& star = AddTo<TPolygon>(lit.Scene.Objects());
  for (int i = 0; i < 31; ++i) {
    const float angle = 2 * std::numbers::pi_v<float> * float(15 * i) / 31;
    AddNode(star, 1.5f * std::cos(angle), 1.5f * std::sin(angle));
  }
  EXPECT_NO_THROW(lit.Frame.Render());
  SavePicture(lit.Frame, "star");
  EXPECT_TRUE(Lit(At(lit.Frame, 0, 0)));
  EXPECT_TRUE(Dark(At(lit.Frame, 1.7f, 0)));
}

}  // namespace
