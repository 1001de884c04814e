// The standard objects on the recording GL table, and their ray tests against
// hits worked out by hand from the shapes.

#include "scene/gl/XOpenGL.h"
#include "scene/objects/GLBoxes.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLPlanes.h"
#include "scene/objects/GLPolygon.h"
#include "scene/objects/GLQuadrics.h"
#include "scene/objects/GLSolids.h"

#include "tests/scene/SceneTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <tuple>

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
  // A plane 2 wide and 1 high; the same turned to face +X, its local X along -Z.
  auto plane = At123<TPlane>([](TPlane& p) { p.SetWidth(2); });
  auto turnedPlane = At123<TPlane>([](TPlane& p) {
    p.SetWidth(2);
    p.Direction().SetVector(1, 0, 0);
  });
  // The cube and the frustum are hit on their bounding spheres: radius 3 for a
  // 2 x 4 x 4 cube, sqrt(2² + 1.5² + 1²) for a frustum 4 wide, 2 deep, 1.5 high.
  auto cube = At123<TCube>([](TCube& c) {
    c.SetCubeWidth(2);
    c.SetCubeHeight(4);
    c.SetCubeDepth(4);
  });
  auto frustum = At123<TFrustrum>([](TFrustrum& f) {
    f.SetBaseWidth(4);
    f.SetBaseDepth(2);
    f.SetHeight(1.5f);
  });
  const float frustumRadius = std::sqrt(7.25f);
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
      {"plane, from in front", plane, {1.5f, 2.25f, 13, 1}, {0, 0, -1, 0}, true, {1.5f, 2.25f, 3, 1}, {0, 0, 1, 0}},
      {"plane, from behind", plane, {0.5f, 1.75f, -7, 1}, {0, 0, 1, 0}, true, {0.5f, 1.75f, 3, 1}, {0, 0, -1, 0}},
      {"plane, slanting in", plane, {0, 2.4f, 5, 1}, {0.6f, 0, -0.8f, 0}, true, {1.5f, 2.4f, 3, 1}, {0, 0, 1, 0}},
      {"plane, beside it", plane, {2.1f, 2, 13, 1}, {0, 0, -1, 0}, false, {}, {}},
      {"plane, along it", plane, {1, 2, 4, 1}, {1, 0, 0, 0}, false, {}, {}},
      {"plane, running away", plane, {1, 2, 4, 1}, {0, 0, 1, 0}, false, {}, {}},
      {"plane, turned", turnedPlane, {11, 2.3f, 3.6f, 1}, {-1, 0, 0, 0}, true, {1, 2.3f, 3.6f, 1}, {1, 0, 0, 0}},
      {"plane, turned, beside it", turnedPlane, {11, 2.3f, 4.1f, 1}, {-1, 0, 0, 0}, false, {}, {}},
      {"cube", cube, {1, 2, 13, 1}, {0, 0, -1, 0}, true, {1, 2, 6, 1}, {0, 0, 1, 0}},
      {"cube, beside it", cube, {1, 5.1f, 13, 1}, {0, 0, -1, 0}, false, {}, {}},
      {"frustum", frustum, {1, 2, 13, 1}, {0, 0, -1, 0}, true, {1, 2, 3 + frustumRadius, 1}, {0, 0, 1, 0}},
      {"frustum, beside it", frustum, {1, 4.75f, 13, 1}, {0, 0, -1, 0}, false, {}, {}},
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
  for (const char* name : {"TSphere", "TArrowLine", "TDummyCube", "TLines", "TTeapot", "THeightField", "TXYZGrid",
                           "TPlane", "TSprite", "TCube", "TFrustrum", "TPolygon"})
    EXPECT_NE(GetClass(name), nullptr) << name;
  EXPECT_EQ(GetClass("TCylinderBase"), nullptr);
  EXPECT_EQ(GetClass("TPolygonBase"), nullptr);
}

