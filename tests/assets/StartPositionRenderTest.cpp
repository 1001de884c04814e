// The start position drawn off screen through the board window's scene, from its
// start camera, on both boards, from the files the build generated: every piece
// stands on its square and shows there, and nothing of it spills onto the empty
// squares between the armies.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "meshes/GLVectorFileObjects.h"
#include "scene/GLzBuffer.h"
#include "scene/objects/GLObjects.h"
#include "tools/assets/ModelView.h"

namespace {

constexpr int WIDTH = 1800, HEIGHT = 1200;

bool Differs(const TImage& a, const TImage& b, int x, int y) {
  const TRgb p = a.Get(x, y), q = b.Get(x, y);
  return p.R != q.R || p.G != q.G || p.B != q.B;
}

// How many pixels of a square window round (cx, cy) differ between the two pictures.
int ChangedPixels(const TImage& a, const TImage& b, float cx, float cy, int radius) {
  int changed = 0;
  for (int y = int(cy) - radius; y <= int(cy) + radius; ++y)
    for (int x = int(cx) - radius; x <= int(cx) + radius; ++x) changed += Differs(a, b, x, y);
  return changed;
}

// A rectangle of pixels, y from the top; empty while Left > Right.
struct TPixelRect {
  float Left = 1e9f, Top = 1e9f, Right = -1e9f, Bottom = -1e9f;
  void Include(float x, float y) {
    Left = std::min(Left, x), Right = std::max(Right, x);
    Top = std::min(Top, y), Bottom = std::max(Bottom, y);
  }
};

class StartPosition : public ::testing::TestWithParam<bool> {};

TEST_P(StartPosition, EveryPieceStandsOnItsSquareAndShowsThereOnly) {
  const bool classic = GetParam();
  const std::string folder = BROVANEL_PROGRAM_FOLDER;
  TStartScene scene(folder, classic, folder + (classic ? "/conf/classic1.bvl" : "/conf/artistic1.bvl"), WIDTH,
                    HEIGHT);
  scene.ShowPieces(false);
  const TImage empty = scene.Render();
  scene.ShowPieces(true);
  const TImage full = scene.Render();
  if (const char* keep = std::getenv("BROVANEL_KEEP_RENDERS"))
    SaveBytes(std::string(keep) + (classic ? "/start-classic.png" : "/start-artistic.png"), PngFileBytes(full));

  // Scene points to pixels (y from the top), through the view of the frames.
  TGLzBuffer view;
  view.AttachToMemoryViewer(scene.Viewer());
  auto project = [&](const TAffineVector& point, float& x, float& y) {
    float depth;
    const bool inside = view.WorldToPixel(point, x, y, depth);
    y = HEIGHT - y;
    return inside;
  };
  const TMatrix4& dummy = scene.AllObjects().WorldMatrix();

  for (int row = 1; row <= 8; ++row)
    for (int column = 1; column <= 8; ++column) {
      SCOPED_TRACE("row " + std::to_string(row) + ", column " + std::to_string(column));
      const TAffineVector centre = scene.ClassicSquareCentre(row, column);
      const bool occupied = row <= 2 || row >= 7;
      // Occupied squares: a point inside every piece, 6 units over the board.
      // Empty ones: the board itself.
      float x, y;
      ASSERT_TRUE(project(TransformPoint({centre.x, centre.y + (occupied ? 6.0f : 0.0f), centre.z}, dummy), x, y));
      ASSERT_TRUE(x >= 4 && y >= 4 && x < WIDTH - 4 && y < HEIGHT - 4) << x << ", " << y;
      // A dark piece may come close to the board's colour behind it, but every
      // pixel over it changes; none of the board between the armies does.
      const int changed = ChangedPixels(empty, full, x, y, 3);
      if (occupied)
        EXPECT_EQ(changed, 49) << "no piece drawn there";
      else
        EXPECT_EQ(changed, 0) << "a piece drawn over an empty square";
    }

  for (const TStartScene::TPiece& piece : scene.Pieces()) {
    const auto [row, column, letter] = piece.Square;
    SCOPED_TRACE(std::string(1, letter) + " on row " + std::to_string(row) + ", column " + std::to_string(column));
    // The piece's box, as the scene places it, round its square's centre.
    const TAxisAlignedBox box = MeshBox(*piece.Form, &scene.AllObjects());
    const TAffineVector centre = scene.ClassicSquareCentre(row, column);
    EXPECT_NEAR((box.Min.x + box.Max.x) / 2, centre.x, 2.0f);
    EXPECT_NEAR((box.Min.z + box.Max.z) / 2, centre.z, 2.0f);
    // Drawn alone, the piece covers the pixels its vertices project to, and no
    // others: the frame shows it where the scene places it.
    TPixelRect projected, drawn;
    const TAffineVectorList& vertices = piece.Form->MeshObjects().Items(0).Vertices();
    for (int i = 0; i < vertices.Count(); ++i) {
      float x, y;
      ASSERT_TRUE(project(TransformPoint(vertices.GetItem(i), piece.Form->WorldMatrix()), x, y));
      projected.Include(x, y);
    }
    scene.ShowPieces(false);
    piece.Form->SetVisible(true);
    const TImage alone = scene.Render();
    for (int y = 0; y < HEIGHT; ++y)
      for (int x = 0; x < WIDTH; ++x)
        if (Differs(empty, alone, x, y)) drawn.Include(x + 0.5f, y + 0.5f);
    // A pixel's rounding either way, and half a pixel more.
    EXPECT_NEAR(drawn.Left, projected.Left, 1.5f);
    EXPECT_NEAR(drawn.Right, projected.Right, 1.5f);
    EXPECT_NEAR(drawn.Top, projected.Top, 1.5f);
    EXPECT_NEAR(drawn.Bottom, projected.Bottom, 1.5f);
  }
}

INSTANTIATE_TEST_SUITE_P(Boards, StartPosition, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Classic" : "Artistic";
                         });

}  // namespace
