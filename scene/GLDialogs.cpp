#include "scene/GLDialogs.h"

#include "scene/gl/GLContext.h"

namespace {

class TSilentDialogs : public TGLDialogs {
public:
  void ShowMessage(const std::string& text) override { LogGLProblem(text); }
  std::string InputQuery(const std::string&, const std::string&, const std::string& defaultText) override {
    return defaultText;
  }
  bool OpenPicture(std::string&) override { return false; }
};

TSilentDialogs silentDialogs;
TGLDialogs* installed = &silentDialogs;

}  // namespace

TGLDialogs& GLDialogs() { return *installed; }

void SetGLDialogs(TGLDialogs* dialogs) { installed = dialogs ? dialogs : &silentDialogs; }
