#pragma once
// The questions the scene layer asks the user (a texture image's size, a picture
// file) and the messages it shows, through one replaceable object: the program
// installs one that opens the toolkit's dialogs (scene/qt); without one, every
// question is answered as if the user cancelled and messages go to the GL log.

#include <string>

class TGLDialogs {
public:
  virtual ~TGLDialogs() = default;
  // Shows `text` until the user acknowledges it.
  virtual void ShowMessage(const std::string& text) = 0;
  // The text the user entered, or `defaultText` when the user cancelled.
  virtual std::string InputQuery(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;
  // Lets the user choose an existing picture file, starting at `fileName`; true and
  // the chosen name in `fileName` when the user confirmed.
  virtual bool OpenPicture(std::string& fileName) = 0;
};

// The installed dialogs, or the silent stand-in described above.
TGLDialogs& GLDialogs();
// Installs `dialogs` (the caller keeps it alive while installed); nullptr restores
// the silent stand-in.
void SetGLDialogs(TGLDialogs* dialogs);
