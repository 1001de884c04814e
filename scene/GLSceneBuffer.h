#pragma once
// What a viewer draws through: the buffer owns the rendering context, refers to
// the camera, holds the fog and the render options, and records the view of the
// frame being drawn for the scene (the model-view matrix after the camera, the
// camera's position). Its change report is the viewer's redraw request.

#include "scene/GLCamera.h"
#include "scene/GLLightSource.h"
#include "scene/GLScene.h"

#include <cstdint>
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

class TGLSceneBuffer : public TGLUpdateAbleObject, public TFreeNotifier {
  BRV_CLASS(TGLSceneBuffer, TGLUpdateAbleObject)

public:
  explicit TGLSceneBuffer(TPersistent* owner);
  // Leaves its camera's scene, then frees its context.
  ~TGLSceneBuffer() override;

  TGLCamera* Camera() const { return FCamera.Get(); }
  // Leaves the old camera's scene; takes only a camera that belongs to a scene
  // (null otherwise); asks for a redraw either way.
  void SetCamera(TGLCamera* camera);
  // Fires OnChange: the viewer redraws.
  void ReportChange(TObject* sender) override;

  // The buffer's own rendering context, null without one.
  TGLContext* RenderingContext() const { return FRenderingContext.get(); }
  // Takes a made context as the buffer's own, freeing the one it had (null
  // leaves it without). The fog is sent again into the new context.
  void SetRenderingContext(std::unique_ptr<TGLContext> context);

  TContextOptions ContextOptions() const { return FContextOptions; }
  // A change fires OnStructuralChange: the context must be made again.
  void SetContextOptions(TContextOptions value);
  bool FaceCulling() const { return FFaceCulling; }
  void SetFaceCulling(bool value);
  TGLFogEnvironment& FogEnvironment() { return *FFogEnvironment; }
  const TGLFogEnvironment& FogEnvironment() const { return *FFogEnvironment; }
  // Copies the given fog and asks for a redraw.
  void SetFogEnvironment(const TGLFogEnvironment& value);
  int RenderDPI() const { return FRenderDPI; }

  // The GL enable states known to be on in the buffer's context.
  TGLStates& GLStates() { return FGLStates; }
  // The view of the frame being drawn, recorded once its camera is applied: the
  // model-view matrix read back from GL and the camera's world position.
  const TMatrix4& ModelViewMatrix() const { return FModelViewMatrix; }
  const TVector& CameraPosition() const { return FCameraPosition; }
  void RecordView(const TMatrix4& modelViewMatrix, const TVector& cameraPosition);
  // Effects that draw after the whole tree; emptied at the start of each scene
  // render, called in order at its end.
  std::vector<TGLObjectEffect*>& AfterRenderEffects() { return FAfterRenderEffects; }

  TNotifyEvent OnChange;
  TNotifyEvent OnStructuralChange;

private:
  TWeakRef<TGLCamera> FCamera;
  std::unique_ptr<TGLContext> FRenderingContext;
  TContextOptions FContextOptions = roDoubleBuffer | roRenderToWindow;
  bool FFaceCulling = true;
  std::unique_ptr<TGLFogEnvironment> FFogEnvironment;
  int FRenderDPI = 96;
  TGLStates FGLStates = 0;
  TMatrix4 FModelViewMatrix = IdentityHmgMatrix;
  TVector FCameraPosition{0, 0, 0, 1};
  std::vector<TGLObjectEffect*> FAfterRenderEffects;
};
