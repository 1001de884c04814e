// Pictures read from and written to files. Damaged files are fed to the readers in
// bulk: each either loads or raises EInvalidPicture; under the sanitizers this also
// shows that no byte sequence makes a reader touch memory it does not own.

#include "scene/texture/Picture.h"

#include "tests/base/PersistenceTestSupport.h"
#include "tests/base/ProcessMemory.h"
#include "tests/scene/support/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

void SetU16(std::string& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void SetU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  SetU16(bytes, at, value & 0xFFFF);
  SetU16(bytes, at + 2, value >> 16);
}

std::unique_ptr<TBitmap> Pattern(int width, int height, TPixelFormat format) {
  auto bitmap = std::make_unique<TBitmap>(width, height, format);
  FillPattern(*bitmap);
  return bitmap;
}

std::string Decoded(const std::string& bytes, TBitmap& bitmap) {
  return BRV_ERROR_TEXT(EInvalidPicture, DecodeBitmapFile(bytes, "f.bmp", bitmap));
}

// Same size, depth, pixels and palette: the same file.
void ExpectSamePixels(const TBitmap& actual, const TBitmap& expected) { EXPECT_EQ(BmpBytes(actual), BmpBytes(expected)); }

TEST(Picture, BmpFilesOfEveryDepthReadBackAsWritten) {
  struct TCase {
    TPixelFormat Format;
    int Width, Height;
  };
  for (const TCase& c : {TCase{pf24bit, 3, 2}, TCase{pf32bit, 5, 3}, TCase{pf8bit, 7, 2}, TCase{pf24bit, 4, 1}}) {
    const auto written = Pattern(c.Width, c.Height, c.Format);
    const std::string bytes = BmpBytes(*written);
    // Rows padded to whole 32-bit words; 32 bits with the header that declares alpha.
    const std::size_t rowSize = (std::size_t(c.Width) * written->BytesPerPixel() + 3) / 4 * 4;
    EXPECT_EQ(bytes.size(), (c.Format == pf32bit ? 122 : 54) + (c.Format == pf8bit ? 1024 : 0) + rowSize * c.Height);
    TBitmap read;
    EXPECT_EQ(Decoded(bytes, read), "");
    ExpectSamePixels(read, *written);
  }
}

TEST(Picture, BmpFilesOfOtherWritersAreRead) {
  // Stored top row first (negative height), and without the last row's padding.
  std::string topDown = BmpBytes(*Pattern(3, 2, pf24bit));
  SetU32(topDown, 22, static_cast<std::uint32_t>(-2));
  std::swap_ranges(topDown.begin() + 54, topDown.begin() + 54 + 12, topDown.begin() + 54 + 12);
  topDown.resize(topDown.size() - 3);
  TBitmap read;
  ASSERT_EQ(Decoded(topDown, read), "");
  ExpectSamePixels(read, *Pattern(3, 2, pf24bit));

  // Two palette colours given; the indices beyond them read black.
  std::string palette = BmpBytes(*Pattern(4, 1, pf8bit));
  SetU32(palette, 46, 2);
  palette.erase(54 + 8, 1024 - 8);
  SetU32(palette, 10, 54 + 8);
  ASSERT_EQ(Decoded(palette, read), "");
  EXPECT_EQ(read.PixelColor(1, 0).Red, 60);
  EXPECT_EQ(read.PixelColor(2, 0).Red, 0);

}

TEST(Picture, EveryKindOfBmpFileReadsPixelForPixel) {
  for (const TBmpVariant& variant : BmpVariants()) {
    TBitmap read;
    ASSERT_EQ(Decoded(variant.File, read), "") << variant.Name;
    EXPECT_EQ(read.PixelFormat(), variant.Format) << variant.Name;
    EXPECT_EQ(ColourRows(read), variant.Colours) << variant.Name;
  }
}

