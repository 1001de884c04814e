// The standard objects on the recording GL table, and their ray tests against
// hits worked out by hand from the shapes.

#include "scene/objects/GLGraph.h"
#include "scene/objects/GLQuadrics.h"
#include "scene/objects/GLSolids.h"

#include "tests/scene/SceneTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using TTexts = std::vector<std::string>;

class GLObjectsTest : public ::testing::Test {
protected:
  GLObjectsTest() {
    Context.CreateContext(0);
    Context.Activate();
    InvalidateGLStateCaches();
    Gl.Clear();
  }
  ~GLObjectsTest() override { Context.Deactivate(); }

  template <class T>
  T& Add(TGLBaseSceneObject& parent, float x, float y, float z) {
    T& object = parent.AddChild(std::make_unique<T>(nullptr));
    object.Position().SetPoint(x, y, z);
    return object;
  }
  // The calls of one EmitGeometry.
  TTexts Emitted(TGLBaseSceneObject& object) {
    return Gl.CallsOf([&] { object.EmitGeometry(Rci); });
  }

  TRecordingGL Gl;
  TFakeGLContext Context{"ctx"};
  TGLScene Scene{nullptr};
  TRenderContextInfo Rci;
};

TEST_F(GLObjectsTest, DummyCubesGroupWithoutBeingHit) {
  auto& outer = Add<TDummyCube>(Scene.Objects(), 10, 0, 0);
  auto& inner = Add<TDummyCube>(outer, 0, 2, 0);
  Add<TTestNode>(inner, 1, 0, 0);
  Add<TTestNode>(inner, 3, 0, 0);
  Add<TTestNode>(outer, 0, 0, 4);
  auto& empty = Add<TDummyCube>(outer, 0, -1, 0);
  // The mean of (12, 2, 0), (10, 0, 4) and the empty cube's own place (10, -1, 0).
  ExpectVectorNear(outer.WorldBarycentre(), {32.0f / 3, 1.0f / 3, 4.0f / 3, 1});
  ExpectVectorNear(inner.WorldBarycentre(), {12, 2, 0, 1});
  ExpectVectorNear(empty.WorldBarycentre(), {10, -1, 0, 1});

  // A ray through a big cube reaches the sphere it holds, behind it.
  auto& group = Add<TDummyCube>(Scene.Objects(), 0, 0, -50);
  group.SetCubeSize(40);
  auto& ball = Add<TSphere>(group, 0, 0, -10);
  TVector point{};
  EXPECT_FALSE(group.IntersectRay({0, 0, 0, 1}, {0, 0, -1, 0}, &point));
  EXPECT_EQ(Scene.IntersectRay({0, 0, 0, 1}, {0, 0, -1, 0}, &point), &ball);
  ExpectVectorNear(point, {0, 0, -59.5f, 1});
  ExpectVectorNear(group.HalfExtents(), {20, 20, 20, 0});

  // Drawn only when asked to.
  EXPECT_TRUE(Emitted(group).empty());
  group.SetVisibleAtRunTime(true);
  Emitted(group);
  EXPECT_EQ(Gl.Count("glVertex3f"), 16);
  EXPECT_EQ(Gl.Texts("glLineStipple"), (TTexts{"glLineStipple(1, 52428)"}));
}

// The drawing calls of an arrow between its quadric's set-up and its freeing, short.
TTexts ArrowCalls(const TTexts& calls) {
  TTexts shortCalls;
  bool drawing = false;
  for (const std::string& call : calls) {
    if (call.starts_with("gluQuadricTexture")) drawing = true;
    if (call.starts_with("gluDeleteQuadric")) drawing = false;
    if (!drawing || call.starts_with("gluQuadricTexture")) continue;
    if (call == "gluQuadricOrientation(ptr, 100020)")
      shortCalls.push_back("out");
    else if (call == "gluQuadricOrientation(ptr, 100021)")
      shortCalls.push_back("in");
    else
      shortCalls.push_back(call);
  }
  return shortCalls;
}

