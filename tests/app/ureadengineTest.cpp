#include "app/ureadengine.h"

#include <gtest/gtest.h>

#include <random>

#include "EngineTestSupport.h"
#include "app/utility.h"
#include "tests/base/RecordingDialogs.h"

namespace {

struct TLineCase {
  const char* Line;
  const char* Move;  // nullptr: no move
  bool Mates;
  bool Illegal;
  const char* Result = nullptr;  // nullptr: none
};

const TLineCase LINE_CASES[] = {
    {"move e7e5", "e7e5", false, false},
    {"move  e7e5 ", "e7e5", false, false},
    {"1. ... e7e5", "e7e5", false, false},
    {"12. ... g8f6", "g8f6", false, false},
    {"move e7e8q", "e7e8q", false, false},
    {"move e9e5", "e9e5", false, false},  // shaped like a move: checked on the board
    {"move O-O", "O-O", false, false},
    {"move O-O-O", "O-O-O", false, false},
    {"move 0-0", "0-0", false, false},
    {"move 0-0-0", "0-0-0", false, false},
    {"7. ... O-O", "O-O", false, false},
    // Whatever follows "move " is the engine's move, to be read on the board.
    {"move O-O-O-O", "O-O-O-O", false, false},
    {"move zz99", "zz99", false, false},
    {"My move is : e7e5", nullptr, false, false},
    {"My move is : move e7e5", nullptr, false, false},
    {"1. e2e4", nullptr, false, false},
    {"# best move e2e4", nullptr, false, false},
    {"telluser I would remove e2e4", nullptr, false, false},
    {" move e7e5", nullptr, false, false},
    {"9 110 84 1227489 2. ... e7e5 3. d2d4", nullptr, false, false},
    {"2 99999 0 97 1. ... O-O-O#", nullptr, false, false},
    {"Illegal move: e2e5", nullptr, false, true},
    {"Illegal move (no piece): move e2e5", nullptr, false, true},
    {"Invalid move: e1g1", nullptr, false, true},
    {"0-1 {Black mates}", nullptr, true, false, "0-1 {Black mates}"},
    {"1-0 {White Mates}", nullptr, true, false, "1-0 {White Mates}"},
    {"1/2-1/2 {Stalemate}", nullptr, false, false, "1/2-1/2 {Stalemate}"},
    {"0-1 {Black resigns}", nullptr, false, false, "0-1 {Black resigns}"},
    {"1-0 {White wins on time}", nullptr, false, false, "1-0 {White wins on time}"},
    {"resign", nullptr, false, false, "resign"},
    {"move e7e5 1-0 {White mates}", "e7e5", true, false},
    {"move", nullptr, false, false},
    {"move e7", "e7", false, false},
    {"move Nf6", "Nf6", false, false},
    {"move ", "", false, false},
    // After a move number only a word shaped like a move is one.
    {"3. ... Nf6", nullptr, false, false},
    {" 6     10       15     287993 g8f6 b1c3 d7d5", nullptr, false, false},
    {"tellics say     Fairy-Max", nullptr, false, false},
    {"", nullptr, false, false},
};

TEST(EngineLine, FindsMovesMessagesAndResults) {
  for (const TLineCase& c : LINE_CASES) {
    TEngineLine found = ParseEngineLine(c.Line);
    EXPECT_EQ(found.HasMove, c.Move != nullptr) << c.Line;
    EXPECT_EQ(found.MoveText, c.Move ? c.Move : "") << c.Line;
    EXPECT_EQ(found.Mates, c.Mates) << c.Line;
    EXPECT_EQ(found.Illegal, c.Illegal) << c.Line;
    EXPECT_EQ(found.Result, c.Result ? c.Result : "") << c.Line;
  }
}

// The moves of every chunk handed over for `output` read in two pieces split at `at`.
std::vector<std::string> MovesReadInTwo(std::string_view output, std::size_t at) {
  TLineSplitter splitter;
  std::vector<std::string> moves;
  for (const TEngineChunk& chunk : {MakeEngineChunk(splitter, output.substr(0, at), false),
                                    MakeEngineChunk(splitter, output.substr(at), false),
                                    MakeEngineChunk(splitter, "", true)})
    for (const TEngineLine& line : chunk.Found) moves.push_back(line.MoveText);
  return moves;
}

TEST(EngineOutput, MovesAreFoundWhereverTheReadsSplitTheLines) {
  const std::string output = "tellics say hi\r\nmove e7e5\r\n\n1. ... d7d5";
  for (std::size_t at = 0; at <= output.size(); ++at)
    EXPECT_EQ(MovesReadInTwo(output, at), (std::vector<std::string>{"e7e5", "d7d5"})) << at;
}

TEST(EngineOutput, OverlongLineKeepsItsStartAndTheNextLineSurvives) {
  TLineSplitter splitter;
  std::vector<std::string> lines;
  std::string huge(3 * TLineSplitter::MAX_LINE_LENGTH, 'x');
  for (std::size_t i = 0; i < huge.size(); i += 4096) splitter.Add(std::string_view(huge).substr(i, 4096), lines);
  splitter.Add("\nmove e7e5\n", lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), TLineSplitter::MAX_LINE_LENGTH);
  EXPECT_EQ(lines[1], "move e7e5");
}

