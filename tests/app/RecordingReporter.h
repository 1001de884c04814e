#pragma once
// A reporter that records what the code under test reports, installed for the
// lifetime of the object.

#include <string>
#include <vector>

#include "app/ureport.h"

class TRecordingReporter : public TReporter {
public:
  TRecordingReporter() { SetReporter(this); }
  ~TRecordingReporter() override { SetReporter(nullptr); }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void WriteLine(const std::string& text) override { Lines.push_back(text); }

  std::vector<std::string> Messages;
  std::vector<std::string> Lines;
};
