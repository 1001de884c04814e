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
  Game.LoadFen(START_POSITION_FEN);
  Game.SetEngineThinking(false);
  EngineAwaitsGo = false;
  FUserMoveSent.reset();
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
  ToolBar->setPalette(QPalette());
  if (EngineObj) {
    std::vector<std::string> commands = {"force", "new"};
    // "new" makes the engine play dark: one that plays light is told so again, as
    // when it was loaded ("go" alone where it takes no "white"), and the board waits
    // for its first move.
    if (Owner && Owner->UserSide() == TSide::Dark) {
      const std::vector<std::string> playLight = EngineObj->PlayLightCommands();
      commands.insert(commands.end(), playLight.begin(), playLight.end());
      Game.SetEngineThinking(true);
    }
    SendLines(*EngineObj, commands);
  }
  if (Owner) Owner->RefreshBoard();
}

void TFormOpengl::GivePositionToEngine() {
  FUserMoveSent.reset();
  if (!EngineObj || !EngineObj->IsConnected()) return;
  EngineAwaitsGo = false;
  if (!SendLines(*EngineObj, Game.EngineCommands(EngineObj->EditsPositions()))) return;
  // The engine plays the side it was loaded for (the Game menu), whoever the position
  // has to move.
  if (Game.SideToMove() == EngineObj->EngineSide()) {
    Game.SetEngineThinking(SendLines(*EngineObj, {"go"}));
    if (Owner && Game.EngineThinking()) Owner->SetStatusText(THINKING_TEXT);
    return;
  }
  EngineAwaitsGo = true;
  Game.SetEngineThinking(false);
  if (Owner) Owner->SetStatusText(YOUR_MOVE_TEXT);
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
  // it play the side to move, the user's: it gets the position anew and waits in force
  // mode for the user's move. A move it played meanwhile comes before any other.
  if (sent.WithGo) {
    GivePositionToEngine();
    FRefusedWithGo = sent.Before;
  }
  return true;
}

bool TFormOpengl::EngineMoveArrived(const TBoardMove* move) {
  if (const std::optional<TBitBoards> refusedAt = std::exchange(FRefusedWithGo, std::nullopt)) {
    // Played for the user's side from the position of the refusal, before the engine had
    // that position anew (the user may have moved since).
    const TSide userSide = Owner ? Owner->UserSide() : TSide::Light;
    if (move && PieceOfSide(*refusedAt, userSide, move->From.Index()) != EMPTY_SQUARE)
      return false;
  }
  FUserMoveSent.reset();
  return true;
}
