#include "tools/assets/Lathe.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double PI = std::numbers::pi;
// How far a chord may stray from the curve it stands for: a quarter of a pixel at
// the start camera's distance.
constexpr double CHORD_ERROR = 0.1;

// Steps for a curve of that length turning by that angle: enough that no chord
// strays more than CHORD_ERROR from the curve, no step turns by more than about 35
// degrees (the shading between steps is interpolated) and none runs longer than 4
// units.
int StepsFor(double length, double turnRadians) {
  const double chords = std::sqrt(length * turnRadians / (8 * CHORD_ERROR));
  return std::max({1, static_cast<int>(std::ceil(chords)), static_cast<int>(std::ceil(turnRadians / 0.6)),
                   static_cast<int>(std::ceil(length / 4))});
}

}  // namespace

TProfile& TProfile::Line(double r, double z, int steps) {
  const double r0 = R(), z0 = Z();
  for (int i = 1; i <= steps; ++i) {
    const double t = double(i) / steps;
    Add(r0 + (r - r0) * t, z0 + (z - z0) * t);
  }
  return *this;
}

TProfile& TProfile::Curve(double c1r, double c1z, double c2r, double c2z, double r, double z, int steps) {
  const double r0 = R(), z0 = Z();
  if (steps <= 0) {
    const double length =
        std::hypot(c1r - r0, c1z - z0) + std::hypot(c2r - c1r, c2z - c1z) + std::hypot(r - c2r, z - c2z);
    const double a0 = std::atan2(c1z - z0, c1r - r0), a1 = std::atan2(c2z - c1z, c2r - c1r);
    const double a2 = std::atan2(z - c2z, r - c2r);
    auto turn = [](double a, double b) { return std::fabs(std::remainder(b - a, 2 * PI)); };
    steps = StepsFor(length, turn(a0, a1) + turn(a1, a2));
  }
  for (int i = 1; i <= steps; ++i) {
    const double t = double(i) / steps, s = 1 - t;
    const double b0 = s * s * s, b1 = 3 * s * s * t, b2 = 3 * s * t * t, b3 = t * t * t;
    Add(b0 * r0 + b1 * c1r + b2 * c2r + b3 * r, b0 * z0 + b1 * c1z + b2 * c2z + b3 * z);
  }
  return *this;
}

TProfile& TProfile::Arc(double cr, double cz, double degrees, int steps) {
  const double radius = std::hypot(R() - cr, Z() - cz);
  const double a0 = std::atan2(Z() - cz, R() - cr), sweep = degrees * PI / 180;
  if (steps <= 0) steps = StepsFor(radius * std::fabs(sweep), std::fabs(sweep));
  for (int i = 1; i <= steps; ++i) {
    const double a = a0 + sweep * i / steps;
    Add(cr + radius * std::cos(a), cz + radius * std::sin(a));
  }
  return *this;
}

TProfile& TProfile::ArcTo(double cr, double cz, double endDegrees, int steps) {
  const double start = std::atan2(Z() - cz, R() - cr) * 180 / PI;
  return Arc(cr, cz, endDegrees - start, steps);
}

TTexPoint TCylinderMapping::At(TPoint3 p) const {
  double turn = std::atan2(p.y, p.x) - MirrorAngle;
  turn -= 2 * PI * std::floor(turn / (2 * PI));
  return {static_cast<float>(std::fabs(turn / PI - 1)), static_cast<float>(p.z / Height)};
}

