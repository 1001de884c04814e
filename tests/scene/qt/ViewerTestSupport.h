#pragma once
// For the viewer tests on a real display: one application for the whole test
// executable, a scene of a red square on blue seen by a camera, and waiting for
// the event loop.

#include "scene/GLSceneBuffer.h"
#include "scene/qt/GLQtPlatform.h"
#include "tests/scene/SceneTestSupport.h"
#include "tests/scene/support/OffscreenGL.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

// The application, made once before the first test and ended after the last:
// the EGL display keeps the application's X11 connection for its whole life.
class TViewerTestApplication : public ::testing::Environment {
public:
  // `scaleFactor` (e.g. "2"): the toolkit's device pixel ratio.
  explicit TViewerTestApplication(const char* scaleFactor = nullptr) : FScaleFactor(scaleFactor) {}
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (FScaleFactor) setenv("QT_SCALE_FACTOR", FScaleFactor, 1);
    UseSoftwareRasteriser();
    static int argc = 1;
    static char name[] = "viewer_tests";
    static char* argv[] = {name, nullptr};
    FApp = std::make_unique<QApplication>(argc, argv);
    InstallQtGLPlatform();
  }
  void TearDown() override {
    RemoveQtGLPlatform();
    FApp.reset();
  }

private:
  const char* FScaleFactor;
  std::unique_ptr<QApplication> FApp;
};

// Runs the event loop until `done` holds or `milliseconds` have passed; true when it holds.
// The default is far beyond what a frame needs on a busy machine.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds = 60000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs the event loop for a while, for whatever may still come.
inline void Settle(int milliseconds = 150) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
  QApplication::sync();
}

// What reached the screen of a native window.
inline QImage Grab(const QWidget& window) {
  QApplication::sync();
  return window.screen()->grabWindow(window.winId()).toImage();
}

// A red unit square at the origin on blue, seen by a camera at (0, 0, 5), unlit;
// the buffer counts its frames.
struct TViewerScene {
  explicit TViewerScene(TGLSceneBuffer& buffer) : Buffer(buffer) {
    Camera.Position().SetPoint(0, 0, 5);
    Camera.SetFocalLength(10);
    Camera.SetTargetObject(&Target);
    Square.HasColor = true;
    Square.Color = {1, 0, 0, 1};
    Buffer.SetLighting(false);
    Buffer.SetBackgroundColor(MakeRGB(0, 0, 255));
    Buffer.AfterRender = [this](TObject*) { ++Frames; };
    Buffer.SetCamera(&Camera);
  }
  TGLSceneBuffer& Buffer;
  TGLScene Scene{nullptr};
  TGLCamera& Camera = Scene.Cameras().AddChild(std::make_unique<TGLCamera>(nullptr));
  TGLBaseSceneObject& Target = Scene.Objects().AddChild(std::make_unique<TGLBaseSceneObject>(nullptr));
  TTestNode& Square = Scene.Objects().AddChild(MakeNode("square"));
  int Frames = 0;
};
