// The two exports of libcheck, called through the shared library.

#include "rules/check.h"

#include <gtest/gtest.h>

#include <random>

#include "app/game/utility.h"
#include "tests/rules/LegalMovesFixture.h"

namespace {

TBitBoards Parse(const std::string& fen) {
  TBitBoards board{};
  EXPECT_TRUE(ParseFenPlacement(fen, board)) << fen;
  return board;
}

// Every (from, to) of the board that controlla_mossa accepts for `side`, as move texts.
std::set<std::string> AcceptedMoves(const TBitBoards& board, int side) {
  std::set<std::string> accepted;
  for (int from = 0; from < 64; ++from)
    for (int to = 0; to < 64; ++to)
      if (ControllaMossa(board, side, from, to)) accepted.insert(SquaresText(from, to));
  return accepted;
}

const std::vector<TFixturePosition>& Fixture() {
  static const std::vector<TFixturePosition> positions = ReadLegalMovesFixture(BRV_LEGAL_MOVES_FIXTURE);
  return positions;
}

}  // namespace

// --- Against the engine's move lists ----------------------------------------

// The fixture is split so that the slices run in parallel.
class EngineMoveLists : public ::testing::TestWithParam<int> {};
constexpr int FIXTURE_SLICES = 8;

TEST_P(EngineMoveLists, AcceptedMovesAreExactlyTheLegalOnes) {
  const auto& positions = Fixture();
  ASSERT_GT(positions.size(), 3000u);
  for (std::size_t i = GetParam(); i < positions.size(); i += FIXTURE_SLICES) {
    const TFixturePosition& position = positions[i];
    EXPECT_EQ(AcceptedMoves(position.Board, position.Side), position.Moves)
        << position.Placement << (position.Side ? " w" : " b");
    EXPECT_EQ(IsMate(position.Board, position.Side), position.Moves.empty())
        << position.Placement << (position.Side ? " w" : " b");
  }
}

INSTANTIATE_TEST_SUITE_P(Slices, EngineMoveLists, ::testing::Range(0, FIXTURE_SLICES));

// --- Chosen positions -----------------------------------------------------

TEST(ControllaMossa, ChosenMoves) {
  struct TCase {
    const char* Fen;
    int Side;
    const char* Move;
    bool Legal;
  };
  const TCase cases[] = {
      {START_POSITION_FEN, 1, "e2e4", true},
      {START_POSITION_FEN, 1, "e2e3", true},
      {START_POSITION_FEN, 1, "b1c3", true},
      {START_POSITION_FEN, 1, "e2e5", false},
      {START_POSITION_FEN, 1, "e1g1", false},  // bishop and knight in the way
      {START_POSITION_FEN, 1, "h1h2", false},  // onto its own pawn
      {START_POSITION_FEN, 0, "e2e4", false},  // the other side's pawn
      // A piece pinned to its king may not leave the line, nor the king walk along
      // the checking rook's line away from it.
      {"4r2k/8/8/8/8/8/4B3/4K3", 1, "e2d3", false},
      {"4r2k/8/8/8/8/8/4B3/4K3", 1, "e1d1", true},
      {"7k/8/8/8/8/8/8/r3K3", 1, "e1f1", false},
      {"7k/8/8/8/8/8/8/r3K3", 1, "e1e2", true},
      {"4k3/8/8/b7/8/8/3P4/4K3", 1, "d2d3", false},
      {"4k3/8/8/8/8/8/3q4/4K3", 1, "e1d2", true},  // takes the checking queen
      {"4k3/8/8/8/8/3p4/8/4K3", 1, "e1e2", false},  // into a pawn's attack
      {"4k3/8/8/8/8/3p4/8/4K3", 1, "e1d2", true},
      // Castling: asked for as the king's move, no rights kept, b1 may be attacked.
      {"4k3/8/8/8/8/8/8/4K2R", 1, "e1g1", true},
      {"4kr2/8/8/8/8/8/8/4K2R", 1, "e1g1", false},  // through an attacked f1
      {"4k1r1/8/8/8/8/8/8/4K2R", 1, "e1g1", false},  // onto an attacked g1
      {"4k3/8/8/8/8/8/8/r3K2R", 1, "e1g1", false},   // out of check
      {"4k3/8/8/8/8/8/8/RN2K3", 1, "e1c1", false},   // b1 taken
      {"1r2k3/8/8/8/8/8/8/R3K3", 1, "e1c1", true},   // b1 attacked
      {"r3k2r/8/8/8/8/8/8/4K3", 0, "e8g8", true},
      {"r3k2r/8/8/8/8/8/8/4K3", 0, "e8c8", true},
      {"r3k2r/8/8/8/8/8/8/4K1R1", 0, "e8g8", false},  // the rook on g1 attacks g8
      // A pawn reaching the last rank names no piece; no en passant square is known.
      {"1n6/P6k/8/8/8/8/8/4K3", 1, "a7a8", true},
      {"1n6/P6k/8/8/8/8/8/4K3", 1, "a7b8", true},
      {"7P/7k/8/8/8/8/8/4K3", 1, "h8g8", false},
      {"4k3/8/8/3Pp3/8/8/8/4K3", 1, "d5e6", false},
      {"4k3/8/8/8/8/8/4P3/8", 1, "e2e3", false},  // no light king
  };
  for (const TCase& c : cases) {
    auto [from, to] = MoveSquares(c.Move);
    EXPECT_EQ(ControllaMossa(Parse(c.Fen), c.Side, from, to), c.Legal) << c.Fen << " " << c.Move;
  }
}

