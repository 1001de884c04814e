#pragma once
// The curved standard objects: the sphere, which draws its own triangles, and
// the disk, cone, cylinder, annulus and arrow line, drawn with GLU quadrics. All
// carry a material and draw into their display list.
//
//   auto& post = scene.Objects().AddChild(std::make_unique<TCylinder>(nullptr));
//   post.SetHeight(3);              // along the local Y axis, centred on the origin
//   post.SetParts(cySides | cyTop);

#include "scene/objects/GLObjects.h"

#include <cstdint>

enum TNormalSmoothing : std::uint8_t { nsFlat, nsSmooth, nsNone };
// A sphere's cap where it stops short of a pole: none, a cone to the centre, or flat.
enum TCapType : std::uint8_t { ctNone, ctCenter, ctFlat };
// Degrees of latitude, -90..90, and of longitude, 0..360.
using TAngleLimit1 = int;
using TAngleLimit2 = int;

// Sets of parts, one bit each.
enum TConePart : std::uint8_t { coSides = 0x01, coBottom = 0x02 };
using TConeParts = std::uint8_t;
enum TCylinderPart : std::uint8_t { cySides = 0x01, cyBottom = 0x02, cyTop = 0x04 };
using TCylinderParts = std::uint8_t;
enum TAnnulusPart : std::uint8_t { anInnerSides = 0x01, anOuterSides = 0x02, anBottom = 0x04, anTop = 0x08 };
using TAnnulusParts = std::uint8_t;
enum TCylinderAlignment : std::uint8_t { caCenter, caTop, caBottom };
enum TArrowLinePart : std::uint8_t { alLine = 0x01, alTopArrow = 0x02, alBottomArrow = 0x04 };
using TArrowLineParts = std::uint8_t;
// How far the arrow heads reach back into the arrow's height: not at all, half
// their length, or wholly.
enum TArrowHeadStackingStyle : std::uint8_t { ahssStacked, ahssCentered, ahssIncluded };

// The base of the quadric family: how normals are made and which way they point.
class TQuadricObject : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TQuadricObject, TGLSceneObject)

public:
  explicit TQuadricObject(TComponent* owner) : TGLSceneObject(owner) {}

  TNormalSmoothing Normals() const { return FNormals; }
  void SetNormals(TNormalSmoothing value) { StoreAndRebuild(*this, FNormals, value); }
  TNormalDirection NormalDirection() const { return FNormalDirection; }
  void SetNormalDirection(TNormalDirection value) { StoreAndRebuild(*this, FNormalDirection, value); }

  void Assign(const TPersistent* source) override;

private:
  TNormalSmoothing FNormals = nsSmooth;
  TNormalDirection FNormalDirection = ndOutside;
};

// A sphere round the origin with its poles on the Y axis, or the part of it
// between two latitudes and two longitudes, with optional caps.
class TSphere : public TQuadricObject {
  BRV_SCENE_OBJECT_CLASS(TSphere, TQuadricObject)

public:
  using TQuadricObject::TQuadricObject;

  float Radius() const { return FRadius; }
  void SetRadius(float value) { StoreAndRebuild(*this, FRadius, value); }
  // 0 is stored as 1.
  int Slices() const { return FSlices; }
  void SetSlices(int value);
  int Stacks() const { return FStacks; }
  void SetStacks(int value);
  // Latitudes -90..90 and longitudes 0..360 in degrees; a value outside raises
  // ERangeError. A Start above Stop (or a Stop below Start) is an assertion failure
  // and changes nothing.
  TAngleLimit1 Top() const { return FTop; }
  void SetTop(TAngleLimit1 value);
  TAngleLimit1 Bottom() const { return FBottom; }
  void SetBottom(TAngleLimit1 value);
  TAngleLimit2 Start() const { return FStart; }
  void SetStart(TAngleLimit2 value);
  TAngleLimit2 Stop() const { return FStop; }
  void SetStop(TAngleLimit2 value);
  TCapType TopCap() const { return FTopCap; }
  void SetTopCap(TCapType value) { StoreAndRebuild(*this, FTopCap, value); }
  TCapType BottomCap() const { return FBottomCap; }
  void SetBottomCap(TCapType value) { StoreAndRebuild(*this, FBottomCap, value); }

