// The state caches against a real GL: what GL holds after the cached calls.

#include "scene/gl/GLStateCache.h"

#include "tests/scene/support/OffscreenGL.h"

#include <gtest/gtest.h>

namespace {

TVector Material(GLenum face, GLenum name) {
  TVector value{};
  GL->glGetMaterialfv(face, name, &value.x);
  return value;
}

void ExpectColor(const TVector& actual, const TVector& expected, const char* what) {
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(actual[i], expected[i]) << what << " component " << i;
}

TEST(GLStateCacheGL, MaterialResetAndAlphaReachGL) {
  TOffscreenGL gl(4, 4);
  CacheMaterialColors(GL_BACK, {0.5f, 0, 0, 1}, {0, 0.5f, 0, 1}, {0, 0, 0.5f, 1}, {0.5f, 0.5f, 0, 1}, 7);
  ResetMaterialColorCache();
  for (GLenum face : {GL_FRONT, GL_BACK}) {
    ExpectColor(Material(face, GL_AMBIENT), {0.2f, 0.2f, 0.2f, 1}, "ambient");
    ExpectColor(Material(face, GL_DIFFUSE), {0.8f, 0.8f, 0.8f, 1}, "diffuse");
    ExpectColor(Material(face, GL_SPECULAR), {0, 0, 0, 1}, "specular");
    ExpectColor(Material(face, GL_EMISSION), {0, 0, 0, 1}, "emission");
    EXPECT_EQ(Material(face, GL_SHININESS).x, 0);
  }
  CacheMaterialColors(GL_FRONT, {0, 0, 0, 1}, {0, 0, 0, 1}, {0.1f, 0.2f, 0.3f, 1}, {0, 0, 0, 1}, 5);
  CacheMaterialAlpha(GL_FRONT, 0.25f);
  ExpectColor(Material(GL_FRONT, GL_DIFFUSE), {0.1f, 0.2f, 0.3f, 0.25f}, "diffuse with alpha");
  EXPECT_EQ(Material(GL_FRONT, GL_SHININESS).x, 5);
  RaiseOnGLError();
}

TEST(GLStateCacheGL, AListBindsItsTextureWhateverWasBoundWhenItWasCompiled) {
  TOffscreenGL gl(4, 4);
  TGLTextureHandle a, b;
  a.AllocateHandle();
  b.AllocateHandle();
  TGLListHandle list;
  list.AllocateHandle();
  TGLStates states = 0;
  TGLListStateEffect effect;

  BindTextureCached(0, GL_TEXTURE_2D, a.Handle());
  {
    TGLListCompilation compile(list.Handle(), GL_COMPILE, effect, states);
    BindTextureCached(0, GL_TEXTURE_2D, a.Handle());
  }
  auto bound = [] {
    GLint name = -1;
    GL->glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return GLuint(name);
  };
  BindTextureCached(0, GL_TEXTURE_2D, b.Handle());
  EXPECT_EQ(bound(), b.Handle());
  CallListCached(list.Handle(), effect, states);
  EXPECT_EQ(bound(), a.Handle());
  BindTextureCached(0, GL_TEXTURE_2D, b.Handle());
  EXPECT_EQ(bound(), b.Handle());
  RaiseOnGLError();
}

}  // namespace
