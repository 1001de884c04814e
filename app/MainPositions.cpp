// The board window's position buttons: a position loaded from a FEN file or saved
// to one through the main window's current file, and New Match.

#include "app/Main.h"

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
    for (const char* command : {"force", "new"}) {
      if (EngineObj->SendCommand(command) == 0) {
        ReportEngineWriteError(*EngineObj);
        break;
      }
    }
  }
  if (MainForm) MainForm->RefreshBoard();
}
