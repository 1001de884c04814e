#pragma once
// Turned shapes: a profile in the (radius, height) half-plane, drawn like a path of
// straight lines, cubic curves and arcs, revolved about the Z axis; and the small
// solids the pieces add to their turned bodies (spheres, rounded boxes, ring
// sectors). Every solid comes out closed, counter-clockwise seen from outside, with
// cylindrical texture coordinates (see TCylinderMapping).

#include <cstdint>
#include <vector>

#include "tools/assets/AssetMesh.h"

struct TProfilePoint {
  double R, Z;
  bool Corner;  // a hard edge: the surfaces on either side shade apart
};

// A profile from the bottom of the axis, out and up, back to the top of the axis.
// Joins are smooth unless Corner() marks them.
//
//   TProfile p(0, 0);
//   p.Line(10, 0).Corner().Line(10, 2).Corner().Arc(8, 2, 90).Line(0, 4);
class TProfile {
public:
  TProfile(double r, double z) { FPoints.push_back({r, z, false}); }

  TProfile& Line(double r, double z, int steps = 1);
  // A cubic Bézier curve from the current point over two control points.
  TProfile& Curve(double c1r, double c1z, double c2r, double c2z, double r, double z, int steps = 0);
  // An arc round (cr, cz) by `degrees`, counter-clockwise with radius as x and
  // height as y.
  TProfile& Arc(double cr, double cz, double degrees, int steps = 0);
  // The same arc, to the point at angle `endDegrees` round the centre.
  TProfile& ArcTo(double cr, double cz, double endDegrees, int steps = 0);
  TProfile& Corner() {
    FPoints.back().Corner = true;
    return *this;
  }

  double R() const { return FPoints.back().R; }
  double Z() const { return FPoints.back().Z; }
  const std::vector<TProfilePoint>& Points() const { return FPoints; }

private:
  void Add(double r, double z) { FPoints.push_back({r, z, false}); }
  std::vector<TProfilePoint> FPoints;
};

// Hands out smoothing-group masks: one bit per smooth patch, cycling through the 32,
// so that patches next to each other never share a bit.
class TSmoothingGroups {
public:
  std::uint32_t Next() { return std::uint32_t(1) << (FCount++ % 32); }

private:
  int FCount = 0;
};

// Texture coordinates round the Z axis: u goes from 1 at the mirror angle to 0
// half-way round and back to 1, v = z / Height. The picture is mirrored instead of
// wrapped, so there is no seam: a seam would need doubled vertices, and the
// importer would shade the two sides of it apart.
struct TCylinderMapping {
  double Height = 1;
  double MirrorAngle = 0;  // radians from +X
  TTexPoint At(TPoint3 p) const;
};

// The profile turned round the Z axis, each ring in as few steps (a multiple of
// four, at least 8, at most `segments`) as keep its chords within a quarter of a
// pixel of the circle at the start camera's distance; rings of different sizes are
// zipped together. Points on the axis become one vertex each, so tips and flat caps
// shade evenly.
TAssetMesh Revolve(const TProfile& profile, int segments, const TCylinderMapping& mapping, TSmoothingGroups& groups,
                   int material = 0);

// A UV sphere of `rings` rings and up to `segments` segments (fewer near the poles,
// as Revolve), one smooth patch.
TAssetMesh Sphere(TPoint3 centre, double radius, int segments, int rings, const TCylinderMapping& mapping,
                  TSmoothingGroups& groups, int material = 0);

// A box of half sizes `half` about `centre` whose edges and corners are rounded
// with `radius` in `steps` steps, one smooth patch.
TAssetMesh RoundedBox(TPoint3 centre, TPoint3 half, double radius, int steps, const TCylinderMapping& mapping,
                      TSmoothingGroups& groups, int material = 0);

// The solid between radii r0 < r1 and heights z0 < z1 from angle a0 to a1
// (radians, a0 < a1), in `segments` steps along the arcs: a battlement. The
// outer and inner walls shade smoothly, the top and the two cut faces flat.
TAssetMesh RingSector(double r0, double r1, double z0, double z1, double a0, double a1, int segments,
                      const TCylinderMapping& mapping, TSmoothingGroups& groups, int material = 0);
