// Textures drawn by a real GL (Mesa, off-screen) and read back.

#include "scene/texture/GLTexture.h"

#include "scene/gl/XOpenGL.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/OffscreenGL.h"
#include "tests/scene/support/PictureTestSupport.h"

#include <gtest/gtest.h>

namespace {

class GLTextureGL : public ::testing::Test {
protected:
  void SetUp() override {
    SetGLLogSink([this](const std::string& text) { Logged.push_back(text); });
    InvalidateGLStateCaches();
    Texture.SetMinFilter(miNearest);
    Texture.SetMagFilter(maNearest);
    Texture.SetTextureMode(tmReplace);
    Texture.SetDisabled(false);
  }
  void TearDown() override { SetGLLogSink(nullptr); }

  // The whole view covered by one quad in `colour`, textured by the texture.
  void DrawQuad(const TVector& colour) {
    GL->glClearColor(0.5f, 0.5f, 0.5f, 1);
    GL->glClear(GL_COLOR_BUFFER_BIT);
    Texture.Apply(Rci);
    GL->glColor4fv(&colour.x);
    GL->glBegin(GL_QUADS);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
      xglTexCoord2f(c[0], c[1]);
      GL->glVertex2f(c[0] * 2 - 1, c[1] * 2 - 1);
    }
    GL->glEnd();
    Texture.UnApply(Rci);
    RaiseOnGLError();
  }

  TOffscreenGL Screen{8, 8};
  TGLTexture Texture{nullptr};
  TRenderContextInfo Rci;
  TScratchFolder Folder;
  std::vector<std::string> Logged;
};

TEST_F(GLTextureGL, APictureOfFourPixelsCoversTheQuadInItsFourCorners) {
  // Top row red and green, bottom row blue and white, as blue, green, red bytes.
  TBitmap picture(2, 2, pf24bit);
  const std::uint8_t rows[2][6] = {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}};
  for (int y = 0; y < 2; ++y) std::copy(rows[y], rows[y] + 6, picture.ScanLine(y));
  WriteFileBytes(Folder.File("four.bmp"), BmpBytes(picture));
  Texture.SetImageClassName("TGLPicFileImage");
  static_cast<TGLPicFileImage&>(Texture.Image()).SetPictureFileName(Folder.File("four.bmp"));

  DrawQuad({1, 1, 0, 1});
  EXPECT_EQ(Screen.Pixel(1, 6), (TRGBA{255, 0, 0, 255}));
  EXPECT_EQ(Screen.Pixel(6, 6), (TRGBA{0, 255, 0, 255}));
  EXPECT_EQ(Screen.Pixel(1, 1), (TRGBA{0, 0, 255, 255}));
  EXPECT_EQ(Screen.Pixel(6, 1), (TRGBA{255, 255, 255, 255}));

  // The file gone: the quad is drawn in its own colour, and the name stays.
  static_cast<TGLPicFileImage&>(Texture.Image()).SetPictureFileName(Folder.File("gone.bmp"));
  DrawQuad({1, 1, 0, 1});
  EXPECT_EQ(Screen.Pixel(3, 3), (TRGBA{255, 255, 0, 255}));
  EXPECT_EQ(Logged.size(), 1u);
}

TEST_F(GLTextureGL, ABlankImageIsTransparentBlack) {
  Texture.SetImageClassName("TGLBlankImage");
  static_cast<TGLBlankImage&>(Texture.Image()).SetWidth(4);
  static_cast<TGLBlankImage&>(Texture.Image()).SetHeight(4);
  DrawQuad({1, 1, 1, 1});
  EXPECT_EQ(Screen.Pixel(2, 5), (TRGBA{0, 0, 0, 0}));
  EXPECT_EQ(Texture.TexWidth(), 4);
}

}  // namespace
