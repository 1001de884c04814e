#include "meshes/Chunks3DS.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

static_assert(std::endian::native == std::endian::little, "3DS values are read in place as little-endian");

// ---------------------------------------------------------------------------
// Errors

std::string Text3DSError(int code) {
  switch (code) {
    case ERR_3DS_OUT_OF_MEMORY:
      return "Not enough memory to complete operation.";
    case ERR_3DS_INVALID_CHUNK:
      return "An invalid Chunk structure was encountered while reading\rthe database. Usually caused by a corrupt "
             "database or file.";
    case ERR_3DS_NO_DATABASE:
      return "The database passed as an argument has not be created yet.";
    case ERR_3DS_WRONG_DATABASE:
      return "The database passed as an argument is the wrong kind of\rdatabase for this function.";
    case ERR_3DS_WRONG_OBJECT:
      return "The Name passed to the functions exists but is not the type of object asked for.\rFor example asking "
             "for a mesh object with the GetCameraByName3DS function.";
    default:
      AssertionFailure("Text3DSError(): unknown message " + std::to_string(code), __FILE__, __LINE__);
  }
}

void Raise3DSError(int code) { throw E3DSError(code, Text3DSError(code)); }

void Raise3DSIndexError(int index) {
  throw E3DSError(ERR_3DS_INVALID_INDEX, "Invalid index " + std::to_string(index) + ".");
}

void Raise3DSInvalidChunk(const std::string& detail) {
  throw E3DSError(ERR_3DS_INVALID_CHUNK, Text3DSError(ERR_3DS_INVALID_CHUNK) + "\r" + detail);
}

std::string TagText(std::uint16_t tag) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", tag);
  return text;
}

// ---------------------------------------------------------------------------
// Nodes and the tree

namespace {

// The first child and the next sibling make a binary tree; rotating each left link
// to the right frees it node by node in constant stack space and without allocating.
void Dismantle(std::unique_ptr<TChunkNode> root) {
  while (root) {
    if (root->Children) {
      std::unique_ptr<TChunkNode> left = std::move(root->Children);
      root->Children = std::move(left->Sibling);
      left->Sibling = std::move(root);
      root = std::move(left);
    } else {
      std::unique_ptr<TChunkNode> next = std::move(root->Sibling);
      root.reset();
      root = std::move(next);
    }
  }
}

}  // namespace

TChunkNode::~TChunkNode() {
  Dismantle(std::move(Children));
  Dismantle(std::move(Sibling));
}

std::unique_ptr<TChunkNode> NewChunk() {
  try {
    return std::make_unique<TChunkNode>();
  } catch (const std::bad_alloc&) {
    Raise3DSError(ERR_3DS_OUT_OF_MEMORY);
  }
}

void AppendChild(TChunkNode& parent, std::unique_ptr<TChunkNode> child) {
  BRV_ASSERT(child);
  std::unique_ptr<TChunkNode>* link = &parent.Children;
  while (*link) link = &(*link)->Sibling;
  *link = std::move(child);
}

void InsertChildOrdered(TChunkNode& parent, std::unique_ptr<TChunkNode> child) {
  BRV_ASSERT(child && !child->Sibling);
  int order = ChunkOrder(child->Tag);
  std::unique_ptr<TChunkNode>* link = &parent.Children;
  while (*link && ChunkOrder((*link)->Tag) >= order) link = &(*link)->Sibling;
  child->Sibling = std::move(*link);
  *link = std::move(child);
}

TChunkNode* FindChunkByTag(TChunkNode* node, std::uint16_t tag) {
  if (!node) return nullptr;
  if (node->Tag == tag) return node;
  // Pre-order over the sub-trees below `node`: each node's sibling is visited after
  // the node's own sub-tree, so it waits on the stack beneath its children.
  std::vector<TChunkNode*> pending;
  if (node->Children) pending.push_back(node->Children.get());
  while (!pending.empty()) {
    TChunkNode* current = pending.back();
    pending.pop_back();
    if (current->Tag == tag) return current;
    if (current->Sibling) pending.push_back(current->Sibling.get());
    if (current->Children) pending.push_back(current->Children.get());
  }
  return nullptr;
}

TChunkNode* FindSiblingByTag(TChunkNode* node, std::uint16_t tag) {
  for (; node; node = node->Sibling.get())
    if (node->Tag == tag) return node;
  return nullptr;
}

