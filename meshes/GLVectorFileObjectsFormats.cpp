// The format registry, the reader base, and the unit's start-up.

#include "meshes/GLVectorFileObjectsFormats.h"

#include "base/Strings.h"
#include "meshes/GLFile3DS.h"
#include "meshes/GLFileMD2.h"
#include "meshes/GLFilePLY.h"
#include "meshes/GLFileSMD.h"
#include "meshes/GLFileSTL.h"
#include "meshes/GLFileTIN.h"
#include "meshes/GLMesh.h"
#include "meshes/GLVectorFileObjectsActor.h"
#include "meshes/GLVectorFileObjectsFaceGroups.h"

// ---------------------------------------------------------------------------
// TVectorFile

TVectorFile::TVectorFile(TPersistent* owner) : TDataFile(owner) {
  BRV_ASSERT_MSG(dynamic_cast<TBaseMesh*>(owner) != nullptr, "TVectorFile(): the owner must be a TBaseMesh");
}

TBaseMesh& TVectorFile::OwnerMesh() const { return *static_cast<TBaseMesh*>(Owner()); }

TMeshObjectList& TVectorFile::MeshObjects() const {
  return FMeshObjects ? *FMeshObjects : OwnerMesh().MeshObjects();
}

TSkeleton& TVectorFile::Skeleton() const { return FSkeleton ? *FSkeleton : OwnerMesh().Skeleton(); }

bool TVectorFile::AppendsToOwner() const { return &Skeleton() == &OwnerMesh().Skeleton(); }

void TVectorFile::SetTargets(TMeshObjectList& meshObjects, TSkeleton& skeleton) {
  FMeshObjects = &meshObjects;
  FSkeleton = &skeleton;
}

// ---------------------------------------------------------------------------
// The registry

void TVectorFileFormatsList::Add(std::string_view extension, std::string_view description,
                                 const TDataFileClass& vectorFileClass) {
  BRV_ASSERT_MSG(vectorFileClass.InheritsFrom(TVectorFile::StaticClass()) && vectorFileClass.CanCreate(),
                 "TVectorFileFormatsList::Add(): " + vectorFileClass.ClassName() + " is no reader of model files");
  FFormats.push_back({&vectorFileClass, LowerCase(extension), std::string(description)});
}

const TDataFileClass* TVectorFileFormatsList::FormatByExtension(std::string_view extension) const {
  const std::string wanted = LowerCase(extension);
  for (auto format = FFormats.rbegin(); format != FFormats.rend(); ++format)
    if (format->Extension == wanted) return format->VectorFileClass;
  return nullptr;
}

const TDataFileClass& TVectorFileFormatsList::FormatForFileName(std::string_view fileName) const {
  const std::string name = ExtractFileName(fileName);
  const std::size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  const TDataFileClass* found = FormatByExtension(extension);
  if (!found) throw EInvalidVectorFile("Unknown file extension (" + extension + ")");
  return *found;
}

TVectorFileFormatsList& ModelFormats() {
  static TVectorFileFormatsList formats;
  return formats;
}

void RegisterModelFormat(std::string_view extension, std::string_view description,
                         const TDataFileClass& vectorFileClass) {
  RegisterClass(vectorFileClass);
  ModelFormats().Add(extension, description, vectorFileClass);
}

void InitializeVectorFileObjects() {
  static bool initialized = false;
  if (initialized) return;
  initialized = true;
  // The seven formats in their order.
  const struct {
    const char* Extension;
    const char* Description;
    const TDataFileClass* Reader;
  } formats[] = {
      {"md2", "Quake II model files", &TGLMD2VectorFile::StaticClass()},
      {"3ds", "3D Studio files", &TGL3DSVectorFile::StaticClass()},
      {"prj", "3D Studio project files", &TGL3DSVectorFile::StaticClass()},
      {"tin", "Triangular Irregular Network", &TGLTINVectorFile::StaticClass()},
      {"stl", "Stereolithography files", &TGLSTLVectorFile::StaticClass()},
      {"smd", "Half-Life SMD files", &TGLSMDVectorFile::StaticClass()},
      {"ply", "Stanford triangle format", &TGLPLYVectorFile::StaticClass()},
  };
  for (const auto& format : formats) RegisterModelFormat(format.Extension, format.Description, *format.Reader);
  // Morph targets and the texture-coordinate face groups are registered too: without
  // them, archives of morphing meshes and of MD2 models could not be read back.
  const TClass* const streamable[] = {
      &TFreeForm::StaticClass(),          &TActor::StaticClass(),
      &TSkeleton::StaticClass(),          &TSkeletonFrame::StaticClass(),
      &TSkeletonBone::StaticClass(),      &TSkeletonMeshObject::StaticClass(),
      &TMeshObject::StaticClass(),        &TMorphableMeshObject::StaticClass(),
      &TFaceGroup::StaticClass(),         &TFGVertexIndexList::StaticClass(),
      &TFGVertexNormalTexIndexList::StaticClass(), &TAnimationControler::StaticClass(),
      &TMeshMorphTarget::StaticClass(),   &TFGIndexTexCoordList::StaticClass(),
      &TVertexList::StaticClass(),        &TMesh::StaticClass()};
  for (const TClass* cls : streamable) RegisterClass(*cls);
}