namespace {

// Steps round the axis for a ring of radius r: the fewest, in fours from 8 up to
// `segments`, whose chords stray no more than CHORD_ERROR from the circle. Small
// rings need far fewer steps than the foot for the same smooth outline; fours keep
// the rings symmetric about the mirror line and across it.
int RingSegments(double r, int segments) {
  for (int n = 8; n < segments; n += 4)
    if (r * (1 - std::cos(PI / n)) <= CHORD_ERROR) return n;
  return segments;
}

// The vertices of one ring of a surface of revolution: one on the axis, else
// RingSegments from the mirror angle round.
std::vector<int> Ring(TAssetMesh& mesh, double r, double z, int segments, const TCylinderMapping& mapping) {
  if (r <= 1e-9) {
    const TPoint3 p{0, 0, z};
    return {mesh.AddPoint(p, {0.5f, mapping.At(p).T})};
  }
  segments = RingSegments(r, segments);
  std::vector<int> ring;
  for (int j = 0; j < segments; ++j) {
    const double a = mapping.MirrorAngle + 2 * PI * j / segments;
    const TPoint3 p{r * std::cos(a), r * std::sin(a), z};
    ring.push_back(mesh.AddPoint(p, mapping.At(p)));
  }
  return ring;
}

// Joins two rings, the second above (further along the profile than) the first.
// Rings of different sizes are zipped together by angle: each step goes on along the
// ring whose next vertex comes first round the axis, along both where they meet.
void Band(TAssetMesh& mesh, const std::vector<int>& lower, const std::vector<int>& upper, std::uint32_t group,
          int material) {
  const int n = static_cast<int>(lower.size()), m = static_cast<int>(upper.size());
  auto at = [](const std::vector<int>& ring, int k) { return ring[std::size_t(k) % ring.size()]; };
  if (n == 1 || m == 1) {
    // A pole: a fan to the other ring.
    if (n == 1)
      for (int k = 0; k < m && m > 1; ++k) mesh.AddFace(lower[0], at(upper, k + 1), upper[k], group, material);
    else
      for (int i = 0; i < n; ++i) mesh.AddFace(lower[i], at(lower, i + 1), upper[0], group, material);
    return;
  }
  int i = 0, k = 0;
  while (i < n) {
    // The next vertices' angles as fractions of a turn: (i + 1) / n against (k + 1) / m.
    const long along = long(i + 1) * m, across = long(k + 1) * n;
    if (along < across) {
      mesh.AddFace(lower[i], at(lower, i + 1), upper[k], group, material);
      ++i;
    } else if (along > across) {
      mesh.AddFace(lower[i], at(upper, k + 1), upper[k], group, material);
      ++k;
    } else {
      mesh.AddFace(lower[i], at(lower, i + 1), at(upper, k + 1), group, material);
      mesh.AddFace(lower[i], at(upper, k + 1), upper[k], group, material);
      ++i;
      ++k;
    }
  }
}

}  // namespace

TAssetMesh Revolve(const TProfile& profile, int segments, const TCylinderMapping& mapping, TSmoothingGroups& groups,
                   int material) {
  TAssetMesh mesh;
  const std::vector<TProfilePoint>& points = profile.Points();
  std::uint32_t group = groups.Next();
  std::vector<int> previous = Ring(mesh, points[0].R, points[0].Z, segments, mapping);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const TProfilePoint& p = points[i];
    std::vector<int> ring = Ring(mesh, p.R, p.Z, segments, mapping);
    Band(mesh, previous, ring, group, material);
    if (p.Corner && i + 1 < points.size()) {
      // The next patch starts on a ring of its own.
      group = groups.Next();
      ring = Ring(mesh, p.R, p.Z, segments, mapping);
    }
    previous = std::move(ring);
  }
  return mesh;
}

TAssetMesh Sphere(TPoint3 centre, double radius, int segments, int rings, const TCylinderMapping& mapping,
                  TSmoothingGroups& groups, int material) {
  TProfile profile(0, -radius);
  profile.Arc(0, 0, 180, rings);
  // u goes round the sphere's own axis, v follows the piece's height.
  TAssetMesh mesh = Revolve(profile, segments, mapping, groups, material);
  mesh.Translate(centre);
  for (std::size_t i = 0; i < mesh.Points.size(); ++i) mesh.TexCoords[i].T = mapping.At(mesh.Points[i]).T;
  return mesh;
}

