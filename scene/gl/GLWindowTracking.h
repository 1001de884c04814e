#pragma once
// Tracking the windows that rendering contexts draw into: a context whose
// window (or a parent of it) is being destroyed is freed first, while its
// window still exists. The window toolkit supplies the hook that watches
// window destruction (TWindowHook); this unit keeps the tracked windows.

#include "scene/gl/GLContext.h"

#include <functional>

using TNativeWindow = TNativeDevice;
using TWindowCallback = std::function<void()>;

// The toolkit's watch over window destruction. Install is called when the first
// window is tracked, Remove when the last one is untracked. The hook calls
// WindowDestroying for every window about to be destroyed.
class TWindowHook {
public:
  virtual ~TWindowHook() = default;
  virtual void Install() = 0;
  virtual void Remove() = 0;
  // Whether `window` is `ancestor` or lies inside it.
  virtual bool IsWindowOrChildOf(TNativeWindow window, TNativeWindow ancestor) const = 0;
};

// The hook in use (not owned), or nullptr: windows are then recorded but nobody
// reports their destruction.
void SetWindowHook(TWindowHook* hook);

// Whether new window contexts track their window (on at start).
bool WindowTracking();
void SetWindowTracking(bool value);

// Appends (window, callback); the hook is installed with the first window.
void TrackWindow(TNativeWindow window, TWindowCallback callback);
// Removes every pair of `window`; the hook goes with the last window.
void UnTrackWindow(TNativeWindow window);
int TrackedWindowCount();

// Called by the hook before `window` is destroyed: calls, from the last tracked
// pair to the first, the callback of every tracked window that is `window` or
// inside it. A callback's failure is logged, never raised.
void WindowDestroying(TNativeWindow window);
