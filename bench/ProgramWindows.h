#pragma once
// The program's windows inside a benchmark's child process, started as the program
// starts them (its QApplication, its units' start-up, its main window), with the
// program's folder of models, pictures and looks; the board window once it shows the
// start position.

#include <QApplication>

#include <functional>
#include <memory>
#include <string>

#include "app/windows/Main.h"
#include "app/windows/ProgramStart.h"
#include "app/game/maindefine.h"
#include "app/windows/uchess.h"
#include "WindowBenchSupport.h"

namespace bench {

// Runs the event loop until `done` holds; fails the run after `seconds`.
inline void RunUntil(const std::function<bool()>& done, double seconds, const char* what) {
  const auto end = TClock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (TClock::now() > end) Fail(std::string("timed out waiting for ") + what);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

// Runs the event loop for `seconds`.
inline void RunFor(double seconds) {
  const auto end = TClock::now() + std::chrono::duration<double>(seconds);
  RunUntil([&] { return TClock::now() >= end; }, seconds + 60, "the clock");
}

class TProgramWindows {
public:
  // The application sees no argument: the program takes its first one as a look file.
  explicit TProgramWindows(char* programName) : FArgc(1), FArgv{programName, nullptr}, FApplication(FArgc, FArgv) {
    FStart = std::make_unique<TProgramStart>();
    FForm = std::make_unique<TForm1>();
    // The board window is made at the main window's first tick, from these folders.
    FForm->Folders = TProgramFolders::Of(BRV_PROGRAM_FOLDER);
    RunUntil([this] {
      TFormOpengl* board = FForm->FormOpengl;
      return board && !board->FirstPiecesTimer && board->BoardView->Buffer().FrameCount() > 0;
    }, 60, "the board window");
  }
  ~TProgramWindows() {
    FForm.reset();
    FStart.reset();
  }

  TForm1& Form() { return *FForm; }
  TFormOpengl& Board() { return *FForm->FormOpengl; }

private:
  int FArgc;
  char* FArgv[2];
  QApplication FApplication;
  std::unique_ptr<TProgramStart> FStart;
  std::unique_ptr<TForm1> FForm;
};

}  // namespace bench
