// The board window's position buttons: a position loaded from a FEN file or saved
// to one through the main window's current file, and New Match; a position loaded as a
// whole goes to the engine.

#include "app/windows/Main.h"

#include <utility>
#include <vector>

#include <QAction>
#include <QGuiApplication>
#include <QToolBar>

#include "FormSupport.h"
#include "app/game/maindefine.h"
#include "app/game/utility.h"

namespace {

// Sends `lines` one by one; a failed write is reported and ends the sending.
bool SendLines(tloadengine& engine, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (engine.SendCommand(line) == 0) {
      ReportEngineWriteError(engine);
      return false;
    }
  }
  return true;
}

}  // namespace

void TFormOpengl::LoadPosition() {
  // Shown on the board and given to a loaded engine.
  if (Owner) Owner->OpenPosition();
}

void TFormOpengl::SavePosition() {
  if (Owner && Owner->SavePosition()) SetCaption(std::string(PROGRAM_CAPTION) + " " + Owner->PositionFileName());
}

void TFormOpengl::NewMatch() {
  // The engine may still be searching in the game left, or starting with a move to make.
  const bool searching = Game.EngineThinking();
  Game.LoadFen(START_POSITION_FEN);
  Game.SetEngineThinking(false);
  EngineAwaitsGo = false;
  FUserMoveSent.reset();
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
  ToolBar->setPalette(QPalette());
  // "new" makes the engine play dark: one that plays light is told so again, as when it
  // was loaded ("go" alone where it takes no "white"), and the board waits for its first
  // move.
  if (EngineObj && EngineObj->LeaveGame({"force", "new"}, searching) && Owner && Owner->UserSide() == TSide::Dark)
    Game.SetEngineThinking(SendLines(*EngineObj, EngineObj->PlayLightCommands()));
  if (Owner) Owner->RefreshBoard();
  ShowGameState();
}

void TFormOpengl::GivePositionToEngine(bool searching) {
  FUserMoveSent.reset();
  if (!EngineObj || !EngineObj->IsConnected()) return;
  EngineAwaitsGo = false;
  if (!EngineObj->LeaveGame(Game.EngineCommands(EngineObj->EditsPositions()), searching || Game.EngineThinking()))
    return;
  // The engine plays the side it was loaded for (the Game menu), whoever the position
  // has to move.
  if (Game.SideToMove() == EngineObj->EngineSide()) {
    Game.SetEngineThinking(SendLines(*EngineObj, {"go"}));
  } else {
    EngineAwaitsGo = true;
    Game.SetEngineThinking(false);
  }
  ShowGameState();
}

bool TFormOpengl::SendUserMove(const std::string& text, const TBitBoards& before, const TGameRights& rightsBefore) {
  FUserMoveSent.reset();
  if (!EngineObj) return false;
  std::vector<std::string> lines = {text};
  // In force mode the engine takes the move without answering; "go" makes it play the
  // side now to move, its own.
  const bool withGo = EngineAwaitsGo;
  if (withGo) lines.emplace_back("go");
  EngineAwaitsGo = false;
  if (!SendLines(*EngineObj, lines)) return false;
  FUserMoveSent = TUserMoveSent{text, before, rightsBefore, withGo};
  return true;
}

bool TFormOpengl::TakeBackUserMove(const std::string& refusal) {
  // Engines name the move they refuse ("Illegal move: e7e8q", "Illegal move:e7e8q",
  // "Invalid move: e7e8q"), and some word their answer to a command they do not know
  // the same way ("Illegal move: sd 2"): that one leaves the user's move standing.
  if (!FUserMoveSent || refusal.find(FUserMoveSent->Text) == std::string::npos) return false;
  const TUserMoveSent sent = std::move(*FUserMoveSent);
  FUserMoveSent.reset();
  Game.SetPosition(sent.Before, sent.RightsBefore);
  RefreshPieces();
  Game.SetEngineThinking(false);
  // The engine refused the move and kept its position, but the "go" after the move made
  // it play the side to move, the user's: it gets the position anew, leaving the search
  // it is on, and waits in force mode for the user's move.
  if (sent.WithGo) GivePositionToEngine(true);
  return true;
}

void TFormOpengl::EngineMoveArrived() { FUserMoveSent.reset(); }
