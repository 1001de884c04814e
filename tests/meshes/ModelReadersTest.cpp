// The MD2, TIN, PLY, STL and SMD readers through the meshes that load them: what
// each file gives, the files each refuses with the text it gives, and the STL
// writer read back byte for byte.

#include <gtest/gtest.h>

#include <cmath>

#include "SupportReaders.h"
#include "meshes/GLFileSMD.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

class ModelReaders : public ::testing::Test {
protected:
  void SetUp() override { InitializeMeshUnits(); }
};

// The text of the exception a load raises; empty when it loads.
template <class TForm = TFreeForm>
std::string LoadError(const std::string& name, const std::string& bytes) {
  return BRV_ERROR_TEXT(Exception, LoadModel<TForm>(name, bytes));
}

bool Near(const TAffineVector& a, const TAffineVector& b) { return Vec3Distance(a, b) < 1e-5f; }

TEST_F(ModelReaders, TINLinesOfNineNumbersAreTrianglesWithTheirPlaneNormal) {
  const auto form = LoadModel("a.tin",
                              "t 0,0,0,1,0,0,0,1,0\r\nT 5 5 5 6 6 6 7 7 7\r\nt 1 2 3\nc comment\n"
                              "t 0 0 0 0 0 1 0 1 0\nt 0 0 0 1 1 1 2 2 2");  // the last without area, no line end
  const TMeshObject& mesh = form->MeshObjects().Items(0);
  ASSERT_EQ(mesh.Vertices().Count(), 9);
  const TAffineVector normals[] = {{0, 0, 1}, {-1, 0, 0}, {0, 0, 0}};
  for (int v = 0; v < 9; ++v) EXPECT_TRUE(Near(mesh.Normals().GetItem(v), normals[v / 3])) << v;
  EXPECT_TRUE(Near(mesh.Vertices().GetItem(1), {1, 0, 0}));
}

TEST_F(ModelReaders, PLYCubeReadsWithEitherLineEnd) {
  for (const char* end : {"\n", "\r\n"}) {
    const auto form = LoadModel("cube.ply", CubePLY(end));
    const TMeshObject& mesh = form->MeshObjects().Items(0);
    EXPECT_EQ(mesh.TriangleCount(), 12);
    EXPECT_EQ(mesh.Vertices().Count(), 8);
    // Outward normals at the corners: the first corner's points left, to the front and down.
    const float third = 1 / std::sqrt(3.0f);
    EXPECT_GT(Vec3Dot(mesh.Normals().GetItem(0), {-third, -third, -third}), 0.95f);
  }
}

TEST_F(ModelReaders, PLYFilesThatDoNotFitAreRefusedWithWhatWasExpectedAndFound) {
  const std::string cube = CubePLY();
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = cube;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const std::pair<std::string, std::string> cases[] = {
      {"PLY\n" + cube.substr(4), "Not a valid ply file ! Expected the first line \"ply\", found \"PLY\""},
      {"", "Not a valid ply file ! Expected the first line \"ply\", found an empty file"},
      {replaced("3 4 5 6\n", "4 4 5 6 7\n"), "Unsupported PLY variant. Line 21: expected a face of 3 vertex indices, found \"4 4 5 6 7\""},
      {replaced("3 0 2 1", "3 0 2"), "Unsupported PLY variant. Line 19: expected a face of 3 vertex indices, found \"3 0 2\""},
      {replaced("0.500000 0.500000 0.500000", "0.5 0.5"), "Unsupported PLY variant. Line 17: expected a vertex of 3 coordinates, found \"0.5 0.5\""},
      {replaced("3 0 2 1", "3 0 2 8"), "Invalid PLY file. Line 19: expected vertex indices from 0 to 7, found \"8\""},
      {replaced("3 0 2 1", "3 0 -2 1"), "Invalid PLY file. Line 19: expected vertex indices from 0 to 7, found \"-2\""},
      {replaced("3 0 2 1", "3 0 x 1"), "Invalid PLY file. Line 19: expected vertex indices from 0 to 7, found \"x\""},
      {replaced("end_header\n", "end_heder\n"), "Invalid PLY file. Line 31: expected \"end_header\", found the end of the file after 30 lines"},
      {replaced("element face 12", "element face 2000000000"), "Invalid PLY file. Line 11: expected 8 vertex and 2000000000 face lines after the header, found 20 lines"},
      {replaced("element vertex 8", "element vertex -8"), "Invalid PLY file. Line 4: expected an element count of 0 or more, found \"-8\""},
      {replaced("ascii", "binary_little_endian"), "Binary PLY files are not supported. Line 2: expected \"format ascii 1.0\", found \"format binary_little_endian 1.0\""},
  };
  for (const auto& [text, error] : cases) EXPECT_EQ(LoadError("bad.ply", text), error);
}

