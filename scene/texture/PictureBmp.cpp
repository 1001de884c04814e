// BMP files: reading every kind that common tools write, and writing our own.
//
// A BMP file is a 14-byte file header ("BM", size, the offset of the pixels), an
// information header whose first four bytes give its size (12 for the old OS/2
// form, 40 for the common one, 52 to 124 for the forms that add colour masks, an
// alpha mask and colour space data, 64 for OS/2 2.x, whose first 40 bytes are the
// common header and whose rest we do not need), the colour masks after a 40-byte
// header that says bit fields, a palette for 1 to 8 bits per pixel, and the
// pixels: rows of whole 32-bit words, bottom row first unless the height is
// negative, or runs of run-length encoded palette indices.

#include "scene/texture/Picture.h"

#include "PictureFiles.h"

#include <bit>
#include <climits>
#include <cstring>

namespace {

constexpr std::size_t FILE_HEADER_SIZE = 14;
constexpr std::uint32_t CORE_HEADER_SIZE = 12;
constexpr std::uint32_t INFO_HEADER_SIZE = 40;
constexpr std::uint32_t OS2_HEADER_SIZE = 64;
constexpr std::uint32_t V4_HEADER_SIZE = 108;
constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5;
// The colour space of the header we write for 32 bits: "sRGB".
constexpr std::uint32_t LCS_SRGB = 0x73524742;

enum TMask { mRed, mGreen, mBlue, mAlpha };
using TMasks = std::array<std::uint32_t, 4>;

std::uint16_t U16At(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(std::uint8_t(bytes[at]) | (std::uint8_t(bytes[at + 1]) << 8));
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  return std::uint32_t(U16At(bytes, at)) | (std::uint32_t(U16At(bytes, at + 2)) << 16);
}

void PutU16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void PutU32(std::string& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// Bytes of one uncompressed row: whole 32-bit words.
std::int64_t BmpRowSize(std::int64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

std::string BitsText(int bits) { return std::to_string(bits) + (bits == 1 ? " bit" : " bits") + " per pixel"; }

// How the pixels of a file are stored, in the words of the messages.
std::string CompressionText(std::uint32_t compression) {
  switch (compression) {
    case BI_RLE8: return "run-length encoded for 8 bits per pixel";
    case BI_RLE4: return "run-length encoded for 4 bits per pixel";
    case BI_BITFIELDS: return "stored in colour masks";
    case BI_JPEG: return "compressed as a JPEG picture";
    case BI_PNG: return "compressed as a PNG picture";
    default: return "compressed by method " + std::to_string(compression);
  }
}

// What the header says about the pixels.
struct TBmpLayout {
  std::int64_t Width = 0, Height = 0;
  bool TopDown = false;
  int Bits = 0;
  std::uint32_t Compression = BI_RGB;
  TMasks Masks{};  // 16 and 32 bits
  std::size_t PaletteAt = 0;
  std::size_t PaletteEntrySize = 4;  // the OS/2 header's entries have no fourth byte
  std::uint32_t PaletteCount = 0;    // colours the file gives
  std::size_t PixelsAt = 0;
};

TBmpLayout ReadLayout(const std::string& bytes, const std::string& name) {
  if (bytes.size() < FILE_HEADER_SIZE + 4)
    RefusePicture(name, "the file has " + std::to_string(bytes.size()) + " bytes, too few for the BMP headers");
  const std::size_t h = FILE_HEADER_SIZE;
  const std::uint32_t headerSize = U32At(bytes, h);
  if (headerSize != CORE_HEADER_SIZE && headerSize != INFO_HEADER_SIZE && headerSize != 52 && headerSize != 56 &&
      headerSize != OS2_HEADER_SIZE && headerSize != V4_HEADER_SIZE && headerSize != 124)
    RefusePicture(name, "it is a BMP file with an information header of " + std::to_string(headerSize) +
                            " bytes; BMP files with headers of 12, 40, 52, 56, 64, 108 and 124 bytes are read");
  const bool os2 = headerSize == OS2_HEADER_SIZE;
  if (bytes.size() < h + headerSize)
    RefusePicture(name, "the file ends inside its information header of " + std::to_string(headerSize) + " bytes");

  TBmpLayout layout;
  std::uint32_t colorsUsed = 0;
  std::int64_t signedHeight;
  if (headerSize == CORE_HEADER_SIZE) {
    layout.Width = U16At(bytes, h + 4);
    signedHeight = U16At(bytes, h + 6);
    layout.Bits = U16At(bytes, h + 10);
    layout.PaletteEntrySize = 3;
  } else {
    layout.Width = static_cast<std::int32_t>(U32At(bytes, h + 4));
    signedHeight = static_cast<std::int32_t>(U32At(bytes, h + 8));
    layout.Bits = U16At(bytes, h + 14);
    layout.Compression = U32At(bytes, h + 16);
    colorsUsed = U32At(bytes, h + 32);
  }
  const int bits = layout.Bits;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    RefusePicture(name, "it is a BMP file of " + BitsText(bits) +
                            "; BMP files of 1, 4, 8, 16, 24 and 32 bits per pixel are read");
  const std::uint32_t c = layout.Compression;
  // OS/2 2.x gives methods 3 and 4 to Huffman coding and to runs of 24-bit pixels.
  if (os2 && (c == 3 || c == 4))
    RefusePicture(name, "it is an OS/2 BMP file of " + BitsText(bits) + " " +
                            (c == 3 ? "compressed with Huffman coding" : "run-length encoded for 24 bits per pixel") +
                            "; OS/2 BMP files are read uncompressed and run-length encoded for 4 and 8 bits per pixel");
  if (c != BI_RGB && !(c == BI_RLE8 && bits == 8) && !(c == BI_RLE4 && bits == 4) &&
      !(c == BI_BITFIELDS && (bits == 16 || bits == 32)))
    RefusePicture(name, "it is a BMP file of " + BitsText(bits) + " " + CompressionText(c) +
                            "; BMP files are read uncompressed, run-length encoded for 4 and 8 bits per pixel, "
                            "and in colour masks for 16 and 32 bits per pixel");

  if (layout.Width <= 0 || signedHeight == 0 || signedHeight == INT32_MIN)
    RefusePicture(name, "its header gives a size of " + std::to_string(layout.Width) + " x " +
                            std::to_string(signedHeight) + " pixels, which no picture has");
  // A negative height marks rows stored top row first.
  layout.TopDown = signedHeight < 0;
  layout.Height = layout.TopDown ? -signedHeight : signedHeight;
  CheckPictureSize(name, layout.Width, layout.Height);

  layout.PaletteAt = h + headerSize;
  if (bits == 16 || bits == 32) {
    if (c == BI_BITFIELDS) {
      // The three colour masks follow a 40-byte header; the longer headers hold them.
      if (headerSize == INFO_HEADER_SIZE) {
        layout.PaletteAt += 12;
        if (bytes.size() < layout.PaletteAt) RefusePicture(name, "the file ends inside its colour masks");
      }
      for (int m = mRed; m <= mBlue; ++m) layout.Masks[m] = U32At(bytes, h + 40 + 4 * m);
    } else if (bits == 16) {
      layout.Masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else {
      layout.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    }
    // Alpha only where the header declares its mask: the fourth byte of the
    // common 32-bit files is unused and mostly 0.
    if (headerSize >= 56 && !os2) layout.Masks[mAlpha] = U32At(bytes, h + 52);
  }

  const std::uint32_t pixelsAt = U32At(bytes, 10);
  if (pixelsAt < layout.PaletteAt)
    RefusePicture(name, "its pixels are said to start at byte " + std::to_string(pixelsAt) +
                            ", inside its headers, which end at byte " + std::to_string(layout.PaletteAt));
  layout.PixelsAt = pixelsAt;
  if (bits <= 8) {
    const std::uint32_t declared = colorsUsed != 0 ? colorsUsed : 1u << bits;
    if (declared > 256)
      RefusePicture(name, "its palette has " + std::to_string(declared) + " colours; BMP palettes have at most 256");
    // Some writers give fewer colours than the depth allows without saying so:
    // the palette ends where the pixels begin.
    layout.PaletteCount = static_cast<std::uint32_t>(
        std::min<std::size_t>(declared, (pixelsAt - layout.PaletteAt) / layout.PaletteEntrySize));
    if (bytes.size() < layout.PaletteAt + layout.PaletteCount * layout.PaletteEntrySize)
      RefusePicture(name, "the file ends inside its palette of " + std::to_string(layout.PaletteCount) + " colours");
  }
  if (pixelsAt >= bytes.size())
    RefusePicture(name, "its pixels are said to start at byte " + std::to_string(pixelsAt) +
                            ", past the end of the file, which has " + std::to_string(bytes.size()) + " bytes");
  return layout;
}

// One colour channel of a pixel under its mask, scaled to 0-255; `none` where the
// mask is empty.
struct TChannel {
  std::uint32_t Mask = 0;
  int Shift = 0;
  std::uint64_t Max = 0;
  std::uint8_t None = 0;

  TChannel(std::uint32_t mask, std::uint8_t none) : Mask(mask), None(none) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Max = mask >> Shift;
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (Max == 0) return None;
    const std::uint64_t value = (pixel & Mask) >> Shift;
    return static_cast<std::uint8_t>(Max == 255 ? value : (value * 255 + Max / 2) / Max);
  }
};

// Decodes the rows of an uncompressed file one at a time: palette indices for 1 to
// 8 bits per pixel, blue, green, red bytes for 24, and for 16 and 32 bits through
// the colour masks, blue, green, red and, into a pf32bit row, alpha.
class TBmpRows {
public:
  TBmpRows(const std::string& bytes, const std::string& name, const TBmpLayout& layout)
      : FBytes(bytes), FLayout(layout), FRowSize(BmpRowSize(layout.Width, layout.Bits)),
        FRed(layout.Masks[mRed], 0), FGreen(layout.Masks[mGreen], 0), FBlue(layout.Masks[mBlue], 0),
        FAlpha(layout.Masks[mAlpha], 255) {
    // Some writers leave out the padding of the last row.
    const std::int64_t needed =
        std::int64_t(layout.PixelsAt) + FRowSize * (layout.Height - 1) + (layout.Width * layout.Bits + 7) / 8;
    if (needed > static_cast<std::int64_t>(bytes.size()))
      RefusePicture(name, "the file is cut short: its pixels need " + std::to_string(needed) + " bytes, the file has " +
                              std::to_string(bytes.size()));
  }

  // The picture's row (0 the top row) that file row `fileRow` holds.
  int PictureRow(std::int64_t fileRow) const {
    return static_cast<int>(FLayout.TopDown ? fileRow : FLayout.Height - 1 - fileRow);
  }

  // File row `fileRow` into `dst`, of `out` bytes a pixel (1 for palette indices).
  void Read(std::int64_t fileRow, std::uint8_t* dst, int out) {
    const auto* src = reinterpret_cast<const std::uint8_t*>(FBytes.data() + FLayout.PixelsAt + fileRow * FRowSize);
    const int bits = FLayout.Bits;
    if (bits == 16 || bits == 32) {
      const int step = bits / 8;
      for (std::int64_t x = 0; x < FLayout.Width; ++x, src += step, dst += out) {
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, src, std::size_t(step));  // little-endian, as the file
        dst[0] = FBlue.Of(pixel);
        dst[1] = FGreen.Of(pixel);
        dst[2] = FRed.Of(pixel);
        if (out == 4) AnyAlpha |= dst[3] = FAlpha.Of(pixel);
      }
    } else if (bits >= 8) {
      std::memcpy(dst, src, static_cast<std::size_t>(FLayout.Width * bits / 8));
    } else {
      // 1 or 4 bits: the leftmost pixel in the highest bits of a byte.
      const int mask = (1 << bits) - 1;
      for (std::int64_t x = 0; x < FLayout.Width; ++x) {
        const std::int64_t bit = x * bits;
        dst[x] = static_cast<std::uint8_t>((src[bit / 8] >> (8 - bits - bit % 8)) & mask);
      }
    }
  }

  // Whether some pixel read into a pf32bit row had alpha above 0.
  std::uint8_t AnyAlpha = 0;

private:
  const std::string& FBytes;
  const TBmpLayout& FLayout;
  std::int64_t FRowSize;
  TChannel FRed, FGreen, FBlue, FAlpha;
};

// Some writers declare an alpha mask and leave every alpha byte 0 (ImageMagick
// among them): such a picture is meant opaque, as other readers show it, not
// wholly transparent.
void MakeOpaqueUnlessAlpha(TBitmap& bitmap, std::uint8_t anyAlpha) {
  if (bitmap.PixelFormat() != pf32bit || anyAlpha != 0) return;
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) row[4 * x + 3] = 255;
  }
}

