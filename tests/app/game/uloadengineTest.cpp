#include "app/game/uloadengine.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "tests/app/EngineTestSupport.h"
#include "app/game/Game.h"
#include "app/game/utility.h"
#include "tests/base/RecordingDialogs.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

// For an engine that ignores "quit", "terminate" or its input: the program's short
// waits run out, as they do for such an engine in a game.
TEngineDelays ShortEndDelays() {
  TEngineDelays delays = FastEngineDelays();
  delays.QuitWait = 1000ms;
  delays.TerminateWait = 200ms;
  delays.WriteTimeout = 500ms;
  return delays;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// True while a process with this id exists (a zombie included).
bool ProcessExists(pid_t pid) { return ::kill(pid, 0) == 0; }

// Waits until our child `pid` has ended, without reaping it; false after a minute.
bool WaitUntilEnded(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  for (;;) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
      return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
}

// Each test runs the fake engine from a folder of its own whose name has a blank; the
// engine's script and logs live there too.
class FakeEngine : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Game.LoadFen(START_POSITION_FEN));
    Folder = fs::temp_directory_path() /
             ("brv engine " + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "." +
              std::to_string(::getpid()));
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    fs::create_symlink(FAKE_ENGINE_PATH, Folder / "fake engine");
  }
  void TearDown() override {
    Engine.reset();
    fs::remove_all(Folder);
  }

  // Starts the fake engine on `script`, with the user on the light side unless told.
  void Start(const std::string& script, bool enginePlaysLight = false, const std::string& extra = "",
             const TEngineDelays& delays = FastEngineDelays()) {
    std::ofstream(Folder / "script") << script;
    std::string parameters = "\"" + (Folder / "script").string() + "\" \"" + Log().string() + "\" " + extra;
    Engine = tloadengine::Create((Folder / "fake engine").string(), parameters, Game, &Board, enginePlaysLight,
                                 Queue.Dispatcher(), delays);
    ASSERT_TRUE(Engine);
  }

  // Start, on a scheduler of the test's own: what the engine object schedules waits in
  // Steps, however long its wait, until RunStepsUntil runs it. The start's steps run here
  // until the engine has started.
  void StartByHand(const std::string& script, const TEngineDelays& delays = FastEngineDelays()) {
    std::ofstream(Folder / "script") << script;
    std::string parameters = "\"" + (Folder / "script").string() + "\" \"" + Log().string() + "\"";
    TScheduler byHand = [this](std::chrono::milliseconds, std::function<void()> work) {
      Steps.push_back(std::move(work));
    };
    Engine = tloadengine::Start((Folder / "fake engine").string(), parameters, Game, &Board, false, Queue.Dispatcher(),
                                byHand, nullptr, delays);
    ASSERT_TRUE(Engine);
    ASSERT_TRUE(RunStepsUntil([this] { return Engine->HasStarted(); }));
  }
  // Runs the scheduled steps and the reader's findings until `done` holds; false after a
  // minute.
  bool RunStepsUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (Steps.empty()) {
        Queue.RunUntil(done, 10ms);
        continue;
      }
      auto work = std::move(Steps.front());
      Steps.pop_front();
      work();
      // The waits for the engine's reads come back often: give it the time to read.
      Queue.RunUntil(done, 1ms);
    }
    return true;
  }

  fs::path Log() const { return Folder / "received"; }
  std::string Received() const { return ReadFile(Log()); }

  bool WaitForReceived(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (Received() != text && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    return Received() == text;
  }

  // The game the engine plays; each test has its own.
  TGame Game;
  fs::path Folder;
  TRecordingDialogs Recorded;
  TRecordingBoard Board;
  TTaskQueue Queue;
  std::unique_ptr<tloadengine> Engine;
  std::deque<std::function<void()>> Steps;
};

TBoardMove Move(const char* text) {
  TBoardMove move;
  EXPECT_TRUE(ParseMoveText(text, move)) << text;
  return move;
}

const char HANDSHAKE[] = "xboard\nnew\nrandom\npost\nhard\nprotover 2\n";