TChunkNode* FindChildByTag(const TChunkNode& node, std::uint16_t tag) {
  return FindSiblingByTag(node.Children.get(), tag);
}

int ChunkOrder(std::uint16_t tag) {
  switch (tag) {
    case 0x0000: return 1;
    case 0x2D2D: return 2;
    case 0x2D3D: return 3;
    case 0x4D4D: return 4;
    case 0x0002: return 5;
    case 0x3D3D: return 6;
    case 0xB000: return 7;
    case 0x0011: return 8;
    case 0x0012: return 9;
    case 0x3D3E: return 10;
    case 0xAFFF: return 11;
    case 0xB00A: return 12;
    case 0x0100: return 13;
    case 0x7001: return 14;
    case 0x1400: return 15;
    case 0x1420: return 16;
    case 0x1450: return 17;
    case 0x1460: return 18;
    case 0x1500: return 19;
    case 0x2100: return 20;
    case 0x1200: return 21;
    case 0x1100: return 22;
    case 0x1300: return 23;
    case 0x1101: return 24;
    case 0x1201: return 25;
    case 0x1301: return 26;
    case 0x2200: return 27;
    case 0x2302: return 28;
    case 0x2300: return 29;
    case 0x3000: return 30;
    case 0x4000: return 31;
    case 0x4010: case 0x4100: case 0x4600: case 0x4700: return 1;
    case 0xB008: return 32;
    case 0xB009: return 33;
    case 0xB002: case 0xB003: case 0xB004: case 0xB006: case 0xB007: return 34;
    case 0xB001: return 35;
    default: return 0;
  }
}

void ReleaseChunkData(TChunkNode& node) { node.Data.reset(); }

void FreeChunkTree(std::unique_ptr<TChunkNode>& node) { node.reset(); }

// ---------------------------------------------------------------------------
// Bounded reading

namespace {
constexpr std::size_t READ_BLOCK = 4096;
}

TChunkReader3DS::TChunkReader3DS(TStream& stream, std::uint64_t start, std::uint64_t end, std::uint16_t tag)
    : FStream(stream), FTag(tag), FEnd(end), FRemaining(end > start ? end - start : 0), FUnread(FRemaining) {
  FStream.SetPosition(static_cast<std::int64_t>(start));
}

void TChunkReader3DS::Need(std::uint64_t count, std::uint64_t width) const {
  // Divided rather than multiplied: a hostile count cannot overflow the test.
  if (count > FRemaining / width)
    Raise3DSInvalidChunk("Chunk " + TagText(FTag) + " needs " + std::to_string(count) + " x " +
                         std::to_string(width) + " bytes at offset " + std::to_string(Offset()) +
                         " but holds only " + std::to_string(FRemaining) + " more");
}

void TChunkReader3DS::Fill() {
  std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(FUnread, READ_BLOCK));
  FBuffer.resize(count);
  FStream.ReadBuffer(FBuffer.data(), count);
  FUnread -= count;
  FBufferPos = 0;
}

void TChunkReader3DS::Read(void* buffer, std::size_t count) {
  Need(count, 1);
  char* out = static_cast<char*>(buffer);
  std::size_t buffered = std::min(count, FBuffer.size() - FBufferPos);
  if (buffered) std::memcpy(out, FBuffer.data() + FBufferPos, buffered);
  FBufferPos += buffered;
  FRemaining -= buffered;
  out += buffered;
  count -= buffered;
  if (count == 0) return;
  if (count >= READ_BLOCK) {
    FStream.ReadBuffer(out, count);
    FUnread -= count;
  } else {
    Fill();
    std::memcpy(out, FBuffer.data(), count);
    FBufferPos = count;
  }
  FRemaining -= count;
}

void TChunkReader3DS::Skip(std::uint64_t count) {
  Need(count, 1);
  std::uint64_t buffered = std::min<std::uint64_t>(count, FBuffer.size() - FBufferPos);
  FBufferPos += static_cast<std::size_t>(buffered);
  FRemaining -= count;
  std::uint64_t rest = count - buffered;
  if (rest) {
    FStream.Seek(static_cast<std::int64_t>(rest), TSeekOrigin::Current);
    FUnread -= rest;
  }
}

