#include "app/game/ureadengine.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/app/EngineTestSupport.h"
#include "app/game/Game.h"
#include "app/game/utility.h"
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

TEST(EngineLine, FeatureLinesSayTheFeaturesOutsideQuotes) {
  using TFeatures = std::tuple<std::optional<bool>, std::optional<bool>, std::optional<bool>, std::optional<bool>>;
  constexpr std::nullopt_t NONE = std::nullopt;
  const std::pair<const char*, TFeatures> cases[] = {
      {"feature setboard=0 xedit=1 ping=1 done=0", {false, NONE, false, true}},
      {"feature myname=\"HoiChess\" setboard=1 colors=0 option=\"x -spin 0\" done=1", {true, false, true, NONE}},
      {"feature option=\"setboard=0 colors=0 ping=1 done=1\" done=1", {NONE, NONE, true, NONE}},
      {"feature colors=1 ping=0 myname=\"no closing quote done=1", {NONE, true, NONE, false}},
      {"feature done=2 colors= =1 setboard ping", {NONE, NONE, NONE, NONE}},
      {"tellics say feature done=1 ping=1", {NONE, NONE, NONE, NONE}},
  };
  for (const auto& [line, expected] : cases) {
    const TEngineFeatures found = ParseEngineLine(line).Features;
    EXPECT_EQ(TFeatures(found.SetBoard, found.Colors, found.Done, found.Ping), expected) << line;
  }
}

TEST(EngineLine, PongSaysTheNumberOfThePingItAnswers) {
  const std::pair<const char*, std::optional<long long>> cases[] = {
      {"pong 1", 1},          {"pong 12 ", 12},    {"pong  7", 7},         {"pong", std::nullopt},
      {"pong x", std::nullopt}, {"pong 3x", std::nullopt}, {"pong -2", std::nullopt}, {"pong 0", std::nullopt},
      {"pong 99999999999999999999", std::nullopt}, {" pong 1", std::nullopt}, {"tellics pong 1", std::nullopt},
  };
  for (const auto& [line, number] : cases) {
    const TEngineLine found = ParseEngineLine(line);
    EXPECT_EQ(found.Pong, number) << line;
    EXPECT_FALSE(found.HasMove) << line;
  }
}

// What an engine says of its game before the pong it owes, or before the move it owes,
// is of a game left: its moves, mates and results; its other lines are not.
TEST(EngineGames, MovesMatesAndResultsBeforeThePongOrTheMoveOwedAreOfAGameLeft) {
  struct TStep {
    const char* Line;
    bool OfGameLeft;
  };
  TEngineGames games;
  auto run = [&games](const std::vector<TStep>& steps, const char* name) {
    for (const TStep& step : steps) EXPECT_EQ(games.OfGameLeft(ParseEngineLine(step.Line)), step.OfGameLeft) << name << ": " << step.Line;
  };
  run({{"move e7e5", false}, {"pong 1", false}}, "nothing left");
  games.PingSent(2);
  EXPECT_TRUE(games.AwaitsPong());
  run({{"move e7e5", true},
       {"0-1 {Black mates}", true},
       {"Illegal move: e2e5", false},
       {"feature done=1", false},
       // An answer to an earlier ping leaves the later one awaited.
       {"pong 1", false},
       {"1. ... d7d5", true},
       {"resign", true},
       {"pong 2", false},
       {"move c7c5", false},
       {"pong 2", false},
       {"1-0 {White mates}", false}},
      "ping");
  EXPECT_FALSE(games.AwaitsPong());
  games.MoveOwed();
  run({{"1-0 {White resigns}", true}, {"move e7e5", true}, {"move d7d5", false}}, "owed move");
  EXPECT_FALSE(games.OwesMove());
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

TBoardMove Move(std::string_view text) {
  TBoardMove move;
  EXPECT_TRUE(ParseMoveText(text, move)) << text;
  return move;
}

// Each test plays a game of its own, after 1. e4.
class EngineChunk : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Game.LoadFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/ b KQkq e3 0 1"));
  }

  static TEngineChunk ChunkOf(const std::string& text) {
    TLineSplitter splitter;
    return MakeEngineChunk(splitter, text, true);
  }

  TGame Game;
  TRecordingDialogs Recorded;
  TRecordingBoard Board;
};

