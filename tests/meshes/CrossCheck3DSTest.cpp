// Our reader against an independent one: the command-line model converter's 3DS
// importer, when it is installed.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <memory>

#include "Oracle3DS.h"
#include "Support3DS.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tools/threeds/ReadAll3DS.h"

namespace {

// Ours, turned into the oracle's axes: (x, y, z) becomes (x, z, -y), so the box's
// y bounds change places.
TSummary OurSummary(const std::string& fileName) {
  TFile3DS file(fileName);
  const TMeshTotals3DS totals = MeshTotals3DS(file);
  const TAxisAlignedBox& box = totals.Box;
  return {totals.Faces, {box.Min.x, box.Min.z, -box.Max.y}, {box.Max.x, box.Max.z, -box.Min.y}};
}

class CrossCheck3DS : public ::testing::Test {
protected:
  void SetUp() override {
    if (::access(ORACLE, X_OK) != 0) GTEST_SKIP() << ORACLE << " is not installed";
    FFolder = std::make_unique<TScratchFolder>();
  }
  std::string File(const std::string& name) const { return FFolder->File(name); }

private:
  std::unique_ptr<TScratchFolder> FFolder;
};

TEST_F(CrossCheck3DS, FaceCountsAndBoxesAgreeWithTheOracle) {
  // Mesh matrices at identity and no key framer: the oracle would move the vertices
  // by them, which our records leave to the importer.
  TModel3DS scene = SceneModel3DS();
  scene.KeyFramerNodes.clear();
  for (TMeshRecord3DS& mesh : scene.Meshes) mesh.LocalMatrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  const std::pair<const char*, TModel3DS> models[] = {
      {"cube", CubeModel3DS()}, {"scene", scene}, {"grid", GridModel3DS(70000)}};
  for (const auto& [name, model] : models) {
    SCOPED_TRACE(name);
    std::string fileName = File(std::string(name) + ".3ds");
    TChunkWriter3DS writer;
    WriteModel3DS(writer, model);
    writer.SaveToFile(fileName);
    TSummary theirs = OracleSummary(fileName), ours = OurSummary(fileName);
    EXPECT_EQ(ours.Faces, theirs.Faces);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(ours.Min[k], theirs.Min[k], 1e-4f) << "axis " << k;
      EXPECT_NEAR(ours.Max[k], theirs.Max[k], 1e-4f) << "axis " << k;
    }
  }
}

TEST_F(CrossCheck3DS, ReadsAFileTheOracleWrote) {
  // A tetrahedron and a quad in a text format the oracle converts to 3DS.
  std::ofstream(File("shape.obj")) << "v 0 0 0\nv 2 0 0\nv 0 3 0\nv 0 0 4\n"
                                      "f 1 3 2\nf 1 2 4\nf 2 3 4\nf 3 1 4\n"
                                      "o quad\nv -1 -1 -5\nv -1 6 -5\nv 5 6 -5\nf 5 6 7\n";
  RunCommand(std::string(ORACLE) + " export '" + File("shape.obj") + "' '" + File("shape.3ds") + "' >/dev/null 2>&1");
  const std::string fileName = File("shape.3ds");
  ASSERT_EQ(::access(fileName.c_str(), R_OK), 0) << "the oracle wrote no file";
  TFile3DS file(fileName);
  for (int i = 0; i < file.Objects().MeshCount(); ++i) {
    const TMeshRecord3DS& mesh = *file.Objects().Mesh(i);
    for (const TFace3DS& f : mesh.Faces)
      for (std::uint16_t v : {f.V1, f.V2, f.V3}) ASSERT_LT(v, mesh.Vertices.size());
    for (const TMaterialGroupRecord3DS& group : mesh.MaterialGroups)
      EXPECT_NE(file.Materials().MaterialByName(group.MaterialName), nullptr) << group.MaterialName;
  }
  const TMeshTotals3DS totals = MeshTotals3DS(file);
  EXPECT_EQ(totals.Faces, 5);
  EXPECT_TRUE(SameBytes(totals.Box.Min, TAffineVector{-1, -1, -5}));
  EXPECT_TRUE(SameBytes(totals.Box.Max, TAffineVector{5, 6, 4}));
  TSummary theirs = OracleSummary(fileName);
  EXPECT_EQ(theirs.Faces, totals.Faces);
}

}  // namespace
