#pragma once
// The window toolkit's side of the rendering contexts and display modes: the
// hook that reports windows about to be destroyed, the display-mode driver,
// and the hand-over of the toolkit's display connection. Needs a running
// QGuiApplication.

#include "scene/gl/GLScreen.h"
#include "scene/gl/GLWindowTracking.h"

#include <QObject>

// Watches every window of the application for the destruction of its native
// surface and reports it to the window tracking.
class TQtWindowHook : public QObject, public TWindowHook {
public:
  void Install() override;
  void Remove() override;
  bool IsWindowOrChildOf(TNativeWindow window, TNativeWindow ancestor) const override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool FInstalled = false;
};

// The toolkit's screen: it reports the desktop mode and switches to nothing
// else (a desktop session changes its resolution through its own settings).
class TQtDisplayModeDriver : public TDisplayModeDriver {
public:
  TVideoMode DesktopMode() override;
  bool EnumMode(int index, TVideoMode& mode) override;
  bool TestMode(const TVideoMode& mode) override;
  bool SetMode(const TVideoMode& mode) override;
  void RestoreMode() override;
};

// Installs the window hook and the display-mode driver, fills the video-mode
// table and hands the toolkit's X11 connection to the context layer. Call once
// after the QApplication exists and before the first context is made.
void InstallQtGLPlatform();
// Undoes InstallQtGLPlatform (before the QApplication goes).
void RemoveQtGLPlatform();

// Bits per pixel of the primary screen; 0 when there is no screen.
int ScreenColorDepth();
