#include "meshes/GLFileSMD.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "ModelText.h"
#include "base/Strings.h"
#include "meshes/GLVectorFileObjectsActor.h"
#include "meshes/GLVectorFileObjectsFaceGroups.h"

namespace {

// Reads one SMD text into the skeleton and a skeleton mesh object. It changes
// the skeleton as it goes; the caller puts it back on a failure.
class TSMDReader {
public:
  TSMDReader(std::string_view text, std::string frameNamePrefix, TSkeleton& skeleton)
      : FLines(ModelTextLines(text)), FFramePrefix(std::move(frameNamePrefix)), FSkeleton(skeleton) {}

  const std::vector<std::string_view>& Lines() const { return FLines; }
  bool HasTriangles() const { return std::find(FLines.begin(), FLines.end(), "triangles") != FLines.end(); }

  void CheckHeader() const {
    if (FLines.empty() || FLines[0] != "version 1")
      throw Exception("SMD version 1 required: expected \"version 1\" on line 1, found " + Found(0));
    if (FLines.size() < 2 || FLines[1] != "nodes")
      throw Exception("nodes not found: expected \"nodes\" on line 2, found " + Found(1));
  }

  // The node lines, from line 3 to their "end"; they make the bones only when the
  // skeleton has none yet.
  void ReadNodes() {
    const bool makeBones = FSkeleton.Roots().Count() == 0;
    for (FAt = 2; !AtLine("end", "after the nodes"); ++FAt) {
      if (!makeBones) continue;
      const std::vector<std::string> fields = Fields(3, "a node of ID, name and parent ID");
      const int id = Integer(fields[0], "a bone ID of 0 or more");
      const int parent = Integer(fields[2], "a parent bone ID");
      if (id < 0) Refuse("a bone ID of 0 or more", std::to_string(id));
      if (FSkeleton.FindBone(id)) Refuse("a bone ID that no node before has", std::to_string(id));
      FSkeleton.AddBone(id, fields[1], parent);
    }
    ++FAt;
    if (FAt >= FLines.size() || FLines[FAt] != "skeleton")
      throw Exception("skeleton not found: expected \"skeleton\" on line " + std::to_string(FAt + 1) + ", found " +
                      Found(FAt));
    ++FAt;
  }

  // Poses until "end": a "time" line, then one line per bone in ID order.
  void ReadFrames() {
    while (!AtLine("end", "after the skeleton")) {
      const std::string_view timeLine = FLines[FAt];
      if (timeLine.substr(0, 5) != "time ") throw Exception("time not found, got: " + std::string(timeLine));
      TSkeletonFrame& frame = TSkeletonFrame::CreateOwned(FSkeleton.Frames());
      frame.SetName(FFramePrefix + std::string(timeLine));
      TAffineVectorList& positions = frame.Position();
      TAffineVectorList& rotations = frame.Rotation();
      for (++FAt; FAt < FLines.size() && StartsABoneLine(FLines[FAt]); ++FAt) {
        const std::vector<std::string> fields = Fields(7, "a bone's ID, position and rotation");
        const int id = Integer(fields[0], "a bone ID");
        if (id != positions.Count())
          throw Exception("Invalid vertex count: " + std::to_string(id) + " vs " + std::to_string(positions.Count()) +
                          " (line " + std::to_string(FAt + 1) + ": the bones of a pose follow in ID order from 0)");
        positions.AddXYZ(FloatOrZero(fields[1]), FloatOrZero(fields[2]), FloatOrZero(fields[3]));
        rotations.AddXYZ(FloatOrZero(fields[4]), FloatOrZero(fields[5]), FloatOrZero(fields[6]));
      }
    }
    ++FAt;
  }

  bool LinesLeft() const { return FAt < FLines.size(); }

