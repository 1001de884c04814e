#pragma once
// Animated geometry: morph targets and the mesh objects that morph between them,
// and skeletons (bones, frames, the pose in use) with the mesh objects whose
// vertices follow their bones.
//
//   TSkeleton& skeleton = mesh.Skeleton();
//   TSkeletonFrame& rest = TSkeletonFrame::CreateOwned(skeleton.Frames());
//   rest.Position().AddXYZ(0, 0, 0);   // bone ID 0 at the origin,
//   rest.Rotation().AddXYZ(0, 0, 0);   // unturned
//   skeleton.AddBone(0, "hip", -1);    // a root bone
//   skeleton.SelectFrame(0);
//   skeleton.ApplyBoneDeformation();   // the skeleton mesh objects follow
//
// A skeleton owns its root bones and its frames, a bone its child bones, a
// morphable mesh object its morph targets; an item freed on its own leaves its
// list.

#include "base/Geometry.h"
#include "meshes/GLVectorFileObjectsMeshes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// ---------------------------------------------------------------------------
// Morph targets

class TMeshMorphTargetList;
class TMorphableMeshObject;

// The vertices and normals of one frame of a morphable mesh object.
class TMeshMorphTarget : public TBaseMeshObject, public TOwnerListLink {
  BRV_PERSISTENT_CLASS(TMeshMorphTarget, TBaseMeshObject)

public:
  TMeshMorphTarget() = default;
  // Leaves its list.
  ~TMeshMorphTarget() override;

  // A new target at the end of `owner`, which owns it.
  static TMeshMorphTarget& CreateOwned(TMeshMorphTargetList& owner);
  TMeshMorphTargetList* Owner() const;

  // Version 0, after the base's fields.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;
};

// The morph targets of a mesh object, owned by the list, in frame order.
class TMeshMorphTargetList : public TOwnerObjectList<TMeshMorphTarget, TMorphableMeshObject> {
  BRV_PERSISTENT_CLASS(TMeshMorphTargetList, TPersistentObjectList)

public:
  explicit TMeshMorphTargetList(TMorphableMeshObject* owner = nullptr) : TOwnerObjectList(owner) {}
  // Every target's vertices.
  void Translate(const TAffineVector& delta);
};

// A mesh object animated by morphing: one set of vertices and normals per frame,
// copied or interpolated into its own lists.
class TMorphableMeshObject : public TMeshObject {
  BRV_PERSISTENT_CLASS(TMorphableMeshObject, TMeshObject)

public:
  TMorphableMeshObject();

  TMeshMorphTargetList& MorphTargets() { return *FMorphTargets; }
  const TMeshMorphTargetList& MorphTargets() const { return *FMorphTargets; }

  // Its own vertices and every target's.
  void Translate(const TAffineVector& delta) override;
  // Copies the target's vertices and normals (each only when the target has some).
  // An index outside the targets is an assertion failure.
  void SelectMorphTarget(int index);
  // Factor 0 selects target index1, factor 1 target index2; in between the
  // vertices are interpolated, and the normals too, each normalised. Invalid
  // indices or lists of unequal length are assertion failures.
  void Lerp(int index1, int index2, float factor);

  // Version 0: the targets, after the mesh object's fields. Targets whose vertex
  // or normal counts differ from each other raise EReadError.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  std::unique_ptr<TMeshMorphTargetList> FMorphTargets;
};

// ---------------------------------------------------------------------------
// Skeletons

class TSkeleton;
class TSkeletonBone;
class TSkeletonFrameList;

// One pose of a skeleton: a position and three rotation angles per bone ID.
class TSkeletonFrame : public TPersistentObject, public TOwnerListLink {
  BRV_PERSISTENT_CLASS(TSkeletonFrame, TPersistentObject)

public:
  TSkeletonFrame();
  // Leaves its list.
  ~TSkeletonFrame() override;

  // A new frame at the end of `owner`, which owns it.
  static TSkeletonFrame& CreateOwned(TSkeletonFrameList& owner);
  TSkeletonFrameList* Owner() const;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }
  // One item per bone ID. Taking a list to change it drops the matrices built
  // from the lists.
  TAffineVectorList& Position();
  const TAffineVectorList& Position() const { return *FPosition; }
  // Angles about X, Y and Z in radians.
  TAffineVectorList& Rotation();
  const TAffineVectorList& Rotation() const { return *FRotation; }

  // The local matrix of every bone ID, built on first use: the rotation about X,
  // then about Y, then about Z, with the position as the translation row. The two
  // lists must be of equal length (an assertion failure otherwise).
  const std::vector<TMatrix4>& BoneMatrices() const;
  // A new frame with the same name, positions and rotations.
  std::unique_ptr<TSkeletonFrame> Copy() const;

  // Version 0: name, positions, rotations. A frame whose lists differ in length
  // raises EReadError.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  std::string FName;
  std::unique_ptr<TAffineVectorList> FPosition;
  std::unique_ptr<TAffineVectorList> FRotation;
  mutable std::vector<TMatrix4> FBoneMatrices;
  mutable bool FBoneMatricesBuilt = false;
};