TAssetMesh RoundedBox(TPoint3 centre, TPoint3 half, double radius, int steps, const TCylinderMapping& mapping,
                      TSmoothingGroups& groups, int material) {
  // Each face of the unit cube is a grid whose lines bunch in the rounded band;
  // a grid point moves onto the surface as the nearest point of the inner box plus
  // the radius along the way out. Shared edges are welded afterwards.
  auto axisTicks = [&](double h) {
    std::vector<double> t;
    const double inner = std::max(h - radius, 0.0);
    for (int k = 0; k <= steps; ++k) {
      const double a = 0.5 * PI * (1 - double(k) / steps);
      t.push_back(-inner - radius * std::sin(a));
    }
    const int middle = std::max(1, static_cast<int>(std::ceil(2 * inner / 3.0)));
    for (int k = 1; k < middle; ++k) t.push_back(-inner + 2 * inner * k / middle);
    for (int k = steps; k >= 0; --k) {
      const double a = 0.5 * PI * (1 - double(k) / steps);
      t.push_back(inner + radius * std::sin(a));
    }
    t.erase(std::unique(t.begin(), t.end()), t.end());
    return t;
  };
  const std::vector<double> axes[3] = {axisTicks(half.x), axisTicks(half.y), axisTicks(half.z)};
  const double h[3] = {half.x, half.y, half.z};
  TAssetMesh mesh;
  const std::uint32_t group = groups.Next();
  auto surface = [&](double p[3]) {
    TPoint3 q;
    double* qc[3] = {&q.x, &q.y, &q.z};
    double d[3];
    for (int k = 0; k < 3; ++k) {
      const double inner = std::max(h[k] - radius, 0.0);
      *qc[k] = std::clamp(p[k], -inner, inner);
      d[k] = p[k] - *qc[k];
    }
    return q + Normalized(TPoint3{d[0], d[1], d[2]}) * radius + centre;
  };
  for (int axis = 0; axis < 3; ++axis)
    for (int sign = -1; sign <= 1; sign += 2) {
      const int u = (axis + 1) % 3, v = (axis + 2) % 3;
      const std::vector<double>& us = axes[u];
      const std::vector<double>& vs = axes[v];
      std::vector<int> index(us.size() * vs.size());
      for (std::size_t i = 0; i < us.size(); ++i)
        for (std::size_t j = 0; j < vs.size(); ++j) {
          double p[3];
          p[axis] = sign * h[axis];
          p[u] = us[i];
          p[v] = vs[j];
          const TPoint3 s = surface(p);
          index[i * vs.size() + j] = mesh.AddPoint(s, mapping.At(s));
        }
      for (std::size_t i = 0; i + 1 < us.size(); ++i)
        for (std::size_t j = 0; j + 1 < vs.size(); ++j) {
          int a = index[i * vs.size() + j], b = index[(i + 1) * vs.size() + j];
          int c = index[(i + 1) * vs.size() + j + 1], d = index[i * vs.size() + j + 1];
          // (u, v, axis) is right-handed: counter-clockwise in (u, v) faces +axis.
          if (sign < 0) std::swap(b, d);
          mesh.AddFace(a, b, c, group, material);
          mesh.AddFace(a, c, d, group, material);
        }
    }
  mesh.Weld();
  return mesh;
}

TAssetMesh RingSector(double r0, double r1, double z0, double z1, double a0, double a1, int segments,
                      const TCylinderMapping& mapping, TSmoothingGroups& groups, int material) {
  TAssetMesh mesh;
  auto point = [&](double r, double a, double z) {
    const TPoint3 p{r * std::cos(a), r * std::sin(a), z};
    return mesh.AddPoint(p, mapping.At(p));
  };
  auto angle = [&](int j) { return a0 + (a1 - a0) * j / segments; };
  // Outer wall (faces out), inner wall (faces the axis), top and bottom.
  const std::uint32_t outer = groups.Next(), inner = groups.Next(), flat = groups.Next();
  for (int j = 0; j < segments; ++j) {
    const double b0 = angle(j), b1 = angle(j + 1);
    int a = point(r1, b0, z0), b = point(r1, b1, z0), c = point(r1, b1, z1), d = point(r1, b0, z1);
    mesh.AddFace(a, b, c, outer, material);
    mesh.AddFace(a, c, d, outer, material);
    a = point(r0, b1, z0), b = point(r0, b0, z0), c = point(r0, b0, z1), d = point(r0, b1, z1);
    mesh.AddFace(a, b, c, inner, material);
    mesh.AddFace(a, c, d, inner, material);
    a = point(r0, b0, z1), b = point(r1, b0, z1), c = point(r1, b1, z1), d = point(r0, b1, z1);
    mesh.AddFace(a, b, c, flat, material);
    mesh.AddFace(a, c, d, flat, material);
    a = point(r0, b1, z0), b = point(r1, b1, z0), c = point(r1, b0, z0), d = point(r0, b0, z0);
    mesh.AddFace(a, b, c, flat, material);
    mesh.AddFace(a, c, d, flat, material);
  }
  // The two cut faces.
  const std::uint32_t cut = groups.Next();
  for (int side = 0; side < 2; ++side) {
    const double b = side == 0 ? a0 : a1;
    const int p0 = point(r0, b, z0), p1 = point(r1, b, z0), p2 = point(r1, b, z1), p3 = point(r0, b, z1);
    // The face at a0 looks back along the arc, the one at a1 forward.
    if (side == 0) {
      mesh.AddFace(p0, p1, p2, cut, material);
      mesh.AddFace(p0, p2, p3, cut, material);
    } else {
      mesh.AddFace(p0, p2, p1, cut, material);
      mesh.AddFace(p0, p3, p2, cut, material);
    }
  }
  mesh.Weld();
  return mesh;
}
