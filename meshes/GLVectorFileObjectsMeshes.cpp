// Mesh objects and the list of them: geometry queries, drawing, and their stored form;
// and the safe normalisation that the whole mesh layer shares.

#include "meshes/GLVectorFileObjectsMeshes.h"

#include "meshes/GLVectorFileObjectsBaseMesh.h"
#include "meshes/GLVectorFileObjectsFaceGroups.h"
#include "meshes/GLVectorFileObjectsSkeleton.h"
#include "scene/gl/XOpenGL.h"
#include "scene/texture/GLMaterial.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Raised for a stored value that cannot be: it says what was expected and what was found.
[[noreturn]] void RaiseBadValue(const std::string& what, long long found, const std::string& expected) {
  throw EReadError("Mesh object archive: " + what + " is " + std::to_string(found) + ", expected " + expected);
}

// Draws with a library material, once per pass it asks for; a drawing that fails
// still leaves the material balanced, so that the next frame can apply it again.
template <class TDraw>
void DrawWithLibMaterial(TGLLibMaterial& material, TRenderContextInfo& rci, TDraw draw) {
  material.Apply(rci);
  try {
    do draw();
    while (material.UnApply(rci));
  } catch (...) {
    try {
      material.UnApply(rci);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
}

// Restores GL's vertex-array state when the drawing ends: no array is left pointing
// into lists that may be freed before anything else draws.
class TClientArraysGuard {
public:
  TClientArraysGuard() { GL->glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT); }
  ~TClientArraysGuard() {
    try {
      GL->glPopClientAttrib();
    } catch (...) {
      // Nothing may leave a destructor; the drawing's own error is on its way.
    }
  }
  TClientArraysGuard(const TClientArraysGuard&) = delete;
  TClientArraysGuard& operator=(const TClientArraysGuard&) = delete;
};

// The number of the current drawing grouped by material: face groups drawn in it
// carry it as their render tag.
int RenderTagCounter = 0;

}  // namespace

TAffineVector SafeNormalized(const TAffineVector& v) {
  const float length = Vec3Length(v);
  // A length that is zero, or so small that its reciprocal overflows, has no direction.
  if (!(length > 0) || !std::isfinite(1 / length)) return v;
  return Vec3Scaled(v, 1 / length);
}

void NormalizeSafely(TAffineVectorList& list) {
  TAffineVector* items = list.List();
  for (int i = 0; i < list.Count(); ++i) items[i] = SafeNormalized(items[i]);
}

// ---------------------------------------------------------------------------
// TBaseMeshObject

TBaseMeshObject::TBaseMeshObject()
    : FVertices(std::make_unique<TAffineVectorList>()), FNormals(std::make_unique<TAffineVectorList>()) {}

void TBaseMeshObject::AddToVertexSum(TAffineVector& sum, int& count) const {
  Vec3AddInPlace(sum, FVertices->Sum());
  count = CheckedAdd(count, FVertices->Count());
}

void TBaseMeshObject::Translate(const TAffineVector& delta) { FVertices->Translate(delta); }

std::unique_ptr<TAffineVectorList> TBaseMeshObject::GetTriangles() const {
  auto triangles = std::make_unique<TAffineVectorList>();
  if (FVertices->Count() % 3 == 0) triangles->Assign(FVertices.get());
  return triangles;
}

void TBaseMeshObject::ComputeNormals(const TIntegerList& vertexIndices, TMeshObjectDrawMode mode) {
  BRV_ASSERT_MSG(mode == dmTriangles || mode == dmTriangleStrip, "ComputeNormals(): triangles or a strip only");
  const int vertexCount = FVertices->Count();
  FNormals->Clear();
  FNormals->AppendZeroed(vertexCount);
  const TAffineVector* points = FVertices->List();
  TAffineVector* normals = FNormals->List();
  auto corner = [&](int k) {
    const int v = vertexIndices.GetItem(k);
    BRV_ASSERT_MSG(v >= 0 && v < vertexCount, "ComputeNormals(): vertex index " + std::to_string(v) + " of " +
                                                  std::to_string(vertexCount) + " vertices");
    return v;
  };
  auto addFace = [&](int a, int b, int c) {
    const TAffineVector normal =
        SafeNormalized(Vec3Cross(Vec3Sub(points[b], points[a]), Vec3Sub(points[c], points[a])));
    for (int v : {a, b, c}) Vec3AddInPlace(normals[v], normal);
  };
  const int count = vertexIndices.Count();
  if (mode == dmTriangles) {
    for (int i = 0; i + 3 <= count; i += 3) addFace(corner(i), corner(i + 1), corner(i + 2));
  } else {
    // Every other triangle of a strip runs the other way round.
    for (int i = 0; i + 3 <= count; ++i)
      if (i % 2 == 0)
        addFace(corner(i), corner(i + 1), corner(i + 2));
      else
        addFace(corner(i), corner(i + 2), corner(i + 1));
  }
  NormalizeSafely(*FNormals);
}

