#pragma once
// Meshes and model files. Mesh objects hold loaded geometry (vertices, normals,
// texture coordinates, colours) and their faces, as a plain list or in face groups
// that each name a material of a library; the mesh scene objects (TBaseMesh and the
// static TFreeForm) own a list of them and a skeleton, draw them, and answer extent
// and ray queries. Model files are read by the reader that the format registry finds
// for the file name's extension.
//
//   InitializeVectorFileObjects();   // once, at start-up
//   auto& piece = scene.Objects().AddChild(std::make_unique<TFreeForm>(nullptr));
//   piece.SetMaterialLibrary(&library);
//   piece.LoadFromFile("res/3ds/re.3ds");   // its materials land in `library`
//
// Owner lists own their items: clearing a list frees them, and an item freed on its
// own leaves its list.

#include "base/Collections.h"
#include "base/VectorLists.h"
#include "scene/GLDataFile.h"
#include "scene/GLSceneObjects.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TBaseMesh;
class TFaceGroups;
class TMeshObjectList;
class TSkeleton;

// How the vertices of a mesh object form faces.
enum TMeshObjectDrawMode : std::uint8_t { dmTriangles, dmTriangleStrip, dmFaceGroups };
// A set of mesh object options, one bit each: draw the face groups grouped by
// material name.
enum TMeshObjectOption : std::uint8_t { DrawByMaterial = 0x01 };
using TMeshObjectOptions = std::uint8_t;
// How the indices of a face group form faces; fgPlainTriangles draws and counts as
// fgTriangles.
enum TFaceGroupDrawMode : std::uint8_t { fgTriangles, fgTriangleStrip, fgPlainTriangles, fgTriangleFan };
// mnoDefault: faces counter-clockwise seen from outside get outward normals and are
// front faces; mnoInvert: the opposite.
enum TMeshNormalsOrientation : std::uint8_t { mnoDefault, mnoInvert };
// A set of re-centring options for loaded geometry, one bit each.
enum TMeshAutoCentering : std::uint8_t {
  macCenterX = 0x01,
  macCenterY = 0x02,
  macCenterZ = 0x04,
  macUseBarycenter = 0x08,
};
using TMeshAutoCenterings = std::uint8_t;

// `v` of unit length, or left as it is when it has no direction: the normals of
// degenerate faces and of vertices no face uses stay zero instead of turning NaN.
TAffineVector SafeNormalized(const TAffineVector& v);
// The same for every item of a list.
void NormalizeSafely(TAffineVectorList& list);

// A model file that no reader serves, or that a reader refuses without an error of
// its own format.
class EInvalidVectorFile : public Exception {
public:
  using Exception::Exception;
};

// ---------------------------------------------------------------------------
// Owner lists

// The link of an item to the owner list that holds it, set by the list.
class TOwnerListLink {
public:
  TPersistentObjectList* OwnerList() const { return FOwnerList; }
  void SetOwnerList(TPersistentObjectList* list) { FOwnerList = list; }

protected:
  // Takes `self` (the item) out of its list; an item's destructor calls it.
  void LeaveOwnerList(const TObject* self) {
    if (FOwnerList) FOwnerList->Remove(self);
    FOwnerList = nullptr;
  }

private:
  TPersistentObjectList* FOwnerList = nullptr;
};

// A persistent list that owns items of class TItem: Clear frees them, reading an
// archive makes new ones (refusing items of any other class) and links them to the
// list. The items know their list through SetOwnerList and leave it when freed.
template <class TItem, class TListOwner>
class TOwnerObjectList : public TPersistentObjectList {
public:
  ~TOwnerObjectList() override { Clear(); }

  TListOwner* Owner() const { return FOwner; }
  // An index outside 0..Count-1 raises EListError.
  TItem& Items(int index) const { return *static_cast<TItem*>(GetItem(index)); }
  // Takes the item, which must not be in a list, and appends it.
  template <class T>
  T& Adopt(std::unique_ptr<T> item) {
    BRV_ASSERT_MSG(item && !item->OwnerList(), "TOwnerObjectList::Adopt(): the item is in a list already");
    T& added = *item;
    TPersistentObjectList::Add(item.get());
    LinkItem(*item.release());
    return added;
  }
  // A new item of class T, appended.
  template <class T = TItem>
  T& Add() {
    return Adopt(std::make_unique<T>());
  }
  // Moves every item of `other` to the end of this list.
  void TakeItemsOf(TOwnerObjectList& other) {
    // Room first, so that nothing can fail while the items change hands.
    const int total = CheckedAdd(Count(), other.Count());
    if (Capacity() < total) SetCapacity(total);
    for (int i = 0; i < other.Count(); ++i) {
      TItem& item = other.Items(i);
      TPersistentObjectList::Add(&item);
      LinkItem(item);
    }
    other.TPersistentObjectList::Clear();
  }