TEST_F(FakeEngine, HandshakeBytesForEitherSideInItsOwnFolderWithItsParameters) {
  for (bool enginePlaysLight : {false, true}) {
    Board.Sent.clear();
    Start("", enginePlaysLight, " -depth  3 \"my book.bin\" ");
    EXPECT_TRUE(Engine->Quit());
    std::string expected = std::string(HANDSHAKE) + (enginePlaysLight ? "white\ngo\n" : "") + "quit\n";
    EXPECT_EQ(Received(), expected);
    std::vector<std::string> echo = {"xboard", "new", "random", "post", "hard", "protover 2"};
    if (enginePlaysLight) echo.insert(echo.end(), {"white", "go"});
    echo.push_back("quit");
    EXPECT_EQ(Board.Sent, echo);
  }
  std::string info = ReadFile(Folder / "received.info");
  EXPECT_NE(info.find("cwd " + fs::canonical(Folder).string() + "\n"), std::string::npos) << info;
  EXPECT_NE(info.find("arg -depth\narg 3\narg my book.bin\n"), std::string::npos) << info;
}

// Each opening command is written whole, in order, and the next only after the gap. How
// the kernel splits the reads is left alone: an engine that is not scheduled in time
// may get two lines in one read, which no pause of ours can prevent.
TEST_F(FakeEngine, OpeningCommandsAreWrittenOneByOneWithTheGapBetween) {
  TEngineDelays delays = FastEngineDelays();
  delays.LineGap = 50ms;
  Start("", true, "", delays);
  EXPECT_TRUE(Engine->Quit());
  const std::vector<std::string> opening = {"xboard", "new", "random", "post", "hard", "protover 2", "white", "go"};
  EXPECT_EQ(Received(), std::string(HANDSHAKE) + "white\ngo\nquit\n");
  std::vector<TReadLine> read = ReadLinesWithTimes(Folder / "received.times");
  ASSERT_EQ(read.size(), opening.size() + 1);
  ASSERT_EQ(Board.Sent.size(), opening.size() + 1);
  for (std::size_t i = 0; i < opening.size(); ++i) {
    EXPECT_EQ(read[i].Text, opening[i]);
    EXPECT_EQ(Board.Sent[i], opening[i]);
    // Echoed after its write, and the next written a gap after the echo: its read can
    // only come later still.
    if (i > 0) {
      EXPECT_GE(read[i].At - Board.SentAt[i - 1], delays.LineGap) << opening[i];
    }
  }
  // An engine that we quit ends without news.
  Queue.RunUntil([] { return false; }, 300ms);
  EXPECT_TRUE(Recorded.Messages.empty());
}

// An engine that plays light is told so once its features are in: "white" and "go",
// or "go" alone when they say "colors=0". "done=0" asks for more time than the usual
// wait; "done=1" ends the wait at once.
TEST_F(FakeEngine, EnginePlayingLightGetsWhiteOnlyWhenItsFeaturesAllowIt) {
  struct TCase {
    const char* Script;
    std::chrono::milliseconds FeatureWait;
    const char* Side;
  };
  const TCase cases[] = {
      {"expect protover 2\nsay feature colors=0 done=1\n", 60s, "go\n"},
      // "done=0" is said before the opening, so that it is in long before the usual
      // wait ends, however busy the machine; the rest comes after that wait.
      {"say feature done=0\nexpect protover 2\npause 1500\nsay feature colors=0\nsay feature done=1\n", 1000ms,
       "go\n"},
      {"expect protover 2\nsay feature setboard=1 colors=1 done=1\n", 60s, "white\ngo\n"},
      {"expect protover 2\nsay feature option=\"colors=0 -check 0\" done=1\n", 60s, "white\ngo\n"},
      {"expect protover 2\nsay Error (unknown command): protover\n", 50ms, "white\ngo\n"},
  };
  for (const TCase& c : cases) {
    TEngineDelays delays = FastEngineDelays();
    delays.FeatureWait = c.FeatureWait;
    delays.FeatureWaitLong = 60s;
    Start(c.Script, true, "", delays);
    EXPECT_TRUE(Engine->IsReady()) << c.Script;
    EXPECT_TRUE(Engine->Quit());
    EXPECT_EQ(Received(), std::string(HANDSHAKE) + c.Side + "quit\n") << c.Script;
    Engine.reset();
  }
}

