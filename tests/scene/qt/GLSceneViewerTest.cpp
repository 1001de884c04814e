// The window viewer and the full-screen viewer on a real X display: what they
// draw is read back from their windows.

#include "scene/gl/GLEGLContext.h"
#include "scene/gl/GLScreen.h"
#include "scene/gl/GLWindowTracking.h"
#include "scene/qt/GLFullScreenViewer.h"
#include "scene/qt/GLSceneViewer.h"
#include "tests/scene/qt/ViewerTestSupport.h"

#include <QMouseEvent>

namespace {

const auto* app = ::testing::AddGlobalTestEnvironment(new TViewerTestApplication);

const QColor RED(255, 0, 0), GREEN(0, 255, 0), BLUE(0, 0, 255);

// A viewer whose native window can be made anew, as the toolkit does when a
// window changes kind.
class TRecreatableViewer : public TGLSceneViewer {
public:
  using TGLSceneViewer::TGLSceneViewer;
  void RecreateNativeWindow() {
    destroy();
    create();
  }
};

// A 64 x 48 viewer at (10, 10) of a top-level window, showing the test scene.
struct TShownViewer {
  TShownViewer() {
    top->resize(120, 90);
    viewer->setGeometry(10, 10, 64, 48);
    top->show();
    EXPECT_TRUE(ProcessEventsUntil([&] { return scene.Frames > 0; }));
    Settle();
  }
  std::unique_ptr<QWidget> top = std::make_unique<QWidget>();
  TRecreatableViewer* viewer = new TRecreatableViewer(top.get());
  TViewerScene scene{viewer->Buffer()};
};

// Waits for the frame after `frames` and whatever follows it.
bool NextFrame(TViewerScene& scene, int frames) {
  const bool drawn = ProcessEventsUntil([&] { return scene.Frames > frames; });
  Settle();
  return drawn;
}

TEST(GLSceneViewer, DrawsItsSceneAndDrawsAgainAfterAChange) {
  TShownViewer shown;
  TGLSceneViewer& viewer = *shown.viewer;
  EXPECT_EQ(viewer.Buffer().Width(), 64);
  EXPECT_EQ(viewer.Buffer().Height(), 48);
  // No vertical sync by default, set in the context while it was current.
  auto* context = dynamic_cast<TGLEGLContext*>(viewer.Buffer().RenderingContext());
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->SwapInterval(), 0);
  QImage shot = Grab(viewer);
  ASSERT_EQ(shot.size(), QSize(64, 48));
  EXPECT_EQ(shot.pixelColor(32, 24), RED);
  EXPECT_EQ(shot.pixelColor(3, 3), BLUE);

  struct TCase {
    const char* What;
    std::function<void()> Change;  // empty: the last frame seen elsewhere
    QPoint At;
    QColor Expected;
  };
  const TCase cases[] = {
      {"the background", [&] { viewer.Buffer().SetBackgroundColor(MakeRGB(0, 255, 0)); }, {3, 3}, GREEN},
      {"a move in the scene", [&] { shown.scene.Square.Position().SetPoint(1.2f, 0, 0); }, {32, 24}, GREEN},
      {"the square's new place", nullptr, {32 + 18, 24}, RED},
      {"a wider window", [&] { viewer.resize(96, 48); }, {48 + 18, 24}, RED},
  };
  for (const TCase& c : cases) {
    const int frames = shown.scene.Frames;
    if (c.Change) c.Change();
    if (c.Change && frames == shown.scene.Frames) {
      EXPECT_TRUE(NextFrame(shown.scene, frames)) << c.What;
    }
    shot = Grab(viewer);
    EXPECT_EQ(shot.pixelColor(c.At), c.Expected) << c.What;
  }
  EXPECT_EQ(viewer.Buffer().Width(), 96);
}

TEST(GLSceneViewer, SeveralChangesGiveOneFrame) {
  TShownViewer shown;
  TViewerScene& scene = shown.scene;
  Settle(300);
  const int before = scene.Frames;
  for (float x : {0.1f, 0.2f, 0.3f}) scene.Square.Position().SetPoint(x, 0, 0);
  EXPECT_TRUE(NextFrame(scene, before));
  Settle(300);
  EXPECT_EQ(scene.Frames, before + 1) << "changes between two frames";

  // Changes made while a frame is drawn: that frame, then one more.
  bool changeDuringFrame = true;
  scene.Buffer.BeforeRender = [&](TObject*) {
    if (!std::exchange(changeDuringFrame, false)) return;
    for (float x : {0.4f, 0.5f, 0.6f}) scene.Square.Position().SetPoint(x, 0, 0);
  };
  shown.viewer->update();
  EXPECT_TRUE(NextFrame(scene, before + 1));
  Settle(300);
  EXPECT_EQ(scene.Frames, before + 3) << "changes during a frame";
}