// The frames of a skeleton, owned by the list.
class TSkeletonFrameList : public TOwnerObjectList<TSkeletonFrame, TSkeleton> {
  BRV_PERSISTENT_CLASS(TSkeletonFrameList, TPersistentObjectList)

public:
  explicit TSkeletonFrameList(TSkeleton* owner = nullptr) : TOwnerObjectList(owner) {}
};

// Bones, owned by the list, of one skeleton: the root bones, or the children of a
// bone (a bone is the list of its children).
class TSkeletonBoneList : public TOwnerObjectList<TSkeletonBone, TSkeleton> {
  BRV_PERSISTENT_CLASS(TSkeletonBoneList, TPersistentObjectList)

public:
  explicit TSkeletonBoneList(TSkeleton* skeleton = nullptr) : TOwnerObjectList(skeleton) {}

  // The skeleton the bones belong to; null outside one.
  TSkeleton* Skeleton() const { return Owner(); }
  // The first bone of that ID among these bones and their descendants, searched
  // depth-first; null when none.
  TSkeletonBone* FindBone(int id) const;
  // Gives this list and every bone below it to `skeleton`.
  void SetSkeleton(TSkeleton* skeleton);

  // The list's form, then version 0.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

protected:
  // The bone joins this list's skeleton, with its descendants.
  void LinkItem(TSkeletonBone& bone) override;
};

// The root bones of a skeleton.
class TSkeletonRootBoneList : public TSkeletonBoneList {
  BRV_PERSISTENT_CLASS(TSkeletonRootBoneList, TSkeletonBoneList)

public:
  using TSkeletonBoneList::TSkeletonBoneList;

  // Every bone's world matrix from the skeleton's active frame, parents first.
  void PrepareGlobalMatrices();
  // The bones as points and lines, unlit, with the enable bits put back afterwards.
  void EmitGeometry(TRenderContextInfo& rci);
};

// One bone: its ID into the frames' lists, and its children.
class TSkeletonBone : public TSkeletonBoneList, public TOwnerListLink {
  BRV_PERSISTENT_CLASS(TSkeletonBone, TSkeletonBoneList)

public:
  TSkeletonBone() = default;
  // Leaves its list; the skeleton forgets where its bones are.
  ~TSkeletonBone() override;

  // A new bone at the end of `owner` (the root bones or a parent bone), which
  // owns it; it takes the owner's skeleton.
  static TSkeletonBone& CreateOwned(TSkeletonBoneList& owner);
  // The list that holds the bone: its parent bone, or the root bones.
  TSkeletonBoneList* Owner() const;
  // The parent bone; null for a root bone.
  TSkeletonBone* Parent() const;

  int Id() const { return FId; }
  void SetId(int id);
  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }
  // RGBA, one byte each in that order in memory; all bits set at creation.
  std::uint32_t Color() const { return FColor; }
  void SetColor(std::uint32_t color) { FColor = color; }
  const TMatrix4& WorldMatrix() const { return FWorldMatrix; }

  // This bone when the ID is its own, else the first match among its descendants.
  TSkeletonBone* FindBone(int id) const;
  // The bone's local matrix in `frame`, times its parent's world matrix, then the
  // same for its children. The frame must place the bone (an assertion failure
  // otherwise).
  void RefreshWorldMatrices(const TSkeletonFrame& frame);
  // A point in the bone's colour where it stands and a line from its parent, then
  // its children.
  void EmitGeometry(TRenderContextInfo& rci);
  // ID 0, no name, no children.
  void Reset();

  // The bone list's part, then version 0, name, ID and colour.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  int FId = 0;
  std::string FName;
  std::uint32_t FColor = 0xFFFFFFFF;
  TMatrix4 FWorldMatrix = IdentityHmgMatrix;
};

// What a frame blend takes from one source: two frames and the factor between
// them, and a weight.
struct TBlendedLerpInfo {
  int FrameIndex1 = 0;
  int FrameIndex2 = 0;
  float LerpFactor = 0;
  float Weight = 1;
};

// The bones and frames of a mesh, and the frame that poses the bones now.
class TSkeleton : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TSkeleton, TPersistentObject)