// An engine slow to read at start still gets each opening line in a read of its own,
// without any pause between the lines: the next is written once it has read the last.
TEST_F(FakeEngine, OpeningLinesWaitUntilTheEngineHasReadTheLastOne) {
  TEngineDelays delays = FastEngineDelays();
  ASSERT_EQ(delays.LineGap, 0ms);
  Start("pause 300\n", true, "", delays);
  // And so do the lines after them.
  Engine->SendCommand("force");
  Engine->SendCommand("edit");
  Engine->SendCommand(".");
  EXPECT_TRUE(Engine->Quit());
  const std::string reads = ReadFile(Folder / "received.reads");
  EXPECT_EQ(reads.rfind("xboard\n|new\n|random\n|post\n|hard\n|protover 2\n|white\n|go\n|force\n|edit\n|.\n", 0), 0u)
      << reads;
}

// An engine that stalls at its start until more input arrives is sent "post" while it
// says nothing after its opening; one that never speaks gets a bounded number.
TEST_F(FakeEngine, AnEngineSilentAfterItsOpeningIsSentPostUntilItSpeaks) {
  TEngineDelays delays = FastEngineDelays();
  delays.SilenceNudge = 1ms;
  Start("expect hard\nexpect post\nexpect post\nsay feature done=1\n", false, "", delays);
  ASSERT_TRUE(Queue.RunUntil([this] { return Board.Received == "feature done=1\n"; }));
  const auto posts = std::count(Board.Sent.begin(), Board.Sent.end(), "post");
  EXPECT_GE(posts, 3);
  EXPECT_LE(posts, 41);
  Engine.reset();
  Board.Sent.clear();
  Start("", false, "", delays);
  EXPECT_EQ(std::count(Board.Sent.begin(), Board.Sent.end(), "post"), 41);
  // One that reads nothing is not reminded: its start ends with the opening's waits.
  Engine.reset();
  Board.Sent.clear();
  delays = ShortEndDelays();
  delays.SilenceNudge = 1ms;
  Start("hang\n", false, "", delays);
  EXPECT_TRUE(Engine->HasStarted());
  EXPECT_EQ(Board.Sent, (std::vector<std::string>{"xboard", "new", "random", "post", "hard", "protover 2"}));
}

TEST_F(FakeEngine, LinesOfAnyLengthAreWrittenWhole) {
  Start("");
  std::string exact(4096, 'a');
  std::string longer(4097, 'b');
  std::string huge(300000, 'c');
  EXPECT_EQ(Engine->SendCommand(exact), 4097u);
  EXPECT_EQ(Engine->SendCommand(longer), 4098u);
  EXPECT_EQ(Engine->SendCommand(huge), 300001u);
  EXPECT_EQ(Engine->SendCommand(""), 1u);
  EXPECT_TRUE(WaitForReceived(HANDSHAKE + exact + "\n" + longer + "\n" + huge + "\n\n"));
  EXPECT_EQ(Board.Sent.back(), "");
}

TEST_F(FakeEngine, EngineMoveSplitAcrossTwoWritesIsApplied) {
  Start("expect e2e4\nwrite mo\npause 100\nwrite ve e7\npause 100\nwrite e5\\n\n");
  ASSERT_TRUE(Game.PlayUserMove({2, 4, 4, 4, 0}, TSide::Light).Legal);
  Engine->SendCommand("e2e4");
  ASSERT_TRUE(Queue.RunUntil([this] { return !Board.Animations.empty(); }));
  EXPECT_EQ(Board.Animations[0], PlainSlide("e7e5"));
  EXPECT_EQ(FenPlacementText(Game.Board()), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR");
  EXPECT_TRUE(Queue.RunUntil([this] { return Board.Received == "move e7e5\n"; }));
  EXPECT_EQ(Board.Received, "move e7e5\n");
}

TEST_F(FakeEngine, RefusalMateAndNotationRepeatsAreHandledAsTheyArrive) {
  Start(
      "expect e2e5\nsay Illegal move: e2e5\n"
      "expect e2e4\nwrite 1. ... e7e5\\nMy move is : e7e5\\n\n"
      "say 1-0 {White mates}\n");
  // A refusal of a line that is no move of the game is shown on the status line only.
  Engine->SendCommand("e2e5");
  ASSERT_TRUE(Queue.RunUntil([this] { return !Board.Notices.empty(); }));
  EXPECT_EQ(Board.Notices, std::vector<std::string>{"Illegal move: e2e5"});
  EXPECT_TRUE(Recorded.Messages.empty());
  ASSERT_TRUE(Game.PlayUserMove({2, 4, 4, 4, 0}, TSide::Light).Legal);
  Engine->SendCommand("e2e4");
  ASSERT_TRUE(Queue.RunUntil([this] { return !Recorded.Messages.empty(); }));
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{ENGINE_MATES_TEXT});
  EXPECT_EQ(Board.Animations, std::vector<TAnimation>{PlainSlide("e7e5")});
}

