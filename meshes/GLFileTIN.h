#pragma once
// The reader of triangulated irregular networks ("tin"): a text file in which each
// line "t x1 y1 z1 x2 y2 z2 x3 y3 z3" is one triangle; every other line is left
// alone. The triangles become one mesh object with a flat normal per triangle.

#include "meshes/GLVectorFileObjectsFormats.h"

class TGLTINVectorFile : public TVectorFile {
  BRV_DATA_FILE_CLASS(TGLTINVectorFile, TVectorFile)

public:
  using TVectorFile::TVectorFile;

  // Lines end with LF or CR LF; numbers that do not read as numbers count as 0,
  // and "t" lines without exactly nine fields are skipped.
  void LoadFromStream(TStream& stream) override;
};
