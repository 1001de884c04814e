#include "scene/gl/GLPixelFormat.h"

#include <gtest/gtest.h>

namespace {

TPixelFormatInfo Format(int id, int bits, int alpha, int depth, int stencil = 0, int samples = 0) {
  TPixelFormatInfo f;
  f.Id = id;
  int channel = bits == 16 ? 5 : 8;
  f.RedBits = f.GreenBits = f.BlueBits = channel;
  f.AlphaBits = alpha;
  f.BufferBits = bits;
  f.DepthBits = depth;
  f.StencilBits = stencil;
  f.SampleBuffers = samples > 0 ? 1 : 0;
  f.Samples = samples;
  f.Window = f.Pbuffer = true;
  return f;
}

// Shaped like a software driver's list: every size with and without 4x
// multisampling, a wide 10-bit format, and entries no GL scene can use.
std::vector<TPixelFormatInfo> DriverFormats() {
  std::vector<TPixelFormatInfo> formats;
  int id = 1;
  for (int samples : {4, 0})
    for (int bits : {32, 24, 16})
      for (int depth : {0, 16, 24})
        formats.push_back(Format(id++, bits, bits == 32 ? 8 : 0, depth, depth == 24 ? 8 : 0, samples));
  TPixelFormatInfo wide = Format(id++, 32, 2, 24);
  wide.RedBits = wide.GreenBits = wide.BlueBits = 10;
  formats.insert(formats.begin(), wide);
  TPixelFormatInfo floating = Format(id++, 64, 16, 24);
  floating.RGBA = false;
  TPixelFormatInfo gles = Format(id++, 32, 8, 24);
  gles.OpenGL = false;
  formats.insert(formats.begin(), {floating, gles});
  return formats;
}

TPixelFormatSettings Settings(int color, int alpha, int depth, TGLAntiAliasing aa = aaDefault, int stencil = 0,
                              TGLRCOptions options = rcoDoubleBuffered) {
  TPixelFormatSettings s;
  s.ColorBits = color;
  s.AlphaBits = alpha;
  s.DepthBits = depth;
  s.StencilBits = stencil;
  s.AntiAliasing = aa;
  s.Options = options;
  return s;
}

TEST(AttributeList, PairsKeepTheirClosingZero) {
  TAttributeList list;
  EXPECT_EQ(list.Items(), (std::vector<int>{0}));
  list.Add(pfaColorBits, 24);
  list.Add(pfaDepthBits, 16);
  list.Change(pfaColorBits, 16);
  list.Change(pfaSamples, 4);
  list.Drop(pfaDepthBits);
  EXPECT_EQ(list.Items(), (std::vector<int>{pfaColorBits, 16, pfaSamples, 4, 0}));
  int value = 0;
  EXPECT_TRUE(list.Find(pfaSamples, &value));
  EXPECT_EQ(value, 4);
  EXPECT_FALSE(list.Find(pfaDepthBits));
}

TEST(PixelFormat, StrictChoiceFollowsTheRequestAndItsRelaxation) {
  struct TCase {
    const char* what;
    TPixelFormatSettings settings;
    bool window;
    int bits, alpha, depth, samples;
  };
  const TCase cases[] = {
      {"smallest fit, no multisampling", Settings(24, 0, 24), true, 24, 0, 24, 0},
      {"alpha 8 takes RGBA8", Settings(24, 8, 24), true, 32, 8, 24, 0},
      {"4x sampling", Settings(24, 0, 16, aa4x), true, 24, 0, 16, 4},
      {"2x is met by 4x", Settings(24, 0, 16, aa2xHQ), false, 24, 0, 16, 4},
      {"depth 32 relaxes to 24", Settings(24, 0, 32), true, 24, 0, 24, 0},
      {"colour 32 without alpha takes the smallest 32-bit buffer", Settings(32, 0, 24), true, 32, 8, 24, 0},
      {"stencil", Settings(24, 0, 0, aaNone, 8), true, 24, 0, 24, 0},
  };
  std::vector<TPixelFormatInfo> formats = DriverFormats();
  for (const TCase& c : cases) {
    int index = ChoosePixelFormatStrict(c.settings, c.window, formats);
    ASSERT_GE(index, 0) << c.what;
    const TPixelFormatInfo& f = formats[static_cast<std::size_t>(index)];
    EXPECT_EQ(f.BufferBits, c.bits) << c.what;
    EXPECT_EQ(f.AlphaBits, c.alpha) << c.what;
    EXPECT_EQ(f.DepthBits, c.depth) << c.what;
    EXPECT_EQ(f.Samples, c.samples) << c.what;
    EXPECT_EQ(f.RedBits, c.bits == 16 ? 5 : 8) << c.what;
  }
}

TEST(PixelFormat, StrictChoiceGivesUpOnlyAfterTheLastRelaxation) {
  TPixelFormatSettings s = Settings(32, 0, 32, aa4x, 0, 0);
  // Only slow formats: the last step takes the settings back and drops speed.
  std::vector<TPixelFormatInfo> slow = {Format(1, 32, 8, 16), Format(2, 32, 8, 32), Format(3, 16, 0, 16)};
  for (TPixelFormatInfo& f : slow) f.Slow = true;
  EXPECT_EQ(ChoosePixelFormatStrict(s, true, slow), 1);
  slow.erase(slow.begin() + 1);
  EXPECT_EQ(ChoosePixelFormatStrict(s, true, slow), -1);
  // Accumulation and stereo buffers exist nowhere.
  s.AccumBits = 16;
  EXPECT_EQ(ChoosePixelFormatStrict(s, true, DriverFormats()), -1);
  s.AccumBits = 0;
  s.Options = rcoStereo;
  EXPECT_EQ(ChoosePixelFormatStrict(s, true, DriverFormats()), -1);
  // A pixel buffer needs a format that can draw to one.
  std::vector<TPixelFormatInfo> windowsOnly = DriverFormats();
  for (TPixelFormatInfo& f : windowsOnly) f.Pbuffer = false;
  s.Options = 0;
  EXPECT_EQ(ChoosePixelFormatStrict(s, false, windowsOnly), -1);
  // Without multisampled formats described, "no anti-aliasing" picks the first fit.
  s.AntiAliasing = aaNone;
  s.Multisample = false;
  std::vector<TPixelFormatInfo> sampled = {Format(1, 32, 8, 24, 0, 4)};
  EXPECT_EQ(ChoosePixelFormatStrict(s, true, sampled), 0);
  s.Multisample = true;
  EXPECT_EQ(ChoosePixelFormatStrict(s, true, sampled), -1);
}

TEST(PixelFormat, LenientChoiceRefusesSlowFormatsUntilItMustTakeOne) {
  TPixelFormatSettings s = Settings(24, 0, 24, aaDefault, 0, rcoStereo);
  // Software only at the requested depth; hardware at 16 bits.
  std::vector<TPixelFormatInfo> formats = {Format(1, 24, 0, 24), Format(2, 24, 0, 16), Format(3, 16, 0, 16)};
  formats[0].Slow = true;
  EXPECT_EQ(ChoosePixelFormatLenient(s, formats), 1);
  // Hardware only at 16-bit colour.
  formats[1].Slow = true;
  EXPECT_EQ(ChoosePixelFormatLenient(s, formats), 2);
  // Nothing fast: the format closest to the last, 16-bit, request is taken.
  formats[2].Slow = true;
  EXPECT_EQ(ChoosePixelFormatLenient(s, formats), 2);
  for (TPixelFormatInfo& f : formats) f.Window = false;
  EXPECT_EQ(ChoosePixelFormatLenient(s, formats), -1);
}

}  // namespace
