#pragma once
// Sculpted shapes: solids given by a distance field (negative inside, about the
// distance to the surface outside and in), built from a few primitives and smooth
// blends, then turned into a closed triangle mesh and thinned to a triangle budget.
// The knight's head is made this way.

#include <functional>
#include <vector>

#include "tools/assets/AssetMesh.h"
#include "tools/assets/Lathe.h"

using TDistanceField = std::function<double(TPoint3)>;

// Blends of two distances; `k` is the width of the rounded seam.
double SmoothUnion(double a, double b, double k);
double SmoothSubtract(double from, double cut, double k);

double SdSphere(TPoint3 p, TPoint3 centre, double radius);
// An approximate distance to an ellipsoid with the given half axes.
double SdEllipsoid(TPoint3 p, TPoint3 centre, TPoint3 radii);
// The solid swept by a sphere whose radius goes from ra at a to rb at b.
double SdRoundCone(TPoint3 p, TPoint3 a, TPoint3 b, double ra, double rb);

// A closed polygon in a plane, its signed distance negative inside.
class TOutline {
public:
  explicit TOutline(std::vector<std::pair<double, double>> points) : FPoints(std::move(points)) {}
  double Distance(double u, double v) const;

private:
  std::vector<std::pair<double, double>> FPoints;
};

// The surface f = 0 inside the box lo..hi (f must be positive on the box's faces),
// sampled every `step` units: a closed surface, one smooth patch, with a vertex
// wherever it crosses an edge of the sampling grid.
TAssetMesh Polygonise(const TDistanceField& f, TPoint3 lo, TPoint3 hi, double step, const TCylinderMapping& mapping,
                      TSmoothingGroups& groups, int material = 0);

// Collapses the cheapest edges (by the squared distances to the planes of the
// faces round them) until at most `faces` faces remain, keeping the surface closed
// and no face turned over. Faces keep their smoothing groups, and points where
// groups meet stay in place. Texture coordinates are taken anew from `mapping`.
void Simplify(TAssetMesh& mesh, int faces, const TCylinderMapping& mapping);
