#pragma once
// Pictures for the picture and texture tests and the fuzz seeds: bitmaps with
// known pixels, written as BMP files by our writer, BMP files of every kind written
// byte for byte, and JPEG files written by libjpeg itself.

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

// One row of samples per vector: red, green, blue triples, grey bytes, or cyan,
// magenta, yellow, black amounts of ink.
using TRgbRows = std::vector<std::vector<std::uint8_t>>;

// Kinds of JPEG file: CMYK plain or in Adobe's inverted form (255 for no ink, and
// an Adobe marker), YCCK (inverted, with the marker), and two components in no
// colour space.
enum class TJpegKind { Grey, Colour, Cmyk, AdobeCmyk, AdobeYcck, TwoComponents };

// A JPEG file made by libjpeg from top-down rows of samples, at the best quality.
std::string JpegBytes(int width, int height, const TRgbRows& rows, TJpegKind kind = TJpegKind::Colour);

// A JPEG file of width x height pixels of one colour, made by libjpeg row by row:
// 8000 x 8000 pixels take under a megabyte.
std::string FlatJpegBytes(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A grey progressive JPEG file of width x height pixels whose first scan gives
// every 8 x 8 block the same value in one bit: 8.4 MB for 65500 x 65500 pixels,
// which decoded need 8.6 GB.
std::string ProgressiveJpegBomb(int width, int height);

// A BMP file written byte for byte: `pixels` as stored, a negative height for rows
// top row first, the colour masks (red, green, blue, alpha) in the header from 52
// bytes on or after a 40-byte one, `gap` between the palette and the pixels; a
// 12-byte header is the OS/2 one.
std::string BmpFile(int width, int height, int bits, const std::string& pixels, const std::string& palette = "",
                    std::uint32_t compression = 0, const std::vector<std::uint32_t>& masks = {},
                    std::uint32_t headerSize = 40, const std::string& gap = "");

// A BMP file of one kind and what it must read as: its layout, and its colours top
// row first, "RRGGBB" a pixel ("RRGGBBAA" for pf32bit), pixels apart by blanks.
struct TBmpVariant {
  const char* Name;
  std::string File;
  TPixelFormat Format;
  std::vector<std::string> Colours;
};
// Every kind of BMP file we read, each written byte for byte.
std::vector<TBmpVariant> BmpVariants();
// The colours of a bitmap as in TBmpVariant.
std::vector<std::string> ColourRows(const TBitmap& bitmap);

inline void WriteFileBytes(const std::string& fileName, const std::string& bytes) {
  TFileStream file(fileName, TFileMode::Create);
  file.WriteBuffer(bytes.data(), bytes.size());
}