  // The triangles, when the next line starts them, until "end": a material line,
  // then three corners of bone ID, position, normal and texture coordinate.
  // Returns the materials named, in order of their first use.
  std::vector<std::string> ReadTriangles(TSkeletonMeshObject& mesh) {
    std::vector<std::string> materials;
    if (FLines[FAt] != "triangles") return materials;
    TFGVertexNormalTexIndexList* group = nullptr;
    for (++FAt; !AtLine("end", "after the triangles"); ++FAt) {
      const std::string material = Trimmed(FLines[FAt]);
      if (!group || material != group->MaterialName()) {
        group = &mesh.FaceGroups().Add<TFGVertexNormalTexIndexList>();
        group->SetMode(fgTriangles);
        group->SetMaterialName(material);
        if (std::find(materials.begin(), materials.end(), material) == materials.end()) materials.push_back(material);
      }
      for (int corner = 0; corner < 3; ++corner) {
        ++FAt;
        if (FAt >= FLines.size())
          Refuse("three corner lines after the material line", "the end of the file");
        const std::vector<std::string> fields = Fields(9, "a corner of bone ID, position, normal and texture point");
        const int bone = Integer(fields[0], "a bone ID");
        float f[8];
        for (int k = 0; k < 8; ++k) f[k] = FloatOrZero(fields[std::size_t(k) + 1]);
        const int vertex = FindOrAddVertex(mesh, bone, {f[0], f[1], f[2]}, {f[3], f[4], f[5]});
        group->Add(vertex, vertex, FindOrAddTexCoord(mesh, {f[6], f[7], 0}));
      }
    }
    ++FAt;
    return materials;
  }

private:
  // A corner's vertex: a bone ID with the bits of a position and a normal.
  using TVertexKey = std::array<std::uint32_t, 7>;
  struct TKeyHash {
    template <std::size_t N>
    std::size_t operator()(const std::array<std::uint32_t, N>& key) const {
      std::size_t hash = 0;
      for (std::uint32_t word : key) hash = hash * 1000003u ^ word;
      return hash;
    }
  };
  template <std::size_t N>
  static std::array<std::uint32_t, N> Bits(const float (&values)[N]) {
    std::array<std::uint32_t, N> bits;
    std::memcpy(bits.data(), values, sizeof values);
    return bits;
  }

  // As the mesh object's FindOrAddVertex, through an index of the vertices: the
  // first vertex of the same bone, position and normal bit for bit.
  int FindOrAddVertex(TSkeletonMeshObject& mesh, int bone, const TAffineVector& v, const TAffineVector& n) {
    const float values[6] = {v.x, v.y, v.z, n.x, n.y, n.z};
    TVertexKey key;
    key[0] = std::uint32_t(bone);
    const auto bits = Bits(values);
    std::copy(bits.begin(), bits.end(), key.begin() + 1);
    auto [entry, added] = FVertices.try_emplace(key, mesh.Vertices().Count());
    if (added) {
      mesh.Vertices().Add(v);
      mesh.Normals().Add(n);
      mesh.AddBoneWeight(bone, 1);
    }
    return entry->second;
  }

  // The texture coordinate with the same bits, or a new one.
  int FindOrAddTexCoord(TSkeletonMeshObject& mesh, const TAffineVector& t) {
    const float values[3] = {t.x, t.y, t.z};
    auto [entry, added] = FTexCoords.try_emplace(Bits(values), mesh.TexCoords().Count());
    if (added) mesh.TexCoords().Add(t);
    return entry->second;
  }

  // A bone line of a pose starts with a blank or a digit: a "-" or a letter ends the pose.
  static bool StartsABoneLine(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t' || (line[0] >= '0' && line[0] <= '9'));
  }

  std::string Found(std::size_t at) const {
    return at < FLines.size() ? QuotedLine(FLines[at]) : "the end of the file";
  }

  // Whether the line at FAt is `text`; the end of the file there is refused.
  bool AtLine(const char* text, const char* where) {
    if (FAt >= FLines.size()) Refuse(std::string("\"") + text + "\" " + where, "the end of the file");
    return FLines[FAt] == text;
  }

  [[noreturn]] void Refuse(const std::string& expected, const std::string& found) const {
    throw Exception("Invalid SMD file, line " + std::to_string(FAt + 1) + ": expected " + expected + ", found " +
                    found);
  }

  std::vector<std::string> Fields(std::size_t count, const char* what) const {
    std::vector<std::string> fields = ModelTextFields(FLines[FAt]);
    if (fields.size() < count)
      Refuse(std::string(what) + " (" + std::to_string(count) + " fields)", QuotedLine(FLines[FAt]));
    return fields;
  }

  int Integer(const std::string& field, const char* what) const {
    int value = 0;
    if (!TryTextToInt(field, value)) Refuse(what, "\"" + field + "\"");
    return value;
  }

