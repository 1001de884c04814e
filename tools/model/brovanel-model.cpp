// The model tool: loads a model file into a free form with a material library, as
// the board window loads its pieces, and prints what it holds.
//   brovanel-model info FILE   mesh objects, vertices, faces, face groups with their
//                              materials, morph targets, bones and skeleton frames,
//                              and the bounding box
//   brovanel-model tree FILE   the chunk tree of a 3DS file: tag, name, offset and
//                              size of every chunk
// A file that the reader refuses prints the reader's error and exits with 1.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "base/PersistentClasses.h"
#include "base/Strings.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "meshes/threeds/File3DS.h"

namespace {

int Info(const std::string& fileName) {
  TGLMaterialLibrary library(nullptr);
  // Texture files named by the model are looked up beside it.
  library.SetTexturePaths(FolderOfPath(fileName));
  TFreeForm form(nullptr);
  form.SetMaterialLibrary(&library);
  form.LoadFromFile(fileName);
  const TMeshObjectList& objects = form.MeshObjects();
  long vertices = 0, faces = 0;
  for (int i = 0; i < objects.Count(); ++i) {
    const TMeshObject& object = objects.Items(i);
    std::printf("mesh object \"%s\": %d vertices, %d faces\n", object.Name().c_str(), object.Vertices().Count(),
                object.TriangleCount());
    for (int g = 0; g < object.FaceGroups().Count(); ++g) {
      const TFaceGroup& group = object.FaceGroups().Items(g);
      std::printf("  face group %d: %d faces, %s\n", g, group.TriangleCount(),
                  group.MaterialName().empty() ? "no material" : ("material \"" + group.MaterialName() + "\"").c_str());
    }
    vertices += object.Vertices().Count();
    faces += object.TriangleCount();
  }
  std::printf("mesh objects %d\nvertices %ld\nfaces %ld\nmaterials %d\n", objects.Count(), vertices, faces,
              library.Materials().Count());
  if (int targets = objects.CommonTargetCount(); targets > 0) std::printf("morph targets %d\n", targets);
  const TSkeleton& skeleton = form.Skeleton();
  if (skeleton.Frames().Count() > 0)
    std::printf("skeleton frames %d, bones %d\n", skeleton.Frames().Count(),
                skeleton.Frames().Items(0).Position().Count());
  if (vertices > 0) {
    TAffineVector min, max;
    form.GetExtents(min, max);
    std::printf("box (%g %g %g) (%g %g %g)\n", min.x, min.y, min.z, max.x, max.y, max.z);
  }
  return 0;
}

void PrintTree(const TChunkNode* node, int depth) {
  for (; node; node = node->Sibling.get()) {
    const std::string name = TagName(node->Tag);
    std::printf("%*s%s%s%s at %u, %u bytes\n", 2 * depth, "", TagText(node->Tag).c_str(), name.empty() ? "" : " ",
                name.c_str(), node->Position, node->Size);
    PrintTree(node->Children.get(), depth + 1);
  }
}

int Usage() {
  std::fprintf(stderr, "usage: brovanel-model info FILE | tree FILE.3ds\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const std::string verb = argv[1], fileName = argv[2];
  InitializePersistentClasses();
  InitializeVectorLists();
  InitializeVectorFileObjects();
  try {
    if (verb == "info") return Info(fileName);
    if (verb == "tree") {
      TFile3DS file(fileName);
      PrintTree(file.TopNode(), 0);
      return 0;
    }
  } catch (const std::exception& e) {
    std::string text = e.what();
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::fprintf(stderr, "%s: %s\n", fileName.c_str(), text.c_str());
    return 1;
  }
  return Usage();
}
