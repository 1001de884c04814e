// The scene object tree without GL: placement, matrices, tree operations, change
// reports, light slots, copies, time steps and stored behaviours.

#include "scene/GLScene.h"

#include "scene/GLSceneBuffer.h"

#include "SceneTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using ::testing::HasSubstr;

constexpr float PI = 3.14159265f;

float Cosine(float degrees) { return std::cos(degrees * PI / 180); }

// A scene whose redraw requests are counted.
struct TCountedScene {
  TCountedScene() {
    Buffer.OnChange = [this](TObject*) { ++Redraws; };
    Scene.AttachBuffer(Buffer);
  }
  TGLScene Scene{nullptr};
  TGLSceneBuffer Buffer{nullptr};
  int Redraws = 0;
};

TEST(GLSceneObject, DirectionAndUpStayUnitAndOrthogonal) {
  const float H = std::sqrt(0.5f);
  struct TCase {
    const char* What;
    bool SetDirection;
    TVector Value, Direction, Up;
  };
  const TCase cases[] = {
      {"direction along up: first fall-back", true, {0, 1, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}},
      {"up along direction: second fall-back", false, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}},
      {"zero direction becomes +Z", true, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}},
      {"zero up becomes +Y", false, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}},
      {"long oblique direction", true, {3, 3, 0, 0}, {H, H, 0, 0}, {-H, H, 0, 0}},
      {"tilted up", false, {0, 1, 1, 0}, {0, -H, H, 0}, {0, H, H, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TGLBaseSceneObject node(nullptr);
    (c.SetDirection ? node.Direction() : node.Up()).SetAsVector(c.Value);
    ExpectVectorNear(node.Direction().AsVector(), c.Direction);
    ExpectVectorNear(node.Up().AsVector(), c.Up);
    const TMatrix4& m = node.LocalMatrix();
    EXPECT_NEAR(Vec3Length(Vec3Of(m[0])), 1, 1e-6f);
    EXPECT_NEAR(Vec4DotXYZ(m[0], m[1]), 0, 1e-6f);
    EXPECT_NEAR(Vec4DotXYZ(m[1], m[2]), 0, 1e-6f);
  }
}

TEST(GLSceneObject, PropertySettersMoveTheNodeAndIgnoreZeroAxes) {
  TGLBaseSceneObject node(nullptr);
  node.WorldMatrix();
  node.SetPosition(TGLCoordinates(nullptr, {1, 2, 3, 1}, csPoint));
  ExpectVectorNear(node.WorldPosition(), {1, 2, 3, 1});
  node.SetScale(TGLCoordinates(nullptr, {2, 2, 2, 0}, csVector));
  EXPECT_NEAR(node.WorldMatrix()[0].x, 2, 1e-6f);
  node.SetDirection(TGLCoordinates(nullptr, {0, 0, 0, 0}, csVector));
  node.SetUp(TGLCoordinates(nullptr, {0, 0, 0, 0}, csVector));
  ExpectVectorNear(node.Direction().AsVector(), {0, 0, 1, 0});
  ExpectVectorNear(node.Up().AsVector(), {0, 1, 0, 0});
}

TEST(GLSceneObject, AnglesWrapAndTurnTheAxesByTheDifference) {
  struct TCase {
    const char* What;
    void (TGLBaseSceneObject::*Set)(float);
    float (TGLBaseSceneObject::*Get)() const;
    // The axis that the angle's cosine can be read from, and the one that stays.
    bool TurnsDirection, KeepsUp;
  };
  const TCase cases[] = {
      {"turn", &TGLBaseSceneObject::SetTurnAngle, &TGLBaseSceneObject::TurnAngle, true, true},
      {"pitch", &TGLBaseSceneObject::SetPitchAngle, &TGLBaseSceneObject::PitchAngle, true, false},
      {"roll", &TGLBaseSceneObject::SetRollAngle, &TGLBaseSceneObject::RollAngle, false, false},
  };
  const float steps[][2] = {{90, 90}, {190, -170}, {-30, -30}, {540, 180}, {-190, 170}};
  for (const TCase& c : cases) {
    TGLBaseSceneObject node(nullptr);
    for (const auto& step : steps) {
      SCOPED_TRACE(std::string(c.What) + " " + std::to_string(step[0]));
      (node.*c.Set)(step[0]);
      EXPECT_FLOAT_EQ((node.*c.Get)(), step[1]);
      const float cosine = c.TurnsDirection ? node.Direction().Z() : node.Up().Y();
      EXPECT_NEAR(cosine, Cosine(step[0]), 1e-4f);
      if (c.KeepsUp) ExpectVectorNear(node.Up().AsVector(), {0, 1, 0, 0}, 1e-4f);
      EXPECT_NEAR(Vec4DotXYZ(node.Up().AsVector(), node.Direction().AsVector()), 0, 1e-5f);
    }
  }
}

