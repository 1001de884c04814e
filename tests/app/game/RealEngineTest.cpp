// Games against the engines that Debian ships, where they are installed, through the
// whole front end: the start with its opening commands, the user's moves as the board
// window plays them, the engine's moves as the reader applies them, and the quit.
// After every move the position must equal a plain replay of the moves, every engine
// move must be legal by our rules, and no process may be left at the end.
// Each game is a test of its own, so that CTest runs them side by side.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <random>
#include <sys/wait.h>

#include "tests/app/EngineTestSupport.h"
#include "ReferenceBoard.h"
#include "app/game/Game.h"
#include "app/game/uloadengine.h"
#include "app/game/utility.h"
#include "tests/base/RecordingDialogs.h"

namespace {

using namespace std::chrono_literals;

struct TRealEngine {
  const char* Name;        // the program in /usr/games
  const char* Parameters;  // as the launchers the build makes give them
  const char* Limit;       // a search limit it knows, so that it answers within a second or so
  bool Ponders = true;     // it may think on the user's time, as "hard" asks
};

const TRealEngine ENGINES[] = {
    {"fairymax", "", "sd 3"},
    {"gnuchess", "--xboard", "st 1"},
    // Pondering, it loses a move that comes while it looks for a move to ponder on, and
    // ponders for good: the test answers at once, a person never does.
    {"phalanx", "-x+", "st 1", false},
    {"sjeng", "", "sd 3"},
    // It ends on "white", which its features ("colors=0") say it does not take.
    {"hoichess", "--xboard", "sd 3"},
};

// A message that tells of the game's end: the user mated or stalemated, or the engine's
// result.
bool IsGameEndText(const std::string& message) {
  return message == USER_MATED_TEXT || message == ENGINE_MATES_TEXT || message == STALEMATE_TEXT;
}

std::string PathOf(const TRealEngine& engine) { return std::string("/usr/games/") + engine.Name; }

// Checks each engine move against our rules on the position before it.
class TCheckingBoard : public TRecordingBoard {
public:
  void StartEngineMoveAnimation(const TBoardMove& move, const TMoveEffects& effects) override {
    TRecordingBoard::StartEngineMoveAnimation(move, effects);
    EXPECT_TRUE(IsLegalUserMove(Before, RightsBefore, move, EngineSide))
        << MoveToText(move) << " on " << FenPlacementText(Before);
  }

  TBitBoards Before{};
  TGameRights RightsBefore;
  TSide EngineSide = TSide::Dark;
};

// The words of the lines in `text` that say a move: "move e7e5", "1. ... e7e5".
std::vector<std::string> MoveWordsIn(const std::string& text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    std::size_t at = line.rfind("move ", 0) == 0 ? 5 : std::string::npos;
    std::size_t dots = line.find(". ... ");
    if (at == std::string::npos && dots != std::string::npos && dots > 0 &&
        line.find_first_not_of("0123456789") == dots)
      at = dots + 6;
    if (at == std::string::npos) continue;
    std::size_t wordEnd = line.find_first_of(" \r", at);
    words.push_back(line.substr(at, wordEnd == std::string::npos ? std::string::npos : wordEnd - at));
  }
  return words;
}

// A board-coordinate move in file-rank form, for the messages.
std::string Named(const TBoardMove& move) { return MoveToText(move); }

// One game: the engine process, the queue in place of the event loop, the board, and
// the reference replay.
class RealEngineGame : public ::testing::Test {
protected:
  void SetUp() override {
    Queue.BeforeTask = [this] {
      Board.Before = Game.Board();
      Board.RightsBefore = Game.Rights();
    };
  }
  void TearDown() override { Engine.reset(); }

  // Loads the engine playing `engineSide`, with our position and the reference at `fen`.
  void Start(const TRealEngine& engine, TSide engineSide, const char* fen) {
    Name = std::string(engine.Name) + (engineSide == TSide::Light ? " as light" : " as dark");
    ASSERT_TRUE(Game.LoadFen(fen));
    Reference = TReferenceBoard(fen);
    EngineSide = engineSide;
    Board.EngineSide = engineSide;
    Engine = tloadengine::Create(PathOf(engine), engine.Parameters, Game, &Board, engineSide == TSide::Light,
                                 Queue.Dispatcher());
    ASSERT_TRUE(Engine);
    Pid = Engine->ProcessId();
    // As the board window does; the features come before the answer to "ping", which
    // goes again until it comes.
    auto deadline = std::chrono::steady_clock::now() + 60s;
    bool answered = false;
    for (int ping = 1; !answered && std::chrono::steady_clock::now() < deadline; ++ping) {
      Send("protover 2");
      Send("ping " + std::to_string(ping));
      answered = Queue.RunUntil([this] { return Board.Received.find("pong ") != std::string::npos; }, 2s);
    }
    ASSERT_TRUE(answered) << Name << "\n" << Board.Received;
    SendLimits(engine);
  }

