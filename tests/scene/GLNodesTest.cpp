// Nodes, and polygons tesselated by the system's GLU: the tesselator runs on the
// CPU, its GL output goes to the recording table and is gathered into triangles.

#include "scene/GLNodes.h"

#include "scene/GLMisc.h"
#include "scene/gl/XOpenGL.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

#include <set>

namespace {

class TCountingComponent : public TGLUpdateAbleComponent {
  BRV_CLASS(TCountingComponent, TGLUpdateAbleComponent)

public:
  TCountingComponent() : TGLUpdateAbleComponent(nullptr) {}
  void ReportChange(TObject*) override { ++Reports; }
  int Reports = 0;
};

void AddNodes(TGLNodes& nodes, std::initializer_list<TAffineVector> points) {
  for (const TAffineVector& p : points) {
    TGLNode& node = nodes.Add();
    for (int i = 0; i < 3; ++i) node.SetCoordinate(i, p[i]);
  }
}

TEST(GLNodes, NodesTellTheirOwnerOfChangesOutsideUpdates) {
  TCountingComponent owner;
  TGLNodes nodes(&owner);
  nodes.Add().SetY(1.5f);
  EXPECT_EQ(owner.Reports, 2);
  EXPECT_EQ(nodes.Items(0).GetDisplayName(), "0.0000; 1.5000; 0.0000");
  EXPECT_EQ(std::tuple(nodes.Items(0).CoordinateStored(0), nodes.Items(0).CoordinateStored(1)), std::tuple(false, true));
  nodes.BeginUpdate();
  AddNodes(nodes, {{-2.25f, 0, 0.00001f}, {1, 0, 0}});
  nodes.Delete(0);
  nodes.EndUpdate();
  EXPECT_EQ(owner.Reports, 3);
  EXPECT_EQ(nodes.Items(0).GetDisplayName(), "-2.2500; 0.0000; 0.0000");
  EXPECT_EQ(nodes.Normal().z, 0) << "two nodes make no plane";

  TGLNodes other(nullptr);
  AddNodes(other, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  nodes.Assign(&other);
  EXPECT_EQ(owner.Reports, 4);
  EXPECT_FLOAT_EQ(nodes.Normal().z, 1);
  EXPECT_THROW(nodes.Items(3), EListError);
  EXPECT_THROW(nodes.Items(0).SetCoordinate(4, 1), ERangeError);
  TCollection plain(TGLNode::StaticClass());
  EXPECT_THROW(static_cast<TGLNode&>(plain.Add()).SetX(1), EAssertionFailed) << "a node outside TGLNodes";
}

// What the tesselator drew.
struct TDrawn {
  std::vector<std::array<TAffineVector, 3>> Triangles;
  std::vector<TAffineVector> Vertices, TexCoords;
  std::vector<TAffineVector> Strip;
  GLenum Primitive = 0;
  int Begins = 0, Ends = 0, Deletes = 0;
  int FailAtVertex = -1;  // the vertex whose glVertex3fv raises
};
TDrawn* drawn = nullptr;

void Vertex(const GLfloat* v) {
  TDrawn& d = *drawn;
  if (int(d.Vertices.size()) == d.FailAtVertex) throw EOpenGLError("vertex refused");
  d.Vertices.push_back({v[0], v[1], v[2]});
  d.Strip.push_back({v[0], v[1], v[2]});
  const std::size_t n = d.Strip.size();
  const auto& s = d.Strip;
  if (d.Primitive == GL_TRIANGLES && n % 3 == 0) d.Triangles.push_back({s[n - 3], s[n - 2], s[n - 1]});
  if (d.Primitive == GL_TRIANGLE_FAN && n >= 3) d.Triangles.push_back({s[0], s[n - 2], s[n - 1]});
  if (d.Primitive == GL_TRIANGLE_STRIP && n >= 3)
    d.Triangles.push_back(n % 2 ? std::array{s[n - 3], s[n - 2], s[n - 1]} : std::array{s[n - 2], s[n - 3], s[n - 1]});
}

class GLNodesTesselation : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    if (!InitOpenGL(&error)) GTEST_SKIP() << "no GLU: " << error;
    for (TGLEntry entry : {TGLEntry::gluNewTess, TGLEntry::gluTessCallback, TGLEntry::gluTessNormal,
                           TGLEntry::gluTessBeginPolygon, TGLEntry::gluTessBeginContour, TGLEntry::gluTessVertex,
                           TGLEntry::gluTessEndContour, TGLEntry::gluTessEndPolygon})
      gl.SetEntry(entry, RealGLBinding().Entry(entry));
    gl.gluDeleteTess = [](GLUtesselator* tess) {
      ++drawn->Deletes;
      RealGLBinding().gluDeleteTess(tess);
    };
    gl.glBegin = [](GLenum mode) {
      ++drawn->Begins;
      drawn->Primitive = mode;
      drawn->Strip.clear();
    };
    gl.glEnd = [] { ++drawn->Ends; };
    gl.glVertex3fv = Vertex;
    gl.glTexCoord2fv = [](const GLfloat* v) { drawn->TexCoords.push_back({v[0], v[1], 0}); };
    drawn = &Drawn;
  }
  void TearDown() override {
    XGLMapToNull();
    drawn = nullptr;
  }

