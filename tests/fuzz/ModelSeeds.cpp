// Writes the seed files of the model reader fuzz targets into the folder given:
// FOLDER/<format>/ for md2, tin, ply, stl and smd.

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/meshes/SupportReaders.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  InitializeMeshUnits();
  const std::pair<std::string, std::string> seeds[] = {
      {"md2/run.md2", ToolMD2(SampleModelMD2({"run01", "run02", "stand1"}))},
      {"md2/idle.md2", MD2Bytes(SampleModelMD2({"idle"}, 3))},
      {"tin/a.tin", "t 0 0 0 1 0 0 0 1 0\r\nt 0,0,1,1,0,1,0,1,1\nc other\n"},
      {"ply/cube.ply", CubePLY()},
      {"ply/cube-crlf.ply", CubePLY("\r\n")},
      {"stl/cube.stl", CubeSTL()},
      {"smd/arm.smd", ArmSMD()},
      {"smd/arm-crlf.smd", ArmSMD("\r\n")},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::filesystem::path path = std::filesystem::path(argv[1]) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  return 0;
}
