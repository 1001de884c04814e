// Face groups: the faces of one material as indices into a mesh object's vertices.

#include "meshes/GLVectorFileObjectsFaceGroups.h"

#include "scene/gl/XOpenGL.h"

namespace {

// The first entry of `indices` outside 0..count-1, described; empty when all fit.
std::string FirstOutside(const TIntegerList& indices, int count, const char* what, const char* whats) {
  for (int i = 0; i < indices.Count(); ++i) {
    const int index = indices.List()[i];
    if (index < 0 || index >= count)
      return std::string(what) + " index " + std::to_string(index) + " (entry " + std::to_string(i) +
             ") names none of the " + std::to_string(count) + " " + whats;
  }
  return {};
}

void ReadVersion0(const TPersistentObject& object, TVirtualReader& reader) {
  if (int version = reader.ReadInteger(); version != 0) object.RaiseFilerException(version);
}

}  // namespace

// ---------------------------------------------------------------------------
// TFaceGroup

TFaceGroup::~TFaceGroup() {
  LeaveOwnerList(this);
}

TFaceGroups* TFaceGroup::Owner() const { return static_cast<TFaceGroups*>(OwnerList()); }

TMeshObject* TFaceGroup::MeshObject() const { return OwnerList() ? Owner()->Owner() : nullptr; }

TMeshObject& TFaceGroup::DrawnMeshObject() const {
  TMeshObject* mesh = MeshObject();
  BRV_ASSERT_MSG(mesh, ClassName() + "::EmitGeometry(): the group is in no mesh object");
  // An index that names nothing would make GL read beyond the arrays.
  const std::string fault = IndexFault(*mesh);
  BRV_ASSERT_MSG(fault.empty(), ClassName() + "::EmitGeometry(): " + fault);
  return *mesh;
}

void TFaceGroup::WriteFields(TVirtualWriter& writer) const {
  TPersistentObject::WriteFields(writer);
  writer.WriteInteger(0);
  writer.WriteString(FMaterialName);
}

void TFaceGroup::ReadFields(TVirtualReader& reader) {
  TPersistentObject::ReadFields(reader);
  ReadVersion0(*this, reader);
  FMaterialName = reader.ReadString();
}

// ---------------------------------------------------------------------------
// TFGVertexIndexList

TFGVertexIndexList::TFGVertexIndexList() : FVertexIndices(std::make_unique<TIntegerList>()) {}

GLenum TFGVertexIndexList::Primitive() const {
  switch (FMode) {
    case fgTriangles:
    case fgPlainTriangles:
      return GL_TRIANGLES;
    case fgTriangleStrip:
      return GL_TRIANGLE_STRIP;
    case fgTriangleFan:
      return GL_TRIANGLE_FAN;
  }
  AssertionFailure("TFGVertexIndexList: unknown mode", __FILE__, __LINE__);
}

void TFGVertexIndexList::EmitGeometry(TRenderContextInfo&) {
  TMeshObject* mesh = &DrawnMeshObject();
  const GLenum primitive = Primitive();
  mesh->DeclareArrays();
  if (FVertexIndices->Count() > 0)
    GL->glDrawElements(primitive, FVertexIndices->Count(), GL_UNSIGNED_INT, FVertexIndices->List());
}

void TFGVertexIndexList::AppendTriangles(TAffineVectorList& list) const {
  const TMeshObject* mesh = MeshObject();
  BRV_ASSERT_MSG(mesh, "TFGVertexIndexList::AppendTriangles(): the group is in no mesh object");
  const TAffineVectorList& vertices = mesh->Vertices();
  const TIntegerList& indices = *FVertexIndices;
  auto v = [&](int i) { return vertices.GetItem(indices.GetItem(i)); };
  const int count = indices.Count();
  switch (FMode) {
    case fgTriangles:
    case fgPlainTriangles: {
      const int n = count / 3 * 3;
      list.EnsureCapacity(CheckedAdd(list.Count(), n));
      for (int i = 0; i < n; ++i) list.Add(v(i));
      return;
    }
    case fgTriangleStrip:
      if (count < 3) return;
      list.EnsureCapacity(CheckedAdd(list.Count(), CheckedMul(count - 2, 3)));
      for (int i = 0; i + 3 <= count; ++i)
        if (i % 2 == 0)
          list.Add3(v(i), v(i + 1), v(i + 2));
        else
          list.Add3(v(i + 2), v(i + 1), v(i));
      return;
    case fgTriangleFan:
      if (count < 3) return;
      list.EnsureCapacity(CheckedAdd(list.Count(), CheckedMul(count - 2, 3)));
      for (int i = 2; i < count; ++i) list.Add3(v(0), v(i - 1), v(i));
      return;
  }
  AssertionFailure("TFGVertexIndexList::AppendTriangles(): unknown mode", __FILE__, __LINE__);
}

int TFGVertexIndexList::TriangleCount() const {
  const int count = FVertexIndices->Count();
  switch (FMode) {
    case fgTriangles:
    case fgPlainTriangles:
      return count / 3;
    case fgTriangleStrip:
    case fgTriangleFan:
      return std::max(count - 2, 0);
  }
  AssertionFailure("TFGVertexIndexList::TriangleCount(): unknown mode", __FILE__, __LINE__);
}

std::string TFGVertexIndexList::IndexFault(const TMeshObject& mesh) const {
  return FirstOutside(*FVertexIndices, mesh.Vertices().Count(), "vertex", "vertices");
}

