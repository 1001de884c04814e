#include "app/game/uloadengine.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <thread>

#include "app/game/Game.h"
#include "app/game/maindefine.h"
#include "base/Dialogs.h"
#include "base/Exceptions.h"
#include "base/Strings.h"

namespace {

// Often enough that an engine which reads at once gets its next line at once.
constexpr std::chrono::milliseconds READ_POLL{5};

// "The engine has ended: exit code 1", or without the how when it is not known.
std::string EngineEndedText(const std::string& how) {
  std::string text = ENGINE_ENDED_TEXT;
  return how.empty() ? text.substr(0, text.find(':')) : text + how;
}

}  // namespace

std::unique_ptr<tloadengine> tloadengine::Create(const std::string& path, const std::string& parameters,
                                                 TGame& game, TEngineBoard* board, bool enginePlaysLight,
                                                 TDispatcher dispatch, const TEngineDelays& delays) {
  // The start's steps are run here one after the other, each after its wait; steps
  // scheduled later (a quit's) run at once after theirs. Queued rather than nested:
  // waiting for the engine to read takes many short steps.
  struct TSteps {
    std::deque<std::pair<std::chrono::milliseconds, std::function<void()>>> Queued;
    bool Started = false;
  };
  auto steps = std::make_shared<TSteps>();
  TScheduler wait = [steps](std::chrono::milliseconds delay, std::function<void()> work) {
    if (!steps->Started) {
      steps->Queued.emplace_back(delay, std::move(work));
      return;
    }
    std::this_thread::sleep_for(delay);
    work();
  };
  auto engine =
      Start(path, parameters, game, board, enginePlaysLight, std::move(dispatch), std::move(wait), nullptr, delays);
  while (!steps->Queued.empty()) {
    auto [delay, work] = std::move(steps->Queued.front());
    steps->Queued.pop_front();
    std::this_thread::sleep_for(delay);
    work();
  }
  steps->Started = true;
  return engine;
}

std::unique_ptr<tloadengine> tloadengine::Start(const std::string& path, const std::string& parameters,
                                                TGame& game, TEngineBoard* board, bool enginePlaysLight,
                                                TDispatcher dispatch, TScheduler schedule,
                                                std::function<void()> onStarted, const TEngineDelays& delays) {
  BRV_ASSERT_MSG(dispatch != nullptr, "tloadengine::Start(): no dispatcher");
  BRV_ASSERT_MSG(schedule != nullptr, "tloadengine::Start(): no scheduler");
  std::unique_ptr<tloadengine> engine(
      new tloadengine(game, board, enginePlaysLight, std::move(dispatch), std::move(schedule), delays));
  if (!engine->StartEngineProcess(path, parameters)) {
    Dialogs().ShowMessage("Cannot start the engine " + Trimmed(path) + ": " + engine->FProcess.ErrorText());
    return nullptr;
  }
  // The engine's features tell how it takes a position and whether it takes its side.
  engine->FStartupCommands = {"xboard", "new", "random", "post", "hard", "protover 2"};
  engine->FSideToTell = enginePlaysLight;
  engine->FOnStarted = std::move(onStarted);
  engine->Later(delays.StartWait, [self = engine.get()] { self->StartReader(); });
  return engine;
}

tloadengine::tloadengine(TGame& game, TEngineBoard* board, bool enginePlaysLight, TDispatcher dispatch,
                         TScheduler schedule, const TEngineDelays& delays)
    : FGame(game),
      FBoard(board),
      FEngineSide(enginePlaysLight ? TSide::Light : TSide::Dark),
      FDispatch(std::move(dispatch)),
      FSchedule(std::move(schedule)),
      FDelays(delays) {}

void tloadengine::Later(std::chrono::milliseconds delay, std::function<void()> work) {
  FSchedule(delay, [alive = std::weak_ptr<int>(FAlive), work = std::move(work)] {
    if (alive.lock()) work();
  });
}