public:
  explicit TSkeleton(TBaseMesh* owner = nullptr);
  ~TSkeleton() override;

  TBaseMesh* Owner() const { return FOwner; }
  TSkeletonRootBoneList& Roots() { return *FRoots; }
  const TSkeletonRootBoneList& Roots() const { return *FRoots; }
  TSkeletonFrameList& Frames() { return *FFrames; }
  const TSkeletonFrameList& Frames() const { return *FFrames; }

  // The pose in use: a copy of frame 0 made on first use (an empty frame while
  // there are no frames), replaced by SelectFrame, Lerp and BlendFrames.
  TSkeletonFrame& ActiveFrame();
  // A copy of frame `index` (EListError outside the frames) becomes the pose.
  void SelectFrame(int index);
  // The first bone of that ID, depth-first from the roots; null for an ID no bone
  // has. The bones are indexed on first use, whatever their IDs.
  TSkeletonBone* FindBone(int id) const;
  // Forgets the index of the bones; bones that come, go or change ID call it.
  void DropBoneCache() const { FBoneCacheBuilt = false; }
  // A bone as a model file declares it: a root bone for parent -1, else a child of
  // the bone with ID `parentId`. A parent that no bone has raises
  // EInvalidVectorFile naming both, and adds nothing.
  TSkeletonBone& AddBone(int id, const std::string& name, int parentId);
  // The pose between two frames: positions interpolated linearly, rotations as
  // angles. Indices outside the frames are assertion failures.
  void Lerp(int frameIndex1, int frameIndex2, float factor);
  // One record: Lerp. Several: the first record's positions (scaled by its weight
  // when that is not 1) and rotations, plus the rotations of each further record;
  // the further records' positions and weights do not count.
  void BlendFrames(const std::vector<TBlendedLerpInfo>& lerps);
  // With mesh objects: the bones take their world matrices from the pose, then
  // every skeleton mesh object of the owning mesh follows its bones.
  void ApplyBoneDeformation();
  // No bones, no frames, no pose.
  void Clear();

  // The first bone whose ID no frame can place, described; empty when every bone
  // fits. IDs index the frames' lists, which all hold the same number of items;
  // without frames an ID must be below the number of bones.
  std::string BoneFault() const;

  // Version 0: roots, frames. A skeleton with a BoneFault, or frames of unequal
  // length, raises EReadError and keeps what it held.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  void ReplaceActiveFrame(std::unique_ptr<TSkeletonFrame> frame);
  // The frame at `index`; an index outside the frames is an assertion failure.
  const TSkeletonFrame& FrameAt(int index) const;

  TBaseMesh* FOwner;
  std::unique_ptr<TSkeletonRootBoneList> FRoots;
  std::unique_ptr<TSkeletonFrameList> FFrames;
  std::unique_ptr<TSkeletonFrame> FActiveFrame;
  mutable std::unordered_map<int, TSkeletonBone*> FBonesByID;
  mutable bool FBoneCacheBuilt = false;
};

// One entry of a vertex's bone weights.
struct TVertexBoneWeight {
  std::int32_t BoneID;
  float Weight;
};
static_assert(sizeof(TVertexBoneWeight) == 8, "stored as 8 raw bytes");

// A mesh object whose vertices follow the bones of its mesh's skeleton. Each
// vertex has a row of WeightsPerVertex bone weights; only the first entry of a
// row moves it.
class TSkeletonMeshObject : public TMorphableMeshObject {
  BRV_PERSISTENT_CLASS(TSkeletonMeshObject, TMorphableMeshObject)

public:
  TSkeletonMeshObject();

  int WeightRowCount() const { return FWeightRowCount; }
  int WeightsPerVertex() const { return FWeightsPerVertex; }
  // Both keep the entries that fit in the old and the new size, and zero the rest.
  // A negative count is an assertion failure.
  void SetWeightRowCount(int count);
  void SetWeightsPerVertex(int count);
  // Entry k of row `row`; outside the rows or entries is an assertion failure.
  TVertexBoneWeight& Weight(int row, int k);
  const TVertexBoneWeight& Weight(int row, int k) const;

  // A new row whose first entry is (boneID, weight); WeightsPerVertex becomes 1
  // when it was 0.
  void AddBoneWeight(int boneID, float weight);
  // The index of the first vertex bound first to boneID with this position and
  // normal; else the vertex, normal and weight (boneID, 1) are appended.
  int FindOrAddVertex(int boneID, const TAffineVector& vertex, const TAffineVector& normal);
  // For each entry position k, a copy of the vertices and normals moved into the
  // space of each vertex's k-th bone as it stands now. A vertex whose bone the
  // skeleton lacks stays where it is.
  void BuildBoneSpaceCopies(const TSkeleton& skeleton);
  // Every vertex with a row takes its first bone's world matrix on its copy in
  // that bone's space; the normal is turned the same way. Vertices whose bone the
  // skeleton lacks stay as they are.
  void ApplySkeletonFrame(const TSkeleton& skeleton);
  // The first weight entry that names a bone the skeleton lacks, described; empty
  // when every bone is there.
  std::string BoneFault(const TSkeleton& skeleton) const;
  // No rows, no entries, no copies.
  void Clear();

  // Version 0: the row count, the entries per row, then the entries as raw bytes
  // (ID, 4 bytes; weight, a 4-byte single). Counts that the archive cannot hold
  // raise EReadError before anything is allocated.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  // Rows and entries as given, keeping the entries that fit.
  void ResizeWeights(int rows, int perVertex);

  std::vector<TVertexBoneWeight> FWeights;  // row after row
  int FWeightRowCount = 0;
  int FWeightsPerVertex = 0;
  std::vector<std::unique_ptr<TBaseMeshObject>> FBoneSpaceCopies;
};
