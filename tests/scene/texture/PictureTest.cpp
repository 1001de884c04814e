// Pictures read from and written to files. Damaged files are fed to the readers in
// bulk: each either loads or raises EInvalidPicture; under the sanitizers this also
// shows that no byte sequence makes a reader touch memory it does not own.

#include "scene/texture/Picture.h"

#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/PictureTestSupport.h"

#include <gtest/gtest.h>

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
    // Rows padded to whole 32-bit words.
    const std::size_t rowSize = (std::size_t(c.Width) * written->BytesPerPixel() + 3) / 4 * 4;
    EXPECT_EQ(bytes.size(), 54 + (c.Format == pf8bit ? 1024 : 0) + rowSize * c.Height);
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

  // 32 bits with the colour masks after a 40-byte header.
  std::string masked = BmpBytes(*Pattern(2, 2, pf32bit));
  SetU32(masked, 30, 3);
  masked.insert(54, Bytes("00 00 FF 00 00 FF 00 00 FF 00 00 00"));
  SetU32(masked, 10, 66);
  ASSERT_EQ(Decoded(masked, read), "");
  ExpectSamePixels(read, *Pattern(2, 2, pf32bit));
  SetU32(masked, 54, 0x0000FF00);
  EXPECT_NE(Decoded(masked, read).find("colour masks other than"), std::string::npos);
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
      {"signature", [](std::string& b) { b[1] = 'X'; }, "it does not start with the BMP signature \"BM\""},
      {"old header", [](std::string& b) { SetU32(b, 14, 12); }, "unsupported information header of 12 bytes"},
      {"header cut", [](std::string& b) { SetU32(b, 14, 124); b.resize(100); },
       "the information header of 124 bytes is cut short"},
      {"16 bits", [](std::string& b) { SetU16(b, 28, 16); }, "16 bits per pixel; 8, 24 and 32 are read"},
      {"run lengths", [](std::string& b) { SetU32(b, 30, 1); }, "compression method 1 is not supported"},
      {"no width", [](std::string& b) { SetU32(b, 18, 0); }, "invalid size 0 x 2"},
      {"lowest height", [](std::string& b) { SetU32(b, 22, 0x80000000u); }, "invalid size 4 x -2147483648"},
      {"huge", [](std::string& b) { SetU32(b, 18, 20000); SetU32(b, 22, 20000); },
       "20000 x 20000 pixels, more than the largest picture"},
      {"palette", [](std::string& b) { SetU32(b, 46, 300); }, "a palette of 300 colours, more than 256"},
      {"palette cut", [](std::string& b) { b.resize(154); }, "the palette of 256 colours is cut short"},
      {"pixels cut", [](std::string& b) { b.resize(b.size() - 1); }, "the pixels need 1086 bytes, the file has 1085"},
      {"pixels far away", [](std::string& b) { SetU32(b, 10, 0xFFFFFFF0u); }, "the pixels need 4294967288 bytes"},
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
  const std::string colours = JpegBytes(16, 8, rows), grey = JpegBytes(8, 8, TRgbRows(8, std::vector<std::uint8_t>(8, 128)), 1);
  TBitmap read;
  auto error = [&](const std::string& bytes) { return BRV_ERROR_TEXT(EInvalidPicture, DecodeJpegFile(bytes, "f.jpg", read)); };
  ASSERT_EQ(error(colours), "");
  EXPECT_EQ(std::tuple(read.PixelFormat(), read.Width(), read.Height()), std::tuple(pf24bit, 16, 8));
  const TBGRPixel red = read.PixelColor(2, 3), blue = read.PixelColor(13, 6);
  EXPECT_TRUE(red.Red > 250 && red.Blue < 5 && blue.Blue > 250 && blue.Red < 5);
  ASSERT_EQ(error(grey), "");
  EXPECT_NEAR(read.PixelColor(4, 4).Red, 128, 2) << "grey pictures read as colour";

  EXPECT_EQ(error(grey.substr(0, grey.size() - 20)), "Invalid picture file f.jpg: Premature end of JPEG file");
  EXPECT_EQ(error(BmpBytes(*Pattern(4, 4, pf24bit))), "Invalid picture file f.jpg: Not a JPEG file: starts with 0x42 0x4d");
  EXPECT_EQ(error(""), "Invalid picture file f.jpg: Empty input file");
  // A frame header claiming 60000 x 60000 pixels is refused before anything is allocated for them.
  std::string huge = grey;
  const std::size_t frame = huge.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  huge.replace(frame + 5, 4, "\xEA\x60\xEA\x60");
  EXPECT_NE(error(huge).find("60000 x 60000 pixels, more than the largest picture"), std::string::npos) << error(huge);
}

// Every cut of a valid file and many random changes to it: each load succeeds or
// raises EInvalidPicture, nothing else.
TEST(Picture, EveryDamagedFileIsOursToReport) {
  const TRgbRows grey(24, std::vector<std::uint8_t>(24 * 3, 77));
  struct TReader {
    const char* Name;
    std::string Good;
    void (*Decode)(const std::string&, const std::string&, TBitmap&);
  };
  const TReader readers[] = {
      {"bmp 8", BmpBytes(*Pattern(5, 3, pf8bit)), DecodeBitmapFile},
      {"bmp 24", BmpBytes(*Pattern(5, 3, pf24bit)), DecodeBitmapFile},
      {"bmp 32", BmpBytes(*Pattern(3, 2, pf32bit)), DecodeBitmapFile},
      {"jpeg", JpegBytes(24, 24, grey), DecodeJpegFile},
  };
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
    int refused = 0;
    for (const std::string& bytes : damaged) {
      TBitmap read;
      try {
        reader.Decode(bytes, "f", read);
      } catch (const EInvalidPicture&) {
        ++refused;
      } catch (const std::exception& e) {
        ADD_FAILURE() << reader.Name << ": " << e.what();
      }
    }
    EXPECT_GT(refused, int(reader.Good.size()) / 2) << reader.Name;
  }
}

TEST(Picture, FilesAreChosenByExtensionAndAFailedLoadChangesNothing) {
  TScratchFolder folder;
  const TRgbRows grey(8, std::vector<std::uint8_t>(8, 40));
  WriteFileBytes(folder.File("a.BMP"), BmpBytes(*Pattern(3, 2, pf24bit)));
  WriteFileBytes(folder.File("b.jpeg"), JpegBytes(8, 8, grey, 1));
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
  EXPECT_EQ(BRV_ERROR_TEXT(EInvalidPicture, picture.LoadFromFile(folder.File("c.png"))),
            "Unknown picture file extension (.png) of " + folder.File("c.png"));
  EXPECT_NE(BRV_ERROR_TEXT(EInvalidPicture, picture.LoadFromFile(folder.File("d.jpg"))).find("Not a JPEG file"),
            std::string::npos);
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

}  // namespace
