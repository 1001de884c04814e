#include "scene/gl/GLStateCache.h"

#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

using TTexts = std::vector<std::string>;

const TVector BLACK{0, 0, 0, 1};
const TVector GREY{0.2f, 0.2f, 0.2f, 1};
const TVector LIGHT{0.8f, 0.8f, 0.8f, 1};

class GLStateCacheTest : public ::testing::Test {
protected:
  GLStateCacheTest() {
    InvalidateGLStateCaches();
    ResetFrontFaceCache();
    ResetTextureMatrixCache();
    gl.Clear();
  }

  TRecordingGL gl;
};

TEST_F(GLStateCacheTest, PolygonModeIsSentOnlyWhenAFaceMayDiffer) {
  struct TStep {
    GLenum Face, Mode;
    int Sent;
  };
  const TStep steps[] = {
      {GL_FRONT, GL_FILL, 1},          {GL_FRONT, GL_FILL, 0},
      {GL_FRONT_AND_BACK, GL_FILL, 1},  // the back face is not known yet
      {GL_BACK, GL_FILL, 0},           {GL_FRONT_AND_BACK, GL_FILL, 0},
      {GL_BACK, GL_LINE, 1},           {GL_FRONT_AND_BACK, GL_LINE, 1},
      {GL_FRONT, GL_LINE, 0},          {GL_LEFT, GL_POINT, 0},  // not a face
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    gl.Clear();
    SetPolygonModeCached(steps[i].Face, steps[i].Mode);
    EXPECT_EQ(gl.Count("glPolygonMode"), steps[i].Sent) << "step " << i;
  }
  ResetPolygonModeCache();
  EXPECT_EQ(gl.CallsOf([] { SetPolygonModeCached(GL_FRONT, GL_LINE); }),
            (TTexts{GLCallText("glPolygonMode", GL_FRONT, GL_LINE)}));
}

TEST_F(GLStateCacheTest, MaterialColoursAreSentWhenTheyChangeWhatIsDrawn) {
  auto send = [&](GLenum face, TVector emission, TVector ambient, TVector diffuse, TVector specular, GLint shininess) {
    return gl.CallsOf([&] { CacheMaterialColors(face, emission, ambient, diffuse, specular, shininess); });
  };
  auto colour = [](GLenum face, GLenum name) { return GLCallText("glMaterialfv", face, name, "ptr"); };
  EXPECT_EQ(send(GL_FRONT, BLACK, GREY, LIGHT, BLACK, 10),
            (TTexts{GLCallText("glMateriali", GL_FRONT, GL_SHININESS, 10), colour(GL_FRONT, GL_EMISSION),
                    colour(GL_FRONT, GL_AMBIENT), colour(GL_FRONT, GL_DIFFUSE), colour(GL_FRONT, GL_SPECULAR)}));
  EXPECT_EQ(send(GL_FRONT, BLACK, GREY, LIGHT, BLACK, 10), TTexts{});
  // Alphas other than the diffuse one are not compared.
  EXPECT_EQ(send(GL_FRONT, {0, 0, 0, 0.5f}, {0.2f, 0.2f, 0.2f, 0}, LIGHT, {0, 0, 0, 0}, 10), TTexts{});
  EXPECT_EQ(send(GL_FRONT, BLACK, GREY, {0.8f, 0.8f, 0.8f, 0.5f}, BLACK, 10), (TTexts{colour(GL_FRONT, GL_DIFFUSE)}));
  EXPECT_EQ(send(GL_FRONT, BLACK, GREY, {0.8f, 0.8f, 0.8f, 0.5f}, GREY, 10), (TTexts{colour(GL_FRONT, GL_SPECULAR)}));
  // The back face has a cache of its own.
  EXPECT_EQ(send(GL_BACK, BLACK, GREY, LIGHT, BLACK, 10).size(), 5u);
  // Both faces at once: sent once when either differs, then known for both.
  EXPECT_EQ(send(GL_FRONT_AND_BACK, BLACK, GREY, LIGHT, LIGHT, 10),
            (TTexts{colour(GL_FRONT_AND_BACK, GL_DIFFUSE), colour(GL_FRONT_AND_BACK, GL_SPECULAR)}));
  EXPECT_EQ(send(GL_FRONT, BLACK, GREY, LIGHT, LIGHT, 10), TTexts{});
  EXPECT_EQ(send(GL_BACK, BLACK, GREY, LIGHT, LIGHT, 10), TTexts{});
}