// True when no argument of a recorded call is not a number or infinite.
bool AllFinite(const TRecordingGL& gl) {
  for (const TGLCall& call : gl.Calls)
    for (const std::string& arg : call.Args)
      if (arg.find("nan") != std::string::npos || arg.find("inf") != std::string::npos) return false;
  return true;
}

TEST_F(GLObjectsTest, PlanesTileTheirTextureAsTheStyleSays) {
  struct TCase {
    TPlaneStyles Style;
    std::uint32_t Tiles;
    GLenum Primitive;
    int Strips, Vertices;
    std::string FirstTexCoord, FirstVertex;
  };
  const TCase cases[] = {
      // One quad, the texture three by three times from the offsets (0.5, 0.25).
      {psSingleQuad | psTileTexture, 3, GL_QUADS, 1, 4, "glTexCoord2f(3.5, 3.25)", "glVertex2f(1, 0.5)"},
      // A strip per row of cells, one texture repeat per cell.
      {psTileTexture, 3, GL_TRIANGLE_STRIP, 3, 24, "glTexCoord2f(0.5, 1.25)", "glVertex2f(-1, -0.166667)"},
      {0, 3, GL_TRIANGLE_STRIP, 3, 24, "glTexCoord2f(0, 0.333333)", "glVertex2f(-1, -0.166667)"},
      // No tiles count as one.
      {psTileTexture, 0, GL_TRIANGLE_STRIP, 1, 4, "glTexCoord2f(0.5, 1.25)", "glVertex2f(-1, 0.5)"},
  };
  XGLMapToMain();
  TPlane plane(nullptr);
  plane.SetWidth(2);
  plane.SetXOffset(0.5f);
  plane.SetYOffset(0.25f);
  for (const TCase& c : cases) {
    plane.SetStyle(c.Style);
    plane.SetXTiles(c.Tiles);
    plane.SetYTiles(c.Tiles);
    Emitted(plane);
    SCOPED_TRACE(std::to_string(c.Style) + " " + std::to_string(c.Tiles));
    EXPECT_EQ(Gl.Texts("glBegin"), TTexts(std::size_t(c.Strips), GLCallText("glBegin", c.Primitive)));
    EXPECT_EQ(Gl.Count("glVertex2f"), c.Vertices);
    EXPECT_EQ(Gl.Texts("glTexCoord2f")[0], c.FirstTexCoord);
    EXPECT_EQ(Gl.Texts("glVertex2f")[0], c.FirstVertex);
    EXPECT_TRUE(AllFinite(Gl));
  }
  XGLMapToNull();
}

TEST_F(GLObjectsTest, FrustumsOfEveryProportionDrawWithFiniteNumbers) {
  struct TCase {
    const char* Name;
    std::function<void(TFrustrum&)> SetUp;
    float ApexHeight, Height, BaseWidth;
    int Faces;
    std::size_t Corners;  // distinct vertices
  };
  const TCase cases[] = {
      {"as made", [](TFrustrum&) {}, 1, 0.5f, 1, 6, 8},
      {"a whole pyramid: no top, the sides meet", [](TFrustrum& f) { f.SetHeight(1); }, 1, 1, 1, 5, 5},
      {"a higher cut raises the apex", [](TFrustrum& f) { f.SetHeight(2); }, 2, 2, 1, 5, 5},
      {"a lower apex lowers the cut", [](TFrustrum& f) { f.SetApexHeight(0.25f); }, 0.25f, 0.25f, 1, 5, 5},
      {"flat", [](TFrustrum& f) { f.SetApexHeight(0); }, 0, 0, 1, 5, 4},
      {"flat on no base", [](TFrustrum& f) { f.SetApexHeight(0), f.SetBaseWidth(0), f.SetBaseDepth(0); }, 0, 0, 0, 5,
       1},
      {"bad sizes ignored", [](TFrustrum& f) { f.SetHeight(-1), f.SetBaseWidth(-3), f.SetApexHeight(NAN); }, 1, 0.5f,
       1, 6, 8},
      {"a cut above a flat apex, from a layout",
       [](TFrustrum& f) {
         TMemoryStream stream;
         WriteStoredVector(stream, {0, 1, 1, 0.5f});
         stream.SetPosition(0);
         f.ReadFrustrumSize(stream);
       },
       0, 0.5f, 1, 5, 8},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFrustrum frustum(nullptr);
    c.SetUp(frustum);
    EXPECT_EQ(frustum.ApexHeight(), c.ApexHeight);
    EXPECT_EQ(frustum.Height(), c.Height);
    EXPECT_EQ(frustum.BaseWidth(), c.BaseWidth);
    Emitted(frustum);
    EXPECT_EQ(Gl.Count("glNormal3f"), c.Faces);
    EXPECT_TRUE(AllFinite(Gl));
    std::set<std::tuple<float, float, float>> corners;
    for (const TGLCall& call : Gl.Calls)
      if (call.Name == "glVertex3f")
        corners.insert({std::stof(call.Args[0]), std::stof(call.Args[1]), std::stof(call.Args[2])});
    EXPECT_EQ(corners.size(), c.Corners);
  }
}

