// Lights and fog on the recording GL: the eight light slots, what a light
// sends, and when fog is sent.

#include "scene/GLLightSource.h"

#include "scene/GLSceneBuffer.h"

#include "SceneTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

using TTexts = std::vector<std::string>;

TEST(GLLightSource, EightSlotsAreLitAndAFreedLightGivesItsSlotBack) {
  TRecordingGL gl;
  TGLScene scene(nullptr);
  std::vector<TGLLightSource*> lights;
  for (int i = 0; i < 9; ++i) lights.push_back(&scene.Objects().AddChild(std::make_unique<TGLLightSource>(nullptr)));
  auto switched = [&](int maxLights) {
    gl.Clear();
    scene.ApplyLights(maxLights);
    TTexts texts = gl.Texts("glEnable"), off = gl.Texts("glDisable");
    texts.insert(texts.end(), off.begin(), off.end());
    return texts;
  };
  auto on = [](int i) { return GLCallText("glEnable", GL_LIGHT0 + i); };
  auto off = [](int i) { return GLCallText("glDisable", GL_LIGHT0 + i); };

  EXPECT_EQ(switched(8), (TTexts{on(0), on(1), on(2), on(3), on(4), on(5), on(6), on(7)}));
  EXPECT_EQ(switched(2), (TTexts{on(0), on(1)}));  // a GL with fewer lights
  EXPECT_EQ(lights[8]->LightID(), 0u);

  lights[5]->SetShining(false);
  scene.Objects().Remove(*lights[3], false);  // and freed
  EXPECT_EQ(switched(8), (TTexts{on(0), on(1), on(2), on(4), on(6), on(7), off(3), off(5)}));
  TGLLightSource& late = scene.Objects().AddChild(std::make_unique<TGLLightSource>(nullptr));
  EXPECT_EQ(late.LightID(), GLenum(GL_LIGHT3));
  EXPECT_EQ(lights[8]->LightID(), 0u);  // the ninth light stays dark

  // A spot light without a cone sends its cut-off but no direction or exponent.
  lights[0]->SetLinearAttenuation(0.5f);
  EXPECT_TRUE(lights[0]->Changes() & ChangeBit(TGLChange::AttenuationChanged));
  switched(1);
  std::vector<GLenum> parameters;
  for (const TGLCall& call : gl.Calls)
    if (call.Name == "glLightfv") parameters.push_back(GLenum(std::stoul(call.Args.at(1))));
  EXPECT_EQ(parameters, (std::vector<GLenum>{GL_POSITION, GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_SPOT_CUTOFF,
                                             GL_CONSTANT_ATTENUATION, GL_LINEAR_ATTENUATION, GL_QUADRATIC_ATTENUATION}));
  EXPECT_FALSE(lights[0]->Changes() & ChangeBit(TGLChange::AttenuationChanged));
}

TEST(GLFogEnvironment, FogIsSentWhenChangedAndIntoEveryNewContext) {
  TRecordingGL gl;
  TGLSceneBuffer buffer(nullptr);
  TGLFogEnvironment& fog = buffer.FogEnvironment();
  auto newContext = [&] {
    auto context = std::make_unique<TFakeGLContext>();
    context->CreateContext(0);
    buffer.SetRenderingContext(std::move(context));
  };
  auto fogCalls = [&] {
    gl.Clear();
    fog.ApplyFog();
    TTexts calls;
    for (const std::string& text : gl.Texts())
      if (text.rfind("glFog", 0) == 0 || text.rfind("glGetIntegerv", 0) == 0) calls.push_back(text);
    return calls;
  };
  EXPECT_EQ(fogCalls(), TTexts{});  // no context yet: nothing, and still to be sent
  newContext();
  const TTexts linear{GLCallText("glFogi", GL_FOG_MODE, GL_LINEAR), "glFogfv(2918, ptr)",
                      GLCallText("glFogf", GL_FOG_START, 10.0f), GLCallText("glFogf", GL_FOG_END, 1000.0f)};
  EXPECT_EQ(fogCalls(), linear);
  EXPECT_EQ(fogCalls(), TTexts{});
  newContext();  // a recreated window
  EXPECT_EQ(fogCalls(), linear);

  fog.SetFogMode(fmExp);
  fog.FogColor().SetAlpha(0.5f);
  gl.NV_fog_distance = true;
  gl.Integers[GL_FOG_DISTANCE_MODE_NV] = {GL_EYE_PLANE_ABSOLUTE_NV};
  fog.SetFogDistance(fdEyeRadial);
  EXPECT_EQ(fogCalls(), (TTexts{GLCallText("glFogi", GL_FOG_MODE, GL_EXP), GLCallText("glFogf", GL_FOG_DENSITY, 0.5f),
                                "glFogfv(2918, ptr)", GLCallText("glFogf", GL_FOG_START, 10.0f),
                                GLCallText("glFogf", GL_FOG_END, 1000.0f), "glGetIntegerv(34138, ptr)",
                                GLCallText("glFogi", GL_FOG_DISTANCE_MODE_NV, GL_EYE_RADIAL_NV)}));
  fog.SetFogDistance(fdDefault);  // back to the mode read before the first change
  EXPECT_EQ(fogCalls().back(), GLCallText("glFogi", GL_FOG_DISTANCE_MODE_NV, GL_EYE_PLANE_ABSOLUTE_NV));

  TGLSceneBuffer other(nullptr);  // a second viewer
  EXPECT_TRUE(other.FogEnvironment().IsAtDefaultValues());
  other.SetFogEnvironment(fog);
  EXPECT_FALSE(other.FogEnvironment().IsAtDefaultValues());
  EXPECT_TRUE(other.FogEnvironment().Changed());
}

}  // namespace
