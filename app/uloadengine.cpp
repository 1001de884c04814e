#include "app/uloadengine.h"

#include <exception>
#include <thread>

#include "app/maindefine.h"
#include "base/Dialogs.h"
#include "base/Exceptions.h"
#include "base/Strings.h"

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
  for (const char* command : {"xboard", "new", "random", "post", "hard"}) SendCommand(command);
  if (enginePlaysLight) {
    SendCommand("white");
    SendCommand("go");
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
  if (chunk.Ended) {
    FOutputEnded = true;
    // An engine whose output has ended is of no more use: it is stopped, if it has not
    // ended already, and reaped rather than left a zombie until it is unloaded.
    FProcess.Stop(FDelays.TerminateWait);
  }
  // Last, and without touching this object afterwards: a message box may run a nested
  // event loop in which the engine object is freed.
  try {
    HandleEngineChunk(chunk, FEngineSide, FBoard);
  } catch (const std::exception& error) {
    Dialogs().ShowMessage(error.what());
  }
}

void ReportEngineWriteError(tloadengine& engine) {
  engine.Disconnect();
  Dialogs().ShowMessage(ENGINE_WRITE_ERROR_TEXT);
}