  // Frees every item, its link to the list cut first, then empties the list.
  void Clear() override {
    std::vector<TObject*> items;
    for (int i = 0; i < Count(); ++i) items.push_back(GetItem(i));
    TPersistentObjectList::Clear();
    for (TObject* object : items) {
      std::unique_ptr<TItem> item(static_cast<TItem*>(object));
      if (item) item->SetOwnerList(nullptr);
    }
  }
  void FreeAllAndClear() override { Clear(); }
  // The items are read into new ones, which replace the old only once all is read;
  // an item of another class raises EReadError. An empty entry holds nothing and
  // is dropped: every item of the list is an object.
  void ReadFields(TVirtualReader& reader) override {
    ReadFieldsWithCallback(reader, [this](TPersistentObject& object) {
      if (!dynamic_cast<TItem*>(&object))
        throw EReadError(ClassName() + " archive holds a " + object.ClassName() + " where a " +
                         TItem::StaticClass().ClassName() + " belongs");
    });
    for (int i = Count() - 1; i >= 0; --i)
      if (!GetItem(i)) Delete(i);
    for (int i = 0; i < Count(); ++i) LinkItem(Items(i));
  }

protected:
  explicit TOwnerObjectList(TListOwner* owner) : FOwner(owner) {}
  void SetOwner(TListOwner* owner) { FOwner = owner; }
  // Ties an item that has just come into the list to it.
  virtual void LinkItem(TItem& item) { item.SetOwnerList(this); }

private:
  TListOwner* FOwner;
};

// ---------------------------------------------------------------------------
// Mesh objects

// What morph targets share with mesh objects: a name, vertices and normals.
class TBaseMeshObject : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TBaseMeshObject, TPersistentObject)

public:
  TBaseMeshObject();

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }
  TAffineVectorList& Vertices() { return *FVertices; }
  const TAffineVectorList& Vertices() const { return *FVertices; }
  // One per vertex when present.
  TAffineVectorList& Normals() { return *FNormals; }
  const TAffineVectorList& Normals() const { return *FNormals; }
  // Invisible objects are neither prepared nor drawn.
  bool Visible() const { return FVisible; }
  void SetVisible(bool value) { FVisible = value; }

  // Adds the sum of the vertices to `sum` and their count to `count`.
  virtual void AddToVertexSum(TAffineVector& sum, int& count) const;
  virtual void Translate(const TAffineVector& delta);
  // Three corner points per triangle: here the vertices when their count is a
  // multiple of 3, else none.
  virtual std::unique_ptr<TAffineVectorList> GetTriangles() const;
  // Normals from the faces that `vertexIndices` lists as triangles (dmTriangles) or
  // as a strip (dmTriangleStrip): each vertex gets the normalised sum of the unit
  // normals of its faces, outward for counter-clockwise faces. Degenerate faces add
  // nothing. An index outside the vertices is an assertion failure.
  void ComputeNormals(const TIntegerList& vertexIndices, TMeshObjectDrawMode mode);

  // Version 1: name, vertices, normals, visibility; version 0 (without visibility)
  // is read as visible.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  std::string FName;
  std::unique_ptr<TAffineVectorList> FVertices;
  std::unique_ptr<TAffineVectorList> FNormals;
  bool FVisible = true;
};

// One named piece of geometry of a mesh.
class TMeshObject : public TBaseMeshObject, public TOwnerListLink {
  BRV_PERSISTENT_CLASS(TMeshObject, TBaseMeshObject)

public:
  TMeshObject();
  // Leaves its list.
  ~TMeshObject() override;

  // A new mesh object at the end of `owner`, which owns it.
  static TMeshObject& CreateOwned(TMeshObjectList& owner);
  TMeshObjectList* Owner() const;

