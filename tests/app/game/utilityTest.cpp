#include "app/game/utility.h"

#include <gtest/gtest.h>

#include <bit>

#include "app/game/Game.h"
#include "base/Exceptions.h"
#include "tests/base/RecordingDialogs.h"

namespace {

TBitBoards Parse(const std::string& fen) {
  TBitBoards board{};
  EXPECT_TRUE(ParseFenPlacement(fen, board)) << fen;
  return board;
}

std::uint64_t Bit(int square) { return SquareBit[square]; }

// Square of a square name such as "e2".
int Sq(const char* name) { return TSquare{name[1] - '0', FileLetterToColumn(name[0])}.Index(); }

TBoardMove Move(const char* text) {
  TBoardMove move;
  EXPECT_TRUE(ParseMoveText(text, move)) << text;
  return move;
}

}  // namespace

// --- FEN placement -------------------------------------------------------

TEST(FenPlacement, StartPositionPutsEveryPieceOnItsSquare) {
  TBitBoards board = Parse(START_POSITION_FEN);
  EXPECT_EQ(board[LIGHT_PAWN], 0xFF00ull);
  EXPECT_EQ(board[DARK_PAWN], 0x00FF000000000000ull);
  EXPECT_EQ(board[LIGHT_KING], Bit(3));
  EXPECT_EQ(board[DARK_KING], Bit(59));
  EXPECT_EQ(board[LIGHT_ROOK], Bit(0) | Bit(7));
  EXPECT_EQ(board[DARK_ROOK], Bit(56) | Bit(63));
  EXPECT_EQ(board[LIGHT_QUEEN], Bit(Sq("d1")));
  EXPECT_EQ(board[DARK_KNIGHT], Bit(Sq("b8")) | Bit(Sq("g8")));
}

TEST(FenPlacement, SquaresComeOutInTextOrder) {
  TBitBoards board{};
  TFenSquares squares{};
  ASSERT_TRUE(ParseFenPlacement(START_POSITION_FEN, board, &squares));
  EXPECT_EQ(squares[0], DARK_ROOK);    // a8
  EXPECT_EQ(squares[4], DARK_KING);    // e8
  EXPECT_EQ(squares[35], EMPTY_SQUARE);
  EXPECT_EQ(squares[60], LIGHT_KING);  // e1
  EXPECT_EQ(squares[63], LIGHT_ROOK);  // h1
}

TEST(FenPlacement, EmptyRanksWithOrWithoutSlashesGiveAnEmptyBoard) {
  EXPECT_EQ(Parse("8/8/8/8/8/8/8/8"), TBitBoards{});
  EXPECT_EQ(Parse("88888888"), TBitBoards{});
}

TEST(FenPlacement, NothingAfterTheLastSquareIsRead) {
  TBitBoards whole = Parse(START_POSITION_FEN);
  EXPECT_EQ(Parse("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRxyz garbage"), whole);
  EXPECT_EQ(Parse("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b - e3 12 40"), whole);
}

