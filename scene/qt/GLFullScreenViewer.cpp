#include "scene/qt/GLFullScreenViewer.h"

#include "scene/gl/GLScreen.h"
#include "scene/qt/GLQtPlatform.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>

// The full-screen window: GL draws it, and its events go to the viewer's
// handlers. A window whose viewer has let go of it only waits to be deleted.
class TGLFullScreenViewer::TForm : public QWidget {
public:
  explicit TForm(TGLFullScreenViewer& viewer)
      : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), FViewer(&viewer) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
  }
  void Release() { FViewer = nullptr; }
  QPaintEngine* paintEngine() const override { return nullptr; }

protected:
  bool event(QEvent* event) override {
    // A window that stays on top does so only while it is the active one.
    if (FViewer && FViewer->FStayOnTop && windowHandle() &&
        (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate))
      windowHandle()->setFlag(Qt::WindowStaysOnTopHint, event->type() == QEvent::WindowActivate);
    return QWidget::event(event);
  }
  void paintEvent(QPaintEvent*) override {
    if (FViewer) FViewer->FPainter->Paint();
  }
  void resizeEvent(QResizeEvent*) override {
    if (!FViewer) return;
    const QSize size = DeviceSizeOf(*this);
    RunGuarded("Resizing the scene", [&] { FViewer->Buffer().Resize(size.width(), size.height()); });
  }
  void closeEvent(QCloseEvent* event) override {
    if (!FViewer) return;
    TGLFullScreenViewer& viewer = *FViewer;
    bool canClose = true;
    RunGuarded("OnCloseQuery", [&] {
      if (viewer.OnCloseQuery) viewer.OnCloseQuery(&viewer, canClose);
    });
    if (!canClose) {
      event->ignore();
      return;
    }
    RunGuarded("OnClose", [&] {
      if (viewer.OnClose) viewer.OnClose(&viewer);
    });
    RunGuarded("Closing the full-screen viewer", [&] { viewer.TearDown(true); });
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (!FViewer) return;
    TGLFullScreenViewer& viewer = *FViewer;
    RunGuarded("OnKeyDown", [&] {
      int key = event->key();
      if (viewer.OnKeyDown) viewer.OnKeyDown(&viewer, key, ShiftStateOf(event->modifiers(), Qt::NoButton));
    });
    const QString text = event->text();
    if (FViewer && !text.isEmpty())
      RunGuarded("OnKeyPress", [&] {
        char32_t key = text.toUcs4().value(0);
        if (viewer.OnKeyPress) viewer.OnKeyPress(&viewer, key);
      });
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (!FViewer) return;
    RunGuarded("OnKeyUp", [&] {
      int key = event->key();
      if (FViewer->OnKeyUp) FViewer->OnKeyUp(FViewer, key, ShiftStateOf(event->modifiers(), Qt::NoButton));
    });
  }
  void mousePressEvent(QMouseEvent* event) override { MouseButtonEvent(event, true); }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const bool click = event->button() == Qt::LeftButton && FClickPending && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) FClickPending = false;
    if (click && FViewer)
      RunGuarded("OnClick", [&] {
        if (FViewer->OnClick) FViewer->OnClick(FViewer);
      });
    MouseButtonEvent(event, false);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (FViewer && event->button() == Qt::LeftButton)
      RunGuarded("OnDblClick", [&] {
        if (FViewer->OnDblClick) FViewer->OnDblClick(FViewer);
      });
    MouseButtonEvent(event, true);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!FViewer) return;
    const QPoint at = DevicePointOf(*this, event->position());
    RunGuarded("OnMouseMove", [&] {
      if (FViewer->OnMouseMove)
        FViewer->OnMouseMove(FViewer, ShiftStateOf(event->modifiers(), event->buttons()), at.x(), at.y());
    });
  }
  void wheelEvent(QWheelEvent* event) override {
    bool handled = false;
    if (FViewer) {
      const QPoint at = DevicePointOf(*this, event->position());
      RunGuarded("OnMouseWheel", [&] {
        if (FViewer->OnMouseWheel)
          FViewer->OnMouseWheel(FViewer, ShiftStateOf(event->modifiers(), event->buttons()), event->angleDelta().y(),
                                at.x(), at.y(), handled);
      });
    }
    event->setAccepted(handled);
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    if (FViewer && FViewer->FPopupMenu) FViewer->FPopupMenu->popup(event->globalPos());
  }

