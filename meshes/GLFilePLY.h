#pragma once
// The reader of ASCII PLY files ("ply") of triangles: a header that counts the
// vertex and face lines, then one line per vertex (x y z first) and one per face
// ("3 a b c"). The faces become one face group of one mesh object, with normals
// from the faces.

#include "meshes/GLVectorFileObjectsFormats.h"

class TGLPLYVectorFile : public TVectorFile {
  BRV_DATA_FILE_CLASS(TGLPLYVectorFile, TVectorFile)

public:
  using TVectorFile::TVectorFile;

  // Refused, with an Exception that says what was expected and what was found: a
  // first line other than "ply" ("Not a valid ply file !"), a binary file, a
  // header without "end_header", element counts that are no numbers or that the
  // lines after the header cannot hold, a vertex of fewer than three fields or a
  // face of other than three vertices ("Unsupported PLY variant."), and a face
  // index that is no integer or names no vertex.
  void LoadFromStream(TStream& stream) override;
};
