#pragma once
// MD2 files: a key-frame animated triangle model with one array of vertex positions
// per frame. TFileMD2 reads one into triangles with texture coordinates, the frames'
// decoded positions and the animations named by the frames.
//
// On disk (little-endian): a 68-byte header of 17 i32 (identifier, version, skin
// width, skin height, frame size in bytes, skin count, vertex count, texture
// coordinate count, triangle count, GL command count, frame count, then six
// offsets), then the skins (64-byte names), the texture coordinates (i16 s, i16 t),
// the triangles (3 u16 vertex indices, 3 u16 texture coordinate indices) and the
// frames (3 f32 scale, 3 f32 translation, a 16-byte name, then per vertex u8 x, y,
// z and a normal index).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Geometry.h"
#include "base/Streams.h"

// Raised by the MD2 reader for a file whose counts, sizes or indices do not fit
// together; the text says what was expected and what was found.
class EMD2Error : public Exception {
public:
  using Exception::Exception;
};

struct TMD2TexCoord {
  float S, T;
};

// A triangle with its corners in the order the model is drawn in (the file's
// order reversed), each a vertex index into a frame and a texture coordinate.
struct TMD2Triangle {
  std::array<std::int32_t, 3> VertexIndex;
  std::array<TMD2TexCoord, 3> TexCoord;
};

// An animation: the frames whose names share Name, from FirstFrame on.
struct TMD2AnimationName {
  std::string Name;
  int FirstFrame;
};

class TFileMD2 {
public:
  // The largest model the reader accepts: the counts of the format's own tools.
  static constexpr int MAX_SKINS = 32;
  static constexpr int MAX_TEX_COORDS = 2048;
  static constexpr int FRAME_HEADER_SIZE = 40;
  static constexpr int MAX_FRAME_SIZE = 8320;
  static constexpr int MAX_VERTICES = (MAX_FRAME_SIZE - FRAME_HEADER_SIZE) / 4;

  // Reads the whole model from the stream's position. The triangles and frames of
  // an earlier load are replaced; the animation names of this file are added after
  // those already held. A file that does not fit together raises EMD2Error before
  // anything is allocated for it and leaves the object as it was.
  void LoadFromStream(TStream& stream);

  int FrameCount() const { return static_cast<int>(FFrames.size()); }
  int VertexCount() const { return FVertexCount; }
  int TriangleCount() const { return static_cast<int>(FTriangles.size()); }
  const std::vector<TMD2Triangle>& Triangles() const { return FTriangles; }
  // FrameCount() arrays of VertexCount() positions (scale × stored byte + translation).
  const std::vector<std::vector<TAffineVector>>& Frames() const { return FFrames; }
  const std::vector<TMD2AnimationName>& AnimationNames() const { return FAnimationNames; }

  // The name of a frame's animation: the name without its frame number, that is
  // without its last two characters when the second to last is a digit, else
  // without its last one ("run01" -> "run", "stand1" -> "stand", "a" -> "").
  static std::string AnimationNameOfFrame(const std::string& frameName);

private:
  int FVertexCount = 0;
  std::vector<TMD2Triangle> FTriangles;
  std::vector<std::vector<TAffineVector>> FFrames;
  std::vector<TMD2AnimationName> FAnimationNames;
};