TEST(Picture, DamagedBmpHeadersRaiseWhatWasWrong) {
  const std::string good = BmpBytes(*Pattern(4, 2, pf8bit));
  struct TCase {
    const char* Damage;
    std::function<void(std::string&)> Change;
    const char* Message;
  };
  const TCase cases[] = {
      {"short", [](std::string& b) { b.resize(10); }, "the file has 10 bytes, too few for the BMP headers"},
      {"signature", [](std::string& b) { b[1] = 'X'; },
       "it is not a BMP file: BMP files start with the bytes 42 4D, this one with 42 58"},
      {"unknown header", [](std::string& b) { SetU32(b, 14, 100); },
       "it is a BMP file with an information header of 100 bytes; BMP files with headers of 12, 40, 52, 56, 64, 108 "
       "and 124 bytes are read"},
      // OS/2 2.x gives these methods to Huffman coding and to runs of 24-bit pixels.
      {"OS/2 Huffman", [](std::string& b) { SetU32(b, 14, 64); SetU32(b, 30, 3); },
       "it is an OS/2 BMP file of 8 bits per pixel compressed with Huffman coding; OS/2 BMP files are read "
       "uncompressed and run-length encoded for 4 and 8 bits per pixel"},
      {"OS/2 runs of 24 bits", [](std::string& b) { SetU32(b, 14, 64); SetU16(b, 28, 24); SetU32(b, 30, 4); },
       "it is an OS/2 BMP file of 24 bits per pixel run-length encoded for 24 bits per pixel"},
      {"header cut", [](std::string& b) { SetU32(b, 14, 124); b.resize(100); },
       "the file ends inside its information header of 124 bytes"},
      {"2 bits", [](std::string& b) { SetU16(b, 28, 2); },
       "it is a BMP file of 2 bits per pixel; BMP files of 1, 4, 8, 16, 24 and 32 bits per pixel are read"},
      {"no width", [](std::string& b) { SetU32(b, 18, 0); }, "its header gives a size of 0 x 2 pixels, which no picture has"},
      {"lowest height", [](std::string& b) { SetU32(b, 22, 0x80000000u); }, "a size of 4 x -2147483648 pixels"},
      {"long side", [](std::string& b) { SetU32(b, 18, 20000); SetU32(b, 22, 20000); },
       "it is 20000 x 20000 pixels; pictures of at most 16384 pixels on a side are read"},
      {"palette", [](std::string& b) { SetU32(b, 46, 300); }, "its palette has 300 colours; BMP palettes have at most 256"},
      {"palette cut", [](std::string& b) { b.resize(154); }, "the file ends inside its palette of 256 colours"},
      {"pixels at 0", [](std::string& b) { SetU32(b, 10, 0); },
       "its pixels are said to start at byte 0, inside its headers, which end at byte 54"},
      {"pixels cut", [](std::string& b) { b.resize(b.size() - 1); },
       "the file is cut short: its pixels need 1086 bytes, the file has 1085"},
      {"pixels far away", [](std::string& b) { SetU32(b, 10, 0xFFFFFFF0u); },
       "its pixels are said to start at byte 4294967280, past the end of the file, which has 1086 bytes"},
      {"pixels at the end", [](std::string& b) { SetU32(b, 10, 1086); },
       "its pixels are said to start at byte 1086, past the end of the file, which has 1086 bytes"},
      {"runs past the end", [](std::string& b) { b = BmpVariants()[3].File; SetU32(b, 46, 4); SetU32(b, 10, 5000); },
       "its pixels are said to start at byte 5000, past the end of the file"},
      {"masks cut", [](std::string& b) { SetU16(b, 28, 32); SetU32(b, 30, 3); b.resize(60); },
       "the file ends inside its colour masks"},
      {"runs cut", [](std::string& b) { b = BmpVariants()[3].File; b.resize(b.size() - 6); },
       "the file is cut short inside its run-length encoded pixels"},
  };
  for (const TCase& c : cases) {
    std::string bytes = good;
    c.Change(bytes);
    TBitmap read;
    EXPECT_NE(Decoded(bytes, read).find(c.Message), std::string::npos) << c.Damage << ": " << Decoded(bytes, read);
  }
}

