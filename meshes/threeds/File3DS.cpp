#include "meshes/threeds/File3DS.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/ClassRegistry.h"
#include "base/Strings.h"

namespace {

std::string ChunkPlace(const TChunkNode& node) {
  return "chunk " + TagText(node.Tag) + " at offset " + std::to_string(node.Position);
}

}  // namespace

// ---------------------------------------------------------------------------
// TMaterialList

int TMaterialList::Count() {
  if (FMaterials.empty()) FMaterials.resize(FOwner.MaterialIndex().size());
  return static_cast<int>(FMaterials.size());
}

TMaterialRecord3DS* TMaterialList::Material(int index) {
  if (Count() == 0) return nullptr;
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  std::unique_ptr<TMaterialRecord3DS>& slot = FMaterials[static_cast<std::size_t>(index)];
  if (!slot) {
    TStream& stream = FOwner.CheckedStream({CHUNK_FILE_TOP, CHUNK_LIBRARY_TOP, CHUNK_PROJECT_TOP});
    const std::vector<TIndexEntry3DS>& entries = FOwner.MaterialIndex();
    if (static_cast<std::size_t>(index) >= entries.size()) Raise3DSIndexError(index);
    try {
      slot = std::make_unique<TMaterialRecord3DS>(ReadMaterialRecord(stream, *entries[std::size_t(index)].Node));
    } catch (const std::bad_alloc&) {
      Raise3DSError(ERR_3DS_OUT_OF_MEMORY);
    }
  }
  return slot.get();
}

TMaterialRecord3DS* TMaterialList::MaterialByName(std::string_view name) {
  // Looked up once per face group by the importer: the names are hashed on first use.
  if (FIndexOfName.empty() && Count() > 0) {
    const std::vector<TIndexEntry3DS>& entries = FOwner.MaterialIndex();
    for (std::size_t i = 0; i < entries.size(); ++i) FIndexOfName.try_emplace(LowerCase(entries[i].Name), int(i));
  }
  auto found = FIndexOfName.find(LowerCase(name));
  return found == FIndexOfName.end() ? nullptr : Material(found->second);
}

// ---------------------------------------------------------------------------
// TObjectList

int TObjectList::MeshCount() {
  if (FMeshes.empty()) {
    FMeshNodes.clear();
    for (const TIndexEntry3DS& entry : FOwner.ObjectIndex())
      if (FindChildByTag(*entry.Node, CHUNK_TRIANGLE_MESH)) FMeshNodes.push_back(entry.Node);
    FMeshes.resize(FMeshNodes.size());
  }
  return static_cast<int>(FMeshes.size());
}

TMeshRecord3DS* TObjectList::Mesh(int index) {
  if (index < 0 || index >= MeshCount()) RaiseListIndexError(index);
  std::unique_ptr<TMeshRecord3DS>& slot = FMeshes[static_cast<std::size_t>(index)];
  if (!slot) {
    TStream& stream = FOwner.CheckedStream({CHUNK_FILE_TOP, CHUNK_LIBRARY_TOP});
    try {
      slot = std::make_unique<TMeshRecord3DS>(ReadMeshRecord(stream, *FMeshNodes[static_cast<std::size_t>(index)]));
    } catch (const std::bad_alloc&) {
      Raise3DSError(ERR_3DS_OUT_OF_MEMORY);
    }
  }
  return slot.get();
}

// ---------------------------------------------------------------------------
// TFile3DS

TFile3DS::TFile3DS()
    : FMaterials(std::make_unique<TMaterialList>(*this)), FObjects(std::make_unique<TObjectList>(*this)) {}

TFile3DS::TFile3DS(const std::string& fileName) : TFile3DS() {
  FFileName = fileName;
  FOwnStream = std::make_unique<TFileStream>(fileName, TFileMode::OpenRead);
  FStream = FOwnStream.get();
  ReadDatabase();
}

TFile3DS::~TFile3DS() = default;

void TFile3DS::LoadFromStream(TStream& stream) {
  Clear();
  FFileName.clear();
  FOwnStream.reset();
  FStream = &stream;
  ReadDatabase();
}

