#pragma once
// The reader of SMD files ("smd"), text files of a skinned model: the bones
// ("nodes"), one or more poses of them ("skeleton"), and for a model its
// triangles, each corner bound to one bone. A model file makes a skeleton mesh
// object with one face group per run of triangles of one material; an animation
// file (one without triangles) adds its poses to the skeleton of a model loaded
// before, and to an actor an animation named after the file.
//
//   actor.LoadFromFile("soldier.smd");
//   actor.AppendFromFile("walk.anim.smd");   // the animation "walk"

#include "meshes/GLVectorFileObjectsFormats.h"

class TGLSMDVectorFile : public TVectorFile {
  BRV_DATA_FILE_CLASS(TGLSMDVectorFile, TVectorFile)

public:
  using TVectorFile::TVectorFile;

  // Refused with an Exception naming what was expected and what was found: the
  // texts "SMD version 1 required", "nodes not found", "skeleton not found",
  // "time not found, got: <line>", "SMD is an animation, load model SMD first."
  // and "Invalid vertex count: <id> vs <count>" (a pose whose bone IDs do not run
  // 0, 1, 2...), and sections without their "end", fields that are missing or
  // are no numbers, bones whose parent or ID no node declares, and poses that
  // place a different number of bones. A refused file leaves the skeleton as it
  // was. The materials that the triangles name are made in the mesh's library,
  // with the texture file of that name ("null.bmp": none).
  void LoadFromStream(TStream& stream) override;
  // An actor gets the animation of the poses that the file added.
  void LoadFinished() override;

private:
  bool FAddsAnimation = false;
  std::string FAnimationName;
  int FStartFrame = 0, FEndFrame = 0;
};