TEST_F(FakeEngine, GarbageAndAMegabyteLineDoNotHideTheNextMove) {
  Start("expect hard\nwrite \\t\\r\\x7f garbage \\\\ \\n\nrepeat 1048576 z\nsay move e7e5\n");
  ASSERT_TRUE(Game.PlayUserMove({2, 4, 4, 4, 0}, TSide::Light).Legal);
  ASSERT_TRUE(Queue.RunUntil([this] { return !Board.Animations.empty(); }));
  EXPECT_EQ(Board.Animations[0], PlainSlide("e7e5"));
  // The log keeps the start of the long line.
  const std::string ending = std::string(TEngineLog::MAX_LINE_LENGTH, 'z') + " [...]\nmove e7e5\n";
  ASSERT_TRUE(Queue.RunUntil([&] { return Board.Received.ends_with(ending); }));
  EXPECT_EQ(Board.Received, "\t\rx7f garbage \\ \n" + ending);
  EXPECT_TRUE(Recorded.Messages.empty());
}

// An engine that floods: the reader waits while the main thread has not taken what it
// gathered, so one hand-over at most waits; the log is thinned, yet the move among the
// lines is found, and the engine is stopped and reaped.
TEST_F(FakeEngine, FloodWaitsForTheMainThreadAndItsMoveIsStillFound) {
  // It never reads "quit": the short waits end it.
  Start("flood 100000 thinking\nsay move e7e5\nflood 0 more thinking\n", false, "", ShortEndDelays());
  ASSERT_TRUE(Game.PlayUserMove({2, 4, 4, 4, 0}, TSide::Light).Legal);
  pid_t pid = Engine->ProcessId();
  ASSERT_TRUE(Queue.WaitForWork());
  // The engine goes on flooding, but nothing more is handed over while that waits.
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Queue.Waiting(), 1u);
  ASSERT_TRUE(Queue.RunUntil([this] { return !Board.Animations.empty(); }, 60s));
  EXPECT_EQ(Board.Animations[0], PlainSlide("e7e5"));
  EXPECT_EQ(FenPlacementText(Game.Board()), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR");
  EXPECT_NE(Board.Received.find(" lines left out]\n"), std::string::npos);
  EXPECT_LT(Board.Received.size(), 100000u * 9);
  std::this_thread::sleep_for(100ms);
  EXPECT_LE(Queue.Waiting(), 1u);
  Engine.reset();
  EXPECT_FALSE(ProcessExists(pid));
  EXPECT_TRUE(Recorded.Messages.empty());
}

// From "quit" on the engine speaks to nobody: its farewell and a late move reach
// neither the log nor the board.
TEST_F(FakeEngine, EngineBeingQuitSaysNothingMore) {
  Start("expect quit\nsay move e7e5\nsay farewell\nexit 0\n");
  ASSERT_TRUE(Game.PlayUserMove({2, 4, 4, 4, 0}, TSide::Light).Legal);
  const TBitBoards before = Game.Board();
  bool done = false;
  Engine->BeginQuit([&done] { done = true; });
  ASSERT_TRUE(done);
  Queue.RunUntil([] { return false; }, 300ms);
  EXPECT_EQ(Game.Board(), before);
  EXPECT_TRUE(Board.Animations.empty());
  EXPECT_EQ(Board.Received.find("farewell"), std::string::npos) << Board.Received;
  EXPECT_TRUE(Recorded.Messages.empty());
}

