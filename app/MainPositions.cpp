// The board window's position buttons: a position loaded from a FEN file or saved
// to one through the main window's current file, and New Match.

#include "app/Main.h"

#include <vector>

#include <QAction>
#include <QGuiApplication>
#include <QToolBar>

#include "app/maindefine.h"
#include "app/uchess.h"
#include "app/utility.h"

void TFormOpengl::ToolButton9Click() {
  // Shown on the board; the engine is not told and the lock stays as it is.
  if (MainForm) MainForm->OpenPosition();
}

void TFormOpengl::ToolButton11Click() {
  if (MainForm && MainForm->SavePosition()) SetCaption(std::string(PROGRAM_CAPTION) + " " + MainForm->PositionFile);
}

void TFormOpengl::ToolButton12Click() {
  LoadFenPosition(START_POSITION_FEN);
  EngineThinking = false;
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
  ToolBar1->setPalette(QPalette());
  if (EngineObj) {
    std::vector<const char*> commands = {"force", "new"};
    // "new" makes the engine play dark: one that plays light is told so again, as
    // when it was loaded, and the board waits for its first move.
    if (MainForm && MainForm->nero_checked->isChecked()) {
      commands.insert(commands.end(), {"white", "go"});
      EngineThinking = true;
    }
    for (const char* command : commands) {
      if (EngineObj->SendCommand(command) == 0) {
        ReportEngineWriteError(*EngineObj);
        break;
      }
    }
  }
  if (MainForm) MainForm->RefreshBoard();
}
