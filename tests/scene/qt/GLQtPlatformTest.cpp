// A window context on a native child widget, on a real X display.

#include "scene/gl/GLEGLContext.h"
#include "scene/qt/GLQtPlatform.h"
#include "tests/scene/support/OffscreenGL.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class GLWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    UseSoftwareRasteriser();
    static int argc = 1;
    static char name[] = "scene_gui_tests";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    InstallQtGLPlatform();
  }
  static void TearDownTestSuite() {
    RemoveQtGLPlatform();
    delete app;
  }
  static QApplication* app;
};

QApplication* GLWindowTest::app = nullptr;

void Settle() {
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  QApplication::sync();
}

// A native child window drawn by GL alone, as the viewers' windows are: the toolkit
// neither paints nor erases it, so that its expose, however late it comes on a busy
// display, leaves what GL drew.
class TGLOnlyWidget : public QWidget {
public:
  explicit TGLOnlyWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
  }
  QPaintEngine* paintEngine() const override { return nullptr; }
};

// Runs the event loop until the widget's window is on the screen; false after a minute.
bool WaitUntilExposed(QWidget& widget) {
  QElapsedTimer waited;
  waited.start();
  while (!(widget.windowHandle() && widget.windowHandle()->isExposed())) {
    if (waited.elapsed() > 60000) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

TEST_F(GLWindowTest, ContextOnANativeChildWidgetRendersAndGoesWithItsParent) {
  auto parent = std::make_unique<QWidget>();
  parent->resize(120, 90);
  auto* viewer = new TGLOnlyWidget(parent.get());
  viewer->setGeometry(10, 10, 64, 48);
  parent->show();
  ASSERT_TRUE(WaitUntilExposed(*viewer));
  Settle();
  ASSERT_TRUE(EGLDisplayHasWindows());

  TGLEGLContext context;
  context.SetOptions(rcoDoubleBuffered);
  context.SetDepthBits(24);
  context.CreateContext(static_cast<TNativeDevice>(viewer->winId()));
  EXPECT_EQ(TrackedWindowCount(), 1);
  context.Activate();
  GL->glViewport(0, 0, 64, 48);
  GL->glClearColor(0, 0, 1, 1);
  GL->glClear(GL_COLOR_BUFFER_BIT);
  std::uint8_t pixel[4] = {};
  GL->glReadPixels(32, 24, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[2], 255);
  EXPECT_EQ(pixel[0], 0);
  context.SwapBuffers();
  GL->glFinish();
  context.Deactivate();
  Settle();

  // What reached the screen: the viewer's area is blue.
  QImage shot = parent->screen()->grabWindow(viewer->winId()).toImage();
  ASSERT_FALSE(shot.isNull());
  QColor centre = shot.pixelColor(shot.width() / 2, shot.height() / 2);
  EXPECT_EQ(centre.blue(), 255);
  EXPECT_EQ(centre.red(), 0);

  // Destroying the parent frees the context while the window still exists.
  parent.reset();
  EXPECT_FALSE(context.IsValid());
  EXPECT_EQ(TrackedWindowCount(), 0);
}

TEST_F(GLWindowTest, DisplayModesOfferOnlyTheDesktop) {
  ASSERT_GE(VideoModeCount(), 2);
  const TVideoMode& desktop = VideoMode(0);
  EXPECT_EQ(desktop.Description, "default");
  EXPECT_GT(desktop.Width, 0);
  EXPECT_GT(BestVideoModeIndex(desktop.Width, desktop.Height, desktop.ColorDepth), 0);
  // The desktop session keeps its mode: only the mode it is in can be "set".
  for (int i = 1; i < VideoModeCount(); ++i) {
    const TVideoMode& mode = VideoMode(i);
    bool isDesktop = mode.Width == desktop.Width && mode.Height == desktop.Height &&
                     mode.ColorDepth == desktop.ColorDepth;
    EXPECT_EQ(SetFullscreenMode(i), isDesktop) << mode.Description;
  }
  RestoreDefaultMode();
  EXPECT_EQ(CurrentVideoMode(), 0);
}

TEST_F(GLWindowTest, ScreenColorDepthIsThatOfTheScreen) {
  int depth = ScreenColorDepth();
  EXPECT_TRUE(depth == 16 || depth == 24 || depth == 32) << depth;
}

}  // namespace
