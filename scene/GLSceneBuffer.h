#pragma once
// What a viewer draws through. The buffer owns the rendering context, holds the
// viewport, the background colour and the render options, refers to the camera,
// and draws one frame of the camera's scene on request. It answers picking
// requests (which objects lie under a rectangle of the window) and turns window
// pixels into scene points. Its change report is the viewer's redraw request.
//
//   TGLSceneBuffer buffer(viewer);
//   buffer.SetCamera(&camera);
//   buffer.Resize(640, 480);
//   buffer.CreateRenderingContext(windowId, false);
//   buffer.Render();
//   TGLBaseSceneObject* under = buffer.ObjectAtPixel(mouseX, mouseY);   // y from the top

#include "base/GLCrossPlatform.h"
#include "scene/GLCamera.h"
#include "scene/GLColor.h"
#include "scene/GLLightSource.h"
#include "scene/GLScene.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Options of the buffer's rendering context, a set of these bits.
enum TContextOption : std::uint8_t {
  roDoubleBuffer = 0x01,
  roStencilBuffer = 0x02,
  roRenderToWindow = 0x04,
  roTwoSideLighting = 0x08,
  roStereo = 0x10,
  roDestinationAlpha = 0x20,
  roNoColorBuffer = 0x40,  // depth only: objects are drawn without materials
};
using TContextOptions = std::uint8_t;

enum TDepthPrecision : std::uint8_t { dpDefault, dp16bits, dp24bits, dp32bits };
enum TColorDepth : std::uint8_t { cdDefault, cd8bits, cd16bits, cd24bits };
enum TGLShadeModel : std::uint8_t { smDefault, smSmooth, smFlat };

// A rectangle of the window in pixels, y counted from the top.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// ---------------------------------------------------------------------------
// Pick lists

// How a pick list orders its hits: as they come, by the objects' names (case
// ignored), by the nearest depth, or by the farthest depth.
enum TPickSortType : std::uint8_t { psDefault, psName, psMinDepth, psMaxDepth };

// One object under the pick rectangle: the names it pushed below its own (its
// sub-objects) and the depth range of its hit, each in 0..1.
struct TPickRecord {
  TPickRecord() = default;
  TPickRecord(const TPickRecord&) = delete;
  TPickRecord& operator=(const TPickRecord&) = delete;
  TWeakRef<TGLBaseSceneObject> Object;
  std::vector<int> SubObjects;
  float ZMin = 0, ZMax = 0;
};

// The hits of one pick, kept in the order of the list's own sort type (hits that
// compare equal stay in the order they were added). An object freed after the
// pick leaves a null in its record.
class TGLPickList {
public:
  explicit TGLPickList(TPickSortType sortType) : FSortType(sortType) {}

  TPickSortType SortType() const { return FSortType; }
  int Count() const { return static_cast<int>(FRecords.size()); }
  // The object of hit `index` (0..Count-1, else EListError); null once freed.
  TGLBaseSceneObject* Hit(int index) const { return Record(index).Object.Get(); }
  const TPickRecord& Record(int index) const;
  void AddHit(TGLBaseSceneObject& object, std::vector<int> subObjects, float zMin, float zMax);
  void Clear() { FRecords.clear(); }
  void Reserve(int count);

private:
  bool Before(const TPickRecord& a, const TPickRecord& b) const;

  TPickSortType FSortType;
  std::vector<std::unique_ptr<TPickRecord>> FRecords;
};

// ---------------------------------------------------------------------------
// The buffer

class TGLSceneBuffer : public TGLUpdateAbleObject, public TFreeNotifier {
  BRV_CLASS(TGLSceneBuffer, TGLUpdateAbleObject)

public:
  explicit TGLSceneBuffer(TPersistent* owner);
  // Leaves its camera's scene, then frees its context.
  ~TGLSceneBuffer() override;

  // ---- Camera and change reports

  TGLCamera* Camera() const { return FCamera.Get(); }
  // Leaves the old camera's scene; takes only a camera that belongs to a scene
  // (null otherwise); asks for a redraw either way.
  void SetCamera(TGLCamera* camera);
  // Fires OnChange: the viewer redraws.
  void ReportChange(TObject* sender) override;

  // ---- Rendering context

