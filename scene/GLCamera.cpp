#include "scene/GLCamera.h"

#include <algorithm>
#include <cmath>

namespace {

// Whether gluLookAt can make a view of `direction` and `up`: a direction of some
// length and an up that does not run along it.
bool UsableView(const TAffineVector& direction, const TAffineVector& up) {
  const float length = Vec3Length(direction), upLength = Vec3Length(up);
  if (!(length > 1e-6f) || !(upLength > 1e-6f) || !std::isfinite(length) || !std::isfinite(upLength)) return false;
  const float sine = Vec3Length(Vec3Cross(direction, up)) / (length * upLength);
  return sine > 1e-6f;
}

bool PositiveNumber(float value) { return value > 0 && std::isfinite(value); }

}  // namespace

TGLCamera::TGLCamera(TComponent* owner)
    : TGLBaseSceneObject(owner), FTargetObject([this] { ReportChange(this); }) {
  Direction().SetVector(0, 0, -1);
}

void TGLCamera::SetFocalLength(float value) {
  if (!PositiveNumber(value)) value = 1;
  if (StoreChanged(FFocalLength, value) && !Loading()) MarkTransformDirty();
}

void TGLCamera::SetDepthOfView(float value) {
  // A depth of 0 would put both planes together, a negative one behind each
  // other: GL refuses the first and turns the depth test round for the second.
  if (PositiveNumber(value)) FGoodDepthOfView = value;
  if (StoreChanged(FDepthOfView, value) && !Loading()) MarkTransformDirty();
}

void TGLCamera::SetSceneScale(float value) {
  if (value == 0 || !std::isfinite(value)) value = 1;
  if (StoreChanged(FSceneScale, value)) ReportChange(this);
}

void TGLCamera::SetCameraStyle(TGLCameraStyle value) {
  if (StoreChanged(FCameraStyle, value)) ReportChange(this);
}

void TGLCamera::SetTargetObject(TGLBaseSceneObject* value) {
  if (value == FTargetObject.Get()) return;
  FTargetObject = value;
  if (!Loading()) MarkTransformDirty();
}

float TGLCamera::TargetDistance() const {
  const TGLBaseSceneObject* target = TargetObject();
  if (!target) return 1;
  return Vec3Distance(Vec3Of(WorldPosition()), Vec3Of(target->WorldPosition()));
}

void TGLCamera::Apply() {
  if (OnCustomApply) {
    OnCustomApply();
    return;
  }
  const TAffineVector position = Vec3Of(WorldPosition());
  TAffineVector direction, up;
  if (const TGLBaseSceneObject* target = TargetObject()) {
    direction = Vec3Sub(Vec3Of(target->WorldPosition()), position);
    up = Vec3Of(Up().AsVector());
  } else {
    const TGLBaseSceneObject* parent = MatrixParent();
    const TMatrix4& frame = parent ? parent->WorldMatrix() : IdentityHmgMatrix;
    direction = Vec3Of(Vec4Transform(Direction().AsVector(), frame));
    up = Vec3Of(Vec4Transform(Up().AsVector(), frame));
  }
  // A target on the camera has no direction, and an up along the view no side:
  // either would give GL a matrix of zeros or NaNs, every frame until it moves.
  if (!UsableView(direction, up)) {
    if (UsableView(direction, FLastUp)) {
      up = FLastUp;
    } else {
      direction = Vec3Of(FLastDirection);
      up = FLastUp;
    }
  }
  Vec3NormalizeInPlace(direction);
  Vec3NormalizeInPlace(up);
  FLastDirection = Vec4FromVec3(direction, 0);
  FLastUp = up;
  GL->gluLookAt(position.x, position.y, position.z, double(position.x) + direction.x,
                double(position.y) + direction.y, double(position.z) + direction.z, up.x, up.y, up.z);
  ExcludeChange(TGLChange::ListStale);
}

void TGLCamera::SetProjection(const TGLViewport& viewport, int width, int height, int dpi) {
  if (width <= 0 || height <= 0) return;
  const double w = width, h = height, maxDim = std::max(w, h);
  const float diagonalRadius = float(std::sqrt(w * w + h * h) / 2);
  switch (FCameraStyle) {
    case csOrtho2D:
      GL->gluOrtho2D(0, w, 0, h);
      FNearPlane = -1;
      FViewPortRadius = diagonalRadius;
      break;
    case csCustom:
      FViewPortRadius = diagonalRadius;
      if (OnCustomPerspective) OnCustomPerspective(viewport, width, height, dpi, FViewPortRadius);
      break;
    case csPerspective:
    case csOrthogonal: {
      const double scale = FCameraStyle == csPerspective ? FSceneScale : FFocalLength * FSceneScale / 100.0;
      const double fx = 1 / (w * scale), fy = 1 / (h * scale);
      const double right = w * (2.0 * viewport.X + 2.0 * viewport.Width - w) * fx / (2 * maxDim);
      const double left = -w * (w - 2.0 * viewport.X) * fx / (2 * maxDim);
      const double top = h * (2.0 * viewport.Y + 2.0 * viewport.Height - h) * fy / (2 * maxDim);
      const double bottom = -h * (h - 2.0 * viewport.Y) * fy / (2 * maxDim);
      const double nearPlane = FFocalLength * 2.0 * dpi / (25.4 * maxDim);
      const double farPlane = nearPlane + FGoodDepthOfView;
      if (FCameraStyle == csPerspective)
        GL->glFrustum(left, right, bottom, top, nearPlane, farPlane);
      else
        GL->glOrtho(left, right, bottom, top, nearPlane, farPlane);
      FNearPlane = float(nearPlane);
      FViewPortRadius = float(std::sqrt(right * right + top * top) / nearPlane);
      break;
    }
    default:
      AssertionFailure("TGLCamera::SetProjection(): unknown camera style", __FILE__, __LINE__);
  }
}

void TGLCamera::OrbitTarget(float pitchDelta, float turnDelta) {
  if (const TGLBaseSceneObject* target = TargetObject()) OrbitObject(*target, pitchDelta, turnDelta);
}

void TGLCamera::ScaleDistanceToTarget(float ratio) {
  const TGLBaseSceneObject* target = TargetObject();
  if (!target) return;
  const TAffineVector t = Vec3Of(target->WorldPosition());
  PlaceAtWorldPoint(Vec3Add(t, Vec3Scaled(Vec3Sub(Vec3Of(WorldPosition()), t), ratio)));
}

void TGLCamera::RenderNode(TRenderContextInfo& rci, bool, bool renderChildren) {
  TGLBaseSceneObject::RenderNode(rci, false, renderChildren);
}

bool TGLCamera::IntersectRay(const TVector&, const TVector&, TVector*, TVector*) const { return false; }
