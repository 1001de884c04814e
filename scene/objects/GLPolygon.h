#pragma once
// A flat, filled polygon whose outline is a list of nodes, straight or smoothed
// into a cubic spline; concave and self-crossing outlines are cut into triangles
// by the GLU tesselator.
//
//   auto& shape = scene.Objects().AddChild(std::make_unique<TPolygon>(nullptr));
//   for (auto [x, y] : {std::pair{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}) {
//     TGLNode& node = shape.Nodes().Add();   // an L, counter-clockwise seen from +Z
//     node.SetX(x);
//     node.SetY(y);
//   }

#include "scene/GLNodes.h"
#include "scene/objects/GLLines.h"

#include <algorithm>
#include <cstdint>

// The base of objects outlined by nodes: the nodes and how the outline runs through them.
class TPolygonBase : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TPolygonBase, TGLSceneObject)

public:
  // No nodes, straight outline, 10 spline points per node interval.
  explicit TPolygonBase(TComponent* owner) : TPolygonBase(owner, TGLNode::StaticClass()) {}

  // A change of a node, or of the list, rebuilds the drawing.
  TGLNodes& Nodes() { return FNodes; }
  const TGLNodes& Nodes() const { return FNodes; }
  void SetNodes(const TGLNodes& value);
  // Spline points per node interval; values below 1 are stored as 1.
  int Division() const { return FDivision; }
  void SetDivision(int value) { StoreAndRebuild(*this, FDivision, std::max(value, 1)); }
  TLineSplineMode SplineMode() const { return FSplineMode; }
  void SetSplineMode(TLineSplineMode value) { StoreAndRebuild(*this, FSplineMode, value); }

  // A report from the nodes marks the drawing stale first.
  void ReportChange(TObject* sender) override;
  // From another outlined object: its nodes, division and spline mode, then the
  // placement, material and the rest of a scene object, so that a copied tree
  // keeps its polygons where they were.
  void Assign(const TPersistent* source) override;

protected:
  // For a descendant whose nodes are of another class (TGLNode or a descendant).
  TPolygonBase(TComponent* owner, const TCollectionItemClass& nodeClass);

private:
  TGLNodes FNodes;
  int FDivision = 10;
  TLineSplineMode FSplineMode = lsmLines;
};

// The faces a polygon draws, one bit each: the top, wound as the nodes run and
// facing the way their first three make counter-clockwise, and the bottom, the
// same outline wound the other way and facing away.
enum TPolygonPart : std::uint8_t { ppTop = 0x01, ppBottom = 0x02 };
using TPolygonParts = std::uint8_t;

// A filled polygon through its nodes, both faces by default. Texture coordinates
// are the nodes' X and Y.
class TPolygon : public TPolygonBase {
  BRV_SCENE_OBJECT_CLASS(TPolygon, TPolygonBase)

public:
  using TPolygonBase::TPolygonBase;

  TPolygonParts Parts() const { return FParts; }
  void SetParts(TPolygonParts value) { StoreAndRebuild(*this, FParts, value); }

  // Nothing with fewer than three nodes. With its first three nodes in a line the
  // polygon is drawn without a normal of its own.
  void EmitGeometry(TRenderContextInfo& rci) override;
  // From another polygon: Parts; then as every outlined object.
  void Assign(const TPersistent* source) override;

private:
  TPolygonParts FParts = ppTop | ppBottom;
};