  // (s, t, 0) per vertex when present.
  TAffineVectorList& TexCoords() { return *FTexCoords; }
  const TAffineVectorList& TexCoords() const { return *FTexCoords; }
  // RGBA per vertex when present.
  TVectorList& Colors() { return *FColors; }
  const TVectorList& Colors() const { return *FColors; }
  TFaceGroups& FaceGroups() { return *FFaceGroups; }
  const TFaceGroups& FaceGroups() const { return *FFaceGroups; }
  TMeshObjectDrawMode Mode() const { return FMode; }
  void SetMode(TMeshObjectDrawMode mode) { FMode = mode; }
  TMeshObjectOptions Options() const { return FOptions; }
  void SetOptions(TMeshObjectOptions options) { FOptions = options; }

  // dmTriangles as the base; a strip gives (v0, v1, v2), (v3, v2, v1), (v2, v3, v4)...;
  // face groups append theirs in order.
  std::unique_ptr<TAffineVectorList> GetTriangles() const override;
  int TriangleCount() const;
  // Per-axis bounds of the vertices; +infinity and -infinity without vertices.
  void GetExtents(TAffineVector& min, TAffineVector& max) const;
  // Each face group prepares itself.
  void Prepare();
  // Whether the point lies within the bounds of the vertices, bounds included.
  bool ContainsPoint(const TAffineVector& point) const;
  // The library materials of the face groups make their GL resources ready, before
  // any display list is compiled (face-group mode and a library in `rci` only).
  virtual void PrepareGroupMaterials(TRenderContextInfo& rci);
  virtual void EmitGeometry(TRenderContextInfo& rci);
  // Hands the vertex, normal, colour and texture-coordinate arrays to GL, once per
  // EmitGeometry. An array is used only when it has one item per vertex.
  void DeclareArrays();
  // The first index of a face group that names no vertex, normal or texture
  // coordinate of this object, described; empty when every index fits.
  std::string IndexFault() const;

  // Version 0: texture coordinates, colours, face groups, mode and options.
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  std::unique_ptr<TAffineVectorList> FTexCoords;
  std::unique_ptr<TVectorList> FColors;
  std::unique_ptr<TFaceGroups> FFaceGroups;
  TMeshObjectDrawMode FMode = dmTriangles;
  TMeshObjectOptions FOptions = 0;
  bool FArraysDeclared = false;
};

// The mesh objects of a mesh, owned by the list.
class TMeshObjectList : public TOwnerObjectList<TMeshObject, TBaseMesh> {
  BRV_PERSISTENT_CLASS(TMeshObjectList, TPersistentObjectList)

public:
  explicit TMeshObjectList(TBaseMesh* owner = nullptr) : TOwnerObjectList(owner) {}

  // The same operation of every visible mesh object, in order.
  void PrepareGroupMaterials(TRenderContextInfo& rci);
  void EmitGeometry(TRenderContextInfo& rci);
  // Widened by every mesh object, visible or not; infinities without any.
  void GetExtents(TAffineVector& min, TAffineVector& max) const;
  void Translate(const TAffineVector& delta);
  // The triangles of all mesh objects in order.
  std::unique_ptr<TAffineVectorList> GetTriangles() const;
  int TriangleCount() const;
  void Prepare();
  // Passed to every morphable mesh object among them.
  void SelectMorphTarget(int index);
  void Lerp(int index1, int index2, float factor);
  // The smallest number of morph targets among the morphable mesh objects; 0 without any.
  int CommonTargetCount() const;

  // As every owner list; then the skeleton mesh objects move their vertices into
  // the space of their bones, which the owning mesh's skeleton must all have
  // (EReadError otherwise, and the list keeps what it held).
  void ReadFields(TVirtualReader& reader) override;
};

// ---------------------------------------------------------------------------
// Face groups

// Faces of one material: indices into the vertices of the mesh object that owns
// the group's list.
class TFaceGroup : public TPersistentObject, public TOwnerListLink {
  BRV_PERSISTENT_CLASS(TFaceGroup, TPersistentObject)

public:
  // Leaves its list.
  ~TFaceGroup() override;

