#include "meshes/GLFile3DS.h"

#include "meshes/GLVectorFileObjectsFaceGroups.h"
#include "meshes/threeds/File3DS.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// Faces store 16-bit vertex indices.
constexpr int MAX_VERTICES = 65536;
constexpr int SMOOTHING_BITS = 32;

[[noreturn]] void RaiseBadMesh(const TMeshRecord3DS& mesh, const std::string& detail) {
  Raise3DSInvalidChunk("Mesh \"" + mesh.Name + "\": " + detail);
}

// Every index of the record names something that exists, before any is used.
void CheckMeshRecord(TFile3DS& file, const TMeshRecord3DS& mesh) {
  const std::size_t vertexCount = mesh.Vertices.size(), faceCount = mesh.Faces.size();
  for (std::size_t f = 0; f < faceCount; ++f)
    for (std::uint16_t v : {mesh.Faces[f].V1, mesh.Faces[f].V2, mesh.Faces[f].V3})
      if (v >= vertexCount)
        RaiseBadMesh(mesh, "face " + std::to_string(f) + " names vertex " + std::to_string(v) + ", but the mesh has " +
                               std::to_string(vertexCount) + " vertices");
  if (!mesh.TexCoords.empty() && mesh.TexCoords.size() < vertexCount)
    RaiseBadMesh(mesh, std::to_string(mesh.TexCoords.size()) + " texture coordinates for " +
                           std::to_string(vertexCount) + " vertices");
  if (!mesh.SmoothingGroups.empty() && mesh.SmoothingGroups.size() < faceCount)
    RaiseBadMesh(mesh, std::to_string(mesh.SmoothingGroups.size()) + " smoothing groups for " +
                           std::to_string(faceCount) + " faces");
  for (const TMaterialGroupRecord3DS& group : mesh.MaterialGroups) {
    for (std::uint16_t f : group.FaceIndices)
      if (f >= faceCount)
        RaiseBadMesh(mesh, "the faces of material \"" + group.MaterialName + "\" name face " + std::to_string(f) +
                               ", but the mesh has " + std::to_string(faceCount) + " faces");
    if (!file.Materials().MaterialByName(group.MaterialName))
      RaiseBadMesh(mesh, "a material group names the material \"" + group.MaterialName +
                             "\", which the file does not hold");
  }
}

// One mesh record turned into vertices, normals and texture coordinates, with the
// corners of its faces pointing at them: a vertex shared by faces that do not share
// a smoothing group is duplicated, so that each face has its own normals there.
class TShadedMesh {
public:
  TShadedMesh(const TMeshRecord3DS& mesh, TMeshNormalsOrientation orientation) : FMesh(mesh) {
    const std::size_t count = mesh.Vertices.size();
    FVertices = mesh.Vertices;
    FNormals.assign(count, TAffineVector{0, 0, 0});
    if (!mesh.TexCoords.empty()) FTexCoords.assign(mesh.TexCoords.begin(), mesh.TexCoords.begin() + long(count));
    FUsed.assign(count, false);
    const bool smoothed = !mesh.SmoothingGroups.empty();
    if (smoothed) FServing.assign(count * SMOOTHING_BITS, -1);
    FCorners.resize(mesh.Faces.size());
    for (std::size_t f = 0; f < mesh.Faces.size(); ++f) {
      const TFace3DS& face = mesh.Faces[f];
      std::array<int, 3>& corners = FCorners[f];
      corners = {face.V1, face.V2, face.V3};
      const TAffineVector normal = FaceNormal(corners, orientation);
      if (smoothed)
        ShadeSmoothed(corners, normal, mesh.SmoothingGroups[f]);
      else
        ShadeFlat(corners, normal);
    }
    for (TAffineVector& n : FNormals) n = SafeNormalized(n);
  }

