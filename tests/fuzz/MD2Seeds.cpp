// Writes the seed files of the MD2 fuzz target into the folder given.

#include <fstream>
#include <string>

#include "tests/meshes/WriterMD2.h"

int main(int argc, char** argv) {
  TModelMD2 points = SampleModelMD2({"idle"}, 2);
  points.SkinCount = 0;
  const TModelMD2 models[] = {SampleModelMD2({"run01", "run02", "stand1"}), SampleModelMD2({"a"}, 3), points,
                              SampleModelMD2({"walk01", "walk02", "walk03", "pain1", "pain2", "death"}, 12)};
  for (int i = 0; argc == 2 && i < 4; ++i)
    std::ofstream(std::string(argv[1]) + "/seed" + std::to_string(i) + ".md2", std::ios::binary) << MD2Bytes(models[i]);
  return argc == 2 ? 0 : 2;
}
