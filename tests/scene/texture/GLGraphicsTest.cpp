#include "scene/texture/GLGraphics.h"

#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/PictureTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

using TTexts = std::vector<std::string>;
using TRGBA = std::array<std::uint8_t, 4>;

TRGBA PixelAt(const TGLBitmap32& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.Data() + 4 * (y * bitmap.Width() + x);
  return {p[0], p[1], p[2], p[3]};
}

// A bitmap whose rows, from the top, have the given colours (blue, green, red);
// 32-bit pixels get alpha 10 x their column.
std::unique_ptr<TBitmap> Rows(int width, std::initializer_list<TBGRPixel> colours, TPixelFormat format = pf24bit) {
  auto bitmap = std::make_unique<TBitmap>(width, static_cast<int>(colours.size()), format);
  int y = 0;
  for (const TBGRPixel& c : colours) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = bitmap->ScanLine(y) + x * bitmap->BytesPerPixel();
      std::tie(p[0], p[1], p[2]) = std::tuple(c.Blue, c.Green, c.Red);
      if (format == pf32bit) p[3] = static_cast<std::uint8_t>(10 * x);
    }
    ++y;
  }
  return bitmap;
}

std::string AssertionText(const std::function<void()>& action) {
  try {
    action();
  } catch (const EAssertionFailed& e) {
    return e.Message() + " in " + e.Unit();
  }
  return "";
}

TEST(GLBitmap32, SizesAreWholeRowsOfFourPixels) {
  TGLBitmap32 bitmap;
  bitmap.SetHeight(3);
  for (auto [set, width] : {std::pair{5, 8}, {8, 8}, {1, 4}, {0, 0}, {13, 16}}) {
    bitmap.SetWidth(set);
    EXPECT_EQ(std::pair(bitmap.Width(), bitmap.DataSize()), std::pair(width, width * 3 * 4)) << set;
  }
  EXPECT_EQ(AssertionText([&] { bitmap.SetWidth(-5); }), "TGLBitmap32::SetWidth(): negative width -5 in GLGraphics");
  EXPECT_THROW(bitmap.SetWidth(0x7FFFFFF0), EIntOverflow);
  EXPECT_EQ(bitmap.Width(), 16);
}

TEST(GLBitmap32, RowsAreStoredBottomRowFirstUnlessReversed) {
  const auto picture = Rows(4, {{0, 0, 255}, {255, 0, 0}});  // red above blue
  TGLBitmap32 bitmap;
  bitmap.Assign(picture.get());
  EXPECT_EQ(PixelAt(bitmap, 0, 0), (TRGBA{0, 0, 255, 255}));
  EXPECT_EQ(PixelAt(bitmap, 3, 1), (TRGBA{255, 0, 0, 255}));
  bitmap.VerticalReverseOnAssignFromBitmap = true;
  bitmap.Assign(picture.get());
  EXPECT_EQ(PixelAt(bitmap, 0, 0), (TRGBA{255, 0, 0, 255}));
  bitmap.Assign(Rows(4, {{1, 2, 3}}, pf32bit).get());
  EXPECT_EQ(PixelAt(bitmap, 2, 0), (TRGBA{3, 2, 1, 20})) << "32-bit pictures keep their alpha";
  bitmap.Assign(nullptr);
  EXPECT_EQ(bitmap.DataSize(), 0);
}

TEST(GLBitmap32, OddWidthsAndPalettesAreStretchedOverWholeRows) {
  TBitmap odd(3, 2, pf24bit);
  for (int x = 0; x < 3; ++x) odd.ScanLine(0)[3 * x + 2] = static_cast<std::uint8_t>(100 + x);
  TGLBitmap32 bitmap;
  bitmap.Assign(&odd);
  ASSERT_EQ(std::pair(bitmap.Width(), bitmap.Height()), std::pair(4, 2));
  // Columns 0 1 2 3 show the picture's columns 0 0 1 2; its top row is row 1.
  for (auto [x, red] : {std::pair{0, 100}, {1, 100}, {2, 101}, {3, 102}}) EXPECT_EQ(PixelAt(bitmap, x, 1)[0], red);

  TBitmap palette(4, 1, pf8bit);
  FillPattern(palette);
  bitmap.Assign(&palette);
  EXPECT_EQ(PixelAt(bitmap, 1, 0), (TRGBA{60, 50, 40, 255}));

  EXPECT_EQ(AssertionText([&] { bitmap.AssignFromRGBBitmap(odd); }),
            "TGLBitmap32::AssignFromRGBBitmap(): width 3 is not a multiple of 4 in GLGraphics");
  EXPECT_EQ(AssertionText([&] { bitmap.AssignFromRGBABitmap(palette); }),
            "TGLBitmap32::AssignFromRGBABitmap(): the bitmap is not 32-bit in GLGraphics");
}

