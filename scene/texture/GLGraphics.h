#pragma once
// TGLBitmap32, the pixel buffer through which every texture image reaches GL:
// red, green, blue and alpha bytes per pixel, rows stored bottom row first as GL
// expects. It takes its pixels from pictures, computes alpha in several ways and
// uploads itself as the image of the bound texture, scaled to powers of two.

#include "base/ClassRegistry.h"
#include "base/GLCrossPlatform.h"
#include "scene/gl/OpenGLBinding.h"
#include "scene/texture/Picture.h"

#include <cstdint>
#include <vector>

// How a texture is minified; the first two values build no mipmaps.
enum TGLMinFilter : std::uint8_t {
  miNearest, miLinear, miNearestMipmapNearest, miLinearMipmapNearest, miNearestMipmapLinear, miLinearMipmapLinear
};

class TGLBitmap32 : public TPersistent {
  BRV_CLASS(TGLBitmap32, TPersistent)

public:
  TGLBitmap32() = default;

  // Pixels per row, always a multiple of 4: a value that is not is rounded up.
  // Changing a size keeps the old bytes up to the smaller size; new bytes are 0.
  // A negative size is an assertion failure; one whose bytes overflow 32 bits,
  // the overflow error.
  int Width() const { return FWidth; }
  void SetWidth(int value);
  int Height() const { return FHeight; }
  void SetHeight(int value);
  // Width x Height x 4 (the setters keep it within int).
  int DataSize() const { return static_cast<int>(FData.size()); }
  bool IsEmpty() const { return FWidth == 0 || FHeight == 0; }
  // Pixel (x, y) at byte 4 x (y x Width + x): red, green, blue, alpha; row 0 is the
  // bottom row of the picture.
  std::uint8_t* Data() { return FData.data(); }
  const std::uint8_t* Data() const { return FData.data(); }

  // Set: the picture's top row goes to row 0 instead of its bottom row.
  bool VerticalReverseOnAssignFromBitmap = false;

  // Null empties the buffer; another TGLBitmap32 is copied; a 24- or 32-bit TBitmap
  // whose width is a multiple of 4 is converted directly; any other TBitmap through
  // a 24-bit copy whose width is rounded up to a multiple of 4 (the picture stretched
  // over it). Other sources go to TPersistent::Assign.
  void Assign(const TPersistent* source) override;
  // Each source pixel blue, green, red becomes red, green, blue, 255. The bitmap
  // must be pf24bit with a width that is a multiple of 4 (assertion).
  void AssignFromRGBBitmap(const TBitmap& bitmap);
  // The same for pf32bit: blue, green, red, alpha becomes red, green, blue, alpha.
  void AssignFromRGBABitmap(const TBitmap& bitmap);

  // A := (R + G + B) div 3.
  void AlphaFromIntensity();
  // A := SqrtTable[(R + G + B) div 3], SqrtTable[i] = trunc(sqrt(i / 255) x 255).
  void AlphaFromIntensitySqrt();
  // A := 0 where red, green and blue equal those of `color`, 255 elsewhere.
  void AlphaFromColorKey(TColorValue color);
  void AlphaToConstant(std::uint8_t value);

  // Uploads the buffer as level 0 (and mipmaps unless minFilter is miNearest or
  // miLinear) of the texture bound to `target`, scaled to powers of two no larger
  // than GL_MAX_TEXTURE_SIZE; `width` and `height` receive the uploaded size.
  // Nothing when the buffer is empty. A GLU failure raises EOpenGLError.
  void UploadAsTexture(GLenum target, TGLMinFilter minFilter, GLint internalFormat, int& width, int& height) const;

private:
  void Resize(int width, int height);
  void AssignRows(const TBitmap& bitmap, TPixelFormat format, const char* method);

  std::vector<std::uint8_t> FData;
  int FWidth = 0;
  int FHeight = 0;
};

// Uploads width x height RGBA bytes (bottom row first) as level 0 of the texture
// bound to `target`, with the mipmaps `minFilter` needs, built by GLU. A GLU
// failure raises EOpenGLError.
void UploadTexturePixels(GLenum target, TGLMinFilter minFilter, GLint internalFormat, int width, int height,
                         const std::uint8_t* pixels);
