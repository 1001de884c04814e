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

#include "base/VectorLists.h"
#include "scene/GLDataFile.h"
#include "scene/GLSceneObjects.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

// ---------------------------------------------------------------------------
// Owner lists

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
    item.release()->SetOwnerList(this);
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
      item.SetOwnerList(this);
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
  // an item of another class raises EReadError.
  void ReadFields(TVirtualReader& reader) override {
    ReadFieldsWithCallback(reader, [this](TPersistentObject& object) {
      if (!dynamic_cast<TItem*>(&object))
        throw EReadError(ClassName() + " archive holds a " + object.ClassName() + " where a " +
                         TItem::StaticClass().ClassName() + " belongs");
    });
    for (int i = 0; i < Count(); ++i) Items(i).SetOwnerList(this);
  }

protected:
  explicit TOwnerObjectList(TListOwner* owner) : FOwner(owner) {}

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
class TMeshObject : public TBaseMeshObject {
  BRV_PERSISTENT_CLASS(TMeshObject, TBaseMeshObject)

public:
  TMeshObject();
  // Leaves its list.
  ~TMeshObject() override;

  // A new mesh object at the end of `owner`, which owns it.
  static TMeshObject& CreateOwned(TMeshObjectList& owner);
  TMeshObjectList* Owner() const;
  TPersistentObjectList* OwnerList() const { return FOwnerList; }
  // Set by the list that takes or frees the object.
  void SetOwnerList(TPersistentObjectList* list) { FOwnerList = list; }

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
  TPersistentObjectList* FOwnerList = nullptr;
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
};

// ---------------------------------------------------------------------------
// Face groups

// Faces of one material: indices into the vertices of the mesh object that owns
// the group's list.
class TFaceGroup : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TFaceGroup, TPersistentObject)

public:
  // Leaves its list.
  ~TFaceGroup() override;

  TFaceGroups* Owner() const;
  // The mesh object whose vertices the group indexes; null outside a list.
  TMeshObject* MeshObject() const;
  TPersistentObjectList* OwnerList() const { return FOwnerList; }
  void SetOwnerList(TPersistentObjectList* list) { FOwnerList = list; }
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
  TPersistentObjectList* FOwnerList = nullptr;
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
// Skeleton

// The bones and frames of a mesh. For now it holds none: models read so far are
// not animated by bones. It stores its version word alone.
class TSkeleton : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TSkeleton, TPersistentObject)

public:
  explicit TSkeleton(TBaseMesh* owner = nullptr) : FOwner(owner) {}

  TBaseMesh* Owner() const { return FOwner; }
  void Clear() {}

  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

private:
  TBaseMesh* FOwner;
};

// ---------------------------------------------------------------------------
// Model files and the format registry

// A model file that no reader serves, or that a reader refuses without an error of
// its own format.
class EInvalidVectorFile : public Exception {
public:
  using Exception::Exception;
};

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
  // Reads `stream` into the lists; the scene holds its change reports meanwhile.
  void ReadInto(const std::string& fileName, TStream& stream, TMeshObjectList& meshObjects, TSkeleton& skeleton);

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
