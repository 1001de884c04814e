#pragma once
// A saw cut into a closed solid: the part of the solid between two parallel
// planes, from one side up to a flat floor, is taken away, and the cut's two
// walls and its floor close it again. The bishop's mitre is cut this way.

#include "tools/assets/AssetMesh.h"
#include "tools/assets/Lathe.h"

struct TSawCut {
  TPoint3 Centre;    // a point in the middle of the cut
  TPoint3 Normal;    // unit normal of the walls
  TPoint3 Into;      // unit vector along the walls, from the floor out through the cut side
  double HalfWidth;  // half the distance between the walls
  double Depth;      // the floor lies this far from Centre against Into
};

// Cuts the solid, which must be convex across every plane of the cut (its sections
// there are convex). The new faces take the mapping's texture coordinates and
// smoothing groups of their own.
void CutSlot(TAssetMesh& solid, const TSawCut& cut, const TCylinderMapping& mapping, TSmoothingGroups& groups);