TEST_F(EngineChunk, EngineMoveIsAppliedAnimatedAndLogged) {
  HandleEngineChunk(ChunkOf("move e7e5\n"), Game, TSide::Dark, &Board);
  EXPECT_EQ(Game.ClipboardFen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2");
  EXPECT_EQ(Board.Animations, std::vector<TAnimation>{PlainSlide("e7e5")});
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
      "move d8h4",   // the queen through its own pawn on e7
      "move f8b4",   // the bishop through it
      "move b8d7",   // a knight to a square it cannot reach, its own pawn there
      "move g8g6",   // a knight along a file
      "move a7a4",   // a pawn three squares
      "move e7d6",   // a pawn aside onto an empty square: no en passant from e3
      "move e8e7",   // the king onto its own pawn
  };
  for (const char* line : bad) {
    TBitBoards before = Game.Board();
    TGameRights rightsBefore = Game.Rights();
    Recorded.Messages.clear();
    Board.Status.clear();
    Game.SetEngineThinking(true);
    HandleEngineChunk(ChunkOf(line), Game, TSide::Dark, &Board);
    EXPECT_EQ(Game.Board(), before) << line;
    EXPECT_EQ(Game.Rights(), rightsBefore) << line;
    const std::string report = std::string("Illegal move from host engine: ") + line;
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{report}) << line;
    EXPECT_EQ(Board.Status, std::vector<std::string>{report}) << line;
    EXPECT_FALSE(Game.EngineThinking()) << line;
  }
  EXPECT_TRUE(Board.Animations.empty());
}

// The rules judge the engine's moves as the user's: none may leave or put its own king
// in check, and a castle needs its right.
TEST_F(EngineChunk, EngineMovesIntoCheckOrWithoutTheRightAreRefused) {
  struct TCase {
    const char* Fen;
    const char* Line;
  };
  const TCase cases[] = {
      {"4k3/8/8/8/8/8/4R3/4K3 b - - 0 1", "move e8e7"},     // into the rook's file
      {"4k3/4n3/8/8/8/8/4R3/4K3 b - - 0 1", "move e7c6"},   // a pinned knight
      {"4k3/8/8/8/8/8/4R3/4K3 b - - 0 1", "move e8f8"},     // legal: the control
      {"r3k3/8/8/8/8/8/8/4K3 b - - 0 1", "move O-O-O"},     // the right is gone
      {"r3k3/8/8/8/8/8/8/2R1K3 b q - 0 1", "move e8c8"},    // onto an attacked square
      {"4k3/8/8/8/3Pp3/8/8/4K3 b - - 0 1", "move e4d3"},    // en passant without the square
  };
  for (const TCase& c : cases) {
    ASSERT_TRUE(Game.LoadFen(c.Fen));
    Recorded.Messages.clear();
    Board.Animations.clear();
    const TBitBoards before = Game.Board();
    HandleEngineChunk(ChunkOf(c.Line), Game, TSide::Dark, &Board);
    const bool legal = std::string(c.Line) == "move e8f8";
    EXPECT_EQ(Game.Board() != before, legal) << c.Fen << " " << c.Line;
    EXPECT_EQ(Board.Animations.size(), legal ? 1u : 0u) << c.Fen << " " << c.Line;
    EXPECT_EQ(Recorded.Messages.size(), legal ? 0u : 1u) << c.Fen << " " << c.Line;
  }
}

TEST_F(EngineChunk, UserLeftWithoutMovesIsToldMateOrStalemateAfterTheEngineMove) {
  struct TCase {
    const char *Fen, *EngineMove, *Told;
  };
  const TCase cases[] = {
      {"rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR/ b KQkq - 0 1", "move d8h4\n", USER_MATED_TEXT},
      {"1q5k/8/8/8/8/8/8/K7/ b - - 0 1", "move b8b3\n", STALEMATE_TEXT},
  };
  for (const TCase& c : cases) {
    Recorded.Messages.clear();
    ASSERT_TRUE(Game.LoadFen(c.Fen));
    HandleEngineChunk(ChunkOf(c.EngineMove), Game, TSide::Dark, &Board);
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{c.Told}) << c.Fen;
  }
  EXPECT_EQ(Board.Animations.size(), 2u);
}