void TFGVertexIndexList::WriteFields(TVirtualWriter& writer) const {
  TFaceGroup::WriteFields(writer);
  writer.WriteInteger(0);
  FVertexIndices->WriteFields(writer);
  writer.WriteInteger(FMode);
}

void TFGVertexIndexList::ReadFields(TVirtualReader& reader) {
  TFaceGroup::ReadFields(reader);
  ReadVersion0(*this, reader);
  FVertexIndices->ReadFields(reader);
  const int mode = reader.ReadInteger();
  if (mode < fgTriangles || mode > fgTriangleFan)
    throw EReadError("Face group archive: the draw mode is " + std::to_string(mode) + ", expected 0 to 3");
  FMode = static_cast<TFaceGroupDrawMode>(mode);
}

// ---------------------------------------------------------------------------
// TFGVertexNormalTexIndexList

TFGVertexNormalTexIndexList::TFGVertexNormalTexIndexList()
    : FNormalIndices(std::make_unique<TIntegerList>()), FTexCoordIndices(std::make_unique<TIntegerList>()) {}

void TFGVertexNormalTexIndexList::Add(int vertexIndex, int normalIndex, int texCoordIndex) {
  TFGVertexIndexList::Add(vertexIndex);
  FNormalIndices->Add(normalIndex);
  FTexCoordIndices->Add(texCoordIndex);
}

void TFGVertexNormalTexIndexList::EmitGeometry(TRenderContextInfo&) {
  TMeshObject* mesh = &DrawnMeshObject();
  const GLenum primitive = Primitive();
  const int* vertexIndices = VertexIndices().List();
  GL->glBegin(primitive);
  for (int i = 0; i < VertexIndices().Count(); ++i) {
    GL->glNormal3fv(&mesh->Normals().List()[FNormalIndices->List()[i]].x);
    xglTexCoord2fv(&mesh->TexCoords().List()[FTexCoordIndices->List()[i]].x);
    GL->glVertex3fv(&mesh->Vertices().List()[vertexIndices[i]].x);
  }
  GL->glEnd();
}

std::string TFGVertexNormalTexIndexList::IndexFault(const TMeshObject& mesh) const {
  const int count = VertexIndices().Count();
  if (FNormalIndices->Count() != count || FTexCoordIndices->Count() != count)
    return "the vertex, normal and texture-coordinate indices are " + std::to_string(count) + ", " +
           std::to_string(FNormalIndices->Count()) + " and " + std::to_string(FTexCoordIndices->Count()) +
           ", not as many each";
  std::string fault = TFGVertexIndexList::IndexFault(mesh);
  if (fault.empty()) fault = FirstOutside(*FNormalIndices, mesh.Normals().Count(), "normal", "normals");
  if (fault.empty()) fault = FirstOutside(*FTexCoordIndices, mesh.TexCoords().Count(), "texture coordinate", "texture coordinates");
  return fault;
}

void TFGVertexNormalTexIndexList::WriteFields(TVirtualWriter& writer) const {
  TFGVertexIndexList::WriteFields(writer);
  writer.WriteInteger(0);
  FNormalIndices->WriteFields(writer);
  FTexCoordIndices->WriteFields(writer);
}

void TFGVertexNormalTexIndexList::ReadFields(TVirtualReader& reader) {
  TFGVertexIndexList::ReadFields(reader);
  ReadVersion0(*this, reader);
  FNormalIndices->ReadFields(reader);
  FTexCoordIndices->ReadFields(reader);
}

// ---------------------------------------------------------------------------
// TFGIndexTexCoordList

TFGIndexTexCoordList::TFGIndexTexCoordList() : FTexCoords(std::make_unique<TAffineVectorList>()) {}

void TFGIndexTexCoordList::Add(int vertexIndex, float s, float t) {
  FTexCoords->AddXYZ(s, t, 0);
  TFGVertexIndexList::Add(vertexIndex);
}

void TFGIndexTexCoordList::EmitGeometry(TRenderContextInfo&) {
  TMeshObject* mesh = &DrawnMeshObject();
  const GLenum primitive = Primitive();
  const int* indices = VertexIndices().List();
  const bool normals = mesh->Normals().Count() == mesh->Vertices().Count();
  GL->glBegin(primitive);
  for (int i = 0; i < VertexIndices().Count(); ++i) {
    xglTexCoord2fv(&FTexCoords->List()[i].x);
    if (normals) GL->glNormal3fv(&mesh->Normals().List()[indices[i]].x);
    GL->glVertex3fv(&mesh->Vertices().List()[indices[i]].x);
  }
  GL->glEnd();
}

std::string TFGIndexTexCoordList::IndexFault(const TMeshObject& mesh) const {
  if (FTexCoords->Count() != VertexIndices().Count())
    return std::to_string(FTexCoords->Count()) + " texture coordinates for " +
           std::to_string(VertexIndices().Count()) + " vertex indices";
  return TFGVertexIndexList::IndexFault(mesh);
}

void TFGIndexTexCoordList::WriteFields(TVirtualWriter& writer) const {
  TFGVertexIndexList::WriteFields(writer);
  writer.WriteInteger(0);
  FTexCoords->WriteFields(writer);
}

void TFGIndexTexCoordList::ReadFields(TVirtualReader& reader) {
  TFGVertexIndexList::ReadFields(reader);
  ReadVersion0(*this, reader);
  FTexCoords->ReadFields(reader);
}

// ---------------------------------------------------------------------------
// TFaceGroups

void TFaceGroups::AppendTriangles(TAffineVectorList& list) const {
  for (int i = 0; i < Count(); ++i) Items(i).AppendTriangles(list);
}
