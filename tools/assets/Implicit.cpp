#include "tools/assets/Implicit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <queue>

double SmoothUnion(double a, double b, double k) {
  const double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
  return b + (a - b) * h - k * h * (1 - h);
}

double SmoothSubtract(double from, double cut, double k) { return -SmoothUnion(-from, cut, k); }

double SdSphere(TPoint3 p, TPoint3 centre, double radius) { return Length(p - centre) - radius; }

double SdEllipsoid(TPoint3 p, TPoint3 centre, TPoint3 radii) {
  const TPoint3 q = p - centre;
  const TPoint3 a{q.x / radii.x, q.y / radii.y, q.z / radii.z};
  const TPoint3 b{a.x / radii.x, a.y / radii.y, a.z / radii.z};
  const double k0 = Length(a), k1 = Length(b);
  return k1 > 0 ? k0 * (k0 - 1) / k1 : -std::min({radii.x, radii.y, radii.z});
}

double SdRoundCone(TPoint3 p, TPoint3 a, TPoint3 b, double ra, double rb) {
  // Along the axis the radius is interpolated; good enough where the radii differ
  // little against the length.
  const TPoint3 pa = p - a, ba = b - a;
  const double h = std::clamp(Dot(pa, ba) / Dot(ba, ba), 0.0, 1.0);
  return Length(pa - ba * h) - (ra + (rb - ra) * h);
}

double TOutline::Distance(double u, double v) const {
  double best = 1e30;
  bool inside = false;
  const std::size_t n = FPoints.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const auto [ui, vi] = FPoints[i];
    const auto [uj, vj] = FPoints[j];
    const double eu = uj - ui, ev = vj - vi, wu = u - ui, wv = v - vi;
    const double t = std::clamp((wu * eu + wv * ev) / (eu * eu + ev * ev), 0.0, 1.0);
    best = std::min(best, std::hypot(wu - eu * t, wv - ev * t));
    if ((vi > v) != (vj > v) && u < ui + (v - vi) * eu / ev) inside = !inside;
  }
  return inside ? -best : best;
}

