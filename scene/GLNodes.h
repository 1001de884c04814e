#pragma once
// Control points of line and polygon objects: TGLNode items in a TGLNodes
// collection owned by a scene component, a cubic spline through them, and the
// polygon they outline, drawn through the GLU tesselator.

#include "base/Collections.h"
#include "base/Geometry.h"
#include "base/Spline.h"

#include <memory>
#include <string>

class TGLNode : public TCollectionItem {
  BRV_COLLECTION_ITEM_CLASS(TGLNode, TCollectionItem)

public:
  explicit TGLNode(TCollection* collection) : TCollectionItem(collection) {}

  // From another node: X, Y, Z and W. Other sources go to TPersistent::Assign.
  void Assign(const TPersistent* source) override;

  float X() const { return FCoords.x; }
  float Y() const { return FCoords.y; }
  float Z() const { return FCoords.z; }
  float W() const { return FCoords.w; }
  void SetX(float value) { SetCoordinate(0, value); }
  void SetY(float value) { SetCoordinate(1, value); }
  void SetZ(float value) { SetCoordinate(2, value); }
  // Component 0-3 (ERangeError otherwise); storing one tells the owning TGLNodes.
  float Coordinate(int index) const { return FCoords[index]; }
  void SetCoordinate(int index, float value);
  // X, Y and Z are stored with the layout only when they are not 0.
  bool CoordinateStored(int index) const { return FCoords[index] != 0; }

  const TVector& AsVector() const { return FCoords; }
  // The four singles in place (the tesselator reads vertices from here).
  float* AsAddress() { return &FCoords.x; }
  const float* AsAddress() const { return &FCoords.x; }

  // "X; Y; Z" with four decimals each: "0.0000; 1.5000; 0.0000".
  std::string GetDisplayName() const override;

private:
  TVector FCoords{0, 0, 0, 0};
};

class TGLNodes : public TOwnedCollection {
  BRV_CLASS(TGLNodes, TOwnedCollection)

public:
  // `itemClass` must be TGLNode or a descendant.
  explicit TGLNodes(TPersistent* owner, const TCollectionItemClass& itemClass = TGLNode::StaticClass());

  TGLNode& Items(int index) const { return static_cast<TGLNode&>(TCollection::Items(index)); }
  TGLNode& Add() { return static_cast<TGLNode&>(TCollection::Add()); }

  // Outside updates, an owner that is an update-able component hears of the change.
  virtual void ReportChange();

  // Fewer than 3 nodes: (0, 0, 0); else normalize((p1 - p0) x (p2 - p0)).
  TAffineVector Normal() const;
  // A cubic spline through the nodes' X, Y and Z, parameter t = node index.
  std::unique_ptr<TCubicSpline> MakeSpline() const;

protected:
  void Update(TCollectionItem* item) override;
};

// Draws the polygon outlined by the nodes, as one contour, in triangles made by the
// GLU tesselator. `textured`: each vertex also sends its X and Y as texture
// coordinates (xglTexCoord2fv). `normal`, when given, is sent with glNormal3fv and
// tells the tesselator the polygon's plane. With `splineDivisions` of 2 or more the
// outline follows a cubic spline through the nodes with that many points per
// interval. `invertOrder` reverses the outline and so the winding of the triangles.
// Nothing with fewer than 3 nodes. A failure of a GL call or of the tesselator is
// raised once the tesselator is finished and freed: as the call's own exception,
// or as an assertion failure "<error number>: <GLU's text>".
void RenderTesselatedPolygon(const TGLNodes& nodes, bool textured, const TAffineVector* normal, int splineDivisions,
                             bool invertOrder);
