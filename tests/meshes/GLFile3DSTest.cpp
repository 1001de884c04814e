// 3DS files loaded into free forms: shading, materials in the library, queries, and
// files that must be refused without losing the model already shown.

#include "meshes/GLFile3DS.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "SupportMeshes.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/PictureTestSupport.h"

namespace {

class File3DSImport : public ::testing::Test {
protected:
  void SetUp() override { InitializeMeshUnits(); }

  // The model written into the scratch folder under `name`.
  std::string Write(const std::string& name, const TModel3DS& model) const {
    const std::string fileName = Folder.File(name);
    TChunkWriter3DS writer;
    WriteModel3DS(writer, model);
    writer.SaveToFile(fileName);
    return fileName;
  }
  std::string WriteBytes(const std::string& name, const std::string& bytes) const {
    WriteFileBytes(Folder.File(name), bytes);
    return Folder.File(name);
  }
  // A free form with the library loaded from the model.
  TFreeForm& Load(const TModel3DS& model, TMeshNormalsOrientation orientation = mnoDefault) {
    Form.SetNormalsOrientation(orientation);
    Form.LoadFromFile(Write("model.3ds", model));
    return Form;
  }

  TScratchFolder Folder;
  TGLMaterialLibrary Library{nullptr};
  TFreeForm Form{nullptr};
};

// The outward normal of each face of the centred cube, summed per corner: the
// smooth normal of a corner is the normalised sum.
TAffineVector CornerNormalSum(int corner) {
  TAffineVector sum{0, 0, 0};
  for (const auto& f : CUBE_FACES)
    if (f[0] == corner || f[1] == corner || f[2] == corner) {
      const TAffineVector &a = CUBE_CORNERS[f[0]], &b = CUBE_CORNERS[f[1]], &c = CUBE_CORNERS[f[2]];
      Vec3AddInPlace(sum, Vec3Cross(Vec3Sub(b, a), Vec3Sub(c, a)));
    }
  return sum;
}

void ExpectNear(const TAffineVector& actual, const TAffineVector& expected) {
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k], expected[k], 1e-5f) << "axis " << k;
}

TEST_F(File3DSImport, FlatCubeGetsACornerPerFaceAndOutwardFaceNormals) {
  const TMeshObject& cube = Load(CenteredCube3DS()).MeshObjects().Items(0);
  ASSERT_EQ(cube.Vertices().Count(), 36);
  ASSERT_EQ(cube.Normals().Count(), 36);
  const TIntegerList& corners = static_cast<const TFGVertexIndexList&>(cube.FaceGroups().Items(0)).VertexIndices();
  ASSERT_EQ(corners.Count(), 36);
  for (int i = 0; i < 36; i += 3) {
    const TAffineVector& a = cube.Vertices().List()[corners.List()[i]];
    const TAffineVector& b = cube.Vertices().List()[corners.List()[i + 1]];
    const TAffineVector& c = cube.Vertices().List()[corners.List()[i + 2]];
    const TAffineVector outward = Vec3Normalized(Vec3Scaled(Vec3Add(Vec3Add(a, b), c), 1.0f / 3));
    for (int k = 0; k < 3; ++k) {
      // Every normal of a face is the face's axis, pointing away from the centre.
      const TAffineVector n = cube.Normals().List()[corners.List()[i + k]];
      EXPECT_NEAR(Vec3Length(n), 1, 1e-6f);
      EXPECT_GT(Vec3Dot(n, outward), 0.5f) << "face " << i / 3;
    }
  }
}