  TFaceGroups* Owner() const;
  // The mesh object whose vertices the group indexes; null outside a list.
  TMeshObject* MeshObject() const;
  // The library material the group draws with; empty for none.
  const std::string& MaterialName() const { return FMaterialName; }
  void SetMaterialName(const std::string& name) { FMaterialName = name; }
  // Used by the drawing grouped by material.
  int RenderTag() const { return FRenderTag; }
  void SetRenderTag(int tag) { FRenderTag = tag; }

  virtual void EmitGeometry(TRenderContextInfo& rci) = 0;
  // Appends three corner points per triangle, taken from the mesh object's vertices.
  virtual void AppendTriangles(TAffineVectorList& list) const = 0;
  virtual int TriangleCount() const = 0;
  virtual void Prepare() {}
  // As TMeshObject::IndexFault, for this group against `mesh`.
  virtual std::string IndexFault(const TMeshObject& mesh) const = 0;

  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

protected:
  TFaceGroup() = default;
  // The mesh object to draw from; no mesh object, or an index that names nothing in
  // it, is an assertion failure.
  TMeshObject& DrawnMeshObject() const;

private:
  std::string FMaterialName;
  int FRenderTag = 0;
};

// Vertex indices, drawn from the mesh object's arrays in one call.
class TFGVertexIndexList : public TFaceGroup {
  BRV_PERSISTENT_CLASS(TFGVertexIndexList, TFaceGroup)

public:
  TFGVertexIndexList();

  TIntegerList& VertexIndices() { return *FVertexIndices; }
  const TIntegerList& VertexIndices() const { return *FVertexIndices; }
  TFaceGroupDrawMode Mode() const { return FMode; }
  void SetMode(TFaceGroupDrawMode mode) { FMode = mode; }
  void Add(int vertexIndex) { FVertexIndices->Add(vertexIndex); }

  void EmitGeometry(TRenderContextInfo& rci) override;
  // Triangles: the first (count div 3) x 3 indices; a strip turns every other
  // triangle; a fan turns about its first index.
  void AppendTriangles(TAffineVectorList& list) const override;
  int TriangleCount() const override;
  std::string IndexFault(const TMeshObject& mesh) const override;

  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

protected:
  // The GL primitive of the mode.
  GLenum Primitive() const;

private:
  std::unique_ptr<TIntegerList> FVertexIndices;
  TFaceGroupDrawMode FMode = fgTriangles;
};

// Vertex, normal and texture-coordinate indices side by side, drawn one corner at
// a time.
class TFGVertexNormalTexIndexList : public TFGVertexIndexList {
  BRV_PERSISTENT_CLASS(TFGVertexNormalTexIndexList, TFGVertexIndexList)

public:
  TFGVertexNormalTexIndexList();

  TIntegerList& NormalIndices() { return *FNormalIndices; }
  const TIntegerList& NormalIndices() const { return *FNormalIndices; }
  TIntegerList& TexCoordIndices() { return *FTexCoordIndices; }
  const TIntegerList& TexCoordIndices() const { return *FTexCoordIndices; }
  void Add(int vertexIndex, int normalIndex, int texCoordIndex);

  // The three lists must be of equal length (an assertion failure otherwise).
  void EmitGeometry(TRenderContextInfo& rci) override;
  std::string IndexFault(const TMeshObject& mesh) const override;

  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  std::unique_ptr<TIntegerList> FNormalIndices;
  std::unique_ptr<TIntegerList> FTexCoordIndices;
};

// Vertex indices with a texture coordinate of their own per corner.
class TFGIndexTexCoordList : public TFGVertexIndexList {
  BRV_PERSISTENT_CLASS(TFGIndexTexCoordList, TFGVertexIndexList)

public:
  TFGIndexTexCoordList();

  // (s, t, 0) per entry of VertexIndices.
  TAffineVectorList& TexCoords() { return *FTexCoords; }
  const TAffineVectorList& TexCoords() const { return *FTexCoords; }
  void Add(int vertexIndex, float s, float t);

  // TexCoords and VertexIndices must be of equal length (an assertion failure otherwise).
  void EmitGeometry(TRenderContextInfo& rci) override;
  std::string IndexFault(const TMeshObject& mesh) const override;

  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  std::unique_ptr<TAffineVectorList> FTexCoords;
};

