#pragma once
// Three standard objects that draw their own GL geometry into their display
// list: the torus (with a ray test), the teapot (bicubic patches through GL's
// evaluators) and the dodecahedron.
//
//   auto& ring = scene.Objects().AddChild(std::make_unique<TTorus>(nullptr));
//   ring.SetMajorRadius(2);   // round the local Z axis, in the XY plane

#include "scene/objects/GLObjects.h"

// A torus round the local Z axis, lying in the XY plane.
class TTorus : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TTorus, TGLSceneObject)

public:
  using TGLSceneObject::TGLSceneObject;

  float MajorRadius() const { return FMajorRadius; }
  void SetMajorRadius(float value) { StoreAndRebuild(*this, FMajorRadius, value); }
  float MinorRadius() const { return FMinorRadius; }
  void SetMinorRadius(float value) { StoreAndRebuild(*this, FMinorRadius, value); }
  // Divisions round the axis and round the tube; values below 2 are stored as 2.
  unsigned Rings() const { return FRings; }
  void SetRings(unsigned value);
  unsigned Sides() const { return FSides; }
  void SetSides(unsigned value);

  // The box the torus fills: (R + r, R + r, r) x Scale, R and r taken absolute.
  TVector HalfExtents() const override;
  // The nearest hit ahead of the ray's start; the normal points away from the
  // tube's centre circle and is not normalised. A miss leaves the outputs alone.
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  void EmitGeometry(TRenderContextInfo& rci) override;

private:
  float FMajorRadius = 0.4f;
  float FMinorRadius = 0.1f;
  unsigned FRings = 25;
  unsigned FSides = 15;
};

// The teapot of the computer-graphics tradition, about 0.9 wide, standing on y = -0.25.
class TTeapot : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TTeapot, TGLSceneObject)

public:
  using TGLSceneObject::TGLSceneObject;

  // Evaluation steps along each side of a patch; below 2 draws as 2.
  int GridResolution() const { return FGridResolution; }
  void SetGridResolution(int value) { StoreAndRebuild(*this, FGridResolution, value); }

  void EmitGeometry(TRenderContextInfo& rci) override;

private:
  int FGridResolution = 5;
};

// A regular dodecahedron round the origin, about 0.85 across.
class TDodecahedron : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TDodecahedron, TGLSceneObject)

public:
  using TGLSceneObject::TGLSceneObject;

  void EmitGeometry(TRenderContextInfo& rci) override;
};

// The dodecahedron's geometry: twelve flat-shaded pentagons (the line objects'
// node markers draw it too).
void DrawDodecahedron();
