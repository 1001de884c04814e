#include "meshes/GLFileSTL.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "STL values are read in the machine's byte order");

namespace {

constexpr int HEADER_SIZE = 80;
constexpr int FACET_SIZE = 50;

#pragma pack(push, 1)
struct TFacet {
  TAffineVector Normal;
  TAffineVector Corners[3];
  std::uint16_t Attribute;
};
#pragma pack(pop)
static_assert(sizeof(TFacet) == FACET_SIZE);

// Whether the bytes start as the text form does: "solid", after blanks.
bool StartsAsText(const std::string& header) {
  const std::size_t first = header.find_first_not_of(" \t\r\n");
  return first != std::string::npos && header.compare(first, 5, "solid") == 0;
}

}  // namespace

void TGLSTLVectorFile::LoadFromStream(TStream& stream) {
  const std::int64_t size = stream.BytesLeft();
  std::string header(std::size_t(std::min<std::int64_t>(size, HEADER_SIZE)), '\0');
  stream.ReadBuffer(header.data(), header.size());
  std::uint32_t count = 0;
  if (size >= HEADER_SIZE + 4) stream.ReadBuffer(&count, sizeof count);
  const std::int64_t expected = HEADER_SIZE + 4 + std::int64_t(count) * FACET_SIZE;
  if (size < HEADER_SIZE + 4 || expected != size) {
    // The text form is known by its start and by its size, which the count that
    // the binary form would read there does not give.
    const std::string found = std::to_string(size) + " bytes";
    if (StartsAsText(header))
      throw EInvalidVectorFile("ASCII STL files are not supported: expected a binary STL file, found text starting \"" +
                               header.substr(0, header.find_first_of("\r\n")) + "\" of " + found);
    throw EInvalidVectorFile("Invalid STL file: expected " +
                             (size < HEADER_SIZE + 4 ? std::to_string(HEADER_SIZE + 4) + " bytes or more"
                                                     : std::to_string(expected) + " bytes for " +
                                                           std::to_string(count) + " facets") +
                             ", found " + found);
  }
  // A facet count within the file's size fits the lists: the size was read as an int64.
  if (count > std::uint32_t(INT32_MAX / 3))
    throw EInvalidVectorFile("Invalid STL file: expected at most " + std::to_string(INT32_MAX / 3) +
                             " facets, found " + std::to_string(count));

  TMeshObject& mesh = TMeshObject::CreateOwned(MeshObjects());
  mesh.SetMode(dmTriangles);
  const int corners = int(count) * 3;
  mesh.Vertices().SetCapacity(corners);
  mesh.Normals().SetCapacity(corners);
  for (std::uint32_t f = 0; f < count; ++f) {
    TFacet facet;
    stream.ReadBuffer(&facet, FACET_SIZE);
    const TAffineVector* c = facet.Corners;
    const TAffineVector turn = Vec3Cross(Vec3Sub(c[1], c[0]), Vec3Sub(c[2], c[0]));
    TAffineVector normal = facet.Normal;
    if (Vec3Dot(turn, normal) < 0) {
      mesh.Vertices().Add3(c[2], c[1], c[0]);
    } else {
      mesh.Vertices().Add3(c[0], c[1], c[2]);
      // Many writers leave the normal zero: the corners give it.
      if (!(Vec3Dot(normal, normal) > 0)) normal = SafeNormalized(turn);
    }
    mesh.Normals().Add3(normal, normal, normal);
  }
}

void TGLSTLVectorFile::SaveToStream(TStream& stream) {
  const std::unique_ptr<TAffineVectorList> triangles = MeshObjects().GetTriangles();
  char header[HEADER_SIZE] = {};
  std::memcpy(header, HEADER_TEXT, std::strlen(HEADER_TEXT));
  stream.WriteBuffer(header, sizeof header);
  const std::uint32_t count = std::uint32_t(triangles->Count() / 3);
  stream.WriteBuffer(&count, sizeof count);
  const TAffineVector* points = triangles->List();
  for (std::uint32_t f = 0; f < count; ++f, points += 3) {
    TFacet facet{};
    facet.Normal = SafeNormalized(Vec3Cross(Vec3Sub(points[1], points[0]), Vec3Sub(points[2], points[0])));
    std::copy(points, points + 3, facet.Corners);
    stream.WriteBuffer(&facet, FACET_SIZE);
  }
}