// The face groups of a mesh object, owned by the list.
class TFaceGroups : public TOwnerObjectList<TFaceGroup, TMeshObject> {
  BRV_PERSISTENT_CLASS(TFaceGroups, TPersistentObjectList)

public:
  explicit TFaceGroups(TMeshObject* owner = nullptr) : TOwnerObjectList(owner) {}
  // The triangles of every group in order.
  void AppendTriangles(TAffineVectorList& list) const;
};

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

// ---------------------------------------------------------------------------
// Model files and the format registry

// The reader (and writer) of one model format, always owned by a TBaseMesh. The mesh
// hands it the lists to fill; a load fills fresh lists, which replace the mesh's
// own only when the whole file was read.
class TVectorFile : public TDataFile {
  BRV_DATA_FILE_CLASS(TVectorFile, TDataFile)

public:
  // `owner` must be a TBaseMesh (an assertion failure otherwise).
  explicit TVectorFile(TPersistent* owner);

  TBaseMesh& OwnerMesh() const;
  TMeshNormalsOrientation NormalsOrientation() const { return FNormalsOrientation; }
  virtual void SetNormalsOrientation(TMeshNormalsOrientation value) { FNormalsOrientation = value; }
  // What the reader fills: the owner's lists unless the owner gave others.
  TMeshObjectList& MeshObjects() const;
  TSkeleton& Skeleton() const;
  void SetTargets(TMeshObjectList& meshObjects, TSkeleton& skeleton);
  // Whether the reader adds to the mesh's own skeleton (an append) rather than to
  // a fresh one that replaces it.
  bool AppendsToOwner() const;
  // Called once what the reader filled belongs to the mesh: here nothing; readers
  // that hand the owning mesh more (an actor's animations) do it here, when nothing
  // can fail any more and the mesh counts the new frames.
  virtual void LoadFinished() {}

private:
  TMeshNormalsOrientation FNormalsOrientation = mnoDefault;
  TMeshObjectList* FMeshObjects = nullptr;
  TSkeleton* FSkeleton = nullptr;
};

// One registered format.
struct TVectorFileFormat {
  const TDataFileClass* VectorFileClass;
  std::string Extension;  // without the dot, lower case
  std::string Description;
};

// The registered formats in order of registration; a later registration of an
// extension shadows an earlier one.
class TVectorFileFormatsList {
public:
  // `vectorFileClass` must be a TVectorFile class that can be created.
  void Add(std::string_view extension, std::string_view description, const TDataFileClass& vectorFileClass);
  // The class of the last registration of the extension, without regard to case; null when none.
  const TDataFileClass* FormatByExtension(std::string_view extension) const;
  // The class for the file name's extension (after the last dot of its last path
  // part); none raises EInvalidVectorFile "Unknown file extension (%s)" with the
  // extension as the name has it, without its dot.
  const TDataFileClass& FormatForFileName(std::string_view fileName) const;
  const std::vector<TVectorFileFormat>& Formats() const { return FFormats; }

private:
  std::vector<TVectorFileFormat> FFormats;
};

// The registry of the program, empty until the first registration.
TVectorFileFormatsList& ModelFormats();
// Registers the class for streaming by name, then appends the format.
void RegisterModelFormat(std::string_view extension, std::string_view description, const TDataFileClass& vectorFileClass);
// Start-up registration, once: the model formats in the order md2, 3ds, prj, tin,
// stl, smd, ply (those whose reader exists), then the streamable mesh classes.
void InitializeVectorFileObjects();

// ---------------------------------------------------------------------------
// Mesh scene objects

// A scene object that holds loaded geometry and draws it with the materials its
// face groups name in a material library.
class TBaseMesh : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TBaseMesh, TGLSceneObject)

