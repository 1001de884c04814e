#include "tools/assets/BoardLayout.h"

#include <cmath>

float BoardWindow::ClassicBoardHeight(float x, float y) {
  const float r = std::sqrt(x * x + y * y);
  return std::cos(12 * r) / ((6.28f * r + 1) * 2);
}

TPoint3 BakedPlacement::ArtisticSquareCentre(int row, int column) {
  // The board's frame turns the dummy cube's (X, Y, Z) into (Y + 160, -Z - 2, -X - 1).
  const double x = column * BoardWindow::SQUARE_SIZE + BoardWindow::BOARD_ORIGIN_X + PIECE_BASE.x;
  const double z = row * BoardWindow::SQUARE_SIZE + BoardWindow::BOARD_ORIGIN_Z - PIECE_BASE.y;
  return {ARTISTIC_TOP_X, -z + BoardWindow::ARTISTIC_Z, -x + BoardWindow::ARTISTIC_X};
}

TAffineVector TransformPoint(const TAffineVector& v, const TMatrix4& m) {
  return Vec3Of(Vec4Transform(TVector{v.x, v.y, v.z, 1}, m));
}
