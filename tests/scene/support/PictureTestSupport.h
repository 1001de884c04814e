#pragma once
// Pictures for the picture and texture tests and the fuzz seeds: bitmaps with
// known pixels, written as BMP files by our writer and as JPEG files by libjpeg
// itself.

#include "scene/texture/Picture.h"

#include <string>
#include <vector>

// A bitmap whose pixel (x, y) has blue x * 40, green y * 50, red 200 (alpha 255 - x).
inline void FillPattern(TBitmap& bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      std::uint8_t* p = bitmap.ScanLine(y) + x * bitmap.BytesPerPixel();
      if (bitmap.PixelFormat() == pf8bit) {
        p[0] = static_cast<std::uint8_t>((x + y) % 3);
        continue;
      }
      p[0] = static_cast<std::uint8_t>(x * 40);
      p[1] = static_cast<std::uint8_t>(y * 50);
      p[2] = 200;
      if (bitmap.PixelFormat() == pf32bit) p[3] = static_cast<std::uint8_t>(255 - x);
    }
  bitmap.Palette()[0] = {10, 20, 30, 0};
  bitmap.Palette()[1] = {40, 50, 60, 0};
  bitmap.Palette()[2] = {70, 80, 90, 0};
}

// The BMP file of `bitmap`, as our writer makes it.
inline std::string BmpBytes(const TBitmap& bitmap) {
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return stream.Bytes();
}

// One row of red, green, blue triples per string.
using TRgbRows = std::vector<std::vector<std::uint8_t>>;

// A JPEG file made by libjpeg from top-down rows of RGB triples (or grey bytes
// when `components` is 1), at the best quality.
std::string JpegBytes(int width, int height, const TRgbRows& rows, int components = 3);

inline void WriteFileBytes(const std::string& fileName, const std::string& bytes) {
  TFileStream file(fileName, TFileMode::Create);
  file.WriteBuffer(bytes.data(), bytes.size());
}
