#pragma once
// Reads all that a loaded 3DS file offers: every material and mesh record, and the
// data of every chunk in the tree. The way to drive a reader through a whole file in
// tests and in the fuzzer.

#include <vector>

#include "File3DS.h"

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