TEST(GLSceneObject, ParentFrameModesTurnAboutTheParentsAxes) {
  TGLBaseSceneObject parent(nullptr);
  parent.Up().SetVector(1, 0, 0);  // the parent's up is X: turning goes round X
  for (TGLTransformationMode mode : {tmParentNoPos, tmParentWithPos}) {
    auto& child = parent.AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
    child.Position().SetPoint(0, 1, 0);
    child.SetTransformationMode(mode);
    child.SetTurnAngle(90);
    EXPECT_NEAR(std::fabs(child.Up().Z()), 1, 1e-5f);
    const float expectedY = mode == tmParentWithPos ? 0 : 1;
    EXPECT_NEAR(child.Position().Y(), expectedY, 1e-5f) << int(mode);
    EXPECT_NEAR(std::fabs(child.Position().Z()), 1 - expectedY, 1e-5f) << int(mode);
  }
}

TEST(GLSceneObject, RelativePitchAddsToThePitchAngle) {
  TGLBaseSceneObject node(nullptr);
  node.Pitch(30);
  node.Pitch(30);
  EXPECT_FLOAT_EQ(node.PitchAngle(), 60);
  EXPECT_NEAR(node.Up().Y(), Cosine(60), 1e-5f);
  node.SetPitchAngle(0);
  ExpectVectorNear(node.Direction().AsVector(), {0, 0, 1, 0}, 1e-5f);
}

TEST(GLSceneObject, MatricesAreTheProductsOfThePlacements) {
  TGLScene scene(nullptr);
  TGLBaseSceneObject& parent = scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  parent.Position().SetPoint(10, 0, 0);
  parent.Scale().SetVector(2, 2, 2);
  scene.Objects().Position().SetPoint(5, 5, 5);  // roots add nothing

  auto detached = std::make_unique<TGLBaseSceneObject>(nullptr);
  detached->Position().SetPoint(1, 2, 3);
  detached->Scale().SetVector(2, 3, 4);
  detached->Direction().SetVector(1, 0, 0);
  const TMatrix4 local{{{0, 0, -2, 0}, {0, 3, 0, 0}, {4, 0, 0, 0}, {1, 2, 3, 1}}};
  for (int i = 0; i < 4; ++i) ExpectVectorNear(detached->LocalMatrix()[i], local[i]);
  ExpectVectorNear(detached->WorldPosition(), {1, 2, 3, 1});

  // Read while detached, then placed: the world matrix follows the new parent.
  TGLBaseSceneObject& child = parent.AddChild(std::move(detached));
  const TMatrix4 world{{{0, 0, -4, 0}, {0, 6, 0, 0}, {8, 0, 0, 0}, {12, 4, 6, 1}}};
  for (int i = 0; i < 4; ++i) ExpectVectorNear(child.WorldMatrix()[i], world[i]);
  ExpectVectorNear(parent.WorldPosition(), {10, 0, 0, 1});

  parent.Position().SetPoint(20, 0, 0);
  ExpectVectorNear(child.WorldPosition(), {22, 4, 6, 1});
  ExpectVectorNear(child.WorldDirection(), {1, 0, 0, 0});
  ExpectVectorNear(child.LocalPointToWorld({0, 0, 1, 1}), {30, 4, 6, 1});

  std::unique_ptr<TGLBaseSceneObject> removed = parent.Remove(child, false);
  ExpectVectorNear(removed->WorldPosition(), {1, 2, 3, 1});
}

