// The 3DS tool: reads files with the program's own reader and writes the shared
// models with the chunk writer.
//   brovanel-3ds info FILE      meshes, faces, vertices and the bounding box
//   brovanel-3ds tree FILE      the chunk tree: tag, offset and size of every chunk
//   brovanel-3ds grid FACES FILE   a grid of about FACES triangles (at most 100,000,000)
//   brovanel-3ds samples DIR    cube.3ds, scene.3ds and every.3ds

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "base/Strings.h"
#include "tools/threeds/ReadAll3DS.h"
#include "tools/threeds/Writer3DS.h"

namespace {

int Info(const std::string& fileName) {
  TFile3DS file(fileName);
  TObjectList& objects = file.Objects();
  for (int i = 0; i < objects.MeshCount(); ++i) {
    const TMeshRecord3DS& mesh = *objects.Mesh(i);
    std::printf("mesh %s: %zu vertices, %zu faces, %zu material groups%s\n", mesh.Name.c_str(),
                mesh.Vertices.size(), mesh.Faces.size(), mesh.MaterialGroups.size(), mesh.Hidden ? ", hidden" : "");
  }
  const TMeshTotals3DS totals = MeshTotals3DS(file);
  std::printf("meshes %d\nmaterials %d\nfaces %ld\nvertices %ld\n", objects.MeshCount(), file.Materials().Count(),
              totals.Faces, totals.Vertices);
  const TAxisAlignedBox& box = totals.Box;
  if (totals.Vertices > 0)
    std::printf("box (%g %g %g) (%g %g %g)\n", box.Min.x, box.Min.y, box.Min.z, box.Max.x, box.Max.y, box.Max.z);
  return 0;
}

void PrintTree(const TChunkNode* node, int depth) {
  for (; node; node = node->Sibling.get()) {
    std::printf("%*s%s at %u, %u bytes\n", 2 * depth, "", TagText(node->Tag).c_str(), node->Position, node->Size);
    PrintTree(node->Children.get(), depth + 1);
  }
}

int Usage() {
  std::fprintf(stderr, "usage: brovanel-3ds info FILE | tree FILE | grid FACES FILE | samples DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string verb = argv[1];
  try {
    if (verb == "info" && argc == 3) return Info(argv[2]);
    if (verb == "tree" && argc == 3) {
      TFile3DS file(argv[2]);
      PrintTree(file.TopNode(), 0);
      return 0;
    }
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
