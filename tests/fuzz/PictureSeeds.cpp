// Writes the seed files of the picture fuzz targets into the two folders given:
// BMP files of every kind we read, and JPEG files in colour, in grey, in CMYK, in
// YCCK and progressive.

#include <cstdio>
#include <string>

#include "base/Strings.h"
#include "tests/scene/support/PictureTestSupport.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s bmp-folder jpeg-folder\n", argv[0]);
    return 2;
  }
  const std::string bmpFolder = argv[1], jpegFolder = argv[2];
  for (TPixelFormat format : {pf8bit, pf24bit, pf32bit}) {
    TBitmap bitmap(5, 3, format);
    FillPattern(bitmap);
    WriteFileBytes(JoinPath(bmpFolder, "seed" + std::to_string(int(format)) + ".bmp"), BmpBytes(bitmap));
  }
  int kind = 0;
  for (const TBmpVariant& variant : BmpVariants())
    WriteFileBytes(JoinPath(bmpFolder, "kind" + std::to_string(kind++) + ".bmp"), variant.File);
  const TRgbRows colour(16, std::vector<std::uint8_t>(16 * 3, 90)), grey(16, std::vector<std::uint8_t>(16, 40)),
      inks(16, std::vector<std::uint8_t>(16 * 4, 70));
  WriteFileBytes(JoinPath(jpegFolder, "colour.jpg"), JpegBytes(16, 16, colour));
  WriteFileBytes(JoinPath(jpegFolder, "grey.jpg"), JpegBytes(16, 16, grey, TJpegKind::Grey));
  WriteFileBytes(JoinPath(jpegFolder, "cmyk.jpg"), JpegBytes(16, 16, inks, TJpegKind::Cmyk));
  WriteFileBytes(JoinPath(jpegFolder, "ycck.jpg"), JpegBytes(16, 16, inks, TJpegKind::AdobeYcck));
  WriteFileBytes(JoinPath(jpegFolder, "progressive.jpg"), ProgressiveJpegBomb(64, 64));
  return 0;
}
