#include "tools/assets/Board.h"

#include <array>
#include <cstring>

#include "base/Exceptions.h"
#include "tools/assets/BoardLayout.h"
#include "tools/assets/Lathe.h"

namespace {

using BakedPlacement::ARTISTIC_TOP_X;

constexpr double HALF = 15;       // half a square
constexpr double BEVEL = 0.6;     // the squares' chamfered edges
constexpr double FLOOR = ARTISTIC_TOP_X - 0.5;  // where neighbouring chamfers meet
constexpr double TEXTURE_SPAN = 60;  // board units per texture repeat

// A quad turned so that it faces along `outward`; texture coordinates from `uv`.
void AddQuad(TAssetMesh& mesh, const std::array<TPoint3, 4>& corners, TPoint3 outward, std::uint32_t group,
             const std::function<TTexPoint(TPoint3)>& uv) {
  std::array<int, 4> v;
  for (int k = 0; k < 4; ++k) v[k] = mesh.AddPoint(corners[k], uv(corners[k]));
  const TPoint3 normal = Cross(corners[1] - corners[0], corners[2] - corners[0]) +
                         Cross(corners[2] - corners[0], corners[3] - corners[0]);
  if (Dot(normal, outward) < 0) std::swap(v[1], v[3]);
  mesh.AddFace(v[0], v[1], v[2], group);
  mesh.AddFace(v[0], v[2], v[3], group);
}

// The rectangle (y0, z0)-(y1, z1) grown by d on every side at height x, corners
// in order round it.
std::array<TPoint3, 4> Ring(double y0, double z0, double y1, double z1, double d, double x) {
  return {{{x, y0 - d, z0 - d}, {x, y1 + d, z0 - d}, {x, y1 + d, z1 + d}, {x, y0 - d, z1 + d}}};
}

// A small deterministic hash for the squares' texture offsets.
double Scatter(int a, int b) {
  std::uint32_t h = static_cast<std::uint32_t>(a) * 73856093u ^ static_cast<std::uint32_t>(b) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return (h % 1000) / 1000.0;
}

void AddSquare(TAssetMesh& mesh, int row, int column, TSmoothingGroups& groups) {
  const TPoint3 centre = BakedPlacement::ArtisticSquareCentre(row, column);
  const double y0 = centre.y - HALF, y1 = centre.y + HALF, z0 = centre.z - HALF, z1 = centre.z + HALF;
  // Planar texture coordinates, each square cut from its own part of the texture.
  const double du = Scatter(row, column) * TEXTURE_SPAN, dv = Scatter(column, row + 9) * TEXTURE_SPAN;
  auto uv = [&](TPoint3 p) {
    return TTexPoint{float((p.z - z0 + du) / TEXTURE_SPAN), float((p.y - y0 + dv) / TEXTURE_SPAN)};
  };
  const auto top = Ring(y0, z0, y1, z1, -BEVEL, ARTISTIC_TOP_X);
  const auto edge = Ring(y0, z0, y1, z1, 0, FLOOR);
  AddQuad(mesh, top, {1, 0, 0}, groups.Next(), uv);
  for (int k = 0; k < 4; ++k) {
    const int n = (k + 1) % 4;
    const TPoint3 out = Normalized((edge[k] + edge[n]) * 0.5 - TPoint3{FLOOR, centre.y, centre.z});
    AddQuad(mesh, {top[k], top[n], edge[n], edge[k]}, out + TPoint3{1, 0, 0}, groups.Next(), uv);
  }
}

// The frame round the squares, as a profile (distance outwards from the squares'
// edge, height) carried round the board, and the bottom that closes it.
void AddFrame(TAssetMesh& mesh, TSmoothingGroups& groups) {
  const TPoint3 a = BakedPlacement::ArtisticSquareCentre(8, 8), h = BakedPlacement::ArtisticSquareCentre(1, 1);
  const double y0 = std::min(a.y, h.y) - HALF, y1 = std::max(a.y, h.y) + HALF;
  const double z0 = std::min(a.z, h.z) - HALF, z1 = std::max(a.z, h.z) + HALF;
  constexpr double T = ARTISTIC_TOP_X;
  const std::vector<std::pair<double, double>> profile = {
      {0, FLOOR}, {1.4, T + 1.0}, {15.0, T + 1.0}, {15.8, T + 0.8}, {16.3, T + 0.3}, {16.5, T - 0.4}, {16.5, T - 12}};
  // Smooth across the rounded outer edge, hard at the others.
  const std::vector<bool> smoothWithNext = {false, false, true, true, false, false};
  std::uint32_t group = groups.Next();
  for (std::size_t s = 0; s + 1 < profile.size(); ++s) {
    const auto [d0, x0] = profile[s];
    const auto [d1, x1] = profile[s + 1];
    const auto inner = Ring(y0, z0, y1, z1, d0, x0), outer = Ring(y0, z0, y1, z1, d1, x1);
    // The profile's normal: outwards and up for a step outwards and down.
    const double nd = x0 - x1, nx = d1 - d0;
    for (int k = 0; k < 4; ++k) {
      const int n = (k + 1) % 4;
      const TPoint3 side = Normalized((inner[k] + inner[n]) * 0.5 - TPoint3{x0, 0.5 * (y0 + y1), 0.5 * (z0 + z1)});
      const TPoint3 horizontal = Normalized(TPoint3{0, side.y, side.z});
      // Wood grain along each side of the frame.
      const bool alongZ = std::fabs(horizontal.y) > std::fabs(horizontal.z);
      auto uv = [&](TPoint3 p) {
        const double across = alongZ ? p.y : p.z, along = alongZ ? p.z : p.y;
        return TTexPoint{float(across / TEXTURE_SPAN), float(along / TEXTURE_SPAN)};
      };
      // In eight parts, so that the inner edge meets the squares' edges point for
      // point and every edge of the board is shared by exactly two faces.
      for (int i = 0; i < 8; ++i) {
        auto along = [&](const std::array<TPoint3, 4>& r, int j) { return r[k] + (r[n] - r[k]) * (j / 8.0); };
        AddQuad(mesh, {along(inner, i), along(inner, i + 1), along(outer, i + 1), along(outer, i)},
                horizontal * nd + TPoint3{nx, 0, 0}, group, uv);
      }
    }
    if (!smoothWithNext[s]) group = groups.Next();
  }
  // The bottom, in the same eight parts along each side.
  const auto bottom = Ring(y0, z0, y1, z1, profile.back().first, profile.back().second);
  const std::uint32_t underneath = groups.Next();
  auto uv = [](TPoint3 p) { return TTexPoint{float(p.z / TEXTURE_SPAN), float(p.y / TEXTURE_SPAN)}; };
  const TPoint3 across = (bottom[1] - bottom[0]) * (1 / 8.0), up = (bottom[3] - bottom[0]) * (1 / 8.0);
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      const TPoint3 p = bottom[0] + across * i + up * j;
      AddQuad(mesh, {p, p + across, p + across + up, p + up}, {-1, 0, 0}, underneath, uv);
    }
}