TEST(Picture, JpegFilesMadeByLibjpegAreReadAndDamagedOnesRefused) {
  // Left half red, right half blue: 8 x 8 blocks of one colour survive the compression.
  TRgbRows rows(8);
  for (auto& row : rows)
    for (int x = 0; x < 16; ++x) row.insert(row.end(), {std::uint8_t(x < 8 ? 255 : 0), 0, std::uint8_t(x < 8 ? 0 : 255)});
  const std::string colours = JpegBytes(16, 8, rows),
                    grey = JpegBytes(8, 8, TRgbRows(8, std::vector<std::uint8_t>(8, 128)), TJpegKind::Grey);
  TBitmap read;
  auto error = [&](const std::string& bytes) { return BRV_ERROR_TEXT(EInvalidPicture, DecodeJpegFile(bytes, "f.jpg", read)); };
  ASSERT_EQ(error(colours), "");
  EXPECT_EQ(std::tuple(read.PixelFormat(), read.Width(), read.Height()), std::tuple(pf24bit, 16, 8));
  const TBGRPixel red = read.PixelColor(2, 3), blue = read.PixelColor(13, 6);
  EXPECT_TRUE(red.Red > 250 && red.Blue < 5 && blue.Blue > 250 && blue.Red < 5);
  ASSERT_EQ(error(grey), "");
  EXPECT_NEAR(read.PixelColor(4, 4).Red, 128, 2) << "grey pictures read as colour";

  const std::string prefix = "Cannot read the picture file f.jpg: ";
  EXPECT_EQ(error(grey.substr(0, grey.size() - 20)), prefix + "the file is cut short: its JPEG data ends before the picture does");
  std::string damaged = grey;
  damaged[damaged.size() - 10] = '\xFF';
  EXPECT_EQ(error(damaged), prefix + "its JPEG data is damaged (Bogus marker length)");
  // A frame header claiming 60000 x 60000 pixels is refused before anything is allocated for them.
  std::string huge = grey;
  const std::size_t frame = huge.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  huge.replace(frame + 5, 4, "\xEA\x60\xEA\x60");
  EXPECT_EQ(error(huge), prefix + "it is 60000 x 60000 pixels; pictures of at most 16384 pixels on a side are read");
  // Stray bytes before a marker, as some writers leave them: the picture reads
  // whole; cut short as well, it is refused.
  std::string padded = colours;
  padded.insert(padded.find("\xFF\xDA"), std::string(3, '\0'));
  padded.insert(padded.size() - 2, "\x01\x02");
  ASSERT_EQ(error(padded), "");
  EXPECT_EQ(std::pair(read.PixelColor(2, 3).Red, read.PixelColor(13, 6).Blue), std::pair(red.Red, blue.Blue));
  EXPECT_EQ(error(padded.substr(0, padded.size() - 40)),
            prefix + "the file is cut short: its JPEG data ends before the picture does");
  std::string deep = grey, lossless = grey;
  deep[frame + 4] = 12;
  EXPECT_EQ(error(deep), prefix + "it is a JPEG file of 12 bits per sample; JPEG files of 8 bits per sample are read");
  lossless[frame + 1] = '\xC3';
  EXPECT_EQ(error(lossless), prefix + "it is a lossless JPEG file; baseline and progressive JPEG files are read");
}

TEST(Picture, CmykAndYcckJpegFilesReadAsTheirColours) {
  // Blocks of 8 x 8 pixels of one ink each: cyan, magenta, yellow, black, none,
  // half cyan, half black, and all four.
  const std::uint8_t inks[][4] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {0, 0, 0, 255},
                                  {0, 0, 0, 0},   {128, 0, 0, 0}, {0, 0, 0, 128}, {255, 255, 0, 64}};
  const std::uint8_t rgb[][3] = {{0, 255, 255}, {255, 0, 255}, {255, 255, 0}, {0, 0, 0},
                                 {255, 255, 255}, {127, 255, 255}, {127, 127, 127}, {0, 0, 191}};
  TRgbRows rows(8);
  for (auto& row : rows)
    for (int x = 0; x < 64; ++x) row.insert(row.end(), inks[x / 8], inks[x / 8] + 4);
  for (TJpegKind kind : {TJpegKind::Cmyk, TJpegKind::AdobeCmyk, TJpegKind::AdobeYcck}) {
    TBitmap read;
    DecodeJpegFile(JpegBytes(64, 8, rows, kind), "f.jpg", read);
    for (int block = 0; block < 8; ++block) {
      const TBGRPixel c = read.PixelColor(block * 8 + 4, 4);
      EXPECT_LE(std::abs(c.Red - rgb[block][0]) + std::abs(c.Green - rgb[block][1]) + std::abs(c.Blue - rgb[block][2]), 6)
          << "kind " << int(kind) << ", block " << block;
    }
  }
}