TAssetMesh Polygonise(const TDistanceField& f, TPoint3 lo, TPoint3 hi, double step, const TCylinderMapping& mapping,
                      TSmoothingGroups& groups, int material) {
  const int nx = static_cast<int>(std::ceil((hi.x - lo.x) / step)) + 1;
  const int ny = static_cast<int>(std::ceil((hi.y - lo.y) / step)) + 1;
  const int nz = static_cast<int>(std::ceil((hi.z - lo.z) / step)) + 1;
  auto at = [&](int i, int j, int k) { return (static_cast<std::size_t>(k) * ny + j) * nx + i; };
  auto corner = [&](std::size_t n) {
    const int i = static_cast<int>(n % nx), j = static_cast<int>(n / nx % ny), k = static_cast<int>(n / nx / ny);
    return TPoint3{lo.x + i * step, lo.y + j * step, lo.z + k * step};
  };
  std::vector<double> value(static_cast<std::size_t>(nx) * ny * nz);
  for (std::size_t n = 0; n < value.size(); ++n) {
    value[n] = f(corner(n));
    // A sample exactly on the surface would put several crossings on one point.
    if (std::fabs(value[n]) < 1e-9) value[n] = 1e-9;
  }

  // Marching tetrahedra: each cell splits into six tetrahedra round its main
  // diagonal, the same split in every cell, so neighbours agree on their shared
  // faces and the surface comes out closed and manifold. One vertex per crossed
  // grid edge, shared by every triangle that meets it.
  TAssetMesh mesh;
  std::map<std::pair<std::size_t, std::size_t>, int> edgeVertex;
  auto crossing = [&](std::size_t a, std::size_t b) {
    if (a > b) std::swap(a, b);
    auto [found, added] = edgeVertex.emplace(std::make_pair(a, b), 0);
    if (added) {
      const double t = value[a] / (value[a] - value[b]);
      const TPoint3 p = corner(a) + (corner(b) - corner(a)) * t;
      found->second = mesh.AddPoint(p, mapping.At(p));
    }
    return found->second;
  };
  const std::uint32_t group = groups.Next();
  // A triangle facing from the inside corner `in` towards the outside corner `out`.
  auto triangle = [&](int a, int b, int c, std::size_t in, std::size_t out) {
    if (a == b || b == c || c == a) return;
    const TPoint3 pa = mesh.Points[a], pb = mesh.Points[b], pc = mesh.Points[c];
    if (Dot(Cross(pb - pa, pc - pa), corner(out) - corner(in)) < 0) std::swap(b, c);
    mesh.AddFace(a, b, c, group, material);
  };
  static constexpr int PATHS[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (int k = 0; k + 1 < nz; ++k)
    for (int j = 0; j + 1 < ny; ++j)
      for (int i = 0; i + 1 < nx; ++i) {
        bool any = false, all = true;
        for (int c = 0; c < 8; ++c) {
          const bool inside = value[at(i + (c & 1), j + (c >> 1 & 1), k + (c >> 2 & 1))] < 0;
          any = any || inside;
          all = all && inside;
        }
        if (!any || all) continue;
        for (const auto& path : PATHS) {
          int step3[3] = {0, 0, 0};
          std::size_t tet[4];
          tet[0] = at(i, j, k);
          for (int s = 0; s < 3; ++s) {
            ++step3[path[s]];
            tet[s + 1] = at(i + step3[0], j + step3[1], k + step3[2]);
          }
          std::size_t in[4], out[4];
          int nin = 0, nout = 0;
          for (std::size_t v : tet) (value[v] < 0 ? in[nin++] : out[nout++]) = v;
          if (nin == 1 || nin == 3) {
            // One corner apart from the other three.
            const std::size_t lone = nin == 1 ? in[0] : out[0];
            const std::size_t* rest = nin == 1 ? out : in;
            const int a = crossing(lone, rest[0]), b = crossing(lone, rest[1]), c = crossing(lone, rest[2]);
            triangle(a, b, c, nin == 1 ? lone : rest[0], nin == 1 ? rest[0] : lone);
          } else if (nin == 2) {
            const int a = crossing(in[0], out[0]), b = crossing(in[0], out[1]);
            const int c = crossing(in[1], out[1]), d = crossing(in[1], out[0]);
            triangle(a, b, c, in[0], out[0]);
            triangle(a, c, d, in[0], out[0]);
          }
        }
      }
  return mesh;
}

// ---------------------------------------------------------------------------
// Simplification

namespace {

// A symmetric 4x4 quadric: the sum of the squared distances to a set of planes.
struct TQuadric {
  double A[10] = {};  // xx xy xz xw yy yz yw zz zw ww
  void AddPlane(TPoint3 n, double d, double weight) {
    const double p[4] = {n.x, n.y, n.z, d};
    int k = 0;
    for (int i = 0; i < 4; ++i)
      for (int j = i; j < 4; ++j) A[k++] += weight * p[i] * p[j];
  }
  void Add(const TQuadric& q) {
    for (int i = 0; i < 10; ++i) A[i] += q.A[i];
  }
  double Error(TPoint3 v) const {
    const double x = v.x, y = v.y, z = v.z;
    return A[0] * x * x + 2 * A[1] * x * y + 2 * A[2] * x * z + 2 * A[3] * x + A[4] * y * y + 2 * A[5] * y * z +
           2 * A[6] * y + A[7] * z * z + 2 * A[8] * z + A[9];
  }
  // The point of least error, when the system is well conditioned.
  bool Minimum(TPoint3& out) const {
    const double m[3][3] = {{A[0], A[1], A[2]}, {A[1], A[4], A[5]}, {A[2], A[5], A[7]}};
    const double b[3] = {-A[3], -A[6], -A[8]};
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    const double scale = std::fabs(A[0]) + std::fabs(A[4]) + std::fabs(A[7]);
    if (std::fabs(det) < 1e-9 * scale * scale * scale || scale == 0) return false;
    auto solve = [&](int column) {
      double c[3][3];
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) c[i][j] = j == column ? b[i] : m[i][j];
      return (c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[2][1]) - c[0][1] * (c[1][0] * c[2][2] - c[1][2] * c[2][0]) +
              c[0][2] * (c[1][0] * c[2][1] - c[1][1] * c[2][0])) /
             det;
    };
    out = {solve(0), solve(1), solve(2)};
    return true;
  }
};

// Twice the area over the sum of the squared sides: 0.29 for an equilateral
// triangle, 0 for a needle.
double Quality(TPoint3 a, TPoint3 b, TPoint3 c) {
  const double sides = Dot(b - a, b - a) + Dot(c - b, c - b) + Dot(a - c, a - c);
  return sides > 0 ? Length(Cross(b - a, c - a)) / sides : 0;
}

