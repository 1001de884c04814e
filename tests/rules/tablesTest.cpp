// The board-geometry tables against their rules, and the line lookups against a
// plain walk along the board.

#include "rules/tables.h"

#include <gtest/gtest.h>

#include <random>

#include "rules/storage.h"

namespace {

using namespace rules;

TBitboard Squares(std::initializer_list<int> squares) {
  TBitboard set = 0;
  for (int s : squares) set |= TBitboard{1} << s;
  return set;
}

// The squares seen from `square` along (rank step, column step) until the board
// edge: with captures the first occupied one, else the empty ones before it.
TBitboard Walk(TBitboard occupancy, int square, int rankStep, int columnStep, bool captures) {
  TBitboard set = 0;
  for (int rank = square / 8 + rankStep, column = square % 8 + columnStep;
       rank >= 0 && rank < 8 && column >= 0 && column < 8; rank += rankStep, column += columnStep) {
    TBitboard bit = TBitboard{1} << (8 * rank + column);
    if (occupancy & bit) return captures ? set | bit : set;
    if (!captures) set |= bit;
  }
  return set;
}

int Count(TBitboard set) { return __builtin_popcountll(set); }

}  // namespace

TEST(LinePatterns, KnownEntries) {
  struct TCase {
    int Occupancy;
    int Position;
    int Capture;
    int Quiet;
  };
  const TCase cases[] = {
      {1, 0, NO_PATTERN, 254}, {129, 0, 128, 126}, {9, 3, 1, 246},
      {255, 3, 20, NO_PATTERN}, {191, 2, 10, NO_PATTERN}, {0x81, 7, 1, 126},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(CapturePattern[c.Occupancy][c.Position], c.Capture) << c.Occupancy << "," << c.Position;
    EXPECT_EQ(QuietPattern[c.Occupancy][c.Position], c.Quiet) << c.Occupancy << "," << c.Position;
  }
}

TEST(SquareTables, KnownEntries) {
  EXPECT_EQ(lowest_bit(0), NO_SQUARE);
  EXPECT_EQ(lowest_bit(1), 0);
  EXPECT_EQ(lowest_bit(32768), 15);
  EXPECT_EQ(lowest_bit(6), 1);
  EXPECT_EQ(lowest_bit(TBitboard{1} << 63), 63);
  EXPECT_EQ(lowest_bit(Squares({40, 17})), 17);

  EXPECT_EQ(PawnAttacks[1][0], Squares({9}));
  EXPECT_EQ(PawnAttacks[1][3], Squares({10, 12}));
  EXPECT_EQ(PawnAttacks[0][59], Squares({50, 52}));
  EXPECT_EQ(PawnAttacks[0][3], 0u);
  EXPECT_EQ(StartRankMask[0], 0x00FF000000000000ull);
  EXPECT_EQ(StartRankMask[1], 0x000000000000FF00ull);
  EXPECT_EQ(AdjacentFileMask[0], 0x0202020202020202ull);
  EXPECT_EQ(AdjacentFileMask[1], 0x0505050505050505ull);
  EXPECT_EQ(KnightAttacks[0], Squares({10, 17}));
  EXPECT_EQ(Neighbours9[0], Squares({9}));
  EXPECT_EQ(Neighbours7[15], Squares({22}));  // a2: down-right would wrap to h2

  const int diag7FirstRanks[16] = {1, 3, 7, 15, 31, 63, 127, 255, 3, 7, 15, 31, 63, 127, 255, 254};
  const int diag9FirstRank[8] = {255, 254, 252, 248, 240, 224, 192, 128};
  for (int s = 0; s < 16; ++s) EXPECT_EQ(Diag7Occupancy[s], diag7FirstRanks[s]) << s;
  for (int s = 0; s < 8; ++s) EXPECT_EQ(Diag9Occupancy[s], diag9FirstRank[s]) << s;
}

TEST(LineLookups, AgreeWithAWalkForRandomOccupancies) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 300; ++round) {
    TBitboard occupancy = random() & random();
    for (int s = 0; s < 64; ++s) {
      for (bool captures : {true, false}) {
        const TLinePatterns& patterns = captures ? CapturePattern : QuietPattern;
        EXPECT_EQ(rank_targets(patterns, occupancy, s), Walk(occupancy, s, 0, 1, captures) | Walk(occupancy, s, 0, -1, captures));
        EXPECT_EQ(file_targets(patterns, occupancy, s), Walk(occupancy, s, 1, 0, captures) | Walk(occupancy, s, -1, 0, captures));
        EXPECT_EQ(diag7_targets(patterns, occupancy, s), Walk(occupancy, s, 1, -1, captures) | Walk(occupancy, s, -1, 1, captures));
        EXPECT_EQ(diag9_targets(patterns, occupancy, s), Walk(occupancy, s, 1, 1, captures) | Walk(occupancy, s, -1, -1, captures));
      }
    }
  }
}

TEST(MoveList, PlyHoldsTheMostMovesAnyBitboardsGive) {
  int knightJumps = 0, diagonalSquares = 0, straightSquares = 0;
  for (int s = 0; s < 64; ++s) {
    knightJumps += Count(KnightAttacks[s]);
    diagonalSquares += Count(BishopRays[s]);
    straightSquares += Count(RookRays[s]);
  }
  // Pawns: four steps of at most 64 targets and two en passant captures; the king
  // 8; two castles; queens move as rooks and bishops.
  EXPECT_EQ(MAX_PLY_MOVES, 4 * 64 + 2 + knightJumps + 2 * diagonalSquares + 2 * straightSquares + 8 + 2);
}
