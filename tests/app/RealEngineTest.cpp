// Games against the engines that Debian ships, where they are installed: the start,
// the handshake, ten engine moves that the move rules accept, and a clean quit.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>

#include "EngineTestSupport.h"
#include "app/uloadengine.h"
#include "app/utility.h"
#include "tests/base/RecordingDialogs.h"

namespace {

using namespace std::chrono_literals;

struct TRealEngine {
  const char* Path;
  const char* Speed;  // a command that makes it answer within a second or two
  bool PlaysLight;
};

void PrintTo(const TRealEngine& engine, std::ostream* out) {
  *out << engine.Path << (engine.PlaysLight ? " as light" : " as dark");
}

// Checks each engine move against the move rules on the position before it.
class TCheckingBoard : public TRecordingBoard {
public:
  void StartEngineMoveAnimation(int fromCol, int fromRow, int toCol, int toRow) override {
    TRecordingBoard::StartEngineMoveAnimation(fromCol, fromRow, toCol, toRow);
    int from = SquareIndex(fromCol, fromRow);
    int to = SquareIndex(toCol, toRow);
    int mover = PieceCodeOnSquare(Before, from);
    // The rules library does not generate en passant captures.
    bool enPassant = (mover == LIGHT_PAWN || mover == DARK_PAWN) && fromCol != toCol &&
                     PieceCodeOnSquare(Before, to) == EMPTY_SQUARE;
    if (!enPassant) {
      EXPECT_TRUE(ControllaMossa(Before, EngineSide, from, to)) << MoveToText(fromRow, fromCol, toCol, toRow);
    }
  }

  TBitBoards Before{};
  int EngineSide = DARK_SIDE;
};

// A legal move of `side` chosen with `random`, leaving out castling and promotion,
// which the position does not carry enough to agree on with the engine.
bool PickUserMove(int side, std::mt19937& random, TBoardMove& chosen) {
  std::vector<TBoardMove> moves;
  for (int from = 0; from < 64; ++from) {
    int piece = PieceOfSide(BitBoards, side, from);
    if (piece == EMPTY_SQUARE) continue;
    for (int to = 0; to < 64; ++to) {
      TBoardMove move{from / 8 + 1, from % 8 + 1, to / 8 + 1, to % 8 + 1, 0};
      bool king = piece == LIGHT_KING || piece == DARK_KING;
      bool pawn = piece == LIGHT_PAWN || piece == DARK_PAWN;
      if (king && std::abs(move.ToCol - move.FromCol) == 2) continue;
      if (pawn && (move.ToRow == 1 || move.ToRow == 8)) continue;
      if (ControllaMossa(BitBoards, side, from, to)) moves.push_back(move);
    }
  }
  if (moves.empty()) return false;
  chosen = moves[std::uniform_int_distribution<std::size_t>(0, moves.size() - 1)(random)];
  return true;
}

class RealEngine : public ::testing::TestWithParam<TRealEngine> {
protected:
  void SetUp() override { Saved = BitBoards; }
  void TearDown() override { BitBoards = Saved; }

  TBitBoards Saved{};
  TRecordingDialogs Recorded;
  TCheckingBoard Board;
  TTaskQueue Queue;
};

TEST_P(RealEngine, PlaysTenMovesByTheRulesAndQuitsCleanly) {
  const TRealEngine& param = GetParam();
  if (!std::filesystem::exists(param.Path)) GTEST_SKIP() << param.Path << " is not installed";
  ASSERT_TRUE(ParseFenPlacement(START_POSITION_FEN, BitBoards));
  int engineSide = param.PlaysLight ? LIGHT_SIDE : DARK_SIDE;
  int userSide = 1 - engineSide;
  Board.EngineSide = engineSide;
  Queue.BeforeTask = [this] { Board.Before = BitBoards; };

  auto engine = tloadengine::Create(param.Path, "", &Board, param.PlaysLight, Queue.Dispatcher());
  ASSERT_TRUE(engine);
  pid_t pid = engine->ProcessId();
  // Some engines drop what arrives while they start up, so the speed is set once the
  // engine answers.
  bool answers = false;
  for (int ping = 1; ping <= 40 && !answers; ++ping) {
    engine->SendCommand("ping " + std::to_string(ping));
    answers = Queue.RunUntil([this] { return Board.Received.find("pong") != std::string::npos; }, 500ms);
  }
  ASSERT_TRUE(answers) << Board.Received;
  EXPECT_GT(engine->SendCommand(param.Speed), 0u);

  std::mt19937 random(20240611);
  auto userMoves = [&] {
    TBoardMove move;
    if (!PickUserMove(userSide, random, move)) return false;
    EXPECT_EQ(ApplyMoveToBitboards(BitBoards, move, userSide), TMoveResult::Applied);
    EXPECT_GT(engine->SendCommand(MoveToText(move.FromRow, move.FromCol, move.ToCol, move.ToRow)), 0u);
    return true;
  };
  if (!param.PlaysLight) {
    ASSERT_TRUE(userMoves());
  }
  for (int played = 1; played <= 10; ++played) {
    auto answered = [&] { return Board.Animations.size() == std::size_t(played) || !Recorded.Messages.empty(); };
    ASSERT_TRUE(Queue.RunUntil(answered, 60s)) << "no engine move " << played;
    if (IsMate(BitBoards, userSide)) {
      EXPECT_EQ(Recorded.Messages.at(0), USER_MATED_TEXT);
      break;
    }
    ASSERT_TRUE(Recorded.Messages.empty()) << Recorded.Messages[0] << "\n" << Board.Received;
    ASSERT_TRUE(userMoves());
  }

  EXPECT_TRUE(engine->Quit());
  engine.reset();
  EXPECT_FALSE(::kill(pid, 0) == 0) << "the engine is still there";
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a child process is left";
}

INSTANTIATE_TEST_SUITE_P(Debian, RealEngine,
                         ::testing::Values(TRealEngine{"/usr/games/fairymax", "sd 3", false},
                                           TRealEngine{"/usr/games/fairymax", "sd 3", true},
                                           TRealEngine{"/usr/games/gnuchess", "st 1", false}));

}  // namespace