void ReadRows(const std::string& bytes, const std::string& name, const TBmpLayout& layout, TBitmap& bitmap) {
  TBmpRows rows(bytes, name, layout);
  for (std::int64_t fileRow = 0; fileRow < layout.Height; ++fileRow)
    rows.Read(fileRow, bitmap.ScanLine(rows.PictureRow(fileRow)), bitmap.BytesPerPixel());
  MakeOpaqueUnlessAlpha(bitmap, rows.AnyAlpha);
}

// Run-length encoded palette indices. Two bytes n, v: n > 0 repeats v (at 4 bits,
// its two halves in turn) n times; n = 0 escapes: v = 0 ends the line, 1 ends the
// picture, 2 moves right and up by the next two bytes, and v >= 3 gives v indices
// as they are, padded to a whole 16-bit word. Pixels that no run reaches keep
// index 0; runs past the right edge or the last row are cut.
void ReadRunLengths(const std::string& bytes, const std::string& name, const TBmpLayout& layout, TBitmap& bitmap) {
  const bool nibbles = layout.Bits == 4;
  std::int64_t x = 0, fileRow = 0;
  auto put = [&](std::uint8_t index) {
    if (x < layout.Width && fileRow < layout.Height)
      bitmap.ScanLine(static_cast<int>(layout.TopDown ? fileRow : layout.Height - 1 - fileRow))[x] = index;
    ++x;
  };
  auto byteAt = [&](std::size_t at) { return static_cast<std::uint8_t>(bytes[at]); };
  std::size_t at = layout.PixelsAt;
  while (fileRow < layout.Height) {
    if (at + 2 > bytes.size()) {
      // The last row full is the whole picture, even without the end marks.
      if (fileRow == layout.Height - 1 && x >= layout.Width) return;
      RefusePicture(name, "the file is cut short inside its run-length encoded pixels");
    }
    const std::uint8_t count = byteAt(at), value = byteAt(at + 1);
    at += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(nibbles ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
    } else if (value == 0) {
      x = 0;
      ++fileRow;
    } else if (value == 1) {
      return;
    } else if (value == 2) {
      if (at + 2 > bytes.size()) RefusePicture(name, "the file is cut short inside its run-length encoded pixels");
      x += byteAt(at);
      fileRow += byteAt(at + 1);
      at += 2;
    } else {
      const std::size_t size = nibbles ? (value + 1u) / 2 : value;
      if (at + size > bytes.size()) RefusePicture(name, "the file is cut short inside its run-length encoded pixels");
      for (int i = 0; i < value; ++i) {
        const std::uint8_t b = byteAt(at + std::size_t(nibbles ? i / 2 : i));
        put(nibbles ? (i % 2 == 0 ? b >> 4 : b & 15) : b);
      }
      at += (size + 1) / 2 * 2;
    }
  }
}