TEST_F(ModelReaders, STLWrittenAndReadBackKeepsItsTrianglesAndItsHeader) {
  const std::string bytes = CubeSTL();
  ASSERT_EQ(bytes.size(), 84u + 12 * 50);
  EXPECT_EQ(bytes.substr(0, 80), "Brovanel STL export" + std::string(61, '\0'));
  const auto form = LoadModel("cube.stl", bytes);
  const TMeshObject& mesh = form->MeshObjects().Items(0);
  ASSERT_EQ(mesh.Vertices().Count(), 36);
  for (int f = 0; f < 12; ++f)
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(Vec3Equal(mesh.Vertices().GetItem(3 * f + k), CUBE_CORNERS[CUBE_FACES[f][k]]));
  // The written normals point out of the cube's faces: the bottom's down.
  EXPECT_TRUE(Near(mesh.Normals().GetItem(0), {0, 0, -1}));
  EXPECT_EQ(BRV_ERROR_TEXT(Exception, form->SaveToFile("")), "");
}

TEST_F(ModelReaders, STLFacetsTurnOnlyWhenTheirStoredNormalPointsAgainstTheirCorners) {
  std::string bytes = CubeSTL().substr(0, 84 + 50);  // the bottom, normal (0, 0, -1)
  const std::uint32_t one = 1;
  std::memcpy(&bytes[80], &one, 4);
  const struct {
    TAffineVector Stored, Normal;
    bool Reversed;
  } cases[] = {{{0, 0, -1}, {0, 0, -1}, false}, {{0, 0, 0}, {0, 0, -1}, false}, {{0, 0.1f, 5}, {0, 0.1f, 5}, true}};
  for (const auto& c : cases) {
    std::memcpy(&bytes[84], &c.Stored, 12);
    const auto form = LoadModel("f.stl", bytes);
    const TMeshObject& mesh = form->MeshObjects().Items(0);
    EXPECT_TRUE(Vec3Equal(mesh.Vertices().GetItem(0), CUBE_CORNERS[CUBE_FACES[0][c.Reversed ? 2 : 0]]));
    EXPECT_TRUE(Near(mesh.Normals().GetItem(2), c.Normal));
  }
}

TEST_F(ModelReaders, STLFilesOfAnotherSizeAreRefusedAndASCIIOnesSaySo) {
  const std::string cube = CubeSTL();
  const std::pair<std::string, std::string> cases[] = {
      {"solid cube\n  facet normal 0 0 1\n   outer loop\n    vertex 0 0 0\n    vertex 1 0 0\n    vertex 0 1 0\n"
       "   endloop\n  endfacet\nendsolid cube\n",
       "ASCII STL files are not supported: expected a binary STL file, found text starting \"solid cube\" of 133 bytes"},
      {cube.substr(0, 683), "Invalid STL file: expected 684 bytes for 12 facets, found 683 bytes"},
      {cube + "x", "Invalid STL file: expected 684 bytes for 12 facets, found 685 bytes"},
      {cube.substr(0, 83), "Invalid STL file: expected 84 bytes or more, found 83 bytes"},
      {"solid" + cube.substr(5), ""},  // binary, though its header starts as text does
  };
  for (const auto& [bytes, error] : cases) EXPECT_EQ(LoadError("bad.stl", bytes), error);
}

TEST_F(ModelReaders, MD2FramesBecomeMorphTargetsAndAnActorsAnimations) {
  std::vector<std::string> names(46);
  for (int f = 0; f < 46; ++f) names[f] = (f < 40 ? "stand" : "run") + std::to_string(f % 10);
  const std::string bytes = MD2Bytes(SampleModelMD2(names));
  const auto actor = LoadModel<TActor>("a.md2", bytes);
  const TActorAnimations& animations = actor->Animations();
  ASSERT_EQ(animations.Count(), 2);
  EXPECT_EQ(animations.Items(0).GetDisplayName(), "0 - stand [0 - 39]");
  EXPECT_EQ(animations.Items(1).GetDisplayName(), "1 - run [40 - 45]");
  EXPECT_EQ(actor->FrameCount(), 46);

  const auto form = LoadModel("a.md2", bytes);
  const auto& mesh = dynamic_cast<const TMorphableMeshObject&>(form->MeshObjects().Items(0));
  EXPECT_EQ(mesh.MorphTargets().Items(45).Name(), "Frame45");
  EXPECT_TRUE(Vec3Equal(mesh.Vertices().GetItem(1), mesh.MorphTargets().Items(0).Vertices().GetItem(1)));
  EXPECT_EQ(mesh.TriangleCount(), 3);

  // Triangles of five vertices, but no frame that places them.
  std::string noFrames = MD2Bytes(SampleModelMD2({}));
  const std::int32_t five = 5;
  std::memcpy(&noFrames[6 * 4], &five, 4);
  EXPECT_EQ(LoadError("b.md2", noFrames),
            "Invalid MD2 file: expected a frame for the vertices of 3 triangles, found none");
}