TEST_F(FakeEngine, EngineThatEndsIsReportedWithHowItEndedAndUnlocksTheBoard) {
  const std::pair<const char*, const char*> cases[] = {
      {"exit 3", "The engine has ended: exit code 3"},
      {"crash", "The engine has ended: signal 11 (Segmentation fault)"},
  };
  for (const auto& [ending, text] : cases) {
    Recorded.Messages.clear();
    Board.Status.clear();
    Start(std::string("expect e2e4\nsay thinking\n") + ending + "\n");
    Game.SetEngineThinking(true);
    Engine->SendCommand("e2e4");
    ASSERT_TRUE(Queue.RunUntil([this] { return !Recorded.Messages.empty(); })) << ending;
    EXPECT_EQ(Recorded.Messages, std::vector<std::string>{text});
    EXPECT_EQ(Board.Status, std::vector<std::string>{text});
    EXPECT_FALSE(Game.EngineThinking()) << ending;
  }
}

TEST_F(FakeEngine, EngineThatExitsMidGameIsReapedAndWritesToItFail) {
  Start("expect e2e4\nexit 0\n");
  pid_t pid = Engine->ProcessId();
  Engine->SendCommand("e2e4");
  // Its end is not yet known on the main thread (nothing reaps it before the queue
  // runs): the write itself fails, without a signal.
  ASSERT_TRUE(WaitUntilEnded(pid));
  EXPECT_EQ(Engine->SendCommand("d2d4"), 0u);
  ReportEngineWriteError(*Engine);
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{ENGINE_WRITE_ERROR_TEXT});
  EXPECT_FALSE(Engine->IsConnected());
  // The end of its output reaps it.
  ASSERT_TRUE(Queue.RunUntil([&] { return !ProcessExists(pid); }));
  EXPECT_EQ(Board.Sent.back(), "e2e4");
}

// The engine ends on its opening commands while a line is still held back: the user
// was told it ended and the board unlocked, so the start never turns "ready" after it,
// whichever comes first in the event loop.
TEST_F(FakeEngine, EngineThatEndsDuringTheOpeningIsNeverReady) {
  std::ofstream(Folder / "script") << "expect hard\nexit 3\n";
  std::string parameters = "\"" + (Folder / "script").string() + "\" \"" + Log().string() + "\"";
  std::deque<std::function<void()>> steps;
  TScheduler byHand = [&steps](std::chrono::milliseconds, std::function<void()> work) {
    steps.push_back(std::move(work));
  };
  bool ready = false;
  Engine = tloadengine::Start((Folder / "fake engine").string(), parameters, Game, &Board, false, Queue.Dispatcher(),
                              byHand, [&ready] { ready = true; }, FastEngineDelays());
  ASSERT_TRUE(Engine);
  Engine->SendCommand("ping 1");
  auto runStep = [&steps] {
    auto work = std::move(steps.front());
    steps.pop_front();
    work();
  };
  // The reader, then the opening commands up to "hard", each once the engine read the last.
  while (Board.Sent.size() < 5) {
    ASSERT_FALSE(steps.empty());
    runStep();
  }
  Game.SetEngineThinking(true);
  ASSERT_TRUE(Queue.RunUntil([this] { return !Recorded.Messages.empty(); }));
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{"The engine has ended: exit code 3"});
  // What the start still had to do, the held line's turn among it, comes to nothing.
  for (int step = 0; step < 100 && !steps.empty(); ++step) runStep();
  EXPECT_TRUE(steps.empty());
  EXPECT_FALSE(ready);
  EXPECT_FALSE(Engine->IsReady());
  EXPECT_FALSE(Game.EngineThinking());
  EXPECT_EQ(Board.Sent, (std::vector<std::string>{"xboard", "new", "random", "post", "hard"}));
}

