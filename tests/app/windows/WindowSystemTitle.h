#pragma once
// What the window system shows as a window's title, read from the X server: the title
// as the toolkit handed it over, with whatever the toolkit added to it.

#include <string>

// The _NET_WM_NAME of the X window `window` on the display of $DISPLAY; empty when it
// has none or the display cannot be opened.
std::string WindowSystemTitle(unsigned long window);
