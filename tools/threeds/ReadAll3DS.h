#pragma once
// Reads all that a loaded 3DS file offers: every material and mesh record, and the
// data of every chunk in the tree. The way to drive a reader through a whole file in
// tests and in the fuzzer. Also the totals of a file's meshes that the tool prints
// and the tests compare with another reader's.

#include <cfloat>
#include <vector>

#include "base/GeometryBB.h"
#include "meshes/threeds/File3DS.h"

inline void ReadAll3DS(TFile3DS& file) {
  for (int i = 0; i < file.Materials().Count(); ++i) file.Materials().Material(i);
  for (int i = 0; i < file.Objects().MeshCount(); ++i) file.Objects().Mesh(i);
  std::vector<TChunkNode*> pending;
  if (file.TopNode()) pending.push_back(file.TopNode());
  while (!pending.empty()) {
    TChunkNode* node = pending.back();
    pending.pop_back();
    file.DecodeChunkData(*node);
    for (TChunkNode* child = node->Children.get(); child; child = child->Sibling.get()) pending.push_back(child);
  }
}

struct TMeshTotals3DS {
  long Faces = 0;
  long Vertices = 0;
  // The vertices as the file stores them, mesh matrices not applied; inside out
  // (Min above Max) when there are none.
  TAxisAlignedBox Box{{FLT_MAX, FLT_MAX, FLT_MAX}, {-FLT_MAX, -FLT_MAX, -FLT_MAX}};
};

inline TMeshTotals3DS MeshTotals3DS(TFile3DS& file) {
  TMeshTotals3DS totals;
  for (int i = 0; i < file.Objects().MeshCount(); ++i) {
    const TMeshRecord3DS& mesh = *file.Objects().Mesh(i);
    totals.Faces += long(mesh.Faces.size());
    totals.Vertices += long(mesh.Vertices.size());
    for (const TAffineVector& v : mesh.Vertices) AABBIncludePoint(totals.Box, v);
  }
  return totals;
}
