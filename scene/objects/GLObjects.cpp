#include "scene/objects/GLObjects.h"

#include "scene/objects/GLBoxes.h"
#include "scene/objects/GLLines.h"
#include "scene/objects/GLPlanes.h"
#include "scene/objects/GLPolygon.h"
#include "scene/objects/GLQuadrics.h"
#include "scene/objects/GLSolids.h"

#include <cmath>

TLocalRay LocalRay(const TGLBaseSceneObject& object, const TVector& rayStart, const TVector& rayVector) {
  TVector vector = rayVector;
  vector.w = 0;
  return {object.WorldPointToLocal(rayStart), Vec4Transform(vector, object.InverseWorldMatrix())};
}

void PutHit(const TGLBaseSceneObject& object, const TVector& point, const TVector& normal, TVector* intersectPoint,
            TVector* intersectNormal) {
  if (intersectPoint) *intersectPoint = object.LocalPointToWorld({point.x, point.y, point.z, 1});
  if (intersectNormal) *intersectNormal = Vec4Transform({normal.x, normal.y, normal.z, 0}, object.WorldMatrix());
}

TVector ScaledHalfExtents(const TGLBaseSceneObject& object, const TVector& half) {
  TVector result = half;
  Vec4MultiplyComponentsInPlace(result, object.Scale().AsVector());
  return result;
}

void DrawWireCube(bool stippled, const TVector& color, float size) {
  const float h = 0.5f * size;
  GL->glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_LIGHTING_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  GL->glDisable(GL_LIGHTING);
  GL->glEnable(GL_LINE_SMOOTH);
  if (stippled) {
    GL->glEnable(GL_LINE_STIPPLE);
    GL->glEnable(GL_BLEND);
    GL->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GL->glLineStipple(1, 0xCCCC);
  }
  GL->glLineWidth(1);
  ResetMaterialColorCache();
  GL->glColorMaterial(GL_FRONT, GL_EMISSION);
  GL->glEnable(GL_COLOR_MATERIAL);
  GL->glColor4fv(&color.x);
  // Ten corners in one strip and the three edges it leaves out.
  GL->glBegin(GL_LINE_STRIP);
  const float strip[10][3] = {{h, -h, -h}, {h, h, -h},  {h, h, h},   {h, -h, h},  {h, -h, -h},
                              {-h, -h, -h}, {-h, -h, h}, {-h, h, h}, {-h, h, -h}, {h, h, -h}};
  for (const auto& v : strip) GL->glVertex3f(v[0], v[1], v[2]);
  GL->glEnd();
  GL->glBegin(GL_LINES);
  const float edges[6][3] = {{h, h, h}, {-h, h, h}, {-h, -h, -h}, {-h, h, -h}, {h, -h, h}, {-h, -h, h}};
  for (const auto& v : edges) GL->glVertex3f(v[0], v[1], v[2]);
  GL->glEnd();
  GL->glPopAttrib();
}

// ---------------------------------------------------------------------------
// TDummyCube

TDummyCube::TDummyCube(TComponent* owner) : TGLImmaterialSceneObject(owner), FEdgeColor(this, {1, 1, 1, 1}) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
}

void TDummyCube::SetEdgeColor(const TGLColor& value) {
  if (&value == &FEdgeColor) return;
  FEdgeColor.Assign(&value);
  MarkStructureDirty();
}

TVector TDummyCube::WorldBarycentre() const {
  if (Count() == 0) return WorldPosition();
  TVector sum = Children(0).WorldBarycentre();
  for (int i = 1; i < Count(); ++i) Vec4AddInPlace(sum, Children(i).WorldBarycentre());
  return Vec4Scaled(sum, 1.0f / float(Count()));
}

TVector TDummyCube::HalfExtents() const { return Vec4Scaled(Scale().AsVector(), std::fabs(FCubeSize) * 0.5f); }

bool TDummyCube::IntersectRay(const TVector&, const TVector&, TVector*, TVector*) const { return false; }

void TDummyCube::EmitGeometry(TRenderContextInfo&) {
  if ((ComponentState() & csDesigning) || FVisibleAtRunTime) DrawWireCube(true, FEdgeColor.Color(), FCubeSize);
}

void TDummyCube::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TDummyCube*>(source)) {
    FCubeSize = other->FCubeSize;
    FEdgeColor.SetColor(other->FEdgeColor.Color());
    FVisibleAtRunTime = other->FVisibleAtRunTime;
    ReportChange(this);
  }
  TGLImmaterialSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// Registration

void InitializeGLObjects() {
  const TClass* classes[] = {
      &TSphere::StaticClass(), &TCube::StaticClass(), &TFrustrum::StaticClass(), &TCylinder::StaticClass(),
      &TCone::StaticClass(), &TTorus::StaticClass(), &TTeapot::StaticClass(), &TDodecahedron::StaticClass(),
      &TDisk::StaticClass(), &TPlane::StaticClass(), &TSprite::StaticClass(), &TDummyCube::StaticClass(),
      &TLines::StaticClass(), &TAnnulus::StaticClass(), &TArrowLine::StaticClass(), &TPolygon::StaticClass()};
  for (const TClass* cls : classes) RegisterClass(*cls);
}
