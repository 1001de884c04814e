#include "app/uloadengine.h"

#include <exception>
#include <thread>
#include <vector>

#include "app/maindefine.h"
#include "base/Dialogs.h"
#include "base/Exceptions.h"
#include "base/Strings.h"

namespace {

// "The engine has ended: exit code 1", or without the how when it is not known.
std::string EngineEndedText(const std::string& how) {
  std::string text = ENGINE_ENDED_TEXT;
  return how.empty() ? text.substr(0, text.find(':')) : text + how;
}

}  // namespace

std::unique_ptr<tloadengine> tloadengine::Create(const std::string& path, const std::string& parameters,
                                                 TEngineBoard* board, bool enginePlaysLight, TDispatcher dispatch,
                                                 const TEngineDelays& delays) {
  BRV_ASSERT_MSG(dispatch != nullptr, "tloadengine::Create(): no dispatcher");
  std::unique_ptr<tloadengine> engine(new tloadengine(board, enginePlaysLight, std::move(dispatch), delays));
  if (!engine->StartEngineProcess(path, parameters)) {
    Dialogs().ShowMessage("Cannot start the engine " + Trimmed(path) + ": " + engine->FProcess.ErrorText());
    return nullptr;
  }
  std::this_thread::sleep_for(delays.StartWait);
  tloadengine* self = engine.get();
  engine->FReader = std::make_unique<tsreadengine>(
      engine->FProcess, engine->FDispatch, [self](const TEngineChunk& chunk) { self->HandleChunk(chunk); },
      engine->FAlive);
  std::this_thread::sleep_for(delays.HandshakeWait);
  engine->SendStartupCommands(enginePlaysLight);
  return engine;
}

tloadengine::tloadengine(TEngineBoard* board, bool enginePlaysLight, TDispatcher dispatch,
                         const TEngineDelays& delays)
    : FBoard(board),
      FEngineSide(enginePlaysLight ? LIGHT_SIDE : DARK_SIDE),
      FDispatch(std::move(dispatch)),
      FDelays(delays) {}

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

std::size_t tloadengine::SendCommand(std::string_view text) {
  if (!IsConnected()) return 0;
  std::string line(text);
  line += '\n';
  if (!FProcess.WriteInput(line, FDelays.WriteTimeout)) return 0;
  if (FBoard) FBoard->AppendSentCommand(std::string(text));
  return line.size();
}

void tloadengine::SendStartupCommands(bool enginePlaysLight) {
  std::vector<const char*> commands = {"xboard", "new", "random", "post", "hard"};
  if (enginePlaysLight) commands.insert(commands.end(), {"white", "go"});
  for (std::size_t i = 0; i < commands.size(); ++i) {
    // Each on its own read: an engine that is still starting may drop all but the
    // first line of a read.
    if (i > 0) std::this_thread::sleep_for(FDelays.LineGap);
    SendCommand(commands[i]);
  }
}

bool tloadengine::Quit() {
  if (FQuit) return false;
  if (IsConnected()) SendCommand("quit");
  FQuit = true;
  if (FProcess.WaitForExit(FDelays.QuitWait)) return true;
  FProcess.Stop(FDelays.TerminateWait);
  return false;
}

void tloadengine::HandleChunk(const TEngineChunk& chunk) {
  std::string endedText;
  if (chunk.Ended) {
    FOutputEnded = true;
    // An engine whose output has ended is of no more use: it is reaped rather than left
    // a zombie until it is unloaded, and stopped if it goes on running.
    bool exited = FProcess.WaitForExit(FDelays.QuitWait);
    if (!exited) FProcess.Stop(FDelays.TerminateWait);
    // Unless we quit it, the user learns that it ended and how.
    if (!FQuit) endedText = exited ? EngineEndedText(FProcess.ExitText()) : ENGINE_STOPPED_TEXT;
  }
  // Last, and without touching this object afterwards: a message box may run a nested
  // event loop in which the engine object is freed.
  TEngineBoard* board = FBoard;
  try {
    HandleEngineChunk(chunk, FEngineSide, board);
    if (!endedText.empty()) ReportEngineEnded(endedText, board);
  } catch (const std::exception& error) {
    Dialogs().ShowMessage(error.what());
  }
}

void ReportEngineWriteError(tloadengine& engine) {
  engine.Disconnect();
  Dialogs().ShowMessage(ENGINE_WRITE_ERROR_TEXT);
}
