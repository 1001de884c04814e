#include "scene/gl/GLWindowTracking.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

struct TTracking {
  bool Enabled = true;
  TWindowHook* Hook = nullptr;
  bool HookInstalled = false;
  std::vector<std::pair<TNativeWindow, TWindowCallback>> Windows;
};

TTracking& Tracking() {
  static TTracking tracking;
  return tracking;
}

}  // namespace

void SetWindowHook(TWindowHook* hook) {
  TTracking& t = Tracking();
  if (t.HookInstalled && t.Hook) t.Hook->Remove();
  t.HookInstalled = false;
  t.Hook = hook;
  if (t.Hook && !t.Windows.empty()) {
    t.Hook->Install();
    t.HookInstalled = true;
  }
}

bool WindowTracking() { return Tracking().Enabled; }
void SetWindowTracking(bool value) { Tracking().Enabled = value; }

void TrackWindow(TNativeWindow window, TWindowCallback callback) {
  TTracking& t = Tracking();
  if (t.Windows.empty() && t.Hook && !t.HookInstalled) {
    t.Hook->Install();
    t.HookInstalled = true;
  }
  t.Windows.emplace_back(window, std::move(callback));
}

void UnTrackWindow(TNativeWindow window) {
  TTracking& t = Tracking();
  std::erase_if(t.Windows, [window](const auto& pair) { return pair.first == window; });
  if (t.Windows.empty() && t.HookInstalled) {
    t.HookInstalled = false;
    if (t.Hook) t.Hook->Remove();
  }
}

int TrackedWindowCount() { return static_cast<int>(Tracking().Windows.size()); }

void WindowDestroying(TNativeWindow window) {
  TTracking& t = Tracking();
  if (!t.Hook) return;
  // A callback frees a context, which untracks its window: walk a copy.
  auto snapshot = t.Windows;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    bool stillTracked = std::any_of(t.Windows.begin(), t.Windows.end(),
                                    [&](const auto& pair) { return pair.first == it->first; });
    if (!stillTracked || !t.Hook || !t.Hook->IsWindowOrChildOf(it->first, window)) continue;
    try {
      if (it->second) it->second();
    } catch (const std::exception& e) {
      LogGLProblem(std::string("Freeing the context of a destroyed window failed: ") + e.what());
    } catch (...) {
      // Reached from the toolkit's event filter: nothing may leave it.
      LogGLProblem("Freeing the context of a destroyed window failed");
    }
  }
}
