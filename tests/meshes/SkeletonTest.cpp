// Skeletons, skeleton mesh objects and morph targets: poses against matrices worked
// out by hand, stored forms, and archives whose bones cannot be.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "SupportMeshes.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

constexpr float HALF_PI = std::numbers::pi_v<float> / 2;

void ExpectMatrixNear(const TMatrix4& actual, const TMatrix4& expected) {
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column)
      EXPECT_NEAR(actual[row][column], expected[row][column], 1e-6) << "row " << row << ", column " << column;
}

void ExpectVectorNear(const TAffineVector& actual, const TAffineVector& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-5);
  EXPECT_NEAR(actual.y, expected.y, 1e-5);
  EXPECT_NEAR(actual.z, expected.z, 1e-5);
}

// A root bone (ID 0) turned a quarter about Z at (1, 2, 3), and its child (ID 1)
// turned a quarter about X and then about Z, one unit up the root's Y axis.
TSkeletonBone& TwoBoneChain(TSkeleton& skeleton) {
  TSkeletonFrame& frame = TSkeletonFrame::CreateOwned(skeleton.Frames());
  frame.SetName("rest");
  frame.Position().AddXYZ(1, 2, 3);
  frame.Rotation().AddXYZ(0, 0, HALF_PI);
  frame.Position().AddXYZ(0, 1, 0);
  frame.Rotation().AddXYZ(HALF_PI, 0, HALF_PI);
  TSkeletonBone& root = TSkeletonBone::CreateOwned(skeleton.Roots());
  root.SetName("hip");
  TSkeletonBone& child = TSkeletonBone::CreateOwned(root);
  child.SetName("knee");
  child.SetId(1);
  return child;
}

class Skeletons : public ::testing::Test {
protected:
  void SetUp() override { InitializeMeshUnits(); }
};

TEST_F(Skeletons, BoneMatricesOfAChainAreTheLocalMatricesTimesTheParents) {
  TSkeleton skeleton;
  TSkeletonBone& child = TwoBoneChain(skeleton);
  skeleton.Roots().PrepareGlobalMatrices();

  // Rz(90) takes X to Y; Rx(90) takes Y to Z; the child's local matrix is Rx Rz.
  const TMatrix4 rootLocal{{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}};
  const TMatrix4 childLocal{{{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 1}}};
  // childLocal x rootLocal, row by row: each row of the child's picks rows of the root's.
  const TMatrix4 childWorld{{{-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, 2, 3, 1}}};
  ExpectMatrixNear(skeleton.Frames().Items(0).BoneMatrices()[0], rootLocal);
  ExpectMatrixNear(skeleton.Frames().Items(0).BoneMatrices()[1], childLocal);
  ExpectMatrixNear(skeleton.FindBone(0)->WorldMatrix(), rootLocal);
  ExpectMatrixNear(child.WorldMatrix(), childWorld);
  EXPECT_EQ(skeleton.FindBone(1), &child);
  EXPECT_EQ(skeleton.FindBone(2), nullptr);
  EXPECT_EQ(skeleton.FindBone(2000000000), nullptr);
}

TEST_F(Skeletons, FramesBonesAndWeightsReadBackAsWritten) {
  TSkeleton skeleton;
  TSkeletonBone& child = TwoBoneChain(skeleton);
  child.SetColor(0x80402010);
  TSkeletonFrame& stored = skeleton.Frames().Items(0);
  stored.BoneMatrices();

  // A frame alone: a frame read over another drops the matrices it had built.
  TSkeletonFrame frame;
  frame.Position().AddXYZ(9, 9, 9);
  frame.Rotation().AddXYZ(0, 0, 0);
  frame.BoneMatrices();
  frame.LoadFromString(stored.SaveToString());
  EXPECT_EQ(frame.Name(), "rest");
  EXPECT_EQ(frame.Position().SaveToString(), stored.Position().SaveToString());
  EXPECT_EQ(frame.Rotation().SaveToString(), stored.Rotation().SaveToString());
  ExpectMatrixNear(frame.BoneMatrices()[0], stored.BoneMatrices()[0]);

  // The whole skeleton: the default colour keeps all 32 bits.
  TSkeleton copy;
  copy.LoadFromString(skeleton.SaveToString());
  ASSERT_EQ(copy.Roots().Count(), 1);
  const TSkeletonBone& root = copy.Roots().Items(0);
  EXPECT_EQ(root.Color(), 0xFFFFFFFFu);
  ASSERT_EQ(root.Count(), 1);
  EXPECT_EQ(root.Items(0).Name(), "knee");
  EXPECT_EQ(root.Items(0).Color(), 0x80402010u);
  EXPECT_EQ(copy.FindBone(1), &root.Items(0));
  EXPECT_EQ(root.Items(0).Parent(), &root);
  EXPECT_EQ(copy.Frames().Count(), 1);

  // Bone weights, row by row.
  TSkeletonMeshObject mesh;
  mesh.SetName("leg");
  EXPECT_EQ(mesh.FindOrAddVertex(1, {0, 1, 0}, {0, 0, 1}), 0);
  EXPECT_EQ(mesh.FindOrAddVertex(0, {0, 1, 0}, {0, 0, 1}), 1);
  EXPECT_EQ(mesh.FindOrAddVertex(1, {0, 1, 0}, {0, 0, 1}), 0);
  mesh.SetWeightsPerVertex(2);
  mesh.Weight(1, 1) = {1, 0.25f};
  TSkeletonMeshObject meshCopy;
  meshCopy.LoadFromString(mesh.SaveToString());
  ASSERT_EQ(meshCopy.WeightRowCount(), 2);
  EXPECT_EQ(meshCopy.Weight(0, 0).BoneID, 1);
  EXPECT_EQ(meshCopy.Weight(1, 1).Weight, 0.25f);
  EXPECT_EQ(meshCopy.SaveToString(), mesh.SaveToString());
}