TEST_F(EngineChunk, PromotionLetterChoosesThePiece) {
  ASSERT_TRUE(Game.LoadFen("4k3/8/8/8/8/8/p7/4K3/ b - - 0 1"));
  HandleEngineChunk(ChunkOf("move a2a1n\n"), Game, TSide::Dark, &Board);
  EXPECT_EQ(FenPlacementText(Game.Board()), "4k3/8/8/8/8/8/8/n3K3");
}

// The board is told the king's move and where its rook goes.
TEST_F(EngineChunk, CastleWordsMoveTheEngineSidesKingAndRookAndEndItsRights) {
  struct Case {
    const char* Line;
    TSide EngineSide;
    const char* After;
    unsigned RightsLeft;
    TAnimation Slide;
  } cases[] = {
      {"move O-O", TSide::Dark, "r4rk1/8/8/8/8/8/8/R3K2R", LIGHT_KING_SIDE_CASTLE | LIGHT_QUEEN_SIDE_CASTLE,
       {{{8, 4}, {8, 2}}, {{8, 1}, {8, 3}, {}, EMPTY_SQUARE}}},  // e8g8, the rook h8f8
      {"move O-O-O", TSide::Light, "r3k2r/8/8/8/8/8/8/2KR3R", DARK_KING_SIDE_CASTLE | DARK_QUEEN_SIDE_CASTLE,
       {{{1, 4}, {1, 6}}, {{1, 8}, {1, 5}, {}, EMPTY_SQUARE}}},  // e1c1, the rook a1d1
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Game.LoadFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
    Board.Animations.clear();
    HandleEngineChunk(ChunkOf(c.Line), Game, c.EngineSide, &Board);
    EXPECT_EQ(FenPlacementText(Game.Board()), c.After) << c.Line;
    EXPECT_EQ(Game.Rights().Castling, c.RightsLeft) << c.Line;
    EXPECT_EQ(Board.Animations, std::vector<TAnimation>{c.Slide}) << c.Line;
  }
  EXPECT_TRUE(Recorded.Messages.empty());
}

// The pawn taken en passant stands beside the target square: the board is told which.
TEST_F(EngineChunk, EnPassantAndPromotionReachTheBoardWithWhatTheyDid) {
  ASSERT_TRUE(Game.LoadFen("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1"));
  ASSERT_EQ(Game.Apply(Move("e2e4"), TSide::Light), TMoveResult::Applied);
  HandleEngineChunk(ChunkOf("move d4e3\n"), Game, TSide::Dark, &Board);
  EXPECT_EQ(FenPlacementText(Game.Board()), "4k3/8/8/8/8/4p3/8/4K3");
  ASSERT_TRUE(Game.LoadFen("4k3/8/8/8/8/8/1p6/4K3 b - - 0 1"));
  HandleEngineChunk(ChunkOf("move b2b1r\n"), Game, TSide::Dark, &Board);
  const std::vector<TAnimation> expected = {{Move("d4e3"), {{}, {}, {4, 4}, EMPTY_SQUARE}},  // the pawn on e4
                                            {Move("b2b1r"), {{}, {}, {}, DARK_ROOK}}};
  EXPECT_EQ(Board.Animations, expected);
  EXPECT_TRUE(Recorded.Messages.empty());
}

TEST_F(EngineChunk, ResultsAndResignationsGoToTheStatusLine) {
  HandleEngineChunk(ChunkOf("1/2-1/2 {Stalemate}\n0-1 {Black resigns}\nresign\n1-0 {White Mates}\n"), Game, TSide::Dark,
                    &Board);
  EXPECT_EQ(Board.Status,
            (std::vector<std::string>{"1/2-1/2 {Stalemate}", "0-1 {Black resigns}", "resign", "1-0 {White Mates}"}));
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{ENGINE_MATES_TEXT});
}

TEST_F(EngineChunk, OneChunkCanMoveReportMateAndIllegal) {
  HandleEngineChunk(ChunkOf("Illegal move: e2e5\nmove e7e5\n0-1 {Black mates}\n"), Game, TSide::Dark, &Board);
  EXPECT_EQ(Board.Animations.size(), 1u);
  EXPECT_EQ(Board.Notices, std::vector<std::string>{"Illegal move: e2e5"});
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{ENGINE_MATES_TEXT});
}

}  // namespace
