#pragma once
// Triangle meshes as the asset generator builds them: points in double precision,
// one texture coordinate per vertex, and faces that carry a smoothing-group mask and
// a material. A mesh turns into the mesh record of a 3DS file.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "meshes/threeds/Records3DS.h"

struct TPoint3 {
  double x = 0, y = 0, z = 0;
};

inline TPoint3 operator+(TPoint3 a, TPoint3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline TPoint3 operator-(TPoint3 a, TPoint3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline TPoint3 operator-(TPoint3 a) { return {-a.x, -a.y, -a.z}; }
inline TPoint3 operator*(TPoint3 a, double f) { return {a.x * f, a.y * f, a.z * f}; }
inline TPoint3 operator*(double f, TPoint3 a) { return a * f; }
inline double Dot(TPoint3 a, TPoint3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline TPoint3 Cross(TPoint3 a, TPoint3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(TPoint3 a) { return std::sqrt(Dot(a, a)); }
// The unit vector along `a`; the zero vector stays zero.
inline TPoint3 Normalized(TPoint3 a) {
  double length = Length(a);
  return length > 0 ? a * (1 / length) : a;
}

struct TAssetFace {
  int A, B, C;  // counter-clockwise seen from outside
  std::uint32_t Smoothing;
  int Material;
};

// A material of the generated models: its name, colour and the look of its highlight.
struct TAssetMaterial {
  std::string Name;
  TColor3DS Diffuse;
  float Shininess = 0.25f, ShininessStrength = 0.3f;
};

class TAssetMesh {
public:
  std::vector<TPoint3> Points;
  std::vector<TTexPoint> TexCoords;  // one per point
  std::vector<TAssetFace> Faces;

  int AddPoint(TPoint3 p, TTexPoint uv) {
    Points.push_back(p);
    TexCoords.push_back(uv);
    return static_cast<int>(Points.size()) - 1;
  }
  void AddFace(int a, int b, int c, std::uint32_t smoothing, int material = 0) {
    Faces.push_back({a, b, c, smoothing, material});
  }
  // The points and faces of `other`, after this mesh's own.
  void Append(const TAssetMesh& other);
  // Every point moved by `delta`.
  void Translate(TPoint3 delta);
  // Merges points that are equal in single precision and have equal texture
  // coordinates, and drops the faces that this leaves without area.
  void Weld();
};

// The mesh as a named object of a 3DS file, with one material group per material
// (in `materials` order, groups without faces left out). The mesh must fit the
// format: at most 65535 points and faces.
TMeshRecord3DS MeshRecordOf(const TAssetMesh& mesh, const std::string& name,
                            const std::vector<TAssetMaterial>& materials);
TMaterialRecord3DS MaterialRecordOf(const TAssetMaterial& material);
