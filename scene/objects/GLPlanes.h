#pragma once
// Two flat, textured standard objects drawn anew every frame: the plane, a
// rectangle in the local XY plane whose texture can repeat over tiles, and the
// sprite, a rectangle that always faces the viewer.
//
//   auto& floor = scene.Objects().AddChild(std::make_unique<TPlane>(nullptr));
//   floor.SetXTiles(4);   // the texture four times across
//   auto& glow = scene.Objects().AddChild(std::make_unique<TSprite>(nullptr));
//   glow.SetAlphaChannel(0.5f);

#include "scene/objects/GLObjects.h"

#include <cstdint>

// How a plane is drawn, one bit each: as one quad (else as a grid of one cell
// per tile), and with its texture repeated once per tile from the offsets (else
// stretched once over the whole plane).
enum TPlaneStyle : std::uint8_t { psSingleQuad = 0x01, psTileTexture = 0x02 };
using TPlaneStyles = std::uint8_t;

// A rectangle round the origin in the local XY plane, its front facing +Z.
class TPlane : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TPlane, TGLSceneObject)

public:
  // 1 x 1, one tile each way, one quad with the texture tiled; drawn every frame.
  explicit TPlane(TComponent* owner);

  float Width() const { return FWidth; }
  void SetWidth(float value) { StoreAndRebuild(*this, FWidth, value); }
  float Height() const { return FHeight; }
  void SetHeight(float value) { StoreAndRebuild(*this, FHeight, value); }
  // Where the texture starts, in texture repeats (tiled texture only).
  float XOffset() const { return FXOffset; }
  void SetXOffset(float value) { StoreAndRebuild(*this, FXOffset, value); }
  float YOffset() const { return FYOffset; }
  void SetYOffset(float value) { StoreAndRebuild(*this, FYOffset, value); }
  // Tiles along X and Y; 0 is stored as 1, since a plane of no cells has no
  // cell size to draw with.
  std::uint32_t XTiles() const { return FXTiles; }
  void SetXTiles(std::uint32_t value);
  std::uint32_t YTiles() const { return FYTiles; }
  void SetYTiles(std::uint32_t value);
  TPlaneStyles Style() const { return FStyle; }
  void SetStyle(TPlaneStyles value) { StoreAndRebuild(*this, FStyle, value); }

  // (|Width| / 2 Scale.X, |Height| / 2 Scale.Y, 0, 0).
  TVector HalfExtents() const override;
  // A ray from in front of the plane that runs towards it, or from behind it
  // that runs towards it, hits within the rectangle. The normal is the world
  // direction of the local Z axis, reversed for a hit from behind.
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  // From another plane: Width and Height (not the offsets, tiles or style); then
  // as every material object.
  void Assign(const TPersistent* source) override;

private:
  float FXOffset = 0;
  float FYOffset = 0;
  float FWidth = 1;
  float FHeight = 1;
  std::uint32_t FXTiles = 1;
  std::uint32_t FYTiles = 1;
  TPlaneStyles FStyle = psSingleQuad | psTileTexture;
};

// A rectangle centred on the object's position that faces the viewer whatever
// the object's orientation and scale, turned by Rotation in the screen plane.
class TSprite : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TSprite, TGLSceneObject)

public:
  // 1 x 1, opaque; drawn every frame and never culled.
  explicit TSprite(TComponent* owner);

  // The setters report the change (the sprite has no display list to rebuild).
  float Width() const { return FWidth; }
  void SetWidth(float value);
  float Height() const { return FHeight; }
  void SetHeight(float value);
  // Degrees, counter-clockwise on the screen; the sprite turns whole, so at 90
  // its width runs up the screen.
  float Rotation() const { return FRotation; }
  void SetRotation(float value);
  // The opacity, stored clamped to 0..1; kept with layouts only when it is not 1.
  float AlphaChannel() const { return FAlphaChannel; }
  void SetAlphaChannel(float value);
  bool AlphaChannelStored() const { return FAlphaChannel != 1; }
  // Leave the depth buffer as it is while the sprite is drawn. Setting it always
  // reports a change.
  bool NoZWrite() const { return FNoZWrite; }
  void SetNoZWrite(bool value);

  void EmitGeometry(TRenderContextInfo& rci) override;
  // From another sprite: size, rotation, opacity and NoZWrite; then as every
  // material object.
  void Assign(const TPersistent* source) override;

private:
  // The opacity on what the material has set: the cached diffuse colour when
  // lighting is on, the current colour when it is off.
  static void ApplyAlpha(const TRenderContextInfo& rci, float alpha);

  float FWidth = 1;
  float FHeight = 1;
  float FRotation = 0;
  float FAlphaChannel = 1;
  bool FNoZWrite = false;
};
