// Damaged and hostile model files for the MD2, TIN, PLY, STL and SMD readers:
// every truncation, random byte flips and huge counts end in the reader's error
// or in a model that can be drawn, never in another exception or a crash.

#include <gtest/gtest.h>

#include <random>
#include <typeinfo>

#include "SupportReaders.h"
#include "meshes/md2/FileMD2.h"
#include "tests/scene/support/RecordingGL.h"

namespace {

// The errors the readers raise for bad data: their formats' own, or the plain
// exception of the PLY and SMD readers.
bool IsReadersError(const std::exception& e) {
  return dynamic_cast<const EInvalidVectorFile*>(&e) || dynamic_cast<const EMD2Error*>(&e) ||
         typeid(e) == typeid(Exception);
}

// "ok" when the bytes load into an actor that then draws; "refused" for the
// reader's error. Any other exception fails the test with its text.
std::string Outcome(const std::string& name, const std::string& bytes) {
  try {
    auto actor = LoadModel<TActor>(name, bytes);
    TRecordingGL gl;
    TRenderContextInfo rci;
    actor->EmitGeometry(rci);
    actor->SetAnimationMode(aamLoop);
    actor->StepFrames(3);
    actor->EmitGeometry(rci);
    return "ok";
  } catch (const std::exception& e) {
    if (IsReadersError(e)) return "refused";
    return typeid(e).name() + std::string(": ") + e.what();
  }
}

struct TSample {
  const char* Name;
  std::string Bytes;
};

std::vector<TSample> Samples() {
  return {{"a.md2", MD2Bytes(SampleModelMD2({"run01", "run02", "stand1"}))},
          {"a.tin", "t 0 0 0 1 0 0 0 1 0\r\nt 0 0 1 1,0,1,0,1,1\n"},
          {"a.ply", CubePLY("\r\n")},
          {"a.stl", CubeSTL()},
          {"a.smd", ArmSMD()}};
}

class HostileReaders : public ::testing::Test {
protected:
  void SetUp() override { InitializeMeshUnits(); }
};

TEST_F(HostileReaders, EveryTruncationEndsInTheReadersErrorOrAModel) {
  for (const TSample& sample : Samples()) {
    SCOPED_TRACE(sample.Name);
    ASSERT_EQ(Outcome(sample.Name, sample.Bytes), "ok");
    for (std::size_t length = 0; length < sample.Bytes.size(); ++length) {
      const std::string outcome = Outcome(sample.Name, sample.Bytes.substr(0, length));
      ASSERT_TRUE(outcome == "ok" || outcome == "refused") << "cut at " << length << ": " << outcome;
    }
  }
}

TEST_F(HostileReaders, RandomByteFlipsEndInTheReadersErrorOrAModel) {
  std::mt19937 random(20240927);
  for (const TSample& sample : Samples()) {
    SCOPED_TRACE(sample.Name);
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
      std::string bytes = sample.Bytes;
      for (int i = 1 + int(random() % 4); i > 0; --i) bytes[random() % bytes.size()] ^= char(1u << (random() % 8));
      const std::string outcome = Outcome(sample.Name, bytes);
      ASSERT_TRUE(outcome == "ok" || outcome == "refused") << "round " << round << ": " << outcome;
      refused += outcome == "refused";
    }
    // The binary STL reads whatever floats a facet holds, and the TIN reader skips
    // lines it cannot use: they take any bytes of the right size.
    if (sample.Name != std::string("a.stl") && sample.Name != std::string("a.tin")) {
      EXPECT_GT(refused, 0);
    }
  }
}

TEST_F(HostileReaders, HugeCountsAndIndicesAreRefusedBeforeAnythingIsAllocated) {
  auto patched = [](std::string bytes, std::size_t at, std::int32_t value) {
    std::memcpy(&bytes[at], &value, 4);
    return bytes;
  };
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  };
  const std::string md2 = MD2Bytes(SampleModelMD2({"run01", "run02"})), stl = CubeSTL();
  const std::string ply = CubePLY(), smd = ArmSMD();
  const TSample cases[] = {
      {"frames.md2", patched(md2, 10 * 4, 0x7FFFFFFF)},
      {"triangles.md2", patched(md2, 8 * 4, 0x7FFFFFFF)},
      {"frame size.md2", patched(md2, 4 * 4, -1)},
      {"skin width.md2", patched(md2, 2 * 4, 0)},
      {"vertex index.md2", patched(md2, 68 + 2 * 64 + 5 * 4, 0xFFFF)},
      {"facets.stl", patched(stl, 80, -1)},
      {"facets 2.stl", patched(stl, 80, 0x7FFFFFFF / 50)},
      {"vertices.ply", replaced(ply, "element vertex 8", "element vertex 2147483647")},
      {"faces.ply", replaced(ply, "element face 12", "element face 99999999999")},
      {"index.ply", replaced(ply, "3 0 2 1", "3 0 2 2147483647")},
      {"bone.smd", replaced(smd, "1 \"the arm\" 0", "2147483647 \"the arm\" 0")},
      {"parent.smd", replaced(smd, "1 \"the arm\" 0", "1 \"the arm\" 2147483647")},
      {"pose.smd", replaced(smd, "1 1 0 0 0 0 1.5", "2147483647 1 0 0 0 0 1.5")},
      {"corner.smd", replaced(smd, "1 1 0 2 0 0 1 0 0", "-5 1 0 2 0 0 1 0 0")},
  };
  for (const TSample& c : cases) EXPECT_EQ(Outcome(c.Name, c.Bytes), "refused") << c.Name;
}

}  // namespace