void TFile3DS::Clear() {
  FMaterials->Clear();
  FObjects->Clear();
  ResetDatabase();
}

void TFile3DS::ResetDatabase() {
  FreeChunkTree(FTopNode);
  FMaterialIndex.clear();
  FObjectIndex.clear();
  FMaterialIndexDirty = FObjectIndexDirty = true;
}

void TFile3DS::DecodeChunkData(TChunkNode& node) {
  BRV_ASSERT_MSG(FStream, "TFile3DS::DecodeChunkData(): no file is loaded");
  ::DecodeChunkData(*FStream, node);
}

std::string TFile3DS::DecodedString(TChunkNode& node) {
  return TakeChunkData<TValueData3DS<std::string>>(*FStream, node).Value;
}

TStream& TFile3DS::CheckedStream(std::initializer_list<std::uint16_t> accepted) {
  if (!FTopNode) Raise3DSError(ERR_3DS_NO_DATABASE);
  if (std::find(accepted.begin(), accepted.end(), FTopNode->Tag) == accepted.end())
    Raise3DSError(ERR_3DS_WRONG_DATABASE);
  BRV_ASSERT(FStream);
  return *FStream;
}

const std::vector<TIndexEntry3DS>& TFile3DS::MaterialIndex() {
  if (FMaterialIndexDirty) {
    FMaterialIndex.clear();
    TChunkNode* section = FindChunkByTag(FTopNode.get(), CHUNK_MESH_DATA);
    if (!section) section = FindChunkByTag(FTopNode.get(), CHUNK_PROJECT_TOP);
    if (section)
      for (TChunkNode* entry = FindChildByTag(*section, CHUNK_MAT_ENTRY); entry;
           entry = FindSiblingByTag(entry->Sibling.get(), CHUNK_MAT_ENTRY)) {
        TChunkNode* name = FindChildByTag(*entry, CHUNK_MAT_NAME);
        FMaterialIndex.push_back({name ? DecodedString(*name) : std::string(), entry});
      }
    FMaterialIndexDirty = false;
  }
  return FMaterialIndex;
}

const std::vector<TIndexEntry3DS>& TFile3DS::ObjectIndex() {
  if (FObjectIndexDirty) {
    FObjectIndex.clear();
    if (TChunkNode* section = FindChunkByTag(FTopNode.get(), CHUNK_MESH_DATA))
      for (TChunkNode* object = FindChildByTag(*section, CHUNK_NAMED_OBJECT); object;
           object = FindSiblingByTag(object->Sibling.get(), CHUNK_NAMED_OBJECT))
        FObjectIndex.push_back({DecodedString(*object), object});
    FObjectIndexDirty = false;
  }
  return FObjectIndex;
}

// ---------------------------------------------------------------------------
// Reading the chunk tree

void TFile3DS::ReadDatabase() {
  try {
    std::int64_t streamSize = FStream->Size();
    if (streamSize < std::int64_t(CHUNK_HEADER_SIZE))
      Raise3DSInvalidChunk("The file holds " + std::to_string(streamSize) + " bytes, less than one chunk header");
    FTopNode = ReadHeader(0);
    std::uint16_t tag = FTopNode->Tag;
    // A file of another kind is refused here: read on, it would pass for a 3DS file
    // without meshes.
    if (tag != CHUNK_FILE_TOP && tag != CHUNK_LIBRARY_TOP && tag != CHUNK_PROJECT_TOP)
      Raise3DSInvalidChunk("The top chunk has tag " + TagText(tag) + ", not 0x4D4D, 0xC23D or 0x3DAA");
    if (FTopNode->Size < CHUNK_HEADER_SIZE || FTopNode->End() > std::uint64_t(streamSize))
      Raise3DSInvalidChunk("The top chunk has size " + std::to_string(FTopNode->Size) + " but the file holds " +
                           std::to_string(streamSize) + " bytes");
    if (FOnProgress) FOnProgress(0, streamSize);
    ReadChildren(*FTopNode, 1, false);
    ResolveParentNames(BuildNodeList());
  } catch (...) {
    ResetDatabase();
    throw;
  }
}

