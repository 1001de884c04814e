#pragma once
// What the program does between making its QApplication and making its main window,
// and undoes after: the units' start-up registrations in unit order, the toolkit's
// side of the GL contexts and of the cadencer's ticks, and the EGL display opened on
// a thread of its own while the windows are built. The benchmarks start the program's
// windows the same way.
//
//   QApplication application(argc, argv);
//   TProgramStart start;
//   TForm1 form;

#include <thread>

class TProgramStart {
public:
  // Needs the QApplication.
  TProgramStart();
  // Waits for the display's opening, then removes the toolkit's side.
  ~TProgramStart();
  TProgramStart(const TProgramStart&) = delete;
  TProgramStart& operator=(const TProgramStart&) = delete;

private:
  std::thread FDisplayOpening;
};