void tloadengine::StartReader() {
  tloadengine* self = this;
  FReader = std::make_unique<tsreadengine>(
      FProcess, FDispatch, [self](const TEngineChunk& chunk) { self->HandleChunk(chunk); }, FAlive);
  Later(FDelays.HandshakeWait, [this] { SendStartupCommand(0); });
}

void tloadengine::SendStartupCommand(std::size_t index) {
  // An engine that was quit, has ended (the user was told) or failed a write is never
  // ready: the rest of the opening would only say so after the report.
  if (!IsConnected()) return;
  // An engine that plays light is told so once it has said whether it takes "white".
  if (index == FStartupCommands.size() && FSideToTell) {
    FSideToTell = false;
    WhenFeaturesSaid(std::chrono::steady_clock::now(), [this, index] {
      for (std::string& line : PlayLightCommands()) FStartupCommands.push_back(std::move(line));
      SendStartupCommand(index);
    });
    return;
  }
  // The opening commands, then the lines held back meanwhile.
  if (index < FStartupCommands.size()) {
    WriteCommand(FStartupCommands[index]);
  } else {
    WriteCommand(FHeld.front());
    FHeld.erase(FHeld.begin());
  }
  // Each on its own read (see SendCommand), and a pause after: an engine that is still
  // starting may also stall until its next line comes (WatchSilence).
  if (index + 1 < FStartupCommands.size() || FSideToTell || !FHeld.empty()) {
    // Read, or an engine that reads nothing: the pause, and the next line all the same.
    WhenRead(std::chrono::steady_clock::now() + FDelays.WriteTimeout,
             [this, index] { Later(FDelays.LineGap, [this, index] { SendStartupCommand(index + 1); }); });
    return;
  }
  FReady = true;
  if (FDelays.SilenceNudge.count() > 0)
    WatchSilence(std::chrono::steady_clock::now() + FDelays.SilenceNudge, 40);
  else
    Started();
}

void tloadengine::Started() {
  FStarted = true;
  // Last: it may free this object.
  if (FOnStarted) FOnStarted();
}

bool tloadengine::EditsPositions() const { return FReader && FReader->Features().SetBoard == false; }

std::vector<std::string> tloadengine::PlayLightCommands() const {
  if (!FReader || FReader->Features().Colors.value_or(true)) return {"white", "go"};
  return {"go"};
}

void tloadengine::WhenFeaturesSaid(std::chrono::steady_clock::time_point since, std::function<void()> then) {
  // Often enough that an engine which answers at once is told its side at once.
  constexpr std::chrono::milliseconds POLL{10};
  if (!IsConnected()) return;
  const TEngineFeatures features = FReader->Features();
  const auto deadline = since + (features.Done == false ? FDelays.FeatureWaitLong : FDelays.FeatureWait);
  if (features.Done != true && std::chrono::steady_clock::now() < deadline) {
    Later(POLL, [this, since, then = std::move(then)]() mutable { WhenFeaturesSaid(since, std::move(then)); });
    return;
  }
  then();
}

void tloadengine::WatchSilence(std::chrono::steady_clock::time_point nudgeAt, int nudgesLeft) {
  // Often enough that an engine which answers at once ends the watch at once.
  constexpr std::chrono::milliseconds POLL{20};
  if (!IsConnected()) return;
  if (FReader->HasHeard() || nudgesLeft == 0) {
    Started();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now >= nudgeAt) {
    // An engine that left an opening line unread for a whole WriteTimeout and has not
    // read the rest either is not one stalled until its next line: it reads nothing,
    // and a reminder would only wait with the others.
    if (FReadTimedOut && FProcess.UnreadInput() > 0) {
      Started();
      return;
    }
    // Harmless to every engine: it has had "post" in its opening already.
    WriteCommand("post");
    nudgeAt = now + FDelays.SilenceNudge;
    --nudgesLeft;
  }
  Later(POLL, [this, nudgeAt, nudgesLeft] { WatchSilence(nudgeAt, nudgesLeft); });
}

