#pragma once
// A 3DS file read into its chunk tree, with the material and mesh records handed out
// on request. Chunk data is decoded lazily from the source stream, which must stay
// open while records are asked for.
//
//   TFile3DS file;
//   file.LoadFromStream(stream);
//   for (int i = 0; i < file.Objects().MeshCount(); ++i) Use(*file.Objects().Mesh(i));

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "meshes/threeds/Chunks3DS.h"
#include "meshes/threeds/Records3DS.h"

class TFile3DS;

// Called once with (0, stream size) before the chunks are read, then with
// (position, 0) for every chunk.
using TProgress3DS = std::function<void(std::int64_t position, std::int64_t size)>;

struct TIndexEntry3DS {
  std::string Name;
  TChunkNode* Node;
};

// The file's materials, built on first access.
class TMaterialList {
public:
  explicit TMaterialList(TFile3DS& owner) : FOwner(owner) {}
  virtual ~TMaterialList() = default;
  TMaterialList(const TMaterialList&) = delete;
  TMaterialList& operator=(const TMaterialList&) = delete;

  TFile3DS& Owner() const { return FOwner; }
  int Count();
  // Null when the file has no materials; an index outside 0 .. Count() - 1 raises
  // EListError. The record stays owned by the list.
  TMaterialRecord3DS* Material(int index);
  // The first material, in file order, of that name without regard to case; null when none.
  TMaterialRecord3DS* MaterialByName(std::string_view name);
  void Clear() {
    FMaterials.clear();
    FIndexOfName.clear();
  }

private:
  TFile3DS& FOwner;
  std::vector<std::unique_ptr<TMaterialRecord3DS>> FMaterials;
  std::unordered_map<std::string, int> FIndexOfName;  // lower-case name -> first index
};

// The file's meshes: the named objects that hold a triangle mesh, built on first access.
class TObjectList {
public:
  explicit TObjectList(TFile3DS& owner) : FOwner(owner) {}
  virtual ~TObjectList() = default;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;

  TFile3DS& Owner() const { return FOwner; }
  int MeshCount();
  // An index outside 0 .. MeshCount() - 1 raises EListError. The record stays owned by the list.
  TMeshRecord3DS* Mesh(int index);
  void Clear() {
    FMeshes.clear();
    FMeshNodes.clear();
  }

private:
  TFile3DS& FOwner;
  std::vector<std::unique_ptr<TMeshRecord3DS>> FMeshes;
  std::vector<TChunkNode*> FMeshNodes;  // the named object of each slot
};

class TFile3DS {
public:
  TFile3DS();
  // Opens the file for reading and reads it; the file stays open with the object.
  explicit TFile3DS(const std::string& fileName);
  virtual ~TFile3DS();
  TFile3DS(const TFile3DS&) = delete;
  TFile3DS& operator=(const TFile3DS&) = delete;

  // Reads the chunk tree of `stream`, which must outlive the records' building.
  // A file that is not 3DS or whose chunks do not fit together raises E3DSError and
  // leaves the object empty.
  void LoadFromStream(TStream& stream);
  void Clear();

  const std::string& FileName() const { return FFileName; }
  TMaterialList& Materials() { return *FMaterials; }
  TObjectList& Objects() { return *FObjects; }
  TChunkNode* TopNode() const { return FTopNode.get(); }
  void SetOnProgress(TProgress3DS progress) { FOnProgress = std::move(progress); }

  // Decodes the node's data from the source stream (see DecodeChunkData).
  void DecodeChunkData(TChunkNode& node);
  // The material entries (0xAFFF) of the mesh data section, and its named objects
  // (0x4000), with their names; rebuilt after a load.
  const std::vector<TIndexEntry3DS>& MaterialIndex();
  const std::vector<TIndexEntry3DS>& ObjectIndex();
  // The source stream, checked: 65227 without a database, 65228 when the top chunk
  // is not one of `accepted`.
  TStream& CheckedStream(std::initializer_list<std::uint16_t> accepted);

private:
  struct TKeyFramerNode {
    std::uint16_t Id;
    std::uint16_t Tag;
    std::string Name;
    std::string InstanceName;
    std::uint16_t ParentIndex;
  };

  void ResetDatabase();
  void ReadDatabase();
  void ReadChildren(TChunkNode& node, int depth, bool extension);
  std::unique_ptr<TChunkNode> ReadHeader(std::uint64_t position);
  std::vector<TKeyFramerNode> BuildNodeList();
  void ResolveParentNames(const std::vector<TKeyFramerNode>& nodes);
  std::string DecodedString(TChunkNode& node);

  std::unique_ptr<TFileStream> FOwnStream;
  TStream* FStream = nullptr;
  std::string FFileName;
  std::unique_ptr<TChunkNode> FTopNode;
  std::vector<TIndexEntry3DS> FMaterialIndex, FObjectIndex;
  bool FMaterialIndexDirty = true, FObjectIndexDirty = true;
  TProgress3DS FOnProgress;
  std::unique_ptr<TMaterialList> FMaterials;
  std::unique_ptr<TObjectList> FObjects;
};
