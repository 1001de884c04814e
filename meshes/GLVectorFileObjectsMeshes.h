#pragma once
// Mesh objects: the named pieces of geometry a mesh is made of (vertices, normals,
// texture coordinates, colours), whose faces are a plain list of vertices or face
// groups (GLVectorFileObjectsFaceGroups.h), and the list of them that a mesh owns.
// Below them lies what the whole mesh layer builds on: the owner list, normals that
// stay zero where a face has no direction, and the error of a refused model file.
//
//   TMeshObjectList objects;   // as a mesh's MeshObjects(), here on its own
//   TMeshObject& triangle = TMeshObject::CreateOwned(objects);
//   triangle.Vertices().AddXYZ(0, 0, 0);
//   triangle.Vertices().AddXYZ(1, 0, 0);
//   triangle.Vertices().AddXYZ(0, 1, 0);
//   triangle.TriangleCount();   // 1: dmTriangles takes the vertices three by three
//
// Owner lists own their items: clearing a list frees them, and an item freed on its
// own leaves its list.

#include "base/Exceptions.h"
#include "base/PersistentClasses.h"
#include "base/Streams.h"
#include "base/VectorLists.h"
#include "scene/GLRenderContextInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBaseMesh;
class TFaceGroups;
class TMeshObjectList;

// How the vertices of a mesh object form faces.
enum TMeshObjectDrawMode : std::uint8_t { dmTriangles, dmTriangleStrip, dmFaceGroups };
// A set of mesh object options, one bit each: draw the face groups grouped by
// material name.
enum TMeshObjectOption : std::uint8_t { DrawByMaterial = 0x01 };
using TMeshObjectOptions = std::uint8_t;

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
