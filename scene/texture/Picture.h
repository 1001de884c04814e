#pragma once
// Pictures in memory and in files, for the texture images.
//
// TBitmap holds rows of pixels, top row first, in one of three layouts: palette
// indices (pf8bit), blue-green-red (pf24bit) or blue-green-red-alpha (pf32bit), the
// byte order of BMP files. It reads the BMP files that common tools write: 1, 4, 8,
// 16, 24 and 32 bits per pixel, run-length encoded at 4 and 8 bits, colour masks
// in any order, rows top row first or bottom row first, and the 12- and 64-byte
// headers of OS/2 files. It writes BMP files of its own three layouts.
// TPicture holds one bitmap, loads it from a file chosen by extension (".bmp", or
// ".jpg" and ".jpeg", decoded with libjpeg, CMYK ones included), saves it as a BMP
// file, and signals every change through OnChange.
//
//   TPicture picture;
//   picture.LoadFromFile("wood.jpg");   // EInvalidPicture for a damaged file
//   int w = picture.Width();
//
// Pictures are read whole, unless the reader is given a longest side: then a larger
// picture is read reduced to that side, without ever holding it at its full size
// (libjpeg decodes it at a fraction of its size, BMP rows are reduced as they are
// read), each pixel the average of those it stands for.
//
//   picture.LoadFromFile("huge.jpg", 2048);   // at most 2048 pixels on a side

#include "base/ClassRegistry.h"
#include "base/Streams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A picture file that cannot be read or written. The text names the file and says
// in plain words what it is and what is read: "Cannot read the picture file
// wood.jpg: it is a PNG file named .jpg; BMP files (.bmp) and JPEG files (.jpg,
// .jpeg) are read".
class EInvalidPicture : public Exception {
public:
  using Exception::Exception;
};

// The largest picture read or made: each side at most MAX_PICTURE_SIDE pixels and
// at most MAX_PICTURE_PIXELS pixels in all, so that a hostile header cannot make
// us allocate gigabytes. A reduced read refuses the same files: libjpeg keeps the
// coefficients of a whole progressive file (two bytes a sample) at any scale, and
// a BMP file is read whole into memory.
inline constexpr int MAX_PICTURE_SIDE = 16384;
inline constexpr std::int64_t MAX_PICTURE_PIXELS = std::int64_t(1) << 26;

enum TPixelFormat : std::uint8_t { pf8bit, pf24bit, pf32bit };

// A palette colour as BMP files store it.
struct TPaletteEntry {
  std::uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
};

struct TBGRPixel {
  std::uint8_t Blue, Green, Red;
};

