// The MD2, PLY, STL and SMD readers against an independent reader, the command-line
// model converter, when it is installed: models of our writers, and the generated
// models that it exports, read back with its face counts and bounding boxes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "SupportReaders.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

// Ours, in the converter's axes: the same, or for MD2 (x, y, z) as (x, z, -y).
TSummary FormSummary(const std::string& fileName, bool turned) {
  TFreeForm form(nullptr);
  form.LoadFromFile(fileName);
  TAffineVector min, max;
  form.GetExtents(min, max);
  if (turned) return {form.MeshObjects().TriangleCount(), {min.x, min.z, -max.y}, {max.x, max.z, -min.y}};
  return {form.MeshObjects().TriangleCount(), min, max};
}

void ExpectSameSummary(const std::string& fileName, bool turned = false) {
  SCOPED_TRACE(fileName);
  const TSummary ours = FormSummary(fileName, turned), theirs = OracleSummary(fileName);
  EXPECT_EQ(ours.Faces, theirs.Faces);
  for (int k = 0; k < 3; ++k) {
    // The converter prints six decimals.
    EXPECT_NEAR(ours.Min[k], theirs.Min[k], 1e-5f * std::max(1.0f, std::fabs(theirs.Min[k]))) << "axis " << k;
    EXPECT_NEAR(ours.Max[k], theirs.Max[k], 1e-5f * std::max(1.0f, std::fabs(theirs.Max[k]))) << "axis " << k;
  }
}

class CrossCheckReaders : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveOracle()) GTEST_SKIP() << ORACLE << " is not installed";
    InitializeMeshUnits();
  }
  TScratchFolder Folder;
};

TEST_F(CrossCheckReaders, ModelsOfOurWritersReadAsTheConverterReadsThem) {
  SaveStringToFile(Folder.File("cube.stl"), CubeSTL());
  SaveStringToFile(Folder.File("cube.ply"), CubePLY("\r\n"));
  SaveStringToFile(Folder.File("arm.smd"), ArmSMD());
  SaveStringToFile(Folder.File("run.md2"), ToolMD2(SampleModelMD2({"run01", "run02", "stand1"}, 7)));
  for (const char* name : {"cube.stl", "cube.ply", "arm.smd"}) ExpectSameSummary(Folder.File(name));
  ExpectSameSummary(Folder.File("run.md2"), true);
}

TEST_F(CrossCheckReaders, GeneratedModelsExportedByTheConverterReadBackWithItsFacesAndBoxes) {
  const std::string models = std::string(BROVANEL_PROGRAM_FOLDER) + "/res/3ds/";
  if (!FileExists(models + "re.3ds")) GTEST_SKIP() << "no generated models in " << models;
  for (const char* model : {"re", "cavallo", "scacchieranero"})
    for (const auto& [extension, format] : {std::pair{"stl", "stlb"}, std::pair{"ply", "ply"}}) {
      const std::string file = Folder.File(std::string(model) + "." + extension);
      RunCommand(std::string(ORACLE) + " export '" + models + model + ".3ds' '" + file + "' -f" + format +
                 " >/dev/null 2>&1");
      ASSERT_TRUE(FileExists(file)) << "the converter wrote no " << file;
      ExpectSameSummary(file);
    }
}

}  // namespace
