#pragma once
// Where the board window puts things: the dummy cube that holds everything, the
// pieces (pitched upright on their squares), the classic board's height field and
// the artistic board's two halves, and the start camera with its light. The
// generator bakes its offsets against these numbers, and the render tool builds
// the board window's scene from them (ModelView.h).
//
// Squares are given as the board window numbers them: row 1..8 is the rank, column
// 1 the h-file .. 8 the a-file.

#include "base/Geometry.h"
#include "tools/assets/AssetMesh.h"

// The board window's fixed numbers.
namespace BoardWindow {
inline constexpr float SQUARE_SIZE = 30;
inline constexpr float BOARD_ORIGIN_X = 290;
inline constexpr float BOARD_ORIGIN_Z = -60;
inline constexpr float PIECE_HEIGHT = -170;
inline constexpr float ARTISTIC_X = -1, ARTISTIC_Y = -160, ARTISTIC_Z = -2;
// The classic board after a classic look has chosen its picture.
inline constexpr float CLASSIC_X = 100, CLASSIC_Y = -25, CLASSIC_Z = -115, CLASSIC_SCALE = 240;
// The height field's surface over its unit square, the default of its height source.
float ClassicBoardHeight(float x, float y);
inline constexpr TAffineVector CAMERA_POSITION{180, 180, 0};
inline constexpr float CAMERA_FOCAL_LENGTH = 105, CAMERA_DEPTH_OF_VIEW = 3000;
// The light's position in the camera's frame.
inline constexpr TAffineVector LIGHT_POSITION{-100, 0, -101};
}  // namespace BoardWindow

// What the models bake in. In a piece model z is up and the base's centre stands
// at PIECE_BASE: pitched upright under the dummy cube at its square's (X, Z) and
// PIECE_HEIGHT, it stands on the board's surface in the middle of its square.
// The artistic board's model has its top at x = ARTISTIC_TOP_X, and the square
// (row, column) centred at (y, z) = ArtisticSquareCentre(row, column).
namespace BakedPlacement {
inline constexpr TPoint3 PIECE_BASE{-445, 70, 145};
inline constexpr double ARTISTIC_TOP_X = 135;
TPoint3 ArtisticSquareCentre(int row, int column);
}  // namespace BakedPlacement

// The point v (w = 1) through a row-vector matrix.
TAffineVector TransformPoint(const TAffineVector& v, const TMatrix4& m);
