// The 3DS writing tool: writes the shared models with the chunk writer. What a file
// holds is shown by brovanel-model (tools/model).
//   brovanel-3ds grid FACES FILE   a grid of about FACES triangles (at most 100,000,000)
//   brovanel-3ds samples DIR    cube.3ds, scene.3ds and every.3ds

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "base/Strings.h"
#include "tools/threeds/Writer3DS.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: brovanel-3ds grid FACES FILE | samples DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string verb = argv[1];
  try {
    if (verb == "grid" && argc == 4) {
      // A 3DS file ends within 4 GiB, and a grid takes about 24 bytes a face.
      constexpr int MAX_GRID_FACES = 100000000;
      const std::string_view text = argv[2];
      int faces = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), faces);
      if (error != std::errc() || end != text.data() + text.size() || faces <= 0 || faces > MAX_GRID_FACES)
        return Usage();
      TChunkWriter3DS writer;
      WriteModel3DS(writer, GridModel3DS(faces));
      writer.SaveToFile(argv[3]);
      return 0;
    }
    if (verb == "samples" && argc == 3) {
      std::string dir = argv[2];
      const std::pair<const char*, TModel3DS> samples[] = {
          {"cube", CubeModel3DS()}, {"scene", SceneModel3DS()}, {"every", EveryFieldModel3DS()}};
      for (const auto& [name, model] : samples) {
        TChunkWriter3DS writer;
        WriteModel3DS(writer, model);
        writer.SaveToFile(JoinPath(dir, std::string(name) + ".3ds"));
      }
      return 0;
    }
  } catch (const Exception& e) {
    std::string text = e.what();
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
  }
  return Usage();
}
