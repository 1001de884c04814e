#pragma once
// Where the application's reports go: modal message boxes and standard-output lines.
// The program installs a reporter that shows them on the main thread; tests install
// one that records them.

#include <string>

class TReporter {
public:
  virtual ~TReporter() = default;
  // A message the user must acknowledge (a modal message box in the program).
  virtual void ShowMessage(const std::string& text) = 0;
  // A diagnostic line for standard output.
  virtual void WriteLine(const std::string& text) = 0;
};

// The reporter in use; by default messages go to standard error and lines to
// standard output.
TReporter& Reporter();

// Installs `reporter` (not owned; it must outlive its use), or the default for nullptr.
void SetReporter(TReporter* reporter);