TEST_F(Skeletons, MorphTargetsInterpolateVerticesAndUnitNormals) {
  TMorphableMeshObject mesh;
  for (float v : {0.f, 2.f}) {
    TMeshMorphTarget& target = TMeshMorphTarget::CreateOwned(mesh.MorphTargets());
    target.Vertices().AddXYZ(v, v, v);
    target.Normals().AddXYZ(v == 0, v != 0, 0);
  }
  const float r = std::sqrt(0.5f);
  const struct {
    float Factor;
    TAffineVector Vertex, Normal;
  } cases[] = {{0, {0, 0, 0}, {1, 0, 0}}, {0.5f, {1, 1, 1}, {r, r, 0}}, {1, {2, 2, 2}, {0, 1, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Factor);
    mesh.Lerp(0, 1, c.Factor);
    ASSERT_EQ(mesh.Vertices().Count(), 1);
    ExpectVectorNear(mesh.Vertices().GetItem(0), c.Vertex);
    ExpectVectorNear(mesh.Normals().GetItem(0), c.Normal);
  }
  EXPECT_THROW(mesh.Lerp(0, 2, 0.5f), EAssertionFailed);

  // Stored and read back, the targets still interpolate; a list of them in a
  // mesh counts the frames every morphable object has.
  TMeshObjectList list;
  list.Adopt(std::make_unique<TMorphableMeshObject>()).LoadFromString(mesh.SaveToString());
  TMeshObject::CreateOwned(list);
  EXPECT_EQ(list.CommonTargetCount(), 2);
  list.Lerp(0, 1, 0.5f);
  ExpectVectorNear(list.Items(0).Vertices().GetItem(0), {1, 1, 1});
}

TEST_F(Skeletons, ArchivesWhoseBonesCannotBeAreRefusedAndChangeNothing) {
  // Bones whose IDs no frame places: a huge one would have sized the bone index.
  TSkeleton source;
  TSkeletonBone& knee = TwoBoneChain(source);
  TSkeleton target;
  TwoBoneChain(target).SetName("kept");
  const struct {
    int Id;
    std::string Error;
  } ids[] = {{2000000000, "Skeleton archive: bone \"knee\" has ID 2000000000, expected 0 to 1 (the bones the frames place)"},
             {-1, "Skeleton archive: bone \"knee\" has ID -1, expected 0 to 1 (the bones the frames place)"}};
  for (const auto& c : ids) {
    knee.SetId(c.Id);
    EXPECT_EQ(BRV_ERROR_TEXT(EReadError, target.LoadFromString(source.SaveToString())), c.Error);
    EXPECT_EQ(target.FindBone(1)->Name(), "kept");
  }
  // Without frames, one ID per bone; a frame whose lists differ in length.
  source.Frames().Clear();
  EXPECT_EQ(BRV_ERROR_TEXT(EReadError, target.LoadFromString(source.SaveToString())),
            "Skeleton archive: bone \"knee\" has ID -1, expected 0 to 1 (one ID per bone)");
  TwoBoneChain(source);
  source.Frames().Items(0).Position().AddXYZ(0, 0, 0);
  EXPECT_NE(BRV_ERROR_TEXT(EReadError, target.LoadFromString(source.SaveToString())).find("holds 3 positions and 2"),
            std::string::npos);

  // A model file's bone under a parent it has not declared.
  EXPECT_EQ(BRV_ERROR_TEXT(EInvalidVectorFile, target.AddBone(5, "arm", 9)),
            "Bone 5 (\"arm\") names parent 9, which is no bone declared before it");
  EXPECT_EQ(target.AddBone(5, "foot", 1).Parent(), target.FindBone(1));

  // Vertices bound to bones the mesh's skeleton lacks.
  TFreeForm form(nullptr);
  TwoBoneChain(form.Skeleton());
  TMeshObject::CreateOwned(form.MeshObjects()).SetName("kept");
  TMeshObjectList bound;
  auto& leg = bound.Adopt(std::make_unique<TSkeletonMeshObject>());
  leg.SetName("leg");
  leg.FindOrAddVertex(7, {0, 0, 0}, {0, 0, 1});
  EXPECT_EQ(BRV_ERROR_TEXT(EReadError, form.MeshObjects().LoadFromString(bound.SaveToString())),
            "Mesh object archive: skeleton mesh object \"leg\": vertex 0 is bound to bone 7, which the skeleton does "
            "not have");
  EXPECT_EQ(form.MeshObjects().Items(0).Name(), "kept");

  // Weight counts the archive cannot hold are refused before anything is allocated:
  // 3 rows of 1 entry become 2^30 rows of 2^30.
  leg.SetWeightRowCount(3);
  std::string archive = leg.SaveToString();
  const std::string counts = Bytes("02 00 02 03 02 01");
  const std::size_t at = archive.rfind(counts);
  ASSERT_NE(at, std::string::npos);
  archive.replace(at, counts.size(), Bytes("02 00 04 00 00 00 40 04 00 00 00 40"));
  TSkeletonMeshObject huge;
  EXPECT_NE(BRV_ERROR_TEXT(EReadError, huge.LoadFromString(archive)).find("1073741824 weight rows of 1073741824"),
            std::string::npos);

  // An empty entry in a list of frames holds nothing.
  TPersistentObjectList withNil;
  TSkeletonFrame frame;
  withNil.Add(nullptr);
  withNil.Add(&frame);
  TSkeletonFrameList frames;
  frames.LoadFromString(withNil.SaveToString());
  EXPECT_EQ(frames.Count(), 1);
  withNil.Clear();
}

}  // namespace