TEST(GLSceneObject, InverseWorldMatrixUndoesTheWorldMatrixUnderScaledParents) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<float> coordinate(-5, 5), scale(0.5f, 3);
  auto place = [&](TGLBaseSceneObject& node, bool scaled) {
    node.Position().SetPoint(coordinate(random), coordinate(random), coordinate(random));
    node.Direction().SetVector(coordinate(random), coordinate(random), coordinate(random));
    node.Up().SetVector(coordinate(random), coordinate(random), coordinate(random));
    if (scaled) node.Scale().SetVector(scale(random), scale(random), scale(random));
  };
  for (int trial = 0; trial < 25; ++trial) {
    TGLScene scene(nullptr);
    auto& top = scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
    auto& middle = top.AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
    auto& leaf = middle.AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
    place(top, true);
    place(middle, false);  // rigid under a scaled parent
    place(leaf, trial % 2 == 0);
    for (TGLBaseSceneObject* node : {&top, &middle, &leaf}) {
      const TMatrix4 product = MatrixMultiply(node->InverseWorldMatrix(), node->WorldMatrix());
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
          EXPECT_NEAR(product[i][j], i == j ? 1 : 0, 2e-4f) << "trial " << trial << " entry " << i << j;
      const TVector p{1, -2, 3, 1};
      ExpectVectorNear(node->WorldPointToLocal(node->LocalPointToWorld(p)), p, 1e-3f);
    }
    // Moving the top afterwards reaches the cached inverse of the leaf.
    top.Position().SetPoint(7, 7, 7);
    ExpectVectorNear(Vec4Transform(leaf.WorldPosition(), leaf.InverseWorldMatrix()), {0, 0, 0, 1}, 1e-3f);
  }
}

TEST(GLSceneObject, ChildrenAreInsertedIndexedAndMovedAmongSiblings) {
  TGLScene scene(nullptr);
  TGLSceneRootObject& root = scene.Objects();
  for (const char* name : {"a", "b", "c"}) root.AddChild(MakeNode(name));
  TTestNode& d = root.Insert(1, MakeNode("d"));
  root.Insert(0, MakeNode("e"));
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"e", "a", "d", "b", "c"}));
  EXPECT_EQ(d.Index(), 2);
  d.SetIndex(-5);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"d", "e", "a", "b", "c"}));
  d.SetIndex(99);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"e", "a", "b", "c", "d"}));
  root.Children(1).SetIndex(3);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"e", "b", "c", "a", "d"}));

  EXPECT_THROW(root.Insert(9, MakeNode("x")), EListError);
  EXPECT_THROW(root.Children(5), EListError);
  EXPECT_THROW(root.Children(-1), EListError);
  EXPECT_EQ(MakeNode("alone")->Index(), -1);

  TGLBaseSceneObject& first = root.CreateFirstChild(TTestNode::StaticClass());
  EXPECT_EQ(&root.Children(0), &first);
  EXPECT_EQ(first.ClassName(), "TTestNode");
  TGLCamera& last = root.CreateChild<TGLCamera>();
  EXPECT_EQ(&last, &root.Children(root.Count() - 1));
}

TEST(GLSceneObject, RemoveKeepsChildrenInOrderAndMoveToReparents) {
  TGLScene scene(nullptr);
  TGLBaseSceneObject& p = scene.Objects().AddChild(MakeNode("p"));
  TGLBaseSceneObject& x = p.AddChild(MakeNode("x"));
  TGLBaseSceneObject& y = p.AddChild(MakeNode("y"));
  for (const char* name : {"g1", "g2", "g3"}) y.AddChild(MakeNode(name));

  std::unique_ptr<TGLBaseSceneObject> removed = p.Remove(y, true);
  EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"x", "g1", "g2", "g3"}));
  EXPECT_EQ(removed->Count(), 0);
  EXPECT_EQ(removed->Parent(), nullptr);
  EXPECT_EQ(removed->Scene(), nullptr);

  TGLBaseSceneObject& g2 = p.Children(2);
  EXPECT_EQ(g2.MoveTo(&x), nullptr);
  EXPECT_EQ(g2.Parent(), &x);
  EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"x", "g1", "g3"}));

  TGLBaseSceneObject& g1 = p.Children(1);
  std::unique_ptr<TGLBaseSceneObject> out = g1.MoveTo(nullptr);
  EXPECT_EQ(out.get(), &g1);
  EXPECT_EQ(out->Scene(), nullptr);
  EXPECT_EQ(ChildNames(p), (std::vector<std::string>{"x", "g3"}));

  // Cycles and detached nodes are refused.
  EXPECT_THAT(AssertionText([&] { x.MoveTo(&g2); }), HasSubstr("descendants"));
  EXPECT_THAT(AssertionText([&] { out->MoveTo(&x); }), HasSubstr("no parent"));
  EXPECT_THAT(AssertionText([&] { p.Remove(*out, false); }), HasSubstr("not a child"));
  auto top = MakeNode("top");
  TGLBaseSceneObject& below = top->AddChild(MakeNode("below"));
  EXPECT_THAT(AssertionText([&] { below.AddChild(std::move(top)); }), HasSubstr("ancestor"));
}