bool TChunkReader3DS::ReadString(std::string* text) {
  while (FRemaining != 0) {
    if (FBufferPos == FBuffer.size()) Fill();
    char c = FBuffer[FBufferPos++];
    --FRemaining;
    if (c == '\0') return true;
    if (text && text->size() < MAX_CHUNK_STRING) *text += c;
  }
  return false;
}

std::string TChunkReader3DS::String() {
  std::string text;
  if (!ReadString(&text))
    Raise3DSInvalidChunk("Chunk " + TagText(FTag) + " ends inside a string at offset " + std::to_string(FEnd));
  return text;
}

bool TChunkReader3DS::TrySkipString() { return ReadString(nullptr); }

// ---------------------------------------------------------------------------
// Decoding

namespace {

template <class T>
std::unique_ptr<TChunkData3DS> ValueData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TValueData3DS<T>>();
  data->Value = reader.Value<T>();
  return data;
}

std::unique_ptr<TChunkData3DS> StringData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TValueData3DS<std::string>>();
  data->Value = reader.String();
  return data;
}

std::unique_ptr<TChunkData3DS> RawData(TChunkReader3DS& reader) {
  auto data = std::make_unique<TRawData3DS>();
  data->Bytes = reader.Array<std::uint8_t>(reader.Remaining());
  return data;
}

// A u16 count and that many items.
template <class TData, class TItem>
std::unique_ptr<TChunkData3DS> CountedArray(TChunkReader3DS& reader, std::vector<TItem> TData::*field) {
  auto data = std::make_unique<TData>();
  (*data).*field = reader.Array<TItem>(reader.Value<std::uint16_t>());
  return data;
}

TKeyHeader3DS ReadKeyHeader(TChunkReader3DS& reader) {
  TKeyHeader3DS key{};
  key.Time = reader.Value<std::int32_t>();
  key.SplineFlags = reader.Value<std::uint16_t>();
  float* values[] = {&key.Tension, &key.Continuity, &key.Bias, &key.EaseTo, &key.EaseFrom};
  for (int bit = 0; bit < 5; ++bit)
    if (key.SplineFlags & (1u << bit)) *values[bit] = reader.Value<float>();
  return key;
}

void ReadTrackHeader(TChunkReader3DS& reader, TTrackData3DS& track) {
  track.Flags = reader.Value<std::uint16_t>();
  track.Reserved1 = reader.Value<std::uint32_t>();
  track.Reserved2 = reader.Value<std::uint32_t>();
  track.KeyCount = reader.Value<std::uint32_t>();
  // A key takes 6 bytes at least: a count that cannot fit is refused before the
  // arrays are sized by it.
  reader.Need(track.KeyCount, 6);
  track.KeyHeaders.reserve(track.KeyCount);
}

template <class T, class TReadValue>
std::unique_ptr<TChunkData3DS> ValueTrack(TChunkReader3DS& reader, TReadValue readValue) {
  auto track = std::make_unique<TValueTrackData3DS<T>>();
  ReadTrackHeader(reader, *track);
  track->Values.reserve(track->KeyCount);
  for (std::uint32_t i = 0; i < track->KeyCount; ++i) {
    track->KeyHeaders.push_back(ReadKeyHeader(reader));
    track->Values.push_back(readValue(reader));
  }
  return track;
}

TAffineVector ReadPoint(TChunkReader3DS& reader) { return reader.Value<TAffineVector>(); }
float ReadFloat(TChunkReader3DS& reader) { return reader.Value<float>(); }

// Sections and blocks that hold only children, no data of their own.
bool IsSectionTag(std::uint16_t tag) {
  switch (tag) {
    case 0x1200: case 0x2100: case 0x3000: case 0x3D3D: case 0x3DAA: case 0x4100: case 0x4D4D:
    case 0x8000: case 0xA010: case 0xA020: case 0xA030: case 0xA040: case 0xA041: case 0xA042:
    case 0xA050: case 0xA052: case 0xA053: case 0xA084: case 0xA200: case 0xA204: case 0xA210:
    case 0xA220: case 0xA230: case 0xA33A: case 0xA33C: case 0xA33D: case 0xA33E: case 0xA340:
    case 0xA342: case 0xA344: case 0xA346: case 0xA348: case 0xA34A: case 0xA34C: case 0xAFFF:
    case 0xB000: case 0xB001: case 0xB002: case 0xB003: case 0xB004: case 0xB005: case 0xB006:
    case 0xB007: case 0xC23D:
      return true;
    default:
      return false;
  }
}

