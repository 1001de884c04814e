#pragma once
// Depth maps and the shadows cast with them.
//
// TGLzBuffer copies the depth buffer of a viewer into memory and turns its pixels
// into scene points and scene points into its pixels, through the view of the
// viewer's last frame. TZShadows is a scene object that shadows what a window
// viewer shows: a caster (a memory viewer whose camera stands for the light)
// gives one depth map, the window viewer the other; every pixel whose scene point
// the caster sees behind something nearer is darkened by a full-viewport overlay.
//
//   TZShadows& shadows = scene.Objects().AddChild(std::make_unique<TZShadows>(nullptr));
//   shadows.SetViewer(&windowViewer.Buffer());
//   shadows.SetCaster(&lightViewer);
//   shadows.CastShadow();   // again whenever the scene moves
//
// Nothing is drawn until a shadow was cast.

#include "scene/GLNonVisualViewer.h"

#include <cstdint>
#include <memory>
#include <vector>

// ---------------------------------------------------------------------------
// The depth buffer

class TGLzBuffer : public TPersistent {
  BRV_CLASS(TGLzBuffer, TPersistent)

public:
  // Empty, linked to no viewer.
  TGLzBuffer();
  ~TGLzBuffer() override;

  // Links to the buffer of a window viewer (or to a memory viewer), takes its
  // size and prepares the projection from its last frame.
  void AttachToViewer(TGLSceneBuffer& viewerBuffer);
  void AttachToMemoryViewer(TGLMemoryViewer& viewer);
  // width x height depth values, all 0; negative sizes count as 0.
  void SetSize(int width, int height);

  // Reads the linked buffer's depth into Data (its size following the buffer's
  // viewport first); with `contextActive` the caller has the buffer's context
  // current, else it is activated for the read. Nothing is read without a live
  // context. Prepares the projection afterwards when asked.
  const std::vector<float>& ReadDepthBuffer(bool prepareProjection, bool contextActive);
  // ReadDepthBuffer(true, false) when linked; nothing otherwise.
  void Refresh();

  // Width x Height depth values (0..1 as GL gives them), the bottom row first.
  const std::vector<float>& Data() const { return FData; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TGLSceneBuffer* Buffer() const { return FBuffer.Get(); }
  TGLCamera* Camera() const { return FBuffer ? FBuffer->Camera() : nullptr; }

  // The depth at column x, row y counted from the top; 0 outside the buffer.
  float PixelDepthValue(int x, int y) const;

  // Takes the view of the linked buffer's last frame. Without a camera the
  // message "No Camera!" is shown, once for this depth buffer, and the
  // projection stays unprepared.
  void PrepareProjection();
  // True once a projection was prepared from a buffer with a camera; the
  // conversions below give nothing before.
  bool ProjectionReady() const { return FProjectionReady; }

  // The view ray (from the camera to the near plane) of window point (x, y), y
  // counted from the top, interpolated between the rays of the frame's corners.
  TAffineVector FastScreenToVector(float x, float y) const;
  // The scene point drawn at the centre of pixel (x, y), y counted from the top;
  // (0, 0, 0) outside the buffer or before a projection.
  TAffineVector PixelToWorldPoint(int x, int y) const;
  // Where `point` is drawn: x and y in pixels (y from the bottom, as GL counts
  // rows; pixel (i, j) covers i <= x < i + 1, j <= y < j + 1) and the depth value
  // GL gives it. True when the point lies in front of the camera and inside the
  // buffer; a point not in front gives x = y = depth = 0.
  bool WorldToPixel(const TAffineVector& point, float& x, float& y, float& depth) const;

private:
  std::vector<float> FData;
  int FWidth = 0, FHeight = 0;
  TWeakRef<TGLSceneBuffer> FBuffer;
  // The view of the frame, row-major with column vectors: eye = ModelView x
  // world, clip = Projection x eye; and scene points of window points.
  double FModelView[16] = {};
  double FProjection[16] = {};
  double FUnproject[16] = {};
  TGLViewport FViewPort;
  // The corner rays of FastScreenToVector: bottom left, and to the right and
  // upper corners from there.
  TAffineVector FCornerRay{}, FRightEdge{}, FUpperEdge{};
  bool FProjectionReady = false;
  bool FNoCameraReported = false;
};

// ---------------------------------------------------------------------------
// The shadows

// How the shadow map is refined: every pixel tested, or cells of 2 x 2, 3 x 3 or
// 4 x 4 pixels filled without tests where their corners agree.
enum TOptimise : std::uint8_t { opNone, op4in1, op9in1, op16in1 };

class TZShadows : public TGLBaseSceneObject {
  BRV_SCENE_OBJECT_CLASS(TZShadows, TGLBaseSceneObject)

public:
  // Drawn directly and never culled; black shadows, tolerance 0.015, a 64 x 64 map.
  explicit TZShadows(TComponent* owner);
  ~TZShadows() override;

