#pragma once
// The program's messages and questions through the toolkit's modal dialogs; lines
// still go to standard output. Needs a running QApplication and the main thread;
// install with SetDialogs.

#include "base/Dialogs.h"

class TQtDialogs : public TConsoleDialogs {
public:
  // A message box with an OK button, captioned with the application's name; the text
  // is plain text.
  void ShowMessage(const std::string& text) override;
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
  // Offers the picture files the picture loader reads (BMP and JPEG).
  bool OpenPicture(std::string& fileName) override;
  bool OpenFile(const std::string& filter, std::string& fileName) override;
  bool SaveFile(const std::string& filter, std::string& fileName) override;
  bool ChooseColour(int& colour) override;
};
