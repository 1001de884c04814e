#pragma once
// The position's vocabulary: piece codes, sides, the twelve bitboards of a position,
// the rights that go with it and the square masks. The game that holds a position is
// TGame (Game.h).

#include <array>
#include <cstdint>
#include <string>

#include "app/game/Side.h"

// Piece codes index the bitboards; the side of a piece is its lowest bit (1 light,
// SideOfPiece).
enum : int {
  DARK_PAWN = 0, LIGHT_PAWN = 1,
  DARK_ROOK = 2, LIGHT_ROOK = 3,
  DARK_BISHOP = 4, LIGHT_BISHOP = 5,
  DARK_KNIGHT = 6, LIGHT_KNIGHT = 7,
  DARK_KING = 8, LIGHT_KING = 9,
  DARK_QUEEN = 10, LIGHT_QUEEN = 11,
  EMPTY_SQUARE = 12
};

// The position: bit n of bitboard c is set when piece code c stands on square n
// (h1 = 0, g1 = 1, ..., a1 = 7, h2 = 8, ..., a8 = 63).
using TBitBoards = std::array<std::uint64_t, 12>;

// What the placement alone does not tell and the moves need: the side to move (the
// other side's after every move), which castles the kings may still make (they lose a
// wing when the king or that wing's rook moves, or the rook is taken), the square a
// pawn passed over on the last move, and the two move counters of a FEN text.
enum : unsigned {
  LIGHT_KING_SIDE_CASTLE = 1, LIGHT_QUEEN_SIDE_CASTLE = 2,
  DARK_KING_SIDE_CASTLE = 4, DARK_QUEEN_SIDE_CASTLE = 8,
  ALL_CASTLES = 15
};
inline constexpr int NO_SQUARE = -1;
// The largest value either move counter takes: a FEN text's larger one is not read,
// and a counter stops there rather than overflow.
inline constexpr int MAX_MOVE_COUNTER = 999999;
struct TGameRights {
  TSide SideToMove = TSide::Light;
  unsigned Castling = 0;     // the castles still allowed
  int EnPassant = NO_SQUARE;  // a square that a pawn may take en passant, or NO_SQUARE
  int HalfMoveClock = 0;      // moves since the last capture or pawn move
  int FullMoveNumber = 1;     // the move number, one more after each dark move
  bool operator==(const TGameRights&) const = default;
};

using TSquareMasks = std::array<std::uint64_t, 64>;

// Entry n is the bit of square n, and its complement.
inline constexpr TSquareMasks SquareBit = [] {
  TSquareMasks masks{};
  for (int n = 0; n < 64; ++n) masks[n] = std::uint64_t{1} << n;
  return masks;
}();
inline constexpr TSquareMasks SquareClearMask = [] {
  TSquareMasks masks{};
  for (int n = 0; n < 64; ++n) masks[n] = ~SquareBit[n];
  return masks;
}();