TEST(Picture, AProgressiveJpegBombIsRefusedBeforeItsPixelsAreDecoded) {
  // 8.4 MB that decoded would take 8.6 GB and half a minute.
  const std::string bomb = ProgressiveJpegBomb(65500, 65500);
  ASSERT_GT(bomb.size(), 8000000u);
  ResetPeakMemory();
  const long before = ProcessStatusKb("VmHWM:");
  TBitmap read;
  EXPECT_EQ(BRV_ERROR_TEXT(EInvalidPicture, DecodeJpegFile(bomb, "bomb.jpg", read)),
            "Cannot read the picture file bomb.jpg: it is 65500 x 65500 pixels; pictures of at most 16384 pixels on a "
            "side are read");
  EXPECT_LT(ProcessStatusKb("VmHWM:") - before, 32 * 1024);
}

// Every cut of a valid file and many random changes to it: each load, whole or
// reduced, succeeds or raises EInvalidPicture, nothing else.
TEST(Picture, EveryDamagedFileIsOursToReport) {
  const TRgbRows grey(24, std::vector<std::uint8_t>(24 * 3, 77));
  struct TReader {
    const char* Name;
    std::string Good;
    void (*Decode)(const std::string&, const std::string&, TBitmap&, int);
  };
  std::vector<TReader> readers = {
      {"bmp 8", BmpBytes(*Pattern(5, 3, pf8bit)), DecodeBitmapFile},
      {"bmp 24", BmpBytes(*Pattern(5, 3, pf24bit)), DecodeBitmapFile},
      {"bmp 32", BmpBytes(*Pattern(3, 2, pf32bit)), DecodeBitmapFile},
      {"jpeg", JpegBytes(24, 24, grey), DecodeJpegFile},
      {"jpeg cmyk", JpegBytes(24, 24, TRgbRows(24, std::vector<std::uint8_t>(24 * 4, 77)), TJpegKind::AdobeYcck),
       DecodeJpegFile},
  };
  for (const TBmpVariant& variant : BmpVariants()) readers.push_back({variant.Name, variant.File, DecodeBitmapFile});
  std::mt19937 random(20240611);
  for (const TReader& reader : readers) {
    std::vector<std::string> damaged;
    for (std::size_t size = 0; size < reader.Good.size(); ++size) damaged.push_back(reader.Good.substr(0, size));
    for (int i = 0; i < 400; ++i) {
      std::string bytes = reader.Good;
      for (int n = 1 + int(random() % 4); n > 0; --n)
        bytes[random() % bytes.size()] = static_cast<char>(random() % 256);
      damaged.push_back(bytes);
    }
    // Whole, and reduced to 2 pixels on the longer side.
    for (int maxSide : {0, 2}) {
      int refused = 0;
      for (const std::string& bytes : damaged) {
        TBitmap read;
        try {
          reader.Decode(bytes, "f", read, maxSide);
        } catch (const EInvalidPicture&) {
          ++refused;
        } catch (const std::exception& e) {
          ADD_FAILURE() << reader.Name << " at " << maxSide << ": " << e.what();
        }
      }
      EXPECT_GT(refused, int(reader.Good.size()) / 2) << reader.Name << " at " << maxSide;
    }
  }
}

