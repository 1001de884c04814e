#pragma once
// Two textured polyhedra drawn as quads: the cube, an axis-aligned box round the
// origin, and the frustum, a four-sided pyramid standing on the local XZ plane
// and cut off at a height. Layouts keep their sizes in one binary record each.
//
//   auto& box = scene.Objects().AddChild(std::make_unique<TCube>(nullptr));
//   box.SetCubeWidth(2);
//   box.SetParts(ALL_CUBE_PARTS & ~cpTop);   // an open box

#include "scene/objects/GLObjects.h"

#include <cstdint>
#include <string_view>

enum TCubePart : std::uint8_t {
  cpTop = 0x01, cpBottom = 0x02, cpFront = 0x04, cpBack = 0x08, cpLeft = 0x10, cpRight = 0x20
};
using TCubeParts = std::uint8_t;
inline constexpr TCubeParts ALL_CUBE_PARTS = 0x3F;

enum TFrustrumPart : std::uint8_t {
  fpTop = 0x01, fpBottom = 0x02, fpFront = 0x04, fpBack = 0x08, fpLeft = 0x10, fpRight = 0x20
};
using TFrustrumParts = std::uint8_t;
inline constexpr TFrustrumParts ALL_FRUSTRUM_PARTS = 0x3F;

// A box round the origin, CubeWidth along X, CubeHeight along Y, CubeDepth along Z.
class TCube : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TCube, TGLSceneObject)

public:
  // 1 x 1 x 1, every face, normals outwards; drawn every frame.
  explicit TCube(TComponent* owner);

  float CubeWidth() const { return FCubeWidth; }
  void SetCubeWidth(float value) { StoreAndRebuild(*this, FCubeWidth, value); }
  float CubeHeight() const { return FCubeHeight; }
  void SetCubeHeight(float value) { StoreAndRebuild(*this, FCubeHeight, value); }
  float CubeDepth() const { return FCubeDepth; }
  void SetCubeDepth(float value) { StoreAndRebuild(*this, FCubeDepth, value); }
  TCubeParts Parts() const { return FParts; }
  void SetParts(TCubeParts value) { StoreAndRebuild(*this, FParts, value); }
  // Inside flips the normals only, not the winding.
  TNormalDirection NormalDirection() const { return FNormalDirection; }
  void SetNormalDirection(TNormalDirection value) { StoreAndRebuild(*this, FNormalDirection, value); }

  // The binary property of layouts: width, height and depth as 12 bytes of
  // little-endian singles, stored only when one of them is not 1. Reading takes
  // them without a report; fewer than 12 bytes raise EReadError and change nothing.
  static constexpr std::string_view CUBE_SIZE_PROPERTY = "CubeSize";
  bool StoresCubeSize() const;
  void WriteCubeSize(TStream& stream) const;
  void ReadCubeSize(TStream& stream);

  // (CubeWidth, CubeHeight, CubeDepth) / 2 x Scale, signs kept.
  TVector HalfExtents() const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  // From another cube: sizes, parts and normal direction; then as every material object.
  void Assign(const TPersistent* source) override;

private:
  float FCubeWidth = 1;
  float FCubeHeight = 1;
  float FCubeDepth = 1;
  TCubeParts FParts = ALL_CUBE_PARTS;
  TNormalDirection FNormalDirection = ndOutside;
};

// A pyramid over the base BaseWidth (X) by BaseDepth (Z) on y = 0, whose apex
// stands ApexHeight above the base, cut level at Height; Height equal to
// ApexHeight is the whole pyramid.
class TFrustrum : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TFrustrum, TGLSceneObject)

public:
  // A 1 x 1 base, apex at 1, cut at 0.5, every face, normals outwards.
  explicit TFrustrum(TComponent* owner);

  // The size setters ignore negative values and keep 0 <= Height <= ApexHeight:
  // an ApexHeight below Height lowers Height with it, a Height above ApexHeight
  // raises ApexHeight with it.
  float ApexHeight() const { return FApexHeight; }
  void SetApexHeight(float value);
  float BaseDepth() const { return FBaseDepth; }
  void SetBaseDepth(float value);
  float BaseWidth() const { return FBaseWidth; }
  void SetBaseWidth(float value);
  float Height() const { return FHeight; }
  void SetHeight(float value);
  TFrustrumParts Parts() const { return FParts; }
  void SetParts(TFrustrumParts value) { StoreAndRebuild(*this, FParts, value); }
  TNormalDirection NormalDirection() const { return FNormalDirection; }
  void SetNormalDirection(TNormalDirection value) { StoreAndRebuild(*this, FNormalDirection, value); }

  // The binary property of layouts: ApexHeight, BaseDepth, BaseWidth and Height
  // as 16 bytes of little-endian singles, stored unless they are 1, 1, 1 and 0.5.
  // Reading takes them without a report; fewer than 16 bytes raise EReadError
  // and change nothing.
  static constexpr std::string_view FRUSTRUM_SIZE_PROPERTY = "FrustrumSize";
  bool StoresFrustrumSize() const;
  void WriteFrustrumSize(TStream& stream) const;
  void ReadFrustrumSize(TStream& stream);

  // (|BaseWidth| / 2, |Height|, |BaseDepth| / 2) x Scale: a box round the origin
  // that holds the frustum, so that culling and picking see its real size.
  TVector HalfExtents() const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  // From another frustum: sizes, parts and normal direction; then as every
  // material object.
  void Assign(const TPersistent* source) override;

private:
  float FApexHeight = 1;
  float FBaseDepth = 1;
  float FBaseWidth = 1;
  float FHeight = 0.5f;
  TFrustrumParts FParts = ALL_FRUSTRUM_PARTS;
  TNormalDirection FNormalDirection = ndOutside;
};