// The palette of the file into `bitmap`'s.
void ReadPalette(const std::string& bytes, const TBmpLayout& layout, TBitmap& bitmap) {
  // Entries the file does not give stay black, so that any index reads a colour.
  bitmap.Palette().fill({});
  for (std::uint32_t i = 0; i < layout.PaletteCount; ++i) {
    const std::size_t at = layout.PaletteAt + i * layout.PaletteEntrySize;
    bitmap.Palette()[i] = {std::uint8_t(bytes[at]), std::uint8_t(bytes[at + 1]), std::uint8_t(bytes[at + 2]), 0};
  }
}

bool IsRunLengthEncoded(const TBmpLayout& layout) {
  return layout.Compression == BI_RLE8 || layout.Compression == BI_RLE4;
}

// Palette indices into blue, green, red bytes.
void IndicesToBgr(const std::uint8_t* indices, std::int64_t width, const TBitmap& palette, std::uint8_t* bgr) {
  for (std::int64_t x = 0; x < width; ++x, bgr += 3) {
    const TPaletteEntry& entry = palette.Palette()[indices[x]];
    bgr[0] = entry.Blue;
    bgr[1] = entry.Green;
    bgr[2] = entry.Red;
  }
}

// The picture reduced into `bitmap`, already of its reduced size; a palette
// picture comes out in colours (pf24bit). Only the reduced bitmap and a row or two
// are held, except for run-length encoded pixels, whose runs may go anywhere in
// the picture: those are decoded whole first, at one byte a pixel.
void ReadReduced(const std::string& bytes, const std::string& name, const TBmpLayout& layout, TBitmap& bitmap) {
  TBitmap palette;
  ReadPalette(bytes, layout, palette);
  const int width = static_cast<int>(layout.Width), height = static_cast<int>(layout.Height);
  TPictureReducer reducer;
  reducer.Start(width, height, bitmap);
  std::vector<std::uint8_t> colours(std::size_t(width) * std::size_t(bitmap.BytesPerPixel()));
  if (IsRunLengthEncoded(layout)) {
    TBitmap indices(width, height, pf8bit);
    ReadRunLengths(bytes, name, layout, indices);
    for (int y = 0; y < height; ++y) {
      IndicesToBgr(indices.ScanLine(y), width, palette, colours.data());
      reducer.AddRow(y, colours.data());
    }
    reducer.Finish();
    return;
  }
  TBmpRows rows(bytes, name, layout);
  std::vector<std::uint8_t> indices(layout.Bits <= 8 ? std::size_t(width) : 0);
  for (std::int64_t fileRow = 0; fileRow < layout.Height; ++fileRow) {
    if (layout.Bits <= 8) {
      rows.Read(fileRow, indices.data(), 1);
      IndicesToBgr(indices.data(), width, palette, colours.data());
    } else {
      rows.Read(fileRow, colours.data(), bitmap.BytesPerPixel());
    }
    reducer.AddRow(rows.PictureRow(fileRow), colours.data());
  }
  reducer.Finish();
  // Averages of alphas that are all 0 are 0 too.
  MakeOpaqueUnlessAlpha(bitmap, rows.AnyAlpha);
}

}  // namespace

