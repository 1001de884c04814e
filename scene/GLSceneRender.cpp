// The render walk of the scene object tree: culling, the node's matrix on the
// model-view stack, picking names, its display list, and the ordering of its
// children; and the scene's drawing of its whole tree for a buffer.

#include "scene/GLScene.h"

#include "scene/GLCamera.h"
#include "scene/GLSceneBuffer.h"

#include <algorithm>

namespace {

// The cached states a drawing may have changed behind the caches' back.
void ResetStateCaches() {
  ResetPolygonModeCache();
  ResetMaterialColorCache();
  ResetTextureBindingCache();
  ResetFrontFaceCache();
}

// Pops what Render pushed, also when a drawing step raises.
class TRenderStackGuard {
public:
  explicit TRenderStackGuard(bool popName) : FPopName(popName) {}
  ~TRenderStackGuard() {
    try {
      if (FPopName) GL->glPopName();
      GL->glPopMatrix();
    } catch (...) {
      // Nothing may leave a destructor; the caller's own error is on its way.
    }
  }
  TRenderStackGuard(const TRenderStackGuard&) = delete;
  TRenderStackGuard& operator=(const TRenderStackGuard&) = delete;

private:
  bool FPopName;
};

}  // namespace

GLuint TGLBaseSceneObject::GetHandle(TRenderContextInfo& rci) {
  if (FListHandle.Handle() != 0 && !HasChange(TGLChange::ListStale)) return FListHandle.Handle();
  if (FListHandle.Handle() == 0) FListHandle.AllocateHandle();
  BRV_ASSERT_MSG(FListHandle.Handle() != 0, "Handle=0 for " + ClassName());
  {
    TGLListCompilation compilation(FListHandle.Handle(), GL_COMPILE, FListEffect, rci.GLStates);
    EmitGeometry(rci);
  }
  ExcludeChange(TGLChange::ListStale);
  return FListHandle.Handle();
}

void TGLBaseSceneObject::DestroyHandles() { FListHandle.DestroyHandle(); }

void TGLBaseSceneObject::EmitGeometry(TRenderContextInfo&) {}

void TGLBaseSceneObject::Render(TRenderContextInfo& rci) {
  if (!FVisible) return;
  bool renderSelf = true;
  const bool cullable = !HasStyle(TGLObjectStyle::NeverCulled);
  switch (rci.VisibilityCulling) {
    case vcInherited:
    case vcNone:
      break;
    case vcObjectBased:
      if (cullable && IsSphereOutsideViewTest(Vec3Of(WorldPosition()), BoundingSphereRadius(), rci.ClippingInfo))
        renderSelf = false;
      break;
    case vcHierarchical:
      if (cullable) {
        // The box is in the node's frame; the view is in the world's.
        TAxisAlignedBox box = AxisAlignedBoundingBox();
        AABBTransform(box, WorldMatrix());
        if (BoxOutsideView(box.Min, box.Max, rci.ClippingInfo)) return;
      }
      break;
    default:
      AssertionFailure("Unknown visibility culling option", __FILE__, __LINE__);
  }

  const bool pushedName = rci.DrawState == dsPicking && rci.PushPickNames;
  GL->glPushMatrix();
  TRenderStackGuard guard(pushedName);
  GL->glMultMatrixf(&LocalMatrix()[0].x);
  if (rci.DrawState == dsPicking) {
    if (rci.PushPickNames)
      GL->glPushName(FPickName);
    else
      GL->glLoadName(FPickName);
  }
  if (renderSelf)
    RenderSelf(rci);
  else
    RenderNodeWithDepthTest(rci, false);
}

void TGLBaseSceneObject::RenderSelf(TRenderContextInfo& rci) {
  if (FShowAxes) DrawAxisLines(rci);
  const bool withEffects = FEffects && FEffects->Count() > 0;
  TGLSceneBuffer* buffer = FScene ? FScene->CurrentBuffer() : nullptr;
  if (withEffects) {
    GL->glPushMatrix();
    FEffects->RenderPreEffects(buffer, rci);
    GL->glPopMatrix();
    GL->glPushMatrix();
  }
  RenderNodeWithDepthTest(rci, true);
  if (HasStyle(TGLObjectStyle::ResetStateCaches)) ResetStateCaches();
  if (withEffects) {
    FEffects->RenderPostEffects(buffer, rci);
    GL->glPopMatrix();
  }
}

void TGLBaseSceneObject::RenderNodeWithDepthTest(TRenderContextInfo& rci, bool renderSelf) {
  const bool depthTestOff = HasStyle(TGLObjectStyle::NoDepthTest) && (rci.GLStates & GLStateBit(stDepthTest));
  if (depthTestOff) DisableGLState(rci.GLStates, stDepthTest);
  RenderNode(rci, renderSelf, true);
  if (depthTestOff) EnableGLState(rci.GLStates, stDepthTest);
}

void TGLBaseSceneObject::RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (renderSelf) {
    if (HasStyle(TGLObjectStyle::DirectDraw)) {
      EmitGeometry(rci);
    } else {
      const GLuint list = GetHandle(rci);
      CallListCached(list, FListEffect, rci.GLStates);
    }
  }
  if (renderChildren && Count() > 0) RenderChildRange(0, Count() - 1, rci);
}

