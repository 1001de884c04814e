#include "scene/GLNodes.h"

#include "scene/GLMisc.h"
#include "scene/gl/OpenGLBinding.h"
#include "scene/gl/XOpenGL.h"

#include <charconv>
#include <deque>
#include <exception>
#include <vector>

// ---------------------------------------------------------------------------
// Nodes

void TGLNode::Assign(const TPersistent* source) {
  if (auto* node = dynamic_cast<const TGLNode*>(source))
    FCoords = node->FCoords;
  else
    TCollectionItem::Assign(source);
}

void TGLNode::SetCoordinate(int index, float value) {
  FCoords[index] = value;
  auto* nodes = dynamic_cast<TGLNodes*>(Collection());
  BRV_ASSERT_MSG(nodes != nullptr, "TGLNode::SetCoordinate(): the node is not in a TGLNodes collection");
  nodes->ReportChange();
}

std::string TGLNode::GetDisplayName() const {
  // Always a dot: the display name does not follow the user's locale.
  std::string text;
  for (int i = 0; i < 3; ++i) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, FCoords[i], std::chars_format::fixed, 4);
    if (i > 0) text += "; ";
    text.append(buffer, result.ptr);
  }
  return text;
}

TGLNodes::TGLNodes(TPersistent* owner, const TCollectionItemClass& itemClass) : TOwnedCollection(owner, itemClass) {
  BRV_ASSERT_MSG(itemClass.InheritsFrom(TGLNode::StaticClass()),
                 "TGLNodes: the item class " + itemClass.ClassName() + " is not a TGLNode");
}

void TGLNodes::ReportChange() {
  if (UpdateCount() > 0) return;
  if (auto* owner = dynamic_cast<TGLUpdateAbleComponent*>(GetOwner())) owner->ReportChange(this);
}

void TGLNodes::Update(TCollectionItem*) { ReportChange(); }

TAffineVector TGLNodes::Normal() const {
  if (Count() < 3) return {0, 0, 0};
  return TriangleNormal(Vec3Of(Items(0).AsVector()), Vec3Of(Items(1).AsVector()), Vec3Of(Items(2).AsVector()));
}

std::unique_ptr<TCubicSpline> TGLNodes::MakeSpline() const {
  std::vector<float> x(static_cast<std::size_t>(Count())), y(x.size()), z(x.size());
  for (int i = 0; i < Count(); ++i) {
    x[std::size_t(i)] = Items(i).X();
    y[std::size_t(i)] = Items(i).Y();
    z[std::size_t(i)] = Items(i).Z();
  }
  return std::make_unique<TCubicSpline>(x.data(), y.data(), z.data(), nullptr, Count());
}

// ---------------------------------------------------------------------------
// Tesselation
//
// The tesselator calls back into C code: no exception may leave a callback. Each
// callback records the first failure and returns; the polygon is finished, the
// tesselator freed, and then the failure is raised.

namespace {

struct TTessPolygon {
  bool Textured = false;
  // Points made by the combine callback or along a spline. The tesselator keeps
  // their addresses until the polygon ends: a deque never moves its elements.
  std::deque<TAffineVector> Points;
  std::exception_ptr Failure;
  GLenum TessError = 0;

