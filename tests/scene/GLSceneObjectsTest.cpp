// Objects with material, objects drawn by an event, and proxies, on the
// recording GL table.

#include "scene/GLSceneObjects.h"

#include "SceneTestSupport.h"
#include "scene/gl/XOpenGL.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

// Notes "emit(name)" on the recording table whenever it emits its geometry.
class TNotingObject : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TNotingObject, TGLSceneObject)

public:
  using TGLSceneObject::TGLSceneObject;
  void EmitGeometry(TRenderContextInfo&) override { TRecordingGL::Current().Note("emit", {Name()}); }
};

// Asks for a second pass after every first one.
class TTwoPassShader : public TGLShader {
  BRV_CLASS(TTwoPassShader, TGLShader)

public:
  using TGLShader::TGLShader;
  int Applied = 0;

protected:
  void DoApply(TRenderContextInfo&, TObject*) override { ++Applied; }
  bool DoUnApply(TRenderContextInfo&) override { return FSecondPassWanted = !FSecondPassWanted; }

private:
  bool FSecondPassWanted = false;
};

class GLSceneObjectsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Context.CreateContext(0);
    Context.Activate();
    InvalidateGLStateCaches();
    Rci.ObjectsSorting = osNone;
    gl.Clear();
  }
  void TearDown() override { Context.Deactivate(); }

  template <class T>
  static std::unique_ptr<T> Named(const std::string& name, bool directDraw = true) {
    auto object = std::make_unique<T>(nullptr);
    object->SetName(name);
    if (directDraw) object->SetObjectStyle(object->ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
    return object;
  }
  // The model-view stack depth (pushes less pops) at each emitted geometry, by name.
  std::map<std::string, std::vector<int>> EmitDepths() const {
    std::map<std::string, std::vector<int>> depths;
    int depth = 0;
    for (const TGLCall& call : gl.Calls) {
      if (call.Name == "glPushMatrix") ++depth;
      if (call.Name == "glPopMatrix") --depth;
      if (call.Name == "emit") depths[call.Args[0]].push_back(depth);
    }
    return depths;
  }

  TRecordingGL gl;
  TFakeGLContext Context;
  TRenderContextInfo Rci;
};

TEST_F(GLSceneObjectsTest, ATwoPassMaterialDrawsTheGeometryTwice) {
  TGLMaterialLibrary library(nullptr);
  TTwoPassShader shader(nullptr);
  TGLLibMaterial& glass = library.Materials().Add();
  glass.SetShader(&shader);
  glass.Material().SetBlendingMode(bmTransparency);

  struct TCase {
    bool DirectDraw, IgnoreMaterials;
    int Emits, ListCalls, ShaderApplications;
  };
  const TCase cases[] = {
      {true, false, 2, 0, 1},
      {false, false, 1, 2, 1},  // compiled once, called in each pass
      {true, true, 1, 0, 0},    // no colour buffer: once, without the material
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "direct " << c.DirectDraw << " ignore " << c.IgnoreMaterials);
    auto object = Named<TNotingObject>("glass", c.DirectDraw);
    object->Material().SetMaterialLibrary(&library);
    object->Material().SetLibMaterialName(glass.Name());
    EXPECT_TRUE(object->Blended()) << "blended as the library material it draws with";
    shader.Applied = 0;
    Rci.IgnoreMaterials = c.IgnoreMaterials;
    gl.Clear();
    object->Render(Rci);
    EXPECT_EQ(gl.Count("emit"), c.Emits);
    EXPECT_EQ(gl.Count("glCallList"), c.ListCalls);
    EXPECT_EQ(shader.Applied, c.ShaderApplications);
    EXPECT_FALSE(shader.ShaderActive());
  }
}

