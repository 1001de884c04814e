// The render walk of the scene object tree on the recording GL table.

#include "scene/GLScene.h"

#include "scene/GLSceneBuffer.h"

#include "SceneTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

using TTexts = std::vector<std::string>;

// A node that, on its own drawing, hides one node and draws another's children
// again, as a proxy of an ancestor does.
class TEchoNode : public TTestNode {
  BRV_SCENE_OBJECT_CLASS(TEchoNode, TTestNode)

public:
  explicit TEchoNode(TComponent* owner) : TTestNode(owner) {}
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override {
    TTestNode::RenderNode(rci, renderSelf, renderChildren);
    if (FInside || !Master) return;
    FInside = true;
    Hidden->SetVisible(false);
    Master->RenderNode(rci, false, true);
    Hidden->SetVisible(true);
    FInside = false;
  }
  TGLBaseSceneObject* Master = nullptr;
  TGLBaseSceneObject* Hidden = nullptr;

private:
  bool FInside = false;
};

class GLSceneRenderTest : public ::testing::Test {
protected:
  GLSceneRenderTest() {
    Context.CreateContext(0);
    Context.Activate();
    InvalidateGLStateCaches();
    Gl.Clear();
  }
  ~GLSceneRenderTest() override { Context.Deactivate(); }

  TRenderContextInfo Rci(TGLObjectsSorting sorting = osNone, TGLVisibilityCulling culling = vcNone) {
    TRenderContextInfo rci;
    rci.ObjectsSorting = sorting;
    rci.VisibilityCulling = culling;
    rci.CameraPosition = {0, 0, 0, 1};
    rci.ClippingInfo = {{0, 0, 0, 1}, {0, 0, -1, 0}, 1, 1000};
    return rci;
  }

  // A child of `parent` that draws directly (so that every frame logs it) at z.
  TTestNode& Child(TGLBaseSceneObject& parent, const std::string& name, float z, bool blended = false) {
    TTestNode& node = parent.AddChild(MakeNode(name, &Log));
    node.SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw));
    node.Position().SetPoint(0, 0, z);
    node.IsBlended = blended;
    return node;
  }

  TRecordingGL Gl;
  TFakeGLContext Context{"ctx"};
  TGLScene Scene{nullptr};
  TDrawLog Log;
};

TEST_F(GLSceneRenderTest, TheDisplayListIsRebuiltOnlyAfterMarkStructureDirty) {
  TTestNode& node = Scene.Objects().AddChild(MakeNode("listed", &Log));
  TGLSceneBuffer buffer(nullptr);
  int redraws = 0;
  buffer.OnChange = [&](TObject*) { ++redraws; };
  Scene.AttachBuffer(buffer);
  TRenderContextInfo rci = Rci();
  for (int frame = 0; frame < 3; ++frame) Scene.Objects().Render(rci);
  EXPECT_EQ(Gl.Texts("glNewList"), (TTexts{"glNewList(1, 4864)"}));
  EXPECT_EQ(Gl.Count("glCallList"), 3);
  EXPECT_EQ(Log, (TDrawLog{"listed"}));

  node.Position().SetPoint(1, 0, 0);  // a move keeps the list
  Scene.Objects().Render(rci);
  EXPECT_EQ(Gl.Count("glNewList"), 1);

  redraws = 0;
  node.MarkStructureDirty();
  node.MarkStructureDirty();
  EXPECT_EQ(redraws, 1);
  Scene.Objects().Render(rci);
  Scene.Objects().Render(rci);
  EXPECT_EQ(Gl.Texts("glNewList"), (TTexts{"glNewList(1, 4864)", "glNewList(1, 4864)"}));
  EXPECT_EQ(Log.size(), 2u);

  // A direct-draw node emits every frame and never compiles a list.
  Gl.Clear();
  Log.clear();
  node.SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw));
  Scene.Objects().Render(rci);
  Scene.Objects().Render(rci);
  EXPECT_EQ(Log.size(), 2u);
  EXPECT_EQ(Gl.Count("glNewList"), 0);
}