std::unique_ptr<TChunkNode> TFile3DS::ReadHeader(std::uint64_t position) {
  std::unique_ptr<TChunkNode> node = NewChunk();
  node->Position = static_cast<std::uint32_t>(position);
  char header[CHUNK_HEADER_SIZE];
  try {
    FStream->SetPosition(static_cast<std::int64_t>(position));
    FStream->ReadBuffer(header, sizeof header);
  } catch (const EStreamError&) {
    Raise3DSInvalidChunk("The chunk header at offset " + std::to_string(position) + " lies past the end of the file");
  }
  std::memcpy(&node->Tag, header, sizeof node->Tag);
  std::memcpy(&node->Size, header + sizeof node->Tag, sizeof node->Size);
  return node;
}

// Extension entries (0x8001) are written by plug-ins that do not always keep to the
// format, so below them a child of an unknown tag ends the entry, and a child that
// claims to run past it is passed over header by header.
void TFile3DS::ReadChildren(TChunkNode& node, int depth, bool extension) {
  std::uint64_t end = node.End();
  std::uint64_t position = node.Position + std::uint64_t(CHUNK_HEADER_SIZE) + FirstChildOffset(*FStream, node);
  TChunkNode* last = nullptr;
  while (position < end) {
    if (depth >= MAX_CHUNK_DEPTH)
      Raise3DSInvalidChunk("Chunks nest more than " + std::to_string(MAX_CHUNK_DEPTH) + " levels deep at offset " +
                           std::to_string(position));
    if (end - position < CHUNK_HEADER_SIZE) {
      if (extension) return;
      Raise3DSInvalidChunk("A chunk header at offset " + std::to_string(position) + " crosses the end of " +
                           ChunkPlace(node));
    }
    std::unique_ptr<TChunkNode> child = ReadHeader(position);
    bool fits = child->Size >= CHUNK_HEADER_SIZE && child->End() <= end;
    if (extension) {
      if (child->Tag < 0x8002 || child->Tag > 0x800F) return;
      if (!fits) {
        position += CHUNK_HEADER_SIZE;
        continue;
      }
    }
    // A child ends within its parent: sizes that overlap would let one chunk's bytes
    // be read as another's, and a size near 4 GiB would run far past the file.
    if (!fits)
      Raise3DSInvalidChunk(ChunkPlace(*child) + " has size " + std::to_string(child->Size) +
                           (child->Size < CHUNK_HEADER_SIZE
                                ? ", less than its header"
                                : " and ends at " + std::to_string(child->End()) + ", past the end of its parent at " +
                                      std::to_string(end)));
    if (FOnProgress) FOnProgress(std::int64_t(position), 0);
    TChunkNode* added = child.get();
    if (last)
      last->Sibling = std::move(child);
    else
      AppendChild(node, std::move(child));
    last = added;
    ReadChildren(*added, depth + 1, extension || added->Tag == CHUNK_EXT_ENTRY);
    position = added->End();
  }
}

// ---------------------------------------------------------------------------
// Parent names of the key-framer nodes

namespace {
constexpr std::uint16_t NO_INDEX = 0xFFFF;
constexpr std::uint16_t KEYFRAMER_NODE_TAGS[] = {CHUNK_KF_TARGET_NODE, CHUNK_KF_OBJECT_NODE,
                                                 CHUNK_KF_CAMERA_NODE, CHUNK_KF_LIGHT_NODE,
                                                 CHUNK_KF_LIGHT_TARGET_NODE, CHUNK_KF_SPOTLIGHT_NODE};

// A node identifier stays decoded after the node list has read it, so that the
// parent names are resolved without reading it from the stream again.
std::uint16_t NodeId(TStream& stream, TChunkNode& idChunk) {
  DecodeChunkData(stream, idChunk);
  return ChunkData<TValueData3DS<std::uint16_t>>(idChunk).Value;
}
}  // namespace

