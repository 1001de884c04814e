#include "tools/assets/Chessmen.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/assets/BoardLayout.h"
#include "tools/assets/Cut.h"
#include "tools/assets/Implicit.h"
#include "tools/assets/Lathe.h"

const TPieceFile PIECE_FILES[6] = {{"re.3ds", TPieceKind::King},     {"regina.3ds", TPieceKind::Queen},
                                   {"torre.3ds", TPieceKind::Rook},   {"alfiere.3ds", TPieceKind::Bishop},
                                   {"cavallo.3ds", TPieceKind::Knight}, {"pedone.3ds", TPieceKind::Pawn}};

namespace {

constexpr double PI = std::numbers::pi;
constexpr double DEGREES = PI / 180;
// Steps round the axis of the turned bodies' widest rings (the foot's): the outline
// strays less than a fifth of a pixel from a circle at the start camera's distance.
// Narrower rings take fewer steps for the same smoothness.
constexpr int SEGMENTS = 32;
// The texture's mirror line faces away from the start camera, which looks along +x.
constexpr double MIRROR = 0;

// The foot that every piece stands on, scaled to its radius: a flat bottom, a thin
// upright edge, a large round moulding, a cove and a small bead, ending on a ledge
// where the stem begins.
TProfile Foot(double radius) {
  const double s = radius / 11.6, r = radius;
  TProfile p(0, 0);
  p.Line(r, 0).Corner();
  p.Line(r, 0.8 * s).Corner();
  p.Curve(r + 0.4 * s, 1.6 * s, r + 0.15 * s, 2.9 * s, r - 0.9 * s, 3.25 * s);
  p.Curve(r - 1.8 * s, 3.5 * s, r - 2.3 * s, 3.6 * s, r - 2.3 * s, 4.2 * s).Corner();
  p.Curve(r - 1.6 * s, 4.35 * s, r - 1.6 * s, 5.4 * s, r - 2.4 * s, 5.6 * s).Corner();
  p.Line(r - 3.1 * s, 5.85 * s);
  return p;
}

// A collar round the stem at height z: a flared ring with a rounded edge of radius
// `outer`, then a small bead above it; returns with the profile at the bead's top,
// back at radius `neck`.
void Collar(TProfile& p, double z, double outer, double neck) {
  const double r = p.R();
  p.Curve(r + 0.9, z + 0.35, outer - 0.4, z + 0.35, outer, z + 1.3);
  p.Curve(outer + 0.3, z + 2.1, outer - 0.2, z + 2.8, outer - 1.1, z + 2.9);
  p.Curve(outer - 2.0, z + 3.0, neck + 0.1, z + 3.1, neck, z + 3.5).Corner();
  p.Curve(neck + 0.8, z + 3.6, neck + 0.8, z + 4.6, neck, z + 4.8).Corner();
}

// A piece being put together: its mapping (v over its height), the smoothing
// groups of its parts, and the parts so far.
struct TParts {
  explicit TParts(double height) : Map{height, MIRROR} {}
  void Turn(const TProfile& profile) { Mesh.Append(Revolve(profile, SEGMENTS, Map, Groups)); }
  TCylinderMapping Map;
  TSmoothingGroups Groups;
  TAssetMesh Mesh;
};

// ---------------------------------------------------------------------------

TAssetMesh King() {
  TParts parts(54.2);
  TProfile p = Foot(11.6);
  p.Curve(7.0, 6.2, 5.8, 8.5, 5.3, 13.0);
  p.Curve(4.9, 17.0, 4.5, 24.0, 4.7, 28.4);
  Collar(p, 28.4, 8.0, 5.3);
  p.Line(4.7, 33.6);
  // The crown: a cup flaring out to a rounded rim, its top rising to the finial.
  p.Curve(5.3, 35.8, 7.5, 38.0, 8.0, 40.6);
  p.Curve(8.25, 41.8, 7.9, 42.3, 7.2, 42.3).Corner();
  p.Curve(5.8, 42.3, 4.2, 42.6, 3.4, 43.3);
  p.Curve(2.6, 43.9, 2.1, 44.1, 2.2, 44.6);
  p.Curve(2.9, 44.8, 3.0, 45.9, 1.9, 46.1).Corner();
  p.Line(0, 46.3);
  parts.Turn(p);
  // The cross, its arms across the start camera's view.
  parts.Mesh.Append(RoundedBox({0, 0, 49.9}, {1.05, 1.3, 4.3}, 0.5, 2, parts.Map, parts.Groups));
  parts.Mesh.Append(RoundedBox({0, 0, 51.2}, {0.95, 3.4, 1.1}, 0.5, 2, parts.Map, parts.Groups));
  return parts.Mesh;
}

// The queen's coronet: a ring wall on the crown's rim whose top rises to `points`
// points, a small ball on each.
TAssetMesh Coronet(double z, double inner, double outer, int points, const TCylinderMapping& map,
                   TSmoothingGroups& groups) {
  constexpr double VALLEY = 1.3, PEAK = 3.5;
  // The wall's cross-section as a closed loop (radius, share of the wall's height).
  const std::vector<std::pair<double, double>> section = {
      {outer, 0}, {outer, 0.8}, {outer - 0.2, 0.97}, {0.5 * (inner + outer), 1.03}, {inner + 0.2, 0.97},
      {inner, 0.8}, {inner, 0}};
  constexpr int STEPS_A_POINT = 6;
  const int steps = points * STEPS_A_POINT;
  TAssetMesh mesh;
  const std::uint32_t group = groups.Next();
  std::vector<std::vector<int>> rows;
  for (int j = 0; j < steps; ++j) {
    const double a = 2 * PI * j / steps;
    const double f = std::fabs(std::remainder(double(j) / STEPS_A_POINT, 1.0)) * 2;  // 0 at a point, 1 between
    const double h = VALLEY + (PEAK - VALLEY) * std::pow(1 - f, 1.6);
    std::vector<int> row;
    for (auto [r, s] : section) {
      const TPoint3 q{r * std::cos(a), r * std::sin(a), z + s * h};
      row.push_back(mesh.AddPoint(q, map.At(q)));
    }
    rows.push_back(row);
  }
  const int n = static_cast<int>(section.size());
  for (int j = 0; j < steps; ++j)
    for (int k = 0; k < n; ++k) {
      // The loop runs outside-up, over the top, inside-down and back along the
      // bottom: with the angle growing, (j, k) (j+1, k) (j+1, k+1) faces out.
      const std::vector<int>& here = rows[j];
      const std::vector<int>& next = rows[(j + 1) % steps];
      const int a = here[k], b = next[k], c = next[(k + 1) % n], d = here[(k + 1) % n];
      mesh.AddFace(a, b, c, group);
      mesh.AddFace(a, c, d, group);
    }
  for (int k = 0; k < points; ++k) {
    const double a = 2 * PI * k / points, r = 0.5 * (inner + outer);
    mesh.Append(Sphere({r * std::cos(a), r * std::sin(a), z + PEAK + 0.55}, 0.95, 8, 4, map, groups));
  }
  return mesh;
}

TAssetMesh Queen() {
  TParts parts(50.0);
  TProfile p = Foot(11.3);
  p.Curve(6.8, 6.2, 5.6, 8.5, 5.1, 13.0);
  p.Curve(4.6, 17.0, 4.2, 23.0, 4.4, 27.2);
  Collar(p, 27.2, 7.6, 5.0);
  p.Line(4.4, 32.3);
  p.Curve(5.0, 34.8, 7.4, 37.6, 7.8, 40.6).Corner();
  p.Line(6.5, 40.6).Corner();
  // Inside the coronet a dome rises to the neck of the ball.
  p.Curve(5.5, 41.0, 3.5, 42.8, 2.4, 44.3);
  p.Curve(1.9, 44.8, 1.5, 45.1, 1.6, 45.6).Corner();
  p.Line(0, 45.8);
  parts.Turn(p);
  parts.Mesh.Append(Coronet(40.3, 6.4, 8.0, 8, parts.Map, parts.Groups));
  parts.Mesh.Append(Sphere({0, 0, 47.7}, 2.3, 20, 10, parts.Map, parts.Groups));
  return parts.Mesh;
}

TAssetMesh Rook() {
  constexpr double HEIGHT = 30.8;
  TParts parts(HEIGHT);
  TProfile p = Foot(11.6);
  p.Curve(7.2, 6.3, 7.2, 8.0, 7.3, 10.0);
  p.Curve(7.35, 14.0, 7.0, 18.0, 6.9, 20.0);
  p.Curve(7.6, 20.2, 8.3, 20.5, 8.3, 21.1);
  p.Curve(8.3, 21.7, 7.9, 21.9, 7.4, 22.0).Corner();
  p.Curve(8.2, 22.3, 8.9, 22.9, 8.9, 23.8);
  p.Line(8.9, 27.4).Corner();
  p.Line(6.3, 27.4).Corner();
  p.Line(6.3, 25.8).Corner();
  p.Line(0, 25.8);
  parts.Turn(p);
  // Six battlements, one facing the start camera.
  for (int k = 0; k < 6; ++k) {
    const double centre = PI + k * PI / 3, half = 17 * DEGREES;
    parts.Mesh.Append(RingSector(6.3, 8.9, 27.4, HEIGHT, centre - half, centre + half, 6, parts.Map, parts.Groups));
  }
  return parts.Mesh;
}

TAssetMesh Bishop() {
  TParts parts(40.6);
  TProfile p = Foot(10.6);
  p.Curve(6.4, 6.2, 5.2, 8.5, 4.7, 12.5);
  p.Curve(4.3, 16.5, 3.9, 20.0, 4.0, 22.4);
  Collar(p, 22.4, 6.9, 3.8);
  p.Line(0, 27.4);
  parts.Turn(p);
  // The mitre, an egg rising to a point, with the slanting cut through its front.
  TProfile mitre(0, 26.0);
  mitre.Line(3.0, 26.0).Corner().Curve(4.2, 26.6, 5.8, 28.2, 5.8, 30.6);
  mitre.Curve(5.8, 33.0, 4.0, 35.6, 2.2, 36.9).Curve(1.4, 37.4, 0.8, 37.7, 0, 37.8);
  TAssetMesh head = Revolve(mitre, SEGMENTS, parts.Map, parts.Groups);
  const double tilt = 52 * DEGREES;
  CutSlot(head, {{0, 0.6, 32.4}, {0, std::sin(tilt), std::cos(tilt)}, {0, -std::cos(tilt), std::sin(tilt)}, 0.6, 1.2},
          parts.Map, parts.Groups);
  parts.Mesh.Append(head);
  parts.Mesh.Append(Sphere({0, 0, 39.0}, 1.6, 16, 8, parts.Map, parts.Groups));
  return parts.Mesh;
}

// ---------------------------------------------------------------------------
// The knight

// The neck seen from the side in the (y, z) plane, the horse looking along -y:
// the throat in front, the poll on top, the back of the neck behind.
const TOutline& KnightNeck() {
  static const TOutline outline({{-5.0, 6.5}, {-6.0, 9.5}, {-6.2, 12.5}, {-5.6, 15.5}, {-4.6, 18.5}, {-4.3, 22.0},
                                 {-4.7, 26.0}, {-5.0, 29.5}, {-3.5, 32.0}, {-1.0, 32.6}, {1.8, 31.4}, {4.2, 28.8},
                                 {6.0, 25.0}, {7.0, 20.0}, {7.3, 14.5}, {7.1, 9.5}, {6.4, 6.5}});
  return outline;
}

// The back of the neck, from the poll down, where the locks of the mane lie.
constexpr TPoint3 MANE[] = {{0, 1.0, 32.0}, {0, 3.0, 30.3}, {0, 4.8, 27.6}, {0, 6.1, 24.3},
                            {0, 6.9, 20.6}, {0, 7.3, 16.8}, {0, 7.4, 13.0}, {0, 7.2, 9.6}};

double KnightField(TPoint3 q) {
  // The neck: the side view pushed out across x, rounded almost to an ellipse.
  const double w = 4.3 - 0.05 * (q.z - 6.5);
  const double side = KnightNeck().Distance(q.y, q.z);
  const double round = 0.85 * w;
  const double a = side + round, b = std::fabs(q.x) - w + round;
  double d = std::hypot(std::max(a, 0.0), std::max(b, 0.0)) + std::min(std::max(a, b), 0.0) - round;

  // The head: a long tapering form from the forehead down to the muzzle, narrower
  // across than deep, with the round jaw behind and the chin below.
  const TPoint3 narrow{q.x / 0.78, q.y, q.z};
  double head = 0.78 * SdRoundCone(narrow, {0, -4.6, 28.6}, {0, -10.9, 22.6}, 3.3, 2.25);
  head = SmoothUnion(head, SdEllipsoid(q, {0, -5.2, 23.6}, {2.9, 3.3, 3.6}), 1.2);
  head = SmoothUnion(head, SdEllipsoid(q, {0, -10.0, 21.0}, {1.35, 1.9, 0.9}), 0.6);
  // The mouth between the lips, across the whole muzzle.
  head = SmoothSubtract(head, std::hypot(std::max(0.0, std::fabs(q.y + 11.0) - 1.8), q.z - 21.4) - 0.28, 0.25);
  d = SmoothUnion(d, head, 1.4);

  for (double sx : {-1.0, 1.0}) {
    d = SmoothSubtract(d, SdSphere(q, {sx * 1.45, -12.5, 23.4}, 0.65), 0.35);           // nostril
    d = SmoothUnion(d, SdEllipsoid(q, {sx * 2.15, -6.9, 27.9}, {0.9, 1.3, 0.8}), 0.5);  // brow
    d = SmoothUnion(d, SdSphere(q, {sx * 2.35, -7.3, 27.2}, 0.75), 0.3);                 // eye
    // The ears: upright cones, hollow in front.
    double ear = SdRoundCone(q, {sx * 1.4, -3.2, 30.8}, {sx * 1.85, -3.6, 34.4}, 1.35, 0.45);
    ear = SmoothSubtract(ear, SdRoundCone(q, {sx * 1.45, -4.35, 31.8}, {sx * 1.8, -4.3, 33.9}, 0.6, 0.2), 0.25);
    d = SmoothUnion(d, ear, 0.5);
  }
  d = SmoothUnion(d, SdEllipsoid(q, {0, -4.4, 31.3}, {1.0, 1.3, 0.9}), 0.5);  // forelock

  // The mane: a narrow crest down the back of the neck, carved across into locks
  // that slant down and back.
  double crest = 1e9, along = 0;
  double travelled = 0;
  for (std::size_t i = 0; i + 1 < std::size(MANE); ++i) {
    const TPoint3 p0 = MANE[i], p1 = MANE[i + 1], seg = p1 - p0;
    const double length = Length(seg);
    const TPoint3 rel{(q.x - p0.x) / 0.85, q.y - p0.y, q.z - p0.z};
    const double t = std::clamp(Dot(rel, seg) / (length * length), 0.0, 1.0);
    const double dist = 0.85 * (Length(rel - seg * t) - 1.45);
    if (dist < crest) {
      crest = dist;
      along = travelled + t * length + 0.6 * (q.y - (p0.y + seg.y * t));
    }
    travelled += length;
  }
  crest += 0.13 * (1 + std::cos(2 * PI * along / 2.3));
  d = SmoothUnion(d, crest, 0.8);
  return d;
}

TAssetMesh Knight() {
  TParts parts(35.2);
  TProfile p = Foot(10.6);
  // A round plinth under the head.
  p.Curve(7.2, 6.3, 8.4, 6.5, 8.7, 7.3);
  p.Curve(8.9, 8.0, 8.7, 8.5, 8.1, 8.6).Corner();
  p.Line(0, 8.6);
  parts.Turn(p);
  TAssetMesh head = Polygonise(KnightField, {-6.0, -14.0, 6.03}, {6.0, 9.5, 36.5}, 0.25, parts.Map, parts.Groups);
  Simplify(head, 2000, parts.Map);
  parts.Mesh.Append(head);
  return parts.Mesh;
}

TAssetMesh Pawn() {
  TParts parts(25.0);
  TProfile p = Foot(9.0);
  p.Curve(5.6, 4.8, 4.4, 6.6, 4.0, 9.5);
  p.Curve(3.7, 11.7, 3.4, 13.0, 3.5, 13.8);
  p.Curve(4.5, 14.0, 6.1, 14.0, 6.4, 14.7);
  p.Curve(6.6, 15.4, 6.2, 15.8, 5.4, 15.9);
  p.Curve(4.2, 16.0, 3.2, 16.1, 2.9, 16.5).Corner();
  const double centre = 20.7, radius = 4.3;
  p.Line(2.9, centre - std::sqrt(radius * radius - 2.9 * 2.9)).Corner();
  p.ArcTo(0, centre, 90, 12);
  parts.Turn(p);
  return parts.Mesh;
}

}  // namespace

TAssetMesh PieceMesh(TPieceKind kind) {
  switch (kind) {
    case TPieceKind::King: return King();
    case TPieceKind::Queen: return Queen();
    case TPieceKind::Rook: return Rook();
    case TPieceKind::Bishop: return Bishop();
    case TPieceKind::Knight: return Knight();
    case TPieceKind::Pawn: return Pawn();
  }
  return {};
}

TModel3DS PieceModel(TPieceKind kind) {
  TAssetMesh mesh = PieceMesh(kind);
  mesh.Translate(BakedPlacement::PIECE_BASE);
  const std::vector<TAssetMaterial> materials = {{"Boxwood", {0.86f, 0.74f, 0.55f}}};
  TModel3DS model;
  model.Materials = {MaterialRecordOf(materials[0])};
  for (const TPieceFile& file : PIECE_FILES)
    if (file.Kind == kind)
      model.Meshes = {MeshRecordOf(mesh, file.FileName.substr(0, file.FileName.find('.')), materials)};
  return model;
}
