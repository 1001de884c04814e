#pragma once
// The platform helpers that need the windowing toolkit: modal dialogs and the
// screen's colour depth. A QApplication must exist before any of these is called.

#include <string>

// Shows `text` in a modal message box with an OK button.
void InformationDialog(const std::string& text);
// The text the user entered, or `defaultText` when the dialog is cancelled.
std::string InputDialog(const std::string& caption, const std::string& prompt, const std::string& defaultText);
// An open-picture dialog that starts at `fileName` and accepts only existing files.
// When the user confirms, `fileName` becomes the chosen file and the result is true;
// otherwise `fileName` is left as it was. An empty `title` keeps the dialog's own.
bool OpenPictureDialogExecute(std::string& fileName, const std::string& title = std::string());
// Bits per pixel of the primary screen; 0 when there is no screen.
int ScreenColorDepth();