  std::vector<std::string_view> FLines;
  std::string FFramePrefix;
  TSkeleton& FSkeleton;
  std::size_t FAt = 0;
  std::unordered_map<TVertexKey, int, TKeyHash> FVertices;
  std::unordered_map<std::array<std::uint32_t, 3>, int, TKeyHash> FTexCoords;
};

// The first mesh object that an animation file poses: that of the file's own
// list, or when the file is appended, the mesh's.
TSkeletonMeshObject& AnimatedMeshObject(TVectorFile& file) {
  TMeshObjectList* list = &file.MeshObjects();
  if (list->Count() == 0 && file.AppendsToOwner()) list = &file.OwnerMesh().MeshObjects();
  if (list->Count() == 0) throw Exception("SMD is an animation, load model SMD first.");
  auto* mesh = dynamic_cast<TSkeletonMeshObject*>(&list->Items(0));
  if (!mesh)
    throw Exception("SMD is an animation: expected a skeleton mesh object to pose, found a " +
                    list->Items(0).ClassName());
  return *mesh;
}

// The materials the triangles name, made in the library where it has none of that
// name; a failure (a texture file that cannot be read) takes those made here away.
void MakeMaterials(TGLMaterialLibrary* library, const std::vector<std::string>& names) {
  if (!library) return;
  TGLLibMaterials& materials = library->Materials();
  std::vector<TGLLibMaterial*> added;
  try {
    for (const std::string& name : names) {
      if (materials.LibMaterialNamed(name)) continue;
      if (SameText(name, "null.bmp")) {
        added.push_back(&materials.Add());
        added.back()->SetName(name);
      } else {
        added.push_back(&library->AddTexturedMaterial(name, ""));
        added.back()->Material().Texture().Image().LoadFromFile(name);
      }
    }
  } catch (...) {
    for (auto it = added.rbegin(); it != added.rend(); ++it) materials.Delete((*it)->Index());
    throw;
  }
}

}  // namespace

void TGLSMDVectorFile::LoadFromStream(TStream& stream) {
  const std::string text = ReadModelText(stream, "SMD");
  const std::string fileName = ExtractFileName(ResourceName());
  TSkeleton& skeleton = Skeleton();
  TSMDReader reader(text, fileName + " ", skeleton);
  reader.CheckHeader();
  TSkeletonMeshObject* mesh = nullptr;
  if (reader.HasTriangles()) {
    mesh = &MeshObjects().Adopt(std::make_unique<TSkeletonMeshObject>());
    mesh->SetMode(dmFaceGroups);
  } else {
    mesh = &AnimatedMeshObject(*this);
  }

  // What the file adds to a skeleton it does not own alone goes again on a failure.
  const bool hadBones = skeleton.Roots().Count() > 0;
  const int framesBefore = skeleton.Frames().Count();
  bool linesLeft = false;
  try {
    reader.ReadNodes();
    reader.ReadFrames();
    std::vector<std::string> materials;
    linesLeft = reader.LinesLeft();
    if (linesLeft) materials = reader.ReadTriangles(*mesh);
    // Bones are posed by frames: without one they could not be drawn.
    if (skeleton.Frames().Count() == 0 && skeleton.Roots().Count() > 0)
      throw Exception("Invalid SMD file: expected a pose of the bones after \"skeleton\", found none");
    if (std::string fault = skeleton.BoneFault(); !fault.empty()) throw Exception("Invalid SMD file: " + fault);
    if (std::string fault = mesh->BoneFault(skeleton); !fault.empty())
      throw Exception("Invalid SMD file: a triangle's " + fault);
    MakeMaterials(OwnerMesh().MaterialLibrary(), materials);
  } catch (...) {
    TSkeletonFrameList& frames = skeleton.Frames();
    // A frame freed leaves its list.
    while (frames.Count() > framesBefore) std::unique_ptr<TSkeletonFrame> last(&frames.Items(frames.Count() - 1));
    if (!hadBones) skeleton.Roots().Clear();
    throw;
  }
  if (linesLeft) {
    skeleton.Roots().PrepareGlobalMatrices();
    mesh->BuildBoneSpaceCopies(skeleton);
  }

  FAddsAnimation = true;
  FAnimationName = fileName.substr(0, fileName.find('.'));
  FStartFrame = framesBefore;
  FEndFrame = skeleton.Frames().Count() - 1;
}

void TGLSMDVectorFile::LoadFinished() {
  auto* actor = dynamic_cast<TActor*>(&OwnerMesh());
  if (!actor || !FAddsAnimation) return;
  TActorAnimation& animation = actor->Animations().Add();
  animation.SetName(FAnimationName);
  animation.SetReference(aarSkeleton);
  animation.SetStartFrame(FStartFrame);
  animation.SetEndFrame(FEndFrame);
}