TEST_F(File3DSImport, SmoothCubeSharesItsCornersAndSumsTheirFaceNormals) {
  for (TMeshNormalsOrientation orientation : {mnoDefault, mnoInvert}) {
    SCOPED_TRACE(orientation);
    const TMeshObject& cube = Load(CenteredCube3DS(1), orientation).MeshObjects().Items(0);
    ASSERT_EQ(cube.Vertices().Count(), 8);
    for (int v = 0; v < 8; ++v) {
      TAffineVector expected = Vec3Normalized(CornerNormalSum(v));
      if (orientation == mnoInvert) Vec3NegateInPlace(expected);
      ExpectNear(cube.Normals().List()[v], expected);
    }
    // The faces keep the file's corners in the file's order either way.
    const TIntegerList& corners = static_cast<const TFGVertexIndexList&>(cube.FaceGroups().Items(0)).VertexIndices();
    for (int f = 0; f < 12; ++f)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(corners.List()[3 * f + k], CUBE_FACES[std::size_t(f)][std::size_t(k)]);
  }
}

TEST_F(File3DSImport, DegenerateFacesAndUnusedVerticesGetNoNaNNormals) {
  for (std::uint32_t smoothing : {0u, 1u}) {
    TModel3DS model = CenteredCube3DS(smoothing);
    TMeshRecord3DS& mesh = model.Meshes[0];
    mesh.Vertices.push_back({5, 5, 5});  // used by no face
    mesh.Faces.push_back({0, 0, 1, 7});  // a line
    mesh.Faces.push_back({2, 2, 2, 7});  // a point
    mesh.SmoothingGroups.resize(smoothing ? 14 : 0, smoothing);
    mesh.MaterialGroups[0].FaceIndices.push_back(12);
    const TAffineVectorList& normals = Load(model).MeshObjects().Items(0).Normals();
    for (int v = 0; v < normals.Count(); ++v)
      for (int k = 0; k < 3; ++k) ASSERT_TRUE(std::isfinite(normals.GetItem(v)[k])) << "vertex " << v;
  }
}

TEST_F(File3DSImport, FacesShareAVertexOnlyThroughTheLowestBitOfTheirSmoothingMasks) {
  // Two triangles on one edge: 4 vertices when they are smoothed together, else 6.
  struct TCase {
    std::uint32_t First, Second;
    int Vertices;
  };
  const TCase cases[] = {{0, 0, 6}, {1, 1, 4}, {1, 2, 6}, {2, 6, 4}, {4, 6, 6}, {0x80000000u, 0x80000000u, 4}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.First) + " " + std::to_string(c.Second));
    TModel3DS model = CenteredCube3DS();
    TMeshRecord3DS& mesh = model.Meshes[0];
    mesh.Faces = {{0, 1, 2, 7}, {0, 2, 3, 7}};
    mesh.MaterialGroups[0].FaceIndices = {0, 1};
    mesh.SmoothingGroups = {c.First, c.Second};
    EXPECT_EQ(Load(model).MeshObjects().Items(0).Vertices().Count(), c.Vertices + 4);  // 4 corners unused
  }
}

// Windows tools write texture names in any letter case: "IMAGE1.JPG" for the file
// IMAGE1.jpg beside the model. The picture loads, from the first folder of the
// library that has it in any case.
TEST_F(File3DSImport, TextureNamesInAnotherLetterCaseFindTheirPicture) {
  std::filesystem::create_directories(Folder.Path() / "first");
  const TRgbRows grey(2, std::vector<std::uint8_t>(6, 128));
  WriteBytes("IMAGE1.jpg", JpegBytes(2, 2, grey));
  WriteBytes("first/Image1.Jpg", JpegBytes(4, 4, TRgbRows(4, std::vector<std::uint8_t>(12, 9))));
  TModel3DS model = CubeModel3DS();
  for (TMaterialRecord3DS& m : model.Materials)
    if (!m.TextureMap.FileName.empty()) m.TextureMap.FileName = "IMAGE1.JPG";
  Form.SetMaterialLibrary(&Library);
  Library.SetTexturePaths(Folder.File("first") + ";" + Folder.Path().string());
  Load(model);
  EXPECT_EQ(Library.Materials().LibMaterialNamed("Checker")->Material().Texture().Image().GetWidth(), 4);
}

