#include "scene/qt/GLQtPlatform.h"

#include "scene/gl/GLEGLContext.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <memory>

void TQtWindowHook::Install() {
  if (FInstalled || !QCoreApplication::instance()) return;
  QCoreApplication::instance()->installEventFilter(this);
  FInstalled = true;
}

void TQtWindowHook::Remove() {
  if (!FInstalled) return;
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
  FInstalled = false;
}

bool TQtWindowHook::IsWindowOrChildOf(TNativeWindow window, TNativeWindow ancestor) const {
  if (window == ancestor) return true;
  QWidget* child = QWidget::find(static_cast<WId>(window));
  QWidget* parent = QWidget::find(static_cast<WId>(ancestor));
  return child && parent && parent->isAncestorOf(child);
}

bool TQtWindowHook::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::PlatformSurface) {
    auto* surfaceEvent = static_cast<QPlatformSurfaceEvent*>(event);
    auto* window = qobject_cast<QWindow*>(watched);
    // Sent while the native window still exists: its contexts go first.
    if (window && surfaceEvent->surfaceEventType() == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
      WindowDestroying(static_cast<TNativeWindow>(window->winId()));
  }
  return false;
}

TVideoMode TQtDisplayModeDriver::DesktopMode() {
  TVideoMode mode;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return mode;
  QSize size = screen->geometry().size() * screen->devicePixelRatio();
  mode.Width = static_cast<std::uint16_t>(qBound(0, size.width(), 65535));
  mode.Height = static_cast<std::uint16_t>(qBound(0, size.height(), 65535));
  // A mode counts bits per pixel; an X11 screen of depth 24 keeps its pixels in
  // 32 bits, and a request for 32 must find it.
  const int depth = screen->depth() == 24 ? 32 : screen->depth();
  mode.ColorDepth = static_cast<std::uint8_t>(qBound(0, depth, 255));
  return mode;
}

bool TQtDisplayModeDriver::EnumMode(int index, TVideoMode& mode) {
  if (index != 0) return false;
  mode = DesktopMode();
  return mode.Width > 0;
}

bool TQtDisplayModeDriver::TestMode(const TVideoMode& mode) {
  TVideoMode desktop = DesktopMode();
  return mode.Width == desktop.Width && mode.Height == desktop.Height && mode.ColorDepth == desktop.ColorDepth;
}

bool TQtDisplayModeDriver::SetMode(const TVideoMode& mode) { return TestMode(mode); }

void TQtDisplayModeDriver::RestoreMode() {}

namespace {

struct TQtPlatform {
  std::unique_ptr<TQtWindowHook> Hook;
  std::unique_ptr<TQtDisplayModeDriver> Driver;
};

TQtPlatform& Platform() {
  static TQtPlatform platform;
  return platform;
}

}  // namespace

void InstallQtGLPlatform() {
  TQtPlatform& p = Platform();
  if (p.Hook) return;
  if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
    SetEGLNativeDisplay(x11->display());
  p.Hook = std::make_unique<TQtWindowHook>();
  SetWindowHook(p.Hook.get());
  p.Driver = std::make_unique<TQtDisplayModeDriver>();
  SetDisplayModeDriver(p.Driver.get());
  FillVideoModeTable();
}

void RemoveQtGLPlatform() {
  TQtPlatform& p = Platform();
  SetWindowHook(nullptr);
  SetDisplayModeDriver(nullptr);
  p.Hook.reset();
  p.Driver.reset();
}

int ScreenColorDepth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->depth() : 0;
}
