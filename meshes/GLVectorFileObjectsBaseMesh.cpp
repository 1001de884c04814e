// The mesh scene objects: loading through the format registry, re-centring, drawing
// with the library's materials, and extent and ray queries.

#include "meshes/GLVectorFileObjectsBaseMesh.h"

#include "base/Strings.h"
#include "meshes/GLVectorFileObjectsFormats.h"

#include <cmath>

namespace {

// Holds the scene's change reports while a reader fills the lists: one report at the end.
class TSceneUpdate {
public:
  explicit TSceneUpdate(TGLScene* scene) : FScene(scene) {
    if (FScene) FScene->BeginUpdate();
  }
  ~TSceneUpdate() {
    try {
      if (FScene) FScene->EndUpdate();
    } catch (...) {
      // Nothing may leave a destructor; a reader's error is on its way.
    }
  }
  TSceneUpdate(const TSceneUpdate&) = delete;
  TSceneUpdate& operator=(const TSceneUpdate&) = delete;

private:
  TGLScene* FScene;
};

}  // namespace

TBaseMesh::TBaseMesh(TComponent* owner)
    : TGLSceneObject(owner),
      FMaterialLibrary([this] { MarkStructureDirty(); }),
      FMeshObjects(std::make_unique<TMeshObjectList>(this)),
      FSkeleton(std::make_unique<TSkeleton>(this)) {
  // Materials and face winding change while a mesh draws: the caches are unknown after it.
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::ResetStateCaches));
}

TBaseMesh::~TBaseMesh() {
  FSkeleton.reset();
  FMeshObjects.reset();
}

void TBaseMesh::SetNormalsOrientation(TMeshNormalsOrientation value) {
  if (value == FNormalsOrientation) return;
  FNormalsOrientation = value;
  MarkStructureDirty();
}

void TBaseMesh::SetMaterialLibrary(TGLMaterialLibrary* library) {
  if (library == FMaterialLibrary.Get()) return;
  DestroyHandles();
  FMaterialLibrary = library;
  MarkStructureDirty();
}

void TBaseMesh::SetUseMeshMaterials(bool value) {
  if (value == FUseMeshMaterials) return;
  FUseMeshMaterials = value;
  MarkStructureDirty();
}

void TBaseMesh::SetOverlaySkeleton(bool value) {
  if (value == FOverlaySkeleton) return;
  FOverlaySkeleton = value;
  ReportChange(this);
}

// ---------------------------------------------------------------------------
// Files

void TBaseMesh::PrepareReader(TVectorFile& reader) { reader.SetNormalsOrientation(FNormalsOrientation); }

std::unique_ptr<TVectorFile> TBaseMesh::CreateReader(const std::string& fileName, TMeshObjectList& meshObjects,
                                                     TSkeleton& skeleton) {
  const TDataFileClass& format = ModelFormats().FormatForFileName(fileName);
  std::unique_ptr<TVectorFile> reader(static_cast<TVectorFile*>(format.Create(this).release()));
  reader->SetResourceName(fileName);
  reader->SetTargets(meshObjects, skeleton);
  PrepareReader(*reader);
  return reader;
}

std::unique_ptr<TVectorFile> TBaseMesh::ReadInto(const std::string& fileName, TStream& stream,
                                                 TMeshObjectList& meshObjects, TSkeleton& skeleton) {
  std::unique_ptr<TVectorFile> reader = CreateReader(fileName, meshObjects, skeleton);
  TSceneUpdate update(Scene());
  reader->LoadFromStream(stream);
  // The last guard against a file whose faces name what it does not hold: drawn,
  // such a face would make GL read past the arrays.
  for (int i = 0; i < meshObjects.Count(); ++i)
    if (std::string fault = meshObjects.Items(i).IndexFault(); !fault.empty())
      throw EInvalidVectorFile(ExtractFileName(fileName) + ": mesh object " + std::to_string(i) + ": " + fault);
  return reader;
}

