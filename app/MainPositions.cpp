// The board window's position buttons: a position loaded from a FEN file or saved
// to one through the main window's current file, and New Match; a position loaded as a
// whole goes to the engine.

#include "app/Main.h"

#include <vector>

#include <QAction>
#include <QGuiApplication>
#include <QToolBar>

#include "app/maindefine.h"
#include "app/uchess.h"
#include "app/utility.h"

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

void TFormOpengl::ToolButton9Click() {
  // Shown on the board and given to a loaded engine.
  if (MainForm) MainForm->OpenPosition();
}

void TFormOpengl::ToolButton11Click() {
  if (MainForm && MainForm->SavePosition()) SetCaption(std::string(PROGRAM_CAPTION) + " " + MainForm->PositionFile);
}

void TFormOpengl::ToolButton12Click() {
  LoadFenPosition(START_POSITION_FEN);
  EngineThinking = false;
  EngineAwaitsGo = false;
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
  ToolBar1->setPalette(QPalette());
  if (EngineObj) {
    std::vector<std::string> commands = {"force", "new"};
    // "new" makes the engine play dark: one that plays light is told so again, as
    // when it was loaded, and the board waits for its first move.
    if (MainForm && MainForm->nero_checked->isChecked()) {
      commands.insert(commands.end(), {"white", "go"});
      EngineThinking = true;
    }
    SendLines(*EngineObj, commands);
  }
  if (MainForm) MainForm->RefreshBoard();
}

void TFormOpengl::GivePositionToEngine() {
  if (!EngineObj || !EngineObj->IsConnected()) return;
  EngineAwaitsGo = false;
  if (!SendLines(*EngineObj, EnginePositionCommands(BitBoards, GameRights, EngineEditsPositions))) return;
  // The engine plays the side it was loaded for (the Game menu), whoever the position
  // has to move.
  if (GameRights.SideToMove == EngineObj->EngineSide()) {
    EngineThinking = SendLines(*EngineObj, {"go"});
    if (MainForm && EngineThinking) MainForm->SetStatusText(THINKING_TEXT);
    return;
  }
  EngineAwaitsGo = true;
  EngineThinking = false;
  if (MainForm) MainForm->SetStatusText(YOUR_MOVE_TEXT);
}

void TFormOpengl::EngineRefusesSetBoard() { EngineEditsPositions = true; }

void TFormOpengl::SendUserMove(const std::string& text) {
  if (!EngineObj) return;
  std::vector<std::string> lines = {text};
  // In force mode the engine takes the move without answering; "go" makes it play the
  // side now to move, its own.
  if (EngineAwaitsGo) lines.emplace_back("go");
  EngineAwaitsGo = false;
  SendLines(*EngineObj, lines);
}