void TBaseMeshObject::WriteFields(TVirtualWriter& writer) const {
  TPersistentObject::WriteFields(writer);
  writer.WriteInteger(1);
  writer.WriteString(FName);
  FVertices->WriteFields(writer);
  FNormals->WriteFields(writer);
  writer.WriteBoolean(FVisible);
}

void TBaseMeshObject::ReadFields(TVirtualReader& reader) {
  TPersistentObject::ReadFields(reader);
  const int version = reader.ReadInteger();
  if (version != 0 && version != 1) RaiseFilerException(version);
  FName = reader.ReadString();
  FVertices->ReadFields(reader);
  FNormals->ReadFields(reader);
  FVisible = version == 1 ? reader.ReadBoolean() : true;
}

// ---------------------------------------------------------------------------
// TMeshObject

TMeshObject::TMeshObject()
    : FTexCoords(std::make_unique<TAffineVectorList>()),
      FColors(std::make_unique<TVectorList>()),
      FFaceGroups(std::make_unique<TFaceGroups>(this)) {}

TMeshObject::~TMeshObject() {
  FFaceGroups.reset();
  LeaveOwnerList(this);
}

TMeshObject& TMeshObject::CreateOwned(TMeshObjectList& owner) { return owner.Add(); }

TMeshObjectList* TMeshObject::Owner() const { return static_cast<TMeshObjectList*>(OwnerList()); }

std::unique_ptr<TAffineVectorList> TMeshObject::GetTriangles() const {
  switch (FMode) {
    case dmTriangles:
      return TBaseMeshObject::GetTriangles();
    case dmTriangleStrip: {
      auto triangles = std::make_unique<TAffineVectorList>();
      const int count = Vertices().Count();
      if (count < 3) return triangles;
      triangles->EnsureCapacity(CheckedMul(count - 2, 3));
      const TAffineVector* v = Vertices().List();
      for (int i = 0; i + 3 <= count; ++i)
        if (i % 2 == 0)
          triangles->Add3(v[i], v[i + 1], v[i + 2]);
        else
          triangles->Add3(v[i + 2], v[i + 1], v[i]);
      return triangles;
    }
    case dmFaceGroups: {
      auto triangles = std::make_unique<TAffineVectorList>();
      FFaceGroups->AppendTriangles(*triangles);
      return triangles;
    }
  }
  AssertionFailure("TMeshObject::GetTriangles(): unknown mode", __FILE__, __LINE__);
}

int TMeshObject::TriangleCount() const {
  switch (FMode) {
    case dmTriangles:
      return Vertices().Count() / 3;
    case dmTriangleStrip:
      return std::max(Vertices().Count() - 2, 0);
    case dmFaceGroups: {
      int count = 0;
      for (int i = 0; i < FFaceGroups->Count(); ++i) count = CheckedAdd(count, FFaceGroups->Items(i).TriangleCount());
      return count;
    }
  }
  AssertionFailure("TMeshObject::TriangleCount(): unknown mode", __FILE__, __LINE__);
}

void TMeshObject::GetExtents(TAffineVector& min, TAffineVector& max) const { Vertices().GetExtents(min, max); }

void TMeshObject::Prepare() {
  for (int i = 0; i < FFaceGroups->Count(); ++i) FFaceGroups->Items(i).Prepare();
}

bool TMeshObject::ContainsPoint(const TAffineVector& point) const {
  TAffineVector min, max;
  GetExtents(min, max);
  return min.x <= point.x && point.x <= max.x && min.y <= point.y && point.y <= max.y && min.z <= point.z &&
         point.z <= max.z;
}

void TMeshObject::PrepareGroupMaterials(TRenderContextInfo& rci) {
  if (FMode != dmFaceGroups || !rci.MaterialLibrary) return;
  for (int i = 0; i < FFaceGroups->Count(); ++i)
    if (TGLLibMaterial* material = rci.MaterialLibrary->Materials().LibMaterialNamed(FFaceGroups->Items(i).MaterialName()))
      material->PrepareBuildList();
}

