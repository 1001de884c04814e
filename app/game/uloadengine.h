#pragma once
// The engine object: one Winboard engine started as a child process with its standard
// streams on pipes, its reader thread, the opening commands, and one command line at a
// time written to it afterwards.

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/game/Side.h"
#include "app/game/ureadengine.h"
#include "platform/ChildProcess.h"

// The waits around an engine's start and end. Some engines lose what arrives while
// they start up, hence the long wait before the opening commands; some still handle
// only the first line of each read for a while after, hence the pause between them.
struct TEngineDelays {
  std::chrono::milliseconds StartWait{200};       // after the start, before the reader
  std::chrono::milliseconds HandshakeWait{3000};  // before the opening commands
  std::chrono::milliseconds LineGap{100};         // after the engine read an opening command
  std::chrono::milliseconds QuitWait{1000};       // after "quit", before terminating
  std::chrono::milliseconds TerminateWait{500};   // after terminating, before killing
  std::chrono::milliseconds WriteTimeout{5000};   // for an engine that stops reading
  // An engine that has said nothing this long after its opening is sent "post" again,
  // and again after each such wait while it stays silent (0: never). See WatchSilence.
  std::chrono::milliseconds SilenceNudge{500};
  // How long an engine that is to play light may take to say all its features
  // ("done=1") after "protover 2", before it is told its side; one that said "done=0"
  // asks for more time and gets FeatureWaitLong.
  std::chrono::milliseconds FeatureWait{2000};
  std::chrono::milliseconds FeatureWaitLong{10000};
  // How long the lines that leave a game wait for the move that an engine without ping
  // owes from the search it was on (LeaveGame); an engine that drops its search instead
  // prints none.
  std::chrono::milliseconds OwedMoveWait{30000};
};

// The message of a failed write to the engine.
inline constexpr char ENGINE_WRITE_ERROR_TEXT[] = "error 2";
// The message of an engine that ended by itself, before how it ended ("exit code 1").
inline constexpr char ENGINE_ENDED_TEXT[] = "The engine has ended: ";
// The message of an engine that closed its output but went on running.
inline constexpr char ENGINE_STOPPED_TEXT[] = "The engine closed its output and was stopped";

// Runs `work` on the main thread once `delay` has passed: the program uses a
// single-shot timer of its event loop, Create a plain wait.
using TScheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> work)>;

class tloadengine {
public:
  // Starts the engine `path` with `parameters` (split at blanks, no shell) in the
  // engine's own folder, waits, starts the reader, waits, and sends the opening
  // commands one at a time: "xboard", "new", "random", "post", "hard" and "protover 2",
  // then for an engine that plays light "white" and "go" once its features are in
  // ("white" left out when they say "colors=0": after "new" light is to move, and "go"
  // makes it play that side). The engine's moves are applied to `game`, which must
  // outlive the engine object; when the engine's output ends without Quit, the user is
  // told how the engine ended and the game is unlocked. `board` gets the echo of sent
  // lines and the engine's moves (may be null, not owned); `dispatch` runs the reader's
  // findings on the main thread. A program that cannot be started is reported and
  // gives null. Blocks the calling thread for the start-up waits.
  static std::unique_ptr<tloadengine> Create(const std::string& path, const std::string& parameters, TGame& game,
                                             TEngineBoard* board, bool enginePlaysLight, TDispatcher dispatch,
                                             const TEngineDelays& delays = TEngineDelays());

  // Create without blocking: the process starts at once, and the reader and the
  // opening commands follow through `schedule` after the same waits. `onStarted` (may
  // be empty) runs on the main thread once the engine has started: the opening commands
  // are sent, and the engine has said something or the "post" reminders to a silent
  // engine (WatchSilence) are over. Lines given to SendCommand before the opening is
  // sent follow it in their order, each after the same pause.
  static std::unique_ptr<tloadengine> Start(const std::string& path, const std::string& parameters, TGame& game,
                                            TEngineBoard* board, bool enginePlaysLight, TDispatcher dispatch,
                                            TScheduler schedule, std::function<void()> onStarted,
                                            const TEngineDelays& delays = TEngineDelays());

  // Quit(), then ends the reader and closes the pipes. Work the reader had already
  // queued for the main thread is dropped.
  ~tloadengine();
  tloadengine(const tloadengine&) = delete;
  tloadengine& operator=(const tloadengine&) = delete;

  // Writes `text` and a line feed to the engine, whole, and echoes `text` to the board.
  // Returns the bytes written, or 0 (nothing echoed) when the engine is gone or the
  // write failed. Before the opening commands are all sent the line is held back, and
  // while the engine has not read the line before it waits for that read; either way
  // its length with the line feed is returned, and a failed write of a waiting line is
  // reported (ReportEngineWriteError).
  //
  // Each line reaches the engine on a read of its own: gnuchess's engine thread replaces
  // the buffer of its input when it starts, and so drops whatever else its input thread
  // had read ahead when that start comes late.
  std::size_t SendCommand(std::string_view text);

  // Leaves the game the engine plays for another: sends `lines`, those that end its game
  // and set up the next ("force" and "new", or a position's set-up), after which nothing
  // the engine says of the game it left reaches the game on the board (TEngineGames).
  // An engine whose features say "ping=1" is sent "ping N" after them. For one without
  // ping that may be `searching` for a move in the game it leaves, the lines, and every
  // line sent after them, wait until the move of that search has come (it is dropped),
  // or OwedMoveWait has passed. False when a write failed (reported).
  bool LeaveGame(const std::vector<std::string>& lines, bool searching);
  // True when the engine's features say "ping=1".
  bool TakesPing() const;