TEST(GLSceneViewer, ANewNativeWindowGetsANewSurface) {
  // Untracked, so that the viewer alone sees its window go.
  SetWindowTracking(false);
  TShownViewer shown;
  SetWindowTracking(true);
  const WId first = shown.viewer->winId();
  const int frames = shown.scene.Frames;
  shown.viewer->RecreateNativeWindow();
  shown.viewer->show();
  EXPECT_NE(shown.viewer->winId(), first);
  EXPECT_TRUE(NextFrame(shown.scene, frames));
  EXPECT_EQ(Grab(*shown.viewer).pixelColor(32, 24), RED);

  // Moved into another window (the toolkit keeps the native window then).
  auto other = std::make_unique<QWidget>();
  other->resize(100, 80);
  other->show();
  shown.viewer->setParent(other.get());
  shown.viewer->setGeometry(5, 5, 64, 48);
  shown.viewer->show();
  shown.top.reset();
  shown.scene.Square.Position().SetPoint(1.2f, 0, 0);
  EXPECT_TRUE(NextFrame(shown.scene, shown.scene.Frames));
  EXPECT_EQ(Grab(*shown.viewer).pixelColor(32 + 18, 24), RED);
}

TEST(GLSceneViewer, MouseEventsCarryPixelsThatPickWhatIsDrawnThere) {
  TShownViewer shown;
  TGLSceneViewer& viewer = *shown.viewer;
  std::vector<std::string> log;
  viewer.OnMouseDown = [&](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    EXPECT_EQ(sender, &viewer);
    TGLBaseSceneObject* picked = viewer.Buffer().ObjectAtPixel(x, y);
    log.push_back("down " + std::to_string(button) + " " + std::to_string(shift) + " " + std::to_string(x) + "," +
                  std::to_string(y) + " " + (picked ? picked->Name() : "-"));
  };
  viewer.OnClick = [&](TObject*) { log.push_back("click"); };
  viewer.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    log.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  };
  auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, viewer.mapToGlobal(at), button, held, Qt::ShiftModifier);
    QApplication::sendEvent(&viewer, &event);
  };
  send(QEvent::MouseButtonPress, {32, 24}, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, {33, 25}, Qt::LeftButton, Qt::NoButton);
  send(QEvent::MouseButtonPress, {3, 40}, Qt::RightButton, Qt::RightButton);
  send(QEvent::MouseButtonRelease, {3, 40}, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(log, (std::vector<std::string>{"down 0 9 32,24 square", "click", "up 33,25", "down 1 17 3,40 -",
                                           "up 3,40"}));
  // A handler that raises reaches no event loop.
  viewer.OnMouseDown = [](TObject*, TMouseButton, TShiftState, int, int) { throw std::runtime_error("handler"); };
  std::vector<std::string> logged;
  SetGLLogSink([&](const std::string& text) { logged.push_back(text); });
  send(QEvent::MouseButtonPress, {32, 24}, Qt::LeftButton, Qt::LeftButton);
  SetGLLogSink(nullptr);
  EXPECT_EQ(logged, (std::vector<std::string>{"OnMouseDown: handler"}));
}

TEST(GLFullScreenViewer, CoversTheScreenAndSwitchesNoModeTheDesktopHas) {
  const TVideoMode& desktop = VideoMode(0);
  ASSERT_GE(desktop.Width, 800);
  ASSERT_EQ(desktop.ColorDepth, 32);  // an X11 screen of depth 24 counts as 32 bits per pixel
  struct TCase {
    int Width, Height;
    const char* Failure;
    bool Switched;
  };
  const TCase cases[] = {
      {desktop.Width, desktop.Height, nullptr, false},
      {800, 600, nullptr, true},
      {desktop.Width + 1, 600, "Unsupported video mode", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
    TGLFullScreenViewer viewer(nullptr);
    TViewerScene scene(viewer.Buffer());
    viewer.SetWidth(c.Width);
    viewer.SetHeight(c.Height);
    if (c.Failure) {
      try {
        viewer.SetActive(true);
        ADD_FAILURE() << "started";
      } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), c.Failure);
      }
      EXPECT_FALSE(viewer.Active());
      EXPECT_EQ(viewer.Form(), nullptr);
      continue;
    }
    viewer.SetActive(true);
    ASSERT_NE(viewer.Form(), nullptr);
    EXPECT_EQ(viewer.DisplayModeSwitched(), c.Switched);
    EXPECT_EQ(CurrentVideoMode() != 0, c.Switched);
    QWidget& form = *viewer.Form();
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form.isFullScreen());
    EXPECT_TRUE(ProcessEventsUntil([&] { return scene.Frames > 0 && form.width() == desktop.Width; }));
    Settle();
    EXPECT_EQ(viewer.Buffer().Width(), desktop.Width);
    const QImage shot = Grab(form);
    EXPECT_EQ(shot.pixelColor(desktop.Width / 2, desktop.Height / 2), RED);
    EXPECT_EQ(shot.pixelColor(5, 5), BLUE);

    int closed = 0;
    viewer.OnClose = [&](TObject*) { ++closed; };
    form.close();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(viewer.Active());
    EXPECT_EQ(CurrentVideoMode(), 0);
    Settle();
  }
}

}  // namespace