  // Into the mesh object's lists, which are empty.
  void CopyTo(TMeshObject& object) const {
    CopyInto(object.Vertices(), FVertices);
    CopyInto(object.Normals(), FNormals);
    std::vector<TAffineVector> texCoords(FTexCoords.size());
    std::transform(FTexCoords.begin(), FTexCoords.end(), texCoords.begin(),
                   [](const TTexPoint& t) { return TAffineVector{t.S, t.T, 0}; });
    CopyInto(object.TexCoords(), texCoords);
  }
  // The three vertex indices of each face in `faces`, in order.
  template <class TFaces>
  void AppendFaces(TFGVertexIndexList& group, const TFaces& faces) const {
    TIntegerList& indices = group.VertexIndices();
    int at = indices.Count();
    indices.SetCount(CheckedAdd(at, CheckedMul(int(std::size(faces)), 3)));
    for (std::size_t f : faces)
      for (int corner : FCorners[f]) indices.List()[at++] = corner;
  }

private:
  // Counter-clockwise corners seen from outside give an outward normal with
  // mnoDefault. It is not normalised: a larger face weighs more in a smooth vertex.
  TAffineVector FaceNormal(const std::array<int, 3>& c, TMeshNormalsOrientation orientation) const {
    const TAffineVector p0 = FVertices[std::size_t(c[0])], p1 = FVertices[std::size_t(c[1])],
                        p2 = FVertices[std::size_t(c[2])];
    const TAffineVector d1 = Vec3Sub(p0, p1), d2 = Vec3Sub(p2, p1);
    return orientation == mnoInvert ? Vec3Cross(d1, d2) : Vec3Cross(d2, d1);
  }

  // Every face keeps its own corners wherever vertices were shared.
  void ShadeFlat(std::array<int, 3>& corners, const TAffineVector& normal) {
    for (int& v : corners) {
      if (FUsed[std::size_t(v)]) v = Duplicate(v);
      FNormals[std::size_t(v)] = normal;
      FUsed[std::size_t(v)] = true;
    }
  }

  // Faces that share a vertex and the lowest bit of their smoothing masks add their
  // normals into it; other faces get copies of it.
  void ShadeSmoothed(std::array<int, 3>& corners, const TAffineVector& normal, std::uint32_t mask) {
    const int bit = mask != 0 ? std::countr_zero(mask) : 0;
    for (int& v : corners) {
      std::size_t at = std::size_t(v);
      if (!FUsed[at]) {
        FNormals[at] = normal;
        if (mask != 0) Serving(v, bit) = v;
        FUsed[at] = true;
      } else if (mask == 0) {
        v = Duplicate(v);
        FNormals[std::size_t(v)] = normal;
        FUsed[std::size_t(v)] = true;
      } else if (int serving = Serving(v, bit); serving >= 0) {
        Vec3AddInPlace(FNormals[std::size_t(serving)], normal);
        v = serving;
      } else {
        const int copy = Duplicate(v);
        FNormals[std::size_t(copy)] = normal;
        Serving(v, bit) = copy;
        Serving(copy, bit) = copy;
        FUsed[std::size_t(copy)] = true;
        v = copy;
      }
    }
  }

  int& Serving(int vertex, int bit) { return FServing[std::size_t(vertex) * SMOOTHING_BITS + std::size_t(bit)]; }

  // A copy of the vertex with a zero normal, appended; its index.
  int Duplicate(int v) {
    const int index = int(FVertices.size());
    if (index >= MAX_VERTICES)
      throw EInvalidVectorFile("Mesh \"" + FMesh.Name + "\" needs more than " + std::to_string(MAX_VERTICES - 1) +
                               " vertices once its faces are split by smoothing group; a 3DS mesh holds at most " +
                               std::to_string(MAX_VERTICES - 1) + " (it has " + std::to_string(FMesh.Vertices.size()) +
                               " vertices and " + std::to_string(FMesh.Faces.size()) + " faces)");
    FVertices.push_back(FVertices[std::size_t(v)]);
    FNormals.push_back({0, 0, 0});
    if (!FTexCoords.empty()) FTexCoords.push_back(FTexCoords[std::size_t(v)]);
    FUsed.push_back(false);
    if (!FServing.empty()) FServing.resize(FServing.size() + SMOOTHING_BITS, -1);
    return index;
  }

  template <class TItem>
  static void CopyInto(TAffineVectorList& list, const std::vector<TItem>& items) {
    static_assert(sizeof(TItem) == sizeof(TAffineVector));
    list.SetCount(int(items.size()));
    if (!items.empty()) std::memcpy(list.List(), items.data(), items.size() * sizeof(TItem));
  }

