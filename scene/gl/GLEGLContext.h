#pragma once
// The rendering context of the system on Linux: a TGLContext over EGL. Window
// contexts draw into a native X11 window, memory contexts into a pixel buffer.
// All contexts of the process live on one EGL display and are created sharing a
// hidden root context, since EGL can join contexts in sharing only when one is
// made; ShareLists then only records the group.

#include "scene/gl/GLContext.h"
#include "scene/gl/GLPixelFormat.h"

#include <string>
#include <vector>

class TGLEGLContext : public TGLContext {
public:
  TGLEGLContext() = default;
  ~TGLEGLContext() override;

  // The context class as the manager creates it.
  static std::unique_ptr<TGLContext> Create();

  bool IsValid() const override { return FContext != nullptr; }
  // Presents the back buffer of a double-buffered window context.
  void SwapBuffers() override;

  // Vertical sync: frames between buffer swaps of this (active) window context.
  int SwapInterval() const { return FSwapInterval; }
  void SetSwapInterval(int interval);

  // The chosen pixel format's id (0 before creation) and its description.
  int PixelFormat() const { return FFormat.Id; }
  const TPixelFormatInfo& PixelFormatInfo() const { return FFormat; }
  bool IsPbuffer() const { return FPbuffer; }

  // Skips the strict pixel-format request and takes the closest window format.
  bool ForceLegacyPixelFormat = false;

protected:
  void ActivateInDriver() override;
  void DeactivateInDriver() override;
  void CreateInDriver(TNativeDevice outputDevice) override;
  void CreateMemoryInDriver(TNativeDevice outputDevice, int width, int height) override;
  void ShareListsInDriver(TGLContext& otherContext) override;
  void DestroyInDriver() override;

private:
  TPixelFormatSettings Settings() const;
  void MakeContext(int formatIndex, const std::vector<TPixelFormatInfo>& formats);
  // Stops tracking the window and destroys the EGL context and surface; false
  // when the driver refused to delete the context (it is forgotten all the same).
  bool ReleaseDriverObjects() noexcept;

  void* FContext = nullptr;  // the EGL context
  void* FSurface = nullptr;  // window surface or pixel buffer
  bool FPbuffer = false;
  TNativeDevice FWindow = 0;
  TPixelFormatInfo FFormat;
  int FSwapInterval = 1;
};

// Hands over the X11 display connection of the window toolkit (a Display*),
// before the first context is made, so that window contexts use the toolkit's
// own connection. Without it the EGL display is an X11 one of its own when the
// program runs on a display (DISPLAY is set), surfaceless otherwise.
void SetEGLNativeDisplay(void* x11Display);

// Opens the process's EGL display now, loading the driver, and makes the root
// context where the driver needs no pixel format for it: what the first context
// would otherwise wait for. Safe on any thread, also while a context is being made;
// a failure is left for the first context to report.
void OpenEGLDisplay() noexcept;

// Whether the process's EGL display draws to windows (X11) or only off-screen.
bool EGLDisplayHasWindows();

// The pixel formats of the process's EGL display, as described by the driver.
std::vector<TPixelFormatInfo> EGLPixelFormats();