TEST_F(GLObjectsTest, CubesDrawTheirPartsAndKeepTheirSizeInOneRecord) {
  TCube cube(nullptr);
  cube.SetParts(0);
  EXPECT_EQ(Emitted(cube), (TTexts{GLCallText("glBegin", GL_QUADS), "glEnd()"}));
  EXPECT_FALSE(cube.StoresCubeSize());
  cube.SetCubeWidth(-2);
  cube.SetCubeDepth(3);
  ASSERT_TRUE(cube.StoresCubeSize());
  TMemoryStream stream;
  cube.WriteCubeSize(stream);
  EXPECT_EQ(stream.Size(), 12);
  TCube read(nullptr);
  stream.SetPosition(0);
  read.ReadCubeSize(stream);
  ExpectVectorNear(read.HalfExtents(), {-1, 0.5f, 1.5f, 0});
  TMemoryStream cut(stream.Bytes().substr(0, 8));
  EXPECT_THROW(read.ReadCubeSize(cut), EReadError);
  EXPECT_EQ(read.CubeDepth(), 3);
}

TEST_F(GLObjectsTest, SpritesClampTheirOpacity) {
  TSprite sprite(nullptr);
  for (auto [set, stored] : {std::pair{1.5f, 1.0f}, {-1.0f, 0.0f}, {0.3f, 0.3f}, {1.0f, 1.0f}}) {
    sprite.SetAlphaChannel(set);
    EXPECT_EQ(sprite.AlphaChannel(), stored) << set;
    EXPECT_EQ(sprite.AlphaChannelStored(), stored != 1) << set;
  }
}

TEST_F(GLObjectsTest, PolygonsRebuildOnNodeEditsAndCopyWhole) {
  TPolygon polygon(nullptr);
  polygon.SetDivision(0);
  EXPECT_EQ(polygon.Division(), 1);
  TGLNode& node = polygon.Nodes().Add();
  polygon.Nodes().Add();
  polygon.GetHandle(Rci);  // two nodes draw nothing
  node.SetY(2);
  EXPECT_TRUE(polygon.HasChange(TGLChange::ListStale));

  polygon.SetParts(ppTop);
  polygon.Position().SetPoint(1, 2, 3);
  TPolygon copy(nullptr);
  copy.Assign(&polygon);
  ASSERT_EQ(copy.Nodes().Count(), 2);
  EXPECT_EQ(copy.Nodes().Items(0).Y(), 2);
  EXPECT_EQ(copy.Parts(), ppTop);
  ExpectVectorNear(copy.Position().AsVector(), {1, 2, 3, 1});
}

}  // namespace