TEST_F(GLObjectsTest, TheArrowLinePlacesItsBodyAndHeadsByPartsAndStacking) {
  struct TCase {
    TArrowLineParts Parts;
    TArrowHeadStackingStyle Style;
    TTexts Calls;
  };
  const TTexts topHead = {"glPushMatrix()", "glTranslatef(0, 0, 0.5)", "gluCylinder(ptr, 0.2, 0, 0.5, 16, 4)", "in",
                          "gluDisk(ptr, 0.1, 0.2, 16, 1)", "glPopMatrix()"};
  const TCase cases[] = {
      // Stacked: the heads lie beyond the body's length.
      {alLine | alTopArrow, ahssStacked,
       {"glPushMatrix()", "glTranslatef(0, 0, 0.5)", "gluCylinder(ptr, 0.2, 0, 0.5, 16, 4)", "in",
        "gluDisk(ptr, 0.1, 0.2, 16, 1)", "glPopMatrix()", "glPushMatrix()", "glTranslatef(0, 0, -0.5)", "out",
        "gluCylinder(ptr, 0.1, 0.1, 1, 16, 4)", "in", "gluDisk(ptr, 0, 0.1, 16, 1)", "glPopMatrix()"}},
      // Included heads that fill the height leave no body.
      {alLine | alTopArrow | alBottomArrow, ahssIncluded,
       {"glPushMatrix()", "glTranslatef(0, 0, 0)", "gluCylinder(ptr, 0.2, 0, 0.5, 16, 4)", "in",
        "gluDisk(ptr, 0.1, 0.2, 16, 1)", "glPopMatrix()", "glPushMatrix()", "glRotatef(180, 1, 0, 0)",
        "glTranslatef(0, 0, 0)", "out", "gluCylinder(ptr, 0.2, 0, 0.5, 16, 4)", "in", "gluDisk(ptr, 0.1, 0.2, 16, 1)",
        "glPopMatrix()"}},
      // A body alone is closed at both ends.
      {alLine, ahssCentered,
       {"glPushMatrix()", "glTranslatef(0, 0, -0.5)", "out", "gluCylinder(ptr, 0.1, 0.1, 1, 16, 4)", "glPushMatrix()",
        "glTranslatef(0, 0, 1)", "gluDisk(ptr, 0, 0.1, 16, 1)", "glPopMatrix()", "in", "gluDisk(ptr, 0, 0.1, 16, 1)",
        "glPopMatrix()"}},
      // Heads without a body get full disks, half inside the height.
      {alTopArrow | alBottomArrow, ahssCentered,
       {"glPushMatrix()", "glTranslatef(0, 0, 0.25)", "gluCylinder(ptr, 0.2, 0, 0.5, 16, 4)", "in",
        "gluDisk(ptr, 0, 0.2, 16, 1)", "glPopMatrix()", "glPushMatrix()", "glRotatef(180, 1, 0, 0)",
        "glTranslatef(0, 0, 0.25)", "out", "gluCylinder(ptr, 0.2, 0, 0.5, 16, 4)", "in", "gluDisk(ptr, 0, 0.2, 16, 1)",
        "glPopMatrix()"}},
      {0, ahssStacked, {}},
  };
  TArrowLine arrow(nullptr);
  for (const TCase& c : cases) {
    arrow.SetParts(c.Parts);
    arrow.SetHeadStackingStyle(c.Style);
    const TTexts calls = Emitted(arrow);
    EXPECT_EQ(ArrowCalls(calls), c.Calls) << int(c.Parts) << " " << int(c.Style);
    EXPECT_EQ(calls.front(), "gluNewQuadric()");
    EXPECT_EQ(calls.back(), "gluDeleteQuadric(ptr)");
  }
  // A copy draws the same.
  TArrowLine copy(nullptr);
  copy.Assign(&arrow);
  arrow.SetParts(alLine | alBottomArrow);
  copy.SetParts(alLine | alBottomArrow);
  EXPECT_EQ(Emitted(copy), Emitted(arrow));
}

struct TRayCase {
  const char* Name;
  std::function<TGLBaseSceneObject&(TGLBaseSceneObject& parent)> Make;
  TVector Start, Vector;
  bool Hit;
  TVector Point, Normal;
};

