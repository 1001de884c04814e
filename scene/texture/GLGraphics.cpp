#include "scene/texture/GLGraphics.h"

#include "scene/GLMisc.h"
#include "scene/texture/Picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

const std::array<std::uint8_t, 256>& SqrtTable() {
  static const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(std::trunc(std::sqrt(i / 255.0) * 255.0));
    return t;
  }();
  return table;
}

int RoundUpToMultipleOf4(int value) { return value % 4 == 0 ? value : CheckedAdd(value, 4 - value % 4); }

[[noreturn]] void RaiseGLUError(GLint code) { throw EOpenGLError(GLErrorText(static_cast<GLenum>(code))); }

}  // namespace

void TGLBitmap32::SetWidth(int value) {
  BRV_ASSERT_MSG(value >= 0, "TGLBitmap32::SetWidth(): negative width " + std::to_string(value));
  value = RoundUpToMultipleOf4(value);
  if (value != FWidth) Resize(value, FHeight);
}

void TGLBitmap32::SetHeight(int value) {
  if (value == FHeight) return;
  BRV_ASSERT_MSG(value >= 0, "TGLBitmap32::SetHeight(): negative height " + std::to_string(value));
  Resize(FWidth, value);
}

void TGLBitmap32::Resize(int width, int height) {
  const int dataSize = CheckedMul(CheckedMul(width, height), 4);
  FData.resize(static_cast<std::size_t>(dataSize));
  FWidth = width;
  FHeight = height;
}

void TGLBitmap32::Assign(const TPersistent* source) {
  if (source == nullptr) {
    FData.clear();
    FData.shrink_to_fit();
    FWidth = FHeight = 0;
  } else if (auto* other = dynamic_cast<const TGLBitmap32*>(source)) {
    if (other == this) return;
    FData = other->FData;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
  } else if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    if (bitmap->Width() % 4 == 0 && bitmap->PixelFormat() == pf24bit) {
      AssignFromRGBBitmap(*bitmap);
    } else if (bitmap->Width() % 4 == 0 && bitmap->PixelFormat() == pf32bit) {
      AssignFromRGBABitmap(*bitmap);
    } else {
      // Palette pictures and widths GL cannot take row by row go through a 24-bit
      // copy whose width is the next multiple of 4, the picture stretched over it.
      TBitmap copy(RoundUpToMultipleOf4(bitmap->Width()), bitmap->Height(), pf24bit);
      copy.StretchDraw(*bitmap);
      AssignFromRGBBitmap(copy);
    }
  } else {
    TPersistent::Assign(source);
  }
}

void TGLBitmap32::AssignRows(const TBitmap& bitmap, TPixelFormat format, const char* method) {
  const std::string where = std::string("TGLBitmap32::") + method + "(): ";
  BRV_ASSERT_MSG(bitmap.PixelFormat() == format,
                 where + "the bitmap is not " + (format == pf24bit ? "24-bit" : "32-bit"));
  BRV_ASSERT_MSG(bitmap.Width() % 4 == 0, where + "width " + std::to_string(bitmap.Width()) + " is not a multiple of 4");
  Resize(bitmap.Width(), bitmap.Height());
  const int bytesPerPixel = bitmap.BytesPerPixel();
  // The buffer's last row takes the picture's top row, unless reversed. Blue,
  // green, red become red, green, blue; a 24-bit pixel is opaque.
  for (int y = 0; y < FHeight; ++y) {
    const int sourceRow = VerticalReverseOnAssignFromBitmap ? FHeight - 1 - y : y;
    const std::uint8_t* src = bitmap.ScanLine(sourceRow);
    std::uint8_t* dst = FData.data() + std::size_t(FHeight - 1 - y) * std::size_t(FWidth) * 4;
    for (int x = 0; x < FWidth; ++x, src += bytesPerPixel, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = bytesPerPixel == 4 ? src[3] : 255;
    }
  }
}

void TGLBitmap32::AssignFromRGBBitmap(const TBitmap& bitmap) { AssignRows(bitmap, pf24bit, "AssignFromRGBBitmap"); }

void TGLBitmap32::AssignFromRGBABitmap(const TBitmap& bitmap) { AssignRows(bitmap, pf32bit, "AssignFromRGBABitmap"); }

void TGLBitmap32::AlphaFromIntensity() {
  for (std::size_t i = 0; i < FData.size(); i += 4)
    FData[i + 3] = static_cast<std::uint8_t>((FData[i] + FData[i + 1] + FData[i + 2]) / 3);
}

void TGLBitmap32::AlphaFromIntensitySqrt() {
  const auto& table = SqrtTable();
  for (std::size_t i = 0; i < FData.size(); i += 4) FData[i + 3] = table[(FData[i] + FData[i + 1] + FData[i + 2]) / 3];
}

void TGLBitmap32::AlphaFromColorKey(TColorValue color) {
  const std::uint8_t r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
  for (std::size_t i = 0; i < FData.size(); i += 4)
    FData[i + 3] = (FData[i] == r && FData[i + 1] == g && FData[i + 2] == b) ? 0 : 255;
}

void TGLBitmap32::AlphaToConstant(std::uint8_t value) {
  for (std::size_t i = 0; i < FData.size(); i += 4) FData[i + 3] = value;
}

void TGLBitmap32::UploadAsTexture(GLenum target, TGLMinFilter minFilter, GLint internalFormat, int& width,
                                  int& height) const {
  if (FData.empty()) return;
  int w = NextPowerOfTwo(FWidth);
  int h = NextPowerOfTwo(FHeight);
  GLint maxSize = 0;
  GL->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  // A driver that answers nothing sets no limit.
  if (maxSize > 0) {
    w = std::min(w, maxSize);
    h = std::min(h, maxSize);
  }
  width = w;
  height = h;

  std::vector<std::uint8_t> scratch;
  const std::uint8_t* pixels = FData.data();
  if (w != FWidth || h != FHeight) {
    scratch.resize(std::size_t(w) * std::size_t(h) * 4);
    const GLint result = GL->gluScaleImage(GL_RGBA, FWidth, FHeight, GL_UNSIGNED_BYTE, FData.data(), w, h,
                                           GL_UNSIGNED_BYTE, scratch.data());
    if (result != 0) RaiseGLUError(result);
    pixels = scratch.data();
  }

  UploadTexturePixels(target, minFilter, internalFormat, w, h, pixels);
}

void UploadTexturePixels(GLenum target, TGLMinFilter minFilter, GLint internalFormat, int width, int height,
                         const std::uint8_t* pixels) {
  if (minFilter == miNearest || minFilter == miLinear) {
    GL->glTexImage2D(target, 0, internalFormat, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  } else {
    // Built by GLU, also where the driver could generate them: a driver that
    // renders the mipmaps may keep the texture's storage after the texture is
    // deleted (llvmpipe holds it in its queued scenes until the context goes),
    // and pictures that come and go would keep hundreds of megabytes.
    const GLint result =
        GL->gluBuild2DMipmaps(target, internalFormat, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    if (result != 0) RaiseGLUError(result);
  }
}
