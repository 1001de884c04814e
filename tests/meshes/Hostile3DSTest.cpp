// Damaged and hostile files: every load ends in the reader's own exception or in a
// model, never in another exception, a crash or a read outside the data.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "Support3DS.h"
#include "tools/threeds/ReadAll3DS.h"

namespace {

// "ok" or the code of the E3DSError; any other exception fails the test.
std::string Outcome(const std::string& bytes) {
  try {
    TLoaded3DS loaded = Load3DS(bytes);
    ReadAll3DS(*loaded.File);
    return "ok";
  } catch (const E3DSError& e) {
    return std::to_string(e.Code());
  }
}

void PutU16(std::string& bytes, std::size_t at, std::uint16_t value) { std::memcpy(&bytes[at], &value, 2); }
void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

// The offset of the first chunk with that tag in a file written by the chunk writer.
std::size_t OffsetOf(const std::string& bytes, std::uint16_t tag) {
  TLoaded3DS loaded = Load3DS(bytes);
  TChunkNode* node = FindChunkByTag(loaded.File->TopNode(), tag);
  EXPECT_TRUE(node) << TagText(tag);
  return node ? node->Position : 0;
}

const std::string INVALID = std::to_string(ERR_3DS_INVALID_CHUNK);

TEST(Hostile3DS, EveryTruncationIsRefused) {
  std::string scene = Model3DSBytes(SceneModel3DS());
  ASSERT_EQ(Outcome(scene), "ok");
  for (std::size_t length = 0; length < scene.size(); ++length)
    ASSERT_EQ(Outcome(scene.substr(0, length)), INVALID) << "cut at " << length;
}

TEST(Hostile3DS, RandomByteFlipsEndInAModelOrTheReadersError) {
  std::string scene = Model3DSBytes(SceneModel3DS());
  std::mt19937 random(20240611);
  int refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = scene;
    int flips = 1 + int(random() % 4);
    for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] ^= char(1u << (random() % 8));
    std::string outcome = Outcome(bytes);
    refused += outcome != "ok";
  }
  EXPECT_GT(refused, 0);
}

TEST(Hostile3DS, ImpossibleSizesAndCountsAreRefused) {
  const std::string cube = Model3DSBytes(CubeModel3DS());
  struct TCase {
    const char* Name;
    std::uint16_t Tag;
    std::size_t Field;  // bytes after the chunk's start
    std::uint32_t Value;
    int Width;
  };
  const TCase cases[] = {
      {"top size 0", CHUNK_FILE_TOP, 2, 0, 4},
      {"top size 5", CHUNK_FILE_TOP, 2, 5, 4},
      {"top size 0xFFFFFFFF", CHUNK_FILE_TOP, 2, 0xFFFFFFFF, 4},
      {"vertex list size 0", CHUNK_VERTEX_LIST, 2, 0, 4},
      {"vertex list size 5", CHUNK_VERTEX_LIST, 2, 5, 4},
      {"vertex list size 0xFFFFFFFF", CHUNK_VERTEX_LIST, 2, 0xFFFFFFFF, 4},
      {"mesh data past its parent", CHUNK_MESH_DATA, 2, 0x7FFFFF, 4},
      {"vertex count", CHUNK_VERTEX_LIST, 6, 0xFFFF, 2},
      {"texture coordinate count", CHUNK_TEX_COORDS, 6, 9, 2},
      {"face count", CHUNK_FACE_LIST, 6, 0xFFFF, 2},
      {"material face count", CHUNK_FACE_MATERIAL, 10, 0x100, 2},  // after "Red\0"
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string bytes = cube;
    std::size_t at = OffsetOf(bytes, c.Tag) + c.Field;
    if (c.Width == 2)
      PutU16(bytes, at, static_cast<std::uint16_t>(c.Value));
    else
      PutU32(bytes, at, c.Value);
    EXPECT_EQ(Outcome(bytes), INVALID);
  }

  // A track whose key count claims four billion keys in a chunk of a few bytes.
  std::string scene = Model3DSBytes(SceneModel3DS());
  PutU32(scene, OffsetOf(scene, CHUNK_KF_POSITION_TRACK) + 6 + 10, 0xFFFFFFFF);
  EXPECT_EQ(Outcome(scene), INVALID);
}

TEST(Hostile3DS, DeepNestingIsRefusedBeforeTheStackRunsOut) {
  constexpr std::uint32_t DEPTH = 100000;
  std::string bytes;
  bytes.reserve(DEPTH * 6);
  for (std::uint32_t level = 0; level < DEPTH; ++level) {
    std::uint16_t tag = CHUNK_FILE_TOP;
    std::uint32_t size = (DEPTH - level) * 6;
    bytes.append(reinterpret_cast<const char*>(&tag), 2);
    bytes.append(reinterpret_cast<const char*>(&size), 4);
  }
  ExpectError3DS([&] { Load3DS(bytes); }, ERR_3DS_INVALID_CHUNK);
}

TEST(Hostile3DS, FilesOfAnotherKindAreRefusedNotReadAsEmpty) {
  const std::string notes[] = {
      std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
      File3DSBytes([](TChunkWriter3DS&) {}, 0x1234),
      std::string("MZ\x90\0\3\0\0\0", 8),
  };
  for (const std::string& bytes : notes) {
    try {
      Load3DS(bytes);
      ADD_FAILURE() << "loaded";
    } catch (const E3DSError& e) {
      EXPECT_EQ(e.Code(), ERR_3DS_INVALID_CHUNK);
      EXPECT_NE(std::string(e.what()).find("The top chunk has tag"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(Outcome(""), INVALID);
  EXPECT_EQ(Outcome(File3DSBytes([](TChunkWriter3DS&) {})), "ok");
}

TEST(Hostile3DS, AChildRunningPastItsParentIsNotReadAsItsSibling) {
  // The material name claims the whole entry and more; read on, its bytes would be
  // taken for the chunks after the entry.
  std::string bytes = File3DSBytes([](TChunkWriter3DS& w) {
    w.Begin(CHUNK_MESH_DATA);
    w.Begin(CHUNK_MAT_ENTRY);
    w.StringChunk(CHUNK_MAT_NAME, "M");
    w.End();
    w.StringChunk(CHUNK_NAMED_OBJECT, "X");
    w.End();
  });
  PutU32(bytes, OffsetOf(bytes, CHUNK_MAT_NAME) + 2, 30);
  try {
    Load3DS(bytes);
    ADD_FAILURE() << "loaded";
  } catch (const E3DSError& e) {
    EXPECT_NE(std::string(e.what()).find("past the end of its parent"), std::string::npos) << e.what();
  }
}

}  // namespace