template <class T>
std::function<TGLBaseSceneObject&(TGLBaseSceneObject&)> At123(std::function<void(T&)> setUp) {
  return [setUp](TGLBaseSceneObject& parent) -> TGLBaseSceneObject& {
    T& object = parent.AddChild(std::make_unique<T>(nullptr));
    object.Position().SetPoint(1, 2, 3);
    setUp(object);
    return object;
  };
}

TEST_F(GLObjectsTest, RaysHitTheShapesWhereTheGeometrySays) {
  auto sphere = At123<TSphere>([](TSphere& s) { s.SetRadius(2); });
  // A cylinder of radius 1 from y = 1 to y = 3 round the axis x = 1, z = 3.
  auto cylinder = At123<TCylinder>([](TCylinder& c) {
    c.SetTopRadius(1);
    c.SetHeight(2);
  });
  auto cone = At123<TCone>([](TCone& c) {
    c.SetBottomRadius(1);
    c.SetHeight(2);
  });
  auto ring = At123<TDisk>([](TDisk& d) {
    d.SetOuterRadius(1);
    d.SetInnerRadius(0.5f);
  });
  auto torus = At123<TTorus>([](TTorus& t) {
    t.SetMajorRadius(1);
    t.SetMinorRadius(0.25f);
  });
  const float slant = std::sqrt(1 + 0.125f * 0.125f);
  const float root3 = std::sqrt(3.0f);
  const TRayCase cases[] = {
      {"sphere, through the centre", sphere, {1, 2, 13, 1}, {0, 0, -1, 0}, true, {1, 2, 5, 1}, {0, 0, 2, 0}},
      {"sphere, off the centre", sphere, {2, 2, 13, 1}, {0, 0, -1, 0}, true, {2, 2, 3 + root3, 1}, {1, 0, root3, 0}},
      {"sphere, beside it", sphere, {3.5f, 2, 13, 1}, {0, 0, -1, 0}, false, {}, {}},
      {"cylinder, down its axis", cylinder, {1, 10, 3, 1}, {0, -1, 0, 0}, true, {1, 3, 3, 1}, {0, 1, 0, 0}},
      {"cylinder, up its axis", cylinder, {1, -10, 3, 1}, {0, 1, 0, 0}, true, {1, 1, 3, 1}, {0, -1, 0, 0}},
      // In through the top, out through the side: the top is nearer.
      {"cylinder, top before side", cylinder, {1, 10, 3, 1}, {0.125f / slant, -1 / slant, 0, 0}, true,
       {1.875f, 3, 3, 1}, {0, 1, 0, 0}},
      {"cylinder, level between the caps", cylinder, {-10, 2.5f, 3, 1}, {1, 0, 0, 0}, true, {0, 2.5f, 3, 1},
       {-1, 0, 0, 0}},
      {"cylinder, level above the top", cylinder, {-10, 3.5f, 3, 1}, {1, 0, 0, 0}, false, {}, {}},
      {"cone, its bounding sphere", cone, {1, 2, 13, 1}, {0, 0, -1, 0}, true, {1, 2, 3 + root3, 1}, {0, 0, 1, 0}},
      {"ring, on the ring", ring, {1.75f, 2, 13, 1}, {0, 0, -1, 0}, true, {1.75f, 2, 3, 1}, {0, 0, 1, 0}},
      {"ring, through the hole", ring, {1, 2, 13, 1}, {0, 0, -1, 0}, false, {}, {}},
      {"ring, from behind, away", ring, {1.75f, 2, 0, 1}, {0, 0, -1, 0}, false, {}, {}},
      {"torus, onto the tube", torus, {2, 2, 13, 1}, {0, 0, -1, 0}, true, {2, 2, 3.25f, 1}, {0, 0, 0.25f, 0}},
      {"torus, along its plane", torus, {-5, 2, 3, 1}, {1, 0, 0, 0}, true, {-0.25f, 2, 3, 1}, {-0.25f, 0, 0, 0}},
      {"torus, through the hole", torus, {1, 2, 13, 1}, {0, 0, -1, 0}, false, {}, {}},
      // Every root of its quartic lies behind the start.
      {"torus, behind the start", torus, {10, 2, 3, 1}, {1, 0, 0, 0}, false, {}, {}},
  };
  for (const TRayCase& c : cases) {
    TGLScene scene(nullptr);
    TGLBaseSceneObject& object = c.Make(scene.Objects());
    const TVector untouched{7, 7, 7, 7};
    TVector point = untouched, normal = untouched;
    ASSERT_EQ(object.IntersectRay(c.Start, c.Vector, &point, &normal), c.Hit) << c.Name;
    if (!c.Hit) {
      ExpectVectorNear(point, untouched);
      continue;
    }
    SCOPED_TRACE(c.Name);
    ExpectVectorNear(point, c.Point, 1e-4f);
    ExpectVectorNear(normal, c.Normal, 1e-4f);
  }
}