TEST_F(File3DSImport, MaterialGroupsBecomeLibraryMaterialsThatALaterModelReusesUnchanged) {
  const TRgbRows grey(2, std::vector<std::uint8_t>(6, 128));
  WriteBytes("checker.jpg", JpegBytes(2, 2, grey));
  Library.SetTexturePaths(Folder.Path().string());
  Form.SetMaterialLibrary(&Library);
  const TMeshObject& cube = Load(CubeModel3DS()).MeshObjects().Items(0);
  ASSERT_EQ(cube.FaceGroups().Count(), 2);
  EXPECT_EQ(cube.FaceGroups().Items(0).MaterialName(), "Red");
  EXPECT_EQ(cube.FaceGroups().Items(1).MaterialName(), "Checker");
  ASSERT_EQ(Library.Materials().Count(), 2);
  const TGLMaterial& red = Library.Materials().LibMaterialNamed("Red")->Material();
  EXPECT_TRUE(Vec4Equal(red.FrontProperties().Ambient().Color(), {0.2f, 0, 0, 1}));
  EXPECT_TRUE(Vec4Equal(red.FrontProperties().Diffuse().Color(), {1, 0, 0, 1}));
  // Specular scaled by 1 - shininess (0.25), alpha too; shininess (1 - 50 %) x 128.
  EXPECT_TRUE(Vec4Equal(red.FrontProperties().Specular().Color(), {0.75f, 0.75f, 0.75f, 0.75f}));
  EXPECT_EQ(red.FrontProperties().Shininess(), 64);
  EXPECT_TRUE(red.Texture().Disabled());
  EXPECT_FALSE(Library.Materials().LibMaterialNamed("Checker")->Material().Texture().Disabled());

  // Another model with a "Red" of its own colours, and a strength past 100 %.
  TModel3DS other = CenteredCube3DS();
  other.Materials[0].Name = "Red";
  other.Materials[0].Diffuse = {0, 1, 0};
  TMaterialRecord3DS shiny = other.Materials[0];
  shiny.Name = "Shiny";
  shiny.ShininessStrength = 1.5f;
  other.Materials.push_back(shiny);
  other.Meshes[0].MaterialGroups = {{"Red", {0, 1, 2, 3, 4, 5}}, {"SHINY", {6, 7, 8, 9, 10, 11}}};
  Load(other);
  EXPECT_EQ(Library.Materials().Count(), 3);
  EXPECT_TRUE(Vec4Equal(red.FrontProperties().Diffuse().Color(), {1, 0, 0, 1}));
  // Looked up in the file without regard to case; named in the library as the group names it.
  ASSERT_NE(Library.Materials().LibMaterialNamed("SHINY"), nullptr);
  EXPECT_EQ(Library.Materials().LibMaterialNamed("SHINY")->Material().FrontProperties().Shininess(), 0);

  // Without a library the groups name no material.
  Form.SetMaterialLibrary(nullptr);
  EXPECT_EQ(Load(other).MeshObjects().Items(0).FaceGroups().Items(0).MaterialName(), "");
}

