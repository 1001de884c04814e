// The 3DS tool: reads files with the program's own reader and writes the shared
// models with the chunk writer.
//   brovanel-3ds info FILE      meshes, faces, vertices and the bounding box
//   brovanel-3ds tree FILE      the chunk tree: tag, offset and size of every chunk
//   brovanel-3ds grid FACES FILE   a grid of about FACES triangles
//   brovanel-3ds samples DIR    cube.3ds and scene.3ds

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "File3DS.h"
#include "Writer3DS.h"

namespace {

int Info(const std::string& fileName) {
  TFile3DS file(fileName);
  TObjectList& objects = file.Objects();
  long faces = 0, vertices = 0;
  TAffineVector low{FLT_MAX, FLT_MAX, FLT_MAX}, high{-FLT_MAX, -FLT_MAX, -FLT_MAX};
  for (int i = 0; i < objects.MeshCount(); ++i) {
    const TMeshRecord3DS& mesh = *objects.Mesh(i);
    faces += long(mesh.Faces.size());
    vertices += long(mesh.Vertices.size());
    for (const TAffineVector& v : mesh.Vertices)
      for (int k = 0; k < 3; ++k) {
        low[k] = std::min(low[k], v[k]);
        high[k] = std::max(high[k], v[k]);
      }
    std::printf("mesh %s: %zu vertices, %zu faces, %zu material groups%s\n", mesh.Name.c_str(),
                mesh.Vertices.size(), mesh.Faces.size(), mesh.MaterialGroups.size(), mesh.Hidden ? ", hidden" : "");
  }
  std::printf("meshes %d\nmaterials %d\nfaces %ld\nvertices %ld\n", objects.MeshCount(), file.Materials().Count(),
              faces, vertices);
  if (vertices > 0)
    std::printf("box (%g %g %g) (%g %g %g)\n", low.x, low.y, low.z, high.x, high.y, high.z);
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
      int faces = std::atoi(argv[2]);
      if (faces <= 0) return Usage();
      TChunkWriter3DS writer;
      WriteModel3DS(writer, GridModel3DS(faces));
      writer.SaveToFile(argv[3]);
      return 0;
    }
    if (verb == "samples" && argc == 3) {
      std::string dir = argv[2];
      TChunkWriter3DS cube, scene;
      WriteModel3DS(cube, CubeModel3DS());
      WriteModel3DS(scene, SceneModel3DS());
      cube.SaveToFile(dir + "/cube.3ds");
      scene.SaveToFile(dir + "/scene.3ds");
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