TEST_F(GLObjectsTest, LinesDrawTheirNodesOrTheirSplineAndCopyWhole) {
  TLines lines(nullptr);
  lines.SetNodesAspect(lnaInvisible);
  lines.AddNode(1, -3, 0);
  EXPECT_TRUE(Emitted(lines).empty());  // one node: nothing
  lines.AddNode(-2, 1, 5);
  lines.AddNode(0, 0, 0);
  ExpectVectorNear(lines.HalfExtents(), {2, 3, 5, 0});

  struct TCase {
    TLineSplineMode Mode;
    int Division;
    int Vertices;
  };
  for (const TCase& c : {TCase{lsmLines, 10, 3}, TCase{lsmCubicSpline, 4, 9}, TCase{lsmCubicSpline, 1, 3},
                         TCase{lsmCubicSpline, 0, 3}}) {
    lines.SetSplineMode(c.Mode);
    lines.SetDivision(c.Division);
    Emitted(lines);
    EXPECT_EQ(Gl.Count("glVertex3f"), c.Vertices) << int(c.Mode) << " " << c.Division;
  }
  EXPECT_EQ(lines.Division(), 1);
  // The spline passes through the nodes.
  lines.SetDivision(4);
  Emitted(lines);
  EXPECT_EQ(Gl.Texts("glVertex3f")[4], "glVertex3f(-2, 1, 5)");

  // A width GL would refuse draws one pixel wide.
  for (float width : {0.0f, -2.0f, 2.5f}) {
    lines.SetLineWidth(width);
    Emitted(lines);
    EXPECT_EQ(Gl.Texts("glLineWidth"), (TTexts{GLCallText("glLineWidth", width > 0 ? width : 1.0f)}));
  }

  // Markers at every node, in the node's colour.
  lines.SetNodesAspect(lnaCube);
  lines.Nodes().Items(1).Color().SetColor({1, 0, 0, 1});
  Emitted(lines);
  EXPECT_EQ(Gl.Texts("glColor4fv").size(), 3u);
  lines.SetNodeSize(0);
  EXPECT_EQ(lines.NodeSize(), 1);

  // A copy has the nodes where they were, with their colours; a new node colour
  // then goes to the nodes that had the old one.
  TLines copy(nullptr);
  copy.Position().SetPoint(5, 5, 5);
  lines.Position().SetPoint(1, 1, 1);
  copy.Assign(&lines);
  ASSERT_EQ(copy.Nodes().Count(), 3);
  ExpectVectorNear(copy.Nodes().Items(1).AsVector(), {-2, 1, 5, 0});
  ExpectVectorNear(copy.Nodes().Items(1).Color().Color(), {1, 0, 0, 1});
  ExpectVectorNear(copy.Position().AsVector(), {1, 1, 1, 1});
  copy.NodeColor().SetColor({0, 1, 0, 1});
  ExpectVectorNear(copy.Nodes().Items(0).Color().Color(), {0, 1, 0, 1});
  ExpectVectorNear(copy.Nodes().Items(1).Color().Color(), {1, 0, 0, 1});
}