TEST(GLSceneObject, TheSceneFollowsTheTree) {
  TGLScene scene(nullptr);
  auto group = MakeNode("group");
  TGLBaseSceneObject& inner = group->AddChild(MakeNode("inner"));
  TGLBaseSceneObject& deep = inner.AddChild(MakeNode("deep"));
  EXPECT_EQ(deep.Scene(), nullptr);
  TGLBaseSceneObject& placed = scene.Objects().AddChild(std::move(group));
  EXPECT_EQ(deep.Scene(), &scene);
  EXPECT_EQ(placed.GetParentComponent(), &scene);
  EXPECT_EQ(deep.GetParentComponent(), &inner);

  // Layout loading puts what it reads under the right root.
  EXPECT_EQ(SetParentComponent(std::make_unique<TGLCamera>(nullptr), &scene), nullptr);
  EXPECT_EQ(scene.Cameras().Count(), 1);
  EXPECT_EQ(SetParentComponent(MakeNode("n"), &scene), nullptr);
  EXPECT_EQ(SetParentComponent(MakeNode("m"), &placed), nullptr);
  EXPECT_EQ(ChildNames(scene.Objects()), (std::vector<std::string>{"group", "n"}));
  EXPECT_EQ(ChildNames(placed), (std::vector<std::string>{"inner", "m"}));
  TComponent form(nullptr);
  EXPECT_NE(SetParentComponent(MakeNode("o"), &form), nullptr);

  std::unique_ptr<TGLBaseSceneObject> out = scene.Objects().Remove(placed, false);
  EXPECT_EQ(deep.Scene(), nullptr);
}

TEST(GLSceneObject, ChangesReachTheBuffersAsCountedRedrawRequests) {
  struct TCase {
    const char* What;
    std::function<void(TCountedScene&, TTestNode&)> Action;
    int Redraws;
  };
  const TCase cases[] = {
      {"a move", [](auto&, auto& n) { n.Position().SetPoint(1, 0, 0); }, 1},
      {"two moves before the next frame", [](auto&, auto& n) {
         n.Position().SetPoint(1, 0, 0);
         n.Position().SetPoint(2, 0, 0);
       }, 1},
      {"changes inside the node's update", [](auto&, auto& n) {
         n.BeginUpdate();
         n.Position().SetPoint(1, 0, 0);
         n.SetVisible(false);
         n.EndUpdate();
       }, 1},
      {"changes inside the scene's update", [](auto& s, auto& n) {
         s.Scene.BeginUpdate();
         n.SetVisible(false);
         n.SetShowAxes(true);
         s.Scene.EndUpdate();
       }, 1},
      {"an unchanged value", [](auto&, auto& n) { n.SetVisible(true); }, 0},
      {"a direct-draw node's drawing twice", [](auto&, auto& n) {
         n.SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw));
         n.MarkStructureDirty();
         n.MarkStructureDirty();
       }, 2},
      {"a list that was never built", [](auto&, auto& n) { n.MarkStructureDirty(); }, 0},
      {"removing a node that keeps three children", [](auto& s, auto& n) {
         TGLBaseSceneObject& middle = n.AddChild(MakeNode("middle"));
         for (const char* name : {"1", "2", "3"}) middle.AddChild(MakeNode(name));
         n.WorldMatrix();
         s.Redraws = 0;
         n.Remove(middle, true);
       }, 1},
      {"a detached node", [](auto&, auto&) { MakeNode("free")->Position().SetPoint(1, 1, 1); }, 0},
      {"a scene being read", [](auto& s, auto& n) {
         s.Scene.BeginReading();
         n.Position().SetPoint(1, 0, 0);
         s.Scene.EndReading();
         s.Scene.Loaded();
       }, 0},
  };
  for (const TCase& c : cases) {
    TCountedScene counted;
    TTestNode& node = counted.Scene.Objects().AddChild(MakeNode("node"));
    node.WorldMatrix();
    counted.Redraws = 0;
    c.Action(counted, node);
    EXPECT_EQ(counted.Redraws, c.Redraws) << c.What;
  }

  TCountedScene counted;
  TTestNode& node = counted.Scene.Objects().AddChild(MakeNode("node"));
  EXPECT_EQ(AssertionText([&] { node.EndUpdate(); }), "Unbalanced Begin/EndUpdate");
  EXPECT_EQ(AssertionText([&] { counted.Scene.EndUpdate(); }), "Unbalanced Begin/EndUpdate");
  EXPECT_EQ(node.UpdateCount(), 0);
}

