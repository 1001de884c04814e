#include "scene/qt/GLQtDialogs.h"

#include "base/GLCrossPlatformQt.h"

void TQtGLDialogs::ShowMessage(const std::string& text) { InformationDialog(text); }

std::string TQtGLDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                                     const std::string& defaultText) {
  return InputDialog(caption, prompt, defaultText);
}

bool TQtGLDialogs::OpenPicture(std::string& fileName) { return OpenPictureDialogExecute(fileName); }
