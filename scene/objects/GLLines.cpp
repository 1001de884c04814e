#include "scene/objects/GLLines.h"

#include "scene/objects/GLSolids.h"

#include <cmath>
#include <memory>

// ---------------------------------------------------------------------------
// TLineBase

TLineBase::TLineBase(TComponent* owner) : TGLImmaterialSceneObject(owner), FLineColor(this, {1, 1, 1, 1}) {}

void TLineBase::SetLineColor(const TGLColor& value) {
  FLineColor.Assign(&value);
  MarkStructureDirty();
}

void TLineBase::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TLineBase*>(source)) {
    FLineColor.Assign(&other->FLineColor);
    FLinePattern = other->FLinePattern;
    FLineWidth = other->FLineWidth;
    FAntiAliased = other->FAntiAliased;
  }
  // The placement and the children too: a copy of a tree that holds lines
  // keeps them where they were.
  TGLImmaterialSceneObject::Assign(source);
}

void TLineBase::SetupLineStyle() const {
  GL->glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_LIGHTING_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  GL->glDisable(GL_LIGHTING);
  if (FLinePattern != 0xFFFF) {
    GL->glEnable(GL_LINE_STIPPLE);
    GL->glEnable(GL_BLEND);
    GL->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GL->glLineStipple(1, FLinePattern);
  }
  if (FAntiAliased)
    GL->glEnable(GL_LINE_SMOOTH);
  else
    GL->glDisable(GL_LINE_SMOOTH);
  // GL refuses a width that is not above 0, and would do so on every frame.
  GL->glLineWidth(FLineWidth > 0 ? FLineWidth : 1);
  if (FLineColor.Alpha() != 1) {
    GL->glEnable(GL_BLEND);
    GL->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GL->glColor4fv(&FLineColor.Color().x);
  } else {
    GL->glColor3fv(&FLineColor.Color().x);
  }
}

void TLineBase::RestoreLineStyle() { GL->glPopAttrib(); }

// ---------------------------------------------------------------------------
// Nodes

namespace {

TVector InitialNodeColor(TCollection* collection) {
  if (auto* nodes = dynamic_cast<TGLNodes*>(collection))
    if (auto* lines = dynamic_cast<TLines*>(nodes->GetOwner())) return lines->NodeColor().Color();
  return {0, 0, 1, 1};
}

}  // namespace

TGLLinesNode::TGLLinesNode(TCollection* collection)
    : TGLNode(collection), FColor(this, InitialNodeColor(collection), [this](TObject*) { Changed(); }) {}

void TGLLinesNode::Assign(const TPersistent* source) {
  TGLNode::Assign(source);
  if (auto* node = dynamic_cast<const TGLLinesNode*>(source)) FColor.Assign(&node->FColor);
}

void TGLLinesNodes::ReportChange() {
  if (UpdateCount() > 0) return;
  if (auto* owner = dynamic_cast<TGLBaseSceneObject*>(GetOwner())) owner->MarkStructureDirty();
}

// ---------------------------------------------------------------------------
// TLines

TLines::TLines(TComponent* owner)
    : TLineBase(owner), FNodes(this), FNodeColor(this, {0, 0, 1, 1}, [this](TObject*) { NodeColorChanged(); }) {}

TGLLinesNode& TLines::AddNode(float x, float y, float z) {
  FNodes.BeginUpdate();
  TGLLinesNode& node = FNodes.Add();
  node.SetX(x);
  node.SetY(y);
  node.SetZ(z);
  FNodes.EndUpdate();
  return node;
}

void TLines::SetNodeColor(const TGLColor& value) {
  FNodeColor.Assign(&value);
  MarkStructureDirty();
}

void TLines::NodeColorChanged() {
  // Nodes that never had a colour of their own follow the node colour.
  const TVector color = FNodeColor.Color();
  for (int i = 0; i < FNodes.Count(); ++i) {
    TGLColor& nodeColor = FNodes.Items(i).Color();
    if (Vec4Equal(nodeColor.Color(), FOldNodeColor)) nodeColor.SetColor(color);
  }
  FOldNodeColor = color;
}