TEST_F(File3DSImport, RefusedFilesKeepTheModelAlreadyLoaded) {
  Form.SetMaterialLibrary(&Library);
  Form.LoadFromFile(Write("good.3ds", CenteredCube3DS()));
  const std::string good = Form.MeshObjects().SaveToString();
  auto cube = [] { return CenteredCube3DS(); };
  auto bad = [&](auto change) {
    TModel3DS model = cube();
    change(model.Meshes[0], model);
    return Model3DSBytes(model);
  };
  // Three corners used by 21846 faces: the last one would need vertex 65536.
  TModel3DS huge = cube();
  huge.Meshes[0].Vertices.resize(3);
  huge.Meshes[0].Faces.assign(21846, {0, 1, 2, 7});
  huge.Meshes[0].MaterialGroups[0].FaceIndices = {0};
  TModel3DS textured = cube();
  textured.Materials[0].Name = textured.Meshes[0].MaterialGroups[0].MaterialName = "Textured";
  textured.Materials[0].TextureMap.FileName = "missing.jpg";
  const std::string whole = Model3DSBytes(cube());

  struct TCase {
    const char* Name;
    std::string Bytes;
    std::string Error;
  };
  const TCase cases[] = {
      {"picture.png", whole, "Unknown file extension (png)"},
      {"picture.3ds", "\x89PNG\r\n\x1a\n" + std::string(64, '\0'), "The top chunk has tag 0x5089"},
      {"empty.3ds", "", "The file holds 0 bytes"},
      {"cut.3ds", whole.substr(0, whole.size() / 2), "but the file holds"},
      {"corner.3ds", bad([](TMeshRecord3DS& m, TModel3DS&) { m.Faces[3].V2 = 99; }),
       "Mesh \"Cube\": face 3 names vertex 99, but the mesh has 8 vertices"},
      {"group.3ds", bad([](TMeshRecord3DS& m, TModel3DS&) { m.MaterialGroups[0].FaceIndices[5] = 12; }),
       "name face 12, but the mesh has 12 faces"},
      {"material.3ds", bad([](TMeshRecord3DS&, TModel3DS& model) { model.Materials.clear(); }),
       "names the material \"White\", which the file does not hold"},
      {"uv.3ds", bad([](TMeshRecord3DS& m, TModel3DS&) { m.TexCoords.assign(5, {0, 0}); }),
       "5 texture coordinates for 8 vertices"},
      {"smooth.3ds", bad([](TMeshRecord3DS& m, TModel3DS&) { m.SmoothingGroups.assign(11, 1); }),
       "11 smoothing groups for 12 faces"},
      {"huge.3ds", Model3DSBytes(huge), "needs more than 65535 vertices"},
      {"textured.3ds", Model3DSBytes(textured), "missing.jpg"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string fileName = WriteBytes(c.Name, c.Bytes);
    for (bool append : {false, true}) {
      std::string error;
      try {
        append ? Form.AppendFromFile(fileName) : Form.LoadFromFile(fileName);
      } catch (const Exception& e) {
        error = e.what();
      }
      EXPECT_NE(error.find(c.Error), std::string::npos) << error;
      EXPECT_EQ(Form.MeshObjects().SaveToString(), good);
      EXPECT_EQ(Library.Materials().Count(), 1);
    }
  }
  EXPECT_THROW(Form.LoadFromFile(Folder.File("absent.3ds")), EFOpenError);
  EXPECT_EQ(Form.MeshObjects().SaveToString(), good);
}

TEST_F(File3DSImport, RandomByteFlipsThroughTheFreeFormEndInAModelOrAnErrorThatKeepsTheOldOne) {
  TModel3DS scene = SceneModel3DS();
  for (TMaterialRecord3DS& m : scene.Materials) m.TextureMap.FileName.clear();
  const std::string bytes = Model3DSBytes(scene);
  Form.SetMaterialLibrary(&Library);
  Form.LoadFromFile(Write("good.3ds", CenteredCube3DS()));
  std::mt19937 random(20250214);
  int refused = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string spoilt = bytes;
    for (int i = 1 + int(random() % 4); i > 0; --i) spoilt[random() % spoilt.size()] ^= char(1u << (random() % 8));
    TMemoryStream stream(spoilt);
    const std::string before = Form.MeshObjects().SaveToString();
    const int materials = Library.Materials().Count();
    try {
      Form.LoadFromStream("spoilt.3ds", stream);
    } catch (const Exception&) {
      ++refused;
      ASSERT_EQ(Form.MeshObjects().SaveToString(), before) << "round " << round;
      ASSERT_EQ(Library.Materials().Count(), materials) << "round " << round;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST_F(File3DSImport, RaysHitTheLoadedCubeUnderATransformedParent) {
  TGLScene scene(nullptr);
  TGLBaseSceneObject& parent = scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  TFreeForm& form = parent.AddChild(std::make_unique<TFreeForm>(nullptr));
  TVector point{7, 7, 7, 7}, normal{7, 7, 7, 7};
  EXPECT_FALSE(form.IntersectRay(PointMake(10, 0, 20), {0, 0, -1, 0}, &point, &normal));
  EXPECT_TRUE(Vec4Equal(point, {7, 7, 7, 7}));
  form.LoadFromFile(Write("cube.3ds", CenteredCube3DS()));
  parent.Position().SetPoint(10, 0, 0);
  parent.Scale().SetVector(2, 2, 2);
  parent.SetTurnAngle(90);

  // The cube spans 9..11 on x and -1..1 on z now; the ray comes down -z.
  ASSERT_TRUE(form.IntersectRay(PointMake(10.5f, 0.2f, 20), {0, 0, -1, 0}, &point, &normal));
  ExpectNear(Vec3Of(point), {10.5f, 0.2f, 1});
  ExpectNear(Vec3Of(normal), {0, 0, 1});
  // From the other side, the nearer face is the one at -1.
  ASSERT_TRUE(form.IntersectRay(PointMake(10.5f, 0.2f, -20), {0, 0, 1, 0}, &point, &normal));
  ExpectNear(Vec3Of(point), {10.5f, 0.2f, -1});
  ExpectNear(Vec3Of(normal), {0, 0, -1});
  form.SetNormalsOrientation(mnoInvert);
  ASSERT_TRUE(form.IntersectRay(PointMake(10.5f, 0.2f, -20), {0, 0, 1, 0}, nullptr, &normal));
  ExpectNear(Vec3Of(normal), {0, 0, 1});

  point = {7, 7, 7, 7};
  EXPECT_FALSE(form.IntersectRay(PointMake(12, 0.2f, 20), {0, 0, -1, 0}, &point, &normal));
  EXPECT_TRUE(Vec4Equal(point, {7, 7, 7, 7}));
}

TEST_F(File3DSImport, AutoCenteringMovesTheAxesItNames) {
  TModel3DS model = CenteredCube3DS(1);  // 8 vertices: their mean is the centre
  for (TAffineVector& v : model.Meshes[0].Vertices) v = Vec3Add(v, {1, 2, 3});  // 0.5..1.5, 1.5..2.5, 2.5..3.5
  struct TCase {
    TMeshAutoCenterings Centering;
    TAffineVector Min;
  };
  const TCase cases[] = {{0, {0.5f, 1.5f, 2.5f}},
                         {macCenterY, {0.5f, -0.5f, 2.5f}},
                         {macCenterX | macCenterZ, {-0.5f, 1.5f, -0.5f}},
                         {macUseBarycenter | macCenterX, {-0.5f, -0.5f, -0.5f}}};
  for (const TCase& c : cases) {
    Form.SetAutoCentering(c.Centering);
    TAffineVector min, max;
    Load(model).GetExtents(min, max);
    ExpectNear(min, c.Min);
    ExpectNear(max, Vec3Add(c.Min, {1, 1, 1}));
  }
  EXPECT_TRUE(Vec4Equal(Form.HalfExtents(), {0.5f, 0.5f, 0.5f, 0}));
  EXPECT_TRUE(Vec4Equal(TFreeForm(nullptr).HalfExtents(), {0, 0, 0, 0}));
}

TEST_F(File3DSImport, SavingInAFormatWithoutAWriterLeavesTheFileAlone) {
  Form.LoadFromFile(Write("cube.3ds", CenteredCube3DS()));
  const std::string fileName = WriteBytes("kept.3ds", "old bytes");
  EXPECT_EQ(BRV_ERROR_TEXT(EAssertionFailed, Form.SaveToFile(fileName)).find("Export for TGL3DSVectorFile not available."), 0u);
  EXPECT_EQ(BRV_ERROR_TEXT(EInvalidVectorFile, Form.SaveToFile(Folder.File("kept.obj"))), "Unknown file extension (obj)");
  EXPECT_EQ(LoadStringFromFile(fileName), "old bytes");
  EXPECT_FALSE(FileExists(Folder.File("kept.obj")));
}

}  // namespace
