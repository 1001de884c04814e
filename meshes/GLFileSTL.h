#pragma once
// Binary stereolithography files ("stl"), read and written: an 80-byte header, a
// little-endian u32 facet count, then per facet a normal, three corners (3 f32
// each) and a u16 attribute. A loaded file is one mesh object of triangles.

#include "meshes/GLVectorFileObjectsFormats.h"

class TGLSTLVectorFile : public TVectorFile {
  BRV_DATA_FILE_CLASS(TGLSTLVectorFile, TVectorFile)

public:
  // The header text of the files we write, followed by zero bytes.
  static constexpr const char* HEADER_TEXT = "Brovanel STL export";

  using TVectorFile::TVectorFile;

  // A facet whose stored normal points against the turn of its corners is taken
  // with its corners reversed; a zero stored normal keeps the corners as they are
  // and the facet takes the normal of its corners. A size that does not match the
  // facet count raises EInvalidVectorFile, with a message of its own for an ASCII
  // file, which this reader does not read.
  void LoadFromStream(TStream& stream) override;
  // Every triangle of the mesh, with the normal of its corners and attribute 0.
  void SaveToStream(TStream& stream) override;
};