void TMeshObject::DeclareArrays() {
  if (FArraysDeclared) return;
  const int count = Vertices().Count();
  // An array shorter than the vertices would be read past its end.
  auto declare = [count](GLenum array, int items, auto point) {
    if (items == 0 || items != count) {
      GL->glDisableClientState(array);
      return;
    }
    GL->glEnableClientState(array);
    point();
  };
  declare(GL_VERTEX_ARRAY, count, [&] { GL->glVertexPointer(3, GL_FLOAT, 0, Vertices().List()); });
  declare(GL_NORMAL_ARRAY, Normals().Count(), [&] { GL->glNormalPointer(GL_FLOAT, 0, Normals().List()); });
  declare(GL_COLOR_ARRAY, FColors->Count(), [&] { GL->glColorPointer(4, GL_FLOAT, 0, FColors->List()); });
  if (FTexCoords->Count() == 0 || FTexCoords->Count() != count) {
    xglDisableClientState(GL_TEXTURE_COORD_ARRAY);
  } else {
    xglEnableClientState(GL_TEXTURE_COORD_ARRAY);
    // (s, t, 0) items: two singles read, the third skipped.
    xglTexCoordPointer(2, GL_FLOAT, sizeof(TAffineVector), FTexCoords->List());
  }
  FArraysDeclared = true;
}

void TMeshObject::EmitGeometry(TRenderContextInfo& rci) {
  FArraysDeclared = false;
  TClientArraysGuard arrays;
  switch (FMode) {
    case dmTriangles:
    case dmTriangleStrip: {
      const int count = Vertices().Count();
      if (count == 0) return;
      DeclareArrays();
      const bool normals = Normals().Count() == count;
      const bool texCoords = FTexCoords->Count() == count;
      const bool colors = FColors->Count() == count;
      if (colors) {
        GL->glPushAttrib(GL_ENABLE_BIT);
        GL->glEnable(GL_COLOR_MATERIAL);
        GL->glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        ResetMaterialColorCache();
      }
      GL->glBegin(FMode == dmTriangles ? GL_TRIANGLES : GL_TRIANGLE_STRIP);
      for (int i = 0; i < count; ++i) {
        if (normals) GL->glNormal3fv(&Normals().List()[i].x);
        if (texCoords) xglTexCoord2fv(&FTexCoords->List()[i].x);
        if (colors) GL->glColor4fv(&FColors->List()[i].x);
        GL->glVertex3fv(&Vertices().List()[i].x);
      }
      GL->glEnd();
      if (colors) GL->glPopAttrib();
      return;
    }
    case dmFaceGroups:
      break;
    default:
      AssertionFailure("TMeshObject::EmitGeometry(): unknown mode", __FILE__, __LINE__);
  }

  TFaceGroups& groups = *FFaceGroups;
  TGLMaterialLibrary* library = rci.MaterialLibrary;
  auto libMaterial = [library](const TFaceGroup& group) {
    return library->Materials().LibMaterialNamed(group.MaterialName());
  };
  if (!library) {
    for (int i = 0; i < groups.Count(); ++i) groups.Items(i).EmitGeometry(rci);
  } else if (!(FOptions & DrawByMaterial)) {
    for (int i = 0; i < groups.Count(); ++i) {
      TFaceGroup& group = groups.Items(i);
      if (TGLLibMaterial* material = libMaterial(group))
        DrawWithLibMaterial(*material, rci, [&] { group.EmitGeometry(rci); });
      else
        group.EmitGeometry(rci);
    }
  } else {
    // Each material is applied once, for all the groups that name it.
    const int tag = ++RenderTagCounter;
    for (int i = 0; i < groups.Count(); ++i) {
      if (groups.Items(i).RenderTag() == tag) continue;
      const std::string name = groups.Items(i).MaterialName();
      auto drawRun = [&] {
        for (int j = i; j < groups.Count(); ++j) {
          TFaceGroup& group = groups.Items(j);
          if (group.RenderTag() != tag && group.MaterialName() == name) group.EmitGeometry(rci);
        }
      };
      if (TGLLibMaterial* material = libMaterial(groups.Items(i)))
        DrawWithLibMaterial(*material, rci, drawRun);
      else
        drawRun();
      for (int j = i; j < groups.Count(); ++j)
        if (groups.Items(j).MaterialName() == name) groups.Items(j).SetRenderTag(tag);
    }
  }
}

std::string TMeshObject::IndexFault() const {
  for (int i = 0; i < FFaceGroups->Count(); ++i)
    if (std::string fault = FFaceGroups->Items(i).IndexFault(*this); !fault.empty())
      return "face group " + std::to_string(i) + " of mesh object \"" + Name() + "\": " + fault;
  return {};
}

void TMeshObject::WriteFields(TVirtualWriter& writer) const {
  TBaseMeshObject::WriteFields(writer);
  writer.WriteInteger(0);
  FTexCoords->WriteFields(writer);
  FColors->WriteFields(writer);
  FFaceGroups->WriteFields(writer);
  writer.WriteInteger(FMode);
  writer.WriteInteger(sizeof FOptions);
  writer.Write(&FOptions, sizeof FOptions);
}