TEST_F(GLStateCacheTest, MaterialResetSendsTheDefaultsAndForgetsTheColours) {
  CacheMaterialColors(GL_FRONT, BLACK, GREY, LIGHT, BLACK, 0);
  const GLenum both = GL_FRONT_AND_BACK;
  EXPECT_EQ(gl.CallsOf([] { ResetMaterialColorCache(); }),
            (TTexts{GLCallText("glMaterialfv", both, GL_AMBIENT, "ptr"), GLCallText("glMaterialfv", both, GL_DIFFUSE, "ptr"),
                    GLCallText("glMaterialfv", both, GL_SPECULAR, "ptr"),
                    GLCallText("glMaterialfv", both, GL_EMISSION, "ptr"),
                    GLCallText("glMateriali", both, GL_SHININESS, 0)}));
  // Every colour goes again; the shininess of 0 the reset sent is known.
  gl.Clear();
  CacheMaterialColors(GL_FRONT, BLACK, GREY, LIGHT, BLACK, 0);
  EXPECT_EQ(gl.Count("glMaterialfv"), 4);
  EXPECT_EQ(gl.Count("glMateriali"), 0);
}

TEST_F(GLStateCacheTest, MaterialAlphaNeedsAKnownDiffuseColour) {
  // Right after a reset the cache holds the impossible colour, which must never be drawn with.
  ResetMaterialColorCache();
  gl.Clear();
  try {
    CacheMaterialAlpha(GL_FRONT, 0.5f);
    ADD_FAILURE() << "an unknown diffuse colour was sent";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Unit(), "GLStateCache");
  }
  EXPECT_EQ(gl.Count("glMaterialfv"), 0);

  CacheMaterialColors(GL_FRONT, BLACK, GREY, LIGHT, BLACK, 0);
  EXPECT_EQ(gl.CallsOf([] { CacheMaterialAlpha(GL_FRONT, 0.5f); }),
            (TTexts{GLCallText("glMaterialfv", GL_FRONT, GL_DIFFUSE, "ptr")}));
  EXPECT_EQ(gl.CallsOf([] { CacheMaterialAlpha(GL_FRONT, 0.5f); }), TTexts{});
  // The cache knows the new alpha: the opaque colour differs again.
  EXPECT_EQ(gl.CallsOf([] { CacheMaterialColors(GL_FRONT, BLACK, GREY, LIGHT, BLACK, 0); }).size(), 1u);
}

TEST_F(GLStateCacheTest, TextureBindingsAreCachedPerUnitAndTarget) {
  EXPECT_THROW(BindTextureCached(8, GL_TEXTURE_2D, 1), ERangeError);
  EXPECT_THROW(BindTextureCached(-1, GL_TEXTURE_2D, 1), ERangeError);
  EXPECT_EQ(gl.CallsOf([] { BindTextureCached(0, GL_TEXTURE_2D, 3); }),
            (TTexts{GLCallText("glBindTexture", GL_TEXTURE_2D, 3)}));
  EXPECT_EQ(gl.CallsOf([] { BindTextureCached(0, GL_TEXTURE_2D, 3); }), TTexts{});
  EXPECT_EQ(gl.CallsOf([] { BindTextureCached(1, GL_TEXTURE_2D, 3); }).size(), 1u);
  // Unbinding the cube map leaves texture 3 on the 2D target of unit 0: unbinding
  // that one must still reach GL.
  EXPECT_EQ(gl.CallsOf([] { BindTextureCached(0, GL_TEXTURE_CUBE_MAP, 0); }).size(), 1u);
  EXPECT_EQ(gl.CallsOf([] { BindTextureCached(0, GL_TEXTURE_2D, 0); }),
            (TTexts{GLCallText("glBindTexture", GL_TEXTURE_2D, 0)}));
  ResetTextureBindingCache();
  EXPECT_EQ(gl.CallsOf([] { BindTextureCached(0, GL_TEXTURE_2D, 0); }).size(), 1u);
}