TEST(FenPlacement, WriterTextsAreExact) {
  TBitBoards board = Parse(START_POSITION_FEN);
  EXPECT_EQ(FenPlacementText(board), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
  TGameRights rights = RightsOfFen(START_POSITION_FEN, board);
  EXPECT_EQ(FenClipboardText(board, rights), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(FenFileText(board, rights), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\r\n");
  rights = TGameRights{TSide::Dark, LIGHT_QUEEN_SIDE_CASTLE | DARK_KING_SIDE_CASTLE, Sq("c3")};
  EXPECT_EQ(FenClipboardText(board, rights), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b Qk c3 0 1");
  EXPECT_EQ(FenPlacementText(TBitBoards{}), "8/8/8/8/8/8/8/8");
}

TEST(FenPlacement, WrittenTextParsesBackToTheSamePosition) {
  const char* placements[] = {
      START_POSITION_FEN,
      "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR",
      "r3k2r/1p2p1p1/8/2Pp4/8/5n2/P6P/R3K2R",
      "7k/8/1K6/8/8/8/8/Q6q",
      "8/8/8/8/8/8/8/8",
  };
  for (const char* fen : placements) {
    TBitBoards board = Parse(fen);
    std::string written = FenPlacementText(board);
    EXPECT_EQ(Parse(written), board) << fen;
    if (std::string(fen).find(' ') == std::string::npos) {
      EXPECT_EQ(written, fen);
    }
  }
}

TEST(FenPlacement, BadTextsReportAndLeaveThePositionUntouched) {
  const char* bad[] = {
      "",                                             // empty
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN",   // too short
      "rnbqxbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",  // bad letter
      "8/8/8/8/8/8/8/6p9",                            // digit runs past the last square
      "8/8/8/8/8/8/8/9",                              // too long
  };
  for (const char* fen : bad) {
    TRecordingDialogs dialogs;
    TBitBoards board = Parse(START_POSITION_FEN);
    const TBitBoards before = board;
    TFenSquares squares;
    squares.fill(-7);
    EXPECT_FALSE(ParseFenPlacement(fen, board, &squares)) << fen;
    EXPECT_EQ(board, before) << fen;
    EXPECT_EQ(squares[0], -7) << fen;
    ASSERT_EQ(dialogs.Lines.size(), 1u) << fen;
    EXPECT_EQ(dialogs.Lines[0], "Bad FEN position format.");
  }
}

// --- The fields after the placement -----------------------------------------

// Each text's side to move, castles and en passant square are read, and written back
// in the program's form.
TEST(FenFields, SideCastlesAndEnPassantAreReadAndWrittenBack) {
  struct TCase {
    const char* Fen;
    const char* Fields;  // FenFieldsText of what was read
  };
  const TCase cases[] = {
      {START_POSITION_FEN, "w KQkq - 0 1"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", "b KQkq e3 0 1"},
      {"rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR/ w Kq e6 0 2", "w Kq e6 0 2"},
      // The move counters as the text gives them.
      {"r3k2r/8/8/8/8/8/8/R3K2R b Kq - 5 20", "b Kq - 5 20"},
      // Without fields: light to move, the castles whose pieces stand at home.
      {"r3k2r/8/8/8/8/8/8/R3K2R", "w KQkq - 0 1"},
      {"r3k2r/8/8/8/8/8/8/R3K2R/", "w KQkq - 0 1"},
      {"88888888 b", "b - - 0 1"},
      // A castle whose king or rook is away, and an unknown castling field.
      {"4k3/8/8/8/8/8/8/4K2R w KQkq - 0 1", "w K - 0 1"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b XY - 0 1", "b KQkq - 0 1"},
      // An en passant square no pawn has just passed over, or on the wrong rank for
      // the side to move, or no square at all.
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq e3 0 1", "b KQkq - 0 1"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e3 0 1", "w KQkq - 0 1"},
      {"rnbqkbnr/pppppppp/8/8/4P3/4N3/PPPP1PPP/RNBQKB1R b KQkq e3 0 1", "b KQkq - 0 1"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq z9 0 1", "b KQkq - 0 1"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3x 0 1", "b KQkq - 0 1"},
      // Any side field but "b" is light's.
      {"8/8/8/8/8/8/8/8 x", "w - - 0 1"},
  };
  for (const TCase& c : cases) {
    TBitBoards board = Parse(c.Fen);
    EXPECT_EQ(FenFieldsText(RightsOfFen(c.Fen, board)), c.Fields) << c.Fen;
  }
}

// The side to move and the rights follow the moves, and what is written is read back.
TEST(FenFields, MovesChangeTheSideToMoveAndTheWrittenTextReadsBack) {
  TBitBoards board = Parse(START_POSITION_FEN);
  TGameRights rights = RightsOfFen(START_POSITION_FEN, board);
  const std::pair<const char*, const char*> moves[] = {
      {"e2e4", "b KQkq e3 0 1"}, {"e7e5", "w KQkq e6 0 2"}, {"g1f3", "b KQkq - 1 2"},
      {"e8e7", "w KQ - 2 3"},    {"h1g1", "b Q - 3 3"},
  };
  for (const auto& [move, fields] : moves) {
    ASSERT_EQ(ApplyGameMove(board, rights, Move(move), ANY_SIDE), TMoveResult::Applied) << move;
    EXPECT_EQ(FenFieldsText(rights), fields) << move;
    const std::string text = FenFileText(board, rights);
    TBitBoards readBack{};
    ASSERT_TRUE(ParseFenPlacement(text, readBack)) << text;
    EXPECT_EQ(readBack, board) << text;
    EXPECT_EQ(RightsOfFen(text, readBack), rights) << text;
  }
  // A refused move and a move onto its own square leave the side to move.
  const TGameRights before = rights;
  EXPECT_EQ(ApplyGameMove(board, rights, Move("e5e4"), TSide::Light), TMoveResult::WrongSide);
  EXPECT_EQ(ApplyGameMove(board, rights, Move("d7d7"), TSide::Dark), TMoveResult::Applied);
  EXPECT_EQ(rights, before);
  // A game takes all of it from the text.
  TGame game;
  ASSERT_TRUE(game.LoadFen("4k3/8/8/3pP3/8/8/8/4K3/ w - d6 0 1"));
  EXPECT_EQ(game.Rights(), (TGameRights{TSide::Light, 0, Sq("d6")}));
}

// The whole text after the moves since a position: "/" between the ranks only, and the
// clock and move number as the moves left them.
TEST(FenFields, WrittenTextsCarryTheMoveCounters) {
  struct TCase {
    const char* Fen;
    std::vector<const char*> Moves;
    const char* Written;
  };
  const TCase cases[] = {
      {START_POSITION_FEN, {"e2e4"}, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"},
      // A knight's move counts, a capture or a pawn move starts the clock anew.
      {START_POSITION_FEN, {"e2e4", "d7d5", "g1f3", "d5e4", "f3g5", "g8f6"},
       "rnbqkb1r/ppp1pppp/5n2/6N1/4p3/8/PPPP1PPP/RNBQKB1R w KQkq - 2 4"},
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", {"e1e2"}, "4k3/8/8/8/8/8/4K3/R6R b - - 1 1"},
      // On from the counters of a loaded text; en passant takes as any capture.
      {"r3k2r/8/8/8/8/8/8/R3K2R b kq - 7 40", {"a8b8"}, "1r2k2r/8/8/8/8/8/8/R3K2R w k - 8 41"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b kq - 7 40", {"a8b8", "h1h8"}, "1r2k2R/8/8/8/8/8/8/R3K3 b - - 0 41"},
      {"4k3/8/8/8/3p4/8/4P3/4K3 w - - 12 30", {"e2e4", "d4e3", "e1d1"}, "4k3/8/8/8/8/4p3/8/3K4 b - - 1 31"},
  };
  for (const TCase& c : cases) {
    TBitBoards board = Parse(c.Fen);
    TGameRights rights = RightsOfFen(c.Fen, board);
    for (const char* move : c.Moves)
      ASSERT_EQ(ApplyGameMove(board, rights, Move(move), ANY_SIDE), TMoveResult::Applied) << c.Fen << " " << move;
    EXPECT_EQ(FenClipboardText(board, rights), c.Written) << c.Fen;
    EXPECT_EQ(RightsOfFen(c.Written, board), rights) << c.Written;
  }
}

// A counter that is missing, no plain number, negative or too large reads as 0 for the
// clock and 1 for the move number, each on its own; at the largest value they stay.
TEST(FenFields, BadMoveCountersFallBackToZeroAndOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "0 1"},
      {"7", "7 1"},
      {"007 040", "7 40"},
      {"-1 -40", "0 1"},
      {"+7 0", "0 1"},
      {"7x 4.0", "0 1"},
      {"999999 999999", "999999 999999"},
      {"1000000 1000000", "0 1"},
      {"99999999999999999999 40", "0 40"},
      {"7 99999999999999999999", "7 1"},
  };
  for (const auto& [counters, read] : cases) {
    const std::string fen = std::string("4k3/8/8/8/8/8/8/4K3 w - - ") + counters;
    EXPECT_EQ(FenFieldsText(RightsOfFen(fen, Parse(fen))), std::string("w - - ") + read) << fen;
  }
  TBitBoards board = Parse("4k3/8/8/8/8/8/8/4K3");
  TGameRights rights{TSide::Light, 0, NO_SQUARE, MAX_MOVE_COUNTER, MAX_MOVE_COUNTER};
  ASSERT_EQ(ApplyGameMove(board, rights, Move("e1d1"), ANY_SIDE), TMoveResult::Applied);
  ASSERT_EQ(ApplyGameMove(board, rights, Move("e8d8"), ANY_SIDE), TMoveResult::Applied);
  EXPECT_EQ(FenFieldsText(rights), "w - - 999999 999999");
}

// --- Setting up a position in the engine ---------------------------------------

// "setboard" takes the whole position in the engines' FEN form; edit mode places each
// side's pieces and hands the move to dark with a first move.
TEST(EnginePosition, SetBoardOrEditModeLinesGiveTheWholePosition) {
  const char FEN[] = "r3k3/4P3/8/3pP3/8/8/8/4K3/ w q d6 0 1";
  TBitBoards board = Parse(FEN);
  TGameRights rights = RightsOfFen(FEN, board);
  EXPECT_EQ(EnginePositionCommands(board, rights, false),
            (std::vector<std::string>{"new", "force", "setboard r3k3/4P3/8/3pP3/8/8/8/4K3 w q d6 0 1"}));
  EXPECT_EQ(EnginePositionCommands(board, rights, true),
            (std::vector<std::string>{"new", "force", "edit", "#", "Pe7", "Pe5", "Ke1", "c", "Ra8", "Ke8", "Pd5", "."}));
  rights.SideToMove = TSide::Dark;
  rights.EnPassant = NO_SQUARE;
  EXPECT_EQ(EnginePositionCommands(board, rights, false),
            (std::vector<std::string>{"new", "force", "setboard r3k3/4P3/8/3pP3/8/8/8/4K3 b q - 0 1"}));
  EXPECT_EQ(EnginePositionCommands(board, rights, true),
            (std::vector<std::string>{"new", "force", "a2a3", "edit", "#", "Pe7", "Pe5", "Ke1", "c", "Ra8", "Ke8",
                                      "Pd5", "."}));
  // Every piece once, in text order, each side's after its colour is chosen.
  std::vector<std::string> start =
      EnginePositionCommands(Parse(START_POSITION_FEN), RightsOfFen(START_POSITION_FEN, Parse(START_POSITION_FEN)), true);
  ASSERT_EQ(start.size(), 4u + 32 + 2);
  EXPECT_EQ(start[4], "Pa2");
  EXPECT_EQ(start[16], "Ke1");
  EXPECT_EQ(start[19], "Rh1");
  EXPECT_EQ(start[20], "c");
  EXPECT_EQ(start[21], "Ra8");
  EXPECT_EQ(start[36], "Ph7");
  EXPECT_EQ(start.back(), ".");
}

// --- Square queries ------------------------------------------------------

TEST(SquareQueries, PieceLettersAndSquareNumbers) {
  EXPECT_EQ(PieceToChar(DARK_PAWN), 'p');
  EXPECT_EQ(PieceToChar(LIGHT_QUEEN), 'Q');
  EXPECT_EQ(PieceToChar(EMPTY_SQUARE), '-');
  EXPECT_EQ(PieceToChar(13), '?');
  EXPECT_EQ(PieceToChar(-1), '?');
  EXPECT_EQ((TSquare{1, 1}.Index()), 0);
  EXPECT_EQ((TSquare{1, 8}.Index()), 7);
  EXPECT_EQ((TSquare{8, 8}.Index()), 63);
  EXPECT_THROW((TSquare{INT_MIN, 1}.Index()), EIntOverflow);
  for (int index = 0; index < 64; ++index) EXPECT_EQ(TSquare::OfIndex(index).Index(), index);
  EXPECT_EQ((TSquare{2, 4}.Name()), "e2");
  EXPECT_EQ((TSquare{8, 8}.Name()), "a8");
  EXPECT_EQ((TSquare{0, 4}.Name()), "");
  EXPECT_EQ((TSquare{2, 9}.Name()), "");
}

TEST(SquareQueries, PieceOfSideLooksOnlyAtThatSide) {
  TBitBoards board = Parse(START_POSITION_FEN);
  EXPECT_EQ(PieceOfSide(board, TSide::Light, 3), LIGHT_KING);
  EXPECT_EQ(PieceOfSide(board, TSide::Dark, 3), EMPTY_SQUARE);
  EXPECT_EQ(PieceOfSide(board, TSide::Dark, 59), DARK_KING);
}

TEST(SquareQueries, PieceOfSideOffTheBoardIsAnAssertionNamingTheSquare) {
  TBitBoards board{};
  try {
    PieceOfSide(board, TSide::Light, 64);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "64");
    EXPECT_EQ(e.Unit(), "utility");
  }
  EXPECT_THROW(PieceOfSide(board, TSide::Dark, -1), EAssertionFailed);
}

TEST(SquareQueries, TwoPiecesOnOneSquareReportAndTheDarkOneWins) {
  TRecordingDialogs dialogs;
  TBitBoards board{};
  board[LIGHT_QUEEN] = Bit(20);
  board[DARK_KNIGHT] = Bit(20);
  EXPECT_EQ(PieceCodeOnSquare(board, 20), DARK_KNIGHT);
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0], "errore get_case_occupate");
  EXPECT_THROW(PieceCodeOnSquare(board, 64), ERangeError);
}

// --- Move text -----------------------------------------------------------

TEST(MoveText, ColumnsRunFromTheHFile) {
  EXPECT_EQ(ColumnToFileLetter(1), "h");
  EXPECT_EQ(ColumnToFileLetter(8), "a");
  EXPECT_EQ(ColumnToFileLetter(0), "");
  EXPECT_EQ(ColumnToFileLetter(9), "");
  EXPECT_EQ(FileLetterToColumn('a'), 8);
  EXPECT_EQ(FileLetterToColumn('h'), 1);
  EXPECT_EQ(FileLetterToColumn('i'), 0);
  EXPECT_EQ(MoveToText({{2, 4}, {4, 4}}), "e2e4");
  EXPECT_EQ(MoveToText({{1, 7}, {3, 6}}), "b1c3");
  EXPECT_EQ(MoveToText({{7, 8}, {8, 8}, 'Q'}), "a7a8q");
}

TEST(MoveText, ParsesCoordinateMovesAndPromotions) {
  TBoardMove move = Move("e2e4");
  EXPECT_EQ(move.From, (TSquare{2, 4}));
  EXPECT_EQ(move.To, (TSquare{4, 4}));
  EXPECT_EQ(move.Promotion, 0);
  EXPECT_EQ(Move("a7a8n").Promotion, 'n');
  for (const char* bad : {"", "e2e", "e2e4e5", "i2e4", "e0e4", "e2e9", "e7e8k", "e7e8p", "E2E4"}) {
    TBoardMove untouched{{1, 2}, {3, 4}, 'q'};
    EXPECT_FALSE(ParseMoveText(bad, untouched)) << bad;
    EXPECT_EQ(untouched.To.Col, 4) << bad;
  }
}

// --- Applying moves ------------------------------------------------------

TEST(ApplyMove, PawnPushMovesOnlyThatBit) {
  TBitBoards board = Parse(START_POSITION_FEN);
  TBitBoards expected = board;
  expected[LIGHT_PAWN] = (expected[LIGHT_PAWN] & ~Bit(11)) | Bit(27);
  EXPECT_EQ(ApplyMoveToBitboards(board, Move("e2e4")), TMoveResult::Applied);
  EXPECT_EQ(board, expected);
}

TEST(ApplyMove, CaptureRemovesTheVictimFromItsOwnBitboard) {
  TBitBoards board = Parse("4k3/8/8/3p4/4P3/8/8/4K3/");
  EXPECT_EQ(ApplyMoveToBitboards(board, Move("e4d5"), TSide::Light), TMoveResult::Applied);
  EXPECT_EQ(board[DARK_PAWN], 0u);
  EXPECT_EQ(board[LIGHT_PAWN], Bit(Sq("d5")));
}

TEST(ApplyMove, EveryCastleTakesItsRookAlong) {
  struct Case {
    const char* move;
    int rook;
    const char* rookFrom;
    const char* rookTo;
  } cases[] = {
      {"e1g1", LIGHT_ROOK, "h1", "f1"},
      {"e1c1", LIGHT_ROOK, "a1", "d1"},
      {"e8g8", DARK_ROOK, "h8", "f8"},
      {"e8c8", DARK_ROOK, "a8", "d8"},
  };
  for (const Case& c : cases) {
    TBitBoards board = Parse("r3k2r/8/8/8/8/8/8/R3K2R/");
    TBitBoards before = board;
    ASSERT_EQ(ApplyMoveToBitboards(board, Move(c.move)), TMoveResult::Applied) << c.move;
    EXPECT_EQ(board[c.rook], (before[c.rook] & ~Bit(Sq(c.rookFrom))) | Bit(Sq(c.rookTo))) << c.move;
    EXPECT_EQ(board[c.rook ^ 1], before[c.rook ^ 1]) << c.move;
  }
}

TEST(ApplyMove, CastleWithoutItsCornerRookMovesOnlyTheKing) {
  TBitBoards board = Parse("4k3/8/8/8/8/8/8/R3K3/");
  EXPECT_EQ(ApplyMoveToBitboards(board, Move("e1g1")), TMoveResult::Applied);
  EXPECT_EQ(board[LIGHT_ROOK], Bit(Sq("a1")));
  EXPECT_EQ(board[LIGHT_KING], Bit(Sq("g1")));
}

// An engine may name a castle the position does not allow: the king takes what stands
// on its target, and the rook stays where its square is taken. No square ends up
// holding two pieces.
TEST(ApplyMove, CastleOntoACrowdedRankPutsNoTwoPiecesOnOneSquare) {
  struct Case {
    const char* before;
    const char* move;
    const char* after;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/4K1nR/", "e1g1", "4k3/8/8/8/8/8/8/5RK1"},
      {"4k3/8/8/8/8/8/8/4Kn1R/", "e1g1", "4k3/8/8/8/8/8/8/5nKR"},
      {"r2Bk3/8/8/8/8/8/8/4K3/", "e8c8", "r1kB4/8/8/8/8/8/8/4K3"},
      {"r1N1k3/8/8/8/8/8/8/4K3/", "e8c8", "2kr4/8/8/8/8/8/8/4K3"},
  };
  for (const Case& c : cases) {
    TRecordingDialogs dialogs;
    TBitBoards board = Parse(c.before);
    ASSERT_EQ(ApplyMoveToBitboards(board, Move(c.move)), TMoveResult::Applied) << c.before;
    EXPECT_EQ(FenPlacementText(board), c.after) << c.before;
    EXPECT_TRUE(dialogs.Messages.empty()) << c.before << ": " << dialogs.Messages.front();
  }
}

TEST(ApplyMove, KingStepOfOneColumnIsNoCastle) {
  TBitBoards board = Parse("4k3/8/8/8/8/8/8/4K2R/");
  EXPECT_EQ(ApplyMoveToBitboards(board, Move("e1f1")), TMoveResult::Applied);
  EXPECT_EQ(board[LIGHT_ROOK], Bit(Sq("h1")));
  EXPECT_EQ(board[LIGHT_KING], Bit(Sq("f1")));
}

TEST(ApplyMove, PawnOnTheLastRankIsPromoted) {
  struct Case {
    const char* move;
    int piece;
  } cases[] = {{"a7a8", LIGHT_QUEEN}, {"a7a8q", LIGHT_QUEEN}, {"a7a8r", LIGHT_ROOK},
               {"a7a8b", LIGHT_BISHOP}, {"a7a8n", LIGHT_KNIGHT}, {"a7b8", LIGHT_QUEEN}};
  for (const Case& c : cases) {
    TBitBoards board = Parse("1r2k3/P7/8/8/8/8/8/4K3/");
    ASSERT_EQ(ApplyMoveToBitboards(board, Move(c.move)), TMoveResult::Applied) << c.move;
    int to = Sq(c.move + 2);
    EXPECT_EQ(board[LIGHT_PAWN], 0u) << c.move;
    EXPECT_EQ(board[c.piece], Bit(to)) << c.move;
  }
  TBitBoards board = Parse("4k3/8/8/8/8/8/5p2/4K3/");
  ASSERT_EQ(ApplyMoveToBitboards(board, Move("f2f1n")), TMoveResult::Applied);
  EXPECT_EQ(board[DARK_PAWN], 0u);
  EXPECT_EQ(board[DARK_KNIGHT], Bit(Sq("f1")));
}

TEST(ApplyMove, EnPassantTakesThePassedPawn) {
  TBitBoards board = Parse("4k3/8/8/3pP3/8/8/8/4K3/");
  EXPECT_EQ(ApplyMoveToBitboards(board, Move("e5d6")), TMoveResult::Applied);
  EXPECT_EQ(board[DARK_PAWN], 0u);
  EXPECT_EQ(board[LIGHT_PAWN], Bit(Sq("d6")));

  board = Parse("4k3/8/8/8/5pP1/8/8/4K3/");
  EXPECT_EQ(ApplyMoveToBitboards(board, Move("f4g3")), TMoveResult::Applied);
  EXPECT_EQ(board[LIGHT_PAWN], 0u);
  EXPECT_EQ(board[DARK_PAWN], Bit(Sq("g3")));
}

TEST(ApplyMove, BadMovesAreRefusedAndChangeNothing) {
  struct Case {
    TBoardMove move;
    std::optional<TSide> side;
    TMoveResult result;
    const char* text;
  } cases[] = {
      {{{2, 4}, {9, 4}}, ANY_SIDE, TMoveResult::OffBoard, "Illegal move (off the board): a square is outside a1-h8"},
      {{{0, 4}, {4, 4}}, ANY_SIDE, TMoveResult::OffBoard, "Illegal move (off the board): a square is outside a1-h8"},
      {{{4, 4}, {5, 4}}, ANY_SIDE, TMoveResult::NoPiece, "Illegal move e4e5: no piece on e4"},
      {{{7, 4}, {5, 4}}, TSide::Light, TMoveResult::WrongSide,
       "Illegal move e7e5: the piece on e7 belongs to the other side"},
      {{{1, 7}, {2, 5}}, ANY_SIDE, TMoveResult::OwnPiece, "Illegal move b1d2: it captures its own piece on d2"},
      {{{6, 5}, {8, 4}}, TSide::Light, TMoveResult::TakesKing,
       "Illegal move d6e8: a king is never taken, and one stands on e8"},
  };
  for (const Case& c : cases) {
    // The start position, with a light knight from g1 on d6, where it attacks the dark king.
    TBitBoards board = Parse("rnbqkbnr/pppppppp/3N4/8/8/8/PPPPPPPP/RNBQKB1R w");
    TBitBoards before = board;
    EXPECT_EQ(ApplyMoveToBitboards(board, c.move, c.side), c.result) << c.text;
    EXPECT_EQ(board, before) << c.text;
    EXPECT_EQ(MoveResultText(c.result, c.move), c.text);
  }
}

TEST(ApplyMove, MoveOntoItsOwnSquareChangesNothing) {
  TBitBoards board = Parse(START_POSITION_FEN);
  TBitBoards before = board;
  EXPECT_EQ(ApplyMoveToBitboards(board, TBoardMove{{2, 4}, {2, 4}}), TMoveResult::Applied);
  EXPECT_EQ(ApplyMoveToBitboards(board, TBoardMove{{4, 4}, {4, 4}}), TMoveResult::Applied);
  EXPECT_EQ(board, before);
}

// --- The user's move -----------------------------------------------------

// The user's move after the moves before it (either side's, applied as the engine's
// are), on a position with the rights its FEN text gives.
struct TUserMoveCase {
  const char* Fen;
  std::vector<const char*> Before;
  const char* Move;
  TSide Side;
  const char* Text;   // what goes to the engine; nullptr: refused, nothing changes
  const char* After;  // the placement after it
};

const TUserMoveCase USER_MOVE_CASES[] = {
    {START_POSITION_FEN, {}, "e2e4", TSide::Light, "e2e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR"},
    // Castling while the rights hold, from the FEN field or, without one, from where
    // kings and rooks stand.
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {}, "e1g1", TSide::Light, "e1g1", "r3k2r/8/8/8/8/8/8/R4RK1"},
    {"r3k2r/8/8/8/8/8/8/R3K2R/", {}, "e8c8", TSide::Dark, "e8c8", "2kr3r/8/8/8/8/8/8/R3K2R"},
    {"r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1", {}, "e1c1", TSide::Light, nullptr, nullptr},
    {"r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1", {}, "e8c8", TSide::Dark, "e8c8", "2kr3r/8/8/8/8/8/8/R3K2R"},
    {"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", {}, "e1g1", TSide::Light, nullptr, nullptr},
    // ... lost when the king or the rook moves and comes back, or the rook is taken.
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"e1f1", "e8f8", "f1e1", "f8e8"}, "e1g1", TSide::Light, nullptr, nullptr},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"h1h2", "a8a7", "h2h1", "a7a8"}, "e1g1", TSide::Light, nullptr, nullptr},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"h1h2", "a8a7", "h2h1", "a7a8"}, "e1c1", TSide::Light, "e1c1",
     "r3k2r/8/8/8/8/8/8/2KR3R"},
    {"r3k2r/8/8/8/8/8/6B1/R3K2R w KQkq - 0 1", {"g2a8"}, "e8c8", TSide::Dark, nullptr, nullptr},
    // The library's own verdict still holds: no castle out of check.
    {"r3k2r/8/8/8/8/8/4r3/R3K2R w KQkq - 0 1", {}, "e1g1", TSide::Light, nullptr, nullptr},
    // En passant on the square the last move passed over, taking the passed pawn.
    {"4k3/3p4/8/4P3/8/8/8/4K3 w - - 0 1", {"d7d5"}, "e5d6", TSide::Light, "e5d6", "4k3/8/3P4/8/8/8/8/4K3"},
    {"4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1", {"e2e4"}, "d4e3", TSide::Dark, "d4e3", "4k3/8/8/8/8/4p3/8/4K3"},
    {"4k3/3p4/8/4P3/8/8/8/4K3 w - - 0 1", {"d7d5", "e1d1", "e8d8"}, "e5d6", TSide::Light, nullptr, nullptr},
    {"4k3/8/3p4/4P3/8/8/8/4K3 w - - 0 1", {"d6d5"}, "e5d6", TSide::Light, nullptr, nullptr},
    // ... and judged with the king's safety: here it would open the rank to the rook.
    {"4k3/2p5/8/KP5r/8/8/8/8 w - - 0 1", {"c7c5"}, "b5c6", TSide::Light, nullptr, nullptr},
    // A king is never taken, whatever the library says of a position that offers one.
    {"4k3/8/8/8/8/8/4R3/4K3 w - - 0 1", {}, "e2e8", TSide::Light, nullptr, nullptr},
    // A pawn on the last rank becomes a queen, and the engine is told so.
    {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", {}, "a7a8", TSide::Light, "a7a8q", "Qr2k3/8/8/8/8/8/8/4K3"},
    {"4k3/8/8/8/8/8/1p6/4K3 w - - 0 1", {}, "b2b1", TSide::Dark, "b2b1q", "4k3/8/8/8/8/8/8/1q2K3"},
};