TEST_F(GLSceneRenderTest, ChildrenAreDrawnInTheOrderTheSortingAsks) {
  TTestNode& group = Scene.Objects().AddChild(MakeNode("group"));
  Child(group, "a", -30);
  Child(group, "b", -5, true);
  Child(group, "c", -20, true);
  Child(group, "d", -10);
  TTestNode& hidden = Child(group, "e", -1, true);
  hidden.SetVisible(false);
  Child(hidden, "e1", 0);  // hidden with its parent

  struct TCase {
    TGLObjectsSorting Sorting;
    TDrawLog Order;
  };
  const TCase cases[] = {
      {osNone, {"a", "b", "c", "d"}},
      {osRenderBlendedLast, {"a", "d", "c", "b"}},  // opaque in list order, then blended farthest first
      {osRenderFarthestFirst, {"a", "c", "d", "b"}},
  };
  for (const TCase& c : cases) {
    Log.clear();
    TRenderContextInfo rci = Rci(c.Sorting);
    Scene.Objects().Render(rci);
    EXPECT_EQ(Log, c.Order) << int(c.Sorting);
    EXPECT_EQ(rci.ObjectsSorting, c.Sorting);
  }
  // The node's own sorting wins over the frame's, for its children only.
  Log.clear();
  group.SetObjectsSorting(osNone);
  TRenderContextInfo rci = Rci(osRenderFarthestFirst);
  Scene.Objects().Render(rci);
  EXPECT_EQ(Log, (TDrawLog{"a", "b", "c", "d"}));
  EXPECT_EQ(rci.ObjectsSorting, osRenderFarthestFirst);
}

TEST_F(GLSceneRenderTest, ARenderThatReachesAnAncestorAgainLeavesTheOuterWalkWhole) {
  TTestNode& group = Scene.Objects().AddChild(MakeNode("group"));
  TTestNode& nearest = Child(group, "near", -5);
  auto echo = std::make_unique<TEchoNode>(nullptr);
  echo->SetName("echo");
  echo->Log = &Log;
  echo->SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw));
  echo->Position().SetPoint(0, 0, -10);
  echo->Master = &group;
  echo->Hidden = &nearest;
  group.AddChild(std::move(echo));
  Child(group, "far", -20);

  TRenderContextInfo rci = Rci(osRenderFarthestFirst);
  Scene.Objects().Render(rci);
  EXPECT_EQ(Log, (TDrawLog{"far", "echo", "far", "echo", "near"}));
}

TEST_F(GLSceneRenderTest, CullingTestsWorldBoundsAgainstTheView) {
  // The eye stands far along X, so a node's frame and the world's differ.
  TRenderContextInfo rci = Rci(osNone, vcHierarchical);
  rci.ClippingInfo.Origin = {500, 0, 0, 1};
  Child(Scene.Objects(), "seen", -10).Position().SetPoint(500, 0, -10);
  TTestNode& off = Child(Scene.Objects(), "off", -10);
  Child(off, "off's child", 0).Position().SetPoint(0, 1, 0);
  TTestNode& holder = Child(Scene.Objects(), "holder", -10);
  Child(holder, "held", 0).Position().SetPoint(500, 0, 0);
  Scene.Objects().Render(rci);
  EXPECT_EQ(Log, (TDrawLog{"seen", "holder", "held"}));  // a box holds the children's boxes

  Log.clear();
  rci.VisibilityCulling = vcObjectBased;
  Scene.Objects().Render(rci);
  EXPECT_EQ(Log, (TDrawLog{"seen", "held"}));  // each node on its own

  Log.clear();
  off.SetObjectStyle(off.ObjectStyle() | StyleBit(TGLObjectStyle::NeverCulled));
  Scene.Objects().Render(rci);
  EXPECT_EQ(Log, (TDrawLog{"seen", "off", "held"}));
}

