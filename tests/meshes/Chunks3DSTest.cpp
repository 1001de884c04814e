#include "meshes/threeds/Chunks3DS.h"

#include <gtest/gtest.h>

#include "Support3DS.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

std::unique_ptr<TChunkNode> Node(std::uint16_t tag) {
  std::unique_ptr<TChunkNode> node = NewChunk();
  node->Tag = tag;
  return node;
}

std::vector<std::uint16_t> ChildTags(const TChunkNode& parent) {
  std::vector<std::uint16_t> tags;
  for (const TChunkNode* c = parent.Children.get(); c; c = c->Sibling.get()) tags.push_back(c->Tag);
  return tags;
}

TEST(ChunkTree, FindByTagSearchesPreOrderAndSiblingSearchNeverDescends) {
  // 1 ( 2 ( 3 ), 3 ( 2 ) ), searched from 1 and from its first child.
  std::unique_ptr<TChunkNode> root = Node(1);
  std::unique_ptr<TChunkNode> a = Node(2);
  AppendChild(*a, Node(3));
  std::unique_ptr<TChunkNode> b = Node(3);
  AppendChild(*b, Node(2));
  TChunkNode* aRaw = a.get();
  TChunkNode* bRaw = b.get();
  AppendChild(*root, std::move(a));
  AppendChild(*root, std::move(b));

  EXPECT_EQ(FindChunkByTag(root.get(), 1), root.get());
  EXPECT_EQ(FindChunkByTag(root.get(), 2), aRaw);
  EXPECT_EQ(FindChunkByTag(root.get(), 3), aRaw->Children.get());  // a's sub-tree before its sibling
  EXPECT_EQ(FindChunkByTag(aRaw, 3), aRaw->Children.get());
  EXPECT_EQ(FindChunkByTag(root.get(), 4), nullptr);
  EXPECT_EQ(FindChunkByTag(nullptr, 1), nullptr);

  EXPECT_EQ(FindSiblingByTag(aRaw, 3), bRaw);
  EXPECT_EQ(FindSiblingByTag(aRaw, 2), aRaw);
  EXPECT_EQ(FindSiblingByTag(bRaw, 2), nullptr);  // b's child is not a sibling
  EXPECT_EQ(FindSiblingByTag(root.get(), 2), nullptr);
}

TEST(ChunkTree, OrderedInsertKeepsDescendingOrderAndPutsEqualsLast) {
  struct TCase {
    std::vector<std::uint16_t> Inserted;
    std::vector<std::uint16_t> Expected;
  };
  const TCase cases[] = {
      // 0xB010's 0x80F0 (order 0) goes after every child of a node header.
      {{0x4000, 0x0002, 0x80F0}, {0x4000, 0x0002, 0x80F0}},
      {{0x0002, 0x4000}, {0x4000, 0x0002}},
      {{0xB002, 0xB001, 0xB003, 0xB008}, {0xB001, 0xB002, 0xB003, 0xB008}},
      // Equal orders keep their insertion order; order 0 tags go to the end.
      {{0x1234, 0xB005, 0x4100, 0x4010}, {0x4100, 0x4010, 0x1234, 0xB005}},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<TChunkNode> parent = Node(0x4D4D);
    for (std::uint16_t tag : c.Inserted) InsertChildOrdered(*parent, Node(tag));
    EXPECT_EQ(ChildTags(*parent), c.Expected);
  }
  EXPECT_EQ(ChunkOrder(0xB001), 35);
  EXPECT_EQ(ChunkOrder(0xB005), 0);
}

TEST(ChunkTree, LongChainsAndDeepTreesAreFreedWithoutRecursion) {
  // Recursive destruction of either shape would need far more stack than a thread has.
  constexpr int COUNT = 300000;
  std::unique_ptr<TChunkNode> chain = Node(1);
  TChunkNode* last = chain.get();
  for (int i = 0; i < COUNT; ++i) {
    last->Sibling = Node(2);
    last = last->Sibling.get();
  }
  std::unique_ptr<TChunkNode> deep = Node(1);
  TChunkNode* bottom = deep.get();
  for (int i = 0; i < COUNT; ++i) {
    bottom->Children = Node(3);
    bottom->Sibling = Node(4);
    bottom = bottom->Children.get();
  }
  FreeChunkTree(chain);
  FreeChunkTree(deep);
  EXPECT_EQ(chain, nullptr);
  EXPECT_EQ(deep, nullptr);
}