// Whatever the pieces and the hand-overs, the log gives back the output unchanged
// while it is not flooded: a line split over two hand-overs goes on in the second.
TEST(EngineLog, OutputComesBackWholeHoweverItIsReadAndTaken) {
  const std::string output = "tellics say hi\r\nmove e7e5\n\n1. ... d7d5\nFeature done=1\nno end";
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    TEngineLog log;
    std::string shown;
    for (std::size_t at = 0; at < output.size();) {
      const std::size_t size = std::uniform_int_distribution<std::size_t>(1, 12)(random);
      log.Add(std::string_view(output).substr(at, size));
      at += size;
      if (random() % 2) shown += log.Take();
    }
    shown += log.Take();
    EXPECT_EQ(shown, output) << round;
  }
}

TEST(EngineLog, FloodKeepsTheLastLinesAndSaysHowManyWereLeftOut) {
  auto lines = [](int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i) text += "line " + std::to_string(i) + "\n";
    return text;
  };
  const int kept = static_cast<int>(TEngineLog::MAX_LINES);
  TEngineLog log;
  log.Add(lines(0, 10000));
  EXPECT_EQ(log.Take(), "[" + std::to_string(10000 - kept) + " lines left out]\n" + lines(10000 - kept, 10000));
  // Not flooded any more: nothing is left out.
  log.Add(lines(0, 3));
  EXPECT_EQ(log.Take(), lines(0, 3));
  // The end of a line already begun comes first, whole, and the note after it.
  log.Add("begun");
  EXPECT_EQ(log.Take(), "begun");
  log.Add(" and ended\n" + lines(0, 1000));
  EXPECT_EQ(log.Take(),
            " and ended\n[" + std::to_string(1001 - kept) + " lines left out]\n" + lines(1001 - kept, 1000));
}

TEST(EngineLog, LongLineKeepsItsStartOverTakesAndTheNextLineSurvives) {
  TEngineLog log;
  std::string shown;
  for (int i = 0; i < 30; ++i) {
    log.Add(std::string(100, 'x'));
    shown += log.Take();
  }
  log.Add("\nmove e7e5\n");
  shown += log.Take();
  EXPECT_EQ(shown, std::string(TEngineLog::MAX_LINE_LENGTH, 'x') + " [...]\nmove e7e5\n");
}

