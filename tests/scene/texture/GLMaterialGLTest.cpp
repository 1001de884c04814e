// A lit, textured quad drawn through a library material by a real GL (Mesa,
// off-screen) and read back.

#include "scene/texture/GLMaterial.h"

#include "scene/gl/XOpenGL.h"
#include "tests/scene/support/OffscreenGL.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Each channel within 2 of the expected value (Mesa rounds lighting its own way).
void ExpectPixelNear(const TRGBA& actual, const TRGBA& expected) {
  for (int i = 0; i < 3; ++i) EXPECT_LE(std::abs(int(actual[i]) - int(expected[i])), 2) << "channel " << i;
}

TEST(GLMaterialGL, TheLightModulatesTheTextureAndATransparentMaterialBlends) {
  TOffscreenGL screen(8, 8);
  InvalidateGLStateCaches();
  // A directional light straight on the quad; no ambient light anywhere.
  const GLfloat none[] = {0, 0, 0, 1};
  const GLfloat towardsViewer[] = {0, 0, 1, 0};
  GL->glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  GL->glLightfv(GL_LIGHT0, GL_POSITION, towardsViewer);
  GL->glEnable(GL_LIGHT0);
  TRenderContextInfo rci;
  EnableGLState(rci.GLStates, stLighting);

  // Left half red, right half white.
  TGLMaterialLibrary library(nullptr);
  TGLLibMaterial& item = library.AddTexturedMaterial("checker", "");
  TBitmap picture(2, 1, pf24bit);
  const std::uint8_t pixels[] = {0, 0, 255, 255, 255, 255};
  std::copy(pixels, pixels + 6, picture.ScanLine(0));
  TGLTexture& texture = item.Material().Texture();
  texture.Image().Assign(&picture);
  texture.SetMinFilter(miNearest);
  texture.SetMagFilter(maNearest);
  item.Material().FrontProperties().Diffuse().SetColor({0.5f, 0.5f, 0.5f, 1});
  TGLMaterial material(nullptr);
  material.SetMaterialLibrary(&library);
  material.SetLibMaterialName("checker");

  auto frame = [&](float lightIntensity) {
    const GLfloat diffuse[] = {lightIntensity, lightIntensity, lightIntensity, 1};
    GL->glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    GL->glClearColor(0, 0, 1, 1);
    GL->glClear(GL_COLOR_BUFFER_BIT);
    material.Apply(rci);
    GL->glBegin(GL_QUADS);
    GL->glNormal3f(0, 0, 1);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
      xglTexCoord2f(c[0], c[1]);
      GL->glVertex2f(c[0] * 2 - 1, c[1] * 2 - 1);
    }
    GL->glEnd();
    const bool blending = GL->glIsEnabled(GL_BLEND);
    while (material.UnApply(rci)) {
    }
    RaiseOnGLError();
    return blending;
  };

  EXPECT_FALSE(frame(1));
  ExpectPixelNear(screen.Pixel(1, 4), {128, 0, 0, 255});
  ExpectPixelNear(screen.Pixel(6, 4), {128, 128, 128, 255});
  frame(0.5f);
  ExpectPixelNear(screen.Pixel(1, 4), {64, 0, 0, 255});
  ExpectPixelNear(screen.Pixel(6, 4), {64, 64, 64, 255});

  // Half transparent over the blue background.
  item.Material().SetBlendingMode(bmTransparency);
  item.Material().FrontProperties().Diffuse().SetAlpha(0.5f);
  EXPECT_TRUE(frame(1));
  ExpectPixelNear(screen.Pixel(1, 4), {64, 0, 128, 255});
  ExpectPixelNear(screen.Pixel(6, 4), {64, 64, 192, 255});
}

}  // namespace