  // Scale x |Radius|.
  TVector HalfExtents() const override;
  // Against the whole sphere, whatever its limits and caps; the normal is not
  // normalised.
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  // Radius, slices, stacks and the four limits (not the caps).
  void Assign(const TPersistent* source) override;

private:
  // One cap: a fan from the pole (or the centre) to the rim at `latitude`.
  void EmitCap(bool top, float latitude, TCapType cap, bool inward) const;

  float FRadius = 0.5f;
  int FSlices = 16;
  int FStacks = 16;
  TAngleLimit1 FTop = 90;
  TAngleLimit1 FBottom = -90;
  TAngleLimit2 FStart = 0;
  TAngleLimit2 FStop = 360;
  TCapType FTopCap = ctNone;
  TCapType FBottomCap = ctNone;
};

// A flat ring (or disk, or a slice of one) in the local XY plane.
class TDisk : public TQuadricObject {
  BRV_SCENE_OBJECT_CLASS(TDisk, TQuadricObject)

public:
  using TQuadricObject::TQuadricObject;

  float StartAngle() const { return FStartAngle; }
  void SetStartAngle(float value) { StoreAndRebuild(*this, FStartAngle, value); }
  float SweepAngle() const { return FSweepAngle; }
  void SetSweepAngle(float value) { StoreAndRebuild(*this, FSweepAngle, value); }
  float OuterRadius() const { return FOuterRadius; }
  void SetOuterRadius(float value) { StoreAndRebuild(*this, FOuterRadius, value); }
  float InnerRadius() const { return FInnerRadius; }
  void SetInnerRadius(float value) { StoreAndRebuild(*this, FInnerRadius, value); }
  int Slices() const { return FSlices; }
  void SetSlices(int value) { StoreAndRebuild(*this, FSlices, value); }
  int Loops() const { return FLoops; }
  void SetLoops(int value) { StoreAndRebuild(*this, FLoops, value); }

  // (|OuterRadius| Scale.X, |OuterRadius| Scale.Y, 0, 0).
  TVector HalfExtents() const override;
  // Against the whole ring, whatever its angles; the normal is the disk's axis.
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  void Assign(const TPersistent* source) override;

private:
  float FStartAngle = 0;
  float FSweepAngle = 360;
  float FOuterRadius = 0.5f;
  float FInnerRadius = 0;
  int FSlices = 16;
  int FLoops = 2;
};

// The base of the upright quadrics: a bottom radius, a height and the GLU divisions.
class TCylinderBase : public TQuadricObject {
  BRV_SCENE_OBJECT_CLASS(TCylinderBase, TQuadricObject)

public:
  using TQuadricObject::TQuadricObject;

  float BottomRadius() const { return FBottomRadius; }
  void SetBottomRadius(float value) { StoreAndRebuild(*this, FBottomRadius, value); }
  float Height() const { return FHeight; }
  void SetHeight(float value) { StoreAndRebuild(*this, FHeight, value); }
  int Slices() const { return FSlices; }
  void SetSlices(int value) { StoreAndRebuild(*this, FSlices, value); }
  int Stacks() const { return FStacks; }
  void SetStacks(int value) { StoreAndRebuild(*this, FStacks, value); }
  // A value below 1 is ignored.
  int Loops() const { return FLoops; }
  void SetLoops(int value);

  void Assign(const TPersistent* source) override;

private:
  float FBottomRadius = 0.5f;
  int FSlices = 16;
  int FStacks = 4;
  int FLoops = 1;
  float FHeight = 1;
};

// A cone standing on the XZ plane at y = -Height/2 with its apex at +Height/2.
class TCone : public TCylinderBase {
  BRV_SCENE_OBJECT_CLASS(TCone, TCylinderBase)

public:
  using TCylinderBase::TCylinderBase;

  TConeParts Parts() const { return FParts; }
  void SetParts(TConeParts value) { StoreAndRebuild(*this, FParts, value); }

  // (r Scale.X, Height/2 Scale.Y, r Scale.Z, 0), r = |BottomRadius|.
  TVector HalfExtents() const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  void Assign(const TPersistent* source) override;

private:
  TConeParts FParts = coSides | coBottom;
};

// A cylinder (or truncated cone) along the local Y axis, placed on the origin by
// its centre, its top or its bottom.
class TCylinder : public TCylinderBase {
  BRV_SCENE_OBJECT_CLASS(TCylinder, TCylinderBase)

public:
  using TCylinderBase::TCylinderBase;

