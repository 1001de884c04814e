#include "scene/gl/XOpenGL.h"

#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using TTexts = std::vector<std::string>;

const GLfloat V[4] = {1, 2, 3, 4};
const GLint MODE[1] = {GL_OBJECT_LINEAR};
constexpr GLenum UNIT0 = 0x84C0, UNIT1 = 0x84C1;

// One entry called once: the plain GL call it stands for, and what reaches texture unit 1.
struct TEntryCase {
  const char* Name;
  std::function<void()> Call;
  std::string Plain;
  TTexts Unit1;
};

// Unit 1 selected around a call, for the active unit or for the client's.
TTexts OnUnit1(const char* select, const std::string& call) {
  return {GLCallText(select, UNIT1), call, GLCallText(select, UNIT0)};
}

std::vector<TEntryCase> EntryCases() {
  const std::string genf = GLCallText("glTexGenf", GL_S, GL_TEXTURE_GEN_MODE, 1.5f);
  const std::string genfv = GLCallText("glTexGenfv", GL_S, GL_OBJECT_PLANE, "ptr");
  const std::string geni = GLCallText("glTexGeni", GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  const std::string geniv = GLCallText("glTexGeniv", GL_T, GL_TEXTURE_GEN_MODE, "ptr");
  const std::string enable = GLCallText("glEnable", GL_TEXTURE_GEN_S);
  const std::string disable = GLCallText("glDisable", GL_TEXTURE_GEN_S);
  const std::string pointer = GLCallText("glTexCoordPointer", 2, GL_FLOAT, 0, "ptr");
  const std::string enableArray = GLCallText("glEnableClientState", GL_TEXTURE_COORD_ARRAY);
  const std::string disableArray = GLCallText("glDisableClientState", GL_TEXTURE_COORD_ARRAY);
  return {
      {"2f", [] { xglTexCoord2f(1, 2); }, "glTexCoord2f(1, 2)", {GLCallText("glMultiTexCoord2fARB", UNIT1, 1, 2)}},
      {"2fv", [] { xglTexCoord2fv(V); }, "glTexCoord2fv(ptr)", {GLCallText("glMultiTexCoord2fvARB", UNIT1, "ptr")}},
      {"3f", [] { xglTexCoord3f(1, 2, 3); }, "glTexCoord3f(1, 2, 3)",
       {GLCallText("glMultiTexCoord3fARB", UNIT1, 1, 2, 3)}},
      {"3fv", [] { xglTexCoord3fv(V); }, "glTexCoord3fv(ptr)", {GLCallText("glMultiTexCoord3fvARB", UNIT1, "ptr")}},
      {"4f", [] { xglTexCoord4f(1, 2, 3, 4); }, "glTexCoord4f(1, 2, 3, 4)",
       {GLCallText("glMultiTexCoord4fARB", UNIT1, 1, 2, 3, 4)}},
      {"4fv", [] { xglTexCoord4fv(V); }, "glTexCoord4fv(ptr)", {GLCallText("glMultiTexCoord4fvARB", UNIT1, "ptr")}},
      {"TexGenf", [] { xglTexGenf(GL_S, GL_TEXTURE_GEN_MODE, 1.5f); }, genf, OnUnit1("glActiveTextureARB", genf)},
      {"TexGenfv", [] { xglTexGenfv(GL_S, GL_OBJECT_PLANE, V); }, genfv, OnUnit1("glActiveTextureARB", genfv)},
      {"TexGeni", [] { xglTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP); }, geni,
       OnUnit1("glActiveTextureARB", geni)},
      {"TexGeniv", [] { xglTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, MODE); }, geniv, OnUnit1("glActiveTextureARB", geniv)},
      {"Enable", [] { xglEnable(GL_TEXTURE_GEN_S); }, enable, OnUnit1("glActiveTextureARB", enable)},
      {"Disable", [] { xglDisable(GL_TEXTURE_GEN_S); }, disable, OnUnit1("glActiveTextureARB", disable)},
      {"TexCoordPointer", [] { xglTexCoordPointer(2, GL_FLOAT, 0, V); }, pointer,
       OnUnit1("glClientActiveTextureARB", pointer)},
      {"EnableClientState", [] { xglEnableClientState(GL_TEXTURE_COORD_ARRAY); }, enableArray,
       OnUnit1("glClientActiveTextureARB", enableArray)},
      {"DisableClientState", [] { xglDisableClientState(GL_TEXTURE_COORD_ARRAY); }, disableArray,
       OnUnit1("glClientActiveTextureARB", disableArray)},
  };
}

class XOpenGLTest : public ::testing::Test {
protected:
  XOpenGLTest() {
    gl.ARB_multitexture = true;
    XGLMapToNull();
  }
  ~XOpenGLTest() override { XGLMapToNull(); }

  TTexts CallsOf(const std::function<void()>& call) {
    gl.Clear();
    call();
    return gl.Texts();
  }

  TRecordingGL gl;
};

TEST_F(XOpenGLTest, EachMappingSendsEveryEntryWhereItBelongs) {
  const std::vector<TEntryCase> cases = EntryCases();
  ASSERT_EQ(cases.size(), 15u);
  struct TMode {
    const char* Name;
    void (*Map)();
    TXGLMapping Mapping;
    bool Plain, Unit1;
  };
  const TMode modes[] = {{"null", XGLMapToNull, xmNull, false, false},
                         {"main", XGLMapToMain, xmMain, true, false},
                         {"second", XGLMapToSecond, xmSecond, false, true},
                         {"dual", XGLMapToDual, xmDual, true, true}};
  for (const TMode& mode : modes) {
    mode.Map();
    EXPECT_EQ(XGLMapping(), mode.Mapping);
    for (const TEntryCase& entry : cases) {
      TTexts expected;
      if (mode.Plain) expected.push_back(entry.Plain);
      if (mode.Unit1) expected.insert(expected.end(), entry.Unit1.begin(), entry.Unit1.end());
      EXPECT_EQ(CallsOf(entry.Call), expected) << mode.Name << " mapping, entry " << entry.Name;
    }
  }
}

TEST_F(XOpenGLTest, UnitOneMappingsNeedMultitexture) {
  gl.ARB_multitexture = false;
  XGLMapToMain();
  for (void (*map)() : {XGLMapToSecond, XGLMapToDual}) {
    try {
      map();
      ADD_FAILURE() << "mapped to unit 1 without multitexture";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Unit(), "XOpenGL");
    }
    EXPECT_EQ(XGLMapping(), xmMain);
  }
}

TEST_F(XOpenGLTest, AnUpdateAppliesOnlyItsLastRequestAtItsEnd) {
  XGLMapToMain();
  XGLBeginUpdate();
  XGLMapToDual();
  XGLBeginUpdate();
  XGLMapToNull();
  XGLEndUpdate();
  EXPECT_EQ(XGLMapping(), xmMain);
  EXPECT_EQ(CallsOf([] { xglTexCoord2f(1, 2); }), (TTexts{"glTexCoord2f(1, 2)"}));
  XGLEndUpdate();
  EXPECT_EQ(XGLMapping(), xmNull);
  EXPECT_EQ(CallsOf([] { xglTexCoord2f(1, 2); }), TTexts{});

  // Back to where it started: nothing to re-map.
  XGLBeginUpdate();
  XGLMapToMain();
  XGLMapToNull();
  XGLEndUpdate();
  EXPECT_EQ(XGLMapping(), xmNull);

  EXPECT_THROW(XGLEndUpdate(), EAssertionFailed);
  XGLMapToMain();  // no update left open
  EXPECT_EQ(XGLMapping(), xmMain);
}

}  // namespace
