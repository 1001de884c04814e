#include "meshes/md2/FileMD2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "WriterMD2.h"

namespace {

using TNames = std::vector<std::pair<std::string, int>>;
TNames NamesOf(const TFileMD2& file) {
  TNames names;
  for (const TMD2AnimationName& a : file.AnimationNames()) names.emplace_back(a.Name, a.FirstFrame);
  return names;
}

// "ok" or the text of the reader's error; any other exception fails the test.
std::string Outcome(const std::string& bytes, TFileMD2* file = nullptr) {
  TFileMD2 own;
  TMemoryStream stream(bytes);
  try {
    (file ? *file : own).LoadFromStream(stream);
    return "ok";
  } catch (const EMD2Error& e) {
    return e.what();
  }
}

TEST(FileMD2, WrittenModelReadsBackDecoded) {
  const TModelMD2 model = SampleModelMD2({"run01", " run02\t", "stand1", "Run03"});
  TFileMD2 file;
  ASSERT_EQ(Outcome(MD2Bytes(model), &file), "ok");
  ASSERT_EQ(file.TriangleCount(), 3);
  for (int t = 0; t < 3; ++t)
    for (int corner = 0; corner < 3; ++corner) {  // the file's corners in reverse order
      const auto& stored = model.Triangles[t];
      const auto& st = model.TexCoords[stored[5 - corner]];
      EXPECT_EQ(file.Triangles()[t].VertexIndex[corner], stored[2 - corner]);
      EXPECT_EQ(file.Triangles()[t].TexCoord[corner].S, st[0] / 64.0f);
      EXPECT_EQ(file.Triangles()[t].TexCoord[corner].T, st[1] / 32.0f);
    }
  ASSERT_EQ(file.FrameCount(), 4);
  ASSERT_EQ(file.VertexCount(), 5);
  for (int f = 0; f < 4; ++f)
    for (int v = 0; v < 5; ++v)
      for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(file.Frames()[f][v][axis],
                  model.Frames[f].Vertices[v][axis] * model.Frames[f].Scale[axis] + model.Frames[f].Translation[axis]);
  EXPECT_EQ(file.Frames()[1][4].x, 161 * 0.5f - 10);
  // Names are trimmed and matched without regard to case: Run03 is still run.
  EXPECT_EQ(NamesOf(file), (TNames{{"run", 0}, {"stand", 2}}));

  // Each animation starts at its first frame; a second file adds the names not yet held.
  std::vector<std::string> names;
  for (int f = 0; f < 46; ++f) names.push_back(f < 40 ? "stand" + std::to_string(f + 1) : "run" + std::to_string(f - 39));
  TFileMD2 actor;
  ASSERT_EQ(Outcome(MD2Bytes(SampleModelMD2(names, 3)), &actor), "ok");
  EXPECT_EQ(NamesOf(actor), (TNames{{"stand", 0}, {"run", 40}}));
  ASSERT_EQ(Outcome(MD2Bytes(SampleModelMD2({"jump1", "a", "b", "  ", "12", "RUN7"}, 3)), &actor), "ok");
  EXPECT_EQ(actor.FrameCount(), 6);
  EXPECT_EQ(NamesOf(actor), (TNames{{"stand", 0}, {"run", 40}, {"jump", 0}, {"", 1}}));
}

TEST(FileMD2, ImpossibleCountsSizesAndIndicesAreRefused) {
  const TModelMD2 model = SampleModelMD2({"stand01", "stand02"});
  const std::string good = MD2Bytes(model);
  const std::size_t triangles = 68 + 128 + 20;
  const struct {
    std::size_t At;  // 4 × a header field's index, or a byte of the triangles
    std::int32_t Value;
    const char* Message;  // after "Invalid MD2 file: expected "
  } cases[] = {
      {4 * 5, 33, "a skin count of 0 to 32, found 33"},
      {4 * 7, 4096, "a texture coordinate count of 0 to 2048, found 4096"},
      {4 * 6, -1, "a vertex count of 0 to 2070, found -1"},
      {4 * 8, -3, "a triangle count of 0 to 2147483647, found -3"},
      {4 * 4, 59, "a frame size of 60 to 8320 for 5 vertices, found 59"},
      {4 * 4, 8324, "a frame size of 60 to 8320 for 5 vertices, found 8324"},
      {4 * 2, 0, "a skin size above 0, found 0 x 32"},
      {4 * 10, 0x7FFFFFFF, "128849019004 bytes after the header for its counts, found 304"},
      {4 * 8, 100000000, "1200000268 bytes after the header for its counts, found 304"},
      {triangles + 12 + 2, 5, "vertex indices below 5 in triangle 1, found 5"},
      {triangles + 24 + 8, 0xFFFF, "texture coordinate indices below 5 in triangle 2, found 65535"},
  };
  for (const auto& c : cases) {
    std::string bytes = good;
    std::memcpy(&bytes[c.At], &c.Value, c.At < 68 ? 4 : 2);
    EXPECT_EQ(Outcome(bytes), std::string("Invalid MD2 file: expected ") + c.Message);
  }
  // A refused file leaves the model read before.
  TFileMD2 file;
  Outcome(good, &file);
  EXPECT_NE(Outcome(good.substr(0, 200), &file), "ok");
  EXPECT_EQ(file.FrameCount(), 2);
  EXPECT_EQ(NamesOf(file), (TNames{{"stand", 0}}));
  // Skin sizes matter to triangles alone.
  TModelMD2 points = SampleModelMD2({"idle"}, 2);
  points.SkinWidth = 0;
  EXPECT_EQ(Outcome(MD2Bytes(points)), "ok");
}

TEST(FileMD2, EveryTruncationAndByteFlipEndsInTheReadersError) {
  const std::string good = MD2Bytes(SampleModelMD2({"run01", "run02", "x"}));
  for (std::size_t length = 0; length < good.size(); ++length)
    ASSERT_EQ(Outcome(good.substr(0, length)).rfind("Invalid MD2 file: expected ", 0), 0u) << length;
  std::mt19937 random(20240923);
  int refused = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string bytes = good;
    for (int flips = 1 + int(random() % 4); flips > 0; --flips) bytes[random() % bytes.size()] ^= char(1u << (random() % 8));
    TFileMD2 file;
    refused += Outcome(bytes, &file) != "ok";
    for (const TMD2Triangle& triangle : file.Triangles())
      for (int index : triangle.VertexIndex) ASSERT_TRUE(index >= 0 && index < file.VertexCount());
  }
  EXPECT_GT(refused, 100);
}

}  // namespace