public:
  explicit TBaseMesh(TComponent* owner);
  ~TBaseMesh() override;

  TMeshObjectList& MeshObjects() { return *FMeshObjects; }
  const TMeshObjectList& MeshObjects() const { return *FMeshObjects; }
  TSkeleton& Skeleton() { return *FSkeleton; }
  const TSkeleton& Skeleton() const { return *FSkeleton; }

  TMeshNormalsOrientation NormalsOrientation() const { return FNormalsOrientation; }
  void SetNormalsOrientation(TMeshNormalsOrientation value);
  // Not owned; becomes null when the library is freed.
  TGLMaterialLibrary* MaterialLibrary() const { return FMaterialLibrary.Get(); }
  void SetMaterialLibrary(TGLMaterialLibrary* library);
  // False: the mesh draws with its own material only.
  bool UseMeshMaterials() const { return FUseMeshMaterials; }
  void SetUseMeshMaterials(bool value);
  bool OverlaySkeleton() const { return FOverlaySkeleton; }
  void SetOverlaySkeleton(bool value);
  TMeshAutoCenterings AutoCentering() const { return FAutoCentering; }
  void SetAutoCentering(TMeshAutoCenterings value) { FAutoCentering = value; }

  // Replaces the geometry by the file's; nothing for an empty name. The format is
  // found first and the file read into fresh lists: a file that cannot be opened,
  // an unknown extension or a reader's error leaves the mesh as it was.
  void LoadFromFile(const std::string& fileName);
  // The same from a stream; `fileName` chooses the format.
  virtual void LoadFromStream(const std::string& fileName, TStream& stream);
  // Writes the geometry in the format of the extension, replacing the file only
  // once all was written. Formats without a writer raise the assertion failure
  // "Export for <class> not available.".
  void SaveToFile(const std::string& fileName);
  virtual void SaveToStream(const std::string& fileName, TStream& stream);
  // As the loads, but the file's mesh objects are added after the present ones and
  // nothing is re-centred.
  void AppendFromFile(const std::string& fileName);
  virtual void AppendFromStream(const std::string& fileName, TStream& stream);

  // Moves the vertices as AutoCentering says; run after every load.
  virtual void ApplyAutoCentering();
  // After every load and append.
  virtual void AfterLoad();
  // The dimensions are stale, the mesh objects prepare their face groups, and the
  // display list is rebuilt.
  void MarkStructureDirty() override;
  // The library's GL objects too.
  void DestroyHandles() override;

  void GetExtents(TAffineVector& min, TAffineVector& max) const;
  // The mean of all vertices of all mesh objects; (0, 0, 0) without vertices.
  TAffineVector VertexCentre() const;
  // Per axis the larger of |min| and |max| of the extents (0 without vertices),
  // cached until the structure changes.
  TVector HalfExtents() const override;
  // The nearest triangle the ray hits, in world coordinates; the normal is of unit
  // length and points out of counter-clockwise faces (into them with mnoInvert).
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;

  void EmitGeometry(TRenderContextInfo& rci) override;
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

protected:
  // Hands the reader what it needs before reading: the normals' orientation.
  virtual void PrepareReader(TVectorFile& reader);

private:
  // A reader of the format of `fileName`, made ready to fill the given lists.
  std::unique_ptr<TVectorFile> CreateReader(const std::string& fileName, TMeshObjectList& meshObjects,
                                            TSkeleton& skeleton);
  // Reads `stream` into the lists; the scene holds its change reports meanwhile. A
  // face group with an index that names nothing raises EInvalidVectorFile. Returns
  // the reader for its LoadFinished.
  std::unique_ptr<TVectorFile> ReadInto(const std::string& fileName, TStream& stream, TMeshObjectList& meshObjects, TSkeleton& skeleton);

  TMeshNormalsOrientation FNormalsOrientation = mnoDefault;
  TWeakRef<TGLMaterialLibrary> FMaterialLibrary;
  mutable TAffineVector FHalfExtents{-1, 0, 0};  // x < 0: stale
  bool FUseMeshMaterials = true;
  bool FOverlaySkeleton = false;
  TMeshAutoCenterings FAutoCentering = 0;
  std::unique_ptr<TMeshObjectList> FMeshObjects;
  std::unique_ptr<TSkeleton> FSkeleton;
};

// The static mesh: a TBaseMesh as it is. The board window loads each piece into one.
class TFreeForm : public TBaseMesh {
  BRV_SCENE_OBJECT_CLASS(TFreeForm, TBaseMesh)

public:
  explicit TFreeForm(TComponent* owner);
};

// ---------------------------------------------------------------------------
// Actor

class TActor;
class TAnimationControler;