  TCylinderParts Parts() const { return FParts; }
  void SetParts(TCylinderParts value) { StoreAndRebuild(*this, FParts, value); }
  float TopRadius() const { return FTopRadius; }
  void SetTopRadius(float value) { StoreAndRebuild(*this, FTopRadius, value); }
  TCylinderAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TCylinderAlignment value) { StoreAndRebuild(*this, FAlignment, value); }

  // (r, Height/2, r, 0) x Scale, r the larger of the two radii.
  TVector HalfExtents() const override;
  // Against the parts that are drawn, taken as a straight cylinder of radius
  // TopRadius; the nearest hit counts. The normal is not normalised.
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  // Parts and TopRadius (not the alignment).
  void Assign(const TPersistent* source) override;

private:
  TCylinderParts FParts = cySides | cyBottom | cyTop;
  float FTopRadius = 0.5f;
  TCylinderAlignment FAlignment = caCenter;
};

// A thick-walled tube along the local Y axis, centred on the origin.
class TAnnulus : public TCylinderBase {
  BRV_SCENE_OBJECT_CLASS(TAnnulus, TCylinderBase)

public:
  using TCylinderBase::TCylinderBase;

  TAnnulusParts Parts() const { return FParts; }
  void SetParts(TAnnulusParts value) { StoreAndRebuild(*this, FParts, value); }
  float BottomInnerRadius() const { return FBottomInnerRadius; }
  void SetBottomInnerRadius(float value) { StoreAndRebuild(*this, FBottomInnerRadius, value); }
  float TopInnerRadius() const { return FTopInnerRadius; }
  void SetTopInnerRadius(float value) { StoreAndRebuild(*this, FTopInnerRadius, value); }
  float TopRadius() const { return FTopRadius; }
  void SetTopRadius(float value) { StoreAndRebuild(*this, FTopRadius, value); }

  // As a cylinder of the outer radii.
  TVector HalfExtents() const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  void Assign(const TPersistent* source) override;

private:
  TAnnulusParts FParts = anInnerSides | anOuterSides | anBottom | anTop;
  float FBottomInnerRadius = 0.3f;
  float FTopInnerRadius = 0.3f;
  float FTopRadius = 0.5f;
};

// A solid arrow along the local Z axis: a cylindrical body with a cone head at
// the top end (+Z), the bottom end, or both.
class TArrowLine : public TCylinderBase {
  BRV_SCENE_OBJECT_CLASS(TArrowLine, TCylinderBase)

public:
  // Body and top head, radius 0.1 at both ends, heads 0.5 long and 0.2 wide.
  explicit TArrowLine(TComponent* owner);

  TArrowLineParts Parts() const { return FParts; }
  void SetParts(TArrowLineParts value) { StoreAndRebuild(*this, FParts, value); }
  float TopRadius() const { return FTopRadius; }
  void SetTopRadius(float value) { StoreAndRebuild(*this, FTopRadius, value); }
  float TopArrowHeadHeight() const { return FTopArrowHeadHeight; }
  void SetTopArrowHeadHeight(float value) { StoreAndRebuild(*this, FTopArrowHeadHeight, value); }
  float TopArrowHeadRadius() const { return FTopArrowHeadRadius; }
  void SetTopArrowHeadRadius(float value) { StoreAndRebuild(*this, FTopArrowHeadRadius, value); }
  float BottomArrowHeadHeight() const { return FBottomArrowHeadHeight; }
  void SetBottomArrowHeadHeight(float value) { StoreAndRebuild(*this, FBottomArrowHeadHeight, value); }
  float BottomArrowHeadRadius() const { return FBottomArrowHeadRadius; }
  void SetBottomArrowHeadRadius(float value) { StoreAndRebuild(*this, FBottomArrowHeadRadius, value); }
  TArrowHeadStackingStyle HeadStackingStyle() const { return FHeadStackingStyle; }
  void SetHeadStackingStyle(TArrowHeadStackingStyle value) { StoreAndRebuild(*this, FHeadStackingStyle, value); }

  void EmitGeometry(TRenderContextInfo& rci) override;
  void Assign(const TPersistent* source) override;

private:
  TArrowLineParts FParts = alLine | alTopArrow;
  float FTopRadius = 0.1f;
  float FTopArrowHeadHeight = 0.5f;
  float FTopArrowHeadRadius = 0.2f;
  float FBottomArrowHeadHeight = 0.5f;
  float FBottomArrowHeadRadius = 0.2f;
  TArrowHeadStackingStyle FHeadStackingStyle = ahssStacked;
};
