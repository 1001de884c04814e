// Models drawn through the whole path: a model file, a free form, the scene, and the
// pixels of a frame on Mesa.

#include <gtest/gtest.h>

#include <fstream>

#include "SupportMeshes.h"
#include "meshes/GLMesh.h"
#include "scene/GLCadencer.h"
#include "scene/GLCamera.h"
#include "scene/GLLightSource.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/RecordingGL.h"
#include "tests/scene/support/SceneFrame.h"

namespace {

// The cube seen from (3, 0, 3): its +x face on the right of the frame, its +z face on
// the left; a light far out on +x faces the one and grazes the other from behind.
template <class TMesh = TFreeForm>
struct TLitCube {
  explicit TLitCube(const std::string& fileName, TMeshNormalsOrientation orientation = mnoDefault) {
    Camera.Position().SetPoint(3, 0, 3);
    Camera.SetFocalLength(10);
    Camera.SetTargetObject(&Form);
    Light.SetLightStyle(lsOmni);
    Light.Position().SetPoint(20, 0, 0);
    Form.SetMaterialLibrary(&Library);
    Form.SetNormalsOrientation(orientation);
    Form.LoadFromFile(fileName);
    Frame.Render();
  }
  int Lit() const { return Frame.Pixel(40, 32)[0]; }
  int Away() const { return Frame.Pixel(24, 32)[0]; }

  TGLMaterialLibrary Library{nullptr};
  TGLScene Scene{nullptr};
  TGLCamera& Camera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TMesh& Form = Scene.Objects().AddChild(std::make_unique<TMesh>(nullptr));
  TGLLightSource& Light = Scene.Objects().AddChild(std::make_unique<TGLLightSource>(nullptr));
  TSceneFrame Frame{Camera, 64, 64};
};

class MeshesGL : public ::testing::Test {
protected:
  void SetUp() override { InitializeMeshUnits(); }
  TScratchFolder Folder;
};

TEST_F(MeshesGL, TheFaceTurnedToTheLightIsTheBrightOne) {
  // Counter-clockwise faces from outside, written by our writer (flat and smooth)
  // and by the model converter from an OBJ file.
  std::vector<std::string> files;
  for (std::uint32_t smoothing : {0u, 1u}) {
    files.push_back(Folder.File("ours" + std::to_string(smoothing) + ".3ds"));
    TChunkWriter3DS writer;
    WriteModel3DS(writer, CenteredCube3DS(smoothing));
    writer.SaveToFile(files.back());
  }
  if (HaveOracle()) {
    std::ofstream(Folder.File("cube.obj")) << CenteredCubeObj();
    ExportWithOracle(Folder.File("cube.obj"), Folder.File("theirs.3ds"));
    files.push_back(Folder.File("theirs.3ds"));
  }
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    {
      TLitCube<> lit(file);
      EXPECT_GT(lit.Lit(), 120);
      // Smooth normals lean the back-lit face's edge a little towards the light.
      EXPECT_GT(lit.Lit() - lit.Away(), 80);
    }
    // Inside out: the near faces are culled, and the far ones are lit from within.
    TLitCube<> inverted(file, mnoInvert);
    EXPECT_LT(inverted.Lit(), 70);
    EXPECT_GT(inverted.Away() - inverted.Lit(), 80);
  }
}