TEST(GLSceneObject, LightsAnywhereInASubtreeHoldSlotsOnlyWhileInTheScene) {
  TGLScene scene(nullptr);
  auto group = MakeNode("group");
  auto& light = group->AddChild(std::make_unique<TGLLightSource>(nullptr));
  auto& deep = group->AddChild(MakeNode("inner")).AddChild(std::make_unique<TGLLightSource>(nullptr));
  EXPECT_EQ(light.LightID(), 0u);

  TGLBaseSceneObject& placed = scene.Objects().AddChild(std::move(group));
  EXPECT_EQ(light.LightID(), GLenum(GL_LIGHT0));
  EXPECT_EQ(deep.LightID(), GLenum(GL_LIGHT1));
  EXPECT_EQ(scene.Light(1), &deep);

  TGLBaseSceneObject& other = scene.Objects().AddChild(MakeNode("other"));
  deep.MoveTo(&other);  // a move inside the scene keeps the slot
  EXPECT_EQ(deep.LightID(), GLenum(GL_LIGHT1));

  std::unique_ptr<TGLBaseSceneObject> out = scene.Objects().Remove(placed, false);
  EXPECT_EQ(light.LightID(), 0u);
  EXPECT_EQ(scene.Light(0), nullptr);
  scene.Objects().AddChild(std::move(out));
  EXPECT_EQ(light.LightID(), GLenum(GL_LIGHT0));

  other.DeleteChildren();  // a freed light is never applied
  EXPECT_EQ(scene.Light(1), nullptr);

  std::vector<TGLLightSource*> more;
  for (int i = 0; i < 8; ++i) more.push_back(&other.AddChild(std::make_unique<TGLLightSource>(nullptr)));
  EXPECT_EQ(more[6]->LightID(), GLenum(GL_LIGHT7));
  EXPECT_EQ(more[7]->LightID(), 0u);  // the ninth light of the scene
  EXPECT_THROW(scene.Light(8), ERangeError);
}

TEST(GLSceneObject, AssignCopiesPlacementAndSubtreeAndSurvivesItsOwnFamily) {
  TGLScene scene(nullptr);
  TGLBaseSceneObject& source = scene.Objects().AddChild(MakeNode("source"));
  source.Position().SetPoint(1, 2, 3);
  source.Scale().SetVector(2, 2, 2);
  source.SetTurnAngle(30);
  source.SetVisible(false);
  source.SetTagFloat(1.5f);
  source.SetTag(7);
  source.AddChild(MakeNode("c1")).AddChild(MakeNode("g"));
  source.AddChild(std::make_unique<TGLCamera>(nullptr));

  TGLBaseSceneObject& copy = scene.Objects().AddChild(MakeNode("copy"));
  copy.AddChild(MakeNode("old"));
  copy.Assign(&source);
  ExpectVectorNear(copy.WorldMatrix()[3], {1, 2, 3, 1});
  EXPECT_NEAR(copy.WorldMatrix()[1].y, 2, 1e-5f);
  EXPECT_FLOAT_EQ(copy.TurnAngle(), 30);
  EXPECT_FALSE(copy.Visible());
  EXPECT_EQ(copy.Tag(), 7);
  EXPECT_FLOAT_EQ(copy.TagFloat(), 1.5f);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Children(0).ClassName(), "TTestNode");
  EXPECT_EQ(copy.Children(1).ClassName(), "TGLCamera");
  EXPECT_EQ(copy.Children(0).Count(), 1);
  EXPECT_EQ(copy.Children(0).Scene(), &scene);

  TGLBaseSceneObject* firstChild = &source.Children(0);
  source.Assign(&source);
  EXPECT_EQ(&source.Children(0), firstChild);

  // From an ancestor: the copy is of the ancestor as it was.
  TGLBaseSceneObject& c1 = source.Children(0);
  c1.Assign(&source);
  ASSERT_EQ(c1.Count(), 2);
  EXPECT_EQ(c1.Children(0).Count(), 1);
  EXPECT_EQ(c1.Children(0).Children(0).Count(), 0);

  // From a descendant, which goes with the node's own children.
  source.Assign(&c1);
  EXPECT_EQ(source.Count(), 2);
  EXPECT_EQ(source.Children(0).Count(), 1);
}