  template <class TAction>
  void Guard(TAction action) noexcept {
    try {
      action();
    } catch (...) {
      if (!Failure) Failure = std::current_exception();
    }
  }
};

TTessPolygon& PolygonOf(void* data) { return *static_cast<TTessPolygon*>(data); }

void TessBegin(GLenum type, void* data) {
  PolygonOf(data).Guard([&] { GL->glBegin(type); });
}

void TessVertex(void* vertex, void* data) {
  TTessPolygon& polygon = PolygonOf(data);
  // A combine that could not make its point hands back none.
  if (!vertex) return;
  polygon.Guard([&] {
    const auto* v = static_cast<const GLfloat*>(vertex);
    if (polygon.Textured) xglTexCoord2fv(v);
    GL->glVertex3fv(v);
  });
}

void TessEnd(void* data) {
  PolygonOf(data).Guard([] { GL->glEnd(); });
}

void TessError(GLenum error, void* data) {
  TTessPolygon& polygon = PolygonOf(data);
  if (polygon.TessError == 0) polygon.TessError = error;
}

void TessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** outData, void* data) {
  TTessPolygon& polygon = PolygonOf(data);
  *outData = nullptr;
  polygon.Guard([&] {
    polygon.Points.push_back(
        {static_cast<float>(coords[0]), static_cast<float>(coords[1]), static_cast<float>(coords[2])});
    *outData = &polygon.Points.back().x;
  });
}

template <class TFunction>
_GLUfuncptr Callback(TFunction* function) {
  return reinterpret_cast<_GLUfuncptr>(function);
}

// Frees the tesselator on every way out.
class TTessOwner {
public:
  TTessOwner() : FTess(GL->gluNewTess()) {
    if (!FTess) throw EOpenGLError("GLU could not make a tesselator");
  }
  ~TTessOwner() {
    try {
      GL->gluDeleteTess(FTess);
    } catch (...) {
      // Only a missing entry point raises here, and then no tesselator was made.
    }
  }
  TTessOwner(const TTessOwner&) = delete;
  TTessOwner& operator=(const TTessOwner&) = delete;
  GLUtesselator* Get() const { return FTess; }

private:
  GLUtesselator* FTess;
};

void PassVertex(GLUtesselator* tess, const float* point) {
  GLdouble location[3] = {point[0], point[1], point[2]};
  GL->gluTessVertex(tess, location, const_cast<float*>(point));
}

}  // namespace

void RenderTesselatedPolygon(const TGLNodes& nodes, bool textured, const TAffineVector* normal, int splineDivisions,
                             bool invertOrder) {
  const int count = nodes.Count();
  if (count < 3) return;
  TTessPolygon polygon;
  polygon.Textured = textured;
  {
    TTessOwner owner;
    GLUtesselator* tess = owner.Get();
    GL->gluTessCallback(tess, GLU_TESS_BEGIN_DATA, Callback(TessBegin));
    GL->gluTessCallback(tess, GLU_TESS_VERTEX_DATA, Callback(TessVertex));
    GL->gluTessCallback(tess, GLU_TESS_END_DATA, Callback(TessEnd));
    GL->gluTessCallback(tess, GLU_TESS_ERROR_DATA, Callback(TessError));
    GL->gluTessCallback(tess, GLU_TESS_COMBINE_DATA, Callback(TessCombine));
    if (normal) {
      GL->glNormal3fv(&normal->x);
      GL->gluTessNormal(tess, normal->x, normal->y, normal->z);
    }
    GL->gluTessBeginPolygon(tess, &polygon);
    GL->gluTessBeginContour(tess);
    if (splineDivisions < 2) {
      for (int i = 0; i < count; ++i) PassVertex(tess, nodes.Items(invertOrder ? count - 1 - i : i).AsAddress());
    } else {
      const std::unique_ptr<TCubicSpline> spline = nodes.MakeSpline();
      const int last = CheckedMul(count - 1, splineDivisions);
      const float step = 1.0f / static_cast<float>(splineDivisions);
      for (int n = 0; n <= last; ++n) {
        const int i = invertOrder ? last - n : n;
        polygon.Points.push_back(spline->EvaluateVector(static_cast<float>(i) * step));
        PassVertex(tess, &polygon.Points.back().x);
      }
    }
    GL->gluTessEndContour(tess);
    GL->gluTessEndPolygon(tess);
  }
  if (polygon.Failure) std::rethrow_exception(polygon.Failure);
  if (polygon.TessError != 0)
    AssertionFailure(std::to_string(polygon.TessError) + ": " + GLErrorText(polygon.TessError), __FILE__, __LINE__);
}