TEST(Picture, ReducedSizesKeepTheProportionWithinTheLongestSide) {
  struct TCase {
    int Width, Height, MaxSide;
    TPictureSize Size;
  };
  const TCase cases[] = {
      {8000, 6000, 2048, {2048, 1536}}, {6000, 8000, 2048, {1536, 2048}}, {8000, 8000, 2048, {2048, 2048}},
      {2048, 100, 2048, {2048, 100}},   {300, 200, 0, {300, 200}},         {10000, 3, 2048, {2048, 1}},
      {301, 200, 300, {300, 199}},      {7, 5, 1, {1, 1}},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ReducedPictureSize(c.Width, c.Height, c.MaxSide), c.Size) << c.Width << " x " << c.Height;
}

// Each kind of BMP file reduced to one pixel: the average of its colours, in
// colours also for a palette picture.
TEST(Picture, EveryKindOfBmpFileReadsReducedToTheAverageOfItsPixels) {
  for (const TBmpVariant& variant : BmpVariants()) {
    TBitmap whole, reduced;
    DecodeBitmapFile(variant.File, "f.bmp", whole);
    ASSERT_EQ(BRV_ERROR_TEXT(EInvalidPicture, DecodeBitmapFile(variant.File, "f.bmp", reduced, 1)), "")
        << variant.Name;
    EXPECT_EQ(std::tuple(reduced.PixelFormat(), reduced.Width(), reduced.Height()),
              std::tuple(variant.Format == pf8bit ? pf24bit : variant.Format, 1, 1))
        << variant.Name;
    double sums[4] = {};
    for (int y = 0; y < whole.Height(); ++y)
      for (int x = 0; x < whole.Width(); ++x) {
        const TBGRPixel c = whole.PixelColor(x, y);
        sums[0] += c.Blue;
        sums[1] += c.Green;
        sums[2] += c.Red;
        if (whole.PixelFormat() == pf32bit) sums[3] += whole.ScanLine(y)[4 * x + 3];
      }
    const double pixels = whole.Width() * whole.Height();
    for (int channel = 0; channel < reduced.BytesPerPixel(); ++channel)
      EXPECT_NEAR(reduced.ScanLine(0)[channel], sums[channel] / pixels, 0.5) << variant.Name << ", byte " << channel;
  }
}

// A BMP file read at half its size: each pixel the average of a 2 x 2 block, rows
// stored bottom row first or top row first alike.
TEST(Picture, BmpRowsAreAveragedInBlocks) {
  TBitmap pattern(8, 4, pf24bit);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      std::uint8_t* p = pattern.ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(x * 30);
      p[1] = static_cast<std::uint8_t>(y * 60);
      p[2] = static_cast<std::uint8_t>((x + y) % 2 ? 200 : 100);
    }
  std::string topDown = BmpBytes(pattern);
  // The same pixels stored top row first: a negative height, the rows reversed.
  SetU32(topDown, 22, static_cast<std::uint32_t>(-4));
  const std::size_t rowSize = 24, pixelsAt = 54;
  for (std::size_t y = 0; y < 2; ++y)
    std::swap_ranges(topDown.begin() + std::ptrdiff_t(pixelsAt + y * rowSize),
                     topDown.begin() + std::ptrdiff_t(pixelsAt + (y + 1) * rowSize),
                     topDown.begin() + std::ptrdiff_t(pixelsAt + (3 - y) * rowSize));
  for (const std::string& file : {BmpBytes(pattern), topDown}) {
    TBitmap read;
    DecodeBitmapFile(file, "f.bmp", read, 4);
    EXPECT_EQ(ColourRows(read), (std::vector<std::string>{"961E0F 961E4B 961E87 961EC3", "96960F 96964B 969687 9696C3"}));
  }
}