// The node of `tag` holding `data`, in a stream of its own.
struct TOneChunk {
  TMemoryStream Stream;
  std::unique_ptr<TChunkNode> Node;
};

std::unique_ptr<TOneChunk> OneChunk(std::uint16_t tag, const std::string& data) {
  auto one = std::make_unique<TOneChunk>();
  TChunkWriter3DS w;
  w.Begin(tag);
  w.Bytes(data.data(), data.size());
  w.End();
  one->Stream.WriteBuffer(w.Data().data(), w.Data().size());
  one->Node = Node(tag);
  one->Node->Size = static_cast<std::uint32_t>(w.Data().size());
  return one;
}

template <class... T>
std::string Pack(const T&... values) {
  std::string bytes;
  (bytes.append(reinterpret_cast<const char*>(&values), sizeof values), ...);
  return bytes;
}

TEST(ChunkData, UnknownTagsAreRawOnlyWithDataAndReleaseIsRepeatable) {
  auto empty = OneChunk(0x1234, "");
  DecodeChunkData(empty->Stream, *empty->Node);
  EXPECT_EQ(empty->Node->Data, nullptr);

  auto raw = OneChunk(0x1234, "abc");
  DecodeChunkData(raw->Stream, *raw->Node);
  EXPECT_EQ(ChunkData<TRawData3DS>(*raw->Node).Bytes, (std::vector<std::uint8_t>{'a', 'b', 'c'}));
  ReleaseChunkData(*raw->Node);
  ReleaseChunkData(*raw->Node);
  EXPECT_EQ(raw->Node->Data, nullptr);

  auto faces = OneChunk(CHUNK_FACE_MATERIAL, std::string("Mat\0", 4) + Pack(std::uint16_t(0)));
  DecodeChunkData(faces->Stream, *faces->Node);
  EXPECT_EQ(ChunkData<TFaceMaterialData3DS>(*faces->Node).MaterialName, "Mat");
  EXPECT_TRUE(ChunkData<TFaceMaterialData3DS>(*faces->Node).FaceIndices.empty());
}

TEST(ChunkData, KeyHeadersReadOnlyTheValuesTheirFlagsAnnounce) {
  // Two keys: the first with tension, bias and ease-from (bits 0, 2, 4), the second bare.
  std::string data = Pack(std::uint16_t(0), std::uint32_t(0), std::uint32_t(0), std::uint32_t(2)) +
                     Pack(std::int32_t(10), std::uint16_t(0x15), 0.5f, -1.0f, 0.25f) + Pack(7.0f) +
                     Pack(std::int32_t(20), std::uint16_t(0)) + Pack(9.0f);
  auto track = OneChunk(CHUNK_KF_ROLL_TRACK, data);
  DecodeChunkData(track->Stream, *track->Node);
  const auto& t = ChunkData<TValueTrackData3DS<float>>(*track->Node);
  ASSERT_EQ(t.KeyHeaders.size(), 2u);
  EXPECT_EQ(t.KeyHeaders[0].Tension, 0.5f);
  EXPECT_EQ(t.KeyHeaders[0].Continuity, 0);
  EXPECT_EQ(t.KeyHeaders[0].Bias, -1.0f);
  EXPECT_EQ(t.KeyHeaders[0].EaseTo, 0);
  EXPECT_EQ(t.KeyHeaders[0].EaseFrom, 0.25f);
  EXPECT_EQ(t.KeyHeaders[1].Time, 20);
  EXPECT_EQ(t.Values, (std::vector<float>{7, 9}));
}