void TBaseMesh::LoadFromFile(const std::string& fileName) {
  if (fileName.empty()) return;
  ModelFormats().FormatForFileName(fileName);
  TFileStream stream(fileName, TFileMode::OpenRead);
  LoadFromStream(fileName, stream);
}

void TBaseMesh::LoadFromStream(const std::string& fileName, TStream& stream) {
  if (fileName.empty()) return;
  // Read into lists of their own: a file that fails leaves the model shown so far.
  auto meshObjects = std::make_unique<TMeshObjectList>(this);
  auto skeleton = std::make_unique<TSkeleton>(this);
  std::unique_ptr<TVectorFile> reader = ReadInto(fileName, stream, *meshObjects, *skeleton);
  FMeshObjects = std::move(meshObjects);
  FSkeleton = std::move(skeleton);
  reader->LoadFinished();
  ApplyAutoCentering();
  AfterLoad();
}

void TBaseMesh::SaveToFile(const std::string& fileName) {
  if (fileName.empty()) return;
  // The format is found before the file is touched; the old file stays until the
  // new one is complete.
  ModelFormats().FormatForFileName(fileName);
  TReplacingFileStream stream(fileName);
  SaveToStream(fileName, stream);
  stream.Commit();
}

void TBaseMesh::SaveToStream(const std::string& fileName, TStream& stream) {
  if (fileName.empty()) return;
  CreateReader(fileName, *FMeshObjects, *FSkeleton)->SaveToStream(stream);
}

void TBaseMesh::AppendFromFile(const std::string& fileName) {
  if (fileName.empty()) return;
  ModelFormats().FormatForFileName(fileName);
  TFileStream stream(fileName, TFileMode::OpenRead);
  AppendFromStream(fileName, stream);
}

void TBaseMesh::AppendFromStream(const std::string& fileName, TStream& stream) {
  if (fileName.empty()) return;
  TMeshObjectList meshObjects(this);
  std::unique_ptr<TVectorFile> reader = ReadInto(fileName, stream, meshObjects, *FSkeleton);
  FMeshObjects->TakeItemsOf(meshObjects);
  reader->LoadFinished();
  AfterLoad();
}

void TBaseMesh::ApplyAutoCentering() {
  TAffineVector delta{0, 0, 0};
  if (FAutoCentering & macUseBarycenter) {
    delta = Vec3Negated(VertexCentre());
  } else if (FAutoCentering & (macCenterX | macCenterY | macCenterZ)) {
    TAffineVector min, max;
    GetExtents(min, max);
    const TMeshAutoCentering flags[3] = {macCenterX, macCenterY, macCenterZ};
    for (int axis = 0; axis < 3; ++axis)
      if (FAutoCentering & flags[axis]) delta[axis] = -0.5f * (min[axis] + max[axis]);
  }
  FMeshObjects->Translate(delta);
}

void TBaseMesh::AfterLoad() { MarkStructureDirty(); }

void TBaseMesh::MarkStructureDirty() {
  FHalfExtents.x = -1;
  FMeshObjects->Prepare();
  TGLSceneObject::MarkStructureDirty();
}

void TBaseMesh::DestroyHandles() {
  if (TGLMaterialLibrary* library = FMaterialLibrary.Get()) library->DestroyHandles();
  TGLSceneObject::DestroyHandles();
}

// ---------------------------------------------------------------------------
// Queries

void TBaseMesh::GetExtents(TAffineVector& min, TAffineVector& max) const { FMeshObjects->GetExtents(min, max); }

TAffineVector TBaseMesh::VertexCentre() const {
  TAffineVector sum{0, 0, 0};
  int count = 0;
  for (int i = 0; i < FMeshObjects->Count(); ++i) FMeshObjects->Items(i).AddToVertexSum(sum, count);
  return count > 0 ? Vec3Scaled(sum, 1.0f / float(count)) : TAffineVector{0, 0, 0};
}

TVector TBaseMesh::HalfExtents() const {
  if (FHalfExtents.x < 0) {
    TAffineVector min, max;
    GetExtents(min, max);
    // Without vertices the extents are infinities inside out: the mesh has no size,
    // and infinite half extents would turn its bounding box into NaNs.
    for (int axis = 0; axis < 3; ++axis)
      FHalfExtents[axis] = min[axis] > max[axis] ? 0 : std::max(std::fabs(min[axis]), std::fabs(max[axis]));
  }
  return Vec4DirectionFromVec3(FHalfExtents);
}