private:
  void MouseButtonEvent(QMouseEvent* event, bool down) {
    TMouseButton button;
    if (!MouseButtonOf(event->button(), button)) return;
    if (down && button == mbLeft) FClickPending = true;
    if (!FViewer) return;
    const QPoint at = DevicePointOf(*this, event->position());
    const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
    RunGuarded(down ? "OnMouseDown" : "OnMouseUp", [&] {
      const TMouseEvent& handler = down ? FViewer->OnMouseDown : FViewer->OnMouseUp;
      if (handler) handler(FViewer, button, shift, at.x(), at.y());
    });
  }

  TGLFullScreenViewer* FViewer;
  bool FClickPending = false;
};

// ---------------------------------------------------------------------------

TGLFullScreenViewer::TGLFullScreenViewer(TComponent* owner) : TGLNonVisualViewer(owner) {
  InstallQtGLPlatform();
  SetWidth(800);
  SetHeight(600);
}

TGLFullScreenViewer::~TGLFullScreenViewer() {
  RunGuarded("Shutting the full-screen viewer down", [&] { TearDown(false); });
}

QWidget* TGLFullScreenViewer::Form() const { return FForm.data(); }

void TGLFullScreenViewer::SetActive(bool value) {
  if (value == FActive) return;
  if (value)
    Startup();
  else
    Shutdown();
}

void TGLFullScreenViewer::Startup() {
  BRV_ASSERT_MSG(!FForm, "TGLFullScreenViewer::Startup(): the viewer is active already");
  static constexpr int DEPTH_BITS[] = {8, 16, 24, 32};
  const int depth = DEPTH_BITS[FScreenDepth];
  const int index = BestVideoModeIndex(Width(), Height(), depth);
  if (index == 0) throw Exception("Unsupported video mode");

  auto* form = new TForm(*this);
  FForm = form;
  FPainter = std::make_unique<TGLWindowPainter>(*form, Buffer());
  try {
    form->setCursor(FCursor);
    const TVideoMode& desktop = VideoMode(0);
    if (desktop.Width != Width() || desktop.Height != Height() || desktop.ColorDepth != depth)
      FSwitched = SetFullscreenMode(index);
    if (FStayOnTop) {
      form->setWindowFlag(Qt::WindowStaysOnTopHint);
      form->resize(Width(), Height());
      form->show();
    } else {
      // Placed over the screen first: without a window manager to honour the
      // full-screen state the window would keep its own size.
      if (const QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->geometry());
      form->showFullScreen();
    }
    Buffer().Resize(Width(), Height());
    // Sized as the window came out: a display that keeps its mode keeps its size.
    const QSize size = DeviceSizeOf(*form);
    Buffer().Resize(size.width(), size.height());
    Buffer().CreateRenderingContext(static_cast<TNativeDevice>(form->winId()), false);
  } catch (...) {
    TearDown(false);
    throw;
  }
  FActive = true;
}

void TGLFullScreenViewer::Shutdown() { TearDown(false); }

void TGLFullScreenViewer::TearDown(bool later) {
  // Everything goes, whatever fails on the way; the first failure is raised.
  std::exception_ptr error;
  try {
    Buffer().FreeRenderingContext();
  } catch (...) {
    error = std::current_exception();
  }
  if (TForm* form = FForm.data()) {
    form->Release();
    FForm = nullptr;
    if (later)
      form->deleteLater();
    else
      delete form;
  }
  FPainter.reset();
  if (FSwitched) RestoreDefaultMode();
  FSwitched = false;
  FActive = false;
  if (error) std::rethrow_exception(error);
}

void TGLFullScreenViewer::Restart() {
  if (!FActive) return;
  Shutdown();
  Startup();
}

void TGLFullScreenViewer::Render() {
  if (FForm && FPainter) FPainter->Paint();
}

void TGLFullScreenViewer::BufferChanged(TObject*) {
  if (FPainter) FPainter->BufferChanged();
}

void TGLFullScreenViewer::BufferStructureChanged(TObject*) { Restart(); }

void TGLFullScreenViewer::SetScreenDepth(TScreenDepth value) {
  if (StoreChanged(FScreenDepth, value)) Restart();
}

void TGLFullScreenViewer::SetStayOnTop(bool value) {
  if (StoreChanged(FStayOnTop, value)) Restart();
}

void TGLFullScreenViewer::SetCursor(Qt::CursorShape value) {
  FCursor = value;
  if (FForm) FForm->setCursor(value);
}

void TGLFullScreenViewer::SetupVSync() { ApplyVSync(*Buffer().RenderingContext(), FVSync); }