TEST_F(GLStateCacheTest, ANewTextureWithADeletedTexturesNameIsBound) {
  TFakeGLContext context;
  context.CreateContext(0);
  context.Activate();
  auto first = std::make_unique<TGLTextureHandle>();
  first->AllocateHandle();
  BindTextureCached(0, GL_TEXTURE_2D, first->Handle());
  first.reset();
  gl.NextTextureName = 1;  // GL hands the freed name out again
  TGLTextureHandle second;
  second.AllocateHandle();
  ASSERT_EQ(second.Handle(), 1u);
  EXPECT_EQ(gl.CallsOf([&] { BindTextureCached(0, GL_TEXTURE_2D, second.Handle()); }),
            (TTexts{GLCallText("glBindTexture", GL_TEXTURE_2D, 1)}));
  context.Deactivate();
}

TEST_F(GLStateCacheTest, MakingAContextCurrentForgetsTheOtherContextsState) {
  TFakeGLContext context;
  context.CreateContext(0);
  BindTextureCached(0, GL_TEXTURE_2D, 4);
  SetPolygonModeCached(GL_FRONT, GL_FILL);
  context.Activate();
  gl.Clear();
  BindTextureCached(0, GL_TEXTURE_2D, 4);
  SetPolygonModeCached(GL_FRONT, GL_FILL);
  EXPECT_EQ(gl.Count("glBindTexture") + gl.Count("glPolygonMode"), 2);
  context.Deactivate();
}

TEST_F(GLStateCacheTest, TextureMatrixAndFrontFace) {
  EXPECT_EQ(gl.CallsOf([] { LoadTextureMatrixCached(IdentityHmgMatrix); }),
            (TTexts{GLCallText("glMatrixMode", GL_TEXTURE), "glLoadMatrixf(ptr)", GLCallText("glMatrixMode", GL_MODELVIEW)}));
  EXPECT_EQ(gl.CallsOf([] { ResetTextureMatrixCache(); }),
            (TTexts{GLCallText("glMatrixMode", GL_TEXTURE), "glLoadIdentity()", GLCallText("glMatrixMode", GL_MODELVIEW)}));
  EXPECT_EQ(gl.CallsOf([] { ResetTextureMatrixCache(); }), TTexts{});
  EXPECT_EQ(gl.CallsOf([] {
              FlipFrontFace();
              FlipFrontFace();
              FlipFrontFace();
              ResetFrontFaceCache();
            }),
            (TTexts{GLCallText("glFrontFace", GL_CW), GLCallText("glFrontFace", GL_CCW), GLCallText("glFrontFace", GL_CW),
                    GLCallText("glFrontFace", GL_CCW)}));
}

TEST_F(GLStateCacheTest, EnableStatesFollowTheCallersSet) {
  const GLenum values[GL_STATE_COUNT] = {0x0BC0, 0x0D80, 0x0BE2, 0x0B57, 0x0B44, 0x0B71, 0x0BD0,
                                         0x0B60, 0x0B50, 0x0B20, 0x0B24, 0x0BF1, 0x0BA1, 0x0B10,
                                         0x0B41, 0x0B42, 0x0C11, 0x0B90, 0x0DE0, 0x0DE1, 0x8513};
  for (int i = 0; i < GL_STATE_COUNT; ++i) EXPECT_EQ(GLStateValue(TGLState(i)), values[i]) << "state " << i;
  EXPECT_THROW(GLStateValue(TGLState(GL_STATE_COUNT)), ERangeError);

  TGLStates states = 0;
  EXPECT_EQ(gl.CallsOf([&] {
              EnableGLState(states, stBlend);
              EnableGLState(states, stBlend);
              DisableGLState(states, stFog);  // known off
              DisableGLState(states, stBlend);
              DisableGLState(states, stBlend);
            }),
            (TTexts{GLCallText("glEnable", GL_BLEND), GLCallText("glDisable", GL_BLEND)}));
  EnableGLState(states, stTextureCubeMap);
  EXPECT_EQ(states, GLStateBit(stTextureCubeMap));
}