void tloadengine::WhenRead(std::chrono::steady_clock::time_point deadline, std::function<void()> then) {
  if (!IsConnected()) return;
  if (FProcess.UnreadInput() > 0) {
    if (std::chrono::steady_clock::now() < deadline) {
      Later(READ_POLL, [this, deadline, then = std::move(then)]() mutable { WhenRead(deadline, std::move(then)); });
      return;
    }
    FReadTimedOut = true;
  }
  then();
}

tloadengine::~tloadengine() {
  FAlive.reset();
  try {
    Quit();
  } catch (...) {
    // Only the echo of "quit" to the board can throw; the engine is stopped below anyway.
  }
  // Stopped and reaped before the reader is joined, so that nothing writes into the
  // pipes any more; the pipes are closed only after the join.
  FProcess.Stop(FDelays.TerminateWait);
  if (FReader) FReader->Stop();
  FProcess.ClosePipes();
}

bool tloadengine::StartEngineProcess(const std::string& path, const std::string& parameters) {
  std::string program = Trimmed(path);
  return FProcess.Start(program, SplitCommandLine(parameters), FolderOfPath(program));
}

bool tloadengine::TakesPing() const { return FReader && FReader->Features().Ping == true; }

bool tloadengine::LeaveGame(const std::vector<std::string>& lines, bool searching) {
  if (!IsConnected()) return false;
  const bool ping = TakesPing();
  if (!ping && searching && !FGames->OwesMove()) {
    FGames->MoveOwed();
    // An engine that dropped its search prints no move: its lines go all the same.
    Later(FDelays.OwedMoveWait, [this, owing = ++FMovesOwed] {
      if (owing != FMovesOwed || !FGames->OwesMove()) return;
      FGames->ForgetOwedMove();
      SendAfterOwedMove();
    });
  }
  for (const std::string& line : lines) {
    if (SendCommand(line) == 0) {
      ReportEngineWriteError(*this);
      return false;
    }
  }
  if (!ping) return true;
  if (SendCommand("ping " + std::to_string(++FLastPing)) == 0) {
    ReportEngineWriteError(*this);
    return false;
  }
  FGames->PingSent(FLastPing);
  return true;
}

bool tloadengine::SendAfterOwedMove() {
  // An engine that is gone has been reported already.
  if (!IsConnected()) FAfterOwedMove.clear();
  while (!FAfterOwedMove.empty()) {
    const std::string line = std::move(FAfterOwedMove.front());
    FAfterOwedMove.pop_front();
    if (SendCommand(line) == 0) {
      FAfterOwedMove.clear();
      // Last: the message box may free this object.
      ReportEngineWriteError(*this);
      return false;
    }
  }
  return true;
}

std::size_t tloadengine::SendCommand(std::string_view text) {
  if (!IsConnected()) return 0;
  // Until the move owed from the game left has come, the engine would take these lines
  // as the game's it is still searching in.
  if (FGames->OwesMove()) {
    FAfterOwedMove.emplace_back(text);
    return text.size() + 1;
  }
  if (!FReady) {
    FHeld.emplace_back(text);
    return text.size() + 1;
  }
  if (FWaiting.empty() && FProcess.UnreadInput() == 0) return WriteCommand(text);
  FWaiting.emplace_back(text);
  if (FWaiting.size() == 1) SendWaitingLines();
  return text.size() + 1;
}

void tloadengine::SendWaitingLines() {
  // An engine that reads nothing gets the line all the same, and the write times out.
  WhenRead(std::chrono::steady_clock::now() + FDelays.WriteTimeout, [this] {
    const std::string line = std::move(FWaiting.front());
    FWaiting.pop_front();
    if (WriteCommand(line) == 0) {
      FWaiting.clear();
      // Last: the message box may free this object.
      ReportEngineWriteError(*this);
      return;
    }
    if (!FWaiting.empty()) SendWaitingLines();
  });
}