// The strokes of the coordinates' characters on a grid 4 wide and 6 high (y up,
// lower-case letters 4 high), each a polyline.
using TStroke = std::vector<std::pair<double, double>>;
std::vector<TStroke> Glyph(char c) {
  const TStroke bowl = {{4, 3}, {3, 4}, {1, 4}, {0, 3}, {0, 1}, {1, 0}, {3, 0}, {4, 1}};
  switch (c) {
    case 'a': return {{{4, 4}, {4, 0}}, bowl};
    case 'b': return {{{0, 6}, {0, 0}}, {{0, 3}, {1, 4}, {3, 4}, {4, 3}, {4, 1}, {3, 0}, {1, 0}, {0, 1}}};
    case 'c': return {{{4, 3.4}, {3, 4}, {1, 4}, {0, 3}, {0, 1}, {1, 0}, {3, 0}, {4, 0.6}}};
    case 'd': return {{{4, 6}, {4, 0}}, bowl};
    case 'e': return {{{0, 2}, {4, 2}, {4, 3}, {3, 4}, {1, 4}, {0, 3}, {0, 1}, {1, 0}, {3, 0}, {4, 0.6}}};
    case 'f': return {{{3.6, 5.6}, {3, 6}, {2.2, 6}, {1.5, 5.2}, {1.5, 0}}, {{0.4, 4}, {3, 4}}};
    case 'g':
      return {{{4, 3}, {3, 4}, {1, 4}, {0, 3}, {0, 2}, {1, 1}, {3, 1}, {4, 2}},
              {{4, 4}, {4, -0.6}, {3, -1.6}, {1, -1.6}, {0, -1}}};
    case 'h': return {{{0, 6}, {0, 0}}, {{0, 3}, {1, 4}, {3, 4}, {4, 3}, {4, 0}}};
    case '1': return {{{0.8, 4.8}, {2, 6}, {2, 0}}, {{0.8, 0}, {3.2, 0}}};
    case '2': return {{{0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 4}, {0, 0}, {4, 0}}};
    case '3':
      return {{{0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}, {4, 2}, {4, 1}, {3, 0}, {1, 0}, {0, 1}},
              {{1.5, 3}, {3, 3}}};
    case '4': return {{{3, 0}, {3, 6}, {0, 2}, {4, 2}}};
    case '5': return {{{4, 6}, {0, 6}, {0, 3.5}, {3, 3.5}, {4, 2.5}, {4, 1}, {3, 0}, {1, 0}, {0, 1}}};
    case '6':
      return {{{3.5, 6}, {2, 6}, {0, 4}, {0, 1}, {1, 0}, {3, 0}, {4, 1}, {4, 2.5}, {3, 3.5}, {1, 3.5}, {0, 2.5}}};
    case '7': return {{{0, 6}, {4, 6}, {1.5, 0}}};
    case '8':
      return {{{2, 3.3}, {1, 3.8}, {0.6, 4.8}, {1.2, 6}, {2.8, 6}, {3.4, 4.8}, {3, 3.8}, {2, 3.3}, {0.6, 2.6}, {0, 1.3},
               {1, 0}, {3, 0}, {4, 1.3}, {3.4, 2.6}, {2, 3.3}}};
  }
  return {};
}