class TBitmap : public TPersistent {
  BRV_CLASS(TBitmap, TPersistent)

public:
  TBitmap() = default;
  TBitmap(int width, int height, TPixelFormat format) { SetSize(width, height, format); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  int BytesPerPixel() const;

  // New size and layout, every byte 0 (black, or palette entry 0). Negative sides,
  // or sides beyond the limits above, raise EInvalidPicture.
  void SetSize(int width, int height, TPixelFormat format);
  // The bytes of row `row`, 0 being the top row; ERangeError outside the bitmap.
  std::uint8_t* ScanLine(int row);
  const std::uint8_t* ScanLine(int row) const;
  // The 256 palette entries of a pf8bit bitmap (kept, unused, by the others).
  std::array<TPaletteEntry, 256>& Palette() { return FPalette; }
  const std::array<TPaletteEntry, 256>& Palette() const { return FPalette; }
  // The colour of pixel (x, y), through the palette for pf8bit; no range check.
  TBGRPixel PixelColor(int x, int y) const;

  // Fills this bitmap, at its own size and layout, with `source` scaled to it
  // (nearest pixel); of the same size, a plain copy of the colours. A pf32bit
  // target gets alpha 255.
  void StretchDraw(const TBitmap& source);

  // From another bitmap: size, layout, pixels and palette.
  void Assign(const TPersistent* source) override;

  // Reads a whole BMP stream from the position to the end; on failure raises
  // EInvalidPicture and leaves the bitmap as it was.
  void LoadFromStream(TStream& stream);
  // Writes the bitmap as an uncompressed BMP file of its own depth, bottom row
  // first; a pf32bit one declares its alpha mask, so that its alpha is read back.
  void SaveToStream(TStream& stream) const;

private:
  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FPixelFormat = pf24bit;
  std::vector<std::uint8_t> FPixels;
  std::array<TPaletteEntry, 256> FPalette{};
};

// A BMP file in memory into `bitmap`: pf8bit for 1 to 8 bits per pixel, pf24bit
// for 24 bits and for 16 bits without alpha, pf32bit for 32 bits (opaque unless the
// header declares an alpha mask and some pixel has alpha above 0) and for 16 bits
// with alpha. EInvalidPicture when it
// is not a BMP file of a kind we read, or is damaged or cut short. `name` names the
// file in the messages (empty: a stream). On failure the bitmap holds no meaningful
// picture: decode into a fresh one.
// With a `maxSide` above 0, a picture with a longer side is read reduced (see
// ReducedPictureSize), into pf24bit for 1 to 8 bits per pixel.
void DecodeBitmapFile(const std::string& bytes, const std::string& name, TBitmap& bitmap, int maxSide = 0);
// A JPEG file in memory into `bitmap`, as pf24bit; grey, colour, CMYK and YCCK
// files are read. EInvalidPicture for data libjpeg refuses or reports as damaged (a
// file cut short among them; stray bytes between its parts are no damage), and for
// a picture beyond the limits above, refused before any of its pixels is decoded.
// With a `maxSide` above 0, a picture with a longer side is read reduced.
void DecodeJpegFile(const std::string& bytes, const std::string& name, TBitmap& bitmap, int maxSide = 0);

struct TPictureSize {
  int Width = 0, Height = 0;
  bool operator==(const TPictureSize&) const = default;
};
// The size a picture of width x height pixels is read at with the longest side
// `maxSide`: unchanged when it has no longer side (or maxSide is 0), otherwise
// its longer side becomes maxSide and the other keeps the proportion, at least 1.
// For example 8000 x 6000 with 2048 gives 2048 x 1536.
TPictureSize ReducedPictureSize(int width, int height, int maxSide);

class TPicture : public TPersistent {
  BRV_CLASS(TPicture, TPersistent)

public:
  TPicture() = default;

  // 0 while the picture is empty.
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }
  // The picture's bitmap, null while empty. Whoever changes it calls Changed.
  TBitmap* Graphic() { return FGraphic.get(); }
  const TBitmap* Graphic() const { return FGraphic.get(); }
  // A copy of `graphic`; null empties the picture.
  void SetGraphic(const TBitmap* graphic);

  // Null empties; a picture or a bitmap is copied; other sources go to TPersistent.
  void Assign(const TPersistent* source) override;
  void Clear();

  // Reads the file by its extension, ignoring case: ".bmp" as BMP, ".jpg" and
  // ".jpeg" as JPEG. Another extension, or a damaged file, raises EInvalidPicture;
  // a file that cannot be opened EFOpenError. On failure the picture is unchanged.
  // A `maxSide` above 0 reads a larger picture reduced to that longest side.
  void LoadFromFile(const std::string& fileName, int maxSide = 0);
  // The same for the file's content already read into `bytes`.
  void LoadFromFileContent(const std::string& fileName, const std::string& bytes, int maxSide = 0);
  // Writes the picture as a BMP file; another extension than ".bmp" raises
  // EInvalidPicture, so that no file ever holds data of another format than its
  // name says. An empty picture writes nothing.
  void SaveToFile(const std::string& fileName) const;

  // Runs OnChange.
  void Changed();
  std::function<void(TObject* sender)> OnChange;

private:
  std::unique_ptr<TBitmap> FGraphic;
};