// Whether an actor's frames are the morph targets of its mesh objects or the
// frames of its skeleton.
enum TActorAnimationReference : std::uint8_t { aarMorph, aarSkeleton };
// Whether an actor blends from one frame to the next as time goes.
enum TActorFrameInterpolation : std::uint8_t { afpNone, afpLinear };
// How an actor's frames advance: not by time, to the end frame once, round and
// round, or back and forth between the start and end frames.
enum TActorAnimationMode : std::uint8_t { aamNone, aamPlayOnce, aamLoop, aamBounceForward, aamBounceBackward };

// A named range of an actor's frames.
class TActorAnimation : public TCollectionItem {
  BRV_COLLECTION_ITEM_CLASS(TActorAnimation, TCollectionItem)

public:
  explicit TActorAnimation(TCollection* collection) : TCollectionItem(collection) {}
  // The actor forgets it as the animation to change to.
  ~TActorAnimation() override;

  // From another animation: name, frames and reference as they stand; other
  // sources go to the collection item's rule.
  void Assign(const TPersistent* source) override;
  // "2 - walk [10 - 20]": index, name, start and end frame.
  std::string GetDisplayName() const override;

  // The actor whose animations hold this one; null outside one.
  TActor* Actor() const;
  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }
  // Both clamp to 0..FrameCount-1 (-1 when there are no frames) and pull the
  // other end along so that StartFrame <= EndFrame.
  int StartFrame() const { return FStartFrame; }
  void SetStartFrame(int value);
  int EndFrame() const { return FEndFrame; }
  void SetEndFrame(int value);
  // A change clamps both frames again.
  TActorAnimationReference Reference() const { return FReference; }
  void SetReference(TActorAnimationReference value);
  // The actor's frame count for this animation's reference; 0 outside an actor.
  int FrameCount() const;

private:
  int Clamped(int value) const;

  std::string FName;
  int FStartFrame = 0;
  int FEndFrame = 0;
  TActorAnimationReference FReference = aarMorph;
};

// The animations of an actor.
class TActorAnimations : public TOwnedCollection {
  BRV_CLASS(TActorAnimations, TOwnedCollection)

public:
  explicit TActorAnimations(TActor* owner);

  TActor* Owner() const;
  TActorAnimation& Add() { return static_cast<TActorAnimation&>(TCollection::Add()); }
  TActorAnimation& Items(int index) const { return static_cast<TActorAnimation&>(TCollection::Items(index)); }
  // The first animation of that name, without regard to case; null when none.
  TActorAnimation* FindByName(std::string_view name) const;
};

// A mesh that plays frame animations: each frame is a morph target of its mesh
// objects or a frame of its skeleton. Time from the scene's steps moves a position
// between the current frame and the next; whole frames are stepped as the
// animation mode says, and the shape in between is interpolated.
//
//   auto& actor = scene.Objects().AddChild(std::make_unique<TActor>(nullptr));
//   actor.LoadFromFile("walk.md2");       // frames 0..FrameCount-1
//   actor.SetAnimationMode(aamLoop);      // the cadencer's steps now play it
//
// An actor without frames (a 3DS model) shows its loaded shape and never steps.
class TActor : public TBaseMesh {
  BRV_SCENE_OBJECT_CLASS(TActor, TBaseMesh)

public:
  // Drawn directly every frame: its shape changes with time.
  explicit TActor(TComponent* owner);
  ~TActor() override;

  int FrameCount() const;
  // Both take only a frame the actor has, and pull EndFrame and CurrentFrame into
  // the new range.
  int StartFrame() const { return FStartFrame; }
  void SetStartFrame(int value);
  int EndFrame() const { return FEndFrame; }
  void SetEndFrame(int value);
  TActorAnimationReference Reference() const { return FReference; }
  void SetReference(TActorAnimationReference value);
  // The value is clamped to the frames the actor has (0 when it has none); a frame
  // that differs from the current one resets CurrentFrameDelta, turns play-once off
  // and the bounce modes round at the ends of the range, and is reported through
  // OnFrameChanged.
  int CurrentFrame() const { return FCurrentFrame; }
  void SetCurrentFrame(int value);
  // 0..1 from CurrentFrame towards the following frame.
  float CurrentFrameDelta() const { return FCurrentFrameDelta; }
  void SetCurrentFrameDelta(float value) { FCurrentFrameDelta = value; }
  TActorFrameInterpolation FrameInterpolation() const { return FFrameInterpolation; }
  void SetFrameInterpolation(TActorFrameInterpolation value) { FFrameInterpolation = value; }
  // Milliseconds per frame.
  int Interval() const { return FInterval; }
  void SetInterval(int value) { FInterval = value; }
  TActorAnimationMode AnimationMode() const { return FAnimationMode; }
  void SetAnimationMode(TActorAnimationMode value) { FAnimationMode = value; }
  TActorAnimations& Animations() { return *FAnimations; }
  const TActorAnimations& Animations() const { return *FAnimations; }
  void SetAnimations(const TActorAnimations& value) { FAnimations->Assign(&value); }