TEST(GLBitmap32, AlphaIsComputedFromTheColours) {
  const auto greys = Rows(4, {{0, 0, 0}, {64, 64, 64}, {255, 255, 255}, {0, 0, 255}, {30, 60, 90}});
  TGLBitmap32 bitmap;
  struct TCase {
    const char* Operation;
    std::function<void()> Run;
    std::array<std::uint8_t, 5> Alpha;  // from the bottom row up
  };
  const TCase cases[] = {
      {"intensity", [&] { bitmap.AlphaFromIntensity(); }, {60, 85, 255, 64, 0}},
      {"square root", [&] { bitmap.AlphaFromIntensitySqrt(); }, {123, 147, 255, 127, 0}},
      {"red key", [&] { bitmap.AlphaFromColorKey(MakeRGB(255, 0, 0)); }, {255, 0, 255, 255, 255}},
      {"constant", [&] { bitmap.AlphaToConstant(7); }, {7, 7, 7, 7, 7}},
  };
  for (const TCase& c : cases) {
    bitmap.Assign(greys.get());
    bitmap.AlphaToConstant(33);
    c.Run();
    for (int y = 0; y < 5; ++y) EXPECT_EQ(PixelAt(bitmap, 1, y)[3], c.Alpha[y]) << c.Operation << " row " << y;
  }
}

TEST(GLBitmap32, UploadsAreScaledToPowersOfTwoWithinTheLimit) {
  TRecordingGL gl;
  int width = 0, height = 0;
  auto upload = [&](int w, int h, TGLMinFilter filter) {
    TGLBitmap32 bitmap;
    bitmap.SetWidth(w);
    bitmap.SetHeight(h);
    return gl.CallsOf([&] { bitmap.UploadAsTexture(GL_TEXTURE_2D, filter, GL_RGBA8, width, height); });
  };
  const std::string maxSize = GLCallText("glGetIntegerv", GL_MAX_TEXTURE_SIZE, "ptr");
  auto scale = [](int w, int h) {
    return GLCallText("gluScaleImage", GL_RGBA, 100, 60, GL_UNSIGNED_BYTE, "ptr", w, h, GL_UNSIGNED_BYTE, "ptr");
  };
  EXPECT_EQ(upload(100, 60, miLinearMipmapLinear),
            (TTexts{maxSize, scale(128, 64),
                    GLCallText("gluBuild2DMipmaps", GL_TEXTURE_2D, GL_RGBA8, 128, 64, GL_RGBA, GL_UNSIGNED_BYTE, "ptr")}));
  EXPECT_EQ(std::pair(width, height), std::pair(128, 64));
  gl.Integers[GL_MAX_TEXTURE_SIZE] = {64};
  EXPECT_EQ(upload(100, 60, miLinear),
            (TTexts{maxSize, scale(64, 64),
                    GLCallText("glTexImage2D", GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, "ptr")}));
  // Powers of two go as they are; the mipmaps from GLU also where the driver could
  // generate them, so that a deleted texture gives its storage back.
  gl.SGIS_generate_mipmap = true;
  EXPECT_EQ(upload(32, 16, miNearestMipmapLinear),
            (TTexts{maxSize,
                    GLCallText("gluBuild2DMipmaps", GL_TEXTURE_2D, GL_RGBA8, 32, 16, GL_RGBA, GL_UNSIGNED_BYTE, "ptr")}));
  EXPECT_EQ(upload(0, 16, miNearest), TTexts{});
  gl.Returns["gluScaleImage"] = {GL_OUT_OF_MEMORY};
  EXPECT_EQ(BRV_ERROR_TEXT(EOpenGLError, upload(12, 4, miLinear)), "out of memory");
}

}  // namespace
