#include "meshes/md2/FileMD2.h"

#include <bit>
#include <cstring>
#include <unordered_set>

#include "base/Strings.h"

static_assert(std::endian::native == std::endian::little, "MD2 values are read in the machine's byte order");

namespace {

constexpr int HEADER_SIZE = 68;
constexpr int SKIN_SIZE = 64;
constexpr int TEX_COORD_SIZE = 4;
constexpr int TRIANGLE_SIZE = 12;
constexpr int FRAME_NAME_OFFSET = 24;
constexpr int FRAME_NAME_SIZE = 16;

// The header's fields, in file order.
enum THeaderField {
  IDENTIFIER, VERSION, SKIN_WIDTH, SKIN_HEIGHT, FRAME_SIZE, SKIN_COUNT, VERTEX_COUNT, TEX_COORD_COUNT,
  TRIANGLE_COUNT, GL_COMMAND_COUNT, FRAME_COUNT, FIELD_COUNT = 17
};

[[noreturn]] void Refuse(const std::string& expected, const std::string& found) {
  throw EMD2Error("Invalid MD2 file: expected " + expected + ", found " + found);
}

std::string Range(std::int64_t low, std::int64_t high) {
  return std::to_string(low) + " to " + std::to_string(high);
}

void CheckCount(const char* what, std::int32_t value, std::int64_t high) {
  if (value < 0 || value > high) Refuse(std::string(what) + " of " + Range(0, high), std::to_string(value));
}

template <class T>
T Get(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// The text before the first zero byte, without blanks and control characters at
// either end (the tools pad names with zeros, some with blanks).
std::string FrameName(const char* bytes) {
  std::size_t length = 0;
  while (length < FRAME_NAME_SIZE && bytes[length] != 0) ++length;
  std::size_t first = 0;
  while (first < length && static_cast<unsigned char>(bytes[first]) <= ' ') ++first;
  while (length > first && static_cast<unsigned char>(bytes[length - 1]) <= ' ') --length;
  return std::string(bytes + first, length - first);
}

}  // namespace

std::string TFileMD2::AnimationNameOfFrame(const std::string& frameName) {
  std::size_t length = frameName.size();
  std::size_t cut = length >= 2 && frameName[length - 2] >= '0' && frameName[length - 2] <= '9' ? 2 : 1;
  return frameName.substr(0, length - std::min(cut, length));
}

void TFileMD2::LoadFromStream(TStream& stream) {
  const std::int64_t available = stream.BytesLeft();
  if (available < HEADER_SIZE) Refuse("a header of " + std::to_string(HEADER_SIZE) + " bytes", std::to_string(available));
  std::int32_t header[FIELD_COUNT];
  stream.ReadBuffer(header, sizeof header);

  // Every count is held to what the file can hold before anything is allocated.
  CheckCount("a skin count", header[SKIN_COUNT], MAX_SKINS);
  CheckCount("a texture coordinate count", header[TEX_COORD_COUNT], MAX_TEX_COORDS);
  CheckCount("a vertex count", header[VERTEX_COUNT], MAX_VERTICES);
  CheckCount("a triangle count", header[TRIANGLE_COUNT], INT32_MAX);
  CheckCount("a frame count", header[FRAME_COUNT], INT32_MAX);
  const int vertexCount = header[VERTEX_COUNT], frameCount = header[FRAME_COUNT];
  const int triangleCount = header[TRIANGLE_COUNT], texCoordCount = header[TEX_COORD_COUNT];
  const int frameSize = header[FRAME_SIZE];
  if (frameCount > 0 && (frameSize < FRAME_HEADER_SIZE + 4 * vertexCount || frameSize > MAX_FRAME_SIZE))
    Refuse("a frame size of " + Range(FRAME_HEADER_SIZE + 4 * vertexCount, MAX_FRAME_SIZE) + " for " +
               std::to_string(vertexCount) + " vertices",
           std::to_string(frameSize));
  // Texture coordinates are divided by the skin's size.
  if (triangleCount > 0 && (header[SKIN_WIDTH] <= 0 || header[SKIN_HEIGHT] <= 0))
    Refuse("a skin size above 0", std::to_string(header[SKIN_WIDTH]) + " x " + std::to_string(header[SKIN_HEIGHT]));
  const std::int64_t skinBytes = std::int64_t(header[SKIN_COUNT]) * SKIN_SIZE;
  const std::int64_t needed = skinBytes + std::int64_t(texCoordCount) * TEX_COORD_SIZE +
                              std::int64_t(triangleCount) * TRIANGLE_SIZE +
                              (frameCount > 0 ? std::int64_t(frameCount) * frameSize : 0);
  if (needed > available - HEADER_SIZE)
    Refuse(std::to_string(needed) + " bytes after the header for its counts",
           std::to_string(available - HEADER_SIZE));

  stream.Seek(skinBytes, TSeekOrigin::Current);
  std::vector<std::int16_t> texCoords(2 * std::size_t(texCoordCount));
  stream.ReadBuffer(texCoords.data(), texCoords.size() * sizeof(std::int16_t));

  const float skinWidth = static_cast<float>(header[SKIN_WIDTH]), skinHeight = static_cast<float>(header[SKIN_HEIGHT]);
  std::vector<TMD2Triangle> triangles(triangleCount);
  for (int t = 0; t < triangleCount; ++t) {
    std::uint16_t stored[6];  // 3 vertex indices, 3 texture coordinate indices
    stream.ReadBuffer(stored, sizeof stored);
    for (int corner = 0; corner < 3; ++corner) {
      const int vertex = stored[corner], texCoord = stored[3 + corner];
      if (vertex >= vertexCount)
        Refuse("vertex indices below " + std::to_string(vertexCount) + " in triangle " + std::to_string(t),
               std::to_string(vertex));
      if (texCoord >= texCoordCount)
        Refuse("texture coordinate indices below " + std::to_string(texCoordCount) + " in triangle " +
                   std::to_string(t),
               std::to_string(texCoord));
      // The file winds its triangles the other way round.
      TMD2Triangle& triangle = triangles[t];
      triangle.VertexIndex[2 - corner] = vertex;
      triangle.TexCoord[2 - corner] = {texCoords[2 * texCoord] / skinWidth, texCoords[2 * texCoord + 1] / skinHeight};
    }
  }

  std::vector<std::vector<TAffineVector>> frames(frameCount);
  std::vector<TMD2AnimationName> names = FAnimationNames;
  std::unordered_set<std::string> known;  // lower case: names match without regard to case
  for (const TMD2AnimationName& animation : names) known.insert(LowerCase(animation.Name));
  std::vector<char> bytes(frameCount > 0 ? frameSize : 0);
  for (int f = 0; f < frameCount; ++f) {
    stream.ReadBuffer(bytes.data(), bytes.size());
    const std::string name = AnimationNameOfFrame(FrameName(bytes.data() + FRAME_NAME_OFFSET));
    if (known.insert(LowerCase(name)).second) names.push_back({name, f});

    const TAffineVector scale = Get<TAffineVector>(bytes.data()), translation = Get<TAffineVector>(bytes.data() + 12);
    std::vector<TAffineVector>& points = frames[f];
    points.resize(vertexCount);
    const auto* packed = reinterpret_cast<const unsigned char*>(bytes.data() + FRAME_HEADER_SIZE);
    for (int v = 0; v < vertexCount; ++v, packed += 4)  // x, y, z and a normal index not used
      points[v] = {packed[0] * scale.x + translation.x, packed[1] * scale.y + translation.y,
                   packed[2] * scale.z + translation.z};
  }

  FVertexCount = vertexCount;
  FTriangles = std::move(triangles);
  FFrames = std::move(frames);
  FAnimationNames = std::move(names);
}