  // Makes the buffer's context: a window context on `device` (a native window
  // id), or with `memoryContext` an off-screen one of the viewport's size. The
  // old context goes first. Raises "Failed to create RenderingContext." when no
  // context class is registered, and the context layer's errors; on failure the
  // buffer is left without a context.
  void CreateRenderingContext(TNativeDevice device, bool memoryContext);
  // Frees the context and leaves the camera's scene's buffers.
  void FreeRenderingContext();
  // The buffer's own rendering context, null without one.
  TGLContext* RenderingContext() const { return FRenderingContext.get(); }
  // True when the context exists and its GL context is alive (a window going
  // away takes the GL context with it).
  bool HasLiveContext() const { return FRenderingContext && FRenderingContext->IsValid(); }
  // Takes a made context as the buffer's own, freeing the one it had (null
  // leaves it without). The fog is sent again into the new context.
  void SetRenderingContext(std::unique_ptr<TGLContext> context);
  // True while a frame, a pick or a context creation runs.
  bool Rendering() const { return FRendering; }

  // ---- Viewport

  // Width and height of the viewport, each at least 1; glViewport when there is a context.
  void Resize(int width, int height);
  // Stores the viewport and asks for a redraw.
  void SetViewPort(int x, int y, int width, int height);
  const TGLViewport& ViewPort() const { return FViewPort; }
  int Width() const { return FViewPort.Width; }
  int Height() const { return FViewPort.Height; }

  // ---- Options (setters store a changed value and ask for a redraw; the context
  // options, anti-aliasing and the depths fire OnStructuralChange instead: the
  // context must be made again)

  TColorValue BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColorValue value);
  bool DepthTest() const { return FDepthTest; }
  void SetDepthTest(bool value);
  bool FaceCulling() const { return FFaceCulling; }
  void SetFaceCulling(bool value);
  bool Lighting() const { return FLighting; }
  void SetLighting(bool value);
  bool FogEnable() const { return FFogEnable; }
  void SetFogEnable(bool value);
  TGLShadeModel ShadeModel() const { return FShadeModel; }
  void SetShadeModel(TGLShadeModel value);
  TContextOptions ContextOptions() const { return FContextOptions; }
  void SetContextOptions(TContextOptions value);
  TGLAntiAliasing AntiAliasing() const { return FAntiAliasing; }
  void SetAntiAliasing(TGLAntiAliasing value);
  TDepthPrecision DepthPrecision() const { return FDepthPrecision; }
  void SetDepthPrecision(TDepthPrecision value);
  TColorDepth ColorDepth() const { return FColorDepth; }
  void SetColorDepth(TColorDepth value);
  TGLFogEnvironment& FogEnvironment() { return *FFogEnvironment; }
  const TGLFogEnvironment& FogEnvironment() const { return *FFogEnvironment; }
  // Copies the given fog and asks for a redraw.
  void SetFogEnvironment(const TGLFogEnvironment& value);
  int RenderDPI() const { return FRenderDPI; }

  // ---- Frames

  // Draws one frame of the camera's scene and shows it. Nothing while a frame is
  // being drawn or without a live context. GL errors raise EOpenGLError; however
  // the frame ends, the buffer is ready for the next one (not rendering, GL in
  // render mode, the context activated as before).
  void Render();
  // Lets go of what the driver and the heap keep of the last frame, for a view that
  // draws no other for a while: megabytes on Mesa's software rasteriser. Clears the
  // depth buffer, which a frame's swap leaves undefined anyway. Nothing while a
  // frame is being drawn or without a live context.
  void ReleaseFrameMemory();

  // Frames drawn since the last reset, and frames per second over them (the first
  // interval counts twice, standing in for the unmeasured first frame).
  int FrameCount() const { return FFrameCount; }
  float FrameRate() const { return FFrameRate; }
  void ResetFrameTiming();
  // Where frame timing reads its clock: a counter in ticks and its ticks per second
  // (the high-resolution counter by default).
  void SetFrameClock(std::function<std::int64_t()> counter, std::int64_t frequency);

  // ---- Picking and window points (y from the top of the window)

  // The objects drawn inside `rect`, into `pickList` (cleared first) in its order.
  // `objectCountGuess` sizes the first selection buffer, which doubles until the
  // hits fit. Nothing without a camera or a live context; a pick during a frame
  // is the assertion failure "Already rendering".
  void CollectPickHits(const TRect& rect, TGLPickList& pickList, int objectCountGuess);
  // The same into a new list sorted by nearest depth.
  std::unique_ptr<TGLPickList> ObjectsAtRect(const TRect& rect, int objectCountGuess);
  // The nearest object drawn within a pixel of (x, y), or null.
  TGLBaseSceneObject* ObjectAtPixel(int x, int y);

  // The depth buffer's value (0..1) under the pixel, the point clamped into the
  // viewport; 0 without a camera or a live context.
  float DepthAtPixel(int x, int y);
  // The scene point of a window point (x, y from the bottom, z a depth value),
  // through the view of the last frame; the point itself without a camera.
  TVector PixelToScenePoint(const TAffineVector& point) const;
  // PixelToScenePoint less the camera's position: the view ray of the point.
  TVector PixelToViewRay(const TAffineVector& point) const;
  // The scene point drawn at pixel (x, y): along the pixel's view ray, at the
  // distance its depth value stands for.
  TVector ScreenToWorldPoint(int x, int y);

  // A GL implementation limit by index (0 GL_MAX_CLIP_PLANES ... 25
  // GL_STENCIL_BITS, see the table in the source); 0 for other indices or
  // without a live context.
  int QueryGLLimit(int index);

  // ---- The view of the last frame or pick

  // The GL enable states known to be on in the buffer's context.
  TGLStates& GLStates() { return FGLStates; }
  // Model-view after the camera, projection after the camera, and projection
  // before the camera (identity, or the pick matrix during a pick).
  const TMatrix4& ModelViewMatrix() const { return FModelViewMatrix; }
  const TMatrix4& ProjectionMatrix() const { return FProjectionMatrix; }
  const TMatrix4& BaseProjectionMatrix() const { return FBaseProjectionMatrix; }
  const TVector& CameraPosition() const { return FCameraPosition; }
  void RecordView(const TMatrix4& modelViewMatrix, const TVector& cameraPosition);
  // A stack of model-view matrices for drawings that replace the view for a
  // while; it must be empty again when the frame ends.
  void PushModelViewMatrix(const TMatrix4& matrix);
  void PopModelViewMatrix();
  // Effects that draw after the whole tree; emptied at the start of each scene
  // render, called in order at its end.
  std::vector<TGLObjectEffect*>& AfterRenderEffects() { return FAfterRenderEffects; }

  // ---- Events

  TNotifyEvent OnChange;
  TNotifyEvent OnStructuralChange;
  // After the context is configured and before it is made.
  TNotifyEvent OnPrepareGLContext;
  // Once a new context is made, while it is current (the viewers set vertical
  // sync here: the swap interval belongs to the current context).
  TNotifyEvent OnContextCreated;
  // Around the frame's drawing: after the camera, before the lights; after the
  // tree; after the whole frame (not while the owner is being designed).
  TNotifyEvent BeforeRender;
  TNotifyEvent PostRender;
  TNotifyEvent AfterRender;