TEST(UserMove, CastlesWithRightsEnPassantAndPromotionAsTheEnginesSeeThem) {
  TRecordingDialogs dialogs;
  for (const TUserMoveCase& c : USER_MOVE_CASES) {
    std::string name = std::string(c.Fen) + " then " + c.Move;
    TBitBoards board = Parse(c.Fen);
    TGameRights rights = RightsOfFen(c.Fen, board);
    for (const char* before : c.Before)
      ASSERT_EQ(ApplyGameMove(board, rights, Move(before), ANY_SIDE), TMoveResult::Applied) << name << before;
    const TBitBoards position = board;
    const TGameRights positionRights = rights;
    TBoardMove move = Move(c.Move);
    EXPECT_EQ(IsLegalUserMove(board, rights, move, c.Side), c.Text != nullptr) << name;
    TUserMove played = PlayUserMove(board, rights, move, c.Side);
    EXPECT_EQ(played.Legal, c.Text != nullptr) << name;
    EXPECT_EQ(played.Text, c.Text ? c.Text : "") << name;
    if (c.Text) {
      EXPECT_EQ(FenPlacementText(board), c.After) << name;
    } else {
      EXPECT_EQ(board, position) << name;
      EXPECT_EQ(rights, positionRights) << name;
    }
  }
  EXPECT_TRUE(dialogs.Messages.empty());
}

