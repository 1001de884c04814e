#pragma once
// The board window's tool-bar images: one 24 x 24 PNG with alpha per button,
// drawn from simple shapes so that each reads at that size.

#include <string>
#include <vector>

#include "tools/assets/Raster.h"

struct TToolbarImage {
  std::string Name;  // "res/toolbar/open-look.png"
  std::string Hint;  // the button's hint, "Open look"
  TImage Image;
};

inline constexpr int TOOLBAR_IMAGE_SIDE = 24;

// In the tool bar's order.
std::vector<TToolbarImage> ToolbarImages();