// A behaviour that logs its steps; stored with one value of its own.
class TTestBehaviour : public TGLBehaviour {
  BRV_XCOLLECTION_ITEM_CLASS(TTestBehaviour, TGLBehaviour, .DisplayName = "Test behaviour")

public:
  explicit TTestBehaviour(TXCollection* owner) : TGLBehaviour(owner) {}
  void AdvanceTime(const TProgressTimes&) override {
    if (Log) Log->push_back("behaviour");
  }
  void Assign(const TPersistent* source) override {
    if (auto* other = dynamic_cast<const TTestBehaviour*>(source)) Value = other->Value;
    TGLBehaviour::Assign(source);
  }
  void WriteItemFields(TWriter& writer) const override {
    TGLBehaviour::WriteItemFields(writer);
    writer.WriteInteger(Value);
  }
  void ReadItemFields(TReader& reader) override {
    TGLBehaviour::ReadItemFields(reader);
    Value = reader.ReadInteger();
  }
  int Value = 0;
  TDrawLog* Log = nullptr;
};

class TTestEffect : public TGLObjectEffect {
  BRV_XCOLLECTION_ITEM_CLASS(TTestEffect, TGLObjectEffect, .DisplayName = "Test effect")

public:
  explicit TTestEffect(TXCollection* owner) : TGLObjectEffect(owner) {}
};

TEST(GLSceneObject, BehavioursTravelAsBinaryDataOnlyWhenThereAreAny) {
  RegisterItemClass(TTestBehaviour::StaticClass());
  TGLBaseSceneObject node(nullptr);
  EXPECT_FALSE(node.StoresBehaviours());
  node.Behaviours();
  EXPECT_FALSE(node.StoresBehaviours());
  EXPECT_FALSE(node.Behaviours().AcceptsClass(TTestEffect::StaticClass()));
  node.Behaviours().Add<TTestBehaviour>().Value = 42;
  ASSERT_TRUE(node.StoresBehaviours());
  EXPECT_FALSE(node.StoresEffects());

  TMemoryStream stream;
  node.WriteBehavioursData(stream);
  TGLBaseSceneObject read(nullptr);
  stream.SetPosition(0);
  read.ReadBehavioursData(stream);
  ASSERT_EQ(read.Behaviours().Count(), 1);
  EXPECT_EQ(static_cast<TTestBehaviour*>(read.Behaviours().GetItem(0))->Value, 42);
  EXPECT_EQ(stream.Position(), stream.Size());

  // A cut stream leaves the behaviours as they were.
  TMemoryStream cut(stream.Bytes().substr(0, stream.Bytes().size() - 2));
  EXPECT_THROW(read.ReadBehavioursData(cut), EReadError);
  EXPECT_EQ(read.Behaviours().Count(), 1);

  // Effects that were never made are written as an empty collection.
  TMemoryStream none;
  TGLBaseSceneObject(nullptr).WriteEffectsData(none);
  none.SetPosition(0);
  read.Effects().Add<TTestEffect>();
  read.ReadEffectsData(none);
  EXPECT_EQ(read.Effects().Count(), 0);
}

TEST(GLSceneObject, TimeStepsReachChildrenLastToFirstThenBehavioursThenTheEvent) {
  TDrawLog log;
  TGLBaseSceneObject root(nullptr);
  for (const char* name : {"a", "b", "c"}) {
    TTestNode& child = root.AddChild(MakeNode(name));
    child.OnProgress = [&log, &root, name](TObject*, double, double) {
      log.push_back(name);
      if (std::string(name) == "c") root.Remove(root.Children(0), false);  // a goes before its step
    };
  }
  root.Behaviours().Add<TTestBehaviour>().Log = &log;
  root.OnProgress = [&log](TObject*, double delta, double time) {
    log.push_back("root " + std::to_string(int(delta * 10)) + " " + std::to_string(int(time)));
  };
  root.AdvanceTime({0.5, 3});
  EXPECT_EQ(log, (TDrawLog{"c", "b", "behaviour", "root 5 3"}));
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"b", "c"}));
}