bool TBaseMesh::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                             TVector* intersectNormal) const {
  const std::unique_ptr<TAffineVectorList> triangles = FMeshObjects->GetTriangles();
  const TVector localStart = WorldPointToLocal(Vec4PointFromVec3(Vec3Of(rayStart)));
  const TVector localVector = WorldPointToLocal(Vec4DirectionFromVec3(Vec3Of(rayVector)));
  const TAffineVector* corners = triangles->List();
  bool hit = false;
  float nearest = 0;
  TVector point{}, normal{};
  for (int i = 0; i + 3 <= triangles->Count(); i += 3) {
    TVector p, n;
    if (!IntersectRayTriangle(localStart, localVector, corners[i], corners[i + 1], corners[i + 2], &p, &n)) continue;
    const float distance = Vec3SquaredDistance(Vec3Of(localStart), Vec3Of(p));
    if (!hit || distance < nearest) {
      hit = true;
      nearest = distance;
      point = p;
      normal = n;
    }
  }
  if (!hit) return false;
  if (intersectPoint) *intersectPoint = LocalPointToWorld(point);
  if (intersectNormal) {
    TAffineVector worldNormal = SafeNormalized(Vec3Of(LocalPointToWorld(Vec4DirectionFromVec3(Vec3Of(normal)))));
    if (FNormalsOrientation == mnoInvert) Vec3NegateInPlace(worldNormal);
    *intersectNormal = Vec4DirectionFromVec3(worldNormal);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Drawing

void TBaseMesh::EmitGeometry(TRenderContextInfo& rci) {
  if (!rci.MaterialLibrary) {
    FMeshObjects->EmitGeometry(rci);
    return;
  }
  // The library's materials switch states on as they please: the enables are put
  // back, and with them the frame's record of them.
  const TGLStates states = rci.GLStates;
  GL->glPushAttrib(GL_ENABLE_BIT);
  struct TRestore {
    TRenderContextInfo& Rci;
    TGLStates States;
    ~TRestore() {
      try {
        GL->glPopAttrib();
      } catch (...) {
        // Nothing may leave a destructor; the drawing's own error is on its way.
      }
      Rci.GLStates = States;
    }
  } restore{rci, states};
  FMeshObjects->EmitGeometry(rci);
}

void TBaseMesh::RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (renderSelf) {
    switch (FNormalsOrientation) {
      case mnoDefault:
        break;
      case mnoInvert:
        FlipFrontFace();
        break;
      default:
        AssertionFailure("TBaseMesh::RenderNode(): unknown normals orientation", __FILE__, __LINE__);
    }
    // The winding and the frame's library are put back however the drawing ends.
    struct TRestore {
      TRenderContextInfo& Rci;
      bool Flipped;
      ~TRestore() {
        Rci.MaterialLibrary = nullptr;
        try {
          if (Flipped) FlipFrontFace();
        } catch (...) {
          // Nothing may leave a destructor; the drawing's own error is on its way.
        }
      }
    } restore{rci, FNormalsOrientation != mnoDefault};
    if (rci.IgnoreMaterials) {
      TGLBaseSceneObject::RenderNode(rci, true, false);
    } else {
      TGLMaterialLibrary* library = FMaterialLibrary.Get();
      rci.MaterialLibrary = FUseMeshMaterials ? library : nullptr;
      FMeshObjects->PrepareGroupMaterials(rci);
      // The mesh's own material around its drawing, as every material object has it.
      TGLSceneObject::RenderNode(rci, true, false);
    }
  }
  if (renderChildren && Count() > 0) RenderChildRange(0, Count() - 1, rci);
}

// ---------------------------------------------------------------------------
// TFreeForm

TFreeForm::TFreeForm(TComponent* owner) : TBaseMesh(owner) { SetUseMeshMaterials(true); }
