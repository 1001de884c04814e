#include "app/game/Game.h"

#include <gtest/gtest.h>

#include "tests/base/RecordingDialogs.h"

namespace {

TBoardMove Move(const char* text) {
  TBoardMove move;
  EXPECT_TRUE(ParseMoveText(text, move)) << text;
  return move;
}

TEST(Game, StartsEmptyAndUnlocked) {
  const TGame game;
  EXPECT_EQ(game.Board(), TBitBoards{});
  EXPECT_EQ(game.Rights(), TGameRights{});
  EXPECT_FALSE(game.EngineThinking());
}

TEST(Game, BadFenChangesNothing) {
  TGame game;
  ASSERT_TRUE(game.LoadFen("4k3/8/8/3pP3/8/8/8/4K3/ w - d6 0 1"));
  const TBitBoards board = game.Board();
  const TGameRights rights = game.Rights();
  TRecordingDialogs dialogs;
  EXPECT_FALSE(game.LoadFen("rnbqxbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"));
  EXPECT_EQ(game.Board(), board);
  EXPECT_EQ(game.Rights(), rights);
  EXPECT_EQ(dialogs.Lines, std::vector<std::string>{"Bad FEN position format."});
}

// The user's moves and the engine's go through the game and hand the move on; a
// position set as a whole takes a game back.
TEST(Game, MovesFollowTheRulesAndAPositionSetAsAWholeTakesThemBack) {
  TGame game;
  ASSERT_TRUE(game.LoadFen(START_POSITION_FEN));
  const TBitBoards start = game.Board();
  const TGameRights startRights = game.Rights();
  EXPECT_FALSE(game.PlayUserMove(Move("e2e5"), TSide::Light).Legal);
  EXPECT_EQ(game.ClipboardFen(), START_POSITION_FEN);
  const TUserMove played = game.PlayUserMove(Move("e2e4"), TSide::Light);
  EXPECT_TRUE(played.Legal);
  EXPECT_EQ(played.Text, "e2e4");
  EXPECT_EQ(game.SideToMove(), TSide::Dark);
  EXPECT_EQ(game.Apply(Move("e7e5"), TSide::Dark), TMoveResult::Applied);
  EXPECT_EQ(game.FileFen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2\r\n");
  EXPECT_FALSE(game.IsMate(TSide::Light));
  game.SetPosition(start, startRights);
  EXPECT_EQ(game.ClipboardFen(), START_POSITION_FEN);
}

TEST(Game, FoolsMateLeavesLightWithoutAMove) {
  TGame game;
  ASSERT_TRUE(game.LoadFen("rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 1"));
  EXPECT_FALSE(game.IsMate(TSide::Light));
  ASSERT_EQ(game.Apply(Move("d8h4"), TSide::Dark), TMoveResult::Applied);
  EXPECT_TRUE(game.IsMate(TSide::Light));
}

}  // namespace
