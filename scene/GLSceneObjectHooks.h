#pragma once
// What a scene object offers the values it owns. A TGLCoordinates or TGLColor
// whose owner implements this interface tells the owner directly that its
// placement or its drawing changed, instead of only passing the change up.

class TGLCoordinates;

class TGLSceneObjectHooks {
public:
  // One of the object's own coordinates (position, direction, up, scale) changed:
  // the object keeps its axes consistent and rebuilds its local matrix.
  virtual void CoordinatesEdited(TGLCoordinates& sender) = 0;
  // The object's drawing changed: its display list is stale.
  virtual void MarkStructureDirty() = 0;

protected:
  TGLSceneObjectHooks() = default;
  ~TGLSceneObjectHooks() = default;
  TGLSceneObjectHooks(const TGLSceneObjectHooks&) = default;
  TGLSceneObjectHooks& operator=(const TGLSceneObjectHooks&) = default;
};
