// The windows' tests run in one application. Its command line ends with a look file,
// as the program's may: the windows must take it as a look, never as a position.

#include <gtest/gtest.h>

#include <QApplication>

#include "base/PersistentClasses.h"
#include "base/VectorLists.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/objects/GLGraph.h"
#include "scene/objects/GLObjects.h"
#include "scene/qt/GLQtCadencer.h"
#include "scene/qt/GLQtPlatform.h"

#include <fstream>
#include <vector>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display; running them does.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  std::vector<char*> arguments(argv, argv + argc);
  char lookFile[] = LOOK_FILE_ARGUMENT;
  // A look that changes nothing of the start look; tests that name another write their own.
  std::ofstream(lookFile, std::ios::binary) << "[board]\r\nname=Brovanel\r\n";
  arguments.push_back(lookFile);
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  QApplication application(count, arguments.data());
  // The program's start-up registrations.
  InitializePersistentClasses();
  InitializeVectorLists();
  InitializeGLObjects();
  InitializeGLGraph();
  InitializeVectorFileObjects();
  InstallQtGLPlatform();
  InstallQtCadencerTicker();
  const int result = RUN_ALL_TESTS();
  RemoveQtCadencerTicker();
  RemoveQtGLPlatform();
  return result;
}