void DecodeBitmapFile(const std::string& bytes, const std::string& name, TBitmap& bitmap, int maxSide) {
  CheckPictureFormat(name, bytes, "BMP");
  const TBmpLayout layout = ReadLayout(bytes, name);
  TPixelFormat format = pf32bit;
  if (layout.Bits <= 8)
    format = pf8bit;
  else if (layout.Bits == 24 || (layout.Bits == 16 && layout.Masks[mAlpha] == 0))
    format = pf24bit;
  const TPictureSize size =
      ReducedPictureSize(static_cast<int>(layout.Width), static_cast<int>(layout.Height), maxSide);
  if (size.Width < layout.Width || size.Height < layout.Height) {
    bitmap.SetSize(size.Width, size.Height, format == pf8bit ? pf24bit : format);
    ReadReduced(bytes, name, layout, bitmap);
    return;
  }
  bitmap.SetSize(static_cast<int>(layout.Width), static_cast<int>(layout.Height), format);
  ReadPalette(bytes, layout, bitmap);
  if (IsRunLengthEncoded(layout))
    ReadRunLengths(bytes, name, layout, bitmap);
  else
    ReadRows(bytes, name, layout, bitmap);
}

std::string EncodeBitmapFile(const TBitmap& bitmap) {
  const TPixelFormat format = bitmap.PixelFormat();
  const int bits = bitmap.BytesPerPixel() * 8;
  // 32 bits go with the header that declares the alpha mask, so that readers
  // take the fourth byte for alpha.
  const std::uint32_t headerSize = format == pf32bit ? V4_HEADER_SIZE : INFO_HEADER_SIZE;
  const std::int64_t rowSize = BmpRowSize(bitmap.Width(), bits);
  const std::uint32_t paletteSize = format == pf8bit ? 256 * 4 : 0;
  const std::uint32_t offset = FILE_HEADER_SIZE + headerSize + paletteSize;
  const std::int64_t imageSize = rowSize * bitmap.Height();
  std::string out;
  out.reserve(static_cast<std::size_t>(offset + imageSize));
  out += "BM";
  PutU32(out, static_cast<std::uint32_t>(offset + imageSize));
  PutU32(out, 0);
  PutU32(out, offset);
  PutU32(out, headerSize);
  PutU32(out, static_cast<std::uint32_t>(bitmap.Width()));
  PutU32(out, static_cast<std::uint32_t>(bitmap.Height()));
  PutU16(out, 1);
  PutU16(out, static_cast<std::uint32_t>(bits));
  PutU32(out, format == pf32bit ? BI_BITFIELDS : BI_RGB);
  PutU32(out, static_cast<std::uint32_t>(imageSize));
  PutU32(out, 2835);  // 72 dots per inch, in dots per metre
  PutU32(out, 2835);
  PutU32(out, format == pf8bit ? 256 : 0);
  PutU32(out, 0);
  if (format == pf32bit) {
    for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) PutU32(out, mask);
    PutU32(out, LCS_SRGB);
    out.append(V4_HEADER_SIZE - 60, '\0');  // end points and gamma, unused with sRGB
  }
  if (format == pf8bit)
    for (const TPaletteEntry& e : bitmap.Palette()) out += {char(e.Blue), char(e.Green), char(e.Red), char(0)};
  const std::size_t used = std::size_t(bitmap.Width()) * std::size_t(bitmap.BytesPerPixel());
  for (int row = bitmap.Height() - 1; row >= 0; --row) {
    out.append(reinterpret_cast<const char*>(bitmap.ScanLine(row)), used);
    out.append(static_cast<std::size_t>(rowSize) - used, '\0');
  }
  return out;
}
