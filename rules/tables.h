#pragma once
// Board-geometry tables of the move-rules library. Move sets and attack sets are
// never found by walking the board: they are read from these tables, indexed by
// square, by side, or by the 8-bit occupancy of one line (rank, file or diagonal)
// through a square. Everything here is constant data computed by the compiler.
//
// Squares: 8 * rank index + column index, column 0 being the h-file, so h1 = 0,
// a1 = 7, a8 = 63. "Up" is +8; the column index grows toward the a-file.

#include <array>
#include <bit>
#include <cstdint>

namespace rules {

using TBitboard = std::uint64_t;
using TSquareSets = std::array<TBitboard, 64>;
// [occupancy of a line][position of the piece on the line] -> set of positions, or NO_PATTERN.
using TLinePatterns = std::array<std::array<int, 8>, 256>;

inline constexpr int NO_PATTERN = -1;
// What lowest_bit gives for an empty set.
inline constexpr int NO_SQUARE = 255;

extern const TSquareSets SquareBit;        // 1 shl s
extern const TSquareSets SquareClearMask;  // not (1 shl s)
extern const TSquareSets KingAttacks;
extern const TSquareSets KnightAttacks;
extern const TSquareSets RankMask;    // s's rank, s included
extern const TSquareSets FileMask;    // s's file, s included
extern const TSquareSets RookRays;    // rank and file, s excluded
extern const TSquareSets BishopRays;  // both diagonals, s excluded
// The diagonal through s stepping by 7 (up and toward the h-file), s excluded.
extern const TSquareSets Diag7Mask;
// The diagonal through s stepping by 9 (up and toward the a-file), s excluded.
extern const TSquareSets Diag9Mask;
// The one or two squares next to s along a line.
extern const TSquareSets Neighbours9, Neighbours7, Neighbours8, Neighbours1;

// [defending side][s]: the squares from which a pawn of the other side attacks s.
// [1][3] = {10, 12}: dark pawns on f2 and d2 attack e1.
extern const std::array<TSquareSets, 2> PawnAttacks;
// [side]: the rank its pawns start on (rank 7 for dark, rank 2 for light).
extern const std::array<TBitboard, 2> StartRankMask;
// [column]: the files next to that column's file.
extern const std::array<TBitboard, 8> AdjacentFileMask;

extern const std::array<int, 64> RankBase;        // 8 * rank index
extern const std::array<int, 64> PositionInRank;  // column index
// The columns that exist on s's diagonal, as an 8-bit set; a diagonal's index
// packs its squares by column, so this is the set of valid index positions.
extern const std::array<int, 64> Diag7Occupancy, Diag9Occupancy;

// Nearest occupied position on each side of the piece (at most two bits).
// The generators and the attack test read the same table.
extern const TLinePatterns CapturePattern;
// The empty positions reachable on each side before the first occupied one.
extern const TLinePatterns QuietPattern;

// [pattern][s]: the squares of s's diagonal whose columns are set in the pattern.
extern const std::array<TSquareSets, 256> Diag7Result, Diag9Result;
// [pattern][column]: the squares of that file whose rank indices are set in the pattern.
extern const std::array<std::array<TBitboard, 8>, 256> FileResult;

// Ordering score only: value by piece code (12 = empty square), and by piece code and square.
extern const std::array<int, 13> PieceValue;
extern const std::array<std::array<int, 64>, 13> PieceSquareValue;

// The lowest set square of `set`; NO_SQUARE for 0.
inline int lowest_bit(TBitboard set) { return set ? std::countr_zero(set) : NO_SQUARE; }

// Line indices: the occupied squares of one line through `square` as 8 bits, and
// the square's position on it. The square's own bit is always set, so the attack
// test sees an empty square the way the generator sees a piece.
inline int rank_index(TBitboard occupancy, int square) {
  return static_cast<int>(((occupancy | SquareBit[square]) >> RankBase[square]) & 0xFF);
}

// Bit k = the square of rank index k on the file: shifting the file to the
// h-file and multiplying moves bit 8k to bit 56 + k without carries.
inline int file_index(TBitboard occupancy, int square) {
  constexpr TBitboard H_FILE = 0x0101010101010101ull;
  constexpr TBitboard GATHER = 0x0102040810204080ull;
  TBitboard file = ((occupancy | SquareBit[square]) >> PositionInRank[square]) & H_FILE;
  return static_cast<int>((file * GATHER) >> 56);
}

// A diagonal holds at most one square per column, so summing its bytes (the
// multiply by 0x0101...) packs it by column into the top byte without carries.
inline int diag_index(TBitboard occupancy, int square, TBitboard diagonal, int validColumns) {
  constexpr TBitboard BYTE_SUM = 0x0101010101010101ull;
  TBitboard line = (occupancy & diagonal) | SquareBit[square];
  return static_cast<int>((line * BYTE_SUM) >> 56) & validColumns;
}

inline int diag7_index(TBitboard occupancy, int square) {
  return diag_index(occupancy, square, Diag7Mask[square], Diag7Occupancy[square]);
}
inline int diag9_index(TBitboard occupancy, int square) {
  return diag_index(occupancy, square, Diag9Mask[square], Diag9Occupancy[square]);
}

// The squares a line lookup gives for the piece (or tested square) on `square`:
// with CapturePattern the nearest occupied square in each direction, with
// QuietPattern the empty squares before them. Patterns beyond the line's own
// squares (a short diagonal) find nothing in the result tables.
inline TBitboard rank_targets(const TLinePatterns& patterns, TBitboard occupancy, int square) {
  int pattern = patterns[rank_index(occupancy, square)][PositionInRank[square]];
  return pattern == NO_PATTERN ? 0 : TBitboard{static_cast<unsigned>(pattern)} << RankBase[square];
}
inline TBitboard file_targets(const TLinePatterns& patterns, TBitboard occupancy, int square) {
  int pattern = patterns[file_index(occupancy, square)][square / 8];
  return pattern == NO_PATTERN ? 0 : FileResult[pattern][PositionInRank[square]];
}
inline TBitboard diag7_targets(const TLinePatterns& patterns, TBitboard occupancy, int square) {
  int pattern = patterns[diag7_index(occupancy, square)][PositionInRank[square]];
  return pattern == NO_PATTERN ? 0 : Diag7Result[pattern][square];
}
inline TBitboard diag9_targets(const TLinePatterns& patterns, TBitboard occupancy, int square) {
  int pattern = patterns[diag9_index(occupancy, square)][PositionInRank[square]];
  return pattern == NO_PATTERN ? 0 : Diag9Result[pattern][square];
}

}  // namespace rules
