#pragma once
// Face groups: the faces of one material of a mesh object, as indices into the
// mesh object's vertices (one kind indexes its normals and texture coordinates
// too, another carries a texture coordinate per corner), drawn as triangles, a
// strip or a fan. A mesh object in dmFaceGroups mode draws its groups in order,
// each with the library material it names.
//
//   mesh.SetMode(dmFaceGroups);
//   auto& group = mesh.FaceGroups().Add<TFGVertexIndexList>();
//   group.SetMaterialName("ebony");   // a material of the mesh's library
//   for (int i : {0, 1, 2}) group.Add(i);   // one triangle
//
// The mesh object owns its face groups through their list; a group freed on its
// own leaves the list.

#include "meshes/GLVectorFileObjectsMeshes.h"

#include <cstdint>
#include <memory>
#include <string>

// How the indices of a face group form faces; fgPlainTriangles draws and counts as
// fgTriangles.
enum TFaceGroupDrawMode : std::uint8_t { fgTriangles, fgTriangleStrip, fgPlainTriangles, fgTriangleFan };

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
