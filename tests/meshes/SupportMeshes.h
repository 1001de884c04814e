#pragma once
// Helpers of the mesh tests: the start-up registrations, a unit cube about the
// origin written by our chunk writer and, as an OBJ text, exported by the model
// converter.

#include <unistd.h>

#include <array>
#include <string>

#include "Oracle3DS.h"
#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "tools/threeds/Writer3DS.h"

inline bool HaveOracle() { return ::access(ORACLE, X_OK) == 0; }

// The OBJ file converted to a 3DS file by the model converter.
inline void ExportWithOracle(const std::string& objFile, const std::string& file3DS) {
  RunCommand(std::string(ORACLE) + " export '" + objFile + "' '" + file3DS + "' >/dev/null 2>&1");
}

inline void InitializeMeshUnits() {
  InitializePersistentClasses();
  InitializeVectorLists();
  InitializeVectorFileObjects();
}

// A cube of side 1 about the origin: 8 vertices, 12 faces counter-clockwise seen
// from outside, bottom, top, front (-y), right (+x), back, left.
inline const std::array<TAffineVector, 8> CUBE_CORNERS = {{
    {-0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, -0.5f}, {-0.5f, 0.5f, -0.5f},
    {-0.5f, -0.5f, 0.5f}, {0.5f, -0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {-0.5f, 0.5f, 0.5f}}};
inline const std::array<std::array<std::uint16_t, 3>, 12> CUBE_FACES = {{
    {0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
    {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}}};

// The cube in one white material; `smoothing` puts every face in that smoothing
// group (none when 0).
inline TModel3DS CenteredCube3DS(std::uint32_t smoothing = 0) {
  TModel3DS model;
  TMaterialRecord3DS white;
  white.Name = "White";
  white.Ambient = {0.2f, 0.2f, 0.2f};
  white.Diffuse = {1, 1, 1};
  model.Materials = {white};
  TMeshRecord3DS cube;
  cube.Name = "Cube";
  cube.Vertices.assign(CUBE_CORNERS.begin(), CUBE_CORNERS.end());
  for (const auto& f : CUBE_FACES) cube.Faces.push_back({f[0], f[1], f[2], 7});
  std::vector<std::uint16_t> all(cube.Faces.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = std::uint16_t(i);
  cube.MaterialGroups = {{"White", all}};
  if (smoothing != 0) cube.SmoothingGroups.assign(cube.Faces.size(), smoothing);
  cube.LocalMatrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  model.Meshes = {cube};
  return model;
}

// The same cube as the text of an OBJ file.
inline std::string CenteredCubeObj() {
  std::string text;
  for (const TAffineVector& v : CUBE_CORNERS)
    text += "v " + std::to_string(v.x) + " " + std::to_string(v.y) + " " + std::to_string(v.z) + "\n";
  for (const auto& f : CUBE_FACES)
    text += "f " + std::to_string(f[0] + 1) + " " + std::to_string(f[1] + 1) + " " + std::to_string(f[2] + 1) + "\n";
  return text;
}
