#pragma once
// The program's messages and questions to the user, through one replaceable object
// that every layer calls: message boxes, the text of an input box, the choice of a
// picture file, of a file to open or save or of a colour, and diagnostic lines for standard output. The program installs the
// toolkit's dialogs (TQtDialogs in scene/qt) and tests install one that records.
// Until one is installed, TConsoleDialogs answers.

#include <string>

class TDialogs {
public:
  virtual ~TDialogs() = default;
  // A message the user must acknowledge (a modal message box in the program).
  virtual void ShowMessage(const std::string& text) = 0;
  // A diagnostic line for standard output.
  virtual void WriteLine(const std::string& text) = 0;
  // The text the user entered, or `defaultText` when the user cancelled.
  virtual std::string InputQuery(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;
  // Lets the user choose an existing picture file, starting at `fileName`; true and
  // the chosen name in `fileName` when the user confirmed, else `fileName` unchanged.
  virtual bool OpenPicture(std::string& fileName) = 0;
  // Lets the user choose an existing file whose name matches `filter` ("*.fen"; empty
  // for any file), starting at `fileName` (a folder, a file or a pattern in a folder);
  // true and the chosen name in `fileName` when the user confirmed.
  virtual bool OpenFile(const std::string& filter, std::string& fileName) = 0;
  // The same for a name to save under; the file need not exist.
  virtual bool SaveFile(const std::string& filter, std::string& fileName) = 0;
  // Lets the user choose a colour, starting at `colour` (0x00BBGGRR); true and the
  // chosen colour in `colour` when the user confirmed, else `colour` unchanged.
  virtual bool ChooseColour(int& colour) = 0;
};

// Without a user to ask: messages go to standard error and lines to standard
// output, and every question is answered as if the user cancelled.
class TConsoleDialogs : public TDialogs {
public:
  void ShowMessage(const std::string& text) override;
  void WriteLine(const std::string& text) override;
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
  bool OpenPicture(std::string& fileName) override;
  bool OpenFile(const std::string& filter, std::string& fileName) override;
  bool SaveFile(const std::string& filter, std::string& fileName) override;
  bool ChooseColour(int& colour) override;
};

// The installed dialogs, or a TConsoleDialogs.
TDialogs& Dialogs();
// Installs `dialogs` (not owned; it must outlive its use), or the console for nullptr.
void SetDialogs(TDialogs* dialogs);