TEST(GLSceneObject, OrbitingKeepsTheDistanceAndStopsShortOfThePoles) {
  TGLScene scene(nullptr);
  TGLBaseSceneObject& target = scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  TGLBaseSceneObject& rig = scene.Cameras().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  rig.Position().SetPoint(5, 0, 0);
  TGLCamera& camera = rig.AddChild(std::make_unique<TGLCamera>(nullptr));
  target.Position().SetPoint(5, 0, 0);
  camera.Position().SetPoint(0, 0, 10);  // world (5, 0, 10)

  camera.OrbitObject(target, 0, 90);
  const TVector p = camera.WorldPosition();
  EXPECT_NEAR(std::fabs(p.x - 5), 10, 1e-3f);
  EXPECT_NEAR(p.y, 0, 1e-3f);
  EXPECT_NEAR(p.z, 0, 1e-3f);

  const float poleHeight = 10 * std::cos(0.025f);
  camera.OrbitObject(target, 1000, 0);
  const float first = camera.WorldPosition().y;
  EXPECT_NEAR(std::fabs(first), poleHeight, 1e-3f);
  camera.OrbitObject(target, -1000, 0);
  EXPECT_NEAR(camera.WorldPosition().y, -first, 1e-3f);
  EXPECT_NEAR(Vec3Distance(Vec3Of(camera.WorldPosition()), {5, 0, 0}), 10, 1e-3f);
}

TEST(GLSceneObject, BoundsAndHitTestsUseTheHalfExtents) {
  TGLBaseSceneObject node(nullptr);
  node.Position().SetPoint(10, 0, 0);
  node.Scale().SetVector(2, 2, 2);
  node.AddChild(std::make_unique<TGLBaseSceneObject>(nullptr)).Position().SetPoint(3, 0, 0);
  const TAxisAlignedBox box = node.AxisAlignedBoundingBox();
  EXPECT_TRUE(Vec3Equal(box.Min, {-1, -1, -1}));
  EXPECT_TRUE(Vec3Equal(box.Max, {3.5f, 1, 1}));

  EXPECT_TRUE(node.ContainsWorldPoint({11.9f, 0, 1.9f, 1}));
  EXPECT_FALSE(node.ContainsWorldPoint({12.1f, 0, 0, 1}));

  TVector hit, normal;
  ASSERT_TRUE(node.IntersectRay({10, 0, -10, 1}, {0, 0, 1, 0}, &hit, &normal));
  ExpectVectorNear(hit, {10, 0, -std::sqrt(3.0f), 1}, 1e-4f);
  ExpectVectorNear(normal, {0, 0, -1, 0}, 1e-4f);
  EXPECT_FALSE(node.IntersectRay({10, 5, -10, 1}, {0, 0, 1, 0}));
}

TEST(GLSceneObject, AHundredThousandChildrenAreAddedWalkedAndFreedInLinearTime) {
  // Each step here is constant time for one child; a child that searched its
  // siblings or its parent's list of references when it goes would make this
  // take minutes.
  constexpr int COUNT = 100'000;
  TGLScene scene(nullptr);
  TGLBaseSceneObject& parent = scene.Objects().AddChild(MakeNode("parent"));
  for (int i = 0; i < COUNT; ++i) parent.AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  parent.AdvanceTime({0.1, 1});
  EXPECT_EQ(parent.Children(COUNT - 1).Scene(), &scene);
  scene.Objects().DeleteChildren();
  EXPECT_EQ(scene.Objects().Count(), 0);
}

TEST(GLSceneObject, PickNamesAreSmallAndFindTheirNodeWhileItLives) {
  auto a = MakeNode("a");
  auto b = MakeNode("b");
  EXPECT_NE(a->PickName(), 0u);
  EXPECT_NE(a->PickName(), b->PickName());
  EXPECT_EQ(TGLBaseSceneObject::ObjectOfPickName(b->PickName()), b.get());
  const GLuint gone = a->PickName();
  a.reset();
  EXPECT_EQ(TGLBaseSceneObject::ObjectOfPickName(gone), nullptr);
  EXPECT_EQ(TGLBaseSceneObject::ObjectOfPickName(0), nullptr);
}

