// Real contexts on Mesa's software rasteriser, off-screen.

#include "scene/gl/GLEGLContext.h"

#include "tests/scene/support/OffscreenGL.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(EGLContext, PbufferContextClearsAndDrawsATriangle) {
  TOffscreenGL gl(32, 32);
  EXPECT_TRUE(gl.Context().IsPbuffer());
  EXPECT_GE(gl.Context().PixelFormatInfo().DepthBits, 24);
  EXPECT_GE(gl.Context().PixelFormatInfo().AlphaBits, 8);
  EXPECT_EQ(gl.Context().Acceleration(), chaSoftware);
  EXPECT_TRUE(GL->VERSION_1_1());
  EXPECT_TRUE(GL->WS_pbuffer);

  GL->glViewport(0, 0, 32, 32);
  GL->glClearColor(1, 0, 0, 1);
  GL->glClear(GL_COLOR_BUFFER_BIT);
  GL->glMatrixMode(GL_PROJECTION);
  GL->glLoadIdentity();
  GL->glMatrixMode(GL_MODELVIEW);
  GL->glLoadIdentity();
  // Lower-left half of the square, in green.
  GL->glColor3f(0, 1, 0);
  GL->glBegin(GL_TRIANGLES);
  GL->glVertex2f(-1, -1);
  GL->glVertex2f(1, -1);
  GL->glVertex2f(-1, 1);
  GL->glEnd();
  RaiseOnGLError();
  EXPECT_EQ(gl.Pixel(4, 4), (TRGBA{0, 255, 0, 255}));
  EXPECT_EQ(gl.Pixel(28, 28), (TRGBA{255, 0, 0, 255}));
  std::vector<std::uint8_t> all = gl.ReadPixels();
  EXPECT_EQ(all.size(), 32u * 32u * 4u);
}

TEST(EGLContext, TextureOutlivesTheContextThatMadeIt) {
  TOffscreenGL first(8, 8);
  TGLEGLContext second;
  second.CreateMemoryContext(0, 8, 8);
  first.Context().ShareLists(second);

  TGLTextureHandle texture;
  texture.AllocateHandle();
  const std::uint8_t blue[4] = {0, 0, 255, 255};
  GL->glBindTexture(GL_TEXTURE_2D, texture.Handle());
  GL->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, blue);
  RaiseOnGLError();
  GLuint name = texture.Handle();

  first.Context().DestroyContext();
  EXPECT_EQ(texture.RenderingContext(), &second);
  EXPECT_EQ(texture.Handle(), name);

  second.Activate();
  EXPECT_EQ(GL->glIsTexture(name), GL_TRUE);
  std::uint8_t read[4] = {};
  GL->glBindTexture(GL_TEXTURE_2D, name);
  GL->glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read);
  EXPECT_EQ(std::vector<std::uint8_t>(read, read + 4), std::vector<std::uint8_t>(blue, blue + 4));
  second.Deactivate();

  // The last context of the group deletes it.
  second.DestroyContext();
  EXPECT_EQ(texture.Handle(), 0u);
}

// The program opens the display on a thread of its own while it builds its windows;
// the contexts that the window thread makes afterwards are desktop GL all the same.
TEST(EGLContext, DisplayOpenedOnAnotherThreadGivesDesktopGLContexts) {
  UseSoftwareRasteriser();
  std::thread(OpenEGLDisplay).join();
  TGLEGLContext context;
  context.CreateMemoryContext(0, 4, 4);
  context.Activate();
  EXPECT_TRUE(GL->VERSION_1_1());
  GL->glClearColor(0, 0, 1, 1);
  GL->glClear(GL_COLOR_BUFFER_BIT);
  std::uint8_t pixel[4] = {};
  GL->glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  RaiseOnGLError();
  EXPECT_EQ(std::vector<std::uint8_t>(pixel, pixel + 4), (std::vector<std::uint8_t>{0, 0, 255, 255}));
  context.Deactivate();
}

TEST(EGLContext, ContextsMadeApartShareOnceJoined) {
  UseSoftwareRasteriser();
  TGLEGLContext a, b;
  a.CreateMemoryContext(0, 4, 4);
  b.CreateMemoryContext(0, 4, 4);
  a.Activate();
  TGLListHandle list;
  list.AllocateHandle();
  GL->glNewList(list.Handle(), GL_COMPILE);
  GL->glEndList();
  a.Deactivate();
  // Joined only now: the list made in a is visible in b.
  a.ShareLists(b);
  b.Activate();
  EXPECT_EQ(GL->glIsList(list.Handle()), GL_TRUE);
  b.Deactivate();
  EXPECT_THROW(a.CreateMemoryContext(0, 4, 4), EGLContext);
}

TEST(EGLContext, DriverFormatsFeedTheChooser) {
  UseSoftwareRasteriser();
  std::vector<TPixelFormatInfo> formats = EGLPixelFormats();
  ASSERT_FALSE(formats.empty());
  TPixelFormatSettings s;  // what a context asks by default, with depth and stencil
  s.ColorBits = 32;
  s.DepthBits = 24;
  s.StencilBits = 8;
  int index = ChoosePixelFormatStrict(s, false, formats);
  ASSERT_GE(index, 0);
  EXPECT_TRUE(formats[static_cast<std::size_t>(index)].Pbuffer);
  EXPECT_GE(formats[static_cast<std::size_t>(index)].StencilBits, 8);

  TGLEGLContext context;
  context.SetStencilBits(8);
  context.SetDepthBits(24);
  context.CreateMemoryContext(0, 4, 4);
  EXPECT_EQ(context.PixelFormat(), formats[static_cast<std::size_t>(index)].Id);
  context.DestroyContext();
  EXPECT_EQ(context.PixelFormat(), 0);
}

TEST(EGLContext, ManagerMakesEGLContextsAndRefusesImpossibleFormats) {
  UseSoftwareRasteriser();
  std::unique_ptr<TGLContext> made = GLContextManager()->CreateContext();
  ASSERT_NE(dynamic_cast<TGLEGLContext*>(made.get()), nullptr);
  made->SetAccumBits(16);  // no driver format has an accumulation buffer
  try {
    made->CreateMemoryContext(0, 4, 4);
    FAIL();
  } catch (const EGLContext& e) {
    EXPECT_STREQ(e.what(), "Format not supported for pbuffer operation.");
  }
  EXPECT_FALSE(made->IsValid());
  EXPECT_EQ(made->SharedContexts().size(), 0u);
}

}  // namespace
