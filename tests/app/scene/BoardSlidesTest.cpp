// The slides of the engine's moves and of captures on the board's scene without a
// window: a recording host stands for the window's timers, and the test sets the
// clock, so that every tick is a call and where each piece stands is the clock's doing.

#include "app/scene/BoardSlides.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/game/utility.h"
#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"
#include "tests/base/RecordingDialogs.h"

namespace {

TSquare Sq(const char* name) { return {name[1] - '0', 8 - (name[0] - 'a')}; }

class BoardSlides : public ::testing::Test, public TSlideHost {
protected:
  static void SetUpTestSuite() {
    InitializePersistentClasses();
    InitializeVectorLists();
    InitializeGLObjects();
    InitializeGLGraph();
    InitializeVectorFileObjects();
  }

  // The scene showing `fen` with the models the program loads.
  void Show(const char* fen) {
    ASSERT_TRUE(Game.LoadFen(fen));
    ASSERT_TRUE(Scene.LoadClassicPieces());
    Scene.ShowPosition(Game.Board());
    Slides.SetClock([this] { return Now; });
  }
  // The engine's move of `text`, played in the game as the engine front end plays it,
  // and then shown.
  void EngineMoves(const char* text) {
    TBoardMove move;
    ASSERT_TRUE(ParseMoveText(text, move)) << text;
    TMoveEffects effects;
    Game.Apply(move, Game.SideToMove(), &effects);
    Slides.StartEngineMove(move, effects);
  }
  void ExpectOn(const TBoardPiece& piece, const char* square) {
    const TSquare at = Sq(square);
    EXPECT_EQ(piece.Square(), at) << square;
    EXPECT_EQ(piece.Obj->Position().X(), Scene.SquareX(at.Col)) << square;
    EXPECT_EQ(piece.Obj->Position().Z(), Scene.SquareZ(at.Row)) << square;
  }

  void RunTicker(TTicker ticker, bool run) override {
    static const char* const NAMES[] = {"engine", "rook", "victim"};
    Calls.push_back(std::string(run ? "run " : "rest ") + NAMES[int(ticker)]);
  }
  void EngineMoveShown() override { Calls.push_back("shown"); }
  void RefreshPieces() override {
    Calls.push_back("refresh");
    Slides.Stop();
    Scene.ShowPosition(Game.Board());
  }

