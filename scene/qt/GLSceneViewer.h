#pragma once
// The window control that shows a scene. It holds a native child window with an
// EGL window surface (on the X11 display of the toolkit's xcb platform), owns the
// scene buffer that draws into it, draws a frame on every paint request and asks
// for a repaint whenever the scene changes. Sizes and mouse positions are in
// device pixels: the widget's own times its device pixel ratio.
//
//   auto* viewer = new TGLSceneViewer(boardWindow);
//   viewer->SetCamera(&camera);
//   viewer->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
//     TGLBaseSceneObject* piece = viewer->Buffer().ObjectAtPixel(x, y);
//   };

#include "scene/GLNonVisualViewer.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };
// The keys and mouse buttons held during an event, a set of these bits.
enum TShiftStateBit : std::uint8_t {
  ssShift = 0x01, ssAlt = 0x02, ssCtrl = 0x04, ssLeft = 0x08, ssRight = 0x10, ssMiddle = 0x20, ssDouble = 0x40
};
using TShiftState = std::uint8_t;

// Mouse events of the viewers: positions in device pixels, y from the top.
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
// The context menu was asked for at (x, y); a handler that shows its own sets `handled`.
using TContextPopupEvent = std::function<void(TObject* sender, int x, int y, bool& handled)>;

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// The viewers' button of a toolkit button; false for the buttons they do not report.
bool MouseButtonOf(Qt::MouseButton qtButton, TMouseButton& button);
// The widget's size, and a position in it, in device pixels.
QSize DeviceSizeOf(const QWidget& widget);
QPoint DevicePointOf(const QWidget& widget, const QPointF& position);

// Runs an event handler of the toolkit: what it raises is logged (with `what`
// done), never passed on to the toolkit's event loop.
template <class F>
void RunGuarded(const char* what, F action) noexcept {
  try {
    action();
  } catch (const std::exception& e) {
    LogGLProblem(std::string(what) + ": " + e.what());
  } catch (...) {
    LogGLProblem(std::string(what) + ": an unknown error");
  }
}

// What the two viewers share for their windows: a frame on each paint of the
// window, one more paint for the changes a paint did not show, and once a few
// seconds have passed without a frame, the last frame's memory released
// (TGLSceneBuffer::ReleaseFrameMemory).
class TGLWindowPainter {
public:
  TGLWindowPainter(QWidget& window, TGLSceneBuffer& buffer);
  // The buffer reports a change: a repaint, or after the frame being drawn one
  // more (however many changes come during it). Changes made while the buffer
  // makes its context or picks ask for nothing.
  void BufferChanged();
  // One frame into the window's context, made first when there is none; a
  // failure is logged, never raised.
  void Paint();

private:
  QWidget& FWindow;
  TGLSceneBuffer& FBuffer;
  bool FPainting = false;
  bool FRepaintPending = false;
  // Started again by every frame; runs out in a window that has fallen idle.
  QTimer FIdleTimer;
};

class TGLSceneViewer : public QWidget, public TPersistent {
  BRV_CLASS(TGLSceneViewer, TPersistent)

public:
  // 100 x 100; the buffer's change reports reach BufferChanged and
  // BufferStructureChanged, and its new contexts get the viewer's vertical sync.
  // Needs a running QApplication; installs the toolkit's side of the contexts.
  explicit TGLSceneViewer(QWidget* parent = nullptr);
  // Frees the context while the window still exists.
  ~TGLSceneViewer() override;

  TGLSceneBuffer& Buffer() const { return *FBuffer; }
  // Layouts fill the existing buffer; another buffer cannot be taken (the
  // assignment error).
  void SetBuffer(const TGLSceneBuffer& value) { FBuffer->Assign(&value); }
  TGLCamera* Camera() const { return FBuffer->Camera(); }
  void SetCamera(TGLCamera* camera) { FBuffer->SetCamera(camera); }
  TVSyncMode VSync() const { return FVSync; }
  // Applied to the context the next time one is made.
  void SetVSync(TVSyncMode value) { FVSync = value; }
  // Whether the GL libraries could be loaded; without them the viewer draws nothing.
  bool OpenGLAvailable() const { return FOpenGLAvailable; }

  // A redraw request of the buffer.
  void BufferChanged();
  // The context must be made again: it goes now and comes back with the next paint.
  void BufferStructureChanged();

  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TContextPopupEvent OnContextPopup;

  // GL draws the window: the toolkit paints nothing of it.
  QPaintEngine* paintEngine() const override { return nullptr; }

protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void ReleaseContext();

  std::unique_ptr<TGLSceneBuffer> FBuffer;
  TGLWindowPainter FPainter;
  TVSyncMode FVSync = vsmNoSync;
  bool FOpenGLAvailable = false;
  // A left-button press inside the window, waiting for its release to be a click.
  bool FClickPending = false;
};