  // True once the opening commands, and the lines held back meanwhile, are sent.
  bool IsReady() const { return FReady; }
  // True once the engine has started (see Start): an engine that is still starting
  // may not answer yet.
  bool HasStarted() const { return FStarted; }
  // True when the engine's features say "setboard=0": positions go to it in edit mode.
  bool EditsPositions() const;
  // What makes the engine play light from a new game: "white" and "go", or "go" alone
  // when its features say "colors=0" (it is never to be sent "white" or "black"; after
  // "new" light is to move, and "go" plays that side).
  std::vector<std::string> PlayLightCommands() const;

  // Sends "quit", waits for the engine to end, terminates and then kills it if it
  // does not, and reaps it, each step waiting a bounded time. Afterwards the engine
  // is gone. True when the engine ended on its own (false also for a second call).
  // From "quit" on, the engine's output reaches neither the board nor its log.
  bool Quit();
  // Quit without blocking: sends "quit", then looks through the scheduler whether the
  // engine has ended, terminating it after QuitWait and killing it after TerminateWait.
  // `onDone` (may be empty) runs on the main thread once the engine is gone; the object
  // may then be freed. On an engine already quit `onDone` runs at once.
  void BeginQuit(std::function<void()> onDone);

  // False once the engine's output has ended, it was quit, or Disconnect was called;
  // SendCommand then sends nothing.
  bool IsConnected() const { return !FOutputEnded && !FQuit && !FDisconnected; }
  // Counts the engine as gone from now on (after a failed write).
  void Disconnect() { FDisconnected = true; }

  // The side the engine plays.
  TSide EngineSide() const { return FEngineSide; }
  pid_t ProcessId() const { return FProcess.Pid(); }

private:
  tloadengine(TGame& game, TEngineBoard* board, bool enginePlaysLight, TDispatcher dispatch, TScheduler schedule,
              const TEngineDelays& delays);
  bool StartEngineProcess(const std::string& path, const std::string& parameters);
  // Runs `work` after `delay`, unless this object has been freed by then.
  void Later(std::chrono::milliseconds delay, std::function<void()> work);
  void StartReader();
  // Sends the opening command `index` and schedules the next, or ends the start-up.
  void SendStartupCommand(std::size_t index);
  // Runs `then` once the engine has said all its features, or at the deadline that its
  // features so far give, counted from `since`, unless the engine is gone by then.
  void WhenFeaturesSaid(std::chrono::steady_clock::time_point since, std::function<void()> then);
  // The engine has started: runs the start's last step.
  void Started();
  // Runs `then` once the engine has read all it was sent, or at `deadline` (an engine
  // that reads nothing), unless the engine is gone by then.
  void WhenRead(std::chrono::steady_clock::time_point deadline, std::function<void()> then);
  // While the engine has said nothing, "post" goes again at `nudgeAt` and after each
  // SilenceNudge, at most `nudgesLeft` times; none goes to an engine that reads nothing.
  // Every engine prints something once it has had its opening commands, but one that
  // runs threads can stall at its start until more input arrives: gnuchess's input
  // thread can hold its input stream, waiting for a line, while the engine thread waits
  // for that stream; the next line frees it, though not always the first one.
  void WatchSilence(std::chrono::steady_clock::time_point nudgeAt, int nudgesLeft);
  // Writes the waiting lines one by one, each once the engine has read the one before.
  void SendWaitingLines();
  // Sends a line without holding it back.
  std::size_t WriteCommand(std::string_view text);
  // One look whether the quit engine has gone; `phase` 0 waits for it to end by itself,
  // 1 for it to end after "terminate".
  void PollQuit(std::chrono::steady_clock::time_point deadline, int phase);
  void HandleChunk(const TEngineChunk& chunk);
  // Sends the lines that waited for an owed move. False when a write failed (reported).
  bool SendAfterOwedMove();

  TGame& FGame;
  TEngineBoard* FBoard;
  TSide FEngineSide;
  TDispatcher FDispatch;
  TScheduler FSchedule;
  TEngineDelays FDelays;
  TChildProcess FProcess;
  // Held only by this object: the reader's queued work checks it to see that the
  // engine object still exists when the main thread gets round to it.
  std::shared_ptr<int> FAlive = std::make_shared<int>(0);
  std::unique_ptr<tsreadengine> FReader;
  std::vector<std::string> FStartupCommands;
  // The engine plays light: "white" and "go" follow the opening once its features are in.
  bool FSideToTell = false;
  std::vector<std::string> FHeld;  // lines sent before the opening commands were
  std::deque<std::string> FWaiting;  // lines sent since, waiting for the engine's read
  // Which of the engine's lines are of a game left: shared with the handling of a chunk,
  // which a message box may outlast this object in. Then the last ping sent, the lines
  // that wait for an owed move, and how many times a move was owed.
  std::shared_ptr<TEngineGames> FGames = std::make_shared<TEngineGames>();
  long long FLastPing = 0;
  std::deque<std::string> FAfterOwedMove;
  int FMovesOwed = 0;
  std::function<void()> FOnStarted;
  std::function<void()> FOnQuitDone;
  bool FReady = false;
  bool FStarted = false;
  // A line was left unread until its wait for the read ran out (WhenRead).
  bool FReadTimedOut = false;
  bool FOutputEnded = false;
  bool FQuit = false;
  bool FDisconnected = false;
};

// A failed write: the engine counts as gone, and the user sees "error 2".
void ReportEngineWriteError(tloadengine& engine);
