#pragma once
// The record one frame (or one pick) hands by reference to every render, geometry
// and material operation, and the orderings it carries.

#include "base/Geometry.h"
#include "scene/gl/GLStateCache.h"

#include <cstdint>

class TGLMaterialLibrary;

// What the frame is drawing for.
enum TDrawState : std::uint8_t { dsRendering, dsPicking };

// How a node orders its children; osInherited takes the order in force above it.
enum TGLObjectsSorting : std::uint8_t { osInherited, osNone, osRenderFarthestFirst, osRenderBlendedLast };

// How a node culls its children; vcInherited takes the culling in force above it.
enum TGLVisibilityCulling : std::uint8_t { vcInherited, vcNone, vcObjectBased, vcHierarchical };

struct TRenderContextInfo {
  TVector CameraPosition{};
  TVector CameraDirection{};  // unit length, w = 0
  const TMatrix4* ModelViewMatrix = nullptr;  // the buffer's, after the camera
  struct {
    int Width = 0, Height = 0;
  } ViewPortSize;
  int RenderDPI = 96;
  // The library mesh objects draw their face groups from; null at frame start.
  TGLMaterialLibrary* MaterialLibrary = nullptr;
  // A second library reference, null at frame start; nothing in the scene reads it.
  TGLMaterialLibrary* SecondMaterialLibrary = nullptr;
  TDrawState DrawState = dsRendering;
  TGLObjectsSorting ObjectsSorting = osInherited;
  TGLVisibilityCulling VisibilityCulling = vcInherited;
  // The enable states known to be on (see EnableGLState).
  TGLStates GLStates = 0;
  // The camera again, as the reference of distance computations, and the clipping data.
  TViewClippingInfo ClippingInfo{};
  bool FaceCulling = false;
  bool PushPickNames = false;
  bool IgnoreMaterials = false;  // no colour buffer: draw without materials
  // Materials that switch lighting or fog off for their drawing count here, so
  // that the last one to finish switches it on again.
  int LightingDisabledCounter = 0;
  int FogDisabledCounter = 0;
};