private:
  class TFrameScope;

  // The frame's GL state from the options.
  void SetupGLState();
  void ApplyBackgroundColor();
  // Projection (with the pick rectangle when given) and camera; reads the matrices back.
  void SetupRenderingMatrices(const TRect* pickRect);
  // The frame's drawing in the viewport, for display or for picking.
  void RenderScene(TDrawState drawState, const TRect* pickRect);
  void AddFrameTime();
  bool OwnerDesigning() const;
  void Fire(const TNotifyEvent& event);
  // Stores a changed option and asks for a redraw, or for a new context.
  template <class T>
  void SetOption(T& field, T value);
  template <class T>
  void SetStructuralOption(T& field, T value);

  TGLStates FGLStates = 0;
  bool FRendering = false;
  std::unique_ptr<TGLContext> FRenderingContext;
  std::vector<TGLObjectEffect*> FAfterRenderEffects;
  TMatrix4 FProjectionMatrix = IdentityHmgMatrix;
  TMatrix4 FModelViewMatrix = IdentityHmgMatrix;
  std::vector<TMatrix4> FModelViewStack;
  TMatrix4 FBaseProjectionMatrix = IdentityHmgMatrix;
  TVector FCameraPosition{0, 0, 0, 1};
  TGLViewport FViewPort;
  bool FFaceCulling = true;
  bool FFogEnable = false;
  bool FLighting = true;
  bool FDepthTest = true;
  // The system's button-face colour until a viewer says otherwise.
  TColorValue FBackgroundColor = SystemColorValue(15);
  TGLAntiAliasing FAntiAliasing = aaDefault;
  TDepthPrecision FDepthPrecision = dpDefault;
  TColorDepth FColorDepth = cdDefault;
  TContextOptions FContextOptions = roDoubleBuffer | roRenderToWindow;
  TGLShadeModel FShadeModel = smDefault;
  int FRenderDPI = 96;
  std::unique_ptr<TGLFogEnvironment> FFogEnvironment;
  TWeakRef<TGLCamera> FCamera;
  int FFrameCount = 0;
  std::int64_t FElapsedTicks = 0;
  float FFrameRate = 0;
  std::int64_t FLastCounter = 0;
  std::function<std::int64_t()> FCounter;
  std::int64_t FCounterFrequency = 0;
};