TEST(UserMove, TellsTheBoardWindowWhatMovedBesides) {
  const std::pair<const char*, TMoveEffects> cases[] = {
      {"e1c1", {{1, 8}, {1, 5}, {}, EMPTY_SQUARE}},  // the a-file rook to the d-file
      {"e5d6", {{}, {}, {5, 5}, EMPTY_SQUARE}},      // the pawn on d5 taken
      {"a7b8", {{}, {}, {}, LIGHT_QUEEN}},
  };
  for (const auto& [text, effects] : cases) {
    TGame game;
    ASSERT_TRUE(game.LoadFen("1r2k3/P2p4/8/4P3/8/8/8/R3K3 b Q - 0 1"));
    game.Apply(Move("d7d5"), TSide::Dark);
    TUserMove played = game.PlayUserMove(Move(text), TSide::Light);
    EXPECT_TRUE(played.Legal && played.Effects == effects) << text;
  }
}

// The library does not see en passant: a side whose one move takes en passant is not mate.
TEST(UserMove, OnlyMoveEnPassantIsNoMate) {
  TBitBoards board = Parse("7k/5K2/6P1/8/3p4/3P4/4P3/8/");
  TGameRights rights;
  ASSERT_EQ(ApplyGameMove(board, rights, Move("e2e4"), TSide::Light), TMoveResult::Applied);
  EXPECT_TRUE(IsMate(board, SideIndex(TSide::Dark)));
  EXPECT_FALSE(IsMate(board, rights, TSide::Dark));
  rights.EnPassant = NO_SQUARE;
  EXPECT_TRUE(IsMate(board, rights, TSide::Dark));
}

