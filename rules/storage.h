#pragma once
// The static working storage of the move-rules library: the copy of the caller's
// position, the sides of the generator run, and the move lists. Everything is
// zero when the library is loaded (the en passant square is -1) and is shared by
// both exports, so calls must not overlap.

#include <array>
#include <cstdint>

#include "rules/tables.h"

namespace rules {

// Piece codes: the dark piece's code; the light piece's is one more (code + side).
enum : int { PAWN = 0, ROOK = 2, BISHOP = 4, KNIGHT = 6, KING = 8, QUEEN = 10, EMPTY = 12 };
enum : int { DARK = 0, LIGHT = 1 };

// Move kinds, and the wing a castle record holds in place of its from-square.
enum : int { NORMAL_MOVE = 1, EN_PASSANT = 101, CASTLE = -3 };
enum : int { KING_SIDE = -1, QUEEN_SIDE = -2 };

// One generated move, 12 bytes. A castle stores only From (its wing), Side, Kind,
// Extra = EMPTY and Score = 100.
struct TMoveRecord {
  std::int8_t From;
  std::int8_t To;
  std::uint8_t Side;
  std::uint8_t Extra;
  std::int8_t Kind;
  std::uint8_t Unused[3];
  std::int32_t Score;
};
static_assert(sizeof(TMoveRecord) == 12);

inline constexpr int MAX_PLIES = 600;
// The most moves the generators can offer for one side of any twelve bitboards,
// overlapping ones included: pawns (two capture steps and two pushes, at most 64
// targets each, and two en passant captures), a knight on every square (336 jumps
// in all), a bishop on every square (560 diagonal targets), a rook (896), a queen
// (896 + 560), the one king (8) and both castles. A legal chess position has at
// most 218.
inline constexpr int MAX_PLY_MOVES = 4 * 64 + 2 + 336 + 560 + 896 + 896 + 560 + 8 + 2;

extern std::array<TBitboard, 12> Position;
// OR of the twelve bitboards: set by each generator run, kept up to date while a
// move is tried.
extern TBitboard Occupancy;
extern int SideToMove;
extern int Opponent;
// The square of the opponent's pawn that has just made a double step, or -1.
extern int EnPassantSquare;
extern int CurrentPly;
// MAX_PLY_MOVES records per ply, all plies in one array.
extern std::array<TMoveRecord, MAX_PLIES * MAX_PLY_MOVES> MoveList;
extern std::array<int, MAX_PLIES> MoveCount;

inline TMoveRecord* ply_moves(int ply) { return &MoveList[static_cast<std::size_t>(ply) * MAX_PLY_MOVES]; }

inline TBitboard all_occupancy() {
  TBitboard occupancy = 0;
  for (TBitboard board : Position) occupancy |= board;
  return occupancy;
}

inline TBitboard side_occupancy(int side) {
  TBitboard occupancy = 0;
  for (int code = side; code < EMPTY; code += 2) occupancy |= Position[code];
  return occupancy;
}

}  // namespace rules
