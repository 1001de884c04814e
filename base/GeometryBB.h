#pragma once
// Axis-aligned boxes: the bounds of meshes and scene objects.

#include "base/Geometry.h"

// Minimum corner, then maximum corner. A box starts from one point; there is no
// empty box.
struct TAxisAlignedBox {
  TAffineVector Min;
  TAffineVector Max;
};

// a grows to contain b.
void AABBIncludeBox(TAxisAlignedBox& a, const TAxisAlignedBox& b);
// box grows to contain p.
void AABBIncludePoint(TAxisAlignedBox& box, const TAffineVector& p);
// The box of +-h: Max = (|h.x|, |h.y|, |h.z|), Min = -Max.
TAxisAlignedBox AABBFromHalfExtents(const TAffineVector& h);
// Replaces box by the box bounding its eight corners transformed by m.
void AABBTransform(TAxisAlignedBox& box, const TMatrix4& m);