// A character inlaid in the frame's top, readable from the light side: each
// stroke a thin bar standing a little proud of the wood. `centre` is the middle
// of the character in the board's (y, z).
void AddCharacter(TAssetMesh& mesh, char c, double y, double z, TSmoothingGroups& groups) {
  constexpr double SCALE = 0.8, WIDTH = 0.55, TOP = ARTISTIC_TOP_X + 1.1, BOTTOM = ARTISTIC_TOP_X + 0.95;
  // The character's right is the board's +z, its up the board's -y.
  auto place = [&](double gx, double gy, double x) { return TPoint3{x, y - (gy - 3) * SCALE, z + (gx - 2) * SCALE}; };
  auto uv = [](TPoint3 p) { return TTexPoint{float(p.z / TEXTURE_SPAN), float(p.y / TEXTURE_SPAN)}; };
  for (const TStroke& stroke : Glyph(c))
    for (std::size_t i = 0; i + 1 < stroke.size(); ++i) {
      const auto [x0, y0] = stroke[i];
      const auto [x1, y1] = stroke[i + 1];
      const double length = std::hypot(x1 - x0, y1 - y0);
      // Along and across the stroke in glyph units; the ends reach over the joints.
      const double ax = (x1 - x0) / length, ay = (y1 - y0) / length, h = 0.5 * WIDTH / SCALE;
      const std::pair<double, double> corners[4] = {{x0 - (ax + ay) * h, y0 - (ay - ax) * h},
                                                    {x1 + (ax - ay) * h, y1 + (ay + ax) * h},
                                                    {x1 + (ax + ay) * h, y1 + (ay - ax) * h},
                                                    {x0 - (ax - ay) * h, y0 - (ay + ax) * h}};
      std::array<TPoint3, 4> top, bottom;
      for (int k = 0; k < 4; ++k) {
        top[k] = place(corners[k].first, corners[k].second, TOP);
        bottom[k] = place(corners[k].first, corners[k].second, BOTTOM);
      }
      const TPoint3 middle = (top[0] + top[2]) * 0.5;
      AddQuad(mesh, top, {1, 0, 0}, groups.Next(), uv);
      AddQuad(mesh, bottom, {-1, 0, 0}, groups.Next(), uv);
      for (int k = 0; k < 4; ++k) {
        const int n = (k + 1) % 4;
        AddQuad(mesh, {bottom[k], bottom[n], top[n], top[k]}, (top[k] + top[n]) * 0.5 - middle, groups.Next(), uv);
      }
    }
}

