#include "base/GeometryBB.h"

#include <cmath>

void AABBIncludeBox(TAxisAlignedBox& a, const TAxisAlignedBox& b) {
  for (int i = 0; i < 3; ++i) {
    if (b.Min[i] < a.Min[i]) a.Min[i] = b.Min[i];
    if (b.Max[i] > a.Max[i]) a.Max[i] = b.Max[i];
  }
}

void AABBIncludePoint(TAxisAlignedBox& box, const TAffineVector& p) {
  for (int i = 0; i < 3; ++i) {
    if (p[i] < box.Min[i]) box.Min[i] = p[i];
    if (p[i] > box.Max[i]) box.Max[i] = p[i];
  }
}

TAxisAlignedBox AABBFromHalfExtents(const TAffineVector& h) {
  TAffineVector max{std::fabs(h.x), std::fabs(h.y), std::fabs(h.z)};
  return {Vec3Negated(max), max};
}

void AABBTransform(TAxisAlignedBox& box, const TMatrix4& m) {
  const TAffineVector lo = box.Min, hi = box.Max;
  TAffineVector first = Vec3TransformPoint(lo, m);
  box = {first, first};
  const TAffineVector corners[7] = {{lo.x, lo.y, hi.z}, {lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {hi.x, lo.y, lo.z},
                                    {hi.x, lo.y, hi.z}, {hi.x, hi.y, lo.z}, hi};
  for (const TAffineVector& c : corners) AABBIncludePoint(box, Vec3TransformPoint(c, m));
}