// JPEG files read reduced: libjpeg's scale, then the rest exactly to the longest
// side; colour, grey and CMYK files keep their colours.
TEST(Picture, JpegFilesReadReducedKeepTheirColours) {
  // Left 96 pixels red, the rest blue, in whole 8 x 8 blocks.
  TRgbRows rows(104);
  for (auto& row : rows)
    for (int x = 0; x < 200; ++x)
      row.insert(row.end(), {std::uint8_t(x < 96 ? 255 : 0), 0, std::uint8_t(x < 96 ? 0 : 255)});
  const std::string colours = JpegBytes(200, 104, rows);
  struct TCase {
    int MaxSide, Width, Height;
  };
  // 3/8 of the size, then 75 to 64; exactly a quarter; no larger than the picture.
  for (const TCase& c : {TCase{64, 64, 33}, TCase{50, 50, 26}, TCase{200, 200, 104}, TCase{1000, 200, 104}}) {
    TBitmap read;
    DecodeJpegFile(colours, "f.jpg", read, c.MaxSide);
    ASSERT_EQ(std::tuple(read.PixelFormat(), read.Width(), read.Height()), std::tuple(pf24bit, c.Width, c.Height))
        << c.MaxSide;
    const TBGRPixel red = read.PixelColor(c.Width / 5, c.Height / 2), blue = read.PixelColor(c.Width * 4 / 5, 3);
    EXPECT_TRUE(red.Red > 245 && red.Blue < 10 && blue.Blue > 245 && blue.Red < 10) << c.MaxSide;
  }
  TBitmap whole, large;
  DecodeJpegFile(colours, "f.jpg", whole);
  DecodeJpegFile(colours, "f.jpg", large, 200);
  ExpectSamePixels(large, whole);

  TBitmap grey;
  DecodeJpegFile(JpegBytes(64, 64, TRgbRows(64, std::vector<std::uint8_t>(64, 90)), TJpegKind::Grey), "f.jpg", grey, 10);
  EXPECT_EQ(std::pair(grey.Width(), grey.Height()), std::pair(10, 10));
  EXPECT_NEAR(grey.PixelColor(5, 5).Green, 90, 2);
  // At 2/8 the longer side reaches 3 pixels, the shorter one only 2.
  DecodeJpegFile(JpegBytes(9, 8, TRgbRows(8, std::vector<std::uint8_t>(9, 90)), TJpegKind::Grey), "f.jpg", grey, 3);
  EXPECT_EQ(std::pair(grey.Width(), grey.Height()), std::pair(3, 3));
  // Blocks of cyan, then of yellow ink.
  TRgbRows inks(16);
  for (auto& row : inks)
    for (int x = 0; x < 32; ++x) row.insert(row.end(), {std::uint8_t(x < 16 ? 255 : 0), 0, std::uint8_t(x < 16 ? 0 : 255), 0});
  TBitmap cmyk;
  DecodeJpegFile(JpegBytes(32, 16, inks, TJpegKind::AdobeCmyk), "f.jpg", cmyk, 4);
  ASSERT_EQ(std::pair(cmyk.Width(), cmyk.Height()), std::pair(4, 2));
  const TBGRPixel cyan = cmyk.PixelColor(0, 1), yellow = cmyk.PixelColor(3, 0);
  EXPECT_TRUE(cyan.Red < 10 && cyan.Green > 245 && cyan.Blue > 245) << int(cyan.Red);
  EXPECT_TRUE(yellow.Red > 245 && yellow.Green > 245 && yellow.Blue < 10) << int(yellow.Blue);
}

// A reduced read holds the reduced picture, never the whole one: 8000 x 8000
// pixels would take 183 MB, 4096 x 4096 of a BMP file 48 MB.
TEST(Picture, AReducedReadNeverHoldsTheWholePicture) {
  const std::string jpeg = FlatJpegBytes(8000, 8000, 10, 200, 30);
  std::string bmp;
  {
    TBitmap big(4096, 4096, pf24bit);
    bmp = BmpBytes(big);
  }
  struct TCase {
    const char* Name;
    const std::string& Bytes;
    void (*Decode)(const std::string&, const std::string&, TBitmap&, int);
    int MaxSide;
    long MostKb;
  };
  // 12 MB for 2048 x 2048 pixels and libjpeg's own buffers; 768 kB for 512 x 512.
  const TCase cases[] = {{"f.jpg", jpeg, DecodeJpegFile, 2048, 40 * 1024}, {"f.bmp", bmp, DecodeBitmapFile, 512, 8 * 1024}};
  for (const TCase& c : cases) {
    ResetPeakMemory();
    const long before = ProcessStatusKb("VmHWM:");
    TBitmap read;
    c.Decode(c.Bytes, c.Name, read, c.MaxSide);
    EXPECT_LT(ProcessStatusKb("VmHWM:") - before, c.MostKb) << c.Name;
    EXPECT_EQ(read.Width(), c.MaxSide) << c.Name;
  }
}

