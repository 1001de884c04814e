#pragma once
// A viewer that covers the screen: while active it shows a frameless top-level
// window over the whole screen (or, staying on top, one of its own size) and
// draws the scene into it. The display mode goes through the display-mode
// driver: switched when the screen is not already in the asked size and depth,
// and given back on shutdown (the desktop driver switches nothing).
//
//   TGLFullScreenViewer full(nullptr);
//   full.SetCamera(&camera);
//   full.OnKeyDown = [&](TObject*, int& key, TShiftState) { if (key == Qt::Key_Escape) full.SetActive(false); };
//   full.SetActive(true);

#include "scene/GLNonVisualViewer.h"
#include "scene/qt/GLSceneViewer.h"

#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

enum TScreenDepth : std::uint8_t { sd8bits, sd16bits, sd24bits, sd32bits };

// Key events of the full-screen window: Qt key codes; the handler may change the key.
using TKeyEvent = std::function<void(TObject* sender, int& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char32_t& key)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;
// The wheel turned by `wheelDelta` (eighths of a degree) over (x, y); a handler sets `handled`.
using TMouseWheelEvent =
    std::function<void(TObject* sender, TShiftState shift, int wheelDelta, int x, int y, bool& handled)>;

class TGLFullScreenViewer : public TGLNonVisualViewer {
  BRV_CLASS(TGLFullScreenViewer, TGLNonVisualViewer)

public:
  // 800 x 600 at 32 bits, vertical sync on, inactive. Needs a running QApplication.
  explicit TGLFullScreenViewer(TComponent* owner);
  // Shuts down first when active.
  ~TGLFullScreenViewer() override;

  bool Active() const { return FActive; }
  // Startup or Shutdown.
  void SetActive(bool value);
  // Shows the window and makes the context. The size and depth must fit a
  // display mode ("Unsupported video mode" otherwise); a second Startup is an
  // assertion failure.
  void Startup();
  // Frees the context, closes the window and gives a switched display mode back.
  void Shutdown();
  // Whether Startup switched the display mode (Shutdown restores it then).
  bool DisplayModeSwitched() const { return FSwitched; }
  // The window while active, else null.
  QWidget* Form() const;

  // One frame into the window; nothing while inactive.
  void Render() override;
  // A repaint of the window, unless a frame is being drawn (one more follows it then).
  void BufferChanged(TObject* sender) override;
  // The context must be made again: an active viewer starts anew.
  void BufferStructureChanged(TObject* sender) override;

  // Setters store a changed value and start an active viewer anew.
  TScreenDepth ScreenDepth() const { return FScreenDepth; }
  void SetScreenDepth(TScreenDepth value);
  bool StayOnTop() const { return FStayOnTop; }
  void SetStayOnTop(bool value);
  // Applied to the context the next time one is made.
  TVSyncMode VSync() const { return FVSync; }
  void SetVSync(TVSyncMode value) { FVSync = value; }
  // Passed on to the window when it exists.
  Qt::CursorShape Cursor() const { return FCursor; }
  void SetCursor(Qt::CursorShape value);
  QMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu* value) { FPopupMenu = value; }

  // The window's events; handlers are read when the event comes.
  TNotifyEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;

protected:
  void SetupVSync() override;

private:
  class TForm;
  friend class TForm;

  void Restart();
  // Shutdown's work; `later` lets the window go once its own event is done.
  void TearDown(bool later);

  TScreenDepth FScreenDepth = sd32bits;
  bool FActive = false;
  bool FSwitched = false;
  QPointer<TForm> FForm;
  bool FStayOnTop = false;
  TVSyncMode FVSync = vsmSync;
  Qt::CursorShape FCursor = Qt::ArrowCursor;
  QPointer<QMenu> FPopupMenu;
  std::unique_ptr<TGLWindowPainter> FPainter;
};
