#pragma once
// The reader of 3DS model files ("3ds" and "prj"): every visible mesh of the file
// becomes a mesh object of face groups, with per-vertex normals from its faces and
// smoothing groups, and its materials become materials of the mesh's library.

#include "meshes/GLVectorFileObjectsFormats.h"

class TGL3DSVectorFile : public TVectorFile {
  BRV_DATA_FILE_CLASS(TGL3DSVectorFile, TVectorFile)

public:
  using TVectorFile::TVectorFile;

  // Reads the file into the lists the mesh gave. The 3DS reader's errors pass
  // through; data that does not fit together (a face naming a vertex the mesh lacks,
  // a material group naming a face or a material the file lacks, fewer texture
  // coordinates than vertices or fewer smoothing masks than faces) raises E3DSError
  // 65226 saying what was found, and a mesh that needs more than 65535 vertices once
  // its faces are split for shading raises EInvalidVectorFile. A texture file that
  // cannot be read raises the texture's error. On any failure the library keeps no
  // material of this file.
  void LoadFromStream(TStream& stream) override;
};
