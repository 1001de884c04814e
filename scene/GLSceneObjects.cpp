#include "scene/GLSceneObjects.h"

#include "scene/gl/XOpenGL.h"

// ---------------------------------------------------------------------------
// TGLCustomSceneObject

TGLCustomSceneObject::TGLCustomSceneObject(TComponent* owner) : TGLBaseSceneObject(owner), FMaterial(this) {}

void TGLCustomSceneObject::SetMaterial(const TGLMaterial& value) {
  FMaterial.Assign(&value);
  ReportChange(this);
}

void TGLCustomSceneObject::RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (renderSelf) {
    if (rci.IgnoreMaterials) {
      TGLBaseSceneObject::RenderNode(rci, true, false);
    } else {
      FMaterial.Apply(rci);
      try {
        do {
          TGLBaseSceneObject::RenderNode(rci, true, false);
        } while (FMaterial.UnApply(rci));
      } catch (...) {
        // A drawing that failed still leaves the material (and its shader)
        // balanced, so that the next frame can apply it again.
        try {
          FMaterial.UnApply(rci);
        } catch (...) {
          // The first failure is the one to report.
        }
        throw;
      }
    }
  }
  if (renderChildren && Count() > 0) RenderChildRange(0, Count() - 1, rci);
}

bool TGLCustomSceneObject::Blended() const { return FMaterial.Blended(); }

void TGLCustomSceneObject::DestroyHandles() {
  TGLBaseSceneObject::DestroyHandles();
  FMaterial.DestroyHandles();
}

void TGLCustomSceneObject::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TGLCustomSceneObject*>(source)) {
    FMaterial.Assign(&other->FMaterial);
    FHint = other->FHint;
  }
  TGLBaseSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TDirectOpenGL

TDirectOpenGL::TDirectOpenGL(TComponent* owner) : TGLImmaterialSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw) | StyleBit(TGLObjectStyle::ResetStateCaches));
}

void TDirectOpenGL::SetUseBuildList(bool value) {
  if (value == FUseBuildList) return;
  FUseBuildList = value;
  if (value)
    SetObjectStyle(ObjectStyle() & ~StyleBit(TGLObjectStyle::DirectDraw));
  else
    SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
  MarkStructureDirty();
}

void TDirectOpenGL::EmitGeometry(TRenderContextInfo& rci) {
  if (!OnRender) return;
  XGLMapToMain();
  OnRender(this, rci);
}

void TDirectOpenGL::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TDirectOpenGL*>(source)) SetUseBuildList(other->FUseBuildList);
  TGLImmaterialSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TGLProxyObject

TGLProxyObject::TGLProxyObject(TComponent* owner) : TGLBaseSceneObject(owner), FMasterObject([this] {
  MarkStructureDirty();
}) {}

void TGLProxyObject::SetMasterObject(TGLBaseSceneObject* master) {
  if (master == FMasterObject.Get()) return;
  FMasterObject = master;
  MarkStructureDirty();
}

void TGLProxyObject::SetProxyOptions(TGLProxyObjectOptions value) {
  if (value == FProxyOptions) return;
  FProxyOptions = value;
  MarkStructureDirty();
}

void TGLProxyObject::RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (FRendering) return;
  TScopedFlag rendering(FRendering);
  TGLBaseSceneObject* master = FMasterObject.Get();
  if (master && (FProxyOptions & pooObjects)) {
    // Picking names both the proxy and the master's parts. The master's matrix
    // stays with the master's drawing: the proxy's own children are placed by
    // the proxy alone.
    struct TRestore {
      TRenderContextInfo& Rci;
      bool PushPickNames;
      ~TRestore() {
        Rci.PushPickNames = PushPickNames;
        try {
          GL->glPopMatrix();
        } catch (...) {
          // Nothing may leave a destructor; the caller's own error is on its way.
        }
      }
    };
    GL->glPushMatrix();
    TRestore restore{rci, rci.PushPickNames};
    rci.PushPickNames = true;
    if (FProxyOptions & pooTransformation) GL->glMultMatrixf(&master->LocalMatrix()[0].x);
    master->RenderNode(rci, renderSelf, renderChildren);
  }
  if (renderChildren && Count() > 0) RenderChildRange(0, Count() - 1, rci);
  if (master && (FProxyOptions & pooEffects) && master->StoresEffects())
    master->Effects().RenderPostEffects(Scene() ? Scene()->CurrentBuffer() : nullptr, rci);
  ExcludeChange(TGLChange::ListStale);
}

TVector TGLProxyObject::HalfExtents() const {
  const TGLBaseSceneObject* master = FMasterObject.Get();
  if (!master || FQuerying) return TGLBaseSceneObject::HalfExtents();
  TScopedFlag querying(FQuerying);
  TVector half = master->HalfExtents();
  Vec4MultiplyComponentsInPlace(half, Scale().AsVector());
  return half;
}

bool TGLProxyObject::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                                  TVector* intersectNormal) const {
  const TGLBaseSceneObject* master = FMasterObject.Get();
  if (!master || FQuerying) return false;
  TScopedFlag querying(FQuerying);
  // The proxy's frame stands for the frame the master is drawn in: its parent's
  // when the proxy adds the master's own placement, else the master's own.
  const TGLBaseSceneObject* frame = master;
  if (FProxyOptions & pooTransformation) {
    frame = master->Parent();
    if (dynamic_cast<const TGLSceneRootObject*>(frame)) frame = nullptr;
  }
  auto toMaster = [&](const TVector& v) { return frame ? Vec4Transform(v, frame->WorldMatrix()) : v; };
  auto fromMaster = [&](const TVector& v) { return frame ? Vec4Transform(v, frame->InverseWorldMatrix()) : v; };
  const TVector start = toMaster(WorldPointToLocal(rayStart));
  TVector direction = Vec4SubAsDirection(toMaster(WorldPointToLocal(Vec4Add(rayStart, rayVector))), start);
  Vec4NormalizeXYZInPlace(direction);
  TVector point, normal;
  if (!master->IntersectRay(start, direction, &point, &normal)) return false;
  if (intersectPoint) *intersectPoint = LocalPointToWorld(fromMaster(point));
  if (intersectNormal) {
    normal.w = 0;
    *intersectNormal = Vec4Transform(fromMaster(normal), WorldMatrix());
    Vec4NormalizeXYZInPlace(*intersectNormal);
  }
  return true;
}

void TGLProxyObject::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TGLProxyObject*>(source)) {
    SetMasterObject(other->FMasterObject.Get());
    SetProxyOptions(other->FProxyOptions);
  }
  TGLBaseSceneObject::Assign(source);
}
