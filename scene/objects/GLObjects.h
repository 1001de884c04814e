#pragma once
// The standard scene objects as a whole: the invisible grouping cube that places
// its children, the wire cube it (and a line's node markers) draws, and the
// start-up registration that lets layouts make every standard object by name.
// The objects themselves: quadrics and the arrow line (GLQuadrics.h), lines
// (GLLines.h), torus, teapot and dodecahedron (GLSolids.h), plane and sprite
// (GLPlanes.h), cube and frustum (GLBoxes.h), polygon (GLPolygon.h).
//
//   auto& group = scene.Objects().AddChild(std::make_unique<TDummyCube>(nullptr));
//   group.AddChild(std::make_unique<TSphere>(nullptr));   // moves with the group

#include "scene/GLColor.h"
#include "scene/GLSceneObjects.h"

#include <cstdint>

// Which way the normals of a closed shape point: into it or out of it.
enum TNormalDirection : std::uint8_t { ndInside, ndOutside };

// Stores `value` when it differs and marks the object's drawing stale: the
// setter of most standard-object properties.
template <class T>
void StoreAndRebuild(TGLBaseSceneObject& object, T& field, T value) {
  if (StoreChanged(field, value)) object.MarkStructureDirty();
}

// The ray taken into an object's frame: the start as a point, the vector as a
// direction (not normalised).
struct TLocalRay {
  TVector Start, Vector;
};
TLocalRay LocalRay(const TGLBaseSceneObject& object, const TVector& rayStart, const TVector& rayVector);
// A local hit point and normal handed out in world coordinates.
void PutHit(const TGLBaseSceneObject& object, const TVector& point, const TVector& normal, TVector* intersectPoint,
            TVector* intersectNormal);
// `half` multiplied component by component by the object's Scale.
TVector ScaledHalfExtents(const TGLBaseSceneObject& object, const TVector& half);

// The twelve edges of the axis-aligned cube of edge `size` round the origin, in
// `color`, unlit, smooth; `stippled` draws them dashed and blended.
void DrawWireCube(bool stippled, const TVector& color, float size);

// A grouping node: placed, scaled and turned like any object, holding children,
// never hit by rays, and drawn (as a dashed wire cube) only when asked to.
class TDummyCube : public TGLImmaterialSceneObject {
  BRV_SCENE_OBJECT_CLASS(TDummyCube, TGLImmaterialSceneObject)

public:
  // Cube size 1, white edges, drawn every frame (no display list).
  explicit TDummyCube(TComponent* owner);

  float CubeSize() const { return FCubeSize; }
  void SetCubeSize(float value) { StoreAndRebuild(*this, FCubeSize, value); }
  TGLColor& EdgeColor() { return FEdgeColor; }
  const TGLColor& EdgeColor() const { return FEdgeColor; }
  void SetEdgeColor(const TGLColor& value);
  // Draw the wire cube in the running program too.
  bool VisibleAtRunTime() const { return FVisibleAtRunTime; }
  void SetVisibleAtRunTime(bool value) { StoreAndRebuild(*this, FVisibleAtRunTime, value); }

  // The mean of the children's barycentres (recursively through nested groups);
  // the cube's own world position without children.
  TVector WorldBarycentre() const override;
  // Scale x |CubeSize| / 2.
  TVector HalfExtents() const override;
  // Never hit.
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  // From another dummy cube: size, edge colour, run-time visibility; then the
  // material object's fields.
  void Assign(const TPersistent* source) override;

private:
  float FCubeSize = 1;
  TGLColor FEdgeColor;
  bool FVisibleAtRunTime = false;
};

// Start-up registration of the standard objects for layouts, in this order:
// TSphere, TCube, TFrustrum, TCylinder, TCone, TTorus, TTeapot, TDodecahedron,
// TDisk, TPlane, TSprite, TDummyCube, TLines, TAnnulus, TArrowLine, TPolygon.
// Running it again does nothing.
void InitializeGLObjects();
