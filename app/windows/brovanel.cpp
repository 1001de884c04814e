// The program: the toolkit's application, the units' start-up, the dialogs, and the
// main window with its message loop.
//   brovanel [LOOK-FILE]   the board window loads that look file at start

#include <QApplication>

#include "app/windows/ProgramStart.h"
#include "app/windows/uchess.h"
#include "scene/qt/QtDialogs.h"

int main(int argc, char** argv) {
  // The GL contexts are made on the X display of the toolkit's windows.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  TProgramStart start;
  TQtDialogs dialogs;
  SetDialogs(&dialogs);
  int result = 0;
  {
    TForm1 form;
    result = QApplication::exec();
  }
  SetDialogs(nullptr);
  return result;
}
