#pragma once
// The mesh scene objects: TBaseMesh holds loaded geometry (its mesh objects and a
// skeleton), draws it with the materials its face groups name in a material
// library, and answers extent and ray queries; TFreeForm is the static mesh. A
// model file is read by the reader that the format registry
// (GLVectorFileObjectsFormats.h) finds for the file name's extension.
//
//   InitializeVectorFileObjects();   // once, at start-up
//   auto& piece = scene.Objects().AddChild(std::make_unique<TFreeForm>(nullptr));
//   piece.SetMaterialLibrary(&library);
//   piece.LoadFromFile("res/3ds/re.3ds");   // its materials land in `library`
//
// The mesh owns its mesh objects and its skeleton; the material library is not
// owned, and the mesh forgets it when the library is freed.

#include "base/Streams.h"
#include "base/WeakReference.h"
#include "meshes/GLVectorFileObjectsMeshes.h"
#include "meshes/GLVectorFileObjectsSkeleton.h"
#include "scene/GLSceneObjects.h"

#include <cstdint>
#include <memory>
#include <string>

class TVectorFile;

// mnoDefault: faces counter-clockwise seen from outside get outward normals and are
// front faces; mnoInvert: the opposite.
enum TMeshNormalsOrientation : std::uint8_t { mnoDefault, mnoInvert };
// A set of re-centring options for loaded geometry, one bit each.
enum TMeshAutoCentering : std::uint8_t {
  macCenterX = 0x01,
  macCenterY = 0x02,
  macCenterZ = 0x04,
  macUseBarycenter = 0x08,
};
using TMeshAutoCenterings = std::uint8_t;

// A scene object that holds loaded geometry and draws it with the materials its
// face groups name in a material library.
class TBaseMesh : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TBaseMesh, TGLSceneObject)

public:
  explicit TBaseMesh(TComponent* owner);
  ~TBaseMesh() override;

  TMeshObjectList& MeshObjects() { return *FMeshObjects; }
  const TMeshObjectList& MeshObjects() const { return *FMeshObjects; }
  TSkeleton& Skeleton() { return *FSkeleton; }
  const TSkeleton& Skeleton() const { return *FSkeleton; }

  TMeshNormalsOrientation NormalsOrientation() const { return FNormalsOrientation; }
  void SetNormalsOrientation(TMeshNormalsOrientation value);
  // Not owned; becomes null when the library is freed.
  TGLMaterialLibrary* MaterialLibrary() const { return FMaterialLibrary.Get(); }
  void SetMaterialLibrary(TGLMaterialLibrary* library);
  // False: the mesh draws with its own material only.
  bool UseMeshMaterials() const { return FUseMeshMaterials; }
  void SetUseMeshMaterials(bool value);
  bool OverlaySkeleton() const { return FOverlaySkeleton; }
  void SetOverlaySkeleton(bool value);
  TMeshAutoCenterings AutoCentering() const { return FAutoCentering; }
  void SetAutoCentering(TMeshAutoCenterings value) { FAutoCentering = value; }

  // Replaces the geometry by the file's; nothing for an empty name. The format is
  // found first and the file read into fresh lists: a file that cannot be opened,
  // an unknown extension or a reader's error leaves the mesh as it was.
  void LoadFromFile(const std::string& fileName);
  // The same from a stream; `fileName` chooses the format.
  virtual void LoadFromStream(const std::string& fileName, TStream& stream);
  // Writes the geometry in the format of the extension, replacing the file only
  // once all was written. Formats without a writer raise the assertion failure
  // "Export for <class> not available.".
  void SaveToFile(const std::string& fileName);
  virtual void SaveToStream(const std::string& fileName, TStream& stream);
  // As the loads, but the file's mesh objects are added after the present ones and
  // nothing is re-centred.
  void AppendFromFile(const std::string& fileName);
  virtual void AppendFromStream(const std::string& fileName, TStream& stream);

  // Moves the vertices as AutoCentering says; run after every load.
  virtual void ApplyAutoCentering();
  // After every load and append.
  virtual void AfterLoad();
  // The dimensions are stale, the mesh objects prepare their face groups, and the
  // display list is rebuilt.
  void MarkStructureDirty() override;
  // The library's GL objects too.
  void DestroyHandles() override;

  void GetExtents(TAffineVector& min, TAffineVector& max) const;
  // The mean of all vertices of all mesh objects; (0, 0, 0) without vertices.
  TAffineVector VertexCentre() const;
  // Per axis the larger of |min| and |max| of the extents (0 without vertices),
  // cached until the structure changes.
  TVector HalfExtents() const override;
  // The nearest triangle the ray hits, in world coordinates; the normal is of unit
  // length and points out of counter-clockwise faces (into them with mnoInvert).
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;

  void EmitGeometry(TRenderContextInfo& rci) override;
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

protected:
  // Hands the reader what it needs before reading: the normals' orientation.
  virtual void PrepareReader(TVectorFile& reader);

private:
  // A reader of the format of `fileName`, made ready to fill the given lists.
  std::unique_ptr<TVectorFile> CreateReader(const std::string& fileName, TMeshObjectList& meshObjects,
                                            TSkeleton& skeleton);
  // Reads `stream` into the lists; the scene holds its change reports meanwhile. A
  // face group with an index that names nothing raises EInvalidVectorFile. Returns
  // the reader for its LoadFinished.
  std::unique_ptr<TVectorFile> ReadInto(const std::string& fileName, TStream& stream, TMeshObjectList& meshObjects, TSkeleton& skeleton);

  TMeshNormalsOrientation FNormalsOrientation = mnoDefault;
  TWeakRef<TGLMaterialLibrary> FMaterialLibrary;
  mutable TAffineVector FHalfExtents{-1, 0, 0};  // x < 0: stale
  bool FUseMeshMaterials = true;
  bool FOverlaySkeleton = false;
  TMeshAutoCenterings FAutoCentering = 0;
  std::unique_ptr<TMeshObjectList> FMeshObjects;
  std::unique_ptr<TSkeleton> FSkeleton;
};

// The static mesh: a TBaseMesh as it is. The board window loads each piece into one.
class TFreeForm : public TBaseMesh {
  BRV_SCENE_OBJECT_CLASS(TFreeForm, TBaseMesh)

public:
  explicit TFreeForm(TComponent* owner);
};