  // The engine's search limit, and no pondering where it cannot.
  void SendLimits(const TRealEngine& engine) {
    Send(engine.Limit);
    if (!engine.Ponders) Send("easy");
  }

  void Send(const std::string& command) { EXPECT_GT(Engine->SendCommand(command), 0u) << Name << ": " << command; }

  // Sets our position and the reference to `fen` and gives it to the engine as the
  // board window does (EnginePositionCommands); the engine waits in force mode. Its
  // search limit goes again, as "new" lifts it.
  void SetUpEngine(const TRealEngine& engine, const char* fen) {
    ASSERT_TRUE(Game.LoadFen(fen));
    Reference = TReferenceBoard(fen);
    ASSERT_EQ(Game.SideToMove() == TSide::Light, Reference.LightToMove()) << fen;
    for (const std::string& line : Game.EngineCommands(Engine->EditsPositions())) Send(line);
    SendLimits(engine);
  }

  void ExpectSamePosition(const std::string& after) {
    EXPECT_EQ(FenPlacementText(Game.Board()), Reference.Placement()) << Name << " after " << after;
    EXPECT_EQ(Game.SideToMove() == TSide::Light, Reference.LightToMove()) << Name << " after " << after;
  }

  // The user's move, as the board window plays it; false when it is refused.
  bool PlayUser(const TBoardMove& move) {
    TUserMove played = Game.PlayUserMove(move, OtherSide(EngineSide));
    if (!played.Legal) return false;
    Send(played.Text);
    EXPECT_TRUE(Reference.Play(played.Text)) << Name << ": " << played.Text;
    ExpectSamePosition(played.Text);
    ++Plies;
    return true;
  }

  // A legal move of the user chosen by `Random`; false when there is none.
  bool PlayRandomUserMove() {
    std::vector<TBoardMove> moves;
    for (int from = 0; from < 64; ++from) {
      if (PieceOfSide(Game.Board(), OtherSide(EngineSide), from) == EMPTY_SQUARE) continue;
      for (int to = 0; to < 64; ++to) {
        TBoardMove move{from / 8 + 1, from % 8 + 1, to / 8 + 1, to % 8 + 1, 0};
        if (IsLegalUserMove(Game.Board(), Game.Rights(), move, OtherSide(EngineSide))) moves.push_back(move);
      }
    }
    if (moves.empty()) return false;
    TBoardMove move = moves[std::uniform_int_distribution<std::size_t>(0, moves.size() - 1)(Random)];
    EXPECT_TRUE(PlayUser(move)) << Name << ": " << Named(move);
    return true;
  }

  // Waits for the engine's move and checks it; false when the game ended instead: the
  // engine gave a result, or the user has no move left after it.
  bool AwaitEngineMove() {
    // A move may have come while the test waited for something else.
    std::size_t moves = SeenAnimations;
    auto answered = [&] {
      return Board.Animations.size() > moves || !Board.Status.empty() || !Engine->IsConnected() ||
             std::any_of(Recorded.Messages.begin(), Recorded.Messages.end(),
                         [](const std::string& m) { return !IsGameEndText(m); });
    };
    EXPECT_TRUE(Queue.RunUntil(answered, 90s)) << Name << ": no answer after " << Plies << " plies\n"
                                               << Board.Received;
    for (const std::string& message : Recorded.Messages)
      EXPECT_TRUE(IsGameEndText(message)) << Name << ": " << message;
    // Every move the engine said was played, or dropped as the game's it had left.
    std::vector<std::string> words = MoveWordsIn(Board.Received);
    EXPECT_EQ(words.size(), Board.Animations.size() + DroppedMoves()) << Name << "\n" << Board.Received;
    if (Board.Animations.size() == moves) return false;
    SeenAnimations = Board.Animations.size();
    std::string word = words.empty() ? std::string() : words.back();
    EXPECT_TRUE(Reference.Play(word)) << Name << ": engine move " << word;
    ExpectSamePosition(word);
    ++Plies;
    EngineMoves = words.size();
    LastEngineWord = word;
    return !Game.IsMate(OtherSide(EngineSide)) && Board.Status.empty();
  }

