// The window viewer on a display at twice the device pixel ratio: its frames
// and its mouse positions are in device pixels.

#include "scene/qt/GLSceneViewer.h"
#include "tests/scene/qt/ViewerTestSupport.h"

#include <QMouseEvent>

namespace {

const auto* app = ::testing::AddGlobalTestEnvironment(new TViewerTestApplication("2"));

TEST(GLSceneViewerScaled, TheViewportAndTheMouseAreInDevicePixels) {
  QWidget top;
  top.resize(120, 90);
  auto* viewer = new TGLSceneViewer(&top);
  viewer->setGeometry(10, 10, 64, 48);
  TViewerScene scene(viewer->Buffer());
  top.show();
  ASSERT_TRUE(ProcessEventsUntil([&] { return scene.Frames > 0; }));
  Settle();
  ASSERT_EQ(viewer->devicePixelRatioF(), 2);
  EXPECT_EQ(viewer->Buffer().Width(), 128);
  EXPECT_EQ(viewer->Buffer().Height(), 96);
  const QImage shot = Grab(*viewer);
  ASSERT_EQ(shot.size(), QSize(128, 96));
  EXPECT_EQ(shot.pixelColor(64, 48), QColor(255, 0, 0));
  EXPECT_EQ(shot.pixelColor(64 + 30, 48), QColor(0, 0, 255));

  std::vector<std::string> picks;
  viewer->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    TGLBaseSceneObject* picked = viewer->Buffer().ObjectAtPixel(x, y);
    picks.push_back(std::to_string(x) + "," + std::to_string(y) + " " + (picked ? picked->Name() : "-"));
  };
  for (QPointF at : {QPointF(32, 24), QPointF(47.5, 24)}) {
    QMouseEvent press(QEvent::MouseButtonPress, at, viewer->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewer, &press);
  }
  EXPECT_EQ(picks, (std::vector<std::string>{"64,48 square", "95,48 -"}));
}

}  // namespace
