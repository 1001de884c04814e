#include "app/ureport.h"

#include <cstdio>

namespace {

class TConsoleReporter : public TReporter {
public:
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }
  void WriteLine(const std::string& text) override {
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
  }
};

TConsoleReporter ConsoleReporter;
TReporter* CurrentReporter = &ConsoleReporter;

}  // namespace

TReporter& Reporter() { return *CurrentReporter; }

void SetReporter(TReporter* reporter) { CurrentReporter = reporter ? reporter : &ConsoleReporter; }
