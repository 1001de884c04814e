#pragma once
// Meshes and model files, the whole mesh layer in one include. Each room has a
// header of its own, and code that needs one room includes that one:
//   GLVectorFileObjectsMeshes.h      mesh objects and their list; owner lists
//   GLVectorFileObjectsFaceGroups.h  face groups: a mesh object's faces by material
//   GLVectorFileObjectsSkeleton.h    morph targets, skeletons, skinned mesh objects
//   GLVectorFileObjectsBaseMesh.h    the mesh scene objects TBaseMesh and TFreeForm
//   GLVectorFileObjectsFormats.h     model file readers and the format registry
//   GLVectorFileObjectsActor.h       the actor, its animations and controllers

#include "meshes/GLVectorFileObjectsActor.h"
#include "meshes/GLVectorFileObjectsBaseMesh.h"
#include "meshes/GLVectorFileObjectsFaceGroups.h"
#include "meshes/GLVectorFileObjectsFormats.h"
#include "meshes/GLVectorFileObjectsMeshes.h"
#include "meshes/GLVectorFileObjectsSkeleton.h"