TEST_F(GLSceneObjectsTest, AProxyOfItsOwnAncestorDrawsItOnceAndStops) {
  TGLScene scene(nullptr);
  auto& ancestor = scene.Objects().AddChild(Named<TNotingObject>("ancestor"));
  auto& proxy = ancestor.AddChild(Named<TGLProxyObject>("proxy"));
  proxy.SetMasterObject(&ancestor);
  proxy.AddChild(Named<TNotingObject>("child"));

  scene.Objects().Render(Rci);
  // Once in its place, once through the proxy; the proxy reached again inside
  // draws nothing. The proxy's child is placed by the proxy alone, not by the
  // master's matrix as well.
  EXPECT_EQ(gl.Count("emit"), 3);
  const auto depths = EmitDepths();
  EXPECT_EQ(depths.at("ancestor"), (std::vector<int>{2, 4}));
  EXPECT_EQ(depths.at("child"), (std::vector<int>{4}));
  EXPECT_EQ(gl.Count("glPushMatrix"), gl.Count("glPopMatrix"));

  // Two proxies of each other: nothing asks without end.
  auto& a = scene.Objects().AddChild(Named<TGLProxyObject>("a"));
  auto& b = scene.Objects().AddChild(Named<TGLProxyObject>("b"));
  a.SetMasterObject(&b);
  b.SetMasterObject(&a);
  a.Scale().SetVector(4, 4, 4);
  ExpectVectorNear(a.HalfExtents(), {8, 8, 8, 0});
  EXPECT_FALSE(a.IntersectRay({0, 0, -10, 1}, {0, 0, 1, 0}));
  gl.Clear();
  EXPECT_NO_THROW(a.Render(Rci));
}

TEST_F(GLSceneObjectsTest, AProxyAnswersForItsMasterWhereItStands) {
  TGLScene scene(nullptr);
  auto& master = scene.Objects().AddChild(Named<TNotingObject>("master"));
  master.Scale().SetVector(2, 2, 2);  // a bounding sphere of radius sqrt(3)
  auto& proxy = scene.Objects().AddChild(Named<TGLProxyObject>("proxy"));
  proxy.Position().SetPoint(10, 0, 0);
  EXPECT_FALSE(proxy.IntersectRay({10, 0, -10, 1}, {0, 0, 1, 0}));
  proxy.SetMasterObject(&master);
  proxy.Scale().SetVector(2, 1, 1);
  ExpectVectorNear(proxy.HalfExtents(), {2, 1, 1, 0});

  proxy.Scale().SetVector(1, 1, 1);
  TVector point, normal;
  ASSERT_TRUE(proxy.IntersectRay({10, 0, -10, 1}, {0, 0, 1, 0}, &point, &normal));
  ExpectVectorNear(point, {10, 0, -std::sqrt(3.0f), 1}, 1e-4f);
  ExpectVectorNear(normal, {0, 0, -1, 0}, 1e-4f);
  EXPECT_FALSE(proxy.IntersectRay({0, 0, -10, 1}, {0, 0, 1, 0})) << "the master's own place is not the proxy's";

  // Without its transformation option the master is drawn at the proxy's place
  // as it is.
  proxy.SetProxyOptions(pooObjects);
  proxy.Render(Rci);
  EXPECT_EQ(std::pair(gl.Count("emit"), gl.Count("glMultMatrixf")), std::pair(1, 1));

  // The master freed: the proxy forgets it.
  scene.Objects().Remove(master, false).reset();
  EXPECT_EQ(proxy.MasterObject(), nullptr);
  gl.Clear();
  proxy.Render(Rci);
  EXPECT_EQ(gl.Count("emit"), 0);
}

TEST_F(GLSceneObjectsTest, ADirectObjectDrawsThroughItsEventEveryFrameOrIntoItsList) {
  TDirectOpenGL direct(nullptr);
  int renders = 0;
  direct.OnRender = [&](TObject* sender, TRenderContextInfo&) {
    EXPECT_EQ(sender, &direct);
    EXPECT_EQ(XGLMapping(), xmMain);
    ++renders;
  };
  EXPECT_TRUE(direct.HasStyle(TGLObjectStyle::ResetStateCaches));
  XGLMapToNull();
  direct.Render(Rci);
  direct.Render(Rci);
  EXPECT_EQ(renders, 2);
  EXPECT_EQ(gl.Count("glNewList"), 0);

  direct.SetUseBuildList(true);
  direct.Render(Rci);
  direct.Render(Rci);
  EXPECT_EQ(renders, 3) << "compiled once, then called";
  EXPECT_EQ(gl.Count("glCallList"), 2);
  direct.SetUseBuildList(false);
  EXPECT_TRUE(direct.HasStyle(TGLObjectStyle::DirectDraw));
}

}  // namespace