std::unique_ptr<TChunkData3DS> DecodeByTag(TChunkReader3DS& reader, const TChunkNode& node) {
  std::uint16_t tag = node.Tag;
  if (IsSectionTag(tag)) return nullptr;
  switch (tag) {
    case 0x0002: case 0x1440: case 0x3D3E: case 0xB009:
      return ValueData<std::uint32_t>(reader);
    case 0x0010: case 0x0013:
      return ValueData<TColor3DS>(reader);
    case 0x0011: case 0x0012:
    case 0xA360: case 0xA362: case 0xA364: case 0xA366: case 0xA368:
      return ValueData<TColor24_3DS>(reader);
    case 0x0030: case 0x1420: case 0x1430: case 0xA100: case 0xA252: case 0xB030:
      return ValueData<std::uint16_t>(reader);
    case 0xA351:
      return ValueData<std::int16_t>(reader);
    case 0x4165:
      return ValueData<std::uint8_t>(reader);
    case 0x0031: case 0x0100: case 0x1300: case 0x1400: case 0x1410: case 0x1450: case 0x1460:
    case 0x4656: case 0x4657: case 0x4658: case 0x4659: case 0x465A: case 0x465B:
    case 0xA087: case 0xA353: case 0xA354: case 0xA356: case 0xA358: case 0xA35A: case 0xA35C:
    case 0xB015:
      return ValueData<float>(reader);
    case 0x1500: case 0x4600: case 0xB013:
      return ValueData<TAffineVector>(reader);
    case 0x1100: case 0x3080: case 0x4000: case 0x4181: case 0x4653: case 0x4654:
    case 0x8002: case 0x8003: case 0x80F0: case 0xA000: case 0xA300: case 0xB011:
      return StringData(reader);
    case 0x2200: case 0x2300: {
      auto data = std::make_unique<TFogData3DS>();
      reader.Read(&data->NearPlane, 4 * sizeof(float));
      return data;
    }
    case 0x2302: {
      auto data = std::make_unique<TLayeredFogData3DS>();
      reader.Read(&data->ZMin, 3 * sizeof(float));
      data->Flags = reader.Value<std::int32_t>();
      return data;
    }
    case 0x3010: case 0x3020: case 0x3030: case 0x3040: case 0x3050: case 0x3060: {
      auto data = std::make_unique<TStandardViewData3DS>();
      data->Width = reader.Value<float>();
      data->Target = ReadPoint(reader);
      return data;
    }
    case 0x3070: {
      auto data = std::make_unique<TUserViewData3DS>();
      reader.Read(&data->Width, 4 * sizeof(float));
      data->Target = ReadPoint(reader);
      return data;
    }
    case 0x4110:
      return CountedArray(reader, &TVertexListData3DS::Vertices);
    case 0x4111:
      return CountedArray(reader, &TVertexFlagsData3DS::Flags);
    case 0x4120:
      return CountedArray(reader, &TFaceListData3DS::Faces);
    case 0x4140:
      return CountedArray(reader, &TTexCoordsData3DS::TexCoords);
    case 0x4130: {
      auto data = std::make_unique<TFaceMaterialData3DS>();
      data->MaterialName = reader.String();
      data->FaceIndices = reader.Array<std::uint16_t>(reader.Value<std::uint16_t>());
      return data;
    }
    case 0x4150: {
      auto data = std::make_unique<TSmoothGroupsData3DS>();
      data->Masks = reader.Array<std::uint32_t>(reader.Remaining() / 4);
      return data;
    }
    case 0x4160: {
      auto data = std::make_unique<TMeshMatrixData3DS>();
      data->Matrix = reader.Value<TMatrix3DS>();
      return data;
    }
    case 0x4170: {
      auto data = std::make_unique<TMappingInfoData3DS>();
      data->MapType = reader.Value<std::uint16_t>();
      data->TileX = reader.Value<float>();
      data->TileY = reader.Value<float>();
      data->IconPosition = ReadPoint(reader);
      data->IconScale = reader.Value<float>();
      data->Matrix = reader.Value<TMatrix3DS>();
      data->PlanarWidth = reader.Value<float>();
      data->PlanarHeight = reader.Value<float>();
      data->CylinderHeight = reader.Value<float>();
      return data;
    }
    case 0x4190: {
      auto data = std::make_unique<TBoxMapData3DS>();
      for (std::string& name : data->MaterialNames) name = reader.String();
      return data;
    }
    case 0x4610: {
      auto data = std::make_unique<TSpotlightData3DS>();
      data->Target = ReadPoint(reader);
      data->HotSpot = reader.Value<float>();
      data->FallOff = reader.Value<float>();
      return data;
    }
    case 0x4641: {
      auto data = std::make_unique<TLocalShadowData3DS>();
      data->Bias = reader.Value<float>();
      data->Filter = reader.Value<float>();
      data->MapSize = reader.Value<std::uint16_t>();
      return data;
    }
    case 0x4700: {
      auto data = std::make_unique<TCameraData3DS>();
      data->Position = ReadPoint(reader);
      data->Target = ReadPoint(reader);
      data->Roll = reader.Value<float>();
      data->FocalLength = reader.Value<float>();
      return data;
    }
    case 0x4720: {
      auto data = std::make_unique<TCameraRangesData3DS>();
      data->NearRange = reader.Value<float>();
      data->FarRange = reader.Value<float>();
      return data;
    }
    case 0x7001: case 0x7020: {
      auto data = std::make_unique<TWordsData3DS>();
      data->Words = reader.Array<std::uint16_t>(tag == 0x7001 ? 7 : 4);
      return data;
    }
    case 0x7011: case 0x7012: {
      auto data = std::make_unique<TViewportData3DS>();
      data->Words = reader.Value<std::array<std::uint16_t, 7>>();
      data->Zoom = reader.Value<float>();
      data->Center = ReadPoint(reader);
      data->HorizontalAngle = reader.Value<float>();
      data->VerticalAngle = reader.Value<float>();
      data->CameraName = reader.String();
      return data;
    }
    case 0xA310: {
      auto data = std::make_unique<TAutoReflectionData3DS>();
      data->Type = reader.Value<std::uint8_t>();
      data->AntiAlias = reader.Value<std::uint8_t>();
      data->Flags = reader.Value<std::uint16_t>();
      data->Size = reader.Value<std::int32_t>();
      data->FrameStep = reader.Value<std::int32_t>();
      return data;
    }
    case 0xB008: {
      auto data = std::make_unique<TSegmentData3DS>();
      data->FirstFrame = reader.Value<std::uint32_t>();
      data->LastFrame = reader.Value<std::uint32_t>();
      return data;
    }
    case 0xB00A: {
      auto data = std::make_unique<TKeyFramerHeaderData3DS>();
      data->Revision = reader.Value<std::uint16_t>();
      data->FileName = reader.String();
      data->AnimationLength = reader.Value<std::uint32_t>();
      return data;
    }
    case 0xB010: {
      auto data = std::make_unique<TNodeHeaderData3DS>();
      data->Name = reader.String();
      data->Flags1 = reader.Value<std::int16_t>();
      data->Flags2 = reader.Value<std::int16_t>();
      data->ParentIndex = reader.Value<std::uint16_t>();
      return data;
    }
    case 0xB014: {
      auto data = std::make_unique<TBoundingBoxData3DS>();
      data->Min = ReadPoint(reader);
      data->Max = ReadPoint(reader);
      return data;
    }
    case 0xB020: case 0xB022: case 0xB025:
      return ValueTrack<TAffineVector>(reader, ReadPoint);
    case 0xB021:
      return ValueTrack<TRotationKey3DS>(reader, [](TChunkReader3DS& r) {
        TRotationKey3DS key;
        key.Angle = r.Value<float>();
        key.Axis = ReadPoint(r);
        return key;
      });
    case 0xB023: case 0xB024: case 0xB027: case 0xB028:
      return ValueTrack<float>(reader, ReadFloat);
    case 0xB026:
      return ValueTrack<std::string>(reader, [](TChunkReader3DS& r) { return r.String(); });
    case 0xB029: {
      auto track = std::make_unique<TTrackData3DS>();
      ReadTrackHeader(reader, *track);
      for (std::uint32_t i = 0; i < track->KeyCount; ++i) track->KeyHeaders.push_back(ReadKeyHeader(reader));
      return track;
    }
    // Procedure data and extension entries: a byte block, empty when the chunk is
    // its header alone, so that the records that take it always find one.
    case 0x4182: case 0x8001: case 0xA320: case 0xA321: case 0xA322: case 0xA324: case 0xA325:
    case 0xA326: case 0xA328: case 0xA32A: case 0xA32C: case 0xA32E: case 0xA330: case 0xA332:
    case 0xA334: case 0xA336: case 0xA338:
      return RawData(reader);
    default:
      // Tags the reader does not know are kept only when they hold something.
      return node.Size > CHUNK_HEADER_SIZE ? RawData(reader) : nullptr;
  }
}

}  // namespace

