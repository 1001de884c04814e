#pragma once
// Line objects: TLineBase holds a line's look (colour, stipple, width,
// smoothing) for every object drawn as lines, and TLines draws a polyline or a
// cubic spline through its nodes, with a marker at each node.
//
//   auto& path = scene.Objects().AddChild(std::make_unique<TLines>(nullptr));
//   path.AddNode(0, 0, 0);
//   path.AddNode(1, 2, 0);   // a line from the origin, axes at both ends

#include "scene/GLNodes.h"
#include "scene/objects/GLObjects.h"

#include <algorithm>
#include <cstdint>

// The base of objects drawn as lines.
class TLineBase : public TGLImmaterialSceneObject {
  BRV_SCENE_OBJECT_CLASS(TLineBase, TGLImmaterialSceneObject)

public:
  // Solid, opaque white, one pixel wide, not smoothed.
  explicit TLineBase(TComponent* owner);

  TGLColor& LineColor() { return FLineColor; }
  const TGLColor& LineColor() const { return FLineColor; }
  void SetLineColor(const TGLColor& value);
  // The stipple pattern; 0xFFFF is a solid line.
  std::uint16_t LinePattern() const { return FLinePattern; }
  void SetLinePattern(std::uint16_t value) { StoreAndRebuild(*this, FLinePattern, value); }
  // In pixels; a width that is not above 0 draws one pixel wide.
  float LineWidth() const { return FLineWidth; }
  void SetLineWidth(float value) { StoreAndRebuild(*this, FLineWidth, value); }
  bool AntiAliased() const { return FAntiAliased; }
  void SetAntiAliased(bool value) { StoreAndRebuild(*this, FAntiAliased, value); }

  // From another line object: its look, then the placement, children and the
  // rest of a scene object.
  void Assign(const TPersistent* source) override;

protected:
  // Pushes the attributes and sets the line's look, unlit; RestoreLineStyle pops them.
  void SetupLineStyle() const;
  static void RestoreLineStyle();

private:
  TGLColor FLineColor;
  std::uint16_t FLinePattern = 0xFFFF;
  float FLineWidth = 1;
  bool FAntiAliased = false;
};

// A node of a line, with its own colour: at first the colour its lines give
// new nodes (blue where the node belongs to no lines).
class TGLLinesNode : public TGLNode {
  BRV_COLLECTION_ITEM_CLASS(TGLLinesNode, TGLNode)

public:
  explicit TGLLinesNode(TCollection* collection);

  TGLColor& Color() { return FColor; }
  const TGLColor& Color() const { return FColor; }
  void SetColor(const TGLColor& value) { FColor.Assign(&value); }

  // From another line node: coordinates and colour; from a plain node: the
  // coordinates.
  void Assign(const TPersistent* source) override;

private:
  TGLColor FColor;
};

// The nodes of a line object; a change redraws it.
class TGLLinesNodes : public TGLNodes {
  BRV_CLASS(TGLLinesNodes, TGLNodes)

public:
  explicit TGLLinesNodes(TPersistent* owner) : TGLNodes(owner, TGLLinesNode::StaticClass()) {}

  TGLLinesNode& Items(int index) const { return static_cast<TGLLinesNode&>(TGLNodes::Items(index)); }
  TGLLinesNode& Add() { return static_cast<TGLLinesNode&>(TGLNodes::Add()); }

  // The owner's display list is stale.
  void ReportChange() override;
};

enum TLineNodesAspect : std::uint8_t { lnaInvisible, lnaAxes, lnaCube, lnaDodecahedron };
enum TLineSplineMode : std::uint8_t { lsmLines, lsmCubicSpline };
// Options, one bit each: colour the line itself by its nodes' colours.
enum TLinesOption : std::uint8_t { loUseNodeColorForLines = 0x01 };
using TLinesOptions = std::uint8_t;

// A polyline or cubic spline through its nodes, with a marker at each node.
class TLines : public TLineBase {
  BRV_SCENE_OBJECT_CLASS(TLines, TLineBase)

public:
  // No nodes; axes as markers; blue nodes; 10 spline points per node interval.
  explicit TLines(TComponent* owner);

  TGLLinesNodes& Nodes() { return FNodes; }
  const TGLLinesNodes& Nodes() const { return FNodes; }
  void SetNodes(const TGLLinesNodes& value) { FNodes.Assign(&value); }
  // Appends a node at (x, y, z).
  TGLLinesNode& AddNode(float x, float y, float z);
  TLineNodesAspect NodesAspect() const { return FNodesAspect; }
  void SetNodesAspect(TLineNodesAspect value) { StoreAndRebuild(*this, FNodesAspect, value); }
  // The colour of new nodes. A change also recolours the nodes that still had
  // the former one.
  TGLColor& NodeColor() { return FNodeColor; }
  const TGLColor& NodeColor() const { return FNodeColor; }
  void SetNodeColor(const TGLColor& value);
  // Spline points per node interval; values below 1 are stored as 1.
  int Division() const { return FDivision; }
  void SetDivision(int value) { StoreAndRebuild(*this, FDivision, std::max(value, 1)); }
  TLineSplineMode SplineMode() const { return FSplineMode; }
  void SetSplineMode(TLineSplineMode value) { StoreAndRebuild(*this, FSplineMode, value); }
  TLinesOptions Options() const { return FOptions; }
  void SetOptions(TLinesOptions value);
  // The markers' size; a value not above 0 is stored as 1.
  float NodeSize() const { return FNodeSize; }
  void SetNodeSize(float value);

  // The box round the origin that holds every node (the scale not applied).
  TVector HalfExtents() const override;
  // Nothing with fewer than two nodes.
  void EmitGeometry(TRenderContextInfo& rci) override;
  // From other lines: nodes (coordinates and colours), marker aspect, node
  // colour, division and spline mode; then the line base.
  void Assign(const TPersistent* source) override;

private:
  // The points the line passes through, with their colours.
  void EmitLineVertices() const;
  void EmitNodeMarker(const TGLLinesNode& node) const;
  void NodeColorChanged();

  TGLLinesNodes FNodes;
  TLineNodesAspect FNodesAspect = lnaAxes;
  TGLColor FNodeColor;
  int FDivision = 10;
  TLineSplineMode FSplineMode = lsmLines;
  TLinesOptions FOptions = 0;
  float FNodeSize = 1;
  TVector FOldNodeColor{0, 0, 1, 1};
};