void TGLBaseSceneObject::RenderChildRange(int firstIndex, int lastIndex, TRenderContextInfo& rci) {
  struct TRestore {
    TRenderContextInfo& Rci;
    TGLVisibilityCulling Culling;
    TGLObjectsSorting Sorting;
    ~TRestore() {
      Rci.VisibilityCulling = Culling;
      Rci.ObjectsSorting = Sorting;
    }
  } restore{rci, rci.VisibilityCulling, rci.ObjectsSorting};

  if (FVisibilityCulling != vcInherited) rci.VisibilityCulling = FVisibilityCulling;
  if (firstIndex == lastIndex) {
    OwnedChild(firstIndex).Render(rci);
    return;
  }
  if (FObjectsSorting != osInherited) rci.ObjectsSorting = FObjectsSorting;
  if (rci.ObjectsSorting == osNone) {
    for (int i = firstIndex; i <= lastIndex; ++i) OwnedChild(i).Render(rci);
    return;
  }
  BRV_ASSERT_MSG(rci.ObjectsSorting == osRenderFarthestFirst || rci.ObjectsSorting == osRenderBlendedLast,
                 "Unknown objects sorting option");

  // The node's own list, unless a render of the node is walking it already (a
  // proxy drawing an ancestor of itself): clearing it then would pull the
  // children from under the outer walk.
  std::vector<std::pair<float, TGLBaseSceneObject*>> ownList;
  const bool reuse = !FSortListInUse;
  auto& sorted = reuse ? FSortList : ownList;
  struct TRelease {
    bool& InUse;
    bool Owner;
    ~TRelease() {
      if (Owner) InUse = false;
    }
  } release{FSortListInUse, reuse};
  FSortListInUse = true;
  sorted.clear();

  const TAffineVector eye = Vec3Of(rci.CameraPosition);
  const bool blendedLast = rci.ObjectsSorting == osRenderBlendedLast;
  for (int i = firstIndex; i <= lastIndex; ++i) {
    TGLBaseSceneObject& child = OwnedChild(i);
    if (blendedLast && !child.Blended()) {
      child.Render(rci);
    } else if (child.Visible()) {
      const float distance = Vec3SquaredDistance(eye, Vec3Of(child.WorldBarycentre()));
      sorted.emplace_back(blendedLast ? 1 + distance : distance, &child);
    }
  }
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) it->second->Render(rci);
}

void TGLBaseSceneObject::DrawAxisLines(TRenderContextInfo& rci) {
  float length = rci.ClippingInfo.FarDistance;
  if (TGLSceneBuffer* buffer = FScene ? FScene->CurrentBuffer() : nullptr)
    if (TGLCamera* camera = buffer->Camera()) length = camera->DepthOfView();

  DrawAxes(0xCCCC, length);
}

void DrawAxes(GLushort pattern, float length) {
  GL->glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT);
  GL->glDisable(GL_LIGHTING);
  GL->glEnable(GL_LINE_STIPPLE);
  GL->glEnable(GL_LINE_SMOOTH);
  GL->glEnable(GL_BLEND);
  GL->glLineWidth(1);
  GL->glLineStipple(1, pattern);
  GL->glBegin(GL_LINES);
  for (int axis = 0; axis < 3; ++axis) {
    for (float sign : {-1.0f, 1.0f}) {
      // The negative half in half intensity.
      TVector color{0, 0, 0, 1};
      color[axis] = sign < 0 ? 0.5f : 1.0f;
      TVector end{0, 0, 0, 1};
      end[axis] = sign * length;
      GL->glColor3f(color.x, color.y, color.z);
      GL->glVertex3f(0, 0, 0);
      GL->glVertex3f(end.x, end.y, end.z);
    }
  }
  GL->glEnd();
  GL->glPopAttrib();
}

// ---------------------------------------------------------------------------
// The scene

void TGLScene::DrawSceneInto(TGLSceneBuffer& buffer, int width, int height, TDrawState drawState) {
  ResetStateCaches();
  buffer.AfterRenderEffects().clear();
  SetCurrentBuffer(&buffer);

  TRenderContextInfo rci;
  rci.ObjectsSorting = FObjectsSorting;
  rci.VisibilityCulling = FVisibilityCulling;
  rci.FaceCulling = buffer.FaceCulling();
  rci.DrawState = drawState;
  rci.CameraPosition = buffer.CameraPosition();
  const TGLCamera* camera = buffer.Camera();
  TVector direction = camera ? camera->LastDirection() : TVector{0, 0, -1, 0};
  direction.w = 0;
  Vec4NormalizeXYZInPlace(direction);
  rci.CameraDirection = direction;
  rci.ClippingInfo.Origin = rci.CameraPosition;
  rci.ClippingInfo.Direction = rci.CameraDirection;
  rci.ClippingInfo.ViewportRadius = camera ? camera->ViewPortRadius() : 0;
  rci.ClippingInfo.FarDistance = camera ? camera->FarPlaneDistance() : 0;
  rci.ViewPortSize = {width, height};
  rci.RenderDPI = buffer.RenderDPI();
  rci.ModelViewMatrix = &buffer.ModelViewMatrix();
  rci.GLStates = buffer.GLStates();
  rci.IgnoreMaterials = (buffer.ContextOptions() & roNoColorBuffer) != 0;

  // The buffer learns the states the frame leaves on, also when a drawing raises.
  struct TKeepStates {
    TGLStates& Buffer;
    const TGLStates& Frame;
    ~TKeepStates() { Buffer = Frame; }
  } keepStates{buffer.GLStates(), rci.GLStates};

  const GLboolean colors = rci.IgnoreMaterials ? GL_FALSE : GL_TRUE;
  GL->glColorMask(colors, colors, colors, colors);
  FObjects->Render(rci);
  for (TGLObjectEffect* effect : buffer.AfterRenderEffects()) effect->Render(&buffer, rci);
  DisableGLState(rci.GLStates, stBlend);
  DisableGLState(rci.GLStates, stTexture2D);
}