TEST(Picture, FilesAreChosenByExtensionAndAFailedLoadChangesNothing) {
  TScratchFolder folder;
  const TRgbRows grey(8, std::vector<std::uint8_t>(8, 40));
  WriteFileBytes(folder.File("a.BMP"), BmpBytes(*Pattern(3, 2, pf24bit)));
  WriteFileBytes(folder.File("b.jpeg"), JpegBytes(8, 8, grey, TJpegKind::Grey));
  WriteFileBytes(folder.File("c.png"), "");
  WriteFileBytes(folder.File("d.jpg"), BmpBytes(*Pattern(3, 2, pf24bit)));
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };

  picture.LoadFromFile(folder.File("b.jpeg"));
  EXPECT_EQ(picture.Width(), 8);
  picture.LoadFromFile(folder.File("a.BMP"));
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(changes, 2);
  EXPECT_THROW(picture.LoadFromFile(folder.File("c.png")), EInvalidPicture);
  EXPECT_THROW(picture.LoadFromFile(folder.File("d.jpg")), EInvalidPicture);
  EXPECT_THROW(picture.LoadFromFile(folder.File("missing.bmp")), EFOpenError);
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(changes, 2);

  // Saved as BMP files only, so that no file holds another format than its name says.
  EXPECT_THROW(picture.SaveToFile(folder.File("p.jpg")), EInvalidPicture);
  EXPECT_FALSE(std::filesystem::exists(folder.File("p.jpg")));
  picture.SaveToFile(folder.File("p.bmp"));
  TPicture again;
  again.LoadFromFile(folder.File("p.bmp"));
  ExpectSamePixels(*again.Graphic(), *picture.Graphic());
}

// What a user reads when a picture is refused: the file, what it is, what is read.
TEST(Picture, RefusalsNameTheFileAndSayWhatItIsAndWhatIsRead) {
  TScratchFolder folder;
  std::string runs = BmpBytes(*Pattern(4, 2, pf24bit));
  runs[30] = 1;
  std::string many = BmpBytes(*Pattern(4, 2, pf24bit));
  SetU32(many, 18, 10000);
  SetU32(many, 22, 9000);
  const struct {
    const char* File;
    std::string Bytes;
    const char* Message;
  } cases[] = {
      {"empty.jpg", "", "the file is empty"},
      {"empty.bmp", "", "the file is empty"},
      {"photo.jpg", Bytes("89 50 4E 47 0D 0A 1A 0A 00 00 00 0D"),
       "it is a PNG file named .jpg; BMP files (.bmp) and JPEG files (.jpg, .jpeg) are read"},
      {"text.jpg", "hello", "it is not a JPEG file: JPEG files start with the bytes FF D8, this one with 68 65"},
      {"wood", "BM", "its name has no extension; BMP files (.bmp) and JPEG files (.jpg, .jpeg) are read"},
      {"runs.bmp", runs,
       "it is a BMP file of 24 bits per pixel run-length encoded for 8 bits per pixel; BMP files are read uncompressed, "
       "run-length encoded for 4 and 8 bits per pixel, and in colour masks for 16 and 32 bits per pixel"},
      {"many.bmp", many, "it is 10000 x 9000 pixels, 90000000 in all; pictures of at most 67108864 pixels in all are read"},
      {"pair.jpg", JpegBytes(8, 8, TRgbRows(8, std::vector<std::uint8_t>(16, 1)), TJpegKind::TwoComponents),
       "it is a JPEG file of 2 colour components in no colour space we know; grey, colour, CMYK and YCCK JPEG files "
       "are read"},
  };
  for (const auto& c : cases) {
    WriteFileBytes(folder.File(c.File), c.Bytes);
    TPicture picture;
    EXPECT_EQ(BRV_ERROR_TEXT(EInvalidPicture, picture.LoadFromFile(folder.File(c.File))),
              "Cannot read the picture file " + folder.File(c.File) + ": " + c.Message);
  }
}

}  // namespace