std::vector<TFile3DS::TKeyFramerNode> TFile3DS::BuildNodeList() {
  std::vector<TKeyFramerNode> nodes;
  TChunkNode* keyFramer = FindChunkByTag(FTopNode.get(), CHUNK_KEYFRAMER);
  if (!keyFramer) return nodes;
  bool renumber = false;
  for (TChunkNode* child = keyFramer->Children.get(); child; child = child->Sibling.get()) {
    if (std::find(std::begin(KEYFRAMER_NODE_TAGS), std::end(KEYFRAMER_NODE_TAGS), child->Tag) ==
        std::end(KEYFRAMER_NODE_TAGS))
      continue;
    TKeyFramerNode record{NO_INDEX, child->Tag, {}, {}, NO_INDEX};
    if (TChunkNode* header = FindChunkByTag(child, CHUNK_KF_NODE_HEADER)) {
      TNodeHeaderData3DS data = TakeChunkData<TNodeHeaderData3DS>(*FStream, *header);
      record.Name = std::move(data.Name);
      record.ParentIndex = data.ParentIndex;
    }
    if (TChunkNode* id = FindChunkByTag(child, CHUNK_KF_NODE_ID))
      record.Id = NodeId(*FStream, *id);
    if (child->Tag == CHUNK_KF_OBJECT_NODE)
      if (TChunkNode* instance = FindChunkByTag(child, CHUNK_KF_INSTANCE_NAME))
        record.InstanceName = DecodedString(*instance);
    renumber = renumber || record.Id == NO_INDEX;
    nodes.push_back(std::move(record));
  }
  if (renumber)
    for (std::size_t i = 0; i < nodes.size(); ++i) nodes[i].Id = static_cast<std::uint16_t>(i);
  return nodes;
}

void TFile3DS::ResolveParentNames(const std::vector<TKeyFramerNode>& nodes) {
  if (nodes.empty()) return;
  TChunkNode* keyFramer = FindChunkByTag(FTopNode.get(), CHUNK_KEYFRAMER);
  // The first record of each identifier, looked up in constant time: a file may hold
  // thousands of nodes.
  std::vector<int> recordOfId(0x10000, -1);
  for (std::size_t i = nodes.size(); i-- > 0;) recordOfId[nodes[i].Id] = static_cast<int>(i);
  auto recordOf = [&](std::uint16_t id) -> const TKeyFramerNode* {
    return recordOfId[id] < 0 ? nullptr : &nodes[std::size_t(recordOfId[id])];
  };
  for (std::uint16_t tag : KEYFRAMER_NODE_TAGS) {
    for (TChunkNode* chunk = FindChunkByTag(keyFramer, tag); chunk;
         chunk = FindSiblingByTag(chunk->Sibling.get(), tag)) {
      TChunkNode* header = FindChunkByTag(chunk, CHUNK_KF_NODE_HEADER);
      TChunkNode* idChunk = FindChunkByTag(chunk, CHUNK_KF_NODE_ID);
      if (!header || !idChunk) continue;
      const TKeyFramerNode* record = recordOf(NodeId(*FStream, *idChunk));
      if (!record || record->ParentIndex == NO_INDEX) continue;
      const TKeyFramerNode* parent = recordOf(record->ParentIndex);
      if (!parent) continue;
      std::string parentName = parent->Name;
      if (!parent->InstanceName.empty()) parentName += "." + parent->InstanceName;
      if (parentName.empty()) continue;
      // A parent name chunk already in the file is overwritten unread: its old name
      // is never used, and the chunk must not be decoded from the file again.
      TChunkNode* target = FindChildByTag(*header, CHUNK_PARENT_NAME);
      if (!target) {
        std::unique_ptr<TChunkNode> added = NewChunk();
        added->Tag = CHUNK_PARENT_NAME;
        added->Size = static_cast<std::uint32_t>(CHUNK_HEADER_SIZE + parentName.size() + 1);
        target = added.get();
        InsertChildOrdered(*header, std::move(added));
      }
      auto data = std::make_unique<TValueData3DS<std::string>>();
      data->Value = std::move(parentName);
      target->Data = std::move(data);
      target->Added = true;
    }
  }
}
