#pragma once
// Writes MD2 files for the tests and the fuzz seeds: the model as the file stores
// it, in the order and with the offsets that the format's own tools write.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Geometry.h"

struct TModelMD2 {
  struct TFrame {
    TAffineVector Scale, Translation;
    std::string Name;  // padded with zeros to 16 bytes
    std::vector<std::array<std::uint8_t, 4>> Vertices;  // x, y, z, normal index
  };
  std::int32_t SkinWidth = 64, SkinHeight = 32;
  int SkinCount = 2;
  std::vector<std::array<std::int16_t, 2>> TexCoords;
  std::vector<std::array<std::uint16_t, 6>> Triangles;  // 3 vertex, 3 texture coordinate indices
  std::vector<TFrame> Frames;
};

inline std::string MD2Bytes(const TModelMD2& m) {
  const std::int32_t vertices = m.Frames.empty() ? 0 : std::int32_t(m.Frames[0].Vertices.size());
  std::string body(64 * m.SkinCount, 's');
  auto put = [&body](const void* data, std::size_t count) { body.append(static_cast<const char*>(data), count); };
  for (const auto& st : m.TexCoords) put(st.data(), 4);
  for (const auto& t : m.Triangles) put(t.data(), 12);
  const std::int32_t framesAt = 68 + std::int32_t(body.size()), texCoordsAt = 68 + 64 * m.SkinCount;
  for (const TModelMD2::TFrame& f : m.Frames) {
    put(&f.Scale, 12);
    put(&f.Translation, 12);
    body += (f.Name + std::string(16, '\0')).substr(0, 16);
    for (const auto& v : f.Vertices) put(v.data(), 4);
  }
  const std::int32_t end = 68 + std::int32_t(body.size()), header[17] = {
      0x32504449, 8, m.SkinWidth, m.SkinHeight, 40 + 4 * vertices, m.SkinCount, vertices,
      std::int32_t(m.TexCoords.size()), std::int32_t(m.Triangles.size()), 0, std::int32_t(m.Frames.size()), 68,
      texCoordsAt, texCoordsAt + 4 * std::int32_t(m.TexCoords.size()), framesAt, end, end};
  return std::string(reinterpret_cast<const char*>(header), sizeof header) + body;
}

// `vertexCount` vertices, a triangle fan over them that uses every texture
// coordinate, and one frame per name whose bytes vary with the frame.
inline TModelMD2 SampleModelMD2(const std::vector<std::string>& frameNames, int vertexCount = 5) {
  TModelMD2 m;
  for (int i = 0; i < vertexCount; ++i) m.TexCoords.push_back({std::int16_t(3 * i), std::int16_t(32 - 5 * i)});
  for (int i = 1; i + 1 < vertexCount; ++i)
    m.Triangles.push_back({0, std::uint16_t(i), std::uint16_t(i + 1), std::uint16_t(i + 1), std::uint16_t(i), 0});
  for (std::size_t f = 0; f < frameNames.size(); ++f) {
    m.Frames.push_back({{0.5f, 0.25f, 1.5f + f}, {-10.0f, 2.5f, float(f)}, frameNames[f], {}});
    for (int i = 0; i < vertexCount; ++i)
      m.Frames.back().Vertices.push_back({std::uint8_t(i * 40 + f), std::uint8_t(255 - i), std::uint8_t(i * i + 3 * f), 0});
  }
  return m;
}
