#pragma once
// The camera: how a buffer looks at its scene. It sets the projection
// (perspective, orthogonal, 2-D or the user's own) and the viewing transformation
// (along its own direction, or at a target object), and moves round its target
// (orbit, zoom). Cameras live under the scene's camera root.
//
//   TGLCamera& camera = scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
//   camera.Position().SetPoint(0, 50, 100);
//   camera.SetTargetObject(&board);
//   camera.OrbitTarget(0, 15);   // 15 degrees round the board, at the same distance

#include "scene/GLScene.h"

#include <cstdint>
#include <functional>

// The part of the window a projection covers, in pixels from the bottom-left corner.
struct TGLViewport {
  int X = 0, Y = 0, Width = 0, Height = 0;
};

enum TGLCameraStyle : std::uint8_t { csPerspective, csOrthogonal, csOrtho2D, csCustom };

// The projection of csCustom: multiplies the projection matrix and may change the
// view-port radius (half the view's diagonal at unit distance, used for culling).
using TGLCustomPerspectiveEvent =
    std::function<void(const TGLViewport& viewport, int width, int height, int dpi, float& viewPortRadius)>;

class TGLCamera : public TGLBaseSceneObject {
  BRV_SCENE_OBJECT_CLASS(TGLCamera, TGLBaseSceneObject)

public:
  // Looks along -Z with +Y up.
  explicit TGLCamera(TComponent* owner);

  // The lens: sets the near plane and, for csOrthogonal, the zoom. A value that is
  // not a positive number becomes 1.
  float FocalLength() const { return FFocalLength; }
  void SetFocalLength(float value);
  // Distance from the near plane to the far plane. A value that is not a positive
  // number is kept, but projections go on using the last good one (100 at first).
  float DepthOfView() const { return FDepthOfView; }
  void SetDepthOfView(float value);
  // A zoom factor on the projection; 0 becomes 1.
  float SceneScale() const { return FSceneScale; }
  void SetSceneScale(float value);
  TGLCameraStyle CameraStyle() const { return FCameraStyle; }
  void SetCameraStyle(TGLCameraStyle value);

  // What the camera looks at; null to look along its own direction. Becomes null
  // when the object is freed.
  TGLBaseSceneObject* TargetObject() const { return FTargetObject.Get(); }
  void SetTargetObject(TGLBaseSceneObject* value);
  // Distance between the camera's and the target's world positions; 1 without a target.
  float TargetDistance() const;

  // What the last SetProjection worked out: the near plane's distance, and half
  // the view's diagonal at unit distance. The far plane lies the depth of view
  // beyond the near plane.
  float NearPlane() const { return FNearPlane; }
  float FarPlaneDistance() const { return FNearPlane + FGoodDepthOfView; }
  float ViewPortRadius() const { return FViewPortRadius; }
  // The world viewing direction the last Apply used, of unit length.
  const TVector& LastDirection() const { return FLastDirection; }

  // When set, Apply calls it instead of setting the viewing transformation.
  std::function<void()> OnCustomApply;
  TGLCustomPerspectiveEvent OnCustomPerspective;

  // Multiplies the current model-view matrix by the viewing transformation: from
  // the camera's world position towards its target, or along its direction. When
  // the target sits on the camera, or the up vector runs along the view, the
  // last good direction and up are kept, so the matrix never degenerates.
  void Apply();
  // Multiplies the current projection matrix by the camera's projection for a
  // window of width x height pixels of which `viewport` is drawn, at `dpi`. Does
  // nothing unless both sizes are positive.
  void SetProjection(const TGLViewport& viewport, int width, int height, int dpi);

  // Moves round the target (degrees): up and down over it, never past its poles,
  // and round the camera's world up; the distance stays. Nothing without a target.
  void OrbitTarget(float pitchDelta, float turnDelta);
  // Moves along the line to the target to `ratio` times the distance. Nothing
  // without a target.
  void ScaleDistanceToTarget(float ratio);

  // The camera draws nothing itself, only its children, and is never hit.
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;

private:
  float FFocalLength = 50;
  float FDepthOfView = 100;
  float FNearPlane = 0;
  float FViewPortRadius = 0;
  float FGoodDepthOfView = 100;
  TWeakRef<TGLBaseSceneObject> FTargetObject;
  TVector FLastDirection{0, 0, -1, 0};
  TAffineVector FLastUp{0, 1, 0};
  TGLCameraStyle FCameraStyle = csPerspective;
  float FSceneScale = 1;
};