struct TCandidate {
  double Cost;
  int A, B;
  unsigned StampA, StampB;
  bool operator>(const TCandidate& o) const {
    if (Cost != o.Cost) return Cost > o.Cost;
    if (A != o.A) return A > o.A;
    return B > o.B;
  }
};

class TSimplifier {
public:
  TSimplifier(TAssetMesh& mesh, const TCylinderMapping& mapping) : FMesh(mesh), FMapping(mapping) {
    const std::size_t n = mesh.Points.size();
    FFacesOf.resize(n);
    FQuadric.resize(n);
    FStamp.assign(n, 0);
    FLocked.assign(n, false);
    FAliveFace.assign(mesh.Faces.size(), true);
    for (std::size_t f = 0; f < mesh.Faces.size(); ++f) {
      const TAssetFace& face = mesh.Faces[f];
      const TPoint3 n3 = Cross(P(face.B) - P(face.A), P(face.C) - P(face.A));
      const double area = Length(n3);
      const TPoint3 unit = Normalized(n3);
      for (int v : {face.A, face.B, face.C}) {
        FFacesOf[v].push_back(static_cast<int>(f));
        FQuadric[v].AddPlane(unit, -Dot(unit, P(face.A)), area);
      }
    }
    // Points where smoothing groups meet keep their place, as do points whose faces
    // do not close round them.
    for (std::size_t v = 0; v < n; ++v) {
      const auto& faces = FFacesOf[v];
      for (int f : faces)
        if (mesh.Faces[f].Smoothing != mesh.Faces[faces[0]].Smoothing) FLocked[v] = true;
      std::map<int, int> edgeUse;
      for (int f : faces)
        for (int w : {mesh.Faces[f].A, mesh.Faces[f].B, mesh.Faces[f].C})
          if (w != static_cast<int>(v)) ++edgeUse[w];
      for (auto [w, count] : edgeUse)
        if (count != 2) FLocked[v] = true;
    }
    FFaceCount = static_cast<int>(mesh.Faces.size());
  }

  void Run(int target) {
    // Rounds over every edge: a collapse refused in one round may be allowed in
    // the next, once its neighbourhood has changed.
    bool collapsed = true;
    while (FFaceCount > target && collapsed) {
      collapsed = false;
      // Every edge once (the face that runs it upwards offers it), the heap built
      // in one go.
      std::vector<TCandidate> all;
      for (std::size_t f = 0; f < FMesh.Faces.size(); ++f) {
        if (!FAliveFace[f]) continue;
        const TAssetFace& face = FMesh.Faces[f];
        for (auto [u, v] : {std::pair{face.A, face.B}, std::pair{face.B, face.C}, std::pair{face.C, face.A}}) {
          TPoint3 where;
          double cost;
          if (u < v && Placement(u, v, where, cost)) all.push_back({cost, u, v, FStamp[u], FStamp[v]});
        }
      }
      FQueue = decltype(FQueue)(std::greater<TCandidate>(), std::move(all));
      while (FFaceCount > target && !FQueue.empty()) {
        const TCandidate c = FQueue.top();
        FQueue.pop();
        if (c.StampA != FStamp[c.A] || c.StampB != FStamp[c.B]) continue;
        collapsed = Collapse(c.A, c.B) || collapsed;
      }
    }
    Compact();
  }

private:
  TPoint3 P(int v) const { return FMesh.Points[v]; }

  // Where the collapse of a and b would put the merged point, and at what cost.
  bool Placement(int a, int b, TPoint3& where, double& cost) const {
    if (FLocked[a] && FLocked[b]) return false;
    TQuadric q = FQuadric[a];
    q.Add(FQuadric[b]);
    if (FLocked[a] || FLocked[b]) {
      where = FLocked[a] ? P(a) : P(b);
    } else {
      const TPoint3 mid = (P(a) + P(b)) * 0.5;
      where = mid;
      TPoint3 best;
      // The free minimum, unless it runs off from the edge.
      if (q.Minimum(best) && Length(best - mid) < Length(P(a) - P(b))) where = best;
      for (TPoint3 option : {P(a), P(b)})
        if (q.Error(option) < q.Error(where)) where = option;
    }
    cost = q.Error(where) + 1e-6 * Length(P(a) - P(b));
    return true;
  }

  void Push(int a, int b) {
    if (a > b) std::swap(a, b);
    TPoint3 where;
    double cost;
    if (Placement(a, b, where, cost)) FQueue.push({cost, a, b, FStamp[a], FStamp[b]});
  }

