#include "scene/gl/GLScreen.h"

#include "base/Exceptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A display with a fixed list of modes; its test accepts what the list holds
// (or anything, like a driver whose tests prove nothing).
class TFakeDisplay : public TDisplayModeDriver {
public:
  TVideoMode Desktop{1024, 768, 32, ""};
  std::vector<TVideoMode> Listed;
  bool AcceptsAnything = false;
  std::vector<TVideoMode> Accepted;  // besides the listed ones
  std::vector<std::string> Log;

  TVideoMode DesktopMode() override { return Desktop; }
  bool EnumMode(int index, TVideoMode& mode) override {
    if (index < 0 || index >= static_cast<int>(Listed.size())) return false;
    mode = Listed[static_cast<std::size_t>(index)];
    return true;
  }
  bool TestMode(const TVideoMode& mode) override {
    if (AcceptsAnything) return true;
    for (const auto* list : {&Listed, &Accepted})
      for (const TVideoMode& m : *list)
        if (m.Width == mode.Width && m.Height == mode.Height && m.ColorDepth == mode.ColorDepth) return true;
    return false;
  }
  bool SetMode(const TVideoMode& mode) override {
    Log.push_back("set " + std::to_string(mode.Width));
    return TestMode(mode);
  }
  void RestoreMode() override { Log.push_back("restore"); }
};

TVideoMode Mode(int width, int height, int depth) {
  return {static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), static_cast<std::uint8_t>(depth), ""};
}

class GLScreenTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Two modes that differ only in refresh rate arrive as one mode twice.
    display.Listed = {Mode(640, 480, 16), Mode(800, 600, 32), Mode(800, 600, 32), Mode(1024, 768, 32)};
    SetDisplayModeDriver(&display);
  }
  void TearDown() override { SetDisplayModeDriver(nullptr); }
  TFakeDisplay display;
};

TEST_F(GLScreenTest, TableHoldsTheDesktopThenEachListedModeOnce) {
  display.AcceptsAnything = true;
  FillVideoModeTable();
  ASSERT_EQ(VideoModeCount(), 4);
  EXPECT_EQ(VideoMode(0).Description, "default");
  EXPECT_EQ(VideoMode(0).Width, 1024);
  EXPECT_EQ(VideoMode(1).Description, "640 x 480, 16 bpp");
  EXPECT_EQ(VideoMode(2).Description, "800 x 600, 32 bpp");
  EXPECT_EQ(VideoMode(3).Description, "1024 x 768, 32 bpp");
  EXPECT_THROW(VideoMode(4), ERangeError);
}

TEST_F(GLScreenTest, StandardModesAreOfferedOnlyToADriverThatCanRefuse) {
  display.Accepted = {Mode(320, 200, 8), Mode(512, 384, 32), Mode(1600, 1200, 32)};
  FillVideoModeTable();
  ASSERT_EQ(VideoModeCount(), 6);
  EXPECT_EQ(VideoMode(4).Description, "320 x 200, 8 bpp");
  EXPECT_EQ(VideoMode(5).Description, "512 x 384, 32 bpp");

  // A driver listing more than the table holds fills it to 200 records.
  display.Listed.clear();
  for (int width = 1; width <= 300; ++width) display.Listed.push_back(Mode(width, 100, 32));
  FillVideoModeTable();
  EXPECT_EQ(VideoModeCount(), MAX_VIDEO_MODES);
}

TEST_F(GLScreenTest, BestModeIsTheSmallestThatHoldsTheRequest) {
  display.Listed.push_back(Mode(800, 600, 16));
  display.Listed.push_back(Mode(1280, 1024, 32));
  FillVideoModeTable();
  struct TCase {
    int width, height, depth;
    const char* expected;
  };
  for (TCase c : {TCase{800, 600, 32, "800 x 600, 32 bpp"}, TCase{640, 480, 8, "640 x 480, 16 bpp"},
                  TCase{800, 600, 24, "800 x 600, 32 bpp"}, TCase{1100, 800, 32, "1280 x 1024, 32 bpp"},
                  TCase{700, 500, 16, "800 x 600, 16 bpp"}}) {
    int index = BestVideoModeIndex(c.width, c.height, c.depth);
    ASSERT_GT(index, 0) << c.expected;
    EXPECT_EQ(VideoMode(index).Description, c.expected);
  }
  EXPECT_EQ(BestVideoModeIndex(2000, 1500, 32), 0);
  EXPECT_EQ(BestVideoModeIndex(640, 480, 64), 0);
}

TEST_F(GLScreenTest, SwitchedModeIsRememberedAndGivenBack) {
  FillVideoModeTable();
  int index = BestVideoModeIndex(800, 600, 32);
  EXPECT_TRUE(SetFullscreenMode(index));
  EXPECT_EQ(CurrentVideoMode(), index);
  RestoreDefaultMode();
  EXPECT_EQ(CurrentVideoMode(), 0);
  EXPECT_EQ(display.Log, (std::vector<std::string>{"set 800", "restore"}));

  // A mode the display refuses is not remembered; one still set is restored
  // when the driver goes.
  display.Listed.push_back(Mode(1920, 1080, 32));
  FillVideoModeTable();
  display.Listed.pop_back();
  EXPECT_FALSE(SetFullscreenMode(VideoModeCount() - 1));
  EXPECT_EQ(CurrentVideoMode(), 0);
  EXPECT_TRUE(SetFullscreenMode(1));
  display.Log.clear();
  SetDisplayModeDriver(nullptr);
  EXPECT_EQ(display.Log, (std::vector<std::string>{"restore"}));
  EXPECT_EQ(CurrentVideoMode(), 0);
}

}  // namespace