  // How many of the engine's moves were dropped as the game's it had left.
  std::size_t DroppedMoves() const {
    std::size_t dropped = 0;
    for (const std::string& note : Board.Notes) dropped += MoveWordsIn(note.substr(note.find(": ") + 2) + "\n").size();
    return dropped;
  }

  // Random user moves against the engine's until `plies` moves are played (true) or the
  // game ends (false).
  bool PlayOn(int plies) {
    bool userToMove = Reference.LightToMove() != (EngineSide == TSide::Light);
    while (Plies < plies && !HasFailure()) {
      if (userToMove) {
        if (!PlayRandomUserMove() || Game.IsMate(EngineSide)) return false;
      } else if (!AwaitEngineMove()) {
        return false;
      }
      userToMove = !userToMove;
    }
    return true;
  }

  // Quits the engine and checks that no process is left. Whether the engine left on
  // "quit" alone or had to be terminated is its own affair (some take more than the
  // program's wait to leave, on a busy machine always): in the end it is gone and
  // reaped, and the user was told nothing about its end (a result line the engine
  // wrote before may still come in).
  void Finish() {
    const bool connected = Engine->IsConnected();
    const std::size_t told = Recorded.Messages.size();
    Engine->Quit();
    if (connected) {
      EXPECT_EQ(Board.Sent.back(), "quit") << Name;
    }
    Queue.RunPending();
    for (std::size_t i = told; i < Recorded.Messages.size(); ++i)
      EXPECT_TRUE(IsGameEndText(Recorded.Messages[i])) << Name << ": " << Recorded.Messages[i];
    Engine.reset();
    EXPECT_FALSE(::kill(Pid, 0) == 0) << Name << ": the engine is still there";
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << Name << ": a child process is left";
    std::cout << "[ game ] " << Name << ": " << Plies << " plies, " << EngineMoves << " engine moves";
    for (const std::string& said : Board.Status) std::cout << ", " << said;
    for (const std::string& said : Recorded.Messages) std::cout << ", " << said;
    std::cout << "\n";
  }

  // The game the engine plays; each test has its own.
  TGame Game;
  TRecordingDialogs Recorded;
  TCheckingBoard Board;
  TTaskQueue Queue;
  std::unique_ptr<tloadengine> Engine;
  TReferenceBoard Reference{START_POSITION_FEN};
  std::mt19937 Random{20240611};
  std::string Name;
  TSide EngineSide = TSide::Dark;
  pid_t Pid = -1;
  int Plies = 0;
  std::size_t EngineMoves = 0;
  std::size_t SeenAnimations = 0;
  std::string LastEngineWord;
};

// --- Whole games from the start position -------------------------------------

struct TGameCase {
  TRealEngine Engine;
  TSide EngineSide;
};

void PrintTo(const TGameCase& game, std::ostream* out) {
  *out << game.Engine.Name << (game.EngineSide == TSide::Light ? " as light" : " as dark");
}

class RealEngineFromStart : public RealEngineGame, public ::testing::WithParamInterface<TGameCase> {};

TEST_P(RealEngineFromStart, SixtyPliesStayInStepWithTheEngine) {
  const TGameCase& game = GetParam();
  if (!std::filesystem::exists(PathOf(game.Engine))) GTEST_SKIP() << game.Engine.Name << " is not installed";
  Start(game.Engine, game.EngineSide, START_POSITION_FEN);
  PlayOn(60);
  EXPECT_GE(Plies, 8) << Name;
  Finish();
}

std::vector<TGameCase> GamesFromStart() {
  std::vector<TGameCase> games;
  for (const TRealEngine& engine : ENGINES)
    for (TSide side : {TSide::Dark, TSide::Light}) games.push_back({engine, side});
  return games;
}

INSTANTIATE_TEST_SUITE_P(Debian, RealEngineFromStart, ::testing::ValuesIn(GamesFromStart()),
                         [](const auto& info) {
                           return std::string(info.param.Engine.Name) +
                                  (info.param.EngineSide == TSide::Light ? "Light" : "Dark");
                         });

