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

  std::vector<std::string> Messages;
  std::vector<std::string> Lines;
  std::vector<std::string> Asked;
  std::string Answer, Picked;
};