void TMeshObject::ReadFields(TVirtualReader& reader) {
  TBaseMeshObject::ReadFields(reader);
  if (int version = reader.ReadInteger(); version != 0) RaiseFilerException(version);
  FTexCoords->ReadFields(reader);
  FColors->ReadFields(reader);
  FFaceGroups->ReadFields(reader);
  const int mode = reader.ReadInteger();
  if (mode < dmTriangles || mode > dmFaceGroups) RaiseBadValue("the draw mode", mode, "0 to 2");
  FMode = static_cast<TMeshObjectDrawMode>(mode);
  if (int size = reader.ReadInteger(); size != sizeof FOptions) RaiseBadValue("the size of the options", size, "1");
  reader.Read(&FOptions, sizeof FOptions);
  // Indices that name nothing would be drawn from beyond the arrays.
  if (std::string fault = IndexFault(); !fault.empty()) throw EReadError("Mesh object archive: " + fault);
}

// ---------------------------------------------------------------------------
// TMeshObjectList

void TMeshObjectList::PrepareGroupMaterials(TRenderContextInfo& rci) {
  for (int i = 0; i < Count(); ++i)
    if (Items(i).Visible()) Items(i).PrepareGroupMaterials(rci);
}

void TMeshObjectList::EmitGeometry(TRenderContextInfo& rci) {
  for (int i = 0; i < Count(); ++i)
    if (Items(i).Visible()) Items(i).EmitGeometry(rci);
}

void TMeshObjectList::GetExtents(TAffineVector& min, TAffineVector& max) const {
  constexpr float inf = std::numeric_limits<float>::infinity();
  min = {inf, inf, inf};
  max = {-inf, -inf, -inf};
  for (int i = 0; i < Count(); ++i) {
    TAffineVector objectMin, objectMax;
    Items(i).GetExtents(objectMin, objectMax);
    min = {std::min(min.x, objectMin.x), std::min(min.y, objectMin.y), std::min(min.z, objectMin.z)};
    max = {std::max(max.x, objectMax.x), std::max(max.y, objectMax.y), std::max(max.z, objectMax.z)};
  }
}

void TMeshObjectList::Translate(const TAffineVector& delta) {
  for (int i = 0; i < Count(); ++i) Items(i).Translate(delta);
}

std::unique_ptr<TAffineVectorList> TMeshObjectList::GetTriangles() const {
  auto triangles = std::make_unique<TAffineVectorList>();
  for (int i = 0; i < Count(); ++i) triangles->AddList(Items(i).GetTriangles().get());
  return triangles;
}

int TMeshObjectList::TriangleCount() const {
  int count = 0;
  for (int i = 0; i < Count(); ++i) count = CheckedAdd(count, Items(i).TriangleCount());
  return count;
}

void TMeshObjectList::Prepare() {
  for (int i = 0; i < Count(); ++i) Items(i).Prepare();
}

void TMeshObjectList::SelectMorphTarget(int index) {
  for (int i = 0; i < Count(); ++i)
    if (auto* morphable = dynamic_cast<TMorphableMeshObject*>(&Items(i))) morphable->SelectMorphTarget(index);
}

void TMeshObjectList::Lerp(int index1, int index2, float factor) {
  for (int i = 0; i < Count(); ++i)
    if (auto* morphable = dynamic_cast<TMorphableMeshObject*>(&Items(i))) morphable->Lerp(index1, index2, factor);
}

int TMeshObjectList::CommonTargetCount() const {
  int common = -1;
  for (int i = 0; i < Count(); ++i)
    if (auto* morphable = dynamic_cast<const TMorphableMeshObject*>(&Items(i))) {
      const int count = morphable->MorphTargets().Count();
      common = common < 0 ? count : std::min(common, count);
    }
  return std::max(common, 0);
}

void TMeshObjectList::ReadFields(TVirtualReader& reader) {
  // Read aside, and taken only when every skeleton mesh object finds its bones.
  TMeshObjectList read(Owner());
  read.TOwnerObjectList::ReadFields(reader);
  TSkeleton* skeleton = Owner() ? &Owner()->Skeleton() : nullptr;
  if (skeleton)
    for (int i = 0; i < read.Count(); ++i)
      if (auto* mesh = dynamic_cast<const TSkeletonMeshObject*>(&read.Items(i)))
        if (std::string fault = mesh->BoneFault(*skeleton); !fault.empty())
          throw EReadError("Mesh object archive: skeleton mesh object \"" + mesh->Name() + "\": " + fault);
  Clear();
  TakeItemsOf(read);
  if (skeleton)
    for (int i = 0; i < Count(); ++i)
      if (auto* mesh = dynamic_cast<TSkeletonMeshObject*>(&Items(i))) mesh->BuildBoneSpaceCopies(*skeleton);
}
