#include "meshes/GLFileMD2.h"

#include "meshes/GLVectorFileObjectsActor.h"
#include "meshes/GLVectorFileObjectsFaceGroups.h"
#include "meshes/md2/FileMD2.h"

void TGLMD2VectorFile::LoadFromStream(TStream& stream) {
  TFileMD2 file;
  file.LoadFromStream(stream);
  // The vertices of a triangle are those of a frame: without frames there are none.
  if (file.TriangleCount() > 0 && file.FrameCount() == 0)
    throw EMD2Error("Invalid MD2 file: expected a frame for the vertices of " + std::to_string(file.TriangleCount()) +
                    " triangles, found none");

  auto& mesh = MeshObjects().Adopt(std::make_unique<TMorphableMeshObject>());
  mesh.SetMode(dmFaceGroups);
  auto& group = mesh.FaceGroups().Add<TFGIndexTexCoordList>();
  const int corners = CheckedMul(file.TriangleCount(), 3);
  group.VertexIndices().SetCapacity(corners);
  group.TexCoords().SetCapacity(corners);
  for (const TMD2Triangle& triangle : file.Triangles())
    for (int corner = 0; corner < 3; ++corner)
      group.Add(triangle.VertexIndex[corner], triangle.TexCoord[corner].S, -triangle.TexCoord[corner].T);

  const std::vector<std::vector<TAffineVector>>& frames = file.Frames();
  for (std::size_t f = 0; f < frames.size(); ++f) {
    TMeshMorphTarget& target = TMeshMorphTarget::CreateOwned(mesh.MorphTargets());
    target.SetName("Frame" + std::to_string(f));
    TAffineVectorList& vertices = target.Vertices();
    vertices.SetCount(file.VertexCount());
    std::copy(frames[f].begin(), frames[f].end(), vertices.List());
    target.ComputeNormals(group.VertexIndices(), dmTriangles);
  }
  if (mesh.MorphTargets().Count() > 0) mesh.SelectMorphTarget(0);

  // Each animation runs to the frame before the next one's first.
  const std::vector<TMD2AnimationName>& names = file.AnimationNames();
  FAnimations.clear();
  for (std::size_t k = 0; k < names.size(); ++k)
    FAnimations.push_back({names[k].Name, names[k].FirstFrame,
                           (k + 1 < names.size() ? names[k + 1].FirstFrame : file.FrameCount()) - 1});
}

void TGLMD2VectorFile::LoadFinished() {
  auto* actor = dynamic_cast<TActor*>(&OwnerMesh());
  if (!actor) return;
  actor->Animations().Clear();
  for (const TAnimation& a : FAnimations) {
    TActorAnimation& animation = actor->Animations().Add();
    animation.SetName(a.Name);
    animation.SetReference(aarMorph);
    animation.SetStartFrame(a.StartFrame);
    animation.SetEndFrame(a.EndFrame);
  }
}