TEST(GLSceneObject, BuffersLoseTheirCameraWhenItGoes) {
  TGLSceneBuffer buffer(nullptr);
  int redraws = 0;
  buffer.OnChange = [&](TObject*) { ++redraws; };
  {
    TGLScene scene(nullptr);
    TGLCamera& camera = scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
    TGLCamera detached(nullptr);
    buffer.SetCamera(&detached);
    EXPECT_EQ(buffer.Camera(), nullptr);  // only a camera of a scene is taken
    buffer.SetCamera(&camera);
    EXPECT_EQ(buffer.Camera(), &camera);
    scene.AttachBuffer(buffer);
    scene.AttachBuffer(buffer);
    EXPECT_EQ(scene.BufferCount(), 1);
    redraws = 0;
  }
  EXPECT_EQ(buffer.Camera(), nullptr);
  EXPECT_EQ(redraws, 1);

  TGLScene scene(nullptr);
  {
    TGLSceneBuffer shortLived(nullptr);
    scene.AttachBuffer(shortLived);
  }
  EXPECT_EQ(scene.BufferCount(), 0);
}

TEST(GLScene, IntersectRayReturnsTheNearestVisibleHit) {
  TGLScene scene(nullptr);
  // Unit spheres (radius sqrt(3)/2 round the placement) along the ray's line.
  auto ball = [&](TGLBaseSceneObject& parent, const std::string& name, float z) -> TGLBaseSceneObject& {
    TGLBaseSceneObject& node = parent.AddChild(MakeNode(name));
    node.Position().SetPoint(0, 0, z);
    return node;
  };
  const TVector start{0, 0, -20, 1}, along{0, 0, 1, 0};
  TVector point{9, 9, 9, 9}, normal = point;
  EXPECT_EQ(scene.IntersectRay(start, along, &point, &normal), nullptr);
  ExpectVectorNear(point, {9, 9, 9, 9});  // nothing hit: the outputs stay

  ball(scene.Objects(), "far", 10);
  TGLBaseSceneObject& middle = ball(scene.Objects(), "middle", 0);
  ball(scene.Objects(), "farther", 15);
  ball(middle, "inside a hit", -10);  // never asked: its parent is hit
  ball(scene.Objects(), "hidden", -18).SetVisible(false);
  scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr)).Position().SetPoint(0, 0, -19);
  TGLBaseSceneObject* missed = nullptr;

  struct TCase {
    const char* What;
    std::function<void()> Change;
    std::string Nearest;
  };
  const TCase cases[] = {
      {"the nearest of three", [] {}, "middle"},
      {"a child of a missed node",
       [&] {
         missed = &ball(scene.Objects(), "missed", 0);
         missed->Position().SetPoint(50, 0, 0);
         ball(*missed, "below a miss", 0).Position().SetPoint(-50, 0, -15);
       },
       "below a miss"},
      {"below an invisible node", [&] { missed->SetVisible(false); }, "middle"},
  };
  for (const TCase& c : cases) {
    c.Change();
    TGLBaseSceneObject* hit = scene.IntersectRay(start, along, &point, &normal);
    ASSERT_NE(hit, nullptr) << c.What;
    EXPECT_EQ(hit->Name(), c.Nearest) << c.What;
  }
  ExpectVectorNear(point, {0, 0, -std::sqrt(0.75f), 1}, 1e-4f);
  ExpectVectorNear(normal, {0, 0, -1, 0}, 1e-4f);
}

TEST(GLScene, LaterBuffersShareTheFirstBuffersGLObjects) {
  TRecordingGL gl;
  TGLScene scene(nullptr);
  auto buffer = [] {
    auto made = std::make_unique<TGLSceneBuffer>(nullptr);
    auto context = std::make_unique<TFakeGLContext>();
    context->CreateContext(0);
    made->SetRenderingContext(std::move(context));
    return made;
  };
  auto first = buffer(), second = buffer(), third = buffer();
  scene.AttachBuffer(*first);
  scene.AttachBuffer(*second);
  EXPECT_EQ(scene.BaseContext(), first->RenderingContext());
  EXPECT_EQ(second->RenderingContext()->SharedContexts().size(), 2u);

  // A buffer freed behind the scene's back (its camera went first) leaves no
  // context behind for the next one to share with.
  first.reset();
  EXPECT_EQ(scene.BaseContext(), second->RenderingContext());
  scene.AttachBuffer(*third);
  EXPECT_EQ(third->RenderingContext()->SharedContexts().size(), 2u);
  scene.DetachBuffer(*second);
  EXPECT_EQ(scene.BaseContext(), third->RenderingContext());
}

}  // namespace