// The files along both ranks' sides of the frame, the ranks along both files'.
void AddCoordinates(TAssetMesh& mesh, TSmoothingGroups& groups) {
  constexpr double BAND = 0.5 * (1.4 + 15.0);  // the middle of the frame's flat top
  const TPoint3 a1 = BakedPlacement::ArtisticSquareCentre(1, 8), h8 = BakedPlacement::ArtisticSquareCentre(8, 1);
  for (int i = 0; i < 8; ++i) {
    const TPoint3 file = BakedPlacement::ArtisticSquareCentre(1, 8 - i);
    const TPoint3 rank = BakedPlacement::ArtisticSquareCentre(1 + i, 8);
    for (double y : {a1.y + HALF + BAND, h8.y - HALF - BAND}) AddCharacter(mesh, char('a' + i), y, file.z, groups);
    for (double z : {a1.z - HALF - BAND, h8.z + HALF + BAND}) AddCharacter(mesh, char('1' + i), rank.y, z, groups);
  }
}

}  // namespace

TAssetMesh BoardHalfMesh(bool light) {
  TAssetMesh mesh;
  TSmoothingGroups groups;
  for (int row = 1; row <= 8; ++row)
    for (int column = 1; column <= 8; ++column) {
      // a1 (row 1, column 8) is dark.
      const bool dark = (row + (9 - column)) % 2 == 0;
      if (dark != light) AddSquare(mesh, row, column, groups);
    }
  if (light) AddCoordinates(mesh, groups);
  if (!light) AddFrame(mesh, groups);
  mesh.Weld();
  return mesh;
}

TModel3DS BoardHalfModel(bool light) {
  const std::vector<TAssetMaterial> materials = {
      light ? TAssetMaterial{"Maple", {0.93f, 0.84f, 0.66f}, 0.1f, 0.1f}
            : TAssetMaterial{"Walnut", {0.36f, 0.22f, 0.13f}, 0.1f, 0.1f}};
  TModel3DS model;
  model.Materials = {MaterialRecordOf(materials[0])};
  model.Meshes = {MeshRecordOf(BoardHalfMesh(light), light ? "scacchierabianco" : "scacchieranero", materials)};
  return model;
}

std::string PaddedModel3DSBytes(const TModel3DS& model, std::size_t size) {
  std::string bytes = Model3DSBytes(model);
  BRV_ASSERT_MSG(bytes.size() + 6 <= size, "PaddedModel3DSBytes(): the model does not leave room for the padding");
  const std::uint32_t padding = static_cast<std::uint32_t>(size - bytes.size());
  bytes.append(reinterpret_cast<const char*>(&CHUNK_PADDING), 2);
  bytes.append(reinterpret_cast<const char*>(&padding), 4);
  bytes.append(padding - 6, '\0');
  // The top chunk now ends at the file's end.
  const std::uint32_t total = static_cast<std::uint32_t>(bytes.size());
  std::memcpy(bytes.data() + 2, &total, 4);
  return bytes;
}
