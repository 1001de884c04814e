#include "meshes/GLFilePLY.h"

#include "ModelText.h"
#include "base/Strings.h"
#include "meshes/GLVectorFileObjectsFaceGroups.h"

namespace {

const char* const NOT_PLY = "Not a valid ply file !";
const char* const UNSUPPORTED = "Unsupported PLY variant.";
const char* const INVALID = "Invalid PLY file.";

[[noreturn]] void Refuse(const char* message, std::size_t line, const std::string& expected,
                         const std::string& found) {
  throw Exception(std::string(message) + " Line " + std::to_string(line + 1) + ": expected " + expected + ", found " +
                  found);
}

// The count of an "element" header line, from the character after its name. A
// count that is no number, or too large for one, is refused rather than taken as
// 0, which would drop every line of the element.
int ElementCount(std::string_view line, std::size_t from, std::size_t at) {
  const std::string text = Trimmed(line.substr(std::min(from, line.size())));
  int count = -1;
  if (!TryTextToInt(text, count) || count < 0) Refuse(INVALID, at, "an element count of 0 or more", "\"" + text + "\"");
  return count;
}

}  // namespace

void TGLPLYVectorFile::LoadFromStream(TStream& stream) {
  const std::string text = ReadModelText(stream, "PLY");
  const std::vector<std::string_view> lines = ModelTextLines(text);
  if (lines.empty() || lines[0] != "ply")
    throw Exception(std::string(NOT_PLY) + " Expected the first line \"ply\", found " +
                    (lines.empty() ? std::string("an empty file") : QuotedLine(lines[0])));
  TMeshObject& mesh = TMeshObject::CreateOwned(MeshObjects());
  mesh.SetMode(dmFaceGroups);

  int vertexCount = 0, faceCount = 0;
  std::size_t at = 1;
  for (; at < lines.size() && lines[at] != "end_header"; ++at) {
    const std::string_view line = lines[at];
    if (line.substr(0, 14) == "element vertex")
      vertexCount = ElementCount(line, 15, at);
    else if (line.substr(0, 12) == "element face")
      faceCount = ElementCount(line, 13, at);
    else if (line.substr(0, 6) == "format" && line.find("ascii") == std::string_view::npos)
      // The binary forms hold their numbers as bytes after the header: read as
      // lines they would give garbage triangles.
      throw Exception("Binary PLY files are not supported. Line " + std::to_string(at + 1) +
                      ": expected \"format ascii 1.0\", found " + QuotedLine(line));
  }
  if (at == lines.size())
    Refuse(INVALID, at, "\"end_header\"", "the end of the file after " + std::to_string(lines.size()) + " lines");
  ++at;
  // Every vertex and face has a line of its own: counts beyond the lines there are
  // would read past the file.
  const std::size_t linesLeft = lines.size() - at;
  if (std::size_t(vertexCount) + std::size_t(faceCount) > linesLeft)
    Refuse(INVALID, at, std::to_string(vertexCount) + " vertex and " + std::to_string(faceCount) +
                                " face lines after the header", std::to_string(linesLeft) + " lines");

  TAffineVectorList& vertices = mesh.Vertices();
  vertices.SetCapacity(vertexCount);
  for (int v = 0; v < vertexCount; ++v, ++at) {
    const std::vector<std::string> fields = ModelTextFields(lines[at]);
    if (fields.size() < 3) Refuse(UNSUPPORTED, at, "a vertex of 3 coordinates", QuotedLine(lines[at]));
    vertices.AddXYZ(FloatOrZero(fields[0]), FloatOrZero(fields[1]), FloatOrZero(fields[2]));
  }

  auto& group = mesh.FaceGroups().Add<TFGVertexIndexList>();
  group.SetMode(fgTriangles);
  group.VertexIndices().SetCapacity(CheckedMul(faceCount, 3));
  for (int f = 0; f < faceCount; ++f, ++at) {
    const std::vector<std::string> fields = ModelTextFields(lines[at]);
    if (fields.empty() || fields[0] != "3" || fields.size() < 4)
      Refuse(UNSUPPORTED, at, "a face of 3 vertex indices", QuotedLine(lines[at]));
    for (int k = 1; k <= 3; ++k) {
      int index = -1;
      if (!TryTextToInt(fields[std::size_t(k)], index) || index < 0 || index >= vertexCount)
        Refuse(INVALID, at, "vertex indices from 0 to " + std::to_string(vertexCount - 1),
               "\"" + fields[std::size_t(k)] + "\"");
      group.Add(index);
    }
  }
  mesh.ComputeNormals(group.VertexIndices(), dmTriangles);
}
