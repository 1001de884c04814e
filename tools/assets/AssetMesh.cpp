#include "tools/assets/AssetMesh.h"

#include <array>
#include <map>

#include "base/Exceptions.h"

void TAssetMesh::Append(const TAssetMesh& other) {
  const int base = static_cast<int>(Points.size());
  Points.insert(Points.end(), other.Points.begin(), other.Points.end());
  TexCoords.insert(TexCoords.end(), other.TexCoords.begin(), other.TexCoords.end());
  for (TAssetFace f : other.Faces) Faces.push_back({f.A + base, f.B + base, f.C + base, f.Smoothing, f.Material});
}

void TAssetMesh::Translate(TPoint3 delta) {
  for (TPoint3& p : Points) p = p + delta;
}

void TAssetMesh::Weld() {
  using TKey = std::array<float, 5>;
  std::map<TKey, int> first;
  std::vector<int> target(Points.size());
  std::vector<TPoint3> points;
  std::vector<TTexPoint> texCoords;
  for (std::size_t i = 0; i < Points.size(); ++i) {
    const TKey key{float(Points[i].x), float(Points[i].y), float(Points[i].z), TexCoords[i].S, TexCoords[i].T};
    auto [at, added] = first.emplace(key, static_cast<int>(points.size()));
    if (added) {
      points.push_back(Points[i]);
      texCoords.push_back(TexCoords[i]);
    }
    target[i] = at->second;
  }
  std::vector<TAssetFace> faces;
  for (TAssetFace f : Faces) {
    f = {target[f.A], target[f.B], target[f.C], f.Smoothing, f.Material};
    if (f.A != f.B && f.B != f.C && f.C != f.A) faces.push_back(f);
  }
  Points = std::move(points);
  TexCoords = std::move(texCoords);
  Faces = std::move(faces);
}

TMeshRecord3DS MeshRecordOf(const TAssetMesh& mesh, const std::string& name,
                            const std::vector<TAssetMaterial>& materials) {
  BRV_ASSERT_MSG(mesh.Points.size() <= 0xFFFF && mesh.Faces.size() <= 0xFFFF,
                 "MeshRecordOf(): a 3DS mesh holds at most 65535 points and faces");
  TMeshRecord3DS record;
  record.Name = name;
  record.LocalMatrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (TPoint3 p : mesh.Points)
    record.Vertices.push_back({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
  record.TexCoords = mesh.TexCoords;
  auto index = [](int i) { return static_cast<std::uint16_t>(i); };
  for (const TAssetFace& f : mesh.Faces) {
    record.Faces.push_back({index(f.A), index(f.B), index(f.C), 7});
    record.SmoothingGroups.push_back(f.Smoothing);
  }
  for (std::size_t m = 0; m < materials.size(); ++m) {
    TMaterialGroupRecord3DS group{materials[m].Name, {}};
    for (std::size_t i = 0; i < mesh.Faces.size(); ++i)
      if (mesh.Faces[i].Material == static_cast<int>(m)) group.FaceIndices.push_back(index(static_cast<int>(i)));
    if (!group.FaceIndices.empty()) record.MaterialGroups.push_back(std::move(group));
  }
  return record;
}

TMaterialRecord3DS MaterialRecordOf(const TAssetMaterial& material) {
  TMaterialRecord3DS record;
  record.Name = material.Name;
  const TColor3DS& d = material.Diffuse;
  record.Ambient = {d.R * 0.3f, d.G * 0.3f, d.B * 0.3f};
  record.Diffuse = d;
  record.Specular = {0.9f, 0.9f, 0.9f};
  record.Shininess = material.Shininess;
  record.ShininessStrength = material.ShininessStrength;
  return record;
}
