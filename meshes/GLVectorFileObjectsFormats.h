#pragma once
// Model files: the base of every reader (and writer) of a model format, and the
// registry that finds the reader for a file name's extension. A reader belongs to
// the mesh that loads the file and fills the lists the mesh hands it.
//
//   InitializeVectorFileObjects();   // once, at start-up: the formats, then the streamable classes
//   const TDataFileClass& reader = ModelFormats().FormatForFileName("models/pawn.3ds");
//   ModelFormats().FormatForFileName("pawn.obj");   // EInvalidVectorFile "Unknown file extension (obj)"

#include "meshes/GLVectorFileObjectsBaseMesh.h"
#include "scene/GLDataFile.h"

#include <string>
#include <string_view>
#include <vector>

// The reader (and writer) of one model format, always owned by a TBaseMesh. The mesh
// hands it the lists to fill; a load fills fresh lists, which replace the mesh's
// own only when the whole file was read.
class TVectorFile : public TDataFile {
  BRV_DATA_FILE_CLASS(TVectorFile, TDataFile)

public:
  // `owner` must be a TBaseMesh (an assertion failure otherwise).
  explicit TVectorFile(TPersistent* owner);

  TBaseMesh& OwnerMesh() const;
  TMeshNormalsOrientation NormalsOrientation() const { return FNormalsOrientation; }
  virtual void SetNormalsOrientation(TMeshNormalsOrientation value) { FNormalsOrientation = value; }
  // What the reader fills: the owner's lists unless the owner gave others.
  TMeshObjectList& MeshObjects() const;
  TSkeleton& Skeleton() const;
  void SetTargets(TMeshObjectList& meshObjects, TSkeleton& skeleton);
  // Whether the reader adds to the mesh's own skeleton (an append) rather than to
  // a fresh one that replaces it.
  bool AppendsToOwner() const;
  // Called once what the reader filled belongs to the mesh: here nothing; readers
  // that hand the owning mesh more (an actor's animations) do it here, when nothing
  // can fail any more and the mesh counts the new frames.
  virtual void LoadFinished() {}

private:
  TMeshNormalsOrientation FNormalsOrientation = mnoDefault;
  TMeshObjectList* FMeshObjects = nullptr;
  TSkeleton* FSkeleton = nullptr;
};

// One registered format.
struct TVectorFileFormat {
  const TDataFileClass* VectorFileClass;
  std::string Extension;  // without the dot, lower case
  std::string Description;
};

// The registered formats in order of registration; a later registration of an
// extension shadows an earlier one.
class TVectorFileFormatsList {
public:
  // `vectorFileClass` must be a TVectorFile class that can be created.
  void Add(std::string_view extension, std::string_view description, const TDataFileClass& vectorFileClass);
  // The class of the last registration of the extension, without regard to case; null when none.
  const TDataFileClass* FormatByExtension(std::string_view extension) const;
  // The class for the file name's extension (after the last dot of its last path
  // part); none raises EInvalidVectorFile "Unknown file extension (%s)" with the
  // extension as the name has it, without its dot.
  const TDataFileClass& FormatForFileName(std::string_view fileName) const;
  const std::vector<TVectorFileFormat>& Formats() const { return FFormats; }

private:
  std::vector<TVectorFileFormat> FFormats;
};

// The registry of the program, empty until the first registration.
TVectorFileFormatsList& ModelFormats();
// Registers the class for streaming by name, then appends the format.
void RegisterModelFormat(std::string_view extension, std::string_view description, const TDataFileClass& vectorFileClass);
// Start-up registration, once: the model formats in the order md2, 3ds, prj, tin,
// stl, smd, ply (those whose reader exists), then the streamable mesh classes.
void InitializeVectorFileObjects();