TEST(IsMate, MateStalemateAndNoKingAllCount) {
  struct TCase {
    const char* Fen;
    int Side;
    bool NoMove;
  };
  const TCase cases[] = {
      {START_POSITION_FEN, 1, false},
      {START_POSITION_FEN, 0, false},
      {"7k/6Q1/6K1/8/8/8/8/8", 0, true},   // mate
      {"7k/5Q2/6K1/8/8/8/8/8", 0, true},   // stalemate
      {"7k/5Q2/6K1/8/8/8/8/8", 1, false},
      {"8/8/8/8/8/8/4P3/8", 1, true},      // no king
      {"8/8/8/8/8/8/4P3/4k3", 0, false},
  };
  for (const TCase& c : cases) EXPECT_EQ(IsMate(Parse(c.Fen), c.Side), c.NoMove) << c.Fen;
}

TEST(ControllaMossa, AllOfTheMostMovesALegalPositionHasAreKept) {
  TBitBoards board = Parse("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1");
  EXPECT_EQ(AcceptedMoves(board, 1).size(), 218u);
}

TEST(ControllaMossa, MovesGeneratedLastInAHugeListAreKept) {
  // Bitboards that overlap: queen, rook, bishop and knight on each of eight squares
  // offer far more moves than a chess position; the king's moves come last.
  TBitBoards board{};
  const std::uint64_t pieces = 0x0000240000240000ull | 0x0042000000004200ull;
  for (int code : {LIGHT_QUEEN, LIGHT_ROOK, LIGHT_BISHOP, LIGHT_KNIGHT}) board[code] = pieces;
  board[LIGHT_KING] = SquareBit[0];
  board[DARK_KING] = SquareBit[63];
  EXPECT_FALSE(IsMate(board, 1));
  EXPECT_TRUE(ControllaMossa(board, 1, 0, 8));
  EXPECT_TRUE(ControllaMossa(board, 1, 0, 1));
}

// --- The exported symbols themselves -----------------------------------------

TEST(Exports, WordsArriveInOrderLowWordFirst) {
  // Dark king e8 (59) lives in the high word of bitboard 8, the light rook a7 (55)
  // in the high word of bitboard 3, the light king e1 (3) in the low word of
  // bitboard 9. The rook keeps the dark king off the seventh rank.
  const std::uint32_t rookHigh = 1u << (55 - 32);
  const std::uint32_t darkKingHigh = 1u << (59 - 32);
  const std::uint32_t lightKingLow = 1u << 3;
  auto move = [&](int side, int from, int to) {
    return controlla_mossa(side, from, to, 0, 0, 0, 0, 0, 0, 0, rookHigh, 0, 0, 0, 0, 0, 0, 0, 0,
                           0, darkKingHigh, lightKingLow, 0, 0, 0, 0, 0);
  };
  auto mate = [&](int side) {
    return is_mate(side, 0, 0, 0, 0, 0, 0, 0, rookHigh, 0, 0, 0, 0, 0, 0, 0, 0, 0, darkKingHigh,
                   lightKingLow, 0, 0, 0, 0, 0);
  };
  EXPECT_EQ(move(0, 59, 60), 1);  // e8d8
  EXPECT_EQ(move(0, 59, 51), 0);  // e8e7
  EXPECT_EQ(move(1, 55, 48), 1);  // a7h7
  EXPECT_EQ(move(1, 55, 7), 1);   // a7a1
  EXPECT_EQ(move(1, 55, 62), 0);  // a7b8
  EXPECT_EQ(move(1, 3, 11), 1);   // e1e2
  EXPECT_EQ(mate(0), 0);
  EXPECT_EQ(mate(1), 0);
}

