#include "tests/scene/support/PictureTestSupport.h"

#include "tests/base/PersistenceTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <jpeglib.h>

namespace {

// A JPEG file made by libjpeg at the best quality from `height` rows, each filled in
// turn by `row` (its y from the top, and the samples to fill).
std::string CompressedRows(int width, int height, TJpegKind kind,
                           const std::function<void(int, std::vector<std::uint8_t>&)>& row) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  const bool inks = kind == TJpegKind::Cmyk || kind == TJpegKind::AdobeCmyk || kind == TJpegKind::AdobeYcck;
  info.input_components = kind == TJpegKind::Grey ? 1 : kind == TJpegKind::TwoComponents ? 2 : inks ? 4 : 3;
  info.in_color_space = kind == TJpegKind::Grey ? JCS_GRAYSCALE
                        : kind == TJpegKind::TwoComponents ? JCS_UNKNOWN
                        : inks ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  if (kind == TJpegKind::AdobeYcck) jpeg_set_colorspace(&info, JCS_YCCK);
  // libjpeg marks every CMYK file as Adobe's; the plain form goes without the mark.
  if (kind == TJpegKind::Cmyk) info.write_Adobe_marker = FALSE;
  jpeg_set_quality(&info, 100, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<std::uint8_t> samples;
  for (int y = 0; y < height; ++y) {
    row(y, samples);
    if (kind == TJpegKind::AdobeCmyk || kind == TJpegKind::AdobeYcck)
      for (auto& sample : samples) sample = static_cast<std::uint8_t>(255 - sample);
    JSAMPROW line = samples.data();
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

}  // namespace

std::string JpegBytes(int width, int height, const TRgbRows& rows, TJpegKind kind) {
  return CompressedRows(width, height, kind,
                        [&](int y, std::vector<std::uint8_t>& samples) { samples = rows[std::size_t(y)]; });
}

std::string FlatJpegBytes(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  std::vector<std::uint8_t> colour;
  for (int x = 0; x < width; ++x) colour.insert(colour.end(), {red, green, blue});
  return CompressedRows(width, height, TJpegKind::Colour,
                        [&](int, std::vector<std::uint8_t>& samples) { samples = colour; });
}

std::string ProgressiveJpegBomb(int width, int height) {
  auto u16 = [](int value) { return std::string{char(value >> 8), char(value & 0xFF)}; };
  std::string bytes = Bytes("FF D8");
  // One quantisation table of ones.
  bytes += Bytes("FF DB 00 43 00") + std::string(64, '\1');
  // A progressive frame of one grey component.
  bytes += Bytes("FF C2 00 0B 08") + u16(height) + u16(width) + Bytes("01 01 11 00");
  // A DC table with one code, the single bit 0, for a difference of 0.
  bytes += Bytes("FF C4 00 14 00 01") + std::string(15, '\0') + Bytes("00");
  // The first scan: the DC values of every block, one bit each.
  bytes += Bytes("FF DA 00 08 01 01 00 00 00 00");
  const std::int64_t blocks = std::int64_t((width + 7) / 8) * ((height + 7) / 8);
  bytes += std::string(static_cast<std::size_t>((blocks + 7) / 8), '\0');
  return bytes + Bytes("FF D9");
}

std::string BmpFile(int width, int height, int bits, const std::string& pixels, const std::string& palette,
                    std::uint32_t compression, const std::vector<std::uint32_t>& masks, std::uint32_t headerSize,
                    const std::string& gap) {
  auto put = [](std::string& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out += char(value >> (8 * i));
  };
  std::string header;
  put(header, headerSize, 4);
  put(header, std::uint32_t(width), headerSize == 12 ? 2 : 4);
  put(header, std::uint32_t(height), headerSize == 12 ? 2 : 4);
  put(header, 1, 2);
  put(header, std::uint32_t(bits), 2);
  if (headerSize > 12)
    for (std::uint32_t value : {compression, std::uint32_t(pixels.size()), 2835u, 2835u, 0u, 0u}) put(header, value, 4);
  for (std::uint32_t mask : masks) put(header, mask, 4);
  if (headerSize > 40) header.resize(headerSize, '\0');
  const std::uint32_t offset = static_cast<std::uint32_t>(14 + header.size() + palette.size() + gap.size());
  std::string file = "BM";
  for (std::uint32_t value : {std::uint32_t(offset + pixels.size()), 0u, offset}) put(file, value, 4);
  return file + header + palette + gap + pixels;
}

std::vector<TBmpVariant> BmpVariants() {
  // Black, red, green and blue, as blue, green, red and a zero byte.
  const std::string four = Bytes("00 00 00 00  00 00 FF 00  00 FF 00 00  FF 00 00 00");
  return {
      {"1 bit, top row first", BmpFile(5, -2, 1, Bytes("B0 00 00 00  48 00 00 00"), Bytes("00 00 00 00 FF FF FF 00")),
       pf8bit, {"FFFFFF 000000 FFFFFF FFFFFF 000000", "000000 FFFFFF 000000 000000 FFFFFF"}},
      {"4 bits", BmpFile(5, 2, 4, Bytes("33 02 10 00  12 30 10 00"), four), pf8bit,
       {"FF0000 00FF00 0000FF 000000 FF0000", "0000FF 0000FF 000000 00FF00 FF0000"}},
      {"8 bits, OS/2 header with a short palette of three-byte colours",
       BmpFile(3, 2, 8, Bytes("02 03 01 00  00 01 02 00"), Bytes("00 00 00  00 00 FF  00 FF 00  FF 00 00"), 0, {}, 12),
       pf8bit, {"000000 FF0000 00FF00", "00FF00 0000FF FF0000"}},
      {"8 bits run-length encoded: runs, padded literals, end of line, a move, end of picture",
       BmpFile(5, 3, 8, Bytes("00 03 02 03 02 00  02 01  00 00  01 03  00 02 02 01  02 02  00 01"), four, 1), pf8bit,
       {"000000 000000 000000 00FF00 00FF00", "0000FF 000000 000000 000000 000000", "00FF00 0000FF 00FF00 FF0000 FF0000"}},
      {"4 bits run-length encoded: alternating runs, literals, end of line, end of picture",
       BmpFile(5, 2, 4, Bytes("05 12  00 00  00 03 30 10  02 33  00 01"), four, 2), pf8bit,
       {"0000FF 000000 FF0000 0000FF 0000FF", "FF0000 00FF00 FF0000 00FF00 FF0000"}},
      {"16 bits 5-5-5, the pixels after a gap", BmpFile(3, 1, 16, Bytes("00 7C  10 42  FF FF  00 00"), "", 0, {}, 40, "??"),
       pf24bit, {"FF0000 848484 FFFFFF"}},
      {"16 bits 5-6-5 in colour masks", BmpFile(3, 1, 16, Bytes("E0 07  10 84  1F 00  00 00"), "", 3, {0xF800, 0x07E0, 0x1F}),
       pf24bit, {"00FF00 848284 0000FF"}},
      {"32 bits without an alpha mask, the fourth byte 0", BmpFile(2, 1, 32, Bytes("10 20 30 00  40 50 60 00")), pf32bit,
       {"302010FF 605040FF"}},
      {"32 bits with an alpha mask in a 124-byte header",
       BmpFile(2, 2, 32, Bytes("01 02 03 80  04 05 06 00  07 08 09 FF  0A 0B 0C 40"), "", 3,
               {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 124),
       pf32bit, {"090807FF 0C0B0A40", "03020180 06050400"}},
      {"32 bits in 10-bit colour masks of another order and a 2-bit alpha mask in a 56-byte header",
       BmpFile(2, 1, 32, Bytes("FF 03 08 C0  00 00 F0 7F"), "", 3, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, 56), pf32bit,
       {"FF8000FF 0000FF55"}},
      // ImageMagick's 32-bit files: an alpha mask, and every alpha byte 0.
      {"32 bits with an alpha mask in a 108-byte header and no alpha in any pixel: opaque",
       BmpFile(2, 2, 32, Bytes("01 02 03 00  04 05 06 00  07 08 09 00  0A 0B 0C 00"), "", 3,
               {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 108),
       pf32bit, {"090807FF 0C0B0AFF", "030201FF 060504FF"}},
      {"16 bits 1-5-5-5 with an alpha mask and no alpha in any pixel: opaque",
       BmpFile(2, 1, 16, Bytes("00 7C  1F 00"), "", 3, {0x7C00, 0x03E0, 0x1F, 0x8000}, 124), pf32bit,
       {"FF0000FF 0000FFFF"}},
      {"8 bits, OS/2 2.x header of 64 bytes",
       BmpFile(3, 2, 8, Bytes("02 03 01 00  00 01 02 00"), Bytes("00 00 00 00  00 00 FF 00  00 FF 00 00  FF 00 00 00"),
               0, {}, 64),
       pf8bit, {"000000 FF0000 00FF00", "00FF00 0000FF FF0000"}},
      {"24 bits, OS/2 2.x header of 64 bytes", BmpFile(2, 1, 24, Bytes("FF 00 00  00 00 FF  00 00"), "", 0, {}, 64),
       pf24bit, {"0000FF FF0000"}},
  };
}

std::vector<std::string> ColourRows(const TBitmap& bitmap) {
  std::vector<std::string> rows(static_cast<std::size_t>(bitmap.Height()));
  char cell[12];
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TBGRPixel c = bitmap.PixelColor(x, y);
      std::snprintf(cell, sizeof cell, x > 0 ? " %02X%02X%02X" : "%02X%02X%02X", c.Red, c.Green, c.Blue);
      rows[std::size_t(y)] += cell;
      if (bitmap.PixelFormat() == pf32bit) rows[std::size_t(y)] += Hex(std::string(1, char(bitmap.ScanLine(y)[x * 4 + 3])));
    }
  return rows;
}