TEST(ChunkData, StringsAreCutAt255AndMustEndInsideTheirChunk) {
  auto longName = OneChunk(CHUNK_MAT_NAME, std::string(300, 'x') + '\0');
  DecodeChunkData(longName->Stream, *longName->Node);
  EXPECT_EQ(ChunkData<TValueData3DS<std::string>>(*longName->Node).Value, std::string(255, 'x'));

  // The zero lies beyond the chunk, in the bytes that follow it in the stream.
  auto open = OneChunk(CHUNK_MAT_NAME, "abc");
  open->Stream.WriteBuffer("\0", 1);
  ExpectError3DS([&] { DecodeChunkData(open->Stream, *open->Node); }, ERR_3DS_INVALID_CHUNK);
}

}  // namespace

namespace {

// For every tag whose children follow a fixed layout of data, the decoder reads
// exactly that layout: data of that size decodes, one byte less is refused, and the
// child search starts right after it.
TEST(ChunkTags, EveryDecoderReadsTheDataItsChildrenFollow) {
  int checked = 0;
  for (const TChunkTag3DS& row : ChunkTags3DS()) {
    if (!row.Decode || (row.ChildStart != TChildStart3DS::AfterBytes && row.ChildStart != TChildStart3DS::AfterString))
      continue;
    SCOPED_TRACE(TagText(row.Tag) + " " + row.Name);
    const bool named = row.ChildStart == TChildStart3DS::AfterString;
    const std::string data = std::string(row.Before, '\0') + (named ? std::string("a", 2) : "") + std::string(row.After, '\0');
    auto whole = OneChunk(row.Tag, data);
    EXPECT_EQ(FirstChildOffset(whole->Stream, *whole->Node), data.size());
    EXPECT_NO_THROW(DecodeChunkData(whole->Stream, *whole->Node));
    auto shorter = OneChunk(row.Tag, data.substr(0, data.size() - 1));
    ExpectError3DS([&] { DecodeChunkData(shorter->Stream, *shorter->Node); }, ERR_3DS_INVALID_CHUNK);
    ++checked;
  }
  EXPECT_GT(checked, 30);
  EXPECT_EQ(TagName(CHUNK_FACE_LIST), "face list");
  EXPECT_EQ(TagName(0x1234), "");
}

TEST(ChunkTags, TheWriterPutsChildrenWhereTheReaderLooksAndSiblingsInOrder) {
  struct TCase {
    const char* Name;
    std::uint16_t Parent;
    std::string Data;
    std::uint16_t FirstChild, SecondChild;
    std::string Error;  // empty: written
  };
  const TCase cases[] = {
      {"named object", CHUNK_NAMED_OBJECT, std::string("Cube", 5), CHUNK_TRIANGLE_MESH, CHUNK_OBJ_HIDDEN, ""},
      {"named object without its name", CHUNK_NAMED_OBJECT, "", CHUNK_TRIANGLE_MESH, 0, "reader looks for it after 1"},
      {"light with part of its position", CHUNK_LIGHT, std::string(8, '\0'), CHUNK_COLOR_F, 0,
       "0x4600 (light) holds 8 bytes before its first child, but the reader looks for it after 12"},
      {"vertex list", CHUNK_VERTEX_LIST, std::string(2, '\0'), CHUNK_VERTEX_FLAGS, 0, "reads no children there"},
      {"unknown tag", 0x1234, "", CHUNK_MAT_NAME, 0, "reads no children there"},
      {"mesh data with data", CHUNK_MESH_DATA, std::string(4, '\0'), CHUNK_MESH_VERSION, 0, "after 0"},
      {"mesh data after the key framer", CHUNK_FILE_TOP, "", CHUNK_KEYFRAMER, CHUNK_MESH_DATA,
       "0x3D3D (mesh data) is written after a sibling that the format puts after it"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TChunkWriter3DS w;
    auto write = [&] {
      w.Begin(c.Parent);
      w.Bytes(c.Data.data(), c.Data.size());
      w.Empty(c.FirstChild);
      if (c.SecondChild) w.Empty(c.SecondChild);
      w.End();
    };
    if (c.Error.empty()) {
      EXPECT_NO_THROW(write());
    } else {
      const std::string error = BRV_ERROR_TEXT(EAssertionFailed, write());
      EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    }
  }
}

}  // namespace
