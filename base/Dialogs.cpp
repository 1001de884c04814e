#include "base/Dialogs.h"

#include <cstdio>

void TConsoleDialogs::ShowMessage(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void TConsoleDialogs::WriteLine(const std::string& text) {
  std::fprintf(stdout, "%s\n", text.c_str());
  std::fflush(stdout);
}

std::string TConsoleDialogs::InputQuery(const std::string&, const std::string&, const std::string& defaultText) {
  return defaultText;
}

bool TConsoleDialogs::OpenPicture(std::string&) { return false; }

bool TConsoleDialogs::OpenFile(const std::string&, std::string&) { return false; }

bool TConsoleDialogs::SaveFile(const std::string&, std::string&) { return false; }

bool TConsoleDialogs::ChooseColour(int&) { return false; }

namespace {

TConsoleDialogs ConsoleDialogs;
TDialogs* CurrentDialogs = &ConsoleDialogs;

}  // namespace

TDialogs& Dialogs() { return *CurrentDialogs; }

void SetDialogs(TDialogs* dialogs) { CurrentDialogs = dialogs ? dialogs : &ConsoleDialogs; }
