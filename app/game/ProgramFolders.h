#pragma once
// Where the program finds what it loads: its own folder, the folder of engines that the
// engine page lists, and the folder of piece and board models. The main window owns
// the one set of the program and lends it to the board window, whose engine page may
// point the engines folder elsewhere.
//
//   TProgramFolders folders = TProgramFolders::Of("/opt/brovanel");
//   folders.Models + "re.3ds"   // "/opt/brovanel/res/3ds/re.3ds"

#include <string>

struct TProgramFolders {
  // The program's folder, without a trailing separator.
  std::string App;
  // App + "/res/engine" at first.
  std::string Engines;
  // App + "/res/3ds/": model file names are appended directly.
  std::string Models;

  // The folders of a program in `app`.
  static TProgramFolders Of(const std::string& app) { return {app, app + "/res/engine", app + "/res/3ds/"}; }
};