TEST_F(ModelReaders, SMDModelAndAnimationFillAnActor) {
  TScratchFolder folder;
  SaveStringToFile(folder.File("arm.smd"), ArmSMD("\r\n"));
  SaveStringToFile(folder.File("walk.anim.smd"), ArmAnimationSMD(5));
  TGLMaterialLibrary library(nullptr);
  TActor actor(nullptr);
  actor.SetMaterialLibrary(&library);
  actor.LoadFromFile(folder.File("arm.smd"));
  const auto& mesh = dynamic_cast<const TSkeletonMeshObject&>(actor.MeshObjects().Items(0));
  EXPECT_EQ(mesh.Vertices().Count(), 6);
  EXPECT_EQ(mesh.TexCoords().Count(), 3);
  EXPECT_EQ(mesh.FaceGroups().Count(), 2);  // "null.bmp" and "NULL.BMP"
  EXPECT_EQ(library.Materials().Count(), 2);
  EXPECT_EQ(actor.Skeleton().FindBone(1)->Name(), "the arm");
  EXPECT_EQ(actor.Skeleton().Frames().Items(0).Name(), "arm.smd time 0");

  actor.AppendFromFile(folder.File("walk.anim.smd"));
  EXPECT_EQ(actor.Skeleton().Frames().Count(), 6);
  const TActorAnimation* walk = actor.Animations().FindByName("walk");
  ASSERT_NE(walk, nullptr);
  EXPECT_EQ(walk->GetDisplayName(), "1 - walk [1 - 5]");

  // A refused animation leaves the frames and animations as they were.
  std::string bad = ArmAnimationSMD(3);
  bad.replace(bad.rfind("1 1 0"), 1, "2");
  SaveStringToFile(folder.File("bad.smd"), bad);
  EXPECT_EQ(BRV_ERROR_TEXT(Exception, actor.AppendFromFile(folder.File("bad.smd"))),
            "Invalid vertex count: 2 vs 1 (line 15: the bones of a pose follow in ID order from 0)");
  EXPECT_EQ(actor.Skeleton().Frames().Count(), 6);
  EXPECT_EQ(actor.Animations().Count(), 2);

  TActor empty(nullptr);
  EXPECT_EQ(BRV_ERROR_TEXT(Exception, empty.LoadFromFile(folder.File("walk.anim.smd"))),
            "SMD is an animation, load model SMD first.");
}

TEST_F(ModelReaders, SMDFilesThatDoNotFitAreRefusedWithWhatWasExpectedAndFound) {
  const std::string arm = ArmSMD();
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = arm;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const std::pair<std::string, std::string> cases[] = {
      {replaced("version 1", "version 2"), "SMD version 1 required: expected \"version 1\" on line 1, found \"version 2\""},
      {replaced("nodes", "bones"), "nodes not found: expected \"nodes\" on line 2, found \"bones\""},
      {replaced("skeleton", "skel"), "skeleton not found: expected \"skeleton\" on line 6, found \"skel\""},
      {replaced("time 0", "tim 0"), "time not found, got: tim 0"},
      {replaced("1 \"the arm\" 0", "1 \"the arm\" 7"), "Bone 1 (\"the arm\") names parent 7, which is no bone declared before it"},
      {replaced("1 \"the arm\" 0", "1 \"the arm\" x"), "Invalid SMD file, line 4: expected a parent bone ID, found \"x\""},
      {replaced("1 \"the arm\" 0", "0 \"the arm\" 0"), "Invalid SMD file, line 4: expected a bone ID that no node before has, found 0"},
      {replaced("1 \"the arm\" 0", "2000000000 \"the arm\" 0"), "Invalid SMD file: bone \"the arm\" has ID 2000000000, expected 0 to 1 (the bones the frames place)"},
      {replaced("1 1 0 2 0 0 1 0 0", "9 1 0 2 0 0 1 0 0"), "Invalid SMD file: a triangle's vertex 3 is bound to bone 9, which the skeleton does not have"},
      {replaced("1 1 0 2 0 0 1 0 0", "1 1 0 2 0 0 1 0"), "Invalid SMD file, line 17: expected a corner of bone ID, position, normal and texture point (9 fields), found \"1 1 0 2 0 0 1 0\""},
      {replaced("time 0\n0 0 0 2 0 0 0\n1 1 0 0 0 0 1.5\n", ""), "Invalid SMD file: expected a pose of the bones after \"skeleton\", found none"},
      {arm.substr(0, arm.rfind("end")), "Invalid SMD file, line 20: expected \"end\" after the triangles, found the end of the file"},
      {replaced("end\nskeleton", "skeleton"), "Invalid SMD file, line 5: expected a node of ID, name and parent ID (3 fields), found \"skeleton\""},
      {arm.substr(0, arm.find("NULL.BMP") + 9), "Invalid SMD file, line 17: expected three corner lines after the material line, found the end of the file"},
  };
  for (const auto& [text, error] : cases) EXPECT_EQ(LoadError("arm.smd", text), error);
}

}  // namespace