// --- Positions no game can reach ---------------------------------------------

// Each FEN text with what rules it out, or "" where a game can reach it. The side to
// move comes from the second field; without one light is to move.
TEST(ImpossiblePosition, EachRuleWithItsMessage) {
  const std::pair<const char*, const char*> cases[] = {
      {START_POSITION_FEN, ""},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/ w - - 0 1", ""},
      {"r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4", ""},
      {"4k3/8/8/8/8/8/4R3/4K3 b", ""},
      {"QQ2k3/8/8/8/8/8/PPPPPP2/4K3 b", ""},
      {"8/8/8/3k4/8/8/8/4K3", ""},
      // The side not to move in check: its king could be taken next.
      {"4k3/8/8/8/8/8/4R3/4K3 w", "dark's king on e8 is in check while light is to move"},
      {"4k3/8/8/8/8/8/4R3/4K3", "dark's king on e8 is in check while light is to move"},
      {"4K3/8/8/8/8/8/4r3/4k3 b KQkq - 0 1", "light's king on e8 is in check while dark is to move"},
      {"8/8/8/3kK3/8/8/8/8 b", "light's king on e5 is in check while dark is to move"},
      {"4k3/8/5N2/8/8/8/8/4K3 w", "dark's king on e8 is in check while light is to move"},
      {"4k3/8/8/8/B7/8/8/4K3 w", "dark's king on e8 is in check while light is to move"},
      {"4k3/3p4/8/8/B7/8/8/4K3 w", ""},
      {"4k3/8/8/8/8/8/8/Q3K3 w", ""},
      {"Q3k3/8/8/8/8/8/8/4K3 w", "dark's king on e8 is in check while light is to move"},
      // Pawns take forwards only; a pinned rook still gives check.
      {"8/8/8/8/8/4k3/3P4/4K3 w", "dark's king on e3 is in check while light is to move"},
      {"8/8/8/8/4k3/8/3P4/4K3 w", ""},
      {"4k3/8/8/8/8/3p4/4K3/8 w", ""},
      {"4k3/8/8/8/8/3p4/4K3/8 b", "light's king on e2 is in check while dark is to move"},
      {"4k3/8/8/8/8/8/r3R2K/8 w", "dark's king on e8 is in check while light is to move"},
      // Kings, pawns and counts.
      {"8/8/8/8/8/8/8/8", "light has no king"},
      {"4k3/8/8/8/8/8/8/8 b", "light has no king"},
      {"8/8/8/8/8/8/8/4K3", "dark has no king"},
      {"4k3/8/8/8/8/8/8/K3K3", "light has 2 kings"},
      {"3kk3/8/8/8/8/8/8/4K3", "dark has 2 kings"},
      {"P3k3/8/8/8/8/8/8/4K3", "a pawn stands on a8, on the first or last rank"},
      {"4k3/8/8/8/8/8/8/4K2p", "a pawn stands on h1, on the first or last rank"},
      {"4k3/8/8/8/8/P7/PPPPPPPP/4K3", "light has 9 pawns, more than 8"},
      {"4k3/8/QQQQQQQQ/8/8/8/PPPPPPPP/4K3", "light has 17 pieces, more than 16"},
      {"rr2k3/r7/8/8/8/8/8/4K3 b", ""},
      {"rr2k3/r7/pppppppp/8/8/8/8/4K3 b",
       "dark has more queens, rooks, bishops and knights than its missing pawns could have become"},
      {"4k3/8/8/8/8/8/1PPPPPPP/QQN1K1NN w",
       "light has more queens, rooks, bishops and knights than its missing pawns could have become"},
      {"4k3/8/8/8/8/8/1PPPPPPP/QQN1K1N1 w", ""},
  };
  for (const auto& [fen, expected] : cases)
    EXPECT_EQ(ImpossiblePositionText(Parse(fen), PlayRightsOfFen(fen, Parse(fen)).SideToMove), expected) << fen;
}

