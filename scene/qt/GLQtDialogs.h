#pragma once
// The scene's questions to the user through the toolkit's modal dialogs. Needs a
// running QApplication; install with SetGLDialogs.

#include "scene/GLDialogs.h"

class TQtGLDialogs : public TGLDialogs {
public:
  void ShowMessage(const std::string& text) override;
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
  bool OpenPicture(std::string& fileName) override;
};