TEST(Exports, EachAnswerDependsOnlyOnItsOwnPosition) {
  const TBitBoards start = Parse(START_POSITION_FEN);
  const TBitBoards stalemate = Parse("7k/5Q2/6K1/8/8/8/8/8");
  EXPECT_TRUE(IsMate(stalemate, 0));
  EXPECT_FALSE(IsMate(start, 0));
  EXPECT_TRUE(ControllaMossa(start, 1, 11, 27));
  EXPECT_FALSE(ControllaMossa(stalemate, 1, 11, 27));
  EXPECT_TRUE(ControllaMossa(start, 1, 11, 27));
  EXPECT_TRUE(IsMate(stalemate, 0));
}

TEST(Exports, AnyNonzeroSideIsLight) {
  const TBitBoards start = Parse(START_POSITION_FEN);
  const TBitBoards mated = Parse("7k/6Q1/6K1/8/8/8/8/8");
  for (int side : {1, 2, -1, 0x7FFFFFFF, static_cast<int>(0x80000000u)}) {
    EXPECT_TRUE(ControllaMossa(start, side, 11, 27)) << side;
    EXPECT_FALSE(ControllaMossa(start, side, 51, 35)) << side;
    EXPECT_FALSE(IsMate(mated, side)) << side;
  }
  EXPECT_FALSE(ControllaMossa(start, 0, 11, 27));
  EXPECT_TRUE(ControllaMossa(start, 0, 51, 35));
  EXPECT_TRUE(IsMate(mated, 0));
}

TEST(Exports, SquaresOffTheBoardAndCastleWingsNeverMatch) {
  // Both castles are legal here; inside, a castle is held by its wing (-1, -2).
  const TBitBoards board = Parse("4k3/8/8/8/8/8/8/R3K2R");
  ASSERT_TRUE(ControllaMossa(board, 1, 3, 1));
  ASSERT_TRUE(ControllaMossa(board, 1, 3, 5));
  const std::pair<int, int> offBoard[] = {{-1, 1}, {-2, 5}, {-1, 0}, {3, -1}, {3, 64}, {64, 3}, {-1, -1}, {64, 64},
                                          {1 << 20, 3}, {3 + 256, 1}};
  for (auto [from, to] : offBoard) EXPECT_FALSE(ControllaMossa(board, 1, from, to)) << from << " " << to;
}

// --- Junk -------------------------------------------------------------------

// Random bitboards that overlap and hold many pieces: no crash, no write out of
// bounds (the sanitizer build runs this), and is_mate agrees with controlla_mossa.
TEST(Exports, JunkPositionsAreAnsweredConsistently) {
  std::mt19937_64 random(20240607);
  auto sparse = [&](int thinning) {
    std::uint64_t set = random();
    for (int i = 0; i < thinning; ++i) set &= random();
    return set;
  };
  for (int round = 0; round < 300; ++round) {
    TBitBoards board{};
    for (std::uint64_t& bitboard : board) bitboard = sparse(static_cast<int>(random() % 5));
    if (round % 3 == 0) board[LIGHT_QUEEN] = board[DARK_QUEEN] = sparse(1);
    for (int side : {0, 1, 2}) {
      bool noMove = IsMate(board, side);
      if (round % 10 == 0) {
        EXPECT_EQ(AcceptedMoves(board, side).empty(), noMove) << round;
        continue;
      }
      for (int i = 0; i < 20; ++i) {
        int from = static_cast<int>(random() % 66) - 1;
        int to = static_cast<int>(random() % 66) - 1;
        if (ControllaMossa(board, side, from, to)) {
          EXPECT_FALSE(noMove) << round;
        }
      }
    }
  }
}
