#include "scene/qt/GLSceneViewer.h"

#include "scene/qt/GLQtPlatform.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMouseEvent>

#include <cmath>

namespace {

// A window that has drawn no frame for this long is idle: its last frame's memory
// goes. Longer than the pauses of a user at play, between a drag and the next or a
// move and its answer: memory given back costs page faults when it is taken again,
// 1.6 ms a megabyte where the benchmarks run, and the frame that takes it is the one
// the user waits for.
constexpr int IDLE_MS = 3000;

}  // namespace

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= ssShift;
  if (modifiers & Qt::AltModifier) shift |= ssAlt;
  if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
  if (buttons & Qt::LeftButton) shift |= ssLeft;
  if (buttons & Qt::RightButton) shift |= ssRight;
  if (buttons & Qt::MiddleButton) shift |= ssMiddle;
  return shift;
}

QSize DeviceSizeOf(const QWidget& widget) {
  const qreal ratio = widget.devicePixelRatioF();
  return {int(std::lround(widget.width() * ratio)), int(std::lround(widget.height() * ratio))};
}

QPoint DevicePointOf(const QWidget& widget, const QPointF& position) {
  const qreal ratio = widget.devicePixelRatioF();
  return {int(std::floor(position.x() * ratio)), int(std::floor(position.y() * ratio))};
}

bool MouseButtonOf(Qt::MouseButton qtButton, TMouseButton& button) {
  switch (qtButton) {
    case Qt::LeftButton: button = mbLeft; return true;
    case Qt::RightButton: button = mbRight; return true;
    case Qt::MiddleButton: button = mbMiddle; return true;
    default: return false;
  }
}

// ---------------------------------------------------------------------------

TGLWindowPainter::TGLWindowPainter(QWidget& window, TGLSceneBuffer& buffer) : FWindow(window), FBuffer(buffer) {
  FIdleTimer.setSingleShot(true);
  FIdleTimer.setInterval(IDLE_MS);
  QObject::connect(&FIdleTimer, &QTimer::timeout, [this] {
    RunGuarded("Releasing the last frame's memory", [&] { FBuffer.ReleaseFrameMemory(); });
  });
}

void TGLWindowPainter::BufferChanged() {
  if (FPainting)
    FRepaintPending = true;
  else if (!FBuffer.Rendering())
    FWindow.update();
}

void TGLWindowPainter::Paint() {
  RunGuarded("Drawing the scene", [&] {
    // Asked first: it makes the native window, and so the WinIdChange that frees
    // an older context, before the new one is made.
    const TNativeDevice window = static_cast<TNativeDevice>(FWindow.winId());
    const QSize size = DeviceSizeOf(FWindow);
    if (!FBuffer.HasLiveContext()) {
      FBuffer.Resize(size.width(), size.height());
      FBuffer.CreateRenderingContext(window, false);
    } else if (size.width() != FBuffer.Width() || size.height() != FBuffer.Height()) {
      // The device pixel ratio changed (another screen) without a resize.
      FBuffer.Resize(size.width(), size.height());
    }
    FRepaintPending = false;
    FPainting = true;
    struct TEnd {
      bool& Painting;
      ~TEnd() { Painting = false; }
    } end{FPainting};
    FBuffer.Render();
  });
  FIdleTimer.start();
  if (FRepaintPending) {
    FRepaintPending = false;
    FWindow.update();
  }
}

// ---------------------------------------------------------------------------

TGLSceneViewer::TGLSceneViewer(QWidget* parent)
    : QWidget(parent), FBuffer(std::make_unique<TGLSceneBuffer>(this)), FPainter(*this, *FBuffer) {
  InstallQtGLPlatform();
  FOpenGLAvailable = InitOpenGL();
  // A native window of its own, drawn by GL alone: the toolkit neither paints
  // nor erases it.
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_PaintOnScreen);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  resize(100, 100);
  FBuffer->OnChange = [this](TObject*) { BufferChanged(); };
  FBuffer->OnStructuralChange = [this](TObject*) { BufferStructureChanged(); };
  FBuffer->OnContextCreated = [this](TObject*) { ApplyVSync(*FBuffer->RenderingContext(), FVSync); };
}

TGLSceneViewer::~TGLSceneViewer() {
  RunGuarded("Freeing the viewer's rendering context", [&] { FBuffer->FreeRenderingContext(); });
}

void TGLSceneViewer::BufferChanged() { FPainter.BufferChanged(); }

void TGLSceneViewer::BufferStructureChanged() {
  ReleaseContext();
  update();
}

void TGLSceneViewer::ReleaseContext() {
  if (!FBuffer->Rendering()) RunGuarded("Freeing the viewer's rendering context", [&] { FBuffer->FreeRenderingContext(); });
}

bool TGLSceneViewer::event(QEvent* event) {
  // A new native window (the viewer moved to another top-level window) needs a
  // surface of its own: the context is made again with the next paint.
  if (event->type() == QEvent::WinIdChange) {
    ReleaseContext();
    update();
  }
  return QWidget::event(event);
}

void TGLSceneViewer::paintEvent(QPaintEvent*) {
  if (FOpenGLAvailable) FPainter.Paint();
}

void TGLSceneViewer::resizeEvent(QResizeEvent*) {
  const QSize size = DeviceSizeOf(*this);
  RunGuarded("Resizing the scene", [&] { FBuffer->Resize(size.width(), size.height()); });
}

void TGLSceneViewer::mousePressEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!MouseButtonOf(event->button(), button)) return;
  if (button == mbLeft) FClickPending = true;
  const QPoint at = DevicePointOf(*this, event->position());
  RunGuarded("OnMouseDown", [&] {
    if (OnMouseDown) OnMouseDown(this, button, ShiftStateOf(event->modifiers(), event->buttons()), at.x(), at.y());
  });
}

void TGLSceneViewer::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = DevicePointOf(*this, event->position());
  RunGuarded("OnMouseMove", [&] {
    if (OnMouseMove) OnMouseMove(this, ShiftStateOf(event->modifiers(), event->buttons()), at.x(), at.y());
  });
}

void TGLSceneViewer::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!MouseButtonOf(event->button(), button)) return;
  // A click is a left press released over the window (the mouse stays captured
  // between the two, so the release may come from outside it).
  const bool click = button == mbLeft && FClickPending && rect().contains(event->position().toPoint());
  if (button == mbLeft) FClickPending = false;
  const QPoint at = DevicePointOf(*this, event->position());
  RunGuarded("OnClick", [&] {
    if (click && OnClick) OnClick(this);
  });
  RunGuarded("OnMouseUp", [&] {
    if (OnMouseUp) OnMouseUp(this, button, ShiftStateOf(event->modifiers(), event->buttons()), at.x(), at.y());
  });
}

void TGLSceneViewer::mouseDoubleClickEvent(QMouseEvent* event) {
  RunGuarded("OnDblClick", [&] {
    if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
  });
  // The second press is a press all the same.
  mousePressEvent(event);
}

void TGLSceneViewer::contextMenuEvent(QContextMenuEvent* event) {
  bool handled = false;
  const QPoint at = DevicePointOf(*this, event->pos());
  RunGuarded("OnContextPopup", [&] {
    if (OnContextPopup) OnContextPopup(this, at.x(), at.y(), handled);
  });
  if (!handled) event->ignore();
}
