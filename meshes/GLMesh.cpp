#include "meshes/GLMesh.h"

#include <cstring>

#include "scene/gl/GLStateCache.h"

TDriverMemory& VertexArrayDriverMemory() {
  static TDriverMemory memory;
  return memory;
}

// ---------------------------------------------------------------------------
// TVertexList

TVertexList::TVertexList(TPersistent* owner) : TGLUpdateAbleObject(owner) {}

TVertexList::~TVertexList() { SetLocked(false); }

void TVertexList::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TVertexList*>(source)) {
    BRV_ASSERT_MSG(!Locked(), "Cannot add to a locked list !");
    FRecords.assign(other->Data(), other->Data() + other->FCount);
    FRecords.resize(std::size_t(other->FCapacity));
    FCount = other->FCount;
    FCapacity = other->FCapacity;
    ReportChange(this);
    return;
  }
  TGLUpdateAbleObject::Assign(source);
}

const TVertexData& TVertexList::Items(int index) const {
  BRV_ASSERT_MSG(index >= 0 && index < FCount, "TVertexList::Items(): index " + std::to_string(index) + " of " +
                                                   std::to_string(FCount));
  return Data()[index];
}

void TVertexList::AddVertex(const TAffineVector& vertex, const TAffineVector& normal, const TVector& color,
                            const TTexPoint& texPoint) {
  if (FCount == FCapacity) Grow();
  Data()[FCount] = {texPoint, color, normal, vertex};
  ++FCount;
  ReportChange(this);
}

void TVertexList::Grow() {
  BRV_ASSERT_MSG(!Locked(), "Cannot add to a locked list !");
  FCapacity = CheckedAdd(FCapacity, GROWTH);
  FRecords.resize(std::size_t(FCapacity));
}

void TVertexList::SetLocked(bool value) {
  if (value == Locked()) return;
  const TDriverMemory& memory = VertexArrayDriverMemory();
  if (!GL->NV_vertex_array_range || !memory.Allocate || !memory.Free) return;
  if (value) {
    // Room for every record the list can take without growing: adding while locked
    // stays inside the driver's memory.
    const std::size_t bytes = std::size_t(FCapacity) * sizeof(TVertexData);
    if (bytes == 0) return;
    auto* records = static_cast<TVertexData*>(memory.Allocate(GLsizei(bytes), 0, 0, 0.5f));
    if (!records) return;
    std::memcpy(static_cast<void*>(records), FRecords.data(), bytes);
    FDriverRecords = records;
  } else {
    // What was added or changed while locked is kept.
    std::memcpy(static_cast<void*>(FRecords.data()), FDriverRecords, std::size_t(FCount) * sizeof(TVertexData));
    memory.Free(FDriverRecords);
    FDriverRecords = nullptr;
  }
}

void TVertexList::EnterLockSection() {
  if (!Locked()) return;
  GL->glVertexArrayRangeNV(GLsizei(std::size_t(FCount) * sizeof(TVertexData)), FDriverRecords);
  GL->glEnableClientState(GL_VERTEX_ARRAY_RANGE_NV);
}

void TVertexList::LeaveLockSection() {
  if (!Locked()) return;
  GL->glDisableClientState(GL_VERTEX_ARRAY_RANGE_NV);
  GL->glFlushVertexArrayRangeNV();
}

// ---------------------------------------------------------------------------
// TMesh

TMesh::TMesh(TComponent* owner) : TGLSceneObject(owner), FVertices(std::make_unique<TVertexList>(this)) {
  for (const TAffineVector& point : {TAffineVector{1, 0, 0}, TAffineVector{0, 1, 0}, TAffineVector{0, 0, 1}})
    FVertices->AddVertex(point, {0, 0, 1}, {0, 0, 0, 0}, {0, 0});
  FVertices->OnNotifyChange = [this](TObject*) { MarkStructureDirty(); };
}

TMesh::~TMesh() { FVertices.reset(); }

void TMesh::SetMode(TMeshMode value) {
  if (value == FMode) return;
  FMode = value;
  MarkStructureDirty();
}

void TMesh::SetVertexMode(TVertexMode value) {
  if (value == FVertexMode) return;
  FVertexMode = value;
  MarkStructureDirty();
}

void TMesh::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TMesh*>(source)) {
    FVertices->Assign(other->FVertices.get());
    FMode = other->FMode;
    FVertexMode = other->FVertexMode;
  }
  TGLSceneObject::Assign(source);
}

void TMesh::EmitGeometry(TRenderContextInfo&) {
  static constexpr GLenum PRIMITIVES[] = {GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_TRIANGLES,
                                          GL_QUAD_STRIP,     GL_QUADS,        GL_POLYGON};
  BRV_ASSERT_MSG(FVertexMode != vmVT, "Interleaved Array format not supported yet. Sorry.");
  BRV_ASSERT(FMode < std::size(PRIMITIVES));
  const bool directDraw = HasStyle(TGLObjectStyle::DirectDraw);
  if (directDraw) FVertices->EnterLockSection();
  GL->glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT);
  // The arrays that the interleaved call enables would otherwise stay enabled,
  // pointing into this list, for whatever draws next.
  GL->glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  constexpr GLsizei STRIDE = sizeof(TVertexData);
  switch (FVertexMode) {
    case vmV:
      GL->glInterleavedArrays(GL_V3F, STRIDE, FVertices->FirstVertex());
      break;
    case vmVN:
      GL->glInterleavedArrays(GL_N3F_V3F, STRIDE, FVertices->FirstNormal());
      break;
    case vmVNC:
      GL->glInterleavedArrays(GL_C4F_N3F_V3F, STRIDE, FVertices->FirstColor());
      break;
    default:  // vmVNCT and vmVNT: the whole record
      GL->glInterleavedArrays(GL_T2F_C4F_N3F_V3F, 0, FVertices->FirstTexPoint());
      break;
  }
  if (FVertexMode == vmVNC || FVertexMode == vmVNCT) {
    GL->glEnable(GL_COLOR_MATERIAL);
    GL->glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    ResetMaterialColorCache();
  }
  GL->glDrawArrays(PRIMITIVES[FMode], 0, FVertices->Count());
  GL->glPopClientAttrib();
  GL->glPopAttrib();
  if (directDraw) FVertices->LeaveLockSection();
}