// --- Games left while the engine thinks ------------------------------------------

// How the user leaves the game while the engine thinks on its answer.
enum class TLeaving { NewMatch, NewMatchEngineLight, PastedPosition };

struct TLeavingCase {
  TRealEngine Engine;
  TLeaving Leaving;
};

void PrintTo(const TLeavingCase& game, std::ostream* out) {
  *out << game.Engine.Name << " " << static_cast<int>(game.Leaving);
}

class RealEngineLeaving : public RealEngineGame, public ::testing::WithParamInterface<TLeavingCase> {};

// The user moves and at once leaves the game, as New Match or a pasted position does,
// while the engine thinks on its answer; whatever the engine still says of the game
// left stays out of the new one, which then goes on in step with the engine.
TEST_P(RealEngineLeaving, TheNewGameStaysInStepWithTheEngine) {
  const TLeavingCase& game = GetParam();
  if (!std::filesystem::exists(PathOf(game.Engine))) GTEST_SKIP() << game.Engine.Name << " is not installed";
  const bool engineLight = game.Leaving == TLeaving::NewMatchEngineLight;
  Start(game.Engine, engineLight ? TSide::Light : TSide::Dark, START_POSITION_FEN);
  // Some say their features after the answer to the start's ping.
  ASSERT_TRUE(Queue.RunUntil([this] { return Engine->TakesPing(); })) << Name;
  if (engineLight) {
    ASSERT_TRUE(AwaitEngineMove()) << Name;
  }
  ASSERT_TRUE(PlayOn(Plies + 4)) << Name;
  ASSERT_TRUE(PlayRandomUserMove()) << Name;
  const char* fen = game.Leaving == TLeaving::PastedPosition
                        ? "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"
                        : START_POSITION_FEN;
  ASSERT_TRUE(Game.LoadFen(fen));
  Reference = TReferenceBoard(fen);
  const std::vector<std::string> leave = game.Leaving == TLeaving::PastedPosition
                                             ? Game.EngineCommands(Engine->EditsPositions())
                                             : std::vector<std::string>{"force", "new"};
  ASSERT_TRUE(Engine->LeaveGame(leave, true)) << Name;
  // "new" lifts the search limit.
  SendLimits(game.Engine);
  const int before = Plies;
  if (engineLight) {
    for (const std::string& line : Engine->PlayLightCommands()) Send(line);
  } else if (game.Leaving == TLeaving::PastedPosition) {
    // The engine waits in force mode for the user's first move.
    ASSERT_TRUE(PlayRandomUserMove()) << Name;
    Send("go");
  }
  PlayOn(before + 10);
  EXPECT_GE(Plies, before + 4) << Name;
  Finish();
  std::cout << "[ game ] " << Name << ": dropped";
  for (const std::string& note : Board.Notes) std::cout << " " << note;
  std::cout << "\n";
}

std::vector<TLeavingCase> LeavingGames() {
  std::vector<TLeavingCase> games;
  for (const TRealEngine& engine : ENGINES)
    for (TLeaving leaving : {TLeaving::NewMatch, TLeaving::NewMatchEngineLight, TLeaving::PastedPosition})
      games.push_back({engine, leaving});
  return games;
}

std::string LeavingGameName(const ::testing::TestParamInfo<TLeavingCase>& info) {
  const char* leaving[] = {"NewMatch", "NewMatchEngineLight", "PastedPosition"};
  return std::string(info.param.Engine.Name) + leaving[static_cast<int>(info.param.Leaving)];
}

INSTANTIATE_TEST_SUITE_P(Debian, RealEngineLeaving, ::testing::ValuesIn(LeavingGames()), LeavingGameName);

// --- Short games from positions given to the engine ----------------------------

struct TSetUpCase {
  const char* Name;
  const char* Fen;
  TSide EngineSide;
  std::vector<const char*> UserMoves;  // the user's first moves, each answered by the engine
  const char* EngineMove;              // the move the engine is left (nullptr: any)
};