void TLines::SetOptions(TLinesOptions value) {
  FOptions = value;
  MarkStructureDirty();
}

void TLines::SetNodeSize(float value) {
  FNodeSize = value > 0 ? value : 1;
  MarkStructureDirty();
}

TVector TLines::HalfExtents() const {
  TVector half{0, 0, 0, 0};
  for (int i = 0; i < FNodes.Count(); ++i) {
    const TVector& v = FNodes.Items(i).AsVector();
    for (int k = 0; k < 3; ++k) half[k] = std::max(half[k], std::fabs(v[k]));
  }
  return half;
}

void TLines::EmitLineVertices() const {
  const bool nodeColors = FOptions & loUseNodeColorForLines;
  const int count = FNodes.Count();
  if (FDivision > 1 && FSplineMode == lsmCubicSpline) {
    const std::unique_ptr<TCubicSpline> spline = FNodes.MakeSpline();
    const float f = 1.0f / float(FDivision);
    const int last = CheckedMul(count - 1, FDivision);
    for (int i = 0; i <= last; ++i) {
      if (nodeColors) {
        const int n = i / FDivision;
        const TVector color = n == count - 1 ? FNodes.Items(n).Color().Color()
                                             : Vec4Lerp(FNodes.Items(n).Color().Color(),
                                                        FNodes.Items(n + 1).Color().Color(), float(i % FDivision) * f);
        GL->glColor4fv(&color.x);
      }
      const TAffineVector p = spline->EvaluateVector(float(i) * f);
      GL->glVertex3f(p.x, p.y, p.z);
    }
    return;
  }
  for (int i = 0; i < count; ++i) {
    const TGLLinesNode& node = FNodes.Items(i);
    if (nodeColors) GL->glColor4fv(&node.Color().Color().x);
    GL->glVertex3f(node.X(), node.Y(), node.Z());
  }
}

void TLines::EmitNodeMarker(const TGLLinesNode& node) const {
  GL->glPushMatrix();
  GL->glTranslatef(node.X(), node.Y(), node.Z());
  switch (FNodesAspect) {
    case lnaAxes:
      DrawAxes(0xCCCC, FNodeSize * 0.5f);
      break;
    case lnaCube:
      DrawWireCube(false, node.Color().Color(), FNodeSize);
      break;
    case lnaDodecahedron: {
      CacheMaterialColors(GL_FRONT, {0, 0, 0, 1}, {0.2f, 0.2f, 0.2f, 1}, node.Color().Color(), {0, 0, 0, 1}, 0);
      const bool scaled = FNodeSize != 1;
      if (scaled) {
        GL->glPushMatrix();
        GL->glScalef(FNodeSize, FNodeSize, FNodeSize);
      }
      DrawDodecahedron();
      if (scaled) GL->glPopMatrix();
      break;
    }
    default:
      AssertionFailure("TLines: no marker for nodes aspect " + std::to_string(FNodesAspect), __FILE__, __LINE__);
  }
  GL->glPopMatrix();
}

void TLines::EmitGeometry(TRenderContextInfo&) {
  if (FNodes.Count() < 2) return;
  SetupLineStyle();
  GL->glBegin(GL_LINE_STRIP);
  EmitLineVertices();
  GL->glEnd();
  RestoreLineStyle();
  if (FNodesAspect == lnaInvisible) return;
  GL->glPushAttrib(GL_ENABLE_BIT);
  GL->glEnable(GL_BLEND);
  GL->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (int i = 0; i < FNodes.Count(); ++i) EmitNodeMarker(FNodes.Items(i));
  GL->glPopAttrib();
}

void TLines::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TLines*>(source)) {
    // The node colour first: changing it recolours the nodes that had the old
    // one, and the copied nodes keep the colours they come with.
    FNodeColor.SetColor(other->FNodeColor.Color());
    FNodes.Assign(&other->FNodes);
    FNodesAspect = other->FNodesAspect;
    FDivision = other->FDivision;
    FSplineMode = other->FSplineMode;
  }
  TLineBase::Assign(source);
}
