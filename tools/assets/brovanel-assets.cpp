// The asset generator: writes the models, pictures, textures, tool-bar images and
// look files that the program reads from its folder.
//   brovanel-assets FOLDER

#include <cstdio>
#include <exception>

#include "tools/assets/Assets.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brovanel-assets FOLDER\n");
    return 2;
  }
  try {
    GenerateAssets(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brovanel-assets: %s\n", e.what());
    return 1;
  }
  return 0;
}