  void Render(std::initializer_list<TAffineVector> outline, bool invert = false, int divisions = 1,
              const TAffineVector* normal = nullptr) {
    TGLNodes nodes(nullptr);
    AddNodes(nodes, outline);
    const int failAt = Drawn.FailAtVertex;
    Drawn = TDrawn{};
    Drawn.FailAtVertex = failAt;
    RenderTesselatedPolygon(nodes, XGLMapping() == xmMain, normal, divisions, invert);
  }

  // The area covered, and the sign every triangle has (0 when they differ).
  std::pair<float, int> Coverage() const {
    float area = 0;
    int sign = 0;
    for (const auto& t : Drawn.Triangles) {
      const float a = ((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y)) / 2;
      area += std::abs(a);
      sign = sign == 0 || sign == (a > 0 ? 1 : -1) ? (a > 0 ? 1 : -1) : 2;
    }
    return {area, sign == 2 ? 0 : sign};
  }

  TRecordingGL gl;
  TDrawn Drawn;
};

TEST_F(GLNodesTesselation, OutlinesAreCoveredByTrianglesOfTheirWinding) {
  Render({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  EXPECT_EQ(Coverage(), std::pair(1.0f, 1));
  EXPECT_EQ(Drawn.Begins, Drawn.Ends);
  Render({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, true);
  EXPECT_EQ(Coverage(), std::pair(1.0f, -1)) << "reversed outline, reversed triangles";
  Render({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}});
  EXPECT_EQ(Coverage(), std::pair(3.0f, 1)) << "a concave L";
  Render({{0, 0, 0}, {1, 0, 0}});
  EXPECT_EQ(Drawn.Begins, 0) << "two nodes outline nothing";

  // Crossing edges meet in a vertex the combine callback made.
  const TAffineVector up{0, 0, 1};
  Render({{0, 0, 0}, {2, 2, 0}, {2, 0, 0}, {0, 2, 0}}, false, 1, &up);
  EXPECT_EQ(Coverage(), std::pair(2.0f, 1));
  EXPECT_TRUE(std::any_of(Drawn.Vertices.begin(), Drawn.Vertices.end(), [](auto v) { return v.x == 1 && v.y == 1; }));
  EXPECT_EQ(gl.Count("glNormal3fv"), 1);
}

TEST_F(GLNodesTesselation, SplinesAndTexturesFollowTheNodes) {
  Render({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, false, 4);
  std::set<std::pair<float, float>> points;
  for (const TAffineVector& v : Drawn.Vertices) points.insert({v.x, v.y});
  EXPECT_EQ(points.size(), 13u) << "three intervals of four points, and the last node";
  for (auto [x, y] : {std::pair{0.0f, 0.0f}, {4.0f, 0.0f}, {4.0f, 4.0f}, {0.0f, 4.0f}})
    EXPECT_TRUE(std::any_of(points.begin(), points.end(), [&](auto p) {
      return std::abs(p.first - x) < 1e-4f && std::abs(p.second - y) < 1e-4f;
    })) << x << ", " << y;
  Render({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, true, 4);
  EXPECT_EQ(Coverage().second, -1);

  XGLMapToMain();
  Render({{0, 0, 5}, {3, 0, 5}, {3, 2, 5}});
  ASSERT_EQ(Drawn.TexCoords.size(), Drawn.Vertices.size());
  for (std::size_t i = 0; i < Drawn.Vertices.size(); ++i)
    EXPECT_EQ(std::pair(Drawn.TexCoords[i].x, Drawn.TexCoords[i].y), std::pair(Drawn.Vertices[i].x, Drawn.Vertices[i].y));
}

TEST_F(GLNodesTesselation, AFailingGLCallIsRaisedOnceTheTesselatorIsFreed) {
  Drawn.FailAtVertex = 1;
  EXPECT_EQ(BRV_ERROR_TEXT(EOpenGLError, Render({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}})), "vertex refused");
  EXPECT_EQ(Drawn.Deletes, 1);
  EXPECT_EQ(Drawn.Begins, Drawn.Ends) << "the tesselation went on to its end";
}

}  // namespace