  const TMeshRecord3DS& FMesh;
  std::vector<TAffineVector> FVertices, FNormals;
  std::vector<TTexPoint> FTexCoords;
  std::vector<bool> FUsed;
  // Per vertex and smoothing bit, the vertex that serves faces of that bit; -1 for none.
  std::vector<int> FServing;
  std::vector<std::array<int, 3>> FCorners;
};

// A face group whose material is still to be found in the library.
struct TPendingMaterial {
  TFaceGroup* Group;
  std::string Name;
  const TMaterialRecord3DS* Material;
};

// Printable characters bound a texture file name; blanks and control characters
// around it do not count.
bool NamesAFile(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

// (1 - strength) x 128 of GL's 0..128; a strength above 100 % is taken as 100 %.
TShininess ShininessOf(float strength) {
  if (!(strength >= 0)) strength = 0;
  return static_cast<TShininess>(std::nearbyint((1 - std::min(strength, 1.0f)) * MAX_SHININESS));
}

void SetUpMaterial(TGLLibMaterial& libMaterial, const TMaterialRecord3DS& m) {
  TGLFaceProperties& front = libMaterial.Material().FrontProperties();
  front.Ambient().SetColor({m.Ambient.R, m.Ambient.G, m.Ambient.B, 1});
  front.Diffuse().SetColor({m.Diffuse.R, m.Diffuse.G, m.Diffuse.B, 1});
  const float specular = 1 - m.Shininess;
  front.Specular().SetColor(Vec4Scaled({m.Specular.R, m.Specular.G, m.Specular.B, 1}, specular));
  front.SetShininess(ShininessOf(m.ShininessStrength));
  if (NamesAFile(m.TextureMap.FileName)) {
    TGLTexture& texture = libMaterial.Material().Texture();
    texture.Image().LoadFromFile(m.TextureMap.FileName);
    texture.SetDisabled(false);
  }
}

// The face groups take their library materials, made from the file's records where
// the library has none of that name. A failure takes the materials made here away.
void ResolveMaterials(TGLMaterialLibrary* library, const std::vector<TPendingMaterial>& pending) {
  if (!library) return;
  TGLLibMaterials& materials = library->Materials();
  std::vector<TGLLibMaterial*> added;
  try {
    for (const TPendingMaterial& p : pending) {
      if (!materials.LibMaterialNamed(p.Name)) {
        TGLLibMaterial& libMaterial = materials.Add();
        added.push_back(&libMaterial);
        libMaterial.SetName(p.Name);
        SetUpMaterial(libMaterial, *p.Material);
      }
      p.Group->SetMaterialName(p.Name);
    }
  } catch (...) {
    for (auto it = added.rbegin(); it != added.rend(); ++it) materials.Delete((*it)->Index());
    throw;
  }
}

}  // namespace

void TGL3DSVectorFile::LoadFromStream(TStream& stream) {
  TFile3DS file;
  file.LoadFromStream(stream);
  std::vector<TPendingMaterial> pending;
  TObjectList& objects = file.Objects();
  for (int i = 0; i < objects.MeshCount(); ++i) {
    const TMeshRecord3DS& mesh = *objects.Mesh(i);
    if (mesh.Hidden || mesh.Vertices.size() < 3) continue;
    CheckMeshRecord(file, mesh);
    const TShadedMesh shaded(mesh, NormalsOrientation());

    TMeshObject& object = TMeshObject::CreateOwned(MeshObjects());
    object.SetName(mesh.Name);
    object.SetMode(dmFaceGroups);
    shaded.CopyTo(object);
    if (mesh.MaterialGroups.empty()) {
      std::vector<std::size_t> all(mesh.Faces.size());
      for (std::size_t f = 0; f < all.size(); ++f) all[f] = f;
      shaded.AppendFaces(object.FaceGroups().Add<TFGVertexIndexList>(), all);
      continue;
    }
    for (const TMaterialGroupRecord3DS& group : mesh.MaterialGroups) {
      TFGVertexIndexList& faceGroup = object.FaceGroups().Add<TFGVertexIndexList>();
      shaded.AppendFaces(faceGroup, group.FaceIndices);
      pending.push_back({&faceGroup, group.MaterialName, file.Materials().MaterialByName(group.MaterialName)});
    }
  }
  ResolveMaterials(OwnerMesh().MaterialLibrary(), pending);
}