// The user leaves a game (New Match, or a position given as a whole) while the engine
// searches in it, and the engine finishes that search before it reads anything: the
// move it prints belongs to the game left. It is dropped until the engine's answer to
// the ping after the lines that left the game, and named in the log; the user is told
// nothing, and the engine's move after the pong is the new game's.
TEST_F(FakeEngine, AMoveOfTheGameLeftIsDroppedUntilTheEnginesPong) {
  struct TCase {
    const char* Fen;     // the new game
    bool SetUp;          // given as a whole rather than by "new"
    const char* User;    // the user's first move in it
    const char* Answer;  // the engine's
  };
  const TCase cases[] = {{START_POSITION_FEN, false, "d2d4", "g8f6"},
                         {"4k3/8/8/8/8/8/3P4/4K3 w - - 0 1", true, "d2d4", "e8d7"}};
  for (const TCase& c : cases) {
    const fs::path searched = Folder / "searched";
    fs::remove(searched);
    StartByHand("expect protover 2\nsay feature ping=1 setboard=1 done=1\nexpect e2e4\nawait " + searched.string() +
                "\nsay move e7e5\nexpect ping 1\nsay pong 1\nexpect " + c.User + "\nsay move " + c.Answer + "\n");
    ASSERT_TRUE(RunStepsUntil([this] { return Engine->TakesPing(); }));
    ASSERT_TRUE(Game.LoadFen(START_POSITION_FEN));
    ASSERT_TRUE(Game.PlayUserMove(Move("e2e4"), TSide::Light).Legal);
    Engine->SendCommand("e2e4");
    Game.SetEngineThinking(true);
    ASSERT_TRUE(Game.LoadFen(c.Fen));
    const std::vector<std::string> leave =
        c.SetUp ? Game.EngineCommands(false) : std::vector<std::string>{"force", "new"};
    ASSERT_TRUE(Engine->LeaveGame(leave, Game.EngineThinking()));
    Game.SetEngineThinking(false);
    const TBitBoards newGame = Game.Board();
    std::ofstream(searched).flush();
    ASSERT_TRUE(RunStepsUntil([this] { return !Board.Notes.empty(); })) << c.Fen;
    EXPECT_EQ(Board.Notes, std::vector<std::string>{"[dropped, of the game left: move e7e5]"});
    EXPECT_EQ(Game.Board(), newGame) << c.Fen;
    EXPECT_TRUE(Board.Animations.empty()) << c.Fen;
    ASSERT_TRUE(Game.PlayUserMove(Move(c.User), TSide::Light).Legal);
    Engine->SendCommand(c.User);
    ASSERT_TRUE(RunStepsUntil([this] { return !Board.Animations.empty(); })) << c.Fen;
    EXPECT_EQ(Board.Animations, std::vector<TAnimation>{PlainSlide(c.Answer)});
    EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
    std::string sent;
    for (const std::string& line : leave) sent += line + "\n";
    EXPECT_TRUE(Received().ends_with("e2e4\n" + sent + "ping 1\n" + c.User + "\n")) << Received();
    Engine.reset();
    Steps.clear();
    Board = TRecordingBoard();
  }
}

// An engine without ping that was searching owes that search's move: the lines that
// leave its game, and the user's move after them, wait until it has come, and it is
// dropped. One that dropped its search prints none: the lines go once the wait is over.
TEST_F(FakeEngine, WithoutPingTheLinesThatLeaveAGameWaitForTheMoveOwed) {
  for (const bool owed : {true, false}) {
    const fs::path searched = Folder / "searched";
    fs::remove(searched);
    StartByHand(owed ? "expect e2e4\nawait " + searched.string() + "\nsay move e7e5\nexpect d2d4\nsay move g8f6\n"
                     : "expect e2e4\nexpect d2d4\nsay move g8f6\n");
    ASSERT_TRUE(Game.LoadFen(START_POSITION_FEN));
    ASSERT_TRUE(Game.PlayUserMove(Move("e2e4"), TSide::Light).Legal);
    Engine->SendCommand("e2e4");
    ASSERT_TRUE(RunStepsUntil([this] { return Board.Sent.back() == "e2e4" && Steps.empty(); }));
    ASSERT_TRUE(Engine->LeaveGame({"force", "new"}, true));
    ASSERT_TRUE(Game.LoadFen(START_POSITION_FEN));
    ASSERT_TRUE(Game.PlayUserMove(Move("d2d4"), TSide::Light).Legal);
    Engine->SendCommand("d2d4");
    // Nothing of it has gone; only the end of the wait is scheduled.
    EXPECT_EQ(Board.Sent.back(), "e2e4") << owed;
    ASSERT_EQ(Steps.size(), 1u);
    auto waitOver = std::move(Steps.back());
    Steps.clear();
    if (owed) {
      std::ofstream(searched).flush();
      ASSERT_TRUE(RunStepsUntil([this] { return !Board.Notes.empty(); }));
      EXPECT_EQ(Board.Notes, std::vector<std::string>{"[dropped, of the game left: move e7e5]"});
    } else {
      waitOver();
    }
    ASSERT_TRUE(RunStepsUntil([this] { return !Board.Animations.empty(); })) << owed;
    EXPECT_EQ(Board.Animations, std::vector<TAnimation>{PlainSlide("g8f6")});
    EXPECT_EQ(std::vector<std::string>(Board.Sent.end() - 3, Board.Sent.end()),
              (std::vector<std::string>{"force", "new", "d2d4"}));
    EXPECT_TRUE(Recorded.Messages.empty()) << Recorded.Messages.front();
    Engine.reset();
    Steps.clear();
    Board = TRecordingBoard();
  }
}