TEST_F(GLObjectsTest, HeightFieldsSampleTheirScales) {
  struct TScaleCase {
    float Min, Max, Origin, Step;
    int Columns, Rows;
  };
  const TScaleCase cases[] = {
      {0, 1, 0, 0.25f, 4, 5},    // no column at Max, a row at Max
      {0, 1, 0.1f, 0.25f, 4, 4},  // from the origin's grid
      {0, 1, 0, 0.01f, 100, 101},  // the board's
      {0, 2, 0, 0, 2, 3},         // a step of 0 is 1
      {1, 1, 0, 0.1f, 0, 0},      // nothing to sample
  };
  THeightField field(nullptr);
  field.SetOptions(hfoTextureCoordinates);
  for (const TScaleCase& c : cases) {
    for (TGLSamplingScale* scale : {&field.XSamplingScale(), &field.YSamplingScale()}) {
      scale->SetMax(c.Max);
      scale->SetMin(c.Min);
      scale->SetOrigin(c.Origin);
      scale->SetStep(c.Step);
    }
    Emitted(field);
    const int strips = std::max(c.Rows - 1, 0);
    EXPECT_EQ(Gl.Count("glBegin"), strips) << c.Max << " " << c.Step;
    EXPECT_EQ(Gl.Count("glVertex3f"), strips * 2 * c.Columns) << c.Max << " " << c.Step;
    EXPECT_EQ(field.TriangleCount(), std::max(strips * 2 * (c.Columns - 1), 0));
    // Without a height event the surface is a ripple 0.5 high at its centre.
    if (&c == &cases[0]) {
      EXPECT_EQ(Gl.Texts("glVertex3f")[1], "glVertex3f(0, 0, 0.5)");
    }
  }

  struct TBaseCase {
    float Min, Origin, Step, Base;
  };
  for (const TBaseCase& c : {TBaseCase{0, 0.25f, 0.1f, 0.05f}, TBaseCase{0, -0.25f, 0.1f, 0.05f},
                             TBaseCase{-1, -1, 0.3f, -1}, TBaseCase{0, 2, 0.5f, 0}}) {
    TGLSamplingScale scale(nullptr);
    scale.SetMin(c.Min);
    scale.SetOrigin(c.Origin);
    scale.SetStep(c.Step);
    EXPECT_NEAR(scale.StepBase(), c.Base, 1e-6) << c.Origin;
  }
}

TEST_F(GLObjectsTest, SettersKeepValuesTheDrawingCanUse) {
  TTorus torus(nullptr);
  torus.SetRings(0);
  torus.SetSides(1);
  EXPECT_EQ(torus.Rings(), 2u);
  EXPECT_EQ(torus.Sides(), 2u);
  Emitted(torus);
  EXPECT_EQ(Gl.Count("glBegin"), 2);
  EXPECT_EQ(Gl.Count("glVertex3f"), 2 * 2 * 3);

  TTeapot teapot(nullptr);
  teapot.SetGridResolution(1);
  Emitted(teapot);
  EXPECT_EQ(Gl.Texts("glMapGrid2f")[0], "glMapGrid2f(2, 0, 1, 2, 0, 1)");
  EXPECT_EQ(Gl.Count("glEvalMesh2"), 6 * 4 + 4 * 2);
  EXPECT_EQ(Gl.Texts("glFrontFace"), (TTexts{GLCallText("glFrontFace", GL_CW), GLCallText("glFrontFace", GL_CCW)}));

  TSphere sphere(nullptr);
  sphere.SetSlices(0);
  EXPECT_EQ(sphere.Slices(), 1);
  sphere.SetStop(180);
  EXPECT_NE(AssertionText([&] { sphere.SetStart(200); }), "");
  EXPECT_EQ(sphere.Start(), 0);
  EXPECT_THROW(sphere.SetTop(91), ERangeError);

  InitializeGLObjects();
  InitializeGLGraph();
  for (const char* name : {"TSphere", "TArrowLine", "TDummyCube", "TLines", "TTeapot", "THeightField", "TXYZGrid"})
    EXPECT_NE(GetClass(name), nullptr) << name;
  EXPECT_EQ(GetClass("TCylinderBase"), nullptr);
}

}  // namespace
