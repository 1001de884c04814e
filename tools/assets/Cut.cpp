#include "tools/assets/Cut.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

struct TCorner {
  TPoint3 P;
  TTexPoint UV;
};
using TPolygon = std::vector<TCorner>;

// The cut is where all three are negative: between the walls (0 and 1) and above
// the floor (2).
double Side(const TSawCut& cut, int plane, TPoint3 p) {
  const TPoint3 d = p - cut.Centre;
  switch (plane) {
    case 0: return Dot(d, cut.Normal) - cut.HalfWidth;
    case 1: return -Dot(d, cut.Normal) - cut.HalfWidth;
    default: return -Dot(d, cut.Into) - cut.Depth;
  }
}

// Where the edge a-b crosses a plane: computed from the edge's ends in a fixed
// order, so that both faces of the edge get the very same point.
TCorner Crossing(const TCorner& a, const TCorner& b, double sa, double sb) {
  const bool swap = std::tie(b.P.x, b.P.y, b.P.z) < std::tie(a.P.x, a.P.y, a.P.z);
  const TCorner& p = swap ? b : a;
  const TCorner& q = swap ? a : b;
  const double sp = swap ? sb : sa, sq = swap ? sa : sb, t = sp / (sp - sq);
  return {p.P + (q.P - p.P) * t,
          {float(p.UV.S + (q.UV.S - p.UV.S) * t), float(p.UV.T + (q.UV.T - p.UV.T) * t)}};
}

// A convex polygon into its parts on either side of a plane.
void Split(const TPolygon& polygon, const TSawCut& cut, int plane, TPolygon& outside, TPolygon& inside) {
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const TCorner& a = polygon[i];
    const TCorner& b = polygon[(i + 1) % polygon.size()];
    const double sa = Side(cut, plane, a.P), sb = Side(cut, plane, b.P);
    (sa >= 0 ? outside : inside).push_back(a);
    if ((sa >= 0) != (sb >= 0)) {
      const TCorner x = Crossing(a, b, sa, sb);
      outside.push_back(x);
      inside.push_back(x);
    }
  }
}

void AddFan(TAssetMesh& mesh, const TPolygon& polygon, std::uint32_t group, int material) {
  std::vector<int> v;
  for (const TCorner& c : polygon) v.push_back(mesh.AddPoint(c.P, c.UV));
  for (std::size_t i = 1; i + 1 < v.size(); ++i) mesh.AddFace(v[0], v[i], v[i + 1], group, material);
}

double Cross2(std::pair<double, double> o, std::pair<double, double> a, std::pair<double, double> b) {
  return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
}

// The wall on a plane of the cut: the convex hull of the points of the cut surface
// that lie on it (all of them kept, also those in line), facing `outward`.
void AddWall(TAssetMesh& mesh, const std::vector<TPoint3>& points, TPoint3 outward, TPoint3 e1, TPoint3 e2,
             const TCylinderMapping& mapping, std::uint32_t group) {
  std::vector<std::pair<std::pair<double, double>, TPoint3>> flat;
  for (TPoint3 p : points) flat.push_back({{Dot(p, e1), Dot(p, e2)}, p});
  std::sort(flat.begin(), flat.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  flat.erase(std::unique(flat.begin(), flat.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
             flat.end());
  if (flat.size() < 3) return;
  // Monotone chain, lower then upper, popping only on a clear right turn: points
  // in line, as near as rounding tells, stay, or the wall would skip a point of
  // the surface's edge.
  std::vector<std::pair<std::pair<double, double>, TPoint3>> hull;
  for (int pass = 0; pass < 2; ++pass) {
    const std::size_t start = hull.size();
    for (const auto& q : flat) {
      while (hull.size() >= start + 2 && Cross2(hull[hull.size() - 2].first, hull.back().first, q.first) < -1e-9)
        hull.pop_back();
      hull.push_back(q);
    }
    hull.pop_back();
    std::reverse(flat.begin(), flat.end());
  }
  TPolygon polygon;
  for (const auto& h : hull) polygon.push_back({h.second, mapping.At(h.second)});
  // The polygon's normal by Newell's sum, whatever its first corners.
  TPoint3 normal;
  for (std::size_t i = 0; i < polygon.size(); ++i)
    normal = normal + Cross(polygon[i].P, polygon[(i + 1) % polygon.size()].P);
  if (Dot(normal, outward) < 0) std::reverse(polygon.begin(), polygon.end());
  AddFan(mesh, polygon, group, 0);
}

}  // namespace

void CutSlot(TAssetMesh& solid, const TSawCut& cut, const TCylinderMapping& mapping, TSmoothingGroups& groups) {
  TAssetMesh out;
  for (const TAssetFace& face : solid.Faces) {
    // Every part is split by every plane, so that the parts on either side of
    // a line where two planes cross share their points; the parts inside all three
    // go.
    std::vector<std::pair<TPolygon, int>> parts(1);  // with the planes it lies inside of
    for (int v : {face.A, face.B, face.C}) parts[0].first.push_back({solid.Points[v], solid.TexCoords[v]});
    for (int plane = 0; plane < 3; ++plane) {
      std::vector<std::pair<TPolygon, int>> next;
      for (const auto& [polygon, insideOf] : parts) {
        TPolygon outside, inside;
        Split(polygon, cut, plane, outside, inside);
        if (outside.size() >= 3) next.push_back({std::move(outside), insideOf});
        if (inside.size() >= 3) next.push_back({std::move(inside), insideOf | 1 << plane});
      }
      parts = std::move(next);
    }
    for (const auto& [polygon, insideOf] : parts)
      if (insideOf != 7) AddFan(out, polygon, face.Smoothing, face.Material);
  }
  // The walls and the floor close the surface along the points the cut made.
  const TPoint3 across = Cross(cut.Normal, cut.Into);
  const TPoint3 outward[3] = {-cut.Normal, cut.Normal, cut.Into};
  const TPoint3 axes[3][2] = {{cut.Into, across}, {cut.Into, across}, {cut.Normal, across}};
  for (int plane = 0; plane < 3; ++plane) {
    std::vector<TPoint3> on;
    for (TPoint3 p : out.Points) {
      bool inPlane = std::fabs(Side(cut, plane, p)) < 1e-7;
      for (int other = 0; other < 3; ++other)
        if (other != plane && Side(cut, other, p) > 1e-7) inPlane = false;
      if (inPlane) on.push_back(p);
    }
    AddWall(out, on, outward[plane], axes[plane][0], axes[plane][1], mapping, groups.Next());
  }
  out.Weld();
  solid = std::move(out);
}
