#pragma once
// The command-line model converter as an independent 3DS reader for the tests, when
// it is installed. It reports the face count and the bounding box of all meshes of
// a file, in its own axes (x, z, -y) of the file's (x, y, z).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/Geometry.h"

inline const char* ORACLE = "/usr/bin/assimp";

inline std::string RunCommand(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    ::pclose(pipe);
  }
  return output;
}

struct TSummary {
  long Faces = 0;
  TAffineVector Min{}, Max{};
};

inline TSummary OracleSummary(const std::string& fileName) {
  std::string text = RunCommand(std::string(ORACLE) + " info '" + fileName + "' -r 2>&1");
  TSummary summary;
  auto after = [&](const char* label) -> const char* {
    std::size_t at = text.find(label);
    return at == std::string::npos ? "" : text.c_str() + at + std::strlen(label);
  };
  EXPECT_EQ(std::sscanf(after("Faces:"), "%ld", &summary.Faces), 1) << text;
  EXPECT_EQ(std::sscanf(after("Minimum point"), " (%f %f %f)", &summary.Min.x, &summary.Min.y, &summary.Min.z), 3)
      << text;
  EXPECT_EQ(std::sscanf(after("Maximum point"), " (%f %f %f)", &summary.Max.x, &summary.Max.y, &summary.Max.z), 3)
      << text;
  return summary;
}