TEST_F(GLStateCacheTest, ACompiledListHoldsEveryChangeAndChangesNothingNow) {
  TGLStates states = 0;
  BindTextureCached(0, GL_TEXTURE_2D, 5);
  EnableGLState(states, stBlend);
  SetPolygonModeCached(GL_FRONT_AND_BACK, GL_FILL);
  TGLListStateEffect effect;
  EXPECT_EQ(gl.CallsOf([&] {
              TGLListCompilation list(1, GL_COMPILE, effect, states);
              EXPECT_TRUE(CompilingGLList());
              BindTextureCached(0, GL_TEXTURE_2D, 5);  // bound now, but the list must bind it itself
              EnableGLState(states, stBlend);
              SetPolygonModeCached(GL_FRONT_AND_BACK, GL_FILL);
              BindTextureCached(0, GL_TEXTURE_2D, 5);  // the list binds it already
              FlipFrontFace();
              FlipFrontFace();
            }),
            (TTexts{GLCallText("glNewList", 1, GL_COMPILE), GLCallText("glBindTexture", GL_TEXTURE_2D, 5),
                    GLCallText("glEnable", GL_BLEND), GLCallText("glPolygonMode", GL_FRONT_AND_BACK, GL_FILL),
                    GLCallText("glFrontFace", GL_CW), GLCallText("glFrontFace", GL_CCW), "glEndList()"}));
  EXPECT_FALSE(CompilingGLList());
  EXPECT_EQ(states, GLStateBit(stBlend));
  EXPECT_EQ(gl.CallsOf([&] {
              BindTextureCached(0, GL_TEXTURE_2D, 5);
              EnableGLState(states, stBlend);
              SetPolygonModeCached(GL_FRONT_AND_BACK, GL_FILL);
            }),
            TTexts{});
}

TEST_F(GLStateCacheTest, CallingAListLeavesTheCachesWhereTheListLeftGL) {
  TGLStates states = 0;
  TGLListStateEffect effect, empty;
  {
    TGLListCompilation list(1, GL_COMPILE, effect, states);
    BindTextureCached(0, GL_TEXTURE_2D, 7);
    DisableGLState(states, stLighting);
    EnableGLState(states, stBlend);
    FlipFrontFace();
  }
  { TGLListCompilation list(2, GL_COMPILE, empty, states); }
  EXPECT_FALSE(effect.Empty());
  EXPECT_TRUE(empty.Empty());

  EnableGLState(states, stLighting);
  BindTextureCached(0, GL_TEXTURE_2D, 5);
  CallListCached(1, effect, states);
  EXPECT_EQ(states, GLStateBit(stBlend));
  EXPECT_EQ(gl.CallsOf([&] {
              BindTextureCached(0, GL_TEXTURE_2D, 7);
              EnableGLState(states, stBlend);
              BindTextureCached(0, GL_TEXTURE_2D, 5);
              EnableGLState(states, stLighting);
              FlipFrontFace();  // the list left clockwise winding
            }),
            (TTexts{GLCallText("glBindTexture", GL_TEXTURE_2D, 5), GLCallText("glEnable", GL_LIGHTING),
                    GLCallText("glFrontFace", GL_CCW)}));

  // A list called inside another becomes part of it.
  TGLListStateEffect outer;
  gl.Clear();
  {
    TGLListCompilation list(3, GL_COMPILE, outer, states);
    CallListCached(1, effect, states);
    BindTextureCached(0, GL_TEXTURE_2D, 7);  // list 1 has bound it
    EXPECT_THROW(TGLListCompilation(4, GL_COMPILE, empty, states), EAssertionFailed);
  }
  EXPECT_EQ(gl.Texts(), (TTexts{GLCallText("glNewList", 3, GL_COMPILE), GLCallText("glCallList", 1), "glEndList()"}));
  EXPECT_EQ(states, GLStateBit(stBlend) | GLStateBit(stLighting));
  CallListCached(3, outer, states);
  EXPECT_EQ(states, GLStateBit(stBlend));

  // Compiled and executed at once: the caches follow right away.
  {
    TGLListCompilation list(5, GL_COMPILE_AND_EXECUTE, empty, states);
    BindTextureCached(0, GL_TEXTURE_2D, 9);
    EnableGLState(states, stFog);
  }
  EXPECT_EQ(states, GLStateBit(stBlend) | GLStateBit(stFog));
  EXPECT_EQ(gl.CallsOf([] { BindTextureCached(0, GL_TEXTURE_2D, 9); }), TTexts{});
}

}  // namespace
