#include "tests/scene/support/OffscreenGL.h"

#include <cstdlib>

void UseSoftwareRasteriser() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0); }

TOffscreenGL::TOffscreenGL(int width, int height)
    : FContext(std::make_unique<TGLEGLContext>()), FWidth(width), FHeight(height) {
  UseSoftwareRasteriser();
  FContext->SetColorBits(24);
  FContext->SetAlphaBits(8);
  FContext->SetDepthBits(24);
  FContext->CreateMemoryContext(0, width, height);
  FContext->Activate();
}

TOffscreenGL::~TOffscreenGL() {
  if (FContext && FContext->Active()) {
    try {
      FContext->SetActive(false);
    } catch (const std::exception& e) {
      LogGLProblem(e.what());
    }
  }
}

std::vector<std::uint8_t> TOffscreenGL::ReadPixels() const {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight) * 4);
  RealGLBinding().glFinish();
  RealGLBinding().glPixelStorei(GL_PACK_ALIGNMENT, 1);
  RealGLBinding().glReadPixels(0, 0, FWidth, FHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

TRGBA TOffscreenGL::Pixel(int x, int y) const {
  BRV_ASSERT(x >= 0 && x < FWidth && y >= 0 && y < FHeight);
  std::vector<std::uint8_t> pixels = ReadPixels();
  std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(x)) * 4;
  return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
}