// Engine moves that the rules do not allow on the board are reported with the engine's
// line and change nothing: a queen through its own pawn, a pawn it does not have there,
// and a pawn move that leaves its king in check. The legal move after them is played.
TEST_F(FakeEngine, EngineMovesTheRulesForbidAreReportedAndNotApplied) {
  const std::vector<std::string> forbidden = {"move d8h4", "move c7c5", "move e7e5"};
  std::string script = "expect h1h8\n";
  for (const std::string& line : forbidden) script += "say " + line + "\n";
  Start(script + "say move e8d7\n");
  ASSERT_TRUE(Game.LoadFen("3qk3/4p3/8/8/8/8/8/4K2R w K - 0 1"));
  ASSERT_TRUE(Game.PlayUserMove(Move("h1h8"), TSide::Light).Legal);
  const TBitBoards checked = Game.Board();
  Engine->SendCommand("h1h8");
  Game.SetEngineThinking(true);
  ASSERT_TRUE(Queue.RunUntil([this] { return !Board.Animations.empty(); }));
  std::vector<std::string> reports;
  for (const std::string& line : forbidden) reports.push_back(std::string(ILLEGAL_ENGINE_MOVE_TEXT) + ": " + line);
  EXPECT_EQ(Recorded.Messages, reports);
  EXPECT_EQ(Board.Status, reports);
  EXPECT_EQ(Board.Animations, std::vector<TAnimation>{PlainSlide("e8d7")});
  TBitBoards expected = checked;
  ASSERT_EQ(ApplyMoveToBitboards(expected, Move("e8d7")), TMoveResult::Applied);
  EXPECT_EQ(Game.Board(), expected);
}

// The line waits for the engine to read the opening, then is written all the same, and
// the write fails in time: reported, and the engine counted as gone.
TEST_F(FakeEngine, EngineThatReadsNothingMakesTheWriteFailInTime) {
  Start("hang\n", false, "", ShortEndDelays());
  Engine->SendCommand(std::string(4 << 20, 'x'));
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{ENGINE_WRITE_ERROR_TEXT});
  EXPECT_FALSE(Engine->IsConnected());
  EXPECT_EQ(Engine->SendCommand("e2e4"), 0u);
}

TEST_F(FakeEngine, UnloadStopsAnEngineThatIgnoresQuitAndTerminate) {
  Start("ignoreterm\nsay move e7e5\nhang\n", false, "", ShortEndDelays());
  pid_t pid = Engine->ProcessId();
  ASSERT_TRUE(ProcessExists(pid));
  // The reader's move is still queued when the engine object goes: it must be dropped.
  ASSERT_TRUE(Queue.WaitForWork());
  Engine.reset();
  EXPECT_FALSE(ProcessExists(pid));
  Queue.RunPending();
  EXPECT_TRUE(Board.Animations.empty());
}

TEST_F(FakeEngine, ProgramThatCannotStartIsReportedAndGivesNoEngine) {
  std::ofstream(Folder / "not executable") << "#!/bin/sh\n";
  const fs::path paths[] = {Folder / "missing", Folder / "not executable", Folder};
  for (const fs::path& path : paths) {
    Recorded.Messages.clear();
    auto engine = tloadengine::Create(path.string(), "", Game, &Board, false, Queue.Dispatcher(), FastEngineDelays());
    EXPECT_FALSE(engine) << path;
    ASSERT_EQ(Recorded.Messages.size(), 1u) << path;
    EXPECT_EQ(Recorded.Messages[0].rfind("Cannot start the engine " + path.string() + ": ", 0), 0u)
        << Recorded.Messages[0];
  }
  EXPECT_TRUE(Board.Sent.empty());
}

}  // namespace
