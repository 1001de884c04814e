#pragma once
// Dialogs that record what the code under test shows and asks, and answer its
// questions from a script; installed for the lifetime of the object.

#include <string>
#include <vector>

#include "base/Dialogs.h"

class TRecordingDialogs : public TDialogs {
public:
  TRecordingDialogs() { SetDialogs(this); }
  ~TRecordingDialogs() override { SetDialogs(nullptr); }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void WriteLine(const std::string& text) override { Lines.push_back(text); }
  // Records "caption|prompt|defaultText" and answers Answer.
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override {
    Asked.push_back(caption + "|" + prompt + "|" + defaultText);
    return Answer;
  }
  // Picks Picked, or cancels while it is empty.
  bool OpenPicture(std::string& fileName) override {
    if (Picked.empty()) return false;
    fileName = Picked;
    return true;
  }

  // Records "open|filter|fileName" or "save|filter|fileName" and answers Chosen, or
  // cancels while it is empty.
  bool OpenFile(const std::string& filter, std::string& fileName) override { return ChooseFile("open", filter, fileName); }
  bool SaveFile(const std::string& filter, std::string& fileName) override { return ChooseFile("save", filter, fileName); }
  bool ChooseFile(const std::string& kind, const std::string& filter, std::string& fileName) {
    Asked.push_back(kind + "|" + filter + "|" + fileName);
    if (Chosen.empty()) return false;
    fileName = Chosen;
    return true;
  }

  // Records "colour|<start colour>" and answers the next of Colours, or cancels when
  // none is left.
  bool ChooseColour(int& colour) override {
    Asked.push_back("colour|" + std::to_string(colour));
    if (Colours.empty()) return false;
    colour = Colours.front();
    Colours.erase(Colours.begin());
    return true;
  }

  std::vector<std::string> Messages;
  std::vector<std::string> Lines;
  std::vector<std::string> Asked;
  std::string Answer, Picked, Chosen;
  std::vector<int> Colours;
};
