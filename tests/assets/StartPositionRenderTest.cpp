// The start position drawn off screen from the board window's start camera, on
// both boards, from the files the build generated: every piece shows on its square
// and nothing of it spills onto the empty squares between the armies.

#include <gtest/gtest.h>

#include <cstdlib>

#include "tools/assets/ModelView.h"

namespace {

constexpr int WIDTH = 1800, HEIGHT = 1200;

// How many pixels of a square window differ between the two pictures.
int ChangedPixels(const TImage& a, const TImage& b, double cx, double cy, int radius) {
  int changed = 0;
  for (int y = int(cy) - radius; y <= int(cy) + radius; ++y)
    for (int x = int(cx) - radius; x <= int(cx) + radius; ++x) {
      const TRgb p = a.Get(x, y), q = b.Get(x, y);
      changed += std::fabs(p.R - q.R) + std::fabs(p.G - q.G) + std::fabs(p.B - q.B) > 0;
    }
  return changed;
}

class StartPosition : public ::testing::TestWithParam<bool> {};

TEST_P(StartPosition, EveryPieceShowsOnItsSquareAndOnlyThere) {
  const bool classic = GetParam();
  const std::string folder = BROVANEL_PROGRAM_FOLDER;
  TOffscreenFrame frame(WIDTH, HEIGHT);
  const TStartScene scene(folder, classic, folder + (classic ? "/conf/classic1.bvl" : "/conf/artistic1.bvl"));
  DrawFrame(scene.View(), scene.Items(false), WIDTH, HEIGHT);
  const TImage empty = frame.Read();
  DrawFrame(scene.View(), scene.Items(true), WIDTH, HEIGHT);
  const TImage full = frame.Read();
  if (const char* keep = std::getenv("BROVANEL_KEEP_RENDERS"))
    SaveBytes(std::string(keep) + (classic ? "/start-classic.png" : "/start-artistic.png"), PngFileBytes(full));

  const TViewMatrices view(scene.View(), WIDTH, HEIGHT);
  const TMatrix4& dummy = scene.Layout().DummyCubeMatrix();
  for (int row = 1; row <= 8; ++row)
    for (int column = 1; column <= 8; ++column) {
      SCOPED_TRACE("row " + std::to_string(row) + ", column " + std::to_string(column));
      const TAffineVector centre = scene.Layout().ClassicSquareCentre(row, column);
      double x, y;
      const bool occupied = row <= 2 || row >= 7;
      // Occupied squares: a point inside every piece, 6 units over the board.
      // Empty ones: the board itself.
      view.Project(TransformPoint({centre.x, centre.y + (occupied ? 6.0f : 0.0f), centre.z}, dummy), x, y);
      ASSERT_TRUE(x >= 4 && y >= 4 && x < WIDTH - 4 && y < HEIGHT - 4) << x << ", " << y;
      // A dark piece may come close to the board's colour behind it, but every
      // pixel over it changes; none of the board between the armies does.
      const int changed = ChangedPixels(empty, full, x, y, 3);
      if (occupied)
        EXPECT_EQ(changed, 49) << "no piece drawn there";
      else
        EXPECT_EQ(changed, 0) << "a piece drawn over an empty square";
    }
}

INSTANTIATE_TEST_SUITE_P(Boards, StartPosition, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Classic" : "Artistic";
                         });

}  // namespace
