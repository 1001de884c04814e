// Our reader and our free forms against an independent one: the command-line model
// converter's 3DS importer, when it is installed.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "Oracle3DS.h"
#include "Support3DS.h"
#include "SupportMeshes.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tools/threeds/ReadAll3DS.h"

namespace {

// Ours, turned into the oracle's axes: (x, y, z) becomes (x, z, -y), so the box's
// y bounds change places.
TSummary InOracleAxes(long faces, const TAffineVector& min, const TAffineVector& max) {
  return {faces, {min.x, min.z, -max.y}, {max.x, max.z, -min.y}};
}

TSummary OurSummary(const std::string& fileName) {
  TFile3DS file(fileName);
  const TMeshTotals3DS totals = MeshTotals3DS(file);
  return InOracleAxes(totals.Faces, totals.Box.Min, totals.Box.Max);
}

// The model loaded into a free form, as the program loads it.
TSummary FreeFormSummary(const std::string& fileName) {
  TFreeForm form(nullptr);
  form.LoadFromFile(fileName);
  TAffineVector min, max;
  form.GetExtents(min, max);
  return InOracleAxes(form.MeshObjects().TriangleCount(), min, max);
}

void ExpectSameSummary(const TSummary& ours, const TSummary& theirs) {
  EXPECT_EQ(ours.Faces, theirs.Faces);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(ours.Min[k], theirs.Min[k], 1e-4f) << "axis " << k;
    EXPECT_NEAR(ours.Max[k], theirs.Max[k], 1e-4f) << "axis " << k;
  }
}

class CrossCheck3DS : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveOracle()) GTEST_SKIP() << ORACLE << " is not installed";
    InitializeMeshUnits();
    FFolder = std::make_unique<TScratchFolder>();
  }
  std::string Write(const std::string& name, const TModel3DS& model) const {
    TChunkWriter3DS writer;
    WriteModel3DS(writer, model);
    writer.SaveToFile(File(name));
    return File(name);
  }
  // The OBJ text converted to 3DS by the oracle.
  std::string Export(const std::string& name, const std::string& obj) const {
    std::ofstream(File(name + ".obj")) << obj;
    ExportWithOracle(File(name + ".obj"), File(name + ".3ds"));
    return File(name + ".3ds");
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
    const std::string fileName = Write(std::string(name) + ".3ds", model);
    ExpectSameSummary(OurSummary(fileName), OracleSummary(fileName));
  }
}

TEST_F(CrossCheck3DS, FreeFormsHoldTheFacesAndBoxesTheOracleReads) {
  // Hidden meshes are not loaded into free forms: the scene shows its hidden quad here.
  TModel3DS scene = SceneModel3DS();
  scene.KeyFramerNodes.clear();
  for (TMeshRecord3DS& mesh : scene.Meshes) {
    mesh.LocalMatrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    mesh.Hidden = false;
  }
  const std::string files[] = {
      Write("flat.3ds", CenteredCube3DS()),
      Write("smooth.3ds", CenteredCube3DS(1)),
      Write("scene.3ds", scene),
      Write("grid.3ds", GridModel3DS(70000)),
      Export("cube", CenteredCubeObj()),
      Export("shapes", "v 0 0 0\nv 2 0 0\nv 0 3 0\nv 0 0 4\nf 1 3 2\nf 1 2 4\nf 2 3 4\nf 3 1 4\n"
                       "o quad\nv -1 -1 -5\nv -1 6 -5\nv 5 6 -5\nv 5 -1 -5\nf 5 6 7 8\n"),
  };
  for (const std::string& fileName : files) {
    SCOPED_TRACE(fileName);
    ExpectSameSummary(FreeFormSummary(fileName), OracleSummary(fileName));
  }
}

TEST_F(CrossCheck3DS, ReadsAFileTheOracleWrote) {
  // A tetrahedron and a quad in a text format the oracle converts to 3DS.
  std::ofstream(File("shape.obj")) << "v 0 0 0\nv 2 0 0\nv 0 3 0\nv 0 0 4\n"
                                      "f 1 3 2\nf 1 2 4\nf 2 3 4\nf 3 1 4\n"
                                      "o quad\nv -1 -1 -5\nv -1 6 -5\nv 5 6 -5\nf 5 6 7\n";
  ExportWithOracle(File("shape.obj"), File("shape.3ds"));
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
