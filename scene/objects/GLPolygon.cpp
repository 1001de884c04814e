#include "scene/objects/GLPolygon.h"

// ---------------------------------------------------------------------------
// TPolygonBase

TPolygonBase::TPolygonBase(TComponent* owner, const TCollectionItemClass& nodeClass)
    : TGLSceneObject(owner), FNodes(this, nodeClass) {}

void TPolygonBase::SetNodes(const TGLNodes& value) {
  FNodes.Assign(&value);
  MarkStructureDirty();
}

void TPolygonBase::ReportChange(TObject* sender) {
  if (sender == &FNodes) MarkStructureDirty();
  TGLSceneObject::ReportChange(sender);
}

void TPolygonBase::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TPolygonBase*>(source)) {
    FNodes.Assign(&other->FNodes);
    FDivision = other->FDivision;
    FSplineMode = other->FSplineMode;
    MarkStructureDirty();
  }
  TGLSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TPolygon

void TPolygon::EmitGeometry(TRenderContextInfo&) {
  const TGLNodes& nodes = Nodes();
  if (nodes.Count() < 2) return;
  TAffineVector normal = nodes.Normal();
  const bool hasNormal = normal.x != 0 || normal.y != 0 || normal.z != 0;
  const int divisions = SplineMode() == lsmLines ? 1 : Division();
  // The tesselation keeps the points it makes in storage of its own and raises
  // a failure only once the tesselator is done with.
  if (FParts & ppTop) RenderTesselatedPolygon(nodes, true, hasNormal ? &normal : nullptr, divisions, false);
  if (FParts & ppBottom) {
    Vec3NegateInPlace(normal);
    RenderTesselatedPolygon(nodes, true, hasNormal ? &normal : nullptr, divisions, true);
  }
}

void TPolygon::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TPolygon*>(source)) FParts = other->FParts;
  TPolygonBase::Assign(source);
}
