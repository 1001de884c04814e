// The program: the toolkit's application, the units' start-up registrations, the
// dialogs, and the main window with its message loop.
//   brovanel [LOOK-FILE]   the board window loads that look file at start

#include <QApplication>

#include "app/uchess.h"
#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLBehaviours.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"
#include "scene/qt/GLQtCadencer.h"
#include "scene/qt/GLQtPlatform.h"
#include "scene/qt/QtDialogs.h"
#include "scene/texture/GLBitmapFont.h"

int main(int argc, char** argv) {
  // The GL contexts are made on the X display of the toolkit's windows.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  // Unit start-up, in unit order: the base layer's streamable classes, the scene's
  // objects and behaviours, the model formats, then the scene's window side and the
  // ticks of the cadencer.
  InitializePersistentClasses();
  InitializeVectorLists();
  InitializeGLObjects();
  InitializeGLGraph();
  InitializeGLBehaviours();
  InitializeGLBitmapFont();
  InitializeVectorFileObjects();
  InstallQtGLPlatform();
  InstallQtCadencerTicker();
  TQtDialogs dialogs;
  SetDialogs(&dialogs);
  int result = 0;
  {
    TForm1 form;
    result = QApplication::exec();
  }
  SetDialogs(nullptr);
  RemoveQtCadencerTicker();
  RemoveQtGLPlatform();
  return result;
}