// The shared position is set for each test and restored afterwards.
class EngineChunk : public ::testing::Test {
protected:
  void SetUp() override {
    Saved = BitBoards;
    SavedRights = GameRights;
    ASSERT_TRUE(LoadFenPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/ b KQkq e3 0 1"));
  }
  void TearDown() override {
    BitBoards = Saved;
    GameRights = SavedRights;
    EngineThinking = false;
  }

  static TEngineChunk ChunkOf(const std::string& text) {
    TLineSplitter splitter;
    return MakeEngineChunk(splitter, text, true);
  }

  TBitBoards Saved{};
  TGameRights SavedRights;
  TRecordingDialogs Recorded;
  TRecordingBoard Board;
};

TEST_F(EngineChunk, EngineMoveIsAppliedAnimatedAndLogged) {
  HandleEngineChunk(ChunkOf("move e7e5\n"), DARK_SIDE, &Board);
  EXPECT_EQ(FenPlacementText(BitBoards), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR/");
  EXPECT_EQ(FenFieldsText(GameRights), "w KQkq e6 0 1");
  // e is column 4 (the h-file is column 1).
  EXPECT_EQ(Board.Animations, (std::vector<TAnimation>{{4, 7, 4, 5}}));
  EXPECT_EQ(Board.Received, "move e7e5\n");
  EXPECT_TRUE(Recorded.Messages.empty());
}

// A move that cannot be applied is named with the engine's line, to the user and on
// the status line; the position stays and the board is the user's again.
TEST_F(EngineChunk, BadEngineMovesAreReportedAndChangeNothing) {
  const char* bad[] = {
      "move e9e5",   // no such rank
      "move i7i5",   // no such file
      "move zz99",   // no squares at all
      "move Nf6",    // a notation we do not read
      "move e5e4",   // empty from-square
      "move e2e4",   // empty from-square: the user's pawn has left it
      "move d2d4",   // a piece of the user's side
      "move d8d7",   // captures its own pawn
      "move O-O",    // the king would take its own knight
      "move e7e5k",  // no such promotion piece
      "1. ... e9e5",
  };
  for (const char* line : bad) {
    TBitBoards before = BitBoards;
    TGameRights rightsBefore = GameRights;
    Recorded.Messages.clear();
    Board.Status.clear();
    EngineThinking = true;
    HandleEngineChunk(ChunkOf(line), DARK_SIDE, &Board);
    EXPECT_EQ(BitBoards, before) << line;
    EXPECT_EQ(GameRights, rightsBefore) << line;
    const std::string report = std::string("Illegal move from host engine: ") + line;
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{report}) << line;
    EXPECT_EQ(Board.Status, std::vector<std::string>{report}) << line;
    EXPECT_FALSE(EngineThinking) << line;
  }
  EXPECT_TRUE(Board.Animations.empty());
}

TEST_F(EngineChunk, UserLeftWithoutMovesIsToldAfterTheEngineMove) {
  ASSERT_TRUE(ParseFenPlacement("rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR/", BitBoards));
  HandleEngineChunk(ChunkOf("move d8h4\n"), DARK_SIDE, &Board);
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{USER_MATED_TEXT});
  EXPECT_EQ(Board.Animations.size(), 1u);
}

TEST_F(EngineChunk, PromotionLetterChoosesThePiece) {
  ASSERT_TRUE(ParseFenPlacement("4k3/8/8/8/8/8/p7/4K3/", BitBoards));
  HandleEngineChunk(ChunkOf("move a2a1n\n"), DARK_SIDE, &Board);
  EXPECT_EQ(FenPlacementText(BitBoards), "4k3/8/8/8/8/8/8/n3K3/");
}

TEST_F(EngineChunk, CastleWordsMoveTheEngineSidesKingAndRookAndEndItsRights) {
  struct Case {
    const char* Line;
    int EngineSide;
    const char* After;
    unsigned RightsLeft;
  } cases[] = {
      {"move O-O", DARK_SIDE, "r4rk1/8/8/8/8/8/8/R3K2R/", LIGHT_KING_SIDE_CASTLE | LIGHT_QUEEN_SIDE_CASTLE},
      {"move O-O-O", LIGHT_SIDE, "r3k2r/8/8/8/8/8/8/2KR3R/", DARK_KING_SIDE_CASTLE | DARK_QUEEN_SIDE_CASTLE},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(LoadFenPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
    HandleEngineChunk(ChunkOf(c.Line), c.EngineSide, &Board);
    EXPECT_EQ(FenPlacementText(BitBoards), c.After) << c.Line;
    EXPECT_EQ(GameRights.Castling, c.RightsLeft) << c.Line;
  }
  EXPECT_EQ(Board.Animations.size(), 2u);
  EXPECT_TRUE(Recorded.Messages.empty());
}

TEST_F(EngineChunk, ResultsAndResignationsGoToTheStatusLine) {
  HandleEngineChunk(ChunkOf("1/2-1/2 {Stalemate}\n0-1 {Black resigns}\nresign\n1-0 {White Mates}\n"), DARK_SIDE, &Board);
  EXPECT_EQ(Board.Status,
            (std::vector<std::string>{"1/2-1/2 {Stalemate}", "0-1 {Black resigns}", "resign", "1-0 {White Mates}"}));
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{ENGINE_MATES_TEXT});
}

TEST_F(EngineChunk, OneChunkCanMoveReportMateAndIllegal) {
  HandleEngineChunk(ChunkOf("Illegal move: e2e5\nmove e7e5\n0-1 {Black mates}\n"), DARK_SIDE, &Board);
  EXPECT_EQ(Board.Animations.size(), 1u);
  EXPECT_EQ(Recorded.Messages, (std::vector<std::string>{ILLEGAL_ENGINE_MOVE_TEXT, ENGINE_MATES_TEXT}));
}

}  // namespace