  // After every change of CurrentFrame, and after a load.
  TNotifyEvent OnFrameChanged;
  // A step landed on EndFrame, or on StartFrame.
  TNotifyEvent OnEndFrameReached;
  TNotifyEvent OnStartFrameReached;

  // The frame after CurrentFrame in the range and mode (wrapping round at the
  // ends), or the start of the animation to change to.
  int FollowingFrame() const;
  // `n` steps to the following frame, each reported; nothing for n < 1 or without
  // frames. A play-once animation stops at its end frame.
  void StepFrames(int n = 1);
  // Smooth: the animation starts at the next whole step. Otherwise now: its
  // reference and range, and its start frame as the current one. Null does nothing.
  void ChangeAnimation(TActorAnimation* animation, bool smooth);
  TActorAnimation* TargetSmoothAnimation() const { return FTargetSmoothAnimation; }
  void ClearTargetSmoothAnimation() { FTargetSmoothAnimation = nullptr; }

  // Controllers blend skeleton animations into the actor, in order of registration.
  void AddController(TAnimationControler& controller);
  // Unregistering a controller from an actor that has none is an assertion failure.
  void RemoveController(TAnimationControler& controller);
  int ControllerCount() const;

  // The range becomes every frame the file gave, the current frame 0.
  void AfterLoad() override;
  // The inherited step, then the frames advance by the step's time.
  void AdvanceTime(const TProgressTimes& progressTimes) override;
  // The mesh in the current frame (interpolated towards the following one), then,
  // with OverlaySkeleton, the bones over it.
  void EmitGeometry(TRenderContextInfo& rci) override;

private:
  // Whether the actor has the frame.
  bool HasFrame(int frame) const { return frame >= 0 && frame < FrameCount(); }
  // The skeleton's pose for this frame: interpolated, or blended with the controllers.
  void PoseSkeleton(int next);

  int FStartFrame = 0;
  int FEndFrame = 0;
  TActorAnimationReference FReference = aarMorph;
  int FCurrentFrame = 0;
  float FCurrentFrameDelta = 0;
  TActorFrameInterpolation FFrameInterpolation = afpLinear;
  int FInterval = 100;
  TActorAnimationMode FAnimationMode = aamNone;
  TActorAnimation* FTargetSmoothAnimation = nullptr;
  std::unique_ptr<std::vector<std::unique_ptr<TWeakRef<TAnimationControler>>>> FControllers;
  std::unique_ptr<TActorAnimations> FAnimations;
};

// Blends an animation of its actor into the actor's skeleton pose, at a point of
// the animation's range given by Ratio.
class TAnimationControler : public TComponent {
  BRV_CLASS(TAnimationControler, TComponent)

public:
  explicit TAnimationControler(TComponent* owner);
  // Leaves its actor.
  ~TAnimationControler() override;

  // Registers with the actor (and leaves the old one); null once the actor is freed.
  TActor* Actor() const { return FActor.Get(); }
  void SetActor(TActor* actor);
  const std::string& AnimationName() const { return FAnimationName; }
  void SetAnimationName(const std::string& name);
  // 0 at the animation's start frame, 1 at its end frame; clamped to 0..1.
  float Ratio() const { return FRatio; }
  void SetRatio(float value);

  // The record of the named animation at Ratio; false when the actor has no such
  // animation. Ratio 0.25 on frames 10..18 gives frames 12 and 13, factor 0.
  bool Apply(TBlendedLerpInfo& lerp) const;

private:
  // Asks the actor for a redraw when there is something to blend.
  void NotifyActor();

  TWeakRef<TActor> FActor;
  std::string FAnimationName;
  float FRatio = 0;
};
