#include "app/windows/ProgramStart.h"

#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLBehaviours.h"
#include "scene/gl/GLEGLContext.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"
#include "scene/qt/GLQtCadencer.h"
#include "scene/qt/GLQtPlatform.h"
#include "scene/texture/GLBitmapFont.h"

TProgramStart::TProgramStart() {
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
  // Loading the GL driver and opening its display takes a good part of the time to
  // the first frame; it needs nothing of the windows, which are built meanwhile.
  FDisplayOpening = std::thread(OpenEGLDisplay);
}

TProgramStart::~TProgramStart() {
  FDisplayOpening.join();
  RemoveQtCadencerTicker();
  RemoveQtGLPlatform();
}