std::uint64_t FirstChildOffset(TStream& stream, const TChunkNode& node) {
  BRV_ASSERT(node.Size >= CHUNK_HEADER_SIZE);
  const std::uint64_t dataSize = node.Size - CHUNK_HEADER_SIZE;
  auto fixed = [&](std::uint64_t count) { return std::min(count, dataSize); };
  auto dataReader = [&] {
    return TChunkReader3DS(stream, node.Position + std::uint64_t(CHUNK_HEADER_SIZE), node.End(), node.Tag);
  };
  // `before` bytes, a string, then `after` bytes.
  auto afterString = [&](std::uint64_t before, std::uint64_t after) -> std::uint64_t {
    if (dataSize < before) return dataSize;
    TChunkReader3DS reader = dataReader();
    reader.Skip(before);
    if (!reader.TrySkipString() || reader.Remaining() < after) return dataSize;
    return dataSize - reader.Remaining() + after;
  };
  if (IsSectionTag(node.Tag)) return 0;
  switch (node.Tag) {
    // Unknown to the decoder, and an extension entry whose data is kept whole, but
    // their children follow the header directly.
    case 0x2D2D: case 0x2D3D: case 0x3DFF: case 0x8001:
      return 0;
    case 0x0030: case 0x1420: case 0x1430: case 0xB030:
      return fixed(2);
    case 0x0011:
      return fixed(3);
    case 0x0002: case 0x0031: case 0x0100: case 0x1300: case 0x1400: case 0x1410: case 0x3D3E: case 0xB009:
    case 0xB015: case 0xD000:
      return fixed(4);
    case 0xB008:
      return fixed(8);
    case 0x4641:
      return fixed(10);
    case 0x0010: case 0x1500: case 0x4600: case 0xA310: case 0xB013:
      return fixed(12);
    case 0x7001:
      return fixed(14);
    case 0x2200: case 0x2300: case 0x2302: case 0x3010: case 0x3020: case 0x3030: case 0x3040: case 0x3050:
    case 0x3060:
      return fixed(16);
    case 0x4610:
      return fixed(20);
    case 0xB014:
      return fixed(24);
    case 0x3070:
      return fixed(28);
    case 0x4700:
      return fixed(32);
    case 0x4160:
      return fixed(48);
    case 0x1100: case 0x3080: case 0x4000: case 0x4181: case 0xA000: case 0xA300: case 0xB011:
      return afterString(0, 0);
    case 0xB010:
      return afterString(0, 6);
    case 0xB00A:
      return afterString(2, 4);
    case 0x4120: {
      if (dataSize < 2) return dataSize;
      TChunkReader3DS reader = dataReader();
      return fixed(2 + 8 * std::uint64_t(reader.Value<std::uint16_t>()));
    }
    default:
      return dataSize;
  }
}

void DecodeChunkData(TStream& stream, TChunkNode& node) {
  if (node.Data || node.Added) return;
  if (node.Size < CHUNK_HEADER_SIZE)
    Raise3DSInvalidChunk("Chunk " + TagText(node.Tag) + " at offset " + std::to_string(node.Position) +
                         " has size " + std::to_string(node.Size) + ", less than its header");
  try {
    TChunkReader3DS reader(stream, std::uint64_t(node.Position) + CHUNK_HEADER_SIZE, node.End(), node.Tag);
    node.Data = DecodeByTag(reader, node);
  } catch (const std::bad_alloc&) {
    Raise3DSError(ERR_3DS_OUT_OF_MEMORY);
  } catch (const EStreamError&) {
    // The chunk was inside the stream when the tree was read: the stream has changed.
    Raise3DSInvalidChunk("Chunk " + TagText(node.Tag) + " at offset " + std::to_string(node.Position) +
                         " ends past the end of the stream");
  }
}