  // The window viewer whose image is shadowed, given by its buffer (the window
  // viewers live with the toolkit). Setting it takes the buffer's viewport size
  // as Width and Height.
  TGLSceneBuffer* Viewer() const { return FViewer.Get(); }
  void SetViewer(TGLSceneBuffer* viewerBuffer);
  // The off-screen viewer whose camera is the light. A new caster casts nothing
  // until CastShadow.
  TGLMemoryViewer* Caster() const { return FCaster.Get(); }
  void SetCaster(TGLMemoryViewer* caster);

  // Points outside the caster's view are in shadow.
  bool FrustShadow() const { return FFrustShadow; }
  void SetFrustShadow(bool value) { FFrustShadow = value; }
  // Pixels where nothing was drawn are in shadow.
  bool SkyShadow() const { return FSkyShadow; }
  void SetSkyShadow(bool value) { FSkyShadow = value; }
  TOptimise Optimise() const { return FOptimise; }
  void SetOptimise(TOptimise value) { FOptimise = value; }
  // The area of the viewport that is shadowed, in pixels from the top left; the
  // map grows to the next powers of two (at least 2, at most MAX_MAP_SIZE).
  static constexpr int MAX_MAP_SIZE = 8192;
  int Width() const { return FWidth; }
  void SetWidth(int value);
  int Height() const { return FHeight; }
  void SetHeight(int value);
  int MapWidth() const { return FMapWidth; }
  int MapHeight() const { return FMapHeight; }
  // The shadow's colour; its alpha is the shadow's strength.
  TGLColor& Color() { return *FColor; }
  const TGLColor& Color() const { return *FColor; }
  // Soft edges; setting reports a change.
  bool Soft() const { return FSoft; }
  void SetSoft(bool value);
  // Depth tolerance of the shadow test, scaled by the distance from the far plane.
  float Tolerance() const { return FTolerance; }
  void SetTolerance(float value) { FTolerance = value; }
  // Far points fade into shadow.
  bool DepthFade() const { return FDepthFade; }
  void SetDepthFade(bool value) { FDepthFade = value; }

  // Renders the caster's frame and reads its depth; an orthogonal caster camera
  // is first turned straight down (over its target, when it has one). True when
  // a shadow was cast: false without a caster or a caster's camera.
  bool CastShadow();

  // In a frame of the viewer (not a pick), once a shadow was cast: the shadow map
  // over the viewport. Then the children.
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

private:
  void RenderShadow(TGLSceneBuffer& viewer);
  // Allocates the texture when it has no GL name (again after its context went).
  void PrepareTexture();
  void AllocateMap();
  std::uint8_t& MapAt(int x, int y) { return FMap[std::size_t(FMapHeight - 1 - y) * FMapWidth + x]; }
  void BuildShadowTexture();
  std::uint8_t PixelShadowAlpha(int x, int y);
  std::uint8_t DepthFadeValue(float casterDepth) const;
  float CasterDepth(int x, int row) const;

  TWeakRef<TGLSceneBuffer> FViewer;
  TWeakRef<TGLMemoryViewer> FCaster;
  bool FFrustShadow = false;
  bool FSkyShadow = false;
  TOptimise FOptimise = opNone;
  int FWidth = 0, FHeight = 0;
  std::unique_ptr<TGLColor> FColor;
  bool FSoft = false;
  float FTolerance = 0.015f;
  bool FDepthFade = false;

  // Map rows bottom-up, as GL takes a texture: pixel row y of the area is map row
  // FMapHeight - 1 - y.
  std::vector<std::uint8_t> FMap;
  int FMapWidth = 64, FMapHeight = 64;
  // Which pixels of the area the frame has tested (1) or filled (2).
  std::vector<std::uint8_t> FKnown;
  std::uint8_t FAlpha = 255;
  bool FUploaded = false;
  TGLTextureHandle FTexture;
  std::unique_ptr<TGLzBuffer> FViewerBuffer;
  std::unique_ptr<TGLzBuffer> FCasterBuffer;
};
