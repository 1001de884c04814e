#pragma once
// Display modes: the table of modes the screen can take (filled at start), the
// best mode for a requested size and colour depth, and switching the display to
// a mode and back. The platform is reached through a small driver interface.

#include <cstdint>
#include <string>

struct TVideoMode {
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t ColorDepth = 0;  // bits per pixel
  std::string Description;
};

// What the display offers. The driver of the running platform is installed at
// start; tests install a fake.
class TDisplayModeDriver {
public:
  virtual ~TDisplayModeDriver() = default;
  // The desktop's current mode.
  virtual TVideoMode DesktopMode() = 0;
  // The index-th mode of the display's own list; false past its end.
  virtual bool EnumMode(int index, TVideoMode& mode) = 0;
  // Whether the display would accept `mode` (nothing changes).
  virtual bool TestMode(const TVideoMode& mode) = 0;
  // Switches the display to `mode` for full-screen use; false when refused.
  virtual bool SetMode(const TVideoMode& mode) = 0;
  // Back to the desktop's own mode.
  virtual void RestoreMode() = 0;
};

// The driver in use (not owned); nullptr leaves the table at its desktop entry.
// Installing another driver first restores a mode the old one had set.
void SetDisplayModeDriver(TDisplayModeDriver* driver);
TDisplayModeDriver* DisplayModeDriver();

constexpr int MAX_VIDEO_MODES = 200;

// Fills the table: record 0 is the desktop mode ("default"), then the modes the
// driver lists, then, when the driver's tests can be trusted, the standard low
// resolutions it accepts.
void FillVideoModeTable();
// Appends `mode` unless a record 1.. already has its size and depth or the
// driver refuses it.
void AddVideoModeIfValid(const TVideoMode& mode);

int VideoModeCount();
// Record `index` (0 .. VideoModeCount() - 1); outside that a range error.
const TVideoMode& VideoMode(int index);

// The record at least as large as asked with the smallest excess in every
// dimension; 0 when none fits.
int BestVideoModeIndex(int width, int height, int depth);

// Switches to record `index`; remembered when it succeeds.
bool SetFullscreenMode(int index);
// Back to the desktop mode; forgets the remembered one.
void RestoreDefaultMode();
// The index of the mode that was set, 0 when none.
int CurrentVideoMode();
