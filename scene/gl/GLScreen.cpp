#include "scene/gl/GLScreen.h"

#include "base/Exceptions.h"

#include <cstdio>
#include <vector>

namespace {

struct TScreenState {
  TDisplayModeDriver* Driver = nullptr;
  std::vector<TVideoMode> Modes = std::vector<TVideoMode>(1);
  int Current = 0;
  // At program end a mode still set is given back to the desktop.
  ~TScreenState() {
    if (Driver && Current != 0) Driver->RestoreMode();
  }
};

TScreenState& State() {
  static TScreenState state;
  return state;
}

std::string Describe(const TVideoMode& mode) {
  char text[64];
  std::snprintf(text, sizeof text, "%d x %d, %d bpp", mode.Width, mode.Height, mode.ColorDepth);
  return text;
}

// Offered only when the driver's test can refuse a mode: the usual low
// resolutions in width, height and depth order.
std::vector<TVideoMode> StandardModes() {
  static const int depths[] = {8, 15, 16, 24, 32};
  std::vector<TVideoMode> modes;
  auto add = [&](int width, int height) {
    for (int depth : depths)
      modes.push_back({static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                       static_cast<std::uint8_t>(depth), std::string()});
  };
  for (int width : {320, 360})
    for (int height : {200, 240, 350, 400, 480}) add(width, height);
  add(400, 300);
  add(512, 384);
  return modes;
}

}  // namespace

void SetDisplayModeDriver(TDisplayModeDriver* driver) {
  TScreenState& s = State();
  if (s.Driver && s.Driver != driver && s.Current != 0) s.Driver->RestoreMode();
  if (s.Driver != driver) s.Current = 0;
  s.Driver = driver;
}

TDisplayModeDriver* DisplayModeDriver() { return State().Driver; }

void FillVideoModeTable() {
  TScreenState& s = State();
  s.Modes.assign(1, TVideoMode());
  if (!s.Driver) {
    s.Modes[0].Description = "default";
    return;
  }
  s.Modes[0] = s.Driver->DesktopMode();
  s.Modes[0].Description = "default";
  TVideoMode mode;
  for (int i = 0; static_cast<int>(s.Modes.size()) < MAX_VIDEO_MODES && s.Driver->EnumMode(i, mode); ++i)
    AddVideoModeIfValid(mode);
  // A driver that accepts a mode no screen has proves nothing with its tests.
  TVideoMode impossible{42, 37, 8, std::string()};
  if (s.Driver->TestMode(impossible)) return;
  for (const TVideoMode& standard : StandardModes()) {
    if (static_cast<int>(s.Modes.size()) >= MAX_VIDEO_MODES) break;
    AddVideoModeIfValid(standard);
  }
}

void AddVideoModeIfValid(const TVideoMode& mode) {
  TScreenState& s = State();
  if (static_cast<int>(s.Modes.size()) > MAX_VIDEO_MODES) return;
  for (std::size_t i = 1; i < s.Modes.size(); ++i)
    if (s.Modes[i].ColorDepth == mode.ColorDepth && s.Modes[i].Width == mode.Width &&
        s.Modes[i].Height == mode.Height)
      return;
  if (!s.Driver || !s.Driver->TestMode(mode)) return;
  TVideoMode added = mode;
  added.Description = Describe(mode);
  s.Modes.push_back(added);
}

int VideoModeCount() { return static_cast<int>(State().Modes.size()); }

const TVideoMode& VideoMode(int index) {
  const std::vector<TVideoMode>& modes = State().Modes;
  if (index < 0 || index >= static_cast<int>(modes.size())) throw ERangeError();
  return modes[static_cast<std::size_t>(index)];
}

int BestVideoModeIndex(int width, int height, int depth) {
  const std::vector<TVideoMode>& modes = State().Modes;
  int best = 0;
  int bestWidth = 9999, bestHeight = 9999, bestDepth = 99;
  for (std::size_t i = 1; i < modes.size(); ++i) {
    const TVideoMode& m = modes[i];
    if (m.Width < width || m.Height < height || m.ColorDepth < depth) continue;
    int dw = m.Width - width, dh = m.Height - height, dd = m.ColorDepth - depth;
    if (dw <= bestWidth && dh <= bestHeight && dd <= bestDepth) {
      best = static_cast<int>(i);
      bestWidth = dw;
      bestHeight = dh;
      bestDepth = dd;
    }
  }
  return best;
}

bool SetFullscreenMode(int index) {
  TScreenState& s = State();
  const TVideoMode& mode = VideoMode(index);
  if (!s.Driver || !s.Driver->SetMode(mode)) return false;
  s.Current = index;
  return true;
}

void RestoreDefaultMode() {
  TScreenState& s = State();
  if (s.Driver) s.Driver->RestoreMode();
  s.Current = 0;
}

int CurrentVideoMode() { return State().Current; }
