#include "rules/tables.h"

#include <climits>

namespace rules {

namespace {

struct TStep {
  int Rank;
  int Column;
};

constexpr TStep KING_STEPS[8] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
constexpr TStep KNIGHT_STEPS[8] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
// +7 goes up one rank and one column toward the h-file, +9 toward the a-file.
constexpr TStep DIAG7_STEPS[2] = {{1, -1}, {-1, 1}};
constexpr TStep DIAG9_STEPS[2] = {{1, 1}, {-1, -1}};
constexpr TStep FILE_STEPS[2] = {{1, 0}, {-1, 0}};
constexpr TStep RANK_STEPS[2] = {{0, 1}, {0, -1}};

constexpr bool OnBoard(int rank, int column) { return rank >= 0 && rank < 8 && column >= 0 && column < 8; }
constexpr TBitboard Bit(int rank, int column) { return TBitboard{1} << (8 * rank + column); }

// The squares reached from `square` by each step once, or repeatedly when `slide`.
template <std::size_t N>
constexpr TBitboard Reach(int square, const TStep (&steps)[N], bool slide) {
  TBitboard set = 0;
  for (const TStep& step : steps) {
    int rank = square / 8 + step.Rank;
    int column = square % 8 + step.Column;
    while (OnBoard(rank, column)) {
      set |= Bit(rank, column);
      if (!slide) break;
      rank += step.Rank;
      column += step.Column;
    }
  }
  return set;
}

template <std::size_t N>
constexpr TSquareSets ReachTable(const TStep (&steps)[N], bool slide) {
  TSquareSets table{};
  for (int s = 0; s < 64; ++s) table[s] = Reach(s, steps, slide);
  return table;
}

constexpr TBitboard H_FILE = 0x0101010101010101ull;

constexpr TSquareSets MakeSquareBits(bool clear) {
  TSquareSets table{};
  for (int s = 0; s < 64; ++s) table[s] = clear ? ~(TBitboard{1} << s) : TBitboard{1} << s;
  return table;
}

constexpr TSquareSets MakeLineMasks(bool rank) {
  TSquareSets table{};
  for (int s = 0; s < 64; ++s) table[s] = rank ? TBitboard{0xFF} << (s & ~7) : H_FILE << (s & 7);
  return table;
}

constexpr TSquareSets Join(const TSquareSets& a, const TSquareSets& b) {
  TSquareSets table{};
  for (int s = 0; s < 64; ++s) table[s] = a[s] | b[s];
  return table;
}

constexpr std::array<TSquareSets, 2> MakePawnAttacks() {
  std::array<TSquareSets, 2> table{};
  for (int s = 0; s < 64; ++s) {
    // A dark pawn attacks from one rank above, a light pawn from one rank below.
    for (int defender = 0; defender < 2; ++defender) {
      int rank = s / 8 + (defender == 1 ? 1 : -1);
      for (int column : {s % 8 - 1, s % 8 + 1})
        if (OnBoard(rank, column)) table[defender][s] |= Bit(rank, column);
    }
  }
  return table;
}

constexpr std::array<TBitboard, 8> MakeAdjacentFiles() {
  std::array<TBitboard, 8> table{};
  for (int c = 0; c < 8; ++c) {
    if (c > 0) table[c] |= H_FILE << (c - 1);
    if (c < 7) table[c] |= H_FILE << (c + 1);
  }
  return table;
}

constexpr std::array<int, 64> MakeSquareNumbers(bool rankBase) {
  std::array<int, 64> table{};
  for (int s = 0; s < 64; ++s) table[s] = rankBase ? s & ~7 : s & 7;
  return table;
}

constexpr std::array<int, 64> MakeDiagonalColumns(const TSquareSets& diagonal) {
  std::array<int, 64> table{};
  for (int s = 0; s < 64; ++s) {
    table[s] = 1 << (s % 8);
    for (int t = 0; t < 64; ++t)
      if (diagonal[s] & (TBitboard{1} << t)) table[s] |= 1 << (t % 8);
  }
  return table;
}

constexpr TLinePatterns MakePatterns(bool captures) {
  TLinePatterns table{};
  for (int occupancy = 0; occupancy < 256; ++occupancy) {
    for (int position = 0; position < 8; ++position) {
      int pattern = 0;
      for (int direction : {-1, 1}) {
        for (int p = position + direction; p >= 0 && p < 8; p += direction) {
          bool occupied = occupancy & (1 << p);
          if (occupied && captures) pattern |= 1 << p;
          if (occupied) break;
          if (!captures) pattern |= 1 << p;
        }
      }
      table[occupancy][position] = pattern ? pattern : NO_PATTERN;
    }
  }
  return table;
}

constexpr std::array<TSquareSets, 256> MakeDiagonalResults(const TSquareSets& diagonal) {
  std::array<TSquareSets, 256> table{};
  for (int s = 0; s < 64; ++s) {
    // The diagonal's square in each column (a diagonal has at most one per column).
    TBitboard byColumn[8] = {};
    for (int t = 0; t < 64; ++t)
      if (diagonal[s] & (TBitboard{1} << t)) byColumn[t % 8] = TBitboard{1} << t;
    for (int pattern = 0; pattern < 256; ++pattern)
      for (int column = 0; column < 8; ++column)
        if (pattern & (1 << column)) table[pattern][s] |= byColumn[column];
  }
  return table;
}

constexpr std::array<std::array<TBitboard, 8>, 256> MakeFileResults() {
  std::array<std::array<TBitboard, 8>, 256> table{};
  for (int pattern = 0; pattern < 256; ++pattern)
    for (int column = 0; column < 8; ++column)
      for (int rank = 0; rank < 8; ++rank)
        if (pattern & (1 << rank)) table[pattern][column] |= Bit(rank, column);
  return table;
}

// Values run from 0 in the corners to 24 in the centre, the same for every piece
// but the pawns.
constexpr int Centrality(int square) {
  int rank = square / 8;
  int column = square % 8;
  return 4 * ((rank < 4 ? rank : 7 - rank) + (column < 4 ? column : 7 - column));
}

// A light pawn by rank index: nothing on its first two ranks, most on the last,
// a little more on the four centre files.
constexpr int PAWN_RANK_VALUES[8] = {0, 5, 10, 20, 30, 50, 70, 90};
constexpr int PAWN_CENTRE_BONUS[8] = {0, 0, 5, 10, 10, 10, 10, 10};

constexpr std::array<std::array<int, 64>, 13> MakePieceSquareValues() {
  std::array<std::array<int, 64>, 13> table{};
  for (int s = 0; s < 64; ++s) {
    int rank = s / 8;
    bool centreFile = s % 8 >= 2 && s % 8 <= 5;
    for (int code = 2; code < 12; ++code) table[code][s] = Centrality(s);
    table[1][s] = PAWN_RANK_VALUES[rank] + (centreFile ? PAWN_CENTRE_BONUS[rank] : 0);
    table[0][s] = PAWN_RANK_VALUES[7 - rank] + (centreFile ? PAWN_CENTRE_BONUS[7 - rank] : 0);
    table[12][s] = rank == 0 ? 0 : 1;
  }
  return table;
}

}  // namespace

constexpr TSquareSets SquareBit = MakeSquareBits(false);
constexpr TSquareSets SquareClearMask = MakeSquareBits(true);
constexpr TSquareSets KingAttacks = ReachTable(KING_STEPS, false);
constexpr TSquareSets KnightAttacks = ReachTable(KNIGHT_STEPS, false);
constexpr TSquareSets RankMask = MakeLineMasks(true);
constexpr TSquareSets FileMask = MakeLineMasks(false);
constexpr TSquareSets Diag7Mask = ReachTable(DIAG7_STEPS, true);
constexpr TSquareSets Diag9Mask = ReachTable(DIAG9_STEPS, true);
constexpr TSquareSets RookRays = Join(ReachTable(RANK_STEPS, true), ReachTable(FILE_STEPS, true));
constexpr TSquareSets BishopRays = Join(Diag7Mask, Diag9Mask);
constexpr TSquareSets Neighbours9 = ReachTable(DIAG9_STEPS, false);
constexpr TSquareSets Neighbours7 = ReachTable(DIAG7_STEPS, false);
constexpr TSquareSets Neighbours8 = ReachTable(FILE_STEPS, false);
constexpr TSquareSets Neighbours1 = ReachTable(RANK_STEPS, false);

constexpr std::array<TSquareSets, 2> PawnAttacks = MakePawnAttacks();
constexpr std::array<TBitboard, 2> StartRankMask = {0x00FF000000000000ull, 0x000000000000FF00ull};
constexpr std::array<TBitboard, 8> AdjacentFileMask = MakeAdjacentFiles();

constexpr std::array<int, 64> RankBase = MakeSquareNumbers(true);
constexpr std::array<int, 64> PositionInRank = MakeSquareNumbers(false);
constexpr std::array<int, 64> Diag7Occupancy = MakeDiagonalColumns(Diag7Mask);
constexpr std::array<int, 64> Diag9Occupancy = MakeDiagonalColumns(Diag9Mask);

constexpr TLinePatterns CapturePattern = MakePatterns(true);
constexpr TLinePatterns QuietPattern = MakePatterns(false);

constexpr std::array<TSquareSets, 256> Diag7Result = MakeDiagonalResults(Diag7Mask);
constexpr std::array<TSquareSets, 256> Diag9Result = MakeDiagonalResults(Diag9Mask);
constexpr std::array<std::array<TBitboard, 8>, 256> FileResult = MakeFileResults();

// Both colours of a kind weigh the same; the king weighs the lowest integer.
constexpr std::array<int, 13> PieceValue = {100, 100, 520, 520, 335, 335, 330, 330, INT_MIN, INT_MIN, 980, 980, 0};
constexpr std::array<std::array<int, 64>, 13> PieceSquareValue = MakePieceSquareValues();

}  // namespace rules