TEST_F(MeshesGL, AnActorOfA3DSModelDrawsItAndStaysOnItsFrameWhileTimeGoesBy) {
  const std::string file = Folder.File("cube.3ds");
  TChunkWriter3DS writer;
  WriteModel3DS(writer, CenteredCube3DS());
  writer.SaveToFile(file);
  TLitCube<TActor> lit(file);
  const std::vector<std::uint8_t> first = lit.Frame.Pixels();
  EXPECT_GT(lit.Lit(), 120);
  EXPECT_GT(lit.Lit() - lit.Away(), 80);

  // Looping as the board window's actor does, on a clock that the test moves.
  double seconds = 0;
  TGLCadencer cadencer(nullptr, [&](TGLCadencerTimeReference) { return seconds; });
  cadencer.SetMode(cmManual);
  cadencer.SetScene(&lit.Scene);
  lit.Form.SetAnimationMode(aamLoop);
  int changes = 0;
  lit.Form.OnFrameChanged = [&](TObject*) { ++changes; };
  for (int i = 0; i < 10; ++i) {
    seconds += 0.35;
    cadencer.Progress();
    lit.Frame.Render();
  }
  EXPECT_EQ(lit.Form.CurrentFrame(), 0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(lit.Frame.Pixels(), first);
}

TEST_F(MeshesGL, MeshObjectsHandGLOnlyTheArraysThatCoverEveryVertex) {
  TRecordingGL gl;
  TFreeForm form(nullptr);
  TMeshObject& object = TMeshObject::CreateOwned(form.MeshObjects());
  object.SetMode(dmFaceGroups);
  for (const TAffineVector& v : CUBE_CORNERS) object.Vertices().Add(v);
  object.Normals().Add({0, 0, 1});  // one normal for eight vertices
  for (int i = 0; i < 8; ++i) object.TexCoords().AddXYZ(0, 0, 0);
  TFGVertexIndexList& group = object.FaceGroups().Add<TFGVertexIndexList>();
  for (int v : {0, 1, 2, 7}) group.Add(v);

  TRenderContextInfo rci;
  const std::vector<std::string> calls = gl.CallsOf([&] { form.EmitGeometry(rci); });
  auto has = [&](const std::string& call) { return std::find(calls.begin(), calls.end(), call) != calls.end(); };
  EXPECT_TRUE(has(GLCallText("glEnableClientState", GL_VERTEX_ARRAY)));
  EXPECT_TRUE(has(GLCallText("glDisableClientState", GL_NORMAL_ARRAY)));
  EXPECT_TRUE(has(GLCallText("glDisableClientState", GL_COLOR_ARRAY)));
  EXPECT_TRUE(has(GLCallText("glDrawElements", GL_TRIANGLES, 4, GL_UNSIGNED_INT, "ptr")));
  EXPECT_EQ(gl.Count("glPushClientAttrib"), gl.Count("glPopClientAttrib"));

  // An index past the vertices never reaches GL.
  group.Add(8);
  EXPECT_THROW(form.EmitGeometry(rci), EAssertionFailed);
}

TEST_F(MeshesGL, AVertexListMeshDrawsItsRecordsWithTheirColours) {
  // Two quads side by side, red on the left and green on the right, seen from +Z.
  TGLScene scene(nullptr);
  TGLCamera& camera = scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  camera.Position().SetPoint(0, 0, 5);
  TMesh& mesh = scene.Objects().AddChild(std::make_unique<TMesh>(nullptr));
  camera.SetTargetObject(&mesh);
  camera.SetFocalLength(10);
  TVertexList quads(nullptr);
  for (float x0 : {-1.0f, 0.0f}) {
    const TVector color = x0 < 0 ? TVector{1, 0, 0, 1} : TVector{0, 1, 0, 1};
    for (auto [x, y] : {std::pair{x0, -1.0f}, {x0 + 1, -1.0f}, {x0 + 1, 1.0f}, {x0, 1.0f}})
      quads.AddVertex({x, y, 0}, {0, 0, 1}, color, {0, 0});
  }
  mesh.Vertices().Assign(&quads);
  mesh.SetMode(mmQuads);
  TSceneFrame frame(camera, 64, 64);
  frame.Lighting = false;
  frame.Render();
  if (const char* folder = std::getenv("BROVANEL_FRAMES")) {  // a picture to look at
    std::ofstream ppm(std::string(folder) + "/vertex-list-mesh.ppm", std::ios::binary);
    ppm << "P6 64 64 255\n";
    for (int y = 63; y >= 0; --y)
      for (int x = 0; x < 64; ++x) ppm.write(reinterpret_cast<const char*>(frame.Pixel(x, y).data()), 3);
  }
  const TRGBA left = frame.Pixel(24, 32), right = frame.Pixel(40, 32), outside = frame.Pixel(2, 2);
  EXPECT_GT(left[0], 200);
  EXPECT_LT(left[1], 50);
  EXPECT_GT(right[1], 200);
  EXPECT_LT(right[0], 50);
  EXPECT_EQ(outside[1], 0);

  // Without colours handed to GL, both quads take the material's colour.
  mesh.SetVertexMode(vmVN);
  frame.Render();
  EXPECT_EQ(frame.Pixel(24, 32), frame.Pixel(40, 32));
  EXPECT_GT(frame.Pixel(24, 32)[1], 100);
}

TEST_F(MeshesGL, ALockedVertexListDrawsFromDriverMemoryAndKeepsItsRecords) {
  TRecordingGL gl;
  gl.NV_vertex_array_range = true;
  static std::vector<TVertexData> driver;  // the fake driver's memory
  VertexArrayDriverMemory() = {[](GLsizei size, GLfloat, GLfloat, GLfloat) -> void* {
                                 driver.resize(std::size_t(size) / sizeof(TVertexData));
                                 return driver.data();
                               },
                               [](void*) { driver.clear(); }};
  TMesh mesh(nullptr);
  mesh.SetObjectStyle(mesh.ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
  TVertexList& list = mesh.Vertices();
  list.SetLocked(true);
  ASSERT_TRUE(list.Locked());
  EXPECT_EQ(driver.size(), 256u);
  list.AddVertex({5, 6, 7}, {0, 0, 1}, {1, 1, 1, 1}, {0, 0});  // room left in the driver's memory
  TRenderContextInfo rci;
  const std::vector<std::string> calls = gl.CallsOf([&] { mesh.EmitGeometry(rci); });
  EXPECT_EQ(calls.front(), GLCallText("glVertexArrayRangeNV", 4 * 48, "ptr"));
  EXPECT_EQ(calls.back(), "glFlushVertexArrayRangeNV()");
  EXPECT_EQ(gl.Count("glDrawArrays"), 1);
  EXPECT_EQ(gl.Count("glPushClientAttrib"), gl.Count("glPopClientAttrib"));
  list.SetLocked(false);
  EXPECT_TRUE(driver.empty());
  EXPECT_TRUE(Vec3Equal(list.Items(3).Coord, {5, 6, 7}));

  // Growing is refused while locked; the 257th record grows the list to 512.
  for (int i = 4; i < 256; ++i) list.AddVertex({0, 0, 0}, {0, 0, 1}, {0, 0, 0, 0}, {0, 0});
  list.SetLocked(true);
  EXPECT_EQ(BRV_ERROR_TEXT(EAssertionFailed, list.AddVertex({}, {}, {}, {})).rfind("Cannot add to a locked list !", 0),
            0u);
  list.SetLocked(false);
  list.AddVertex({}, {}, {}, {});
  EXPECT_EQ(list.Capacity(), 512);
  VertexArrayDriverMemory() = {};
}

}  // namespace