TEST_F(GLSceneRenderTest, PickingNamesEachNodeAndBalancesTheStacks) {
  TTestNode& a = Child(Scene.Objects(), "a", 0);
  TTestNode& b = Child(Scene.Objects(), "b", 0);
  const std::string root = std::to_string(Scene.Objects().PickName());
  const std::string na = std::to_string(a.PickName()), nb = std::to_string(b.PickName());
  TRenderContextInfo rci = Rci();
  rci.DrawState = dsPicking;
  Scene.Objects().Render(rci);
  EXPECT_EQ(Gl.Texts("glLoadName"),
            (TTexts{"glLoadName(" + root + ")", "glLoadName(" + na + ")", "glLoadName(" + nb + ")"}));

  Gl.Clear();
  rci.PushPickNames = true;
  Scene.Objects().Render(rci);
  TTexts names;
  for (const TGLCall& call : Gl.Calls)
    if (call.Name == "glPushName" || call.Name == "glPopName") names.push_back(call.Text());
  EXPECT_EQ(names, (TTexts{"glPushName(" + root + ")", "glPushName(" + na + ")", "glPopName()",
                           "glPushName(" + nb + ")", "glPopName()", "glPopName()"}));
  EXPECT_EQ(Gl.Count("glPushMatrix"), Gl.Count("glPopMatrix"));

  // A drawing that raises still leaves the matrix and name stacks as they were.
  struct TFailingNode : TTestNode {
    using TTestNode::TTestNode;
    void EmitGeometry(TRenderContextInfo&) override { throw EOpenGLError("broken"); }
  };
  TGLBaseSceneObject& failing = Scene.Objects().AddChild(std::make_unique<TFailingNode>(nullptr));
  failing.SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw));
  Gl.Clear();
  EXPECT_THROW(Scene.Objects().Render(rci), EOpenGLError);
  EXPECT_EQ(Gl.Count("glPushMatrix"), Gl.Count("glPopMatrix"));
  EXPECT_EQ(Gl.Count("glPushName"), Gl.Count("glPopName"));
}

TEST_F(GLSceneRenderTest, DepthTestAndStateCachesAreHandledAroundTheNode) {
  TTestNode& node = Child(Scene.Objects(), "n", 0);
  node.SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw) | StyleBit(TGLObjectStyle::NoDepthTest) |
                      StyleBit(TGLObjectStyle::ResetStateCaches));
  TRenderContextInfo rci = Rci();
  Scene.Objects().Render(rci);
  EXPECT_EQ(Gl.Count("glDisable"), 0);  // the buffer's depth test is off

  Gl.Clear();
  rci.GLStates = GLStateBit(stDepthTest);
  Scene.Objects().Render(rci);
  EXPECT_EQ(Gl.Texts("glDisable"), (TTexts{GLCallText("glDisable", GL_DEPTH_TEST)}));
  EXPECT_EQ(Gl.Texts("glEnable"), (TTexts{GLCallText("glEnable", GL_DEPTH_TEST)}));
  EXPECT_EQ(rci.GLStates, GLStateBit(stDepthTest));
  EXPECT_EQ(Gl.Texts("glFrontFace"), (TTexts{GLCallText("glFrontFace", GL_CCW)}));
}

TEST_F(GLSceneRenderTest, AxesReachAsFarAsTheRenderingCamerasDepthOfView) {
  TGLCamera& camera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  camera.SetDepthOfView(50);
  TGLSceneBuffer buffer(nullptr);
  buffer.SetCamera(&camera);
  Scene.SetCurrentBuffer(&buffer);
  Child(Scene.Objects(), "n", 0).SetShowAxes(true);
  TRenderContextInfo rci = Rci();
  Scene.Objects().Render(rci);
  const TTexts vertices = Gl.Texts("glVertex3f");
  ASSERT_EQ(vertices.size(), 12u);
  EXPECT_EQ(vertices[1], "glVertex3f(-50, 0, 0)");
  EXPECT_EQ(vertices[11], "glVertex3f(0, 0, 50)");
  EXPECT_EQ(Gl.Texts("glColor3f")[0], "glColor3f(0.5, 0, 0)");
  EXPECT_EQ(Gl.Texts("glLineStipple"), (TTexts{"glLineStipple(1, 52428)"}));
  EXPECT_EQ(Gl.Count("glPushAttrib"), Gl.Count("glPopAttrib"));
}

}  // namespace