std::size_t tloadengine::WriteCommand(std::string_view text) {
  if (!IsConnected()) return 0;
  std::string line(text);
  line += '\n';
  if (!FProcess.WriteInput(line, FDelays.WriteTimeout)) return 0;
  if (FBoard) FBoard->AppendSentCommand(std::string(text));
  return line.size();
}

bool tloadengine::Quit() {
  if (FQuit) return false;
  if (IsConnected()) WriteCommand("quit");
  FQuit = true;
  if (FProcess.WaitForExit(FDelays.QuitWait)) return true;
  FProcess.Stop(FDelays.TerminateWait);
  return false;
}

void tloadengine::BeginQuit(std::function<void()> onDone) {
  if (FQuit) {
    if (onDone) onDone();
    return;
  }
  if (IsConnected()) WriteCommand("quit");
  FQuit = true;
  FOnQuitDone = std::move(onDone);
  PollQuit(std::chrono::steady_clock::now() + FDelays.QuitWait, 0);
}

void tloadengine::PollQuit(std::chrono::steady_clock::time_point deadline, int phase) {
  // Often enough that an engine which ends at once is seen gone at once.
  constexpr std::chrono::milliseconds POLL{10};
  bool gone = FProcess.WaitForExit(std::chrono::milliseconds(0));
  auto now = std::chrono::steady_clock::now();
  if (!gone && now < deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    Later(std::min(POLL, left), [this, deadline, phase] { PollQuit(deadline, phase); });
    return;
  }
  if (!gone && phase == 0) {
    FProcess.Terminate();
    PollQuit(now + FDelays.TerminateWait, 1);
    return;
  }
  // Killed, which the kernel carries out at once but for a process stuck in a driver.
  if (!gone) FProcess.Stop(std::chrono::milliseconds(0));
  std::function<void()> onDone = std::move(FOnQuitDone);
  if (onDone) onDone();
}

void tloadengine::HandleChunk(const TEngineChunk& chunk) {
  // An engine being quit has nothing more to say to the game or the log: its farewell
  // and a late move belong to no game, and the quit itself waits for its end.
  if (FQuit) {
    FOutputEnded = FOutputEnded || chunk.Ended;
    return;
  }
  std::string endedText;
  if (chunk.Ended) {
    FOutputEnded = true;
    // An engine whose output has ended is of no more use: it is reaped rather than left
    // a zombie until it is unloaded, and stopped if it goes on running.
    bool exited = FProcess.WaitForExit(FDelays.QuitWait);
    if (!exited) FProcess.Stop(FDelays.TerminateWait);
    // The user learns that it ended and how.
    endedText = exited ? EngineEndedText(FProcess.ExitText()) : ENGINE_STOPPED_TEXT;
  }
  // Last, and without touching this object afterwards unless it is still alive: a
  // message box may run a nested event loop in which the engine object is freed.
  TGame& game = FGame;
  TEngineBoard* board = FBoard;
  const std::shared_ptr<TEngineGames> games = FGames;
  const std::weak_ptr<int> alive = FAlive;
  try {
    // What the engine says of a game the user has left goes to the log only.
    HandleEngineChunk(chunk, game, FEngineSide, board, games.get());
    // Once a move owed from there has come, the lines that waited for it go.
    if (alive.lock() && !games->OwesMove() && !FAfterOwedMove.empty()) SendAfterOwedMove();
    if (!endedText.empty()) ReportEngineEnded(endedText, game, board);
  } catch (const std::exception& error) {
    Dialogs().ShowMessage(error.what());
  }
}

void ReportEngineWriteError(tloadengine& engine) {
  engine.Disconnect();
  Dialogs().ShowMessage(ENGINE_WRITE_ERROR_TEXT);
}
