#include "WindowSystemTitle.h"

// Apart from the toolkit's headers: Xlib's macros (None, Bool, Status) clash with them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

std::string WindowSystemTitle(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return std::string();
  const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, name, 0, 4096, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data && format == 8)
    title.assign(reinterpret_cast<const char*>(data), count);
  if (data) XFree(data);
  XCloseDisplay(display);
  return title;
}