  std::vector<int> Neighbours(int v) const {
    std::vector<int> out;
    for (int f : FFacesOf[v])
      for (int w : {FMesh.Faces[f].A, FMesh.Faces[f].B, FMesh.Faces[f].C})
        if (w != v) out.push_back(w);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }

  // Merges b into a unless that would break the surface; whether it did.
  bool Collapse(int a, int b) {
    TPoint3 where;
    double cost;
    if (!Placement(a, b, where, cost)) return false;
    // Link condition: the two points may share only the two points opposite the edge.
    std::vector<int> shared;
    for (int f : FFacesOf[a]) {
      const TAssetFace& face = FMesh.Faces[f];
      if (face.A == b || face.B == b || face.C == b) shared.push_back(f);
    }
    if (shared.size() != 2) return false;
    const std::vector<int> na = Neighbours(a), nb = Neighbours(b);
    std::vector<int> common;
    std::set_intersection(na.begin(), na.end(), nb.begin(), nb.end(), std::back_inserter(common));
    if (common.size() != 2) return false;
    // No face may turn over, become a sliver, or mix smoothing groups across the edge.
    for (int v : {a, b})
      for (int f : FFacesOf[v]) {
        const TAssetFace& face = FMesh.Faces[f];
        if (std::find(shared.begin(), shared.end(), f) != shared.end()) continue;
        TPoint3 p[3] = {P(face.A), P(face.B), P(face.C)};
        const TPoint3 before = Cross(p[1] - p[0], p[2] - p[0]);
        int corners[3] = {face.A, face.B, face.C};
        for (int k = 0; k < 3; ++k)
          if (corners[k] == a || corners[k] == b) p[k] = where;
        const TPoint3 after = Cross(p[1] - p[0], p[2] - p[0]);
        if (Dot(Normalized(before), Normalized(after)) < 0.2) return false;
        // No sliver may be made, though the slivers of the sampled surface may stay.
        const double qualityBefore = Quality(P(face.A), P(face.B), P(face.C)), qualityAfter = Quality(p[0], p[1], p[2]);
        if (qualityAfter < 0.02 && qualityAfter < 0.5 * qualityBefore) return false;
      }
    // b goes into a.
    for (int f : shared) {
      FAliveFace[f] = false;
      --FFaceCount;
      const TAssetFace& face = FMesh.Faces[f];
      for (int v : {face.A, face.B, face.C}) std::erase(FFacesOf[v], f);
    }
    for (int f : FFacesOf[b]) {
      TAssetFace& face = FMesh.Faces[f];
      for (int* v : {&face.A, &face.B, &face.C})
        if (*v == b) *v = a;
      FFacesOf[a].push_back(f);
    }
    FFacesOf[b].clear();
    FMesh.Points[a] = where;
    FQuadric[a].Add(FQuadric[b]);
    FLocked[a] = FLocked[a] || FLocked[b];
    ++FStamp[a];
    ++FStamp[b];
    // The edges round the new point are priced anew.
    for (int w : Neighbours(a)) Push(a, w);
    return true;
  }

  void Compact() {
    std::vector<int> index(FMesh.Points.size(), -1);
    TAssetMesh out;
    for (std::size_t f = 0; f < FMesh.Faces.size(); ++f) {
      if (!FAliveFace[f]) continue;
      TAssetFace face = FMesh.Faces[f];
      for (int* v : {&face.A, &face.B, &face.C}) {
        if (index[*v] < 0) index[*v] = out.AddPoint(P(*v), FMapping.At(P(*v)));
        *v = index[*v];
      }
      out.Faces.push_back(face);
    }
    FMesh = std::move(out);
  }

  TAssetMesh& FMesh;
  const TCylinderMapping& FMapping;
  std::vector<std::vector<int>> FFacesOf;
  std::vector<TQuadric> FQuadric;
  std::vector<unsigned> FStamp;
  std::vector<bool> FLocked;
  std::vector<bool> FAliveFace;
  int FFaceCount = 0;
  std::priority_queue<TCandidate, std::vector<TCandidate>, std::greater<TCandidate>> FQueue;
};

}  // namespace

void Simplify(TAssetMesh& mesh, int faces, const TCylinderMapping& mapping) {
  TSimplifier simplifier(mesh, mapping);
  simplifier.Run(faces);
}
