// Inside the move-rules library: the stored move records, the ordering score, the
// inert en passant step and the diagnostic printer.

#include "rules/legality.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "app/game/utility.h"
#include "rules/movegen.h"
#include "tests/rules/LegalMovesFixture.h"

namespace {

using namespace rules;

void Load(const TBitBoards& board) {
  for (int code = 0; code < 12; ++code) Position[code] = board[code];
}

void Load(const std::string& fen) {
  TBitBoards board{};
  ASSERT_TRUE(ParseFenPlacement(fen, board)) << fen;
  Load(board);
}

// The records of ply 0 after both generators ran for `side` on the position, one
// after the other, or as the exports run them, in one run (gen_moves).
template <class TBoard>
std::vector<TMoveRecord> Generate(const TBoard& position, int side, const TMoveFilter& filter = EVERY_MOVE,
                                  bool oneRun = false) {
  Load(position);
  CurrentPly = 0;
  MoveCount[0] = 0;
  if (oneRun) {
    gen_moves(NORMAL_MOVE, side, filter);
  } else {
    gen_captures(NORMAL_MOVE, side, filter);
    gen_quiet_moves(NORMAL_MOVE, side, filter);
  }
  return std::vector<TMoveRecord>(ply_moves(0), ply_moves(0) + MoveCount[0]);
}

// The fixture's positions, each also with a second piece on a few occupied
// squares: bitboards that overlap.
const std::vector<TBitBoards>& FixtureBoards() {
  static const std::vector<TBitBoards> boards = [] {
    std::vector<TBitBoards> result;
    std::mt19937_64 random(99);
    for (const TFixturePosition& position : ReadLegalMovesFixture(BRV_LEGAL_MOVES_FIXTURE)) {
      result.push_back(position.Board);
      TBitBoards overlapping = position.Board;
      std::uint64_t occupied = 0;
      for (std::uint64_t bitboard : overlapping) occupied |= bitboard;
      for (int i = 0; i < 3; ++i) overlapping[random() % 12] |= occupied & random() & random();
      result.push_back(overlapping);
    }
    return result;
  }();
  return boards;
}

const TMoveRecord* Find(const std::vector<TMoveRecord>& moves, int from, int to) {
  for (const TMoveRecord& move : moves)
    if (move.From == from && move.To == to && move.Kind != CASTLE) return &move;
  return nullptr;
}

// Every (from, to) the generators offer `side` on the loaded position, found by
// walking the board: pieces of every bitboard (overlapping ones too), the king on
// the lowest square of its bitboard, castles as the king's move.
std::set<std::pair<int, int>> WalkedCandidates(int side) {
  std::set<std::pair<int, int>> candidates;
  if (!Position[KING + side]) return candidates;
  const TBitboard occupied = all_occupancy();
  const TBitboard enemies = side_occupancy(1 - side);
  auto onBoard = [](int rank, int column) { return rank >= 0 && rank < 8 && column >= 0 && column < 8; };
  auto walk = [&](int from, int rankStep, int columnStep, bool slide) {
    for (int rank = from / 8 + rankStep, column = from % 8 + columnStep; onBoard(rank, column);
         rank += rankStep, column += columnStep) {
      TBitboard bit = TBitboard{1} << (8 * rank + column);
      if (!(occupied & bit) || (enemies & bit)) candidates.insert({from, 8 * rank + column});
      if ((occupied & bit) || !slide) break;
    }
  };
  const int straight[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  const int diagonal[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  const int jumps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  const int forward = side == LIGHT ? 1 : -1;
  for (int from = 0; from < 64; ++from) {
    TBitboard bit = TBitboard{1} << from;
    if (Position[PAWN + side] & bit) {
      int rank = from / 8 + forward;
      int column = from % 8;
      TBitboard ahead = onBoard(rank, column) ? TBitboard{1} << (from + 8 * forward) : 0;
      if (ahead && !(occupied & ahead)) {
        candidates.insert({from, from + 8 * forward});
        bool startRank = from / 8 == (side == LIGHT ? 1 : 6);
        if (startRank && !(occupied & (TBitboard{1} << (from + 16 * forward)))) candidates.insert({from, from + 16 * forward});
      }
      for (int step : {-1, 1})
        if (onBoard(rank, column + step) && (enemies & (TBitboard{1} << (8 * rank + column + step))))
          candidates.insert({from, 8 * rank + column + step});
    }
    if (Position[KNIGHT + side] & bit)
      for (auto [r, c] : jumps) walk(from, r, c, false);
    if (Position[BISHOP + side] & bit || Position[QUEEN + side] & bit)
      for (auto [r, c] : diagonal) walk(from, r, c, true);
    if (Position[ROOK + side] & bit || Position[QUEEN + side] & bit)
      for (auto [r, c] : straight) walk(from, r, c, true);
  }
  int king = lowest_bit(Position[KING + side]);
  for (auto [r, c] : straight) walk(king, r, c, false);
  for (auto [r, c] : diagonal) walk(king, r, c, false);
  return candidates;
}

}  // namespace

TEST(MoveRecords, StartPositionHoldsTwentyMovesDoublePushFirst) {
  std::vector<TMoveRecord> moves = Generate(std::string(START_POSITION_FEN), LIGHT);
  ASSERT_EQ(moves.size(), 20u);
  std::size_t doublePush = Find(moves, 11, 27) - moves.data();
  std::size_t singlePush = Find(moves, 11, 19) - moves.data();
  EXPECT_LT(doublePush, singlePush);
  for (const TMoveRecord& move : moves) {
    EXPECT_EQ(move.Kind, NORMAL_MOVE);
    EXPECT_EQ(move.Side, LIGHT);
  }
}

TEST(MoveRecords, CapturesComeBeforeQuietMovesAndCastlesByWing) {
  std::vector<TMoveRecord> moves = Generate("r3k2r/8/8/8/8/8/8/R3K1nR", LIGHT);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves[0].Kind, NORMAL_MOVE);
  EXPECT_EQ(moves[0].From, 0);  // h1xg1: rooks before the king, h1 before a1
  EXPECT_EQ(moves[0].To, 1);
  std::vector<int> wings;
  for (const TMoveRecord& move : moves)
    if (move.Kind == CASTLE) {
      EXPECT_EQ(move.Extra, EMPTY);
      EXPECT_EQ(move.Score, 100);
      wings.push_back(move.From);
    }
  EXPECT_EQ(wings, std::vector<int>{QUEEN_SIDE});  // the knight on g1 blocks the king side
}

TEST(OrderingScore, CheckAddsEightyThousand) {
  // The same knight move g1-f3, once with the dark king on e5 (check) and once on a8.
  const TMoveRecord* quiet = nullptr;
  std::vector<TMoveRecord> withoutCheck = Generate("k7/8/8/8/8/8/8/4K1N1", LIGHT);
  std::vector<TMoveRecord> withCheck = Generate("8/8/8/4k3/8/8/8/4K1N1", LIGHT);
  quiet = Find(withoutCheck, 1, 18);
  const TMoveRecord* checking = Find(withCheck, 1, 18);
  ASSERT_TRUE(quiet && checking);
  EXPECT_EQ(checking->Score - quiet->Score, 80000);
  EXPECT_EQ(quiet->Score, PieceSquareValue[LIGHT_KNIGHT][18] - PieceSquareValue[LIGHT_KNIGHT][1]);
}

TEST(OrderingScore, KingValuesWrapInsteadOfOverflowing) {
  // The king weighs the lowest integer: (100 - INT_MIN) * 200 wraps to 20000 for a
  // king taking a pawn, and a capture of the king scores the lowest integer itself.
  Load("8/8/8/8/8/8/3p4/4K2k");
  SideToMove = LIGHT;
  Opponent = DARK;
  int kingMove = PieceSquareValue[LIGHT_KING][12] - PieceSquareValue[LIGHT_KING][3];
  EXPECT_EQ(move_score(NORMAL_MOVE, 3, 12, false), 20000 + kingMove);
  Load("8/8/8/8/8/8/3k4/4Q3");
  int queenMove = PieceSquareValue[LIGHT_QUEEN][12] - PieceSquareValue[LIGHT_QUEEN][3];
  EXPECT_EQ(move_score(NORMAL_MOVE, 3, 12, true), static_cast<int>(0x80000000u + 80000u + queenMove));
}

// The generators skip the attack tests for moves that can neither expose the
// mover's king nor give check. What they store must still be what the full test
// gives for every candidate: the ones that leave the king safe, scored with the
// check they give.
TEST(MoveRecords, AgreeWithTheFullTestOnEveryCandidate) {
  for (const TBitBoards& board : FixtureBoards()) {
    for (int side : {DARK, LIGHT}) {
      std::vector<TMoveRecord> moves = Generate(board, side);
      SideToMove = side;
      Opponent = 1 - side;
      Occupancy = all_occupancy();
      std::set<std::pair<int, int>> expected, stored;
      for (auto [from, to] : WalkedCandidates(side))
        if (try_move(from, to, NORMAL_MOVE, side) != 1) expected.insert({from, to});
      for (const TMoveRecord& move : moves) {
        if (move.Kind != NORMAL_MOVE) continue;
        stored.insert({move.From, move.To});
        int result = try_move(move.From, move.To, move.Kind, side);
        ASSERT_EQ(move.Score, move_score(move.Kind, move.From, move.To, result == 2))
            << SquaresText(move.From, move.To);
      }
      ASSERT_EQ(stored, expected);
    }
  }
}

// A record as these tests compare it: its origin and target squares (a castle
// counts as its king's move), then the stored fields; a castle stores no target.
using TRecordFields = std::tuple<int, int, int, int, int, int>;

std::vector<TRecordFields> Fields(const std::vector<TMoveRecord>& moves) {
  std::vector<TRecordFields> fields;
  for (const TMoveRecord& move : moves) {
    bool castle = move.Kind == CASTLE;
    int origin = castle ? castle_of(move.From, move.Side).KingFrom : move.From;
    int target = castle ? castle_of(move.From, move.Side).KingTo : move.To;
    fields.emplace_back(origin, target, move.From, move.Side, move.Kind, move.Score);
  }
  return fields;
}

// The exports ask the generators for the moves of one square to another, or for
// the first legal move only: what such a run stores must be what the full run
// stores and the filter lets through, in the same order.
TEST(MoveRecords, NarrowedRunsKeepTheFullRunsRecordsInOrder) {
  for (const TBitBoards& board : FixtureBoards()) {
    for (int side : {DARK, LIGHT}) {
      const std::vector<TRecordFields> all = Fields(Generate(board, side));
      for (int limit : {0, 1, 3}) {
        TMoveFilter filter;
        filter.Limit = limit;
        std::vector<TRecordFields> first(all.begin(), all.begin() + std::min<std::size_t>(limit, all.size()));
        ASSERT_EQ(Fields(Generate(board, side, filter)), first) << limit;
      }
      for (int square = 0; square < 64; ++square) {
        TMoveFilter fromSquare, toSquare;
        fromSquare.From = toSquare.To = rules::SquareBit[square];
        std::vector<TRecordFields> from, to;
        for (const TRecordFields& record : all) {
          if (std::get<0>(record) == square) from.push_back(record);
          if (std::get<1>(record) == square) to.push_back(record);
        }
        ASSERT_EQ(Fields(Generate(board, side, fromSquare)), from) << square;
        ASSERT_EQ(Fields(Generate(board, side, toSquare)), to) << square;
      }
    }
  }
}

// The exports generate captures and quiet moves in one run: it must store what the
// two generators store one after the other, under the filters the exports use.
TEST(MoveRecords, OneRunStoresWhatTheTwoGeneratorsStore) {
  for (const TBitBoards& board : FixtureBoards()) {
    for (int side : {DARK, LIGHT}) {
      std::vector<TMoveFilter> filters(1);
      for (int limit : {0, 1, 3}) filters.push_back({.Limit = limit});
      for (int square = 0; square < 64; ++square) filters.push_back({.From = rules::SquareBit[square], .Limit = 1});
      for (const TMoveFilter& filter : filters)
        ASSERT_EQ(Fields(Generate(board, side, filter, true)), Fields(Generate(board, side, filter)))
            << filter.Limit;
    }
  }
}

TEST(TryMove, QuietMovesAndCastlesLeaveThePositionAsItWas) {
  Load("r3k2r/8/8/8/8/8/8/R3K2R");
  const auto before = Position;
  Occupancy = all_occupancy();
  const TBitboard occupancy = Occupancy;
  EXPECT_EQ(try_move(3, 11, NORMAL_MOVE, LIGHT), 0);
  EXPECT_EQ(try_move(7, 63, NORMAL_MOVE, LIGHT), 2);  // a1xa8 checks the king on e8
  EXPECT_EQ(try_move(KING_SIDE, 1, CASTLE, LIGHT), 0);
  EXPECT_EQ(try_move(QUEEN_SIDE, 61, CASTLE, DARK), 0);
  EXPECT_EQ(Position, before);
  EXPECT_EQ(Occupancy, occupancy);
}

// --- En passant: no export sets the square, but the step is there ------------

class EnPassant : public ::testing::Test {
protected:
  void TearDown() override { EnPassantSquare = -1; }
};

TEST_F(EnPassant, CaptureIsOfferedOncePrintedAndTheSquareForgotten) {
  const std::string fen = "4k3/8/8/3Pp3/8/8/8/4K3";
  Load(fen);
  EnPassantSquare = 35;  // e5
  testing::internal::CaptureStdout();
  std::vector<TMoveRecord> moves = Generate(fen, LIGHT);
  std::string printed = testing::internal::GetCapturedStdout();
  const TMoveRecord* capture = Find(moves, 36, 43);  // d5xe6
  ASSERT_TRUE(capture);
  EXPECT_EQ(capture->Kind, EN_PASSANT);
  EXPECT_EQ(EnPassantSquare, -1);
  const char* diagram =
      "\n     a   b   c   d   e   f   g   h"
      "\n   ---------------------------------\n 8 |   |   |   |   | k |   |   |   | "
      "\n   ---------------------------------\n 7 |   |   |   |   |   |   |   |   | "
      "\n   ---------------------------------\n 6 |   |   |   |   |   |   |   |   | "
      "\n   ---------------------------------\n 5 |   |   |   | P | p |   |   |   | "
      "\n   ---------------------------------\n 4 |   |   |   |   |   |   |   |   | "
      "\n   ---------------------------------\n 3 |   |   |   |   |   |   |   |   | "
      "\n   ---------------------------------\n 2 |   |   |   |   |   |   |   |   | "
      "\n   ---------------------------------\n 1 |   |   |   |   | K |   |   |   | "
      "\n   ---------------------------------\n     a   b   c   d   e   f   g   h\n\n"
      "\n4k3/8/8/3Pp3/8/8/8/4K3 w \n";
  EXPECT_EQ(printed, diagram);
  EXPECT_FALSE(Find(Generate(fen, LIGHT), 36, 43));  // the square is gone
}

TEST_F(EnPassant, CaptureThatOpensTheRankToTheKingIsRefused) {
  // Taking e5 en passant empties d5 and e5 at once: the rook on h5 then sees a5.
  const std::string fen = "4k3/8/8/K2Pp2r/8/8/8/8";
  Load(fen);
  EnPassantSquare = 35;
  testing::internal::CaptureStdout();
  std::vector<TMoveRecord> moves = Generate(fen, LIGHT);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(Find(moves, 36, 43));
  EXPECT_TRUE(Find(moves, 36, 44));  // d5-d6 keeps the rank shut
}

TEST(PositionToFen, PlacementWithoutTrailingSlash) {
  char text[FEN_TEXT_SIZE];
  Load(START_POSITION_FEN);
  position_to_fen(text);
  EXPECT_STREQ(text, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w ");
  // Every square taken by a light piece and a dark one: the light one is named.
  for (TBitboard& board : Position) board = ~TBitboard{0};
  position_to_fen(text);
  EXPECT_STREQ(text, "PPPPPPPP/PPPPPPPP/PPPPPPPP/PPPPPPPP/PPPPPPPP/PPPPPPPP/PPPPPPPP/PPPPPPPP w ");
}
