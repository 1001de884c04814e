#pragma once
// A real rendering context off-screen: a pixel buffer on the EGL display,
// drawn by Mesa's software rasteriser, active on the calling thread while the
// object lives, with a way to read its pixels back.
//
//   TOffscreenGL gl(64, 64);
//   GL->glClearColor(1, 0, 0, 1);
//   GL->glClear(GL_COLOR_BUFFER_BIT);
//   EXPECT_EQ(gl.Pixel(10, 10), (TRGBA{255, 0, 0, 255}));

#include "scene/gl/GLEGLContext.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

using TRGBA = std::array<std::uint8_t, 4>;

// Makes later contexts render in software (call before the first context).
void UseSoftwareRasteriser();

class TOffscreenGL {
public:
  // A width × height pixel buffer with 8-bit RGBA and a 24-bit depth buffer,
  // made and activated. Raises when no context can be made.
  TOffscreenGL(int width, int height);
  ~TOffscreenGL();

  TGLEGLContext& Context() { return *FContext; }
  // Hands the context, still active, to a new owner; the pixels are still read
  // from whatever context is current.
  std::unique_ptr<TGLEGLContext> TakeContext() { return std::move(FContext); }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

  // The whole buffer as RGBA bytes, bottom row first (after glFinish).
  std::vector<std::uint8_t> ReadPixels() const;
  // One pixel; (0, 0) is the bottom-left corner.
  TRGBA Pixel(int x, int y) const;

private:
  std::unique_ptr<TGLEGLContext> FContext;
  int FWidth, FHeight;
};