// Each position leaves the engine one move, or one mate, of the kind named.
const TSetUpCase SET_UPS[] = {
    // O-O-O mates; the rook's move to d8 alone does not.
    {"EngineCastles", "r3k3/1p3p2/1p1K2n1/8/8/8/8/8 b q - 0 1", TSide::Dark, {}, "e8c8"},
    // After e2e4 taking en passant is Black's only move.
    {"EngineTakesEnPassant", "7k/5K2/6P1/8/3p4/3P4/4P3/8 w - - 0 1", TSide::Dark, {"e2e4"}, "d4e3"},
    // Promoting is Black's only move.
    {"EnginePromotes", "7k/5K2/6P1/8/8/8/p7/8 b - - 0 1", TSide::Dark, {}, "a2a1"},
    {"UserCastles", "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1", TSide::Dark, {"e1g1"}, nullptr},
    // Ba2+ leaves Black only d7d5, which e5xd6 takes en passant with mate.
    {"UserTakesEnPassant", "5bkr/3p2pp/8/4P3/8/8/8/1BK5 w - - 0 1", TSide::Dark, {"b1a2", "e5d6"}, "d7d5"},
    {"UserPromotes", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1", TSide::Dark, {"a7a8"}, nullptr},
    // An engine playing light, given a position mid-game: it moves at once when light
    // is to move, and from the user's first move on when dark is.
    {"LightEngineToMove", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", TSide::Light, {}, nullptr},
    {"LightEngineAfterTheUser", "k7/4p3/8/8/8/8/4P3/4K3 b - - 0 1", TSide::Light, {"e7e5"}, nullptr},
};

struct TSetUpGame {
  TRealEngine Engine;
  TSetUpCase SetUp;
};

void PrintTo(const TSetUpGame& game, std::ostream* out) { *out << game.Engine.Name << " " << game.SetUp.Name; }

class RealEngineSetUp : public RealEngineGame, public ::testing::WithParamInterface<TSetUpGame> {};

TEST_P(RealEngineSetUp, SpecialMovesStayInStepWithTheEngine) {
  const TSetUpGame& game = GetParam();
  if (!std::filesystem::exists(PathOf(game.Engine))) GTEST_SKIP() << game.Engine.Name << " is not installed";
  // As in the program: the engine starts a game from the start position (one playing
  // light makes its first move), then the position is given to it.
  Start(game.Engine, game.SetUp.EngineSide, START_POSITION_FEN);
  Name += std::string(" ") + game.SetUp.Name;
  if (EngineSide == TSide::Light) {
    ASSERT_TRUE(AwaitEngineMove()) << Name;
  }
  SetUpEngine(game.Engine, game.SetUp.Fen);
  bool over = false;
  bool awaitsGo = true;
  if (Reference.LightToMove() == (EngineSide == TSide::Light)) {
    Send("go");
    awaitsGo = false;
    over = !AwaitEngineMove();
  }
  for (std::size_t i = 0; i < game.SetUp.UserMoves.size() && !over && !HasFailure(); ++i) {
    TBoardMove move;
    ASSERT_TRUE(ParseMoveText(game.SetUp.UserMoves[i], move));
    ASSERT_TRUE(PlayUser(move)) << Name << ": " << game.SetUp.UserMoves[i];
    // The engine was set up in force mode; from its first move on it plays by itself.
    if (awaitsGo) Send("go");
    awaitsGo = false;
    over = Game.IsMate(EngineSide) || !AwaitEngineMove();
  }
  if (game.SetUp.EngineMove) {
    std::string expected = game.SetUp.EngineMove;
    EXPECT_TRUE(LastEngineWord.substr(0, 4) == expected || (LastEngineWord == "O-O-O" && expected == "e8c8"))
        << Name << ": the engine played " << LastEngineWord;
  }
  // The engine's last answer comes before it is quit: out of its book an engine may read
  // "quit" only once its move is made.
  if (!over && PlayOn(8) && Reference.LightToMove() == (EngineSide == TSide::Light)) AwaitEngineMove();
  Finish();
}

std::vector<TSetUpGame> SetUpGames() {
  std::vector<TSetUpGame> games;
  for (const TRealEngine& engine : ENGINES)
    for (const TSetUpCase& setUp : SET_UPS) games.push_back({engine, setUp});
  return games;
}

INSTANTIATE_TEST_SUITE_P(Debian, RealEngineSetUp, ::testing::ValuesIn(SetUpGames()), [](const auto& info) {
  return std::string(info.param.Engine.Name) + info.param.SetUp.Name;
});

}  // namespace
