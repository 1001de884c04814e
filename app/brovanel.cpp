// The program: the toolkit's application, the units' start-up registrations, the
// dialogs, and the main window with its message loop.
//   brovanel [LOOK-FILE]   the board window loads that look file at start

#include <QApplication>

#include "app/uchess.h"
#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "scene/qt/GLQtPlatform.h"
#include "scene/qt/QtDialogs.h"

int main(int argc, char** argv) {
  // The GL contexts are made on the X display of the toolkit's windows.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  // Unit start-up, in unit order: the base layer's streamable classes, then the
  // scene's window side.
  InitializePersistentClasses();
  InitializeVectorLists();
  InstallQtGLPlatform();
  TQtDialogs dialogs;
  SetDialogs(&dialogs);
  int result = 0;
  {
    TForm1 form;
    result = QApplication::exec();
  }
  SetDialogs(nullptr);
  RemoveQtGLPlatform();
  return result;
}