  TRecordingDialogs Recorded;
  TProgramFolders Folders = TProgramFolders::Of(BRV_PROGRAM_FOLDER);
  TGame Game;
  TBoardScene Scene{Folders};
  TBoardSlides Slides{Scene, Game, *this};
  double Now = 0;
  std::vector<std::string> Calls;
};

// The king slides for half the move's time, then the rook from the moment the king
// was due, whenever the tick came; the move is shown once, at the rook's arrival.
TEST_F(BoardSlides, CastlingSlidesTheKingThenTheRookAndShowsTheMoveOnce) {
  Show("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
  TBoardPiece& king = *Scene.PieceAtSquare(Sq("e8"));
  TBoardPiece& rook = *Scene.PieceAtSquare(Sq("h8"));
  EngineMoves("e8g8");
  EXPECT_EQ(Slides.MovingPiece(), &king);
  EXPECT_EQ(Calls, (std::vector<std::string>{"run engine"}));

  const double half = TBoardSlides::ENGINE_SLIDE_SECONDS / 2;
  Now = half + 0.05;  // a late tick
  Slides.StepEngineSlide();
  ExpectOn(king, "g8");
  EXPECT_EQ(Slides.MovingPiece(), &rook);
  EXPECT_EQ(Calls, (std::vector<std::string>{"run engine", "rest engine", "run rook"}));

  Slides.StepCastleRookSlide();
  EXPECT_NE(rook.Obj->Position().X(), Scene.SquareX(Sq("h8").Col));
  Now = 2 * half;
  Slides.StepCastleRookSlide();
  ExpectOn(rook, "f8");
  EXPECT_EQ(Slides.MovingPiece(), nullptr);
  EXPECT_EQ(Calls, (std::vector<std::string>{"run engine", "rest engine", "run rook", "rest rook", "shown"}));
  // Ticks after the end only rest their timer.
  Slides.StepEngineSlide();
  EXPECT_EQ(Calls.back(), "rest engine");
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{});
}

// Stopped half way, whatever was on its way lands where it was going and what was
// taken is parked beside the board; an engine move stopped so is shown, once.
TEST_F(BoardSlides, StopLandsWhatSlidesAndParksWhatWasTaken) {
  Show("4k3/8/8/3p4/4P3/8/8/4K3 b - - 0 1");
  TBoardPiece& taken = *Scene.PieceAtSquare(Sq("e4"));
  EngineMoves("d5e4");
  ASSERT_EQ(Slides.EngineVictim(), &taken);
  TBoardPiece& taker = *Slides.MovingPiece();
  Now = TBoardSlides::ENGINE_SLIDE_SECONDS / 4;
  Slides.StepEngineSlide();
  Calls.clear();

  Slides.Stop();
  ExpectOn(taker, "e4");
  EXPECT_EQ(taken.Row, CAPTURED_ROW);
  // A light piece's first parking place.
  EXPECT_EQ(taken.Obj->Position().X(), 230);
  EXPECT_EQ(taken.Obj->Position().Z(), 200);
  EXPECT_EQ(Slides.MovingPiece(), nullptr);
  EXPECT_EQ(Slides.EngineVictim(), nullptr);
  EXPECT_EQ(Calls, (std::vector<std::string>{"rest engine", "rest rook", "rest victim", "shown"}));
  Calls.clear();
  Slides.Stop();
  EXPECT_EQ(Calls, (std::vector<std::string>{"rest engine", "rest rook", "rest victim"}));
}

// A piece the user took slides off; one taken next while it still slides is parked
// at once, and the new one slides on its own.
TEST_F(BoardSlides, AUserCaptureWhileTheLastVictimSlidesParksItAtOnce) {
  Show("4k3/8/8/2p1p3/3P4/8/8/4K3 w - - 0 1");
  TBoardPiece& pawn = *Scene.PieceAtSquare(Sq("d4"));
  TBoardPiece& first = *Scene.PieceAtSquare(Sq("c5"));
  TBoardPiece& second = *Scene.PieceAtSquare(Sq("e5"));
  TBoardMove move;
  ASSERT_TRUE(ParseMoveText("d4c5", move));
  Slides.StartUserCapture(move, TMoveEffects{}, pawn);
  EXPECT_EQ(Slides.UserVictim(), &first);
  EXPECT_EQ(first.Row, CAPTURED_ROW);
  ASSERT_TRUE(ParseMoveText("d4e5", move));
  Slides.StartUserCapture(move, TMoveEffects{}, pawn);
  EXPECT_EQ(Slides.UserVictim(), &second);
  // A dark piece's first parking place.
  EXPECT_EQ(first.Obj->Position().X(), 210);
  EXPECT_EQ(first.Obj->Position().Z(), 200);
  Now = 10;
  Slides.StepUserVictimSlide();
  EXPECT_EQ(Slides.UserVictim(), nullptr);
  EXPECT_EQ(second.Obj->Position().Z(), 185);
  EXPECT_EQ(Calls, (std::vector<std::string>{"run victim", "run victim", "rest victim"}));
}

// The engine names a square where the board shows no piece: the user is told, and
// the board is drawn anew from the game with the move shown.
TEST_F(BoardSlides, AMoveFromAnEmptySquareIsReportedAndTheBoardIsDrawnAnew) {
  Show("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
  TBoardMove move;
  ASSERT_TRUE(ParseMoveText("d5d4", move));
  Slides.StartEngineMove(move, TMoveEffects{});
  ASSERT_EQ(Recorded.Messages.size(), 1u);
  EXPECT_EQ(Recorded.Messages[0],
            "The engine moved from d5, where the board shows no piece; the board is drawn again from the position.");
  EXPECT_EQ(Calls, (std::vector<std::string>{"refresh", "rest engine", "rest rook", "rest victim", "shown"}));
  EXPECT_EQ(Slides.MovingPiece(), nullptr);
}

}  // namespace