// Files written before the side to move was kept say " w - - 0 1" whoever was to move:
// one saved after light gave check is dark's turn; any other text means what it says.
TEST(ImpossiblePosition, OldFilesSavedInCheckAreTheCheckedSidesTurn) {
  const std::pair<const char*, TSide> cases[] = {
      {"4k3/8/8/8/8/8/4R3/4K3/ w - - 0 1", TSide::Dark},
      {"4k3/8/8/8/8/8/4R3/4K3/ w", TSide::Light},
      {"4k3/8/8/8/8/8/4R3/4K3 w - - 0 1x", TSide::Light},
      {"4k3/8/8/8/8/8/3R4/4K3/ w - - 0 1", TSide::Light},
      {"8/8/8/8/8/8/8/8 b - - 0 1", TSide::Dark},
      {"8/8/8/8/8/8/8/8", TSide::Light},
  };
  for (const auto& [fen, side] : cases) EXPECT_EQ(PlayRightsOfFen(fen, Parse(fen)).SideToMove, side) << fen;
}

// Every position of a real game, checks and mate among them, with its side to move.
TEST(ImpossiblePosition, EveryPositionOfAGameIsPossible) {
  const char* moves[] = {"e2e4", "e7e5", "g1f3", "d7d6", "d2d4", "c8g4", "d4e5", "g4f3", "d1f3", "d6e5", "f1c4",
                         "g8f6", "f3b3", "d8e7", "b1c3", "c7c6", "c1g5", "b7b5", "c3b5", "c6b5", "c4b5", "b8d7",
                         "e1c1", "a8d8", "d1d7", "d8d7", "h1d1", "e7e6", "b5d7", "f6d7", "b3b8", "d7b8", "d1d8"};
  TBitBoards board = Parse(START_POSITION_FEN);
  TGameRights rights = RightsOfFen(START_POSITION_FEN, board);
  TSide side = TSide::Light;
  int checks = 0;
  for (const char* move : moves) {
    ASSERT_EQ(ApplyGameMove(board, rights, Move(move), side), TMoveResult::Applied) << move;
    side = OtherSide(side);
    EXPECT_EQ(ImpossiblePositionText(board, side), "") << move;
    // The other side, which has just moved, may not be left in check.
    const int king = std::countr_zero(board[DARK_KING + SideIndex(OtherSide(side))]);
    EXPECT_FALSE(SquareAttacked(board, king, side)) << move;
    if (SquareAttacked(board, std::countr_zero(board[DARK_KING + SideIndex(side)]), OtherSide(side))) ++checks;
  }
  EXPECT_EQ(checks, 4);
  EXPECT_TRUE(IsMate(board, SideIndex(TSide::Dark)));
}
